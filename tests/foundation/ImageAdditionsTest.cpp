// Picture operations, checked by size and by probing pixels (y-up).
#include "foundation/ImageAdditions.h"

#include "support/PixelProbe.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::pixelAt;
using testsupport::Rgba;

namespace {

// Vertical bands of the given colours, equally wide, left to right.
Image bands(int w, int h, std::vector<QRgb> colours)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            img.setPixel(x, y, colours[std::size_t(x * int(colours.size()) / w)]);
    return Image::fromQImage(img);
}

const QRgb kRed = qRgb(255, 0, 0), kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255),
           kWhite = qRgb(255, 255, 255);

} // namespace

TEST(ImageAdditions, RotatedSizesAndOrientation)
{
    const Image pic = bands(200, 100, { kRed, kBlue });
    struct Row {
        float angle;
        Size size;
    };
    for (const Row& r :
        { Row { -90, { 100, 200 } }, Row { 450, { 100, 200 } }, Row { 45, { 220, 220 } } })
        EXPECT_EQ(imageRotated(pic, r.angle).size(), r.size) << r.angle;
    EXPECT_EQ(imageRotated(pic, 360), pic);
    // Counter-clockwise: the left (red) half turns to the bottom.
    const QImage turned = imageRotated(pic, 90).toQImage();
    EXPECT_TRUE(testsupport::near(pixelAt(turned, 50, 20), Rgba { 255, 0, 0, 255 }, 2));
    EXPECT_TRUE(testsupport::near(pixelAt(turned, 50, 180), Rgba { 0, 0, 255, 255 }, 2));
}

TEST(ImageAdditions, ScalingFittingFillingTiling)
{
    const Image wide = bands(400, 200, { kRed, kGreen, kBlue, kWhite });
    EXPECT_EQ(resizedImageWithMaxSide(wide, 100).size(), Size(100, 50));
    EXPECT_EQ(resizedImageWithMaxSide(bands(200, 400, { kRed }), 100).size(), Size(50, 100));

    const QImage fitted = imageByScalingProportionallyToSize(wide, Size(100, 100)).toQImage();
    ASSERT_EQ(fitted.size(), QSize(100, 100));
    EXPECT_EQ(pixelAt(fitted, 50, 10).a, 0) << "below the picture";
    EXPECT_EQ(pixelAt(fitted, 50, 90).a, 0) << "above it";
    EXPECT_TRUE(testsupport::near(pixelAt(fitted, 5, 30), Rgba { 255, 0, 0, 255 }, 2));
    EXPECT_TRUE(testsupport::near(pixelAt(fitted, 95, 70), Rgba { 255, 255, 255, 255 }, 2));

    // Filled into (-50, 0, 200, 100): the outer bands are cut off.
    const QImage filled = aspectFilledImageToSize(wide, Size(100, 100)).toQImage();
    EXPECT_TRUE(testsupport::near(pixelAt(filled, 2, 50), Rgba { 0, 255, 0, 255 }, 2));
    EXPECT_TRUE(testsupport::near(pixelAt(filled, 97, 50), Rgba { 0, 0, 255, 255 }, 2));
    const QImage fit = aspectFitedImageToSize(wide, Size(100, 100)).toQImage();
    EXPECT_EQ(pixelAt(fit, 50, 10).a, 0);

    // 250 x 100 from 100 x 100 tiles: three tiles, the last overhanging.
    const QImage tiles
        = tiledImageToSize(bands(100, 100, { kRed, kBlue }), Size(250, 100)).toQImage();
    ASSERT_EQ(tiles.size(), QSize(250, 100));
    for (int x : { 10, 110, 210 })
        EXPECT_TRUE(testsupport::near(pixelAt(tiles, x, 50), Rgba { 255, 0, 0, 255 }, 2)) << x;
    EXPECT_TRUE(testsupport::near(pixelAt(tiles, 160, 50), Rgba { 0, 0, 255, 255 }, 2));
    EXPECT_TRUE(imageByScalingProportionallyToSize(Image(), Size(10, 10)).isNull());
    EXPECT_TRUE(tiledImageToSize(wide, Size(1e9, 1e9)).isNull()) << "bounded allocation";
}

// Copies start at the bottom-left corner, upright, and keep every pixel of the picture: a
// 2 x 2 picture of four colours tiled to 5 x 3 repeats it exactly, cut at the top and right.
TEST(ImageAdditions, TilesRepeatUprightFromTheBottomLeft)
{
    const Rgba colours[2][2] = { { { 255, 0, 0, 255 }, { 0, 255, 0, 255 } }, // bottom row
        { { 0, 0, 255, 255 }, { 255, 255, 255, 255 } } }; // top row
    QImage four(2, 2, QImage::Format_ARGB32_Premultiplied);
    for (int yUp = 0; yUp < 2; ++yUp)
        for (int x = 0; x < 2; ++x) {
            const Rgba c = colours[yUp][x];
            four.setPixel(x, 1 - yUp, qRgba(c.r, c.g, c.b, c.a));
        }
    const QImage tiles = tiledImageToSize(Image::fromQImage(four), Size(5, 3)).toQImage();
    ASSERT_EQ(tiles.size(), QSize(5, 3));
    for (int yUp = 0; yUp < 3; ++yUp)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(pixelAt(tiles, x, yUp), colours[yUp % 2][x % 2]) << x << ", " << yUp;

    // A single pixel over a large picture is one fill, not millions of draws.
    QImage dot(1, 1, QImage::Format_ARGB32_Premultiplied);
    dot.fill(qRgba(10, 20, 30, 255));
    const QImage big = tiledImageToSize(Image::fromQImage(dot), Size(2000, 2000)).toQImage();
    for (const QPoint p : { QPoint(0, 0), QPoint(1999, 1999), QPoint(1000, 7) })
        EXPECT_EQ(pixelAt(big, p.x(), p.y()), (Rgba { 10, 20, 30, 255 }));
}

