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
    bool isClear(const RenderArgs& args, const PixelRect& r) const override;

    // The scale an input is read at for a render at s when the transform scales by k.
    static double inputScale(double s, double k);

private:
    // How a render at scale s reads the input: at inArgs' scale, through m (output pixels to
    // input pixels), or as a copy shifted by whole pixels.
    struct Reading {
        RenderArgs inArgs;
        AffineTransform m;
        bool shift = false;
        int dx = 0, dy = 0;
    };
    Reading reading(const RenderArgs& args) const;
    // The input pixels a render of out reads (inside the input's extent).
    PixelRect inputNeed(const Reading& rd, const PixelRect& out) const;

    FilterNodePtr m_input;
    AffineTransform m_transform;
    std::optional<AffineTransform> m_inverse;
};

} // namespace platform
