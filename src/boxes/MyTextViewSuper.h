#pragma once
// The wrapper of a text box: between the box's warp view and the text box itself. The text box
// is turned about its centre; the wrapper is not, and draws behind the box what follows the
// box's turned outline rather than its text: the background, the border band and the box
// shadow, each at the box's opacity. It covers the container, so its coordinates are the
// container's. (The drop shadow belongs to the warp view, the characters to the text view.)
#include "platform/ui/View.h"

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
};
