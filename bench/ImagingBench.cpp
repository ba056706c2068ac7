// The canvas chain on a generated 24-megapixel picture: saturation 1.5, clamp, blur 5, crop,
// vignette 5, and the blend with a 512-pixel mask scaled up, rendered exactly at full
// resolution and by the display path at fit zoom into a 1600 x 1000 view, both layers as two
// requests and as the canvas asks for them, in one. The argument is the number of threads.
//
// --write-picture=PATH.ppm and --write-vignette=PATH.pgm write the same picture and the
// vignette's factors for the comparison run of scripts/bench.sh.
#include "platform/imaging/Filter.h"
#include "platform/imaging/FilterRenderer.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/imaging/VignetteNode.h"

#include <QGuiApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <thread>

using namespace platform;

namespace {

constexpr int kWidth = 6000, kHeight = 4000;
constexpr double kVignette = 5.0;

QImage makePicture()
{
    QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kHeight; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const unsigned noise = (unsigned(x) * 2654435761u ^ unsigned(y) * 40503u) >> 27;
            row[x] = qRgb(int(128 + 100 * std::sin(x * 0.003)) + int(noise & 15),
                int(128 + 100 * std::cos(y * 0.004)), int((x + y) / 40 % 256));
        }
    }
    return img;
}

const QImage& picture()
{
    static const QImage p = makePicture();
    return p;
}

FilterImage makeMask()
{
    const int mw = 512, mh = 512 * kHeight / kWidth;
    QImage m(mw, mh, QImage::Format_ARGB32_Premultiplied);
    m.fill(Qt::transparent);
    for (int y = 0; y < mh; ++y)
        for (int x = 0; x < mw; ++x)
            if (std::hypot(x - mw * 0.5, y - mh * 0.5) < mh * 0.3)
                m.setPixel(x, y, qRgba(255, 255, 255, 255));
    const double s = double(kWidth) / mw;
    return FilterImage::fromQImage(m).transformed(AffineTransform::makeScale(s, s));
}

FilterImage step(const char* name, const FilterImage& in,
    std::initializer_list<std::pair<const char*, FilterValue>> values)
{
    Filter f = Filter::withName(QString::fromLatin1(name));
    f.setValue(QStringLiteral("inputImage"), in);
    for (const auto& [k, v] : values)
        f.setValue(QString::fromLatin1(k), v);
    return f.outputImage();
}

struct Layers {
    FilterImage bottom, top;
};

Layers chain(const FilterImage& src)
{
    FilterImage img = step("CIColorControls", src, { { "inputSaturation", 1.5 } });
    img = step("CIAffineClamp", img, {});
    img = step("CIGaussianBlur", img, { { "inputRadius", 5.0 } });
    img = step("CICrop", img, { { "inputRectangle", FilterVector::fromRect(src.extent()) } });
    img = step("CIVignette", img, { { "inputIntensity", kVignette } });
    static const FilterImage mask = makeMask();
    FilterImage top = step("CIBlendWithMask", img,
        { { "inputBackgroundImage", FilterImage::constantColor(Color::clear()) },
            { "inputMaskImage", mask } });
    return { img, top.cropped(src.extent()) };
}

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

bool writeComparisonFiles(int& argc, char** argv)
{
    bool wrote = false;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strncmp(a, "--write-picture=", 16) == 0) {
            picture()
                .convertToFormat(QImage::Format_RGB888)
                .save(QString::fromLocal8Bit(a + 16), "PPM");
            wrote = true;
        } else if (std::strncmp(a, "--write-vignette=", 17) == 0) {
            QImage f(kWidth, kHeight, QImage::Format_Grayscale8);
            const double half = std::hypot(kWidth, kHeight) * 0.5;
            for (int y = 0; y < kHeight; ++y) {
                uchar* row = f.scanLine(y);
                for (int x = 0; x < kWidth; ++x) {
                    const double d
                        = std::hypot(x + 0.5 - kWidth * 0.5, y + 0.5 - kHeight * 0.5) / half;
                    row[x] = uchar(std::lround(255 * VignetteNode::factor(d, kVignette, 1.0)));
                }
            }
            f.save(QString::fromLocal8Bit(a + 17), "PGM");
            wrote = true;
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    return wrote;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (writeComparisonFiles(argc, argv))
        return 0;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
