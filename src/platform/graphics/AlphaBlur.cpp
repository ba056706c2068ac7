#include "platform/graphics/AlphaBlur.h"

#include "platform/concurrency/Parallel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace platform {

namespace {

// Rows handled together: enough work per task, and the transposed writes come out as short
// contiguous runs.
constexpr int kBlockRows = 8;
// Below this many pixels a pass runs on the calling thread. Waking the pool costs tens of
// microseconds per task and a shadow behind one word of large text is blurred in well under a
// millisecond, so only planes of a large picture are worth spreading over the cores.
constexpr long kParallelPixels = 512 * 1024;

template <typename F> void forEachBlock(int rows, long pixels, F&& f)
{
    parallelFor((rows + kBlockRows - 1) / kBlockRows, pixels, kParallelPixels, f);
}

// Four floats in one register (GCC and Clang vector extension; plain SSE on x86-64).
typedef float Float4 __attribute__((vector_size(16)));

inline Float4 load4(const float* p)
{
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store4(float* p, Float4 v)
{
    std::memcpy(p, &v, sizeof v);
}

// One output run of eight values of the symmetric kernel over a zero-padded line: the taps at
// in[0 .. 2r] for out[0], with the same order of additions as the scalar form, so that the
// result does not depend on how the work is split.
inline void kernelRun8(const float* in, const float* kernel, int r, float* out)
{
    const float centre = kernel[r];
    Float4 a0 = centre * load4(in + r);
    Float4 a1 = centre * load4(in + r + 4);
    for (int k = 0; k < r; ++k) {
        const float w = kernel[k];
        a0 += w * (load4(in + k) + load4(in + 2 * r - k));
        a1 += w * (load4(in + k + 4) + load4(in + 2 * r - k + 4));
    }
    store4(out, a0);
    store4(out + 4, a1);
}

// The same taps down the columns: rows[i] is the row i taps below the output row's first tap.
inline void kernelColumns8(const float* const* rows, const float* kernel, int r, int x, float* out)
{
    const float centre = kernel[r];
    Float4 a0 = centre * load4(rows[r] + x);
    Float4 a1 = centre * load4(rows[r] + x + 4);
    for (int k = 0; k < r; ++k) {
        const float w = kernel[k];
        a0 += w * (load4(rows[k] + x) + load4(rows[2 * r - k] + x));
        a1 += w * (load4(rows[k] + x + 4) + load4(rows[2 * r - k] + x + 4));
    }
    store4(out, a0);
    store4(out + 4, a1);
}

inline std::uint8_t toByte(float v)
{
    // Branch-free clamp (minss/maxss): the same bytes as comparing and truncating.
    return std::uint8_t(int(std::min(std::max(v + 0.5f, 0.0f), 255.0f)));
}

// The eight-lane helpers are always inlined into functions built for 256-bit vectors; no
// vector crosses a call boundary, so the warning about their calling convention does not
// apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

// Eight floats in one register: compiled only into the functions built for processors with
// 256-bit vectors, where the kernel does in one instruction what two do above. Every lane adds
// in the same order as in the four-wide form, so both give the same bits.
typedef float Float8 __attribute__((vector_size(32)));

template <typename V> [[gnu::always_inline]] inline V loadV(const float* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename V> [[gnu::always_inline]] inline void storeV(float* p, V v)
{
    std::memcpy(p, &v, sizeof v);
}

// Up to four runs of eight at once, each at its own column xs[j]: one run's sum is a chain of
// dependent additions, so several chains side by side keep the adder busy. Each lane adds in
// the same order as the one-run forms above, so the bits are theirs.
constexpr int kRunsAtOnce = 4;

template <int N>
[[gnu::always_inline]] inline void kernelRunsWide(
    const float* in, const float* kernel, int r, const int* xs, float* out)
{
    Float8 a[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j)
        a[j] = kernel[r] * loadV<Float8>(in + xs[j] + r);
    for (int k = 0; k < r; ++k) {
        const float w = kernel[k];
#pragma GCC unroll 4
        for (int j = 0; j < N; ++j)
            a[j] += w * (loadV<Float8>(in + xs[j] + k) + loadV<Float8>(in + xs[j] + 2 * r - k));
    }
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j)
        storeV(out + xs[j], a[j]);
}

// The vertical pass's runs at columns xs[j], each written out as eight bytes at out[j].
template <int N>
[[gnu::always_inline]] inline void kernelColumnsWideToBytes(
    const float* const* rows, const float* kernel, int r, const int* xs, std::uint8_t* const* out)
{
    typedef int Int8 __attribute__((vector_size(32)));
    typedef std::uint8_t Byte8 __attribute__((vector_size(8)));
    Float8 a[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j)
        a[j] = kernel[r] * loadV<Float8>(rows[r] + xs[j]);
    for (int k = 0; k < r; ++k) {
        const float w = kernel[k];
        const float* up = rows[k];
        const float* down = rows[2 * r - k];
#pragma GCC unroll 4
        for (int j = 0; j < N; ++j)
            a[j] += w * (loadV<Float8>(up + xs[j]) + loadV<Float8>(down + xs[j]));
    }
    const Float8 zero = {}, top = zero + 255.0f;
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        Float8 v = a[j] + 0.5f;
        v = v > zero ? v : zero;
        v = v < top ? v : top;
        const Byte8 bytes = __builtin_convertvector(__builtin_convertvector(v, Int8), Byte8);
        std::memcpy(out[j], &bytes, sizeof bytes);
    }
}

#pragma GCC diagnostic pop

// One input row as the horizontal pass sees it: the prefix counts over its groups of eight
// values (inked[g]: how many of groups 0 .. g - 1 hold a value that is not zero; full[g]: how
// many hold 255 only), and its values, turned into floats in the line only where a run is
// summed (groups before converted are done).
// Groups turned into floats past the ones a summed run needs (see acrossRow).
constexpr int kConvertAhead = 32;

struct RowGroups {
    const int* inked;
    const int* full;
    int count;
    int width;
    const std::uint8_t* in;
    int step;
    float* values;
    int converted;
    int* summed; // room for the runs of a row: the ones whose sums are taken
};

// Values first .. last - 1 of a row of width values as floats.
template <int Step>
[[gnu::always_inline]] inline void toFloats(
    const std::uint8_t* in, int step, int width, int first, int last, float* out)
{
    const size_t stride = size_t(Step ? Step : step);
    int x = first;
    // Eight at a time in vector registers: one by one, each conversion waits for the last
    // (it writes only part of its register).
    typedef int Int8 __attribute__((vector_size(32)));
    if constexpr (Step == 4) {
        if (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) {
            // Eight words of four bytes from each value on, the value their low byte: a value
            // before the row's last has three bytes of its pixel after it.
            for (; x + 8 <= last && x + 8 < width; x += 8) {
                Int8 words;
                std::memcpy(&words, in + size_t(x) * 4, sizeof words);
                const Float8 f = __builtin_convertvector(words & 255, Float8);
                std::memcpy(out + x, &f, sizeof f);
            }
        }
    }
    for (; x + 8 <= last; x += 8) {
        const std::uint8_t* p = in + size_t(x) * stride;
        const Int8 v = { p[0], p[stride], p[2 * stride], p[3 * stride], p[4 * stride],
            p[5 * stride], p[6 * stride], p[7 * stride] };
        const Float8 f = __builtin_convertvector(v, Float8);
        std::memcpy(out + x, &f, sizeof f);
    }
    for (; x < last; ++x)
        out[x] = float(in[size_t(x) * stride]);
}

// Groups first .. last - 1 of the row as floats.
[[gnu::always_inline]] inline void convertGroupsOf(RowGroups& row, int first, int last)
{
    const int x0 = 8 * first, x1 = std::min(row.width, 8 * last);
    if (row.step == 4)
        toFloats<4>(row.in, 4, row.width, x0, x1, row.values);
    else if (row.step == 1)
        toFloats<1>(row.in, 1, row.width, x0, x1, row.values);
    else
        toFloats<0>(row.in, row.step, row.width, x0, x1, row.values);
}

[[gnu::noinline]] void convertGroups(RowGroups& row, int first, int last)
{
    convertGroupsOf(row, first, last);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same built for 256-bit vectors, for the wide passes.
__attribute__((target("avx2"), noinline)) void convertGroupsWide(
    RowGroups& row, int first, int last)
{
    convertGroupsOf(row, first, last);
}
#endif

// The horizontal pass over the runs of one row of the padded line from column xBegin to xEnd
// (whole runs): runs of eight whose taps are all zero (by the prefix counts of inked input
// groups) are written as zeros and flagged 0; runs whose taps are all 255 get the value such a
// run computes (fullValue) and are flagged full. Every run of the stretch gets both flags.
template <bool Wide>
[[gnu::always_inline]] inline void acrossRow(const float* line, const float* kernel, int r,
    int xBegin, int xEnd, RowGroups& groups, float fullValue, float* dst, std::uint8_t* flags,
    std::uint8_t* fullFlags)
{
    int count = 0;
    for (int x = xBegin; x < xEnd; x += 8) {
        if (x + 64 <= xEnd) {
            // Eight runs at once whose taps are all zero or all full (around and inside a
            // shape, most of them): the same counts over the eight runs' taps.
            const int first = std::clamp((x - 2 * r) / 8 - 1, 0, groups.count);
            const int last = std::clamp(x / 8 + 8, 0, groups.count);
            const bool zero = groups.inked[last] == groups.inked[first];
            bool full = false;
            if (!zero && x >= 2 * r && x + 64 <= groups.width) {
                const int g0 = (x - 2 * r) / 8, g1 = x / 8 + 8;
                full = groups.full[g1] - groups.full[g0] == g1 - g0;
            }
            if (zero || full) {
                std::fill_n(dst + x, 64, zero ? 0.0f : fullValue);
                std::memset(flags + x / 8, zero ? 0 : 1, 8);
                std::memset(fullFlags + x / 8, zero ? 0 : 1, 8);
                x += 56;
                continue;
            }
        }
        // Output x .. x + 7 takes input columns x - 2r .. x + 7.
        const int first = std::clamp((x - 2 * r) / 8 - 1, 0, groups.count);
        const int last = std::clamp(x / 8 + 1, 0, groups.count);
        fullFlags[x / 8] = 0;
        if (groups.inked[last] == groups.inked[first]) {
            std::fill_n(dst + x, 8, 0.0f);
            flags[x / 8] = 0;
            continue;
        }
        flags[x / 8] = 1;
        if (x >= 2 * r && x + 8 <= groups.width) {
            const int g0 = (x - 2 * r) / 8, g1 = (x + 7) / 8 + 1;
            if (groups.full[g1] - groups.full[g0] == g1 - g0) {
                std::fill_n(dst + x, 8, fullValue);
                fullFlags[x / 8] = 1;
                continue;
            }
        }
        const int needed = std::min(groups.count, (x + 7) / 8 + 1);
        if (needed > groups.converted) {
            // A few groups ahead as well: the next runs are likely summed too, and one call
            // for a stretch costs less than one for each group.
            const int ahead = std::min(groups.count, needed + kConvertAhead);
            const int from = std::max(groups.converted, std::max(0, x - 2 * r) / 8);
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
            if constexpr (Wide)
                convertGroupsWide(groups, from, ahead);
            else
#endif
                convertGroups(groups, from, ahead);
            groups.converted = ahead;
        }
        groups.summed[count++] = x;
    }
    // The sums after all the values are in: a vector load of values just stored one by one
    // would wait for the stores.
    if constexpr (Wide) {
        const int* xs = groups.summed;
        int i = 0;
        for (; i + kRunsAtOnce <= count; i += kRunsAtOnce)
            kernelRunsWide<kRunsAtOnce>(line, kernel, r, xs + i, dst);
        for (; i + 2 <= count; i += 2)
            kernelRunsWide<2>(line, kernel, r, xs + i, dst);
        if (i < count)
            kernelRunsWide<1>(line, kernel, r, xs + i, dst);
    } else {
        for (int i = 0; i < count; ++i) {
            const int x = groups.summed[i];
            kernelRun8(line + x, kernel, r, dst + x);
        }
    }
}

// Counts down the columns of runs for one output row: how many of its taps (across rows)
// have the run computed, and how many have it full (indexed by run).
struct ColumnRuns {
    const std::uint8_t* computed;
    const std::uint8_t* full;
};

// The vertical pass over the columns xFrom .. xTo - 1 of one output row, written from dst on:
// runs with no computed row among their taps are zero, runs whose taps are all full get
// fullByte. Runs are taken whole (eight columns from a multiple of eight); the columns of a
// run outside the stretch are computed alike and not written.
template <bool Wide>
[[gnu::always_inline]] inline void downRow(const float* const* taps, const float* kernel, int r,
    int xFrom, int xTo, const ColumnRuns& runs, std::uint8_t fullByte, float* row,
    std::uint8_t* dst)
{
    // Runs to be summed, gathered until there are enough to sum side by side (wide form). A
    // run only partly inside the stretch goes to scratch, then its part is copied.
    int pendingX[kRunsAtOnce];
    std::uint8_t* pendingTo[kRunsAtOnce];
    std::uint8_t scratch[kRunsAtOnce][8];
    int pendingLo[kRunsAtOnce], pendingHi[kRunsAtOnce];
    int pending = 0;
    // (Inlined by force: left to itself the compiler builds the lambda apart, for the
    // processor's base vectors instead of the caller's wide ones.)
    auto flush = [&]() __attribute__((always_inline))
    {
        if constexpr (Wide) {
            std::uint8_t* outs[kRunsAtOnce];
            for (int j = 0; j < pending; ++j)
                outs[j] = pendingHi[j] - pendingLo[j] == 8 ? pendingTo[j] : scratch[j];
            if (pending == kRunsAtOnce) {
                kernelColumnsWideToBytes<kRunsAtOnce>(taps, kernel, r, pendingX, outs);
            } else {
                int j = 0;
                for (; j + 2 <= pending; j += 2)
                    kernelColumnsWideToBytes<2>(taps, kernel, r, pendingX + j, outs + j);
                if (j < pending)
                    kernelColumnsWideToBytes<1>(taps, kernel, r, pendingX + j, outs + j);
            }
            for (int j = 0; j < pending; ++j) {
                if (outs[j] == scratch[j])
                    std::memcpy(pendingTo[j], scratch[j] + (pendingLo[j] - pendingX[j]),
                        size_t(pendingHi[j] - pendingLo[j]));
            }
        }
        pending = 0;
    };
    // Eight runs at a time whose taps are all zero or all full (around and inside a shape,
    // most of them): one word of the counts tells.
    const std::uint64_t allFull = 0x0101010101010101ull * std::uint64_t(2 * r + 1);
    for (int x = xFrom / 8 * 8; x < xTo; x += 8) {
        const int i = x / 8;
        if (i % 8 == 0 && x >= xFrom && x + 64 <= xTo) {
            std::uint64_t computed, full;
            std::memcpy(&computed, runs.computed + i, sizeof computed);
            std::memcpy(&full, runs.full + i, sizeof full);
            if (computed == 0 || full == allFull) {
                std::memset(dst + (x - xFrom), computed == 0 ? 0 : fullByte, 64);
                x += 56;
                continue;
            }
        }
        const int lo = std::max(x, xFrom), hi = std::min(x + 8, xTo);
        std::uint8_t* to = dst + (lo - xFrom);
        const bool zero = runs.computed[i] == 0;
        if (zero || runs.full[i] == 2 * r + 1) {
            const std::uint8_t value = zero ? 0 : fullByte;
            if (hi - lo == 8) {
                // One word: a call to fill eight bytes costs more than the filling.
                const std::uint64_t word = 0x0101010101010101ull * value;
                std::memcpy(to, &word, sizeof word);
            } else {
                std::memset(to, value, size_t(hi - lo));
            }
            continue;
        }
        if constexpr (Wide) {
            pendingX[pending] = x;
            pendingTo[pending] = to;
            pendingLo[pending] = lo;
            pendingHi[pending] = hi;
            if (++pending == kRunsAtOnce)
                flush();
        } else {
            kernelColumns8(taps, kernel, r, x, row + x);
            for (int k = lo; k < hi; ++k)
                to[k - lo] = toByte(row[k]);
        }
    }
    flush();
}

// One across row's flags of runs first .. end - 1 added to (sign 1) or taken from (sign -1)
// the counts of the taps, eight bytes at a time in one word. A count is at most 2r + 1 (97)
// and at least the flag taken from it, so no byte carries into or borrows from its
// neighbour; bytes past end (counted from flags past the row) carry only into bytes past it.
// Both arrays have room for eight bytes past end.
void addFlags(std::uint8_t* computedSum, std::uint8_t* fullSum, const std::uint8_t* computed,
    const std::uint8_t* full, int first, int end, int sign)
{
    for (int k = first; k < end; k += 8) {
        std::uint64_t sum, flags;
        for (auto [to, from] :
            { std::pair { computedSum, computed }, std::pair { fullSum, full } }) {
            std::memcpy(&sum, to + k, sizeof sum);
            std::memcpy(&flags, from + k, sizeof flags);
            sum = sign > 0 ? sum + flags : sum - flags;
            std::memcpy(to + k, &sum, sizeof sum);
        }
    }
}

// What both passes make of a plane of 255s, by the very arithmetic of the runs above (so that
// a constant run filled in is the bits a computed one would have).
template <bool Wide>
[[gnu::always_inline]] inline void fullRun(
    const float* kernel, int r, float* across, std::uint8_t* out)
{
    std::vector<float> line(size_t(2 * r + 8), 255.0f);
    float values[8];
    if constexpr (Wide) {
        const int at[1] = { 0 };
        kernelRunsWide<1>(line.data(), kernel, r, at, values);
    } else
        kernelRun8(line.data(), kernel, r, values);
    *across = values[0];
    std::fill_n(values, 8, values[0]);
    std::vector<const float*> taps(size_t(2 * r + 1), values);
    float row[8];
    std::uint8_t bytes[8];
    if constexpr (Wide) {
        const int at[1] = { 0 };
        std::uint8_t* const to[1] = { bytes };
        kernelColumnsWideToBytes<1>(taps.data(), kernel, r, at, to);
    } else {
        kernelColumns8(taps.data(), kernel, r, 0, row);
        bytes[0] = toByte(row[0]);
    }
    *out = bytes[0];
}

using AcrossRowFn = void (*)(const float*, const float*, int, int, int, RowGroups&, float, float*,
    std::uint8_t*, std::uint8_t*);
using DownRowFn = void (*)(const float* const*, const float*, int, int, int, const ColumnRuns&,
    std::uint8_t, float*, std::uint8_t*);
using FullRunFn = void (*)(const float*, int, float*, std::uint8_t*);

void acrossRowBase(const float* line, const float* kernel, int r, int xBegin, int xEnd,
    RowGroups& groups, float fullValue, float* dst, std::uint8_t* flags, std::uint8_t* fullFlags)
{
    acrossRow<false>(line, kernel, r, xBegin, xEnd, groups, fullValue, dst, flags, fullFlags);
}

void downRowBase(const float* const* taps, const float* kernel, int r, int xFrom, int xTo,
    const ColumnRuns& runs, std::uint8_t fullByte, float* row, std::uint8_t* dst)
{
    downRow<false>(taps, kernel, r, xFrom, xTo, runs, fullByte, row, dst);
}

void fullRunBase(const float* kernel, int r, float* across, std::uint8_t* out)
{
    fullRun<false>(kernel, r, across, out);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLMARK_WIDE_BLUR 1
__attribute__((target("avx2"))) void acrossRowWide(const float* line, const float* kernel, int r,
    int xBegin, int xEnd, RowGroups& groups, float fullValue, float* dst, std::uint8_t* flags,
    std::uint8_t* fullFlags)
{
    acrossRow<true>(line, kernel, r, xBegin, xEnd, groups, fullValue, dst, flags, fullFlags);
}

__attribute__((target("avx2"))) void downRowWide(const float* const* taps, const float* kernel,
    int r, int xFrom, int xTo, const ColumnRuns& runs, std::uint8_t fullByte, float* row,
    std::uint8_t* dst)
{
    downRow<true>(taps, kernel, r, xFrom, xTo, runs, fullByte, row, dst);
}

__attribute__((target("avx2"))) void fullRunWide(
    const float* kernel, int r, float* across, std::uint8_t* out)
{
    fullRun<true>(kernel, r, across, out);
}
#endif

std::atomic<bool> gWideVectorsAllowed { true };
std::atomic<bool> gConstantRunsSkipped { true };

bool wideVectors()
{
#ifdef QUILLMARK_WIDE_BLUR
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported && gWideVectorsAllowed.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

} // namespace

double AlphaBlur::effectiveSigma(double sigma)
{
    const double s = std::isfinite(sigma) ? std::clamp(sigma, 0.0, kMaxSigma) : 0.0;
    return s < 0.2 ? 0.0 : s;
}

std::vector<int> AlphaBlur::boxesOf(double sigma)
{
    // Three boxes whose variances add up to sigma^2 (box of width b: (b^2 - 1) / 12).
    const int n = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / n + 1.0);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m = (12.0 * sigma * sigma - n * lower * lower - 4.0 * n * lower - 3.0 * n)
        / (-4.0 * lower - 4.0);
    const int smaller = int(std::lround(m));
    std::vector<int> boxes;
    for (int i = 0; i < n; ++i)
        boxes.push_back(i < smaller ? lower : upper);
    return boxes;
}

int AlphaBlur::reachOf(double sigma)
{
    sigma = effectiveSigma(sigma);
    if (sigma == 0.0)
        return 0;
    if (sigma <= kKernelSigmaLimit)
        return int(std::ceil(3.0 * sigma));
    int reach = 0;
    for (int b : boxesOf(sigma))
        reach += (b - 1) / 2;
    return reach;
}

AlphaBlur::AlphaBlur(double sigma)
{
    m_sigma = effectiveSigma(sigma);
    if (m_sigma == 0.0)
        return;
    m_reach = reachOf(m_sigma);
    if (m_sigma <= kKernelSigmaLimit) {
        m_kernel.resize(size_t(2 * m_reach + 1));
        double sum = 0.0;
        for (int i = -m_reach; i <= m_reach; ++i) {
            const double w = std::exp(-double(i) * i / (2.0 * m_sigma * m_sigma));
            m_kernel[size_t(i + m_reach)] = float(w);
            sum += w;
        }
        for (float& w : m_kernel)
            w = float(w / sum);
        return;
    }
    m_boxes = boxesOf(m_sigma);
}

std::vector<std::uint8_t> AlphaBlur::apply(
    const std::uint8_t* plane, int width, int height, int stride, int pixelStep) const
{
    std::vector<std::uint8_t> result;
    apply(plane, width, height, stride, pixelStep, result);
    return result;
}

void AlphaBlur::apply(const std::uint8_t* plane, int width, int height, int stride, int pixelStep,
    std::vector<std::uint8_t>& result) const
{
    const Window whole { 0, 0, std::max(width, 0) + 2 * m_reach,
        std::max(height, 0) + 2 * m_reach };
    apply(plane, width, height, stride, pixelStep, whole, result);
}

void AlphaBlur::apply(const std::uint8_t* plane, int width, int height, int stride, int pixelStep,
    const Window& window, std::vector<std::uint8_t>& result) const
{
    if (width <= 0 || height <= 0 || window.width <= 0 || window.height <= 0) {
        result.clear();
        return;
    }
    const int outW = width + 2 * m_reach, outH = height + 2 * m_reach;
    // The part of the window inside the whole result; the rest stays zero.
    const int x0 = std::max(window.x, 0), x1 = std::min(window.x + window.width, outW);
    const int y0 = std::max(window.y, 0), y1 = std::min(window.y + window.height, outH);
    const size_t windowSize = size_t(window.width) * size_t(window.height);
    const bool within
        = x0 == window.x && y0 == window.y && x1 - x0 == window.width && y1 - y0 == window.height;
    if (!m_kernel.empty() && within) {
        // Every value is written: no clearing first.
        result.resize(windowSize);
        applyKernel(
            plane, width, height, stride, pixelStep, window, result.data(), size_t(window.width));
        return;
    }
    if (m_kernel.empty() && m_sigma != 0.0 && within) {
        // The box passes write every value of a window inside the result: no clearing first.
        result.resize(windowSize);
        applyBoxes(plane, width, height, stride, pixelStep, window, result.data());
        return;
    }
    result.assign(windowSize, 0);
    if (x1 <= x0 || y1 <= y0)
        return;
    auto copyWindow = [&](const std::uint8_t* from, size_t fromStride, int fromX, int fromY) {
        for (int y = y0; y < y1; ++y)
            std::memcpy(
                result.data() + size_t(y - window.y) * size_t(window.width) + size_t(x0 - window.x),
                from + size_t(y - fromY) * fromStride + size_t(x0 - fromX), size_t(x1 - x0));
    };
    if (!m_kernel.empty()) {
        // The part inside the result, written in place among the zeros.
        applyKernel(plane, width, height, stride, pixelStep, { x0, y0, x1 - x0, y1 - y0 },
            result.data() + size_t(y0 - window.y) * size_t(window.width) + size_t(x0 - window.x),
            size_t(window.width));
        return;
    }
    if (m_sigma == 0.0) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* row = plane + size_t(y) * size_t(stride);
            std::uint8_t* out = result.data() + size_t(y - window.y) * size_t(window.width);
            for (int x = x0; x < x1; ++x)
                out[x - window.x] = row[size_t(x) * size_t(pixelStep)];
        }
        return;
    }
    const Window inside { x0, y0, x1 - x0, y1 - y0 };
    thread_local std::vector<std::uint8_t> keptInside;
    std::vector<std::uint8_t>& part = keptInside;
    part.resize(size_t(inside.width) * size_t(inside.height));
    applyBoxes(plane, width, height, stride, pixelStep, inside, part.data());
    copyWindow(part.data(), size_t(inside.width), x0, y0);
    if (part.capacity() > (size_t(16) << 20))
        part = {};
}

