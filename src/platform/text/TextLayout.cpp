#include "platform/text/TextLayout.h"

#include "platform/concurrency/ThreadPool.h"
#include "platform/text/FontFallback.h"
#include "platform/text/ShapingThreads.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/text/TextLayout_p.h"
#include "platform/text/TextLogging.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <thread>

namespace platform {

namespace {

// Tab stops every 28 points, as the platform's default paragraph style has them.
constexpr double kTabInterval = 28.0;
// Stands in for an attachment character in Qt's layout: a plain letter whose advance is
// stretched to the attachment's width (Qt lays out inline objects only inside documents).
constexpr char16_t kAttachmentStandIn = u'x';
// Below this many characters to break, paragraphs are broken in place: handing them to the
// pool and making the shown ones' layouts again would cost more than it saves.
constexpr int kBreakAheadCharacters = 4000;

bool isParagraphSeparator(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

bool isUsable(const Rect& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width())
        && std::isfinite(r.height()) && r.width() > 0.0 && r.height() > 0.0;
}

ParagraphStyle styleIn(const AttributeDictionary& attributes, const AttributeDictionary& defaults)
{
    for (const auto* dictionary : { &attributes, &defaults }) {
        const auto it = dictionary->find(TextAttributeNames::paragraphStyle);
        if (it != dictionary->end() && it->second.paragraphStyle())
            return *it->second.paragraphStyle();
    }
    return {};
}

Qt::Alignment qtAlignment(TextAlignment alignment)
{
    switch (alignment) {
    case TextAlignment::Left:
        return Qt::AlignLeft | Qt::AlignAbsolute;
    case TextAlignment::Right:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case TextAlignment::Center:
        return Qt::AlignHCenter;
    case TextAlignment::Justified:
        return Qt::AlignJustify;
    case TextAlignment::Natural:
        break;
    }
    return Qt::AlignLeft;
}

void uniteInto(Rect& total, bool& any, const Rect& r)
{
    total = any ? total.united(r) : r;
    any = true;
}

} // namespace

// Gives a Qt layout the paragraph's text, formats (this thread's) and options.
void TextLayout::Paragraph::setUp(QTextLayout& target) const
{
    QList<QTextLayout::FormatRange> formats;
    formats.reserve(qsizetype(pieces.size()));
    for (const FormatPiece& piece : pieces)
        formats.append(
            { piece.location, piece.length, characterFormat(piece.font, piece.spacing) });
    target.setText(layoutText);
    // The format font of the first run: runs in it find its resolved engines.
    target.setFont(characterFormat(firstFont, 0.0).font());
    target.setFormats(formats);
    target.setTextOption(textOption());
    target.setCacheEnabled(true);
}

QTextOption TextLayout::Paragraph::textOption() const
{
    QTextOption option(qtAlignment(style.alignment));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);
    option.setTabStopDistance(kTabInterval);
    option.setTextDirection(layoutText.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    return option;
}

// The run holding a character of the text (the last for one past the end).
size_t TextLayout::Paragraph::runAt(int index) const
{
    const auto at = std::partition_point(
        runs.begin(), runs.end(), [&](const RunMetrics& r) { return r.end <= index; });
    return std::min(size_t(at - runs.begin()), runs.empty() ? 0 : runs.size() - 1);
}

// The metrics of a line of characters textStart to textStart + textLength of the
// paragraph: the largest of its runs', from the runs' own fonts (Qt rounds its line ascent
// and descent to whole pixels, the model keeps fractions).
AheadLine TextLayout::Paragraph::lineMetrics(int textStart, int textLength) const
{
    double ascent = 0.0, descent = 0.0, leading = 0.0;
    auto take = [&](const RunMetrics& m) {
        ascent = std::max(ascent, m.ascent);
        descent = std::max(descent, m.descent);
        leading = std::max(leading, m.leading);
    };
    if (textLength == 0 || runs.empty()) {
        take(firstMetrics);
    } else {
        const int from = start + textStart;
        const int to = from + textLength;
        for (size_t r = runAt(from); r < runs.size(); ++r) {
            take(runs[r]);
            if (runs[r].end >= to)
                break;
        }
    }
    AheadLine line;
    line.textStart = textStart;
    line.textLength = textLength;
    line.descent = descent;
    line.leading = leading;
    line.height = std::max(style.lineHeightFor(ascent + descent + leading), 1.0);
    return line;
}

// Breaks every line at lineWidth, before the container places them (any thread: a Qt
// layout holds the fonts of the thread that made it).
// The layout is kept (placed when the lines are) where keep says this thread is the one
// that will use it; other threads' layouts are dropped.
void TextLayout::Paragraph::breakAhead(bool keep)
{
    // Lines broken in the scratch document are made again where their glyphs are asked
    // for, as those of other threads are: cheaper than keeping this thread's Qt layout.
    built = false;
    if (breakInScratchDocument())
        return;
    built = keep;
    QTextLayout dropped;
    QTextLayout& measuring = keep ? layout : dropped;
    setUp(measuring);
    measuring.setCacheEnabled(keep);
    measureLines(measuring);
}

void TextLayout::Paragraph::measureLines(QTextLayout& measuring)
{
    measuring.beginLayout();
    for (;;) {
        QTextLine line = measuring.createLine();
        if (!line.isValid())
            break;
        breakLine(measuring, line, lineWidth);
        line.setPosition(QPointF(lineX, 0.0));
        AheadLine measured = lineMetrics(line.textStart(), line.textLength());
        const QRectF natural = line.naturalTextRect();
        measured.naturalX = natural.x();
        measured.naturalWidth = natural.width();
        ahead.push_back(measured);
        if (line.textStart() + line.textLength() >= length)
            break;
    }
    measuring.endLayout();
}

// Breaks the lines in one block of this thread's scratch document, for a paragraph of plain
// characters only (a document reads separators, tabs and object characters its own way);
// false, measuring nothing, for any other.
// A standalone Qt layout makes a new font for each run every time a line meets it, and finds
// its engines under a lock that every thread shares, so threads breaking many short
// paragraphs spent their time waiting; a document's block layout takes the fonts of its
// formats as they are, already resolved.
bool TextLayout::Paragraph::breakInScratchDocument()
{
    if (layoutText.isEmpty())
        return false;
    for (const QChar c : layoutText) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x2028 && u <= 0x2029) || (u >= 0xfdd0 && u <= 0xfdef)
            || u == 0xfffc)
            return false;
    }
    int covered = 0;
    for (const FormatPiece& piece : pieces) {
        if (piece.location != covered)
            return false;
        covered += piece.length;
    }
    if (covered != layoutText.size())
        return false;
    // Kept in Qt's own per-thread storage, as the formats are: the document's formats go
    // before the thread's font cache.
    QThreadStorage<ScratchDocument*>& storage = scratchDocuments();
    if (!storage.hasLocalData() || storage.localData()->uses >= ScratchDocument::kUses)
        storage.setLocalData(new ScratchDocument);
    ++storage.localData()->uses;
    QTextDocument& document = storage.localData()->document;
    QTextCursor cursor(&document);
    // One edit: outside an edit block, each insertion places the cursor on the block's lines,
    // which itemizes the block's text again every time.
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    for (const FormatPiece& piece : pieces)
        cursor.insertText(QStringView(layoutText).mid(piece.location, piece.length).toString(),
            characterFormat(piece.font, piece.spacing));
    cursor.endEditBlock();
    const QTextBlock block = document.firstBlock();
    if (document.blockCount() != 1 || block.length() != layoutText.size() + 1)
        return false;
    QTextLayout& measuring = *block.layout();
    measuring.setTextOption(textOption());
    measuring.setCacheEnabled(false);
    measureLines(measuring);
    measuring.clearLayout();
    return true;
}

