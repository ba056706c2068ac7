// The shadow blur against a plain per-pixel Gaussian.
#include "platform/graphics/AlphaBlur.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <gtest/gtest.h>

using namespace platform;

// A rectangle of 200s whose sides are a few sigmas long, blurred whole, against its exact
// Gaussian integral at each pixel centre; the mass is kept.
TEST(AlphaBlur, MatchesADirectGaussianAndKeepsMass)
{
    struct Row {
        const char* name;
        double sigma;
        int tolerance;
    };
    const Row rows[] = { { "none", 0.0, 0 }, { "kernel 1.5", 1.5, 2 }, { "kernel 6", 6, 1 },
        { "kernel 16", 16, 1 }, { "box passes 17", 17, 3 }, { "box passes 20", 20, 3 },
        { "box passes 45", 45, 3 }, { "box passes 130", 130, 3 },
        { "box passes 300 (a blur of 600)", 300, 3 } };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        // The rectangle spans 1.2 by 0.6 sigma (at least 18 by 10) inside a margin.
        const int rw = std::max(18, int(1.2 * r.sigma)), rh = std::max(10, int(0.6 * r.sigma));
        const int x0 = 12, y0 = 10, w = rw + 22, h = rh + 20;
        std::vector<std::uint8_t> plane(size_t(w * h), 0);
        for (int y = y0; y < y0 + rh; ++y)
            for (int x = x0; x < x0 + rw; ++x)
                plane[size_t(y * w + x)] = 200;
        const AlphaBlur blur(r.sigma);
        const int reach = blur.reach();
        const int ow = w + 2 * reach, oh = h + 2 * reach;
        const std::vector<std::uint8_t> out = blur.apply(plane.data(), w, h, w);
        ASSERT_EQ(out.size(), size_t(ow) * size_t(oh));
        // The Gaussian is separable: the share of each column and each row.
        auto share = [&](int i, int from, int to) {
            const double p = i - reach + 0.5;
            if (r.sigma == 0.0)
                return p > from && p < to ? 1.0 : 0.0;
            const double s = r.sigma * std::sqrt(2.0);
            return 0.5 * (std::erf((to - p) / s) - std::erf((from - p) / s));
        };
        std::vector<double> fx(static_cast<size_t>(ow)), fy(static_cast<size_t>(oh));
        for (int x = 0; x < ow; ++x)
            fx[size_t(x)] = share(x, x0, x0 + rw);
        for (int y = 0; y < oh; ++y)
            fy[size_t(y)] = share(y, y0, y0 + rh);
        int worst = 0;
        double mass = 0;
        for (int y = 0; y < oh; ++y) {
            for (int x = 0; x < ow; ++x) {
                const int expected = int(std::lround(200 * fx[size_t(x)] * fy[size_t(y)]));
                const int got = out[size_t(y) * size_t(ow) + size_t(x)];
                worst = std::max(worst, std::abs(got - expected));
                mass += got;
            }
        }
        EXPECT_LE(worst, r.tolerance);
        EXPECT_NEAR(mass, 200.0 * rw * rh, 200.0 * rw * rh * 0.02);
    }
}

