// The fill wells' controller: the text fill and the plain text colour written into the text,
// the background and overlay fills sent to the box layer, their remove buttons.
#include "window/FillPanel.h"

#include "boxes/MyTextBox.h"
#include "boxes/MyViewBase.h"
#include "container/TextViewContainer.h"
#include "foundation/SZGradient.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/Stepper.h"
#include "window/ColoredButton.h"
#include "window/DocumentWindowOutlets.h"
#include "window/GradientCtrl.h"
#include "window/SelectionGather.h"
#include "window/SharedValue.h"
#include "window/TextEdits.h"
#include "window/TextSummary.h"
#include "window/WindowLogging.h"

#include <QPushButton>

using platform::AttributeDictionary;
using platform::TextRange;
namespace names = platform::TextAttributeNames;

const QString FillPanel::kTextColorIdentifier = QStringLiteral("textColorIdentifier_XYZ");
const QString FillPanel::kEmptyColorIdentifier = QStringLiteral("emptyColorIdentifier_XYZ");
const QString FillPanel::kTextColourButton = QStringLiteral("textColourButton");

namespace {

SZGradient noFill()
{
    SZGradient fill;
    fill.gradientType = SZGradient::NoFill;
    return fill;
}

// The range of the edited text a fill or colour goes to: its live selection, nothing for a
// caret.
std::optional<TextRange> selectedCharacters(MyTextBox& box)
{
    const TextRange r = box.editor().selectedRange().clamped(box.text().length());
    if (r.isEmpty())
        return std::nullopt;
    return r;
}

} // namespace

FillPanel::FillPanel(InspectorHost& host)
    : InspectorPanel(host)
{
    const DocumentWindowOutlets& c = controls();
    for (GradientCtrl* well : { c.btFontColor, c.btTextboxBackgroundColor, c.btOverlayColor }) {
        well->setDelegate([this](GradientCtrl& sender) { gradientCtrlChanged(sender); });
        // A press-drag-release on a well (a stop dragged along the bar) is one change run:
        // one undo step however many edits the drag makes.
        well->installEventFilter(this);
    }
    if (ColoredButton* swatch = textColourButton())
        onAction(swatch, [this, swatch] { fontColorClicked(*swatch); });
    onClicked(c.minusTextBoxBackgroundColor, [this] { removetextboxBackgroundColor(); });
    onClicked(c.minusOverlayColor, [this] { removeOverlayColor(); });
}

// ---- refresh

void FillPanel::refresh(const std::vector<MyViewBase*>& boxes)
{
    const DocumentWindowOutlets& c = controls();
    // A well's own angle knob and stepper are made once the window is ready; a drag of the
    // knob is one change run too.
    for (GradientCtrl* well : { c.btFontColor, c.btTextboxBackgroundColor, c.btOverlayColor }) {
        if (QWidget* knob = well->angleCtrl())
            knob->installEventFilter(this);
        if (QWidget* stepper = well->angleStepper())
            stepper->installEventFilter(this);
    }
    struct Values {
        Shared<SZGradient> back, overlay;
        void merge(const Values& later)
        {
            back.merge(later.back);
            overlay.merge(later.overlay);
        }
    };
    const auto [back, overlay]
        = selectiongather::gatherSelected<Values>(boxes, [](Values& v, const MyViewBase& box) {
              v.back.take(box.backColor());
              v.overlay.take(box.overlayColor());
          });
    // A mixed background shows as no fill, a mixed overlay as the default fill.
    const auto show = [](GradientCtrl* well, QPushButton* minus, const Shared<SZGradient>& fill,
                          bool mixedShowsNoFill) {
        SZGradient shown = fill.same ? fill.value() : SZGradient();
        if (!fill.same && mixedShowsNoFill)
            shown.gradientType = SZGradient::NoFill;
        well->setGradient(shown);
        minus->setVisible(!(fill.same && shown.gradientType == SZGradient::NoFill));
    };
    show(c.btTextboxBackgroundColor, c.minusTextBoxBackgroundColor, back, true);
    show(c.btOverlayColor, c.minusOverlayColor, overlay, false);
    if (const std::optional<TextSummary> summary = TextSummary::ofSelectedBoxes(boxes))
        showTextFill(summary->fill);
}

void FillPanel::showEditedText(MyTextBox& box, TextRange range)
{
    if (const std::optional<TextSummary> summary = TextSummary::ofEditedRange(box, range))
        showTextFill(summary->fill);
    controls().btFontColor->update();
}

// The well shows the text's fill, the swatch its plain colour (black for other fills).
void FillPanel::showTextFill(const SZGradient& fill)
{
    controls().btFontColor->setGradient(fill);
    if (ColoredButton* swatch = textColourButton()) {
        const bool plain = fill.gradientType == SZGradient::ColorFill && fill.color;
        swatch->setColoringColor(plain ? *fill.color : platform::Color::black());
    }
}

