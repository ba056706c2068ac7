// What the files of GraphicsContext share: pixel arithmetic, coverage planes, the clip, the
// state, drawing operations and the context's private data. Internal to platform/graphics.
#pragma once
#include "platform/graphics/AlphaBlur.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/PixelLoop.h"

#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform::graphicsinternal {

// ---- pixel arithmetic (inline: the compositing loops run it on every pixel)

inline int mul255(int a, int b)
{
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// Each channel of a premultiplied pixel times a / 255, as the raster engine rounds it.
inline QRgb byteMul(QRgb x, int a)
{
    quint32 t = (x & 0xff00ff) * quint32(a);
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * quint32(a);
    x = x + ((x >> 8) & 0xff00ff) + 0x800080;
    x &= 0xff00ff00;
    return x | t;
}

// Source-over of a premultiplied pixel at coverage k (0..255), with the raster engine's
// arithmetic, so that drawing through our own coverage matches drawing through its clip.
inline void sourceOverPixel(QRgb& d, QRgb s, int k)
{
    if (k == 0 || s == 0)
        return;
    if (k != 255)
        s = byteMul(s, k);
    const int sa = qAlpha(s);
    d = sa == 255 ? s : s + byteMul(d, 255 - sa);
}

// x / 255 rounded, for x up to 255 * 255: how the raster engine scales one coverage by another.
inline int div255(int x)
{
    return (x + (x >> 8) + 0x80) >> 8;
}

// Below this many pixels in all, coverage is rendered and composited on the calling thread.
constexpr long kParallelCoverage = 64 * 1024;

// Calls f(x) for every x in [0, n) whose coverage k[x] is not zero, stepping over runs of
// eight clear values at once: most of the pixels around a text are clear. Always inlined: with
// f it is the inner loop of every composite through a coverage plane.
template <typename F>
[[gnu::always_inline]] inline void forEachCovered(const std::uint8_t* k, int n, F&& f)
{
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        std::uint64_t run;
        std::memcpy(&run, k + x, sizeof run);
        if (run == 0)
            continue;
        for (int i = x; i < x + 8; ++i) {
            if (k[i] != 0)
                f(i);
        }
    }
    for (; x < n; ++x) {
        if (k[x] != 0)
            f(x);
    }
}

// Whether n coverage values are all 255, eight at a time.
inline bool allFull(const std::uint8_t* k, int n)
{
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        std::uint64_t run;
        std::memcpy(&run, k + x, sizeof run);
        if (run != ~std::uint64_t(0))
            return false;
    }
    for (; x < n; ++x) {
        if (k[x] != 255)
            return false;
    }
    return true;
}

// ---- device geometry

// A rectangle in device pixels from a floating one, rounded out; empty when not finite.
inline QRect roundOut(const QRectF& r)
{
    constexpr double kLimit = 1 << 28;
    if (r.isEmpty() || !std::isfinite(r.left()) || !std::isfinite(r.top())
        || !std::isfinite(r.right()) || !std::isfinite(r.bottom()))
        return {};
    const double x0 = std::clamp(std::floor(r.left()), -kLimit, kLimit);
    const double y0 = std::clamp(std::floor(r.top()), -kLimit, kLimit);
    const double x1 = std::clamp(std::ceil(r.right()), -kLimit, kLimit);
    const double y1 = std::clamp(std::ceil(r.bottom()), -kLimit, kLimit);
    return QRect(QPoint(int(x0), int(y0)), QPoint(int(x1) - 1, int(y1) - 1));
}

inline bool isFiniteTransform(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21())
        && std::isfinite(t.m22()) && std::isfinite(t.dx()) && std::isfinite(t.dy());
}

// A transparent premultiplied buffer; null when size is empty or cannot be had.
QImage newBuffer(QSize size);

// ---- compositing modes (GraphicsContextCompositing.cpp)

QPainter::CompositionMode toQtMode(BlendMode mode);

// Modes in which a transparent source pixel changes the destination. Where a shape does not
// cover they must leave pixels alone, so their coverage cannot travel in the source's alpha.
bool transparentSourceChangesDestination(BlendMode mode);

