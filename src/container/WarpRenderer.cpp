#include "container/WarpRenderer.h"

#include "boxes/ShapeModel.h"
#include "boxes/ShapeOutline.h"
#include "boxes/UnitBoxMap.h"
#include "container/ContainerLogging.h"
#include "foundation/CCommonMatrix.h"
#include "foundation/CMyLine.h"
#include "foundation/ImageAdditions.h"
#include "platform/concurrency/Parallel.h"
#include "platform/imaging/CpuFeatures.h"

#include <QImage>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

using platform::Point;

namespace WarpRenderer {
namespace {

using Pixel = std::uint32_t;
// Four channels of one pixel as lanes (byte order is moot: every channel is treated alike
// except alpha, the top byte, which caps the colour of an extrapolated pixel).
typedef int I4 __attribute__((vector_size(16)));
typedef float F4 __attribute__((vector_size(16)));
typedef unsigned char U4 __attribute__((vector_size(4)));

constexpr long kMinimumWork = 32 * 1024;
constexpr int kAlpha = 3;

inline I4 lanes(Pixel p)
{
    U4 b;
    std::memcpy(&b, &p, 4);
    return __builtin_convertvector(b, I4);
}

inline Pixel pixelOf(I4 v)
{
    const U4 b = __builtin_convertvector(v, U4);
    Pixel p;
    std::memcpy(&p, &b, 4);
    return p;
}

// trunc(s0 (1 - f) + s1 f) per channel, the two weights given as the float formulas make them.
[[gnu::always_inline]] inline Pixel blend2(Pixel p0, Pixel p1, float w0, float w1)
{
    if ((p0 | p1) == 0)
        return 0;
    const F4 v
        = __builtin_convertvector(lanes(p0), F4) * w0 + __builtin_convertvector(lanes(p1), F4) * w1;
    I4 i = __builtin_convertvector(v, I4);
    i = i > 255 ? 255 : i;
    i = i < 0 ? 0 : i;
    return pixelOf(i);
}

// The two neighbours at(i), at(i + 1) blended at s, i = trunc(s), when 2 <= i <= last; clear
// otherwise. Far or non-finite positions are turned away before trunc, which they would make
// undefined.
[[gnu::always_inline]] inline bool blendable(float s, int last)
{
    if (!(s > -2.0f && s < float(last + 3)))
        return false;
    const int i = int(s);
    return i >= 2 && i <= last;
}

template <typename At> [[gnu::always_inline]] inline Pixel blendAt(float s, int last, const At& at)
{
    if (!blendable(s, last))
        return 0;
    const int i = int(s);
    return blend2(at(i), at(i + 1), float(i + 1) - s, s - float(i));
}

// Values from outside: not finite -> 0, then held to [lo, hi].
float held(double x, double lo, double hi)
{
    return std::isfinite(x) ? float(std::clamp(x, lo, hi)) : 0.0f;
}

// A zero-free picture buffer of w x h pixels, or null when too large or out of memory.
QImage newBuffer(long long w, long long h)
{
    if (w <= 0 || h <= 0 || w * h > kMaxImagePixels)
        return QImage();
    try {
        return QImage(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    } catch (const std::bad_alloc&) {
        return QImage();
    }
}

// ---- perspective stage

struct InverseMap {
    // Per coordinate (x numerator, y numerator, denominator): coefficient of the destination
    // column, of the row, and the constant.
    float cx[3], cy[3], c0[3];
};

// The projective map sending (0,0), (w,0), (w,h), (0,h) (w = ex - 1, h = ey - 1) to the corners,
// inverted. Nothing when the quad is degenerate.
std::optional<InverseMap> perspectiveTransform(const std::array<FloatPoint, 4>& c, int ex, int ey)
{
    const float w = float(ex - 1);
    const float h = float(ey - 1);
    const float x0 = c[0].x, y0 = c[0].y, x1 = c[1].x, y1 = c[1].y;
    const float x2 = c[2].x, y2 = c[2].y, x3 = c[3].x, y3 = c[3].y;
    const float k = ((y0 - y3) * (x1 - x2) - (x0 - x3) * (y1 - y2))
        / (((y2 - y1) * (x3 - x2) + (x1 - x2) * (y3 - y2)) * h);
    const float g = ((y0 + y2 - y1 - y3) - (y3 - y2) * h * k) / ((y1 - y2) * w);
    const float a = g * x1 + (x1 - x0) / w;
    const float d = g * y1 + (y1 - y0) / w;
    const float b = k * x3 + (x3 - x0) / h;
    const float e = k * y3 + (y3 - y0) / h;
    const float forward[3][3] = { { a, b, x0 }, { d, e, y0 }, { g, k, 1.0f } };
    for (const auto& row : forward)
        for (float f : row)
            if (!std::isfinite(f))
                return std::nullopt;

    CCommonMatrix::Ptr m(CCommonMatrix::NewMatrix(3, 3));
    if (!m)
        return std::nullopt;
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col)
            m->at(r, col) = double(forward[r][col]);
    bool singular = false;
    CCommonMatrix::Ptr inv(CCommonMatrix::Inverse(m.get(), &singular));
    if (!inv || singular)
        return std::nullopt;
    InverseMap n;
    for (int r = 0; r < 3; ++r) {
        n.cx[r] = float(inv->at(r, 0));
        n.cy[r] = float(inv->at(r, 1));
        n.c0[r] = float(inv->at(r, 2));
        if (!std::isfinite(n.cx[r]) || !std::isfinite(n.cy[r]) || !std::isfinite(n.c0[r]))
            return std::nullopt;
    }
    return n;
}

// Narrows one side of the picture about its middle m to (1 - |f|) of its length: its ends become
// m - d and m + d, at least one pixel apart.
void narrowSide(float f, float m, float& first, float& second)
{
    const float d = float((1.0 - std::fabs(double(f))) * double(m));
    first = m - d;
    second = m + d;
    if (std::fabs(second - first) < 1.0f)
        second = first + 1.0f;
}

// The corners of the narrowed picture in (column, row), or nothing when its sides do not meet
// or meet too far away.
std::optional<std::array<FloatPoint, 4>> narrowedCorners(int W, int H, float h, float v)
{
    const int Wl = W - 1;
    const int Hl = H - 1;
    const float c = float(double(Hl) / 2.0);
    const float cc = float(double(Wl) / 2.0);
    const float fW = float(Wl), fH = float(Hl);
    FloatPoint P0 { 0, 0 }, P1 { fW, 0 }, P2 { fW, fH }, P3 { 0, fH };
    if (h > 0.0f)
        narrowSide(h, c, P1.y, P2.y); // the right side
    else
        narrowSide(h, c, P0.y, P3.y); // the left side
    FloatPoint Q0 { 0, 0 }, Q1 { fW, 0 }, Q2 { fW, fH }, Q3 { 0, fH };
    if (v > 0.0f)
        narrowSide(v, cc, Q0.x, Q1.x); // the top side
    else
        narrowSide(v, cc, Q3.x, Q2.x); // the bottom side
    const CMyLine top(P0, P1), bottom(P3, P2), left(Q0, Q3), right(Q1, Q2);
    std::array<FloatPoint, 4> corner;
    if (!top.Intersection(left, &corner[0]) || !top.Intersection(right, &corner[1])
        || !bottom.Intersection(right, &corner[2]) || !bottom.Intersection(left, &corner[3]))
        return std::nullopt;
    for (const FloatPoint& p : corner)
        if (!(std::fabs(p.x) <= 100000.0f && std::fabs(p.y) <= 100000.0f)) {
            qCDebug(lcContainer) << "error divide byzero";
            return std::nullopt;
        }
    return corner;
}

// The picture the perspective stage reads: its rows are taken once, not per pixel.
struct SourceRows {
    const uchar* bits;
    qsizetype stride;
    int W, H;
    const Pixel* row(int y) const
    {
        return reinterpret_cast<const Pixel*>(bits + qsizetype(y) * stride);
    }
};

// The per-column terms of the inverse map, and one row's terms.
struct ColumnTerms {
    const float *x, *y, *d;
};
struct RowTerms {
    float x, y, d; // the row's share
    float x0, y0, d0; // the constants
};

// Work space of one run of a row: where each sample reads (see Placed).
struct RowScratch {
    std::vector<int> offset, fx, fy;
    explicit RowScratch(std::size_t n)
        : offset(n)
        , fx(n)
        , fy(n)
    {
    }
};

// Where one sample reads: the top-left neighbour (in pixels from the picture's first) and its
// 10-bit weights; offset -1 where the four neighbours are not all inside (also a zero
// denominator and anything not finite).
template <typename F, typename I> struct Placed {
    I offset, fx, fy;
};

template <typename F, typename I>
[[gnu::always_inline]] inline Placed<F, I> place(F sx, F sy, const SourceRows& src)
{
    const float maxX = float(src.W + 1), maxY = float(src.H + 1);
    const I inside = (sx > -2.0f) & (sx < maxX) & (sy > -2.0f) & (sy < maxY);
    // Held where outside, so that trunc is defined; a negative trunc is outside.
    const F hx = inside ? sx : F {} - 8.0f, hy = inside ? sy : F {} - 8.0f;
    I ix, iy;
    if constexpr (std::is_same_v<F, float>) {
        ix = int(hx);
        iy = int(hy);
    } else {
        ix = __builtin_convertvector(hx, I);
        iy = __builtin_convertvector(hy, I);
    }
    const I ok = (ix >= 0) & (ix <= src.W - 3) & (iy >= 0) & (iy <= src.H - 3);
    Placed<F, I> p;
    if constexpr (std::is_same_v<F, float>) {
        p.fx = int(hx * 1024.0f - float(ix * 1024));
        p.fy = int(hy * 1024.0f - float(iy * 1024));
    } else {
        p.fx = __builtin_convertvector(hx * 1024.0f - __builtin_convertvector(ix * 1024, F), I);
        p.fy = __builtin_convertvector(hy * 1024.0f - __builtin_convertvector(iy * 1024, F), I);
    }
    p.offset = ok ? iy * int(src.stride / 4) + ix : I {} - 1;
    return p;
}

// The positions of a run of n samples of a row (c and the scratch from the run's first
// column), eight at a time. Returns the number of zero denominators.
[[gnu::always_inline]] inline long positionsBody(
    const ColumnTerms& c, const RowTerms& r, int n, const SourceRows& src, RowScratch& s)
{
    typedef float F8 __attribute__((vector_size(32)));
    typedef int I8 __attribute__((vector_size(32)));
    long zeros = 0;
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        F8 cx, cy, cd;
        std::memcpy(&cx, c.x + x, sizeof cx);
        std::memcpy(&cy, c.y + x, sizeof cy);
        std::memcpy(&cd, c.d + x, sizeof cd);
        const F8 den = cd + r.d + r.d0;
        const Placed<F8, I8> p
            = place<F8, I8>((cx + r.x + r.x0) / den, (cy + r.y + r.y0) / den, src);
        const I8 zero = den == 0.0f;
        for (int i = 0; i < 8; ++i)
            zeros -= zero[i];
        std::memcpy(s.offset.data() + x, &p.offset, sizeof p.offset);
        std::memcpy(s.fx.data() + x, &p.fx, sizeof p.fx);
        std::memcpy(s.fy.data() + x, &p.fy, sizeof p.fy);
    }
    for (; x < n; ++x) {
        const float den = c.d[x] + r.d + r.d0;
        const Placed<float, int> p
            = place<float, int>((c.x[x] + r.x + r.x0) / den, (c.y[x] + r.y + r.y0) / den, src);
        zeros += den == 0.0f;
        s.offset[std::size_t(x)] = p.offset;
        s.fx[std::size_t(x)] = p.fx;
        s.fy[std::size_t(x)] = p.fy;
    }
    return zeros;
}

// The bilinear sample with top-left neighbour p: four 10-bit weights, rounded, colour held
// under alpha.
inline Pixel sample(const Pixel* p, qsizetype stride, int fx, int fy)
{
    const Pixel* r1 = p + stride;
    if ((p[0] | p[1] | r1[0] | r1[1]) == 0)
        return 0;
    const int w11 = fx * fy;
    const int w10 = 1024 * fx - w11;
    const int w01 = 1024 * fy - w11;
    const int w00 = 1048576 - 1024 * fx - 1024 * fy + w11;
    I4 value
        = (lanes(p[0]) * w00 + lanes(p[1]) * w10 + lanes(r1[0]) * w01 + lanes(r1[1]) * w11 + 524288)
        >> 20;
    value = value > 255 ? 255 : value;
    value = value < 0 ? 0 : value;
    // Extrapolated (a position just left of or above the picture) colour may rise above
    // alpha; premultiplied colour never may.
    const int alpha = value[kAlpha];
    value = value > alpha ? alpha : value;
    return pixelOf(value);
}

long perspectiveRowBase(const ColumnTerms& c, const RowTerms& r, int n, const SourceRows& src,
    RowScratch& s, Pixel* out)
{
    const long zeros = positionsBody(c, r, n, src, s);
    const Pixel* base = src.row(0);
    const qsizetype stride = src.stride / 4;
    for (int x = 0; x < n; ++x) {
        const int o = s.offset[std::size_t(x)];
        out[x] = o < 0 ? 0 : sample(base + o, stride, s.fx[std::size_t(x)], s.fy[std::size_t(x)]);
    }
    return zeros;
}

#if defined(__x86_64__) || defined(__i386__)
// The same where the processor has AVX2: the positions eight at a time, and two samples at a
// time in 256-bit integer vectors (one per 128-bit half), each separably and exactly: the two
// rows blended per column by one multiply-add of 16-bit pairs (p0 (1024 - fy) + p1 fy), then
// the two columns by 32-bit multiplies. Every product of the four-weight form is kept, so the
// pixels are the same.
__attribute__((target("avx2"))) long perspectiveRowAvx2(const ColumnTerms& c, const RowTerms& r,
    int n, const SourceRows& src, RowScratch& s, Pixel* out)
{
    const long zeros = positionsBody(c, r, n, src, s);
    const Pixel* base = src.row(0);
    const qsizetype stride = src.stride / 4;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i half = _mm256_set1_epi32(524288), top = _mm256_set1_epi32(255);
    const __m256i full = _mm256_set1_epi32(1024),
                  spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    int x = 0;
    for (; x + 2 <= n; x += 2) {
        const int oa = s.offset[std::size_t(x)], ob = s.offset[std::size_t(x) + 1];
        const Pixel* a = base + (oa < 0 ? 0 : oa);
        const Pixel* b = base + (ob < 0 ? 0 : ob);
        // Rows 0 and 1 of the two columns each sample reads, a in the low half, b in the high.
        const __m128i q0 = _mm_castpd_si128(
            _mm_loadh_pd(_mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a))),
                reinterpret_cast<const double*>(b)));
        const __m128i q1 = _mm_castpd_si128(_mm_loadh_pd(
            _mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + stride))),
            reinterpret_cast<const double*>(b + stride)));
        const __m256i ta = _mm256_cvtepu8_epi16(_mm_unpacklo_epi8(q0, q1));
        const __m256i tb = _mm256_cvtepu8_epi16(_mm_unpackhi_epi8(q0, q1));
        const __m256i left = _mm256_permute2x128_si256(ta, tb, 0x20);
        const __m256i right = _mm256_permute2x128_si256(ta, tb, 0x31);
        const __m256i fy = _mm256_permutevar8x32_epi32(
            _mm256_castsi128_si256(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s.fy.data() + x))),
            spread);
        const __m256i fx = _mm256_permutevar8x32_epi32(
            _mm256_castsi128_si256(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s.fx.data() + x))),
            spread);
        const __m256i wy = _mm256_or_si256(_mm256_slli_epi32(fy, 16),
            _mm256_and_si256(_mm256_sub_epi32(full, fy), _mm256_set1_epi32(0xffff)));
        const __m256i u0 = _mm256_madd_epi16(left, wy), u1 = _mm256_madd_epi16(right, wy);
        __m256i v = _mm256_add_epi32(
            _mm256_mullo_epi32(u0, _mm256_sub_epi32(full, fx)), _mm256_mullo_epi32(u1, fx));
        v = _mm256_srai_epi32(_mm256_add_epi32(v, half), 20);
        v = _mm256_max_epi32(_mm256_min_epi32(v, top), zero);
        v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3)));
        const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(v, v), zero);
        out[x] = oa < 0 ? 0 : Pixel(_mm256_extract_epi32(packed, 0));
        out[x + 1] = ob < 0 ? 0 : Pixel(_mm256_extract_epi32(packed, 4));
    }
    for (; x < n; ++x) {
        const int o = s.offset[std::size_t(x)];
        out[x] = o < 0 ? 0 : sample(base + o, stride, s.fx[std::size_t(x)], s.fy[std::size_t(x)]);
    }
    return zeros;
}
#endif

