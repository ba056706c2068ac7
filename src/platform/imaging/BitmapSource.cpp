#include "platform/imaging/BitmapSource.h"

#include "platform/concurrency/ThreadPool.h"
#include "platform/imaging/CpuFeatures.h"
#include "platform/imaging/Resampler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

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
    m_levels.resize(std::size_t(m_maxLevel) + 1);
    m_blockCols = (pixels.width() + kClearBlock - 1) / kClearBlock;
    const int blockRows = (pixels.height() + kClearBlock - 1) / kClearBlock;
    m_blockState = std::make_unique<std::atomic<unsigned char>[]>(
        std::size_t(m_blockCols) * std::size_t(blockRows));
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
    k = std::clamp(k, 0, m_maxLevel);
    std::lock_guard lock(m_mutex);
    QImage& wanted = m_levels[std::size_t(k)];
    if (wanted.isNull()) {
        int from = k - 1;
        while (m_levels[std::size_t(from)].isNull())
            --from;
        wanted = reduce(m_levels[std::size_t(from)], k - from);
    }
    return wanted;
}

namespace {

// One row of the next level: each pixel the rounded mean of the 2x2 block of rows a and b (b
// null where the level has no row above a), a block cut by the right edge averaging the
// pixels it has. w is the width of a and b.
void reduceRow(const QRgb* ra, const QRgb* rb, int w, QRgb* d)
{
    const int nw = (w + 1) / 2;
    const int ny = rb ? 2 : 1;
    int i = 0;
#if defined(__SSE2__)
    // Whole 2x2 blocks, two output pixels at a time: the four bytes of each channel summed
    // in 16 bits, plus 2, divided by 4 (the same rounding as below).
    if (rb) {
        const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
        for (; 2 * i + 3 < w; i += 2) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ra + 2 * i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rb + 2 * i));
            // Pixels 0 and 1 of each row in the low halves, 2 and 3 in the high halves.
            const __m128i lo
                = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
            const __m128i hi
                = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
            // Add each pixel's channels to its right neighbour's.
            const __m128i s0 = _mm_add_epi16(lo, _mm_srli_si128(lo, 8));
            const __m128i s1 = _mm_add_epi16(hi, _mm_srli_si128(hi, 8));
            const __m128i sum = _mm_unpacklo_epi64(s0, s1);
            const __m128i avg = _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(avg, avg));
        }
    }
#endif
    for (; i < nw; ++i) {
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
        if (rb) {
            add(rb[x0]);
            if (x1 > x0)
                add(rb[x1]);
        }
        const unsigned half = unsigned(n) / 2;
        d[i] = qRgba(int((s[0] + half) / unsigned(n)), int((s[1] + half) / unsigned(n)),
            int((s[2] + half) / unsigned(n)), int((s[3] + half) / unsigned(n)));
    }
}

// Row r (counted from the bottom) of the level `steps` above lv, made in out from the rows of
// the levels between, each made once into scratch rows and never kept: a level's pixels are
// the same whether the levels below it are kept or not.
void reducedRow(const QImage& lv, int steps, int r, QRgb* out)
{
    if (steps == 0) {
        const QRgb* row = reinterpret_cast<const QRgb*>(lv.constScanLine(lv.height() - 1 - r));
        std::copy_n(row, lv.width(), out);
        return;
    }
    // The size of the level below the one asked for.
    int w = lv.width(), h = lv.height();
    for (int k = 1; k < steps; ++k) {
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    std::vector<QRgb> a(static_cast<std::size_t>(w)), b;
    const QRgb* ra;
    const QRgb* rb = nullptr;
    if (steps == 1) { // rows of lv itself: read in place
        ra = reinterpret_cast<const QRgb*>(lv.constScanLine(h - 1 - 2 * r));
        if (2 * r + 1 < h)
            rb = reinterpret_cast<const QRgb*>(lv.constScanLine(h - 2 - 2 * r));
    } else {
        reducedRow(lv, steps - 1, 2 * r, a.data());
        ra = a.data();
        if (2 * r + 1 < h) {
            b.resize(std::size_t(w));
            reducedRow(lv, steps - 1, 2 * r + 1, b.data());
            rb = b.data();
        }
    }
    reduceRow(ra, rb, w, out);
}

} // namespace

