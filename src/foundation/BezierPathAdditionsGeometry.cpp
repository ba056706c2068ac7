// Path geometry: the segment walker, coefficient form, splitting, cubic roots, curve-line
// crossings and the queries built on them.
#include "foundation/BezierPathAdditionsGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

using platform::BezierPath;
using platform::PathElement;
using platform::PathElementKind;
using platform::Point;
using platform::Rect;

namespace {

constexpr double kPi = 3.141592653589793;

double dot(const Point& a, const Point& b)
{
    return a.x * b.x + a.y * b.y;
}

double length(const Point& a)
{
    return std::hypot(a.x, a.y);
}

Point elementEnd(const PathElement& e)
{
    return e.kind == PathElementKind::CurveTo ? e.points[2] : e.points[0];
}

bool hasSegments(const BezierPath& path)
{
    return !path.isEmpty() && path.elementAt(0).kind == PathElementKind::MoveTo;
}

int sign(double v)
{
    return v > 0.0 ? 1 : (v < 0.0 ? -1 : 0);
}

// Arc length by Gauss-Legendre quadrature of the speed |B'(t)|, halving the interval until
// the two halves agree with the whole to a millionth of a millionth of the length: exact far
// beyond chord-and-polygon estimates, at a few dozen evaluations per ordinary curve.
constexpr std::array<double, 5> kGaussX { 0.0, 0.5384693101056831, -0.5384693101056831,
    0.9061798459386640, -0.9061798459386640 };
constexpr std::array<double, 5> kGaussW { 0.5688888888888889, 0.4786286704993665,
    0.4786286704993665, 0.2369268850561891, 0.2369268850561891 };

double gaussLength(const Coefficients& c, double a, double b)
{
    const double half = (b - a) / 2;
    const double mid = (a + b) / 2;
    double sum = 0.0;
    for (std::size_t i = 0; i < kGaussX.size(); ++i)
        sum += kGaussW[i] * length(c.derivative(mid + half * kGaussX[i]));
    return sum * half;
}

double adaptiveLength(
    const Coefficients& c, double a, double b, double whole, double tolerance, int depth)
{
    const double m = (a + b) / 2;
    const double left = gaussLength(c, a, m);
    const double right = gaussLength(c, m, b);
    // The tolerance is not halved per level: it would soon fall below rounding and force
    // every branch to the depth bound.
    if (std::abs(left + right - whole) <= tolerance || depth >= 16 || !std::isfinite(left + right))
        return left + right;
    return adaptiveLength(c, a, m, left, tolerance, depth + 1)
        + adaptiveLength(c, m, b, right, tolerance, depth + 1);
}

double curveLengthTo(const Coefficients& c, double t)
{
    if (!(t > 0.0))
        return 0.0;
    const double whole = gaussLength(c, 0.0, t);
    return adaptiveLength(c, 0.0, t, whole, 1e-12 * (std::abs(whole) + 1e-300), 0);
}

double curveLength(const std::array<Point, 4>& p)
{
    return curveLengthTo(Coefficients::curve(p[0], p[1], p[2], p[3]), 1.0);
}

// The parameter at which the curve has run `target` long (0 <= target <= its length `total`):
// Newton steps on the length, kept inside a shrinking bracket.
double curveParameterAtLength(const std::array<Point, 4>& p, double target, double total)
{
    if (!(total > 0.0) || target >= total)
        return 1.0;
    if (!(target > 0.0))
        return 0.0;
    const Coefficients c = Coefficients::curve(p[0], p[1], p[2], p[3]);
    double lo = 0.0;
    double hi = 1.0;
    double t = target / total;
    for (int i = 0; i < 60; ++i) {
        const double f = curveLengthTo(c, t) - target;
        if (std::abs(f) <= 1e-12 * total)
            break;
        (f < 0 ? lo : hi) = t;
        const double speed = length(c.derivative(t));
        double next = speed > 0.0 ? t - f / speed : (lo + hi) / 2;
        if (!(next > lo && next < hi))
            next = (lo + hi) / 2;
        t = next;
        if (hi - lo <= 1e-15)
            break;
    }
    return t;
}

// A segment with a coordinate that is not finite has no measurable length: it counts 0, so
// that the rest of the path still measures.
double segmentLength(const PathSegment& s)
{
    const double len = s.isCurve ? curveLength(s.p) : length(s.p[1] - s.p[0]);
    return std::isfinite(len) ? len : 0.0;
}

} // namespace

std::optional<Point> currentpointForSegment(const BezierPath& path, std::int64_t i)
{
    if (i < 0 || i >= path.elementCount() || !hasSegments(path))
        return std::nullopt;
    if (i == 0)
        return path.elementAt(0).points[0];
    const PathElement& prev = path.elementAt(int(i - 1));
    if (prev.kind == PathElementKind::ClosePath)
        return std::nullopt;
    return elementEnd(prev);
}

Point _endPointForSegment(const BezierPath& path, std::int64_t i)
{
    if (i < 0 || i >= path.elementCount())
        return Point();
    const PathElement& e = path.elementAt(int(i));
    if (e.kind == PathElementKind::ClosePath)
        return path.elementAt(0).points[0];
    return elementEnd(e);
}

Coefficients Coefficients::curve(const Point& p0, const Point& p1, const Point& p2, const Point& p3)
{
    return { { p0, (p1 - p0) * 3.0, (p0 - p1 * 2.0 + p2) * 3.0, (p1 - p2) * 3.0 + (p3 - p0) } };
}

