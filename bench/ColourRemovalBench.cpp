// Colour removal: one drag event's fill on a 12-megapixel picture, and OpenCV's floodFill doing
// the same clearing (on the 3-channel copy it needs) in the same run.
#include "container/ColourRemoval.h"
#include "platform/concurrency/ThreadPool.h"

#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>
#include <thread>

#ifdef QUILLMARK_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kSeedX = 10;
constexpr int kSeedY = 10;
constexpr double kThreshold = 30.0;

// A background of 240 with per-channel noise 0-4 around a centred 1333 x 2000 subject of grey
// 60-100: the fill clears the background (78 %), never the subject.
const QImage& dragPicture()
{
    static const QImage picture = [] {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        std::mt19937 rng(2026);
        const int left = (kWidth - 1333) / 2, top = (kHeight - 2000) / 2;
        for (int y = 0; y < kHeight; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
            for (int x = 0; x < kWidth; ++x) {
                const std::uint32_t r = rng();
                if (x >= left && x < left + 1333 && y >= top && y < top + 2000) {
                    const std::uint32_t g = 60 + r % 41;
                    row[x] = 0xff000000u | g << 16 | g << 8 | g;
                } else {
                    row[x] = 0xff000000u | (240 + (r & 3) + (r >> 2 & 1)) << 16
                        | (240 + (r >> 3 & 3) + (r >> 5 & 1)) << 8
                        | (240 + (r >> 6 & 3) + (r >> 8 & 1));
                }
            }
        }
        return image;
    }();
    return picture;
}

std::int64_t ourCount()
{
    std::int64_t cleared = 0;
    ColourRemoval::fillPixels(dragPicture(), kSeedX, kSeedY, kThreshold, &cleared);
    return cleared;
}

// One drag event: a whole fill from the gesture's source picture into a new picture.
void BM_ColourRemovalDrag(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(int(state.range(0)));
    const platform::Image source = platform::Image::fromQImage(dragPicture());
    source.toQImage(); // the picture of the press, rasterised once
    std::optional<platform::Image> result;
    for (auto _ : state) {
        result = ColourRemoval::fill(source, kSeedX, kSeedY, kThreshold);
        benchmark::DoNotOptimize(result);
    }
    state.counters["cleared"] = double(ourCount());
    platform::ThreadPool::setMaxThreads(int(std::thread::hardware_concurrency()));
}
BENCHMARK(BM_ColourRemovalDrag)
    ->Arg(8)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

#ifdef QUILLMARK_HAVE_OPENCV
// OpenCV: the 3-channel copy floodFill works on, then a 4-connected fixed-range fill with
// channel differences of 10 (on this picture the same pixels as a summed difference of 30).
void BM_ColourRemovalDragOpenCV(benchmark::State& state)
{
    cv::setNumThreads(int(state.range(0)));
    QImage pixels = dragPicture();
    const cv::Mat src(kHeight, kWidth, CV_8UC4, pixels.bits(), std::size_t(pixels.bytesPerLine()));
    cv::Mat copy;
    int filled = 0;
    for (auto _ : state) {
        cv::cvtColor(src, copy, cv::COLOR_BGRA2BGR);
        filled = cv::floodFill(copy, cv::Point(kSeedX, kSeedY), cv::Scalar(0, 0, 0), nullptr,
            cv::Scalar(10, 10, 10), cv::Scalar(10, 10, 10), 4 | cv::FLOODFILL_FIXED_RANGE);
        benchmark::DoNotOptimize(copy.data);
    }
    state.counters["cleared"] = filled;
    state.counters["same"] = filled == ourCount() ? 1 : 0;
    if (filled != ourCount())
        state.SkipWithError("OpenCV cleared a different number of pixels");
}
BENCHMARK(BM_ColourRemovalDragOpenCV)
    ->Arg(8)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();
#endif

} // namespace
