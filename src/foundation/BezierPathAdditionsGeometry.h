#pragma once
// Geometry along a path, one segment at a time: the segment walker, the coefficient form of a
// segment, splitting, cubic roots, the crossing of a curve with a straight line, and the
// queries built on them (winding, stroke hit tests, rectangle test, rounded rectangles, points,
// tangents and normals at a position, arc lengths).
//
// A path whose element 0 is not a move-to has no segments: queries on it answer 0, false or
// nullopt. Every subpath is walked (a path with a hole winds and measures as drawn).
#include "platform/graphics/BezierPath.h"

#include <array>
#include <cstdint>
#include <optional>

// The start point of element i: element 0's own point (it must be a move-to), else the end
// point of element i - 1. nullopt when element i - 1 is a close-path, element 0 is not a
// move-to, or i is out of range.
std::optional<platform::Point> currentpointForSegment(
    const platform::BezierPath& path, std::int64_t i);
// The end point of element i; a close-path ends at element 0's point; out of range gives (0, 0).
platform::Point _endPointForSegment(const platform::BezierPath& path, std::int64_t i);

// B(t) = c[0] + c[1] t + c[2] t^2 + c[3] t^3 for t in [0, 1].
struct Coefficients {
    std::array<platform::Point, 4> c {};

    static Coefficients curve(const platform::Point& p0, const platform::Point& p1,
        const platform::Point& p2, const platform::Point& p3);
    static Coefficients line(const platform::Point& p0, const platform::Point& p1);
    platform::Point at(double t) const;
    platform::Point derivative(double t) const;
};

// One drawn segment: element `index` (a closing segment carries the index of the close-path,
// or of the move-to or element count where a subpath is closed implicitly).
struct PathSegment {
    std::int64_t index = 0;
    bool isCurve = false;
    bool isClosing = false;
    std::array<platform::Point, 4> p {}; // a line uses p[0] and p[1]
    int subpath = 0; // counts the move-tos before it

    platform::Point start() const { return p[0]; }
    platform::Point end() const { return isCurve ? p[3] : p[1]; }
    Coefficients coefficients() const;
};

// Walks the segments of every subpath in order. With closeSubpaths an open subpath is closed
// by a straight segment back to its start (when it does not already end there).
class PathSegmentWalker {
public:
    PathSegmentWalker(const platform::BezierPath& path, bool closeSubpaths);
    bool next(PathSegment& out);

private:
    const std::vector<platform::PathElement>& m_elements;
    bool m_close;
    std::size_t m_index = 1;
    platform::Point m_current;
    platform::Point m_start;
    bool m_open = false; // a line or curve was drawn since the subpath began
    int m_subpath = 0;
    bool m_valid;
};

// de Casteljau at t: the first part [P0, P01, P012, P0123] and the second [P0123, P123, P23, P3].
struct CurveSplit {
    std::array<platform::Point, 4> first;
    std::array<platform::Point, 4> second;
};
CurveSplit splitCurve(const std::array<platform::Point, 4>& p, double t);

// Real roots of a0 + a1 t + a2 t^2 + a3 t^3, ascending, each with its multiplicity (a double
// root appears once with multiplicity 2). Nearly vanishing leading coefficients and
// discriminants are judged relative to the size of the coefficients, not absolutely.
struct CubicRoots {
    int count = 0;
    std::array<double, 3> t {};
    std::array<int, 3> multiplicity {};
};
CubicRoots solveCubic(double a0, double a1, double a2, double a3);

// One meeting of two segments.
struct CrossingRecord {
    double t1 = 0.0;
    double t2 = 0.0;
    double span1 = 0.0;
    double span2 = 0.0;
    std::int32_t entry = 0;
    std::int32_t exit = 0;
};

// The crossings (at most 3) of a curve with the line origin + u * delta, u and t within
// [-0.0001, 1.0001], ascending in t. Direction codes: -sign(q'(t)) for a single root of the
// cross distance q; (+1, -1) or (-1, +1) for a touching double root; -sign(q3) for a triple.
int curveLineCrossings(const Coefficients& curve, const platform::Point& origin,
    const platform::Point& delta, std::array<CrossingRecord, 3>& out);

struct Winding {
    std::int64_t winding = 0;
    std::uint64_t hits = 0; // the point lies on the outline this many times
};
// The non-zero winding number of point (every subpath implicitly closed), the ray running
// towards -x. A point on the outline counts the edges it lies on as hits, and its winding is 0.
Winding getWinding(const platform::BezierPath& path, const platform::Point& point);

