// The Spacing panel's controller: spacing over the text, the layout of the text boxes, and the
// reset of both.
#include "window/SpacingPanel.h"

#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "container/TextViewContainer.h"
#include "container/UndoStep.h"
#include "platform/text/AttributedString.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/ui/Stepper.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/DocumentWindowOutlets.h"
#include "window/FieldNumbers.h"
#include "window/FillPanel.h"
#include "window/TextEdits.h"
#include "window/TextSummary.h"

#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>

using platform::AttributeDictionary;
using platform::AttributedString;
using platform::ParagraphStyle;
using platform::TextRange;
namespace names = platform::TextAttributeNames;

namespace {

const QString kAuto = QStringLiteral("(Auto)");

QString spacingText(double v, bool autoForZero)
{
    if (autoForZero && v == 0)
        return kAuto;
    return QString::number(v, 'g', 7) + fieldnumbers::kPoints;
}

// Sets line spacing in a copy of the run's paragraph style: a style may be shared by other
// runs, boxes and undo snapshots.
void setLineSpacing(AttributeDictionary& attrs, double v)
{
    platform::AttributeValue& value = attrs[names::paragraphStyle];
    ParagraphStyle style = value.paragraphStyle() ? *value.paragraphStyle() : ParagraphStyle();
    style.lineSpacing = v;
    value = style;
}

} // namespace

SpacingPanel::SpacingPanel(InspectorHost& host)
    : InspectorPanel(host)
{
    const DocumentWindowOutlets& c = controls();
    onAction(c.charspaceStepper, [this] { charspaceStepperChanged(); });
    onAction(c.linespaceStepper, [this] { linespaceStepperChanged(); });
    onEdited(c.charspaceTextField, [this] { charspaceTextFieldChanged(); });
    onEdited(c.linespaceTextField, [this] { linespaceTextFieldChanged(); });
    onAction(c.textboxLayoutStepper,
        [this] { textboxLayoutChanged(controls().textboxLayoutStepper->clickedSegment()); });
    onClicked(c.minusOtherProperties, [this] { minusOtherPropertiesClicked(); });
}

// ---- refresh

void SpacingPanel::refresh(const std::vector<MyViewBase*>& boxes)
{
    if (const std::optional<TextSummary> summary = TextSummary::ofSelectedBoxes(boxes)) {
        showSpacing(&*summary);
        showLayout(*summary);
    }
}

void SpacingPanel::showEditedText(MyTextBox& box, TextRange range)
{
    const std::optional<TextSummary> summary = TextSummary::ofEditedRange(box, range);
    showSpacing(summary ? &*summary : nullptr);
}

// Uniform spacing shows its value, mixed spacing an empty field; no summary (an empty edited
// text) shows none.
void SpacingPanel::showSpacing(const TextSummary* summary)
{
    const DocumentWindowOutlets& c = controls();
    const auto show = [](platform::Stepper* stepper, QLineEdit* field, const Shared<double>* v,
                          bool autoForZero) {
        if (v && !v->uniform()) {
            stepper->setIntValue(0);
            showText(field, QString());
            return;
        }
        const double value = v ? v->value() : 0.0;
        stepper->setDoubleValue(value);
        showText(field, spacingText(value, autoForZero));
    };
    show(c.charspaceStepper, c.charspaceTextField, summary ? &summary->kern : nullptr, false);
    show(c.linespaceStepper, c.linespaceTextField, summary ? &summary->lineSpacing : nullptr, true);
}

void SpacingPanel::showLayout(const TextSummary& summary)
{
    const DocumentWindowOutlets& c = controls();
    showLayoutSegments(summary);
    const bool plain = summary.circular.uniform() && summary.vertical.uniform()
        && !summary.circular.value() && !summary.vertical.value() && summary.lineSpacing.uniform()
        && summary.lineSpacing.value() == 0 && summary.kern.uniform() && summary.kern.value() == 0;
    c.minusOtherProperties->setVisible(!plain);
}

// Each segment shows its layout when the boxes agree on it, and is off otherwise.
void SpacingPanel::showLayoutSegments(const TextSummary& summary)
{
    CustomSegmentedCtrl* layout = controls().textboxLayoutStepper;
    for (int s = 0; s < 2; ++s)
        layout->setSelected(false, s);
    if (summary.circular.uniform())
        layout->setSelected(summary.circular.value(), 0);
    if (summary.vertical.uniform())
        layout->setSelected(summary.vertical.value(), 1);
}

void SpacingPanel::refreshShown()
{
    if (MyTextBox* box = host().editedTextBox()) {
        showEditedText(*box, box->editor().selectedRange());
        return;
    }
    showBoxesLayout();
    if (const TextViewContainer* layer = boxLayer())
        refresh(layer->textViewAry);
}

