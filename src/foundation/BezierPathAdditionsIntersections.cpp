// Path intersections: segment-segment, curve-curve and self crossings, and the search over
// every pair of segments of two paths, pruned by their boxes.
#include "foundation/BezierPathAdditionsIntersections.h"

#include <algorithm>
#include <cmath>

using platform::BezierPath;
using platform::Point;

namespace {

double dot(const Point& a, const Point& b)
{
    return a.x * b.x + a.y * b.y;
}

double cross(const Point& a, const Point& b)
{
    return a.x * b.y - a.y * b.x;
}

// |v| without hypot's care for overflow, which costs more than the rest of a flatness test;
// where the squares overflow it falls back on hypot.
double norm(const Point& v)
{
    const double n = std::sqrt(v.x * v.x + v.y * v.y);
    return std::isfinite(n) ? n : std::hypot(v.x, v.y);
}

int sign(double v)
{
    return v > 0.0 ? 1 : (v < 0.0 ? -1 : 0);
}

struct Box {
    double minX, minY, maxX, maxY;
};

Box boxOf(const Point* p, int n)
{
    Box b { p[0].x, p[0].y, p[0].x, p[0].y };
    for (int i = 1; i < n; ++i) {
        b.minX = std::min(b.minX, p[i].x);
        b.maxX = std::max(b.maxX, p[i].x);
        b.minY = std::min(b.minY, p[i].y);
        b.maxY = std::max(b.maxY, p[i].y);
    }
    return b;
}

bool overlaps(const Box& a, const Box& b)
{
    return a.minX <= b.maxX && b.minX <= a.maxX && a.minY <= b.maxY && b.minY <= a.maxY;
}

// Newton steps on A(s) - B(t) = 0 from a close guess; kept only when they converge inside
// both curves.
void polish(const Coefficients& a, const Coefficients& b, CrossingRecord& r)
{
    double s = r.t1;
    double t = r.t2;
    for (int i = 0; i < 4; ++i) {
        const Point f = a.at(s) - b.at(t);
        const Point da = a.derivative(s);
        const Point db = b.derivative(t) * -1.0;
        const double det = cross(da, db);
        if (det == 0.0 || !std::isfinite(det))
            return;
        s -= cross(f, db) / det;
        t -= cross(da, f) / det;
    }
    if (s >= -1e-9 && s <= 1 + 1e-9 && t >= -1e-9 && t <= 1 + 1e-9 && std::isfinite(s)
        && std::isfinite(t)) {
        r.t1 = std::clamp(s, 0.0, 1.0);
        r.t2 = std::clamp(t, 0.0, 1.0);
    }
}

// The parameter of the point of the curve nearest p, with its distance (infinite when the
// numbers overflow).
std::pair<double, double> nearestOnCurve(const Coefficients& c, const Point& p)
{
    const std::optional<double> t = nearestCurveParameter(c, p);
    if (!t)
        return { 0.0, INFINITY };
    const Point d = c.at(*t) - p;
    return { *t, norm(d) };
}

// Two curves that lie within tol of each other along a stretch: one record spanning it on
// both, codes 0. The stretch's ends are ends of the curves lying on the other one; between
// them the first curve's points must lie on the second all the way.
bool coincidence(const std::array<Point, 4>& pa, const Coefficients& a,
    const std::array<Point, 4>& pb, const Coefficients& b, double tol, CrossingRecord& out)
{
    struct Pair {
        double s, t;
    };
    std::array<Pair, 4> pairs;
    int n = 0;
    const Box boxA = boxOf(pa.data(), 4);
    const Box boxB = boxOf(pb.data(), 4);
    const auto near = [tol](const Box& box, const Point& p) {
        return p.x >= box.minX - tol && p.x <= box.maxX + tol && p.y >= box.minY - tol
            && p.y <= box.maxY + tol;
    };
    // The box of the curve's control points in the frame of its chord: most points that are
    // not on the curve fall outside it, and need no nearest-point search.
    const auto inFrame = [tol](const std::array<Point, 4>& c, const Point& p) {
        const Point chord = c[3] - c[0];
        const double len = std::sqrt(dot(chord, chord));
        if (!(len > 0.0) || !std::isfinite(len))
            return true;
        const Point u = chord * (1.0 / len);
        double lo = 0.0, hi = len, below = 0.0, above = 0.0;
        for (const Point& q : { c[1], c[2] }) {
            lo = std::min(lo, dot(q - c[0], u));
            hi = std::max(hi, dot(q - c[0], u));
            below = std::min(below, cross(u, q - c[0]));
            above = std::max(above, cross(u, q - c[0]));
        }
        const double along = dot(p - c[0], u);
        const double across = cross(u, p - c[0]);
        return along >= lo - tol && along <= hi + tol && across >= below - tol
            && across <= above + tol;
    };
    // The ends of one curve that lie on the other, as (parameter on a, parameter on b).
    const auto endsOn = [&](const std::array<Point, 4>& ends, const Box& box,
                            const Coefficients& curve, bool onB) {
        for (const double e : { 0.0, 1.0 }) {
            const Point p = e == 0.0 ? ends[0] : ends[3];
            if (!near(box, p) || !inFrame(onB ? pb : pa, p))
                continue;
            const auto [u, d] = nearestOnCurve(curve, p);
            if (d <= tol)
                pairs[size_t(n++)] = onB ? Pair { e, u } : Pair { u, e };
        }
    };
    endsOn(pa, boxB, b, true);
    if (n == 0 && !(near(boxA, pb[0]) && near(boxA, pb[3])))
        return false;
    endsOn(pb, boxA, a, false);
    if (n < 2)
        return false;
    const auto [lo, hi] = std::minmax_element(
        pairs.begin(), pairs.begin() + n, [](const Pair& x, const Pair& y) { return x.s < y.s; });
    const Pair from = *lo;
    const Pair to = *hi;
    if (to.s - from.s < 1e-9 || std::abs(to.t - from.t) < 1e-9)
        return false; // a shared point, not a stretch
    constexpr int kChecks = 8;
    for (int k = 1; k < kChecks; ++k) {
        const Point p = a.at(from.s + (to.s - from.s) * double(k) / kChecks);
        if (nearestOnCurve(b, p).second > tol)
            return false;
    }
    out = CrossingRecord {};
    out.t1 = from.s;
    out.span1 = to.s - from.s;
    out.t2 = from.t;
    out.span2 = to.t - from.t;
    return true;
}

struct CurveSearch {
    Coefficients a;
    Coefficients b;
    double flatness; // a piece this close to its chord is searched as a line
    int budget = 20000; // calls left: coinciding curves would otherwise split without end
    std::vector<CrossingRecord> found;

