// The text layout is computed once per change and kept: what it answers is the same as a
// fresh layout's, it lays out again after every change that moves lines, and never for a draw.
// Long texts open and paint.
#include "boxes/CircleTextContainer.h"
#include "boxes/DocumentWindowRef.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "boxes/UNDODATA.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/text/FontManager.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/TextAttributeNames.h"

#include <QCryptographicHash>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>

using namespace platform;
namespace names = platform::TextAttributeNames;

namespace {

AttributeDictionary fontOf(const char* name, double size)
{
    return { { names::font, AttributeValue(*Font::withName(QString::fromLatin1(name), size)) } };
}

// Everything a layout answers, as text: each line's rectangles, baseline and characters, and
// each glyph's character, id and position (to 1/1024 of a unit).
QByteArray layoutRecord(const TextLayout& layout)
{
    QByteArray out;
    auto num = [&](double v) { out += QByteArray::number(qint64(std::llround(v * 1024))) + ' '; };
    for (const LineFragment& line : layout.lineFragments()) {
        for (const Rect& r : { line.rect, line.usedRect }) {
            num(r.x());
            num(r.y());
            num(r.width());
            num(r.height());
        }
        num(line.baseline);
        out += QByteArray::number(line.characterRange.location) + ' '
            + QByteArray::number(line.characterRange.length) + (line.isExtraLineFragment ? "x" : "")
            + '\n';
    }
    for (const LaidOutGlyph& g : layout.glyphs()) {
        out += QByteArray::number(g.characterIndex) + ':' + QByteArray::number(g.glyph) + ':'
            + QByteArray::number(g.lineIndex) + ' ';
        num(g.position.x);
        num(g.position.y);
        num(g.advance);
        out += '\n';
    }
    const Rect used = layout.usedRect();
    num(used.x());
    num(used.y());
    num(used.width());
    num(used.height());
    out += QByteArray::number(layout.laidOutLength());
    return out;
}

QByteArray digest(const TextLayout& layout)
{
    return QCryptographicHash::hash(layoutRecord(layout), QCryptographicHash::Sha1)
        .toHex()
        .left(16);
}

QString prose(int n, int paragraph)
{
    const QString words = QStringLiteral(
        "Morning light fell across the harbour while the boats came home, heavy with the "
        "night's catch; their crews sang old songs of the northern coast. ");
    QString s;
    for (int i = 0; s.size() < n; ++i) {
        s += words.at(i % words.size());
        if (paragraph > 0 && s.size() % paragraph == paragraph - 1)
            s += u'\n';
    }
    return s.left(n);
}

struct LayoutCase {
    const char* name;
    std::function<AttributedString()> text;
    double width = 600;
    double height = TextContainer::unlimited;
    bool circular = false;
    bool vertical = false;
};

std::vector<LayoutCase> layoutCases()
{
    const auto helvetica = [](const QString& s, double size = 40) {
        return AttributedString(s, fontOf("Helvetica", size));
    };
    return {
        { "empty", [=] { return helvetica(QString()); } },
        { "one word", [=] { return helvetica(QStringLiteral("Text"), 100); } },
        { "wrapped prose", [=] { return helvetica(prose(700, 0)); } },
        { "paragraphs, final newline", [=] { return helvetica(prose(900, 120) + u'\n'); } },
        { "crlf and separators",
            [=] { return helvetica(QStringLiteral("one\r\ntwo\rthree\u2029four\n\nfive")); } },
        { "mixed faces and kern",
            [=] {
                AttributedString s = helvetica(prose(300, 0));
                s.addAttributes(fontOf("DejaVuSans-Bold", 60), TextRange(20, 40));
                s.addAttribute(names::kern, AttributeValue(4.0), TextRange(100, 50));
                return s;
            } },
        { "centred, right, line spacing",
            [=] {
                AttributedString s = helvetica(prose(500, 100));
                ParagraphStyle centred = ParagraphStyle::withAlignment(TextAlignment::Center);
                centred.lineSpacing = 9;
                centred.paragraphSpacing = 13;
                s.addAttribute(names::paragraphStyle, AttributeValue(centred), TextRange(0, 250));
                s.addAttribute(names::paragraphStyle,
                    AttributeValue(ParagraphStyle::withAlignment(TextAlignment::Right)),
                    TextRange(250, 250));
                return s;
            } },
        { "attachments",
            [=] {
                AttributedString s = helvetica(QStringLiteral("a\uFFFCb\uFFFCc"));
                AttributeDictionary blank = fontOf("Helvetica", 40);
                blank[names::attachment] = AttributeValue(TextAttachment { Size(20, 40) });
                s.setAttributes(blank, TextRange(1, 1));
                s.setAttributes(blank, TextRange(3, 1));
                return s;
            } },
        { "container full", [=] { return helvetica(prose(900, 0)); }, 600, 300 },
        { "circular", [=] { return helvetica(prose(600, 0)); }, 600, TextContainer::unlimited,
            true },
        { "vertical", [=] { return helvetica(QStringLiteral("Ve\u0301rtical\n\U0001F600x")); }, 600,
            TextContainer::unlimited, false, true },
        { "long prose", [=] { return helvetica(prose(12000, 700), 100); }, 3600 },
    };
}

std::shared_ptr<CircleTextContainer> containerFor(const LayoutCase& c)
{
    auto container = std::make_shared<CircleTextContainer>(Size(c.width, c.height));
    container->setIsCircular(c.circular);
    container->setIsVertical(c.vertical);
    return container;
}

std::unique_ptr<TextLayout> layoutFor(const LayoutCase& c)
{
    auto layout = std::make_unique<TextLayout>(containerFor(c));
    layout->setDefaultAttributes(fontOf("Helvetica", 40));
    layout->setText(c.text());
    return layout;
}

// The window a box grows in: the canvas of a 5120 x 2880 photo.
class PhotoWindow : public DocumentWindowRef {
public:
    std::optional<Size> workingImageSize() const override { return Size(5120, 2880); }
};

// The text with length characters at location replaced by typed ones (which take the
// attributes of the first replaced character, else the one before).
AttributedString edited(AttributedString text, int location, int length, const QString& typed)
{
    text.replaceCharacters(TextRange(location, length), typed);
    return text;
}

} // namespace

