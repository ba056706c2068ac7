#pragma once
// An affine transform with the platform's layout:
//   x' = a*x + c*y + tx
//   y' = b*x + d*y + ty
// Order of composition: a.concatenated(b) first transforms by a, then by b. The
// builder forms (translated, scaled, rotated) prepend their step: t.translated(x, y) first
// translates, then applies t, as a drawing context's CTM calls do.
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"
#include "platform/geometry/Size.h"

#include <QTransform>
#include <optional>

namespace platform {

struct AffineTransform {
    double a = 1.0, b = 0.0, c = 0.0, d = 1.0, tx = 0.0, ty = 0.0;

    constexpr AffineTransform() = default;
    constexpr AffineTransform(double a_, double b_, double c_, double d_, double tx_, double ty_)
        : a(a_), b(b_), c(c_), d(d_), tx(tx_), ty(ty_) {}

    constexpr bool operator==(const AffineTransform&) const = default;

    static constexpr AffineTransform identity() { return {}; }
    static AffineTransform makeTranslation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    // Counter-clockwise in a y-up frame.
    static AffineTransform makeRotation(double radians);

    bool isIdentity() const { return *this == AffineTransform(); }

    [[nodiscard]] AffineTransform translated(double x, double y) const;
    [[nodiscard]] AffineTransform scaled(double sx, double sy) const;
    [[nodiscard]] AffineTransform rotated(double radians) const;
    // First this, then other.
    [[nodiscard]] AffineTransform concatenated(const AffineTransform& other) const;
    // Empty when the transform is singular or not finite.
    [[nodiscard]] std::optional<AffineTransform> inverted() const;

    Point map(const Point& p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // Transforms a vector: the translation is ignored.
    Size mapSize(const Size& s) const
    {
        return {a * s.width + c * s.height, b * s.width + d * s.height};
    }
    // The bounding box of the transformed rectangle.
    Rect mapRect(const Rect& r) const;

    double determinant() const { return a * d - b * c; }

    QTransform toQt() const { return QTransform(a, b, c, d, tx, ty); }
    static AffineTransform fromQt(const QTransform& t)
    {
        return {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    }
};

} // namespace platform
