#include "platform/imaging/FilterImageRepresentation.h"

#include "platform/imaging/FilterRenderer.h"

namespace platform {

bool FilterImageRepresentation::canRepresent(const FilterImage& image)
{
    if (image.isNull())
        return false;
    const Rect e = image.extent();
    if (e.isNull() || e.isEmpty() || e.isInfinite())
        return false;
    const PixelRect r = PixelRect::covering(e);
    return !r.isEmpty() && r.area() <= kMaxPixels && r.toRect().contains(e.standardized());
}

FilterImageRepresentation::FilterImageRepresentation(FilterImage image)
    : m_image(std::move(image))
{
}

QSize FilterImageRepresentation::pixelSize() const
{
    if (!canRepresent(m_image))
        return {};
    const PixelRect r = PixelRect::covering(m_image.extent());
    return { r.width, r.height };
}

QImage FilterImageRepresentation::rasterize() const
{
    std::lock_guard lock(m_mutex);
    if (m_pixels.isNull() && canRepresent(m_image))
        m_pixels = FilterRenderer::render(
            m_image, PixelRect::covering(m_image.extent()).toRect(), 1.0, RenderPath::Exact);
    return m_pixels;
}

} // namespace platform
