// Pinch and turn gestures from Qt's native gesture events, the window's sheet and key changes
// as the host reports them, and the absolute unit scale that the canvas zoom relies on.
#include "TestViews.h"
#include "platform/ui/ViewHost.h"

#include <QCoreApplication>
#include <QDialog>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class GestureView : public View {
public:
    using View::View;
    std::vector<std::pair<EventType, double>> got;
    bool magnifyWithEvent(const Event& e) override
    {
        got.push_back({ e.type(), e.magnification() });
        return true;
    }
    bool rotateWithEvent(const Event& e) override
    {
        got.push_back({ e.type(), e.rotation() });
        return true;
    }
};

} // namespace

TEST(ViewHostGestures, PinchAndTurnReachTheViewUnderThePointer)
{
    struct Row {
        const char* name;
        Qt::NativeGestureType qt;
        double value;
        EventType type;
        double expected;
    };
    const Row rows[] = {
        { "pinch out", Qt::ZoomNativeGesture, 0.25, EventType::Magnify, 0.25 },
        { "pinch in", Qt::ZoomNativeGesture, -0.1, EventType::Magnify, -0.1 },
        // Qt turns clockwise for positive values; the views count counter-clockwise.
        { "turn clockwise", Qt::RotateNativeGesture, 15.0, EventType::Rotate, -15.0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewHost host;
        host.resize(200, 100);
        auto root = std::make_unique<View>();
        auto* left = root->addSubview(std::make_unique<GestureView>(Rect(0, 0, 100, 100)));
        auto* right = root->addSubview(std::make_unique<GestureView>(Rect(100, 0, 100, 100)));
        host.setRootView(std::move(root));
        QNativeGestureEvent e(row.qt, QPointingDevice::primaryPointingDevice(), 2, QPointF(150, 50),
            QPointF(150, 50), QPointF(150, 50), row.value, QPointF());
        QCoreApplication::sendEvent(&host, &e);
        EXPECT_TRUE(left->got.empty());
        ASSERT_EQ(right->got.size(), 1u);
        EXPECT_EQ(right->got[0].first, row.type);
        EXPECT_DOUBLE_EQ(right->got[0].second, row.expected);
    }
}

TEST(ViewHostGestures, ModalDialogIsASheetAndDeactivationResignsKey)
{
    QWidget window;
    auto* host = new ViewHost(&window);
    host->setRootView(std::make_unique<View>());
    window.resize(200, 100);
    window.show();
    int began = 0, resigned = 0;
    QObject::connect(host, &ViewHost::sheetWillBegin, [&] { ++began; });
    QObject::connect(host, &ViewHost::resignedKey, [&] { ++resigned; });
    EXPECT_FALSE(host->hasAttachedSheet());

    QDialog sheet(&window);
    sheet.setWindowModality(Qt::WindowModal);
    sheet.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(began, 1);
    EXPECT_TRUE(host->hasAttachedSheet());
    sheet.hide();
    QCoreApplication::processEvents();
    EXPECT_FALSE(host->hasAttachedSheet());

    // The dialog may have taken the activation already; a later deactivation counts again.
    const int before = resigned;
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(&window, &deactivate);
    EXPECT_EQ(resigned, before + 1);
}

TEST(ViewUnitScale, AbsoluteScaleStaysExactOverManyZoomSteps)
{
    View canvas(Rect(0, 0, 400, 300));
    auto* boxes = canvas.addSubview(std::make_unique<View>(Rect(0, 0, 400, 300)));
    double zoom = 1.0;
    for (int i = 0; i < 50; ++i) {
        zoom = 0.37 * (1 + (i * 7) % 11);
        boxes->setUnitScale({ zoom, zoom });
    }
    EXPECT_EQ(boxes->unitScale().width, zoom);
    EXPECT_EQ(boxes->unitScale().height, zoom);
    // A box point maps to zoom times itself, and back to the same numbers.
    const Point p = boxes->convertPointToView({ 123.25, 45.5 }, &canvas);
    EXPECT_DOUBLE_EQ(p.x, 123.25 * zoom);
    EXPECT_DOUBLE_EQ(p.y, 45.5 * zoom);
    EXPECT_EQ(boxes->bounds().size.width, 400 / zoom);

    for (const Size bad : { Size(0, 1), Size(1, NAN), Size(INFINITY, 1) }) {
        boxes->setUnitScale(bad);
        EXPECT_EQ(boxes->unitScale().width, zoom);
    }
    EXPECT_DOUBLE_EQ(boxes->backingScaleFactor(), 1.0);
}
