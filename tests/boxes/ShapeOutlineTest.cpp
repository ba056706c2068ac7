// Shape outlines by type: the figures on the box corners, the line band, curves pulled back for
// their heads, degenerate and short models, and outlines turning with a turned box.
#include "boxes/ShapeOutline.h"

#include "ShapeGeometryTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using platform::BezierPath;
using platform::PathElementKind;
using platform::Point;
using shapetest::corners;
using shapetest::distance;
using shapetest::pathPoints;
using shapetest::turned;

namespace {

ShapeModel model(int type, std::vector<ControlValue> values = {}, std::vector<Point> points = {})
{
    ShapeModel m;
    m.shapeType = type;
    m.controlVals = std::move(values);
    m.points = std::move(points);
    return m;
}

ShapeModel lineModel(int type, std::vector<Point> points, int start, int end, int stroke)
{
    ShapeModel m = model(type, {}, std::move(points));
    if (type == shape::Curve || type == shape::PenPath)
        m.controlVals.assign(m.points.size(), ControlValue(false));
    m.startType = start;
    m.endType = end;
    m.strokeSize = stroke;
    return m;
}

BezierPath outline(const ShapeModel& m, const BoxCorners& c)
{
    const std::optional<BezierPath> p = shapePath(m, c);
    EXPECT_TRUE(p);
    return p ? *p : BezierPath();
}

void expectPoints(
    const std::vector<Point>& got, const std::vector<Point>& expected, double tol, const char* what)
{
    ASSERT_EQ(got.size(), expected.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x, expected[i].x, tol) << what << " point " << i;
        EXPECT_NEAR(got[i].y, expected[i].y, tol) << what << " point " << i;
    }
}

// A close on an empty path adds nothing: a degenerate outline is empty.
bool onlyClose(const BezierPath& p)
{
    return p.isEmpty();
}

const BoxCorners kBox = corners(Point(10, 20), 200, 100);

} // namespace

TEST(ShapeOutline, FiguresOnTheBoxCorners)
{
    struct Row {
        const char* name;
        ShapeModel m;
        std::vector<Point> expected;
    };
    const Row rows[] = {
        { "rectangle", model(3), { { 10, 20 }, { 210, 20 }, { 210, 120 }, { 10, 120 } } },
        { "isosceles", model(6), { { 110, 120 }, { 10, 20 }, { 210, 20 } } },
        { "right triangle", model(7), { { 10, 120 }, { 10, 20 }, { 210, 20 } } },
        { "diamond", model(10), { { 110, 120 }, { 10, 70 }, { 110, 20 }, { 210, 70 } } },
        { "right block arrow", model(8, {}, { Point(0.8, 0.3) }),
            { { 10, 90 }, { 10, 50 }, { 170, 50 }, { 170, 20 }, { 210, 70 }, { 170, 120 },
                { 170, 90 }, { 10, 90 } } },
        // b is 0.5: the shaft has no height, the outline is the head alone.
        { "right block arrow 0.8,0.7", model(8, {}, { Point(0.8, 0.7) }),
            { { 10, 70 }, { 10, 70 }, { 170, 70 }, { 170, 20 }, { 210, 70 }, { 170, 120 },
                { 170, 70 }, { 10, 70 } } },
        // a = 0.5: both heads meet in the middle.
        { "double block arrow 0.6", model(9, {}, { Point(0.6, 0.3) }),
            { { 110, 120 }, { 10, 70 }, { 110, 20 }, { 110, 50 }, { 110, 50 }, { 110, 20 },
                { 210, 70 }, { 110, 120 }, { 110, 90 }, { 110, 90 } } },
        { "triangle polygon", model(13, { ControlValue(3) }),
            { { 110, 120 },
                { 110 - 100 * std::cos(3.141592 / 6), 70 - 50 * std::sin(3.141592 / 6) },
                { 110 + 100 * std::cos(3.141592 / 6), 70 - 50 * std::sin(3.141592 / 6) } } },
        { "callout", model(11, {}, { Point(0, 0), Point(1, 0), Point(0.5, 1.3) }),
            { { 10, 20 }, { 210, 20 }, { 110, 150 } } },
    };
    for (const Row& r : rows) {
        const BezierPath p = outline(r.m, kBox);
        expectPoints(pathPoints(p), r.expected, 1e-4, r.name);
        EXPECT_EQ(p.elementAt(0).kind, PathElementKind::MoveTo) << r.name;
        EXPECT_EQ(p.elementAt(p.elementCount() - 1).kind, PathElementKind::ClosePath) << r.name;
    }
}

