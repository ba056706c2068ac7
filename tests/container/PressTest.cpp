// The press on the box layer: what it hits in its order of priority and the state it leaves for
// the drag. At zoom 1 handles are 5.8-unit squares (the drawn handle and 2 pixels; Command
// rotates), shape points 10-unit squares, inner curve handles a 10-unit radius, outlines and
// curve splines 7 units, and at small zooms the marks' reach grows to stay 2 pixels round them;
// a lower selected box's handle beats any body; one before-snapshot per press, taken before a
// point is inserted.
#include "GestureTestSupport.h"
#include "boxes/ShapeOutline.h"
#include "boxes/UnitBoxMap.h"
#include "container/BoxClipboard.h"
#include "container/SelectedTextBoxView.h"
#include "platform/ui/Event.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

namespace {

const Rect kFrame(100.0, 100.0, 200.0, 100.0);

// The index of the sample in the middle of segment `segment` of a spline's samples.
template <class Samples> std::size_t middleSample(const Samples& samples, int segment)
{
    std::vector<std::size_t> in;
    for (std::size_t k = 0; k < samples.points.size(); ++k) {
        if (samples.sourceIndex[k] == segment)
            in.push_back(k);
    }
    return in[in.size() / 2];
}

// The press's own sampling of the spline through a box's curve handles: two samples inside a
// segment for every six units its three chords measure.
SplineSamples curveSearchSamples(const MyViewBase& box)
{
    const std::vector<Point> handles = SelectedTextBoxView::curveGuidePoints(box);
    ShapeModel smooth;
    smooth.controlVals.assign(handles.size(), ControlValue());
    return *splinePoints(smooth, handles, 6);
}

// A sample of the spline through the curve handles in the middle of segment `segment`, moved
// `off` along the spline's normal there.
Point curveSplinePoint(const MyViewBase& box, int segment, double off)
{
    const auto samples = curveSearchSamples(box);
    const std::size_t k = middleSample(samples, segment);
    const Point a = samples.points[k - 1];
    const Point b = samples.points[k + 1];
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    const Point s = samples.points[k];
    return Point(s.x - off * (b.y - a.y) / len, s.y + off * (b.x - a.x) / len);
}

} // namespace

