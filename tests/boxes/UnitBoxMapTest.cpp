// The unit-box map: the bilinear map onto a box's corners and its single-precision inverse.
#include "boxes/UnitBoxMap.h"

#include "ShapeGeometryTestSupport.h"

#include <gtest/gtest.h>

using platform::Point;
using shapetest::corners;

TEST(UnitBoxMap, BilinearMapInterpolatesAndExtrapolates)
{
    const BoxCorners quad { Point(0, 0), Point(10, 0), Point(10, 20), Point(0, 20) };
    // A quad that is not a parallelogram: the map is bilinear, not affine.
    const BoxCorners kite { Point(0, 0), Point(10, 0), Point(20, 30), Point(0, 10) };
    struct Row {
        const BoxCorners* c;
        double u, v;
        Point expected;
    };
    const Row rows[] = {
        { &quad, 0.5, 0.5, Point(5, 10) },
        { &quad, 1.5, -0.5, Point(15, -10) },
        { &quad, 1, 0, Point(10, 0) },
        { &quad, 0, 1, Point(0, 20) },
        { &kite, 0.5, 0.5, Point(7.5, 10) },
        { &kite, 1, 0.5, Point(15, 15) },
    };
    for (const Row& r : rows) {
        const Point p = calcPoints(*r.c, r.u, r.v);
        EXPECT_DOUBLE_EQ(p.x, r.expected.x) << r.u << "," << r.v;
        EXPECT_DOUBLE_EQ(p.y, r.expected.y) << r.u << "," << r.v;
    }
}

TEST(UnitBoxMap, UnitPointIsRoundedToSinglePrecision)
{
    const BoxCorners c = corners(Point(0, 0), 1e9, 1e9);
    const Point p = calcPoints(c, Point(0.1, 0.1));
    EXPECT_EQ(p.x, calcPoints(c, 0.10000000149011612, 0.0).x);
    EXPECT_NE(p.x, calcPoints(c, 0.1, 0.0).x);
}

TEST(UnitBoxMap, ReversePointInvertsTheMap)
{
    struct Row {
        BoxCorners c;
        Point pt;
        Point expected;
    };
    const BoxCorners flat = corners(Point(10, 20), 100, 50);
    const BoxCorners turn = corners(Point(10, 20), 100, 50, 30);
    const Row rows[] = {
        { flat, Point(110, 70), Point(1, 1) }, // p2
        { flat, Point(10, 20), Point(0, 0) },
        { flat, Point(0, 45), Point(-0.1, 0.5) }, // left of the box: u negative
        { flat, Point(60, 10), Point(0.5, -0.2) }, // below: v negative
        { flat, Point(160, 95), Point(1.5, 1.5) },
        { turn, calcPoints(turn, 0.25, 0.6), Point(0.25, 0.6) },
        { turn, calcPoints(turn, -0.3, 1.2), Point(-0.3, 1.2) },
    };
    for (const Row& r : rows) {
        const Point p = reversePoint(r.c, r.pt);
        EXPECT_NEAR(p.x, r.expected.x, 1e-5) << r.pt.x << "," << r.pt.y;
        EXPECT_NEAR(p.y, r.expected.y, 1e-5) << r.pt.x << "," << r.pt.y;
        EXPECT_EQ(p.x, double(float(p.x))) << "single precision";
    }
}

TEST(UnitBoxMap, ZeroLengthEdgeDividesByOne)
{
    // Zero width: u is the distance from the left edge itself, finite.
    const Point p = reversePoint(corners(Point(0, 0), 0, 10), Point(3, 5));
    EXPECT_FLOAT_EQ(float(p.x), 3.0f);
    EXPECT_TRUE(std::isfinite(p.y));
    // Zero height likewise for v.
    const Point q = reversePoint(corners(Point(0, 0), 10, 0), Point(5, 4));
    EXPECT_FLOAT_EQ(float(q.y), 4.0f);
    EXPECT_TRUE(std::isfinite(q.x));
}
