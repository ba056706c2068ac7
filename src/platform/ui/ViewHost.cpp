#include "platform/ui/ViewHost.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/ui/TextInputClient.h"
#include "platform/ui/UiLogging.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewDrawingCache.h"
#include "platform/undo/UndoManager.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QLineF>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleHints>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

// The image a painter's raster engine writes into (a window's backing store, an image being
// rendered into), and the whole-pixel offset of the painter's space in it; null when the
// painter's pixels cannot be read and written here as premultiplied 32-bit pixels one to one
// (another engine or format, a scale, a turn, a high-density device).
QImage* rasterTarget(QPainter& painter, QPoint& offset)
{
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster)
        return nullptr;
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    if ((image->format() != QImage::Format_ARGB32_Premultiplied
            && image->format() != QImage::Format_RGB32)
        || image->devicePixelRatio() != 1.0)
        return nullptr;
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::round(t.dx())
        || t.dy() != std::round(t.dy()) || std::abs(t.dx()) > 1e8 || std::abs(t.dy()) > 1e8)
        return nullptr;
    offset = QPoint(int(t.dx()), int(t.dy()));
    return image;
}

// Copies the pixels of `area` (in the painter's space) from the target into the frame, which
// has the painter's space's pixels. An opaque format's alpha byte is made whole, as it reads.
void copyIntoFrame(const QImage& target, QPoint offset, const QRect& area, QImage& frame)
{
    const bool opaque = target.format() == QImage::Format_RGB32;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(target.constScanLine(y + offset.y()))
            + (area.left() + offset.x());
        auto* to = reinterpret_cast<QRgb*>(frame.scanLine(y)) + area.left();
        if (opaque) {
            for (int x = 0; x < area.width(); ++x)
                to[x] = from[x] | 0xff000000u;
        } else {
            std::memcpy(to, from, size_t(area.width()) * sizeof(QRgb));
        }
    }
}

} // namespace

ViewHost::ViewHost(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    m_clock.start();
}

ViewHost::~ViewHost()
{
    if (m_root)
        m_root->m_host = nullptr;
}

void ViewHost::setRootView(std::unique_ptr<View> root)
{
    if (View::isDrawing()) {
        qCWarning(lcPlatformUi) << "ViewHost: setRootView during drawing ignored";
        return;
    }
    if (m_root)
        m_root->m_host = nullptr;
    m_root = std::move(root);
    m_inside.clear();
    m_pressKind = PressKind::None;
    if (m_root) {
        m_root->m_host = this;
        fitRootToWidget();
        m_root->treeDidGetHost();
    }
    setAttribute(Qt::WA_InputMethodEnabled, inputClient() != nullptr);
    update();
}

std::unique_ptr<View> ViewHost::takeRootView()
{
    if (m_root)
        m_root->m_host = nullptr;
    m_inside.clear();
    m_pressKind = PressKind::None;
    setAttribute(Qt::WA_InputMethodEnabled, false);
    update();
    return std::move(m_root);
}

void ViewHost::fitRootToWidget()
{
    const Rect full(0.0, 0.0, width(), height());
    if (m_root && m_root->frame() != full)
        m_root->setFrame(full);
}

bool ViewHost::isInTree(const View* view) const
{
    return view && view->host() == this;
}

// ---- first responder and input methods

View* ViewHost::firstResponder() const
{
    View* v = m_firstResponder.get();
    return isInTree(v) ? v : nullptr;
}

bool ViewHost::makeFirstResponder(View* view)
{
    View* current = firstResponder();
    if (view == current)
        return true;
    if (view && !isInTree(view))
        return false;
    if (current && !current->resignFirstResponder())
        return false;
    // The former responder has let go; a refusal leaves none.
    m_firstResponder = ViewPointer();
    const bool accepted = !view || (view->acceptsFirstResponder() && view->becomeFirstResponder());
    if (accepted)
        m_firstResponder = ViewPointer(view);
    setAttribute(Qt::WA_InputMethodEnabled, inputClient() != nullptr);
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImQueryAll);
    return accepted;
}

