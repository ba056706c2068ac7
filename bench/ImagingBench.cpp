// The canvas chain (ImagingScene.h) on a generated 24-megapixel picture, rendered exactly at
// full resolution and by the display path at fit zoom into a 1600 x 1000 view, both layers as
// two requests and as the canvas asks for them, in one. The argument is the number of threads.
#include "ImagingScene.h"
#include "PairedTiming.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/imaging/BlurNode.h"
#include "platform/imaging/Filter.h"
#include "platform/imaging/FilterRenderer.h"

#include <QGuiApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cmath>
#include <thread>

#ifdef QUILLMARK_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

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

// The Gaussian blur on its own over a 6-megapixel part of the picture, edges held (the chain's
// clamp), rendered exactly to 8 bits. Arguments: sigma, threads. The kernel reaches 3 sigma
// either side, so the cost per pixel is that of its taps.
constexpr int kBlurWidth = 3000, kBlurHeight = 2000;

const QImage& blurPicture()
{
    static const QImage p = picture().copy(0, 0, kBlurWidth, kBlurHeight);
    return p;
}

QImage blurOurs(double sigma)
{
    const FilterImage src = FilterImage::fromQImage(blurPicture());
    Filter f = Filter::withName(QStringLiteral("CIGaussianBlur"));
    f.setValue(QStringLiteral("inputImage"), src.clampedToExtent());
    f.setValue(QStringLiteral("inputRadius"), sigma);
    const FilterImage blurred = f.outputImage().cropped(src.extent());
    return FilterRenderer::render(blurred, src.extent(), 1.0, RenderPath::Exact);
}

