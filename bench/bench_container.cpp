// Undo of a full box layer: 200 boxes (140 text, 40 picture, 20 shape boxes), a before-snapshot
// taken, a step registered, then one undo, which snapshots the layer again and rebuilds every
// box from the records. Drawing is not included. A tenth of the boxes carry a warped picture,
// which the rebuild keeps since their records do not change.
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "boxes/ShapeModel.h"
#include "container/BoxClipboard.h"
#include "container/SelectedTextBoxView.h"
#include "container/TextViewContainer.h"
#include "container/WarpRenderer.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/ui/Event.h"
#include "platform/ui/ViewDrawingCache.h"
#include "platform/ui/ViewHost.h"
#include "platform/undo/UndoManager.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPolygonF>
#include <array>
#include <benchmark/benchmark.h>
#include <cmath>
#include <optional>
#include <thread>

#ifdef QUILLMARK_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

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

// The record fields' own work, without pictures: 200 text and shape records written to an
// archive and read back (what saving and opening a document, and the box clipboard, do per box),
// and the two equalities over the layer.
ContainerSnapshot recordsOf200()
{
    std::vector<UNDODATA> records;
    for (int i = 0; i < 200; ++i) {
        const Rect frame(20.0 * (i % 40), 15.0 * (i / 40), 160.0, 60.0);
        UNDODATA r = i % 4 == 3 ? MyShapeView(frame, shape::Star).getUndoData()
                                : MyTextView(frame).getUndoData();
        r.frame = frame;
        r.shadowColor = platform::Color(0, 0, 0, 0.5);
        records.push_back(std::move(r));
    }
    return ContainerSnapshot(std::move(records));
}

void BM_RecordArchive200(benchmark::State& state)
{
    const ContainerSnapshot layer = recordsOf200();
    const QStringList allowed = UNDODATA::allowedClasses();
    for (auto _ : state) {
        const QByteArray bytes
            = platform::KeyedArchiver::archivedData(layer.toArchiveValue(), true);
        const auto read = platform::KeyedUnarchiver::unarchive(bytes, allowed);
        benchmark::DoNotOptimize(ContainerSnapshot::fromArchiveValue(read.root));
    }
}
BENCHMARK(BM_RecordArchive200)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void BM_RecordEquality200(benchmark::State& state)
{
    const ContainerSnapshot a = recordsOf200();
    const ContainerSnapshot b(std::vector<UNDODATA>(a.records()));
    for (auto _ : state) {
        bool same = a == b;
        for (std::size_t i = 0; i < a.size(); ++i)
            same = a.records()[i].isEqualTo(b.records()[i]) && same;
        benchmark::DoNotOptimize(same);
    }
}
BENCHMARK(BM_RecordEquality200)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// Copy and paste of 200 boxes, 20 of them picture boxes holding a 24 MP picture (one picture
// shared by the 20, as boxes made from one photo share it): the selection's records go to the
// clipboard and come back as 200 new boxes, one undo step. The undo that takes them away again
// is outside the measured part. rss_growth_MB is what one copy and paste adds to resident
// memory: pictures are shared values and must not be copied. The reference in the same run is
// the undo rebuild of the same scene (BM_UndoRebuildCopyPasteScene).
ContainerSnapshot copyPasteScene()
{
    std::vector<UNDODATA> records;
    const platform::Image photo = picture(6000, 4000);
    for (int i = 0; i < 200; ++i) {
        const Rect frame(20.0 * (i % 40), 15.0 * (i / 40), 160.0, 60.0);
        UNDODATA r;
        if (i % 10 == 5) {
            MyImageView image(frame);
            image.setOrgImage(photo, 160.0, 120.0);
            r = image.getUndoData();
        } else if (i % 10 < 8) {
            r = MyTextView(frame).getUndoData();
        } else {
            r = MyShapeView(frame, shape::Star).getUndoData();
        }
        r.frame = frame;
        r.selected = true;
        records.push_back(std::move(r));
    }
    return ContainerSnapshot(std::move(records));
}

