// The path toolkit beside lib2geom on the same paths and points, in the same run: winding
// numbers and points at a length along a 10 000-segment path, 1000 queries each; the
// crossings of two 5000-segment waves (about 2000).
#include "BenchMain.h"
#include "foundation/BezierPathAdditionsBooleans.h"
#include "foundation/BezierPathAdditionsGeometry.h"
#include "foundation/BezierPathAdditionsIntersections.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

#ifdef QUILLMARK_HAVE_2GEOM
#include <2geom/intersection-graph.h>
#include <2geom/path-intersection.h>
#include <2geom/path.h>
#include <2geom/pathvector.h>
#include <2geom/sbasis-geometric.h>
#endif

namespace {

using platform::BezierPath;
using platform::Point;

constexpr int kSegments = 10000;
constexpr int kQueries = 1000;

// A closed wandering outline of lines and curves that crosses itself, seeded.
BezierPath longPath(int segments, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coord(0.0, 1000.0);
    const auto point = [&] { return Point(coord(rng), coord(rng)); };
    BezierPath path;
    path.reserve(segments + 2);
    path.moveTo(point());
    for (int i = 0; i < segments; ++i) {
        if (i % 2) {
            const Point c1 = point();
            const Point c2 = point();
            path.curveTo(point(), c1, c2);
        } else {
            path.lineTo(point());
        }
    }
    path.closePath();
    return path;
}

std::vector<Point> queryPoints(unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coord(0.0, 1000.0);
    std::vector<Point> out(kQueries);
    for (Point& p : out)
        p = Point(coord(rng), coord(rng));
    return out;
}

const BezierPath& thePath()
{
    static const BezierPath path = longPath(kSegments, 1);
    return path;
}

// A wave along x of lines and curves, one unit per segment.
BezierPath wave(int segments, double frequency, double phase)
{
    const auto at = [&](double x) { return Point(x, 10.0 * std::sin(frequency * x + phase)); };
    BezierPath path;
    path.reserve(segments + 1);
    path.moveTo(at(0));
    for (int i = 0; i < segments; ++i) {
        if (i % 2)
            path.curveTo(at(i + 1), at(i + 1.0 / 3) + Point(0, 1), at(i + 2.0 / 3) - Point(0, 1));
        else
            path.lineTo(at(i + 1));
    }
    return path;
}

const BezierPath& waveA()
{
    static const BezierPath path = wave(5000, 0.9, 0.0);
    return path;
}

const BezierPath& waveB()
{
    static const BezierPath path = wave(5000, 1.3, 1.0);
    return path;
}

void BM_Intersect5k(benchmark::State& state)
{
    std::size_t count = 0;
    for (auto _ : state) {
        count = allIntersectionsWithPath(waveA(), waveB()).size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["crossings"] = double(count);
}
BENCHMARK(BM_Intersect5k)->Unit(benchmark::kMillisecond);

// A closed band around a wave: 2000 segments that the other band crosses many times.
BezierPath band(double frequency, double phase)
{
    BezierPath top = wave(1000, frequency, phase);
    const BezierPath bottom = wave(1000, frequency, phase)
                                  .transformed(platform::AffineTransform::makeTranslation(0, -4))
                                  .reversed();
    BezierPath path = top;
    for (int i = 1; i < bottom.elementCount(); ++i) {
        const platform::PathElement& e = bottom.elementAt(i);
        if (i == 1)
            path.lineTo(bottom.elementAt(0).points[0]);
        if (e.kind == platform::PathElementKind::LineTo)
            path.lineTo(e.points[0]);
        else if (e.kind == platform::PathElementKind::CurveTo)
            path.curveTo(e.points[2], e.points[0], e.points[1]);
    }
    path.closePath();
    return path;
}

void BM_Union(benchmark::State& state)
{
    const BezierPath a = band(0.31, 0.1);
    const BezierPath b = band(0.21, 2.0);
    double area = 0.0;
    for (auto _ : state) {
        area = signedArea(performBooleanOp(a, BooleanOp::Union, b));
        benchmark::DoNotOptimize(area);
    }
    state.counters["area"] = area;
    state.counters["segments"] = a.elementCount();
}
BENCHMARK(BM_Union)->Unit(benchmark::kMillisecond);

void BM_Winding10k(benchmark::State& state)
{
    const std::vector<Point> points = queryPoints(2);
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const Point& p : points)
            sum += getWinding(thePath(), p).winding;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_Winding10k)->Unit(benchmark::kMillisecond);

// Measure once, then the segment and parameter at 1000 fractions of the length, and the point.
void BM_Length10k(benchmark::State& state)
{
    for (auto _ : state) {
        const PathLengthTable table(thePath());
        double sum = 0.0;
        for (int i = 0; i < kQueries; ++i) {
            const KXBezierPathPosition pos = table.segmentAndParameter((i + 0.5) / kQueries, true);
            sum += getPointForPosition(thePath(), pos)->x;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_Length10k)->Unit(benchmark::kMillisecond);

#ifdef QUILLMARK_HAVE_2GEOM
Geom::PathVector toGeom(const BezierPath& path)
{
    Geom::PathVector out;
    const auto gp = [](const Point& p) { return Geom::Point(p.x, p.y); };
    for (const platform::PathElement& e : path.elements()) {
        if (e.kind == platform::PathElementKind::MoveTo)
            out.push_back(Geom::Path(gp(e.points[0])));
        else if (e.kind == platform::PathElementKind::LineTo)
            out.back().appendNew<Geom::LineSegment>(gp(e.points[0]));
        else if (e.kind == platform::PathElementKind::CurveTo)
            out.back().appendNew<Geom::CubicBezier>(
                gp(e.points[0]), gp(e.points[1]), gp(e.points[2]));
    }
    for (Geom::Path& sub : out)
        sub.close(true);
    return out;
}

void BM_Winding10k_Lib2geom(benchmark::State& state)
{
    const Geom::PathVector path = toGeom(thePath());
    const std::vector<Point> points = queryPoints(2);
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const Point& p : points)
            sum += path.winding(Geom::Point(p.x, p.y));
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_Winding10k_Lib2geom)->Unit(benchmark::kMillisecond);

// lib2geom's own route to points at lengths: the arc-length parametrisation of the path
// (measured once), evaluated at the same 1000 fractions.
void BM_Length10k_Lib2geom(benchmark::State& state)
{
    const Geom::PathVector path = toGeom(thePath());
    for (auto _ : state) {
        const Geom::Piecewise<Geom::D2<Geom::SBasis>> pw = path[0].toPwSb();
        const Geom::Piecewise<Geom::D2<Geom::SBasis>> byLength
            = Geom::arc_length_parametrization(pw, 3, 1e-6);
        const double total = byLength.domain().max();
        double sum = 0.0;
        for (int i = 0; i < kQueries; ++i)
            sum += byLength((i + 0.5) / kQueries * total)[Geom::X];
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_Length10k_Lib2geom)->Unit(benchmark::kMillisecond);

Geom::PathVector openGeom(const BezierPath& path)
{
    Geom::PathVector out = toGeom(path);
    for (Geom::Path& sub : out)
        sub.close(false);
    return out;
}

void BM_Intersect5k_Lib2geomCrossings(benchmark::State& state)
{
    const Geom::PathVector a = openGeom(waveA());
    const Geom::PathVector b = openGeom(waveB());
    std::size_t count = 0;
    for (auto _ : state) {
        const Geom::CrossingSet set = Geom::crossings(a, b);
        count = 0;
        for (const Geom::Crossings& c : set)
            count += c.size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["crossings"] = double(count);
}
BENCHMARK(BM_Intersect5k_Lib2geomCrossings)->Unit(benchmark::kMillisecond);

void BM_Intersect5k_Lib2geomIntersect(benchmark::State& state)
{
    const Geom::PathVector a = openGeom(waveA());
    const Geom::PathVector b = openGeom(waveB());
    std::size_t count = 0;
    for (auto _ : state) {
        count = a.intersect(b, 1e-9).size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["crossings"] = double(count);
}
BENCHMARK(BM_Intersect5k_Lib2geomIntersect)->Unit(benchmark::kMillisecond);

void BM_Union_Lib2geom(benchmark::State& state)
{
    const Geom::PathVector a = toGeom(band(0.31, 0.1));
    const Geom::PathVector b = toGeom(band(0.21, 2.0));
    std::size_t count = 0;
    for (auto _ : state) {
        try {
            Geom::PathIntersectionGraph graph(a, b);
            count = graph.getUnion().curveCount();
        } catch (...) {
            state.SkipWithError("lib2geom threw (its graph found the crossings inconsistent)");
            break;
        }
        benchmark::DoNotOptimize(count);
    }
    state.counters["curves"] = double(count);
}
BENCHMARK(BM_Union_Lib2geom)->Unit(benchmark::kMillisecond);
#endif

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QGuiApplication>(argc, argv);
}
