#include "platform/imaging/BlurNode.h"

#include "platform/imaging/CpuFeatures.h"

#include <algorithm>
#include <cmath>
#include <utility>

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

// Small kernels (the display path's: sigma shrinks with the zoom) get their own unrolled
// loops with the weights held in registers; larger ones run loops over any radius, in 8-float
// vectors where the processor has them.
constexpr int kMaxUnrolled = 8;

inline Px splat(float w)
{
    return Px { w, w, w, w };
}

template <int R>
void horizontalUnrolled(const PixelTile& in, PixelTile& h, const PixelRect& rows, const float* k)
{
    Px w[R + 1];
    for (int t = 0; t <= R; ++t)
        w[t] = splat(k[t]);
    const int width = h.rect().width;
    for (int y = rows.y; y < rows.maxY(); ++y) {
        const Px* __restrict src = in.at(h.rect().x, y); // src[i - R] .. src[i + R] exist
        Px* __restrict dst = h.row(y);
        for (int i = 0; i < width; ++i) {
            const Px* p = src + i;
            Px acc = p[0] * w[0];
#pragma GCC unroll 8
            for (int t = 1; t <= R; ++t)
                acc += (p[-t] + p[t]) * w[t];
            dst[i] = acc;
        }
    }
}

// Both vertical passes run over blocks of columns, so that the 2R + 1 rows one block reads
// stay in the first-level cache while every output row of the block is made.
constexpr int kColumnBlock = 128;

