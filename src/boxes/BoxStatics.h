#pragma once
// Process-wide state that the box views share with the container and the canvas. Main thread
// only, like every view; one edit animation runs at a time across all open documents.
#include "platform/geometry/Rect.h"
#include "platform/ui/ViewPointer.h"

// The animation of one box between its warped and its flat form while its editing begins or
// ends. The container drives it from a timer (which it owns); the warp view reads it to show
// the animated box at the current fraction.
struct EditAnimation {
    // The animated box; held weakly, since the box's nest owns it and may go first.
    platform::ViewPointer box;
    // True from the first intermediate tick to the last one.
    bool running = false;
    // The warp shown now: 1 the full warp, 0 flat.
    float fraction = 0.0f;
    // The editing state the box receives at the end.
    bool target = false;
};
extern EditAnimation gEditAnimation;

// Where the container's warp capture is rendering, in the coordinates of the wrapper it
// renders; capturing is true only while the wrapper draws into the capture's bitmap.
struct WarpCaptureRect {
    platform::Rect rect;
    bool capturing = false;
};
extern WarpCaptureRect gWarpCaptureRect;

// Set by the canvas only while it draws the boxes for the export image: every warped box is
// then drawn warped, even one being edited.
extern bool gCanvasExporting;
