#include "platform/graphics/GraphicsContext.h"

#include "platform/graphics/AlphaBlur.h"
#include "platform/graphics/CoverageRasterizer.h"
#include "platform/concurrency/Parallel.h"

#include <QPainterPathStroker>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <list>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

namespace {

// ---- compositing modes

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

BlendMode toBlendMode(CompositingOperation op)
{
    switch (op) {
    case CompositingOperation::Clear:
        return BlendMode::Clear;
    case CompositingOperation::Copy:
        return BlendMode::Copy;
    case CompositingOperation::SourceOver:
        return BlendMode::Normal;
    case CompositingOperation::SourceIn:
        return BlendMode::SourceIn;
    case CompositingOperation::SourceOut:
        return BlendMode::SourceOut;
    case CompositingOperation::SourceAtop:
        return BlendMode::SourceAtop;
    case CompositingOperation::DestinationOver:
        return BlendMode::DestinationOver;
    case CompositingOperation::DestinationIn:
        return BlendMode::DestinationIn;
    case CompositingOperation::DestinationOut:
        return BlendMode::DestinationOut;
    case CompositingOperation::DestinationAtop:
        return BlendMode::DestinationAtop;
    case CompositingOperation::XOR:
        return BlendMode::XOR;
    case CompositingOperation::PlusDarker:
        return BlendMode::PlusDarker;
    case CompositingOperation::PlusLighter:
        return BlendMode::PlusLighter;
    }
    return BlendMode::Normal;
}

// Modes in which a transparent source pixel changes the destination. Where a shape does not
// cover they must leave pixels alone, so their coverage cannot travel in the source's alpha.
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

inline int mul255(int a, int b)
{
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

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

// The same path, element for element (the clip path and a shape drawn through it are mapped
// by the same transform from the same user-space path, so they agree exactly).
bool samePath(const QPainterPath& a, const QPainterPath& b)
{
    const int n = a.elementCount();
    if (n != b.elementCount() || a.fillRule() != b.fillRule())
        return false;
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element ea = a.elementAt(i), eb = b.elementAt(i);
        if (ea.type != eb.type || ea.x != eb.x || ea.y != eb.y)
            return false;
    }
    return true;
}

QImage newBuffer(QSize size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    return image;
}

// A rectangle in device pixels from a floating one, rounded out; empty when not finite.
QRect roundOut(const QRectF& r)
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

bool isFiniteTransform(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21())
        && std::isfinite(t.m22()) && std::isfinite(t.dx()) && std::isfinite(t.dy());
}

// x / 255 rounded, for x up to 255 * 255: how the raster engine scales one coverage by another.
inline int div255(int x)
{
    return (x + (x >> 8) + 0x80) >> 8;
}

// Whether a path is an axis-aligned rectangle: four lines, in any order and direction. The
// raster engine clips to such paths by rules of its own (snapped or rounded out to whole
// pixels, depending on the order of the corners and on whether the edges are whole), not by
// antialiased coverage.
bool isAxisAlignedRectangle(const QPainterPath& path)
{
    const int n = path.elementCount();
    if (n < 4 || n > 5 || !path.elementAt(0).isMoveTo())
        return false;
    std::array<QPointF, 4> corners;
    for (int i = 0; i < 4; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (i > 0 && !e.isLineTo())
            return false;
        corners[size_t(i)] = QPointF(e.x, e.y);
    }
    if (n == 5 && (!path.elementAt(4).isLineTo() || QPointF(path.elementAt(4)) != corners[0]))
        return false;
    const bool horizontalFirst = corners[0].y() == corners[1].y()
        && corners[1].x() == corners[2].x() && corners[2].y() == corners[3].y()
        && corners[3].x() == corners[0].x();
    const bool verticalFirst = corners[0].x() == corners[1].x() && corners[1].y() == corners[2].y()
        && corners[2].x() == corners[3].x() && corners[3].y() == corners[0].y();
    return horizontalFirst || verticalFirst;
}

bool hasWholePixelBounds(const QPainterPath& path)
{
    const QRectF b = path.controlPointRect();
    return std::floor(b.left()) == b.left() && std::floor(b.top()) == b.top()
        && std::floor(b.right()) == b.right() && std::floor(b.bottom()) == b.bottom();
}

// Below this many pixels in all, coverage is rendered and composited on the calling thread.
constexpr long kParallelCoverage = 64 * 1024;

// Calls f(x) for every x in [0, n) whose coverage k[x] is not zero, stepping over runs of
// eight clear values at once: most of the pixels around a text are clear.
template <typename F> inline void forEachCovered(const std::uint8_t* k, int n, F&& f)
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

// A shadow colour (premultiplied) at every coverage 0 .. 255.
std::array<QRgb, 256> tintsOf(QRgb full)
{
    std::array<QRgb, 256> tint;
    for (int k = 0; k < 256; ++k)
        tint[size_t(k)] = qRgba(mul255(qRed(full), k), mul255(qGreen(full), k),
            mul255(qBlue(full), k), mul255(qAlpha(full), k));
    return tint;
}

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

// The alpha channel of a premultiplied image, as an 8-bit plane.
QImage alphaPlane(const QImage& argb)
{
    QImage plane(argb.size(), QImage::Format_Alpha8);
    if (plane.isNull())
        return plane;
    const int w = argb.width(), h = argb.height();
    for (int y = 0; y < h; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        std::uint8_t* out = plane.scanLine(y);
        for (int x = 0; x < w; ++x)
            out[x] = std::uint8_t(qAlpha(in[x]));
    }
    return plane;
}