    static double offChord(const std::array<Point, 4>& p)
    {
        const Point d = p[3] - p[0];
        const double L = norm(d);
        if (L == 0.0)
            return std::max(norm(p[1] - p[0]), norm(p[2] - p[0]));
        return std::max(std::abs(cross(p[1] - p[0], d)), std::abs(cross(p[2] - p[0], d))) / L;
    }

    void search(const std::array<Point, 4>& pa, double a0, double a1,
        const std::array<Point, 4>& pb, double b0, double b1, int depth)
    {
        if (--budget < 0 || !overlaps(boxOf(pa.data(), 4), boxOf(pb.data(), 4)))
            return;
        const bool flatA = offChord(pa) <= flatness || depth >= 40;
        const bool flatB = offChord(pb) <= flatness || depth >= 40;
        if (flatA && flatB) {
            std::vector<CrossingRecord> rs;
            segmentSegmentCrossings(pa[0], pa[3] - pa[0], pb[0], pb[3] - pb[0], rs);
            for (CrossingRecord r : rs)
                take(r, a0, a1, b0, b1, true);
            return;
        }
        if (flatA || flatB) {
            // The curved one against the other's chord.
            std::array<CrossingRecord, 3> rs;
            if (flatB) {
                const int n = curveLineCrossings(
                    Coefficients::curve(pa[0], pa[1], pa[2], pa[3]), pb[0], pb[3] - pb[0], rs);
                for (int i = 0; i < n; ++i)
                    take(rs[size_t(i)], a0, a1, b0, b1, true);
            } else {
                const int n = curveLineCrossings(
                    Coefficients::curve(pb[0], pb[1], pb[2], pb[3]), pa[0], pa[3] - pa[0], rs);
                for (int i = 0; i < n; ++i) {
                    CrossingRecord r = rs[size_t(i)];
                    std::swap(r.t1, r.t2);
                    r.entry = -r.entry;
                    r.exit = -r.exit;
                    take(r, a0, a1, b0, b1, true);
                }
            }
            return;
        }
        const CurveSplit sa = splitCurve(pa, 0.5);
        const CurveSplit sb = splitCurve(pb, 0.5);
        const double am = (a0 + a1) / 2;
        const double bm = (b0 + b1) / 2;
        search(sa.first, a0, am, sb.first, b0, bm, depth + 1);
        search(sa.first, a0, am, sb.second, bm, b1, depth + 1);
        search(sa.second, am, a1, sb.first, b0, bm, depth + 1);
        search(sa.second, am, a1, sb.second, bm, b1, depth + 1);
    }

