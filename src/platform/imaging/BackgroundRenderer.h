#pragma once
// Renders filter images off the calling thread, newest request first: a new request cancels
// the one still running, and only the result of the latest request is ever delivered, on the
// thread this object lives in. Destroying the renderer cancels and waits for its renders.
#include "platform/imaging/FilterRenderer.h"

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {

class BackgroundRenderer : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const QImage&)>;

    explicit BackgroundRenderer(QObject* parent = nullptr);
    ~BackgroundRenderer() override;

    // Starts a render; done receives its pixels (null when the render failed) unless a newer
    // request or cancel() came first. Returns the request's generation number.
    quint64 request(
        const FilterImage& image, const Rect& region, double scale, RenderPath path, Done done);
    // Drops every pending result.
    void cancel();
    quint64 generation() const { return m_generation; }

private:
    void deliver(quint64 generation, const QImage& pixels, const Done& done);

    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_running = 0;
};

} // namespace platform
