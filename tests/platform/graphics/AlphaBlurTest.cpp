// The shadow blur against a plain per-pixel Gaussian.
#include "platform/graphics/AlphaBlur.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

TEST(AlphaBlur, MatchesADirectGaussianAndKeepsMass)
{
    struct Row {
        const char* name;
        double sigma;
        int tolerance;
    };
    const Row rows[] = { { "none", 0.0, 0 }, { "kernel 1.5", 1.5, 2 }, { "kernel 6", 6, 1 },
        { "box passes 20", 20, 3 } };
    const int w = 40, h = 30;
    std::vector<std::uint8_t> plane(size_t(w * h), 0);
    for (int y = 10; y < 20; ++y)
        for (int x = 12; x < 30; ++x)
            plane[size_t(y * w + x)] = 200;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const AlphaBlur blur(r.sigma);
        const int reach = blur.reach();
        const int ow = w + 2 * reach, oh = h + 2 * reach;
        const std::vector<std::uint8_t> out = blur.apply(plane.data(), w, h, w);
        ASSERT_EQ(out.size(), size_t(ow * oh));
        // Reference: the rectangle's exact Gaussian integral at each pixel centre.
        int worst = 0;
        double mass = 0;
        for (int y = 0; y < oh; ++y) {
            for (int x = 0; x < ow; ++x) {
                const double px = x - reach + 0.5, py = y - reach + 0.5;
                double expected;
                if (r.sigma == 0.0) {
                    expected = (px > 12 && px < 30 && py > 10 && py < 20) ? 200 : 0;
                } else {
                    const double s = r.sigma * std::sqrt(2.0);
                    const double fx = 0.5 * (std::erf((30 - px) / s) - std::erf((12 - px) / s));
                    const double fy = 0.5 * (std::erf((20 - py) / s) - std::erf((10 - py) / s));
                    expected = 200 * fx * fy;
                }
                const int got = out[size_t(y * ow + x)];
                worst = std::max(worst, std::abs(got - int(std::lround(expected))));
                mass += got;
            }
        }
        EXPECT_LE(worst, r.tolerance);
        EXPECT_NEAR(mass, 200.0 * 18 * 10, 200.0 * 18 * 10 * 0.02);
    }
}

TEST(AlphaBlur, RefusesUnboundedSigmas)
{
    EXPECT_EQ(AlphaBlur(NAN).reach(), 0);
    EXPECT_EQ(AlphaBlur(-3).reach(), 0);
    EXPECT_LE(AlphaBlur(1e12).reach(), int(3 * AlphaBlur::kMaxSigma) + 3);
    const std::uint8_t one = 255;
    EXPECT_EQ(AlphaBlur(5).apply(&one, 0, 1, 1).size(), 0u);
}
