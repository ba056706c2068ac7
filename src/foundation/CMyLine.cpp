#include "foundation/CMyLine.h"

#include <algorithm>
#include <cmath>

CMyLine::CMyLine(FloatPoint p1, FloatPoint p2)
{
    SetPoints(p1.x, p1.y, p2.x, p2.y);
}

CMyLine::CMyLine(float x1_, float y1_, float x2_, float y2_)
{
    SetPoints(x1_, y1_, x2_, y2_);
}

CMyLine::CMyLine(float a_, float b_, float c_)
    : a(a_)
    , b(b_)
    , c(c_)
{
}

CMyLine::CMyLine(FloatPoint p, float a_, float b_)
    : a(a_)
    , b(b_)
    , c(-(p.y * b_ + p.x * a_))
    , x1(p.x)
    , y1(p.y)
    , bStart(1)
{
}

void CMyLine::SetPoints(FloatPoint p1, FloatPoint p2)
{
    SetPoints(p1.x, p1.y, p2.x, p2.y);
}

void CMyLine::SetPoints(float x1_, float y1_, float x2_, float y2_)
{
    x1 = x1_;
    y1 = y1_;
    x2 = x2_;
    y2 = y2_;
    bStart = 1;
    bEnd = 1;
    a = y2 - y1;
    b = x1 - x2;
    c = -b * y1 - a * x1;
}

CMyLine CMyLine::Perpendicular(FloatPoint p) const
{
    CMyLine perp(-b, a, -(p.y * a - p.x * b));
    perp.x1 = p.x;
    perp.y1 = p.y;
    perp.bStart = 1;
    return perp;
}

bool CMyLine::IsIntersect(const CMyLine& o) const
{
    if (o.IsDegenerate() || IsDegenerate())
        return false;
    if (a == 0.0f && o.a == 0.0f)
        return false;
    if (a == o.a && b == o.b)
        return false;
    if (o.b == 0.0f) {
        if (a == 0.0f)
            return true;
        if (b == 0.0f)
            return false;
    } else if (a == 0.0f || b == 0.0f) {
        return true;
    }
    return o.a / a != o.b / b;
}

bool CMyLine::Intersection(const CMyLine& o, FloatPoint* out) const
{
    if (!IsIntersect(o))
        return false;
    float x;
    float y;
    if (a == 0.0f) {
        y = -c / b;
        x = -(y * o.b + o.c) / o.a;
    } else if (b == 0.0f) {
        x = -c / a;
        y = -(x * o.a + o.c) / o.b;
    } else if (o.b == 0.0f) {
        x = -o.c / o.a;
        y = -(a * x + c) / b;
    } else {
        x = (c / b - o.c / o.b) / (o.a / o.b - a / b);
        y = -(o.a * x + o.c) / o.b;
    }
    if (out)
        *out = FloatPoint(x, y);
    return true;
}

bool CMyLine::BoxContains(FloatPoint p) const
{
    return std::min(x1, x2) <= p.x && p.x <= std::max(x1, x2) && std::min(y1, y2) <= p.y
        && p.y <= std::max(y1, y2);
}

bool CMyLine::SegmentIntersection(const CMyLine& o, FloatPoint* out) const
{
    if (!IsSegment() || !o.IsSegment())
        return false;
    FloatPoint p;
    if (!Intersection(o, &p))
        return false;
    if (out)
        *out = p;
    return BoxContains(p) && o.BoxContains(p);
}

float CMyLine::DistanceToPoint(
    const FloatPoint& p, int* inside, float* signedDistance, FloatPoint* foot) const
{
    CMyLine perp(b, -a, -(p.x * b - p.y * a));
    perp.x1 = p.x;
    perp.y1 = p.y;
    perp.bStart = 1;

    FloatPoint f;
    Intersection(perp, &f);
    const float dx = p.x - f.x;
    const float dy = p.y - f.y;
    const float d = std::sqrt(dx * dx + dy * dy);

    if (inside)
        *inside = BoxContains(f) ? 1 : 0;
    if (signedDistance)
        *signedDistance = (x1 - p.x) * (y2 - p.y) < (y1 - p.y) * (x2 - p.x) ? d : -d;
    if (foot)
        *foot = f;
    return d;
}

void CMyLine::PointsAtDistance(FloatPoint p, float d, FloatPoint* out1, FloatPoint* out2) const
{
    const float n = std::sqrt(a * a + b * b);
    if (n == 0.0f) {
        if (out1)
            *out1 = p;
        if (out2)
            *out2 = p;
        return;
    }
    if (out1)
        *out1 = FloatPoint(p.x - d * b / n, p.y + d * a / n);
    if (out2)
        *out2 = FloatPoint(p.x + d * b / n, p.y - d * a / n);
}

float CMyLine::CosAngle(FloatPoint p0, FloatPoint p1, FloatPoint p2)
{
    const float ux = p0.x - p2.x;
    const float uy = p0.y - p2.y;
    const float vx = p1.x - p2.x;
    const float vy = p1.y - p2.y;
    const float lengths = std::sqrt(ux * ux + uy * uy) * std::sqrt(vx * vx + vy * vy);
    if (lengths == 0.0f)
        return 1.0f;
    return (ux * vx + uy * vy) / lengths;
}

bool CMyLine::SharesEndPoint(const CMyLine& l1, const CMyLine& l2)
{
    return (l1.x1 == l2.x1 && l1.y1 == l2.y1) || (l1.x1 == l2.x2 && l1.y1 == l2.y2)
        || (l1.x2 == l2.x1 && l1.y2 == l2.y1) || (l1.x2 == l2.x2 && l1.y2 == l2.y2);
}

bool CMyLine::Side(FloatPoint p) const
{
    return a * p.x + b * p.y + c > 0.0f;
}

bool IsIntersect(CMyLine l1, CMyLine l2)
{
    return l2.IsIntersect(l1);
}

bool Intersection(CMyLine l1, CMyLine l2, FloatPoint* out)
{
    return l2.Intersection(l1, out);
}

bool SegmentIntersection(CMyLine l1, CMyLine l2, FloatPoint* out)
{
    return l1.SegmentIntersection(l2, out);
}