// Of those, the modes whose result does not read the destination (the source, or nothing).
bool replacesWithoutReading(BlendMode mode);

// ---- coverage (GraphicsContextCoverage.cpp)

// The same path, element for element (the clip path and a shape drawn through it are mapped
// by the same transform from the same user-space path, so they agree exactly).
bool samePath(const QPainterPath& a, const QPainterPath& b);

// An 8-bit coverage plane over a device rectangle.
struct Coverage {
    QRect rect;
    QImage plane; // Format_Alpha8, rect's size

    bool covers(const QRect& r) const { return !plane.isNull() && rect.contains(r); }
    const std::uint8_t* row(int deviceY, int deviceX) const
    {
        return plane.constScanLine(deviceY - rect.top()) + (deviceX - rect.left());
    }
};

// The antialiased coverage of a device-space path over area. Parts of the path far apart are
// rendered apart, on several threads: each costs its own edges and the pixels around it only,
// and parts whose pixels never meet add nothing to each other's coverage, so the result is
// the same. One large part is rendered in bands of rows, also side by side.
Coverage rasterize(const QPainterPath& devicePath, const QRect& area);

// The current clip: device-space paths, each intersected with the ones before. Each clip keeps
// the clip it narrowed (parent), so that its coverage is the parent's times that of its own
// path, and a coverage once rendered serves every drawing through the same clip.
struct Clip {
    std::vector<QPainterPath> paths;
    QRectF bounds; // device space; an upper bound of the clip
    std::shared_ptr<const Clip> parent;
    // Every path so far is an axis-aligned rectangle: the whole clip's coverage is taken from
    // the painter's own clip.
    bool rectangles = false;
    // The last path is such a rectangle: its coverage as a clip is not its coverage as a fill.
    bool ownRectangle = false;
    // Our coverage is known to equal the painter's clip: no rectangle with edges between
    // pixels narrows a clip of other shapes (the painter's rounding of it there is left to
    // the painter).
    bool exact = true;
    // A path of the clip was cut to the visible area (shownPart): drawing through it goes
    // through our coverage, as the cut path's own fill does.
    bool cut = false;

    // Lazily rendered coverage (a clip belongs to one context, which is used on one thread).
    mutable Coverage own; // the last path alone
    mutable Coverage all; // the whole clip
    mutable QRect allDevice; // the surface all was made for

    // The clip's coverage over at least area (device space), as the painter of a surface over
    // device (device space) clips: the painter's rounding of rectangles depends on where its
    // device ends, so a coverage serves only the surface it was made for.
    const Coverage& coverage(const QRect& area, const QRect& device) const;
};

// ---- shadows (GraphicsContextShadows.cpp)

// A shadow colour (premultiplied) at every coverage 0 .. 255.
std::array<QRgb, 256> tintsOf(QRgb full);

// A shadow's offset in whole device pixels (base space is y-up, scaled by the base scale),
// and its blur's sigma in device pixels (half the blur size).
inline QPoint shadowOffsetPixels(const Shadow& shadow, double baseScale)
{
    auto toPixels = [](double v) {
        return std::isfinite(v) ? int(std::lround(std::clamp(v, -1e7, 1e7))) : 0;
    };
    return QPoint(
        toPixels(shadow.offset.width * baseScale), toPixels(-shadow.offset.height * baseScale));
}
inline double shadowSigma(const Shadow& shadow, double baseScale)
{
    const double size = std::isfinite(shadow.blur) ? std::max(shadow.blur, 0.0) : 0.0;
    return size * baseScale / 2.0;
}

// ---- state and drawing operations

struct State {
    AffineTransform ctm;
    std::shared_ptr<const Clip> clip; // null: unclipped
    double alpha = 1.0;
    BlendMode blendMode = BlendMode::Normal;
    std::optional<Shadow> shadow;
    Color fillColor = Color::black();
    Color strokeColor = Color::black();
    StrokeStyle strokeStyle;
};

