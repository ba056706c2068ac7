#include "platform/document/OpenPanelPresenter.h"

#include <QFileDialog>
#include <QPointer>

namespace platform {

namespace {

class FileDialogPresenter final : public OpenPanelPresenter {
public:
    void beginSheet(
        QWidget* window, const OpenPanelRequest& request, Completion completion) override
    {
        auto* dialog = new QFileDialog(window, request.title);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        if (!request.allowedFileTypes.isEmpty()) {
            QStringList patterns;
            for (const QString& type : request.allowedFileTypes)
                patterns << QStringLiteral("*.") + type;
            dialog->setNameFilter(patterns.join(u' '));
        }
        dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
        // finished() comes exactly once, whether the user chose a file or cancelled.
        QObject::connect(dialog, &QFileDialog::finished, dialog,
            [dialog, completion = std::move(completion)](int result) {
                const QStringList files = dialog->selectedFiles();
                if (completion)
                    completion(result == QDialog::Accepted && !files.isEmpty()
                            ? std::optional<QString>(files.front())
                            : std::nullopt);
            });
        dialog->open();
    }
};

std::shared_ptr<OpenPanelPresenter>& slot()
{
    static std::shared_ptr<OpenPanelPresenter> presenter = std::make_shared<FileDialogPresenter>();
    return presenter;
}

} // namespace

OpenPanelPresenter& OpenPanelPresenter::current()
{
    return *slot();
}

std::shared_ptr<OpenPanelPresenter> OpenPanelPresenter::install(
    std::shared_ptr<OpenPanelPresenter> presenter)
{
    auto previous = slot();
    slot() = presenter ? std::move(presenter) : std::make_shared<FileDialogPresenter>();
    return previous;
}

} // namespace platform
