// The selection overlay, rendered on its own and probed: handle sizes at several zooms (a zoom
// that is no zoom draws as 100 %), the colours of outlines, handles, shape points and the rubber
// band, what an edited text box, an edited shape and a pen path in progress show, where the
// perspective thumbs sit, the curve guide, the colour-removal circle, and that it neither takes
// the pointer nor outlives its container.
#include "ContainerTestSupport.h"
#include "container/SelectedTextBoxView.h"
#include "support/PixelProbe.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace platform;
using testsupport::pixelAt;
using testsupport::Rgba;

namespace {

constexpr Rgba kTransparent { 0, 0, 0, 0 };
constexpr Rgba kBlue { 0, 87, 232, 255 };
constexpr Rgba kGrey { 77, 77, 77, 204 };
constexpr Rgba kWhite { 255, 255, 255, 255 };
// The outer column of a handle centred on a pixel centre: 0.7 of it covered by the black rim,
// over 0.8 covered by the white fill.
constexpr Rgba kDarkRim { 64, 64, 64, 240 };
constexpr Rgba kPointGreen { 0, 178, 0, 255 };
constexpr Rgba kThumbGreen { 0, 255, 0, 255 };

// A box whose outline lines fall on whole pixels: p0 (100.5, 100.5), p2 (300.5, 200.5), so
// handle 4 is centred in pixel (100, 150) and the left edge fills column 100.
const Rect kFrame(100.5, 100.5, 200.0, 100.0);

struct OverlayRig {
    OverlayRig()
        : rig(Size(400.0, 300.0))
        , overlay(Rect(0.0, 0.0, 400.0, 300.0))
    {
        overlay.setContainer(rig.container.get());
    }
    QImage render(double scale = 1.0)
    {
        return renderToImage(overlay, overlay.bounds(), scale).toQImage();
    }
    MyViewBase* box(std::size_t i = 0) { return rig.container->textViewAry.at(i); }
    MyShapeView* newShape(int type)
    {
        rig.container->newShapeBox(type);
        auto* shape = dynamic_cast<MyShapeView*>(box());
        shape->setFrame(kFrame);
        return shape;
    }

    ContainerRig rig;
    SelectedTextBoxView overlay;
};

// The number of pixels at least half covered along row y, from x0 to x1 inclusive.
int inkRun(const QImage& image, int y, int x0, int x1)
{
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += pixelAt(image, x, y).a >= 128 ? 1 : 0;
    return n;
}

} // namespace

TEST(SelectionOverlay, HandlesKeepTheirScreenSizeAtEveryZoom)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Handle 4 of a box at (100, 100): 2 s = 6.6 / zoom units wide, its stroke 1 unit wide.
    struct Row {
        const char* name;
        double zoom, scale;
        int run;
    } rows[] = {
        { "zoom 1", 1.0, 1.0, 8 },
        { "zoom 2 on screen", 2.0, 2.0, 8 },
        { "zoom 2 in points", 2.0, 1.0, 4 },
        { "zoom 0 counts as 1", 0.0, 1.0, 8 },
        { "negative zoom counts as 1", -2.0, 1.0, 8 },
        { "NaN zoom counts as 1", nan, 1.0, 8 },
        { "infinite zoom counts as 1", inf, 1.0, 8 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OverlayRig o;
        o.newShape(3)->setFrame(Rect(100.0, 100.0, 200.0, 100.0));
        o.rig.canvas.zoom = row.zoom;
        const QImage image = o.render(row.scale);
        const int y = int(150 * row.scale);
        EXPECT_EQ(inkRun(image, y, int(80 * row.scale), int(120 * row.scale)), row.run);
    }
}

