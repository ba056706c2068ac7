#include "platform/ui/Stepper.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {

Stepper::Stepper(QWidget* parent)
    : Control(parent)
{
}

void Stepper::setMinValue(int value)
{
    m_min = value;
    m_max = std::max(m_max, m_min);
    setIntValue(m_value);
}

void Stepper::setMaxValue(int value)
{
    m_max = value;
    m_min = std::min(m_min, m_max);
    setIntValue(m_value);
}

void Stepper::setIncrement(int increment)
{
    m_increment = std::max(1, increment);
}

void Stepper::setIntValue(int value)
{
    const int clamped = std::clamp(value, m_min, m_max);
    if (clamped != m_value) {
        m_value = clamped;
        update();
    }
}

void Stepper::setDoubleValue(double value)
{
    if (!std::isfinite(value))
        return;
    const double lo = std::numeric_limits<int>::min();
    const double hi = std::numeric_limits<int>::max();
    setIntValue(int(std::clamp(std::round(value), lo, hi)));
}

void Stepper::step(int direction)
{
    // 64-bit so that a step next to INT_MAX cannot overflow.
    const long long next = (long long)m_value + (long long)direction * m_increment;
    long long result = next;
    if (next > m_max)
        result = m_wraps ? m_min : m_max;
    else if (next < m_min)
        result = m_wraps ? m_max : m_min;
    m_value = int(result);
    update();
    sendAction();
}

void Stepper::mouseDown(const Point& location, unsigned)
{
    if (!isEnabled())
        return;
    step(location.y >= height() / 2.0 ? +1 : -1);
}

void Stepper::drawRect(GraphicsContext& ctx, const Rect&)
{
    const Rect b = bounds();
    GStateGuard guard(ctx);
    ctx.setFillColor(Color::grey(0.12));
    ctx.fillPath(BezierPath::roundedRect(b.insetBy(0.5, 0.5), 4, 4));
    const double alpha = isEnabled() ? 1.0 : 0.4;
    const double mx = b.midX();
    const double half = b.size.height / 2;
    const double w = std::min(b.size.width * 0.3, 4.0);
    const double h = std::min(half * 0.35, 3.0);
    BezierPath arrows;
    // Up arrow in the upper half, down arrow in the lower.
    arrows.moveTo({ mx - w, half + half / 2 - h / 2 });
    arrows.lineTo({ mx + w, half + half / 2 - h / 2 });
    arrows.lineTo({ mx, half + half / 2 + h / 2 });
    arrows.closePath();
    arrows.moveTo({ mx - w, half / 2 + h / 2 });
    arrows.lineTo({ mx + w, half / 2 + h / 2 });
    arrows.lineTo({ mx, half / 2 - h / 2 });
    arrows.closePath();
    ctx.setFillColor(Color::grey(0.75, alpha));
    ctx.fillPath(arrows);
}

} // namespace platform
