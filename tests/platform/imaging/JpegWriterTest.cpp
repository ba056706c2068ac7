// The JPEG writer: the same file however the rows are split, colour resolution chosen by
// quality (read back from the file's sampling factors), the header Qt's writer gives the same
// picture, and failures reported as failures.
#include "platform/imaging/JpegWriter.h"

#include "platform/imaging/JpegWriter_p.h"
#include "support/FillingDevice.h"
#include "support/JpegSampling.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QPainter>
#include <gtest/gtest.h>

using platform::JpegWriter;

namespace {

// Coloured detail that chroma subsampling changes: one-pixel red and blue lines over a
// gradient, and a size that is no multiple of the 16-pixel blocks.
QImage picture(QSize size = { 203, 97 }, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, format);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int g = (x * 255) / size.width();
            row[x] = x % 3 == 0 ? qRgb(230, 20, 30)
                : y % 4 == 0    ? qRgb(20, 40, 220)
                                : qRgb(g, 255 - g, (x * y) & 255);
        }
    }
    return image;
}

QByteArray writeInStripes(const QImage& image, int quality, int stripeRows)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    JpegWriter writer(&buffer, image.size(), quality);
    for (int top = 0; top < image.height(); top += stripeRows) {
        // A new image per stripe, as the export hands them over.
        if (!writer.write(
                image.copy(0, top, image.width(), std::min(stripeRows, image.height() - top))))
            return {};
    }
    return writer.finish() ? bytes : QByteArray();
}

QByteArray qtJpeg(const QImage& image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image.convertToFormat(QImage::Format_RGB32));
    return bytes;
}

// The file's header segments before its first quantisation table: JFIF and colour profile.
QByteArray headerSegments(const QByteArray& jpeg)
{
    qsizetype at = 2; // after SOI
    while (at + 4 <= jpeg.size() && uchar(jpeg[at]) == 0xff && uchar(jpeg[at + 1]) != 0xdb)
        at += 2 + ((uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]));
    return jpeg.left(at);
}

TEST(JpegWriter, StripesMakeTheSameFileAsTheWholePicture)
{
    const QImage image = picture();
    for (const int quality : { 100, 90, 89, 50, 0 }) {
        const QByteArray whole = JpegWriter::encode(image, quality);
        ASSERT_FALSE(whole.isEmpty());
        EXPECT_EQ(QImage::fromData(whole).size(), image.size());
        for (const int rows : { 1, 7, 8, 16, 50, 96 })
            EXPECT_EQ(writeInStripes(image, quality, rows), whole)
                << "quality " << quality << ", stripes of " << rows << " rows";
    }
}

// The slices the writer encodes on several threads join into the file one libjpeg pass over
// all rows makes, byte for byte, whatever the size against the slices and the blocks.
TEST(JpegWriter, SlicesJoinIntoTheOnePassFile)
{
    struct Row {
        const char* name;
        QSize size;
    } rows[] = { { "one row", { 203, 1 } }, { "one column", { 1, 97 } },
        { "a slice less a row", { 203, platform::kJpegSliceRows - 1 } },
        { "one slice", { 203, platform::kJpegSliceRows } },
        { "a slice and a row", { 203, platform::kJpegSliceRows + 1 } },
        { "many slices, a partial block row", { 150, 7 * platform::kJpegSliceRows + 5 } } };
    for (const Row& row : rows) {
        const QImage image = picture(row.size);
        for (const int quality : { 100, 75 }) {
            const QByteArray reference = platform::jpegInOnePass(image, quality);
            ASSERT_FALSE(reference.isEmpty()) << row.name;
            EXPECT_EQ(JpegWriter::encode(image, quality), reference)
                << row.name << ", quality " << quality;
            EXPECT_EQ(writeInStripes(image, quality, 13), reference)
                << row.name << ", quality " << quality << ", 13-row stripes";
        }
    }
}

TEST(JpegWriter, FullColourFromQuality90)
{
    struct Row {
        const char* name;
        int quality;
        int luma; // luma sampling factor both ways; chroma is 1
    } rows[] = { { "100", 100, 1 }, { "90", 90, 1 }, { "89", 89, 2 }, { "50", 50, 2 },
        { "0", 0, 2 }, { "over 100 clamps", 140, 1 }, { "negative clamps", -5, 2 } };
    for (const Row& row : rows) {
        const testsupport::JpegSampling s
            = testsupport::jpegSampling(JpegWriter::encode(picture(), row.quality));
        EXPECT_EQ(s.lumaH, row.luma) << row.name;
        EXPECT_EQ(s.lumaV, row.luma) << row.name;
        EXPECT_EQ(s.chromaH, 1) << row.name;
        EXPECT_EQ(s.chromaV, 1) << row.name;
    }
}

// Full colour keeps one-pixel red lines red where halved colour bleeds them into their
// neighbours.
TEST(JpegWriter, FullColourKeepsColouredEdges)
{
    const QImage image = picture({ 96, 32 });
    const auto error = [&](int quality) {
        const QImage decoded = QImage::fromData(JpegWriter::encode(image, quality));
        long total = 0;
        for (int x = 0; x < 96; x += 3)
            total += std::abs(qRed(decoded.pixel(x, 10)) - 230)
                + std::abs(qGreen(decoded.pixel(x, 10)) - 20);
        return total / 32;
    };
    EXPECT_LT(error(90), 25);
    EXPECT_GT(error(89), 2 * error(90));
}

