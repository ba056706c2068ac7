#pragma once
// Helpers of the shape geometry tests: box corners (optionally turned about p0), the points a
// path passes through, and turning a point the same way.
#include "boxes/UnitBoxMap.h"
#include "platform/graphics/BezierPath.h"

#include <cmath>
#include <vector>

namespace shapetest {

using platform::Point;

inline Point turned(const Point& p, const Point& about, double degrees)
{
    const double a = degrees * 3.14159265358979323846 / 180.0;
    const double dx = p.x - about.x;
    const double dy = p.y - about.y;
    return { about.x + dx * std::cos(a) - dy * std::sin(a),
        about.y + dx * std::sin(a) + dy * std::cos(a) };
}

// The corners of a w x h box with origin o, turned counter-clockwise about o.
inline BoxCorners corners(Point o, double w, double h, double degrees = 0.0)
{
    BoxCorners c { o, Point(o.x + w, o.y), Point(o.x + w, o.y + h), Point(o.x, o.y + h) };
    if (degrees != 0.0)
        for (Point& p : c)
            p = turned(p, o, degrees);
    return c;
}

// Every stored point of the path in order (curve controls included); a close adds nothing.
inline std::vector<Point> pathPoints(const platform::BezierPath& path)
{
    std::vector<Point> out;
    for (const platform::PathElement& e : path.elements()) {
        if (e.kind == platform::PathElementKind::CurveTo)
            out.insert(out.end(), { e.points[0], e.points[1], e.points[2] });
        else if (e.kind != platform::PathElementKind::ClosePath)
            out.push_back(e.points[0]);
    }
    return out;
}

inline double distance(const Point& a, const Point& b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

} // namespace shapetest
