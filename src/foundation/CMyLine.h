#pragma once
// A 2-D line a*x + b*y + c = 0 in single precision, optionally bounded by a start and an end
// point. Shape outlines, handle hit tests, the resize and rubber-band gestures, the perspective
// warp and the selection overlay all share it.
//
// Every operation is float arithmetic in a fixed order, and every comparison is exact: there is
// no tolerance anywhere, so results are reproducible bit for bit (the build sets
// -ffp-contract=off). A line whose normal (a, b) is (0, 0) is degenerate and meets nothing.
#include "platform/geometry/FloatPoint.h"

using platform::FloatPoint;

class CMyLine {
public:
    // All nine fields 0.
    CMyLine() = default;
    // A segment from p1 to p2 (both flags set). The normal (a, b) points to the right of the
    // direction from p1 to p2 in a y-up frame.
    CMyLine(FloatPoint p1, FloatPoint p2);
    CMyLine(float x1, float y1, float x2, float y2);
    // Coefficients as passed; no end points.
    CMyLine(float a, float b, float c);
    // The line through p with normal (a, b); p becomes the start point, no end point.
    CMyLine(FloatPoint p, float a, float b);

    // Re-initialise exactly as the matching constructors.
    void SetPoints(FloatPoint p1, FloatPoint p2);
    void SetPoints(float x1, float y1, float x2, float y2);

    // The line through p perpendicular to this one, with normal (-b, a) and p as its start.
    CMyLine Perpendicular(FloatPoint p) const;

    // True when the two infinite lines meet in exactly one point.
    bool IsIntersect(const CMyLine& other) const;
    // Writes the meeting point of the infinite lines to *out (when out is given) and returns
    // true; returns false with *out untouched when IsIntersect is false.
    bool Intersection(const CMyLine& other, FloatPoint* out) const;
    // True when both lines are bounded segments whose meeting point lies in the closed bounding
    // box of each. Once both are segments, *out receives the meeting point of the infinite
    // lines whenever there is one, even when the result is false.
    bool SegmentIntersection(const CMyLine& other, FloatPoint* out) const;

    // Perpendicular distance from p to the infinite line (never negative). Optional outputs:
    // *inside is 1 when the foot lies in the closed bounding box of (x1, y1)-(x2, y2) whatever
    // the flags say; *signedDistance is positive on the right-hand side of the direction from
    // start to end (y-up); *foot is the foot of the perpendicular, (0, 0) on a degenerate line.
    float DistanceToPoint(const FloatPoint& p, int* inside = nullptr,
        float* signedDistance = nullptr, FloatPoint* foot = nullptr) const;

    // *out1 = p + d*u and *out2 = p - d*u, u the unit direction (-b, a) / |(a, b)|. On a
    // degenerate line there is no direction: both outputs are p.
    void PointsAtDistance(FloatPoint p, float d, FloatPoint* out1, FloatPoint* out2) const;

    // Cosine of the angle at p2 between the directions to p0 and to p1. When p0 or p1 equals
    // p2 there is no angle; the result is then 1 (as for coincident directions), never NaN.
    static float CosAngle(FloatPoint p0, FloatPoint p1, FloatPoint p2);

    // True when an end point of l1 equals (exactly) an end point of l2; the flags are ignored.
    static bool SharesEndPoint(const CMyLine& l1, const CMyLine& l2);

    // True when a*p.x + b*p.y + c > 0: p lies strictly on the side the normal points to, the
    // right-hand side of the direction from start to end (y-up). One rule for every line,
    // horizontal and vertical ones included; a point on the line is on neither side (false).
    bool Side(FloatPoint p) const;

    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    float x1 = 0.0f;
    float y1 = 0.0f;
    float x2 = 0.0f;
    float y2 = 0.0f;
    int bStart = 0;
    int bEnd = 0;

private:
    bool IsDegenerate() const { return a == 0.0f && b == 0.0f; }
    bool IsSegment() const { return bStart != 0 && bEnd != 0; }
    bool BoxContains(FloatPoint p) const;
};

// The two-line forms. Their argument order matters because the member forms are not symmetric
// in rounding: IsIntersect(l1, l2) is l2.IsIntersect(l1), Intersection(l1, l2, out) is
// l2.Intersection(l1, out), and SegmentIntersection(l1, l2, out) is
// l1.SegmentIntersection(l2, out).
bool IsIntersect(CMyLine l1, CMyLine l2);
bool Intersection(CMyLine l1, CMyLine l2, FloatPoint* out);
bool SegmentIntersection(CMyLine l1, CMyLine l2, FloatPoint* out);
