// The directions panel: perspective and curve through their sliders, steppers and fields, the
// direction segments and the remove button, each pressed as a person presses it.
#include "ControlPress.h"
#include "InspectorRig.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/View.h"
#include "window/CustomSegmentedCtrl.h"

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace windowtest;

namespace {

BoxSpec warped(Kind kind, double h, double v, double bend)
{
    return { kind, shape::Rectangle, true, [=](UNDODATA& r) {
                r.horzPerspective = h;
                r.vertPerspective = v;
                // A curve bent down has every point below the base line.
                const double end = bend < 0 ? -0.0001 : 0.0;
                r.curves = { { 0, end }, { 0.5, bend }, { 1, end } };
            } };
}

// A vertical perspective, leaning either way (90 or 270).
bool isVertical(const MyViewBase& box)
{
    return box.horzPerspective() == 0.0f && box.vertPerspective() != 0.0f;
}

} // namespace

// Every control of the panel, driven as a person drives it, changes the selected boxes as one
// undo step, and undo puts them back.
TEST(WarpPanel, EveryControlIsOneUndoableStep)
{
    struct Row {
        const char* name;
        std::function<void(InspectorWindow&)> act;
        std::function<void(InspectorWindow&)> check;
    };
    const auto between = [](InspectorWindow& w) { return [&w] { w.undo.endGroup(); }; };
    const Row rows[] = {
        { "perspective slider dragged",
            [&](InspectorWindow& w) { dragSlider(*w.o.perspectiveSlider, 0.5, 0.8, between(w)); },
            [](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 0).getPerspectiveSize(), 60); } },
        { "perspective stepper pressed up",
            [](InspectorWindow& w) { pressStepper(*w.o.perspectiveStepper, true); },
            [](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 0).getPerspectiveSize(), 21); } },
        { "perspective stepper pressed down",
            [](InspectorWindow& w) { pressStepper(*w.o.perspectiveStepper, false); },
            [](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 0).getPerspectiveSize(), 19); } },
        { "perspective typed",
            [](InspectorWindow& w) { typeInto(*w.o.perspectiveTextField, QStringLiteral("-75")); },
            [](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 0).getPerspectiveSize(), -75); } },
        { "curve slider dragged",
            [&](InspectorWindow& w) { dragSlider(*w.o.curveSlider, 0.1, 0.45, between(w)); },
            [](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 0).getCurveSize(), 45); } },
        { "curve stepper pressed up",
            [](InspectorWindow& w) { pressStepper(*w.o.curveStepper, true); },
            [](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 0).getCurveSize(), 31); } },
        { "curve typed", [](InspectorWindow& w) { typeInto(*w.o.curveTextField, "70 %"); },
            [](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 0).getCurveSize(), 70); } },
        { "perspective segment vertical",
            [](InspectorWindow& w) { pressSegment(*w.o.perspectiveSegment, 1); },
            [](InspectorWindow& w) { EXPECT_TRUE(isVertical(boxAt(w, 1))); } },
        { "curve segment down", [](InspectorWindow& w) { pressSegment(*w.o.curveSegment, 1); },
            [](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 1).getCurveAngle(), 180); } },
        // Both values come back with one undo (fault: two container changes, two steps).
        { "remove button",
            [](InspectorWindow& w) { testsupport::click(*w.o.minusDirections, QPointF(5, 5)); },
            [](InspectorWindow& w) {
                for (std::size_t i : { 0u, 1u }) {
                    EXPECT_EQ(boxAt(w, i).getPerspectiveSize(), 0);
                    EXPECT_EQ(boxAt(w, i).getCurveSize(), 0);
                }
                EXPECT_TRUE(w.o.minusDirections->isHidden());
            } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        // Two boxes that agree on the sizes: a picture and a text.
        w.build({ warped(Kind::Image, 0.2, 0, 0.3), warped(Kind::Text, 0.2, 0, 0.3) });
        expectOneUndoableStep(w, [&] {
            row.act(w);
            row.check(w);
        });
    }
}

