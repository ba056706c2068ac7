#include "platform/document/BackgroundWait.h"

#include "platform/document/Dispatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace platform {

namespace {

BackgroundWait::Session*& currentSession()
{
    static BackgroundWait::Session* session = nullptr;
    return session;
}

qint64 nowMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

// Why the wait's event loop returned.
enum LoopExit { WorkEnded = 0, ProgressChanged = 1 };

} // namespace

BackgroundWait::Session::Session(const QString& label)
    : m_label(label)
    , m_cancelled(std::make_shared<std::atomic_bool>(false))
    , m_startedMs(nowMs())
    , m_outer(currentSession())
{
    currentSession() = this;
}

BackgroundWait::Session::~Session()
{
    currentSession() = m_outer;
}

bool BackgroundWait::run(const QString& label, const Work& work)
{
    if (Session* session = currentSession())
        return runIn(*session, work);
    Session own(label);
    return runIn(own, work);
}

bool BackgroundWait::runIn(Session& session, const Work& work)
{
    if (session.isCancelled())
        return false;
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work(*session.m_cancelled);
        return !session.isCancelled();
    }

    struct Ending {
        std::atomic_bool workEnded { false }; // set before the loop is told
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
    };
    const auto ending = std::make_shared<Ending>();
    QEventLoop loop;
    const std::shared_ptr<std::atomic_bool> cancelled = session.m_cancelled;
    dispatch::background([&work, &loop, cancelled, ending] {
        work(*cancelled);
        ending->workEnded.store(true);
        // Posted before the end is announced: once it is, the caller may return and take
        // the loop with it.
        dispatch::async(&loop, [&loop] { loop.exit(WorkEnded); });
        {
            const std::lock_guard lock(ending->mutex);
            ending->done = true;
        }
        ending->ended.notify_all();
    });

    // The progress window's Cancel ends this wait's loop too, so that input is held again.
    bool watchingCancel = false;
    const auto watchCancel = [&] {
        if (watchingCancel || !session.m_progress)
            return;
        watchingCancel = true;
        QObject::connect(session.m_progress.get(), &QProgressDialog::canceled, &loop, [&] {
            session.m_progress->hide();
            loop.exit(ProgressChanged);
        });
    };
    watchCancel();
    QTimer progressTimer;
    progressTimer.setSingleShot(true);
    QObject::connect(&progressTimer, &QTimer::timeout, &loop, [&] {
        if (!session.m_progress) {
            auto progress = std::make_unique<QProgressDialog>(
                session.m_label, QCoreApplication::translate("BackgroundWait", "Cancel"), 0, 0);
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setAutoReset(false);
            progress->setMinimumDuration(0);
            QObject::connect(progress.get(), &QProgressDialog::canceled, progress.get(),
                [cancelled] { cancelled->store(true); });
            session.m_progress = std::move(progress);
            watchCancel();
        }
        if (!session.isCancelled())
            session.m_progress->show();
        loop.exit(ProgressChanged);
    });
    const qint64 waited = nowMs() - session.m_startedMs;
    progressTimer.start(int(std::clamp<qint64>(kProgressDelayMs - waited, 0, kProgressDelayMs)));

    // The work's end and the progress window's timer can both be handled in one turn of the
    // loop, the later exit code replacing the earlier: the loop is not entered again once the
    // work has ended, whatever code it returned with.
    while (!ending->workEnded.load()) {
        // Only the progress window takes input, and only while it shows.
        const bool progressShown = session.m_progress && session.m_progress->isVisible();
        const int why
            = loop.exec(progressShown ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        if (why != ProgressChanged)
            break;
    }
    // The work has ended, or is about to (its end is posted), or the application is quitting:
    // either way it may still be using the caller's stack.
    {
        std::unique_lock lock(ending->mutex);
        ending->ended.wait(lock, [&] { return ending->done; });
    }
    return !session.isCancelled();
}

} // namespace platform
