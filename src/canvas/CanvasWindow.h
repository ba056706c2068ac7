#pragma once
// What the picture canvas asks of the document window around it: the scroll view it sits in
// (the size of its visible area, what part of the document view shows, the document view's
// size, scrolling), the document's own undo manager and the delegate that follows the boxes.
// The window implements it; the canvas holds a plain pointer, since the window owns the
// canvas.
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"
#include "platform/geometry/Size.h"

class ContainerDelegate;
class DocumentWindowRef;
namespace platform {
class Event;
class UndoManager;
} // namespace platform

namespace canvas {

class CanvasWindow {
public:
    virtual ~CanvasWindow() = default;
    // The size of the scroll view's visible area: what the picture is centred in and fitted to.
    virtual platform::Size viewportSize() const = 0;
    // The part of the document view (the canvas's superview) that shows, in its coordinates.
    virtual platform::Rect visibleRect() const = 0;
    virtual platform::Size documentSize() const = 0;
    virtual void setDocumentSize(const platform::Size& size) = 0;
    // Scrolls the document view so that this point of it is at the visible area's origin.
    virtual void scrollTo(const platform::Point& point) = 0;
    // A wheel event over the canvas, for the scroll view.
    virtual void scrollWheel(const platform::Event& event) { (void)event; }
    // The undo manager of the canvas's own document (never the frontmost one's).
    virtual platform::UndoManager* undoManager() const = 0;
    virtual ContainerDelegate* containerDelegate() const = 0;
    virtual DocumentWindowRef* documentWindowRef() const { return nullptr; }
};

} // namespace canvas