// What the last layout made, offered to the next one: a paragraph whose characters,
// attributes and top are unchanged is kept with its lines and glyphs.
struct TextLayout::Previous {
    AttributedString text;
    std::vector<std::unique_ptr<Paragraph>> paragraphs;
    std::vector<int> starts; // of the paragraphs, kept as they are taken
    std::vector<LineFragment> lines;
    std::vector<std::optional<std::vector<LaidOutGlyph>>> lineGlyphs;
    // How many leading characters the old and the new text share.
    int sharedPrefix = 0;
};

// A layout under way: what the last one made, the text's paragraphs, and those broken ahead
// of their placing.
struct TextLayout::Pass {
    Previous previous;
    struct Span {
        int start;
        int length;
        int separator;
    };
    std::vector<Span> spans;
    // The spans that will be broken (not kept from the last layout) where they may be broken
    // ahead, and their characters.
    std::vector<size_t> changed;
    int changedCharacters = 0;
    // By span: the paragraphs broken ahead.
    std::vector<std::unique_ptr<Paragraph>> ahead;
};

TextLayout::TextLayout(std::shared_ptr<TextContainer> container)
    : m_container(container ? std::move(container) : std::make_shared<TextContainer>())
{
}

TextLayout::~TextLayout() = default;

void TextLayout::setText(const AttributedString& text)
{
    const bool same = text == m_text;
    m_text = text;
    // The paragraphs the change left alone are kept (layoutAll).
    if (!same)
        m_valid = false;
}

void TextLayout::setContainer(std::shared_ptr<TextContainer> container)
{
    m_container = container ? std::move(container) : std::make_shared<TextContainer>();
    invalidate();
}

void TextLayout::setDefaultAttributes(const AttributeDictionary& attributes)
{
    if (attributes == m_defaultAttributes)
        return;
    m_defaultAttributes = attributes;
    invalidate();
}

