#include "platform/ui/Control.h"

#include "platform/ui/Event.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace platform {

Control::Control(QWidget* parent)
    : QWidget(parent)
{
}

Control::~Control() = default;

int Control::arrowKeySteps(const QKeyEvent& event)
{
    const int size = (event.modifiers() & Qt::ShiftModifier) ? 10 : 1;
    switch (event.key()) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        return size;
    case Qt::Key_Left:
    case Qt::Key_Down:
        return -size;
    default:
        return 0;
    }
}

void Control::drawFocusRing(GraphicsContext& ctx, const BezierPath& path)
{
    GStateGuard guard(ctx);
    ctx.clearShadow();
    ctx.setStrokeColor(Color(0.23, 0.55, 1.0, 1.0));
    ctx.setStrokeStyle(StrokeStyle { 2.0 });
    ctx.strokePath(path);
}

void Control::sendAction()
{
    if (m_action)
        m_action(*this);
}

Rect Control::bounds() const
{
    return Rect(0, 0, width(), height());
}

Point Control::convertFromWidget(const QPointF& p) const
{
    return Point(p.x(), height() - p.y());
}

QPointF Control::convertToWidget(const Point& p) const
{
    return QPointF(p.x, height() - p.y);
}

QImage Control::renderToImage(double scale)
{
    const double s = (std::isfinite(scale) && scale > 0.0) ? std::min(scale, 16.0) : 1.0;
    return renderBuffer(s, bounds());
}

QImage Control::renderBuffer(double scale, const Rect& dirty)
{
    QImage image(std::max(1, int(std::ceil(width() * scale))),
        std::max(1, int(std::ceil(height() * scale))), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        GraphicsContext ctx(image, scale);
        ctx.clipToRect(dirty);
        drawRect(ctx, dirty);
    }
    return image;
}

void Control::mouseDown(const Point&, unsigned)
{
}
void Control::mouseDragged(const Point&, unsigned)
{
}
void Control::mouseUp(const Point&, unsigned)
{
}
void Control::mouseMoved(const Point&, unsigned)
{
}
void Control::rightMouseDown(const Point&, unsigned)
{
}

void Control::hoverChanged()
{
    update();
}

// Controls draw into a buffer at the screen's pixel density, so that what they cache per
// device scale (artwork, string pictures) is made at the scale it lands on, then copy it 1:1.
void Control::paintEvent(QPaintEvent* event)
{
    const QRect area = event->rect();
    const Rect dirty(area.x(), height() - (area.y() + area.height()), area.width(), area.height());
    const double ratio = devicePixelRatioF();
    const double dpr = std::isfinite(ratio) && ratio > 0 ? std::min(ratio, 16.0) : 1.0;
    QImage buffer = renderBuffer(dpr, dirty);
    buffer.setDevicePixelRatio(dpr);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), buffer);
}

void Control::mousePressEvent(QMouseEvent* event)
{
    const Point p = convertFromWidget(event->position());
    const unsigned flags = Event::modifierFlagsFromQt(event->modifiers());
    if (event->button() == Qt::RightButton
        || (event->button() == Qt::LeftButton && (event->modifiers() & Qt::MetaModifier))) {
        rightMouseDown(p, flags);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_tracking = true;
    setHighlighted(true);
    mouseDown(p, flags);
}

void Control::mouseMoveEvent(QMouseEvent* event)
{
    const Point p = convertFromWidget(event->position());
    const unsigned flags = Event::modifierFlagsFromQt(event->modifiers());
    if (m_tracking) {
        setHighlighted(rect().contains(event->position().toPoint()));
        mouseDragged(p, flags);
    } else {
        mouseMoved(p, flags);
    }
}

void Control::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_tracking)
        return;
    m_tracking = false;
    setHighlighted(false);
    mouseUp(convertFromWidget(event->position()), Event::modifierFlagsFromQt(event->modifiers()));
}

void Control::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovered(true);
}

void Control::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovered(false);
}

void Control::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    refreshHoverFromCursor();
}

void Control::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    refreshHoverFromCursor();
}

void Control::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) {
            m_tracking = false;
            m_highlighted = false;
        }
        update();
    }
}

void Control::setHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    hoverChanged();
}

void Control::setHighlighted(bool highlighted)
{
    if (m_highlighted == highlighted)
        return;
    m_highlighted = highlighted;
    update();
}

// Qt sends no enter or leave when the control moves or grows under a still pointer, so the
// hover is re-read from where the pointer is.
void Control::refreshHoverFromCursor()
{
    if (!isVisible())
        return;
    const QPoint global = QCursor::pos();
    const QWidget* top = window();
    const bool pointerInWindow = top->rect().contains(top->mapFromGlobal(global));
    setHovered(pointerInWindow && rect().contains(mapFromGlobal(global)));
}

} // namespace platform
