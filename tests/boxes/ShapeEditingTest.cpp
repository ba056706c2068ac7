// Editing a shape: where its handles are, what dragging each of them does to the model (and to
// the frame of a line) with the hint it returns, typed corner radii, and the bounds a warp
// capture has to cover.
#include "boxes/MyShapeView.h"

#include <cmath>
#include <gtest/gtest.h>

using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

ControlValue f(double v)
{
    return ControlValue::boxedFloat(v);
}

void expectNear(const Point& got, const Point& want, double tol, const char* what = "")
{
    EXPECT_NEAR(got.x, want.x, tol) << what;
    EXPECT_NEAR(got.y, want.y, tol) << what;
}

// A point at an angle (degrees clockwise from straight up) about the centre of the unit box.
Point clockwise(double degrees, double radius = 0.3)
{
    const double a = degrees * M_PI / 180.0;
    return { 0.5 + radius * std::sin(a), 0.5 + radius * std::cos(a) };
}

} // namespace

TEST(ShapeEditing, HandlesByType)
{
    struct Row {
        const char* name;
        int type;
        std::vector<Point> handles;
    };
    const Row rows[] = {
        { "line", 0, { Point(0, 0), Point(1, 1) } },
        { "rounded rectangle", 4, { Point(0.2, 0), Point(0.8, 0), Point(0.8, 1), Point(0.2, 1) } },
        { "block arrow", 8, { Point(0.8, 0.3) } },
        { "polygon of five", 13, { clockwise(40, 0.4) } },
        { "unknown type", 16, {} },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const MyShapeView s(Rect(0, 0, 100, 100), row.type);
        const auto handles = s.controlPoints();
        ASSERT_EQ(handles.size(), row.handles.size());
        for (std::size_t i = 0; i < handles.size(); ++i)
            expectNear(handles[i], row.handles[i], 1e-6);
    }

    // The callout's: tail tip, four radii, tail width.
    const MyShapeView callout(Rect(0, 0, 100, 100), 12);
    const auto h = callout.controlPoints();
    ASSERT_EQ(h.size(), 6u);
    expectNear(h[0], Point(-0.15, 0.5), 1e-9);
    expectNear(h[1], Point(0.1, 0), 1e-6);
    expectNear(h[3], Point(0.9, 1), 1e-6);
    EXPECT_EQ(h[5], callout.controlVals()[6].pointValue());

    // Three sides put the side handle straight above the centre; the star's second handle is
    // its last inner point.
    MyShapeView star(Rect(0, 0, 100, 100), 14);
    star.setControlVals({ 3, f(0.5) });
    const auto sh = star.controlPoints();
    ASSERT_EQ(sh.size(), 2u);
    expectNear(sh[0], Point(0.5, 0.9), 1e-6);
    expectNear(sh[1], Point(0.5 + 0.25 * std::cos(30 * M_PI / 180), 0.5 + 0.25 * 0.5), 1e-6);
}

