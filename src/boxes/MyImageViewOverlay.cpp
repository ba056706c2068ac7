#include "boxes/MyImageViewOverlay.h"

#include "boxes/BoxFrameDrawing.h"
#include "boxes/MyImageView.h"

using platform::GraphicsContext;
using platform::Rect;

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
    BoxFrame::drawInnerShadow(*b, BoxFrame::insideBorder(*b),
        { b->innerShadowColor(), b->innerShadowAngle(), b->innerShadowOffsetSize(),
            b->innerShadowBlurSize(), false },
        ctx);
    if (const auto ring = BoxFrame::borderBands(*b)) {
        const double turn = b->rotationAngle();
        SZGradient::drawGradient(
            b->borderColor().gradientWithOpacity(b->layerOpacity(), turn), *ring, ctx, turn);
    }
}
