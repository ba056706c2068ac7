// Colour removal's flood fill on small synthetic pictures: which pixels clear, what stays, bad
// arguments, and agreement with a plain search by index sets on random pictures.
#include "container/ColourRemoval.h"

#include "platform/concurrency/ThreadPool.h"

#include <QImage>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kWhite = 0xffffffffu;
constexpr std::uint32_t kClear = 0u;

QImage picture(int w, int h, std::uint32_t fill)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

std::uint32_t at(const QImage& image, int x, int y)
{
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(y))[x];
}

void put(QImage& image, int x, int y, std::uint32_t p)
{
    reinterpret_cast<std::uint32_t*>(image.scanLine(y))[x] = p;
}

// Which pixels the result cleared (a cleared pixel is 0; the sources here have no 0 pixel
// outside the cases that say so).
std::set<long> clearedSet(const QImage& source, const QImage& result)
{
    std::set<long> cleared;
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (at(result, x, y) == 0 && at(source, x, y) != 0)
                cleared.insert(long(y) * source.width() + x);
    return cleared;
}

// The search exactly as written down for the program: pending and visited index sets, the
// smallest pending index first, neighbours right, left, down, up.
QImage literalFill(const QImage& source, int startx, int starty, double threshold)
{
    QImage buffer = source.copy();
    const int W = buffer.width();
    const int H = buffer.height();
    auto byteAt = [&](long i, int shift) {
        return int((reinterpret_cast<const std::uint32_t*>(buffer.constBits())[i] >> shift) & 0xff);
    };
    std::set<long> pending { long(W) * starty + startx };
    std::set<long> visited;
    const long seed = *pending.begin();
    const int sr = byteAt(seed, 16), sg = byteAt(seed, 8), sb = byteAt(seed, 0);
    while (!pending.empty()) {
        const long i = *pending.begin();
        pending.erase(pending.begin());
        visited.insert(i);
        const long row = i / W, column = i % W;
        const int distance = std::abs(byteAt(i, 16) - sr) + std::abs(byteAt(i, 8) - sg)
            + std::abs(byteAt(i, 0) - sb);
        if (!(threshold >= double(distance)))
            continue;
        reinterpret_cast<std::uint32_t*>(buffer.bits())[i] = 0;
        const long next[4][2] = { { row, column + 1 }, { row, column - 1 }, { row + 1, column },
            { row - 1, column } };
        for (const auto& n : next) {
            if (n[0] < 0 || n[1] < 0 || n[1] >= W || n[0] >= H)
                continue;
            const long j = n[0] * W + n[1];
            if (byteAt(j, 24) != 0 && !visited.count(j))
                pending.insert(j);
        }
    }
    return buffer;
}

struct FillCase {
    std::string name;
    std::vector<std::string> rows; // one letter per pixel, colours below
    int x, y;
    double threshold;
    std::vector<std::string> expected; // '.' cleared, anything else kept
};

std::uint32_t colourOf(char c)
{
    switch (c) {
    case 'w':
        return kWhite;
    case 'v':
        return 0xfffffefeu; // white, distance 2
    case 'u':
        return 0xfffffffeu; // white, distance 1
    case 'o':
        return kClear; // fully transparent
    case 'h':
        return 0x80808080u; // white at alpha 128, premultiplied: distance 381
    case 'k':
        return 0xff000000u; // opaque black
    default:
        return 0xff3050a0u;
    }
}

QImage fromRows(const std::vector<std::string>& rows)
{
    QImage image(int(rows[0].size()), int(rows.size()), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            put(image, x, y, colourOf(rows[std::size_t(y)][std::size_t(x)]));
    return image;
}

} // namespace

TEST(ColourRemovalFill, ClearsWhatTheSearchReaches)
{
    const std::vector<FillCase> cases = {
        { "tolerance 1 takes distance 1, not 2", { "wuv", "www" }, 0, 0, 1.0, { "..v", "..." } },
        { "tolerance 2 takes distance 2", { "wuv", "www" }, 0, 0, 2.0, { "...", "..." } },
        { "fractional tolerance is not rounded up", { "wuv" }, 0, 0, 1.999, { "..v" } },
        { "a clear ring stops it", { "wwwww", "wooow", "wowow", "wooow", "wwwww" }, 2, 2, 765.0,
            { "wwwww", "wooow", "wo.ow", "wooow", "wwwww" } },
        { "a clear seed is cleared with nothing similar around", { "wow", "kww" }, 1, 0, 10.0,
            { "w.w", "kww" } },
        // The clear seed's colour bytes are 0, as black's: black neighbours are within 0.
        { "a clear seed compares by its bytes", { "kok", "kww" }, 1, 0, 0.0, { "...", ".ww" } },
        { "half-transparent white is far from opaque white", { "whw" }, 0, 0, 380.0, { ".hw" } },
        { "half-transparent white is reached at 381", { "whw" }, 0, 0, 381.0, { "..." } },
        { "no diagonals", { "wk", "kw" }, 0, 0, 765.0 - 1.0, { ".k", "kw" } },
        { "corner seed bottom right", { "kkw", "kww" }, 2, 1, 0.0, { "kk.", "k.." } },
        { "corner seed top left", { "wkk", "wkw" }, 0, 0, 0.0, { ".kk", ".kw" } },
        { "a run reached from below and above", { "wkwkw", "wwwkw", "kkwww" }, 0, 0, 0.0,
            { ".k.k.", "...k.", "kk..." } },
        { "above 765: everything reachable", { "wkh", "owk" }, 0, 0, 1e9, { "...", "o.." } },
        { "infinite tolerance", { "wk" }, 1, 0, std::numeric_limits<double>::infinity(), { ".." } },
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage source = fromRows(c.rows);
        const QImage before = source.copy();
        std::int64_t count = -1;
        const auto result = ColourRemoval::fillPixels(source, c.x, c.y, c.threshold, &count);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->size(), source.size());
        std::int64_t expectedCount = 0;
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; x < source.width(); ++x) {
                const bool clearedHere = c.expected[std::size_t(y)][std::size_t(x)] == '.';
                expectedCount += clearedHere;
                EXPECT_EQ(at(*result, x, y), clearedHere ? 0u : at(source, x, y))
                    << "pixel " << x << "," << y;
            }
        EXPECT_EQ(count, expectedCount);
        EXPECT_EQ(source, before) << "the source changed";
    }
}

