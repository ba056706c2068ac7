// The export composition: its fitted size, its layer order and its independence from stripes.
#include "CanvasTestSupport.h"
#include "FakeCanvasWindow.h"
#include "canvas/CanvasControls.h"
#include "canvas/CanvasExport.h"
#include "canvas/CanvasFilterChain.h"
#include "canvas/CanvasView.h"
#include "platform/imaging/JpegWriter.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace canvas;
using namespace canvastest;
using canvastest::FakeCanvasWindow;
using platform::FilterImage;
using platform::Rect;
using platform::Size;
using testsupport::pixelAt;
using testsupport::Rgba;

TEST(Export, FittedOutputSize)
{
    struct Row {
        const char* name;
        Size working, requested;
        std::optional<QSize> expected;
    };
    const double nan = std::nan("");
    const Row rows[] = {
        { "own pixel size", { 6000, 4000 }, { 6000, 4000 }, QSize(6000, 4000) },
        { "4:3 landscape preview", { 4000, 3000 }, { 300, 300 }, QSize(300, 225) },
        { "3:4 portrait preview", { 3000, 4000 }, { 300, 300 }, QSize(225, 300) },
        { "aspect within 0.01 keeps the request", { 1000, 1000 }, { 500, 503 }, QSize(500, 503) },
        { "fractional result rounds to whole pixels", { 1000, 333 }, { 100, 100 }, QSize(100, 33) },
        { "1 x N picture keeps at least a pixel", { 1, 5000 }, { 300, 300 }, QSize(1, 300) },
        { "zero request", { 100, 100 }, { 0, 100 }, std::nullopt },
        { "negative request", { 100, 100 }, { -5, 100 }, std::nullopt },
        { "NaN request", { 100, 100 }, { nan, 100 }, std::nullopt },
        { "infinite request", { 100, 100 }, { INFINITY, 100 }, std::nullopt },
        { "no picture", { 0, 0 }, { 300, 300 }, std::nullopt },
        { "over the limit", { 100000, 100000 }, { 100000, 100000 }, std::nullopt },
    };
    for (const Row& row : rows)
        EXPECT_EQ(fittedOutputSize(row.working, row.requested), row.expected) << row.name;
}

namespace {

constexpr int W = 120, H = 90;

// A box: an opaque red square over working (10..50, 10..50), rendered as the box layer would be.
QImage boxLayer(const Rect& region, double scale)
{
    const QSize size = platform::FilterRenderer::outputSize(region, scale);
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    // y-up working coordinates to the image's rows.
    p.translate(-region.x() * scale, (region.y() + region.height()) * scale);
    p.scale(scale, -scale);
    p.fillRect(QRectF(10, 10, 40, 40), Qt::red);
    return img;
}

struct Scene {
    FilterImage back, top;
};

Scene scene()
{
    CanvasFilterChain chain;
    Scene s;
    chain.setRenderSink([&s](const FilterImage& top, const FilterImage& back) {
        s.top = top;
        s.back = back;
    });
    chain.loadImage(FilterImage::fromQImage(rampPicture(W, H)));
    chain.setBlurStrength(2);
    chain.setValue(leftHalfMask(W, H), "inputMaskImage", CanvasFilterChain::kBlend);
    return s;
}

} // namespace

TEST(Export, BoxesLieBetweenTheLayers)
{
    const Scene s = scene();
    const QImage out = composeExport(s.back, s.top, { W, H }, QSize(W, H), boxLayer);
    ASSERT_EQ(out.size(), QSize(W, H));
    const QImage back = renderAt(s.back, Rect(0, 0, W, H));
    // The mask covers x < 60, so the box (10..50) lies under the picture there.
    EXPECT_TRUE(testsupport::near(pixelAt(out, 30, 30), pixelAt(back, 30, 30), 1))
        << "under the mask the picture covers the box";
    EXPECT_TRUE(testsupport::near(pixelAt(out, 90, 70), pixelAt(back, 90, 70), 1))
        << "no box, no mask: the picture";

    const auto shifted = [](const Rect& region, double scale) {
        return boxLayer(Rect(region.x() - 60, region.y(), region.width(), region.height()), scale);
    };
    const QImage outRight = composeExport(s.back, s.top, { W, H }, QSize(W, H), shifted);
    EXPECT_EQ(pixelAt(outRight, 90, 30), (Rgba { 255, 0, 0, 255 }))
        << "outside the mask the box shows";
    EXPECT_TRUE(testsupport::near(pixelAt(outRight, 65, 70), pixelAt(back, 65, 70), 1));
}

