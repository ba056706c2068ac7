// Boolean operations: both outlines cut at every crossing (with each other and with
// themselves), each piece kept when the result's region lies on exactly one side of it, and
// the kept pieces chained into closed subpaths.
#include "foundation/BezierPathAdditionsBooleans.h"

#include "foundation/PathLogging.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

using platform::BezierPath;
using platform::PathElementKind;
using platform::Point;

Q_LOGGING_CATEGORY(lcPath, "quillmark.foundation.path", QtWarningMsg)

namespace {

constexpr std::array<double, 5> kGaussX { 0.0, 0.5384693101056831, -0.5384693101056831,
    0.9061798459386640, -0.9061798459386640 };
constexpr std::array<double, 5> kGaussW { 0.5688888888888889, 0.4786286704993665,
    0.4786286704993665, 0.2369268850561891, 0.2369268850561891 };

// (x y' - y x') / 2 over t in [0, 1]: degree five at most, so five Gauss points are exact.
double segmentArea(const PathSegment& s)
{
    const Coefficients c = s.coefficients();
    double sum = 0.0;
    for (std::size_t i = 0; i < kGaussX.size(); ++i) {
        const double t = 0.5 + 0.5 * kGaussX[i];
        const Point p = c.at(t);
        const Point d = c.derivative(t);
        sum += kGaussW[i] * (p.x * d.y - p.y * d.x);
    }
    return sum / 4.0;
}

// Every subpath closed, so that the walker without implicit closing (as the intersection
// search walks) sees the closing segments too. A subpath that ends within tol of its start is
// snapped shut instead: a closing segment of no length would put a second joint where the
// outline meets itself, whose crossing records no rule recognises as a joint.
BezierPath closedCopy(const BezierPath& path, double tol)
{
    std::vector<platform::PathElement> els;
    els.reserve(std::size_t(path.elementCount()) + 8);
    Point start;
    bool drawn = false;
    const auto close = [&] {
        if (!drawn)
            return;
        platform::PathElement& last = els.back();
        Point& end = last.kind == PathElementKind::CurveTo ? last.points[2] : last.points[0];
        if (std::abs(end.x - start.x) <= tol && std::abs(end.y - start.y) <= tol)
            end = start;
        else
            els.push_back({ PathElementKind::ClosePath, {} });
        drawn = false;
    };
    for (const platform::PathElement& e : path.elements()) {
        if (e.kind == PathElementKind::MoveTo || e.kind == PathElementKind::ClosePath)
            close();
        if (e.kind == PathElementKind::MoveTo)
            start = e.points[0];
        if (e.kind != PathElementKind::ClosePath)
            els.push_back(e);
        drawn |= e.kind == PathElementKind::LineTo || e.kind == PathElementKind::CurveTo;
    }
    close();
    BezierPath out;
    out.reserve(int(els.size()));
    for (const platform::PathElement& e : els) {
        switch (e.kind) {
        case PathElementKind::MoveTo:
            out.moveTo(e.points[0]);
            break;
        case PathElementKind::LineTo:
            out.lineTo(e.points[0]);
            break;
        case PathElementKind::CurveTo:
            out.curveTo(e.points[2], e.points[0], e.points[1]);
            break;
        case PathElementKind::ClosePath:
            out.closePath();
            break;
        }
    }
    return out;
}

// The largest coordinate of the paths, at least 1: the scale of their rounding errors.
double extentOf(std::initializer_list<const BezierPath*> paths)
{
    double extent = 1.0;
    for (const BezierPath* path : paths)
        for (const platform::PathElement& e : path->elements())
            for (int i = 0; i < e.pointCount(); ++i)
                extent = std::max(
                    { extent, std::abs(e.points[size_t(i)].x), std::abs(e.points[size_t(i)].y) });
    return extent;
}

bool allFinite(const BezierPath& path)
{
    for (const platform::PathElement& e : path.elements())
        for (int i = 0; i < e.pointCount(); ++i)
            if (!e.points[size_t(i)].isFinite())
                return false;
    return true;
}

struct Cut {
    double t;
    int node;
};

struct Piece {
    std::array<Point, 4> p;
    bool curve;
    int from;
    int to;
    int owner = 0; // 0: the receiver's outline, 1: the other's
    int seg = 0; // the segment it was cut from
    bool fromCut = false; // it starts at a cut, else at its segment's start
};

struct Nodes {
    std::vector<int> parent;
    int make()
    {
        parent.push_back(int(parent.size()));
        return parent.back();
    }
    int find(int x)
    {
        while (parent[size_t(x)] != x)
            x = parent[size_t(x)] = parent[size_t(parent[size_t(x)])];
        return x;
    }
    void join(int a, int b) { parent[size_t(find(a))] = find(b); }
};

std::array<Point, 4> subCurve(const std::array<Point, 4>& p, double t0, double t1)
{
    if (t0 <= 0.0 && t1 >= 1.0)
        return p;
    const CurveSplit head = splitCurve(p, t1);
    if (t0 <= 0.0)
        return head.first;
    return splitCurve(head.first, t0 / t1).second;
}

// The winding numbers of many points against one path: segments filed in horizontal bands
// by their y extent, each band sorted by the segments' left edge, so that a point meets only
// the segments of its band that lie left of it.
class RayIndex {
public:
    explicit RayIndex(const BezierPath& path)
    {
        PathSegmentWalker walker(path, true);
        PathSegment s;
        while (walker.next(s)) {
            const int n = s.isCurve ? 4 : 2;
            double lo = s.p[0].y, hi = s.p[0].y, left = s.p[0].x;
            for (int i = 1; i < n; ++i) {
                lo = std::min(lo, s.p[size_t(i)].y);
                hi = std::max(hi, s.p[size_t(i)].y);
                left = std::min(left, s.p[size_t(i)].x);
            }
            m_segments.push_back({ s, lo, hi, left });
        }
        if (m_segments.empty())
            return;
        m_minY = m_segments[0].lo;
        m_maxY = m_segments[0].hi;
        for (const Entry& e : m_segments) {
            m_minY = std::min(m_minY, e.lo);
            m_maxY = std::max(m_maxY, e.hi);
        }
        const int bands = std::clamp(int(2.0 * std::sqrt(double(m_segments.size()))), 1, 1024);
        m_step = (m_maxY - m_minY) / bands;
        m_bands.resize(size_t(bands));
        for (std::size_t i = 0; i < m_segments.size(); ++i) {
            const int from = band(m_segments[i].lo);
            const int to = band(m_segments[i].hi);
            for (int b = from; b <= to; ++b)
                m_bands[size_t(b)].push_back(int(i));
        }
        for (std::vector<int>& b : m_bands)
            std::sort(b.begin(), b.end(), [&](int x, int y) {
                return m_segments[size_t(x)].left < m_segments[size_t(y)].left;
            });
    }

