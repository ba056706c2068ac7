#include "platform/imaging/PictureLoader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QLoggingCategory>
#include <mutex>

Q_DECLARE_LOGGING_CATEGORY(lcImaging)

namespace platform {

namespace {

// The reader's limit is process-wide: set it once, large enough for a 16-bit RGBA picture of
// kMaxPixels (the pixel count itself is checked before decoding).
void setAllocationLimitOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const long long megabytes = PictureLoader::kMaxPixels * 8 / (1024 * 1024) + 1;
        QImageReader::setAllocationLimit(int(megabytes));
    });
}

bool isSupportedFormat(const QByteArray& f)
{
    return f == "jpeg" || f == "jpg" || f == "png" || f == "tiff" || f == "tif" || f == "bmp";
}

} // namespace

LoadedPicture PictureLoader::failure(const QString& why)
{
    qCDebug(lcImaging) << "picture not loaded:" << why;
    LoadedPicture p;
    p.error = why;
    return p;
}

bool PictureLoader::jpegIsComplete(const QByteArray& bytes)
{
    qsizetype n = bytes.size();
    // Some writers pad after the marker; nothing else may follow it.
    while (n > 0) {
        const char c = bytes.at(n - 1);
        if (c != '\0' && c != '\n' && c != '\r' && c != ' ')
            break;
        --n;
    }
    return n >= 4 && uchar(bytes.at(n - 2)) == 0xFF && uchar(bytes.at(n - 1)) == 0xD9;
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
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

LoadedPicture PictureLoader::load(const QByteArray& bytes)
{
    setAllocationLimitOnce();
    if (bytes.isEmpty())
        return failure(QStringLiteral("no data"));
    QByteArray data = bytes; // QBuffer needs a non-const array; the copy is shallow
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("cannot read the data"));
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format().toLower();
    if (format.isEmpty() || !isSupportedFormat(format))
        return failure(QStringLiteral("unsupported format"));
    const QSize size = reader.size();
    if (size.isValid()) {
        if (size.width() <= 0 || size.height() <= 0)
            return failure(QStringLiteral("empty picture"));
        if (qint64(size.width()) * size.height() > kMaxPixels)
            return failure(
                QStringLiteral("picture too large (%1 x %2)").arg(size.width()).arg(size.height()));
    }
    if ((format == "jpeg" || format == "jpg") && !jpegIsComplete(bytes))
        return failure(QStringLiteral("truncated JPEG"));
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return failure(reader.errorString());
    if (qint64(image.width()) * image.height() > kMaxPixels)
        return failure(QStringLiteral("picture too large"));
    image = toWorkingFormat(std::move(image));
    if (image.isNull())
        return failure(QStringLiteral("out of memory"));
    LoadedPicture p;
    p.pixels = std::move(image);
    p.format = format;
    return p;
}

} // namespace platform
