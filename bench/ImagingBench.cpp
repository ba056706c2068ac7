// The canvas chain (ImagingScene.h) on a generated 24-megapixel picture, rendered exactly at
// full resolution and by the display path at fit zoom into a 1600 x 1000 view, both layers as
// two requests and as the canvas asks for them, in one. The argument is the number of threads.
#include "ImagingScene.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/imaging/FilterRenderer.h"

#include <QGuiApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <thread>

using namespace platform;
using namespace bench;

namespace {

void BM_ExactFullResolution(benchmark::State& state)
{
    ThreadPool::setMaxThreads(int(state.range(0)));
    const FilterImage src = FilterImage::fromQImage(picture());
    const Layers l = chain(src);
    for (auto _ : state) {
        QImage out = FilterRenderer::render(l.top, src.extent(), 1.0, RenderPath::Exact);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.counters["Mpix/s"] = benchmark::Counter(
        double(kWidth) * kHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

// Both canvas layers (under and over the boxes) for one frame at fit zoom.
void BM_DisplayBothLayersFit(benchmark::State& state)
{
    ThreadPool::setMaxThreads(int(state.range(0)));
    const FilterImage src = FilterImage::fromQImage(picture());
    const Layers l = chain(src);
    const double fit = std::min(1600.0 / kWidth, 1000.0 / kHeight);
    // The pyramid is made once per picture; a frame reads it.
    FilterRenderer::render(l.bottom, src.extent(), fit, RenderPath::Display);
    for (auto _ : state) {
        QImage bottom = FilterRenderer::render(l.bottom, src.extent(), fit, RenderPath::Display);
        QImage top = FilterRenderer::render(l.top, src.extent(), fit, RenderPath::Display);
        benchmark::DoNotOptimize(bottom.constBits());
        benchmark::DoNotOptimize(top.constBits());
    }
}

// The same frame as one request, as the canvas asks for it: the blend over the boxes reads
// the picture under them from the same request instead of computing it again.
void BM_DisplayBothLayersFitOneRequest(benchmark::State& state)
{
    ThreadPool::setMaxThreads(int(state.range(0)));
    const FilterImage src = FilterImage::fromQImage(picture());
    const Layers l = chain(src);
    const double fit = std::min(1600.0 / kWidth, 1000.0 / kHeight);
    FilterRenderer::render(l.bottom, src.extent(), fit, RenderPath::Display);
    for (auto _ : state) {
        const std::vector<QImage> both
            = FilterRenderer::render({ l.bottom, l.top }, src.extent(), fit, RenderPath::Display);
        benchmark::DoNotOptimize(both[0].constBits());
        benchmark::DoNotOptimize(both[1].constBits());
    }
}

// What the first display frame of a newly loaded picture pays for the pyramid.
void BM_DisplayFirstFrame(benchmark::State& state)
{
    ThreadPool::setMaxThreads(int(state.range(0)));
    const double fit = std::min(1600.0 / kWidth, 1000.0 / kHeight);
    for (auto _ : state) {
        const FilterImage src = FilterImage::fromQImage(picture());
        const Layers l = chain(src);
        QImage bottom = FilterRenderer::render(l.bottom, src.extent(), fit, RenderPath::Display);
        benchmark::DoNotOptimize(bottom.constBits());
    }
}

const int kAllThreads = int(std::max(1u, std::thread::hardware_concurrency()));

BENCHMARK(BM_ExactFullResolution)
    ->Arg(kAllThreads)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DisplayBothLayersFit)
    ->Arg(kAllThreads)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DisplayBothLayersFitOneRequest)
    ->Arg(kAllThreads)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DisplayFirstFrame)->Arg(kAllThreads)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
