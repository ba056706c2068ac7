// GraphicsContext coverage: antialiased coverage planes of device paths (parts far apart
// rendered apart, on several threads) and of the clip, cached where views repeat them.
#include "platform/concurrency/Parallel.h"
#include "platform/graphics/CoverageRasterizer.h"
#include "platform/graphics/GraphicsContextInternal.h"

#include <atomic>
#include <list>
#include <mutex>

namespace platform::graphicsinternal {

namespace {

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

// The coverage of a clip of rectangles over area, taken from the painter's own clip: its
// rules for rectangles (rounding whole rows or columns in or out, depending on the order of
// the corners, on which edges are whole and on where the device ends) are its own, and a clip
// of rectangles costs next to nothing to render.
//
// Only the pixels round the rectangles' common part can be covered: the painter renders
// those alone, with a margin of two pixels, so that its picture ends where the area ends or
// well away from every rectangle's edge (its rounding there is the same), and the rest of the
// area is left uncovered. A view's clip is small beside the surface it draws on, and each of
// many views has its own.
Coverage rasterizeAsClip(const std::vector<QPainterPath>& devicePaths, const QRect& area)
{
    Coverage c;
    c.rect = area;
    c.plane = QImage(area.size(), QImage::Format_Alpha8);
    if (c.plane.isNull())
        return c;
    c.plane.fill(0);
    QRectF common(area);
    for (const QPainterPath& path : devicePaths)
        common = common.intersected(path.controlPointRect());
    const QRect inner = roundOut(common).adjusted(-2, -2, 2, 2).intersected(area);
    if (devicePaths.empty() || inner.isEmpty())
        return c;
    QImage argb(inner.size(), QImage::Format_ARGB32_Premultiplied);
    if (argb.isNull()) {
        c.plane = {};
        return c;
    }
    argb.fill(0);
    {
        QPainter p(&argb);
        p.setRenderHint(QPainter::Antialiasing, true);
        // A whole-pixel translation, as every surface's painter has: rounding stays the same.
        p.translate(-inner.left(), -inner.top());
        bool first = true;
        for (const QPainterPath& path : devicePaths) {
            p.setClipPath(path, first ? Qt::ReplaceClip : Qt::IntersectClip);
            first = false;
        }
        p.fillRect(inner, Qt::black);
    }
    const QImage plane = alphaPlane(argb);
    if (plane.isNull()) {
        c.plane = {};
        return c;
    }
    for (int y = 0; y < inner.height(); ++y)
        std::memcpy(c.plane.scanLine(inner.top() - area.top() + y) + (inner.left() - area.left()),
            plane.constScanLine(y), size_t(inner.width()));
    return c;
}

// The coverage of a clip of rectangles over area, taken from the painter's own clip (see
// rasterizeAsClip). A view clips to the same rectangles frame after frame, so the last few
// are kept: the same rectangles over the same area of the same device give the same plane.
//
// Past the device nothing is drawn, but what is read there (the source of a shadow cast into
// it) comes from a render over the larger area, the device's own plane copied over it: the
// painter rounds rectangles differently where the device ends.
class RectangleCoverageCache {
public:
    static Coverage coverage(
        const std::vector<QPainterPath>& devicePaths, const QRect& area, const QRect& device)
    {
        static RectangleCoverageCache cache;
        std::lock_guard lock(cache.m_mutex);
        return cache.find(devicePaths, area, device);
    }

private:
    Coverage find(
        const std::vector<QPainterPath>& devicePaths, const QRect& area, const QRect& device)
    {
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->coverage.rect == area && it->device == device
                && samePaths(it->paths, devicePaths)) {
                m_entries.splice(m_entries.begin(), m_entries, it);
                return it->coverage;
            }
        }
        Coverage c;
        if (area == device) {
            c = rasterizeAsClip(devicePaths, area);
        } else {
            const Coverage inside = find(devicePaths, device, device);
            if (inside.plane.isNull())
                return inside;
            c = rasterizeAsClip(devicePaths, area);
            if (c.plane.isNull())
                return inside;
            for (int y = device.top(); y <= device.bottom(); ++y)
                std::memcpy(c.plane.scanLine(y - area.top()) + (device.left() - area.left()),
                    inside.row(y, device.left()), size_t(device.width()));
        }
        if (c.plane.isNull() || 1LL * area.width() * area.height() > kMaxPixels)
            return c;
        m_entries.push_front({ devicePaths, device, c });
        while (m_entries.size() > kEntries)
            m_entries.pop_back();
        return c;
    }

private:
    static constexpr size_t kEntries = 6;
    static constexpr long long kMaxPixels = 8LL << 20; // a plane: 8 MB at most, 32 MB in all
    struct Entry {
        std::vector<QPainterPath> paths;
        QRect device;
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
} // namespace

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

// The clip's coverage: see the declaration.
const Coverage& Clip::coverage(const QRect& area, const QRect& device) const
{
    const bool sameDevice = allDevice == device;
    if (sameDevice && all.covers(area))
        return all;
    allDevice = device;
    if (rectangles) {
        // The whole device at once: requests come in piece by piece (a word at a time).
        all = RectangleCoverageCache::coverage(paths, device.united(area), device);
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
            // Where the outer clip covers the whole row (a box around the shape), the row is
            // the path's own.
            if (allFull(b, rect.width())) {
                std::memcpy(out, a, size_t(rect.width()));
                continue;
            }
            std::fill_n(out, rect.width(), std::uint8_t(0));
            forEachCovered(
                a, rect.width(), [&](int x) { out[x] = std::uint8_t(div255(a[x] * b[x])); });
        }
    });
    return all;
}

} // namespace platform::graphicsinternal
