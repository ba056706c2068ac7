#pragma once
// The base of the box inspector's panel controllers. A panel owns its controls (outlets of the
// window, made by the window's layout), wires each of them one way (below), refreshes them
// from the selection without sending any action, and sends its changes to the box layer's
// change messages: one undo step per gesture.
//
// One way of wiring a control:
//   onAction   a custom control (slider, stepper, knob, segments): its action; a press-drag-
//              release on it, or a held key, is one change run of the box layer, so a drag
//              leaves one undo step;
//   onEdited   a field: Return or leaving the field, when the text differs from what the
//              panel last showed in it (showText);
//   onClicked  a push button or check box;
//   onChosen   a pop-up's item chosen by the person (never by a refresh).
//
// After every change a person makes through a control wired so, the whole inspector shows the
// selection again (InspectorHost::refreshInspector): a value one control changes may show in
// another panel's fields (a new width changes the corner radii, a vertical layout the frame).
// A press-drag-release or a held key shows it once, when it ends, and the control pressed keeps
// the place the person gave it.
//
// While a text box is open for typing, a control wired so hands the keyboard back to it once it
// has acted, or once a press on it ends: the next letter typed goes into the text. A field keeps
// the keyboard while it is typed into and gives it back on Return; a field left for another
// control, and a colour window or pop-up while it is open, keep what the person chose.
#include "platform/text/TextRange.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class MyTextBox;
class MyViewBase;
class QAbstractButton;
class QComboBox;
class QLineEdit;
class TextViewContainer;
struct DocumentWindowOutlets;
namespace platform {
class Control;
class UndoManager;
} // namespace platform

// What a panel needs of its window.
class InspectorHost {
public:
    // The document's box layer, or null before the canvas has one.
    virtual TextViewContainer* boxLayer() const = 0;
    // The prologue of nearly every action: ends colour removal and pen drawing.
    virtual void beforeAction() = 0;
    // The text box being edited, or null.
    virtual MyTextBox* editedTextBox() const = 0;
    // The edited box's selection as the window keeps it, held within the live text.
    virtual platform::TextRange editedRange() const = 0;
    virtual platform::UndoManager& documentUndoManager() const = 0;
    // Every panel shows the selection again, as a fresh selection of the same boxes shows it,
    // the locks left as the person set them (after an edit changed what panels show).
    virtual void refreshInspector() = 0;
    // After a panel control acted while a text box is edited, the keyboard goes back to it.
    virtual void returnKeyboardToText() = 0;
    virtual const DocumentWindowOutlets& controls() const = 0;

protected:
    ~InspectorHost() = default;
};

class InspectorPanel : public QObject {
public:
    explicit InspectorPanel(InspectorHost& host);
    ~InspectorPanel() override;

    // Shows the selected boxes' values (boxes is the layer's textViewAry; the selected ones
    // count). Sends no action and changes no box.
    virtual void refresh(const std::vector<MyViewBase*>& boxes) = 0;
    // A selection is shown afresh (not the same selection again after an edit): what the panel
    // keeps for one selection only, its locks, starts over.
    virtual void startSelection() { }
    // The edit sync: shows the attributes of range (the new selection) of the text box being
    // edited, as the selection moves or the text changes. Only the panels that show text
    // attributes, or the edited box's frame, override it.
    virtual void showEditedText(MyTextBox& box, platform::TextRange range)
    {
        (void)box;
        (void)range;
    }

protected:
    InspectorHost& host() const { return m_host; }
    const DocumentWindowOutlets& controls() const { return m_host.controls(); }
    TextViewContainer* boxLayer() const { return m_host.boxLayer(); }

    void onAction(platform::Control* control, std::function<void()> action);
    void onEdited(QLineEdit* field, std::function<void()> action);
    void onClicked(QAbstractButton* button, std::function<void()> action);
    void onChosen(QComboBox* popup, std::function<void(int)> action);
    // Sets a field's text as the panel shows it; onEdited acts only on text that differs.
    static void showText(QLineEdit* field, const QString& text);
    // Runs change as one change run of the box layer named by key (the control), so the
    // several change messages of a group reset are one undo step.
    void asOneUndoStep(const void* key, const std::function<void()>& change);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs an action of control; then the inspector shows the selection again and a text box
    // open for typing gets the keyboard back (if it was where a press on control leaves it),
    // now or when the press or held key on control that is under way ends.
    void act(const QObject* control, const std::function<void()>& action);
    static bool keyboardAt(const QObject* control);
    // Ends control's press or key run; the inspector shows its result if it changed anything.
    void endRun(TextViewContainer& layer, QObject* control);
    // A text box open for typing gets the keyboard back.
    void giveKeyboardBack();

    InspectorHost& m_host;
    // A run's action acted: the inspector shows the result when the run ends.
    bool m_showAtRunEnd = false;
};
