// The part of a path that can show: a path reaching far past what is visible (a stroke of
// huge width, a point far out) costs the rasteriser its whole length in cells, however little
// of it shows. Such a path is cut to the visible area before it is filled or clipped to, so
// that the work is bounded by what is shown rather than by the coordinates.
#include "platform/graphics/GraphicsContextInternal.h"

#include <algorithm>
#include <cmath>

namespace platform::graphicsinternal {

namespace {

// One side of an axis-aligned rectangle: the points on the kept side of x = at (or y = at).
struct Edge {
    bool vertical; // x = at
    bool keepAbove; // keep x >= at (or y >= at)
    double at;

    bool inside(const QPointF& p) const
    {
        const double v = vertical ? p.x() : p.y();
        return keepAbove ? v >= at : v <= at;
    }
    QPointF crossing(const QPointF& a, const QPointF& b) const
    {
        const double va = vertical ? a.x() : a.y();
        const double vb = vertical ? b.x() : b.y();
        const double t = (at - va) / (vb - va);
        const QPointF p = a + (b - a) * t;
        return vertical ? QPointF(at, p.y()) : QPointF(p.x(), at);
    }
};

// Sutherland-Hodgman against one side. The polygon is closed implicitly. Cutting a closed
// polygon by a convex area keeps its winding number at every point inside the area, so the
// fill there is the same under either rule.
QPolygonF cut(const QPolygonF& in, const Edge& edge)
{
    QPolygonF out;
    const qsizetype n = in.size();
    if (n == 0)
        return out;
    out.reserve(n + 4);
    QPointF prev = in[n - 1];
    bool prevInside = edge.inside(prev);
    for (const QPointF& p : in) {
        const bool inside = edge.inside(p);
        if (inside != prevInside)
            out << edge.crossing(prev, p);
        if (inside)
            out << p;
        prev = p;
        prevInside = inside;
    }
    return out;
}

} // namespace

QPainterPath cutToArea(const QPainterPath& device, const QRectF& area)
{
    const Edge edges[] = { { true, true, area.left() }, { true, false, area.right() },
        { false, true, area.top() }, { false, false, area.bottom() } };
    QPainterPath out;
    out.setFillRule(device.fillRule());
    for (QPolygonF polygon : device.toSubpathPolygons()) {
        for (const Edge& edge : edges)
            polygon = cut(polygon, edge);
        if (polygon.size() >= 3) {
            out.addPolygon(polygon);
            out.closeSubpath();
        }
    }
    return out;
}

} // namespace platform::graphicsinternal

namespace platform {

using namespace graphicsinternal;

namespace {
// How many times the area that shows a path's bounds may cover before the path is cut.
constexpr double kManyTimesShown = 16.0;
} // namespace

QPainterPath GraphicsContext::Impl::shownPart(
    const QPainterPath& user, const QTransform& toDevice, bool* cut) const
{
    if (cut)
        *cut = false;
    if (!isFiniteTransform(toDevice) || toDevice.determinant() == 0.0)
        return user;
    // The surface, not the clip: a path cut for a clip and then filled through it must be cut
    // the same both times, so that it is still seen as the same path (drawn once, not twice).
    const QRectF visible = QRectF(surfaces.back().deviceRect);
    if (visible.isEmpty())
        return user;
    const QRectF bounds = toDevice.mapRect(user.controlPointRect());
    if (!std::isfinite(bounds.left()) || !std::isfinite(bounds.top())
        || !std::isfinite(bounds.width()) || !std::isfinite(bounds.height()))
        return user; // nothing to cut by: the drawing refuses it by its bounds
    // A path that stays within a screen or so of what shows is drawn as it is: cutting would
    // change nothing a person sees, and only costs. But one that covers many times the area
    // that shows (a line's heads at a huge width) costs the painter's rasteriser its whole size
    // even so: a tenth of a second for a few thousand pixels around a screen.
    const double near = std::max({ kShownPartSlack, visible.width(), visible.height() });
    const bool manyTimesShown
        = bounds.width() * bounds.height() > kManyTimesShown * visible.width() * visible.height();
    if (visible.adjusted(-near, -near, near, near).contains(bounds) && !manyTimesShown)
        return user;
    // Antialiased edges reach a pixel out, and a shadow its blur and offset further.
    double margin = 4.0;
    if (const auto& shadow = state().shadow) {
        const QPoint offset = shadowOffset(*shadow);
        const double blur = std::isfinite(shadow->blur) ? std::max(shadow->blur, 0.0) : 0.0;
        margin += std::abs(offset.x()) + std::abs(offset.y()) + 2.0 * blur * baseScale;
    }
    const QPainterPath cutPath
        = cutToArea(toDevice.map(user), visible.adjusted(-margin, -margin, margin, margin));
    if (cut)
        *cut = true;
    return toDevice.inverted().map(cutPath);
}

Operation GraphicsContext::Impl::shownBrushOperation(
    const QPainterPath& path, const QBrush& brush, const QTransform& toDevice) const
{
    bool cut = false;
    Operation op = brushOperation(shownPart(path, toDevice, &cut), brush);
    op.cut = cut;
    return op;
}

} // namespace platform