    void take(CrossingRecord r, double a0, double a1, double b0, double b1, bool refine)
    {
        r.t1 = a0 + (a1 - a0) * std::clamp(r.t1, 0.0, 1.0);
        r.t2 = b0 + (b1 - b0) * std::clamp(r.t2, 0.0, 1.0);
        r.span1 *= a1 - a0;
        r.span2 *= b1 - b0;
        if (refine && r.span1 == 0.0 && r.span2 == 0.0)
            polish(a, b, r);
        found.push_back(r);
    }
};

// Sorts by t1, drops repeats (a crossing found from two neighbouring pieces) and joins overlap
// records that continue one another.
void mergeRecords(std::vector<CrossingRecord>& rs)
{
    std::sort(rs.begin(), rs.end(),
        [](const CrossingRecord& x, const CrossingRecord& y) { return x.t1 < y.t1; });
    std::vector<CrossingRecord> out;
    for (const CrossingRecord& r : rs) {
        if (!out.empty()) {
            CrossingRecord& last = out.back();
            const bool pointLike
                = r.span1 == 0.0 && r.span2 == 0.0 && last.span1 == 0.0 && last.span2 == 0.0;
            if (pointLike && r.entry == last.entry && std::abs(r.t1 - last.t1) <= 1e-7
                && std::abs(r.t2 - last.t2) <= 1e-7)
                continue;
            const bool spans
                = r.span1 != 0.0 || r.span2 != 0.0 || last.span1 != 0.0 || last.span2 != 0.0;
            if (spans && std::abs(last.t1 + last.span1 - r.t1) <= 1e-9
                && std::abs(last.t2 + last.span2 - r.t2) <= 1e-9
                && sign(last.span2) * sign(r.span2) >= 0) {
                last.span1 = r.t1 + r.span1 - last.t1;
                last.span2 = r.t2 + r.span2 - last.t2;
                last.exit = r.exit;
                continue;
            }
            // A crossing point at the end of an overlap belongs to the overlap.
            if (last.span1 != 0.0 && r.span1 == 0.0 && r.t1 <= last.t1 + last.span1 + 1e-9)
                continue;
        }
        out.push_back(r);
    }
    rs.swap(out);
}

} // namespace

void segmentSegmentCrossings(const Point& p, const Point& d, const Point& q, const Point& e,
    std::vector<CrossingRecord>& out)
{
    const double den = e.y * d.x - e.x * d.y;
    const double na = e.y * (p.x - q.x) - e.x * (p.y - q.y);
    const double nb = d.y * (q.x - p.x) - d.x * (q.y - p.y);
    if (!std::isfinite(den) || !std::isfinite(na) || !std::isfinite(nb))
        return;
    if (!(na == 0.0 || sign(na) != sign(den)) || !(nb == 0.0 || sign(nb) == sign(den))
        || std::abs(den) < std::abs(na) || std::abs(den) < std::abs(nb))
        return;
    const double dd = dot(d, d);
    const double ee = dot(e, e);
    if (!std::isfinite(dd) || !std::isfinite(ee))
        return; // squares beyond the doubles' range: no parameter would be meaningful
    // Parallel within rounding, judged against the segments' own lengths.
    if (std::abs(den) > 1e-12 * std::sqrt(dd * ee) && den != 0.0) {
        CrossingRecord r;
        r.t1 = -na / den;
        r.t2 = nb / den;
        r.entry = r.exit = sign(den);
        out.push_back(r);
        return;
    }
    if (ee <= 1e-20 && dd <= 1e-20) {
        if (p == q)
            out.push_back({ 0.0, 0.0, 1.0, 1.0, 0, 0 });
        return;
    }
    if (ee <= 1e-20) {
        const double t = dot(q - p, d) / dd;
        if (t >= 0.0 && t <= 1.0)
            out.push_back({ t, 0.0, 0.0, 1.0, 0, 0 });
        return;
    }
    if (dd <= 1e-20) {
        const double t = dot(p - q, e) / ee;
        if (t >= 0.0 && t <= 1.0)
            out.push_back({ 0.0, t, 1.0, 0.0, 0, 0 });
        return;
    }
    // Collinear: the overlap of the two, as parameters on both.
    const double s0 = dot(p - q, e) / ee;
    const double s1 = dot(p + d - q, e) / ee;
    if ((s0 < 0.0 && s1 < 0.0) || (s0 > 1.0 && s1 > 1.0))
        return;
    // Overlap ends on the second segment, then mapped onto the first.
    const double lo = std::max(0.0, std::min(s0, s1));
    const double hi = std::min(1.0, std::max(s0, s1));
    const auto onFirst = [&](double s) { return std::clamp(dot(q + e * s - p, d) / dd, 0.0, 1.0); };
    double u0 = onFirst(lo);
    double u1 = onFirst(hi);
    double v0 = lo;
    double v1 = hi;
    if (u1 < u0) {
        std::swap(u0, u1);
        std::swap(v0, v1);
    }
    CrossingRecord r;
    r.t1 = u0;
    r.span1 = u1 - u0;
    r.t2 = v0;
    r.span2 = v1 - v0;
    out.push_back(r);
}

