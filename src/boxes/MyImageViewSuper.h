#pragma once
// The wrapper of an image box: holds the image view and, above it, its overlay, and draws the
// box background under the picture. It covers the container, so its coordinates are the
// container's.
#include "platform/ui/View.h"
#include "platform/ui/ViewPointer.h"

#include <memory>

class MyImageView;
class MyImageViewOverlay;

class MyImageViewSuper : public platform::View {
public:
    // initWithImageView:frame: adds the image view, then an overlay of the same frame above it.
    MyImageViewSuper(std::unique_ptr<MyImageView> imageView, const platform::Rect& frame);
    ~MyImageViewSuper() override;

    // Null once the view has been taken out and destroyed.
    MyImageView* imgView() const;
    MyImageViewOverlay* imgViewOverlay() const;

    // The background in the outline shrunk by half the border width. The area is cleared
    // first, inside this view's own layer only, so that nothing under the box is erased.
    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

private:
    // Owned as subviews; held weakly here since a subview can be taken out.
    platform::ViewPointer _imgView;
    platform::ViewPointer _imgViewOverlay;
};
