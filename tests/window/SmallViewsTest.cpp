// The sidebar's small views: the zoom slider's mapping, keys and drawing, the swatch button's
// picture alphas, the callout's arrow and outline, and the panel stack's height.
#include "foundation/ColorAdditions.h"
#include "platform/ui/ControlEvents.h"
#include "support/PixelProbe.h"
#include "window/BackgroundView.h"
#include "window/ColoredButton.h"
#include "window/PanelContentView.h"
#include "window/SidebarContainerView.h"
#include "window/ZoomSlider.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;
using testsupport::pixelAt;
using testsupport::Rgba;

using controltest::mouse;
using controltest::rgbOf;
const auto solid = controltest::solidImage;

TEST(ZoomSlider, PointerMapsThroughTheTrackAndDrawsFillAndKnob)
{
    struct Row {
        const char* name;
        double x;
        float expected;
    };
    const Row rows[]
        = { { "left of the track", 0, 0 }, { "middle", 83, 0.5f }, { "right of it", 200, 1 } };
    for (const Row& row : rows) {
        ZoomSlider s;
        s.resize(166, 16);
        int actions = 0;
        s.setAction([&](Control&) { ++actions; });
        mouse(s, QEvent::MouseButtonPress, { row.x, 8 });
        EXPECT_FLOAT_EQ(s.value(), row.expected) << row.name;
        EXPECT_EQ(actions, 1) << row.name;
    }
    ZoomSlider s;
    s.resize(166, 16);
    s.setForceValue(0.5f);
    const QImage img = s.renderToImage();
    // The filled track ends at 83; the knob (left edge 77) covers 77..93 around y 8.
    EXPECT_PIXEL_NEAR(img, 40, 7, rgbOf(0x818181), 2);
    EXPECT_PIXEL_NEAR(img, 100, 7, rgbOf(0x434343), 2);
    EXPECT_PIXEL_NEAR(img, 85, 14, rgbOf(0xA1A1A1), 2);
    EXPECT_PIXEL_NEAR(img, 78, 8, rgbOf(0xA1A1A1), 2);
    EXPECT_LT(pixelAt(img, 75, 14).a, 100) << "nothing of the knob left of 77 above the track";
}

// The slider takes focus and the arrow keys move it, sending the action.
TEST(ZoomSlider, ArrowKeysMoveIt)
{
    ZoomSlider s;
    int actions = 0;
    s.setAction([&](Control&) { ++actions; });
    EXPECT_TRUE(s.focusPolicy() & Qt::TabFocus);
    s.setForceValue(0.5f);
    for (auto [key, modifiers] : { std::pair { Qt::Key_Right, Qt::NoModifier },
             std::pair { Qt::Key_Down, Qt::ShiftModifier } }) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(&s, &press);
    }
    EXPECT_NEAR(s.value(), 0.41f, 1e-6);
    EXPECT_EQ(actions, 2);
}

TEST(ZoomSlider, SettersClampAndOnlySetValueSends)
{
    struct Row {
        const char* name;
        float input;
        float expected;
        int actions; // from setValue
    };
    const Row rows[] = {
        { "above clamps and still sends", 1.5f, 1, 1 },
        { "below", -3, 0, 1 },
        { "NaN changes and sends nothing", NAN, 0.25f, 0 },
        { "infinity too", INFINITY, 0.25f, 0 },
    };
    for (const Row& row : rows) {
        ZoomSlider s;
        s.setForceValue(0.25f);
        int actions = 0;
        s.setAction([&](Control&) { ++actions; });
        s.setValue(row.input);
        EXPECT_FLOAT_EQ(s.value(), row.expected) << row.name;
        EXPECT_EQ(actions, row.actions) << row.name;
        s.setForceValue(0.25f);
        s.setForceValue(row.input);
        EXPECT_FLOAT_EQ(s.value(), row.expected) << "silent: " << row.name;
        EXPECT_EQ(actions, row.actions) << "silent: " << row.name;
    }
}

