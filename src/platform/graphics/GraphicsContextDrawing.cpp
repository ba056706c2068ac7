// GraphicsContext drawing: fills, strokes and clears, and the path every drawing takes to
// the surface (straight through the painter, or through our own coverage of the clip).
#include "platform/concurrency/Parallel.h"
#include "platform/graphics/CompositeRows.h"
#include "platform/graphics/GraphicsContextInternal.h"

#include <mutex>

namespace platform::graphicsinternal {

Operation brushOperation(const QPainterPath& shape, const QBrush& brush)
{
    Operation op;
    op.shape = shape;
    if (brush.style() == Qt::SolidPattern)
        op.solid = brush.color().rgba();
    op.brush = brush;
    op.paint = [shape, brush](QPainter& p, bool bounded) {
        if (bounded) {
            p.fillPath(shape, brush);
            return;
        }
        const auto inv = p.transform().inverted();
        QPainterPath all;
        all.addPolygon(inv.map(QPolygonF(QRectF(0, 0, p.device()->width(), p.device()->height()))));
        p.fillPath(all, brush);
    };
    return op;
}

} // namespace platform::graphicsinternal

namespace platform {

using namespace graphicsinternal;

void GraphicsContext::Impl::run(Operation op)
{
    if (!surface().painter) // a null target, or a layer with nothing visible
        return;
    if (op.shape.isEmpty() || !isFiniteTransform(op.userToDevice)
        || op.userToDevice.determinant() == 0.0)
        return;
    op.alpha = std::isfinite(op.alpha) ? std::clamp(op.alpha, 0.0, 1.0) : 0.0;
    // A clear solid fill (a box without a fill draws one) changes no pixel in a mode where a
    // transparent source leaves the destination, and casts no shadow: nothing to draw.
    if (op.solid && (qAlpha(*op.solid) == 0 || op.alpha <= 0.0)
        && !transparentSourceChangesDestination(op.mode))
        return;
    const QRectF visible = visibleDeviceRect();
    if (visible.isEmpty())
        return;
    const QRectF shapeDevice = op.userToDevice.mapRect(op.shape.controlPointRect());
    const QRect shapeArea = roundOut(shapeDevice);
    if (shapeArea.isEmpty())
        return;
    const bool shadowed = op.allowShadow && state().shadow && state().shadow->color.alpha > 0.0;
    if (op.shadowOnly && !shadowed)
        return;
    const bool simpleMode = !transparentSourceChangesDestination(op.mode);
    if (!shadowed && (op.brushSource || simpleMode || op.alpha >= 1.0)) {
        const QRect area = shapeArea.intersected(roundOut(visible));
        if (!area.isEmpty())
            drawDirect(op, area);
        return;
    }
    drawOffscreen(op, shapeArea);
}

void GraphicsContext::Impl::drawDirect(const Operation& op, const QRect& area)
{
    Surface& s = surface();
    if ((op.cut || (state().clip && state().clip->cut)) && drawThroughOwnCoverage(op, area)) {
        noteDrawn(area);
        return;
    }
    if (op.solid && op.mode == BlendMode::Normal && state().clip && state().clip->exact
        && writable(s) && drawSelfClipped(op, area)) {
        noteDrawn(area);
        return;
    }
    if (!op.prerendered.isNull() && op.mode == BlendMode::Normal && op.alpha >= 1.0 && state().clip
        && state().clip->exact && writable(s)
        && op.prerendered.format() == QImage::Format_ARGB32_Premultiplied
        && op.prerendered.rect().translated(op.prerenderedOrigin).contains(area)) {
        // A picture put down whole: our own rows, without a painter call (and its hand-offs).
        sourceOverThroughClip(op.prerendered, op.prerenderedOrigin, area);
        return;
    }
    // A brush through a clip of shapes goes through our coverage of the clip (kept with the
    // clip for the next fill through it): through the painter's clip, the painter would
    // rasterise the clip path over the clip's whole extent for every fill. So does a large
    // fill of a gradient or picture, unclipped or clipped to rectangles: the painter's own
    // fill hands its spans to threads of its own a few hundred at a time and waits for each
    // batch, where our coverage and the brush painted over whole bands go side by side on ours.
    const Clip* clip = state().clip.get();
    const bool throughShapes = clip && clip->exact && !clip->rectangles;
    const bool largeBrush = !op.solid && (!clip || clip->exact)
        && long(area.width()) * area.height() >= kParallelCoverage;
    if (op.brush && op.mode == BlendMode::Normal && writable(s) && (throughShapes || largeBrush)
        && drawThroughOwnCoverage(op, area)) {
        noteDrawn(area);
        return;
    }
    paintWithPainter(op);
    noteDrawn(area);
}

void GraphicsContext::Impl::paintWithPainter(const Operation& op, const std::optional<QRect>& rows)
{
    Surface& s = surface();
    applyClip(s, state().clip);
    QPainter& p = *s.painter;
    if (rows) {
        p.setTransform(s.deviceToPainter);
        p.setClipRect(*rows, Qt::IntersectClip);
        s.clipApplied = false; // the next drawing sets the state's clip again
    }
    resetPainter(p);
    p.setOpacity(op.alpha);
    p.setCompositionMode(toQtMode(op.mode));
    p.setTransform(op.userToDevice * s.deviceToPainter);
    op.paint(p, true);
}

// A solid fill through a clip whose last path is the filled shape itself (a stroke clipped to
// its outline): the shape is rendered once and its coverage counted twice, as the clip and as
// the fill, where painting through the painter's clip would render the same outline twice.
bool GraphicsContext::Impl::drawSelfClipped(const Operation& op, const QRect& area)
{
    const Clip& clip = *state().clip;
    if (clip.ownRectangle || op.shape.elementCount() != clip.paths.back().elementCount())
        return false;
    const QPainterPath device = op.userToDevice.map(op.shape);
    if (!samePath(device, clip.paths.back()))
        return false;
    const Coverage shape = rasterize(device, area);
    const Coverage* outer
        = clip.parent ? &clip.parent->coverage(area, surface().deviceRect) : nullptr;
    if (shape.plane.isNull() || (outer && outer->plane.isNull()))
        return false;
    QColor c = QColor::fromRgba(*op.solid);
    c.setAlphaF(float(c.alphaF() * op.alpha));
    const QRgb colour = qPremultiply(c.rgba());
    Surface& s = surface();
    uchar* const bits = s.image->bits();
    const qsizetype stride = s.image->bytesPerLine();
    parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
        for (int y = area.top() + top; y < area.top() + bottom; ++y) {
            auto* d = reinterpret_cast<QRgb*>(bits + (y - s.deviceRect.top()) * stride)
                + (area.left() - s.deviceRect.left());
            const std::uint8_t* k = shape.row(y, area.left());
            const std::uint8_t* o = outer ? outer->row(y, area.left()) : nullptr;
            forEachCovered(k, area.width(), [&](int x) {
                const int clipped = o ? div255(k[x] * o[x]) : k[x];
                sourceOverPixel(d[x], colour, div255(k[x] * clipped));
            });
        }
    });
    return true;
}

