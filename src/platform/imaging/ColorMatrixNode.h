#pragma once
// A 4x4 colour matrix with a bias on unpremultiplied RGBA: r' = R . (r, g, b, a) + bias.r, and
// so on for g, b and a; the result is premultiplied by its new alpha. Pixels outside the
// input's extent stay clear.
#include "platform/imaging/FilterNode.h"

#include <array>

namespace platform {

class ColorMatrixNode final : public FilterNode {
public:
    // rows: the R, G, B and A vectors; bias: the bias vector.
    ColorMatrixNode(FilterNodePtr input, const std::array<std::array<double, 4>, 4>& rows,
        const std::array<double, 4>& bias);

    Rect extent() const override { return m_input->extent(); }
    bool render(const RenderArgs& args, PixelTile& out) const override;
    bool rendersRowsAlone(const RenderArgs& args) const override
    {
        return m_input->rendersRowsAlone(args);
    }

private:
    FilterNodePtr m_input;
    // Columns of the matrix, so that a pixel maps as sum(col[k] * u[k]) + bias.
    std::array<Px, 4> m_columns;
    Px m_bias;
};

} // namespace platform