Coefficients Coefficients::line(const Point& p0, const Point& p1)
{
    return { { p0, p1 - p0, Point(), Point() } };
}

Point Coefficients::at(double t) const
{
    return c[0] + (c[1] + (c[2] + c[3] * t) * t) * t;
}

Point Coefficients::derivative(double t) const
{
    return c[1] + (c[2] * 2.0 + c[3] * (3.0 * t)) * t;
}

Coefficients PathSegment::coefficients() const
{
    return isCurve ? Coefficients::curve(p[0], p[1], p[2], p[3]) : Coefficients::line(p[0], p[1]);
}

PathSegmentWalker::PathSegmentWalker(const BezierPath& path, bool closeSubpaths)
    : m_elements(path.elements())
    , m_close(closeSubpaths)
    , m_valid(hasSegments(path))
{
    if (m_valid)
        m_current = m_start = m_elements[0].points[0];
}

bool PathSegmentWalker::next(PathSegment& out)
{
    while (m_valid) {
        const bool atEnd = m_index >= m_elements.size();
        if (atEnd || m_elements[m_index].kind == PathElementKind::MoveTo) {
            if (m_close && m_open && !(m_current == m_start)) {
                out = { std::int64_t(m_index), false, true, { m_current, m_start }, m_subpath };
                m_current = m_start;
                m_open = false;
                return true;
            }
            if (atEnd)
                return m_valid = false;
            m_current = m_start = m_elements[m_index++].points[0];
            m_open = false;
            ++m_subpath;
            continue;
        }
        const PathElement& e = m_elements[m_index];
        out.index = std::int64_t(m_index++);
        out.isClosing = false;
        out.subpath = m_subpath;
        switch (e.kind) {
        case PathElementKind::LineTo:
            out.isCurve = false;
            out.p = { m_current, e.points[0] };
            m_open = true;
            break;
        case PathElementKind::CurveTo:
            out.isCurve = true;
            out.p = { m_current, e.points[0], e.points[1], e.points[2] };
            m_open = true;
            break;
        default: // close-path
            out.isCurve = false;
            out.isClosing = true;
            out.p = { m_current, m_start };
            m_open = false;
            break;
        }
        m_current = out.end();
        return true;
    }
    return false;
}

CurveSplit splitCurve(const std::array<Point, 4>& p, double t)
{
    const auto mix = [t](const Point& a, const Point& b) { return a * (1.0 - t) + b * t; };
    const Point p01 = mix(p[0], p[1]);
    const Point p12 = mix(p[1], p[2]);
    const Point p23 = mix(p[2], p[3]);
    const Point p012 = mix(p01, p12);
    const Point p123 = mix(p12, p23);
    const Point p0123 = mix(p012, p123);
    return { { p[0], p01, p012, p0123 }, { p0123, p123, p23, p[3] } };
}

