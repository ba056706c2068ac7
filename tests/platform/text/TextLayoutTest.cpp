#include "platform/text/TextLayout.h"

#include "platform/concurrency/ThreadPool.h"
#include "platform/text/FontFallback.h"
#include "platform/text/FontManager.h"
#include "platform/text/ShapingThreads.h"
#include "platform/text/TextAttributeNames.h"

#include <QDataStream>
#include <QFile>
#include <QTextLayout>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;
namespace names = platform::TextAttributeNames;

namespace {

AttributeDictionary helvetica(double size)
{
    return { { names::font, AttributeValue(*Font::withName(QStringLiteral("Helvetica"), size)) } };
}

// Lines cut to the circle of radius R (half the width) whose top touches the container's top.
class CircleContainer : public TextContainer {
public:
    using TextContainer::TextContainer;
    Rect lineFragmentRect(
        const Rect& proposed, int index, const AttributedString& text, Rect* remaining) override
    {
        const Rect r = TextContainer::lineFragmentRect(proposed, index, text, remaining);
        const double radius = std::min(size().width, size().height) / 2;
        const double dy = r.y() + r.height() / 2 - radius;
        const double chord = std::abs(dy) < radius ? 2 * std::sqrt(radius * radius - dy * dy) : 0;
        return Rect(r.x() + radius - chord / 2, r.y(), chord, r.height());
    }
    bool isSimpleRectangularTextContainer() const override { return false; }
};

std::shared_ptr<TextContainer> box(double width)
{
    return std::make_shared<TextContainer>(Size(width, TextContainer::unlimited));
}

// The line a face's file asks for, ascender - descender + line gap from 'hhea' over the em of
// 'head', read straight from the file; 0 when the file has no such tables.
double hheaLineInEms(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QDataStream in(&file);
    quint32 version = 0;
    quint16 tableCount = 0;
    in >> version >> tableCount;
    qint64 hhea = 0, head = 0;
    for (int i = 0; i < tableCount; ++i) {
        file.seek(12 + 16 * i);
        quint32 tag = 0, checksum = 0, offset = 0;
        in >> tag >> checksum >> offset;
        if (tag == 0x68686561) // 'hhea'
            hhea = offset;
        else if (tag == 0x68656164) // 'head'
            head = offset;
    }
    quint16 unitsPerEm = 0;
    qint16 ascender = 0, descender = 0, lineGap = 0;
    if (hhea == 0 || head == 0 || !file.seek(head + 18))
        return 0;
    in >> unitsPerEm;
    file.seek(hhea + 4);
    in >> ascender >> descender >> lineGap;
    if (in.status() != QDataStream::Ok || unitsPerEm == 0)
        return 0;
    return (ascender - descender + lineGap) / double(unitsPerEm);
}

} // namespace

TEST(TextLayout, LinesStartInsideTheirPadding)
{
    TextLayout layout(box(300));
    layout.setText(AttributedString(QStringLiteral("Text"), helvetica(100)));
    ASSERT_FALSE(layout.glyphs().empty());
    const LaidOutGlyph& first = layout.glyphs().front();
    EXPECT_NEAR(first.position.x, 5.0, 1e-6);
    const LineFragment& line = layout.lineFragments().front();
    EXPECT_EQ(line.rect.y(), 0.0);
    EXPECT_EQ(line.rect.width(), 300.0);
    EXPECT_NEAR(first.position.y, line.baseline, 1e-6);
    const Font font = *Font::withName(QStringLiteral("Helvetica"), 100);
    EXPECT_NEAR(line.baseline, font.ascender(), 0.05) << "baseline at the ascent below the top";
    EXPECT_NEAR(line.usedRect.height(), font.lineHeight(), 0.05) << "leading is included";
    EXPECT_NEAR(layout.caretRect(0).x(), 5.0, 1e-6);
}

TEST(TextLayout, GlyphsAdvanceAlongTheLine)
{
    TextLayout layout(box(1000));
    layout.setText(AttributedString(QStringLiteral("Hello, world"), helvetica(40)));
    const auto& glyphs = layout.glyphs();
    ASSERT_EQ(glyphs.size(), 12u);
    for (size_t i = 1; i < glyphs.size(); ++i) {
        EXPECT_GT(glyphs[i].position.x, glyphs[i - 1].position.x) << i;
        EXPECT_EQ(glyphs[i].characterIndex, int(i));
        EXPECT_EQ(glyphs[i].position.y, glyphs[0].position.y);
    }
    const BezierPath h = TextLayout::glyphOutline(glyphs[0]);
    EXPECT_GT(h.bounds().height(), 20) << "an H is most of the cap height";
    EXPECT_GE(h.bounds().minY(), -0.5) << "outlines are y-up from the baseline";
}

