#include "platform/text/GlyphCoverageCache.h"

#include "platform/concurrency/Parallel.h"
#include "platform/graphics/CoverageRasterizer.h"

#include <QCoreApplication>
#include <QPainterPath>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

// Glyph origins further out than this (device pixels) are not placed from masks.
constexpr double kFarOrigin = 1 << 26;

template <typename T> void hashMix(size_t& h, const T& v)
{
    h ^= std::hash<T>()(v) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
}

} // namespace

GlyphCoverageCache::GlyphCoverageCache(size_t capacityBytes)
    : m_capacity(capacityBytes)
{
}

GlyphCoverageCache& GlyphCoverageCache::shared()
{
    static GlyphCoverageCache cache;
    // The masks hold their faces, whose font engines must go while the application's font
    // system is still there, not at the program's exit.
    static const bool cleared = [] {
        qAddPostRoutine([] { cache.clear(); });
        return true;
    }();
    (void)cleared;
    return cache;
}

size_t GlyphCoverageCache::KeyHash::operator()(const GlyphMaskKey& key) const
{
    size_t h = qHash(key.face);
    hashMix(h, key.glyph);
    for (double m : key.matrix)
        hashMix(h, m);
    hashMix(h, int(key.quarterX) * 4 + int(key.quarterY));
    hashMix(h, key.stroke.width);
    return h;
}

BezierPath GlyphCoverageCache::outline(const QRawFont& face, quint32 glyph)
{
    if (!face.isValid() || glyph == 0)
        return BezierPath();
    return BezierPath::fromQPainterPath(
        QTransform(1, 0, 0, -1, 0, 0).map(face.pathForGlyph(glyph)));
}

std::shared_ptr<const GlyphMask> GlyphCoverageCache::mask(const GlyphMaskKey& key)
{
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_index.find(key);
        if (found != m_index.end()) {
            m_order.splice(m_order.begin(), m_order, found->second);
            return found->second->second;
        }
    }
    for (double m : key.matrix) {
        if (!std::isfinite(m) || std::abs(m) > 1e6)
            return nullptr;
    }
    if (!std::isfinite(key.stroke.width) || key.stroke.width > kMaxSide)
        return nullptr;
    const QTransform toDevice(key.matrix[0], key.matrix[1], key.matrix[2], key.matrix[3],
        key.quarterX / 4.0, key.quarterY / 4.0);
    BezierPath shape = outline(key.face, key.glyph);
    if (key.stroke.width > 0.0)
        shape = shape.strokedPath(key.stroke);
    const QPainterPath device = toDevice.map(shape.toQPainterPath());
    auto made = std::make_shared<GlyphMask>();
    const QRectF bounds = device.controlPointRect();
    if (!device.isEmpty() && !bounds.isEmpty()) {
        if (!std::isfinite(bounds.width()) || !std::isfinite(bounds.height())
            || bounds.width() > kMaxSide || bounds.height() > kMaxSide)
            return nullptr;
        const QRect r(QPoint(int(std::floor(bounds.left())), int(std::floor(bounds.top()))),
            QPoint(int(std::ceil(bounds.right())) - 1, int(std::ceil(bounds.bottom())) - 1));
        made->offset = r.topLeft();
        made->width = r.width();
        made->height = r.height();
        made->coverage.resize(size_t(r.width()) * size_t(r.height()));
        if (!CoverageRasterizer(device, r).write(r, made->coverage.data(), r.width()))
            return nullptr;
    }
    std::lock_guard lock(m_mutex);
    const auto found = m_index.find(key);
    if (found != m_index.end()) // another thread rendered it meanwhile
        return found->second->second;
    m_order.emplace_front(key, made);
    m_index.emplace(key, m_order.begin());
    m_bytes += made->bytes();
    evictTo(m_capacity);
    return made;
}

void GlyphCoverageCache::evictTo(size_t bytes)
{
    while (m_bytes > bytes && !m_order.empty()) {
        m_bytes -= m_order.back().second->bytes();
        m_index.erase(m_order.back().first);
        m_order.pop_back();
    }
}