void TextLayout::setExtraLineFragmentAttributes(std::optional<AttributeDictionary> attributes)
{
    // The editor hands its typing attributes over at every selection change; they seldom
    // differ.
    if (attributes == m_extraAttributes)
        return;
    m_extraAttributes = std::move(attributes);
    // Only the extra line fragment changes: the paragraphs are kept.
    m_valid = false;
}

void TextLayout::invalidate()
{
    m_valid = false;
    m_reusable = false;
}

Font TextLayout::defaultFont()
{
    static const Font font = Font::withName(QStringLiteral("Helvetica"), 12.0).value_or(Font());
    return font;
}

Font TextLayout::fontIn(const AttributeDictionary& attributes) const
{
    for (const auto* dictionary : { &attributes, &m_defaultAttributes }) {
        const auto it = dictionary->find(TextAttributeNames::font);
        if (it != dictionary->end() && it->second.font() && !it->second.font()->isNull())
            return *it->second.font();
    }
    return defaultFont();
}

Font TextLayout::fontAt(int index) const
{
    return fontIn(m_text.attributesAt(index));
}

void TextLayout::ensureLayout() const
{
    if (needsLayout())
        layoutAll();
}

bool TextLayout::canMove(const Paragraph& paragraph, double top) const
{
    if (paragraph.top == top)
        return true;
    // Lines whose shape does not depend on their height in the container keep their breaks
    // at any top, as long as the whole paragraph still fits above the container's bottom.
    const TextContainer& container = *m_container;
    return !container.fragmentShapeDependsOnY() && std::isfinite(top)
        && paragraph.bottom + (top - paragraph.top) <= container.size().height;
}

std::unique_ptr<TextLayout::Paragraph>* TextLayout::unchangedParagraph(
    Previous& previous, int start, int length, int separator, std::optional<double> top) const
{
    const QString& s = m_text.string();
    const QString& old = previous.text.string();
    const int span = length + separator;
    // A change leaves the paragraphs before it where they were and those after it moved by
    // its length (an empty paragraph matches either way: the side of the change decides).
    const int moved = start - int(s.size() - old.size());
    const bool before = start + span <= previous.sharedPrefix;
    for (const int oldStart : { before ? start : moved, before ? moved : start }) {
        const auto at = std::lower_bound(previous.starts.begin(), previous.starts.end(), oldStart);
        if (at == previous.starts.end() || *at != oldStart)
            continue;
        auto& slot = previous.paragraphs[size_t(at - previous.starts.begin())];
        if (!slot)
            continue;
        const Paragraph& p = *slot;
        if (p.start != oldStart || p.length != length || p.separatorLength != separator
            || !p.complete || (top && !canMove(p, *top))
            || QStringView(old).mid(p.start, span) != QStringView(s).mid(start, span))
            continue;
        std::vector<std::pair<int, const AttributeDictionary*>> before, now;
        previous.text.enumerateAttributes(TextRange(p.start, span), AttributedString::Forward,
            [&](const AttributeDictionary& a, TextRange r, bool&) {
                before.emplace_back(r.end() - p.start, &a);
            });
        m_text.enumerateAttributes(TextRange(start, span), AttributedString::Forward,
            [&](const AttributeDictionary& a, TextRange r, bool&) {
                now.emplace_back(r.end() - start, &a);
            });
        const bool sameRuns = std::equal(
            before.begin(), before.end(), now.begin(), now.end(), [](const auto& a, const auto& b) {
                return a.first == b.first && *a.second == *b.second;
            });
        if (sameRuns)
            return &slot;
    }
    return nullptr;
}

void TextLayout::adoptParagraph(std::unique_ptr<Paragraph> paragraph, Previous& previous, int start,
    double top, bool& anyUsed) const
{
    const int delta = start - paragraph->start;
    const double dy = top - paragraph->top;
    const int paragraphIndex = int(m_paragraphs.size());
    const int oldFirst = paragraph->firstLine;
    paragraph->start = start;
    paragraph->firstLine = int(m_lines.size());
    paragraph->top = top;
    paragraph->bottom += dy;
    for (auto& run : paragraph->runs)
        run.end += delta;
    for (int l = 0; l < paragraph->lineCount; ++l) {
        const size_t old = size_t(oldFirst + l);
        LineFragment record = previous.lines[old];
        record.characterRange.location += delta;
        if (dy != 0.0) {
            record.rect.origin.y += dy;
            record.usedRect.origin.y += dy;
            record.baseline += dy;
            // A layout not made yet is made at the lines' new places.
            if (paragraph->built) {
                QTextLine line = paragraph->layout.lineAt(l);
                line.setPosition(line.position() + QPointF(0, qtCoordinate(dy)));
            }
        }
        commitLine(record, paragraphIndex, l, anyUsed);
        if (old < previous.lineGlyphs.size() && previous.lineGlyphs[old]) {
            m_lineGlyphs.resize(m_lines.size());
            auto& glyphs = m_lineGlyphs.back().emplace(std::move(*previous.lineGlyphs[old]));
            for (LaidOutGlyph& glyph : glyphs) {
                glyph.characterIndex += delta;
                glyph.lineIndex = int(m_lines.size()) - 1;
                glyph.position.y += dy;
            }
        }
    }
    m_glyphReach = std::max(m_glyphReach, paragraph->glyphReach);
    m_paragraphs.push_back(std::move(paragraph));
}