    bool inside(const Point& p) const
    {
        const Winding w = at(p);
        return w.hits == 0 && w.winding != 0;
    }

    Winding at(const Point& p) const
    {
        Winding w;
        if (m_segments.empty() || !(p.y >= m_minY && p.y <= m_maxY) || !std::isfinite(p.x))
            return w;
        for (const int i : m_bands[size_t(band(p.y))]) {
            const Entry& e = m_segments[size_t(i)];
            if (e.left > p.x)
                break;
            windSegment(e.segment, p, w);
        }
        if (w.hits > 0)
            w.winding = 0;
        return w;
    }

private:
    struct Entry {
        PathSegment segment;
        double lo, hi, left;
    };
    int band(double y) const
    {
        if (!(m_step > 0.0))
            return 0;
        return std::clamp(int((y - m_minY) / m_step), 0, int(m_bands.size()) - 1);
    }
    std::vector<Entry> m_segments;
    std::vector<std::vector<int>> m_bands;
    double m_minY = 0.0;
    double m_maxY = 0.0;
    double m_step = 0.0;
};

bool insideOf(BooleanOp op, bool a, bool b)
{
    switch (op) {
    case BooleanOp::Union:
        return a || b;
    case BooleanOp::Intersection:
        return a && b;
    case BooleanOp::Difference:
        return a && !b;
    }
    return false;
}

} // namespace

double signedArea(const BezierPath& path)
{
    double area = 0.0;
    PathSegmentWalker walker(path, true);
    PathSegment s;
    while (walker.next(s))
        area += segmentArea(s);
    return area;
}

