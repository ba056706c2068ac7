// One step of the perspective slider over 20 selected picture boxes of 1500 px that already
// lean (so every step warps them again): the slider's action, the container's change with its
// undo snapshot, and the repaint of the layer, in which each box's flat picture (drawn once and
// kept by its warp view while only the perspective changes) is warped again.
// Budget: 100 ms on 8 threads. Compared in the same run with OpenCV's warpPerspective of the
// same 20 pictures through the same corners (BM_PerspectiveDragOpenCV): the step within 1.2 x,
// both rows printing the PSNR of the drag's pictures against the peer's.
#include "container/WarpRenderer.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/ui/View.h"
#include "window/InspectorRig.h"

#include <QImage>
#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <chrono>
#include <string>
#include <thread>

#ifdef QUILLMARK_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

using namespace windowtest;

namespace {

constexpr int kBoxes = 20;
constexpr int kSide = 1500; // the pictures' width
constexpr int kHeight = 1000;

QImage patterned(int w, int h, int seed)
{
    QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(pixels.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = qRgba((x * 3 + seed) & 255, (y * 5) & 255, ((x ^ y) * 7) & 255, 255);
    }
    return pixels;
}

std::vector<UNDODATA> leaningPictures()
{
    std::vector<UNDODATA> records;
    for (int i = 0; i < kBoxes; ++i) {
        const platform::Rect frame(40.0 * i, 30.0 * i, kSide, kHeight);
        MyImageView image(frame);
        image.setOrgImage(
            platform::Image::fromQImage(patterned(kSide, kHeight, i)), kSide, kHeight);
        UNDODATA r = image.getUndoData();
        r.frame = frame;
        r.horzPerspective = 0.3;
        r.selected = true;
        records.push_back(std::move(r));
    }
    return records;
}

// The window with the 20 leaning pictures selected, its perspective slider and the repaint of
// the layer as the canvas shows it: the whole of it, scaled into a 1600-px view.
struct DragRig {
    // The picture holds every box whole: a box wholly outside it is not drawn at all.
    InspectorWindow w { false,
        solidPicture(40 * kBoxes + kSide, 30 * kBoxes + kHeight, QColor(200, 30, 40)) };
    const platform::Rect area { 0, 0, 40.0 * kBoxes + kSide, 30.0 * kBoxes + kHeight };
    DragRig()
    {
        w.boxes().applyUndoData(ContainerSnapshot(leaningPictures()));
        w.win.textViewSelected(w.boxes().textViewAry);
    }
    // One step of the slider, to the right or back.
    void step(bool right) { w.o.perspectiveSlider->setValue(right ? 0.7 : 0.6); }
    platform::Image repaint()
    {
        return platform::renderToImage(w.boxes(), area, 1600.0 / area.width());
    }
    // What each box shows flat (its picture at its saturation), as the warp takes it: the
    // capture with neither curve nor perspective.
    std::vector<QImage> flatPictures()
    {
        std::vector<QImage> flats;
        for (MyViewBase* box : w.boxes().textViewAry) {
            platform::Rect rt = box->imgRect;
            flats.push_back(w.boxes()
                                .image_curved_perspectived(*box, *box->superview(), 0.0f, rt)
                                .toQImage()
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
        return flats;
    }
};

#ifdef QUILLMARK_HAVE_OPENCV
cv::Mat matOf(const QImage& q)
{
    return cv::Mat(q.height(), q.width(), CV_8UC4, const_cast<uchar*>(q.constBits()),
        std::size_t(q.bytesPerLine()));
}

// The map warpPerspective takes for our perspective stage with the factors h and v: the
// picture's corners to where ours sends them.
cv::Mat peerMatrix(int width, int height, double h, double v)
{
    const auto corners = WarpRenderer::perspectiveCorners(width, height, h, v);
    const float W = float(width - 2), H = float(height - 2);
    const cv::Point2f from[4] = { { 0, 0 }, { W, 0 }, { W, H }, { 0, H } };
    cv::Point2f to[4];
    for (std::size_t i = 0; i < 4; ++i)
        to[i] = { float((*corners)[i].x), float((*corners)[i].y) };
    return cv::getPerspectiveTransform(from, to);
}

// warpPerspective of a picture into out (of its size, clear at first), as ours does it: the
// last column and row stay clear, and the edge is drawn as far as the picture's edge pixels
// reach (a sample just outside them continues the picture).
void peerWarp(const QImage& picture, const cv::Mat& m, cv::Mat& out)
{
    if (out.rows != picture.height() || out.cols != picture.width())
        out = cv::Mat::zeros(picture.height(), picture.width(), CV_8UC4);
    cv::Mat inside = out(cv::Rect(0, 0, picture.width() - 1, picture.height() - 1));
    cv::warpPerspective(
        matOf(picture), inside, m, inside.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
}

// Clears the pixels of a peer's picture that ours leaves clear: those whose sample lies a pixel
// or more outside the picture's top and left edges, or within two of its right and bottom
// edges. For the comparison only; the timed calls do not do it.
void clearWhereOursIsClear(cv::Mat& out, const cv::Mat& m)
{
    const cv::Mat inverse = m.inv();
    const auto at = [&](int r, int c) { return inverse.at<double>(r, c); };
    const double W = out.cols, H = out.rows;
    for (int y = 0; y < out.rows; ++y)
        for (int x = 0; x < out.cols; ++x) {
            const double d = at(2, 0) * x + at(2, 1) * y + at(2, 2);
            const double sx = (at(0, 0) * x + at(0, 1) * y + at(0, 2)) / d;
            const double sy = (at(1, 0) * x + at(1, 1) * y + at(1, 2)) / d;
            if (!(sx > -1.0 && sx < W - 2.0 && sy > -1.0 && sy < H - 2.0))
                out.at<cv::Vec4b>(y, x) = cv::Vec4b(0, 0, 0, 0);
        }
}

// The lowest PSNR of a box's warped picture against warpPerspective of its flat picture with
// the box's factors; an error when a box has none or one of another size than the peer's.
double dragPsnr(DragRig& rig, std::string& error)
{
    const std::vector<QImage> flats = rig.flatPictures();
    double lowest = 1e9;
    for (std::size_t i = 0; i < flats.size(); ++i) {
        const MyViewBase& box = *rig.w.boxes().textViewAry.at(i);
        const QImage ours
            = box.imgPersp.toQImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (ours.size() != flats[i].size()) {
            error = "a box's warped picture is not of its flat picture's size";
            return 0.0;
        }
        cv::Mat theirs;
        const cv::Mat m
            = peerMatrix(ours.width(), ours.height(), box.horzPerspective(), box.vertPerspective());
        peerWarp(flats[i], m, theirs);
        clearWhereOursIsClear(theirs, m);
        lowest = std::min(lowest, cv::PSNR(theirs, matOf(ours)));
    }
    return lowest;
}

// psnr_dB on the row; under 40 dB the two sides do not draw the same picture and the row ends
// with an error.
void reportPsnr(benchmark::State& state, double psnr, const std::string& error)
{
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    state.counters["psnr_dB"] = psnr;
    if (!(psnr >= 40.0))
        state.SkipWithError("the peer draws another picture (PSNR under 40 dB)");
}
#endif

void BM_PerspectiveDrag(benchmark::State& state)
{
    platform::ThreadPool::setMaxThreads(int(state.range(0)));
    DragRig rig;
    // Counts the warps a step makes (each box once) and the time they take, passing them on to
    // the real renderer: the rest of the step is the captures, the snapshot and the repaint.
    int warps = 0;
    double warpSeconds = 0;
    rig.w.boxes().setWarpRenderer(
        [&](const platform::Image& image, const std::vector<platform::Point>& curves, double h,
            double v) {
            ++warps;
            const auto start = std::chrono::steady_clock::now();
            auto result = WarpRenderer::perspectiveCurved(image, curves, h, v);
            warpSeconds
                += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            return result;
        });
    rig.repaint();
    bool right = true;
    int warped = 0;
    warps = 0;
    warpSeconds = 0;
    for (auto _ : state) {
        rig.step(right);
        right = !right;
        benchmark::DoNotOptimize(rig.repaint());
        state.PauseTiming();
        rig.w.undo.endGroup();
        warped = 0;
        for (const MyViewBase* box : rig.w.boxes().textViewAry)
            warped += box->imgPersp.isNull() ? 0 : 1;
        state.ResumeTiming();
    }
    state.counters["boxes_warped"] = warped;
    state.counters["warps_per_step"] = double(warps) / double(state.iterations());
    state.counters["warp_ms_per_step"] = warpSeconds * 1000.0 / double(state.iterations());
    platform::ThreadPool::setMaxThreads(int(std::thread::hardware_concurrency()));
#ifdef QUILLMARK_HAVE_OPENCV
    std::string error;
    const double psnr = dragPsnr(rig, error);
    reportPsnr(state, psnr, error);
#endif
}
BENCHMARK(BM_PerspectiveDrag)
    ->Arg(8)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly();

#ifdef QUILLMARK_HAVE_OPENCV
// The boxes' flat pictures, each one warpPerspective call through our exact corners, one after
// another, each call on the threads given; the steps alternate between the factors the
// slider's two positions send, as the drag's do. psnr_dB: the drag's pictures against these,
// at both positions.
void BM_PerspectiveDragOpenCV(benchmark::State& state)
{
    std::string error;
    double psnr = 1e9;
    std::array<cv::Mat, 2> matrices;
    std::vector<QImage> pictures;
    {
        DragRig rig;
        for (std::size_t i = 0; i < 2; ++i) {
            rig.step(i == 0);
            rig.repaint();
            rig.w.undo.endGroup();
            const MyViewBase& first = *rig.w.boxes().textViewAry.at(0);
            matrices[i]
                = peerMatrix(kSide, kHeight, first.horzPerspective(), first.vertPerspective());
            psnr = std::min(psnr, dragPsnr(rig, error));
        }
        pictures = rig.flatPictures();
    }
    cv::setNumThreads(int(state.range(0)));
    cv::Mat out;
    std::size_t step = 0;
    for (auto _ : state) {
        const cv::Mat& m = matrices[step++ % 2];
        for (const QImage& p : pictures) {
            peerWarp(p, m, out);
            benchmark::DoNotOptimize(out.data);
        }
    }
    cv::setNumThreads(-1);
    reportPsnr(state, psnr, error);
}
BENCHMARK(BM_PerspectiveDragOpenCV)
    ->Arg(8)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly();
#endif

} // namespace
