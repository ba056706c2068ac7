#pragma once
// The widget that shows a tree of our own views. It owns the root view, which always fills
// it (frame (0, 0, width, height) in window space), paints the tree y-up, and turns Qt's
// pointer, key, wheel, enter/leave and input-method events into view events:
//  - a press goes to the frontmost view under the pointer, and that view gets the drags and
//    the release of the same button; a left press with the Control bit (Qt's Meta key) is a
//    right press; a middle press goes to the first responder when it lands on it (the
//    text being edited), else to the view under the pointer;
//  - click counts follow the system's double-click time and distance (a Qt double-click
//    event counts at least 2);
//  - keys go to the first responder, and up the responder chain, which ends at the host's
//    window: a key no view handles goes to the window's own key handling next (not to the
//    widgets between, a scroll area would take the arrows), and one the window leaves too is
//    left to Qt;
//  - tracking areas get entered, exited, moved and cursor-update events as the pointer moves;
//  - input-method text goes to the first responder when it is a TextInputClient.
#include "platform/geometry/Rect.h"
#include "platform/ui/Event.h"
#include "platform/ui/ViewPointer.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <memory>
#include <vector>

class QNativeGestureEvent;

namespace platform {

class View;
class TextInputClient;

class ViewHost : public QWidget {
    Q_OBJECT
public:
    explicit ViewHost(QWidget* parent = nullptr);
    ~ViewHost() override;

    // Installs the root view (resized to fill the widget); the former root is destroyed.
    void setRootView(std::unique_ptr<View> root);
    View* rootView() const { return m_root.get(); }
    // Hands the root view back to the caller; the host is left empty.
    std::unique_ptr<View> takeRootView();

    // The view that receives keys and input-method text; nullptr when none (or when it has
    // left the tree).
    View* firstResponder() const;
    // The keys a view editing text takes before the window's shortcuts see them: the standard
    // copy, cut, paste, select all, undo and redo, Ctrl+Y, the arrows and deletion.
    static bool isTextEditingKey(const QKeyEvent& event);
    // Asks the current first responder to resign and the new one to accept and become it.
    // nullptr clears it. Answers false (and changes nothing) when either refuses, or when the
    // view is not in this host's tree.
    bool makeFirstResponder(View* view);
    // Whether a point of the widget lies on the text being edited (the first responder, a
    // text input client editing text): a middle press there pastes the selection clipboard,
    // where elsewhere it may pan.
    bool isOverEditedText(const QPointF& widgetPoint) const;

    // The cursor a view asked for; stays until something sets another.
    void setViewCursor(const QCursor& cursor);

    // A repaint request for a rectangle of window space (y-up); the views call it.
    void setNeedsDisplayInWindowRect(const Rect& rect);

    // Window space (y-up) and widget space (y-down, Qt's) for this widget.
    Point windowPointFromWidget(const QPointF& p) const;
    QPointF widgetPointFromWindow(const Point& p) const;
    QRectF widgetRectFromWindow(const Rect& r) const;

    // What has been asked for since the last paint, in widget space (for tests and
    // diagnostics; Qt keeps its own copy for painting). Many scattered requests come back as
    // their bounding box.
    QRegion pendingRepaint() const { return m_pendingRepaint; }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // Device pixels per logical pixel of the screen the widget is on (at least 1 for a
    // pixel ratio Qt reports as non-finite or zero).
    double devicePixelRatio() const;
    // True while a window-modal dialog (a sheet) blocks the host's window.
    bool hasAttachedSheet() const { return m_sheetAttached; }

Q_SIGNALS:
    // A window-modal dialog is about to cover the host's window.
    void sheetWillBegin();
    // The host's window stopped being the active (key) window.
    void resignedKey();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    enum class PressKind { None, Left, Right };

    void handlePress(QMouseEvent* event, bool qtDoubleClick);
    void deliverKey(QKeyEvent* event, EventType type);
    void deliverMiddlePress(QMouseEvent* event, const Point& p, unsigned flags);
    // Sends entered, exited, moved and cursor-update events for the pointer at p.
    void updateTracking(const Point& p, unsigned flags, bool buttonHeld);
    void exitAllTrackingAreas(const Point& p, unsigned flags);
    void updateHoverCursor(const Point& p);
    void applyCursor(const QCursor& cursor);
    bool isInTree(const View* view) const;
    TextInputClient* inputClient() const;
    void fitRootToWidget();
    void deliverGesture(QNativeGestureEvent* event);
    // Follows the top-level window the host sits in, for its blocked and active changes.
    void watchWindow();
    void noteWindowEvent(const QEvent* event);

    std::unique_ptr<View> m_root;
    ViewPointer m_firstResponder;

    // The press in progress: the view that got it, and which kind it was.
    ViewPointer m_pressTarget;
    PressKind m_pressKind = PressKind::None;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    Point m_lastPointer;

    // Click counting.
    QElapsedTimer m_clock;
    qint64 m_lastPressTime = -1;
    QPointF m_lastPressPos;
    Qt::MouseButton m_lastPressButton = Qt::NoButton;
    int m_clickCount = 0;

    // Tracking areas the pointer is inside.
    struct Inside {
        ViewPointer owner;
        std::uint64_t id = 0;
    };
    std::vector<Inside> m_inside;

    // What has been asked for since the last paint: exact up to kMaxPendingRects
    // rectangles, their bounding box past that.
    static constexpr int kMaxPendingRects = 32;
    QRegion m_pendingRepaint;
    // The pixels of the area being painted, when the painter's device is an image we can read
    // and write: the tree is composited here by our own code and put down in one copy.
    QImage m_frame;
    QCursor m_viewCursor; // set by the views
    bool m_hoverCursorShown = false; // a cursorForPoint answer is showing instead
    QPointer<QWidget> m_watchedWindow;
    bool m_sheetAttached = false;
};

} // namespace platform
