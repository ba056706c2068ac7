#include "platform/graphics/CoverageRasterizer.h"

#include "platform/graphics/PixelLoop.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace platform {

namespace {

// Curves are flattened until no point of a chord lies farther than this from the curve.
constexpr double kFlatness = 0.05;
// Pieces of one curve at most: a curve over a huge span draws coarsely rather than slowly.
constexpr int kMaxPieces = 1024;
// Cells worked on at once: rows of a large area are done in strips of at most this many.
constexpr long kStripCells = 1L << 20;

bool finite(const QPointF& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// Adds the signed area a strip-local edge sweeps to the cells of the rows it crosses. x is
// already within [0, width]; cells hold width + 2 values a row.
PIXEL_LOOP void sweep(
    float* cells, int stride, int rows, double x0, double y0, double x1, double y1, int dir)
{
    if (y1 <= 0.0 || y0 >= rows || y0 == y1)
        return;
    const double dxdy = (x1 - x0) / (y1 - y0);
    double x = x0;
    if (y0 < 0.0) {
        x -= y0 * dxdy;
        y0 = 0.0;
    }
    const double yEnd = std::min(y1, double(rows));
    const int first = int(std::floor(y0));
    const int last = int(std::ceil(yEnd));
    const int width = stride - 2;
    for (int y = first; y < last; ++y) {
        float* row = cells + long(y) * stride;
        const double dy = std::min(double(y + 1), yEnd) - std::max(double(y), y0);
        const double xNext = std::clamp(x + dxdy * dy, 0.0, double(width));
        const double d = dy * dir;
        const double a = std::min(x, xNext), b = std::max(x, xNext);
        const double aFloor = std::floor(a);
        const int ai = int(aFloor);
        const double bCeil = std::ceil(b);
        const int bi = int(bCeil);
        if (bi <= ai + 1) {
            // Within one pixel: a trapezoid split between it and the next.
            const double mid = 0.5 * (x + xNext) - aFloor;
            row[ai] += float(d - d * mid);
            row[ai + 1] += float(d * mid);
        } else {
            const double s = 1.0 / (b - a);
            const double aFrac = a - aFloor;
            const double a0 = 0.5 * s * (1.0 - aFrac) * (1.0 - aFrac);
            const double bFrac = b - bCeil + 1.0;
            const double am = 0.5 * s * bFrac * bFrac;
            row[ai] += float(d * a0);
            if (bi == ai + 2) {
                row[ai + 1] += float(d * (1.0 - a0 - am));
            } else {
                const double a1 = s * (1.5 - aFrac);
                row[ai + 1] += float(d * (a1 - a0));
                for (int xi = ai + 2; xi < bi - 1; ++xi)
                    row[xi] += float(d * s);
                const double a2 = a1 + (bi - ai - 3) * s;
                row[bi - 1] += float(d * (1.0 - a2 - am));
            }
            row[bi] += float(d * am);
        }
        x = xNext;
    }
}

} // namespace

CoverageRasterizer::CoverageRasterizer(const QPainterPath& devicePath, const QRect& region)
    : m_rule(devicePath.fillRule())
{
    const QRectF within(region);
    const int n = devicePath.elementCount();
    try {
        m_edges.reserve(size_t(n) + 8);
    } catch (const std::bad_alloc&) {
        m_failed = true;
        return;
    }
    QPointF start, last;
    bool open = false;
    auto close = [&] {
        if (open && last != start)
            addLine(last.x(), last.y(), start.x(), start.y());
        open = false;
    };
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = devicePath.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            close();
            start = last = QPointF(e);
            open = true;
            break;
        case QPainterPath::LineToElement:
            if (!open) {
                start = last;
                open = true;
            }
            addLine(last.x(), last.y(), e.x, e.y);
            last = QPointF(e);
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < n) {
                if (!open) {
                    start = last;
                    open = true;
                }
                const QPointF c2 = devicePath.elementAt(i + 1), end = devicePath.elementAt(i + 2);
                addCubic(last, QPointF(e), c2, end, within);
                last = end;
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    close();
    if (!m_edges.empty()) {
        double x0 = m_edges[0].x0, x1 = x0, y0 = m_edges[0].y0, y1 = m_edges[0].y1;
        for (const Edge& edge : m_edges) {
            x0 = std::min({ x0, edge.x0, edge.x1 });
            x1 = std::max({ x1, edge.x0, edge.x1 });
            y0 = std::min(y0, edge.y0);
            y1 = std::max(y1, edge.y1);
        }
        m_bounds = QRectF(QPointF(x0, y0), QPointF(x1, y1));
    }
}

void CoverageRasterizer::addLine(double x0, double y0, double x1, double y1)
{
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)
        || y0 == y1 || m_failed)
        return;
    if (m_edges.size() == m_edges.capacity()) {
        try {
            m_edges.reserve(m_edges.size() * 2 + 64);
        } catch (const std::bad_alloc&) {
            m_failed = true;
            return;
        }
    }
    if (y0 < y1)
        m_edges.push_back({ x0, y0, x1, y1, 1 });
    else
        m_edges.push_back({ x1, y1, x0, y0, -1 });
}

