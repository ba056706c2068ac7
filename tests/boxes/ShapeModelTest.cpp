// The shape model: the presets of every type, the record round trip through the archive, the
// rules of style pasting, and the repair of records that do not hold what their type needs.
#include "boxes/MyShapeView.h"

#include <functional>
#include <gtest/gtest.h>

using platform::Point;
using platform::Rect;

namespace {

const Rect kFrame(10, 20, 200, 100);

std::unique_ptr<MyShapeView> shapeOf(int type)
{
    return std::make_unique<MyShapeView>(kFrame, type);
}

ControlValue f(double v)
{
    return ControlValue::boxedFloat(v);
}

} // namespace

TEST(ShapeModel, PresetsByType)
{
    // One row per kind of preset: no shape, line with a head, curve flags, radii, arrow handle,
    // polygon and star values, pen path.
    struct Row {
        int type;
        int shapeType, endType, strokeSize;
        std::vector<Point> points;
        std::vector<ControlValue> values;
    };
    const std::vector<Row> rows = {
        { -1, -1, 0, 0, {}, {} },
        { 1, 0, 1, 6, { Point(0, 0), Point(1, 1) }, {} },
        { 2, 2, 0, 6, { Point(0, 0), Point(0.2, 0.8), Point(1, 1) }, { false, false, false } },
        { 4, 4, 0, 0, {}, { f(0.2), f(0.2), f(0.2), f(0.2) } },
        { 9, 9, 0, 0, { Point(0.2, 0.3) }, {} },
        { 14, 14, 0, 0, {}, { 5, f(0.35) } },
        { 15, 15, 0, 6, { Point(0, 0), Point(0, 0) }, { true, true } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        const auto s = shapeOf(row.type);
        EXPECT_EQ(s->shapeType(), row.shapeType);
        EXPECT_EQ(s->endType(), row.endType);
        EXPECT_EQ(s->strokeSize(), row.strokeSize);
        EXPECT_EQ(s->points(), row.points);
        EXPECT_EQ(s->controlVals(), row.values);
        EXPECT_EQ(s->getUndoData().shapeType, row.shapeType);
    }
}

TEST(ShapeModel, CalloutsStartWithTheirSampledOutline)
{
    struct Row {
        int type;
        Point tip;
        double radius, halfWidth;
    };
    const Row rows[] = { { 11, Point(0, -0.15), 0.5, 0.1 }, { 12, Point(-0.15, 0.5), 0.1, 0.2 } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        const auto s = shapeOf(row.type);
        ASSERT_EQ(s->controlVals().size(), 8u);
        EXPECT_EQ(s->controlVals()[0], ControlValue(row.tip));
        for (int i = 1; i <= 4; ++i)
            EXPECT_EQ(s->controlVals()[size_t(i)], f(row.radius));
        EXPECT_EQ(s->controlVals()[5], f(row.halfWidth));
        // The outline holds the tail's tip where its base was.
        ASSERT_GT(s->points().size(), 20u);
        EXPECT_NE(std::find(s->points().begin(), s->points().end(), row.tip), s->points().end());
        EXPECT_NE(s->controlVals()[7], ControlValue(Point()));
    }
}
TEST(ShapeModel, ArchiveRoundTripKeepsTheModelOfEveryType)
{
    for (int type = -1; type <= 16; ++type) {
        SCOPED_TRACE(type);
        const auto s = shapeOf(type);
        s->setIsDrawing(type == 15);
        if (type == 15)
            s->setEndType(99);
        const UNDODATA before = s->getUndoData();
        const auto decoded = UNDODATA::decodeFromData(before.encodeToData());
        ASSERT_TRUE(decoded);
        UNDODATA copy = *decoded;
        EXPECT_TRUE(MyShapeView::repairRecord(copy)) << "a record of ours needs no repair";

        MyShapeView restored(Rect(0, 0, 5, 5), 3);
        restored.setUndoData(*decoded);
        const UNDODATA after = restored.getUndoData();
        EXPECT_TRUE(after.isEqualTo(before));
        EXPECT_EQ(restored.controlVals(), s->controlVals());
        EXPECT_EQ(restored.isDrawing(), s->isDrawing());
        EXPECT_EQ(restored.frame(), kFrame);
    }
}

TEST(ShapeModel, PastingAStyle)
{
    struct Row {
        const char* name;
        int sourceKind; // record type
        int sourceShape, sourceStart, sourceEnd;
        int targetShape, targetEnd;
        int wantStart, wantEnd;
    };
    const Row rows[] = {
        { "line onto line", 2, 0, 3, 1, 0, 0, 3, 1 },
        { "curve onto pen path", 2, 2, 2, 5, 15, 0, 2, 5 },
        { "closed pen path keeps the curve open", 2, 15, 4, 99, 2, 0, 4, 0 },
        { "a closed target stays closed", 2, 0, 4, 1, 15, 99, 4, 99 },
        { "figure record brings no heads", 2, 3, 4, 4, 0, 0, 0, 0 },
        { "no heads onto a figure", 2, 0, 4, 1, 3, 0, 0, 0 },
        { "text record brings no heads", 0, 0, 4, 1, 0, 0, 0, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UNDODATA r = shapeOf(3)->getUndoData();
        r.type = row.sourceKind;
        r.shapeType = row.sourceShape;
        r.startType = row.sourceStart;
        r.endType = row.sourceEnd;
        const auto target = shapeOf(row.targetShape);
        target->setEndType(row.targetEnd);
        const auto points = target->points();
        target->setCopyPasteStyle(r);
        EXPECT_EQ(target->startType(), row.wantStart);
        EXPECT_EQ(target->endType(), row.wantEnd);
        EXPECT_EQ(target->shapeType(), row.targetShape);
        EXPECT_EQ(target->points(), points);
    }
}

// A record as a file or the clipboard might bring it, and what the restored box holds.
struct BadRecord {
    const char* name;
    int type;
    std::function<void(UNDODATA&)> spoil;
    std::function<void(const MyShapeView&)> check;
};

std::vector<BadRecord> badRecords()
{
    using V = std::vector<ControlValue>;
    return {
        { "rounded rectangle with two radii", 4,
            [](UNDODATA& r) {
                r.controlVals = { f(0.1), f(0.3) };
            },
            [](const MyShapeView& s) {
                EXPECT_EQ(s.controlVals(), (V { f(0.1), f(0.3), f(0.2), f(0.2) }));
            } },
        { "rounded rectangle with a point for a radius", 4,
            [](UNDODATA& r) { r.controlVals[2] = ControlValue(Point(1, 1)); },
            [](const MyShapeView& s) { EXPECT_EQ(s.controlVals()[2], f(0.2)); } },
        { "negative radii", 4, [](UNDODATA& r) { r.controlVals[1] = ControlValue(-0.4); },
            [](const MyShapeView& s) { EXPECT_EQ(s.controlVals()[1], f(0.0)); } },
        { "callout without values", 11, [](UNDODATA& r) { r.controlVals.clear(); },
            [](const MyShapeView& s) {
                EXPECT_EQ(s.controlVals().size(), 8u);
                EXPECT_EQ(s.controlVals()[0], ControlValue(Point(0, -0.15)));
                EXPECT_GT(s.points().size(), 20u);
            } },
        { "callout with a number for its tip and no points", 12,
            [](UNDODATA& r) {
                r.controlVals[0] = ControlValue(3);
                r.points.clear();
            },
            [](const MyShapeView& s) {
                EXPECT_EQ(s.controlVals()[0], ControlValue(Point(-0.15, 0.5)));
                EXPECT_GT(s.points().size(), 20u);
            } },
        { "curve flags short of the points", 2, [](UNDODATA& r) { r.controlVals = { true }; },
            [](const MyShapeView& s) {
                EXPECT_EQ(s.controlVals(), (V { true, false, false }));
            } },
        { "pen path with too many flags of odd kinds", 15,
            [](UNDODATA& r) {
                r.controlVals = { 2, ControlValue(Point(0, 0)), true, false };
            },
            [](const MyShapeView& s) {
                EXPECT_EQ(s.controlVals(), (V { true, false }));
            } },
        { "block arrow without a handle", 8, [](UNDODATA& r) { r.points.clear(); },
            [](const MyShapeView& s) { EXPECT_EQ(s.points(), std::vector { Point(0.8, 0.3) }); } },
        { "double block arrow handle out of range", 9,
            [](UNDODATA& r) { r.points = { Point(0.7, -0.1) }; },
            [](const MyShapeView& s) { EXPECT_EQ(s.points(), std::vector { Point(0.5, 0.0) }); } },
        { "polygon with a huge count", 13, [](UNDODATA& r) { r.controlVals = { 1.0e12 }; },
            [](const MyShapeView& s) { EXPECT_EQ(s.controlVals(), (V { 100 })); } },
        { "polygon with a negative fractional count", 13,
            [](UNDODATA& r) { r.controlVals = { -7.5 }; },
            [](const MyShapeView& s) { EXPECT_EQ(s.controlVals(), (V { 0 })); } },
        { "star with only a fractional count", 14, [](UNDODATA& r) { r.controlVals = { 6.9 }; },
            [](const MyShapeView& s) {
                EXPECT_EQ(s.controlVals(), (V { 6, f(0.35) }));
            } },
        { "star ratio beyond 1", 14, [](UNDODATA& r) { r.controlVals[1] = ControlValue(4.0); },
            [](const MyShapeView& s) { EXPECT_EQ(s.controlVals()[1], f(1.0)); } },
        { "line with one far point", 0, [](UNDODATA& r) { r.points = { Point(-3.0e9, 5.0e20) }; },
            [](const MyShapeView& s) {
                EXPECT_EQ(s.points(), (std::vector { Point(-1.0e4, 1.0e4), Point(1, 1) }));
            } },
        { "rectangle with points and values", 3,
            [](UNDODATA& r) {
                r.points = { Point(0, 0) };
                r.controlVals = { 1 };
            },
            [](const MyShapeView& s) {
                EXPECT_TRUE(s.points().empty());
                EXPECT_TRUE(s.controlVals().empty());
            } },
        { "zero frame", 5, [](UNDODATA& r) { r.frame.size = platform::Size(0, 0.5); },
            [](const MyShapeView& s) { EXPECT_EQ(s.frame().size, platform::Size(1, 1)); } },
        { "unknown heads", 0,
            [](UNDODATA& r) {
                r.startType = 99;
                r.endType = -4;
            },
            [](const MyShapeView& s) {
                EXPECT_EQ(s.startType(), 0);
                EXPECT_EQ(s.endType(), 0);
            } },
        { "closed pen path keeps its end code", 15,
            [](UNDODATA& r) {
                r.startType = 9;
                r.endType = 99;
            },
            [](const MyShapeView& s) {
                EXPECT_EQ(s.startType(), 0);
                EXPECT_EQ(s.endType(), 99);
            } },
        { "a hundred thousand points", 15,
            [](UNDODATA& r) {
                r.points.resize(100000);
                for (std::size_t i = 0; i < r.points.size(); ++i)
                    r.points[i] = Point(double(i % 100) / 100.0, double(i) / 1.0e5);
                r.controlVals.assign(5, ControlValue(true));
            },
            [](const MyShapeView& s) { EXPECT_EQ(s.controlVals().size(), 100000u); } },
    };
}

TEST(ShapeModel, BadRecordsAreRepairedWithALogLine)
{
    for (const BadRecord& row : badRecords()) {
        SCOPED_TRACE(row.name);
        UNDODATA r = shapeOf(row.type)->getUndoData();
        row.spoil(r);
        UNDODATA repaired = r;
        repaired.validate();
        EXPECT_FALSE(MyShapeView::repairRecord(repaired));
        EXPECT_TRUE(MyShapeView::repairRecord(repaired)) << "a repaired record needs no more";
        MyShapeView s(kFrame, 3);
        s.setUndoData(r);
        row.check(s);
    }
}

TEST(ShapeModel, RecordsOfOtherKindsAreNotRepaired)
{
    UNDODATA r;
    r.type = UNDODATA::TextBox;
    r.points = { Point(1, 2) };
    r.controlVals = { 5 };
    EXPECT_TRUE(MyShapeView::repairRecord(r));
    EXPECT_EQ(r.points.size(), 1u);
}
