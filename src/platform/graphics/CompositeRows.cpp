// Source-over rows: the plain loop, and eight pixels at a time in 16-bit lanes with the same
// rounding as byteMul, where the processor has AVX2.
#include "platform/graphics/CompositeRows.h"

#include "platform/graphics/GraphicsContextInternal.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QUILLMARK_WIDE_ROWS 1
#endif

namespace platform::graphicsinternal {

namespace {

std::atomic<bool> gWideAllowed { true };

// (Every row loop here is left out of a fuzzer's coverage tracing: see PixelLoop.h.)
PIXEL_LOOP void sourceOverRowBase(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n)
{
    forEachCovered(coverage, n, [&](int x) { sourceOverPixel(dst[x], src[x], coverage[x]); });
}

PIXEL_LOOP void tintOverRowBase(
    QRgb* dst, const std::uint8_t* alpha, const QRgb* tints, const std::uint8_t* coverage, int n)
{
    forEachCovered(alpha, n, [&](int x) { sourceOverPixel(dst[x], tints[alpha[x]], coverage[x]); });
}

PIXEL_LOOP void tintOverRowUnderBase(QRgb* dst, const std::uint8_t* alpha, const QRgb* tints,
    const std::uint8_t* coverage, const QRgb* over, int n)
{
    forEachCovered(alpha, n, [&](int x) {
        if (coverage[x] != 255 || qAlpha(over[x]) != 255)
            sourceOverPixel(dst[x], tints[alpha[x]], coverage[x]);
    });
}

#ifdef QUILLMARK_WIDE_ROWS

// Each 16-bit lane of x times the one of a, divided by 255 as byteMul rounds it.
__attribute__((target("avx2"), always_inline)) inline __m256i mulLanes(__m256i x, __m256i a)
{
    const __m256i t = _mm256_mullo_epi16(x, a);
    return _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), _mm256_set1_epi16(0x80)), 8);
}

// Eight coverage bytes, each repeated in the four bytes of its pixel.
__attribute__((target("avx2"), always_inline)) inline __m256i coverageEight(const std::uint8_t* k)
{
    const __m256i each = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(k)));
    return _mm256_mullo_epi32(each, _mm256_set1_epi32(0x01010101));
}

// Each 16-bit lane of c times the one of a, divided by 255 as mul255 rounds it.
__attribute__((target("avx2"), always_inline)) inline __m256i mul255Lanes(__m256i c, __m256i a)
{
    const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(c, a), _mm256_set1_epi16(0x80));
    return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}

// Eight pixels s over d, s already through its coverage.
__attribute__((target("avx2"), always_inline)) inline __m256i overEight(__m256i s, __m256i d)
{
    const __m256i zero = _mm256_setzero_si256();
    // 255 minus the source's alpha in each byte of its pixel.
    const __m256i alphas = _mm256_shuffle_epi8(s,
        _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3, 3, 7, 7,
            7, 7, 11, 11, 11, 11, 15, 15, 15, 15));
    const __m256i rest = _mm256_xor_si256(alphas, _mm256_set1_epi8(char(0xff)));
    const __m256i kept = _mm256_packus_epi16(
        mulLanes(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(rest, zero)),
        mulLanes(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(rest, zero)));
    return _mm256_add_epi8(s, kept);
}

// Each byte of eight pixels times the byte of k for its pixel (each repeated in its pixel's
// four bytes), as byteMul rounds it.
__attribute__((target("avx2"), always_inline)) inline __m256i scaleEight(__m256i s, __m256i k)
{
    const __m256i zero = _mm256_setzero_si256();
    return _mm256_packus_epi16(
        mulLanes(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(k, zero)),
        mulLanes(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(k, zero)));
}

// Eight pixels s over d through eight coverages; a full run needs no scaling, an opaque source
// none of the destination.
__attribute__((target("avx2"), always_inline)) inline void putEight(
    QRgb* dst, __m256i s, const std::uint8_t* coverage)
{
    std::uint64_t covered;
    std::memcpy(&covered, coverage, sizeof covered);
    auto* d = reinterpret_cast<__m256i*>(dst);
    if (covered != ~std::uint64_t(0)) {
        s = scaleEight(s, coverageEight(coverage));
    } else {
        const __m256i opaque = _mm256_set1_epi32(int(0xff000000u));
        if (_mm256_testc_si256(s, opaque)) { // every alpha 255
            _mm256_storeu_si256(d, s);
            return;
        }
    }
    _mm256_storeu_si256(d, overEight(s, _mm256_loadu_si256(d)));
}

