#pragma once
// Float pixels as the leaf of a recipe: a snapshot of an accumulator. The pixels are shared
// and never change after construction.
#include "platform/imaging/FilterNode.h"

#include <memory>
#include <vector>

namespace platform {

class BufferSource final : public FilterNode {
public:
    // pixels covers area (working-space pixels), rows y-up.
    BufferSource(std::shared_ptr<const std::vector<Px>> pixels, const PixelRect& area);

    Rect extent() const override { return m_area.toRect(); }
    bool render(const RenderArgs& args, PixelTile& out) const override;

private:
    const Px* row(int y) const
    {
        return m_pixels->data() + std::size_t(y - m_area.y) * m_area.width;
    }

    std::shared_ptr<const std::vector<Px>> m_pixels;
    PixelRect m_area;
};

} // namespace platform