// Stripes and the scale of the box layer must not show in the result.
TEST(Export, StripesAndScaleDoNotShow)
{
    const Scene s = scene();
    struct Row {
        const char* name;
        QSize out;
        int stripeRows;
    };
    const Row rows[] = { { "full, one stripe", { W, H }, 10000 },
        { "full, 7-row stripes", { W, H }, 7 }, { "preview, 5-row stripes", { 60, 45 }, 5 },
        { "preview, one stripe", { 60, 45 }, 10000 } };
    QImage reference[2];
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<double> scales;
        const QImage out = composeExport(
            s.back, s.top, { W, H }, row.out,
            [&](const Rect& r, double sc) {
                scales.push_back(sc);
                return boxLayer(r, sc);
            },
            row.stripeRows);
        ASSERT_EQ(out.size(), row.out);
        for (double sc : scales)
            EXPECT_DOUBLE_EQ(sc, double(row.out.width()) / W) << "boxes at the output scale";
        QImage& ref = reference[row.out.width() == W ? 0 : 1];
        if (ref.isNull())
            ref = out;
        else
            EXPECT_EQ(testsupport::worstDifference(ref, out), 0);
    }
    // The export equals what the screen shows at scale 1 within one level.
    const auto display = [&](const FilterImage& img) {
        return platform::FilterRenderer::render(
            img, Rect(0, 0, W, H), 1.0, platform::RenderPath::Display);
    };
    QImage shown = display(s.back);
    QPainter(&shown).drawImage(0, 0, display(s.top));
    const QImage exported = composeExport(s.back, s.top, { W, H }, QSize(W, H), nullptr);
    EXPECT_LE(testsupport::worstDifference(exported, shown), 1);
}

// The canvas's export: exactly the picture's pixels, whatever the zoom, with its boxes.
TEST(Export, CanvasOutputIgnoresTheZoom)
{
    FakeCanvasWindow window;
    window.viewport = { 400, 300 };
    CanvasControls canvas;
    canvas.setCanvasWindow(&window);
    EXPECT_TRUE(canvas.outputImage().isNull()) << "no picture, no export";
    canvas.loadImage(platform::Image::fromQImage(rampPicture(W, H)));
    canvas.setBlurStrength(1);
    canvas.newTextBox(&window.delegate);
    struct Row {
        const char* name;
        double zoom;
    };
    const Row rows[] = { { "fit", 0 }, { "zoom 0.1", 0.1 }, { "three times fit", 1 } };
    QImage first;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(canvas.setCustomDrawingZoomScale(row.zoom));
        const QImage out = canvas.outputImage();
        ASSERT_EQ(out.size(), QSize(W, H));
        if (first.isNull())
            first = out;
        else
            EXPECT_EQ(testsupport::worstDifference(first, out), 0);
    }
    EXPECT_EQ(canvas.outputImageForSize({ 300, 300 }).size(), QSize(300, 225));
    EXPECT_TRUE(canvas.outputImageForSize({ 0, 300 }).isNull());
    EXPECT_TRUE(canvas.outputImageForSize({ std::nan(""), 300 }).isNull());
}

// A picture wider than a view can render in one piece keeps its boxes to the right edge.
TEST(Export, WidePicturesKeepTheirBoxes)
{
    constexpr int wide = 20000, high = 3;
    const FilterImage back = FilterImage::fromQImage(solidPicture(wide, high, Qt::blue));
    int widest = 0;
    const auto boxes = [&](const Rect& region, double scale) -> QImage {
        const QSize size = platform::FilterRenderer::outputSize(region, scale);
        widest = std::max(widest, size.width());
        if (size.width() > 16384)
            return {}; // as renderToImage refuses
        QImage img(size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::red);
        return img;
    };
    const QImage out = composeExport(back, FilterImage(), { wide, high }, QSize(wide, high), boxes);
    ASSERT_EQ(out.size(), QSize(wide, high));
    EXPECT_LE(widest, 16384);
    for (int x : { 0, 8191, 8192, 16383, 16384, wide - 1 })
        EXPECT_EQ(pixelAt(out, x, 1), (Rgba { 255, 0, 0, 255 })) << x;
}

