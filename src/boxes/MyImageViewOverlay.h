#pragma once
// Drawn above an image box's picture: the inner shadow inside the outline shrunk by half the
// border, and the border ring centred on the outline. Covers the container, like its wrapper.
#include "platform/ui/View.h"
#include "platform/ui/ViewPointer.h"

class MyImageView;

class MyImageViewOverlay : public platform::View {
public:
    explicit MyImageViewOverlay(const platform::Rect& frame);

    void setImageView(MyImageView* imageView);
    MyImageView* imageView() const;

    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

private:
    // A sibling in the wrapper: held weakly, and nothing is drawn once it is gone.
    platform::ViewPointer _imgView;
};
