// Deferred work: never inside the caller, in order, dropped when its guard dies, and results
// handed back from background work to the main thread.
#include "platform/document/Dispatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>

namespace dispatch = platform::dispatch;

namespace {

// Runs the event loop until done() holds or two seconds pass.
template <typename F> bool spinUntil(F done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void spinFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(Dispatch, AsyncRunsLaterInOrder)
{
    QObject guard;
    QStringList seen;
    dispatch::async(&guard, [&] { seen << "one"; });
    dispatch::async(nullptr, [&] { seen << "two"; });
    dispatch::async(&guard, [&] { seen << "three"; });
    EXPECT_TRUE(seen.isEmpty()); // never inside the caller
    ASSERT_TRUE(spinUntil([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen, QStringList({ "one", "two", "three" }));
}

TEST(Dispatch, WorkIsDroppedWhenItsGuardDies)
{
    struct Row {
        const char* what;
        bool timed;
    };
    for (const Row row : { Row { "async", false }, Row { "after", true } }) {
        auto guard = std::make_unique<QObject>();
        QObject witness;
        bool ranDropped = false, ranKept = false;
        if (row.timed) {
            dispatch::after(5, guard.get(), [&] { ranDropped = true; });
            dispatch::after(10, &witness, [&] { ranKept = true; });
        } else {
            dispatch::async(guard.get(), [&] { ranDropped = true; });
            dispatch::async(&witness, [&] { ranKept = true; });
        }
        guard.reset();
        EXPECT_TRUE(spinUntil([&] { return ranKept; })) << row.what;
        EXPECT_FALSE(ranDropped) << row.what;
    }
}

TEST(Dispatch, AfterWaitsAtLeastItsDelay)
{
    QObject guard;
    QElapsedTimer timer;
    timer.start();
    qint64 firedAt = -1;
    bool zero = false;
    dispatch::after(40, &guard, [&] { firedAt = timer.elapsed(); });
    dispatch::after(-5, &guard, [&] { zero = true; });
    EXPECT_FALSE(zero);
    ASSERT_TRUE(spinUntil([&] { return firedAt >= 0; }));
    EXPECT_TRUE(zero);
    EXPECT_GE(firedAt, 39);
}

TEST(Dispatch, BackgroundHandsItsResultBackToTheMainThread)
{
    QObject guard;
    QThread* main = QThread::currentThread();
    std::atomic<QThread*> workThread { nullptr };
    QThread* deliveredOn = nullptr;
    int result = 0;
    dispatch::background([&, g = &guard] {
        workThread = QThread::currentThread();
        const int computed = 6 * 7;
        dispatch::async(g, [&, computed] {
            deliveredOn = QThread::currentThread();
            result = computed;
        });
    });
    ASSERT_TRUE(spinUntil([&] { return result != 0; }));
    EXPECT_EQ(result, 42);
    EXPECT_NE(workThread.load(), main);
    EXPECT_EQ(deliveredOn, main);
}

TEST(Dispatch, AfterFromABackgroundThreadRunsOnTheMainThread)
{
    QObject guard;
    auto dying = std::make_unique<QObject>();
    QThread* deliveredOn = nullptr;
    bool ranDropped = false;
    dispatch::background([&, g = &guard, d = dying.get()] {
        dispatch::after(1, d, [&] { ranDropped = true; });
        dispatch::after(5, g, [&] { deliveredOn = QThread::currentThread(); });
    });
    dispatch::waitForBackground();
    dying.reset();
    ASSERT_TRUE(spinUntil([&] { return deliveredOn != nullptr; }));
    EXPECT_EQ(deliveredOn, QThread::currentThread());
    spinFor(20);
    EXPECT_FALSE(ranDropped);
}

} // namespace
