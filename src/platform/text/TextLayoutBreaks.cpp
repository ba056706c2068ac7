// TextLayout: breaking one line of a paragraph, kept linear in a word longer than its line.
#include "platform/text/TextLayout_p.h"

#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <algorithm>

namespace platform {

namespace {

// Qt's word wrapping reads from a line's start to the end of its first word before it
// decides that the word does not fit and breaks it anywhere: a word of n characters costs
// n for each of its lines. A line starting in a stretch longer than this without a word end
// is broken without that search.
constexpr int kLongStretch = 64;

} // namespace

void TextLayout::Paragraph::findWordEnds()
{
    wordEnds.clear();
    const int n = int(layoutText.size());
    int stretch = 0;
    bool anyLong = false;
    for (const QChar c : layoutText) {
        stretch = c.isSpace() ? 0 : stretch + 1;
        if (stretch > kLongStretch) {
            anyLong = true;
            break;
        }
    }
    if (!anyLong)
        return;
    // Qt's word search stops before a space or at a line break opportunity, which it finds as
    // the boundary finder does.
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, layoutText);
    for (qsizetype at = breaks.toNextBoundary(); at > 0; at = breaks.toNextBoundary())
        wordEnds.push_back(int(at));
    const auto opportunities = wordEnds.size();
    for (int i = 1; i < n; ++i) {
        if (layoutText[i].isSpace())
            wordEnds.push_back(i);
    }
    std::inplace_merge(
        wordEnds.begin(), wordEnds.begin() + qsizetype(opportunities), wordEnds.end());
    wordEnds.erase(std::unique(wordEnds.begin(), wordEnds.end()), wordEnds.end());
}

void TextLayout::Paragraph::breakLine(QTextLayout& layout, QTextLine& line, double width)
{
    const int from = line.textStart();
    const auto next = std::upper_bound(wordEnds.begin(), wordEnds.end(), from);
    const int wordEnd
        = next == wordEnds.end() ? std::min(int(layoutText.size()), from + kLongStretch) : *next;
    if (wordEnd - from <= kLongStretch) {
        line.setLineWidth(width);
        breakWork += std::max(wordEnd - from, line.textLength());
        return;
    }
    // What word wrapping falls back to when the first word does not fit: the line ends after
    // the last grapheme that fits.
    const QTextOption option = layout.textOption();
    QTextOption anywhere = option;
    anywhere.setWrapMode(QTextOption::WrapAnywhere);
    layout.setTextOption(anywhere);
    line.setLineWidth(width);
    layout.setTextOption(option);
    const int taken = line.textLength();
    breakWork += taken;
    // Where the word's end is within reach, the word may fit after all (a glyph reaching past
    // its advance kept the line short): word wrapping decides, as it would have.
    if (from + taken >= wordEnd || wordEnd - from <= 4 * taken + kLongStretch) {
        line.setLineWidth(width);
        breakWork += std::max(wordEnd - from, line.textLength());
    }
}

} // namespace platform
