#include "platform/imaging/ImageAccumulator.h"

#include "platform/imaging/BufferSource.h"

#include <algorithm>

namespace platform {

ImageAccumulator::ImageAccumulator(const Rect& extent)
{
    if (extent.isNull() || extent.isInfinite())
        return;
    const PixelRect r = PixelRect::covering(extent);
    if (r.isEmpty() || r.area() > kMaxPixels)
        return;
    m_area = r;
    m_pixels = std::make_shared<std::vector<Px>>(std::size_t(r.area()), Px { 0, 0, 0, 0 });
}

FilterImage ImageAccumulator::image() const
{
    if (!m_pixels)
        return {};
    return FilterImage(std::make_shared<BufferSource>(m_pixels, m_area));
}

void ImageAccumulator::detach()
{
    if (m_pixels.use_count() > 1)
        m_pixels = std::make_shared<std::vector<Px>>(*m_pixels);
}

void ImageAccumulator::setImage(const FilterImage& image)
{
    setImage(image, extent());
}

void ImageAccumulator::setImage(const FilterImage& image, const Rect& dirty)
{
    if (!m_pixels)
        return;
    const PixelRect r = PixelRect::covering(dirty).intersected(m_area);
    if (r.isEmpty())
        return;
    PixelTile tile;
    if (!tile.allocate(r))
        return;
    if (image.isNull())
        tile.fill(Px { 0, 0, 0, 0 });
    else if (!image.node()->render(RenderArgs(), tile))
        return;
    detach();
    for (int y = r.y; y < r.maxY(); ++y) {
        const Px* s = tile.row(y);
        Px* d = m_pixels->data() + std::size_t(y - m_area.y) * m_area.width + (r.x - m_area.x);
        for (int i = 0; i < r.width; ++i) {
            const Px zero = { 0, 0, 0, 0 }, one = { 1, 1, 1, 1 };
            Px v = s[i];
            v = v > zero ? v : zero; // also turns NaN into 0
            v = v < one ? v : one;
            d[i] = v;
        }
    }
}

void ImageAccumulator::clear()
{
    if (!m_pixels)
        return;
    detach();
    std::fill(m_pixels->begin(), m_pixels->end(), Px { 0, 0, 0, 0 });
}

} // namespace platform
