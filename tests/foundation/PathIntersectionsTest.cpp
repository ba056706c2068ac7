#include "PathRig.h"
#include "foundation/BezierPathAdditionsIntersections.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using platform::BezierPath;
using platform::Point;

BezierPath line(Point a, Point b)
{
    BezierPath p;
    p.moveTo(a);
    p.lineTo(b);
    return p;
}

TEST(PathIntersections, EdgeCases)
{
    // Two diagonals of a square: one record halfway along both, opposite codes.
    auto x = allIntersectionsWithPath(line({ 0, 0 }, { 2, 2 }), line({ 0, 2 }, { 2, 0 }));
    ASSERT_EQ(x.size(), 1u);
    EXPECT_DOUBLE_EQ(x[0].left.parameter, 0.5);
    EXPECT_DOUBLE_EQ(x[0].right.parameter, 0.5);
    EXPECT_NE(x[0].left.entry, 0);
    EXPECT_EQ(x[0].left.entry, -x[0].right.entry);
    EXPECT_EQ(x[0].location, Point(1, 1));

    // Overlapping collinear segments: one record with spans and zero codes.
    x = allIntersectionsWithPath(line({ 0, 0 }, { 4, 0 }), line({ 6, 0 }, { 2, 0 }));
    ASSERT_EQ(x.size(), 1u);
    EXPECT_DOUBLE_EQ(x[0].left.parameter, 0.5);
    EXPECT_DOUBLE_EQ(x[0].left.span, 0.5);
    EXPECT_DOUBLE_EQ(x[0].right.parameter, 1.0);
    EXPECT_DOUBLE_EQ(x[0].right.span, -0.5);
    EXPECT_EQ(x[0].left.entry, 0);
    EXPECT_EQ(x[0].right.exit, 0);

    // A self-crossing curve reports its loop once, against itself and against its copy, and
    // the joints of a closed outline are not crossings.
    BezierPath loop;
    loop.moveTo({ 0, 0 });
    loop.curveTo({ 2, 0 }, { 3, 3 }, { -1, 3 });
    loop.lineTo({ 2, -1 });
    loop.closePath();
    const BezierPath copy = loop;
    for (const BezierPath* other : std::initializer_list<const BezierPath*> { &loop, &copy }) {
        x = allIntersectionsWithPath(loop, *other);
        ASSERT_EQ(x.size(), 1u);
        EXPECT_EQ(x[0].left.segment, 1);
        EXPECT_EQ(x[0].right.segment, 1);
        const Coefficients c = Coefficients::curve({ 0, 0 }, { 3, 3 }, { -1, 3 }, { 2, 0 });
        EXPECT_NEAR(c.at(x[0].left.parameter).x, c.at(x[0].right.parameter).x, 1e-9);
        EXPECT_NEAR(c.at(x[0].left.parameter).y, c.at(x[0].right.parameter).y, 1e-9);
    }
}

