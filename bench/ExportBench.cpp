// The whole export of the canvas scene of bench_canvas.cpp (a 6000 x 4000 picture, three
// text boxes, a painted mask), and its JPEG encoding beside libvips's.
//
// BM_ExportJpeg/<quality>: the composition streamed stripe by stripe into our JPEG writer and
// a file, as the export does. Counter "bytes/px": the memory the export added at its peak
// (VmHWM during it less VmRSS before it), per pixel of the output, the worst iteration.
// BM_ExportJpegWhole/<quality>: the composition made whole, then Qt's JPEG writer into memory
// and the file (how the export worked before), with the same counter.
// BM_EncodeJpeg/<quality>: our writer and libvips's jpegsave of the same composed pixels, in
// the format the export hands them over (premultiplied ARGB32 stripes, opaque; libvips picks
// R, G and B out of them itself), at the same quality and the same chroma subsampling, timed
// in turn within each iteration so that the ratio does not depend on the benchmarks' order.
// Counters: libvips's time, ours / libvips, and both files' sizes and PSNR against the
// composed pixels.
#include "canvas/CanvasControls.h"
#include "platform/imaging/JpegWriter.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <array>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>

#ifdef QUILLMARK_HAVE_VIPS
#include <vips/vips.h>
#endif

// The scene of bench_canvas.cpp.
canvas::CanvasControls& benchCanvas();

namespace {

// A line of /proc/self/status in kB (0 where there is none).
long statusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    }
    return 0;
}

// Starts a new peak: VmHWM falls back to the present VmRSS.
void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Measures the peak memory an iteration adds, outside the timing.
class PeakMemory {
public:
    explicit PeakMemory(benchmark::State& state)
        : m_state(state)
    {
    }
    void start()
    {
        m_state.PauseTiming();
        // Freed memory the allocator still holds would count as there before the export
        // and hide what it uses.
        malloc_trim(0);
        resetPeakMemory();
        m_before = statusKb("VmRSS");
        m_state.ResumeTiming();
    }
    void stop()
    {
        m_state.PauseTiming();
        m_worst = std::max(m_worst, statusKb("VmHWM") - m_before);
        m_state.ResumeTiming();
    }
    double bytesPerPixel(QSize size) const
    {
        return m_worst * 1024.0 / (double(size.width()) * size.height());
    }

private:
    benchmark::State& m_state;
    long m_before = 0;
    long m_worst = 0;
};

QSize exportSize()
{
    const platform::Size s = benchCanvas().targetImagePixelSize();
    return { int(s.width), int(s.height) };
}