ColoredButton* FillPanel::textColourButton() const
{
    return controls().panelFont->findChild<ColoredButton*>(kTextColourButton);
}

// ---- wells

void FillPanel::gradientCtrlChanged(GradientCtrl& sender)
{
    host().beforeAction();
    qCDebug(lcWindow, "gradient ctrl changed");
    const DocumentWindowOutlets& c = controls();
    const SZGradient fill = sender.gradient();
    TextViewContainer* layer = boxLayer();
    if (&sender == c.btFontColor) {
        writeTextFill(fill);
    } else if (layer && &sender == c.btTextboxBackgroundColor) {
        layer->backgroundColorChanged(fill);
        if (fill.gradientType != SZGradient::NoFill)
            c.minusTextBoxBackgroundColor->show();
    } else if (layer && &sender == c.btOverlayColor) {
        layer->overlayColorChanged(fill);
        if (fill.gradientType != SZGradient::NoFill)
            c.minusOverlayColor->show();
    }
    host().returnKeyboardToText();
}

// The text fill: drawType 1 over the selected characters of the text being edited, 0 over
// the whole text of a box.
void FillPanel::writeTextFill(const SZGradient& fill)
{
    std::optional<TextRange> range;
    if (MyTextBox* box = host().editedTextBox()) {
        range = selectedCharacters(*box);
        if (!range)
            return;
    }
    SZGradient written = fill;
    written.drawType = range ? 1 : 0;
    const platform::AttributeValue value = SZGradient::attributeValue(written);
    textedits::rewriteSelectedText(
        host(), range, [&](AttributeDictionary& attrs) { attrs[names::gradient] = value; }, false);
}

void FillPanel::removetextboxBackgroundColor()
{
    const DocumentWindowOutlets& c = controls();
    removeFill(c.btTextboxBackgroundColor, c.minusTextBoxBackgroundColor,
        &TextViewContainer::backgroundColorChanged);
}

void FillPanel::removeOverlayColor()
{
    const DocumentWindowOutlets& c = controls();
    removeFill(c.btOverlayColor, c.minusOverlayColor, &TextViewContainer::overlayColorChanged);
}

// A remove button: no fill to the boxes (one container message, so one undo step) and to the
// well; the colour panel stops editing anything.
void FillPanel::removeFill(
    GradientCtrl* well, QPushButton* minus, void (TextViewContainer::*message)(const SZGradient&))
{
    host().beforeAction();
    platform::ColorPanel::shared().setAction(nullptr);
    if (TextViewContainer* layer = boxLayer())
        (layer->*message)(noFill());
    well->setGradient(noFill());
    minus->hide();
}

// ---- the plain text colour

void FillPanel::fontColorClicked(ColoredButton& sender)
{
    host().beforeAction();
    platform::ColorPanel& panel = platform::ColorPanel::shared();
    panel.setShowsAlpha(true);
    detachColorPanel();
    panel.setColor(sender.coloringColor());
    panel.orderFront();
    panel.setContinuous(false);
    // While a text is edited the pick goes to its selected characters (the text view has no
    // colour command of its own here).
    attachColorPanel();
}

void FillPanel::attachColorPanel()
{
    platform::ColorPanel& panel = platform::ColorPanel::shared();
    panel.setIdentifier(kTextColorIdentifier);
    panel.setAction(
        [this](platform::ColorPanel& sender) { fontColorChangedwhileselecting(sender); }, this);
}

void FillPanel::fontColorChangedwhileselecting(platform::ColorPanel& sender)
{
    qCDebug(lcWindow, "fontcolorchangedwhileselecting");
    if (sender.identifier() != kTextColorIdentifier)
        return;
    std::optional<TextRange> range;
    if (MyTextBox* box = host().editedTextBox()) {
        range = selectedCharacters(*box);
        if (!range)
            return;
    }
    // Glyphs are drawn from the fill: the colour goes in as a colour fill, and as the
    // foreground colour for the record.
    SZGradient fill;
    fill.gradientType = SZGradient::ColorFill;
    fill.color = sender.color();
    fill.drawType = range ? 1 : 0;
    const platform::AttributeValue value = SZGradient::attributeValue(fill);
    const platform::Color colour = sender.color();
    textedits::rewriteSelectedText(
        host(), range,
        [&](AttributeDictionary& attrs) {
            attrs[names::gradient] = value;
            attrs[names::foregroundColor] = colour;
        },
        false);
    attachColorPanel();
    if (MyTextBox* box = host().editedTextBox())
        showEditedText(*box, box->editor().selectedRange());
    else if (const TextViewContainer* layer = boxLayer())
        refresh(layer->textViewAry);
    host().returnKeyboardToText();
}

void FillPanel::emptyColorChanged(platform::ColorPanel&)
{
}

void FillPanel::detachColorPanel()
{
    platform::ColorPanel& panel = platform::ColorPanel::shared();
    panel.setIdentifier(kEmptyColorIdentifier);
    panel.setAction(&FillPanel::emptyColorChanged);
}
