// TextLayout: carets, hit testing and selection over the laid-out lines.
#include "platform/text/TextLayout.h"
#include "platform/text/TextLayout_p.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

namespace platform {

double TextLayout::caretX(size_t lineIndex, int index) const
{
    const LineFragment& fragment = m_lines[lineIndex];
    const auto [paragraphIndex, lineNumber] = m_lineSource[lineIndex];
    if (paragraphIndex < 0)
        return fragment.usedRect.midX();
    const Paragraph& paragraph = *m_paragraphs[size_t(paragraphIndex)];
    const QTextLine line = builtLayout(paragraph).lineAt(lineNumber);
    const int local = std::clamp(
        index - paragraph.start, line.textStart(), line.textStart() + line.textLength());
    return line.cursorToX(local);
}

Rect TextLayout::caretRect(int index) const
{
    ensureLayout();
    index = std::clamp(index, 0, m_text.length());
    int lineIndex = lineFragmentIndexForCharacter(index);
    if (lineIndex < 0) {
        if (m_lines.empty())
            return Rect(m_container->lineFragmentPadding(), 0, 1,
                std::max(1.0, defaultFont().lineHeight()));
        lineIndex = int(m_lines.size()) - 1;
    }
    const LineFragment& line = m_lines[size_t(lineIndex)];
    return Rect(caretX(size_t(lineIndex), index), line.rect.y(), 1.0, line.usedRect.height());
}

int TextLayout::characterIndexForPoint(const Point& point) const
{
    ensureLayout();
    if (m_lines.empty())
        return 0;
    size_t lineIndex = 0;
    while (lineIndex + 1 < m_lines.size() && point.y >= m_lines[lineIndex].rect.maxY())
        ++lineIndex;
    const LineFragment& fragment = m_lines[lineIndex];
    const auto [paragraphIndex, lineNumber] = m_lineSource[lineIndex];
    if (paragraphIndex < 0)
        return fragment.characterRange.location;
    const Paragraph& paragraph = *m_paragraphs[size_t(paragraphIndex)];
    const QTextLine line = builtLayout(paragraph).lineAt(lineNumber);
    int local = line.xToCursor(qtCoordinate(point.x), QTextLine::CursorBetweenCharacters);
    const int lineEnd = line.textStart() + line.textLength();
    // Past the end of a wrapped line the caret stays on that line, before its last character.
    const bool wrapped = lineEnd < paragraph.length;
    if (wrapped && local >= lineEnd && line.textLength() > 0) {
        QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, paragraph.layoutText);
        clusters.setPosition(lineEnd);
        local = std::max(int(clusters.toPreviousBoundary()), line.textStart());
    }
    return std::clamp(paragraph.start + local, 0, m_text.length());
}

std::vector<Rect> TextLayout::selectionRects(TextRange range) const
{
    ensureLayout();
    std::vector<Rect> rects;
    range = range.clamped(m_text.length());
    if (range.isEmpty())
        return rects;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const LineFragment& line = m_lines[i];
        if (line.isExtraLineFragment)
            continue;
        const int s = std::max(range.location, line.characterRange.location);
        const int e = std::min(range.end(), line.characterRange.end());
        if (e <= s)
            continue;
        const auto [paragraphIndex, lineNumber] = m_lineSource[i];
        const Paragraph& paragraph = *m_paragraphs[size_t(paragraphIndex)];
        const int textEnd = paragraph.start + paragraph.length;
        const double x0 = caretX(i, s);
        const double x1 = e > textEnd ? line.rect.maxX() : caretX(i, e);
        rects.emplace_back(
            std::min(x0, x1), line.rect.y(), std::abs(x1 - x0), line.usedRect.height());
    }
    return rects;
}

} // namespace platform
