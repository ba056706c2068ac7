// The sidebar controls on the window-open and repaint paths: one effect slider repainted with
// its four previews at device pixel ratio 2, the previews of the window's eleven sliders made
// from a 200-pixel thumbnail, and the fill editor with 1000 stops. No public tool does this
// work, so the figures stand against absolute budgets (1 ms a repaint, 40 ms for all 44
// previews, 3 ms for the fill editor).
#include "BenchMain.h"
#include "foundation/ImageAdditions.h"
#include "platform/graphics/GraphicsContext.h"
#include "window/FillStopEditing.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

using namespace platform;

namespace {

// A 200 x 133 thumbnail with colour and detail in it, so blurs and saturation have work.
Image thumbnail()
{
    QImage img(200, 133, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb((x * 255) / 200, (y * 255) / 133, ((x ^ y) & 16) ? 200 : 40));
    return Image::fromQImage(img);
}

// A new picture of the source's size drawn by fn.
template <class Fn> Image drawn(const Image& source, Fn fn)
{
    const Size s = source.size();
    QImage img(int(s.width), int(s.height), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        GraphicsContext ctx(img);
        fn(ctx, s);
    }
    return Image::fromQImage(img);
}

using Block = ImageEffectIntensitySlider::PreviewBlock;

Block filterBlock(const char* filter, const char* key, double scale)
{
    return [=](const Image& src, int, float v) {
        return previewImageForCIFilter(src, QString::fromLatin1(filter), Size(100, 100),
            { { QString::fromLatin1(key), FilterValue(double(scale * v)) } });
    };
}

Block circleBlock(double diameterOfHeight, bool shadowed, bool alphaFromValue)
{
    return [=](const Image& src, int, float v) {
        return drawn(src, [&](GraphicsContext& ctx, Size s) {
            ctx.drawImage(src, Rect(0, 0, s.width, s.height));
            const double d = s.height * (alphaFromValue ? diameterOfHeight : (0.5 * v + 0.2));
            if (shadowed)
                ctx.setShadow(Shadow { Size(0, 0), 5, Color::black() });
            ctx.setFillColor(Color(1, 1, 1, alphaFromValue ? v : 1.0));
            ctx.fillPath(BezierPath::oval(Rect((s.width - d) / 2, (s.height - d) / 2, d, d)));
        });
    };
}

Block transformBlock(double scalePerValue, double degreesPerValue)
{
    return [=](const Image& src, int, float v) {
        return drawn(src, [&](GraphicsContext& ctx, Size s) {
            ctx.translateCTM(s.width / 2, s.height / 2);
            ctx.rotateCTM(degreesPerValue * v * 3.141592653589793 / 180);
            ctx.scaleCTM(1 + scalePerValue * v, 1 + scalePerValue * v);
            ctx.drawImage(src, Rect(-s.width / 2, -s.height / 2, s.width, s.height));
        });
    };
}

// The blocks of the window's eleven sliders, in the window's order.
std::vector<Block> elevenBlocks()
{
    return {
        circleBlock(0, true, false), // brush size
        circleBlock(0.5, false, true), // brush hardness (a soft dab stands in for its pictures)
        circleBlock(0.7, false, true), // brush opacity
        filterBlock("CIGaussianBlur", "inputRadius", 5), // aperture
        filterBlock("CIVignette", "inputIntensity", 10), // vignette
        filterBlock("CIColorControls", "inputSaturation", 2), // saturation
        filterBlock("CIColorControls", "inputSaturation", 2), // picture-box saturation
        transformBlock(1, 10), // zoom and straighten
        transformBlock(1, 0), // zoom
        [](const Image& src, int, float v) { // box opacity
            return drawn(src, [&](GraphicsContext& ctx, Size s) {
                ctx.drawImage(src, Rect(0, 0, s.width, s.height), Rect::null(),
                    CompositingOperation::SourceOver, v);
            });
        },
        transformBlock(0, 360), // box angle
    };
}

void BM_ElevenSliderPreviews(benchmark::State& state)
{
    const Image thumb = thumbnail();
    std::vector<std::unique_ptr<ImageEffectIntensitySlider>> sliders;
    for (Block& block : elevenBlocks()) {
        auto s = std::make_unique<ImageEffectIntensitySlider>();
        s->resize(269, 60);
        s->setGeneratePreviewImageBlock(std::move(block));
        sliders.push_back(std::move(s));
    }
    for (auto _ : state) {
        for (auto& s : sliders)
            s->setImage(thumb);
        benchmark::DoNotOptimize(sliders.back()->cachedPreviewImages()[3]);
    }
    state.counters["previews"] = 44;
}
BENCHMARK(BM_ElevenSliderPreviews)->Unit(benchmark::kMillisecond)->UseRealTime();

// Repaints control as its widget's backing store would at device pixel ratio 2: a fresh
// context over a reused buffer.
void repaintAtRatio2(benchmark::State& state, Control& control)
{
    QImage target(control.width() * 2, control.height() * 2, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        target.fill(Qt::transparent);
        GraphicsContext ctx(target, 2.0);
        control.drawInto(ctx);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_EffectSliderRepaintDpr2(benchmark::State& state)
{
    ImageEffectIntensitySlider slider;
    slider.resize(269, 60);
    slider.setTitle(QStringLiteral("Saturation"));
    slider.setMaxValue(2);
    slider.setForceValue(0.5);
    slider.setGeneratePreviewImageBlock(filterBlock("CIColorControls", "inputSaturation", 2));
    slider.setImage(thumbnail());
    repaintAtRatio2(state, slider);
}
BENCHMARK(BM_EffectSliderRepaintDpr2)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A multi-stop fill with the most stops a gradient keeps (fill editor budget: 3 ms).
SZGradient manyStopFill(int n)
{
    std::vector<GradientStop> stops;
    for (int i = 0; i < n; ++i)
        stops.push_back({ Color(double(i % 7) / 6, double(i % 5) / 4, double(i % 3) / 2, 1),
            double(i) / (n - 1) });
    SZGradient fill;
    fill.gradientType = SZGradient::AdvancedLinearFill;
    fill.gradient = Gradient(std::move(stops));
    return fill;
}

// A sidebar-wide fill editor showing its bar and 1000 stop markers, repainted at ratio 2.
void BM_FillEditorRepaint1000Stops(benchmark::State& state)
{
    GradientCtrl editor;
    editor.resize(269, 60);
    editor.initControls();
    editor.setGradient(manyStopFill(Gradient::kMaxStops));
    repaintAtRatio2(state, editor);
}
BENCHMARK(BM_FillEditorRepaint1000Stops)->Unit(benchmark::kMillisecond)->UseRealTime();

// The click that adds the 1000th stop: its blended colour and the rebuilt list.
void BM_FillEditorAddStopTo999(benchmark::State& state)
{
    const std::vector<GradientStop> base = manyStopFill(Gradient::kMaxStops - 1).gradient->stops();
    for (auto _ : state) {
        std::vector<GradientStop> stops = base;
        benchmark::DoNotOptimize(fillstops::addStop(stops, 0.5003));
    }
}
BENCHMARK(BM_FillEditorAddStopTo999)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QApplication>(argc, argv);
}
