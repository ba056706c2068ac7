#include "window/BackgroundView.h"

#include "window/WindowLogging.h"

#include <QResizeEvent>

using namespace platform;

BackgroundView::BackgroundView(QWidget* parent)
    : Control(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_TranslucentBackground);
}

void BackgroundView::setArrowX(long arrowX)
{
    m_arrowX = arrowX;
    update();
}

void BackgroundView::setBackgroundColor(const Color& color)
{
    m_backgroundColor = color;
    update();
}

// Hover follows the bounds through the control base; the log line marks the renewal.
void BackgroundView::resizeEvent(QResizeEvent* event)
{
    qCDebug(lcWindow) << "updateTrackingAreas";
    Control::resizeEvent(event);
}

BezierPath BackgroundView::calloutPath(const Rect& b, long arrowX)
{
    const Rect r = b.insetBy(1, 1);
    const double x0 = r.x(), x1 = r.x() + r.size.width, y0 = r.y();
    const double t = r.y() + r.size.height, bt = t - 8;
    // Measured from half the inset width, without its x, as the arrow has always been placed.
    const double m = r.size.width / 2 + double(arrowX);
    BezierPath p;
    p.moveTo({ m, t });
    p.lineTo({ m + 6, bt });
    p.lineTo({ x1 - 6, bt });
    p.curveTo({ x1, bt - 6 }, { x1, bt }, { x1, bt });
    p.lineTo({ x1, y0 + 6 });
    p.curveTo({ x1 - 6, y0 }, { x1, y0 }, { x1, y0 });
    p.lineTo({ x0 + 6, y0 });
    p.curveTo({ x0, y0 + 6 }, { x0, y0 }, { x0, y0 });
    p.lineTo({ x0, bt - 6 });
    p.curveTo({ x0 + 6, bt }, { x0, bt }, { x0, bt });
    p.lineTo({ m - 6, bt });
    p.closePath();
    return p;
}

void BackgroundView::drawRect(GraphicsContext& ctx, const Rect&)
{
    const Rect b = bounds();
    ctx.clearRect(b);
    const BezierPath callout = calloutPath(b, m_arrowX);
    {
        GStateGuard guard(ctx);
        ctx.setFillColor(m_backgroundColor);
        ctx.fillPath(callout);
    }
    GStateGuard guard(ctx);
    // The bounds counter-clockwise and the callout clockwise: under non-zero winding the
    // callout's inside is out of the clip, so only the stroke's outer half shows.
    BezierPath outside;
    outside.moveTo({ b.x(), b.y() });
    outside.lineTo({ b.maxX(), b.y() });
    outside.lineTo({ b.maxX(), b.maxY() });
    outside.lineTo({ b.x(), b.maxY() });
    outside.closePath();
    outside.appendPath(callout);
    ctx.clipToPath(outside);
    ctx.setStrokeColor(Color::white());
    ctx.setStrokeStyle(StrokeStyle { 2.0 });
    ctx.strokePath(callout);
}
