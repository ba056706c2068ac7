#include "platform/imaging/FilterRenderer.h"

#include "platform/concurrency/ThreadPool.h"
#include "platform/imaging/CpuFeatures.h"
#include "platform/imaging/ImageBufferPool.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace platform {

namespace {
// Tiles small enough that a tile's buffers stay in cache and that every core gets several.
// The display path's are wide and short: its blur radii shrink with the zoom, so margins cost
// little, and a view splits into enough of them for every core. Not 512 wide: rows of 512
// float pixels lie 8 KB apart, so the rows read together down a column would all fall in the
// same few sets of the first-level cache and evict one another. The exact path's are square:
// at full resolution the blur reads a margin of 3 sigma on every side, and the rows above and
// below are blurred across once more for every tile.
constexpr FilterRenderer::TileSize kDisplayTile { 504, 128 };
constexpr FilterRenderer::TileSize kExactTile { 256, 256 };
// An output larger than the last-level cache has left it by the time anyone reads it: its
// bytes go straight to memory, without first reading each line they overwrite.
constexpr long long kStreamedBytes = 32LL * 1024 * 1024;
} // namespace

QSize FilterRenderer::outputSize(const Rect& region, double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        return {};
    const PixelRect r = FilterNode::roundedPixels(region, scale);
    return { r.width, r.height };
}

QImage FilterRenderer::render(const FilterImage& image, const Rect& region, double scale,
    RenderPath path, const std::atomic<bool>* cancel)
{
    return render(std::vector<FilterImage> { image }, region, scale, path, cancel).front();
}

std::vector<QImage> FilterRenderer::render(const std::vector<FilterImage>& images,
    const Rect& region, double scale, RenderPath path, const std::atomic<bool>* cancel)
{
    std::vector<QImage> none(images.size());
    if (images.empty() || !(scale > 0) || !std::isfinite(scale))
        return none;
    RenderArgs args;
    args.cancel = cancel;
    const PixelRect target = FilterNode::roundedPixels(region, scale);
    if (target.isEmpty() || target.area() > kMaxOutputPixels)
        return none;
    if (path == RenderPath::Display || scale == 1.0) {
        args.scale = scale;
        args.usePyramid = path == RenderPath::Display;
        return renderAtScale(
            images, target, args, path == RenderPath::Display ? kDisplayTile : kExactTile);
    }
    const PixelRect full = FilterNode::roundedPixels(region, 1.0);
    if (full.isEmpty() || full.area() > kMaxOutputPixels)
        return none;
    std::vector<QImage> out = renderAtScale(images, full, args, kExactTile);
    for (QImage& whole : out)
        if (!whole.isNull())
            whole = whole.scaled(
                target.width, target.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return out;
}

std::vector<QImage> FilterRenderer::renderAtScale(const std::vector<FilterImage>& images,
    const PixelRect& pixels, const RenderArgs& args, TileSize tileSize)
{
    const std::size_t n = images.size();
    std::vector<QImage> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (images[i].isNull())
            continue;
        out[i] = ImageBufferPool::make(pixels.width, pixels.height);
        if (out[i].isNull())
            return std::vector<QImage>(n);
    }
    // Row addresses taken once here: QImage::scanLine() on a shared image from several threads
    // would detach and count detaches on the image's shared data from each of them.
    std::vector<uchar*> bits(n, nullptr);
    for (std::size_t i = 0; i < n; ++i)
        if (!out[i].isNull())
            bits[i] = out[i].bits();
    // Display renders, and outputs too large for the caches to hold until they are read.
    const bool stream = args.usePyramid || pixels.area() * 4 > kStreamedBytes;
    const int cols = (pixels.width + tileSize.width - 1) / tileSize.width;
    const int rows = (pixels.height + tileSize.height - 1) / tileSize.height;
    std::atomic<bool> failed { false };
    ThreadPool::parallelFor(cols * rows, [&](int index) {
        if (failed.load(std::memory_order_relaxed))
            return;
        // Rows from the top, so that the first tiles finished are the first rows of the image.
        const int tx = index % cols, ty = rows - 1 - index / cols;
        const int x = pixels.x + tx * tileSize.width, y = pixels.y + ty * tileSize.height;
        const PixelRect r(x, y, std::min(tileSize.width, pixels.maxX() - x),
            std::min(tileSize.height, pixels.maxY() - y));
        // Each image's tile stays until the last image of this tile is done, for the memo.
        RenderMemo memo;
        RenderArgs tileArgs = args;
        tileArgs.memo = &memo;
        constexpr std::size_t kInline = RenderMemo::kMaxEntries;
        PixelTile tiles[kInline];
        for (std::size_t i = 0; i < n; ++i) {
            if (images[i].isNull())
                continue;
            PixelTile spare;
            PixelTile& tile = i < kInline ? tiles[i] : spare;
            const FilterNode& node = *images[i].node();
            if (node.isClear(tileArgs, r)) {
                // The masked layer where nothing is painted: clear bytes, nothing computed.
                clear(r, pixels, bits[i], out[i].bytesPerLine());
                continue;
            }
            if (!node.renderRect(tileArgs, r, tile)) {
                failed = true;
                return;
            }
            store(tile, pixels, bits[i], out[i].bytesPerLine(), stream);
            // Filed under the nodes it passes through unchanged as well: the blend over the
            // boxes takes the uncropped picture whose cropped form is the layer below.
            for (const FilterNode* same = i < kInline ? &node : nullptr; same;
                 same = same->sameOver(tileArgs, r))
                memo.add(same, tileArgs.scale, tileArgs.usePyramid, &tile);
        }
    });
    if (failed || args.cancelled())
        return std::vector<QImage>(n);
    return out;
}

