// The release on the box layer: what the gesture amounts to. A change becomes one undo step and
// refreshes the inspector; a second click in place opens a box for editing; a first selection
// of a shape tells how to edit it; in pen mode the path gets its next point or closes.
#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "boxes/UnitBoxMap.h"
#include "container/ContainerDelegate.h"
#include "container/ContainerLogging.h"
#include "container/GestureGeometry.h"
#include "container/TextViewContainer.h"
#include "platform/ui/Event.h"

#include <cmath>

using gesture::outlineOf;
using platform::Point;

namespace {

// Closer than this on both axes, a release is a click in place.
constexpr double kClickTolerance = 3.0;
// A pen release closer than this to the path's first point closes the path.
constexpr float kPenCloseDistance = 10.0f;

bool contains(const MyViewBase& box, const Point& p)
{
    return TextViewContainer::isPointinPolygon(p, outlineOf(box).data());
}

// The shapes whose points can be edited by hand.
bool isEditableShape(int type)
{
    switch (type) {
    case shape::Line:
    case shape::Curve:
    case shape::RoundedRectangle:
    case shape::RightBlockArrow:
    case shape::DoubleBlockArrow:
    case shape::OvalCallout:
    case shape::RoundedBoxCallout:
    case shape::RegularPolygon:
    case shape::Star:
    case shape::PenPath:
        return true;
    default:
        return false;
    }
}

// The hint that tells how to edit a flat shape: 1 for curves and pen paths, 3 for rounded
// rectangles and callouts, none (0) for the rest.
int editHint(int type)
{
    if (type == shape::Curve || type == shape::PenPath)
        return 1;
    if (type == shape::RoundedRectangle || type == shape::OvalCallout
        || type == shape::RoundedBoxCallout)
        return 3;
    return 0;
}

} // namespace

bool TextViewContainer::mouseUp(const platform::Event& event)
{
    mouseUp_temp(event);
    return true;
}

void TextViewContainer::mouseUp_temp(const platform::Event& event)
{
    qCDebug(lcContainer) << "mouseup-textviewcontainer";
    isMouseDown = false;
    if (bInstantAlpha) {
        instantAlphaRelease();
        return;
    }
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    if (bDrawWithPen) {
        penRelease(p);
        return;
    }
    switch (mouseDownState) {
    case 3:
        hideAlert();
        setCursor(cursorFor(HoverCursor::Arrow));
        [[fallthrough]];
    case 4:
    case 5:
    case 6:
    case 7:
        // A box gone since the press (an undo in between) leaves nothing to register.
        if (gestureBox()) {
            if (m_delegate)
                m_delegate->textViewSelected(textViewAry);
            logUndoData();
        }
        break;
    case 1:
        moveRelease(p);
        break;
    default:
        break;
    }
    mouseDownState = 0;
    MoveTextBoxwithKey(999, false);
    markForDisplay();
}

void TextViewContainer::moveRelease(const Point& p)
{
    const bool click = std::fabs(p.x - mouseDownPoint.x) < kClickTolerance
        && std::fabs(p.y - mouseDownPoint.y) < kClickTolerance;
    // Any change of a frame is a step, however small the move; only the second click keeps the
    // click tolerance.
    bool moved = tempAry.size() != textViewAry.size();
    for (std::size_t i = 0; !moved && i < textViewAry.size(); ++i)
        moved = textViewAry[i]->frame() != tempAry[i];
    if (moved) {
        logUndoData();
        if (m_delegate)
            m_delegate->UpdateBoxFrameInfo(true);
    }
    if (click && bSelectedwhenDown)
        secondClick(p);
    if (!bSelectedwhenDown)
        firstSelectionHint(p);
}

void TextViewContainer::secondClick(const Point& p)
{
    // From the top, as the press searches: the box the user sees is the one that opens.
    for (std::size_t i = textViewAry.size(); i-- > 0;) {
        MyViewBase* box = textViewAry[i];
        if (!box->selected() || !contains(*box, p))
            continue;
        if (dynamic_cast<MyTextView*>(box)) {
            if (m_delegate)
                m_delegate->resetColorPanel();
            removeAllSelection();
            box->setSelected(true);
            AnimateBox(*box, true);
            return;
        }
        const auto* shape = dynamic_cast<MyShapeView*>(box);
        if (shape && shape->isWarped() && isEditableShape(shape->shapeType())) {
            box->setSelected(true);
            AnimateBox(*box, true);
            hideAlert();
            if (const int hint = editHint(shape->shapeType()))
                showAlert(hint, Point(), QString());
            return;
        }
    }
}

void TextViewContainer::firstSelectionHint(const Point& p)
{
    for (MyViewBase* box : textViewAry) {
        const auto* shape = dynamic_cast<MyShapeView*>(box);
        if (!shape || !shape->selected() || !isEditableShape(shape->shapeType())
            || !contains(*shape, p))
            continue;
        // A warped shape must be clicked again to be flattened for editing.
        if (const int hint = shape->isWarped() ? 4 : editHint(shape->shapeType()))
            showAlert(hint, Point(), QString());
        return;
    }
}

void TextViewContainer::penRelease(const Point& p)
{
    auto* path = dynamic_cast<MyShapeView*>(penView.get());
    if (!path)
        return;
    std::vector<ControlValue> values = path->controlVals();
    std::vector<Point> points = path->points();
    // Only a point a drag turned smooth counts: a plain click placed its point at the press.
    if (values.size() < 3 || values[values.size() - 2].doubleValue() != 0.0 || points.empty())
        return;
    const Point first = calcPoints(boxCorners(outlineOf(*path)), points.front());
    const float dist = std::hypot(float(first.x - p.x), float(first.y - p.y));
    if (dist < kPenCloseDistance) {
        closePenPath(*path);
        return;
    }
    // A copy of the last point fixes it; the new last point follows the pointer.
    points.push_back(points.back());
    values.push_back(true);
    path->setPoints(std::move(points));
    path->setControlVals(std::move(values));
    path->setNeedsDisplay();
    markForDisplay();
}

void TextViewContainer::closePenPath(MyShapeView& path)
{
    std::vector<Point> points = path.points();
    if (!points.empty())
        points.back() = points.front();
    path.setPoints(std::move(points));
    path.setEndType(shape::ClosedPath);
    path.setIsDrawing(false);
    path.imgPersp = platform::Image();
    bDrawWithPen = false;
    penView = nullptr;
    logUndoData();
    path.setNeedsDisplay();
    if (m_delegate)
        m_delegate->ShowSideBar();
    hideAlert();
}
