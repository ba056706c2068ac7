// Pictures made here with QImageWriter, then loaded back through the loader.
#include "platform/imaging/PictureLoader.h"

#include "ImagingTestUtil.h"
#include "support/PictureFiles.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <gtest/gtest.h>
#include <jpeglib.h>

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

    const QByteArray hugePng = testsupport::pngClaiming(png, 100000, 100000);

    // The reason a person is told: what was found, and the size refused.
    struct Row {
        const char* name;
        QByteArray bytes;
        PictureFault fault;
        QByteArray format = {};
        QSize size = {};
    };
    const Row rows[] = {
        { "empty", QByteArray(), PictureFault::NotAPicture },
        { "garbage", QByteArray(500, 'x'), PictureFault::NotAPicture },
        { "text", "Dear diary, today I renamed this file photo.jpg", PictureFault::NotAPicture },
        { "truncated jpeg", jpeg.left(jpeg.size() / 2), PictureFault::CutShort, "jpeg" },
        { "jpeg without its last bytes", jpeg.left(jpeg.size() - 2), PictureFault::CutShort,
            "jpeg" },
        { "truncated png", png.left(png.size() / 2), PictureFault::CutShort, "png" },
        { "truncated tiff", tiff.left(tiff.size() / 3), PictureFault::Corrupt, "tiff" },
        { "bmp claiming 100000 x 100000", bmp, PictureFault::TooLarge, "bmp", { 100000, 100000 } },
        { "png claiming 100000 x 100000", hugePng, PictureFault::TooLarge, "png",
            { 100000, 100000 } },
        { "ppm is not a picture format we take", encode(colourBars(8, 8), "ppm"),
            PictureFault::UnsupportedFormat, "ppm" },
        { "nor is gif", QByteArray::fromHex("47494638396101000100000000"),
            PictureFault::UnsupportedFormat, "gif" },
    };
    for (const Row& row : rows) {
        const LoadedPicture p = PictureLoader::load(row.bytes);
        EXPECT_FALSE(p.ok()) << row.name;
        EXPECT_TRUE(p.pixels.isNull()) << row.name;
        EXPECT_FALSE(p.error.isEmpty()) << row.name;
        EXPECT_EQ(p.fault, row.fault) << row.name << ": " << p.error.toStdString();
        EXPECT_EQ(p.format, row.format) << row.name;
        if (row.size.isValid())
            EXPECT_EQ(p.storedSize, row.size) << row.name;
    }
    EXPECT_TRUE(PictureLoader::load(jpeg + QByteArray(3, '\0')).ok()) << "padding after the end";
}

// Four quadrants, red, green, white and blue from the top left clockwise, on a picture twice
// as wide as high so that a turn shows in the size too.
QImage quadrants()
{
    QImage img(64, 32, QImage::Format_RGB32);
    const QRgb colours[4] = { qRgb(220, 20, 20), qRgb(20, 200, 20), qRgb(240, 240, 240),
        qRgb(20, 20, 220) }; // top left, top right, bottom right, bottom left
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            img.setPixel(x, y, colours[y < 16 ? (x < 32 ? 0 : 1) : (x < 32 ? 3 : 2)]);
    return img;
}

