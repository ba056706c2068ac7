// The box base view's geometry: outline points, the rotation wrap, the warp direction codes,
// the defaults of a new box, and the frame setters with the warped-picture cache.
#include "boxes/MyViewBase.h"

#include <QImage>
#include <cmath>
#include <gtest/gtest.h>

using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

platform::Image somePicture()
{
    QImage px(4, 4, QImage::Format_ARGB32_Premultiplied);
    px.fill(Qt::red);
    return platform::Image::fromQImage(px);
}

// The outline by plain double-precision trigonometry, for comparison.
std::array<Point, 4> corners(const Rect& f, double degrees, double g)
{
    const double r = degrees * M_PI / 180.0;
    const Point u { std::cos(r), std::sin(r) }, v { -std::sin(r), std::cos(r) };
    auto at = [&](double a, double b) {
        return Point(f.origin.x + a * u.x + b * v.x, f.origin.y + a * u.y + b * v.y);
    };
    return { at(-g, -g), at(f.size.width + g, -g), at(f.size.width + g, f.size.height + g),
        at(-g, f.size.height + g) };
}

} // namespace

TEST(BoxOutline, PointsAtGapZeroAndFiveUnrotatedAndRotated)
{
    struct Row {
        const char* name;
        double rotation;
        double gap;
        std::array<Point, 8> expected;
    };
    const Row rows[] = {
        { "unrotated, gap 0", 0, 0,
            { Point(10, 20), Point(110, 20), Point(110, 70), Point(10, 70), Point(10, 45),
                Point(110, 45), Point(60, 20), Point(60, 70) } },
        { "unrotated, gap 5", 0, 5,
            { Point(5, 15), Point(115, 15), Point(115, 75), Point(5, 75), Point(5, 45),
                Point(115, 45), Point(60, 15), Point(60, 75) } },
        { "unrotated, gap -5 shrinks", 0, -5,
            { Point(15, 25), Point(105, 25), Point(105, 65), Point(15, 65), Point(15, 45),
                Point(105, 45), Point(60, 25), Point(60, 65) } },
    };
    for (const Row& row : rows) {
        MyViewBase box(Rect(10, 20, 100, 50));
        box.setRotationAngle(row.rotation);
        std::array<Point, 8> p;
        box.GetFourPoints(p, row.gap);
        for (size_t i = 0; i < 8; ++i) {
            // Single-precision sine and cosine with pi as 3.141592: cos 90 is not exactly 0.
            EXPECT_NEAR(p[i].x, row.expected[i].x, 1e-4) << row.name << " p" << i;
            EXPECT_NEAR(p[i].y, row.expected[i].y, 1e-4) << row.name << " p" << i;
        }
    }

    // Turned boxes: the frame origin is where the turned first corner lands, so the outline
    // starts there and runs along the turned axes.
    for (double rotation : { 30.0, 90.0, 200.0 }) {
        for (double gap : { 0.0, 5.0 }) {
            MyViewBase box(Rect(10, 20, 100, 50));
            box.setRotationAngle(rotation);
            const Rect f = box.frame();
            std::array<Point, 8> p;
            box.GetFourPoints(p, gap);
            const auto c = corners(f, rotation, gap);
            for (size_t i = 0; i < 4; ++i) {
                EXPECT_NEAR(p[i].x, c[i].x, 1e-3) << rotation << " gap " << gap << " p" << i;
                EXPECT_NEAR(p[i].y, c[i].y, 1e-3) << rotation << " gap " << gap << " p" << i;
            }
            // Midpoints of p3-p0, p1-p2, p0-p1, p3-p2.
            EXPECT_NEAR(p[4].x, (c[3].x + c[0].x) / 2, 1e-3);
            EXPECT_NEAR(p[5].y, (c[1].y + c[2].y) / 2, 1e-3);
            EXPECT_NEAR(p[6].x, (c[0].x + c[1].x) / 2, 1e-3);
            EXPECT_NEAR(p[7].y, (c[3].y + c[2].y) / 2, 1e-3);
            // Turning keeps the centre of the box where it was.
            EXPECT_NEAR((p[0].x + p[2].x) / 2, 60, 1e-3);
            EXPECT_NEAR((p[0].y + p[2].y) / 2, 45, 1e-3);
        }
    }
}