TEST(Press, HandleSquareAndCommand)
{
    struct Row {
        const char* name;
        int handle;
        Point offset; // from the handle
        unsigned modifiers;
        int code;
    } rows[] = {
        { "5.7 right and above handle 2", 2, Point(5.7, -5.7), 0, 3 },
        { "5.7 right and below handle 2", 2, Point(5.7, 5.7), 0, 3 },
        { "5.8 right of handle 2 misses", 2, Point(5.8, 0.0), 0, 2 },
        { "5.8 below handle 2 misses", 2, Point(0.0, 5.8), 0, 2 },
        { "Command rotates", 2, Point(5.7, -5.7), CommandKeyMask, 4 },
        { "handle 0 with Command", 0, Point(-4.0, -4.0), CommandKeyMask, 4 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = r.addTextBox(kFrame);
        const auto q = outline(*box);
        r.c().undoData.reset();
        r.press(awayFrom(q[std::size_t(row.handle)], row.offset), row.modifiers);
        EXPECT_TRUE(r.c().isMouseDown);
        EXPECT_EQ(r.c().mouseDownState, row.code);
        if (row.code >= 3) {
            EXPECT_EQ(r.c().expandingId, 0);
            EXPECT_EQ(r.c().expandingSubId, row.handle);
            EXPECT_EQ(r.c().gestureBox(), box);
            EXPECT_EQ(r.c().downFrame, box->frame());
            EXPECT_EQ(r.c().downpts, q);
            EXPECT_TRUE(r.c().undoData.has_value());
            EXPECT_TRUE(r.c().tempAry.empty());
        } else {
            // A rubber band takes no snapshot.
            EXPECT_FALSE(r.c().undoData.has_value());
        }
        EXPECT_GT(r.rig.delegate.selectedCalls, 0);
    }
}

TEST(Press, Grips)
{
    struct Row {
        const char* name;
        Rect frame;
        Point p;
        int code;
    } rows[] = {
        // Bands h/10 to 3h/10 beyond the right edge and w/10 to 3w/10 below the bottom one.
        { "vertical grip", kFrame, Point(320.0, 150.0), 5 },
        { "before the vertical grip", kFrame, Point(309.0, 150.0), 2 },
        { "horizontal grip", kFrame, Point(200.0, 240.0), 6 },
        { "beyond the horizontal grip", kFrame, Point(200.0, 261.0), 2 },
        // Under one unit wide the unit coordinates explode: no grips at all.
        { "no grips on a 0.5-wide box", Rect(100.0, 100.0, 0.5, 100.0), Point(120.0, 150.0), 2 },
        { "no grips on a 0.5-high box", Rect(100.0, 100.0, 100.0, 0.5), Point(150.0, 120.0), 2 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = r.addTextBox(row.frame);
        box->setVertPerspective(0.3f);
        r.press(row.p);
        EXPECT_EQ(r.c().mouseDownState, row.code);
        if (row.code >= 5) {
            EXPECT_EQ(r.c().expandingId, 0);
            EXPECT_TRUE(r.c().undoData.has_value());
        }
    }
}

TEST(Press, CurveHandleVersusInsertion)
{
    struct Row {
        const char* name;
        double rotation;
        bool onHandle; // else on the spline, mid segment 0
        Point offset; // from the handle; on the spline x is the distance along its normal
        int code, sub;
        std::size_t curvesAfter;
    } rows[] = {
        { "on the inner handle", 0.0, true, Point(), 7, 1, 3 },
        { "9.9 from the inner handle", 0.0, true, Point(7.0, 7.0), 7, 1, 3 },
        { "10.1 from the inner handle misses", 0.0, true, Point(0.0, -10.1), 2, -1, 3 },
        { "on the spline inserts", 0.0, false, Point(), 7, 1, 4 },
        { "6.9 off the spline inserts", 0.0, false, Point(6.9, 0.0), 7, 1, 4 },
        { "7.1 off the spline misses", 0.0, false, Point(7.1, 0.0), 2, -1, 3 },
        // Measured along the box's own x axis, a turned box inserts too.
        { "turned 180 inserts", 180.0, false, Point(), 7, 1, 4 },
        { "turned 90 inserts", 90.0, false, Point(), 7, 1, 4 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = r.addTextBox(kFrame);
        box->setCurves({ Point(0.0, 0.0), Point(0.5, -0.5), Point(1.0, 0.0) });
        box->setRotationAngle(row.rotation);
        const Point handle = SelectedTextBoxView::curveGuidePoints(*box)[1];
        const Point p = row.onHandle ? Point(handle.x + row.offset.x, handle.y + row.offset.y)
                                     : curveSplinePoint(*box, 0, row.offset.x);
        r.c().undoData.reset();
        r.press(p);
        EXPECT_EQ(r.c().mouseDownState, row.code);
        ASSERT_EQ(box->curves().size(), row.curvesAfter);
        if (row.code == 7) {
            EXPECT_EQ(r.c().expandingSubId, row.sub);
            ASSERT_TRUE(r.c().undoData.has_value());
            // The snapshot is the state before any insertion.
            EXPECT_EQ(r.c().undoData->records().at(0).curves.size(), 3u);
        }
        if (row.curvesAfter == 4) {
            const Point unit = reversePoint(cornersOf(*box), p);
            expectNear(box->curves()[1], Point(unit.x, unit.y + 0.2), 1e-6);
        }
    }
}

// On a large photo shown small, every screen pixel of a drawn handle or shape point and 2 pixels
// round it take the mark; a pixel further does not (where the zoom makes the least reach larger).
TEST(Press, MarksAreTakenWithinTwoScreenPixelsAtAnyZoom)
{
    const Rect big(1500.0, 1000.0, 2000.0, 1000.0);
    for (const double zoom : { 0.2, 1.0, 2.0 }) {
        for (const bool shapePoint : { false, true }) {
            SCOPED_TRACE(std::string(shapePoint ? "shape point" : "handle") + " at zoom "
                + std::to_string(zoom));
            // The drawn mark: a square of handleHalfSize round the centre with a one-unit outline;
            // its pixels are those whose centres it covers.
            const double drawnPx = SelectedTextBoxView::handleHalfSize(zoom) * zoom + 0.5 * zoom;
            const int reachPx = int(std::floor(drawnPx)) + 2;
            const auto taken = [&](int dx, int dy) {
                PressRig r(Size(5640.0, 3172.0));
                r.rig.canvas.zoom = zoom;
                Point mark;
                if (shapePoint) {
                    MyShapeView* shape = r.addShape(shape::Curve, big);
                    mark = calcPoints(cornersOf(*shape), shape->controlPoints().at(1));
                } else {
                    mark = outline(*r.addTextBox(big))[2];
                }
                r.press(Point(mark.x + dx / zoom, mark.y + dy / zoom));
                return r.c().mouseDownState == 3;
            };
            for (int dy = -reachPx; dy <= reachPx; ++dy) {
                for (int dx = -reachPx; dx <= reachPx; ++dx)
                    ASSERT_TRUE(taken(dx, dy)) << dx << ", " << dy << " pixels off";
            }
            if (zoom <= 1.0 && !shapePoint)
                EXPECT_FALSE(taken(reachPx + 2, 0));
        }
    }
}

TEST(Press, NoCurvePointWithinTenSearchSamplesOfAnEnd)
{
    // Counted in the press's coarse sampling the ten samples at each end reach about 9 units
    // along this curve; a sampling three times as dense would leave only about 3.
    struct Row {
        const char* name;
        bool fromEnd; // else from the start
        std::size_t sample;
        bool inserts;
    } rows[] = {
        { "on the first handle", false, 0, false },
        { "two samples from the start", false, 2, false },
        { "twelve samples from the start", false, 12, true },
        { "on the last handle", true, 0, false },
        { "two samples from the end", true, 2, false },
        { "twelve samples from the end", true, 12, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = r.addTextBox(kFrame);
        box->setCurves({ Point(0.0, 0.0), Point(0.5, -0.5), Point(1.0, 0.0) });
        const auto samples = curveSearchSamples(*box);
        ASSERT_GT(samples.points.size(), 2 * row.sample + 1);
        r.press(samples.points[row.fromEnd ? samples.points.size() - 1 - row.sample : row.sample]);
        EXPECT_EQ(box->curves().size(), row.inserts ? 4u : 3u);
        EXPECT_EQ(r.c().mouseDownState, row.inserts ? 7 : 2);
    }
}

TEST(Press, ShapePointsAndOutline)
{
    // Curve points (0,0), (0.2,0.8), (1,1) on a 200 x 100 box.
    struct Row {
        const char* name;
        Point offset; // from point 1
        int clickCount;
        bool pointHit;
    } rows[] = {
        { "9.9 from point 1", Point(9.9, 9.9), 1, true },
        { "10.0 from point 1 misses it", Point(10.0, 10.0), 1, false },
        { "double-click toggles", Point(), 2, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyShapeView* shape = r.addShape(shape::Curve, kFrame);
        const ControlValue before = shape->controlVals().at(1);
        r.c().undoData.reset();
        const Point c = calcPoints(cornersOf(*shape), shape->controlPoints().at(1));
        r.press(awayFrom(c, row.offset), 0, row.clickCount);
        const bool hitPoint = r.c().mouseDownState == 3 && r.c().expandingSubId == 101;
        EXPECT_EQ(hitPoint, row.pointHit);
        if (row.pointHit)
            EXPECT_EQ(r.c().downControls, shape->controlVals());
        if (row.clickCount == 2) {
            // A toggle: no gesture, no snapshot, the same points.
            EXPECT_EQ(r.c().mouseDownState, 0);
            EXPECT_FALSE(shape->controlVals().at(1) == before);
            EXPECT_FALSE(r.c().undoData.has_value());
            EXPECT_EQ(shape->points().size(), 3u);
        }
    }
}

TEST(Press, ShapeOutlineInsertsBeforeSnapshot)
{
    PressRig r;
    MyShapeView* shape = r.addShape(shape::Curve, kFrame);
    std::vector<Point> mapped;
    for (const Point& u : shape->points())
        mapped.push_back(calcPoints(cornersOf(*shape), u));
    const auto samples = shape->splinePoints(mapped);
    // A sample halfway along the second segment, far from every point.
    r.press(samples->points[middleSample(*samples, 1)]);
    EXPECT_EQ(r.c().mouseDownState, 3);
    EXPECT_EQ(r.c().expandingSubId, 102);
    ASSERT_EQ(shape->points().size(), 4u);
    EXPECT_EQ(shape->controlVals().size(), 4u);
    ASSERT_TRUE(r.c().undoData.has_value());
    EXPECT_EQ(r.c().undoData->records().at(0).points.size(), 3u);
}

TEST(Press, ControlActsAsRightClickOnly)
{
    PressRig r;
    MyViewBase* box = r.addTextBox(kFrame);
    r.c().mouseDownPoint = Point(1.0, 1.0);
    r.c().undoData.reset();
    const int calls = r.rig.delegate.selectedCalls;
    r.press(Point(300.0, 200.0), ControlKeyMask);
    EXPECT_FALSE(r.c().isMouseDown);
    EXPECT_EQ(r.c().mouseDownState, 0);
    EXPECT_EQ(r.c().mouseDownPoint, Point(1.0, 1.0));
    EXPECT_TRUE(box->selected());
    EXPECT_FALSE(r.c().undoData.has_value());
    EXPECT_EQ(r.rig.delegate.selectedCalls, calls);
}

TEST(Press, LowerSelectedHandleBeatsUpperBody)
{
    PressRig r;
    MyViewBase* lower = r.addTextBox(kFrame);
    MyViewBase* upper = r.addTextBox(Rect(250.0, 50.0, 200.0, 200.0));
    lower->setSelected(true);
    r.press(Point(301.0, 201.0));
    EXPECT_EQ(r.c().mouseDownState, 3);
    EXPECT_EQ(r.c().expandingId, 0);
    EXPECT_EQ(r.c().expandingSubId, 2);
    EXPECT_TRUE(upper->selected());

    // Without the lower box selected the upper body is hit.
    PressRig r2;
    r2.addTextBox(kFrame, false);
    r2.addTextBox(Rect(250.0, 50.0, 200.0, 200.0));
    r2.press(Point(301.0, 201.0));
    EXPECT_EQ(r2.c().mouseDownState, 1);
}

TEST(Press, BodySelection)
{
    struct Row {
        const char* name;
        bool lowerSelected, upperSelected;
        bool lowerAfter, upperAfter, selectedWhenDown;
    } rows[] = {
        { "unselected top box takes the selection", true, false, false, true, false },
        { "selected top box keeps the selection", true, true, true, true, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* lower = r.addTextBox(Rect(0.0, 0.0, 50.0, 50.0));
        MyViewBase* upper = r.addTextBox(kFrame);
        lower->setSelected(row.lowerSelected);
        upper->setSelected(row.upperSelected);
        r.press(Point(200.0, 150.0));
        EXPECT_EQ(r.c().mouseDownState, 1);
        EXPECT_EQ(lower->selected(), row.lowerAfter);
        EXPECT_EQ(upper->selected(), row.upperAfter);
        EXPECT_EQ(r.c().bSelectedwhenDown, row.selectedWhenDown);
        ASSERT_EQ(r.c().tempAry.size(), 2u);
        EXPECT_EQ(r.c().tempAry[1], kFrame);
        EXPECT_TRUE(r.c().undoData.has_value());
    }
}

TEST(Press, EditedBoxKeepsTheClick)
{
    PressRig r;
    MyViewBase* box = r.addTextBox(kFrame);
    box->setIsEditing(true);
    const int calls = r.rig.delegate.selectedCalls;
    r.press(Point(200.0, 150.0));
    EXPECT_EQ(r.c().mouseDownState, 0);
    EXPECT_EQ(r.rig.delegate.selectedCalls, calls);
}

TEST(Press, OptionDuplicates)
{
    PressRig r;
    r.addTextBox(kFrame);
    // What the user copied before must survive the duplicate.
    UNDODATA earlier = r.c().textViewAry.back()->getUndoData();
    const Rect copied(5.0, 5.0, 10.0, 10.0);
    earlier.frame = copied;
    BoxClipboard::shared().copy({ earlier });
    // Ctrl+Alt drags out a copy (Alt alone is the window manager's, below).
    r.press(Point(200.0, 150.0), CommandKeyMask | OptionKeyMask);
    EXPECT_EQ(r.c().mouseDownState, 1);
    ASSERT_EQ(r.c().textViewAry.size(), 2u);
    EXPECT_EQ(r.c().textViewAry[1]->frame(), kFrame);
    EXPECT_TRUE(r.c().textViewAry[1]->selected());
    EXPECT_FALSE(r.c().textViewAry[0]->selected());
    ASSERT_EQ(BoxClipboard::shared().boxes().size(), 1u);
    EXPECT_EQ(BoxClipboard::shared().boxes().front().frame, copied);
    BoxClipboard::shared().clear();

    // Alt alone moves the window under a window manager: it makes no copy here.
    PressRig alone;
    alone.addTextBox(kFrame);
    alone.press(Point(200.0, 150.0), OptionKeyMask);
    EXPECT_EQ(alone.c().mouseDownState, 1);
    EXPECT_EQ(alone.c().textViewAry.size(), 1u);
}

TEST(Press, EmptyPressClearsSelection)
{
    struct Row {
        const char* name;
        int boxes;
    } rows[] = { { "no boxes", 0 }, { "one selected box", 1 } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        MyViewBase* box = row.boxes ? r.addTextBox(kFrame) : nullptr;
        r.c().undoData.reset();
        const int calls = r.rig.delegate.selectedCalls;
        r.press(Point(600.0, 600.0));
        EXPECT_EQ(r.c().mouseDownState, 2);
        EXPECT_EQ(r.c().rectSelecting, Rect(600.0, 600.0, 0.0, 0.0));
        if (box)
            EXPECT_FALSE(box->selected());
        EXPECT_EQ(r.rig.delegate.edited, nullptr);
        EXPECT_EQ(r.rig.delegate.selectedCalls, calls + 1);
        EXPECT_FALSE(r.c().undoData.has_value());
    }
}

TEST(Press, GestureBoxFollowsIdentity)
{
    PressRig r;
    MyViewBase* box = r.addTextBox(kFrame);
    r.addTextBox(Rect(600.0, 600.0, 50.0, 50.0), false);
    box->setSelected(true);
    r.press(Point(300.0, 200.0));
    ASSERT_EQ(r.c().gestureBox(), box);
    // The box moves up the stack: expandingId now names another box.
    r.c().bringToFront();
    EXPECT_EQ(r.c().gestureBox(), nullptr);
}

TEST(Press, PenPathClosesAt9_9AndAddsAt10)
{
    struct Row {
        const char* name;
        Point second;
        bool closed;
        std::size_t points;
    } rows[] = {
        { "9.9 from the first point closes", Point(109.9, 100.0), true, 2 },
        { "10.0 from it adds a point", Point(110.0, 100.0), false, 3 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PressRig r;
        r.c().newShapeBox(shape::PenPath);
        r.press(Point(100.0, 100.0));
        auto* path = dynamic_cast<MyShapeView*>(r.c().penView.get());
        ASSERT_NE(path, nullptr);
        r.press(row.second);
        EXPECT_EQ(path->points().size(), row.points);
        EXPECT_EQ(path->endType() == shape::ClosedPath, row.closed);
        EXPECT_EQ(r.c().bDrawWithPen, !row.closed);
        EXPECT_EQ(r.c().mouseDownState, 0);
    }
}
