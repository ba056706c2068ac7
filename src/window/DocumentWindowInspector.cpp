// The inspector refresh: every panel filled from the selected boxes, each control showing the
// boxes' common value or a neutral mixed state, and the narrower refreshes of the frame, the
// corners, the angle slider and the directions. Nothing here sends a control's action.
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyViewBase.h"
#include "canvas/CanvasControls.h"
#include "container/TextViewContainer.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Stepper.h"
#include "window/AngleCtrl.h"
#include "window/ColoredButton.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/DocumentWindow.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SharedValue.h"
#include "window/WindowLogging.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <optional>

using platform::Color;
using platform::Rect;
using platform::Stepper;

namespace {

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

// The frame values as the fields show them: rounded half up, and kept within what a field and
// a stepper can hold.
int roundedPixels(double v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::clamp(v + 0.5, -1e9, 1e9));
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

// Fields (tags 0 to 3) and steppers (100 to 103) of a panel, by tag.
void showByTag(QWidget* panel, int tag, int value)
{
    for (QObject* child : panel->children()) {
        const QVariant t = child->property("tag");
        if (!t.isValid())
            continue;
        if (auto* stepper = dynamic_cast<Stepper*>(child); stepper && t.toInt() == 100 + tag)
            stepper->setIntValue(value);
    }
    for (QObject* child : panel->children()) {
        const QVariant t = child->property("tag");
        auto* field = qobject_cast<QLineEdit*>(child);
        if (field && t.isValid() && t.toInt() == tag)
            field->setText(QStringLiteral("%1 px").arg(value));
    }
}

bool hasCorners(const MyShapeView* s)
{
    const int type = s->shapeType();
    return type == 4 || type == 11 || type == 12;
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
    Shared<SZGradient> border, stroke;
    Shared<int> borderSize, strokeSize, perspSize, perspAngle, curveSize, curveAngle;
    Shared<int> startHead, endHead;
    Shared<double> opacity, rotation, saturation;
    ShadowFamily drop, second;
    const bool inner = segmentInnerShadow->selectedSegment() == 0;
    std::optional<Rect> frame;
    std::array<int, 4> radii {};
    bool first = true;
    for (MyViewBase* box : boxes) {
        if (!box->selected())
            continue;
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
        opacity.take(double(box->layerOpacity()));
        rotation.take(box->rotationAngle());
        perspSize.take(box->getPerspectiveSize());
        perspAngle.take(box->getPerspectiveAngle());
        curveSize.take(box->getCurveSize());
        curveAngle.take(box->getCurveAngle());
        if (const auto* image = dynamic_cast<const MyImageView*>(box))
            saturation.take(image->saturation());
        // Line heads compare shapes only, against 0 unless the first box is a shape.
        const auto* shape = dynamic_cast<const MyShapeView*>(box);
        if (first) {
            startHead.take(shape ? shape->startType() : 0);
            endHead.take(shape ? shape->endType() : 0);
        } else if (shape) {
            startHead.take(shape->startType());
            endHead.take(shape->endType());
        }
        if (shape && hasCorners(shape))
            radii = shape->getRoundRectRadius();
        frame = box->frame();
        first = false;
    }

    // Fills.
    const auto showFill = [](GradientCtrl* well, const Shared<SZGradient>& fill, bool noFill) {
        SZGradient shown = fill.same ? fill.value() : SZGradient();
        if (!fill.same && noFill)
            shown.gradientType = 0;
        well->setGradient(shown);
    };
    showFill(btBorderColor, border, false);
    showFill(btStrokeColor, stroke, false);
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

    // Directions.
    if (perspSize.same) {
        perspectiveStepper->setIntValue(perspSize.value());
        perspectiveTextField->setText(QStringLiteral("%1%").arg(perspectiveStepper->stringValue()));
    } else {
        perspectiveStepper->setIntValue(0);
        perspectiveTextField->clear();
    }
    showSlider(perspectiveSlider, perspSize.same,
        sliderFraction(perspectiveSlider, perspSize.value() + 100.0) * 0.5);
    if (curveSize.same) {
        curveStepper->setIntValue(curveSize.value());
        curveTextField->setText(QStringLiteral("%1%").arg(curveStepper->stringValue()));
    } else {
        curveStepper->setIntValue(0);
        curveTextField->clear();
    }
    showSlider(curveSlider, curveSize.same, sliderFraction(curveSlider, curveSize.value()));
    const bool straight = curveSize.same && perspSize.same && perspAngle.same && curveAngle.same
        && perspSize.value() == 0 && perspAngle.value() == 0 && curveSize.value() == 0
        && curveAngle.value() == 0;
    minusDirections->setVisible(!straight);
    showDirectionSegments(perspAngle.same, perspAngle.value(), curveAngle.same, curveAngle.value());

    // Common sliders.
    showSlider(textboxOpacitySlider, opacity.same, opacity.value());
    showSlider(textboxAngleSlider, rotation.same, rotation.value() / 360.0);
    // With no picture box the saturation slider shows its empty state.
    showSlider(imageboxsaturationSlider, saturation.same,
        saturation.ref ? sliderFraction(imageboxsaturationSlider, saturation.value()) : 0.0);

    popupStartPoint->setCurrentIndex(startHead.same ? startHead.value() : -1);
    popupEndPoint->setCurrentIndex(endHead.same ? endHead.value() : -1);

    if (frame)
        showFrame(*frame, false);
    showCorners(radii);
    for (QPushButton* lock : { btnFrameLock, btnRoundRectLock })
        lock->setChecked(true);

    for (QWidget* w : std::initializer_list<QWidget*> { textboxAngleSlider, textboxOpacitySlider,
             shadowOffsetSlider, shadowBlurSlider, shadowAngleCtrl, btShadowColor,
             innerShadowOffsetSlider, innerShadowBlurSlider, innerShadowAngleCtrl,
             perspectiveSlider, curveSlider, btInnerShadowColor, btBorderColor, btStrokeColor,
             btOverlayColor, imageboxsaturationSlider, btTextboxBackgroundColor })
        w->update();
    ShowSideBar();
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

void DocumentWindow::showDirectionSegments(
    bool perspShared, int perspAngle, bool curveShared, int curveAngle)
{
    for (int s = 0; s < 2; ++s) {
        perspectiveSegment->setSelected(false, s);
        curveSegment->setSelected(false, s);
    }
    if (perspShared && (perspAngle == 0 || perspAngle == 180))
        perspectiveSegment->setSelected(true, 0);
    else if (perspShared && (perspAngle == 90 || perspAngle == 270))
        perspectiveSegment->setSelected(true, 1);
    if (curveShared && curveAngle == 0)
        curveSegment->setSelected(true, 0);
    else if (curveShared && curveAngle == 180)
        curveSegment->setSelected(true, 1);
}

void DocumentWindow::showFrame(const Rect& frame, bool originOnly)
{
    if (!originOnly) {
        showByTag(panelFrame, 0, roundedPixels(frame.width()));
        showByTag(panelFrame, 1, roundedPixels(frame.height()));
    }
    showByTag(panelFrame, 2, roundedPixels(frame.x()));
    showByTag(panelFrame, 3, roundedPixels(frame.y()));
}

void DocumentWindow::showCorners(const std::array<int, 4>& r)
{
    // Fields 0 to 3 show r3, r2, r and r1.
    showByTag(panelRoundRect, 0, r[3]);
    showByTag(panelRoundRect, 1, r[2]);
    showByTag(panelRoundRect, 2, r[0]);
    showByTag(panelRoundRect, 3, r[1]);
}

void DocumentWindow::UpdateBoxFrameInfo(bool originOnly)
{
    qCDebug(lcWindow, "UpdateBoxFrameInfo");
    Rect frame;
    if (const TextViewContainer* c = m_canvasControls->textViewContainer()) {
        const auto it = std::find_if(c->textViewAry.begin(), c->textViewAry.end(),
            [](MyViewBase* b) { return b->selected(); });
        if (it != c->textViewAry.end())
            frame = (*it)->frame();
    }
    showFrame(frame, originOnly);
}

void DocumentWindow::UpdateBoxRoundInfo()
{
    qCDebug(lcWindow, "UpdateBoxRoundInfo");
    std::array<int, 4> radii {};
    if (const TextViewContainer* c = m_canvasControls->textViewContainer()) {
        for (MyViewBase* box : c->textViewAry) {
            const auto* shape = dynamic_cast<const MyShapeView*>(box);
            if (shape && shape->selected() && hasCorners(shape)) {
                radii = shape->getRoundRectRadius();
                break;
            }
        }
    }
    showCorners(radii);
}

void DocumentWindow::updateBoxAngle(float degrees)
{
    textboxAngleSlider->setShowSlider(true);
    textboxAngleSlider->setForceValue(double(degrees) / 360.0);
    textboxAngleSlider->update();
}

void DocumentWindow::updateDirection(const MyViewBase& box)
{
    Shared<int> persp, curve;
    persp.take(box.getPerspectiveSize());
    curve.take(box.getCurveSize());
    perspectiveStepper->setIntValue(persp.value());
    perspectiveTextField->setText(QStringLiteral("%1%").arg(perspectiveStepper->stringValue()));
    showSlider(
        perspectiveSlider, true, sliderFraction(perspectiveSlider, persp.value() + 100.0) * 0.5);
    curveStepper->setIntValue(curve.value());
    curveTextField->setText(QStringLiteral("%1%").arg(curveStepper->stringValue()));
    showSlider(curveSlider, true, sliderFraction(curveSlider, curve.value()));
    showDirectionSegments(true, box.getPerspectiveAngle(), true, box.getCurveAngle());
    minusDirections->show();
}
