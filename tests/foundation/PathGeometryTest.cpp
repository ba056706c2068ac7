#include "PathRig.h"
#include "foundation/BezierPathAdditionsGeometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

using platform::BezierPath;
using platform::Point;
using platform::Rect;

BezierPath polyline(std::initializer_list<Point> points, bool close = false)
{
    BezierPath path;
    for (const Point& p : points)
        path.isEmpty() ? path.moveTo(p) : path.lineTo(p);
    if (close)
        path.closePath();
    return path;
}

TEST(PathGeometry, Winding)
{
    const BezierPath square = polyline({ { 0, 0 }, { 1, 0 }, { 1, 1 }, { 0, 1 } });
    BezierPath withHole = polyline({ { 0, 0 }, { 10, 0 }, { 10, 10 }, { 0, 10 } }, true);
    withHole.appendPath(polyline({ { 3, 3 }, { 3, 7 }, { 7, 7 }, { 7, 3 } }, true));
    const BezierPath triangle = polyline({ { 0, 0 }, { 4, 0 }, { 2, 4 } }, true);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* name;
        BezierPath path;
        Point p;
        bool inside;
        std::uint64_t hits;
    } rows[] = {
        { "open unit square, centre", square, { 0.5, 0.5 }, true, 0 },
        { "open unit square, outside", square, { 2, 0.5 }, false, 0 },
        { "triangle, outside near the slanted side", triangle, { 3.5, 2 }, false, 0 },
        { "on a horizontal edge counts a hit, no winding", square, { 0.5, 0 }, false, 1 },
        { "top horizontal edge counts a hit too", square, { 0.5, 1 }, false, 1 },
        { "second subpath: inside the hole", withHole, { 5, 5 }, false, 0 },
        { "second subpath: between outline and hole", withHole, { 1, 5 }, true, 0 },
        { "empty path", BezierPath(), { 0, 0 }, false, 0 },
        { "lone move-to", polyline({ { 0, 0 } }), { 0, 0 }, false, 0 },
        { "not-a-number point", square, { nan, 0.5 }, false, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Winding w = getWinding(row.path, row.p);
        EXPECT_EQ(w.winding != 0, row.inside);
        EXPECT_EQ(w.hits, row.hits);
    }
}

TEST(PathGeometry, CubicRootsOfKnownFactors)
{
    // (t - r0)(t - r1)(t - r2) scaled by k: tiny and huge scales must find the same roots,
    // close roots must not be lost to an acos argument just outside [-1, 1].
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> root(-2.0, 2.0);
    for (const double k : { 1e-12, 1.0, 1e9 }) {
        for (int i = 0; i < 2000; ++i) {
            const double r0 = root(rng);
            const double r1 = i % 3 == 0 ? r0 + 1e-7 : root(rng);
            const double r2 = root(rng);
            const double a3 = k;
            const double a2 = -k * (r0 + r1 + r2);
            const double a1 = k * (r0 * r1 + r0 * r2 + r1 * r2);
            const double a0 = -k * r0 * r1 * r2;
            const CubicRoots roots = solveCubic(a0, a1, a2, a3);
            int total = 0;
            for (int j = 0; j < roots.count; ++j) {
                total += roots.multiplicity[size_t(j)];
                const double t = roots.t[size_t(j)];
                EXPECT_NEAR(
                    std::min({ std::abs(t - r0), std::abs(t - r1), std::abs(t - r2) }), 0.0, 1e-4)
                    << "k " << k << " roots " << r0 << " " << r1 << " " << r2;
            }
            EXPECT_EQ(total, 3) << "k " << k << " roots " << r0 << " " << r1 << " " << r2;
        }
    }
}

TEST(PathGeometry, StrokeHits)
{
    BezierPath line = polyline({ { 0, 0 }, { 10, 0 } });
    line.setLineWidth(2.0);
    struct Row {
        const char* name;
        Point p;
        double padding;
        bool hit;
    } rows[] = {
        { "3 beside a width-2 line, padding 5", { 5, 3 }, 5.0, true },
        { "3 beside a width-2 line, padding 1", { 5, 3 }, 1.0, false },
        { "beyond the segment's end", { 12, 0 }, 5.0, false },
    };
    for (const Row& row : rows)
        EXPECT_EQ(isStrokeHitByPoint(line, row.p, row.padding), row.hit) << row.name;

    // Degenerate curves and lines: coincident points answer without dividing by zero.
    double t = -1;
    EXPECT_TRUE(_curvedLineHit({ 1, 1 }, { 1, 1 }, { 1, 1 }, { 1, 1 }, { 1, 1 }, &t, 0.5));
    EXPECT_TRUE(_straightLineHit({ 1, 1 }, { 1, 1 }, { 1, 1.2 }, &t, 0.5));
    EXPECT_FALSE(_straightLineHit({ 1, 1 }, { 1, 1 }, { 3, 1 }, &t, 0.5));
}

