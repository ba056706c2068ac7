// The blur over the whole range of kernel radii: against the exact sampled Gaussian computed
// per pixel in double, and the wide-vector loops against the baseline ones bit for bit.
#include "ImagingTestUtil.h"
#include "platform/imaging/CpuFeatures.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace platform;
using namespace imagingtest;

namespace {

struct RadiusRow {
    const char* name;
    int radius; // kernel taps either side
    int w, h;
    bool held; // edges held (the canvas chain's clamp) rather than clear beyond the picture
};

// A sigma whose kernel reaches exactly radius pixels either side.
double sigmaFor(int radius)
{
    return (radius - 0.5) / 3.0;
}

std::vector<double> halfKernel(double sigma)
{
    const int r = int(std::ceil(3 * sigma));
    std::vector<double> k(std::size_t(r) + 1);
    double sum = 0;
    for (int i = 0; i <= r; ++i) {
        k[std::size_t(i)] = std::exp(-double(i) * i / (2 * sigma * sigma));
        sum += i ? 2 * k[std::size_t(i)] : k[0];
    }
    for (double& v : k)
        v /= sum;
    return k;
}

FilterImage blurOf(const QImage& pic, double sigma, bool held)
{
    FilterImage src = FilterImage::fromQImage(pic);
    if (held)
        src = src.clampedToExtent();
    return apply("CIGaussianBlur", src, { { "inputRadius", sigma } });
}

// The largest difference, in levels, between the render of region and the separable
// convolution in double of the picture with the sampled Gaussian.
int worstDifference(const RadiusRow& row, const QImage& pic, const Rect& region)
{
    const std::vector<double> k = halfKernel(sigmaFor(row.radius));
    const int r = int(k.size()) - 1;
    EXPECT_EQ(r, row.radius) << row.name;
    const QImage out = renderExact(blurOf(pic, sigmaFor(row.radius), row.held), region);
    EXPECT_FALSE(out.isNull()) << row.name;
    if (out.isNull())
        return 1000;
    const int x0 = int(region.x()), y0 = int(region.y());
    const int rw = int(region.width()), rh = int(region.height());
    // Across the rows first: every picture row at every column of the region.
    std::vector<std::array<double, 4>> across(std::size_t(row.h) * std::size_t(rw));
    for (int y = 0; y < row.h; ++y)
        for (int ox = 0; ox < rw; ++ox) {
            std::array<double, 4> acc {};
            for (int t = -r; t <= r; ++t) {
                int x = x0 + ox + t;
                if (row.held)
                    x = std::clamp(x, 0, row.w - 1);
                else if (x < 0 || x >= row.w)
                    continue;
                const auto p = at(pic, x, y);
                for (int c = 0; c < 4; ++c)
                    acc[std::size_t(c)] += k[std::size_t(std::abs(t))] * p[std::size_t(c)];
            }
            across[std::size_t(y) * std::size_t(rw) + std::size_t(ox)] = acc;
        }
    int worst = 0;
    for (int oy = 0; oy < rh; ++oy)
        for (int ox = 0; ox < rw; ++ox) {
            std::array<double, 4> acc {};
            for (int t = -r; t <= r; ++t) {
                int y = y0 + oy + t;
                if (row.held)
                    y = std::clamp(y, 0, row.h - 1);
                else if (y < 0 || y >= row.h)
                    continue;
                const auto& a = across[std::size_t(y) * std::size_t(rw) + std::size_t(ox)];
                for (int c = 0; c < 4; ++c)
                    acc[std::size_t(c)] += k[std::size_t(std::abs(t))] * a[std::size_t(c)];
            }
            const auto got = at(out, ox, oy);
            for (int c = 0; c < 4; ++c)
                worst = std::max(
                    worst, int(std::lround(std::abs(got[std::size_t(c)] - acc[std::size_t(c)]))));
        }
    return worst;
}

const RadiusRow kRadii[] = {
    { "radius 1", 1, 23, 17, true },
    { "radius 2, clear beyond", 2, 19, 13, false },
    { "radius 8 (largest unrolled)", 8, 40, 30, true },
    { "radius 9 (smallest general)", 9, 41, 29, true },
    { "radius 15 (sigma 5 at full size)", 15, 64, 48, true },
    { "radius 15 across tile seams", 15, 560, 40, true },
    { "radius 15, one row tall", 15, 50, 1, true },
    { "radius 4, three rows tall", 4, 30, 3, false },
    { "radius 16, clear beyond", 16, 37, 15, false },
    { "radius 33, odd sizes", 33, 45, 27, true },
    { "radius 64", 64, 44, 30, true },
    { "radius 100, clear beyond", 100, 30, 20, false },
    { "radius 150", 150, 48, 30, true },
    { "radius 200", 200, 64, 48, true },
    { "radius 200, clear beyond", 200, 24, 16, false },
};

} // namespace

