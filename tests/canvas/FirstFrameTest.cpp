// A picture opened with boxes on it comes to the screen in one frame: the boxes are not drawn
// over an empty canvas first and again when the picture's render arrives.
#include "CanvasTestSupport.h"
#include "FakeCanvasWindow.h"
#include "canvas/CanvasView.h"
#include "canvas/RenderView.h"
#include "container/TextViewContainer.h"
#include "platform/ui/ViewHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace platform;
using namespace canvas;

namespace {

// A blue box that counts its draws.
class CountedBox : public canvastest::BlueBox {
public:
    using BlueBox::BlueBox;
    int draws = 0;
    void drawRect(const Rect& dirty, GraphicsContext& ctx) override
    {
        ++draws;
        BlueBox::drawRect(dirty, ctx);
    }
};

void runUntil(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

TEST(FirstFrame, TheBoxesOfANewPictureAreDrawnOnceAsThePictureArrives)
{
    canvastest::FakeCanvasWindow window;
    window.viewport = { 401, 201 };
    ViewHost host;
    host.resize(401, 201);
    auto root = std::make_unique<View>(Rect(0, 0, 401, 201));
    auto* canvas = root->addSubview(std::make_unique<CanvasView>(Rect(0, 0, 401, 201)));
    host.setRootView(std::move(root));
    canvas->setCanvasWindow(&window);
    canvas->loadImage(Image::fromQImage(canvastest::solidPicture(200, 100, Qt::red)));
    canvas->setCustomDrawingZoomScale(0);
    auto* box = canvas->textViewContainer()->addSubview(
        std::make_unique<CountedBox>(Rect(50, 25, 100, 50)));
    host.show();
    // Until the picture's render comes, the window paints as often as it is asked to.
    runUntil([&] { return !canvas->renderView()->renderedPixels().isNull(); });
    ASSERT_FALSE(canvas->renderView()->renderedPixels().isNull());
    runUntil([&] { return box->draws > 0; }, 2000);
    QCoreApplication::processEvents();
    EXPECT_EQ(box->draws, 1);

    // The frame shows the picture (its top layer over the box until a mask is painted).
    const QImage frame = host.grab().toImage();
    const auto pixel = [&](Point p) {
        const Point q = box->superview()->convertPointToView(p, nullptr);
        return frame.pixelColor(int(q.x), frame.height() - 1 - int(q.y));
    };
    EXPECT_EQ(pixel({ 20, 50 }), QColor(Qt::red));
}
