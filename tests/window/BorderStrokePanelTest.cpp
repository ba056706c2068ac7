// The border and stroke panels driven as a person drives them: wells, widths, remove buttons
// and line heads change the selected boxes in one undo step each; a typed border never shows
// its remove button, a typed stroke does; the border's band widens with its width.
#include "window/BorderStrokePanel.h"

#include "PanelDriving.h"
#include "PersonDriving.h"
#include "platform/ui/ColorPanel.h"
#include "support/PixelProbe.h"
#include "window/GradientCtrl.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace windowtest;
using platform::Color;

namespace {

const Color kBlue(0, 0, 1, 1);

SZGradient colourFill(const Color& c)
{
    SZGradient fill;
    fill.gradientType = SZGradient::ColorFill;
    fill.color = c;
    return fill;
}

SZGradient noFill()
{
    SZGradient fill;
    fill.gradientType = SZGradient::NoFill;
    return fill;
}

// A record with no border and no stroke.
void bare(UNDODATA& r)
{
    r.borderColor = noFill();
    r.strokeColor = noFill();
    r.borderSize = 0;
    r.strokeSize = 0;
}

BorderStrokePanel& borderPanel(DocumentWindow& win)
{
    for (const auto& p : win.inspectorPanels())
        if (auto* s = dynamic_cast<BorderStrokePanel*>(p.get()))
            return *s;
    throw std::logic_error("no border panel");
}

// A click on an empty well's preview, then a colour chosen in the colour panel.
void pickColour(GradientCtrl& well, const Color& c)
{
    clickAt(well, QPointF(20, well.height() / 2.0));
    platform::ColorPanel::shared().commitColor(c);
    endEvent();
}

struct Lines {
    int borderSize, strokeSize;
    int borderKind, strokeKind;
    bool operator==(const Lines&) const = default;
};
Lines linesOf(const UNDODATA& r)
{
    return { r.borderSize, r.strokeSize, r.borderColor ? r.borderColor->gradientType : -1,
        r.strokeColor ? r.strokeColor->gradientType : -1 };
}

} // namespace

// Every control, pressed or typed: the selected boxes change as one undo step that undo takes
// back; each remove button shows only where its panel's values call for it.
TEST(BorderStrokePanel, EveryControlChangesTheBoxesInOneStep)
{
    struct Row {
        const char* name;
        std::function<void(InspectorWindow&)> act;
        Lines expected;
        bool minusBorderShown, minusStrokeShown;
    };
    using W = InspectorWindow;
    const Row rows[] = {
        { "border stepper up", [](W& w) { stepOnce(*w.o.borderSizeStepper, true); }, { 1, 0, 0, 0 },
            false, false },
        { "border typed (never shows its remove button)",
            [](W& w) { typeInto(*w.o.borderSizeTextField, "4 pt"); }, { 4, 0, 0, 0 }, false,
            false },
        { "stroke stepper up", [](W& w) { stepOnce(*w.o.strokeSizeStepper, true); }, { 0, 1, 0, 0 },
            false, true },
        { "stroke typed shows its remove button",
            [](W& w) { typeInto(*w.o.strokeSizeTextField, "3"); }, { 0, 3, 0, 0 }, false, true },
        { "border well", [](W& w) { pickColour(*w.o.btBorderColor, kBlue); }, { 0, 0, 1, 0 }, true,
            false },
        { "stroke well", [](W& w) { pickColour(*w.o.btStrokeColor, kBlue); }, { 0, 0, 0, 1 }, false,
            true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ { Kind::Text, 0, true, bare }, { Kind::Shape, shape::Rectangle, true, bare } });
        ASSERT_TRUE(w.o.minusBorder->isHidden());
        ASSERT_TRUE(w.o.minusStroke->isHidden());
        const ContainerSnapshot before = w.boxes().containerSnapshot();
        EXPECT_EQ(stepsDuring(w.undo, [&] { row.act(w); }), 1);
        for (MyViewBase* box : w.boxes().textViewAry)
            EXPECT_EQ(linesOf(box->getUndoData()), row.expected);
        EXPECT_EQ(!w.o.minusBorder->isHidden(), row.minusBorderShown);
        EXPECT_EQ(!w.o.minusStroke->isHidden(), row.minusStrokeShown);
        w.undo.undo();
        EXPECT_TRUE(w.boxes().containerSnapshot() == before);
    }
}

