#pragma once
// How alerts reach the user. The application installs a presenter that shows window-modal
// message boxes; tests install one that records the alerts, so nothing ever blocks on a dialog.
#include <QString>
#include <QStringList>
#include <memory>

namespace platform {

enum class AlertStyle { Warning = 0, Informational = 1, Critical = 2 };

class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Shows the message with one default button and returns when it is dismissed.
    virtual void runModal(AlertStyle style, const QString& message) = 0;
    // The platform's answers for an alert with buttons: the first button, the second, ...
    static constexpr int kFirstButtonReturn = 1000;
    // Shows the message, a line of informative text and these buttons (the first is the
    // default); returns kFirstButtonReturn plus the index of the button chosen. Closing the
    // alert (Escape, the window's close) answers its cancel button, and so does a presenter
    // that shows only one button.
    virtual int runModalWithButtons(AlertStyle style, const QString& message,
        const QString& informativeText, const QStringList& buttons);
    // The index of the button that does nothing: the one titled "Cancel", as the platform's
    // alerts take it, else the last.
    static int cancelButtonIndex(const QStringList& buttons);

    // The presenter in use; a message-box presenter until another is installed.
    static AlertPresenter& current();
    // Installs presenter (nullptr restores the message-box presenter); returns the previous
    // one so that a test can put it back.
    static std::shared_ptr<AlertPresenter> install(std::shared_ptr<AlertPresenter> presenter);
};

} // namespace platform
