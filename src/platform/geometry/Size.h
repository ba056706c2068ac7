#pragma once
#include <QSizeF>
#include <cmath>

namespace platform {

// A size in double precision. Negative sizes are allowed, as in the model's rectangles.
struct Size {
    double width = 0.0;
    double height = 0.0;

    constexpr Size() = default;
    constexpr Size(double w, double h) : width(w), height(h) {}

    constexpr bool operator==(const Size&) const = default;

    bool isFinite() const { return std::isfinite(width) && std::isfinite(height); }

    QSizeF toQt() const { return {width, height}; }
    static Size fromQt(const QSizeF& s) { return {s.width(), s.height()}; }
};

} // namespace platform
