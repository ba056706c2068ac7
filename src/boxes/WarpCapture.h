#pragma once
// What a box's warp view asks of the container that holds it: a picture of the box bent by its
// curve and perspective. The container implements it (it owns the warp renderer); the warp
// view finds it as its superview.
#include "platform/geometry/Rect.h"
#include "platform/graphics/Image.h"

class MyViewBase;

namespace platform {
class View;
}

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
};
