// The shadow panels driven as a person drives them: every control changes the selected boxes
// as one undo step, a slider or knob drag and a held key are one step, a remove button resets
// its whole family in one step, typed numbers are held within the control's range and shown in
// all three siblings, and the shadow's ink moves with its offset.
#include "ClickInWindow.h"
#include "PanelDriving.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/SegmentedControl.h"
#include "support/PixelProbe.h"
#include "window/AngleCtrl.h"
#include "window/ColoredButton.h"
#include "window/FieldNumbers.h"
#include "window/ShadowPanel.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace windowtest;
using platform::Color;

namespace {

const Color kRed(1, 0, 0, 1);

// Every family at angle 90, blur 5, offset 5, in the colour a new box has.
void shadowed(UNDODATA& r)
{
    r.shadowAngle = r.innerShadowAngle = r.boxShadowAngle = 90;
    r.shadowBlurSize = r.innerShadowBlurSize = r.boxShadowBlurSize = 5;
    r.shadowOffsetSize = r.innerShadowOffsetSize = r.boxShadowOffsetSize = 5;
    r.shadowColor = r.innerShadowColor = r.boxShadowColor = ShadowPanel::kNoShadowColor;
}

BoxSpec shadowedBox(Kind kind = Kind::Text)
{
    return { kind, shape::Rectangle, true, shadowed };
}

ShadowPanel& shadowPanel(DocumentWindow& win)
{
    for (const auto& p : win.inspectorPanels())
        if (auto* s = dynamic_cast<ShadowPanel*>(p.get()))
            return *s;
    throw std::logic_error("no shadow panel");
}

// Presses segment 0 (inner) or 1 (box shadow) of the family switch.
void chooseFamily(InspectorWindow& w, int segment)
{
    platform::SegmentedControl& s = *w.o.segmentInnerShadow;
    clickAt(s, s.convertToWidget(s.frameForSegment(segment).center()));
    ASSERT_EQ(s.selectedSegment(), segment);
}

int fieldNumber(const QLineEdit* field)
{
    return fieldnumbers::leadingInt(field->text()).value_or(-12345);
}

// The three value fields of a family's record: angle, blur, offset.
struct Numbers {
    int angle, blur, offset;
    std::optional<Color> color;
    bool operator==(const Numbers&) const = default;
};
Numbers drop(const UNDODATA& r)
{
    return { r.shadowAngle, r.shadowBlurSize, r.shadowOffsetSize, r.shadowColor };
}
Numbers inner(const UNDODATA& r)
{
    return { r.innerShadowAngle, r.innerShadowBlurSize, r.innerShadowOffsetSize, r.innerShadowColor };
}
Numbers boxShadow(const UNDODATA& r)
{
    return { r.boxShadowAngle, r.boxShadowBlurSize, r.boxShadowOffsetSize, r.boxShadowColor };
}

} // namespace

