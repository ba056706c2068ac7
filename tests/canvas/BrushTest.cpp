// The brush: mask scale and accumulator size, where a stroke lays its dabs, what a dab paints
// (probed in the accumulator's pixels), the mask handed to the canvas, and bad settings and
// saved masks.
#include "CanvasTestSupport.h"
#include "canvas/PaintCanvas.h"
#include "canvas/PaintView.h"
#include "platform/imaging/FilterRenderer.h"

#include <QObject>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;
using namespace canvas;

namespace {

class FakePaintCanvas : public PaintCanvas {
public:
    Size working;
    double zoom = 1.0;
    std::vector<std::pair<FilterImage, Rect>> masks;
    QObject life;

    Size workingSize() const override { return working; }
    Rect imageRect() const override
    {
        return { 0, 0, working.width * zoom, working.height * zoom };
    }
    void setPrerenderedMask(const FilterImage& mask, const Rect& dirty) override
    {
        masks.push_back({ mask, dirty });
    }
    QObject* guard() override { return &life; }
    // Where the dabs since the last call landed, in working points.
    std::vector<Point> dabCentres()
    {
        std::vector<Point> out;
        for (const auto& [mask, dirty] : masks)
            if (!dirty.isNull())
                out.push_back({ dirty.midX(), dirty.midY() });
        masks.clear();
        return out;
    }
};

struct Brush {
    FakePaintCanvas canvas;
    PaintView view;
    explicit Brush(Size working, double zoom = 1.0)
    {
        canvas.working = working;
        canvas.zoom = zoom;
        view.setCanvas(&canvas);
        view.setFrame(canvas.imageRect());
        view.setBrushSize(40);
    }
    void press(Point p) { view.mouseDown(Event::mouseEvent(EventType::LeftMouseDown, p, 0)); }
    void drag(Point p) { view.mouseDragged(Event::mouseEvent(EventType::LeftMouseDragged, p, 0)); }
    void move(Point p) { view.mouseMoved(Event::mouseEvent(EventType::MouseMoved, p, 0)); }
    void release(Point p) { view.mouseUp(Event::mouseEvent(EventType::LeftMouseUp, p, 0)); }
    // The accumulator's pixel at accumulator point p (y-up), straight RGBA 0..255.
    QColor maskPixel(Point p) const
    {
        const FilterImage img = view.workingImage();
        const Rect e = img.extent();
        const QImage px = FilterRenderer::render(img, e, 1.0, RenderPath::Exact);
        return px.pixelColor(int(p.x), int(e.size.height - 1 - p.y));
    }
};

FilterImage solid(int w, int h, QColor c)
{
    return FilterImage::fromQImage(canvastest::solidPicture(w, h, c));
}

} // namespace

