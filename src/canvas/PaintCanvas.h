#pragma once
// What the paint view asks of the canvas it paints on: the picture's working size and zoomed
// rectangle, where the picture is shown, the mask it hands over after every dab, and a guard
// for deferred calls.
#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/Rect.h"
#include "platform/geometry/Size.h"
#include "platform/imaging/FilterImage.h"

class QObject;

namespace canvas {

class PaintCanvas {
public:
    virtual ~PaintCanvas() = default;
    // The working picture's size (zero before a picture).
    virtual platform::Size workingSize() const = 0;
    // (0, 0, working size × zoom); empty before a picture and a zoom.
    virtual platform::Rect imageRect() const = 0;
    // Picture coordinates to the working-size coordinates the picture is shown in (its zoom,
    // offset and straightening). The mask is kept in picture coordinates, so every dab goes
    // through the inverse.
    virtual platform::AffineTransform affineTransformForCustomDrawing() const { return {}; }
    // A ready mask in picture coordinates at working size (null: none, which starts a mask
    // render) and the rectangle of the shown picture it changed (Rect::null(): all of it).
    virtual void setPrerenderedMask(const platform::FilterImage& mask, const platform::Rect& dirty)
        = 0;
    // Lives exactly as long as the canvas.
    virtual QObject* guard() = 0;
};

} // namespace canvas
