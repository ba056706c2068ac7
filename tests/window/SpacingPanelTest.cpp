// The Spacing panel driven as a person drives it: steppers pressed, numbers typed into the
// fields, the layout segments pressed, the remove button clicked.
#include "window/SpacingPanel.h"

#include "PersonDriving.h"
#include "platform/text/ParagraphStyle.h"
#include "window/CustomSegmentedCtrl.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace windowtest;
namespace names = platform::TextAttributeNames;

namespace {

double kernAt(const MyTextView* box, int i)
{
    return box->txtBox()->text().attributeAt(names::kern, i).toDouble();
}

double lineSpacingAt(const MyTextView* box, int i)
{
    const platform::AttributeValue value
        = box->txtBox()->text().attributeAt(names::paragraphStyle, i);
    const platform::ParagraphStyle* style = value.paragraphStyle();
    return style ? style->lineSpacing : 0.0;
}

BoxSpec spaced(double kern, double line, bool circular = false, bool vertical = false)
{
    BoxSpec box = textOf(
        { { "ab cd", "DejaVuSans", 30, { { names::kern, kern }, { names::paragraphStyle, [line] {
                                                                     platform::ParagraphStyle s;
                                                                     s.lineSpacing = line;
                                                                     return s;
                                                                 }() } } } });
    box.edit = [text = box.edit, circular, vertical](UNDODATA& r) {
        text(r);
        r.isCircular = circular;
        r.isVertical = vertical;
    };
    return box;
}

} // namespace