double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0.0;
}

void BM_CopyPaste200(benchmark::State& state)
{
    platform::UndoManager undo;
    TextViewContainer container(Rect(0, 0, 2000, 1500));
    container.setUndoManager(&undo);
    container.applyUndoData(copyPasteScene());
    double growth = 0.0;
    bool first = true;
    for (auto _ : state) {
        const double before = first ? residentMB() : 0.0;
        BoxClipboard::shared().copy(container.selectedRecords());
        container.pasteRecords(BoxClipboard::shared().nextPaste());
        state.PauseTiming();
        if (first)
            growth = residentMB() - before;
        first = false;
        undo.endGroup();
        undo.undo();
        container.selectAll();
        state.ResumeTiming();
    }
    BoxClipboard::shared().clear();
    state.counters["boxes"] = double(container.textViewAry.size());
    state.counters["rss_growth_MB"] = growth;
}
BENCHMARK(BM_CopyPaste200)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void BM_UndoRebuildCopyPasteScene(benchmark::State& state)
{
    platform::UndoManager undo;
    TextViewContainer container(Rect(0, 0, 2000, 1500));
    container.setUndoManager(&undo);
    container.applyUndoData(copyPasteScene());
    for (auto _ : state) {
        container.prepUndoData();
        container.logUndoData();
        undo.endGroup();
        undo.undo();
        benchmark::DoNotOptimize(container.textViewAry.data());
    }
}
BENCHMARK(BM_UndoRebuildCopyPasteScene)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// One arrow-key step with 200 selected text boxes on a 1600 x 1000 layer, then the repaint of
// what it marked (boxes and selection overlay) through the host's own paint. Alternate runs go
// right and left so the boxes stay put. Each box keeps its picture, so a step recomposes the
// boxes and draws none again (boxes_redrawn counts those drawn per step); cache_MB is what the
// pictures hold, within the budget of a 1920 x 1080 screen (budget_MB). The growth rows hold
// 4 and 16 times the boxes, in layers of 200 over each other, each moved by a few pixels.
void BM_ArrowKeyNudge(benchmark::State& state)
{
    const int count = int(state.range(0));
    // The offscreen platform's screen is 800 x 800; a common desktop's is the budget's measure.
    platform::ViewDrawingCache::setBudgetBytes(qsizetype(1920) * 1080 * 16);
    platform::UndoManager undo;
    platform::ViewHost host;
    host.resize(1600, 1000);
    QImage screen(1600, 1000, QImage::Format_ARGB32_Premultiplied);
    auto root = std::make_unique<platform::View>(Rect(0, 0, 1600, 1000));
    auto* container = root->addSubview(std::make_unique<TextViewContainer>(Rect(0, 0, 1600, 1000)));
    container->setUndoManager(&undo);
    auto overlay = std::make_unique<SelectedTextBoxView>(Rect(0, 0, 1600, 1000));
    overlay->setContainer(container);
    container->selectedView = root->addSubview(std::move(overlay));
    std::vector<UNDODATA> records;
    for (int i = 0; i < count; ++i) {
        const int layer = i / 200, k = i % 200;
        MyTextView text(Rect(20.0 + 78.0 * (k % 20) + 3.0 * layer,
            20.0 + 95.0 * (k / 20) + 2.0 * layer, 70.0, 40.0));
        UNDODATA r = text.getUndoData();
        r.rtf = platform::AttributedString(QStringLiteral("Nudge %1").arg(i));
        r.selected = true;
        records.push_back(std::move(r));
    }
    container->applyUndoData(ContainerSnapshot(std::move(records)));
    host.setRootView(std::move(root));
    host.render(&screen);
    int run = 0;
    const qint64 drawnBefore = platform::ViewDrawingCache::picturesDrawn();
    for (auto _ : state) {
        container->MoveTextBoxwithKey(run % 2 ? 123 : 124, false);
        host.render(&screen, QPoint(), host.pendingRepaint());
        state.PauseTiming();
        undo.endGroup();
        ++run;
        state.ResumeTiming();
    }
    state.counters["selected"] = double(container->GetSelectedBoxCount());
    state.counters["boxes_redrawn"]
        = double(platform::ViewDrawingCache::picturesDrawn() - drawnBefore) / double(run);
    state.counters["cache_MB"] = double(platform::ViewDrawingCache::usedBytes()) / 1e6;
    state.counters["budget_MB"] = double(platform::ViewDrawingCache::budgetBytes()) / 1e6;
    host.takeRootView();
    platform::ViewDrawingCache::setBudgetBytes(std::nullopt);
}
BENCHMARK(BM_ArrowKeyNudge)
    ->Arg(200)
    ->Arg(800)
    ->Arg(3200)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The press's decision over 200 text boxes turned 30 degrees, all under the pointer, with a
