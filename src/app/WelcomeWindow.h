#pragma once
// The welcome window: shown while no document is open, with the check box that keeps it hidden
// at start. Its content (pictures, the newsletter form) comes later; what the application
// shell relies on is here.
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

signals:
    // The user changed the check box (not setDontShowChecked).
    void dontShowToggled(bool checked);
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QCheckBox* m_dontShow;
};
