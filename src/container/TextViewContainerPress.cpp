// The press on the box layer: what lies under the pointer, in a fixed order of priority, and
// the gesture it starts. The search changes nothing; the gesture's before-snapshot is taken once
// after it, before any point is inserted, so that an insertion and its drag undo as one step.
#include "boxes/MyShapeView.h"
#include "boxes/ShapeOutline.h"
#include "boxes/UnitBoxMap.h"
#include "container/ContainerDelegate.h"
#include "container/ContainerLogging.h"
#include "container/GestureGeometry.h"
#include "container/SelectedTextBoxView.h"
#include "container/TextViewContainer.h"
#include "platform/ui/Event.h"

#include <cmath>

using platform::Point;
using platform::Rect;
using Hit = TextViewContainer::PressHit;

namespace {

using gesture::distance;
using gesture::inSquare;
using gesture::isCurveOrPen;
using gesture::kNoneYet;
using gesture::Outline;
using gesture::outlineOf;
using gesture::pointShape;

// Hit areas, in container units; at small zooms they grow to the drawn marks' reach.
constexpr double kHandleHalf = 5.0; // a handle's square
constexpr double kShapePointHalf = 10.0; // a shape point's square
constexpr float kCurveHandleRadius = 10.0f;

struct Reaches {
    double handle;
    double shapePoint;
    float curveHandle;
    explicit Reaches(double zoom)
    {
        const double half = SelectedTextBoxView::handleHalfSize(zoom);
        handle = gesture::markReach(kHandleHalf, zoom, half);
        shapePoint = gesture::markReach(kShapePointHalf, zoom, half);
        curveHandle = float(gesture::markReach(kCurveHandleRadius, zoom, half));
    }
};
constexpr float kOutlineReach = 7.0f; // an outline or curve spline, for a new point
// Samples of the curve spline left out at each end: there the spline meets its end handles.
// They are samples of the search's coarse sampling (two inside a segment for every six units its
// three chords measure), so the margin keeps new points well clear of the ends.
constexpr std::size_t kCurveEndSamples = 10;
constexpr int kCurveSearchStep = 6;

Hit hitOf(Hit::Kind kind, int code, std::size_t box, int sub, const Point& unit = Point())
{
    Hit hit;
    hit.kind = kind;
    hit.code = code;
    hit.box = int(box);
    hit.sub = sub;
    hit.unit = unit;
    return hit;
}

// Tests A and B: a shape's points, then a new point on a curve's or pen path's outline.
std::optional<Hit> shapeHit(const MyShapeView& shape, std::size_t index, const BoxCorners& c,
    const Point& p, int clickCount, const Reaches& reach)
{
    const std::vector<Point> controls = shape.controlPoints();
    for (std::size_t j = 0; j < controls.size(); ++j) {
        if (!inSquare(p, calcPoints(c, controls[j]), reach.shapePoint))
            continue;
        if (clickCount == 2 && isCurveOrPen(shape))
            return hitOf(Hit::Kind::TogglePoint, 0, index, int(j));
        return hitOf(Hit::Kind::ShapePoint, 3, index, int(j));
    }
    if (!isCurveOrPen(shape))
        return std::nullopt;
    std::vector<Point> mapped;
    mapped.reserve(shape.points().size());
    for (const Point& unit : shape.points())
        mapped.push_back(calcPoints(c, unit));
    const auto samples = shape.splinePoints(mapped);
    if (!samples)
        return std::nullopt;
    // Where the segment changes the sample lies on an existing point: not a place to insert.
    float best = kNoneYet;
    int segment = -1;
    for (std::size_t k = 1; k < samples->points.size(); ++k) {
        if (samples->sourceIndex[k] != samples->sourceIndex[k - 1])
            continue;
        const float d = distance(samples->points[k], p);
        if (d < best) {
            best = d;
            segment = samples->sourceIndex[k];
        }
    }
    if (segment < 0 || !(best < kOutlineReach) || std::size_t(segment) >= shape.points().size())
        return std::nullopt;
    return hitOf(Hit::Kind::ShapeInsert, 3, index, segment + 1, reversePoint(c, p));
}

// Test C: the perspective grips, bands beyond the right and the bottom edge. A box under one
// unit has none: its unit coordinates would divide by (almost) nothing.
std::optional<Hit> gripHit(
    const MyViewBase& box, std::size_t index, const BoxCorners& c, const Point& p)
{
    const double w = box.frame().size.width;
    const double h = box.frame().size.height;
    if (!(w >= 1.0) || !(h >= 1.0))
        return std::nullopt;
    const float f = float(h / 5.0);
    const double a = double(0.5f * f) / w;
    const double b = double(1.5f * f) / w;
    const Point vertical[4]
        = { calcPoints(c, Point(1.0 + a, 1.0)), calcPoints(c, Point(1.0 + a, 0.0)),
              calcPoints(c, Point(1.0 + b, 0.0)), calcPoints(c, Point(1.0 + b, 1.0)) };
    if (TextViewContainer::isPointinPolygon(p, vertical))
        return hitOf(Hit::Kind::Grip, 5, index, -1);
    const float f2 = float(w / 5.0);
    const double a2 = double(0.5f * f2) / h;
    const double b2 = double(1.5f * f2) / h;
    const Point horizontal[4]
        = { calcPoints(c, Point(0.0, 1.0 + a2)), calcPoints(c, Point(1.0, 1.0 + a2)),
              calcPoints(c, Point(1.0, 1.0 + b2)), calcPoints(c, Point(0.0, 1.0 + b2)) };
    if (TextViewContainer::isPointinPolygon(p, horizontal))
        return hitOf(Hit::Kind::Grip, 6, index, -1);
    return std::nullopt;
}

// Test D: an inner curve handle, else a new curve point on the spline through the handles.
std::optional<Hit> curveHit(const MyViewBase& box, std::size_t index, const BoxCorners& c,
    const Point& p, const Reaches& reach)
{
    const std::vector<Point> handles = SelectedTextBoxView::curveGuidePoints(box);
    float best = kNoneYet;
    int found = -1;
    for (std::size_t k = 1; k + 1 < handles.size(); ++k) {
        const float d = distance(handles[k], p);
        if (d < best) {
            best = d;
            found = int(k);
        }
    }
    if (found >= 0 && best < reach.curveHandle)
        return hitOf(Hit::Kind::CurveHandle, 7, index, found);

    ShapeModel smooth;
    smooth.controlVals.assign(handles.size(), ControlValue());
    const auto samples = splinePoints(smooth, handles, kCurveSearchStep);
    if (!samples || samples->points.size() < 2 * kCurveEndSamples + 1)
        return std::nullopt;
    // Handles must be far enough apart along the box's own x axis (a turned box's container x
    // says nothing about it).
    const double ux = c[1].x - c[0].x;
    const double uy = c[1].y - c[0].y;
    const double edge = std::hypot(ux, uy);
    if (!(edge > 0.0))
        return std::nullopt;
    const double minGap = 0.2 * box.frame().size.width;
    best = kNoneYet;
    int segment = -1;
    for (std::size_t k = kCurveEndSamples; k + kCurveEndSamples < samples->points.size(); ++k) {
        const int g = samples->sourceIndex[k];
        if (g < 0 || std::size_t(g) + 1 >= handles.size())
            continue;
        const double along = ((handles[std::size_t(g) + 1].x - handles[std::size_t(g)].x) * ux
                                 + (handles[std::size_t(g) + 1].y - handles[std::size_t(g)].y) * uy)
            / edge;
        if (!(along > minGap))
            continue;
        const float d = distance(samples->points[k], p);
        if (d < best) {
            best = d;
            segment = g;
        }
    }
    if (segment < 0 || !(best < kOutlineReach))
        return std::nullopt;
    const Point st = reversePoint(c, p);
    return hitOf(Hit::Kind::CurveInsert, 7, index, segment + 1, Point(st.x, st.y + 0.2));
}

// Test E: the eight handles, the first within its square.
std::optional<Hit> handleHit(const Outline& q, std::size_t index, const Point& p,
    unsigned modifierFlags, const Reaches& reach)
{
    for (std::size_t k = 0; k < q.size(); ++k) {
        if (inSquare(p, q[k], reach.handle)) {
            const int code = (modifierFlags & platform::CommandKeyMask) ? 4 : 3;
            return hitOf(Hit::Kind::Handle, code, index, int(k));
        }
    }
    return std::nullopt;
}

} // namespace

