// Shape boxes under an editor's load: a 1000 by 1000 star and oval callout with a gradient fill
// at 30 degrees, a 10-px gradient stroke, an inner shadow and a drop shadow, redrawn from the
// model every time (the outline is not cached) at 8 and at 2 threads; and the outline alone of
// a long pen path and a long smooth curve.
//
// For comparison the same run renders the equivalent SVG (the same polygon, two gradients, a
// 10-px bevelled stroke, inner- and drop-shadow filters) with librsvg into a cairo surface,
// parsed once and rendered each iteration, and prints the ratio of the medians (ours/librsvg)
// at 8, 2 and 1 threads of ours (librsvg draws on one), with the PSNR of the two pictures: a
// ratio only means something while the two draw the same picture.
#ifdef QUILLMARK_HAVE_RSVG
// Before any Qt header.
#include "SvgPeer.h"
#endif

#include "BenchMain.h"
#include "PicturePsnr.h"
#include "SvgInnerShadow.h"
#include "boxes/MyPerspectiveView.h"
#include "boxes/MyShapeSuper.h"
#include "boxes/MyShapeView.h"
#include "platform/concurrency/ThreadPool.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <map>
#include <sstream>

using namespace platform;

namespace {

constexpr double kCanvas = 1100.0;
constexpr int kThreads[] = { 8, 2, 1 };
const Rect kBox(50, 50, 1000, 1000);

SZGradient linear(const Color& a, const Color& b, double angle)
{
    SZGradient g;
    g.gradientType = SZGradient::LinearFill;
    g.gradient = Gradient(a, b);
    g.angle = angle;
    return g;
}

const Color kFillStart(0.9, 0.2, 0.1), kFillEnd(0.1, 0.3, 0.9);
const Color kStrokeStart(1.0, 0.9, 0.2), kStrokeEnd(0.2, 0.6, 0.1);

// The canvas with one shape nest on it: canvas > warp view > wrapper > shape.
struct Scene {
    View canvas { Rect(0, 0, kCanvas, kCanvas) };
    MyShapeView* shape = nullptr;

    explicit Scene(int type)
    {
        auto* warp = canvas.addSubview(std::make_unique<MyPerspectiveView>(canvas.bounds()));
        auto* wrapper = warp->addSubview(std::make_unique<MyShapeSuper>(canvas.bounds()));
        shape = wrapper->addSubview(std::make_unique<MyShapeView>(kBox, type));
        shape->setOverlayColor(linear(kFillStart, kFillEnd, 30.0));
        shape->setStrokeColor(linear(kStrokeStart, kStrokeEnd, 30.0));
        shape->setStrokeSize(10);
        shape->setInnerShadowColor(Color(0, 0, 0, 0.75));
        shape->setInnerShadowOffsetSize(10);
        shape->setInnerShadowBlurSize(12);
        shape->setShadowColor(Color(0, 0, 0, 0.75));
        shape->setShadowOffsetSize(10);
        shape->setShadowBlurSize(10);
        shape->setShadows();
    }
};

const char* kindName(int type)
{
    return type == shape::Star ? "star" : "callout";
}

void BM_ShapeRedraw(benchmark::State& state, int type, int threads)
{
    ThreadPool::setMaxThreads(threads);
    Scene scene(type);
    for (auto _ : state) {
        // The canvas, so that the warp view's drop shadow is drawn as well.
        const Image image = renderToImage(scene.canvas, scene.canvas.bounds(), 1.0);
        benchmark::DoNotOptimize(image.toQImage().constBits());
    }
}

// Where a redraw's time goes: the star with its parts added one by one (fill; stroke; inner
// shadow; drop shadow), at the pool's default size.
void BM_ShapeRedrawParts(benchmark::State& state)
{
    const int parts = int(state.range(0));
    Scene scene(shape::Star);
    if (parts < 2)
        scene.shape->setStrokeSize(0);
    if (parts < 3)
        scene.shape->setInnerShadowOffsetSize(0);
    if (parts < 4) {
        scene.shape->setShadowColor(std::nullopt);
        scene.shape->setShadows();
    }
    for (auto _ : state) {
        const Image image = renderToImage(scene.canvas, scene.canvas.bounds(), 1.0);
        benchmark::DoNotOptimize(image.toQImage().constBits());
    }
    const char* labels[] = { "", "fill", "+ stroke", "+ inner shadow", "+ drop shadow" };
    state.SetLabel(labels[parts]);
}

// ---- long outlines

std::unique_ptr<MyShapeView> longPath(int type, int count)
{
    auto s = std::make_unique<MyShapeView>(Rect(0, 0, 6000, 6000), type);
    std::vector<Point> points;
    std::vector<ControlValue> flags;
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / double(count - 1);
        // Sweeping across the box while winding up and down, as a hand-drawn path does.
        points.emplace_back(t, 0.5 + 0.4 * std::sin(t * 40.0));
        flags.emplace_back(i == 0 || i == count - 1);
    }
    s->setPoints(points);
    s->setControlVals(flags);
    s->setEndType(shape::ArrowHead);
    return s;
}

