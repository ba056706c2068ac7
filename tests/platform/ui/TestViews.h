#pragma once
// Small views for the view-tree tests (one that fills its bounds, one that records events) and
// a point comparison with a tolerance.
#include "platform/ui/View.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#define EXPECT_POINT_NEAR(a, b, eps)                                                               \
    do {                                                                                           \
        const platform::Point a_ = (a), b_ = (b);                                                  \
        EXPECT_NEAR(a_.x, b_.x, eps);                                                              \
        EXPECT_NEAR(a_.y, b_.y, eps);                                                              \
    } while (0)

namespace uitest {

using namespace platform;

class FillView : public View {
public:
    FillView(const Rect& frame, const Color& color)
        : View(frame)
        , m_color(color)
    {
    }
    void drawRect(const Rect&, GraphicsContext& ctx) override
    {
        ++drawCount;
        ctx.setFillColor(m_color);
        ctx.fillRect(bounds());
    }
    int drawCount = 0;

private:
    Color m_color;
};

struct Received {
    EventType type;
    Point local; // in the receiving view's own space
    unsigned flags = 0;
    int clickCount = 0;
    std::uint16_t keyCode = 0;
    QString characters;
};

// Records every event it gets, in its own coordinates, and handles them all.
class RecordingView : public View {
public:
    using View::View;
    std::vector<Received> events;
    bool takesKeys = false;
    std::optional<QCursor> hoverCursor;

    bool acceptsFirstResponder() const override { return takesKeys; }
    std::optional<QCursor> cursorForPoint(const Point&) override { return hoverCursor; }
    bool mouseDown(const Event& e) override { return record(e); }
    bool mouseDragged(const Event& e) override { return record(e); }
    bool mouseUp(const Event& e) override { return record(e); }
    bool mouseMoved(const Event& e) override { return record(e); }
    bool rightMouseDown(const Event& e) override { return record(e); }
    bool rightMouseDragged(const Event& e) override { return record(e); }
    bool rightMouseUp(const Event& e) override { return record(e); }
    bool otherMouseDown(const Event& e) override { return record(e); }
    bool mouseEntered(const Event& e) override { return record(e); }
    bool mouseExited(const Event& e) override { return record(e); }
    bool keyDown(const Event& e) override { return record(e); }
    bool keyUp(const Event& e) override { return record(e); }
    bool scrollWheel(const Event& e) override { return record(e); }

    std::vector<EventType> types() const
    {
        std::vector<EventType> out;
        for (const auto& e : events)
            out.push_back(e.type);
        return out;
    }

private:
    bool record(const Event& e)
    {
        events.push_back({ e.type(), convertPointFromView(e.locationInWindow(), nullptr),
            e.modifierFlags(), e.clickCount(), e.keyCode(), e.characters() });
        return true;
    }
};

} // namespace uitest
