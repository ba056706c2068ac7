#include "platform/imaging/BlurNode.h"

#include "platform/imaging/CpuFeatures.h"

#include <algorithm>
#include <cmath>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <cstddef>
#include <utility>
#include <vector>

namespace platform {

BlurNode::BlurNode(FilterNodePtr input, double sigma)
    : m_input(std::move(input))
    , m_sigma(std::isfinite(sigma) ? std::clamp(sigma, 0.0, kMaxSigma) : 0.0)
{
}

Rect BlurNode::extent() const
{
    const Rect e = m_input->extent();
    if (e.isNull() || e.isInfinite() || m_sigma <= 0)
        return e;
    return e.insetBy(-3 * m_sigma, -3 * m_sigma);
}

std::vector<float> BlurNode::kernel(double sigma)
{
    if (!(sigma > 0) || !std::isfinite(sigma))
        return {};
    const int r = int(std::ceil(3.0 * std::min(sigma, kMaxSigma)));
    std::vector<double> w(std::size_t(r) + 1);
    double sum = 0;
    for (int i = 0; i <= r; ++i) {
        w[std::size_t(i)] = std::exp(-double(i) * i / (2.0 * sigma * sigma));
        sum += i == 0 ? w[0] : 2 * w[std::size_t(i)];
    }
    std::vector<float> k(w.size());
    for (std::size_t i = 0; i < w.size(); ++i)
        k[i] = float(w[i] / sum);
    return k;
}

namespace {

// The two passes run row by row: each input row is blurred across into a ring of the last
// 2R + 2 such rows, and output rows are made down the ring, two at a time, as soon as their
// rows are in. The
// ring stays in the core's cache, so the horizontal pass's output is never written to memory
// and read back. Tiles wider than the ring allows for a large radius run in bands of columns.
//
// Every loop below adds the taps in the same order (centre, then the pairs p[-t] + p[t] from
// t = 1 outwards, one multiply per pair), so every path gives the same pixels. Beyond the
// unrolled radii, where the processor has fused multiply-adds, every path fuses each pair's
// multiply with its addition into the sum (the same order, one rounding fewer per pair).

// Small kernels (the display path's: sigma shrinks with the zoom) get their own unrolled
// loops; larger ones run loops over any radius.
constexpr int kMaxUnrolled = 8;

// The ring's size in bytes: most of the second-level cache of one core, with room left for
// the input and output rows streaming past it.
constexpr std::size_t kRingBytes = 256 * 1024;

// An input that renders band by band at no extra cost is pulled this many bytes of rows at a
// time, just before the pass across reads them, so they are read from the first-level cache
// rather than written out to memory for the whole tile and read back.
constexpr std::size_t kInputBandBytes = 48 * 1024;

inline Px splat(float w)
{
    return Px { w, w, w, w };
}

// One row across: dst[i] from src[i - r] .. src[i + r] for i in [0, width).
template <int R>
void acrossUnrolled(const Px* __restrict src, Px* __restrict dst, int width, const float* k)
{
    Px w[R + 1];
    for (int t = 0; t <= R; ++t)
        w[t] = splat(k[t]);
    for (int i = 0; i < width; ++i) {
        const Px* p = src + i;
        Px acc = p[0] * w[0];
#pragma GCC unroll 8
        for (int t = 1; t <= R; ++t)
            acc += (p[-t] + p[t]) * w[t];
        dst[i] = acc;
    }
}

void acrossAny(const Px* __restrict src, Px* __restrict dst, int width, const float* k, int r)
{
    for (int i = 0; i < width; ++i) {
        const Px* p = src + i;
        Px acc = p[0] * k[0];
        for (int t = 1; t <= r; ++t)
            acc += (p[-t] + p[t]) * k[t];
        dst[i] = acc;
    }
}

// Two rows down: dst0[i] from rows[0] .. rows[2r] (rows[r] is the centre) at column i, and
// dst1[i] from rows[1] .. rows[2r + 1], for i in [begin, width). Two at a time so that the wide
// loops below can use every row they read for both.
template <int R>
void downUnrolled(const Px* const* rows, Px* __restrict dst0, Px* __restrict dst1, int begin,
    int width, const float* k)
{
    Px w[R + 1];
    for (int t = 0; t <= R; ++t)
        w[t] = splat(k[t]);
    for (int j = 0; j < 2; ++j) {
        const Px* const* c = rows + j;
        Px* __restrict dst = j ? dst1 : dst0;
        for (int i = begin; i < width; ++i) {
            Px acc = c[R][i] * w[0];
#pragma GCC unroll 8
            for (int t = 1; t <= R; ++t)
                acc += (c[R - t][i] + c[R + t][i]) * w[t];
            dst[i] = acc;
        }
    }
}

void downAny(const Px* const* rows, Px* __restrict dst0, Px* __restrict dst1, int begin, int width,
    const float* k, int r)
{
    for (int j = 0; j < 2; ++j) {
        const Px* const* c = rows + j;
        Px* __restrict dst = j ? dst1 : dst0;
        for (int i = begin; i < width; ++i) {
            Px acc = c[r][i] * k[0];
            for (int t = 1; t <= r; ++t)
                acc += (c[r - t][i] + c[r + t][i]) * k[t];
            dst[i] = acc;
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The same loops several pixels at a time in 8-float AVX vectors (two pixels each), for
// processors that have them (chosen at run time; the build targets plain x86-64). Each lane
// sees the same operations in the same order as above, so the results are identical. AVX
// without FMA: a fused multiply-add would round differently.
using Px2 = float __attribute__((vector_size(32)));

__attribute__((target("avx"), always_inline)) inline Px2 load2(const Px* p)
{
    Px2 v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

__attribute__((target("avx"), always_inline)) inline void store2(Px* p, Px2 v)
{
    __builtin_memcpy(p, &v, sizeof v);
}

__attribute__((target("avx"), always_inline)) inline Px2 splat2(float w)
{
    return Px2 { w, w, w, w, w, w, w, w };
}

template <int R>
__attribute__((target("avx"))) void acrossAvx(
    const Px* __restrict src, Px* __restrict dst, int width, const float* k)
{
    Px2 w[R + 1];
    for (int t = 0; t <= R; ++t)
        w[t] = splat2(k[t]);
    int i = 0;
    for (; i + 2 <= width; i += 2) {
        const Px* p = src + i;
        Px2 acc = load2(p) * w[0];
#pragma GCC unroll 8
        for (int t = 1; t <= R; ++t)
            acc += (load2(p - t) + load2(p + t)) * w[t];
        store2(dst + i, acc);
    }
    if (i < width)
        acrossUnrolled<R>(src + i, dst + i, width - i, k);
}

// Eight pixels (four vectors) at a time with the weights read as they are needed: four
// independent sums, so that the additions of one wait less on the one before.
__attribute__((target("avx"))) void acrossAvxAny(
    const Px* __restrict src, Px* __restrict dst, int width, const float* k, int r)
{
    const Px2 w0 = splat2(k[0]);
    int i = 0;
    for (; i + 8 <= width; i += 8) {
        const Px* p = src + i;
        Px2 a0 = load2(p) * w0, a1 = load2(p + 2) * w0;
        Px2 a2 = load2(p + 4) * w0, a3 = load2(p + 6) * w0;
        for (int t = 1; t <= r; ++t) {
            const Px2 w = splat2(k[t]);
            a0 += (load2(p - t) + load2(p + t)) * w;
            a1 += (load2(p + 2 - t) + load2(p + 2 + t)) * w;
            a2 += (load2(p + 4 - t) + load2(p + 4 + t)) * w;
            a3 += (load2(p + 6 - t) + load2(p + 6 + t)) * w;
        }
        store2(dst + i, a0);
        store2(dst + i + 2, a1);
        store2(dst + i + 4, a2);
        store2(dst + i + 6, a3);
    }
    for (; i + 2 <= width; i += 2) {
        const Px* p = src + i;
        Px2 a = load2(p) * w0;
        for (int t = 1; t <= r; ++t)
            a += (load2(p - t) + load2(p + t)) * splat2(k[t]);
        store2(dst + i, a);
    }
    if (i < width)
        acrossAny(src + i, dst + i, width - i, k, r);
}

// Four pixels (two vectors) of two output rows at a time, the sums in registers while the
// rows go by: at step t the first row takes rows r - t and r + t, the second r + 1 - t and
// r + 1 + t, and two of those four were read at step t - 1, so every row is read once for
// both. R is the radius, or 0 for any radius r.
template <int R>
__attribute__((target("avx"))) void downAvx(const Px* const* rows, Px* __restrict dst0,
    Px* __restrict dst1, int width, const float* k, int r)
{
    if constexpr (R > 0)
        r = R;
    const Px2 w0 = splat2(k[0]);
    int i = 0;
    for (; i + 4 <= width; i += 4) {
        const Px* c0 = rows[r] + i;
        const Px* c1 = rows[r + 1] + i;
        // The rows r + 1 - t (up) and r + t (down) of the step before.
        Px2 up0 = load2(c0), up1 = load2(c0 + 2), down0 = load2(c1), down1 = load2(c1 + 2);
        Px2 a0 = up0 * w0, a1 = up1 * w0, b0 = down0 * w0, b1 = down1 * w0;
#pragma GCC unroll 8
        for (int t = 1; t <= r; ++t) {
            const Px* u = rows[r - t] + i;
            const Px* d = rows[r + 1 + t] + i;
            const Px2 w = splat2(k[t]);
            const Px2 u0 = load2(u), u1 = load2(u + 2), d0 = load2(d), d1 = load2(d + 2);
            a0 += (u0 + down0) * w;
            a1 += (u1 + down1) * w;
            b0 += (up0 + d0) * w;
            b1 += (up1 + d1) * w;
            up0 = u0;
            up1 = u1;
            down0 = d0;
            down1 = d1;
        }
        store2(dst0 + i, a0);
        store2(dst0 + i + 2, a1);
        store2(dst1 + i, b0);
        store2(dst1 + i + 2, b1);
    }
    if constexpr (R > 0)
        downUnrolled<R>(rows, dst0, dst1, i, width, k);
    else
        downAny(rows, dst0, dst1, i, width, k, r);
}

// Radii beyond the unrolled ones, where the processor has fused multiply-adds: each tap pair
// is one addition and one fused multiply-add into the sum, half the additions of the loops
// above, which are what limits them. The same operations in the same order in every lane of
// the narrow (one pixel) and wide (eight pixels) loops, so both give the same floats; they
// differ from the unfused loops' by a rounding (far below one level).
__attribute__((target("fma"), always_inline)) inline __m128 fused4(__m128 a, __m128 w, __m128 acc)
{
    return _mm_fmadd_ps(a, w, acc);
}

__attribute__((target("fma"))) void acrossFusedNarrow(
    const Px* __restrict src, Px* __restrict dst, int width, const float* k, int r)
{
    const __m128 w0 = _mm_set1_ps(k[0]);
    for (int i = 0; i < width; ++i) {
        const Px* p = src + i;
        __m128 acc = _mm_mul_ps(__m128(p[0]), w0);
        for (int t = 1; t <= r; ++t)
            acc = fused4(__m128(p[-t] + p[t]), _mm_set1_ps(k[t]), acc);
        dst[i] = Px(acc);
    }
}

__attribute__((target("fma"))) void downFusedNarrow(const Px* const* rows, Px* __restrict dst0,
    Px* __restrict dst1, int begin, int width, const float* k, int r)
{
    const __m128 w0 = _mm_set1_ps(k[0]);
    for (int j = 0; j < 2; ++j) {
        const Px* const* c = rows + j;
        Px* __restrict dst = j ? dst1 : dst0;
        for (int i = begin; i < width; ++i) {
            __m128 acc = _mm_mul_ps(__m128(c[r][i]), w0);
            for (int t = 1; t <= r; ++t)
                acc = fused4(__m128(c[r - t][i] + c[r + t][i]), _mm_set1_ps(k[t]), acc);
            dst[i] = Px(acc);
        }
    }
}

__attribute__((target("avx2,fma"), always_inline)) inline __m256 load8(const Px* p)
{
    return _mm256_loadu_ps(reinterpret_cast<const float*>(p));
}

// Sixteen pixels (eight vectors) at a time: eight independent sums, enough to keep both
// multiply-add units busy through each one's latency. Named, not an array: the compiler
// keeps an array of sums in memory.
__attribute__((target("avx2,fma"))) void acrossFusedWide(
    const Px* __restrict src, Px* __restrict dst, int width, const float* k, int r)
{
    const __m256 w0 = _mm256_set1_ps(k[0]);
    int i = 0;
    for (; i + 16 <= width; i += 16) {
        const Px* p = src + i;
        __m256 a0 = _mm256_mul_ps(load8(p), w0), a1 = _mm256_mul_ps(load8(p + 2), w0);
        __m256 a2 = _mm256_mul_ps(load8(p + 4), w0), a3 = _mm256_mul_ps(load8(p + 6), w0);
        __m256 a4 = _mm256_mul_ps(load8(p + 8), w0), a5 = _mm256_mul_ps(load8(p + 10), w0);
        __m256 a6 = _mm256_mul_ps(load8(p + 12), w0), a7 = _mm256_mul_ps(load8(p + 14), w0);
        for (int t = 1; t <= r; ++t) {
            const __m256 w = _mm256_set1_ps(k[t]);
            const Px* lo = p - t;
            const Px* hi = p + t;
            // Opaque to the compiler: otherwise it keeps the vectors it will read again two
            // steps later in registers, runs out of them and moves the sums to memory.
            asm("" : "+r"(lo), "+r"(hi));
            a0 = _mm256_fmadd_ps(_mm256_add_ps(load8(lo), load8(hi)), w, a0);
            a1 = _mm256_fmadd_ps(_mm256_add_ps(load8(lo + 2), load8(hi + 2)), w, a1);
            a2 = _mm256_fmadd_ps(_mm256_add_ps(load8(lo + 4), load8(hi + 4)), w, a2);
            a3 = _mm256_fmadd_ps(_mm256_add_ps(load8(lo + 6), load8(hi + 6)), w, a3);
            a4 = _mm256_fmadd_ps(_mm256_add_ps(load8(lo + 8), load8(hi + 8)), w, a4);
            a5 = _mm256_fmadd_ps(_mm256_add_ps(load8(lo + 10), load8(hi + 10)), w, a5);
            a6 = _mm256_fmadd_ps(_mm256_add_ps(load8(lo + 12), load8(hi + 12)), w, a6);
            a7 = _mm256_fmadd_ps(_mm256_add_ps(load8(lo + 14), load8(hi + 14)), w, a7);
        }
        float* d = reinterpret_cast<float*>(dst + i);
        _mm256_storeu_ps(d, a0);
        _mm256_storeu_ps(d + 8, a1);
        _mm256_storeu_ps(d + 16, a2);
        _mm256_storeu_ps(d + 24, a3);
        _mm256_storeu_ps(d + 32, a4);
        _mm256_storeu_ps(d + 40, a5);
        _mm256_storeu_ps(d + 48, a6);
        _mm256_storeu_ps(d + 56, a7);
    }
    for (; i + 2 <= width; i += 2) {
        const Px* p = src + i;
        __m256 a = _mm256_mul_ps(load8(p), w0);
        for (int t = 1; t <= r; ++t)
            a = _mm256_fmadd_ps(_mm256_add_ps(load8(p - t), load8(p + t)), _mm256_set1_ps(k[t]), a);
        _mm256_storeu_ps(reinterpret_cast<float*>(dst + i), a);
    }
    if (i < width)
        acrossFusedNarrow(src + i, dst + i, width - i, k, r);
}

// C vectors (2C pixels) of two output rows at a time, the rows read once for both as in
// downAvx: 2C sums and the 2C rows of the step before in registers. Three vectors need more
// than the sixteen registers of AVX2 and are made where AVX-512 doubles them (the same
// 256-bit operations, so the same floats); two elsewhere.
template <int C>
__attribute__((target("avx2,fma"), always_inline)) inline int downFusedColumns(
    const Px* const* rows, Px* __restrict dst0, Px* __restrict dst1, int begin, int width,
    const float* k, int r)
{
    static_assert(C == 2 || C == 3);
    const __m256 w0 = _mm256_set1_ps(k[0]);
    int i = begin;
    for (; i + 2 * C <= width; i += 2 * C) {
        __m256 up0 = load8(rows[r] + i), up1 = load8(rows[r] + i + 2), up2 = up0;
        __m256 down0 = load8(rows[r + 1] + i), down1 = load8(rows[r + 1] + i + 2), down2 = down0;
        if constexpr (C == 3) {
            up2 = load8(rows[r] + i + 4);
            down2 = load8(rows[r + 1] + i + 4);
        }
        __m256 a0 = _mm256_mul_ps(up0, w0), a1 = _mm256_mul_ps(up1, w0),
               a2 = _mm256_mul_ps(up2, w0);
        __m256 b0 = _mm256_mul_ps(down0, w0), b1 = _mm256_mul_ps(down1, w0),
               b2 = _mm256_mul_ps(down2, w0);
        for (int t = 1; t <= r; ++t) {
            const Px* u = rows[r - t] + i;
            const Px* d = rows[r + 1 + t] + i;
            // Opaque, as in acrossFusedWide.
            asm("" : "+r"(u), "+r"(d));
            const __m256 w = _mm256_set1_ps(k[t]);
            const __m256 u0 = load8(u), u1 = load8(u + 2);
            const __m256 d0 = load8(d), d1 = load8(d + 2);
            a0 = _mm256_fmadd_ps(_mm256_add_ps(u0, down0), w, a0);
            a1 = _mm256_fmadd_ps(_mm256_add_ps(u1, down1), w, a1);
            b0 = _mm256_fmadd_ps(_mm256_add_ps(up0, d0), w, b0);
            b1 = _mm256_fmadd_ps(_mm256_add_ps(up1, d1), w, b1);
            if constexpr (C == 3) {
                const __m256 u2 = load8(u + 4), d2 = load8(d + 4);
                a2 = _mm256_fmadd_ps(_mm256_add_ps(u2, down2), w, a2);
                b2 = _mm256_fmadd_ps(_mm256_add_ps(up2, d2), w, b2);
                up2 = u2;
                down2 = d2;
            }
            up0 = u0;
            up1 = u1;
            down0 = d0;
            down1 = d1;
        }
        float* e0 = reinterpret_cast<float*>(dst0 + i);
        float* e1 = reinterpret_cast<float*>(dst1 + i);
        _mm256_storeu_ps(e0, a0);
        _mm256_storeu_ps(e0 + 8, a1);
        _mm256_storeu_ps(e1, b0);
        _mm256_storeu_ps(e1 + 8, b1);
        if constexpr (C == 3) {
            _mm256_storeu_ps(e0 + 16, a2);
            _mm256_storeu_ps(e1 + 16, b2);
        }
    }
    return i;
}

__attribute__((target("avx2,fma"))) void downFusedAvx2(
    const Px* const* rows, Px* dst0, Px* dst1, int width, const float* k, int r)
{
    const int i = downFusedColumns<2>(rows, dst0, dst1, 0, width, k, r);
    downFusedNarrow(rows, dst0, dst1, i, width, k, r);
}

__attribute__((target("avx512f,avx512vl,avx2,fma"))) void downFusedAvx512(
    const Px* const* rows, Px* dst0, Px* dst1, int width, const float* k, int r)
{
    int i = downFusedColumns<3>(rows, dst0, dst1, 0, width, k, r);
    i = downFusedColumns<2>(rows, dst0, dst1, i, width, k, r);
    downFusedNarrow(rows, dst0, dst1, i, width, k, r);
}
#endif

// The row functions for one radius, with one signature (the unrolled ones ignore r).
using AcrossFn = void (*)(const Px*, Px*, int, const float*, int);
using DownFn = void (*)(const Px* const*, Px*, Px*, int, const float*, int);
struct Passes {
    AcrossFn across;
    DownFn down;
};

template <int R> void acrossFixed(const Px* s, Px* d, int width, const float* k, int)
{
    acrossUnrolled<R>(s, d, width, k);
}
template <int R>
void downFixed(const Px* const* rows, Px* d0, Px* d1, int width, const float* k, int)
{
    downUnrolled<R>(rows, d0, d1, 0, width, k);
}
void downAll(const Px* const* rows, Px* d0, Px* d1, int width, const float* k, int r)
{
    downAny(rows, d0, d1, 0, width, k, r);
}
#if defined(__x86_64__) || defined(__i386__)
template <int R> void acrossAvxFixed(const Px* s, Px* d, int width, const float* k, int)
{
    acrossAvx<R>(s, d, width, k);
}
#endif

template <int... Rs> Passes unrolledPasses(std::integer_sequence<int, Rs...>, int r, bool avx)
{
    Passes p { nullptr, nullptr };
    (void)avx;
    ((r == Rs + 1 ? (p = Passes { &acrossFixed<Rs + 1>, &downFixed<Rs + 1> }) : p), ...);
#if defined(__x86_64__) || defined(__i386__)
    if (avx)
        ((r == Rs + 1 ? (p = Passes { &acrossAvxFixed<Rs + 1>, &downAvx<Rs + 1> }) : p), ...);
#endif
    return p;
}

#if defined(__x86_64__) || defined(__i386__)
void downFusedAll(const Px* const* rows, Px* d0, Px* d1, int width, const float* k, int r)
{
    downFusedNarrow(rows, d0, d1, 0, width, k, r);
}
#endif

Passes passesFor(int r)
{
    const bool avx = CpuFeatures::hasAvx();
    if (r <= kMaxUnrolled)
        return unrolledPasses(std::make_integer_sequence<int, kMaxUnrolled>(), r, avx);
#if defined(__x86_64__) || defined(__i386__)
    if (CpuFeatures::roundsFused()) {
        if (CpuFeatures::hasAvx512())
            return { &acrossFusedWide, &downFusedAvx512 };
        return CpuFeatures::hasAvx2() ? Passes { &acrossFusedWide, &downFusedAvx2 }
                                      : Passes { &acrossFusedNarrow, &downFusedAll };
    }
    if (avx)
        return { &acrossAvxAny, &downAvx<0> };
#endif
    return { &acrossAny, &downAll };
}

// The widest band of columns whose ring (2r + 2 rows and a spare) fits kRingBytes, in whole
// vectors.
int bandWidth(int r, int width)
{
    const std::size_t rowBytes = std::size_t(2 * r + 3) * sizeof(Px);
    const int fits = int(std::min<std::size_t>(kRingBytes / rowBytes, std::size_t(width)));
    return fits >= width ? width : std::max(8, fits & ~7);
}

// Ring rows a little longer than the band, so that rows a power of two apart do not all
// fall in the same sets of the first-level cache.
constexpr int kRingPad = 4;

} // namespace

bool BlurNode::render(const RenderArgs& args, PixelTile& out) const
{
    const double s = args.scale;
    if (!(s > 1) || !(m_sigma * s > kZoomedSigma))
        return renderAtScale(args, out);
    return renderScaledUp(args, std::max(1.0, kZoomedSigma / m_sigma), out,
               [this](const RenderArgs& at, PixelTile& tile) { return renderAtScale(at, tile); })
        && !args.cancelled();
}

bool BlurNode::renderAtScale(const RenderArgs& args, PixelTile& out) const
{
    const std::vector<float> k = kernel(m_sigma * args.scale);
    if (k.size() <= 1)
        return m_input->renderInto(args, out);
    const int r = int(k.size()) - 1;
    const PixelRect& o = out.rect();
    // Not cut at the pixel limits (r is bounded), so that every tap has a place to read.
    const PixelRect roi(o.x - r, o.y - r, o.width + 2 * r, o.height + 2 * r);
    // Rows outside the input's extent are clear: not rendered, zero in the ring, so that
    // every output row has r rows either side.
    const PixelRect inExtent = m_input->pixelExtent(args.scale);
    const PixelRect rows = roi.intersected(inExtent);
    const Px zero = { 0, 0, 0, 0 };
    if (rows.isEmpty()) {
        out.fill(zero);
        return true;
    }
    const int span = 2 * r + 2;
    const int band = bandWidth(r, o.width);
    // In bands of rows when one band of columns covers the tile (each input row is read once).
    const bool inBands = band >= o.width && m_input->rendersRowsAlone(args);
    const int bandRows = std::max(1, int(kInputBandBytes / (sizeof(Px) * std::size_t(roi.width))));
    PixelTile in;
    if (!inBands && !m_input->renderRect(args, { roi.x, rows.y, roi.width, rows.height }, in))
        return false;
    // The ring holds the 2r + 2 rows two output rows read, and a spare row: where the tile has
    // an odd number of rows, the last one is made with a partner row written there.
    PixelTile ring;
    if (!ring.allocate({ 0, 0, band + kRingPad, span + 1 }))
        return false;
    Px* spare = ring.row(span);
    const Passes passes = passesFor(r);
    std::vector<const Px*> taps(std::size_t(span), nullptr);
    auto slot = [&](int n) { return ring.row(n % span); };
    for (int bx = 0; bx < o.width; bx += band) {
        if (args.cancelled())
            return false;
        const int bw = std::min(band, o.width - bx);
        for (int y = roi.y; y < roi.maxY(); ++y) {
            const int n = y - roi.y; // rows of the ring filled before this one
            if (y >= rows.y && y < rows.maxY()) {
                if (inBands && (in.rect().isEmpty() || y >= in.rect().maxY())
                    && !m_input->renderRect(
                        args, { roi.x, y, roi.width, std::min(bandRows, rows.maxY() - y) }, in))
                    return false;
                passes.across(in.at(o.x + bx, y), slot(n), bw, k.data(), r);
            } else
                std::fill_n(slot(n), bw, zero);
            // Output rows m - 1 and m once row n = m + 2r is in, for odd m; the last row of an
            // odd count on its own.
            const int m = n - 2 * r;
            const bool pair = m >= 1 && m % 2 == 1;
            const bool last = m == o.height - 1 && m % 2 == 0;
            if (!pair && !last)
                continue;
            const int first = pair ? m - 1 : m; // the first output row made
            for (int j = 0; j < span; ++j)
                taps[std::size_t(j)] = slot(first + (pair ? j : std::min(j, 2 * r)));
            passes.down(taps.data(), out.at(o.x + bx, o.y + first),
                pair ? out.at(o.x + bx, o.y + m) : spare, bw, k.data(), r);
        }
    }
    return !args.cancelled();
}

} // namespace platform
