// The shadow panels: the drop shadow and the inner or box shadow, each value shown three ways.
#include "window/ShadowPanel.h"

#include "boxes/MyViewBase.h"
#include "container/TextViewContainer.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/SegmentedControl.h"
#include "window/AngleCtrl.h"
#include "window/ColoredButton.h"
#include "window/DocumentWindowOutlets.h"
#include "window/FieldNumbers.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SelectionGather.h"
#include "window/SharedValue.h"

#include <QLabel>
#include <QPushButton>
#include <cmath>
#include <optional>

using platform::Color;
using platform::ColorPanel;

namespace {

const QString kShadowColorIdentifier = QStringLiteral("shadowColorIdentifier_XYZ");
const QString kInnerShadowColorIdentifier = QStringLiteral("innerShadowColorIdentifier_XYZ");
const QString kEmptyColorIdentifier = QStringLiteral("emptyColorIdentifier_XYZ");

using Message = void (TextViewContainer::*)(int);
using ColorMessage = void (TextViewContainer::*)(const std::optional<Color>&);

// By family (drop, inner, box), then by value (angle, blur, offset).
constexpr Message kMessages[3][3] = {
    { &TextViewContainer::shadowAngleChanged, &TextViewContainer::shadowBlurChanged,
        &TextViewContainer::shadowOffsetChanged },
    { &TextViewContainer::innerShadowAngleChanged, &TextViewContainer::innerShadowBlurChanged,
        &TextViewContainer::innerShadowOffsetChanged },
    { &TextViewContainer::boxShadowAngleChanged, &TextViewContainer::boxShadowBlurChanged,
        &TextViewContainer::boxShadowOffsetChanged },
};
constexpr ColorMessage kColorMessages[3] = { &TextViewContainer::shadowColorChanged,
    &TextViewContainer::innerShadowColorChanged, &TextViewContainer::boxShadowColorChanged };

bool isNoShadowColor(const Color& c)
{
    return c.alpha == 0.75 && c.red == 0 && c.green == 0 && c.blue == 0;
}

// One family as the selected boxes hold it.
struct FamilyValues {
    Shared<std::optional<Color>> color;
    Shared<int> angle, blur, offset;

    void take(const std::optional<Color>& c, int a, int b, int o)
    {
        color.take(c);
        angle.take(a);
        blur.take(b);
        offset.take(o);
    }
    void merge(const FamilyValues& later)
    {
        color.merge(later.color);
        angle.merge(later.angle);
        blur.merge(later.blur);
        offset.merge(later.offset);
    }
};

// A value as a fraction of a slider's maximum; 0 for a slider without one.
double sliderFraction(const ImageEffectIntensitySlider* s, double v)
{
    return s->maxValue() > 0 ? v / s->maxValue() : 0.0;
}

} // namespace

ShadowPanel::ShadowPanel(InspectorHost& host)
    : InspectorPanel(host)
{
    const DocumentWindowOutlets& c = controls();
    const QString pt = fieldnumbers::kPoints, deg = fieldnumbers::kDegrees;
    m_families[Drop] = { c.btShadowColor, c.minusShadow,
        { Row { { c.shadowAngleStepper, c.shadowAngleTextField, deg }, nullptr, c.shadowAngleCtrl,
              Drop, Angle },
            Row { { c.shadowBlurStepper, c.shadowBlurTextField, pt }, c.shadowBlurSlider, nullptr,
                Drop, Blur },
            Row { { c.shadowOffsetStepper, c.shadowOffsetTextField, pt }, c.shadowOffsetSlider,
                nullptr, Drop, Offset } } };
    m_families[Second] = { c.btInnerShadowColor, c.minusInnerShadow,
        { Row { { c.innerShadowAngleStepper, c.innerShadowAngleTextField, deg }, nullptr,
              c.innerShadowAngleCtrl, Second, Angle },
            Row { { c.innerShadowBlurStepper, c.innerShadowBlurTextField, pt },
                c.innerShadowBlurSlider, nullptr, Second, Blur },
            Row { { c.innerShadowOffsetStepper, c.innerShadowOffsetTextField, pt },
                c.innerShadowOffsetSlider, nullptr, Second, Offset } } };
    for (FamilyControls& f : m_families) {
        for (Row& row : f.rows)
            wire(row);
        ColoredButton* well = f.well;
        onAction(well, [this, well] { textboxColorClicked(*well); });
    }
    onClicked(c.minusShadow, [this] { removeShadow(); });
    onClicked(c.minusInnerShadow, [this] { removeinnerShadow(); });
    onAction(c.segmentInnerShadow, [this] { segmentInnerShadowClicked(); });
}

ShadowPanel::~ShadowPanel() = default;

void ShadowPanel::wire(Row& row)
{
    onAction(row.number.stepper, [this, &row] { stepperDidChange(row); });
    onEdited(row.number.field, [this, &row] { valueDidChange(row); });
    if (row.slider)
        onAction(row.slider, [this, &row] { sliderChanged(row); });
    if (AngleCtrl* knob = row.knob)
        onAction(knob, [this, knob] { angleCtrlChanged(*knob, float(knob->angle())); });
}

