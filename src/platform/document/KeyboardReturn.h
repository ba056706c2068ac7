#pragma once
// Gives the keyboard back after a modal dialog: the window that was active is activated again
// and the widget that had the keyboard gets it back. Without a window manager nobody else
// does, and the first key after the dialog closes would go nowhere.
//
//     const KeyboardReturn back;
//     dialog.exec();
#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace platform {

class KeyboardReturn {
public:
    KeyboardReturn()
        : m_window(QApplication::activeWindow())
        , m_focus(QApplication::focusWidget())
    {
    }
    ~KeyboardReturn()
    {
        if (!m_window || !m_window->isVisible())
            return;
        m_window->activateWindow();
        QApplication::setActiveWindow(m_window);
        if (m_focus && m_focus->window() == m_window && m_focus->isVisible())
            m_focus->setFocus(Qt::ActiveWindowFocusReason);
    }
    KeyboardReturn(const KeyboardReturn&) = delete;
    KeyboardReturn& operator=(const KeyboardReturn&) = delete;

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_focus;
};

} // namespace platform