void curveCurveCrossings(
    const std::array<Point, 4>& a, const std::array<Point, 4>& b, std::vector<CrossingRecord>& out)
{
    double extent = 0.0;
    for (const auto* p : { &a, &b })
        for (const Point& c : *p) {
            if (!c.isFinite())
                return;
            extent = std::max({ extent, std::abs(c.x), std::abs(c.y) });
        }
    CurveSearch s { Coefficients::curve(a[0], a[1], a[2], a[3]),
        Coefficients::curve(b[0], b[1], b[2], b[3]), 1e-7 * (extent + 1e-300), 20000, {} };
    // Coinciding curves would split without end into a crowd of crossing points: found
    // first, they are one record. (Two cubics that share a stretch are pieces of one cubic,
    // so they meet nowhere else.)
    CrossingRecord overlap;
    if (coincidence(a, s.a, b, s.b, 1e-9 * (extent + 1e-300), overlap)) {
        out.push_back(overlap);
        return;
    }
    s.search(a, 0.0, 1.0, b, 0.0, 1.0, 0);
    mergeRecords(s.found);
    out.insert(out.end(), s.found.begin(), s.found.end());
}

bool curveSelfCrossing(const std::array<Point, 4>& p, CrossingRecord& out)
{
    // B(s) = B(t), s != t: (B(s) - B(t)) / (s - t) = c1 + c2 (s + t) + c3 (s^2 + st + t^2) = 0.
    // With sum = s + t and product = st the two coordinates give sum from their cross product
    // with c3, then the product, then s and t as roots of z^2 - sum z + product.
    const Coefficients c = Coefficients::curve(p[0], p[1], p[2], p[3]);
    const double k = cross(c.c[2], c.c[3]);
    if (k == 0.0 || !std::isfinite(k))
        return false;
    const double sum = -cross(c.c[1], c.c[3]) / k;
    const bool useX = std::abs(c.c[3].x) >= std::abs(c.c[3].y);
    const double c3 = useX ? c.c[3].x : c.c[3].y;
    if (c3 == 0.0)
        return false;
    const double product
        = sum * sum + ((useX ? c.c[1].x : c.c[1].y) + (useX ? c.c[2].x : c.c[2].y) * sum) / c3;
    const double disc = sum * sum - 4.0 * product;
    if (!(disc > 0.0))
        return false;
    const double root = std::sqrt(disc);
    const double s = (sum - root) / 2;
    const double t = (sum + root) / 2;
    if (s < 0.0 || t > 1.0)
        return false;
    out = CrossingRecord {};
    out.t1 = s;
    out.t2 = t;
    out.entry = out.exit = sign(cross(c.derivative(s), c.derivative(t)));
    return true;
}