// Every control of both panels, pressed, typed or dragged: the family it edits changes on the
// selected box, the others do not, in one undo step that undo takes back.
TEST(ShadowPanel, EveryControlChangesItsFamilyInOneStep)
{
    enum Family { Drop, Inner, Box };
    struct Row {
        const char* name;
        Family family;
        std::function<void(InspectorWindow&)> act;
        // What the family holds afterwards (from the record before).
        std::function<Numbers(Numbers)> expect;
    };
    const auto angle = [](int a) { return [a](Numbers n) { return n.angle = a, n; }; };
    const auto blur = [](int b) { return [b](Numbers n) { return n.blur = b, n; }; };
    const auto offset = [](int o) { return [o](Numbers n) { return n.offset = o, n; }; };
    const auto red = [](Numbers n) { return n.color = kRed, n; };
    // The knob's left edge points at 180 degrees.
    const auto knobLeft = [](AngleCtrl* k) { clickAt(*k, QPointF(2, k->height() / 2.0)); };
    const auto pickRed = [](ColoredButton* well) {
        clickCentre(*well);
        platform::ColorPanel::shared().commitColor(kRed);
        endEvent();
    };
    using W = InspectorWindow;
    const Row rows[] = {
        { "drop angle stepper up", Drop, [](W& w) { stepOnce(*w.o.shadowAngleStepper, true); },
            angle(91) },
        { "drop angle typed", Drop, [](W& w) { typeInto(*w.o.shadowAngleTextField, "200"); },
            angle(200) },
        { "drop angle knob", Drop, [&](W& w) { knobLeft(w.o.shadowAngleCtrl); }, angle(180) },
        { "drop blur stepper up", Drop, [](W& w) { stepOnce(*w.o.shadowBlurStepper, true); },
            blur(6) },
        { "drop blur typed", Drop, [](W& w) { typeInto(*w.o.shadowBlurTextField, "12 pt"); },
            blur(12) },
        { "drop blur slider", Drop, [](W& w) { dragSlider(*w.o.shadowBlurSlider, 0.1, 0.5); },
            blur(50) },
        { "drop offset stepper down", Drop,
            [](W& w) { stepOnce(*w.o.shadowOffsetStepper, false); }, offset(4) },
        { "drop offset typed", Drop, [](W& w) { typeInto(*w.o.shadowOffsetTextField, "30"); },
            offset(30) },
        { "drop offset slider", Drop,
            [](W& w) { dragSlider(*w.o.shadowOffsetSlider, 0.5, 0.25); }, offset(25) },
        { "drop colour", Drop, [&](W& w) { pickRed(w.o.btShadowColor); }, red },
        { "inner angle stepper down", Inner,
            [](W& w) { stepOnce(*w.o.innerShadowAngleStepper, false); }, angle(89) },
        { "inner angle typed", Inner,
            [](W& w) { typeInto(*w.o.innerShadowAngleTextField, "45º"); }, angle(45) },
        { "inner angle knob", Inner, [&](W& w) { knobLeft(w.o.innerShadowAngleCtrl); },
            angle(180) },
        { "inner blur stepper", Inner,
            [](W& w) { stepOnce(*w.o.innerShadowBlurStepper, true); }, blur(6) },
        { "inner blur typed", Inner, [](W& w) { typeInto(*w.o.innerShadowBlurTextField, "8"); },
            blur(8) },
        { "inner blur slider", Inner,
            [](W& w) { dragSlider(*w.o.innerShadowBlurSlider, 0.0, 0.2); }, blur(20) },
        { "inner offset stepper", Inner,
            [](W& w) { stepOnce(*w.o.innerShadowOffsetStepper, true); }, offset(6) },
        { "inner offset typed", Inner,
            [](W& w) { typeInto(*w.o.innerShadowOffsetTextField, "9 pt"); }, offset(9) },
        { "inner offset slider", Inner,
            [](W& w) { dragSlider(*w.o.innerShadowOffsetSlider, 0.9, 0.7); }, offset(70) },
        { "inner colour", Inner, [&](W& w) { pickRed(w.o.btInnerShadowColor); }, red },
        { "box angle stepper", Box, [](W& w) { stepOnce(*w.o.innerShadowAngleStepper, true); },
            angle(91) },
        { "box angle knob", Box, [&](W& w) { knobLeft(w.o.innerShadowAngleCtrl); },
            angle(180) },
        { "box blur typed", Box, [](W& w) { typeInto(*w.o.innerShadowBlurTextField, "77"); },
            blur(77) },
        { "box blur slider", Box,
            [](W& w) { dragSlider(*w.o.innerShadowBlurSlider, 0.3, 0.4); }, blur(40) },
        { "box offset stepper", Box,
            [](W& w) { stepOnce(*w.o.innerShadowOffsetStepper, false); }, offset(4) },
        { "box offset slider", Box,
            [](W& w) { dragSlider(*w.o.innerShadowOffsetSlider, 0.6, 0.15); }, offset(15) },
        { "box colour", Box, [&](W& w) { pickRed(w.o.btInnerShadowColor); }, red },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ shadowedBox(), shadowedBox() });
        chooseFamily(w, row.family == Box ? 1 : 0);
        const UNDODATA before = w.boxes().textViewAry[0]->getUndoData();
        const ContainerSnapshot all = w.boxes().containerSnapshot();
        EXPECT_EQ(stepsDuring(w.undo, [&] { row.act(w); }), 1);
        for (MyViewBase* box : w.boxes().textViewAry) {
            const UNDODATA after = box->getUndoData();
            const auto family = row.family == Drop ? drop : row.family == Inner ? inner : boxShadow;
            EXPECT_EQ(family(after), row.expect(family(before)));
            for (const auto other : { drop, inner, boxShadow }) {
                if (other != family) {
                    EXPECT_EQ(other(after), other(before));
                }
            }
        }
        w.undo.undo();
        EXPECT_TRUE(w.boxes().containerSnapshot() == all);
    }
}

