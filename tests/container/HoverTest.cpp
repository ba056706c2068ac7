// Right click, hover and cursor. A right click removes the point or inner curve handle within 7
// as one undo step, and only what the overlay shows; the hover's cursor is what a press at the
// same place would do; pen and colour-removal modes have cursors of their own.
#include "GestureTestSupport.h"
#include "container/SelectedTextBoxView.h"
#include "platform/ui/ViewHost.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <gtest/gtest.h>

using namespace platform;
using HoverCursor = TextViewContainer::HoverCursor;

namespace {

const Rect kFrame(100.0, 100.0, 200.0, 100.0);

enum class Subject { TextCurve, FlatTextCurve, CurveShape, TwoPointCurve, WarpedCurveShape };

// The box a right-click row works on, and where its target point lies in the container.
struct RightClickScene {
    PressRig r;
    MyViewBase* box = nullptr;
    Point target;

    RightClickScene(Subject subject, int targetIndex)
    {
        if (subject == Subject::TextCurve || subject == Subject::FlatTextCurve) {
            box = r.addTextBox(kFrame);
            box->setCurves({ Point(0.0, 0.0),
                Point(0.5, subject == Subject::TextCurve ? -0.5 : 0.001), Point(1.0, 0.0) });
            target = SelectedTextBoxView::curveGuidePoints(*box).at(std::size_t(targetIndex));
            return;
        }
        auto* shape = r.addShape(shape::Curve, kFrame);
        shape->setSelected(true);
        if (subject == Subject::TwoPointCurve) {
            shape->setPoints({ shape->points().at(0), shape->points().at(1) });
            shape->setControlVals({ ControlValue(), ControlValue() });
        }
        if (subject == Subject::WarpedCurveShape)
            shape->setVertPerspective(0.3f);
        box = shape;
        target = calcPoints(cornersOf(*shape), shape->points().at(std::size_t(targetIndex)));
    }
    std::size_t count() const
    {
        if (const auto* shape = dynamic_cast<const MyShapeView*>(r.rig.container->textViewAry[0]))
            return shape->points().size();
        return r.rig.container->textViewAry[0]->curves().size();
    }
};

struct RightClickRow {
    const char* name;
    Subject subject;
    int target;
    Point offset;
    bool selected = true;
    bool editing = false;
    bool viaControl = false; // a Control press instead of the right button
    bool removed = false;
};

} // namespace

TEST(RightClick, RemovesTheShownPointWithin7AsOneStep)
{
    const RightClickRow rows[] = {
        { "6.9 from the middle curve handle", Subject::TextCurve, 1, Point(6.9, 0.0), true, false,
            false, true },
        { "7.0 from it", Subject::TextCurve, 1, Point(7.0, 0.0) },
        { "Control press 6.9 from it", Subject::TextCurve, 1, Point(0.0, -6.9), true, false, true,
            true },
        { "on the first curve handle", Subject::TextCurve, 0, Point() },
        { "on the last curve handle", Subject::TextCurve, 2, Point() },
        { "handle of an unselected box is hidden", Subject::TextCurve, 1, Point(), false },
        { "handle of an edited box is hidden", Subject::TextCurve, 1, Point(), true, true },
        { "handle of a flat curve is hidden", Subject::FlatTextCurve, 1, Point() },
        { "6.9 from a curve shape's point", Subject::CurveShape, 1, Point(4.0, -5.6), true, false,
            false, true },
        { "7.0 from it", Subject::CurveShape, 1, Point(0.0, 7.0) },
        { "point of an unselected shape is hidden", Subject::CurveShape, 1, Point(), false },
        { "point of a warped shape is hidden", Subject::WarpedCurveShape, 1, Point() },
        { "a two-point curve keeps its points", Subject::TwoPointCurve, 1, Point() },
    };
    for (const RightClickRow& row : rows) {
        SCOPED_TRACE(row.name);
        RightClickScene s(row.subject, row.target);
        s.box->setSelected(row.selected);
        s.box->setIsEditing(row.editing);
        s.r.rig.endEvent();
        const std::size_t before = s.count();
        const int steps = s.r.rig.undo.undoGroupCount();
        const Point p = awayFrom(s.target, row.offset);
        if (row.viaControl)
            s.r.press(p, ControlKeyMask);
        else
            s.r.c().rightMouseDown(Event::mouseEvent(EventType::RightMouseDown, p, 0));
        s.r.rig.endEvent();
        EXPECT_EQ(s.count(), row.removed ? before - 1 : before);
        EXPECT_EQ(s.r.rig.undo.undoGroupCount(), steps + (row.removed ? 1 : 0));
        if (const auto* shape = dynamic_cast<const MyShapeView*>(s.box))
            EXPECT_EQ(shape->controlVals().size(), shape->points().size());
        if (row.removed) {
            s.r.rig.undo.undo();
            EXPECT_EQ(s.count(), before) << "undo brings the point back";
        }
    }
}

