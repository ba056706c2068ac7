// Gradients across a path's bounds at an angle, radial from the bounds' centre, and the
// two-point and two-circle forms with and without extension.
#include "platform/graphics/GraphicsContext.h"
#include "support/NamedCase.h"
#include "support/PixelProbe.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::blankImage;
using testsupport::Rgba;

namespace {

const Gradient kRedToBlue(Color(1, 0, 0), Color(0, 0, 1));
const Rgba kRed { 255, 0, 0, 255 };
const Rgba kBlue { 0, 0, 255, 255 };
const Rgba kNone { 0, 0, 0, 0 };

} // namespace

struct AngleCase {
    const char* name;
    double angle;
    Point firstAt; // pixel where the first stop shows
    Point lastAt;
};

class LinearInPath : public ::testing::TestWithParam<AngleCase> { };

TEST_P(LinearInPath, RunsBetweenOppositeCornersAlongTheAngle)
{
    QImage target = blankImage(100, 60);
    {
        GraphicsContext ctx(target);
        ctx.drawLinearGradientInPath(
            kRedToBlue, BezierPath::rect(Rect(0, 0, 100, 60)), GetParam().angle);
    }
    const Point f = GetParam().firstAt, l = GetParam().lastAt;
    EXPECT_PIXEL_NEAR(target, int(f.x), int(f.y), kRed, 8);
    EXPECT_PIXEL_NEAR(target, int(l.x), int(l.y), kBlue, 8);
}

INSTANTIATE_TEST_SUITE_P(GraphicsContext, LinearInPath,
    ::testing::Values(AngleCase { "angle_0_left_to_right", 0, { 0, 30 }, { 99, 30 } },
        AngleCase { "angle_90_bottom_to_top", 90, { 50, 0 }, { 50, 59 } },
        AngleCase { "angle_180_right_to_left", 180, { 99, 30 }, { 0, 30 } },
        AngleCase { "angle_45_corner_to_corner", 45, { 0, 0 }, { 99, 59 } },
        AngleCase { "angle_minus_45", -45, { 0, 59 }, { 99, 0 } }),
    testsupport::RowName());

TEST(GraphicsContext, LinearInPathAtAngleIsHalfwayAtTheCentreAndStaysInThePath)
{
    QImage target = blankImage(100, 60);
    {
        GraphicsContext ctx(target);
        ctx.drawLinearGradientInPath(kRedToBlue, BezierPath::oval(Rect(0, 0, 100, 60)), 30);
    }
    EXPECT_PIXEL_NEAR(target, 50, 30, (Rgba { 128, 0, 127, 255 }), 4);
    EXPECT_PIXEL_NEAR(target, 1, 1, kNone, 0); // outside the oval
}

TEST(GraphicsContext, RadialInPathReachesTheFarthestCorner)
{
    QImage target = blankImage(100, 100);
    {
        GraphicsContext ctx(target);
        ctx.drawRadialGradientInPath(kRedToBlue, BezierPath::rect(Rect(0, 0, 100, 100)),
            Point(0.5, 0.5)); // centre at (75, 75)
    }
    EXPECT_PIXEL_NEAR(target, 75, 75, kRed, 6);
    EXPECT_PIXEL_NEAR(target, 0, 0, kBlue, 6); // the farthest corner gets the last stop
    // Half the radius along the diagonal, (37.5, 37.5), is halfway.
    EXPECT_PIXEL_NEAR(target, 37, 37, (Rgba { 128, 0, 127, 255 }), 6);
}

struct ExtensionCase {
    const char* name;
    unsigned options;
    bool before, after;
};

class TwoPointExtension : public ::testing::TestWithParam<ExtensionCase> { };

TEST_P(TwoPointExtension, PaintsPastTheEndsOnlyWhenAsked)
{
    const ExtensionCase& c = GetParam();
    QImage linear = blankImage(100, 20);
    QImage radial = blankImage(100, 100);
    {
        GraphicsContext ctx(linear);
        ctx.drawLinearGradient(kRedToBlue, Point(30, 0), Point(70, 0), c.options);
        GraphicsContext rctx(radial);
        rctx.drawRadialGradient(kRedToBlue, Point(50, 50), 10, Point(50, 50), 30, c.options);
    }
    EXPECT_PIXEL_NEAR(linear, 50, 10, (Rgba { 128, 0, 127, 255 }), 6);
    EXPECT_PIXEL_NEAR(linear, 10, 10, c.before ? kRed : kNone, 0);
    EXPECT_PIXEL_NEAR(linear, 90, 10, c.after ? kBlue : kNone, 0);

    EXPECT_PIXEL_NEAR(radial, 50, 70, (Rgba { 128, 0, 127, 255 }), 8);
    EXPECT_PIXEL_NEAR(radial, 50, 52, c.before ? kRed : kNone, 0);
    EXPECT_PIXEL_NEAR(radial, 5, 5, c.after ? kBlue : kNone, 0);
}

INSTANTIATE_TEST_SUITE_P(GraphicsContext, TwoPointExtension,
    ::testing::Values(ExtensionCase { "none", GradientNoExtension, false, false },
        ExtensionCase { "before", GradientDrawsBeforeStart, true, false },
        ExtensionCase { "after", GradientDrawsAfterEnd, false, true },
        ExtensionCase { "both", GradientDrawsBeforeStart | GradientDrawsAfterEnd, true, true }),
    testsupport::RowName());

TEST(GraphicsContext, TwoCircleGradientStaysInsideTheHullOfItsCircles)
{
    QImage target = blankImage(120, 60);
    {
        GraphicsContext ctx(target);
        ctx.drawRadialGradient(
            kRedToBlue, Point(20, 30), 5, Point(90, 30), 25, GradientNoExtension);
    }
    // At x = 55 the largest circle through the point is the one at t = 0.8.
    EXPECT_PIXEL_NEAR(target, 55, 30, (Rgba { 51, 0, 204, 255 }), 6);
    EXPECT_PIXEL_NEAR(target, 55, 50, kNone, 0); // outside the tangents
    EXPECT_PIXEL_NEAR(target, 118, 30, kNone, 0); // past the end circle
    EXPECT_PIXEL_NEAR(target, 10, 30, kNone, 0); // behind the start circle
}
