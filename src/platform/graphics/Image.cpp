#include "platform/graphics/Image.h"

#include "platform/graphics/PixelLoop.h"

#include <atomic>
#include <mutex>

namespace platform {

namespace {

std::uint64_t nextContentId()
{
    static std::atomic<std::uint64_t> counter { 0 };
    return ++counter;
}

// Converts to the stored format; a failed conversion (out of memory) gives a null QImage.
QImage toPremultiplied(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return {};
    if (image.format() == QImage::Format_ARGB32_Premultiplied)
        return image;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

BitmapRepresentation::BitmapRepresentation(QImage pixels)
    : m_pixels(toPremultiplied(pixels))
{
}

struct Image::Data {
    std::vector<std::shared_ptr<const ImageRepresentation>> reps;
    Size pointSize;
    std::uint64_t id = nextContentId();

    // The rasterised best representation, made on first use. Guarded because handles are
    // shared across threads (filter renders read pictures off the main thread).
    mutable std::mutex cacheMutex;
    mutable bool cached = false;
    mutable QImage cache;
    // Encoded forms by format (see keptEncoding); one picture has at most a couple.
    // Its own lock: a rasterisation under cacheMutex may take long.
    mutable std::mutex encodingMutex;
    mutable std::vector<std::pair<QByteArray, QByteArray>> encodings;

    const ImageRepresentation* best() const
    {
        const ImageRepresentation* found = nullptr;
        qint64 bestArea = -1;
        for (const auto& rep : reps) {
            const QSize s = rep->pixelSize();
            const qint64 area = qint64(s.width()) * qint64(s.height());
            if (area > bestArea) {
                bestArea = area;
                found = rep.get();
            }
        }
        return found;
    }
};

Image Image::fromQImage(const QImage& image)
{
    return fromQImage(image, Size(image.width(), image.height()));
}

Image Image::fromQImage(const QImage& image, Size pointSize)
{
    QImage pixels = toPremultiplied(image);
    if (pixels.isNull())
        return {};
    return fromRepresentations(
        { std::make_shared<BitmapRepresentation>(std::move(pixels)) }, pointSize);
}

Image Image::fromRepresentations(
    std::vector<std::shared_ptr<const ImageRepresentation>> reps, Size pointSize)
{
    std::erase_if(reps, [](const auto& rep) {
        return !rep || rep->pixelSize().width() <= 0 || rep->pixelSize().height() <= 0;
    });
    if (reps.empty())
        return {};
    auto data = std::make_shared<Data>();
    data->reps = std::move(reps);
    data->pointSize = pointSize;
    Image result;
    result.m_data = std::move(data);
    return result;
}

Size Image::size() const
{
    return m_data ? m_data->pointSize : Size();
}

QSize Image::pixelSize() const
{
    if (!m_data)
        return QSize(0, 0);
    return m_data->best()->pixelSize();
}

const std::vector<std::shared_ptr<const ImageRepresentation>>& Image::representations() const
{
    static const std::vector<std::shared_ptr<const ImageRepresentation>> none;
    return m_data ? m_data->reps : none;
}

QImage Image::toQImage() const
{
    if (!m_data)
        return {};
    std::lock_guard lock(m_data->cacheMutex);
    if (!m_data->cached) {
        m_data->cache = toPremultiplied(m_data->best()->rasterize());
        m_data->cached = true;
    }
    return m_data->cache;
}

Image Image::withSize(Size pointSize) const
{
    if (!m_data)
        return {};
    return fromRepresentations(m_data->reps, pointSize);
}

std::uint64_t Image::contentId() const
{
    return m_data ? m_data->id : 0;
}

QByteArray Image::keptEncoding(const char* format) const
{
    if (!m_data)
        return {};
    std::lock_guard lock(m_data->encodingMutex);
    for (const auto& [name, bytes] : m_data->encodings) {
        if (name == format)
            return bytes;
    }
    return {};
}

void Image::keepEncoding(const char* format, const QByteArray& bytes) const
{
    if (!m_data || bytes.isEmpty())
        return;
    std::lock_guard lock(m_data->encodingMutex);
    for (auto& [name, kept] : m_data->encodings) {
        if (name == format) {
            kept = bytes;
            return;
        }
    }
    m_data->encodings.emplace_back(QByteArray(format), bytes);
}

bool Image::operator==(const Image& other) const
{
    if (m_data == other.m_data)
        return true;
    return m_data && other.m_data && m_data->id == other.m_data->id;
}

PIXEL_LOOP bool allPixelsOpaque(const QImage& pixels)
{
    if (!pixels.hasAlphaChannel())
        return true;
    if (pixels.format() != QImage::Format_ARGB32_Premultiplied
        && pixels.format() != QImage::Format_ARGB32)
        return allPixelsOpaque(pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        QRgb all = 0xff000000u;
        for (int x = 0; x < pixels.width(); ++x)
            all &= row[x];
        if ((all >> 24) != 0xff)
            return false;
    }
    return true;
}

} // namespace platform
