#include "platform/imaging/BufferSource.h"

#include "platform/imaging/Resampler.h"

#include <cmath>
#include <cstring>

namespace platform {

BufferSource::BufferSource(std::shared_ptr<const std::vector<Px>> pixels, const PixelRect& area)
    : m_pixels(std::move(pixels))
    , m_area(area)
{
}

bool BufferSource::render(const RenderArgs& args, PixelTile& out) const
{
    const double s = args.scale;
    if (!(s > 0) || !std::isfinite(s))
        return false;
    if (s == 1.0) {
        const PixelRect inside = out.rect().intersected(m_area);
        for (int y = inside.y; y < inside.maxY(); ++y)
            std::memcpy(out.at(inside.x, y), row(y) + (inside.x - m_area.x),
                sizeof(Px) * std::size_t(inside.width));
        out.clearOutside(inside);
        return true;
    }
    const AffineTransform toSource = AffineTransform::makeScale(1.0 / s, 1.0 / s);
    const PixelRect need = Resampler::sourceRect(out.rect(), toSource).intersected(m_area);
    PixelTile src;
    if (!need.isEmpty()) {
        if (!src.allocate(need))
            return false;
        for (int y = need.y; y < need.maxY(); ++y)
            std::memcpy(
                src.row(y), row(y) + (need.x - m_area.x), sizeof(Px) * std::size_t(need.width));
    }
    Resampler::bilinear(src, out, toSource);
    return true;
}

} // namespace platform
