// Texts at the limits of what a person makes: many style runs, and a word longer than its box.
//
// BM_ReadStyleRuns/n         a document whose one text box holds n style runs (each run in its
//                            own font and spacing, neighbours different), read from its bytes
//                            with DocumentFile::read. Grows linearly: items/s stays flat.
// BM_StyleRunsSetOneByOne/n  the same runs given to a string by setting each run's attributes
//                            in turn, as the reader once did: the before figure, same run.
// BM_UnbrokenFirstPaint/n    n characters without a break opportunity in a text box, the box
//                            made, given the text, grown and drawn at the fitted zoom (a
//                            document's first frame of that box), beside QTextDocument laying
//                            out and painting the same text in the same iterations ("QTextDocument
//                            ratio" = ours / its). QTextDocument is used at its best for such a
//                            text: wrapping anywhere, which breaks it where its own word
//                            wrapping would, without searching for the word's end on every line.
//                            "lines unlike the peer's" counts the lines the two broke apart
//                            (0: the same lines, so the same work).
// BM_DevanagariFirstPaint/n  the same with n Devanagari conjuncts (three characters each);
//                            beside QTextDocument at 60 000 only (at 300 000 it takes minutes).
// BM_UnbrokenLayout/n        our line breaking of the same text alone.
// BM_UnbrokenQtWordWrap/n    a plain QTextLayout breaking it with word wrapping, as our layout
//                            did before: the before figure, same run.
// BM_PasteMillionX           1 000 000 x pasted into a box being edited, up to its repaint.
#include "BenchMain.h"
#include "PairedTiming.h"
#include "app/DocumentFile.h"
#include "boxes/DocumentWindowRef.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/text/TextLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <benchmark/benchmark.h>
#include <cmath>

using namespace platform;

namespace {

// ---- style runs

// n runs of 1 to 3 characters, each in one of two faces and one of seven spacings, so that no
// two neighbours are equal.
std::vector<std::pair<int, AttributeDictionary>> styleRuns(int n)
{
    const Font regular = *Font::withName(QStringLiteral("Helvetica"), 48);
    const Font bold = *Font::withName(QStringLiteral("Helvetica-Bold"), 48);
    std::vector<std::pair<int, AttributeDictionary>> runs;
    runs.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        AttributeDictionary a;
        a[TextAttributeNames::font] = AttributeValue(i % 2 ? bold : regular);
        a[TextAttributeNames::kern] = AttributeValue(double(i % 7) * 0.5);
        runs.emplace_back(1 + i % 3, std::move(a));
    }
    return runs;
}

QString runText(const std::vector<std::pair<int, AttributeDictionary>>& runs)
{
    QString text;
    for (size_t i = 0; i < runs.size(); ++i)
        text += QString(runs[i].first, QChar(u'a' + int(i % 26)));
    return text;
}

