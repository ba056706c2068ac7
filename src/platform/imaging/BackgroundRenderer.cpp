#include "platform/imaging/BackgroundRenderer.h"

#include <QThreadPool>

namespace platform {

BackgroundRenderer::BackgroundRenderer(QObject* parent)
    : QObject(parent)
{
}

BackgroundRenderer::~BackgroundRenderer()
{
    cancel();
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return m_running == 0; });
}

quint64 BackgroundRenderer::request(
    const FilterImage& image, const Rect& region, double scale, RenderPath path, Done done)
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 generation = ++m_generation;
    {
        std::lock_guard lock(m_mutex);
        ++m_running;
    }
    QThreadPool::globalInstance()->start(
        [this, image, region, scale, path, generation, cancel = m_cancel, done = std::move(done)] {
            const QImage pixels = FilterRenderer::render(image, region, scale, path, cancel.get());
            if (!cancel->load())
                QMetaObject::invokeMethod(
                    this, [this, generation, pixels, done] { deliver(generation, pixels, done); },
                    Qt::QueuedConnection);
            std::lock_guard lock(m_mutex);
            if (--m_running == 0)
                m_idle.notify_all();
        });
    return generation;
}

void BackgroundRenderer::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel.reset();
    ++m_generation;
}

void BackgroundRenderer::deliver(quint64 generation, const QImage& pixels, const Done& done)
{
    if (generation == m_generation && done)
        done(pixels);
}

} // namespace platform
