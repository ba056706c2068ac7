// The release: the click tolerance, a step for every changed frame, the second click opening
// the topmost box, the shape hints, the pen's next point or close, and the common end.
#include "GestureTestSupport.h"
#include "container/MyInstantAlphaView.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

// The rig with a hint bubble to read hints from.
struct ReleaseRig : PressRig {
    MyInstantAlphaView bubble { Rect(30, 30, 300, 50), QString(), 2 };
    ReleaseRig()
    {
        bubble.setHidden(true);
        rig.canvas.bubble = &bubble;
    }
    void click(const Point& p, const Point& at, unsigned modifiers = 0)
    {
        press(p, modifiers);
        if (at != p)
            drag(at, modifiers);
        release(at, modifiers);
        rig.endEvent();
    }
    QString hint() const { return bubble.isHidden() ? QString() : bubble.string(); }
};

} // namespace

TEST(Release, ClickToleranceAndSmallMoves)
{
    // A selected text box at (100, 100, 200, 100), pressed at (150, 150).
    struct Row {
        const char* name;
        Point to; // drag and release point (the press point for none)
        bool opens;
        bool step;
    } rows[] = {
        { "click in place", Point(150, 150), true, false },
        { "2.9 on both axes is a click, the 2.9 move a step", Point(152.9, 152.9), true, true },
        { "3.0 on x is a move", Point(153, 150), false, true },
        { "3.0 on y is a move", Point(150, 147), false, true },
        { "2 points is a step", Point(152, 150), true, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReleaseRig r;
        MyViewBase* box = r.addTextBox(Rect(100, 100, 200, 100));
        r.rig.endEvent();
        const int groups = r.rig.undo.undoGroupCount();
        r.click(Point(150, 150), row.to);
        EXPECT_EQ(openForTyping(box), row.opens);
        EXPECT_EQ(r.rig.undo.undoGroupCount(), groups + (row.step ? 1 : 0));
        EXPECT_EQ(r.c().mouseDownState, 0);
        EXPECT_FALSE(r.c().isMouseDown);
        if (row.step) {
            r.rig.undo.undo();
            EXPECT_EQ(r.c().textViewAry.at(0)->frame(), Rect(100, 100, 200, 100));
        }
    }
}

TEST(Release, SecondClickOpensTheTopBox)
{
    ReleaseRig r;
    MyViewBase* lower = r.addTextBox(Rect(100, 100, 200, 100));
    MyViewBase* upper = r.addTextBox(Rect(150, 120, 200, 100));
    r.click(Point(200, 150), Point(200, 150));
    EXPECT_TRUE(openForTyping(upper));
    EXPECT_FALSE(openForTyping(lower));
    EXPECT_FALSE(lower->selected());
    EXPECT_TRUE(upper->selected());

    // A first click selects only: nothing opens.
    ReleaseRig first;
    MyViewBase* box = first.addTextBox(Rect(100, 100, 200, 100), false);
    first.click(Point(150, 150), Point(150, 150));
    EXPECT_TRUE(box->selected());
    EXPECT_FALSE(openForTyping(box));
}

TEST(Release, ShapeHints)
{
    struct Row {
        const char* name;
        int type;
        bool warped;
        bool selected; // a second click
        const char* hint; // part of the text; "" for none
    } rows[] = {
        { "curve selected by a move: hint 1", shape::Curve, false, false, "Drag a midpoint" },
        { "rounded rectangle: hint 3", shape::RoundedRectangle, false, false, "Hold Ctrl" },
        { "callout: hint 3", shape::OvalCallout, false, false, "Hold Ctrl" },
        { "star: no hint", shape::Star, false, false, "" },
        { "rectangle is not editable: no hint", shape::Rectangle, false, false, "" },
        { "warped curve: click again", shape::Curve, true, false, "Click the shape again" },
        { "warped star: click again", shape::Star, true, false, "Click the shape again" },
        { "second click on a warped curve: hint 1", shape::Curve, true, true, "Drag a midpoint" },
        { "second click on a warped rounded rectangle: hint 3", shape::RoundedRectangle, true, true,
            "Hold Ctrl" },
        { "second click on a warped star: none", shape::Star, true, true, "" },
        { "second click on an unwarped curve: none", shape::Curve, false, true, "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReleaseRig r;
        MyShapeView* shape = r.addShape(row.type, Rect(100, 100, 200, 100));
        if (row.warped)
            shape->setHorzPerspective(0.3f);
        shape->setSelected(row.selected);
        r.c().hideAlert();
        // Away from the shape's points and outline, inside its box.
        const Point at(200, 175);
        r.click(at, row.selected ? at : Point(at.x + 10, at.y));
        if (*row.hint) {
            EXPECT_TRUE(r.hint().contains(QString::fromUtf8(row.hint))) << r.hint().toStdString();
        } else {
            EXPECT_TRUE(r.hint().isEmpty()) << r.hint().toStdString();
        }
    }
}

TEST(Release, PenReleaseClosesOrAddsAPoint)
{
    struct Row {
        const char* name;
        bool dragged;
        Point release;
        bool closed;
        int added;
    } rows[] = {
        { "9.9 from the first point closes", true, Point(109.9, 100), true, 0 },
        { "10.0 from it adds a point", true, Point(110, 100), false, 1 },
        { "without a drag nothing changes", false, Point(109.9, 100), false, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReleaseRig r;
        r.c().newShapeBox(shape::PenPath);
        r.click(Point(100, 100), Point(100, 100));
        auto* path = dynamic_cast<MyShapeView*>(r.c().penView.get());
        ASSERT_NE(path, nullptr);
        r.press(Point(200, 100));
        if (row.dragged)
            r.drag(Point(row.release));
        const std::size_t before = path->points().size();
        const int groups = r.rig.undo.undoGroupCount();
        r.release(row.release);
        r.rig.endEvent();
        EXPECT_EQ(path->endType() == shape::ClosedPath, row.closed);
        EXPECT_EQ(r.c().bDrawWithPen, !row.closed);
        EXPECT_EQ(path->points().size(), before + std::size_t(row.added));
        EXPECT_EQ(r.rig.undo.undoGroupCount(), groups + (row.closed ? 1 : 0));
        if (row.closed) {
            EXPECT_EQ(path->points().back(), path->points().front());
        }
    }
}

TEST(Release, CommonEnd)
{
    struct Row {
        const char* name;
        Point press, to;
        unsigned modifiers;
        bool step;
    } rows[] = {
        { "rubber band: no step, the selection stays", Point(50, 50), Point(160, 160), 0, false },
        { "click on empty space", Point(50, 50), Point(50, 50), 0, false },
        { "resize", Point(300, 200), Point(320, 220), 0, true },
        { "rotate", Point(300, 200), Point(320, 260), CommandKeyMask, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReleaseRig r;
        MyViewBase* box = r.addTextBox(Rect(100, 100, 200, 100));
        r.rig.endEvent();
        const int groups = r.rig.undo.undoGroupCount();
        const int informed = r.rig.delegate.selectedCalls;
        r.click(row.press, row.to, row.modifiers);
        EXPECT_EQ(r.c().mouseDownState, 0);
        EXPECT_EQ(r.rig.undo.undoGroupCount(), groups + (row.step ? 1 : 0));
        EXPECT_GT(r.rig.delegate.selectedCalls, informed);
        if (row.press.x == 50 && row.to.x == 160) {
            EXPECT_TRUE(box->selected());
        }
    }
    // A release without a press, and a release after the gesture's box went: harmless.
    ReleaseRig r;
    r.addTextBox(Rect(100, 100, 200, 100));
    r.release(Point(10, 10));
    r.press(Point(300, 200));
    r.c().applyUndoData(ContainerSnapshot({ r.c().textViewAry[0]->getUndoData() }));
    r.rig.endEvent();
    const int groups = r.rig.undo.undoGroupCount();
    r.release(Point(320, 220));
    r.rig.endEvent();
    EXPECT_EQ(r.rig.undo.undoGroupCount(), groups);
    EXPECT_EQ(r.c().mouseDownState, 0);
}
