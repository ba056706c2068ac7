// The path toolkit beside lib2geom on the same paths and points, in the same run: winding
// numbers, points at a length and the nearest crossing of a line along a 10 000-segment path
// (1000 and 100 queries); the nearest points of 10 000 curves; the crossings of two
// 5000-segment waves (about 2000); unions of two bands crossing each other often and of
// twelve smooth blobs crossing a few times. After the runs a table gives each operation's
// time beside lib2geom's, the ratio, and how far the two answers agree.
#include "../tests/foundation/PathRig.h"
#include "BenchMain.h"
#include "foundation/BezierPathAdditionsBooleans.h"
#include "foundation/BezierPathAdditionsGeometry.h"
#include "foundation/BezierPathAdditionsIntersections.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#ifdef QUILLMARK_HAVE_2GEOM
#include <2geom/bezier-curve.h>
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

// Twelve smooth blobs in two paths of six (60 or 400 curves each) that cross a few times.
BezierPath blobs(int segments, bool second)
{
    return pathrig::smoothBlobs(segments, second);
}

void BM_UnionBlobs(benchmark::State& state)
{
    const BezierPath a = blobs(int(state.range(0)), false);
    const BezierPath b = blobs(int(state.range(0)), true);
    double area = 0.0;
    for (auto _ : state) {
        area = signedArea(performBooleanOp(a, BooleanOp::Union, b));
        benchmark::DoNotOptimize(area);
    }
    state.counters["elements"] = a.elementCount();
}
BENCHMARK(BM_UnionBlobs)->Arg(60)->Arg(400)->Unit(benchmark::kMillisecond);

// A circle (four curves) and its upper half cut at other places (four curves and the
// diameter): outlines that coincide along the whole upper half.
std::pair<BezierPath, BezierPath> circleAndHalf()
{
    const BezierPath circle = BezierPath::oval(platform::Rect(50, 50, 100, 100));
    const auto arc = [&](int i) {
        const platform::PathElement& prev = circle.elementAt(i - 1);
        const Point start
            = prev.kind == platform::PathElementKind::CurveTo ? prev.points[2] : prev.points[0];
        const platform::PathElement& e = circle.elementAt(i);
        return std::array<Point, 4> { start, e.points[0], e.points[1], e.points[2] };
    };
    const CurveSplit first = splitCurve(arc(1), 0.3);
    const CurveSplit second = splitCurve(arc(2), 0.6);
    BezierPath half;
    half.moveTo(first.first[0]);
    for (const auto& p : { first.first, first.second, second.first, second.second })
        half.curveTo(p[3], p[1], p[2]);
    half.closePath();
    return { circle, half };
}

void BM_UnionCircleHalf(benchmark::State& state)
{
    const auto [circle, half] = circleAndHalf();
    double area = 0.0;
    for (auto _ : state) {
        area = signedArea(performBooleanOp(circle, BooleanOp::Union, half));
        benchmark::DoNotOptimize(area);
    }
}
BENCHMARK(BM_UnionCircleHalf)->Unit(benchmark::kMillisecond);

// 10 000 curves and a point near each.
struct NearCase {
    std::array<Point, 4> curve;
    Point p;
};

const std::vector<NearCase>& nearCases()
{
    static const std::vector<NearCase> cases = [] {
        std::mt19937 rng(5);
        std::uniform_real_distribution<double> coord(0.0, 100.0);
        const auto point = [&] { return Point(coord(rng), coord(rng)); };
        std::vector<NearCase> out(10000);
        for (NearCase& c : out)
            c = { { point(), point(), point(), point() }, point() };
        return out;
    }();
    return cases;
}

