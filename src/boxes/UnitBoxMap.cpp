#include "boxes/UnitBoxMap.h"

#include "foundation/CMyLine.h"

#include <cmath>

using platform::FloatPoint;
using platform::Point;

BoxCorners boxCorners(const std::array<Point, 8>& fourPoints)
{
    return { fourPoints[0], fourPoints[1], fourPoints[2], fourPoints[3] };
}

Point calcPoints(const BoxCorners& c, double u, double v)
{
    const double tx = c[0].x + u * (c[1].x - c[0].x);
    const double ty = c[0].y + u * (c[1].y - c[0].y);
    const double bx = c[3].x + u * (c[2].x - c[3].x);
    const double by = c[3].y + u * (c[2].y - c[3].y);
    return { tx + v * (bx - tx), ty + v * (by - ty) };
}

Point calcPoints(const BoxCorners& c, const Point& unit)
{
    return calcPoints(c, double(float(unit.x)), double(float(unit.y)));
}

namespace {

float edgeLength(const Point& a, const Point& b)
{
    const float len = std::hypot(float(a.x - b.x), float(a.y - b.y));
    return len == 0.0f ? 1.0f : len;
}

} // namespace

Point reversePoint(const BoxCorners& c, const Point& q)
{
    const CMyLine top { FloatPoint(c[0]), FloatPoint(c[1]) };
    const CMyLine left { FloatPoint(c[0]), FloatPoint(c[3]) };
    const FloatPoint qf(q);
    const float dl = left.DistanceToPoint(qf);
    const float dt = top.DistanceToPoint(qf);
    const float lt = edgeLength(c[0], c[1]);
    const float ll = edgeLength(c[0], c[3]);
    const bool uPositive = (c[0].x - q.x) * (c[3].y - q.y) < (c[3].x - q.x) * (c[0].y - q.y);
    const bool vPositive = (c[1].x - q.x) * (c[0].y - q.y) < (c[0].x - q.x) * (c[1].y - q.y);
    const float u = (uPositive ? dl : -dl) / lt;
    const float v = (vPositive ? dt : -dt) / ll;
    return { double(u), double(v) };
}
