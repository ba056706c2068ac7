// GraphicsContext gradients: linear and radial between two points or circles, with or
// without extension past the ends, and the path forms fitted to a path's bounds.
#include "platform/graphics/GraphicsContextInternal.h"

#include <limits>

namespace platform {

using namespace graphicsinternal;

void GraphicsContext::drawLinearGradient(
    const Gradient& g, const Point& start, const Point& end, unsigned options)
{
    const QTransform toDevice = d->userToDevice();
    const auto inv = toDevice.inverted();
    const QRectF visible = d->visibleDeviceRect();
    if (visible.isEmpty())
        return;
    QPainterPath area;
    area.addPolygon(inv.map(QPolygonF(visible)));
    area.closeSubpath();

    const double dx = end.x - start.x, dy = end.y - start.y;
    const double length = std::hypot(dx, dy);
    if (!std::isfinite(length) || length <= 0.0)
        return;
    if ((options & (GradientDrawsBeforeStart | GradientDrawsAfterEnd))
        != (GradientDrawsBeforeStart | GradientDrawsAfterEnd)) {
        // Qt pads past both ends: cut the area to the band the options allow.
        const QRectF b = area.boundingRect();
        const double far = std::hypot(b.width(), b.height())
            + std::hypot(b.center().x() - start.x, b.center().y() - start.y) + length;
        const double ux = dx / length, uy = dy / length;
        const double a0 = (options & GradientDrawsBeforeStart) ? -far : 0.0;
        const double a1 = (options & GradientDrawsAfterEnd) ? length + far : length;
        auto at = [&](double a, double n) {
            return QPointF(start.x + ux * a - uy * n, start.y + uy * a + ux * n);
        };
        QPainterPath band;
        band.addPolygon(QPolygonF({ at(a0, -far), at(a1, -far), at(a1, far), at(a0, far) }));
        band.closeSubpath();
        area = area.intersected(band);
    }
    QLinearGradient lg(start.toQt(), end.toQt());
    lg.setStops(g.toQtStops());
    d->runInState(brushOperation(area, QBrush(lg)), toDevice);
}

void GraphicsContext::drawRadialGradient(const Gradient& g, const Point& startCenter,
    double startRadius, const Point& endCenter, double endRadius, unsigned options)
{
    if (!std::isfinite(startRadius) || !std::isfinite(endRadius) || startRadius < 0
        || endRadius < 0)
        return;
    const QTransform toDevice = d->userToDevice();
    const QRectF visible = d->visibleDeviceRect();
    if (visible.isEmpty())
        return;
    QPainterPath area;
    area.addPolygon(toDevice.inverted().map(QPolygonF(visible)));
    area.closeSubpath();

    auto disc = [](const Point& c, double r) {
        QPainterPath p;
        p.addEllipse(c.toQt(), r, r);
        return p;
    };
    const double dist = std::hypot(endCenter.x - startCenter.x, endCenter.y - startCenter.y);
    const bool endHoldsStart = dist + startRadius <= endRadius;
    if (!(options & GradientDrawsAfterEnd)) {
        // Past the end nothing is drawn: keep the hull of the two circles, the union of every
        // circle between them.
        QPainterPath hull = disc(startCenter, startRadius).united(disc(endCenter, endRadius));
        if (dist > std::abs(endRadius - startRadius)) {
            const double phi = std::atan2(endCenter.y - startCenter.y, endCenter.x - startCenter.x);
            const double alpha = std::acos((startRadius - endRadius) / dist);
            auto tangent = [&](const Point& c, double r, double angle) {
                return QPointF(c.x + r * std::cos(angle), c.y + r * std::sin(angle));
            };
            QPolygonF quad({ tangent(startCenter, startRadius, phi + alpha),
                tangent(endCenter, endRadius, phi + alpha),
                tangent(endCenter, endRadius, phi - alpha),
                tangent(startCenter, startRadius, phi - alpha) });
            QPainterPath q;
            q.addPolygon(quad);
            q.closeSubpath();
            hull = hull.united(q);
        }
        area = area.intersected(hull);
    }
    if (!(options & GradientDrawsBeforeStart) && endHoldsStart && startRadius > 0)
        area = area.subtracted(disc(startCenter, startRadius));

    QRadialGradient rg(endCenter.toQt(), endRadius, startCenter.toQt(), startRadius);
    rg.setStops(g.toQtStops());
    d->runInState(brushOperation(area, QBrush(rg)), toDevice);
}

void GraphicsContext::drawLinearGradientInPath(
    const Gradient& g, const BezierPath& path, double angleDegrees)
{
    const Rect b = path.bounds();
    if (path.isEmpty() || !std::isfinite(angleDegrees))
        return;
    const double rad = angleDegrees * M_PI / 180.0;
    const double ux = std::cos(rad), uy = std::sin(rad);
    const Point corners[4] = { { b.minX(), b.minY() }, { b.maxX(), b.minY() },
        { b.maxX(), b.maxY() }, { b.minX(), b.maxY() } };
    Point lo = corners[0];
    double loDot = std::numeric_limits<double>::infinity(), hiDot = -loDot;
    for (const Point& c : corners) {
        const double dot = c.x * ux + c.y * uy;
        if (dot < loDot) {
            loDot = dot;
            lo = c;
        }
        hiDot = std::max(hiDot, dot);
    }
    const double span = hiDot - loDot;
    const Point start = lo;
    Point end(lo.x + ux * span, lo.y + uy * span);
    if (span <= 0.0)
        end = Point(lo.x + ux, lo.y + uy); // a flat path still gets its first colour
    QLinearGradient lg(start.toQt(), end.toQt());
    lg.setStops(g.toQtStops());
    const QTransform toDevice = d->userToDevice();
    d->runInState(
        d->shownBrushOperation(path.toQPainterPath(), QBrush(lg), toDevice), toDevice);
}

void GraphicsContext::drawRadialGradientInPath(
    const Gradient& g, const BezierPath& path, const Point& relativeCenter)
{
    if (path.isEmpty())
        return;
    const Rect b = path.bounds();
    const double rx = std::isfinite(relativeCenter.x) ? relativeCenter.x : 0.0;
    const double ry = std::isfinite(relativeCenter.y) ? relativeCenter.y : 0.0;
    const Point c(b.midX() + rx * b.width() / 2, b.midY() + ry * b.height() / 2);
    double radius = 0.0;
    for (const Point& k : { Point(b.minX(), b.minY()), Point(b.maxX(), b.minY()),
             Point(b.maxX(), b.maxY()), Point(b.minX(), b.maxY()) })
        radius = std::max(radius, std::hypot(k.x - c.x, k.y - c.y));
    if (!(radius > 0.0))
        radius = 1.0;
    QRadialGradient rg(c.toQt(), radius);
    rg.setStops(g.toQtStops());
    const QTransform toDevice = d->userToDevice();
    d->runInState(
        d->shownBrushOperation(path.toQPainterPath(), QBrush(rg), toDevice), toDevice);
}

} // namespace platform
