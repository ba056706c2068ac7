// Text boxes under an editor's load.
//  - A 200-character, three-line text at 100 points with a gradient fill, a stroke and an
//    inner shadow, laid out and drawn from scratch every time (as a redraw after a change of
//    text does), and drawn again over an unchanged layout. Beside it, in the same iterations,
//    librsvg draws the same picture from SVG (the same glyph positions, font, size, gradient,
//    stroke and inner shadow), with ours on all cores, 2 threads and 1 (librsvg uses one); the
//    PSNR of the two pictures says how far they are the same.
//  - Long texts (1k, 10k, 100k characters of prose): a box's first paint beside QTextDocument
//    laying out the same text at the same width (and, for the whole first paint's work, also
//    painting what the box shows), in the same run; our layout alone; one character typed in a
//    10k-character box up to its repaint.
#ifdef QUILLMARK_HAVE_RSVG
// Before any Qt header.
#include "SvgPeer.h"
#endif

#include "BenchMain.h"
#include "PairedTiming.h"
#include "PicturePsnr.h"
#include "SvgInnerShadow.h"
#include "boxes/DocumentWindowRef.h"
#include "boxes/GlyphDrawing.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/text/GlyphCoverageCache.h"
#include "platform/text/TextAttributeNames.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTextDocument>
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
    state.counters["glyph_cache_KB"]
        = double(platform::GlyphCoverageCache::shared().bytes()) / 1024.0;
}
BENCHMARK(BM_TextBoxRedraw)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

#ifdef QUILLMARK_HAVE_RSVG
// The box's picture as SVG: every character placed where our layout puts its glyph, in the
// face that shaped it; the fill's gradient from top to bottom of the box (its angle of 90
// degrees), the white 3-px stroke over it, then the inner shadow as the box casts it: blur 6
// (sigma 3), moved 4 px up (its angle of 90 degrees), black at 0.75.
std::string textSvg(const MyTextView& box)
{
    const MyTextBox& t = *box.txtBox();
    const platform::TextLayout& layout = t.editor().layout();
    const QString& text = layout.text().string();
    const AffineTransform toBox = t.containerToViewTransform();
    const double height = box.bounds().height();
    QString lines;
    QString family;
    int line = -1;
    auto escaped = [](QChar c) {
        return c == u'&' ? QStringLiteral("&amp;")
            : c == u'<'  ? QStringLiteral("&lt;")
                         : QString(c);
    };
    // One span per character: librsvg takes only the first of a list of x positions.
    QString spans;
    double baseline = 0;
    auto flush = [&] {
        if (!spans.isEmpty())
            lines += QStringLiteral("<text y='%1'>%2</text>").arg(baseline).arg(spans);
        spans.clear();
    };
    for (const platform::LaidOutGlyph& g : layout.glyphs()) {
        const QChar c = text.at(g.characterIndex);
        if (c == u'\n' || c == QChar::ParagraphSeparator)
            continue;
        const Point p = box.convertPointFromView(toBox.map(g.position), &t);
        if (g.lineIndex != line) {
            flush();
            line = g.lineIndex;
            baseline = height - p.y;
        }
        family = g.font.familyName();
        spans += QStringLiteral("<tspan x='%1'>%2</tspan>").arg(p.x, 0, 'f', 3).arg(escaped(c));
    }
    flush();
    const QString svg
        = QStringLiteral(
            "<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2'><defs>"
            "<linearGradient id='fill' gradientUnits='userSpaceOnUse' x1='0' y1='0' x2='0' y2='%2'>"
            "<stop offset='0' stop-color='#e6331a'/><stop offset='1' stop-color='#1a4de6'/>"
            "</linearGradient>"
            "%5</defs>"
            "<g font-family='%3' font-size='100' xml:space='preserve' "
            "text-rendering='geometricPrecision'>"
            "<g fill='url(#fill)' stroke='white' stroke-width='3' stroke-linejoin='bevel'>%4</g>"
            "<g fill='black' filter='url(#inner)'>%4</g></g></svg>")
              .arg(box.bounds().width())
              .arg(height)
              .arg(family, lines,
                  QString::fromStdString(svgInnerShadowFilter("inner", 0, -4, 3, 0.75)));
    return svg.toStdString();
}

