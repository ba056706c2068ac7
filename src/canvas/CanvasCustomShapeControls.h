#pragma once
// The brush-mask tool: owns the paint view and shows or hides it (brush mode), passes the
// brush settings on, turns pinches into brush-size or zoom requests to its own window, and
// snapshots the painted mask for undo. A visibility change that arrives while the brush is
// drawing waits until it stops; the last one wins.
#include "canvas/CanvasBaseControls.h"
#include "canvas/PaintView.h"

#include <QObject>
#include <memory>

namespace canvas {

// Set only while a pinch's brush-size request is being posted; the paint view reads it.
extern bool gBrushPinchActive;

class CanvasCustomShapeControls : public CanvasBaseControls, public PaintViewDelegate {
public:
    // Posted with the canvas (as its platform::View pointer) as object and "delta" (the
    // magnification) in the user info.
    static inline const QString kRequestZoom = QStringLiteral("RequestZoom");
    static inline const QString kRequestBrushSize = QStringLiteral("RequestBrushSize");

    CanvasCustomShapeControls() = default;
    ~CanvasCustomShapeControls() override;

    // Makes the paint view over the picture and follows its strokes.
    void reset() override;
    PaintView* paintView() const { return m_paintView; }

    void hidePaintView();
    void showPaintView();
    bool isPaintViewShowed() const override;
    platform::Rect paintViewFrame() const;
    void updateFrame() override;

    void drawControls(platform::GraphicsContext&) override { }
    CanvasMaskQueue::MaskDrawing drawMaskInBounds() const override { return {}; }

    void setEraseMode(bool erase);
    void setBrushSize(double size);
    void setBrushHardness(double hardness);
    void setBrushOpacity(double opacity);
    bool eraseMode() const { return m_eraseMode; }
    double brushSize() const { return m_brushSize; }
    double brushHardness() const { return m_brushHardness; }
    double brushOpacity() const { return m_brushOpacity; }

    void setControlsVisible(bool visible) override;
    void paintViewDrawingModeStarted(PaintView& view, bool active) override;
    void gestureMagnify(double delta, const platform::Event& event) override;

    // The accumulator's pixels whenever they exist, in brush mode or not, so that an undo
    // outside brush mode still has its redo.
    CanvasUndoData undoData() const override;
    void restoreWithUndoData(const CanvasSnapshot& data) override;

    bool isDrawingMode() const { return m_isDrawingMode; }

private:
    PaintView* m_paintView = nullptr;
    // The paint view while brush mode is off (out of the canvas's tree).
    std::unique_ptr<platform::View> m_detached;
    bool m_isDrawingMode = false;
    bool m_hasPendingControlVisible = false;
    bool m_pendingControlsVisible = false;
    bool m_eraseMode = false;
    double m_brushSize = 0;
    double m_brushHardness = 0;
    double m_brushOpacity = 0;
    // Stroke notifications are observed for as long as this lives.
    QObject m_observerContext;
};

} // namespace canvas
