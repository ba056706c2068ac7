#include "app/WelcomeWindow.h"

#include "foundation/SharedFunctions.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

WelcomeWindow::WelcomeWindow(QWidget* parent)
    : QWidget(parent)
    , m_dontShow(new QCheckBox(QStringLiteral("Don\u2019t show this window at start"), this))
{
    setWindowTitle(QStringLiteral("Welcome to Quillmark"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Welcome to Quillmark"), this));
    layout->addStretch();
    layout->addWidget(m_dontShow);
    m_dontShow->setChecked(!ShouldShowWelcomeWindow());
    connect(m_dontShow, &QCheckBox::clicked, this, &WelcomeWindow::dontShowToggled);
    resize(520, 360);
}

void WelcomeWindow::makeKeyAndOrderFront()
{
    show();
    raise();
    activateWindow();
}

void WelcomeWindow::setDontShowChecked(bool checked)
{
    m_dontShow->setChecked(checked);
}

void WelcomeWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    emit closed();
}
