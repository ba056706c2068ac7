#include "platform/imaging/BitmapSource.h"

#include "platform/imaging/Resampler.h"
#include "platform/imaging/ThreadPool.h"

#include <array>
#include <cmath>

namespace platform {

namespace {

const std::array<float, 256>& byteToFloat()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t {};
        for (int i = 0; i < 256; ++i)
            t[std::size_t(i)] = float(i) / 255.0f;
        return t;
    }();
    return table;
}

inline Px unpack(QRgb v, const std::array<float, 256>& t)
{
    return Px { t[qRed(v)], t[qGreen(v)], t[qBlue(v)], t[qAlpha(v)] };
}

} // namespace

BitmapSource::BitmapSource(const QImage& pixels)
{
    m_levels.push_back(pixels.format() == QImage::Format_ARGB32_Premultiplied
            ? pixels
            : pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    int w = pixels.width(), h = pixels.height();
    while (w > 1 || h > 1) {
        w = (w + 1) / 2;
        h = (h + 1) / 2;
        ++m_maxLevel;
    }
}

Rect BitmapSource::extent() const
{
    return { 0, 0, double(pixels().width()), double(pixels().height()) };
}

int BitmapSource::levelFor(double s) const
{
    if (!(s > 0) || s >= 1.0)
        return 0;
    // Tolerance so that scale 0.25 reads level 2 exactly rather than level 1.
    const double k = std::floor(std::log2(1.0 / s) + 1e-9);
    return int(std::clamp(k, 0.0, double(m_maxLevel)));
}

QImage BitmapSource::level(int k) const
{
    std::lock_guard lock(m_mutex);
    while (int(m_levels.size()) <= k)
        m_levels.push_back(reduce(m_levels.back()));
    return m_levels[std::size_t(k)];
}

// Each level pixel averages a 2x2 block of the level below, blocks counted from the bottom
// row up (y-up), so that level pixel (i, j) covers working pixels [2^k i, 2^k (i + 1)).
// A block cut by the picture's edge averages the pixels it has.
QImage BitmapSource::reduce(const QImage& lv)
{
    const int w = lv.width(), h = lv.height();
    const int nw = (w + 1) / 2, nh = (h + 1) / 2;
    QImage next(nw, nh, QImage::Format_ARGB32_Premultiplied);
    if (next.isNull())
        return next;
    ThreadPool::parallelFor(nh, [&](int j) {
        const int ya = h - 1 - 2 * j; // y-up row 2j in top-down terms
        const int yb = std::max(ya - 1, 0);
        const int ny = (ya - 1 >= 0) ? 2 : 1;
        const QRgb* ra = reinterpret_cast<const QRgb*>(lv.constScanLine(ya));
        const QRgb* rb = reinterpret_cast<const QRgb*>(lv.constScanLine(yb));
        QRgb* d = reinterpret_cast<QRgb*>(next.scanLine(nh - 1 - j));
        for (int i = 0; i < nw; ++i) {
            const int x0 = 2 * i, x1 = std::min(2 * i + 1, w - 1);
            const int n = ny * ((x1 > x0) ? 2 : 1);
            unsigned s[4] = { 0, 0, 0, 0 };
            auto add = [&](QRgb v) {
                s[0] += qRed(v);
                s[1] += qGreen(v);
                s[2] += qBlue(v);
                s[3] += qAlpha(v);
            };
            add(ra[x0]);
            if (x1 > x0)
                add(ra[x1]);
            if (ny == 2) {
                add(rb[x0]);
                if (x1 > x0)
                    add(rb[x1]);
            }
            const unsigned half = unsigned(n) / 2;
            d[i] = qRgba(int((s[0] + half) / unsigned(n)), int((s[1] + half) / unsigned(n)),
                int((s[2] + half) / unsigned(n)), int((s[3] + half) / unsigned(n)));
        }
    });
    return next;
}

void BitmapSource::convert(const QImage& lv, const PixelRect& r, PixelTile& out)
{
    const auto& t = byteToFloat();
    const int h = lv.height();
    for (int y = r.y; y < r.maxY(); ++y) {
        const QRgb* s = reinterpret_cast<const QRgb*>(lv.constScanLine(h - 1 - y)) + r.x;
        Px* d = out.at(r.x, y);
        for (int i = 0; i < r.width; ++i)
            d[i] = unpack(s[i], t);
    }
}

bool BitmapSource::render(const RenderArgs& args, PixelTile& out) const
{
    const double s = args.scale;
    if (!(s > 0) || !std::isfinite(s))
        return false;
    const int k = args.usePyramid ? levelFor(s) : 0;
    const QImage lv = k == 0 ? pixels() : level(k);
    if (lv.isNull())
        return false;
    const double ls = std::ldexp(1.0, -k); // the level's own scale
    const PixelRect lvRect(0, 0, lv.width(), lv.height());
    if (std::abs(ls - s) < 1e-12) {
        // The level's grid is the render grid: a plain conversion.
        const PixelRect inside = out.rect().intersected(lvRect);
        if (!inside.isEmpty())
            convert(lv, inside, out);
        out.clearOutside(inside);
        return true;
    }
    const double ratio = ls / s;
    const AffineTransform toLevel = AffineTransform::makeScale(ratio, ratio);
    const PixelRect need = Resampler::sourceRect(out.rect(), toLevel).intersected(lvRect);
    PixelTile src;
    if (!need.isEmpty()) {
        if (!src.allocate(need))
            return false;
        convert(lv, need, src);
    }
    Resampler::bilinear(src, out, toLevel);
    return true;
}

} // namespace platform
