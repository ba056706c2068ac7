#include "platform/document/PanelPresenter.h"

#include "platform/document/PresenterSlot.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

namespace platform {

namespace {

QString nameFilter(const QStringList& suffixes)
{
    if (suffixes.isEmpty())
        return {};
    QStringList patterns;
    for (const QString& suffix : suffixes)
        patterns << QStringLiteral("*.") + suffix;
    return patterns.join(u' ');
}

class DialogPresenter final : public PanelPresenter {
public:
    std::optional<QString> runOpenPanel(const OpenPanelRequest& request) override
    {
        QFileDialog dialog(request.window, request.title, request.directory);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (!request.allowedSuffixes.isEmpty())
            dialog.setNameFilter(nameFilter(request.allowedSuffixes));
        return run(dialog, request.window, {});
    }

    std::optional<QString> runSavePanel(const SavePanelRequest& request) override
    {
        QFileDialog dialog(request.window, request.title, request.directory);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!request.requiredSuffix.isEmpty())
            dialog.setDefaultSuffix(request.requiredSuffix);
        if (!request.nameFilter.isEmpty())
            dialog.setNameFilter(request.nameFilter);
        dialog.selectFile(request.defaultName);
        return run(dialog, request.window, request.requiredSuffix);
    }

    SaveChangesAnswer askSaveChanges(const QString& displayName, QWidget* window) override
    {
        QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
            QStringLiteral("Do you want to save the changes made to the document "
                           "\u201c%1\u201d?")
                .arg(displayName),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window);
        box.setInformativeText(
            QStringLiteral("Your changes will be lost if you don\u2019t save them."));
        box.setDefaultButton(QMessageBox::Save);
        if (window)
            box.setWindowModality(Qt::WindowModal);
        switch (box.exec()) {
        case QMessageBox::Save:
            return SaveChangesAnswer::Save;
        case QMessageBox::Discard:
            return SaveChangesAnswer::DontSave;
        default:
            return SaveChangesAnswer::Cancel;
        }
    }

private:
    static std::optional<QString> run(QFileDialog& dialog, QWidget* window, const QString& suffix)
    {
        if (window)
            dialog.setWindowModality(Qt::WindowModal);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const QString path = dialog.selectedFiles().constFirst();
        return suffix.isEmpty() ? path : withSuffix(path, suffix);
    }
};

using Slot = PresenterSlot<PanelPresenter, DialogPresenter>;

// The folder of the file last chosen in an open panel; empty before the first.
QString& lastOpenDirectory()
{
    static QString folder;
    return folder;
}

// A standard folder of the user's, or the home folder where the desktop names none.
QString userFolder(QStandardPaths::StandardLocation location)
{
    const QString folder = QStandardPaths::writableLocation(location);
    return folder.isEmpty() || !QFileInfo(folder).isDir() ? QDir::homePath() : folder;
}

template <typename T> std::optional<T> takeFront(std::deque<std::optional<T>>& queue)
{
    if (queue.empty())
        return std::nullopt;
    std::optional<T> answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

} // namespace

PanelPresenter& PanelPresenter::current()
{
    return Slot::current();
}

std::shared_ptr<PanelPresenter> PanelPresenter::install(std::shared_ptr<PanelPresenter> presenter)
{
    return Slot::install(std::move(presenter));
}

std::optional<QString> PanelPresenter::chooseFileToOpen(OpenPanelRequest request)
{
    if (request.directory.isEmpty())
        request.directory = openDirectory();
    std::optional<QString> path = current().runOpenPanel(request);
    if (path && !path->isEmpty())
        lastOpenDirectory() = QFileInfo(*path).absolutePath();
    return path;
}

QString PanelPresenter::openDirectory()
{
    return lastOpenDirectory().isEmpty() ? userFolder(QStandardPaths::PicturesLocation)
                                         : lastOpenDirectory();
}

void PanelPresenter::forgetOpenDirectory()
{
    lastOpenDirectory().clear();
}

QString PanelPresenter::saveDirectoryFor(const QString& path)
{
    return path.isEmpty() ? userFolder(QStandardPaths::DocumentsLocation)
                          : QFileInfo(path).absolutePath();
}

QString PanelPresenter::withSuffix(const QString& path, const QString& suffix)
{
    const QString dotted = QStringLiteral(".") + suffix;
    if (suffix.isEmpty() || path.endsWith(dotted, Qt::CaseInsensitive))
        return path;
    return path + dotted;
}

std::optional<QString> ScriptedPanelPresenter::runOpenPanel(const OpenPanelRequest& request)
{
    openRequests.push_back(request);
    return takeFront(openAnswers);
}

std::optional<QString> ScriptedPanelPresenter::runSavePanel(const SavePanelRequest& request)
{
    saveRequests.push_back(request);
    std::optional<QString> answer = takeFront(saveAnswers);
    if (answer)
        *answer = withSuffix(*answer, request.requiredSuffix);
    return answer;
}

SaveChangesAnswer ScriptedPanelPresenter::askSaveChanges(const QString& displayName, QWidget*)
{
    saveChangesAsked << displayName;
    if (saveChangesAnswers.empty())
        return SaveChangesAnswer::Cancel;
    const SaveChangesAnswer answer = saveChangesAnswers.front();
    saveChangesAnswers.pop_front();
    return answer;
}

} // namespace platform
