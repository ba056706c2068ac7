#include "platform/imaging/ColorControlsNode.h"

namespace platform {

ColorControlsNode::ColorControlsNode(
    FilterNodePtr input, double saturation, double brightness, double contrast)
    : m_input(std::move(input))
    , m_saturation(float(saturation))
    , m_brightness(float(brightness))
    , m_contrast(float(contrast))
{
}

bool ColorControlsNode::render(const RenderArgs& args, PixelTile& out) const
{
    if (!m_input->render(args, out))
        return false;
    const float s = m_saturation, c = m_contrast;
    // brightness then contrast folded into one offset: (v + b - 0.5) * c + 0.5
    const float offset = (m_brightness - 0.5f) * c + 0.5f;
    const PixelRect& o = out.rect();
    for (int y = o.y; y < o.maxY(); ++y) {
        Px* p = out.row(y);
        for (int i = 0; i < o.width; ++i) {
            const Px v = p[i];
            const float a = v[3];
            if (a <= 0.0f) {
                p[i] = Px { 0, 0, 0, 0 };
                continue;
            }
            const Px u = v / a;
            const float luma = 0.2125f * u[0] + 0.7154f * u[1] + 0.0721f * u[2];
            const Px mixed = luma + (u - luma) * s;
            Px r = (mixed * c + offset) * a;
            r[3] = a;
            p[i] = r;
        }
    }
    return true;
}

} // namespace platform
