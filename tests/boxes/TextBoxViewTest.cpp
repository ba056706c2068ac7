// The text box view: growth to its text (RecalcFrame), its record, both kinds of
// style paste, and the blanks of vertical text.
#include "BoxTestSupport.h"
#include "boxes/DocumentWindowRef.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/text/AttributeObject.h"
#include "platform/text/TextAttributeNames.h"

#include <gtest/gtest.h>

using boxtest::solid;
using platform::AttributeDictionary;
using platform::AttributedString;
using platform::Color;
using platform::Point;
using platform::Rect;
using platform::Size;
using platform::TextRange;
namespace names = platform::TextAttributeNames;

namespace {

struct FakeWindow : DocumentWindowRef {
    std::optional<Size> picture;
    int selectionCalls = 0;
    std::optional<Size> workingImageSize() const override { return picture; }
    TextRange textViewWillChangeSelection(MyTextBox*, TextRange, TextRange proposed) override
    {
        ++selectionCalls;
        return proposed;
    }
};

Point centreOf(const platform::View& v)
{
    return v.transformToSuperview().map(v.bounds().center());
}

void setText(
    MyTextView& box, const QString& s, AttributeDictionary a = MyTextBox::defaultAttributes())
{
    box.txtBox()->editor().setText(AttributedString(s, a));
}

} // namespace
TEST(TextBoxView, RecalcFrameGrowsAroundTheCentreAndNeverShrinks)
{
    struct Row {
        const char* name;
        double rotation;
        Rect frame;
        std::optional<Size> picture;
        int lines;
        bool limited; // the growth stops at the picture's height
    } rows[] = {
        { "three lines", 0, Rect(100, 100, 300, 20), Size(2000, 2000), 3, false },
        { "taller than the picture", 0, Rect(100, 100, 300, 20), Size(2000, 150), 4, true },
        { "rotated 30", 30, Rect(100, 100, 300, 20), Size(2000, 2000), 3, false },
        { "rotated 250, narrower than fixedWidth", 250, Rect(100, 100, 200, 20), Size(2000, 2000),
            2, false },
        { "no picture yet", 0, Rect(100, 100, 300, 20), std::nullopt, 2, false },
    };
    for (const Row& row : rows) {
        FakeWindow window;
        window.picture = row.picture;
        gDefaultFontSize = 50.0;
        MyTextView box(Rect(0, 0, 300, 20));
        gDefaultFontSize = 100.0;
        box.setMyDocumentWindow(&window);
        box.setRotationAngle(row.rotation);
        box.setFrame(row.frame);
        const Point c0 = centreOf(box);
        QString s = QStringLiteral("Line");
        for (int i = 1; i < row.lines; ++i)
            s += QStringLiteral("\nLine");
        setText(box, s);
        const double used = box.txtBox()->editor().layout().usedRect().height();
        ASSERT_GT(used, 20.0) << row.name;
        box.RecalcFrame();
        const double expected = row.limited ? row.picture->height : used;
        EXPECT_NEAR(box.frame().height(), expected, 1e-9) << row.name;
        EXPECT_EQ(box.frame().width(), 300.0) << row.name;
        EXPECT_NEAR(centreOf(box).x, c0.x, 1e-6) << row.name;
        EXPECT_NEAR(centreOf(box).y, c0.y, 1e-6) << row.name;
        EXPECT_NEAR(box.rotationAngle(), row.rotation, 1e-12) << row.name;
        // Fewer lines never shrink it.
        const Rect grown = box.frame();
        setText(box, QStringLiteral("L"));
        box.RecalcFrame();
        EXPECT_EQ(box.frame(), grown) << row.name;
    }
}

TEST(TextBoxView, RecordsTheFillAllRunsShare)
{
    const SZGradient red = solid(Color(1, 0, 0));
    SZGradient blueGradient;
    blueGradient.gradientType = SZGradient::LinearFill;
    struct Row {
        const char* name;
        std::vector<std::optional<SZGradient>> fills; // per character of "abc"
        int expectedKind;
        bool expectRed;
    } rows[] = {
        { "no fills", { std::nullopt, std::nullopt, std::nullopt }, SZGradient::NoFill, false },
        { "one fill everywhere", { red, red, red }, SZGradient::ColorFill, true },
        { "one fill and unfilled runs", { red, std::nullopt, red }, SZGradient::ColorFill, true },
        { "two fills", { red, blueGradient, red }, SZGradient::NoFill, false },
    };
    for (const Row& row : rows) {
        MyTextView box(Rect(0, 0, 300, 120));
        AttributedString s(QStringLiteral("abc"), MyTextBox::defaultAttributes());
        for (int i = 0; i < 3; ++i) {
            if (row.fills[size_t(i)])
                s.addAttribute(names::gradient, SZGradient::attributeValue(*row.fills[size_t(i)]),
                    TextRange(i, 1));
        }
        box.txtBox()->editor().setText(s);
        const SZGradient before = box.overlayColor();
        const UNDODATA r = box.getUndoData();
        EXPECT_EQ(r.type, 0) << row.name;
        ASSERT_TRUE(r.overlayColor) << row.name;
        EXPECT_EQ(r.overlayColor->gradientType, row.expectedKind) << row.name;
        if (row.expectRed) {
            EXPECT_TRUE(r.overlayColor->isEqualTo(red)) << row.name;
        }
        EXPECT_TRUE(box.overlayColor().isEqualTo(before)) << row.name << ": own fill untouched";
        EXPECT_TRUE(r.rtf && *r.rtf == s) << row.name;
    }
}

