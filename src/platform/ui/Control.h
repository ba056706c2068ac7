#pragma once
// The base of our custom-drawn controls: a QWidget that draws y-up through a GraphicsContext
// and speaks the platform's control idioms.
//
//  - Drawing: subclasses implement drawRect() in their own y-up coordinates, (0, 0) at the
//    bottom-left, one unit per point. paintEvent() draws into a buffer at the screen's pixel
//    density (the flip to Qt's y-down happens there, once) and copies it to the widget.
//  - Pointer: Qt's press, move and release arrive as mouseDown(), mouseDragged() and
//    mouseUp() with the location already converted to y-up; moves without a button arrive as
//    mouseMoved() when mouse tracking is on.
//  - State: highlighted while a left press that started inside is held over the control;
//    hovered while the pointer is over it, re-evaluated when the control is resized or moved;
//    enabled is QWidget's.
//  - Action: an optional std::function sent with the control as its argument; an unset action
//    does nothing (the platform's "perform if the target responds").
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"
#include "platform/graphics/GraphicsContext.h"

#include <QWidget>
#include <functional>

namespace platform {

class Control : public QWidget {
public:
    using Action = std::function<void(Control&)>;

    explicit Control(QWidget* parent = nullptr);
    ~Control() override;

    void setAction(Action action) { m_action = std::move(action); }
    const Action& action() const { return m_action; }
    // Sends the action with this control as the argument, when one is set.
    void sendAction();

    // (0, 0, width, height) in points, y-up.
    Rect bounds() const;
    // A widget position (y-down) in the control's y-up coordinates, and back.
    Point convertFromWidget(const QPointF& p) const;
    QPointF convertToWidget(const Point& p) const;

    bool isHighlighted() const { return m_highlighted; }
    bool isHovered() const { return m_hovered; }
    // Whether a left press is being tracked (a release without one is ignored).
    bool isTracking() const { return m_tracking; }

    // Asks for a repaint of the whole control (never call from drawRect()).
    void setNeedsDisplay() { update(); }

    // Draws the control into a new premultiplied image of its size times scale, on a clear
    // background: the same drawing as on screen, for tests, previews and benchmarks.
    QImage renderToImage(double scale = 1.0);
    // Draws into an existing context whose user space is the control's bounds.
    void drawInto(GraphicsContext& ctx) { drawRect(ctx, bounds()); }

    // How many steps an arrow key moves a slider: Right and Up one up, Left and Down one down,
    // ten with Shift; 0 for any other key.
    static int arrowKeySteps(const QKeyEvent& event);
    // The keyboard-focus ring around path (in the control's coordinates), drawn by a control
    // that takes focus while it has it.
    static void drawFocusRing(GraphicsContext& ctx, const BezierPath& path);

protected:
    // Draws the control; dirty is the part that needs drawing, in the control's coordinates.
    virtual void drawRect(GraphicsContext& ctx, const Rect& dirty) = 0;

    // Pointer hooks, locations y-up in the control's coordinates; modifierFlags are the
    // platform's bits. The defaults do nothing.
    virtual void mouseDown(const Point& location, unsigned modifierFlags);
    virtual void mouseDragged(const Point& location, unsigned modifierFlags);
    virtual void mouseUp(const Point& location, unsigned modifierFlags);
    virtual void mouseMoved(const Point& location, unsigned modifierFlags);
    virtual void rightMouseDown(const Point& location, unsigned modifierFlags);
    // The hovered state changed; the default repaints.
    virtual void hoverChanged();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The control drawn into a cleared buffer of its size times scale, clipped to dirty.
    QImage renderBuffer(double scale, const Rect& dirty);
    void setHovered(bool hovered);
    void setHighlighted(bool highlighted);
    void refreshHoverFromCursor();

    Action m_action;
    bool m_highlighted = false;
    bool m_hovered = false;
    bool m_tracking = false;
};

} // namespace platform
