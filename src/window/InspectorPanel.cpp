// The panel controllers' one way of wiring a control, and the change runs that make a drag or
// a held key one undo step.
#include "window/InspectorPanel.h"

#include "container/TextViewContainer.h"
#include "platform/ui/Control.h"
#include "window/ImageEffectIntensitySlider.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <utility>

namespace {
// The text a panel last showed in a field.
constexpr const char* kShownText = "inspectorShownText";

// A field keeps the keyboard after Return, and a line edit claims Undo and Redo for its own
// text: Ctrl+Z would then take back the typing of "12" instead of the change it made to the
// boxes. The document's Undo and Redo win over the field's.
class DocumentUndoKeys : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        // Not claimed: the window's Undo and Redo shortcuts get the key.
        return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo);
    }
};
} // namespace

InspectorPanel::InspectorPanel(InspectorHost& host)
    : m_host(host)
{
}

InspectorPanel::~InspectorPanel() = default;

void InspectorPanel::onAction(platform::Control* control, std::function<void()> action)
{
    control->setAction(
        [this, action = std::move(action)](platform::Control& sender) { act(&sender, action); });
    control->installEventFilter(this);
}

void InspectorPanel::onEdited(QLineEdit* field, std::function<void()> action)
{
    field->installEventFilter(new DocumentUndoKeys(field));
    connect(field, &QLineEdit::editingFinished, this, [this, field, action = std::move(action)] {
        if (field->text() == field->property(kShownText).toString())
            return;
        field->setProperty(kShownText, field->text());
        // Return leaves the keyboard in the field; leaving it put the keyboard elsewhere.
        act(field, action);
    });
}

void InspectorPanel::onClicked(QAbstractButton* button, std::function<void()> action)
{
    connect(button, &QAbstractButton::clicked, this,
        [this, button, action = std::move(action)] { act(button, action); });
}

void InspectorPanel::onChosen(QComboBox* popup, std::function<void(int)> action)
{
    connect(popup, &QComboBox::activated, this,
        [this, popup, action = std::move(action)](int i) { act(popup, [&] { action(i); }); });
}

void InspectorPanel::act(const QObject* control, const std::function<void()>& action)
{
    // Judged before the action, which may hide the control and so move the keyboard on.
    const bool keyboardHere = keyboardAt(control);
    action();
    const TextViewContainer* layer = m_host.boxLayer();
    if (layer && control && layer->changeRunKey() == control) {
        // The keyboard goes back when the press ends.
        m_showAtRunEnd = true;
        return;
    }
    m_host.refreshInspector();
    if (keyboardHere)
        giveKeyboardBack();
}

bool InspectorPanel::keyboardAt(const QObject* control)
{
    // A click moves the keyboard to the control, or to the scroll area round a control that
    // takes none.
    const QWidget* focus = QApplication::focusWidget();
    const auto* widget = qobject_cast<const QWidget*>(control);
    return !focus || !widget || focus == widget || focus->isAncestorOf(widget);
}

void InspectorPanel::giveKeyboardBack()
{
    if (m_host.editedTextBox())
        m_host.returnKeyboardToText();
}

void InspectorPanel::endRun(TextViewContainer& layer, QObject* control)
{
    if (layer.changeRunKey() != control)
        return;
    layer.endChangeRun();
    if (!std::exchange(m_showAtRunEnd, false))
        return;
    // A slider stays where the person left it: shown from the boxes' rounded value, the next
    // arrow-key step would start from there and could land on the same value again.
    auto* slider = dynamic_cast<ImageEffectIntensitySlider*>(control);
    const double kept = slider ? slider->value() : 0.0;
    m_host.refreshInspector();
    if (slider && slider->showSlider())
        slider->showValue(true, kept);
}

void InspectorPanel::showText(QLineEdit* field, const QString& text)
{
    field->setProperty(kShownText, text);
    field->setText(text);
}

void InspectorPanel::asOneUndoStep(const void* key, const std::function<void()>& change)
{
    TextViewContainer* layer = m_host.boxLayer();
    if (layer)
        layer->beginChangeRun(key);
    change();
    if (layer && layer->changeRunKey() == key)
        layer->endChangeRun();
}

// A press and its release, or a held key from its first press to its release, bound one
// change run named by the control.
bool InspectorPanel::eventFilter(QObject* watched, QEvent* event)
{
    TextViewContainer* layer = m_host.boxLayer();
    if (!layer)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        layer->beginChangeRun(watched);
        break;
    case QEvent::MouseButtonRelease: {
        const bool keyboardHere = keyboardAt(watched);
        endRun(*layer, watched);
        if (keyboardHere)
            giveKeyboardBack();
        break;
    }
    case QEvent::KeyPress:
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            layer->beginChangeRun(watched);
        break;
    case QEvent::KeyRelease:
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            endRun(*layer, watched);
        break;
    case QEvent::FocusOut:
        endRun(*layer, watched);
        break;
    default:
        break;
    }
    return false;
}