TEST(ShapeEditing, LineEndFitsTheBox)
{
    struct Row {
        const char* name;
        int idx;
        Point to;
        Rect frame;
        std::vector<Point> points;
    };
    const Row rows[] = {
        { "end beyond the right side", 1, Point(2, 1), Rect(0, 0, 200, 100),
            { Point(0, 0), Point(1, 1) } },
        { "horizontal line keeps height 1", 1, Point(1, 0), Rect(0, 0, 100, 1),
            { Point(0, 0), Point(1, 0) } },
        { "start below and left", 0, Point(-0.5, -1), Rect(-50, -100, 150, 200),
            { Point(0, 0), Point(1, 1) } },
        { "index outside the points only refits", 5, Point(3, 3), Rect(0, 0, 100, 100),
            { Point(0, 0), Point(1, 1) } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MyShapeView s(Rect(0, 0, 100, 100), 0);
        EXPECT_EQ(s.modifyControlPoint(row.idx, row.to, false), QString());
        EXPECT_NEAR(s.frame().x(), row.frame.x(), 1e-4);
        EXPECT_NEAR(s.frame().y(), row.frame.y(), 1e-4);
        EXPECT_NEAR(s.frame().width(), row.frame.width(), 1e-4);
        EXPECT_NEAR(s.frame().height(), row.frame.height(), 1e-4);
        ASSERT_EQ(s.points().size(), row.points.size());
        for (std::size_t i = 0; i < row.points.size(); ++i)
            expectNear(s.points()[i], row.points[i], 1e-5);
    }
}

TEST(ShapeEditing, LineEndOnATurnedBoxKeepsTheOtherEndInPlace)
{
    for (int type : { 0, 2, 15 }) {
        SCOPED_TRACE(type);
        MyShapeView s(Rect(40, 60, 120, 80), type);
        s.setRotationAngle(30);
        const auto before = s.corners();
        const Point fixed = MyShapeView::calcPoints(before, s.points().front());
        const int last = int(s.points().size()) - 1;
        const Point target = MyShapeView::calcPoints(before, Point(1.4, 1.2));
        s.modifyControlPoint(last, Point(1.4, 1.2), false);
        const auto after = s.corners();
        EXPECT_DOUBLE_EQ(s.rotationAngle(), 30.0);
        expectNear(MyShapeView::calcPoints(after, s.points().front()), fixed, 1e-3, "other end");
        expectNear(MyShapeView::calcPoints(after, s.points().back()), target, 1e-3, "dragged end");
    }
}

TEST(ShapeEditing, CurveBoxHoldsItsSamples)
{
    MyShapeView s(Rect(0, 0, 100, 100), 2);
    s.modifyControlPoint(1, Point(0.1, 1.5), false);
    const auto c = s.corners();
    std::vector<Point> positions;
    for (const Point& p : s.points())
        positions.push_back(MyShapeView::calcPoints(c, p));
    const auto samples = s.splinePoints(positions);
    ASSERT_TRUE(samples);
    const Rect f = s.frame();
    for (const Point& p : samples->points) {
        EXPECT_GE(p.x, f.x() - 1e-3);
        EXPECT_LE(p.x, f.x() + f.width() + 1e-3);
        EXPECT_GE(p.y, f.y() - 1e-3);
        EXPECT_LE(p.y, f.y() + f.height() + 1e-3);
    }
}

TEST(ShapeEditing, ClosedPenPathMovesItsEndsTogether)
{
    MyShapeView s(Rect(0, 0, 100, 100), 15);
    s.setPoints({ Point(0.2, 0.2), Point(0.8, 0.3), Point(0.5, 0.9), Point(0.2, 0.2) });
    s.setControlVals({ true, false, false, true });
    s.setEndType(99);
    s.modifyControlPoint(0, Point(0.1, 0.1), false);
    EXPECT_EQ(s.points().front(), s.points().back());
    s.modifyControlPoint(3, Point(0.3, 0.0), false);
    EXPECT_EQ(s.points().front(), s.points().back());
}

TEST(ShapeEditing, CornerRadiusHandles)
{
    struct Row {
        const char* name;
        int type;
        int idx;
        double u;
        bool alt;
        float want;
        std::vector<int> changed; // control value indices that take it
        QString hint;
    };
    const Row rows[] = {
        { "handle 1 at 0.9", 4, 1, 0.9, false, 0.1f, { 0, 1, 2, 3 }, "Radius: 20px" },
        { "handle 1 at 0.9 with Option", 4, 1, 0.9, true, 0.1f, { 1 }, "Radius: 20px" },
        { "folded past the middle", 4, 1, 0.3, false, 1.0f - 0.7f, { 0, 1, 2, 3 }, "Radius: 60px" },
        { "beyond the corner", 4, 1, 1.2, false, 0.0f, { 0, 1, 2, 3 }, "Radius: 0px" },
        { "handle 0 at 0.25", 4, 0, 0.25, false, 0.25f, { 0, 1, 2, 3 }, "Radius: 50px" },
        { "callout handle 2 with Option", 11, 2, 0.9, true, 0.1f, { 2 }, "Radius: 20px" },
        { "callout handle 4", 12, 4, 0.3, false, 0.3f, { 1, 2, 3, 4 }, "Radius: 60px" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MyShapeView s(Rect(0, 0, 200, 100), row.type);
        const auto before = s.controlVals();
        EXPECT_EQ(s.modifyControlPoint(row.idx, Point(row.u, 0.5), row.alt), row.hint);
        for (std::size_t i = 0; i < before.size(); ++i) {
            const bool takes
                = std::find(row.changed.begin(), row.changed.end(), int(i)) != row.changed.end();
            if (takes) {
                EXPECT_EQ(s.controlVals()[i], f(row.want)) << i;
            } else if (i != 6 && i != 7) {
                EXPECT_EQ(s.controlVals()[i], before[i]) << i;
            }
        }
    }
}

TEST(ShapeEditing, CalloutTail)
{
    MyShapeView s(Rect(0, 0, 100, 100), 11);
    const auto points = s.points();
    EXPECT_EQ(s.modifyControlPoint(0, Point(0.5, 0.5), false), QString());
    EXPECT_EQ(s.controlVals()[0], ControlValue(Point(0, -0.15)));
    EXPECT_EQ(s.points(), points);

    EXPECT_EQ(s.modifyControlPoint(0, Point(0.5, 1.0), false), QString());
    EXPECT_EQ(s.controlVals()[0], ControlValue(Point(0.5, 1.0)));
    EXPECT_NE(s.points(), points);

    // The tail width is the distance from the handle to the tail's base.
    const Point base = s.controlVals()[7].pointValue();
    EXPECT_EQ(s.modifyControlPoint(5, Point(base.x + 0.06, base.y - 0.08), false), QString());
    EXPECT_NEAR(s.controlVals()[5].doubleValue(), 0.1, 1e-6);
}

TEST(ShapeEditing, BlockArrowPolygonAndStarHandles)
{
    struct Row {
        const char* name;
        int type;
        int idx;
        Point to;
        QString hint;
        std::vector<Point> points;
        std::vector<ControlValue> values;
    };
    const Row rows[] = {
        { "right block arrow clamped", 8, 0, Point(1.4, 0.8), "", { Point(1.0, 0.5) }, {} },
        { "double block arrow clamped", 9, 0, Point(0.7, -0.1), "", { Point(0.5, 0.0) }, {} },
        { "polygon straight up", 13, 0, clockwise(0), "Sides: 3", {}, { 3 } },
        { "polygon 9 degrees", 13, 0, clockwise(9), "Sides: 3", {}, { 3 } },
        { "polygon 10.5 degrees", 13, 0, clockwise(10.5), "Sides: 4", {}, { 4 } },
        { "polygon 100 degrees", 13, 0, clockwise(100), "Sides: 8", {}, { 8 } },
        { "polygon just left of up", 13, 0, clockwise(355), "Sides: 20", {}, { 20 } },
        { "star count", 14, 0, clockwise(30), "Sides: 5", {}, { 5, f(0.35) } },
        { "star ratio at the centre", 14, 1, Point(0.5, 0.5), "Radius: 0%", {}, { 5, f(0.0) } },
        { "star ratio far out", 14, 1, Point(0.5, 1.1), "Radius: 100%", {}, { 5, f(1.0) } },
        { "star ratio 0.3", 14, 1, Point(0.5 + 0.15, 0.5), "Radius: 30%", {}, { 5, f(0.3) } },
        { "rectangle has no handles", 3, 0, Point(0.3, 0.3), "", {}, {} },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MyShapeView s(Rect(0, 0, 100, 100), row.type);
        EXPECT_EQ(s.modifyControlPoint(row.idx, row.to, false), row.hint);
        EXPECT_EQ(s.points(), row.points);
        EXPECT_EQ(s.controlVals(), row.values);
        EXPECT_EQ(s.frame(), Rect(0, 0, 100, 100));
    }
}

TEST(ShapeEditing, TypedRadii)
{
    struct Row {
        const char* name;
        int type;
        double width;
        int idx, val;
        bool alt;
        std::vector<ControlValue> radii; // control values of the four corners afterwards
    };
    const Row rows[] = {
        { "callout, all corners", 11, 200, 0, 30, false, { f(0.15), f(0.15), f(0.15), f(0.15) } },
        { "callout, corner 2", 11, 200, 2, 30, true, { f(0.5), f(0.5), f(0.15), f(0.5) } },
        { "rounded rectangle, corner 1", 4, 200, 1, 30, true, { f(0.2), f(0.15), f(0.2), f(0.2) } },
        { "negative typed radius stores 0", 4, 200, 0, -10, false, { f(0), f(0), f(0), f(0) } },
        { "larger than half is held to half", 4, 100, 0, 80, false,
            { f(0.5), f(0.5), f(0.5), f(0.5) } },
        { "a callout's corner held to half keeps its sides", 12, 300, 1, 200, true,
            { f(0.1), f(0.5), f(0.1), f(0.1) } },
        { "zero width is ignored", 4, 0, 0, 30, false, { f(0.2), f(0.2), f(0.2), f(0.2) } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MyShapeView s(Rect(0, 0, row.width, 100), row.type);
        const auto points = s.points();
        s.setRoundRectRadius(row.idx, row.val, row.alt);
        const std::size_t first = row.type == 4 ? 0 : 1;
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(s.controlVals()[first + i], row.radii[i]) << i;
        if (row.type == 11) {
            EXPECT_NE(s.points(), points) << "the callout's outline is rebuilt";
        }
    }

    // Other shapes ignore typed radii.
    MyShapeView ellipse(Rect(0, 0, 200, 100), 5);
    ellipse.setRoundRectRadius(0, 30, false);
    EXPECT_TRUE(ellipse.controlVals().empty());
}

TEST(ShapeEditing, RadiiInPixels)
{
    using R = std::array<int, 4>;
    EXPECT_EQ(MyShapeView(Rect(0, 0, 200, 100), 4).getRoundRectRadius(), (R { 40, 40, 40, 40 }));
    EXPECT_EQ(
        MyShapeView(Rect(0, 0, 200, 100), 11).getRoundRectRadius(), (R { 100, 100, 100, 100 }));
    EXPECT_EQ(MyShapeView(Rect(0, 0, 200, 100), 5).getRoundRectRadius(), (R { -1, -1, -1, -1 }));
    // Half up: 0.2 of 12.5 is 2.5.
    EXPECT_EQ(MyShapeView(Rect(0, 0, 12.5, 100), 4).getRoundRectRadius(), (R { 3, 3, 3, 3 }));
    // A radius too large for an integer stays defined.
    MyShapeView huge(Rect(0, 0, 200, 100), 4);
    huge.setControlVals({ ControlValue(1.0e30), f(0.2), f(0.2), f(0.2) });
    EXPECT_EQ(huge.getRoundRectRadius()[0], std::numeric_limits<int>::max());
}

TEST(ShapeEditing, DrawnBoundsCoverTailsAndHeads)
{
    // A callout's tail right of the frame.
    MyShapeView callout(Rect(100, 100, 200, 100), 12);
    auto values = callout.controlVals();
    values[0] = ControlValue(Point(1.3, 0.5));
    callout.setControlVals(values);
    callout.setPoints(callout.roundRectPoints());
    const Rect c = callout.drawnBounds();
    EXPECT_NEAR(c.x() + c.width(), 100 + 1.3 * 200, 1e-4);
    EXPECT_NEAR(c.y(), 100, 1e-4);
    EXPECT_NEAR(c.height(), 100, 1e-4);

    // The heads of a flat 6-px arrow line stand 15 px either side of it.
    MyShapeView line(Rect(50, 50, 100, 1), 1);
    line.setPoints({ Point(0, 0), Point(1, 0) });
    const Rect l = line.drawnBounds();
    EXPECT_LE(l.y(), 50 - 15 + 1e-3);
    EXPECT_GE(l.y() + l.height(), 50 + 15 - 1e-3);
    EXPECT_LE(l.x(), 50);
    EXPECT_GE(l.x() + l.width(), 150);
}

TEST(ShapeEditing, DrawnBoundsAreUnturned)
{
    struct Row {
        const char* name;
        int border, stroke;
        double grow;
    };
    const Row rows[] = {
        { "plain", 0, 0, 0 },
        { "border 10", 10, 0, 5 },
        { "stroke 8", 0, 8, 4 },
        { "border 4, stroke 12", 4, 12, 6 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MyShapeView s(Rect(50, 50, 100, 40), 3);
        s.setRotationAngle(30);
        s.setBorderSize(row.border);
        s.setStrokeSize(row.stroke);
        std::array<Point, 8> p;
        s.GetFourPoints(p, 0);
        const Point centre((p[0].x + p[2].x) / 2, (p[0].y + p[2].y) / 2);
        const Rect b = s.drawnBounds();
        EXPECT_NEAR(b.midX(), centre.x, 1e-6);
        EXPECT_NEAR(b.midY(), centre.y, 1e-6);
        EXPECT_NEAR(b.width(), 100 + 2 * row.grow, 1e-6);
        EXPECT_NEAR(b.height(), 40 + 2 * row.grow, 1e-6);
    }
}