BezierPath performBooleanOp(const BezierPath& path, BooleanOp op, const BezierPath& other)
{
    if (!allFinite(path) || !allFinite(other))
        return BezierPath();
    const double extent = extentOf({ &path, &other });
    const BezierPath paths[2]
        = { closedCopy(path, 1e-10 * extent), closedCopy(other, 1e-10 * extent) };

    // The segments of both, with a map from element index to segment.
    std::vector<PathSegment> segs;
    std::vector<int> ringStart; // first segment of each segment's subpath
    std::vector<std::vector<int>> byElement(2); // per path: element index -> segment
    for (int k = 0; k < 2; ++k) {
        byElement[size_t(k)].assign(size_t(paths[k].elementCount()) + 1, -1);
        PathSegmentWalker walker(paths[k], false);
        PathSegment s;
        int first = -1;
        int subpath = -1;
        while (walker.next(s)) {
            if (s.subpath != subpath || first < 0) {
                first = int(segs.size());
                subpath = s.subpath;
            }
            byElement[size_t(k)][size_t(s.index)] = int(segs.size());
            segs.push_back(s);
            ringStart.push_back(first);
        }
    }
    if (segs.empty())
        return BezierPath();
    const int segCountA = byElement[0].empty()
        ? 0
        : int(
            std::count_if(byElement[0].begin(), byElement[0].end(), [](int v) { return v >= 0; }));

    // Cut points at every crossing; each crossing is one node shared by its two cuts.
    Nodes nodes;
    std::vector<std::vector<Cut>> cuts(segs.size());
    const auto addCuts = [&](int pa, int pb, const std::vector<KXBezierPathIntersection>& xs) {
        for (const KXBezierPathIntersection& x : xs) {
            const int sa = byElement[size_t(pa)][size_t(x.left.segment)];
            const int sb = byElement[size_t(pb)][size_t(x.right.segment)];
            if (sa < 0 || sb < 0)
                continue;
            const int node = nodes.make();
            cuts[size_t(sa)].push_back({ x.left.parameter, node });
            cuts[size_t(sb)].push_back({ x.right.parameter, node });
            // Where the outlines coincide both are cut at the stretch's two ends, so that the
            // stretch is one piece on each, the same piece, kept once below.
            if (x.left.span != 0.0 && x.right.span != 0.0) {
                const int end = nodes.make();
                cuts[size_t(sa)].push_back({ x.left.parameter + x.left.span, end });
                cuts[size_t(sb)].push_back({ x.right.parameter + x.right.span, end });
            }
        }
    };
    const IntersectionsAmong found = allIntersectionsAmong(paths[0], paths[1]);
    addCuts(0, 1, found.across);
    addCuts(0, 0, found.withinPath);
    addCuts(1, 1, found.withinOther);

    // A node at every joint: joint[i] is where segment i starts.
    std::vector<int> joint(segs.size());
    for (std::size_t i = 0; i < segs.size(); ++i)
        joint[i] = nodes.make();
    const auto nextInRing = [&](std::size_t i) {
        const std::size_t n = i + 1;
        if (n < segs.size() && ringStart[n] == ringStart[i])
            return n;
        return std::size_t(ringStart[i]);
    };

    constexpr double kNear = 1e-9;
    const double kSamePoint = 1e-10 * extent;
    std::vector<Piece> pieces;
    std::vector<char> cutJoint(segs.size(), 0); // a cut fell on the joint where segment i starts
    for (std::size_t i = 0; i < segs.size(); ++i) {
        const std::size_t firstPiece = pieces.size();
        std::vector<Cut>& cs = cuts[i];
        std::sort(cs.begin(), cs.end(), [](const Cut& a, const Cut& b) { return a.t < b.t; });
        const int startNode = joint[i];
        const int endNode = joint[nextInRing(i)];
        double t0 = 0.0;
        int from = startNode;
        const PathSegment& s = segs[i];
        const Coefficients c0 = s.coefficients();
        // A cut next to an end of the segment, within rounding of that end's point, is that
        // end. (Only next to it: a loop of the segment returns to the same point far along.)
        const auto same = [&](const Point& a, const Point& b) {
            return std::abs(a.x - b.x) <= kSamePoint && std::abs(a.y - b.y) <= kSamePoint;
        };
        for (const Cut& c : cs) {
            if (c.t <= kNear || (c.t <= 1e-6 && same(c0.at(c.t), s.start()))) {
                nodes.join(c.node, startNode);
                cutJoint[i] = 1;
                continue;
            }
            if (c.t >= 1.0 - kNear || (c.t >= 1.0 - 1e-6 && same(c0.at(c.t), s.end()))) {
                nodes.join(c.node, endNode);
                cutJoint[nextInRing(i)] = 1;
                continue;
            }
            if (c.t - t0 <= kNear) {
                nodes.join(c.node, from);
                continue;
            }
            pieces.push_back({ s.isCurve ? subCurve(s.p, t0, c.t)
                                         : std::array<Point, 4> { s.p[0] + (s.p[1] - s.p[0]) * t0,
                                             s.p[0] + (s.p[1] - s.p[0]) * c.t },
                s.isCurve, from, c.node, 0, int(i), from != startNode });
            t0 = c.t;
            from = c.node;
        }
        pieces.push_back(
            { s.isCurve ? subCurve(s.p, t0, 1.0)
                        : std::array<Point, 4> { s.p[0] + (s.p[1] - s.p[0]) * t0, s.p[1] },
                s.isCurve, from, endNode, 0, int(i), from != startNode });
        for (std::size_t k = firstPiece; k < pieces.size(); ++k)
            pieces[k].owner = int(i) < segCountA ? 0 : 1;
    }

    // Keep a piece when the result lies on one side of it only, oriented with the result on
    // its left.
    const double eps = 1e-7 * extent;
    const RayIndex regions[2] = { RayIndex(paths[0]), RayIndex(paths[1]) };
    const auto middle = [](const Piece& pc, Point& m, Point& d) {
        const Coefficients c = pc.curve ? Coefficients::curve(pc.p[0], pc.p[1], pc.p[2], pc.p[3])
                                        : Coefficients::line(pc.p[0], pc.p[1]);
        m = c.at(0.5);
        d = c.derivative(0.5);
        return std::sqrt(d.x * d.x + d.y * d.y);
    };
    // nullopt: dropped; else whether it runs with the result on its left.
    const auto classify = [&](const Piece& pc) -> std::optional<bool> {
        Point m, d;
        const double L = middle(pc, m, d);
        if (!(L > 0.0))
            return std::nullopt;
        const Point n(-d.y / L * eps, d.x / L * eps);
        // The piece's own outline winds one lower on its left (counter-clockwise regions wind
        // -1 here); the other outline winds alike on both sides unless the piece lies on it.
        const RayIndex& own = regions[pc.owner];
        const RayIndex& otherRegion = regions[1 - pc.owner];
        const Winding ownRight = own.at(m - n);
        bool ownLeftIn;
        if (ownRight.hits > 0)
            ownLeftIn = own.inside(m + n);
        else
            ownLeftIn = ownRight.winding - 1 != 0;
        const bool ownRightIn = ownRight.hits == 0 && ownRight.winding != 0;
        const Winding across = otherRegion.at(m);
        bool otherLeftIn = across.winding != 0;
        bool otherRightIn = otherLeftIn;
        if (across.hits > 0) {
            otherLeftIn = otherRegion.inside(m + n);
            otherRightIn = otherRegion.inside(m - n);
        }
        const bool left = pc.owner == 0 ? insideOf(op, ownLeftIn, otherLeftIn)
                                        : insideOf(op, otherLeftIn, ownLeftIn);
        const bool right = pc.owner == 0 ? insideOf(op, ownRightIn, otherRightIn)
                                         : insideOf(op, otherRightIn, ownRightIn);
        if (left == right)
            return std::nullopt;
        return left;
    };
    // Between two cuts along an outline nothing changes sides: every crossing, touch or
    // shared stretch of either outline is a cut. So the pieces of such a run are classified
    // once, by the longest of them (the one clearest of rounding).
    struct Kept {
        int piece;
        bool forward;
    };
    std::vector<Kept> kept;
    std::vector<double> speed(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        Point m, d;
        speed[i] = middle(pieces[i], m, d);
    }
    const auto startsRun
        = [&](std::size_t k) { return pieces[k].fromCut || cutJoint[size_t(pieces[k].seg)]; };
    for (std::size_t b = 0; b < pieces.size();) {
        // One ring: pieces [b, e); its runs begin where a cut is.
        const int ring = ringStart[size_t(pieces[b].seg)];
        std::size_t e = b;
        while (e < pieces.size() && ringStart[size_t(pieces[e].seg)] == ring)
            ++e;
        std::size_t first = b;
        while (first < e && !startsRun(first))
            ++first;
        // Runs from `first` on; the pieces before it close the ring's last run.
        const std::size_t n = e - b;
        const std::size_t origin = first < e ? first - b : 0;
        for (std::size_t k = 0; k < n;) {
            std::size_t end = k + 1;
            while (end < n && !startsRun(b + (origin + end) % n))
                ++end;
            std::size_t best = b + (origin + k) % n;
            for (std::size_t r = k; r < end; ++r)
                if (speed[b + (origin + r) % n] > speed[best])
                    best = b + (origin + r) % n;
            if (const std::optional<bool> forward = classify(pieces[best]))
                for (std::size_t r = k; r < end; ++r)
                    if (speed[b + (origin + r) % n] > 0.0)
                        kept.push_back({ int(b + (origin + r) % n), *forward });
            k = end;
        }
        b = e;
    }

    // Where the two outlines coincide both copies of a stretch qualify: one is enough (and a
    // stretch kept both ways bounds nothing).
    {
        const double tol = 1e-9 * extent;
        std::vector<Point> mids(kept.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const Piece& pc = pieces[size_t(kept[i].piece)];
            mids[i] = pc.curve ? Coefficients::curve(pc.p[0], pc.p[1], pc.p[2], pc.p[3]).at(0.5)
                               : (pc.p[0] + pc.p[1]) * 0.5;
        }
        std::vector<std::size_t> order(kept.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return mids[a].x < mids[b].x; });
        std::vector<bool> drop(kept.size(), false);
        const auto near = [&](const Point& a, const Point& b) {
            return std::abs(a.x - b.x) <= tol && std::abs(a.y - b.y) <= tol;
        };
        for (std::size_t a = 0; a < order.size(); ++a) {
            const std::size_t i = order[a];
            if (drop[i])
                continue;
            for (std::size_t b = a + 1; b < order.size() && mids[order[b]].x - mids[i].x <= tol;
                 ++b) {
                const std::size_t j = order[b];
                if (drop[j] || !near(mids[i], mids[j]))
                    continue;
                const Piece& pi = pieces[size_t(kept[i].piece)];
                const Piece& pj = pieces[size_t(kept[j].piece)];
                const Point si = kept[i].forward ? pi.p[0] : (pi.curve ? pi.p[3] : pi.p[1]);
                const Point sj = kept[j].forward ? pj.p[0] : (pj.curve ? pj.p[3] : pj.p[1]);
                drop[j] = true;
                if (!near(si, sj))
                    drop[i] = true; // the same stretch both ways
                break;
            }
        }
        std::vector<Kept> remaining;
        for (std::size_t i = 0; i < kept.size(); ++i)
            if (!drop[i])
                remaining.push_back(kept[i]);
        kept.swap(remaining);
    }

    // Chain the kept pieces end to start.
    std::vector<std::vector<int>> leaving(nodes.parent.size());
    const auto startOf = [&](const Kept& k) {
        const Piece& pc = pieces[size_t(k.piece)];
        return nodes.find(k.forward ? pc.from : pc.to);
    };
    const auto endOf = [&](const Kept& k) {
        const Piece& pc = pieces[size_t(k.piece)];
        return nodes.find(k.forward ? pc.to : pc.from);
    };
    for (std::size_t i = 0; i < kept.size(); ++i)
        leaving[size_t(startOf(kept[i]))].push_back(int(i));
    std::vector<bool> used(kept.size(), false);
    BezierPath out;
    out.setLineWidth(path.lineWidth());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (used[i])
            continue;
        std::size_t k = i;
        const int home = startOf(kept[i]);
        bool started = false;
        while (true) {
            used[k] = true;
            const Piece& pc = pieces[size_t(kept[k].piece)];
            std::array<Point, 4> p = pc.p;
            if (!kept[k].forward) {
                if (pc.curve)
                    std::reverse(p.begin(), p.end());
                else
                    std::swap(p[0], p[1]);
            }
            if (!started) {
                out.moveTo(p[0]);
                started = true;
            }
            if (pc.curve)
                out.curveTo(p[3], p[1], p[2]);
            else
                out.lineTo(p[1]);
            const int at = endOf(kept[k]);
            if (at == home)
                break;
            int next = -1;
            for (const int candidate : leaving[size_t(at)])
                if (!used[size_t(candidate)]) {
                    next = candidate;
                    break;
                }
            if (next < 0)
                break;
            k = std::size_t(next);
        }
        out.closePath();
    }
    return out;
}

