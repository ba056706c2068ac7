#pragma once
// The platform's small up/down stepper for whole numbers: a press on the upper half adds the
// increment, on the lower half subtracts it, then the action is sent. Values stay within
// min..max: at an end they stop there, or, with valueWraps, continue from the other end
// (angle steppers go 359 -> 0). Setting the value from code is silent.
#include "platform/ui/Control.h"

#include <QString>

namespace platform {

class Stepper : public Control {
public:
    explicit Stepper(QWidget* parent = nullptr);

    int minValue() const { return m_min; }
    int maxValue() const { return m_max; }
    // Setting one end past the other moves the other end with it; the value is re-clamped.
    void setMinValue(int value);
    void setMaxValue(int value);
    int increment() const { return m_increment; }
    void setIncrement(int increment); // at least 1
    bool valueWraps() const { return m_wraps; }
    void setValueWraps(bool wraps) { m_wraps = wraps; }

    int intValue() const { return m_value; }
    // Clamped into min..max (never wrapped); silent.
    void setIntValue(int value);
    double doubleValue() const { return m_value; }
    // Rounded to the nearest whole number, then as setIntValue; NaN and infinities are ignored.
    void setDoubleValue(double value);
    // The value as the fields show it ("%@" of the number).
    QString stringValue() const { return QString::number(m_value); }

    // One step up or down, as a click on that half does (the action is sent).
    void stepUp() { step(+1); }
    void stepDown() { step(-1); }

protected:
    void drawRect(GraphicsContext& ctx, const Rect& dirty) override;
    void mouseDown(const Point& location, unsigned modifierFlags) override;

private:
    void step(int direction);

    int m_min = 0;
    int m_max = 59;
    int m_increment = 1;
    int m_value = 0;
    bool m_wraps = false;
};

} // namespace platform