// One drawing operation: a shape (the coverage, in user space) and how to paint its source.
struct Operation {
    QPainterPath shape; // user space
    QTransform userToDevice;
    // Paints the source. bounded: restricted to the shape, with its antialiased edges;
    // otherwise over all of the painter's device (coverage comes from a mask). The painter's
    // transform is already set to user space.
    std::function<void(QPainter&, bool bounded)> paint;
    // A brush source: Qt folds opacity into the colours, so every mode draws correctly
    // straight onto the target.
    bool brushSource = true;
    BlendMode mode = BlendMode::Normal;
    double alpha = 1.0;
    bool allowShadow = true;
    // The premultiplied colour of a solid brush source (with the operation's alpha not yet
    // applied), when the source is one.
    std::optional<QRgb> solid;
    // The brush that fills the shape, when the source is one.
    std::optional<QBrush> brush;
    // Pixels already rendered in device space (a layer), placed at prerenderedOrigin: used in
    // place of painting the source when no alpha has to be applied.
    QImage prerendered;
    QPoint prerenderedOrigin;
    // The shadow of the prerendered pixels, cast ahead (GraphicsContext::castShadow), used in
    // place of blurring them where it matches the state's shadow.
    const CastShadow* precast = nullptr;
    // The shape was cut to the visible area (shownPart): it may cross each row many times,
    // which the painter's rasteriser pays for quadratically, so it is drawn through our own
    // coverage wherever it can be.
    bool cut = false;
    // Only the shadow is put down, not the source that casts it.
    bool shadowOnly = false;
};

// An operation filling shape (user space) with brush (GraphicsContextDrawing.cpp).
Operation brushOperation(const QPainterPath& shape, const QBrush& brush);

// A path (device space) cut to an axis-aligned area, as closed polygons with its fill rule:
// the same fill within the area (GraphicsContextShownPart.cpp).
QPainterPath cutToArea(const QPainterPath& device, const QRectF& area);
// How far past the visible area (device pixels) a path may reach before it is cut.
constexpr double kShownPartSlack = 4096.0;

// How a fill of one colour goes straight onto an image surface: the premultiplied source
// (alpha applied), the clip's coverage where it narrows the area, and where the pixels lie.
struct StraightFill {
    QRgb source = 0;
    const Coverage* clip = nullptr;
    uchar* bits = nullptr;
    qsizetype stride = 0;
    QRect device;

    // Source-over through coverage k (n pixels from device pixel (x, y)).
    void row(int x, int y, const std::uint8_t* k, int n) const
    {
        auto* dst
            = reinterpret_cast<QRgb*>(bits + (y - device.top()) * stride) + (x - device.left());
        const std::uint8_t* c = clip ? clip->row(y, x) : nullptr;
        if (c)
            forEachCovered(
                k, n, [&](int i) { sourceOverPixel(dst[i], source, div255(k[i] * c[i])); });
        else
            forEachCovered(k, n, [&](int i) { sourceOverPixel(dst[i], source, k[i]); });
    }
};

// The surface's pixels by device row and column, for loops that may run on several threads:
// the image is detached here, once.
template <typename Surface> auto surfaceRows(Surface& s)
{
    uchar* const bits = s.image->bits();
    const qsizetype stride = s.image->bytesPerLine();
    const QPoint origin = s.deviceRect.topLeft();
    return [bits, stride, origin](int y, int x) {
        return reinterpret_cast<QRgb*>(bits + (y - origin.y()) * stride) + (x - origin.x());
    };
}

} // namespace platform::graphicsinternal

namespace platform {

struct GraphicsContext::Impl {
    using Clip = graphicsinternal::Clip;
    using Coverage = graphicsinternal::Coverage;
    using Operation = graphicsinternal::Operation;
    using State = graphicsinternal::State;

    struct Surface {
        QImage* image = nullptr; // null for a painter given by the caller
        std::unique_ptr<QImage>
            ownImage; // a layer's pixels (on the heap: the painter keeps its address)
        std::unique_ptr<QPainter> ownPainter;
        QPainter* painter = nullptr;
        QTransform deviceToPainter;
        QRect deviceRect; // where the surface lies in device space
        // The clip currently set on the painter. Held, not just pointed at: a freed clip's
        // address could come back for a different one.
        std::shared_ptr<const Clip> appliedClip;
        bool clipApplied = false;
        QRect drawn; // device area touched (layers only)
        State layerState; // the state at begin, for the composite
        bool picture = false; // a picture (beginPicture): handed back, not composited
    };

