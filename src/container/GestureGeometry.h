#pragma once
// Small geometry shared by the pointer gestures (press, hover, right click): a box's outline,
// the single-precision distances the gestures compare, and which boxes show what.
// Internal to the container folder.
#include "boxes/MyShapeView.h"
#include "boxes/MyViewBase.h"
#include "platform/geometry/Point.h"
#include "platform/ui/Event.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace gesture {

using Outline = std::array<platform::Point, 8>;

// Modifiers, as this desktop's habits have them: window managers take Alt+drag to move the
// window, so dragging out a copy of the selection takes Ctrl+Alt, and dragging one corner of
// a rounded shape alone takes Ctrl (the hint bubble names it).
constexpr unsigned kDuplicateDragFlags = platform::CommandKeyMask | platform::OptionKeyMask;
constexpr unsigned kSingleCornerFlag = platform::CommandKeyMask;
inline bool isDuplicateDrag(unsigned modifierFlags)
{
    return (modifierFlags & kDuplicateDragFlags) == kDuplicateDragFlags;
}

// A nearest-point search starts from this distance.
constexpr float kNoneYet = 99999.0f;

// GetFourPoints with gap 0: corners p0..p3, then the edge midpoints.
inline Outline outlineOf(const MyViewBase& box)
{
    Outline q;
    box.GetFourPoints(q, 0.0);
    return q;
}

// Gestures measure in single precision, as the hit areas were tuned.
inline float distance(const platform::Point& a, const platform::Point& b)
{
    return std::hypot(float(a.x - b.x), float(a.y - b.y));
}

inline bool inSquare(const platform::Point& p, const platform::Point& c, double half)
{
    return std::fabs(p.x - c.x) < half && std::fabs(p.y - c.y) < half;
}

// How far from a handle's or point's centre a press still takes it, in container units: the
// given reach, but never less than the drawn mark (handleHalf container units plus half its
// one-unit outline) and two screen pixels around it, so that a mark stays easy to take on a
// large picture shown small.
inline double markReach(double reach, double zoom, double handleHalf)
{
    constexpr double kScreenMargin = 2.0;
    if (!std::isfinite(zoom) || !(zoom > 0.0))
        return reach;
    return std::max(reach, handleHalf + 0.5 + kScreenMargin / zoom);
}

inline bool isCurveOrPen(const MyShapeView& shape)
{
    return shape.shapeType() == shape::Curve || shape.shapeType() == shape::PenPath;
}

// A shape whose points a gesture may take: not being drawn, and either edited or unwarped.
inline const MyShapeView* pointShape(const MyViewBase& box)
{
    const auto* shape = dynamic_cast<const MyShapeView*>(&box);
    if (!shape || shape->isDrawing())
        return nullptr;
    return shape->isEditing() || !shape->isWarped() ? shape : nullptr;
}

} // namespace gesture
