// Colour removal's flood fill: a similarity mask made with the copy, a scanline search over it
// that clears the runs it reaches.
#include "container/ColourRemoval.h"

#include "container/ContainerLogging.h"
#include "platform/concurrency/Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace ColourRemoval {

namespace {

// Below this many pixels a pass stays on the calling thread.
constexpr long kParallelPixels = 1L << 16;

// Mask values: not similar (or transparent), similar and not yet reached, reached (cleared).
constexpr std::uint8_t kOther = 0;
constexpr std::uint8_t kSimilar = 1;
constexpr std::uint8_t kCleared = 2;

// Large buffers in pages of 2 MB where the system offers them: a fill writes tens of megabytes
// of fresh memory per drag event, and faulting that in 4 KB pages costs as much as the fill.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<std::uint8_t[], FreeDeleter>;

Buffer allocateBuffer(std::size_t bytes)
{
    constexpr std::size_t kHuge = std::size_t(2) << 20;
    const bool huge = bytes >= 4 * kHuge;
    const std::size_t alignment = huge ? kHuge : 64;
    const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    auto* p = static_cast<std::uint8_t*>(std::aligned_alloc(alignment, rounded));
    if (!p)
        throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (huge)
        madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return Buffer(p);
}

void freeBuffer(void* p)
{
    std::free(p);
}

// 1 for each pixel of the row that is not fully transparent and within limit of the seed; the
// row is copied to out on the way, while it is in the cache.
void similarRow(const std::uint32_t* row, std::uint8_t* mask, std::uint32_t* out, int width,
    std::uint32_t seed, int limit)
{
    int x = 0;
#if defined(__SSE2__)
    // Sixteen pixels a step: byte differences, summed per pixel in two widening adds, then
    // packed down to one mask byte each.
    const __m128i seeds = _mm_set1_epi32(int(seed & 0x00ffffffu));
    const __m128i colour = _mm_set1_epi32(0x00ffffff);
    const __m128i low16 = _mm_set1_epi32(0x00ff00ff);
    const __m128i low32 = _mm_set1_epi32(0x0000ffff);
    const __m128i limits = _mm_set1_epi32(limit);
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi8(1);
    const auto similar4 = [&](int at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + at));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), v);
        const __m128i c = _mm_and_si128(v, colour);
        const __m128i d = _mm_or_si128(_mm_subs_epu8(c, seeds), _mm_subs_epu8(seeds, c));
        const __m128i pairs
            = _mm_add_epi16(_mm_and_si128(d, low16), _mm_and_si128(_mm_srli_epi16(d, 8), low16));
        const __m128i sums = _mm_add_epi32(_mm_and_si128(pairs, low32), _mm_srli_epi32(pairs, 16));
        const __m128i far = _mm_or_si128(
            _mm_cmpgt_epi32(sums, limits), _mm_cmpeq_epi32(_mm_srli_epi32(v, 24), zero));
        return far; // -1 where not similar
    };
    for (; x + 16 <= width; x += 16) {
        const __m128i a = _mm_packs_epi32(similar4(x), similar4(x + 4));
        const __m128i b = _mm_packs_epi32(similar4(x + 8), similar4(x + 12));
        const __m128i far = _mm_packs_epi16(a, b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mask + x), _mm_andnot_si128(far, ones));
    }
#endif
    const int sr = int((seed >> 16) & 0xff);
    const int sg = int((seed >> 8) & 0xff);
    const int sb = int(seed & 0xff);
    for (; x < width; ++x) {
        const std::uint32_t p = row[x];
        out[x] = p;
        const int d = std::abs(int((p >> 16) & 0xff) - sr) + std::abs(int((p >> 8) & 0xff) - sg)
            + std::abs(int(p & 0xff) - sb);
        mask[x] = std::uint8_t((p >> 24) != 0 && d <= limit);
    }
}

// Eight mask bytes at once: the search walks long runs, and a byte at a time it would be the
// slowest part of a fill.
constexpr std::uint64_t kAllSimilar = 0x0101010101010101ull;

