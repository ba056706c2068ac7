// AlphaBlur's large sigmas: three box passes across the rows, then three down the columns,
// computed only over the part of the result that is asked for. Running sums are exact integers
// (one add and one subtract per value, whatever the box's width); between passes the values
// are kept in fixed point with 8 fractional bits, so no rounding builds up along a line.
#include "platform/concurrency/Parallel.h"
#include "platform/graphics/AlphaBlur.h"
#include "platform/graphics/PixelLoop.h"

#include <algorithm>
#include <cstring>
#include <limits>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
PIXEL_LOOP void boxAlong(
    const In* in, Span inSpan, int step, int half, float scale, Span out, Out* dst)
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

// The horizontal passes built for processors with 256-bit vectors: each box is the difference
// of two prefix sums, eight values at a time, so a value costs the same whatever the box's
// width. The sums are the same integers as the running sum's and turn into the same floats by
// the same steps, so the results are the same bits.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLMARK_WIDE_BOXES 1

// Inclusive prefix sums of the eight lanes.
__attribute__((target("avx2"), always_inline)) inline __m256i scan8(__m256i x)
{
    x = _mm256_add_epi32(x, _mm256_slli_si256(x, 4));
    x = _mm256_add_epi32(x, _mm256_slli_si256(x, 8));
    // The low half's total added to every lane of the high half.
    const __m256i low = _mm256_shuffle_epi32(_mm256_permute2x128_si256(x, x, 0x08), 0xFF);
    return _mm256_add_epi32(x, low);
}

// Eight values from p on, as 32-bit lanes; false where the layout has no vector form (the
// caller then reads them one by one). Pixels of four bytes read whole words, so the caller
// asks for them only where a ninth value follows.
template <typename In>
__attribute__((target("avx2"), always_inline)) inline bool load8(const In* p, int step, __m256i& v)
{
    if constexpr (sizeof(In) == 1) {
        if (step == 1) {
            v = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
            return true;
        }
        if (step == 4 && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) {
            v = _mm256_and_si256(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), _mm256_set1_epi32(255));
            return true;
        }
        return false;
    } else {
        if (step != 1)
            return false;
        v = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        return true;
    }
}