TEST(TextLayoutCache, AnswersAsBefore)
{
    // Digests of these layouts as they were made before the layout was cached and built by
    // line: the same line breaks, used rectangles and glyph positions.
    const std::map<std::string, QByteArray> before = {
        { "empty", "9468ace4eb4416bb" },
        { "one word", "9e70cf0366b853c1" },
        { "wrapped prose", "71f815ee55ad91cd" },
        { "paragraphs, final newline", "0acff74e3f7a0518" },
        { "crlf and separators", "4e9eae397e18ffdd" },
        { "mixed faces and kern", "8b9f34004ff58f7c" },
        { "centred, right, line spacing", "101f026ba18d52b6" },
        { "attachments", "f593fd00204435c5" },
        { "container full", "c4e955d00bfaabdf" },
        { "circular", "0f0537054505c432" },
        { "vertical", "43e190335c8144b6" },
        { "long prose", "7aaed2dc535b1123" },
    };
    for (const LayoutCase& c : layoutCases()) {
        const auto layout = layoutFor(c);
        EXPECT_EQ(digest(*layout), before.at(c.name)) << c.name;
        // The glyphs of each line are those of the whole text, line by line.
        std::vector<const LaidOutGlyph*> byLine;
        for (int i = 0; i < int(layout->lineFragments().size()); ++i) {
            for (const LaidOutGlyph& g : layout->glyphsInLineFragment(i))
                byLine.push_back(&g);
        }
        ASSERT_EQ(byLine.size(), layout->glyphs().size()) << c.name;
        for (size_t i = 0; i < byLine.size(); ++i)
            EXPECT_EQ(byLine[i]->position, layout->glyphs()[i].position) << c.name << " " << i;
        EXPECT_EQ(layout->layoutCount(), 1) << c.name;
    }
}