void CoverageRasterizer::addCubic(const QPointF& p0, const QPointF& p1, const QPointF& p2,
    const QPointF& p3, const QRectF& region)
{
    if (!finite(p0) || !finite(p1) || !finite(p2) || !finite(p3))
        return;
    const double minX = std::min({ p0.x(), p1.x(), p2.x(), p3.x() });
    const double maxX = std::max({ p0.x(), p1.x(), p2.x(), p3.x() });
    const double minY = std::min({ p0.y(), p1.y(), p2.y(), p3.y() });
    const double maxY = std::max({ p0.y(), p1.y(), p2.y(), p3.y() });
    if (maxX <= region.left() || minX >= region.right() || maxY <= region.top()
        || minY >= region.bottom() || m_edges.size() >= kMaxEdges) {
        addLine(p0.x(), p0.y(), p3.x(), p3.y());
        return;
    }
    // The chords of n equal steps in t stay within 3/4 * |largest second difference| / n^2
    // of the curve.
    const QPointF d1 = p0 - 2 * p1 + p2, d2 = p1 - 2 * p2 + p3;
    const double dd = std::max(std::hypot(d1.x(), d1.y()), std::hypot(d2.x(), d2.y()));
    const double wanted = std::ceil(std::sqrt(0.75 * dd / kFlatness));
    const int pieces
        = std::isfinite(wanted) ? int(std::clamp(wanted, 1.0, double(kMaxPieces))) : kMaxPieces;
    QPointF prev = p0;
    for (int i = 1; i <= pieces; ++i) {
        const double t = double(i) / pieces, u = 1.0 - t;
        const QPointF p = i == pieces
            ? p3
            : u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
        addLine(prev.x(), prev.y(), p.x(), p.y());
        prev = p;
    }
}

void CoverageRasterizer::accumulate(const QRect& area, int top, int rows, float* cells) const
{
    const int width = area.width();
    const int stride = width + 2;
    const double ox = area.left(), oy = double(area.top()) + top;
    for (const Edge& e : m_edges) {
        const double y0 = e.y0 - oy, y1 = e.y1 - oy;
        if (y1 <= 0.0 || y0 >= rows)
            continue;
        const double x0 = e.x0 - ox, x1 = e.x1 - ox;
        if (x0 >= width && x1 >= width)
            continue; // right of every pixel: it changes no running sum here
        if (x0 >= 0.0 && x1 >= 0.0 && x0 <= width && x1 <= width) {
            sweep(cells, stride, rows, x0, y0, x1, y1, e.winding);
            continue;
        }
        // Split where the edge leaves [0, width]: a piece left of the pixels counts as an
        // edge along their left side (it covers all of every pixel to its right); a piece
        // right of them counts for nothing.
        double ts[4] = { 0.0, 1.0, 1.0, 1.0 };
        int count = 1;
        for (const double bound : { 0.0, double(width) }) {
            if ((x0 < bound) != (x1 < bound))
                ts[count++] = (bound - x0) / (x1 - x0);
        }
        ts[count++] = 1.0;
        if (count == 4 && ts[1] > ts[2])
            std::swap(ts[1], ts[2]);
        for (int i = 0; i + 1 < count; ++i) {
            const double ta = ts[i], tb = ts[i + 1];
            if (tb <= ta)
                continue;
            const double ya = y0 + (y1 - y0) * ta, yb = y0 + (y1 - y0) * tb;
            const double xa = x0 + (x1 - x0) * ta, xb = x0 + (x1 - x0) * tb;
            const double mid = 0.5 * (xa + xb);
            if (mid >= width)
                continue;
            if (mid <= 0.0) {
                sweep(cells, stride, rows, 0.0, ya, 0.0, yb, e.winding);
                continue;
            }
            sweep(cells, stride, rows, std::clamp(xa, 0.0, double(width)), ya,
                std::clamp(xb, 0.0, double(width)), yb, e.winding);
        }
    }
}