std::uint64_t load8(const std::uint8_t* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Whether any of the eight bytes is kSimilar (the classic zero-byte test on word ^ kAllSimilar).
bool anySimilar(std::uint64_t word)
{
    const std::uint64_t v = word ^ kAllSimilar;
    return ((v - kAllSimilar) & ~v & 0x8080808080808080ull) != 0;
}

// The first index from i on (up to end, exclusive) whose byte is not kSimilar.
int skipSimilar(const std::uint8_t* row, int i, int end)
{
    while (i + 8 <= end && load8(row + i) == kAllSimilar)
        i += 8;
    while (i < end && row[i] == kSimilar)
        ++i;
    return i;
}

// The first index from i on (up to end, exclusive) whose byte is kSimilar; end when none.
int findSimilar(const std::uint8_t* row, int i, int end)
{
    while (i + 8 <= end && !anySimilar(load8(row + i)))
        i += 8;
    while (i < end && row[i] != kSimilar)
        ++i;
    return i;
}

// Marks every similar pixel 4-connected to (x, y) as cleared, a whole horizontal run at a time,
// clears those pixels in out (rows of outStride bytes) and returns how many there were.
std::int64_t searchRuns(std::uint8_t* mask, std::uint8_t* out, std::size_t outStride, int width,
    int height, int x, int y)
{
    std::int64_t count = 0;
    std::vector<std::pair<int, int>> pending;
    pending.emplace_back(x, y);
    while (!pending.empty()) {
        const auto [px, py] = pending.back();
        pending.pop_back();
        std::uint8_t* row = mask + std::size_t(py) * std::size_t(width);
        if (row[px] != kSimilar)
            continue;
        int left = px;
        while (left >= 8 && load8(row + left - 8) == kAllSimilar)
            left -= 8;
        while (left > 0 && row[left - 1] == kSimilar)
            --left;
        const int end = skipSimilar(row, px, width); // one past the run
        std::memset(row + left, kCleared, std::size_t(end - left));
        count += end - left;
        std::memset(out + std::size_t(py) * outStride + std::size_t(left) * 4, 0,
            std::size_t(end - left) * 4);
        // One pending entry per run of similar pixels touching this run from above or below;
        // the entry's own extension to the sides happens when it is taken.
        for (const int ny : { py - 1, py + 1 }) {
            if (ny < 0 || ny >= height)
                continue;
            const std::uint8_t* next = mask + std::size_t(ny) * std::size_t(width);
            for (int i = findSimilar(next, left, end); i < end;
                 i = findSimilar(next, skipSimilar(next, i, end), end))
                pending.emplace_back(i, ny);
        }
    }
    return count;
}

} // namespace

std::optional<QImage> fillPixels(
    const QImage& pixels, int x, int y, double threshold, std::int64_t* cleared)
{
    if (pixels.isNull() || std::isnan(threshold) || threshold < 0.0)
        return std::nullopt;
    const int width = pixels.width();
    const int height = pixels.height();
    if (x < 0 || y < 0 || x >= width || y >= height)
        return std::nullopt;
    // Distances are whole numbers up to 765, so "threshold >= distance" is "distance <= limit".
    const int limit = threshold >= 765.0 ? 765 : int(std::floor(threshold));
    try {
        const QImage source = pixels.format() == QImage::Format_ARGB32_Premultiplied
            ? pixels
            : pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (source.isNull())
            return std::nullopt;
        // The result owns its buffer: the picture frees it when its last copy goes.
        const std::size_t outStride = std::size_t(width) * 4;
        Buffer pixelsOut = allocateBuffer(outStride * std::size_t(height));
        QImage result(pixelsOut.get(), width, height, qsizetype(outStride),
            QImage::Format_ARGB32_Premultiplied, freeBuffer, pixelsOut.get());
        if (result.isNull())
            return std::nullopt;
        uchar* out = pixelsOut.release();
        const std::size_t w = std::size_t(width);
        // Row addresses taken once here: scanLine() of a QImage is no call for several threads.
        const uchar* in = source.constBits();
        const std::size_t inStride = std::size_t(source.bytesPerLine());
        const auto inRow = [&](int r) {
            return reinterpret_cast<const std::uint32_t*>(in + std::size_t(r) * inStride);
        };
        Buffer mask = allocateBuffer(w * std::size_t(height));
        const std::uint32_t seed = inRow(y)[x];
        platform::parallelRows(height, width, kParallelPixels, [&](int top, int bottom) {
            for (int r = top; r < bottom; ++r)
                similarRow(inRow(r), mask.get() + std::size_t(r) * w,
                    reinterpret_cast<std::uint32_t*>(out + std::size_t(r) * outStride), width, seed,
                    limit);
        });
        // The seed is entered even when it is transparent.
        mask[std::size_t(y) * w + std::size_t(x)] = kSimilar;
        const std::int64_t count = searchRuns(mask.get(), out, outStride, width, height, x, y);
        qCDebug(lcContainer, "instant alpha: %lld", static_cast<long long>(count));
        if (cleared)
            *cleared = count;
        return result;
    } catch (const std::bad_alloc&) {
        qCWarning(lcContainer) << "colour removal: out of memory for" << width << "x" << height;
        return std::nullopt;
    }
}

std::optional<platform::Image> fill(const platform::Image& image, int x, int y, double threshold)
{
    if (image.isNull())
        return std::nullopt;
    std::optional<QImage> pixels = fillPixels(image.toQImage(), x, y, threshold);
    if (!pixels)
        return std::nullopt;
    platform::Image result = platform::Image::fromQImage(*pixels);
    if (result.isNull())
        return std::nullopt;
    return result;
}

} // namespace ColourRemoval
