// The directions panel: perspective and curve amounts in three siblings each, and the
// direction segments that write the boxes themselves.
#include "window/WarpPanel.h"

#include "boxes/MyViewBase.h"
#include "container/TextViewContainer.h"
#include "container/UndoStep.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/Stepper.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/DocumentWindowOutlets.h"
#include "window/FieldNumbers.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SelectionGather.h"
#include "window/SharedValue.h"

#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <tuple>

using fieldnumbers::kPercent;

namespace {

QString percentText(const platform::Stepper* stepper)
{
    return stepper->stringValue() + kPercent;
}

// The slider position of a perspective and of a curve; 0 for a slider without a maximum.
double perspectivePosition(const ImageEffectIntensitySlider* s, double p)
{
    return s->maxValue() > 0 ? (p + 100.0) / s->maxValue() * 0.5 : 0.0;
}

double curvePosition(const ImageEffectIntensitySlider* s, double c)
{
    return s->maxValue() > 0 ? c / s->maxValue() : 0.0;
}

// A slider's value truncated toward zero, held where an int (and the stepper) can take it.
int truncated(double v)
{
    return std::isfinite(v) ? int(std::clamp(v, -1e9, 1e9)) : 0;
}

// The way a box's curve bends, as its direction segments show it: the box's own code (0 up,
// 180 down, 50 both ways), except that the two end points, which stay on the base line while
// the inner points are dragged, do not make a bend one way read as both. Only the direction
// segments write the end points' side.
int curveDirection(const MyViewBase& box)
{
    const int code = box.getCurveAngle();
    const std::vector<platform::Point>& curves = box.curves();
    if (code != 50 || curves.size() < 3)
        return code;
    const auto below = [](const platform::Point& p) { return p.y < 0.0; };
    const auto first = curves.begin() + 1, last = curves.end() - 1;
    if (std::all_of(first, last, below))
        return 180;
    if (std::none_of(first, last, below))
        return 0;
    return code;
}

} // namespace

// What the panel shows, over one or several boxes.
struct WarpPanel::Shown {
    Shared<int> perspSize, perspAngle, curveSize, curveAngle;
    bool alwaysRemovable = false;

    void take(const MyViewBase& box)
    {
        perspSize.take(box.getPerspectiveSize());
        perspAngle.take(box.getPerspectiveAngle());
        curveSize.take(box.getCurveSize());
        curveAngle.take(curveDirection(box));
    }
    void merge(const Shown& later)
    {
        perspSize.merge(later.perspSize);
        perspAngle.merge(later.perspAngle);
        curveSize.merge(later.curveSize);
        curveAngle.merge(later.curveAngle);
    }
};

WarpPanel::WarpPanel(InspectorHost& host)
    : InspectorPanel(host)
{
    const DocumentWindowOutlets& c = controls();
    onAction(c.perspectiveSlider, [this, s = c.perspectiveSlider] { adjustPerspectiveSlider(*s); });
    onAction(
        c.perspectiveStepper, [this, s = c.perspectiveStepper] { perspectiveStepperChanged(*s); });
    onEdited(c.perspectiveTextField,
        [this, f = c.perspectiveTextField] { perspectiveTextFieldChanged(*f); });
    onAction(c.curveSlider, [this, s = c.curveSlider] { adjustCurveSlider(*s); });
    onAction(c.curveStepper, [this, s = c.curveStepper] { curveStepperChanged(*s); });
    onEdited(c.curveTextField, [this, f = c.curveTextField] { curveTextFieldChanged(*f); });
    onClicked(c.minusDirections, [this] { removeDirections(); });
    onAction(
        c.perspectiveSegment, [this, s = c.perspectiveSegment] { perspectiveSegmentSelected(*s); });
    onAction(c.curveSegment, [this, s = c.curveSegment] { curveSegmentSelected(*s); });
}

void WarpPanel::refresh(const std::vector<MyViewBase*>& boxes)
{
    show(selectiongather::gatherSelected<Shown>(
        boxes, [](Shown& shown, const MyViewBase& box) { shown.take(box); }));
}

void WarpPanel::updateDirection(const MyViewBase& box)
{
    Shown shown;
    shown.take(box);
    shown.alwaysRemovable = true;
    show(shown);
}

void WarpPanel::show(const Shown& s)
{
    const DocumentWindowOutlets& c = controls();
    const auto number = [](platform::Stepper* stepper, QLineEdit* field, const Shared<int>& v) {
        stepper->setIntValue(v.uniform() ? v.value() : 0);
        showText(field, v.uniform() ? percentText(stepper) : QString());
    };
    number(c.perspectiveStepper, c.perspectiveTextField, s.perspSize);
    c.perspectiveSlider->showValue(
        s.perspSize.uniform(), perspectivePosition(c.perspectiveSlider, s.perspSize.value()));
    number(c.curveStepper, c.curveTextField, s.curveSize);
    c.curveSlider->showValue(
        s.curveSize.uniform(), curvePosition(c.curveSlider, s.curveSize.value()));

    const auto zero = [](const Shared<int>& v) { return v.uniform() && v.value() == 0; };
    const bool straight
        = zero(s.perspSize) && zero(s.perspAngle) && zero(s.curveSize) && zero(s.curveAngle);
    c.minusDirections->setVisible(s.alwaysRemovable || !straight);

    for (int i = 0; i < 2; ++i) {
        c.perspectiveSegment->setSelected(false, i);
        c.curveSegment->setSelected(false, i);
    }
    if (s.perspAngle.uniform()) {
        const int a = s.perspAngle.value();
        if (a == 0 || a == 180)
            c.perspectiveSegment->setSelected(true, 0);
        else if (a == 90 || a == 270)
            c.perspectiveSegment->setSelected(true, 1);
    }
    if (s.curveAngle.uniform()) {
        if (s.curveAngle.value() == 0)
            c.curveSegment->setSelected(true, 0);
        else if (s.curveAngle.value() == 180)
            c.curveSegment->setSelected(true, 1);
    }
    c.perspectiveSegment->update();
    c.curveSegment->update();
}

