#pragma once
// A picture that is painted into step by step (the brush mask): a fixed extent of premultiplied
// pixels kept between 0 and 1, as a 16-bit store keeps them. image() is a snapshot that later
// changes do not affect; writing while a snapshot is alive copies the pixels first.
#include "platform/imaging/FilterImage.h"

#include <memory>
#include <vector>

namespace platform {

class ImageAccumulator {
public:
    // Extents above this many pixels are refused.
    static constexpr long long kMaxPixels = 1LL << 26;

    // A clear accumulator over the whole pixels covering extent. Invalid (no pixels) when the
    // extent is empty, infinite or too large.
    explicit ImageAccumulator(const Rect& extent);

    bool isValid() const { return bool(m_pixels); }
    Rect extent() const { return m_area.toRect(); }

    // The current contents; null for an invalid accumulator.
    FilterImage image() const;
    // Replaces the pixels inside dirty (the whole extent without one) by image's.
    void setImage(const FilterImage& image);
    void setImage(const FilterImage& image, const Rect& dirty);
    void clear();

private:
    void detach();

    PixelRect m_area;
    std::shared_ptr<std::vector<Px>> m_pixels;
};

} // namespace platform