std::int64_t countSubPaths(const BezierPath& path)
{
    std::int64_t count = 0;
    for (int i = 0; i + 1 < path.elementCount(); ++i)
        count += path.elementAt(i).kind == PathElementKind::MoveTo;
    return count;
}

std::vector<BezierPath> subPaths(const BezierPath& path)
{
    if (countSubPaths(path) < 2)
        return { path };
    std::vector<BezierPath> out;
    BezierPath current;
    const auto flush = [&] {
        if (current.elementCount() >= 2)
            out.push_back(current);
        current = BezierPath();
    };
    for (const platform::PathElement& e : path.elements()) {
        switch (e.kind) {
        case PathElementKind::MoveTo:
            flush();
            current.moveTo(e.points[0]);
            break;
        case PathElementKind::LineTo:
            current.lineTo(e.points[0]);
            break;
        case PathElementKind::CurveTo:
            current.curveTo(e.points[2], e.points[0], e.points[1]);
            break;
        case PathElementKind::ClosePath:
            current.closePath();
            break;
        }
    }
    flush();
    return out;
}

bool isClockwise(const BezierPath& path)
{
    // Rounding leaves a flat outline a trace of area either way: below a millionth of a
    // millionth of its box it counts as none.
    const platform::Rect box = path.controlPointBounds();
    const double size = box.width() + box.height();
    return !(signedArea(path) > 1e-12 * size * size);
}

