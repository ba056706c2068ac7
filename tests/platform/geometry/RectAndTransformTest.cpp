#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/Rect.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

TEST(Rect, StandardizesNegativeSizesAndIntersects)
{
    const Rect r(10, 10, -4, -6);
    EXPECT_EQ(r.standardized(), Rect(6, 4, 4, 6));
    EXPECT_EQ(Rect(0, 0, 10, 10).intersection(Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
    EXPECT_TRUE(Rect(0, 0, 10, 10).intersection(Rect(20, 20, 1, 1)).isNull());
    EXPECT_EQ(Rect(0, 0, 1, 1).united(Rect::null()), Rect(0, 0, 1, 1));
    EXPECT_EQ(Rect(0.5, 0.25, 1, 1).integral(), Rect(0, 0, 2, 2));
}

TEST(AffineTransform, BuildersPrependTheirStep)
{
    // translated() first translates, then applies the receiver: a scale by 2 after a move by
    // (1, 0) sends the origin to (2, 0).
    const auto t = AffineTransform::makeScale(2, 2).translated(1, 0);
    EXPECT_EQ(t.map({0, 0}), Point(2, 0));
    // concatenated(): first the receiver, then the argument.
    const auto u = AffineTransform::makeTranslation(1, 0).concatenated(AffineTransform::makeScale(2, 2));
    EXPECT_EQ(u.map({0, 0}), Point(2, 0));
    const auto r = AffineTransform::makeRotation(M_PI / 2).map({1, 0});
    EXPECT_NEAR(r.x, 0, 1e-12);
    EXPECT_NEAR(r.y, 1, 1e-12);  // counter-clockwise in y-up
}

TEST(AffineTransform, InverseRoundTripsAndRefusesSingular)
{
    const auto t = AffineTransform::makeRotation(0.3).scaled(2, 3).translated(5, -7);
    const auto inv = t.inverted();
    ASSERT_TRUE(inv);
    const Point p = inv->map(t.map({3, 4}));
    EXPECT_NEAR(p.x, 3, 1e-9);
    EXPECT_NEAR(p.y, 4, 1e-9);
    EXPECT_FALSE(AffineTransform::makeScale(0, 1).inverted());
    EXPECT_FALSE(AffineTransform(NAN, 0, 0, 1, 0, 0).inverted());
}

TEST(Rect, EmptinessNullAndContainment)
{
    struct Row {
        const char* name;
        Rect r;
        bool empty;
        bool containsOrigin; // (0, 0), half-open
    };
    const Row rows[] = {
        { "ordinary", { 0, 0, 2, 3 }, false, true },
        { "negative size", { 2, 3, -2, -3 }, false, true },
        { "zero width", { 0, 0, 0, 3 }, true, false },
        { "nan width counts as empty", { 0, 0, NAN, 3 }, true, false },
        { "nan height counts as empty", { 0, 0, 3, NAN }, true, false },
        { "null", Rect::null(), true, false },
        { "max edge is outside", { -2, -2, 2, 2 }, false, false },
        { "infinite", Rect::infinite(), false, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.r.isEmpty(), row.empty);
        EXPECT_EQ(row.r.contains(Point(0, 0)), row.containsOrigin);
    }
    EXPECT_TRUE(Rect(0, 0, 1, 1).insetBy(1, 0).isNull());
    EXPECT_FALSE(Rect(0, 0, 10, 10).intersects(Rect(10, 0, 5, 5))); // touching edges only
    EXPECT_TRUE(Rect(0, 0, 10, 10).contains(Rect(2, 2, 8, 8)));
    EXPECT_EQ(Rect::null().offsetBy(3, 3), Rect::null());
}

TEST(AffineTransform, MapRectBoundsTheRotatedCorners)
{
    const Rect r = AffineTransform::makeRotation(M_PI / 4).mapRect(Rect(0, 0, 2, 2));
    EXPECT_NEAR(r.minX(), -std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(r.maxX(), std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(r.minY(), 0, 1e-12);
    EXPECT_NEAR(r.maxY(), 2 * std::sqrt(2.0), 1e-12);
    EXPECT_TRUE(AffineTransform().mapRect(Rect::null()).isNull());
    // Order of composition: the QTransform of a concatenation maps as the two in turn.
    const auto a = AffineTransform::makeRotation(0.4).translated(3, 1);
    const auto b = AffineTransform::makeScale(2, -1);
    const QPointF viaQt = a.concatenated(b).toQt().map(QPointF(1, 2));
    const Point direct = b.map(a.map({ 1, 2 }));
    EXPECT_NEAR(viaQt.x(), direct.x, 1e-12);
    EXPECT_NEAR(viaQt.y(), direct.y, 1e-12);
    EXPECT_EQ(AffineTransform::fromQt(a.toQt()), a);
}
