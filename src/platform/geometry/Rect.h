#pragma once
// A rectangle in double precision, origin at its bottom-left corner (y-up). The operations
// follow the platform's rectangle functions: a rectangle with a negative size is
// standardised before min/max queries, and an empty rectangle has zero width or height.
#include "platform/geometry/Point.h"
#include "platform/geometry/Size.h"

#include <QRectF>
#include <span>

namespace platform {

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double w, double h) : origin(x, y), size(w, h) {}
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}

    constexpr bool operator==(const Rect&) const = default;

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }

    double minX() const;
    double maxX() const;
    double minY() const;
    double maxY() const;
    double midX() const { return origin.x + size.width * 0.5; }
    double midY() const { return origin.y + size.height * 0.5; }
    Point center() const { return {midX(), midY()}; }

    // True when the width or the height is zero (or not a number).
    bool isEmpty() const;
    bool isFinite() const { return origin.isFinite() && size.isFinite(); }
    // The null rectangle is what the intersection of disjoint rectangles returns.
    bool isNull() const;
    static Rect null();
    static Rect infinite();
    // The smallest rectangle holding every point; null for none.
    static Rect enclosing(std::span<const Point> points);
    bool isInfinite() const;

    // The same rectangle with a non-negative size.
    [[nodiscard]] Rect standardized() const;
    [[nodiscard]] Rect insetBy(double dx, double dy) const;
    [[nodiscard]] Rect offsetBy(double dx, double dy) const;
    [[nodiscard]] Rect intersection(const Rect& other) const;
    [[nodiscard]] Rect united(const Rect& other) const;
    // The smallest rectangle with integral coordinates that contains this one.
    [[nodiscard]] Rect integral() const;

    bool intersects(const Rect& other) const;
    // Half-open containment, as the platform's mouse-in-rect test for y-up views.
    bool contains(const Point& p) const;
    bool contains(const Rect& r) const;

    QRectF toQt() const { return {origin.x, origin.y, size.width, size.height}; }
    static Rect fromQt(const QRectF& r) { return {r.x(), r.y(), r.width(), r.height()}; }
};

} // namespace platform