TEST(ShapeOutline, RoundedCornersAreFractionsOfEachSide)
{
    // Radii 0.2 on 200 x 100: 40 across, 20 up.
    const ShapeModel m
        = model(4, { ControlValue(0.2), ControlValue(0.2), ControlValue(0.2), ControlValue(0.2) });
    const BezierPath p = outline(m, kBox);
    ASSERT_EQ(p.elementCount(), 10);
    EXPECT_NEAR(p.elementAt(0).points[0].x, 50, 1e-4);
    EXPECT_NEAR(p.elementAt(1).points[0].x, 170, 1e-4);
    EXPECT_NEAR(p.elementAt(2).points[2].x, 210, 1e-4);
    EXPECT_NEAR(p.elementAt(2).points[2].y, 40, 1e-4);
    // Radii beyond 0.5 are drawn as 0.5: exactly the ellipse.
    const ShapeModel big
        = model(4, { ControlValue(0.7), ControlValue(0.7), ControlValue(0.7), ControlValue(0.7) });
    EXPECT_EQ(outline(big, kBox), outline(model(5), kBox));
    // A radius of 0 is a sharp corner: its curve collapses onto the corner. So is a negative or
    // undefined one from a bad record (it would otherwise bulge out of the box).
    for (double r0 : { 0.0, -0.3, std::nan("") }) {
        const ShapeModel sharp = model(
            4, { ControlValue(r0), ControlValue(0.2), ControlValue(0.2), ControlValue(0.2) });
        for (const Point& q : pathPoints(outline(sharp, kBox))) {
            EXPECT_FALSE(q.x < 50 && q.y < 40 && q != Point(10, 20))
                << r0 << ": " << q.x << "," << q.y;
            EXPECT_TRUE(q.x >= 10 && q.y >= 20) << r0;
        }
    }
}

TEST(ShapeOutline, PolygonAndStarCounts)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char* name;
        ShapeModel m;
        int elements; // the close included; a close alone adds nothing
    };
    const Row rows[] = {
        { "polygon 0", model(13, { ControlValue(0) }), 0 },
        { "polygon -4", model(13, { ControlValue(-4) }), 0 },
        { "polygon 150", model(13, { ControlValue(150) }), 101 },
        { "polygon 1e30", model(13, { ControlValue(1e30) }), 101 },
        { "polygon -inf", model(13, { ControlValue(-inf) }), 0 },
        { "polygon NaN", model(13, { ControlValue(std::nan("")) }), 0 },
        { "polygon missing count", model(13), 0 },
        { "star 5", model(14, { ControlValue(5), ControlValue(0.35) }), 11 },
        { "star 150", model(14, { ControlValue(150), ControlValue(0.35) }), 201 },
        { "star missing ratio", model(14, { ControlValue(5) }), 11 },
    };
    for (const Row& r : rows)
        EXPECT_EQ(outline(r.m, kBox).elementCount(), r.elements) << r.name;
}

TEST(ShapeOutline, StarRatioSetsTheInnerRadius)
{
    const BoxCorners square = corners(Point(0, 0), 100, 100);
    const Point centre(50, 50);
    struct Row {
        double ratio;
        double innerRadius;
    };
    const Row rows[]
        = { { 0, 50 * double(0.01f) }, { -2, 50 * double(0.01f) }, { 1, 50 }, { 0.35, 17.5 } };
    for (const Row& r : rows) {
        const std::vector<Point> pts
            = pathPoints(outline(model(14, { ControlValue(5), ControlValue(r.ratio) }), square));
        ASSERT_EQ(pts.size(), 10u);
        for (std::size_t i = 0; i < pts.size(); ++i)
            EXPECT_NEAR(distance(pts[i], centre), i % 2 ? r.innerRadius : 50.0, 1e-4)
                << r.ratio << " " << i;
        EXPECT_NEAR(pts[0].x, 50, 1e-4); // the first point at the middle of the top edge
        EXPECT_NEAR(pts[0].y, 100, 1e-4);
    }
}

