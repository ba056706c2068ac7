// The text box wrapper's drawing: background inside half the border, the border band centred
// on the outline, the box shadow turning with the box, the box's opacity, and the rule that
// limits drawing while a warp capture renders. Checked by rendering and probing pixels.
#include "BoxTestSupport.h"
#include "boxes/MyTextViewSuper.h"

#include <gtest/gtest.h>

using namespace boxtest;
using platform::Color;
using platform::Point;
using platform::Rect;

namespace {

// A wrapper over a 200 by 200 container holding one box; the box is a plain base view, which
// draws nothing itself, so every pixel comes from the wrapper.
struct Nest {
    MyTextViewSuper wrapper { Rect(0, 0, 200, 200) };
    MyViewBase* box = nullptr;

    explicit Nest(const Rect& frame)
    {
        box = wrapper.addSubview(std::make_unique<MyViewBase>(frame));
    }
    QImage render() { return boxtest::render(wrapper); }
};

// A point given in the box's own unturned coordinates, in the container's.
Point boxPoint(const MyViewBase& box, double x, double y)
{
    const Rect f = box.frame();
    const double r = box.rotationAngle() * M_PI / 180.0;
    return { f.x() + x * std::cos(r) - y * std::sin(r), f.y() + x * std::sin(r) + y * std::cos(r) };
}

} // namespace