std::optional<CoveragePieces> GlyphCoverageCache::runPieces(const std::vector<PlacedGlyph>& glyphs,
    const BezierPath& extra, const AffineTransform& userToDevice, const QRect& area,
    const std::optional<StrokeStyle>& stroke)
{
    CoveragePieces out;
    out.pieces.reserve(glyphs.size() + 1);
    out.owners.reserve(glyphs.size() + 1);
    for (const PlacedGlyph& g : glyphs) {
        if (g.glyph == 0)
            continue;
        const Point o = userToDevice.map(g.origin);
        if (!std::isfinite(o.x) || !std::isfinite(o.y) || std::abs(o.x) > kFarOrigin
            || std::abs(o.y) > kFarOrigin)
            return std::nullopt;
        const double qx = std::floor(o.x * 4.0 + 0.5), qy = std::floor(o.y * 4.0 + 0.5);
        const double wx = std::floor(qx / 4.0), wy = std::floor(qy / 4.0);
        GlyphMaskKey key { g.face, g.glyph,
            { userToDevice.a, userToDevice.b, userToDevice.c, userToDevice.d },
            std::uint8_t(qx - 4.0 * wx), std::uint8_t(qy - 4.0 * wy) };
        if (stroke && stroke->width > 0.0)
            key.stroke = *stroke;
        auto m = mask(key);
        if (!m)
            return std::nullopt;
        if (m->width == 0)
            continue;
        const QRect r(QPoint(int(wx), int(wy)) + m->offset, QSize(m->width, m->height));
        if (r.intersects(area)) {
            const std::uint8_t* bytes = m->coverage.data();
            out.add(r, bytes, std::move(m));
        }
    }
    if (!extra.isEmpty()) {
        const bool stroked = stroke && stroke->width > 0.0;
        const QPainterPath device = userToDevice.toQt().map(
            (stroked ? extra.strokedPath(*stroke) : extra).toQPainterPath());
        const QRectF b = device.controlPointRect().intersected(QRectF(area));
        if (!b.isEmpty() && std::isfinite(b.left()) && std::isfinite(b.right())
            && std::isfinite(b.top()) && std::isfinite(b.bottom())) {
            const QRect r(QPoint(int(std::floor(b.left())), int(std::floor(b.top()))),
                QPoint(int(std::ceil(b.right())) - 1, int(std::ceil(b.bottom())) - 1));
            auto bars = std::make_shared<std::vector<std::uint8_t>>(
                size_t(r.width()) * size_t(r.height()));
            if (!CoverageRasterizer(device, r).write(r, bars->data(), r.width()))
                return std::nullopt;
            const std::uint8_t* bytes = bars->data();
            out.add(r, bytes, std::move(bars));
        }
    }
    return out;
}

std::optional<CoverageMask> GlyphCoverageCache::runCoverage(const std::vector<PlacedGlyph>& glyphs,
    const BezierPath& extra, const AffineTransform& userToDevice, const QRect& area,
    const std::optional<StrokeStyle>& stroke)
{
    const auto pieces = runPieces(glyphs, extra, userToDevice, area, stroke);
    if (!pieces)
        return std::nullopt;
    CoverageMask out = pieces->flattened(area);
    if (out.isNull() && !(pieces->bounds & area).isEmpty())
        return std::nullopt; // the plane could not be had
    return out;
}

size_t GlyphCoverageCache::bytes() const
{
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

size_t GlyphCoverageCache::count() const
{
    std::lock_guard lock(m_mutex);
    return m_order.size();
}

void GlyphCoverageCache::setCapacity(size_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_capacity = bytes;
    evictTo(bytes);
}

void GlyphCoverageCache::clear()
{
    std::lock_guard lock(m_mutex);
    m_index.clear();
    m_order.clear();
    m_bytes = 0;
}

} // namespace platform
