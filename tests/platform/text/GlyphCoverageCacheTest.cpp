// The glyph coverage cache: glyphs drawn from cached masks give the pixels of their outlines
// (a table over faces, sizes and angles), the cache stays within its bytes and drops the least
// recently used masks, and drawing threads share it.
#include "platform/text/GlyphCoverageCache.h"

#include "platform/graphics/GraphicsContext.h"
#include "support/PixelProbe.h"

#include <QFont>
#include <QFontDatabase>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

using namespace platform;

namespace {

QRawFont face(const char* family, double pixelSize)
{
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(1);
    QRawFont raw = QRawFont::fromFont(font);
    raw.setPixelSize(pixelSize);
    return raw;
}

std::vector<quint32> glyphsOf(const QRawFont& raw, const QString& text)
{
    const QList<quint32> ids = raw.glyphIndexesForString(text);
    return std::vector<quint32>(ids.begin(), ids.end());
}

struct Case {
    const char* family;
    double size;
    double angle; // degrees, counter-clockwise
    double scale;
};

std::string caseName(const Case& c)
{
    return std::string(c.family) + ", " + std::to_string(c.size) + " px, "
        + std::to_string(int(c.angle)) + " degrees, scale " + std::to_string(c.scale);
}

// The glyphs of a word placed one by one with room between them (so that no two glyphs
// share a pixel), each origin put on the quarter-pixel grid of the device.
std::vector<PlacedGlyph> placedWord(
    const QRawFont& raw, const AffineTransform& userToDevice, const Point& start)
{
    std::vector<PlacedGlyph> out;
    const auto toUser = userToDevice.inverted();
    Point pen = start;
    const double gap = raw.pixelSize() * 0.4 + 3;
    for (quint32 g : glyphsOf(raw, QStringLiteral("Rag&Wy8@fi"))) {
        const Point d = userToDevice.map(pen);
        const Point onGrid(std::round(d.x * 4) / 4, std::round(d.y * 4) / 4);
        out.push_back({ raw, g, toUser->map(onGrid) });
        const QList<QPointF> advance = raw.advancesForGlyphIndexes(QList<quint32> { g });
        pen.x += (advance.isEmpty() ? raw.pixelSize() : advance[0].x()) + gap;
    }
    return out;
}

} // namespace

// The pixels of text filled through cached masks against the same glyphs' outlines filled
// through a clip: within one level on every face, size and angle.
TEST(GlyphCoverageCache, MasksAgreeWithOutlinesOverFacesSizesAndAngles)
{
    const char* families[] = { "DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono", "Nimbus Sans",
        "Nimbus Roman", "Nimbus Mono PS", "C059", "P052", "URW Bookman", "URW Gothic" };
    const struct {
        double size, angle, scale;
    } placements[]
        = { { 9, 0, 1 }, { 14.5, 30, 1 }, { 23, -45, 1 }, { 40, 171, 0.5 }, { 96, 90, 0.75 } };
    std::vector<Case> cases;
    for (const char* family : families) {
        for (const auto& p : placements)
            cases.push_back({ family, p.size, p.angle, p.scale });
    }
    ASSERT_EQ(cases.size(), 50u);
    GlyphCoverageCache cache;
    for (const Case& c : cases) {
        const QRawFont raw = face(c.family, c.size);
        ASSERT_TRUE(raw.isValid()) << caseName(c);
        const int side = int(c.size * 16 * c.scale) + 40;
        auto setUp = [&](GraphicsContext& ctx) {
            ctx.translateCTM(side / 2.0, side / 2.0);
            ctx.rotateCTM(c.angle * M_PI / 180.0);
            ctx.scaleCTM(c.scale, c.scale);
        };
        QImage fromMasks = testsupport::blankImage(side, side);
        QImage fromOutlines = testsupport::blankImage(side, side);
        std::vector<PlacedGlyph> glyphs;
        {
            GraphicsContext ctx(fromMasks);
            setUp(ctx);
            glyphs = placedWord(raw, ctx.deviceTransform(), Point(-c.size * 7, -c.size / 3));
            const auto mask = cache.runCoverage(
                glyphs, BezierPath(), ctx.deviceTransform(), ctx.visibleDeviceRect());
            ASSERT_TRUE(mask && !mask->isNull()) << caseName(c);
            ctx.setFillColor(Color(0.2, 0.1, 0.6));
            ctx.fillMask(*mask);
        }
        {
            GraphicsContext ctx(fromOutlines);
            setUp(ctx);
            BezierPath all;
            for (const PlacedGlyph& g : glyphs) {
                BezierPath p = GlyphCoverageCache::outline(g.face, g.glyph);
                p.transform(AffineTransform::makeTranslation(g.origin.x, g.origin.y));
                all.appendPath(p);
            }
            ctx.clipToPath(all);
            ctx.setFillColor(Color(0.2, 0.1, 0.6));
            ctx.fillRect(Rect(-1e4, -1e4, 2e4, 2e4));
        }
        EXPECT_LE(testsupport::worstDifference(fromMasks, fromOutlines), 1) << caseName(c);
        EXPECT_GT(
            testsupport::meanDifference(fromOutlines, testsupport::blankImage(side, side)), 0.01)
            << caseName(c) << ": nothing was drawn";
    }
}