PIXEL_LOOP __attribute__((target("avx2"))) void sourceOverRowWide(
    QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n)
{
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        std::uint64_t run;
        std::memcpy(&run, coverage + x, sizeof run);
        if (run == 0)
            continue;
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + x));
        if (_mm256_testz_si256(s, s))
            continue;
        putEight(dst + x, s, coverage + x);
    }
    sourceOverRowBase(dst + x, src + x, coverage + x, n - x);
}

// The shadow's rows; with over, leaving out runs of eight that over hides (tintOverRowUnder).
template <bool Under>
[[gnu::always_inline]] __attribute__((target("avx2"))) inline void tintRowsWide(QRgb* dst,
    const std::uint8_t* alpha, const QRgb* tints, const std::uint8_t* coverage, const QRgb* over,
    int n)
{
    const __m256i zero = _mm256_setzero_si256();
    // The full colour is the tint at 255; each channel in a 16-bit lane, twice per 128 bits.
    const __m256i colour = _mm256_unpacklo_epi8(_mm256_set1_epi32(int(tints[255])), zero);
    const __m256i opaque = _mm256_set1_epi32(int(0xff000000u));
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        std::uint64_t run, covered;
        std::memcpy(&run, alpha + x, sizeof run);
        std::memcpy(&covered, coverage + x, sizeof covered);
        if (run == 0 || covered == 0)
            continue;
        if constexpr (Under) {
            if (covered == ~std::uint64_t(0)
                && _mm256_testc_si256(
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(over + x)), opaque))
                continue;
        }
        // The colour at each alpha, as tintsOf rounds it (mul255).
        const __m256i a = coverageEight(alpha + x);
        const __m256i s = _mm256_packus_epi16(mul255Lanes(colour, _mm256_unpacklo_epi8(a, zero)),
            mul255Lanes(colour, _mm256_unpackhi_epi8(a, zero)));
        putEight(dst + x, s, coverage + x);
    }
    if constexpr (Under)
        tintOverRowUnderBase(dst + x, alpha + x, tints, coverage + x, over + x, n - x);
    else
        tintOverRowBase(dst + x, alpha + x, tints, coverage + x, n - x);
}

PIXEL_LOOP __attribute__((target("avx2"))) void tintOverRowWide(
    QRgb* dst, const std::uint8_t* alpha, const QRgb* tints, const std::uint8_t* coverage, int n)
{
    tintRowsWide<false>(dst, alpha, tints, coverage, nullptr, n);
}

PIXEL_LOOP __attribute__((target("avx2"))) void tintOverRowUnderWide(QRgb* dst,
    const std::uint8_t* alpha, const QRgb* tints, const std::uint8_t* coverage, const QRgb* over,
    int n)
{
    tintRowsWide<true>(dst, alpha, tints, coverage, over, n);
}

bool wide()
{
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported && gWideAllowed.load(std::memory_order_relaxed);
}

#endif

} // namespace

PIXEL_LOOP void sourceOverRow(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n)
{
#ifdef QUILLMARK_WIDE_ROWS
    if (wide()) {
        sourceOverRowWide(dst, src, coverage, n);
        return;
    }
#endif
    sourceOverRowBase(dst, src, coverage, n);
}

PIXEL_LOOP void tintOverRow(
    QRgb* dst, const std::uint8_t* alpha, const QRgb* tints, const std::uint8_t* coverage, int n)
{
#ifdef QUILLMARK_WIDE_ROWS
    if (wide()) {
        tintOverRowWide(dst, alpha, tints, coverage, n);
        return;
    }
#endif
    tintOverRowBase(dst, alpha, tints, coverage, n);
}

PIXEL_LOOP void tintOverRowUnder(QRgb* dst, const std::uint8_t* alpha, const QRgb* tints,
    const std::uint8_t* coverage, const QRgb* over, int n)
{
#ifdef QUILLMARK_WIDE_ROWS
    if (wide()) {
        tintOverRowUnderWide(dst, alpha, tints, coverage, over, n);
        return;
    }
#endif
    tintOverRowUnderBase(dst, alpha, tints, coverage, over, n);
}

bool allowWideCompositeRows(bool allowed)
{
    return gWideAllowed.exchange(allowed, std::memory_order_relaxed);
}

} // namespace platform::graphicsinternal
