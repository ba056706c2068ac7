// Colour removal's flood fill: a similarity mask, a scanline search over it, a masked copy.
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

namespace ColourRemoval {

namespace {

// Below this many pixels a pass stays on the calling thread.
constexpr long kParallelPixels = 1L << 16;

// Mask values: not similar (or transparent), similar and not yet reached, reached (cleared).
constexpr std::uint8_t kOther = 0;
constexpr std::uint8_t kSimilar = 1;
constexpr std::uint8_t kCleared = 2;

// 1 for each pixel of the row that is not fully transparent and within limit of the seed.
void similarRow(
    const std::uint32_t* row, std::uint8_t* mask, int width, std::uint32_t seed, int limit)
{
    const int sr = int((seed >> 16) & 0xff);
    const int sg = int((seed >> 8) & 0xff);
    const int sb = int(seed & 0xff);
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = row[x];
        const int d = std::abs(int((p >> 16) & 0xff) - sr) + std::abs(int((p >> 8) & 0xff) - sg)
            + std::abs(int(p & 0xff) - sb);
        mask[x] = std::uint8_t((p >> 24) != 0 && d <= limit);
    }
}

// The columns a row's cleared pixels span; first > last for a row with none.
struct RowSpan {
    int first;
    int last;
};

// Marks every similar pixel 4-connected to (x, y) as cleared, a whole horizontal run at a time,
// and returns how many there were. spans receives each row's cleared extent.
std::int64_t searchRuns(
    std::uint8_t* mask, int width, int height, int x, int y, std::vector<RowSpan>& spans)
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
        while (left > 0 && row[left - 1] == kSimilar)
            --left;
        int right = px;
        while (right + 1 < width && row[right + 1] == kSimilar)
            ++right;
        std::memset(row + left, kCleared, std::size_t(right - left + 1));
        count += right - left + 1;
        RowSpan& span = spans[std::size_t(py)];
        span.first = std::min(span.first, left);
        span.last = std::max(span.last, right);
        // One pending entry per run of similar pixels touching this run from above or below;
        // the entry's own extension to the sides happens when it is taken.
        for (const int ny : { py - 1, py + 1 }) {
            if (ny < 0 || ny >= height)
                continue;
            const std::uint8_t* next = mask + std::size_t(ny) * std::size_t(width);
            for (int i = left; i <= right; ++i) {
                if (next[i] != kSimilar)
                    continue;
                pending.emplace_back(i, ny);
                while (i <= right && next[i] == kSimilar)
                    ++i;
            }
        }
    }
    return count;
}

// The source row with the cleared pixels of its span set to 0.
void clearedRow(
    const std::uint32_t* in, const std::uint8_t* mask, std::uint32_t* out, int width, RowSpan span)
{
    if (span.first > span.last) {
        std::memcpy(out, in, std::size_t(width) * 4);
        return;
    }
    std::memcpy(out, in, std::size_t(span.first) * 4);
    for (int x = span.first; x <= span.last; ++x)
        out[x] = mask[x] == kCleared ? 0u : in[x];
    std::memcpy(out + span.last + 1, in + span.last + 1, std::size_t(width - span.last - 1) * 4);
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
        QImage result(width, height, QImage::Format_ARGB32_Premultiplied);
        if (source.isNull() || result.isNull())
            return std::nullopt;
        const std::size_t w = std::size_t(width);
        // Row addresses taken once here: scanLine() of a QImage is no call for several threads.
        const uchar* in = source.constBits();
        uchar* out = result.bits();
        const std::size_t inStride = std::size_t(source.bytesPerLine());
        const std::size_t outStride = std::size_t(result.bytesPerLine());
        const auto inRow = [&](int r) {
            return reinterpret_cast<const std::uint32_t*>(in + std::size_t(r) * inStride);
        };
        auto mask = std::make_unique_for_overwrite<std::uint8_t[]>(w * std::size_t(height));
        const std::uint32_t seed = inRow(y)[x];
        platform::parallelRows(height, width, kParallelPixels, [&](int top, int bottom) {
            for (int r = top; r < bottom; ++r)
                similarRow(inRow(r), mask.get() + std::size_t(r) * w, width, seed, limit);
        });
        // The seed is entered even when it is transparent.
        mask[std::size_t(y) * w + std::size_t(x)] = kSimilar;
        std::vector<RowSpan> spans(std::size_t(height), RowSpan { width, -1 });
        const std::int64_t count = searchRuns(mask.get(), width, height, x, y, spans);
        platform::parallelRows(height, width, kParallelPixels, [&](int top, int bottom) {
            for (int r = top; r < bottom; ++r)
                clearedRow(inRow(r), mask.get() + std::size_t(r) * w,
                    reinterpret_cast<std::uint32_t*>(out + std::size_t(r) * outStride), width,
                    spans[std::size_t(r)]);
        });
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
