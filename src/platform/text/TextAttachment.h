#pragma once
// An attachment in the text: an empty cell of a fixed size that stands where its attachment
// character (U+FFFC) is. The text system lays the cell out as a box of that width and draws
// nothing for it.
#include "platform/geometry/Size.h"

namespace platform {

struct TextAttachment {
    Size cellSize;

    static constexpr char16_t character = 0xFFFC;

    bool operator==(const TextAttachment&) const = default;
};

} // namespace platform
