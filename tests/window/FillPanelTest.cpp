// The fill wells and the plain text colour, driven as a person drives them: a click on a well
// or the colour swatch, then a colour picked in the shared colour panel (commitColor stands
// in for the pick in the dialog).
#include "window/FillPanel.h"

#include "PersonDriving.h"
#include "foundation/SZGradient.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/View.h"
#include "window/AngleCtrl.h"
#include "window/ColoredButton.h"
#include "window/GradientCtrl.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QScrollArea>
#include <gtest/gtest.h>

using namespace windowtest;
using platform::Color;
namespace names = platform::TextAttributeNames;

namespace {

const Color kRed(1, 0, 0, 1);

// A click on the middle of a well's preview, then the colour picked.
void pickWellColour(GradientCtrl& well, const Color& colour)
{
    const platform::Rect R = well.previewRect();
    clickInWindow(well, QPointF(R.midX(), well.height() - R.midY()));
    platform::ColorPanel::shared().commitColor(colour);
}

ColoredButton& swatch(const InspectorWindow& w)
{
    return *w.o.panelFont->findChild<ColoredButton*>(FillPanel::kTextColourButton);
}

void pickTextColour(const InspectorWindow& w, const Color& colour)
{
    ColoredButton& button = swatch(w);
    clickInWindow(button, QPointF(button.width() / 2.0, button.height() / 2.0));
    platform::ColorPanel::shared().commitColor(colour);
}

const SZGradient* fillAt(const MyTextView* box, int i)
{
    return SZGradient::fromAttribute(box->txtBox()->text().attributeAt(names::gradient, i));
}

} // namespace

// Every control of the panel changes the selected box of its kind, as one undo step that
// undo takes back.
TEST(FillPanel, EveryControlChangesTheBoxInOneStep)
{
    SZGradient blue;
    blue.color = Color(0, 0, 1, 1);
    const auto filled = [&](UNDODATA& r) {
        r.backColor = blue;
        r.overlayColor = blue;
    };
    struct Row {
        const char* name;
        Kind kind;
        std::function<void(InspectorWindow&)> act;
    };
    const Row rows[] = {
        { "text fill well", Kind::Text,
            [](InspectorWindow& w) { pickWellColour(*w.o.btFontColor, kRed); } },
        { "text colour swatch", Kind::Text, [](InspectorWindow& w) { pickTextColour(w, kRed); } },
        { "background well", Kind::Text,
            [](InspectorWindow& w) { pickWellColour(*w.o.btTextboxBackgroundColor, kRed); } },
        { "overlay well", Kind::Image,
            [](InspectorWindow& w) { pickWellColour(*w.o.btOverlayColor, kRed); } },
        { "background remove button", Kind::Text,
            [](InspectorWindow& w) { w.o.minusTextBoxBackgroundColor->click(); } },
        { "overlay remove button", Kind::Image,
            [](InspectorWindow& w) { w.o.minusOverlayColor->click(); } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w(true);
        BoxSpec box = row.kind == Kind::Text ? textOf({ { "ab", "DejaVuSans", 30 } })
                                             : BoxSpec { Kind::Image };
        const auto text = box.edit;
        box.edit = [&, text](UNDODATA& r) {
            if (text)
                text(r);
            filled(r);
        };
        w.build({ box });
        const ContainerSnapshot before = w.boxes().containerSnapshot();
        w.undo.endGroup();
        const int steps = w.undo.undoGroupCount();
        row.act(w);
        w.undo.endGroup();
        EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
        EXPECT_FALSE(w.boxes().containerSnapshot() == before);
        w.undo.undo();
        EXPECT_TRUE(w.boxes().containerSnapshot() == before);
    }
}

// The text fill over several boxes: an empty box among them is skipped, and every box with
// text changes in the one step.
TEST(FillPanel, EmptyBoxesAreSkippedAndAllChangeInOneStep)
{
    InspectorWindow w(true);
    w.build({ textOf({ { "ab", "DejaVuSans", 30 } }), textOf({}),
        textOf({ { "cd", "DejaVuSans", 30 } }) });
    const ContainerSnapshot before = w.boxes().containerSnapshot();
    w.undo.endGroup();
    const int steps = w.undo.undoGroupCount();
    pickWellColour(*w.o.btFontColor, kRed);
    w.undo.endGroup();
    for (std::size_t i : { 0u, 2u }) {
        const SZGradient* fill = fillAt(w.boxAt<MyTextView>(i), 1);
        ASSERT_TRUE(fill);
        EXPECT_EQ(fill->color, kRed);
        EXPECT_EQ(fill->drawType, 0);
    }
    EXPECT_TRUE(w.boxAt<MyTextView>(1)->txtBox()->text().isEmpty());
    EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
    w.undo.undo();
    EXPECT_TRUE(w.boxes().containerSnapshot() == before);
}

namespace {

// The share of the box's glyph pixels (opaque enough) that are red.
double redShare(MyTextView& box)
{
    const QImage img = platform::renderToImage(box, box.bounds(), 1.0).toQImage();
    int ink = 0, red = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (qAlpha(p) < 200)
                continue;
            ++ink;
            red += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
        }
    }
    return ink ? double(red) / ink : 0.0;
}

} // namespace