// A slider drag over many pointer events, a knob drag and a held arrow key each leave one
// undo step that takes the boxes back to where the gesture began.
TEST(ShadowPanel, ADragOrAHeldKeyIsOneUndoStep)
{
    InspectorWindow w;
    w.build({ shadowedBox(), shadowedBox(Kind::Shape), shadowedBox(Kind::Image) });
    const ContainerSnapshot start = w.boxes().containerSnapshot();
    ImageEffectIntensitySlider& blur = *w.o.shadowBlurSlider;
    EXPECT_EQ(stepsDuring(w.undo, [&] { dragSlider(blur, 0.05, 0.8, 20); }), 1);
    for (MyViewBase* box : w.boxes().textViewAry)
        EXPECT_EQ(box->shadowBlurSize(), 80);
    EXPECT_EQ(w.o.shadowBlurTextField->text(), QStringLiteral("80 pt"));
    EXPECT_EQ(w.o.shadowBlurStepper->intValue(), 80);

    AngleCtrl& knob = *w.o.shadowAngleCtrl;
    const double r = knob.width() / 2.0;
    EXPECT_EQ(stepsDuring(w.undo,
                  [&] {
                      using testsupport::sendMouse;
                      sendMouse(knob, QEvent::MouseButtonPress, { 2 * r - 1, r }, Qt::LeftButton,
                          Qt::LeftButton);
                      endEvent();
                      for (double y = r; y < 2 * r - 1; y += 2) {
                          sendMouse(knob, QEvent::MouseMove, { 2 * r - 1, y }, Qt::NoButton,
                              Qt::LeftButton);
                          endEvent();
                      }
                      sendMouse(knob, QEvent::MouseButtonRelease, { r, 2 * r - 1 },
                          Qt::LeftButton, Qt::NoButton);
                      endEvent();
                  }),
        1);
    EXPECT_GT(w.boxes().textViewAry[0]->shadowAngle(), 0);

    ImageEffectIntensitySlider& offset = *w.o.shadowOffsetSlider;
    offset.setFocus();
    EXPECT_EQ(stepsDuring(w.undo,
                  [&] {
                      sendKey(offset, QEvent::KeyPress, Qt::Key_Right);
                      endEvent();
                      for (int i = 0; i < 9; ++i) {
                          sendKey(offset, QEvent::KeyPress, Qt::Key_Right, {}, true);
                          endEvent();
                      }
                      sendKey(offset, QEvent::KeyRelease, Qt::Key_Right);
                      endEvent();
                  }),
        1);
    EXPECT_EQ(w.boxes().textViewAry[2]->shadowOffsetSize(), int(offset.value() * 100));

    w.undo.undo();
    w.undo.undo();
    w.undo.undo();
    EXPECT_TRUE(w.boxes().containerSnapshot() == start);
}

// A remove button resets colour, angle, blur and offset of every selected box, whatever its
// kind, and one undo brings every value back.
TEST(ShadowPanel, RemoveIsOneStepOverAMixedSelection)
{
    struct Row {
        const char* name;
        int segment;
        QPushButton* DocumentWindowOutlets::*minus;
        Numbers (*family)(const UNDODATA&);
    };
    const Row rows[] = {
        { "drop shadow", 0, &DocumentWindowOutlets::minusShadow, drop },
        { "inner shadow", 0, &DocumentWindowOutlets::minusInnerShadow, inner },
        { "box shadow", 1, &DocumentWindowOutlets::minusInnerShadow, boxShadow },
    };
    const auto coloured = [](UNDODATA& r) {
        shadowed(r);
        r.shadowColor = r.innerShadowColor = r.boxShadowColor = kRed;
        r.shadowBlurSize = r.innerShadowBlurSize = r.boxShadowBlurSize = 7;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ { Kind::Text, 0, true, coloured }, { Kind::Shape, 0, true, coloured },
            { Kind::Image, 0, true, coloured } });
        // The switch shows for text boxes: chosen with text alone, then the rest joins.
        if (row.segment == 1) {
            for (MyViewBase* b : w.boxes().textViewAry)
                b->setSelected(b == w.boxes().textViewAry[0]);
            w.win.textViewSelected(w.boxes().textViewAry);
            chooseFamily(w, 1);
        }
        const ContainerSnapshot all = w.boxes().containerSnapshot();
        QPushButton* minus = w.o.*row.minus;
        ASSERT_FALSE(minus->isHidden());
        EXPECT_EQ(stepsDuring(w.undo, [&] { clickCentre(*minus); }), 1);
        EXPECT_TRUE(minus->isHidden());
        for (MyViewBase* box : w.boxes().textViewAry) {
            if (!box->selected())
                continue;
            const Numbers none { 0, 0, 0, ShadowPanel::kNoShadowColor };
            EXPECT_EQ(row.family(box->getUndoData()), none);
        }
        w.undo.undo();
        EXPECT_TRUE(w.boxes().containerSnapshot() == all);
    }
}

