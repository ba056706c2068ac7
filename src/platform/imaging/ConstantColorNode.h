#pragma once
// One colour everywhere: an infinite extent.
#include "platform/graphics/Color.h"
#include "platform/imaging/FilterNode.h"

namespace platform {

class ConstantColorNode final : public FilterNode {
public:
    explicit ConstantColorNode(const Color& c);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;
    // The premultiplied colour.
    Px value() const { return m_value; }

private:
    Px m_value;
};

} // namespace platform
