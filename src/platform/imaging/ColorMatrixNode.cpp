#include "platform/imaging/ColorMatrixNode.h"

namespace platform {

ColorMatrixNode::ColorMatrixNode(FilterNodePtr input,
    const std::array<std::array<double, 4>, 4>& rows, const std::array<double, 4>& bias)
    : m_input(std::move(input))
{
    for (int k = 0; k < 4; ++k)
        m_columns[std::size_t(k)]
            = Px { float(rows[0][std::size_t(k)]), float(rows[1][std::size_t(k)]),
                  float(rows[2][std::size_t(k)]), float(rows[3][std::size_t(k)]) };
    m_bias = Px { float(bias[0]), float(bias[1]), float(bias[2]), float(bias[3]) };
}

bool ColorMatrixNode::render(const RenderArgs& args, PixelTile& out) const
{
    if (!m_input->renderInto(args, out))
        return false;
    const PixelRect inside = out.rect().intersected(m_input->pixelExtent(args.scale));
    for (int y = inside.y; y < inside.maxY(); ++y) {
        Px* p = out.at(inside.x, y);
        for (int i = 0; i < inside.width; ++i) {
            const Px v = p[i];
            const float a = v[3];
            Px u = a > 0.0f ? v / a : Px { 0, 0, 0, 0 };
            u[3] = a;
            Px r = m_columns[0] * u[0] + m_columns[1] * u[1] + m_columns[2] * u[2]
                + m_columns[3] * u[3] + m_bias;
            const float na = r[3];
            r *= na;
            r[3] = na;
            p[i] = r;
        }
    }
    out.clearOutside(inside);
    return true;
}

} // namespace platform
