#include "foundation/ParagraphStyleAdditions.h"

platform::ParagraphStyle mutableParagraphStyleWithTextAlignment(platform::TextAlignment alignment)
{
    return platform::ParagraphStyle::withAlignment(alignment);
}