// The layout segments from the selected text boxes, whether or not they hold text or are
// being edited.
void SpacingPanel::showBoxesLayout()
{
    const TextViewContainer* layer = boxLayer();
    if (!layer)
        return;
    TextSummary layout;
    for (MyTextView* view : textedits::selectedTextViews(layer->textViewAry)) {
        layout.circular.take(view->isCircular());
        layout.vertical.take(view->isVertical());
    }
    showLayoutSegments(layout);
}

// ---- spacing

std::optional<double> SpacingPanel::parseSpacing(const QString& text, double lo)
{
    if (text.trimmed() == kAuto)
        return 0.0;
    const std::optional<double> v = fieldnumbers::leadingDouble(text, fieldnumbers::kPoints);
    if (!v)
        return std::nullopt;
    return std::clamp(*v, lo, double(kMaxSpacing));
}

void SpacingPanel::charspaceStepperChanged()
{
    host().beforeAction();
    const DocumentWindowOutlets& c = controls();
    c.charspaceTextField->setText(spacingText(c.charspaceStepper->intValue(), false));
    charspaceTextFieldChanged();
}

void SpacingPanel::linespaceStepperChanged()
{
    host().beforeAction();
    const DocumentWindowOutlets& c = controls();
    c.linespaceTextField->setText(spacingText(c.linespaceStepper->intValue(), true));
    linespaceTextFieldChanged();
}

void SpacingPanel::charspaceTextFieldChanged()
{
    spacingChanged(Spacing::Kern);
}

void SpacingPanel::linespaceTextFieldChanged()
{
    spacingChanged(Spacing::Line);
}

void SpacingPanel::spacingChanged(Spacing which)
{
    host().beforeAction();
    const DocumentWindowOutlets& c = controls();
    const bool kern = which == Spacing::Kern;
    QLineEdit* field = kern ? c.charspaceTextField : c.linespaceTextField;
    platform::Stepper* stepper = kern ? c.charspaceStepper : c.linespaceStepper;
    const std::optional<double> typed = parseSpacing(field->text(), kern ? -kMaxSpacing : 0.0);
    if (!typed) {
        // Refused: the field shows the spacing the text has again.
        refreshShown();
        return;
    }
    // Kern is kept in single precision, as the text stores it.
    const double v = kern ? double(float(*typed)) : *typed;
    stepper->setDoubleValue(v);
    showText(field, spacingText(v, !kern));
    if (v != 0)
        c.minusOtherProperties->show();
    const std::optional<TextRange> range = textedits::editedRangeInText(host());
    if (!host().editedTextBox() || range) {
        textedits::rewriteSelectedText(
            host(), range,
            [&](AttributeDictionary& attrs) {
                if (kern)
                    attrs[names::kern] = v;
                else
                    setLineSpacing(attrs, v);
            },
            false);
    }
}

// ---- layout

void SpacingPanel::textboxLayoutChanged(int segment)
{
    host().beforeAction();
    CustomSegmentedCtrl* control = controls().textboxLayoutStepper;
    const bool on = segment >= 0 && segment < 2 && control->isSelectedForSegment(segment);
    if (on)
        control->setSelected(false, 1 - segment);
    const bool circular = control->isSelectedForSegment(0);
    const bool vertical = control->isSelectedForSegment(1);
    TextViewContainer* layer = boxLayer();
    const std::vector<MyTextView*> views
        = layer ? textedits::selectedTextViews(layer->textViewAry) : std::vector<MyTextView*>();
    if (views.empty()
        || std::any_of(views.begin(), views.end(), [](MyTextView* v) { return v->isEditing(); })) {
        // Nothing changed: the segments show the boxes' layout again.
        showBoxesLayout();
        return;
    }
    UndoStep step(*layer);
    bool changed = false;
    for (MyTextView* view : views) {
        if (view->isCircular() == circular && view->isVertical() == vertical)
            continue;
        FillPanel::detachColorPanel();
        view->setIsCircular(circular);
        view->setIsVertical(vertical);
        // Laid out again in the new container shape; no text change, so no typing step.
        if (MyTextBox* box = view->txtBox())
            box->editor().editText([](AttributedString&) {});
        view->RecalcFrame();
        view->setNeedsDisplay();
        changed = true;
    }
    if (changed)
        step.commit();
    if (on)
        controls().minusOtherProperties->show();
}

void SpacingPanel::minusOtherPropertiesClicked()
{
    host().beforeAction();
    const DocumentWindowOutlets& c = controls();
    TextViewContainer* layer = boxLayer();
    // The three resets are one undo step.
    if (layer)
        layer->beginChangeRun(this);
    c.linespaceStepper->setIntValue(0);
    linespaceStepperChanged();
    c.charspaceStepper->setIntValue(0);
    charspaceStepperChanged();
    for (int s = 0; s < 2; ++s)
        c.textboxLayoutStepper->setSelected(false, s);
    textboxLayoutChanged(-1);
    if (layer)
        layer->endChangeRun();
    c.minusOtherProperties->hide();
}