// One segment's part of the winding (for indexes that answer many points); the caller zeroes
// the winding of a point that hits the outline.
void windSegment(const PathSegment& s, const platform::Point& point, Winding& w);

// The parameter of the curve's point nearest p (the first of equally near ones): among its
// ends and the roots of (B(t) - p) . B'(t). nullopt where the numbers overflow.
std::optional<double> nearestCurveParameter(const Coefficients& curve, const platform::Point& p);

// Stroke hit tests; the hit radius is lineWidth / 2 + padding. A curve is hit when its
// nearest point lies within the radius, and the parameter is that point's.
bool _straightLineHit(const platform::Point& a, const platform::Point& b, const platform::Point& p,
    double* parameter, double radius);
bool _curvedLineHit(const platform::Point& p, const platform::Point& start,
    const platform::Point& end, const platform::Point& control1, const platform::Point& control2,
    double* parameter, double radius);
// The index of the first element whose stroke p hits, 0 for none.
std::int64_t _segmentHitByPoint(
    const platform::BezierPath& path, const platform::Point& p, double* parameter, double padding);
std::int64_t segmentHitByPoint(
    const platform::BezierPath& path, const platform::Point& p, double padding = 5.0);
bool isStrokeHitByPoint(
    const platform::BezierPath& path, const platform::Point& p, double padding = 5.0);

// Whether the stroke (within lineWidth + 1 for curves) meets rect.
bool intersectsRect(const platform::BezierPath& path, const platform::Rect& rect);

void appendBezierPathWithRoundedRectangle(
    platform::BezierPath& path, const platform::Rect& r, double radius);
void appendBezierPathWithLeftRoundedRectangle(
    platform::BezierPath& path, const platform::Rect& r, double radius);
void appendBezierPathWithRightRoundedRectangle(
    platform::BezierPath& path, const platform::Rect& r, double radius);
// The outline of r with its own radius at each corner (r0 at (minX, minY), r1 at (maxX, minY),
// r2 at (minX, maxY), r3 at (maxX, maxY)), added as a closed subpath to the path that a drawing
// context is about to fill or stroke. It starts at (minX, minY + r0) and runs up the left side.
void AddRoundedRectToContext(platform::BezierPath& contextPath, const platform::Rect& r, double r0,
    double r1, double r2, double r3);

struct pointInfo {
    platform::Point point;
    platform::Point tangent;
};
struct KXBezierPathPosition {
    std::int64_t segment = 0;
    double parameter = 0.0;
};

// Positions in [0, 1] are spread evenly over the elements, not over the length. nullopt for
// a path of fewer than 2 elements, and where a point or tangent would not be a number. A
// close-path runs back to the move-to after the last close-path before it (element 0 when
// there is none), as the stroke hit test walks it.
std::optional<pointInfo> _getPointInfoForPosition(
    const platform::BezierPath& path, double position);
// The point at position moved sideways by offset along the normal; nullopt as above.
std::optional<platform::Point> getPointForPosition(
    const platform::BezierPath& path, double position, double offset);
// The point at a segment and parameter; nullopt out of range or where it is not a number.
std::optional<platform::Point> getPointForPosition(
    const platform::BezierPath& path, KXBezierPathPosition position);
// The position of the stroke point nearest p (padding 5.0), 0.5 when p is off the stroke.
double getPositionForPoint(const platform::BezierPath& path, const platform::Point& p);
// The direction of the normal at position, in degrees; nullopt as for the point info.
std::optional<double> getNormalForPosition(const platform::BezierPath& path, double position);

// The length along the path (every subpath, no implicit closing) up to parameter t of element
// segment; totalLength, when given, receives the whole length.
double lengthToSegment(
    const platform::BezierPath& path, std::int64_t segment, double t, double* totalLength);
// The segment and parameter at a length along the path (a fraction of the whole length when
// fractional). The index is always a drawn segment's, and the parameter within [0, 1].
KXBezierPathPosition segmentAndParameter(
    const platform::BezierPath& path, double length, bool fractional);

// The lengths of a path's drawn segments, measured once for many length queries (each then
// a binary search and, on a curve, a few quadratures). Holds a copy of the segments, not the
// path.
class PathLengthTable {
public:
    explicit PathLengthTable(const platform::BezierPath& path);
    double total() const { return m_ends.empty() ? 0.0 : m_ends.back(); }
    KXBezierPathPosition segmentAndParameter(double length, bool fractional) const;

private:
    std::vector<PathSegment> m_segments;
    std::vector<double> m_ends; // the length up to the end of each segment
};
