// The inspector refresh: every panel filled from the selected boxes, each control showing the
// boxes' common value or a neutral mixed state, and the narrower refreshes of the frame, the
// corners, the angle slider and the directions. Nothing here sends a control's action.
#include "boxes/MyShapeView.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyViewBase.h"
#include "canvas/CanvasControls.h"
#include "container/TextViewContainer.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Stepper.h"
#include "window/AngleCtrl.h"
#include "window/ColoredButton.h"
#include "window/CommonPanel.h"
#include "window/DocumentWindow.h"
#include "window/FramePanel.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/WarpPanel.h"
#include "window/WindowLogging.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <optional>

using platform::Color;
using platform::Stepper;

namespace {

// One attribute over the selection: the first box's value, and whether every later box agrees.
template <class T> struct Shared {
    std::optional<T> ref;
    bool same = true;
    void take(const T& v)
    {
        if (!ref)
            ref = v;
        else if (!(v == *ref))
            same = false;
    }
    T value() const { return ref.value_or(T {}); }
};

// A shadow family as the boxes hold it.
struct ShadowFamily {
    Shared<std::optional<Color>> color;
    Shared<int> angle, blur, offset;
};

// The shadow colour a new box has; a family showing it with no blur or offset has nothing to
// remove.
const Color kNoShadow(0, 0, 0, 0.75);

bool isNoShadowColor(const Color& c)
{
    return c.alpha == 0.75 && c.red == 0 && c.green == 0 && c.blue == 0;
}

void showNumber(Stepper* stepper, QLineEdit* field, bool same, int value, const char* format)
{
    if (same) {
        stepper->setIntValue(value);
        field->setText(QString::fromUtf8(format).arg(stepper->stringValue()));
    } else {
        stepper->setIntValue(0);
        field->clear();
    }
}

// A fraction of a slider's maximum; 0 for a slider without one.
double sliderFraction(const ImageEffectIntensitySlider* s, double v)
{
    return s->maxValue() > 0 ? v / s->maxValue() : 0.0;
}

void showSlider(ImageEffectIntensitySlider* s, bool shared, double fraction)
{
    s->setShowSlider(shared);
    if (shared)
        s->setForceValue(fraction);
}

} // namespace

void DocumentWindow::textViewSelected(const std::vector<MyViewBase*>& boxes)
{
    updateBoxPanel(boxes);
    // Run the text view's selection handling again, so the font panel follows the caret.
    MyTextBox* edited = currentlySelectedTextView_;
    if (edited && edited->isEditing() && edited->delegate())
        edited->editor().setSelectedRange(edited->editor().selectedRange());
}

void DocumentWindow::segmentInnerShadowClicked()
{
    if (const TextViewContainer* c = m_canvasControls->textViewContainer())
        updateBoxPanel(c->textViewAry);
}

void DocumentWindow::updateBoxPanel(const std::vector<MyViewBase*>& boxes)
{
    qCDebug(lcWindow, "Update Box panel");
    if (std::none_of(boxes.begin(), boxes.end(), [](MyViewBase* b) { return b->selected(); })) {
        ShowSideBar();
        return;
    }
    Shared<SZGradient> back, overlay, border, stroke;
    Shared<int> borderSize, strokeSize;
    Shared<int> startHead, endHead;
    ShadowFamily drop, second;
    const bool inner = segmentInnerShadow->selectedSegment() == 0;
    bool first = true;
    for (MyViewBase* box : boxes) {
        if (!box->selected())
            continue;
        back.take(box->backColor());
        overlay.take(box->overlayColor());
        border.take(box->borderColor());
        stroke.take(box->strokeColor());
        borderSize.take(box->borderSize());
        strokeSize.take(box->strokeSize());
        drop.color.take(box->shadowColor());
        drop.angle.take(box->shadowAngle());
        drop.blur.take(box->shadowBlurSize());
        drop.offset.take(box->shadowOffsetSize());
        second.color.take(inner ? box->innerShadowColor() : box->boxShadowColor());
        second.angle.take(inner ? box->innerShadowAngle() : box->boxShadowAngle());
        second.blur.take(inner ? box->innerShadowBlurSize() : box->boxShadowBlurSize());
        second.offset.take(inner ? box->innerShadowOffsetSize() : box->boxShadowOffsetSize());
        // Line heads compare shapes only, against 0 unless the first box is a shape.
        const auto* shape = dynamic_cast<const MyShapeView*>(box);
        if (first) {
            startHead.take(shape ? shape->startType() : 0);
            endHead.take(shape ? shape->endType() : 0);
        } else if (shape) {
            startHead.take(shape->startType());
            endHead.take(shape->endType());
        }
        first = false;
    }

    // Fills.
    const auto showFill = [](GradientCtrl* well, const Shared<SZGradient>& fill, bool noFill) {
        SZGradient shown = fill.same ? fill.value() : SZGradient();
        if (!fill.same && noFill)
            shown.gradientType = 0;
        well->setGradient(shown);
    };
    showFill(btTextboxBackgroundColor, back, true);
    showFill(btOverlayColor, overlay, false);
    showFill(btBorderColor, border, false);
    showFill(btStrokeColor, stroke, false);
    minusTextBoxBackgroundColor->setVisible(
        !(back.same && btTextboxBackgroundColor->gradient().gradientType == 0));
    minusOverlayColor->setVisible(!(overlay.same && btOverlayColor->gradient().gradientType == 0));
    showNumber(
        borderSizeStepper, borderSizeTextField, borderSize.same, borderSize.value(), "%1 pt");
    showNumber(
        strokeSizeStepper, strokeSizeTextField, strokeSize.same, strokeSize.value(), "%1 pt");
    const auto sizedFillEmpty = [](const Shared<SZGradient>& fill, const GradientCtrl* well,
                                    const Shared<int>& size) {
        return fill.same && well->gradient().gradientType == 0 && size.same && size.value() == 0;
    };
    minusBorder->setVisible(!sizedFillEmpty(border, btBorderColor, borderSize));
    minusStroke->setVisible(!sizedFillEmpty(stroke, btStrokeColor, strokeSize));

    const auto shown = [](const Shared<int>& v) { return SharedInt { v.same, v.value() }; };
    showShadowFamily(drop.color.same, drop.color.value(), shown(drop.angle), shown(drop.blur),
        shown(drop.offset), false);
    showShadowFamily(second.color.same, second.color.value(), shown(second.angle),
        shown(second.blur), shown(second.offset), true);

    popupStartPoint->setCurrentIndex(startHead.same ? startHead.value() : -1);
    popupEndPoint->setCurrentIndex(endHead.same ? endHead.value() : -1);

    for (QWidget* w : std::initializer_list<QWidget*> { shadowOffsetSlider, shadowBlurSlider,
             shadowAngleCtrl, btShadowColor, innerShadowOffsetSlider, innerShadowBlurSlider,
             innerShadowAngleCtrl, btInnerShadowColor, btBorderColor, btStrokeColor,
             btOverlayColor, btTextboxBackgroundColor })
        w->update();
    ShowSideBar();
    updateFontsFromSelectedTextBox(boxes);
    for (const std::unique_ptr<InspectorPanel>& panel : m_inspectorPanels)
        panel->refresh(boxes);
}

