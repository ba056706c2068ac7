#include "canvas/RenderView.h"

#include "canvas/QZCIImageCpuRenderer.h"
#include "platform/imaging/Filter.h"

using namespace platform;

namespace canvas {

RenderView::RenderView(const Rect& frame)
    : QZCIImageView(frame)
{
    setRenderer(DefaultImageRenderer());
    setImageContentMode(1);
}

void RenderView::setImage(const FilterImage& image)
{
    FilterImage shown = image;
    if (m_tag == 0 && m_redmask != 0 && image) {
        Filter tint = Filter::withName(QStringLiteral("CIColorMatrix"));
        tint.setValue(QStringLiteral("inputImage"), image);
        tint.setValue(QStringLiteral("inputBiasVector"), FilterVector(0.5, 0, 0, 0));
        shown = tint.outputImage();
    }
    m_image = image;
    setRenderimage(shown);
}

QZCIImageCpuRenderer* RenderView::cpuRenderer() const
{
    return dynamic_cast<QZCIImageCpuRenderer*>(renderer());
}

void RenderView::setRenderedPixels(const QImage& pixels, const Rect& workingRect)
{
    QZCIImageCpuRenderer* r = cpuRenderer();
    if (!r || !r->view() || pixels.isNull())
        return; // a failed render keeps what shows
    r->setRenderedPixels(pixels, r->view()->convertRectFromView(workingRect, this));
}

void RenderView::setRenderedPatch(const QImage& patch, const QRect& pixels)
{
    if (QZCIImageCpuRenderer* r = cpuRenderer())
        r->setRenderedPatch(patch, pixels);
}

const QImage& RenderView::renderedPixels() const
{
    static const QImage none;
    const QZCIImageCpuRenderer* r = cpuRenderer();
    return r ? r->renderedPixels() : none;
}

View* RenderView::hitTest(const Point& pointInSuperview)
{
    (void)pointInSuperview;
    return nullptr;
}

} // namespace canvas
