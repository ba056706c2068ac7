#include "boxes/BoxFrameDrawing.h"

#include "boxes/MyViewBase.h"
#include "platform/graphics/GraphicsContext.h"

#include <algorithm>
#include <array>
#include <cmath>

using platform::BezierPath;
using platform::Color;
using platform::Point;
using platform::Shadow;
using platform::Size;

namespace BoxFrame {

namespace {

std::array<Point, 4> corners(const MyViewBase& box, float gap)
{
    std::array<Point, 8> p;
    box.GetFourPoints(p, double(gap));
    return { p[0], p[1], p[2], p[3] };
}

float halfBorder(const MyViewBase& box)
{
    return float(box.borderSize()) / 2.0f;
}

} // namespace

BezierPath outlineQuad(const MyViewBase& box, float gap)
{
    const auto q = corners(box, gap);
    BezierPath path;
    path.moveTo(q[0]);
    path.lineTo(q[1]);
    path.lineTo(q[2]);
    path.lineTo(q[3]);
    path.closePath();
    return path;
}

BezierPath insideBorder(const MyViewBase& box)
{
    return outlineQuad(box, -halfBorder(box));
}

std::optional<BezierPath> borderBands(const MyViewBase& box)
{
    if (box.borderSize() <= 0)
        return std::nullopt;
    const auto outer = corners(box, halfBorder(box));
    const auto inner = corners(box, -halfBorder(box));
    BezierPath path;
    for (int k = 1; k <= 4; ++k) {
        path.moveTo(outer[size_t(k - 1)]);
        path.lineTo(outer[size_t(k % 4)]);
        path.lineTo(inner[size_t(k % 4)]);
        path.lineTo(inner[size_t(k - 1)]);
        path.closePath();
    }
    return path;
}

void drawInnerShadow(const MyViewBase& box, const BezierPath& quad, const InnerShadow& shadow,
    platform::GraphicsContext& ctx)
{
    if (shadow.offset <= 0 || !shadow.color)
        return;
    const double opacity = double(box.layerOpacity());
    const double o = shadow.offset;
    const double a = (box.rotationAngle() + shadow.angle) * 3.141592 / 180.0;
    // Unlike the drop shadow, the y part is not negated: the angle turns with the box.
    const Size offset(o * std::cos(a), o * std::sin(a));
    const double blur = std::max(0, shadow.blur);
    const Color s = shadow.color->withAlpha(shadow.color->alpha * opacity);
    ctx.fillInnerShadow(quad, Shadow { offset, blur, s }, s.alpha, shadow.layerCastsShadow);
}

} // namespace BoxFrame
