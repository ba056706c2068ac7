// The border and stroke panels: fills, widths, remove buttons and line heads.
#include "window/BorderStrokePanel.h"

#include "boxes/MyShapeView.h"
#include "boxes/MyViewBase.h"
#include "container/TextViewContainer.h"
#include "platform/ui/ColorPanel.h"
#include "window/DocumentWindowOutlets.h"
#include "window/FieldNumbers.h"
#include "window/GradientCtrl.h"
#include "window/SelectionGather.h"
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
{
    const DocumentWindowOutlets& c = controls();
    m_lines[Border] = { c.btBorderColor, c.minusBorder,
        { c.borderSizeStepper, c.borderSizeTextField, fieldnumbers::kPoints },
        &TextViewContainer::borderColorChanged, &TextViewContainer::borderSizeChanged, false };
    m_lines[Stroke] = { c.btStrokeColor, c.minusStroke,
        { c.strokeSizeStepper, c.strokeSizeTextField, fieldnumbers::kPoints },
        &TextViewContainer::strokeColorChanged, &TextViewContainer::strokeSizeChanged, true };
    for (Line& line : m_lines)
        wire(line);
    onChosen(c.popupStartPoint, [this](int i) { popupStartPointChanged(i); });
    onChosen(c.popupEndPoint, [this](int i) { popupEndPointChanged(i); });
}

BorderStrokePanel::~BorderStrokePanel() = default;

void BorderStrokePanel::wire(Line& line)
{
    line.well->setDelegate([this](GradientCtrl& sender) { gradientCtrlChanged(sender); });
    onAction(line.width.stepper, [this, &line] { stepperChanged(line); });
    onEdited(line.width.field, [this, &line] { widthTyped(line); });
    onClicked(line.minus, [this, &line] { removeLine(line); });
}

void BorderStrokePanel::gradientCtrlChanged(GradientCtrl& sender)
{
    host().beforeAction();
    TextViewContainer* layer = boxLayer();
    for (Line& line : m_lines) {
        if (line.well != &sender || !layer)
            continue;
        const SZGradient fill = sender.gradient();
        (layer->*line.fillChanged)(fill);
        // A fill of no kind leaves the remove button as it was.
        if (fill.gradientType != SZGradient::NoFill)
            line.minus->show();
    }
}

void BorderStrokePanel::stepperChanged(Line& line)
{
    host().beforeAction();
    showText(line.width.field, line.width.shown());
    widthTyped(line);
}

// The width is held within the stepper's range and shown as sent.
void BorderStrokePanel::widthTyped(Line& line)
{
    host().beforeAction();
    const int n = line.width.typed();
    line.width.stepper->setIntValue(n);
    showText(line.width.field, line.width.shown());
    if (TextViewContainer* layer = boxLayer())
        (layer->*line.widthChanged)(n);
    if (line.sentWidthShowsMinus)
        line.minus->show();
}

void BorderStrokePanel::removeLine(Line& line)
{
    asOneUndoStep(line.minus, [&] {
        host().beforeAction();
        if (TextViewContainer* layer = boxLayer())
            (layer->*line.fillChanged)(noFill());
        line.well->setGradient(noFill());
        platform::ColorPanel::shared().setAction(nullptr);
        line.width.stepper->setIntValue(0);
        stepperChanged(line);
        line.minus->hide();
    });
}

void BorderStrokePanel::borderSizeStepperDidChange()
{
    stepperChanged(m_lines[Border]);
}

void BorderStrokePanel::borderSizeValueDidChange()
{
    widthTyped(m_lines[Border]);
}

void BorderStrokePanel::strokeSizeStepperChanged()
{
    stepperChanged(m_lines[Stroke]);
}

void BorderStrokePanel::strokeSizeTextFieldChanged()
{
    widthTyped(m_lines[Stroke]);
}

void BorderStrokePanel::removeBorder()
{
    removeLine(m_lines[Border]);
}

void BorderStrokePanel::minusStrokeClicked()
{
    removeLine(m_lines[Stroke]);
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
    struct Values {
        Shared<SZGradient> border, stroke;
        Shared<int> borderSize, strokeSize, startHead, endHead;
        // Whether the first box is a shape; unseen without boxes.
        Shared<bool> firstIsShape;
        void merge(const Values& later)
        {
            border.merge(later.border);
            stroke.merge(later.stroke);
            borderSize.merge(later.borderSize);
            strokeSize.merge(later.strokeSize);
            startHead.merge(later.startHead);
            endHead.merge(later.endHead);
            firstIsShape.merge(later.firstIsShape);
        }
    };
    Values v
        = selectiongather::gatherSelected<Values>(boxes, [](Values& part, const MyViewBase& box) {
              part.border.take(box.borderColor());
              part.stroke.take(box.strokeColor());
              part.borderSize.take(box.borderSize());
              part.strokeSize.take(box.strokeSize());
              const auto* shape = boxAs<MyShapeView>(&box);
              part.firstIsShape.take(shape != nullptr);
              if (shape) {
                  part.startHead.take(shape->startType());
                  part.endHead.take(shape->endType());
              }
          });
    if (!v.firstIsShape.seen())
        return;
    // Line heads compare shapes only, against 0 unless the first box is a shape.
    Shared<int> startHead, endHead;
    if (!v.firstIsShape.value()) {
        startHead.take(0);
        endHead.take(0);
    }
    startHead.merge(v.startHead);
    endHead.merge(v.endHead);
    const Shared<SZGradient>* fills[2] = { &v.border, &v.stroke };
    const Shared<int>* widths[2] = { &v.borderSize, &v.strokeSize };
    for (int i : { Border, Stroke }) {
        const Line& line = m_lines[size_t(i)];
        const Shared<SZGradient>& fill = *fills[i];
        const Shared<int>& width = *widths[i];
        // Fills that differ show the default fill.
        line.well->setGradient(fill.same ? fill.value() : SZGradient());
        line.width.stepper->setIntValue(width.same ? width.value() : 0);
        showText(line.width.field, width.same ? line.width.shown() : QString());
        const bool empty = fill.same && line.well->gradient().gradientType == SZGradient::NoFill
            && width.same && width.value() == 0;
        line.minus->setVisible(!empty);
        line.well->update();
    }
    const DocumentWindowOutlets& c = controls();
    c.popupStartPoint->setCurrentIndex(startHead.same ? startHead.value() : -1);
    c.popupEndPoint->setCurrentIndex(endHead.same ? endHead.value() : -1);
}
