#include "foundation/CMyLine.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

CMyLine seg(float x1, float y1, float x2, float y2)
{
    return CMyLine(x1, y1, x2, y2);
}

const FloatPoint kUntouched(-999.0f, -999.0f);

TEST(CMyLine, Intersection)
{
    struct Row {
        const char* name;
        CMyLine l1;
        CMyLine l2;
        bool meets;
        FloatPoint at;
    };
    const Row rows[] = {
        { "crossing diagonals", seg(0, 0, 10, 10), seg(0, 10, 10, 0), true, { 5, 5 } },
        { "point (2, 3) and normal (1, 2) meets x = 0", CMyLine(FloatPoint(2, 3), 1, 2),
            seg(0, 0, 0, 10), true, { 0, 4 } },
        { "perpendicular through (3, 7)", seg(0, 0, 10, 0),
            seg(0, 0, 10, 0).Perpendicular(FloatPoint(3, 7)), true, { 3, 0 } },
        { "horizontal and vertical", seg(0, 3, 10, 3), seg(7, -5, 7, 5), true, { 7, 3 } },
        { "vertical and horizontal", seg(7, -5, 7, 5), seg(0, 3, 10, 3), true, { 7, 3 } },
        { "two horizontals", seg(0, 0, 10, 0), seg(0, 5, 10, 5), false, {} },
        { "two verticals", seg(0, 0, 0, 10), seg(5, 0, 5, 10), false, {} },
        { "same normal, other c", CMyLine(1, 2, 3), CMyLine(1, 2, 5), false, {} },
        { "proportional normals", CMyLine(1, 2, 0), CMyLine(2, 4, 1), false, {} },
        { "degenerate first", seg(3, 3, 3, 3), seg(0, 0, 10, 10), false, {} },
        { "degenerate second", seg(0, 0, 10, 10), seg(3, 3, 3, 3), false, {} },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.l1.IsIntersect(row.l2), row.meets);
        EXPECT_EQ(IsIntersect(row.l1, row.l2), row.meets);
        FloatPoint member = kUntouched;
        FloatPoint free = kUntouched;
        EXPECT_EQ(row.l1.Intersection(row.l2, &member), row.meets);
        EXPECT_EQ(Intersection(row.l1, row.l2, &free), row.meets);
        if (row.meets) {
            EXPECT_FLOAT_EQ(member.x, row.at.x);
            EXPECT_FLOAT_EQ(member.y, row.at.y);
            EXPECT_FLOAT_EQ(free.x, row.at.x);
            EXPECT_FLOAT_EQ(free.y, row.at.y);
        } else {
            EXPECT_EQ(member, kUntouched);
            EXPECT_EQ(free, kUntouched);
        }
    }
    EXPECT_TRUE(seg(0, 0, 1, 1).Intersection(seg(0, 4, 4, 0), nullptr));
}

TEST(CMyLine, SegmentIntersection)
{
    struct Row {
        const char* name;
        CMyLine l1;
        CMyLine l2;
        bool result;
        FloatPoint out; // kUntouched when nothing may be written
    };
    const FloatPoint p(2, 2);
    const Row rows[] = {
        { "crossing", seg(0, 0, 10, 10), seg(0, 10, 10, 0), true, { 5, 5 } },
        { "meet only when extended", seg(0, 0, 1, 1), seg(3, 0, 2, 1), false, { 1.5f, 1.5f } },
        { "shared end point", seg(0, 0, 10, 0), seg(10, 0, 10, 10), true, { 10, 0 } },
        { "T junction on the border", seg(0, 0, 10, 0), seg(5, 0, 5, 8), true, { 5, 0 } },
        { "parallel segments", seg(0, 0, 10, 0), seg(0, 1, 10, 1), false, kUntouched },
        { "perpendicular line", seg(0, 0, 10, 10), seg(0, 0, 10, 10).Perpendicular(p), false,
            kUntouched },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FloatPoint member = kUntouched;
        FloatPoint free = kUntouched;
        EXPECT_EQ(row.l1.SegmentIntersection(row.l2, &member), row.result);
        EXPECT_EQ(SegmentIntersection(row.l1, row.l2, &free), row.result);
        EXPECT_EQ(member, row.out);
        EXPECT_EQ(free, row.out);
    }
}

