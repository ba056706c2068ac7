#pragma once
// The input inside a rectangle, clear outside. A pixel is kept when its centre lies inside.
#include "platform/imaging/FilterNode.h"

namespace platform {

class CropNode final : public FilterNode {
public:
    CropNode(FilterNodePtr input, const Rect& rect);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;
    const FilterNode* sameOver(const RenderArgs& args, const PixelRect& r) const override;
    bool isClear(const RenderArgs& args, const PixelRect& r) const override;

private:
    // The kept pixels at scale s.
    PixelRect keptPixels(double s) const;

    FilterNodePtr m_input;
    Rect m_rect;
};

} // namespace platform
