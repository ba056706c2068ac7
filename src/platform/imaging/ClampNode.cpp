#include "platform/imaging/ClampNode.h"

#include <algorithm>

namespace platform {

ClampNode::ClampNode(FilterNodePtr input)
    : m_input(std::move(input))
{
}

Rect ClampNode::extent() const
{
    const Rect e = m_input->extent();
    return e.isNull() || e.isEmpty() ? e : Rect::infinite();
}

bool ClampNode::render(const RenderArgs& args, PixelTile& out) const
{
    if (m_input->extent().isInfinite())
        return m_input->renderInto(args, out);
    if (!(args.scale > 1))
        return extend(args, out);
    // Working pixels resampled up, as the input's own render would be, but from the extended
    // ones.
    return renderScaledUp(
        args, 1.0, out, [this](const RenderArgs& at, PixelTile& tile) { return extend(at, tile); });
}

bool ClampNode::extend(const RenderArgs& args, PixelTile& out) const
{
    const Rect e = m_input->extent();
    const PixelRect edge = roundedPixels(e, args.scale);
    const PixelRect& o = out.rect();
    if (edge.isEmpty()) {
        out.fill(Px { 0, 0, 0, 0 });
        return true;
    }
    if (edge.contains(o))
        return m_input->renderInto(args, out);
    // The part of the input the clamped coordinates reach.
    const int x0 = std::clamp(o.x, edge.x, edge.maxX() - 1);
    const int x1 = std::clamp(o.maxX() - 1, edge.x, edge.maxX() - 1);
    const int y0 = std::clamp(o.y, edge.y, edge.maxY() - 1);
    const int y1 = std::clamp(o.maxY() - 1, edge.y, edge.maxY() - 1);
    PixelTile src;
    if (!m_input->renderRect(args, { x0, y0, x1 - x0 + 1, y1 - y0 + 1 }, src))
        return false;
    const int left = std::clamp(x0 - o.x, 0, o.width); // columns before the input
    const int right = std::clamp(o.maxX() - 1 - x1, 0, o.width); // columns after it
    const int middle = o.width - left - right;
    for (int y = o.y; y < o.maxY(); ++y) {
        const Px* s = src.row(std::clamp(y, y0, y1));
        Px* d = out.row(y);
        std::fill_n(d, left, s[0]);
        std::copy_n(s + (o.x + left - x0), middle, d + left);
        std::fill_n(d + left + middle, right, s[x1 - x0]);
    }
    return true;
}

} // namespace platform
