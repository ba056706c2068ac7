#include "boxes/MyImageViewSuper.h"

#include "boxes/BoxFrameDrawing.h"
#include "boxes/BoxesLogging.h"
#include "boxes/MyImageView.h"
#include "boxes/MyImageViewOverlay.h"

using platform::BezierPath;
using platform::GraphicsContext;
using platform::Rect;

MyImageViewSuper::MyImageViewSuper(std::unique_ptr<MyImageView> imageView, const Rect& frame)
    : platform::View(frame)
{
    _imgView = addSubview(std::move(imageView));
    auto overlay = std::make_unique<MyImageViewOverlay>(frame);
    overlay->setImageView(static_cast<MyImageView*>(_imgView.get()));
    _imgViewOverlay = addSubview(std::move(overlay));
}

MyImageViewSuper::~MyImageViewSuper() = default;

MyImageView* MyImageViewSuper::imgView() const
{
    return static_cast<MyImageView*>(_imgView.get());
}

MyImageViewOverlay* MyImageViewSuper::imgViewOverlay() const
{
    return static_cast<MyImageViewOverlay*>(_imgViewOverlay.get());
}

void MyImageViewSuper::drawRect(const Rect& dirty, GraphicsContext& ctx)
{
    platform::View::drawRect(dirty, ctx);
    qCDebug(lcBoxes) << "myimageviewsuper ondraw";
    // The image view and the overlay are drawn after this view as its subviews; nothing needs
    // marking from here (drawing never invalidates).
    const MyImageView* b = imgView();
    if (subviewCount() == 0 || !b)
        return;
    const BezierPath path = BoxFrame::insideBorder(*b);
    const double turn = b->rotationAngle();
    const SZGradient fill = b->backColor().gradientWithOpacity(b->layerOpacity(), turn);

    // The platform clears inside the box's own layer, where nothing else has been drawn; a
    // transparency layer limited to the outline gives the clear the same reach here.
    platform::GStateGuard guard(ctx);
    ctx.clipToPath(path);
    ctx.beginTransparencyLayer();
    ctx.saveGState();
    ctx.setBlendMode(platform::BlendMode::Clear);
    ctx.fillPath(path);
    ctx.restoreGState();
    SZGradient::drawGradient(fill, path, ctx, turn);
    ctx.endTransparencyLayer();
}
