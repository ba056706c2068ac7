// A text box under an editor's load: a 200-character, three-line text at 100 points with a
// gradient fill, a stroke and an inner shadow, laid out and drawn from scratch every time (as a
// redraw after a change of text does), and drawn again over an unchanged layout.
#include "boxes/GlyphDrawing.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/text/TextAttributeNames.h"

#include <QApplication>
#include <benchmark/benchmark.h>

using namespace platform;
using platform::GraphicsContext;

namespace {

QString text200()
{
    // Three paragraphs, 200 characters in all.
    const QString line = QStringLiteral("Quick brown foxes jump over lazy dogs at dawn. ");
    QString s;
    for (int i = 0; s.size() < 200; ++i)
        s += line.at(i % line.size());
    s[66] = u'\n';
    s[133] = u'\n';
    return s.left(200);
}

std::unique_ptr<MyTextView> makeBox()
{
    gDefaultFontSize = 100.0;
    auto box = std::make_unique<MyTextView>(Rect(0, 0, 3600, 400));
    AttributeDictionary a = MyTextBox::defaultAttributes();
    SZGradient fill;
    fill.gradientType = SZGradient::LinearFill;
    fill.gradient = Gradient(Color(0.9, 0.2, 0.1), Color(0.1, 0.3, 0.9));
    fill.angle = 90.0;
    a[TextAttributeNames::gradient] = SZGradient::attributeValue(fill);
    box->txtBox()->editor().setText(AttributedString(text200(), a));
    box->setStrokeSize(3);
    SZGradient stroke;
    stroke.color = Color(1, 1, 1);
    box->setStrokeColor(stroke);
    box->setInnerShadowColor(Color(0, 0, 0, 0.75));
    box->setInnerShadowOffsetSize(4);
    box->setInnerShadowBlurSize(6);
    box->setInnerShadowAngle(90);
    box->RecalcFrame();
    return box;
}

void BM_TextBoxRedraw(benchmark::State& state)
{
    const bool relayout = state.range(0) != 0;
    auto box = makeBox();
    const Rect bounds = box->bounds();
    const auto& layout = box->txtBox()->editor().layout();
    if (layout.lineFragments().size() != 3)
        state.SkipWithError("the text does not lay out in three lines");
    for (auto _ : state) {
        if (relayout)
            box->txtBox()->editor().layout().invalidate();
        const Image image = renderToImage(*box, bounds, 1.0);
        benchmark::DoNotOptimize(image.toQImage().constBits());
    }
    state.SetLabel(relayout ? "layout and draw" : "draw only");
}
BENCHMARK(BM_TextBoxRedraw)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The parts of one draw: fills alone, fills and stroke, fills and inner shadow.
void BM_GlyphDrawingParts(benchmark::State& state)
{
    const int part = int(state.range(0));
    auto box = makeBox();
    const MyTextBox& t = *box->txtBox();
    const auto outlines = GlyphDrawing::characterOutlines(
        t.editor().layout(), t.containerToViewTransform(), TextLayout::defaultFont());
    GlyphDrawing::Style style = GlyphDrawing::Style::of(*box);
    if (part != 1)
        style.strokeSize = 0;
    if (part != 2)
        style.innerShadowOffsetSize = 0;
    QImage target(int(box->bounds().width()), int(box->bounds().height()),
        QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        target.fill(Qt::transparent);
        GraphicsContext ctx(target);
        GlyphDrawing::draw(ctx, outlines, box->bounds(), style);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetLabel(part == 0 ? "fills" : part == 1 ? "fills and stroke" : "fills and inner shadow");
}
BENCHMARK(BM_GlyphDrawingParts)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