TEST(ImageAdditions, RepresentationsAndPixelSize)
{
    auto rep = [](int w, int h) {
        QImage q(w, h, QImage::Format_ARGB32_Premultiplied);
        q.fill(Qt::red);
        return std::make_shared<BitmapRepresentation>(q);
    };
    const Image two = Image::fromRepresentations({ rep(100, 300), rep(200, 150) }, Size(100, 75));
    EXPECT_EQ(pixelSize(two), Size(200, 300));
    EXPECT_EQ(pixelSize(Image()), Size(0, 0));

    const Image scaled
        = Image::fromRepresentations({ rep(100, 100), rep(200, 200) }, Size(100, 100));
    EXPECT_TRUE(hasRetina(scaled));
    EXPECT_EQ(retinaRep(scaled)->pixelSize(), QSize(200, 200));
    EXPECT_EQ(standardRep(scaled)->pixelSize(), QSize(100, 100));
    EXPECT_EQ(retinaImage(scaled).representations().size(), 1u);
    EXPECT_EQ(representationForBackingScale(scaled, 3.0f), nullptr);
    EXPECT_TRUE(
        standardImage(Image::fromRepresentations({ rep(200, 200) }, Size(100, 100))).isNull());
}

TEST(ImageAdditions, FilterImagesAndBitmaps)
{
    EXPECT_TRUE(imageWithCIImage(FilterImage()).isNull()) << "nothing gives no picture";
    EXPECT_TRUE(imageWithCIImage(FilterImage::constantColor(Color::white())).isNull())
        << "no bounds, no picture";
    const Image pic = bands(30, 20, { kRed, kBlue });
    const FilterImage ci = CIImage(pic);
    EXPECT_EQ(ci.extent(), Rect(0, 0, 30, 20));
    const Image lazy = imageWithCIImage(ci);
    EXPECT_EQ(lazy.size(), Size(30, 20));
    EXPECT_TRUE(testsupport::near(pixelAt(lazy.toQImage(), 25, 10), Rgba { 0, 0, 255, 255 }, 0));
    const Image copy = imageWithCIImageCopy(ci);
    EXPECT_TRUE(testsupport::near(pixelAt(copy.toQImage(), 2, 10), Rgba { 255, 0, 0, 255 }, 0));
    const Image quarter = imageWithCIImageSpecial(ci);
    EXPECT_EQ(quarter.size(), Size(15, 10));

    EXPECT_EQ(unscaledBitmapImageRep(pic.withSize(Size(10.7, 5.2))).pixelSize(), QSize(10, 5));
    EXPECT_TRUE(bitmapImageRepresentation(pic.withSize(Size(0.5, 10))).isNull());
    const QImage viaPng = toCGImageRef(pic);
    ASSERT_EQ(viaPng.size(), QSize(30, 20));
    EXPECT_TRUE(testsupport::near(pixelAt(viaPng, 2, 2), Rgba { 255, 0, 0, 255 }, 0));

    const FilterImage turned = rotateDegrees(ci, 90);
    EXPECT_NEAR(turned.extent().width(), 20, 1e-9);
    EXPECT_EQ(rotateDegrees(ci, 360), ci);
}

TEST(ImageAdditions, TintAlphaAndFilterPreview)
{
    QImage half(20, 10, QImage::Format_ARGB32_Premultiplied);
    half.fill(Qt::transparent);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            half.setPixel(x, y, kWhite);
    const Image pic = Image::fromQImage(half);
    const QImage tinted = tintedImageWithColor(pic, Color(1, 0, 0, 1)).toQImage();
    EXPECT_TRUE(testsupport::near(pixelAt(tinted, 5, 5), Rgba { 255, 0, 0, 255 }, 1));
    EXPECT_EQ(pixelAt(tinted, 15, 5).a, 0) << "only the picture's own pixels take the colour";
    EXPECT_TRUE(testsupport::near(pixelAt(tintedImageWithColor(pic, std::nullopt).toQImage(), 5, 5),
        Rgba { 255, 255, 255, 255 }, 0));
    EXPECT_NEAR(pixelAt(imageWithAlpha(pic, 0.5f).toQImage(), 5, 5).a, 128, 1);

    const Image colour = bands(40, 20, { kRed, kBlue });
    const QImage grey = previewImageForCIFilter(colour, QStringLiteral("CIColorControls"),
        Size(20, 10),
        { { QStringLiteral("inputSaturation"),
            0.0 } }).toQImage();
    ASSERT_EQ(grey.size(), QSize(20, 10));
    const Rgba g = pixelAt(grey, 2, 5);
    EXPECT_NEAR(g.r, 0.2125 * 255, 2);
    EXPECT_EQ(g.r, g.g);
    EXPECT_TRUE(
        previewImageForCIFilter(colour, QStringLiteral("CINothing"), Size(10, 10), {}).isNull());
    EXPECT_EQ(bluredImageWithStrength(colour, 2).size(), Size(100, 100));
}
