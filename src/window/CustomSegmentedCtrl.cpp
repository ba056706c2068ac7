#include "window/CustomSegmentedCtrl.h"

using namespace platform;

CustomSegmentedCtrl::CustomSegmentedCtrl(QWidget* parent)
    : SegmentedControl(parent)
{
    setMouseTracking(true);
}

void CustomSegmentedCtrl::setUseSeparator(bool use)
{
    m_useSeparator = use;
    update();
}

void CustomSegmentedCtrl::setSeparatorColor(const Color& color)
{
    m_separatorColor = color;
    update();
}

double CustomSegmentedCtrl::segmentAlpha(bool selected, bool enabled)
{
    if (selected)
        return 1.0;
    return enabled ? 0.5 : 0.2;
}

void CustomSegmentedCtrl::mouseMoved(const Point& location, unsigned)
{
    const long segment = segmentAt(location);
    if (segment != m_hovered) {
        m_hovered = segment;
        update();
    }
}

void CustomSegmentedCtrl::hoverChanged()
{
    if (!isHovered())
        m_hovered = -1;
    update();
}

void CustomSegmentedCtrl::drawRect(GraphicsContext& ctx, const Rect&)
{
    const int n = segmentCount();
    const double w = width(), h = height();
    for (int i = 0; i < n; ++i) {
        if (m_useSeparator && i < n - 1) {
            GStateGuard guard(ctx);
            BezierPath line;
            line.moveTo({ (i + 1) * w / n, 0 });
            line.lineTo({ (i + 1) * w / n, h });
            ctx.setStrokeColor(m_separatorColor);
            ctx.setStrokeStyle(StrokeStyle { 1.0 });
            ctx.strokePath(line);
        }
        drawSegment(ctx, i, frameForSegment(i));
    }
}

void CustomSegmentedCtrl::drawSegment(GraphicsContext& ctx, int segment, const Rect& frame)
{
    const bool selected = isSelectedForSegment(segment) || pressedSegment() == segment;
    GStateGuard guard(ctx);
    ctx.setAlpha(segmentAlpha(selected, isEnabledForSegment(segment) && isEnabled()));
    SegmentedControl::drawSegment(ctx, segment, frame);
}
