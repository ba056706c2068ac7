// GraphicsContext masks: fills put down through coverage that comes already rasterised (the
// glyph cache's), straight onto the surface where the state allows, else as any other drawing.
#include "platform/concurrency/Parallel.h"
#include "platform/graphics/GraphicsContextInternal.h"

namespace platform {

using namespace graphicsinternal;

AffineTransform GraphicsContext::deviceTransform() const
{
    return AffineTransform::fromQt(d->userToDevice());
}

QRect GraphicsContext::visibleDeviceRect() const
{
    return roundOut(d->visibleDeviceRect());
}

void GraphicsContext::fillMask(const CoverageMask& mask)
{
    if (mask.isNull() || !d->surface().painter)
        return;
    const QRect area = mask.rect() & roundOut(d->visibleDeviceRect());
    if (area.isEmpty())
        return;
    const double alpha
        = std::isfinite(d->state().alpha) ? std::clamp(d->state().alpha, 0.0, 1.0) : 0.0;
    const QRgb colour = qPremultiply(d->state().fillColor.toQt().rgba());
    const BlendMode mode = d->state().blendMode;
    if ((qAlpha(colour) == 0 || alpha <= 0.0) && !transparentSourceChangesDestination(mode))
        return;
    auto maskRow = [&](int y) {
        return mask.plane.constScanLine(y - mask.origin.y()) + (area.left() - mask.origin.x());
    };
    Impl::Surface& s = d->surface();
    const Clip* clip = d->state().clip.get();
    const bool shadowed = d->state().shadow && d->state().shadow->color.alpha > 0.0;
    if (mode == BlendMode::Normal && !shadowed && Impl::writable(s) && (!clip || clip->exact)) {
        // Source-over of one colour: coverage times the clip's straight onto the pixels. A
        // clip of rectangles holding the whole area covers it all.
        const Coverage* clipCoverage = nullptr;
        const bool wholeInClip = !clip || (clip->rectangles && clip->bounds.contains(QRectF(area)));
        if (!wholeInClip) {
            clipCoverage = &clip->coverage(area, s.deviceRect);
            if (clipCoverage->plane.isNull() || !clipCoverage->covers(area))
                clipCoverage = nullptr;
        }
        if (wholeInClip || clipCoverage) {
            const QRgb source
                = alpha >= 1.0 ? colour : byteMul(colour, int(std::lround(alpha * 255)));
            uchar* const bits = s.image->bits();
            const qsizetype stride = s.image->bytesPerLine();
            const QRect target = area & s.deviceRect;
            if (target.isEmpty())
                return;
            parallelRows(
                target.height(), target.width(), kParallelCoverage, [&](int top, int bottom) {
                    for (int y = target.top() + top; y < target.top() + bottom; ++y) {
                        auto* dst
                            = reinterpret_cast<QRgb*>(bits + (y - s.deviceRect.top()) * stride)
                            + (target.left() - s.deviceRect.left());
                        const std::uint8_t* k = maskRow(y) + (target.left() - area.left());
                        const std::uint8_t* c
                            = clipCoverage ? clipCoverage->row(y, target.left()) : nullptr;
                        forEachCovered(k, target.width(), [&](int x) {
                            sourceOverPixel(dst[x], source, c ? div255(k[x] * c[x]) : k[x]);
                        });
                    }
                });
            d->noteDrawn(target);
            return;
        }
    }
    // Anything else: the colour times the coverage as a picture, drawn as a layer is.
    QImage pixels = newBuffer(area.size());
    if (pixels.isNull())
        return;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* p = reinterpret_cast<QRgb*>(pixels.scanLine(y - area.top()));
        const std::uint8_t* k = maskRow(y);
        for (int x = 0; x < area.width(); ++x)
            p[x] = k[x] == 0 ? 0 : byteMul(colour, k[x]);
    }
    Operation op = Impl::prerenderedOperation(pixels, area.topLeft(), area);
    op.mode = mode;
    op.alpha = alpha;
    d->run(std::move(op));
}

void GraphicsContext::drawThroughMask(const CoverageMask& mask, const std::function<void()>& paint)
{
    if (mask.isNull())
        return;
    const QRect area = mask.rect() & roundOut(d->visibleDeviceRect());
    if (area.isEmpty())
        return;
    d->pushLayer(area);
    paint();
    d->popLayer(&mask);
}

} // namespace platform