BezierPath renormalizePath(const BezierPath& path)
{
    const std::int64_t count = countSubPaths(path);
    // Without subpaths there is nothing to turn (and splitting would hand back the path
    // itself, to be renormalised again without end).
    if (count == 0)
        return path;
    if (count == 1)
        return isClockwise(path) ? path : path.reversed();
    BezierPath out;
    for (const BezierPath& sub : subPaths(path))
        out.appendPath(renormalizePath(sub));
    out.setLineWidth(path.lineWidth());
    return out;
}

namespace {

void appendElement(BezierPath& path, const BezierPath& source, std::int64_t i, const Point& first)
{
    const platform::PathElement& e = source.elementAt(int(i));
    if (e.kind == PathElementKind::MoveTo)
        return;
    const Point end = e.kind == PathElementKind::CurveTo ? e.points[2]
        : e.kind == PathElementKind::LineTo              ? e.points[0]
                                                         : first;
    if (path.isEmpty()) {
        path.moveTo(end);
        return;
    }
    if (e.kind == PathElementKind::CurveTo)
        path.curveTo(e.points[2], e.points[0], e.points[1]);
    else
        path.lineTo(end);
}

} // namespace

void appendElementsFromPath(BezierPath& path, const BezierPath& source, ElementRange range)
{
    const std::int64_t n = source.elementCount();
    if (n == 0 || range.location < 0 || range.length < 0)
        return;
    const Point first = currentpointForSegment(source, 0).value_or(source.elementAt(0).points[0]);
    const std::int64_t end = std::min(n, range.location + range.length + 1);
    qCDebug(lcPath, "appending in range %s, max = %ld",
        qPrintable(QStringLiteral("{%1, %2}").arg(range.location).arg(range.length)), long(end));
    for (std::int64_t i = range.location; i < end; ++i)
        appendElement(path, source, i, first);
}