// Our redraw (layout and draw) and librsvg's drawing of the same picture in the same
// iterations, ours on range(0) threads (0: all).
void BM_TextBoxRedrawBesideLibrsvg(benchmark::State& state)
{
    const int before = ThreadPool::maxThreads();
    if (state.range(0) > 0)
        ThreadPool::setMaxThreads(int(state.range(0)));
    auto box = makeBox();
    const Rect bounds = box->bounds();
    const std::string doc = textSvg(*box);
    if (const QString folder = qEnvironmentVariable("QUILLMARK_BENCH_PICTURES");
        !folder.isEmpty()) {
        QFile file(folder + "/peer-text.svg");
        if (file.open(QIODevice::WriteOnly))
            file.write(doc.data(), qint64(doc.size()));
    }
    SvgPeer peer(doc, int(bounds.width()), int(bounds.height()));
    if (!peer.isValid()) {
        state.SkipWithError(peer.error().c_str());
        ThreadPool::setMaxThreads(before);
        return;
    }
    auto drawSvg = [&] {
        if (!peer.render())
            state.SkipWithError("librsvg failed to render");
    };
    QImage ours;
    auto drawOurs = [&] {
        box->txtBox()->editor().layout().invalidate();
        ours = renderToImage(*box, bounds, 1.0).toQImage();
    };
    PairedTiming timing;
    for (auto _ : state)
        timing.iteration(state, drawOurs, drawSvg);
    timing.report(state, "librsvg ratio", "librsvg ms");
    state.counters["PSNR dB"] = picturePsnr(ours, peer.picture(), "text");
    ThreadPool::setMaxThreads(before);
    state.SetLabel(state.range(0) > 1 ? std::to_string(state.range(0)) + " threads"
            : state.range(0) == 1     ? "1 thread"
                                      : "all cores");
}
BENCHMARK(BM_TextBoxRedrawBesideLibrsvg)
    ->Arg(0)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
#endif

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

// ---- long text

// Prose of n characters in paragraphs of about 600, as a pasted article gives.
QString prose(int n)
{
    const QString words = QStringLiteral(
        "Morning light fell across the harbour while the fishing boats came home, their hulls "
        "heavy with the night's catch and their crews singing old songs of the northern coast. ");
    QString s;
    s.reserve(n);
    for (int i = 0; s.size() < n; ++i) {
        s += words.at(i % words.size());
        if (s.size() % 600 == 599)
            s += u'\n';
    }
    return s.left(n);
}

// The window a box grows in: the canvas of a 5120 x 2880 photo.
class PhotoWindow : public DocumentWindowRef {
public:
    std::optional<Size> workingImageSize() const override { return Size(5120, 2880); }
};

constexpr double kLongTextWidth = 3600;
// The canvas fitted to a window about 1600 pixels wide.
constexpr double kFitScale = 0.3;

