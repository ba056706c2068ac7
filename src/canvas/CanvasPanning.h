#pragma once
// Panning the zoomed picture as painting programs do: the middle button drags it (but over the
// text being edited, where it pastes the selection clipboard), and so does
// the left button while Space is held with the pointer over the canvas. Space then neither
// paints nor reaches a box; it is left alone while the pointer is elsewhere, when a text box
// of the canvas takes it as typing, and when another focused widget takes typed text.
//
// It watches the Qt events of the canvas's host widget and the Space key of its window
// through an application event filter, and scrolls through the canvas's window. The hand
// cursor shows while Space is held (open) and while the picture is dragged (closed).
#include "platform/geometry/Point.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <optional>

class QWidget;

namespace canvas {

class CanvasView;

class CanvasPanning : public QObject {
public:
    explicit CanvasPanning(CanvasView& canvas);
    ~CanvasPanning() override;

    // The widget the canvas is shown in (null: none); events of other widgets pass.
    void setHost(QWidget* host);

    bool isSpaceHeld() const { return m_spaceHeld; }
    bool isPanning() const { return m_grab.has_value(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool pointerEvent(QEvent* event);
    bool spaceKey(QObject* watched, QEvent* event);
    bool textIsTyped() const;
    void begin(const QPointF& global, Qt::MouseButton button);
    void moveTo(const QPointF& global);
    void end();
    void setSpaceHeld(bool held);
    // The hand while Space is held or the picture is dragged; nothing otherwise.
    void updateCursor();

    CanvasView& m_canvas;
    QPointer<QWidget> m_host;
    bool m_filtering = false;
    bool m_pointerInside = false;
    bool m_spaceHeld = false;
    bool m_cursorShown = false;
    // The drag in progress: where it began (global, y-down), with which button, and the
    // visible area's origin then (document view, y-up).
    std::optional<QPointF> m_grab;
    Qt::MouseButton m_button = Qt::NoButton;
    platform::Point m_grabOrigin;
};

} // namespace canvas
