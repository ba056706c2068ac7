#pragma once
// A Gaussian blur whose radius is the Gaussian's sigma (working space). The kernel is the
// sampled Gaussian over ceil(3 sigma) pixels either side, normalised to 1, applied as two
// separable passes in float. The extent grows by 3 sigma; pixels beyond a finite input extent
// count as clear. Sigma 0 (or less) is the identity.
//
// A render zoomed in past working pixels (scale above 1) where sigma would span more than
// kZoomedSigma of its pixels evaluates the blur at the coarser scale where it spans that many,
// and resamples the result up bilinearly. The kernel and its margins at the render's own scale
// grow with the zoom, and the canvas shows a picture of a few pixels hundreds of times its
// size; a blur that wide varies too slowly for the resampling to show (well under a level).
#include "platform/imaging/FilterNode.h"

#include <vector>

namespace platform {

class BlurNode final : public FilterNode {
public:
    // Sigma beyond this is cut to it: a larger one only flattens the picture further, and the
    // kernel and the margins it needs must stay bounded.
    static constexpr double kMaxSigma = 1000.0;
    // The widest sigma, in render pixels, that a zoomed-in render evaluates at its own scale.
    static constexpr double kZoomedSigma = 32.0;

    BlurNode(FilterNodePtr input, double sigma);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;

    // The half-kernel (centre first) for a sigma in render pixels; empty for the identity.
    static std::vector<float> kernel(double sigma);

private:
    // The blur evaluated at args' scale.
    bool renderAtScale(const RenderArgs& args, PixelTile& out) const;

    FilterNodePtr m_input;
    double m_sigma;
};

} // namespace platform
