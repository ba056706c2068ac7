#include "boxes/MyShapeSuper.h"

#include "boxes/BoxFrameDrawing.h"
#include "boxes/BoxesLogging.h"
#include "boxes/MyShapeView.h"
#include "boxes/ShapeOutline.h"

using platform::AffineTransform;
using platform::BezierPath;
using platform::GraphicsContext;
using platform::Rect;

namespace {

Rect grown(const Rect& r, double by)
{
    return Rect(r.x() - by, r.y() - by, r.width() + 2.0 * by, r.height() + 2.0 * by);
}

// The band of the stroke, centred on the outline, filled with the stroke fill. The fill's
// geometry is the outline's bounds; a picture is placed on the bounds of the unturned outline,
// so that it turns with the box rather than growing with its turned bounds.
void drawStroke(const MyShapeView& v, const BezierPath& outline, double turn, GraphicsContext& ctx)
{
    const double s = v.strokeSize();
    platform::StrokeStyle style;
    style.width = s;
    style.cap = platform::LineCap::Butt;
    style.join = platform::LineJoin::Bevel;
    style.miterLimit = 0.0;
    const BezierPath band = outline.strokedPath(style);
    const Rect bounds = grown(outline.bounds(), s);
    const platform::Point c = bounds.center();
    const AffineTransform unturn = AffineTransform::makeTranslation(c.x, c.y)
                                       .rotated(-turn * 3.141592 / 180.0)
                                       .translated(-c.x, -c.y);
    const Rect orgBounds = grown(outline.transformed(unturn).bounds(), s);
    SZGradient::drawStrokeGradient(
        v.strokeColor().gradientWithOpacity(v.layerOpacity(), turn), band, bounds, orgBounds, ctx);
}

} // namespace

MyShapeSuper::MyShapeSuper(const Rect& frame)
    : platform::View(frame)
{
}

MyShapeView* MyShapeSuper::box() const
{
    return subviewCount() > 0 ? dynamic_cast<MyShapeView*>(subviewAt(0)) : nullptr;
}

std::optional<BezierPath> MyShapeSuper::shapePath(const MyShapeView& shape)
{
    return ::shapePath(shape.model(), shape.corners());
}

void MyShapeSuper::drawRect(const Rect& dirty, GraphicsContext& ctx)
{
    platform::View::drawRect(dirty, ctx);
    const MyShapeView* v = box();
    if (!v)
        return;
    const double opacity = double(v->layerOpacity());
    const double turn = v->rotationAngle();
    // The fills turn with the box: the outline is already turned, and the fill drawing is told
    // so that linear gradients follow it as pictures do.
    // A fill of kind 0 paints a clear colour, which changes nothing under the normal blend
    // mode: it is skipped rather than rasterised over the whole box.
    auto fill = [&](const SZGradient& f, const BezierPath& path) {
        if (f.gradientType != SZGradient::NoFill)
            SZGradient::drawGradient(f.gradientWithOpacity(opacity, turn), path, ctx, turn);
    };

    if (!v->isLineType())
        fill(v->backColor(), BoxFrame::insideBorder(*v));

    if (const auto outline = shapePath(*v)) {
        // An open line's outline is already its band with the heads.
        const bool openLine = v->isOpenLine();
        fill(openLine ? v->strokeColor() : v->overlayColor(), *outline);
        if (!openLine && v->strokeSize() != 0)
            drawStroke(*v, *outline, turn, ctx);
        // The shadow is set before the layer too, so the layer casts it again as it is
        // composited, as the text frame's box shadow does.
        BoxFrame::drawInnerShadow(*v, *outline,
            { v->innerShadowColor(), v->innerShadowAngle(), v->innerShadowOffsetSize(),
                v->innerShadowBlurSize(), true },
            ctx);
    }

    if (const auto border = BoxFrame::borderBands(*v))
        fill(v->borderColor(), *border);
}
