#pragma once
// The drop-shadow panel and the inner-shadow panel, whose segment switch (segmentInnerShadow)
// makes the second family's controls edit the inner shadow (segment 0) or the box shadow.
//
// Each family has a colour well (the shared colour panel edits it), an angle shown by a
// stepper, a field ("90º") and a knob, and a blur and an offset each shown by a stepper, a
// field ("4 pt") and a slider. Whichever of the three the person moves, the other two follow
// and one change message goes to the box layer; a drag of a slider or knob is one undo step,
// and so is a remove button's reset of its whole family.
#include "platform/graphics/Color.h"
#include "window/InspectorPanel.h"
#include "window/ValueRow.h"

#include <array>

class AngleCtrl;
class ColoredButton;
class ImageEffectIntensitySlider;
class QPushButton;
namespace platform {
class ColorPanel;
}

class ShadowPanel : public InspectorPanel {
public:
    explicit ShadowPanel(InspectorHost& host);
    ~ShadowPanel() override;

    void refresh(const std::vector<MyViewBase*>& boxes) override;

    // The colour a new box's shadows have: black at alpha 0.75. A family in this colour with
    // no blur and no offset has nothing to remove.
    static constexpr platform::Color kNoShadowColor { 0, 0, 0, 0.75 };
    // The colour wells' tags; any other tag opens the colour panel detached.
    static constexpr int kShadowColorTag = 202;
    static constexpr int kInnerShadowColorTag = 203;

    // ---- the drop shadow
    void shadowAngleStepperDidChange();
    void shadowAngleValueDidChange();
    void shadowBlurStepperDidChange();
    void shadowBlurValueDidChange();
    void adjustShadowBlur();
    void shadowOffsetStepperDidChange();
    void shadowOffsetValueDidChange();
    void adjustShadowOffset();
    void shadowColorChanged(platform::ColorPanel& panel);
    void removeShadow();

    // ---- the inner shadow, or the box shadow while segment 1 is chosen
    void innerShadowAngleStepperDidChange();
    void innerShadowAngleValueDidChange();
    void innerShadowBlurStepperDidChange();
    void innerShadowBlurValueDidChange();
    void adjustinnerShadowBlur();
    void innerShadowOffsetStepperDidChange();
    void innerShadowOffsetValueDidChange();
    void adjustinnerShadowOffset();
    void innerShadowColorChanged(platform::ColorPanel& panel);
    void removeinnerShadow();
    // The switch: the second family's controls show the chosen family.
    void segmentInnerShadowClicked();

    // Either knob turned to angle degrees; the angle's whole part goes to its family.
    void angleCtrlChanged(AngleCtrl& sender, float angle);
    // A colour well: the shared colour panel opens on its colour (tags 202 and 203), or
    // detached for any other well.
    void textboxColorClicked(const ColoredButton& sender);

private:
    enum Family { Drop, Second };
    enum Value { Angle, Blur, Offset };
    struct Row {
        ValueRow number;
        ImageEffectIntensitySlider* slider = nullptr; // blur and offset
        AngleCtrl* knob = nullptr; // angle
        Family family = Drop;
        Value value = Angle;
    };
    struct FamilyControls {
        ColoredButton* well = nullptr;
        QPushButton* minus = nullptr;
        std::array<Row, 3> rows;
    };

    void stepperDidChange(Row& row);
    void valueDidChange(Row& row);
    void sliderChanged(Row& row);
    void colorChanged(Family family, platform::ColorPanel& panel);
    void removeFamily(Family family);
    // The container message of a row: the second family's goes to the box shadow while the
    // switch shows segment 1.
    void send(const Row& row, int value);
    void sendColor(Family family, const platform::Color& color);
    bool editsBoxShadow() const;
    void showFamilyCaptions(bool boxShadow);
    void wire(Row& row);

    std::array<FamilyControls, 2> m_families;
};
