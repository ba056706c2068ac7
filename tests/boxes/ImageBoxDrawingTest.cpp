// Image boxes by their pixels: the background inside the outline shrunk by half the border,
// the border ring, the inner shadow, the tint, saturation, the layer opacity and drop shadow
// of the nest; and a press on a turned box in a zoomed, hosted container.
#include "BoxTestSupport.h"

#include <gtest/gtest.h>

using namespace boxtest;
using platform::Color;
using platform::Event;
using platform::Point;
using platform::Rect;
using platform::View;

TEST(ImageBoxDrawing, BackgroundInsetByHalfTheBorderAndTheRing)
{
    struct Row {
        int border;
        std::vector<PixelCheck> probes;
    };
    // Box (50, 40) 100 by 60: the outline runs x 50..150, y 40..100.
    const Row rows[] = {
        { 10,
            { { 43, 70, kClear }, { 46, 70, kBlue }, { 53, 70, kBlue }, { 56, 70, kGreen },
                { 144, 70, kGreen }, { 146, 70, kBlue }, { 156, 70, kClear }, { 100, 104, kBlue },
                { 100, 106, kClear }, { 47, 37, kBlue } } },
        { 0,
            { { 48, 70, kClear }, { 51, 70, kGreen }, { 148, 98, kGreen }, { 151, 70, kClear },
                { 100, 101, kClear } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.border);
        ImageNest nest(Rect(50, 40, 100, 60));
        nest.box->setBackColor(solid(Color(0, 1, 0, 1)));
        nest.box->setBorderColor(solid(Color(0, 0, 1, 1)));
        nest.box->setBorderSize(row.border);
        expectPixels(nest.render(), row.probes, 2);
    }
}

// The shadow of the shape is shifted by the offset; what stays uncovered inside the outline is
// painted, so an offset to the left (angle 180) shades the right side. The layer carries the
// box's opacity, yet the middle of a translucent box is left as it was.
TEST(ImageBoxDrawing, InnerShadowFallsOnTheSideAwayFromItsOffset)
{
    const Rgba grey { 128, 128, 128, 255 };
    struct Row {
        const char* name;
        int offset, angle;
        float opacity;
        Rgba right, left, top;
    };
    const Row rows[] = {
        { "offset 10 to the left", 10, 180, 1.0f, kBlack, kWhite, kWhite },
        { "offset 10 downwards", 10, 270, 1.0f, kWhite, kWhite, kBlack },
        { "offset 0 draws nothing", 0, 180, 1.0f, kWhite, kWhite, kWhite },
        { "half opacity: half strength, inside clear", 10, 180, 0.5f, grey, kWhite, kWhite },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ImageNest nest(Rect(50, 40, 100, 60), Color(1, 1, 1, 1));
        nest.box->setLayerOpacity(row.opacity);
        nest.box->setInnerShadowColor(Color(0, 0, 0, 1));
        nest.box->setInnerShadowOffsetSize(row.offset);
        nest.box->setInnerShadowAngle(row.angle);
        nest.box->setInnerShadowBlurSize(0);
        const QImage px = nest.render();
        expectPixels(px,
            { { 145, 70, row.right }, { 54, 70, row.left }, { 100, 95, row.top },
                { 100, 70, kWhite } },
            8);
        EXPECT_PIXEL_NEAR(px, 160, 70, kWhite, 0); // nothing outside the outline
    }
}

// A slightly turned box: along the edge its moved outline still covers, the inner shadow does
// not show, not even on the pixels the edge crosses (a seam there shows as dark dashes along
// the shallow edge).
TEST(ImageBoxDrawing, InnerShadowLeavesNoSeamAlongTheCoveredEdge)
{
    auto draw = [](bool shadowed) {
        ImageNest nest(Rect(50, 40, 100, 60), Color(1, 1, 1, 1));
        nest.box->setRotationAngle(2);
        nest.box->setBackColor(solid(Color(0.9, 0.8, 0.2, 1)));
        if (shadowed) {
            nest.box->setInnerShadowColor(Color(0, 0, 0, 0.75));
            nest.box->setInnerShadowOffsetSize(10);
            nest.box->setInnerShadowAngle(270);
            nest.box->setInnerShadowBlurSize(6);
        }
        return nest.render();
    };
    const QImage got = draw(true), plain = draw(false);
    auto darkening = [&](int x, int y) {
        const QRgb a = got.pixel(x, y), b = plain.pixel(x, y);
        return (qRed(b) - qRed(a)) + (qGreen(b) - qGreen(a)) + (qBlue(b) - qBlue(a));
    };
    int worst = -1000, worstColumn = -1, banded = 0;
    for (int x = 70; x < 130; ++x) {
        // The box's rows in this column: where it changes the white under it.
        int top = -1, bottom = -1;
        for (int y = 0; y < plain.height(); ++y) {
            if (plain.pixel(x, y) != qRgba(255, 255, 255, 255)) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
        }
        ASSERT_GT(bottom - top, 40) << "column " << x;
        // The edge the shadow leaves: the one with less shadow a few rows in.
        const bool topCovered = darkening(x, top + 4) < darkening(x, bottom - 4);
        banded += std::max(darkening(x, top + 4), darkening(x, bottom - 4)) > 100;
        const int edge = topCovered ? top : bottom, inward = topCovered ? 1 : -1;
        const int excess = darkening(x, edge) - darkening(x, edge + inward);
        if (excess > worst) {
            worst = excess;
            worstColumn = x;
        }
    }
    EXPECT_EQ(banded, 60) << "the shadow's band shows along the other edge";
    EXPECT_LE(worst, 12) << "the edge pixel of column " << worstColumn << " is darker";
}

TEST(ImageBoxDrawing, TintKeepsTransparentPixelsTransparent)
{
    // Left half opaque red, right half clear.
    QImage half = pixels(20, 10, Qt::transparent);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            half.setPixel(x, y, qRgba(255, 0, 0, 255));
    const platform::Image halfRed = platform::Image::fromQImage(half);
    const QImage tinted = MyImageView::imageTinted(halfRed, solid(Color(0, 0, 1, 1))).toQImage();
    EXPECT_PIXEL_NEAR(tinted, 2, 5, kBlue, 1);
    EXPECT_PIXEL_NEAR(tinted, 15, 5, kClear, 0);
    EXPECT_EQ(MyImageView::imageTinted(halfRed, noFill()), halfRed) << "kind 0 leaves it as it is";

    // In the box: stretched to the frame; the clear half shows what is under the box.
    ImageNest nest(Rect(40, 40, 100, 50), Color(0, 1, 0, 1));
    nest.box->setOrgImage(halfRed, 100, 50);
    nest.box->setSaturation(1.0);
    nest.box->setOverlayColor(solid(Color(0, 0, 1, 1)));
    expectPixels(nest.render(), { { 60, 60, kBlue }, { 120, 60, kGreen } }, 2);
}

TEST(ImageBoxDrawing, SaturationZeroGivesGrey)
{
    ImageNest nest(Rect(10, 10, 40, 40));
    nest.box->setOrgImage(picture(8, 8, QColor(220, 60, 20)), 40, 40);
    nest.box->setSaturation(0.0);
    const Rgba c = testsupport::pixelAt(nest.render(), 30, 30);
    EXPECT_EQ(c.a, 255);
    EXPECT_NEAR(c.r, c.g, 2);
    EXPECT_NEAR(c.g, c.b, 2);
    EXPECT_GT(c.r, 40);
    EXPECT_LT(c.r, 200);

    nest.box->setSaturation(1.0);
    EXPECT_PIXEL_NEAR(nest.render(), 30, 30, (Rgba { 220, 60, 20, 255 }), 2);
}

TEST(ImageBoxDrawing, BackgroundClearNeverPunchesThroughWhatIsUnder)
{
    // A half-transparent background over a red picture blends with it; a kind-0 background
    // leaves the picture showing.
    ImageNest nest(Rect(50, 40, 100, 60), Color(1, 0, 0, 1));
    nest.box->setBackColor(solid(Color(0, 0, 1, 0.5)));
    const QImage px = nest.render();
    EXPECT_PIXEL_NEAR(px, 100, 70, (Rgba { 128, 0, 127, 255 }), 3);
    EXPECT_PIXEL_NEAR(px, 20, 20, kRed, 0);

    ImageNest plain(Rect(50, 40, 100, 60), Color(1, 0, 0, 1));
    EXPECT_PIXEL_NEAR(plain.render(), 100, 70, kRed, 0);
}

TEST(ImageBoxDrawing, LayerOpacityAndDropShadow)
{
    ImageNest nest(Rect(50, 50, 100, 50), Color(1, 1, 1, 1));
    nest.box->setOrgImage(picture(4, 4, Qt::red), 100, 50);
    nest.box->setSaturation(1.0);
    nest.box->setLayerOpacity(0.5f);
    nest.box->setShadowColor(Color(0, 0, 0, 1));
    nest.box->setShadowOffsetSize(10);
    nest.box->setShadowAngle(90);
    nest.box->setShadowBlurSize(0);
    nest.box->setShadows();
    const QImage px = nest.render();
    // Half the picture over white where no shadow lies under it (the top 10 points), over the
    // group's half-strength shadow elsewhere; the shadow falls 10 below the box, none above.
    expectPixels(px, { { 100, 95, { 255, 128, 128, 255 } }, { 100, 75, { 191, 64, 64, 255 } } }, 4);
    EXPECT_LT(testsupport::pixelAt(px, 100, 45).r, 200);
    expectPixels(px, { { 100, 105, kWhite }, { 100, 35, kWhite } }, 0);

    // Without a shadow colour no shadow is cast.
    nest.box->setShadowColor(std::nullopt);
    nest.box->setShadows();
    EXPECT_FALSE(nest.warp->shadow().has_value());
    EXPECT_PIXEL_NEAR(nest.render(), 100, 45, kWhite, 0);
}

TEST(ImageBoxEvents, PressOnATurnedBoxInAZoomedHostedContainer)
{
    platform::ViewHost host;
    host.resize(400, 300);
    auto root = std::make_unique<View>();
    auto containerView = std::make_unique<FakeContainer>(Rect(0, 0, 400, 300));
    containerView->scaleUnitSquareToSize({ 2, 2 }); // the canvas zoom: 200 x 150 picture points
    FakeContainer* container = containerView.get();
    auto image = std::make_unique<MyImageView>(Rect(50, 40, 60, 30));
    MyImageView* box = image.get();
    box->setRotationAngle(30);
    box->setMyTextViewContainer(container);
    container->boxes.push_back(box);
    View* warp = container->addSubview(std::make_unique<View>(container->bounds()));
    warp->addSubview(std::make_unique<MyImageViewSuper>(std::move(image), container->bounds()));
    root->addSubview(std::move(containerView));
    host.setRootView(std::move(root));

    // A point of the box at unit (0.9, 0.8): inside the turned box, outside its unturned
    // frame's reach near that corner.
    std::array<Point, 8> q;
    box->GetFourPoints(q, 0);
    auto unit = [&](double u, double v) {
        return Point(q[0].x + u * (q[1].x - q[0].x) + v * (q[3].x - q[0].x),
            q[0].y + u * (q[1].y - q[0].y) + v * (q[3].y - q[0].y));
    };
    struct Row {
        const char* name;
        Point at;
        bool onBox;
    };
    const Row rows[] = {
        { "near the turned far corner", unit(0.9, 0.8), true },
        { "the centre", unit(0.5, 0.5), true },
        { "just outside the turned side", unit(1.05, 0.5), false },
        { "inside the unturned frame only", Point(108, 42), false },
    };
    for (const Row& row : rows) {
        clickInHost(host, container->convertPointToView(row.at, nullptr));
        ASSERT_FALSE(container->presses.empty()) << row.name;
        EXPECT_NEAR(container->presses.back().x, row.at.x, 1e-6) << row.name;
        EXPECT_NEAR(container->presses.back().y, row.at.y, 1e-6) << row.name;
        EXPECT_EQ(container->hitBox == box, row.onBox) << row.name;
    }
    EXPECT_TRUE(container->boxPresses.empty()) << "the image view never takes a press itself";
    EXPECT_EQ(box->hitTest(unit(0.5, 0.5)), nullptr);

    // A press the box is handed reaches the container in the container's coordinates.
    const Point centre = unit(0.5, 0.5);
    box->mouseDown(Event::mouseEvent(
        platform::EventType::LeftMouseDown, container->convertPointToView(centre, nullptr), 0));
    ASSERT_EQ(container->boxPresses.size(), 1u);
    EXPECT_NEAR(container->boxPresses[0].x, centre.x, 1e-6);
    EXPECT_NEAR(container->boxPresses[0].y, centre.y, 1e-6);
}

// A moved box must look the same wherever it stands (its warped picture is reused after a
// move): the border's gradient spans the ring's own bounds, not bounds stretched to the
// container's origin.
TEST(ImageBoxDrawing, GradientBorderIsTheSameAfterAMove)
{
    auto ringAt = [&](const Point& origin) {
        ImageNest nest(Rect(origin.x, origin.y, 60, 40));
        nest.box->setBackColor(solid(Color(1, 0, 0, 1)));
        nest.box->setBorderColor(linear(Color(0, 0, 0), Color(1, 1, 1)));
        nest.box->setBorderSize(10);
        // The ring reaches 5 past the outline; look a little further.
        const int x = int(origin.x) - 8, yUp = int(origin.y) - 8, w = 76, h = 56;
        const QImage all = nest.render();
        return all.copy(x, all.height() - yUp - h, w, h);
    };
    const QImage farAway = ringAt(Point(120, 95));
    EXPECT_EQ(testsupport::worstDifference(ringAt(Point(10, 10)), farAway), 0);
    // And the gradient does run across the ring.
    EXPECT_LT(testsupport::pixelAt(farAway, 4, 28).r, 60);
    EXPECT_GT(testsupport::pixelAt(farAway, 71, 28).r, 200);
}