void TextLayout::commitLine(
    const LineFragment& record, int paragraphIndex, int lineNumber, bool& anyUsed) const
{
    const int lineIndex = int(m_lines.size());
    std::fill(m_lineOfCharacter.begin() + record.characterRange.location,
        m_lineOfCharacter.begin() + record.characterRange.end(), lineIndex);
    m_laidOutLength = record.characterRange.end();
    uniteInto(m_usedRect, anyUsed, record.usedRect);
    m_lines.push_back(record);
    m_lineSource.emplace_back(paragraphIndex, lineNumber);
}

std::unique_ptr<TextLayout::Paragraph> TextLayout::describeParagraph(
    int start, int length, int separator) const
{
    const QString& s = m_text.string();
    auto paragraph = std::make_unique<Paragraph>();
    paragraph->start = start;
    paragraph->length = length;
    paragraph->separatorLength = separator;
    const AttributeDictionary& first = m_text.attributesAt(start);
    paragraph->style = styleIn(first, m_defaultAttributes);
    paragraph->firstFont = fontIn(first);
    const Font& firstFont = paragraph->firstFont;
    paragraph->firstMetrics = { start, firstFont.ascender(), -firstFont.descender(),
        firstFont.leading(), firstFont.lineHeight() };

    // The paragraph's text for Qt, with attachments replaced, and its faces.
    QString& layoutText = paragraph->layoutText;
    layoutText = s.mid(start, length);
    m_text.enumerateAttributes(TextRange(start, length), AttributedString::Forward,
        [&](const AttributeDictionary& attributes, TextRange run, bool&) {
            const Font font = fontIn(attributes);
            paragraph->runs.push_back({ run.end(), font.ascender(), -font.descender(),
                font.leading(), font.lineHeight() });
            const Rect box = font.boundingRect();
            paragraph->glyphReach = std::max({ paragraph->glyphReach, 2 * font.pointSize(),
                2 * std::abs(box.maxY()), 2 * std::abs(box.minY()) });
            double spacing = 0.0;
            const auto kern = attributes.find(TextAttributeNames::kern);
            if (kern != attributes.end())
                spacing = kern->second.toDouble();
            const auto attachment = attributes.find(TextAttributeNames::attachment);
            if (attachment != attributes.end() && attachment->second.attachment()) {
                const double cell = attachment->second.attachment()->cellSize.width;
                spacing = (std::isfinite(cell) ? std::max(cell, 0.0) : 0.0)
                    - font.advanceOf(QString(QChar(kAttachmentStandIn)));
                for (int i = run.location; i < run.end(); ++i) {
                    if (s[i] == QChar(TextAttachment::character))
                        layoutText[i - start] = QChar(kAttachmentStandIn);
                }
            }
            const bool spaced = std::isfinite(spacing) && spacing != 0.0;
            auto addPiece = [&](TextRange piece, const Font& pieceFont) {
                paragraph->pieces.push_back({ piece.location - start, piece.length, pieceFont,
                    spaced ? qtCoordinate(spacing) : 0.0 });
            };
            if (attachment != attributes.end()) {
                addPiece(run, font);
                return;
            }
            // Characters the run's face lacks are set in a face that has them.
            for (const FontFallback::Piece& piece : FontFallback::split(s, run, font)) {
                if (piece.font == font) {
                    addPiece(piece.range, font);
                    continue;
                }
                const Rect reach = piece.font.boundingRect();
                paragraph->glyphReach = std::max({ paragraph->glyphReach,
                    2 * std::abs(reach.maxY()), 2 * std::abs(reach.minY()) });
                addPiece(piece.range, piece.font);
            }
        });
    paragraph->findWordEnds();
    return paragraph;
}

double TextLayout::estimatedLineHeight(const Paragraph& paragraph, int index) const
{
    const double natural = paragraph.runs.empty()
        ? fontAt(std::min(index, m_text.length() - 1)).lineHeight()
        : paragraph.runs[paragraph.runAt(index)].lineHeight;
    return std::max(1.0, paragraph.style.lineHeightFor(natural));
}

