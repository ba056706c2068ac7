#include "platform/imaging/BackgroundRenderer.h"

#include <QThreadPool>

namespace platform {

BackgroundRenderer::BackgroundRenderer(QObject* parent)
    : QObject(parent)
    , m_patchCancel(std::make_shared<std::atomic<bool>>(false))
{
}

BackgroundRenderer::~BackgroundRenderer()
{
    cancel();
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return m_running == 0; });
}

void BackgroundRenderer::startWork(std::function<void()> work)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_running;
    }
    QThreadPool::globalInstance()->start([this, work = std::move(work)] {
        work();
        std::lock_guard lock(m_mutex);
        if (--m_running == 0)
            m_idle.notify_all();
    });
}

quint64 BackgroundRenderer::request(
    const FilterImage& image, const Rect& region, double scale, RenderPath path, Done done)
{
    return request(std::vector<FilterImage> { image }, region, scale, path,
        [done = std::move(done)](const std::vector<QImage>& pixels) {
            if (done)
                done(pixels.empty() ? QImage() : pixels.front());
        });
}

quint64 BackgroundRenderer::request(const std::vector<FilterImage>& images, const Rect& region,
    double scale, RenderPath path, DoneList done)
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 generation = ++m_generation;
    startWork(
        [this, images, region, scale, path, generation, cancel = m_cancel, done = std::move(done)] {
            std::vector<QImage> pixels
                = FilterRenderer::render(images, region, scale, path, cancel.get());
            if (cancel->load())
                return;
            QMetaObject::invokeMethod(
                this,
                [this, generation, pixels = std::move(pixels), done] {
                    if (generation == m_generation && done)
                        done(pixels);
                },
                Qt::QueuedConnection);
        });
    return generation;
}

void BackgroundRenderer::requestPatch(const FilterImage& image, const Rect& region, double scale,
    RenderPath path, const QRect& pixels, PatchDone done)
{
    const QSize full = FilterRenderer::outputSize(region, scale);
    const QRect patch = pixels.intersected(QRect(QPoint(0, 0), full));
    if (patch.isEmpty() || !(scale > 0))
        return;
    // The same grid as the full render: its pixel (0, 0) is the region's top-left corner, so
    // the patch's region is that corner plus whole pixels over the scale (y-up below it).
    const Rect patchRegion(region.x() + patch.x() / scale,
        region.y() + (full.height() - patch.y() - patch.height()) / scale, patch.width() / scale,
        patch.height() / scale);
    const quint64 generation = m_generation;
    startWork([this, image, patchRegion, scale, path, patch, generation, cancel = m_patchCancel,
                  done = std::move(done)] {
        QImage out = FilterRenderer::render(image, patchRegion, scale, path, cancel.get());
        if (cancel->load())
            return;
        // Rounding of the region may give a pixel more or less at an edge: keep the grid.
        if (!out.isNull() && out.size() != patch.size())
            out = out.copy(QRect(QPoint(0, 0), patch.size()));
        QMetaObject::invokeMethod(
            this,
            [this, generation, out = std::move(out), patch, done] {
                if (generation == m_generation && done)
                    done(out, patch);
            },
            Qt::QueuedConnection);
    });
}

void BackgroundRenderer::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel.reset();
    m_patchCancel->store(true);
    m_patchCancel = std::make_shared<std::atomic<bool>>(false);
    ++m_generation;
}

} // namespace platform
