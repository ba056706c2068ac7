#include "platform/imaging/PictureLoader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QLoggingCategory>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <climits>
#include <limits>

Q_DECLARE_LOGGING_CATEGORY(lcImaging)

namespace platform {

namespace {

// Qt's allocation limit is one for the whole process, so it is set once, as the program
// starts, to the one value every picture read agrees on: enough for a 16-bit RGBA picture of
// kMaxPixels. What a read may really cost is decided by its header against its caller's pixel
// budget, never by which pictures happened to be read before it.
void setAllocationLimit()
{
    constexpr long long megabytes = PictureLoader::kMaxPixels * 8 / (1024 * 1024) + 1;
    QImageReader::setAllocationLimit(int(megabytes));
}
Q_CONSTRUCTOR_FUNCTION(setAllocationLimit)

// Walks run-length coded BMP data: whole when it sets every pixel, row by row. Qt's decoder
// leaves the pixels it is not given (jumped over, after an early end of line, or after the
// data ends) as whatever memory held, so such files are refused.
bool rleIsWhole(QByteArrayView data, qint64 width, qint64 height, bool fourBit)
{
    qint64 x = 0, y = 0;
    qsizetype at = 0;
    const auto covered = [&] { return y >= height || (y == height - 1 && x >= width); };
    while (at + 2 <= data.size() && !covered()) {
        const uchar count = uchar(data[at]), code = uchar(data[at + 1]);
        at += 2;
        if (count > 0) { // a run of one value (two alternating ones for four bits)
            x += count;
            continue;
        }
        switch (code) {
        case 0: // end of line
            if (x < width)
                return false;
            x = 0;
            ++y;
            break;
        case 1: // end of picture
            return covered();
        case 2: // a jump over pixels
            return false;
        default: { // `code` pixels given one by one, padded to two bytes
            const int bytes = fourBit ? (code + 1) / 2 : code;
            at += (bytes + 1) / 2 * 2;
            if (at > data.size())
                return false;
            x += code;
            break;
        }
        }
    }
    return covered();
}

// A BMP's size as its header states it, whether or not Qt's reader would take it; invalid when
// the header is cut short or states none. The 40-byte layout for these header sizes and the old
// 12-byte one for any other, as Qt's reader reads them; rows stored from the top count too.
QSize bmpDeclaredSize(const QByteArray& bytes)
{
    std::array<uchar, 26> head {};
    if (bytes.size() < qsizetype(head.size()))
        return {};
    std::copy_n(bytes.constBegin(), head.size(), head.begin());
    const quint32 headerSize = qFromLittleEndian<quint32>(head.data() + 14);
    const bool layout40
        = headerSize == 40 || headerSize == 64 || headerSize == 108 || headerSize == 124;
    const qint64 width = layout40 ? qFromLittleEndian<qint32>(head.data() + 18)
                                  : qFromLittleEndian<qint16>(head.data() + 18);
    const qint64 height = layout40 ? qFromLittleEndian<qint32>(head.data() + 22)
                                   : qFromLittleEndian<qint16>(head.data() + 20);
    if (width <= 0 || height == 0 || width > INT_MAX || qAbs(height) > INT_MAX)
        return {};
    return QSize(int(width), int(qAbs(height)));
}

// Why Qt's reader could not read a picture: a PNG without its end chunk was cut short; for
// the other formats it cannot be told from corrupt data.
PictureFault unreadableFault(const QByteArray& bytes, const QByteArray& format)
{
    return format == "png" && !bytes.contains("IEND") ? PictureFault::CutShort
                                                      : PictureFault::Corrupt;
}

bool isSupportedFormat(const QByteArray& f)
{
    return f == "jpeg" || f == "jpg" || f == "png" || f == "tiff" || f == "tif" || f == "bmp";
}

bool isJpeg(const QByteArray& f)
{
    return f == "jpeg" || f == "jpg";
}

// A reader of only `format`, or of the format the content shows when it is empty; never
// turning the picture itself.
void configure(QImageReader& reader, const QByteArray& format)
{
    reader.setAutoTransform(false);
    if (format.isEmpty())
        reader.setDecideFormatFromContent(true);
    else
        reader.setAutoDetectImageFormat(false);
}

// The EXIF orientation a reader's transformation stands for.
int orientationOf(QImageIOHandler::Transformations t)
{
    using T = QImageIOHandler::Transformation;
    switch (int(t)) {
    case T::TransformationMirror:
        return 2;
    case T::TransformationRotate180:
        return 3;
    case T::TransformationFlip:
        return 4;
    case T::TransformationFlipAndRotate90:
        return 5;
    case T::TransformationRotate90:
        return 6;
    case T::TransformationMirrorAndRotate90:
        return 7;
    case T::TransformationRotate270:
        return 8;
    default:
        return 1;
    }
}

// What a picture Qt's readers decode holds at the peak, in bytes a pixel: the decoded
// pixels, a working copy when they are not already 32-bit, and one more when Qt turns them.
qint64 qtDecodeBytesPerPixel(QImage::Format decoded, int orientation)
{
    const int depth
        = decoded == QImage::Format_Invalid ? 64 : QImage::toPixelFormat(decoded).bitsPerPixel();
    qint64 bytes = std::max(1, depth / 8);
    if (depth != 32)
        bytes += 4;
    if (orientation != 1)
        bytes += 4;
    return bytes;
}

} // namespace

LoadedPicture PictureLoader::failure(LoadedPicture result, PictureFault fault, const QString& why)
{
    qCDebug(lcImaging) << "picture not loaded:" << why;
    result.pixels = QImage();
    result.fault = fault;
    result.error = why;
    return result;
}

QImage PictureLoader::toWorkingFormat(QImage image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Alpha8:
        image = image.convertToFormat(QImage::Format_ARGB32);
        break;
    default:
        break;
    }
    const QColorSpace cs = image.colorSpace();
    if (cs.isValid() && cs != QColorSpace(QColorSpace::SRgb)) {
        // Convert while the samples still have their full depth; a grey picture's profile
        // cannot be applied to grey samples, so it becomes RGB first.
        if (image.isGrayscale() && image.format() != QImage::Format_ARGB32)
            image = image.convertToFormat(
                image.depth() > 8 ? QImage::Format_RGBA64 : QImage::Format_ARGB32);
        image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
    }
    // In place where the depth allows: a picture at the pixel bound is a gigabyte.
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return image;
}

