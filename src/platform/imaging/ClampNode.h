#pragma once
// The input extended without bounds by repeating its edge pixels outwards. An input without
// bounds passes through unchanged.
#include "platform/imaging/FilterNode.h"

namespace platform {

class ClampNode final : public FilterNode {
public:
    explicit ClampNode(FilterNodePtr input);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;
    // Rows beyond the edge repeat its row: a band there reads one input row.
    bool rendersRowsAlone(const RenderArgs& args) const override
    {
        return m_input->rendersRowsAlone(args);
    }

private:
    FilterNodePtr m_input;
};

} // namespace platform
