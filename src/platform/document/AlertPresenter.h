#pragma once
// How alerts reach the user. The application installs a presenter that shows window-modal
// message boxes; tests install one that records the alerts, so nothing ever blocks on a dialog.
#include <QString>
#include <memory>

namespace platform {

enum class AlertStyle { Warning = 0, Informational = 1, Critical = 2 };

class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Shows the message with one default button and returns when it is dismissed.
    virtual void runModal(AlertStyle style, const QString& message) = 0;

    // The presenter in use; a message-box presenter until another is installed.
    static AlertPresenter& current();
    // Installs presenter (nullptr restores the message-box presenter); returns the previous
    // one so that a test can put it back.
    static std::shared_ptr<AlertPresenter> install(std::shared_ptr<AlertPresenter> presenter);
};

} // namespace platform
