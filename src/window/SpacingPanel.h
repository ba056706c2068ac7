#pragma once
// The Spacing panel: character spacing (kern) and line spacing of the selected text, over the
// edited range or the whole text of every selected text box, and the layout of the selected
// text boxes (circular or vertical, at most one of them), each one undo step; its remove
// button puts all three back to plain.
#include "window/InspectorPanel.h"

struct TextSummary;

class SpacingPanel : public InspectorPanel {
public:
    // Spacing is held within the record's line-size bound; line spacing is never negative.
    static constexpr int kMaxSpacing = 100000;

    explicit SpacingPanel(InspectorHost& host);

    void refresh(const std::vector<MyViewBase*>& boxes) override;
    void showEditedText(MyTextBox& box, platform::TextRange range) override;

    void charspaceStepperChanged();
    void linespaceStepperChanged();
    void charspaceTextFieldChanged();
    void linespaceTextFieldChanged();
    // segment: the segment the person clicked (0 circular, 1 vertical), or -1.
    void textboxLayoutChanged(int segment);
    void minusOtherPropertiesClicked();

    // A typed spacing: " pt" removed, "(Auto)" as 0, the leading number held within
    // lo..kMaxSpacing; nothing for text without a finite leading number.
    static std::optional<double> parseSpacing(const QString& text, double lo);

private:
    enum class Spacing { Kern, Line };
    void spacingChanged(Spacing which);
    void showSpacing(const TextSummary* summary);
    void showLayout(const TextSummary& summary);
    void showLayoutSegments(const TextSummary& summary);
    void refreshShown();
    void showBoxesLayout();
};