TEST(TextLayoutCache, LaysOutAgainAfterEveryChangeThatMovesLines)
{
    using Change = std::function<void(TextLayout&, CircleTextContainer&)>;
    const AttributeDictionary helvetica = fontOf("Helvetica", 40);
    struct Row {
        const char* name;
        Change change;
        int layouts;
    };
    const Row rows[] = {
        { "other text",
            [&](TextLayout& l, CircleTextContainer&) {
                l.setText(AttributedString(prose(500, 90), helvetica));
            },
            1 },
        { "the same text again",
            [&](TextLayout& l, CircleTextContainer&) {
                l.setText(AttributedString(l.text().string(), helvetica));
            },
            0 },
        { "a larger font over a range",
            [&](TextLayout& l, CircleTextContainer&) {
                AttributedString t = l.text();
                t.addAttributes(fontOf("Helvetica", 70), TextRange(30, 20));
                l.setText(t);
            },
            1 },
        // Edits keep the paragraphs they leave alone; the answers are a fresh layout's.
        { "a character typed in the third paragraph",
            [&](TextLayout& l, CircleTextContainer&) { l.setText(edited(l.text(), 320, 0, "x")); },
            1 },
        { "two paragraphs joined",
            [&](TextLayout& l, CircleTextContainer&) { l.setText(edited(l.text(), 149, 1, "")); },
            1 },
        { "a line more in the first paragraph",
            [&](TextLayout& l, CircleTextContainer&) {
                l.setText(edited(l.text(), 10, 0, prose(200, 0)));
            },
            1 },
        { "the last character deleted",
            [&](TextLayout& l, CircleTextContainer&) {
                l.setText(edited(l.text(), l.text().length() - 1, 1, ""));
            },
            1 },
        { "typed in a circle",
            [&](TextLayout& l, CircleTextContainer& c) {
                c.setIsCircular(true);
                l.lineFragments();
                l.setText(edited(l.text(), 200, 0, "wide"));
            },
            2 },
        { "typed in a column",
            [&](TextLayout& l, CircleTextContainer& c) {
                c.setIsVertical(true);
                l.lineFragments();
                l.setText(edited(l.text(), 40, 0, "W"));
            },
            2 },
        { "narrower container",
            [](TextLayout&, CircleTextContainer& c) {
                c.setSize(Size(450, TextContainer::unlimited));
            },
            1 },
        { "shorter container",
            [](TextLayout&, CircleTextContainer& c) { c.setSize(Size(600, 200)); }, 1 },
        { "the same size again", [](TextLayout&, CircleTextContainer& c) { c.setSize(c.size()); },
            0 },
        { "padding", [](TextLayout&, CircleTextContainer& c) { c.setLineFragmentPadding(20); }, 1 },
        { "circular", [](TextLayout&, CircleTextContainer& c) { c.setIsCircular(true); }, 1 },
        { "vertical", [](TextLayout&, CircleTextContainer& c) { c.setIsVertical(true); }, 1 },
        { "neither again",
            [](TextLayout&, CircleTextContainer& c) {
                c.setIsCircular(false);
                c.setIsVertical(false);
            },
            0 },
        { "default font",
            [](TextLayout& l, CircleTextContainer&) {
                l.setDefaultAttributes(fontOf("DejaVuSans", 30));
            },
            1 },
        { "the same default attributes",
            [](TextLayout& l, CircleTextContainer&) {
                l.setDefaultAttributes(l.defaultAttributes());
            },
            0 },
        { "extra line attributes",
            [](TextLayout& l, CircleTextContainer&) {
                l.setExtraLineFragmentAttributes(fontOf("Helvetica", 90));
            },
            1 },
    };
    for (const Row& row : rows) {
        auto container = std::make_shared<CircleTextContainer>(Size(600, TextContainer::unlimited));
        TextLayout layout(container);
        layout.setDefaultAttributes(helvetica);
        layout.setText(AttributedString(prose(400, 150) + u'\n', helvetica));
        ASSERT_FALSE(layout.glyphs().empty()) << row.name;
        const int before = layout.layoutCount();
        row.change(layout, *container);
        const QByteArray after = layoutRecord(layout);
        EXPECT_EQ(layout.layoutCount(), before + row.layouts) << row.name;

        // A fresh layout of the same text in an equal container answers the same.
        auto twin = std::make_shared<CircleTextContainer>(container->size());
        twin->setLineFragmentPadding(container->lineFragmentPadding());
        twin->setIsCircular(container->isCircular());
        twin->setIsVertical(container->isVertical());
        TextLayout fresh(twin);
        fresh.setDefaultAttributes(layout.defaultAttributes());
        if (QByteArray(row.name) == "extra line attributes")
            fresh.setExtraLineFragmentAttributes(fontOf("Helvetica", 90));
        fresh.setText(layout.text());
        EXPECT_EQ(after, layoutRecord(fresh)) << row.name;
    }
}

