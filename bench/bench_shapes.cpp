// Shape boxes under an editor's load: a 1000 by 1000 star and oval callout with a gradient fill
// at 30 degrees, a 10-px gradient stroke, an inner shadow and a drop shadow, redrawn from the
// model every time (the outline is not cached) at 8 and at 2 threads; and the outline alone of
// a long pen path and a long smooth curve.
//
// For comparison the same run renders the equivalent SVG (the same polygon, two gradients, a
// 10-px bevelled stroke, inner- and drop-shadow filters) with librsvg into a cairo surface,
// parsed once and rendered each iteration, and prints the ratio of the medians (ours/librsvg).
#ifdef QUILLMARK_HAVE_RSVG
// Before any Qt header: glib's headers use names that Qt defines as macros.
#include <librsvg/rsvg.h>
#endif

#include "BenchMain.h"
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
std::string svgPoints(int type)
{
    Scene scene(type);
    const auto outline = MyShapeSuper::shapePath(*scene.shape);
    std::ostringstream out;
    out.precision(9);
    for (const PathElement& e : outline->elements()) {
        if (e.kind == PathElementKind::MoveTo || e.kind == PathElementKind::LineTo)
            out << e.points[0].x << ',' << (kCanvas - e.points[0].y) << ' ';
    }
    return out.str();
}

std::string hex(const Color& c)
{
    char s[8];
    std::snprintf(s, sizeof s, "#%02x%02x%02x", int(c.red * 255 + 0.5), int(c.green * 255 + 0.5),
        int(c.blue * 255 + 0.5));
    return s;
}

std::string svgDocument(int type)
{
    std::ostringstream svg;
    auto gradient = [&](const char* id, const Color& a, const Color& b) {
        svg << "<linearGradient id='" << id << "' gradientTransform='rotate(-30 0.5 0.5)'>"
            << "<stop offset='0' stop-color='" << hex(a) << "'/><stop offset='1' stop-color='"
            << hex(b) << "'/></linearGradient>";
    };
    svg << "<svg xmlns='http://www.w3.org/2000/svg' width='1100' height='1100'><defs>";
    gradient("fill", kFillStart, kFillEnd);
    gradient("stroke", kStrokeStart, kStrokeEnd);
    // Inner shadow: the shape's alpha shifted up by 10 and blurred (sigma 6), cut out of the
    // shape, in black at 0.75.
    svg << "<filter id='inner' x='-5%' y='-5%' width='110%' height='110%'>"
           "<feOffset in='SourceAlpha' dx='0' dy='-10'/>"
           "<feGaussianBlur stdDeviation='6' result='moved'/>"
           "<feComposite in='SourceAlpha' in2='moved' operator='out' result='edge'/>"
           "<feFlood flood-color='black' flood-opacity='0.75'/>"
           "<feComposite in2='edge' operator='in' result='shadow'/>"
           "<feMerge><feMergeNode in='SourceGraphic'/><feMergeNode in='shadow'/></feMerge>"
           "</filter>";
    // Drop shadow: 10 down, sigma 5, black at 0.75, under the whole shape.
    svg << "<filter id='drop' x='-5%' y='-5%' width='115%' height='115%'>"
           "<feGaussianBlur in='SourceAlpha' stdDeviation='5'/>"
           "<feOffset dx='0' dy='10'/>"
           "<feComponentTransfer><feFuncA type='linear' slope='0.75'/></feComponentTransfer>"
           "<feMerge><feMergeNode/><feMergeNode in='SourceGraphic'/></feMerge>"
           "</filter></defs>";
    const std::string points = svgPoints(type);
    svg << "<g filter='url(#drop)'>"
        << "<polygon points='" << points << "' fill='url(#fill)' filter='url(#inner)'/>"
        << "<polygon points='" << points
        << "' fill='none' stroke='url(#stroke)' stroke-width='10' stroke-linejoin='bevel'/>"
        << "</g></svg>";
    return svg.str();
}

#ifdef QUILLMARK_HAVE_RSVG
void BM_LibrsvgRedraw(benchmark::State& state, int type)
{
    const std::string doc = svgDocument(type);
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_data(
        reinterpret_cast<const guint8*>(doc.data()), gsize(doc.size()), &error);
    if (!handle) {
        state.SkipWithError(error ? error->message : "librsvg refused the document");
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1100, 1100);
    const RsvgRectangle viewport { 0, 0, kCanvas, kCanvas };
    for (auto _ : state) {
        cairo_t* cr = cairo_create(surface);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        if (!rsvg_handle_render_document(handle, cr, &viewport, nullptr))
            state.SkipWithError("librsvg failed to render");
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    cairo_surface_destroy(surface);
    g_object_unref(handle);
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
        for (int threads : { 8, 2 }) {
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
        for (int threads : { 8, 2 }) {
            const auto ours = reporter.medians.find(
                std::string("BM_ShapeRedraw/") + kind + "/" + std::to_string(threads) + "threads");
            if (ours != reporter.medians.end())
                std::printf("%s, %d threads: ours %.2f ms, librsvg %.2f ms, ratio %.3f\n", kind,
                    threads, ours->second, svg->second, ours->second / svg->second);
        }
    }
#else
    std::printf("librsvg comparison skipped: built without librsvg2-dev\n");
#endif
    return 0;
}