    QImage* rootImage = nullptr;
    QPainter* externalPainter = nullptr;
    int deviceWidth = 0, deviceHeight = 0;
    double baseScale = 1.0;
    QTransform baseToDevice;
    std::vector<State> stack;
    std::vector<Surface> surfaces;

    State& state() { return stack.back(); }
    const State& state() const { return stack.back(); }
    Surface& surface() { return surfaces.back(); }

    QTransform userToDevice() const { return state().ctm.toQt() * baseToDevice; }

    QRectF visibleDeviceRect() const
    {
        QRectF r = surfaces.back().deviceRect;
        if (state().clip)
            r = r.intersected(state().clip->bounds);
        return r;
    }

    // Sets the state's clip on the surface painter (device space), only when it changed.
    void applyClip(Surface& s, const std::shared_ptr<const Clip>& clip)
    {
        const Clip* wanted = clip.get();
        if (s.clipApplied && s.appliedClip.get() == wanted)
            return;
        s.painter->setTransform(s.deviceToPainter);
        if (!wanted) {
            s.painter->setClipping(false);
        } else {
            bool first = true;
            for (const QPainterPath& p : wanted->paths) {
                s.painter->setClipPath(p, first ? Qt::ReplaceClip : Qt::IntersectClip);
                first = false;
            }
            if (first)
                s.painter->setClipRect(QRect(), Qt::ReplaceClip);
        }
        s.appliedClip = clip;
        s.clipApplied = true;
    }

    void resetPainter(QPainter& p)
    {
        p.setOpacity(1.0);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::NoBrush);
    }

    // The operation painted into a new clear buffer covering the device rectangle at, at its
    // alpha (bounded: only inside its shape); null when the buffer cannot be had.
    QImage paintedBuffer(const Operation& op, const QRect& at, bool bounded)
    {
        QImage buffer = graphicsinternal::newBuffer(at.size());
        if (buffer.isNull())
            return buffer;
        QPainter p(&buffer);
        resetPainter(p);
        p.setOpacity(op.alpha);
        p.setTransform(op.userToDevice * QTransform::fromTranslate(-at.left(), -at.top()));
        op.paint(p, bounded);
        return buffer;
    }

    void noteDrawn(const QRect& r)
    {
        if (surfaces.size() > 1)
            surface().drawn |= r.intersected(surface().deviceRect);
    }

    // Whether the surface's pixels can be written in place while its painter is active.
    static bool writable(const Surface& s)
    {
        return s.image && s.image->format() == QImage::Format_ARGB32_Premultiplied
            && s.image->isDetached();
    }