TEST(PathGeometry, CurveHitNeverMissesAPointOnTheStroke)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> coord(-100.0, 100.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 20000; ++i) {
        const std::array<Point, 4> p { Point(coord(rng), coord(rng)), Point(coord(rng), coord(rng)),
            Point(coord(rng), coord(rng)), Point(coord(rng), coord(rng)) };
        const Point on = Coefficients::curve(p[0], p[1], p[2], p[3]).at(unit(rng));
        double t = -1;
        ASSERT_TRUE(_curvedLineHit(on, p[0], p[3], p[1], p[2], &t, 1e-6)) << i;
        EXPECT_GE(t, 0.0);
        EXPECT_LE(t, 1.0);
    }
}

TEST(PathGeometry, PositionsAndLengths)
{
    // Fraction 0.5 of a straight path of lengths 1 and 3 lies a third into the second segment.
    const BezierPath twoSegments = polyline({ { 0, 0 }, { 1, 0 }, { 4, 0 } });
    const KXBezierPathPosition half = segmentAndParameter(twoSegments, 0.5, true);
    EXPECT_EQ(half.segment, 2);
    EXPECT_NEAR(half.parameter, 1.0 / 3.0, 1e-12);
    double total = 0;
    EXPECT_DOUBLE_EQ(lengthToSegment(twoSegments, 2, 0.5, &total), 2.5);
    EXPECT_DOUBLE_EQ(total, 4.0);

    // Past the end, and a zero-length last segment: the last drawn segment, parameter 1.
    const BezierPath zeroTail = polyline({ { 0, 0 }, { 1, 0 }, { 1, 0 } });
    for (const double len : { 1.0, 1.5, 100.0 }) {
        const KXBezierPathPosition pos = segmentAndParameter(zeroTail, len, false);
        EXPECT_LE(pos.segment, 2) << len;
        EXPECT_TRUE(std::isfinite(pos.parameter) && pos.parameter <= 1.0) << len;
    }

    // Every subpath counts towards the length.
    BezierPath two = polyline({ { 0, 0 }, { 1, 0 } });
    two.appendPath(polyline({ { 5, 5 }, { 5, 7 } }));
    lengthToSegment(two, 0, 0, &total);
    EXPECT_DOUBLE_EQ(total, 3.0);

    // Positions: 1.0 at the end of the last element, 0.5 of three elements at element 1's end.
    const BezierPath three = polyline({ { 0, 0 }, { 2, 0 }, { 2, 2 } });
    EXPECT_EQ(_getPointInfoForPosition(three, 1.0)->point, Point(2, 2));
    EXPECT_EQ(_getPointInfoForPosition(three, 0.5)->point, Point(2, 0));
    EXPECT_EQ(getPositionForPoint(three, { 50, 50 }), 0.5);
    EXPECT_NEAR(*getNormalForPosition(three, 0.25), -90.0 + 180.0, 1e-12);
    // Paths of 0 or 1 elements have no position to read.
    EXPECT_FALSE(_getPointInfoForPosition(BezierPath(), 0.5));
    EXPECT_FALSE(_getPointInfoForPosition(polyline({ { 1, 1 } }), 1.0));
    EXPECT_FALSE(getPointForPosition(BezierPath(), KXBezierPathPosition { 3, 0.5 }));
    EXPECT_FALSE(currentpointForSegment(BezierPath(), 0));
}

TEST(PathGeometry, RectangleTestAndRoundedRectangles)
{
    BezierPath rounded;
    appendBezierPathWithRoundedRectangle(rounded, Rect(0, 0, 100, 50), 10);
    const Rect b = rounded.bounds();
    EXPECT_NEAR(b.minX(), 0, 1e-9);
    EXPECT_NEAR(b.maxY(), 50, 1e-9);
    EXPECT_TRUE(rounded.containsPoint({ 50, 25 }));
    EXPECT_FALSE(rounded.containsPoint({ 1, 1 })); // the corner is cut off
    EXPECT_TRUE(rounded.containsPoint({ 99, 25 }));
    BezierPath left;
    appendBezierPathWithLeftRoundedRectangle(left, Rect(0, 0, 100, 50), 10);
    EXPECT_TRUE(left.containsPoint({ 99.5, 0.5 }));
    EXPECT_FALSE(left.containsPoint({ 0.5, 0.5 }));

    EXPECT_TRUE(intersectsRect(rounded, Rect(-5, 20, 10, 10)));
    EXPECT_FALSE(intersectsRect(rounded, Rect(200, 200, 10, 10)));
    // A curve far too long to halve down to the tolerance ends in bounded time.
    BezierPath huge;
    huge.moveTo({ -1e300, 0 });
    huge.curveTo({ 1e300, 0 }, { 0, 1e300 }, { 0, -1e300 });
    intersectsRect(huge, Rect(0, 0, 1, 1));
}

