#pragma once
// What the runs of the selected text have in common, as the text panels (font, fill, spacing)
// show it: gathered from the whole text of the selected text boxes not being edited, or from
// the edited range of the box being edited. A run without an underline or strikethrough
// counts as 0, without kern or paragraph spacing as 0; runs without a font leave the font
// fields unseen.
#include "foundation/SZGradient.h"
#include "platform/text/AttributeValue.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/TextRange.h"
#include "window/SharedValue.h"

#include <QString>
#include <optional>
#include <vector>

class MyTextBox;
class MyViewBase;

struct TextSummary {
    Shared<int> underline, strikethrough;
    Shared<double> kern, lineSpacing, size;
    Shared<bool> bold, italic;
    // The face's PostScript name: one face of one family in its full style (weight, slant and
    // width), so that faces differing only in width are told apart.
    Shared<QString> face;
    // Of the selected boxes only (the box sync), edited ones included.
    Shared<bool> circular, vertical;
    std::optional<platform::TextAlignment> alignment; // the last run visited with a style
    SZGradient fill; // the last run visited with a fill

    // Takes one run's values; its fill is noted in lastFill (copied once, at the end).
    void gather(const platform::AttributeDictionary& attrs, const SZGradient*& lastFill);

    // The box sync: nothing when no selected text box that is not being edited holds text.
    static std::optional<TextSummary> ofSelectedBoxes(const std::vector<MyViewBase*>& boxes);
    static std::optional<TextSummary> gatherSelectedBoxes(const std::vector<MyViewBase*>& boxes);
    // The edit sync: a caret names the character after it, or the last one at the end of the
    // text; nothing for an empty text.
    static std::optional<TextSummary> ofEditedRange(
        const MyTextBox& box, platform::TextRange range);
    // The range the edit sync reads: the range with a caret widened to one character.
    static std::optional<platform::TextRange> shownRange(platform::TextRange range, int length);
};

// While one lives, ofSelectedBoxes answers a list of boxes from one pass over their runs: the
// text panels of one inspector refresh each ask for the same summary, and over thousands of
// boxes the pass is most of the refresh. Nothing may change a text while it lives.
class TextSummaryBatch {
public:
    TextSummaryBatch();
    ~TextSummaryBatch();
    TextSummaryBatch(const TextSummaryBatch&) = delete;
    TextSummaryBatch& operator=(const TextSummaryBatch&) = delete;

private:
    friend struct TextSummary;
    const std::vector<MyViewBase*>* m_boxes = nullptr;
    size_t m_count = 0;
    std::optional<std::optional<TextSummary>> m_summary;
    TextSummaryBatch* m_outer = nullptr;
};

// Sizes are kept to a tenth of a point; two sizes within a hundredth are the same size.
double tenthOfPoint(double size);