TEST(TextBoxView, RecordRoundTripRestoresTextSelectionAndLayoutFlags)
{
    FakeWindow window;
    MyTextView a(Rect(5, 6, 300, 150));
    a.setMyDocumentWindow(&window);
    setText(a, QStringLiteral("one two"));
    a.setSelectable(true);
    a.txtBox()->editor().setSelectedRange(TextRange(4, 3));
    a.setIsVertical(true);
    a.setFixedWidth(280);
    const UNDODATA r = a.getUndoData();

    MyTextView b(Rect(0, 0, 10, 10));
    b.setMyDocumentWindow(&window);
    const int callsBefore = window.selectionCalls;
    b.setUndoData(r);
    EXPECT_EQ(window.selectionCalls, callsBefore) << "the delegate is detached while restoring";
    EXPECT_EQ(b.txtBox()->delegate(), &window) << "and attached again";
    EXPECT_EQ(b.txtStorage(), a.txtStorage());
    EXPECT_EQ(b.txtBox()->editor().selectedRange(), TextRange(4, 3));
    EXPECT_TRUE(b.isVertical());
    EXPECT_EQ(b.frame(), Rect(5, 6, 300, 150));
    EXPECT_EQ(b.txtBox()->frame(), Rect(0, 0, 300, 150));
    EXPECT_TRUE(b.getUndoData().isEqualTo(r));

    // A selection past the end of the text is clamped, not trusted.
    UNDODATA bad = r;
    bad.selectionRange = { 1ull << 40, 1ull << 40 };
    b.setUndoData(bad);
    EXPECT_EQ(b.txtBox()->editor().selectedRange(), TextRange(7, 0));
}

TEST(TextBoxView, VerticalTextTurnsSpacesIntoBlanksAndBack)
{
    MyTextView box(Rect(0, 0, 300, 100));
    AttributeDictionary noFont = MyTextBox::defaultAttributes();
    noFont.erase(names::font);
    AttributedString s(QStringLiteral("a b "), MyTextBox::defaultAttributes());
    s.setAttributes(noFont, TextRange(3, 1));
    box.txtBox()->editor().setText(s);
    box.txtBox()->editor().setSelectedRange(TextRange(1, 2));
    box.setIsVertical(true);
    const AttributedString& v = box.txtStorage();
    ASSERT_EQ(v.length(), 4);
    EXPECT_EQ(v.string()[1], QChar(platform::TextAttachment::character));
    EXPECT_EQ(v.string()[3], QChar(platform::TextAttachment::character));
    const auto* blank = v.attributesAt(1).at(names::attachment).attachment();
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank->cellSize, Size(gDefaultFontSize * 0.5, gDefaultFontSize));
    EXPECT_EQ(v.attributesAt(3).at(names::attachment).attachment()->cellSize, Size(10, 20));
    EXPECT_EQ(box.txtBox()->editor().selectedRange(), TextRange(1, 2)) << "the selection is kept";
    box.setIsVertical(false);
    EXPECT_EQ(box.txtStorage().string(), QStringLiteral("a b "));
    EXPECT_EQ(box.txtStorage().attributesAt(1).count(names::attachment), 0u);
    EXPECT_EQ(box.txtBox()->editor().selectedRange(), TextRange(1, 2));
}