void BM_GaussianBlur(benchmark::State& state)
{
    ThreadPool::setMaxThreads(int(state.range(1)));
    const double sigma = double(state.range(0));
    for (auto _ : state) {
        QImage out = blurOurs(sigma);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.counters["Mpix/s"] = benchmark::Counter(
        double(kBlurWidth) * kBlurHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

void blurRuns(benchmark::internal::Benchmark* b)
{
    b->Args({ 5, kAllThreads })
        ->Args({ 5, 2 })
        ->Args({ 5, 1 })
        ->Args({ 20, kAllThreads })
        ->Args({ 20, 2 })
        ->Args({ 50, kAllThreads })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
BENCHMARK(BM_GaussianBlur)->Apply(blurRuns);

#ifdef QUILLMARK_HAVE_OPENCV
// OpenCV's GaussianBlur of the same 8-bit pixels with the same kernel (2 ceil(3 sigma) + 1
// taps, edges replicated). psnr_dB: how closely the two outputs agree.
void BM_GaussianBlurOpenCV(benchmark::State& state)
{
    cv::setNumThreads(int(state.range(1)));
    const double sigma = double(state.range(0));
    const QImage& pixels = blurPicture();
    const cv::Mat src(pixels.height(), pixels.width(), CV_8UC4,
        const_cast<uchar*>(pixels.constBits()), std::size_t(pixels.bytesPerLine()));
    const int taps = 2 * int(std::ceil(3 * sigma)) + 1;
    cv::Mat out;
    for (auto _ : state) {
        cv::GaussianBlur(src, out, cv::Size(taps, taps), sigma, sigma, cv::BORDER_REPLICATE);
        benchmark::DoNotOptimize(out.data);
    }
    const QImage ours = blurOurs(sigma).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const cv::Mat theirs(ours.height(), ours.width(), CV_8UC4, const_cast<uchar*>(ours.constBits()),
        std::size_t(ours.bytesPerLine()));
    state.counters["psnr_dB"] = cv::PSNR(out, theirs);
    state.counters["Mpix/s"] = benchmark::Counter(
        double(kBlurWidth) * kBlurHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
    cv::setNumThreads(-1);
}
BENCHMARK(BM_GaussianBlurOpenCV)->Apply(blurRuns);
#endif

// A picture of a few pixels blurred (edges held, blurred, cut to the picture) and shown by the
// display path zoomed to fit a 900-pixel window: hundreds of times its size. Arguments: the
// picture's width and height, and the Aperture slider in hundredths (sigma is five times it).
// The render above scale 1 holds the picture's edge pixels at its own scale and, once sigma
// spans more than BlurNode::kZoomedSigma render pixels, blurs at the scale where it spans that
// many and resamples up.
#ifdef QUILLMARK_HAVE_OPENCV
// Beside it in the same iterations, OpenCV doing the same work the same way: the picture
// resized up bilinearly to that scale (edges replicated), GaussianBlur in float with the same
// kernel reach (edges replicated), resized up bilinearly to the shown size. "opencv ratio" is
// ours over theirs; psnr_dB how closely the two frames agree.
#endif
constexpr double kTinyWindow = 900;

QImage tinyPicture(int w, int h)
{
    QImage pic(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pic.setPixel(x, y, qRgb(40 + 90 * x, 200 - 70 * y, 120));
    return pic;
}

QImage tinyBlurOurs(const QImage& pic, double sigma, double scale)
{
    const FilterImage src = FilterImage::fromQImage(pic);
    Filter f = Filter::withName(QStringLiteral("CIGaussianBlur"));
    f.setValue(QStringLiteral("inputImage"), src.clampedToExtent());
    f.setValue(QStringLiteral("inputRadius"), sigma);
    return FilterRenderer::render(
        f.outputImage().cropped(src.extent()), src.extent(), scale, RenderPath::Display);
}

#ifdef QUILLMARK_HAVE_OPENCV
cv::Mat tinyBlurOpenCv(const QImage& pic, double sigma, double scale)
{
    const cv::Mat src(pic.height(), pic.width(), CV_8UC4, const_cast<uchar*>(pic.constBits()),
        std::size_t(pic.bytesPerLine()));
    const double most = BlurNode::kZoomedSigma;
    const double at = scale > 1 && sigma * scale > most ? std::max(1.0, most / sigma) : scale;
    cv::Mat coarse, blurred, shown, out;
    src.convertTo(coarse, CV_32FC4);
    cv::resize(coarse, coarse,
        cv::Size(int(std::lround(pic.width() * at)), int(std::lround(pic.height() * at))), 0, 0,
        cv::INTER_LINEAR);
    const int taps = 2 * int(std::ceil(3 * sigma * at)) + 1;
    cv::GaussianBlur(
        coarse, blurred, cv::Size(taps, taps), sigma * at, sigma * at, cv::BORDER_REPLICATE);
    cv::resize(blurred, shown,
        cv::Size(int(std::lround(pic.width() * scale)), int(std::lround(pic.height() * scale))), 0,
        0, cv::INTER_LINEAR);
    shown.convertTo(out, CV_8UC4);
    return out;
}
#endif

void BM_TinyPictureBlur(benchmark::State& state)
{
    ThreadPool::setMaxThreads(kAllThreads);
    const QImage pic = tinyPicture(int(state.range(0)), int(state.range(1)));
    const double sigma = 5.0 * double(state.range(2)) / 100.0;
    const double scale = kTinyWindow / std::max(pic.width(), pic.height());
    PairedTiming timing;
    QImage ours;
#ifdef QUILLMARK_HAVE_OPENCV
    cv::Mat theirs;
#endif
    for (auto _ : state) {
        timing.iteration(
            state, [&] { ours = tinyBlurOurs(pic, sigma, scale); },
            [&] {
#ifdef QUILLMARK_HAVE_OPENCV
                theirs = tinyBlurOpenCv(pic, sigma, scale);
#endif
            });
        benchmark::DoNotOptimize(ours.constBits());
    }
#ifdef QUILLMARK_HAVE_OPENCV
    timing.report(state, "opencv ratio", "opencv_ms");
    const QImage mine = ours.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // Ours has its rows from the top as OpenCV's do.
    const cv::Mat oursMat(mine.height(), mine.width(), CV_8UC4,
        const_cast<uchar*>(mine.constBits()), std::size_t(mine.bytesPerLine()));
    if (oursMat.size() == theirs.size())
        state.counters["psnr_dB"] = cv::PSNR(oursMat, theirs);
#endif
}
BENCHMARK(BM_TinyPictureBlur)
    ->Args({ 1, 1, 25 })
    ->Args({ 1, 1, 100 })
    ->Args({ 1, 2, 25 })
    ->Args({ 1, 2, 100 })
    ->Args({ 3, 3, 25 })
    ->Args({ 3, 3, 100 })
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

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
