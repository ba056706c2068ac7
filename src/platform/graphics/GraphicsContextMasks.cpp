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

std::optional<StraightFill> GraphicsContext::Impl::straightFill(const QRect& area)
{
    Impl& d = *this;
    const double alpha
        = std::isfinite(d.state().alpha) ? std::clamp(d.state().alpha, 0.0, 1.0) : 0.0;
    const Clip* clip = d.state().clip.get();
    const bool shadowed = d.state().shadow && d.state().shadow->color.alpha > 0.0;
    Surface& s = d.surface();
    if (d.state().blendMode != BlendMode::Normal || shadowed || !writable(s)
        || (clip && !clip->exact))
        return std::nullopt;
    StraightFill f;
    // A clip of rectangles holding the whole area covers it all.
    if (clip && !(clip->rectangles && clip->bounds.contains(QRectF(area)))) {
        f.clip = &clip->coverage(area, s.deviceRect);
        if (f.clip->plane.isNull() || !f.clip->covers(area))
            return std::nullopt;
    }
    const QRgb colour = qPremultiply(d.state().fillColor.toQt().rgba());
    f.source = alpha >= 1.0 ? colour : byteMul(colour, int(std::lround(alpha * 255)));
    f.bits = s.image->bits();
    f.stride = s.image->bytesPerLine();
    f.device = s.deviceRect;
    return f;
}

bool GraphicsContext::Impl::fillsNothing() const
{
    const Impl& d = *this;
    const double alpha = std::isfinite(d.state().alpha) ? d.state().alpha : 0.0;
    return (d.state().fillColor.toQt().alpha() == 0 || alpha <= 0.0)
        && !transparentSourceChangesDestination(d.state().blendMode);
}

void GraphicsContext::fillMask(const CoverageMask& mask)
{
    if (mask.isNull() || !d->surface().painter || d->fillsNothing())
        return;
    const QRect area = mask.rect() & roundOut(d->visibleDeviceRect()) & d->surface().deviceRect;
    if (area.isEmpty())
        return;
    if (const auto straight = d->straightFill(area)) {
        parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
            for (int y = area.top() + top; y < area.top() + bottom; ++y)
                straight->row(area.left(), y,
                    mask.plane.constScanLine(y - mask.origin.y()) + (area.left() - mask.origin.x()),
                    area.width());
        });
        d->noteDrawn(area);
        return;
    }
    // Anything else: the colour times the coverage as a picture, drawn as a layer is.
    const QRgb colour = qPremultiply(d->state().fillColor.toQt().rgba());
    QImage pixels = newBuffer(area.size());
    if (pixels.isNull())
        return;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* p = reinterpret_cast<QRgb*>(pixels.scanLine(y - area.top()));
        const std::uint8_t* k
            = mask.plane.constScanLine(y - mask.origin.y()) + (area.left() - mask.origin.x());
        for (int x = 0; x < area.width(); ++x)
            p[x] = k[x] == 0 ? 0 : byteMul(colour, k[x]);
    }
    Operation op = Impl::prerenderedOperation(pixels, area.topLeft(), area);
    op.mode = d->state().blendMode;
    op.alpha = std::isfinite(d->state().alpha) ? std::clamp(d->state().alpha, 0.0, 1.0) : 0.0;
    d->run(std::move(op));
}

void GraphicsContext::fillMask(const CoveragePieces& pieces)
{
    if (pieces.pieces.empty() || !d->surface().painter || d->fillsNothing())
        return;
    const QRect area = pieces.bounds & roundOut(d->visibleDeviceRect()) & d->surface().deviceRect;
    if (area.isEmpty())
        return;
    const auto straight = d->straightFill(area);
    if (!straight) {
        const CoverageMask plane = pieces.flattened(area);
        fillMask(plane);
        return;
    }
    // Each piece put down in turn: where pieces meet, one is drawn over the other. Bands of
    // rows side by side, each taking the rows of every piece that cross it.
    parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
        const QRect band(area.left(), area.top() + top, area.width(), bottom - top);
        for (const CoveragePieces::Piece& p : pieces.pieces) {
            const QRect part = p.rect & band;
            if (part.isEmpty())
                continue;
            for (int y = part.top(); y <= part.bottom(); ++y)
                straight->row(part.left(), y,
                    p.coverage + size_t(y - p.rect.top()) * size_t(p.rect.width())
                        + size_t(part.left() - p.rect.left()),
                    part.width());
        }
    });
    d->noteDrawn(area);
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
