#pragma once
// Conversions to int of numbers that come from records and arithmetic on them: converting a
// NaN, an infinity or an out-of-range value is undefined behaviour in C++, so every such
// conversion in the boxes goes through here.
#include <algorithm>
#include <cmath>
#include <limits>

// Truncation towards zero, held to the int range; 0 for NaN and infinities.
inline int truncToInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    constexpr double lim = double(std::numeric_limits<int>::max());
    return int(std::clamp(v, -lim, lim));
}