// Every control of the panel changes the selected boxes, as one undo step that undo takes
// back; values outside 0..59 show as they are.
TEST(SpacingPanel, EveryControlChangesTheBoxInOneStep)
{
    struct Row {
        const char* name;
        BoxSpec box;
        std::function<void(InspectorWindow&)> act;
        std::function<void(InspectorWindow&)> check;
    };
    const auto box0 = [](InspectorWindow& w) { return w.boxAt<MyTextView>(0); };
    const Row rows[] = {
        { "character spacing stepper down from -2", spaced(-2, 0),
            [](InspectorWindow& w) { pressStepper(*w.o.charspaceStepper, false); },
            [&](InspectorWindow& w) {
                EXPECT_EQ(kernAt(box0(w), 0), -3);
                EXPECT_EQ(w.o.charspaceTextField->text(), QStringLiteral("-3 pt"));
            } },
        { "line spacing stepper up from 80", spaced(0, 80),
            [](InspectorWindow& w) { pressStepper(*w.o.linespaceStepper, true); },
            [&](InspectorWindow& w) {
                EXPECT_EQ(lineSpacingAt(box0(w), 4), 81);
                EXPECT_EQ(w.o.linespaceTextField->text(), QStringLiteral("81 pt"));
            } },
        { "character spacing typed", spaced(0, 0),
            [](InspectorWindow& w) { typeIntoField(*w.o.charspaceTextField, "2.5 pt"); },
            [&](InspectorWindow& w) {
                EXPECT_EQ(kernAt(box0(w), 2), 2.5);
                EXPECT_FALSE(w.o.minusOtherProperties->isHidden());
            } },
        { "line spacing typed", spaced(0, 0),
            [](InspectorWindow& w) { typeIntoField(*w.o.linespaceTextField, "120"); },
            [&](InspectorWindow& w) { EXPECT_EQ(lineSpacingAt(box0(w), 0), 120); } },
        { "circle segment", spaced(0, 0),
            [](InspectorWindow& w) { pressSegment(*w.o.textboxLayoutStepper, 0); },
            [&](InspectorWindow& w) {
                EXPECT_TRUE(box0(w)->isCircular());
                EXPECT_FALSE(box0(w)->isVertical());
            } },
        { "vertical turns circular off", spaced(0, 0, true),
            [](InspectorWindow& w) { pressSegment(*w.o.textboxLayoutStepper, 1); },
            [&](InspectorWindow& w) {
                EXPECT_FALSE(box0(w)->isCircular());
                EXPECT_TRUE(box0(w)->isVertical());
                EXPECT_FALSE(w.o.textboxLayoutStepper->isSelectedForSegment(0));
                EXPECT_TRUE(w.o.textboxLayoutStepper->isSelectedForSegment(1));
            } },
        { "vertical turned off leaves both off", spaced(0, 0, false, true),
            [](InspectorWindow& w) { pressSegment(*w.o.textboxLayoutStepper, 1); },
            [&](InspectorWindow& w) {
                EXPECT_FALSE(box0(w)->isCircular());
                EXPECT_FALSE(box0(w)->isVertical());
            } },
        { "remove button resets all three", spaced(3, 40, true),
            [](InspectorWindow& w) { w.o.minusOtherProperties->click(); },
            [&](InspectorWindow& w) {
                EXPECT_EQ(kernAt(box0(w), 0), 0);
                EXPECT_EQ(lineSpacingAt(box0(w), 0), 0);
                EXPECT_FALSE(box0(w)->isCircular());
                EXPECT_EQ(w.o.linespaceTextField->text(), QStringLiteral("(Auto)"));
                EXPECT_TRUE(w.o.minusOtherProperties->isHidden());
            } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w(true);
        w.build({ row.box, row.box });
        ASSERT_EQ(w.o.textboxLayoutStepper->segmentCount(), 2);
        const ContainerSnapshot before = w.boxes().containerSnapshot();
        w.undo.endGroup();
        const int steps = w.undo.undoGroupCount();
        row.act(w);
        w.undo.endGroup();
        row.check(w);
        const MyTextView* a = w.boxAt<MyTextView>(0);
        const MyTextView* b = w.boxAt<MyTextView>(1);
        EXPECT_TRUE(a->txtBox()->text() == b->txtBox()->text()) << "both boxes change";
        EXPECT_EQ(a->isCircular(), b->isCircular());
        EXPECT_EQ(a->isVertical(), b->isVertical());
        EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
        w.undo.undo();
        EXPECT_TRUE(w.boxes().containerSnapshot() == before);
    }
}

// Typed spacing: non-finite and numberless text is refused, magnitudes are held within the
// record's bound, and the field and stepper show the value sent.
TEST(SpacingPanel, TypedSpacingIsCheckedAndHeld)
{
    struct Row {
        const char* typed;
        bool line;
        std::optional<double> applied; // nothing: refused
        const char* shown;
    };
    const Row rows[] = {
        { "nan", false, std::nullopt, "0 pt" },
        { "inf", true, std::nullopt, "(Auto)" },
        { "abc", false, std::nullopt, "0 pt" },
        { "", true, std::nullopt, "(Auto)" },
        { "-0", false, 0.0, "0 pt" },
        { "2147483648", false, SpacingPanel::kMaxSpacing, "100000 pt" },
        { "-1e400", false, -1.0, "-1 pt" },
        { "-50", true, 0.0, "(Auto)" },
        { "2,5", false, 2.5, "2.5 pt" },
        { "(Auto)", true, 0.0, "(Auto)" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        InspectorWindow w(true);
        w.build({ spaced(0, 0) });
        const platform::AttributedString before = w.boxAt<MyTextView>(0)->txtBox()->text();
        typeIntoField(row.line ? *w.o.linespaceTextField : *w.o.charspaceTextField,
            QString::fromUtf8(row.typed));
        const MyTextView* box = w.boxAt<MyTextView>(0);
        const double now = row.line ? lineSpacingAt(box, 0) : kernAt(box, 0);
        EXPECT_TRUE(std::isfinite(now));
        EXPECT_EQ(now, row.applied.value_or(0.0));
        if (!row.applied)
            EXPECT_TRUE(box->txtBox()->text() == before) << "refused";
        EXPECT_EQ((row.line ? w.o.linespaceTextField : w.o.charspaceTextField)->text(),
            QLatin1String(row.shown));
    }
}

// While editing: a caret changes nothing and registers nothing; a selection changes only its
// characters, as one step that leaves the typing before it alone; a range left past the end
// by a shorter text is held within it.
TEST(SpacingPanel, WhileEditing)
{
    EditingWindow w({ { "abcd", "DejaVuSans", 30 } }, { 4, 0 });
    typeToFocus(QStringLiteral("ef"));
    ASSERT_EQ(w.box()->txtBox()->text().string(), QStringLiteral("abcdef"));
    w.undo.endGroup();
    const int steps = w.undo.undoGroupCount();

    w.box()->txtBox()->editor().setSelectedRange({ 2, 0 });
    typeIntoField(*w.o.charspaceTextField, QStringLiteral("4"));
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps) << "a caret changes no character";
    EXPECT_EQ(QApplication::focusWidget(), w.host());

    w.box()->txtBox()->editor().setSelectedRange({ 1, 2 });
    typeIntoField(*w.o.charspaceTextField, QStringLiteral("5"));
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
    EXPECT_EQ(kernAt(w.box(), 0), 0);
    EXPECT_EQ(kernAt(w.box(), 1), 5);
    EXPECT_EQ(kernAt(w.box(), 2), 5);
    EXPECT_EQ(kernAt(w.box(), 3), 0);
    w.undo.undo();
    EXPECT_EQ(kernAt(w.box(), 1), 0);
    EXPECT_EQ(w.box()->txtBox()->text().string(), QStringLiteral("abcdef")) << "typing stays";

    // The text shrinks under a selection the window still holds (as an undo rebuild does).
    w.box()->txtBox()->editor().setSelectedRange({ 3, 3 });
    w.box()->txtBox()->editor().editText([](platform::AttributedString& s) {
        s.replaceCharacters({ 2, 4 }, platform::AttributedString());
    });
    typeIntoField(*w.o.linespaceTextField, QStringLiteral("30"));
    EXPECT_EQ(w.box()->txtBox()->text().string(), QStringLiteral("ab"));
    EXPECT_EQ(lineSpacingAt(w.box(), 1), 0);
}

// A layout change refused because the box is being edited shows the boxes' layout again.
TEST(SpacingPanel, RefusedLayoutShowsTheBoxesLayout)
{
    EditingWindow w({ { "abcd", "DejaVuSans", 30 } }, { 0, 0 });
    w.undo.endGroup();
    const int steps = w.undo.undoGroupCount();
    pressSegment(*w.o.textboxLayoutStepper, 0);
    w.undo.endGroup();
    EXPECT_FALSE(w.box()->isCircular());
    EXPECT_FALSE(w.o.textboxLayoutStepper->isSelectedForSegment(0));
    EXPECT_EQ(w.undo.undoGroupCount(), steps);
}

// The panel shows the selection's spacing: "(Auto)" and no remove button for plain text,
// values outside 0..59 as they are, and a font size of 120 steps to 121.
TEST(SpacingPanel, ShowsTheSelectionsValues)
{
    InspectorWindow w(true);
    w.build({ spaced(0, 0) });
    EXPECT_EQ(w.o.linespaceTextField->text(), QStringLiteral("(Auto)"));
    EXPECT_EQ(w.o.charspaceTextField->text(), QStringLiteral("0 pt"));
    EXPECT_TRUE(w.o.minusOtherProperties->isHidden());
    w.build({ spaced(-2, 75, false, true) });
    EXPECT_EQ(w.o.charspaceTextField->text(), QStringLiteral("-2 pt"));
    EXPECT_EQ(w.o.charspaceStepper->intValue(), -2);
    EXPECT_EQ(w.o.linespaceTextField->text(), QStringLiteral("75 pt"));
    EXPECT_EQ(w.o.linespaceStepper->intValue(), 75);
    EXPECT_TRUE(w.o.textboxLayoutStepper->isSelectedForSegment(1));
    EXPECT_FALSE(w.o.minusOtherProperties->isHidden());

    w.build({ textOf({ { "ab", "DejaVuSans", 120 } }) });
    EXPECT_EQ(w.o.fontSizeTextField->text(), QStringLiteral("120 pt"));
    pressStepper(*w.o.fontSizeStepper, true);
    EXPECT_EQ(w.o.fontSizeTextField->text(), QStringLiteral("121 pt"));
    EXPECT_EQ(
        w.boxAt<MyTextView>(0)->txtBox()->text().attributeAt(names::font, 0).font()->pointSize(),
        121);
}

// The spacing fields are labelled Line and Char as the frame's fields are: each label left of
// its field on the field's row, wide enough for its text, and clear of the pair before it.
TEST(SpacingPanel, FieldsAreLabelled)
{
    InspectorWindow w(true);
    w.build({ spaced(2, 3) });
    struct Row {
        const char* label;
        QLineEdit* field;
        QWidget* stepper;
    };
    const Row rows[] = { { "Line", w.o.linespaceTextField, w.o.linespaceStepper },
        { "Char", w.o.charspaceTextField, w.o.charspaceStepper } };
    int clearOf = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const QLabel* found = nullptr;
        for (const QLabel* l : w.o.panelOtherProperties->findChildren<QLabel*>())
            if (l->text() == QLatin1String(row.label))
                found = l;
        ASSERT_NE(found, nullptr);
        EXPECT_TRUE(found->isVisible());
        EXPECT_EQ(found->geometry().center().y(), row.field->geometry().center().y());
        EXPECT_LE(found->geometry().right(), row.field->geometry().left());
        EXPECT_GE(found->width(), found->sizeHint().width());
        EXPECT_GT(found->geometry().left(), clearOf);
        EXPECT_EQ(found->buddy(), row.field);
        clearOf = row.stepper->geometry().right();
    }
}
