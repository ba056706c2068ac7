// Qt events through a ViewHost into a turned, zoomed view tree: routing, modifiers, key codes,
// click counts, right clicks, tracking areas, cursors, first responder and input methods.
#include "TestViews.h"
#include "platform/ui/TextInputClient.h"
#include "platform/ui/ViewHost.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace platform;
using uitest::RecordingView;

namespace {

// A host of 400 x 300 with the canvas zoomed 2x and a box turned 30 degrees about its centre:
// the nest the canvas builds.
struct Scene {
    ViewHost host;
    RecordingView* canvas = nullptr;
    RecordingView* box = nullptr;

    Scene()
    {
        host.resize(400, 300);
        auto root = std::make_unique<View>();
        auto canvasView = std::make_unique<RecordingView>(Rect(0, 0, 400, 300));
        canvasView->scaleUnitSquareToSize({ 2, 2 });
        auto boxView = std::make_unique<RecordingView>(Rect(50, 40, 60, 30));
        boxView->setFrameCenterRotation(30);
        box = canvasView->addSubview(std::move(boxView));
        canvas = root->addSubview(std::move(canvasView));
        host.setRootView(std::move(root));
    }

    QPointF widgetPoint(View* v, const Point& local) const
    {
        return host.widgetPointFromWindow(v->convertPointToView(local, nullptr));
    }

    void mouse(QEvent::Type type, const QPointF& at, Qt::MouseButton button,
        Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QMouseEvent e(type, at, host.mapToGlobal(at), button, buttons, mods);
        QCoreApplication::sendEvent(&host, &e);
    }
    void key(QEvent::Type type, int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier,
        const QString& text = {})
    {
        QKeyEvent e(type, qtKey, mods, text);
        QCoreApplication::sendEvent(&host, &e);
    }
};

} // namespace

TEST(EventTranslation, ModifierBitsFromQt)
{
    struct Row {
        const char* name;
        Qt::KeyboardModifiers qt;
        unsigned flags;
    };
    const Row rows[] = {
        { "none", Qt::NoModifier, 0 },
        { "shift", Qt::ShiftModifier, 0x20000 },
        { "meta is control", Qt::MetaModifier, 0x40000 },
        { "alt is option", Qt::AltModifier, 0x80000 },
        { "ctrl is command", Qt::ControlModifier, 0x100000 },
        { "keypad is no modifier", Qt::KeypadModifier, 0 },
    };
    for (const Row& row : rows)
        EXPECT_EQ(Event::modifierFlagsFromQt(row.qt), row.flags) << row.name;
}

TEST(EventTranslation, KeyCodesAndCharacters)
{
    struct Row {
        int qtKey;
        std::uint16_t code;
        QString characters; // for an empty Qt text
    };
    const Row rows[] = {
        { Qt::Key_Left, 123, QString(QChar(0xF702)) },
        { Qt::Key_Up, 126, QString(QChar(0xF700)) },
        { Qt::Key_Backspace, 51, QString(QChar(0x7F)) },
        { Qt::Key_Delete, 117, QString(QChar(0xF728)) },
        { Qt::Key_Return, 36, "\r" },
        { Qt::Key_Tab, 48, "\t" },
        { Qt::Key_A, 0, "" },
        { Qt::Key_Z, 6, "" },
        { Qt::Key_F13, KeyCodeUnknown, "" },
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Event::keyCodeFromQt(row.qtKey), row.code) << row.qtKey;
        EXPECT_EQ(Event::charactersFromQt(row.qtKey, QString()), row.characters) << row.qtKey;
    }
    EXPECT_EQ(Event::charactersFromQt(Qt::Key_A, "a"), "a");
    // X11 gives Ctrl+A as 0x01 and Ctrl+V as 0x16; shortcuts look for the letter.
    EXPECT_EQ(Event::charactersFromQt(Qt::Key_A, QString(QChar(0x01))), "a");
    EXPECT_EQ(Event::charactersFromQt(Qt::Key_V, QString(QChar(0x16))), "v");
}