// Each remove button takes both its fill and its width back to none over a mixed selection,
// and one undo brings both back.
TEST(BorderStrokePanel, RemoveIsOneStepOverAMixedSelection)
{
    const auto lined = [](UNDODATA& r) {
        r.borderColor = colourFill(kBlue);
        r.strokeColor = colourFill(kBlue);
        r.borderSize = 6;
        r.strokeSize = 120;
    };
    struct Row {
        const char* name;
        QPushButton* DocumentWindowOutlets::*minus;
        Lines expected;
    };
    const Row rows[] = {
        { "border", &DocumentWindowOutlets::minusBorder, { 0, 120, 0, 1 } },
        { "stroke", &DocumentWindowOutlets::minusStroke, { 6, 0, 1, 0 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ { Kind::Text, 0, true, lined }, { Kind::Image, 0, true, lined },
            { Kind::Shape, shape::Line, true, lined } });
        EXPECT_EQ(w.o.strokeSizeTextField->text(), QStringLiteral("120 pt"));
        const ContainerSnapshot before = w.boxes().containerSnapshot();
        QPushButton* minus = w.o.*row.minus;
        ASSERT_FALSE(minus->isHidden());
        EXPECT_EQ(stepsDuring(w.undo, [&] { clickCentre(*minus); }), 1);
        EXPECT_TRUE(minus->isHidden());
        for (MyViewBase* box : w.boxes().textViewAry)
            EXPECT_EQ(linesOf(box->getUndoData()), row.expected);
        w.undo.undo();
        EXPECT_TRUE(w.boxes().containerSnapshot() == before);
    }
}

// Typed widths are held within 0..the record's largest line and shown as sent.
TEST(BorderStrokePanel, TypedWidthsAreHeld)
{
    struct Row {
        const char* name;
        const char* typed;
        int sent;
    };
    const Row rows[] = {
        { "empty", "", 0 },
        { "letters", "abc", 0 },
        { "minus zero", "-0", 0 },
        { "negative", "-5", 0 },
        { "exponent ignored", "1e400", 1 },
        { "nan", "nan", 0 },
        { "past int", "2147483648", UNDODATA::kMaxLineSize },
        { "decimal comma", "12,5 pt", 12 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ { Kind::Text, 0, true, [](UNDODATA& r) {
                       bare(r);
                       r.borderSize = r.strokeSize = 9;
                   } } });
        for (auto [field, stepper] : { std::pair { w.o.borderSizeTextField, w.o.borderSizeStepper },
                 std::pair { w.o.strokeSizeTextField, w.o.strokeSizeStepper } }) {
            typeInto(*field, QString::fromUtf8(row.typed));
            EXPECT_EQ(stepper->intValue(), row.sent);
            EXPECT_EQ(field->text(), QStringLiteral("%1 pt").arg(row.sent));
        }
        const UNDODATA r = w.boxes().textViewAry[0]->getUndoData();
        EXPECT_EQ(r.borderSize, row.sent);
        EXPECT_EQ(r.strokeSize, row.sent);
    }
}

// A head chosen from a pop-up goes to every selected line, as one step; other kinds keep
// theirs; no chosen item sends nothing.
TEST(BorderStrokePanel, LineHeadsFromThePopUps)
{
    InspectorWindow w;
    const auto line = [](int start, int end) {
        return BoxSpec { Kind::Shape, shape::Line, true, [=](UNDODATA& r) {
                            r.startType = start;
                            r.endType = end;
                        } };
    };
    w.build({ line(0, 2), line(0, 2), { Kind::Text } });
    ASSERT_EQ(w.o.popupStartPoint->currentIndex(), 0);
    const ContainerSnapshot before = w.boxes().containerSnapshot();
    const auto keyDown = [](QComboBox* popup) {
        sendKey(*popup, QEvent::KeyPress, Qt::Key_Down);
        endEvent();
    };
    EXPECT_EQ(stepsDuring(w.undo, [&] { keyDown(w.o.popupStartPoint); }), 1);
    EXPECT_EQ(stepsDuring(w.undo, [&] { keyDown(w.o.popupEndPoint); }), 1);
    for (int i : { 0, 1 }) {
        const UNDODATA r = w.boxes().textViewAry[size_t(i)]->getUndoData();
        EXPECT_EQ(r.startType, 1);
        EXPECT_EQ(r.endType, 3);
    }
    EXPECT_EQ(stepsDuring(w.undo, [&] { borderPanel(w.win).popupStartPointChanged(-1); }), 0);
    w.undo.undo();
    w.undo.undo();
    EXPECT_TRUE(w.boxes().containerSnapshot() == before);
}