bool ShadowPanel::editsBoxShadow() const
{
    return controls().segmentInnerShadow->selectedSegment() != 0;
}

void ShadowPanel::send(const Row& row, int value)
{
    TextViewContainer* layer = boxLayer();
    if (!layer)
        return;
    const int family = row.family == Drop ? 0 : (editsBoxShadow() ? 2 : 1);
    (layer->*kMessages[family][row.value])(value);
}

void ShadowPanel::sendColor(Family family, const Color& color)
{
    if (TextViewContainer* layer = boxLayer())
        (layer->*kColorMessages[family == Drop ? 0 : (editsBoxShadow() ? 2 : 1)])(color);
}

// ---- the three siblings of a row

void ShadowPanel::stepperDidChange(Row& row)
{
    host().beforeAction();
    showText(row.number.field, row.number.shown());
    m_families[row.family].minus->show();
    valueDidChange(row);
}

// The typed number is held within the stepper's range, and all three siblings show what the
// boxes get: a field never shows a number the stepper and the boxes do not have.
void ShadowPanel::valueDidChange(Row& row)
{
    host().beforeAction();
    const int n = row.number.typed();
    row.number.stepper->setIntValue(n);
    showText(row.number.field, row.number.shown());
    QPushButton* minus = m_families[row.family].minus;
    if (row.slider) {
        row.slider->setForceValue(sliderFraction(row.slider, n));
        row.slider->setShowSlider(true);
        row.slider->update();
        minus->show();
        send(row, n);
    } else {
        send(row, n);
        row.knob->setAngle(n);
        minus->show();
        row.knob->update();
    }
}

void ShadowPanel::sliderChanged(Row& row)
{
    host().beforeAction();
    const double m = std::trunc(row.slider->maxValue() * row.slider->value());
    row.number.stepper->setIntValue(int(std::clamp(m, -1e9, 1e9)));
    showText(row.number.field, row.number.shown());
    m_families[row.family].minus->show();
    send(row, row.number.stepper->intValue());
}

void ShadowPanel::angleCtrlChanged(AngleCtrl& sender, float angle)
{
    host().beforeAction();
    for (FamilyControls& f : m_families) {
        Row& row = f.rows[Angle];
        if (row.knob != &sender)
            continue;
        const double a = std::isfinite(angle) ? std::trunc(double(angle)) : 0.0;
        row.number.stepper->setIntValue(int(std::clamp(a, -1e9, 1e9)));
        showText(row.number.field, row.number.shown());
        f.minus->show();
        valueDidChange(row);
    }
}

// ---- the actions by their own names, one per row

void ShadowPanel::shadowAngleStepperDidChange()
{
    stepperDidChange(m_families[Drop].rows[Angle]);
}
void ShadowPanel::shadowAngleValueDidChange()
{
    valueDidChange(m_families[Drop].rows[Angle]);
}
void ShadowPanel::shadowBlurStepperDidChange()
{
    stepperDidChange(m_families[Drop].rows[Blur]);
}
void ShadowPanel::shadowBlurValueDidChange()
{
    valueDidChange(m_families[Drop].rows[Blur]);
}
void ShadowPanel::adjustShadowBlur()
{
    sliderChanged(m_families[Drop].rows[Blur]);
}
void ShadowPanel::shadowOffsetStepperDidChange()
{
    stepperDidChange(m_families[Drop].rows[Offset]);
}
void ShadowPanel::shadowOffsetValueDidChange()
{
    valueDidChange(m_families[Drop].rows[Offset]);
}
void ShadowPanel::adjustShadowOffset()
{
    sliderChanged(m_families[Drop].rows[Offset]);
}
void ShadowPanel::innerShadowAngleStepperDidChange()
{
    stepperDidChange(m_families[Second].rows[Angle]);
}
void ShadowPanel::innerShadowAngleValueDidChange()
{
    valueDidChange(m_families[Second].rows[Angle]);
}
void ShadowPanel::innerShadowBlurStepperDidChange()
{
    stepperDidChange(m_families[Second].rows[Blur]);
}
void ShadowPanel::innerShadowBlurValueDidChange()
{
    valueDidChange(m_families[Second].rows[Blur]);
}
void ShadowPanel::adjustinnerShadowBlur()
{
    sliderChanged(m_families[Second].rows[Blur]);
}
void ShadowPanel::innerShadowOffsetStepperDidChange()
{
    stepperDidChange(m_families[Second].rows[Offset]);
}
void ShadowPanel::innerShadowOffsetValueDidChange()
{
    valueDidChange(m_families[Second].rows[Offset]);
}
void ShadowPanel::adjustinnerShadowOffset()
{
    sliderChanged(m_families[Second].rows[Offset]);
}

// ---- colours

