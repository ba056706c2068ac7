// The canvas filter chain: its order, the one input path, the lock, suppression and the
// layers it hands out, probed in rendered pixels.
#include "CanvasTestSupport.h"
#include "canvas/CanvasFilterChain.h"

#include <gtest/gtest.h>

using namespace canvas;
using namespace canvastest;
using platform::FilterImage;
using platform::Rect;
using testsupport::pixelAt;
using testsupport::Rgba;

namespace {

struct Layers {
    FilterImage top, bottom;
    int renders = 0;
};

constexpr int W = 80, H = 60;

void attach(CanvasFilterChain& chain, Layers& layers)
{
    chain.setRenderSink([&layers](const FilterImage& top, const FilterImage& bottom) {
        layers.top = top;
        layers.bottom = bottom;
        ++layers.renders;
    });
}

} // namespace

TEST(FilterChain, TableIsTheFixedOrder)
{
    const QStringList expected = { "CIColorControls", "CIAffineClamp", "CIGaussianBlur", "CICrop",
        "CIAffineTransformPreScale", "CILanczosScaleTransform", "CIAffineTransform",
        "CIStraightenFilter", "CIAffineTransformCustomDrawing", "CICropToWorkingRect", "CIVignette",
        "CIBlendWithMask" };
    QStringList names;
    for (const CanvasFilterRow& row : canvasFilterTable())
        names << row.name;
    EXPECT_EQ(names, expected);
    EXPECT_EQ(&canvasFilterTable(), &canvasFilterTable()) << "one table per process";
    CanvasFilterChain chain;
    for (const QString& name : expected)
        EXPECT_NE(chain.filter(name), nullptr) << name.toStdString();
    // Defaults until a setter runs.
    EXPECT_EQ(std::get<double>(chain.filter("CIGaussianBlur")->value("inputRadius")), 10.0);
    EXPECT_EQ(std::get<double>(chain.filter("CIColorControls")->value("inputSaturation")), 1.0);
}

// Which calls re-render, and what they leave stored.
TEST(FilterChain, InputPathLockAndSuppression)
{
    struct Row {
        const char* name;
        bool locked, suppressed;
        QString filter, key;
        platform::FilterValue value;
        int expectedRenders;
        bool expectedStored;
    };
    const FilterImage mask = leftHalfMask(W, H);
    const Row rows[] = {
        { "nil filter only re-renders", false, false, "", "", {}, 1, true },
        { "unknown filter re-renders, stores nothing", false, false, "NoSuchFilter", "inputX", 1.0,
            1, false },
        { "blend while locked is dropped whole", true, false, CanvasFilterChain::kBlend,
            "inputMaskImage", mask, 0, false },
        { "lock drops blend updates only", true, false, "CIGaussianBlur", "inputRadius", 2.0, 1,
            true },
        { "suppressed stores but renders nothing", false, true, "CIGaussianBlur", "inputRadius",
            2.0, 0, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CanvasFilterChain chain;
        chain.loadImage(FilterImage::fromQImage(rampPicture(W, H)));
        Layers layers;
        attach(chain, layers);
        chain.setMaskUpdatesLocked(row.locked);
        chain.setSupressRendering(row.suppressed);
        EXPECT_EQ(chain.setValue(row.value, row.key, row.filter), row.expectedStored);
        EXPECT_EQ(layers.renders, row.expectedRenders);
    }
}

TEST(FilterChain, SuppressedChangesShowAtTheNextRender)
{
    CanvasFilterChain chain;
    Layers layers;
    attach(chain, layers);
    chain.setSupressRendering(true);
    chain.loadImage(FilterImage::fromQImage(solidPicture(W, H, QColor(200, 40, 40))));
    chain.setBlurStrength(0);
    chain.setSaturation(0);
    EXPECT_EQ(layers.renders, 0);
    chain.setSupressRendering(false);
    chain.setValue({}, {}, {});
    ASSERT_EQ(layers.renders, 1);
    const Rgba p = pixelAt(renderAt(layers.bottom, Rect(0, 0, W, H)), W / 2, H / 2);
    EXPECT_EQ(p.r, p.g) << "saturation 0 applied";
    EXPECT_EQ(p.g, p.b);
}

// Rendered layers under common settings: bottom everywhere, top only under the mask.
TEST(FilterChain, LayersInPixels)
{
    struct Row {
        const char* name;
        bool enabled;
        double saturation, scale;
        bool expectGrey, expectTopOnlyUnderMask;
    };
    const Row rows[] = {
        { "plain", true, 1, 1, false, true },
        { "saturation 0 greys both layers", true, 0, 1, true, true },
        { "scale 1.5: both layers agree under the mask", true, 1, 1.5, false, true },
        { "filters off: unfiltered, mask has no effect", false, 0, 1.5, false, false },
    };
    const QImage picture = rampPicture(W, H);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CanvasFilterChain chain;
        Layers layers;
        attach(chain, layers);
        chain.loadImage(FilterImage::fromQImage(picture));
        chain.setBlurStrength(0);
        chain.setSaturation(row.saturation);
        chain.setScale(row.scale);
        chain.setValue(leftHalfMask(W, H), "inputMaskImage", CanvasFilterChain::kBlend);
        chain.setFiltersEnabled(row.enabled);
        const QImage top = renderAt(layers.top, Rect(0, 0, W, H));
        const QImage bottom = renderAt(layers.bottom, Rect(0, 0, W, H));
        ASSERT_FALSE(top.isNull());
        ASSERT_FALSE(bottom.isNull());
        EXPECT_EQ(layers.bottom.extent(), Rect(0, 0, W, H)) << "bottom cropped to the picture";
        for (int x : { 5, 20, 35, 50, 70 })
            for (int y : { 5, 30, 55 }) {
                const Rgba b = pixelAt(bottom, x, y), t = pixelAt(top, x, y);
                if (row.expectGrey)
                    EXPECT_TRUE(b.r == b.g && b.g == b.b) << x << "," << y;
                const bool underMask = x < W / 2;
                if (!row.expectTopOnlyUnderMask || underMask)
                    EXPECT_TRUE(testsupport::near(t, b, 1)) << x << "," << y;
                else
                    EXPECT_EQ(t.a, 0) << x << "," << y;
            }
        // The zoom is about the picture's centre: the centre keeps its colour, the corner
        // shows the point 1/scale of the way from the centre.
        if (row.expectGrey)
            continue;
        const double s = row.enabled ? row.scale : 1.0;
        const int cornerX = int(std::lround(W / 2.0 - (W / 2.0 - 0.5) / s - 0.5));
        EXPECT_NEAR(pixelAt(bottom, 0, H / 2).r, pixelAt(picture, cornerX, H / 2).r, 6);
        EXPECT_NEAR(pixelAt(bottom, W / 2, H / 2).r, pixelAt(picture, W / 2, H / 2).r, 6);
    }
}