long perspectiveRow(const ColumnTerms& c, const RowTerms& r, int n, const SourceRows& src,
    RowScratch& s, Pixel* out)
{
#if defined(__x86_64__) || defined(__i386__)
    if (platform::CpuFeatures::hasAvx2())
        return perspectiveRowAvx2(c, r, n, src, s, out);
#endif
    return perspectiveRowBase(c, r, n, src, s, out);
}

// Inverse mapping with 10-bit bilinear weights; the last column and row stay clear.
QImage perspectiveStage(const QImage& src, float h, float v)
{
    const int W = src.width();
    const int H = src.height();
    const auto corners = narrowedCorners(W, H, h, v);
    if (!corners)
        return QImage();
    const auto n = perspectiveTransform(*corners, W - 1, H - 1);
    if (!n)
        return QImage();
    QImage dst = newBuffer(W, H);
    if (dst.isNull()) {
        qCDebug(lcContainer) << "calloc error";
        return dst;
    }
    // Per-column and per-row terms, each (x numerator, y numerator, denominator).
    const int ex = W - 1; // columns 0 .. W - 2 are mapped
    const int ey = H - 1;
    const std::size_t columns = std::size_t(ex);
    std::vector<float> colX(columns), colY(columns), colD(columns);
    for (int x = 0; x < ex; ++x) {
        colX[std::size_t(x)] = n->cx[0] * float(x);
        colY[std::size_t(x)] = n->cx[1] * float(x);
        colD[std::size_t(x)] = n->cx[2] * float(x);
    }
    std::atomic<long> zeroDenominators { 0 };
    const SourceRows source { src.constBits(), src.bytesPerLine(), W, H };
    uchar* const dstBits = dst.bits();
    const qsizetype dstStride = dst.bytesPerLine();
    // Runs of kRun columns down the band, so that the part of the picture the samples read
    // stays in the first-level cache from one row to the next.
    constexpr int kRun = 128;
    platform::parallelRows(H, W, kMinimumWork, [&](int top, int bottom) {
        RowScratch scratch(std::min(columns, std::size_t(kRun)));
        long zeros = 0;
        for (int y = std::max(top, ey); y < bottom; ++y)
            std::fill_n(reinterpret_cast<Pixel*>(dstBits + qsizetype(y) * dstStride), W, 0);
        const int last = std::min(bottom, ey);
        for (int x0 = 0; x0 < ex; x0 += kRun) {
            const int run = std::min(kRun, ex - x0);
            const ColumnTerms c { colX.data() + x0, colY.data() + x0, colD.data() + x0 };
            for (int y = top; y < last; ++y) {
                Pixel* out = reinterpret_cast<Pixel*>(dstBits + qsizetype(y) * dstStride);
                const RowTerms row { n->cy[0] * float(y), n->cy[1] * float(y), n->cy[2] * float(y),
                    n->c0[0], n->c0[1], n->c0[2] };
                zeros += perspectiveRow(c, row, run, source, scratch, out + x0);
                out[W - 1] = 0;
            }
        }
        zeroDenominators += zeros;
    });
    if (zeroDenominators > 0)
        qCDebug(lcContainer) << "rr 0" << zeroDenominators.load();
    return dst;
}