TEST(ViewHostEvents, PressDragReleaseReachTheTurnedZoomedBox)
{
    Scene s;
    const QPointF down = s.widgetPoint(s.box, { 10, 5 });
    s.mouse(QEvent::MouseButtonPress, down, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    // The drag leaves the box; it and the release still go to the box.
    const QPointF away = s.widgetPoint(s.canvas, { 5, 5 });
    s.mouse(QEvent::MouseMove, away, Qt::NoButton, Qt::LeftButton);
    s.mouse(QEvent::MouseButtonRelease, away, Qt::LeftButton, Qt::NoButton);

    ASSERT_EQ(s.box->types(),
        (std::vector<EventType> {
            EventType::LeftMouseDown, EventType::LeftMouseDragged, EventType::LeftMouseUp }));
    EXPECT_TRUE(s.canvas->events.empty());
    EXPECT_POINT_NEAR(s.box->events[0].local, Point(10, 5), 1e-9);
    EXPECT_EQ(s.box->events[0].flags, unsigned(ShiftKeyMask));
    EXPECT_EQ(s.box->events[0].clickCount, 1);
    EXPECT_POINT_NEAR(
        s.box->events[2].local, s.box->convertPointFromView({ 5, 5 }, s.canvas), 1e-9);

    // Just outside the turned outline (but inside its bounding box) the canvas gets it.
    const QPointF outside = s.widgetPoint(s.box, { -2, 25 });
    s.mouse(QEvent::MouseButtonPress, outside, Qt::LeftButton, Qt::LeftButton);
    s.mouse(QEvent::MouseButtonRelease, outside, Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(s.canvas->types(),
        (std::vector<EventType> { EventType::LeftMouseDown, EventType::LeftMouseUp }));
    EXPECT_POINT_NEAR(
        s.canvas->events[0].local, s.canvas->convertPointFromView({ -2, 25 }, s.box), 1e-9);
}

TEST(ViewHostEvents, ControlClickIsARightClickAndDoubleClickCountsTwo)
{
    Scene s;
    const QPointF at = s.widgetPoint(s.box, { 30, 15 });
    s.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, Qt::MetaModifier);
    s.mouse(QEvent::MouseMove, at + QPointF(3, 0), Qt::NoButton, Qt::LeftButton, Qt::MetaModifier);
    s.mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(s.box->types(),
        (std::vector<EventType> {
            EventType::RightMouseDown, EventType::RightMouseDragged, EventType::RightMouseUp }));
    EXPECT_EQ(s.box->events[0].flags, unsigned(ControlKeyMask));

    s.box->events.clear();
    s.mouse(QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
    s.mouse(QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(s.box->types(),
        (std::vector<EventType> { EventType::RightMouseDown, EventType::RightMouseUp }));

    // Qt's sequence for a double click: press, release, double-click, release.
    s.box->events.clear();
    const QPointF other = s.widgetPoint(s.box, { 40, 10 });
    s.mouse(QEvent::MouseButtonPress, other, Qt::LeftButton, Qt::LeftButton);
    s.mouse(QEvent::MouseButtonRelease, other, Qt::LeftButton, Qt::NoButton);
    s.mouse(QEvent::MouseButtonDblClick, other, Qt::LeftButton, Qt::LeftButton);
    s.mouse(QEvent::MouseButtonRelease, other, Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(s.box->events.size(), 4u);
    EXPECT_EQ(s.box->events[0].clickCount, 1);
    EXPECT_EQ(s.box->events[2].type, EventType::LeftMouseDown);
    EXPECT_EQ(s.box->events[2].clickCount, 2);
    EXPECT_EQ(s.box->events[3].clickCount, 2);
}

TEST(ViewHostEvents, UnhandledEventsClimbTheResponderChain)
{
    Scene s;
    auto* plain = s.box->addSubview(std::make_unique<View>(Rect(0, 0, 20, 20)));
    const QPointF at = s.widgetPoint(plain, { 5, 5 });
    s.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(s.box->types(), (std::vector<EventType> { EventType::LeftMouseDown }));
    EXPECT_POINT_NEAR(s.box->events[0].local, s.box->convertPointFromView({ 5, 5 }, plain), 1e-9);
    s.mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);

    QWheelEvent wheel(at, s.host.mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&s.host, &wheel);
    ASSERT_EQ(s.box->events.back().type, EventType::ScrollWheel);
}

TEST(ViewHostEvents, KeysGoToTheFirstResponder)
{
    Scene s;
    s.box->takesKeys = true;
    const QPointF at = s.widgetPoint(s.box, { 10, 10 });
    s.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    s.mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(s.host.firstResponder(), s.box);
    EXPECT_TRUE(s.box->isFirstResponder());

    s.box->events.clear();
    s.key(QEvent::KeyPress, Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
    s.key(QEvent::KeyPress, Qt::Key_Tab);
    s.key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
    s.key(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, "x");
    ASSERT_EQ(s.box->events.size(), 4u);
    EXPECT_EQ(s.box->events[0].keyCode, KeyCodeLeftArrow);
    EXPECT_EQ(s.box->events[0].flags, unsigned(ShiftKeyMask | CommandKeyMask));
    EXPECT_EQ(s.box->events[1].keyCode, KeyCodeTab);
    EXPECT_EQ(s.box->events[2].characters, "x");
    EXPECT_EQ(s.box->events[3].type, EventType::KeyUp);

    // A view that leaves the tree stops being first responder.
    auto gone = s.box->removeFromSuperview();
    EXPECT_EQ(s.host.firstResponder(), nullptr);
    EXPECT_TRUE(s.host.makeFirstResponder(nullptr));
    EXPECT_FALSE(s.host.makeFirstResponder(gone.get()));
}

// The responder chain ends at the host's window: a key no view takes goes to the window's
// handler, not to a scroll area between them (which would scroll by the arrows and keep the
// key from the window).
TEST(ViewHostEvents, KeysNoViewTakesGoToTheWindowPastAScrollArea)
{
    class KeyWindow : public QWidget {
    public:
        std::vector<int> keys;

    protected:
        void keyPressEvent(QKeyEvent* e) override
        {
            keys.push_back(e->key());
            e->setAccepted(e->key() != Qt::Key_F5);
        }
        void keyReleaseEvent(QKeyEvent* e) override { keys.push_back(-e->key()); }
    };
    KeyWindow window;
    auto* scroll = new QScrollArea(&window);
    auto* host = new ViewHost;
    host->resize(800, 800);
    host->setRootView(std::make_unique<View>());
    scroll->setWidget(host);
    scroll->resize(200, 200);
    for (int key : { Qt::Key_Right, Qt::Key_Down }) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(host, &press);
        EXPECT_TRUE(press.isAccepted());
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(host, &release);
    }
    EXPECT_EQ(window.keys,
        (std::vector<int> { Qt::Key_Right, -Qt::Key_Right, Qt::Key_Down, -Qt::Key_Down }));
    EXPECT_EQ(scroll->horizontalScrollBar()->value(), 0) << "the scroll area saw the arrow";
    EXPECT_EQ(scroll->verticalScrollBar()->value(), 0);
}

// The middle button's press: to the first responder when it lands on it, else to the view
// under the pointer; releases and drags of it are nobody's.
TEST(ViewHostEvents, MiddlePressGoesToTheTextBeingEdited)
{
    Scene s;
    s.box->takesKeys = true;
    const QPointF at = s.widgetPoint(s.box, { 10, 10 });
    s.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    s.mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    s.box->events.clear();
    s.mouse(QEvent::MouseButtonPress, at, Qt::MiddleButton, Qt::MiddleButton);
    s.mouse(QEvent::MouseButtonRelease, at, Qt::MiddleButton, Qt::NoButton);
    ASSERT_EQ(s.box->types(), (std::vector<EventType> { EventType::OtherMouseDown }));
    EXPECT_POINT_NEAR(s.box->events[0].local, Point(10, 10), 1e-6);

    s.canvas->events.clear();
    const QPointF away = s.widgetPoint(s.canvas, { 190, 140 });
    s.mouse(QEvent::MouseButtonPress, away, Qt::MiddleButton, Qt::MiddleButton);
    EXPECT_EQ(s.canvas->types(), (std::vector<EventType> { EventType::OtherMouseDown }));
    EXPECT_EQ(s.box->events.size(), 1u);
}

TEST(ViewHostEvents, TrackingAreasReportEnterMoveExit)
{
    Scene s;
    s.box->addTrackingArea({},
        TrackingMouseEnteredAndExited | TrackingMouseMoved | TrackingActiveInKeyWindow
            | TrackingInVisibleRect);
    const auto move = [&](const QPointF& p, Qt::MouseButtons held = Qt::NoButton) {
        s.mouse(QEvent::MouseMove, p, Qt::NoButton, held);
    };
    move(s.widgetPoint(s.canvas, { 5, 5 }));
    EXPECT_TRUE(s.box->events.empty());
    move(s.widgetPoint(s.box, { 1, 1 }));
    move(s.widgetPoint(s.box, { 58, 28 }));
    move(s.widgetPoint(s.box, { -2, 25 })); // out across the turned edge
    EXPECT_EQ(s.box->types(),
        (std::vector<EventType> { EventType::MouseEntered, EventType::MouseMoved,
            EventType::MouseMoved, EventType::MouseExited }));
    EXPECT_POINT_NEAR(s.box->events[2].local, Point(58, 28), 1e-9);

    // During a drag the area keeps its state and catches up on release.
    s.box->events.clear();
    s.mouse(
        QEvent::MouseButtonPress, s.widgetPoint(s.box, { -2, 25 }), Qt::LeftButton, Qt::LeftButton);
    s.canvas->events.clear();
    move(s.widgetPoint(s.box, { 10, 10 }), Qt::LeftButton);
    EXPECT_TRUE(s.box->events.empty());
    s.mouse(
        QEvent::MouseButtonRelease, s.widgetPoint(s.box, { 10, 10 }), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(s.box->types(),
        (std::vector<EventType> { EventType::MouseEntered, EventType::MouseMoved }));

    // Leaving the widget exits; a removed area reports nothing.
    s.box->events.clear();
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&s.host, &leave);
    EXPECT_EQ(s.box->types(), (std::vector<EventType> { EventType::MouseExited }));
    s.box->events.clear();
    move(s.widgetPoint(s.box, { 10, 10 }));
    s.box->removeTrackingArea(s.box->trackingAreas().front().id);
    move(s.widgetPoint(s.canvas, { 5, 5 }));
    EXPECT_EQ(s.box->types(),
        (std::vector<EventType> { EventType::MouseEntered, EventType::MouseMoved }));
}

TEST(ViewHostEvents, HoverAndViewCursors)
{
    Scene s;
    s.box->hoverCursor = QCursor(Qt::IBeamCursor);
    s.mouse(QEvent::MouseMove, s.widgetPoint(s.box, { 10, 10 }), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(s.host.cursor().shape(), Qt::IBeamCursor);
    s.mouse(QEvent::MouseMove, s.widgetPoint(s.canvas, { 5, 5 }), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(s.host.cursor().shape(), Qt::ArrowCursor);
    // A cursor a view sets stays while nothing hovers with its own.
    s.canvas->setCursor(QCursor(Qt::CrossCursor));
    s.mouse(QEvent::MouseMove, s.widgetPoint(s.canvas, { 6, 5 }), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(s.host.cursor().shape(), Qt::CrossCursor);
    s.mouse(QEvent::MouseMove, s.widgetPoint(s.box, { 10, 10 }), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(s.host.cursor().shape(), Qt::IBeamCursor);
    s.mouse(QEvent::MouseMove, s.widgetPoint(s.canvas, { 6, 5 }), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(s.host.cursor().shape(), Qt::CrossCursor);
}

namespace {

class EditingView : public RecordingView, public TextInputClient {
public:
    using RecordingView::RecordingView;
    QString text, marked;
    void insertText(const QString& t) override
    {
        text += t;
        marked.clear();
    }
    void setMarkedText(const QString& t, int, int) override { marked = t; }
    bool hasMarkedText() const override { return !marked.isEmpty(); }
    Rect caretRect() const override { return { 10, 5, 1, 12 }; }
    bool editing = true;
    bool isEditingText() const override { return editing; }
};

} // namespace

TEST(ViewHostEvents, InputMethodsReachTheEditingView)
{
    ViewHost host;
    host.resize(200, 100);
    auto root = std::make_unique<View>();
    auto* editor = root->addSubview(std::make_unique<EditingView>(Rect(20, 30, 100, 40)));
    editor->takesKeys = true;
    host.setRootView(std::move(root));
    EXPECT_FALSE(host.inputMethodQuery(Qt::ImEnabled).toBool());
    ASSERT_TRUE(host.makeFirstResponder(editor));
    EXPECT_TRUE(host.testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_TRUE(host.inputMethodQuery(Qt::ImEnabled).toBool());
    // The caret (10, 5, 1, 12) in the view is (30, 35)-(31, 47) in window space, y-up.
    EXPECT_EQ(host.inputMethodQuery(Qt::ImCursorRectangle).toRectF(), QRectF(30, 100 - 47, 1, 12));

    QInputMethodEvent preedit("ka", {});
    QCoreApplication::sendEvent(&host, &preedit);
    EXPECT_EQ(editor->marked, "ka");
    QInputMethodEvent commit;
    commit.setCommitString("か");
    QCoreApplication::sendEvent(&host, &commit);
    EXPECT_EQ(editor->text, "か");
    EXPECT_FALSE(editor->hasMarkedText());
    QInputMethodEvent cancelled("ki", {});
    QCoreApplication::sendEvent(&host, &cancelled);
    QInputMethodEvent empty;
    QCoreApplication::sendEvent(&host, &empty);
    EXPECT_EQ(editor->marked, "");
    EXPECT_EQ(editor->text, "か");
}

namespace {

// Leaves the tree on a press, handing itself to a holder.
class LeavingView : public RecordingView {
public:
    using RecordingView::RecordingView;
    std::vector<std::unique_ptr<View>>* holder = nullptr;
    bool mouseDown(const Event& e) override
    {
        RecordingView::mouseDown(e);
        holder->push_back(removeFromSuperview());
        return true;
    }
};

} // namespace

TEST(ViewHostEvents, ViewsThatLeaveOrDieGetNoMoreEvents)
{
    Scene s;
    std::vector<std::unique_ptr<View>> holder;
    auto* leaving = s.canvas->addSubview(std::make_unique<LeavingView>(Rect(150, 100, 20, 20)));
    leaving->holder = &holder;
    leaving->addTrackingArea({}, TrackingMouseEnteredAndExited | TrackingInVisibleRect);
    const QPointF at = s.widgetPoint(leaving, { 5, 5 });
    s.mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    s.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    s.mouse(QEvent::MouseMove, at + QPointF(4, 4), Qt::NoButton, Qt::LeftButton);
    s.mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(holder.size(), 1u);
    EXPECT_EQ(leaving->types(),
        (std::vector<EventType> { EventType::MouseEntered, EventType::LeftMouseDown }));

    // Destroyed while the host still counts the pointer inside its area: nothing is sent.
    holder.clear();
    s.mouse(QEvent::MouseMove, s.widgetPoint(s.canvas, { 5, 5 }), Qt::NoButton, Qt::NoButton);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&s.host, &leave);
    EXPECT_TRUE(s.canvas->events.empty());
}

// While a view edits text, its editing keys override the window's shortcuts; otherwise, and
// for other keys, the shortcuts keep them.
TEST(ViewHostEvents, EditingTextTakesItsKeysBeforeShortcuts)
{
    ViewHost host;
    auto root = std::make_unique<View>();
    auto* editor = root->addSubview(std::make_unique<EditingView>(Rect(20, 30, 100, 40)));
    editor->takesKeys = true;
    host.setRootView(std::move(root));
    const auto overridden = [&host](int key, Qt::KeyboardModifiers mods) {
        QKeyEvent e(QEvent::ShortcutOverride, key, mods);
        e.ignore();
        QCoreApplication::sendEvent(&host, &e);
        return e.isAccepted();
    };
    struct Row {
        int key;
        Qt::KeyboardModifiers mods;
        bool textKey;
    } rows[] = { { Qt::Key_C, Qt::ControlModifier, true }, { Qt::Key_X, Qt::ControlModifier, true },
        { Qt::Key_V, Qt::ControlModifier, true }, { Qt::Key_A, Qt::ControlModifier, true },
        // Undo and redo go to the document, whose history holds the typing.
        { Qt::Key_Z, Qt::ControlModifier, false },
        { Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, false },
        { Qt::Key_Left, Qt::NoModifier, true }, { Qt::Key_Up, Qt::ShiftModifier, true },
        { Qt::Key_Backspace, Qt::NoModifier, true }, { Qt::Key_S, Qt::ControlModifier, false },
        { Qt::Key_BracketRight, Qt::ControlModifier, false } };
    for (const Row& row : rows)
        EXPECT_FALSE(overridden(row.key, row.mods)) << row.key << " without an editing view";
    ASSERT_TRUE(host.makeFirstResponder(editor));
    for (const Row& row : rows)
        EXPECT_EQ(overridden(row.key, row.mods), row.textKey) << row.key;
    editor->editing = false;
    EXPECT_FALSE(overridden(Qt::Key_C, Qt::ControlModifier)) << "no text being edited";
}