// The subpaths of a path in groups whose pixels (bounds rounded out, grown by one pixel) never
// meet another group's, each group as a path of its own.
std::vector<QPainterPath> separateParts(const QPainterPath& path)
{
    struct Part {
        int first, end;
        QRect pixels;
    };
    std::vector<Part> parts;
    const int n = path.elementCount();
    for (int i = 0; i < n;) {
        int j = i + 1;
        while (j < n && !path.elementAt(j).isMoveTo())
            ++j;
        double x0 = path.elementAt(i).x, x1 = x0, y0 = path.elementAt(i).y, y1 = y0;
        for (int k = i + 1; k < j; ++k) {
            const QPainterPath::Element e = path.elementAt(k);
            x0 = std::min(x0, e.x);
            x1 = std::max(x1, e.x);
            y0 = std::min(y0, e.y);
            y1 = std::max(y1, e.y);
        }
        const QRect pixels = roundOut(QRectF(QPointF(x0 - 1, y0 - 1), QPointF(x1 + 1, y1 + 1)));
        if (pixels.isEmpty())
            return { path };
        parts.push_back({ i, j, pixels });
        i = j;
    }
    // Union-find over parts whose pixels meet, swept left to right.
    std::vector<size_t> order(parts.size()), parent(parts.size());
    for (size_t i = 0; i < parts.size(); ++i)
        order[i] = parent[i] = i;
    std::sort(order.begin(), order.end(),
        [&](size_t a, size_t b) { return parts[a].pixels.left() < parts[b].pixels.left(); });
    auto find = [&](size_t i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    };
    for (size_t a = 0; a < order.size(); ++a) {
        const QRect& ra = parts[order[a]].pixels;
        for (size_t b = a + 1; b < order.size(); ++b) {
            const QRect& rb = parts[order[b]].pixels;
            if (rb.left() > ra.right())
                break;
            if (ra.intersects(rb))
                parent[find(order[b])] = find(order[a]);
        }
    }
    std::vector<QPainterPath> groups;
    std::vector<long> slot(parts.size(), -1);
    for (size_t i = 0; i < parts.size(); ++i) {
        const size_t root = find(i);
        if (slot[root] < 0) {
            slot[root] = long(groups.size());
            groups.emplace_back();
            groups.back().setFillRule(path.fillRule());
        }
        QPainterPath& g = groups[size_t(slot[root])];
        for (int k = parts[i].first; k < parts[i].end; ++k) {
            const QPainterPath::Element e = path.elementAt(k);
            if (e.isMoveTo()) {
                g.moveTo(e.x, e.y);
            } else if (e.isLineTo()) {
                g.lineTo(e.x, e.y);
            } else if (e.isCurveTo() && k + 2 < parts[i].end) {
                const QPainterPath::Element c2 = path.elementAt(k + 1), end = path.elementAt(k + 2);
                g.cubicTo(QPointF(e), QPointF(c2), QPointF(end));
                k += 2;
            }
        }
    }
    return groups;
}

// The antialiased coverage of a device-space path over area. Parts of the path far apart are
// rendered apart, on several threads: each costs its own edges and the pixels around it only,
// and parts whose pixels never meet add nothing to each other's coverage, so the result is
// the same. One large part is rendered in bands of rows, also side by side.
Coverage rasterize(const QPainterPath& devicePath, const QRect& area)
{
    Coverage c;
    c.rect = area;
    c.plane = QImage(area.size(), QImage::Format_Alpha8);
    if (c.plane.isNull())
        return c;
    uchar* const bits = c.plane.bits();
    const qsizetype stride = c.plane.bytesPerLine();
    std::atomic<bool> failed = false;

    constexpr int kFewParts = 4;
    std::vector<QPainterPath> parts;
    int subpaths = 0;
    for (int i = 0; i < devicePath.elementCount() && subpaths <= kFewParts; ++i)
        subpaths += devicePath.elementAt(i).isMoveTo() ? 1 : 0;
    if (subpaths > kFewParts)
        parts = separateParts(devicePath);
    if (parts.size() <= 1) {
        const CoverageRasterizer rasterizer(devicePath, area);
        parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
            const QRect band(area.left(), area.top() + top, area.width(), bottom - top);
            if (!rasterizer.write(band, bits + top * stride, stride))
                failed = true;
        });
    } else {
        // Only the pixels a part covers are written: the rectangles around two parts may
        // overlap, but the pixels they cover never meet (separateParts), so no pixel is
        // written twice and no part wipes out another.
        c.plane.fill(0);
        std::vector<QRect> rects(parts.size());
        long work = 0;
        for (size_t i = 0; i < parts.size(); ++i) {
            rects[i] = roundOut(parts[i].controlPointRect()).intersected(area);
            work += rects[i].isEmpty() ? 0 : long(rects[i].width()) * rects[i].height();
        }
        parallelFor(int(parts.size()), work, kParallelCoverage, [&](int i) {
            const QRect& r = rects[size_t(i)];
            if (r.isEmpty())
                return;
            uchar* const at = bits + (r.top() - area.top()) * stride + (r.left() - area.left());
            if (!CoverageRasterizer(parts[size_t(i)], r).write(r, at, stride, true))
                failed = true;
        });
    }
    if (failed)
        c.plane = {};
    return c;
}

// The coverage of a clip of rectangles over area, taken from the painter's own clip: its
// rules for rectangles (rounding whole rows or columns in or out, depending on the order of
// the corners, on which edges are whole and on where the device ends) are its own, and a clip
// of rectangles costs next to nothing to render.
Coverage rasterizeAsClip(const std::vector<QPainterPath>& devicePaths, const QRect& area)
{
    Coverage c;
    c.rect = area;
    QImage argb(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (argb.isNull())
        return c;
    argb.fill(0);
    {
        QPainter p(&argb);
        p.setRenderHint(QPainter::Antialiasing, true);
        // A whole-pixel translation, as every surface's painter has: rounding stays the same.
        p.translate(-area.left(), -area.top());
        bool first = true;
        for (const QPainterPath& path : devicePaths) {
            p.setClipPath(path, first ? Qt::ReplaceClip : Qt::IntersectClip);
            first = false;
        }
        p.fillRect(QRect(area), Qt::black);
    }
    c.plane = alphaPlane(argb);
    return c;
}

// The coverage of a clip of rectangles over area, taken from the painter's own clip (see
// rasterizeAsClip). A view clips to the same rectangles frame after frame, so the last few
// are kept: the same rectangles over the same area give the same plane.
class RectangleCoverageCache {
public:
    static Coverage coverage(const std::vector<QPainterPath>& devicePaths, const QRect& area)
    {
        static RectangleCoverageCache cache;
        std::lock_guard lock(cache.m_mutex);
        for (auto it = cache.m_entries.begin(); it != cache.m_entries.end(); ++it) {
            if (it->coverage.rect == area && samePaths(it->paths, devicePaths)) {
                cache.m_entries.splice(cache.m_entries.begin(), cache.m_entries, it);
                return it->coverage;
            }
        }
        Coverage c = rasterizeAsClip(devicePaths, area);
        if (c.plane.isNull() || 1LL * area.width() * area.height() > kMaxPixels)
            return c;
        cache.m_entries.push_front({ devicePaths, c });
        while (cache.m_entries.size() > kEntries)
            cache.m_entries.pop_back();
        return c;
    }

private:
    static constexpr size_t kEntries = 4;
    static constexpr long long kMaxPixels = 8LL << 20; // a plane: 8 MB at most, 32 MB in all
    struct Entry {
        std::vector<QPainterPath> paths;
        Coverage coverage;
    };
    static bool samePaths(const std::vector<QPainterPath>& a, const std::vector<QPainterPath>& b)
    {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i) {
            if (!samePath(a[i], b[i]))
                return false;
        }
        return true;
    }
    std::mutex m_mutex;
    std::list<Entry> m_entries;
};

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

    // Lazily rendered coverage (a clip belongs to one context, which is used on one thread).
    mutable Coverage own; // the last path alone
    mutable Coverage all; // the whole clip
    mutable QRect allDevice; // the surface all was made for

    // The clip's coverage over at least area (device space), as the painter of a surface over
    // device (device space) clips: the painter's rounding of rectangles depends on where its
    // device ends, so a coverage serves only the surface it was made for.
    const Coverage& coverage(const QRect& area, const QRect& device) const
    {
        const bool sameDevice = allDevice == device;
        if (sameDevice && all.covers(area))
            return all;
        allDevice = device;
        if (rectangles) {
            // The whole device at once: requests come in piece by piece (a word at a time).
            all = RectangleCoverageCache::coverage(paths, device);
            const QRect whole = device.united(area);
            if (whole != device && !all.plane.isNull()) {
                // Nothing is drawn past the device; what is read there (the source of a
                // shadow cast into it) may come from a render over the larger area.
                Coverage wider = rasterizeAsClip(paths, whole);
                if (!wider.plane.isNull()) {
                    for (int y = device.top(); y <= device.bottom(); ++y)
                        std::memcpy(
                            wider.plane.scanLine(y - whole.top()) + (device.left() - whole.left()),
                            all.row(y, device.left()), size_t(device.width()));
                }
                all = wider;
            }
            return all;
        }
        const QRect rect = all.plane.isNull() || !sameDevice ? area : all.rect.united(area);
        own = rasterize(paths.back(), rect);
        if (!parent) {
            all = own;
            return all;
        }
        const Coverage& outer = parent->coverage(rect, device);
        all.rect = rect;
        all.plane = QImage(rect.size(), QImage::Format_Alpha8);
        if (all.plane.isNull() || own.plane.isNull() || outer.plane.isNull()) {
            all.plane = {};
            own.plane = {};
            return all;
        }
        uchar* const bits = all.plane.bits();
        const qsizetype stride = all.plane.bytesPerLine();
        parallelRows(rect.height(), rect.width(), kParallelCoverage, [&](int top, int bottom) {
            for (int y = rect.top() + top; y < rect.top() + bottom; ++y) {
                const std::uint8_t* a = own.row(y, rect.left());
                const std::uint8_t* b = outer.row(y, rect.left());
                std::uint8_t* out = bits + (y - rect.top()) * stride;
                std::fill_n(out, rect.width(), std::uint8_t(0));
                forEachCovered(a, rect.width(),
                    [&](int x) { out[x] = std::uint8_t(div255(a[x] * b[x])); });
            }
        });
        return all;
    }
};

