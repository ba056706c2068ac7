#include "platform/document/KeyboardReturn.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>

namespace platform {

namespace {

// The windows a person types in: not menus, tooltips and the like, which give the keyboard
// back themselves.
bool takesKeyboard(const QObject* object)
{
    if (!object->isWidgetType())
        return false;
    const auto* widget = static_cast<const QWidget*>(object);
    if (!widget->isWindow())
        return false;
    switch (widget->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::Desktop:
        return false;
    default:
        return true;
    }
}

} // namespace

void KeyboardReturn::install()
{
    static QPointer<KeyboardReturn> installed;
    if (installed || !qApp)
        return;
    installed = new KeyboardReturn(qApp);
    qApp->installEventFilter(installed);
}

KeyboardReturn::KeyboardReturn(QObject* parent)
    : QObject(parent)
{
}

bool KeyboardReturn::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::WindowActivate:
        if (takesKeyboard(watched))
            noteForward(static_cast<QWidget*>(watched));
        break;
    case QEvent::Hide:
        // While another application has the keyboard, a window of ours closing takes nothing
        // from it. After the hide settles: the platform tells of the lost focus later, and a
        // dialog's exec() returns first.
        if (takesKeyboard(watched) && !QCoreApplication::closingDown()
            && (QApplication::activeWindow() == watched
                || QGuiApplication::applicationState() == Qt::ApplicationActive))
            QTimer::singleShot(0, this, [this] { giveKeyboardBack(); });
        break;
    default:
        break;
    }
    return false;
}

void KeyboardReturn::noteForward(QWidget* window)
{
    std::erase_if(m_recent, [window](const QPointer<QWidget>& w) { return !w || w == window; });
    m_recent.insert(m_recent.begin(), window);
}

QWidget* KeyboardReturn::successor() const
{
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible())
        return modal;
    for (const QPointer<QWidget>& window : m_recent)
        if (window && window->isVisible() && !window->isMinimized())
            return window;
    return nullptr;
}

void KeyboardReturn::giveKeyboardBack()
{
    if (const QWidget* active = QApplication::activeWindow(); active && active->isVisible())
        return;
    QWidget* window = successor();
    if (!window)
        return;
    // The window system's focus for the keys that come, the application's at once for the
    // shortcuts; the window's own focus widget takes the keyboard again.
    window->activateWindow();
    QApplication::setActiveWindow(window);
}

} // namespace platform
