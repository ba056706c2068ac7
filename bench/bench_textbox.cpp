// Text boxes under an editor's load.
//  - A 200-character, three-line text at 100 points with a gradient fill, a stroke and an
//    inner shadow, laid out and drawn from scratch every time (as a redraw after a change of
//    text does), and drawn again over an unchanged layout.
//    It runs at 8 and at 2 threads, beside librsvg drawing the same text (each glyph at our
//    position, the same gradient, stroke and inner shadow) when it is there; the ratio of the
//    medians and the PSNR of the two pictures are printed at the end.
//  - Long texts (1k, 10k, 100k characters of prose, and 6.25k, 25k, 100k for growth): a box's
//    first paint beside QTextDocument laying out the same text at the same width (and, for the
//    whole first paint's work, also painting what the box shows), in the same run; our layout
//    alone; one character typed in a 10k-character box up to its repaint. The glyph cache is
//    warm after the first iteration, as it is for every paint after a session's first.
#ifdef QUILLMARK_HAVE_RSVG
// Before any Qt header: glib's headers use names that Qt defines as macros.
#include <librsvg/rsvg.h>
#endif

#include "BenchMain.h"
#include "boxes/DocumentWindowRef.h"
#include "boxes/GlyphDrawing.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/text/GlyphCoverageCache.h"
#include "platform/text/TextAttributeNames.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPainter>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <cmath>
#include <map>
#include <sstream>

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

void BM_TextBoxRedraw(benchmark::State& state, bool relayout, int threads)
{
    ThreadPool::setMaxThreads(threads);
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
    state.counters["glyph_cache_KB"] = double(GlyphCoverageCache::shared().bytes()) / 1024.0;
    ThreadPool::setMaxThreads(0);
}

#ifdef QUILLMARK_HAVE_RSVG
// The same picture as SVG: every glyph of the box's text placed at our position (y-down in
// the box), in the same face and size, the same vertical gradient, a 3-px white stroke and
// the inner shadow (offset 4 up, sigma 3, black at 0.75).
std::string textBoxSvg()
{
    auto box = makeBox();
    const MyTextBox& t = *box->txtBox();
    const Rect bounds = box->bounds();
    const auto& layout = t.editor().layout();
    const AffineTransform toView = t.containerToViewTransform();
    const QString text = layout.text().string();
    const Font font = *MyTextBox::defaultAttributes().at(TextAttributeNames::font).font();
    std::ostringstream svg;
    svg.precision(9);
    svg << "<svg xmlns='http://www.w3.org/2000/svg' width='" << bounds.width() << "' height='"
        << bounds.height() << "'><defs>"
        << "<linearGradient id='fill' x1='0' y1='0' x2='0' y2='1'>"
           "<stop offset='0' stop-color='#e6331a'/><stop offset='1' stop-color='#1a4de6'/>"
           "</linearGradient>"
           "<filter id='inner' x='-5%' y='-5%' width='110%' height='110%'>"
           "<feOffset in='SourceAlpha' dx='0' dy='-4'/>"
           "<feGaussianBlur stdDeviation='3' result='moved'/>"
           "<feComposite in='SourceAlpha' in2='moved' operator='out' result='edge'/>"
           "<feFlood flood-color='black' flood-opacity='0.75'/>"
           "<feComposite in2='edge' operator='in' result='shadow'/>"
           "<feMerge><feMergeNode in='SourceGraphic'/><feMergeNode in='shadow'/></feMerge>"
           "</filter></defs>";
    svg << "<g font-family='" << font.familyName().toStdString() << "' font-size='"
        << font.pointSize() << "' fill='url(#fill)' stroke='white' stroke-width='3' "
        << "stroke-linejoin='bevel' filter='url(#inner)'>";
    for (int line = 0; line < int(layout.lineFragments().size()); ++line) {
        for (const LaidOutGlyph& g : layout.glyphsInLineFragment(line)) {
            const QChar c = text.at(g.characterIndex);
            if (c.isSpace() || g.glyph == 0)
                continue;
            const Point p = toView.map(g.position);
            svg << "<text x='" << p.x << "' y='" << (bounds.height() - p.y) << "'>"
                << QString(c).toHtmlEscaped().toStdString() << "</text>";
        }
    }
    svg << "</g></svg>";
    return svg.str();
}

QImage librsvgPicture(RsvgHandle* handle, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        image.bits(), CAIRO_FORMAT_ARGB32, width, height, int(image.bytesPerLine()));
    cairo_t* cr = cairo_create(surface);
    const RsvgRectangle viewport { 0, 0, double(width), double(height) };
    rsvg_handle_render_document(handle, cr, &viewport, nullptr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    return image;
}

RsvgHandle* textBoxHandle()
{
    const std::string doc = textBoxSvg();
    return rsvg_handle_new_from_data(
        reinterpret_cast<const guint8*>(doc.data()), gsize(doc.size()), nullptr);
}

