// The panel controllers' one way of wiring a control, and the change runs that make a drag or
// a held key one undo step.
#include "window/InspectorPanel.h"

#include "container/TextViewContainer.h"
#include "platform/ui/Control.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>

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
    control->setAction([action = std::move(action)](platform::Control&) { action(); });
    control->installEventFilter(this);
}

void InspectorPanel::onEdited(QLineEdit* field, std::function<void()> action)
{
    field->installEventFilter(new DocumentUndoKeys(field));
    connect(field, &QLineEdit::editingFinished, this, [field, action = std::move(action)] {
        if (field->text() == field->property(kShownText).toString())
            return;
        field->setProperty(kShownText, field->text());
        action();
    });
}

void InspectorPanel::onClicked(QAbstractButton* button, std::function<void()> action)
{
    connect(button, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void InspectorPanel::onChosen(QComboBox* popup, std::function<void(int)> action)
{
    connect(popup, &QComboBox::activated, this, [action = std::move(action)](int i) { action(i); });
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
    case QEvent::MouseButtonRelease:
        if (layer->changeRunKey() == watched)
            layer->endChangeRun();
        break;
    case QEvent::KeyPress:
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            layer->beginChangeRun(watched);
        break;
    case QEvent::KeyRelease:
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat() && layer->changeRunKey() == watched)
            layer->endChangeRun();
        break;
    case QEvent::FocusOut:
        if (layer->changeRunKey() == watched)
            layer->endChangeRun();
        break;
    default:
        break;
    }
    return false;
}
