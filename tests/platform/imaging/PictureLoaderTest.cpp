// Pictures made here with QImageWriter, then loaded back through the loader.
#include "platform/imaging/PictureLoader.h"

#include "ImagingTestUtil.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace platform;

namespace {

QByteArray encode(const QImage& img, const char* format, int quality = 95)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(img)) << format << ": " << writer.errorString().toStdString();
    return bytes;
}

QImage colourBars(int w, int h, QImage::Format format = QImage::Format_RGB32)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, x < w / 2 ? qRgb(200, 40, 40) : qRgb(30, 60, 220));
    return img.convertToFormat(format);
}

quint32 crc32(const QByteArray& data)
{
    quint32 c = 0xFFFFFFFFu;
    for (char ch : data) {
        c ^= uchar(ch);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

} // namespace

TEST(PictureLoader, EachFormatAndPixelKind)
{
    struct Row {
        const char* name;
        QByteArray bytes;
        QRgb left; // expected at the left middle
        int tolerance;
    };
    QImage alpha(20, 10, QImage::Format_ARGB32);
    alpha.fill(qRgba(255, 0, 0, 128));
    QImage palette = colourBars(20, 10).convertToFormat(QImage::Format_Indexed8);
    QImage deep = colourBars(20, 10, QImage::Format_RGBA64);
    QImage grey(20, 10, QImage::Format_Grayscale8);
    grey.fill(100);
    QImage grey16(20, 10, QImage::Format_Grayscale16);
    grey16.fill(QColor::fromRgba64(QRgba64::fromRgba64(0x8080, 0x8080, 0x8080, 0xFFFF)));
    const Row rows[] = {
        { "jpeg", encode(colourBars(20, 10), "jpeg"), qRgb(200, 40, 40), 12 },
        { "png", encode(colourBars(20, 10), "png"), qRgb(200, 40, 40), 0 },
        { "tiff", encode(colourBars(20, 10), "tiff"), qRgb(200, 40, 40), 0 },
        { "bmp", encode(colourBars(20, 10), "bmp"), qRgb(200, 40, 40), 0 },
        { "png with alpha, premultiplied", encode(alpha, "png"), qRgba(128, 0, 0, 128), 1 },
        { "palette png", encode(palette, "png"), qRgb(200, 40, 40), 0 },
        { "16-bit png", encode(deep, "png"), qRgb(200, 40, 40), 1 },
        { "grey jpeg", encode(grey, "jpeg"), qRgb(100, 100, 100), 2 },
        { "16-bit grey png", encode(grey16, "png"), qRgb(128, 128, 128), 1 },
    };
    for (const Row& row : rows) {
        const LoadedPicture p = PictureLoader::load(row.bytes);
        ASSERT_TRUE(p.ok()) << row.name << ": " << p.error.toStdString();
        EXPECT_EQ(p.pixels.size(), QSize(20, 10)) << row.name;
        EXPECT_EQ(p.pixels.format(), QImage::Format_ARGB32_Premultiplied) << row.name;
        const QRgb got = p.pixels.pixel(2, 5);
        EXPECT_NEAR(qRed(got), qRed(row.left), row.tolerance) << row.name;
        EXPECT_NEAR(qGreen(got), qGreen(row.left), row.tolerance) << row.name;
        EXPECT_NEAR(qBlue(got), qBlue(row.left), row.tolerance) << row.name;
        EXPECT_EQ(qAlpha(got), qAlpha(row.left)) << row.name;
    }
}

TEST(PictureLoader, BadInputGivesAnErrorNotAPicture)
{
    const QByteArray jpeg = encode(colourBars(64, 48), "jpeg");
    const QByteArray png = encode(colourBars(64, 48), "png");
    const QByteArray tiff = encode(colourBars(64, 48), "tiff");

    QByteArray bmp = encode(colourBars(8, 8), "bmp");
    qToLittleEndian<qint32>(100000, bmp.data() + 18); // width in the info header
    qToLittleEndian<qint32>(100000, bmp.data() + 22); // height

    QByteArray hugePng = png; // IHDR starts at 8: length, "IHDR", width, height, ..., CRC
    qToBigEndian<quint32>(100000, hugePng.data() + 16);
    qToBigEndian<quint32>(100000, hugePng.data() + 20);
    qToBigEndian<quint32>(crc32(hugePng.mid(12, 17)), hugePng.data() + 29);

    struct Row {
        const char* name;
        QByteArray bytes;
    };
    const Row rows[] = {
        { "empty", QByteArray() },
        { "garbage", QByteArray(500, 'x') },
        { "truncated jpeg", jpeg.left(jpeg.size() / 2) },
        { "jpeg without its last bytes", jpeg.left(jpeg.size() - 2) },
        { "truncated png", png.left(png.size() / 2) },
        { "truncated tiff", tiff.left(tiff.size() / 3) },
        { "bmp claiming 100000 x 100000", bmp },
        { "png claiming 100000 x 100000", hugePng },
        { "ppm is not a picture format we take", encode(colourBars(8, 8), "ppm") },
    };
    for (const Row& row : rows) {
        const LoadedPicture p = PictureLoader::load(row.bytes);
        EXPECT_FALSE(p.ok()) << row.name;
        EXPECT_TRUE(p.pixels.isNull()) << row.name;
        EXPECT_FALSE(p.error.isEmpty()) << row.name;
    }
    EXPECT_TRUE(PictureLoader::load(jpeg + QByteArray(3, '\0')).ok()) << "padding after the end";
}

// A JPEG whose EXIF says "rotate 90" stays as stored.
TEST(PictureLoader, NoRotationFromExifOrientation)
{
    const QByteArray plain = encode(colourBars(40, 20), "jpeg");
    const QByteArray exif = QByteArray::fromHex("FFE10022"
                                                "457869660000"
                                                "4D4D002A00000008"
                                                "0001"
                                                "011200030000000100060000"
                                                "00000000");
    const QByteArray rotated = plain.left(2) + exif + plain.mid(2);
    QBuffer probe;
    probe.setData(rotated);
    QImageReader reader(&probe);
    reader.setAutoTransform(true);
    ASSERT_EQ(reader.read().size(), QSize(20, 40)) << "the orientation is in the file";
    const LoadedPicture p = PictureLoader::load(rotated);
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.pixels.size(), QSize(40, 20));
}
