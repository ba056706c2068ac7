// The path value: element list, copy-on-write, tight bounds, containment, stroking and the
// conversion to and from Qt.
#include "platform/graphics/BezierPath.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// "M x,y L x,y C c1x,c1y c2x,c2y x,y Z": a path from a short string.
BezierPath parse(const char* text)
{
    BezierPath p;
    const QStringList tokens = QString::fromLatin1(text).split(' ', Qt::SkipEmptyParts);
    auto point = [&](qsizetype i) {
        const QStringList xy = tokens[i].split(',');
        return Point(xy[0].toDouble(), xy[1].toDouble());
    };
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == "M")
            p.moveTo(point(++i));
        else if (tokens[i] == "L")
            p.lineTo(point(++i));
        else if (tokens[i] == "C") {
            const Point c1 = point(i + 1), c2 = point(i + 2), e = point(i + 3);
            p.curveTo(e, c1, c2);
            i += 3;
        } else if (tokens[i] == "Z")
            p.closePath();
    }
    return p;
}

} // namespace

TEST(BezierPath, BoundsAreTightAndCachedPerValue)
{
    struct Row {
        const char* name;
        const char* path;
        Rect bounds;
        Rect controls;
    };
    const Row rows[] = {
        { "arch", "M 0,0 C 0,100 100,100 100,0", { 0, 0, 100, 75 }, { 0, 0, 100, 100 } },
        { "s-curve in x", "M 0,0 C 100,0 -100,10 0,10", { -28.8675, 0, 57.735, 10 },
            { -100, 0, 200, 10 } },
        { "zero-length line", "M 5,5 L 5,5", { 5, 5, 0, 0 }, { 5, 5, 0, 0 } },
        { "lines", "M 1,2 L 4,-3 L -2,6 Z", { -2, -3, 6, 9 }, { -2, -3, 6, 9 } },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const BezierPath p = parse(r.path);
        const Rect b = p.bounds();
        EXPECT_NEAR(b.x(), r.bounds.x(), 1e-3);
        EXPECT_NEAR(b.y(), r.bounds.y(), 1e-3);
        EXPECT_NEAR(b.width(), r.bounds.width(), 1e-3);
        EXPECT_NEAR(b.height(), r.bounds.height(), 1e-3);
        EXPECT_EQ(p.controlPointBounds(), r.controls);
    }
    EXPECT_EQ(BezierPath().bounds(), Rect());

    // A copy shares the cached bounds until one side changes.
    BezierPath a = parse("M 0,0 L 10,10");
    EXPECT_EQ(a.bounds(), Rect(0, 0, 10, 10));
    BezierPath b = a;
    b.lineTo({ 20, -5 });
    EXPECT_EQ(a.bounds(), Rect(0, 0, 10, 10));
    EXPECT_EQ(b.bounds(), Rect(0, -5, 20, 15));
    EXPECT_EQ(a.elementCount(), 2);
    EXPECT_EQ(b.elementCount(), 3);
}

TEST(BezierPath, ElementsKeepZeroLengthSegmentsAndImplicitMoves)
{
    BezierPath p = parse("M 5,5 L 5,5 L 10,5 Z L 0,0");
    ASSERT_EQ(p.elementCount(), 6);
    EXPECT_EQ(p.elementAt(1).kind, PathElementKind::LineTo);
    EXPECT_EQ(p.elementAt(1).points[0], Point(5, 5));
    // A line after a close starts from the closed subpath's start.
    EXPECT_EQ(p.elementAt(4).kind, PathElementKind::MoveTo);
    EXPECT_EQ(p.elementAt(4).points[0], Point(5, 5));
    EXPECT_EQ(p.currentPoint(), Point(0, 0));

    BezierPath fresh;
    fresh.lineTo({ 3, 4 }); // no current point: starts with a move
    ASSERT_EQ(fresh.elementCount(), 2);
    EXPECT_EQ(fresh.elementAt(0).kind, PathElementKind::MoveTo);

    EXPECT_EQ(parse("M 5,5 L 5,5"), parse("M 5,5 L 5,5"));
    EXPECT_FALSE(parse("M 5,5 L 5,5") == parse("M 5,5"));
}