// The head pictures are light grey lines: the pop-up's list must not be light grey too.
TEST(BorderStrokePanel, HeadPopUpsAreReadable)
{
    InspectorWindow w;
    w.build({ { Kind::Shape, shape::Line } });
    for (QComboBox* popup : { w.o.popupStartPoint, w.o.popupEndPoint }) {
        for (QWidget* shown : { static_cast<QWidget*>(popup), popup->view()->viewport() }) {
            const QColor back = shown->palette().color(shown->backgroundRole());
            EXPECT_LT(back.lightnessF(), 0.35) << back.name().toStdString();
        }
        const QImage closed = popup->grab().toImage();
        // The light head picture stands on a dark ground: far-apart lightness in one row.
        int darkest = 255, lightest = 0;
        const int y = closed.height() / 2;
        for (int x = 0; x < closed.width(); ++x) {
            const int l = qGray(closed.pixel(x, y));
            darkest = std::min(darkest, l);
            lightest = std::max(lightest, l);
        }
        EXPECT_GT(lightest - darkest, 120);
    }
}

namespace {

// The run of border-coloured pixels from the left edge inward, on the box's middle row.
int bandWidth(const QImage& image)
{
    const int y = image.height() / 2;
    int count = 0;
    for (int x = 0; x < image.width() / 2; ++x) {
        const testsupport::Rgba p = testsupport::pixelAt(image, x, y);
        if (p.b > 200 && p.r < 60 && p.g < 60 && p.a > 200)
            ++count;
    }
    return count;
}

} // namespace

// The width typed into the border field widens the band drawn round the box.
TEST(BorderStrokePanel, BorderWidthWidensTheBand)
{
    InspectorWindow w;
    w.build({ { Kind::Text, 0, true, [](UNDODATA& r) {
                   bare(r);
                   r.borderColor = colourFill(kBlue);
                   r.borderSize = 2;
               } } });
    MyViewBase* box = w.boxes().textViewAry[0];
    const platform::Rect around = box->frame().insetBy(-20, -20);
    const auto band = [&] {
        box->setSelected(false);
        const int width = bandWidth(platform::renderToImage(w.boxes(), around, 1.0).toQImage());
        box->setSelected(true);
        return width;
    };
    const int thin = band();
    typeInto(*w.o.borderSizeTextField, "12");
    const int wide = band();
    EXPECT_GE(thin, 1);
    EXPECT_NEAR(wide - thin, 10, 2);
}

// The border and stroke wells are tall enough for a multi-stop fill's markers, which hang over
// the preview: a click on the middle marker in the shown window reaches it, and the colour
// picked then goes to that stop of the box's fill.
TEST(BorderStrokePanel, StopMarkersCanBeClickedInTheWindow)
{
    SZGradient advanced;
    advanced.gradientType = SZGradient::AdvancedLinearFill;
    advanced.gradient = platform::Gradient(
        { { Color(0, 0, 0, 1), 0.0 }, { Color(0, 1, 0, 1), 0.5 }, { Color(1, 1, 1, 1), 1.0 } });
    const Color kRed(1, 0, 0, 1);
    struct Row {
        const char* name;
        GradientCtrl* DocumentWindowOutlets::*well;
        std::optional<SZGradient> UNDODATA::*fill;
    };
    const Row rows[] = {
        { "border", &DocumentWindowOutlets::btBorderColor, &UNDODATA::borderColor },
        { "stroke", &DocumentWindowOutlets::btStrokeColor, &UNDODATA::strokeColor },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w(true);
        w.build({ { Kind::Shape, shape::Rectangle, true, [&](UNDODATA& r) {
                       r.borderColor = advanced;
                       r.strokeColor = advanced;
                       r.borderSize = 2;
                       r.strokeSize = 2;
                   } } });
        GradientCtrl& well = *(w.o.*row.well);
        ASSERT_EQ(well.gradient().gradientType, SZGradient::AdvancedLinearFill);
        const platform::Rect R = well.previewRect();
        // The middle stop's marker: its centre 4 points above the bar's bottom edge, 5 right
        // of the stop.
        const double x = 0.5 * R.size.width + 5, yUp = R.origin.y - 4;
        clickInWindow(well, QPointF(x, well.height() - yUp));
        EXPECT_EQ(well.mouseState(), 1);
        EXPECT_EQ(well.mouseSubId(), 1);
        platform::ColorPanel::shared().commitColor(kRed);
        endEvent();
        const std::optional<SZGradient> fill = w.boxes().textViewAry.at(0)->getUndoData().*row.fill;
        ASSERT_TRUE(fill && fill->gradient);
        EXPECT_EQ(fill->gradient->stop(1).color, kRed);
    }
}
