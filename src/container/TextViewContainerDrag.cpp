// The drag on the box layer: one step of the gesture the press chose (colour removal, pen, move,
// rubber band, resize, shape point, rotate, perspective grips, curve points). A step changes
// live state only; the undo step and the inspector's refresh belong to the release. A gesture on
// boxes redraws only their old and new coverage, never the whole layer.
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "boxes/UnitBoxMap.h"
#include "container/ContainerDelegate.h"
#include "container/ContainerLogging.h"
#include "container/GestureGeometry.h"
#include "container/SelectedTextBoxView.h"
#include "container/TextViewContainer.h"
#include "foundation/CMyLine.h"
#include "platform/ui/Event.h"

#include <algorithm>
#include <cmath>

using platform::FloatPoint;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

using gesture::Outline;
using gesture::outlineOf;

constexpr double kPi = 3.141592;

// The unit direction at `degrees`, sine and cosine in single precision.
Point direction(double degrees)
{
    const float r = float(degrees * kPi / 180.0);
    return Point(double(std::cos(r)), double(std::sin(r)));
}

Point offset(const Point& from, const Point& dir, double by)
{
    return Point(from.x + by * dir.x, from.y + by * dir.y);
}

// The distance from p to the line through a and b, in single precision, never below 1: a side
// measured from the pointer never collapses, so the next step's edge is never a single point.
double sideTo(const Point& a, const Point& b, const FloatPoint& p)
{
    const CMyLine line { FloatPoint(a), FloatPoint(b) };
    return double(std::max(line.DistanceToPoint(p), 1.0f));
}

double degreesOf(double x, double y)
{
    return std::atan2(y, x) * 180.0 / kPi;
}

// The overlay's feedback of a selected box: handles, the grips and thumbs beyond its edges and
// the curve guide of a warped box.
Rect overlayCoverage(const MyViewBase& box, const Outline& q, double handleHalf)
{
    std::vector<Point> pts(q.begin(), q.end());
    const double w = box.frame().size.width, h = box.frame().size.height;
    const Point u = direction(box.rotationAngle());
    const Point v = direction(box.rotationAngle() + 90.0);
    // The grip bands reach 0.3 of the other side beyond the edges p1-p2 and p3-p2.
    for (const Point& p : { q[1], q[2] })
        pts.push_back(offset(p, u, 0.3 * std::fabs(h)));
    for (const Point& p : { q[2], q[3] })
        pts.push_back(offset(p, v, 0.3 * std::fabs(w)));
    for (const auto& more :
        { SelectedTextBoxView::verticalThumb(box), SelectedTextBoxView::horizontalThumb(box),
            SelectedTextBoxView::curveGuidePoints(box) })
        pts.insert(pts.end(), more.begin(), more.end());
    const double grow = handleHalf + 2.0;
    return Rect::enclosing(pts).insetBy(-grow, -grow);
}

} // namespace

void TextViewContainer::markBoxCoverage(const MyViewBase& box)
{
    const Outline q = outlineOf(box);
    const platform::View* wrapper = box.superview();
    if (const platform::View* nest = wrapper ? wrapper->superview() : nullptr) {
        // The wrapper and the nest share the container's coordinates. The area is marked here,
        // in the container, not in the box's own views: a gesture moves what the nest shows or
        // changes its record, and either tells the nest's kept picture by itself.
        const platform::AffineTransform toContainer = nest->transformToSuperview();
        const double reach = nest->shadowReachInTree(toContainer);
        setNeedsDisplayInRect(toContainer.mapRect(box.drawnCoverage()).insetBy(-reach, -reach));
    }
    if (platform::View* overlay = selectedView.get(); overlay && box.selected())
        overlay->setNeedsDisplayInRect(
            overlayCoverage(box, q, SelectedTextBoxView::handleHalfSize(zoomScale())));
}

bool TextViewContainer::mouseDragged(const platform::Event& event)
{
    mouseDragged_temp(event);
    return true;
}