// A picture with transparency exports as the canvas shows it: flattened on the canvas's
// backdrop, pixel for pixel (its colour channels alone would be another picture in a JPEG).
TEST(Export, TransparencyIsFlattenedOnTheBackdropAsShown)
{
    // White, its alpha rising left to right: premultiplied, every channel equals the alpha.
    QImage picture(W, H, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int a = x * 255 / (W - 1);
            picture.setPixel(x, y, qRgba(a, a, a, a));
        }
    FakeCanvasWindow window;
    CanvasControls canvas;
    canvas.setCanvasWindow(&window);
    canvas.loadImage(platform::Image::fromQImage(picture));
    const QImage out = canvas.outputImage();
    ASSERT_EQ(out.size(), QSize(W, H));
    const QColor backdrop = QColor::fromRgb(CanvasView::kBackdropColor);
    int worst = 0;
    // Away from the left and right edges, which the picture's resampling blends with the
    // outside.
    for (int y = 3; y < H - 3; y += 7)
        for (int x = 10; x < W - 10; ++x) {
            const double a = (x * 255 / (W - 1)) / 255.0;
            const QRgb got = out.pixel(x, y);
            EXPECT_EQ(qAlpha(got), 255);
            const int expected = int(std::lround(255 * a + backdrop.red() * (1 - a)));
            worst = std::max(worst, std::abs(qRed(got) - expected));
        }
    EXPECT_LE(worst, 2) << "not the picture flattened on the backdrop";
}

// Streamed stripe by stripe into the JPEG writer, the export is byte for byte the file of the
// whole composition encoded at once; no stripe is taller than the stripe height.
TEST(Export, StreamedExportIsTheWholeFile)
{
    constexpr int tallW = 300, tallH = 2 * kExportStripeRows + 37;
    FakeCanvasWindow window;
    CanvasControls canvas;
    canvas.setCanvasWindow(&window);
    canvas.loadImage(platform::Image::fromQImage(rampPicture(tallW, tallH)));
    canvas.setBlurStrength(2);
    canvas.newTextBox(&window.delegate);
    const platform::Size size = canvas.targetImagePixelSize();
    for (const int quality : { 100, 75 }) {
        SCOPED_TRACE(quality);
        QByteArray streamed;
        QBuffer buffer(&streamed);
        buffer.open(QIODevice::WriteOnly);
        platform::JpegWriter writer(&buffer, QSize(tallW, tallH), quality);
        int stripes = 0;
        ASSERT_TRUE(canvas.outputStripesForSize(size, [&](const QImage& stripe) {
            ++stripes;
            EXPECT_LE(stripe.height(), kExportStripeRows);
            return writer.write(stripe);
        }));
        ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
        EXPECT_EQ(stripes, 3);
        EXPECT_EQ(streamed, platform::JpegWriter::encode(canvas.outputImage(), quality));
    }
}

// A sink that refuses a stripe (a failed write) ends the composition there.
TEST(Export, RefusedStripeEndsTheComposition)
{
    const Scene s = scene();
    int boxCalls = 0, stripes = 0;
    const auto boxes = [&](const Rect& region, double scale) {
        ++boxCalls;
        return boxLayer(region, scale);
    };
    EXPECT_FALSE(composeExportStripes(
        s.back, s.top, { W, H }, QSize(W, H), boxes, [&](const QImage&) { return ++stripes < 2; },
        10));
    EXPECT_EQ(stripes, 2);
    EXPECT_EQ(boxCalls, 2);
    EXPECT_TRUE(composeExportStripes(
        s.back, s.top, { W, H }, QSize(W, H), boxes, [&](const QImage&) { return true; }, 10));
}

// The stripes are composed as QPainter draws the same layers over the backdrop, translucent
// ones included.
TEST(Export, ComposedAsQPainterDrawsTheLayers)
{
    // A translucent picture under a translucent box, under a translucent masked layer.
    QImage faded(W, H, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            faded.setPixel(x, y, qPremultiply(qRgba(x * 2, 255 - y * 2, 90, (x * 3 + y) % 256)));
    const FilterImage back = FilterImage::fromQImage(faded);
    const FilterImage top = FilterImage::fromQImage(faded.mirrored(true, false));
    const auto boxes = [](const Rect& region, double scale) {
        QImage img(platform::FilterRenderer::outputSize(region, scale),
            QImage::Format_ARGB32_Premultiplied);
        img.fill(QColor(20, 120, 240, 140));
        return img;
    };
    const QColor backdrop(0x1e, 0x1e, 0x1e);
    const QImage composed = composeExport(back, top, { W, H }, QSize(W, H), boxes, 16, backdrop);
    ASSERT_EQ(composed.size(), QSize(W, H));

    QImage drawn(W, H, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(backdrop);
    const Rect all(0, 0, W, H);
    QPainter painter(&drawn);
    painter.drawImage(0, 0, renderAt(back, all));
    painter.drawImage(0, 0, boxes(all, 1.0));
    painter.drawImage(0, 0, renderAt(top, all));
    painter.end();
    EXPECT_EQ(testsupport::worstDifference(composed, drawn), 0);
}
