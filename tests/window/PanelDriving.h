#pragma once
// Driving the inspector's controls as a person does, for the panel tests: a click on a
// stepper's half, text typed into a field and Return, a slider dragged event by event. Each
// input event ends the undo groups it opened, as the event loop does between events.
#include "InspectorRig.h"
#include "platform/ui/Stepper.h"
#include "support/SyntheticMouse.h"
#include "window/ImageEffectIntensitySlider.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace windowtest {

inline void endEvent()
{
    platform::UndoManager::endEventGroups();
}

inline void clickAt(QWidget& w, QPointF at)
{
    testsupport::click(w, at);
    endEvent();
}

inline void clickCentre(QWidget& w)
{
    clickAt(w, QPointF(w.width() / 2.0, w.height() / 2.0));
}

// One click on the stepper's upper (up) or lower half.
inline void stepOnce(platform::Stepper& s, bool up)
{
    clickAt(s, QPointF(s.width() / 2.0, up ? 2.0 : s.height() - 2.0));
}

inline void sendKey(QWidget& w, QEvent::Type type, int key, const QString& text = {},
    bool autoRepeat = false)
{
    QKeyEvent e(type, key, Qt::NoModifier, text, autoRepeat);
    QCoreApplication::sendEvent(&w, &e);
}

// Replaces the field's text by typing it, then Return.
inline void typeInto(QLineEdit& field, const QString& text)
{
    field.setFocus();
    field.selectAll();
    sendKey(field, QEvent::KeyPress, Qt::Key_Backspace);
    for (QChar c : text)
        sendKey(field, QEvent::KeyPress, 0, QString(c));
    sendKey(field, QEvent::KeyPress, Qt::Key_Return);
    endEvent();
}

// A press at from (widget x, as a fraction of the mapped width), moves through the steps and a
// release at to, each a separate event.
inline void dragSlider(ImageEffectIntensitySlider& s, double from, double to, int steps = 6)
{
    const double span = s.width() - (s.title().contains(QLatin1String("Shadow")) ? 32.0 : 0.0);
    const double y = s.height() / 2.0;
    using testsupport::sendMouse;
    sendMouse(s, QEvent::MouseButtonPress, { from * span, y }, Qt::LeftButton, Qt::LeftButton);
    endEvent();
    for (int i = 1; i <= steps; ++i) {
        const double x = (from + (to - from) * i / steps) * span;
        sendMouse(s, QEvent::MouseMove, { x, y }, Qt::NoButton, Qt::LeftButton);
        endEvent();
    }
    sendMouse(s, QEvent::MouseButtonRelease, { to * span, y }, Qt::LeftButton, Qt::NoButton);
    endEvent();
}

// The undo steps a gesture leaves.
template <class F> int stepsDuring(platform::UndoManager& undo, F&& gesture)
{
    undo.endGroup();
    const int before = undo.undoGroupCount();
    gesture();
    undo.endGroup();
    return undo.undoGroupCount() - before;
}

} // namespace windowtest