namespace {

struct Indexed {
    PathSegment segment;
    Box box;
    int subpath = 0;
    // Segments within rounding of a point (a ring whose end misses its start by a hair is
    // closed by one) are no part of the outline's shape: along a subpath, joints are judged
    // between the segments that are not.
    bool tiny = false;
    int previous = -1; // the last segment before it in its subpath that is not tiny
    bool opens = false; // the first segment of its subpath that is not tiny
    bool closes = false; // the last such
};

std::vector<Indexed> segmentsOf(const BezierPath& path, double& tolerance)
{
    std::vector<Indexed> out;
    out.reserve(std::size_t(path.elementCount()) + 1);
    PathSegmentWalker walker(path, false);
    PathSegment s;
    double extent = 0.0;
    while (walker.next(s)) {
        out.push_back({ s, boxOf(s.p.data(), s.isCurve ? 4 : 2), s.subpath });
        const Box& b = out.back().box;
        const double e
            = std::max({ std::abs(b.minX), std::abs(b.maxX), std::abs(b.minY), std::abs(b.maxY) });
        if (std::isfinite(e))
            extent = std::max(extent, e);
    }
    tolerance = 1e-12 * extent;
    int last = -1;
    for (std::size_t i = 0; i < out.size(); ++i) {
        Indexed& x = out[i];
        x.tiny = x.box.maxX - x.box.minX <= tolerance && x.box.maxY - x.box.minY <= tolerance;
        if (i > 0 && out[i - 1].subpath != x.subpath) {
            if (last >= 0)
                out[size_t(last)].closes = true;
            last = -1;
        }
        if (x.tiny)
            continue;
        x.previous = last;
        x.opens = last < 0;
        last = int(i);
    }
    if (last >= 0)
        out[size_t(last)].closes = true;
    return out;
}

// Whether two segments that follow one another at joint J (first ends where second starts)
// meet only there: a line through J has every other point of the first strictly on one side
// and every other point of the second strictly on the other, so their hulls touch at J alone.
// The line is square to the mean of the two directions at J; smooth outlines pass at once.
bool meetOnlyAtJoint(const PathSegment& first, const PathSegment& second)
{
    const int n1 = first.isCurve ? 4 : 2;
    const int n2 = second.isCurve ? 4 : 2;
    const Point j = second.p[0];
    const auto unit = [](const Point& v) {
        const double len = std::sqrt(dot(v, v));
        return len > 0.0 ? v * (1.0 / len) : Point();
    };
    // The nearest distinct points on either side give the directions at the joint.
    Point in, out;
    for (int i = n1 - 2; i >= 0 && in == Point(); --i)
        in = unit(j - first.p[size_t(i)]);
    for (int i = 1; i < n2 && out == Point(); ++i)
        out = unit(second.p[size_t(i)] - j);
    const Point d = in + out;
    if (d == Point())
        return false;
    for (int i = 0; i + 1 < n1; ++i)
        if (!(dot(first.p[size_t(i)] - j, d) < 0.0))
            return false;
    for (int i = 1; i < n2; ++i)
        if (!(dot(second.p[size_t(i)] - j, d) > 0.0))
            return false;
    return true;
}

// The record of crossing r of segment a (on the receiver) with segment b: the left codes
// follow the receiver's direction, so an overlap running backwards on the other swaps them.
KXBezierPathIntersection makeIntersection(
    std::int64_t a, std::int64_t b, const CrossingRecord& r, const Point& location)
{
    KXBezierPathIntersection x;
    const bool backwards = r.span2 < 0.0;
    x.left = { a, r.t1, r.span1, backwards ? r.exit : r.entry, backwards ? r.entry : r.exit };
    x.right = { b, r.t2, r.span2, -r.entry, -r.exit };
    x.location = location;
    return x;
}

void solvePair(const PathSegment& a, const PathSegment& b, std::vector<CrossingRecord>& rs)
{
    if (!a.isCurve && !b.isCurve) {
        segmentSegmentCrossings(a.p[0], a.p[1] - a.p[0], b.p[0], b.p[1] - b.p[0], rs);
    } else if (a.isCurve && b.isCurve) {
        curveCurveCrossings(a.p, b.p, rs);
    } else {
        const PathSegment& curve = a.isCurve ? a : b;
        const PathSegment& line = a.isCurve ? b : a;
        std::array<CrossingRecord, 3> found;
        const int n
            = curveLineCrossings(curve.coefficients(), line.p[0], line.p[1] - line.p[0], found);
        for (int i = 0; i < n; ++i) {
            CrossingRecord r = found[size_t(i)];
            r.t1 = std::clamp(r.t1, 0.0, 1.0);
            r.t2 = std::clamp(r.t2, 0.0, 1.0);
            if (!a.isCurve) {
                std::swap(r.t1, r.t2);
                std::swap(r.span1, r.span2);
                r.entry = -r.entry;
                r.exit = -r.exit;
            }
            rs.push_back(r);
        }
    }
}

} // namespace

namespace {

// A path's segments, filed in a uniform grid by their boxes (about one cell per segment), so
// that the boxes a given box can meet are found among a few cells' worth. Built once for all
// the searches of a boolean operation.
struct SegmentIndex {
    double tolerance = 0.0; // rounding at the path's scale (set with the segments)
    std::vector<Indexed> segments;
    Box bounds { 0, 0, 0, 0 };
    double cell = 1.0;
    int columns = 0;
    int rows = 0;
    std::vector<int> first; // cell c lists items[first[c] .. first[c + 1])
    std::vector<int> items;
    std::vector<int> everywhere; // boxes too large (or not finite) to file: met by every query

