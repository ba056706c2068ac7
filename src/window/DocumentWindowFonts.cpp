// The Font panel: the summary of the selected text's runs shown in its controls, and its
// actions on the edited range or on the whole text of the selected text boxes.
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "canvas/CanvasControls.h"
#include "container/TextViewContainer.h"
#include "foundation/SZGradient.h"
#include "platform/text/AttributedString.h"
#include "platform/text/FontManager.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/ui/Stepper.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/DocumentWindow.h"
#include "window/GradientCtrl.h"
#include "window/WindowLogging.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <cmath>
#include <optional>

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

constexpr unsigned kItalicTrait = 1;
constexpr unsigned kBoldTrait = 2;

// Sizes are kept to a tenth of a point, and two sizes within a hundredth are the same size.
double tenthOfPoint(double size)
{
    return std::round(size * 10.0) / 10.0;
}

// Whole numbers as themselves, others to a tenth: "12", "12.5".
QString sizeText(double size)
{
    return QString::number(tenthOfPoint(size), 'g', 7);
}

// One attribute over the runs: the first value, and whether every later run agrees.
template <class T> struct Uniform {
    std::optional<T> value;
    bool same = true;
    template <class Eq = std::equal_to<T>> void take(const T& v, Eq eq = {})
    {
        if (!value)
            value = v;
        else if (!eq(*value, v))
            same = false;
    }
    bool uniform() const { return same && value.has_value(); }
};

} // namespace

// What the runs of a text have in common. A run without an underline or strikethrough counts
// as 0, without kern or paragraph spacing as 0; runs without a font leave the font fields.
struct DocumentWindow::FontSummary {
    Uniform<int> underline, strikethrough;
    Uniform<double> kern, lineSpacing, size;
    Uniform<bool> bold, italic;
    Uniform<std::pair<int, unsigned>> face; // weight and traits
    Uniform<QString> family;
    std::optional<TextAlignment> alignment;
    SZGradient fill;
    bool metFont = false;

    void gather(const AttributeDictionary& attrs)
    {
        static const AttributeValue kAbsent;
        const auto number = [&](const QString& key) -> const AttributeValue& {
            const auto it = attrs.find(key);
            return it == attrs.end() ? kAbsent : it->second;
        };
        underline.take(int(number(names::underlineStyle).toInteger()));
        strikethrough.take(int(number(names::strikethroughStyle).toInteger()));
        kern.take(double(float(number(names::kern).toDouble())));
        const AttributeValue& para = number(names::paragraphStyle);
        const ParagraphStyle* style = para.paragraphStyle();
        lineSpacing.take(style ? style->lineSpacing : 0.0);
        if (style)
            alignment = style->alignment;
        if (const Font* font = number(names::font).font(); font && !font->isNull()) {
            metFont = true;
            size.take(tenthOfPoint(font->pointSize()),
                [](double a, double b) { return std::abs(a - b) < 0.01; });
            bold.take(font->isBold());
            italic.take(font->isItalic());
            face.take({ font->weight(), font->traits() });
            family.take(font->familyName());
        }
        if (const SZGradient* g = SZGradient::fromAttribute(number(names::gradient)))
            fill = *g;
    }
};

