#pragma once
// The fills the text panels own: the text fill well (btFontColor), written into the edited
// range or the whole text of every selected text box; the background and overlay wells with
// their remove buttons, sent to the box layer; and the plain text colour chosen in the shared
// colour panel. The border and stroke wells belong to the border and stroke panel.
#include "window/InspectorPanel.h"

class ColoredButton;
class QPushButton;
class TextViewContainer;
class GradientCtrl;
class SZGradient;
namespace platform {
class Color;
class ColorPanel;
} // namespace platform

class FillPanel : public InspectorPanel {
public:
    explicit FillPanel(InspectorHost& host);

    void refresh(const std::vector<MyViewBase*>& boxes) override;
    void showEditedText(MyTextBox& box, platform::TextRange range) override;

    // A well's edit: the text fill, or a box fill sent to the layer; the well's remove button
    // shows once the fill is one.
    void gradientCtrlChanged(GradientCtrl& sender);
    void removetextboxBackgroundColor();
    void removeOverlayColor();
    // Opens the shared colour panel on the text colour: picks then go to
    // fontColorChangedwhileselecting.
    void fontColorClicked(ColoredButton& sender);
    // A colour picked in the shared colour panel while it edits the text colour: written as a
    // colour fill (and the foreground colour) over the edited range or the whole text of every
    // selected text box.
    void fontColorChangedwhileselecting(platform::ColorPanel& sender);
    // The detached colour panel's action: does nothing.
    static void emptyColorChanged(platform::ColorPanel& sender);
    // Takes the shared colour panel off whatever it edits while text is rewritten.
    static void detachColorPanel();
    // Points the shared colour panel at the text colour of this window: each pick goes to
    // fontColorChangedwhileselecting.
    void attachColorPanel();

    // The object name of the Font panel's text colour swatch, whose click is fontColorClicked.
    static const QString kTextColourButton;
    // The colour panel's identifiers.
    static const QString kTextColorIdentifier;
    static const QString kEmptyColorIdentifier;

private:
    void writeTextFill(const SZGradient& fill);
    void showTextFill(const SZGradient& fill);
    void removeFill(GradientCtrl* well, QPushButton* minus,
        void (TextViewContainer::*message)(const SZGradient&));
    ColoredButton* textColourButton() const;
};