namespace {

// One pixel to premultiplied 8-bit: NaN and negatives become 0, alpha at most 1, no component
// above alpha, rounded to nearest.
inline Px clampForStore(Px v)
{
    const Px zero = { 0, 0, 0, 0 };
    v = v > zero ? v : zero; // NaN becomes 0 here too
    const float a = v[3] < 1.0f ? v[3] : 1.0f;
    const Px av = { a, a, a, a };
    v = v < av ? v : av;
    return v * 255.0f + 0.5f;
}

#if defined(__SSE2__)
// Four pixels: truncating conversion (the values are at least 0.5, so it rounds as int()
// does), then saturating packs into B, G, R, A bytes (QRgb's order in memory on this
// little-endian target).
inline void store4(const Px* s, QRgb* d)
{
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), full = _mm_set1_ps(255.0f),
                 half = _mm_set1_ps(0.5f);
    __m128i q[4];
    for (int j = 0; j < 4; ++j) {
        // maxps gives its second operand for NaN: NaN becomes 0 as above.
        __m128 v = _mm_max_ps(__m128(s[j]), zero);
        const __m128 a = _mm_min_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)), one);
        v = _mm_add_ps(_mm_mul_ps(_mm_min_ps(v, a), full), half);
        q[j] = _mm_cvttps_epi32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 0, 1, 2)));
    }
    const __m128i lo = _mm_packs_epi32(q[0], q[1]);
    const __m128i hi = _mm_packs_epi32(q[2], q[3]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(lo, hi));
}

// Eight pixels at a time in AVX2 registers, two pixels to a register: the four-pixel loop's
// operations lane by lane, so the same bytes. The in-lane packs leave pixels 0, 2, 4, 6 in the
// low half and 1, 3, 5, 7 in the high half; one permutation puts them in order. With stream
// (d 32-byte aligned) the bytes bypass the cache. Returns the number of pixels done.
__attribute__((target("avx2"))) int storeAvx2(
    const Px* __restrict s, QRgb* __restrict d, int width, bool stream)
{
    const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f),
                 full = _mm256_set1_ps(255.0f), half = _mm256_set1_ps(0.5f);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int i = 0;
    for (; i + 8 <= width; i += 8) {
        __m256i q[4];
        for (int j = 0; j < 4; ++j) {
            __m256 v = _mm256_max_ps(
                _mm256_loadu_ps(reinterpret_cast<const float*>(s + i + 2 * j)), zero);
            const __m256 a = _mm256_min_ps(_mm256_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)), one);
            v = _mm256_add_ps(_mm256_mul_ps(_mm256_min_ps(v, a), full), half);
            q[j] = _mm256_cvttps_epi32(_mm256_shuffle_ps(v, v, _MM_SHUFFLE(3, 0, 1, 2)));
        }
        const __m256i lo = _mm256_packs_epi32(q[0], q[1]);
        const __m256i hi = _mm256_packs_epi32(q[2], q[3]);
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(lo, hi), order);
        if (stream)
            _mm256_stream_si256(reinterpret_cast<__m256i*>(d + i), bytes);
        else
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), bytes);
    }
    return i;
}
#endif

} // namespace

void FilterRenderer::clear(
    const PixelRect& r, const PixelRect& all, uchar* bits, qsizetype bytesPerLine)
{
    for (int y = r.y; y < r.maxY(); ++y)
        std::memset(bits + (all.maxY() - 1 - y) * bytesPerLine + (r.x - all.x) * 4, 0,
            std::size_t(r.width) * 4);
}

void FilterRenderer::store(
    const PixelTile& tile, const PixelRect& all, uchar* bits, qsizetype bytesPerLine, bool stream)
{
    const PixelRect& r = tile.rect();
    for (int y = r.y; y < r.maxY(); ++y) {
        const Px* __restrict s = tile.row(y);
        QRgb* __restrict d
            = reinterpret_cast<QRgb*>(bits + (all.maxY() - 1 - y) * bytesPerLine) + (r.x - all.x);
        int i = 0;
#if defined(__SSE2__)
        if (CpuFeatures::hasAvx2()) {
            // Streamed stores need 32-byte alignment: four pixels first where a row starts
            // half-way.
            const auto misaligned = reinterpret_cast<std::uintptr_t>(d) & 31;
            const bool streamRow = stream && (misaligned == 0 || misaligned == 16);
            if (streamRow && misaligned == 16 && r.width >= 4) {
                store4(s, d);
                i = 4;
            }
            i += storeAvx2(s + i, d + i, r.width - i, streamRow);
        }
        for (; i + 4 <= r.width; i += 4)
            store4(s + i, d + i);
#endif
        for (; i < r.width; ++i) {
            const Px v = clampForStore(s[i]);
            d[i] = qRgba(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
        }
    }
#if defined(__SSE2__)
    if (stream)
        _mm_sfence(); // streamed bytes reach memory before the render is seen as done
#endif
}

} // namespace platform