// A slider of maximum 100 sends 0 at its middle and -1 and +1 at its ends; the curve slider's
// end sends 1. Typing -40 puts the slider at 0.3 and sends -0.4.
TEST(WarpPanel, SliderAndFieldMappings)
{
    struct Row {
        const char* name;
        std::function<void(InspectorWindow&)> act;
        double horz; // the box's horizontal factor afterwards
        double bend; // its curve's inner point
        double sliderAt; // the perspective slider's position
    };
    const Row rows[] = {
        { "perspective middle",
            [](InspectorWindow& w) { dragSlider(*w.o.perspectiveSlider, 0.2, 0.5); }, 0.0001, 0.3,
            0.5 },
        { "perspective left end",
            [](InspectorWindow& w) { dragSlider(*w.o.perspectiveSlider, 0.2, 0.0); }, -1, 0.3, 0 },
        { "perspective right end",
            [](InspectorWindow& w) { dragSlider(*w.o.perspectiveSlider, 0.2, 1.0); }, 1, 0.3, 1 },
        { "perspective typed -40",
            [](InspectorWindow& w) { typeInto(*w.o.perspectiveTextField, QStringLiteral("-40")); },
            -0.4, 0.3, 0.3 },
        { "curve end", [](InspectorWindow& w) { dragSlider(*w.o.curveSlider, 0.2, 1.0); }, 0.2, 1.0,
            0.6 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ warped(Kind::Image, 0.2, 0, 0.3) });
        ASSERT_EQ(w.o.perspectiveSlider->maxValue(), 100);
        row.act(w);
        EXPECT_NEAR(boxAt(w, 0).horzPerspective(), row.horz, 1e-6);
        EXPECT_NEAR(boxAt(w, 0).curves()[1].y, row.bend, 1e-6);
        EXPECT_NEAR(w.o.perspectiveSlider->value(), row.sliderAt, 1e-9);
    }
}

// A slider shows no position text of its own that could disagree with its field: dragged to
// the perspective's middle, the field says 0% where the slider's position would say 50%.
TEST(WarpPanel, SlidersShowNoTextDisagreeingWithTheirFields)
{
    struct Row {
        const char* name;
        ImageEffectIntensitySlider* DocumentWindowOutlets::*slider;
        QLineEdit* DocumentWindowOutlets::*field;
        double to;
    };
    const Row rows[] = {
        { "perspective", &DocumentWindowOutlets::perspectiveSlider,
            &DocumentWindowOutlets::perspectiveTextField, 0.5 },
        { "curve", &DocumentWindowOutlets::curveSlider, &DocumentWindowOutlets::curveTextField,
            0.35 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w(true);
        w.build({ warped(Kind::Image, 0.2, 0, 0.3) });
        ImageEffectIntensitySlider& slider = *(w.o.*row.slider);
        dragSlider(slider, 0.8, row.to);
        EXPECT_FALSE((w.o.*row.field)->text().isEmpty());
        EXPECT_TRUE(slider.valueText().isEmpty()) << slider.valueText().toStdString();
    }
}

// Typed values: held to the stepper's range, the same number in all three siblings, and text
// without a number changes nothing.
TEST(WarpPanel, TypedValuesAreHeldAndShownInEverySibling)
{
    struct Row {
        const char* typed;
        bool curve;
        std::optional<int> applied; // nothing: refused
    };
    const Row rows[] = {
        { "", false, {} },
        { "abc", false, {} },
        { "nan", false, {} },
        { "-0", false, 0 },
        { "1e400", false, 1 },
        { "2147483648", false, 100 },
        { "-2147483649", false, -100 },
        { "12,5", false, 12 },
        { "-400 %", false, -100 },
        { "", true, {} },
        { "abc", true, {} },
        { "-30", true, 0 },
        { "250", true, 100 },
        { "12,5", true, 12 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.typed) + (row.curve ? " (curve)" : " (perspective)"));
        InspectorWindow w;
        w.build({ warped(Kind::Image, 0.2, 0, 0.3) });
        QLineEdit* field = row.curve ? w.o.curveTextField : w.o.perspectiveTextField;
        platform::Stepper* stepper = row.curve ? w.o.curveStepper : w.o.perspectiveStepper;
        ImageEffectIntensitySlider* slider = row.curve ? w.o.curveSlider : w.o.perspectiveSlider;
        const QString shown = field->text();
        const auto act = [&] { typeInto(*field, QString::fromUtf8(row.typed)); };
        if (!row.applied) {
            expectNoChange(w, act);
            EXPECT_EQ(field->text(), shown) << "the boxes' value is shown again";
            continue;
        }
        act();
        const int n = *row.applied;
        EXPECT_EQ(stepper->intValue(), n);
        EXPECT_EQ(field->text(), QStringLiteral("%1%").arg(n));
        EXPECT_NEAR(slider->value(), row.curve ? n / 100.0 : (n + 100) / 200.0, 1e-9);
        EXPECT_EQ(row.curve ? boxAt(w, 0).getCurveSize() : boxAt(w, 0).getPerspectiveSize(), n);
    }
}

