#include "platform/imaging/BlendWithMaskNode.h"

#include "platform/imaging/ConstantColorNode.h"

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

bool BlendWithMaskNode::isClear(const RenderArgs& args, const PixelRect& r) const
{
    return m_background->isClear(args, r)
        && (m_mask->isClear(args, r) || m_input->isClear(args, r));
}

bool BlendWithMaskNode::render(const RenderArgs& args, PixelTile& out) const
{
    PixelTile inScratch, maskScratch;
    const PixelRect& o = out.rect();
    // A plain colour behind (the usual clear one) is blended in directly, without a pass that
    // fills the tile with it first.
    const auto* plain = dynamic_cast<const ConstantColorNode*>(m_background.get());
    if (!plain && !m_background->renderInto(args, out))
        return false;
    if (m_mask->isClear(args, o)) {
        // background + 0 * (input - background): the background.
        if (plain)
            out.fill(plain->value());
        return !args.cancelled();
    }
    const PixelTile* in = m_input->renderShared(args, o, inScratch);
    const PixelTile* mask = in ? m_mask->renderShared(args, o, maskScratch) : nullptr;
    if (!mask)
        return false;
    const Px bg = plain ? plain->value() : Px { 0, 0, 0, 0 };
    for (int y = o.y; y < o.maxY(); ++y) {
        Px* __restrict d = out.row(y);
        const Px* __restrict s = in->at(o.x, y);
        const Px* __restrict m = mask->at(o.x, y);
        if (plain) {
            for (int i = 0; i < o.width; ++i)
                d[i] = bg + (s[i] - bg) * m[i][1];
        } else {
            for (int i = 0; i < o.width; ++i)
                d[i] += (s[i] - d[i]) * m[i][1];
        }
    }
    return true;
}

} // namespace platform
