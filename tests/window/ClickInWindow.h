#pragma once
// A click as a person makes it: delivered to whatever widget of the window is at the place,
// so a covered control is not reached.
#include "support/SyntheticMouse.h"

#include <QScrollArea>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace windowtest {

// The widget of the window at a point of target (scroll areas on the way scrolled to show
// target), which must be target or one of its children, and the point in it; null if not.
inline QWidget* hitInWindow(QWidget& target, QPointF at, QPointF& inHit)
{
    // The person scrolls the sidebar until the control shows.
    for (QWidget* p = target.parentWidget(); p; p = p->parentWidget())
        if (auto* scroll = qobject_cast<QScrollArea*>(p))
            scroll->ensureWidgetVisible(&target);
    QWidget* window = target.window();
    const QPoint inWindow = target.mapTo(window, at.toPoint());
    QWidget* hit = window->childAt(inWindow);
    EXPECT_TRUE(hit) << "nothing there";
    if (!hit)
        return nullptr;
    EXPECT_TRUE(hit == &target || target.isAncestorOf(hit))
        << "covered by a " << hit->metaObject()->className();
    if (hit != &target && !target.isAncestorOf(hit))
        return nullptr;
    inHit = hit->mapFrom(window, inWindow);
    return hit;
}

// A click at a point of target, delivered to the widget of the window found there.
inline void clickInWindow(QWidget& target, QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    QPointF inHit;
    if (QWidget* hit = hitInWindow(target, at, inHit))
        testsupport::click(*hit, inHit, button);
}

// The same click marked as the window system's, so that it moves the keyboard as a real one
// does (a press sent as above moves none).
inline void personClick(QWidget& target, QPoint at)
{
    QPointF inHit;
    if (QWidget* hit = hitInWindow(target, at, inHit))
        QTest::mouseClick(hit, Qt::LeftButton, {}, inHit.toPoint());
}

} // namespace windowtest