TEST(FilterChain, StraightenTurnsAndStillCovers)
{
    CanvasFilterChain chain;
    Layers layers;
    attach(chain, layers);
    chain.loadImage(FilterImage::fromQImage(rampPicture(W, H)));
    chain.setBlurStrength(0);
    const QImage flat = renderAt(layers.bottom, Rect(0, 0, W, H));
    chain.setStraighten(0.035);
    EXPECT_DOUBLE_EQ(chain.straighten(), 0.035);
    const QImage turned = renderAt(layers.bottom, Rect(0, 0, W, H));
    EXPECT_GT(testsupport::worstDifference(flat, turned), 4);
    for (auto [x, y] : { std::pair { 0, 0 }, { W - 1, 0 }, { 0, H - 1 }, { W - 1, H - 1 } })
        EXPECT_GE(pixelAt(turned, x, y).a, 250) << "no clear corner at " << x << "," << y;
    chain.setScaleStraightenOffset(1, 0, {});
    EXPECT_EQ(testsupport::worstDifference(flat, renderAt(layers.bottom, Rect(0, 0, W, H))), 0);
}

// The vignette darkens the corners of what shows, whatever the zoom and straightening; the
// mask is registered to the picture through the same transforms.
TEST(FilterChain, VignetteStaysInViewAndTheMaskFollowsThePicture)
{
    CanvasFilterChain chain;
    Layers layers;
    attach(chain, layers);
    chain.loadImage(FilterImage::fromQImage(solidPicture(W, H, QColor(200, 200, 200))));
    chain.setBlurStrength(0);
    chain.setVignetteIntensity(10);
    // White left of x = W/4 on the picture.
    chain.setValue(leftHalfMask(W / 2, H), "inputMaskImage", CanvasFilterChain::kBlend);
    const int flatCorner = pixelAt(renderAt(layers.bottom, Rect(0, 0, W, H)), 0, 0).r;
    ASSERT_LT(flatCorner, 60);
    for (double scale : { 1.4, 2.0 }) {
        chain.setScaleStraightenOffset(scale, 0.03, {});
        const QImage bottom = renderAt(layers.bottom, Rect(0, 0, W, H));
        EXPECT_NEAR(pixelAt(bottom, 0, 0).r, flatCorner, 3) << scale;
        EXPECT_GT(pixelAt(bottom, W / 2, H / 2).r, 190) << scale;
        // The mask's edge shows where the picture's x = W/4 shows.
        const platform::Point edge = chain.pictureTransform().map({ W / 4.0, H / 2.0 });
        const QImage top = renderAt(layers.top, Rect(0, 0, W, H));
        const int y = H - 1 - int(edge.y);
        EXPECT_GT(pixelAt(top, int(edge.x) - 3, y).a, 250) << scale;
        EXPECT_EQ(pixelAt(top, int(edge.x) + 3, y).a, 0) << scale;
    }
}

TEST(FilterChain, BlackAndWhiteShift)
{
    struct Row {
        float shift;
        int expected; // grey level of the picture (r 200, g 100, b 0)
    };
    const Row rows[] = { { 0.0f, 200 }, { 0.5f, 100 }, { 1.0f, 0 }, { 0.25f, 150 } };
    const FilterImage pic = FilterImage::fromQImage(solidPicture(4, 4, QColor(200, 100, 0)));
    for (const Row& row : rows) {
        const Rgba p
            = pixelAt(renderAt(CanvasFilterChain::imageByApplyingBlackAndWhiteShift(pic, row.shift),
                          Rect(0, 0, 4, 4)),
                1, 1);
        EXPECT_NEAR(p.r, row.expected, 1) << row.shift;
        EXPECT_EQ(p.r, p.g);
        EXPECT_EQ(p.g, p.b);
    }
}