// Typed values no person means: each is read as its leading number, held within the row's
// range, sent, and shown alike by the field, the stepper and the slider or knob.
TEST(ShadowPanel, TypedValuesAreHeldAndShownByAllThree)
{
    struct Row {
        const char* name;
        QLineEdit* DocumentWindowOutlets::*field;
        const char* typed;
        int sent;
    };
    using O = DocumentWindowOutlets;
    const Row rows[] = {
        { "empty blur", &O::shadowBlurTextField, "", 0 },
        { "letters", &O::shadowBlurTextField, "abc", 0 },
        { "minus zero", &O::shadowBlurTextField, "-0", 0 },
        { "exponent ignored", &O::shadowBlurTextField, "1e400", 1 },
        { "nan", &O::shadowBlurTextField, "nan", 0 },
        { "past int (the sent blur reached the boxes unclamped)", &O::shadowBlurTextField,
            "2147483648", UNDODATA::kMaxShadowSize },
        { "decimal comma", &O::shadowBlurTextField, "3,7", 3 },
        { "negative blur", &O::innerShadowBlurTextField, "-20", 0 },
        { "above the slider's maximum", &O::shadowBlurTextField, "250 pt", 250 },
        { "negative offset", &O::shadowOffsetTextField, "-30", -30 },
        { "offset past the record", &O::shadowOffsetTextField, "-99999999",
            -int(UNDODATA::kMaxExtent) },
        { "angle past a turn", &O::shadowAngleTextField, "400º", 40 },
        { "negative angle", &O::innerShadowAngleTextField, "-90", 270 },
        { "fraction of a degree", &O::shadowAngleTextField, "359.9", 359 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ shadowedBox() });
        QLineEdit* field = w.o.*row.field;
        typeInto(*field, QString::fromUtf8(row.typed));
        const UNDODATA r = w.boxes().textViewAry[0]->getUndoData();
        const int held = field == w.o.shadowBlurTextField ? r.shadowBlurSize
            : field == w.o.innerShadowBlurTextField       ? r.innerShadowBlurSize
            : field == w.o.shadowOffsetTextField          ? r.shadowOffsetSize
            : field == w.o.shadowAngleTextField           ? r.shadowAngle
                                                          : r.innerShadowAngle;
        EXPECT_EQ(held, row.sent);
        EXPECT_EQ(fieldNumber(field), row.sent) << field->text().toStdString();
        if (field == w.o.shadowBlurTextField) {
            EXPECT_EQ(w.o.shadowBlurStepper->intValue(), row.sent);
            EXPECT_DOUBLE_EQ(w.o.shadowBlurSlider->value(), std::min(1.0, row.sent / 100.0));
        }
        if (field == w.o.shadowAngleTextField) {
            EXPECT_DOUBLE_EQ(w.o.shadowAngleCtrl->angle(), row.sent);
        }
    }
}

