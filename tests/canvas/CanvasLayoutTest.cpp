// The canvas's sizes and zoom: centring and overflow of its frame, the best fit, the slider's
// zoom range, the scroll that keeps the centre point, and boxes that keep their numbers.
#include "CanvasTestSupport.h"
#include "FakeCanvasWindow.h"
#include "canvas/CanvasGeometry.h"
#include "canvas/CanvasView.h"
#include "canvas/RenderView.h"
#include "container/MyInstantAlphaView.h"
#include "container/SelectedTextBoxView.h"
#include "container/TextViewContainer.h"

#include <QImage>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;
using namespace canvas;
using canvastest::FakeCanvasWindow;

namespace {

Image picture(int w, int h)
{
    return Image::fromQImage(canvastest::solidPicture(w, h, QColor(200, 120, 40)));
}

} // namespace

TEST(CanvasGeometry, FrameCentresSmallPicturesAndPinsLargeOnesAtTheOrigin)
{
    struct Row {
        const char* name;
        Size working;
        double zoom;
        Size viewport;
        Rect expected;
    };
    const Row rows[] = {
        { "smaller: centred", { 400, 300 }, 1.0, { 800, 600 }, { 200, 150, 400, 300 } },
        { "wider: x pinned", { 1000, 300 }, 1.0, { 800, 600 }, { 0, 150, 1000, 300 } },
        { "larger: both pinned", { 4000, 3000 }, 0.5, { 800, 600 }, { 0, 0, 2000, 1500 } },
        { "fractional: integral", { 401, 301 }, 0.5, { 800, 600 }, { 299, 224, 202, 152 } },
        { "no viewport", { 400, 300 }, 1.0, { 0, 0 }, { 0, 0, 400, 300 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(geometry::frameRect(row.working, row.zoom, row.viewport), row.expected);
    }
}

TEST(CanvasGeometry, BestFitAndSliderRange)
{
    struct Row {
        const char* name;
        Size working;
        Size viewport;
        double fit;
    };
    const Row rows[] = {
        { "height limits", { 4000, 3000 }, { 801, 601 }, 0.2f },
        { "width limits", { 1000, 100 }, { 501, 601 }, 0.5f },
        { "no viewport: negative", { 400, 300 }, { 0, 0 }, float(-1.0 / 300) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(geometry::bestFitZoom(row.working, row.viewport), row.fit);
    }
    EXPECT_DOUBLE_EQ(geometry::zoomForSlider(0.2, 0), 0.2);
    EXPECT_DOUBLE_EQ(geometry::zoomForSlider(0.2, 1), 0.6000000000000001);
}

TEST(CanvasGeometry, ZoomStepKeepsTheCentrePointAndRefusesBadInput)
{
    const Size working { 4000, 3000 };
    const Size viewport { 1001, 751 };
    // First step: from the fit (0.25), as if the visible origin were (0, 0) whatever it is.
    auto first = geometry::zoomStep(working, viewport, { 999, 999, 1001, 751 }, 0.0, 0.5);
    ASSERT_TRUE(first);
    EXPECT_DOUBLE_EQ(first->zoom, 0.5);
    EXPECT_EQ(first->canvasFrame, Rect(0, 0, 2000, 1500));
    EXPECT_EQ(first->documentSize, Size(2000, 1500));
    // The centre (500.5, 375.5) at 0.25 is picture point (2002, 1502); at 0.5 it lies at
    // (1001, 751), so the visible origin goes to (500.5, 375.5).
    EXPECT_DOUBLE_EQ(first->scrollPoint.x, 500.5);
    EXPECT_DOUBLE_EQ(first->scrollPoint.y, 375.5);

    // Zooming back to the fit from a scrolled view ends at the origin: nothing overflows.
    auto back = geometry::zoomStep(working, viewport, { 400, 300, 1001, 751 }, first->zoom, 0);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->scrollPoint, Point(0, 0));

    // Zooming out from the far corner never scrolls past the new overflow.
    auto corner = geometry::zoomStep(working, viewport, { 1999, 1499, 1001, 751 }, 0.75, 0.5);
    ASSERT_TRUE(corner);
    EXPECT_EQ(corner->scrollPoint.x, corner->canvasFrame.size.width - viewport.width);
    EXPECT_EQ(corner->scrollPoint.y, corner->canvasFrame.size.height - viewport.height);

    struct Bad {
        const char* name;
        Size viewport;
        double z;
    };
    const Bad bad[] = {
        { "NaN", viewport, NAN },
        { "infinite", viewport, INFINITY },
        { "negative", viewport, -0.1 },
        { "viewport of one pixel", { 1, 1 }, 0.5 },
        { "no viewport", { 0, 0 }, 0.5 },
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        EXPECT_FALSE(geometry::zoomStep(working, b.viewport, {}, 0.5, b.z));
    }
}

TEST(CanvasLayout, LayersStackInOrderAndFollowTheZoom)
{
    FakeCanvasWindow window;
    window.viewport = { 801, 601 };
    CanvasView canvas;
    canvas.setCanvasWindow(&window);
    EXPECT_FALSE(canvas.imageLoaded());
    canvas.loadImage(Image());
    EXPECT_FALSE(canvas.imageLoaded());
    EXPECT_FALSE(canvas.setCustomDrawingZoomScale(0)); // nothing to zoom yet

    canvas.loadImage(picture(4000, 3000));
    ASSERT_TRUE(canvas.imageLoaded());
    EXPECT_EQ(canvas.workingSize(), Size(4000, 3000));
    EXPECT_EQ(canvas.targetImagePixelSize(), Size(4000, 3000));
    EXPECT_TRUE(canvas.imageRect().isEmpty()); // no zoom yet

    // Bottom to top: picture, boxes, masked picture, overlay, bubble.
    ASSERT_EQ(canvas.subviewCount(), 5);
    EXPECT_EQ(canvas.subviewAt(0), canvas.backgroundView());
    EXPECT_EQ(canvas.backgroundView()->tag(), 1);
    EXPECT_EQ(canvas.subviewAt(1), canvas.textViewContainer());
    EXPECT_EQ(canvas.subviewAt(2), canvas.renderView());
    EXPECT_EQ(canvas.renderView()->tag(), 0);
    EXPECT_EQ(canvas.subviewAt(3), canvas.selectedView());
    EXPECT_EQ(canvas.subviewAt(4), canvas.instantAlphaView());
    EXPECT_TRUE(canvas.instantAlphaView()->isHidden());
    EXPECT_EQ(canvas.instantAlphaView()->frame(), Rect(30, 30, 300, 50));
    EXPECT_EQ(canvas.textViewContainer()->selectedView.get(), canvas.selectedView());
    EXPECT_EQ(canvas.textViewContainer()->undoManager(), &window.undo);

    ASSERT_TRUE(canvas.setCustomDrawingZoomScale(0));
    const double fit = double(0.2f);
    EXPECT_EQ(canvas.customDrawingZoomScale(), fit);
    EXPECT_EQ(canvas.frame(), geometry::frameRect({ 4000, 3000 }, fit, window.viewport));
    EXPECT_EQ(canvas.imageRect(), Rect(0, 0, 4000 * fit, 3000 * fit));

    // Fifty zoom steps later a box point still maps through the zoom exactly.
    TextViewContainer* boxes = canvas.textViewContainer();
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(canvas.setCustomDrawingZoomScale((i % 7) / 6.0));
    ASSERT_TRUE(canvas.setCustomDrawingZoomScale(1.0));
    const double z = canvas.customDrawingZoomScale();
    EXPECT_DOUBLE_EQ(z, fit * 3);
    EXPECT_EQ(boxes->unitScale(), Size(z, z));
    // The layers fill the canvas's integral frame: the picture plus under one screen pixel.
    EXPECT_GE(boxes->bounds().size.width, 4000 - 1e-9);
    EXPECT_LT(boxes->bounds().size.width, 4000 + 1 / z);
    EXPECT_GE(boxes->bounds().size.height, 3000 - 1e-9);
    EXPECT_LT(boxes->bounds().size.height, 3000 + 1 / z);
    const Point p = boxes->convertPointToView({ 1234, 567 }, &canvas);
    EXPECT_DOUBLE_EQ(p.x, 1234 * z);
    EXPECT_DOUBLE_EQ(p.y, 567 * z);

    // Bad zooms change nothing.
    EXPECT_FALSE(canvas.setCustomDrawingZoomScale(NAN));
    EXPECT_FALSE(canvas.setCustomDrawingZoomScale(-1));
    EXPECT_EQ(canvas.customDrawingZoomScale(), z);
}
