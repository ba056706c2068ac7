// The fill editor: stop arithmetic, typed angles, and the editor's behaviour with its
// sub-controls, colour panel, picture panel and delegate.
#include "window/FillStopEditing.h"

#include <gtest/gtest.h>

using platform::Color;
using platform::GradientStop;
using platform::Point;

namespace {

std::vector<GradientStop> threeStops()
{
    return { { Color(1, 0, 0), 0.2 }, { Color(0, 1, 0), 0.5 }, { Color(0, 0, 1), 0.8 } };
}

} // namespace

TEST(FillStops, AddTakesTheNeighbouringColourOrTheBlend)
{
    struct Row {
        const char* name;
        double t;
        int index;
        Color colour;
    };
    const Row rows[] = {
        { "left of the first stop", 0.1, 0, Color(1, 0, 0) },
        { "between the first two, a quarter of the way", 0.275, 1, Color(0.75, 0.25, 0) },
        { "between the last two, half way", 0.65, 2, Color(0, 0.5, 0.5) },
        { "on a stop joins after it with its colour", 0.5, 2, Color(0, 1, 0) },
        { "right of the last stop", 0.9, 3, Color(0, 0, 1) },
        { "at the very end", 1.0, 3, Color(0, 0, 1) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto stops = threeStops();
        const auto index = fillstops::addStop(stops, row.t);
        ASSERT_TRUE(index.has_value());
        EXPECT_EQ(*index, row.index);
        ASSERT_EQ(stops.size(), 4u);
        const GradientStop& s = stops[size_t(*index)];
        EXPECT_DOUBLE_EQ(s.location, row.t);
        EXPECT_NEAR(s.color.red, row.colour.red, 1.0 / 255);
        EXPECT_NEAR(s.color.green, row.colour.green, 1.0 / 255);
        EXPECT_NEAR(s.color.blue, row.colour.blue, 1.0 / 255);
        for (size_t i = 1; i < stops.size(); ++i)
            EXPECT_LE(stops[i - 1].location, stops[i].location);
    }
}

TEST(FillStops, AddRefusesAFullGradientAndNonFiniteClicks)
{
    std::vector<GradientStop> full;
    for (int i = 0; i < platform::Gradient::kMaxStops; ++i)
        full.push_back({ Color(0, 0, 0), double(i) / platform::Gradient::kMaxStops });
    auto copy = full;
    EXPECT_FALSE(fillstops::addStop(copy, 0.5).has_value());
    EXPECT_EQ(copy, full);
    auto stops = threeStops();
    EXPECT_FALSE(fillstops::addStop(stops, std::nan("")).has_value());
    EXPECT_FALSE(fillstops::addStop(stops, INFINITY).has_value());
    EXPECT_EQ(stops, threeStops());
}

TEST(FillStops, DragKeepsAGapAndDropsMovesThatBreakIt)
{
    const double gap = 5.0 / 100; // 5 points on a 100-point bar
    struct Row {
        const char* name;
        int k;
        double t;
        bool moves;
        double location;
    };
    const Row rows[] = {
        { "middle stop, free move", 1, 0.4, true, 0.4 },
        { "middle stop, just outside the gap", 1, 0.26, true, 0.26 },
        { "middle stop, inside the gap of its left neighbour", 1, 0.24, false, 0.5 },
        { "middle stop, inside the gap of its right neighbour", 1, 0.76, false, 0.5 },
        { "middle stop, past its neighbour", 1, 0.95, false, 0.5 },
        { "first stop limited by 0", 0, -3.0, true, 0.0 },
        { "last stop limited by 1", 2, 7.0, true, 1.0 },
        { "index out of range", 3, 0.5, false, 0.0 },
        { "NaN position", 1, std::nan(""), false, 0.5 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto stops = threeStops();
        EXPECT_EQ(fillstops::moveStop(stops, row.k, row.t, gap), row.moves);
        if (row.k < 3) {
            const double expected = row.moves ? row.location : threeStops()[size_t(row.k)].location;
            EXPECT_DOUBLE_EQ(stops[size_t(row.k)].location, expected);
        }
    }
}

TEST(FillStops, RightClickRemovesFromTheTopAndKeepsTwo)
{
    const double Rw = 100, barY = 40;
    struct Row {
        const char* name;
        std::vector<double> locations;
        Point p;
        int removed;
        std::vector<double> left;
    };
    const Row rows[] = {
        { "one marker hit", { 0.1, 0.5, 0.9 }, Point(52, 35), 1, { 0.1, 0.9 } },
        { "miss", { 0.1, 0.5, 0.9 }, Point(30, 35), 0, { 0.1, 0.5, 0.9 } },
        { "three overlapping markers leave two", { 0.1, 0.5, 0.51, 0.52 }, Point(55, 35), 2,
            { 0.1, 0.5 } },
        { "all overlapping: the lowest two stay", { 0.5, 0.51, 0.52 }, Point(55, 35), 1,
            { 0.5, 0.51 } },
        { "two stops: nothing", { 0.2, 0.8 }, Point(22, 35), 0, { 0.2, 0.8 } },
        { "above the strip", { 0.1, 0.5, 0.9 }, Point(52, 45), 0, { 0.1, 0.5, 0.9 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<GradientStop> stops;
        for (double l : row.locations)
            stops.push_back({ Color(l, 0, 0), l });
        EXPECT_EQ(fillstops::removeStopsAt(stops, row.p, Rw, barY), row.removed);
        std::vector<double> left;
        for (const auto& s : stops)
            left.push_back(s.location);
        EXPECT_EQ(left, row.left);
    }
}

TEST(FillStops, TypedAngles)
{
    struct Row {
        const char* text;
        int angle;
    };
    const Row rows[] = {
        { "45º", 45 }, { "45", 45 }, { "abc", 0 }, { "", 0 }, { "º", 0 }, { "400", 40 },
        { "-30", 330 }, { "360", 0 }, { "-360", 0 }, { "  90º ", 90 }, { "12abc", 12 },
        { "+15", 15 }, { "1234567890123456789012345678901234567890", 90 }, // exact, no overflow
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(fillstops::angleFromText(QString::fromUtf8(row.text)), row.angle);
    }
}