// Each EXIF orientation turns the picture upright as it decodes: the pixels are Qt's own
// reader's with its automatic turn, sizes swap for 5-8, and each stored corner lands where the
// orientation says; the bytes are left as they were.
TEST(PictureLoader, TurnsPicturesUprightForEachOrientation)
{
    const QImage stored = quadrants();
    const QByteArray plain = encode(stored, "jpeg", 100);
    // Where the stored top-left (red) corner shows, for orientations 1 to 8.
    const QPoint redAt[9]
        = { {}, { 0, 0 }, { 1, 0 }, { 1, 1 }, { 0, 1 }, { 0, 0 }, { 1, 0 }, { 1, 1 }, { 0, 1 } };
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const QByteArray bytes = testsupport::withExifOrientation(plain, orientation);
        const QByteArray before = bytes;
        QBuffer buffer;
        buffer.setData(bytes);
        QImageReader reader(&buffer);
        reader.setAutoTransform(true);
        const QImage expected = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);

        const LoadedPicture p = PictureLoader::load(bytes);
        ASSERT_TRUE(p.ok()) << p.error.toStdString();
        EXPECT_EQ(p.pixels.size(), orientation >= 5 ? QSize(32, 64) : QSize(64, 32));
        EXPECT_EQ(p.storedSize, QSize(64, 32));
        EXPECT_EQ(p.pixels, expected);
        const QPoint corner(redAt[orientation].x() * (p.pixels.width() - 4) + 2,
            redAt[orientation].y() * (p.pixels.height() - 4) + 2);
        EXPECT_GT(qRed(p.pixels.pixel(corner)), 180);
        EXPECT_LT(qGreen(p.pixels.pixel(corner)), 60);
        EXPECT_EQ(bytes, before);
        EXPECT_EQ(PictureLoader::header(bytes).uprightSize, p.pixels.size());
    }
    // Through Qt's readers too: a TIFF's own orientation tag.
    QByteArray tiff;
    QBuffer out(&tiff);
    out.open(QIODevice::WriteOnly);
    QImageWriter writer(&out, "tiff");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(stored));
    const LoadedPicture p = PictureLoader::load(tiff);
    ASSERT_TRUE(p.ok()) << p.error.toStdString();
    EXPECT_EQ(p.pixels.size(), QSize(32, 64));
}

namespace {

// Pseudo-random pixels: JPEG data that fills the file evenly, so that a cut loses rows.
QImage noise(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            img.setPixel(x, y, 0xff000000u | (state >> 8));
        }
    return img;
}

QByteArray progressiveJpeg(const QImage& img)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    EXPECT_TRUE(writer.write(img));
    return bytes;
}

// The same BMP with its rows in the file from the top (a negative height).
QByteArray topDown(const QByteArray& bmp, int rows)
{
    constexpr int kHeaders = 14 + 40;
    const qsizetype stride = (bmp.size() - kHeaders) / rows;
    QByteArray flipped = bmp.left(kHeaders);
    for (int row = rows; row-- > 0;)
        flipped += bmp.mid(kHeaders + row * stride, stride);
    qToLittleEndian<qint32>(-rows, flipped.data() + 22);
    return flipped;
}

// An 8-bit run-length coded BMP of 4 x 2 pixels, two grey levels, with the given pixel data.
QByteArray rleBmp(const QByteArray& hexData)
{
    const QByteArray data = QByteArray::fromHex(hexData);
    QByteArray bmp(14 + 40 + 8, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    qToLittleEndian<quint32>(quint32(bmp.size() + data.size()), bmp.data() + 2);
    qToLittleEndian<quint32>(quint32(bmp.size()), bmp.data() + 10); // where the pixels start
    qToLittleEndian<quint32>(40, bmp.data() + 14);
    qToLittleEndian<qint32>(4, bmp.data() + 18);
    qToLittleEndian<qint32>(2, bmp.data() + 22);
    qToLittleEndian<quint16>(1, bmp.data() + 26); // planes
    qToLittleEndian<quint16>(8, bmp.data() + 28); // bits a pixel
    qToLittleEndian<quint32>(1, bmp.data() + 30); // run-length coded, 8 bits
    qToLittleEndian<quint32>(quint32(data.size()), bmp.data() + 34);
    qToLittleEndian<quint32>(2, bmp.data() + 46); // colours in the palette
    qToLittleEndian<quint32>(0x00ffffff, bmp.data() + 58); // palette: black, white
    return bmp + data;
}

} // namespace

