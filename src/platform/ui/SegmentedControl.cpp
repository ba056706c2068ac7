#include "platform/ui/SegmentedControl.h"

#include <QMenu>
#include <algorithm>

namespace platform {

SegmentedControl::SegmentedControl(QWidget* parent)
    : Control(parent)
{
}

void SegmentedControl::setSegmentCount(int count)
{
    m_segments.resize(size_t(std::clamp(count, 0, 256)));
    update();
}

Image SegmentedControl::imageForSegment(int segment) const
{
    return valid(segment) ? m_segments[size_t(segment)].image : Image();
}

void SegmentedControl::setImage(const Image& image, int segment)
{
    if (!valid(segment))
        return;
    m_segments[size_t(segment)].image = image;
    update();
}

bool SegmentedControl::isEnabledForSegment(int segment) const
{
    return valid(segment) && m_segments[size_t(segment)].enabled;
}

void SegmentedControl::setEnabled(bool enabled, int segment)
{
    if (!valid(segment))
        return;
    m_segments[size_t(segment)].enabled = enabled;
    update();
}

bool SegmentedControl::isSelectedForSegment(int segment) const
{
    return valid(segment) && m_segments[size_t(segment)].selected;
}

void SegmentedControl::setSelected(bool selected, int segment)
{
    if (!valid(segment))
        return;
    if (selected && m_mode == TrackingMode::SelectOne) {
        for (Segment& s : m_segments)
            s.selected = false;
    }
    m_segments[size_t(segment)].selected = selected;
    update();
}

int SegmentedControl::selectedSegment() const
{
    if (m_mode == TrackingMode::Momentary)
        return m_momentary;
    for (int i = 0; i < segmentCount(); ++i) {
        if (m_segments[size_t(i)].selected)
            return i;
    }
    return -1;
}

void SegmentedControl::setSelectedSegment(int segment)
{
    m_clicked = valid(segment) ? segment : -1;
    if (segment < 0) {
        for (Segment& s : m_segments)
            s.selected = false;
        update();
        return;
    }
    setSelected(true, segment);
}

void SegmentedControl::setMenu(QMenu* menu, int segment)
{
    if (valid(segment))
        m_segments[size_t(segment)].menu = menu;
}

Rect SegmentedControl::frameForSegment(int segment) const
{
    const int n = std::max(1, segmentCount());
    const double w = width();
    return Rect(w * segment / n, 0, w / n, height());
}

int SegmentedControl::segmentAt(const Point& p) const
{
    if (segmentCount() == 0 || width() <= 0 || !bounds().contains(p))
        return -1;
    return std::clamp(int(p.x * segmentCount() / width()), 0, segmentCount() - 1);
}

void SegmentedControl::drawRect(GraphicsContext& ctx, const Rect&)
{
    // The standard look: a rounded bar whose selected (or pressed) segments are lighter, so
    // the choice shows whatever the segments' pictures are.
    const Color selected(0x81 / 255.0, 0x81 / 255.0, 0x81 / 255.0, 1);
    const Color other(0x51 / 255.0, 0x51 / 255.0, 0x51 / 255.0, 1);
    GStateGuard guard(ctx);
    ctx.clipToPath(BezierPath::roundedRect(bounds(), 3, 3));
    for (int i = 0; i < segmentCount(); ++i) {
        const Rect frame = frameForSegment(i);
        ctx.setFillColor(isSelectedForSegment(i) || m_pressed == i ? selected : other);
        ctx.fillRect(frame);
        drawSegment(ctx, i, frame);
    }
}

void SegmentedControl::drawSegment(GraphicsContext& ctx, int segment, const Rect& frame)
{
    const Image& image = m_segments[size_t(segment)].image;
    if (image.isNull())
        return;
    const Size s = image.size();
    ctx.drawImage(image,
        Rect(frame.x() + (frame.size.width - s.width) / 2,
            frame.y() + (frame.size.height - s.height) / 2, s.width, s.height));
}

void SegmentedControl::mouseDown(const Point& location, unsigned)
{
    const int segment = segmentAt(location);
    if (!isEnabledForSegment(segment))
        return;
    if (QMenu* menu = m_segments[size_t(segment)].menu) {
        const Rect f = frameForSegment(segment);
        menu->popup(mapToGlobal(convertToWidget(Point(f.x(), f.y())).toPoint()));
        return;
    }
    m_pressed = segment;
    update();
}

void SegmentedControl::mouseDragged(const Point&, unsigned)
{
    if (m_pressed >= 0)
        update();
}

void SegmentedControl::mouseUp(const Point& location, unsigned)
{
    const int pressed = std::exchange(m_pressed, -1);
    update();
    if (pressed < 0 || segmentAt(location) != pressed || !isEnabledForSegment(pressed))
        return;
    m_clicked = pressed;
    switch (m_mode) {
    case TrackingMode::SelectOne:
        setSelected(true, pressed);
        break;
    case TrackingMode::SelectAny:
        setSelected(!isSelectedForSegment(pressed), pressed);
        break;
    case TrackingMode::Momentary:
        m_momentary = pressed;
        break;
    }
    sendAction();
}

} // namespace platform