TextInputClient* ViewHost::inputClient() const
{
    return dynamic_cast<TextInputClient*>(firstResponder());
}

void ViewHost::inputMethodEvent(QInputMethodEvent* event)
{
    TextInputClient* client = inputClient();
    if (!client) {
        event->ignore();
        return;
    }
    if (!event->commitString().isEmpty())
        client->insertText(event->commitString());
    if (!event->preeditString().isEmpty()) {
        int cursor = int(event->preeditString().size());
        for (const auto& attribute : event->attributes()) {
            if (attribute.type == QInputMethodEvent::Cursor)
                cursor = std::clamp(attribute.start, 0, int(event->preeditString().size()));
        }
        client->setMarkedText(event->preeditString(), cursor, 0);
    } else if (client->hasMarkedText()) {
        client->setMarkedText(QString(), 0, 0);
    }
    event->accept();
}

QVariant ViewHost::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const TextInputClient* client = inputClient();
    switch (query) {
    case Qt::ImEnabled:
        return client != nullptr;
    case Qt::ImCursorRectangle:
        if (client)
            return widgetRectFromWindow(
                firstResponder()->convertRectToView(client->caretRect(), nullptr));
        break;
    case Qt::ImHints:
        if (client)
            return int(Qt::ImhNone);
        break;
    default:
        break;
    }
    return QWidget::inputMethodQuery(query);
}

// ---- coordinates and painting

Point ViewHost::windowPointFromWidget(const QPointF& p) const
{
    return { p.x(), height() - p.y() };
}

QPointF ViewHost::widgetPointFromWindow(const Point& p) const
{
    return { p.x, height() - p.y };
}

QRectF ViewHost::widgetRectFromWindow(const Rect& r) const
{
    const Rect s = r.standardized();
    return { s.minX(), height() - s.maxY(), s.width(), s.height() };
}

void ViewHost::setNeedsDisplayInWindowRect(const Rect& rect)
{
    if (rect.isNull() || !std::isfinite(rect.x()) || !std::isfinite(rect.y())
        || !std::isfinite(rect.width()) || !std::isfinite(rect.height()))
        return;
    // One pixel more on every side for antialiased edges.
    const QRect area
        = widgetRectFromWindow(rect).toAlignedRect().adjusted(-1, -1, 1, 1) & this->rect();
    if (area.isEmpty())
        return;
    if (m_pendingRepaint.rectCount() < kMaxPendingRects) {
        m_pendingRepaint += area;
        update(area);
        return;
    }
    // Each union costs as much as the rectangles the region already holds, so many scattered
    // requests (a move of thousands of boxes) would cost the square of their count. Past the
    // limit the request becomes its bounding box: the paint draws the bounding box of what
    // it is given anyway, and once Qt holds that one rectangle further requests inside it
    // are free there too.
    const QRect bounds = m_pendingRepaint.boundingRect();
    if (bounds.contains(area) && m_pendingRepaint.rectCount() == 1)
        return;
    m_pendingRepaint = bounds | area;
    update(m_pendingRepaint.boundingRect());
}