// ---- curve analysis

struct Curve {
    int mode = 0; // 0 none, 1 three points bent up, 2 three points bent down, 3 more points
    std::vector<float> shift; // centre-line height by column 0 .. W
    int minS = 0, maxE = 0, minX = 0, maxX = 0;
    float A1 = 0, B1 = 0, A2 = 0, B2 = 0;
};

// The fan's side positions and horizontal extents; false when a side line meets no line.
bool fanSides(Curve& k, const Point& F, const Point& M, const Point& L, int W, int H, double far)
{
    const float fH = float(H);
    const bool up = k.mode == 1;
    const float base = up ? 0.0f : fH;
    const FloatPoint mid(float(M.x), up ? float(M.y) : float(M.y) + fH);
    const CMyLine leftChord(mid, FloatPoint(float(F.x), base));
    const CMyLine rightChord(mid, FloatPoint(float(L.x), base));
    const CMyLine leftSide = leftChord.Perpendicular(FloatPoint(0.0f, base));
    const CMyLine rightSide = rightChord.Perpendicular(FloatPoint(float(W), base));
    const float yA = up ? fH - float(k.minS) : fH;
    const float yB = up ? fH - float(k.maxE) : 0.0f;
    const CMyLine lineA(0.0f, yA, 1.0f, yA), lineB(0.0f, yB, 1.0f, yB);
    FloatPoint a1, b1, a2, b2;
    if (!leftSide.Intersection(lineA, &a1) || !leftSide.Intersection(lineB, &b1)
        || !rightSide.Intersection(lineA, &a2) || !rightSide.Intersection(lineB, &b2))
        return false;
    k.A1 = a1.x * 0.5f;
    k.A2 = float(W) + (a2.x - float(W)) * 0.5f;
    k.B1 = b1.x;
    k.B2 = b2.x;
    for (float x : { k.A1, k.A2, k.B1, k.B2 })
        if (!std::isfinite(x))
            return false; // as good as no crossing
    // Only the extents are held to the clip (before trunc, so that it is defined): the side
    // positions stay as they are, so a held extent crops the fanned picture, never squeezes it.
    const float lo = float(-far), hi = float(W + far);
    k.minX = 0;
    for (float x : { k.A1, k.B2, k.B1 })
        if (x < float(k.minX))
            k.minX = int(std::max(x - 1.0f, lo));
    k.maxX = W;
    for (float x : { k.A2, k.B2, k.B1 })
        if (x > float(k.maxX))
            k.maxX = int(std::min(x + 1.0f, hi));
    return true;
}

