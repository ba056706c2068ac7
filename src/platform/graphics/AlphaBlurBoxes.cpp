// AlphaBlur's large sigmas: three box passes across the rows, then three down the columns,
// computed only over the part of the result that is asked for. Running sums are exact integers
// (one add and one subtract per value, whatever the box's width); between passes the values
// are kept in fixed point with 8 fractional bits, so no rounding builds up along a line.
#include "platform/concurrency/Parallel.h"
#include "platform/graphics/AlphaBlur.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

constexpr int kFractionBits = 8;
constexpr int kFixedOne = 1 << kFractionBits;
// Columns handled together down the plane: the running sums of a strip stay in registers and
// the rows of a strip are contiguous.
constexpr int kStrip = 32;
// Below this many values a pass runs on the calling thread (see kParallelPixels in
// AlphaBlur.cpp).
constexpr long kParallelValues = 512 * 1024;

// A half-open range of positions along a line, in input coordinates.
struct Span {
    int lo = 0, hi = 0;
    bool empty() const { return hi <= lo; }
    Span grown(int by) const { return { lo - by, hi + by }; }
    Span operator&(const Span& o) const { return { std::max(lo, o.lo), std::min(hi, o.hi) }; }
};

// What each of the three passes must compute along one direction: the output of pass 2 (the
// last) where it is asked for, each earlier pass where the next one reads it, all cut to where
// the values can be other than zero (the input's ink grown by the boxes so far).
struct PassSpans {
    Span pass[3];
    explicit PassSpans(Span asked, Span ink, const int* half)
    {
        Span support[3];
        support[0] = ink.grown(half[0]);
        support[1] = support[0].grown(half[1]);
        support[2] = support[1].grown(half[2]);
        Span need = asked;
        for (int p = 2; p >= 0; --p) {
            pass[p] = ink.empty() ? Span {} : need & support[p];
            need = need.grown(half[p]);
        }
    }
};

// out[x - out.lo] for x in out: the sum of in over [x - half, x + half] times scale, rounded;
// in[x - inSpan.lo] holds the input at x, which is zero outside inSpan.
template <typename In, typename Out>
void boxAlong(const In* in, Span inSpan, int step, int half, float scale, Span out, Out* dst)
{
    if (out.empty())
        return;
    auto at = [&](int x) { return int(in[size_t(x - inSpan.lo) * size_t(step)]); };
    const Span first = Span { out.lo - half - 1, out.lo + half } & inSpan;
    int sum = 0;
    for (int x = first.lo; x < first.hi; ++x)
        sum += at(x);
    // The stretches where a value enters the box and where one leaves it are known ahead:
    // the loop runs in pieces without a test per value.
    const Span adding { inSpan.lo - half, inSpan.hi - half };
    const Span dropping { inSpan.lo + half + 1, inSpan.hi + half + 1 };
    auto piece = [&]<bool Add, bool Drop>(int from, int to) {
        for (int x = from; x < to; ++x) {
            if constexpr (Add)
                sum += at(x + half);
            if constexpr (Drop)
                sum -= at(x - half - 1);
            dst[x - out.lo] = Out(float(sum) * scale + 0.5f);
        }
    };
    int cuts[6] = { out.lo, out.hi, adding.lo, adding.hi, dropping.lo, dropping.hi };
    for (int& c : cuts)
        c = std::clamp(c, out.lo, out.hi);
    std::sort(cuts, cuts + 6);
    for (int i = 0; i + 1 < 6; ++i) {
        const int from = cuts[i], to = cuts[i + 1];
        if (from >= to)
            continue;
        const bool add = from >= adding.lo && from < adding.hi;
        const bool drop = from >= dropping.lo && from < dropping.hi;
        if (add && drop)
            piece.template operator()<true, true>(from, to);
        else if (add)
            piece.template operator()<true, false>(from, to);
        else if (drop)
            piece.template operator()<false, true>(from, to);
        else
            piece.template operator()<false, false>(from, to);
    }
}

typedef std::int32_t Int8 __attribute__((vector_size(32)));
typedef float Float8 __attribute__((vector_size(32)));
typedef std::uint16_t Short8 __attribute__((vector_size(16)));

// sum += p[0 .. 7] (Sign 1) or sum -= them (Sign -1). Vectors are passed by reference: eight
// ints are wider than the baseline processor's registers.
template <int Sign> [[gnu::always_inline]] inline void accumulate(Int8& sum, const std::uint16_t* p)
{
    Short8 v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (Sign > 0)
        sum += __builtin_convertvector(v, Int8);
    else
        sum -= __builtin_convertvector(v, Int8);
}