// Pictures drawn much smaller than their pixels are first reduced with Qt's area-averaging
// scale (bilinear sampling alone would alias). The same picture is drawn at the same size
// frame after frame, so the last few reductions are kept.
class ReducedPictureCache {
public:
    static QImage reduced(std::uint64_t id, const QImage& pixels, const QRect& source, QSize size)
    {
        static ReducedPictureCache cache;
        std::lock_guard lock(cache.m_mutex);
        for (auto it = cache.m_entries.begin(); it != cache.m_entries.end(); ++it) {
            if (it->id == id && it->source == source && it->size == size) {
                cache.m_entries.splice(cache.m_entries.begin(), cache.m_entries, it);
                return it->image;
            }
        }
        QImage result
            = pixels.copy(source).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (result.isNull())
            return {};
        if (result.format() != QImage::Format_ARGB32_Premultiplied)
            result = result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        cache.m_entries.push_front({ id, source, size, result });
        while (cache.m_entries.size() > kEntries)
            cache.m_entries.pop_back();
        return result;
    }

private:
    static constexpr size_t kEntries = 8;
    struct Entry {
        std::uint64_t id;
        QRect source;
        QSize size;
        QImage image;
    };
    std::mutex m_mutex;
    std::list<Entry> m_entries;
};

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
};

} // namespace

struct GraphicsContext::Impl {
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
    void drawDirect(const Operation& op, const QRect& area);
    bool drawSelfClipped(const Operation& op, const QRect& area);
    bool drawThroughCoverage(const Operation& op, const QRect& area);
    // The coverage of a solid-filled shape that is the current clip's own last path, rendered
    // over at least area; null otherwise.
    const Coverage* solidShapeCoverage(const Operation& op, const QRect& area)
    {
        const Clip* clip = state().clip.get();
        if (!op.solid || !clip || !clip->exact || clip->ownRectangle
            || op.shape.elementCount() != clip->paths.back().elementCount()
            || !samePath(op.userToDevice.map(op.shape), clip->paths.back()))
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
        auto toPixels = [](double v) {
            return std::isfinite(v) ? int(std::lround(std::clamp(v, -1e7, 1e7))) : 0;
        };
        return QPoint(toPixels(shadow.offset.width * baseScale),
            toPixels(-shadow.offset.height * baseScale));
    }
    AlphaBlur shadowBlur(const Shadow& shadow) const
    {
        const double size = std::isfinite(shadow.blur) ? std::max(shadow.blur, 0.0) : 0.0;
        return AlphaBlur(size * baseScale / 2.0);
    }
    // Paints op through the painter's own clip, within rows when given (device space).
    void paintWithPainter(const Operation& op, const std::optional<QRect>& rows = std::nullopt);
    void drawOffscreen(const Operation& op, const QRect& shapeArea);
    bool innerShadowOnCoverage(const Shadow& shadow, double alpha);
    std::vector<std::uint8_t> coverageMask(const Operation& op, const QRect& area, bool withShape);
    std::vector<std::uint8_t> painterCoverageMask(
        const Operation& op, const QRect& area, bool withShape);
};

