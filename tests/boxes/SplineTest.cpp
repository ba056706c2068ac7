// Catmull-Rom sampling of curves and pen paths: pieces split at corner flags, the step count
// from the chords, the pen's rubber segment, the sample cap and the source indices.
#include "boxes/BoxesLogging.h"
#include "boxes/ShapeOutline.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using platform::Point;

namespace {

ShapeModel curveModel(std::vector<bool> corners, bool drawing = false)
{
    ShapeModel m;
    m.shapeType = shape::Curve;
    m.isDrawing = drawing;
    for (bool c : corners)
        m.controlVals.emplace_back(c);
    return m;
}

bool onSegment(const Point& p, const Point& a, const Point& b)
{
    const double cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    return std::abs(cross) / len < 1e-9 && std::min(a.x, b.x) - 1e-9 <= p.x
        && p.x <= std::max(a.x, b.x) + 1e-9;
}

bool contains(const std::vector<Point>& v, const Point& p)
{
    return std::find(v.begin(), v.end(), p) != v.end();
}

QStringList gLog;
void captureLog(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (QString::fromUtf8(context.category) == QLatin1String("quillmark.boxes"))
        gLog << message;
}

} // namespace

TEST(Spline, StepCountFromTheSummedChords)
{
    struct Row {
        Point end;
        std::size_t samples; // start + interior + end
    };
    // Two points: the chord sum is just the segment's own length.
    const Row rows[] = { { Point(9.9, 0), 11 }, { Point(10, 0), 13 }, { Point(0.5, 0), 3 },
        { Point(3, 0), 5 }, { Point(0, 0), 3 } };
    for (const Row& r : rows) {
        const auto s = splinePoints(curveModel({ false, false }), { Point(0, 0), r.end });
        ASSERT_TRUE(s);
        EXPECT_EQ(s->points.size(), r.samples) << r.end.x;
        EXPECT_EQ(s->points.back(), r.end);
    }
}

TEST(Spline, TwoPointsEaseAlongTheChord)
{
    for (bool flag : { false, true }) {
        const auto s = splinePoints(curveModel({ flag, flag }), { Point(0, 0), Point(3, 0) });
        ASSERT_TRUE(s);
        // 4 steps; t = 1/4, 2/4, 3/4 on 0.5 (3t + 9t^2 - 6t^3).
        const std::vector<Point> expected { Point(0, 0), Point(0.609375, 0), Point(1.5, 0),
            Point(2.390625, 0), Point(3, 0) };
        EXPECT_EQ(s->points, expected);
        EXPECT_EQ(s->sourceIndex, (std::vector<int> { 0, 0, 0, 0, 1 }));
    }
}

TEST(Spline, CornerFlagSplitsThePiece)
{
    const std::vector<Point> pts { Point(0, 0), Point(20, 80), Point(100, 100) };
    const auto smooth = splinePoints(curveModel({ false, false, false }), pts);
    const auto corner = splinePoints(curveModel({ false, true, false }), pts);
    ASSERT_TRUE(smooth && corner);
    for (const auto* s : { &*smooth, &*corner }) {
        EXPECT_EQ(s->points.front(), pts[0]);
        EXPECT_TRUE(contains(s->points, pts[1]));
        EXPECT_EQ(s->points.back(), pts[2]);
        EXPECT_EQ(s->points.size(), s->sourceIndex.size());
    }
    // With the corner every sample lies on one of the two chords; without, some do not.
    int offChords = 0;
    for (const Point& p : smooth->points)
        offChords += !onSegment(p, pts[0], pts[1]) && !onSegment(p, pts[1], pts[2]);
    EXPECT_GT(offChords, 10);
    for (std::size_t i = 0; i < corner->points.size(); ++i) {
        const Point& p = corner->points[i];
        EXPECT_TRUE(onSegment(p, pts[0], pts[1]) || onSegment(p, pts[1], pts[2])) << i;
        // A sample's source is the start of its segment; the segment's end point its own index.
        const int expectedSource
            = i == 0 ? 0 : (p == pts[1] ? 1 : (p == pts[2] ? 2 : (p.y < 80 ? 0 : 1)));
        EXPECT_EQ(corner->sourceIndex[i], expectedSource) << i;
    }
}

