#pragma once
// The canvas's size and zoom arithmetic, as plain functions of the working size, the zoom and
// the scroll view's visible area, so that the view, the paint view and the tests share one
// answer.
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"
#include "platform/geometry/Size.h"

#include <optional>

namespace canvas::geometry {

// (0, 0, working size × zoom): where every layer view lies in the canvas.
platform::Rect imageRect(const platform::Size& working, double zoom);
// The canvas's frame in the document view: the zoomed picture centred in the viewport, never
// starting below 0, made integral.
platform::Rect frameRect(
    const platform::Size& working, double zoom, const platform::Size& viewport);
// The zoom that fits the picture into the viewport with one pixel to spare, in single
// precision. Negative or non-finite when the viewport or the picture is empty.
double bestFitZoom(const platform::Size& working, const platform::Size& viewport);
// The zoom for a slider value z (0 = best fit, 1 = three times it).
double zoomForSlider(double fit, double z);

// One zoom step, keeping the picture point at the centre of the visible area where it was.
struct ZoomStep {
    double zoom = 0.0;
    platform::Rect canvasFrame; // the canvas's new frame in the document view
    platform::Size documentSize; // the document view's new size
    platform::Point scrollPoint; // the document view point to scroll to the visible origin
};
// Nothing for a slider value that is not finite or below 0, or a viewport of at most one
// pixel (the fit would be negative). oldZoom 0 means the zoom was never set: the step then
// starts from the best fit and a visible origin of (0, 0).
std::optional<ZoomStep> zoomStep(const platform::Size& working, const platform::Size& viewport,
    const platform::Rect& visible, double oldZoom, double z);

} // namespace canvas::geometry
