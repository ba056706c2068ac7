// The drawing layer under the load of an editor frame: a large shadowed gradient fill, alone
// and inside a transparency layer; the shadow blur on its own, at sigmas from 5 to 1000 (cost
// per output value should not grow with the sigma), compared in the same run with OpenCV's
// GaussianBlur of the same 8-bit plane to the same output size (BM_OpenCvGaussianBlur, rows of
// the same sigma) when its development files are there.
#include "BenchMain.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/graphics/AlphaBlur.h"
#include "platform/graphics/GraphicsContext.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>

#ifdef QUILLMARK_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

using namespace platform;

namespace {

void drawShadowedGradient(GraphicsContext& ctx, bool inLayer)
{
    const Gradient gradient({ { Color(0.9, 0.2, 0.1), 0.0 }, { Color(1.0, 0.9, 0.2), 0.5 },
        { Color(0.1, 0.3, 0.9), 1.0 } });
    const BezierPath path = BezierPath::roundedRect(Rect(100, 100, 1000, 1000), 60, 60);
    ctx.saveGState();
    ctx.setShadow(Shadow { Size(5, -5), 10, Color(0, 0, 0, 0.75) });
    if (inLayer)
        ctx.beginTransparencyLayer();
    ctx.drawLinearGradientInPath(gradient, path, 30);
    if (inLayer)
        ctx.endTransparencyLayer();
    ctx.restoreGState();
}

void BM_ShadowedGradientFill(benchmark::State& state)
{
    const bool inLayer = state.range(0) != 0;
    QImage target(1200, 1200, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        target.fill(Qt::white);
        GraphicsContext ctx(target);
        drawShadowedGradient(ctx, inLayer);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetLabel(inLayer ? "in a transparency layer" : "direct");
}
BENCHMARK(BM_ShadowedGradientFill)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GradientFillNoShadow(benchmark::State& state)
{
    QImage target(1200, 1200, QImage::Format_ARGB32_Premultiplied);
    const Gradient gradient({ { Color(0.9, 0.2, 0.1), 0.0 }, { Color(1.0, 0.9, 0.2), 0.5 },
        { Color(0.1, 0.3, 0.9), 1.0 } });
    const BezierPath path = BezierPath::roundedRect(Rect(100, 100, 1000, 1000), 60, 60);
    for (auto _ : state) {
        target.fill(Qt::white);
        GraphicsContext ctx(target);
        ctx.drawLinearGradientInPath(gradient, path, 30);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_GradientFillNoShadow)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<std::uint8_t> squarePlane()
{
    std::vector<std::uint8_t> plane(1000 * 1000, 0);
    for (int y = 100; y < 900; ++y)
        std::fill(plane.begin() + y * 1000 + 100, plane.begin() + y * 1000 + 900, 200);
    return plane;
}

void BM_AlphaBlur(benchmark::State& state)
{
    const double sigma = double(state.range(0));
    const std::vector<std::uint8_t> plane = squarePlane();
    const AlphaBlur blur(sigma);
    std::vector<std::uint8_t> out;
    for (auto _ : state) {
        blur.apply(plane.data(), 1000, 1000, 1000, 1, out);
        benchmark::DoNotOptimize(out.data());
    }
    const double values = double(out.size());
    state.counters["ns_per_value"] = benchmark::Counter(
        values * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetLabel("1000 x 1000 plane, output grown by the reach");
}
BENCHMARK(BM_AlphaBlur)
    ->Arg(5)
    ->Arg(16)
    ->Arg(17)
    ->Arg(40)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#ifdef QUILLMARK_HAVE_OPENCV
// The same plane padded by our reach and blurred by OpenCV to the same output, one thread per
// call as OpenCV chooses (its own parallel backend). Its kernel is exact, so its cost grows
// with the sigma: 1000 is left out (a 6001-tap kernel over 49 million values).
void BM_OpenCvGaussianBlur(benchmark::State& state)
{
    const double sigma = double(state.range(0));
    const int reach = AlphaBlur(sigma).reach();
    const std::vector<std::uint8_t> plane = squarePlane();
    cv::Mat padded(1000 + 2 * reach, 1000 + 2 * reach, CV_8UC1, cv::Scalar(0));
    cv::Mat(1000, 1000, CV_8UC1, const_cast<std::uint8_t*>(plane.data()))
        .copyTo(padded(cv::Rect(reach, reach, 1000, 1000)));
    cv::Mat out;
    for (auto _ : state) {
        cv::GaussianBlur(padded, out, cv::Size(0, 0), sigma, sigma, cv::BORDER_CONSTANT);
        benchmark::DoNotOptimize(out.data);
    }
    state.SetLabel("the plane padded by the reach");
}
BENCHMARK(BM_OpenCvGaussianBlur)
    ->Arg(5)
    ->Arg(16)
    ->Arg(40)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#endif

// A shadow behind one word of 100-point text: a small plane, the size a text box blurs many
// times per frame.
void BM_AlphaBlurWord(benchmark::State& state)
{
    const int w = 1151, h = 96;
    std::vector<std::uint8_t> plane(size_t(w) * h, 0);
    for (int y = 10; y < h - 10; ++y)
        for (int x = 0; x < w; ++x)
            plane[size_t(y) * w + size_t(x)] = (x / 40) % 2 ? 255 : 0;
    const AlphaBlur blur(double(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(blur.apply(plane.data(), w, h, w).data());
    state.SetLabel("1151 x 96 plane");
}
BENCHMARK(BM_AlphaBlurWord)->Arg(3)->Arg(16)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The inner shadow of a whole text box of 100-point text (three lines over 3000 pixels): the
// plane a redraw blurs twice.
void BM_AlphaBlurTextBox(benchmark::State& state)
{
    const int w = 3063, h = 415;
    std::vector<std::uint8_t> plane(size_t(w) * h, 0);
    for (int line = 0; line < 3; ++line)
        for (int y = 10 + line * 135; y < 125 + line * 135; ++y)
            for (int x = 0; x < w; ++x)
                plane[size_t(y) * w + size_t(x)] = (x / 13) % 3 ? 255 : 0;
    const AlphaBlur blur(double(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(blur.apply(plane.data(), w, h, w).data());
    state.SetLabel("3063 x 415 text plane");
}
BENCHMARK(BM_AlphaBlurTextBox)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The three blurs of a shape redraw with every effect (the drop shadow of the whole box at
// sigma 5; the inner shadow at sigma 6 and the shadow its layer casts, both in a window of
// their planes) over a star's coverage of 952 by 905 pixels, at 1 and at 8 threads. The
// fastest repetition is reported too: on a loaded machine it is the steadiest figure.
void BM_AlphaBlurShapeShadows(benchmark::State& state)
{
    const int w = 952, h = 905;
    QImage star(w, h, QImage::Format_Alpha8);
    star.fill(0);
    {
        QPainter p(&star);
        p.setRenderHint(QPainter::Antialiasing, true);
        QPolygonF points;
        for (int i = 0; i < 10; ++i) {
            const double a = M_PI / 2 + i * M_PI / 5, radius = i % 2 ? 0.19 : 0.5;
            points << QPointF(w * (0.5 + radius * std::cos(a)), h * (0.55 - radius * std::sin(a)));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawPolygon(points);
    }
    ThreadPool::setMaxThreads(int(state.range(0)));
    const AlphaBlur drop(5.0), inner(6.0);
    const AlphaBlur::Window window { inner.reach(), inner.reach() + 10, w, h };
    std::vector<std::uint8_t> out;
    for (auto _ : state) {
        drop.apply(star.constBits(), w, h, int(star.bytesPerLine()), 1, out);
        inner.apply(star.constBits(), w, h, int(star.bytesPerLine()), 1, window, out);
        inner.apply(star.constBits(), w, h, int(star.bytesPerLine()), 1, window, out);
        benchmark::DoNotOptimize(out.data());
    }
    ThreadPool::setMaxThreads(8);
    state.SetLabel("star, 952 x 905, sigma 5 whole and 6 twice in a window");
}
BENCHMARK(BM_AlphaBlurShapeShadows)
    ->Arg(1)
    ->Arg(8)
    ->Repetitions(9)
    ->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QGuiApplication>(argc, argv);
}