bool GraphicsContext::Impl::drawThroughOwnCoverage(const Operation& op, const QRect& area)
{
    Surface& s = surface();
    // Any clip is taken as our coverage has it (the same as the painter's but where a cut clip
    // path's curves are flattened more finely): the painter's own clip would rasterise a cut
    // clip path just as slowly as a cut shape.
    if (op.mode != BlendMode::Normal || (!op.solid && !op.brush) || !s.painter)
        return false;
    const Coverage shape = rasterize(op.userToDevice.map(op.shape), area);
    const Coverage* clip = state().clip ? &state().clip->coverage(area, s.deviceRect) : nullptr;
    if (shape.plane.isNull() || (clip && clip->plane.isNull()))
        return false;
    // Straight onto the surface's pixels where we may write them; else onto a clear layer
    // the painter then puts down as it is.
    const bool direct = s.image && writable(s);
    QImage layer;
    if (!direct) {
        layer = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
        if (layer.isNull())
            return false;
        layer.fill(0);
    }
    const QPoint origin = direct ? s.deviceRect.topLeft() : area.topLeft();
    uchar* const bits = direct ? s.image->bits() : layer.bits();
    const qsizetype stride = direct ? s.image->bytesPerLine() : layer.bytesPerLine();
    QRgb colour = 0;
    if (op.solid) {
        QColor c = QColor::fromRgba(*op.solid);
        c.setAlphaF(float(c.alphaF() * op.alpha));
        colour = qPremultiply(c.rgba());
    }
    const QTransform toArea
        = op.userToDevice * QTransform::fromTranslate(-area.left(), -area.top());
    std::mutex failedMutex;
    std::vector<QRect> failed; // bands without a buffer: painted through the painter's clip
    parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
        // A brush is painted over the whole band, a rectangle (no outline to rasterise, one
        // span a row: the painter keeps so small a fill on this thread), on a copy of its own;
        // the brush's transform carries the user space the shape is painted in.
        QImage band;
        if (!op.solid) {
            band = QImage(area.width(), bottom - top, QImage::Format_ARGB32_Premultiplied);
            if (band.isNull()) {
                std::lock_guard lock(failedMutex);
                failed.emplace_back(area.left(), area.top() + top, area.width(), bottom - top);
                return;
            }
            band.fill(0);
            QPainter p(&band);
            resetPainter(p);
            p.setOpacity(op.alpha);
            QBrush brush = *op.brush;
            brush.setTransform(brush.transform() * toArea * QTransform::fromTranslate(0, -top));
            p.fillRect(band.rect(), brush);
        }
        constexpr int kChunk = 256;
        std::uint8_t both[kChunk];
        for (int y = area.top() + top; y < area.top() + bottom; ++y) {
            auto* d = reinterpret_cast<QRgb*>(bits + (y - origin.y()) * stride)
                + (area.left() - origin.x());
            const std::uint8_t* k = shape.row(y, area.left());
            const std::uint8_t* o = clip ? clip->row(y, area.left()) : nullptr;
            if (band.isNull()) {
                forEachCovered(k, area.width(), [&](int x) {
                    sourceOverPixel(d[x], colour, o ? div255(k[x] * o[x]) : k[x]);
                });
                continue;
            }
            const auto* src
                = reinterpret_cast<const QRgb*>(band.constScanLine(y - area.top() - top));
            // A clip around the shape leaves the row the shape's; a shape around the clip (a
            // stroke's gradient over the area, clipped to the stroke) leaves it the clip's.
            if (!o || allFull(o, area.width())) {
                sourceOverRow(d, src, k, area.width());
                continue;
            }
            if (allFull(k, area.width())) {
                sourceOverRow(d, src, o, area.width());
                continue;
            }
            for (int x = 0; x < area.width(); x += kChunk) {
                const int n = std::min(kChunk, area.width() - x);
                for (int i = 0; i < n; ++i)
                    both[i] = std::uint8_t(div255(k[x + i] * o[x + i]));
                sourceOverRow(d + x, src + x, both, n);
            }
        }
    });
    for (const QRect& band : failed)
        paintWithPainter(op, band);
    if (!direct) {
        QPainter& p = *s.painter;
        p.save();
        p.setTransform(s.deviceToPainter);
        p.setClipping(false); // the clip is in the layer's coverage already
        p.setOpacity(1.0);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.drawImage(area.topLeft(), layer);
        p.restore();
        s.clipApplied = false;
    }
    return true;
}

void GraphicsContext::fillPath(const BezierPath& path)
{
    const QTransform toDevice = d->userToDevice();
    d->runInState(d->shownBrushOperation(
                      path.toQPainterPath(), QBrush(d->state().fillColor.toQt()), toDevice),
        toDevice);
}

void GraphicsContext::fillRect(const Rect& r)
{
    fillPath(BezierPath::rect(r));
}

void GraphicsContext::strokePath(const BezierPath& path)
{
    const BezierPath outline = path.strokedPath(d->state().strokeStyle);
    const QTransform toDevice = d->userToDevice();
    d->runInState(d->shownBrushOperation(
                      outline.toQPainterPath(), QBrush(d->state().strokeColor.toQt()), toDevice),
        toDevice);
}

void GraphicsContext::clearRect(const Rect& r)
{
    Operation op = brushOperation(BezierPath::rect(r).toQPainterPath(), QBrush(Qt::black));
    op.userToDevice = d->userToDevice();
    op.mode = BlendMode::Clear;
    op.alpha = 1.0;
    op.allowShadow = false;
    d->run(std::move(op));
}

} // namespace platform