TEST(TextLayoutCache, ABoxLaysOutOncePerChangeAndNeverToDraw)
{
    gDefaultFontSize = 100;
    PhotoWindow window;
    MyTextView box(Rect(0, 0, 3600, 400));
    box.setMyDocumentWindow(&window);
    box.txtBox()->editor().setText(
        AttributedString(prose(5000, 600), MyTextBox::defaultAttributes()));
    box.RecalcFrame();
    box.setEditable(true);
    box.setIsEditing(true);
    MyTextBox& text = *box.txtBox();
    const TextLayout& layout = text.editor().layout();
    const int start = layout.layoutCount();
    ASSERT_EQ(box.frame().height(), 2880) << "the box grew to the photo";
    for (double scale : { 0.3, 1.0 }) {
        renderToImage(box, box.bounds(), scale);
        renderToImage(box, Rect(100, 500, 900, 700), scale);
    }
    EXPECT_EQ(layout.layoutCount(), start) << "drawing uses the layout it has";

    text.editor().setSelectedRange(TextRange(2500, 0));
    text.insertText(QStringLiteral("x"));
    renderToImage(box, box.bounds(), 0.3);
    EXPECT_EQ(layout.layoutCount(), start + 1) << "one typed character, one layout";
    text.editor().setSelectedRange(TextRange(10, 4));
    renderToImage(box, box.bounds(), 0.3);
    EXPECT_EQ(layout.layoutCount(), start + 1) << "a new selection moves no line";

    box.setFrameSize(Size(3000, 2880));
    renderToImage(box, box.bounds(), 0.3);
    EXPECT_EQ(layout.layoutCount(), start + 2) << "a new width lays out again";
    EXPECT_LE(layout.lineFragments().front().rect.width(), 3000);
}

TEST(TextLayoutCache, AHundredThousandCharacterBoxOpensAndPaints)
{
    gDefaultFontSize = 100;
    PhotoWindow window;
    MyTextView source(Rect(0, 0, 3600, 400));
    source.txtBox()->editor().setText(
        AttributedString(prose(100000, 600), MyTextBox::defaultAttributes()));
    UNDODATA record = source.getUndoData();

    MyTextView box(Rect(0, 0, 3600, 400));
    box.setMyDocumentWindow(&window);
    box.setUndoData(record);
    box.RecalcFrame();
    const TextLayout& layout = box.txtBox()->editor().layout();
    EXPECT_EQ(layout.laidOutLength(), 100000);
    EXPECT_EQ(box.frame().height(), 2880);
    const QImage image = renderToImage(box, box.bounds(), 0.3).toQImage();
    ASSERT_FALSE(image.isNull());
    // The middle of the text shows across the box: ink in most rows of text.
    int inkedRows = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        inkedRows += std::any_of(row, row + image.width(), [](QRgb p) { return qAlpha(p) > 128; });
    }
    EXPECT_GT(inkedRows, image.height() / 2);
    EXPECT_EQ(layout.layoutCount(), 1);
}

namespace {

// The text's runs from range on, each with its font made bold.
AttributedString emboldened(AttributedString text, TextRange range)
{
    text.changeRuns(range, [](AttributeDictionary& attrs) {
        const auto it = attrs.find(names::font);
        if (it != attrs.end() && it->second.font())
            it->second = AttributeValue(
                FontManager::shared().convertFontToHaveTrait(*it->second.font(), BoldFontMask));
    });
    return text;
}

AttributedString withAttributes(AttributedString text, TextRange range, AttributeDictionary a)
{
    text.addAttributes(a, range);
    return text;
}

// Four paragraphs in two faces, the third right to left, the fourth after two empty ones.
AttributedString paragraphs()
{
    AttributedString s(prose(260, 0) + u'\n' + prose(200, 0) + u'\n'
            + QStringLiteral("שלום עולם, זהו משפט ארוך בעברית שנשבר לכמה שורות בתיבה.") + u'\n'
            + u'\n' + u'\n' + prose(150, 0),
        fontOf("Helvetica", 40));
    s.addAttributes(fontOf("DejaVuSans", 44), TextRange(300, 90));
    return s;
}

int paragraphStart(const AttributedString& text, int n)
{
    int at = 0;
    for (int i = 0; i < n; ++i)
        at = int(text.string().indexOf(u'\n', at)) + 1;
    return at;
}

} // namespace

