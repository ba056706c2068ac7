// The path toolkit's fuzz entry on a few hand-made inputs (run without clang), and the
// largest and most degenerate paths the toolkit promises to answer in bounded time.
#include "../../fuzz/PathToolkitInput.h"
#include "../../fuzz/RegressionInputs.h"
#include "PathRig.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

using platform::BezierPath;
using platform::Point;

TEST(PathToolkitFuzz, HandMadeInputsRunSafely)
{
    const QByteArray inputs[] = {
        QByteArray(),
        QByteArray::fromHex("00"),
        QByteArray::fromHex("0010101010 0120202020 02303030303030303030303030 03 ff 00101010 01ff"),
        // Not-a-number and infinite coordinates (raw doubles after a kind byte of 200 or more).
        QByteArray::fromHex("00c8000000000000f87f c8000000000000f07f 01c8000000000000f0ff 1010 03"),
        // A curve whose control points coincide, twice over, and a zero-length line.
        QByteArray::fromHex(
            "0010101010 021010101010101010101010 021010101010101010101010 0110101010"),
        // A coordinate of 1e182, whose square overflows: its crossings once came out as NaN.
        QByteArray::fromHex("91ff3ba63b00e503c5e50013e5001309ffe5e5"),
        // A path whose length overflows to infinity: positions along it once came out as NaN.
        QByteArray::fromHex("5bd53182ffffffff410701ecff2d244107d5a7"),
        // A stroke radius that covers a whole curve: the hit search once halved every piece.
        QByteArray::fromHex("0e002f000120fbfffffffffffff7eaff0e0001eaffffffffff"),
        // A segment's box near 1e301 outside the crossing grid: its cell once overflowed an int.
        QByteArray::fromHex("00292b0000a100000000ff7a"),
    };
    for (const QByteArray& input : inputs)
        fuzzinput::pathToolkit(
            reinterpret_cast<const std::uint8_t*>(input.constData()), size_t(input.size()));
}

// The inputs scripts/fuzz.sh keeps for the target, as CI's fuzz step runs them first.
TEST(PathToolkitFuzz, EveryKeptInputRunsSafely)
{
    const QString folder = fuzzinput::regressionFolder("path_toolkit_fuzz");
    const auto inputs = fuzzinput::regressionInputs(folder);
    ASSERT_FALSE(inputs.empty()) << folder.toStdString();
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name.toStdString());
        fuzzinput::pathToolkit(reinterpret_cast<const std::uint8_t*>(input.bytes.constData()),
            size_t(input.bytes.size()));
    }
}

TEST(PathToolkitFuzz, MillionSegmentsAndIdenticalPaths)
{
    BezierPath big;
    big.reserve(1000002);
    big.moveTo({ 0, 0 });
    for (int i = 1; i <= 1000000; ++i)
        big.lineTo({ double(i), double(i % 2) });
    big.closePath();
    EXPECT_NE(getWinding(big, { 10.5, 0.4 }).winding, 0);
    double total = 0.0;
    lengthToSegment(big, 0, 0.0, &total);
    EXPECT_GT(total, 1000000.0);
    EXPECT_EQ(
        allIntersectionsWithPath(big, pathrig::randomPath(*std::make_unique<std::mt19937>(1), 1, 3))
                .size()
            % 2,
        0u);

    // Two equal paths that do not share their elements: every segment overlaps its twin.
    std::mt19937 rng(8);
    const BezierPath a = pathrig::randomPath(rng, 2, 30);
    rng.seed(8);
    const BezierPath b = pathrig::randomPath(rng, 2, 30);
    ASSERT_FALSE(a.sharesElementsWith(b));
    const auto x = allIntersectionsWithPath(a, b);
    EXPECT_FALSE(x.empty());
}

} // namespace
