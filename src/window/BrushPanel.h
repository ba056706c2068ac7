#pragma once
// The mask brush's controls: the size, hardness and opacity sliders, the paint or erase
// segments and the painting view's zoom. Each control hands its value to the canvas's brush
// (or the painting view's zoom) after the window's prologue, which ends colour removal.
//
// Not an inspector panel: the brush edits no box, so there is no selection to show and no box
// change run to open around a drag; the strokes it paints are the canvas's own undo steps. Its
// three sliders are one table, as the picture sliders are: the window makes them, starts them
// and gives them previews from it.
#include "window/DocumentWindowOutlets.h"
#include "window/DocumentWindowPreviews.h"

#include <QObject>
#include <functional>
#include <span>

namespace canvas {
class CanvasControls;
class CanvasCustomShapeControls;
} // namespace canvas

struct BrushSlider {
    ImageEffectIntensitySlider* DocumentWindowOutlets::*outlet;
    const char* title;
    double start;
    sliderpreview::Kind preview;
    // Hands the slider's position to the brush; the canvas gives the painting view's size.
    void (*apply)(
        canvas::CanvasControls& canvas, canvas::CanvasCustomShapeControls& brush, double value);
};

class BrushPanel : public QObject {
public:
    using CanvasSource = std::function<canvas::CanvasControls*()>;
    // Wires the controls; canvas answers the window's canvas, beforeAction is its prologue.
    BrushPanel(const DocumentWindowOutlets& controls, CanvasSource canvas,
        std::function<void()> beforeAction);

    // Every brush slider, top down.
    static std::span<const BrushSlider> sliders();

    // The actions: a slider of the table, the paint or erase segments (1 erases), the zoom.
    void adjustBrushSlider(const BrushSlider& row);
    void adjustDrawMode();
    void customZoomSliderUpdate();

private:
    // The canvas's brush, while the mask tool is the canvas's controls object; else null.
    canvas::CanvasCustomShapeControls* brush() const;

    const DocumentWindowOutlets& m_controls;
    CanvasSource m_canvas;
    std::function<void()> m_beforeAction;
};
