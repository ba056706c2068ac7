#pragma once
// The input scaled about the working-space origin by (scale * aspectRatio, scale) with a
// three-lobe Lanczos filter, widened when shrinking so that fine detail averages out instead
// of aliasing. The extent scales with it.
#include "platform/imaging/FilterNode.h"

#include <vector>

namespace platform {

class LanczosScaleNode final : public FilterNode {
public:
    // scaleX and scaleY must be finite and positive.
    LanczosScaleNode(FilterNodePtr input, double scaleX, double scaleY);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;

private:
    // Taps of one output column or row: the first input index and the weights from there.
    struct Taps {
        int first = 0;
        std::vector<float> weights;
    };
    // Taps for outputs [o0, o0 + n) when f output pixels make one input pixel.
    static std::vector<Taps> taps(int o0, int n, double f);

    FilterNodePtr m_input;
    double m_sx, m_sy;
};

} // namespace platform
