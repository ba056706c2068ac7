#pragma once
// The input where the mask is bright and the background where it is dark: with m the mask's
// green channel (premultiplied, so a clear mask counts as black),
//     out = background + m * (input - background).
// The extent is the union of the input's and the background's. Where the mask is clear the
// background shows alone, and the input is not rendered.
#include "platform/imaging/FilterNode.h"

namespace platform {

class BlendWithMaskNode final : public FilterNode {
public:
    BlendWithMaskNode(FilterNodePtr input, FilterNodePtr background, FilterNodePtr mask);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;
    // Clear where the background is and the mask or the input is.
    bool isClear(const RenderArgs& args, const PixelRect& r) const override;

private:
    FilterNodePtr m_input, m_background, m_mask;
};

} // namespace platform