namespace {

// ---- the steps, one per gesture code

void dragMove(TextViewContainer& c, const Point& p)
{
    // The frames of the press name the boxes by index: once the layer changed they name others.
    if (c.tempAry.size() != c.textViewAry.size()) {
        c.mouseDownState = 0;
        return;
    }
    const Point delta
        = c.heldMove(c.tempAry, Point(p.x - c.mouseDownPoint.x, p.y - c.mouseDownPoint.y));
    const double dx = delta.x;
    const double dy = delta.y;
    for (std::size_t i = 0; i < c.textViewAry.size(); ++i) {
        MyViewBase* box = c.textViewAry[i];
        if (!box->selected())
            continue;
        const Point o = c.tempAry[i].origin;
        const Point to(o.x + dx, o.y + dy);
        if (to == box->frame().origin)
            continue;
        c.markBoxCoverage(*box);
        box->setFrameOrigin(to);
        c.markBoxCoverage(*box);
    }
}

// The band's own test on one box: a corner of either inside the other, or edges crossing.
bool bandCatches(const Point band[4], const Outline& q)
{
    for (int k = 0; k < 4; ++k) {
        if (TextViewContainer::isPointinPolygon(q[std::size_t(k)], band)
            || TextViewContainer::isPointinPolygon(band[k], q.data()))
            return true;
    }
    for (int i = 0; i < 4; ++i) {
        const CMyLine edge { FloatPoint(q[std::size_t(i)]),
            FloatPoint(q[std::size_t((i + 1) % 4)]) };
        for (int j = 0; j < 4; ++j) {
            const CMyLine side { FloatPoint(band[j]), FloatPoint(band[(j + 1) % 4]) };
            FloatPoint meet;
            if (edge.SegmentIntersection(side, &meet))
                return true;
        }
    }
    return false;
}

void dragRubberBand(TextViewContainer& c, const Point& p)
{
    const Point d = c.mouseDownPoint;
    if (platform::View* overlay = c.selectedView.get())
        overlay->setNeedsDisplayInRect(c.rectSelecting.insetBy(-2.0, -2.0));
    c.rectSelecting
        = Rect(std::min(p.x, d.x), std::min(p.y, d.y), std::fabs(p.x - d.x), std::fabs(p.y - d.y));
    c.removeAllSelection();
    const Rect& r = c.rectSelecting;
    const Point band[4] = { r.origin, Point(r.maxX(), r.minY()), Point(r.maxX(), r.maxY()),
        Point(r.minX(), r.maxY()) };
    for (MyViewBase* box : c.textViewAry) {
        if (bandCatches(band, outlineOf(*box)))
            box->setSelected(true);
    }
    c.markForDisplay();
    if (ContainerDelegate* delegate = c.delegate())
        delegate->textViewSelected(c.textViewAry);
}

// The aspect rule of the edge handles: an image box keeps its picture's proportions, another box
// with Shift those of the press; otherwise the other side stays. Nothing when no rule applies.
std::optional<double> aspect(const TextViewContainer& c, const MyViewBase& box, bool shift)
{
    if (const auto* image = dynamic_cast<const MyImageView*>(&box)) {
        if (image->orgwidth() > 0.0 && image->orgheight() > 0.0)
            return image->orgheight() / image->orgwidth();
        // No picture size to keep: the press's frame stands in.
        shift = true;
    }
    if (shift && c.downFrame.size.width > 0.0 && c.downFrame.size.height > 0.0)
        return c.downFrame.size.height / c.downFrame.size.width;
    return std::nullopt;
}

void applyFrame(MyViewBase& box, double w, double h, const Point& origin)
{
    if (!std::isfinite(w) || !std::isfinite(h) || !origin.isFinite())
        return;
    if (auto* text = dynamic_cast<MyTextView*>(&box))
        text->setFixedWidth(w);
    box.setFrameSize(Size(w, h));
    box.setFrameOrigin(origin);
}

void dragResize(TextViewContainer& c, MyViewBase& box, const Point& p, unsigned modifiers)
{
    const int k = c.expandingSubId;
    const bool shift = (modifiers & platform::ShiftKeyMask) != 0;
    const bool isImage = dynamic_cast<const MyImageView*>(&box) != nullptr;
    FloatPoint pf(p);
    if (k < 4 && (isImage || shift)) {
        // A corner keeps the press's proportions: it moves along the press-time diagonal.
        const FloatPoint corner(c.downpts[std::size_t(k)]);
        const FloatPoint across(c.downpts[std::size_t((k + 2) % 4)]);
        const float cx = corner.x - across.x, cy = corner.y - across.y;
        float length = std::sqrt(cx * cx + cy * cy);
        if (length == 0.0f)
            length = 1.0f;
        const float px = pf.x - across.x, py = pf.y - across.y;
        const float r = std::sqrt(px * px + py * py);
        pf = FloatPoint(across.x + cx * r / length, across.y + cy * r / length);
    }
    const double theta = box.rotationAngle();
    const Point back = direction(theta + 180.0); // -u
    const Point down = direction(theta + 270.0); // -v
    Outline q = outlineOf(box);
    double w = box.frame().size.width;
    double h = box.frame().size.height;
    Point o = box.frame().origin;
    const std::optional<double> ratio = (k >= 4) ? aspect(c, box, shift) : std::nullopt;
    switch (k) {
    case 0:
    case 3:
        // Width first, then the height from the outline as it now is.
        w = sideTo(q[1], q[2], pf);
        o = offset(q[1], back, w);
        applyFrame(box, w, h, o);
        q = outlineOf(box);
        if (k == 0) {
            h = sideTo(q[2], q[3], pf);
            o = offset(q[3], down, h);
        } else {
            h = sideTo(q[0], q[1], pf);
        }
        break;
    case 1:
    case 2:
        w = sideTo(q[0], q[3], pf);
        applyFrame(box, w, h, o);
        q = outlineOf(box);
        if (k == 1) {
            h = sideTo(q[2], q[3], pf);
            o = offset(q[3], down, h);
        } else {
            h = sideTo(q[0], q[1], pf);
        }
        break;
    case 4:
        w = sideTo(q[1], q[2], pf);
        if (ratio)
            h = w * *ratio;
        o = offset(q[1], back, w);
        break;
    case 5:
        w = sideTo(q[0], q[3], pf);
        if (ratio)
            h = w * *ratio;
        break;
    case 6:
        h = sideTo(q[2], q[3], pf);
        if (ratio)
            w = h / *ratio;
        o = offset(q[3], down, h);
        break;
    case 7:
        h = sideTo(q[0], q[1], pf);
        if (ratio)
            w = h / *ratio;
        break;
    default:
        return;
    }
    applyFrame(box, w, h, o);
}

void dragShapePoint(TextViewContainer& c, MyViewBase& box, const Point& p, unsigned modifiers)
{
    auto* shape = dynamic_cast<MyShapeView*>(&box);
    if (!shape)
        return;
    const int type = shape->shapeType();
    const bool bAlt = (modifiers & gesture::kSingleCornerFlag)
        && (type == shape::RoundedRectangle || type == shape::OvalCallout
            || type == shape::RoundedBoxCallout);
    // With the single-corner modifier each step starts again from the values of the press.
    if (bAlt)
        shape->setControlVals(c.downControls);
    const Point st = MyShapeView::reversePoint(boxCorners(outlineOf(*shape)), p);
    if (!st.isFinite())
        return;
    qCDebug(lcContainer).noquote() << QString::asprintf("Reverse Point:%f %f", st.x, st.y);
    const QString hint = shape->modifyControlPoint(c.expandingSubId - 100, st, bAlt);
    shape->setNeedsDisplay();
    if (!hint.isEmpty())
        c.showAlert(2, p, hint);
}

void dragRotate(MyViewBase& box, int handle, const Point& p)
{
    const Outline q = outlineOf(box);
    const Point centre((q[4].x + q[5].x) / 2.0, (q[4].y + q[5].y) / 2.0);
    const double diag = degreesOf(box.frame().size.width, box.frame().size.height);
    const double a = degreesOf(p.x - centre.x, p.y - centre.y); // towards the pointer
    const double b = degreesOf(centre.x - p.x, centre.y - p.y); // away from it
    const double angles[8] = { b - diag, a + diag, a - diag, b + diag, b, a, a + 90.0, b + 90.0 };
    if (handle < 0 || handle > 7)
        return;
    box.setRotationAngle(double(float(angles[handle])));
}

void dragGrip(MyViewBase& box, int code, const Point& p)
{
    const Point st = MyShapeView::reversePoint(boxCorners(outlineOf(box)), p);
    // A box too small to have unit coordinates gives nothing to follow.
    if (!st.isFinite())
        return;
    if (code == 5)
        box.setVertPerspective(std::clamp(float(2.0 * st.y - 1.0), -1.0f, 1.0f));
    else
        box.setHorzPerspective(std::clamp(float(2.0 * st.x - 1.0), -1.0f, 1.0f));
    box.imgPersp = platform::Image();
}

void dragCurvePoint(MyViewBase& box, int i, const Point& p)
{
    std::vector<Point> curves = box.curves();
    // The two end points never move.
    if (i <= 0 || std::size_t(i) + 1 >= curves.size())
        return;
    const Point st = MyShapeView::reversePoint(boxCorners(outlineOf(box)), p);
    if (!st.isFinite())
        return;
    const std::size_t at = std::size_t(i);
    double x = std::min(std::max(st.x, curves[at - 1].x + 0.13), curves[at + 1].x - 0.13);
    if (i == 1)
        x = std::max(x, 0.2);
    if (at + 2 == curves.size())
        x = std::min(x, 0.8);
    const double y = std::max(std::min(st.y + 0.2, 1.0), -1.0);
    curves[at] = Point(x, y);
    box.setCurves(curves);
    box.imgPersp = platform::Image();
}

} // namespace