Hit TextViewContainer::pressHitTest(const Point& p, unsigned modifierFlags, int clickCount) const
{
    const std::size_t n = textViewAry.size();
    const Reaches reach(zoomScale());
    // Selected boxes, from the top: the first box with something under the pointer decides.
    for (std::size_t i = n; i-- > 0;) {
        const MyViewBase* box = textViewAry[i];
        if (!box || !box->selected())
            continue;
        const Outline q = outlineOf(*box);
        const BoxCorners c = boxCorners(q);
        if (const MyShapeView* shape = pointShape(*box)) {
            if (auto hit = shapeHit(*shape, i, c, p, clickCount, reach))
                return *hit;
        }
        if (!isBaseEditing(*box) && box->isWarped()) {
            if (auto hit = gripHit(*box, i, c, p))
                return *hit;
            if (auto hit = curveHit(*box, i, c, p, reach))
                return *hit;
        }
        if (!box->isEditing()) {
            if (auto hit = handleHit(q, i, p, modifierFlags, reach))
                return *hit;
        }
    }
    // Bodies, from the top. Picking an unselected box deselects the others, so a lower box
    // counts as selected only when the pick was already selected.
    int picked = -1;
    bool pickedWasSelected = false;
    for (std::size_t i = n; i-- > 0;) {
        const MyViewBase* box = textViewAry[i];
        if (!box)
            continue;
        const Outline q = outlineOf(*box);
        if (!isPointinPolygon(p, q.data()))
            continue;
        const bool selectedNow
            = picked < 0 ? box->selected() : pickedWasSelected && box->selected();
        if (selectedNow && box->isEditing())
            return hitOf(Hit::Kind::EditedBody, 0, i, -1);
        if (picked < 0) {
            picked = int(i);
            pickedWasSelected = box->selected();
        }
    }
    if (picked >= 0)
        return hitOf(Hit::Kind::Body, 1, std::size_t(picked), -1);
    return Hit();
}