TEST(CMyLine, DistanceToPoint)
{
    struct Row {
        const char* name;
        CMyLine line;
        FloatPoint p;
        float distance;
        int inside;
        float signedDistance;
        FloatPoint foot;
    };
    const Row rows[] = {
        { "beyond the end, above", seg(0, 0, 10, 0), { 20, 5 }, 5, 0, -5, { 20, 0 } },
        { "over the segment, right side", seg(0, 0, 10, 0), { 5, -5 }, 5, 1, 5, { 5, 0 } },
        { "on the end point", seg(0, 0, 10, 0), { 10, 0 }, 0, 1, -0.0f, { 10, 0 } },
        { "vertical upwards, right side", seg(0, 0, 0, 10), { 3, 5 }, 3, 1, 3, { 0, 5 } },
        { "diagonal", seg(0, 0, 4, 4), { 0, 4 }, std::sqrt(8.0f), 1, -std::sqrt(8.0f), { 2, 2 } },
        // No foot on a degenerate line: the distance is measured to the origin.
        { "degenerate line", seg(7, 7, 7, 7), { 3, 4 }, 5, 0, -5, { 0, 0 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int inside = -1;
        float signedDistance = 0;
        FloatPoint foot = kUntouched;
        const float d = row.line.DistanceToPoint(row.p, &inside, &signedDistance, &foot);
        EXPECT_FLOAT_EQ(d, row.distance);
        EXPECT_EQ(inside, row.inside);
        EXPECT_FLOAT_EQ(signedDistance, row.signedDistance);
        EXPECT_FLOAT_EQ(foot.x, row.foot.x);
        EXPECT_FLOAT_EQ(foot.y, row.foot.y);
        EXPECT_EQ(row.line.DistanceToPoint(row.p), d);
    }
}

TEST(CMyLine, PointsAtDistanceAndAngles)
{
    FloatPoint out1;
    FloatPoint out2;
    seg(0, 0, 10, 0).PointsAtDistance({ 5, 1 }, 2, &out1, &out2);
    EXPECT_EQ(out1, FloatPoint(7, 1)); // along the direction from start to end
    EXPECT_EQ(out2, FloatPoint(3, 1));
    seg(0, 0, 0, -4).PointsAtDistance({ 0, 0 }, 3, &out1, &out2);
    EXPECT_EQ(out1, FloatPoint(0, -3));
    EXPECT_EQ(out2, FloatPoint(0, 3));
    seg(2, 2, 2, 2).PointsAtDistance({ 5, 1 }, 2, &out1, &out2);
    EXPECT_EQ(out1, FloatPoint(5, 1));
    EXPECT_EQ(out2, FloatPoint(5, 1));

    struct Row {
        const char* name;
        FloatPoint p0, p1, p2;
        float cosine;
    };
    const Row rows[] = {
        { "right angle", { 5, 0 }, { 0, 3 }, { 0, 0 }, 0 },
        { "same direction", { 5, 5 }, { 1, 1 }, { 0, 0 }, 1 },
        { "opposite", { 2, 1 }, { -4, 1 }, { 0, 1 }, -1 },
        { "p0 on the vertex", { 0, 0 }, { 1, 1 }, { 0, 0 }, 1 },
        { "p1 on the vertex", { 1, 1 }, { 3, 3 }, { 3, 3 }, 1 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FLOAT_EQ(CMyLine::CosAngle(row.p0, row.p1, row.p2), row.cosine);
    }
}

TEST(CMyLine, SharesEndPointAndSide)
{
    EXPECT_TRUE(CMyLine::SharesEndPoint(seg(0, 0, 1, 1), seg(0, 0, 5, 5)));
    EXPECT_TRUE(CMyLine::SharesEndPoint(seg(0, 0, 1, 1), seg(5, 5, 1, 1)));
    EXPECT_TRUE(CMyLine::SharesEndPoint(seg(0, 0, 1, 1), seg(1, 1, 5, 5)));
    EXPECT_FALSE(CMyLine::SharesEndPoint(seg(0, 0, 1, 1), seg(0, 1, 1, 0)));
    // The flags are not consulted: a coefficient line's end points are (0, 0).
    EXPECT_TRUE(CMyLine::SharesEndPoint(CMyLine(1, 2, 3), seg(0, 0, 4, 4)));

    struct Row {
        const char* name;
        CMyLine line;
        FloatPoint p;
        bool side;
    };
    const Row rows[] = {
        { "horizontal, right of direction", seg(0, 0, 10, 0), { 5, -0.5f }, true },
        { "horizontal, left of direction", seg(0, 0, 10, 0), { 5, 0.5f }, false },
        { "vertical, right of direction", seg(0, 0, 0, 10), { 0.5f, 5 }, true },
        { "vertical, left of direction", seg(0, 0, 0, 10), { -0.5f, 5 }, false },
        { "diagonal, right of direction", seg(0, 0, 10, 10), { 10, 9.5f }, true },
        { "on the line", seg(0, 0, 10, 10), { 3, 3 }, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.line.Side(row.p), row.side);
    }
}

} // namespace