// After each edit the kept paragraphs (moved up or down where the container allows) and the
// ones broken again answer exactly what a fresh layout of the edited text answers; only the
// paragraphs the edit touched are broken again where the lines keep their shape at any height.
TEST(TextLayoutCache, AnEditLaysOutOnlyItsParagraphsAndAnswersAsAFreshLayout)
{
    const AttributedString start = paragraphs();
    const int second = paragraphStart(start, 1);
    const int third = paragraphStart(start, 2);
    const int fifth = paragraphStart(start, 4);
    const int last = paragraphStart(start, 5);
    const int secondEnd = third - 1;
    ParagraphStyle spaced;
    spaced.lineSpacing = 7;
    spaced.paragraphSpacing = 11;
    spaced.paragraphSpacingBefore = 5;
    struct Row {
        const char* name;
        std::function<AttributedString(const AttributedString&)> edit;
        int broken; // paragraphs broken again; -1: not checked
        bool circular = false;
        double height = TextContainer::unlimited;
    };
    const Row rows[] = {
        { "bold over the first paragraph (lines grow, the rest move down)",
            [&](const AttributedString& t) { return emboldened(t, TextRange(0, second)); }, 1 },
        { "bold over every paragraph",
            [&](const AttributedString& t) { return emboldened(t, TextRange(0, t.length())); }, 6 },
        { "a larger size inside the second paragraph",
            [&](const AttributedString& t) {
                return withAttributes(t, TextRange(second + 10, 30), fontOf("Helvetica", 90));
            },
            1 },
        { "a smaller size over the first paragraph (the rest move up)",
            [&](const AttributedString& t) {
                return withAttributes(t, TextRange(0, second), fontOf("Helvetica", 12));
            },
            1 },
        { "character spacing over the second paragraph",
            [&](const AttributedString& t) {
                return withAttributes(
                    t, TextRange(second, third - second), { { names::kern, AttributeValue(6.0) } });
            },
            1 },
        { "line and paragraph spacing on the first paragraph",
            [&](const AttributedString& t) {
                return withAttributes(
                    t, TextRange(0, second), { { names::paragraphStyle, AttributeValue(spaced) } });
            },
            1 },
        { "words typed at the end of the second paragraph",
            [&](const AttributedString& t) {
                return edited(t, secondEnd, 0, QStringLiteral(" and a few more words"));
            },
            1 },
        { "the end of the second paragraph deleted",
            [&](const AttributedString& t) { return edited(t, secondEnd - 40, 40, ""); }, 1 },
        { "two paragraphs joined",
            [&](const AttributedString& t) { return edited(t, secondEnd, 1, ""); }, 1 },
        { "a paragraph split",
            [&](const AttributedString& t) { return edited(t, second + 50, 0, "\n"); }, 2 },
        { "typed into an empty paragraph",
            [&](const AttributedString& t) { return edited(t, fifth, 0, QStringLiteral("x")); },
            1 },
        { "an empty paragraph added",
            [&](const AttributedString& t) { return edited(t, fifth, 0, "\n"); }, 1 },
        { "an empty paragraph removed",
            [&](const AttributedString& t) { return edited(t, fifth, 1, ""); }, 0 },
        { "typed into the right-to-left paragraph",
            [&](const AttributedString& t) {
                return edited(t, third + 5, 0, QStringLiteral("מילה "));
            },
            1 },
        { "the last paragraph deleted",
            [&](const AttributedString& t) {
                return edited(t, last - 1, t.length() - last + 1, "");
            },
            0 },
        { "bold over the first paragraph in a circle (every line below breaks again)",
            [&](const AttributedString& t) { return emboldened(t, TextRange(0, second)); }, -1,
            true },
        { "bold over the first paragraph with little room below",
            [&](const AttributedString& t) { return emboldened(t, TextRange(0, second)); }, -1,
            false, 900 },
    };
    for (const Row& row : rows) {
        auto container = std::make_shared<CircleTextContainer>(Size(700, row.height));
        container->setIsCircular(row.circular);
        TextLayout layout(container);
        layout.setDefaultAttributes(fontOf("Helvetica", 40));
        layout.setText(start);
        // The glyphs of every line gathered, so that the kept lines bring theirs along.
        ASSERT_FALSE(layout.glyphs().empty()) << row.name;
        layout.setText(row.edit(start));
        const QByteArray after = layoutRecord(layout);
        if (row.broken >= 0)
            EXPECT_EQ(layout.paragraphsBroken(), row.broken) << row.name;

        auto twin = std::make_shared<CircleTextContainer>(container->size());
        twin->setIsCircular(row.circular);
        TextLayout fresh(twin);
        fresh.setDefaultAttributes(layout.defaultAttributes());
        fresh.setText(layout.text());
        EXPECT_EQ(after, layoutRecord(fresh)) << row.name;
        // Asked line by line as a draw asks, the glyphs are the fresh layout's too.
        for (int i = 0; i < int(fresh.lineFragments().size()); ++i) {
            const auto& kept = layout.glyphsInLineFragment(i);
            const auto& made = fresh.glyphsInLineFragment(i);
            ASSERT_EQ(kept.size(), made.size()) << row.name << " line " << i;
            for (size_t g = 0; g < kept.size(); ++g)
                EXPECT_NEAR(kept[g].position.y, made[g].position.y, 1e-9) << row.name << " " << i;
        }
        EXPECT_EQ(layout.caretRect(last + 3), fresh.caretRect(last + 3)) << row.name;
    }
}

