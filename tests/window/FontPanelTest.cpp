// The Font panel driven as a person drives it: presses on the style and alignment segments at
// their place in the window, keys to the window and to the text being edited, faces chosen in
// the pop-up with the keyboard.
#include "InspectorRig.h"
#include "PersonDriving.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/text/FontManager.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/ViewHost.h"
#include "support/SyntheticMouse.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/FillPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSet>
#include <gtest/gtest.h>

using namespace windowtest;
namespace names = platform::TextAttributeNames;

namespace {

const platform::Font& fontAt(const MyTextView* box, int i)
{
    return *box->txtBox()->text().attributesAt(i).at(names::font).font();
}

qint64 numberAt(const MyTextView* box, const QString& key, int i)
{
    return box->txtBox()->text().attributeAt(key, i).toInteger();
}

QString segments(const CustomSegmentedCtrl& c)
{
    QString on;
    for (int s = 0; s < c.segmentCount(); ++s)
        on += c.isSelectedForSegment(s) ? QLatin1Char('1') : QLatin1Char('0');
    return on;
}

} // namespace

// Each click acts on the segment clicked, whatever the others show; S answers over its whole
// segment. One step per click; the segments show the text's styles afterwards.
TEST(FontPanelPerson, StyleSegmentsActOnTheClickedSegment)
{
    const platform::AttributeDictionary struck { { names::strikethroughStyle, 1 } };
    struct Row {
        const char* name;
        std::vector<windowtest::Run> text;
        std::vector<std::pair<int, double>> clicks; // segment, where across it
        bool bold, italic;
        int underline, strike;
        const char* shown; // B I U S
    };
    const Row rows[] = {
        { "italic while bold is on", { { "ab", "DejaVuSans-Bold", 30 } }, { { 1, 0.5 } }, true,
            true, 0, 0, "1100" },
        { "bold turned off", { { "ab", "DejaVuSans-Bold", 30 } }, { { 0, 0.5 } }, false, false, 0,
            0, "0000" },
        { "underline on and off again", { { "ab", "DejaVuSans", 30 } }, { { 2, 0.5 }, { 2, 0.5 } },
            false, false, 0, 0, "0000" },
        { "underline while bold is on", { { "ab", "DejaVuSans-Bold", 30 } }, { { 2, 0.5 } }, true,
            false, 1, 0, "1010" },
        { "strikethrough pressed right of its letter", { { "ab", "DejaVuSans", 30 } },
            { { 3, 0.9 } }, false, false, 0, 1, "0001" },
        { "strikethrough pressed left of its letter", { { "ab", "DejaVuSans", 30 } },
            { { 3, 0.1 } }, false, false, 0, 1, "0001" },
        { "strikethrough off", { { "ab", "DejaVuSans", 30, struck } }, { { 3, 0.5 } }, false, false,
            0, 0, "0000" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w(true);
        w.build({ textOf(row.text) });
        w.undo.endGroup();
        const int steps = w.undo.undoGroupCount();
        for (auto [segment, across] : row.clicks) {
            pressSegment(*w.o.fontStyleSegmentedCtrl, segment, across);
            w.undo.endGroup();
        }
        const MyTextView* box = w.boxAt<MyTextView>(0);
        EXPECT_EQ(fontAt(box, 1).isBold(), row.bold);
        EXPECT_EQ(fontAt(box, 1).isItalic(), row.italic);
        EXPECT_EQ(numberAt(box, names::underlineStyle, 1), row.underline);
        EXPECT_EQ(numberAt(box, names::strikethroughStyle, 1), row.strike);
        EXPECT_EQ(segments(*w.o.fontStyleSegmentedCtrl), QLatin1String(row.shown));
        EXPECT_EQ(w.undo.undoGroupCount(), steps + int(row.clicks.size()));
    }
}

// Ctrl+B and Ctrl+I reach the window as keys; on bold text Ctrl+B takes bold off, Ctrl+I adds
// italic and keeps bold.
TEST(FontPanelPerson, KeysToggleTheStyleOfBoldText)
{
    InspectorWindow w(true);
    w.build({ textOf({ { "ab", "DejaVuSans-Bold", 30 } }) });
    key(w.win, Qt::Key_I, Qt::ControlModifier);
    EXPECT_TRUE(fontAt(w.boxAt<MyTextView>(0), 0).isBold());
    EXPECT_TRUE(fontAt(w.boxAt<MyTextView>(0), 0).isItalic());
    key(w.win, Qt::Key_B, Qt::ControlModifier);
    EXPECT_FALSE(fontAt(w.boxAt<MyTextView>(0), 0).isBold());
    EXPECT_TRUE(fontAt(w.boxAt<MyTextView>(0), 0).isItalic());
    EXPECT_EQ(segments(*w.o.fontStyleSegmentedCtrl), QStringLiteral("0100"));
}

// While editing, U and S act on the selected characters and show as on; the keyboard goes
// back to the text after each press, so typing goes on in the box.
TEST(FontPanelPerson, WhileEditingStylesGoToTheSelectionAndTypingGoesOn)
{
    EditingWindow w({ { "abcd", "DejaVuSans", 30 } }, { 1, 2 });
    ASSERT_TRUE(w.box()->isEditing());
    for (int segment : { 2, 3 }) {
        SCOPED_TRACE(segment);
        pressSegment(*w.o.fontStyleSegmentedCtrl, segment);
        const QString& key = segment == 2 ? names::underlineStyle : names::strikethroughStyle;
        EXPECT_EQ(numberAt(w.box(), key, 0), 0);
        EXPECT_EQ(numberAt(w.box(), key, 1), 1);
        EXPECT_EQ(numberAt(w.box(), key, 2), 1);
        EXPECT_EQ(numberAt(w.box(), key, 3), 0);
        EXPECT_TRUE(w.o.fontStyleSegmentedCtrl->isSelectedForSegment(segment));
        EXPECT_EQ(QApplication::focusWidget(), w.host());
    }
    w.box()->txtBox()->editor().setSelectedRange({ 4, 0 });
    typeToFocus(QStringLiteral("xy"));
    EXPECT_EQ(w.box()->txtBox()->text().string(), QStringLiteral("abcdxy"));
}

// A size typed while editing applies to the selection, and the keys then go to the text.
TEST(FontPanelPerson, SizeTypedWhileEditingGivesTheKeyboardBack)
{
    EditingWindow w({ { "abcd", "DejaVuSans", 30 } }, { 0, 2 });
    w.o.fontSizeTextField->setFocus();
    w.o.fontSizeTextField->selectAll();
    typeToFocus(QStringLiteral("40"));
    key(*w.o.fontSizeTextField, Qt::Key_Return);
    EXPECT_EQ(fontAt(w.box(), 0).pointSize(), 40);
    EXPECT_EQ(fontAt(w.box(), 3).pointSize(), 30);
    EXPECT_EQ(QApplication::focusWidget(), w.host());
    w.box()->txtBox()->editor().setSelectedRange({ 4, 0 });
    typeToFocus(QStringLiteral("z"));
    EXPECT_EQ(w.box()->txtBox()->text().string(), QStringLiteral("abcdz"));
}

// Centring an emptied text centres what is typed next.
TEST(FontPanelPerson, AlignmentOnAnEmptyTextAppliesToWhatIsTyped)
{
    EditingWindow w({}, { 0, 0 });
    ASSERT_TRUE(w.box()->txtBox()->text().isEmpty());
    pressSegment(*w.o.fontAlignmentSegmentedCtrl, 1);
    EXPECT_EQ(QApplication::focusWidget(), w.host());
    typeToFocus(QStringLiteral("ab"));
    const auto& text = w.box()->txtBox()->text();
    ASSERT_EQ(text.string(), QStringLiteral("ab"));
    const platform::AttributeValue value = text.attributeAt(names::paragraphStyle, 1);
    const platform::ParagraphStyle* style = value.paragraphStyle();
    ASSERT_TRUE(style);
    EXPECT_EQ(style->alignment, platform::TextAlignment::Center);
    EXPECT_EQ(w.o.fontAlignmentSegmentedCtrl->selectedSegment(), 1);
}

// Faces that differ only in width: the pop-up shows the condensed face a text has, choosing it
// applies it, and bold keeps the width.
TEST(FontPanelPerson, CondensedFacesAreToldApart)
{
    auto& fonts = platform::FontManager::shared();
    if (!fonts.faceWithPostScriptName(QStringLiteral("DejaVuSansCondensed"))
        || !fonts.faceWithPostScriptName(QStringLiteral("DejaVuSansCondensed-Bold")))
        GTEST_SKIP() << "DejaVu Sans Condensed is not installed";
    InspectorWindow w(true);
    w.build({ textOf({ { "ab", "DejaVuSansCondensed", 30 } }) });
    EXPECT_EQ(w.o.popupFonts->currentText(), QStringLiteral("DejaVuSansCondensed"));
    w.build({ textOf({ { "ab", "DejaVuSans", 30 } }) });
    EXPECT_EQ(w.o.popupFonts->currentText(), QStringLiteral("DejaVuSans"));

    // The person steps the pop-up to the condensed face with the keyboard.
    const int condensed = w.o.popupFonts->findText(QStringLiteral("DejaVuSansCondensed"));
    ASSERT_GT(condensed, 0);
    w.o.popupFonts->setCurrentIndex(condensed - 1);
    w.o.popupFonts->setFocus();
    key(*w.o.popupFonts, Qt::Key_Down);
    EXPECT_EQ(fontAt(w.boxAt<MyTextView>(0), 0).fontName(), QStringLiteral("DejaVuSansCondensed"));
    EXPECT_EQ(w.o.popupFonts->currentText(), QStringLiteral("DejaVuSansCondensed"));

    pressSegment(*w.o.fontStyleSegmentedCtrl, 0);
    EXPECT_EQ(
        fontAt(w.boxAt<MyTextView>(0), 0).fontName(), QStringLiteral("DejaVuSansCondensed-Bold"));
    EXPECT_EQ(w.o.popupFonts->currentText(), QStringLiteral("DejaVuSansCondensed-Bold"));
}

// Every control of the panel changes the selected boxes, as one undo step that undo takes
// back.
TEST(FontPanelPerson, EveryControlChangesTheBoxInOneStep)
{
    struct Row {
        const char* name;
        std::function<void(InspectorWindow&)> act;
    };
    const Row rows[] = {
        { "bold segment",
            [](InspectorWindow& w) { pressSegment(*w.o.fontStyleSegmentedCtrl, 0); } },
        { "alignment segment",
            [](InspectorWindow& w) { pressSegment(*w.o.fontAlignmentSegmentedCtrl, 2); } },
        { "size stepper", [](InspectorWindow& w) { pressStepper(*w.o.fontSizeStepper, false); } },
        { "size field", [](InspectorWindow& w) { typeIntoField(*w.o.fontSizeTextField, "44"); } },
        { "face pop-up",
            [](InspectorWindow& w) {
                w.o.popupFonts->setFocus();
                key(*w.o.popupFonts, Qt::Key_Down);
            } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w(true);
        w.build({ textOf({ { "ab", "DejaVuSans", 30 } }), textOf({ { "cd", "DejaVuSans", 30 } }) });
        platform::ColorPanel::shared().setIdentifier(FillPanel::kTextColorIdentifier);
        const ContainerSnapshot before = w.boxes().containerSnapshot();
        w.undo.endGroup();
        const int steps = w.undo.undoGroupCount();
        row.act(w);
        w.undo.endGroup();
        EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
        EXPECT_FALSE(w.boxes().containerSnapshot() == before);
        EXPECT_EQ(platform::ColorPanel::shared().identifier(), FillPanel::kEmptyColorIdentifier)
            << "the colour panel is detached while the text is rewritten";
        EXPECT_TRUE(w.boxAt<MyTextView>(0)->txtBox()->text().attributesAt(0)
            == w.boxAt<MyTextView>(1)->txtBox()->text().attributesAt(0))
            << "both boxes change alike";
        w.undo.undo();
        EXPECT_TRUE(w.boxes().containerSnapshot() == before);
    }
}

// While editing, Ctrl+I and Ctrl+B typed to the text act on its selected characters.
TEST(FontPanelPerson, KeysWhileEditingActOnTheSelection)
{
    EditingWindow w({ { "abcd", "DejaVuSans-Bold", 30 } }, { 0, 2 });
    ASSERT_EQ(QApplication::focusWidget(), w.host());
    key(*w.host(), Qt::Key_I, Qt::ControlModifier);
    key(*QApplication::focusWidget(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(fontAt(w.box(), 0).isItalic());
    EXPECT_FALSE(fontAt(w.box(), 0).isBold());
    EXPECT_FALSE(fontAt(w.box(), 2).isItalic());
    EXPECT_TRUE(fontAt(w.box(), 2).isBold());
    EXPECT_EQ(QApplication::focusWidget(), w.host());
}

// Bold pressed over many selected boxes lays them out together (their text broken on all
// cores at once): each box then has the frame and draws the pixels of a box made from the
// start with the text bold, laid out alone.
TEST(FontPanelPerson, BoldOverManyBoxesDrawsAsBoxesMadeBold)
{
    const int threads = platform::ThreadPool::maxThreads();
    platform::ThreadPool::setMaxThreads(std::max(threads, 4));
    std::vector<BoxSpec> specs;
    for (int i = 0; i < 12; ++i) {
        std::vector<windowtest::Run> parts;
        for (int r = 0; r < 8; ++r)
            parts.push_back({ QString(40 + i, QLatin1Char('a' + (i + r) % 26)) + u' ',
                r % 2 ? QStringLiteral("DejaVuSans") : QStringLiteral("Helvetica"), 14.0 + r % 3 });
        specs.push_back(textOf(parts));
        specs.back().edit = [parts, i](UNDODATA& r) {
            r.rtf = runs(parts);
            r.isCircular = i == 3;
        };
    }
    InspectorWindow w(true);
    w.build(specs);
    pressSegment(*w.o.fontStyleSegmentedCtrl, 0);
    w.undo.endGroup();
    int brokenAhead = 0;
    std::vector<BoxSpec> madeBold;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const MyTextView* box = w.boxAt<MyTextView>(i);
        ASSERT_TRUE(fontAt(box, 0).isBold());
        brokenAhead += box->txtBox()->editor().layout().paragraphsBrokenAhead();
        const platform::AttributedString text = box->txtBox()->text();
        madeBold.push_back({ Kind::Text, shape::Rectangle, true, [text, i](UNDODATA& r) {
                                r.rtf = text;
                                r.isCircular = i == 3;
                            } });
    }
    EXPECT_GT(brokenAhead, 6) << "the boxes were not laid out together";
    InspectorWindow reference(true);
    reference.build(madeBold);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        SCOPED_TRACE(i);
        MyTextView* box = w.boxAt<MyTextView>(i);
        MyTextView* alone = reference.boxAt<MyTextView>(i);
        alone->RecalcFrame();
        EXPECT_EQ(box->frame(), alone->frame());
        EXPECT_GT(box->frame().height(), 50) << "the box grew to its text";
        const QImage drawn = platform::renderToImage(*box, box->bounds(), 1).toQImage();
        EXPECT_EQ(drawn, platform::renderToImage(*alone, alone->bounds(), 1).toQImage());
        QSet<QRgb> colours;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                colours.insert(drawn.pixel(x, y));
        EXPECT_GT(colours.size(), 8) << "the text was drawn";
    }
    platform::ThreadPool::setMaxThreads(threads);
}
