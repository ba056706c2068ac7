// The canvas's blur of its picture (edges held, blurred, cut to the picture) when the display
// zooms in past the picture's pixels: a picture of a few pixels fills the window at hundreds
// of times its size. Its pixels against the blur of the zoomed picture worked out in double,
// and what a render reads to make them.
#include "ImagingTestUtil.h"
#include "platform/imaging/BlurNode.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace platform;
using namespace imagingtest;

namespace {

// The side, in pixels, of the window a picture is zoomed to fit.
constexpr double kWindow = 900;

double fitScale(const QImage& pic)
{
    return kWindow / std::max(pic.width(), pic.height());
}

FilterImage blurredPicture(const QImage& pic, double sigma)
{
    const FilterImage src = FilterImage::fromQImage(pic);
    return apply("CIGaussianBlur", src.clampedToExtent(), { { "inputRadius", sigma } })
        .cropped(src.extent());
}

QImage shown(const FilterImage& image, const Rect& region, double scale,
    const std::atomic<bool>* cancel = nullptr)
{
    return FilterRenderer::render(image, region, scale, RenderPath::Display, cancel);
}

QImage picture(int w, int h)
{
    return makePicture(w, h, [](int x, int y) {
        return Rgba { 0.1 + 0.8 * ((x * 5 + y * 3) % 7) / 6.0, 0.9 - 0.35 * ((x + 2 * y) % 3),
            (x + y) % 2 ? 0.95 : 0.05, 1.0 };
    });
}

// The weight of picture column i (of n, edges held) in the blur at working x: the Gaussian of
// sigma, cut at 3 sigma as the kernel is, over the picture resampled bilinearly (pixel centres
// at i + 0.5), integrated in fine steps.
std::vector<double> axisWeights(double x, int n, double sigma)
{
    std::vector<double> w(std::size_t(n), 0.0);
    const int steps = 6000;
    const double h = 6 * sigma / steps;
    double total = 0;
    for (int k = 0; k < steps; ++k) {
        const double t = -3 * sigma + (k + 0.5) * h;
        const double g = std::exp(-t * t / (2 * sigma * sigma));
        const double u = x - t - 0.5;
        const double f = std::floor(u);
        const double frac = u - f;
        w[std::size_t(std::clamp(int(f), 0, n - 1))] += g * (1 - frac);
        w[std::size_t(std::clamp(int(f) + 1, 0, n - 1))] += g * frac;
        total += g;
    }
    for (double& v : w)
        v /= total;
    return w;
}

// The blurred zoomed picture at working (x, y), premultiplied 0..255.
std::array<double, 4> expectedAt(const QImage& pic, double x, double y, double sigma)
{
    const std::vector<double> wx = axisWeights(x, pic.width(), sigma);
    const std::vector<double> wy = axisWeights(y, pic.height(), sigma);
    std::array<double, 4> sum {};
    for (int j = 0; j < pic.height(); ++j)
        for (int i = 0; i < pic.width(); ++i) {
            const auto p = at(pic, i, j);
            for (int c = 0; c < 4; ++c)
                sum[std::size_t(c)] += wx[std::size_t(i)] * wy[std::size_t(j)] * p[std::size_t(c)];
        }
    return sum;
}

// Counts the pixels asked of its input and stops the render once they pass a limit.
class ReadCounter final : public FilterNode {
public:
    ReadCounter(FilterNodePtr input, long long limit, std::atomic<bool>& cancel)
        : m_input(std::move(input))
        , m_limit(limit)
        , m_cancel(cancel)
    {
    }
    Rect extent() const override { return m_input->extent(); }
    bool render(const RenderArgs& args, PixelTile& out) const override
    {
        if ((read += out.rect().area()) > m_limit) {
            m_cancel = true;
            return false;
        }
        return m_input->renderInto(args, out);
    }
    mutable std::atomic<long long> read { 0 };

private:
    FilterNodePtr m_input;
    long long m_limit;
    std::atomic<bool>& m_cancel;
};

struct TinyRow {
    int w, h;
    double sigma;
};

// The picture sizes and Aperture values of the slow documents (sigma is five times Aperture),
// and larger pictures zoomed in less, where the blur spans fewer render pixels.
const TinyRow kTiny[] = {
    { 1, 1, 1.25 },
    { 1, 1, 5 },
    { 1, 2, 1.25 },
    { 1, 2, 5 },
    { 3, 3, 1.25 },
    { 3, 3, 5 },
    { 16, 16, 1.25 },
    { 60, 40, 5 },
    { 100, 60, 1.25 },
};

} // namespace

