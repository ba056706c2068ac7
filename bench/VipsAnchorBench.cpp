// The performance anchor for the exact filter chain: the same operations on the same picture as
// one libvips pipeline in one process, rendered into memory, timed in the same run as ours on
// all cores. The operations are the bottom layer of ImagingScene.h: saturation 1.5 (a colour
// matrix mixing with the same luma), a Gaussian blur of sigma 5 over 15 pixels either side with
// the edge pixels repeated, the vignette's factors multiplied in, and 8 bits, rounded to
// nearest. Inputs are in memory before timing starts and libvips's operation cache is off, so
// every iteration computes every pixel.
//
// Before the benchmarks it prints the PSNR of our output against libvips's: it shows that the
// two do the same work (above 40 dB) and where they differ.
//
// The export of the same picture: BM_ExportOurs composes it in stripes over the canvas's
// backdrop, as the export does, into our JPEG writer; BM_ExportVips runs the same pipeline
// into libvips's jpegsave; both at quality 90 with full-resolution colour, into memory. The
// PSNR of the two files against each other is printed first.
#include "ImagingScene.h"
#include "canvas/CanvasExport.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/imaging/FilterRenderer.h"
#include "platform/imaging/JpegWriter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vips/vips.h>

using namespace platform;
using namespace bench;

namespace {

const int kAllThreads = int(std::max(1u, std::thread::hardware_concurrency()));

// Owns one reference to a libvips object.
class VipsRef {
public:
    VipsRef() = default;
    explicit VipsRef(VipsImage* p)
        : m_p(p)
    {
    }
    VipsRef(const VipsRef&) = delete;
    VipsRef& operator=(const VipsRef&) = delete;
    ~VipsRef()
    {
        if (m_p)
            g_object_unref(m_p);
    }
    VipsImage* get() const { return m_p; }
    VipsImage** out() { return &m_p; }

private:
    VipsImage* m_p = nullptr;
};

[[noreturn]] void vipsFailed(const char* what)
{
    std::fprintf(stderr, "libvips: %s: %s\n", what, vips_error_buffer());
    std::exit(1);
}

// The inputs in libvips's memory images, made once (not timed).
struct VipsInputs {
    VipsRef rgb; // the picture, 3 bands of 8 bits
    VipsRef vignette; // the factors, 1 band of float
    VipsRef saturation; // 3 x 3 matrix

