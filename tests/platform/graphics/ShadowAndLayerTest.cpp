// Shadows (device-space offset and blur, drawn under the shape) and transparency layers.
#include "platform/concurrency/ThreadPool.h"
#include "platform/graphics/GraphicsContext.h"
#include "support/NamedCase.h"
#include "support/PixelProbe.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>

using namespace platform;
using testsupport::blankImage;
using testsupport::Rgba;

namespace {

const Rgba kRed { 255, 0, 0, 255 };
const Rgba kBlue { 0, 0, 255, 255 };
const Rgba kNone { 0, 0, 0, 0 };

} // namespace

// A 10 x 10 square whose shadow, offset (10, -10) in device space, must land exactly the same
// whatever the user space.
struct HardShadowCase {
    const char* name;
    std::function<void(GraphicsContext&)> setUp; // then the square is filled at user (0,0,s,s)
    double side;
};

class HardShadow : public ::testing::TestWithParam<HardShadowCase> { };

TEST_P(HardShadow, KeepsItsDeviceOffset)
{
    QImage target = blankImage(60, 60);
    {
        GraphicsContext ctx(target);
        ctx.setShadow(Shadow { Size(10, -10), 0, Color(0, 0, 1, 1) });
        ctx.setFillColor(Color(1, 0, 0));
        GetParam().setUp(ctx);
        ctx.fillRect(Rect(0, 0, GetParam().side, GetParam().side));
    }
    // The square covers device x, y in [20, 30); its shadow [30, 40) x [10, 20).
    EXPECT_PIXEL_NEAR(target, 25, 25, kRed, 0);
    EXPECT_PIXEL_NEAR(target, 35, 15, kBlue, 0);
    EXPECT_PIXEL_NEAR(target, 30, 10, kBlue, 0);
    EXPECT_PIXEL_NEAR(target, 39, 19, kBlue, 0);
    EXPECT_PIXEL_NEAR(target, 40, 15, kNone, 0);
    EXPECT_PIXEL_NEAR(target, 35, 20, kNone, 0);
    EXPECT_PIXEL_NEAR(target, 35, 9, kNone, 0);
    EXPECT_PIXEL_NEAR(target, 29, 15, kNone, 0);
}

INSTANTIATE_TEST_SUITE_P(GraphicsContext, HardShadow,
    ::testing::Values(
        HardShadowCase { "identity", [](GraphicsContext& c) { c.translateCTM(20, 20); }, 10 },
        HardShadowCase { "scaled_by_two",
            [](GraphicsContext& c) {
                c.translateCTM(20, 20);
                c.scaleCTM(2, 2);
            },
            5 },
        HardShadowCase { "rotated_half_turn",
            [](GraphicsContext& c) {
                c.translateCTM(30, 30);
                c.rotateCTM(M_PI);
            },
            10 }),
    testsupport::RowName());

// The blurred edge of a large shadow follows the Gaussian's cumulative profile.
struct BlurCase {
    const char* name;
    double blur;
    double baseScale;
    int tolerance;
};

class BlurredShadow : public ::testing::TestWithParam<BlurCase> { };

