// The box inspector: the whole refresh over a large mixed selection (no public tool does this
// work: the budget is a frame, 8 ms for 200 boxes and 30 ms for 1000), Select All over 625,
// 2500 and 10 000 boxes (a frame, 16 ms, for 10 000), bold over 200 text
// boxes with the undo snapshot and the re-layout, beside QTextDocument doing the same change
// with QTextCursor::mergeCharFormat over the same runs, laid out at the boxes' line width in
// the same pixel sizes, in the same run (and at 50 and 800 boxes, for growth), and a size change
// over a text of 1000 and 2000 runs (linear: 2000 runs within 2.2 x 1000). One step of a
// shadow-blur slider drag over 200 selected text boxes with the canvas's repaint of what it
// dirtied (a frame: 16 ms on 8 threads), beside Qt's graphics view changing the blur of 200
// drop-shadowed text items and painting the same area in the same run. The plain text colour
// over 200 boxes with its undo snapshot (budget 50 ms) and the character spacing of a text of
// 100 000 runs (the frame recomputed once, not per run) stand beside QTextDocument merging the
// same change over the same runs.
#include "BenchMain.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/ViewDrawingCache.h"
#include "support/SyntheticMouse.h"
#include "window/ColoredButton.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/FillPanel.h"
#include "window/InspectorRig.h"
#include "window/SpacingPanel.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QTextCursor>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

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

