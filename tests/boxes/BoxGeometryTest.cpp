// The box base view's geometry: outline points, the rotation wrap, the warp direction codes,
// and the frame setters with the warped-picture cache.
#include "BoxTestSupport.h"
#include "boxes/MyViewBase.h"

#include <gtest/gtest.h>

using boxtest::picture;
using platform::Point;
using platform::Rect;
using platform::Size;

TEST(BoxOutline, PointsByGapAndRotation)
{
    struct Row {
        double rotation, gap;
        std::array<Point, 8> expected;
    };
    // Box (10, 20) 100 by 50; turning keeps its centre (60, 45). Single-precision trigonometry.
    const Row rows[] = {
        { 0, 0,
            { Point(10, 20), Point(110, 20), Point(110, 70), Point(10, 70), Point(10, 45),
                Point(110, 45), Point(60, 20), Point(60, 70) } },
        { 0, 5,
            { Point(5, 15), Point(115, 15), Point(115, 75), Point(5, 75), Point(5, 45),
                Point(115, 45), Point(60, 15), Point(60, 75) } },
        { 0, -5, // shrinks
            { Point(15, 25), Point(105, 25), Point(105, 65), Point(15, 65), Point(15, 45),
                Point(105, 45), Point(60, 25), Point(60, 65) } },
        { 90, 0,
            { Point(85, -5), Point(85, 95), Point(35, 95), Point(35, -5), Point(60, -5),
                Point(60, 95), Point(85, 45), Point(35, 45) } },
        { 30, 5,
            { Point(27.369, -8.481), Point(122.631, 46.519), Point(92.631, 98.481),
                Point(-2.631, 43.481), Point(12.369, 17.5), Point(107.631, 72.5), Point(75, 19.019),
                Point(45, 70.981) } },
        { 200, 5,
            { Point(101.422, 92.002), Point(-1.944, 54.38), Point(18.578, -2.002),
                Point(121.944, 35.62), Point(111.683, 63.811), Point(8.317, 26.189),
                Point(49.739, 73.191), Point(70.261, 16.809) } },
    };
    for (const Row& row : rows) {
        MyViewBase box(Rect(10, 20, 100, 50));
        box.setRotationAngle(row.rotation);
        std::array<Point, 8> p;
        box.GetFourPoints(p, row.gap);
        for (size_t i = 0; i < 8; ++i) {
            EXPECT_NEAR(p[i].x, row.expected[i].x, 2e-3)
                << row.rotation << "/" << row.gap << " p" << i;
            EXPECT_NEAR(p[i].y, row.expected[i].y, 2e-3)
                << row.rotation << "/" << row.gap << " p" << i;
        }
    }
}

TEST(BoxRotation, WrapsOnceEachWay)
{
    struct Row {
        double given, stored;
    };
    const Row rows[] = { { -30, 330 }, { 400, 40 }, { 360, 0 }, { 720, 360 }, { -400, -40 },
        { 359.5, 359.5 }, { std::nan(""), 30 } }; // a non-finite angle is refused
    for (const Row& row : rows) {
        MyViewBase box(Rect(0, 0, 10, 10));
        box.setRotationAngle(30);
        box.setRotationAngle(row.given);
        EXPECT_DOUBLE_EQ(box.rotationAngle(), row.stored) << row.given;
        EXPECT_DOUBLE_EQ(box.frameCenterRotation(), row.stored) << row.given;
    }
}

TEST(BoxWarpCodes, PerspectiveAndCurveCodes)
{
    struct Row {
        const char* name;
        float h, v;
        int angle, size;
    };
    const Row rows[] = {
        { "new box", 0.001f, 0.0f, 0, 0 },
        { "left", -0.5f, 0.0f, 180, -50 },
        { "vertical up", 0.0f, 0.3f, 270, 30 },
        { "vertical down", 0.0f, -0.3f, 90, -30 },
        { "mixed, v stronger", 0.2f, 0.3f, 50, 30 },
        { "mixed, tie takes h", 0.3f, -0.3f, 50, 30 },
    };
    for (const Row& row : rows) {
        MyViewBase box(Rect(0, 0, 10, 10));
        box.setHorzPerspective(row.h);
        box.setVertPerspective(row.v);
        EXPECT_EQ(box.getPerspectiveAngle(), row.angle) << row.name;
        EXPECT_EQ(box.getPerspectiveSize(), row.size) << row.name;
    }

    struct CurveRow {
        const char* name;
        std::vector<Point> curves;
        int angle, size;
    };
    const CurveRow curveRows[] = {
        { "new box", { Point(0, 0), Point(0.5, 0.0001), Point(1, 0) }, 0, 0 },
        { "dip in the middle", { Point(0, 0), Point(0.5, -0.2), Point(1, 0) }, 50, 20 },
        { "all below", { Point(0, -0.1), Point(0.5, -0.2), Point(1, -0.1) }, 180, 20 },
        { "0.255 rounds up", { Point(0, 0), Point(0.5, 0.255) }, 0, 26 },
        { "0.254 rounds down", { Point(0, 0), Point(0.5, 0.254) }, 0, 25 },
        { "no points", {}, 0, 0 },
    };
    for (const CurveRow& row : curveRows) {
        MyViewBase box(Rect(0, 0, 10, 10));
        box.setCurves(row.curves);
        EXPECT_EQ(box.getCurveAngle(), row.angle) << row.name;
        EXPECT_EQ(box.getCurveSize(), row.size) << row.name;
    }
}

