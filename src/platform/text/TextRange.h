#pragma once
// A range of UTF-16 code units, as the text system counts characters.
#include <algorithm>

namespace platform {

struct TextRange {
    int location = 0;
    int length = 0;

    constexpr TextRange() = default;
    constexpr TextRange(int loc, int len)
        : location(loc)
        , length(len)
    {
    }

    constexpr bool operator==(const TextRange&) const = default;

    constexpr int end() const { return location + length; }
    constexpr bool isEmpty() const { return length == 0; }
    constexpr bool contains(int index) const { return index >= location && index < end(); }

    // The range limited to [0, limit]; a negative length becomes 0. Every text operation
    // clamps its ranges this way instead of failing.
    [[nodiscard]] constexpr TextRange clamped(int limit) const
    {
        const int loc = std::clamp(location, 0, std::max(limit, 0));
        const int len = std::clamp(length, 0, std::max(limit, 0) - loc);
        return { loc, len };
    }
};

} // namespace platform
