// The sampled callout outline: arcs and sides of its rounded rectangle, the tail cut in at the
// outline point nearest the tail, and the two tail handles it writes.
#include "ShapeGeometryTestSupport.h"
#include "boxes/ShapeOutline.h"

#include <cmath>
#include <gtest/gtest.h>

using platform::Point;
using shapetest::distance;

namespace {

ShapeModel callout(Point tip, float radius, float halfWidth)
{
    ShapeModel m;
    m.shapeType = shape::OvalCallout;
    m.controlVals = { ControlValue(tip), ControlValue(double(radius)), ControlValue(double(radius)),
        ControlValue(double(radius)), ControlValue(double(radius)), ControlValue(double(halfWidth)),
        ControlValue(Point(-7, -7)), ControlValue(Point(-7, -7)) };
    return m;
}

bool onBoundary(const Point& p, float r)
{
    // On a side, or on the quarter ellipse of a corner (the same fraction across and up).
    const double rr = double(r);
    const Point centres[] = { { rr, rr }, { 1 - rr, rr }, { 1 - rr, 1 - rr }, { rr, 1 - rr } };
    for (const Point& c : centres)
        if (r > 0.001f && std::abs(distance(p, c) - rr) < 1e-5)
            return true;
    return std::abs(p.x) < 1e-6 || std::abs(p.x - 1) < 1e-6 || std::abs(p.y) < 1e-6
        || std::abs(p.y - 1) < 1e-6;
}

} // namespace

TEST(CalloutOutline, SampleCountsAndTail)
{
    struct Row {
        const char* name;
        Point tip;
        float radius, halfWidth;
        std::size_t count; // points returned, tip included
    };
    const Row rows[] = {
        { "oval, no width", Point(0, -0.15), 0.5f, 0.0f, 180 }, // four arcs of 45, no sides
        // Four sides of 51: the running float value ends just below 1 (0.99999994) or above 0.
        { "sharp corners, no width", Point(0, -0.15), 0.0f, 0.0f, 204 },
        { "radius 0.001 is sharp", Point(0, -0.15), 0.001f, 0.0f, 200 }, // 0.001 to 0.981
        { "rounded box", Point(-0.15, 0.5), 0.1f, 0.0f, 180 + 4 * 41 },
    };
    for (const Row& r : rows) {
        ShapeModel m = callout(r.tip, r.radius, r.halfWidth);
        const std::vector<Point> pts = roundRectPoints(m);
        EXPECT_EQ(pts.size(), r.count) << r.name;
        int tips = 0;
        for (const Point& p : pts) {
            tips += p == r.tip;
            EXPECT_TRUE(p == r.tip || onBoundary(p, r.radius))
                << r.name << " " << p.x << "," << p.y;
        }
        EXPECT_EQ(tips, 1) << r.name;
        // Counter-clockwise from the lower end of the side u = 0.
        const Point first = pts[0] == r.tip ? pts[1] : pts[0];
        EXPECT_LE(first.y, 0.5 + 1e-6) << r.name; // pi is 3.141592
        EXPECT_LE(first.x, 0.5) << r.name;
        EXPECT_EQ(m.controlVals[6].pointValue(), Point(-7, -7))
            << r.name << ": nothing cut, handle kept";
    }
}

TEST(CalloutOutline, NewOvalCalloutCutsTheTailNearTheLowerLeft)
{
    ShapeModel m = callout(Point(0, -0.15), 0.5f, 0.1f);
    const std::vector<Point> pts = roundRectPoints(m);
    const Point base = m.controlVals[7].pointValue();
    const Point handle = m.controlVals[6].pointValue();
    // The base lies on the ellipse, lower left, nearest the segment from the tip to the centre.
    EXPECT_NEAR(distance(base, Point(0.5, 0.5)), 0.5, 1e-6);
    EXPECT_LT(base.x, 0.5);
    EXPECT_LT(base.y, 0.5);
    EXPECT_LT(distance(handle, base), 0.1);
    EXPECT_GT(distance(handle, base), 0.0);
    // Every outline point within the half-width of the base is gone; the tip took its place.
    std::size_t removed = 180 + 1 - pts.size();
    EXPECT_GE(removed, 4u);
    for (const Point& p : pts)
        EXPECT_TRUE(p == Point(0, -0.15) || distance(p, base) >= double(0.1f) - 1e-7)
            << p.x << "," << p.y;
    // The tip's neighbours are the nearest kept points on either side of the base.
    std::size_t k = 0;
    while (pts[k] != Point(0, -0.15))
        ++k;
    EXPECT_GT(distance(pts[(k + 1) % pts.size()], base), 0.09);
    EXPECT_GT(distance(pts[(k + pts.size() - 1) % pts.size()], base), 0.09);
}

TEST(CalloutOutline, ShortOrBadValuesStayBounded)
{
    // Fewer than eight values: nothing written past them, no reads past them.
    ShapeModel few;
    few.shapeType = shape::OvalCallout;
    few.controlVals = { ControlValue(Point(0, -0.2)) };
    const std::vector<Point> pts = roundRectPoints(few);
    EXPECT_EQ(few.controlVals.size(), 1u);
    EXPECT_EQ(pts.size(), 204u);

    // Negative, huge or not-a-number radii finish (the sides cannot run away).
    for (double r : { -1e30, -0.3, 1e30, std::nan(""), std::numeric_limits<double>::infinity() }) {
        ShapeModel m = callout(Point(1.3, 0.5), 0.1f, 0.1f);
        for (int i = 1; i <= 4; ++i)
            m.controlVals[std::size_t(i)] = ControlValue(r);
        const std::vector<Point> out = roundRectPoints(m);
        EXPECT_LE(out.size(), 201u) << r;
    }
}