    explicit SegmentIndex(const BezierPath& path)
        : segments(segmentsOf(path, tolerance))
    {
        bool any = false;
        for (const Indexed& x : segments) {
            if (!finite(x.box))
                continue;
            bounds = any
                ? Box { std::min(bounds.minX, x.box.minX), std::min(bounds.minY, x.box.minY),
                      std::max(bounds.maxX, x.box.maxX), std::max(bounds.maxY, x.box.maxY) }
                : x.box;
            any = true;
        }
        const double w = bounds.maxX - bounds.minX;
        const double h = bounds.maxY - bounds.minY;
        const double n = double(std::max<std::size_t>(segments.size(), 1));
        cell = std::sqrt(w * h / n);
        cell = std::max({ cell, std::max(w, h) / 4096.0, 1e-300 });
        if (!std::isfinite(cell) || !any) {
            for (std::size_t i = 0; i < segments.size(); ++i)
                everywhere.push_back(int(i));
            return;
        }
        columns = std::clamp(int(w / cell) + 1, 1, 4096);
        rows = std::clamp(int(h / cell) + 1, 1, 4096);
        first.assign(std::size_t(columns) * std::size_t(rows) + 1, 0);
        // Two passes: count each cell's boxes, then file them.
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<int> fill;
            if (pass == 1) {
                for (std::size_t c = 1; c < first.size(); ++c)
                    first[c] += first[c - 1];
                items.resize(std::size_t(first.back()));
                fill.assign(first.begin(), first.end() - 1);
            }
            for (std::size_t i = 0; i < segments.size(); ++i) {
                const Box& b = segments[i].box;
                int x0, x1, y0, y1;
                if (!finite(b) || !cells(b, x0, x1, y0, y1) || (x1 - x0 + 1) * (y1 - y0 + 1) > 64) {
                    if (pass == 0)
                        everywhere.push_back(int(i));
                    continue;
                }
                for (int y = y0; y <= y1; ++y)
                    for (int x = x0; x <= x1; ++x) {
                        const std::size_t c
                            = std::size_t(y) * std::size_t(columns) + std::size_t(x);
                        if (pass == 0)
                            ++first[c + 1];
                        else
                            items[std::size_t(fill[c]++)] = int(i);
                    }
            }
        }
    }

    static bool finite(const Box& b) { return std::isfinite(b.minX + b.minY + b.maxX + b.maxY); }

    // The cells a box covers, clamped to the grid; false when it misses the grid.
    bool cells(const Box& b, int& x0, int& x1, int& y0, int& y1) const
    {
        if (b.maxX < bounds.minX || b.minX > bounds.maxX || b.maxY < bounds.minY
            || b.minY > bounds.maxY)
            return false;
        // Held to the grid before it becomes an int: a box far outside it (coordinates near
        // 1e300) would overflow the conversion.
        const auto at = [this](double v, double origin, int count) {
            const double k = (v - origin) / cell;
            if (!(k > 0))
                return 0;
            return k >= double(count - 1) ? count - 1 : int(k);
        };
        x0 = at(b.minX, bounds.minX, columns);
        x1 = at(b.maxX, bounds.minX, columns);
        y0 = at(b.minY, bounds.minY, rows);
        y1 = at(b.maxY, bounds.minY, rows);
        return true;
    }

    // The segments whose boxes meet box, each once (seen marks them with stamp).
    void meeting(const Box& box, std::vector<unsigned>& seen, unsigned stamp,
        std::vector<std::size_t>& out) const
    {
        out.clear();
        const auto take = [&](int i) {
            if (seen[std::size_t(i)] == stamp)
                return;
            seen[std::size_t(i)] = stamp;
            if (overlaps(box, segments[std::size_t(i)].box))
                out.push_back(std::size_t(i));
        };
        for (const int i : everywhere)
            take(i);
        int x0, x1, y0, y1;
        if (columns == 0 || !cells(box, x0, x1, y0, y1))
            return;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const std::size_t c = std::size_t(y) * std::size_t(columns) + std::size_t(x);
                for (int k = first[c]; k < first[c + 1]; ++k)
                    take(items[std::size_t(k)]);
            }
    }
};

