// The brush tool as the canvas's controls object: visibility that waits for the brush, and
// pinches that go to the canvas's own window only.
#include "CanvasTestSupport.h"
#include "FakeCanvasWindow.h"
#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "platform/document/NotificationCenter.h"

#include <gtest/gtest.h>

using namespace canvas;
using namespace canvastest;

namespace {

struct Canvas {
    FakeCanvasWindow window;
    CanvasControls canvas;
    CanvasCustomShapeControls* brush = nullptr;

    Canvas()
    {
        canvas.setCanvasWindow(&window);
        canvas.loadImage(platform::Image::fromQImage(rampPicture(64, 48)));
        canvas.setCustomDrawingZoomScale(0);
        brush = dynamic_cast<CanvasCustomShapeControls*>(canvas.controls());
    }
};

} // namespace

TEST(Controls, VisibilityWaitsForTheBrushAndTheLastValueWins)
{
    struct Row {
        const char* name;
        std::vector<bool> whileDrawing;
        bool expectedAfter;
    };
    const Row rows[] = {
        { "hide", { false }, false },
        { "hide then show", { false, true }, true },
        { "show, hide, show, hide", { true, false, true, false }, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Canvas c;
        ASSERT_NE(c.brush, nullptr);
        c.brush->setControlsVisible(true);
        c.brush->paintViewDrawingModeStarted(*c.brush->paintView(), true);
        for (bool v : row.whileDrawing)
            c.brush->setControlsVisible(v);
        EXPECT_TRUE(c.brush->controlsVisible()) << "nothing changes while drawing";
        EXPECT_FALSE(c.brush->paintView()->isHidden());
        c.brush->paintViewDrawingModeStarted(*c.brush->paintView(), false);
        EXPECT_EQ(c.brush->controlsVisible(), row.expectedAfter);
        EXPECT_EQ(c.brush->paintView()->isHidden(), !row.expectedAfter);
    }
}

TEST(Controls, PinchGoesToItsOwnWindow)
{
    struct Row {
        const char* name;
        bool brushMode;
        QString expected;
    };
    const Row rows[] = {
        { "brush mode: brush size", true, CanvasCustomShapeControls::kRequestBrushSize },
        { "box mode: zoom", false, CanvasCustomShapeControls::kRequestZoom },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Canvas mine, other;
        QObject context;
        auto& center = platform::NotificationCenter::defaultCenter();
        QStringList got;
        double delta = 0;
        bool pinchFlag = false;
        for (const QString& name : { CanvasCustomShapeControls::kRequestBrushSize,
                 CanvasCustomShapeControls::kRequestZoom }) {
            center.addObserver(name, static_cast<const platform::View*>(&mine.canvas), &context,
                [&](const platform::Notification& n) {
                    got << n.name;
                    delta = n.userInfo.value("delta").toDouble();
                    pinchFlag = gBrushPinchActive;
                });
            center.addObserver(name, static_cast<const platform::View*>(&other.canvas), &context,
                [&](const platform::Notification& n) { got << "other " + n.name; });
        }
        if (!row.brushMode)
            mine.brush->hidePaintView();
        EXPECT_EQ(mine.brush->isPaintViewShowed(), row.brushMode);
        mine.brush->gestureMagnify(
            0.25, platform::Event::gestureEvent(platform::EventType::Magnify, { 10, 10 }, 0, 0.25));
        EXPECT_EQ(got, QStringList { row.expected });
        EXPECT_EQ(delta, 0.25);
        EXPECT_TRUE(pinchFlag) << "the brush-size change happens while the flag is set";
        EXPECT_FALSE(gBrushPinchActive);
    }
}