// Each level pixel averages a 2x2 block of the level below, blocks counted from the bottom
// row up (y-up), so that level pixel (i, j) covers working pixels [2^k i, 2^k (i + 1)).
// A block cut by the picture's edge averages the pixels it has.
QImage BitmapSource::reduce(const QImage& lv, int steps)
{
    int nw = lv.width(), nh = lv.height();
    for (int k = 0; k < steps; ++k) {
        nw = (nw + 1) / 2;
        nh = (nh + 1) / 2;
    }
    QImage next(nw, nh, QImage::Format_ARGB32_Premultiplied);
    if (next.isNull())
        return next;
    ThreadPool::parallelFor(nh, [&](int j) {
        reducedRow(lv, steps, j, reinterpret_cast<QRgb*>(next.scanLine(nh - 1 - j)));
    });
    return next;
}

namespace {

#if defined(__x86_64__) || defined(__i386__)
// Eight pixels at a time with AVX2 and FMA: the bytes put in R, G, B, A order and widened
// to floats, then divided by 255 without a division. x * (1 / 255) alone is off by one unit in
// the last place for half of the 256 values; one correction step with the fused residual
// x - q * 255 (exact in a fused multiply-add) gives the correctly rounded quotient for every
// one of them, so the same floats as the division. Returns the number of pixels done.
__attribute__((target("avx2,fma"))) int convertAvx2(
    const QRgb* __restrict s, Px* __restrict d, int width)
{
    float* q = reinterpret_cast<float*>(d);
    const __m256 inv = _mm256_set1_ps(1.0f / 255.0f), full = _mm256_set1_ps(255.0f);
    // B, G, R, A bytes of four pixels to R, G, B, A.
    const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    int i = 0;
    for (; i + 8 <= width; i += 8) {
        const __m128i b0
            = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)), order);
        const __m128i b1
            = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 4)), order);
        const __m128i parts[4] = { b0, _mm_unpackhi_epi64(b0, b0), b1, _mm_unpackhi_epi64(b1, b1) };
        for (int j = 0; j < 4; ++j) {
            const __m256 x = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(parts[j]));
            const __m256 e = _mm256_mul_ps(x, inv);
            const __m256 rest = _mm256_fnmadd_ps(e, full, x);
            _mm256_storeu_ps(q + 4 * (i + 2 * j), _mm256_fmadd_ps(rest, inv, e));
        }
    }
    return i;
}
#endif

} // namespace

void BitmapSource::convert(const QImage& lv, const PixelRect& r, PixelTile& out, const RowOp* op)
{
    constexpr int kPrefetchRows = 3;
    const auto& t = byteToFloat();
    const int h = lv.height();
#if defined(__x86_64__) || defined(__i386__)
    const bool wide = CpuFeatures::hasAvx2() && CpuFeatures::hasFma();
#endif
    for (int y = r.y; y < r.maxY(); ++y) {
        const QRgb* __restrict s = reinterpret_cast<const QRgb*>(lv.constScanLine(h - 1 - y)) + r.x;
        Px* __restrict d = out.at(r.x, y);
#if defined(__SSE2__)
        // A tile's rows are short runs far apart in the picture, too short for the hardware
        // to learn before each ends: ask for a row a few ahead while this one is converted.
        if (y + kPrefetchRows < r.maxY()) {
            const char* ahead = reinterpret_cast<const char*>(
                reinterpret_cast<const QRgb*>(lv.constScanLine(h - 1 - y - kPrefetchRows)) + r.x);
            for (int b = 0; b < r.width * 4; b += 64)
                _mm_prefetch(ahead + b, _MM_HINT_T0);
        }
#endif
        int i = 0;
#if defined(__x86_64__) || defined(__i386__)
        if (wide)
            i = convertAvx2(s, d, r.width);
#endif
#if defined(__SSE2__)
        // Four pixels at a time: bytes widened to ints (B, G, R, A in memory on this
        // little-endian target), converted and divided by 255 exactly as the table is made.
        const __m128i zero = _mm_setzero_si128();
        const __m128 scale = _mm_set1_ps(255.0f);
        for (; i + 4 <= r.width; i += 4) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i lo = _mm_unpacklo_epi8(b, zero), hi = _mm_unpackhi_epi8(b, zero);
            const __m128i w[4] = { _mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero),
                _mm_unpacklo_epi16(hi, zero), _mm_unpackhi_epi16(hi, zero) };
            for (int j = 0; j < 4; ++j) {
                const __m128 v = _mm_div_ps(_mm_cvtepi32_ps(w[j]), scale);
                d[i + j] = Px(_mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 0, 1, 2)));
            }
        }
