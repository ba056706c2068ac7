// Waiting for work off the main thread: the event loop keeps turning, a progress window shows
// only when the wait is long, and its Cancel button ends the wait.
#include "platform/document/BackgroundWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using platform::BackgroundWait;

namespace {

// The progress window on screen, if any.
QProgressDialog* shownProgress()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<QProgressDialog*>(w); progress && progress->isVisible())
            return progress;
    return nullptr;
}

// Sleeps ms in small steps, ending early once cancelled.
void busyFor(int ms, const std::atomic_bool& cancelled)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms && !cancelled)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

} // namespace

TEST(BackgroundWait, EventLoopTurnsAndProgressShowsOnlyForLongWaits)
{
    struct Row {
        const char* name;
        int workMs;
        bool progressShown;
    };
    for (const Row& row : { Row { "quick work", 30, false },
             Row { "long work", BackgroundWait::kProgressDelayMs + 400, true } }) {
        SCOPED_TRACE(row.name);
        int ticks = 0;
        QString labelSeen;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            ++ticks;
            if (QProgressDialog* progress = shownProgress())
                labelSeen = progress->labelText();
        });
        ticker.start(5);
        Qt::HANDLE workThread = nullptr;
        const bool finished
            = BackgroundWait::run(QStringLiteral("Opening \u201ctrip.quillmark\u201d\u2026"),
                [&](const std::atomic_bool& cancelled) {
                    workThread = QThread::currentThreadId();
                    busyFor(row.workMs, cancelled);
                });
        EXPECT_TRUE(finished);
        EXPECT_NE(workThread, QThread::currentThreadId()) << "the work ran off the main thread";
        // Timers of 5 ms kept firing through the wait.
        EXPECT_GE(ticks, row.workMs / 5 / 3);
        EXPECT_EQ(!labelSeen.isEmpty(), row.progressShown);
        if (row.progressShown)
            EXPECT_EQ(labelSeen, QStringLiteral("Opening \u201ctrip.quillmark\u201d\u2026"));
        EXPECT_EQ(shownProgress(), nullptr) << "no progress window is left behind";
    }
}

TEST(BackgroundWait, CancelPressedInTheProgressWindowEndsTheSession)
{
    QTimer presser;
    bool pressed = false;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        QProgressDialog* progress = shownProgress();
        if (pressed || !progress)
            return;
        for (QPushButton* button : progress->findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("Cancel")) {
                pressed = true;
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
    });
    presser.start(20);

    QElapsedTimer clock;
    clock.start();
    bool sawCancel = false, secondRan = false;
    bool first = true, second = true;
    {
        const BackgroundWait::Session session(QStringLiteral("Opening \u201cslow.png\u201d\u2026"));
        first = BackgroundWait::run({}, [&](const std::atomic_bool& cancelled) {
            busyFor(20000, cancelled);
            sawCancel = cancelled;
        });
        // What the session would have done next is not started.
        second = BackgroundWait::run({}, [&](const std::atomic_bool&) { secondRan = true; });
    }
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(first);
    EXPECT_TRUE(sawCancel) << "the work was told";
    EXPECT_LT(clock.elapsed(), 10000) << "the wait ended at the press, not with the work";
    EXPECT_FALSE(second);
    EXPECT_FALSE(secondRan);
    EXPECT_EQ(shownProgress(), nullptr);
}

// Once a session has waited past the progress delay, each further wait's progress timer is due
// at once, so quick work ends in the same turn of the event loop as the timer: the wait must
// still end. (It used to hang for good when the timer was handled after the work's end.)
TEST(BackgroundWait, WorkEndingWithTheProgressTimerEndsTheWait)
{
    bool hung = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        hung = true;
        QCoreApplication::exit(0); // ends every running loop, the stuck wait's too
    });
    watchdog.start(20000);
    int ended = 0;
    {
        const BackgroundWait::Session session(QStringLiteral("Opening \u201cbig.quillmark\u201d\u2026"));
        EXPECT_TRUE(BackgroundWait::run({}, [](const std::atomic_bool& cancelled) {
            busyFor(BackgroundWait::kProgressDelayMs + 50, cancelled);
        }));
        for (int i = 0; i < 300 && !hung; ++i)
            ended += BackgroundWait::run({}, [](const std::atomic_bool&) {}) ? 1 : 0;
    }
    watchdog.stop();
    EXPECT_FALSE(hung) << "a wait did not end after " << ended << " quick waits";
    EXPECT_EQ(ended, 300);
    EXPECT_EQ(shownProgress(), nullptr);
}
