#pragma once
// The flat zoom slider of the brush-painting panel: a track from x 22 to 144 over its own
// backdrop picture, a filled part up to the value and a 16-point knob whose left edge travels
// 110 points. setValue sends the action (the window relies on it); setForceValue is the
// silent setter for showing a value. It takes keyboard focus, shows a ring round its track
// while it has it, and moves by 1 % per arrow key (10 % with Shift).
#include "platform/ui/Control.h"

class ZoomSlider : public platform::Control {
public:
    explicit ZoomSlider(QWidget* parent = nullptr);

    float value() const { return m_value; }
    // Forced into 0..1, redraws, then sends the action; non-finite input changes and sends
    // nothing.
    void setValue(float value);
    // The same without the action.
    void setForceValue(float value);

    // The value a pointer at x gives: x forced into 22..144, then (x - 22) / 122.
    static float valueForX(double x);

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void mouseDown(const platform::Point& location, unsigned modifierFlags) override;
    void mouseDragged(const platform::Point& location, unsigned modifierFlags) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool store(float value);

    float m_value = 0.0f;
};