#endif
        for (; i < r.width; ++i)
            d[i] = unpack(s[i], t);
        // While the row is still in the first-level cache.
        if (op)
            (*op)(d, d, r.width);
    }
}

// Cells of the kept plane: wide and short, so that a render tile's rows need few of them and
// the first render at a scale makes little more than it shows.
namespace {
constexpr int kCellWidth = 256;
constexpr int kCellHeight = 32;
// 64 MB of float pixels at most: a screenful of a reduced picture, not a zoomed-in one.
constexpr long long kMaxPlanePixels = 1LL << 22;
} // namespace

struct BitmapSource::ScaledPlane {
    struct Cell {
        std::mutex mutex;
        bool made = false; // tile holds the cell's pixels
        PixelTile tile;
    };
    int level = 0;
    double scale = 0;
    PixelRect rect; // the level's pixels at scale, every cell's union
    int cols = 0, rows = 0;
    std::unique_ptr<Cell[]> cells;
};

std::shared_ptr<BitmapSource::ScaledPlane> BitmapSource::scaledPlane(int k, double s) const
{
    std::lock_guard lock(m_mutex);
    if (m_plane && m_plane->level == k && m_plane->scale == s)
        return m_plane;
    m_plane.reset();
    const PixelRect rect = pixelExtent(s);
    if (rect.isEmpty() || rect.area() > kMaxPlanePixels)
        return nullptr;
    auto plane = std::make_shared<ScaledPlane>();
    plane->level = k;
    plane->scale = s;
    plane->rect = rect;
    plane->cols = (rect.width + kCellWidth - 1) / kCellWidth;
    plane->rows = (rect.height + kCellHeight - 1) / kCellHeight;
    plane->cells = std::make_unique<ScaledPlane::Cell[]>(std::size_t(plane->cols * plane->rows));
    m_plane = plane;
    return plane;
}

