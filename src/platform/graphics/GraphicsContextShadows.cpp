// GraphicsContext shadows: the tint table of a shadow colour and the inner shadow of a
// shape, computed on coverage planes where it can be, step by step otherwise.
#include "platform/concurrency/Parallel.h"
#include "platform/graphics/CompositeRows.h"
#include "platform/graphics/GraphicsContextInternal.h"

#include <memory>
#include <mutex>

namespace platform::graphicsinternal {

std::array<QRgb, 256> tintsOf(QRgb full)
{
    std::array<QRgb, 256> tint;
    for (int k = 0; k < 256; ++k)
        tint[size_t(k)] = qRgba(mul255(qRed(full), k), mul255(qGreen(full), k),
            mul255(qBlue(full), k), mul255(qAlpha(full), k));
    return tint;
}

} // namespace platform::graphicsinternal

namespace platform {

using namespace graphicsinternal;

namespace {

// The inner shadow's layer pixel for each coverage of the shadow: table[m], the colour at m
// with the layer's opacity. A shadow keeps its colour from frame to frame, so the last table
// is kept.
std::shared_ptr<const std::vector<QRgb>> innerShadowTable(QRgb colour, int opacity)
{
    static std::mutex mutex;
    static std::shared_ptr<const std::vector<QRgb>> last;
    static QRgb lastColour = 0;
    static int lastOpacity = -1;
    {
        std::lock_guard lock(mutex);
        if (last && lastColour == colour && lastOpacity == opacity)
            return last;
    }
    const std::array<int, 4> ink { qRed(colour), qGreen(colour), qBlue(colour), 255 };
    auto table = std::make_shared<std::vector<QRgb>>(256);
    for (int m = 0; m < 256; ++m) {
        std::array<int, 4> l {};
        for (size_t c = 0; c < 4; ++c)
            l[c] = std::clamp(mul255(ink[c] + 255, m) - m, 0, 255);
        (*table)[size_t(m)] = byteMul(qRgba(l[0], l[1], l[2], l[3]), opacity);
    }
    std::lock_guard lock(mutex);
    last = table;
    lastColour = colour;
    lastOpacity = opacity;
    return last;
}

} // namespace

// The inner shadow of the current clip's own path (fillInnerShadow), computed on coverage
// planes over the layer the step-by-step form would open: the area of the clip, path
// included. The steps are the step-by-step form's, pixel for pixel but on the outline:
//  - inside the layer, the opaque fill's shadow goes down onto clear pixels and the fill
//    itself source-out over it, through the clip and the path: the colour at (1 - B) K P,
//    B the path's coverage blurred and moved, K the clip's, P the path's. On a pixel the
//    outline crosses, the shadow is kept to the covered part: the steps, which spread it over
//    the whole pixel before the fill takes out only part of it, leave a dark seam along an
//    edge the moved shape still covers (dashes along a shallow one);
//  - the layer is composited with the alpha, casting the outer shadow from its alpha when
//    layerCastsShadow: the shadow, then the layer, source-over through the clip.
// False when the form cannot be followed here (blend mode, a clip the painter rounds its own
// way, a failed allocation): the caller takes the steps one by one.
bool GraphicsContext::Impl::innerShadowOnCoverage(
    const Shadow& shadow, double alphaIn, bool layerCastsShadow)
{
    Surface& s = surface();
    const std::shared_ptr<const Clip> clip = state().clip;
    // A caller's painter is drawn on through its own transform: only a whole-pixel
    // translation keeps our coverage where its clip would be.
    const QTransform& toPainter = s.deviceToPainter;
    const bool wholePixelPainter = toPainter.type() <= QTransform::TxTranslate
        && std::floor(toPainter.dx()) == toPainter.dx()
        && std::floor(toPainter.dy()) == toPainter.dy();
    if (!s.painter || state().blendMode != BlendMode::Normal || !clip || !clip->exact
        || clip->ownRectangle || !wholePixelPainter)
        return false;
    const double a = std::isfinite(alphaIn) ? std::clamp(alphaIn, 0.0, 1.0) : 1.0;
    const QRect area = roundOut(visibleDeviceRect());
    if (a <= 0.0 || area.isEmpty())
        return true;
    const QPainterPath& device = clip->paths.back();

    const QPoint offset = shadowOffset(shadow);
    const AlphaBlur blur = shadowBlur(shadow);
    const int reach = blur.reach();

    // The path's coverage is needed over the area and where the area's shadow comes from.
    const QRect casting = area.translated(-offset)
                              .adjusted(-reach, -reach, reach, reach)
                              .intersected(roundOut(device.controlPointRect()));
    auto pixels = [](const QRect& r) { return r.isEmpty() ? 0LL : 1LL * r.width() * r.height(); };
    const QRect both = area.united(casting);
    const bool together = pixels(both) <= 2 * (pixels(area) + pixels(casting));
    const Coverage& clipCoverage = clip->coverage(together ? both : area, s.deviceRect);
    if (clipCoverage.plane.isNull() || clip->own.plane.isNull())
        return false;
    Coverage apart;
    const Coverage* castingCoverage = &clip->own;
    if (!together) {
        apart = rasterize(device, casting);
        if (apart.plane.isNull())
            return false;
        castingCoverage = &apart;
    }

    // B: the inner shadow's blur of the path, moved by the offset. (The planes of this step are
    // kept per thread: a shadow is redrawn every frame, and fresh pages cost more than the
    // arithmetic.)
    // (Lambdas below run on other threads: they must see this thread's planes by reference.)
    thread_local std::vector<std::uint8_t> keptInner, keptOuter;
    std::vector<std::uint8_t>& inner = keptInner;
    std::vector<std::uint8_t>& outer = keptOuter;
    // Only the part of each blurred plane that falls on the area is computed.
    auto blurOver = [&](const QRect& plane, const QRect& wanted, const std::uint8_t* pixels,
                        int stride, int step, std::vector<std::uint8_t>& out) {
        const QPoint origin = plane.topLeft() - QPoint(reach, reach) + offset;
        const QRect part = QRect(origin, plane.size().grownBy(QMargins(reach, reach, reach, reach)))
                               .intersected(wanted);
        // (Not cleared first: the blur writes every value of the part, and a plane cleared
        // to nothing would be filled with zeros again as it grows back.)
        if (part.isEmpty())
            return part;
        const QRect inPlane = part.translated(-origin);
        blur.apply(pixels, plane.width(), plane.height(), stride, step,
            { inPlane.x(), inPlane.y(), inPlane.width(), inPlane.height() }, out);
        return part;
    };
    QRect innerRect;
    if (!casting.isEmpty())
        innerRect = blurOver(casting, area, castingCoverage->row(casting.top(), casting.left()),
            int(castingCoverage->plane.bytesPerLine()), 1, inner);

    // The layer's pixels, with the alpha applied as the painter applies an opacity. Every
    // pixel is written below.
    thread_local QImage keptLayer;
    QImage& layer = keptLayer;
    if (layer.size() != area.size() || !layer.isDetached())
        layer = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return false;
    const QRgb colour = qPremultiply(shadow.color.withAlpha(1.0).toQt().rgba());
    const int opacity = (int(a * 256) * 255) >> 8;
    const std::shared_ptr<const std::vector<QRgb>> layerTable = innerShadowTable(colour, opacity);
    const std::vector<QRgb>& table = *layerTable;
    uchar* const layerBits = layer.bits();
    const qsizetype layerStride = layer.bytesPerLine();
    // The layer's alpha on its own as well, for the blur of the shadow it casts: a quarter of
    // the bytes to read.
    thread_local std::vector<std::uint8_t> keptLayerAlpha;
    std::vector<std::uint8_t>& layerAlpha = keptLayerAlpha;
    const size_t alphaStride = size_t(area.width());
    if (layerCastsShadow)
        layerAlpha.resize(alphaStride * size_t(area.height())); // every value written below
    std::uint8_t* const alphaBits = layerCastsShadow ? layerAlpha.data() : nullptr;
    parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
        for (int y = area.top() + top; y < area.top() + bottom; ++y) {
            auto* out = reinterpret_cast<QRgb*>(layerBits + (y - area.top()) * layerStride);
            std::uint8_t* outAlpha
                = alphaBits ? alphaBits + size_t(y - area.top()) * alphaStride : nullptr;
            const std::uint8_t* k = clipCoverage.row(y, area.left());
            const std::uint8_t* p = clip->own.row(y, area.left());
            const bool shadowRow = y >= innerRect.top() && y <= innerRect.bottom();
            // The row's shade by x in the area (none outside [bLo, bHi)).
            const int bLo = innerRect.left() - area.left(), bHi = bLo + innerRect.width();
            const std::uint8_t* b = shadowRow
                ? inner.data() + size_t(y - innerRect.top()) * size_t(innerRect.width())
                : nullptr;
            // Each pixel written once: clear where the clip covers nothing (table[0] is clear).
            auto pixel = [&](int x) {
                const int kx = k[x];
                if (kx == 0)
                    return QRgb(0);
                const int shade = b && x >= bLo && x < bHi ? b[x - bLo] : 0;
                return table[size_t(mul255(255 - shade, div255(kx * p[x])))];
            };
            const int n = area.width();
            int x = 0;
            for (; x + 8 <= n; x += 8) {
                std::uint64_t run;
                std::memcpy(&run, k + x, sizeof run);
                // Clear too where the moved shape's shadow covers all (deep inside the shape,
                // where most of its pixels are) or the path covers nothing.
                std::uint64_t shade = 0, path;
                if (b && x >= bLo && x + 8 <= bHi)
                    std::memcpy(&shade, b + (x - bLo), sizeof shade);
                std::memcpy(&path, p + x, sizeof path);
                if (run == 0 || shade == ~std::uint64_t(0) || path == 0) {
                    std::fill_n(out + x, 8, QRgb(0));
                    if (outAlpha)
                        std::memset(outAlpha + x, 0, 8);
                    continue;
                }
                for (int i = x; i < x + 8; ++i)
                    out[i] = pixel(i);
                if (outAlpha) {
                    for (int i = x; i < x + 8; ++i)
                        outAlpha[i] = std::uint8_t(qAlpha(out[i]));
                }
            }
            for (; x < n; ++x) {
                out[x] = pixel(x);
                if (outAlpha)
                    outAlpha[x] = std::uint8_t(qAlpha(out[x]));
            }
        }
    });

    // The outer shadow: the layer's alpha blurred and moved.
    const QRect outerRect = layerCastsShadow
        ? blurOver(area, area, layerAlpha.data(), int(alphaStride), 1, outer)
        : QRect();
    const std::array<QRgb, 256> tint = tintsOf(qPremultiply(shadow.color.toQt().rgba()));

    // The shadow, then the layer, through the clip: onto the pixels, or gathered into one
    // picture put down by the painter.
    const bool inPlace = writable(s);
    QImage gathered;
    if (!inPlace) {
        gathered = newBuffer(area.size());
        if (gathered.isNull())
            return false;
    }
    QImage& target = inPlace ? *s.image : gathered;
    const QPoint targetOrigin = inPlace ? s.deviceRect.topLeft() : area.topLeft();
    uchar* const targetBits = target.bits();
    const qsizetype targetStride = target.bytesPerLine();
    parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
        for (int y = area.top() + top; y < area.top() + bottom; ++y) {
            QRgb* d = reinterpret_cast<QRgb*>(targetBits + (y - targetOrigin.y()) * targetStride)
                + (area.left() - targetOrigin.x());
            const auto* src
                = reinterpret_cast<const QRgb*>(layerBits + (y - area.top()) * layerStride);
            const std::uint8_t* k = clipCoverage.row(y, area.left());
            const bool shadowRow = y >= outerRect.top() && y <= outerRect.bottom();
            // The row's shadow by x in the area (none outside [bLo, bHi)).
            const int bLo = outerRect.left() - area.left(), bHi = bLo + outerRect.width();
            const std::uint8_t* b = shadowRow
                ? outer.data() + size_t(y - outerRect.top()) * size_t(outerRect.width())
                : nullptr;
            // The row's shadow, then the layer over it: each pixel as one after the other
            // leaves it.
            const int n = area.width();
            const int lo = std::max(0, bLo), hi = std::min(n, bHi);
            if (b && lo < hi)
                tintOverRow(d + lo, b + (lo - bLo), tint.data(), k + lo, hi - lo);
            sourceOverRow(d, src, k, n);
        }
    });
    if (!inPlace) {
        s.painter->setClipping(false);
        s.clipApplied = false;
        resetPainter(*s.painter);
        s.painter->setTransform(s.deviceToPainter);
        s.painter->drawImage(area.topLeft(), gathered);
    }
    noteDrawn(area);
    // Planes of a huge shadow are let go: they must not pin their memory for the thread's life.
    constexpr size_t kKeep = size_t(16) << 20;
    if (size_t(layer.sizeInBytes()) > kKeep)
        layer = QImage();
    for (auto* plane : { &inner, &outer, &layerAlpha }) {
        if (plane->capacity() > kKeep)
            *plane = {};
    }
    return true;
}

