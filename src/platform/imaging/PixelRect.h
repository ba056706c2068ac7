#pragma once
// A rectangle of whole pixels in render space: y-up, half-open, origin at the bottom-left
// pixel. Render space is working space times the render scale. Coordinates are kept within
// +-kPixelLimit so that no sum of two of them overflows an int.
#include "platform/geometry/Rect.h"

#include <algorithm>
#include <cmath>

namespace platform {

struct PixelRect {
    static constexpr int kPixelLimit = 1 << 29;

    int x = 0, y = 0, width = 0, height = 0;

    constexpr PixelRect() = default;
    constexpr PixelRect(int x_, int y_, int w, int h)
        : x(x_)
        , y(y_)
        , width(w)
        , height(h)
    {
    }
    constexpr bool operator==(const PixelRect&) const = default;

    constexpr int maxX() const { return x + width; }
    constexpr int maxY() const { return y + height; }
    constexpr bool isEmpty() const { return width <= 0 || height <= 0; }
    constexpr long long area() const { return isEmpty() ? 0 : (long long)width * height; }

    constexpr bool contains(const PixelRect& r) const
    {
        return r.x >= x && r.y >= y && r.maxX() <= maxX() && r.maxY() <= maxY();
    }

    constexpr PixelRect intersected(const PixelRect& o) const
    {
        const int x0 = std::max(x, o.x), y0 = std::max(y, o.y);
        const int x1 = std::min(maxX(), o.maxX()), y1 = std::min(maxY(), o.maxY());
        if (x1 <= x0 || y1 <= y0)
            return {};
        return { x0, y0, x1 - x0, y1 - y0 };
    }

    constexpr PixelRect united(const PixelRect& o) const
    {
        if (isEmpty())
            return o;
        if (o.isEmpty())
            return *this;
        const int x0 = std::min(x, o.x), y0 = std::min(y, o.y);
        return { x0, y0, std::max(maxX(), o.maxX()) - x0, std::max(maxY(), o.maxY()) - y0 };
    }

    // Grown by m on every side, kept within the limits.
    PixelRect adjusted(int m) const
    {
        const long long x0 = std::max<long long>((long long)x - m, -kPixelLimit);
        const long long y0 = std::max<long long>((long long)y - m, -kPixelLimit);
        const long long x1 = std::min<long long>((long long)maxX() + m, kPixelLimit);
        const long long y1 = std::min<long long>((long long)maxY() + m, kPixelLimit);
        if (x1 <= x0 || y1 <= y0)
            return {};
        return { int(x0), int(y0), int(x1 - x0), int(y1 - y0) };
    }

    // A coordinate made safe for int conversion: NaN becomes 0, the rest is clamped.
    static int clampCoordinate(double v)
    {
        if (std::isnan(v))
            return 0;
        return int(std::clamp(v, double(-kPixelLimit), double(kPixelLimit)));
    }

    // The smallest pixel rectangle covering r (infinite rectangles are cut to the limits).
    static PixelRect covering(const Rect& r)
    {
        if (r.isNull() || r.isEmpty())
            return {};
        const int x0 = clampCoordinate(std::floor(r.minX()));
        const int y0 = clampCoordinate(std::floor(r.minY()));
        const int x1 = clampCoordinate(std::ceil(r.maxX()));
        const int y1 = clampCoordinate(std::ceil(r.maxY()));
        if (x1 <= x0 || y1 <= y0)
            return {};
        return { x0, y0, x1 - x0, y1 - y0 };
    }

    // The pixels whose centres lie inside r (its edges rounded to the nearest pixel edge).
    static PixelRect rounding(const Rect& r)
    {
        if (r.isNull() || r.isEmpty())
            return {};
        const int x0 = clampCoordinate(std::round(r.minX()));
        const int y0 = clampCoordinate(std::round(r.minY()));
        const int x1 = clampCoordinate(std::round(r.maxX()));
        const int y1 = clampCoordinate(std::round(r.maxY()));
        if (x1 <= x0 || y1 <= y0)
            return {};
        return { x0, y0, x1 - x0, y1 - y0 };
    }

    Rect toRect() const { return { double(x), double(y), double(width), double(height) }; }
};

} // namespace platform
