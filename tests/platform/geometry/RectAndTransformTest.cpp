#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/Rect.h"

#include <gtest/gtest.h>
#include <cmath>

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