CubicRoots solveCubic(double a0, double a1, double a2, double a3)
{
    CubicRoots r;
    const auto add = [&r](double t, int m) {
        if (std::isfinite(t)) {
            r.t[size_t(r.count)] = t;
            r.multiplicity[size_t(r.count++)] = m;
        }
    };
    if (!std::isfinite(a0) || !std::isfinite(a1) || !std::isfinite(a2) || !std::isfinite(a3))
        return r;
    const double scale = std::max({ std::abs(a0), std::abs(a1), std::abs(a2), std::abs(a3) });
    if (scale == 0.0)
        return r;
    // A leading coefficient this small against the rest only moves roots far outside any
    // parameter range of interest.
    constexpr double kTiny = 1e-13;
    if (std::abs(a3) <= kTiny * scale) {
        const double s2 = std::max({ std::abs(a0), std::abs(a1), std::abs(a2) });
        if (std::abs(a2) <= kTiny * s2) {
            if (a1 != 0.0)
                add(-a0 / a1, 1);
            return r;
        }
        const double disc = a1 * a1 - 4.0 * a2 * a0;
        if (std::abs(disc) <= 1e-12 * (a1 * a1 + std::abs(4.0 * a2 * a0))) {
            add(-a1 / (2.0 * a2), 2);
        } else if (disc > 0.0) {
            // The form that avoids cancellation between -a1 and the root of the discriminant.
            const double q = -0.5 * (a1 + (a1 >= 0 ? 1.0 : -1.0) * std::sqrt(disc));
            add(q / a2, 1);
            if (q != 0.0)
                add(a0 / q, 1);
            else
                add(0.0, 1);
        }
    } else {
        const double B = a2 / a3;
        const double C = a1 / a3;
        const double D = a0 / a3;
        const double Q = 3.0 * C - B * B;
        const double R = (27.0 * D + 2.0 * B * B * B - 9.0 * B * C) / 2.0;
        const double disc = R * R + Q * Q * Q;
        const double discScale = R * R + std::abs(Q * Q * Q);
        // One root from the closed form (the largest of three, the most accurate), polished;
        // the other two from the quotient by (t - root). The closed form alone misjudges the
        // discriminant's sign when roots crowd together or a3 nearly vanishes.
        double t;
        if (std::abs(disc) <= 1e-12 * discScale) {
            if (std::abs(R) <= 1e-12
                    * (std::abs(27.0 * D) + std::abs(2.0 * B * B * B) + std::abs(9.0 * B * C))) {
                add(-B / 3.0, 3);
                return r;
            }
            t = 2.0 * std::cbrt(-R) / 3.0 - B / 3.0;
        } else if (disc > 0.0) {
            const double s = std::sqrt(disc);
            t = (std::cbrt(s - R) - std::cbrt(R + s)) / 3.0 - B / 3.0;
        } else {
            // Rounding can carry the argument a hair outside [-1, 1]: clamp it.
            const double arg = std::clamp(-R / std::sqrt(-Q * Q * Q), -1.0, 1.0);
            const double theta = std::acos(arg) / 3.0;
            const double m = 2.0 * std::sqrt(-Q) / 3.0;
            t = m * std::cos(theta) - B / 3.0;
            for (const double other : { -m * std::cos(theta + kPi / 3.0) - B / 3.0,
                     -m * std::cos(theta - kPi / 3.0) - B / 3.0 })
                if (std::abs(other) > std::abs(t))
                    t = other;
        }
        for (int k = 0; k < 4; ++k) {
            const double f = ((a3 * t + a2) * t + a1) * t + a0;
            const double d = (3.0 * a3 * t + 2.0 * a2) * t + a1;
            if (d == 0.0 || !std::isfinite(f / d))
                break;
            t -= f / d;
        }
        if (!std::isfinite(t))
            return r;
        // Deflation from the top is stable for a small root, from the bottom for a large one.
        double b2, b1, b0;
        if (std::abs(t) <= 1.0) {
            b2 = a3;
            b1 = a2 + a3 * t;
            b0 = a1 + b1 * t;
        } else {
            b0 = -a0 / t;
            b1 = (b0 - a1) / t;
            b2 = (b1 - a2) / t;
        }
        const CubicRoots rest = solveCubic(b0, b1, b2, 0.0);
        add(t, 0); // polished already: multiplicity 0 marks it for the loop below
        for (int i = 0; i < rest.count; ++i) {
            // A quotient root that repeats t makes it a double (or triple) root.
            if (std::abs(rest.t[size_t(i)] - t) <= 1e-7 * (std::abs(t) + 1e-300)) {
                r.multiplicity[0]
                    += rest.multiplicity[size_t(i)] + (r.multiplicity[0] == 0 ? 1 : 0);
                continue;
            }
            add(rest.t[size_t(i)], rest.multiplicity[size_t(i)]);
        }
        // Newton polishing of single roots: the closed form loses digits when roots are close.
        for (int i = 0; i < r.count; ++i) {
            if (r.multiplicity[size_t(i)] == 0) {
                r.multiplicity[size_t(i)] = 1;
                continue;
            }
            if (r.multiplicity[size_t(i)] != 1)
                continue;
            double t = r.t[size_t(i)];
            for (int k = 0; k < 3; ++k) {
                const double f = ((a3 * t + a2) * t + a1) * t + a0;
                const double d = (3.0 * a3 * t + 2.0 * a2) * t + a1;
                if (d == 0.0 || !std::isfinite(f / d))
                    break;
                t -= f / d;
            }
            r.t[size_t(i)] = t;
        }
    }
    // Ascending order, multiplicities following their roots.
    for (int i = 1; i < r.count; ++i)
        for (int j = i; j > 0 && r.t[size_t(j)] < r.t[size_t(j - 1)]; --j) {
            std::swap(r.t[size_t(j)], r.t[size_t(j - 1)]);
            std::swap(r.multiplicity[size_t(j)], r.multiplicity[size_t(j - 1)]);
        }
    return r;
}

int curveLineCrossings(const Coefficients& curve, const Point& origin, const Point& delta,
    std::array<CrossingRecord, 3>& out)
{
    const double dd = dot(delta, delta);
    if (!(dd >= 1e-20) || !std::isfinite(dd))
        return 0;
    std::array<double, 4> u {};
    std::array<double, 4> q {};
    for (size_t k = 0; k < 4; ++k) {
        const Point c = k == 0 ? curve.c[0] - origin : curve.c[k];
        u[k] = dot(c, delta) / dd;
        q[k] = c.y * delta.x - c.x * delta.y;
    }
    const CubicRoots roots = solveCubic(q[0], q[1], q[2], q[3]);
    int n = 0;
    for (int i = 0; i < roots.count; ++i) {
        const double t = roots.t[size_t(i)];
        if (t < -0.0001 || t > 1.0001)
            continue;
        const double ut = u[0] + (u[1] + (u[2] + u[3] * t) * t) * t;
        if (!(ut >= -0.0001 && ut <= 1.0001))
            continue;
        CrossingRecord rec;
        rec.t1 = t;
        rec.t2 = ut;
        switch (roots.multiplicity[size_t(i)]) {
        case 1:
            rec.entry = rec.exit = -sign(q[1] + (2.0 * q[2] + 3.0 * q[3] * t) * t);
            break;
        case 2:
            if (6.0 * q[3] * t + 2.0 * q[2] >= 0.0) {
                rec.entry = 1;
                rec.exit = -1;
            } else {
                rec.entry = -1;
                rec.exit = 1;
            }
            break;
        default:
            rec.entry = rec.exit = -sign(q[3]);
            break;
        }
        out[size_t(n++)] = rec;
    }
    return n;
}