namespace {

struct Uniformity {
    Uniform<bool> circular, vertical;
};

std::vector<MyTextView*> selectedTextViews(const std::vector<MyViewBase*>& boxes)
{
    std::vector<MyTextView*> views;
    for (MyViewBase* box : boxes)
        if (auto* t = dynamic_cast<MyTextView*>(box); t && t->selected())
            views.push_back(t);
    return views;
}

// Rewrites every run of range that has a font with change, from a copy of the run's own
// attributes, so everything else a run holds (its fill above all) stays. Answers whether a
// run changed.
bool rewriteRuns(
    MyTextBox& box, TextRange range, const std::function<void(AttributeDictionary&)>& change)
{
    bool changed = false;
    box.editor().editText([&](AttributedString& text) {
        text.changeRuns(range, [&](AttributeDictionary& attrs) {
            if (attrs.find(names::font) == attrs.end())
                return;
            const AttributeDictionary before = attrs;
            change(attrs);
            changed = changed || attrs != before;
        });
    });
    return changed;
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

} // namespace

TextViewContainer* DocumentWindow::fontTargetContainer() const
{
    return m_canvasControls ? m_canvasControls->textViewContainer() : nullptr;
}

bool DocumentWindow::isEditingCase() const
{
    return currentlySelectedTextView_ && currentlySelectedTextView_->isEditing();
}

// The one undo step of a font change: the snapshot before, the change over the targets, and
// the step only when some run changed.
bool DocumentWindow::changeSelectedText(const std::function<void(MyTextBox&, TextRange)>& change,
    std::optional<TextRange> editedRange, const std::function<bool(MyTextBox&)>& perBox)
{
    TextViewContainer* container = fontTargetContainer();
    if (!container)
        return false;
    bool changed = false;
    if (isEditingCase()) {
        if (!editedRange)
            return false;
        MyTextBox& box = *currentlySelectedTextView_;
        container->prepUndoData();
        change(box, *editedRange);
        changed = perBox(box);
        if (changed && box.myTextView())
            box.myTextView()->RecalcFrame();
    } else {
        const std::vector<MyTextView*> views = selectedTextViews(container->textViewAry);
        if (views.empty() || std::any_of(views.begin(), views.end(), [](MyTextView* v) {
                return v->isEditing();
            }))
            return false;
        container->prepUndoData();
        for (MyTextView* view : views) {
            MyTextBox* box = view->txtBox();
            if (!box || box->text().isEmpty())
                continue;
            change(*box, TextRange(0, box->text().length()));
            if (perBox(*box)) {
                changed = true;
                view->RecalcFrame();
            }
        }
    }
    if (changed)
        container->logUndoData();
    else
        container->undoData.reset();
    return changed;
}

// Runs rewrite over the target: the edited range, or the whole text of each selected box.
bool DocumentWindow::rewriteSelectedText(
    std::optional<TextRange> editedRange, const std::function<void(AttributeDictionary&)>& change)
{
    bool any = false;
    const auto rewrite
        = [&](MyTextBox& box, TextRange range) { any = rewriteRuns(box, range, change); };
    return changeSelectedText(rewrite, editedRange, [&](MyTextBox&) {
        const bool changed = any;
        any = false;
        return changed;
    });
}

// The edited range the style and size actions work on: nothing at the end of the text.
std::optional<TextRange> DocumentWindow::editedStyleRange() const
{
    if (!isEditingCase())
        return std::nullopt;
    const int length = currentlySelectedTextView_->text().length();
    const TextRange r = currentlySelectedRange.clamped(length);
    if (r.location >= length)
        return std::nullopt;
    return r;
}

void DocumentWindow::fontNameSelected()
{
    beforeAction();
    const int index = popupFonts->currentIndex();
    if (index < 0 || index >= int(m_fontAry.size()))
        return;
    const FontRecord entry = m_fontAry[std::size_t(index)];
    std::optional<TextRange> range;
    if (isEditingCase()) {
        // A caret names the character after it, or the last one at the end of the text.
        const int length = currentlySelectedTextView_->text().length();
        if (length == 0)
            return;
        TextRange r = currentlySelectedRange.clamped(length);
        if (r.location >= length)
            r.location = length - 1;
        if (r.length == 0)
            r.length = 1;
        range = r;
    }
    fontStyleSegmentedCtrl->setSelected((entry.traits & kBoldTrait) != 0, 0);
    fontStyleSegmentedCtrl->setSelected((entry.traits & kItalicTrait) != 0, 1);
    rewriteSelectedText(range, changeFont([&entry](const Font& f) {
        return FontManager::shared().fontWithFamily(
            entry.family, entry.traits, entry.weight, f.pointSize());
    }));
    refreshFontPanel();
}

void DocumentWindow::segmentedCtrlFontAttributesChanged(int segment)
{
    beforeAction();
    if (segment < 0 || segment > 3)
        return;
    const bool on = fontStyleSegmentedCtrl->isSelectedForSegment(segment);
    std::function<void(AttributeDictionary&)> change;
    if (segment < 2) {
        const unsigned trait = segment == 0 ? kBoldTrait : kItalicTrait;
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
    const std::optional<TextRange> range = editedStyleRange();
    if (isEditingCase() && !range)
        return;
    rewriteSelectedText(range, change);
    refreshFontPanel();
}

void DocumentWindow::segmentedCtrlAlignmentChanged(int segment)
{
    beforeAction();
    static const TextAlignment kAlignments[] = { TextAlignment::Left, TextAlignment::Center,
        TextAlignment::Right, TextAlignment::Justified };
    if (segment < 0 || segment > 3)
        return;
    const TextAlignment alignment = kAlignments[segment];
    std::optional<TextRange> range;
    if (isEditingCase()) {
        // Alignment belongs to whole paragraphs: widen the selection to the paragraphs it
        // touches.
        const QString& s = currentlySelectedTextView_->text().string();
        const TextRange r = currentlySelectedRange.clamped(int(s.size()));
        int start = r.location;
        while (start > 0 && s[start - 1] != QLatin1Char('\n'))
            --start;
        int end = r.end();
        while (end < s.size() && s[end] != QLatin1Char('\n'))
            ++end;
        range = TextRange(start, std::min<int>(int(s.size()), end + 1) - start);
    }
    bool any = false;
    changeSelectedText(
        [&](MyTextBox& box, TextRange r) {
            box.editor().editText([&](AttributedString& text) {
                text.changeRuns(r, [&](AttributeDictionary& attrs) {
                    AttributeValue& value = attrs[names::paragraphStyle];
                    ParagraphStyle style
                        = value.paragraphStyle() ? *value.paragraphStyle() : ParagraphStyle();
                    if (value.paragraphStyle() && style.alignment == alignment)
                        return;
                    style.alignment = alignment;
                    value = style;
                    any = true;
                });
            });
        },
        range,
        [&](MyTextBox&) {
            const bool changed = any;
            any = false;
            return changed;
        });
    refreshFontPanel();
}

void DocumentWindow::fontSizeStepperDidChange()
{
    fontSizeTextField->setText(QStringLiteral("%1 pt").arg(fontSizeStepper->stringValue()));
    fontSizeValueDidChange();
}

std::optional<double> DocumentWindow::parseFontSize(QString text)
{
    text.remove(QStringLiteral(" pt"));
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

void DocumentWindow::fontSizeValueDidChange()
{
    beforeAction();
    const std::optional<double> size = parseFontSize(fontSizeTextField->text());
    const std::optional<TextRange> range = editedStyleRange();
    if (size && !(isEditingCase() && !range)) {
        rewriteSelectedText(range, changeFont([s = *size](const Font& f) -> std::optional<Font> {
            return FontManager::shared().convertFontToSize(f, s);
        }));
    }
    // A refused size gives the field back the size the text has.
    fontSizeTextField->setText(m_shownFontSize);
    refreshFontPanel();
}

void DocumentWindow::refreshFontPanel()
{
    if (isEditingCase()) {
        MyTextBox& box = *currentlySelectedTextView_;
        showEditedAttributes(box, box.editor().selectedRange());
    } else if (TextViewContainer* c = fontTargetContainer()) {
        updateFontsFromSelectedTextBox(c->textViewAry);
    }
}

void DocumentWindow::updateFontsFromSelectedTextBox(const std::vector<MyViewBase*>& boxes)
{
    qCDebug(lcWindow, "update Fonts From selected text box");
    FontSummary summary;
    Uniformity layout;
    bool contributed = false;
    for (MyViewBase* box : boxes) {
        auto* view = dynamic_cast<MyTextView*>(box);
        if (!view || !view->selected())
            continue;
        layout.circular.take(view->isCircular());
        layout.vertical.take(view->isVertical());
        MyTextBox* text = view->txtBox();
        if (view->isEditing() || !text || text->text().isEmpty())
            continue;
        contributed = true;
        const AttributedString& s = text->text();
        s.enumerateAttributes(TextRange(0, s.length()), AttributedString::Reverse,
            [&](const AttributeDictionary& attrs, TextRange, bool&) { summary.gather(attrs); });
    }
    if (!contributed)
        return;
    showFontSummary(summary);
    for (int s = 0; s < 2; ++s)
        textboxLayoutStepper->setSelected(false, s);
    if (layout.circular.uniform())
        textboxLayoutStepper->setSelected(*layout.circular.value, 0);
    if (layout.vertical.uniform())
        textboxLayoutStepper->setSelected(*layout.vertical.value, 1);
    const bool plain = layout.circular.uniform() && layout.vertical.uniform()
        && !*layout.circular.value && !*layout.vertical.value && summary.lineSpacing.uniform()
        && *summary.lineSpacing.value == 0 && summary.kern.uniform() && *summary.kern.value == 0;
    minusOtherProperties->setVisible(!plain);
}

platform::TextRange DocumentWindow::textViewWillChangeSelection(
    MyTextBox* textBox, TextRange oldRange, TextRange newRange)
{
    (void)oldRange;
    if (!textBox || !textBox->isEditing())
        return newRange;
    qCDebug(lcWindow, "willChangeSelection");
    currentlySelectedTextView_ = textBox;
    currentlySelectedRange = newRange;
    showEditedAttributes(*textBox, newRange);
    return newRange;
}

void DocumentWindow::textDidChange(MyTextBox* textBox)
{
    if (textBox && textBox->isEditing())
        showEditedAttributes(*textBox, textBox->editor().selectedRange());
}

void DocumentWindow::showEditedAttributes(MyTextBox& box, TextRange range)
{
    const AttributedString& text = box.text();
    const int length = text.length();
    if (length == 0) {
        showFontDefaults();
        return;
    }
    // A caret shows the character after it, or the last one at the end of the text.
    TextRange r = range.clamped(length);
    if (r.location >= length)
        r.location = length - 1;
    if (r.length == 0)
        r.length = 1;
    FontSummary summary;
    text.enumerateAttributes(r, AttributedString::Reverse,
        [&](const AttributeDictionary& attrs, TextRange, bool&) { summary.gather(attrs); });
    showFontSummary(summary);
}

void DocumentWindow::showFontSummary(const FontSummary& summary)
{
    static const int kSegmentOf[] = { 0, 2, 1, 3, 3 }; // Left, Right, Center, Justified, Natural
    const int a = summary.alignment ? int(*summary.alignment) : 0;
    fontAlignmentSegmentedCtrl->setSelectedSegment(a >= 0 && a <= 4 ? kSegmentOf[a] : 0);

    int match = -1;
    if (summary.family.uniform() && summary.face.uniform() && !summary.family.value->isEmpty()) {
        for (std::size_t i = 0; i < m_fontAry.size(); ++i) {
            const FontRecord& f = m_fontAry[i];
            if (f.family == *summary.family.value && f.weight == summary.face.value->first
                && f.traits == summary.face.value->second)
                match = int(i);
        }
    }
    popupFonts->setCurrentIndex(match);

    for (int s = 0; s < 4; ++s)
        fontStyleSegmentedCtrl->setSelected(false, s);
    if (summary.bold.uniform())
        fontStyleSegmentedCtrl->setSelected(*summary.bold.value, 0);
    if (summary.italic.uniform())
        fontStyleSegmentedCtrl->setSelected(*summary.italic.value, 1);
    if (summary.underline.uniform())
        fontStyleSegmentedCtrl->setSelected(*summary.underline.value == 1, 2);
    if (summary.strikethrough.uniform())
        fontStyleSegmentedCtrl->setSelected(*summary.strikethrough.value == 1, 3);
    fontStyleSegmentedCtrl->update();

    if (summary.size.uniform()) {
        const double size = *summary.size.value;
        fontSizeStepper->setDoubleValue(size);
        m_shownFontSize = QStringLiteral("%1 pt").arg(sizeText(size));
    } else {
        m_shownFontSize.clear();
    }
    fontSizeTextField->setText(m_shownFontSize);

    if (summary.kern.uniform()) {
        charspaceStepper->setDoubleValue(*summary.kern.value);
        charspaceTextField->setText(QStringLiteral("%1 pt").arg(charspaceStepper->stringValue()));
    } else {
        charspaceStepper->setIntValue(0);
        charspaceTextField->clear();
    }
    if (summary.lineSpacing.uniform()) {
        linespaceStepper->setDoubleValue(*summary.lineSpacing.value);
        linespaceTextField->setText(*summary.lineSpacing.value != 0
                ? QStringLiteral("%1 pt").arg(linespaceStepper->stringValue())
                : QStringLiteral("(Auto)"));
    } else {
        linespaceStepper->setIntValue(0);
        linespaceTextField->clear();
    }
    btFontColor->setGradient(summary.fill);
    btFontColor->update();
}

void DocumentWindow::showFontDefaults()
{
    const AttributeDictionary typing = MyTextBox::defaultAttributes();
    const auto it = typing.find(names::font);
    const Font* font = it != typing.end() ? it->second.font() : nullptr;
    if (font)
        popupFonts->setCurrentIndex(popupFonts->findText(font->fontName()));
    for (int s = 0; s < 4; ++s)
        fontStyleSegmentedCtrl->setSelected(false, s);
    fontStyleSegmentedCtrl->update();
    fontAlignmentSegmentedCtrl->setSelectedSegment(0);
    const double size = font ? tenthOfPoint(font->pointSize()) : 0.0;
    fontSizeStepper->setDoubleValue(size);
    m_shownFontSize = QStringLiteral("%1 pt").arg(sizeText(size));
    fontSizeTextField->setText(m_shownFontSize);
    charspaceStepper->setIntValue(0);
    charspaceTextField->setText(QStringLiteral("%1 pt").arg(charspaceStepper->stringValue()));
    linespaceStepper->setIntValue(0);
    linespaceTextField->setText(QStringLiteral("(Auto)"));
    btFontColor->update();
}

void DocumentWindow::wireFontPanel()
{
    // Act on the user's choices only: a refresh that sets a control must not send its action.
    connect(popupFonts, &QComboBox::activated, this, [this](int) { fontNameSelected(); });
    fontStyleSegmentedCtrl->setAction([this](platform::Control&) {
        segmentedCtrlFontAttributesChanged(fontStyleSegmentedCtrl->selectedSegment());
    });
    fontAlignmentSegmentedCtrl->setAction([this](platform::Control&) {
        segmentedCtrlAlignmentChanged(fontAlignmentSegmentedCtrl->selectedSegment());
    });
    fontSizeStepper->setAction([this](platform::Control&) { fontSizeStepperDidChange(); });
    connect(fontSizeTextField, &QLineEdit::editingFinished, this, [this] {
        if (fontSizeTextField->text() != m_shownFontSize)
            fontSizeValueDidChange();
    });
}
