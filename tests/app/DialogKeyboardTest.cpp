// After any dialog the document window has the keyboard again: Ctrl+Z, delivered as the window
// system delivers a key (through the shortcut map, to the window under it), undoes at once,
// without a click first. Without a window manager nothing else gives the keyboard back.
#include "app/RatingPrompt.h"
#include "platform/document/AlertPresenter.h"
#include "platform/document/PanelPresenter.h"
#include "platform/document/UserDefaults.h"
#include "platform/ui/ColorPanel.h"
#include "window/ColoredButton.h"
#include "window/FillPanel.h"
#include "window/ReadyWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// The button of the dialog up now whose text is title (any of its buttons when empty).
QAbstractButton* buttonOfModal(const QString& title)
{
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog)
        return nullptr;
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->isVisible() && b->text().remove(QLatin1Char('&')) == title)
            return b;
    return nullptr;
}

// Presses the button titled title once the modal dialog about to run is up, as a person does.
void pressOnceUp(const QString& title)
{
    QTimer::singleShot(0, [title] {
        QAbstractButton* button = buttonOfModal(title);
        ASSERT_TRUE(button) << "no button " << title.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    });
}

struct Row {
    const char* name;
    std::function<void(windowtest::ReadyWindow&)> dialog;
};

} // namespace

TEST(DialogKeyboard, TheDocumentWindowHasTheKeyboardAfterEveryDialog)
{
    const Row rows[] = {
        { "the colour dialog's OK",
            [](windowtest::ReadyWindow& w) {
                auto* swatch
                    = w.o.panelFont->findChild<ColoredButton*>(FillPanel::kTextColourButton);
                ASSERT_TRUE(swatch);
                QTest::mouseClick(swatch, Qt::LeftButton);
                QColorDialog* colours = platform::ColorPanel::shared().dialog();
                QCoreApplication::processEvents(); // the dialog comes up with the keyboard
                ASSERT_EQ(QApplication::activeWindow(), colours);
                colours->setCurrentColor(Qt::blue);
                QTest::mouseClick(
                    colours->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                    Qt::LeftButton);
                ASSERT_FALSE(colours->isVisible());
            } },
        { "an alert's OK",
            [](windowtest::ReadyWindow&) {
                pressOnceUp(QStringLiteral("OK"));
                platform::AlertPresenter::current().runModal(
                    platform::AlertStyle::Critical, QStringLiteral("Something went wrong."));
            } },
        { "the rating prompt",
            [](windowtest::ReadyWindow&) {
                platform::UserDefaults::standard().setBool(RatingPrompt::kSuggestedKey, false);
                pressOnceUp(QStringLiteral("No, thanks"));
                RatingPrompt::afterShare();
            } },
        { "an open panel cancelled",
            [](windowtest::ReadyWindow& w) {
                pressOnceUp(QStringLiteral("Cancel"));
                w.win.newImageBox();
            } },
    };
    const auto previousAlerts = platform::AlertPresenter::install(nullptr);
    const auto previousPanels = platform::PanelPresenter::install(nullptr);
    const auto previousOpener = RatingPrompt::installUrlOpener([](const QUrl&) {});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        windowtest::ReadyWindow w(true);
        // The application's Undo, as its menu gives it to the window.
        QAction undo(&w.win);
        undo.setShortcut(QKeySequence::Undo);
        QObject::connect(&undo, &QAction::triggered, [&] { w.win.undo(); });
        w.win.addAction(&undo);
        QApplication::setActiveWindow(&w.win);
        w.win.newTextBox();
        w.undo.endGroup();

        row.dialog(w);
        QCoreApplication::processEvents(); // back in the event loop
        w.undo.endGroup();
        EXPECT_EQ(QApplication::activeWindow(), &w.win);
        const int steps = w.undo.undoGroupCount();
        ASSERT_GT(steps, 0);
        QTest::keyClick(w.win.windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(w.undo.undoGroupCount(), steps - 1) << "Ctrl+Z did nothing";
    }
    RatingPrompt::installUrlOpener(previousOpener);
    platform::PanelPresenter::install(previousPanels);
    platform::AlertPresenter::install(previousAlerts);
}
