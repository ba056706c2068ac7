// GraphicsContext transparency layers: an offscreen surface opened with fresh alpha, blend
// mode and shadow, composited at the end through the state that was current at begin.
#include "platform/graphics/GraphicsContextInternal.h"

namespace platform {

using namespace graphicsinternal;

void GraphicsContext::beginTransparencyLayer()
{
    const QRect area = roundOut(d->visibleDeviceRect());
    Impl::Surface layer;
    layer.layerState = d->state();
    layer.deviceRect = area;
    layer.ownImage = std::make_unique<QImage>(newBuffer(area.size()));
    if (!layer.ownImage->isNull()) {
        layer.image = layer.ownImage.get();
        layer.ownPainter = std::make_unique<QPainter>(layer.image);
        layer.painter = layer.ownPainter.get();
    }
    layer.deviceToPainter = QTransform::fromTranslate(-area.left(), -area.top());
    d->surfaces.push_back(std::move(layer));
    // Inside, drawing starts from the defaults; the saved values apply to the whole at the end.
    d->state().alpha = 1.0;
    d->state().blendMode = BlendMode::Normal;
    d->state().shadow.reset();
}

void GraphicsContext::endTransparencyLayer()
{
    if (d->surfaces.size() < 2)
        return;
    Impl::Surface layer = std::move(d->surfaces.back());
    d->surfaces.pop_back();
    const State saved = layer.layerState;
    d->state().alpha = saved.alpha;
    d->state().blendMode = saved.blendMode;
    d->state().shadow = saved.shadow;
    if (!layer.painter || layer.drawn.isEmpty())
        return;
    layer.ownPainter.reset();
    const QRect drawn = layer.drawn;
    const QImage pixels = *layer.ownImage;
    const QRect source = drawn.translated(-layer.deviceRect.topLeft());

    // Composited in device space under the clip that was current at begin.
    const auto clip = d->state().clip;
    d->state().clip = saved.clip;
    Operation op;
    QPainterPath shape;
    shape.addRect(QRectF(drawn));
    op.shape = shape;
    op.userToDevice = QTransform();
    op.brushSource = false;
    op.mode = saved.blendMode;
    op.alpha = saved.alpha;
    op.paint = [pixels, source, drawn](QPainter& p, bool) {
        p.drawImage(QPointF(drawn.topLeft()), pixels, QRectF(source));
    };
    op.prerendered = pixels;
    op.prerenderedOrigin = layer.deviceRect.topLeft();
    d->run(std::move(op));
    d->state().clip = clip;
}

} // namespace platform