// Whether a picture is whole is the decoder's word, not the file's last bytes: a cut-off file
// is refused whatever it ends with, and a file whose oddities lose no pixel loads.
TEST(PictureLoader, CutPicturesAreRefusedWholeOnesLoad)
{
    const QImage picture = noise(64, 48);
    const QByteArray jpeg = encode(picture, "jpeg");
    const QByteArray progressive = progressiveJpeg(picture);
    const QByteArray bmp = encode(picture, "bmp");
    const QByteArray end("\xff\xd9", 2);
    // The file header's pixel offset may be zero: the pixels then follow the palette.
    QByteArray paletteBmp = encode(picture.convertToFormat(QImage::Format_Indexed8), "bmp");
    qToLittleEndian<quint32>(0, paletteBmp.data() + 10);
    struct Row {
        const char* name;
        QByteArray bytes;
        bool loads;
    };
    const Row rows[] = {
        { "whole jpeg", jpeg, true },
        { "whole progressive jpeg", progressive, true },
        { "jpeg cut at 50% with an end marker appended", jpeg.left(jpeg.size() / 2) + end, false },
        { "jpeg cut at 50%", jpeg.left(jpeg.size() / 2), false },
        { "jpeg cut at 90% with an end marker appended", jpeg.left(jpeg.size() * 9 / 10) + end,
            false },
        { "progressive jpeg cut at 50% with an end marker appended",
            progressive.left(progressive.size() / 2) + end, false },
        { "jpeg with stray bytes before a marker", jpeg.left(2) + QByteArray(3, '\0') + jpeg.mid(2),
            true },
        { "whole bmp", bmp, true },
        { "bmp stored from the top", topDown(bmp, picture.height()), true },
        { "palette bmp whose pixels follow the palette", paletteBmp, true },
        { "that bmp without its last byte", paletteBmp.chopped(1), false },
        { "bmp cut at 50%", bmp.left(bmp.size() / 2), false },
        { "bmp without its last byte", bmp.left(bmp.size() - 1), false },
        { "run-length bmp", rleBmp("0401 0000 0402 0000 0001"), true },
        { "run-length bmp cut before its second row", rleBmp("0401 0000"), false },
        { "run-length bmp jumping over pixels", rleBmp("0002 0200 0201 0000 0402 0000 0001"),
            false },
        { "run-length bmp ending a row early", rleBmp("0201 0000 0402 0000 0001"), false },
    };
    for (const Row& row : rows) {
        const LoadedPicture p = PictureLoader::load(row.bytes);
        EXPECT_EQ(p.ok(), row.loads) << row.name << ": " << p.error.toStdString();
        EXPECT_EQ(p.error.isEmpty(), row.loads) << row.name;
    }
}

// The loader decodes JPEGs itself: its pixels are the very ones Qt's own reader gives.
TEST(PictureLoader, JpegPixelsAreTheDecodersOwn)
{
    const QImage picture = noise(40, 24);
    QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    const struct {
        const char* name;
        QByteArray bytes;
    } rows[] = {
        { "baseline", encode(picture, "jpeg") },
        { "progressive", progressiveJpeg(picture) },
        { "grey", encode(grey, "jpeg") },
    };
    for (const auto& row : rows) {
        QBuffer buffer;
        buffer.setData(row.bytes);
        const QImage expected
            = QImageReader(&buffer).read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const LoadedPicture p = PictureLoader::load(row.bytes);
        ASSERT_TRUE(p.ok()) << row.name << ": " << p.error.toStdString();
        EXPECT_EQ(p.pixels, expected) << row.name;
    }
}

// Pictures of up to kMaxPixels load, whatever Qt's own default allocation limit would allow:
// this one needs 144 MB once decoded, from a PNG of a few kilobytes.
TEST(PictureLoader, LargePicturesWithinTheBoundLoad)
{
    QImage mono(6000, 6000, QImage::Format_Mono);
    mono.fill(1);
    const LoadedPicture p = PictureLoader::load(encode(mono, "png"));
    ASSERT_TRUE(p.ok()) << p.error.toStdString();
    EXPECT_EQ(p.pixels.size(), QSize(6000, 6000));

    qint64 budget = 6000 * 6000 - 1;
    EXPECT_FALSE(PictureLoader::load(encode(mono, "png"), {}, budget).ok());
    EXPECT_EQ(budget, 6000 * 6000 - 1) << "a refused picture takes nothing from the budget";
}

namespace {

// A JPEG with a restart marker after every row of blocks, as cameras write them.
QByteArray restartJpeg(const QImage& picture)
{
    return testsupport::encodedJpeg(
        picture.width(), picture.height(),
        [&picture](int y, unsigned char* row) {
            for (int x = 0; x < picture.width(); ++x, row += 3) {
                const QRgb p = picture.pixel(x, y);
                row[0] = uchar(qRed(p));
                row[1] = uchar(qGreen(p));
                row[2] = uchar(qBlue(p));
            }
        },
        1);
}

// The picture data of a one-scan JPEG: after the scan header, before the end marker.
std::pair<qsizetype, qsizetype> entropyData(const QByteArray& jpeg)
{
    const qsizetype sos = jpeg.indexOf("\xff\xda");
    return { sos + 2 + (uchar(jpeg[sos + 2]) << 8 | uchar(jpeg[sos + 3])), jpeg.size() - 2 };
}

} // namespace

