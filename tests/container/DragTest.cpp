// The drag steps: resizing by each handle in the box's turned frame (no flip, sides at least 1),
// the aspect rules, rotation by handle, the grips' clamp, the curve point's limits, the rubber
// band's three tests, moves, stale gestures, and that a drag redraws only what it changed.
#include "GestureTestSupport.h"
#include "container/SelectedTextBoxView.h"
#include "platform/ui/ViewHost.h"
#include "support/PixelProbe.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// A point of the box's own frame at the press: x along its edge p0-p1, y along p0-p3.
struct Local {
    Point p0, u, v;
    explicit Local(const MyViewBase& box)
    {
        const auto q = outline(box);
        const double w = box.frame().size.width, h = box.frame().size.height;
        p0 = q[0];
        u = Point((q[1].x - q[0].x) / w, (q[1].y - q[0].y) / w);
        v = Point((q[3].x - q[0].x) / h, (q[3].y - q[0].y) / h);
    }
    Point at(double x, double y) const
    {
        return Point(p0.x + x * u.x + y * v.x, p0.y + x * u.y + y * v.y);
    }
};

} // namespace

TEST(Drag, ResizeEveryHandleTurned30)
{
    // A 200 x 100 text box turned 30 degrees. Targets are in the box's own frame at the press.
    struct Row {
        const char* name;
        int handle;
        Point target;
        Size size;
        std::vector<int> fixed; // outline points that must stay
    } rows[] = {
        { "0 grows", 0, Point(-20, -10), Size(220, 110), { 2 } },
        { "0 across p2 does not flip", 0, Point(230, 130), Size(30, 30), { 2 } },
        { "0 onto p2 keeps 1 x 1", 0, Point(200, 100), Size(1, 1), { 2 } },
        { "1 grows", 1, Point(220, -10), Size(220, 110), { 3 } },
        { "1 across p3 does not flip", 1, Point(-30, 130), Size(30, 30), { 3 } },
        { "1 onto p3 keeps 1 x 1", 1, Point(0, 100), Size(1, 1), { 3 } },
        { "2 grows", 2, Point(220, 110), Size(220, 110), { 0 } },
        { "2 across p0 does not flip", 2, Point(-30, -20), Size(30, 20), { 0 } },
        { "2 onto p0 keeps 1 x 1", 2, Point(0, 0), Size(1, 1), { 0 } },
        { "3 grows", 3, Point(-20, 110), Size(220, 110), { 1 } },
        { "3 across p1 does not flip", 3, Point(230, -20), Size(30, 20), { 1 } },
        { "3 onto p1 keeps 1 x 1", 3, Point(200, 0), Size(1, 1), { 1 } },
        { "4 grows", 4, Point(-20, 50), Size(220, 100), { 1, 2 } },
        { "4 across the right edge", 4, Point(230, 50), Size(30, 100), { 1, 2 } },
        { "4 onto the right edge", 4, Point(200, 50), Size(1, 100), { 1, 2 } },
        { "5 grows", 5, Point(220, 50), Size(220, 100), { 0, 3 } },
        { "5 across the left edge", 5, Point(-30, 50), Size(30, 100), { 0, 3 } },
        { "5 onto the left edge keeps 1", 5, Point(0, 50), Size(1, 100), { 0, 3 } },
        { "6 grows", 6, Point(100, -10), Size(200, 110), { 3, 2 } },
        { "6 across the top edge", 6, Point(100, 130), Size(200, 30), { 3, 2 } },
        { "6 onto the top edge", 6, Point(100, 100), Size(200, 1), { 3, 2 } },
        { "7 grows", 7, Point(100, 110), Size(200, 110), { 0, 1 } },
        { "7 across the bottom edge", 7, Point(100, -20), Size(200, 20), { 0, 1 } },
        { "7 onto the bottom edge", 7, Point(100, 0), Size(200, 1), { 0, 1 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = r.addTextBox(Rect(400, 300, 200, 100));
        box->setRotationAngle(30.0);
        const auto before = outline(*box);
        const Local local(*box);
        r.press(before[std::size_t(row.handle)]);
        ASSERT_EQ(r.c().mouseDownState, 3);
        r.drag(local.at(row.target.x, row.target.y));
        expectNear(Point(box->frame().size.width, box->frame().size.height),
            Point(row.size.width, row.size.height), 1e-3);
        EXPECT_EQ(box->rotationAngle(), 30.0);
        const auto after = outline(*box);
        for (int k : row.fixed)
            expectNear(after[std::size_t(k)], before[std::size_t(k)], 1e-3);
    }
}

TEST(Drag, AspectRules)
{
    struct Row {
        const char* name;
        bool image;
        double orgW, orgH; // the picture's own size (image boxes)
        int handle;
        unsigned modifiers;
        Point target; // in the box's own frame; the box is 200 x 100 at 0 degrees
        Size size;
    } rows[] = {
        // Along the press diagonal: the corner lands at r / |(200,100)| of it.
        { "image corner follows the diagonal", true, 160, 120, 2, 0, Point(300, 100),
            Size(200 * 316.227766 / 223.606798, 100 * 316.227766 / 223.606798) },
        { "text corner with Shift follows the diagonal", false, 0, 0, 2, ShiftKeyMask,
            Point(300, 100), Size(200 * 316.227766 / 223.606798, 100 * 316.227766 / 223.606798) },
        { "text corner without Shift is free", false, 0, 0, 2, 0, Point(300, 100), Size(300, 100) },
        { "image edge keeps the picture's proportions", true, 160, 120, 5, 0, Point(300, 50),
            Size(300, 225) },
        { "image edge 7 keeps them too", true, 160, 120, 7, 0, Point(100, 150), Size(200, 150) },
        { "text edge with Shift keeps the press's", false, 0, 0, 7, ShiftKeyMask, Point(100, 150),
            Size(300, 150) },
        { "text edge without Shift keeps the other side", false, 0, 0, 7, 0, Point(100, 150),
            Size(200, 150) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = nullptr;
        if (row.image) {
            r.c().newImageBox(solidPicture(160, 120));
            auto* image = dynamic_cast<MyImageView*>(r.c().textViewAry.back());
            image->setOrgImage(image->orgImage(), row.orgW, row.orgH);
            box = image;
            box->setFrame(Rect(400, 300, 200, 100));
            box->setSelected(true);
        } else {
            box = r.addTextBox(Rect(400, 300, 200, 100));
        }
        r.press(outline(*box)[std::size_t(row.handle)]);
        ASSERT_EQ(r.c().mouseDownState, 3);
        r.drag(Local(*box).at(row.target.x, row.target.y), row.modifiers);
        expectNear(Point(box->frame().size.width, box->frame().size.height),
            Point(row.size.width, row.size.height), 1e-3);
    }
}

TEST(Drag, RotateByHandle)
{
    // A 200 x 100 box at 0 degrees; the pointer is placed from the box's centre.
    const double diag = std::atan2(100.0, 200.0) * 180.0 / 3.141592;
    struct Row {
        const char* name;
        int handle;
        Point fromCentre;
        double angle;
    } rows[] = {
        { "handle 5, pointer straight above", 5, Point(0, 80), 90.0 },
        { "handle 4, pointer straight above", 4, Point(0, 80), 270.0 },
        { "handle 6, pointer to the right", 6, Point(80, 0), 90.0 },
        { "handle 7, pointer to the left", 7, Point(-80, 0), 90.0 },
        { "handle 2, pointer above", 2, Point(0, 80), 90.0 - diag },
        { "handle 0, pointer below", 0, Point(0, -80), 90.0 - diag },
        { "handle 1, pointer right", 1, Point(80, 0), diag },
        { "handle 3, pointer right", 3, Point(80, 0), 180.0 + diag },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = r.addTextBox(Rect(400, 300, 200, 100));
        r.press(outline(*box)[std::size_t(row.handle)], CommandKeyMask);
        ASSERT_EQ(r.c().mouseDownState, 4);
        r.drag(Point(500 + row.fromCentre.x, 350 + row.fromCentre.y));
        EXPECT_NEAR(box->rotationAngle(), row.angle, 1e-4);
    }
}

TEST(Drag, GripsFollowAndClamp)
{
    // The box of the press tests: 200 x 100 at (100, 100); the vertical grip lies right of it,
    // the horizontal one beyond the edge p3-p2.
    struct Row {
        const char* name;
        Point press;
        Point to;
        float vert, horz;
    } rows[] = {
        { "vertical, middle line", Point(320, 150), Point(330, 150), 0.0f, 0.3f },
        { "vertical, three quarters", Point(320, 150), Point(330, 175), 0.5f, 0.3f },
        { "vertical, beyond clamps at 1", Point(320, 150), Point(330, 400), 1.0f, 0.3f },
        { "vertical, below clamps at -1", Point(320, 150), Point(330, -200), -1.0f, 0.3f },
        { "horizontal, edge p1-p2 line", Point(200, 240), Point(300, 150), 0.2f, 1.0f },
        { "horizontal, left clamps at -1", Point(200, 240), Point(-400, 150), 0.2f, -1.0f },
        { "vertical, the press itself sets 0.5", Point(320, 175), Point(320, 175), 0.5f, 0.3f },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = r.addTextBox(Rect(100, 100, 200, 100));
        box->setVertPerspective(0.2f);
        box->setHorzPerspective(0.3f);
        r.press(row.press);
        ASSERT_GE(r.c().mouseDownState, 5);
        // The grip follows the pointer from the press on, before any drag.
        const Point unit = reversePoint(cornersOf(*box), row.press);
        if (r.c().mouseDownState == 5)
            EXPECT_NEAR(box->vertPerspective(), 2.0 * unit.y - 1.0, 1e-5);
        else
            EXPECT_NEAR(box->horzPerspective(), 2.0 * unit.x - 1.0, 1e-5);
        r.drag(row.to);
        EXPECT_NEAR(box->vertPerspective(), row.vert, 1e-5);
        EXPECT_NEAR(box->horzPerspective(), row.horz, 1e-5);
    }
}

TEST(Drag, CurvePointLimits)
{
    struct Row {
        const char* name;
        std::vector<Point> curves;
        int point;
        Point unitTarget; // where the pointer goes, in the box's unit coordinates
        Point result;
    } rows[] = {
        { "three points: left limit 0.2", { { 0, 0 }, { 0.5, 0.3 }, { 1, 0 } }, 1, Point(0.05, 0.1),
            Point(0.2, 0.3) },
        { "three points: right limit 0.8", { { 0, 0 }, { 0.5, 0.3 }, { 1, 0 } }, 1,
            Point(0.95, 0.1), Point(0.8, 0.3) },
        { "three points: free in the middle", { { 0, 0 }, { 0.5, 0.3 }, { 1, 0 } }, 1,
            Point(0.4, 0.3), Point(0.4, 0.5) },
        { "y clamps at 1", { { 0, 0 }, { 0.5, 0.3 }, { 1, 0 } }, 1, Point(0.5, 5.0),
            Point(0.5, 1.0) },
        { "y clamps at -1", { { 0, 0 }, { 0.5, 0.3 }, { 1, 0 } }, 1, Point(0.5, -3.0),
            Point(0.5, -1.0) },
        { "four points: 0.13 before the next", { { 0, 0 }, { 0.3, 0.3 }, { 0.6, 0.3 }, { 1, 0 } },
            1, Point(0.55, 0.1), Point(0.47, 0.3) },
        { "four points: 0.13 after the previous",
            { { 0, 0 }, { 0.3, 0.3 }, { 0.6, 0.3 }, { 1, 0 } }, 2, Point(0.35, 0.1),
            Point(0.43, 0.3) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = r.addTextBox(Rect(100, 100, 200, 100));
        box->setCurves(row.curves);
        r.press(SelectedTextBoxView::curveGuidePoints(*box)[std::size_t(row.point)]);
        ASSERT_EQ(r.c().mouseDownState, 7);
        ASSERT_EQ(r.c().expandingSubId, row.point);
        r.drag(calcPoints(cornersOf(*box), row.unitTarget.x, row.unitTarget.y));
        expectNear(box->curves()[std::size_t(row.point)], row.result, 1e-5);
        EXPECT_EQ(box->curves().size(), row.curves.size());
    }
}

TEST(Drag, RubberBandTests)
{
    struct Row {
        const char* name;
        Rect box;
        double rotation;
        Point from, to; // the band
        bool caught;
    } rows[] = {
        { "a box corner inside the band", Rect(100, 100, 50, 50), 0, Point(90, 90), Point(120, 120),
            true },
        { "the band inside the box", Rect(100, 100, 200, 200), 0, Point(150, 150), Point(160, 160),
            true },
        { "edges crossing only", Rect(100, 100, 200, 20), 0, Point(150, 50), Point(160, 200),
            true },
        { "turned box, edges crossing only", Rect(100, 100, 200, 20), 45, Point(195, 40),
            Point(205, 260), true },
        { "apart", Rect(100, 100, 50, 50), 0, Point(400, 400), Point(450, 450), false },
        { "a selected box outside the band is deselected", Rect(100, 100, 50, 50), 0,
            Point(300, 300), Point(310, 310), false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = r.addTextBox(row.box);
        box->setRotationAngle(row.rotation);
        // The band's drag step on its own, from wherever it starts.
        r.c().isMouseDown = true;
        r.c().mouseDownState = 2;
        r.c().mouseDownPoint = row.from;
        const int calls = r.rig.delegate.selectedCalls;
        r.drag(row.to);
        EXPECT_EQ(box->selected(), row.caught);
        EXPECT_EQ(r.c().rectSelecting,
            Rect(std::min(row.from.x, row.to.x), std::min(row.from.y, row.to.y),
                std::fabs(row.to.x - row.from.x), std::fabs(row.to.y - row.from.y)));
        EXPECT_EQ(r.rig.delegate.selectedCalls, calls + 1);
    }
}

TEST(Drag, MoveAndStaleGestures)
{
    PressRig r;
    MyViewBase* a = r.addTextBox(Rect(100, 100, 100, 50));
    MyViewBase* b = r.addTextBox(Rect(300, 100, 100, 50));
    MyViewBase* still = r.addTextBox(Rect(500, 500, 100, 50), false);
    a->setSelected(true); // a new box is selected alone
    b->setSelected(true);
    r.press(Point(150, 120));
    ASSERT_EQ(r.c().mouseDownState, 1);
    r.drag(Point(160.5, 113));
    r.drag(Point(165.5, 113));
    EXPECT_EQ(a->frame().origin, Point(115.5, 93));
    EXPECT_EQ(b->frame().origin, Point(315.5, 93));
    EXPECT_EQ(still->frame().origin, Point(500, 500));

    // The gesture's box replaced under the drag (an undo in between): the gesture ends.
    struct Row {
        const char* name;
        Point press;
        unsigned modifiers;
    } stale[] = {
        { "resize", Point(200, 100), 0 },
        { "rotate", Point(200, 100), CommandKeyMask },
        { "move", Point(150, 120), 0 },
    };
    for (const Row& row : stale) {
        SCOPED_TRACE(row.name);
        PressRig s;
        s.addTextBox(Rect(100, 100, 100, 50));
        s.press(row.press, row.modifiers);
        ASSERT_NE(s.c().mouseDownState, 0);
        s.c().applyUndoData(ContainerSnapshot(
            { s.c().textViewAry[0]->getUndoData(), s.c().textViewAry[0]->getUndoData() }));
        const Rect frame = s.c().textViewAry[0]->frame();
        s.drag(Point(400, 400));
        EXPECT_EQ(s.c().textViewAry[0]->frame(), frame);
        EXPECT_EQ(s.c().textViewAry[0]->rotationAngle(), 0.0);
    }
    // A drag without a press does nothing.
    PressRig idle;
    MyViewBase* box = idle.addTextBox(Rect(100, 100, 100, 50));
    idle.drag(Point(400, 400));
    EXPECT_EQ(box->frame(), Rect(100, 100, 100, 50));
}

namespace {

// Draws the tree into image over the window rect `area` (y-up), as the host paints.
void paintTree(View& root, QImage& image, const Rect& area)
{
    QPainter painter(&image);
    GraphicsContext ctx(painter, image.width(), image.height());
    const double reach = root.shadowReachInTree(root.transformToSuperview());
    const Rect drawn = area.insetBy(-reach, -reach);
    ctx.clipToRect(area);
    root.displayInSuperview(ctx, drawn);
}

} // namespace

TEST(Drag, RedrawsOnlyWhatItChanged)
{
    // A repaint of only what a drag marked must equal a full repaint, and stay far smaller.
    struct Row {
        const char* name;
        Point press, to;
        unsigned modifiers;
        float vertPerspective = 0; // a warped box's grips reach past its outline
    } rows[] = {
        { "move", Point(450, 320), Point(483, 301), 0 },
        { "resize by handle 2", Point(600, 400), Point(640, 430), 0 },
        { "rotate by handle 5", Point(600, 350), Point(560, 420), CommandKeyMask },
        { "move warped", Point(450, 320), Point(483, 301), 0, 0.8f },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        for (int i = 0; i < 6; ++i)
            r.addTextBox(Rect(60.0 + 170.0 * i, 650, 150, 60), false);
        MyViewBase* moved = r.addTextBox(Rect(400, 300, 200, 100));
        moved->setBorderSize(6);
        moved->setVertPerspective(row.vertPerspective);
        ViewHost host;
        host.resize(1200, 900);
        auto root = std::make_unique<View>(Rect(0, 0, 1200, 900));
        TextViewContainer* c = root->addSubview(std::move(r.rig.container));
        auto overlay = std::make_unique<SelectedTextBoxView>(Rect(0, 0, 1200, 900));
        overlay->setContainer(c);
        c->selectedView = root->addSubview(std::move(overlay));
        host.setRootView(std::move(root));
        View& tree = *host.rootView();

        c->mouseDownAtTextBox(
            row.press, Event::mouseEvent(EventType::LeftMouseDown, row.press, row.modifiers));
        QImage shown = testsupport::blankImage(1200, 900);
        paintTree(tree, shown, Rect(0, 0, 1200, 900));
        host.grab(); // paints what the press marked, which empties the host's pending area
        ASSERT_TRUE(host.pendingRepaint().isEmpty());

        c->mouseDragged(Event::mouseEvent(EventType::LeftMouseDragged, row.to, row.modifiers));
        const QRect dirty = host.pendingRepaint().boundingRect();
        ASSERT_FALSE(dirty.isEmpty());
        EXPECT_LT(double(dirty.width()) * dirty.height(), 0.25 * 1200 * 900);
        for (const QRect& part : host.pendingRepaint()) {
            {
                QPainter wipe(&shown);
                wipe.setCompositionMode(QPainter::CompositionMode_Clear);
                wipe.fillRect(part, Qt::transparent);
            }
            paintTree(tree, shown,
                Rect(part.x(), 900 - (part.y() + part.height()), part.width(), part.height()));
        }
        QImage full = testsupport::blankImage(1200, 900);
        paintTree(tree, full, Rect(0, 0, 1200, 900));
        EXPECT_LE(testsupport::worstDifference(shown, full), 2);
    }
}