void ViewHost::paintEvent(QPaintEvent* event)
{
    m_pendingRepaint = QRegion();
    if (!m_root)
        return;
    const QRect area = event->rect();
    const Rect dirty(area.x(), height() - (area.y() + area.height()), area.width(), area.height());
    // Shadows cast from just outside the area must land in it, so the tree draws a margin as
    // wide as the farthest shadow reaches; Qt's own clip keeps the pixels to the area.
    const double treeReach = m_root->shadowReachInTree(m_root->transformToSuperview());
    const double reach = std::isfinite(treeReach) ? std::min(treeReach, 4096.0) : 4096.0;
    const Rect drawn = dirty.insetBy(-reach, -reach);
    ViewDrawingCache::beginPaint(qsizetype(width()) * height());
    // Shadows changed on many views are cast on the other cores while the tree is drawn.
    View::beginCastingKeptShadows(*m_root);
    {
        View::KeepingPictures keeping(true);
        QPainter painter(this);
        QPoint offset;
        const QImage* target = rasterTarget(painter, offset);
        // The part of the area that lies on the target's pixels.
        const QRect onTarget
            = target ? area & target->rect().translated(-offset) & rect() : QRect();
        if (!onTarget.isEmpty() && m_frame.size() != size())
            m_frame = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        if (!onTarget.isEmpty() && !m_frame.isNull()) {
            // Composited in a frame of our own from what the target shows there (the shadows
            // and pictures of many views are put down without a painter call each), then copied
            // back through the painter, whose clip keeps the pixels to the repainted region.
            copyIntoFrame(*target, offset, onTarget, m_frame);
            {
                GraphicsContext ctx(m_frame);
                ctx.clipToRect(drawn);
                m_root->displayInSuperview(ctx, drawn);
            }
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(onTarget.topLeft(), m_frame, onTarget);
        } else {
            GraphicsContext ctx(painter, width(), height());
            ctx.clipToRect(drawn);
            m_root->displayInSuperview(ctx, drawn);
        }
    }
    View::finishCastingShadows();
    m_root->clearNeedsDisplayInTree();
}

void ViewHost::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitRootToWidget();
}

// ---- pointer

void ViewHost::mousePressEvent(QMouseEvent* event)
{
    handlePress(event, false);
}

void ViewHost::mouseDoubleClickEvent(QMouseEvent* event)
{
    handlePress(event, true);
}

void ViewHost::handlePress(QMouseEvent* event, bool qtDoubleClick)
{
    const Point p = windowPointFromWidget(event->position());
    const unsigned flags = Event::modifierFlagsFromQt(event->modifiers());
    m_lastPointer = p;
    if (event->button() == Qt::MiddleButton && m_pressKind == PressKind::None) {
        deliverMiddlePress(event, p, flags);
        return;
    }
    PressKind kind = PressKind::None;
    if (event->button() == Qt::LeftButton)
        kind = (flags & ControlKeyMask) ? PressKind::Right : PressKind::Left;
    else if (event->button() == Qt::RightButton)
        kind = PressKind::Right;
    if (kind == PressKind::None || m_pressKind != PressKind::None) {
        // Other buttons, and a second button during a press, are not ours.
        event->ignore();
        return;
    }

    const qint64 now = m_clock.elapsed();
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool continues = event->button() == m_lastPressButton && m_lastPressTime >= 0
        && now - m_lastPressTime <= hints->mouseDoubleClickInterval()
        && QLineF(event->position(), m_lastPressPos).length() <= hints->mouseDoubleClickDistance();
    m_clickCount = continues ? m_clickCount + 1 : 1;
    if (qtDoubleClick)
        m_clickCount = std::max(m_clickCount, 2);
    m_lastPressTime = now;
    m_lastPressPos = event->position();
    m_lastPressButton = event->button();

    View* hit = m_root ? m_root->hitTest(p) : nullptr;
    if (!hit) {
        event->ignore();
        return;
    }
    if (hit->acceptsFirstResponder())
        makeFirstResponder(hit);
    m_pressTarget = ViewPointer(hit);
    m_pressKind = kind;
    m_pressButton = event->button();
    event->accept();
    // The responder change above may have run code that removed the view.
    if (View* target = m_pressTarget.get(); isInTree(target)) {
        if (kind == PressKind::Left)
            target->mouseDown(Event::mouseEvent(EventType::LeftMouseDown, p, flags, m_clickCount));
        else
            target->rightMouseDown(
                Event::mouseEvent(EventType::RightMouseDown, p, flags, m_clickCount));
    }
}