// One shadow family's controls. Each family has its own mixed state: a family that differs
// between the boxes shows empty fields and hidden sliders, the other keeps its values.
void DocumentWindow::showShadowFamily(bool colorShared, const std::optional<Color>& color,
    SharedInt angle, SharedInt blur, SharedInt offset, bool second)
{
    ColoredButton* well = second ? btInnerShadowColor : btShadowColor;
    AngleCtrl* knob = second ? innerShadowAngleCtrl : shadowAngleCtrl;
    ImageEffectIntensitySlider* blurSlider = second ? innerShadowBlurSlider : shadowBlurSlider;
    ImageEffectIntensitySlider* offsetSlider
        = second ? innerShadowOffsetSlider : shadowOffsetSlider;
    well->setColoringColor(colorShared ? color.value_or(kNoShadow) : kNoShadow);
    showNumber(second ? innerShadowAngleStepper : shadowAngleStepper,
        second ? innerShadowAngleTextField : shadowAngleTextField, angle.same, angle.value,
        "%1\u00BA");
    knob->setAngle(angle.same ? angle.value : -1);
    showNumber(second ? innerShadowBlurStepper : shadowBlurStepper,
        second ? innerShadowBlurTextField : shadowBlurTextField, blur.same, blur.value, "%1 pt");
    showSlider(blurSlider, blur.same, sliderFraction(blurSlider, blur.value));
    showNumber(second ? innerShadowOffsetStepper : shadowOffsetStepper,
        second ? innerShadowOffsetTextField : shadowOffsetTextField, offset.same, offset.value,
        "%1 pt");
    showSlider(offsetSlider, offset.same, sliderFraction(offsetSlider, offset.value));
    const bool none = colorShared && isNoShadowColor(well->coloringColor()) && blur.same
        && blur.value == 0 && offset.same && offset.value == 0;
    (second ? minusInnerShadow : minusShadow)->setVisible(!none);
}

// The narrower refreshes belong to the panels that own their controls.
void DocumentWindow::UpdateBoxFrameInfo(bool originOnly)
{
    qCDebug(lcWindow, "UpdateBoxFrameInfo");
    if (FramePanel* panel = inspectorPanel<FramePanel>())
        panel->UpdateBoxFrameInfo(originOnly);
}

void DocumentWindow::UpdateBoxRoundInfo()
{
    qCDebug(lcWindow, "UpdateBoxRoundInfo");
    if (FramePanel* panel = inspectorPanel<FramePanel>())
        panel->UpdateBoxRoundInfo();
}

void DocumentWindow::updateBoxAngle(float degrees)
{
    if (CommonPanel* panel = inspectorPanel<CommonPanel>())
        panel->updateBoxAngle(degrees);
}

void DocumentWindow::updateDirection(const MyViewBase& box)
{
    if (WarpPanel* panel = inspectorPanel<WarpPanel>())
        panel->updateDirection(box);
}
