#include "platform/imaging/CropNode.h"

namespace platform {

CropNode::CropNode(FilterNodePtr input, const Rect& rect)
    : m_input(std::move(input))
    , m_rect(rect.standardized())
{
}

Rect CropNode::extent() const
{
    return m_input->extent().intersection(m_rect);
}

PixelRect CropNode::keptPixels(double s) const
{
    return roundedPixels(m_rect, s);
}

const FilterNode* CropNode::sameOver(const RenderArgs& args, const PixelRect& r) const
{
    return m_rect.isInfinite() || keptPixels(args.scale).contains(r) ? m_input.get() : nullptr;
}

bool CropNode::isClear(const RenderArgs& args, const PixelRect& r) const
{
    const PixelRect inside = m_rect.isInfinite() ? r : r.intersected(keptPixels(args.scale));
    return inside.isEmpty() || m_input->isClear(args, inside);
}

bool CropNode::render(const RenderArgs& args, PixelTile& out) const
{
    const PixelRect keep = m_rect.isInfinite() ? out.rect() : keptPixels(args.scale);
    const PixelRect inside = out.rect().intersected(keep);
    if (inside == out.rect())
        return m_input->renderInto(args, out);
    if (!inside.isEmpty()) {
        PixelTile part;
        if (!m_input->renderRect(args, inside, part))
            return false;
        out.copyFrom(part, inside);
    }
    out.clearOutside(inside);
    return true;
}

} // namespace platform