TEST(ShapeOutline, StraightLineIsABandBetweenItsHeads)
{
    const BoxCorners c = corners(Point(0, 0), 100, 1);
    const BezierPath p = outline(lineModel(0, { Point(0, 0), Point(1, 0) }, 0, 0, 6), c);
    expectPoints(pathPoints(p), { { 0, 3 }, { 0, -3 }, { 100, -3 }, { 100, 3 } }, 1e-6, "band");
    // Type 1 is drawn as a line; arrows at both ends stand inside the segment.
    const BezierPath arrows = outline(lineModel(1, { Point(0, 0), Point(1, 0) }, 1, 1, 6), c);
    const platform::Rect b = arrows.bounds();
    EXPECT_NEAR(b.origin.x, 0, 1e-4);
    EXPECT_NEAR(b.origin.x + b.size.width, 100, 1e-4);
    EXPECT_NEAR(b.size.height, 30, 1e-4); // 2.5 s either side
    // Equal ends have no direction: nothing but the close.
    EXPECT_TRUE(onlyClose(outline(lineModel(0, { Point(0.5, 0.5), Point(0.5, 0.5) }, 1, 1, 6), c)));
    EXPECT_TRUE(onlyClose(outline(lineModel(0, { Point(0.5, 0.5) }, 0, 0, 6), c)));
}

TEST(ShapeOutline, OpenCurveIsPulledBackForItsHead)
{
    // A straight two-point curve along x: samples lie on the chord.
    const BoxCorners c = corners(Point(0, 0), 200, 1);
    const ShapeModel m = lineModel(2, { Point(0, 0), Point(1, 0) }, 0, 1, 6);
    const auto samples = splinePoints(m, { Point(0, 0), Point(200, 0) });
    ASSERT_TRUE(samples);
    double lastKept = 0;
    for (const Point& s : samples->points)
        if (200 - s.x >= 24)
            lastKept = s.x;
    ASSERT_LT(lastKept, 176.0);
    const BezierPath p = outline(m, c);
    // The arrow stands beyond the last kept sample, its tip 24 further on, near the curve's end.
    const platform::Rect b = p.bounds();
    EXPECT_NEAR(b.origin.x + b.size.width, lastKept + 24, 1e-3);
    EXPECT_NEAR(b.size.height, 30, 1e-3);
    bool tip = false;
    for (const Point& q : pathPoints(p))
        tip = tip || (std::abs(q.x - (lastKept + 24)) < 1e-3 && std::abs(q.y) < 1e-3);
    EXPECT_TRUE(tip);
    // No heads: the band spans the whole curve at half the width on both sides.
    const BezierPath plain = outline(lineModel(2, { Point(0, 0), Point(1, 0) }, 0, 0, 6), c);
    const platform::Rect pb = plain.bounds();
    EXPECT_NEAR(pb.origin.x, 0, 1e-4);
    EXPECT_NEAR(pb.size.width, 200, 1e-4);
    EXPECT_NEAR(pb.size.height, 6, 1e-4);
}

TEST(ShapeOutline, ClosedAndDegenerateCurves)
{
    const BoxCorners c = corners(Point(0, 0), 100, 100);
    ShapeModel closed
        = lineModel(15, { Point(0, 0), Point(1, 0), Point(1, 1), Point(0, 0) }, 1, 99, 6);
    const auto samples
        = splinePoints(closed, { Point(0, 0), Point(100, 0), Point(100, 100), Point(0, 0) });
    ASSERT_TRUE(samples);
    // The polygon through the samples: no band, no heads.
    EXPECT_EQ(pathPoints(outline(closed, c)), samples->points);

    struct Row {
        const char* name;
        ShapeModel m;
    };
    const Row rows[] = {
        { "one point", lineModel(2, { Point(0.3, 0.3) }, 1, 1, 6) },
        { "no points", lineModel(15, {}, 0, 0, 6) },
        { "new pen path, both points equal", lineModel(15, { Point(0, 0), Point(0, 0) }, 1, 1, 6) },
        { "all points equal",
            lineModel(2, { Point(0.5, 0.5), Point(0.5, 0.5), Point(0.5, 0.5) }, 0, 0, 6) },
        { "flags do not match", model(2, { ControlValue(false) }, { Point(0, 0), Point(1, 1) }) },
    };
    for (const Row& r : rows)
        EXPECT_TRUE(onlyClose(outline(r.m, c))) << r.name;
}

