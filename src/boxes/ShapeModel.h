#pragma once
// The geometry model of a shape box, as a plain value: what the outline, head, spline and
// callout code reads. MyShapeView holds one and hands it to those functions.
//
// Points are unit-box coordinates ((0,0) at corner p0, (1,1) at p2). Control values per type:
// curve and pen path one corner flag per point; rounded rectangle four radii (fractions of the
// box width); callouts eight entries (tail tip, four radii, tail half-width, tail-width handle,
// tail base); polygon the side count; star the point count and the inner ratio.
#include "boxes/ControlValue.h"
#include "platform/geometry/Point.h"

#include <cstddef>
#include <vector>

namespace shape {

// Shape types.
enum Type : int {
    Line = 0,
    ArrowLine = 1, // creation code; stored (and drawn) as a line
    Curve = 2,
    Rectangle = 3,
    RoundedRectangle = 4,
    Ellipse = 5,
    IsoscelesTriangle = 6,
    RightTriangle = 7,
    RightBlockArrow = 8,
    DoubleBlockArrow = 9,
    Diamond = 10,
    OvalCallout = 11,
    RoundedBoxCallout = 12,
    RegularPolygon = 13,
    Star = 14,
    PenPath = 15,
};

// Head codes of startType / endType; endType ClosedPath marks a closed curve or pen path.
enum Head : int {
    NoHead = 0,
    ArrowHead = 1,
    CircleHead = 2,
    DiamondHead = 3,
    ThinArrowHead = 4,
    ThickArrowHead = 5,
    SquareHead = 6,
    ReverseArrowHead = 7,
    BarHead = 8,
    ClosedPath = 99,
};

// Indices of a callout's control values.
enum CalloutValue : int {
    CalloutTip = 0,
    CalloutRadius0 = 1, // radii of corners (0,0), (1,0), (1,1), (0,1) at 1..4
    CalloutHalfWidth = 5,
    CalloutWidthHandle = 6,
    CalloutBase = 7,
    CalloutValueCount = 8,
};

} // namespace shape

struct ShapeModel {
    int shapeType = shape::Line;
    int startType = shape::NoHead;
    int endType = shape::NoHead;
    bool isDrawing = false; // a pen path still being drawn
    int strokeSize = 0; // pixels; the band width of line types
    std::vector<platform::Point> points;
    std::vector<ControlValue> controlVals;

    // Readers never index past the stored entries: a missing value reads as the number 0, a
    // missing point as (0, 0).
    ControlValue valueAt(std::size_t i) const
    {
        return i < controlVals.size() ? controlVals[i] : ControlValue();
    }
    platform::Point pointAt(std::size_t i) const
    {
        return i < points.size() ? points[i] : platform::Point();
    }
};
