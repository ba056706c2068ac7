#pragma once
// The title-less window of every document and of the welcome window. The system frame is
// off: the content view (a WindowContentView) draws the dark body, the title bar, the three
// round window buttons and the centred title, moves the window from its bar and resizes it
// from a 5-pixel edge. The standard close, minimise and zoom commands keep working although
// there are no system buttons.
#include "platform/geometry/Rect.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QMenuBar;
class WindowContentView;

class Window : public QWidget {
    Q_OBJECT
public:
    // Style bits as the platform numbers them; the titled bit is always dropped.
    enum StyleMask : unsigned {
        Titled = 1u << 0,
        Closable = 1u << 1,
        Miniaturizable = 1u << 2,
        Resizable = 1u << 3,
    };
    // The commands the window answers for its menu items.
    enum class Command { Close, Miniaturize, Zoom, Other };

    // A frameless top-level window whose content view fills contentRect's size.
    Window(const platform::Rect& contentRect, unsigned styleMask, QWidget* parent = nullptr);
    ~Window() override;

    unsigned styleMask() const { return m_styleMask; }
    void setStyleMask(unsigned styleMask);
    bool canResize() const { return (m_styleMask & Resizable) != 0; }
    bool canBecomeKeyWindow() const { return true; }

    WindowContentView* contentView() const { return m_contentView; }

    // Sets the title; the drawn title follows on the next turn of the event loop.
    void setTitle(const QString& title);
    // The title the bar draws: the window title, its unsaved-changes mark "[*]" shown as "*"
    // while the window is modified and dropped otherwise.
    virtual QString title() const;
    // Any window's title as a title bar shows it, its unsaved-changes mark resolved so.
    static QString shownTitle(const QWidget& window);
    // A second title line; no window has one.
    QString subtitle() const { return {}; }

    // Close, minimise and zoom stay enabled; other commands are not the window's to answer.
    bool validateMenuItem(Command command) const { return command != Command::Other; }

    // Asked before closing; answering false keeps the window (the platform's
    // windowShouldClose:). Unset means yes.
    void setShouldCloseHandler(std::function<bool(Window&)> handler);
    // The document's close check: given a callback, it decides (perhaps after asking the user
    // to save) and calls it with true to let the window close. The window keeps no state while
    // the check runs; a callback that arrives after the window is gone does nothing.
    using DocumentCloseCheck = std::function<void(std::function<void(bool)> done)>;
    void setDocumentCloseCheck(DocumentCloseCheck check);

    // The close command: the should-close handler, then the document's check (or a plain
    // close without a document).
    void performClose();
    void performMiniaturize() { miniaturize(); }
    void performZoom() { zoom(); }
    void miniaturize();
    // Toggles between maximised and the normal size.
    void zoom();

    // Where a window that would like `preferred` goes in a screen's free area `available`: no
    // larger than that area (nor smaller than `minimum` where the area allows it), centred in
    // it, or, given the frame of the window placed before it, one step down and right of that
    // one while the step still fits (back to the area's top left when it does not).
    static QRect placement(
        QSize preferred, QSize minimum, const QRect& available, std::optional<QRect> previous);
    // Fits the window to its screen's free area and centres it there; a window placed while the
    // one placed before it is still shown cascades from that one instead.
    void center();
    static constexpr int kCascadeStep = 28;

    // Whether the drawn corners are see-through: true only where a compositor blends the
    // window with what lies under it; elsewhere the corners are painted in the body colour.
    bool hasTranslucentCorners() const { return m_translucentCorners; }
    void setTranslucentCorners(bool translucent);

    // The window's menu, which sits in the title bar after the three buttons so that it covers
    // neither them nor the content. The window takes ownership.
    void setMenuBar(QMenuBar* bar);
    QMenuBar* menuBar() const;

    // The width of the edge from which a resizable window is resized.
    static constexpr int kResizeEdge = 5;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void closeNow();
    void layoutResizeGrips();
    void layoutMenuBar();

    unsigned m_styleMask = 0;
    WindowContentView* m_contentView = nullptr;
    std::function<bool(Window&)> m_shouldClose;
    DocumentCloseCheck m_documentCloseCheck;
    // Set while the approved close runs, so that the close event passes.
    bool m_closeApproved = false;
    bool m_translucentCorners = false;
    // Four edges and four corners, kept above every other child.
    std::array<QWidget*, 8> m_grips {};
    QPointer<QMenuBar> m_menuBar;
    // One look for a new menu bar per turn of the event loop, however many children arrive.
    bool m_menuBarLookupPending = false;
};
