#pragma once
// A click as a person makes it: delivered to whatever widget of the window is at the place,
// so a covered control is not reached.
#include "support/SyntheticMouse.h"

#include <QScrollArea>
#include <QWidget>
#include <gtest/gtest.h>

namespace windowtest {

// A click at a point of target, delivered to the widget of the window found there, which
// must be target or one of its children; scroll areas on the way are scrolled to show it.
inline void clickInWindow(QWidget& target, QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    // The person scrolls the sidebar until the control shows.
    for (QWidget* p = target.parentWidget(); p; p = p->parentWidget())
        if (auto* scroll = qobject_cast<QScrollArea*>(p))
            scroll->ensureWidgetVisible(&target);
    QWidget* window = target.window();
    const QPoint inWindow = target.mapTo(window, at.toPoint());
    QWidget* hit = window->childAt(inWindow);
    ASSERT_TRUE(hit) << "nothing there";
    ASSERT_TRUE(hit == &target || target.isAncestorOf(hit))
        << "covered by a " << hit->metaObject()->className();
    testsupport::click(*hit, hit->mapFrom(window, inWindow), button);
}

} // namespace windowtest
