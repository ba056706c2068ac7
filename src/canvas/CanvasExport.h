#pragma once
// The export composition: the filtered picture, the boxes, then the masked picture over them,
// drawn into one new image of the size asked for (the picture's aspect kept).
//
// The output is rendered in stripes of rows and handed on stripe by stripe, so that a large
// picture is never held whole on its way to a file; the box layer is rendered per stripe at the
// output scale, never at the screen's zoom, so an export does not depend on the window it came
// from.
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

// Takes the composition one stripe at a time, top first; false to stop.
using ExportSink = std::function<bool(const QImage& stripe)>;

// Rows per stripe: a 6000-pixel-wide stripe and the layers it is made of stay a few megabytes.
constexpr int kExportStripeRows = 256;

// back, the boxes and composite over the working picture, at out pixels, all over backdrop
// (where a picture with transparency lets it through, as the canvas shows it on screen),
// handed to sink in stripes of stripeRows rows (the last one shorter), top first, each a new
// premultiplied ARGB32 image that sink may keep. Sizes under the picture's own render on the
// display path, the rest exactly. The picture's layers are rendered a stripe ahead on another
// thread; boxes and sink are called on this one. False when a render failed or sink refused
// a stripe; nothing more is made then.
bool composeExportStripes(const platform::FilterImage& back, const platform::FilterImage& composite,
    const platform::Size& working, const QSize& out, const BoxLayerRender& boxes,
    const ExportSink& sink, int stripeRows = kExportStripeRows, QColor backdrop = Qt::transparent);

// The stripes produce hands its sink, joined into one image of out pixels; null when produce
// fails or its stripes do not fill out exactly.
QImage joinedStripes(const QSize& out, const std::function<bool(const ExportSink&)>& produce);

// The same composition as one image; null when a render fails.
QImage composeExport(const platform::FilterImage& back, const platform::FilterImage& composite,
    const platform::Size& working, const QSize& out, const BoxLayerRender& boxes,
    int stripeRows = kExportStripeRows, QColor backdrop = Qt::transparent);

} // namespace canvas