// ---- perspective and curve

WarpPanel::Amount WarpPanel::perspective() const
{
    const DocumentWindowOutlets& c = controls();
    return { c.perspectiveSlider, c.perspectiveStepper, c.perspectiveTextField, false };
}

WarpPanel::Amount WarpPanel::curve() const
{
    const DocumentWindowOutlets& c = controls();
    return { c.curveSlider, c.curveStepper, c.curveTextField, true };
}

void WarpPanel::adjustPerspectiveSlider(ImageEffectIntensitySlider& sender)
{
    sliderMoved(perspective(), 2.0 * sender.maxValue() * sender.value() - 100.0);
}

void WarpPanel::perspectiveStepperChanged(platform::Stepper&)
{
    stepperChanged(perspective());
}

void WarpPanel::perspectiveTextFieldChanged(QLineEdit&)
{
    fieldChanged(perspective());
}

void WarpPanel::adjustCurveSlider(ImageEffectIntensitySlider& sender)
{
    sliderMoved(curve(), sender.maxValue() * sender.value());
}

void WarpPanel::curveStepperChanged(platform::Stepper&)
{
    stepperChanged(curve());
}

void WarpPanel::curveTextFieldChanged(QLineEdit&)
{
    fieldChanged(curve());
}

double WarpPanel::sliderPosition(const Amount& a, double percent)
{
    return a.curve ? curvePosition(a.slider, percent) : perspectivePosition(a.slider, percent);
}

void WarpPanel::send(const Amount& a, double value)
{
    if (TextViewContainer* layer = boxLayer())
        a.curve ? layer->curvesChanged(value) : layer->perspectiveChanged(value);
}

// The stepper takes the percentage truncated; the boxes take it whole.
void WarpPanel::sliderMoved(const Amount& a, double percent)
{
    host().beforeAction();
    a.stepper->setIntValue(truncated(percent));
    showText(a.field, percentText(a.stepper));
    controls().minusDirections->show();
    send(a, percent / 100.0);
}

void WarpPanel::stepperChanged(const Amount& a)
{
    host().beforeAction();
    showText(a.field, percentText(a.stepper));
    controls().minusDirections->show();
    fieldChanged(a);
}

void WarpPanel::fieldChanged(const Amount& a)
{
    host().beforeAction();
    const std::optional<int> typed = fieldnumbers::leadingInt(a.field->text(), kPercent);
    if (!typed) {
        if (const TextViewContainer* layer = boxLayer())
            refresh(layer->textViewAry);
        return;
    }
    a.stepper->setIntValue(
        fieldnumbers::held(*typed, a.stepper->minValue(), a.stepper->maxValue()));
    const int n = a.stepper->intValue();
    showText(a.field, percentText(a.stepper));
    a.slider->showValue(true, sliderPosition(a, n));
    send(a, double(float(n) / 100.0f));
    // A typed curve shows the remove button; a typed perspective leaves it as it is.
    if (a.curve)
        controls().minusDirections->show();
}

// ---- remove and directions

void WarpPanel::removeDirections()
{
    host().beforeAction();
    const DocumentWindowOutlets& c = controls();
    TextViewContainer* layer = boxLayer();
    // The two resets are one change run, so one undo brings back both values.
    if (layer)
        layer->beginChangeRun(c.minusDirections);
    c.curveStepper->setIntValue(0);
    curveStepperChanged(*c.curveStepper);
    c.perspectiveStepper->setIntValue(0);
    perspectiveStepperChanged(*c.perspectiveStepper);
    if (layer && layer->changeRunKey() == c.minusDirections)
        layer->endChangeRun();
    c.minusDirections->hide();
}

void WarpPanel::perspectiveSegmentSelected(CustomSegmentedCtrl& sender)
{
    setDirections(sender, false);
}

void WarpPanel::curveSegmentSelected(CustomSegmentedCtrl& sender)
{
    setDirections(sender, true);
}

void WarpPanel::setDirections(CustomSegmentedCtrl& sender, bool curve)
{
    host().beforeAction();
    const int s = sender.selectedSegment();
    TextViewContainer* layer = boxLayer();
    // No segment chosen is no direction: nothing is written.
    if (s < 0 || !layer || layer->GetSelectedBoxCount() < 1)
        return;
    UndoStep step(*layer);
    for (int i = 0; i < 2; ++i)
        sender.setSelected(false, i);
    bool changed = false;
    for (MyViewBase* box : layer->textViewAry) {
        if (!box->selected())
            continue;
        // The colour panel stops editing whatever it edited.
        platform::ColorPanel& panel = platform::ColorPanel::shared();
        panel.setIdentifier(QStringLiteral("emptyColorIdentifier_XYZ"));
        panel.setAction(nullptr);
        const auto before
            = std::make_tuple(box->horzPerspective(), box->vertPerspective(), box->curves());
        if (curve)
            box->setCurveAngle(s != 0 ? 180 : 0);
        else
            box->setPerspectiveAngle(s != 0 ? 90 : 0);
        changed = changed
            || before
                != std::make_tuple(box->horzPerspective(), box->vertPerspective(), box->curves());
    }
    sender.setSelected(true, s);
    sender.update();
    if (changed)
        step.commit();
    layer->markForDisplay();
}
