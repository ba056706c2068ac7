// The inspector over a selection of thousands of boxes, which it reads in parts: it shows what
// a few boxes in the same order show (the first, the last, the one that differs, one of each
// kind), wherever in the selection the one box that differs sits.
#include "InspectorRig.h"
#include "foundation/SZGradient.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/text/ParagraphStyle.h"
#include "window/ColoredButton.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace windowtest;
namespace names = platform::TextAttributeNames;

namespace {

// Everything the panels show of the values, as one comparable text, and the fills and colours
// the wells show.
struct Shown {
    QStringList texts;
    std::vector<SZGradient> wells;
    std::vector<platform::Color> colours;
};

Shown shownBy(const DocumentWindowOutlets& o)
{
    Shown s;
    QStringList hidden;
    for (QWidget* panel : o.panels())
        hidden << (panel->isHidden() ? QStringLiteral("h") : QStringLiteral("v"));
    s.texts << hidden.join(QString());
    for (QLineEdit* field : { o.fontSizeTextField, o.linespaceTextField, o.charspaceTextField,
             o.borderSizeTextField, o.strokeSizeTextField, o.shadowAngleTextField,
             o.shadowBlurTextField, o.shadowOffsetTextField, o.innerShadowAngleTextField,
             o.innerShadowBlurTextField, o.innerShadowOffsetTextField, o.perspectiveTextField,
             o.curveTextField, o.frameWidthTextField, o.frameHeightTextField, o.frameLeftTextField,
             o.frameTopTextField })
        s.texts << field->objectName() + QLatin1Char('=') + field->text();
    for (QComboBox* popup : { o.popupFonts, o.popupStartPoint, o.popupEndPoint })
        s.texts << QString::number(popup->currentIndex());
    for (CustomSegmentedCtrl* segments : { o.fontStyleSegmentedCtrl, o.fontAlignmentSegmentedCtrl,
             o.textboxLayoutStepper, o.perspectiveSegment, o.curveSegment }) {
        QString on;
        for (int i = 0; i < segments->segmentCount(); ++i)
            on += segments->isSelectedForSegment(i) ? QLatin1Char('1') : QLatin1Char('0');
        s.texts << on;
    }
    for (ImageEffectIntensitySlider* slider :
        { o.textboxOpacitySlider, o.textboxAngleSlider, o.imageboxsaturationSlider })
        s.texts << QStringLiteral("%1 %2").arg(slider->showSlider()).arg(slider->value());
    for (QPushButton* minus :
        { o.minusOtherProperties, o.minusOverlayColor, o.minusTextBoxBackgroundColor, o.minusBorder,
            o.minusStroke, o.minusShadow, o.minusInnerShadow, o.minusDirections })
        s.texts << (minus->isHidden() ? QStringLiteral("-") : QStringLiteral("+"));
    for (GradientCtrl* well : { o.btFontColor, o.btOverlayColor, o.btTextboxBackgroundColor,
             o.btBorderColor, o.btStrokeColor })
        s.wells.push_back(well->gradient());
    s.colours = { o.btShadowColor->coloringColor(), o.btInnerShadowColor->coloringColor() };
    return s;
}

// A box of a kind as every other box of the kind is: the same place, text, heads and looks.
BoxSpec plain(Kind kind, std::function<void(UNDODATA&)> odd = {}, int shapeType = shape::Line,
    std::vector<windowtest::Run> text = { { "ab", "Helvetica", 20.0 } })
{
    return { kind, shapeType, true, [odd, text, kind](UNDODATA& r) {
                r.frame = platform::Rect(30, 40, 100, 50);
                r.shadowColor = platform::Color(0, 0, 0, 0.5);
                r.shadowBlurSize = 3;
                if (kind == Kind::Text)
                    r.rtf = runs(text);
                else if (kind == Kind::Shape)
                    r.startType = 1;
                if (odd)
                    odd(r);
            } };
}

} // namespace