namespace {

// One y-monotone piece of an edge against the ray from p towards -x: half-open in y so that
// a vertex shared by two edges counts once.
void windMonotone(const Coefficients& c, double ta, double tb, const Point& p, bool straight,
    double maxX, Winding& w, const CubicRoots* level = nullptr)
{
    const Point a = c.at(ta);
    const Point b = c.at(tb);
    if (a.y == b.y) {
        // A horizontal edge at the point's height: on it is a hit, never a crossing.
        if (a.y == p.y && std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x))
            ++w.hits;
        return;
    }
    const bool rising = b.y > a.y;
    const double lo = rising ? a.y : b.y;
    const double hi = rising ? b.y : a.y;
    if (p.y < lo || p.y > hi)
        return;
    const int dir = rising ? 1 : -1;
    if (maxX < p.x) {
        if (p.y < hi)
            w.winding += dir;
        return;
    }
    double x;
    if (p.y == a.y) {
        x = a.x;
    } else if (p.y == b.y) {
        x = b.x;
    } else if (straight) {
        x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
    } else {
        // Where y = p.y on the monotone piece: the root of the level cubic that falls in it,
        // else (roots lost to rounding) by bisection to full precision.
        double t0 = ta;
        double t1 = tb;
        for (int i = 0; level && i < level->count; ++i) {
            const double t = level->t[size_t(i)];
            if (t >= ta - 1e-9 && t <= tb + 1e-9) {
                t0 = t1 = std::clamp(t, ta, tb);
                break;
            }
        }
        for (int i = 0; i < 100 && t0 != t1; ++i) {
            const double mid = (t0 + t1) / 2;
            if (mid <= t0 || mid >= t1)
                break;
            if ((c.at(mid).y < p.y) == rising)
                t0 = mid;
            else
                t1 = mid;
        }
        x = c.at((t0 + t1) / 2).x;
    }
    const double tol = 1e-12 * (std::abs(p.x) + std::abs(x) + 1.0);
    if (std::abs(x - p.x) <= tol) {
        ++w.hits;
        return;
    }
    // Half-open in y, so that a vertex shared by two edges counts once.
    if (x < p.x && p.y < hi)
        w.winding += dir;
}

} // namespace

void windSegment(const PathSegment& s, const Point& point, Winding& w)
{
    if (!s.isCurve) {
        if (point.y < std::min(s.p[0].y, s.p[1].y) || point.y > std::max(s.p[0].y, s.p[1].y)
            || point.x < std::min(s.p[0].x, s.p[1].x))
            return;
        windMonotone(Coefficients::line(s.p[0], s.p[1]), 0.0, 1.0, point, true,
            std::max(s.p[0].x, s.p[1].x), w);
        return;
    }
    const double minY = std::min({ s.p[0].y, s.p[1].y, s.p[2].y, s.p[3].y });
    const double maxY = std::max({ s.p[0].y, s.p[1].y, s.p[2].y, s.p[3].y });
    const double minX = std::min({ s.p[0].x, s.p[1].x, s.p[2].x, s.p[3].x });
    const double maxX = std::max({ s.p[0].x, s.p[1].x, s.p[2].x, s.p[3].x });
    if (point.y < minY || point.y > maxY || minX > point.x)
        return;
    if (maxX < point.x) {
        // Wholly left of the point: the curve crosses the ray as often, net, as its chord.
        const double y0 = s.p[0].y;
        const double y3 = s.p[3].y;
        if (y0 <= point.y && point.y < y3)
            ++w.winding;
        else if (y3 <= point.y && point.y < y0)
            --w.winding;
        return;
    }
    const Coefficients c = s.coefficients();
    const CubicRoots level = solveCubic(c.c[0].y - point.y, c.c[1].y, c.c[2].y, c.c[3].y);
    // Cut at the turning points of y so that each piece rises or falls.
    std::array<double, 4> cuts { 0.0 };
    int n = 1;
    const CubicRoots turns = solveCubic(c.c[1].y, 2.0 * c.c[2].y, 3.0 * c.c[3].y, 0.0);
    for (int i = 0; i < turns.count; ++i) {
        const double t = turns.t[size_t(i)];
        if (t > 0.0 && t < 1.0 && t > cuts[size_t(n - 1)])
            cuts[size_t(n++)] = t;
    }
    cuts[size_t(n++)] = 1.0;
    for (int i = 0; i + 1 < n; ++i)
        windMonotone(c, cuts[size_t(i)], cuts[size_t(i + 1)], point, false, maxX, w, &level);
}

Winding getWinding(const BezierPath& path, const Point& point)
{
    Winding w;
    if (!point.isFinite())
        return w;
    PathSegmentWalker walker(path, true);
    PathSegment s;
    while (walker.next(s))
        windSegment(s, point, w);
    // A point on the outline is not inside it: which edges it would count is an accident of
    // the half-open rule.
    if (w.hits > 0)
        w.winding = 0;
    return w;
}

bool _straightLineHit(
    const Point& a, const Point& b, const Point& p, double* parameter, double radius)
{
    const Point d = b - a;
    const double L = length(d);
    if (!(L > 0.0)) {
        // A zero-length segment is a dot of the stroke's width.
        const bool hit = dot(p - a, p - a) < radius * radius;
        if (hit && parameter)
            *parameter = 0.0;
        return hit;
    }
    const Point u = d * (1.0 / L);
    const double s = dot(p - a, u);
    const Point q = a + u * s;
    if (!(dot(p - q, p - q) < radius * radius))
        return false;
    const double t = s / L;
    if (parameter)
        *parameter = t;
    return t >= 0.0 && t <= 1.0;
}