QByteArray smallJpeg()
{
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(qRgb(90, 120, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(image);
    return bytes;
}

QByteArray styleRunDocument(int n)
{
    const auto runs = styleRuns(n);
    AttributedString::Builder builder(runText(runs));
    for (const auto& [length, attributes] : runs)
        builder.appendRun(length, attributes);
    UNDODATA record;
    record.type = UNDODATA::TextBox;
    record.frame = Rect(10, 10, 100, 60);
    record.rtf = builder.build();
    DocumentContents contents;
    contents.imageData = smallJpeg();
    contents.boxes = ContainerSnapshot({ record });
    return DocumentFile::write(contents);
}

void BM_ReadStyleRuns(benchmark::State& state)
{
    const int n = int(state.range(0));
    const QByteArray bytes = styleRunDocument(n);
    if (bytes.isEmpty()) {
        state.SkipWithError("the document was not written");
        return;
    }
    for (auto _ : state) {
        const auto result = DocumentFile::read(bytes);
        const auto* contents = std::get_if<DocumentContents>(&result);
        if (!contents || !contents->boxes || contents->boxes->records().size() != 1
            || contents->boxes->records()[0].rtf->runCount() != n) {
            state.SkipWithError("the document did not read back whole");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ReadStyleRuns)
    ->Arg(10000)
    ->Arg(40000)
    ->Arg(160000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_StyleRunsSetOneByOne(benchmark::State& state)
{
    const int n = int(state.range(0));
    const auto runs = styleRuns(n);
    const QString text = runText(runs);
    for (auto _ : state) {
        AttributedString s(text);
        int at = 0;
        for (const auto& [length, attributes] : runs) {
            s.setAttributes(attributes, TextRange(at, length));
            at += length;
        }
        benchmark::DoNotOptimize(s.runCount());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_StyleRunsSetOneByOne)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// ---- a word longer than its box

// The window a box grows in: the canvas of a 5120 x 2880 photo, fitted to a window about
// 1600 pixels wide.
class PhotoWindow : public DocumentWindowRef {
public:
    std::optional<Size> workingImageSize() const override { return Size(5120, 2880); }
};
constexpr double kBoxWidth = 1200;
constexpr double kFitScale = 0.3;
constexpr double kPadding = 5; // a line fragment's padding at each side

QString unbroken(int n)
{
    return QString(n, QChar(u'x'));
}

void firstPaint(PhotoWindow& window, const AttributedString& text)
{
    auto box = std::make_unique<MyTextView>(Rect(0, 0, kBoxWidth, 400));
    box->setMyDocumentWindow(&window);
    box->txtBox()->editor().setText(text);
    box->RecalcFrame();
    const Image image = renderToImage(*box, box->bounds(), kFitScale);
    benchmark::DoNotOptimize(image.toQImage().constBits());
}

// The characters of each of our lines of text in the box.
std::vector<int> ourLineLengths(const AttributedString& text)
{
    TextLayout layout(std::make_shared<TextContainer>(Size(kBoxWidth, TextContainer::unlimited)));
    layout.setDefaultAttributes(MyTextBox::defaultAttributes());
    layout.setText(text);
    std::vector<int> lengths;
    for (const LineFragment& line : layout.lineFragments()) {
        if (!line.isExtraLineFragment)
            lengths.push_back(line.characterRange.length);
    }
    return lengths;
}

// QTextDocument laying out text at the box's width (less the line fragment padding) and
// painting what the box shows of it, wrapping anywhere; the characters of each of its lines.
std::vector<int> qtextDocumentPaint(const QString& text, const QFont& font)
{
    QTextDocument document;
    document.setDocumentMargin(0);
    document.setDefaultFont(font);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAnywhere);
    document.setDefaultTextOption(option);
    document.setTextWidth(kBoxWidth - 2 * kPadding);
    document.setPlainText(text);
    const QSizeF size = document.documentLayout()->documentSize();
    const double height = std::min(size.height(), 2880.0);
    QImage image(int(std::ceil(kBoxWidth * kFitScale)), int(std::ceil(height * kFitScale)),
        QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kFitScale, kFitScale);
    document.drawContents(&painter, QRectF(0, 0, kBoxWidth, height));
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
    std::vector<int> lengths;
    const QTextLayout* lines = document.firstBlock().layout();
    for (int i = 0; i < lines->lineCount(); ++i)
        lengths.push_back(lines->lineAt(i).textLength());
    return lengths;
}

// Both laid out the same lines: the lines of ours whose characters are not the peer's (0 when
// both broke the text at the same places; pictures drawn by two text engines never agree pixel
// for pixel, their glyphs' positions are rounded apart).
void reportSameLines(
    benchmark::State& state, const std::vector<int>& ours, const std::vector<int>& peer)
{
    std::size_t differ = std::max(ours.size(), peer.size()) - std::min(ours.size(), peer.size());
    for (std::size_t i = 0; i < std::min(ours.size(), peer.size()); ++i)
        differ += ours[i] != peer[i] ? 1 : 0;
    state.counters["lines"] = double(ours.size());
    state.counters["lines unlike the peer's"] = double(differ);
}

QFont boxFont()
{
    return MyTextBox::defaultAttributes().at(TextAttributeNames::font).font()->toQFont();
}

void BM_UnbrokenFirstPaint(benchmark::State& state)
{
    const int n = int(state.range(0));
    gDefaultFontSize = 100.0;
    const AttributedString text(unbroken(n), MyTextBox::defaultAttributes());
    const QFont font = boxFont();
    PhotoWindow window;
    PairedTiming timing;
    std::vector<int> peer;
    for (auto _ : state)
        timing.iteration(
            state, [&] { firstPaint(window, text); },
            [&] { peer = qtextDocumentPaint(text.string(), font); });
    timing.report(state, "QTextDocument ratio", "QTextDocument ms");
    reportSameLines(state, ourLineLengths(text), peer);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_UnbrokenFirstPaint)
    ->Arg(50000)
    ->Arg(200000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// The same with n Devanagari conjuncts (KA, VIRAMA, SSA: three characters, one cluster
// shaped from two).
void BM_DevanagariFirstPaint(benchmark::State& state)
{
    const int n = int(state.range(0));
    gDefaultFontSize = 100.0;
    QString conjuncts;
    conjuncts.reserve(3 * n);
    for (int i = 0; i < n; ++i)
        conjuncts += QStringLiteral("\u0915\u094D\u0937");
    const AttributedString text(conjuncts, MyTextBox::defaultAttributes());
    const QFont font = boxFont();
    PhotoWindow window;
    PairedTiming timing;
    // QTextDocument takes minutes over a paragraph of 300 000 conjuncts (its frame's layout
    // data is looked up again and again): beside it only at the smaller size.
    const bool peer = n <= 100000;
    std::vector<int> theirs;
    for (auto _ : state)
        timing.iteration(
            state, [&] { firstPaint(window, text); },
            [&] {
                if (peer)
                    theirs = qtextDocumentPaint(conjuncts, font);
            });
    if (peer) {
        timing.report(state, "QTextDocument ratio", "QTextDocument ms");
        reportSameLines(state, ourLineLengths(text), theirs);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DevanagariFirstPaint)
    ->Arg(60000)
    ->Arg(300000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(2);

void BM_UnbrokenLayout(benchmark::State& state)
{
    const int n = int(state.range(0));
    gDefaultFontSize = 100.0;
    const AttributedString text(unbroken(n), MyTextBox::defaultAttributes());
    for (auto _ : state) {
        TextLayout layout(
            std::make_shared<TextContainer>(Size(kBoxWidth, TextContainer::unlimited)));
        layout.setDefaultAttributes(MyTextBox::defaultAttributes());
        layout.setText(text);
        benchmark::DoNotOptimize(layout.usedRect());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_UnbrokenLayout)
    ->Arg(50000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_UnbrokenQtWordWrap(benchmark::State& state)
{
    const int n = int(state.range(0));
    gDefaultFontSize = 100.0;
    const QString text = unbroken(n);
    const QFont font = boxFont();
    for (auto _ : state) {
        QTextLayout layout(text, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setUseDesignMetrics(true);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(kBoxWidth - 2 * kPadding);
        layout.endLayout();
        benchmark::DoNotOptimize(layout.lineCount());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_UnbrokenQtWordWrap)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_PasteMillionX(benchmark::State& state)
{
    gDefaultFontSize = 100.0;
    PhotoWindow window;
    const QString paste = unbroken(1000000);
    for (auto _ : state) {
        state.PauseTiming();
        auto box = std::make_unique<MyTextView>(Rect(0, 0, kBoxWidth, 400));
        box->setMyDocumentWindow(&window);
        box->setEditable(true);
        box->setIsEditing(true);
        MyTextBox& text = *box->txtBox();
        text.editor().setSelectedRange(TextRange(0, text.text().length()));
        state.ResumeTiming();
        text.insertText(paste);
        const Image image = renderToImage(*box, box->bounds(), kFitScale);
        benchmark::DoNotOptimize(image.toQImage().constBits());
        if (text.text().length() != paste.size())
            state.SkipWithError("the paste did not arrive whole");
    }
}
BENCHMARK(BM_PasteMillionX)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QApplication>(argc, argv);
}