void BM_LongPathOutline(benchmark::State& state, int type, int count)
{
    const auto s = longPath(type, count);
    for (auto _ : state) {
        const auto outline = MyShapeSuper::shapePath(*s);
        benchmark::DoNotOptimize(outline->elementCount());
    }
}

// ---- the SVG comparison

// The polygon the shape draws, in SVG's y-down coordinates of the canvas.
std::vector<Point> svgPolygon(int type)
{
    Scene scene(type);
    const auto outline = MyShapeSuper::shapePath(*scene.shape);
    std::vector<Point> points;
    for (const PathElement& e : outline->elements()) {
        if (e.kind == PathElementKind::MoveTo || e.kind == PathElementKind::LineTo)
            points.emplace_back(e.points[0].x, kCanvas - e.points[0].y);
    }
    return points;
}

std::string hex(const Color& c)
{
    char s[8];
    std::snprintf(s, sizeof s, "#%02x%02x%02x", int(c.red * 255 + 0.5), int(c.green * 255 + 0.5),
        int(c.blue * 255 + 0.5));
    return s;
}

// The same picture as the shape draws, in SVG (y down). The gradients are placed as the box
// places them, in the canvas's own units: the fill's first and last colours on the opposite
// corners of the outline's bounds along its angle, the stroke's from one end to the other of
// the grown bounds' diagonal circle along the stroke's angle. Then the stroke over the fill,
// the inner shadow over both inside the outline, and the drop shadow under everything.
std::string svgDocument(int type)
{
    const std::vector<Point> polygon = svgPolygon(type);
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    std::ostringstream points;
    points.precision(9);
    for (const Point& p : polygon) {
        points << p.x << ',' << p.y << ' ';
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    std::ostringstream svg;
    svg.precision(9);
    auto gradient = [&](const char* id, const Color& a, const Color& b, Point from, Point to) {
        svg << "<linearGradient id='" << id << "' gradientUnits='userSpaceOnUse' x1='" << from.x
            << "' y1='" << from.y << "' x2='" << to.x << "' y2='" << to.y << "'>"
            << "<stop offset='0' stop-color='" << hex(a) << "'/><stop offset='1' stop-color='"
            << hex(b) << "'/></linearGradient>";
    };
    svg << "<svg xmlns='http://www.w3.org/2000/svg' width='1100' height='1100'><defs>";
    {
        // The fill's angle is y-up and counted the other way round (360 - angle).
        const double rad = (360.0 - 30.0) * M_PI / 180.0;
        const Point u(std::cos(rad), -std::sin(rad));
        const Point corners[] = { { minX, minY }, { maxX, minY }, { maxX, maxY }, { minX, maxY } };
        Point lo = corners[0];
        double loDot = 1e300, hiDot = -1e300;
        for (const Point& c : corners) {
            const double dot = c.x * u.x + c.y * u.y;
            if (dot < loDot) {
                loDot = dot;
                lo = c;
            }
            hiDot = std::max(hiDot, dot);
        }
        const double span = hiDot - loDot;
        gradient("fill", kFillStart, kFillEnd, lo, Point(lo.x + u.x * span, lo.y + u.y * span));
    }
    {
        const double grow = 10.0; // the stroke's width
        const double hw = (maxX - minX) / 2 + grow, hh = (maxY - minY) / 2 + grow;
        const double r = std::sqrt(hw * hw + hh * hh);
        const Point c((minX + maxX) / 2, (minY + maxY) / 2);
        const double a = 30.0 * M_PI / 180.0;
        gradient("stroke", kStrokeStart, kStrokeEnd,
            Point(c.x + r * std::cos(a), c.y - r * std::sin(a)),
            Point(c.x - r * std::cos(a), c.y + r * std::sin(a)));
    }
    // Inner shadow: blur 12 (sigma 6), moved 10 up (the shape's angle of 90, y up), black at
    // 0.75.
    svg << svgInnerShadowFilter("inner", 0, -10, 6, 0.75);
    // Drop shadow: 10 down, sigma 5, black at 0.75, under the whole shape.
    svg << "<filter id='drop' x='-5%' y='-5%' width='115%' height='115%'>"
           "<feGaussianBlur in='SourceAlpha' stdDeviation='5'/>"
           "<feOffset dx='0' dy='10'/>"
           "<feComponentTransfer><feFuncA type='linear' slope='0.75'/></feComponentTransfer>"
           "<feMerge><feMergeNode/><feMergeNode in='SourceGraphic'/></feMerge>"
           "</filter></defs>";
    svg << "<g filter='url(#drop)'>"
        << "<polygon points='" << points.str() << "' fill='url(#fill)'/>"
        << "<polygon points='" << points.str()
        << "' fill='none' stroke='url(#stroke)' stroke-width='10' stroke-linejoin='bevel'/>"
        << "<polygon points='" << points.str() << "' fill='black' filter='url(#inner)'/>"
        << "</g></svg>";
    return svg.str();
}

#ifdef QUILLMARK_HAVE_RSVG
void BM_LibrsvgRedraw(benchmark::State& state, int type)
{
    SvgPeer peer(svgDocument(type), int(kCanvas), int(kCanvas));
    if (!peer.isValid()) {
        state.SkipWithError(peer.error().c_str());
        return;
    }
    for (auto _ : state) {
        if (!peer.render())
            state.SkipWithError("librsvg failed to render");
        benchmark::DoNotOptimize(peer.picture().constBits());
    }
}

// Both pictures once, ours at the pool's default size.
QImage oursPicture(int type)
{
    Scene scene(type);
    return renderToImage(scene.canvas, scene.canvas.bounds(), 1.0).toQImage();
}

QImage librsvgPicture(int type)
{
    SvgPeer peer(svgDocument(type), int(kCanvas), int(kCanvas));
    return peer.render() ? peer.picture().copy() : QImage();
}

double shapePsnr(int type)
{
    return picturePsnr(oursPicture(type), librsvgPicture(type), kindName(type));
}
#endif

void configure(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (int type : { int(shape::Star), int(shape::OvalCallout) }) {
        for (int threads : kThreads) {
            const std::string name = std::string("BM_ShapeRedraw/") + kindName(type) + "/"
                + std::to_string(threads) + "threads";
            configure(benchmark::RegisterBenchmark(name.c_str(), BM_ShapeRedraw, type, threads));
        }
#ifdef QUILLMARK_HAVE_RSVG
        const std::string name = std::string("BM_LibrsvgRedraw/") + kindName(type);
        configure(benchmark::RegisterBenchmark(name.c_str(), BM_LibrsvgRedraw, type));
#endif
    }
    benchmark::RegisterBenchmark("BM_ShapeRedrawParts", BM_ShapeRedrawParts)
        ->DenseRange(1, 4)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    configure(benchmark::RegisterBenchmark(
        "BM_LongPathOutline/pen2000", BM_LongPathOutline, int(shape::PenPath), 2000));
    configure(benchmark::RegisterBenchmark(
        "BM_LongPathOutline/curve100", BM_LongPathOutline, int(shape::Curve), 100));

    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

#ifdef QUILLMARK_HAVE_RSVG
    for (const char* kind : { "star", "callout" }) {
        const auto svg = reporter.medians.find(std::string("BM_LibrsvgRedraw/") + kind);
        if (svg == reporter.medians.end())
            continue;
        const double psnr
            = shapePsnr(std::string(kind) == "star" ? shape::Star : shape::OvalCallout);
        for (int threads : kThreads) {
            const auto ours = reporter.medians.find(
                std::string("BM_ShapeRedraw/") + kind + "/" + std::to_string(threads) + "threads");
            if (ours != reporter.medians.end())
                std::printf("%s, %d thread%s: ours %.2f ms, librsvg %.2f ms, ratio %.3f, "
                            "PSNR %.1f dB\n",
                    kind, threads, threads == 1 ? "" : "s", ours->second, svg->second,
                    ours->second / svg->second, psnr);
        }
    }
#else
    std::printf("librsvg comparison skipped: built without librsvg2-dev\n");
#endif
    return 0;
}
