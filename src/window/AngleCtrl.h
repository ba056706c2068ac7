#pragma once
// The small round knob that sets a direction in degrees: the linear fill's angle in the fill
// editor and the two shadow angles of the inspector.
//
// Angles: 0 points right of the centre and they grow clockwise on the screen (90 down, 180
// left, 270 up); stored angles lie in [0, 360). -1 stands for boxes that disagree and draws
// the knob without its spot. A click or drag points the knob at the pointer and tells the
// delegate at once, then sends the action; setting the angle from code neither redraws nor
// notifies.
#include "platform/ui/Control.h"

class AngleCtrl;

class AngleCtrlDelegate {
public:
    virtual void angleCtrlChanged(AngleCtrl& sender, float angle) = 0;

protected:
    ~AngleCtrlDelegate() = default;
};

class AngleCtrl : public platform::Control {
public:
    explicit AngleCtrl(QWidget* parent = nullptr);

    double angle() const { return m_angle; }
    // Stored as given when finite (callers pass 0..359 or -1); non-finite values are ignored.
    void setAngle(double angle);

    // Not owned: the delegate outlives the knob or clears itself first.
    AngleCtrlDelegate* delegate() const { return m_delegate; }
    void setDelegate(AngleCtrlDelegate* delegate) { m_delegate = delegate; }

    // The angle the knob takes for a pointer at p (y-up, in the knob's coordinates): whole
    // degrees in [0, 360), 0 at the centre.
    static double angleForPoint(const platform::Point& p, const platform::Size& size);

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void mouseDown(const platform::Point& location, unsigned modifierFlags) override;
    void mouseDragged(const platform::Point& location, unsigned modifierFlags) override;

private:
    void trackPointer(const platform::Point& location);

    AngleCtrlDelegate* m_delegate = nullptr;
    double m_angle = 0.0;
};
