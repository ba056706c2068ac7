// The filters against plain per-pixel reference computations on small pictures.
#include "ImagingTestUtil.h"
#include "platform/imaging/VignetteNode.h"
#include "support/PixelProbe.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace imagingtest;

TEST(FilterChain, SaturationMixesWithLuma)
{
    const QImage pic = texturedPicture(16, 8);
    const FilterImage src = FilterImage::fromQImage(pic);
    EXPECT_EQ(apply("CIColorControls", src, { { "inputSaturation", 1.0 } }), src)
        << "saturation 1 is the identity";

    const QImage grey
        = renderExact(apply("CIColorControls", src, { { "inputSaturation", 0.0 } }), src.extent());
    const QImage vivid
        = renderExact(apply("CIColorControls", src, { { "inputSaturation", 1.5 } }), src.extent());
    ASSERT_FALSE(grey.isNull());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const auto p = at(pic, x, y);
            const double luma = (0.2125 * p[0] + 0.7154 * p[1] + 0.0721 * p[2]);
            const auto g = at(grey, x, y);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(g[std::size_t(c)], luma, 1.0) << x << "," << y;
            const auto v = at(vivid, x, y);
            for (int c = 0; c < 3; ++c) {
                const double want = std::clamp(luma + 1.5 * (p[std::size_t(c)] - luma), 0.0, 255.0);
                EXPECT_NEAR(v[std::size_t(c)], want, 1.0) << x << "," << y;
            }
        }
}

TEST(FilterChain, ConstantPictureSurvivesClampBlurCropAtItsEdges)
{
    const QImage pic = makePicture(40, 30, [](int, int) { return Rgba { 0.8, 0.4, 0.2, 1 }; });
    const FilterImage src = FilterImage::fromQImage(pic);
    for (double sigma : { 0.5, 3.0, 12.0 }) {
        FilterImage img = apply("CIAffineClamp", src);
        img = apply("CIGaussianBlur", img, { { "inputRadius", sigma } });
        img = apply("CICrop", img, { { "inputRectangle", FilterVector(0, 0, 40, 30) } });
        EXPECT_EQ(img.extent(), Rect(0, 0, 40, 30));
        const QImage out = renderExact(img, Rect(-2, -2, 44, 34));
        for (int y = 0; y < 34; ++y)
            for (int x = 0; x < 44; ++x) {
                const bool inside = x >= 2 && x < 42 && y >= 2 && y < 32;
                const auto p = at(out, x, y);
                const std::array<int, 4> want = inside ? std::array<int, 4> { 204, 102, 51, 255 }
                                                       : std::array<int, 4> { 0, 0, 0, 0 };
                for (int c = 0; c < 4; ++c)
                    ASSERT_NEAR(p[std::size_t(c)], want[std::size_t(c)], 1)
                        << "sigma " << sigma << " at " << x << "," << y;
            }
    }
}

// The blur against a direct 2-D convolution in double with the sampled Gaussian, clear beyond
// the picture, over the blurred extent.
TEST(FilterChain, BlurMatchesDirectConvolution)
{
    struct Row {
        const char* name;
        double sigma;
        int w, h;
    };
    const Row rows[] = {
        { "sigma 0.3 (one pixel either side)", 0.3, 21, 9 },
        { "sigma 0.5", 0.5, 40, 30 },
        { "sigma 1.25, odd width", 1.25, 37, 23 },
        { "sigma 2", 2.0, 40, 30 },
        { "sigma 2 across tile seams", 2.0, 560, 150 },
        { "sigma 2.6 (eight pixels either side)", 2.6, 33, 17 },
        { "sigma 10", 10.0, 48, 36 },
        { "sigma 40", 40.0, 40, 30 },
    };
    for (const Row& row : rows) {
        const QImage pic = texturedPicture(row.w, row.h);
        const FilterImage blurred = apply(
            "CIGaussianBlur", FilterImage::fromQImage(pic), { { "inputRadius", row.sigma } });
        const int r = int(std::ceil(3 * row.sigma));
        std::vector<double> k(std::size_t(r) + 1);
        double sum = 0;
        for (int i = 0; i <= r; ++i) {
            k[std::size_t(i)] = std::exp(-double(i * i) / (2 * row.sigma * row.sigma));
            sum += i ? 2 * k[std::size_t(i)] : k[0];
        }
        for (double& v : k)
            v /= sum;
        const int m = std::min(r, 12); // margin of the region compared
        const QImage out = renderExact(blurred, Rect(-m, -m, row.w + 2 * m, row.h + 2 * m));
        ASSERT_FALSE(out.isNull()) << row.name;
        int worst = 0;
        for (int oy = -m; oy < row.h + m; ++oy)
            for (int ox = -m; ox < row.w + m; ++ox) {
                double acc[4] = { 0, 0, 0, 0 };
                for (int y = std::max(0, oy - r); y <= std::min(row.h - 1, oy + r); ++y)
                    for (int x = std::max(0, ox - r); x <= std::min(row.w - 1, ox + r); ++x) {
                        const double w
                            = k[std::size_t(std::abs(x - ox))] * k[std::size_t(std::abs(y - oy))];
                        const auto p = at(pic, x, y);
                        for (int c = 0; c < 4; ++c)
                            acc[c] += w * p[std::size_t(c)];
                    }
                const auto got = at(out, ox + m, oy + m);
                for (int c = 0; c < 4; ++c)
                    worst
                        = std::max(worst, int(std::lround(std::abs(got[std::size_t(c)] - acc[c]))));
            }
        EXPECT_LE(worst, 1) << row.name;
    }
}

