#pragma once
// Work the main thread must wait for (reading a file to open it, decoding its picture) without
// freezing the application.
//
// run() hands the work to the background pool (dispatch::background, as dropped pictures are
// read and decoded) and returns once it has ended. Meanwhile the event loop turns: windows
// repaint, timers fire and queued work runs, so that the application never looks hung. What the
// person types or clicks meanwhile is held and delivered afterwards, except in the progress
// window: it shows once a wait has lasted kProgressDelayMs, application-modal, with a line
// saying what is being waited for and a Cancel button.
//
// Several waits in a row under one Session (one file's reading, then its picture's decoding)
// share its progress window, its clock and its cancellation.
//
// Main thread only; from any other thread, or with no application, work simply runs inline.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class QProgressDialog;

namespace platform {

class BackgroundWait {
public:
    static constexpr int kProgressDelayMs = 400;

    // Work to run off the main thread. It may use the caller's stack (run() returns only once
    // it has ended) but must not touch windows, documents or the undo manager. cancelled
    // becomes true when the person cancels: the work should then end soon, with any result.
    using Work = std::function<void(const std::atomic_bool& cancelled)>;

    // Runs work under the current session, or under a session of its own saying label.
    // False when the session was cancelled, before or during the work (which then may not
    // have run at all).
    static bool run(const QString& label, const Work& work);

    // The waits made while it lives share its progress window, labelled label.
    class Session {
    public:
        explicit Session(const QString& label);
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

        bool isCancelled() const { return m_cancelled->load(); }

    private:
        friend class BackgroundWait;
        QString m_label;
        std::shared_ptr<std::atomic_bool> m_cancelled;
        qint64 m_startedMs = 0; // by the monotonic clock
        std::unique_ptr<QProgressDialog> m_progress; // made once the wait is long
        Session* m_outer = nullptr;
    };

private:
    static bool runIn(Session& session, const Work& work);
};

} // namespace platform
