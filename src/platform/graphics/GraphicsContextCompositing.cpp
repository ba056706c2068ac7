// GraphicsContext compositing: blend modes in Qt's terms, compositing through a coverage
// mask, and the offscreen path (a source rendered apart, its shadow cast under it, then
// put down through the clip, the painter or the shape's coverage).
#include "platform/concurrency/Parallel.h"
#include "platform/graphics/AlphaBlur.h"
#include "platform/graphics/CompositeRows.h"
#include "platform/graphics/GraphicsContextInternal.h"

namespace platform::graphicsinternal {

QPainter::CompositionMode toQtMode(BlendMode mode)
{
    using Q = QPainter;
    switch (mode) {
    case BlendMode::Normal:
        return Q::CompositionMode_SourceOver;
    case BlendMode::Multiply:
        return Q::CompositionMode_Multiply;
    case BlendMode::Screen:
        return Q::CompositionMode_Screen;
    case BlendMode::Overlay:
        return Q::CompositionMode_Overlay;
    case BlendMode::Darken:
        return Q::CompositionMode_Darken;
    case BlendMode::Lighten:
        return Q::CompositionMode_Lighten;
    case BlendMode::ColorDodge:
        return Q::CompositionMode_ColorDodge;
    case BlendMode::ColorBurn:
        return Q::CompositionMode_ColorBurn;
    case BlendMode::SoftLight:
        return Q::CompositionMode_SoftLight;
    case BlendMode::HardLight:
        return Q::CompositionMode_HardLight;
    case BlendMode::Difference:
        return Q::CompositionMode_Difference;
    case BlendMode::Exclusion:
        return Q::CompositionMode_Exclusion;
    case BlendMode::Clear:
        return Q::CompositionMode_Clear;
    case BlendMode::Copy:
        return Q::CompositionMode_Source;
    case BlendMode::SourceIn:
        return Q::CompositionMode_SourceIn;
    case BlendMode::SourceOut:
        return Q::CompositionMode_SourceOut;
    case BlendMode::SourceAtop:
        return Q::CompositionMode_SourceAtop;
    case BlendMode::DestinationOver:
        return Q::CompositionMode_DestinationOver;
    case BlendMode::DestinationIn:
        return Q::CompositionMode_DestinationIn;
    case BlendMode::DestinationOut:
        return Q::CompositionMode_DestinationOut;
    case BlendMode::DestinationAtop:
        return Q::CompositionMode_DestinationAtop;
    case BlendMode::XOR:
        return Q::CompositionMode_Xor;
    case BlendMode::PlusLighter:
        return Q::CompositionMode_Plus;
    case BlendMode::Hue:
    case BlendMode::Saturation:
    case BlendMode::Color:
    case BlendMode::Luminosity:
    case BlendMode::PlusDarker:
        // No raster equivalent; drawn normally.
        return Q::CompositionMode_SourceOver;
    }
    return Q::CompositionMode_SourceOver;
}

bool transparentSourceChangesDestination(BlendMode mode)
{
    switch (mode) {
    case BlendMode::Clear:
    case BlendMode::Copy:
    case BlendMode::SourceIn:
    case BlendMode::SourceOut:
    case BlendMode::DestinationIn:
    case BlendMode::DestinationAtop:
        return true;
    default:
        return false;
    }
}

bool replacesWithoutReading(BlendMode mode)
{
    return mode == BlendMode::Copy || mode == BlendMode::Clear;
}

QImage newBuffer(QSize size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    // A layer over a large picture is megabytes to clear: spread over the cores.
    constexpr long kParallelBytes = 2L << 20;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    parallelRows(image.height(), int(stride), kParallelBytes, [&](int top, int bottom) {
        std::memset(bits + top * stride, 0, size_t((bottom - top) * stride));
    });
    return image;
}

namespace {

// One premultiplied channel of the modes above: result for source s, destination d with
// alphas sa, da (all 0..255).
inline int blendChannel(BlendMode mode, int s, int d, int sa, int da)
{
    switch (mode) {
    case BlendMode::Clear:
        return 0;
    case BlendMode::Copy:
        return s;
    case BlendMode::SourceIn:
        return mul255(s, da);
    case BlendMode::SourceOut:
        return mul255(s, 255 - da);
    case BlendMode::DestinationIn:
        return mul255(d, sa);
    case BlendMode::DestinationAtop:
        return mul255(d, sa) + mul255(s, 255 - da);
    default:
        return s + mul255(d, 255 - sa);
    }
}

// dest = dest + (blend(src, dest) - dest) * mask, over a rectangle. src and mask have the
// rectangle's size; dest is addressed at destOrigin.
void compositeThroughMask(QImage& dest, QPoint destOrigin, const QImage& src,
    const std::vector<std::uint8_t>& mask, BlendMode mode)
{
    const int w = src.width(), h = src.height();
    const QRect target = QRect(destOrigin, src.size()).intersected(dest.rect());
    for (int y = target.top(); y <= target.bottom(); ++y) {
        auto* d = reinterpret_cast<QRgb*>(dest.scanLine(y));
        const int sy = y - destOrigin.y();
        const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
        const std::uint8_t* m = mask.data() + size_t(sy) * size_t(w);
        for (int x = target.left(); x <= target.right(); ++x) {
            const int sx = x - destOrigin.x();
            const int cov = m[sx];
            if (cov == 0)
                continue;
            const QRgb sp = s[sx], dp = d[x];
            const int sa = qAlpha(sp), da = qAlpha(dp);
            const int r = blendChannel(mode, qRed(sp), qRed(dp), sa, da);
            const int g = blendChannel(mode, qGreen(sp), qGreen(dp), sa, da);
            const int b = blendChannel(mode, qBlue(sp), qBlue(dp), sa, da);
            const int a = blendChannel(mode, sa, da, sa, da);
            auto lerp
                = [cov](int from, int to) { return from + mul255(to - from + 255, cov) - cov; };
            d[x] = qRgba(std::clamp(lerp(qRed(dp), r), 0, 255),
                std::clamp(lerp(qGreen(dp), g), 0, 255), std::clamp(lerp(qBlue(dp), b), 0, 255),
                std::clamp(lerp(da, a), 0, 255));
        }
    }
    (void)h;
}

} // namespace

} // namespace platform::graphicsinternal