Curve analyseCurve(const std::vector<Point>& unitCurve, int W, int H)
{
    Curve k;
    k.minS = 0;
    k.maxE = H;
    k.maxX = W;
    const std::size_t n = unitCurve.size();
    if (n < 3 || (n == 3 && std::fabs(unitCurve[1].y) < 0.001))
        return k;

    const BoxCorners R { Point(0, 0), Point(W, 0), Point(W, H), Point(0, H) };
    std::vector<Point> mapped;
    mapped.reserve(n);
    for (const Point& p : unitCurve)
        mapped.push_back(calcPoints(R, p));
    ShapeModel smooth; // no corners: one Catmull-Rom run through every point
    smooth.controlVals.assign(n, ControlValue());
    const auto samples = splinePoints(smooth, mapped, 4);
    if (!samples || samples->points.size() < 2)
        return k;

    k.shift.assign(std::size_t(W) + 1, 0.0f);
    const double far = 8.0 * std::max(W, H);
    const std::vector<Point>& s = samples->points;
    auto visit = [&](const Point& a, const Point& b, long c) {
        // Only columns within the pair's span: the truncated first column lies in the previous
        // pair's span, and extrapolating it would lower the picture's ends below their points.
        if (double(c) < std::min(a.x, b.x) || double(c) > std::max(a.x, b.x))
            return;
        const double y = b.x == a.x ? a.y : a.y + (double(c) - a.x) * (b.y - a.y) / (b.x - a.x);
        const float sh = float(y);
        if (!std::isfinite(sh))
            return;
        k.shift[std::size_t(c)] = sh;
        if (-sh < float(k.minS))
            k.minS = int(std::max(-sh - 1.0f, float(-far)));
        if (float(H) - sh > float(k.maxE))
            k.maxE = int(std::min(float(H) - sh + 1.0f, float(H + far)));
    };
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        const Point& a = s[i];
        const Point& b = s[i + 1];
        if (!std::isfinite(a.x) || !std::isfinite(b.x))
            continue;
        // Positions beyond the picture visit no column; held first so that trunc is defined.
        const long xa = long(std::clamp(a.x, -2.0, double(W) + 2.0));
        const long xb = long(std::clamp(b.x, -2.0, double(W) + 2.0));
        if (xa <= xb)
            for (long c = std::max(xa, 0L); c <= std::min(xb, long(W)); ++c)
                visit(a, b, c);
        if (b.x < a.x && xb <= xa)
            for (long c = std::max(xb, 0L); c <= std::min(xa, long(W)); ++c)
                visit(a, b, c);
    }

    if (n == 3) {
        k.mode = unitCurve[1].y >= 0.0 ? 1 : 2;
        if (!fanSides(k, mapped[0], mapped[1], mapped[2], W, H, far)) {
            k.mode = 3; // no crossing, no fan: the columns are shifted only
            k.minX = 0;
            k.maxX = W;
        }
    } else {
        k.mode = 3;
    }
    return k;
}