TEST(BoxWarpCodes, SettersChooseDirectionAndDropTheCache)
{
    MyViewBase box(Rect(0, 0, 10, 10));
    box.imgPersp = picture();
    box.setPerspectiveAngle(0);
    EXPECT_FLOAT_EQ(box.horzPerspective(), 0.001f) << "a new box keeps its factor";
    EXPECT_FLOAT_EQ(box.vertPerspective(), 0.0f);
    EXPECT_TRUE(box.imgPersp.isNull());

    box.setHorzPerspective(-0.4f);
    box.setPerspectiveAngle(90);
    EXPECT_FLOAT_EQ(box.horzPerspective(), 0.0f);
    EXPECT_FLOAT_EQ(box.vertPerspective(), -0.4f) << "the sign of the stronger factor stays";
    box.setPerspectiveAngle(180);
    EXPECT_FLOAT_EQ(box.horzPerspective(), -0.4f);
    box.setPerspectiveAngle(45);
    EXPECT_FLOAT_EQ(box.horzPerspective(), -0.4f) << "other codes change nothing";

    box.setCurves({ Point(0, 0), Point(0.5, -0.2), Point(1, 0) });
    box.imgPersp = picture();
    box.setCurveAngle(180);
    EXPECT_EQ(
        box.curves(), (std::vector { Point(0, -0.0001), Point(0.5, -0.2), Point(1, -0.0001) }));
    EXPECT_TRUE(box.imgPersp.isNull());
    box.setCurveAngle(0);
    EXPECT_EQ(box.getCurveAngle(), 0);
    EXPECT_EQ(box.curves()[1], Point(0.5, 0.2));
}

TEST(BoxBase, FrameSettersAndTheWarpCache)
{
    MyViewBase box(Rect(10, 20, 100, 50));
    box.setRotationAngle(30);
    box.imgPersp = picture();
    box.imgRect = Rect(0, 0, 120, 90);

    // Moving carries the picture along and keeps size and turn; a refused move moves nothing.
    const Point o = box.frame().origin;
    box.setFrameOrigin(Point(o.x + 7, o.y - 3));
    box.setFrameOrigin(Point(std::nan(""), 0));
    EXPECT_FALSE(box.imgPersp.isNull());
    EXPECT_NEAR(box.imgRect.origin.x, 7, 1e-9);
    EXPECT_NEAR(box.imgRect.origin.y, -3, 1e-9);
    EXPECT_EQ(box.frame().size, Size(100, 50));
    EXPECT_DOUBLE_EQ(box.rotationAngle(), 30);

    // Resizing drops it.
    box.setFrameSize(Size(80, 50));
    EXPECT_TRUE(box.imgPersp.isNull());
    box.imgPersp = picture();
    box.setFrame(Rect(0, 0, 80, 50));
    EXPECT_TRUE(box.imgPersp.isNull());
}

TEST(BoxBase, LayerOpacityIsClampedAndDrivesTheViewAlpha)
{
    struct Row {
        float given, stored;
    };
    const Row rows[]
        = { { 0.25f, 0.25f }, { -1.0f, 0.0f }, { 3.0f, 1.0f }, { std::nanf(""), 1.0f } };
    for (const Row& row : rows) {
        MyViewBase box(Rect(0, 0, 10, 10));
        box.setLayerOpacity(row.given);
        EXPECT_EQ(box.layerOpacity(), row.stored) << row.given;
        EXPECT_DOUBLE_EQ(box.alphaValue(), double(row.stored)) << row.given;
    }
}
