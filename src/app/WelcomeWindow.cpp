#include "app/WelcomeWindow.h"

#include "foundation/SharedFunctions.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>

namespace {
constexpr int kMargin = 16;
constexpr QSize kFormSize { 350, 60 };

// The first local file among the dragged URLs, or an empty string.
QString droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}
} // namespace

WelcomeWindow::WelcomeWindow(QWidget* parent)
    : Window(platform::Rect(0, 0, 520, 360), Closable | Miniaturizable, parent)
    , m_dontShow(new QCheckBox(QStringLiteral("Don\u2019t show this window at start"), this))
    , m_subscribe(new ORBSubscribeView(this))
{
    // The window takes dropped files itself; the e-mail field would take them as text.
    setAcceptDrops(true);
    m_subscribe->inputField()->setAcceptDrops(false);
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
    m_dontShow->setGeometry(
        kMargin, height() - kMargin - hint.height(), hint.width(), hint.height());
    m_subscribe->setGeometry((width() - kFormSize.width()) / 2,
        height() - 2 * kMargin - hint.height() - kFormSize.height(), kFormSize.width(),
        kFormSize.height());
}

void WelcomeWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedFile(event->mimeData()).isEmpty())
        return event->ignore();
    event->acceptProposedAction();
}

void WelcomeWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (droppedFile(event->mimeData()).isEmpty())
        return event->ignore();
    event->acceptProposedAction();
}

void WelcomeWindow::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return event->ignore();
    event->acceptProposedAction();
    // Opened after the drop returns: the drag source waits for it, and opening may show an
    // alert.
    QTimer::singleShot(0, this, [this, path] { emit fileDropped(path); });
}

void WelcomeWindow::makeKeyAndOrderFront()
{
    // Without a window manager nobody places it: it comes back centred on its screen each time
    // (after the last document closed too), never cascaded from a document window.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!isVisible() && screen)
        setGeometry(placement(size(), minimumSize(), screen->availableGeometry(), std::nullopt));
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