// Values outside the old default stepper range of 0..59 show as they are.
TEST(WarpPanel, StepperRangesHoldTheRecordsValues)
{
    InspectorWindow w;
    w.build({ warped(Kind::Text, -0.3, 0, 0.8) });
    EXPECT_EQ(w.o.perspectiveTextField->text(), QStringLiteral("-30%"));
    EXPECT_EQ(w.o.curveTextField->text(), QStringLiteral("80%"));
    EXPECT_EQ(w.o.perspectiveStepper->minValue(), -100);
    EXPECT_EQ(w.o.perspectiveStepper->maxValue(), 100);
    EXPECT_EQ(w.o.curveStepper->minValue(), 0);
    EXPECT_EQ(w.o.curveStepper->maxValue(), 100);
    pressStepper(*w.o.perspectiveStepper, false);
    EXPECT_EQ(boxAt(w, 0).getPerspectiveSize(), -31);
}

TEST(WarpPanel, DirectionSegments)
{
    // The curve segment sets only the curve's side; a vertical perspective stays vertical.
    {
        InspectorWindow w;
        w.build({ warped(Kind::Text, 0, -0.3, -0.3) });
        ASSERT_TRUE(isVertical(boxAt(w, 0)));
        ASSERT_EQ(boxAt(w, 0).getCurveAngle(), 180);
        expectOneUndoableStep(w, [&] {
            pressSegment(*w.o.curveSegment, 0);
            EXPECT_EQ(boxAt(w, 0).getCurveAngle(), 0);
            EXPECT_TRUE(isVertical(boxAt(w, 0)));
            EXPECT_NEAR(boxAt(w, 0).vertPerspective(), -0.3, 1e-6);
            EXPECT_TRUE(w.o.curveSegment->isSelectedForSegment(0));
        });
    }
    // No segment chosen (-1) is no direction: nothing changes, no step.
    {
        InspectorWindow w;
        w.build({ warped(Kind::Text, 0.3, 0, 0.3) });
        for (CustomSegmentedCtrl* segments : { w.o.perspectiveSegment, w.o.curveSegment }) {
            for (int i : { 0, 1 })
                segments->setSelected(false, i);
            expectNoChange(w, [&] { segments->sendAction(); });
        }
    }
    // Boxes with no warp take the direction for their next warp, as one step; with no box
    // selected nothing changes.
    {
        InspectorWindow w;
        w.build({ { Kind::Text }, { Kind::Shape, shape::Rectangle } });
        expectOneUndoableStep(w, [&] {
            pressSegment(*w.o.perspectiveSegment, 1);
            EXPECT_TRUE(isVertical(boxAt(w, 0)));
            EXPECT_TRUE(isVertical(boxAt(w, 1)));
            EXPECT_EQ(boxAt(w, 0).getPerspectiveSize(), 0);
        });
        platform::ColorPanel::shared().setIdentifier(QStringLiteral("other"));
        pressSegment(*w.o.curveSegment, 1);
        EXPECT_EQ(platform::ColorPanel::shared().identifier(),
            QStringLiteral("emptyColorIdentifier_XYZ"));
        w.boxes().removeAllSelection();
        expectNoChange(w, [&] { pressSegment(*w.o.perspectiveSegment, 0); });
    }
}

