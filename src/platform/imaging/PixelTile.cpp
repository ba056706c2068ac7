#include "platform/imaging/PixelTile.h"

#include <algorithm>
#include <cstring>

namespace platform {

bool PixelTile::allocate(const PixelRect& r)
{
    m_pixels.reset();
    m_rect = {};
    if (r.isEmpty() || r.area() > kMaxPixels)
        return false;
    m_pixels = std::make_unique_for_overwrite<Px[]>(std::size_t(r.area()));
    m_rect = r;
    return true;
}

void PixelTile::fill(Px value)
{
    std::fill_n(m_pixels.get(), std::size_t(m_rect.area()), value);
}

void PixelTile::clearOutside(const PixelRect& keep)
{
    const PixelRect k = m_rect.intersected(keep);
    const Px zero = { 0, 0, 0, 0 };
    for (int y = m_rect.y; y < m_rect.maxY(); ++y) {
        Px* r = row(y);
        if (k.isEmpty() || y < k.y || y >= k.maxY()) {
            std::fill_n(r, m_rect.width, zero);
            continue;
        }
        std::fill_n(r, k.x - m_rect.x, zero);
        std::fill(r + (k.maxX() - m_rect.x), r + m_rect.width, zero);
    }
}

void PixelTile::copyFrom(const PixelTile& other, const PixelRect& area)
{
    const PixelRect a = area.intersected(m_rect).intersected(other.rect());
    for (int y = a.y; y < a.maxY(); ++y)
        std::memcpy(at(a.x, y), other.at(a.x, y), sizeof(Px) * std::size_t(a.width));
}

} // namespace platform
