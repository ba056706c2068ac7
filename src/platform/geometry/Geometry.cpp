#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/FloatPoint.h"
#include "platform/geometry/Rect.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {

bool nearlyEqual(const Point& a, const Point& b, double eps)
{
    return std::abs(a.x - b.x) <= eps && std::abs(a.y - b.y) <= eps;
}

// ---- Rect

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
// The platform's infinite rectangle: a huge finite rectangle centred on the origin.
constexpr double kInfiniteHalf = 8.98846567431158e307;
} // namespace

double Rect::minX() const { return size.width < 0 ? origin.x + size.width : origin.x; }
double Rect::maxX() const { return size.width < 0 ? origin.x : origin.x + size.width; }
double Rect::minY() const { return size.height < 0 ? origin.y + size.height : origin.y; }
double Rect::maxY() const { return size.height < 0 ? origin.y : origin.y + size.height; }

bool Rect::isEmpty() const
{
    // Written so that a NaN size counts as empty, as the header promises.
    return isNull() || !(size.width < 0.0 || size.width > 0.0)
        || !(size.height < 0.0 || size.height > 0.0);
}

bool Rect::isNull() const { return origin.x == kInf && origin.y == kInf; }

Rect Rect::null() { return {kInf, kInf, 0.0, 0.0}; }

Rect Rect::infinite()
{
    return {-kInfiniteHalf, -kInfiniteHalf, 2 * kInfiniteHalf, 2 * kInfiniteHalf};
}

bool Rect::isInfinite() const { return *this == infinite(); }

Rect Rect::standardized() const
{
    if (isNull())
        return *this;
    return {minX(), minY(), std::abs(size.width), std::abs(size.height)};
}

Rect Rect::insetBy(double dx, double dy) const
{
    if (isNull())
        return *this;
    Rect r = standardized();
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0)
        return null();
    return r;
}

Rect Rect::offsetBy(double dx, double dy) const
{
    if (isNull())
        return *this;
    return {origin.x + dx, origin.y + dy, size.width, size.height};
}

Rect Rect::intersection(const Rect& other) const
{
    if (isNull() || other.isNull())
        return null();
    const double x0 = std::max(minX(), other.minX());
    const double y0 = std::max(minY(), other.minY());
    const double x1 = std::min(maxX(), other.maxX());
    const double y1 = std::min(maxY(), other.maxY());
    if (x1 < x0 || y1 < y0)
        return null();
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::enclosing(std::span<const Point> points)
{
    if (points.empty())
        return null();
    double x0 = points.front().x, y0 = points.front().y, x1 = x0, y1 = y0;
    for (const Point& p : points) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::united(const Rect& other) const
{
    if (isNull())
        return other.standardized();
    if (other.isNull())
        return standardized();
    const double x0 = std::min(minX(), other.minX());
    const double y0 = std::min(minY(), other.minY());
    const double x1 = std::max(maxX(), other.maxX());
    const double y1 = std::max(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::integral() const
{
    if (isNull())
        return *this;
    const double x0 = std::floor(minX()), y0 = std::floor(minY());
    const double x1 = std::ceil(maxX()), y1 = std::ceil(maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::intersects(const Rect& other) const
{
    const Rect r = intersection(other);
    return !r.isNull() && !r.isEmpty();
}

bool Rect::contains(const Point& p) const
{
    return !isNull() && p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& r) const
{
    if (isNull() || r.isNull())
        return false;
    return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
}

// ---- AffineTransform

AffineTransform AffineTransform::makeRotation(double radians)
{
    const double s = std::sin(radians), co = std::cos(radians);
    return {co, s, -s, co, 0, 0};
}

AffineTransform AffineTransform::translated(double x, double y) const
{
    return makeTranslation(x, y).concatenated(*this);
}

AffineTransform AffineTransform::scaled(double sx, double sy) const
{
    return makeScale(sx, sy).concatenated(*this);
}

AffineTransform AffineTransform::rotated(double radians) const
{
    return makeRotation(radians).concatenated(*this);
}

AffineTransform AffineTransform::concatenated(const AffineTransform& o) const
{
    return {a * o.a + b * o.c,          a * o.b + b * o.d,          c * o.a + d * o.c,
            c * o.b + d * o.d,          tx * o.a + ty * o.c + o.tx, tx * o.b + ty * o.d + o.ty};
}

std::optional<AffineTransform> AffineTransform::inverted() const
{
    const double det = determinant();
    if (det == 0.0 || !std::isfinite(det))
        return std::nullopt;
    const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    const AffineTransform inv{ia, ib, ic, id, -(tx * ia + ty * ic), -(tx * ib + ty * id)};
    if (!std::isfinite(inv.a) || !std::isfinite(inv.b) || !std::isfinite(inv.c)
        || !std::isfinite(inv.d) || !std::isfinite(inv.tx) || !std::isfinite(inv.ty))
        return std::nullopt;
    return inv;
}

Rect AffineTransform::mapRect(const Rect& r) const
{
    if (r.isNull())
        return r;
    const Point p[4] = {map({r.minX(), r.minY()}), map({r.maxX(), r.minY()}),
                        map({r.maxX(), r.maxY()}), map({r.minX(), r.maxY()})};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const Point& q : p) {
        x0 = std::min(x0, q.x);
        x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y);
        y1 = std::max(y1, q.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace platform