void BM_ExportJpeg(benchmark::State& state)
{
    canvas::CanvasControls& canvas = benchCanvas();
    const QSize size = exportSize();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.jpg"));
    PeakMemory memory(state);
    for (auto _ : state) {
        memory.start();
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        platform::JpegWriter writer(&file, size, int(state.range(0)));
        const bool composed = canvas.outputStripesForSize(canvas.targetImagePixelSize(),
            [&](const QImage& stripe) { return writer.write(stripe); });
        if (!writer.finish() || !composed)
            state.SkipWithError("the export failed");
        file.close();
        memory.stop();
    }
    state.counters["bytes/px"] = memory.bytesPerPixel(size);
}
BENCHMARK(BM_ExportJpeg)->Arg(90)->Arg(80)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportJpegWhole(benchmark::State& state)
{
    canvas::CanvasControls& canvas = benchCanvas();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.jpg"));
    PeakMemory memory(state);
    for (auto _ : state) {
        memory.start();
        QByteArray bytes;
        {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setQuality(int(state.range(0)));
            writer.write(canvas.outputImage().convertToFormat(QImage::Format_RGB32));
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            state.SkipWithError("the export failed");
        file.close();
        memory.stop();
    }
    state.counters["bytes/px"] = memory.bytesPerPixel(exportSize());
}
BENCHMARK(BM_ExportJpegWhole)->Arg(90)->Arg(80)->Unit(benchmark::kMillisecond)->UseRealTime();

// The composed pixels, made once, as the export hands them to the encoder.
const QImage& composed()
{
    static const QImage image = benchCanvas().outputImage();
    return image;
}

// PSNR in dB of a decoded file against the composed pixels, over R, G and B.
double psnr(const QByteArray& file)
{
    const QImage& original = composed();
    const QImage decoded = QImage::fromData(file).convertToFormat(QImage::Format_RGB32);
    if (decoded.size() != original.size())
        return 0;
    double squares = 0;
    for (int y = 0; y < original.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(original.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(decoded.constScanLine(y));
        for (int x = 0; x < original.width(); ++x) {
            const int d[3] = { qRed(a[x]) - qRed(b[x]), qGreen(a[x]) - qGreen(b[x]),
                qBlue(a[x]) - qBlue(b[x]) };
            squares += double(d[0]) * d[0] + double(d[1]) * d[1] + double(d[2]) * d[2];
        }
    }
    const double mse = squares / (3.0 * original.width() * original.height());
    return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : INFINITY;
}

QByteArray encodeOurs(int quality)
{
    return platform::JpegWriter::encode(composed(), quality);
}

#ifdef QUILLMARK_HAVE_VIPS
// libvips's jpegsave of the composed pixels: B, G, R, A bytes in, R, G, B picked out, the
// chroma subsampled exactly where ours is.
QByteArray encodeVips(int quality)
{
    const QImage& image = composed();
    VipsImage* in = vips_image_new_from_memory(image.constBits(), size_t(image.sizeInBytes()),
        image.width(), image.height(), 4, VIPS_FORMAT_UCHAR);
    VipsImage* r = nullptr;
    VipsImage* g = nullptr;
    VipsImage* b = nullptr;
    VipsImage* rgb = nullptr;
    void* buf = nullptr;
    size_t len = 0;
    QByteArray bytes;
    const bool halved
        = platform::JpegWriter::chromaFor(quality) == platform::JpegWriter::Chroma::Halved;
    if (in && !vips_extract_band(in, &r, 2, nullptr) && !vips_extract_band(in, &g, 1, nullptr)
        && !vips_extract_band(in, &b, 0, nullptr)
        && !vips_bandjoin(std::array { r, g, b }.data(), &rgb, 3, nullptr)) {
        rgb->Type = VIPS_INTERPRETATION_sRGB;
        if (!vips_jpegsave_buffer(rgb, &buf, &len, "Q", quality, "subsample_mode",
                halved ? VIPS_FOREIGN_SUBSAMPLE_ON : VIPS_FOREIGN_SUBSAMPLE_OFF, nullptr))
            bytes = QByteArray(static_cast<const char*>(buf), qsizetype(len));
    }
    g_free(buf);
    for (VipsImage* p : { in, r, g, b, rgb })
        if (p)
            g_object_unref(p);
    return bytes;
}
#endif

void BM_EncodeJpeg(benchmark::State& state)
{
    const int quality = int(state.range(0));
    composed();
    double ours = 0, theirs = 0;
    QByteArray mine, peer;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        mine = encodeOurs(quality);
        ours += t.nsecsElapsed() * 1e-9;
#ifdef QUILLMARK_HAVE_VIPS
        state.PauseTiming();
        t.restart();
        peer = encodeVips(quality);
        theirs += t.nsecsElapsed() * 1e-9;
        state.ResumeTiming();
#endif
    }
    const double n = double(state.iterations());
    state.counters["size MB"] = mine.size() / 1e6;
    state.counters["PSNR dB"] = psnr(mine);
    if (!peer.isEmpty()) {
        state.counters["vips ms"] = theirs / n * 1e3;
        state.counters["vips ratio"] = ours / theirs;
        state.counters["vips size MB"] = peer.size() / 1e6;
        state.counters["vips PSNR dB"] = psnr(peer);
    }
}
BENCHMARK(BM_EncodeJpeg)->Arg(90)->Arg(80)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