    void run(Operation op);
    // Opens a layer over area (device space): drawing goes there from the default alpha, blend
    // mode and shadow (GraphicsContextLayers.cpp).
    void pushLayer(const QRect& area);
    // Closes the innermost layer and composites it through the state current at its opening;
    // with a mask, its pixels are first scaled by the mask's coverage (none outside it).
    void popLayer(const CoverageMask* mask = nullptr);
    // A layer's pixels (lying in device space at pixelsOrigin) scaled by mask and put down in
    // one pass over drawn, when the state lets them go straight onto the surface; false,
    // drawing nothing, otherwise.
    bool compositeMaskedLayer(const QImage& pixels, const QPoint& pixelsOrigin, const QRect& drawn,
        const CoverageMask& mask);
    // Whether the fill colour can go straight onto the surface over area (normal blend mode,
    // no shadow, an image surface, a clip whose coverage is ours), and how
    // (GraphicsContextMasks.cpp).
    std::optional<graphicsinternal::StraightFill> straightFill(const QRect& area);
    // Whether a fill of the current colour would change nothing.
    bool fillsNothing() const;
    // An operation putting down pixels already rendered in device space (origin: where the
    // image's top-left lies), over drawn only.
    static Operation prerenderedOperation(
        const QImage& pixels, const QPoint& origin, const QRect& drawn);
    // Puts down pixels lying in device space at pixelsOrigin, their part drawn (device
    // space), through the state's clip, alpha, blend mode and shadow (GraphicsContextLayers.cpp).
    void compositeDevicePixels(const QImage& pixels, const QPoint& pixelsOrigin, const QRect& drawn,
        const CastShadow* precast = nullptr);
    // The part of a path (user space, drawn through toDevice) that can show in the visible
    // area, with room for antialiasing and the shadow; the path itself when it stays near that
    // area (GraphicsContextShownPart.cpp).
    QPainterPath shownPart(
        const QPainterPath& user, const QTransform& toDevice, bool* cut = nullptr) const;
    // A brush operation filling the shown part of path (user space).
    Operation shownBrushOperation(
        const QPainterPath& path, const QBrush& brush, const QTransform& toDevice) const;
    // Runs op as drawn through the given transform in the current blend mode, at the current
    // alpha times alphaScale.
    void runInState(Operation op, const QTransform& toDevice, double alphaScale = 1.0)
    {
        op.userToDevice = toDevice;
        op.mode = state().blendMode;
        op.alpha = state().alpha * alphaScale;
        run(std::move(op));
    }
    void drawDirect(const Operation& op, const QRect& area);
    bool drawSelfClipped(const Operation& op, const QRect& area);
    // A fill through our own coverage of its shape and of the clip, the source painted band
    // by band beside them, bands on several threads; false when the coverage cannot be had
    // (the caller paints through the painter's clip, as it does a band whose buffer cannot).
    bool drawThroughOwnCoverage(const Operation& op, const QRect& area);
    // The coverage of a solid-filled shape that is the current clip's own last path, rendered
    // over at least area; null otherwise.
    const Coverage* solidShapeCoverage(const Operation& op, const QRect& area)
    {
        const Clip* clip = state().clip.get();
        if (!op.solid || !clip || !clip->exact || clip->ownRectangle
            || op.shape.elementCount() != clip->paths.back().elementCount()
            || !graphicsinternal::samePath(op.userToDevice.map(op.shape), clip->paths.back()))
            return nullptr;
        const Coverage& all = clip->coverage(area, surface().deviceRect);
        if (all.plane.isNull() || !clip->own.covers(area))
            return nullptr;
        return &clip->own;
    }

    // Runs f, which writes the surface's pixels itself, with the painter out of the way when
    // the pixels are shared (the painter would go on drawing into the old copy).
    template <typename F> void compositeInPlace(Surface& s, F&& f)
    {
        if (writable(s)) {
            f();
            return;
        }
        s.painter->end();
        f();
        s.painter->begin(s.image);
        s.clipApplied = false;
    }
    // A shadow's offset in whole device pixels (base space is y-up, scaled by the base scale),
    // and its blur (sigma half the blur size, in device pixels).
    QPoint shadowOffset(const Shadow& shadow) const
    {
        return graphicsinternal::shadowOffsetPixels(shadow, baseScale);
    }
    AlphaBlur shadowBlur(const Shadow& shadow) const
    {
        return AlphaBlur(graphicsinternal::shadowSigma(shadow, baseScale));
    }
    // Paints op through the painter's own clip, within rows when given (device space).
    void paintWithPainter(const Operation& op, const std::optional<QRect>& rows = std::nullopt);
    void drawOffscreen(const Operation& op, const QRect& shapeArea);
    // Pixels put down source-over straight onto the writable surface through the exact clip's
    // coverage, over area (device space); the pixels' top-left lies at origin.
    void sourceOverThroughClip(const QImage& pixels, QPoint origin, const QRect& area);
    bool innerShadowOnCoverage(const Shadow& shadow, double alpha, bool layerCastsShadow);
    std::vector<std::uint8_t> coverageMask(const Operation& op, const QRect& area, bool withShape);
    std::vector<std::uint8_t> painterCoverageMask(
        const Operation& op, const QRect& area, bool withShape);
};

} // namespace platform
