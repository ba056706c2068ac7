#pragma once
#include "platform/geometry/Point.h"

namespace platform {

// A point of two 32-bit floats: the point type of the single-precision geometry code.
struct FloatPoint {
    float x = 0.0f;
    float y = 0.0f;

    constexpr FloatPoint() = default;
    constexpr FloatPoint(float x_, float y_) : x(x_), y(y_) {}
    // Narrows a double-precision point through float.
    explicit constexpr FloatPoint(const Point& p) : x(float(p.x)), y(float(p.y)) {}

    constexpr bool operator==(const FloatPoint&) const = default;
    constexpr Point toPoint() const { return {x, y}; }
};

} // namespace platform
