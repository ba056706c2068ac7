// A document built to stress shadows: 1000 text boxes of 5000 x 5000 on a 6000 x 4000 picture,
// each with a drop shadow of blur 1000 (sigma 500) and a translucent background, so that every
// box casts a shadow over the whole canvas.
//
// BM_HeavyShadowsFirstPaint  the document opened in its window (1400 x 900, offscreen), until
//                            both picture layers have arrived and the window has painted the
//                            frame that shows them. Eight threads. "box_draws" counts how many
//                            times each box was drawn on the way (once: the canvas shows
//                            nothing until its picture is there).
// BM_OneCharacterBoxesFirstFrame/N
//                            the same for a document of N text boxes of one character each, no
//                            shadows (5000: a frame within a second; 312 and 1250 for growth).
// BM_HeavyShadowsRepaint/N   one more paint of that whole window, each box's shadow once, on
//                            N threads (1: the whole work, as a machine busy with other work
//                            cannot distort it).
//                            "cpu_s" is the processor time of all threads, a figure that holds
//                            on a machine busy with other work.
// BM_ArrowLinesFirstFrame, BM_ArrowLinesRepaint
//                            5000 lines with arrow heads at stroke 1000 (HeavyDrawings.h): every
//                            head reaches over the whole canvas. Goals: a first frame under 2 s,
//                            a repaint of the whole window under 0.5 s.
// BM_EffectsOnTinyPictureFirstFrame/side
//                            six boxes with every effect on a picture of side x side pixels,
//                            zoomed to fit the window (goal: under 1 s; its peak memory is
//                            peak_open_document's).
#include "../tests/support/HeavyDrawings.h"
#include "app/ColorDocument.h"
#include "app/ColorDocumentController.h"
#include "app/DocumentFile.h"
#include "app/DocumentWindowAdapter.h"
#include "app/WelcomeWindowPort.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "canvas/CanvasControls.h"
#include "canvas/RenderView.h"
#include "container/ContainerSnapshot.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/ui/ViewHost.h"
#include "window/DocumentWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <functional>
#include <optional>
#include <sys/resource.h>

namespace {

constexpr int kBoxes = 1000;

QByteArray pictureJpeg()
{
    QImage image(6000, 4000, QImage::Format_RGB32);
    image.fill(QColor(90, 140, 190));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(image);
    return bytes;
}

// n text boxes of one letter each, in rows over the picture.
QByteArray oneCharacterDocument(int n)
{
    DocumentContents contents;
    contents.imageData = pictureJpeg();
    std::vector<UNDODATA> records;
    for (int i = 0; i < n; ++i) {
        const platform::Rect frame(double(i % 100) * 60.0, double(i / 100) * 78.0, 50, 60);
        MyTextView box(frame);
        box.txtBox()->editor().setText(platform::AttributedString(
            QString(QChar(u'A' + i % 26)), MyTextBox::defaultAttributes()));
        UNDODATA r = box.getUndoData();
        r.frame = frame;
        records.push_back(std::move(r));
    }
    contents.boxes = ContainerSnapshot(std::move(records));
    return DocumentFile::write(contents);
}

QByteArray heavyShadowDocument()
{
    DocumentContents contents;
    contents.imageData = pictureJpeg();
    std::vector<UNDODATA> records;
    for (int i = 0; i < kBoxes; ++i) {
        const platform::Rect frame(double(i % 10) * 100.0, double(i / 100) * 10.0, 5000, 5000);
        UNDODATA r = MyTextView(frame).getUndoData();
        r.frame = frame;
        SZGradient back;
        back.color = platform::Color(1, 1, 1, 0.3);
        r.backColor = back;
        r.shadowColor = platform::Color(0, 0, 0, 0.75);
        r.shadowBlurSize = 1000;
        r.shadowOffsetSize = 20;
        r.shadowAngle = 90;
        records.push_back(std::move(r));
    }
    contents.boxes = ContainerSnapshot(std::move(records));
    return DocumentFile::write(contents);
}

double processorSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

class NoWelcome final : public WelcomeWindowPort {
public:
    void makeKeyAndOrderFront() override { }
    void orderOut() override { }
    bool isVisible() const override { return false; }
    bool dontShowChecked() const override { return false; }
    void setDontShowChecked(bool) override { }
};

struct HeavyDocument {
    QTemporaryDir dir;
    QString path = dir.filePath("heavy-shadows.quillmark");
    bool written = false;
    explicit HeavyDocument(const QByteArray& bytes = heavyShadowDocument())
    {
        QFile file(path);
        written = file.open(QIODevice::WriteOnly) && file.write(bytes) > 0;
    }
};

// Notes whether a widget has been painted once ready() held.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(std::function<bool()> ready)
        : m_ready(std::move(ready))
    {
    }
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_ready())
            painted = true;
        return false;
    }

private:
    std::function<bool()> m_ready;
};

// Counts the box draws the boxes' log reports ("drawRect-myTextView"), and lets no other line
// of that log through, while it lives.
class BoxDrawCounter {
public:
    BoxDrawCounter()
    {
        s_draws = 0;
        QLoggingCategory::setFilterRules(QStringLiteral("quillmark.boxes.debug=true"));
        s_previous = qInstallMessageHandler(&BoxDrawCounter::handle);
    }
    ~BoxDrawCounter()
    {
        qInstallMessageHandler(s_previous);
        QLoggingCategory::setFilterRules(QString());
    }
    static int draws() { return s_draws; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (context.category && qstrcmp(context.category, "quillmark.boxes") == 0) {
            s_draws += text == QLatin1String("drawRect-myTextView");
            return;
        }
        if (s_previous)
            s_previous(type, context, text);
    }
    static inline int s_draws = 0;
    static inline QtMessageHandler s_previous = nullptr;
};