void TextViewContainer::mouseDragged_temp(const platform::Event& event)
{
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    qCDebug(lcContainer) << "mouseDragged-textviewcontainer";
    if (bInstantAlpha && expandingSubId != -1) {
        instantAlphaDrag(p);
        return;
    }
    if (bDrawWithPen) {
        // The point this press placed turns smooth; the last point follows the pointer.
        if (auto* path = dynamic_cast<MyShapeView*>(penView.get())) {
            std::vector<ControlValue> values = path->controlVals();
            if (values.size() >= 3) {
                values[values.size() - 2] = false;
                path->setControlVals(std::move(values));
            }
        }
        mouseMoved(event);
        return;
    }
    if (!isMouseDown)
        return;
    const unsigned modifiers = event.modifierFlags();
    if (mouseDownState == 1) {
        dragMove(*this, p);
        return;
    }
    if (mouseDownState == 2) {
        dragRubberBand(*this, p);
        return;
    }
    if (mouseDownState < 3 || mouseDownState > 7)
        return;
    MyViewBase* box = gestureBox();
    if (!box) {
        // The box went (a delete, paste or undo in between): the gesture ends.
        mouseDownState = 0;
        return;
    }
    markBoxCoverage(*box);
    switch (mouseDownState) {
    case 3:
        if (expandingSubId >= 100)
            dragShapePoint(*this, *box, p, modifiers);
        else
            dragResize(*this, *box, p, modifiers);
        setCursor(cursorFor(HoverCursor::Resize));
        break;
    case 4:
        dragRotate(*box, expandingSubId, p);
        setCursor(rotateCursor());
        break;
    case 5:
    case 6:
        dragGrip(*box, mouseDownState, p);
        break;
    case 7:
        dragCurvePoint(*box, expandingSubId, p);
        break;
    default:
        break;
    }
    markBoxCoverage(*box);
}
