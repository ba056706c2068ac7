#pragma once
// Driving inspector controls as a person does: a press on a stepper's upper or lower half, a
// press on a segment, a drag along a slider, text typed into a field and Return.
#include "boxes/MyViewBase.h"
#include "container/ContainerSnapshot.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Stepper.h"
#include "support/SyntheticMouse.h"
#include "window/ImageEffectIntensitySlider.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <functional>
#include <gtest/gtest.h>

namespace windowtest {

inline void pressStepper(platform::Stepper& stepper, bool up)
{
    const double h = stepper.height();
    testsupport::click(stepper, QPointF(stepper.width() / 2.0, up ? h / 4.0 : h * 3.0 / 4.0));
}

inline void pressSegment(platform::SegmentedControl& control, int segment)
{
    const platform::Rect f = control.frameForSegment(segment);
    testsupport::click(control, control.convertToWidget(f.center()));
}

// A press at one position of the track, a move to another and the release there (positions
// 0..1 of the width the pointer maps over, the whole width for these sliders). between runs
// after each event, as the event loop's turns close the undo groups between them.
inline void dragSlider(
    ImageEffectIntensitySlider& slider, double from, double to,
    const std::function<void()>& between = [] {})
{
    const double y = slider.height() / 2.0;
    const QPointF a(from * slider.width(), y), b(to * slider.width(), y);
    testsupport::sendMouse(slider, QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
    between();
    testsupport::sendMouse(slider, QEvent::MouseMove, (a + b) / 2.0, Qt::NoButton, Qt::LeftButton);
    between();
    testsupport::sendMouse(slider, QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
    between();
    testsupport::sendMouse(slider, QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
    between();
}

// Text typed over the field's text, then Return.
inline void typeInto(QLineEdit& field, const QString& text)
{
    field.setText(text);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&field, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&field, &release);
}

// The box at index i of the window's layer.
template <class Window> MyViewBase& boxAt(Window& w, std::size_t i)
{
    return *w.boxes().textViewAry.at(i);
}

// One action on the inspector is one undo step that changed the boxes, and undo puts every
// box back as it was.
template <class Window> void expectOneUndoableStep(Window& w, const std::function<void()>& act)
{
    w.undo.endGroup();
    const ContainerSnapshot before = w.boxes().containerSnapshot();
    const int steps = w.undo.undoGroupCount();
    act();
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
    EXPECT_FALSE(w.boxes().containerSnapshot() == before) << "the boxes changed";
    w.undo.undo();
    EXPECT_TRUE(w.boxes().containerSnapshot() == before) << "undo restores them";
}

// An action that must change nothing: no box and no step.
template <class Window> void expectNoChange(Window& w, const std::function<void()>& act)
{
    w.undo.endGroup();
    const ContainerSnapshot before = w.boxes().containerSnapshot();
    const int steps = w.undo.undoGroupCount();
    act();
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps);
    EXPECT_TRUE(w.boxes().containerSnapshot() == before);
}

} // namespace windowtest
