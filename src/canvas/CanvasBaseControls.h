#pragma once
// The canvas's tool controls object: what a tool may do with the pointer and gestures over the
// picture (harmless defaults here), the two drawings every tool must give (its controls and
// its part of the mask), and its undo snapshot. The canvas makes one from its controls class
// and owns it; the controls hold the canvas as their master without owning it.
#include "canvas/CanvasMaskQueue.h"
#include "canvas/CanvasUndo.h"
#include "canvas/CanvasView.h"

namespace platform {
class GraphicsContext;
}

namespace canvas {

class CanvasControls;

class CanvasBaseControls : public ToolControls {
public:
    ~CanvasBaseControls() override = default;

    void setMasterControls(CanvasControls* master) { m_master = master; }
    CanvasControls* masterControls() const { return m_master; }

    virtual void reset() { }
    virtual void drawControls(platform::GraphicsContext& ctx) = 0;
    // What the mask render draws over the working bounds, captured now on the main thread;
    // empty when the tool draws nothing there (the mask is then plain black).
    virtual CanvasMaskQueue::MaskDrawing drawMaskInBounds() const = 0;

    // ---- ToolControls: nothing by default
    bool isPaintViewShowed() const override { return false; }
    void mouseDownAt(const platform::Point&, const platform::Event&) override { }
    void mouseDraggedTo(const platform::Point&, const platform::Event&) override { }
    void mouseMovedTo(const platform::Point&, const platform::Event&) override { }
    void mouseUpAt(const platform::Point&, const platform::Event&) override { }
    // Visibility follows the pointer over the picture.
    void updateMouseState() override;
    void updateFrame() override { }
    void gestureRotateWithDelta(double, const platform::Event&) override { }
    void gestureMagnify(double, const platform::Event&) override { }
    virtual void gestureDragWithDelta(const platform::Point&, const platform::Event&) { }

    bool controlsVisible() const { return m_controlsVisible; }
    // Stores the flag and renders the mask again.
    virtual void setControlsVisible(bool visible);

    virtual CanvasUndoData undoData() const { return std::nullopt; }
    // Puts back the picture's scale, straightening and offset where the snapshot has them.
    virtual void restoreWithUndoData(const CanvasSnapshot& data);

    // The view zoom: the picture rectangle's width over the working width (0 without one).
    double scale() const;

private:
    CanvasControls* m_master = nullptr;
    bool m_controlsVisible = false;
};

} // namespace canvas
