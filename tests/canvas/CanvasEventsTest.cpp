// Pointer and gesture routing through a real host: brush mode sends everything to the tool
// controls, box mode lets clicks through the picture layers to the box layer, a sheet over
// the window stops the brush, and a pinch reaches only the canvas of its own window. Then the
// whole brush path with the real canvas controls: a press in brush mode paints the mask and
// brings the picture over the box only around it.
#include "CanvasTestSupport.h"
#include "FakeCanvasWindow.h"
#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "canvas/CanvasPanning.h"
#include "canvas/CanvasView.h"
#include "canvas/PaintView.h"
#include "canvas/RenderView.h"
#include "container/TextViewContainer.h"
#include "platform/document/NotificationCenter.h"
#include "platform/ui/ViewHost.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <gtest/gtest.h>

using namespace platform;
using namespace canvas;
using canvastest::FakeCanvasWindow;

namespace {

class RecordingControls : public ToolControls {
public:
    bool painting = false;
    std::vector<std::string> calls;
    bool isPaintViewShowed() const override { return painting; }
    void mouseDownAt(const Point&, const Event&) override { calls.push_back("down"); }
    void mouseDraggedTo(const Point&, const Event&) override { calls.push_back("drag"); }
    void mouseMovedTo(const Point&, const Event&) override { calls.push_back("move"); }
    void mouseUpAt(const Point&, const Event&) override { calls.push_back("up"); }
    void updateMouseState() override { }
    void updateFrame() override { }
    void gestureRotateWithDelta(double, const Event&) override { calls.push_back("rotate"); }
    void gestureMagnify(double d, const Event&) override
    {
        calls.push_back("magnify " + std::to_string(d));
    }
};

class TestCanvas : public CanvasView {
public:
    RecordingControls controls;
    std::vector<std::string> undo;

protected:
    ToolControls* toolControls() const override
    {
        return const_cast<RecordingControls*>(&controls);
    }
    void prepUndoData() override { undo.push_back("prep"); }
    void logUndoData() override { undo.push_back("log"); }
};

// A 400 x 300 host whose root holds a canvas with a 200 x 100 picture at zoom 2.
struct Scene {
    FakeCanvasWindow window;
    ViewHost host;
    TestCanvas* canvas = nullptr;
    Scene()
    {
        host.resize(400, 300);
        auto root = std::make_unique<View>();
        canvas = root->addSubview(std::make_unique<TestCanvas>());
        host.setRootView(std::move(root));
        window.viewport = { 401, 201 };
        canvas->setCanvasWindow(&window);
        QImage q(200, 100, QImage::Format_ARGB32_Premultiplied);
        q.fill(Qt::gray);
        canvas->loadImage(Image::fromQImage(q));
        canvas->setCustomDrawingZoomScale(0);
    }
    void mouse(QEvent::Type type, Point working, Qt::MouseButtons buttons = Qt::LeftButton,
        Qt::MouseButton button = Qt::LeftButton)
    {
        const Point w
            = canvas->convertPointToView({ working.x * canvas->customDrawingZoomScale(),
                                             working.y * canvas->customDrawingZoomScale() },
                nullptr);
        const QPointF at = host.widgetPointFromWindow(w);
        QMouseEvent e(type, at, host.mapToGlobal(at), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&host, &e);
    }
    void key(QEvent::Type type, bool repeat = false)
    {
        QKeyEvent e(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), repeat);
        QCoreApplication::sendEvent(&host, &e);
    }
    void pinch(double delta)
    {
        const QPointF at(200, 150);
        QNativeGestureEvent e(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2,
            at, at, host.mapToGlobal(at), delta, QPointF());
        QCoreApplication::sendEvent(&host, &e);
    }
};

} // namespace

