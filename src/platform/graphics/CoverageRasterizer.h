#pragma once
// Antialiased coverage of filled paths, as 8-bit values over a rectangle of device pixels.
//
// Each pixel's coverage is the exact area of its square inside the outline: every edge adds
// the signed area it sweeps to the cells of the rows it crosses, and a running sum along each
// row turns those into winding-weighted coverage, folded by the fill rule (non-zero: the
// magnitude, clamped to one; even-odd: the distance to the nearest even winding). Curves are
// flattened within a twentieth of a pixel. This is the same measure as the painter's own
// antialiased fills, computed without a painter: it is several times faster on outlines with
// many small curves (glyphs, their strokes), and independent rasterisers share nothing, so
// they run side by side on several threads.
#include <QPainterPath>
#include <QRect>
#include <cstdint>
#include <vector>

namespace platform {

class CoverageRasterizer {
public:
    // Flattens a device-space path for writing the pixels of region. Subpaths are closed
    // implicitly, as a fill closes them; edges with a coordinate that is not a finite number
    // are left out. A curve wholly outside region is taken as its chord: what it adds to the
    // region's pixels depends on its ends alone. Past kMaxEdges edges the remaining curves are
    // taken as chords too: a path of a million huge curves draws coarsely rather than taking
    // gigabytes.
    CoverageRasterizer(const QPainterPath& devicePath, const QRect& region);

    static constexpr size_t kMaxEdges = size_t(1) << 22;

    // Writes the coverage of the pixels of area (device space) into out: area's size, rows
    // stride bytes apart. With keepUncovered, pixels the path does not cover are left as they
    // are, so that paths whose pixels never meet can share one plane; otherwise they are
    // cleared. Returns false, writing nothing, when the working buffer cannot be had.
    bool write(const QRect& area, std::uint8_t* out, std::ptrdiff_t stride,
        bool keepUncovered = false) const;

    // The bounds of the flattened edges (device space); empty for an empty path.
    QRectF bounds() const { return m_bounds; }

private:
    struct Edge {
        double x0, y0, x1, y1; // y0 < y1
        int winding; // +1 downwards in the path's order, -1 upwards
    };
    void addLine(double x0, double y0, double x1, double y1);
    void addCubic(const QPointF& p0, const QPointF& p1, const QPointF& p2, const QPointF& p3,
        const QRectF& region);
    // Accumulates the edges over rows [top, top + rows) of area into cells (rows x (width + 2)).
    void accumulate(const QRect& area, int top, int rows, float* cells) const;

    std::vector<Edge> m_edges;
    QRectF m_bounds;
    Qt::FillRule m_rule = Qt::WindingFill;
    bool m_failed = false; // the edges could not be held: write() refuses
};

} // namespace platform
