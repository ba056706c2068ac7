// The path toolkit against lib2geom on seeded random paths.
#ifdef QUILLMARK_HAVE_2GEOM
#include "PathRig.h"
#include "foundation/BezierPathAdditionsGeometry.h"

#include <gtest/gtest.h>

namespace {

using platform::BezierPath;
using platform::Point;

constexpr int kCases = 10000;

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

} // namespace
#endif
