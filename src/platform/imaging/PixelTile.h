#pragma once
// A block of premultiplied float RGBA pixels covering one PixelRect of render space, rows in
// y-up order (row 0 is rect().y). One pixel is one 4-float vector, so the per-pixel filter
// loops compile to SIMD without intrinsics.
#include "platform/imaging/PixelRect.h"

#include <cstddef>
#include <memory>

namespace platform {

using Px = float __attribute__((vector_size(16)));

class PixelTile {
public:
    // Tiles larger than this many pixels are refused (the allocation would follow from
    // picture or filter numbers that no render needs).
    static constexpr long long kMaxPixels = 1LL << 28;

    PixelTile() = default;
    PixelTile(PixelTile&& o) noexcept;
    PixelTile& operator=(PixelTile&& o) noexcept;
    ~PixelTile();

    // Makes room for r; the contents are undefined until written. False (and an empty tile)
    // when r is empty or too large.
    bool allocate(const PixelRect& r);
    bool isValid() const { return bool(m_pixels); }
    const PixelRect& rect() const { return m_rect; }

    // Row at absolute render-space y.
    Px* row(int y)
    {
        return m_pixels.get() + std::size_t(y - m_rect.y) * std::size_t(m_rect.width);
    }
    const Px* row(int y) const
    {
        return m_pixels.get() + std::size_t(y - m_rect.y) * std::size_t(m_rect.width);
    }
    Px* at(int x, int y) { return row(y) + (x - m_rect.x); }
    const Px* at(int x, int y) const { return row(y) + (x - m_rect.x); }

    void fill(Px value);
    // Clears every pixel of this tile outside keep.
    void clearOutside(const PixelRect& keep);
    // Copies the overlapping part of other into this tile.
    void copyFrom(const PixelTile& other, const PixelRect& area);

private:
    // Gives the buffer back to this thread's cache of recent buffers.
    void release();

    PixelRect m_rect;
    std::unique_ptr<Px[]> m_pixels;
    std::size_t m_capacity = 0; // pixels m_pixels has room for
};

} // namespace platform
