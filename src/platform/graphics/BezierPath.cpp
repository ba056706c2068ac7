#include "platform/graphics/BezierPath.h"

#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace platform {

int PathElement::pointCount() const
{
    switch (kind) {
    case PathElementKind::MoveTo:
    case PathElementKind::LineTo:
        return 1;
    case PathElementKind::CurveTo:
        return 3;
    case PathElementKind::ClosePath:
        return 0;
    }
    return 0;
}

bool PathElement::operator==(const PathElement& o) const
{
    if (kind != o.kind)
        return false;
    for (int i = 0; i < pointCount(); ++i) {
        if (!(points[size_t(i)] == o.points[size_t(i)]))
            return false;
    }
    return true;
}

struct BezierPath::Data {
    std::vector<PathElement> elements;

    // Tight bounds, computed on first request after a change. The mutex makes the lazy fill
    // safe when copies sharing this data are read on several threads.
    mutable std::mutex boundsMutex;
    mutable bool boundsValid = false;
    mutable Rect boundsCache;

    Data() = default;
    Data(const Data& o)
        : elements(o.elements)
    {
    }
};

namespace {

const std::vector<PathElement>& emptyElements()
{
    static const std::vector<PathElement> none;
    return none;
}

// The curve's extrema along one axis: parameters in (0, 1) where the derivative vanishes.
void curveExtrema(double p0, double p1, double p2, double p3, double out[2], int& count)
{
    count = 0;
    // Derivative / 3: a t^2 + b t + c.
    const double a = -p0 + 3 * p1 - 3 * p2 + p3;
    const double b = 2 * (p0 - 2 * p1 + p2);
    const double c = p1 - p0;
    auto take = [&](double t) {
        if (t > 0.0 && t < 1.0)
            out[count++] = t;
    };
    const double scale = std::max({ std::abs(a), std::abs(b), std::abs(c) });
    if (scale == 0.0)
        return;
    if (std::abs(a) <= 1e-12 * scale) {
        if (b != 0.0)
            take(-c / b);
        return;
    }
    const double disc = b * b - 4 * a * c;
    if (disc < 0.0)
        return;
    const double root = std::sqrt(disc);
    // The numerically stable pair of roots.
    const double q = -0.5 * (b + (b < 0 ? -root : root));
    take(q / a);
    if (q != 0.0)
        take(c / q);
}

double cubicAt(double p0, double p1, double p2, double p3, double t)
{
    const double mt = 1 - t;
    return mt * mt * mt * p0 + 3 * mt * mt * t * p1 + 3 * mt * t * t * p2 + t * t * t * p3;
}

struct BoxBuilder {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool any = false;
    void add(const Point& p)
    {
        if (!any) {
            x0 = x1 = p.x;
            y0 = y1 = p.y;
            any = true;
            return;
        }
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    Rect rect() const { return any ? Rect(x0, y0, x1 - x0, y1 - y0) : Rect(); }
};

constexpr double kKappa = 0.5522847498307936; // control distance for a quarter circle

} // namespace

BezierPath::BezierPath() = default;

void BezierPath::detach()
{
    if (!m_data)
        m_data = std::make_shared<Data>();
    else if (m_data.use_count() > 1)
        m_data = std::make_shared<Data>(*m_data);
    m_data->boundsValid = false;
}

BezierPath BezierPath::rect(const Rect& r)
{
    BezierPath p;
    p.appendRect(r);
    return p;
}

BezierPath BezierPath::oval(const Rect& r)
{
    BezierPath p;
    p.appendOval(r);
    return p;
}

BezierPath BezierPath::roundedRect(const Rect& rect, double xRadius, double yRadius)
{
    const Rect r = rect.standardized();
    const double rx = std::clamp(std::isfinite(xRadius) ? xRadius : 0.0, 0.0, r.width() / 2);
    const double ry = std::clamp(std::isfinite(yRadius) ? yRadius : 0.0, 0.0, r.height() / 2);
    if (rx <= 0.0 || ry <= 0.0)
        return BezierPath::rect(r);
    const double x0 = r.minX(), x1 = r.maxX(), y0 = r.minY(), y1 = r.maxY();
    const double kx = rx * kKappa, ky = ry * kKappa;
    BezierPath p;
    // Counter-clockwise from the bottom edge, like the other closed shapes.
    p.moveTo({ x0 + rx, y0 });
    p.lineTo({ x1 - rx, y0 });
    p.curveTo({ x1, y0 + ry }, { x1 - rx + kx, y0 }, { x1, y0 + ry - ky });
    p.lineTo({ x1, y1 - ry });
    p.curveTo({ x1 - rx, y1 }, { x1, y1 - ry + ky }, { x1 - rx + kx, y1 });
    p.lineTo({ x0 + rx, y1 });
    p.curveTo({ x0, y1 - ry }, { x0 + rx - kx, y1 }, { x0, y1 - ry + ky });
    p.lineTo({ x0, y0 + ry });
    p.curveTo({ x0 + rx, y0 }, { x0, y0 + ry - ky }, { x0 + rx - kx, y0 });
    p.closePath();
    return p;
}

void BezierPath::moveTo(const Point& p)
{
    detach();
    m_data->elements.push_back({ PathElementKind::MoveTo, { p, Point(), Point() } });
}

// Lines and curves need a current point: after a close the subpath's start becomes one
// (an explicit move, as the element list records it); an empty path starts at the segment's
// own end point.
static void ensureStart(
    std::vector<PathElement>& elements, const Point& fallback, const Point& current)
{
    if (elements.empty())
        elements.push_back({ PathElementKind::MoveTo, { fallback, Point(), Point() } });
    else if (elements.back().kind == PathElementKind::ClosePath)
        elements.push_back({ PathElementKind::MoveTo, { current, Point(), Point() } });
}

void BezierPath::lineTo(const Point& p)
{
    const Point current = currentPoint();
    detach();
    ensureStart(m_data->elements, p, current);
    m_data->elements.push_back({ PathElementKind::LineTo, { p, Point(), Point() } });
}

void BezierPath::curveTo(const Point& end, const Point& control1, const Point& control2)
{
    const Point current = currentPoint();
    detach();
    ensureStart(m_data->elements, end, current);
    m_data->elements.push_back({ PathElementKind::CurveTo, { control1, control2, end } });
}

void BezierPath::closePath()
{
    if (isEmpty() || m_data->elements.back().kind == PathElementKind::ClosePath)
        return;
    detach();
    m_data->elements.push_back({ PathElementKind::ClosePath, {} });
}

void BezierPath::appendArcFromPoint(const Point& p1, const Point& p2, double radius)
{
    if (isEmpty() || elementAt(elementCount() - 1).kind == PathElementKind::ClosePath) {
        if (isEmpty())
            moveTo(p1);
        else
            lineTo(p1);
        return;
    }
    const Point p0 = currentPoint();
    const Point a = p0 - p1;
    const Point b = p2 - p1;
    const double la = std::hypot(a.x, a.y);
    const double lb = std::hypot(b.x, b.y);
    const double cross = a.x * b.y - a.y * b.x;
    if (!(radius > 0.0) || !(la > 0.0) || !(lb > 0.0) || !std::isfinite(radius)
        || std::abs(cross) <= 1e-12 * la * lb) {
        lineTo(p1);
        return;
    }
    const Point ua = a * (1.0 / la);
    const Point ub = b * (1.0 / lb);
    // The corner's half angle; the tangent points sit at radius / tan(half) from it.
    const double cosAngle = std::clamp(ua.x * ub.x + ua.y * ub.y, -1.0, 1.0);
    const double half = std::acos(cosAngle) / 2.0;
    const double dist = radius / std::tan(half);
    const Point t1 = p1 + ua * dist;
    const Point t2 = p1 + ub * dist;
    Point bis = ua + ub;
    const double lbis = std::hypot(bis.x, bis.y);
    bis = bis * (1.0 / lbis);
    const Point centre = p1 + bis * (radius / std::sin(half));
    lineTo(t1);
    double start = std::atan2(t1.y - centre.y, t1.x - centre.x);
    double sweep = std::atan2(t2.y - centre.y, t2.x - centre.x) - start;
    // The arc is the short way round (less than a half turn).
    if (sweep > M_PI)
        sweep -= 2 * M_PI;
    else if (sweep < -M_PI)
        sweep += 2 * M_PI;
    const int pieces = std::max(1, int(std::ceil(std::abs(sweep) / (M_PI / 2) - 1e-9)));
    const double step = sweep / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4.0);
    for (int i = 0; i < pieces; ++i) {
        const double a0 = start + step * i;
        const double a1 = a0 + step;
        const Point e0(std::cos(a0), std::sin(a0));
        const Point e1(std::cos(a1), std::sin(a1));
        const Point end = i + 1 == pieces ? t2 : centre + e1 * radius;
        curveTo(end, centre + (e0 + Point(-e0.y, e0.x) * k) * radius,
            centre + (e1 - Point(-e1.y, e1.x) * k) * radius);
    }
}

