#pragma once
// What a QZCIImageView shows its picture through: a view of the renderer's own, which the image
// view places by its content mode, and the image to show in it, already scaled to the display's
// pixels so that its extent fills that view's bounds.
#include "platform/imaging/FilterImage.h"
#include "platform/ui/View.h"

#include <memory>

namespace canvas {

class QZCIImageRenderer {
public:
    virtual ~QZCIImageRenderer() = default;

    // Shows img from now on; a null image shows nothing.
    virtual void renderImage(const platform::FilterImage& img) = 0;
    // The renderer's view, or null once the tree that shows it has destroyed it.
    virtual platform::View* view() const = 0;
    // Hands the view to the image view that shows it (once; null afterwards).
    virtual std::unique_ptr<platform::View> takeView() = 0;
};

} // namespace canvas
