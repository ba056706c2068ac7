#include "canvas/CanvasPanning.h"

#include "canvas/CanvasView.h"
#include "canvas/CanvasWindow.h"
#include "canvas/PaintView.h"
#include "platform/ui/ViewHost.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <cmath>

namespace canvas {

CanvasPanning::CanvasPanning(CanvasView& canvas)
    : m_canvas(canvas)
{
}

CanvasPanning::~CanvasPanning()
{
    setHost(nullptr);
}

void CanvasPanning::setHost(QWidget* host)
{
    if (host == m_host)
        return;
    end();
    setSpaceHeld(false);
    m_pointerInside = false;
    m_host = host;
    // One application filter while there is a host: Space reaches whichever widget has the
    // focus, not the canvas's host.
    if (qApp && bool(host) != m_filtering) {
        if (host)
            qApp->installEventFilter(this);
        else
            qApp->removeEventFilter(this);
        m_filtering = bool(host);
    }
}

bool CanvasPanning::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_host)
        return false;
    if (watched == m_host)
        return pointerEvent(event) || spaceKey(watched, event);
    if (watched == m_host->window()
        && (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::Hide)) {
        // A release that goes to another window must not leave the hand behind.
        end();
        setSpaceHeld(false);
        return false;
    }
    return spaceKey(watched, event);
}

bool CanvasPanning::pointerEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Enter:
        m_pointerInside = true;
        return false;
    case QEvent::Leave:
        m_pointerInside = false;
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (isPanning())
            return true; // a second button during a drag is the drag's
        // Over the text being edited the middle button pastes the selection clipboard.
        const auto* host = qobject_cast<const platform::ViewHost*>(m_host.data());
        if (e->button() == Qt::MiddleButton && host && host->isOverEditedText(e->position()))
            return false;
        if (e->button() == Qt::MiddleButton || (e->button() == Qt::LeftButton && m_spaceHeld)) {
            begin(e->globalPosition(), e->button());
            return true;
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        m_pointerInside = m_host->rect().contains(e->position().toPoint());
        if (!isPanning())
            return false;
        if (!(e->buttons() & m_button)) {
            end(); // the release went elsewhere
            return false;
        }
        moveTo(e->globalPosition());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (!isPanning())
            return false;
        if (e->button() == m_button) {
            moveTo(e->globalPosition());
            end();
        }
        return true;
    }
    default:
        return false;
    }
}

bool CanvasPanning::spaceKey(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space || !watched->isWidgetType()
        || static_cast<QWidget*>(watched)->window() != m_host->window())
        return false;
    if (event->type() == QEvent::KeyPress) {
        if (m_spaceHeld)
            return true; // the repeats of a held Space
        if (!m_pointerInside || key->modifiers() != Qt::NoModifier)
            return false;
        // The canvas's own views come first (a text box being edited types the space); what
        // they leave comes back here on its way to the parent widgets. Other widgets with the
        // focus lose Space to the canvas under the pointer unless they take typed text.
        const QWidget* focus = QApplication::focusWidget();
        if (watched == focus && (focus == m_host || textIsTyped()))
            return false;
        setSpaceHeld(true);
        return true;
    }
    if (!m_spaceHeld)
        return false;
    if (!key->isAutoRepeat())
        setSpaceHeld(false);
    return true;
}

bool CanvasPanning::textIsTyped() const
{
    // Widgets that take typed text (text fields, an edited text box) take input-method text.
    const QWidget* focus = QApplication::focusWidget();
    return focus && focus->testAttribute(Qt::WA_InputMethodEnabled);
}

void CanvasPanning::begin(const QPointF& global, Qt::MouseButton button)
{
    CanvasWindow* window = m_canvas.canvasWindow();
    if (!window)
        return;
    m_grab = global;
    m_button = button;
    m_grabOrigin = window->visibleRect().origin;
    updateCursor();
}

void CanvasPanning::moveTo(const QPointF& global)
{
    CanvasWindow* window = m_canvas.canvasWindow();
    if (!m_grab || !window)
        return;
    const QPointF d = global - *m_grab;
    if (!std::isfinite(d.x()) || !std::isfinite(d.y()))
        return;
    // The picture follows the pointer: the visible area moves the other way (y-up).
    window->scrollTo({ m_grabOrigin.x - d.x(), m_grabOrigin.y + d.y() });
}

void CanvasPanning::end()
{
    if (!m_grab)
        return;
    m_grab.reset();
    m_button = Qt::NoButton;
    updateCursor();
}

void CanvasPanning::setSpaceHeld(bool held)
{
    if (held == m_spaceHeld)
        return;
    m_spaceHeld = held;
    // The brush stops showing its outline until the pointer moves again without Space.
    if (held)
        if (PaintView* paint = m_canvas.paintView())
            paint->windowDidLoseFocus();
    updateCursor();
}

void CanvasPanning::updateCursor()
{
    const bool show = m_spaceHeld || isPanning();
    const QCursor hand(isPanning() ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    if (show && !m_cursorShown)
        QGuiApplication::setOverrideCursor(hand);
    else if (show)
        QGuiApplication::changeOverrideCursor(hand);
    else if (m_cursorShown)
        QGuiApplication::restoreOverrideCursor();
    m_cursorShown = show;
}

} // namespace canvas