PictureHeader PictureLoader::header(const QByteArray& bytes, const QByteArray& format)
{
    PictureHeader h;
    if (bytes.isEmpty())
        return h;
    QByteArray data = bytes; // QBuffer needs a non-const array; the copy is shallow
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return h;
    QImageReader reader(&buffer, format);
    configure(reader, format);
    h.format = reader.format().toLower();
    if (h.format.isEmpty())
        return h;
    if (isJpeg(h.format)) {
        h.fault = readJpegHeader(bytes, h);
    } else if (isSupportedFormat(h.format)) {
        QSize size = reader.size();
        if (h.format == "bmp")
            size = bmpDeclaredSize(bytes); // Qt's reader tells no size it would not allocate
        if (size.isValid() && !size.isEmpty())
            h.storedSize = size;
        else
            h.fault = unreadableFault(bytes, h.format);
    }
    if (!h.storedSize.isValid())
        return h;
    h.orientation = orientationOf(reader.transformation());
    h.uprightSize = h.orientation >= 5 ? h.storedSize.transposed() : h.storedSize;
    if (!isJpeg(h.format)) {
        const qint64 pixels = qint64(h.storedSize.width()) * h.storedSize.height();
        const qint64 perPixel = qint64(qtDecodeBytesPerPixel(reader.imageFormat(), h.orientation));
        // A header may claim sides up to 2^31: the product must not overflow. Such a cost is
        // over any budget anyway.
        constexpr qint64 kCostCeiling = std::numeric_limits<qint64>::max() / 4;
        h.cost = perPixel > 0 && pixels > (kCostCeiling - 3) / perPixel
            ? kCostCeiling
            : (pixels * perPixel + 3) / 4;
    }
    return h;
}

LoadedPicture PictureLoader::load(const QByteArray& bytes)
{
    qint64 budget = kMaxPixels;
    return load(bytes, Limits(), budget);
}

