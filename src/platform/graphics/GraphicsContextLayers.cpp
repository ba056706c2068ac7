// GraphicsContext transparency layers: an offscreen surface opened with fresh alpha, blend
// mode and shadow, composited at the end through the state that was current at begin; and
// device pictures, the same surfaces handed back to be composited later.
#include "platform/graphics/GraphicsContextInternal.h"

namespace platform {

using namespace graphicsinternal;

void GraphicsContext::Impl::compositeDevicePixels(
    const QImage& pixels, const QPoint& pixelsOrigin, const QRect& drawn, const CastShadow* precast)
{
    const QRect source = drawn.translated(-pixelsOrigin);
    Operation op;
    QPainterPath shape;
    shape.addRect(QRectF(drawn));
    op.shape = shape;
    op.userToDevice = QTransform();
    op.brushSource = false;
    op.mode = state().blendMode;
    op.alpha = state().alpha;
    op.paint = [pixels, source, drawn](QPainter& p, bool) {
        p.drawImage(QPointF(drawn.topLeft()), pixels, QRectF(source));
    };
    op.prerendered = pixels;
    op.prerenderedOrigin = pixelsOrigin;
    op.precast = precast;
    run(std::move(op));
}

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
    if (d->surfaces.size() < 2 || d->surfaces.back().picture)
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
    // Composited in device space under the clip that was current at begin.
    const auto clip = d->state().clip;
    d->state().clip = saved.clip;
    d->compositeDevicePixels(*layer.ownImage, layer.deviceRect.topLeft(), layer.drawn);
    d->state().clip = clip;
}

// ---- device pictures

AffineTransform GraphicsContext::userToDeviceTransform() const
{
    return AffineTransform::fromQt(d->userToDevice());
}

QRect GraphicsContext::visibleDeviceArea() const
{
    return roundOut(d->visibleDeviceRect());
}

QRect GraphicsContext::deviceSurfaceArea() const
{
    return d->surfaces.back().deviceRect;
}

void GraphicsContext::beginPicture(const QRect& area)
{
    Impl::Surface picture;
    picture.picture = true;
    picture.layerState = d->state();
    picture.deviceRect = area;
    picture.ownImage = std::make_unique<QImage>(newBuffer(area.size()));
    if (!picture.ownImage->isNull()) {
        picture.image = picture.ownImage.get();
        picture.ownPainter = std::make_unique<QPainter>(picture.image);
        picture.painter = picture.ownPainter.get();
    }
    picture.deviceToPainter = QTransform::fromTranslate(-area.left(), -area.top());
    d->surfaces.push_back(std::move(picture));
    // The clip of the caller (the area being repainted) is not the picture's: it holds the
    // whole area, to be put down again wherever it is needed.
    d->state().clip.reset();
    d->state().alpha = 1.0;
    d->state().blendMode = BlendMode::Normal;
    d->state().shadow.reset();
}

QImage GraphicsContext::endPicture(QPoint& origin)
{
    origin = QPoint();
    if (d->surfaces.size() < 2 || !d->surfaces.back().picture)
        return {};
    Impl::Surface picture = std::move(d->surfaces.back());
    d->surfaces.pop_back();
    const State& saved = picture.layerState;
    d->state().clip = saved.clip;
    d->state().alpha = saved.alpha;
    d->state().blendMode = saved.blendMode;
    d->state().shadow = saved.shadow;
    if (!picture.painter || picture.drawn.isEmpty())
        return {};
    picture.ownPainter.reset();
    const QRect drawn = picture.drawn.intersected(picture.deviceRect);
    origin = drawn.topLeft();
    // A picture is often kept: what was not drawn on is left out when that saves a good part.
    const qint64 all = qint64(picture.deviceRect.width()) * picture.deviceRect.height();
    if (qint64(drawn.width()) * drawn.height() * 4 >= all * 3) {
        origin = picture.deviceRect.topLeft();
        return std::move(*picture.ownImage);
    }
    return picture.ownImage->copy(drawn.translated(-picture.deviceRect.topLeft()));
}

void GraphicsContext::drawDevicePicture(
    const QImage& picture, const QPoint& origin, const CastShadow* cast)
{
    if (picture.isNull() || picture.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    d->compositeDevicePixels(picture, origin, QRect(origin, picture.size()), cast);
}

CastShadow GraphicsContext::castShadow(
    const QImage& picture, const Shadow& shadow, double baseScale)
{
    CastShadow cast;
    cast.offset = shadowOffsetPixels(shadow, baseScale);
    cast.sigma = shadowSigma(shadow, baseScale);
    if (picture.isNull() || picture.format() != QImage::Format_ARGB32_Premultiplied)
        return cast;
    const AlphaBlur blur(cast.sigma);
    const int reach = blur.reach();
    cast.rect = QRect(cast.offset - QPoint(reach, reach),
        picture.size().grownBy(QMargins(reach, reach, reach, reach)));
    const int alphaByte = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 3 : 0;
    blur.apply(picture.constBits() + alphaByte, picture.width(), picture.height(),
        int(picture.bytesPerLine()), 4, cast.alpha);
    return cast;
}

bool GraphicsContext::isCastFor(const CastShadow& cast, const Shadow& shadow, double baseScale)
{
    return cast.offset == shadowOffsetPixels(shadow, baseScale)
        && cast.sigma == shadowSigma(shadow, baseScale);
}

double GraphicsContext::baseScale() const
{
    return d->baseScale;
}

} // namespace platform
