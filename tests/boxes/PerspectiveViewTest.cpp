// The warp view: the flat or warped choice, the cached warped picture and when it is made
// again, the picture drawn turned about its rectangle's centre, and drawing that changes
// nothing in the tree. The container's warp capture is faked.
#include "BoxTestSupport.h"
#include "boxes/MyPerspectiveView.h"
#include "boxes/MyTextViewSuper.h"
#include "boxes/WarpCapture.h"

#include <QtGlobal>
#include <functional>
#include <gtest/gtest.h>

using boxtest::kBlue;
using boxtest::kClear;
using boxtest::kGreen;
using boxtest::kRed;
using boxtest::solid;
using boxtest::StaticsGuard;
using platform::Color;
using platform::Image;
using platform::Point;
using platform::Rect;
using platform::Size;
using platform::View;
using testsupport::Rgba;
using Drawing = MyPerspectiveView::BoxDrawing;

namespace {

// A container that captures like the real one as far as the warp view can tell: it renders
// the wrapper's box area (so the wrapper must be drawable while it runs), or answers a given
// picture and rectangle, or nothing.
class FakeContainer : public View, public WarpCapture {
public:
    FakeContainer()
        : View(Rect(0, 0, 200, 200))
    {
    }

    enum class Mode { RenderWrapper, Given, Nothing };
    Mode mode = Mode::RenderWrapper;
    Image given;
    Rect givenRect;

    int captures = 0;
    std::vector<float> fractions;

    Image image_curved_perspectived(MyViewBase& box, View& wrapper, float fVal, Rect& rt) override
    {
        ++captures;
        fractions.push_back(fVal);
        switch (mode) {
        case Mode::RenderWrapper:
            rt = box.frame();
            return platform::renderToImage(wrapper, rt, 1.0);
        case Mode::Given:
            rt = givenRect;
            return given;
        case Mode::Nothing:
            return {};
        }
        return {};
    }
};

// container -> warp view -> text wrapper -> box, all covering the container but the box.
struct Nest {
    FakeContainer container;
    MyPerspectiveView* warpView = nullptr;
    MyTextViewSuper* wrapper = nullptr;
    MyViewBase* box = nullptr;

    Nest()
    {
        warpView = container.addSubview(std::make_unique<MyPerspectiveView>(Rect(0, 0, 200, 200)));
        wrapper = warpView->addSubview(std::make_unique<MyTextViewSuper>(Rect(0, 0, 200, 200)));
        box = wrapper->addSubview(std::make_unique<MyViewBase>(Rect(40, 80, 60, 40)));
        box->setBackColor(solid(Color(1, 0, 0)));
    }
    void curve() { box->setCurves({ Point(0, 0), Point(0.5, 0.3), Point(1, 0) }); }
    QImage render() { return boxtest::render(container); }
};

// Collects the view layer's complaints about changes made while drawing.
struct DrawingComplaints {
    static inline std::vector<QString> messages;
    static inline QtMessageHandler previous = nullptr;
    DrawingComplaints()
    {
        messages.clear();
        previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (message.contains(QLatin1String("during drawing")))
                    messages.push_back(message);
                if (previous)
                    previous(type, context, message);
            });
    }
    ~DrawingComplaints() { qInstallMessageHandler(previous); }
};

} // namespace

