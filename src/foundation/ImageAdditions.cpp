#include "foundation/ImageAdditions.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/imaging/Filter.h"
#include "platform/imaging/FilterImageRepresentation.h"
#include "platform/imaging/FilterRenderer.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <cmath>
#include <functional>

Q_LOGGING_CATEGORY(lcImageAdditions, "quillmark.foundation.image", QtWarningMsg)

using namespace platform;

namespace {

constexpr double kPi = 3.141592653589793;

// Whole pixels for a size, or nothing when it is not finite, not positive or too large.
std::optional<QSize> pixelsFor(Size s, bool truncate)
{
    if (!s.isFinite())
        return std::nullopt;
    const double w = truncate ? std::trunc(s.width) : std::ceil(s.width);
    const double h = truncate ? std::trunc(s.height) : std::ceil(s.height);
    if (w < 1 || h < 1 || w * h > double(kMaxImagePixels))
        return std::nullopt;
    return QSize(int(w), int(h));
}

// New clear pixels of the size in points (one pixel per point; a fractional size truncated
// or rounded up), drawn by draw; null when the size is unusable or too large.
QImage drawnPixels(Size size, bool truncate, const std::function<void(GraphicsContext&)>& draw)
{
    const auto px = pixelsFor(size, truncate);
    if (!px)
        return {};
    QImage pixels(*px, QImage::Format_ARGB32_Premultiplied);
    if (pixels.isNull())
        return {};
    pixels.fill(Qt::transparent);
    {
        GraphicsContext ctx(pixels);
        draw(ctx);
    }
    return pixels;
}

// A new clear picture of the size in points, drawn by draw.
Image drawnImage(Size size, const std::function<void(GraphicsContext&)>& draw)
{
    const QImage pixels = drawnPixels(size, false, draw);
    return pixels.isNull() ? Image() : Image::fromQImage(pixels, size);
}

Rect wholeRect(const Image& image)
{
    return { 0, 0, image.size().width, image.size().height };
}

} // namespace

Image imageRotated(const Image& image, float angle)
{
    const float a = std::fmod(angle, 360.0f);
    if (a == 0.0f || image.isNull())
        return image;
    const double w = image.size().width, h = image.size().height;
    Size canvas;
    if (a == -270.0f || a == -90.0f || a == 90.0f || a == 270.0f)
        canvas = { h, w };
    else if (a == 180.0f || a == -180.0f)
        canvas = { w, h };
    else
        canvas = { std::max(w, h) + 20, std::max(w, h) + 20 };
    return drawnImage(canvas, [&](GraphicsContext& ctx) {
        ctx.translateCTM(canvas.width / 2, canvas.height / 2);
        ctx.rotateCTM(double(a) * kPi / 180.0);
        ctx.drawImage(
            image, Rect(-w / 2, -h / 2, w, h), wholeRect(image), CompositingOperation::Copy, 1.0);
    });
}

Image imageWithCIImage(const FilterImage& ciImage)
{
    if (!FilterImageRepresentation::canRepresent(ciImage))
        return {};
    const Rect e = ciImage.extent().standardized();
    return Image::fromRepresentations(
        { std::make_shared<FilterImageRepresentation>(ciImage) }, Size(e.width(), e.height()));
}

Image imageWithCIImageCopy(const FilterImage& ciImage)
{
    if (!FilterImageRepresentation::canRepresent(ciImage))
        return {};
    const Rect e = ciImage.extent().standardized();
    const QImage pixels = FilterRenderer::render(
        ciImage, Rect(0, 0, e.width(), e.height()), 1.0, RenderPath::Exact);
    return pixels.isNull() ? Image() : Image::fromQImage(pixels, Size(e.width(), e.height()));
}

QImage CGImage(const Image& image)
{
    return image.toQImage();
}

FilterImage CIImage(const Image& image)
{
    return FilterImage::fromQImage(image.toQImage());
}

Image unscaledBitmapImageRep(const Image& image)
{
    if (image.isNull())
        return {};
    const QImage pixels = drawnPixels(
        image.size(), true, [&](GraphicsContext& ctx) { ctx.drawImage(image, wholeRect(image)); });
    return pixels.isNull() ? Image() : Image::fromQImage(pixels, image.size());
}

Size pixelSize(const Image& image)
{
    if (image.isNull())
        return {};
    int w = 0, h = 0;
    for (const auto& rep : image.representations()) {
        w = std::max(w, rep->pixelSize().width());
        h = std::max(h, rep->pixelSize().height());
    }
    return { double(w), double(h) };
}