// A window of the result is exactly that part of the whole result, for windows inside it,
// across its edges and wholly outside, with the kernel and with box passes; large planes are
// split over threads; four- and eight-lane vectors give the same bits.
TEST(AlphaBlur, WindowIsThatPartOfTheWholeResult)
{
    struct Row {
        const char* name;
        double sigma;
        int width, height, step;
        AlphaBlur::Window window;
    };
    const Row rows[] = {
        { "kernel, inside", 4, 90, 70, 1, { 10, 7, 50, 40 } },
        { "kernel, across the top-left corner", 9, 61, 47, 4, { -5, -9, 40, 30 } },
        { "kernel, across the bottom-right corner", 3, 80, 60, 1, { 50, 40, 60, 60 } },
        { "kernel, a few columns inside one run, far down", 16, 300, 400, 1, { 5, 300, 2, 3 } },
        { "kernel, off the runs at both ends, split over threads", 6, 1100, 900, 4,
            { 13, 250, 1001, 600 } },
        { "boxes, inside", 40, 200, 150, 1, { 60, 30, 170, 120 } },
        { "boxes, one column", 40, 200, 150, 4, { 150, 0, 1, 390 } },
        { "boxes, across the bottom-right", 70, 150, 120, 3, { 200, 180, 300, 300 } },
        { "boxes, wholly outside", 40, 100, 100, 1, { 400, 10, 20, 20 } },
        { "boxes, split over threads", 90, 1200, 900, 4, { 100, 150, 1000, 800 } },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<std::uint8_t> pixels(size_t(r.width * r.height * r.step), 33);
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                pixels[size_t((y * r.width + x) * r.step)]
                    = std::uint8_t((x / 9 + y / 5) % 4 == 0 ? 255
                            : (x * 7 + y * 3) % 11 == 0     ? 120
                                                            : 0);
        const AlphaBlur blur(r.sigma);
        const int ow = r.width + 2 * blur.reach(), oh = r.height + 2 * blur.reach();
        const int stride = r.width * r.step;
        const std::vector<std::uint8_t> whole
            = blur.apply(pixels.data(), r.width, r.height, stride, r.step);
        std::vector<std::uint8_t> part(7, 1);
        blur.apply(pixels.data(), r.width, r.height, stride, r.step, r.window, part);
        ASSERT_EQ(part.size(), size_t(r.window.width) * size_t(r.window.height));
        int wrong = 0;
        for (int y = 0; y < r.window.height; ++y)
            for (int x = 0; x < r.window.width; ++x) {
                const int wx = r.window.x + x, wy = r.window.y + y;
                const int expected = wx >= 0 && wy >= 0 && wx < ow && wy < oh
                    ? whole[size_t(wy) * size_t(ow) + size_t(wx)]
                    : 0;
                wrong += part[size_t(y * r.window.width + x)] != expected;
            }
        EXPECT_EQ(wrong, 0);
        const bool before = AlphaBlur::allowWideVectors(false);
        std::vector<std::uint8_t> narrow;
        blur.apply(pixels.data(), r.width, r.height, stride, r.step, r.window, narrow);
        AlphaBlur::allowWideVectors(before);
        EXPECT_EQ(narrow, part);
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

// Sparse planes (lone dots at the corners, across run boundaries, rows left empty) read in
// place from pixels of 1, 3 and 4 bytes, small and large enough to be split over threads:
// every output value against a direct separable Gaussian. Empty stretches are skipped by the
// blur, so a dot lost at a run's edge shows up here.
TEST(AlphaBlur, SparsePlanesMatchADirectSeparableGaussian)
{
    struct Row {
        const char* name;
        int width, height, step;
    };
    const Row rows[] = { { "bytes, odd size", 37, 23, 1 }, { "pixels of 4", 61, 29, 4 },
        { "pixels of 3", 45, 17, 3 }, { "large, split over threads", 800, 700, 4 } };
    const double sigma = 3.0;
    const AlphaBlur blur(sigma);
    const int reach = blur.reach();
    std::vector<double> kernel(size_t(2 * reach + 1));
    double sum = 0;
    for (int i = -reach; i <= reach; ++i)
        sum += kernel[size_t(i + reach)] = std::exp(-double(i) * i / (2 * sigma * sigma));
    for (double& k : kernel)
        k /= sum;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const int w = r.width, h = r.height;
        std::vector<int> values(size_t(w * h), 0);
        auto dot = [&](int x, int y, int v) { values[size_t(y * w + x)] = v; };
        dot(0, 0, 255);
        dot(w - 1, 0, 90);
        dot(0, h - 1, 17);
        dot(w - 1, h - 1, 255);
        unsigned seed = 12345;
        for (int y = 2; y < h - 2; y += 5) { // rows in between stay empty
            for (int x = 0; x < w; ++x) {
                seed = seed * 1103515245u + 12345u;
                if ((seed >> 16) % 97 == 0 || x % 8 == 7)
                    dot(x, y, int((seed >> 8) % 255) + 1);
            }
        }
        std::vector<std::uint8_t> pixels(size_t(w * h * r.step), 77);
        for (size_t i = 0; i < values.size(); ++i)
            pixels[i * size_t(r.step) + size_t(r.step - 1)] = std::uint8_t(values[i]);
        const std::vector<std::uint8_t> out
            = blur.apply(pixels.data() + r.step - 1, w, h, w * r.step, r.step);
        const int ow = w + 2 * reach, oh = h + 2 * reach;
        ASSERT_EQ(out.size(), size_t(ow * oh));
        std::vector<double> across(size_t(ow * h), 0.0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < ow; ++x)
                for (int k = 0; k <= 2 * reach; ++k) {
                    const int sx = x - 2 * reach + k;
                    if (sx >= 0 && sx < w)
                        across[size_t(y * ow + x)]
                            += kernel[size_t(k)] * values[size_t(y * w + sx)];
                }
        int worst = 0;
        for (int y = 0; y < oh; ++y)
            for (int x = 0; x < ow; ++x) {
                double expected = 0;
                for (int k = 0; k <= 2 * reach; ++k) {
                    const int sy = y - 2 * reach + k;
                    if (sy >= 0 && sy < h)
                        expected += kernel[size_t(k)] * across[size_t(sy * ow + x)];
                }
                worst = std::max(
                    worst, std::abs(int(out[size_t(y * ow + x)]) - int(std::lround(expected))));
            }
        EXPECT_LE(worst, 1);
        // Four-lane and eight-lane vectors give the same bits.
        const bool before = AlphaBlur::allowWideVectors(false);
        const std::vector<std::uint8_t> narrow
            = blur.apply(pixels.data() + r.step - 1, w, h, w * r.step, r.step);
        AlphaBlur::allowWideVectors(before);
        EXPECT_EQ(narrow, out);
    }
}

// Opaque insides are filled in rather than summed: the result must be the very bits of the
// summed form, for opaque blocks touching every edge of the plane, with ragged borders and
// holes, read in place from pixels of 1, 3 and 4 bytes, on one thread and split over threads,
// with four- and eight-lane vectors.
TEST(AlphaBlur, OpaqueRunsGiveTheBitsOfTheSums)
{
    struct Row {
        const char* name;
        int width, height, step;
        double sigma;
    };
    const Row rows[] = { { "bytes, odd size", 53, 41, 1, 2.0 }, { "pixels of 4", 70, 66, 4, 6.0 },
        { "pixels of 3", 45, 39, 3, 3.0 }, { "large, split over threads", 900, 700, 4, 5.0 },
        { "large bytes", 1003, 611, 1, 16.0 } };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const int w = r.width, h = r.height;
        std::vector<std::uint8_t> pixels(size_t(w * h * r.step), 77);
        unsigned seed = 99;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                // An opaque disc reaching past the right and bottom edges, a ragged border,
                // a hole and a clear band down the left.
                const double dx = x - 0.7 * w, dy = y - 0.6 * h;
                const double d = std::hypot(dx, dy) / (0.6 * std::min(w, h));
                seed = seed * 1103515245u + 12345u;
                int v = d < 0.8 ? 255 : d < 1.0 ? int((seed >> 16) % 256) : 0;
                const double m = 0.6 * std::min(w, h);
                if (x < w / 10 || (std::abs(dx - 0.2 * m) < 3 && std::abs(dy) < 4))
                    v = 0;
                if (y < 3 && x > w / 2)
                    v = 255; // opaque along the top edge too
                pixels[size_t(y * w + x) * size_t(r.step) + size_t(r.step - 1)] = std::uint8_t(v);
            }
        }
        const AlphaBlur blur(r.sigma);
        const std::uint8_t* plane = pixels.data() + r.step - 1;
        for (bool wide : { true, false }) {
            const bool wideBefore = AlphaBlur::allowWideVectors(wide);
            const std::vector<std::uint8_t> filled = blur.apply(plane, w, h, w * r.step, r.step);
            const bool before = AlphaBlur::skipConstantRuns(false);
            const std::vector<std::uint8_t> summed = blur.apply(plane, w, h, w * r.step, r.step);
            AlphaBlur::skipConstantRuns(before);
            AlphaBlur::allowWideVectors(wideBefore);
            EXPECT_EQ(filled, summed) << (wide ? "wide" : "narrow");
            // Deep inside the disc (away from its edge and the hole) the blur is opaque.
            const int reach = blur.reach();
            const double m = 0.6 * std::min(w, h);
            if (0.6 * m > reach + 2 && 0.4 * m > reach + 5) {
                const int x = int(0.7 * w - 0.2 * m) + reach, y = int(0.6 * h) + reach;
                EXPECT_EQ(filled[size_t(y * (w + 2 * reach) + x)], 255);
            }
        }
        // The same plane into a reused buffer that held something else.
        std::vector<std::uint8_t> reused(size_t(3 * w * h), 1);
        blur.apply(plane, w, h, w * r.step, r.step, reused);
        EXPECT_EQ(reused, blur.apply(plane, w, h, w * r.step, r.step));
    }
}

