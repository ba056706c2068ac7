#include "platform/document/AlertPresenter.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {

class MessageBoxPresenter final : public AlertPresenter {
public:
    void runModal(AlertStyle style, const QString& message) override
    {
        QMessageBox box(style == AlertStyle::Critical ? QMessageBox::Critical
                : style == AlertStyle::Warning        ? QMessageBox::Warning
                                                      : QMessageBox::Information,
            QApplication::applicationDisplayName(), message, QMessageBox::Ok,
            QApplication::activeWindow());
        box.exec();
    }
};

std::shared_ptr<AlertPresenter>& slot()
{
    static std::shared_ptr<AlertPresenter> presenter = std::make_shared<MessageBoxPresenter>();
    return presenter;
}

} // namespace

AlertPresenter& AlertPresenter::current()
{
    return *slot();
}

std::shared_ptr<AlertPresenter> AlertPresenter::install(std::shared_ptr<AlertPresenter> presenter)
{
    auto previous = slot();
    slot() = presenter ? std::move(presenter) : std::make_shared<MessageBoxPresenter>();
    return previous;
}

} // namespace platform