LoadedPicture PictureLoader::load(const QByteArray& bytes, const Limits& limits,
    qint64& pixelBudget, const ReducedSize& reducedSize)
{
    LoadedPicture result;
    if (bytes.isEmpty())
        return failure(result, PictureFault::NotAPicture, QStringLiteral("no data"));
    const PictureHeader h = header(bytes, limits.format);
    result.format = h.format;
    result.storedSize = h.storedSize;
    if (h.format.isEmpty())
        return failure(result, PictureFault::NotAPicture, QStringLiteral("no picture format"));
    if (!isSupportedFormat(h.format))
        return failure(result, PictureFault::UnsupportedFormat,
            QStringLiteral("unsupported format %1").arg(QLatin1StringView(h.format)));

    // Judged by the header alone: nothing is decoded before the size is known and allowed.
    const QSize size = h.storedSize;
    if (!size.isValid())
        return failure(result, h.fault, QStringLiteral("no picture size in the header"));
    // A picture kept smaller than it is: what is decoded, and at what size it comes out.
    QSize reduced;
    if (reducedSize) {
        const QSize wanted = reducedSize(h.uprightSize);
        if (!wanted.isEmpty() && wanted.width() <= h.uprightSize.width()
            && wanted.height() <= h.uprightSize.height() && wanted != h.uprightSize)
            reduced = wanted;
    }
    int jpegScale = 8;
    QSize decodedUpright = h.uprightSize;
    qint64 cost = h.cost;
    if (reduced.isValid()) {
        const qint64 all = qint64(size.width()) * size.height();
        if (isJpeg(h.format)) {
            const QSize wantedStored = h.orientation >= 5 ? reduced.transposed() : reduced;
            jpegScale = jpegScaleFor(size, wantedStored);
            const QSize scaled = jpegScaledSize(size, jpegScale);
            decodedUpright = h.orientation >= 5 ? scaled.transposed() : scaled;
            // The decoded pixels are a part of the whole (a progressive picture's
            // coefficients are not).
            cost += qint64(scaled.width()) * scaled.height() - all;
        }
        // (The reduced copy is made once the decode's own working copy is gone, and a new box
        // keeps it at most three quarters of a working picture: the decode is what is charged,
        // as a picture loaded whole is.)
    }
    result.cost = cost;
    result.budgetLeft = pixelBudget;
    if (size.width() > limits.maxDimension || size.height() > limits.maxDimension
        || cost > kMaxPixels)
        return failure(result, PictureFault::TooLarge,
            QStringLiteral("picture too large (%1 x %2)").arg(size.width()).arg(size.height()));
    // A picture that would load alone, after others that took their share.
    if (cost > pixelBudget)
        return failure(result, PictureFault::BudgetSpent,
            QStringLiteral("pixel budget spent (%1 wanted, %2 left)").arg(cost).arg(pixelBudget));
    pixelBudget -= cost;

    if (h.format == "bmp" && !bmpIsWhole(bytes))
        return failure(
            result, PictureFault::CutShort, QStringLiteral("truncated or incomplete BMP"));
    QImage image;
    if (isJpeg(h.format)) {
        image = decodeJpeg(bytes, h.orientation, result, jpegScale);
        if (image.isNull())
            return failure(result, result.fault, result.error);
        if (result.damaged)
            qCWarning(lcImaging) << "picture decoded with corrupt data: parts may look wrong";
    } else {
        QByteArray data = bytes;
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, h.format);
        configure(reader, h.format);
        reader.setAutoTransform(true);
        if (!reader.read(&image) || image.isNull()) {
            return failure(result, unreadableFault(bytes, h.format), reader.errorString());
        }
    }
    if (image.size() != decodedUpright)
        return failure(
            result, PictureFault::Corrupt, QStringLiteral("picture size differs from its header"));
    image = toWorkingFormat(std::move(image));
    // Premultiplied already, so the smooth reduction reads the pixels where they are.
    if (reduced.isValid() && !image.isNull() && image.size() != reduced)
        image = image.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (image.isNull())
        return failure(result, PictureFault::TooLarge, QStringLiteral("out of memory"));
    result.pixels = std::move(image);
    result.error.clear();
    return result;
}