// The Part's own cases for the mappings.
TEST(ShadowPanel, SliderKnobAndWellMappings)
{
    InspectorWindow w;
    w.build({ shadowedBox() });
    ShadowPanel& panel = shadowPanel(w.win);

    // Position 0.37 on a slider of maximum 20 sends 7 (7.4 truncated).
    w.o.shadowBlurSlider->setMaxValue(20);
    const double span = w.o.shadowBlurSlider->width() - 32.0;
    clickAt(*w.o.shadowBlurSlider, QPointF(0.37 * span, 30));
    EXPECT_EQ(w.boxes().textViewAry[0]->shadowBlurSize(), 7);
    EXPECT_EQ(w.o.shadowBlurTextField->text(), QStringLiteral("7 pt"));

    // The knob reports whole degrees; an angle of 359.9 from any knob sends 359.
    panel.angleCtrlChanged(*w.o.shadowAngleCtrl, 359.9f);
    EXPECT_EQ(w.boxes().textViewAry[0]->shadowAngle(), 359);
    EXPECT_EQ(w.o.shadowAngleTextField->text(), QStringLiteral("359\u00BA"));
    // The stepper wraps: one up from 359 is 0.
    stepOnce(*w.o.shadowAngleStepper, true);
    EXPECT_EQ(w.boxes().textViewAry[0]->shadowAngle(), 0);

    // A well tagged other than 202 or 203 opens the panel detached: a colour then chosen
    // changes nothing and leaves no step.
    platform::ColorPanel& colours = platform::ColorPanel::shared();
    w.o.btShadowColor->setProperty("tag", 7);
    const ContainerSnapshot before = w.boxes().containerSnapshot();
    EXPECT_EQ(stepsDuring(w.undo,
                  [&] {
                      clickCentre(*w.o.btShadowColor);
                      colours.commitColor(kRed);
                  }),
        0);
    EXPECT_EQ(colours.identifier(), QStringLiteral("emptyColorIdentifier_XYZ"));
    EXPECT_FALSE(colours.hasAction());
    EXPECT_TRUE(w.boxes().containerSnapshot() == before);
    w.o.btShadowColor->setProperty("tag", ShadowPanel::kShadowColorTag);

    // The panel opened on the drop well, then the selection emptied: a colour changes no box.
    clickCentre(*w.o.btShadowColor);
    EXPECT_EQ(colours.identifier(), QStringLiteral("shadowColorIdentifier_XYZ"));
    w.boxes().removeAllSelection();
    const ContainerSnapshot unselected = w.boxes().containerSnapshot();
    EXPECT_EQ(stepsDuring(w.undo, [&] { colours.commitColor(kRed); }), 0);
    EXPECT_TRUE(w.boxes().containerSnapshot() == unselected);
    colours.setAction(nullptr);
}

// Steppers hold the record's ranges, not a default 0..59: the refresh shows values outside it.
TEST(ShadowPanel, StepperRangesHoldTheRecordsValues)
{
    InspectorWindow w;
    w.build({ { Kind::Text } });
    // A new box's 90 degrees.
    EXPECT_EQ(w.o.shadowAngleTextField->text(), QStringLiteral("90\u00BA"));
    EXPECT_EQ(w.o.innerShadowAngleTextField->text(), QStringLiteral("90\u00BA"));
    w.build({ { Kind::Text, 0, true, [](UNDODATA& r) {
                   r.shadowAngle = 300;
                   r.shadowBlurSize = 120;
                   r.shadowOffsetSize = -30;
                   r.innerShadowOffsetSize = 4000;
               } } });
    EXPECT_EQ(w.o.shadowAngleTextField->text(), QStringLiteral("300\u00BA"));
    EXPECT_EQ(w.o.shadowBlurTextField->text(), QStringLiteral("120 pt"));
    EXPECT_EQ(w.o.shadowOffsetTextField->text(), QStringLiteral("-30 pt"));
    EXPECT_EQ(w.o.innerShadowOffsetTextField->text(), QStringLiteral("4000 pt"));
    // One click up on 120 is 121.
    stepOnce(*w.o.shadowBlurStepper, true);
    EXPECT_EQ(w.boxes().textViewAry[0]->shadowBlurSize(), 121);
}