std::vector<KXBezierPathIntersection> intersect(
    const SegmentIndex& path, const SegmentIndex& other, bool same)
{
    std::vector<KXBezierPathIntersection> out;
    const std::vector<Indexed>& mine = path.segments;
    const std::vector<Indexed>& other_ = other.segments;
    if (mine.empty() || other_.empty())
        return out;
    std::vector<CrossingRecord> rs;
    std::vector<unsigned> seen(other_.size(), 0);
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < mine.size(); ++i) {
        const Indexed& a = mine[i];
        if (!std::isfinite(a.box.minX + a.box.maxX + a.box.minY + a.box.maxY))
            continue;
        other.meeting(a.box, seen, unsigned(i + 1), candidates);
        // In the order of the other path, as the records were always found.
        std::sort(candidates.begin(), candidates.end());
        for (const std::size_t j : candidates) {
            if (same && j < i)
                continue;
            const Indexed& b = other_[j];
            // Along one outline: the joints of neighbours (and the closing joint of a subpath
            // that returns to its start) are where the outline continues, not crossings.
            bool next = false;
            bool wraps = false;
            if (same && a.subpath == b.subpath && j != i) {
                if (a.tiny || b.tiny)
                    continue; // their neighbours meet whatever passes through them
                const auto near = [&](const Point& p, const Point& q) {
                    return std::abs(p.x - q.x) <= path.tolerance * double(j - i)
                        && std::abs(p.y - q.y) <= path.tolerance * double(j - i);
                };
                next = b.previous == int(i) && near(a.segment.end(), b.segment.start());
                wraps = a.opens && b.closes && near(b.segment.end(), a.segment.start());
                // Mostly they meet at their joint alone: proved so, they need no search.
                if ((next && meetOnlyAtJoint(a.segment, b.segment))
                    || (wraps && meetOnlyAtJoint(b.segment, a.segment)))
                    continue;
            }
            rs.clear();
            if (same && j == i) {
                CrossingRecord r;
                if (a.segment.isCurve && curveSelfCrossing(a.segment.p, r))
                    rs.push_back(r);
            } else {
                solvePair(a.segment, b.segment, rs);
                // Crossing points are refined on both segments; near misses that the
                // tolerances at the segments' ends let in are dropped.
                const Coefficients ca = a.segment.coefficients();
                const Coefficients cb = b.segment.coefficients();
                const double scale = 1e-9
                    * (std::max({ std::abs(a.box.minX), std::abs(a.box.maxX), std::abs(a.box.minY),
                           std::abs(a.box.maxY), std::abs(b.box.minX), std::abs(b.box.maxX),
                           std::abs(b.box.minY), std::abs(b.box.maxY) })
                        + 1.0);
                std::erase_if(rs, [&](CrossingRecord& r) {
                    if (r.span1 != 0.0 || r.span2 != 0.0)
                        return false;
                    polish(ca, cb, r);
                    const Point gap = ca.at(r.t1) - cb.at(r.t2);
                    return !(norm(gap) <= scale);
                });
            }
            if (next || wraps) {
                std::erase_if(rs, [&](const CrossingRecord& r) {
                    const bool point = std::abs(r.span1) < 1e-10 && std::abs(r.span2) < 1e-10;
                    return point
                        && ((next && r.t1 >= 0.9999 && r.t2 <= 0.0001)
                            || (wraps && r.t1 <= 0.0001 && r.t2 >= 0.9999));
                });
            }
            for (const CrossingRecord& r : rs) {
                if (!std::isfinite(r.t1 + r.t2 + r.span1 + r.span2))
                    continue;
                out.push_back(makeIntersection(
                    a.segment.index, b.segment.index, r, a.segment.coefficients().at(r.t1)));
            }
        }
    }
    std::sort(out.begin(), out.end(),
        [](const KXBezierPathIntersection& x, const KXBezierPathIntersection& y) {
            return x.left.segment != y.left.segment ? x.left.segment < y.left.segment
                                                    : x.left.parameter < y.left.parameter;
        });
    return out;
}

} // namespace

std::vector<KXBezierPathIntersection> allIntersectionsWithPath(
    const BezierPath& path, const BezierPath& other)
{
    const SegmentIndex mine(path);
    if (path.sharesElementsWith(other))
        return intersect(mine, mine, true);
    return intersect(mine, SegmentIndex(other), false);
}

IntersectionsAmong allIntersectionsAmong(const BezierPath& path, const BezierPath& other)
{
    const SegmentIndex a(path);
    const SegmentIndex b(other);
    return { intersect(a, b, path.sharesElementsWith(other)), intersect(a, a, true),
        intersect(b, b, true) };
}

namespace {

// Whether the points (a segment's ends and controls) can reach the line segment from origin
// along delta: they must meet its box and lie on both sides of it (or on it). Most segments of
// a long path fail one of the two, and skip the root finding.
bool mayCrossLine(const Point* p, int n, const Point& origin, const Point& delta)
{
    const Box line = boxOf(std::array<Point, 2> { origin, origin + delta }.data(), 2);
    if (!overlaps(boxOf(p, n), line))
        return false;
    bool below = false;
    bool above = false;
    for (int i = 0; i < n; ++i) {
        const double side = cross(delta, p[i] - origin);
        below |= side <= 0.0;
        above |= side >= 0.0;
    }
    return below && above;
}

// Whether a parameter lies on its segment, to rounding: the slack of the crossing formulas
// (a ten-thousandth) would let in lines that pass a segment's end at a visible distance.
bool onSegment(double t)
{
    return t >= -1e-9 && t <= 1.0 + 1e-9;
}

} // namespace

bool _straightLineIntersection(double* lineParameter, double* segmentParameter,
    const Point& segmentStart, const Point& segmentDelta, const Point& lineOrigin,
    const Point& lineDelta)
{
    const double den = cross(lineDelta, segmentDelta);
    const double lengths
        = std::hypot(lineDelta.x, lineDelta.y) * std::hypot(segmentDelta.x, segmentDelta.y);
    if (!std::isfinite(den) || !std::isfinite(lengths) || !(std::abs(den) > 1e-12 * lengths))
        return false;
    const Point w = segmentStart - lineOrigin;
    const double b = cross(w, segmentDelta) / den;
    const double a = cross(w, lineDelta) / den;
    if (!onSegment(b) || !onSegment(a))
        return false;
    if (lineParameter)
        *lineParameter = b;
    if (segmentParameter)
        *segmentParameter = a;
    return true;
}

