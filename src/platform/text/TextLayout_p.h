#pragma once
// What TextLayout's sources share: a paragraph as the layout keeps it, and Qt's coordinate
// range. Not for other code.
#include "platform/text/TextLayout.h"

#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <vector>

namespace platform {

// Qt keeps text positions in 26.6 fixed point; numbers beyond this would overflow it.
inline constexpr double kQtCoordinateLimit = 4.0e6;

inline double qtCoordinate(double v)
{
    if (!std::isfinite(v))
        return 0.0;
    return std::clamp(v, -kQtCoordinateLimit, kQtCoordinateLimit);
}

// The line metrics of one run of a paragraph, read once per layout: a line takes the largest
// of the runs it holds.
struct TextLayout::RunMetrics {
    int end = 0; // the run's end in the text
    double ascent = 0.0;
    double descent = 0.0;
    double leading = 0.0;
    double lineHeight = 0.0;
};

// One stretch of a paragraph in one face and spacing (from the paragraph's start): what its
// Qt character formats are made of, on whichever thread lays the paragraph out.
struct FormatPiece {
    int location = 0;
    int length = 0;
    Font font;
    double spacing = 0.0;
};

// A line broken ahead of its placing: its characters in the paragraph and its height.
struct AheadLine {
    int textStart = 0;
    int textLength = 0;
    double naturalX = 0.0;
    double naturalWidth = 0.0;
    double descent = 0.0;
    double leading = 0.0;
    double height = 0.0;
};

struct TextLayout::Paragraph {
    int start = 0;
    int length = 0; // without the separator
    int separatorLength = 0;
    ParagraphStyle style;
    // What the layout is made of: the text as Qt lays it out (attachments stood in for), the
    // faces, the line metrics of the runs and of the first character's font (for an empty
    // line).
    QString layoutText;
    std::vector<FormatPiece> pieces;
    Font firstFont;
    RunMetrics firstMetrics;
    std::vector<RunMetrics> runs;
    // The lines, each broken at lineWidth and placed at lineX when broken ahead; made from
    // them again when first asked for (built false until then).
    QTextLayout layout;
    bool built = false;
    double lineWidth = 0.0;
    double lineX = 0.0;
    std::vector<AheadLine> ahead;
    // Where a word of layoutText may end (after), found only for a paragraph with a stretch
    // too long for Qt's word search on every line (empty for others).
    std::vector<int> wordEnds;
    // The characters its line breaking asked Qt to read (breakLine).
    qint64 breakWork = 0;
    // Where its lines went: the first and how many, the y of the first and below the last.
    int firstLine = 0;
    int lineCount = 0;
    double top = 0.0;
    double bottom = 0.0;
    // Every line laid out (the container did not run out).
    bool complete = false;
    double glyphReach = 0.0;

    // Gives a Qt layout the paragraph's text, formats (this thread's) and options.
    void setUp(QTextLayout& target) const;
    QTextOption textOption() const;
    // The run holding a character of the text (the last for one past the end).
    size_t runAt(int index) const;
    // The metrics of a line of characters textStart to textStart + textLength of the
    // paragraph: the largest of its runs', from the runs' own fonts (Qt rounds its line ascent
    // and descent to whole pixels, the model keeps fractions).
    AheadLine lineMetrics(int textStart, int textLength) const;
    // Breaks every line at lineWidth, before the container places them (any thread: a Qt
    // layout holds the fonts of the thread that made it).
    // Plain characters are broken in this thread's scratch document and nothing is kept;
    // others in a Qt layout of their own, kept (placed when the lines are) where keep says
    // this thread is the one that will use it.
    void breakAhead(bool keep);
    // Breaks measuring's lines at lineWidth into ahead.
    void measureLines(QTextLayout& measuring);
    // Fills wordEnds from layoutText.
    void findWordEnds();
    // Breaks line, the last of layout, at width, as Qt's wrapping at word boundaries or
    // anywhere does, reading about as many characters as the line takes.
    void breakLine(QTextLayout& layout, QTextLine& line, double width);
    bool breakInScratchDocument();
};

} // namespace platform