TEST(ColoredButton, PictureAlphaByState)
{
    struct Row {
        const char* name;
        bool pressed, enabled, hovered;
        double alpha;
    };
    const Row rows[] = {
        { "plain", false, true, false, 1.0 },
        { "hovered", false, true, true, 0.75 },
        { "pressed", true, true, true, 0.5 },
        { "disabled", false, false, true, 0.2 },
    };
    for (const Row& row : rows)
        EXPECT_DOUBLE_EQ(
            ColoredButton::pictureAlpha(row.pressed, row.enabled, row.hovered), row.alpha)
            << row.name;

    // Drawn: a clear swatch shows only the grey outline and the picture; a pressed button
    // draws its white picture at half alpha.
    ColoredButton b;
    b.resize(30, 30);
    b.setImage(solid(10, 10, Qt::white));
    QImage img = b.renderToImage();
    EXPECT_PIXEL_NEAR(img, 15, 15, (Rgba { 255, 255, 255, 255 }), 1);
    EXPECT_EQ(pixelAt(img, 7, 15).a, 0) << "clear swatch between outline and picture";
    EXPECT_PIXEL_NEAR(img, 0, 15, (Rgba { 117, 117, 117, 255 }), 3);
    mouse(b, QEvent::MouseButtonPress, { 15, 15 });
    img = b.renderToImage();
    EXPECT_NEAR(pixelAt(img, 15, 15).a, 128, 2);
    b.setColoringColor(Color(1, 0, 0));
    EXPECT_PIXEL_NEAR(b.renderToImage(), 7, 15, (Rgba { 255, 0, 0, 255 }), 1);
}

TEST(ColoredButton, ActsOnlyOnAReleaseOverItself)
{
    for (auto [name, releaseAt, expected] :
        { std::tuple { "inside", QPointF(15, 15), 1 }, { "dragged off", QPointF(60, 15), 0 } }) {
        ColoredButton b;
        b.resize(30, 30);
        int actions = 0;
        b.setAction([&](Control&) { ++actions; });
        mouse(b, QEvent::MouseButtonPress, { 15, 15 });
        mouse(b, QEvent::MouseMove, releaseAt);
        mouse(b, QEvent::MouseButtonRelease, releaseAt);
        EXPECT_EQ(actions, expected) << name;
    }
}

TEST(BackgroundView, ArrowTipBodyAndOuterHalfOfTheOutline)
{
    struct Row {
        const char* name;
        long arrowX;
    };
    for (const Row& row : { Row { "centred", 0 }, Row { "moved right", 20 } }) {
        BackgroundView v;
        v.resize(102, 60);
        v.setArrowX(row.arrowX);
        const QImage img = v.renderToImage(1.0);
        // R is the bounds inset by 1: width 100, tip at 50 + arrowX, top 59.
        const int tipX = 50 + int(row.arrowX);
        SCOPED_TRACE(row.name);
        EXPECT_PIXEL_NEAR(img, tipX, 55, (Rgba { 255, 255, 255, 255 }), 2);
        EXPECT_EQ(pixelAt(img, tipX - 14, 55).a, 0)
            << row.name << ": beside the arrow, above the body";
        EXPECT_PIXEL_NEAR(img, 50, 25, (Rgba { 255, 255, 255, 255 }), 0);
        EXPECT_EQ(pixelAt(img, 0, 0).a, 0) << row.name << ": outside the rounded corner";
    }
    // The body's colour shows inside right up to its edge: the white outline stays outside.
    BackgroundView v;
    v.resize(102, 60);
    v.setBackgroundColor(Color(0, 0, 1));
    const QImage img = v.renderToImage(1.0);
    EXPECT_PIXEL_NEAR(img, 2, 25, (Rgba { 0, 0, 255, 255 }), 2);
    EXPECT_PIXEL_NEAR(img, 0, 25, (Rgba { 255, 255, 255, 255 }), 2);
}

TEST(SmallViews, SidebarFillAndPanelStackHeight)
{
    SidebarContainerView side;
    side.resize(20, 20);
    EXPECT_PIXEL_NEAR(side.renderToImage(), 10, 10, rgbOf(0x181918), 1);
    PanelContentView panel;
    for (auto [h, expected] : { std::pair { 300, 650 }, { 900, 900 } }) {
        panel.resize(269, h);
        EXPECT_EQ(panel.sizeHint(), QSize(269, expected));
    }
}