bool _curvedIntersection(double* lineParameter, double* curveParameter, const Coefficients& curve,
    const Point& lineOrigin, const Point& lineDelta)
{
    std::array<CrossingRecord, 3> found;
    const int n = curveLineCrossings(curve, lineOrigin, lineDelta, found);
    const CrossingRecord* nearest = nullptr;
    for (int i = 0; i < n; ++i) {
        const CrossingRecord& r = found[size_t(i)];
        if (onSegment(r.t1) && onSegment(r.t2) && (!nearest || r.t2 < nearest->t2))
            nearest = &r;
    }
    if (!nearest)
        return false;
    const double best = nearest->t2;
    const double bestT = nearest->t1;
    if (lineParameter)
        *lineParameter = std::clamp(best, 0.0, 1.0);
    if (curveParameter)
        *curveParameter = std::clamp(bestT, 0.0, 1.0);
    return true;
}

bool intersectionWithLine(
    const BezierPath& path, Point* point, const Point& lineStart, const Point& lineEnd)
{
    const std::vector<platform::PathElement>& els = path.elements();
    if (els.empty() || els[0].kind != platform::PathElementKind::MoveTo)
        return false;
    const Point d = lineEnd - lineStart;
    Point current = els[0].points[0];
    Point start = current;
    bool closed = false;
    double best = 1.0;
    bool found = false;
    const auto straight = [&](const Point& to) {
        const std::array<Point, 2> p { current, to };
        double b = 0.0;
        if (mayCrossLine(p.data(), 2, lineStart, d)
            && _straightLineIntersection(&b, nullptr, current, to - current, lineStart, d)) {
            b = std::max(b, 0.0);
            if (b < best) {
                best = b;
                found = true;
            }
        }
    };
    for (std::size_t i = 1; i < els.size(); ++i) {
        const platform::PathElement& e = els[i];
        switch (e.kind) {
        case platform::PathElementKind::MoveTo:
            current = e.points[0];
            if (closed)
                start = current;
            closed = false;
            break;
        case platform::PathElementKind::LineTo:
            straight(e.points[0]);
            current = e.points[0];
            break;
        case platform::PathElementKind::CurveTo: {
            const std::array<Point, 4> p { current, e.points[0], e.points[1], e.points[2] };
            double b = 0.0;
            if (mayCrossLine(p.data(), 4, lineStart, d)
                && _curvedIntersection(
                    &b, nullptr, Coefficients::curve(p[0], p[1], p[2], p[3]), lineStart, d)
                && b < best) {
                best = b;
                found = true;
            }
            current = e.points[2];
            break;
        }
        case platform::PathElementKind::ClosePath:
            straight(start);
            closed = true;
            current = start;
            break;
        }
    }
    if (found && point)
        *point = lineStart + d * best;
    return found;
}

bool firstIntersectionWithLine(const BezierPath& path, KXBezierPathIntersection* record,
    const Point& lineStart, const Point& lineEnd)
{
    const Point d = lineEnd - lineStart;
    PathSegmentWalker walker(path, true);
    PathSegment s;
    std::vector<CrossingRecord> rs;
    double best = 2.0;
    bool taken = false;
    while (walker.next(s)) {
        if (!mayCrossLine(s.p.data(), s.isCurve ? 4 : 2, lineStart, d))
            continue;
        rs.clear();
        if (s.isCurve) {
            std::array<CrossingRecord, 3> found;
            const int n = curveLineCrossings(s.coefficients(), lineStart, d, found);
            for (int i = 0; i < n; ++i)
                if (onSegment(found[size_t(i)].t1) && onSegment(found[size_t(i)].t2))
                    rs.push_back(found[size_t(i)]);
        } else {
            segmentSegmentCrossings(s.p[0], s.p[1] - s.p[0], lineStart, d, rs);
        }
        for (const CrossingRecord& r : rs) {
            const double u = r.t2;
            const double w = r.span2;
            if (!(u < best || u + w < std::min(u, best)))
                continue;
            best = std::min({ u, best, u + w });
            taken = true;
            if (record) {
                CrossingRecord clamped = r;
                clamped.t1 = std::clamp(r.t1, 0.0, 1.0);
                clamped.t2 = std::clamp(r.t2, 0.0, 1.0);
                *record = makeIntersection(
                    s.index, 0, clamped, lineStart + d * std::clamp(best, 0.0, 1.0));
            }
        }
    }
    return taken;
}