namespace {

// Lines narrower past a character, whatever their height: the fragments keep their shape down
// the container but not along the text, so lines broken ahead at a paragraph's first width
// must be broken again in place.
class NarrowerPastContainer : public TextContainer {
public:
    NarrowerPastContainer(Size size, int from)
        : TextContainer(size)
        , m_from(from)
    {
    }
    Rect lineFragmentRect(const Rect& proposed, int characterIndex, const AttributedString& text,
        Rect* remaining) override
    {
        Rect r = TextContainer::lineFragmentRect(proposed, characterIndex, text, remaining);
        if (characterIndex >= m_from && !r.isEmpty())
            r = Rect(r.x() + 150, r.y(), r.width() - 300, r.height());
        return r;
    }
    bool isSimpleRectangularTextContainer() const override { return false; }
    bool fragmentShapeDependsOnY() const override { return false; }

private:
    int m_from;
};

// Everything a layout answers to a person: its record (lines and glyphs), and carets, clicks
// and selections here and there along the text.
QByteArray answers(const TextLayout& layout)
{
    QByteArray out = layoutRecord(layout);
    const int n = layout.text().length();
    for (int i = 0; i <= n; i += std::max(1, n / 37)) {
        const Rect caret = layout.caretRect(i);
        out += QByteArray::number(caret.x(), 'f', 4) + ',' + QByteArray::number(caret.y(), 'f', 4)
            + ';';
    }
    for (const LineFragment& line : layout.lineFragments()) {
        out += QByteArray::number(
                   layout.characterIndexForPoint(Point(line.usedRect.midX() + 3, line.rect.midY())))
            + ',';
    }
    for (const Rect& r : layout.selectionRects(TextRange(n / 3, n / 3)))
        out += QByteArray::number(r.x(), 'f', 4) + ',' + QByteArray::number(r.width(), 'f', 4)
            + ';';
    return out;
}

} // namespace