// selected curved box on top that the pointer misses: its points, grips, curve handles and
// spline and its handles are tried, then every body from the top. No snapshot.
const platform::Point kPressPoint(400.0, 300.0);

void pressScene(TextViewContainer& container)
{
    std::vector<UNDODATA> records;
    for (int i = 0; i < 200; ++i) {
        MyTextView text(Rect(250.0 + i % 7, 240.0 + i % 5, 300.0, 120.0));
        text.setRotationAngle(30.0);
        records.push_back(text.getUndoData());
    }
    MyTextView top(Rect(100.0, 500.0, 300.0, 120.0));
    top.setRotationAngle(30.0);
    top.setCurves({ { 0.0, 0.0 }, { 0.3, 0.2 }, { 0.6, -0.2 }, { 1.0, 0.0 } });
    records.push_back(top.getUndoData());
    container.applyUndoData(ContainerSnapshot(std::move(records)));
    container.textViewAry.back()->setSelected(true);
}

void BM_PressHitTest(benchmark::State& state)
{
    TextViewContainer container(Rect(0, 0, 1200, 900));
    pressScene(container);
    TextViewContainer::PressHit hit;
    for (auto _ : state) {
        hit = container.pressHitTest(kPressPoint, 0, 1);
        benchmark::DoNotOptimize(hit);
    }
    state.counters["code"] = hit.code;
    state.counters["box"] = hit.box;
}
BENCHMARK(BM_PressHitTest)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

// Qt's even-odd polygon test over the same outlines, read from the boxes in the loop as the
// body search reads them.
void BM_PressBodiesQPolygonF(benchmark::State& state)
{
    TextViewContainer container(Rect(0, 0, 1200, 900));
    pressScene(container);
    const QPointF p(kPressPoint.x, kPressPoint.y);
    int inside = 0;
    for (auto _ : state) {
        inside = 0;
        for (std::size_t i = container.textViewAry.size(); i-- > 0;) {
            std::array<platform::Point, 8> q;
            container.textViewAry[i]->GetFourPoints(q, 0.0);
            const QPolygonF polygon({ QPointF(q[0].x, q[0].y), QPointF(q[1].x, q[1].y),
                QPointF(q[2].x, q[2].y), QPointF(q[3].x, q[3].y) });
            inside += polygon.containsPoint(p, Qt::OddEvenFill) ? 1 : 0;
        }
        benchmark::DoNotOptimize(inside);
    }
    state.counters["inside"] = inside;
}
BENCHMARK(BM_PressBodiesQPolygonF)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// A drag of a selected text box over 20 default text boxes (1200 x 900): five drag steps after
// the press and the repaint of what they marked, boxes and selection overlay, through the
// host's own paint. Its reference in the same run repaints the whole layer after the same drag, as
// a drag that marks the container would.
struct DragScene {
    platform::UndoManager undo;
    platform::ViewHost host;
    QImage screen { 1200, 900, QImage::Format_ARGB32_Premultiplied };
    TextViewContainer* container = nullptr;
    MyViewBase* dragged = nullptr;

