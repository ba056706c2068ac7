// The warp renderer on synthetic captures: rows are counted from the top (QImage order),
// the placement rectangle from the bottom-left.
#include "container/WarpRenderer.h"

#include "ContainerTestSupport.h"
#include "foundation/ImageAdditions.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/imaging/CpuFeatures.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using platform::Point;
using platform::Rect;

namespace {

const std::vector<Point> kFlat { { 0, 0 }, { 0.5, 0.0001 }, { 1, 0 } };

QImage opaque(int w, int h)
{
    QImage q(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            q.setPixel(x, y, qRgba((x * 7) & 255, (y * 5) & 255, (x + y) & 255, 255));
    return q;
}

QImage warp(
    const QImage& in, const std::vector<Point>& curve, double h, double v, Rect* rect = nullptr)
{
    const auto r = WarpRenderer::perspectiveCurved(platform::Image::fromQImage(in), curve, h, v);
    if (!r)
        return QImage();
    if (rect)
        *rect = r->rect;
    EXPECT_EQ(r->image.size().width, r->image.pixelSize().width());
    return r->image.toQImage();
}

bool isOpaque(const QImage& q, int x, int y)
{
    return qAlpha(q.pixel(x, y)) != 0;
}

int firstOpaqueRow(const QImage& q, int x)
{
    for (int y = 0; y < q.height(); ++y)
        if (isOpaque(q, x, y))
            return y;
    return -1;
}

int firstOpaqueColumn(const QImage& q, int y)
{
    for (int x = 0; x < q.width(); ++x)
        if (isOpaque(q, x, y))
            return x;
    return -1;
}

bool columnClear(const QImage& q, int x)
{
    return firstOpaqueRow(q, x) < 0;
}

bool rowClear(const QImage& q, int y)
{
    return firstOpaqueColumn(q, y) < 0;
}

} // namespace

TEST(WarpRenderer, DefaultsAndThresholds)
{
    const QImage in = opaque(120, 90);
    Rect rect;
    const QImage same = warp(in, kFlat, 0.001, 0.0, &rect);
    EXPECT_EQ(same, in);
    EXPECT_EQ(rect, Rect(0, 0, 120, 90));

    struct Case {
        double h, v, middle;
        bool perspective, curved;
    } cases[] = {
        { 0.0019, 0.0, 0.0001, false, false },
        { 0.002, 0.0, 0.0001, true, false },
        { 0.0, -0.0019, 0.0001, false, false },
        { 0.0, -0.002, 0.0001, true, false },
        { 0.001, 0.0, 0.00099, false, false },
        { 0.001, 0.0, 0.001, false, true },
        { 0.001, 0.0, -0.001, false, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.h << " " << c.v << " " << c.middle);
        const QImage out = warp(in, { { 0, 0 }, { 0.5, c.middle }, { 1, 0 } }, c.h, c.v, &rect);
        ASSERT_FALSE(out.isNull());
        EXPECT_EQ(rect != Rect(0, 0, 120, 90), c.curved);
        if (!c.curved) {
            EXPECT_EQ(out != in, c.perspective);
            // The perspective leaves the last column and row clear.
            EXPECT_EQ(columnClear(out, 119) && rowClear(out, 89), c.perspective);
        }
    }
}

TEST(WarpRenderer, PerspectiveNarrowsTheSideItsFactorSays)
{
    const QImage in = opaque(200, 100);
    // h = 1: the right side is one row high, in the middle.
    const QImage right = warp(in, kFlat, 1.0, 0.0);
    ASSERT_EQ(right.size(), in.size());
    EXPECT_TRUE(isOpaque(right, 197, 49) || isOpaque(right, 197, 50));
    EXPECT_FALSE(isOpaque(right, 197, 10));
    EXPECT_FALSE(isOpaque(right, 197, 90));
    EXPECT_TRUE(isOpaque(right, 2, 2));
    EXPECT_TRUE(isOpaque(right, 2, 96));
    // h = -0.5: the left side narrows instead.
    const QImage left = warp(in, kFlat, -0.5, 0.0);
    EXPECT_FALSE(isOpaque(left, 1, 5));
    EXPECT_TRUE(isOpaque(left, 197, 5));
    // h = 0 with v: the left side keeps its full height, the top narrows.
    const QImage top = warp(in, kFlat, 0.0, 0.5);
    EXPECT_TRUE(isOpaque(top, 100, 1));
    EXPECT_TRUE(isOpaque(top, 100, 97));
    EXPECT_FALSE(isOpaque(top, 5, 1));
    EXPECT_TRUE(isOpaque(top, 5, 97));
    for (const QImage* q : { &right, &left, &top }) {
        EXPECT_TRUE(columnClear(*q, 199));
        EXPECT_TRUE(rowClear(*q, 99));
    }
}

TEST(WarpRenderer, CurvesRaiseLowerAndSlant)
{
    const int W = 300, H = 100;
    const QImage in = opaque(W, H);
    Rect rect;
    // A raised middle grows the picture upward: the origin stays at the bottom.
    const QImage up = warp(in, { { 0, 0 }, { 0.5, 0.3 }, { 1, 0 } }, 0.0, 0.0, &rect);
    ASSERT_FALSE(up.isNull());
    EXPECT_EQ(rect.y(), 0.0);
    EXPECT_GT(rect.height(), H + 25.0);
    EXPECT_EQ(QSize(int(rect.width()), int(rect.height())), up.size());
    const int centre = int(W / 2 - rect.x());
    EXPECT_LT(firstOpaqueRow(up, centre), firstOpaqueRow(up, centre - 120) - 15);
    // Three points: the left side slants along the perpendicular to the left chord, outward at
    // the top.
    EXPECT_LT(rect.x(), 0.0);
    const int leftTop = firstOpaqueRow(up, firstOpaqueColumn(up, up.height() - 5) + 2);
    EXPECT_LT(firstOpaqueColumn(up, leftTop + 2) + 5, firstOpaqueColumn(up, up.height() - 5));

    const QImage down = warp(in, { { 0, 0 }, { 0.5, -0.3 }, { 1, 0 } }, 0.0, 0.0, &rect);
    ASSERT_FALSE(down.isNull());
    EXPECT_LT(rect.y(), 0.0);
    const int centreDown = int(W / 2 - rect.x());
    EXPECT_GT(firstOpaqueRow(down, centreDown), firstOpaqueRow(down, centreDown - 120) + 15);

    // Four points shift columns only.
    const QImage wave
        = warp(in, { { 0, 0 }, { 0.3, 0.2 }, { 0.7, -0.2 }, { 1, 0 } }, 0.0, 0.0, &rect);
    ASSERT_FALSE(wave.isNull());
    EXPECT_EQ(rect.x(), 0.0);
    EXPECT_EQ(rect.width(), double(W));
    EXPECT_EQ(wave.width(), W);
}

TEST(WarpRenderer, SamePixelsAtAnyThreadCountAndColourNeverAboveAlpha)
{
    QImage in = noisePicture(640, 420, 7, 0, 4);
    // A half-transparent pixel beside opaque black at the edge the map extrapolates from.
    for (int y = 0; y < 420; ++y) {
        in.setPixel(0, y, qRgba(200, 200, 200, 200));
        in.setPixel(1, y, qRgba(0, 0, 0, 255));
    }
    struct Case {
        std::vector<Point> curve;
        double h, v;
    } cases[] = {
        { kFlat, 0.4, 0.3 },
        { kFlat, -0.7, -0.6 },
        { { { 0, 0 }, { 0.5, 0.35 }, { 1, 0 } }, 0.4, 0.3 },
        { { { 0, 0 }, { 0.4, -0.5 }, { 1, 0 } }, -0.2, 0.9 },
        { { { 0, 0 }, { 0.2, 0.3 }, { 0.6, -0.3 }, { 1, 0 } }, 1.0, -1.0 },
    };
    const int before = platform::ThreadPool::maxThreads();
    for (const Case& c : cases) {
        platform::ThreadPool::setMaxThreads(1);
        const QImage one = warp(in, c.curve, c.h, c.v);
        platform::ThreadPool::setMaxThreads(8);
        const QImage eight = warp(in, c.curve, c.h, c.v);
        ASSERT_FALSE(one.isNull());
        EXPECT_EQ(one, eight);
        int above = 0;
        for (int y = 0; y < one.height(); ++y)
            for (int x = 0; x < one.width(); ++x) {
                const QRgb p = one.pixel(x, y);
                above += qRed(p) > qAlpha(p) || qGreen(p) > qAlpha(p) || qBlue(p) > qAlpha(p);
            }
        EXPECT_EQ(above, 0);
    }
    platform::ThreadPool::setMaxThreads(before);
}

// Work is bounded by the output size (checked below), never by a clock.
TEST(WarpRenderer, BadInputIsBounded)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<Point> many;
    for (int i = 0; i < 10000; ++i)
        many.emplace_back((i * 7919) % 10000 / 9999.0, (i % 3 - 1) * 0.9);
    struct Case {
        const char* name;
        QSize size;
        std::vector<Point> curve;
        double h, v;
        bool picture;
    } cases[] = {
        { "null", QSize(0, 0), kFlat, 0.5, 0.5, false },
        { "1x1", QSize(1, 1), { { 0, 0 }, { 0.5, 0.5 }, { 1, 0 } }, 0.5, 0.5, true },
        { "2x2", QSize(2, 2), { { 0, 0 }, { 0.5, -0.5 }, { 1, 0 } }, 1.0, -1.0, true },
        { "12000 wide", QSize(12000, 3), { { 0, 0 }, { 0.5, 0.5 }, { 1, 0 } }, 0.5, 0.5, true },
        { "no curve", QSize(40, 30), {}, nan, inf, true },
        { "one point", QSize(40, 30), { { 0.5, 0.5 } }, -inf, 1e30, true },
        { "two points", QSize(40, 30), { { 0, 0 }, { 1, 1 } }, -1e30, 10, true },
        { "10000 points", QSize(200, 100), many, 10, -10, true },
        { "unsorted", QSize(80, 60), { { 1, 0 }, { 0.2, 0.4 }, { 0.7, -0.4 }, { 0, 0 } }, 0.3, 0,
            true },
        { "repeated u", QSize(80, 60), { { 0.5, 0 }, { 0.5, 0.6 }, { 0.5, 0 } }, 0, 0.3, true },
        { "middle u 0", QSize(80, 60), { { 0, 0 }, { 0, 0.6 }, { 1, 0 } }, 0, 0, true },
        { "huge curve", QSize(80, 60), { { -1e300, 1e300 }, { nan, inf }, { 1e30, -1e30 } }, 0, 0,
            true },
        { "steep bend", QSize(100, 1500), { { 0, 0 }, { 0.2, 1 }, { 1, 0 } }, 1, 1, true },
        { "thin steep bend", QSize(50, 1500), { { 0, 0 }, { 0.2, 1 }, { 1, 0 } }, -1, 1, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage in
            = c.size.isEmpty() ? QImage() : noisePicture(c.size.width(), c.size.height(), 3, 0, 4);
        const auto r
            = WarpRenderer::perspectiveCurved(platform::Image::fromQImage(in), c.curve, c.h, c.v);
        ASSERT_EQ(bool(r), c.picture);
        if (!r)
            continue;
        const QSize out = r->image.pixelSize();
        const long long longer = std::max(c.size.width(), c.size.height());
        EXPECT_LE(out.width(), c.size.width() + 16 * longer + 2);
        EXPECT_LE(out.height(), c.size.height() + 16 * longer + 2);
        EXPECT_LE(qint64(out.width()) * out.height(), kMaxImagePixels);
        EXPECT_EQ(r->rect.width(), out.width());
        EXPECT_EQ(r->rect.height(), out.height());
    }
}

// The curve maps describe the curve stage exactly: resampling the picture through them, with the
// renderer's blend of two neighbours (float weights, truncated), gives the renderer's pixels.
TEST(WarpRenderer, CurveMapsReproduceTheCurveStage)
{
    // Blends the two neighbours of (x, y) that a map position names, along y for the shift and
    // along x for the fan; clear at the (-10, -10) mark.
    const auto through = [](const QImage& in, const WarpRenderer::SampleMap& m, bool alongY) {
        QImage out(m.width, m.height, QImage::Format_ARGB32_Premultiplied);
        out.fill(0);
        for (int r = 0; r < m.height; ++r)
            for (int c = 0; c < m.width; ++c) {
                const std::size_t at = std::size_t(r) * std::size_t(m.width) + std::size_t(c);
                const float s = alongY ? m.y[at] : m.x[at];
                if (s == -10.0f)
                    continue;
                const int i = int(s);
                const int x0 = int(m.x[at]), y0 = int(m.y[at]);
                const QRgb p0 = in.pixel(x0, y0);
                const QRgb p1 = alongY ? in.pixel(x0, i + 1) : in.pixel(i + 1, y0);
                if ((p0 | p1) == 0)
                    continue;
                const float w0 = float(i + 1) - s, w1 = s - float(i);
                const auto mix = [&](int a, int b) {
                    return std::clamp(int(float(a) * w0 + float(b) * w1), 0, 255);
                };
                out.setPixel(c, r,
                    qRgba(mix(qRed(p0), qRed(p1)), mix(qGreen(p0), qGreen(p1)),
                        mix(qBlue(p0), qBlue(p1)), mix(qAlpha(p0), qAlpha(p1))));
            }
        return out;
    };
    struct Row {
        const char* name;
        std::vector<Point> curve;
        bool fan;
    };
    const Row rows[] = {
        { "three points bent up", { { 0, 0 }, { 0.5, 0.35 }, { 1, 0 } }, true },
        { "three points bent down", { { 0, 0.1 }, { 0.4, -0.3 }, { 1, 0 } }, true },
        { "five points", { { 0, 0 }, { 0.25, 0.2 }, { 0.5, -0.1 }, { 0.75, 0.3 }, { 1, 0 } },
            false },
    };
    const QImage in = opaque(97, 61);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto maps = WarpRenderer::curveMaps(in.width(), in.height(), row.curve);
        ASSERT_TRUE(maps);
        ASSERT_EQ(maps->fan.has_value(), row.fan);
        QImage expected = through(in, maps->shift, true);
        if (maps->fan)
            expected = through(expected, *maps->fan, false);
        EXPECT_EQ(warp(in, row.curve, 0.0, 0.0), expected);
        // The plain loops, where the processor's vector units are not used, alike.
        const bool was = platform::CpuFeatures::allowAvx(false);
        const QImage plain = warp(in, row.curve, 0.0, 0.0);
        platform::CpuFeatures::allowAvx(was);
        EXPECT_EQ(plain, expected);
    }
    EXPECT_FALSE(WarpRenderer::curveMaps(97, 61, kFlat));
    EXPECT_FALSE(WarpRenderer::curveMaps(0, 61, rows[0].curve));
}