// The plain text colour is a colour fill, so the glyphs turn red; the foreground colour is
// kept for the record. While editing it goes to the selected characters only.
TEST(FillPanel, TextColourPaintsTheGlyphs)
{
    InspectorWindow w(true);
    w.build({ textOf({ { "HIM", "DejaVuSans", 60 } }) });
    MyTextView* box = w.boxAt<MyTextView>(0);
    EXPECT_LT(redShare(*box), 0.05);
    pickTextColour(w, kRed);
    EXPECT_GT(redShare(*box), 0.8);
    EXPECT_EQ(*box->txtBox()->text().attributeAt(names::foregroundColor, 0).color(), kRed);
    EXPECT_EQ(swatch(w).coloringColor(), kRed);

    EditingWindow e({ { "abcd", "DejaVuSans", 30 } }, { 1, 2 });
    pickTextColour(e, kRed);
    EXPECT_FALSE(fillAt(e.box(), 0) && fillAt(e.box(), 0)->color == kRed);
    ASSERT_TRUE(fillAt(e.box(), 1));
    EXPECT_EQ(fillAt(e.box(), 1)->color, kRed);
    EXPECT_EQ(fillAt(e.box(), 1)->drawType, 1);
    EXPECT_EQ(fillAt(e.box(), 2)->color, kRed);
    EXPECT_FALSE(fillAt(e.box(), 3) && fillAt(e.box(), 3)->color == kRed);
    EXPECT_EQ(QApplication::focusWidget(), e.host());
}

// The colour panel opened from the swatch stays on the text while the person works in it: a
// click back into the text, typing, a new selection, then a pick in the still-open dialog
// colours the characters selected at that moment.
TEST(FillPanel, APickGoesToTheSelectionOfTheMoment)
{
    EditingWindow e({ { "abcd", "DejaVuSans", 30 } }, { 4, 0 });
    ColoredButton& button = swatch(e);
    clickInWindow(button, QPointF(button.width() / 2.0, button.height() / 2.0));
    QColorDialog* dialog = platform::ColorPanel::shared().dialog();
    ASSERT_TRUE(dialog->isVisible());
    // Back in the document window (its window manager's doing), a click on the text, the end
    // of the line, "x", and "cd" selected with the keys.
    QApplication::setActiveWindow(&e.win);
    const platform::Rect r = e.box()->bounds();
    testsupport::click(*e.host(),
        e.host()->widgetPointFromWindow(
            e.box()->convertPointToView(platform::Point(r.midX(), r.midY()), nullptr)));
    e.host()->setFocus(Qt::MouseFocusReason);
    key(*e.host(), Qt::Key_End);
    typeToFocus(QStringLiteral("x"));
    key(*e.host(), Qt::Key_Left);
    key(*e.host(), Qt::Key_Left, Qt::ShiftModifier);
    key(*e.host(), Qt::Key_Left, Qt::ShiftModifier);
    ASSERT_EQ(e.box()->txtBox()->text().string(), QStringLiteral("abcdx"));
    ASSERT_EQ(e.box()->txtBox()->editor().selectedRange(), platform::TextRange(2, 2));

    // Blue chosen in the dialog, then its OK button.
    dialog->setCurrentColor(Qt::blue);
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_TRUE(buttons);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ASSERT_TRUE(ok);
    testsupport::click(*ok, QPointF(ok->width() / 2.0, ok->height() / 2.0));
    const Color blue(0, 0, 1, 1);
    for (int i = 0; i < 5; ++i) {
        const SZGradient* fill = fillAt(e.box(), i);
        const bool isBlue = fill && fill->color == blue;
        EXPECT_EQ(isBlue, i == 2 || i == 3) << "character " << i;
    }
    platform::ColorPanel::shared().close();
}

