// GraphicsContext transparency layers: an offscreen surface opened with fresh alpha, blend
// mode and shadow, composited at the end through the state that was current at begin.
#include "platform/concurrency/Parallel.h"
#include "platform/graphics/GraphicsContextInternal.h"

namespace platform {

using namespace graphicsinternal;

void GraphicsContext::Impl::pushLayer(const QRect& area)
{
    Surface layer;
    layer.layerState = state();
    layer.deviceRect = area;
    layer.ownImage = std::make_unique<QImage>(newBuffer(area.size()));
    if (!layer.ownImage->isNull()) {
        layer.image = layer.ownImage.get();
        layer.ownPainter = std::make_unique<QPainter>(layer.image);
        layer.painter = layer.ownPainter.get();
    }
    layer.deviceToPainter = QTransform::fromTranslate(-area.left(), -area.top());
    surfaces.push_back(std::move(layer));
    // Inside, drawing starts from the defaults; the saved values apply to the whole at the end.
    state().alpha = 1.0;
    state().blendMode = BlendMode::Normal;
    state().shadow.reset();
}

GraphicsContext::Impl::Operation GraphicsContext::Impl::prerenderedOperation(
    const QImage& pixels, const QPoint& origin, const QRect& drawn)
{
    const QRect source = drawn.translated(-origin);
    Operation op;
    QPainterPath shape;
    shape.addRect(QRectF(drawn));
    op.shape = shape;
    op.userToDevice = QTransform();
    op.brushSource = false;
    op.paint = [pixels, source, drawn](QPainter& p, bool) {
        p.drawImage(QPointF(drawn.topLeft()), pixels, QRectF(source));
    };
    op.prerendered = pixels;
    op.prerenderedOrigin = origin;
    return op;
}

void GraphicsContext::Impl::popLayer(const CoverageMask* mask)
{
    if (surfaces.size() < 2)
        return;
    Surface layer = std::move(surfaces.back());
    surfaces.pop_back();
    const State saved = layer.layerState;
    state().alpha = saved.alpha;
    state().blendMode = saved.blendMode;
    state().shadow = saved.shadow;
    QRect drawn = layer.drawn;
    if (mask)
        drawn &= mask->rect();
    if (!layer.painter || drawn.isEmpty())
        return;
    layer.ownPainter.reset();
    if (mask) {
        // Pixels outside the mask's part of the layer are never read.
        QImage& pixels = *layer.ownImage;
        const QRect area = drawn;
        const QPoint at = layer.deviceRect.topLeft();
        parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
            for (int y = area.top() + top; y < area.top() + bottom; ++y) {
                auto* d
                    = reinterpret_cast<QRgb*>(pixels.scanLine(y - at.y())) + (area.left() - at.x());
                const std::uint8_t* k = mask->plane.constScanLine(y - mask->origin.y())
                    + (area.left() - mask->origin.x());
                for (int x = 0; x < area.width(); ++x)
                    d[x] = k[x] == 255 ? d[x] : byteMul(d[x], k[x]);
            }
        });
    }
    const QImage pixels = *layer.ownImage;

    // Composited in device space under the clip that was current at begin.
    const auto clip = state().clip;
    state().clip = saved.clip;
    Operation op = prerenderedOperation(pixels, layer.deviceRect.topLeft(), drawn);
    op.mode = saved.blendMode;
    op.alpha = saved.alpha;
    run(std::move(op));
    state().clip = clip;
}

void GraphicsContext::beginTransparencyLayer()
{
    d->pushLayer(roundOut(d->visibleDeviceRect()));
}

void GraphicsContext::endTransparencyLayer()
{
    d->popLayer();
}

} // namespace platform
