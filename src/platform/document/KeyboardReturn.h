#pragma once
// Gives the keyboard back when a window closes: after a dialog (an alert, a file or colour
// dialog, a progress window) or any other window of ours hides while the application has the
// keyboard and leaves no window active, the window the person worked in before it is activated
// again, with the widget that had the keyboard there. Without a window manager nobody else does, and Ctrl+Z, Ctrl+Q and the first
// keys after the dialog would go nowhere until a click.
//
// One watcher for the whole application, installed by the first window that needs it
// (install() is idempotent). Main thread only.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace platform {

class KeyboardReturn final : public QObject {
public:
    // Starts watching the application's windows; later calls do nothing.
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit KeyboardReturn(QObject* parent);
    // A window came forward (shown or activated): the most recent comes first.
    void noteForward(QWidget* window);
    // After a window hid: run once the hide has settled, on the next turn of the event loop.
    void giveKeyboardBack();
    // The window that should have the keyboard now: a modal dialog still up, else the most
    // recent window still shown (the one that was active when the hidden one came, unless
    // another came forward since).
    QWidget* successor() const;

    // Windows that were shown or active, most recent first; closed ones drop out.
    std::vector<QPointer<QWidget>> m_recent;
};

} // namespace platform
