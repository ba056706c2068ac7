#pragma once
// The export composition: the filtered picture, the boxes, then the masked picture over them,
// drawn into one new image of the size asked for (the picture's aspect kept).
//
// The output is rendered in stripes of rows into one buffer, so that large pictures never
// need a whole second copy; the box layer is rendered per stripe at the output scale, never
// at the screen's zoom, so an export does not depend on the window it came from.
#include "platform/geometry/Rect.h"
#include "platform/geometry/Size.h"
#include "platform/imaging/FilterImage.h"

#include <QImage>
#include <functional>
#include <optional>

namespace canvas {

// The whole-pixel size that keeps the working picture's aspect inside requested (equal
// aspects within 0.01 keep requested as it is), at least 1 x 1. Nothing for an empty
// picture, a request that is not finite or not positive, or an output over the renderer's
// limit.
std::optional<QSize> fittedOutputSize(
    const platform::Size& working, const platform::Size& requested);

// The box layer over region (working coordinates, y-up) at scale: premultiplied ARGB32 of the
// region's output pixels, top row first. A null image draws no boxes.
using BoxLayerRender = std::function<QImage(const platform::Rect& region, double scale)>;

// back, the boxes and composite over the working picture, at out pixels, all over backdrop
// (where a picture with transparency lets it through, as the canvas shows it on screen).
// Sizes under the picture's own render on the display path, the rest exactly. Null when a
// render fails.
QImage composeExport(const platform::FilterImage& back, const platform::FilterImage& composite,
    const platform::Size& working, const QSize& out, const BoxLayerRender& boxes,
    int stripeRows = 512, QColor backdrop = Qt::transparent);

} // namespace canvas