// A blur pulls a point-operation input a few rows at a time; the same input behind a node that
// renders only whole (a crop wider than the blur reads) gives the reference. The bytes agree.
TEST(FilterChain, BlurOfPointInputInBandsMatchesWholeInput)
{
    const int w = 600, h = 300; // several tiles either way
    const FilterImage src = FilterImage::fromQImage(texturedPicture(w, h));
    const FilterImage point
        = apply("CIAffineClamp", apply("CIColorControls", src, { { "inputSaturation", 1.5 } }));
    const FilterImage whole = apply(
        "CICrop", point, { { "inputRectangle", FilterVector(-200, -200, w + 400, h + 400) } });
    const RenderArgs exact;
    EXPECT_TRUE(point.node()->rendersRowsAlone(exact));
    EXPECT_FALSE(whole.node()->rendersRowsAlone(exact));
    RenderArgs resampled;
    resampled.scale = 0.3;
    resampled.usePyramid = true;
    EXPECT_FALSE(point.node()->rendersRowsAlone(resampled)) << "resampling reads neighbours";
    for (double sigma : { 2.0, 5.0, 12.0 }) {
        const QImage banded = renderExact(
            apply("CIGaussianBlur", point, { { "inputRadius", sigma } }), Rect(0, 0, w, h));
        const QImage reference = renderExact(
            apply("CIGaussianBlur", whole, { { "inputRadius", sigma } }), Rect(0, 0, w, h));
        ASSERT_FALSE(banded.isNull());
        EXPECT_TRUE(banded == reference) << "sigma " << sigma;
    }
}

TEST(FilterChain, Extents)
{
    const FilterImage src = FilterImage::fromQImage(texturedPicture(100, 50));
    struct Row {
        const char* name;
        FilterImage image;
        Rect extent;
    };
    const Row rows[] = {
        { "picture", src, { 0, 0, 100, 50 } },
        { "crop inside",
            apply("CICrop", src, { { "inputRectangle", FilterVector(10, 10, 20, 20) } }),
            { 10, 10, 20, 20 } },
        { "crop overhanging",
            apply("CICrop", src, { { "inputRectangle", FilterVector(90, -5, 20, 20) } }),
            { 90, 0, 10, 15 } },
        { "translate", src.transformed(AffineTransform::makeTranslation(5, 7)), { 5, 7, 100, 50 } },
        { "scale 2 about the origin",
            apply("CIAffineTransform", src,
                { { "inputTransform", AffineTransform::makeScale(2, 2) } }),
            { 0, 0, 200, 100 } },
        { "rotate 90 counter-clockwise", src.transformed(AffineTransform::makeRotation(M_PI / 2)),
            { -50, 0, 50, 100 } },
        { "blur grows by 3 sigma", apply("CIGaussianBlur", src, { { "inputRadius", 2.0 } }),
            { -6, -6, 112, 62 } },
        { "clamp has no bounds", apply("CIAffineClamp", src), Rect::infinite() },
        { "lanczos 0.5, aspect 2",
            apply("CILanczosScaleTransform", src,
                { { "inputScale", 0.5 }, { "inputAspectRatio", 2.0 } }),
            { 0, 0, 100, 25 } },
        { "constant colour", FilterImage::constantColor(Color::white()), Rect::infinite() },
    };
    for (const Row& row : rows) {
        const Rect e = row.image.extent();
        if (row.extent.isInfinite()) {
            EXPECT_TRUE(e.isInfinite()) << row.name;
            continue;
        }
        EXPECT_NEAR(e.x(), row.extent.x(), 1e-9) << row.name;
        EXPECT_NEAR(e.y(), row.extent.y(), 1e-9) << row.name;
        EXPECT_NEAR(e.width(), row.extent.width(), 1e-9) << row.name;
        EXPECT_NEAR(e.height(), row.extent.height(), 1e-9) << row.name;
    }
    // A translated picture lands where its extent says.
    const QImage moved
        = renderExact(src.transformed(AffineTransform::makeTranslation(5, 7)), Rect(0, 0, 110, 60));
    EXPECT_EQ(at(moved, 4, 20)[3], 0);
    EXPECT_EQ(at(moved, 5 + 3, 7 + 4), at(renderExact(src, Rect(0, 0, 100, 50)), 3, 4));
}

