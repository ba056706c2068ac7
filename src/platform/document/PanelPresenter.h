#pragma once
// How the document panels reach the user: the open panel, the save panel and the "save
// changes?" question asked before an edited document closes. The application uses window-modal
// Qt dialogs; tests install a ScriptedPanelPresenter, so nothing ever blocks on a dialog.
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

struct OpenPanelRequest {
    QString title;
    QStringList allowedSuffixes; // without dots, e.g. "png"; empty allows every file
    QWidget* window = nullptr; // the panel is modal to this window; null: application-modal
    QString directory; // where the panel starts
};

struct SavePanelRequest {
    QString title;
    QString defaultName; // the file name offered, with its suffix
    QString requiredSuffix; // without a dot; appended to a chosen name that lacks it
    QString nameFilter; // the file type offered, e.g. "Photos (*.jpg)"; empty: every file
    QString directory; // where the panel starts
    QWidget* window = nullptr;
};

enum class SaveChangesAnswer { Save, DontSave, Cancel };

class PanelPresenter {
public:
    virtual ~PanelPresenter() = default;
    // The chosen file's absolute path, or nothing when the user cancelled.
    virtual std::optional<QString> runOpenPanel(const OpenPanelRequest& request) = 0;
    // The path to save to (the required suffix already appended), or nothing when cancelled.
    virtual std::optional<QString> runSavePanel(const SavePanelRequest& request) = 0;
    // Asks whether to save displayName's changes before it closes.
    virtual SaveChangesAnswer askSaveChanges(const QString& displayName, QWidget* window) = 0;

    // The presenter in use; Qt dialogs until another is installed.
    static PanelPresenter& current();
    // Installs presenter (nullptr restores the dialogs); returns the previous one so that a test
    // can put it back.
    static std::shared_ptr<PanelPresenter> install(std::shared_ptr<PanelPresenter> presenter);

    // The open panel of the presenter in use, starting in the folder of the file last chosen
    // with it or, before any, in the user's pictures folder (unless the request names one).
    static std::optional<QString> chooseFileToOpen(OpenPanelRequest request);
    // Where a save panel starts for a document at path: its folder, or for a document without
    // a file the user's documents folder.
    static QString saveDirectoryFor(const QString& path);
    // Where the next open panel starts; forgetOpenDirectory() goes back to the pictures folder.
    static QString openDirectory();
    static void forgetOpenDirectory();

    // Appends ".suffix" to path unless it already ends with it (case-insensitively).
    static QString withSuffix(const QString& path, const QString& suffix);
};

// Answers panels from queues filled in advance and records every request. An empty queue
// answers "cancel", so an unexpected panel never blocks or invents a file.
class ScriptedPanelPresenter final : public PanelPresenter {
public:
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<SaveChangesAnswer> saveChangesAnswers;

    std::vector<OpenPanelRequest> openRequests;
    std::vector<SavePanelRequest> saveRequests;
    QStringList saveChangesAsked; // the display names asked about, in order

    std::optional<QString> runOpenPanel(const OpenPanelRequest& request) override;
    std::optional<QString> runSavePanel(const SavePanelRequest& request) override;
    SaveChangesAnswer askSaveChanges(const QString& displayName, QWidget* window) override;
};

} // namespace platform
