// GraphicsContext clip: narrowing the clip by a path, its bounds, and the coverage mask of
// the clip (and a shape) over an area for the compositing that needs one.
#include "platform/graphics/GraphicsContextInternal.h"

namespace platform::graphicsinternal {

namespace {

// Whether a path is an axis-aligned rectangle: four lines, in any order and direction. The
// raster engine clips to such paths by rules of its own (snapped or rounded out to whole
// pixels, depending on the order of the corners and on whether the edges are whole), not by
// antialiased coverage.
bool isAxisAlignedRectangle(const QPainterPath& path)
{
    const int n = path.elementCount();
    if (n < 4 || n > 5 || !path.elementAt(0).isMoveTo())
        return false;
    std::array<QPointF, 4> corners;
    for (int i = 0; i < 4; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (i > 0 && !e.isLineTo())
            return false;
        corners[size_t(i)] = QPointF(e.x, e.y);
    }
    if (n == 5 && (!path.elementAt(4).isLineTo() || QPointF(path.elementAt(4)) != corners[0]))
        return false;
    const bool horizontalFirst = corners[0].y() == corners[1].y()
        && corners[1].x() == corners[2].x() && corners[2].y() == corners[3].y()
        && corners[3].x() == corners[0].x();
    const bool verticalFirst = corners[0].x() == corners[1].x() && corners[1].y() == corners[2].y()
        && corners[2].x() == corners[3].x() && corners[3].y() == corners[0].y();
    return horizontalFirst || verticalFirst;
}

bool hasWholePixelBounds(const QPainterPath& path)
{
    const QRectF b = path.controlPointRect();
    return std::floor(b.left()) == b.left() && std::floor(b.top()) == b.top()
        && std::floor(b.right()) == b.right() && std::floor(b.bottom()) == b.bottom();
}

} // namespace

} // namespace platform::graphicsinternal

namespace platform {

using namespace graphicsinternal;

void GraphicsContext::clipToPath(const BezierPath& path)
{
    const QTransform t = d->userToDevice();
    auto clip = std::make_shared<Clip>();
    const std::shared_ptr<const Clip>& outer = d->state().clip;
    if (outer) {
        clip->paths = outer->paths;
        clip->bounds = outer->bounds;
        clip->parent = outer;
    } else {
        clip->bounds = QRectF(-1e9, -1e9, 2e9, 2e9);
    }
    QPainterPath device;
    bool cut = false;
    if (isFiniteTransform(t))
        device = t.map(d->shownPart(path.toQPainterPath(), t, &cut));
    clip->cut = cut || (outer && outer->cut);
    device.setFillRule(Qt::WindingFill);
    clip->bounds = clip->bounds.intersected(device.controlPointRect());
    clip->ownRectangle = isAxisAlignedRectangle(device);
    clip->rectangles = clip->ownRectangle && (!outer || outer->rectangles);
    clip->exact = (!outer || outer->exact)
        && (clip->rectangles || !clip->ownRectangle || hasWholePixelBounds(device));
    clip->paths.push_back(device);
    d->state().clip = std::move(clip);
}

void GraphicsContext::clipToRect(const Rect& r)
{
    clipToPath(BezierPath::rect(r));
}

Rect GraphicsContext::clipBoundingBox() const
{
    if (!d->state().clip)
        return Rect::infinite();
    const QRectF b = d->state().clip->bounds;
    if (b.isEmpty())
        return Rect::null();
    const auto inv = d->userToDevice().inverted();
    return Rect::fromQt(inv.mapRect(b));
}

// The coverage of the clip (and the shape) as the painter's own clip gives it.
std::vector<std::uint8_t> GraphicsContext::Impl::painterCoverageMask(
    const Operation& op, const QRect& area, bool withShape)
{
    QImage mask = newBuffer(area.size());
    std::vector<std::uint8_t> out(size_t(area.width()) * size_t(area.height()), 0);
    if (mask.isNull())
        return out;
    {
        QPainter p(&mask);
        resetPainter(p);
        const QTransform toMask = QTransform::fromTranslate(-area.left(), -area.top());
        p.setTransform(toMask);
        if (state().clip) {
            bool first = true;
            for (const QPainterPath& path : state().clip->paths) {
                p.setClipPath(path, first ? Qt::ReplaceClip : Qt::IntersectClip);
                first = false;
            }
        }
        if (withShape) {
            p.setTransform(op.userToDevice * toMask);
            p.fillPath(op.shape, Qt::black);
        } else {
            p.fillRect(QRect(area), Qt::black);
        }
    }
    for (int y = 0; y < area.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = 0; x < area.width(); ++x)
            out[size_t(y) * size_t(area.width()) + size_t(x)] = std::uint8_t(qAlpha(row[x]));
    }
    return out;
}

std::vector<std::uint8_t> GraphicsContext::Impl::coverageMask(
    const Operation& op, const QRect& area, bool withShape)
{
    const size_t size = size_t(area.width()) * size_t(area.height());
    const Clip* clip = state().clip.get();
    if (clip && !clip->exact)
        return painterCoverageMask(op, area, withShape);
    std::vector<std::uint8_t> out(size, 255);
    auto zero = [&] { std::fill(out.begin(), out.end(), std::uint8_t(0)); };
    if (withShape) {
        const QPainterPath device = op.userToDevice.map(op.shape);
        if (clip && !clip->ownRectangle && samePath(device, clip->paths.back())) {
            // The shape is the clip's own path: its coverage is already rendered.
            const Coverage& all = clip->coverage(area, surface().deviceRect);
            if (all.plane.isNull() || clip->own.plane.isNull()) {
                zero();
                return out;
            }
            for (int y = 0; y < area.height(); ++y) {
                const std::uint8_t* a = all.row(area.top() + y, area.left());
                const std::uint8_t* k = clip->own.row(area.top() + y, area.left());
                std::uint8_t* m = out.data() + size_t(y) * size_t(area.width());
                for (int x = 0; x < area.width(); ++x)
                    m[x] = std::uint8_t(div255(a[x] * k[x]));
            }
            return out;
        }
        const Coverage shape = rasterize(device, area);
        if (shape.plane.isNull()) {
            zero();
            return out;
        }
        for (int y = 0; y < area.height(); ++y)
            std::copy_n(shape.row(area.top() + y, area.left()), area.width(),
                out.begin() + long(y) * area.width());
    }
    if (clip) {
        const Coverage& all = clip->coverage(area, surface().deviceRect);
        if (all.plane.isNull()) {
            zero();
            return out;
        }
        for (int y = 0; y < area.height(); ++y) {
            const std::uint8_t* a = all.row(area.top() + y, area.left());
            std::uint8_t* m = out.data() + size_t(y) * size_t(area.width());
            for (int x = 0; x < area.width(); ++x)
                m[x] = std::uint8_t(div255(m[x] * a[x]));
        }
    }
    return out;
}

} // namespace platform