void GraphicsContext::fillInnerShadow(
    const BezierPath& path, const Shadow& shadow, double alpha, bool layerCastsShadow)
{
    if (path.isEmpty())
        return;
    GStateGuard state(*this);
    clipToPath(path);
    if (d->innerShadowOnCoverage(shadow, alpha, layerCastsShadow))
        return;
    if (layerCastsShadow)
        setShadow(shadow);
    setAlpha(alpha);
    beginTransparencyLayer();
    // The path, opaque, through the clip: K P.
    const Color opaque = shadow.color.withAlpha(1.0);
    setFillColor(opaque);
    fillPath(path);
    {
        // Then its shadow alone erased from it: (1 - B) K P. Not through the clip: the layer
        // is clear outside it, and through it a pixel the outline crosses would lose only
        // part of the shadow's erasing and keep a dark seam.
        GStateGuard erase(*this);
        d->state().clip.reset();
        Shadow inner = shadow;
        inner.color = opaque;
        setShadow(inner);
        setBlendMode(BlendMode::DestinationOut);
        const QTransform toDevice = d->userToDevice();
        Operation op
            = d->shownBrushOperation(path.toQPainterPath(), QBrush(opaque.toQt()), toDevice);
        op.shadowOnly = true;
        d->runInState(std::move(op), toDevice);
    }
    endTransparencyLayer();
}

} // namespace platform
