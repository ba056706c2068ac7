// The box inspector: the whole refresh over a large mixed selection (no public tool does this
// work: the budget is a frame, 8 ms for 200 boxes and 30 ms for 1000), bold over 200 text
// boxes with the undo snapshot and the re-layout, beside QTextDocument doing the same change
// with QTextCursor::mergeCharFormat over the same runs in the same run, and a size change
// over a text of 1000 and 2000 runs (linear: 2000 runs within 2.2 x 1000).
#include "BenchMain.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/InspectorRig.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLineEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <benchmark/benchmark.h>

using namespace windowtest;
namespace names = platform::TextAttributeNames;

namespace {

// A text of n runs of `each` characters (a word and a space), alternating two faces.
std::vector<Run> textRuns(int n, int each)
{
    std::vector<Run> parts;
    for (int i = 0; i < n; ++i)
        parts.push_back({ QString(each - 1, QLatin1Char('a' + i % 26)) + QLatin1Char(' '),
            i % 2 ? QStringLiteral("DejaVu Sans") : QStringLiteral("Helvetica"), 20.0 + i % 3 });
    return parts;
}

// n boxes: texts with differing fonts, pictures and shapes, each with its own shadow.
std::vector<BoxSpec> mixedBoxes(int n)
{
    std::vector<BoxSpec> boxes;
    for (int i = 0; i < n; ++i) {
        const auto shadowed = [i](UNDODATA& r) {
            r.shadowColor = platform::Color(0, 0, 0, 0.5 + (i % 5) * 0.1);
            r.shadowBlurSize = i % 7;
            r.innerShadowAngle = i % 360;
        };
        switch (i % 3) {
        case 0: {
            const std::vector<Run> parts = textRuns(4, 10 + i % 4);
            boxes.push_back({ Kind::Text, shape::Rectangle, true, [parts, shadowed](UNDODATA& r) {
                                 r.rtf = runs(parts);
                                 shadowed(r);
                             } });
            break;
        }
        case 1:
            boxes.push_back({ Kind::Image, shape::Rectangle, true, shadowed });
            break;
        default:
            boxes.push_back({ Kind::Shape, i % 2 ? shape::Line : shape::Ellipse, true, shadowed });
        }
    }
    return boxes;
}

void BM_InspectorRefresh(benchmark::State& state)
{
    InspectorWindow w;
    w.build(mixedBoxes(int(state.range(0))));
    for (auto _ : state)
        w.win.textViewSelected(w.boxes().textViewAry);
    state.counters["boxes"] = double(state.range(0));
}
BENCHMARK(BM_InspectorRefresh)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BoldOver200Boxes(benchmark::State& state)
{
    InspectorWindow w;
    const std::vector<Run> parts = textRuns(10, 20);
    w.build(std::vector<BoxSpec>(200, textOf(parts)));
    bool on = true;
    for (auto _ : state) {
        w.o.fontStyleSegmentedCtrl->setSelected(on, 0);
        w.panel<FontPanel>().segmentedCtrlFontAttributesChanged(0);
        w.undo.endGroup();
        on = !on;
    }
    w.undo.removeAllActions();
}
BENCHMARK(BM_BoldOver200Boxes)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same change in QTextDocument: bold merged over each of the ten runs of 200 documents,
// its own undo stack recording every change, then the layout brought up to date.
void BM_BoldOver200Boxes_QTextDocument(benchmark::State& state)
{
    std::vector<std::unique_ptr<QTextDocument>> docs;
    for (int d = 0; d < 200; ++d) {
        auto doc = std::make_unique<QTextDocument>();
        doc->setTextWidth(400);
        QTextCursor c(doc.get());
        for (const Run& r : textRuns(10, 20)) {
            QTextCharFormat f;
            f.setFont(QFont(r.face, int(r.size)));
            c.insertText(r.text, f);
        }
        doc->documentLayout()->documentSize();
        docs.push_back(std::move(doc));
    }
    bool on = true;
    for (auto _ : state) {
        QTextCharFormat bold;
        bold.setFontWeight(on ? QFont::Bold : QFont::Normal);
        for (auto& doc : docs) {
            QTextCursor c(doc.get());
            c.beginEditBlock();
            for (int run = 0; run < 10; ++run) {
                c.setPosition(run * 20);
                c.setPosition(run * 20 + 20, QTextCursor::KeepAnchor);
                c.mergeCharFormat(bold);
            }
            c.endEditBlock();
            benchmark::DoNotOptimize(doc->documentLayout()->documentSize());
        }
        on = !on;
    }
}
BENCHMARK(BM_BoldOver200Boxes_QTextDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SizeChange1000Runs(benchmark::State& state)
{
    InspectorWindow w;
    w.build({ textOf(textRuns(int(state.range(0)), 3)) });
    int size = 30;
    for (auto _ : state) {
        w.o.fontSizeTextField->setText(QString::number(size));
        w.panel<FontPanel>().fontSizeValueDidChange();
        w.undo.endGroup();
        size = size == 30 ? 31 : 30;
    }
    w.undo.removeAllActions();
    state.counters["runs"] = double(state.range(0));
}
BENCHMARK(BM_SizeChange1000Runs)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QApplication>(argc, argv);
}
