// The image views of the picture layers: where the renderer's view goes for each content mode,
// the image the renderer is given (scaled to the display pixels it covers), layout again when
// the bounds change, and the canvas's layer on top of it (clicks pass, pixels show).
#include "CanvasTestSupport.h"
#include "canvas/QZCIImageCpuRenderer.h"
#include "canvas/RenderView.h"
#include "platform/graphics/GraphicsContext.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace canvas;

namespace {

// Records what it is given; its view is a plain view.
class RecordingRenderer final : public QZCIImageRenderer {
public:
    std::vector<FilterImage>* given;
    explicit RecordingRenderer(std::vector<FilterImage>* g)
        : given(g)
        , m_owned(std::make_unique<View>())
        , m_view(m_owned.get())
    {
    }
    void renderImage(const FilterImage& img) override { given->push_back(img); }
    View* view() const override { return m_view.get(); }
    std::unique_ptr<View> takeView() override { return std::move(m_owned); }

private:
    std::unique_ptr<View> m_owned;
    ViewPointer m_view;
};

class ScaledImageView final : public QZCIImageView {
public:
    double screen = 1.0;
    using QZCIImageView::QZCIImageView;
    double screenScaleFactor() const override { return screen; }
};

FilterImage picture(int w, int h)
{
    return FilterImage::fromQImage(canvastest::solidPicture(w, h, Qt::red));
}

} // namespace

TEST(ImageView, ContentModesPlaceTheRendererAndScaleTheImage)
{
    struct Row {
        const char* name;
        unsigned mode;
        double screen;
        Size image;
        Rect frame; // of the renderer's view in a 500 x 500 view
        Size given; // extent of the image the renderer gets
    } rows[] = {
        { "aspect fit, centred vertically", 1, 1.0, { 2000, 1000 }, { 0, 125, 500, 250 },
            { 500, 250 } },
        { "aspect fit on a 2x screen: twice the pixels", 1, 2.0, { 2000, 1000 },
            { 0, 125, 500, 250 }, { 1000, 500 } },
        { "aspect fill overhangs", 2, 1.0, { 2000, 1000 }, { -250, 0, 1000, 500 }, { 1000, 500 } },
        { "one image pixel per display pixel on a 2x screen", 3, 2.0, { 200, 100 },
            { 200, 225, 100, 50 }, { 200, 100 } },
        { "any other mode fills", 7, 1.0, { 2000, 1000 }, { 0, 0, 500, 500 }, { 2000, 1000 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScaledImageView view({ 0, 0, 500, 500 });
        view.screen = row.screen;
        std::vector<FilterImage> given;
        view.setRenderer(std::make_unique<RecordingRenderer>(&given));
        EXPECT_EQ(view.imageContentMode(), 1u);
        view.setImageContentMode(row.mode);
        view.setRenderimage(picture(int(row.image.width), int(row.image.height)));
        EXPECT_EQ(view.renderer()->view()->frame(), row.frame);
        ASSERT_FALSE(given.empty());
        ASSERT_TRUE(given.back());
        EXPECT_EQ(given.back().extent().size, row.given);
    }
}

TEST(ImageView, LaysOutAgainWhenTheBoundsChangeAndShowsNothingWithout)
{
    ScaledImageView view({ 0, 0, 500, 500 });
    std::vector<FilterImage> given;
    view.setRenderer(std::make_unique<RecordingRenderer>(&given));
    const FilterImage img = picture(2000, 1000);
    view.setRenderimage(img);
    view.setFrameSize({ 1000, 1000 });
    EXPECT_EQ(view.renderer()->view()->frame(), Rect(0, 250, 1000, 500));
    EXPECT_EQ(given.back().extent().size, Size(1000, 500));
    // A zoomed layer: own units stay, the renderer gets the pixels the zoom shows.
    view.setUnitScale({ 0.5, 0.5 });
    EXPECT_EQ(view.renderer()->view()->frame(), Rect(0, 500, 2000, 1000));
    EXPECT_EQ(given.back().extent().size, Size(1000, 500));
    // The same image again renders nothing new; empty bounds or no image render nothing.
    const std::size_t count = given.size();
    view.setRenderimage(img);
    EXPECT_EQ(given.size(), count);
    view.setFrameSize({ 0, 0 });
    EXPECT_FALSE(given.back());
    view.setFrameSize({ 500, 500 });
    EXPECT_TRUE(given.back());
    view.setRenderimage(FilterImage());
    EXPECT_FALSE(given.back());
    // A new renderer's view replaces the old one in the tree.
    std::vector<FilterImage> second;
    view.setRenderer(std::make_unique<RecordingRenderer>(&second));
    EXPECT_EQ(view.subviewCount(), 1);
    EXPECT_EQ(view.subviewAt(0), view.renderer()->view());
}

TEST(ImageView, RenderViewShowsItsPixelsAndLetsClicksThrough)
{
    // A zoomed layer (2x) over a 200 x 100 picture, its left half rendered blue.
    RenderView layer({ 0, 0, 400, 200 });
    layer.setUnitScale({ 2, 2 });
    QZCIImageView& base = layer;
    EXPECT_EQ(base.imageContentMode(), 1u);
    const FilterImage img = picture(200, 100);
    layer.setImage(img);
    EXPECT_EQ(layer.renderimage(), img);
    auto* cpu = dynamic_cast<QZCIImageCpuRenderer*>(layer.renderer());
    ASSERT_NE(cpu, nullptr);
    EXPECT_EQ(cpu->image().extent().size, Size(400, 200));
    layer.setRenderedPixels(canvastest::solidPicture(200, 200, Qt::blue), { 0, 0, 100, 100 });
    const QImage shown = renderToImage(layer, layer.bounds(), 2.0).toQImage();
    EXPECT_EQ(shown.size(), QSize(400, 200));
    EXPECT_EQ(shown.pixelColor(50, 100), QColor(Qt::blue));
    EXPECT_EQ(shown.pixelColor(350, 100).alpha(), 0);
    EXPECT_EQ(layer.hitTest({ 50, 50 }), nullptr);
    // A null picture clears what shows at once.
    layer.setImage(FilterImage());
    EXPECT_TRUE(layer.renderedPixels().isNull());
}