MyViewBase* TextViewContainer::gestureBox() const
{
    if (expandingId < 0 || std::size_t(expandingId) >= textViewAry.size())
        return nullptr;
    MyViewBase* box = textViewAry[std::size_t(expandingId)];
    return box && expandingBox.get() == box ? box : nullptr;
}

void TextViewContainer::mouseDownAtTextBox(const Point& point, const platform::Event& event)
{
    const unsigned modifiers = event.modifierFlags();
    // Control makes any press a right click.
    if (modifiers & platform::ControlKeyMask) {
        rightMouseDown(event);
        return;
    }
    qCDebug(lcContainer) << "mouseDownAtTextBox-textviewcontainer";
    isMouseDown = true;
    mouseDownState = 0;
    mouseDownPoint = point;
    rectSelecting = Rect(point.x, point.y, 0.0, 0.0);
    tempAry.clear();
    bSelectedwhenDown = true;

    if (bInstantAlpha && instantAlphaPress(point))
        return;
    if (bDrawWithPen) {
        penPress(point, event.clickCount());
        return;
    }

    const Hit hit = pressHitTest(point, modifiers, event.clickCount());
    switch (hit.kind) {
    case Hit::Kind::EditedBody:
        // The text being edited keeps the click.
        return;
    case Hit::Kind::TogglePoint: {
        // A double-click on a point flips it between corner and smooth: no gesture, no step.
        auto* shape = dynamic_cast<MyShapeView*>(textViewAry[std::size_t(hit.box)]);
        std::vector<ControlValue> values = shape->controlVals();
        if (std::size_t(hit.sub) < values.size()) {
            values[std::size_t(hit.sub)] = !(values[std::size_t(hit.sub)].doubleValue() != 0.0);
            shape->setControlVals(std::move(values));
            shape->setNeedsDisplay();
            markForDisplay();
        }
        setCursor(cursorFor(HoverCursor::Crosshair));
        return;
    }
    case Hit::Kind::Body: {
        MyViewBase* box = textViewAry[std::size_t(hit.box)];
        if (!box->selected()) {
            removeAllSelection();
            box->setSelected(true);
            bSelectedwhenDown = false;
            qCDebug(lcContainer).noquote()
                << QString::asprintf("org:%f %f", box->frame().origin.x, box->frame().origin.y);
        }
        for (const MyViewBase* each : textViewAry)
            tempAry.push_back(each->frame());
        mouseDownState = 1;
        prepUndoData();
        if (gesture::isDuplicateDrag(modifiers)) {
            // The copies become the selection in place and move; the originals stay.
            duplicateSelection();
            tempAry.clear();
            for (const MyViewBase* each : textViewAry)
                tempAry.push_back(each->frame());
        }
        break;
    }
    case Hit::Kind::Empty:
        for (const MyViewBase* each : textViewAry)
            tempAry.push_back(each->frame());
        mouseDownState = 2;
        removeAllSelection();
        if (m_delegate)
            m_delegate->setCurrentlySelectedTextView(nullptr);
        break;
    default:
        if (!startBoxGesture(hit, modifiers))
            return;
        break;
    }
    if (m_delegate)
        m_delegate->textViewSelected(textViewAry);
    MoveTextBoxwithKey(999, false);
    markForDisplay();
    // A grip or a new curve point follows the pointer from the press on.
    if (hit.kind == Hit::Kind::Grip || hit.kind == Hit::Kind::CurveInsert)
        mouseDragged_temp(event);
}

