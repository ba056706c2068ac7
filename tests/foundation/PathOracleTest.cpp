// The path toolkit against lib2geom on seeded random paths.
#ifdef QUILLMARK_HAVE_2GEOM
#include "PathRig.h"
#include "foundation/BezierPathAdditionsGeometry.h"

#include <2geom/bezier-curve.h>
#include <2geom/sbasis-geometric.h>
#include <QString>
#include <gtest/gtest.h>

namespace {

using platform::BezierPath;
using platform::Point;

constexpr int kCases = pathrig::kOracleCases;

TEST(PathOracle, WindingMatchesLib2geom)
{
    std::mt19937 rng(2024);
    std::uniform_real_distribution<double> coord(-10.0, 110.0);
    // lib2geom counts turns the other way round: find its sign on a counter-clockwise square.
    const BezierPath square = BezierPath::rect(platform::Rect(0, 0, 1, 1));
    const int sense
        = getWinding(square, { 0.5, 0.5 }).winding * pathrig::toGeom(square).winding({ 0.5, 0.5 });
    ASSERT_NE(sense, 0);
    for (int i = 0; i < kCases; ++i) {
        const BezierPath path = pathrig::randomPath(rng, 1 + i % 3, 1 + i % 7);
        const Point p(coord(rng), coord(rng));
        const Winding w = getWinding(path, p);
        if (w.hits > 0)
            continue;
        ASSERT_EQ(w.winding, sense * pathrig::toGeom(path).winding({ p.x, p.y })) << "case " << i;
    }
}

// lib2geom's own polyline through its curves' points, dense enough to be exact to ~1e-10.
double denseLength(const Geom::PathVector& paths)
{
    double sum = 0.0;
    for (const Geom::Path& sub : paths)
        for (std::size_t k = 0; k < sub.size_closed(); ++k) {
            constexpr int kSteps = 200000;
            Geom::Point prev = sub[k].initialPoint();
            for (int i = 1; i <= kSteps; ++i) {
                const Geom::Point next = sub[k].pointAt(double(i) / kSteps);
                sum += Geom::distance(prev, next);
                prev = next;
            }
        }
    return sum;
}

TEST(PathOracle, LengthMatchesLib2geom)
{
    std::mt19937 rng(99);
    int loose = 0;
    for (int i = 0; i < kCases; ++i) {
        const BezierPath path = pathrig::randomPath(rng, 1 + i % 3, 1 + i % 7);
        double ours = 0.0;
        lengthToSegment(path, 0, 0.0, &ours);
        const Geom::PathVector geom = pathrig::toGeom(path);
        double theirs = 0.0;
        for (const Geom::Path& sub : geom)
            for (std::size_t k = 0; k < sub.size_closed(); ++k)
                theirs += sub[k].length(1e-10);
        if (std::abs(ours - theirs) > 1e-6 * theirs) {
            // lib2geom's estimate is loose on a few sharply bent curves: there the dense
            // polyline of its own points decides.
            ++loose;
            ASSERT_NEAR(ours, denseLength(geom), 1e-8 * theirs) << "case " << i;
        }
    }
    EXPECT_LT(loose, kCases / 1000);
}

// The nearest point of a curve: ours by the stroke hit test with a radius that reaches the
// whole curve, lib2geom's by CubicBezier::nearestTime. The distances must agree (the times may
// differ where two points of the curve are equally near).
TEST(PathOracle, NearestPointMatchesLib2geom)
{
    std::mt19937 rng(41);
    std::uniform_real_distribution<double> coord(0.0, 100.0);
    const auto point = [&] { return Point(coord(rng), coord(rng)); };
    double worst = 0.0; // how much nearer lib2geom's point lies (never more than 1e-6)
    double best = 0.0; // how much nearer ours lies
    for (int i = 0; i < kCases; ++i) {
        const std::array<Point, 4> c { point(), point(), point(), point() };
        const Point p(coord(rng) * 1.4 - 20, coord(rng) * 1.4 - 20);
        double t = -1;
        ASSERT_TRUE(_curvedLineHit(p, c[0], c[3], c[1], c[2], &t, 1000.0)) << "case " << i;
        const Point ours = Coefficients::curve(c[0], c[1], c[2], c[3]).at(t);
        const Geom::CubicBezier geom(
            { c[0].x, c[0].y }, { c[1].x, c[1].y }, { c[2].x, c[2].y }, { c[3].x, c[3].y });
        const Geom::Point theirs = geom.pointAt(geom.nearestTime({ p.x, p.y }));
        const double mine = std::hypot(ours.x - p.x, ours.y - p.y);
        const double other = Geom::distance(theirs, Geom::Point(p.x, p.y));
        worst = std::max(worst, mine - other);
        best = std::max(best, other - mine);
        ASSERT_LE(mine, other + 1e-6) << "case " << i;
    }
    RecordProperty("lib2geom nearer by", QString::number(worst, 'g', 3).toStdString());
    RecordProperty("ours nearer by", QString::number(best, 'g', 3).toStdString());
}

// The length along a lib2geom path up to a curve and time, by a dense polyline through its
// own points (lib2geom's length estimate is loose on sharply bent curves).
double geomLengthTo(const Geom::Path& path, std::size_t curve, double t)
{
    constexpr int kSteps = 100000;
    double sum = 0.0;
    for (std::size_t k = 0; k <= curve && k < path.size_closed(); ++k) {
        const double end = k < curve ? 1.0 : t;
        Geom::Point prev = path[k].initialPoint();
        for (int i = 1; i <= kSteps; ++i) {
            const Geom::Point next = path[k].pointAt(end * i / kSteps);
            sum += Geom::distance(prev, next);
            prev = next;
        }
    }
    return sum;
}

// The point at a fraction of the length: ours from the length table, lib2geom's from its
// arc-length parametrisation of the same outline (ten fractions on each of 1000 paths).
// Where the two differ by more than 1e-6, a dense polyline through lib2geom's own points
// judges which point lies at the fraction.
TEST(PathOracle, PointAtLengthMatchesLib2geom)
{
    std::mt19937 rng(43);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int loose = 0;
    for (int i = 0; i < kCases / 10; ++i) {
        const BezierPath path = pathrig::randomPath(rng, 1, 1 + i % 6);
        const PathLengthTable table(path);
        const Geom::Path geom = pathrig::toGeom(path)[0];
        const auto byLength = Geom::arc_length_parametrization(geom.toPwSb(), 5, 1e-9);
        const double total = byLength.domain().max();
        for (int k = 0; k < 10; ++k) {
            const double f = unit(rng);
            const KXBezierPathPosition pos = table.segmentAndParameter(f, true);
            const Point ours = *getPointForPosition(path, pos);
            const Geom::Point theirs = byLength(f * total);
            if (std::hypot(ours.x - theirs[Geom::X], ours.y - theirs[Geom::Y]) <= 1e-6)
                continue;
            ++loose;
            const double exact = geomLengthTo(geom, geom.size_closed(), 0.0);
            const double mine = geomLengthTo(geom, std::size_t(pos.segment - 1), pos.parameter);
            const Geom::PathTime at = geom.nearestTime(theirs);
            const double other = geomLengthTo(geom, at.curve_index, at.t);
            EXPECT_NEAR(mine, f * exact, 1e-8 * exact) << "case " << i << "." << k;
            EXPECT_LT(std::abs(mine - f * exact), std::abs(other - f * exact))
                << "case " << i << "." << k;
        }
    }
    EXPECT_LT(loose, kCases / 500);
    RecordProperty("loose", loose);
}

} // namespace
#endif
