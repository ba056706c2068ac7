#pragma once
// Driving the window's controls as a person does: clicks delivered to whatever widget of the
// window is at the place (so a covered control is not reached), presses on a segment or a
// stepper half, keys to the widget that has the keyboard.
#include "ClickInWindow.h"
#include "InspectorRig.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Stepper.h"
#include "platform/ui/ViewHost.h"
#include "support/SyntheticMouse.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace windowtest {

// A press at a fraction (0..1) across segment s, mid-height.
inline void pressSegment(platform::SegmentedControl& c, int s, double across = 0.5)
{
    const double w = double(c.width()) / c.segmentCount();
    clickInWindow(c, QPointF(w * (s + across), c.height() / 2.0));
}

// A press on the upper (up) or lower half of a stepper.
inline void pressStepper(platform::Stepper& s, bool up)
{
    clickInWindow(s, QPointF(s.width() / 2.0, up ? s.height() * 0.25 : s.height() * 0.75));
}

inline void key(
    QWidget& w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(&w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(&w, &release);
}

// Characters typed to whichever widget has the keyboard.
inline void typeToFocus(const QString& text)
{
    for (QChar ch : text) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus) << "nothing has the keyboard";
        key(*focus, QKeySequence(QString(ch))[0].key(), Qt::NoModifier, QString(ch));
    }
}

// A field clicked into, its text replaced by typing, and Return.
inline void typeIntoField(QLineEdit& field, const QString& text)
{
    field.setFocus();
    field.selectAll();
    key(field, Qt::Key_Backspace);
    for (QChar ch : text)
        key(field, QKeySequence(QString(ch))[0].key(), Qt::NoModifier, QString(ch));
    key(field, Qt::Key_Return);
}

// A shown, active window with one text box being edited, as a double-click leaves it.
struct EditingWindow : InspectorWindow {
    EditingWindow(std::vector<Run> text, platform::TextRange selected)
        : InspectorWindow(true)
    {
        QApplication::setActiveWindow(&win);
        build({ textOf(std::move(text)) });
        boxes().AnimateBox(*boxes().textViewAry.at(0), true);
        box()->txtBox()->editor().setSelectedRange(selected);
        // The double-click that started editing gave the canvas the keyboard.
        host()->setFocus(Qt::MouseFocusReason);
    }
    MyTextView* box() const { return boxAt<MyTextView>(0); }
    platform::ViewHost* host() const { return win.findChild<platform::ViewHost*>(); }
};

} // namespace windowtest