void appendElementsFromPath(
    BezierPath& path, const BezierPath& source, std::int64_t fromIndex, std::int64_t toIndex)
{
    const std::int64_t n = source.elementCount();
    if (n == 0 || fromIndex < 0 || toIndex < 0)
        return;
    qCDebug(lcPath, "appending elements from %ld to %ld", long(fromIndex), long(toIndex));
    if (toIndex < fromIndex) {
        appendElementsFromPath(path, source, ElementRange { fromIndex, n - fromIndex - 1 });
        appendElementsFromPath(path, source, ElementRange { 0, toIndex });
    } else {
        appendElementsFromPath(path, source, ElementRange { fromIndex, toIndex - fromIndex });
    }
}

namespace {

// The start of the subpath that element s belongs to: the nearest move-to before it.
std::optional<Point> subpathStart(const BezierPath& path, std::int64_t s)
{
    for (std::int64_t i = s - 1; i >= 0; --i)
        if (path.elementAt(int(i)).kind == PathElementKind::MoveTo)
            return path.elementAt(int(i)).points[0];
    return std::nullopt;
}

// Where element s starts: the end of element s - 1, a close ending at its subpath's start.
// nullopt for element 0 or a path without a leading move-to.
std::optional<Point> elementStart(const BezierPath& path, std::int64_t s)
{
    if (s < 1 || s >= path.elementCount() || path.elementAt(0).kind != PathElementKind::MoveTo)
        return std::nullopt;
    const platform::PathElement& prev = path.elementAt(int(s - 1));
    if (prev.kind != PathElementKind::ClosePath)
        return prev.kind == PathElementKind::CurveTo ? prev.points[2] : prev.points[0];
    return subpathStart(path, s - 1);
}

} // namespace