TEST(ShapeOutline, CoincidentSamplesTakeTheNextDistinctOne)
{
    // Corner points repeated at both ends: the first and last samples coincide with their
    // neighbours, yet the band runs along the curve with its ends squared off.
    const BoxCorners c = corners(Point(0, 0), 100, 1);
    ShapeModel m = lineModel(2, { Point(0, 0), Point(0, 0), Point(1, 0), Point(1, 0) }, 0, 0, 4);
    m.controlVals.assign(4, ControlValue(true));
    const BezierPath p = outline(m, c);
    ASSERT_GT(p.elementCount(), 4);
    for (const Point& q : pathPoints(p)) {
        EXPECT_NEAR(std::abs(q.y), 2.0, 1e-6) << q.x;
        EXPECT_TRUE(q.x >= -1e-6 && q.x <= 100 + 1e-6) << q.x;
    }
    EXPECT_NEAR(p.bounds().size.width, 100, 1e-6);
}

TEST(ShapeOutline, ShortModelsNeverReadPastTheirEntries)
{
    const ShapeModel rows[]
        = { model(4), model(4, { ControlValue(0.2) }), model(8), model(9), model(11), model(12),
              model(13), model(14), model(0), model(1, {}, { Point(1, 1) }), model(2), model(15) };
    for (const ShapeModel& m : rows) {
        const BezierPath p = outline(m, kBox);
        for (const Point& q : pathPoints(p))
            EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y)) << m.shapeType;
    }
    EXPECT_FALSE(shapePath(model(16), kBox));
    EXPECT_FALSE(shapePath(model(-1), kBox));
}

TEST(ShapeOutline, OutlinesTurnWithTheBox)
{
    const Point o(40, 30);
    const BoxCorners flat = corners(o, 200, 100);
    const BoxCorners turn = corners(o, 200, 100, 30);
    const std::vector<ControlValue> radii { ControlValue(0.1), ControlValue(0.2), ControlValue(0.3),
        ControlValue(0.4) };
    ShapeModel callout = model(12,
        { ControlValue(Point(-0.15, 0.5)), ControlValue(0.1), ControlValue(0.1), ControlValue(0.1),
            ControlValue(0.1), ControlValue(0.2), ControlValue(Point()), ControlValue(Point()) });
    callout.points = roundRectPoints(callout);
    const ShapeModel rows[] = { model(3), model(4, radii), model(5), model(6), model(7),
        model(8, {}, { Point(0.8, 0.3) }), model(9, {}, { Point(0.2, 0.3) }), model(10), callout,
        model(13, { ControlValue(7) }), model(14, { ControlValue(5), ControlValue(0.35) }),
        lineModel(0, { Point(0.1, 0.2), Point(0.9, 0.7) }, 2, 4, 6),
        lineModel(2, { Point(0, 0), Point(0.2, 0.8), Point(1, 1) }, 1, 7, 6),
        lineModel(15, { Point(0, 0), Point(0.5, 1), Point(1, 0), Point(0, 0) }, 0, 99, 6) };
    for (const ShapeModel& m : rows) {
        const std::vector<Point> a = pathPoints(outline(m, flat));
        const std::vector<Point> b = pathPoints(outline(m, turn));
        std::vector<Point> expected;
        for (const Point& q : a)
            expected.push_back(turned(q, o, 30));
        // Heads and interior offsets are single precision; the figures are double.
        const bool line = m.shapeType == 0 || m.shapeType == 2 || m.shapeType == 15;
        expectPoints(b, expected, line ? 2e-3 : 1e-4, std::to_string(m.shapeType).c_str());
    }
}
