#include "platform/document/AlertPresenter.h"

#include "platform/document/PresenterSlot.h"

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

using Slot = PresenterSlot<AlertPresenter, MessageBoxPresenter>;

} // namespace

AlertPresenter& AlertPresenter::current()
{
    return Slot::current();
}

std::shared_ptr<AlertPresenter> AlertPresenter::install(std::shared_ptr<AlertPresenter> presenter)
{
    return Slot::install(std::move(presenter));
}

} // namespace platform