Image tintedImageWithColor(const Image& image, const std::optional<Color>& color)
{
    if (image.isNull())
        return {};
    return drawnImage(image.size(), [&](GraphicsContext& ctx) {
        ctx.drawImage(image, wholeRect(image));
        if (color) {
            ctx.setBlendMode(BlendMode::SourceAtop);
            ctx.setFillColor(*color);
            ctx.fillRect(wholeRect(image));
        }
    });
}

Image imageByScalingProportionallyToSize(const Image& image, Size target)
{
    if (image.isNull() || image.size().width <= 0 || image.size().height <= 0)
        return {};
    const Size s = image.size();
    Rect dest(0, 0, target.width, target.height);
    if (!(s == target)) {
        const float rw = float(target.width / s.width), rh = float(target.height / s.height);
        const float k = std::min(rw, rh);
        const float dw = float(s.width) * k, dh = float(s.height) * k;
        float x = 0, y = 0;
        if (rh > rw)
            y = (float(target.height) - dh) * 0.5f;
        else if (rw > rh)
            x = (float(target.width) - dw) * 0.5f;
        dest = Rect(x, y, dw, dh);
    }
    return drawnImage(
        target, [&](GraphicsContext& ctx) { ctx.drawImage(image, dest, wholeRect(image)); });
}

Image resizedImageWithMaxSide(const Image& image, float m)
{
    const double w = image.size().width, h = image.size().height;
    if (image.isNull() || w <= 0 || h <= 0)
        return {};
    const Size target = w > h ? Size(m, h / w * m) : Size(w / h * m, m);
    return imageByScalingProportionallyToSize(image, target);
}

namespace {
Image scaledToCover(const Image& image, Size target, bool fill)
{
    const double w = image.size().width, h = image.size().height;
    if (image.isNull() || w <= 0 || h <= 0)
        return {};
    const double s = fill ? std::max(target.width / w, target.height / h)
                          : std::min(target.width / w, target.height / h);
    const double dw = w * s, dh = h * s;
    const Rect dest(
        -std::round((dw - target.width) * 0.5), -std::round((dh - target.height) * 0.5), dw, dh);
    return drawnImage(
        target, [&](GraphicsContext& ctx) { ctx.drawImage(image, dest, wholeRect(image)); });
}
} // namespace

Image aspectFilledImageToSize(const Image& image, Size target)
{
    return scaledToCover(image, target, true);
}

Image aspectFitedImageToSize(const Image& image, Size target)
{
    return scaledToCover(image, target, false);
}

Image previewImageForCIFilter(const Image& image, const QString& filterName, Size size,
    const QMap<QString, FilterValue>& options)
{
    if (image.isNull())
        return {};
    Filter filter = Filter::withName(filterName);
    if (filter.isNull())
        return {};
    filter.setDefaults();
    filter.setValue(QStringLiteral("inputImage"), CIImage(unscaledBitmapImageRep(image)));
    for (auto it = options.begin(); it != options.end(); ++it)
        filter.setValue(it.key(), it.value());
    const FilterImage out = filter.outputImage();
    const QImage pixels = FilterRenderer::render(out, wholeRect(image), 1.0, RenderPath::Exact);
    if (pixels.isNull())
        return {};
    const Image rendered = Image::fromQImage(pixels, image.size());
    return drawnImage(size, [&](GraphicsContext& ctx) {
        ctx.drawImage(rendered, Rect(0, 0, size.width, size.height), wholeRect(image));
    });
}

Image tiledImageToSize(const Image& image, Size target)
{
    const double w = image.size().width, h = image.size().height;
    if (image.isNull() || !std::isfinite(w) || !std::isfinite(h) || !pixelsFor(target, false))
        return {};
    return drawnImage(target, [&](GraphicsContext& ctx) {
        if (!(w > 0) || !(h > 0))
            return; // an empty picture of the target size
        // One pattern fill, whatever the number of copies: a tiny picture tiled over a large
        // size would otherwise be millions of separate draws.
        ctx.fillPathWithPattern(
            BezierPath::rect(Rect(0, 0, target.width, target.height)), image, Point(0, 0));
    });
}

Image bluredImageWithStrength(const Image& image, double strength)
{
    return previewImageForCIFilter(image, QStringLiteral("CIGaussianBlur"), Size(100, 100),
        { { QStringLiteral("inputRadius"), strength } });
}

Image imageWithAlpha(const Image& image, float alpha)
{
    if (image.isNull())
        return {};
    return drawnImage(image.size(), [&](GraphicsContext& ctx) {
        ctx.drawImage(image, wholeRect(image), wholeRect(image), CompositingOperation::SourceOver,
            double(alpha));
    });
}

