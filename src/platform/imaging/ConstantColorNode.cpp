#include "platform/imaging/ConstantColorNode.h"

namespace platform {

ConstantColorNode::ConstantColorNode(const Color& c)
{
    const float a = float(c.alpha);
    m_value = Px { float(c.red) * a, float(c.green) * a, float(c.blue) * a, a };
}

Rect ConstantColorNode::extent() const
{
    return Rect::infinite();
}

bool ConstantColorNode::render(const RenderArgs&, PixelTile& out) const
{
    out.fill(m_value);
    return true;
}

} // namespace platform