TEST(WarpViewChoice, WarpedUnlessEditedExceptForExportAndAnimation)
{
    StaticsGuard restore;
    enum Animation { None, ThisBox, OtherBox, ThisBoxNotYetTicked };
    struct Row {
        const char* name;
        bool curve;
        float perspective;
        bool editing;
        bool exporting;
        Animation animation;
        Drawing expected;
    };
    const Row rows[] = {
        { "a new box (perspective 0.001, flat curve)", false, 0.001f, false, false, None,
            Drawing::Flat },
        { "a curve", true, 0.001f, false, false, None, Drawing::Warped },
        { "a perspective", false, 0.3f, false, false, None, Drawing::Warped },
        { "a curve, edited", true, 0.001f, true, false, None, Drawing::Flat },
        { "a curve, edited, exporting", true, 0.001f, true, true, None, Drawing::Warped },
        { "no warp, its animation", false, 0.001f, false, false, ThisBox, Drawing::Flat },
        { "a curve, edited, its animation", true, 0.001f, true, false, ThisBox, Drawing::Animated },
        { "a curve, edited, another box's animation", true, 0.001f, true, false, OtherBox,
            Drawing::Flat },
        { "a curve, edited, its animation not yet ticked", true, 0.001f, true, false,
            ThisBoxNotYetTicked, Drawing::Flat },
    };
    MyViewBase other(Rect(0, 0, 10, 10));
    for (const Row& row : rows) {
        Nest nest;
        if (row.curve)
            nest.curve();
        nest.box->setHorzPerspective(row.perspective);
        nest.box->setIsEditing(row.editing);
        gCanvasExporting = row.exporting;
        gEditAnimation = EditAnimation();
        gEditAnimation.box = row.animation == OtherBox ? &other : nest.box;
        gEditAnimation.running = row.animation == ThisBox || row.animation == OtherBox;
        EXPECT_EQ(nest.warpView->drawingFor(*nest.wrapper), row.expected) << row.name;
    }

    // Outside a container there is no capture: shown flat.
    gEditAnimation = EditAnimation();
    gCanvasExporting = false;
    MyPerspectiveView loose(Rect(0, 0, 200, 200));
    auto* wrapper = loose.addSubview(std::make_unique<MyTextViewSuper>(Rect(0, 0, 200, 200)));
    auto* box = wrapper->addSubview(std::make_unique<MyViewBase>(Rect(40, 80, 60, 40)));
    box->setCurves({ Point(0, 0), Point(0.5, 0.3), Point(1, 0) });
    EXPECT_EQ(loose.drawingFor(*wrapper), Drawing::Flat);

    // Any other view is no wrapper: never editing, always drawn as it is.
    View plain(Rect(0, 0, 10, 10));
    EXPECT_FALSE(MyPerspectiveView::isEditing(plain));
    EXPECT_EQ(loose.drawingFor(plain), Drawing::Flat);
}

TEST(WarpViewCache, MadeAgainOnlyWhenTheRecordDiffers)
{
    StaticsGuard restore;
    struct Step {
        const char* name;
        std::function<void(MyViewBase&)> change;
        bool newCapture;
    };
    const Step steps[] = {
        { "first draw", [](MyViewBase&) {}, true },
        { "drawn again unchanged", [](MyViewBase&) {}, false },
        { "moved", [](MyViewBase& b) { b.setFrameOrigin(Point(47, 77)); }, false },
        { "selected", [](MyViewBase& b) { b.setSelected(true); }, false },
        { "resized", [](MyViewBase& b) { b.setFrameSize(Size(70, 40)); }, true },
        { "rotated", [](MyViewBase& b) { b.setRotationAngle(20); }, true },
        { "curve changed",
            [](MyViewBase& b) {
                b.setCurves({ Point(0, 0), Point(0.5, -0.3), Point(1, 0) });
            },
            true },
        // The box shadow is part of a text record (this box records as text).
        { "box shadow changed", [](MyViewBase& b) { b.setBoxShadowOffsetSize(3); }, true },
        { "drawn again after all that", [](MyViewBase&) {}, false },
    };
    Nest nest;
    nest.curve();
    int expected = 0;
    for (const Step& step : steps) {
        step.change(*nest.box);
        nest.render();
        expected += step.newCapture ? 1 : 0;
        EXPECT_EQ(nest.container.captures, expected) << step.name;
        EXPECT_FALSE(nest.box->imgPersp.isNull()) << step.name;
        ASSERT_TRUE(nest.box->ud.has_value()) << step.name;
        EXPECT_TRUE(nest.box->ud->isEqualTo(nest.box->getUndoData())) << step.name;
    }
    for (float f : nest.container.fractions)
        EXPECT_EQ(f, 1.0f);
}

TEST(WarpViewCache, AMovedBoxShowsTheSamePictureAtTheMovedRectangle)
{
    StaticsGuard restore;
    Nest nest;
    nest.curve();
    QImage image = nest.render();
    EXPECT_PIXEL_NEAR(image, 70, 100, kRed, 2);
    const Image cached = nest.box->imgPersp;
    EXPECT_EQ(nest.box->imgRect, Rect(40, 80, 60, 40));

    nest.box->setFrameOrigin(Point(120, 20));
    image = nest.render();
    EXPECT_EQ(nest.container.captures, 1);
    EXPECT_EQ(nest.box->imgPersp, cached);
    EXPECT_EQ(nest.box->imgRect, Rect(120, 20, 60, 40));
    EXPECT_PIXEL_NEAR(image, 150, 40, kRed, 2);
    EXPECT_PIXEL_NEAR(image, 70, 100, kClear, 0);
}