// ---- column shift and fan

// One row of the column shift: o[x] blends column x of the picture at row fj + shift[x] + minS.
[[gnu::always_inline]] inline void shiftRowBody(
    Pixel* o, const float* shift, float fj, float minS, const SourceRows& in)
{
    for (int x = 0; x < in.W; ++x) {
        const float fy = fj + shift[x] + minS;
        o[x] = blendAt(fy, in.H - 2, [&](int iy) { return in.row(iy)[x]; });
    }
}

// The fan's positions for a run of columns: base - num[i] / d (minus) or base + num[i] / d,
// eight at a time.
[[gnu::always_inline]] inline void stretchedBody(
    const float* num, int n, float base, float d, bool minus, float* sx)
{
    typedef float F8 __attribute__((vector_size(32)));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        F8 v;
        std::memcpy(&v, num + i, sizeof v);
        v = minus ? base - v / d : base + v / d;
        std::memcpy(sx + i, &v, sizeof v);
    }
    for (; i < n; ++i)
        sx[i] = minus ? base - num[i] / d : base + num[i] / d;
}

// One row of the fan over columns cLo .. cHi - 1: left of the centre column cx the row is
// stretched over toLeft, right of it over toRight (num: the columns' distances from cx times
// half the picture's width; sx: room for the positions).
struct FanRow {
    const Pixel* in;
    Pixel* out;
    int cLo, cHi, cx, last;
    float fcx, toLeft, toRight;
};

