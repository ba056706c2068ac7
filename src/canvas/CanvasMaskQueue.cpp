#include "canvas/CanvasMaskQueue.h"

#include "platform/document/Dispatch.h"
#include "platform/imaging/ImageAccumulator.h"

#include <cmath>

namespace canvas {

using platform::FilterImage;

CanvasMaskQueue::CanvasMaskQueue(SourceFn source, Install install)
    : m_source(std::move(source))
    , m_install(std::move(install))
{
}

CanvasMaskQueue::~CanvasMaskQueue() = default;

void CanvasMaskQueue::invalidateMask()
{
    if (m_busy) {
        m_needsRender = true;
        return;
    }
    m_needsRender = false;
    m_busy = true;
    if (m_prerendered.isNull())
        maskRenderThread();
}

void CanvasMaskQueue::maskRenderThread()
{
    const quint64 generation = m_generation;
    Source source = m_source ? m_source() : Source {};
    std::weak_ptr<char> alive = m_alive;
    platform::dispatch::background([this, alive, generation, source = std::move(source)] {
        FilterImage mask = maskImageForSize(source);
        // A null guard: the weak token, checked on the main thread, decides.
        platform::dispatch::async(nullptr, [this, alive, generation, mask = std::move(mask)] {
            if (alive.lock())
                finish(generation, mask);
        });
    });
}

void CanvasMaskQueue::finish(quint64 generation, const FilterImage& mask)
{
    // Whatever voided this render also reset the queue's state.
    if (generation != m_generation)
        return;
    m_maskImage = mask;
    if (m_install)
        m_install(mask);
    m_busy = false;
    if (m_needsRender) {
        std::weak_ptr<char> alive = m_alive;
        platform::dispatch::async(nullptr, [this, alive] {
            if (alive.lock())
                invalidateMask();
        });
    }
}

void CanvasMaskQueue::setPrerenderedMask(const FilterImage& mask)
{
    ++m_generation;
    if (!mask.isNull()) {
        m_prerendered = mask;
        if (m_install)
            m_install(mask);
        return;
    }
    m_prerendered = {};
    m_busy = false;
    invalidateMask();
}

void CanvasMaskQueue::reinstall()
{
    // A render in flight stays valid and keeps the queue busy: it draws the same mask.
    if (m_install)
        m_install(m_prerendered.isNull() ? m_maskImage : m_prerendered);
}

void CanvasMaskQueue::pictureLoaded()
{
    ++m_generation;
    m_prerendered = {};
    m_maskImage = {};
    m_busy = false;
    m_needsRender = false;
}

FilterImage CanvasMaskQueue::maskImageForSize(const Source& source)
{
    const double w = source.working.width, h = source.working.height;
    if (!std::isfinite(w) || !std::isfinite(h) || w <= 0 || h <= 0)
        return {};
    const platform::Rect bounds(0, 0, std::floor(w), std::floor(h));
    if (bounds.isEmpty())
        return {};
    const FilterImage black
        = FilterImage::constantColor(platform::Color(0, 0, 0, 1)).cropped(bounds);
    if (!source.draw)
        return black;
    const double scale = std::isfinite(source.maskScale) && source.maskScale > 0
        ? std::min(source.maskScale, 1.0)
        : 1.0;
    const double pw = std::ceil(bounds.width() * scale), ph = std::ceil(bounds.height() * scale);
    if (pw * ph > double(platform::ImageAccumulator::kMaxPixels))
        return {};
    QImage bitmap(int(pw), int(ph), QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        return {};
    bitmap.fill(Qt::black);
    {
        QPainter p(&bitmap);
        p.translate(0, ph);
        p.scale(scale, -scale);
        source.draw(p, bounds);
    }
    return FilterImage::fromQImage(bitmap)
        .transformed(platform::AffineTransform::makeScale(1 / scale, 1 / scale))
        .cropped(bounds);
}

} // namespace canvas