bool AlphaBlur::useWideVectors()
{
    return wideVectors();
}

bool AlphaBlur::allowWideVectors(bool allowed)
{
    return gWideVectorsAllowed.exchange(allowed);
}

bool AlphaBlur::skipConstantRuns(bool skipped)
{
    return gConstantRunsSkipped.exchange(skipped);
}

} // namespace platform

namespace platform {

// For each group of eight values of a row (pixelStep bytes apart; groups[g] covers values
// 8g .. 8g + 7): bit 0 when any is not zero, bit 1 when all are 255.
template <int Step>
static void classifyGroups(const std::uint8_t* in, int width, int step, std::uint8_t* groups)
{
    int x = 0;
    if constexpr (Step == 1) {
        for (; x + 8 <= width; x += 8) {
            std::uint64_t v;
            std::memcpy(&v, in + x, sizeof v);
            groups[x / 8] = std::uint8_t((v != 0) | (v == ~std::uint64_t(0)) << 1);
        }
    } else if constexpr (Step == 4) {
        // Eight words of four bytes from each value on: the value is the low byte on a
        // little-endian processor. The last value is read alone, so nothing past it is read.
        typedef std::uint32_t Words __attribute__((vector_size(32)));
        if (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) {
            for (; x + 8 < width; x += 8) {
                Words w;
                std::memcpy(&w, in + size_t(x) * 4, sizeof w);
                std::uint32_t any = 0, all = 255;
                for (int i = 0; i < 8; ++i) {
                    any |= w[i];
                    all &= w[i];
                }
                groups[x / 8] = std::uint8_t(((any & 255) != 0) | ((all & 255) == 255) << 1);
            }
        }
    }
    for (; x < width; x += 8) {
        unsigned any = 0, all = 255;
        for (int i = x; i < std::min(width, x + 8); ++i) {
            const std::uint8_t v = in[size_t(i) * size_t(Step ? Step : step)];
            any |= v;
            all &= v;
        }
        groups[x / 8] = std::uint8_t((any != 0) | (all == 255) << 1);
    }
}

#ifdef QUILLMARK_WIDE_BLUR
// The same for the alpha bytes of 32-bit pixels, with 256-bit vectors: one test each for any
// and all of a group's eight words' low bytes.
__attribute__((target("avx2"))) static void classifyGroups4Wide(
    const std::uint8_t* in, int width, std::uint8_t* groups)
{
    int x = 0;
    if (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) {
        const __m256i low = _mm256_set1_epi32(255);
        // (The last value is read alone, as above.)
        for (; x + 8 < width; x += 8) {
            const __m256i w
                = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + size_t(x) * 4));
            const int any = _mm256_testz_si256(w, low) ? 0 : 1;
            const int all = _mm256_testc_si256(w, low);
            groups[x / 8] = std::uint8_t(any | all << 1);
        }
    }
    classifyGroups<0>(in + size_t(x) * 4, width - x, 4, groups + x / 8);
}
#endif