void TextLayout::breakInPlace(Paragraph& paragraph, double& y, bool& full, bool& anyUsed) const
{
    TextContainer& container = *m_container;
    const double padding = std::max(0.0, container.lineFragmentPadding());
    const double width = container.size().width;
    const ParagraphStyle& style = paragraph.style;
    const int start = paragraph.start;
    QTextLayout& layout = paragraph.layout;
    paragraph.setUp(layout);
    paragraph.built = true;

    const int paragraphIndex = int(m_paragraphs.size());
    const double lineSpacing
        = std::max(0.0, std::isfinite(style.lineSpacing) ? style.lineSpacing : 0.0);
    layout.beginLayout();
    int lineNumber = 0;
    for (;;) {
        const int lineStart = lineNumber == 0 ? 0
                                              : layout.lineAt(lineNumber - 1).textStart()
                + layout.lineAt(lineNumber - 1).textLength();
        if (lineNumber > 0 && lineStart >= paragraph.length)
            break;
        const int characterIndex = start + lineStart;
        Rect remaining;
        Rect fragment = container.lineFragmentRect(
            Rect(0, y, width, estimatedLineHeight(paragraph, characterIndex)), characterIndex,
            m_text, &remaining);
        if (!isUsable(fragment)) {
            full = true;
            break;
        }
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        const double firstWidth = qtCoordinate(std::max(fragment.width() - 2 * padding, 0.0));
        paragraph.breakLine(layout, line, firstWidth);
        AheadLine metrics = paragraph.lineMetrics(line.textStart(), line.textLength());
        if (metrics.height > fragment.height() + 1e-9) {
            // The line is taller than proposed: ask again for its real height.
            fragment = container.lineFragmentRect(
                Rect(0, y, width, metrics.height), characterIndex, m_text, &remaining);
            if (!isUsable(fragment)) {
                full = true;
                break;
            }
            // Breaking the line again costs as much as the first time: only for a new
            // width (a rectangle answers the same width at any height).
            const double lineWidth = qtCoordinate(std::max(fragment.width() - 2 * padding, 0.0));
            if (lineWidth != firstWidth) {
                paragraph.breakLine(layout, line, lineWidth);
                metrics = paragraph.lineMetrics(line.textStart(), line.textLength());
            }
        }
        const double height = metrics.height;
        const double baseline = y + height - metrics.descent - metrics.leading;
        line.setPosition(
            QPointF(qtCoordinate(fragment.x() + padding), qtCoordinate(baseline - line.ascent())));

        const bool lastLine = line.textStart() + line.textLength() >= paragraph.length;
        LineFragment record;
        record.rect = Rect(fragment.x(), y, fragment.width(), height + lineSpacing);
        const QRectF natural = line.naturalTextRect();
        record.usedRect = Rect(natural.x() - padding, y, natural.width() + 2 * padding, height);
        record.baseline = baseline;
        record.characterRange = TextRange(start + line.textStart(),
            line.textLength() + (lastLine ? paragraph.separatorLength : 0));
        commitLine(record, paragraphIndex, lineNumber, anyUsed);
        ++lineNumber;
        y += height + lineSpacing;
        if (lastLine) {
            paragraph.complete = true;
            break;
        }
    }
    layout.endLayout();
    paragraph.lineCount = lineNumber;
}

bool TextLayout::placeAhead(Paragraph& paragraph, double& y, bool& full, bool& anyUsed) const
{
    TextContainer& container = *m_container;
    const double padding = std::max(0.0, container.lineFragmentPadding());
    const double width = container.size().width;
    const ParagraphStyle& style = paragraph.style;
    const double lineSpacing
        = std::max(0.0, std::isfinite(style.lineSpacing) ? style.lineSpacing : 0.0);
    // The container's fragments first, as breaking in place asks for them: the lines are
    // kept only where each fragment has the width and place they were broken for.
    std::vector<LineFragment> records;
    records.reserve(paragraph.ahead.size());
    bool fits = true;
    double top = y;
    for (const AheadLine& line : paragraph.ahead) {
        const int characterIndex = paragraph.start + line.textStart;
        Rect remaining;
        Rect fragment = container.lineFragmentRect(
            Rect(0, top, width, estimatedLineHeight(paragraph, characterIndex)), characterIndex,
            m_text, &remaining);
        auto brokenFor = [&] {
            return qtCoordinate(std::max(fragment.width() - 2 * padding, 0.0))
                == paragraph.lineWidth
                && qtCoordinate(fragment.x() + padding) == paragraph.lineX;
        };
        if (isUsable(fragment) && !brokenFor())
            return false;
        if (isUsable(fragment) && line.height > fragment.height() + 1e-9)
            fragment = container.lineFragmentRect(
                Rect(0, top, width, line.height), characterIndex, m_text, &remaining);
        if (!isUsable(fragment)) {
            fits = false;
            break;
        }
        if (!brokenFor())
            return false;
        const bool lastLine = line.textStart + line.textLength >= paragraph.length;
        LineFragment record;
        record.rect = Rect(fragment.x(), top, fragment.width(), line.height + lineSpacing);
        record.usedRect
            = Rect(line.naturalX - padding, top, line.naturalWidth + 2 * padding, line.height);
        record.baseline = top + line.height - line.descent - line.leading;
        record.characterRange = TextRange(paragraph.start + line.textStart,
            line.textLength + (lastLine ? paragraph.separatorLength : 0));
        records.push_back(record);
        top += line.height + lineSpacing;
    }
    const int paragraphIndex = int(m_paragraphs.size());
    for (const LineFragment& record : records)
        commitLine(record, paragraphIndex, paragraph.lineCount++, anyUsed);
    paragraph.complete = fits && !paragraph.ahead.empty()
        && paragraph.ahead.back().textStart + paragraph.ahead.back().textLength >= paragraph.length;
    full = !fits;
    y = top;
    if (paragraph.built) {
        for (int l = 0; l < paragraph.lineCount; ++l) {
            QTextLine line = paragraph.layout.lineAt(l);
            line.setPosition(QPointF(
                paragraph.lineX, qtCoordinate(records[size_t(l)].baseline - line.ascent())));
        }
    }
    // Only the widths and places are needed to make the layout again.
    paragraph.ahead = {};
    return true;
}