// The blur and offset sliders share the shadow look but are told apart by their captions, and
// show no percentage that disagrees with their fields' points.
TEST(ShadowPanel, BlurAndOffsetSlidersAreLabelled)
{
    InspectorWindow w;
    w.build({ shadowedBox() });
    const auto caption = [](ImageEffectIntensitySlider* s) {
        const QLabel* label = s->findChild<QLabel*>();
        return label ? label->text() : QString();
    };
    for (auto [blur, offset] : { std::pair { w.o.shadowBlurSlider, w.o.shadowOffsetSlider },
             std::pair { w.o.innerShadowBlurSlider, w.o.innerShadowOffsetSlider } }) {
        EXPECT_EQ(caption(blur), QStringLiteral("Blur"));
        EXPECT_EQ(caption(offset), QStringLiteral("Offset"));
        EXPECT_TRUE(blur->valueText().isEmpty());
        EXPECT_TRUE(offset->valueText().isEmpty());
    }
}

// The family switch shows which family the controls edit: the chosen segment is lighter than
// the other, and the panel's title and its sliders' titles name that family.
TEST(ShadowPanel, TheFamilySwitchShowsItsChoiceAndTheCaptionsFollow)
{
    InspectorWindow w(true);
    w.build({ shadowedBox() });
    platform::SegmentedControl& s = *w.o.segmentInnerShadow;
    ASSERT_TRUE(s.isVisibleTo(&w.win));
    // A segment's grey near its left edge, away from its centred title.
    const auto shade = [&s](const QImage& image, int segment) {
        const int x = int(s.frameForSegment(segment).x()) + 4;
        return testsupport::pixelAt(image, x, s.height() / 2).g;
    };
    struct Row {
        int segment;
        const char* caption;
    };
    for (const Row& row : { Row { 1, "Box Shadow" }, Row { 0, "Inner Shadow" } }) {
        SCOPED_TRACE(row.caption);
        const double across = s.width() / 2.0 * (row.segment + 0.5);
        clickInWindow(s, QPointF(across, s.height() / 2.0));
        endEvent();
        ASSERT_EQ(s.selectedSegment(), row.segment);
        const QImage image = s.renderToImage();
        EXPECT_GT(shade(image, row.segment), shade(image, 1 - row.segment) + 20);
        EXPECT_EQ(w.o.lblInnerShadow->text(), QLatin1String(row.caption));
        EXPECT_EQ(w.o.innerShadowBlurSlider->title(), QLatin1String(row.caption));
        EXPECT_EQ(w.o.innerShadowOffsetSlider->title(), QLatin1String(row.caption));
    }
    // A picture box has no box shadow: its selection goes back to the inner shadow, and says so.
    clickInWindow(s, QPointF(s.width() * 0.75, s.height() / 2.0));
    EXPECT_EQ(w.o.lblInnerShadow->text(), QStringLiteral("Box Shadow"));
    w.build({ shadowedBox(Kind::Image) });
    EXPECT_EQ(w.o.lblInnerShadow->text(), QStringLiteral("Inner Shadow"));
    EXPECT_EQ(w.o.innerShadowBlurSlider->title(), QStringLiteral("Inner Shadow"));
}

namespace {

// The drop shadow's ink: the columns of the layer's picture where the shadow shows, right of
// the box (the box itself is transparent, the shadow black).
int rightmostInk(const QImage& image)
{
    for (int x = image.width() - 1; x >= 0; --x)
        for (int y = 0; y < image.height(); ++y)
            if (testsupport::pixelAt(image, x, y).a > 64)
                return x;
    return -1;
}

} // namespace

// The offset typed into the field moves the shadow's ink by as much.
TEST(ShadowPanel, OffsetMovesTheShadowsInk)
{
    InspectorWindow w;
    w.build({ { Kind::Shape, shape::Rectangle, true, [](UNDODATA& r) {
                   SZGradient fill;
                   fill.color = kRed;
                   r.backColor = fill;
                   r.shadowColor = Color(0, 0, 0, 1);
                   r.shadowAngle = 0;
               } } });
    MyViewBase* box = w.boxes().textViewAry[0];
    box->setSelected(false);
    const platform::Rect around = box->frame().insetBy(-60, -60);
    const auto render
        = [&] { return platform::renderToImage(w.boxes(), around, 1.0).toQImage(); };
    box->setSelected(true);
    typeInto(*w.o.shadowOffsetTextField, "0");
    box->setSelected(false);
    const int still = rightmostInk(render());
    box->setSelected(true);
    typeInto(*w.o.shadowOffsetTextField, "25");
    box->setSelected(false);
    const int moved = rightmostInk(render());
    ASSERT_GT(still, 0);
    EXPECT_NEAR(moved - still, 25, 2);
}