TEST(Spline, SinglePointMismatchAndEmptyInput)
{
    const auto one = splinePoints(curveModel({ true }), { Point(4, 5) });
    ASSERT_TRUE(one);
    EXPECT_EQ(one->points, std::vector<Point> { Point(4, 5) });
    EXPECT_EQ(one->points.size(), one->sourceIndex.size());

    const auto none = splinePoints(curveModel({}), {});
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->points.empty() && none->sourceIndex.empty());

    QLoggingCategory::setFilterRules(QStringLiteral("quillmark.boxes.debug=true"));
    gLog.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureLog);
    const auto mismatch
        = splinePoints(curveModel({ false, false }), { Point(0, 0), Point(1, 1), Point(2, 2) });
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    EXPECT_FALSE(mismatch);
    EXPECT_EQ(gLog, QStringList { QStringLiteral("error") });
}

TEST(Spline, PenDropsItsRubberSegmentWhileDrawing)
{
    const std::vector<Point> pts { Point(0, 0), Point(100, 0), Point(103, 0) };
    struct Row {
        bool drawing;
        std::vector<Point> pts;
        Point last;
    };
    const Row rows[] = {
        { true, pts, Point(100, 0) }, { false, pts, Point(103, 0) },
        { true, { Point(0, 0), Point(100, 0), Point(105, 0) }, Point(105, 0) }, // 5 px is kept
        { true, { Point(0, 0), Point(3, 0) }, Point(3, 0) }, // two points are never dropped
    };
    for (const Row& r : rows) {
        const auto s
            = splinePoints(curveModel(std::vector<bool>(r.pts.size(), false), r.drawing), r.pts);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->points.back(), r.last);
    }
}

TEST(Spline, LongSmoothCurveKeepsItsEnd)
{
    // About 15 000 samples across a 6000 px picture: past the cap each segment adds its end.
    const std::vector<Point> pts { Point(0, 0), Point(1500, 3000), Point(3000, 0),
        Point(4500, 3000), Point(6000, 0) };
    const auto s = splinePoints(curveModel(std::vector<bool>(5, false)), pts);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->points.back(), pts.back());
    for (const Point& p : pts)
        EXPECT_TRUE(contains(s->points, p));
    EXPECT_GE(s->points.size(), 10001u);
    EXPECT_LE(s->points.size(), 10002u + 4u);
    EXPECT_EQ(s->sourceIndex.back(), 4);
}

TEST(Spline, HugeCornerPathGivesEqualLengthVectors)
{
    const int n = 100000;
    std::vector<Point> pts;
    pts.reserve(n);
    for (int i = 0; i < n; ++i)
        pts.emplace_back(i * 7 % 6000, (i * 13) % 4000);
    const auto s = splinePoints(curveModel(std::vector<bool>(n, true)), pts);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->points.size(), s->sourceIndex.size());
    EXPECT_EQ(s->points.back(), pts.back());
    EXPECT_LE(s->points.size(), 10002u + 2u * n);
    EXPECT_TRUE(std::is_sorted(s->sourceIndex.begin(), s->sourceIndex.end()));
    EXPECT_EQ(s->sourceIndex.back(), n - 1);
}

TEST(Spline, HugeOrUndefinedCoordinatesStayBounded)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Point> rows[] = { { Point(0, 0), Point(1e30, 0) },
        { Point(0, 0), Point(inf, 0) }, { Point(0, 0), Point(std::nan(""), 0) } };
    for (const std::vector<Point>& pts : rows) {
        const auto s = splinePoints(curveModel({ false, false }), pts);
        ASSERT_TRUE(s);
        EXPECT_LE(s->points.size(), 10002u) << pts[1].x;
        EXPECT_EQ(s->points.size(), s->sourceIndex.size());
    }
}
