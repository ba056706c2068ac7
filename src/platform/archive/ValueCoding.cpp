#include "platform/archive/ValueCoding.h"

#include "platform/archive/ArchiveFormat.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/imaging/PictureLoader.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <cmath>

namespace platform {

namespace {

std::optional<double> finite(const ArchiveValue& v)
{
    if (v.kind() != ArchiveValue::Kind::Double && v.kind() != ArchiveValue::Kind::Float)
        return std::nullopt;
    const double d = v.toDouble();
    return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

std::optional<double> finite(const KeyedUnarchiver& coder, const char* key)
{
    return finite(coder.decodeValue(QString::fromLatin1(key)));
}

} // namespace

void ValueCoding<Color>::encode(KeyedArchiver& coder, const Color& c)
{
    coder.encodeDouble(QStringLiteral("red"), c.red);
    coder.encodeDouble(QStringLiteral("green"), c.green);
    coder.encodeDouble(QStringLiteral("blue"), c.blue);
    coder.encodeDouble(QStringLiteral("alpha"), c.alpha);
}

std::optional<Color> ValueCoding<Color>::decode(const KeyedUnarchiver& coder)
{
    const auto r = finite(coder, "red"), g = finite(coder, "green"), b = finite(coder, "blue"),
               a = finite(coder, "alpha");
    if (!r || !g || !b || !a)
        return std::nullopt;
    return Color(*r, *g, *b, *a);
}

void ValueCoding<Gradient>::encode(KeyedArchiver& coder, const Gradient& gradient)
{
    ArchiveArray stops;
    stops.reserve(gradient.stops().size());
    for (const GradientStop& s : gradient.stops()) {
        stops.push_back(ArchiveValue::fromArray({
            ArchiveValue::fromDouble(s.color.red),
            ArchiveValue::fromDouble(s.color.green),
            ArchiveValue::fromDouble(s.color.blue),
            ArchiveValue::fromDouble(s.color.alpha),
            ArchiveValue::fromDouble(s.location),
        }));
    }
    coder.encodeArray(QStringLiteral("stops"), stops);
}

std::optional<Gradient> ValueCoding<Gradient>::decode(const KeyedUnarchiver& coder)
{
    const std::optional<ArchiveArray> stops = coder.decodeArray(QStringLiteral("stops"));
    if (!stops)
        return std::nullopt;
    if (stops->size() > size_t(Gradient::kMaxStops))
        coder.noteCut({ QStringLiteral("gradient"), QStringLiteral("stops"), qint64(stops->size()),
            Gradient::kMaxStops });
    const size_t count = std::min(stops->size(), size_t(Gradient::kMaxStops));
    std::vector<GradientStop> result;
    result.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const ArchiveArray& parts = (*stops)[i].toArray();
        if (parts.size() != 5)
            return std::nullopt;
        double v[5];
        for (size_t k = 0; k < 5; ++k) {
            const std::optional<double> d = finite(parts[k]);
            if (!d)
                return std::nullopt;
            v[k] = *d;
        }
        result.push_back({ Color(v[0], v[1], v[2], v[3]), v[4] });
    }
    if (result.size() < 2)
        return std::nullopt;
    return Gradient(std::move(result));
}

namespace {

// Whether a reader of the archive will decode a picture of this many pixels: it checks each
// side, and all the pictures of one archive together, against the same limits.
bool fitsReader(KeyedArchiver& coder, QSize pixels)
{
    const int maxSide = coder.limits().maxImageDimension;
    if (std::max(pixels.width(), pixels.height()) > maxSide) {
        coder.failWithLimit(ArchiveLimit::PictureSide,
            QStringLiteral("a picture of %1 x %2 pixels, over %3 on a side")
                .arg(pixels.width())
                .arg(pixels.height())
                .arg(maxSide));
        return false;
    }
    const qint64 count = qint64(pixels.width()) * pixels.height();
    qint64& budget = coder.picturePixelBudget();
    if (count > budget) {
        coder.failWithLimit(ArchiveLimit::PicturePixels,
            QStringLiteral("pictures of more than %1 pixels together")
                .arg(coder.limits().maxImagePixels));
        return false;
    }
    budget -= count;
    return true;
}

// Qt's PNG quality 80 is zlib's level 1.
constexpr int kPngQuality = 80;

// The picture as PNG, kept with it so that it is encoded once in its life; empty on failure.
// Opaque pictures are written without alpha, and at a light compression: saving a few large
// photos stays a matter of seconds, at a few percent more bytes.
QByteArray encodePng(const Image& image)
{
    QImage pixels = image.toQImage();
    if (pixels.isNull())
        return {};
    if (allPixelsOpaque(pixels))
        pixels = pixels.convertToFormat(QImage::Format_RGB32);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(kPngQuality);
        if (!writer.write(pixels)) {
            qCDebug(lcArchive) << "a picture could not be written as PNG:" << writer.errorString();
            return {};
        }
    }
    image.keepEncoding("png", png);
    return png;
}

} // namespace