// Corrupt picture data never loads silently: bytes the decoder finds left over inside the
// picture data (where it lost its way) load the picture marked damaged, data it cannot read
// refuse it; stray bytes between header segments cost no pixel and load it whole.
TEST(PictureLoader, CorruptDataIsNeverSilent)
{
    const QImage picture = noise(64, 48);
    const QByteArray jpeg = encode(picture, "jpeg");
    const QByteArray restarts = restartJpeg(picture);
    const qsizetype secondRestart = restarts.indexOf("\xff\xd1");
    const auto [dataStart, dataEnd] = entropyData(jpeg);
    QByteArray marker = jpeg;
    marker[(dataStart + dataEnd) / 2] = char(0xff);
    marker[(dataStart + dataEnd) / 2 + 1] = char(0x12);
    const QByteArray stray(24, char(0x55));
    struct Row {
        const char* name;
        QByteArray bytes;
        bool loads;
        bool damaged;
    };
    const Row rows[] = {
        { "whole, with restart markers", restarts, true, false },
        { "stray bytes before a restart marker",
            restarts.left(secondRestart) + stray + restarts.mid(secondRestart), true, true },
        { "stray bytes before the end marker", jpeg.chopped(2) + stray + jpeg.right(2), true,
            true },
        { "stray bytes between header segments", jpeg.left(2) + QByteArray(3, '\0') + jpeg.mid(2),
            true, false },
        { "a marker inside the picture data", marker, false, false },
    };
    ASSERT_GT(secondRestart, 0);
    for (const Row& row : rows) {
        const LoadedPicture p = PictureLoader::load(row.bytes);
        EXPECT_EQ(p.ok(), row.loads) << row.name << ": " << p.error.toStdString();
        EXPECT_EQ(p.damaged, row.damaged) << row.name;
        if (!row.loads)
            EXPECT_EQ(p.fault, PictureFault::Corrupt) << row.name;
    }
    // A few flipped bytes inside the picture data, sixty times over: a picture is refused as
    // damaged or loads; never anything else.
    quint32 state = 7;
    const auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    for (int i = 0; i < 60; ++i) {
        QByteArray flipped = restarts;
        const auto [from, to] = entropyData(restarts);
        for (int k = 0; k < 3; ++k)
            flipped[from + qsizetype(next() >> 8) % (to - from)] ^= char(1 << (next() >> 29));
        const LoadedPicture p = PictureLoader::load(flipped);
        EXPECT_TRUE(p.ok() || p.fault == PictureFault::Corrupt || p.fault == PictureFault::CutShort)
            << i << ": " << p.error.toStdString();
    }
}

// What a picture's decoding holds at its peak is what its header costs the budget, in 4-byte
// pixels: 16-bit pictures and pictures Qt's readers must turn or widen cost more; so do
// progressive JPEGs, decoded from a whole frame of coefficients.
TEST(PictureLoader, HeaderCostsWhatTheDecodeHolds)
{
    const QImage picture = noise(64, 48);
    QByteArray turnedTiff;
    {
        QBuffer out(&turnedTiff);
        out.open(QIODevice::WriteOnly);
        QImageWriter writer(&out, "tiff");
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
        writer.write(picture);
    }
    const qint64 pixels = 64 * 48;
    const struct {
        const char* name;
        QByteArray bytes;
        qint64 least, most; // in pixels of the picture
    } rows[] = {
        { "baseline jpeg", encode(picture, "jpeg"), pixels, pixels },
        { "progressive jpeg", progressiveJpeg(picture), pixels * 2, pixels * 4 },
        { "8-bit png", encode(picture, "png"), pixels, pixels },
        { "grey png", encode(picture.convertToFormat(QImage::Format_Grayscale8), "png"),
            pixels * 5 / 4, pixels * 5 / 4 },
        { "16-bit png", encode(picture.convertToFormat(QImage::Format_RGBA64), "png"), pixels * 3,
            pixels * 3 },
        { "turned tiff", turnedTiff, pixels * 2, pixels * 2 },
    };
    for (const auto& row : rows) {
        const PictureHeader h = PictureLoader::header(row.bytes);
        EXPECT_GE(h.cost, row.least) << row.name;
        EXPECT_LE(h.cost, row.most) << row.name;
        qint64 budget = h.cost;
        EXPECT_TRUE(PictureLoader::load(row.bytes, {}, budget).ok()) << row.name;
        EXPECT_EQ(budget, 0) << row.name;
    }
}