    DragScene()
    {
        host.resize(1200, 900);
        auto root = std::make_unique<platform::View>(Rect(0, 0, 1200, 900));
        container = root->addSubview(std::make_unique<TextViewContainer>(Rect(0, 0, 1200, 900)));
        container->setUndoManager(&undo);
        auto overlay = std::make_unique<SelectedTextBoxView>(Rect(0, 0, 1200, 900));
        overlay->setContainer(container);
        container->selectedView = root->addSubview(std::move(overlay));
        std::vector<UNDODATA> records;
        for (int i = 0; i < 21; ++i) {
            MyTextView text(Rect(40.0 + 230.0 * (i % 5), 60.0 + 200.0 * (i / 5), 200.0, 80.0));
            records.push_back(text.getUndoData());
        }
        container->applyUndoData(ContainerSnapshot(std::move(records)));
        dragged = container->textViewAry.back();
        dragged->setFrame(Rect(500.0, 420.0, 200.0, 80.0));
        dragged->setSelected(true);
        host.setRootView(std::move(root));
        paintAll();
    }
    // The host paints into a picture of the screen, through its own paint; that also empties
    // its pending area.
    void paintAll() { host.render(&screen); }
    void event(platform::EventType type, const platform::Point& p)
    {
        const auto e = platform::Event::mouseEvent(type, p, 0);
        if (type == platform::EventType::LeftMouseDown)
            container->mouseDown(e);
        else if (type == platform::EventType::LeftMouseDragged)
            container->mouseDragged(e);
        else
            container->mouseUp(e);
    }
    // The press (and the repaint it asks for, of everything), outside the measured part.
    platform::Point press()
    {
        const platform::Point o = dragged->frame().origin;
        const platform::Point at(o.x + 100.0, o.y + 40.0);
        event(platform::EventType::LeftMouseDown, at);
        paintAll();
        return at;
    }
    // Five steps 4 units apart, back and forth on alternate runs so the box stays put.
    void drag(const platform::Point& at, int run)
    {
        const double dir = run % 2 ? -1.0 : 1.0;
        for (int k = 1; k <= 5; ++k)
            event(platform::EventType::LeftMouseDragged,
                platform::Point(at.x + dir * 4.0 * k, at.y + dir * 2.0 * k));
    }
    void paint(bool whole)
    {
        if (whole)
            paintAll();
        else
            host.render(&screen, QPoint(), host.pendingRepaint());
    }
    void release()
    {
        event(platform::EventType::LeftMouseUp, dragged->frame().origin);
        undo.endGroup();
        paintAll();
    }
};

void dragRun(benchmark::State& state, bool whole)
{
    DragScene scene;
    int run = 0;
    double area = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        const platform::Point at = scene.press();
        state.ResumeTiming();
        scene.drag(at, run);
        state.PauseTiming();
        area = 0.0;
        for (const QRect& r : scene.host.pendingRepaint())
            area += double(r.width()) * r.height();
        state.ResumeTiming();
        scene.paint(whole);
        state.PauseTiming();
        scene.release();
        ++run;
        state.ResumeTiming();
    }
    state.counters["dirty_fraction"] = whole ? 1.0 : area / (1200.0 * 900.0);
}

void BM_DragTextBox(benchmark::State& state)
{
    dragRun(state, false);
}
BENCHMARK(BM_DragTextBox)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void BM_DragTextBoxWholeRepaint(benchmark::State& state)
{
    dragRun(state, true);
}
BENCHMARK(BM_DragTextBoxWholeRepaint)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The warp of a box capture as the container makes it: a patterned picture with a 20-px clear
// margin, the curve (0,0),(0.5,0.35),(1,0), h 0.4, v 0.3. Arguments: threads, capture height
// (the width is 1500).
QImage warpCapture(int width, int height)
{
    QImage pixels(width, height, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::transparent);
    for (int y = 20; y < height - 20; ++y) {
        auto* row = reinterpret_cast<QRgb*>(pixels.scanLine(y));
        for (int x = 20; x < width - 20; ++x)
            row[x] = qRgba((x * 3) & 255, (y * 5) & 255, ((x ^ y) * 7) & 255, 255);
    }
    return pixels;
}