// The positions the row's columns cLo .. cHi - 1 read, into sx.
[[gnu::always_inline]] inline void fanPositions(const FanRow& f, const float* num, float* sx)
{
    const int mid = std::clamp(f.cx, f.cLo, f.cHi);
    stretchedBody(num + f.cLo, mid - f.cLo, f.fcx, f.toLeft, true, sx + f.cLo);
    stretchedBody(num + mid, f.cHi - mid, f.fcx, f.toRight, false, sx + mid);
}

[[gnu::always_inline]] inline void fanRowBody(const FanRow& f, const float* num, float* sx)
{
    fanPositions(f, num, sx);
    for (int c = f.cLo; c < f.cHi; ++c)
        f.out[c] = blendAt(sx[c], f.last, [&](int ix) { return f.in[ix]; });
}

void shiftRowBase(Pixel* o, const float* shift, float fj, float minS, const SourceRows& in)
{
    shiftRowBody(o, shift, fj, minS, in);
}

void fanRowBase(const FanRow& f, const float* num, float* sx)
{
    fanRowBody(f, num, sx);
}

#if defined(__x86_64__) || defined(__i386__)
// The same built for AVX2: the byte widening and narrowing of the blends are single
// instructions, the fan's divisions eight at a time. The same operations: the same pixels.
//
// The blends go two samples at a time, one pixel's four channels in each half of eight float
// lanes: the same products and sum per channel as blend2, truncated, and held to 0..255 by the
// saturating packs, so the same pixels. s(k) is sample k's position, at(k, i) its neighbour i.
template <typename S, typename At>
__attribute__((target("avx2"), always_inline)) inline void blendRunAvx2(
    int n, int last, const S& s, const At& at, Pixel* out)
{
    const __m256i zero = _mm256_setzero_si256();
    int k = 0;
    for (; k + 2 <= n; k += 2) {
        int p0[2] = { 0, 0 }, p1[2] = { 0, 0 };
        float w0[2] = { 0.0f, 0.0f }, w1[2] = { 0.0f, 0.0f };
        for (int j = 0; j < 2; ++j) {
            const float sj = s(k + j);
            if (!blendable(sj, last))
                continue;
            const int i = int(sj);
            p0[j] = int(at(k + j, i));
            p1[j] = int(at(k + j, i + 1));
            w0[j] = float(i + 1) - sj;
            w1[j] = sj - float(i);
        }
        if ((p0[0] | p0[1] | p1[0] | p1[1]) == 0) {
            out[k] = 0;
            out[k + 1] = 0;
            continue;
        }
        const __m256 a
            = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_setr_epi32(p0[0], p0[1], 0, 0)));
        const __m256 b
            = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_setr_epi32(p1[0], p1[1], 0, 0)));
        const __m256 wa = _mm256_setr_m128(_mm_set1_ps(w0[0]), _mm_set1_ps(w0[1]));
        const __m256 wb = _mm256_setr_m128(_mm_set1_ps(w1[0]), _mm_set1_ps(w1[1]));
        const __m256i v
            = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(a, wa), _mm256_mul_ps(b, wb)));
        const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(v, v), zero);
        out[k] = Pixel(_mm256_extract_epi32(packed, 0));
        out[k + 1] = Pixel(_mm256_extract_epi32(packed, 4));
    }
    for (; k < n; ++k)
        out[k] = blendAt(s(k), last, [&](int i) { return at(k, i); });
}

__attribute__((target("avx2"))) void shiftRowAvx2(
    Pixel* o, const float* shift, float fj, float minS, const SourceRows& in)
{
    blendRunAvx2(
        in.W, in.H - 2, [&](int x) { return fj + shift[x] + minS; },
        [&](int x, int iy) { return in.row(iy)[x]; }, o);
}

__attribute__((target("avx2"))) void fanRowAvx2(const FanRow& f, const float* num, float* sx)
{
    fanPositions(f, num, sx);
    if (f.cLo < f.cHi)
        blendRunAvx2(
            f.cHi - f.cLo, f.last, [&](int k) { return sx[f.cLo + k]; },
            [&](int, int ix) { return f.in[ix]; }, f.out + f.cLo);
}
#endif