TEST(PathIntersections, LineIntersections)
{
    // A unit square (counter-clockwise) and a wavy curve, crossed by horizontal lines.
    const BezierPath square = BezierPath::rect(platform::Rect(0, 0, 10, 10));
    const BezierPath open = line({ 0, 0 }, { 10, 0 });
    // Ends 0.0001 above y = 0 heading down, its control polygon across that line.
    BezierPath hook;
    hook.moveTo({ 0, 1 });
    hook.curveTo({ 10, 0.0001 }, { 3, -3 }, { 10, 3 });
    BezierPath wave;
    wave.moveTo({ 0, 0 });
    wave.curveTo({ 30, 0 }, { 10, 20 }, { 20, -20 });
    struct Row {
        const char* name;
        const BezierPath& path;
        Point from, to;
        bool found;
        Point at;
    } rows[] = {
        { "enters the square on its left side", square, { -5, 5 }, { 15, 5 }, true, { 0, 5 } },
        { "from inside: the right side", square, { 5, 5 }, { 15, 5 }, true, { 10, 5 } },
        { "ends exactly on the side: not counted", square, { -5, 5 }, { 0, 5 }, false, {} },
        { "ends short of the side", square, { -5, 5 }, { -1, 5 }, false, {} },
        { "starts beyond: nothing behind it counts", square, { 12, 5 }, { 20, 5 }, false, {} },
        { "backwards: the right side first", square, { 15, 5 }, { -5, 5 }, true, { 10, 5 } },
        { "a curve: its first crossing along the line", wave, { 0, 1 }, { 30, 1 }, true, {} },
        { "passing a line's end by 0.0005: no crossing", open, { 10.0005, -1 }, { 10.0005, 1 },
            false, {} },
        { "passing a curve's end by 0.0001: no crossing", hook, { 12, 0 }, { 8, 0 }, false, {} },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Point p(-99, -99);
        ASSERT_EQ(intersectionWithLine(row.path, &p, row.from, row.to), row.found);
        if (!row.found)
            continue;
        KXBezierPathIntersection x;
        ASSERT_TRUE(firstIntersectionWithLine(row.path, &x, row.from, row.to));
        EXPECT_NEAR(x.location.x, p.x, 1e-9);
        EXPECT_NEAR(x.location.y, p.y, 1e-9);
        EXPECT_EQ(x.right.segment, 0);
        const auto on = getPointForPosition(
            row.path, KXBezierPathPosition { x.left.segment, x.left.parameter });
        ASSERT_TRUE(on);
        EXPECT_NEAR(on->x, p.x, 1e-9);
        EXPECT_NEAR(on->y, p.y, 1e-9);
        if (&row.path != &wave) {
            EXPECT_NEAR(p.x, row.at.x, 1e-12);
            EXPECT_NEAR(p.y, row.at.y, 1e-12);
        }
    }

    // The straight and curved building blocks: outputs are (line, segment) parameters.
    double b = -1, a = -1;
    ASSERT_TRUE(_straightLineIntersection(&b, &a, { 2, -1 }, { 0, 4 }, { 0, 1 }, { 8, 0 }));
    EXPECT_DOUBLE_EQ(b, 0.25);
    EXPECT_DOUBLE_EQ(a, 0.5);
    // Parallel, and a segment of no length: no single crossing, at any scale.
    EXPECT_FALSE(_straightLineIntersection(&b, &a, { 0, 0 }, { 1, 0 }, { 0, 0 }, { 2, 0 }));
    EXPECT_FALSE(_straightLineIntersection(&b, &a, { 1, 1 }, { 0, 0 }, { 0, 1 }, { 2, 0 }));
    EXPECT_TRUE(
        _straightLineIntersection(&b, &a, { 2e-4, -1e-4 }, { 0, 4e-4 }, { 0, 1e-4 }, { 8e-4, 0 }));
    EXPECT_NEAR(b, 0.25, 1e-12);
    const Coefficients arch = Coefficients::curve({ 0, 0 }, { 0, 4 }, { 4, 4 }, { 4, 0 });
    ASSERT_TRUE(_curvedIntersection(&b, &a, arch, { -1, 1.5 }, { 6, 0 }));
    EXPECT_NEAR(arch.at(a).y, 1.5, 1e-12);
    EXPECT_LT(arch.at(a).x, 2.0); // the nearer of the two crossings
    EXPECT_NEAR(-1 + 6 * b, arch.at(a).x, 1e-12);
    EXPECT_FALSE(_curvedIntersection(&b, &a, arch, { -1, 3.5 }, { 6, 0 }));

    // Along a collinear side: one record with spans, located at the overlap's near end.
    KXBezierPathIntersection x;
    ASSERT_TRUE(firstIntersectionWithLine(square, &x, { 15, 0 }, { -5, 0 }));
    EXPECT_NEAR(x.location.x, 10, 1e-12);
    EXPECT_NE(x.right.span, 0.0);
    // Paths without segments, and not-a-number lines.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(intersectionWithLine(BezierPath(), nullptr, { 0, 0 }, { 1, 1 }));
    EXPECT_FALSE(firstIntersectionWithLine(BezierPath(), nullptr, { 0, 0 }, { 1, 1 }));
    EXPECT_FALSE(intersectionWithLine(square, nullptr, { nan, 0 }, { 1, 1 }));
    EXPECT_FALSE(firstIntersectionWithLine(square, nullptr, { nan, 0 }, { 1, 1 }));
}