void BM_LibrsvgTextRedraw(benchmark::State& state)
{
    RsvgHandle* handle = textBoxHandle();
    if (!handle) {
        state.SkipWithError("librsvg refused the document");
        return;
    }
    const Rect bounds = makeBox()->bounds();
    for (auto _ : state) {
        const QImage image = librsvgPicture(handle, int(bounds.width()), int(bounds.height()));
        benchmark::DoNotOptimize(image.constBits());
    }
    g_object_unref(handle);
}

// The PSNR of our redraw against librsvg's picture of the same text (premultiplied channels).
double textBoxPsnr()
{
    RsvgHandle* handle = textBoxHandle();
    if (!handle)
        return 0.0;
    auto box = makeBox();
    const QImage ours = renderToImage(*box, box->bounds(), 1.0)
                            .toQImage()
                            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage theirs = librsvgPicture(handle, ours.width(), ours.height());
    g_object_unref(handle);
    double sum = 0.0;
    for (int y = 0; y < ours.height(); ++y) {
        const uchar* a = ours.constScanLine(y);
        const uchar* b = theirs.constScanLine(y);
        for (int x = 0; x < ours.width() * 4; ++x)
            sum += double(a[x] - b[x]) * double(a[x] - b[x]);
    }
    const double mse = sum / (double(ours.width()) * ours.height() * 4);
    return mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
}
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

// Opening a document with one long text box, up to its first paint at the fitted zoom: the
// box is made, takes its text, grows to the photo's height, and is drawn.
// With cold, the glyph cache is emptied before each paint: a session's very first paint.
void longTextFirstPaint(benchmark::State& state, bool cold)
{
    const int n = int(state.range(0));
    gDefaultFontSize = 100.0;
    const AttributedString text(prose(n), MyTextBox::defaultAttributes());
    PhotoWindow window;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            GlyphCoverageCache::shared().clear();
            state.ResumeTiming();
        }
        const auto box = longTextBox(window, text);
        const Image image = renderToImage(*box, box->bounds(), kFitScale);
        benchmark::DoNotOptimize(image.toQImage().constBits());
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
template <bool paint> void BM_LongTextQTextDocument(benchmark::State& state)
{
    const int n = int(state.range(0));
    const QString text = prose(n);
    const QFont font
        = MyTextBox::defaultAttributes().at(TextAttributeNames::font).font()->toQFont();
    for (auto _ : state) {
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
            QImage image(int(std::ceil(kLongTextWidth * kFitScale)),
                int(std::ceil(height * kFitScale)), QImage::Format_ARGB32_Premultiplied);
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
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_LongTextQTextDocument<false>)->Name("BM_LongTextQTextDocument")->Apply(longTexts);
BENCHMARK(BM_LongTextQTextDocument<true>)->Name("BM_LongTextQTextDocumentPaint")->Apply(longTexts);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (const bool relayout : { true, false }) {
        for (const int threads : { 8, 2 }) {
            const std::string name = std::string("BM_TextBoxRedraw/")
                + (relayout ? "layout" : "drawonly") + "/" + std::to_string(threads) + "threads";
            benchmark::RegisterBenchmark(name.c_str(), BM_TextBoxRedraw, relayout, threads)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Repetitions(5)
                ->ReportAggregatesOnly(true);
        }
    }
#ifdef QUILLMARK_HAVE_RSVG
    benchmark::RegisterBenchmark("BM_LibrsvgTextRedraw", BM_LibrsvgTextRedraw)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
#endif
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

#ifdef QUILLMARK_HAVE_RSVG
    if (const double svg = reporter.find("BM_LibrsvgTextRedraw"); svg > 0) {
        const double psnr = textBoxPsnr();
        for (const int threads : { 8, 2 }) {
            const double ours
                = reporter.find("BM_TextBoxRedraw/layout/" + std::to_string(threads) + "threads");
            if (ours > 0)
                std::printf("text box redraw, %d threads: ours %.2f ms, librsvg %.2f ms, ratio "
                            "%.3f, PSNR %.1f dB\n",
                    threads, ours, svg, ours / svg, psnr);
        }
    }
#else
    std::printf("librsvg comparison skipped: built without librsvg2-dev\n");
#endif
    for (const int n : { 1000, 6250, 10000, 25000, 100000 }) {
        const double ours = reporter.find("BM_LongTextFirstPaint/" + std::to_string(n));
        const double peer = reporter.find("BM_LongTextQTextDocumentPaint/" + std::to_string(n));
        if (ours > 0 && peer > 0)
            std::printf("long text first paint, %6d characters: ours %.2f ms, QTextDocument "
                        "%.2f ms, ratio %.2f\n",
                n, ours, peer, ours / peer);
    }
    return 0;
}