TEST(BlurRadius, WithinOneLevelOfTheExactGaussianAtEveryRadius)
{
    for (const RadiusRow& row : kRadii) {
        const QImage pic = texturedPicture(row.w, row.h);
        // Held edges: the picture's own extent. Clear beyond: a margin of the spread around it.
        const int m = row.held ? 0 : std::min(row.radius, 10);
        const Rect region(-m, -m, row.w + 2 * m, row.h + 2 * m);
        EXPECT_LE(worstDifference(row, pic, region), 1) << row.name;
    }
}

// Only meaningful where the processor has the wide vectors; elsewhere both runs take the
// baseline loops and agree trivially.
TEST(BlurRadius, WideVectorsGiveTheBaselinePixels)
{
    for (const RadiusRow& row : kRadii) {
        const QImage pic = texturedPicture(row.w, row.h);
        const FilterImage blurred = blurOf(pic, sigmaFor(row.radius), row.held);
        const Rect region(-3, -3, row.w + 6, row.h + 6);
        const QImage wide = renderExact(blurred, region);
        const bool was = CpuFeatures::allowAvx(false);
        const QImage baseline = renderExact(blurred, region);
        CpuFeatures::allowAvx(was);
        ASSERT_FALSE(wide.isNull()) << row.name;
        EXPECT_TRUE(wide == baseline) << row.name;
    }
}

// The wide loops with and without AVX-512's extra registers (they take different numbers of
// pixels at a time) and the baseline loops give the same floats, not only the same bytes.
TEST(BlurRadius, EveryPathGivesTheSameFloats)
{
    for (const RadiusRow& row : kRadii) {
        const QImage pic = texturedPicture(row.w, row.h);
        const FilterImage blurred = blurOf(pic, sigmaFor(row.radius), row.held);
        const PixelRect r(-3, -3, row.w + 6, row.h + 6);
        RenderArgs args;
        PixelTile wide, avx2, baseline;
        ASSERT_TRUE(blurred.node()->renderRect(args, r, wide)) << row.name;
        const bool was = CpuFeatures::allowAvx512(false);
        ASSERT_TRUE(blurred.node()->renderRect(args, r, avx2)) << row.name;
        CpuFeatures::allowAvx512(was);
        const bool wasAvx = CpuFeatures::allowAvx(false);
        ASSERT_TRUE(blurred.node()->renderRect(args, r, baseline)) << row.name;
        CpuFeatures::allowAvx(wasAvx);
        for (int y = r.y; y < r.maxY(); ++y) {
            const std::size_t bytes = std::size_t(r.width) * sizeof(Px);
            ASSERT_EQ(std::memcmp(wide.row(y), avx2.row(y), bytes), 0) << row.name << ", row " << y;
            ASSERT_EQ(std::memcmp(wide.row(y), baseline.row(y), bytes), 0)
                << row.name << ", row " << y;
        }
    }
}
