#include "window/Window.h"

#include "platform/document/KeyboardReturn.h"
#include "window/WindowContentView.h"

#include <QChildEvent>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <memory>

#ifdef QUILLMARK_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

// An invisible strip on an edge or a corner that hands a press to the system's resize.
class ResizeGrip : public QWidget {
public:
    ResizeGrip(QWidget* parent, Qt::Edges edges)
        : QWidget(parent)
        , m_edges(edges)
    {
        const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
        if (horizontal && vertical) {
            const bool falling = (edges == (Qt::TopEdge | Qt::LeftEdge))
                || (edges == (Qt::BottomEdge | Qt::RightEdge));
            setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
        } else {
            setCursor(horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor);
        }
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && window()->windowHandle())
            window()->windowHandle()->startSystemResize(m_edges);
    }

private:
    Qt::Edges m_edges;
};

#ifdef QUILLMARK_HAVE_XCB
// Whether a compositing manager owns the X11 selection "_NET_WM_CM_S<screen>", the standard
// way a compositor announces itself.
bool x11CompositorRunning()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const QByteArray name = QByteArrayLiteral("_NET_WM_CM_S0");
    const xcb_intern_atom_cookie_t atomCookie
        = xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData());
    // xcb hands its replies over to the caller, who frees them with free().
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, atomCookie, nullptr), &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}
#endif

// See-through corners need a compositor: Wayland always has one, X11 says whether one runs;
// elsewhere we do not know, and a black square behind a rounded corner looks worse than a
// square corner in the body colour.
bool compositorBlendsWindows()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")))
        return true;
#ifdef QUILLMARK_HAVE_XCB
    if (platform == QLatin1String("xcb"))
        return x11CompositorRunning();
#endif
    return false;
}

} // namespace

Window::Window(const platform::Rect& contentRect, unsigned styleMask, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_styleMask(styleMask & ~Titled)
{
    const int w = std::max(1, int(std::lround(std::clamp(contentRect.size.width, 1.0, 1e5))));
    const int h = std::max(1, int(std::lround(std::clamp(contentRect.size.height, 1.0, 1e5))));
    resize(w, h);
    m_contentView = new WindowContentView(this);
    m_contentView->setGeometry(0, 0, w, h);
    const Qt::Edges edges[8] = { Qt::LeftEdge, Qt::RightEdge, Qt::TopEdge, Qt::BottomEdge,
        Qt::TopEdge | Qt::LeftEdge, Qt::TopEdge | Qt::RightEdge, Qt::BottomEdge | Qt::LeftEdge,
        Qt::BottomEdge | Qt::RightEdge };
    for (size_t i = 0; i < m_grips.size(); ++i)
        m_grips[i] = new ResizeGrip(this, edges[i]);
    setTranslucentCorners(compositorBlendsWindows());
    layoutResizeGrips();
    // Our windows get the keyboard back after every dialog, whoever opened it.
    platform::KeyboardReturn::install();
}

Window::~Window() = default;

void Window::setStyleMask(unsigned styleMask)
{
    m_styleMask = styleMask & ~Titled;
    layoutResizeGrips();
    m_contentView->update();
}

QString Window::title() const
{
    return shownTitle(*this);
}

QString Window::shownTitle(const QWidget& window)
{
    QString shown = window.windowTitle();
    shown.replace(
        QStringLiteral("[*]"), window.isWindowModified() ? QStringLiteral("*") : QString());
    return shown;
}

void Window::setTitle(const QString& title)
{
    setWindowTitle(title);
    // The drawn title follows once the current event is done, as the platform defers it.
    QPointer<WindowContentView> view = m_contentView;
    QTimer::singleShot(0, view, [view] {
        if (view)
            view->update();
    });
}

void Window::setShouldCloseHandler(std::function<bool(Window&)> handler)
{
    m_shouldClose = std::move(handler);
}

void Window::setDocumentCloseCheck(DocumentCloseCheck check)
{
    m_documentCloseCheck = std::move(check);
}

void Window::performClose()
{
    if (m_shouldClose && !m_shouldClose(*this))
        return;
    if (m_documentCloseCheck) {
        QPointer<Window> self = this;
        m_documentCloseCheck([self](bool shouldClose) {
            if (self && shouldClose)
                self->closeNow();
        });
        return;
    }
    closeNow();
}

void Window::closeNow()
{
    m_closeApproved = true;
    close();
    m_closeApproved = false;
}

void Window::miniaturize()
{
    showMinimized();
}

void Window::zoom()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

QRect Window::placement(
    QSize preferred, QSize minimum, const QRect& available, std::optional<QRect> previous)
{
    if (available.isEmpty())
        return QRect(QPoint(0, 0), preferred.expandedTo(minimum));
    const QSize size = preferred.boundedTo(available.size())
                           .expandedTo(minimum.boundedTo(available.size()))
                           .expandedTo(QSize(1, 1));
    if (previous) {
        QRect next(previous->topLeft() + QPoint(kCascadeStep, kCascadeStep), size);
        if (!available.contains(next))
            next.moveTopLeft(available.topLeft());
        return next;
    }
    QRect centred(QPoint(0, 0), size);
    centred.moveCenter(available.center());
    return centred;
}

namespace {
// The window placed last: the next one cascades from it while it is on screen.
QPointer<Window>& lastPlacedWindow()
{
    static QPointer<Window> window;
    return window;
}
} // namespace

void Window::center()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    std::optional<QRect> previous;
    const Window* last = lastPlacedWindow();
    if (last && last != this && last->isVisible() && !last->isMinimized())
        previous = last->geometry();
    setGeometry(placement(size(), minimumSize(), screen->availableGeometry(), previous));
    lastPlacedWindow() = this;
}

