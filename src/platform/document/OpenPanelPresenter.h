#pragma once
// How open panels reach the user. The application uses window-modal file dialogs (the
// platform's sheets); tests install a presenter that answers at once, so nothing ever waits
// on a dialog.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace platform {

struct OpenPanelRequest {
    QString title;
    // File name extensions without the dot ("png", "jpg"); empty allows every file.
    QStringList allowedFileTypes;
};

class OpenPanelPresenter {
public:
    // The chosen file's path, or nothing when the panel was cancelled.
    using Completion = std::function<void(std::optional<QString> path)>;

    virtual ~OpenPanelPresenter() = default;
    // Shows the panel as a sheet on window (a window-modal dialog; application-modal without
    // a window) and calls completion once when it ends. The caller's completion must check
    // that what it refers to still exists: the sheet may outlive it.
    virtual void beginSheet(QWidget* window, const OpenPanelRequest& request, Completion completion)
        = 0;

    // The presenter in use; a file-dialog presenter until another is installed.
    static OpenPanelPresenter& current();
    // Installs presenter (nullptr restores the file-dialog presenter); returns the previous
    // one so that a test can put it back.
    static std::shared_ptr<OpenPanelPresenter> install(
        std::shared_ptr<OpenPanelPresenter> presenter);
};

} // namespace platform