namespace {

// The roots of a polynomial of degree five given by its Bernstein coefficients over [lo, hi]:
// an interval whose coefficients change sign once holds one root, found by Newton steps kept
// inside the bracket; more changes are split in half (the convex hull property makes
// intervals without a change root-free).
struct Quintic {
    std::array<double, 6> a; // power form over [0, 1], for evaluation

    double at(double t) const
    {
        return ((((a[5] * t + a[4]) * t + a[3]) * t + a[2]) * t + a[1]) * t + a[0];
    }
    double slope(double t) const
    {
        return (((5.0 * a[5] * t + 4.0 * a[4]) * t + 3.0 * a[3]) * t + 2.0 * a[2]) * t + a[1];
    }

    double bracketed(double lo, double hi) const
    {
        double flo = at(lo);
        double t = (lo + hi) / 2;
        for (int i = 0; i < 100; ++i) {
            const double f = at(t);
            if (f == 0.0)
                return t;
            if ((f < 0.0) == (flo < 0.0)) {
                lo = t;
                flo = f;
            } else {
                hi = t;
            }
            const double d = slope(t);
            double next = d != 0.0 ? t - f / d : lo;
            if (!(next > lo && next < hi))
                next = (lo + hi) / 2;
            if (next == t || hi - lo <= 1e-16)
                return next;
            t = next;
        }
        return t;
    }

    template <typename Out>
    void roots(const std::array<double, 6>& b, double lo, double hi, int depth, Out&& out) const
    {
        int changes = 0;
        for (std::size_t i = 0; i < 5; ++i)
            changes += (b[i] < 0.0) != (b[i + 1] < 0.0);
        if (changes == 0) {
            if (b[0] == 0.0)
                out(lo);
            if (b[5] == 0.0)
                out(hi);
            return;
        }
        if (changes == 1) {
            out(bracketed(lo, hi));
            return;
        }
        const double mid = (lo + hi) / 2;
        if (depth >= 48 || !(mid > lo && mid < hi)) {
            out(mid);
            return;
        }
        // de Casteljau at one half.
        std::array<double, 6> left {}, right {}, w = b;
        for (std::size_t level = 0; level < 6; ++level) {
            left[level] = w[0];
            right[5 - level] = w[5 - level];
            for (std::size_t i = 0; i + level < 5; ++i)
                w[i] = (w[i] + w[i + 1]) / 2;
        }
        roots(left, lo, mid, depth + 1, out);
        roots(right, mid, hi, depth + 1, out);
    }
};

} // namespace

std::optional<double> nearestCurveParameter(const Coefficients& curve, const Point& p)
{
    // (B(t) - p) . B'(t), half the derivative of the squared distance: a quintic.
    const std::array<Point, 4> d { curve.c[0] - p, curve.c[1], curve.c[2], curve.c[3] };
    const std::array<Point, 3> e { curve.c[1], curve.c[2] * 2.0, curve.c[3] * 3.0 };
    Quintic q { {} };
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            q.a[i + j] += dot(d[i], e[j]);
    for (const double v : q.a)
        if (!std::isfinite(v))
            return std::nullopt;
    // Power form to Bernstein form over [0, 1]: b_i = sum over k <= i of C(i, k) / C(5, k) a_k.
    constexpr std::array<double, 6> kChoose5 { 1, 5, 10, 10, 5, 1 };
    std::array<double, 6> b {};
    for (std::size_t i = 0; i < 6; ++i) {
        double chooseIK = 1.0;
        for (std::size_t k = 0; k <= i; ++k) {
            b[i] += chooseIK / kChoose5[k] * q.a[k];
            chooseIK = chooseIK * double(i - k) / double(k + 1);
        }
    }
    double best = 0.0;
    double bestD = dot(d[0], d[0]);
    const auto consider = [&](double t) {
        const Point off = curve.at(t) - p;
        const double dist = dot(off, off);
        if (dist < bestD) {
            bestD = dist;
            best = t;
        }
    };
    q.roots(b, 0.0, 1.0, 0, consider);
    consider(1.0);
    if (!std::isfinite(bestD))
        return std::nullopt;
    return best;
}

bool _curvedLineHit(const Point& p, const Point& start, const Point& end, const Point& control1,
    const Point& control2, double* parameter, double radius)
{
    const std::array<Point, 4> pts { start, control1, control2, end };
    for (const Point& c : pts)
        if (!c.isFinite())
            return false;
    if (!p.isFinite() || !(radius > 0.0))
        return false;
    const Coefficients c = Coefficients::curve(start, control1, control2, end);
    const std::optional<double> t = nearestCurveParameter(c, p);
    if (!t)
        return false;
    double extent = 0.0;
    for (const Point& q : pts)
        extent = std::max({ extent, std::abs(q.x), std::abs(q.y) });
    // Rounding in the curve's own coordinates counts as on it.
    const double reach = radius + 1e-9 * (extent + radius);
    const Point off = c.at(*t) - p;
    if (!(dot(off, off) < reach * reach))
        return false;
    if (parameter)
        *parameter = *t;
    return true;
}

