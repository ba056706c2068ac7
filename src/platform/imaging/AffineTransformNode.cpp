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

AffineTransformNode::Reading AffineTransformNode::reading(const RenderArgs& args) const
{
    Reading rd;
    const double s = args.scale;
    const double sIn = inputScale(s, std::sqrt(std::abs(m_transform.determinant())));
    rd.m = AffineTransform::makeScale(1.0 / s, 1.0 / s)
               .concatenated(*m_inverse)
               .concatenated(AffineTransform::makeScale(sIn, sIn));
    rd.inArgs = args.withScale(sIn);
    const AffineTransform& m = rd.m;
    rd.shift = m.a == 1.0 && m.d == 1.0 && m.b == 0.0 && m.c == 0.0 && m.tx == std::round(m.tx)
        && m.ty == std::round(m.ty) && std::abs(m.tx) < 1e8 && std::abs(m.ty) < 1e8;
    if (rd.shift) {
        rd.dx = int(m.tx);
        rd.dy = int(m.ty);
    }
    return rd;
}

PixelRect AffineTransformNode::inputNeed(const Reading& rd, const PixelRect& o) const
{
    const PixelRect inExtent = m_input->pixelExtent(rd.inArgs.scale);
    if (rd.shift)
        return PixelRect(o.x + rd.dx, o.y + rd.dy, o.width, o.height).intersected(inExtent);
    return Resampler::sourceRect(o, rd.m).intersected(inExtent);
}

bool AffineTransformNode::isClear(const RenderArgs& args, const PixelRect& r) const
{
    if (!m_inverse)
        return true;
    const Reading rd = reading(args);
    const PixelRect need = inputNeed(rd, r);
    // Every tap outside need has weight 0, and clear taps give clear pixels.
    return need.isEmpty() || m_input->isClear(rd.inArgs, need);
}

bool AffineTransformNode::render(const RenderArgs& args, PixelTile& out) const
{
    if (!m_inverse) {
        out.fill(Px { 0, 0, 0, 0 });
        return true;
    }
    const Reading rd = reading(args);
    const PixelRect need = inputNeed(rd, out.rect());
    if (rd.shift) {
        if (need.isEmpty()) {
            out.fill(Px { 0, 0, 0, 0 });
            return true;
        }
        PixelTile src;
        if (!m_input->renderRect(rd.inArgs, need, src))
            return false;
        const PixelRect dst(need.x - rd.dx, need.y - rd.dy, need.width, need.height);
        for (int y = dst.y; y < dst.maxY(); ++y)
            std::copy_n(src.row(y + rd.dy), dst.width, out.at(dst.x, y));
        out.clearOutside(dst);
        return true;
    }
    PixelTile src;
    if (!need.isEmpty() && !m_input->renderRect(rd.inArgs, need, src))
        return false;
    Resampler::bilinear(src, out, rd.m);
    return true;
}

} // namespace platform
