#include "platform/document/Dispatch.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>

namespace platform::dispatch {

namespace {

// The receiver that queued work is delivered through: the guard itself, or the application
// when there is none.
QObject* receiverFor(QObject* guard)
{
    return guard ? guard : QCoreApplication::instance();
}

// Work on our own pool, so that long background jobs never starve Qt's global pool (which
// Qt Concurrent and image I/O share).
QThreadPool& pool()
{
    static QThreadPool instance;
    return instance;
}

} // namespace

void async(QObject* guard, std::function<void()> fn)
{
    QObject* receiver = receiverFor(guard);
    if (!receiver || !fn)
        return;
    // A queued call through a context object is discarded by Qt if the context dies first.
    QMetaObject::invokeMethod(receiver, std::move(fn), Qt::QueuedConnection);
}

void after(int ms, QObject* guard, std::function<void()> fn)
{
    QObject* receiver = receiverFor(guard);
    if (!receiver || !fn)
        return;
    ms = std::max(ms, 0);
    // A timer belongs to the thread that starts it; start it on the receiver's own thread.
    if (QThread::currentThread() != receiver->thread()) {
        QPointer<QObject> alive(guard);
        const bool guarded = guard != nullptr;
        async(guard, [ms, alive, guarded, fn = std::move(fn)]() mutable {
            if (guarded && !alive)
                return;
            after(ms, alive.data(), std::move(fn));
        });
        return;
    }
    QTimer::singleShot(ms, receiver, std::move(fn));
}

void background(std::function<void()> work)
{
    if (!work)
        return;
    pool().start(std::move(work));
}

void waitForBackground()
{
    pool().waitForDone();
}

} // namespace platform::dispatch
