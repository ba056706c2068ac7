// Paths that reach far past what is shown: a stroke of huge width, points far out. They draw
// what a person sees of them, with work bounded by the visible area rather than by their
// coordinates (CPU time measured in this process, with room for a slow machine: the unbounded
// drawing took tens of seconds).
#include "platform/graphics/Gradient.h"
#include "platform/graphics/GraphicsContext.h"
#include "support/PixelProbe.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>

using namespace platform;
using testsupport::blankImage;

namespace {

double threadCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// A zigzag band whose turns lie `reach` pixels on either side of a 200 x 200 picture: every
// edge crosses the picture.
BezierPath zigzag(int turns, double reach)
{
    BezierPath path;
    path.moveTo(Point(-reach, 0));
    for (int i = 1; i <= turns; ++i)
        path.lineTo(Point(i % 2 ? reach : -reach, 200.0 * i / turns));
    path.lineTo(Point(-reach, 200));
    path.closePath();
    return path;
}

} // namespace

TEST(FarPaths, FillAndClipDrawWhatShowsOfThem)
{
    struct Row {
        const char* what;
        BezierPath path;
    };
    BezierPath triangle;
    triangle.moveTo(Point(20, 20));
    triangle.lineTo(Point(180, 60));
    triangle.lineTo(Point(1.0e7, 3.0e6)); // far off to the upper right
    triangle.closePath();
    const Row rows[] = {
        { "a triangle with one corner far out", triangle },
        { "a zigzag reaching far out on both sides", zigzag(40, 5.0e5) },
    };
    for (const Row& row : rows) {
        // What Qt's own painter makes of the whole path is the reference (y-up, as the
        // context draws).
        QImage expected = blankImage(200, 200);
        {
            QPainter p(&expected);
            p.setRenderHint(QPainter::Antialiasing);
            p.setTransform(QTransform(1, 0, 0, -1, 0, 200));
            p.fillPath(row.path.toQPainterPath(), QColor(0, 0, 255));
        }
        QImage filled = blankImage(200, 200);
        QImage clipped = blankImage(200, 200);
        {
            GraphicsContext ctx(filled);
            ctx.setFillColor(Color(0, 0, 1));
            ctx.fillPath(row.path);
        }
        {
            GraphicsContext ctx(clipped);
            ctx.clipToPath(row.path);
            ctx.setFillColor(Color(0, 0, 1));
            ctx.fillRect(Rect(0, 0, 200, 200));
        }
        int worst = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) {
                const int e = qAlpha(expected.pixel(x, y));
                worst = std::max({ worst, std::abs(qAlpha(filled.pixel(x, y)) - e),
                    std::abs(qAlpha(clipped.pixel(x, y)) - e) });
            }
        EXPECT_LE(worst, 2) << row.what;
    }
}

// The band of a stroke 100 000 wide along a closed outline of 5000 random points: cut to what
// shows it still crosses each row thousands of times, which the painter's rasteriser pays for
// quadratically.
BezierPath wideBand()
{
    BezierPath outline;
    std::uint32_t seed = 7;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1u << 24);
    };
    for (int i = 0; i < 5000; ++i) {
        const Point p(50 + 200 * next(), 50 + 150 * next());
        if (i == 0)
            outline.moveTo(p);
        else
            outline.lineTo(p);
    }
    outline.closePath();
    StrokeStyle style;
    style.width = 100000;
    style.cap = LineCap::Butt;
    style.join = LineJoin::Bevel;
    return outline.strokedPath(style);
}

TEST(FarPaths, WorkIsBoundedByTheVisibleArea)
{
    struct Row {
        const char* what;
        BezierPath path;
    };
    const Row rows[] = {
        // 20000 edges, each 2 million pixels long: the whole length would be rasterised.
        { "long edges", zigzag(20000, 1.0e6) },
        { "a wide stroke's band", wideBand() },
    };
    for (const Row& row : rows) {
        QImage target = blankImage(1000, 700);
        const double before = threadCpuSeconds();
        {
            GraphicsContext ctx(target);
            ctx.setFillColor(Color(0, 0, 1));
            ctx.fillPath(row.path);
            ctx.drawLinearGradientInPath(Gradient(Color(1, 0, 0), Color(0, 0, 1)), row.path, 30);
            ctx.clipToPath(row.path);
            ctx.fillRect(Rect(0, 0, 1000, 700));
            ctx.drawLinearGradient(Gradient(Color(1, 0, 0), Color(0, 0, 1)), Point(0, 0),
                Point(1000, 700), platform::GradientNoExtension);
        }
        EXPECT_LT(threadCpuSeconds() - before, 2.0) << row.what;
    }
}
