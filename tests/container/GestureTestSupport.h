#pragma once
// A container rig for the pointer gesture tests (press, drag, release, right click, hover) and the
// geometry their rows are written in.
#include "ContainerTestSupport.h"
#include "boxes/UnitBoxMap.h"
#include "platform/ui/Event.h"

#include <array>
#include <cmath>

struct PressRig {
    PressRig() = default;
    explicit PressRig(platform::Size working)
        : rig(working)
    {
    }
    ContainerRig rig;
    TextViewContainer& c() { return *rig.container; }

    MyViewBase* addTextBox(const platform::Rect& frame, bool selected = true)
    {
        c().newTextBox();
        MyViewBase* box = c().textViewAry.back();
        box->setFrame(frame);
        box->setSelected(selected);
        return box;
    }
    MyShapeView* addShape(int type, const platform::Rect& frame)
    {
        c().newShapeBox(type);
        auto* shape = dynamic_cast<MyShapeView*>(c().textViewAry.back());
        shape->setFrame(frame);
        return shape;
    }
    void press(const platform::Point& p, unsigned modifiers = 0, int clickCount = 1)
    {
        c().mouseDownAtTextBox(p,
            platform::Event::mouseEvent(
                platform::EventType::LeftMouseDown, p, modifiers, clickCount));
    }
    void drag(const platform::Point& p, unsigned modifiers = 0)
    {
        c().mouseDragged(
            platform::Event::mouseEvent(platform::EventType::LeftMouseDragged, p, modifiers));
    }
    void release(const platform::Point& p, unsigned modifiers = 0)
    {
        c().mouseUp(platform::Event::mouseEvent(platform::EventType::LeftMouseUp, p, modifiers));
    }
};

// c moved by off, nudged so that |p - c| is at least |off| on each axis despite rounding.
inline platform::Point awayFrom(const platform::Point& c, const platform::Point& off)
{
    auto axis = [](double from, double d) {
        double v = from + d;
        while (std::fabs(v - from) < std::fabs(d))
            v = std::nextafter(v, d < 0.0 ? -1e300 : 1e300);
        return v;
    };
    return platform::Point(axis(c.x, off.x), axis(c.y, off.y));
}

// The box's outline: corners 0-3, then the edge middles 4-7 (the handles).
inline std::array<platform::Point, 8> outline(const MyViewBase& box)
{
    std::array<platform::Point, 8> q;
    box.GetFourPoints(q, 0.0);
    return q;
}

inline BoxCorners cornersOf(const MyViewBase& box)
{
    return boxCorners(outline(box));
}