void appendSplitElementFromPath(BezierPath& path, const BezierPath& source,
    const KXBezierPathIntersection* info, bool right, bool trailing)
{
    if (!info)
        return;
    const KXBezierPathIntersectionHalf& half = right ? info->right : info->left;
    const std::int64_t s = half.segment;
    if (s < 0 || s >= source.elementCount() || !std::isfinite(half.parameter))
        return;
    const platform::PathElement& e = source.elementAt(int(s));
    const std::optional<Point> from = elementStart(source, s);
    const double t = std::clamp(half.parameter, 0.0, 1.0);
    if (e.kind == PathElementKind::CurveTo && from) {
        const CurveSplit parts = splitCurve({ *from, e.points[0], e.points[1], e.points[2] }, t);
        const std::array<Point, 4>& p = trailing ? parts.second : parts.first;
        if (path.isEmpty())
            path.moveTo(p[0]);
        path.curveTo(p[3], p[1], p[2]);
        return;
    }
    // A close runs to its subpath's start; a move-to (a segment of no length) to its point.
    Point end = e.points[0];
    if (e.kind == PathElementKind::CurveTo)
        end = e.points[2];
    else if (e.kind == PathElementKind::ClosePath)
        end = subpathStart(source, s).value_or(end);
    const Point to = trailing ? end : info->location;
    if (path.isEmpty())
        path.moveTo(trailing ? info->location : from.value_or(to));
    path.lineTo(to);
}