TEST(TextLayout, ExtraLineFragmentForFinalNewlineAndEmptyText)
{
    struct Row {
        const char* name;
        QString text;
        int lines;
        bool extra;
    };
    const Row rows[] = {
        { "empty text", QString(), 1, true },
        { "one line", QStringLiteral("ab"), 1, false },
        { "final newline", QStringLiteral("ab\n"), 2, true },
        { "blank line between", QStringLiteral("ab\n\ncd"), 3, false },
        { "crlf counts once", QStringLiteral("ab\r\n"), 2, true },
    };
    const Font font = *Font::withName(QStringLiteral("Helvetica"), 20);
    for (const Row& row : rows) {
        TextLayout layout(box(200));
        layout.setDefaultAttributes(helvetica(20));
        layout.setText(AttributedString(row.text, helvetica(20)));
        const auto& lines = layout.lineFragments();
        ASSERT_EQ(int(lines.size()), row.lines) << row.name;
        EXPECT_EQ(layout.extraLineFragment() != nullptr, row.extra) << row.name;
        EXPECT_NEAR(layout.usedRect().height(), row.lines * font.lineHeight(), 0.05) << row.name;
        EXPECT_EQ(layout.laidOutLength(), row.text.size()) << row.name;
        if (row.extra) {
            EXPECT_EQ(layout.caretRect(int(row.text.size())).y(), lines.back().rect.y())
                << row.name;
            EXPECT_EQ(
                layout.characterIndexForPoint(Point(50, lines.back().rect.midY())), row.text.size())
                << row.name;
        }
    }
}

TEST(TextLayout, CircularContainerShortensLines)
{
    auto circle = std::make_shared<CircleContainer>(Size(200, TextContainer::unlimited));
    TextLayout layout(circle);
    QString words;
    for (int i = 0; i < 60; ++i)
        words += QStringLiteral("word ");
    layout.setText(AttributedString(words, helvetica(20)));
    const auto& lines = layout.lineFragments();
    ASSERT_GT(lines.size(), 3u);
    EXPECT_LT(lines.front().rect.width(), 120) << "the first line is a short chord";
    double widest = 0;
    for (const auto& line : lines) {
        EXPECT_LE(line.rect.width(), 200.0 + 1e-9);
        EXPECT_GE(line.rect.x(), 0.0);
        widest = std::max(widest, line.rect.width());
    }
    EXPECT_GT(widest, 195) << "the line through the centre is as wide as the box";
    EXPECT_LE(lines.back().rect.maxY(), 200.0 + 1e-9) << "nothing is laid out below the circle";
    EXPECT_LT(layout.laidOutLength(), words.size()) << "the rest does not fit";
    for (const auto& glyph : layout.glyphs()) {
        const Rect& r = lines[size_t(glyph.lineIndex)].rect;
        // Qt places glyphs on a 1/64 grid.
        EXPECT_GE(glyph.position.x, r.x() + 5 - 1.0 / 64);
    }
}

TEST(TextLayout, CaretAndHitTestingAgree)
{
    TextLayout layout(box(120));
    layout.setText(AttributedString(QStringLiteral("one two three four five"), helvetica(20)));
    ASSERT_GT(layout.lineFragments().size(), 1u) << "the text wraps";
    for (int i = 0; i <= layout.text().length(); ++i) {
        const Rect caret = layout.caretRect(i);
        const int back = layout.characterIndexForPoint(Point(caret.x(), caret.midY()));
        // A wrapped line's end and the next line's start are one caret position apart at most.
        EXPECT_LE(std::abs(back - i), 1) << i;
    }
    EXPECT_EQ(layout.characterIndexForPoint(Point(-50, -50)), 0);
    EXPECT_EQ(layout.characterIndexForPoint(Point(500, 5000)), layout.text().length());
}

TEST(TextLayout, KernAttachmentsAndSpacingShapeTheLines)
{
    const Font font = *Font::withName(QStringLiteral("Helvetica"), 20);
    auto widthOf = [](const AttributedString& s) { return TextLayout::measure(s).width; };
    AttributedString plain(QStringLiteral("abcd"), helvetica(20));
    AttributedString kerned = plain;
    kerned.addAttribute(names::kern, AttributeValue(3.0), TextRange(0, 4));
    EXPECT_NEAR(widthOf(kerned) - widthOf(plain), 12.0, 0.5);

    AttributeDictionary blank = helvetica(20);
    blank[names::attachment] = AttributeValue(TextAttachment { Size(10, 20) });
    const AttributedString attachment(QString(QChar(TextAttachment::character)), blank);
    EXPECT_NEAR(widthOf(attachment), 10.0, 0.01);

    AttributeDictionary spaced = helvetica(20);
    ParagraphStyle style;
    style.lineSpacing = 7;
    spaced[names::paragraphStyle] = AttributeValue(style);
    TextLayout layout(box(200));
    layout.setText(AttributedString(QStringLiteral("a\nb"), spaced));
    const auto& lines = layout.lineFragments();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NEAR(lines[1].rect.y(), font.lineHeight() + 7, 1e-6);

    style = ParagraphStyle::withAlignment(TextAlignment::Center);
    spaced[names::paragraphStyle] = AttributeValue(style);
    layout.setText(AttributedString(QStringLiteral("ab"), spaced));
    const Rect used = layout.lineFragments().front().usedRect;
    EXPECT_NEAR(used.midX(), 100.0, 0.01) << "centred text is centred in its fragment";
}

