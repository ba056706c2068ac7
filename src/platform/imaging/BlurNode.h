#pragma once
// A Gaussian blur whose radius is the Gaussian's sigma (working space). The kernel is the
// sampled Gaussian over ceil(3 sigma) pixels either side, normalised to 1, applied as two
// separable passes in float. The extent grows by 3 sigma; pixels beyond a finite input extent
// count as clear. Sigma 0 (or less) is the identity.
#include "platform/imaging/FilterNode.h"

#include <vector>

namespace platform {

class BlurNode final : public FilterNode {
public:
    // Sigma beyond this is cut to it: a larger one only flattens the picture further, and the
    // kernel and the margins it needs must stay bounded.
    static constexpr double kMaxSigma = 1000.0;

    BlurNode(FilterNodePtr input, double sigma);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;

    // The half-kernel (centre first) for a sigma in render pixels; empty for the identity.
    static std::vector<float> kernel(double sigma);

private:
    FilterNodePtr m_input;
    double m_sigma;
};

} // namespace platform
