// The shape picker: the pick's order (target, fade, hidden), hiding on key loss, a re-show
// during or after the fade, ownership by the window, and the panel's live-resize anchor.
#include "support/SyntheticMouse.h"
#include "window/ShapePanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <set>

namespace {

void spin(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

void click(QWidget& w)
{
    testsupport::click(w, QPointF(w.width() / 2.0, w.height() / 2.0));
}

} // namespace

TEST(ShapePicker, ButtonsCarryEveryShapeKindOnce)
{
    QWidget owner;
    ShapePanel picker(&owner);
    std::multiset<int> tags;
    for (ShapeButton* b : picker.buttons())
        tags.insert(b->tag());
    EXPECT_EQ(tags, (std::multiset<int> { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15 }));
    EXPECT_TRUE(picker.panel()->testAttribute(Qt::WA_TranslucentBackground));
}

TEST(ShapePicker, PickCallsTheTargetThenFadesThenHides)
{
    struct Row {
        const char* name;
        bool hasTarget;
    };
    for (const Row& row : { Row { "with a target", true }, Row { "without a target", false } }) {
        SCOPED_TRACE(row.name);
        QWidget owner;
        ShapePanel picker(&owner);
        std::vector<std::string> events;
        int pickedTag = -1;
        if (row.hasTarget)
            picker.setTarget([&](ShapeButton& b) {
                pickedTag = b.tag();
                events.push_back(
                    picker.panel()->isVisible() ? "target while shown" : "target late");
            });
        picker.showWindow();
        ShapeButton* star = nullptr;
        for (ShapeButton* b : picker.buttons())
            if (b->tag() == 14)
                star = b;
        ASSERT_NE(star, nullptr);
        click(*star);
        if (row.hasTarget) {
            EXPECT_EQ(pickedTag, 14);
            EXPECT_EQ(events, std::vector<std::string> { "target while shown" });
        }
        EXPECT_TRUE(picker.panel()->isVisible()); // still fading
        spin(100);
        EXPECT_TRUE(picker.panel()->isVisible());
        spin(400);
        EXPECT_FALSE(picker.panel()->isVisible());
    }
}

TEST(ShapePicker, ShowingAgainAfterAPickShowsAnOpaquePanel)
{
    struct Row {
        const char* name;
        int showAgainAfterMs;
    };
    for (const Row& row : { Row { "during the fade", 100 }, Row { "after the fade", 500 } }) {
        SCOPED_TRACE(row.name);
        QWidget owner;
        ShapePanel picker(&owner);
        picker.showWindow();
        picker.shapeClicked(*picker.buttons().front());
        spin(row.showAgainAfterMs);
        picker.showWindow();
        spin(500);
        EXPECT_TRUE(picker.panel()->isVisible());
        EXPECT_DOUBLE_EQ(picker.panel()->windowOpacity(), 1.0);
    }
}

TEST(ShapePicker, KeyLossHidesAtOnceWithoutAPick)
{
    QWidget owner;
    owner.show();
    ShapePanel picker(&owner);
    int picks = 0;
    picker.setTarget([&](ShapeButton&) { ++picks; });
    picker.showWindow();
    QApplication::setActiveWindow(picker.panel());
    QCoreApplication::processEvents();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QCoreApplication::processEvents();
    EXPECT_FALSE(picker.panel()->isVisible());
    EXPECT_EQ(picks, 0);
}

TEST(ShapePicker, TheWindowOwnsThePickerAndAFadeOutlivingItDoesNothing)
{
    auto owner = std::make_unique<QWidget>();
    QPointer<ShapePanel> picker = new ShapePanel(owner.get());
    QPointer<ShapePanelWindow> panel = picker->panel();
    int picks = 0;
    picker->setTarget([&](ShapeButton&) { ++picks; });
    picker->showWindow();
    picker->shapeClicked(*picker->buttons().front());
    EXPECT_EQ(picks, 1);
    owner.reset(); // mid-fade
    EXPECT_TRUE(picker.isNull());
    EXPECT_TRUE(panel.isNull());
    spin(400); // the fade's end must find nothing to run (ASan watches)
}

TEST(ShapePicker, LiveResizeKeepsTheTopRightCorner)
{
    QWidget owner;
    ShapePanel picker(&owner);
    ShapePanelWindow& panel = *picker.panel();
    panel.setGeometry(100, 200, 264, 472);
    EXPECT_EQ(panel.frameForSize(QSize(200, 400)), QRect(164, 200, 200, 400));
    panel.setInLiveResize(true);
    panel.setFrame(QRect(0, 0, 300, 500));
    EXPECT_EQ(panel.geometry(), QRect(64, 200, 300, 500));
    panel.setInLiveResize(false);
    panel.setFrame(QRect(10, 20, 100, 100));
    EXPECT_EQ(panel.geometry(), QRect(10, 20, 100, 100));
}