TEST(WarpPanel, RemoveButtonShowsAndRefreshes)
{
    InspectorWindow w;
    w.build({ { Kind::Text } });
    EXPECT_TRUE(w.o.minusDirections->isHidden());
    // Typing a perspective does not reveal the remove button; a curve does.
    typeInto(*w.o.perspectiveTextField, QStringLiteral("20"));
    EXPECT_TRUE(w.o.minusDirections->isHidden());
    typeInto(*w.o.curveTextField, QStringLiteral("20"));
    EXPECT_FALSE(w.o.minusDirections->isHidden());
    w.win.textViewSelected(w.boxes().textViewAry);
    EXPECT_FALSE(w.o.minusDirections->isHidden());
    // Mixed sizes: empty fields, hidden knobs.
    w.build({ warped(Kind::Text, 0.2, 0, 0.3), warped(Kind::Text, 0.4, 0, 0.5) });
    EXPECT_EQ(w.o.perspectiveTextField->text(), QString());
    EXPECT_FALSE(w.o.perspectiveSlider->showSlider());
    EXPECT_FALSE(w.o.curveSlider->showSlider());
    w.win.updateDirection(boxAt(w, 1));
    EXPECT_EQ(w.o.perspectiveTextField->text(), QStringLiteral("40%"));
    EXPECT_EQ(w.o.curveTextField->text(), QStringLiteral("50%"));
}

// The curve row has its slider where a person sees it, inside the panel.
TEST(WarpPanel, CurveSliderIsInsideThePanel)
{
    InspectorWindow w;
    w.build({ { Kind::Text } });
    for (QWidget* control : std::initializer_list<QWidget*> {
             w.o.curveSlider, w.o.curveTextField, w.o.curveStepper, w.o.perspectiveSlider })
        EXPECT_TRUE(w.o.panelDirections->rect().contains(control->geometry()))
            << control->geometry().y() << "+" << control->geometry().height();
}

namespace {

// The mean height (rows from the top) of the opaque pixels in columns [x0, x1).
double meanInkRow(const QImage& q, int x0, int x1)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < q.height(); ++y)
        for (int x = std::max(0, x0); x < std::min(x1, q.width()); ++x)
            if (qAlpha(q.pixel(x, y)) > 128) {
                sum += y;
                ++n;
            }
    return n ? sum / n : -1;
}

} // namespace

// Pixel probe: a curve typed into the panel bends the rendered text; the glyphs in the middle
// leave the straight baseline that the glyphs near the ends keep.
TEST(WarpPanel, CurveBendsTheRenderedText)
{
    InspectorWindow w;
    BoxSpec text = textOf({ { "MMMMMMMMM", "Helvetica", 30 } });
    text.edit = [edit = text.edit](UNDODATA& r) {
        edit(r);
        r.frame = platform::Rect(20, 20, 270, 60);
        r.fixedWidth = 270;
    };
    w.build({ text });
    w.boxes().removeAllSelection();
    const platform::Rect area(0, 0, 400, 300);
    const auto render = [&] { return platform::renderToImage(w.boxes(), area, 1.0).toQImage(); };
    const QImage flat = render();
    boxAt(w, 0).setSelected(true);
    w.win.textViewSelected(w.boxes().textViewAry);
    typeInto(*w.o.curveTextField, QStringLiteral("40"));
    w.boxes().removeAllSelection();
    const QImage bent = render();
    // The picture's background is the layer's: only glyph ink is opaque there. The box's
    // middle is at x 155; its text starts near x 25.
    const double flatEnd = meanInkRow(flat, 28, 58), flatMiddle = meanInkRow(flat, 135, 175);
    const double bentEnd = meanInkRow(bent, 28, 58), bentMiddle = meanInkRow(bent, 135, 175);
    ASSERT_GT(flatEnd, 0);
    ASSERT_GT(bentMiddle, 0);
    EXPECT_NEAR(flatEnd, flatMiddle, 2.0) << "straight text: one baseline";
    EXPECT_GT(std::abs(bentMiddle - bentEnd), 10.0) << bentMiddle << " " << bentEnd;
}
