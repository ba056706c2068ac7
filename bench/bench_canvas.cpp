// The picture canvas at the size of a large photo: a 6000 x 4000 picture in a 1600 x 1000
// viewport at the best-fit zoom, on all cores.
//
// BM_SliderChange: a saturation change until both picture layers hold their new pixels (the
// main thread asleep meanwhile, as in the application's event loop).
// The export of the same scene and its JPEG encoding beside libvips's: ExportBench.cpp.
#include "EventWait.h"
#include "canvas/CanvasControls.h"
#include "canvas/FakeCanvasWindow.h"
#include "canvas/RenderView.h"

#include <QApplication>
#include <QElapsedTimer>
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

} // namespace

canvas::CanvasControls& benchCanvas()
{
    return scene().canvas;
}

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