// Random planes over reaches from 0 to 300, odd sizes, padded strides, values one or four bytes
// apart, whole and in windows: the vector passes give the bits of the one-value-at-a-time
// passes. Runs of equal rows (which take the row above's result) sit among rows that differ
// in a single value, and results go into buffers that held other values.
TEST(AlphaBlur, VectorPassesGiveTheBitsOfTheScalarPasses)
{
    struct Row {
        const char* name;
        double sigma;
        int width, height, step, pad;
        AlphaBlur::Window window; // empty: the whole result
    };
    const Row rows[] = {
        { "no blur", 0.0, 13, 7, 1, 3, {} },
        { "kernel, reach 2", 0.6, 37, 23, 4, 0, {} },
        { "kernel, reach 16", 5.2, 61, 29, 1, 5, { 3, 4, 50, 40 } },
        { "kernel, reach 48", 16, 45, 17, 4, 8, {} },
        { "boxes, reach 51", 17, 9, 131, 1, 1, {} },
        { "boxes, reach 60", 20, 127, 9, 4, 4, { -7, 11, 90, 30 } },
        { "boxes, reach 101", 33.5, 301, 77, 1, 7, {} },
        { "boxes, reach 150", 50, 77, 301, 4, 0, { 120, 40, 200, 310 } },
        { "boxes, reach 225", 75, 211, 143, 1, 2, { 300, 200, 400, 100 } },
        { "boxes, reach 300, split over threads", 100, 1003, 611, 4, 12, {} },
        { "boxes, reach 300, window over threads", 100, 1201, 777, 1, 0, { 250, 100, 900, 800 } },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const AlphaBlur blur(r.sigma);
        const int stride = r.width * r.step + r.pad;
        std::vector<std::uint8_t> pixels(size_t(stride) * size_t(r.height), 0);
        unsigned seed = 4242u + unsigned(r.width);
        auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
        for (int y = 0; y < r.height; ++y) {
            std::uint8_t* row = pixels.data() + size_t(y) * size_t(stride);
            const unsigned kind = next() % 6;
            if (y > 0 && kind < 3) {
                // Equal to the row above, or for one value.
                std::copy_n(row - stride, size_t(stride), row);
                if (kind == 0)
                    row[size_t(next() % unsigned(r.width)) * size_t(r.step)] ^= 0x5a;
                continue;
            }
            for (int x = 0; x < r.width; ++x) {
                const unsigned v = next();
                std::uint8_t* p = row + size_t(x) * size_t(r.step);
                for (int b = 0; b < r.step; ++b)
                    p[b] = std::uint8_t(next()); // the other bytes of a pixel are not read
                p[0] = kind == 3 ? 0 : std::uint8_t(v % 3 == 0 ? 0 : v % 3 == 1 ? 255 : v >> 3);
            }
        }
        const AlphaBlur::Window window = r.window.width > 0
            ? r.window
            : AlphaBlur::Window { 0, 0, r.width + 2 * blur.reach(), r.height + 2 * blur.reach() };
        std::vector<std::uint8_t> wide(size_t(5 * stride), 9), scalar(3, 200);
        blur.apply(pixels.data(), r.width, r.height, stride, r.step, window, wide);
        const bool before = AlphaBlur::allowWideVectors(false);
        blur.apply(pixels.data(), r.width, r.height, stride, r.step, window, scalar);
        AlphaBlur::allowWideVectors(before);
        ASSERT_EQ(wide.size(), size_t(window.width) * size_t(window.height));
        EXPECT_TRUE(wide == scalar);
        EXPECT_GT(std::count_if(wide.begin(), wide.end(), [](auto v) { return v > 0; }), 0);
    }
}

