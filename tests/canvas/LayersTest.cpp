// The picture layers rendered with the box layer between them, probed in the pixels of the
// whole tree: no mask shows the box over the picture, a mask brings the picture over the box
// only there (also when only a dab's patch renders again), and the red tint shows on the top
// layer only.
#include "CanvasTestSupport.h"
#include "FakeCanvasWindow.h"
#include "canvas/CanvasView.h"
#include "canvas/RenderView.h"
#include "container/TextViewContainer.h"
#include "platform/imaging/Filter.h"
#include "platform/imaging/RadialGradientNode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace platform;
using namespace canvas;
using canvastest::FakeCanvasWindow;

namespace {

// The picture where mask is white, clear elsewhere: what the masked layer shows.
FilterImage masked(const FilterImage& picture, const FilterImage& mask)
{
    Filter blend = Filter::withName(QStringLiteral("CIBlendWithMask"));
    blend.setValue(QStringLiteral("inputImage"), picture);
    blend.setValue(QStringLiteral("inputBackgroundImage"),
        FilterImage::constantColor(Color(0, 0, 0, 0)).cropped(picture.extent()));
    blend.setValue(QStringLiteral("inputMaskImage"), mask);
    return blend.outputImage().cropped(picture.extent());
}

// A 200 x 100 red picture at zoom 2 in a 401 x 201 viewport, a blue box in the middle.
struct Scene {
    FakeCanvasWindow window;
    CanvasView canvas;
    FilterImage picture;
    Scene(QColor colour = Qt::red)
    {
        window.viewport = { 401, 201 };
        canvas.setCanvasWindow(&window);
        canvas.loadImage(Image::fromQImage(canvastest::solidPicture(200, 100, colour)));
        canvas.setCustomDrawingZoomScale(0);
        canvas.textViewContainer()->addSubview(
            std::make_unique<canvastest::BlueBox>(Rect(50, 25, 100, 50)));
        picture = canvas.inputImage();
    }
    // Runs the event loop until the top layer holds pixels rendered for image.
    void waitFor(const std::function<bool()>& ready)
    {
        QElapsedTimer clock;
        clock.start();
        while (!ready() && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_TRUE(ready());
    }
    void show(const FilterImage& back, const FilterImage& top)
    {
        canvas.showLayers(back, top);
        const QImage before = canvas.renderView()->renderedPixels();
        waitFor([&] {
            const QImage& now = canvas.renderView()->renderedPixels();
            return !now.isNull() && now.cacheKey() != before.cacheKey();
        });
    }
    // The tree's pixel at working point p (y-up).
    QColor at(Point p)
    {
        const Rect r = canvas.bounds();
        const QImage img = renderToImage(canvas, r, 1.0).toQImage();
        const double z = canvas.customDrawingZoomScale();
        return img.pixelColor(int(p.x * z), int(img.height() - 1 - p.y * z));
    }
};

bool near(QColor c, QColor e, int tol = 3)
{
    return std::abs(c.red() - e.red()) <= tol && std::abs(c.green() - e.green()) <= tol
        && std::abs(c.blue() - e.blue()) <= tol && std::abs(c.alpha() - e.alpha()) <= tol;
}

} // namespace

TEST(Layers, MaskBringsThePictureOverTheBoxOnlyWhereItIsPainted)
{
    struct Probe {
        Point p;
        QColor expected;
    };
    struct Row {
        const char* name;
        // A mask over the working size: white where the picture comes to the front.
        std::function<FilterImage(const FilterImage& picture)> mask;
        std::vector<Probe> probes;
    };
    const QColor red(255, 0, 0), blue(0, 0, 255);
    const Row rows[] = {
        { "no mask: the box over the picture", nullptr,
            { { { 100, 50 }, blue }, { { 20, 50 }, red }, { { 100, 90 }, red } } },
        { "left half painted: the picture covers the box's left half",
            [](const FilterImage&) {
                return FilterImage::constantColor(Color(1, 1, 1, 1)).cropped({ 0, 0, 100, 100 });
            },
            { { { 75, 50 }, red }, { { 125, 50 }, blue }, { { 20, 50 }, red } } },
        { "bottom strip painted: y-up all the way",
            [](const FilterImage&) {
                return FilterImage::constantColor(Color(1, 1, 1, 1)).cropped({ 0, 0, 200, 40 });
            },
            { { { 100, 30 }, red }, { { 100, 60 }, blue } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Scene s;
        s.show(s.picture, row.mask ? masked(s.picture, row.mask(s.picture)) : FilterImage());
        for (const Probe& probe : row.probes)
            EXPECT_TRUE(near(s.at(probe.p), probe.expected))
                << probe.p.x << "," << probe.p.y << " " << s.at(probe.p).name().toStdString();
    }
}

TEST(Layers, ADabsPatchRendersOnlyItsPartOfTheTopLayer)
{
    Scene s;
    s.show(s.picture, masked(s.picture, FilterImage::constantColor(Color(0, 0, 0, 1))));
    ASSERT_TRUE(near(s.at({ 100, 50 }), QColor(0, 0, 255)));
    // A hard white disc of radius 10 at (70, 40) in the mask: only its rectangle renders.
    const FilterImage dab(std::make_shared<RadialGradientNode>(
        Point(70, 40), 10, 10, Color(1, 1, 1, 1), Color(0, 0, 0, 1)));
    const QImage before = s.canvas.renderView()->renderedPixels();
    s.canvas.showTopPatch(masked(s.picture, dab), { 60, 30, 20, 20 });
    s.waitFor(
        [&] { return s.canvas.renderView()->renderedPixels().cacheKey() != before.cacheKey(); });
    EXPECT_TRUE(near(s.at({ 70, 40 }), QColor(255, 0, 0)));
    EXPECT_TRUE(near(s.at({ 64, 46 }), QColor(255, 0, 0)));
    EXPECT_TRUE(near(s.at({ 85, 40 }), QColor(0, 0, 255)));
    EXPECT_TRUE(near(s.at({ 70, 55 }), QColor(0, 0, 255)));
}

TEST(Layers, RedTintShowsOnTheTopLayerOnly)
{
    Scene s(QColor(0, 255, 0));
    s.canvas.redMaskChanged(1);
    const FilterImage half
        = FilterImage::constantColor(Color(1, 1, 1, 1)).cropped({ 0, 0, 100, 100 });
    s.show(s.picture, masked(s.picture, half));
    EXPECT_EQ(s.canvas.backgroundView()->shownImage(), s.picture);
    // Painted part: green with half red added; unpainted: the green picture, the box between.
    EXPECT_TRUE(near(s.at({ 20, 50 }), QColor(128, 255, 0)));
    EXPECT_TRUE(near(s.at({ 180, 50 }), QColor(0, 255, 0)));
    EXPECT_TRUE(near(s.at({ 125, 50 }), QColor(0, 0, 255)));
    // The bottom layer ignores the tint even when asked.
    s.canvas.backgroundView()->setRedmask(1);
    s.canvas.backgroundView()->setImage(s.picture);
    EXPECT_EQ(s.canvas.backgroundView()->shownImage(), s.picture);
}