std::int64_t _segmentHitByPoint(
    const BezierPath& path, const Point& p, double* parameter, double padding)
{
    if (!hasSegments(path))
        return 0;
    const double r = path.lineWidth() / 2.0 + padding;
    const auto& els = path.elements();
    Point current = els[0].points[0];
    Point start = current;
    bool closed = false;
    for (std::size_t i = 1; i < els.size(); ++i) {
        const PathElement& e = els[i];
        double t = 0.0;
        bool hit = false;
        switch (e.kind) {
        case PathElementKind::MoveTo:
            current = e.points[0];
            if (closed)
                start = current;
            closed = false;
            continue;
        case PathElementKind::LineTo:
            hit = _straightLineHit(current, e.points[0], p, &t, r);
            break;
        case PathElementKind::CurveTo: {
            // The control box grown by the hit radius (at least 1.0): a point on the stroke of
            // a wide line lies outside the box grown by 1.0 alone.
            const double grow = std::max(1.0, r);
            const double minX
                = std::min({ current.x, e.points[0].x, e.points[1].x, e.points[2].x }) - grow;
            const double maxX
                = std::max({ current.x, e.points[0].x, e.points[1].x, e.points[2].x }) + grow;
            const double minY
                = std::min({ current.y, e.points[0].y, e.points[1].y, e.points[2].y }) - grow;
            const double maxY
                = std::max({ current.y, e.points[0].y, e.points[1].y, e.points[2].y }) + grow;
            if (p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY)
                hit = _curvedLineHit(p, current, e.points[2], e.points[0], e.points[1], &t, r);
            break;
        }
        case PathElementKind::ClosePath:
            hit = _straightLineHit(current, start, p, &t, r);
            closed = true;
            current = start;
            if (hit)
                break;
            continue;
        }
        if (hit) {
            if (parameter)
                *parameter = t;
            return std::int64_t(i);
        }
        current = elementEnd(e);
    }
    return 0;
}

std::int64_t segmentHitByPoint(const BezierPath& path, const Point& p, double padding)
{
    return _segmentHitByPoint(path, p, nullptr, padding);
}

bool isStrokeHitByPoint(const BezierPath& path, const Point& p, double padding)
{
    return segmentHitByPoint(path, p, padding) != 0;
}

namespace {

bool pointInRect(const Point& p, const Rect& r)
{
    return p.x >= r.minX() && p.x < r.maxX() && p.y >= r.minY() && p.y < r.maxY();
}

bool straightMeetsRect(const Point& a, const Point& b, const Rect& r)
{
    if (pointInRect(a, r))
        return true;
    const Point d = b - a;
    for (const double x : { r.minX(), r.maxX() }) {
        if (d.x == 0.0)
            break;
        const double t = (x - a.x) / d.x;
        const double y = a.y + t * d.y;
        if (t >= 0.0 && t <= 1.0 && y >= r.minY() && y < r.maxY())
            return true;
    }
    for (const double y : { r.minY(), r.maxY() }) {
        if (d.y == 0.0)
            break;
        const double t = (y - a.y) / d.y;
        const double x = a.x + t * d.x;
        if (t >= 0.0 && t <= 1.0 && x >= r.minX() && x < r.maxX())
            return true;
    }
    return false;
}

bool curveMeetsRect(const Coefficients& c, const Rect& r, double tolerance, int depth)
{
    const std::array<Point, 4> hull { c.c[0], c.c[0] + c.c[1] * 0.3333,
        c.c[0] + c.c[1] * 0.6666 + c.c[2] * 0.3333, c.c[0] + c.c[1] + c.c[2] + c.c[3] };
    double minX = hull[0].x, maxX = hull[0].x, minY = hull[0].y, maxY = hull[0].y;
    for (const Point& h : hull) {
        minX = std::min(minX, h.x);
        maxX = std::max(maxX, h.x);
        minY = std::min(minY, h.y);
        maxY = std::max(maxY, h.y);
    }
    const double w = std::max(maxX - minX, 1.0);
    const double h = std::max(maxY - minY, 1.0);
    if (!(minX < r.maxX() && minX + w > r.minX() && minY < r.maxY() && minY + h > r.minY()))
        return false;
    // The depth bound stops the halving on curves too long (or not finite) to shrink below
    // the tolerance in reasonable time: what is left then counts as meeting.
    if (maxX - minX <= tolerance || maxY - minY <= tolerance || depth >= 40)
        return true;
    const Coefficients first { { c.c[0], c.c[1] * 0.5, c.c[2] * 0.25, c.c[3] * 0.125 } };
    const Coefficients second { { c.c[0] + c.c[1] * 0.5 + c.c[2] * 0.25 + c.c[3] * 0.125,
        c.c[1] * 0.5 + c.c[2] * 0.5 + c.c[3] * 0.375, c.c[2] * 0.25 + c.c[3] * 0.375,
        c.c[3] * 0.125 } };
    return curveMeetsRect(first, r, tolerance, depth + 1)
        || curveMeetsRect(second, r, tolerance, depth + 1);
}

} // namespace