TEST(PathGeometry, RoundedRectWithFourRadii)
{
    // Radii 2, 4, 6 and 8 at (minX, minY), (maxX, minY), (minX, maxY), (maxX, maxY).
    BezierPath path;
    AddRoundedRectToContext(path, Rect(0, 0, 40, 30), 2, 4, 6, 8);
    EXPECT_EQ(path.elementAt(0).points[0], Point(0, 2));
    EXPECT_EQ(path.elementAt(path.elementCount() - 1).kind, platform::PathElementKind::ClosePath);
    EXPECT_NEAR(path.bounds().width(), 40, 1e-9);
    EXPECT_NEAR(path.bounds().height(), 30, 1e-9);
    // A point just inside each corner's square is outside the outline only where the radius
    // exceeds the distance that point keeps from both sides.
    struct Row {
        const char* name;
        Point p;
        bool inside;
    } rows[] = {
        { "corner (minX, minY), radius 2", { 0.3, 0.3 }, false },
        { "corner (maxX, minY), radius 4", { 39.2, 0.8 }, false },
        { "corner (minX, maxY), radius 6", { 1.2, 28.8 }, false },
        { "corner (maxX, maxY), radius 8", { 38.5, 28.5 }, false },
        { "near (minX, minY) but inside its arc", { 0.9, 0.9 }, true },
        { "centre", { 20, 15 }, true },
    };
    for (const Row& row : rows)
        EXPECT_EQ(path.containsPoint(row.p), row.inside) << row.name;
    // The area is the rectangle less each corner's square beyond its quarter circle.
    const double cut = (1 - M_PI / 4) * (4 + 16 + 36 + 64);
    double area = 0.0;
    PathSegmentWalker walker(path, true);
    PathSegment s;
    while (walker.next(s)) {
        const Coefficients c = s.coefficients();
        for (int i = 0; i < 1000; ++i) {
            const double t = (i + 0.5) / 1000;
            area += 0.5 * (c.at(t).x * c.derivative(t).y - c.at(t).y * c.derivative(t).x) / 1000;
        }
    }
    EXPECT_NEAR(-area, 1200 - cut, 0.05); // clockwise (y-up): up the left side first
}

TEST(PathGeometry, PositionOnACloseGoesWhereTheHitTestGoes)
{
    // M(0,0) L(10,0) M(20,20) L(30,20) Z: the close runs from (30, 20) back to (0, 0), the
    // start the hit test keeps for a subpath after an open one.
    BezierPath path = polyline({ { 0, 0 }, { 10, 0 } });
    path.appendPath(polyline({ { 20, 20 }, { 30, 20 } }, true));
    const auto info = _getPointInfoForPosition(path, 0.875);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->point, Point(15, 10));
    EXPECT_EQ(info->tangent, Point(-30, -20));
    double u = -1;
    EXPECT_EQ(_segmentHitByPoint(path, { 15, 10 }, &u, 0.5), 4);
    EXPECT_NEAR(u, 0.5, 1e-12);
    // After a close, the next subpath's move-to is where the following close returns.
    BezierPath closedFirst = polyline({ { 0, 0 }, { 10, 0 } }, true);
    closedFirst.appendPath(polyline({ { 20, 20 }, { 30, 20 } }, true));
    EXPECT_EQ(_getPointInfoForPosition(closedFirst, 4.5 / 5)->point, Point(25, 20));
}

TEST(PathGeometry, NotANumberPointsGiveNoAnswer)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const BezierPath path = polyline({ { 0, 0 }, { nan, 1 }, { 2, 2 } });
    EXPECT_FALSE(getNormalForPosition(path, 0.25));
    EXPECT_FALSE(getPointForPosition(path, 0.25, 3.0));
    EXPECT_FALSE(getPointForPosition(path, 0.25, 0.0));
    EXPECT_FALSE(getPointForPosition(path, KXBezierPathPosition { 1, 0.5 }));
    EXPECT_FALSE(getPointForPosition(path, KXBezierPathPosition { 2, 0.5 }));
    // The finite parts still answer.
    EXPECT_EQ(*getPointForPosition(path, KXBezierPathPosition { 1, 0.0 }), Point(0, 0));
    EXPECT_EQ(*getPointForPosition(path, KXBezierPathPosition { 2, 1.0 }), Point(2, 2));
}

TEST(PathGeometry, ReversalKeepsTheOutline)
{
    std::mt19937 rng(3);
    const BezierPath path = pathrig::randomPath(rng, 3, 6);
    const BezierPath back = path.reversed();
    EXPECT_EQ(back.elementCount(), path.elementCount());
    EXPECT_EQ(back.reversed(), path);
    double a = 0, b = 0;
    lengthToSegment(path, 0, 0, &a);
    lengthToSegment(back, 0, 0, &b);
    EXPECT_NEAR(a, b, 1e-9 * a);
}

} // namespace