TEST(SelectionOverlay, WhatEachKindOfSelectionShows)
{
    struct Probe {
        int x, y;
        Rgba expected;
    };
    struct Row {
        const char* name;
        std::function<void(OverlayRig&)> setup;
        std::vector<Probe> probes;
    } rows[] = {
        { "nothing selected draws nothing",
            [](OverlayRig& o) {
                o.newShape(3);
                o.box()->setSelected(false);
            },
            { { 100, 125, kTransparent }, { 100, 150, kTransparent } } },
        { "selected text box: blue outline, white handles with dark rims",
            [](OverlayRig& o) {
                o.rig.container->newTextBox();
                o.box()->setFrame(kFrame);
            },
            { { 100, 125, kBlue }, { 200, 200, kWhite }, { 100, 150, kWhite },
                { 103, 150, kDarkRim }, { 105, 150, kTransparent } } },
        { "text box in text editing: grey outline only",
            [](OverlayRig& o) {
                o.rig.container->newTextBox();
                o.box()->setFrame(kFrame);
                o.box()->setVertPerspective(0.5f);
                o.box()->setIsEditing(true);
            },
            // No handle at p4 and p5, no perspective grip or thumb beyond p1-p2.
            { { 100, 125, kGrey }, { 100, 150, kGrey }, { 98, 150, kTransparent },
                { 302, 150, kTransparent }, { 320, 175, kTransparent } } },
        { "unwarped rounded rectangle: outline, handles and its control points",
            [](OverlayRig& o) { o.newShape(4); }, { { 100, 125, kBlue }, { 100, 150, kWhite } } },
        { "rounded rectangle in point editing: its points only",
            [](OverlayRig& o) { o.newShape(4)->setIsEditing(true); },
            { { 100, 125, kTransparent }, { 100, 150, kTransparent } } },
        { "pen path being drawn: its points only",
            [](OverlayRig& o) {
                o.rig.container->startPenPath(Point(100.5, 100.5));
                auto* pen = dynamic_cast<MyShapeView*>(o.box());
                pen->setFrame(kFrame);
                pen->setPoints({ Point(0.0, 0.0), Point(0.5, 1.0), Point(1.0, 0.0) });
                pen->setControlVals(
                    { ControlValue(false), ControlValue(false), ControlValue(false) });
            },
            { { 100, 100, kPointGreen }, { 200, 200, kPointGreen }, { 300, 100, kPointGreen },
                { 100, 125, kTransparent }, { 100, 150, kTransparent } } },
        { "rubber band under a selected box's outline",
            [](OverlayRig& o) {
                o.newShape(3);
                o.rig.container->mouseDownState = 2;
                o.rig.container->rectSelecting = Rect(50.0, 50.0, 100.0, 100.0);
            },
            { { 60, 60, Rgba { 51, 51, 51, 128 } }, { 100, 125, kBlue },
                { 160, 60, kTransparent } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OverlayRig o;
        row.setup(o);
        const QImage image = o.render();
        for (const Probe& p : row.probes)
            EXPECT_PIXEL_NEAR(image, p.x, p.y, p.expected, 2);
    }
}

TEST(SelectionOverlay, ShapePointsAreGreenWhereverTheyAreShown)
{
    // Unwarped and not edited, then edited: the control points of a rounded rectangle.
    for (const bool editing : { false, true }) {
        SCOPED_TRACE(editing ? "edited" : "selected");
        OverlayRig o;
        MyShapeView* shape = o.newShape(4);
        shape->setIsEditing(editing);
        const QImage image = o.render();
        const BoxCorners corners = shape->corners();
        for (const Point& unit : shape->controlPoints()) {
            const Point at = calcPoints(corners, unit);
            EXPECT_PIXEL_NEAR(image, int(at.x), int(at.y), kPointGreen, 2);
        }
    }
}

TEST(SelectionOverlay, ThumbsSitWhereThePerspectiveValuesPutThem)
{
    // d = height / 5 = 20 for the vertical thumb, width / 5 = 40 for the horizontal one; a
    // bar's middle lies d beyond the edge point.
    struct Row {
        const char* name;
        float value;
        Point vertical, horizontal;
    } rows[] = {
        { "-1: at p1 and p3", -1.0f, Point(320.5, 100.5), Point(100.5, 240.5) },
        { "0: at the middles", 0.0f, Point(320.5, 150.5), Point(200.5, 240.5) },
        { "1: at p2", 1.0f, Point(320.5, 200.5), Point(300.5, 240.5) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OverlayRig o;
        MyShapeView* box = o.newShape(3);
        box->setVertPerspective(row.value);
        box->setHorzPerspective(row.value);
        // A bent curve keeps the box warped when both perspectives are 0.
        box->setCurves({ Point(0.0, 0.0), Point(0.5, 0.5), Point(1.0, 0.0) });
        const auto centre = [](const std::vector<Point>& bar) {
            Point c;
            for (const Point& p : bar)
                c = Point(c.x + p.x / 4.0, c.y + p.y / 4.0);
            return c;
        };
        const auto vertical = SelectedTextBoxView::verticalThumb(*box);
        const auto horizontal = SelectedTextBoxView::horizontalThumb(*box);
        ASSERT_EQ(vertical.size(), 4u);
        ASSERT_EQ(horizontal.size(), 4u);
        expectNear(centre(vertical), row.vertical, 1e-3);
        expectNear(centre(horizontal), row.horizontal, 1e-3);
        const QImage image = o.render();
        EXPECT_PIXEL_NEAR(image, int(row.vertical.x), int(row.vertical.y), kThumbGreen, 2);
        EXPECT_PIXEL_NEAR(image, int(row.horizontal.x), int(row.horizontal.y), kThumbGreen, 2);
    }
}

TEST(SelectionOverlay, FlatCurveOfAPerspectiveBoxShowsItsGuide)
{
    OverlayRig o;
    MyShapeView* box = o.newShape(4);
    box->setVertPerspective(0.5f);
    // Default curve: flat, so the guide runs 0.2 of the height (20) below the edge p0-p1.
    const auto guide = SelectedTextBoxView::curveGuidePoints(*box);
    ASSERT_EQ(guide.size(), 3u);
    EXPECT_NEAR(guide[0].y, 80.5, 1e-3);
    const QImage image = o.render();
    EXPECT_PIXEL_NEAR(image, 100, 80, kWhite, 2);
    EXPECT_PIXEL_NEAR(image, 200, 80, kThumbGreen, 2);
    EXPECT_PIXEL_NEAR(image, 300, 80, kWhite, 2);
    // A warped shape that is not edited hides its control points: its first one, on the edge
    // p0-p1 away from the handles, shows the outline.
    const Point first = calcPoints(box->corners(), box->controlPoints().at(0));
    ASSERT_GT(first.x, 105.0);
    ASSERT_LT(first.x, 195.0);
    EXPECT_PIXEL_NEAR(image, int(first.x), int(first.y), kBlue, 2);
}

TEST(SelectionOverlay, ColourRemovalCircleFollowsTheContainer)
{
    OverlayRig o;
    EXPECT_PIXEL_NEAR(o.render(), 189, 170, kTransparent, 0);
    // Centre (170, 170), radius 20, a ring 3 wide in translucent white.
    o.rig.container->brushPreviewLayer = Rect(150.0, 150.0, 40.0, 40.0);
    const QImage image = o.render();
    EXPECT_PIXEL_NEAR(image, 189, 170, (Rgba { 255, 255, 255, 191 }), 3);
    EXPECT_PIXEL_NEAR(image, 150, 170, (Rgba { 255, 255, 255, 191 }), 3);
    EXPECT_PIXEL_NEAR(image, 170, 170, kTransparent, 0);
    EXPECT_PIXEL_NEAR(image, 185, 170, kTransparent, 0);
}

TEST(SelectionOverlay, TakesNoPointerAndOutlivesNoContainer)
{
    OverlayRig o;
    o.newShape(3);
    EXPECT_EQ(o.overlay.hitTest(Point(100.5, 150.5)), nullptr);
    EXPECT_EQ(o.overlay.hitTest(Point(10.0, 10.0)), nullptr);
    EXPECT_PIXEL_NEAR(o.render(), 100, 150, kWhite, 2);
    o.rig.container.reset();
    EXPECT_EQ(o.overlay.container(), nullptr);
    EXPECT_PIXEL_NEAR(o.render(), 100, 150, kTransparent, 0);
}
