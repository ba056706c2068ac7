#include "boxes/MyTextViewSuper.h"

#include "boxes/BoxStatics.h"
#include "boxes/BoxesLogging.h"
#include "boxes/MyViewBase.h"

#include <array>
#include <cmath>

using platform::BezierPath;
using platform::Color;
using platform::GraphicsContext;
using platform::Point;
using platform::Rect;
using platform::Shadow;
using platform::Size;

namespace {

// The outline's corners grown by gap (negative shrinks).
std::array<Point, 4> corners(const MyViewBase& box, float gap)
{
    std::array<Point, 8> p;
    box.GetFourPoints(p, double(gap));
    return { p[0], p[1], p[2], p[3] };
}

BezierPath quad(const std::array<Point, 4>& q)
{
    BezierPath path;
    path.moveTo(q[0]);
    path.lineTo(q[1]);
    path.lineTo(q[2]);
    path.lineTo(q[3]);
    path.closePath();
    return path;
}

// An inner shadow of the background quad, turning with the box.
void drawBoxShadow(const MyViewBase& box, const BezierPath& background, GraphicsContext& ctx)
{
    if (box.boxShadowOffsetSize() <= 0 || !box.boxShadowColor())
        return;
    const double opacity = double(box.layerOpacity());
    const double o = box.boxShadowOffsetSize();
    const double a = (box.rotationAngle() + box.boxShadowAngle()) * 3.141592 / 180.0;
    const Size offset(o * std::cos(a), o * std::sin(a));
    const double blur = std::max(0, box.boxShadowBlurSize());
    const Color s = box.boxShadowColor()->withAlpha(box.boxShadowColor()->alpha * opacity);
    // Opaque inside the layer: a translucent quad could not erase its own offset copy, and a
    // box below full opacity would be washed over entirely. The opacity reaches the band once,
    // through the layer's alpha.
    const Color c = s.withAlpha(1.0);

    platform::GStateGuard guard(ctx);
    ctx.clipToPath(background);
    // The layer is composited with the shadow colour's alpha and casts the shadow once more;
    // inside it, the quad erases itself where its own offset shadow lies, leaving the band
    // along the edges that the shadow leaves uncovered.
    ctx.setShadow(Shadow { offset, blur, s });
    ctx.setAlpha(s.alpha);
    ctx.beginTransparencyLayer();
    ctx.setShadow(Shadow { offset, blur, c });
    ctx.setBlendMode(platform::BlendMode::SourceOut);
    ctx.setFillColor(c);
    ctx.fillPath(background);
    ctx.endTransparencyLayer();
}

} // namespace

MyTextViewSuper::MyTextViewSuper(const Rect& frame)
    : platform::View(frame)
{
}

MyViewBase* MyTextViewSuper::box() const
{
    return subviewCount() > 0 ? dynamic_cast<MyViewBase*>(subviewAt(0)) : nullptr;
}

bool MyTextViewSuper::drawsDuring(const WarpCaptureRect& capture, const Rect& dirty)
{
    return !capture.capturing || dirty.intersects(capture.rect);
}

BezierPath MyTextViewSuper::backgroundPath(const MyViewBase& box)
{
    return quad(corners(box, -float(box.borderSize()) / 2.0f));
}

std::optional<BezierPath> MyTextViewSuper::borderPath(const MyViewBase& box)
{
    if (box.borderSize() <= 0)
        return std::nullopt;
    const float half = float(box.borderSize()) / 2.0f;
    const auto outer = corners(box, half);
    const auto inner = corners(box, -half);
    // Without the stray move to the container's origin that the bands once began with: it
    // widened the path's bounds, so a gradient or picture border changed as the box moved,
    // though a moved box must look the same wherever it stands.
    BezierPath path;
    for (int k = 1; k <= 4; ++k) {
        path.moveTo(outer[k - 1]);
        path.lineTo(outer[k % 4]);
        path.lineTo(inner[k % 4]);
        path.lineTo(inner[k - 1]);
        path.closePath();
    }
    return path;
}

void MyTextViewSuper::drawRect(const Rect& dirty, GraphicsContext& ctx)
{
    qCDebug(lcBoxes).noquote() << QString::asprintf("drawRect-MyTextViewSuper:%f %f %f %f",
        dirty.x(), dirty.y(), dirty.width(), dirty.height());
    if (!drawsDuring(gWarpCaptureRect, dirty))
        return;
    const MyViewBase* b = box();
    if (!b)
        return;
    const double opacity = double(b->layerOpacity());
    const double turn = b->rotationAngle();

    // The outline is already turned with the box, and so is each fill's angle: the fill
    // drawing is told the turn so that linear gradients follow the box as pictures do.
    const BezierPath background = backgroundPath(*b);
    SZGradient::drawGradient(
        b->backColor().gradientWithOpacity(opacity, turn), background, ctx, turn);
    if (const auto border = borderPath(*b))
        SZGradient::drawGradient(
            b->borderColor().gradientWithOpacity(opacity, turn), *border, ctx, turn);
    drawBoxShadow(*b, background, ctx);
}
