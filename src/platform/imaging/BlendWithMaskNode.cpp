#include "platform/imaging/BlendWithMaskNode.h"

namespace platform {

BlendWithMaskNode::BlendWithMaskNode(
    FilterNodePtr input, FilterNodePtr background, FilterNodePtr mask)
    : m_input(std::move(input))
    , m_background(std::move(background))
    , m_mask(std::move(mask))
{
}

Rect BlendWithMaskNode::extent() const
{
    return m_input->extent().united(m_background->extent());
}

bool BlendWithMaskNode::render(const RenderArgs& args, PixelTile& out) const
{
    PixelTile in, mask;
    const PixelRect& o = out.rect();
    if (!m_background->render(args, out) || !m_input->renderRect(args, o, in)
        || !m_mask->renderRect(args, o, mask))
        return false;
    for (int y = o.y; y < o.maxY(); ++y) {
        Px* d = out.row(y);
        const Px* s = in.row(y);
        const Px* m = mask.row(y);
        for (int i = 0; i < o.width; ++i)
            d[i] += (s[i] - d[i]) * m[i][1];
    }
    return true;
}

} // namespace platform
