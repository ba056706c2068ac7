// Undo of a full box layer: 200 boxes (140 text, 40 picture, 20 shape boxes), a before-snapshot
// taken, a step registered, then one undo, which snapshots the layer again and rebuilds every
// box from the records. Drawing is not included. A tenth of the boxes carry a warped picture,
// which the rebuild keeps since their records do not change.
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "boxes/ShapeModel.h"
#include "container/TextViewContainer.h"
#include "platform/undo/UndoManager.h"

#include <QApplication>
#include <QImage>
#include <QLoggingCategory>
#include <benchmark/benchmark.h>

using platform::Rect;

namespace {

platform::Image picture(int width, int height)
{
    QImage pixels(width, height, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(QColor(40, 120, 200));
    return platform::Image::fromQImage(pixels);
}

ContainerSnapshot layerOf200()
{
    std::vector<UNDODATA> records;
    const platform::Image photo = picture(400, 300);
    for (int i = 0; i < 200; ++i) {
        const Rect frame(20.0 * (i % 40), 15.0 * (i / 40), 160.0, 60.0);
        UNDODATA r;
        if (i % 10 < 7) {
            r = MyTextView(frame).getUndoData();
        } else if (i % 10 < 9) {
            MyImageView image(frame);
            image.setOrgImage(photo, 160.0, 120.0);
            r = image.getUndoData();
        } else {
            r = MyShapeView(frame, i % 20 == 9 ? shape::Star : shape::Curve).getUndoData();
        }
        if (i % 10 == 3)
            r.horzPerspective = 0.3;
        r.frame = frame;
        records.push_back(std::move(r));
    }
    return ContainerSnapshot(std::move(records));
}

void BM_UndoRebuild(benchmark::State& state)
{
    platform::UndoManager undo;
    TextViewContainer container(Rect(0, 0, 2000, 1500));
    container.setUndoManager(&undo);
    container.applyUndoData(layerOf200());
    // Warped boxes hold the picture their warp view would have made.
    const platform::Image warped = picture(170, 70);
    for (MyViewBase* box : container.textViewAry) {
        if (box->horzPerspective() < 0.1f)
            continue;
        box->imgPersp = warped;
        box->imgRect = box->frame();
        box->ud = box->getUndoData();
    }
    for (auto _ : state) {
        container.prepUndoData();
        container.logUndoData();
        undo.endGroup();
        undo.undo();
        benchmark::DoNotOptimize(container.textViewAry.data());
    }
    int kept = 0;
    for (MyViewBase* box : container.textViewAry)
        kept += box->imgPersp.isNull() ? 0 : 1;
    state.counters["boxes"] = double(container.textViewAry.size());
    state.counters["warp_pictures_kept"] = kept;
}
BENCHMARK(BM_UndoRebuild)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void BM_Snapshot200(benchmark::State& state)
{
    TextViewContainer container(Rect(0, 0, 2000, 1500));
    container.applyUndoData(layerOf200());
    for (auto _ : state)
        benchmark::DoNotOptimize(container.containerSnapshot());
}
BENCHMARK(BM_Snapshot200)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(
        QStringLiteral("quillmark.*.debug=false\nquillmark.*.info=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