namespace platform {

using namespace graphicsinternal;

void GraphicsContext::Impl::sourceOverThroughClip(
    const QImage& pixels, QPoint origin, const QRect& area)
{
    Surface& s = surface();
    const Coverage& clip = state().clip->coverage(area, s.deviceRect);
    if (clip.plane.isNull())
        return;
    parallelRows(area.height(), area.width(), kParallelCoverage,
        [&, rows = surfaceRows(s)](int top, int bottom) {
            for (int y = area.top() + top; y < area.top() + bottom; ++y) {
                const auto* src
                    = reinterpret_cast<const QRgb*>(pixels.constScanLine(y - origin.y()))
                    + (area.left() - origin.x());
                sourceOverRow(rows(y, area.left()), src, clip.row(y, area.left()), area.width());
            }
        });
    noteDrawn(area);
}

void GraphicsContext::Impl::drawOffscreen(const Operation& op, const QRect& shapeArea)
{
    const QRect visible = roundOut(visibleDeviceRect());
    const State& st = state();
    const bool shadowed = op.allowShadow && st.shadow && st.shadow->color.alpha > 0.0;

    // Shadow geometry in device pixels: base-space offset, y-up, scaled by the base scale.
    QPoint offset;
    int reach = 0;
    QRect shadowArea;
    QRect buffer = shapeArea.intersected(visible);
    if (shadowed) {
        offset = shadowOffset(*st.shadow);
        // (The blur itself is made only when no shadow was cast ahead.)
        reach = AlphaBlur::reachOf(shadowSigma(*st.shadow, baseScale));
        shadowArea = shapeArea.translated(offset)
                         .adjusted(-reach, -reach, reach, reach)
                         .intersected(visible);
        if (!shadowArea.isEmpty()) {
            // The part of the source that casts into the visible shadow.
            const QRect casting = shadowArea.translated(-offset)
                                      .adjusted(-reach, -reach, reach, reach)
                                      .intersected(shapeArea);
            buffer |= casting;
        }
    }
    if (buffer.isEmpty())
        return;

    // The source, bounded by its shape, with the alpha applied.
    QImage source;
    const QRect inPrerendered = buffer.translated(-op.prerenderedOrigin);
    if (!op.prerendered.isNull() && op.alpha >= 1.0 && op.prerendered.rect().contains(inPrerendered)
        && op.prerendered.format() == QImage::Format_ARGB32_Premultiplied) {
        // A read-only view of the part we need: no copy.
        const qsizetype bpl = op.prerendered.bytesPerLine();
        source
            = QImage(op.prerendered.constBits() + inPrerendered.y() * bpl + inPrerendered.x() * 4,
                buffer.width(), buffer.height(), bpl, QImage::Format_ARGB32_Premultiplied);
    } else if (const Coverage* own = solidShapeCoverage(op, buffer)) {
        // A solid fill of the clip's own path: its coverage is already rendered.
        source = newBuffer(buffer.size());
        if (source.isNull())
            return;
        QColor c = QColor::fromRgba(*op.solid);
        c.setAlphaF(float(c.alphaF() * op.alpha));
        const QRgb colour = qPremultiply(c.rgba());
        for (int y = 0; y < buffer.height(); ++y) {
            auto* d = reinterpret_cast<QRgb*>(source.scanLine(y));
            const std::uint8_t* k = own->row(buffer.top() + y, buffer.left());
            for (int x = 0; x < buffer.width(); ++x)
                d[x] = k[x] == 255 ? colour : byteMul(colour, k[x]);
        }
    } else {
        source = paintedBuffer(op, buffer, true);
        if (source.isNull())
            return;
    }

    Surface& s = surface();
    const bool maskedMode = transparentSourceChangesDestination(op.mode);

    // Straight onto the surface through the clip's coverage, rendered once for the shadow and
    // the shape alike.
    const bool direct
        = !maskedMode && op.mode == BlendMode::Normal && st.clip && st.clip->exact && writable(s);
    // Kept per thread: a shadow is redrawn every frame, and fresh pages cost more than the
    // blur. (Let go at the end when large. Read by reference from other threads.)
    thread_local std::vector<std::uint8_t> keptBlurred;
    std::vector<std::uint8_t>& blurred = keptBlurred;
    struct LetGoWhenLarge {
        std::vector<std::uint8_t>& plane;
        ~LetGoWhenLarge()
        {
            if (plane.capacity() > (size_t(16) << 20))
                plane = {};
        }
    } letGo { blurred };
    // The shadow's visible part, its blurred alpha (read ahead from a cast shadow, or computed
    // into blurred) and its colour at each alpha.
    QRect shadowPart;
    const CastShadow* cast = nullptr;
    QRect castRect;
    std::array<QRgb, 256> tint {};
    auto blurredRow = [&](int deviceY) -> const std::uint8_t* {
        if (cast)
            return cast->alpha.data() + size_t(deviceY - castRect.top()) * size_t(castRect.width())
                + size_t(shadowPart.left() - castRect.left());
        return blurred.data() + size_t(deviceY - shadowPart.top()) * size_t(shadowPart.width());
    };
    // A shadow going straight onto the surface goes down in the shape's own pass below, row
    // by row: each row's shadow, then the shape over it, while the row is at hand.
    bool shadowPending = false;

    if (shadowed && !shadowArea.isEmpty()) {
        // The alpha byte of each 32-bit pixel, read in place.
        const int alphaByte = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 3 : 0;
        // The blurred plane lies in device space at planeOrigin; only the visible shadow area
        // of it is computed.
        const QPoint planeOrigin = buffer.topLeft() - QPoint(reach, reach) + offset;
        const QRect planeRect(
            planeOrigin, QSize(buffer.width() + 2 * reach, buffer.height() + 2 * reach));
        shadowPart = planeRect.intersected(shadowArea);
        const QRect& area = shadowPart;
        if (!area.isEmpty()) {
            // A shadow cast ahead from the same pixels for the same offset and blur holds the
            // same values (a pixel's blur depends on the pixels within its reach, all of them
            // in the buffer): read it there.
            // (Below full alpha the shadow is cast from the pixels at that alpha.)
            cast = op.alpha >= 1.0 ? op.precast : nullptr;
            if (cast) {
                castRect = cast->rect.translated(op.prerenderedOrigin);
                if (cast->offset != offset || cast->sigma != shadowSigma(*st.shadow, baseScale)
                    || !castRect.contains(area)
                    || cast->alpha.size() != size_t(castRect.width()) * size_t(castRect.height()))
                    cast = nullptr;
            }
            if (!cast) {
                const QRect inPlane = area.translated(-planeOrigin);
                shadowBlur(*st.shadow)
                    .apply(source.constBits() + alphaByte, buffer.width(), buffer.height(),
                        int(source.bytesPerLine()), 4,
                        { inPlane.x(), inPlane.y(), inPlane.width(), inPlane.height() }, blurred);
            }
            const QRgb full = qPremultiply(st.shadow->color.toQt().rgba());
            tint = tintsOf(full);
            const QRgb* const tints = tint.data(); // (read per pixel: no checked indexing)
            if (direct) {
                shadowPending = true;
            } else if (QImage shadowImage(area.size(), QImage::Format_ARGB32_Premultiplied);
                       !shadowImage.isNull()) {
                // (Every pixel is written below: no clearing first. A wide shadow is a
                // screenful of pixels: spread over the cores.)
                // A mode that replaces what it covers reads the surface's pixels back; a
                // caller's painter has none to read, and gets the shadow in two of its own
                // steps instead (below).
                const bool readBack = maskedMode && s.image
                    && s.image->format() == QImage::Format_ARGB32_Premultiplied;
                const bool painterSteps
                    = maskedMode && !readBack && replacesWithoutReading(op.mode);
                std::vector<std::uint8_t> mask;
                if (readBack)
                    mask.resize(size_t(area.width()) * size_t(area.height()));
                QImage erase;
                if (painterSteps)
                    erase = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
                uchar* const eraseBits = erase.isNull() ? nullptr : erase.bits();
                const qsizetype eraseStride = erase.bytesPerLine();
                uchar* const shadowBits = shadowImage.bits();
                const qsizetype shadowStride = shadowImage.bytesPerLine();
                parallelRows(area.height(), area.width(), kParallelCoverage,
                    [&](int top, int bottom) PIXEL_LOOP {
                        for (int y = top; y < bottom; ++y) {
                            auto* row = reinterpret_cast<QRgb*>(shadowBits + y * shadowStride);
                            const std::uint8_t* a = blurredRow(area.top() + y);
                            if (readBack) {
                                std::fill(row, row + area.width(), full);
                                std::copy(
                                    a, a + area.width(), mask.begin() + long(y) * area.width());
                            } else {
                                for (int x = 0; x < area.width(); ++x)
                                    row[x] = tints[a[x]];
                            }
                            if (eraseBits) {
                                auto* e = reinterpret_cast<QRgb*>(eraseBits + y * eraseStride);
                                for (int x = 0; x < area.width(); ++x)
                                    e[x] = QRgb(a[x]) << 24;
                            }
                        }
                    });
                if (painterSteps) {
                    // d (1 - m) + b m, for a mode whose result b does not read the destination
                    // d: the shadow's coverage m erased, then its colour at m added, both
                    // through the clip. (What the read-back composite below gives, to a
                    // level or two of rounding, at any scale of the painter.)
                    if (!erase.isNull()) {
                        applyClip(s, st.clip);
                        resetPainter(*s.painter);
                        s.painter->setTransform(s.deviceToPainter);
                        s.painter->setCompositionMode(QPainter::CompositionMode_DestinationOut);
                        s.painter->drawImage(area.topLeft(), erase);
                        if (op.mode == BlendMode::Copy) {
                            s.painter->setCompositionMode(QPainter::CompositionMode_Plus);
                            s.painter->drawImage(area.topLeft(), shadowImage);
                        }
                    }
                } else if (maskedMode) {
                    if (readBack) {
                        const std::vector<std::uint8_t> clipMask = coverageMask(op, area, false);
                        for (size_t i = 0; i < mask.size(); ++i)
                            mask[i] = std::uint8_t(mul255(mask[i], clipMask[i]));
                        const QPoint at = area.topLeft() - s.deviceRect.topLeft();
                        compositeInPlace(s, [&] {
                            compositeThroughMask(*s.image, at, shadowImage, mask, op.mode);
                        });
                    }
                } else {
                    applyClip(s, st.clip);
                    resetPainter(*s.painter);
                    s.painter->setCompositionMode(toQtMode(op.mode));
                    s.painter->setTransform(s.deviceToPainter);
                    s.painter->drawImage(area.topLeft(), shadowImage);
                }
                noteDrawn(area);
            }
        }
    }

    const QRect area = op.shadowOnly ? QRect() : shapeArea.intersected(visible);
    if (direct) {
        const QRect all = shadowPending ? area | shadowPart : area;
        if (all.isEmpty())
            return;
        const Coverage& clip = st.clip->coverage(all, s.deviceRect);
        if (clip.plane.isNull())
            return;
        const QRect shadowRows = shadowPending ? shadowPart : QRect();
        parallelRows(all.height(), all.width(), kParallelCoverage,
            [&, rows = surfaceRows(s)](int top, int bottom) PIXEL_LOOP {
                for (int y = all.top() + top; y < all.top() + bottom; ++y) {
                    const bool shapeRow = y >= area.top() && y <= area.bottom();
                    const QRgb* src = shapeRow
                        ? reinterpret_cast<const QRgb*>(source.constScanLine(y - buffer.top()))
                            + (area.left() - buffer.left())
                        : nullptr;
                    if (y >= shadowRows.top() && y <= shadowRows.bottom()) {
                        // Where the shape's row lies over it, the shadow goes down as the
                        // shape will hide it: not under its opaque inside.
                        const std::uint8_t* alpha = blurredRow(y);
                        const int left = shadowRows.left(), end = shadowRows.right() + 1;
                        const int under = src ? std::clamp(area.left(), left, end) : end;
                        const int underEnd = src ? std::clamp(area.right() + 1, under, end) : end;
                        if (under > left)
                            tintOverRow(
                                rows(y, left), alpha, tint.data(), clip.row(y, left), under - left);
                        if (underEnd > under)
                            tintOverRowUnder(rows(y, under), alpha + (under - left), tint.data(),
                                clip.row(y, under), src + (under - area.left()), underEnd - under);
                        if (end > underEnd)
                            tintOverRow(rows(y, underEnd), alpha + (underEnd - left), tint.data(),
                                clip.row(y, underEnd), end - underEnd);
                    }
                    if (shapeRow)
                        sourceOverRow(
                            rows(y, area.left()), src, clip.row(y, area.left()), area.width());
                }
            });
        if (!shadowRows.isEmpty())
            noteDrawn(shadowRows);
        if (!area.isEmpty())
            noteDrawn(area);
        return;
    }
    if (area.isEmpty())
        return;
    if (!maskedMode) {
        applyClip(s, st.clip);
        resetPainter(*s.painter);
        s.painter->setCompositionMode(toQtMode(op.mode));
        s.painter->setTransform(s.deviceToPainter);
        s.painter->drawImage(area.topLeft(), source, area.translated(-buffer.topLeft()));
        noteDrawn(area);
        return;
    }
    if (!s.image || s.image->format() != QImage::Format_ARGB32_Premultiplied) {
        // No premultiplied pixels to read back (a caller's painter, another format): the plain
        // Qt mode is the best we can do.
        drawDirect(op, area);
        return;
    }
    // Unbounded source through the shape's coverage.
    const QImage unbounded = paintedBuffer(op, area, false);
    if (unbounded.isNull())
        return;
    const std::vector<std::uint8_t> mask = coverageMask(op, area, true);
    compositeInPlace(s, [&] {
        compositeThroughMask(
            *s.image, area.topLeft() - s.deviceRect.topLeft(), unbounded, mask, op.mode);
    });
    noteDrawn(area);
}

} // namespace platform
