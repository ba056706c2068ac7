#pragma once
// The welcome window: shown while no document is open, with the newsletter form and the check
// box that keeps it hidden at start. A file dropped anywhere on it is offered for opening
// (fileDropped); the application opens it as File > Open would, alert included.
//
// It has no links to other applications' pages: there is no application store to send
// anyone to.
#include "app/ORBSubscribeView.h"
#include "app/WelcomeWindowPort.h"
#include "window/Window.h"

#include <QCheckBox>

class WelcomeWindow final : public Window, public WelcomeWindowPort {
    Q_OBJECT
public:
    explicit WelcomeWindow(QWidget* parent = nullptr);

    void makeKeyAndOrderFront() override;
    void orderOut() override { hide(); }
    bool isVisible() const override { return QWidget::isVisible(); }
    bool dontShowChecked() const override { return m_dontShow->isChecked(); }
    void setDontShowChecked(bool checked) override;

    QCheckBox* dontShowWelcomeWindowButton() const { return m_dontShow; }
    ORBSubscribeView* subscribeView() const { return m_subscribe; }

signals:
    // The user changed the check box (not setDontShowChecked).
    void dontShowToggled(bool checked);
    void closed();
    // A local file was dropped on the window.
    void fileDropped(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QCheckBox* m_dontShow;
    ORBSubscribeView* m_subscribe;
};
