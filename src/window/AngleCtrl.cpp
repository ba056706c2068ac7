#include "window/AngleCtrl.h"

#include <cmath>
#include <numbers>

using namespace platform;

AngleCtrl::AngleCtrl(QWidget* parent)
    : Control(parent)
{
}

void AngleCtrl::setAngle(double angle)
{
    if (std::isfinite(angle))
        m_angle = angle;
}

// Full-precision pi and whole degrees: with the six-digit constant a click straight above
// gave 269.99998, which the angle fields then truncated to 269.
double AngleCtrl::angleForPoint(const Point& p, const Size& size)
{
    const double dy = size.height / 2 - p.y;
    const double dx = p.x - size.width / 2;
    if (!std::isfinite(dx) || !std::isfinite(dy))
        return 0.0;
    double a = std::round(std::atan2(dy, dx) * 180.0 / std::numbers::pi);
    if (a < 0)
        a += 360;
    if (a >= 360)
        a -= 360;
    return a;
}

void AngleCtrl::trackPointer(const Point& location)
{
    m_angle = angleForPoint(location, bounds().size);
    update();
    if (m_delegate)
        m_delegate->angleCtrlChanged(*this, float(m_angle));
    sendAction();
}

void AngleCtrl::mouseDown(const Point& location, unsigned)
{
    trackPointer(location);
}

void AngleCtrl::mouseDragged(const Point& location, unsigned)
{
    trackPointer(location);
}

void AngleCtrl::drawRect(GraphicsContext& ctx, const Rect&)
{
    const Rect b = bounds();
    const bool mixed = m_angle == -1;
    const Color dark = mixed ? Color::white() : Color::black();
    const Color mid = mixed ? Color::white() : Color::grey(0.2);
    const Gradient gradient({ { dark, 0.0 }, { mid, 0.2 }, { Color::white(), 1.0 } });
    const Point c(b.size.width / 2, b.size.height / 2);
    const double r = b.size.width / 2;
    const double t = m_angle * 3.141592 / 180;
    const Point spot(c.x + std::cos(t) * (r - 3), c.y - std::sin(t) * (r - 3));
    ctx.drawRadialGradient(gradient, spot, 0, c, r, GradientNoExtension);
}