TEST(Brush, MaskScaleKeepsTheLongerSideAt512)
{
    struct Row {
        const char* name;
        Size working;
        double scale;
        Size accumulator;
    };
    const Row rows[] = {
        { "4000 x 3000", { 4000, 3000 }, 0.128, { 512, 384 } },
        { "400 x 300 stays whole", { 400, 300 }, 1.0, { 400, 300 } },
        { "512 square stays whole", { 512, 512 }, 1.0, { 512, 512 } },
        { "1 x 6000 keeps a pixel", { 1, 6000 }, 512.0 / 6000, { 1, 512 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Brush b(row.working, 0.1);
        EXPECT_DOUBLE_EQ(b.view.maskScale(), row.scale);
        ASSERT_FALSE(b.view.workingImage().isNull());
        EXPECT_EQ(b.view.workingImage().extent().size, row.accumulator);
    }
    // No zoom yet: no accumulator, and a dab hands over no mask (a render starts instead).
    Brush none({ 400, 300 }, 0.0);
    EXPECT_TRUE(none.view.workingImage().isNull());
    none.press({ 10, 10 });
    ASSERT_FALSE(none.canvas.masks.empty());
    EXPECT_TRUE(none.canvas.masks.back().first.isNull());
}

TEST(Brush, StrokesLayDabsBetweenPointsOnceEach)
{
    struct Row {
        const char* name;
        std::vector<Point> path; // press, then drags
        std::vector<Point> dabs;
    };
    const Row rows[] = {
        { "a first click without a move paints only where it is", { { 100, 100 } },
            { { 100, 100 } } },
        { "75 points: 1/3 and 2/3 back towards the last point, then the point",
            { { 100, 100 }, { 175, 100 } },
            { { 100, 100 }, { 150, 100 }, { 125, 100 }, { 175, 100 } } },
        { "30 points: only the new point", { { 100, 100 }, { 100, 130 } },
            { { 100, 100 }, { 100, 130 } } },
        { "60 points: one step between", { { 10, 10 }, { 70, 10 } },
            { { 10, 10 }, { 40, 10 }, { 70, 10 } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Brush b({ 400, 300 });
        b.press(row.path[0]);
        for (size_t i = 1; i < row.path.size(); ++i)
            b.drag(row.path[i]);
        b.release(row.path.back());
        const std::vector<Point> got = b.canvas.dabCentres();
        ASSERT_EQ(got.size(), row.dabs.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].x, row.dabs[i].x, 1e-9) << "dab " << i;
            EXPECT_NEAR(got[i].y, row.dabs[i].y, 1e-9) << "dab " << i;
        }
    }
}

TEST(Brush, DabsPaintDiscsAndRampsIntoTheMask)
{
    struct Row {
        const char* name;
        bool eraser;
        double hardness;
        double opacity;
        bool startWhite;
        // Probes at distances from the dab's centre (radius 20): expected alpha and grey.
        std::vector<std::tuple<double, int, int>> probes;
    };
    const Row rows[] = {
        { "hard eraser: black disc at full opacity", true, 1.0, 1.0, true,
            { { 0, 255, 0 }, { 15, 255, 0 }, { 25, 255, 255 } } },
        { "hard brush at half opacity on clear", false, 1.0, 0.5, false,
            { { 0, 128, 255 }, { 19, 128, 255 }, { 22, 0, -1 } } },
        { "soft brush: opacity at the centre down to clear at the rim", false, 0.0, 1.0, false,
            { { 0, 255, 255 }, { 10, 128, 255 }, { 21, 0, -1 } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Brush b({ 400, 300 });
        if (row.startWhite) {
            b.view.setWorkingImage(solid(400, 300, Qt::white));
            b.view.setMaskScale(1.0);
        }
        b.view.setBrushIsEraser(row.eraser);
        b.view.setBrushHardness(row.hardness);
        b.view.setBrushOpacity(row.opacity);
        b.press({ 200, 150 });
        for (const auto& [d, alpha, grey] : row.probes) {
            const QColor c = b.maskPixel({ 200 + d, 150 });
            // Probes sit at pixel centres, up to 0.71 points further out than d: 9 levels of a
            // 20-point ramp.
            EXPECT_NEAR(c.alpha(), alpha, 10) << "at " << d;
            if (grey >= 0)
                EXPECT_NEAR(c.red(), grey, 3) << "at " << d;
        }
    }
}

TEST(Brush, BadSettingsAreIgnoredOrClamped)
{
    Brush b({ 400, 300 });
    b.view.setBrushSize(NAN);
    EXPECT_EQ(b.view.brushSize(), 40);
    b.view.setBrushSize(-5);
    EXPECT_EQ(b.view.brushSize(), 1);
    b.view.setBrushSize(1e9);
    EXPECT_EQ(b.view.brushSize(), 10000);
    b.view.setBrushHardness(2);
    EXPECT_EQ(b.view.brushHardness(), 1);
    b.view.setBrushOpacity(INFINITY);
    EXPECT_EQ(b.view.brushOpacity(), 1);
    b.view.setBrushOpacity(-1);
    EXPECT_EQ(b.view.brushOpacity(), 0);
    // A zero opacity still paints (faintly), never a NaN rectangle.
    b.view.setBrushSize(40);
    b.press({ 50, 50 });
    EXPECT_GT(b.view.brushOpacity(), 0);
    const auto dabs = b.canvas.dabCentres();
    ASSERT_EQ(dabs.size(), 1u);
    EXPECT_TRUE(std::isfinite(dabs[0].x));
}

TEST(Brush, SavedMasksThatDoNotFitAreResampled)
{
    struct Row {
        const char* name;
        FilterImage mask;
        double scale;
        double expectedScale;
        Size expectedExtent;
        bool painted; // the saved white survives at the picture's centre
    };
    const Row rows[] = {
        { "no mask: a clear standard accumulator", FilterImage(), 1.0, 1.0, { 400, 300 }, false },
        { "fits its scale", solid(200, 150, Qt::white), 0.5, 0.5, { 200, 150 }, true },
        { "off by one pixel still fits", solid(201, 150, Qt::white), 0.5, 0.5, { 201, 150 }, true },
        { "wrong extent for the scale", solid(100, 100, Qt::white), 0.5, 1.0, { 400, 300 }, true },
        { "scale NaN", solid(400, 300, Qt::white), NAN, 1.0, { 400, 300 }, true },
        { "scale above 1", solid(400, 300, Qt::white), 2.0, 1.0, { 400, 300 }, true },
        { "scale 0", solid(400, 300, Qt::white), 0.0, 1.0, { 400, 300 }, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Brush b({ 400, 300 });
        b.view.setWorkingImage(row.mask);
        b.view.setMaskScale(row.scale);
        EXPECT_DOUBLE_EQ(b.view.maskScale(), row.expectedScale);
        ASSERT_FALSE(b.view.workingImage().isNull());
        EXPECT_EQ(b.view.workingImage().extent().size, row.expectedExtent);
        const Size e = row.expectedExtent;
        EXPECT_EQ(b.maskPixel({ e.width / 2, e.height / 2 }).alpha(), row.painted ? 255 : 0);
        // The canvas got the mask at working size, whole.
        ASSERT_FALSE(b.canvas.masks.empty());
        const auto& [handed, dirty] = b.canvas.masks.back();
        EXPECT_TRUE(dirty.isNull());
        EXPECT_NEAR(handed.extent().size.width, 400, 1.0 / row.expectedScale);
        // And the brush paints on it.
        b.press({ 20, 20 });
        EXPECT_EQ(b.maskPixel({ 20 * row.expectedScale, 20 * row.expectedScale }).alpha(), 255);
    }
}