TEST(LargeSelection, ShowsWhatTheSameBoxesInOrderShow)
{
    SZGradient red;
    red.color = platform::Color(1, 0, 0, 1);
    const std::vector<windowtest::Run> larger = { { "ab", "Helvetica", 30.0 } };
    const std::vector<windowtest::Run> otherFace = { { "ab", "DejaVu Sans", 20.0 } };
    const std::vector<windowtest::Run> kerned
        = { { "ab", "Helvetica", 20.0, { { names::kern, 2.0 } } } };
    platform::ParagraphStyle centred;
    centred.alignment = platform::TextAlignment::Center;
    const std::vector<windowtest::Run> aligned
        = { { "ab", "Helvetica", 20.0, { { names::paragraphStyle, centred } } } };
    const std::vector<windowtest::Run> bold = { { "ab", "Helvetica-Bold", 20.0 } };
    struct Row {
        const char* name;
        BoxSpec odd;
    };
    const Row rows[] = {
        { "none differs", plain(Kind::Text) },
        { "opacity", plain(Kind::Text, [](UNDODATA& r) { r.layerOpacity = 0.5; }) },
        { "rotation", plain(Kind::Shape, [](UNDODATA& r) { r.rotationAngle = 30; }) },
        { "saturation", plain(Kind::Image, [](UNDODATA& r) { r.saturation = 0.5; }) },
        { "background fill", plain(Kind::Image, [&](UNDODATA& r) { r.backColor = red; }) },
        { "overlay fill", plain(Kind::Text, [&](UNDODATA& r) { r.overlayColor = red; }) },
        { "border width", plain(Kind::Shape, [](UNDODATA& r) { r.borderSize = 4; }) },
        { "stroke fill", plain(Kind::Image, [&](UNDODATA& r) { r.strokeColor = red; }) },
        { "start head", plain(Kind::Shape, [](UNDODATA& r) { r.startType = 2; }) },
        { "end head", plain(Kind::Shape, [](UNDODATA& r) { r.endType = 3; }) },
        { "drop shadow blur", plain(Kind::Text, [](UNDODATA& r) { r.shadowBlurSize = 7; }) },
        { "no drop shadow", plain(Kind::Text, [](UNDODATA& r) { r.shadowColor.reset(); }) },
        { "inner shadow angle", plain(Kind::Image, [](UNDODATA& r) { r.innerShadowAngle = 30; }) },
        { "perspective", plain(Kind::Shape, [](UNDODATA& r) { r.horzPerspective = 0.3; }) },
        { "circular text", plain(Kind::Text, [](UNDODATA& r) { r.isCircular = true; }) },
        { "frame", plain(Kind::Image, [](UNDODATA& r) { r.frame.origin.x = 70; }) },
        { "a rounded rectangle", plain(Kind::Shape, {}, shape::RoundedRectangle) },
        { "text size", plain(Kind::Text, {}, shape::Line, larger) },
        { "text face", plain(Kind::Text, {}, shape::Line, otherFace) },
        { "bold face", plain(Kind::Text, {}, shape::Line, bold) },
        { "character spacing", plain(Kind::Text, {}, shape::Line, kerned) },
        { "alignment", plain(Kind::Text, {}, shape::Line, aligned) },
    };
    struct Selection {
        const char* name;
        std::vector<Kind> kinds; // the kinds of the other boxes, in turn
    };
    const Selection selections[] = {
        { "of every kind", { Kind::Text, Kind::Image, Kind::Shape } },
        { "of texts only", { Kind::Text } },
    };
    // Enough boxes for several parts, whatever the number of threads.
    constexpr int kBoxes = 1600;
    InspectorWindow w;
    for (const Selection& selection : selections) {
        for (const Row& row : rows) {
            // The first box, the first of a later part, the last box of all.
            for (const int at : { 0, kBoxes / 3, kBoxes - 1 }) {
                SCOPED_TRACE(testing::Message()
                    << selection.name << ", " << row.name << ", differing at " << at);
                std::vector<BoxSpec> boxes;
                for (int i = 0; i < kBoxes; ++i)
                    boxes.push_back(
                        i == at ? row.odd : plain(selection.kinds[i % selection.kinds.size()]));
                w.build(boxes);
                const Shown all = shownBy(w.o);
                // The same boxes in the same order, without the repeats between them.
                std::set<int> kept = { 0, 1, 2, at, kBoxes - 3, kBoxes - 2, kBoxes - 1 };
                std::vector<BoxSpec> few;
                for (int i : kept)
                    few.push_back(boxes[std::size_t(i)]);
                w.build(few);
                const Shown some = shownBy(w.o);
                EXPECT_EQ(all.texts.join(QLatin1Char('|')).toStdString(),
                    some.texts.join(QLatin1Char('|')).toStdString());
                EXPECT_TRUE(all.wells == some.wells);
                EXPECT_TRUE(all.colours == some.colours);
            }
        }
    }
}

// The same over one thread: the parts are read in turn, and merge as they do on many.
TEST(LargeSelection, OneThreadShowsWhatManyShow)
{
    InspectorWindow w;
    std::vector<BoxSpec> boxes;
    for (int i = 0; i < 1600; ++i)
        boxes.push_back(plain(i % 2 ? Kind::Text : Kind::Shape));
    boxes.back() = plain(Kind::Text, [](UNDODATA& r) { r.borderSize = 2; });
    w.build(boxes);
    const Shown many = shownBy(w.o);
    const int threads = platform::ThreadPool::maxThreads();
    platform::ThreadPool::setMaxThreads(1);
    w.build(boxes);
    const Shown one = shownBy(w.o);
    platform::ThreadPool::setMaxThreads(threads);
    EXPECT_EQ(many.texts.join(QLatin1Char('|')).toStdString(),
        one.texts.join(QLatin1Char('|')).toStdString());
    EXPECT_EQ(w.o.borderSizeTextField->text(), QString());
}