double BezierPath::lineWidth() const
{
    return m_lineWidth;
}

void BezierPath::setLineWidth(double width)
{
    m_lineWidth = width;
}

BezierPath BezierPath::reversed() const
{
    BezierPath out;
    out.m_lineWidth = m_lineWidth;
    const auto& els = elements();
    const int n = int(els.size());
    out.reserve(n);
    int begin = 0;
    while (begin < n) {
        // One subpath: a move (or an implicit start) and everything up to the next move.
        int end = begin + 1;
        while (end < n && els[size_t(end)].kind != PathElementKind::MoveTo)
            ++end;
        bool closed = false;
        int last = end - 1;
        if (els[size_t(last)].kind == PathElementKind::ClosePath && last > begin) {
            closed = true;
            --last;
        }
        auto endOf = [&](int i) {
            const PathElement& e = els[size_t(i)];
            return e.kind == PathElementKind::CurveTo ? e.points[2] : e.points[0];
        };
        out.moveTo(endOf(last));
        for (int i = last; i > begin; --i) {
            const PathElement& e = els[size_t(i)];
            const Point prev = endOf(i - 1);
            if (e.kind == PathElementKind::CurveTo)
                out.curveTo(prev, e.points[1], e.points[0]);
            else if (e.kind == PathElementKind::LineTo)
                out.lineTo(prev);
        }
        if (closed)
            out.closePath();
        begin = end;
    }
    return out;
}