TEST(FilterChain, VignetteDarkensTowardsTheCorners)
{
    const QImage pic = makePicture(101, 61, [](int, int) { return Rgba { 1, 1, 1, 1 }; });
    const FilterImage src = FilterImage::fromQImage(pic);
    EXPECT_EQ(
        testsupport::worstDifference(renderExact(apply("CIVignette", src), src.extent()), pic), 0)
        << "the default intensity 0 is the identity";
    for (double intensity : { 1.0, 5.0, 10.0 }) {
        const QImage out = renderExact(
            apply("CIVignette", src, { { "inputIntensity", intensity } }), src.extent());
        EXPECT_EQ(at(out, 50, 30)[1], 255) << "the centre is untouched";
        int previous = 256;
        for (int i = 0; i <= 30; ++i) { // along the diagonal to the corner
            const int v = at(out, 50 + i * 50 / 30, 30 + i)[1];
            EXPECT_LE(v, previous) << intensity << " step " << i;
            previous = v;
            EXPECT_EQ(at(out, 50 + i * 50 / 30, 30 + i)[3], 255) << "alpha is kept";
        }
        EXPECT_GT(at(out, 0, 0)[1], 0) << "never black";
        EXPECT_LT(at(out, 0, 0)[1], 200);
        EXPECT_NEAR(at(out, 0, 0)[1],
            255 * VignetteNode::factor(std::hypot(50, 30) / std::hypot(50.5, 30.5), intensity, 1),
            1.5);
    }
}

TEST(FilterChain, BlendWithMaskTakesTheMasksGreen)
{
    const FilterImage red = FilterImage::constantColor(Color(1, 0, 0, 1));
    const FilterImage blue = FilterImage::constantColor(Color(0, 0, 1, 1));
    // The mask's red and blue disagree with its green: only green may count.
    const QImage maskPic = makePicture(11, 1, [](int x, int) {
        return Rgba { 1.0 - x / 10.0, x / 10.0, 1.0, 1.0 };
    });
    const FilterImage blended = apply("CIBlendWithMask", red,
        { { "inputBackgroundImage", blue },
            { "inputMaskImage", FilterImage::fromQImage(maskPic) } });
    const QImage out = renderExact(blended, Rect(0, 0, 11, 1));
    for (int x = 0; x < 11; ++x) {
        const int g = at(maskPic, x, 0)[1];
        EXPECT_NEAR(at(out, x, 0)[0], g, 1) << x;
        EXPECT_NEAR(at(out, x, 0)[2], 255 - g, 1) << x;
    }
    // A small mask scaled up is resampled bilinearly: halfway between a black and a white
    // pixel's centres the blend is half and half.
    const QImage small = makePicture(3, 3, [](int x, int) {
        return Rgba { 0, x ? 1.0 : 0.0, 0, 1 };
    });
    const FilterImage mask
        = FilterImage::fromQImage(small).transformed(AffineTransform::makeScale(10, 10));
    const QImage wide
        = renderExact(apply("CIBlendWithMask", red,
                          { { "inputBackgroundImage", blue }, { "inputMaskImage", mask } }),
            Rect(0, 0, 30, 30));
    EXPECT_NEAR(at(wide, 2, 15)[0], 0, 1);
    EXPECT_NEAR(at(wide, 17, 15)[0], 255, 1);
    EXPECT_NEAR(at(wide, 9, 15)[0], 0.45 * 255, 1);
    EXPECT_NEAR(at(wide, 10, 15)[0], 0.55 * 255, 1);
    EXPECT_TRUE(apply("CIBlendWithMask", red).isNull()) << "no mask, no output";
}