QTextLayout& TextLayout::builtLayout(const Paragraph& source) const
{
    Paragraph& paragraph = const_cast<Paragraph&>(source);
    if (paragraph.built)
        return paragraph.layout;
    paragraph.built = true;
    QTextLayout& layout = paragraph.layout;
    paragraph.setUp(layout);
    layout.beginLayout();
    for (int l = 0; l < paragraph.lineCount; ++l) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        paragraph.breakLine(layout, line, paragraph.lineWidth);
        const LineFragment& record = m_lines[size_t(paragraph.firstLine + l)];
        line.setPosition(QPointF(paragraph.lineX, qtCoordinate(record.baseline - line.ascent())));
        if (paragraph.start + line.textStart() != record.characterRange.location)
            qCWarning(lcText) << "a paragraph's lines broke differently when made again";
    }
    layout.endLayout();
    return layout;
}

void TextLayout::layoutAll() const
{
    Pass pass;
    beginPass(pass);
    try {
        if (pass.changed.size() > 1 && pass.changedCharacters >= kBreakAheadCharacters) {
            breakOnShapingThreads(pass.changed.size(),
                [&](const std::function<void(Paragraph*)>& add) { describeAhead(pass, add); });
        }
        finishPass(pass);
    } catch (...) {
        // Laid out again when next asked, from nothing.
        m_valid = false;
        m_reusable = false;
        throw;
    }
}

void TextLayout::layOutTogether(const std::vector<const TextLayout*>& layouts)
{
    // Each pass is begun before the next layout is looked at: a layout named twice is then
    // up to date the second time.
    std::vector<std::pair<const TextLayout*, std::unique_ptr<Pass>>> passes;
    size_t changed = 0;
    int characters = 0;
    for (const TextLayout* layout : layouts) {
        if (!layout || !layout->needsLayout())
            continue;
        auto pass = std::make_unique<Pass>();
        layout->beginPass(*pass);
        changed += pass->changed.size();
        characters += pass->changedCharacters;
        passes.emplace_back(layout, std::move(pass));
    }
    try {
        if (changed > 1 && characters >= kBreakAheadCharacters) {
            // Each box's paragraphs are broken while the next boxes' are being described.
            breakOnShapingThreads(changed, [&](const std::function<void(Paragraph*)>& add) {
                for (auto& [layout, pass] : passes)
                    layout->describeAhead(*pass, add);
            });
        }
        for (auto& [layout, pass] : passes)
            layout->finishPass(*pass);
    } catch (...) {
        for (auto& [layout, pass] : passes) {
            layout->m_valid = false;
            layout->m_reusable = false;
        }
        throw;
    }
}

bool TextLayout::needsLayout() const
{
    return !m_valid || m_geometryGeneration != m_container->geometryGeneration();
}

