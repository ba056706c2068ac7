// The blurred look of the picture on the canvas. A photo larger than the window (shown at less
// than its own pixels) is kept pixel for pixel against renders stored in tests/data; a render
// of a picture of a few pixels, zoomed to fill the window, matches the blur of the zoomed
// picture.
//
// The stored renders are remade with QUILLMARK_WRITE_PICTURES=1. Every blur in them reaches 8
// pixels or less (half scale, sigma 5 at most): those kernels run the same loops on every
// processor, without fused multiply-adds, so the bytes are the same everywhere.
#include "CanvasTestSupport.h"
#include "canvas/CanvasFilterChain.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace canvas;
using platform::FilterImage;
using platform::FilterRenderer;
using platform::Rect;
using platform::RenderPath;

namespace {

// A photo stand-in with hard edges, fine lines and smooth ramps, larger than the window the
// test shows it in.
QImage photo(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool check = ((x / 12) + (y / 9)) % 2;
            const bool line = x % 17 == 0 || y % 23 == 0;
            const int r = line ? 250 : (check ? 40 + x * 180 / w : 200 - y * 120 / h);
            const int g = line ? 240 : (check ? 30 + y * 200 / h : 90);
            const int b = (x * x + y * 3) % 256;
            img.setPixel(x, y, qRgba(r, g, b, 255));
        }
    return img;
}

// The picture's two layers as the canvas shows them: the display path at the window's scale.
QImage shown(CanvasFilterChain& chain, double scale)
{
    FilterImage top, bottom;
    chain.setRenderSink([&](const FilterImage& t, const FilterImage& b) {
        top = t;
        bottom = b;
    });
    chain.setValue({}, {}, {});
    const Rect region = chain.workingRect();
    // As the canvas does, a layer without a picture (the top one before any mask) shows clear.
    const auto orClear = [&](const FilterImage& image) {
        return image ? image
                     : FilterImage::constantColor(platform::Color(0, 0, 0, 0)).cropped(region);
    };
    const std::vector<QImage> layers = FilterRenderer::render(
        { orClear(bottom), orClear(top) }, region, scale, RenderPath::Display);
    if (layers.size() != 2 || layers[0].isNull() || layers[1].isNull())
        return {};
    // Side by side: what is under the boxes, and what shows through the mask over them. The
    // premultiplied bytes as they are, labelled straight, so that a PNG keeps them exactly.
    QImage both(layers[0].width() * 2, layers[0].height(), QImage::Format_ARGB32);
    both.fill(Qt::transparent);
    for (int y = 0; y < both.height(); ++y) {
        std::copy_n(layers[0].constScanLine(y), layers[0].bytesPerLine(), both.scanLine(y));
        std::copy_n(layers[1].constScanLine(y), layers[1].bytesPerLine(),
            both.scanLine(y) + layers[0].width() * 4);
    }
    return both;
}

QString keptPath(const QString& name)
{
    return QDir(QString::fromLocal8Bit(qgetenv("QUILLMARK_TEST_DATA")))
        .filePath(QStringLiteral("blurred_photo/%1.png").arg(name));
}

} // namespace

TEST(BlurLook, APhotoLargerThanTheWindowKeepsItsBlurredPixels)
{
    struct Row {
        const char* name;
        double aperture; // the slider's position: the blur strength is five times it
        double zoom, straighten, vignette;
    };
    const Row rows[] = {
        { "aperture-0.25", 0.25, 1.0, 0.0, 0.0 },
        { "aperture-0.5-zoomed", 0.5, 1.5, 0.0, 0.0 },
        { "aperture-1-turned-vignette", 1.0, 1.2, 0.05, 2.0 },
    };
    constexpr int W = 240, H = 160;
    constexpr double kWindowScale = 0.5;
    const bool write = qgetenv("QUILLMARK_WRITE_PICTURES") == "1";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CanvasFilterChain chain;
        chain.loadImage(FilterImage::fromQImage(photo(W, H)));
        chain.setBlurStrength(row.aperture * 5.0);
        chain.setVignetteIntensity(row.vignette);
        chain.setScaleStraightenOffset(row.zoom, row.straighten, {});
        chain.setValue(canvastest::leftHalfMask(W, H), "inputMaskImage", CanvasFilterChain::kBlend);
        const QImage got = shown(chain, kWindowScale);
        ASSERT_FALSE(got.isNull());
        ASSERT_EQ(got.size(), QSize(W, H / 2)) << "two layers of half the photo's size";
        const QString path = keptPath(QString::fromLatin1(row.name));
        if (write) {
            ASSERT_TRUE(testsupport::keepPicture(got, path));
            continue;
        }
        const testsupport::KeptDifference d
            = testsupport::differenceFromKept(got, path, QImage::Format_ARGB32);
        ASSERT_TRUE(d.read) << path.toStdString();
        EXPECT_EQ(d.differing, 0) << "largest difference " << d.worst;
    }
}

// A picture of a few pixels fills the window at hundreds of times its size. Blurred, it stays
// an opaque picture in its own colours: the blur of a picture held at its edges mixes its
// pixels and nothing else (a picture of one pixel shows that pixel everywhere).
TEST(BlurLook, APictureOfAFewPixelsStaysOpaqueInItsOwnColoursWhenBlurred)
{
    struct Row {
        int w, h;
        double aperture;
    };
    const Row rows[] = { { 1, 1, 0.25 }, { 1, 1, 1.0 }, { 1, 2, 0.25 }, { 1, 2, 1.0 },
        { 3, 3, 0.25 }, { 3, 3, 1.0 } };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.w << "x" << row.h << " at " << row.aperture);
        QImage pic(row.w, row.h, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < row.h; ++y)
            for (int x = 0; x < row.w; ++x)
                pic.setPixel(x, y, qRgb(40 + 90 * x, 200 - 70 * y, 120));
        CanvasFilterChain chain;
        chain.loadImage(FilterImage::fromQImage(pic));
        chain.setBlurStrength(row.aperture * 5.0);
        const double windowScale = 900.0 / std::max(row.w, row.h);
        const QImage got = shown(chain, windowScale);
        ASSERT_FALSE(got.isNull());
        // The bottom layer: the picture under the boxes.
        const QImage bottom = got.copy(0, 0, got.width() / 2, got.height());
        int lowR = 255, highR = 0, lowG = 255, highG = 0;
        for (int y = 0; y < row.h; ++y)
            for (int x = 0; x < row.w; ++x) {
                const QRgb p = pic.pixel(x, y);
                lowR = std::min(lowR, qRed(p));
                highR = std::max(highR, qRed(p));
                lowG = std::min(lowG, qGreen(p));
                highG = std::max(highG, qGreen(p));
            }
        for (int y = 0; y < bottom.height(); y += bottom.height() / 9)
            for (int x = 0; x < bottom.width(); x += std::max(1, bottom.width() / 9)) {
                const QRgb p = bottom.pixel(x, y);
                ASSERT_EQ(qAlpha(p), 255) << x << "," << y;
                EXPECT_GE(qRed(p), lowR) << x << "," << y;
                EXPECT_LE(qRed(p), highR) << x << "," << y;
                EXPECT_GE(qGreen(p), lowG) << x << "," << y;
                EXPECT_LE(qGreen(p), highG) << x << "," << y;
                EXPECT_EQ(qBlue(p), 120) << x << "," << y;
            }
    }
}