void ShadowPanel::textboxColorClicked(const ColoredButton& sender)
{
    host().beforeAction();
    ColorPanel& panel = ColorPanel::shared();
    panel.setShowsAlpha(true);
    // Detached unless the well is one of the two shadow wells.
    panel.setIdentifier(kEmptyColorIdentifier);
    panel.setAction(nullptr);
    const int tag = sender.property("tag").toInt();
    if (tag == kShadowColorTag || tag == kInnerShadowColorTag) {
        const Family family = tag == kShadowColorTag ? Drop : Second;
        panel.setColor(m_families[family].well->coloringColor());
        panel.setIdentifier(family == Drop ? kShadowColorIdentifier : kInnerShadowColorIdentifier);
        panel.setAction(
            [this, family](ColorPanel& p) {
                if (family == Drop)
                    shadowColorChanged(p);
                else
                    innerShadowColorChanged(p);
            },
            this);
    }
    panel.orderFront();
    panel.setContinuous(false);
}

void ShadowPanel::shadowColorChanged(ColorPanel& panel)
{
    colorChanged(Drop, panel);
}

void ShadowPanel::innerShadowColorChanged(ColorPanel& panel)
{
    colorChanged(Second, panel);
}

void ShadowPanel::colorChanged(Family family, ColorPanel& panel)
{
    FamilyControls& f = m_families[family];
    f.well->setColoringColor(panel.color());
    sendColor(family, panel.color());
    f.minus->show();
    f.well->update();
}

// ---- remove buttons: the family back to no shadow, as one undo step

void ShadowPanel::removeShadow()
{
    removeFamily(Drop);
}

void ShadowPanel::removeinnerShadow()
{
    removeFamily(Second);
}

void ShadowPanel::removeFamily(Family family)
{
    FamilyControls& f = m_families[family];
    asOneUndoStep(f.minus, [&] {
        host().beforeAction();
        sendColor(family, kNoShadowColor);
        f.well->setColoringColor(kNoShadowColor);
        f.well->update();
        ColorPanel::shared().setAction(nullptr);
        for (Row& row : f.rows) {
            row.number.stepper->setIntValue(0);
            stepperDidChange(row);
        }
        f.minus->hide();
    });
}

void ShadowPanel::segmentInnerShadowClicked()
{
    host().refreshInspector();
}

// ---- refresh

// The panel's title and its sliders' titles name the family the controls edit.
void ShadowPanel::showFamilyCaptions(bool boxShadow)
{
    const DocumentWindowOutlets& c = controls();
    const QString family
        = boxShadow ? QStringLiteral("Box Shadow") : QStringLiteral("Inner Shadow");
    c.lblInnerShadow->setText(QObject::tr(boxShadow ? "Box Shadow" : "Inner Shadow"));
    for (ImageEffectIntensitySlider* slider :
        { c.innerShadowBlurSlider, c.innerShadowOffsetSlider }) {
        slider->setTitle(family);
        slider->update();
    }
}

// Each family has its own mixed state: a family that differs between the boxes shows empty
// fields and hidden sliders, the other keeps its values.
void ShadowPanel::refresh(const std::vector<MyViewBase*>& boxes)
{
    const bool box = editsBoxShadow();
    showFamilyCaptions(box);
    struct Values {
        FamilyValues families[2];
        void merge(const Values& later)
        {
            for (Family family : { Drop, Second })
                families[family].merge(later.families[family]);
        }
    };
    const Values gathered
        = selectiongather::gatherSelected<Values>(boxes, [box](Values& v, const MyViewBase& b) {
              v.families[Drop].take(
                  b.shadowColor(), b.shadowAngle(), b.shadowBlurSize(), b.shadowOffsetSize());
              if (box)
                  v.families[Second].take(b.boxShadowColor(), b.boxShadowAngle(),
                      b.boxShadowBlurSize(), b.boxShadowOffsetSize());
              else
                  v.families[Second].take(b.innerShadowColor(), b.innerShadowAngle(),
                      b.innerShadowBlurSize(), b.innerShadowOffsetSize());
          });
    const FamilyValues(&values)[2] = gathered.families;
    if (!values[Drop].angle.seen())
        return;
    for (Family family : { Drop, Second }) {
        FamilyControls& f = m_families[family];
        const FamilyValues& v = values[family];
        f.well->setColoringColor(
            v.color.same ? v.color.value().value_or(kNoShadowColor) : kNoShadowColor);
        const Shared<int>* numbers[3] = { &v.angle, &v.blur, &v.offset };
        for (Row& row : f.rows) {
            const Shared<int>& n = *numbers[row.value];
            row.number.stepper->setIntValue(n.same ? n.value() : 0);
            showText(row.number.field, n.same ? row.number.shown() : QString());
            if (row.knob) {
                row.knob->setAngle(n.same ? row.number.stepper->intValue() : -1);
                row.knob->update();
            } else {
                row.slider->setShowSlider(n.same);
                if (n.same)
                    row.slider->setForceValue(sliderFraction(row.slider, n.value()));
                row.slider->update();
            }
        }
        const bool none = v.color.same && isNoShadowColor(f.well->coloringColor()) && v.blur.same
            && v.blur.value() == 0 && v.offset.same && v.offset.value() == 0;
        f.minus->setVisible(!none);
        f.well->update();
    }
}
