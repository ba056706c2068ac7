#include "boxes/MyImageViewOverlay.h"

#include "boxes/MyImageView.h"

#include <array>
#include <cmath>

using platform::BezierPath;
using platform::Color;
using platform::GraphicsContext;
using platform::Point;
using platform::Rect;

namespace {

BezierPath polygon(const std::array<Point, 8>& q)
{
    BezierPath path;
    path.moveTo(q[0]);
    for (int i = 1; i < 4; ++i)
        path.lineTo(q[size_t(i)]);
    path.closePath();
    return path;
}

void drawInnerShadow(const MyImageView& b, const BezierPath& inner, GraphicsContext& ctx)
{
    const double opacity = b.layerOpacity();
    const Color base = b.innerShadowColor().value_or(Color::clear());
    const Color c = base.withAlpha(base.alpha * opacity);
    const double a = (b.rotationAngle() + b.innerShadowAngle()) * 3.141592 / 180.0;
    const double offset = b.innerShadowOffsetSize();
    platform::Shadow shadow;
    // Unlike the drop shadow, the y part is not negated.
    shadow.offset = platform::Size(offset * std::cos(a), offset * std::sin(a));
    shadow.blur = double(b.innerShadowBlurSize());
    shadow.color = c.withAlpha(opacity);

    platform::GStateGuard guard(ctx);
    ctx.clipToPath(inner);
    ctx.setAlpha(c.alpha);
    ctx.beginTransparencyLayer();
    ctx.setShadow(shadow);
    ctx.setBlendMode(platform::BlendMode::SourceOut);
    ctx.setFillColor(shadow.color);
    ctx.fillPath(inner);
    ctx.endTransparencyLayer();
}

void drawBorderRing(const MyImageView& b, const std::array<Point, 8>& outer,
    const std::array<Point, 8>& inner, GraphicsContext& ctx)
{
    BezierPath ring;
    ring.moveTo(Point(0.0, 0.0));
    for (size_t i = 0; i < 4; ++i) {
        const size_t j = (i + 1) % 4;
        ring.moveTo(outer[i]);
        ring.lineTo(inner[i]);
        ring.lineTo(inner[j]);
        ring.lineTo(outer[j]);
        ring.closePath();
    }
    const double turn = b.rotationAngle();
    const SZGradient fill = b.borderColor().gradientWithOpacity(b.layerOpacity(), turn);
    SZGradient::drawGradient(fill, ring, ctx, turn);
}

} // namespace

MyImageViewOverlay::MyImageViewOverlay(const Rect& frame)
    : platform::View(frame)
{
}

void MyImageViewOverlay::setImageView(MyImageView* imageView)
{
    _imgView = imageView;
}

MyImageView* MyImageViewOverlay::imageView() const
{
    return static_cast<MyImageView*>(_imgView.get());
}

void MyImageViewOverlay::drawRect(const Rect&, GraphicsContext& ctx)
{
    const MyImageView* b = imageView();
    if (!b)
        return;
    const double half = double(float(b->borderSize()) * 0.5f);
    std::array<Point, 8> outer, inner;
    b->GetFourPoints(outer, half);
    b->GetFourPoints(inner, -half);
    if (b->innerShadowOffsetSize() > 0)
        drawInnerShadow(*b, polygon(inner), ctx);
    if (b->borderSize() > 0)
        drawBorderRing(*b, outer, inner, ctx);
}