// An image without bounds scaled by 2 or more had its far corner at minus infinity plus
// infinity: its pixels shrank to the quarter below the origin, and the blur read clear
// everywhere else.
TEST(ZoomedBlur, AnImageWithoutBoundsIsBlurredAtEveryScale)
{
    const FilterImage colour = FilterImage::constantColor(Color(0.8, 0.4, 0.2, 1));
    const Rect region(0, 0, 4, 4);
    const FilterImage blurred
        = apply("CIGaussianBlur", colour, { { "inputRadius", 1.25 } }).cropped(region);
    for (double scale : { 0.5, 1.0, 1.9, 2.0, 4.5, 225.0 }) {
        SCOPED_TRACE(scale);
        const QImage out = shown(blurred, region, scale);
        ASSERT_FALSE(out.isNull());
        for (int x : { 0, out.width() / 2, out.width() - 1 })
            for (int y : { 0, out.height() / 2, out.height() - 1 })
                EXPECT_EQ(at(out, x, y), (std::array<int, 4> { 204, 102, 51, 255 }))
                    << x << "," << y;
    }
}

// Zoomed in, the picture's own render fades to clear across the outer half of its edge pixels;
// held at its edges, it shows those pixels to its edge.
TEST(ZoomedBlur, APictureHeldAtItsEdgesShowsItsEdgePixelsToTheEdge)
{
    const QImage pic = picture(2, 3);
    const FilterImage src = FilterImage::fromQImage(pic);
    const FilterImage held = src.clampedToExtent().cropped(src.extent());
    for (double scale : { 1.5, 4.0, 300.0 }) {
        SCOPED_TRACE(scale);
        const QImage out = shown(held, src.extent(), scale);
        ASSERT_FALSE(out.isNull());
        const int right = out.width() - 1, top = out.height() - 1;
        EXPECT_EQ(at(out, 0, 0), at(pic, 0, 0));
        EXPECT_EQ(at(out, right, 0), at(pic, 1, 0));
        EXPECT_EQ(at(out, 0, top), at(pic, 0, 2));
        EXPECT_EQ(at(out, right, top), at(pic, 1, 2));
    }
}

// Every probe of the shown picture within a level of the blur of the zoomed picture.
TEST(ZoomedBlur, ATinyPictureZoomedToTheWindowIsBlurredAsAtItsShownSize)
{
    for (const TinyRow& row : kTiny) {
        SCOPED_TRACE(testing::Message() << row.w << "x" << row.h << ", sigma " << row.sigma);
        const QImage pic = picture(row.w, row.h);
        const double scale = fitScale(pic);
        const QImage out = shown(blurredPicture(pic, row.sigma), Rect(0, 0, row.w, row.h), scale);
        ASSERT_FALSE(out.isNull());
        int worst = 0;
        for (int gy = 0; gy <= 6; ++gy)
            for (int gx = 0; gx <= 6; ++gx) {
                const int px = std::min(out.width() - 1, gx * out.width() / 6);
                const int py = std::min(out.height() - 1, gy * out.height() / 6);
                const auto want
                    = expectedAt(pic, (px + 0.5) / scale, (py + 0.5) / scale, row.sigma);
                const auto got = at(out, px, py);
                for (int c = 0; c < 4; ++c)
                    worst = std::max(worst,
                        int(std::ceil(std::abs(got[std::size_t(c)] - want[std::size_t(c)]) - 0.5)));
            }
        EXPECT_LE(worst, 1);
    }
}

// The blur's input, held at the picture's edges, is read over less than four times the pixels
// the render shows: each of the display's tiles reads no more than itself and the kernel's
// reach around it at a scale where sigma spans at most 32 pixels, not the reach at the shown
// size (thousands of pixels for a picture of one).
TEST(ZoomedBlur, AZoomedInBlurReadsNoMoreThanItShows)
{
    for (const TinyRow& row : kTiny) {
        SCOPED_TRACE(testing::Message() << row.w << "x" << row.h << ", sigma " << row.sigma);
        const QImage pic = picture(row.w, row.h);
        const double scale = fitScale(pic);
        const FilterImage src = FilterImage::fromQImage(pic);
        const QSize size = FilterRenderer::outputSize(src.extent(), scale);
        const long long shownPixels = (long long)size.width() * size.height();
        std::atomic<bool> cancel { false };
        const auto counter
            = std::make_shared<ReadCounter>(src.clampedToExtent().node(), 4 * shownPixels, cancel);
        const FilterImage blurred
            = FilterImage(std::make_shared<BlurNode>(counter, row.sigma)).cropped(src.extent());
        const QImage out = shown(blurred, src.extent(), scale, &cancel);
        EXPECT_FALSE(out.isNull()) << "read " << counter->read << " for " << shownPixels;
        EXPECT_LE(counter->read, 4 * shownPixels);
    }
}