// Rows equal to the row above take its result. Turned upside down, a plane compares each row
// with the one that was below it, so its blur turned back is a result made with other pairs
// of rows found equal: the two must be the same, for blocks of rows that differ from their
// neighbours only inside the same inked stretch (at the top edge, in the middle, at the
// bottom), broken by empty rows, on one thread and split over threads, whole and in windows.
TEST(AlphaBlur, EqualRowsGiveTheResultOfTheRowsThemselves)
{
    struct Row {
        const char* name;
        double sigma;
        int width, height, step;
        AlphaBlur::Window window; // empty: the whole result
    };
    const Row rows[] = {
        { "small", 20, 90, 70, 1, {} },
        { "small, window", 25, 120, 95, 4, { 30, 50, 100, 80 } },
        { "split over threads", 90, 700, 900, 4, {} },
        { "split over threads, window", 60, 800, 700, 1, { 100, 40, 700, 600 } },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const int w = r.width, h = r.height, stride = w * r.step;
        std::vector<std::uint8_t> plane(size_t(stride) * size_t(h), 0);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = plane.data() + size_t(y) * size_t(stride);
            if (y % 37 >= 33)
                continue; // a band of empty rows
            // Blocks of a second pattern over the same stretch: from the top edge, in the
            // middle of each run of the first pattern, and at the bottom edge.
            const bool second = y < 5 || y % 37 == 12 || y % 37 == 13 || y >= h - 4;
            for (int x = w / 10; x < w - w / 7; ++x)
                row[size_t(x) * size_t(r.step)] = std::uint8_t((x % 50 < 40) != second ? 200 : 90);
        }
        auto flipped = [](const std::vector<std::uint8_t>& v, int rowBytes) {
            std::vector<std::uint8_t> out(v.size());
            const size_t n = v.size() / size_t(rowBytes);
            for (size_t y = 0; y < n; ++y)
                std::copy_n(v.begin() + long(y * size_t(rowBytes)), rowBytes,
                    out.begin() + long((n - 1 - y) * size_t(rowBytes)));
            return out;
        };
        const AlphaBlur blur(r.sigma);
        const int outH = h + 2 * blur.reach();
        const AlphaBlur::Window window = r.window.width > 0
            ? r.window
            : AlphaBlur::Window { 0, 0, w + 2 * blur.reach(), outH };
        const AlphaBlur::Window mirrored { window.x, outH - window.y - window.height, window.width,
            window.height };
        std::vector<std::uint8_t> upright, upsideDown;
        blur.apply(plane.data(), w, h, stride, r.step, window, upright);
        const std::vector<std::uint8_t> turned = flipped(plane, stride);
        blur.apply(turned.data(), w, h, stride, r.step, mirrored, upsideDown);
        ASSERT_EQ(upright.size(), size_t(window.width) * size_t(window.height));
        EXPECT_TRUE(upright == flipped(upsideDown, window.width));
        EXPECT_GT(std::count_if(upright.begin(), upright.end(), [](auto v) { return v > 0; }), 0);
    }
}

TEST(AlphaBlur, ReachOfASigmaIsTheBlursReach)
{
    // Asked without making the kernel, the reach must be the blur's own, on both sides of the
    // kernel's limit, at the clamps and for sigmas that are not numbers.
    const double sigmas[] = { -3.0, 0.0, 0.19, 0.2, 1.0, 5.5, 10.0, AlphaBlur::kKernelSigmaLimit,
        AlphaBlur::kKernelSigmaLimit + 0.01, 40.0, 333.3, AlphaBlur::kMaxSigma, 5000.0,
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity() };
    for (double sigma : sigmas)
        EXPECT_EQ(AlphaBlur::reachOf(sigma), AlphaBlur(sigma).reach()) << "sigma " << sigma;
}