TEST(TextLayout, LinesAreAsTallAsTheFaceTablesSay)
{
    // Nimbus Sans (Helvetica): 'hhea' gives 1.2 of the size, where Qt's metrics give 1.57;
    // its italics are taller; DejaVu has a 2048-unit em and no line gap.
    for (const char* name : { "Helvetica", "Helvetica-Bold", "Helvetica-Oblique",
             "Helvetica-BoldOblique", "DejaVuSans", "DejaVuSans-Bold" }) {
        const auto font = Font::withName(QString::fromLatin1(name), 100);
        ASSERT_TRUE(font.has_value()) << name;
        const double line = 100 * hheaLineInEms(font->face().filePath);
        ASSERT_GT(line, 0) << name << ": " << qPrintable(font->face().filePath);
        TextLayout layout(box(5000));
        layout.setText(
            AttributedString(QStringLiteral("Hg\nHg"), { { names::font, AttributeValue(*font) } }));
        const auto& lines = layout.lineFragments();
        ASSERT_EQ(lines.size(), 2u) << name;
        EXPECT_NEAR(lines[1].baseline - lines[0].baseline, line, 1e-6) << name;
        EXPECT_NEAR(lines[0].rect.height(), line, 1e-6) << name;
        EXPECT_NEAR(layout.usedRect().height(), 2 * line, 1e-6) << name;
        EXPECT_NEAR(lines[0].baseline, font->ascender(), 1e-9) << name;
        for (const LaidOutGlyph& glyph : layout.glyphs())
            EXPECT_NEAR(glyph.position.y, lines[size_t(glyph.lineIndex)].baseline, 1e-9) << name;
    }
}

TEST(TextLayout, MixedFacesShareTheBaselineOfTheirTallestMetrics)
{
    const Font nimbus = *Font::withName(QStringLiteral("Helvetica"), 100);
    const Font dejaVu = *Font::withName(QStringLiteral("DejaVuSans"), 100);
    AttributedString text(QStringLiteral("HgHg"), { { names::font, AttributeValue(nimbus) } });
    text.addAttribute(names::font, AttributeValue(dejaVu), TextRange(2, 2));
    TextLayout layout(box(5000));
    layout.setText(text);
    const LineFragment& line = layout.lineFragments().front();
    // DejaVu's ascender, Nimbus Sans's descender and line gap.
    const double ascent = std::max(nimbus.ascender(), dejaVu.ascender());
    const double descent = std::max(-nimbus.descender(), -dejaVu.descender());
    const double gap = std::max(nimbus.leading(), dejaVu.leading());
    EXPECT_NEAR(line.usedRect.height(), ascent + descent + gap, 1e-9);
    EXPECT_NEAR(line.baseline, ascent, 1e-9);
    ASSERT_EQ(layout.glyphs().size(), 4u);
    for (const LaidOutGlyph& glyph : layout.glyphs())
        EXPECT_NEAR(glyph.position.y, line.baseline, 1e-9) << glyph.characterIndex;
}

namespace {

// Where Qt's own wrapping at word boundaries or anywhere breaks each paragraph of text, set
// in one face at the width a line of the box has (less its padding): the starts and lengths
// of the lines, in the whole text.
std::vector<TextRange> qtLines(const QString& text, const Font& font, double lineWidth)
{
    std::vector<TextRange> lines;
    int start = 0;
    for (const QString& paragraph : text.split(u'\n')) {
        QTextLayout layout(paragraph);
        layout.setFont(characterFormat(font, 0.0).font());
        QList<QTextLayout::FormatRange> formats;
        for (const FontFallback::Piece& piece :
            FontFallback::split(paragraph, TextRange(0, int(paragraph.size())), font))
            formats.append(
                { piece.range.location, piece.range.length, characterFormat(piece.font, 0.0) });
        layout.setFormats(formats);
        QTextOption option(Qt::AlignLeft);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setUseDesignMetrics(true);
        option.setTabStopDistance(28);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(lineWidth);
            lines.emplace_back(start + line.textStart(), line.textLength());
        }
        layout.endLayout();
        start += int(paragraph.size()) + 1;
    }
    return lines;
}