void ValueCoding<Image>::encode(KeyedArchiver& coder, const Image& image)
{
    // Checked by its size before anything is encoded: one that does not fit is not encoded,
    // the archive is refused anyway.
    if (!fitsReader(coder, image.pixelSize())) {
        coder.encodeBytes(QStringLiteral("png"), {});
    } else if (const QByteArray kept = image.keptEncoding("png"); !kept.isEmpty()) {
        coder.encodeBytes(QStringLiteral("png"), kept);
    } else {
        coder.encodeBytesLater(QStringLiteral("png"), [image] { return encodePng(image); });
    }
    coder.encodeDouble(QStringLiteral("width"), image.size().width);
    coder.encodeDouble(QStringLiteral("height"), image.size().height);
}

std::optional<Image> ValueCoding<Image>::decode(const KeyedUnarchiver& coder)
{
    const QByteArray png = coder.decodeBytes(QStringLiteral("png"));
    if (png.isEmpty())
        return std::nullopt;
    const auto w = finite(coder, "width"), h = finite(coder, "height");
    const std::optional<Size> givenSize
        = (w && h && *w > 0 && *h > 0) ? std::optional<Size>(Size(*w, *h)) : std::nullopt;
    // Files written before pictures were shared hold a copy at every use: the same bytes
    // are the same picture, decoded (and counted) once.
    if (const Image same = coder.pictureReadBefore(png, givenSize); !same.isNull())
        return same;
    // Refused by its header when over the archive's bounds; the pixels of every picture of
    // this archive come out of one budget.
    const PictureLoader::Limits limits { "png", coder.limits().maxImageDimension };
    const LoadedPicture picture = PictureLoader::load(png, limits, coder.picturePixelBudget());
    if (!picture.ok()) {
        qCDebug(lcArchive) << "picture refused:" << picture.error;
        return std::nullopt;
    }
    const QImage& pixels = picture.pixels;
    Image image
        = Image::fromQImage(pixels, givenSize.value_or(Size(pixels.width(), pixels.height())));
    if (image.isNull())
        return std::nullopt;
    // Saved again unchanged, it is written as read.
    image.keepEncoding("png", png);
    coder.keepPictureRead(png, givenSize, image);
    return image;
}

void ValueCoding<Point>::encode(KeyedArchiver& coder, const Point& p)
{
    coder.encodeDouble(QStringLiteral("x"), p.x);
    coder.encodeDouble(QStringLiteral("y"), p.y);
}

std::optional<Point> ValueCoding<Point>::decode(const KeyedUnarchiver& coder)
{
    const auto x = finite(coder, "x"), y = finite(coder, "y");
    if (!x || !y)
        return std::nullopt;
    return Point(*x, *y);
}

void ValueCoding<Size>::encode(KeyedArchiver& coder, const Size& s)
{
    coder.encodeDouble(QStringLiteral("width"), s.width);
    coder.encodeDouble(QStringLiteral("height"), s.height);
}

std::optional<Size> ValueCoding<Size>::decode(const KeyedUnarchiver& coder)
{
    const auto w = finite(coder, "width"), h = finite(coder, "height");
    if (!w || !h)
        return std::nullopt;
    return Size(*w, *h);
}

void ValueCoding<Rect>::encode(KeyedArchiver& coder, const Rect& r)
{
    coder.encodeRect(QStringLiteral("rect"), r);
}

std::optional<Rect> ValueCoding<Rect>::decode(const KeyedUnarchiver& coder)
{
    const ArchiveValue v = coder.decodeValue(QStringLiteral("rect"));
    if (v.kind() != ArchiveValue::Kind::Rect)
        return std::nullopt;
    const Rect r = v.toRect();
    if (!r.isFinite())
        return std::nullopt;
    return r;
}

} // namespace platform
