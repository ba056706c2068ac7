// Narrowing a double through float must survive the optimiser. GCC 12's straight-line
// vectoriser folds a pair of double -> float -> double conversions back into a plain copy
// when the block is analysed in an integer vector mode first (two adjacent 64-bit fields
// copied beside them); the build turns that vectoriser off for GCC < 13, and this test
// fails when the flag is missing.
#include <gtest/gtest.h>

#include <vector>

namespace {

struct Record {
    unsigned long first = 0, second = 0;
    double a = 0.0, b = 0.0;
    std::vector<int> tail;
};

double narrowed(double v)
{
    return double(float(v));
}

// Values the optimiser cannot see through.
double opaque(double v)
{
    volatile double keep = v;
    return keep;
}

unsigned long opaque(unsigned long v)
{
    volatile unsigned long keep = v;
    return keep;
}

TEST(FloatNarrowing, SurvivesStraightLineVectorisation)
{
    Record original;
    original.first = opaque(1ul);
    original.second = opaque(2ul);
    original.a = opaque(0.1);
    original.b = opaque(0.3);

    Record copy = original;
    copy.first = original.second;
    copy.second = original.first;
    copy.a = narrowed(original.a);
    copy.b = narrowed(original.b);

    EXPECT_EQ(copy.a, double(0.1f));
    EXPECT_EQ(copy.b, double(0.3f));
    EXPECT_NE(copy.a, 0.1) << "the narrowing was dropped";
    EXPECT_EQ(copy.first, 2ul);
}

} // namespace
