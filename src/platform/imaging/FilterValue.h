#pragma once
// The values a filter input takes: a number, a vector (points, rectangles as x, y, w, h,
// colour-matrix rows), a transform, a colour or an image. Monostate means "not set".
#include "platform/geometry/AffineTransform.h"
#include "platform/graphics/Color.h"
#include "platform/imaging/FilterImage.h"

#include <array>
#include <variant>

namespace platform {

struct FilterVector {
    std::array<double, 4> v { 0, 0, 0, 0 };
    int count = 0;

    constexpr FilterVector() = default;
    constexpr FilterVector(double x, double y)
        : v { x, y, 0, 0 }
        , count(2)
    {
    }
    constexpr FilterVector(double x, double y, double z, double w)
        : v { x, y, z, w }
        , count(4)
    {
    }
    static FilterVector fromRect(const Rect& r) { return { r.x(), r.y(), r.width(), r.height() }; }
    static FilterVector fromPoint(const Point& p) { return { p.x, p.y }; }

    Rect toRect() const { return { v[0], v[1], v[2], v[3] }; }
    Point toPoint() const { return { v[0], v[1] }; }
    bool operator==(const FilterVector&) const = default;
};

using FilterValue
    = std::variant<std::monostate, double, FilterVector, AffineTransform, Color, FilterImage>;

} // namespace platform