bool intersectsRect(const BezierPath& path, const Rect& rect)
{
    if (!hasSegments(path))
        return false;
    const auto& els = path.elements();
    Point current = els[0].points[0];
    Point start = current;
    bool closed = false;
    const double tolerance = path.lineWidth() + 1.0;
    for (std::size_t i = 1; i < els.size(); ++i) {
        const PathElement& e = els[i];
        switch (e.kind) {
        case PathElementKind::MoveTo:
            current = e.points[0];
            if (closed)
                start = current;
            closed = false;
            continue;
        case PathElementKind::LineTo:
            if (straightMeetsRect(current, e.points[0], rect))
                return true;
            break;
        case PathElementKind::CurveTo:
            if (curveMeetsRect(Coefficients::curve(current, e.points[0], e.points[1], e.points[2]),
                    rect, tolerance, 0))
                return true;
            break;
        case PathElementKind::ClosePath:
            if (straightMeetsRect(current, start, rect))
                return true;
            closed = true;
            current = start;
            continue;
        }
        current = elementEnd(e);
    }
    return false;
}

namespace {

struct RectCorners {
    double x, y, maxX, maxY, midX;
    explicit RectCorners(const Rect& r)
        : x(r.minX())
        , y(r.minY())
        , maxX(r.maxX())
        , maxY(r.maxY())
        , midX(r.minX() + 0.5 * r.width())
    {
    }
};

} // namespace

void appendBezierPathWithRoundedRectangle(BezierPath& path, const Rect& r, double radius)
{
    const RectCorners k(r);
    path.moveTo({ k.midX, k.maxY });
    path.appendArcFromPoint({ k.x, k.maxY }, { k.x, k.y }, radius);
    path.appendArcFromPoint({ k.x, k.y }, { k.maxX, k.y }, radius);
    path.appendArcFromPoint({ k.maxX, k.y }, { k.maxX, k.maxY }, radius);
    path.appendArcFromPoint({ k.maxX, k.maxY }, { k.x, k.maxY }, radius);
    path.closePath();
}

void appendBezierPathWithLeftRoundedRectangle(BezierPath& path, const Rect& r, double radius)
{
    const RectCorners k(r);
    path.moveTo({ k.midX, k.maxY });
    path.appendArcFromPoint({ k.x, k.maxY }, { k.x, k.y }, radius);
    path.appendArcFromPoint({ k.x, k.y }, { k.maxX, k.y }, radius);
    path.lineTo({ k.maxX, k.y });
    path.lineTo({ k.maxX, k.maxY });
    path.closePath();
}

void appendBezierPathWithRightRoundedRectangle(BezierPath& path, const Rect& r, double radius)
{
    const RectCorners k(r);
    path.moveTo({ k.midX, k.maxY });
    path.lineTo({ k.x, k.maxY });
    path.lineTo({ k.x, k.y });
    path.appendArcFromPoint({ k.maxX, k.y }, { k.maxX, k.maxY }, radius);
    path.appendArcFromPoint({ k.maxX, k.maxY }, { k.x, k.maxY }, radius);
    path.closePath();
}

void AddRoundedRectToContext(
    BezierPath& contextPath, const Rect& r, double r0, double r1, double r2, double r3)
{
    const RectCorners k(r);
    contextPath.moveTo({ k.x, k.y + r0 });
    contextPath.lineTo({ k.x, k.maxY - r2 });
    contextPath.appendArcFromPoint({ k.x, k.maxY }, { k.x + r2, k.maxY }, r2);
    contextPath.lineTo({ k.maxX - r3, k.maxY });
    contextPath.appendArcFromPoint({ k.maxX, k.maxY }, { k.maxX, k.maxY - r3 }, r3);
    contextPath.lineTo({ k.maxX, k.y + r1 });
    contextPath.appendArcFromPoint({ k.maxX, k.y }, { k.maxX - r1, k.y }, r1);
    contextPath.lineTo({ k.x + r0, k.y });
    contextPath.appendArcFromPoint({ k.x, k.y }, { k.x, k.y + r0 }, r0);
    contextPath.closePath();
}

namespace {

std::optional<pointInfo> pointInfoAt(const BezierPath& path, double position)
{
    const int n = path.elementCount();
    if (n < 2 || std::isnan(position))
        return std::nullopt;
    const double p = std::clamp(position, 0.0, 1.0);
    int k = n - 2;
    double t = 1.0;
    if (p < 1.0) {
        const double f = p * (n - 1);
        k = std::min(int(f), n - 2);
        t = f - k;
    }
    const Point start = elementEnd(path.elementAt(k));
    const PathElement& e = path.elementAt(k + 1);
    const auto straight = [&](const Point& end) {
        return pointInfo { start + (end - start) * t, end - start };
    };
    switch (e.kind) {
    case PathElementKind::MoveTo:
    case PathElementKind::LineTo:
        return straight(e.points[0]);
    case PathElementKind::CurveTo: {
        const Coefficients c = Coefficients::curve(start, e.points[0], e.points[1], e.points[2]);
        return pointInfo { c.at(t), c.derivative(t) };
    }
    case PathElementKind::ClosePath: {
        // Back to the move-to that follows the last close before it, as the stroke hit test
        // walks a second subpath after an open first one.
        Point target = path.elementAt(0).points[0];
        for (int i = k; i >= 0; --i)
            if (path.elementAt(i).kind == PathElementKind::ClosePath) {
                for (int j = i + 1; j <= k; ++j)
                    if (path.elementAt(j).kind == PathElementKind::MoveTo) {
                        target = path.elementAt(j).points[0];
                        break;
                    }
                break;
            }
        return straight(target);
    }
    }
    return pointInfo { start, Point() };
}

} // namespace

