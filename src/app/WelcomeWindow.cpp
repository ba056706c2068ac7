#include "app/WelcomeWindow.h"

#include "foundation/SharedFunctions.h"

#include <QCloseEvent>
#include <QResizeEvent>

namespace {
constexpr int kMargin = 16;
}

WelcomeWindow::WelcomeWindow(QWidget* parent)
    : Window(platform::Rect(0, 0, 520, 360), Closable | Miniaturizable, parent)
    , m_dontShow(new QCheckBox(QStringLiteral("Don\u2019t show this window at start"), this))
{
    setTitle(QStringLiteral("Welcome to Quillmark"));
    m_dontShow->setStyleSheet(QStringLiteral("QCheckBox { color: #d8d8d8; }"));
    m_dontShow->setChecked(!ShouldShowWelcomeWindow());
    connect(m_dontShow, &QCheckBox::clicked, this, &WelcomeWindow::dontShowToggled);
    resize(520, 360);
}

void WelcomeWindow::resizeEvent(QResizeEvent* event)
{
    Window::resizeEvent(event);
    const QSize hint = m_dontShow->sizeHint();
    m_dontShow->setGeometry(kMargin, height() - kMargin - hint.height(), hint.width(),
        hint.height());
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
    Window::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}
