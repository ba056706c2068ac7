#pragma once
// The input under an affine transform about the working-space origin (y-up), resampled
// bilinearly. Integer translations are exact copies. A singular or non-finite transform gives
// a clear image with no extent.
//
// A magnifying transform reads its input at a finer scale than the render (up to full
// resolution), so that a small mask scaled up for a display render keeps its own detail.
#include "platform/geometry/AffineTransform.h"
#include "platform/imaging/FilterNode.h"

#include <optional>

namespace platform {

class AffineTransformNode final : public FilterNode {
public:
    AffineTransformNode(FilterNodePtr input, const AffineTransform& t);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;

    // The scale an input is read at for a render at s when the transform scales by k.
    static double inputScale(double s, double k);

private:
    FilterNodePtr m_input;
    AffineTransform m_transform;
    std::optional<AffineTransform> m_inverse;
};

} // namespace platform
