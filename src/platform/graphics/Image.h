#pragma once
// An immutable picture. Copies share the same pixels and compare equal: equality is identity
// of the shared data (or the same content id), never a comparison of pixels. A default
// Image is null ("no image").
//
// An image has a size in points and one or more representations, each with its own pixel
// size. Bitmaps are stored as premultiplied ARGB32 with row 0 at the top (Qt's order); the
// drawing layer flips them so that pictures always appear upright in the y-up model.
#include "platform/geometry/Size.h"

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

// One representation of a picture. Subclasses may be lazy (rendered on demand, e.g. a filter
// recipe); rasterize() must be thread-safe and always return the same pixels.
class ImageRepresentation {
public:
    virtual ~ImageRepresentation() = default;
    virtual QSize pixelSize() const = 0;
    // Premultiplied ARGB32, pixelSize() large; a null QImage when it cannot be made.
    virtual QImage rasterize() const = 0;
};

class BitmapRepresentation final : public ImageRepresentation {
public:
    explicit BitmapRepresentation(QImage pixels);
    QSize pixelSize() const override { return m_pixels.size(); }
    QImage rasterize() const override { return m_pixels; }

private:
    QImage m_pixels;
};

class Image {
public:
    Image() = default; // null

    // A picture of the QImage's pixels, converted to premultiplied ARGB32; the size in points
    // is the pixel size. A null or empty QImage gives a null Image.
    static Image fromQImage(const QImage& image);
    // The same with an explicit size in points.
    static Image fromQImage(const QImage& image, Size pointSize);
    // An image holding the given representations (none null) at the given point size.
    static Image fromRepresentations(
        std::vector<std::shared_ptr<const ImageRepresentation>> reps, Size pointSize);

    bool isNull() const { return !m_data; }
    explicit operator bool() const { return bool(m_data); }

    // Size in points.
    Size size() const;
    // Pixel size of the best (largest) representation; (0, 0) for a null image.
    QSize pixelSize() const;
    const std::vector<std::shared_ptr<const ImageRepresentation>>& representations() const;

    // The pixels of the largest representation as premultiplied ARGB32 (cached after the
    // first call); a null QImage for a null image.
    QImage toQImage() const;

    // A new handle sharing the representations with a different point size. It is a different
    // image: it does not compare equal to this one.
    [[nodiscard]] Image withSize(Size pointSize) const;

    // Identity of the content. Two handles compare equal when they share data.
    std::uint64_t contentId() const;

    // The picture's encoded form in format ("png"), kept with its pixels once made or read so
    // that a picture saved again is not encoded again; empty until then. The pixels never
    // change, so the bytes stay true for as long as the picture lives. Thread-safe.
    QByteArray keptEncoding(const char* format) const;
    void keepEncoding(const char* format, const QByteArray& bytes) const;
    bool operator==(const Image& other) const;
    bool operator!=(const Image& other) const { return !(*this == other); }

private:
    struct Data;
    std::shared_ptr<const Data> m_data;
};

// Whether every pixel is opaque; pixels of a format without alpha always are.
bool allPixelsOpaque(const QImage& pixels);

} // namespace platform
