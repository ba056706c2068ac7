// The perspective stage's fixed-point bilinear sampling against bilinear sampling in double
// through the same projective map, over sizes and factors; and its vector loops against the
// baseline ones, bit for bit.
#include "ContainerTestSupport.h"
#include "container/WarpRenderer.h"
#include "platform/imaging/CpuFeatures.h"

#include <QImage>
#include <QPolygonF>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct WarpCase {
    const char* name;
    int w, h;
    double hf, vf;
};

const WarpCase kCases[] = {
    { "64 x 48, right and top narrowed", 64, 48, 0.4, 0.3 },
    { "301 x 203, left and top", 301, 203, -0.25, 0.45 },
    { "517 x 131, runs of columns split unevenly", 517, 131, 0.8, -0.1 },
    { "40 x 300, tall, both negative", 40, 300, -0.7, -0.7 },
    { "1500 x 90, wide", 1500, 90, 0.4, 0.3 },
    { "257 x 257, extreme factors", 257, 257, 1.0, 1.0 },
    { "130 x 97, barely narrowed", 130, 97, 0.003, -0.002 },
};

QImage warped(const QImage& in, const WarpCase& c)
{
    const auto got
        = WarpRenderer::perspectiveCurved(platform::Image::fromQImage(in), {}, c.hf, c.vf);
    if (!got)
        return QImage();
    return got->image.toQImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

TEST(WarpFixedPoint, WithinOneLevelOfBilinearInDouble)
{
    unsigned seed = 7;
    for (const WarpCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const QImage in = noisePicture(c.w, c.h, seed++, 3, 16);
        const QImage out = warped(in, c);
        ASSERT_FALSE(out.isNull());
        ASSERT_EQ(out.size(), in.size());
        const auto corners = WarpRenderer::perspectiveCorners(c.w, c.h, c.hf, c.vf);
        ASSERT_TRUE(corners);
        const double w = c.w - 2, h = c.h - 2;
        QPolygonF from, to;
        from << QPointF(0, 0) << QPointF(w, 0) << QPointF(w, h) << QPointF(0, h);
        for (const platform::Point& p : *corners)
            to << QPointF(p.x, p.y);
        QTransform forward;
        ASSERT_TRUE(QTransform::quadToQuad(from, to, forward));
        const QTransform inverse = forward.inverted();
        double worst = 0;
        int compared = 0, clearOnlyOnOneSide = 0;
        for (int y = 0; y < c.h - 1; ++y)
            for (int x = 0; x < c.w - 1; ++x) {
                const QPointF s = inverse.map(QPointF(x, y));
                const int ix = int(std::floor(s.x())), iy = int(std::floor(s.y()));
                const bool inside = ix >= 0 && ix <= c.w - 3 && iy >= 0 && iy <= c.h - 3;
                const QRgb got = out.pixel(x, y);
                if (!inside) {
                    // Only the edge (samples a hair outside, extrapolated) may differ.
                    clearOnlyOnOneSide += got != 0;
                    continue;
                }
                const double fx = s.x() - ix, fy = s.y() - iy;
                double value[4];
                for (int ch = 0; ch < 4; ++ch) {
                    auto at = [&](int px, int py) {
                        return double((in.pixel(px, py) >> (8 * ch)) & 255u);
                    };
                    value[ch] = at(ix, iy) * (1 - fx) * (1 - fy) + at(ix + 1, iy) * fx * (1 - fy)
                        + at(ix, iy + 1) * (1 - fx) * fy + at(ix + 1, iy + 1) * fx * fy;
                }
                for (int ch = 0; ch < 4; ++ch)
                    worst = std::max(worst,
                        std::abs(double((got >> (8 * ch)) & 255u) - std::min(value[ch], value[3])));
                ++compared;
            }
        EXPECT_LE(worst, 1.0);
        EXPECT_GT(compared, (c.w - 1) * (c.h - 1) / 4) << "most of the picture is compared";
        EXPECT_LE(clearOnlyOnOneSide, 2 * (c.w + c.h)) << "differences only along the edges";
    }
}

TEST(WarpFixedPoint, VectorLoopsGiveTheBaselinePixels)
{
    unsigned seed = 40;
    for (const WarpCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const QImage in = noisePicture(c.w, c.h, seed++, 3, 16);
        const QImage vectors = warped(in, c);
        const bool was = platform::CpuFeatures::allowAvx(false);
        const QImage baseline = warped(in, c);
        platform::CpuFeatures::allowAvx(was);
        ASSERT_FALSE(vectors.isNull());
        EXPECT_TRUE(vectors == baseline);
    }
}