bool ViewHost::isOverEditedText(const QPointF& widgetPoint) const
{
    const TextInputClient* client = inputClient();
    View* responder = firstResponder();
    if (!client || !client->isEditingText() || !responder)
        return false;
    return responder->bounds().contains(
        responder->convertPointFromView(windowPointFromWidget(widgetPoint), nullptr));
}

void ViewHost::deliverMiddlePress(QMouseEvent* event, const Point& p, unsigned flags)
{
    // Text being edited takes a middle press anywhere over it, whatever view the box layer
    // puts on top for its own gestures; elsewhere the view under the pointer does.
    View* target = firstResponder();
    if (!target || !target->bounds().contains(target->convertPointFromView(p, nullptr)))
        target = m_root ? m_root->hitTest(p) : nullptr;
    const bool handled = target
        && target->otherMouseDown(Event::mouseEvent(EventType::OtherMouseDown, p, flags, 1));
    event->setAccepted(handled);
}

void ViewHost::mouseMoveEvent(QMouseEvent* event)
{
    const Point p = windowPointFromWidget(event->position());
    const unsigned flags = Event::modifierFlagsFromQt(event->modifiers());
    m_lastPointer = p;
    if (m_pressKind != PressKind::None && !(event->buttons() & m_pressButton)) {
        // The release went elsewhere (a pop-up, a grab): end the press quietly.
        m_pressKind = PressKind::None;
        m_pressTarget = ViewPointer();
    }
    if (m_pressKind != PressKind::None) {
        if (View* target = m_pressTarget.get(); isInTree(target)) {
            if (m_pressKind == PressKind::Left)
                target->mouseDragged(
                    Event::mouseEvent(EventType::LeftMouseDragged, p, flags, m_clickCount));
            else
                target->rightMouseDragged(
                    Event::mouseEvent(EventType::RightMouseDragged, p, flags, m_clickCount));
        }
        updateTracking(p, flags, true);
    } else {
        updateTracking(p, flags, false);
        updateHoverCursor(p);
    }
    event->accept();
}

void ViewHost::mouseReleaseEvent(QMouseEvent* event)
{
    const Point p = windowPointFromWidget(event->position());
    const unsigned flags = Event::modifierFlagsFromQt(event->modifiers());
    m_lastPointer = p;
    if (m_pressKind == PressKind::None || event->button() != m_pressButton) {
        event->ignore();
        return;
    }
    const PressKind kind = m_pressKind;
    View* target = m_pressTarget.get();
    m_pressKind = PressKind::None;
    m_pressTarget = ViewPointer();
    if (isInTree(target)) {
        if (kind == PressKind::Left)
            target->mouseUp(Event::mouseEvent(EventType::LeftMouseUp, p, flags, m_clickCount));
        else
            target->rightMouseUp(
                Event::mouseEvent(EventType::RightMouseUp, p, flags, m_clickCount));
    }
    event->accept();
    updateTracking(p, flags, false);
    updateHoverCursor(p);
}

void ViewHost::wheelEvent(QWheelEvent* event)
{
    const Point p = windowPointFromWidget(event->position());
    m_lastPointer = p;
    View* hit = m_root ? m_root->hitTest(p) : nullptr;
    if (!hit) {
        event->ignore();
        return;
    }
    // A wheel notch is 120 eighths of a degree and counts as one line; without precise
    // deltas the scrolling deltas are in lines too.
    const double lineX = event->angleDelta().x() / 120.0;
    const double lineY = event->angleDelta().y() / 120.0;
    const bool precise = !event->pixelDelta().isNull();
    const double scrollX = precise ? event->pixelDelta().x() : lineX;
    const double scrollY = precise ? event->pixelDelta().y() : lineY;
    const bool handled = hit->scrollWheel(Event::scrollEvent(p,
        Event::modifierFlagsFromQt(event->modifiers()), lineX, lineY, scrollX, scrollY, precise));
    event->setAccepted(handled);
}