void Window::setTranslucentCorners(bool translucent)
{
    m_translucentCorners = translucent;
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    m_contentView->update();
}

void Window::closeEvent(QCloseEvent* event)
{
    // A close from outside the chrome (a window-manager shortcut) goes through the same checks.
    if (m_closeApproved) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    QPointer<Window> self = this;
    QTimer::singleShot(0, this, [self] {
        if (self)
            self->performClose();
    });
}

void Window::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_contentView->setGeometry(0, 0, width(), height());
    layoutMenuBar();
    layoutResizeGrips();
}

void Window::setMenuBar(QMenuBar* bar)
{
    if (m_menuBar == bar)
        return;
    delete m_menuBar;
    m_menuBar = bar;
    if (!bar)
        return;
    bar->setParent(this);
    bar->setNativeMenuBar(false);
    // Light items on the dark bar; the bar itself is see-through so the drawn chrome shows.
    bar->setStyleSheet(
        QStringLiteral("QMenuBar { background: transparent; color: #d8d8d8; }"
                       "QMenuBar::item { background: transparent; padding: 3px 8px; }"
                       "QMenuBar::item:selected, QMenuBar::item:pressed { background: #3c3c3e; "
                       "border-radius: 4px; }"));
    bar->show();
    bar->raise();
    layoutMenuBar();
    layoutResizeGrips();
}

QMenuBar* Window::menuBar() const
{
    return m_menuBar;
}

void Window::layoutMenuBar()
{
    if (!m_menuBar)
        return;
    // After the zoom button (x 54, 12 wide) with a gap, centred in the title bar; where that
    // would run into the title's text, at the bar's right end instead.
    constexpr int kLeft = 76, kGap = 12;
    const int barHeight = int(WindowContentView::kTitleBarHeight);
    const QSize hint = m_menuBar->sizeHint();
    const int h = std::min(hint.height(), barHeight);
    const int w = std::max(0, std::min(hint.width(), width() - kLeft - kResizeEdge));
    const auto [textLeft, textRight] = m_contentView->titleTextSpan();
    int x = kLeft;
    if (kLeft + w + kGap > textLeft && width() - w - kGap >= textRight + kGap)
        x = width() - w - kGap;
    m_menuBar->setGeometry(x, (barHeight - h) / 2, w, h);
    // The title is drawn in the room the bar leaves.
    m_contentView->update();
}

void Window::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The drawn title shows the unsaved-changes mark.
    if (m_contentView
        && (event->type() == QEvent::ModifiedChange
            || event->type() == QEvent::WindowTitleChange)) {
        m_contentView->update();
        layoutMenuBar();
    }
}

void Window::childEvent(QChildEvent* event)
{
    QWidget::childEvent(event);
    // Children added later must not cover the resize edges.
    if (event->type() == QEvent::ChildAdded && m_grips.back())
        for (QWidget* grip : m_grips)
            grip->raise();
    // A menu bar made with the window as parent becomes the window's menu. A child is announced
    // from its base constructor, before it is a menu bar, and gets its menus afterwards: look
    // once the adding code has run.
    if (event->type() == QEvent::ChildAdded && !m_menuBar && !m_menuBarLookupPending) {
        m_menuBarLookupPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_menuBarLookupPending = false;
                if (!m_menuBar)
                    if (auto* bar = findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly))
                        setMenuBar(bar);
            },
            Qt::QueuedConnection);
    }
}

void Window::layoutResizeGrips()
{
    if (!m_grips.back())
        return;
    const int e = kResizeEdge, w = width(), h = height(), c = 2 * kResizeEdge;
    const QRect rects[8] = { { 0, c, e, h - 2 * c }, { w - e, c, e, h - 2 * c },
        { c, 0, w - 2 * c, e }, { c, h - e, w - 2 * c, e }, { 0, 0, c, c }, { w - c, 0, c, c },
        { 0, h - c, c, c }, { w - c, h - c, c, c } };
    for (size_t i = 0; i < m_grips.size(); ++i) {
        m_grips[i]->setGeometry(rects[i]);
        m_grips[i]->setVisible(canResize());
        m_grips[i]->raise();
    }
}