TEST(BezierPath, ShapesStartRightAndRunCounterClockwise)
{
    const BezierPath oval = BezierPath::oval(Rect(0, 0, 20, 10));
    ASSERT_EQ(oval.elementCount(), 6);
    EXPECT_EQ(oval.elementAt(0).points[0], Point(20, 5));
    EXPECT_EQ(oval.elementAt(1).points[2], Point(10, 10)); // up first: counter-clockwise
    EXPECT_EQ(oval.bounds(), Rect(0, 0, 20, 10));

    const BezierPath rounded = BezierPath::roundedRect(Rect(0, 0, 20, 10), 50, 50);
    const Rect b = rounded.bounds(); // radii clamped to half the sides
    EXPECT_NEAR(b.width(), 20, 1e-9);
    EXPECT_NEAR(b.height(), 10, 1e-9);
    EXPECT_TRUE(rounded.containsPoint({ 10, 5 }));
    EXPECT_FALSE(rounded.containsPoint({ 0.5, 0.5 }));
    EXPECT_EQ(
        BezierPath::roundedRect(Rect(0, 0, 20, 10), 0, 3), BezierPath::rect(Rect(0, 0, 20, 10)));
}

TEST(BezierPath, ContainmentIsNonZero)
{
    BezierPath same = BezierPath::rect(Rect(0, 0, 10, 10));
    same.appendRect(Rect(2, 2, 6, 6)); // same winding: no hole
    EXPECT_TRUE(same.containsPoint({ 5, 5 }));

    BezierPath hole = BezierPath::rect(Rect(0, 0, 10, 10));
    hole.appendPath(parse("M 2,2 L 2,8 L 8,8 L 8,2 Z")); // opposite winding: a hole
    EXPECT_FALSE(hole.containsPoint({ 5, 5 }));
    EXPECT_TRUE(hole.containsPoint({ 1, 5 }));
    EXPECT_FALSE(hole.containsPoint({ NAN, 5 }));
}

TEST(BezierPath, TransformsEveryPoint)
{
    const BezierPath p = parse("M 1,0 C 1,1 2,1 2,0 Z");
    const BezierPath t = p.transformed(AffineTransform::makeScale(2, 3).translated(1, 1));
    EXPECT_EQ(t.elementAt(0).points[0], Point(4, 3));
    EXPECT_EQ(t.elementAt(1).points[0], Point(4, 6));
    EXPECT_EQ(t.elementAt(1).points[2], Point(6, 3));
    EXPECT_EQ(p.elementAt(0).points[0], Point(1, 0)); // the original is untouched
}

TEST(BezierPath, StrokeOutlineFollowsWidthCapJoinAndMiterLimit)
{
    const BezierPath line = parse("M 0,0 L 10,0");
    struct Row {
        const char* name;
        StrokeStyle style;
        Point probe;
        bool inside;
    };
    // A 60 degree corner: its miter is 1 / sin(30 deg) = 2 widths long.
    const BezierPath corner = parse("M 0,0 L 20,0 L 14.2265,10");
    const Row rows[] = {
        { "butt ends at the end point", { 2, LineCap::Butt }, { 10.5, 0 }, false },
        { "square cap adds half the width", { 2, LineCap::Square }, { 10.9, 0.9 }, true },
        { "round cap is round", { 2, LineCap::Round }, { 10.9, 0.9 }, false },
        { "width is total", { 4, LineCap::Butt }, { 5, 1.9 }, true },
        { "miter within the limit", { 2, LineCap::Butt, LineJoin::Miter, 2.5 }, { 21.56, -0.9 },
            true },
        { "miter past the limit bevels", { 2, LineCap::Butt, LineJoin::Miter, 1.5 },
            { 21.56, -0.9 }, false },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const bool isCorner = std::string(r.name).find("miter") != std::string::npos;
        const BezierPath outline = (isCorner ? corner : line).strokedPath(r.style);
        EXPECT_EQ(outline.containsPoint(r.probe), r.inside);
    }
    EXPECT_TRUE(line.strokedPath(StrokeStyle { 0 }).isEmpty());
    EXPECT_TRUE(line.strokedPath(StrokeStyle { NAN }).isEmpty());
}

TEST(BezierPath, RoundTripsThroughQt)
{
    const BezierPath p = parse("M 0,0 L 10,0 C 10,5 5,10 0,10 Z M 20,20 L 30,20");
    const QPainterPath q = p.toQPainterPath();
    EXPECT_EQ(q.fillRule(), Qt::WindingFill);
    EXPECT_EQ(BezierPath::fromQPainterPath(q), p);
    // Qt cannot tell an explicit line back to the start from a close: it comes back as a close.
    EXPECT_EQ(BezierPath::fromQPainterPath(parse("M 0,0 L 5,0 L 5,5 L 0,0 Z").toQPainterPath()),
        parse("M 0,0 L 5,0 L 5,5 Z"));
}