// The exact kernel in two passes that both run along rows, eight values at a time: across each
// row, then down the columns of those rows. No transposition, and the running sums stay in
// registers. Only window of the result is computed (its rows, and its columns in whole runs of
// eight), from the input rows it takes.
//
// Shadows are cast by text and shapes with wide empty gaps and by filled shapes with wide
// opaque insides: a run of eight whose taps are all zero comes out exactly zero, one whose
// taps are all 255 comes out as every such run does, so both passes skip the sums of both.
void AlphaBlur::applyKernel(const std::uint8_t* plane, int width, int height, int stride,
    int pixelStep, const Window& window, std::uint8_t* out, size_t outStride) const
{
    const int r = m_reach;
    const int outW = width + 2 * r;
    const int runW = (outW + 7) / 8 * 8; // rows padded to whole runs of eight
    const int runs = runW / 8;
    const size_t lineLength = size_t(runW) + size_t(2 * r);
    const float* kernel = m_kernel.data();
    const int xFrom = window.x, xTo = window.x + window.width;
    const int xBegin = xFrom / 8 * 8, xEnd = (xTo + 7) / 8 * 8;
    // Output row y takes input rows y - 2r .. y.
    const int inFirst = std::max(0, window.y - 2 * r);
    const int inEnd = std::min(height, window.y + window.height);
    const int inRows = std::max(0, inEnd - inFirst);

    // Rows of the horizontal result, kept per thread and never cleared: every value the
    // vertical pass reads is written below. Rows with no ink, and the rows above and below the
    // input, are all one row of zeros. Both flags of every run read are written as well
    // (computed; full), so nothing of a few megabytes is cleared or summed up on one thread.
    thread_local std::vector<float> across, zeros;
    thread_local std::vector<const float*> rowAt;
    thread_local std::vector<std::uint8_t> computed, full;
    across.resize(size_t(inRows) * size_t(runW));
    rowAt.resize(size_t(inRows));
    // Eight bytes past the last row, clear, for the counts' whole words (addFlags).
    computed.resize(size_t(inRows) * size_t(runs) + 8);
    full.resize(size_t(inRows) * size_t(runs) + 8);
    std::fill_n(computed.end() - 8, 8, std::uint8_t(0));
    std::fill_n(full.end() - 8, 8, std::uint8_t(0));
    if (zeros.size() < size_t(runW))
        zeros.resize(size_t(runW)); // only ever grown: its values stay zero
    // (The lambdas below may run on other threads: they must use this thread's planes by
    // pointer.)
    float* const acrossData = across.data();
    const float* const zeroRow = zeros.data();
    const float** const rowData = rowAt.data();
    std::uint8_t* const computedData = computed.data();
    std::uint8_t* const fullData = full.data();

    const int groupCount = (width + 7) / 8;
#ifdef QUILLMARK_WIDE_BLUR
    const bool wide = wideVectors();
    const AcrossRowFn acrossFn = wide ? acrossRowWide : acrossRowBase;
    const DownRowFn downFn = wide ? downRowWide : downRowBase;
    const FullRunFn fullFn = wide ? fullRunWide : fullRunBase;
#else
    const AcrossRowFn acrossFn = acrossRowBase;
    const DownRowFn downFn = downRowBase;
    const FullRunFn fullFn = fullRunBase;
#endif
    float fullValue = 0.0f;
    std::uint8_t fullByte = 0;
    fullFn(kernel, r, &fullValue, &fullByte);
    const bool skipFull = gConstantRunsSkipped.load(std::memory_order_relaxed);

    forEachBlock(inRows, long(inRows) * (xEnd - xBegin), [&](int block) {
        const int i0 = block * kBlockRows, i1 = std::min(inRows, i0 + kBlockRows);
        std::vector<float> line(lineLength + size_t(2 * r), 0.0f);
        std::vector<std::uint8_t> groups(static_cast<size_t>(groupCount));
        // Prefix counts of the groups with ink and of those full (see RowGroups).
        std::vector<int> inkedGroups(size_t(groupCount) + 1), fullGroups(size_t(groupCount) + 1);
        // Zero-padded by 2r on the left, so that out[x] reads line[x .. x + 2r].
        std::vector<int> summed(static_cast<size_t>(runs));
        RowGroups counts { inkedGroups.data(), fullGroups.data(), groupCount, width, nullptr,
            pixelStep, line.data() + 2 * r, 0, summed.data() };
        for (int i = i0; i < i1; ++i) {
            const int y = inFirst + i;
            const std::uint8_t* in = plane + size_t(y) * size_t(stride);
            if (pixelStep == 1)
                classifyGroups<1>(in, width, 1, groups.data());
#ifdef QUILLMARK_WIDE_BLUR
            else if (pixelStep == 4 && wide)
                classifyGroups4Wide(in, width, groups.data());
#endif
            else if (pixelStep == 4)
                classifyGroups<4>(in, width, 4, groups.data());
            else
                classifyGroups<0>(in, width, pixelStep, groups.data());
            for (int g = 0; g < groupCount; ++g) {
                const unsigned bits = skipFull ? groups[size_t(g)] : groups[size_t(g)] & 1u;
                inkedGroups[size_t(g) + 1] = inkedGroups[size_t(g)] + int(bits & 1u);
                fullGroups[size_t(g) + 1] = fullGroups[size_t(g)] + int(bits >> 1);
            }
            const size_t at = size_t(i) * size_t(runs);
            if (inkedGroups[size_t(groupCount)] == 0) {
                rowData[i] = zeroRow;
                std::memset(computedData + at + xBegin / 8, 0, size_t(xEnd - xBegin) / 8);
                std::memset(fullData + at + xBegin / 8, 0, size_t(xEnd - xBegin) / 8);
                continue;
            }
            float* dst = acrossData + size_t(i) * size_t(runW);
            rowData[i] = dst;
            counts.in = in;
            counts.converted = 0;
            acrossFn(line.data(), kernel, r, xBegin, xEnd, counts, fullValue, dst,
                computedData + at, fullData + at);
        }
    });

    // Blocks of output rows: each counts its first row's taps afresh, then slides.
    constexpr int kDownBlockRows = 4 * kBlockRows;
    const int downBlocks = (window.height + kDownBlockRows - 1) / kDownBlockRows;
    const int runFirst = xBegin / 8, runEnd = xEnd / 8;
    parallelFor(downBlocks, long(window.height) * (xEnd - xBegin), kParallelPixels, [&](int block) {
        const int y0 = window.y + block * kDownBlockRows;
        const int y1 = std::min(window.y + window.height, y0 + kDownBlockRows);
        std::vector<const float*> taps(size_t(2 * r + 1));
        std::vector<float> row(static_cast<size_t>(runW));
        // The flags of each run summed over the output row's taps.
        std::vector<std::uint8_t> computedCount(size_t(runs) + 8, 0),
            fullCount(size_t(runs) + 8, 0);
        std::uint8_t* const computedSum = computedCount.data();
        std::uint8_t* const fullSum = fullCount.data();
        auto slide = [&](int inputRow, int sign) {
            if (inputRow < inFirst || inputRow >= inEnd)
                return; // outside the input: zero, never full
            const size_t at = size_t(inputRow - inFirst) * size_t(runs);
            addFlags(
                computedSum, fullSum, computedData + at, fullData + at, runFirst, runEnd, sign);
        };
        for (int t = y0 - 2 * r; t <= y0; ++t)
            slide(t, 1);
        const ColumnRuns columns { computedSum, fullSum };
        for (int y = y0; y < y1; ++y) {
            if (y > y0) {
                slide(y - 2 * r - 1, -1);
                slide(y, 1);
            }
            for (int i = 0; i <= 2 * r; ++i) {
                const int inputRow = y - 2 * r + i;
                taps[size_t(i)] = inputRow < inFirst || inputRow >= inEnd
                    ? zeroRow
                    : rowData[inputRow - inFirst];
            }
            std::uint8_t* dst = out + size_t(y - window.y) * outStride;
            downFn(taps.data(), kernel, r, xFrom, xTo, columns, fullByte, row.data(), dst);
        }
    });
    // Up to 16 MB is kept (a shadow over a few million pixels, redrawn every frame); more is
    // let go so that one huge shadow does not pin its memory for the thread's life.
    constexpr size_t kKeep = size_t(16) << 20;
    if (across.capacity() * sizeof(float) > kKeep) {
        across = {};
        rowAt = {};
        zeros = {};
    }
    if (computed.capacity() > kKeep) {
        computed = {};
        full = {};
    }
}

} // namespace platform