const std::vector<platform::Point> kWarpCurve { { 0, 0 }, { 0.5, 0.35 }, { 1, 0 } };

// The stages a warp row times: the perspective alone, the curve alone, or both.
struct WarpStages {
    bool perspective, curve;
    double h() const { return perspective ? 0.4 : 0.0; }
    double v() const { return perspective ? 0.3 : 0.0; }
    std::vector<platform::Point> curves() const
    {
        return curve ? kWarpCurve : std::vector<platform::Point> {};
    }
};

// The runs of the warp and of its comparison alike: (threads, capture height) at 8 and 2
// threads, 1500 and 600 pixels high.
void warpRuns(benchmark::internal::Benchmark* b)
{
    b->Args({ 8, 1500 })
        ->Args({ 2, 1500 })
        ->Args({ 8, 600 })
        ->Args({ 2, 600 })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(5)
        ->ReportAggregatesOnly();
}

#ifdef QUILLMARK_HAVE_OPENCV
cv::Mat matOf(const QImage& q)
{
    return cv::Mat(q.height(), q.width(), CV_8UC4, const_cast<uchar*>(q.constBits()),
        std::size_t(q.bytesPerLine()));
}

// OpenCV doing our resamplings with our exact geometry: warpPerspective through the corners our
// perspective stage sends the picture's to, then cv::remap through the curve stage's own maps
// (given ready, in float, as remap takes them), all bilinear and clear outside.
struct PeerWarp {
    std::optional<cv::Mat> matrix;
    std::optional<std::pair<cv::Mat, cv::Mat>> shift, fan;
    cv::Mat flat, shifted, fanned;

    PeerWarp(int W, int H, const WarpStages& stages)
    {
        if (stages.perspective) {
            const auto corners = WarpRenderer::perspectiveCorners(W, H, stages.h(), stages.v());
            const cv::Point2f from[4] = { { 0, 0 }, { float(W - 2), 0 },
                { float(W - 2), float(H - 2) }, { 0, float(H - 2) } };
            cv::Point2f to[4];
            for (std::size_t i = 0; i < 4; ++i)
                to[i] = { float((*corners)[i].x), float((*corners)[i].y) };
            matrix = cv::getPerspectiveTransform(from, to);
        }
        if (stages.curve) {
            const auto maps = WarpRenderer::curveMaps(W, H, stages.curves());
            const auto toMats = [](const WarpRenderer::SampleMap& m) {
                return std::pair<cv::Mat, cv::Mat>(
                    cv::Mat(m.height, m.width, CV_32F, const_cast<float*>(m.x.data())).clone(),
                    cv::Mat(m.height, m.width, CV_32F, const_cast<float*>(m.y.data())).clone());
            };
            shift = toMats(maps->shift);
            if (maps->fan)
                fan = toMats(*maps->fan);
        }
    }

