// The canvas view's pointer routing (the tool controls in brush mode, the box layer
// otherwise), gestures, tracking and the box requests it forwards to the box layer.
#include "canvas/CanvasLogging.h"
#include "canvas/CanvasPanning.h"
#include "canvas/CanvasView.h"
#include "canvas/CanvasWindow.h"
#include "canvas/PaintView.h"
#include "canvas/RenderView.h"
#include "container/MyInstantAlphaView.h"
#include "container/TextViewContainer.h"
#include "platform/ui/ViewHost.h"

using namespace platform;

namespace canvas {

// ---- box requests

void CanvasView::newTextBox(ContainerDelegate* sender)
{
    if (TextViewContainer* c = textViewContainer()) {
        c->setDelegate(sender);
        c->newTextBox();
    }
}

void CanvasView::newImageBox(ContainerDelegate* sender, const Image& image)
{
    if (TextViewContainer* c = textViewContainer()) {
        c->setDelegate(sender);
        c->newImageBox(image);
    }
}

void CanvasView::newShapeBox(ContainerDelegate* sender, int type)
{
    if (TextViewContainer* c = textViewContainer()) {
        c->setDelegate(sender);
        c->newShapeBox(type);
    }
}

void CanvasView::replaceImage(const Image& image)
{
    if (TextViewContainer* c = textViewContainer())
        c->replaceImage(image);
}

void CanvasView::removeAllTextBoxSelection()
{
    if (TextViewContainer* c = textViewContainer())
        c->removeAllSelection();
}

void CanvasView::instantAlpha()
{
    MyInstantAlphaView* bubble = instantAlphaView();
    TextViewContainer* c = textViewContainer();
    if (!bubble || !c)
        return;
    bubble->setHidden(false);
    const Rect v = visibleRect();
    bubble->setFrame({ v.origin.x + v.size.width / 2 - 150, v.origin.y + 30, 300, 50 });
    bubble->setString(QStringLiteral(
        "Click the color to make it transparent.\nDrag to make similar colors transparent"));
    bubble->setLinesCount(2);
    c->instantAlpha();
}

void CanvasView::redMaskChanged(long value)
{
    if (RenderView* top = renderView()) {
        top->setRedmask(int(value != 0));
        redMaskDidChange();
    }
}

// ---- pointer routing

void CanvasView::forwardToBoxes(bool (View::*handler)(const Event&), const Event& event)
{
    // What the box layer passes up its responder chain comes back here: it goes no further.
    TextViewContainer* boxes = textViewContainer();
    if (!boxes || m_forwarding)
        return;
    m_forwarding = true;
    (boxes->*handler)(event);
    m_forwarding = false;
}

View* CanvasView::hitTest(const Point& pointInSuperview)
{
    // In brush mode every press over the canvas is the brush's, whatever lies under it: the
    // paint view's where it lies (it takes its strokes itself), the canvas's routing elsewhere.
    View* hit = View::hitTest(pointInSuperview);
    ToolControls* c = toolControls();
    if (!hit || !c || !c->isPaintViewShowed())
        return hit;
    PaintView* paint = paintView();
    return paint && hit->isDescendantOf(paint) ? hit : this;
}

bool CanvasView::mouseDown(const Event& event)
{
    ToolControls* c = toolControls();
    if (!c || !c->isPaintViewShowed())
        return true; // box mode: the box layer gets its presses itself
    m_mouseDown = true;
    updateMouseState();
    prepUndoData();
    c->mouseDownAt(event.locationInWindow(), event);
    return true;
}

bool CanvasView::mouseDragged(const Event& event)
{
    qCDebug(lcCanvas, "mouseDragged-canvascontrols");
    ToolControls* c = toolControls();
    if (c && c->isPaintViewShowed())
        c->mouseDraggedTo(event.locationInWindow(), event);
    else
        forwardToBoxes(&View::mouseDragged, event);
    return true;
}

bool CanvasView::mouseMoved(const Event& event)
{
    ToolControls* c = toolControls();
    if (c && c->isPaintViewShowed())
        c->mouseMovedTo(event.locationInWindow(), event);
    else
        forwardToBoxes(&View::mouseMoved, event);
    return true;
}

bool CanvasView::mouseUp(const Event& event)
{
    ToolControls* c = toolControls();
    if (c && c->isPaintViewShowed()) {
        m_mouseDown = false;
        updateMouseState();
        c->mouseUpAt(event.locationInWindow(), event);
        logUndoData();
    } else {
        forwardToBoxes(&View::mouseUp, event);
    }
    return true;
}

bool CanvasView::mouseEntered(const Event& event)
{
    (void)event;
    m_mouseInside = true;
    updateMouseState();
    return true;
}

bool CanvasView::mouseExited(const Event& event)
{
    (void)event;
    m_mouseInside = false;
    updateMouseState();
    return true;
}

void CanvasView::updateMouseState()
{
    if (ToolControls* c = toolControls())
        c->updateMouseState();
}

bool CanvasView::scrollWheel(const Event& event)
{
    qCDebug(lcCanvas, "scroll Wheel");
    if (m_window)
        m_window->scrollWheel(event);
    return true;
}

bool CanvasView::rotateWithEvent(const Event& event)
{
    qCDebug(lcCanvas, "rotate event");
    if (ToolControls* c = toolControls())
        c->gestureRotateWithDelta(event.rotation(), event);
    return true;
}

bool CanvasView::magnifyWithEvent(const Event& event)
{
    if (ToolControls* c = toolControls())
        c->gestureMagnify(event.magnification(), event);
    return true;
}

void CanvasView::updateTrackingAreas()
{
    if (m_trackingArea)
        removeTrackingArea(m_trackingArea);
    m_trackingArea = addTrackingArea(imageRect(),
        TrackingMouseEnteredAndExited | TrackingMouseMoved | TrackingActiveInKeyWindow);
    // Called when the tree gets its host: the panning watches that widget.
    m_panning->setHost(host());
}

} // namespace canvas
