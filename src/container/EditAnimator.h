#pragma once
// The switch of a box into and out of editing. A box with a curve or a perspective is edited
// flat: entering, its warp shrinks to nothing in three ticks of 0.03 s (fractions 0.6, 0.2, then
// flat and editing); leaving, it grows back (0.4, 0.8, then warped). A box without a warp
// switches at once. One animation runs at a time for the whole process; its state is
// gEditAnimation, which the warp view reads to draw the animated box at the current fraction.
//
// Main thread only. The box and its container are held weakly: when either is destroyed while
// the animation runs, the next tick only stops the timer.
#include "platform/ui/ViewPointer.h"

#include <QTimer>

class MyViewBase;
class TextViewContainer;

class EditAnimator {
public:
    static constexpr int kTickMilliseconds = 30;
    static constexpr double kStep = 0.4;

    // The one animator of the process.
    static EditAnimator& instance();

    // Box enters (edit true) or leaves editing. For the box being animated the request is
    // compared with where its animation is heading: the same is ignored, the opposite reverses
    // it from the fraction shown. An animation of another box is finished first, with its end
    // state, whether or not it has ticked yet.
    void animate(TextViewContainer& container, MyViewBase& box, bool edit);
    // One step of the running animation (what the timer sends).
    void tick();
    // Ends the animation now with its end state (nothing when none is under way).
    void finish();
    // An animation is under way (started and not yet at its end).
    bool isActive() const { return m_timer.isActive(); }

    // Opens a text box's text for typing: editable, selectable, first responder, all of it
    // selected. Other boxes are only marked for display.
    static void openForTyping(MyViewBase& box);

private:
    EditAnimator();
    void end();

    QTimer m_timer;
    platform::ViewPointer m_container;
};