// Opens the document in its window and waits for the first frame; the window, or null.
DocumentWindow* openAndShow(ColorDocumentController& controller, const QString& path)
{
    auto* document
        = static_cast<ColorDocument*>(controller.openDocumentWithContentsOfFile(path).document);
    auto* port = document ? dynamic_cast<DocumentWindowAdapter*>(document->windowPort()) : nullptr;
    if (!port)
        return nullptr;
    DocumentWindow& window = port->window();
    window.resize(1400, 900);
    window.show();
    canvas::CanvasControls* canvas = window.canvasControls();
    auto arrived = [&] {
        return !canvas->backgroundView()->renderedPixels().isNull()
            && !canvas->renderView()->renderedPixels().isNull();
    };
    platform::ViewHost* host = canvas->host();
    if (!host)
        return nullptr;
    // The frame that shows the layers: the paint the window makes once they are there.
    PaintWatch watch(arrived);
    host->installEventFilter(&watch);
    QElapsedTimer t;
    t.start();
    while (!watch.painted && t.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    host->removeEventFilter(&watch);
    return watch.painted ? &window : nullptr;
}

void closeAll(ColorDocumentController& controller)
{
    controller.closeAllDocuments();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Opens the document until its first frame, each iteration; the seconds of processor time per
// opening, and the box draws on the way when countDraws.
void firstFrame(benchmark::State& state, const HeavyDocument& document, int boxes, bool countDraws)
{
    NoWelcome welcome;
    ColorDocumentController controller(welcome);
    double cpu = 0;
    int draws = 0;
    for (auto _ : state) {
        std::optional<BoxDrawCounter> counter;
        if (countDraws)
            counter.emplace();
        QElapsedTimer t;
        t.start();
        const double cpu0 = processorSeconds();
        DocumentWindow* window
            = document.written ? openAndShow(controller, document.path) : nullptr;
        state.SetIterationTime(t.nsecsElapsed() * 1e-9);
        cpu += processorSeconds() - cpu0;
        draws += BoxDrawCounter::draws();
        counter.reset();
        closeAll(controller);
        if (!window) {
            state.SkipWithError("the document did not show");
            break;
        }
    }
    const double n = double(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["boxes"] = boxes;
    state.counters["cpu_s"] = cpu / n;
    if (countDraws)
        state.counters["box_draws"] = draws / n / boxes;
}

void BM_HeavyShadowsFirstPaint(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(8);
    const HeavyDocument document;
    firstFrame(state, document, kBoxes, true);
}
BENCHMARK(BM_HeavyShadowsFirstPaint)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_OneCharacterBoxesFirstFrame(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(8);
    const int boxes = int(state.range(0));
    const HeavyDocument document(oneCharacterDocument(boxes));
    firstFrame(state, document, boxes, false);
}
BENCHMARK(BM_OneCharacterBoxesFirstFrame)
    ->Arg(312)
    ->Arg(1250)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

void BM_HeavyShadowsRepaint(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(8);
    HeavyDocument document;
    NoWelcome welcome;
    ColorDocumentController controller(welcome);
    DocumentWindow* window = document.written ? openAndShow(controller, document.path) : nullptr;
    if (!window) {
        state.SkipWithError("the document did not show");
        return;
    }
    platform::ThreadPool::setMaxThreads(int(state.range(0)));
    double cpu = 0;
    for (auto _ : state) {
        const double cpu0 = processorSeconds();
        benchmark::DoNotOptimize(window->grab());
        cpu += processorSeconds() - cpu0;
    }
    platform::ThreadPool::setMaxThreads(8);
    closeAll(controller);
    state.counters["cpu_s"]
        = cpu / double(std::max<benchmark::IterationCount>(1, state.iterations()));
}
BENCHMARK(BM_HeavyShadowsRepaint)
    ->Arg(8)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

void BM_ArrowLinesFirstFrame(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(8);
    const HeavyDocument document(testsupport::arrowLinesDocument(5000, 1000));
    firstFrame(state, document, 5000, false);
}
BENCHMARK(BM_ArrowLinesFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_ArrowLinesRepaint(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(8);
    HeavyDocument document(testsupport::arrowLinesDocument(5000, 1000));
    NoWelcome welcome;
    ColorDocumentController controller(welcome);
    DocumentWindow* window = document.written ? openAndShow(controller, document.path) : nullptr;
    if (!window) {
        state.SkipWithError("the document did not show");
        return;
    }
    double cpu = 0;
    for (auto _ : state) {
        const double cpu0 = processorSeconds();
        benchmark::DoNotOptimize(window->grab());
        cpu += processorSeconds() - cpu0;
    }
    closeAll(controller);
    state.counters["cpu_s"]
        = cpu / double(std::max<benchmark::IterationCount>(1, state.iterations()));
}
BENCHMARK(BM_ArrowLinesRepaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_EffectsOnTinyPictureFirstFrame(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(8);
    const HeavyDocument document(testsupport::effectsOnTinyPictureDocument(int(state.range(0))));
    firstFrame(state, document, 6, false);
}
BENCHMARK(BM_EffectsOnTinyPictureFirstFrame)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installDocumentWindowFactory(
        [](platform::UndoManager& undo) { return std::make_unique<DocumentWindowAdapter>(undo); });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