void ViewHost::deliverGesture(QNativeGestureEvent* event)
{
    EventType type;
    double value = event->value();
    switch (event->gestureType()) {
    case Qt::ZoomNativeGesture:
        type = EventType::Magnify;
        break;
    case Qt::RotateNativeGesture:
        // Qt turns clockwise for positive values on its y-down screen; ours are
        // counter-clockwise.
        type = EventType::Rotate;
        value = -value;
        break;
    default:
        event->ignore();
        return;
    }
    const Point p = windowPointFromWidget(event->position());
    View* hit = m_root ? m_root->hitTest(p) : nullptr;
    if (!hit) {
        event->ignore();
        return;
    }
    const Event e
        = Event::gestureEvent(type, p, Event::modifierFlagsFromQt(event->modifiers()), value);
    const bool handled
        = type == EventType::Magnify ? hit->magnifyWithEvent(e) : hit->rotateWithEvent(e);
    event->setAccepted(handled);
}

double ViewHost::devicePixelRatio() const
{
    const double ratio = devicePixelRatioF();
    return std::isfinite(ratio) && ratio > 0.0 ? ratio : 1.0;
}

void ViewHost::watchWindow()
{
    QWidget* top = window();
    if (top == m_watchedWindow)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = top == this ? nullptr : top;
    if (m_watchedWindow)
        m_watchedWindow->installEventFilter(this);
}

bool ViewHost::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow)
        noteWindowEvent(event);
    return QWidget::eventFilter(watched, event);
}

void ViewHost::noteWindowEvent(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowBlocked:
        // A modal dialog over the window: for the views this is a sheet beginning.
        m_sheetAttached = true;
        Q_EMIT sheetWillBegin();
        break;
    case QEvent::WindowUnblocked:
        m_sheetAttached = false;
        break;
    case QEvent::WindowDeactivate:
        Q_EMIT resignedKey();
        break;
    default:
        break;
    }
}

void ViewHost::enterEvent(QEnterEvent* event)
{
    const Point p = windowPointFromWidget(event->position());
    m_lastPointer = p;
    const unsigned flags = Event::modifierFlagsFromQt(QGuiApplication::keyboardModifiers());
    updateTracking(p, flags, m_pressKind != PressKind::None);
    if (m_pressKind == PressKind::None)
        updateHoverCursor(p);
}

void ViewHost::leaveEvent(QEvent*)
{
    exitAllTrackingAreas(
        m_lastPointer, Event::modifierFlagsFromQt(QGuiApplication::keyboardModifiers()));
}

// ---- tracking areas

namespace {

struct AreaHit {
    View* owner = nullptr;
    TrackingArea area;
};

bool isActive(const View* owner, const TrackingArea& area)
{
    return !(area.options & TrackingActiveWhenFirstResponder) || owner->isFirstResponder();
}

// The areas under a point of the view's superview space, hidden views excepted.
void collectAreas(View* view, const Point& pointInSuperview, std::vector<AreaHit>& out)
{
    if (view->isHidden())
        return;
    const auto toSelf = view->transformToSuperview().inverted();
    if (!toSelf)
        return;
    const Point p = toSelf->map(pointInSuperview);
    for (const TrackingArea& area : view->trackingAreas()) {
        const Rect r
            = (area.options & TrackingInVisibleRect) ? view->bounds().standardized() : area.rect;
        if (isActive(view, area) && r.contains(p))
            out.push_back({ view, area });
    }
    for (View* sub : view->subviews())
        collectAreas(sub, p, out);
}

const TrackingArea* findArea(const View* owner, std::uint64_t id)
{
    for (const TrackingArea& a : owner->trackingAreas()) {
        if (a.id == id)
            return &a;
    }
    return nullptr;
}

} // namespace