namespace {

enum class Scene { TextBox, TurnedTextBox, WarpedTextBox, CurveShape, EditedText };

struct HoverRow {
    const char* name;
    Scene scene;
    Point p; // from handle `handle` of the upper box when that is not -1
    unsigned modifiers;
    HoverCursor cursor;
    int handle = -1;
};

// Two text boxes, the lower one unselected; the upper one as the scene says.
void buildHoverScene(PressRig& r, Scene scene)
{
    r.addTextBox(Rect(600.0, 600.0, 100.0, 100.0), false);
    switch (scene) {
    case Scene::TextBox:
        r.addTextBox(kFrame);
        break;
    case Scene::TurnedTextBox:
        r.addTextBox(kFrame)->setRotationAngle(30.0);
        break;
    case Scene::WarpedTextBox: {
        MyViewBase* box = r.addTextBox(kFrame);
        box->setCurves({ Point(0.0, 0.0), Point(0.5, -0.5), Point(1.0, 0.0) });
        break;
    }
    case Scene::CurveShape:
        r.addShape(shape::Curve, kFrame)->setSelected(true);
        break;
    case Scene::EditedText:
        r.addTextBox(kFrame)->setIsEditing(true);
        break;
    }
}

// What the press at the same place starts, in cursor terms.
HoverCursor pressOutcome(const TextViewContainer& c)
{
    switch (c.mouseDownState) {
    case 0:
        return HoverCursor::TextView;
    case 1:
    case 2:
        return HoverCursor::Arrow;
    case 4:
        return HoverCursor::Rotate;
    default:
        return HoverCursor::Resize;
    }
}

const HoverRow kHoverRows[] = {
    { "5.7 from handle 2", Scene::TextBox, Point(5.7, 5.7), 0, HoverCursor::Resize, 2 },
    { "5.7 from handle 2 with Command", Scene::TextBox, Point(5.7, -5.7), CommandKeyMask,
        HoverCursor::Rotate, 2 },
    { "5.8 from handle 2", Scene::TextBox, Point(5.8, 0.0), 0, HoverCursor::Arrow, 2 },
    { "inside the selected body", Scene::TextBox, Point(200.0, 150.0), 0, HoverCursor::Arrow },
    { "inside an unselected body", Scene::TextBox, Point(650.0, 650.0), 0, HoverCursor::Arrow },
    { "empty space", Scene::TextBox, Point(500.0, 500.0), 0, HoverCursor::Arrow },
    { "middle of a turned box's bottom edge", Scene::TurnedTextBox, Point(), 0, HoverCursor::Resize,
        6 },
    { "vertical grip", Scene::WarpedTextBox, Point(320.0, 150.0), 0, HoverCursor::Resize },
    { "horizontal grip", Scene::WarpedTextBox, Point(200.0, 240.0), 0, HoverCursor::Resize },
    { "inner curve handle", Scene::WarpedTextBox, Point(205.0, 35.0), 0, HoverCursor::Resize },
    // The press takes shape points in a 10 square: the hover says so too.
    { "9.9 from a curve shape's point", Scene::CurveShape, Point(149.9, 189.9), 0,
        HoverCursor::Resize },
    { "edited text", Scene::EditedText, Point(200.0, 150.0), 0, HoverCursor::TextView },
};

} // namespace

