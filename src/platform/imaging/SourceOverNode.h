#pragma once
// The input composited over the background: out = input + background * (1 - input alpha).
// The extent is the union of both.
#include "platform/imaging/FilterNode.h"

namespace platform {

class SourceOverNode final : public FilterNode {
public:
    SourceOverNode(FilterNodePtr input, FilterNodePtr background);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;

private:
    FilterNodePtr m_input, m_background;
};

} // namespace platform
