#pragma once
// Renders filter images off the calling thread, newest request first: a new request cancels
// the one still running, and only the result of the latest request is ever delivered, on the
// thread this object lives in. Destroying the renderer cancels and waits for its renders.
//
// Patches are exact pixel rectangles of an earlier full render (a brush dab's dirty area). They
// run beside the full renders: a patch never cancels a pending full render nor another patch,
// and each is delivered unless cancel() or a newer full request came after it (whose result
// already holds the patch's change).
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
    using DoneList = std::function<void(const std::vector<QImage>&)>;
    // The pixel rectangle of a patch, in output pixels of a render of a region at a scale:
    // top-left origin, y down from the region's top.
    using PatchDone = std::function<void(const QImage&, const QRect& pixels)>;

    explicit BackgroundRenderer(QObject* parent = nullptr);
    ~BackgroundRenderer() override;

    // Starts a render; done receives its pixels (null when the render failed) unless a newer
    // request or cancel() came first. Returns the request's generation number.
    quint64 request(
        const FilterImage& image, const Rect& region, double scale, RenderPath path, Done done);
    // Several images of one region in one request (FilterRenderer's list form); done receives
    // them together, so layers built on each other swap in at once. Same newest-wins rule.
    quint64 request(const std::vector<FilterImage>& images, const Rect& region, double scale,
        RenderPath path, DoneList done);
    // Re-renders exactly pixels (clipped to the output of region at scale) of image, aligned to
    // the pixel grid of that full render. Done is not called for an empty rectangle.
    void requestPatch(const FilterImage& image, const Rect& region, double scale, RenderPath path,
        const QRect& pixels, PatchDone done);
    // Drops every pending result.
    void cancel();
    quint64 generation() const { return m_generation; }

private:
    // Runs work on the thread pool, keeping the renderer alive until it ends.
    void startWork(std::function<void()> work);

    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    // Patches' own cancel flag, raised only by cancel() and the destructor.
    std::shared_ptr<std::atomic<bool>> m_patchCancel;
    std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_running = 0;
};

} // namespace platform
