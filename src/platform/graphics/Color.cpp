#include "platform/graphics/Color.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {
double clampUnit(double v)
{
    if (!(v >= 0.0)) // NaN lands here too
        return 0.0;
    return std::min(v, 1.0);
}
} // namespace

QColor Color::toQt() const
{
    return QColor::fromRgbF(float(clampUnit(red)), float(clampUnit(green)), float(clampUnit(blue)),
        float(clampUnit(alpha)));
}

Color Color::fromQt(const QColor& c)
{
    const QColor rgb = c.toRgb();
    return { rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF() };
}

} // namespace platform