// Select All over n boxes (texts, pictures and shapes, none selected): every box selected,
// the layer marked for display and the inspector refreshed for the whole selection, as the
// window's Select All does (the frame budget: 16 ms for 10 000 boxes). The boxes are
// deselected again between steps, outside the measured part. 625, 2500 and 10 000 boxes for
// growth.
void BM_SelectAll(benchmark::State& state)
{
    InspectorWindow w;
    std::vector<BoxSpec> boxes = mixedBoxes(int(state.range(0)));
    for (BoxSpec& b : boxes)
        b.selected = false;
    w.build(boxes);
    for (auto _ : state) {
        w.win.selectAll();
        state.PauseTiming();
        if (w.boxes().GetSelectedBoxCount() != state.range(0))
            state.SkipWithError("not every box was selected");
        for (MyViewBase* box : w.boxes().textViewAry)
            box->setSelected(false);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["boxes"] = double(state.range(0));
}
BENCHMARK(BM_SelectAll)
    ->Arg(625)
    ->Arg(2500)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Bold over n selected text boxes of ten runs: the segment pressed, one undo step, each box
// laid out again and its frame recomputed.
void boldOverBoxes(benchmark::State& state, int n)
{
    InspectorWindow w;
    const std::vector<Run> parts = textRuns(10, 20);
    w.build(std::vector<BoxSpec>(size_t(n), textOf(parts)));
    bool on = true;
    for (auto _ : state) {
        w.o.fontStyleSegmentedCtrl->setSelected(on, 0);
        w.panel<FontPanel>().segmentedCtrlFontAttributesChanged(0);
        w.undo.endGroup();
        on = !on;
    }
    w.undo.removeAllActions();
    state.counters["boxes"] = n;
}

void BM_BoldOver200Boxes(benchmark::State& state)
{
    boldOverBoxes(state, 200);
}
BENCHMARK(BM_BoldOver200Boxes)->Unit(benchmark::kMillisecond)->UseRealTime();

// n QTextDocuments holding the texts as the boxes hold them: lines 90 wide (the rig's boxes
// are 100 wide with 5 of padding at each end) and sizes in pixels (a point of a box is a
// pixel of the picture), laid out, with their undo stacks.
std::vector<std::unique_ptr<QTextDocument>> boxDocuments(int n, const std::vector<Run>& parts)
{
    std::vector<std::unique_ptr<QTextDocument>> docs;
    for (int d = 0; d < n; ++d) {
        auto doc = std::make_unique<QTextDocument>();
        doc->setDocumentMargin(5);
        doc->setTextWidth(100);
        QTextCursor c(doc.get());
        for (const Run& r : parts) {
            QFont font(r.face);
            font.setPixelSize(int(r.size));
            QTextCharFormat f;
            f.setFont(font);
            c.insertText(r.text, f);
        }
        doc->documentLayout()->documentSize();
        docs.push_back(std::move(doc));
    }
    return docs;
}

// The same change in QTextDocument: bold merged over each of the ten runs of n documents,
// its own undo stack recording every change, then the layout brought up to date.
void boldOverDocuments(benchmark::State& state, int n)
{
    auto docs = boxDocuments(n, textRuns(10, 20));
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
    state.counters["boxes"] = n;
}

void BM_BoldOver200Boxes_QTextDocument(benchmark::State& state)
{
    boldOverDocuments(state, 200);
}
BENCHMARK(BM_BoldOver200Boxes_QTextDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

// Growth: the same at a quarter and at four times the boxes (with 200, 1x / 4x / 16x).
void BM_BoldOverBoxes(benchmark::State& state)
{
    boldOverBoxes(state, int(state.range(0)));
}
BENCHMARK(BM_BoldOverBoxes)->Arg(50)->Arg(800)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BoldOverBoxes_QTextDocument(benchmark::State& state)
{
    boldOverDocuments(state, int(state.range(0)));
}
BENCHMARK(BM_BoldOverBoxes_QTextDocument)
    ->Arg(50)
    ->Arg(800)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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

// 200 text boxes where the rig places them (overlapping over the picture), each with text and
// a drop shadow of blur 10 and offset 5.
std::vector<BoxSpec> shadowedTexts()
{
    std::vector<BoxSpec> boxes(200, textOf({ { QStringLiteral("Shadowed") } }));
    for (BoxSpec& b : boxes)
        b.edit = [text = b.edit](UNDODATA& r) {
            text(r);
            r.shadowColor = platform::Color(0, 0, 0, 0.75);
            r.shadowBlurSize = 10;
            r.shadowOffsetSize = 5;
        };
    return boxes;
}

// One pointer move of a held drag on the drop shadow's blur slider (10 <-> 11 pt), then the
// window's event loop turn that repaints what the change dirtied on screen.
void BM_ShadowBlurDrag(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(8);
    // The offscreen platform's screen is 800 x 800; the boxes' pictures get the budget of a
    // common desktop's screen (1920 x 1080).
    platform::ViewDrawingCache::setBudgetBytes(qsizetype(1920) * 1080 * 16);
    InspectorWindow w;
    w.build(shadowedTexts());
    w.win.show();
    QCoreApplication::processEvents();
    ImageEffectIntensitySlider& slider = *w.o.shadowBlurSlider;
    const double span = slider.width() - 32.0;
    const auto at = [&](int blur) { return QPointF((blur + 0.5) / slider.maxValue() * span, 30); };
    using testsupport::sendMouse;
    sendMouse(slider, QEvent::MouseButtonPress, at(10), Qt::LeftButton, Qt::LeftButton);
    QCoreApplication::processEvents();
    int blur = 10;
    const qint64 drawnBefore = platform::ViewDrawingCache::picturesDrawn();
    for (auto _ : state) {
        blur = blur == 10 ? 11 : 10;
        sendMouse(slider, QEvent::MouseMove, at(blur), Qt::NoButton, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    const qint64 drawn = platform::ViewDrawingCache::picturesDrawn() - drawnBefore;
    sendMouse(slider, QEvent::MouseButtonRelease, at(blur), Qt::LeftButton, Qt::NoButton);
    if (w.boxes().textViewAry.front()->shadowBlurSize() != blur)
        state.SkipWithError("the drag did not reach the boxes");
    w.undo.removeAllActions();
    state.counters["boxes"] = 200;
    // Boxes drawn again per step (a shadow change should draw none), and the pictures' memory.
    state.counters["boxes_redrawn"] = double(drawn) / double(state.iterations());
    state.counters["cache_MB"] = double(platform::ViewDrawingCache::usedBytes()) / 1e6;
    state.counters["budget_MB"] = double(platform::ViewDrawingCache::budgetBytes()) / 1e6;
    platform::ViewDrawingCache::setBudgetBytes(std::nullopt);
}
BENCHMARK(BM_ShadowBlurDrag)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same work in Qt's graphics view: 200 text items placed as the boxes are, each with a
// drop-shadow effect; one step sets every effect's blur and paints the picture's area.
void BM_ShadowBlurDrag_QGraphicsView(benchmark::State& state)
{
    QGraphicsScene scene(0, 0, 400, 300);
    std::vector<QGraphicsDropShadowEffect*> effects;
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(24);
    for (int i = 0; i < 200; ++i) {
        auto* item = scene.addSimpleText(QStringLiteral("Shadowed"), font);
        item->setPos(10.0 + 5 * (i % 50), 20.0 + 3 * (i % 50));
        auto* effect = new QGraphicsDropShadowEffect;
        effect->setColor(QColor(0, 0, 0, 191));
        effect->setBlurRadius(10);
        effect->setOffset(0, 5);
        item->setGraphicsEffect(effect);
        effects.push_back(effect);
    }
    QImage canvas(400, 300, QImage::Format_ARGB32_Premultiplied);
    int blur = 10;
    for (auto _ : state) {
        blur = blur == 10 ? 11 : 10;
        for (QGraphicsDropShadowEffect* e : effects)
            e->setBlurRadius(blur);
        canvas.fill(Qt::white);
        QPainter p(&canvas);
        scene.render(&p);
    }
    benchmark::DoNotOptimize(canvas.bits());
}
BENCHMARK(BM_ShadowBlurDrag_QGraphicsView)->Unit(benchmark::kMillisecond)->UseRealTime();

// 200 QTextDocuments of ten runs, laid out, with their undo stacks.
std::vector<std::unique_ptr<QTextDocument>> documents(int n, const std::vector<Run>& parts)
{
    std::vector<std::unique_ptr<QTextDocument>> docs;
    for (int d = 0; d < n; ++d) {
        auto doc = std::make_unique<QTextDocument>();
        doc->setTextWidth(400);
        QTextCursor c(doc.get());
        for (const Run& r : parts) {
            QTextCharFormat f;
            f.setFont(QFont(r.face, int(r.size)));
            c.insertText(r.text, f);
        }
        doc->documentLayout()->documentSize();
        docs.push_back(std::move(doc));
    }
    return docs;
}

// The same change merged over every run of each document, one edit block per document, then
// the layout brought up to date.
void mergeOverRuns(QTextDocument& doc, int runs, int each, const QTextCharFormat& format)
{
    QTextCursor c(&doc);
    c.beginEditBlock();
    for (int run = 0; run < runs; ++run) {
        c.setPosition(run * each);
        c.setPosition(run * each + each, QTextCursor::KeepAnchor);
        c.mergeCharFormat(format);
    }
    c.endEditBlock();
    benchmark::DoNotOptimize(doc.documentLayout()->documentSize());
}

// The text colour chosen in the colour panel for 200 selected text boxes: one undo step, each
// run's fill and foreground rewritten, each box laid out again.
void BM_TextColourOver200(benchmark::State& state)
{
    InspectorWindow w;
    w.build(std::vector<BoxSpec>(200, textOf(textRuns(10, 20))));
    auto* swatch = w.o.panelFont->findChild<ColoredButton*>(FillPanel::kTextColourButton);
    w.panel<FillPanel>().fontColorClicked(*swatch);
    platform::ColorPanel::shared().close();
    bool red = true;
    for (auto _ : state) {
        platform::ColorPanel::shared().commitColor(
            red ? platform::Color(1, 0, 0, 1) : platform::Color(0, 0, 1, 1));
        w.undo.endGroup();
        red = !red;
    }
    state.counters["steps"] = double(w.undo.undoGroupCount());
    w.undo.removeAllActions();
}
BENCHMARK(BM_TextColourOver200)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextColourOver200_QTextDocument(benchmark::State& state)
{
    auto docs = documents(200, textRuns(10, 20));
    bool red = true;
    for (auto _ : state) {
        QTextCharFormat colour;
        colour.setForeground(red ? Qt::red : Qt::blue);
        for (auto& doc : docs)
            mergeOverRuns(*doc, 10, 20, colour);
        red = !red;
    }
}
BENCHMARK(BM_TextColourOver200_QTextDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

// A text of n runs of three characters, made by doubling a block of six runs (appending run
// by run would cost a pass over the runs each time).
platform::AttributedString manyRuns(int n)
{
    platform::AttributedString s = runs(textRuns(6, 3));
    while (s.runCount() * 2 <= n)
        s.append(s);
    s.append(s.attributedSubstring(platform::TextRange(0, (n - s.runCount()) * 3)));
    return s;
}

// Character spacing typed for one text box of 100 000 runs: every run rewritten, the frame
// recomputed once.
void BM_SpacingOver100000Runs(benchmark::State& state)
{
    InspectorWindow w;
    const platform::AttributedString text = manyRuns(int(state.range(0)));
    w.build({ { Kind::Text, shape::Rectangle, true, [&](UNDODATA& r) { r.rtf = text; } } });
    if (w.boxAt<MyTextView>(0)->txtBox()->text().runCount() != state.range(0))
        state.SkipWithError("the text does not have the runs asked for");
    int kern = 1;
    for (auto _ : state) {
        w.o.charspaceTextField->setText(QString::number(kern));
        w.panel<SpacingPanel>().charspaceTextFieldChanged();
        w.undo.endGroup();
        kern = kern == 1 ? 2 : 1;
    }
    w.undo.removeAllActions();
    state.counters["runs"] = double(state.range(0));
}
BENCHMARK(BM_SpacingOver100000Runs)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(4);

// The same spacing typed into the field and Return, as a person does: the change, then the
// whole inspector shown again from the boxes (the refresh every edit through a panel ends with).
void BM_SpacingTypedWithRefresh(benchmark::State& state)
{
    InspectorWindow w;
    const platform::AttributedString text = manyRuns(int(state.range(0)));
    w.build({ { Kind::Text, shape::Rectangle, true, [&](UNDODATA& r) { r.rtf = text; } } });
    QLineEdit& field = *w.o.charspaceTextField;
    int kern = 1;
    for (auto _ : state) {
        field.setText(QString::number(kern));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(&field, &enter);
        w.undo.endGroup();
        kern = kern == 1 ? 2 : 1;
    }
    if (field.text() != QStringLiteral("%1 pt").arg(kern == 1 ? 2 : 1))
        state.SkipWithError("the field does not show the typed spacing");
    w.undo.removeAllActions();
    state.counters["runs"] = double(state.range(0));
}
BENCHMARK(BM_SpacingTypedWithRefresh)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(4);

void BM_SpacingOver100000Runs_QTextDocument(benchmark::State& state)
{
    const int runs = int(state.range(0));
    std::vector<std::unique_ptr<QTextDocument>> docs;
    {
        // Built from the same text, one fragment per run.
        const platform::AttributedString text = manyRuns(runs);
        auto doc = std::make_unique<QTextDocument>();
        doc->setTextWidth(400);
        QTextCursor c(doc.get());
        c.beginEditBlock();
        text.enumerateAttributes(platform::TextRange(0, text.length()),
            platform::AttributedString::Forward,
            [&](const platform::AttributeDictionary& attrs, platform::TextRange r, bool&) {
                QTextCharFormat f;
                if (const platform::Font* font = attrs.at(names::font).font())
                    f.setFont(font->toQFont());
                c.insertText(text.string().mid(r.location, r.length), f);
            });
        c.endEditBlock();
        doc->documentLayout()->documentSize();
        docs.push_back(std::move(doc));
    }
    int kern = 1;
    for (auto _ : state) {
        QTextCharFormat spacing;
        spacing.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        spacing.setFontLetterSpacing(kern);
        mergeOverRuns(*docs.front(), runs, 3, spacing);
        kern = kern == 1 ? 2 : 1;
    }
    state.counters["runs"] = double(runs);
}
BENCHMARK(BM_SpacingOver100000Runs_QTextDocument)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(4);

// Prints the table as usual and keeps each benchmark's time (the median when repeated), for
// the ratio to its peer at the end.
class PeerRatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }
};

PeerRatioReporter& reporter()
{
    static PeerRatioReporter r;
    return r;
}

void printRatios()
{
    const auto& t = reporter().times;
    const auto ours = t.find("BM_ShadowBlurDrag"), peer = t.find("BM_ShadowBlurDrag_QGraphicsView");
    if (ours != t.end() && peer != t.end())
        std::printf(
            "shadow blur drag, 200 boxes: ours %.2f ms, QGraphicsView %.2f ms, ratio %.2f\n",
            ours->second, peer->second, ours->second / peer->second);
}

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QApplication>(argc, argv, &reporter(), printRatios);
}