void shiftRow(Pixel* o, const float* shift, float fj, float minS, const SourceRows& in)
{
#if defined(__x86_64__) || defined(__i386__)
    if (platform::CpuFeatures::hasAvx2())
        return shiftRowAvx2(o, shift, fj, minS, in);
#endif
    shiftRowBase(o, shift, fj, minS, in);
}

void fanRow(const FanRow& f, const float* num, float* sx)
{
#if defined(__x86_64__) || defined(__i386__)
    if (platform::CpuFeatures::hasAvx2())
        return fanRowAvx2(f, num, sx);
#endif
    fanRowBase(f, num, sx);
}

QImage columnShift(const QImage& src, const Curve& k)
{
    const int W = src.width();
    const int H = src.height();
    const int newW = k.maxX - k.minX;
    const int newH = k.maxE - k.minS;
    QImage dst = newBuffer(newW, newH);
    if (dst.isNull())
        return dst;
    const int first = -k.minX; // result column of source column 0
    const float minS = float(k.minS);
    const SourceRows in { src.constBits(), src.bytesPerLine(), W, H };
    uchar* const dstBits = dst.bits();
    const qsizetype dstStride = dst.bytesPerLine();
    platform::parallelRows(newH, newW, kMinimumWork, [&](int top, int bottom) {
        for (int j = top; j < bottom; ++j) {
            Pixel* out = reinterpret_cast<Pixel*>(dstBits + qsizetype(j) * dstStride);
            std::fill(out, out + first, Pixel(0));
            std::fill(out + first + W, out + newW, Pixel(0));
            Pixel* o = out + first;
            shiftRow(o, k.shift.data(), float(j), minS, in);
        }
    });
    return dst;
}

// The fan over a shifted picture of newW x newH whose flat width was W: the centre column,
// and each column's distance from it times half the width (the same for every row).
struct FanFrame {
    int newW, newH, half, cx, first;
    float fcx;
    std::vector<float> num;
    FanFrame(const Curve& k, int W, int width, int height)
        : newW(width)
        , newH(height)
        , half(W / 2)
        , cx(W / 2 - k.minX)
        , first(-k.minX) // the picture's first column in the shifted buffer
        , fcx(float(W / 2 - k.minX))
        , num(std::size_t(width) + 1)
    {
        for (int c = 0; c <= newW; ++c)
            num[std::size_t(c)] = float(qint64(std::abs(cx - c)) * half);
    }
};

// One row of the fan: nothing when the row lies outside the fan's sides (it is clear), else
// what its positions need (in and out left null).
std::optional<FanRow> fanRowPlan(const Curve& k, const FanFrame& f, int W, int r)
{
    const float fr = float(r);
    const float left = k.A1 + fr * (k.B1 - k.A1) / float(f.newH) - float(k.minX);
    const float right = k.A2 + fr * (k.B2 - k.A2) / float(f.newH) - float(k.minX);
    if (!(left < f.fcx && f.fcx < right))
        return std::nullopt;
    // Per-row terms: the distances the two halves are stretched to.
    const float toLeft = f.fcx - left;
    const float toRight = right - f.fcx;
    // Only the picture's own columns of the shifted buffer are not clear, and the positions
    // rise with the column: the columns reading outside them (with a margin) are clear as they
    // are.
    int cLo = 0, cHi = f.newW;
    if (f.half > 0) {
        auto columnOf = [&](double s) {
            return s < double(f.fcx)
                ? double(f.cx) - (double(f.fcx) - s) * double(toLeft) / f.half
                : double(f.cx) + (s - double(f.fcx)) * double(toRight) / f.half;
        };
        cLo = int(std::clamp(std::floor(columnOf(f.first - 1.0)) - 2.0, 0.0, double(f.newW)));
        cHi = int(std::clamp(std::ceil(columnOf(f.first + W + 1.0)) + 3.0, 0.0, double(f.newW)));
    }
    return FanRow { nullptr, nullptr, cLo, cHi, f.cx, f.newW - 2, f.fcx, toLeft, toRight };
}

QImage fan(const QImage& src, const Curve& k, int W)
{
    const FanFrame frame(k, W, src.width(), src.height());
    QImage dst = newBuffer(frame.newW, frame.newH);
    if (dst.isNull())
        return dst;
    const int newW = frame.newW;
    const SourceRows rows { src.constBits(), src.bytesPerLine(), newW, frame.newH };
    uchar* const dstBits = dst.bits();
    const qsizetype dstStride = dst.bytesPerLine();
    platform::parallelRows(frame.newH, newW, kMinimumWork, [&](int top, int bottom) {
        std::vector<float> sx(std::size_t(newW) + 1);
        for (int r = top; r < bottom; ++r) {
            Pixel* out = reinterpret_cast<Pixel*>(dstBits + qsizetype(r) * dstStride);
            std::optional<FanRow> f = fanRowPlan(k, frame, W, r);
            if (!f) {
                std::fill(out, out + newW, Pixel(0));
                continue;
            }
            f->in = rows.row(r);
            f->out = out;
            std::fill(out, out + f->cLo, Pixel(0));
            std::fill(out + std::max(f->cLo, f->cHi), out + newW, Pixel(0));
            if (f->cLo < f->cHi)
                fanRow(*f, frame.num.data(), sx.data());
        }
    });
    return dst;
}

