#include "boxes/MyTextViewSuper.h"

#include "boxes/BoxFrameDrawing.h"
#include "boxes/BoxStatics.h"
#include "boxes/BoxesLogging.h"
#include "boxes/MyViewBase.h"

using platform::BezierPath;
using platform::GraphicsContext;
using platform::Rect;

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
    const BezierPath background = BoxFrame::insideBorder(*b);
    SZGradient::drawGradient(
        b->backColor().gradientWithOpacity(opacity, turn), background, ctx, turn);
    if (const auto border = BoxFrame::borderBands(*b))
        SZGradient::drawGradient(
            b->borderColor().gradientWithOpacity(opacity, turn), *border, ctx, turn);
    // The box shadow is an inner shadow of the background, cast by its layer as well.
    BoxFrame::drawInnerShadow(*b, background,
        { b->boxShadowColor(), b->boxShadowAngle(), b->boxShadowOffsetSize(),
            b->boxShadowBlurSize(), true },
        ctx);
}