namespace {

GlyphMaskKey keyOf(const QRawFont& raw, quint32 glyph, int quarter = 0)
{
    return { raw, glyph, { 1, 0, 0, -1 }, std::uint8_t(quarter), 0 };
}

} // namespace

// The cache never holds more bytes than it may; the masks it drops are the least recently
// used, and a kept mask is handed out again rather than rendered anew.
TEST(GlyphCoverageCache, StaysWithinItsBytesDroppingTheLeastRecentlyUsed)
{
    const QRawFont raw = face("DejaVu Sans", 40);
    const auto ids = glyphsOf(raw, QStringLiteral("ABCD"));
    GlyphCoverageCache probe;
    const size_t one = probe.mask(keyOf(raw, ids[0]))->bytes();
    // Room for three masks of about this size.
    GlyphCoverageCache cache(one * 3 + one / 2);
    const auto a = cache.mask(keyOf(raw, ids[0]));
    const auto b = cache.mask(keyOf(raw, ids[1]));
    const auto c = cache.mask(keyOf(raw, ids[2]));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(cache.mask(keyOf(raw, ids[0])), a) << "a kept mask is handed out again";
    cache.mask(keyOf(raw, ids[3])); // over the bound: b is the least recently used
    EXPECT_LE(cache.bytes(), cache.capacity());
    EXPECT_EQ(cache.mask(keyOf(raw, ids[0])), a);
    EXPECT_NE(cache.mask(keyOf(raw, ids[1])), b) << "b was dropped and rendered again";
    EXPECT_LE(cache.bytes(), cache.capacity());
    // Another quarter-pixel position is another mask.
    EXPECT_NE(cache.mask(keyOf(raw, ids[0], 2)), cache.mask(keyOf(raw, ids[0], 0)));
    cache.setCapacity(0);
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.bytes(), 0u);
}

// A glyph too large for a mask gets none, and a run holding one is left to outlines.
TEST(GlyphCoverageCache, HugeGlyphsAreLeftToOutlines)
{
    const QRawFont raw = face("DejaVu Sans", 900);
    const auto ids = glyphsOf(raw, QStringLiteral("Wi"));
    GlyphCoverageCache cache;
    EXPECT_EQ(cache.mask(keyOf(raw, ids[0])), nullptr);
    const std::vector<PlacedGlyph> run { { raw, ids[0], Point(0, 0) } };
    EXPECT_FALSE(cache.runCoverage(
        run, BezierPath(), AffineTransform(1, 0, 0, -1, 0, 1000), QRect(0, 0, 2000, 2000)));
    EXPECT_EQ(cache.count(), 0u);
}

// Drawing threads share one cache that keeps evicting: every mask handed out is the one a
// cache of its own renders.
TEST(GlyphCoverageCache, ThreadsShareOneCache)
{
    const QRawFont raw = face("DejaVu Serif", 18);
    const auto ids = glyphsOf(raw, QStringLiteral("The quick brown fox jumps"));
    GlyphCoverageCache reference;
    GlyphCoverageCache shared(8 * 1024);
    std::atomic<int> missing = 0, wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                for (size_t i = 0; i < ids.size(); ++i) {
                    const GlyphMaskKey key
                        = keyOf(raw, ids[(i + size_t(t)) % ids.size()], round % 4);
                    const auto got = shared.mask(key);
                    if (!got)
                        ++missing;
                    else if (got->coverage.empty() && got->width > 0)
                        ++wrong;
                }
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(wrong, 0);
    EXPECT_LE(shared.bytes(), shared.capacity());
    for (size_t i = 0; i < ids.size(); ++i) {
        const auto mine = shared.mask(keyOf(raw, ids[i], 1));
        const auto theirs = reference.mask(keyOf(raw, ids[i], 1));
        ASSERT_TRUE(mine && theirs);
        EXPECT_EQ(mine->coverage, theirs->coverage);
        EXPECT_EQ(mine->offset, theirs->offset);
    }
}
