// The angle knob: where a click points it, what its delegate hears, and the spot it draws.
#include "platform/ui/ControlEvents.h"
#include "support/PixelProbe.h"
#include "window/AngleCtrl.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

using namespace platform;
using controltest::click;

namespace {

struct Recorder : AngleCtrlDelegate {
    std::vector<float> angles;
    void angleCtrlChanged(AngleCtrl&, float angle) override { angles.push_back(angle); }
};

} // namespace

TEST(AngleControl, ClickPointsTheKnobClockwiseFromTheRight)
{
    // Widget coordinates (y-down) in a 27 x 27 knob whose centre is (13.5, 13.5).
    struct Row {
        const char* name;
        QPointF at;
        float expected;
    };
    const Row rows[] = {
        { "right", { 25, 13.5 }, 0 },
        { "below", { 13.5, 25 }, 90 },
        { "left", { 2, 13.5 }, 180 },
        { "above (was 269 with the short pi)", { 13.5, 2 }, 270 },
        { "centre", { 13.5, 13.5 }, 0 },
        { "just above right rounds to 360, kept as 0", { 25, 13.49 }, 0 },
        { "down-right diagonal", { 20, 20 }, 45 },
    };
    for (const Row& row : rows) {
        AngleCtrl knob;
        knob.resize(27, 27);
        Recorder recorder;
        knob.setDelegate(&recorder);
        click(knob, row.at);
        ASSERT_EQ(recorder.angles.size(), 1u) << row.name;
        EXPECT_FLOAT_EQ(recorder.angles[0], row.expected) << row.name;
        EXPECT_DOUBLE_EQ(knob.angle(), row.expected) << row.name;
    }
}

TEST(AngleControl, SettingFromCodeNotifiesNobodyAndIgnoresNonFinite)
{
    AngleCtrl knob;
    knob.resize(27, 27);
    Recorder recorder;
    knob.setDelegate(&recorder);
    knob.setAngle(120);
    knob.setAngle(std::nan(""));
    knob.setAngle(INFINITY);
    EXPECT_DOUBLE_EQ(knob.angle(), 120);
    EXPECT_TRUE(recorder.angles.empty());
}

TEST(AngleControl, DrawsTheSpotInTheAngleDirectionAndNoneWhenMixed)
{
    // The spot is 3 points inside the rim: for 0 at the right, for 90 below (y-up: low y).
    struct Row {
        const char* name;
        double angle;
        int darkX, darkY; // y-up pixel expected dark
        int lightX, lightY; // the opposite side stays light
    };
    const Row rows[] = {
        { "right", 0, 37, 20, 3, 20 },
        { "below", 90, 20, 3, 20, 37 },
        { "up", 270, 20, 37, 20, 3 },
    };
    for (const Row& row : rows) {
        AngleCtrl knob;
        knob.resize(40, 40);
        knob.setAngle(row.angle);
        const QImage img = knob.renderToImage();
        EXPECT_LT(testsupport::pixelAt(img, row.darkX, row.darkY).r, 80) << row.name;
        EXPECT_GT(testsupport::pixelAt(img, row.lightX, row.lightY).r, 200) << row.name;
    }
    AngleCtrl mixed;
    mixed.resize(40, 40);
    mixed.setAngle(-1);
    const QImage img = mixed.renderToImage();
    for (auto [x, y] : { std::pair { 37, 20 }, { 20, 20 }, { 3, 20 } })
        EXPECT_PIXEL_NEAR(img, x, y, (testsupport::Rgba { 255, 255, 255, 255 }), 2);
    // Outside the disc nothing is painted.
    EXPECT_EQ(testsupport::pixelAt(img, 1, 1).a, 0);
}