void ViewHost::updateTracking(const Point& p, unsigned flags, bool buttonHeld)
{
    std::vector<AreaHit> now;
    if (m_root)
        collectAreas(m_root.get(), p, now);
    const auto isNow = [&now](const View* owner, std::uint64_t id) {
        return std::any_of(now.begin(), now.end(),
            [&](const AreaHit& h) { return h.owner == owner && h.area.id == id; });
    };
    // While a button is held, areas that do not track drags keep their state.
    const auto frozen = [buttonHeld](const TrackingArea& a) {
        return buttonHeld && !(a.options & TrackingEnabledDuringMouseDrag);
    };

    std::vector<AreaHit> exits, enters, moves;
    std::vector<Inside> stillInside;
    for (const Inside& in : m_inside) {
        View* owner = in.owner.get();
        const TrackingArea* area = isInTree(owner) ? findArea(owner, in.id) : nullptr;
        if (!area)
            continue; // the view or the area is gone: no exit to report
        if (isNow(owner, in.id) || frozen(*area))
            stillInside.push_back(in);
        else
            exits.push_back({ owner, *area });
    }
    for (const AreaHit& hit : now) {
        const bool wasInside = std::any_of(stillInside.begin(), stillInside.end(),
            [&](const Inside& in) { return in.owner.get() == hit.owner && in.id == hit.area.id; });
        if (!wasInside && !frozen(hit.area)) {
            stillInside.push_back({ ViewPointer(hit.owner), hit.area.id });
            enters.push_back(hit);
        }
        if (!buttonHeld && (hit.area.options & TrackingMouseMoved))
            moves.push_back(hit);
    }
    m_inside = std::move(stillInside);

    // Handlers may change the tree: each owner is checked before it is called.
    std::vector<std::pair<ViewPointer, Event>> events;
    for (const AreaHit& h : exits) {
        if (h.area.options & TrackingMouseEnteredAndExited)
            events.emplace_back(
                h.owner, Event::trackingEvent(EventType::MouseExited, p, flags, h.area));
    }
    for (const AreaHit& h : enters) {
        if (h.area.options & TrackingMouseEnteredAndExited)
            events.emplace_back(
                h.owner, Event::trackingEvent(EventType::MouseEntered, p, flags, h.area));
        if (h.area.options & TrackingCursorUpdate)
            events.emplace_back(
                h.owner, Event::trackingEvent(EventType::CursorUpdate, p, flags, h.area));
    }
    for (const AreaHit& h : moves)
        events.emplace_back(h.owner, Event::trackingEvent(EventType::MouseMoved, p, flags, h.area));

    for (const auto& [pointer, event] : events) {
        View* owner = pointer.get();
        if (!isInTree(owner))
            continue;
        switch (event.type()) {
        case EventType::MouseExited:
            owner->mouseExited(event);
            break;
        case EventType::MouseEntered:
            owner->mouseEntered(event);
            break;
        case EventType::CursorUpdate:
            owner->cursorUpdate(event);
            break;
        default:
            owner->mouseMoved(event);
            break;
        }
    }
}

void ViewHost::exitAllTrackingAreas(const Point& p, unsigned flags)
{
    std::vector<std::pair<ViewPointer, Event>> events;
    for (const Inside& in : m_inside) {
        View* owner = in.owner.get();
        const TrackingArea* area = isInTree(owner) ? findArea(owner, in.id) : nullptr;
        if (area && (area->options & TrackingMouseEnteredAndExited))
            events.emplace_back(
                in.owner, Event::trackingEvent(EventType::MouseExited, p, flags, *area));
    }
    m_inside.clear();
    for (const auto& [pointer, event] : events) {
        if (View* owner = pointer.get(); isInTree(owner))
            owner->mouseExited(event);
    }
}

// ---- cursors

void ViewHost::setViewCursor(const QCursor& cursor)
{
    m_viewCursor = cursor;
    m_hoverCursorShown = false;
    applyCursor(cursor);
}

