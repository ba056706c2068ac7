// The stepper: clicks on each half, the ends with and without wrapping, silent setters and
// bad numbers.
#include "platform/ui/Stepper.h"

#include "platform/ui/ControlEvents.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

using controltest::click;

TEST(Stepper, ClicksStepAndStopOrWrapAtTheEnds)
{
    struct Row {
        const char* name;
        int min, max, start;
        bool wraps;
        bool upper; // click the upper half
        int expected;
    };
    const Row rows[] = {
        { "up", 0, 359, 10, false, true, 11 },
        { "down", 0, 359, 10, false, false, 9 },
        { "angle wraps 359 -> 0", 0, 359, 359, true, true, 0 },
        { "angle wraps 0 -> 359", 0, 359, 0, true, false, 359 },
        { "size stops at max", 0, 100, 100, false, true, 100 },
        { "size stops at min", 0, 100, 0, false, false, 0 },
        { "no overflow next to INT_MAX", 0, INT_MAX, INT_MAX, false, true, INT_MAX },
    };
    for (const Row& row : rows) {
        Stepper s;
        s.resize(13, 22);
        s.setMinValue(row.min);
        s.setMaxValue(row.max);
        s.setValueWraps(row.wraps);
        s.setIntValue(row.start);
        int actions = 0;
        s.setAction([&](Control& sender) {
            EXPECT_EQ(&sender, &s);
            ++actions;
        });
        click(s, QPointF(6, row.upper ? 3 : 19));
        EXPECT_EQ(s.intValue(), row.expected) << row.name;
        EXPECT_EQ(actions, 1) << row.name << ": a click sends even at an end";
        EXPECT_EQ(s.stringValue(), QString::number(row.expected)) << row.name;
    }
}

TEST(Stepper, SettersClampSilentlyAndIgnoreBadNumbers)
{
    Stepper s;
    s.setMinValue(0);
    s.setMaxValue(359);
    s.setValueWraps(true);
    int actions = 0;
    s.setAction([&](Control&) { ++actions; });
    struct Row {
        const char* name;
        double input;
        int expected;
    };
    const Row rows[] = {
        { "inside", 45.4, 45 },
        { "rounds", 45.6, 46 },
        { "above clamps, never wraps", 400, 359 },
        { "below clamps", -30, 0 },
        { "NaN ignored", NAN, 0 },
        { "infinity ignored", INFINITY, 0 },
        { "huge clamps", 1e300, 359 },
    };
    for (const Row& row : rows) {
        s.setIntValue(0);
        s.setDoubleValue(row.input);
        EXPECT_EQ(s.intValue(), row.expected) << row.name;
    }
    EXPECT_EQ(actions, 0);
    s.setIntValue(200);
    s.setMaxValue(100);
    EXPECT_EQ(s.intValue(), 100) << "a lower max pulls the value in";
}