TEST(Hover, CursorIsWhatThePressWouldDo)
{
    for (const HoverRow& row : kHoverRows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        buildHoverScene(r, row.scene);
        Point p = row.p;
        if (row.handle >= 0) {
            p = awayFrom(outline(*r.c().textViewAry.back())[std::size_t(row.handle)], row.p);
        }
        EXPECT_EQ(r.c().hoverCursorAt(p, row.modifiers), row.cursor);
        r.press(p, row.modifiers);
        EXPECT_EQ(pressOutcome(r.c()), row.cursor) << "the press disagrees with the hover";
    }
}

TEST(Hover, PenAndColourRemovalModes)
{
    struct Row {
        const char* name;
        bool pen; // else colour removal
        Point p;
        HoverCursor cursor;
    } rows[] = {
        { "pen 9.9 from the first point closes: arrow", true, Point(109.9, 100.0),
            HoverCursor::Arrow },
        { "pen 10.0 from it: crosshair", true, Point(110.0, 100.0), HoverCursor::Crosshair },
        { "pen far away: crosshair", true, Point(400.0, 300.0), HoverCursor::Crosshair },
        { "over the picture box: crosshair", false, Point(600.0, 450.0), HoverCursor::Crosshair },
        { "beside it: arrow", false, Point(570.0, 450.0), HoverCursor::Arrow },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        if (row.pen) {
            r.c().newShapeBox(shape::PenPath);
            EXPECT_EQ(r.c().hoverCursorAt(row.p, 0), HoverCursor::Crosshair) << "no path yet";
            r.press(Point(100.0, 100.0));
            r.press(Point(200.0, 100.0));
        } else {
            // A 40 x 30 picture centred on 1200 x 900: frame (580, 435, 40, 30).
            r.c().newImageBox(solidPicture(40, 30));
            ASSERT_TRUE(r.c().instantAlpha());
        }
        EXPECT_EQ(r.c().hoverCursorAt(row.p, 0), row.cursor);
        r.c().mouseMoved(Event::mouseEvent(EventType::MouseMoved, row.p, 0));
        if (row.pen) {
            // The last point follows the pointer; the others stay.
            auto* path = dynamic_cast<MyShapeView*>(r.c().penView.get());
            ASSERT_NE(path, nullptr);
            ASSERT_EQ(path->points().size(), 3u);
            expectNear(calcPoints(cornersOf(*path), path->points().back()), row.p, 1e-3);
            expectNear(calcPoints(cornersOf(*path), path->points().front()), Point(100, 100), 1e-3);
        }
    }
}

TEST(Hover, CursorsReachTheWidget)
{
    PressRig r;
    MyViewBase* box = r.addTextBox(kFrame);
    MyShapeView* curve = r.addShape(shape::Curve, Rect(600.0, 500.0, 200.0, 100.0));
    curve->setSelected(true);
    box->setSelected(true);
    ViewHost host;
    host.resize(1200, 900);
    TextViewContainer* c = r.rig.container.get();
    host.setRootView(std::move(r.rig.container));
    // Real pointer moves: the host's tracking area delivers them to the container.
    const auto move = [&](const Point& p, unsigned modifiers) {
        const QPointF at = host.widgetPointFromWindow(p);
        QMouseEvent e(QEvent::MouseMove, at, host.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
            modifiers & CommandKeyMask ? Qt::ControlModifier : Qt::NoModifier);
        QCoreApplication::sendEvent(&host, &e);
        return host.cursor();
    };
    const auto q = outline(*box);
    EXPECT_EQ(move(q[2], 0).shape(), Qt::SizeHorCursor);
    const QCursor rotate = move(q[2], CommandKeyMask);
    EXPECT_EQ(rotate.shape(), Qt::BitmapCursor);
    EXPECT_EQ(rotate.hotSpot(), QPoint(8, 10));
    EXPECT_EQ(move(Point(200.0, 150.0), 0).shape(), Qt::ArrowCursor);

    // A running gesture keeps its cursor.
    const auto update = [&](int state) {
        c->mouseDownState = state;
        c->cursorUpdate(Event::mouseEvent(EventType::CursorUpdate, Point(10.0, 10.0), 0));
        return host.cursor().shape();
    };
    EXPECT_EQ(update(4), Qt::BitmapCursor);
    EXPECT_EQ(update(3), Qt::SizeHorCursor);
    EXPECT_EQ(update(1), Qt::SizeHorCursor) << "a move leaves the cursor as it is";
    c->mouseDownState = 0;

    // The double-click that flips a curve point shows the crosshair.
    const Point point = calcPoints(cornersOf(*curve), curve->controlPoints().at(1));
    c->mouseDownAtTextBox(point, Event::mouseEvent(EventType::LeftMouseDown, point, 0, 2));
    EXPECT_EQ(host.cursor().shape(), Qt::CrossCursor);
    c->beforeAction();
    c->newShapeBox(shape::PenPath);
    EXPECT_EQ(update(0), Qt::CrossCursor) << "pen mode";
}

