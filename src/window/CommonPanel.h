#pragma once
// The common sliders of the box inspector: the opacity and rotation of every selected box and
// the saturation of the selected picture boxes.
#include "window/InspectorPanel.h"

class ImageEffectIntensitySlider;

class CommonPanel : public InspectorPanel {
public:
    explicit CommonPanel(InspectorHost& host);

    // Each slider shows the selected boxes' common value, or hides its knob where they differ;
    // the saturation reads picture boxes only.
    void refresh(const std::vector<MyViewBase*>& boxes) override;

    // The slider's value (0..1) becomes the boxes' opacity.
    void adjustTextBoxOpacity(ImageEffectIntensitySlider& sender);
    // The slider's value times 360 becomes the boxes' rotation in degrees.
    void adjustTextBoxAngle(ImageEffectIntensitySlider& sender);
    // The slider's value times its maximum becomes the picture boxes' saturation.
    void adjustImageBoxSaturation(ImageEffectIntensitySlider& sender);

    // The angle slider alone, from a rotation in degrees.
    void updateBoxAngle(float degrees);
};
