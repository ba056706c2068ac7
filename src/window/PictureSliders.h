#pragma once
// The picture sliders of the sidebar's picture container, one row each. The window makes,
// wires, previews, reverts and saves them from this table, and the document file and the
// window's adapter loop over it, so a new filter's slider is one row here.
//
// A slider's position runs 0..1; `apply` turns it into the canvas's value. Rows keep the
// sidebar's order, top down, which is also the order their document keys are written in.
#include "window/DocumentWindowOutlets.h"
#include "window/DocumentWindowPreviews.h"

#include <QString>
#include <span>

namespace canvas {
class CanvasControls;
}

struct PictureSlider {
    ImageEffectIntensitySlider* DocumentWindowOutlets::*outlet;
    // The outlet's own name: the controls data keep its position as "_<name>_value".
    const char* outletName;
    const char* title;
    double start; // where it stands when the window opens, and after Revert
    double maxValue;
    // A drag or a held key is one step of the document's history (undo moves it back).
    bool registersUndo;
    bool showsDegrees; // the value text is an angle
    // Its action ends a running colour removal first (the window's prologue).
    bool endsColourRemoval;
    // The document file's key for its position; null for a slider whose effect the file keeps
    // in another form (the canvas's zoom and straightening).
    const char* documentKey;
    sliderpreview::Kind preview;
    // Hands the slider's position (with its maximum) to the canvas.
    void (*apply)(canvas::CanvasControls& canvas, double value, double maxValue);

    QString controlsDataKey() const;
};

// Every picture slider, top down.
std::span<const PictureSlider> pictureSliders();

// The zoom slider's 0..1 is a canvas scale of 1..2; the straighten slider's 0..1 is -0.035..
// +0.035 radians, level at the middle. The window shows a reopened document's zoom with these.
constexpr double kStraightenRange = 0.07;
