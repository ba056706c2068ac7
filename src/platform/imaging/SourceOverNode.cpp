#include "platform/imaging/SourceOverNode.h"

namespace platform {

SourceOverNode::SourceOverNode(FilterNodePtr input, FilterNodePtr background)
    : m_input(std::move(input))
    , m_background(std::move(background))
{
}

Rect SourceOverNode::extent() const
{
    return m_input->extent().united(m_background->extent());
}

bool SourceOverNode::render(const RenderArgs& args, PixelTile& out) const
{
    PixelTile scratch;
    const PixelRect& o = out.rect();
    if (!m_background->renderInto(args, out))
        return false;
    const PixelTile* top = m_input->renderShared(args, o, scratch);
    if (!top)
        return false;
    for (int y = o.y; y < o.maxY(); ++y) {
        Px* __restrict d = out.row(y);
        const Px* __restrict s = top->at(o.x, y);
        for (int i = 0; i < o.width; ++i)
            d[i] = s[i] + d[i] * (1.0f - s[i][3]);
    }
    return true;
}

} // namespace platform
