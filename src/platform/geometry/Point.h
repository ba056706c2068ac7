#pragma once
// A point in double precision. The model is y-up: y grows towards the top of the picture.
#include <QPointF>
#include <cmath>

namespace platform {

struct Point {
    double x = 0.0;
    double y = 0.0;

    constexpr Point() = default;
    constexpr Point(double x_, double y_) : x(x_), y(y_) {}

    // Exact comparison; use nearlyEqual() for tolerances.
    constexpr bool operator==(const Point&) const = default;

    constexpr Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
    constexpr Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
    constexpr Point operator*(double s) const { return {x * s, y * s}; }

    bool isFinite() const { return std::isfinite(x) && std::isfinite(y); }

    QPointF toQt() const { return {x, y}; }
    static Point fromQt(const QPointF& p) { return {p.x(), p.y()}; }
};

bool nearlyEqual(const Point& a, const Point& b, double eps);

} // namespace platform
