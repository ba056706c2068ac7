#include "platform/graphics/AlphaBlur.h"

#include "platform/concurrency/Parallel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

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

// out[j] += w * (a[j] + b[j]). Written in blocks of eight so that the compiler's cheap
// vectoriser takes it at -O2.
void addWeightedPair(
    float* __restrict out, const float* __restrict a, const float* __restrict b, float w, int n)
{
    int j = 0;
    for (; j + 8 <= n; j += 8) {
        float* __restrict o = out + j;
        const float* __restrict x = a + j;
        const float* __restrict y = b + j;
        for (int i = 0; i < 8; ++i)
            o[i] += w * (x[i] + y[i]);
    }
    for (; j < n; ++j)
        out[j] += w * (a[j] + b[j]);
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

// Both passes' run of eight outputs, eight lanes wide.
[[gnu::always_inline]] inline void kernelRun8Wide(
    const float* in, const float* kernel, int r, float* out)
{
    Float8 a = kernel[r] * loadV<Float8>(in + r);
    for (int k = 0; k < r; ++k)
        a += kernel[k] * (loadV<Float8>(in + k) + loadV<Float8>(in + 2 * r - k));
    storeV(out, a);
}

// The vertical pass's run, written straight out as bytes (toByte on every lane).
[[gnu::always_inline]] inline void kernelColumns8WideToBytes(
    const float* const* rows, const float* kernel, int r, int x, int n, std::uint8_t* out)
{
    typedef int Int8 __attribute__((vector_size(32)));
    Float8 a = kernel[r] * loadV<Float8>(rows[r] + x);
    for (int k = 0; k < r; ++k)
        a += kernel[k] * (loadV<Float8>(rows[k] + x) + loadV<Float8>(rows[2 * r - k] + x));
    const Float8 zero = {}, top = zero + 255.0f;
    Float8 v = a + 0.5f;
    v = v > zero ? v : zero;
    v = v < top ? v : top;
    typedef std::uint8_t Byte8 __attribute__((vector_size(8)));
    const Byte8 bytes = __builtin_convertvector(__builtin_convertvector(v, Int8), Byte8);
    std::memcpy(out + x, &bytes, size_t(n));
}

#pragma GCC diagnostic pop

// The horizontal pass over one row of the padded line: runs of eight whose taps are all zero
// (by the prefix counts of inked input groups) are written as zeros and not flagged.
template <bool Wide>
[[gnu::always_inline]] inline void acrossRow(const float* line, const float* kernel, int r,
    int runW, const int* inkedGroups, int groupCount, float* dst, int* flags)
{
    for (int x = 0; x < runW; x += 8) {
        // Output x .. x + 7 takes input columns x - 2r .. x + 7.
        const int first = std::clamp((x - 2 * r) / 8 - 1, 0, groupCount);
        const int last = std::clamp(x / 8 + 1, 0, groupCount);
        if (inkedGroups[last] == inkedGroups[first]) {
            std::fill_n(dst + x, 8, 0.0f);
            continue;
        }
        if constexpr (Wide)
            kernelRun8Wide(line + x, kernel, r, dst + x);
        else
            kernelRun8(line + x, kernel, r, dst + x);
        flags[x / 8] = 1;
    }
}

// The vertical pass over one output row: runs with no computed row among their taps stay zero.
template <bool Wide>
[[gnu::always_inline]] inline void downRow(const float* const* taps, const float* kernel, int r,
    int runW, int outW, const int* before, const int* after, float* row, std::uint8_t* dst)
{
    for (int x = 0; x < runW; x += 8) {
        if (after[x / 8] == before[x / 8])
            continue;
        const int n = std::min(8, outW - x);
        if constexpr (Wide) {
            kernelColumns8WideToBytes(taps, kernel, r, x, n, dst);
        } else {
            kernelColumns8(taps, kernel, r, x, row + x);
            for (int i = 0; i < n; ++i)
                dst[x + i] = toByte(row[x + i]);
        }
    }
}

using AcrossRowFn = void (*)(const float*, const float*, int, int, const int*, int, float*, int*);
using DownRowFn = void (*)(const float* const*, const float*, int, int, int, const int*,
    const int*, float*, std::uint8_t*);

void acrossRowBase(const float* line, const float* kernel, int r, int runW,
    const int* inkedGroups, int groupCount, float* dst, int* flags)
{
    acrossRow<false>(line, kernel, r, runW, inkedGroups, groupCount, dst, flags);
}

void downRowBase(const float* const* taps, const float* kernel, int r, int runW, int outW,
    const int* before, const int* after, float* row, std::uint8_t* dst)
{
    downRow<false>(taps, kernel, r, runW, outW, before, after, row, dst);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUILLMARK_WIDE_BLUR 1
__attribute__((target("avx2"))) void acrossRowWide(const float* line, const float* kernel, int r,
    int runW, const int* inkedGroups, int groupCount, float* dst, int* flags)
{
    acrossRow<true>(line, kernel, r, runW, inkedGroups, groupCount, dst, flags);
}

__attribute__((target("avx2"))) void downRowWide(const float* const* taps, const float* kernel,
    int r, int runW, int outW, const int* before, const int* after, float* row, std::uint8_t* dst)
{
    downRow<true>(taps, kernel, r, runW, outW, before, after, row, dst);
}
#endif

std::atomic<bool> gWideVectorsAllowed { true };

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

AlphaBlur::AlphaBlur(double sigma)
{
    m_sigma = std::isfinite(sigma) ? std::clamp(sigma, 0.0, kMaxSigma) : 0.0;
    if (m_sigma < 0.2) {
        m_sigma = 0.0;
        return;
    }
    if (m_sigma <= kKernelSigmaLimit) {
        m_reach = int(std::ceil(3.0 * m_sigma));
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
    // Three boxes whose variances add up to sigma^2 (box of width b: (b^2 - 1) / 12).
    const int n = 3;
    const double ideal = std::sqrt(12.0 * m_sigma * m_sigma / n + 1.0);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m = (12.0 * m_sigma * m_sigma - n * lower * lower - 4.0 * n * lower - 3.0 * n)
        / (-4.0 * lower - 4.0);
    const int smaller = int(std::lround(m));
    for (int i = 0; i < n; ++i)
        m_boxes.push_back(i < smaller ? lower : upper);
    for (int b : m_boxes)
        m_reach += (b - 1) / 2;
}

void AlphaBlur::blurLine(const float* in, int length, float* out, std::vector<float>& scratch) const
{
    const int outLength = length + 2 * m_reach;
    if (!m_kernel.empty()) {
        // Zero-padded copy so that every tap reads inside the buffer.
        scratch.assign(size_t(length + 4 * m_reach), 0.0f);
        std::copy(in, in + length, scratch.begin() + 2 * m_reach);
        const float* p = scratch.data();
        const int r = m_reach;
        const float centre = m_kernel[size_t(r)];
        for (int j = 0; j < outLength; ++j)
            out[j] = centre * p[j + r];
        // The kernel is symmetric: one multiply for each pair of taps.
        for (int k = 0; k < r; ++k)
            addWeightedPair(out, p + k, p + 2 * r - k, m_kernel[size_t(k)], outLength);
        return;
    }
    // Box passes in place on a zero-padded line; each pass widens the signal by half its box.
    scratch.assign(size_t(outLength), 0.0f);
    std::copy(in, in + length, scratch.begin() + m_reach);
    float* line = scratch.data();
    std::vector<float> tmp(static_cast<size_t>(outLength));
    for (int b : m_boxes) {
        const int half = (b - 1) / 2;
        const float scale = 1.0f / float(b);
        double sum = 0.0;
        for (int i = 0; i < half && i < outLength; ++i)
            sum += line[i];
        for (int j = 0; j < outLength; ++j) {
            const int add = j + half, sub = j - half - 1;
            if (add < outLength)
                sum += line[add];
            if (sub >= 0)
                sum -= line[sub];
            tmp[size_t(j)] = float(sum) * scale;
        }
        std::copy(tmp.begin(), tmp.end(), line);
    }
    std::copy(line, line + outLength, out);
}

void AlphaBlur::blurRowsTransposed(const float* src, int rows, int length, float* dst) const
{
    const int outLength = length + 2 * m_reach;
    forEachBlock(rows, long(rows) * outLength, [&](int block) {
        const int r0 = block * kBlockRows;
        const int r1 = std::min(rows, r0 + kBlockRows);
        const int count = r1 - r0;
        std::vector<float> lines(size_t(count) * size_t(outLength));
        std::vector<float> scratch;
        for (int r = r0; r < r1; ++r)
            blurLine(src + size_t(r) * size_t(length), length,
                lines.data() + size_t(r - r0) * size_t(outLength), scratch);
        for (int x = 0; x < outLength; ++x) {
            float* column = dst + size_t(x) * size_t(rows) + size_t(r0);
            for (int i = 0; i < count; ++i)
                column[i] = lines[size_t(i) * size_t(outLength) + size_t(x)];
        }
    });
}

std::vector<std::uint8_t> AlphaBlur::apply(
    const std::uint8_t* plane, int width, int height, int stride, int pixelStep) const
{
    if (width <= 0 || height <= 0)
        return {};
    const int outW = width + 2 * m_reach, outH = height + 2 * m_reach;
    std::vector<std::uint8_t> result(size_t(outW) * size_t(outH), 0);
    if (m_sigma == 0.0) {
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = plane + size_t(y) * size_t(stride);
            std::uint8_t* out = result.data() + size_t(y) * size_t(outW);
            for (int x = 0; x < width; ++x)
                out[x] = row[size_t(x) * size_t(pixelStep)];
        }
        return result;
    }
    if (!m_kernel.empty()) {
        applyKernel(plane, width, height, stride, pixelStep, result.data());
        return result;
    }
    // Working planes are kept per thread: a shadow is drawn every frame, and fresh pages for
    // megabytes of floats cost more than the blur itself.
    thread_local std::vector<float> input, transposed, blurred;
    input.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = plane + size_t(y) * size_t(stride);
        float* out = input.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x)
            out[x] = float(row[size_t(x) * size_t(pixelStep)]);
    }
    // Rows, then the columns of the transposed result: the second pass transposes back.
    transposed.resize(size_t(outW) * size_t(height));
    blurRowsTransposed(input.data(), height, width, transposed.data());
    blurred.resize(size_t(outH) * size_t(outW));
    blurRowsTransposed(transposed.data(), outW, height, blurred.data());
    for (size_t i = 0; i < result.size(); ++i) {
        const float v = blurred[i] + 0.5f;
        result[i] = std::uint8_t(v <= 0.0f ? 0.0f : (v >= 255.0f ? 255.0f : v));
    }
    // Large planes are not kept: one big shadow must not pin its memory for the thread's life.
    constexpr size_t kKeep = size_t(2) << 20;
    for (auto* v : { &input, &transposed, &blurred }) {
        if (v->capacity() > kKeep)
            *v = {};
    }
    return result;
}

