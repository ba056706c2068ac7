#include "platform/document/AlertPresenter.h"

#include "platform/document/PresenterSlot.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <vector>

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

    int runModalWithButtons(AlertStyle style, const QString& message,
        const QString& informativeText, const QStringList& buttons) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setIcon(style == AlertStyle::Critical ? QMessageBox::Critical
                : style == AlertStyle::Warning    ? QMessageBox::Warning
                                                  : QMessageBox::Information);
        box.setWindowTitle(QApplication::applicationDisplayName());
        box.setText(message);
        box.setInformativeText(informativeText);
        const int cancel = cancelButtonIndex(buttons);
        std::vector<QAbstractButton*> added;
        for (const QString& title : buttons) {
            const bool isCancel = int(added.size()) == cancel;
            added.push_back(box.addButton(title,
                isCancel            ? QMessageBox::RejectRole
                    : added.empty() ? QMessageBox::AcceptRole
                                    : QMessageBox::DestructiveRole));
        }
        if (!added.empty()) {
            box.setDefaultButton(static_cast<QPushButton*>(added.front()));
            box.setEscapeButton(added[std::size_t(cancel)]);
        }
        box.exec();
        const auto chosen = std::find(added.begin(), added.end(), box.clickedButton());
        // A box closed without a button (Escape, the close button) is a cancel.
        return kFirstButtonReturn + (chosen == added.end() ? cancel : int(chosen - added.begin()));
    }
};

using Slot = PresenterSlot<AlertPresenter, MessageBoxPresenter>;

} // namespace

int AlertPresenter::runModalWithButtons(AlertStyle style, const QString& message,
    const QString& informativeText, const QStringList& buttons)
{
    runModal(style,
        informativeText.isEmpty() ? message : message + QStringLiteral("\n\n") + informativeText);
    return kFirstButtonReturn + cancelButtonIndex(buttons);
}

int AlertPresenter::cancelButtonIndex(const QStringList& buttons)
{
    const qsizetype titled = buttons.indexOf(QStringLiteral("Cancel"));
    return int(titled >= 0 ? titled : std::max<qsizetype>(buttons.size() - 1, 0));
}

AlertPresenter& AlertPresenter::current()
{
    return Slot::current();
}

std::shared_ptr<AlertPresenter> AlertPresenter::install(std::shared_ptr<AlertPresenter> presenter)
{
    return Slot::install(std::move(presenter));
}

} // namespace platform