TEST(TextBoxView, StylePaste)
{
    const SZGradient red = solid(Color(1, 0, 0));
    AttributeDictionary big = MyTextBox::defaultAttributes();
    big[names::font] = *platform::Font::withName(QStringLiteral("Helvetica"), 30.0);
    big[names::gradient] = SZGradient::attributeValue(red);
    AttributeDictionary small = MyTextBox::defaultAttributes();
    small[names::font] = *platform::Font::withName(QStringLiteral("Helvetica"), 12.0);

    auto recordOf = [](const AttributedString& text, bool vertical = false) {
        MyTextView src(Rect(0, 0, 300, 100));
        src.txtBox()->editor().setText(text);
        src.setIsVertical(vertical);
        return src.getUndoData();
    };
    FakeWindow window;
    auto paste = [&](const UNDODATA& record, const QString& text, bool vertical = false) {
        auto box = std::make_unique<MyTextView>(Rect(0, 0, 300, 100));
        box->setMyDocumentWindow(&window);
        setText(*box, text, small);
        if (vertical)
            box->setIsVertical(true);
        box->setCopyPasteStyle(record);
        EXPECT_EQ(box->txtBox()->delegate(), &window) << "the delegate is attached again";
        return box;
    };

    // A text record: the source's first-character style on all the target's characters.
    AttributedString xy(QStringLiteral("XY"), big);
    xy.setAttributes(small, TextRange(1, 1));
    auto box = paste(recordOf(xy), QStringLiteral("hello"));
    EXPECT_EQ(box->txtStorage(), AttributedString(QStringLiteral("hello"), big));
    EXPECT_FALSE(box->txtBox()->editor().isEditable());
    EXPECT_FALSE(box->txtBox()->editor().isSelectable());

    // A text record with empty text: its typing attributes.
    MyTextView empty(Rect(0, 0, 300, 100));
    empty.txtBox()->editor().setText(AttributedString());
    empty.txtBox()->editor().setTypingAttributes(big);
    box = paste(empty.getUndoData(), QStringLiteral("hello"));
    EXPECT_EQ(box->txtStorage(), AttributedString(QStringLiteral("hello"), big));

    // A shape record: every run filled with the shape's fill, drawn as one (drawType 0).
    UNDODATA shape;
    shape.type = UNDODATA::ShapeBox;
    shape.overlayColor = red;
    shape.overlayColor->drawType = 1;
    box = paste(shape, QStringLiteral("ab"));
    EXPECT_EQ(box->txtStorage().string(), QStringLiteral("ab"));
    for (int i = 0; i < 2; ++i) {
        const SZGradient* f
            = SZGradient::fromAttribute(box->txtStorage().attributesAt(i).at(names::gradient));
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->drawType, 0);
        EXPECT_EQ(f->color, red.color);
    }

    // A vertical target keeps its blanks as blanks, not as stray attachment characters.
    box = paste(
        recordOf(AttributedString(QStringLiteral("Q"), big), true), QStringLiteral("a b"), true);
    box->setIsVertical(false);
    EXPECT_EQ(box->txtStorage().string(), QStringLiteral("a b"));
}

namespace {

// A style of a higher layer that counts how often it is compared.
class CountedTag final : public platform::AttributeObject {
public:
    explicit CountedTag(int tag)
        : tag(tag)
    {
    }
    int tag;
    static inline long comparisons = 0;
    QString attributeClassName() const override { return QStringLiteral("CountedTag"); }
    bool equals(const platform::AttributeObject& other) const override
    {
        ++comparisons;
        const auto* o = dynamic_cast<const CountedTag*>(&other);
        return o && o->tag == tag;
    }
    std::shared_ptr<platform::AttributeObject> clone() const override
    {
        return std::make_shared<CountedTag>(tag);
    }
};

} // namespace

// A shape's fill pasted onto a text of many runs fills every run in one pass, keeping what
// else each run has: run by run, the whole text was merged again at every run.
TEST(TextBoxView, ShapeStyleFillsManyRunsInOnePass)
{
    constexpr int kRuns = 2000;
    const QString key = QStringLiteral("tag");
    AttributedString::Builder builder(QString(kRuns, QChar(u'r')));
    for (int i = 0; i < kRuns; ++i) {
        AttributeDictionary a = MyTextBox::defaultAttributes();
        a[key] = platform::AttributeValue(
            std::shared_ptr<const platform::AttributeObject>(std::make_shared<CountedTag>(i % 2)));
        builder.appendRun(1, std::move(a));
    }
    const AttributedString text = builder.build();
    ASSERT_EQ(text.runCount(), kRuns);
    FakeWindow window;
    MyTextView box(Rect(0, 0, 300, 100));
    box.setMyDocumentWindow(&window);
    box.txtBox()->editor().setText(text);
    UNDODATA shape;
    shape.type = UNDODATA::ShapeBox;
    shape.overlayColor = solid(Color(0, 0, 1));

    CountedTag::comparisons = 0;
    box.setCopyPasteStyle(shape);
    EXPECT_LE(CountedTag::comparisons, 20L * kRuns) << "the runs were merged again at every run";
    const AttributedString& pasted = box.txtStorage();
    ASSERT_EQ(pasted.runCount(), kRuns);
    for (int i = 0; i < kRuns; ++i) {
        const auto& a = pasted.attributesAt(i);
        const SZGradient* fill = SZGradient::fromAttribute(a.at(names::gradient));
        ASSERT_NE(fill, nullptr);
        ASSERT_EQ(fill->color, Color(0, 0, 1));
        ASSERT_EQ(a.at(key), text.attributesAt(i).at(key)) << "at " << i;
    }
}