TEST(TextFrameDrawing, BackgroundStopsAtTheBorderBandsInnerEdge)
{
    struct Probe {
        double x, y; // box coordinates (unturned), pixel centres
        Rgba expected;
    };
    struct Row {
        const char* name;
        double rotation;
        int border;
        std::vector<Probe> probes;
    };
    // Box 100 by 60; a border of 10 runs from 5 outside to 5 inside the outline.
    const Row rows[] = {
        { "no border: the background fills the outline exactly", 0, 0,
            { { 0.5, 30, kRed }, { -0.5, 30, kClear }, { 99.5, 59.5, kRed },
                { 50, 60.5, kClear } } },
        { "border 10, unrotated", 0, 10,
            { { -5.5, 30, kClear }, { -4.5, 30, kBlue }, { 4.5, 30, kBlue }, { 5.5, 30, kRed },
                { 50, 54.5, kRed }, { 50, 55.5, kBlue }, { 50, 64.5, kBlue }, { 50, 65.5, kClear },
                { -3, -3, kBlue } } },
        { "border 10, rotated 30 degrees", 30, 10,
            { { -6.5, 30, kClear }, { -3.5, 30, kBlue }, { 3.5, 30, kBlue }, { 6.5, 30, kRed },
                { 50, 53.5, kRed }, { 50, 56.5, kBlue }, { 50, 66.5, kClear },
                { 96.5, 30, kBlue } } },
        { "odd border 5 is split in halves of 2.5", 0, 5,
            { { -3.5, 30, kClear }, { -1.5, 30, kBlue }, { 1.5, 30, kBlue }, { 3.5, 30, kRed } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Nest nest(Rect(50, 70, 100, 60));
        nest.box->setRotationAngle(row.rotation);
        nest.box->setBorderSize(row.border);
        nest.box->setBackColor(solid(Color(1, 0, 0)));
        nest.box->setBorderColor(solid(Color(0, 0, 1)));
        const QImage image = nest.render();
        for (const Probe& p : row.probes) {
            const Point at = boxPoint(*nest.box, p.x, p.y);
            EXPECT_TRUE(testsupport::near(probe(image, at), p.expected, 40))
                << "box point (" << p.x << ", " << p.y << ") got "
                << testsupport::describe(probe(image, at));
        }
    }
}

TEST(TextFrameDrawing, OpacityScalesBackgroundAndBorder)
{
    Nest nest(Rect(50, 70, 100, 60));
    nest.box->setBorderSize(10);
    nest.box->setBackColor(solid(Color(1, 0, 0)));
    nest.box->setBorderColor(solid(Color(0, 0, 1)));
    nest.box->setLayerOpacity(0.5f);
    const QImage image = nest.render();
    EXPECT_TRUE(
        testsupport::near(probe(image, boxPoint(*nest.box, 50, 30)), { 255, 0, 0, 128 }, 3));
    EXPECT_TRUE(testsupport::near(probe(image, boxPoint(*nest.box, 0, 30)), { 0, 0, 255, 128 }, 3));
}

// A moved box must look the same: its cached warped picture is reused after a move. A linear
// gradient border therefore spans the border's own bounds, not bounds stretched to the
// container's origin.
TEST(TextFrameDrawing, GradientBorderLooksTheSameWhereverTheBoxStands)
{
    auto borderColours = [](const Rect& frame) {
        Nest nest(frame);
        nest.box->setBorderSize(20);
        nest.box->setBackColor(noFill());
        nest.box->setBorderColor(linear(Color(1, 0, 0), Color(0, 0, 1)));
        const QImage image = nest.render();
        return std::pair(
            probe(image, boxPoint(*nest.box, -5, 20)), probe(image, boxPoint(*nest.box, 45, 20)));
    };
    const auto nearOrigin = borderColours(Rect(15, 15, 40, 40));
    const auto farAway = borderColours(Rect(140, 140, 40, 40));
    EXPECT_TRUE(testsupport::near(nearOrigin.first, farAway.first, 4));
    EXPECT_TRUE(testsupport::near(nearOrigin.second, farAway.second, 4));
    // And the gradient does run across the border.
    EXPECT_FALSE(testsupport::near(farAway.first, farAway.second, 60));
}

TEST(TextFrameDrawing, BoxShadowIsAnInnerShadowTurningWithTheBox)
{
    struct Probe {
        double x, y; // box coordinates (unturned)
        int minAlpha; // inclusive bounds of the alpha found there
        int maxAlpha;
    };
    struct Row {
        const char* name;
        double rotation;
        int angle;
        int offset;
        int blur;
        float opacity;
        std::vector<Probe> probes;
    };
    // Offset 10 at the box's own 0 degrees: the quad's offset copy erases all but a 10 wide band
    // along the box's left edge, and the layer's own shadow adds a second band of 10 next to it.
    const Row rows[] = {
        { "angle 0, unrotated: band along the left edge", 0, 0, 10, 0, 1.0f,
            { { 5, 50, 250, 255 }, { 15, 50, 250, 255 }, { 25, 50, 0, 5 }, { 95, 50, 0, 5 },
                { -3, 50, 0, 5 } } },
        { "angle 0 on a box rotated 30 falls at 30 degrees", 30, 0, 10, 0, 1.0f,
            { { 4, 50, 250, 255 }, { 15, 50, 250, 255 }, { 26, 50, 0, 5 }, { 50, 3, 0, 5 } } },
        { "angle 90 on a box rotated 30: band along the bottom edge", 30, 90, 10, 0, 1.0f,
            { { 50, 4, 250, 255 }, { 50, 26, 0, 5 }, { 4, 50, 0, 5 }, { 50, 96, 0, 5 } } },
        { "offset 0 draws nothing whatever the blur", 0, 0, 0, 8, 1.0f,
            { { 2, 50, 0, 0 }, { 50, 50, 0, 0 } } },
        // The layer's alpha is the colour's alpha times the opacity; the rest of the box stays
        // clear (a translucent fill inside the layer would wash over the whole box).
        { "opacity 0.5: the band at half strength, the inside clear", 0, 0, 10, 0, 0.5f,
            { { 5, 50, 122, 134 }, { 50, 50, 0, 5 }, { 95, 50, 0, 5 } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Nest nest(Rect(50, 50, 100, 100));
        nest.box->setRotationAngle(row.rotation);
        nest.box->setBackColor(noFill());
        nest.box->setLayerOpacity(row.opacity);
        nest.box->setBoxShadowColor(Color(0, 0, 0, 1));
        nest.box->setBoxShadowAngle(row.angle);
        nest.box->setBoxShadowOffsetSize(row.offset);
        nest.box->setBoxShadowBlurSize(row.blur);
        const QImage image = nest.render();
        for (const Probe& p : row.probes) {
            const int a = probe(image, boxPoint(*nest.box, p.x, p.y)).a;
            EXPECT_GE(a, p.minAlpha) << "box point (" << p.x << ", " << p.y << ")";
            EXPECT_LE(a, p.maxAlpha) << "box point (" << p.x << ", " << p.y << ")";
        }
    }
}

TEST(TextFrameDrawing, DuringACaptureOnlyDirtyRectsMeetingTheCaptureRectDraw)
{
    struct Row {
        const char* name;
        WarpCaptureRect capture;
        Rect dirty;
        bool draws;
    };
    const Row rows[] = {
        { "no capture under way", { Rect(500, 500, 10, 10), false }, Rect(0, 0, 10, 10), true },
        { "capture elsewhere", { Rect(500, 500, 10, 10), true }, Rect(0, 0, 10, 10), false },
        { "capture overlapping", { Rect(5, 5, 10, 10), true }, Rect(0, 0, 10, 10), true },
    };
    for (const Row& row : rows)
        EXPECT_EQ(MyTextViewSuper::drawsDuring(row.capture, row.dirty), row.draws) << row.name;

    StaticsGuard restore;
    Nest nest(Rect(50, 50, 100, 100));
    nest.box->setBackColor(solid(Color(1, 0, 0)));
    gWarpCaptureRect = { Rect(1000, 1000, 50, 50), true };
    EXPECT_EQ(probe(nest.render(), { 100, 100 }), kClear);
    gWarpCaptureRect = { Rect(60, 60, 50, 50), true };
    EXPECT_EQ(probe(nest.render(), { 100, 100 }), kRed);
}
