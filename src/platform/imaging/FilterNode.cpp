#include "platform/imaging/FilterNode.h"

namespace platform {

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
