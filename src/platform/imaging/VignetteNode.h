#pragma once
// Darkens towards the corners of the input's extent. With d the distance from the extent's
// centre divided by half its diagonal (0 at the centre, 1 at a corner) and q = d / radius,
// every colour component is multiplied by
//     f = 1 / (1 + intensity * q^4)
// which is 1 at the centre and everywhere at intensity 0, falls smoothly towards the corners,
// never reaches 0 (about 0.09 in the corners at intensity 10, 0.5 at intensity 1), and keeps
// the middle of the picture nearly untouched. A negative intensity counts as 0 (no
// brightening) and a radius is at least 0.001. Alpha is kept. An input without bounds is
// passed through.
#include "platform/imaging/FilterNode.h"

namespace platform {

class VignetteNode final : public FilterNode {
public:
    VignetteNode(FilterNodePtr input, double intensity, double radius);

    Rect extent() const override { return m_input->extent(); }
    bool render(const RenderArgs& args, PixelTile& out) const override;

    // The factor at normalised distance d (for reference computations).
    static double factor(double d, double intensity, double radius);

private:
    FilterNodePtr m_input;
    double m_intensity, m_radius;
};

} // namespace platform