void TextLayout::beginPass(Pass& pass) const
{
    if (m_reusable && m_geometryGeneration == m_container->geometryGeneration()) {
        pass.previous.text = m_laidOutText;
        pass.previous.paragraphs = std::move(m_paragraphs);
        for (const auto& p : pass.previous.paragraphs)
            pass.previous.starts.push_back(p->start);
        pass.previous.lines = std::move(m_lines);
        pass.previous.lineGlyphs = std::move(m_lineGlyphs);
        const QString& was = pass.previous.text.string();
        const QString& now = m_text.string();
        pass.previous.sharedPrefix = int(
            std::mismatch(was.begin(), was.begin() + std::min(was.size(), now.size()), now.begin())
                .first
            - was.begin());
    }
    m_valid = true;
    m_reusable = true;
    m_laidOutText = m_text;
    m_glyphsValid = false;
    m_geometryGeneration = m_container->geometryGeneration();
    ++m_layoutCount;
    m_paragraphsBroken = 0;
    m_paragraphsBrokenAhead = 0;
    m_breakWork = 0;
    m_glyphs.clear();
    m_lineGlyphs.clear();
    m_glyphReach = 0.0;
    m_paragraphs.clear();
    m_lines.clear();
    m_lineSource.clear();
    // About as many lines as last time.
    m_lines.reserve(pass.previous.lines.size());
    m_lineSource.reserve(pass.previous.lines.size());
    m_hasExtra = false;
    m_laidOutLength = 0;
    m_usedRect = Rect();

    const QString& s = m_text.string();
    const int n = int(s.size());
    m_lineOfCharacter.assign(size_t(n) + 1, -1);
    for (int start = 0; start < n;) {
        int end = start;
        while (end < n && !isParagraphSeparator(s[end]))
            ++end;
        int separator = 0;
        if (end < n)
            separator = (s[end] == u'\r' && end + 1 < n && s[end + 1] == u'\n') ? 2 : 1;
        pass.spans.push_back({ start, end - start, separator });
        start = end + separator;
    }
    pass.ahead.resize(pass.spans.size());

    // Where the container's lines keep their width at any height, the paragraphs to break
    // may be broken ahead on the shaping threads, each on its own, then placed one below
    // the other.
    if (m_container->fragmentShapeDependsOnY() || ThreadPool::maxThreads() <= 1)
        return;
    for (size_t i = 0; i < pass.spans.size(); ++i) {
        const Pass::Span& span = pass.spans[i];
        if (unchangedParagraph(
                pass.previous, span.start, span.length, span.separator, std::nullopt))
            continue;
        pass.changed.push_back(i);
        pass.changedCharacters += span.length;
    }
}

void TextLayout::describeAhead(Pass& pass, const std::function<void(Paragraph*)>& add) const
{
    TextContainer& container = *m_container;
    const double padding = std::max(0.0, container.lineFragmentPadding());
    const double width = container.size().width;
    for (const size_t i : pass.changed) {
        const Pass::Span& span = pass.spans[i];
        auto paragraph = describeParagraph(span.start, span.length, span.separator);
        Rect remaining;
        const Rect fragment = container.lineFragmentRect(
            Rect(0, 0, width, estimatedLineHeight(*paragraph, paragraph->start)), paragraph->start,
            m_text, &remaining);
        if (!isUsable(fragment))
            continue;
        paragraph->lineWidth = qtCoordinate(std::max(fragment.width() - 2 * padding, 0.0));
        paragraph->lineX = qtCoordinate(fragment.x() + padding);
        Paragraph* described = paragraph.get();
        pass.ahead[i] = std::move(paragraph);
        add(described);
    }
}

void TextLayout::breakOnShapingThreads(
    size_t most, const std::function<void(const std::function<void(Paragraph*)>&)>& describe)
{
    // The layouts made on this thread are kept: this thread draws them.
    const std::thread::id here = std::this_thread::get_id();
    // Room for every paragraph first, so that the shaping threads read a list that does
    // not move while it grows.
    std::vector<Paragraph*> paragraphs;
    paragraphs.reserve(most);
    onShapingThreads(
        int(most),
        [&](const std::function<void(int)>& publish) {
            describe([&](Paragraph* paragraph) {
                if (paragraphs.size() == most) {
                    paragraph->breakAhead(true);
                    return;
                }
                paragraphs.push_back(paragraph);
                publish(int(paragraphs.size()));
            });
        },
        [&](int k) { paragraphs[size_t(k)]->breakAhead(std::this_thread::get_id() == here); });
}

