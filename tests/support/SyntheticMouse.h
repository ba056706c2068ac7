#pragma once
// Synthetic pointer events for widget tests: positions in the widget's own Qt coordinates
// (y-down), delivered synchronously.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace testsupport {

// One mouse event; button is the one that changed (none for a move), buttons those held after.
inline void sendMouse(
    QWidget& w, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, at, w.mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

// A press and a release of button at one point.
inline void click(QWidget& w, QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(w, QEvent::MouseButtonPress, at, button, button);
    sendMouse(w, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

// A left press at from, one move to to with the button held, and the release there.
inline void drag(QWidget& w, QPointF from, QPointF to)
{
    sendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

} // namespace testsupport