void BM_Nearest10k(benchmark::State& state)
{
    for (auto _ : state) {
        double sum = 0.0;
        for (const NearCase& c : nearCases())
            sum += *nearestCurveParameter(
                Coefficients::curve(c.curve[0], c.curve[1], c.curve[2], c.curve[3]), c.p);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_Nearest10k)->Unit(benchmark::kMillisecond);

// 100 lines across the 10 000-segment path, each from a point on one side of the square to one
// on the opposite side.
std::vector<std::pair<Point, Point>> lines()
{
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> coord(0.0, 1000.0);
    std::vector<std::pair<Point, Point>> out;
    for (int i = 0; i < 100; ++i)
        out.push_back(i % 2 ? std::pair(Point(-10, coord(rng)), Point(1010, coord(rng)))
                            : std::pair(Point(coord(rng), -10), Point(coord(rng), 1010)));
    return out;
}

void BM_LineIntersect10k(benchmark::State& state)
{
    const auto ls = lines();
    for (auto _ : state) {
        double sum = 0.0;
        for (const auto& [from, to] : ls) {
            Point p;
            if (intersectionWithLine(thePath(), &p, from, to))
                sum += p.x;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_LineIntersect10k)->Unit(benchmark::kMillisecond);

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

void BM_UnionBlobs_Lib2geom(benchmark::State& state)
{
    const Geom::PathVector a = toGeom(blobs(int(state.range(0)), false));
    const Geom::PathVector b = toGeom(blobs(int(state.range(0)), true));
    std::size_t count = 0;
    for (auto _ : state) {
        Geom::PathIntersectionGraph graph(a, b);
        count = graph.getUnion().curveCount();
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_UnionBlobs_Lib2geom)->Arg(60)->Arg(400)->Unit(benchmark::kMillisecond);

void BM_UnionCircleHalf_Lib2geom(benchmark::State& state)
{
    const auto [circle, half] = circleAndHalf();
    const Geom::PathVector a = toGeom(circle);
    const Geom::PathVector b = toGeom(half);
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
}
BENCHMARK(BM_UnionCircleHalf_Lib2geom)->Unit(benchmark::kMillisecond);

void BM_Nearest10k_Lib2geom(benchmark::State& state)
{
    std::vector<Geom::CubicBezier> curves;
    for (const NearCase& c : nearCases())
        curves.emplace_back(Geom::Point(c.curve[0].x, c.curve[0].y),
            Geom::Point(c.curve[1].x, c.curve[1].y), Geom::Point(c.curve[2].x, c.curve[2].y),
            Geom::Point(c.curve[3].x, c.curve[3].y));
    for (auto _ : state) {
        double sum = 0.0;
        for (std::size_t i = 0; i < curves.size(); ++i)
            sum += curves[i].nearestTime(Geom::Point(nearCases()[i].p.x, nearCases()[i].p.y));
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_Nearest10k_Lib2geom)->Unit(benchmark::kMillisecond);

// lib2geom's nearest crossing along each line: every crossing of the path with the segment,
// the smallest time on the line.
void BM_LineIntersect10k_Lib2geom(benchmark::State& state)
{
    const Geom::Path path = toGeom(thePath())[0];
    const auto ls = lines();
    for (auto _ : state) {
        double sum = 0.0;
        for (const auto& [from, to] : ls) {
            Geom::Path line(Geom::Point(from.x, from.y));
            line.appendNew<Geom::LineSegment>(Geom::Point(to.x, to.y));
            double best = 2.0;
            for (const Geom::PathIntersection& x : line.intersect(path, 1e-9))
                best = std::min(best, x.first.t);
            if (best <= 1.0)
                sum += from.x + (to.x - from.x) * best;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_LineIntersect10k_Lib2geom)->Unit(benchmark::kMillisecond);
#endif

// The console output, keeping each run's time (the median where runs repeat) by name.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        // Aggregates follow their runs: the median replaces the last run's time.
        for (const Run& r : runs) {
            const bool aggregate = r.run_type == Run::RT_Aggregate;
            if (!r.error_occurred && (!aggregate || r.aggregate_name == "median"))
                times[r.run_name.str()] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

Collector gCollector;

#ifdef QUILLMARK_HAVE_2GEOM
// How far our answers and lib2geom's agree, computed once after the timed runs.

// The area of lib2geom's result by even-odd nesting of its outlines (it keeps the inputs'
// directions, so signed areas would not add up).
double evenOddArea(const Geom::PathVector& paths)
{
    std::vector<BezierPath> subs;
    for (const Geom::Path& p : paths) {
        BezierPath sub;
        const auto pt = [](const Geom::Point& q) { return Point(q[Geom::X], q[Geom::Y]); };
        sub.moveTo(pt(p.initialPoint()));
        for (std::size_t i = 0; i < p.size_closed(); ++i) {
            if (const auto* cubic = dynamic_cast<const Geom::CubicBezier*>(&p[i]))
                sub.curveTo(pt((*cubic)[3]), pt((*cubic)[1]), pt((*cubic)[2]));
            else
                sub.lineTo(pt(p[i].finalPoint()));
        }
        sub.closePath();
        subs.push_back(sub);
    }
    double area = 0.0;
    for (std::size_t i = 0; i < subs.size(); ++i) {
        const Point probe = subs[i].elementAt(0).points[0];
        int depth = 0;
        for (std::size_t j = 0; j < subs.size(); ++j)
            depth += j != i && getWinding(subs[j], probe).winding != 0;
        area += (depth % 2 ? -1 : 1) * std::abs(signedArea(subs[i]));
    }
    return area;
}

std::string unionAgreement(const BezierPath& a, const BezierPath& b)
{
    const double ours = signedArea(performBooleanOp(a, BooleanOp::Union, b));
    try {
        Geom::PathIntersectionGraph graph(toGeom(a), toGeom(b));
        const double theirs = evenOddArea(graph.getUnion());
        char text[96];
        std::snprintf(text, sizeof text, "areas differ by %.1e of the area",
            std::abs(ours - theirs) / std::abs(theirs));
        return text;
    } catch (...) {
        return "lib2geom threw";
    }
}

std::string windingAgreement()
{
    const Geom::PathVector geom = toGeom(thePath());
    const BezierPath square = BezierPath::rect(platform::Rect(0, 0, 1, 1));
    const int sense
        = getWinding(square, { 0.5, 0.5 }).winding * toGeom(square).winding({ 0.5, 0.5 });
    int differ = 0;
    for (const Point& p : queryPoints(2))
        differ += getWinding(thePath(), p).winding != sense * geom.winding({ p.x, p.y });
    return std::to_string(differ) + " of 1000 winding numbers differ";
}

std::string lengthAgreement()
{
    const Geom::PathVector path = toGeom(thePath());
    const auto byLength = Geom::arc_length_parametrization(path[0].toPwSb(), 3, 1e-6);
    const double total = byLength.domain().max();
    const PathLengthTable table(thePath());
    double worst = 0.0;
    for (int i = 0; i < kQueries; ++i) {
        const double f = (i + 0.5) / kQueries;
        const Point ours = *getPointForPosition(thePath(), table.segmentAndParameter(f, true));
        const Geom::Point theirs = byLength(f * total);
        worst = std::max(worst, std::hypot(ours.x - theirs[Geom::X], ours.y - theirs[Geom::Y]));
    }
    char text[96];
    std::snprintf(text, sizeof text, "points at most %.1e apart (lib2geom at its 1e-6)", worst);
    return text;
}

std::string nearestAgreement()
{
    double worst = 0.0;
    for (const NearCase& c : nearCases()) {
        const Coefficients k = Coefficients::curve(c.curve[0], c.curve[1], c.curve[2], c.curve[3]);
        const Point ours = k.at(*nearestCurveParameter(k, c.p));
        const Geom::CubicBezier g(Geom::Point(c.curve[0].x, c.curve[0].y),
            Geom::Point(c.curve[1].x, c.curve[1].y), Geom::Point(c.curve[2].x, c.curve[2].y),
            Geom::Point(c.curve[3].x, c.curve[3].y));
        const Geom::Point theirs = g.pointAt(g.nearestTime(Geom::Point(c.p.x, c.p.y)));
        worst = std::max(worst,
            std::abs(std::hypot(ours.x - c.p.x, ours.y - c.p.y)
                - Geom::distance(theirs, Geom::Point(c.p.x, c.p.y))));
    }
    char text[96];
    std::snprintf(text, sizeof text, "distances differ by at most %.1e", worst);
    return text;
}

std::string lineAgreement()
{
    const Geom::Path path = toGeom(thePath())[0];
    double worst = 0.0;
    int differ = 0;
    for (const auto& [from, to] : lines()) {
        Point ours;
        const bool found = intersectionWithLine(thePath(), &ours, from, to);
        Geom::Path line(Geom::Point(from.x, from.y));
        line.appendNew<Geom::LineSegment>(Geom::Point(to.x, to.y));
        double best = 2.0;
        for (const Geom::PathIntersection& x : line.intersect(path, 1e-9))
            best = std::min(best, x.first.t);
        if (found != (best <= 1.0)) {
            ++differ;
            continue;
        }
        if (found) {
            const Point theirs = from + (to - from) * best;
            worst = std::max(worst, std::hypot(ours.x - theirs.x, ours.y - theirs.y));
        }
    }
    char text[96];
    std::snprintf(text, sizeof text, "crossings at most %.1e apart, %d of 100 found by one only",
        worst, differ);
    return text;
}

std::string crossingAgreement()
{
    const auto ours = allIntersectionsWithPath(waveA(), waveB());
    const auto theirs = openGeom(waveA()).intersect(openGeom(waveB()), 1e-9);
    double worst = 0.0;
    for (const auto& t : theirs) {
        double nearest = INFINITY;
        for (const KXBezierPathIntersection& r : ours)
            nearest = std::min(nearest,
                std::hypot(t.point()[Geom::X] - r.location.x, t.point()[Geom::Y] - r.location.y));
        worst = std::max(worst, nearest);
    }
    char text[128];
    std::snprintf(text, sizeof text,
        "%zu and %zu crossings, each of lib2geom's within %.1e of ours", ours.size(), theirs.size(),
        worst);
    return text;
}

void printSummary()
{
    const struct {
        const char* what;
        const char* ours;
        const char* theirs;
        std::string (*agreement)();
    } rows[] = {
        { "winding, 1000 points, 10k segments", "BM_Winding10k", "BM_Winding10k_Lib2geom",
            windingAgreement },
        { "point at a length, 1000, 10k segments", "BM_Length10k", "BM_Length10k_Lib2geom",
            lengthAgreement },
        { "nearest point, 10 000 curves", "BM_Nearest10k", "BM_Nearest10k_Lib2geom",
            nearestAgreement },
        { "nearest line crossing, 100 lines, 10k", "BM_LineIntersect10k",
            "BM_LineIntersect10k_Lib2geom", lineAgreement },
        { "crossings of two 5000-segment waves", "BM_Intersect5k",
            "BM_Intersect5k_Lib2geomIntersect", crossingAgreement },
        { "union of two bands (2000 + 2000)", "BM_Union", "BM_Union_Lib2geom",
            [] { return unionAgreement(band(0.31, 0.1), band(0.21, 2.0)); } },
        { "union of a circle and its half", "BM_UnionCircleHalf", "BM_UnionCircleHalf_Lib2geom",
            [] {
                const auto [circle, half] = circleAndHalf();
                const double whole = signedArea(circle);
                const double ours = signedArea(performBooleanOp(circle, BooleanOp::Union, half));
                char text[96];
                std::snprintf(text, sizeof text, "area differs from the circle's by %.1e of it",
                    std::abs(ours - whole) / whole);
                return std::string(text);
            } },
        { "union of blobs (372 + 372)", "BM_UnionBlobs/60", "BM_UnionBlobs_Lib2geom/60",
            [] { return unionAgreement(blobs(60, false), blobs(60, true)); } },
        { "union of blobs (2412 + 2412)", "BM_UnionBlobs/400", "BM_UnionBlobs_Lib2geom/400",
            [] { return unionAgreement(blobs(400, false), blobs(400, true)); } },
    };
    std::printf(
        "\n%-40s %10s %10s %7s  %s\n", "operation", "ours ms", "lib2geom", "ratio", "agreement");
    for (const auto& row : rows) {
        const auto ours = gCollector.times.find(row.ours);
        const auto theirs = gCollector.times.find(row.theirs);
        if (ours == gCollector.times.end())
            continue;
        if (theirs == gCollector.times.end())
            std::printf("%-40s %10.3f %10s %7s  %s\n", row.what, ours->second, "failed", "-",
                row.agreement().c_str());
        else
            std::printf("%-40s %10.3f %10.3f %6.2fx  %s\n", row.what, ours->second, theirs->second,
                ours->second / theirs->second, row.agreement().c_str());
    }
}
#else
void printSummary()
{
}
#endif

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QGuiApplication>(argc, argv, &gCollector, printSummary);
}