TEST(FilterChain, LanczosScaleOfACheckerboard)
{
    const QImage fine = makePicture(32, 32, [](int x, int y) {
        const double v = (x + y) % 2 ? 1.0 : 0.0;
        return Rgba { v, v, v, 1 };
    });
    const QImage half = renderExact(
        apply("CILanczosScaleTransform", FilterImage::fromQImage(fine), { { "inputScale", 0.5 } }),
        Rect(0, 0, 16, 16));
    for (int y = 3; y < 13; ++y)
        for (int x = 3; x < 13; ++x)
            ASSERT_NEAR(at(half, x, y)[0], 128, 3) << "shrinking averages the squares out";

    const QImage coarse = makePicture(32, 32, [](int x, int y) {
        const double v = (x / 8 + y / 8) % 2 ? 1.0 : 0.0;
        return Rgba { v, v, v, 1 };
    });
    const QImage twice
        = renderExact(apply("CILanczosScaleTransform", FilterImage::fromQImage(coarse),
                          { { "inputScale", 2.0 }, { "inputAspectRatio", 1.0 } }),
            Rect(0, 0, 64, 64));
    for (int cy = 1; cy < 3; ++cy)
        for (int cx = 1; cx < 3; ++cx) {
            const int want = (cx + cy) % 2 ? 255 : 0;
            EXPECT_NEAR(at(twice, cx * 16 + 8, cy * 16 + 8)[0], want, 2) << "cell centre";
            // The edge between two cells falls between output pixels 16c - 1 and 16c.
            EXPECT_NEAR(at(twice, cx * 16 - 1, cy * 16 + 8)[0] + at(twice, cx * 16, cy * 16 + 8)[0],
                255, 3);
        }
}

TEST(FilterChain, RadialGradientRampAndStep)
{
    Filter g = Filter::withName(QStringLiteral("CIRadialGradient"));
    g.setValue(QStringLiteral("inputCenter"), FilterVector(50, 50));
    g.setValue(QStringLiteral("inputRadius0"), 10.0);
    g.setValue(QStringLiteral("inputRadius1"), 30.0);
    g.setValue(QStringLiteral("inputColor0"), Color(1, 1, 1, 1));
    g.setValue(QStringLiteral("inputColor1"), Color(0, 0, 0, 0));
    const QImage ramp = renderExact(g.outputImage(), Rect(0, 0, 100, 100));
    for (int dx : { 0, 5, 9, 15, 20, 25, 29, 35, 45 }) {
        const double want = 255 * std::clamp(1.0 - (dx + 0.5 - 10) / 20, 0.0, 1.0);
        EXPECT_NEAR(at(ramp, 50 + dx, 50)[3], want, 1) << "distance " << dx + 0.5;
    }

    g.setValue(QStringLiteral("inputRadius1"), 10.0);
    const QImage step = renderExact(g.outputImage(), Rect(0, 0, 100, 100));
    EXPECT_EQ(at(step, 59, 50)[3], 255);
    EXPECT_EQ(at(step, 60, 50)[3], 0);
}

TEST(FilterChain, ColorMatrixOnUnpremultipliedValues)
{
    const QImage pic = makePicture(3, 1, [](int, int) {
        return Rgba { 0.5 * 0.5, 0.25 * 0.5, 1.0 * 0.5, 0.5 }; // (0.5, 0.25, 1) at alpha 0.5
    });
    const FilterImage src = FilterImage::fromQImage(pic);
    const FilterImage grey = apply("CIColorMatrix", src,
        { { "inputRVector", FilterVector(0.5, 0.5, 0, 0) },
            { "inputGVector", FilterVector(0.5, 0.5, 0, 0) },
            { "inputBVector", FilterVector(0.5, 0.5, 0, 0) } });
    const auto p = at(renderExact(grey, Rect(0, 0, 3, 1)), 1, 0);
    EXPECT_NEAR(p[0], 0.375 * 0.5 * 255, 1.5);
    EXPECT_NEAR(p[3], 128, 1);
    const FilterImage tinted
        = apply("CIColorMatrix", src, { { "inputBiasVector", FilterVector(0.5, 0, 0, 0) } });
    EXPECT_NEAR(at(renderExact(tinted, Rect(0, 0, 3, 1)), 1, 0)[0], 1.0 * 0.5 * 255, 1.5);
    EXPECT_EQ(at(renderExact(tinted, Rect(-2, 0, 3, 1)), 0, 0)[0], 0) << "clear stays clear";
}

