// Alerts with several buttons, shown as real message boxes and answered headless: the answer
// names the button chosen, and closing the box counts as its cancel button (the one titled
// "Cancel", else the last: the one that does nothing).
#include "platform/document/AlertPresenter.h"
#include "platform/document/KeyboardReturn.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(AlertButtons, AnswerNamesTheButtonChosen)
{
    struct Row {
        const char* click; // null: close the box with Escape
        int expected;
    } rows[] = {
        { "Rate", platform::AlertPresenter::kFirstButtonReturn },
        { "No, thanks", platform::AlertPresenter::kFirstButtonReturn + 1 },
        { nullptr, platform::AlertPresenter::kFirstButtonReturn + 1 },
    };
    const auto previous = platform::AlertPresenter::install(nullptr);
    for (const Row& row : rows) {
        QString shownText, shownInfo;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            shownText = box->text();
            shownInfo = box->informativeText();
            if (!row.click) {
                box->reject();
                return;
            }
            for (QAbstractButton* button : box->buttons())
                if (button->text() == row.click)
                    button->click();
        });
        const int answer = platform::AlertPresenter::current().runModalWithButtons(
            platform::AlertStyle::Informational, "Message", "More", { "Rate", "No, thanks" });
        EXPECT_EQ(answer, row.expected) << (row.click ? row.click : "closed");
        EXPECT_EQ(shownText, "Message");
        EXPECT_EQ(shownInfo, "More");
    }
    platform::AlertPresenter::install(previous);
}

// Closing is always the cancel answer, wherever the cancel button stands: Escape, the close
// button and a presenter without buttons alike. (Revert lists "Cancel" first; closing its
// alert once answered "Revert".)
TEST(AlertButtons, ClosingIsTheCancelAnswer)
{
    struct Row {
        const char* name;
        QStringList buttons;
        int close; // 0: reject(), 1: Escape, 2: close()
        int expected;
    } rows[] = {
        { "cancel first, rejected", { "Cancel", "Revert" }, 0, 0 },
        { "cancel first, Escape", { "Cancel", "Revert" }, 1, 0 },
        { "cancel first, closed", { "Cancel", "Revert" }, 2, 0 },
        { "no cancel, Escape", { "Rate", "No, thanks" }, 1, 1 },
        { "cancel in the middle, closed", { "Save", "Cancel", "Discard" }, 2, 1 },
    };
    const auto previous = platform::AlertPresenter::install(nullptr);
    for (const Row& row : rows) {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (row.close == 0) {
                box->reject();
            } else if (row.close == 1) {
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QCoreApplication::sendEvent(box, &escape);
            } else {
                box->close();
            }
        });
        const int answer = platform::AlertPresenter::current().runModalWithButtons(
            platform::AlertStyle::Warning, "Sure?", QString(), row.buttons);
        EXPECT_EQ(answer, platform::AlertPresenter::kFirstButtonReturn + row.expected) << row.name;
        EXPECT_EQ(platform::AlertPresenter::cancelButtonIndex(row.buttons), row.expected)
            << row.name;
    }
    platform::AlertPresenter::install(previous);
}

// After an alert the window that was active has the keyboard again, in the widget that had
// it: without a window manager nothing else gives it back.
TEST(AlertButtons, TheKeyboardReturnsToTheWindowAfterwards)
{
    platform::KeyboardReturn::install(); // as the application's windows do
    QWidget window;
    auto* field = new QLineEdit(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 40);
    window.show();
    QCoreApplication::processEvents(); // the window system gives the application the keyboard
    QApplication::setActiveWindow(&window);
    field->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), field);
    const auto previous = platform::AlertPresenter::install(nullptr);
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QApplication::setActiveWindow(box); // the dialog had the keyboard
            box->reject();
        }
    });
    platform::AlertPresenter::current().runModalWithButtons(
        platform::AlertStyle::Warning, "Sure?", QString(), { "Cancel", "Revert" });
    platform::AlertPresenter::install(previous);
    QCoreApplication::processEvents(); // the caller's return to the event loop
    EXPECT_EQ(QApplication::activeWindow(), &window);
    EXPECT_EQ(QApplication::focusWidget(), field);
}

} // namespace
