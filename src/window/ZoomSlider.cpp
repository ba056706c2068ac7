#include "window/ZoomSlider.h"

#include "foundation/ColorAdditions.h"
#include "platform/ui/NamedImage.h"

#include <QKeyEvent>
#include <algorithm>
#include <cmath>

using namespace platform;

namespace {
constexpr double kTrackX = 22, kTrackWidth = 122, kKnobTravel = 110;
}

ZoomSlider::ZoomSlider(QWidget* parent)
    : Control(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

bool ZoomSlider::store(float value)
{
    if (!std::isfinite(value))
        return false;
    m_value = std::clamp(value, 0.0f, 1.0f);
    update();
    return true;
}

void ZoomSlider::setValue(float value)
{
    if (store(value))
        sendAction();
}

void ZoomSlider::setForceValue(float value)
{
    store(value);
}

float ZoomSlider::valueForX(double x)
{
    if (std::isnan(x))
        return 0.0f;
    const double clamped = std::clamp(x, kTrackX, kTrackX + kTrackWidth);
    return float((clamped - kTrackX) / kTrackWidth);
}

void ZoomSlider::mouseDown(const Point& location, unsigned)
{
    setValue(valueForX(location.x));
}

void ZoomSlider::mouseDragged(const Point& location, unsigned flags)
{
    mouseDown(location, flags);
}

void ZoomSlider::keyPressEvent(QKeyEvent* event)
{
    if (const int steps = arrowKeySteps(*event))
        setValue(m_value + float(steps) * 0.01f);
    else
        Control::keyPressEvent(event);
}

void ZoomSlider::drawRect(GraphicsContext& ctx, const Rect&)
{
    const Rect b = bounds();
    const Rect device = ctx.convertRectToDeviceSpace(b);
    const double scale = b.size.width > 0 ? device.size.width / b.size.width : 1.0;
    const Image backdrop = namedImage(QStringLiteral("ZoomSliderBackdrop"), b.size, scale);
    if (!backdrop.isNull())
        ctx.drawImage(backdrop, b);
    GStateGuard guard(ctx);
    ctx.setFillColor(colorWithValue(0x434343));
    ctx.fillPath(BezierPath::roundedRect(Rect(kTrackX, 6, kTrackWidth, 4), 2, 2));
    ctx.setFillColor(colorWithValue(0x818181));
    ctx.fillPath(BezierPath::roundedRect(Rect(kTrackX, 6, kTrackWidth * m_value, 4), 2, 2));
    ctx.setFillColor(colorWithValue(0xA1A1A1));
    ctx.fillPath(BezierPath::oval(Rect(kTrackX + kKnobTravel * m_value, 0, 16, 16)));
    if (hasFocus())
        drawFocusRing(
            ctx, BezierPath::roundedRect(Rect(kTrackX - 3, 1, kTrackWidth + 6, 14), 7, 7));
}
