#include "foundation/ColorAdditions.h"

platform::Color colorWithValue(std::int32_t value)
{
    const auto v = std::uint32_t(value);
    const float r = float((v >> 16) & 255u) / 255.0f;
    const float g = float((v >> 8) & 255u) / 255.0f;
    const float b = float(v & 255u) / 255.0f;
    return {r, g, b, 1.0};
}

platform::Color colorByAdding(const platform::Color& c, float d)
{
    return {c.red + d, c.green + d, c.blue + d, c.alpha};
}