bool CoverageRasterizer::write(
    const QRect& area, std::uint8_t* out, std::ptrdiff_t stride, bool keepUncovered) const
{
    if (m_failed)
        return false;
    if (area.isEmpty())
        return true;
    const int width = area.width();
    const long cellStride = long(width) + 2;
    const int stripRows = int(std::clamp(kStripCells / cellStride, 1L, long(area.height())));
    std::vector<float> cells;
    try {
        cells.resize(size_t(cellStride) * size_t(stripRows));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const bool evenOdd = m_rule == Qt::OddEvenFill;
    bool cellsUsed = false;
    for (int top = 0; top < area.height(); top += stripRows) {
        const int rows = std::min(stripRows, area.height() - top);
        const bool inStrip = !m_edges.empty() && m_bounds.bottom() > area.top() + top
            && m_bounds.top() < area.top() + top + rows && m_bounds.left() < area.right() + 1;
        if (!inStrip) {
            if (!keepUncovered) {
                for (int y = 0; y < rows; ++y)
                    std::fill_n(out + (top + y) * stride, width, std::uint8_t(0));
            }
            continue;
        }
        // (Fresh cells are clear already: only a strip after one that was summed clears them.)
        if (cellsUsed)
            std::fill(cells.begin(), cells.begin() + long(rows) * cellStride, 0.0f);
        cellsUsed = true;
        accumulate(area, top, rows, cells.data());
        for (int y = 0; y < rows; ++y) {
            const float* row = cells.data() + long(y) * cellStride;
            std::uint8_t* o = out + (top + y) * stride;
            float sum = 0.0f;
            auto value = [&] {
                float c = std::fabs(sum);
                if (evenOdd) {
                    c = std::fmod(c, 2.0f);
                    if (c > 1.0f)
                        c = 2.0f - c;
                } else if (c > 1.0f) {
                    c = 1.0f;
                }
                return std::uint8_t(c * 255.0f + 0.5f);
            };
            float constantSum = 0.0f;
            std::uint8_t constantValue = value();
            int x = 0;
            for (; x + 8 <= width; x += 8) {
                // Only the cells an edge crosses hold anything: between them (the inside and
                // the outside of a shape, most of its pixels) the running sum stays as it is,
                // and eight pixels take one value.
                std::uint64_t cellBits[4];
                std::memcpy(cellBits, row + x, sizeof cellBits);
                if ((cellBits[0] | cellBits[1] | cellBits[2] | cellBits[3]) == 0) {
                    // (The value of a sum is worked out once for all the runs it holds over.)
                    if (sum != constantSum) {
                        constantSum = sum;
                        constantValue = value();
                    }
                    if (constantValue != 0 || !keepUncovered)
                        std::memset(o + x, constantValue, 8);
                    continue;
                }
                for (int i = x; i < x + 8; ++i) {
                    sum += row[i];
                    const std::uint8_t v = value();
                    if (v != 0 || !keepUncovered)
                        o[i] = v;
                }
            }
            for (; x < width; ++x) {
                sum += row[x];
                const std::uint8_t v = value();
                if (v != 0 || !keepUncovered)
                    o[x] = v;
            }
        }
    }
    return true;
}

} // namespace platform
