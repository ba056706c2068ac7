#pragma once
// The preview pictures of the document window's eleven effect sliders: each slider shows its
// effect at four strengths over the window's thumbnail of the original picture, and asks the
// window for the block that draws them (DocumentWindow::previewBlockFor).
#include "platform/graphics/Image.h"

namespace sliderpreview {

// Which effect a slider previews; one per effect slider of the window.
enum class Kind {
    DrawSize, // a white dab of the brush's size
    DrawHardness, // the artwork "brushPreview-1" to "-4" in the middle
    DrawOpacity, // a white dab of the brush's opacity
    Aperture, // blurred
    Vignette, // darkened towards the corners
    Saturation, // colour controls
    ImageBoxSaturation, // colour controls
    ZoomAndStraighten, // enlarged and turned
    Zoom, // enlarged
    TextboxOpacity, // faded
    TextboxAngle, // turned
};

// Preview `index` (0 to 3) of `source` at strength v for a slider whose maximum is maxValue.
// The picture effects (blur, vignette, saturation, zoom) are 100 x 100 renders of the imaging
// engine; the others keep the source's size. Null for a null source or a non-finite strength.
platform::Image preview(
    Kind kind, const platform::Image& source, int index, double v, double maxValue);

} // namespace sliderpreview