// Picks that change nothing register nothing: a caret while editing, a detached panel, no
// selected box.
TEST(FillPanel, NothingChangedNoStep)
{
    struct Row {
        const char* name;
        std::function<void(EditingWindow&)> act;
    };
    const Row rows[] = {
        { "text fill with a caret",
            [](EditingWindow& w) {
                w.box()->txtBox()->editor().setSelectedRange({ 2, 0 });
                pickWellColour(*w.o.btFontColor, kRed);
            } },
        { "text colour with a caret",
            [](EditingWindow& w) {
                w.box()->txtBox()->editor().setSelectedRange({ 2, 0 });
                pickTextColour(w, kRed);
            } },
        { "a pick while the panel is detached",
            [](EditingWindow& w) {
                w.box()->txtBox()->editor().setSelectedRange({ 0, 4 });
                pickTextColour(w, kRed);
                w.undo.undo();
                FillPanel::detachColorPanel();
                platform::ColorPanel::shared().commitColor(Color(0, 1, 0, 1));
            } },
        { "a pick with no box selected",
            [](EditingWindow& w) {
                w.win.endTextEditing();
                w.boxes().removeAllSelection();
                w.undo.endGroup();
                w.undo.removeAllActions();
                pickTextColour(w, kRed);
            } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EditingWindow w({ { "abcd", "DejaVuSans", 30 } }, { 0, 0 });
        w.undo.endGroup();
        const int steps = w.undo.undoGroupCount();
        const platform::AttributedString before = w.box()->txtBox()->text();
        row.act(w);
        w.undo.endGroup();
        EXPECT_EQ(w.undo.undoGroupCount(), steps);
        EXPECT_TRUE(w.box()->txtBox()->text() == before);
    }
}

// The remove buttons show once a box fill is one, not for no fill.
TEST(FillPanel, RemoveButtonsFollowTheFill)
{
    InspectorWindow w(true);
    w.build({ textOf({ { "ab", "DejaVuSans", 30 } }) });
    EXPECT_TRUE(w.o.minusTextBoxBackgroundColor->isHidden());
    pickWellColour(*w.o.btTextboxBackgroundColor, kRed);
    EXPECT_FALSE(w.o.minusTextBoxBackgroundColor->isHidden());
    ASSERT_TRUE(w.boxAt<MyTextView>(0)->backColor().color);
    EXPECT_EQ(*w.boxAt<MyTextView>(0)->backColor().color, kRed);
    w.o.minusTextBoxBackgroundColor->click();
    EXPECT_TRUE(w.o.minusTextBoxBackgroundColor->isHidden());
    EXPECT_EQ(w.boxAt<MyTextView>(0)->backColor().gradientType, SZGradient::NoFill);
    EXPECT_EQ(w.o.btTextboxBackgroundColor->gradient().gradientType, SZGradient::NoFill);
}

// At the window's real size a stop marker of a multi-stop fill lies inside its well: a click
// on it picks that stop, and the colour then picked recolours the boxes' fill.
TEST(FillPanel, StopMarkersCanBeClickedInTheWindow)
{
    SZGradient advanced;
    advanced.gradientType = SZGradient::AdvancedLinearFill;
    advanced.gradient = platform::Gradient(
        { { Color(0, 0, 0, 1), 0.0 }, { Color(0, 1, 0, 1), 0.5 }, { Color(1, 1, 1, 1), 1.0 } });
    InspectorWindow w(true);
    BoxSpec box = textOf({ { "ab", "DejaVuSans", 30 } });
    box.edit = [text = box.edit, advanced](UNDODATA& r) {
        text(r);
        r.backColor = advanced;
    };
    w.build({ box });
    GradientCtrl& well = *w.o.btTextboxBackgroundColor;
    ASSERT_EQ(well.gradient().gradientType, SZGradient::AdvancedLinearFill);
    const platform::Rect R = well.previewRect();
    // The middle stop's marker hangs over the bar: its centre 4 points above the bar's bottom
    // edge, 5 right of the stop.
    const double x = 0.5 * R.size.width + 5, yUp = R.origin.y - 4;
    clickInWindow(well, QPointF(x, well.height() - yUp));
    EXPECT_EQ(well.mouseState(), 1);
    EXPECT_EQ(well.mouseSubId(), 1);
    platform::ColorPanel::shared().commitColor(kRed);
    const SZGradient back = w.boxAt<MyTextView>(0)->backColor();
    ASSERT_TRUE(back.gradient);
    EXPECT_EQ(back.gradient->stop(1).color, kRed);
}

// A drag of the text fill's angle knob is one undo step, however many angles it passes.
TEST(FillPanel, AKnobDragIsOneStep)
{
    SZGradient linear;
    linear.gradientType = SZGradient::LinearFill;
    linear.gradient = platform::Gradient(Color(1, 0, 0, 1), Color(0, 0, 1, 1));
    InspectorWindow w(true);
    w.build({ textOf({ { "ab", "DejaVuSans", 30,
        { { names::gradient, SZGradient::attributeValue(linear) } } } }) });
    AngleCtrl* knob = w.o.btFontColor->angleCtrl();
    ASSERT_TRUE(knob && knob->isVisibleTo(w.o.btFontColor));
    w.o.panelScrollView->ensureWidgetVisible(knob);
    w.undo.endGroup();
    const int steps = w.undo.undoGroupCount();
    const QPointF c(knob->width() / 2.0, knob->height() / 2.0);
    testsupport::sendMouse(
        *knob, QEvent::MouseButtonPress, c + QPointF(10, 0), Qt::LeftButton, Qt::LeftButton);
    // Each event is a pass of the event loop, which ends the undo manager's group.
    w.undo.endGroup();
    for (const QPointF& at : { QPointF(0, 10), QPointF(-10, 0), QPointF(0, -10) }) {
        testsupport::sendMouse(*knob, QEvent::MouseMove, c + at, Qt::NoButton, Qt::LeftButton);
        w.undo.endGroup();
    }
    testsupport::sendMouse(
        *knob, QEvent::MouseButtonRelease, c + QPointF(0, -10), Qt::LeftButton, Qt::NoButton);
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
    const SZGradient* fill = fillAt(w.boxAt<MyTextView>(0), 0);
    ASSERT_TRUE(fill);
    EXPECT_NE(fill->angle, linear.angle);
}
