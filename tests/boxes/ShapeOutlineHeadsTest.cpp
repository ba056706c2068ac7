// Line heads: the points each head code adds at one end of a band, with and without the
// pull-back shift, and the pull-back lengths.
#include "ShapeGeometryTestSupport.h"
#include "boxes/ShapeOutline.h"

#include <gtest/gtest.h>

using platform::BezierPath;
using platform::PathElementKind;
using platform::Point;
using shapetest::pathPoints;

namespace {

struct HeadRow {
    const char* name;
    Point end, neighbour;
    int type;
    float size;
    bool expand;
    std::vector<Point> expected; // every stored point, curve controls included
    double returned;
};

} // namespace

TEST(LineHeads, PointsOfEachCode)
{
    const Point e(100, 50), n(0, 50);
    const HeadRow rows[] = {
        { "none", e, n, 0, 10, false, { { 100, 45 }, { 100, 55 } }, 0 },
        { "arrow", e, n, 1, 10, false,
            { { 60, 45 }, { 60, 25 }, { 100, 50 }, { 60, 75 }, { 60, 55 } }, 40 },
        { "reverse arrow", e, n, 7, 10, false,
            { { 80, 45 }, { 100, 25 }, { 100, 50 }, { 100, 75 }, { 80, 55 } }, 20 },
        { "bar", e, n, 8, 10, false,
            { { 90, 45 }, { 90, 30 }, { 100, 30 }, { 100, 70 }, { 90, 70 }, { 90, 55 } }, 10 },
        { "arrow expanded", e, n, 1, 10, true,
            { { 100, 45 }, { 100, 25 }, { 140, 50 }, { 100, 75 }, { 100, 55 } }, 40 },
        { "thin arrow expanded", e, n, 4, 10, true,
            { { 117, 45 }, { 94, 28 }, { 100, 20 }, { 140, 50 }, { 100, 80 }, { 94, 72 },
                { 117, 55 } },
            23 },
        { "none expanded", e, n, 0, 10, true, { { 100, 45 }, { 100, 55 } }, 0 },
        { "thin arrow", e, n, 4, 10, false,
            { { 77, 45 }, { 54, 28 }, { 60, 20 }, { 100, 50 }, { 60, 80 }, { 54, 72 }, { 77, 55 } },
            23 },
        { "thick arrow", e, n, 5, 10, false,
            { { 70, 45 }, { 60, 25 }, { 100, 50 }, { 60, 75 }, { 70, 55 } }, 30 },
        { "diamond", e, n, 3, 10, false,
            { { 60, 45 }, { 80, 30 }, { 100, 50 }, { 80, 70 }, { 60, 55 } }, 40 },
        { "square expanded", e, n, 6, 10, true,
            { { 100, 45 }, { 100, 30 }, { 140, 30 }, { 140, 70 }, { 100, 70 }, { 100, 55 } }, 40 },
        // The lower end of a vertical line points down: its right-hand side is -x.
        { "none downward", Point(0, 0), Point(0, 10), 0, 4, false, { { -2, 0 }, { 2, 0 } }, 0 },
        { "thin arrow diagonal", Point(30, 40), Point(0, 0), 4, 6, false,
            { { 24.12, 27.16 }, { 24, 10 }, { 30, 10 }, { 30, 40 }, { 1.2, 31.6 }, { 2.88, 25.84 },
                { 19.32, 30.76 } },
            13.8 },
        { "circle", e, n, 2, 10, false,
            { { 60, 45 }, { 60, 38.9543 }, { 68.9543, 30 }, { 80, 30 }, { 91.0457, 30 },
                { 100, 38.9543 }, { 100, 50 }, { 100, 61.0457 }, { 91.0457, 70 }, { 80, 70 },
                { 68.9543, 70 }, { 60, 61.0457 }, { 60, 55 } },
            40 },
        { "circle expanded", e, n, 2, 10, true,
            { { 100, 45 }, { 100, 38.9543 }, { 108.9543, 30 }, { 120, 30 }, { 131.0457, 30 },
                { 140, 38.9543 }, { 140, 50 }, { 140, 61.0457 }, { 131.0457, 70 }, { 120, 70 },
                { 108.9543, 70 }, { 100, 61.0457 }, { 100, 55 } },
            40 },
        { "unknown code adds nothing", e, n, 9, 10, false, {}, 0 },
        { "end on its neighbour adds nothing", e, e, 1, 10, false, {}, 0 },
    };
    for (const HeadRow& r : rows) {
        for (bool start : { true, false }) {
            BezierPath path;
            if (!start)
                path.moveTo(Point(-1, -1)); // the other side of the band
            const double ret
                = startendPointPath(path, r.end, r.neighbour, r.type, r.size, start, r.expand);
            EXPECT_NEAR(ret, r.returned, 1e-5) << r.name;
            std::vector<Point> got = pathPoints(path);
            if (!start)
                got.erase(got.begin());
            ASSERT_EQ(got.size(), r.expected.size()) << r.name;
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_NEAR(got[i].x, r.expected[i].x, 2e-4) << r.name << " point " << i;
                EXPECT_NEAR(got[i].y, r.expected[i].y, 2e-4) << r.name << " point " << i;
            }
            if (!r.expected.empty()) {
                // bStart: the end begins the outline with a move, else continues it with a line.
                const int first = start ? 0 : 1;
                EXPECT_EQ(path.elementAt(first).kind,
                    start ? PathElementKind::MoveTo : PathElementKind::LineTo)
                    << r.name;
            }
        }
    }
}

TEST(LineHeads, PullBackLengths)
{
    struct Row {
        int type;
        float size;
        double expected;
    };
    const Row rows[] = { { 0, 100, 0 }, { 1, 6, 24 }, { 2, 6, 24 }, { 4, 6, 24 }, { 5, 6, 24 },
        { 6, 6, 24 }, { 7, 6, 12 }, { 8, 6, 6 }, { 99, 6, 24 }, { -3, 2.5f, 10 } };
    for (const Row& r : rows)
        EXPECT_EQ(radiusForEndPoint(r.type, r.size), r.expected) << r.type;
    // The product is taken in single precision.
    EXPECT_EQ(radiusForEndPoint(1, 0.1f), double(4.0f * 0.1f));
}
