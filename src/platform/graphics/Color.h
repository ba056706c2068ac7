#pragma once
// A colour of four unclamped double components in sRGB (every colour space the model names,
// generic, calibrated or device RGB, is sRGB here). Components are kept as given: arithmetic
// on them may leave 0..1; they are clamped only where a colour becomes pixels.
#include <QColor>

namespace platform {

struct Color {
    double red = 0.0, green = 0.0, blue = 0.0, alpha = 1.0;

    constexpr Color() = default;
    constexpr Color(double r, double g, double b, double a = 1.0)
        : red(r), green(g), blue(b), alpha(a) {}

    // Exact component equality (the colour-space is always the same).
    constexpr bool operator==(const Color&) const = default;

    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color white() { return {1, 1, 1, 1}; }
    static constexpr Color clear() { return {0, 0, 0, 0}; }
    static constexpr Color grey(double white, double alpha = 1.0) { return {white, white, white, alpha}; }

    [[nodiscard]] constexpr Color withAlpha(double a) const { return {red, green, blue, a}; }

    // Clamped to 0..1 per component (NaN becomes 0).
    QColor toQt() const;
    static Color fromQt(const QColor& c);
};

} // namespace platform
