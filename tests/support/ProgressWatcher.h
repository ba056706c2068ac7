#pragma once
// Watches, while a long piece of work keeps the event loop turning, for a progress window: counts
// the turns, notes what the window says, and presses its Cancel button with the mouse when told.
#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace testsupport {

class ProgressWatcher {
public:
    explicit ProgressWatcher(bool pressCancel)
    {
        QObject::connect(&m_ticker, &QTimer::timeout, [this, pressCancel] {
            ++ticks;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* progress = qobject_cast<QProgressDialog*>(w);
                if (!progress || !progress->isVisible())
                    continue;
                said = progress->labelText();
                if (pressCancel)
                    for (QPushButton* button : progress->findChildren<QPushButton*>())
                        QTest::mouseClick(button, Qt::LeftButton);
            }
        });
        m_ticker.start(10);
    }
    void stop() { m_ticker.stop(); }

    int ticks = 0; // turns of the loop seen, one each 10 ms at the most
    QString said; // the progress window's text, empty if none showed

private:
    QTimer m_ticker;
};

} // namespace testsupport
