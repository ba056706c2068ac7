#pragma once
// Where paths meet: crossings of two straight segments, of two curves and of a curve with
// itself, every intersection of one path with another (or with itself), and the crossings of
// a path with a straight line.
#include "foundation/BezierPathAdditionsGeometry.h"

#include <vector>

// One path's side of an intersection.
struct KXBezierPathIntersectionHalf {
    std::int64_t segment = 0; // element index on that path
    double parameter = 0.0; // within the segment, 0..1
    // The parameter length of an overlap starting there: 0 for a crossing point, negative when
    // the overlap runs backwards on this path.
    double span = 0.0;
    std::int32_t entry = 0;
    std::int32_t exit = 0;
};

struct KXBezierPathIntersection {
    KXBezierPathIntersectionHalf left; // on the receiver
    KXBezierPathIntersectionHalf right; // on the other path
    platform::Point location;
};

// Crossings of the straight segments p + a*d and q + b*e (a, b in [0, 1]): one point with
// codes sign(d x e), or, for collinear segments that overlap, one record with the overlap's
// start and extent as spans and codes 0. Appends to out.
void segmentSegmentCrossings(const platform::Point& p, const platform::Point& d,
    const platform::Point& q, const platform::Point& e, std::vector<CrossingRecord>& out);

// Crossings of two curves (t1 on the first, t2 on the second), ascending in t1. Curves that
// coincide along a stretch give records with spans rather than a crowd of points. The search
// is bounded: pathological inputs end with what was found.
void curveCurveCrossings(const std::array<platform::Point, 4>& a,
    const std::array<platform::Point, 4>& b, std::vector<CrossingRecord>& out);

// The loop of a curve that crosses itself: at most one record, t1 < t2.
bool curveSelfCrossing(const std::array<platform::Point, 4>& p, CrossingRecord& out);

// Every intersection of path with other, ordered by path's segment and then parameter. The
// left half is on path, the right on other; the codes on the right are the left's negated.
// When other shares path's elements (a copy, or the path itself), each pair of segments is
// examined once, a curve's own loop counts once, and the joints between consecutive
// segments are not intersections.
std::vector<KXBezierPathIntersection> allIntersectionsWithPath(
    const platform::BezierPath& path, const platform::BezierPath& other);

// allIntersectionsWithPath of path with other, of path with itself and of other with itself,
// indexing each path's segments once.
struct IntersectionsAmong {
    std::vector<KXBezierPathIntersection> across;
    std::vector<KXBezierPathIntersection> withinPath;
    std::vector<KXBezierPathIntersection> withinOther;
};
IntersectionsAmong allIntersectionsAmong(
    const platform::BezierPath& path, const platform::BezierPath& other);

// Crossings with the straight line from lineStart to lineEnd, every subpath walked.

// The crossing of the line origin + b * delta with the segment start + a * segmentDelta (a, b
// within [0, 1] to rounding); false for parallel lines and segments without length, which have
// no single crossing. Parallel is judged against the two lengths, so that the answer does
// not depend on the scale of the drawing.
bool _straightLineIntersection(double* lineParameter, double* segmentParameter,
    const platform::Point& segmentStart, const platform::Point& segmentDelta,
    const platform::Point& lineOrigin, const platform::Point& lineDelta);
// The crossing of the line with the curve (in coefficient form) nearest the line's origin:
// its line parameter clamped to [0, 1] and its curve parameter.
bool _curvedIntersection(double* lineParameter, double* curveParameter, const Coefficients& curve,
    const platform::Point& lineOrigin, const platform::Point& lineDelta);

// The crossing nearest lineStart, strictly before lineEnd (a crossing at or beyond the line's
// end does not count), walked as the stroke hit test walks (a close-path runs back to the
// subpath start of those rules).
bool intersectionWithLine(const platform::BezierPath& path, platform::Point* point,
    const platform::Point& lineStart, const platform::Point& lineEnd);

// The crossing nearest lineStart as an intersection record: the left half on the path (its
// segment index; overlaps along the line carry spans), the right half on the line (segment
// 0), the location on the line. Every subpath is closed for this.
bool firstIntersectionWithLine(const platform::BezierPath& path, KXBezierPathIntersection* record,
    const platform::Point& lineStart, const platform::Point& lineEnd);
