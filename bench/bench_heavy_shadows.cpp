// A document built to stress shadows: 1000 text boxes of 5000 x 5000 on a 6000 x 4000 picture,
// each with a drop shadow of blur 1000 (sigma 500) and a translucent background, so that every
// box casts a shadow over the whole canvas.
//
// BM_HeavyShadowsFirstPaint  the document opened in its window (1400 x 900, offscreen), until
//                            both picture layers have arrived and the window has painted its
//                            first frame (the window paints as each layer arrives, so every
//                            box's shadow is drawn a few times). Eight threads.
// BM_HeavyShadowsRepaint/N   one more paint of that whole window, each box's shadow once, on
//                            N threads (1: the whole work, as a machine busy with other work
//                            cannot distort it).
//                            "cpu_s" is the processor time of all threads, a figure that holds
//                            on a machine busy with other work.
#include "app/ColorDocument.h"
#include "app/ColorDocumentController.h"
#include "app/DocumentFile.h"
#include "app/DocumentWindowAdapter.h"
#include "app/WelcomeWindowPort.h"
#include "boxes/MyTextView.h"
#include "canvas/CanvasControls.h"
#include "canvas/RenderView.h"
#include "container/ContainerSnapshot.h"
#include "platform/concurrency/ThreadPool.h"
#include "window/DocumentWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
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
    HeavyDocument()
    {
        QFile file(path);
        written = file.open(QIODevice::WriteOnly) && file.write(heavyShadowDocument()) > 0;
    }
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
    QElapsedTimer t;
    t.start();
    while (!arrived() && t.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    benchmark::DoNotOptimize(window.grab());
    return arrived() ? &window : nullptr;
}

void closeAll(ColorDocumentController& controller)
{
    controller.closeAllDocuments();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_HeavyShadowsFirstPaint(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(8);
    HeavyDocument document;
    NoWelcome welcome;
    ColorDocumentController controller(welcome);
    double cpu = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const double cpu0 = processorSeconds();
        DocumentWindow* window
            = document.written ? openAndShow(controller, document.path) : nullptr;
        state.SetIterationTime(t.nsecsElapsed() * 1e-9);
        cpu += processorSeconds() - cpu0;
        closeAll(controller);
        if (!window) {
            state.SkipWithError("the document did not show");
            break;
        }
    }
    state.counters["boxes"] = kBoxes;
    state.counters["cpu_s"]
        = cpu / double(std::max<benchmark::IterationCount>(1, state.iterations()));
}
BENCHMARK(BM_HeavyShadowsFirstPaint)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

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