TEST(WarpViewCache, AnimationCapturesAtItsFractionAndLeavesTheCacheAlone)
{
    StaticsGuard restore;
    Nest nest;
    nest.curve();
    nest.render();
    const Image cached = nest.box->imgPersp;
    const auto record = nest.box->ud;

    nest.box->setIsEditing(true);
    gEditAnimation = EditAnimation();
    gEditAnimation.box = nest.box;
    gEditAnimation.running = true;
    for (float f : { 0.6f, 0.2f }) {
        gEditAnimation.fraction = f;
        nest.render();
    }
    EXPECT_EQ(nest.container.fractions, (std::vector<float> { 1.0f, 0.6f, 0.2f }));
    EXPECT_EQ(nest.box->imgPersp, cached);
    ASSERT_TRUE(nest.box->ud.has_value());
    EXPECT_TRUE(nest.box->ud->isEqualTo(*record));

    // The animation over and the box edited: flat, no capture.
    gEditAnimation.running = false;
    nest.render();
    EXPECT_EQ(nest.container.captures, 3);
}

TEST(WarpViewCache, ACaptureThatAnswersNothingDrawsNothingAndIsTriedAgain)
{
    StaticsGuard restore;
    Nest nest;
    nest.curve();
    nest.container.mode = FakeContainer::Mode::Nothing;
    QImage image = nest.render();
    EXPECT_EQ(nest.container.captures, 1);
    EXPECT_TRUE(nest.box->imgPersp.isNull());
    EXPECT_FALSE(nest.box->ud.has_value());
    // Neither a picture nor the flat box.
    EXPECT_PIXEL_NEAR(image, 70, 100, kClear, 0);

    nest.container.mode = FakeContainer::Mode::RenderWrapper;
    image = nest.render();
    EXPECT_EQ(nest.container.captures, 2);
    EXPECT_PIXEL_NEAR(image, 70, 100, kRed, 2);
}

TEST(WarpViewDrawing, PictureTurnedByTheBoxRotationAboutItsRectCentre)
{
    StaticsGuard restore;
    // A 60 by 20 picture, left half green, right half blue, placed centred on (100, 100).
    QImage px = boxtest::pixels(60, 20, Qt::green);
    for (int y = 0; y < 20; ++y)
        for (int x = 30; x < 60; ++x)
            px.setPixel(x, y, qRgba(0, 0, 255, 255));
    struct Probe {
        int x, y;
        Rgba expected;
    };
    struct Row {
        const char* name;
        double rotation;
        std::vector<Probe> probes;
    };
    const Row rows[] = {
        { "unturned", 0,
            { { 75, 100, kGreen }, { 125, 100, kBlue }, { 100, 75, kClear },
                { 65, 100, kClear } } },
        { "turned 90 degrees: left half below, right half above", 90,
            { { 100, 75, kGreen }, { 100, 125, kBlue }, { 75, 100, kClear } } },
        { "turned 180 degrees", 180, { { 75, 100, kBlue }, { 125, 100, kGreen } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Nest nest;
        nest.curve();
        nest.box->setFrame(Rect(70, 80, 60, 40));
        nest.box->setRotationAngle(row.rotation);
        nest.container.mode = FakeContainer::Mode::Given;
        nest.container.given = Image::fromQImage(px);
        nest.container.givenRect = Rect(70, 90, 60, 20);
        const QImage image = nest.render();
        for (const Probe& p : row.probes)
            EXPECT_PIXEL_NEAR(image, p.x, p.y, p.expected, 8);
    }
}
TEST(WarpViewDrawing, DrawingShowsHidesAndInvalidatesNothing)
{
    StaticsGuard restore;
    DrawingComplaints complaints;
    struct Row {
        const char* name;
        std::function<void(Nest&)> setUp;
    };
    const Row rows[] = {
        { "flat", [](Nest&) {} },
        { "warped", [](Nest& n) { n.curve(); } },
        { "exporting",
            [](Nest& n) {
                n.curve();
                n.box->setIsEditing(true);
                gCanvasExporting = true;
            } },
        { "animating",
            [](Nest& n) {
                n.curve();
                gEditAnimation.box = n.box;
                gEditAnimation.running = true;
                gEditAnimation.fraction = 0.4f;
            } },
    };
    for (const Row& row : rows) {
        gEditAnimation = EditAnimation();
        gCanvasExporting = false;
        Nest nest;
        row.setUp(nest);
        nest.box->setBorderSize(4);
        nest.box->setBoxShadowColor(Color(0, 0, 0, 1));
        nest.box->setBoxShadowOffsetSize(5);
        nest.container.clearNeedsDisplayInTree();
        nest.render();
        nest.render();
        EXPECT_FALSE(nest.wrapper->isHidden()) << row.name;
        EXPECT_FALSE(nest.warpView->isHidden()) << row.name;
        for (const View* v : std::initializer_list<const View*> {
                 &nest.container, nest.warpView, nest.wrapper, nest.box })
            EXPECT_FALSE(v->needsDisplay()) << row.name;
    }
    EXPECT_TRUE(DrawingComplaints::messages.empty())
        << DrawingComplaints::messages.front().toStdString();
}
