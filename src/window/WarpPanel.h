#pragma once
// The directions panel of the box inspector: the perspective and the curve of the selected
// boxes, each shown as a slider, a stepper and a percentage field, and the direction each
// bends along.
#include "window/InspectorPanel.h"

class CustomSegmentedCtrl;
class ImageEffectIntensitySlider;
class QLineEdit;
namespace platform {
class Stepper;
}

class WarpPanel : public InspectorPanel {
public:
    // Percentages the controls take: a perspective leans either way, a curve's size has no
    // sign (its side is the direction).
    static constexpr int kMaxPerspective = 100;
    static constexpr int kMaxCurve = 100;

    explicit WarpPanel(InspectorHost& host);

    void refresh(const std::vector<MyViewBase*>& boxes) override;

    // Slider position v over maximum M: perspective 2Mv - 100 %, curve Mv %.
    void adjustPerspectiveSlider(ImageEffectIntensitySlider& sender);
    void perspectiveStepperChanged(platform::Stepper& sender);
    // The field's leading whole number, held to the stepper's range, goes to every sibling and
    // to the boxes; text without a number changes nothing.
    void perspectiveTextFieldChanged(QLineEdit& sender);
    void adjustCurveSlider(ImageEffectIntensitySlider& sender);
    void curveStepperChanged(platform::Stepper& sender);
    void curveTextFieldChanged(QLineEdit& sender);
    // Curve and perspective back to 0, as one undo step.
    void removeDirections();
    // Segment 0 horizontal, 1 vertical perspective; curve segment 0 up, 1 down. One undo step
    // for every selected box; with no segment chosen or no box selected nothing changes.
    void perspectiveSegmentSelected(CustomSegmentedCtrl& sender);
    void curveSegmentSelected(CustomSegmentedCtrl& sender);

    // The panel from one box alone, its remove button shown.
    void updateDirection(const MyViewBase& box);

private:
    struct Shown;
    void show(const Shown& shown);
    // One of the two amounts: its three siblings; curve or perspective.
    struct Amount {
        ImageEffectIntensitySlider* slider;
        platform::Stepper* stepper;
        QLineEdit* field;
        bool curve;
    };
    Amount perspective() const;
    Amount curve() const;
    static double sliderPosition(const Amount& a, double percent);
    void send(const Amount& a, double value);
    void sliderMoved(const Amount& a, double percent);
    void stepperChanged(const Amount& a);
    void fieldChanged(const Amount& a);
    void setDirections(CustomSegmentedCtrl& sender, bool curve);
};
