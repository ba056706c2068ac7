#include "platform/imaging/FilterNode.h"

#include "platform/imaging/Resampler.h"

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

bool FilterNode::renderScaledUp(const RenderArgs& args, double at, PixelTile& out,
    const std::function<bool(const RenderArgs&, PixelTile&)>& renderAt)
{
    const AffineTransform toCoarse = AffineTransform::makeScale(at / args.scale, at / args.scale);
    PixelTile coarse;
    if (args.cancelled() || !coarse.allocate(Resampler::sourceRect(out.rect(), toCoarse))
        || !renderAt(args.withScale(at), coarse))
        return false;
    Resampler::bilinear(coarse, out, toCoarse);
    return true;
}

Rect FilterNode::scaledRect(const Rect& r, double s)
{
    // Infinite at every scale: scaled, its corner would overflow to minus infinity and its
    // far edge to NaN, and the rectangle would shrink to the quarter below the origin.
    if (r.isNull() || r.isInfinite())
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
