// One step of the perspective slider over 20 selected picture boxes of 1500 px that already
// lean (so every step warps them again): the slider's action, the container's change with its
// undo snapshot, and the repaint of the layer, in which each box is captured flat and warped.
// Budget: 100 ms on 8 threads. Compared in the same run with OpenCV's warpPerspective of the
// same 20 pictures to the same narrowing (BM_PerspectiveDragOpenCV): the step within 1.2 x.
#include "container/WarpRenderer.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/ui/View.h"
#include "window/InspectorRig.h"

#include <QImage>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

#ifdef QUILLMARK_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

using namespace windowtest;

namespace {

constexpr int kBoxes = 20;
constexpr int kSide = 1500; // the pictures' width
constexpr int kHeight = 1000;

QImage patterned(int w, int h, int seed)
{
    QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(pixels.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = qRgba((x * 3 + seed) & 255, (y * 5) & 255, ((x ^ y) * 7) & 255, 255);
    }
    return pixels;
}

std::vector<UNDODATA> leaningPictures()
{
    std::vector<UNDODATA> records;
    for (int i = 0; i < kBoxes; ++i) {
        const platform::Rect frame(40.0 * i, 30.0 * i, kSide, kHeight);
        MyImageView image(frame);
        image.setOrgImage(
            platform::Image::fromQImage(patterned(kSide, kHeight, i)), kSide, kHeight);
        UNDODATA r = image.getUndoData();
        r.frame = frame;
        r.horzPerspective = 0.3;
        r.selected = true;
        records.push_back(std::move(r));
    }
    return records;
}

void BM_PerspectiveDrag(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(int(state.range(0)));
    InspectorWindow w;
    w.boxes().applyUndoData(ContainerSnapshot(leaningPictures()));
    w.win.textViewSelected(w.boxes().textViewAry);
    ImageEffectIntensitySlider& slider = *w.o.perspectiveSlider;
    // The layer as the canvas shows it: the whole of it, scaled into a 1600-px view.
    const platform::Rect area(0, 0, 40.0 * kBoxes + kSide, 30.0 * kBoxes + kHeight);
    const double scale = 1600.0 / area.width();
    const auto repaint = [&] { return platform::renderToImage(w.boxes(), area, scale); };
    // Counts the warps a step makes (each box once) and the time they take, passing them on to
    // the real renderer: the rest of the step is the captures, the snapshot and the repaint.
    int warps = 0;
    double warpSeconds = 0;
    w.boxes().setWarpRenderer([&](const platform::Image& image,
                                  const std::vector<platform::Point>& curves, double h, double v) {
        ++warps;
        const auto start = std::chrono::steady_clock::now();
        auto result = WarpRenderer::perspectiveCurved(image, curves, h, v);
        warpSeconds
            += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return result;
    });
    repaint();
    bool right = true;
    int warped = 0;
    warps = 0;
    warpSeconds = 0;
    for (auto _ : state) {
        slider.setValue(right ? 0.7 : 0.6);
        right = !right;
        benchmark::DoNotOptimize(repaint());
        state.PauseTiming();
        w.undo.endGroup();
        warped = 0;
        for (const MyViewBase* box : w.boxes().textViewAry)
            warped += box->imgPersp.isNull() ? 0 : 1;
        state.ResumeTiming();
    }
    state.counters["boxes_warped"] = warped;
    state.counters["warps_per_step"] = double(warps) / double(state.iterations());
    state.counters["warp_ms_per_step"] = warpSeconds * 1000.0 / double(state.iterations());
    platform::ThreadPool::setMaxThreads(int(std::thread::hardware_concurrency()));
}
BENCHMARK(BM_PerspectiveDrag)
    ->Arg(8)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly();

#ifdef QUILLMARK_HAVE_OPENCV
// The same 20 pictures narrowed on their right side by the step's factor (0.4 of the height),
// each one warpPerspective call, one after another, each call on the threads given.
void BM_PerspectiveDragOpenCV(benchmark::State& state)
{
    cv::setNumThreads(int(state.range(0)));
    std::vector<QImage> pictures;
    for (int i = 0; i < kBoxes; ++i)
        pictures.push_back(patterned(kSide, kHeight, i));
    const float W = kSide - 1, H = kHeight - 1, c = H / 2.0f;
    const cv::Point2f from[4] = { { 0, 0 }, { W, 0 }, { W, H }, { 0, H } };
    const cv::Point2f to[4] = { { 0, 0 }, { W, c - 0.6f * c }, { W, c + 0.6f * c }, { 0, H } };
    const cv::Mat m = cv::getPerspectiveTransform(from, to);
    cv::Mat out;
    for (auto _ : state) {
        for (QImage& p : pictures) {
            const cv::Mat src(
                p.height(), p.width(), CV_8UC4, p.bits(), std::size_t(p.bytesPerLine()));
            cv::warpPerspective(src, out, m, src.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT);
            benchmark::DoNotOptimize(out.data);
        }
    }
}
BENCHMARK(BM_PerspectiveDragOpenCV)
    ->Arg(8)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly();
#endif

} // namespace