BezierPath curvePath(const std::array<Point, 4>& p)
{
    BezierPath path;
    path.moveTo(p[0]);
    path.curveTo(p[3], p[1], p[2]);
    return path;
}

TEST(PathIntersections, CoincidingCurvesGiveOneSpan)
{
    const std::array<Point, 4> c { Point(0, 0), Point(10, 30), Point(40, -20), Point(50, 10) };
    const std::array<Point, 4> backwards { c[3], c[2], c[1], c[0] };
    const CurveSplit halves = splitCurve(c, 0.5);
    const CurveSplit thirds = splitCurve(splitCurve(c, 0.7).first, 0.3 / 0.7);
    struct Row {
        const char* name;
        std::array<Point, 4> other;
        double t1, span1, t2, span2;
    } rows[] = {
        { "the same curve from separate data", c, 0, 1, 0, 1 },
        { "the curve drawn backwards", backwards, 0, 1, 1, -1 },
        { "against its own first half", halves.first, 0, 0.5, 0, 1 },
        { "against its own second half", halves.second, 0.5, 0.5, 0, 1 },
        { "against a middle piece", thirds.second, 0.3, 0.4, 0, 1 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<CrossingRecord> rs;
        curveCurveCrossings(c, row.other, rs);
        ASSERT_EQ(rs.size(), 1u);
        EXPECT_NEAR(rs[0].t1, row.t1, 1e-9);
        EXPECT_NEAR(rs[0].span1, row.span1, 1e-9);
        EXPECT_NEAR(rs[0].t2, row.t2, 1e-9);
        EXPECT_NEAR(rs[0].span2, row.span2, 1e-9);
        EXPECT_EQ(rs[0].entry, 0);
        EXPECT_EQ(rs[0].exit, 0);
        // Through the paths: one record, its codes 0, its location the overlap's start.
        const auto xs = allIntersectionsWithPath(curvePath(c), curvePath(row.other));
        ASSERT_EQ(xs.size(), 1u);
        EXPECT_NE(xs[0].left.span, 0.0);
    }
    // Curves that only touch at a shared end, or cross, keep their point records.
    std::vector<CrossingRecord> rs;
    curveCurveCrossings(halves.first, halves.second, rs);
    for (const CrossingRecord& r : rs)
        EXPECT_EQ(r.span1, 0.0);
    rs.clear();
    curveCurveCrossings(c, { Point(0, 10), Point(20, -10), Point(30, 30), Point(50, 0) }, rs);
    EXPECT_FALSE(rs.empty());
    for (const CrossingRecord& r : rs)
        EXPECT_EQ(r.span1, 0.0);
}

// A circle of four curves and its upper half cut at other places (four curves and the
// diameter): one span record per coinciding stretch, and the union is the circle exactly.
TEST(PathIntersections, CircleAgainstItsUpperHalf)
{
    const BezierPath circle = BezierPath::oval(platform::Rect(50, 50, 100, 100));
    ASSERT_EQ(circle.elementAt(1).kind, platform::PathElementKind::CurveTo);
    const auto arc = [&](int i) {
        const Point start = circle.elementAt(i - 1).kind == platform::PathElementKind::CurveTo
            ? circle.elementAt(i - 1).points[2]
            : circle.elementAt(i - 1).points[0];
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

    const auto xs = allIntersectionsWithPath(circle, half);
    int spans = 0;
    for (const KXBezierPathIntersection& x : xs) {
        // (The circle's closing segment has no length: against the diameter it is a point.)
        if (x.left.span != 0.0 && x.right.span != 0.0) {
            ++spans;
            continue;
        }
        // Point records only where the half's pieces meet or the diameter ends.
        const Point& p = x.location;
        const bool atEnds = std::abs(p.y - 100) < 1e-9;
        bool atJoint = false;
        for (const auto& piece : { first.first, first.second, second.first, second.second })
            atJoint |= std::hypot(p.x - piece[3].x, p.y - piece[3].y) < 1e-9;
        EXPECT_TRUE(atEnds || atJoint) << p.x << "," << p.y;
    }
    EXPECT_EQ(spans, 4);
}

TEST(PathIntersections, RingsClosedWithinRoundingDoNotCrossThemselves)
{
    // Blobs sampled from sines end a hair (~3e-14) off their starts, so a closing segment of
    // that length follows: the joint it hides is still no crossing.
    for (const int segments : { 60, 400 })
        for (const bool second : { false, true }) {
            const BezierPath blobs = pathrig::smoothBlobs(segments, second);
            EXPECT_TRUE(allIntersectionsWithPath(blobs, blobs).empty())
                << segments << (second ? " second" : " first");
        }
}

TEST(PathIntersections, BadInputAnswersInBoundedTime)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::mt19937 rng(5);
    const BezierPath random = pathrig::randomPath(rng, 2, 8);
    BezierPath lone;
    lone.moveTo({ 1, 1 });
    BezierPath nanPath = line({ 0, 0 }, { nan, 1 });
    nanPath.curveTo({ inf, 0 }, { 1, inf }, { nan, nan });
    BezierPath zero = line({ 5, 5 }, { 5, 5 });
    zero.curveTo({ 5, 5 }, { 5, 5 }, { 5, 5 });
    const BezierPath twin = pathrig::randomPath(rng = std::mt19937(5), 2, 8); // equal, not shared
    for (const BezierPath* a :
        std::initializer_list<const BezierPath*> { &random, &lone, &nanPath, &zero, &twin })
        for (const BezierPath* b : std::initializer_list<const BezierPath*> {
                 &random, &lone, &nanPath, &zero, &twin, &random })
            for (const KXBezierPathIntersection& r : allIntersectionsWithPath(*a, *b)) {
                EXPECT_TRUE(r.left.parameter >= 0.0 && r.left.parameter <= 1.0);
                EXPECT_TRUE(r.right.parameter >= 0.0 && r.right.parameter <= 1.0);
            }
    EXPECT_TRUE(allIntersectionsWithPath(BezierPath(), random).empty());
    EXPECT_TRUE(allIntersectionsWithPath(lone, random).empty());
}

#ifdef QUILLMARK_HAVE_2GEOM
TEST(PathIntersections, CrossingsMatchLib2geom)
{
    std::mt19937 rng(17);
    int differ = 0;
    int missed = 0;
    for (int i = 0; i < pathrig::kOracleCases; ++i) {
        const BezierPath a = pathrig::randomPath(rng, 1 + i % 2, 1 + i % 5);
        const BezierPath b = pathrig::randomPath(rng, 1 + i % 3, 1 + i % 4);
        const auto ours = allIntersectionsWithPath(a, b);
        const auto theirs = pathrig::toGeom(a).intersect(pathrig::toGeom(b), 1e-9);
        if (ours.size() != theirs.size())
            ++differ;
        for (const auto& t : theirs) {
            bool found = false;
            for (const KXBezierPathIntersection& r : ours)
                found |= std::hypot(
                             t.point()[Geom::X] - r.location.x, t.point()[Geom::Y] - r.location.y)
                    < 1e-6;
            missed += !found;
            if (!found)
                ADD_FAILURE() << "case " << i << " missed " << t.point()[Geom::X] << ","
                              << t.point()[Geom::Y] << " times " << t.first.curve_index << ":"
                              << t.first.t << " / " << t.second.curve_index << ":" << t.second.t;
        }
        // Every crossing we report lies on both paths.
        for (const KXBezierPathIntersection& r : ours) {
            const Point o = r.location;
            const Geom::Point g(o.x, o.y);
            const Geom::PathVector ga = pathrig::toGeom(a);
            const Geom::PathVector gb = pathrig::toGeom(b);
            const double da = Geom::distance(ga.pointAt(*ga.nearestTime(g)), g);
            const double db = Geom::distance(gb.pointAt(*gb.nearestTime(g)), g);
            const bool near = da < 1e-6 && db < 1e-6;
            EXPECT_TRUE(near) << "case " << i << " at " << o.x << "," << o.y << " off by " << da
                              << " and " << db << "; ours " << ours.size() << " theirs "
                              << theirs.size();
            if (!near)
                return;
        }
    }
    // Crossings exactly at a shared vertex are counted once or twice depending on the
    // tolerance at segment ends; anything more is a fault.
    EXPECT_LT(differ, pathrig::kOracleCases / 200) << differ;
    EXPECT_EQ(missed, 0);
}
#endif

} // namespace