std::vector<BezierPath> breakApartWithIntersectionInfo(
    const BezierPath& path, const std::vector<KXBezierPathIntersection>& intersections, bool right)
{
    // The cuts on the chosen side, in order along the path.
    std::vector<std::pair<std::int64_t, double>> cuts;
    for (const KXBezierPathIntersection& x : intersections) {
        const KXBezierPathIntersectionHalf& h = right ? x.right : x.left;
        cuts.push_back({ h.segment, h.parameter });
    }
    std::sort(cuts.begin(), cuts.end());
    if (cuts.empty())
        return path.isEmpty() ? std::vector<BezierPath>() : std::vector<BezierPath> { path };
    std::vector<BezierPath> pieces;
    BezierPath current;
    int currentSubpath = -1;
    int pieceSubpathStart = -1; // the piece that began its subpath, to join with its end
    bool cutInSubpath = false;
    std::size_t next = 0;
    const auto appendPart = [&](const std::array<Point, 4>& p, bool curve) {
        if (current.isEmpty())
            current.moveTo(p[0]);
        if (curve)
            current.curveTo(p[3], p[1], p[2]);
        else
            current.lineTo(p[1]);
    };
    const auto finishSubpath = [&](bool closedRing) {
        if (!current.isEmpty()) {
            if (closedRing && cutInSubpath && pieceSubpathStart >= 0) {
                // The last piece runs on into the first one of the same ring.
                BezierPath joined = current;
                const BezierPath& head = pieces[size_t(pieceSubpathStart)];
                appendElementsFromPath(joined, head, ElementRange { 1, head.elementCount() });
                pieces[size_t(pieceSubpathStart)] = joined;
            } else {
                pieces.push_back(current);
            }
        }
        current = BezierPath();
    };
    PathSegmentWalker walker(path, false);
    PathSegment s;
    Point ringStart;
    Point lastEnd;
    while (walker.next(s)) {
        if (s.subpath != currentSubpath) {
            if (currentSubpath >= 0)
                finishSubpath(lastEnd == ringStart);
            currentSubpath = s.subpath;
            ringStart = s.start();
            pieceSubpathStart = int(pieces.size());
            cutInSubpath = false;
        }
        double t0 = 0.0;
        while (next < cuts.size() && cuts[next].first < s.index)
            ++next;
        while (next < cuts.size() && cuts[next].first == s.index) {
            const double t = std::clamp(cuts[next++].second, 0.0, 1.0);
            if (t > t0) {
                if (s.isCurve)
                    appendPart(subCurve(s.p, t0, t), true);
                else
                    appendPart(
                        { s.p[0] + (s.p[1] - s.p[0]) * t0, s.p[0] + (s.p[1] - s.p[0]) * t }, false);
            }
            if (!current.isEmpty())
                pieces.push_back(current);
            current = BezierPath();
            cutInSubpath = true;
            t0 = t;
        }
        if (t0 < 1.0) {
            if (s.isCurve)
                appendPart(subCurve(s.p, t0, 1.0), true);
            else
                appendPart({ s.p[0] + (s.p[1] - s.p[0]) * t0, s.p[1] }, false);
        }
        lastEnd = s.end();
    }
    finishSubpath(lastEnd == ringStart);
    if (pieces.empty() && !path.isEmpty())
        pieces.push_back(path);
    return pieces;
}

std::vector<BezierPath> dividePathWithPath(const BezierPath& path, const BezierPath& other)
{
    const BezierPath a = renormalizePath(path);
    const BezierPath b = renormalizePath(other);
    return breakApartWithIntersectionInfo(a, allIntersectionsWithPath(a, b), false);
}

namespace {

QString encodePoint(const Point& p)
{
    return QString::asprintf("{%.5f,%.5f}", p.x, p.y);
}

} // namespace

std::map<QString, int> countedSetOfEncodedStrokeSegments(const BezierPath& path)
{
    std::map<QString, int> set;
    Point current;
    Point closeTarget(-10275847.33894, -10275847.33894);
    bool targetSet = false;
    const auto addLine = [&](const Point& to) {
        if (to == current)
            return;
        const QString a = encodePoint(current);
        const QString b = encodePoint(to);
        ++set[a < b ? a + b : b + a];
    };
    for (const platform::PathElement& e : path.elements()) {
        switch (e.kind) {
        case PathElementKind::MoveTo:
            current = e.points[0];
            if (!targetSet) {
                closeTarget = current;
                targetSet = true;
            }
            break;
        case PathElementKind::LineTo:
            addLine(e.points[0]);
            current = e.points[0];
            break;
        case PathElementKind::ClosePath:
            addLine(closeTarget);
            current = closeTarget;
            break;
        case PathElementKind::CurveTo: {
            const QString s0 = encodePoint(current);
            const QString c1 = encodePoint(e.points[0]);
            const QString c2 = encodePoint(e.points[1]);
            const QString s3 = encodePoint(e.points[2]);
            const bool forward = s0 < s3 || (s0 == s3 && !(c1 > c2));
            ++set[forward ? s0 + c1 + c2 + s3 : s3 + c2 + c1 + s0];
            current = e.points[2];
            break;
        }
        }
    }
    return set;
}

bool strokesSimilarlyIgnoringEndcapsToPath(const BezierPath& path, const BezierPath& other)
{
    return countedSetOfEncodedStrokeSegments(path) == countedSetOfEncodedStrokeSegments(other);
}
