#include "platform/imaging/RadialGradientNode.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {
Px premultiplied(const Color& c)
{
    const float a = float(c.alpha);
    return Px { float(c.red) * a, float(c.green) * a, float(c.blue) * a, a };
}
} // namespace

RadialGradientNode::RadialGradientNode(
    Point center, double radius0, double radius1, const Color& c0, const Color& c1)
    : m_center(center)
    , m_r0(radius0)
    , m_r1(radius1)
    , m_c0(premultiplied(c0))
    , m_c1(premultiplied(c1))
{
}

bool RadialGradientNode::render(const RenderArgs& args, PixelTile& out) const
{
    const double s = args.scale;
    const double cx = m_center.x * s, cy = m_center.y * s;
    const double r0 = m_r0 * s, r1 = m_r1 * s;
    const double span = r1 - r0;
    const PixelRect& o = out.rect();
    for (int y = o.y; y < o.maxY(); ++y) {
        Px* d = out.row(y);
        const double dy = y + 0.5 - cy;
        for (int i = 0; i < o.width; ++i) {
            const double dist = std::hypot(o.x + i + 0.5 - cx, dy);
            float t;
            if (span == 0.0 || !std::isfinite(span))
                t = dist < r0 ? 0.0f : 1.0f;
            else
                t = float(std::clamp((dist - r0) / span, 0.0, 1.0));
            d[i] = m_c0 + (m_c1 - m_c0) * t;
        }
    }
    return true;
}

} // namespace platform