TEST(BoxRotation, WrapsOnceEachWay)
{
    struct Row {
        double given, stored;
    };
    const Row rows[] = { { -30, 330 }, { 400, 40 }, { 360, 0 }, { 720, 360 }, { -400, -40 },
        { 0, 0 }, { 359.5, 359.5 } };
    for (const Row& row : rows) {
        MyViewBase box(Rect(0, 0, 10, 10));
        box.setRotationAngle(row.given);
        EXPECT_DOUBLE_EQ(box.rotationAngle(), row.stored) << row.given;
        EXPECT_DOUBLE_EQ(box.frameCenterRotation(), row.stored) << row.given;
    }
    MyViewBase box(Rect(0, 0, 10, 10));
    box.setRotationAngle(30);
    box.setRotationAngle(std::nan(""));
    EXPECT_DOUBLE_EQ(box.rotationAngle(), 30) << "a non-finite angle is refused";
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
    box.imgPersp = somePicture();
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
    box.imgPersp = somePicture();
    box.setCurveAngle(180);
    ASSERT_EQ(box.curves().size(), 3u);
    EXPECT_EQ(box.curves()[0], Point(0, -0.0001));
    EXPECT_EQ(box.curves()[1], Point(0.5, -0.2));
    EXPECT_EQ(box.curves()[2], Point(1, -0.0001));
    EXPECT_EQ(box.getCurveAngle(), 180);
    EXPECT_TRUE(box.imgPersp.isNull());
    box.setCurveAngle(0);
    EXPECT_EQ(box.getCurveAngle(), 0);
    EXPECT_EQ(box.curves()[1], Point(0.5, 0.2));
}

TEST(BoxBase, DefaultsOfANewBox)
{
    MyViewBase box(Rect(1, 2, 30, 40));
    EXPECT_EQ(box.rotationAngle(), 0.0);
    EXPECT_EQ(box.borderColor().gradientType, SZGradient::ColorFill);
    EXPECT_EQ(box.strokeColor().gradientType, SZGradient::ColorFill);
    EXPECT_EQ(box.backColor().gradientType, SZGradient::NoFill);
    EXPECT_EQ(box.overlayColor().gradientType, SZGradient::NoFill);
    EXPECT_EQ(box.overlayColor().angle, 90.0);
    EXPECT_EQ(box.overlayColor().opacity, 1.0f);
    EXPECT_EQ(box.shadowAngle(), 90);
    EXPECT_EQ(box.innerShadowAngle(), 90);
    EXPECT_EQ(box.boxShadowAngle(), 90);
    EXPECT_FALSE(box.shadowColor().has_value());
    EXPECT_FLOAT_EQ(box.horzPerspective(), 0.001f);
    EXPECT_EQ(box.curves().size(), 3u);
    EXPECT_EQ(box.layerOpacity(), 1.0f);
    EXPECT_EQ(box.getPerspectiveSize(), 0);
    EXPECT_EQ(box.getCurveSize(), 0);
    EXPECT_TRUE(box.imgPersp.isNull());
    EXPECT_FALSE(box.ud.has_value());
}

TEST(BoxBase, FrameSettersAndTheWarpCache)
{
    MyViewBase box(Rect(10, 20, 100, 50));
    box.setRotationAngle(30);
    box.imgPersp = somePicture();
    box.imgRect = Rect(0, 0, 120, 90);

    // Moving carries the picture along.
    const Point o = box.frame().origin;
    box.setFrameOrigin(Point(o.x + 7, o.y - 3));
    EXPECT_FALSE(box.imgPersp.isNull());
    EXPECT_NEAR(box.imgRect.origin.x, 7, 1e-9);
    EXPECT_NEAR(box.imgRect.origin.y, -3, 1e-9);
    EXPECT_EQ(box.frame().size, Size(100, 50)) << "moving keeps the size";
    EXPECT_DOUBLE_EQ(box.rotationAngle(), 30);

    // A refused move moves nothing.
    box.setFrameOrigin(Point(std::nan(""), 0));
    EXPECT_NEAR(box.imgRect.origin.x, 7, 1e-9);

    // Resizing drops it.
    box.setFrameSize(Size(80, 50));
    EXPECT_TRUE(box.imgPersp.isNull());
    box.imgPersp = somePicture();
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
