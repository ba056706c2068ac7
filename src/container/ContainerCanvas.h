#pragma once
// What the box container asks of the picture canvas that holds it: the working picture's size
// (the space of the boxes), the zoom, the visible part of the canvas and the hint bubble. The
// canvas implements it; the container holds a plain pointer, since the canvas owns the
// container.
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"
#include "platform/geometry/Size.h"

#include <optional>

class MyInstantAlphaView;

namespace platform {
class View;
}

class ContainerCanvas {
public:
    virtual ~ContainerCanvas() = default;

    // The working picture's size in points; nothing while there is no picture.
    virtual std::optional<platform::Size> workingImageSize() const = 0;
    // The zoom (1 = 100 %) as the canvas stores it; the container guards it (zoomScale()).
    virtual double customDrawingZoomScale() const = 0;
    // The visible part of the canvas, in the canvas view's coordinates.
    virtual platform::Rect visibleRect() const = 0;
    // The hint bubble; null while the canvas has none.
    virtual MyInstantAlphaView* hintBubble() const = 0;
    // The canvas view the hint frames are given in, for converting container points; null
    // when the container is not in the canvas's tree (the zoom then scales the point).
    virtual const platform::View* canvasView() const { return nullptr; }
};
