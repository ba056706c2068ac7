#pragma once
// Saturation, brightness and contrast on unpremultiplied colour: the colour is mixed with its
// luma (0.2125 R + 0.7154 G + 0.0721 B) by the saturation, then the brightness is added, then
// the contrast scales the distance from 0.5. Alpha is kept; nothing is clamped.
#include "platform/imaging/FilterNode.h"

namespace platform {

class ColorControlsNode final : public FilterNode {
public:
    ColorControlsNode(FilterNodePtr input, double saturation, double brightness, double contrast);

    Rect extent() const override { return m_input->extent(); }
    bool render(const RenderArgs& args, PixelTile& out) const override;
    bool rendersRowsAlone(const RenderArgs& args) const override
    {
        return m_input->rendersRowsAlone(args);
    }

private:
    FilterNodePtr m_input;
    float m_saturation, m_brightness, m_contrast;
};

} // namespace platform
