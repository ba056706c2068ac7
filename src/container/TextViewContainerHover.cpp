// Right click, hover and cursor: a right click removes the curve or pen path point under the
// pointer as one undo step; the hover shows what a press there would do, asking the press's own
// hit test so that the two never disagree; a running gesture keeps its cursor.
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "boxes/UnitBoxMap.h"
#include "container/GestureGeometry.h"
#include "container/SelectedTextBoxView.h"
#include "container/TextViewContainer.h"
#include "container/UndoStep.h"
#include "platform/ui/Event.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

using platform::Point;
using HoverCursor = TextViewContainer::HoverCursor;

namespace {

constexpr float kPointReach = 7.0f; // a right click on a point or curve handle
constexpr float kPenCloseReach = 10.0f; // a pen press this near the first point closes the path

struct Nearest {
    int index = -1;
    float d = gesture::kNoneYet;
};

// The nearest of pts[from, to) to p; the first of equal distances wins.
Nearest nearestOf(const std::vector<Point>& pts, std::size_t from, std::size_t to, const Point& p)
{
    Nearest best;
    for (std::size_t k = from; k < to && k < pts.size(); ++k) {
        const float d = gesture::distance(pts[k], p);
        if (d < best.d) {
            best.d = d;
            best.index = int(k);
        }
    }
    return best;
}

// What a right click at p removes from one box. Only what the overlay shows may go: shape points
// of a selected shape the press could take them from, inner curve handles of a selected, warped
// box not being edited.
struct Removal {
    enum class Kind { None, ShapePoint, CurvePoint };
    Kind kind = Kind::None;
    std::size_t index = 0;
};

Removal removalOn(const MyViewBase& box, const Point& p, double zoom)
{
    const float reach
        = float(gesture::markReach(kPointReach, zoom, SelectedTextBoxView::handleHalfSize(zoom)));
    if (!box.selected())
        return {};
    const auto* shape = dynamic_cast<const MyShapeView*>(&box);
    if (shape && gesture::isCurveOrPen(*shape)) {
        // A path of two points or fewer keeps them, curve handles included.
        if (shape->points().size() <= 2)
            return {};
        if (gesture::pointShape(box)) {
            const BoxCorners c = boxCorners(gesture::outlineOf(box));
            std::vector<Point> mapped;
            mapped.reserve(shape->points().size());
            for (const Point& unit : shape->points())
                mapped.push_back(calcPoints(c, unit));
            const Nearest n = nearestOf(mapped, 0, mapped.size(), p);
            if (n.index >= 0 && n.d < reach)
                return { Removal::Kind::ShapePoint, std::size_t(n.index) };
        }
    }
    if (box.isEditing() || !box.isWarped() || (shape && shape->isDrawing()))
        return {};
    const std::vector<Point> handles = SelectedTextBoxView::curveGuidePoints(box);
    if (handles.size() < 3)
        return {};
    // The end handles stay: a curve always runs from one side of the box to the other.
    const Nearest n = nearestOf(handles, 1, handles.size() - 1, p);
    if (n.index >= 0 && n.d < reach)
        return { Removal::Kind::CurvePoint, std::size_t(n.index) };
    return {};
}

// Three quarters of a circle round the hot spot ending in an arrow head, black on a white rim so
// that it shows on any picture.
QImage rotateCursorImage()
{
    QImage image(20, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring(8.0 - 5.5, 10.0 - 5.5, 11.0, 11.0);
    QPainterPath arc;
    arc.arcMoveTo(ring, 90.0);
    arc.arcTo(ring, 90.0, 270.0);
    // The arc ends at the right heading up, into the open quarter.
    QPainterPath head;
    head.addPolygon(QPolygonF({ QPointF(10.5, 10.5), QPointF(16.5, 10.5), QPointF(13.5, 6.0) }));
    head.closeSubpath();
    QPainterPath dot;
    dot.addEllipse(QPointF(8.0, 10.0), 1.2, 1.2);
    for (const bool rim : { true, false }) {
        const QColor colour = rim ? Qt::white : Qt::black;
        painter.setPen(QPen(colour, rim ? 3.5 : 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(arc);
        painter.setBrush(colour);
        painter.setPen(rim ? QPen(colour, 2.0) : Qt::NoPen);
        painter.drawPath(head);
        painter.drawPath(dot);
    }
    return image;
}

} // namespace

bool TextViewContainer::removePointAt(const Point& p)
{
    for (std::size_t i = textViewAry.size(); i-- > 0;) {
        MyViewBase* box = textViewAry[i];
        if (!box)
            continue;
        const Removal removal = removalOn(*box, p, zoomScale());
        if (removal.kind == Removal::Kind::None)
            continue;
        UndoStep step(*this);
        if (removal.kind == Removal::Kind::ShapePoint) {
            auto* shape = static_cast<MyShapeView*>(box);
            std::vector<Point> points = shape->points();
            std::vector<ControlValue> values = shape->controlVals();
            points.erase(points.begin() + std::ptrdiff_t(removal.index));
            if (removal.index < values.size())
                values.erase(values.begin() + std::ptrdiff_t(removal.index));
            const Point first = points.front();
            shape->setPoints(std::move(points));
            shape->setControlVals(std::move(values));
            // Point 0 set to itself: the shape re-derives its frame, a closed path its closing
            // point.
            shape->modifyControlPoint(0, first, false);
        } else {
            std::vector<Point> curves = box->curves();
            curves.erase(curves.begin() + std::ptrdiff_t(removal.index));
            box->setCurves(curves);
            box->imgPersp = platform::Image();
        }
        box->setNeedsDisplay();
        step.commit();
        markForDisplay();
        return true;
    }
    return false;
}

bool TextViewContainer::rightMouseDown(const platform::Event& event)
{
    removePointAt(convertPointFromView(event.locationInWindow(), nullptr));
    return View::rightMouseDown(event);
}

HoverCursor TextViewContainer::hoverCursorAt(const Point& p, unsigned modifierFlags) const
{
    if (bInstantAlpha) {
        if (const MyImageView* box = instantAlphaBox()) {
            const gesture::Outline q = gesture::outlineOf(*box);
            return isPointinPolygon(p, q.data()) ? HoverCursor::Crosshair : HoverCursor::Arrow;
        }
    }
    if (bDrawWithPen) {
        const auto* path = dynamic_cast<const MyShapeView*>(penView.get());
        if (!path || path->points().empty())
            return HoverCursor::Crosshair;
        const BoxCorners c = boxCorners(gesture::outlineOf(*path));
        // The arrow where a press would close the path.
        return gesture::distance(calcPoints(c, path->points().front()), p) < kPenCloseReach
            ? HoverCursor::Arrow
            : HoverCursor::Crosshair;
    }
    const PressHit hit = pressHitTest(p, modifierFlags, 1);
    switch (hit.kind) {
    case PressHit::Kind::Empty:
    case PressHit::Kind::Body:
        return HoverCursor::Arrow;
    case PressHit::Kind::EditedBody:
        return dynamic_cast<const MyTextView*>(textViewAry[std::size_t(hit.box)])
            ? HoverCursor::TextView
            : HoverCursor::Arrow;
    case PressHit::Kind::Handle:
        return hit.code == 4 ? HoverCursor::Rotate : HoverCursor::Resize;
    default:
        return HoverCursor::Resize;
    }
}

QCursor TextViewContainer::cursorFor(HoverCursor kind)
{
    switch (kind) {
    case HoverCursor::Crosshair:
        return QCursor(Qt::CrossCursor);
    case HoverCursor::Resize:
        return QCursor(Qt::SizeHorCursor);
    case HoverCursor::Rotate:
        return rotateCursor();
    case HoverCursor::TextView:
        return QCursor(Qt::IBeamCursor);
    case HoverCursor::Arrow:
        break;
    }
    return QCursor(Qt::ArrowCursor);
}

QCursor TextViewContainer::rotateCursor()
{
    // The picture is kept, the pixmap made per call: a pixmap must not outlive the application.
    static const QImage image = rotateCursorImage();
    return QCursor(QPixmap::fromImage(image), 8, 10);
}

bool TextViewContainer::mouseMoved(const platform::Event& event)
{
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    const HoverCursor kind = hoverCursorAt(p, event.modifierFlags());
    if (kind != HoverCursor::TextView)
        setCursor(cursorFor(kind));
    if ((bInstantAlpha && instantAlphaBox()) || !bDrawWithPen)
        return true;
    // The pen path's last point follows the pointer until the next press fixes it.
    // The first point stays where the first press put it.
    auto* path = dynamic_cast<MyShapeView*>(penView.get());
    if (!path || path->points().size() < 2)
        return true;
    const BoxCorners c = boxCorners(gesture::outlineOf(*path));
    path->modifyControlPoint(int(path->points().size()) - 1, reversePoint(c, p), false);
    path->setNeedsDisplay();
    markForDisplay();
    return true;
}

bool TextViewContainer::cursorUpdate(const platform::Event& event)
{
    if (bDrawWithPen) {
        setCursor(cursorFor(HoverCursor::Crosshair));
        return true;
    }
    if (mouseDownState == 4 || mouseDownState == 3) {
        setCursor(cursorFor(mouseDownState == 4 ? HoverCursor::Rotate : HoverCursor::Resize));
        return true;
    }
    return View::cursorUpdate(event);
}