TEST(FilterChain, FiltersByNameWithDefaults)
{
    EXPECT_TRUE(Filter::withName(QStringLiteral("CINoSuchFilter")).isNull());
    Filter blur = Filter::withName(QStringLiteral("CIGaussianBlur"));
    ASSERT_FALSE(blur.isNull());
    EXPECT_EQ(std::get<double>(blur.value(QStringLiteral("inputRadius"))), 10.0);
    EXPECT_TRUE(blur.outputImage().isNull()) << "no input image";
    EXPECT_FALSE(blur.setValue(QStringLiteral("inputRadius"), Color::white())) << "wrong kind";
    EXPECT_FALSE(blur.setValue(QStringLiteral("inputAngle"), 1.0)) << "unknown key";
    blur.setValue(QStringLiteral("inputRadius"), 3.0);
    blur.setDefaults();
    EXPECT_EQ(std::get<double>(blur.value(QStringLiteral("inputRadius"))), 10.0);
    const Filter cc = Filter::withName(QStringLiteral("CIColorControls"));
    EXPECT_EQ(std::get<double>(cc.value(QStringLiteral("inputSaturation"))), 1.0);
    EXPECT_EQ(std::get<double>(cc.value(QStringLiteral("inputContrast"))), 1.0);
    const Filter v = Filter::withName(QStringLiteral("CIVignette"));
    EXPECT_EQ(std::get<double>(v.value(QStringLiteral("inputRadius"))), 1.0);
    for (const char* name :
        { "CIColorControls", "CIAffineClamp", "CIGaussianBlur", "CICrop", "CIVignette",
            "CIAffineTransform", "CILanczosScaleTransform", "CIBlendWithMask", "CIColorMatrix",
            "CIRadialGradient", "CIConstantColorGenerator", "CISourceOverCompositing" })
        EXPECT_FALSE(Filter::withName(QString::fromLatin1(name)).isNull()) << name;
    EXPECT_TRUE(apply("CILanczosScaleTransform", FilterImage::fromQImage(texturedPicture(4, 4)),
        { { "inputScale",
            0.0 } }).isNull());
}

// The canvas path: the display render at 1/4 agrees with the exact render reduced by 4.
TEST(FilterChain, DisplayPathAgreesWithExactPath)
{
    const QImage pic = makePicture(400, 240, [](int x, int y) {
        return Rgba { 0.5 + 0.4 * std::sin(x * 0.03), 0.5 + 0.4 * std::cos(y * 0.025),
            0.3 + 0.3 * std::sin((x + y) * 0.02), 1.0 };
    });
    const FilterImage src = FilterImage::fromQImage(pic);
    FilterImage img = apply("CIColorControls", src, { { "inputSaturation", 1.5 } });
    img = apply("CIAffineClamp", img);
    img = apply("CIGaussianBlur", img, { { "inputRadius", 5.0 } });
    img = apply("CICrop", img, { { "inputRectangle", FilterVector::fromRect(src.extent()) } });
    img = apply("CIVignette", img, { { "inputIntensity", 5.0 } });
    const QImage exact = renderExact(img, src.extent());
    const QImage display = FilterRenderer::render(img, src.extent(), 0.25, RenderPath::Display);
    ASSERT_EQ(display.size(), QSize(100, 60));
    int worst = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            for (int c = 0; c < 4; ++c) {
                double sum = 0;
                for (int j = 0; j < 4; ++j)
                    for (int i = 0; i < 4; ++i)
                        sum += at(exact, 4 * x + i, 4 * y + j)[std::size_t(c)];
                worst = std::max(worst,
                    int(std::lround(std::abs(sum / 16 - at(display, x, y)[std::size_t(c)]))));
            }
    EXPECT_LE(worst, 4);
    // The exact path at a reduced scale gives the requested size.
    EXPECT_EQ(
        FilterRenderer::render(img, src.extent(), 0.5, RenderPath::Exact).size(), QSize(200, 120));
}
