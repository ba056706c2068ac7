// One brush dab until the screen has it: a 60-point dab on a 6000 x 4000 picture shown at the
// best fit in a 1600 x 1000 host, through the paint view's accumulator, the canvas's mask
// hand-over and the top layer's patch render, timed until the patch is in the layer's pixels.
#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "canvas/CanvasWindow.h"
#include "canvas/PaintView.h"
#include "canvas/RenderView.h"
#include "platform/ui/ViewHost.h"
#include "platform/undo/UndoManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QThreadPool>
#include <benchmark/benchmark.h>

using namespace platform;

namespace {

class BenchWindow : public canvas::CanvasWindow {
public:
    Size viewport { 1600, 1000 };
    Point scroll;
    mutable UndoManager undo;
    Size viewportSize() const override { return viewport; }
    Rect visibleRect() const override { return { scroll, viewport }; }
    Size documentSize() const override { return viewport; }
    void setDocumentSize(const Size&) override { }
    void scrollTo(const Point& p) override { scroll = p; }
    UndoManager* undoManager() const override { return &undo; }
    ContainerDelegate* containerDelegate() const override { return nullptr; }
};

// A photograph-like 6000 x 4000 picture: smooth gradients with a pattern over them.
QImage dabPicture()
{
    QImage image(6000, 4000, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient g(0, 0, 6000, 4000);
    g.setColorAt(0, QColor(30, 90, 160));
    g.setColorAt(1, QColor(230, 180, 90));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 90), 9));
    for (int i = 0; i < 60; ++i)
        p.drawEllipse(QPointF(3000, 2000), 50.0 * i, 33.0 * i);
    return image;
}

bool waitUntil(const std::function<bool()>& ready)
{
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > 20000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

void BM_DabToScreen(benchmark::State& state)
{
    BenchWindow window;
    ViewHost host;
    host.resize(1600, 1000);
    auto root = std::make_unique<View>();
    auto* canvas = root->addSubview(std::make_unique<canvas::CanvasControls>());
    host.setRootView(std::move(root));
    canvas->setCanvasWindow(&window);
    canvas->loadImage(Image::fromQImage(dabPicture()));
    canvas->setCustomDrawingZoomScale(0);
    auto* brush = dynamic_cast<canvas::CanvasCustomShapeControls*>(canvas->controls());
    if (!brush || !brush->paintView()) {
        state.SkipWithError("no brush tool");
        return;
    }
    brush->showPaintView();
    canvas::PaintView* paint = brush->paintView();
    paint->setBrushSize(60);
    paint->setBrushHardness(0.5);
    paint->setBrushOpacity(1.0);
    canvas::RenderView* top = canvas->renderView();
    if (!waitUntil([&] { return !top->renderedPixels().isNull(); })) {
        state.SkipWithError("the layers never rendered");
        return;
    }
    // Let the first full render of the picture settle before dabbing.
    QCoreApplication::processEvents();

    const Rect frame = canvas->frame();
    int i = 0;
    for (auto _ : state) {
        const Point at { frame.origin.x + 100 + (i * 37) % int(frame.size.width - 200),
            frame.origin.y + 100 + (i * 23) % int(frame.size.height - 200) };
        ++i;
        const qint64 before = top->renderedPixels().cacheKey();
        paint->drawLineAtPoint(at);
        if (!waitUntil([&] { return top->renderedPixels().cacheKey() != before; })) {
            state.SkipWithError("the patch never arrived");
            return;
        }
    }
    state.counters["threads"] = QThreadPool::globalInstance()->maxThreadCount();
}
BENCHMARK(BM_DabToScreen)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
