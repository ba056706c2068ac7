#pragma once
// The Font panel: face, size, bold, italic, underline, strikethrough and alignment of the
// selected text. Its actions work on the selected range of the text box being edited, or on
// the whole text of every selected text box, one undo step each; its refresh shows what the
// selected text has in common (the box sync) or what the edited range has (the edit sync).
#include "window/InspectorPanel.h"

#include <optional>
#include <vector>

struct TextSummary;

class FontPanel : public InspectorPanel {
public:
    // One record per installed face, in the font manager's family and member order; item i
    // of the face pop-up describes record i. traits holds the face's full style (weight aside):
    // slant, boldness and width, so that faces differing only in width are told apart.
    struct FontRecord {
        QString family;
        QString fontName;
        int weight = 0;
        unsigned traits = 0;
    };

    explicit FontPanel(InspectorHost& host);

    // The face pop-up and the font list behind it, made once by the window's set-up.
    void fillFontPopup();
    const std::vector<FontRecord>& fontAry() const { return m_fontAry; }

    void refresh(const std::vector<MyViewBase*>& boxes) override;
    void showEditedText(MyTextBox& box, platform::TextRange range) override;
    // The box sync: the controls from the whole text of the selected text boxes not being
    // edited; nothing changes when none of them holds text.
    void updateFontsFromSelectedTextBox(const std::vector<MyViewBase*>& boxes);

    // The actions; each first ends colour removal and pen drawing, and, while a text is
    // edited, gives the keyboard back to it.
    void fontNameSelected();
    // segment: the segment the person clicked (0 bold, 1 italic, 2 underline, 3
    // strikethrough), whose new state is applied.
    void segmentedCtrlFontAttributesChanged(int segment);
    void segmentedCtrlAlignmentChanged(int segment);
    void fontSizeStepperDidChange();
    void fontSizeValueDidChange();

    // The largest size the size field takes.
    static constexpr double kMaxFontSize = 10000.0;
    // A typed size: " pt" removed, a decimal comma read as a point, to a tenth of a point;
    // nothing for text that is not a size in 0 < size <= kMaxFontSize.
    static std::optional<double> parseFontSize(QString text);

private:
    void wire();
    void refreshShown();
    void showSummary(const TextSummary& summary);
    void showDefaults();

    std::vector<FontRecord> m_fontAry;
    // The size field's text as the last refresh wrote it; a refused size puts it back.
    QString m_shownFontSize;
};