// A long text's paragraphs are broken on the pool's threads and placed afterwards; the lines,
// glyphs, carets and selections are those of breaking every paragraph in place, one thread
// doing all (and so the pixels drawn from them).
TEST(TextLayoutCache, ParagraphsBrokenOnThePoolAnswerAsBrokenInPlace)
{
    const AttributeDictionary helvetica = fontOf("Helvetica", 60);
    ParagraphStyle spaced = ParagraphStyle::withAlignment(TextAlignment::Right);
    spaced.lineSpacing = 7;
    spaced.paragraphSpacing = 11;
    spaced.paragraphSpacingBefore = 5;
    struct Row {
        const char* name;
        std::function<AttributedString()> text;
        std::function<std::shared_ptr<TextContainer>()> container;
        // Laid out first, so that the layout of the text keeps what it can.
        std::function<AttributedString()> before = nullptr;
    };
    const auto column = [](double height = TextContainer::unlimited) {
        return [=] { return std::make_shared<TextContainer>(Size(1800, height)); };
    };
    const Row rows[] = {
        { "prose in paragraphs", [&] { return AttributedString(prose(20000, 700), helvetica); },
            column() },
        { "faces, sizes, kern and paragraph styles",
            [&] {
                AttributedString s(prose(12000, 500), helvetica);
                for (int at = 0; at < 12000; at += 1700) {
                    s.addAttributes(fontOf("DejaVuSans-Bold", 90), TextRange(at, 120));
                    s.addAttribute(names::kern, AttributeValue(5.0), TextRange(at + 300, 200));
                }
                s.addAttribute(
                    names::paragraphStyle, AttributeValue(spaced), TextRange(2000, 5000));
                return s;
            },
            column() },
        { "right to left, fallback faces and attachments",
            [&] {
                QString hebrew;
                while (hebrew.size() < 6000)
                    hebrew += QStringLiteral("שלום עולם, זהו משפט ארוך בעברית. ");
                AttributedString s(prose(3000, 400) + u'\n' + hebrew + u'\n'
                        + QStringLiteral("\u4e2d\u6587 a\uFFFCb \U0001F600 ") + prose(3000, 400),
                    helvetica);
                AttributeDictionary blank = helvetica;
                blank[names::attachment] = AttributeValue(TextAttachment { Size(30, 60) });
                const int at = int(s.string().indexOf(QChar(0xFFFC)));
                s.setAttributes(blank, TextRange(at, 1));
                return s;
            },
            column() },
        { "empty paragraphs and separators",
            [&] {
                return AttributedString(prose(3000, 300) + QStringLiteral("\n\n\r\n\u2029")
                        + prose(3000, 0) + QStringLiteral("\r\n"),
                    helvetica);
            },
            column() },
        { "the container full partway through a paragraph",
            [&] { return AttributedString(prose(20000, 900), helvetica); }, column(3000) },
        { "lines narrower along the text (broken again in place)",
            [&] { return AttributedString(prose(12000, 600), helvetica); },
            [] {
                return std::make_shared<NarrowerPastContainer>(
                    Size(1800, TextContainer::unlimited), 5000);
            } },
        { "bold over every other paragraph after a first layout",
            [&] {
                AttributedString s(prose(20000, 700), helvetica);
                for (int p = 0; p < 28; p += 2)
                    s = emboldened(s, TextRange(p * 700, 699));
                return s;
            },
            column(), [&] { return AttributedString(prose(20000, 700), helvetica); } },
    };
    const int threads = ThreadPool::maxThreads();
    for (const Row& row : rows) {
        auto layOut = [&](int maxThreads) {
            ThreadPool::setMaxThreads(maxThreads);
            auto layout = std::make_unique<TextLayout>(row.container());
            layout->setDefaultAttributes(helvetica);
            if (row.before) {
                layout->setText(row.before());
                layout->lineFragments();
            }
            layout->setText(row.text());
            layout->lineFragments();
            ThreadPool::setMaxThreads(threads);
            return layout;
        };
        const auto inPlace = layOut(1);
        const auto ahead = layOut(std::max(threads, 4));
        EXPECT_GT(inPlace->lineFragments().size(), 20u) << row.name;
        EXPECT_TRUE(answers(*ahead) == answers(*inPlace)) << row.name;
    }
}

// A long text box laid out on the pool draws the same pixels as one laid out in place.
TEST(TextLayoutCache, ALongTextBoxBrokenOnThePoolDrawsAsOneBrokenInPlace)
{
    gDefaultFontSize = 100;
    PhotoWindow window;
    AttributedString text(prose(30000, 600), MyTextBox::defaultAttributes());
    text.addAttributes(fontOf("DejaVuSans-Bold", 120), TextRange(14000, 900));
    const int threads = ThreadPool::maxThreads();
    auto draw = [&](int maxThreads) {
        ThreadPool::setMaxThreads(maxThreads);
        MyTextView box(Rect(0, 0, 3600, 400));
        box.setMyDocumentWindow(&window);
        box.txtBox()->editor().setText(text);
        box.RecalcFrame();
        ThreadPool::setMaxThreads(threads);
        return renderToImage(box, box.bounds(), 0.3).toQImage();
    };
    const QImage inPlace = draw(1);
    const QImage ahead = draw(std::max(threads, 4));
    ASSERT_FALSE(inPlace.isNull());
    EXPECT_EQ(ahead, inPlace);
}

