// Alerts with several buttons, shown as real message boxes and answered headless: the answer
// names the button chosen, and closing the box counts as the last (the one that does nothing).
#include "platform/document/AlertPresenter.h"

#include <QAbstractButton>
#include <QApplication>
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

} // namespace
