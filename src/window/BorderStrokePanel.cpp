// The border and stroke panels: fills, widths, remove buttons and line heads.
#include "window/BorderStrokePanel.h"

#include "boxes/MyShapeView.h"
#include "boxes/MyViewBase.h"
#include "container/TextViewContainer.h"
#include "platform/ui/ColorPanel.h"
#include "window/DocumentWindowOutlets.h"
#include "window/FieldNumbers.h"
#include "window/GradientCtrl.h"
#include "window/SharedValue.h"

#include <QComboBox>
#include <QPushButton>

namespace {

SZGradient noFill()
{
    SZGradient fill;
    fill.gradientType = SZGradient::NoFill;
    return fill;
}

} // namespace

BorderStrokePanel::BorderStrokePanel(InspectorHost& host)
    : InspectorPanel(host)
    , m_border { controls().borderSizeStepper, controls().borderSizeTextField,
        fieldnumbers::kPoints }
    , m_stroke { controls().strokeSizeStepper, controls().strokeSizeTextField,
        fieldnumbers::kPoints }
{
    const DocumentWindowOutlets& c = controls();
    for (GradientCtrl* well : { c.btBorderColor, c.btStrokeColor })
        well->setDelegate([this](GradientCtrl& sender) { gradientCtrlChanged(sender); });
    onAction(c.borderSizeStepper, [this] { borderSizeStepperDidChange(); });
    onEdited(c.borderSizeTextField, [this] { borderSizeValueDidChange(); });
    onAction(c.strokeSizeStepper, [this] { strokeSizeStepperChanged(); });
    onEdited(c.strokeSizeTextField, [this] { strokeSizeTextFieldChanged(); });
    onClicked(c.minusBorder, [this] { removeBorder(); });
    onClicked(c.minusStroke, [this] { minusStrokeClicked(); });
    onChosen(c.popupStartPoint, [this](int i) { popupStartPointChanged(i); });
    onChosen(c.popupEndPoint, [this](int i) { popupEndPointChanged(i); });
}

BorderStrokePanel::~BorderStrokePanel() = default;

void BorderStrokePanel::gradientCtrlChanged(GradientCtrl& sender)
{
    host().beforeAction();
    TextViewContainer* layer = boxLayer();
    const DocumentWindowOutlets& c = controls();
    const SZGradient fill = sender.gradient();
    const bool border = &sender == c.btBorderColor;
    if (!layer || (!border && &sender != c.btStrokeColor))
        return;
    if (border)
        layer->borderColorChanged(fill);
    else
        layer->strokeColorChanged(fill);
    // A fill of no kind leaves the remove button as it was.
    if (fill.gradientType != SZGradient::NoFill)
        (border ? c.minusBorder : c.minusStroke)->show();
}

int BorderStrokePanel::takeTyped(const ValueRow& row)
{
    const int n = row.typed();
    row.stepper->setIntValue(n);
    showText(row.field, row.shown());
    return n;
}

void BorderStrokePanel::borderSizeStepperDidChange()
{
    host().beforeAction();
    showText(m_border.field, m_border.shown());
    borderSizeValueDidChange();
}

void BorderStrokePanel::borderSizeValueDidChange()
{
    host().beforeAction();
    const int n = takeTyped(m_border);
    if (TextViewContainer* layer = boxLayer())
        layer->borderSizeChanged(n);
}

void BorderStrokePanel::strokeSizeStepperChanged()
{
    host().beforeAction();
    showText(m_stroke.field, m_stroke.shown());
    strokeSizeTextFieldChanged();
}

void BorderStrokePanel::strokeSizeTextFieldChanged()
{
    host().beforeAction();
    const int n = takeTyped(m_stroke);
    if (TextViewContainer* layer = boxLayer())
        layer->strokeSizeChanged(n);
    controls().minusStroke->show();
}

void BorderStrokePanel::removeBorder()
{
    const DocumentWindowOutlets& c = controls();
    asOneUndoStep(c.minusBorder, [&] {
        host().beforeAction();
        if (TextViewContainer* layer = boxLayer())
            layer->borderColorChanged(noFill());
        c.btBorderColor->setGradient(noFill());
        platform::ColorPanel::shared().setAction(nullptr);
        c.borderSizeStepper->setIntValue(0);
        borderSizeStepperDidChange();
        c.minusBorder->hide();
    });
}

void BorderStrokePanel::minusStrokeClicked()
{
    const DocumentWindowOutlets& c = controls();
    asOneUndoStep(c.minusStroke, [&] {
        host().beforeAction();
        if (TextViewContainer* layer = boxLayer())
            layer->strokeColorChanged(noFill());
        c.btStrokeColor->setGradient(noFill());
        platform::ColorPanel::shared().setAction(nullptr);
        c.strokeSizeStepper->setIntValue(0);
        strokeSizeStepperChanged();
        c.minusStroke->hide();
    });
}

void BorderStrokePanel::popupStartPointChanged(int index)
{
    host().beforeAction();
    TextViewContainer* layer = boxLayer();
    if (layer && index >= 0)
        layer->startPointChanged(index);
}

void BorderStrokePanel::popupEndPointChanged(int index)
{
    host().beforeAction();
    TextViewContainer* layer = boxLayer();
    if (layer && index >= 0)
        layer->endPointChanged(index);
}

void BorderStrokePanel::refresh(const std::vector<MyViewBase*>& boxes)
{
    Shared<SZGradient> border, stroke;
    Shared<int> borderSize, strokeSize, startHead, endHead;
    bool first = true;
    for (const MyViewBase* box : boxes) {
        if (!box->selected())
            continue;
        border.take(box->borderColor());
        stroke.take(box->strokeColor());
        borderSize.take(box->borderSize());
        strokeSize.take(box->strokeSize());
        // Line heads compare shapes only, against 0 unless the first box is a shape.
        const auto* shape = dynamic_cast<const MyShapeView*>(box);
        if (first || shape) {
            startHead.take(shape ? shape->startType() : 0);
            endHead.take(shape ? shape->endType() : 0);
        }
        first = false;
    }
    if (first)
        return;
    const DocumentWindowOutlets& c = controls();
    const struct {
        GradientCtrl* well;
        QPushButton* minus;
        const ValueRow& row;
        const Shared<SZGradient>& fill;
        const Shared<int>& size;
    } groups[] = { { c.btBorderColor, c.minusBorder, m_border, border, borderSize },
        { c.btStrokeColor, c.minusStroke, m_stroke, stroke, strokeSize } };
    for (const auto& g : groups) {
        // Fills that differ show the default fill.
        g.well->setGradient(g.fill.same ? g.fill.value() : SZGradient());
        g.row.stepper->setIntValue(g.size.same ? g.size.value() : 0);
        showText(g.row.field, g.size.same ? g.row.shown() : QString());
        const bool empty = g.fill.same && g.well->gradient().gradientType == SZGradient::NoFill
            && g.size.same && g.size.value() == 0;
        g.minus->setVisible(!empty);
        g.well->update();
    }
    c.popupStartPoint->setCurrentIndex(startHead.same ? startHead.value() : -1);
    c.popupEndPoint->setCurrentIndex(endHead.same ? endHead.value() : -1);
}