// One pass down kStrip columns: rows of in (stride inStride values, row y at in + (y -
// inSpan.lo) * inStride) are zero outside inSpan; rows out.lo .. out.hi - 1 go to dst (stride
// dstStride). Values are fixed point; the last pass writes bytes (Last).
template <bool Last, typename Out>
[[gnu::always_inline]] inline void boxDownBody(const std::uint16_t* in, Span inSpan,
    size_t inStride, int half, float scale, Span out, Out* dst, size_t dstStride)
{
    constexpr int kLanes = 8, kVectors = kStrip / kLanes;
    Int8 sum[kVectors] = {};
    auto row = [&](int y) { return in + size_t(y - inSpan.lo) * inStride; };
    const Span first = Span { out.lo - half - 1, out.lo + half } & inSpan;
    for (int y = first.lo; y < first.hi; ++y)
        for (int v = 0; v < kVectors; ++v)
            accumulate<1>(sum[v], row(y) + v * kLanes);
    const Float8 zero = {}, top = zero + (Last ? 255.0f : 65535.0f);
    for (int y = out.lo; y < out.hi; ++y) {
        const int add = y + half, drop = y - half - 1;
        const bool adds = add >= inSpan.lo && add < inSpan.hi;
        const bool drops = drop >= inSpan.lo && drop < inSpan.hi;
        Out* o = dst + size_t(y - out.lo) * dstStride;
        for (int v = 0; v < kVectors; ++v) {
            if (adds)
                accumulate<1>(sum[v], row(add) + v * kLanes);
            if (drops)
                accumulate<-1>(sum[v], row(drop) + v * kLanes);
            Float8 f = __builtin_convertvector(sum[v], Float8) * scale + 0.5f;
            f = f > zero ? f : zero;
            f = f < top ? f : top;
            const Int8 rounded = __builtin_convertvector(f, Int8);
            if constexpr (Last) {
                typedef std::uint8_t Byte8 __attribute__((vector_size(8)));
                const Byte8 bytes = __builtin_convertvector(rounded, Byte8);
                std::memcpy(o + v * kLanes, &bytes, sizeof bytes);
            } else {
                const Short8 shorts = __builtin_convertvector(rounded, Short8);
                std::memcpy(o + v * kLanes, &shorts, sizeof shorts);
            }
        }
    }
}

template <bool Last, typename Out>
void boxDownBase(const std::uint16_t* in, Span inSpan, size_t inStride, int half, float scale,
    Span out, Out* dst, size_t dstStride)
{
    boxDownBody<Last>(in, inSpan, inStride, half, scale, out, dst, dstStride);
}

// The same built for processors with 256-bit vectors: one instruction where two do above, with
// the same arithmetic in every lane, so the same bits.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLMARK_WIDE_BOXES 1
template <bool Last, typename Out>
__attribute__((target("avx2"))) void boxDownWide(const std::uint16_t* in, Span inSpan,
    size_t inStride, int half, float scale, Span out, Out* dst, size_t dstStride)
{
    boxDownBody<Last>(in, inSpan, inStride, half, scale, out, dst, dstStride);
}
#endif

template <bool Last, typename Out>
void boxDown(bool wide, const std::uint16_t* in, Span inSpan, size_t inStride, int half,
    float scale, Span out, Out* dst, size_t dstStride)
{
#ifdef QUILLMARK_WIDE_BOXES
    if (wide) {
        boxDownWide<Last>(in, inSpan, inStride, half, scale, out, dst, dstStride);
        return;
    }
#endif
    (void)wide;
    boxDownBase<Last>(in, inSpan, inStride, half, scale, out, dst, dstStride);
}

} // namespace

