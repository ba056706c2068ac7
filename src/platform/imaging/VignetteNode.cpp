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
    if (!m_input->renderInto(args, out))
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
        Px* __restrict p = out.row(y);
        const float dy = float(y + 0.5 - cy);
        const float dy2 = dy * dy;
        const float dx0 = float(o.x + 0.5 - cx);
        int i = 0;
        // Four factors at a time (dx steps by exact whole numbers, as in the loop below); each
        // pixel is multiplied by (f, f, f, 1), which keeps its alpha.
        const Px steps = { 0, 1, 2, 3 };
        for (; i + 4 <= o.width; i += 4) {
            const Px dx = dx0 + float(i) + steps;
            const Px q = dx * dx + dy2;
            const Px f = 1.0f / (1.0f + k * q * q);
            p[i] *= Px { f[0], f[0], f[0], 1.0f };
            p[i + 1] *= Px { f[1], f[1], f[1], 1.0f };
            p[i + 2] *= Px { f[2], f[2], f[2], 1.0f };
            p[i + 3] *= Px { f[3], f[3], f[3], 1.0f };
        }
        for (; i < o.width; ++i) {
            const float dx = dx0 + float(i);
            const float q = dx * dx + dy2;
            const float f = 1.0f / (1.0f + k * q * q);
            p[i] *= Px { f, f, f, 1.0f };
        }
    }
    return true;
}

} // namespace platform