void ViewHost::applyCursor(const QCursor& cursor)
{
    if (cursor.shape() != Qt::BitmapCursor && cursor.shape() == this->cursor().shape())
        return;
    QWidget::setCursor(cursor);
}

void ViewHost::updateHoverCursor(const Point& p)
{
    if (!m_root)
        return;
    for (View* v = m_root->hitTest(p); v; v = v->superview()) {
        if (const auto cursor = v->cursorForPoint(v->convertPointFromView(p, nullptr))) {
            applyCursor(*cursor);
            m_hoverCursorShown = true;
            return;
        }
    }
    if (m_hoverCursorShown) {
        applyCursor(m_viewCursor);
        m_hoverCursorShown = false;
    }
}

// ---- keys

bool ViewHost::event(QEvent* event)
{
    // What the views register while handling one input event is one undo step, however many
    // registrations it took (a nested event loop closes its own events' groups the same way).
    struct EndUndoGroups {
        bool input;
        ~EndUndoGroups()
        {
            if (input)
                UndoManager::endEventGroups();
        }
    } endUndoGroups { event->isInputEvent() || event->type() == QEvent::InputMethod };
    switch (event->type()) {
    case QEvent::NativeGesture:
        deliverGesture(static_cast<QNativeGestureEvent*>(event));
        return true;
    case QEvent::Show:
    case QEvent::ParentChange:
        watchWindow();
        break;
    case QEvent::WindowBlocked:
    case QEvent::WindowUnblocked:
    case QEvent::WindowDeactivate:
        if (window() == this)
            noteWindowEvent(event);
        break;
    default:
        break;
    }
    // While text is being edited its keys go to it, not to a shortcut of the same key.
    if (event->type() == QEvent::ShortcutOverride) {
        const TextInputClient* client = inputClient();
        if (client && client->isEditingText()
            && isTextEditingKey(*static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
    }
    // Tab belongs to the views while one of them takes keys, not to Qt's focus chain.
    if (event->type() == QEvent::KeyPress && firstResponder()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            if (key->isAccepted())
                return true;
        }
    }
    return QWidget::event(event);
}

bool ViewHost::isTextEditingKey(const QKeyEvent& event)
{
    // Undo and redo stay the window's: a text editor keeps no history of its own, its typing
    // is undone through the document's, and an undo run from inside the editor's own key
    // handling would rebuild the very box handling the key.
    for (const QKeySequence::StandardKey key : { QKeySequence::Copy, QKeySequence::Cut,
             QKeySequence::Paste, QKeySequence::SelectAll, QKeySequence::Delete })
        if (event.matches(key))
            return true;
    switch (event.key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    default:
        return false;
    }
}

void ViewHost::keyPressEvent(QKeyEvent* event)
{
    deliverKey(event, EventType::KeyDown);
}

void ViewHost::keyReleaseEvent(QKeyEvent* event)
{
    deliverKey(event, EventType::KeyUp);
}

void ViewHost::deliverKey(QKeyEvent* event, EventType type)
{
    // Without a first responder the root view, standing for the window, gets the keys.
    View* receiver = firstResponder();
    if (!receiver)
        receiver = m_root.get();
    if (!receiver) {
        event->ignore();
        return;
    }
    const Event e = Event::keyEvent(type, Event::modifierFlagsFromQt(event->modifiers()),
        Event::keyCodeFromQt(event->key()), Event::charactersFromQt(event->key(), event->text()),
        event->isAutoRepeat());
    const bool handled = type == EventType::KeyDown ? receiver->keyDown(e) : receiver->keyUp(e);
    event->setAccepted(handled);
    QWidget* top = window();
    if (!handled && top && top != this) {
        // The window is the end of the responder chain. (Qt's send leaves the event accepted
        // unless the window's handler ignores it.)
        event->accept();
        QCoreApplication::sendEvent(top, event);
    }
}

} // namespace platform