std::optional<pointInfo> _getPointInfoForPosition(const BezierPath& path, double position)
{
    // A coordinate that is not a number answers nothing rather than a point that is not one.
    const auto info = pointInfoAt(path, position);
    if (!info || !info->point.isFinite() || !info->tangent.isFinite())
        return std::nullopt;
    return info;
}

std::optional<Point> getPointForPosition(const BezierPath& path, double position, double offset)
{
    const auto info = _getPointInfoForPosition(path, position);
    if (!info)
        return std::nullopt;
    const double L = std::hypot(info->tangent.x, info->tangent.y);
    if (!(L >= 1e-15))
        return info->point;
    const double s = info->tangent.x < 0 ? -1.0 : 1.0;
    const Point out = info->point + Point(info->tangent.y, -info->tangent.x) * (offset * s / L);
    if (!out.isFinite())
        return std::nullopt;
    return out;
}

std::optional<double> getNormalForPosition(const BezierPath& path, double position)
{
    const auto info = _getPointInfoForPosition(path, position);
    if (!info)
        return std::nullopt;
    return std::atan2(info->tangent.x, -info->tangent.y) * 180.0 / kPi;
}

namespace {

std::optional<Point> pointAtSegment(const BezierPath& path, KXBezierPathPosition position)
{
    const std::int64_t k = position.segment;
    const double t = position.parameter;
    const auto start = currentpointForSegment(path, k);
    if (!start || std::isnan(t))
        return std::nullopt;
    if (t < 1e-10)
        return start;
    const PathElement& e = path.elementAt(int(k));
    switch (e.kind) {
    case PathElementKind::MoveTo:
    case PathElementKind::LineTo:
        if (t > 0.9999999999)
            return e.points[0];
        return *start + (e.points[0] - *start) * t;
    case PathElementKind::CurveTo:
        if (t > 0.9999999999)
            return e.points[2];
        return Coefficients::curve(*start, e.points[0], e.points[1], e.points[2]).at(t);
    case PathElementKind::ClosePath:
        for (std::int64_t i = k - 1; i >= 0; --i)
            if (path.elementAt(int(i)).kind == PathElementKind::MoveTo)
                return *start + (path.elementAt(int(i)).points[0] - *start) * t;
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<Point> getPointForPosition(const BezierPath& path, KXBezierPathPosition position)
{
    const auto p = pointAtSegment(path, position);
    if (!p || !p->isFinite())
        return std::nullopt;
    return p;
}

double getPositionForPoint(const BezierPath& path, const Point& p)
{
    double u = 0.0;
    const std::int64_t i = _segmentHitByPoint(path, p, &u, 5.0);
    if (i == 0)
        return 0.5;
    return (u + double(i) - 1.0) / double(path.elementCount() - 1);
}

double lengthToSegment(const BezierPath& path, std::int64_t segment, double t, double* totalLength)
{
    PathSegmentWalker walker(path, false);
    PathSegment s;
    double upTo = 0.0;
    double total = 0.0;
    bool reached = false;
    while (walker.next(s)) {
        if (!reached && s.index >= segment) {
            reached = true;
            if (s.index == segment && t > 0.0) {
                const double tt = std::isnan(t) ? 0.0 : std::min(t, 1.0);
                const double part = s.isCurve ? curveLengthTo(s.coefficients(), tt)
                                              : tt * length(s.p[1] - s.p[0]);
                upTo += std::isfinite(part) ? part : 0.0;
            }
            if (!totalLength)
                return upTo;
        }
        const double len = segmentLength(s);
        if (!reached)
            upTo += len;
        total += len;
    }
    if (totalLength)
        *totalLength = total;
    return upTo;
}

PathLengthTable::PathLengthTable(const BezierPath& path)
{
    PathSegmentWalker walker(path, false);
    PathSegment s;
    double sum = 0.0;
    while (walker.next(s)) {
        sum += segmentLength(s);
        m_segments.push_back(s);
        m_ends.push_back(sum);
    }
}

KXBezierPathPosition PathLengthTable::segmentAndParameter(double length, bool fractional) const
{
    if (!(length > 0.0) || m_segments.empty())
        return {};
    if (!std::isfinite(total()))
        return {}; // lengths beyond the doubles' range: no position along it means anything
    if (fractional && length >= 1.0)
        return { m_segments.back().index, 1.0 };
    const double target = fractional ? length * total() : length;
    // The first segment that ends at or beyond the target; past the end, the end of the last.
    const auto it = std::lower_bound(m_ends.begin(), m_ends.end(), target);
    if (it == m_ends.end())
        return { m_segments.back().index, 1.0 };
    const std::size_t i = std::size_t(it - m_ends.begin());
    const PathSegment& s = m_segments[i];
    const double begin = i == 0 ? 0.0 : m_ends[i - 1];
    const double own = m_ends[i] - begin;
    const double remaining = std::max(target - begin, 0.0);
    if (!(own > 0.0))
        return { s.index, 1.0 };
    if (s.isCurve)
        return { s.index, curveParameterAtLength(s.p, remaining, own) };
    return { s.index, std::min(remaining / own, 1.0) };
}

KXBezierPathPosition segmentAndParameter(const BezierPath& path, double length, bool fractional)
{
    return PathLengthTable(path).segmentAndParameter(length, fractional);
}