TEST(Hover, RotateCursorPicture)
{
    const QCursor cursor = TextViewContainer::rotateCursor();
    EXPECT_EQ(cursor.hotSpot(), QPoint(8, 10));
    const QImage image = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(20, 20));
    struct Probe {
        const char* name;
        QPoint at;
        bool opaque, dark;
    } probes[] = {
        { "corner", QPoint(0, 0), false, false },
        { "far corner", QPoint(19, 19), false, false },
        { "left of the ring", QPoint(2, 10), true, true },
        { "bottom of the ring", QPoint(8, 15), true, true },
        { "the hot spot's dot", QPoint(8, 10), true, true },
        { "white rim outside the ring", QPoint(8, 16), true, false },
    };
    for (const Probe& probe : probes) {
        SCOPED_TRACE(probe.name);
        const QColor px = image.pixelColor(probe.at);
        EXPECT_EQ(px.alpha() > 200, probe.opaque);
        if (probe.opaque)
            EXPECT_EQ(px.value() < 100, probe.dark);
    }
}

TEST(Hover, RecordsWithFewOrManyPointsCope)
{
    // Records from a file or the clipboard: nothing reads the first point of an empty list, and
    // a long path is searched like a short one.
    struct Row {
        const char* name;
        std::size_t points; // of a selected curve shape
        std::size_t curves; // of a selected text box beside it
        bool removes;
    } rows[] = {
        { "no points, no curves", 0, 0, false },
        { "one point, one curve point", 1, 1, false },
        { "100000 points", 100000, 2, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* text = r.addTextBox(Rect(600.0, 100.0, 200.0, 100.0));
        text->setCurves(std::vector<Point>(row.curves, Point(0.5, -0.5)));
        MyShapeView* shape = r.addShape(shape::Curve, kFrame);
        std::vector<Point> points(row.points);
        for (std::size_t i = 0; i < points.size(); ++i)
            points[i] = Point(
                double(i) / double(std::max<std::size_t>(points.size(), 2) - 1), i % 2 ? 1.0 : 0.0);
        shape->setPoints(points);
        shape->setControlVals(std::vector<ControlValue>(row.points, ControlValue()));
        shape->setSelected(true);
        text->setSelected(true);
        for (const Point& p : { Point(100.0, 100.0), Point(700.0, 60.0), Point(50.0, 50.0) }) {
            r.c().hoverCursorAt(p, 0);
            r.c().mouseMoved(Event::mouseEvent(EventType::MouseMoved, p, 0));
        }
        r.c().rightMouseDown(Event::mouseEvent(EventType::RightMouseDown, Point(100.0, 100.0), 0));
        EXPECT_EQ(shape->points().size(), row.removes ? row.points - 1 : row.points);
        EXPECT_EQ(text->curves().size(), row.curves);
    }
}
