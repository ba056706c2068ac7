#include "platform/imaging/AffineTransformNode.h"

#include "platform/imaging/Resampler.h"

#include <algorithm>
#include <cmath>

namespace platform {

AffineTransformNode::AffineTransformNode(FilterNodePtr input, const AffineTransform& t)
    : m_input(std::move(input))
    , m_transform(t)
    , m_inverse(t.inverted())
{
}

Rect AffineTransformNode::extent() const
{
    if (!m_inverse)
        return Rect::null();
    const Rect e = m_input->extent();
    if (e.isNull() || e.isInfinite())
        return e;
    const Rect m = m_transform.mapRect(e);
    if (!std::isfinite(m.x()) || !std::isfinite(m.y()) || !std::isfinite(m.width())
        || !std::isfinite(m.height()))
        return Rect::infinite();
    return m;
}

double AffineTransformNode::inputScale(double s, double k)
{
    if (!(k > 1.0) || !std::isfinite(k))
        return s;
    return std::clamp(s * k, s, std::max(s, 1.0));
}

bool AffineTransformNode::render(const RenderArgs& args, PixelTile& out) const
{
    if (!m_inverse) {
        out.fill(Px { 0, 0, 0, 0 });
        return true;
    }
    const double s = args.scale;
    const double sIn = inputScale(s, std::sqrt(std::abs(m_transform.determinant())));
    const AffineTransform m = AffineTransform::makeScale(1.0 / s, 1.0 / s)
                                  .concatenated(*m_inverse)
                                  .concatenated(AffineTransform::makeScale(sIn, sIn));
    const RenderArgs inArgs = args.withScale(sIn);
    const PixelRect inExtent = m_input->pixelExtent(sIn);
    const bool shift = m.a == 1.0 && m.d == 1.0 && m.b == 0.0 && m.c == 0.0
        && m.tx == std::round(m.tx) && m.ty == std::round(m.ty) && std::abs(m.tx) < 1e8
        && std::abs(m.ty) < 1e8;
    if (shift) {
        const int dx = int(m.tx), dy = int(m.ty);
        const PixelRect& o = out.rect();
        const PixelRect need
            = PixelRect(o.x + dx, o.y + dy, o.width, o.height).intersected(inExtent);
        if (need.isEmpty()) {
            out.fill(Px { 0, 0, 0, 0 });
            return true;
        }
        PixelTile src;
        if (!m_input->renderRect(inArgs, need, src))
            return false;
        const PixelRect dst(need.x - dx, need.y - dy, need.width, need.height);
        for (int y = dst.y; y < dst.maxY(); ++y)
            std::copy_n(src.row(y + dy), dst.width, out.at(dst.x, y));
        out.clearOutside(dst);
        return true;
    }
    const PixelRect need = Resampler::sourceRect(out.rect(), m).intersected(inExtent);
    PixelTile src;
    if (!need.isEmpty() && !m_input->renderRect(inArgs, need, src))
        return false;
    Resampler::bilinear(src, out, m);
    return true;
}

} // namespace platform