    VipsInputs()
    {
        const QImage rgb888 = picture().convertToFormat(QImage::Format_RGB888);
        std::vector<uchar> packed(std::size_t(kWidth) * kHeight * 3);
        for (int y = 0; y < kHeight; ++y)
            std::copy_n(
                rgb888.constScanLine(y), kWidth * 3, packed.data() + std::size_t(y) * kWidth * 3);
        *rgb.out() = vips_image_new_from_memory_copy(
            packed.data(), packed.size(), kWidth, kHeight, 3, VIPS_FORMAT_UCHAR);
        const std::vector<float> f = vignetteFactors();
        *vignette.out() = vips_image_new_from_memory_copy(
            f.data(), f.size() * sizeof(float), kWidth, kHeight, 1, VIPS_FORMAT_FLOAT);
        // Row i gives channel i: (1 - s) * L[j] + s * [i == j], the luma weights ours uses.
        const double luma[3] = { 0.2125, 0.7154, 0.0721 };
        double m[9];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                m[i * 3 + j] = (1 - kSaturation) * luma[j] + (i == j ? kSaturation : 0.0);
        *saturation.out() = vips_image_new_matrix_from_array(3, 3, m, 9);
        if (!rgb.get() || !vignette.get() || !saturation.get())
            vipsFailed("inputs");
    }
};

const VipsInputs& vipsInputs()
{
    static const VipsInputs in;
    return in;
}

enum class Cast { Rounded, Truncated };

// The pipeline, not yet computed. Rounded adds 0.5 in the step that makes 8 bits (clamped to
// 0..255, truncated), which rounds to nearest as our store does; Truncated is the plain cast.
// The blur runs in float: its default integer mask is slower on float input and less exact.
// min_ampl 0.011 ends the mask where ours ends, at ceil(3 sigma) = 15 pixels either side
// (exp(-15^2 / 50) = 0.0111 is kept, exp(-16^2 / 50) is not).
VipsImage* vipsPipeline(Cast cast)
{
    const VipsInputs& in = vipsInputs();
    VipsRef mixed, blurred, shaded;
    VipsImage* out = nullptr;
    if (vips_recomb(in.rgb.get(), mixed.out(), in.saturation.get(), nullptr)
        || vips_gaussblur(mixed.get(), blurred.out(), kBlurSigma, "min_ampl", 0.011, "precision",
            VIPS_PRECISION_FLOAT, nullptr)
        || vips_multiply(blurred.get(), in.vignette.get(), shaded.out(), nullptr)
        || (cast == Cast::Rounded
                ? vips_linear1(shaded.get(), &out, 1.0, 0.5, "uchar", TRUE, nullptr)
                : vips_cast_uchar(shaded.get(), &out, nullptr)))
        vipsFailed("pipeline");
    return out; // holds its inputs
}

// Computes every pixel into a buffer of width * height * 3 bytes (g_free it).
uchar* renderVips(Cast cast)
{
    VipsRef pipeline(vipsPipeline(cast));
    std::size_t size = 0;
    void* pixels = vips_image_write_to_memory(pipeline.get(), &size);
    if (!pixels || size != std::size_t(kWidth) * kHeight * 3)
        vipsFailed("render");
    return static_cast<uchar*>(pixels);
}

QImage renderOurs()
{
    static const FilterImage src = FilterImage::fromQImage(picture());
    static const Layers l = chain(src);
    return FilterRenderer::render(l.bottom, src.extent(), 1.0, RenderPath::Exact);
}

struct Difference {
    double psnr = 0; // dB over the three colour channels, infinite when equal
    int maxError = 0;
    double differing = 0; // the fraction of channel values that differ
};

Difference compare(const QImage& ours, const uchar* theirs)
{
    double squares = 0;
    long long differing = 0;
    int maxError = 0;
    for (int y = 0; y < kHeight; ++y) {
        const QRgb* a = reinterpret_cast<const QRgb*>(ours.constScanLine(y));
        const uchar* b = theirs + std::size_t(y) * kWidth * 3;
        for (int x = 0; x < kWidth; ++x) {
            const int mine[3] = { qRed(a[x]), qGreen(a[x]), qBlue(a[x]) };
            for (int c = 0; c < 3; ++c) {
                const int e = std::abs(mine[c] - b[x * 3 + c]);
                squares += double(e) * e;
                differing += e != 0;
                maxError = std::max(maxError, e);
            }
        }
    }
    const double values = 3.0 * kWidth * kHeight;
    const double mse = squares / values;
    return { mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : INFINITY, maxError,
        double(differing) / values };
}

constexpr int kExportQuality = 90;

QByteArray exportOurs()
{
    static const FilterImage src = FilterImage::fromQImage(picture());
    static const Layers l = chain(src);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSize size(kWidth, kHeight);
    JpegWriter writer(&buffer, size, kExportQuality);
    const bool composed = canvas::composeExportStripes(
        l.bottom, FilterImage(), Size(kWidth, kHeight), size, nullptr,
        [&](const QImage& stripe) { return writer.write(stripe); }, canvas::kExportStripeRows,
        QColor(0x1e, 0x1e, 0x1e));
    return writer.finish() && composed ? bytes : QByteArray();
}

QByteArray exportVips()
{
    VipsRef pipeline(vipsPipeline(Cast::Rounded));
    void* buf = nullptr;
    size_t len = 0;
    const bool halved = JpegWriter::chromaFor(kExportQuality) == JpegWriter::Chroma::Halved;
    if (vips_jpegsave_buffer(pipeline.get(), &buf, &len, "Q", kExportQuality, "subsample_mode",
            halved ? VIPS_FOREIGN_SUBSAMPLE_ON : VIPS_FOREIGN_SUBSAMPLE_OFF, nullptr))
        vipsFailed("jpegsave");
    QByteArray bytes(static_cast<const char*>(buf), qsizetype(len));
    g_free(buf);
    return bytes;
}

void printComparison()
{
    const QImage ours = renderOurs();
    for (const Cast cast : { Cast::Rounded, Cast::Truncated }) {
        uchar* theirs = renderVips(cast);
        const Difference d = compare(ours, theirs);
        g_free(theirs);
        std::printf("psnr_db %s %.2f max_error %d differing %.4f%%\n",
            cast == Cast::Rounded ? "rounded" : "truncated", d.psnr, d.maxError, 100 * d.differing);
    }
    const QByteArray mine = exportOurs(), theirs = exportVips();
    const QImage decoded = QImage::fromData(mine).convertToFormat(QImage::Format_RGB32);
    const QImage peer = QImage::fromData(theirs).convertToFormat(QImage::Format_RGB888);
    if (decoded.size() == QSize(kWidth, kHeight) && peer.size() == decoded.size()) {
        std::vector<uchar> packed(std::size_t(kWidth) * kHeight * 3);
        for (int y = 0; y < kHeight; ++y)
            std::copy_n(
                peer.constScanLine(y), kWidth * 3, packed.data() + std::size_t(y) * kWidth * 3);
        const Difference d = compare(decoded, packed.data());
        std::printf("export_psnr_db %.2f max_error %d ours_bytes %lld vips_bytes %lld\n", d.psnr,
            d.maxError, (long long)mine.size(), (long long)theirs.size());
    } else {
        std::printf("export_psnr_db nan (a file did not decode)\n");
    }
    std::fflush(stdout);
}

void BM_Ours(benchmark::State& state)
{
    ThreadPool::setMaxThreads(kAllThreads);
    for (auto _ : state) {
        QImage out = renderOurs();
        benchmark::DoNotOptimize(out.constBits());
    }
}

void BM_Vips(benchmark::State& state)
{
    const Cast cast = state.range(0) ? Cast::Rounded : Cast::Truncated;
    for (auto _ : state) {
        uchar* out = renderVips(cast);
        benchmark::DoNotOptimize(out);
        g_free(out);
    }
}

void BM_ExportOurs(benchmark::State& state)
{
    ThreadPool::setMaxThreads(kAllThreads);
    for (auto _ : state)
        benchmark::DoNotOptimize(exportOurs().size());
}

void BM_ExportVips(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(exportVips().size());
}

BENCHMARK(BM_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportOurs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExportVips)->Unit(benchmark::kMillisecond)->UseRealTime();
// 1: rounded as ours (the anchor); 0: the plain truncating cast.
BENCHMARK(BM_Vips)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (VIPS_INIT(argv[0]))
        vipsFailed("init");
    vips_cache_set_max(0);
    vips_concurrency_set(kAllThreads);
    ThreadPool::setMaxThreads(kAllThreads);
    benchmark::Initialize(&argc, argv);
    printComparison();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