bool PictureLoader::bmpIsWhole(const QByteArray& bytes)
{
    // Finds the pixel data where Qt's reader looks for it: the 40-byte header layout for
    // these sizes and the old 12-byte one for any other; the palette after the header (after
    // its first 40 bytes at most); the pixels after the palette, or further on where the file
    // header says so.
    std::array<uchar, 54> head {};
    std::copy_n(bytes.constBegin(), std::min<qint64>(bytes.size(), head.size()), head.begin());
    const auto u16 = [&](size_t at) { return qFromLittleEndian<quint16>(head.data() + at); };
    const auto u32 = [&](size_t at) { return qFromLittleEndian<quint32>(head.data() + at); };
    const quint32 headerSize = u32(14);
    const bool layout40
        = headerSize == 40 || headerSize == 64 || headerSize == 108 || headerSize == 124;
    if (bytes.size() < (layout40 ? 54 : 26))
        return false;
    const qint64 width = layout40 ? qint32(u32(18)) : qint16(u16(18));
    const qint64 height = qAbs(layout40 ? qint32(u32(22)) : qint16(u16(20))); // < 0: top down
    const quint32 bitCount = layout40 ? u16(28) : u16(24);
    const quint32 compression = layout40 ? u32(30) : 0;
    const quint32 colours = layout40 ? u32(46) : 0;
    if (width <= 0 || height <= 0 || bitCount == 0 || bitCount > 32)
        return false;
    const qint64 paletteEntries = bitCount <= 8 ? (colours ? colours : 1 << bitCount) : 0;
    const qint64 paletteAt = 14 + (headerSize >= 108 ? 40 : headerSize);
    const qint64 afterPalette = paletteAt + paletteEntries * (headerSize == 12 ? 3 : 4);
    const qint64 start = std::max<qint64>(afterPalette, qint32(u32(10)));
    if (start > bytes.size())
        return false;
    enum { RGB = 0, RLE8 = 1, RLE4 = 2, BITFIELDS = 3 };
    switch (compression) {
    case RGB:
    case BITFIELDS: {
        const qint64 stride = (width * bitCount + 31) / 32 * 4;
        return height <= (bytes.size() - start) / stride;
    }
    case RLE8:
    case RLE4:
        return rleIsWhole(QByteArrayView(bytes).sliced(start), width, height, compression == RLE4);
    default:
        return true; // not a kind Qt reads: the decoder refuses it
    }
}

QString damagedPictureWarning(const QString& subject)
{
    return QStringLiteral("%1 is damaged; parts of it may look wrong.").arg(subject);
}

QString PictureLoader::millions(qint64 pixels)
{
    return QString::number(double(std::max<qint64>(pixels, 0)) / 1e6, 'f', 1);
}

QString PictureLoader::refusalReason(const LoadedPicture& picture, bool heldInDocument)
{
    const QString it = heldInDocument ? QStringLiteral("its picture") : QStringLiteral("it");
    switch (picture.fault) {
    case PictureFault::NotAPicture:
        return heldInDocument ? QStringLiteral("its picture cannot be read")
                              : QStringLiteral("it is not a picture");
    case PictureFault::UnsupportedFormat:
        return QStringLiteral("%1 is in a picture format that is not supported (%2)")
            .arg(it, QString::fromLatin1(picture.format.toUpper()));
    case PictureFault::TooLarge:
        return QStringLiteral("%1 larger than can be opened (%2 \u00d7 %3 pixels)")
            .arg(heldInDocument ? QStringLiteral("its picture is")
                                : QStringLiteral("it is a picture"))
            .arg(picture.storedSize.width())
            .arg(picture.storedSize.height());
    case PictureFault::BudgetSpent:
        return QStringLiteral("the pictures read with %1 took what may be decoded together "
                              "(%2 of %3 million pixels were left; %1 needs %4 million)")
            .arg(it, millions(picture.budgetLeft), millions(kMaxPixels), millions(picture.cost));
    case PictureFault::CutShort:
        return QStringLiteral("%1 is damaged (cut short)").arg(it);
    case PictureFault::Corrupt:
    case PictureFault::None: // decoded, but no image could be made of it
        break;
    }
    return QStringLiteral("%1 is damaged (its picture data cannot be read)").arg(it);
}

} // namespace platform