// The long text sizes, in characters.
void longTexts(benchmark::internal::Benchmark* b)
{
    for (const int n : { 1000, 6250, 10000, 25000, 100000 })
        b->Arg(n);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// A box of the long text's width holding text, grown to the photo's height.
std::unique_ptr<MyTextView> longTextBox(PhotoWindow& window, const AttributedString& text)
{
    auto box = std::make_unique<MyTextView>(Rect(0, 0, kLongTextWidth, 400));
    box->setMyDocumentWindow(&window);
    box->txtBox()->editor().setText(text);
    box->RecalcFrame();
    return box;
}

// A box made with text, grown and drawn at the fitted zoom.
void firstPaint(PhotoWindow& window, const AttributedString& text)
{
    const auto box = longTextBox(window, text);
    const Image image = renderToImage(*box, box->bounds(), kFitScale);
    benchmark::DoNotOptimize(image.toQImage().constBits());
}

// Opening a document with one long text box, up to its first paint at the fitted zoom: the
// box is made, takes its text, grows to the photo's height, and is drawn.
// (Cold: the glyph cache emptied before each paint, as for a session's first.)
void longTextFirstPaint(benchmark::State& state, bool cold)
{
    const int n = int(state.range(0));
    gDefaultFontSize = 100.0;
    const AttributedString text(prose(n), MyTextBox::defaultAttributes());
    PhotoWindow window;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            platform::GlyphCoverageCache::shared().clear();
            state.ResumeTiming();
        }
        firstPaint(window, text);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
void BM_LongTextFirstPaint(benchmark::State& state)
{
    longTextFirstPaint(state, false);
}
BENCHMARK(BM_LongTextFirstPaint)->Apply(longTexts);
void BM_LongTextFirstPaintColdGlyphs(benchmark::State& state)
{
    longTextFirstPaint(state, true);
}
BENCHMARK(BM_LongTextFirstPaintColdGlyphs)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One character typed in the middle of a 10k-character box being edited, up to the repaint
// of the box at the fitted zoom (the character is taken out again between runs, untimed).
void BM_TypeCharIn10k(benchmark::State& state)
{
    gDefaultFontSize = 100.0;
    PhotoWindow window;
    const auto box
        = longTextBox(window, AttributedString(prose(10000), MyTextBox::defaultAttributes()));
    box->setEditable(true);
    box->setIsEditing(true);
    MyTextBox& text = *box->txtBox();
    text.editor().setSelectedRange(TextRange(5000, 0));
    benchmark::DoNotOptimize(renderToImage(*box, box->bounds(), kFitScale).toQImage().constBits());
    for (auto _ : state) {
        text.insertText(QStringLiteral("a"));
        const Image image = renderToImage(*box, box->bounds(), kFitScale);
        benchmark::DoNotOptimize(image.toQImage().constBits());
        state.PauseTiming();
        text.editor().deleteBackward();
        state.ResumeTiming();
    }
    if (text.text().length() != 10000)
        state.SkipWithError("the typed character was not taken out again");
}
BENCHMARK(BM_TypeCharIn10k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The layout alone: the box's text laid out at the box's width, every line and the used
// rectangle (what the first paint needs before it draws).
void BM_LongTextLayout(benchmark::State& state)
{
    const int n = int(state.range(0));
    gDefaultFontSize = 100.0;
    const AttributedString text(prose(n), MyTextBox::defaultAttributes());
    for (auto _ : state) {
        TextLayout layout(
            std::make_shared<TextContainer>(Size(kLongTextWidth, TextContainer::unlimited)));
        layout.setDefaultAttributes(MyTextBox::defaultAttributes());
        layout.setText(text);
        benchmark::DoNotOptimize(layout.usedRect());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_LongTextLayout)->Apply(longTexts);

// The peer: QTextDocument laying out the same text in the same font at the same width (the
// box's width less the line fragment padding on both sides). With paint, it also does the
// rest of a first paint's work: the middle of the text, as tall as the box (the photo's
// height), painted at the fitted zoom.
template <bool paint> void qtextDocumentLayout(const QString& text, const QFont& font)
{
    QTextDocument document;
    document.setDocumentMargin(0);
    document.setDefaultFont(font);
    document.setTextWidth(kLongTextWidth - 10);
    document.setPlainText(text);
    const QSizeF size = document.documentLayout()->documentSize();
    benchmark::DoNotOptimize(size);
    if constexpr (paint) {
        const double height = std::min(size.height(), 2880.0);
        const double top = (size.height() - height) / 2;
        QImage image(int(std::ceil(kLongTextWidth * kFitScale)), int(std::ceil(height * kFitScale)),
            QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(kFitScale, kFitScale);
        painter.translate(0, -top);
        document.drawContents(&painter, QRectF(0, top, kLongTextWidth, height));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
template <bool paint> void BM_LongTextQTextDocument(benchmark::State& state)
{
    const int n = int(state.range(0));
    const QString text = prose(n);
    const QFont font
        = MyTextBox::defaultAttributes().at(TextAttributeNames::font).font()->toQFont();
    for (auto _ : state)
        qtextDocumentLayout<paint>(text, font);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_LongTextQTextDocument<false>)->Name("BM_LongTextQTextDocument")->Apply(longTexts);
BENCHMARK(BM_LongTextQTextDocument<true>)->Name("BM_LongTextQTextDocumentPaint")->Apply(longTexts);

// Our first paint and QTextDocument's layout and paint of the same text in the same
// iterations: the ratio holds on a machine whose load comes and goes.
void BM_LongTextFirstPaintBesideQTextDocument(benchmark::State& state)
{
    const int n = int(state.range(0));
    gDefaultFontSize = 100.0;
    const AttributedString text(prose(n), MyTextBox::defaultAttributes());
    const QFont font
        = MyTextBox::defaultAttributes().at(TextAttributeNames::font).font()->toQFont();
    PhotoWindow window;
    PairedTiming timing;
    for (auto _ : state)
        timing.iteration(
            state, [&] { firstPaint(window, text); },
            [&] { qtextDocumentLayout<true>(text.string(), font); });
    timing.report(state, "QTextDocument ratio", "QTextDocument ms");
}
BENCHMARK(BM_LongTextFirstPaintBesideQTextDocument)
    ->Arg(6250)
    ->Arg(25000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

MedianReporter reporter;

// Our first paint of each long text beside QTextDocument's layout and paint of it, same run.
void printLongTextRatios()
{
    for (const int n : { 1000, 6250, 10000, 25000, 100000 }) {
        const double ours = reporter.find("BM_LongTextFirstPaint/" + std::to_string(n));
        const double peer = reporter.find("BM_LongTextQTextDocumentPaint/" + std::to_string(n));
        if (ours > 0 && peer > 0)
            std::printf("long text first paint, %6d characters: ours %.2f ms, QTextDocument "
                        "%.2f ms, ratio %.2f\n",
                n, ours, peer, ours / peer);
    }
}

int main(int argc, char** argv)
{
    return runBenchmarks<QApplication>(argc, argv, &reporter, printLongTextRatios);
}
