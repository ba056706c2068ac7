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
    PixelTile top;
    const PixelRect& o = out.rect();
    if (!m_background->render(args, out) || !m_input->renderRect(args, o, top))
        return false;
    for (int y = o.y; y < o.maxY(); ++y) {
        Px* d = out.row(y);
        const Px* s = top.row(y);
        for (int i = 0; i < o.width; ++i)
            d[i] = s[i] + d[i] * (1.0f - s[i][3]);
    }
    return true;
}

} // namespace platform