void AlphaBlur::applyBoxes(const std::uint8_t* plane, int width, int height, int stride,
    int pixelStep, const Window& window, std::uint8_t* out) const
{
    const int r = m_reach;
    const int half[3] = { (m_boxes[0] - 1) / 2, (m_boxes[1] - 1) / 2, (m_boxes[2] - 1) / 2 };
    // The window in input coordinates.
    const Span across { window.x - r, window.x + window.width - r };
    const Span down { window.y - r, window.y + window.height - r };
    std::memset(out, 0, size_t(window.width) * size_t(window.height));
    // The rows that reach the window.
    const Span rows = down.grown(r) & Span { 0, height };
    if (rows.empty() || across.grown(r).hi <= 0 || across.grown(r).lo >= width)
        return;

    // Across the rows: the window's columns of every row, in fixed point, in a plane of
    // rows x window.width (zero where nothing reaches). Empty rows and the empty ends of a row
    // are skipped.
    // Rows padded to whole strips, so that a strip reads its columns in place.
    const size_t planeWidth = size_t((window.width + kStrip - 1) / kStrip * kStrip);
    const size_t outWidth = size_t(window.width);
    thread_local std::vector<std::uint16_t> keptAcross;
    std::vector<std::uint16_t>& acrossPlane = keptAcross;
    acrossPlane.assign(size_t(rows.hi - rows.lo) * planeWidth, 0);
    std::uint16_t* const acrossData = acrossPlane.data();
    const float firstScale = float(kFixedOne) / float(m_boxes[0]);
    const float scale1 = 1.0f / float(m_boxes[1]), scale2 = 1.0f / float(m_boxes[2]);
    const long acrossWork = long(rows.hi - rows.lo) * (long(window.width) + 2L * r);
    parallelRuns(rows.hi - rows.lo, acrossWork, kParallelValues, [&](int first, int last) {
        std::vector<std::uint16_t> pass0, pass1;
        for (int i = first; i < last; ++i) {
            const std::uint8_t* in = plane + size_t(rows.lo + i) * size_t(stride);
            Span ink { 0, 0 };
            for (int x = 0; x < width; ++x) {
                if (in[size_t(x) * size_t(pixelStep)]) {
                    ink.lo = x;
                    break;
                }
            }
            for (int x = width; x > ink.lo; --x) {
                if (in[size_t(x - 1) * size_t(pixelStep)]) {
                    ink.hi = x;
                    break;
                }
            }
            const PassSpans spans(across, ink, half);
            if (spans.pass[2].empty())
                continue;
            pass0.resize(size_t(spans.pass[0].hi - spans.pass[0].lo));
            pass1.resize(size_t(spans.pass[1].hi - spans.pass[1].lo));
            boxAlong(in + size_t(ink.lo) * size_t(pixelStep), ink, pixelStep, half[0], firstScale,
                spans.pass[0], pass0.data());
            boxAlong(pass0.data(), spans.pass[0], 1, half[1], scale1, spans.pass[1], pass1.data());
            std::uint16_t* row = acrossData + size_t(i) * planeWidth;
            boxAlong(pass1.data(), spans.pass[1], 1, half[2], scale2, spans.pass[2],
                row + (spans.pass[2].lo - across.lo));
        }
    });

    // Down the columns, a strip at a time: every row of the across plane may hold ink.
    const PassSpans spans(down, rows, half);
    if (spans.pass[2].empty())
        return;
    const int strips = (window.width + kStrip - 1) / kStrip;
    const float lastScale = 1.0f / (float(m_boxes[2]) * float(kFixedOne));
    const bool wide = useWideVectors();
    const long downWork = long(window.width) * (long(window.height) + 2L * r);
    parallelRuns(strips, downWork, kParallelValues, [&](int first, int last) {
        std::vector<std::uint16_t> pass0, pass1;
        std::vector<std::uint8_t> bytes;
        const size_t s = kStrip;
        for (int strip = first; strip < last; ++strip) {
            const int x0 = strip * kStrip, n = std::min(kStrip, window.width - x0);
            pass0.resize(size_t(spans.pass[0].hi - spans.pass[0].lo) * s);
            pass1.resize(size_t(spans.pass[1].hi - spans.pass[1].lo) * s);
            bytes.resize(size_t(spans.pass[2].hi - spans.pass[2].lo) * s);
            boxDown<false>(wide, acrossData + x0, rows, planeWidth, half[0],
                1.0f / float(m_boxes[0]), spans.pass[0], pass0.data(), s);
            boxDown<false>(wide, pass0.data(), spans.pass[0], s, half[1], scale1, spans.pass[1],
                pass1.data(), s);
            boxDown<true>(wide, pass1.data(), spans.pass[1], s, half[2], lastScale, spans.pass[2],
                bytes.data(), s);
            for (int y = spans.pass[2].lo; y < spans.pass[2].hi; ++y)
                std::memcpy(out + size_t(y - down.lo) * outWidth + size_t(x0),
                    bytes.data() + size_t(y - spans.pass[2].lo) * s, size_t(n));
        }
    });
    // A huge shadow must not pin its memory for the thread's life.
    if (acrossPlane.capacity() * sizeof(std::uint16_t) > (size_t(16) << 20))
        acrossPlane = {};
}

} // namespace platform
