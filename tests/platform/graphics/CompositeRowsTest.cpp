// The source-over rows: eight pixels at a time they must leave every pixel as the one-pixel
// composite does, for every kind of source, destination and coverage, and for row lengths that
// leave a tail.
#include "platform/graphics/CompositeRows.h"

#include "platform/graphics/GraphicsContextInternal.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace platform::graphicsinternal;

namespace {

// A premultiplied pixel: colour channels no larger than its alpha.
QRgb premultiplied(std::mt19937& rng, int alpha)
{
    std::uniform_int_distribution<int> up(0, alpha);
    return qRgba(up(rng), up(rng), up(rng), alpha);
}

struct Rows {
    std::vector<QRgb> dst, src;
    std::vector<std::uint8_t> alpha, coverage;
};

// n pixels of each kind the rows meet: clear, opaque and translucent sources over clear,
// opaque and translucent destinations, through no, full and partial coverage.
Rows rowsOf(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    const int levels[] = { 0, 255, 1, 128, 254 };
    std::uniform_int_distribution<int> pick(0, 6), any(0, 255);
    auto level = [&] {
        const int i = pick(rng);
        return i < 5 ? levels[i] : any(rng);
    };
    Rows r;
    for (int x = 0; x < n; ++x) {
        r.dst.push_back(premultiplied(rng, level()));
        r.src.push_back(premultiplied(rng, level()));
        r.alpha.push_back(std::uint8_t(level()));
        r.coverage.push_back(std::uint8_t(level()));
    }
    // A run of eight clear pixels and one of eight uncovered ones, which the wide rows step over.
    for (int x = 8; x < std::min(n, 16); ++x) {
        r.src[size_t(x)] = 0;
        r.alpha[size_t(x)] = 0;
    }
    for (int x = 16; x < std::min(n, 24); ++x)
        r.coverage[size_t(x)] = 0;
    return r;
}

} // namespace

TEST(CompositeRows, EachPixelEndsAsTheOnePixelCompositeLeavesIt)
{
    const std::array<QRgb, 256> tints = tintsOf(qPremultiply(qRgba(40, 90, 200, 191)));
    struct Row {
        const char* name;
        bool wide;
    };
    const Row modes[]
        = { { "eight at a time where the processor can", true }, { "one at a time", false } };
    for (const Row& mode : modes) {
        SCOPED_TRACE(mode.name);
        const bool before = allowWideCompositeRows(mode.wide);
        for (int n : { 0, 1, 7, 8, 9, 24, 31, 64, 257 }) {
            SCOPED_TRACE(n);
            const Rows r = rowsOf(n, unsigned(n) * 7919u + 1u);
            std::vector<QRgb> expected = r.dst, got = r.dst;
            for (int x = 0; x < n; ++x)
                sourceOverPixel(expected[size_t(x)], r.src[size_t(x)], r.coverage[size_t(x)]);
            sourceOverRow(got.data(), r.src.data(), r.coverage.data(), n);
            EXPECT_EQ(got, expected) << "picture";

            expected = r.dst;
            got = r.dst;
            for (int x = 0; x < n; ++x)
                sourceOverPixel(
                    expected[size_t(x)], tints[r.alpha[size_t(x)]], r.coverage[size_t(x)]);
            tintOverRow(got.data(), r.alpha.data(), tints.data(), r.coverage.data(), n);
            EXPECT_EQ(got, expected) << "shadow";

            // A shadow under the picture that casts it, part of which is opaque and wholly
            // covered: once the picture is down, every pixel ends as with the whole shadow.
            Rows hidden = r;
            for (int x = 27; x < std::min(n, 53); ++x) {
                hidden.coverage[size_t(x)] = 255;
                hidden.src[size_t(x)] = qRgba(x % 256, 3 * x % 256, 90, 255);
            }
            expected = hidden.dst;
            got = hidden.dst;
            for (int x = 0; x < n; ++x) {
                const size_t i = size_t(x);
                sourceOverPixel(expected[i], tints[hidden.alpha[i]], hidden.coverage[i]);
                sourceOverPixel(expected[i], hidden.src[i], hidden.coverage[i]);
            }
            tintOverRowUnder(got.data(), hidden.alpha.data(), tints.data(), hidden.coverage.data(),
                hidden.src.data(), n);
            sourceOverRow(got.data(), hidden.src.data(), hidden.coverage.data(), n);
            EXPECT_EQ(got, expected) << "shadow under its picture";
        }
        allowWideCompositeRows(before);
    }
}