template <typename In, typename Out>
PIXEL_LOOP __attribute__((target("avx2"))) void boxAlongWide(const In* in, Span inSpan, int step,
    int half, float scale, Span out, Out* dst, std::vector<std::uint32_t>& prefix)
{
    if (out.empty())
        return;
    // sums[i - q.lo]: the values from q.lo to i; out[x] is sums at x + half less sums at
    // x - half - 1. Sums wrap around at 2^32; the differences (a box of values) do not.
    const Span q { out.lo - half - 1, out.hi + half };
    prefix.resize(size_t(q.hi - q.lo));
    std::uint32_t* const sums = prefix.data();
    const Span filled = q & inSpan;
    const int start = filled.empty() ? q.hi : filled.lo;
    std::fill(sums, sums + (start - q.lo), 0u);
    std::uint32_t total = 0;
    if (!filled.empty()) {
        const size_t stride = size_t(step);
        const In* p = in + size_t(filled.lo - inSpan.lo) * stride;
        std::uint32_t* s = sums + (filled.lo - q.lo);
        const int n = filled.hi - filled.lo;
        // Pixels of four bytes stop a value short of the end: their last word may be the last
        // bytes of the plane.
        const int vectorEnd = sizeof(In) == 1 && step == 4 ? n - 1 : n;
        __m256i carry = _mm256_setzero_si256();
        int i = 0;
        __m256i v;
        if (vectorEnd >= 8 && load8(p, step, v)) {
            for (; i + 8 <= vectorEnd; i += 8) {
                load8(p + size_t(i) * stride, step, v);
                v = _mm256_add_epi32(scan8(v), carry);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(s + i), v);
                carry = _mm256_permutevar8x32_epi32(v, _mm256_set1_epi32(7));
            }
            total = std::uint32_t(_mm256_extract_epi32(carry, 0));
        }
        for (; i < n; ++i) {
            total += std::uint32_t(p[size_t(i) * stride]);
            s[i] = total;
        }
    }
    std::fill(sums + (std::max(start, filled.hi) - q.lo), sums + (q.hi - q.lo), total);
    const __m256 scales = _mm256_set1_ps(scale), halves = _mm256_set1_ps(0.5f);
    const std::uint32_t* add = sums + (out.lo + half - q.lo);
    const std::uint32_t* drop = sums + (out.lo - half - 1 - q.lo);
    const int count = out.hi - out.lo;
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256i box
            = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(add + x)),
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(drop + x)));
        const __m256 f = _mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(box), scales), halves);
        const __m256i rounded = _mm256_cvttps_epi32(f);
        if constexpr (sizeof(Out) == 2) {
            const __m256i packed
                = _mm256_permute4x64_epi64(_mm256_packus_epi32(rounded, rounded), 0x08);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm256_castsi256_si128(packed));
        } else {
            alignas(32) std::int32_t lanes[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), rounded);
            for (int k = 0; k < 8; ++k)
                dst[x + k] = Out(lanes[k]);
        }
    }
    for (; x < count; ++x)
        dst[x] = Out(float(std::int32_t(add[x] - drop[x])) * scale + 0.5f);
}
#endif

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
// dstStride). Values are fixed point; the last pass writes bytes (Last). Where same[y - out.lo]
// is set, the row entering the box equals the row leaving it: the sums and so the output row
// are the previous one's.
template <bool Last, typename Out>
[[gnu::always_inline]] inline void boxDownBody(const std::uint16_t* in, Span inSpan,
    size_t inStride, int half, float scale, Span out, const std::uint8_t* same, Out* dst,
    size_t dstStride)
{
    constexpr int kLanes = 8, kVectors = kStrip / kLanes;
    Int8 sum[kVectors] = {};
    auto row = [&](int y) { return in + size_t(y - inSpan.lo) * inStride; };
    const Span first = Span { out.lo - half - 1, out.lo + half } & inSpan;
    for (int y = first.lo; y < first.hi; ++y)
        for (int v = 0; v < kVectors; ++v)
            accumulate<1>(sum[v], row(y) + v * kLanes);
    for (int y = out.lo; y < out.hi; ++y) {
        const int add = y + half, drop = y - half - 1;
        const bool adds = add >= inSpan.lo && add < inSpan.hi;
        const bool drops = drop >= inSpan.lo && drop < inSpan.hi;
        Out* o = dst + size_t(y - out.lo) * dstStride;
        if (same[y - out.lo]) {
            std::memcpy(o, o - dstStride, kStrip * sizeof(Out));
            continue;
        }
        for (int v = 0; v < kVectors; ++v) {
            if (adds)
                accumulate<1>(sum[v], row(add) + v * kLanes);
            if (drops)
                accumulate<-1>(sum[v], row(drop) + v * kLanes);
            // Sums are never negative and a box's mean never exceeds its largest value, so
            // the result lies in the output's range: no clamping.
            const Float8 f = __builtin_convertvector(sum[v], Float8) * scale + 0.5f;
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
PIXEL_LOOP void boxDownBase(const std::uint16_t* in, Span inSpan, size_t inStride, int half,
    float scale, Span out, const std::uint8_t* same, Out* dst, size_t dstStride)
{
    boxDownBody<Last>(in, inSpan, inStride, half, scale, out, same, dst, dstStride);
}

// The same built for processors with 256-bit vectors: one instruction where two do above, with
// the same arithmetic in every lane, so the same bits.
#ifdef QUILLMARK_WIDE_BOXES
template <bool Last, typename Out>
PIXEL_LOOP __attribute__((target("avx2"))) void boxDownWide(const std::uint16_t* in, Span inSpan,
    size_t inStride, int half, float scale, Span out, const std::uint8_t* same, Out* dst,
    size_t dstStride)
{
    boxDownBody<Last>(in, inSpan, inStride, half, scale, out, same, dst, dstStride);
}
#endif

template <bool Last, typename Out>
void boxDown(bool wide, const std::uint16_t* in, Span inSpan, size_t inStride, int half,
    float scale, Span out, const std::uint8_t* same, Out* dst, size_t dstStride)
{
#ifdef QUILLMARK_WIDE_BOXES
    if (wide) {
        boxDownWide<Last>(in, inSpan, inStride, half, scale, out, same, dst, dstStride);
        return;
    }
#endif
    (void)wide;
    boxDownBase<Last>(in, inSpan, inStride, half, scale, out, same, dst, dstStride);
}

// Runs of equal rows through one vertical pass: runs[y - inSpan.lo] names the run of input row
// y (rows of one run are equal; rows outside inSpan are zero, a run of their own). Sets same[y -
// out.lo] where output row y equals the one above it for that reason, and outRuns likewise for the
// output rows.
void equalRowsThrough(const std::vector<int>& runs, Span inSpan, int half, Span out,
    std::vector<std::uint8_t>& same, std::vector<int>& outRuns)
{
    constexpr int kOutside = std::numeric_limits<int>::min(); // no row's own number
    auto run = [&](int y) {
        return y >= inSpan.lo && y < inSpan.hi ? runs[size_t(y - inSpan.lo)] : kOutside;
    };
    same.assign(size_t(std::max(0, out.hi - out.lo)), 0);
    outRuns.resize(same.size());
    for (int y = out.lo; y < out.hi; ++y) {
        const size_t i = size_t(y - out.lo);
        same[i] = y > out.lo && run(y + half) == run(y - half - 1);
        outRuns[i] = same[i] ? outRuns[i - 1] : y;
    }
}

// One horizontal pass, in vectors where the processor has them (prefix is their scratch).
template <typename In, typename Out>
void boxAlong(bool wide, const In* in, Span inSpan, int step, int half, float scale, Span out,
    Out* dst, std::vector<std::uint32_t>& prefix)
{
#ifdef QUILLMARK_WIDE_BOXES
    if (wide) {
        boxAlongWide(in, inSpan, step, half, scale, out, dst, prefix);
        return;
    }
#endif
    (void)wide;
    (void)prefix;
    boxAlong(in, inSpan, step, half, scale, out, dst);
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
    const size_t outWidth = size_t(window.width);
    // The rows that reach the window.
    const Span rows = down.grown(r) & Span { 0, height };
    if (rows.empty() || across.grown(r).hi <= 0 || across.grown(r).lo >= width) {
        std::memset(out, 0, outWidth * size_t(window.height));
        return;
    }
    const bool wide = useWideVectors();

    // Across the rows: the window's columns of every row, in fixed point, in a plane of
    // rows x window.width (zero where nothing reaches). Empty rows and the empty ends of a row
    // are skipped; a row the same as the one above it takes that row's result.
    // Rows padded to whole strips, so that a strip reads its columns in place.
    const size_t planeWidth = size_t((window.width + kStrip - 1) / kStrip * kStrip);
    thread_local std::vector<std::uint16_t> keptAcross;
    std::vector<std::uint16_t>& acrossPlane = keptAcross;
    // Not cleared as a whole: each row clears what its passes do not write.
    acrossPlane.resize(size_t(rows.hi - rows.lo) * planeWidth);
    std::uint16_t* const acrossData = acrossPlane.data();
    // equalAbove[i]: row i of the across plane is known to equal row i - 1.
    std::vector<std::uint8_t> equalAbove(size_t(rows.hi - rows.lo), 0);
    std::uint8_t* const equalAboveData = equalAbove.data();
    const float firstScale = float(kFixedOne) / float(m_boxes[0]);
    const float scale1 = 1.0f / float(m_boxes[1]), scale2 = 1.0f / float(m_boxes[2]);
    const long acrossWork = long(rows.hi - rows.lo) * (long(window.width) + 2L * r);
    parallelRuns(rows.hi - rows.lo, acrossWork, kParallelValues, [&](int first, int last) {
        std::vector<std::uint16_t> pass0, pass1;
        std::vector<std::uint32_t> prefix;
        auto inkOf = [&](const std::uint8_t* in) {
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
            return ink;
        };
        auto rowAt = [&](int i) { return plane + size_t(rows.lo + i) * size_t(stride); };
        // The row above: its ink, whether its result is all zero, and whether this run made
        // that result (the first row's is another run's, made at the same time).
        const std::uint8_t* previous = first > 0 ? rowAt(first - 1) : nullptr;
        Span previousInk = previous ? inkOf(previous) : Span {};
        bool previousEmpty = PassSpans(across, previousInk, half).pass[2].empty();
        bool previousMade = false;
        for (int i = first; i < last; ++i) {
            const std::uint8_t* in = rowAt(i);
            std::uint16_t* row = acrossData + size_t(i) * planeWidth;
            const Span ink = inkOf(in);
            const PassSpans spans(across, ink, half);
            const size_t inkStart = size_t(ink.lo) * size_t(pixelStep);
            const bool empty = spans.pass[2].empty();
            // Shapes and boxes cast many equal rows: the bytes from the first inked value to
            // the last decide the result.
            const bool equal = previous
                && (empty ? previousEmpty
                          : !previousEmpty && previousInk.lo == ink.lo && previousInk.hi == ink.hi
                            && std::memcmp(previous + inkStart, in + inkStart,
                                   size_t(ink.hi - ink.lo - 1) * size_t(pixelStep) + 1)
                                == 0);
            equalAboveData[i] = equal;
            previous = in;
            previousInk = ink;
            previousEmpty = empty;
            if (empty) {
                std::fill_n(row, planeWidth, std::uint16_t(0));
                previousMade = true;
                continue;
            }
            if (equal && previousMade) {
                std::memcpy(row, row - planeWidth, planeWidth * sizeof(std::uint16_t));
                continue;
            }
            previousMade = true;
            pass0.resize(size_t(spans.pass[0].hi - spans.pass[0].lo));
            pass1.resize(size_t(spans.pass[1].hi - spans.pass[1].lo));
            boxAlong(wide, in + inkStart, ink, pixelStep, half[0], firstScale, spans.pass[0],
                pass0.data(), prefix);
            boxAlong(wide, pass0.data(), spans.pass[0], 1, half[1], scale1, spans.pass[1],
                pass1.data(), prefix);
            const size_t lo = size_t(spans.pass[2].lo - across.lo);
            const size_t hi = size_t(spans.pass[2].hi - across.lo);
            std::fill(row, row + lo, std::uint16_t(0));
            boxAlong(wide, pass1.data(), spans.pass[1], 1, half[2], scale2, spans.pass[2], row + lo,
                prefix);
            std::fill(row + hi, row + planeWidth, std::uint16_t(0));
        }
    });

    // Down the columns, a strip at a time: every row of the across plane may hold ink.
    const PassSpans spans(down, rows, half);
    // The window's rows that no pass below writes.
    const Span written = spans.pass[2].empty() ? Span { down.lo, down.lo } : spans.pass[2];
    std::memset(out, 0, size_t(written.lo - down.lo) * outWidth);
    std::memset(
        out + size_t(written.hi - down.lo) * outWidth, 0, size_t(down.hi - written.hi) * outWidth);
    if (spans.pass[2].empty())
        return;
    // Which output rows of each pass repeat the row above (a box's or a shape's shadow is
    // mostly such rows): the same for every strip.
    std::vector<int> runs(equalAbove.size());
    for (size_t i = 0; i < runs.size(); ++i)
        runs[i] = i > 0 && equalAbove[i] ? runs[i - 1] : int(i);
    std::vector<std::uint8_t> same[3];
    std::vector<int> passRuns[3];
    equalRowsThrough(runs, rows, half[0], spans.pass[0], same[0], passRuns[0]);
    equalRowsThrough(passRuns[0], spans.pass[0], half[1], spans.pass[1], same[1], passRuns[1]);
    equalRowsThrough(passRuns[1], spans.pass[1], half[2], spans.pass[2], same[2], passRuns[2]);
    const int strips = (window.width + kStrip - 1) / kStrip;
    const float lastScale = 1.0f / (float(m_boxes[2]) * float(kFixedOne));
    const long downWork = long(window.width) * (long(window.height) + 2L * r);
    parallelRuns(strips, downWork, kParallelValues, [&](int first, int last) {
        std::vector<std::uint16_t> pass0, pass1;
        std::vector<std::uint8_t> bytes;
        const size_t s = kStrip;
        auto sameColumns = [&](int x0, int n) {
            for (int i = 0; i < rows.hi - rows.lo; ++i) {
                const std::uint16_t* row = acrossData + size_t(i) * planeWidth + size_t(x0);
                if (std::memcmp(row, row - kStrip, size_t(n) * sizeof(std::uint16_t)) != 0)
                    return false;
            }
            return true;
        };
        auto copyOut = [&](int x0, int n) {
            for (int y = spans.pass[2].lo; y < spans.pass[2].hi; ++y)
                std::memcpy(out + size_t(y - down.lo) * outWidth + size_t(x0),
                    bytes.data() + size_t(y - spans.pass[2].lo) * s, size_t(n));
        };
        for (int strip = first; strip < last; ++strip) {
            const int x0 = strip * kStrip, n = std::min(kStrip, window.width - x0);
            // The flat middle of a wide shape's shadow gives strips whose columns are the
            // previous strip's: bytes still holds that strip's result.
            if (strip > first && sameColumns(x0, n)) {
                copyOut(x0, n);
                continue;
            }
            pass0.resize(size_t(spans.pass[0].hi - spans.pass[0].lo) * s);
            pass1.resize(size_t(spans.pass[1].hi - spans.pass[1].lo) * s);
            bytes.resize(size_t(spans.pass[2].hi - spans.pass[2].lo) * s);
            boxDown<false>(wide, acrossData + x0, rows, planeWidth, half[0],
                1.0f / float(m_boxes[0]), spans.pass[0], same[0].data(), pass0.data(), s);
            boxDown<false>(wide, pass0.data(), spans.pass[0], s, half[1], scale1, spans.pass[1],
                same[1].data(), pass1.data(), s);
            boxDown<true>(wide, pass1.data(), spans.pass[1], s, half[2], lastScale, spans.pass[2],
                same[2].data(), bytes.data(), s);
            copyOut(x0, n);
        }
    });
    // A huge shadow must not pin its memory for the thread's life.
    if (acrossPlane.capacity() * sizeof(std::uint16_t) > (size_t(16) << 20))
        acrossPlane = {};
}

} // namespace platform
