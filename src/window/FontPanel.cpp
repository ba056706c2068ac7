// The Font panel's controller: its wiring, the box and edit syncs, and its actions on the
// edited range or on the whole text of the selected text boxes.
#include "window/FontPanel.h"

#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "container/TextViewContainer.h"
#include "platform/text/AttributedString.h"
#include "platform/text/FontManager.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/ui/Stepper.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/DocumentWindowOutlets.h"
#include "window/FieldNumbers.h"
#include "window/TextEdits.h"
#include "window/TextSummary.h"
#include "window/WindowLogging.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <cmath>

using platform::AttributeDictionary;
using platform::AttributedString;
using platform::AttributeValue;
using platform::Font;
using platform::FontManager;
using platform::ParagraphStyle;
using platform::TextAlignment;
using platform::TextRange;
namespace names = platform::TextAttributeNames;

namespace {

// Whole numbers as themselves, others to a tenth: "12", "12.5".
QString sizeText(double size)
{
    return QString::number(tenthOfPoint(size), 'g', 7) + fieldnumbers::kPoints;
}

// The font of a run, changed by f; a run whose font cannot be changed keeps it.
std::function<void(AttributeDictionary&)> changeFont(
    std::function<std::optional<Font>(const Font&)> f)
{
    return [f = std::move(f)](AttributeDictionary& attrs) {
        const Font* font = attrs[names::font].font();
        if (!font || font->isNull())
            return;
        if (std::optional<Font> changed = f(*font); changed && !changed->isNull())
            attrs[names::font] = *changed;
    };
}

// Sets the alignment in a run's paragraph style (a copy: styles may be shared); answers
// whether it changed.
bool align(AttributeDictionary& attrs, TextAlignment alignment)
{
    AttributeValue& value = attrs[names::paragraphStyle];
    ParagraphStyle style = value.paragraphStyle() ? *value.paragraphStyle() : ParagraphStyle();
    if (value.paragraphStyle() && style.alignment == alignment)
        return false;
    style.alignment = alignment;
    value = style;
    return true;
}

// What is typed next takes the alignment too: an empty text has no run to hold it.
void alignTyping(MyTextBox& box, TextAlignment alignment)
{
    AttributeDictionary typing = box.editor().typingAttributes();
    if (typing.empty())
        typing = MyTextBox::defaultAttributes();
    if (align(typing, alignment))
        box.editor().setTypingAttributes(typing);
}

} // namespace

FontPanel::FontPanel(InspectorHost& host)
    : InspectorPanel(host)
{
    wire();
}

void FontPanel::wire()
{
    const DocumentWindowOutlets& c = controls();
    onChosen(c.popupFonts, [this](int) { fontNameSelected(); });
    onAction(c.fontStyleSegmentedCtrl, [this] {
        segmentedCtrlFontAttributesChanged(controls().fontStyleSegmentedCtrl->clickedSegment());
    });
    onAction(c.fontAlignmentSegmentedCtrl, [this] {
        segmentedCtrlAlignmentChanged(controls().fontAlignmentSegmentedCtrl->selectedSegment());
    });
    onAction(c.fontSizeStepper, [this] { fontSizeStepperDidChange(); });
    onEdited(c.fontSizeTextField, [this] { fontSizeValueDidChange(); });
}

void FontPanel::fillFontPopup()
{
    QComboBox* popup = controls().popupFonts;
    popup->clear();
    m_fontAry.clear();
    auto& fonts = FontManager::shared();
    for (const QString& family : fonts.availableFontFamilies()) {
        for (const platform::FontFace& face : fonts.availableMembersOfFontFamily(family)) {
            m_fontAry.push_back({ family, face.postScriptName, face.weight, face.traits() });
            popup->addItem(face.postScriptName);
        }
    }
    // With nothing selected the box names the face new text is drawn in.
    const AttributeDictionary typing = MyTextBox::defaultAttributes();
    const auto font = typing.find(names::font);
    if (font != typing.end() && font->second.font())
        popup->setCurrentIndex(std::max(0, popup->findText(font->second.font()->fontName())));
}

// ---- syncs

void FontPanel::refresh(const std::vector<MyViewBase*>& boxes)
{
    updateFontsFromSelectedTextBox(boxes);
}

void FontPanel::updateFontsFromSelectedTextBox(const std::vector<MyViewBase*>& boxes)
{
    qCDebug(lcWindow, "update Fonts From selected text box");
    if (const std::optional<TextSummary> summary = TextSummary::ofSelectedBoxes(boxes))
        showSummary(*summary);
}

