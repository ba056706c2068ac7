#include "platform/imaging/VignetteNode.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {
double safeIntensity(double i)
{
    return std::isfinite(i) ? std::max(i, 0.0) : 0.0;
}
double safeRadius(double r)
{
    return std::isfinite(r) ? std::max(r, 0.001) : 1.0;
}
} // namespace

VignetteNode::VignetteNode(FilterNodePtr input, double intensity, double radius)
    : m_input(std::move(input))
    , m_intensity(safeIntensity(intensity))
    , m_radius(safeRadius(radius))
{
}

double VignetteNode::factor(double d, double intensity, double radius)
{
    const double q = d / safeRadius(radius);
    return 1.0 / (1.0 + safeIntensity(intensity) * q * q * q * q);
}

bool VignetteNode::render(const RenderArgs& args, PixelTile& out) const
{
    if (!m_input->render(args, out))
        return false;
    const Rect e = m_input->extent();
    if (m_intensity == 0.0 || e.isNull() || e.isEmpty() || e.isInfinite())
        return true;
    const double s = args.scale;
    const double cx = e.midX() * s, cy = e.midY() * s;
    const double half = std::hypot(e.width(), e.height()) * 0.5 * s;
    if (!(half > 0) || !std::isfinite(half))
        return true;
    // f = 1 / (1 + k * (dx^2 + dy^2)^2) with k folding intensity, radius and diagonal.
    const double rr = half * m_radius;
    const float k = float(m_intensity / (rr * rr * rr * rr));
    const PixelRect& o = out.rect();
    for (int y = o.y; y < o.maxY(); ++y) {
        Px* p = out.row(y);
        const float dy = float(y + 0.5 - cy);
        const float dy2 = dy * dy;
        float dx = float(o.x + 0.5 - cx);
        for (int i = 0; i < o.width; ++i, dx += 1.0f) {
            const float q = dx * dx + dy2;
            const float f = 1.0f / (1.0f + k * q * q);
            Px v = p[i] * f;
            v[3] = p[i][3];
            p[i] = v;
        }
    }
    return true;
}

} // namespace platform
