#pragma once
// A picture representation that is a filter recipe, rendered (exactly, over its extent) only
// when its pixels are asked for. The first rendering is kept.
#include "platform/graphics/Image.h"
#include "platform/imaging/FilterImage.h"

#include <mutex>

namespace platform {

class FilterImageRepresentation final : public ImageRepresentation {
public:
    // Larger extents cannot be represented.
    static constexpr long long kMaxPixels = 256LL * 1000 * 1000;

    // True when image has a finite, non-empty extent of at most kMaxPixels pixels.
    static bool canRepresent(const FilterImage& image);

    // image must satisfy canRepresent().
    explicit FilterImageRepresentation(FilterImage image);

    QSize pixelSize() const override;
    QImage rasterize() const override;
    const FilterImage& filterImage() const { return m_image; }

private:
    FilterImage m_image;
    mutable std::mutex m_mutex;
    mutable QImage m_pixels;
};

} // namespace platform
