// GraphicsContext transparency layers: an offscreen surface opened with fresh alpha, blend
// mode and shadow, composited at the end through the state that was current at begin; and
// device pictures, the same surfaces handed back to be composited later.
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
    if (surfaces.size() < 2 || surfaces.back().picture)
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
    // Composited in device space under the clip that was current at begin.
    const auto clip = state().clip;
    state().clip = saved.clip;
    if (mask && compositeMaskedLayer(*layer.ownImage, layer.deviceRect.topLeft(), drawn, *mask)) {
        state().clip = clip;
        return;
    }
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
    compositeDevicePixels(*layer.ownImage, layer.deviceRect.topLeft(), drawn);
    state().clip = clip;
}

bool GraphicsContext::Impl::compositeMaskedLayer(
    const QImage& pixels, const QPoint& pixelsOrigin, const QRect& drawn, const CoverageMask& mask)
{
    // Straight onto the surface in one pass, the mask taken as the pixels are put down: the
    // same arithmetic as scaling the layer by the mask and then compositing it, without a pass
    // over the whole layer (most of whose pixels the mask of a text leaves clear).
    Surface& s = surface();
    const State& st = state();
    const bool shadowed = st.shadow && st.shadow->color.alpha > 0.0;
    const Clip* clip = st.clip.get();
    // (Through a clip of rectangles only, whose coverage is the painter's own: the painter's
    // clip of other shapes rounds a few levels away from our coverage of them.)
    if (st.blendMode != BlendMode::Normal || !(st.alpha >= 1.0) || shadowed || !writable(s)
        || (clip && !(clip->exact && clip->rectangles)))
        return false;
    const QRect area = drawn & roundOut(visibleDeviceRect()) & s.deviceRect
        & QRect(pixelsOrigin, pixels.size()) & mask.rect();
    if (area.isEmpty())
        return true;
    const Coverage* clipCoverage = nullptr;
    if (clip) {
        clipCoverage = &clip->coverage(area, s.deviceRect);
        if (!clipCoverage->covers(area))
            return false;
    }
    const uchar* const from = pixels.constBits();
    const qsizetype fromStride = pixels.bytesPerLine();
    parallelRows(area.height(), area.width(), kParallelCoverage,
        [&, rows = surfaceRows(s)](int top, int bottom) {
            for (int y = area.top() + top; y < area.top() + bottom; ++y) {
                QRgb* d = rows(y, area.left());
                const auto* src
                    = reinterpret_cast<const QRgb*>(from + (y - pixelsOrigin.y()) * fromStride)
                    + (area.left() - pixelsOrigin.x());
                const std::uint8_t* m = mask.plane.constScanLine(y - mask.origin.y())
                    + (area.left() - mask.origin.x());
                const std::uint8_t* k = clipCoverage ? clipCoverage->row(y, area.left()) : nullptr;
                forEachCovered(m, area.width(), [&](int x) {
                    const QRgb masked = m[x] == 255 ? src[x] : byteMul(src[x], m[x]);
                    sourceOverPixel(d[x], masked, k ? k[x] : 255);
                });
            }
        });
    noteDrawn(area);
    return true;
}

void GraphicsContext::Impl::compositeDevicePixels(
    const QImage& pixels, const QPoint& pixelsOrigin, const QRect& drawn, const CastShadow* precast)
{
    Operation op = prerenderedOperation(pixels, pixelsOrigin, drawn);
    op.mode = state().blendMode;
    op.alpha = state().alpha;
    op.precast = precast;
    run(std::move(op));
}

void GraphicsContext::beginTransparencyLayer()
{
    d->pushLayer(roundOut(d->visibleDeviceRect()));
}

void GraphicsContext::endTransparencyLayer()
{
    d->popLayer();
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
    d->pushLayer(area);
    d->surfaces.back().picture = true;
    // The clip of the caller (the area being repainted) is not the picture's: it holds the
    // whole area, to be put down again wherever it is needed.
    d->state().clip.reset();
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
