#pragma once
// The wrapper of a text box: between the box's warp view and the text box itself. The text box
// is turned about its centre; the wrapper is not, and draws behind the box what follows the
// box's turned outline rather than its text: the background, the border band and the box
// shadow, each at the box's opacity. It covers the container, so its coordinates are the
// container's. (The drop shadow belongs to the warp view, the characters to the text view.)
#include "platform/graphics/BezierPath.h"
#include "platform/ui/View.h"

#include <optional>

class MyViewBase;
struct WarpCaptureRect;

class MyTextViewSuper : public platform::View {
public:
    explicit MyTextViewSuper(const platform::Rect& frame);

    // The text box: the first subview, or null.
    MyViewBase* box() const;

    // Draws background, border and box shadow of the box (nothing without one). Drawing never
    // marks anything for display: the text box redraws as this view's subview.
    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

    // While a warp capture renders, only a dirty rectangle that meets the capture rectangle is
    // drawn; otherwise always.
    static bool drawsDuring(const WarpCaptureRect& capture, const platform::Rect& dirty);

    // The background quad: the box outline shrunk by half the border width, so that the
    // background ends at the border's inner edge.
    static platform::BezierPath backgroundPath(const MyViewBase& box);
    // The border: four closed bands between the outline grown and shrunk by half the border
    // width; nothing when the border width is not positive.
    static std::optional<platform::BezierPath> borderPath(const MyViewBase& box);
};
