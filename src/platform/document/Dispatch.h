#pragma once
// Deferred work on the main thread and plain work off it.
//
// async() and after() run fn on the guard's thread (the main thread for every guard we use)
// from its event loop, never inside the caller; they may be called from any thread. Work whose
// guard is destroyed before its turn is dropped, so a callback never reaches a dead receiver.
// A null guard means "no receiver": the work runs unless the application has quit.
//
// background() runs work on a pool thread. Work there must not touch views, documents or the
// undo manager: it computes from a snapshot and hands its result back with async().
#include <QObject>
#include <functional>

namespace platform::dispatch {

// Next turn of the guard's event loop, after events already queued.
void async(QObject* guard, std::function<void()> fn);
// After ms milliseconds (at least the next turn; negative counts as 0).
void after(int ms, QObject* guard, std::function<void()> fn);
void background(std::function<void()> work);
// Blocks until every background work item started so far has finished (tests, quitting).
void waitForBackground();

} // namespace platform::dispatch