void FontPanel::showEditedText(MyTextBox& box, TextRange range)
{
    if (const std::optional<TextSummary> summary = TextSummary::ofEditedRange(box, range))
        showSummary(*summary);
    else
        showDefaults();
}

// After an action: the edited range, or the selected boxes, as they now are.
void FontPanel::refreshShown()
{
    if (MyTextBox* box = host().editedTextBox())
        showEditedText(*box, box->editor().selectedRange());
    else if (const TextViewContainer* layer = boxLayer())
        updateFontsFromSelectedTextBox(layer->textViewAry);
}

void FontPanel::showSummary(const TextSummary& summary)
{
    const DocumentWindowOutlets& c = controls();
    static const int kSegmentOf[] = { 0, 2, 1, 3, 3 }; // Left, Right, Center, Justified, Natural
    const int a = summary.alignment ? int(*summary.alignment) : 0;
    c.fontAlignmentSegmentedCtrl->setSelectedSegment(a >= 0 && a <= 4 ? kSegmentOf[a] : 0);

    // The face is matched in its full style: a condensed sibling is another entry.
    int match = -1;
    if (summary.face.uniform()) {
        for (std::size_t i = 0; i < m_fontAry.size(); ++i)
            if (m_fontAry[i].fontName == summary.face.value())
                match = int(i);
    }
    c.popupFonts->setCurrentIndex(match);

    CustomSegmentedCtrl* style = c.fontStyleSegmentedCtrl;
    for (int s = 0; s < 4; ++s)
        style->setSelected(false, s);
    if (summary.bold.uniform())
        style->setSelected(summary.bold.value(), 0);
    if (summary.italic.uniform())
        style->setSelected(summary.italic.value(), 1);
    if (summary.underline.uniform())
        style->setSelected(summary.underline.value() == 1, 2);
    if (summary.strikethrough.uniform())
        style->setSelected(summary.strikethrough.value() == 1, 3);

    if (summary.size.uniform()) {
        c.fontSizeStepper->setDoubleValue(summary.size.value());
        m_shownFontSize = sizeText(summary.size.value());
    } else {
        m_shownFontSize.clear();
    }
    showText(c.fontSizeTextField, m_shownFontSize);
}

void FontPanel::showDefaults()
{
    const DocumentWindowOutlets& c = controls();
    const AttributeDictionary typing = MyTextBox::defaultAttributes();
    const auto it = typing.find(names::font);
    const Font* font = it != typing.end() ? it->second.font() : nullptr;
    if (font)
        c.popupFonts->setCurrentIndex(c.popupFonts->findText(font->fontName()));
    for (int s = 0; s < 4; ++s)
        c.fontStyleSegmentedCtrl->setSelected(false, s);
    c.fontAlignmentSegmentedCtrl->setSelectedSegment(0);
    const double size = font ? tenthOfPoint(font->pointSize()) : 0.0;
    c.fontSizeStepper->setDoubleValue(size);
    m_shownFontSize = sizeText(size);
    showText(c.fontSizeTextField, m_shownFontSize);
}

// ---- actions

void FontPanel::fontNameSelected()
{
    host().beforeAction();
    const DocumentWindowOutlets& c = controls();
    const int index = c.popupFonts->currentIndex();
    if (index < 0 || index >= int(m_fontAry.size()))
        return;
    const FontRecord entry = m_fontAry[std::size_t(index)];
    std::optional<TextRange> range;
    if (MyTextBox* box = host().editedTextBox()) {
        // A caret names the character after it, or the last one at the end of the text.
        range = TextSummary::shownRange(host().editedRange(), box->text().length());
        if (!range)
            return;
    }
    c.fontStyleSegmentedCtrl->setSelected((entry.traits & platform::BoldFontMask) != 0, 0);
    c.fontStyleSegmentedCtrl->setSelected((entry.traits & platform::ItalicFontMask) != 0, 1);
    // The entry names one face: that face, at each run's size. The closest face of the
    // family stands in only when the face has gone since the list was made.
    const std::optional<platform::FontFace> face
        = FontManager::shared().faceWithPostScriptName(entry.fontName);
    textedits::rewriteSelectedText(host(), range, changeFont([&](const Font& f) {
        if (face && face->family == entry.family)
            return std::optional<Font>(Font(*face, f.pointSize()));
        return FontManager::shared().fontWithFamily(
            entry.family, entry.traits, entry.weight, f.pointSize());
    }));
    refreshShown();
}