bool AlphaBlur::allowWideVectors(bool allowed)
{
    return gWideVectorsAllowed.exchange(allowed);
}

} // namespace platform

namespace platform {

// One row of 8-bit values (pixelStep bytes apart) as floats; returns for each group of eight
// values whether any is not zero (groups[g] covers values 8g .. 8g + 7).
template <int Step>
static void rowToFloats(const std::uint8_t* in, int width, float* out, std::uint8_t* groups)
{
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        unsigned any = 0;
        for (int i = 0; i < 8; ++i) {
            const std::uint8_t v = in[size_t(x + i) * Step];
            out[x + i] = float(v);
            any |= v;
        }
        groups[x / 8] = any != 0;
    }
    if (x < width) {
        unsigned any = 0;
        for (; x < width; ++x) {
            const std::uint8_t v = in[size_t(x) * Step];
            out[x] = float(v);
            any |= v;
        }
        groups[(width - 1) / 8] = any != 0;
    }
}

// The exact kernel in two passes that both run along rows, eight values at a time: across each
// row into a plane with zero rows above and below, then down the columns of that plane. No
// transposition, and the running sums stay in registers.
//
// Shadows are cast by text and shapes with wide empty gaps: runs of eight whose taps are all
// zero come out exactly zero, so both passes skip them.
void AlphaBlur::applyKernel(const std::uint8_t* plane, int width, int height, int stride,
    int pixelStep, std::uint8_t* out) const
{
    const int r = m_reach;
    const int outW = width + 2 * r, outH = height + 2 * r;
    const int runW = (outW + 7) / 8 * 8; // rows padded to whole runs of eight
    const int runs = runW / 8;
    const size_t lineLength = size_t(runW) + size_t(2 * r);
    const float* kernel = m_kernel.data();
    const int acrossRows = height + 4 * r;

    // Rows of the horizontal result, with 2r zero rows on each side for the vertical taps. Kept
    // per thread and not cleared as a whole: every value is written below (zero where a run is
    // skipped), so a plane of a few megabytes costs neither fresh pages nor a memset.
    thread_local std::vector<float> across;
    across.resize(size_t(acrossRows) * size_t(runW));
    // inked[row * runs + run]: how many across rows before row have that run computed.
    thread_local std::vector<int> inked;
    inked.assign(size_t(acrossRows + 1) * size_t(runs), 0);
    // (The lambdas below may run on other threads: they must use this thread's planes by
    // pointer.)
    float* const acrossData = across.data();
    int* const inkedData = inked.data();
    float* const rowsStart = acrossData + size_t(2 * r) * size_t(runW);
    std::fill_n(acrossData, size_t(2 * r) * size_t(runW), 0.0f);
    std::fill_n(rowsStart + size_t(height) * size_t(runW), size_t(2 * r) * size_t(runW), 0.0f);

    const int groupCount = (width + 7) / 8;
#ifdef QUILLMARK_WIDE_BLUR
    const bool wide = wideVectors();
    const AcrossRowFn acrossFn = wide ? acrossRowWide : acrossRowBase;
    const DownRowFn downFn = wide ? downRowWide : downRowBase;
#else
    const AcrossRowFn acrossFn = acrossRowBase;
    const DownRowFn downFn = downRowBase;
#endif
    forEachBlock(height, long(height) * outW, [&](int block) {
        const int y0 = block * kBlockRows, y1 = std::min(height, y0 + kBlockRows);
        std::vector<float> line(lineLength + size_t(2 * r), 0.0f);
        std::vector<std::uint8_t> groups(static_cast<size_t>(groupCount));
        // inkedGroups[g]: how many of groups 0 .. g - 1 hold a value that is not zero.
        std::vector<int> inkedGroups(size_t(groupCount) + 1);
        for (int y = y0; y < y1; ++y) {
            // Zero-padded by 2r on the left, so that out[x] reads line[x .. x + 2r].
            const std::uint8_t* in = plane + size_t(y) * size_t(stride);
            float* values = line.data() + 2 * r;
            if (pixelStep == 1)
                rowToFloats<1>(in, width, values, groups.data());
            else if (pixelStep == 4)
                rowToFloats<4>(in, width, values, groups.data());
            else {
                for (int g = 0; g < groupCount; ++g) {
                    unsigned any = 0;
                    for (int x = 8 * g; x < std::min(width, 8 * g + 8); ++x) {
                        const std::uint8_t v = in[size_t(x) * size_t(pixelStep)];
                        values[x] = float(v);
                        any |= v;
                    }
                    groups[size_t(g)] = any != 0;
                }
            }
            for (int g = 0; g < groupCount; ++g)
                inkedGroups[size_t(g) + 1] = inkedGroups[size_t(g)] + groups[size_t(g)];
            float* dst = rowsStart + size_t(y) * size_t(runW);
            if (inkedGroups[size_t(groupCount)] == 0) {
                std::fill_n(dst, runW, 0.0f);
                continue;
            }
            int* flags = inkedData + size_t(2 * r + y + 1) * size_t(runs);
            acrossFn(line.data(), kernel, r, runW, inkedGroups.data(), groupCount, dst, flags);
        }
    });
    for (int row = 1; row <= acrossRows; ++row) {
        int* current = inkedData + size_t(row) * size_t(runs);
        const int* previous = current - runs;
        for (int i = 0; i < runs; ++i)
            current[i] += previous[i];
    }

    // out is zero already: skipped runs are left alone.
    forEachBlock(outH, long(outH) * outW, [&](int block) {
        const int y0 = block * kBlockRows, y1 = std::min(outH, y0 + kBlockRows);
        std::vector<const float*> taps(size_t(2 * r + 1));
        std::vector<float> row(static_cast<size_t>(runW));
        for (int y = y0; y < y1; ++y) {
            // Output row y takes plane rows y - 2r .. y, that is across rows y .. y + 2r.
            for (int i = 0; i <= 2 * r; ++i)
                taps[size_t(i)] = acrossData + size_t(y + i) * size_t(runW);
            const int* before = inkedData + size_t(y) * size_t(runs);
            const int* after = inkedData + size_t(y + 2 * r + 1) * size_t(runs);
            std::uint8_t* dst = out + size_t(y) * size_t(outW);
            downFn(taps.data(), kernel, r, runW, outW, before, after, row.data(), dst);
        }
    });
    // Up to 16 MB is kept (a shadow over a few million pixels, redrawn every frame); more is
    // let go so that one huge shadow does not pin its memory for the thread's life.
    constexpr size_t kKeep = size_t(16) << 20;
    if (across.capacity() * sizeof(float) > kKeep)
        across = {};
    if (inked.capacity() * sizeof(int) > kKeep)
        inked = {};
}

} // namespace platform