void BezierPath::reserve(int elementCount)
{
    if (elementCount <= this->elementCount())
        return;
    detach();
    m_data->elements.reserve(std::size_t(elementCount));
}

void BezierPath::appendPath(const BezierPath& other)
{
    if (other.isEmpty())
        return;
    const std::vector<PathElement> copy = other.elements(); // other may share our data
    detach();
    m_data->elements.insert(m_data->elements.end(), copy.begin(), copy.end());
}

void BezierPath::appendRect(const Rect& rect)
{
    const Rect r = rect.standardized();
    moveTo({ r.minX(), r.minY() });
    lineTo({ r.maxX(), r.minY() });
    lineTo({ r.maxX(), r.maxY() });
    lineTo({ r.minX(), r.maxY() });
    closePath();
}

void BezierPath::appendOval(const Rect& rect)
{
    const Rect r = rect.standardized();
    const double cx = r.midX(), cy = r.midY();
    const double rx = r.width() / 2, ry = r.height() / 2;
    const double kx = rx * kKappa, ky = ry * kKappa;
    moveTo({ cx + rx, cy });
    curveTo({ cx, cy + ry }, { cx + rx, cy + ky }, { cx + kx, cy + ry });
    curveTo({ cx - rx, cy }, { cx - kx, cy + ry }, { cx - rx, cy + ky });
    curveTo({ cx, cy - ry }, { cx - rx, cy - ky }, { cx - kx, cy - ry });
    curveTo({ cx + rx, cy }, { cx + kx, cy - ry }, { cx + rx, cy - ky });
    closePath();
}

void BezierPath::removeAllPoints()
{
    if (isEmpty())
        return;
    detach();
    m_data->elements.clear();
}

int BezierPath::elementCount() const
{
    return m_data ? int(m_data->elements.size()) : 0;
}

const PathElement& BezierPath::elementAt(int index) const
{
    return m_data->elements.at(size_t(index));
}

const std::vector<PathElement>& BezierPath::elements() const
{
    return m_data ? m_data->elements : emptyElements();
}

Point BezierPath::currentPoint() const
{
    const auto& els = elements();
    if (els.empty())
        return {};
    const PathElement& last = els.back();
    switch (last.kind) {
    case PathElementKind::MoveTo:
    case PathElementKind::LineTo:
        return last.points[0];
    case PathElementKind::CurveTo:
        return last.points[2];
    case PathElementKind::ClosePath:
        for (size_t i = els.size() - 1; i-- > 0;) {
            if (els[i].kind == PathElementKind::MoveTo)
                return els[i].points[0];
        }
        return els.front().points[0];
    }
    return {};
}

Rect BezierPath::bounds() const
{
    if (isEmpty())
        return Rect();
    std::lock_guard lock(m_data->boundsMutex);
    if (m_data->boundsValid)
        return m_data->boundsCache;
    BoxBuilder box;
    Point current;
    for (const PathElement& e : m_data->elements) {
        switch (e.kind) {
        case PathElementKind::MoveTo:
        case PathElementKind::LineTo:
            current = e.points[0];
            box.add(current);
            break;
        case PathElementKind::CurveTo: {
            const Point &c1 = e.points[0], &c2 = e.points[1], &end = e.points[2];
            box.add(end);
            double ts[2];
            int n = 0;
            curveExtrema(current.x, c1.x, c2.x, end.x, ts, n);
            for (int i = 0; i < n; ++i)
                box.add({ cubicAt(current.x, c1.x, c2.x, end.x, ts[i]),
                    cubicAt(current.y, c1.y, c2.y, end.y, ts[i]) });
            curveExtrema(current.y, c1.y, c2.y, end.y, ts, n);
            for (int i = 0; i < n; ++i)
                box.add({ cubicAt(current.x, c1.x, c2.x, end.x, ts[i]),
                    cubicAt(current.y, c1.y, c2.y, end.y, ts[i]) });
            current = end;
            break;
        }
        case PathElementKind::ClosePath:
            break;
        }
    }
    m_data->boundsCache = box.rect();
    m_data->boundsValid = true;
    return m_data->boundsCache;
}