TEST_P(BlurredShadow, EdgeMatchesGaussianOfHalfTheBlur)
{
    const BlurCase& c = GetParam();
    const int size = 400;
    QImage target = blankImage(size, size);
    {
        GraphicsContext ctx(target, c.baseScale);
        ctx.scaleCTM(1 / c.baseScale, 1 / c.baseScale); // draw in pixels
        ctx.setShadow(Shadow { Size(0, 0), c.blur, Color(0, 0, 0, 1) });
        ctx.setFillColor(Color(0, 0, 0, 0)); // only the shadow shows... a clear fill casts none
        ctx.setFillColor(Color(1, 1, 1, 1));
        ctx.clipToRect(Rect(0, 0, 200, size)); // the shape sits right of the clip, shadow shows
        ctx.fillRect(Rect(200, 0, 200, size));
    }
    const double sigma = c.blur * c.baseScale / 2;
    int worst = 0;
    for (int x = 200 - int(3 * sigma); x < 200; ++x) {
        const double d = (x + 0.5) - 200.0;
        const double expected = 255.0 * 0.5 * (1.0 + std::erf(d / (sigma * std::sqrt(2.0))));
        const int got = testsupport::premultipliedAt(target, x, size / 2).a;
        worst = std::max(worst, std::abs(got - int(std::lround(expected))));
    }
    EXPECT_LE(worst, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(GraphicsContext, BlurredShadow,
    ::testing::Values(BlurCase { "blur_4", 4, 1, 2 }, BlurCase { "blur_10", 10, 1, 2 },
        BlurCase { "blur_10_at_scale_2", 10, 2, 2 }, BlurCase { "blur_60_box_passes", 60, 1, 6 }),
    testsupport::RowName());

TEST(GraphicsContext, ShadowLiesUnderItsShape)
{
    QImage target = blankImage(30, 10);
    {
        GraphicsContext ctx(target);
        ctx.setShadow(Shadow { Size(5, 0), 0, Color(0, 0, 1, 1) });
        ctx.setFillColor(Color(1, 0, 0));
        ctx.fillRect(Rect(0, 0, 10, 10));
    }
    EXPECT_PIXEL_NEAR(target, 7, 5, kRed, 0);
    EXPECT_PIXEL_NEAR(target, 12, 5, kBlue, 0);
}

TEST(GraphicsContext, ShadowTakesAlphaAndColourAlpha)
{
    QImage target = blankImage(40, 40);
    {
        GraphicsContext ctx(target);
        ctx.setAlpha(0.5);
        ctx.setShadow(Shadow { Size(20, 0), 0, Color(0, 0, 1, 0.5) });
        ctx.setFillColor(Color(1, 0, 0));
        ctx.fillRect(Rect(0, 0, 10, 10));
    }
    EXPECT_PIXEL_NEAR(target, 5, 5, (Rgba { 255, 0, 0, 128 }), 2);
    EXPECT_PIXEL_NEAR(target, 25, 5, (Rgba { 0, 0, 255, 64 }), 3);
}

TEST(GraphicsContext, LayerCastsOneMergedShadowAndBlendsAsAWhole)
{
    QImage target = blankImage(60, 40);
    {
        GraphicsContext ctx(target);
        ctx.setShadow(Shadow { Size(0, -20), 0, Color(0, 0, 1, 0.5) });
        ctx.setAlpha(0.5);
        ctx.beginTransparencyLayer();
        EXPECT_EQ(ctx.alpha(), 1.0);
        EXPECT_FALSE(ctx.shadow().has_value());
        EXPECT_EQ(ctx.blendMode(), BlendMode::Normal);
        ctx.setFillColor(Color(1, 0, 0));
        ctx.fillRect(Rect(0, 20, 30, 20));
        ctx.fillRect(Rect(20, 20, 30, 20)); // overlaps the first in x 20..30
        ctx.endTransparencyLayer();
        EXPECT_EQ(ctx.alpha(), 0.5);
        EXPECT_TRUE(ctx.shadow().has_value());
    }
    // The shapes: one layer at half alpha, the overlap no darker than the rest.
    EXPECT_PIXEL_NEAR(target, 10, 30, (Rgba { 255, 0, 0, 128 }), 2);
    EXPECT_PIXEL_NEAR(target, 25, 30, (Rgba { 255, 0, 0, 128 }), 2);
    // The shadow: once under the whole layer, with the layer's alpha.
    EXPECT_PIXEL_NEAR(target, 10, 10, (Rgba { 0, 0, 255, 64 }), 3);
    EXPECT_PIXEL_NEAR(target, 25, 10, (Rgba { 0, 0, 255, 64 }), 3);
    EXPECT_PIXEL_NEAR(target, 55, 10, kNone, 0);
}

TEST(GraphicsContext, LayerCompositesThroughTheClipAndModeOfItsBegin)
{
    QImage target = blankImage(40, 20);
    {
        GraphicsContext ctx(target);
        ctx.setFillColor(Color(1, 0, 0));
        ctx.fillRect(Rect(0, 0, 40, 20));
        ctx.saveGState();
        ctx.clipToRect(Rect(0, 0, 30, 20));
        ctx.setBlendMode(BlendMode::Copy);
        ctx.beginTransparencyLayer();
        ctx.setFillColor(Color(0, 0, 1, 0.5));
        ctx.fillRect(Rect(10, 0, 30, 20)); // inside the layer drawn normally
        ctx.endTransparencyLayer();
        ctx.restoreGState();
    }
    EXPECT_PIXEL_NEAR(target, 5, 10, kRed, 0); // not drawn in the layer
    EXPECT_PIXEL_NEAR(target, 20, 10, (Rgba { 0, 0, 255, 128 }), 2); // copied over the red
    EXPECT_PIXEL_NEAR(target, 35, 10, kRed, 0); // outside the clip
}

TEST(GraphicsContext, NestedLayersAndEmptyLayers)
{
    QImage target = blankImage(20, 20);
    {
        GraphicsContext ctx(target);
        ctx.beginTransparencyLayer();
        ctx.endTransparencyLayer(); // nothing drawn: nothing changes
        ctx.setAlpha(0.5);
        ctx.beginTransparencyLayer();
        ctx.setAlpha(0.5);
        ctx.beginTransparencyLayer();
        ctx.setFillColor(Color(0, 0, 1));
        ctx.fillRect(Rect(0, 0, 10, 10));
        EXPECT_NE(ctx.targetImage(), &target);
        ctx.endTransparencyLayer();
        ctx.endTransparencyLayer();
        EXPECT_EQ(ctx.targetImage(), &target);
        ctx.endTransparencyLayer(); // unbalanced: ignored
    }
    EXPECT_PIXEL_NEAR(target, 5, 5, (Rgba { 0, 0, 255, 64 }), 2);
    EXPECT_PIXEL_NEAR(target, 15, 15, kNone, 0);
}

TEST(GraphicsContext, NothingToDrawIntoIsHarmless)
{
    QImage none;
    GraphicsContext ctx(none);
    ctx.setShadow(Shadow { Size(2, 2), 4, Color(0, 0, 0, 1) });
    ctx.fillRect(Rect(0, 0, 10, 10));
    ctx.beginTransparencyLayer();
    ctx.fillRect(Rect(0, 0, 10, 10));
    ctx.endTransparencyLayer();

    QImage target = blankImage(10, 10);
    GraphicsContext clipped(target);
    clipped.clipToRect(Rect(20, 20, 5, 5)); // off the target: a layer with nothing visible
    clipped.beginTransparencyLayer();
    clipped.fillRect(Rect(0, 0, 30, 30));
    clipped.endTransparencyLayer();
    EXPECT_PIXEL_NEAR(target, 5, 5, kNone, 0);
}

TEST(GraphicsContext, DevicePictureOnAnImageIsWhatThePainterPutsDown)
{
    // A picture of every kind of pixel, with and without its shadow, put down on an image the
    // context writes itself and through a painter on the same pixels: the same bits.
    QImage picture(40, 30, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const int a = (x * 37 + y * 11) % 5 == 0 ? 0 : (x * 53 + y * 97) % 256;
            picture.setPixel(x, y, qRgba(a * x / 40, a * y / 30, a / 2, a));
        }
    struct Row {
        const char* name;
        std::optional<Shadow> shadow;
        Rect clip;
    };
    const Row rows[] = {
        { "unclipped", std::nullopt, Rect(0, 0, 80, 60) },
        { "clipped to whole pixels", std::nullopt, Rect(15, 12, 20, 30) },
        { "with its shadow", Shadow { Size(4, -3), 6, Color(0, 0, 0.5, 0.7) }, Rect(0, 0, 80, 60) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto draw = [&](GraphicsContext& ctx) {
            ctx.clipToRect(row.clip);
            if (row.shadow)
                ctx.setShadow(*row.shadow);
            ctx.drawDevicePicture(picture, QPoint(12, 9));
        };
        auto background = [] {
            QImage image(80, 60, QImage::Format_ARGB32_Premultiplied);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(
                        x, y, qPremultiply(qRgba(x * 3, y * 4, 200, 64 + (x + y) % 192)));
            return image;
        };
        QImage own = background(), painted = background();
        {
            GraphicsContext ctx(own);
            draw(ctx);
        }
        {
            QPainter painter(&painted);
            GraphicsContext ctx(painter, painted.width(), painted.height());
            draw(ctx);
        }
        EXPECT_EQ(testsupport::worstDifference(own, painted), 0);
    }
}

// A wide shadow drawn through a caller's painter (the window's own) is tinted apart before the
// painter puts it down; that tint is spread over the cores, and must give the pixels that one
// thread gives, in the plain mode, a blend mode and a mode that replaces what it covers.
struct CallerPainterShadowCase {
    const char* name;
    BlendMode mode;
    bool shows;
};

class CallerPainterShadow : public ::testing::TestWithParam<CallerPainterShadowCase> { };

TEST_P(CallerPainterShadow, SameOnEveryThreadCount)
{
    auto draw = [](int threads) {
        const int before = ThreadPool::maxThreads();
        ThreadPool::setMaxThreads(threads);
        QImage target(400, 300, QImage::Format_ARGB32_Premultiplied);
        target.fill(QColor(40, 120, 200));
        {
            QPainter painter(&target);
            GraphicsContext ctx(painter, target.width(), target.height());
            ctx.setShadow(Shadow { Size(6, -4), 60, Color(0, 0, 0, 0.75) });
            ctx.setBlendMode(GetParam().mode);
            ctx.setFillColor(Color(1, 1, 1, 0.3));
            ctx.fillRect(Rect(120.25, 90.5, 150, 110));
        }
        ThreadPool::setMaxThreads(before);
        return target;
    };
    const QImage one = draw(1);
    const QImage many = draw(8);
    EXPECT_EQ(one, many);
    // The shadow reaches well past the shape (a blur of 60 spreads 90 pixels).
    if (GetParam().shows) {
        EXPECT_NE(testsupport::pixelAt(one, 100, 150), testsupport::pixelAt(one, 5, 150));
    }
}

INSTANTIATE_TEST_SUITE_P(GraphicsContext, CallerPainterShadow,
    ::testing::Values(CallerPainterShadowCase { "source_over", BlendMode::Normal, true },
        CallerPainterShadowCase { "multiply", BlendMode::Multiply, true },
        CallerPainterShadowCase { "copy", BlendMode::Copy, true }),
    testsupport::RowName());

// A shape drawn in a mode that replaces what it covers, with a drop shadow, through a caller's
// painter (a window's, on a high-density screen a scaled one) gives what drawing in place
// gives: the painter's pixels cannot be read back, but the shadow must not go missing.
struct ReplacingShadowCase {
    const char* name;
    BlendMode mode;
    int scale; // the painter's device pixel ratio
    int worst; // levels apart at most; the scaled painter blurs at its own resolution
    double mean;
};

class ReplacingShadowThroughPainter : public ::testing::TestWithParam<ReplacingShadowCase> { };

TEST_P(ReplacingShadowThroughPainter, DrawsAsInPlace)
{
    const ReplacingShadowCase& c = GetParam();
    const int w = 120, h = 90;
    auto background = [&](int scale) {
        QImage image(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y,
                    qPremultiply(qRgba(x * 2 / scale, y * 2 / scale, 200, 96 + (x / scale) % 150)));
        return image;
    };
    auto draw = [&](GraphicsContext& ctx) {
        ctx.clipToRect(Rect(5, 5, 110, 80));
        ctx.setShadow(Shadow { Size(6, -5), 8, Color(0, 0, 0.5, 0.75) });
        ctx.setBlendMode(c.mode);
        ctx.setFillColor(Color(1, 0.8, 0.1, 0.6));
        BezierPath star;
        for (int i = 0; i < 10; ++i) {
            const double a = M_PI / 2 + i * M_PI / 5, r = i % 2 ? 14 : 32;
            const Point p(55 + r * std::cos(a), 45 + r * std::sin(a));
            if (i == 0)
                star.moveTo(p);
            else
                star.lineTo(p);
        }
        star.closePath();
        ctx.fillPath(star);
    };
    QImage inPlace = background(c.scale);
    {
        GraphicsContext ctx(inPlace, c.scale);
        draw(ctx);
    }
    QImage painted = background(c.scale);
    painted.setDevicePixelRatio(c.scale);
    {
        QPainter painter(&painted);
        GraphicsContext ctx(painter, w, h);
        draw(ctx);
    }
    painted.setDevicePixelRatio(1);
    // The shadow shows below the star's lower right point, off the star itself.
    const Rgba under = testsupport::pixelAt(background(c.scale), 80 * c.scale, 15 * c.scale);
    EXPECT_NE(testsupport::pixelAt(inPlace, 80 * c.scale, 15 * c.scale), under);
    EXPECT_LE(testsupport::worstDifference(inPlace, painted), c.worst);
    EXPECT_LE(testsupport::meanDifference(inPlace, painted), c.mean);
}

INSTANTIATE_TEST_SUITE_P(GraphicsContext, ReplacingShadowThroughPainter,
    ::testing::Values(ReplacingShadowCase { "copy", BlendMode::Copy, 1, 2, 0.1 },
        ReplacingShadowCase { "clear", BlendMode::Clear, 1, 2, 0.1 },
        ReplacingShadowCase { "copy_scaled", BlendMode::Copy, 2, 2, 0.1 },
        ReplacingShadowCase { "clear_scaled", BlendMode::Clear, 2, 2, 0.1 }),
    testsupport::RowName());
