#pragma once
// What a box's warp view asks of the container that holds it: a picture of the box bent by its
// curve and perspective. The container implements it (it owns the warp renderer); the warp
// view finds it as its superview.
#include "boxes/UNDODATA.h"
#include "platform/geometry/Rect.h"
#include "platform/graphics/Image.h"

#include <optional>

class MyViewBase;

namespace platform {
class View;
}

// Whether a picture drawn from the box with record drawnFrom still shows the box with record
// now: what the records draw is alike, and the box is edited in both or in neither (a picture
// made while the box was edited is made again once editing ends, and the other way).
inline bool capturedAlike(const UNDODATA& drawnFrom, const UNDODATA& now)
{
    return drawnFrom.isEditing == now.isEditing && drawnFrom.isEqualTo(now);
}

// A box's flat picture as a capture last drew it, kept by the box's warp view. While only the
// curve and the perspective change (a drag of their sliders) the flat box looks the same, so
// each step bends the kept picture instead of drawing the box again.
struct FlatCapture {
    platform::Image picture; // point size = pixel size
    platform::Size area; // the captured rectangle's size, in container points
    bool exporting = false; // gCanvasExporting when it was drawn
    // The record it was drawn from, curve and perspective left out; none: nothing kept.
    std::optional<UNDODATA> record;
};

class WarpCapture {
public:
    virtual ~WarpCapture() = default;

    // The warped picture of box as its wrapper draws it, unturned, with the curve and the
    // perspective scaled by fVal (1 the full warp, 0 none). rtImage comes in as the box's
    // imgRect and goes out as where the picture is to be drawn, in container coordinates
    // before the box's turn. The box, its wrapper and their frames are as they were when the
    // call returns. A null image when no picture could be made (rtImage is then unspecified).
    // The captured rectangle covers the box's drawnBounds() (a callout's tail, a line's heads)
    // as well as its frame grown by border and stroke widths.
    virtual platform::Image image_curved_perspectived(
        MyViewBase& box, platform::View& wrapper, float fVal, platform::Rect& rtImage)
        = 0;

    // The same, bending the flat picture in kept when it was drawn from the box as it stands
    // but for its curve and perspective, else drawing the box and keeping the new picture
    // there. A capture that cannot keep pictures clears kept and draws every time.
    virtual platform::Image warpKeepingFlat(MyViewBase& box, platform::View& wrapper, float fVal,
        platform::Rect& rtImage, FlatCapture& kept)
    {
        kept = FlatCapture();
        return image_curved_perspectived(box, wrapper, fVal, rtImage);
    }
};