bool BitmapSource::resample(const QImage& lv, const AffineTransform& toLevel, PixelTile& out)
{
    const PixelRect lvRect(0, 0, lv.width(), lv.height());
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

bool BitmapSource::blockClear(int bx, int by) const
{
    std::atomic<unsigned char>& state
        = m_blockState[std::size_t(by) * std::size_t(m_blockCols) + std::size_t(bx)];
    unsigned char known = state.load(std::memory_order_relaxed);
    if (known == 0) {
        const QImage& pic = pixels();
        const int w = pic.width(), h = pic.height();
        const int x0 = bx * kClearBlock, x1 = std::min(w, x0 + kClearBlock);
        bool clear = true;
        for (int y = by * kClearBlock; clear && y < std::min(h, (by + 1) * kClearBlock); ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(pic.constScanLine(h - 1 - y));
            for (int x = x0; clear && x < x1; ++x)
                clear = row[x] == 0;
        }
        known = clear ? 1 : 2;
        state.store(known, std::memory_order_relaxed);
    }
    return known == 1;
}

bool BitmapSource::isClear(const RenderArgs& args, const PixelRect& r) const
{
    const double s = args.scale;
    if (!(s > 0) || !std::isfinite(s) || r.isEmpty())
        return false;
    // The picture's pixels a render of r reads: r in working pixels, widened by the two
    // resampling taps of a level pixel (2^k picture pixels) either side.
    const int k = args.usePyramid ? levelFor(s) : 0;
    const double margin = 2 * std::ldexp(1.0, k) + 1;
    const Rect working(
        r.x / s - margin, r.y / s - margin, r.width / s + 2 * margin, r.height / s + 2 * margin);
    const int w = pixels().width(), h = pixels().height();
    const PixelRect need = PixelRect::covering(working).intersected(PixelRect(0, 0, w, h));
    if (need.isEmpty())
        return true; // outside the picture everything is clear
    for (int by = need.y / kClearBlock; by <= (need.maxY() - 1) / kClearBlock; ++by)
        for (int bx = need.x / kClearBlock; bx <= (need.maxX() - 1) / kClearBlock; ++bx)
            if (!blockClear(bx, by))
                return false;
    return true;
}

bool BitmapSource::rendersRowsAlone(const RenderArgs& args) const
{
    // At a level's own scale the pixels are converted one for one; resampled, each band would
    // also read the rows its neighbours read for the filter's taps.
    const double s = args.scale;
    if (!(s > 0) || !std::isfinite(s))
        return false;
    const int k = args.usePyramid ? levelFor(s) : 0;
    return std::abs(std::ldexp(1.0, -k) - s) < 1e-12;
}

bool BitmapSource::render(const RenderArgs& args, PixelTile& out) const
{
    return renderThrough(args, out, nullptr);
}

bool BitmapSource::renderMapped(const RenderArgs& args, PixelTile& out, const RowOp& op) const
{
    if (args.memo && args.memo->find(this, args.scale, args.usePyramid, out.rect()))
        return FilterNode::renderMapped(args, out, op);
    return renderThrough(args, out, &op);
}

namespace {

// op over every row of tile, in place.
bool mapInPlace(PixelTile& tile, const FilterNode::RowOp* op)
{
    if (op) {
        const PixelRect& r = tile.rect();
        for (int y = r.y; y < r.maxY(); ++y)
            (*op)(tile.row(y), tile.row(y), r.width);
    }
    return true;
}

} // namespace

bool BitmapSource::renderThrough(const RenderArgs& args, PixelTile& out, const RowOp* op) const
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
        if (inside == out.rect()) {
            convert(lv, inside, out, op);
            return true;
        }
        if (!inside.isEmpty())
            convert(lv, inside, out);
        out.clearOutside(inside);
        return mapInPlace(out, op);
    }
    const double ratio = ls / s;
    const AffineTransform toLevel = AffineTransform::makeScale(ratio, ratio);
    const std::shared_ptr<ScaledPlane> plane
        = args.usePyramid ? scaledPlane(k, s) : std::shared_ptr<ScaledPlane>();
    if (!plane || !plane->rect.contains(out.rect()))
        return resample(lv, toLevel, out) && mapInPlace(out, op);
    // A pixel's resampled value depends only on its position (its two taps on each axis lie
    // inside the region any rectangle holding it converts), so cells made for other renders
    // hold exactly the values resampling out itself would give.
    const PixelRect& o = out.rect();
    const PixelRect& p = plane->rect;
    const int c0 = (o.x - p.x) / kCellWidth, c1 = (o.maxX() - 1 - p.x) / kCellWidth;
    const int r0 = (o.y - p.y) / kCellHeight, r1 = (o.maxY() - 1 - p.y) / kCellHeight;
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            ScaledPlane::Cell& cell = plane->cells[std::size_t(r * plane->cols + c)];
            std::lock_guard lock(cell.mutex);
            if (!cell.made) {
                const PixelRect cr = PixelRect(
                    p.x + c * kCellWidth, p.y + r * kCellHeight, kCellWidth, kCellHeight)
                                         .intersected(p);
                if (!cell.tile.allocate(cr) || !resample(lv, toLevel, cell.tile))
                    return false;
                cell.made = true;
            }
            const PixelRect a = o.intersected(cell.tile.rect());
            if (!op) {
                out.copyFrom(cell.tile, a);
                continue;
            }
            for (int y = a.y; y < a.maxY(); ++y)
                (*op)(cell.tile.at(a.x, y), out.at(a.x, y), a.width);
        }
    }
    return true;
}

} // namespace platform
