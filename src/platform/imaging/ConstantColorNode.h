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
    bool isClear(const RenderArgs&, const PixelRect&) const override
    {
        return m_value[0] == 0 && m_value[1] == 0 && m_value[2] == 0 && m_value[3] == 0;
    }
    // The premultiplied colour.
    Px value() const { return m_value; }

private:
    Px m_value;
};

} // namespace platform