void TextLayout::finishPass(Pass& pass) const
{
    Previous& previous = pass.previous;
    const std::vector<Pass::Span>& spans = pass.spans;
    std::vector<std::unique_ptr<Paragraph>>& ahead = pass.ahead;
    const QString& s = m_text.string();
    const int n = int(s.size());
    TextContainer& container = *m_container;
    const double padding = std::max(0.0, container.lineFragmentPadding());
    const double width = container.size().width;
    bool anyUsed = false;
    bool full = false;
    double y = 0.0;

    for (size_t i = 0; i < spans.size() && !full; ++i) {
        const auto [start, length, separator] = spans[i];
        const ParagraphStyle style
            = ahead[i] ? ahead[i]->style : styleIn(m_text.attributesAt(start), m_defaultAttributes);
        if (!m_paragraphs.empty())
            y += std::max(0.0, style.paragraphSpacingBefore);
        // A paragraph broken ahead was found changed already.
        if (auto* kept
            = ahead[i] ? nullptr : unchangedParagraph(previous, start, length, separator, y)) {
            adoptParagraph(std::move(*kept), previous, start, y, anyUsed);
            y = m_paragraphs.back()->bottom
                + std::max(
                    0.0, std::isfinite(style.paragraphSpacing) ? style.paragraphSpacing : 0.0);
            continue;
        }
        auto paragraph
            = ahead[i] ? std::move(ahead[i]) : describeParagraph(start, length, separator);
        paragraph->top = y;
        paragraph->firstLine = int(m_lines.size());
        ++m_paragraphsBroken;
        if (!paragraph->ahead.empty() && placeAhead(*paragraph, y, full, anyUsed))
            ++m_paragraphsBrokenAhead;
        else
            breakInPlace(*paragraph, y, full, anyUsed);
        paragraph->bottom = y;
        m_breakWork += paragraph->breakWork;
        m_glyphReach = std::max(m_glyphReach, paragraph->glyphReach);
        if (!full)
            y += std::max(
                0.0, std::isfinite(style.paragraphSpacing) ? style.paragraphSpacing : 0.0);
        m_paragraphs.push_back(std::move(paragraph));
    }

    const bool needsExtra = n == 0 || isParagraphSeparator(s[n - 1]);
    if (!full && needsExtra) {
        const AttributeDictionary attributes = m_extraAttributes
            ? *m_extraAttributes
            : (n > 0 ? m_text.attributesAt(n - 1) : m_defaultAttributes);
        const Font font = fontIn(attributes);
        const ParagraphStyle style = styleIn(attributes, m_defaultAttributes);
        const double height = std::max(1.0, style.lineHeightFor(font.lineHeight()));
        Rect remaining;
        const Rect fragment
            = container.lineFragmentRect(Rect(0, y, width, height), n, m_text, &remaining);
        if (isUsable(fragment)) {
            LineFragment extra;
            extra.isExtraLineFragment = true;
            extra.rect = Rect(fragment.x(), y, fragment.width(), height);
            double x = fragment.x() + padding;
            if (style.alignment == TextAlignment::Center)
                x = fragment.midX();
            else if (style.alignment == TextAlignment::Right)
                x = fragment.maxX() - padding;
            extra.usedRect = Rect(x - padding, y, 2 * padding, height);
            extra.baseline = y + height - (-font.descender() + std::max(0.0, font.leading()));
            extra.characterRange = TextRange(n, 0);
            m_lineOfCharacter[size_t(n)] = int(m_lines.size());
            uniteInto(m_usedRect, anyUsed, extra.usedRect);
            m_lines.push_back(extra);
            m_lineSource.emplace_back(-1, -1);
            m_hasExtra = true;
        }
    } else if (!full && !m_lines.empty()) {
        m_lineOfCharacter[size_t(n)] = int(m_lines.size()) - 1;
    }
}

const std::vector<LineFragment>& TextLayout::lineFragments() const
{
    ensureLayout();
    return m_lines;
}

const LineFragment* TextLayout::extraLineFragment() const
{
    ensureLayout();
    return m_hasExtra ? &m_lines.back() : nullptr;
}

Rect TextLayout::usedRect() const
{
    ensureLayout();
    return m_usedRect;
}

int TextLayout::laidOutLength() const
{
    ensureLayout();
    return m_laidOutLength;
}

int TextLayout::lineFragmentIndexForCharacter(int index) const
{
    ensureLayout();
    if (index < 0 || index >= int(m_lineOfCharacter.size()))
        return -1;
    return m_lineOfCharacter[size_t(index)];
}

std::pair<int, int> TextLayout::lineFragmentsBetween(double minY, double maxY) const
{
    ensureLayout();
    // Lines go down the container one after the other.
    const auto first = std::partition_point(m_lines.begin(), m_lines.end(),
        [&](const LineFragment& line) { return line.rect.maxY() < minY; });
    const auto end = std::partition_point(
        first, m_lines.end(), [&](const LineFragment& line) { return line.rect.minY() <= maxY; });
    return { int(first - m_lines.begin()), int(end - m_lines.begin()) };
}

double TextLayout::glyphReach() const
{
    ensureLayout();
    // The extra line fragment's font, for its caret's line.
    return std::max(m_glyphReach, 2 * fontIn(m_defaultAttributes).pointSize());
}

AffineTransform TextLayout::yUpTransform(double top)
{
    return AffineTransform(1, 0, 0, -1, 0, top);
}

Size TextLayout::measure(const AttributedString& text)
{
    auto container = std::make_shared<TextContainer>();
    container->setLineFragmentPadding(0.0);
    TextLayout layout(container);
    layout.setText(text);
    double width = 0.0;
    for (const auto& line : layout.lineFragments()) {
        if (!line.isExtraLineFragment)
            width = std::max(width, line.usedRect.width());
    }
    return Size(width, layout.usedRect().height());
}

} // namespace platform
