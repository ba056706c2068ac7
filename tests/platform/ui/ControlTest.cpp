// The control base: y-up drawing and pointer locations, the action, and the highlighted and
// hovered states as Qt's events drive them.
#include "platform/ui/Control.h"

#include "platform/ui/ControlEvents.h"
#include "support/PixelProbe.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <vector>

using namespace platform;

namespace {

// Fills its bottom-left 10 x 10 points red and records the pointer hooks.
class ProbeControl : public Control {
public:
    std::vector<std::pair<char, Point>> calls;

protected:
    void drawRect(GraphicsContext& ctx, const Rect&) override
    {
        ctx.setFillColor(Color(1, 0, 0, 1));
        ctx.fillRect(Rect(0, 0, 10, 10));
    }
    void mouseDown(const Point& p, unsigned) override { calls.emplace_back('d', p); }
    void mouseDragged(const Point& p, unsigned) override { calls.emplace_back('g', p); }
    void mouseUp(const Point& p, unsigned) override { calls.emplace_back('u', p); }
    void rightMouseDown(const Point& p, unsigned) override { calls.emplace_back('r', p); }
};

} // namespace

TEST(Control, DrawsYUpAtEveryScale)
{
    ProbeControl c;
    c.resize(40, 30);
    for (double scale : { 1.0, 2.0 }) {
        const QImage img = c.renderToImage(scale);
        ASSERT_EQ(img.width(), int(40 * scale));
        EXPECT_PIXEL_NEAR(img, 1, 1, (testsupport::Rgba { 255, 0, 0, 255 }), 0);
        EXPECT_PIXEL_NEAR(
            img, int(9 * scale), int(9 * scale), (testsupport::Rgba { 255, 0, 0, 255 }), 0);
        EXPECT_EQ(testsupport::pixelAt(img, 1, img.height() - 2).a, 0) << "top-left stays clear";
    }
    // The widget's own paint (through its device-density buffer) shows the same picture.
    const QImage painted = c.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(painted.height(), 30);
    EXPECT_PIXEL_NEAR(painted, 1, 1, (testsupport::Rgba { 255, 0, 0, 255 }), 0);
    EXPECT_PIXEL_NEAR(painted, 9, 9, (testsupport::Rgba { 255, 0, 0, 255 }), 0);
    EXPECT_NE(testsupport::pixelAt(painted, 1, 28).r, 255) << "nothing red at the top";
}

TEST(Control, PointerSequencesReachHooksYUpAndSetHighlight)
{
    struct Row {
        const char* name;
        std::vector<std::tuple<QEvent::Type, QPointF, Qt::MouseButton, Qt::KeyboardModifiers>>
            events;
        std::string expectedCalls;
        bool highlightedAfter;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const std::vector<Row> rows = {
        { "press drag release",
            { { QEvent::MouseButtonPress, { 5, 25 }, Qt::LeftButton, none },
                { QEvent::MouseMove, { 6, 24 }, Qt::NoButton, none },
                { QEvent::MouseButtonRelease, { 6, 24 }, Qt::LeftButton, none } },
            "dgu", false },
        { "release without a press is ignored",
            { { QEvent::MouseButtonRelease, { 6, 24 }, Qt::LeftButton, none } }, "", false },
        { "held press stays highlighted",
            { { QEvent::MouseButtonPress, { 5, 25 }, Qt::LeftButton, none } }, "d", true },
        { "dragged outside loses highlight",
            { { QEvent::MouseButtonPress, { 5, 25 }, Qt::LeftButton, none },
                { QEvent::MouseMove, { 90, 25 }, Qt::NoButton, none } },
            "dg", false },
        { "right button", { { QEvent::MouseButtonPress, { 5, 25 }, Qt::RightButton, none } }, "r",
            false },
        { "left with Control is right",
            { { QEvent::MouseButtonPress, { 5, 25 }, Qt::LeftButton, Qt::MetaModifier } }, "r",
            false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ProbeControl c;
        c.resize(40, 30);
        for (const auto& [type, at, button, mods] : row.events)
            controltest::mouse(c, type, at, button, mods);
        std::string got;
        for (const auto& call : c.calls)
            got += call.first;
        EXPECT_EQ(got, row.expectedCalls);
        EXPECT_EQ(c.isHighlighted(), row.highlightedAfter);
        if (!c.calls.empty() && c.calls.front().first == 'd') {
            EXPECT_DOUBLE_EQ(c.calls.front().second.x, 5);
            EXPECT_DOUBLE_EQ(c.calls.front().second.y, 5)
                << "widget y 25 in a 30-high control is y-up 5";
        }
    }
}

TEST(Control, ActionIsOptionalAndCarriesTheSender)
{
    ProbeControl c;
    c.sendAction(); // unset: nothing happens
    Control* sender = nullptr;
    int count = 0;
    c.setAction([&](Control& s) {
        sender = &s;
        ++count;
    });
    c.sendAction();
    EXPECT_EQ(count, 1);
    EXPECT_EQ(sender, &c);
}

TEST(Control, HoverFollowsEnterLeaveAndResize)
{
    QWidget top;
    top.resize(200, 100);
    auto* c = new ProbeControl;
    c->setParent(&top);
    c->setGeometry(0, 0, 40, 30);
    top.show();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), c->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(c, &enter);
    EXPECT_TRUE(c->isHovered());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(c, &leave);
    EXPECT_FALSE(c->isHovered());

    // The pointer rests at (100, 10) of the window; the control grows under it, then shrinks.
    QCursor::setPos(top.mapToGlobal(QPoint(100, 10)));
    c->resize(150, 30);
    EXPECT_TRUE(c->isHovered());
    c->resize(40, 30);
    EXPECT_FALSE(c->isHovered());
}

TEST(Control, DisablingDropsAPressInProgress)
{
    ProbeControl c;
    c.resize(40, 30);
    controltest::mouse(c, QEvent::MouseButtonPress, { 5, 5 });
    c.setEnabled(false);
    EXPECT_FALSE(c.isHighlighted());
    EXPECT_FALSE(c.isTracking());
}