    const cv::Mat& run(const cv::Mat& src)
    {
        const cv::Mat* in = &src;
        if (matrix) {
            cv::warpPerspective(
                *in, flat, *matrix, in->size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT);
            in = &flat;
        }
        if (shift) {
            cv::remap(
                *in, shifted, shift->first, shift->second, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
            in = &shifted;
        }
        if (fan) {
            cv::remap(*in, fanned, fan->first, fan->second, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
            in = &fanned;
        }
        return *in;
    }
};

// Our picture beside the peer's, as psnr_dB; a row whose two pictures are not the same picture
// (under 40 dB, or of different sizes) is no comparison and ends with an error.
void comparePictures(benchmark::State& state, const QImage& pixels, const WarpStages& stages)
{
    const auto ours = WarpRenderer::perspectiveCurved(
        platform::Image::fromQImage(pixels), stages.curves(), stages.h(), stages.v());
    PeerWarp peer(pixels.width(), pixels.height(), stages);
    const cv::Mat theirs = peer.run(matOf(pixels)).clone();
    const QImage mine = ours->image.toQImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (theirs.rows != mine.height() || theirs.cols != mine.width()) {
        state.SkipWithError("the peer's picture is not of our size");
        return;
    }
    const double psnr = cv::PSNR(theirs, matOf(mine));
    state.counters["psnr_dB"] = psnr;
    if (!(psnr >= 40.0))
        state.SkipWithError("the peer draws another picture (PSNR under 40 dB)");
}
#endif

void warpOurs(benchmark::State& state, const WarpStages& stages)
{
    platform::ThreadPool::setMaxThreads(int(state.range(0)));
    const QImage pixels = warpCapture(1500, int(state.range(1)));
    const platform::Image capture = platform::Image::fromQImage(pixels);
    capture.toQImage(); // rasterised once, as the capture hands it over
    const std::vector<platform::Point> curves = stages.curves();
    std::optional<WarpRenderer::Result> result;
    for (auto _ : state) {
        result = WarpRenderer::perspectiveCurved(capture, curves, stages.h(), stages.v());
        benchmark::DoNotOptimize(result);
    }
    state.counters["width"] = result ? result->image.pixelSize().width() : 0;
    state.counters["height"] = result ? result->image.pixelSize().height() : 0;
    platform::ThreadPool::setMaxThreads(int(std::thread::hardware_concurrency()));
#ifdef QUILLMARK_HAVE_OPENCV
    comparePictures(state, pixels, stages);
#endif
}

#ifdef QUILLMARK_HAVE_OPENCV
void warpPeer(benchmark::State& state, const WarpStages& stages)
{
    cv::setNumThreads(int(state.range(0)));
    const QImage pixels = warpCapture(1500, int(state.range(1)));
    const cv::Mat src = matOf(pixels);
    PeerWarp peer(pixels.width(), pixels.height(), stages);
    for (auto _ : state)
        benchmark::DoNotOptimize(peer.run(src).data);
    cv::setNumThreads(-1);
    comparePictures(state, pixels, stages);
}
#endif

// All three resamplings, beside warpPerspective and two remaps doing the same.
void BM_WarpCurvePerspective(benchmark::State& state)
{
    warpOurs(state, { true, true });
}
BENCHMARK(BM_WarpCurvePerspective)->Apply(warpRuns);

// The curve stage alone (the column shift and the fan), beside two remaps through its maps.
void BM_WarpCurve(benchmark::State& state)
{
    warpOurs(state, { false, true });
}
BENCHMARK(BM_WarpCurve)->Apply(warpRuns);

// The perspective stage alone (no curve): h 0.4, v 0.3 on the same capture.
void BM_WarpPerspective(benchmark::State& state)
{
    warpOurs(state, { true, false });
}
BENCHMARK(BM_WarpPerspective)->Apply(warpRuns);

#ifdef QUILLMARK_HAVE_OPENCV
void BM_WarpCurvePerspectiveOpenCV(benchmark::State& state)
{
    warpPeer(state, { true, true });
}
BENCHMARK(BM_WarpCurvePerspectiveOpenCV)->Apply(warpRuns);

void BM_WarpCurveOpenCV(benchmark::State& state)
{
    warpPeer(state, { false, true });
}
BENCHMARK(BM_WarpCurveOpenCV)->Apply(warpRuns);

void BM_WarpPerspectiveOpenCV(benchmark::State& state)
{
    warpPeer(state, { true, false });
}
BENCHMARK(BM_WarpPerspectiveOpenCV)->Apply(warpRuns);
#endif

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