TEST(ColourRemovalFill, RefusesWhatItCannotFill)
{
    const QImage p = picture(4, 3, kWhite);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        QImage image;
        int x, y;
        double threshold;
    } cases[] = {
        { "null picture", QImage(), 0, 0, 1.0 },
        { "column W", p, 4, 0, 1.0 },
        { "row H", p, 0, 3, 1.0 },
        { "negative column", p, -1, 0, 1.0 },
        { "negative row", p, 0, -1, 1.0 },
        { "NaN threshold", p, 0, 0, nan },
        { "negative threshold", p, 0, 0, -0.5 },
        { "minus infinity", p, 0, 0, -std::numeric_limits<double>::infinity() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ColourRemoval::fillPixels(c.image, c.x, c.y, c.threshold).has_value());
    }
    EXPECT_FALSE(ColourRemoval::fill(platform::Image(), 0, 0, 1.0).has_value());
}

TEST(ColourRemovalFill, SmallAndClearPictures)
{
    // A fully clear picture loses only the seed (which it could not lose anyway).
    std::int64_t count = 0;
    auto clear = ColourRemoval::fillPixels(picture(5, 5, kClear), 2, 2, 765.0, &count);
    ASSERT_TRUE(clear.has_value());
    EXPECT_EQ(count, 1);
    auto one = ColourRemoval::fillPixels(picture(1, 1, kWhite), 0, 0, 0.0, &count);
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(at(*one, 0, 0), 0u);
    EXPECT_EQ(count, 1);
    // Another format is read by its premultiplied pixels.
    QImage rgb(3, 1, QImage::Format_RGB32);
    rgb.fill(QColor(10, 20, 30));
    auto converted = ColourRemoval::fillPixels(rgb, 0, 0, 0.0, &count);
    ASSERT_TRUE(converted.has_value());
    EXPECT_EQ(count, 3);
}

TEST(ColourRemovalFill, ImageResultOwnsItsPixelsAtPixelSize)
{
    QImage source = picture(6, 4, kWhite);
    const platform::Image image = platform::Image::fromQImage(source, platform::Size(3.0, 2.0));
    const auto result = ColourRemoval::fill(image, 5, 3, 1.0);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->pixelSize(), QSize(6, 4));
    EXPECT_EQ(result->size().width, 6.0);
    EXPECT_EQ(result->size().height, 4.0);
    EXPECT_NE(*result, image);
    EXPECT_EQ(at(image.toQImage(), 0, 0), kWhite) << "the source picture changed";
    EXPECT_EQ(at(result->toQImage(), 0, 0), 0u);
}

TEST(ColourRemovalFill, MatchesTheIndexSetSearchOnRandomPictures)
{
    std::mt19937 rng(12);
    // A few colours close to each other, and clear pixels, so that regions join and split.
    const std::uint32_t palette[] = { 0xff808080u, 0xff828080u, 0xff848284u, 0xff8a8a8au,
        0xffa0a0a0u, 0x80404040u, 0x00000000u, 0x40404040u };
    for (int n = 0; n < 200; ++n) {
        const int w = 1 + int(rng() % 23);
        const int h = 1 + int(rng() % 19);
        QImage source(w, h, QImage::Format_ARGB32_Premultiplied);
        const int colours = 2 + int(rng() % 7);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                put(source, x, y, palette[rng() % colours]);
        const int x = int(rng() % w);
        const int y = int(rng() % h);
        const double thresholds[] = { 0.0, 1.0, 2.5, 10.0, 40.0, 200.0, 800.0 };
        const double threshold = thresholds[rng() % 7];
        SCOPED_TRACE("picture " + std::to_string(n));
        const auto result = ColourRemoval::fillPixels(source, x, y, threshold);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, literalFill(source, x, y, threshold));
    }
}

TEST(ColourRemovalFill, SamePixelsAtAnyThreadCount)
{
    // Large enough for the passes to run in parallel; stripes make long thin runs.
    QImage source(700, 300, QImage::Format_ARGB32_Premultiplied);
    std::mt19937 rng(3);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            put(source, x, y,
                (x % 37 == 5 && y % 50 != 7) ? 0xff000000u : 0xfff0f0f0u + (rng() % 4));
    const int before = platform::ThreadPool::maxThreads();
    platform::ThreadPool::setMaxThreads(1);
    std::int64_t oneCount = 0;
    const auto one = ColourRemoval::fillPixels(source, 1, 1, 10.0, &oneCount);
    platform::ThreadPool::setMaxThreads(8);
    std::int64_t manyCount = 0;
    const auto many = ColourRemoval::fillPixels(source, 1, 1, 10.0, &manyCount);
    platform::ThreadPool::setMaxThreads(before);
    ASSERT_TRUE(one && many);
    EXPECT_EQ(*one, *many);
    EXPECT_EQ(oneCount, manyCount);
    EXPECT_GT(oneCount, 700 * 300 / 2);
    EXPECT_EQ(clearedSet(source, *one).size(), std::size_t(oneCount));
}
