// The picture canvas at the size of a large photo: a 6000 x 4000 picture in a 1600 x 1000
// viewport at the best-fit zoom, on all cores.
//
// BM_SliderChange: a saturation change until both picture layers hold their new pixels (the
// main thread asleep meanwhile, as in the application's event loop).
// BM_ExportJpeg: the export (picture, three text boxes, a painted mask) encoded as JPEG at
// quality 90. BM_EncodeJpeg times our encoding alone of those composed pixels, and
// BM_VipsJpegsave libvips's jpegsave of the very same pixels from memory at Q 90; the "vips
// ratio" counter of BM_EncodeJpeg is ours / libvips's, the two run in the same iterations.
#include "EventWait.h"
#include "PairedTiming.h"
#include "canvas/CanvasControls.h"
#include "canvas/FakeCanvasWindow.h"
#include "canvas/RenderView.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

#ifdef QUILLMARK_HAVE_VIPS
#include <vips/vips.h>
#endif

using namespace canvas;
using platform::FilterImage;

namespace {

constexpr int kW = 6000, kH = 4000;

QImage photo()
{
    QImage img(kW, kH, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kH; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < kW; ++x)
            row[x] = qRgb(int(127 + 120 * std::sin(x * 0.003 + y * 0.001)), (x ^ y) & 255,
                int(127 + 120 * std::cos(y * 0.004)));
    }
    return img;
}

// One canvas for every benchmark: loading a 24-megapixel picture is not what is timed.
struct Scene {
    canvastest::FakeCanvasWindow window;
    CanvasControls canvas;

    Scene()
    {
        window.viewport = { 1600, 1000 };
        canvas.setCanvasWindow(&window);
        canvas.loadImage(platform::Image::fromQImage(photo()));
        canvas.setCustomDrawingZoomScale(0);
        canvas.setBlurStrength(8);
        canvas.setVignetteIntensity(1);
        for (int i = 0; i < 3; ++i)
            canvas.newTextBox(&window.delegate);
        // The brush's mask as the paint view hands it over: 512 pixels on the longer side,
        // scaled up to the working size.
        const double maskScale = 512.0 / kW;
        QImage mask(512, int(std::ceil(kH * maskScale)), QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        QPainter(&mask).fillRect(QRect(0, 0, mask.width() / 3, mask.height()), Qt::white);
        canvas.setPrerenderedMask(
            FilterImage::fromQImage(mask).transformed(
                platform::AffineTransform::makeScale(1 / maskScale, 1 / maskScale)),
            platform::Rect::null());
        waitForLayers(0);
    }

    qint64 layersKey() const
    {
        return canvas.backgroundView()->renderedPixels().cacheKey()
            ^ (canvas.renderView()->renderedPixels().cacheKey() << 1);
    }
    // Until both layers were replaced since key (or 20 s), asleep while the render runs.
    void waitForLayers(qint64 key)
    {
        waitForEvents([&] { return layersKey() != key; }, 20000);
    }
};

// Made on first use and gone before the application object.
std::unique_ptr<Scene> gScene;

Scene& scene()
{
    if (!gScene)
        gScene = std::make_unique<Scene>();
    return *gScene;
}

QByteArray encodeJpeg(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.write(image);
    return bytes;
}

void BM_SliderChange(benchmark::State& state)
{
    Scene& s = scene();
    int step = 0;
    for (auto _ : state) {
        const qint64 key = s.layersKey();
        s.canvas.setSaturation(0.5 + 0.01 * (++step % 50));
        s.waitForLayers(key);
    }
}
BENCHMARK(BM_SliderChange)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportJpeg(benchmark::State& state)
{
    Scene& s = scene();
    for (auto _ : state) {
        const QImage out = s.canvas.outputImage();
        benchmark::DoNotOptimize(encodeJpeg(out).size());
    }
}
BENCHMARK(BM_ExportJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// The composed pixels, made once, as the two encoders get them.
const QImage& composed()
{
    static const QImage image = scene().canvas.outputImage().convertToFormat(QImage::Format_RGB888);
    return image;
}

#ifdef QUILLMARK_HAVE_VIPS
// libvips's jpegsave of image (RGB888, rows unpadded) at Q 90; false when it failed.
bool vipsJpegsave(const QImage& image)
{
    VipsImage* in = vips_image_new_from_memory(image.constBits(), size_t(image.sizeInBytes()),
        image.width(), image.height(), 3, VIPS_FORMAT_UCHAR);
    if (!in)
        return false;
    void* buf = nullptr;
    size_t len = 0;
    const bool ok = vips_jpegsave_buffer(in, &buf, &len, "Q", 90, nullptr) == 0;
    benchmark::DoNotOptimize(len);
    g_free(buf);
    g_object_unref(in);
    return ok;
}

void BM_VipsJpegsave(benchmark::State& state)
{
    const QImage& image = composed();
    if (image.bytesPerLine() != image.width() * 3) {
        state.SkipWithError("rows are padded");
        return;
    }
    for (auto _ : state) {
        if (!vipsJpegsave(image))
            state.SkipWithError(vips_error_buffer());
    }
}
BENCHMARK(BM_VipsJpegsave)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

void BM_EncodeJpeg(benchmark::State& state)
{
    const QImage& image = composed();
    PairedTiming timing;
    for (auto _ : state) {
        timing.iteration(
            state, [&] { benchmark::DoNotOptimize(encodeJpeg(image).size()); },
            [&] {
#ifdef QUILLMARK_HAVE_VIPS
                if (image.bytesPerLine() == image.width() * 3 && !vipsJpegsave(image))
                    state.SkipWithError(vips_error_buffer());
#endif
            });
    }
#ifdef QUILLMARK_HAVE_VIPS
    timing.report(state, "vips ratio", "vips ms");
#endif
}
BENCHMARK(BM_EncodeJpeg)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#ifdef QUILLMARK_HAVE_VIPS
    if (VIPS_INIT(argv[0]))
        return 1;
    vips_cache_set_max(0);
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gScene.reset();
    return 0;
}
