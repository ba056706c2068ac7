// Boolean operations: both outlines cut at every crossing (with each other and with
// themselves), each piece kept when the result's region lies on exactly one side of it, and
// the kept pieces chained into closed subpaths.
#include "foundation/BezierPathAdditionsBooleans.h"

#include <algorithm>
#include <cmath>
#include <numeric>

using platform::BezierPath;
using platform::PathElementKind;
using platform::Point;

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

// Every subpath ended by a close, so that the walker without implicit closing (as the
// intersection search walks) sees the closing segments too.
BezierPath closedCopy(const BezierPath& path)
{
    BezierPath out;
    out.reserve(path.elementCount() + 8);
    for (const platform::PathElement& e : path.elements()) {
        switch (e.kind) {
        case PathElementKind::MoveTo:
            out.closePath();
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
    out.closePath();
    return out;
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
    const BezierPath paths[2] = { closedCopy(path), closedCopy(other) };

    // The segments of both, with a map from element index to segment.
    std::vector<PathSegment> segs;
    std::vector<int> ringStart; // first segment of each segment's subpath
    std::vector<std::vector<int>> byElement(2); // per path: element index -> segment
    double extent = 1.0;
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
            for (const Point& q : s.p)
                extent = std::max({ extent, std::abs(q.x), std::abs(q.y) });
            segs.push_back(s);
            ringStart.push_back(first);
        }
    }
    if (segs.empty())
        return BezierPath();

    // Cut points at every crossing; each crossing is one node shared by its two cuts.
    Nodes nodes;
    std::vector<std::vector<Cut>> cuts(segs.size());
    const auto addCuts = [&](int pa, int pb, const std::vector<KXBezierPathIntersection>& xs) {
        for (const KXBezierPathIntersection& x : xs) {
            if (x.left.span != 0.0 || x.right.span != 0.0)
                continue;
            const int sa = byElement[size_t(pa)][size_t(x.left.segment)];
            const int sb = byElement[size_t(pb)][size_t(x.right.segment)];
            if (sa < 0 || sb < 0)
                continue;
            const int node = nodes.make();
            cuts[size_t(sa)].push_back({ x.left.parameter, node });
            cuts[size_t(sb)].push_back({ x.right.parameter, node });
        }
    };
    addCuts(0, 1, allIntersectionsWithPath(paths[0], paths[1]));
    addCuts(0, 0, allIntersectionsWithPath(paths[0], paths[0]));
    addCuts(1, 1, allIntersectionsWithPath(paths[1], paths[1]));

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
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < segs.size(); ++i) {
        std::vector<Cut>& cs = cuts[i];
        std::sort(cs.begin(), cs.end(), [](const Cut& a, const Cut& b) { return a.t < b.t; });
        const int startNode = joint[i];
        const int endNode = joint[nextInRing(i)];
        double t0 = 0.0;
        int from = startNode;
        for (const Cut& c : cs) {
            if (c.t <= kNear) {
                nodes.join(c.node, startNode);
                continue;
            }
            if (c.t >= 1.0 - kNear) {
                nodes.join(c.node, endNode);
                continue;
            }
            if (c.t - t0 <= kNear) {
                nodes.join(c.node, from);
                continue;
            }
            const PathSegment& s = segs[i];
            pieces.push_back({ s.isCurve ? subCurve(s.p, t0, c.t)
                                         : std::array<Point, 4> { s.p[0] + (s.p[1] - s.p[0]) * t0,
                                             s.p[0] + (s.p[1] - s.p[0]) * c.t },
                s.isCurve, from, c.node });
            t0 = c.t;
            from = c.node;
        }
        const PathSegment& s = segs[i];
        pieces.push_back(
            { s.isCurve ? subCurve(s.p, t0, 1.0)
                        : std::array<Point, 4> { s.p[0] + (s.p[1] - s.p[0]) * t0, s.p[1] },
                s.isCurve, from, endNode });
    }

    // Keep a piece when the result lies on one side of it only, oriented with the result on
    // its left.
    const double eps = 1e-7 * extent;
    struct Kept {
        int piece;
        bool forward;
    };
    std::vector<Kept> kept;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& pc = pieces[i];
        const Coefficients c = pc.curve ? Coefficients::curve(pc.p[0], pc.p[1], pc.p[2], pc.p[3])
                                        : Coefficients::line(pc.p[0], pc.p[1]);
        const Point m = c.at(0.5);
        const Point d = c.derivative(0.5);
        const double L = std::hypot(d.x, d.y);
        if (!(L > 0.0))
            continue;
        const Point n(-d.y / L * eps, d.x / L * eps);
        const auto inResult = [&](const Point& q) {
            return insideOf(
                op, getWinding(paths[0], q).winding != 0, getWinding(paths[1], q).winding != 0);
        };
        const bool left = inResult(m + n);
        const bool right = inResult(m - n);
        if (left != right)
            kept.push_back({ int(i), left });
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