namespace {

// The quadrants at a size worth reducing.
QImage largeQuadrants(int w, int h)
{
    return quadrants().scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace

// A picture kept smaller than it is comes out at that size, upright, with the pixels of the
// whole picture reduced; a JPEG is decoded at a fraction of its size and costs the budget
// what that decode holds, while a size no smaller than the picture keeps it whole.
TEST(PictureLoader, ReducedLoadsComeAtTheKeptSize)
{
    const QImage stored = largeQuadrants(1600, 800);
    const QByteArray jpeg = encode(stored, "jpeg", 100);
    const struct {
        const char* name;
        QByteArray bytes;
        QSize wanted; // upright
        double cheaper; // at most this share of the whole decode's cost; 0: all of it
    } rows[] = {
        { "jpeg", jpeg, QSize(300, 150), 0.15 },
        { "jpeg turned upright", testsupport::withExifOrientation(jpeg, 6), QSize(149, 299), 0.15 },
        // (Its coefficients are the whole picture's.)
        { "progressive jpeg", progressiveJpeg(stored), QSize(410, 203), 0.7 },
        { "jpeg by a little", jpeg, QSize(1500, 700), 0 },
        { "png", encode(stored, "png"), QSize(333, 166), 0 },
        { "palette bmp", encode(stored.convertToFormat(QImage::Format_Indexed8), "bmp"),
            QSize(97, 50), 0 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const LoadedPicture whole = PictureLoader::load(row.bytes);
        ASSERT_TRUE(whole.ok()) << whole.error.toStdString();
        QSize asked;
        qint64 budget = PictureLoader::kMaxPixels;
        const LoadedPicture p = PictureLoader::load(row.bytes, {}, budget, [&](QSize upright) {
            asked = upright;
            return row.wanted;
        });
        ASSERT_TRUE(p.ok()) << p.error.toStdString();
        EXPECT_EQ(asked, whole.pixels.size());
        EXPECT_EQ(p.pixels.size(), row.wanted);
        EXPECT_EQ(p.pixels.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(PictureLoader::kMaxPixels - budget, p.cost);
        const qint64 full = PictureLoader::header(row.bytes).cost;
        if (row.cheaper > 0)
            EXPECT_LT(double(p.cost), double(full) * row.cheaper);
        else
            EXPECT_EQ(p.cost, full);
        // The whole picture reduced: the same colours everywhere but along the quadrants'
        // edges.
        const QImage expected
            = whole.pixels.scaled(row.wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        int far = 0;
        for (int y = 0; y < p.pixels.height(); ++y)
            for (int x = 0; x < p.pixels.width(); ++x) {
                const QRgb a = p.pixels.pixel(x, y), b = expected.pixel(x, y);
                far += std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                           std::abs(qBlue(a) - qBlue(b)) })
                    > 12;
            }
        EXPECT_LT(far, (p.pixels.width() + p.pixels.height()) * 4);
    }
    // Asked for the picture's own size or more, or nothing: the picture as it is.
    for (const QSize wanted : { QSize(1600, 800), QSize(3000, 900), QSize() }) {
        qint64 budget = PictureLoader::kMaxPixels;
        const LoadedPicture p
            = PictureLoader::load(jpeg, {}, budget, [&](QSize) { return wanted; });
        ASSERT_TRUE(p.ok());
        EXPECT_EQ(p.pixels.size(), QSize(1600, 800));
        EXPECT_EQ(p.cost, PictureLoader::header(jpeg).cost);
    }
}
