// Gradients across a path's bounds at an angle, radial from the bounds' centre, and the
// two-point and two-circle forms with and without extension.
#include "platform/graphics/GraphicsContext.h"
#include "support/NamedCase.h"
#include "support/PixelProbe.h"

#include <QPainter>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

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

TEST(GraphicsContext, LargeBrushFillsDrawAsThePaintersFill)
{
    // A large fill of a gradient or picture goes through our coverage, the brush painted in
    // bands beside it; through a caller's painter the painter fills it itself. The two agree
    // but for the painter's coarser flattening of curves on edge pixels.
    const int w = 420, h = 360;
    BezierPath callout = BezierPath::oval(Rect(20.3, 70.6, 380.2, 270.1));
    callout.moveTo(Point(90.4, 120.2));
    callout.lineTo(Point(40.1, 8.7));
    callout.lineTo(Point(170.6, 100.3));
    callout.closePath();
    QImage tilePixels(23, 17, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < tilePixels.height(); ++y)
        for (int x = 0; x < tilePixels.width(); ++x)
            tilePixels.setPixel(x, y, qPremultiply(qRgba(x * 11, y * 15, 90, 120 + x * 5)));
    const Image tile = Image::fromQImage(tilePixels);
    const Gradient ramp(Color(0.9, 0.1, 0.1, 0.8), Color(0.1, 0.2, 0.9, 0.6));
    using Fill = std::function<void(GraphicsContext&)>;
    const Fill linear = [&](GraphicsContext& c) { c.drawLinearGradientInPath(ramp, callout, 30); };
    struct Row {
        const char* name;
        Fill fill;
        std::optional<Rect> clip;
        bool inLayer = false;
        double alpha = 1.0;
    };
    const Row rows[] = {
        { "linear", linear },
        { "radial",
            [&](GraphicsContext& c) {
                c.drawRadialGradientInPath(kRedToBlue, callout, Point(0.3, -0.2));
            } },
        { "picture",
            [&](GraphicsContext& c) {
                c.fillPathWithPattern(callout, tile, Point(3.5, 7.25), 0.7);
            } },
        { "linear at alpha", linear, std::nullopt, false, 0.6 },
        { "through a rectangle on whole pixels", linear, Rect(0, 40, 300, 250) },
        { "through a fractional rectangle", linear, Rect(10.5, 40.25, 300.3, 250.6) },
        { "in a transparency layer", linear, std::nullopt, true, 0.8 },
    };
    auto background = [&] {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, qPremultiply(qRgba(x / 2, y / 2, 160, 60 + (x + y) % 180)));
        return image;
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto draw = [&](GraphicsContext& ctx) {
            ctx.setAlpha(r.alpha);
            if (r.inLayer)
                ctx.beginTransparencyLayer();
            if (r.clip)
                ctx.clipToRect(*r.clip);
            r.fill(ctx);
            if (r.inLayer)
                ctx.endTransparencyLayer();
        };
        QImage ours = background();
        {
            GraphicsContext ctx(ours);
            draw(ctx);
        }
        QImage painters = background();
        {
            QPainter painter(&painters);
            GraphicsContext ctx(painter, w, h);
            draw(ctx);
        }
        EXPECT_NE(ours, background());
        EXPECT_LE(testsupport::worstDifference(ours, painters),
            testsupport::kPainterFlatteningDifference);
        EXPECT_LT(testsupport::meanDifference(ours, painters), 0.05);
    }
}