bool TextViewContainer::startBoxGesture(const Hit& hit, unsigned modifierFlags)
{
    (void)modifierFlags;
    if (hit.box < 0 || std::size_t(hit.box) >= textViewAry.size())
        return false;
    MyViewBase* box = textViewAry[std::size_t(hit.box)];
    auto* shape = dynamic_cast<MyShapeView*>(box);
    const bool needsShape = hit.kind == Hit::Kind::ShapePoint || hit.kind == Hit::Kind::ShapeInsert;
    if (!box || (needsShape && !shape))
        return false;
    // One snapshot, before anything changes: an inserted point goes with the undo.
    prepUndoData();
    expandingId = hit.box;
    expandingBox = box;
    mouseDownState = hit.code;
    switch (hit.kind) {
    case Hit::Kind::ShapePoint:
        expandingSubId = hit.sub + 100;
        downControls = shape->controlVals();
        break;
    case Hit::Kind::ShapeInsert: {
        std::vector<Point> points = shape->points();
        std::vector<ControlValue> values = shape->controlVals();
        const std::size_t at = std::min(std::size_t(hit.sub), points.size());
        points.insert(points.begin() + std::ptrdiff_t(at), hit.unit);
        values.insert(values.begin() + std::ptrdiff_t(std::min(at, values.size())), false);
        shape->setPoints(std::move(points));
        shape->setControlVals(std::move(values));
        shape->setNeedsDisplay();
        expandingSubId = int(at) + 100;
        break;
    }
    case Hit::Kind::Grip:
        break;
    case Hit::Kind::CurveHandle:
        expandingSubId = hit.sub;
        break;
    case Hit::Kind::CurveInsert: {
        std::vector<Point> curves = box->curves();
        const std::size_t at = std::min(std::size_t(hit.sub), curves.size());
        curves.insert(curves.begin() + std::ptrdiff_t(at), hit.unit);
        box->setCurves(curves);
        box->imgPersp = platform::Image();
        box->setNeedsDisplay();
        expandingSubId = int(at);
        break;
    }
    case Hit::Kind::Handle:
        expandingSubId = hit.sub;
        downpts = outlineOf(*box);
        downFrame = box->frame();
        break;
    default:
        return false;
    }
    return true;
}

void TextViewContainer::penPress(const Point& p, int clickCount)
{
    auto* path = dynamic_cast<MyShapeView*>(penView.get());
    if (clickCount != 1) {
        // The second press of a double-click leaves the path open where it is.
        if (path)
            endPenPath(true);
        return;
    }
    if (!path) {
        startPenPath(p);
        return;
    }
    std::vector<Point> points = path->points();
    if (points.empty())
        return;
    const BoxCorners c = boxCorners(outlineOf(*path));
    if (distance(calcPoints(c, points.front()), p) < 10.0f) {
        closePenPath(*path);
        return;
    }
    // A click on the point just placed places nothing.
    if (points.size() >= 2 && distance(calcPoints(c, points[points.size() - 2]), p) < 10.0f)
        return;
    // The last point follows the pointer; a copy of it fixes it in place.
    points.push_back(points.back());
    std::vector<ControlValue> values = path->controlVals();
    values.push_back(true);
    path->setPoints(std::move(points));
    path->setControlVals(std::move(values));
    path->setNeedsDisplay();
    markForDisplay();
}
