#pragma once
// The input extended without bounds by repeating its edge pixels outwards. An input without
// bounds passes through unchanged.
//
// The edge pixels are those of working space (one per picture pixel). A render zoomed in past
// them reads the input at working scale, extends that and resamples it up: a picture's own
// render there fades to clear across the outer half of its edge pixels, and it is the
// picture's edge, not that fade, that the extension repeats. It also costs no more than the
// picture's own pixels at any zoom.
#include "platform/imaging/FilterNode.h"

namespace platform {

class ClampNode final : public FilterNode {
public:
    explicit ClampNode(FilterNodePtr input);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;
    // Rows beyond the edge repeat its row: a band there reads one input row. Zoomed in, each
    // band would resample rows its neighbours also read.
    bool rendersRowsAlone(const RenderArgs& args) const override
    {
        return args.scale <= 1 && m_input->rendersRowsAlone(args);
    }

private:
    // The extension at args' scale, of the edge pixels of the input's render at that scale.
    bool extend(const RenderArgs& args, PixelTile& out) const;

    FilterNodePtr m_input;
};

} // namespace platform