// An edit over many texts lays them out together, their changed paragraphs broken on the
// shaping threads in one batch: each then answers (lines, glyphs, carets, selections) as a
// fresh layout of its text alone, a layout named twice or left unchanged included, and asking
// lays none out again. Texts differ from box to box, so that a paragraph placed in another
// box's layout shows.
TEST(TextLayoutCache, TextsLaidOutTogetherAnswerAsEachLaidOutAlone)
{
    const int threads = ThreadPool::maxThreads();
    constexpr int kTexts = 12;
    struct Text {
        AttributedString text;
        std::function<std::shared_ptr<TextContainer>()> container;
    };
    // Texts of 600 to 930 characters in two faces and three sizes; one box circular, one
    // vertical (those break in place), one of several paragraphs, one with tabs and right to
    // left text (broken ahead as a Qt layout alone, not in a document).
    auto original = [](int i) {
        QString characters = prose(600 + 30 * i, i == 5 ? 150 : 0).mid(i);
        if (i == 8)
            characters.replace(80, 30, QStringLiteral("\tשלום עולם, זהו משפט\t"));
        AttributedString s(characters, fontOf("Helvetica", 24));
        for (int at = 0; at < s.length(); at += 60)
            s.addAttributes(fontOf(i % 2 ? "DejaVuSans" : "Helvetica", 20.0 + (at / 60) % 3),
                TextRange(at, std::min(30, s.length() - at)));
        return s;
    };
    auto container = [](int i) -> std::shared_ptr<TextContainer> {
        auto c = std::make_shared<CircleTextContainer>(
            Size(240 + 13 * i, i == 3 ? 600 : TextContainer::unlimited));
        c->setIsCircular(i == 3);
        c->setIsVertical(i == 7);
        return c;
    };
    ParagraphStyle spaced = ParagraphStyle::withAlignment(TextAlignment::Right);
    spaced.lineSpacing = 9;
    spaced.paragraphSpacing = 4;
    struct Row {
        const char* name;
        std::function<AttributedString(const AttributedString&, int)> change;
    };
    const Row rows[] = {
        { "bold over every text",
            [](const AttributedString& t, int) {
                return emboldened(t, TextRange(0, t.length()));
            } },
        { "a larger size over every text",
            [](const AttributedString& t, int) {
                return withAttributes(t, TextRange(0, t.length()), fontOf("DejaVuSans", 31));
            } },
        { "character spacing over every text",
            [](const AttributedString& t, int) {
                return withAttributes(
                    t, TextRange(0, t.length()), { { names::kern, AttributeValue(3.5) } });
            } },
        { "line spacing and right alignment over every text",
            [&](const AttributedString& t, int) {
                return withAttributes(t, TextRange(0, t.length()),
                    { { names::paragraphStyle, AttributeValue(spaced) } });
            } },
        { "bold over every other text, the rest unchanged",
            [](const AttributedString& t, int i) {
                return i % 2 ? t : emboldened(t, TextRange(0, t.length()));
            } },
    };
    // Two threads: one shaping thread breaks each box's paragraphs while the next boxes' are
    // described, and waits for them; more: several take them at once.
    for (const int shaping : { 2, std::max(threads, 4) })
        for (const Row& row : rows) {
            ThreadPool::setMaxThreads(shaping);
            SCOPED_TRACE(row.name);
            SCOPED_TRACE(shaping);
            std::vector<std::unique_ptr<TextLayout>> layouts;
            std::vector<const TextLayout*> named;
            std::vector<int> counts;
            for (int i = 0; i < kTexts; ++i) {
                layouts.push_back(std::make_unique<TextLayout>(container(i)));
                layouts.back()->setText(original(i));
                layouts.back()->lineFragments();
                layouts.back()->setText(row.change(original(i), i));
                counts.push_back(layouts.back()->layoutCount());
                named.push_back(layouts.back().get());
            }
            named.push_back(named[4]);
            TextLayout::layOutTogether(named);
            int brokenAhead = 0;
            for (int i = 0; i < kTexts; ++i) {
                const TextLayout& together = *layouts[size_t(i)];
                SCOPED_TRACE(i);
                const bool changed = !(row.change(original(i), i) == original(i));
                EXPECT_EQ(together.layoutCount(), counts[size_t(i)] + (changed ? 1 : 0));
                brokenAhead += together.paragraphsBrokenAhead();
                TextLayout alone(container(i));
                alone.setText(row.change(original(i), i));
                EXPECT_TRUE(answers(together) == answers(alone));
                EXPECT_EQ(together.layoutCount(), counts[size_t(i)] + (changed ? 1 : 0))
                    << "asked after the batch, laid out again";
            }
            EXPECT_GT(brokenAhead, kTexts / 3) << "the texts were not broken together";
        }
    ThreadPool::setMaxThreads(threads);
}
