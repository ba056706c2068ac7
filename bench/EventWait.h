#pragma once
// Waiting on the main thread for work that other threads finish and hand back through the
// event loop (a render's pixels): the thread sleeps until an event arrives, where polling
// processEvents would keep a core busy that the render needs (on a 2-core machine, half of it).
#include <QEventLoop>
#include <QTimer>

// Handles events, sleeping between them, until done() or timeoutMs has passed; done().
template <typename Done> bool waitForEvents(Done&& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer guard; // an event at the deadline, so that the wait below always ends
    guard.setSingleShot(true);
    guard.start(timeoutMs);
    while (!done() && guard.isActive())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}