// The header Qt's writer gives the same picture: the same JFIF density and colour profile;
// below 90 the same blocks too, decoding to the same pixels.
TEST(JpegWriter, HeaderAsQtWritesIt)
{
    struct Row {
        const char* name;
        int dotsPerMeterX, dotsPerMeterY;
        bool sRgb;
    } rows[] = { { "72 dpi", 2835, 2835, false }, { "96 dpi", 3780, 3780, false },
        { "300 dpi", 11811, 11811, false }, { "sRGB profile", 3780, 3780, true },
        { "150 x 300 dpi", 5906, 11811, false } };
    for (const Row& row : rows) {
        QImage image = picture();
        image.setDotsPerMeterX(row.dotsPerMeterX);
        image.setDotsPerMeterY(row.dotsPerMeterY);
        if (row.sRgb)
            image.setColorSpace(QColorSpace::SRgb);
        const QByteArray low = JpegWriter::encode(image, 75);
        EXPECT_EQ(headerSegments(low), headerSegments(qtJpeg(image, 75))) << row.name;
        EXPECT_EQ(QImage::fromData(low), QImage::fromData(qtJpeg(image, 75)))
            << row.name << ": the same blocks, only restart markers between their rows";
        const QByteArray best = JpegWriter::encode(image, 100);
        EXPECT_EQ(headerSegments(best), headerSegments(qtJpeg(image, 100))) << row.name;
        EXPECT_EQ(headerSegments(best).contains("ICC_PROFILE"), row.sRgb) << row.name;
    }
}

// Rows in other formats are encoded as Qt's conversion to RGB32 shows them: premultiplied
// translucent pixels unpremultiplied, straight alpha ignored.
TEST(JpegWriter, FormatsAsQtConvertsThem)
{
    QImage translucent = picture({ 40, 24 }, QImage::Format_ARGB32_Premultiplied);
    QPainter(&translucent).fillRect(QRect(0, 0, 20, 24), QColor(200, 10, 10, 100));
    for (const QImage& image : { translucent, translucent.convertToFormat(QImage::Format_ARGB32),
             translucent.convertToFormat(QImage::Format_RGB888),
             translucent.convertToFormat(QImage::Format_Grayscale8) })
        EXPECT_EQ(
            QImage::fromData(JpegWriter::encode(image, 80)), QImage::fromData(qtJpeg(image, 80)))
            << image.format();
}

TEST(JpegWriter, FailuresAreReported)
{
    const QImage image = picture({ 640, 480 });
    {
        SCOPED_TRACE("the device fills up mid-way");
        testsupport::FillingDevice device(20000);
        JpegWriter writer(&device, image.size(), 95);
        for (int top = 0; top < image.height(); top += 16)
            writer.write(image.copy(0, top, image.width(), 16));
        EXPECT_FALSE(writer.finish());
        EXPECT_EQ(writer.errorString(), "No space left on device");
        EXPECT_FALSE(writer.write(image.copy(0, 0, image.width(), 1)));
    }
    const auto outcome = [&](const std::function<void(JpegWriter&)>& feed) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        JpegWriter writer(&buffer, image.size(), 90);
        feed(writer);
        const bool finished = writer.finish();
        EXPECT_EQ(writer.errorString().isEmpty(), finished);
        return finished;
    };
    EXPECT_TRUE(outcome([&](JpegWriter& w) { w.write(image); }));
    EXPECT_FALSE(outcome([&](JpegWriter& w) { w.write(image.copy(0, 0, 640, 479)); }))
        << "a row short";
    EXPECT_FALSE(outcome([](JpegWriter&) {})) << "no rows";
    EXPECT_FALSE(outcome([&](JpegWriter& w) {
        w.write(image);
        EXPECT_FALSE(w.write(image.copy(0, 0, 640, 1)));
    })) << "a row too many";
    EXPECT_FALSE(outcome([&](JpegWriter& w) { EXPECT_FALSE(w.write(image.copy(0, 0, 639, 480))); }))
        << "too narrow";

    QBuffer closed;
    JpegWriter notOpen(&closed, image.size(), 90);
    EXPECT_FALSE(notOpen.write(image));
    EXPECT_FALSE(notOpen.finish());
    EXPECT_FALSE(notOpen.errorString().isEmpty());
    QString why;
    EXPECT_TRUE(JpegWriter::encode(QImage(), 90, &why).isEmpty());
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(JpegWriter::encode(QImage(70000, 1, QImage::Format_RGB32), 90).isEmpty())
        << "wider than a JPEG can be";
}

// A writer dropped before it finished stops its encoder and leaves the device alone.
TEST(JpegWriter, AbandonedWriterStops)
{
    const QImage image = picture({ 640, 480 });
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        JpegWriter writer(&buffer, image.size(), 90);
        ASSERT_TRUE(writer.write(image.copy(0, 0, 640, 200)));
    }
    const qsizetype left = bytes.size();
    EXPECT_LT(left, JpegWriter::encode(image, 90).size());
    buffer.write("tail");
    EXPECT_EQ(bytes.size(), left + 4);
}

} // namespace
