#include "platform/imaging/FilterNode.h"

namespace platform {

bool FilterNode::renderInto(const RenderArgs& args, PixelTile& out) const
{
    if (args.memo) {
        if (const PixelTile* t = args.memo->find(this, args.scale, args.usePyramid, out.rect())) {
            out.copyFrom(*t, out.rect());
            return true;
        }
    }
    return render(args, out);
}

bool FilterNode::renderMapped(const RenderArgs& args, PixelTile& out, const RowOp& op) const
{
    if (!renderInto(args, out))
        return false;
    const PixelRect& o = out.rect();
    for (int y = o.y; y < o.maxY(); ++y)
        op(out.row(y), out.row(y), o.width);
    return true;
}

bool FilterNode::renderRect(const RenderArgs& args, const PixelRect& r, PixelTile& tile) const
{
    return !args.cancelled() && tile.allocate(r) && renderInto(args, tile);
}

const PixelTile* FilterNode::renderShared(
    const RenderArgs& args, const PixelRect& r, PixelTile& scratch) const
{
    if (args.cancelled())
        return nullptr;
    if (args.memo) {
        if (const PixelTile* t = args.memo->find(this, args.scale, args.usePyramid, r))
            return t;
    }
    return scratch.allocate(r) && render(args, scratch) ? &scratch : nullptr;
}

Rect FilterNode::scaledRect(const Rect& r, double s)
{
    if (r.isNull())
        return r;
    const Rect q = r.standardized();
    return { q.x() * s, q.y() * s, q.width() * s, q.height() * s };
}

PixelRect FilterNode::pixelExtent(double s) const
{
    return PixelRect::covering(scaledRect(extent(), s));
}

PixelRect FilterNode::roundedPixels(const Rect& r, double s)
{
    return PixelRect::rounding(scaledRect(r, s));
}

} // namespace platform