void GraphicsContext::Impl::run(Operation op)
{
    if (!surface().painter) // a null target, or a layer with nothing visible
        return;
    if (op.shape.isEmpty() || !isFiniteTransform(op.userToDevice)
        || op.userToDevice.determinant() == 0.0)
        return;
    op.alpha = std::isfinite(op.alpha) ? std::clamp(op.alpha, 0.0, 1.0) : 0.0;
    const QRectF visible = visibleDeviceRect();
    if (visible.isEmpty())
        return;
    const QRectF shapeDevice = op.userToDevice.mapRect(op.shape.controlPointRect());
    const QRect shapeArea = roundOut(shapeDevice);
    if (shapeArea.isEmpty())
        return;
    const bool shadowed = op.allowShadow && state().shadow && state().shadow->color.alpha > 0.0;
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
    if (op.solid && op.mode == BlendMode::Normal && state().clip && state().clip->exact
        && writable(s) && drawSelfClipped(op, area)) {
        noteDrawn(area);
        return;
    }
    if (op.brush && op.mode == BlendMode::Normal && state().clip && state().clip->exact
        && !state().clip->rectangles && writable(s) && drawThroughCoverage(op, area)) {
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

// The coverage of the clip (and the shape) as the painter's own clip gives it.
std::vector<std::uint8_t> GraphicsContext::Impl::painterCoverageMask(
    const Operation& op, const QRect& area, bool withShape)
{
    QImage mask = newBuffer(area.size());
    std::vector<std::uint8_t> out(size_t(area.width()) * size_t(area.height()), 0);
    if (mask.isNull())
        return out;
    {
        QPainter p(&mask);
        resetPainter(p);
        const QTransform toMask = QTransform::fromTranslate(-area.left(), -area.top());
        p.setTransform(toMask);
        if (state().clip) {
            bool first = true;
            for (const QPainterPath& path : state().clip->paths) {
                p.setClipPath(path, first ? Qt::ReplaceClip : Qt::IntersectClip);
                first = false;
            }
        }
        if (withShape) {
            p.setTransform(op.userToDevice * toMask);
            p.fillPath(op.shape, Qt::black);
        } else {
            p.fillRect(QRect(area), Qt::black);
        }
    }
    for (int y = 0; y < area.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = 0; x < area.width(); ++x)
            out[size_t(y) * size_t(area.width()) + size_t(x)] = std::uint8_t(qAlpha(row[x]));
    }
    return out;
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

// A brush fill through a clip of shapes: the clip's coverage is rendered by our rasteriser
// (kept with the clip for the next fill through it), the brush painted band by band beside it
// and put down source-over through the coverage, bands on several threads. Going through the
// painter's clip instead has it rasterise the clip path over the clip's whole extent for every
// fill. False when the coverage cannot be had: the caller paints through the painter's clip.
// (A band whose buffer cannot be had is painted that way too.)
bool GraphicsContext::Impl::drawThroughCoverage(const Operation& op, const QRect& area)
{
    const Coverage& clip = state().clip->coverage(area, surface().deviceRect);
    if (clip.plane.isNull())
        return false;
    Surface& s = surface();
    uchar* const bits = s.image->bits();
    const qsizetype stride = s.image->bytesPerLine();
    const QTransform toArea = op.userToDevice * QTransform::fromTranslate(-area.left(), -area.top());
    std::mutex failedMutex;
    std::vector<QRect> failed; // bands without a buffer: painted through the painter's clip
    parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
        // Each band paints its own copies: a path's cached data is not to be shared between
        // painters on different threads.
        QPainterPath shape;
        shape.addPath(op.shape);
        shape.setFillRule(op.shape.fillRule());
        const QBrush brush = *op.brush;
        QImage band(area.width(), bottom - top, QImage::Format_ARGB32_Premultiplied);
        if (band.isNull()) {
            std::lock_guard lock(failedMutex);
            failed.emplace_back(area.left(), area.top() + top, area.width(), bottom - top);
            return;
        }
        band.fill(0);
        {
            QPainter p(&band);
            resetPainter(p);
            p.setOpacity(op.alpha);
            p.setTransform(toArea * QTransform::fromTranslate(0, -top));
            p.fillPath(shape, brush);
        }
        for (int y = area.top() + top; y < area.top() + bottom; ++y) {
            auto* d = reinterpret_cast<QRgb*>(bits + (y - s.deviceRect.top()) * stride)
                + (area.left() - s.deviceRect.left());
            const auto* src = reinterpret_cast<const QRgb*>(band.constScanLine(y - area.top() - top));
            const std::uint8_t* k = clip.row(y, area.left());
            forEachCovered(k, area.width(), [&](int x) { sourceOverPixel(d[x], src[x], k[x]); });
        }
    });
    for (const QRect& band : failed)
        paintWithPainter(op, band);
    return true;
}

std::vector<std::uint8_t> GraphicsContext::Impl::coverageMask(
    const Operation& op, const QRect& area, bool withShape)
{
    const size_t size = size_t(area.width()) * size_t(area.height());
    const Clip* clip = state().clip.get();
    if (clip && !clip->exact)
        return painterCoverageMask(op, area, withShape);
    std::vector<std::uint8_t> out(size, 255);
    auto zero = [&] { std::fill(out.begin(), out.end(), std::uint8_t(0)); };
    if (withShape) {
        const QPainterPath device = op.userToDevice.map(op.shape);
        if (clip && !clip->ownRectangle && samePath(device, clip->paths.back())) {
            // The shape is the clip's own path: its coverage is already rendered.
            const Coverage& all = clip->coverage(area, surface().deviceRect);
            if (all.plane.isNull() || clip->own.plane.isNull()) {
                zero();
                return out;
            }
            for (int y = 0; y < area.height(); ++y) {
                const std::uint8_t* a = all.row(area.top() + y, area.left());
                const std::uint8_t* k = clip->own.row(area.top() + y, area.left());
                std::uint8_t* m = out.data() + size_t(y) * size_t(area.width());
                for (int x = 0; x < area.width(); ++x)
                    m[x] = std::uint8_t(div255(a[x] * k[x]));
            }
            return out;
        }
        const Coverage shape = rasterize(device, area);
        if (shape.plane.isNull()) {
            zero();
            return out;
        }
        for (int y = 0; y < area.height(); ++y)
            std::copy_n(shape.row(area.top() + y, area.left()), area.width(),
                out.begin() + long(y) * area.width());
    }
    if (clip) {
        const Coverage& all = clip->coverage(area, surface().deviceRect);
        if (all.plane.isNull()) {
            zero();
            return out;
        }
        for (int y = 0; y < area.height(); ++y) {
            const std::uint8_t* a = all.row(area.top() + y, area.left());
            std::uint8_t* m = out.data() + size_t(y) * size_t(area.width());
            for (int x = 0; x < area.width(); ++x)
                m[x] = std::uint8_t(div255(m[x] * a[x]));
        }
    }
    return out;
}

