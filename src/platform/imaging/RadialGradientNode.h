#pragma once
// A radial ramp about a centre: colour 0 inside radius 0, a linear ramp to colour 1 at
// radius 1, colour 1 beyond; equal radii give a hard step at that radius. Colours are mixed
// premultiplied, so a ramp to clear never darkens. Infinite extent.
#include "platform/geometry/Point.h"
#include "platform/graphics/Color.h"
#include "platform/imaging/FilterNode.h"

namespace platform {

class RadialGradientNode final : public FilterNode {
public:
    RadialGradientNode(
        Point center, double radius0, double radius1, const Color& c0, const Color& c1);

    Rect extent() const override { return Rect::infinite(); }
    bool render(const RenderArgs& args, PixelTile& out) const override;

private:
    Point m_center;
    double m_r0, m_r1;
    Px m_c0, m_c1;
};

} // namespace platform