// The curve's unit points held to what the gestures allow: heights within [-1, 1], u within
// [0, 1].
std::vector<Point> heldCurve(const std::vector<Point>& curves)
{
    std::vector<Point> unit;
    unit.reserve(curves.size());
    for (const Point& p : curves)
        unit.emplace_back(double(held(p.x, 0.0, 1.0)), double(held(p.y, -1.0, 1.0)));
    return unit;
}

} // namespace

std::optional<std::array<Point, 4>> perspectiveCorners(int W, int H, double h, double v)
{
    if (W < 3 || H < 3)
        return std::nullopt;
    const auto corners = narrowedCorners(W, H, held(h, -1.0, 1.0), held(v, -1.0, 1.0));
    if (!corners)
        return std::nullopt;
    std::array<Point, 4> out;
    for (std::size_t i = 0; i < 4; ++i)
        out[i] = Point(double((*corners)[i].x), double((*corners)[i].y));
    return out;
}

std::optional<Result> perspectiveCurved(
    const platform::Image& image, const std::vector<Point>& curves, double h, double v)
{
    const QSize size = image.pixelSize();
    if (size.isEmpty() || qint64(size.width()) * size.height() > kMaxImagePixels)
        return std::nullopt;
    QImage src = image.toQImage();
    if (src.isNull() || src.size() != size)
        return std::nullopt;
    if (src.format() != QImage::Format_ARGB32_Premultiplied)
        src = src.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int W = src.width();
    const int H = src.height();
    qCDebug(lcContainer).noquote() << QString::asprintf("Image size:%d %d", W, H);

    // Held to what the gestures allow: factors and heights within [-1, 1], u within [0, 1].
    const float hf = held(h, -1.0, 1.0);
    const float vf = held(v, -1.0, 1.0);
    const Curve k = analyseCurve(heldCurve(curves), W, H);
    if (k.mode != 0 && qint64(k.maxX - k.minX) * qint64(k.maxE - k.minS) > kMaxImagePixels)
        return std::nullopt;

    QImage work = src;
    const bool perspective = std::fabs(double(hf)) >= 0.002 || std::fabs(double(vf)) >= 0.002;
    // Under 3 pixels a side the map has no span to stretch over.
    if (perspective && W >= 3 && H >= 3) {
        work = perspectiveStage(src, hf, vf);
        if (work.isNull())
            return std::nullopt;
    }
    Result result;
    result.rect = platform::Rect(0, 0, W, H);
    if (k.mode != 0) {
        work = columnShift(work, k);
        if (!work.isNull() && (k.mode == 1 || k.mode == 2))
            work = fan(work, k, W);
        if (work.isNull())
            return std::nullopt;
        result.rect = platform::Rect(k.minX, H - k.maxE, k.maxX - k.minX, k.maxE - k.minS);
    }
    result.image = platform::Image::fromQImage(work, platform::Size(work.width(), work.height()));
    if (result.image.isNull())
        return std::nullopt;
    return result;
}

std::optional<CurveMaps> curveMaps(int W, int H, const std::vector<Point>& curves)
{
    if (W <= 0 || H <= 0 || qint64(W) * H > kMaxImagePixels)
        return std::nullopt;
    const Curve k = analyseCurve(heldCurve(curves), W, H);
    const int newW = k.maxX - k.minX;
    const int newH = k.maxE - k.minS;
    if (k.mode == 0 || qint64(newW) * qint64(newH) > kMaxImagePixels)
        return std::nullopt;
    const auto cleared = [&](SampleMap& m) {
        m.width = newW;
        m.height = newH;
        m.x.assign(std::size_t(newW) * std::size_t(newH), -10.0f);
        m.y.assign(std::size_t(newW) * std::size_t(newH), -10.0f);
    };
    CurveMaps maps;
    // The column shift: column x of the picture, at row j + shift[x] + minS (as shiftRowBody).
    cleared(maps.shift);
    const float minS = float(k.minS);
    for (int j = 0; j < newH; ++j)
        for (int x = 0; x < W; ++x) {
            const float fy = float(j) + k.shift[std::size_t(x)] + minS;
            if (!blendable(fy, H - 2))
                continue;
            const std::size_t at = std::size_t(j) * std::size_t(newW) + std::size_t(x - k.minX);
            maps.shift.x[at] = float(x);
            maps.shift.y[at] = fy;
        }
    if (k.mode == 1 || k.mode == 2) {
        SampleMap& m = maps.fan.emplace();
        cleared(m);
        const FanFrame frame(k, W, newW, newH);
        std::vector<float> sx(std::size_t(newW) + 1);
        for (int r = 0; r < newH; ++r) {
            const std::optional<FanRow> f = fanRowPlan(k, frame, W, r);
            if (!f || f->cLo >= f->cHi)
                continue;
            fanPositions(*f, frame.num.data(), sx.data());
            for (int c = f->cLo; c < f->cHi; ++c) {
                if (!blendable(sx[std::size_t(c)], f->last))
                    continue;
                const std::size_t at = std::size_t(r) * std::size_t(newW) + std::size_t(c);
                m.x[at] = sx[std::size_t(c)];
                m.y[at] = float(r);
            }
        }
    }
    return maps;
}

} // namespace WarpRenderer