QImage bitmapImageRepresentation(const Image& image)
{
    if (image.isNull())
        return {};
    return drawnPixels(image.size(), true, [&](GraphicsContext& ctx) {
        ctx.drawImage(image, wholeRect(image), wholeRect(image), CompositingOperation::Copy, 1.0);
    });
}

QImage toCGImageRef(const Image& image)
{
    const QImage bitmap = bitmapImageRepresentation(image);
    if (bitmap.isNull())
        return {};
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    QImageWriter writer(&out, "png");
    writer.setCompression(0);
    if (!writer.write(bitmap))
        return {};
    QBuffer in(&png);
    in.open(QIODevice::ReadOnly);
    return QImageReader(&in, "png").read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

Image imageWithCIImageSpecial(const FilterImage& ciImage)
{
    if (!FilterImageRepresentation::canRepresent(ciImage))
        return {};
    const Rect e = ciImage.extent().standardized();
    qCDebug(lcImageAdditions) << "extent" << e.x() << e.y() << e.width() << e.height();
    const Rect quarter(0, 0, e.width() / 2, e.height() / 2);
    const QImage pixels = FilterRenderer::render(ciImage, quarter, 1.0, RenderPath::Exact);
    return pixels.isNull() ? Image() : Image::fromQImage(pixels, quarter.size);
}

std::shared_ptr<const ImageRepresentation> representationForBackingScale(
    const Image& image, float scale)
{
    if (image.isNull() || !(image.size().width > 0))
        return nullptr;
    const double want = std::round(double(scale) * 100.0);
    for (const auto& rep : image.representations())
        if (std::round(double(backingScaleForRepresentation(image, *rep)) * 100.0) == want)
            return rep;
    return nullptr;
}

float backingScaleForRepresentation(const Image& image, const ImageRepresentation& rep)
{
    return float(rep.pixelSize().width() / image.size().width);
}

bool hasRetina(const Image& image)
{
    return representationForBackingScale(image, 2.0f) != nullptr;
}

std::shared_ptr<const ImageRepresentation> retinaRep(const Image& image)
{
    return representationForBackingScale(image, 2.0f);
}

std::shared_ptr<const ImageRepresentation> standardRep(const Image& image)
{
    return representationForBackingScale(image, 1.0f);
}

Image retinaImage(const Image& image)
{
    auto rep = retinaRep(image);
    return rep ? Image::fromRepresentations({ rep }, image.size()) : Image();
}

Image standardImage(const Image& image)
{
    auto rep = standardRep(image);
    return rep ? Image::fromRepresentations({ rep }, image.size()) : Image();
}

Image NSImage(const FilterImage& ciImage)
{
    return imageWithCIImage(ciImage);
}

FilterImage rotateDegrees(const FilterImage& ciImage, double angle)
{
    if (ciImage.isNull() || !(angle > 0 && angle < 360))
        return ciImage;
    const Rect e = ciImage.extent();
    if (e.isInfinite() || e.isNull())
        return ciImage;
    const AffineTransform t
        = AffineTransform::makeTranslation(-e.midX(), -e.midY())
              .concatenated(AffineTransform::makeRotation(angle * kPi / 180.0))
              .concatenated(AffineTransform::makeTranslation(e.midX(), e.midY()));
    return ciImage.transformed(t);
}

bool saveDesktopTestImage(const Image& image, const QString& name)
{
    return saveDesktopTestImage(image.isNull() ? QImage() : image.toQImage(), name);
}

bool saveDesktopTestImage(const QImage& pixels, const QString& name)
{
    // Only a plain name: the folder is ours to choose, never one the name walks to.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String("..")
        || name == QLatin1String(".")) {
        qCWarning(lcImageAdditions) << "test image not saved: unusable name" << name;
        return false;
    }
    if (pixels.isNull()) {
        qCWarning(lcImageAdditions) << "test image not saved: no picture for" << name;
        return false;
    }
    QString folder;
    for (const auto location :
        { QStandardPaths::DesktopLocation, QStandardPaths::PicturesLocation }) {
        const QString candidate = QStandardPaths::writableLocation(location);
        if (!candidate.isEmpty() && QDir(candidate).exists()) {
            folder = candidate;
            break;
        }
    }
    if (folder.isEmpty()) {
        qCWarning(lcImageAdditions)
            << "test image not saved: no desktop or pictures folder for" << name;
        return false;
    }
    const QString file = QDir(folder).filePath(name + QLatin1String(".png"));
    QImageWriter writer(file, "png");
    if (!writer.write(pixels)) {
        qCWarning(lcImageAdditions)
            << "test image not saved to" << file << ":" << writer.errorString();
        return false;
    }
    return true;
}