void FontPanel::segmentedCtrlFontAttributesChanged(int segment)
{
    host().beforeAction();
    if (segment < 0 || segment > 3)
        return;
    const bool on = controls().fontStyleSegmentedCtrl->isSelectedForSegment(segment);
    std::function<void(AttributeDictionary&)> change;
    if (segment < 2) {
        const unsigned trait = segment == 0 ? platform::BoldFontMask : platform::ItalicFontMask;
        change = changeFont([on, trait](const Font& f) -> std::optional<Font> {
            auto& fonts = FontManager::shared();
            return on ? fonts.convertFontToHaveTrait(f, trait)
                      : fonts.convertFontToNotHaveTrait(f, trait);
        });
    } else {
        const QString& key = segment == 2 ? names::underlineStyle : names::strikethroughStyle;
        change
            = [&key, on](AttributeDictionary& attrs) { attrs[key] = AttributeValue(on ? 1 : 0); };
    }
    const std::optional<TextRange> range = textedits::editedRangeInText(host());
    if (!host().editedTextBox() || range)
        textedits::rewriteSelectedText(host(), range, change);
    // A refused change shows the segments as the text has them again.
    refreshShown();
}

void FontPanel::segmentedCtrlAlignmentChanged(int segment)
{
    host().beforeAction();
    static const TextAlignment kAlignments[] = { TextAlignment::Left, TextAlignment::Center,
        TextAlignment::Right, TextAlignment::Justified };
    if (segment < 0 || segment > 3)
        return;
    const TextAlignment alignment = kAlignments[segment];
    std::optional<TextRange> range;
    if (MyTextBox* box = host().editedTextBox()) {
        // Alignment belongs to whole paragraphs: widen the selection to the paragraphs it
        // touches.
        const QString& s = box->text().string();
        const TextRange r = host().editedRange();
        int start = r.location;
        while (start > 0 && s[start - 1] != QLatin1Char('\n'))
            --start;
        int end = r.end();
        while (end < s.size() && s[end] != QLatin1Char('\n'))
            ++end;
        range = TextRange(start, std::min<int>(int(s.size()), end + 1) - start);
        alignTyping(*box, alignment);
    } else if (const TextViewContainer* layer = boxLayer()) {
        for (MyTextView* view : textedits::selectedTextViews(layer->textViewAry))
            if (MyTextBox* box = view->txtBox(); box && box->text().isEmpty())
                alignTyping(*box, alignment);
    }
    textedits::change(host(), range, [&](MyTextBox& box, TextRange r) {
        bool any = false;
        box.editor().editText([&](AttributedString& text) {
            text.changeRuns(
                r, [&](AttributeDictionary& attrs) { any = align(attrs, alignment) || any; });
        });
        return any;
    });
    refreshShown();
}

void FontPanel::fontSizeStepperDidChange()
{
    const DocumentWindowOutlets& c = controls();
    c.fontSizeTextField->setText(c.fontSizeStepper->stringValue() + fieldnumbers::kPoints);
    fontSizeValueDidChange();
}

std::optional<double> FontPanel::parseFontSize(QString text)
{
    text.remove(fieldnumbers::kPoints);
    text = text.trimmed();
    // A decimal comma is read as the point it stands for.
    if (text.count(QLatin1Char(',')) == 1 && !text.contains(QLatin1Char('.')))
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double size = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(size))
        return std::nullopt;
    const double tenth = tenthOfPoint(size);
    if (!(tenth > 0) || tenth > kMaxFontSize)
        return std::nullopt;
    return tenth;
}

void FontPanel::fontSizeValueDidChange()
{
    host().beforeAction();
    const DocumentWindowOutlets& c = controls();
    const std::optional<double> size = parseFontSize(c.fontSizeTextField->text());
    const std::optional<TextRange> range = textedits::editedRangeInText(host());
    if (size && (!host().editedTextBox() || range)) {
        textedits::rewriteSelectedText(
            host(), range, changeFont([s = *size](const Font& f) -> std::optional<Font> {
                return FontManager::shared().convertFontToSize(f, s);
            }));
    }
    // A refused size gives the field back the size the text has.
    showText(c.fontSizeTextField, m_shownFontSize);
    refreshShown();
}
