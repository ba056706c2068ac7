#include "canvas/RenderView.h"

#include "platform/imaging/Filter.h"

#include <cstring>

using namespace platform;

namespace canvas {

RenderView::RenderView(const Rect& frame)
    : View(frame)
{
}

void RenderView::setImage(const FilterImage& image)
{
    m_image = image;
    m_shown = image;
    if (m_tag == 0 && m_redmask != 0 && image) {
        Filter tint = Filter::withName(QStringLiteral("CIColorMatrix"));
        tint.setValue(QStringLiteral("inputImage"), image);
        tint.setValue(QStringLiteral("inputBiasVector"), FilterVector(0.5, 0, 0, 0));
        m_shown = tint.outputImage();
    }
}

void RenderView::setRenderedPixels(const QImage& pixels, const Rect& workingRect)
{
    if (pixels.isNull())
        return; // a failed render keeps what shows
    m_pixels = pixels;
    m_pixelsRect = workingRect;
    setNeedsDisplay();
}

void RenderView::setRenderedPatch(const QImage& patch, const QRect& pixels)
{
    if (patch.isNull() || m_pixels.isNull() || patch.size() != pixels.size()
        || !m_pixels.rect().contains(pixels))
        return;
    const int bytes = pixels.width() * 4;
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(m_pixels.scanLine(pixels.y() + y) + pixels.x() * 4, patch.constScanLine(y),
            size_t(bytes));
    // The patch's rows count from the top of the rendered rectangle.
    const double sx = m_pixelsRect.size.width / m_pixels.width();
    const double sy = m_pixelsRect.size.height / m_pixels.height();
    setNeedsDisplayInRect({ m_pixelsRect.origin.x + pixels.x() * sx,
        m_pixelsRect.maxY() - (pixels.y() + pixels.height()) * sy, pixels.width() * sx,
        pixels.height() * sy });
}

View* RenderView::hitTest(const Point& pointInSuperview)
{
    (void)pointInSuperview;
    return nullptr;
}

void RenderView::drawRect(const Rect& dirty, GraphicsContext& ctx)
{
    (void)dirty;
    if (m_pixels.isNull() || m_pixelsRect.isEmpty())
        return;
    ctx.drawImage(Image::fromQImage(m_pixels, m_pixelsRect.size), m_pixelsRect);
}

} // namespace canvas