void GraphicsContext::Impl::drawOffscreen(const Operation& op, const QRect& shapeArea)
{
    const QRect visible = roundOut(visibleDeviceRect());
    const State& st = state();
    const bool shadowed = op.allowShadow && st.shadow && st.shadow->color.alpha > 0.0;

    // Shadow geometry in device pixels: base-space offset, y-up, scaled by the base scale.
    QPoint offset;
    std::optional<AlphaBlur> blur;
    QRect shadowArea;
    QRect buffer = shapeArea.intersected(visible);
    if (shadowed) {
        offset = shadowOffset(*st.shadow);
        blur.emplace(shadowBlur(*st.shadow));
        const int reach = blur->reach();
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
        source = newBuffer(buffer.size());
        if (source.isNull())
            return;
        QPainter p(&source);
        resetPainter(p);
        p.setOpacity(op.alpha);
        p.setTransform(op.userToDevice * QTransform::fromTranslate(-buffer.left(), -buffer.top()));
        op.paint(p, true);
    }

    Surface& s = surface();
    const bool maskedMode = transparentSourceChangesDestination(op.mode);

    if (shadowed && !shadowArea.isEmpty()) {
        const int reach = blur->reach();
        // The alpha byte of each 32-bit pixel, read in place.
        const int alphaByte = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 3 : 0;
        const std::vector<std::uint8_t> blurred = blur->apply(source.constBits() + alphaByte,
            buffer.width(), buffer.height(), int(source.bytesPerLine()), 4);
        const int bw = buffer.width() + 2 * reach;
        // The blurred plane in device space, then only the visible shadow area of it.
        const QPoint planeOrigin = buffer.topLeft() - QPoint(reach, reach) + offset;
        const QRect planeRect(planeOrigin, QSize(bw, buffer.height() + 2 * reach));
        const QRect area = planeRect.intersected(shadowArea);
        if (!area.isEmpty()) {
            const QRgb full = qPremultiply(st.shadow->color.toQt().rgba());
            const std::array<QRgb, 256> tint = tintsOf(full);
            auto blurredRow = [&](int deviceY) {
                return blurred.data() + size_t(deviceY - planeOrigin.y()) * size_t(bw)
                    + size_t(area.left() - planeOrigin.x());
            };
            if (!maskedMode && op.mode == BlendMode::Normal && st.clip && st.clip->exact
                && writable(s)) {
                // Straight onto the surface through the clip's coverage, rendered once for
                // the shadow and the shape alike.
                const Coverage& clip = st.clip->coverage(area, s.deviceRect);
                if (!clip.plane.isNull()) {
                    for (int y = area.top(); y <= area.bottom(); ++y) {
                        auto* d = reinterpret_cast<QRgb*>(s.image->scanLine(y - s.deviceRect.top()))
                            + (area.left() - s.deviceRect.left());
                        const std::uint8_t* a = blurredRow(y);
                        const std::uint8_t* k = clip.row(y, area.left());
                        for (int x = 0; x < area.width(); ++x)
                            sourceOverPixel(d[x], tint[a[x]], k[x]);
                    }
                    noteDrawn(area);
                }
            } else if (QImage shadowImage = newBuffer(area.size()); !shadowImage.isNull()) {
                std::vector<std::uint8_t> mask;
                if (maskedMode)
                    mask.resize(size_t(area.width()) * size_t(area.height()));
                for (int y = 0; y < area.height(); ++y) {
                    auto* row = reinterpret_cast<QRgb*>(shadowImage.scanLine(y));
                    const std::uint8_t* a = blurredRow(area.top() + y);
                    if (maskedMode) {
                        std::fill(row, row + area.width(), full);
                        std::copy(a, a + area.width(), mask.begin() + long(y) * area.width());
                    } else {
                        for (int x = 0; x < area.width(); ++x)
                            row[x] = tint[a[x]];
                    }
                }
                if (maskedMode) {
                    if (s.image && s.image->format() == QImage::Format_ARGB32_Premultiplied) {
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

    const QRect area = shapeArea.intersected(visible);
    if (area.isEmpty())
        return;
    if (!maskedMode && op.mode == BlendMode::Normal && st.clip && st.clip->exact && writable(s)) {
        const Coverage& clip = st.clip->coverage(area, s.deviceRect);
        if (!clip.plane.isNull()) {
            for (int y = area.top(); y <= area.bottom(); ++y) {
                auto* d = reinterpret_cast<QRgb*>(s.image->scanLine(y - s.deviceRect.top()))
                    + (area.left() - s.deviceRect.left());
                const auto* src
                    = reinterpret_cast<const QRgb*>(source.constScanLine(y - buffer.top()))
                    + (area.left() - buffer.left());
                const std::uint8_t* k = clip.row(y, area.left());
                for (int x = 0; x < area.width(); ++x)
                    sourceOverPixel(d[x], src[x], k[x]);
            }
            noteDrawn(area);
        }
        return;
    }
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
    QImage unbounded = newBuffer(area.size());
    if (unbounded.isNull())
        return;
    {
        QPainter p(&unbounded);
        resetPainter(p);
        p.setOpacity(op.alpha);
        p.setTransform(op.userToDevice * QTransform::fromTranslate(-area.left(), -area.top()));
        op.paint(p, false);
    }
    const std::vector<std::uint8_t> mask = coverageMask(op, area, true);
    compositeInPlace(s, [&] {
        compositeThroughMask(
            *s.image, area.topLeft() - s.deviceRect.topLeft(), unbounded, mask, op.mode);
    });
    noteDrawn(area);
}

// The inner shadow of the current clip's own path (fillInnerShadow), computed on coverage
// planes over the layer the step-by-step form would open: the area of the clip, path
// included. Every step is the step-by-step form's own arithmetic, pixel for pixel:
//  - inside the layer, the opaque fill's shadow goes down source-out onto clear pixels
//    through the clip: L1 = colour at mul255(B, K), B the path's coverage blurred and moved;
//  - the fill itself, source-out through the clip and the path: L2 = L1 towards
//    colour * (1 - L1 alpha) at div255(K * P);
//  - the layer is composited with the alpha, casting the outer shadow from its alpha: the
//    shadow, then the layer, source-over through the clip.
// False when the form cannot be followed here (blend mode, a clip the painter rounds its own
// way, a failed allocation): the caller takes the steps one by one.
bool GraphicsContext::Impl::innerShadowOnCoverage(const Shadow& shadow, double alphaIn)
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

    // B: the inner shadow's blur of the path, moved by the offset.
    std::vector<std::uint8_t> inner;
    QRect innerRect;
    if (!casting.isEmpty()) {
        inner = blur.apply(castingCoverage->row(casting.top(), casting.left()), casting.width(),
            casting.height(), int(castingCoverage->plane.bytesPerLine()));
        innerRect = QRect(casting.topLeft() - QPoint(reach, reach) + offset,
            QSize(casting.width() + 2 * reach, casting.height() + 2 * reach));
    }

    // The layer's pixels, with the alpha applied as the painter applies an opacity.
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return false;
    const QRgb colour = qPremultiply(shadow.color.withAlpha(1.0).toQt().rgba());
    const std::array<int, 4> ink { qRed(colour), qGreen(colour), qBlue(colour), 255 };
    const int opacity = (int(a * 256) * 255) >> 8;
    // A layer pixel depends only on the two masks (the shadow's, the fill's): a table of them.
    std::vector<QRgb> table(256 * 256);
    parallelFor(256, 256L * 256, kParallelCoverage, [&](int m1) {
        QRgb* row = table.data() + size_t(m1) * 256;
        std::array<int, 4> l1, to;
        for (size_t c = 0; c < 4; ++c)
            l1[c] = std::clamp(mul255(ink[c] + 255, m1) - m1, 0, 255);
        for (size_t c = 0; c < 4; ++c)
            to[c] = mul255(ink[c], 255 - l1[3]);
        for (int m2 = 0; m2 < 256; ++m2) {
            std::array<int, 4> l = l1;
            if (m2 != 0) {
                for (size_t c = 0; c < 4; ++c)
                    l[c] = std::clamp(l1[c] + mul255(to[c] - l1[c] + 255, m2) - m2, 0, 255);
            }
            row[m2] = byteMul(qRgba(l[0], l[1], l[2], l[3]), opacity);
        }
    });
    uchar* const layerBits = layer.bits();
    const qsizetype layerStride = layer.bytesPerLine();
    parallelRows(area.height(), area.width(), kParallelCoverage, [&](int top, int bottom) {
        for (int y = area.top() + top; y < area.top() + bottom; ++y) {
            auto* out = reinterpret_cast<QRgb*>(layerBits + (y - area.top()) * layerStride);
            const std::uint8_t* k = clipCoverage.row(y, area.left());
            const std::uint8_t* p = clip->own.row(y, area.left());
            const bool shadowRow = y >= innerRect.top() && y <= innerRect.bottom();
            const std::uint8_t* b = shadowRow
                ? inner.data() + size_t(y - innerRect.top()) * size_t(innerRect.width())
                : nullptr;
            std::fill_n(out, area.width(), QRgb(0));
            forEachCovered(k, area.width(), [&](int x) {
                const int kx = k[x];
                const int dx = area.left() + x - innerRect.left();
                const int shade = b && dx >= 0 && dx < innerRect.width() ? b[dx] : 0;
                out[x] = table[size_t(mul255(shade, kx)) * 256 + size_t(div255(kx * p[x]))];
            });
        }
    });

    // The outer shadow: the layer's alpha blurred and moved.
    const int alphaByte = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 3 : 0;
    const std::vector<std::uint8_t> outer = blur.apply(
        layer.constBits() + alphaByte, area.width(), area.height(), int(layer.bytesPerLine()), 4);
    const QRect outerRect(area.topLeft() - QPoint(reach, reach) + offset,
        QSize(area.width() + 2 * reach, area.height() + 2 * reach));
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
            const auto* src = reinterpret_cast<const QRgb*>(layerBits + (y - area.top()) * layerStride);
            const std::uint8_t* k = clipCoverage.row(y, area.left());
            const bool shadowRow = y >= outerRect.top() && y <= outerRect.bottom();
            const std::uint8_t* b = shadowRow
                ? outer.data() + size_t(y - outerRect.top()) * size_t(outerRect.width())
                : nullptr;
            forEachCovered(k, area.width(), [&](int x) {
                const int kx = k[x];
                const int dx = area.left() + x - outerRect.left();
                if (b && dx >= 0 && dx < outerRect.width())
                    sourceOverPixel(d[x], tint[b[dx]], kx);
                sourceOverPixel(d[x], src[x], kx);
            });
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
    return true;
}

// ---- construction

GraphicsContext::GraphicsContext(QImage& target, double baseScale)
    : d(std::make_unique<Impl>())
{
    d->rootImage = &target;
    d->deviceWidth = target.width();
    d->deviceHeight = target.height();
    d->baseScale = std::isfinite(baseScale) && baseScale > 0 ? baseScale : 1.0;
    d->baseToDevice = QTransform(d->baseScale, 0, 0, -d->baseScale, 0, d->deviceHeight);
    d->stack.emplace_back();
    Impl::Surface s;
    s.image = &target;
    if (!target.isNull()) {
        s.ownPainter = std::make_unique<QPainter>(&target);
        s.painter = s.ownPainter.get();
    }
    s.deviceRect = QRect(0, 0, d->deviceWidth, d->deviceHeight);
    d->surfaces.push_back(std::move(s));
}

GraphicsContext::GraphicsContext(
    QPainter& painter, int deviceWidth, int deviceHeight, double baseScale)
    : d(std::make_unique<Impl>())
{
    d->externalPainter = &painter;
    painter.save();
    d->deviceWidth = std::max(deviceWidth, 0);
    d->deviceHeight = std::max(deviceHeight, 0);
    d->baseScale = std::isfinite(baseScale) && baseScale > 0 ? baseScale : 1.0;
    d->baseToDevice = QTransform(d->baseScale, 0, 0, -d->baseScale, 0, d->deviceHeight);
    d->stack.emplace_back();
    Impl::Surface s;
    s.painter = &painter;
    s.deviceToPainter = painter.transform();
    s.deviceRect = QRect(0, 0, d->deviceWidth, d->deviceHeight);
    d->surfaces.push_back(std::move(s));
}

GraphicsContext::~GraphicsContext()
{
    while (d->surfaces.size() > 1)
        endTransparencyLayer();
    if (d->externalPainter)
        d->externalPainter->restore();
}

// ---- state

void GraphicsContext::saveGState()
{
    d->stack.push_back(d->state());
}

void GraphicsContext::restoreGState()
{
    if (d->stack.size() > 1)
        d->stack.pop_back();
}

AffineTransform GraphicsContext::ctm() const
{
    return d->state().ctm;
}

Rect GraphicsContext::convertRectToDeviceSpace(const Rect& r) const
{
    const QRectF device = d->userToDevice().mapRect(r.toQt());
    return Rect(device.x(), device.y(), device.width(), device.height());
}

void GraphicsContext::concatCTM(const AffineTransform& t)
{
    d->state().ctm = t.concatenated(d->state().ctm);
}

void GraphicsContext::translateCTM(double x, double y)
{
    d->state().ctm = d->state().ctm.translated(x, y);
}

void GraphicsContext::scaleCTM(double sx, double sy)
{
    d->state().ctm = d->state().ctm.scaled(sx, sy);
}

void GraphicsContext::rotateCTM(double radians)
{
    d->state().ctm = d->state().ctm.rotated(radians);
}

void GraphicsContext::clipToPath(const BezierPath& path)
{
    const QTransform t = d->userToDevice();
    auto clip = std::make_shared<Clip>();
    const std::shared_ptr<const Clip>& outer = d->state().clip;
    if (outer) {
        clip->paths = outer->paths;
        clip->bounds = outer->bounds;
        clip->parent = outer;
    } else {
        clip->bounds = QRectF(-1e9, -1e9, 2e9, 2e9);
    }
    QPainterPath device;
    if (isFiniteTransform(t))
        device = t.map(path.toQPainterPath());
    device.setFillRule(Qt::WindingFill);
    clip->bounds = clip->bounds.intersected(device.controlPointRect());
    clip->ownRectangle = isAxisAlignedRectangle(device);
    clip->rectangles = clip->ownRectangle && (!outer || outer->rectangles);
    clip->exact = (!outer || outer->exact)
        && (clip->rectangles || !clip->ownRectangle || hasWholePixelBounds(device));
    clip->paths.push_back(device);
    d->state().clip = std::move(clip);
}

void GraphicsContext::clipToRect(const Rect& r)
{
    clipToPath(BezierPath::rect(r));
}

Rect GraphicsContext::clipBoundingBox() const
{
    if (!d->state().clip)
        return Rect::infinite();
    const QRectF b = d->state().clip->bounds;
    if (b.isEmpty())
        return Rect::null();
    const auto inv = d->userToDevice().inverted();
    return Rect::fromQt(inv.mapRect(b));
}

void GraphicsContext::setAlpha(double alpha)
{
    d->state().alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
}

double GraphicsContext::alpha() const
{
    return d->state().alpha;
}

void GraphicsContext::setBlendMode(BlendMode mode)
{
    d->state().blendMode = mode;
}

BlendMode GraphicsContext::blendMode() const
{
    return d->state().blendMode;
}

void GraphicsContext::setShadow(const Shadow& shadow)
{
    d->state().shadow = shadow;
}

void GraphicsContext::clearShadow()
{
    d->state().shadow.reset();
}

std::optional<Shadow> GraphicsContext::shadow() const
{
    return d->state().shadow;
}

void GraphicsContext::setFillColor(const Color& c)
{
    d->state().fillColor = c;
}

Color GraphicsContext::fillColor() const
{
    return d->state().fillColor;
}

void GraphicsContext::setStrokeColor(const Color& c)
{
    d->state().strokeColor = c;
}

void GraphicsContext::setStrokeStyle(const StrokeStyle& s)
{
    d->state().strokeStyle = s;
}

StrokeStyle GraphicsContext::strokeStyle() const
{
    return d->state().strokeStyle;
}

// ---- drawing

namespace {

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

} // namespace

void GraphicsContext::fillPath(const BezierPath& path)
{
    Operation op = brushOperation(path.toQPainterPath(), QBrush(d->state().fillColor.toQt()));
    op.userToDevice = d->userToDevice();
    op.mode = d->state().blendMode;
    op.alpha = d->state().alpha;
    d->run(std::move(op));
}

void GraphicsContext::fillRect(const Rect& r)
{
    fillPath(BezierPath::rect(r));
}

void GraphicsContext::strokePath(const BezierPath& path)
{
    const BezierPath outline = path.strokedPath(d->state().strokeStyle);
    Operation op = brushOperation(outline.toQPainterPath(), QBrush(d->state().strokeColor.toQt()));
    op.userToDevice = d->userToDevice();
    op.mode = d->state().blendMode;
    op.alpha = d->state().alpha;
    d->run(std::move(op));
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

void GraphicsContext::drawLinearGradient(
    const Gradient& g, const Point& start, const Point& end, unsigned options)
{
    const QTransform toDevice = d->userToDevice();
    const auto inv = toDevice.inverted();
    const QRectF visible = d->visibleDeviceRect();
    if (visible.isEmpty())
        return;
    QPainterPath area;
    area.addPolygon(inv.map(QPolygonF(visible)));
    area.closeSubpath();

    const double dx = end.x - start.x, dy = end.y - start.y;
    const double length = std::hypot(dx, dy);
    if (!std::isfinite(length) || length <= 0.0)
        return;
    if ((options & (GradientDrawsBeforeStart | GradientDrawsAfterEnd))
        != (GradientDrawsBeforeStart | GradientDrawsAfterEnd)) {
        // Qt pads past both ends: cut the area to the band the options allow.
        const QRectF b = area.boundingRect();
        const double far = std::hypot(b.width(), b.height())
            + std::hypot(b.center().x() - start.x, b.center().y() - start.y) + length;
        const double ux = dx / length, uy = dy / length;
        const double a0 = (options & GradientDrawsBeforeStart) ? -far : 0.0;
        const double a1 = (options & GradientDrawsAfterEnd) ? length + far : length;
        auto at = [&](double a, double n) {
            return QPointF(start.x + ux * a - uy * n, start.y + uy * a + ux * n);
        };
        QPainterPath band;
        band.addPolygon(QPolygonF({ at(a0, -far), at(a1, -far), at(a1, far), at(a0, far) }));
        band.closeSubpath();
        area = area.intersected(band);
    }
    QLinearGradient lg(start.toQt(), end.toQt());
    lg.setStops(g.toQtStops());
    Operation op = brushOperation(area, QBrush(lg));
    op.userToDevice = toDevice;
    op.mode = d->state().blendMode;
    op.alpha = d->state().alpha;
    d->run(std::move(op));
}

void GraphicsContext::drawRadialGradient(const Gradient& g, const Point& startCenter,
    double startRadius, const Point& endCenter, double endRadius, unsigned options)
{
    if (!std::isfinite(startRadius) || !std::isfinite(endRadius) || startRadius < 0
        || endRadius < 0)
        return;
    const QTransform toDevice = d->userToDevice();
    const QRectF visible = d->visibleDeviceRect();
    if (visible.isEmpty())
        return;
    QPainterPath area;
    area.addPolygon(toDevice.inverted().map(QPolygonF(visible)));
    area.closeSubpath();

    auto disc = [](const Point& c, double r) {
        QPainterPath p;
        p.addEllipse(c.toQt(), r, r);
        return p;
    };
    const double dist = std::hypot(endCenter.x - startCenter.x, endCenter.y - startCenter.y);
    const bool endHoldsStart = dist + startRadius <= endRadius;
    if (!(options & GradientDrawsAfterEnd)) {
        // Past the end nothing is drawn: keep the hull of the two circles, the union of every
        // circle between them.
        QPainterPath hull = disc(startCenter, startRadius).united(disc(endCenter, endRadius));
        if (dist > std::abs(endRadius - startRadius)) {
            const double phi = std::atan2(endCenter.y - startCenter.y, endCenter.x - startCenter.x);
            const double alpha = std::acos((startRadius - endRadius) / dist);
            auto tangent = [&](const Point& c, double r, double angle) {
                return QPointF(c.x + r * std::cos(angle), c.y + r * std::sin(angle));
            };
            QPolygonF quad({ tangent(startCenter, startRadius, phi + alpha),
                tangent(endCenter, endRadius, phi + alpha),
                tangent(endCenter, endRadius, phi - alpha),
                tangent(startCenter, startRadius, phi - alpha) });
            QPainterPath q;
            q.addPolygon(quad);
            q.closeSubpath();
            hull = hull.united(q);
        }
        area = area.intersected(hull);
    }
    if (!(options & GradientDrawsBeforeStart) && endHoldsStart && startRadius > 0)
        area = area.subtracted(disc(startCenter, startRadius));

    QRadialGradient rg(endCenter.toQt(), endRadius, startCenter.toQt(), startRadius);
    rg.setStops(g.toQtStops());
    Operation op = brushOperation(area, QBrush(rg));
    op.userToDevice = toDevice;
    op.mode = d->state().blendMode;
    op.alpha = d->state().alpha;
    d->run(std::move(op));
}

void GraphicsContext::drawLinearGradientInPath(
    const Gradient& g, const BezierPath& path, double angleDegrees)
{
    const Rect b = path.bounds();
    if (path.isEmpty() || !std::isfinite(angleDegrees))
        return;
    const double rad = angleDegrees * M_PI / 180.0;
    const double ux = std::cos(rad), uy = std::sin(rad);
    const Point corners[4] = { { b.minX(), b.minY() }, { b.maxX(), b.minY() },
        { b.maxX(), b.maxY() }, { b.minX(), b.maxY() } };
    Point lo = corners[0];
    double loDot = std::numeric_limits<double>::infinity(), hiDot = -loDot;
    for (const Point& c : corners) {
        const double dot = c.x * ux + c.y * uy;
        if (dot < loDot) {
            loDot = dot;
            lo = c;
        }
        hiDot = std::max(hiDot, dot);
    }
    const double span = hiDot - loDot;
    const Point start = lo;
    Point end(lo.x + ux * span, lo.y + uy * span);
    if (span <= 0.0)
        end = Point(lo.x + ux, lo.y + uy); // a flat path still gets its first colour
    QLinearGradient lg(start.toQt(), end.toQt());
    lg.setStops(g.toQtStops());
    Operation op = brushOperation(path.toQPainterPath(), QBrush(lg));
    op.userToDevice = d->userToDevice();
    op.mode = d->state().blendMode;
    op.alpha = d->state().alpha;
    d->run(std::move(op));
}

void GraphicsContext::drawRadialGradientInPath(
    const Gradient& g, const BezierPath& path, const Point& relativeCenter)
{
    if (path.isEmpty())
        return;
    const Rect b = path.bounds();
    const double rx = std::isfinite(relativeCenter.x) ? relativeCenter.x : 0.0;
    const double ry = std::isfinite(relativeCenter.y) ? relativeCenter.y : 0.0;
    const Point c(b.midX() + rx * b.width() / 2, b.midY() + ry * b.height() / 2);
    double radius = 0.0;
    for (const Point& k : { Point(b.minX(), b.minY()), Point(b.maxX(), b.minY()),
             Point(b.maxX(), b.maxY()), Point(b.minX(), b.maxY()) })
        radius = std::max(radius, std::hypot(k.x - c.x, k.y - c.y));
    if (!(radius > 0.0))
        radius = 1.0;
    QRadialGradient rg(c.toQt(), radius);
    rg.setStops(g.toQtStops());
    Operation op = brushOperation(path.toQPainterPath(), QBrush(rg));
    op.userToDevice = d->userToDevice();
    op.mode = d->state().blendMode;
    op.alpha = d->state().alpha;
    d->run(std::move(op));
}

void GraphicsContext::drawImage(const Image& image, const Rect& destRect, const Rect& sourceRect,
    CompositingOperation compositing, double fraction)
{
    if (image.isNull())
        return;
    const QImage pixels = image.toQImage();
    if (pixels.isNull())
        return;
    const Size pts = image.size();
    if (!(pts.width > 0) || !(pts.height > 0))
        return;
    const double kx = pixels.width() / pts.width, ky = pixels.height() / pts.height;
    Rect dest = destRect.standardized();
    Rect src = sourceRect.isNull() ? Rect(0, 0, pts.width, pts.height) : sourceRect.standardized();
    if (src.isEmpty() || dest.isEmpty())
        return;
    // Only the part of the source on the picture is drawn, into the matching part of dest.
    const Rect onPicture = src.intersection(Rect(0, 0, pts.width, pts.height));
    if (onPicture.isNull() || onPicture.isEmpty())
        return;
    const double sx = dest.width() / src.width(), sy = dest.height() / src.height();
    dest = Rect(dest.x() + (onPicture.x() - src.x()) * sx,
        dest.y() + (onPicture.y() - src.y()) * sy, onPicture.width() * sx, onPicture.height() * sy);
    src = onPicture;
    // Picture pixels have row 0 at the top; y-up source rects count from the bottom.
    const QRectF pixelSource(
        src.x() * kx, (pts.height - src.maxY()) * ky, src.width() * kx, src.height() * ky);
    const QRectF target = dest.toQt();
    QPainterPath shape;
    shape.addRect(target);

    QImage drawn = pixels;
    QRectF drawnSource = pixelSource;
    const QTransform toDevice = d->userToDevice();
    const double deviceW = std::hypot(toDevice.m11(), toDevice.m12()) * target.width();
    const double deviceH = std::hypot(toDevice.m21(), toDevice.m22()) * target.height();
    constexpr double kMaxReduction = 2.0;
    if (std::isfinite(deviceW) && std::isfinite(deviceH) && deviceW >= 1 && deviceH >= 1
        && (pixelSource.width() > kMaxReduction * deviceW
            || pixelSource.height() > kMaxReduction * deviceH)) {
        const QRect whole = pixelSource.toAlignedRect().intersected(pixels.rect());
        const QSize size(int(std::ceil(std::min(deviceW, double(whole.width())))),
            int(std::ceil(std::min(deviceH, double(whole.height())))));
        const QImage reduced = ReducedPictureCache::reduced(image.contentId(), pixels, whole, size);
        if (!reduced.isNull()) {
            drawn = reduced;
            drawnSource = QRectF(reduced.rect());
        }
    }

    Operation op;
    op.shape = shape;
    op.brushSource = false;
    op.paint = [drawn, drawnSource, target](QPainter& p, bool) {
        // A local flip keeps the picture upright in the y-up space.
        const QTransform flip(1, 0, 0, -1, 0, target.top() + target.bottom());
        p.setTransform(flip * p.transform());
        p.drawImage(target, drawn, drawnSource);
    };
    op.userToDevice = toDevice;
    op.mode = toBlendMode(compositing);
    op.alpha = d->state().alpha * (std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0);
    d->run(std::move(op));
}

void GraphicsContext::fillPathWithPattern(
    const BezierPath& path, const Image& tile, const Point& phase, double fraction)
{
    if (tile.isNull())
        return;
    const QImage pixels = tile.toQImage();
    const Size pts = tile.size();
    if (pixels.isNull() || !(pts.width > 0) || !(pts.height > 0) || !std::isfinite(phase.x)
        || !std::isfinite(phase.y))
        return;
    QPainterPath shape;
    if (path.isEmpty()) {
        const QRectF visible = d->visibleDeviceRect();
        shape.addPolygon(d->userToDevice().inverted().map(QPolygonF(visible)));
        shape.closeSubpath();
    } else {
        shape = path.toQPainterPath();
    }
    QBrush brush(pixels);
    // Tile pixel (u, v) lands at (phase.x + u * w/pw, phase.y + h - v * h/ph): upright, with
    // one copy's bottom-left at the phase.
    brush.setTransform(QTransform(pts.width / pixels.width(), 0, 0, -pts.height / pixels.height(),
        phase.x, phase.y + pts.height));
    Operation op = brushOperation(shape, brush);
    op.brushSource = false;
    op.userToDevice = d->userToDevice();
    op.mode = d->state().blendMode;
    op.alpha = d->state().alpha * (std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0);
    d->run(std::move(op));
}

void GraphicsContext::fillInnerShadow(const BezierPath& path, const Shadow& shadow, double alpha)
{
    if (path.isEmpty())
        return;
    GStateGuard state(*this);
    clipToPath(path);
    if (d->innerShadowOnCoverage(shadow, alpha))
        return;
    setShadow(shadow);
    setAlpha(alpha);
    beginTransparencyLayer();
    Shadow inner = shadow;
    inner.color = shadow.color.withAlpha(1.0);
    setShadow(inner);
    setBlendMode(BlendMode::SourceOut);
    setFillColor(inner.color);
    fillPath(path);
    endTransparencyLayer();
}

// ---- transparency layers

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

QImage* GraphicsContext::targetImage()
{
    return d->surfaces.back().image;
}

} // namespace platform
