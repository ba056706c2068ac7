#include "canvas/QZCIImageCpuRenderer.h"

#include "platform/graphics/GraphicsContext.h"

#include <cstring>

using namespace platform;

namespace canvas {

namespace {

// Draws the pixels it holds over their rectangle; clicks pass through it.
class PixelView final : public View {
public:
    using View::View;

    QImage pixels;
    Rect pixelsRect = Rect::null();

    View* hitTest(const Point&) override { return nullptr; }
    void drawRect(const Rect&, GraphicsContext& ctx) override
    {
        if (pixels.isNull() || pixelsRect.isEmpty())
            return;
        ctx.drawImage(Image::fromQImage(pixels, pixelsRect.size), pixelsRect);
    }
};

PixelView* pixelView(const ViewPointer& p)
{
    return static_cast<PixelView*>(p.get());
}

} // namespace

QZCIImageCpuRenderer::QZCIImageCpuRenderer()
    : m_ownedView(std::make_unique<PixelView>())
    , m_view(m_ownedView.get())
{
}

QZCIImageCpuRenderer::~QZCIImageCpuRenderer() = default;

void QZCIImageCpuRenderer::renderImage(const FilterImage& img)
{
    m_image = img;
    PixelView* v = pixelView(m_view);
    if (!img && v && !v->pixels.isNull()) {
        v->pixels = QImage();
        v->pixelsRect = Rect::null();
        v->setNeedsDisplay();
    }
}

void QZCIImageCpuRenderer::setRenderedPixels(const QImage& pixels, const Rect& rect)
{
    PixelView* v = pixelView(m_view);
    if (!v || pixels.isNull())
        return;
    v->pixels = pixels;
    v->pixelsRect = rect;
    v->setNeedsDisplay();
}

void QZCIImageCpuRenderer::setRenderedPatch(const QImage& patch, const QRect& pixels)
{
    PixelView* v = pixelView(m_view);
    if (!v || patch.isNull() || v->pixels.isNull() || patch.size() != pixels.size()
        || patch.format() != v->pixels.format() || !v->pixels.rect().contains(pixels))
        return;
    const int bytes = pixels.width() * 4;
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(v->pixels.scanLine(pixels.y() + y) + pixels.x() * 4, patch.constScanLine(y),
            size_t(bytes));
    // The patch's rows count from the top of the pixels' rectangle.
    const Rect& r = v->pixelsRect;
    const double sx = r.size.width / v->pixels.width();
    const double sy = r.size.height / v->pixels.height();
    v->setNeedsDisplayInRect(
        { r.origin.x + pixels.x() * sx, r.maxY() - (pixels.y() + pixels.height()) * sy,
            pixels.width() * sx, pixels.height() * sy });
}

const QImage& QZCIImageCpuRenderer::renderedPixels() const
{
    static const QImage none;
    const PixelView* v = pixelView(m_view);
    return v ? v->pixels : none;
}

std::unique_ptr<QZCIImageRenderer> DefaultImageRenderer()
{
    return std::make_unique<QZCIImageCpuRenderer>();
}

} // namespace canvas
