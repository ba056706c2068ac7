#include "platform/graphics/AlphaBlur.h"

#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace platform {

namespace {

// Rows handled together: enough work per task, and the transposed writes come out as short
// contiguous runs.
constexpr int kBlockRows = 16;
// Below this many pixels the pass runs on the calling thread.
constexpr long kParallelPixels = 64 * 1024;

template <typename F> void forEachBlock(int rows, long pixels, F&& f)
{
    const int blocks = (rows + kBlockRows - 1) / kBlockRows;
    if (pixels < kParallelPixels || blocks < 2) {
        for (int b = 0; b < blocks; ++b)
            f(b);
        return;
    }
    std::vector<int> indices(static_cast<size_t>(blocks));
    std::iota(indices.begin(), indices.end(), 0);
    QtConcurrent::blockingMap(indices, [&](int b) { f(b); });
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

} // namespace platform