template <int R> void verticalUnrolled(const PixelTile& h, PixelTile& out, const float* k)
{
    Px w[R + 1];
    for (int t = 0; t <= R; ++t)
        w[t] = splat(k[t]);
    const PixelRect& o = out.rect();
    const std::ptrdiff_t stride = h.rect().width; // rows of h are contiguous
    for (int bx = 0; bx < o.width; bx += kColumnBlock) {
        const int end = std::min(o.width, bx + kColumnBlock);
        for (int y = o.y; y < o.maxY(); ++y) {
            const Px* __restrict c = h.row(y);
            Px* __restrict dst = out.row(y);
            for (int i = bx; i < end; ++i) {
                const Px* p = c + i;
                Px acc = p[0] * w[0];
#pragma GCC unroll 8
                for (int t = 1; t <= R; ++t)
                    acc += (p[-t * stride] + p[t * stride]) * w[t];
                dst[i] = acc;
            }
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The same loops two pixels at a time in 8-float AVX vectors, for processors that have them
// (chosen at run time; the build targets plain x86-64). Each lane sees the same operations
// in the same order as in the loops above, so the results are identical.
using Px2 = float __attribute__((vector_size(32)));

// Eight floats (two pixels) from anywhere.
__attribute__((target("avx"), always_inline)) inline Px2 load2(const float* p)
{
    Px2 v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// One pixel (four floats) from and to anywhere, for the odd pixel at the end of a block.
__attribute__((always_inline)) inline Px loadPx(const float* p)
{
    Px v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

__attribute__((always_inline)) inline void storePx(float* p, Px v)
{
    __builtin_memcpy(p, &v, sizeof v);
}

template <int R>
__attribute__((target("avx"))) void horizontalAvx(
    const PixelTile& in, PixelTile& h, const PixelRect& rows, const float* k)
{
    Px2 w[R + 1];
    for (int t = 0; t <= R; ++t)
        w[t] = Px2 { k[t], k[t], k[t], k[t], k[t], k[t], k[t], k[t] };
    const int width = h.rect().width;
    for (int y = rows.y; y < rows.maxY(); ++y) {
        const float* __restrict src = reinterpret_cast<const float*>(in.at(h.rect().x, y));
        float* __restrict dst = reinterpret_cast<float*>(h.row(y));
        int i = 0;
        for (; i + 2 <= width; i += 2) {
            const float* p = src + 4 * i;
            Px2 acc = load2(p) * w[0];
#pragma GCC unroll 8
            for (int t = 1; t <= R; ++t)
                acc += (load2(p - 4 * t) + load2(p + 4 * t)) * w[t];
            __builtin_memcpy(dst + 4 * i, &acc, sizeof acc);
        }
        for (; i < width; ++i) {
            const Px* p = reinterpret_cast<const Px*>(src) + i;
            Px acc = p[0] * k[0];
            for (int t = 1; t <= R; ++t)
                acc += (p[-t] + p[t]) * k[t];
            reinterpret_cast<Px*>(dst)[i] = acc;
        }
    }
}

template <int R>
__attribute__((target("avx"))) void verticalAvx(const PixelTile& h, PixelTile& out, const float* k)
{
    Px2 w[R + 1];
    for (int t = 0; t <= R; ++t)
        w[t] = Px2 { k[t], k[t], k[t], k[t], k[t], k[t], k[t], k[t] };
    const PixelRect& o = out.rect();
    const std::ptrdiff_t stride = 4 * std::ptrdiff_t(h.rect().width);
    for (int bx = 0; bx < o.width; bx += kColumnBlock) {
        const int end = std::min(o.width, bx + kColumnBlock);
        for (int y = o.y; y < o.maxY(); ++y) {
            const float* __restrict c = reinterpret_cast<const float*>(h.row(y));
            float* __restrict dst = reinterpret_cast<float*>(out.row(y));
            int i = bx;
            for (; i + 2 <= end; i += 2) {
                const float* p = c + 4 * i;
                Px2 acc = load2(p) * w[0];
#pragma GCC unroll 8
                for (int t = 1; t <= R; ++t)
                    acc += (load2(p - t * stride) + load2(p + t * stride)) * w[t];
                __builtin_memcpy(dst + 4 * i, &acc, sizeof acc);
            }
            for (; i < end; ++i) {
                const Px* p = reinterpret_cast<const Px*>(c) + i;
                const std::ptrdiff_t s = stride / 4;
                Px acc = p[0] * k[0];
                for (int t = 1; t <= R; ++t)
                    acc += (p[-t * s] + p[t * s]) * k[t];
                reinterpret_cast<Px*>(dst)[i] = acc;
            }
        }
    }
}

// Any radius, four pixels (two vectors) at a time with the weights read as they are needed.
// The taps of every lane are added in the order of the loops above and of BlurNode's general
// loops, so the pixels are the same whichever runs.
__attribute__((target("avx"))) void horizontalAvxAny(
    const PixelTile& in, PixelTile& h, const PixelRect& rows, const float* k, int r)
{
    const int width = h.rect().width;
    for (int y = rows.y; y < rows.maxY(); ++y) {
        const float* __restrict src = reinterpret_cast<const float*>(in.at(h.rect().x, y));
        float* __restrict dst = reinterpret_cast<float*>(h.row(y));
        int i = 0;
        for (; i + 4 <= width; i += 4) {
            const float* p = src + 4 * i;
            const Px2 w0 = Px2 {} + k[0];
            Px2 a = load2(p) * w0;
            Px2 b = load2(p + 8) * w0;
            for (int t = 1; t <= r; ++t) {
                const Px2 w = Px2 {} + k[t];
                a += (load2(p - 4 * t) + load2(p + 4 * t)) * w;
                b += (load2(p + 8 - 4 * t) + load2(p + 8 + 4 * t)) * w;
            }
            __builtin_memcpy(dst + 4 * i, &a, sizeof a);
            __builtin_memcpy(dst + 4 * i + 8, &b, sizeof b);
        }
        for (; i < width; ++i) {
            const Px* p = reinterpret_cast<const Px*>(src) + i;
            Px acc = p[0] * k[0];
            for (int t = 1; t <= r; ++t)
                acc += (p[-t] + p[t]) * k[t];
            reinterpret_cast<Px*>(dst)[i] = acc;
        }
    }
}

// Row by row over blocks of columns: the block of the output row stays in the first-level
// cache while the rows of h stream past it, four taps per sweep (a tap per sweep would load
// and store the block once per tap; a block of registers walked down the columns would read
// every row of h in a stride the cache prefetch does not follow).
__attribute__((target("avx"))) void verticalAvxAny(
    const PixelTile& h, PixelTile& out, const float* k, int r)
{
    constexpr int kBlock = 256;
    const PixelRect& o = out.rect();
    for (int bx = 0; bx < o.width; bx += kBlock) {
        const int n = 4 * std::min(kBlock, o.width - bx); // floats in the block
        for (int y = o.y; y < o.maxY(); ++y) {
            float* __restrict dst = reinterpret_cast<float*>(out.row(y) + bx);
            auto row = [&](int dy) { return reinterpret_cast<const float*>(h.row(y + dy) + bx); };
            {
                const float* c = row(0);
                const Px2 w0 = Px2 {} + k[0];
                int i = 0;
                for (; i + 8 <= n; i += 8) {
                    const Px2 v = load2(c + i) * w0;
                    __builtin_memcpy(dst + i, &v, sizeof v);
                }
                if (i < n) // an odd pixel at the end
                    storePx(dst + i, loadPx(c + i) * k[0]);
            }
            int t = 1;
            for (; t + 3 <= r; t += 4) {
                const float *a0 = row(-t), *b0 = row(t), *a1 = row(-t - 1), *b1 = row(t + 1);
                const float *a2 = row(-t - 2), *b2 = row(t + 2), *a3 = row(-t - 3),
                            *b3 = row(t + 3);
                const Px2 w0 = Px2 {} + k[t], w1 = Px2 {} + k[t + 1];
                const Px2 w2 = Px2 {} + k[t + 2], w3 = Px2 {} + k[t + 3];
                int i = 0;
                for (; i + 8 <= n; i += 8) {
                    Px2 acc = load2(dst + i);
                    acc += (load2(a0 + i) + load2(b0 + i)) * w0;
                    acc += (load2(a1 + i) + load2(b1 + i)) * w1;
                    acc += (load2(a2 + i) + load2(b2 + i)) * w2;
                    acc += (load2(a3 + i) + load2(b3 + i)) * w3;
                    __builtin_memcpy(dst + i, &acc, sizeof acc);
                }
                if (i < n) {
                    Px acc = loadPx(dst + i);
                    acc += (loadPx(a0 + i) + loadPx(b0 + i)) * k[t];
                    acc += (loadPx(a1 + i) + loadPx(b1 + i)) * k[t + 1];
                    acc += (loadPx(a2 + i) + loadPx(b2 + i)) * k[t + 2];
                    acc += (loadPx(a3 + i) + loadPx(b3 + i)) * k[t + 3];
                    storePx(dst + i, acc);
                }
            }
            for (; t <= r; ++t) {
                const float *a = row(-t), *b = row(t);
                const Px2 w = Px2 {} + k[t];
                int i = 0;
                for (; i + 8 <= n; i += 8) {
                    Px2 acc = load2(dst + i);
                    acc += (load2(a + i) + load2(b + i)) * w;
                    __builtin_memcpy(dst + i, &acc, sizeof acc);
                }
                if (i < n)
                    storePx(dst + i, loadPx(dst + i) + (loadPx(a + i) + loadPx(b + i)) * k[t]);
            }
        }
    }
}

#else
template <int R> void horizontalAvx(const PixelTile&, PixelTile&, const PixelRect&, const float*)
{
}
template <int R> void verticalAvx(const PixelTile&, PixelTile&, const float*)
{
}
void horizontalAvxAny(const PixelTile&, PixelTile&, const PixelRect&, const float*, int)
{
}
void verticalAvxAny(const PixelTile&, PixelTile&, const float*, int)
{
}
#endif

template <int R>
void blurUnrolled(
    const PixelTile& in, PixelTile& h, const PixelRect& rows, PixelTile& out, const float* k)
{
    if (CpuFeatures::hasAvx()) {
        horizontalAvx<R>(in, h, rows, k);
        verticalAvx<R>(h, out, k);
        return;
    }
    horizontalUnrolled<R>(in, h, rows, k);
    verticalUnrolled<R>(h, out, k);
}

template <int... Rs>
bool dispatch(std::integer_sequence<int, Rs...>, int r, const PixelTile& in, PixelTile& h,
    const PixelRect& rows, PixelTile& out, const float* k)
{
    return ((r == Rs + 1 ? (blurUnrolled<Rs + 1>(in, h, rows, out, k), true) : false) || ...);
}

} // namespace

bool BlurNode::render(const RenderArgs& args, PixelTile& out) const
{
    const std::vector<float> k = kernel(m_sigma * args.scale);
    if (k.size() <= 1)
        return m_input->renderInto(args, out);
    const int r = int(k.size()) - 1;
    const PixelRect& o = out.rect();
    // Not cut at the pixel limits (r is bounded), so that every tap has a place to read.
    const PixelRect roi(o.x - r, o.y - r, o.width + 2 * r, o.height + 2 * r);
    // Rows outside the input's extent are clear: not rendered, zero in the horizontal pass's
    // output, so that the vertical pass reads r rows either side of every output row.
    const PixelRect inExtent = m_input->pixelExtent(args.scale);
    const PixelRect rows = roi.intersected(inExtent);
    if (rows.isEmpty()) {
        out.fill(Px { 0, 0, 0, 0 });
        return true;
    }
    PixelTile in, h;
    if (!m_input->renderRect(args, { roi.x, rows.y, roi.width, rows.height }, in))
        return false;
    if (!h.allocate({ o.x, roi.y, o.width, roi.height }))
        return false;
    const Px zero = { 0, 0, 0, 0 };
    for (int y = roi.y; y < rows.y; ++y)
        std::fill_n(h.row(y), o.width, zero);
    for (int y = rows.maxY(); y < roi.maxY(); ++y)
        std::fill_n(h.row(y), o.width, zero);
    if (r <= kMaxUnrolled
        && dispatch(std::make_integer_sequence<int, kMaxUnrolled>(), r, in, h, rows, out, k.data()))
        return !args.cancelled();
    const bool avx = CpuFeatures::hasAvx();
    if (avx)
        horizontalAvxAny(in, h, rows, k.data(), r);
    else
        horizontal(in, h, rows, k);
    in = PixelTile();
    if (args.cancelled())
        return false;
    if (avx)
        verticalAvxAny(h, out, k.data(), r);
    else
        vertical(h, out, k);
    return true;
}

void BlurNode::horizontal(
    const PixelTile& in, PixelTile& h, const PixelRect& rows, const std::vector<float>& k) const
{
    const int r = int(k.size()) - 1;
    std::vector<Px> w(k.size());
    for (std::size_t t = 0; t < k.size(); ++t)
        w[t] = splat(k[t]);
    const PixelRect& hr = h.rect();
    for (int y = rows.y; y < rows.maxY(); ++y) {
        const Px* __restrict src = in.at(hr.x, y); // src[i - r] .. src[i + r] are all inside
        Px* __restrict dst = h.row(y);
        for (int i = 0; i < hr.width; ++i) {
            const Px* p = src + i;
            Px acc = p[0] * w[0];
            for (int t = 1; t <= r; ++t)
                acc += (p[-t] + p[t]) * w[std::size_t(t)];
            dst[i] = acc;
        }
    }
}

// Runs over blocks of columns so that the rows one block reads stay in cache. Every output
// row has r rows of h either side.
void BlurNode::vertical(const PixelTile& h, PixelTile& out, const std::vector<float>& k) const
{
    constexpr int kBlock = 128;
    const int r = int(k.size()) - 1;
    const PixelRect& o = out.rect();
    for (int bx = 0; bx < o.width; bx += kBlock) {
        const int bw = std::min(kBlock, o.width - bx);
        for (int y = o.y; y < o.maxY(); ++y) {
            Px* __restrict dst = out.row(y) + bx;
            const Px* __restrict c = h.row(y) + bx;
            const Px w0 = splat(k[0]);
            for (int i = 0; i < bw; ++i)
                dst[i] = c[i] * w0;
            for (int t = 1; t <= r; ++t) {
                const Px* __restrict a = h.row(y - t) + bx;
                const Px* __restrict b = h.row(y + t) + bx;
                const Px w = splat(k[std::size_t(t)]);
                for (int i = 0; i < bw; ++i)
                    dst[i] += (a[i] + b[i]) * w;
            }
        }
    }
}

} // namespace platform