TEST(CanvasEvents, BrushModeRoutesToTheControlsAndBoxModeToTheBoxLayer)
{
    struct Row {
        const char* name;
        bool painting;
        std::vector<std::string> controls;
        std::vector<std::string> undo;
        bool boxLayerPressed;
    };
    const Row rows[] = {
        { "brush mode: the controls get the stroke inside the undo bracket", true,
            { "down", "drag", "up" }, { "prep", "log" }, false },
        { "box mode: the click passes the picture layers to the box layer", false, {}, {}, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene s;
        s.canvas->controls.painting = row.painting;
        s.mouse(QEvent::MouseButtonPress, { 100, 50 });
        EXPECT_EQ(s.canvas->textViewContainer()->isMouseDown, row.boxLayerPressed);
        s.mouse(QEvent::MouseMove, { 110, 55 });
        s.mouse(QEvent::MouseButtonRelease, { 110, 55 }, Qt::NoButton);
        // Moves the host's tracking sends on the way are the controls' too; the stroke is
        // what counts here.
        auto& calls = s.canvas->controls.calls;
        calls.erase(std::remove(calls.begin(), calls.end(), "move"), calls.end());
        EXPECT_EQ(calls, row.controls);
        EXPECT_EQ(s.canvas->undo, row.undo);
        EXPECT_FALSE(s.canvas->mouseDown());
    }
}

// The middle button, and the left one while Space is held over the canvas, drag the picture
// in its scroll view instead of painting; Space's repeats are swallowed, and once it is let go
// the left button paints again. Moving the pointer by (+10, -5) working points at zoom 2 moves
// the visible area by (-20, +10) (y-up): the picture follows the pointer.
TEST(CanvasEvents, MiddleButtonAndSpaceDragPanInsteadOfPainting)
{
    struct Row {
        const char* name;
        Qt::MouseButton button;
        bool space;
    };
    const Row rows[] = {
        { "middle button", Qt::MiddleButton, false },
        { "space and the left button", Qt::LeftButton, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene s;
        s.canvas->controls.painting = true;
        s.window.scroll = { 100, 50 };
        s.mouse(QEvent::MouseMove, { 100, 50 }, Qt::NoButton);
        if (row.space) {
            s.key(QEvent::KeyPress);
            s.key(QEvent::KeyPress, true);
            EXPECT_TRUE(s.canvas->panning().isSpaceHeld());
        }
        s.canvas->controls.calls.clear();
        s.mouse(QEvent::MouseButtonPress, { 100, 50 }, row.button, row.button);
        EXPECT_TRUE(s.canvas->panning().isPanning());
        s.mouse(QEvent::MouseMove, { 110, 45 }, row.button, Qt::NoButton);
        s.mouse(QEvent::MouseButtonRelease, { 110, 45 }, Qt::NoButton, row.button);
        EXPECT_FALSE(s.canvas->panning().isPanning());
        EXPECT_EQ(s.window.scroll, Point(80, 60));
        EXPECT_TRUE(s.canvas->controls.calls.empty()) << "nothing painted";
        EXPECT_TRUE(s.canvas->undo.empty());
        if (row.space) {
            s.key(QEvent::KeyRelease);
            EXPECT_FALSE(s.canvas->panning().isSpaceHeld());
        }
        s.mouse(QEvent::MouseButtonPress, { 100, 50 });
        s.mouse(QEvent::MouseButtonRelease, { 100, 50 }, Qt::NoButton);
        EXPECT_EQ(s.window.scroll, Point(80, 60));
        EXPECT_NE(
            std::find(s.canvas->controls.calls.begin(), s.canvas->controls.calls.end(), "down"),
            s.canvas->controls.calls.end())
            << "the left button paints again";
    }
}

TEST(CanvasEvents, APinchReachesOnlyTheCanvasOfItsWindow)
{
    Scene first, second;
    first.pinch(0.25);
    EXPECT_EQ(first.canvas->controls.calls, std::vector<std::string> { "magnify 0.250000" });
    EXPECT_TRUE(second.canvas->controls.calls.empty());
}

TEST(CanvasEvents, NoBrushOutlineWhileASheetIsOverTheWindow)
{
    QWidget top;
    auto* host = new ViewHost(&top);
    host->resize(400, 300);
    auto root = std::make_unique<View>();
    PaintView* paint = root->addSubview(std::make_unique<PaintView>(Rect(0, 0, 400, 300)));
    host->setRootView(std::move(root));
    top.resize(400, 300);
    top.show();

    paint->mouseEntered(Event::mouseEvent(EventType::MouseEntered, { 100, 100 }, 0));
    ASSERT_TRUE(paint->isBrushActive());
    ASSERT_TRUE(paint->outlineCenter());
    EXPECT_EQ(host->cursor().shape(), Qt::BlankCursor);

    QDialog sheet(&top);
    sheet.setWindowModality(Qt::WindowModal);
    sheet.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(paint->isBrushActive());
    EXPECT_FALSE(paint->outlineCenter());
    EXPECT_NE(host->cursor().shape(), Qt::BlankCursor);
    // Moving under the sheet does not bring it back.
    paint->mouseMoved(Event::mouseEvent(EventType::MouseMoved, { 120, 100 }, 0));
    EXPECT_FALSE(paint->isBrushActive());

    sheet.hide();
    QCoreApplication::processEvents();
    paint->mouseMoved(Event::mouseEvent(EventType::MouseMoved, { 130, 100 }, 0));
    EXPECT_TRUE(paint->isBrushActive());
    ASSERT_TRUE(paint->outlineCenter());
    EXPECT_EQ(*paint->outlineCenter(), Point(130, 100));
}

TEST(CanvasEvents, BrushSizeChangesWithoutTheButtonShowNoPreview)
{
    QWidget top;
    auto* host = new ViewHost(&top);
    auto root = std::make_unique<View>();
    PaintView* paint = root->addSubview(std::make_unique<PaintView>(Rect(0, 0, 400, 300)));
    host->setRootView(std::move(root));
    top.show();
    const auto before = top.findChildren<QWidget*>().size();
    paint->mouseEntered(Event::mouseEvent(EventType::MouseEntered, { 100, 100 }, 0));
    paint->setBrushSize(80);
    EXPECT_EQ(top.findChildren<QWidget*>().size(), before);
    // The outline takes the new size at once, where the pointer is.
    ASSERT_TRUE(paint->outlineCenter());
    EXPECT_EQ(*paint->outlineCenter(), Point(100, 100));
    EXPECT_EQ(paint->brushSize(), 80);
}

namespace {

// A 400 x 200 red picture at the best fit (zoom 1) of a 401 x 201 viewport, in a host, with a
// blue box over its middle.
struct FlowScene {
    FakeCanvasWindow window;
    ViewHost host;
    CanvasControls* canvas = nullptr;
    FlowScene()
    {
        host.resize(401, 201);
        auto root = std::make_unique<View>();
        canvas = root->addSubview(std::make_unique<CanvasControls>());
        host.setRootView(std::move(root));
        window.viewport = { 401, 201 };
        canvas->setCanvasWindow(&window);
        canvas->loadImage(Image::fromQImage(canvastest::solidPicture(400, 200, QColor(255, 0, 0))));
        canvas->setCustomDrawingZoomScale(0);
        canvas->textViewContainer()->addSubview(
            std::make_unique<canvastest::BlueBox>(Rect(100, 50, 200, 100)));
        settle();
    }
    CanvasCustomShapeControls* brush() const
    {
        return dynamic_cast<CanvasCustomShapeControls*>(canvas->controls());
    }
    // Runs the event loop until no render is pending for a while.
    void settle()
    {
        QElapsedTimer clock;
        clock.start();
        qint64 key = -1;
        QElapsedTimer quiet;
        quiet.start();
        while (clock.elapsed() < 10000 && quiet.elapsed() < 300) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            const qint64 now = canvas->renderView()->renderedPixels().cacheKey();
            if (now != key) {
                key = now;
                quiet.restart();
            }
        }
    }
    QPointF widgetPoint(Point working)
    {
        const double z = canvas->customDrawingZoomScale();
        return host.widgetPointFromWindow(
            canvas->convertPointToView({ working.x * z, working.y * z }, nullptr));
    }
    void click(Point working)
    {
        const QPointF at = widgetPoint(working);
        QMouseEvent press(QEvent::MouseButtonPress, at, host.mapToGlobal(at), Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&host, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, host.mapToGlobal(at), Qt::LeftButton,
            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&host, &release);
    }
    QColor at(Point working)
    {
        const QImage img = renderToImage(*canvas, canvas->bounds(), 1.0).toQImage();
        const double z = canvas->customDrawingZoomScale();
        return img.pixelColor(int(working.x * z), int(img.height() - 1 - working.y * z));
    }
};

bool isColour(QColor c, QColor e)
{
    return std::abs(c.red() - e.red()) <= 3 && std::abs(c.green() - e.green()) <= 3
        && std::abs(c.blue() - e.blue()) <= 3;
}

} // namespace

TEST(CanvasBrushFlow, APressInBrushModePaintsThePictureOverTheBoxThereOnly)
{
    struct Row {
        const char* name;
        bool brushMode;
        QColor atPress; // the box's middle, where the press lands
    };
    const Row rows[] = {
        { "brush mode: the picture comes to the front", true, QColor(255, 0, 0) },
        { "box mode: the press goes to the boxes, nothing is painted", false, QColor(0, 0, 255) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FlowScene s;
        ASSERT_TRUE(s.brush());
        ASSERT_TRUE(isColour(s.at({ 200, 100 }), QColor(0, 0, 255)));
        if (row.brushMode) {
            s.brush()->showPaintView();
            ASSERT_TRUE(s.brush()->paintView());
            s.brush()->paintView()->setBrushSize(40);
            s.brush()->paintView()->setBrushHardness(1);
        } else {
            s.brush()->hidePaintView();
        }
        s.click({ 200, 100 });
        s.settle();
        EXPECT_TRUE(isColour(s.at({ 200, 100 }), row.atPress))
            << s.at({ 200, 100 }).name().toStdString();
        // Outside the dab the box stays in front, and the picture shows around the box.
        EXPECT_TRUE(isColour(s.at({ 260, 100 }), QColor(0, 0, 255)));
        EXPECT_TRUE(isColour(s.at({ 50, 100 }), QColor(255, 0, 0)));
    }
}

// The hole a dab makes in the box layer stays on the painted part of the picture when the
// picture is zoomed, whether the dab was laid before the zoom or during it. The picture zooms
// about its centre (200, 100): at 1.4, picture point (150, 130) shows at (130, 142).
TEST(CanvasBrushFlow, TheHoleFollowsThePictureThroughTheZoom)
{
    struct Row {
        const char* name;
        double paintAt, showAt; // the picture's scale while painting and while probing
        Point click;
    };
    const Row rows[] = {
        { "painted, then zoomed to 40 %", 1.0, 1.4, { 150, 130 } },
        { "painted zoomed, then zoomed out", 1.4, 1.0, { 130, 142 } },
    };
    const Point onPicture(150, 130), zoomed(130, 142);
    const QColor red(255, 0, 0), blue(0, 0, 255);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FlowScene s;
        s.brush()->showPaintView();
        s.brush()->paintView()->setBrushSize(20);
        s.brush()->paintView()->setBrushHardness(1);
        s.canvas->setScale(row.paintAt);
        s.click(row.click);
        s.canvas->setScale(row.showAt);
        s.settle();
        const Point hole = row.showAt == 1.0 ? onPicture : zoomed;
        const Point left = row.showAt == 1.0 ? zoomed : onPicture;
        EXPECT_TRUE(isColour(s.at(hole), red)) << s.at(hole).name().toStdString();
        EXPECT_TRUE(isColour(s.at(left), blue)) << "no hole where the subject was";
    }
}

TEST(CanvasBrushFlow, APinchIsPostedForItsOwnCanvasOnly)
{
    FlowScene first, second;
    for (FlowScene* s : { &first, &second })
        s->brush()->hidePaintView();
    std::vector<const void*> zoomed;
    QObject context;
    for (FlowScene* s : { &first, &second }) {
        const void* sender = static_cast<const View*>(s->canvas);
        NotificationCenter::defaultCenter().addObserver(CanvasCustomShapeControls::kRequestZoom,
            sender, &context, [&zoomed, sender](const Notification&) { zoomed.push_back(sender); });
    }
    const QPointF at = first.widgetPoint({ 200, 100 });
    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2,
        at, at, first.host.mapToGlobal(at), 0.1, QPointF());
    QCoreApplication::sendEvent(&first.host, &pinch);
    ASSERT_EQ(zoomed.size(), 1u);
    EXPECT_EQ(zoomed[0], static_cast<const View*>(first.canvas));
}
