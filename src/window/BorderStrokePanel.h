#pragma once
// The border panel and the stroke panel: each a fill well and a line width shown in a stepper
// and a field ("3 pt"), and the stroke panel's line-head pop-ups for lines. A remove button
// takes its fill and width back to none as one undo step.
#include "window/InspectorPanel.h"
#include "window/ValueRow.h"

#include <array>

class GradientCtrl;
class QPushButton;
class SZGradient;
class TextViewContainer;

class BorderStrokePanel : public InspectorPanel {
public:
    explicit BorderStrokePanel(InspectorHost& host);
    ~BorderStrokePanel() override;

    void refresh(const std::vector<MyViewBase*>& boxes) override;

    // A fill well's edit: its fill goes to the selected boxes' border or stroke.
    void gradientCtrlChanged(GradientCtrl& sender);
    // The border width; a typed width never shows the remove button.
    void borderSizeStepperDidChange();
    void borderSizeValueDidChange();
    // The stroke width; a typed width shows the remove button.
    void strokeSizeStepperChanged();
    void strokeSizeTextFieldChanged();
    void removeBorder();
    void minusStrokeClicked();
    // The line heads: item i (0 none, then the head kinds) for every selected line; no item
    // chosen sends nothing.
    void popupStartPointChanged(int index);
    void popupEndPointChanged(int index);

private:
    // A fill and its line width: the border's or the stroke's.
    struct Line {
        GradientCtrl* well = nullptr;
        QPushButton* minus = nullptr;
        ValueRow width;
        void (TextViewContainer::*fillChanged)(const SZGradient&) = nullptr;
        void (TextViewContainer::*widthChanged)(int) = nullptr;
        // A width sent from the field shows the remove button (the stroke's), or leaves it
        // (the border's).
        bool sentWidthShowsMinus = false;
    };
    enum { Border, Stroke };

    void stepperChanged(Line& line);
    void widthTyped(Line& line);
    void removeLine(Line& line);
    void wire(Line& line);

    std::array<Line, 2> m_lines;
};