std::vector<TextRange> ourLines(const TextLayout& layout)
{
    std::vector<TextRange> lines;
    for (const LineFragment& line : layout.lineFragments()) {
        if (line.isExtraLineFragment)
            continue;
        TextRange range = line.characterRange;
        // The paragraph's separator belongs to its last line here, not in Qt's.
        const QString& s = layout.text().string();
        if (range.length > 0 && s[range.end() - 1] == u'\n')
            --range.length;
        lines.push_back(range);
    }
    return lines;
}

QString repeated(const QString& piece, int count)
{
    QString s;
    for (int i = 0; i < count; ++i)
        s += piece;
    return s;
}

} // namespace

// Words longer than their line are broken without Qt's search for the word's end on every line;
// every line still ends where Qt's own wrapping ends it: lines that fit at word boundaries, a
// long word after the last grapheme that fits, its tail followed by the next words.
TEST(TextLayout, LongWordsBreakWhereQtsWrappingBreaksThem)
{
    const QString devanagari = repeated(QStringLiteral("\u0915\u094D\u0937"), 160);
    const struct {
        const char* name;
        QString text;
        double size;
        double width;
    } cases[] = {
        { "prose that fits", QStringLiteral("The quick brown fox jumps over the lazy dog again."),
            30, 300 },
        { "one long word", QString(700, QChar(u'x')), 30, 300 },
        { "words around a long word",
            QStringLiteral("Once upon ") + QString(500, QChar(u'm'))
                + QStringLiteral(" a time there was"),
            24, 250 },
        { "a tail that fits with the next words",
            QString(203, QChar(u'i')) + QStringLiteral(" and so on and so forth"), 20, 260 },
        { "a long word per paragraph",
            QString(300, QChar(u'w')) + u'\n' + QString(90, QChar(u'l')) + QStringLiteral(" end"),
            40, 500 },
        { "a soft hyphen and a slash",
            QString(200, QChar(u'a')) + QChar(0x00AD) + QString(150, QChar(u'b')) + u'/'
                + QString(150, QChar(u'c')),
            18, 200 },
        { "Devanagari conjuncts", devanagari, 30, 300 },
        { "ideographs", repeated(QStringLiteral("\u6F22\u5B57"), 200), 30, 300 },
        { "narrower than a character", QString(300, QChar(u'W')), 60, 12 },
        { "italic overhang", repeated(QStringLiteral("fjf"), 120), 40, 230 },
    };
    const Font roman = *Font::withName(QStringLiteral("Helvetica"), 30);
    const Font italic = Font::withName(QStringLiteral("Helvetica-Oblique"), 30).value_or(roman);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Font face
            = (QByteArray(c.name) == "italic overhang" ? italic : roman).withSize(c.size);
        const AttributeDictionary attributes = { { names::font, AttributeValue(face) } };
        TextLayout layout(box(c.width));
        layout.setText(AttributedString(c.text, attributes));
        const auto expected = qtLines(c.text, face, c.width - 10);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(ourLines(layout), expected);
    }
}

// Breaking a word of n characters reads each character about once, where Qt's word search reads
// from each line's start to the word's end: n times the line count over two. The same long
// paragraphs broken ahead on the shaping threads come out as broken in place, and their glyphs
// (which make the lines again) are one a character.
TEST(TextLayout, AWordLongerThanItsLineIsBrokenInLinearWork)
{
    const Font font = *Font::withName(QStringLiteral("Helvetica"), 40);
    const AttributeDictionary attributes = { { names::font, AttributeValue(font) } };
    constexpr int kLength = 12000;
    for (const bool ahead : { false, true }) {
        SCOPED_TRACE(ahead ? "broken ahead" : "broken in place");
        // Four paragraphs are broken ahead; one is broken where it is placed.
        const QString text = ahead
            ? QString(kLength / 4, QChar(u'x')) + u'\n' + QString(kLength / 4, QChar(u'x')) + u'\n'
                + QString(kLength / 4, QChar(u'x')) + u'\n' + QString(kLength / 4 - 3, QChar(u'x'))
            : QString(kLength, QChar(u'x'));
        TextLayout layout(box(400));
        layout.setText(AttributedString(text, attributes));
        const auto lines = ourLines(layout);
        ASSERT_GT(lines.size(), 100u);
        EXPECT_LE(layout.breakWork(), 4 * qint64(kLength))
            << "the long word was searched on every line";
        if (ahead && ThreadPool::maxThreads() > 1) {
            EXPECT_GT(layout.paragraphsBrokenAhead(), 0);
        }
        EXPECT_EQ(lines, qtLines(text, font, 390));
        EXPECT_EQ(layout.glyphs().size(), size_t(text.count(u'x')));
        for (const LaidOutGlyph& glyph : layout.glyphs())
            ASSERT_EQ(layout.lineFragmentIndexForCharacter(glyph.characterIndex), glyph.lineIndex);
    }
}