Rect BezierPath::controlPointBounds() const
{
    BoxBuilder box;
    for (const PathElement& e : elements()) {
        for (int i = 0; i < e.pointCount(); ++i)
            box.add(e.points[size_t(i)]);
    }
    return box.rect();
}

void BezierPath::transform(const AffineTransform& t)
{
    if (isEmpty())
        return;
    detach();
    for (PathElement& e : m_data->elements) {
        for (int i = 0; i < e.pointCount(); ++i)
            e.points[size_t(i)] = t.map(e.points[size_t(i)]);
    }
}

BezierPath BezierPath::transformed(const AffineTransform& t) const
{
    BezierPath copy = *this;
    copy.transform(t);
    return copy;
}

bool BezierPath::containsPoint(const Point& p) const
{
    if (isEmpty() || !p.isFinite())
        return false;
    return toQPainterPath().contains(p.toQt());
}

BezierPath BezierPath::strokedPath(const StrokeStyle& style) const
{
    if (isEmpty() || !std::isfinite(style.width) || style.width <= 0.0)
        return {};
    QPainterPathStroker stroker;
    stroker.setWidth(style.width);
    switch (style.cap) {
    case LineCap::Butt:
        stroker.setCapStyle(Qt::FlatCap);
        break;
    case LineCap::Round:
        stroker.setCapStyle(Qt::RoundCap);
        break;
    case LineCap::Square:
        stroker.setCapStyle(Qt::SquareCap);
        break;
    }
    switch (style.join) {
    case LineJoin::Miter:
        stroker.setJoinStyle(Qt::SvgMiterJoin);
        break;
    case LineJoin::Round:
        stroker.setJoinStyle(Qt::RoundJoin);
        break;
    case LineJoin::Bevel:
        stroker.setJoinStyle(Qt::BevelJoin);
        break;
    }
    stroker.setMiterLimit(std::isfinite(style.miterLimit) ? std::max(style.miterLimit, 1.0) : 10.0);
    QPainterPath outline = stroker.createStroke(toQPainterPath());
    outline.setFillRule(Qt::WindingFill);
    return fromQPainterPath(outline);
}

QPainterPath BezierPath::toQPainterPath() const
{
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    for (const PathElement& e : elements()) {
        switch (e.kind) {
        case PathElementKind::MoveTo:
            out.moveTo(e.points[0].toQt());
            break;
        case PathElementKind::LineTo:
            out.lineTo(e.points[0].toQt());
            break;
        case PathElementKind::CurveTo:
            out.cubicTo(e.points[0].toQt(), e.points[1].toQt(), e.points[2].toQt());
            break;
        case PathElementKind::ClosePath:
            out.closeSubpath();
            break;
        }
    }
    return out;
}

BezierPath BezierPath::fromQPainterPath(const QPainterPath& path)
{
    BezierPath out;
    const int n = path.elementCount();
    if (n == 0)
        return out;
    out.detach();
    auto& els = out.m_data->elements;
    els.reserve(size_t(n));
    Point subpathStart;
    auto closeIfBackAtStart = [&] {
        // Qt closes a subpath with a line back to its start (or by ending there); the element
        // list marks it closed instead, so that closed paths convert back unchanged.
        if (els.empty() || els.back().kind == PathElementKind::MoveTo
            || els.back().kind == PathElementKind::ClosePath)
            return;
        const PathElement& last = els.back();
        const Point end = last.kind == PathElementKind::CurveTo ? last.points[2] : last.points[0];
        if (end != subpathStart)
            return;
        if (last.kind == PathElementKind::LineTo && els.size() >= 2
            && els[els.size() - 2].kind != PathElementKind::MoveTo)
            els.back() = { PathElementKind::ClosePath, {} };
        else
            els.push_back({ PathElementKind::ClosePath, {} });
    };
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const Point p(e.x, e.y);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            closeIfBackAtStart();
            subpathStart = p;
            els.push_back({ PathElementKind::MoveTo, { p, Point(), Point() } });
            break;
        case QPainterPath::LineToElement:
            els.push_back({ PathElementKind::LineTo, { p, Point(), Point() } });
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < n) {
                const QPainterPath::Element c2 = path.elementAt(i + 1);
                const QPainterPath::Element end = path.elementAt(i + 2);
                els.push_back(
                    { PathElementKind::CurveTo, { p, Point(c2.x, c2.y), Point(end.x, end.y) } });
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break; // consumed with its curve
        }
    }
    closeIfBackAtStart();
    return out;
}

bool BezierPath::operator==(const BezierPath& other) const
{
    if (m_data == other.m_data)
        return true;
    return elements() == other.elements();
}

} // namespace platform
