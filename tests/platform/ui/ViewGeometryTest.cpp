// Frames with rotation, bounds scaling, conversion, hit testing and the subview order.
#include "TestViews.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace platform;
using uitest::FillView;

namespace {

constexpr double kEps = 1e-9;

Point frameCenter(const View& v)
{
    return v.transformToSuperview().map(v.bounds().center());
}

Point rotate(const Point& p, double degrees)
{
    const double r = degrees * std::numbers::pi / 180.0;
    return { p.x * std::cos(r) - p.y * std::sin(r), p.x * std::sin(r) + p.y * std::cos(r) };
}

} // namespace

TEST(ViewFrame, QuarterTurnAboutTheCentreIsExact)
{
    View v(Rect(10, 20, 100, 50));
    v.setFrameCenterRotation(90);
    // The centre (60, 45) stays; the first corner is where own (0, 0) lands.
    EXPECT_EQ(v.frame(), Rect(85, -5, 100, 50));
    EXPECT_EQ(v.transformToSuperview().map({ 0, 0 }), Point(85, -5));
    EXPECT_EQ(frameCenter(v), Point(60, 45));
    EXPECT_EQ(v.bounds(), Rect(0, 0, 100, 50));
    EXPECT_EQ(v.visualFrame(), Rect(35, -5, 50, 100));

    // setFrameSize keeps the turned origin; the far corner moves along the turned axes.
    v.setFrameSize({ 40, 30 });
    EXPECT_EQ(v.frame(), Rect(85, -5, 40, 30));
    EXPECT_EQ(v.transformToSuperview().map({ 40, 0 }), Point(85, 35));
    // setFrameOrigin moves without resizing or turning.
    v.setFrameOrigin({ 0, 0 });
    EXPECT_EQ(v.frame(), Rect(0, 0, 40, 30));
    EXPECT_EQ(v.frameRotation(), 90.0);
    // setFrameRotation turns about the origin instead.
    v.setFrameRotation(180);
    EXPECT_EQ(v.frame().origin, Point(0, 0));
    EXPECT_EQ(v.transformToSuperview().map({ 40, 30 }), Point(-40, -30));
}

TEST(ViewFrame, CentreRotationKeepsCentreAndSize)
{
    struct Row {
        const char* name;
        Rect frame;
        double first, second;
    };
    const Row rows[] = {
        { "30 degrees from upright", { 10, 20, 100, 50 }, 0, 30 },
        { "negative angle", { -5, 7, 33, 80 }, 15, -45 },
        { "more than a turn", { 0, 0, 12, 4 }, 0, 400 },
        { "negative size", { 50, 50, -20, 10 }, 0, 60 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        View v(row.frame);
        v.setFrameCenterRotation(row.first);
        const Point center = frameCenter(v);
        v.setFrameCenterRotation(row.second);
        EXPECT_POINT_NEAR(frameCenter(v), center, kEps);
        EXPECT_EQ(v.frame().size, row.frame.size);
        EXPECT_EQ(v.frameCenterRotation(), row.second);
        // The origin is where own (0, 0) lands: centre minus the turned half size.
        const Point half = rotate({ row.frame.width() / 2, row.frame.height() / 2 }, row.second);
        EXPECT_POINT_NEAR(v.frame().origin, center - half, kEps);
        EXPECT_POINT_NEAR(v.transformToSuperview().map({ 0, 0 }), v.frame().origin, kEps);
    }
}

TEST(ViewFrame, NonFiniteValuesAreRefused)
{
    View v(Rect(1, 2, 3, 4));
    v.setFrame(Rect(NAN, 0, 1, 1));
    v.setFrameOrigin({ INFINITY, 0 });
    v.setFrameSize({ 1, NAN });
    v.setFrameCenterRotation(NAN);
    v.scaleUnitSquareToSize({ 0, 1 });
    v.scaleUnitSquareToSize({ INFINITY, 1 });
    EXPECT_EQ(v.frame(), Rect(1, 2, 3, 4));
    EXPECT_EQ(v.frameRotation(), 0.0);
    EXPECT_EQ(v.bounds(), Rect(0, 0, 3, 4));
    v.setAlphaValue(NAN);
    EXPECT_EQ(v.alphaValue(), 1.0);
    v.setAlphaValue(-3);
    EXPECT_EQ(v.alphaValue(), 0.0);
}

TEST(ViewBounds, UnitSquareScalingZoomsContentNotNumbers)
{
    View canvas(Rect(0, 0, 200, 100));
    canvas.setBoundsOrigin({ 10, 4 });
    canvas.scaleUnitSquareToSize({ 2, 2 });
    // The bounds (origin too) are in the new, larger units.
    EXPECT_EQ(canvas.bounds(), Rect(5, 2, 100, 50));
    auto* box = canvas.addSubview(std::make_unique<View>(Rect(15, 12, 20, 20)));
    // The box keeps its numbers; on screen it is twice as large and offset by the origin.
    EXPECT_EQ(box->frame(), Rect(15, 12, 20, 20));
    EXPECT_EQ(box->convertPointToView({ 0, 0 }, nullptr), Point(20, 20));
    EXPECT_EQ(box->convertRectToView(box->bounds(), nullptr), Rect(20, 20, 40, 40));
    // Resizing keeps the scale; scaling again multiplies.
    canvas.setFrameSize({ 400, 200 });
    EXPECT_EQ(canvas.bounds(), Rect(5, 2, 200, 100));
    canvas.scaleUnitSquareToSize({ 0.5, 0.25 });
    EXPECT_EQ(canvas.unitScale(), Size(1, 0.5));
    EXPECT_EQ(canvas.bounds(), Rect(10, 8, 400, 400));
}

TEST(ViewConversion, RoundTripsThroughRotationAndScale)
{
    View root(Rect(0, 0, 800, 600));
    auto* zoom = root.addSubview(std::make_unique<View>(Rect(20, 10, 700, 500)));
    zoom->scaleUnitSquareToSize({ 2, 2 });
    auto* box = zoom->addSubview(std::make_unique<View>(Rect(50, 40, 60, 30)));
    box->setFrameCenterRotation(30);
    auto* inner = box->addSubview(std::make_unique<View>(Rect(5, 5, 20, 10)));
    inner->setFrameCenterRotation(-75);
    inner->setBoundsOrigin({ -3, 2 });
    auto* sibling = zoom->addSubview(std::make_unique<View>(Rect(100, 100, 40, 40)));
    sibling->setFrameCenterRotation(-10);

    const Point samples[] = { { 0, 0 }, { 1, 0 }, { 7.5, -3.25 }, { 123, 456 }, { -40, 12 } };
    for (const Point& p : samples) {
        for (View* from : { zoom, box, inner, sibling }) {
            for (View* to : { static_cast<View*>(nullptr), zoom, box, inner, sibling }) {
                const Point there = from->convertPointToView(p, to);
                const Point back = to ? to->convertPointToView(there, from)
                                      : from->convertPointFromView(there, nullptr);
                EXPECT_POINT_NEAR(back, p, 1e-9);
                if (to)
                    EXPECT_POINT_NEAR(to->convertPointFromView(p, from), there, 1e-9);
            }
        }
    }
    // By hand: box's (0, 0) is its frame origin in zoom units, doubled, plus zoom's origin.
    EXPECT_POINT_NEAR(box->convertPointToView({ 0, 0 }, nullptr),
        Point(20 + 2 * box->frame().x(), 10 + 2 * box->frame().y()), 1e-12);
    // The box's own x axis points 30 degrees up on screen, two window units per unit.
    const Point axis
        = box->convertPointToView({ 1, 0 }, nullptr) - box->convertPointToView({ 0, 0 }, nullptr);
    EXPECT_POINT_NEAR(axis, rotate({ 2, 0 }, 30), 1e-12);
    // A rectangle converts to the bounding box of its turned corners.
    const Rect r = box->convertRectToView(box->bounds(), zoom);
    EXPECT_NEAR(r.width(), 60 * std::cos(std::numbers::pi / 6) + 30 * 0.5, 1e-9);
    EXPECT_NEAR(r.height(), 60 * 0.5 + 30 * std::cos(std::numbers::pi / 6), 1e-9);
}

TEST(ViewHitTest, FollowsTurnedAndScaledShapes)
{
    View root(Rect(0, 0, 800, 600));
    auto* zoom = root.addSubview(std::make_unique<View>(Rect(0, 0, 800, 600)));
    zoom->scaleUnitSquareToSize({ 2, 2 });
    auto* box = zoom->addSubview(std::make_unique<View>(Rect(50, 40, 60, 30)));
    box->setFrameCenterRotation(30);
    auto* inner = box->addSubview(std::make_unique<View>(Rect(40, 10, 15, 15)));

    struct Row {
        const char* name;
        Point inBox; // box coordinates of the probe
        View* expected;
    };
    const Row rows[] = {
        { "inside the box", { 10, 5 }, box },
        { "near the far corner", { 59.5, 29.5 }, box },
        { "inside the inner view", { 45, 20 }, inner },
        { "left of the turned box, inside its bounding box", { -2, 25 }, zoom },
        { "below the turned box", { 55, -1 }, zoom },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Point window = box->convertPointToView(row.inBox, nullptr);
        EXPECT_EQ(root.hitTest(window), row.expected);
    }
    EXPECT_EQ(root.hitTest({ -1, -1 }), nullptr);

    // Hidden views neither hit nor let their subviews hit.
    const Point inInner = inner->convertPointToView({ 5, 5 }, nullptr);
    box->setHidden(true);
    EXPECT_EQ(root.hitTest(inInner), zoom);
    EXPECT_TRUE(inner->isHiddenOrHasHiddenAncestor());
    box->setHidden(false);
    inner->setHidden(true);
    EXPECT_EQ(root.hitTest(inInner), box);
}

TEST(ViewHierarchy, StackingOrderAndOwnership)
{
    View root(Rect(0, 0, 100, 100));
    auto* a = root.addSubview(std::make_unique<View>(Rect(0, 0, 50, 50)));
    auto* b = root.addSubview(std::make_unique<View>(Rect(10, 10, 50, 50)));
    auto* c = root.addSubview(std::make_unique<View>(Rect(20, 20, 50, 50)), WindowOrder::Below, b);
    auto* d
        = root.addSubview(std::make_unique<View>(Rect(0, 0, 5, 5)), WindowOrder::Below, nullptr);
    auto* e = root.addSubview(std::make_unique<View>(Rect(0, 0, 5, 5)), WindowOrder::Above, a);
    EXPECT_EQ(root.subviews(), (std::vector<View*> { d, a, e, c, b }));
    // The topmost of overlapping siblings takes the hit.
    EXPECT_EQ(root.hitTest({ 30, 30 }), b);

    std::unique_ptr<View> taken = b->removeFromSuperview();
    ASSERT_EQ(taken.get(), b);
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_EQ(root.hitTest({ 30, 30 }), c);
    EXPECT_EQ(root.indexOfSubview(b), -1);
    // Re-inserted at the bottom, it keeps its frame.
    root.addSubview(std::move(taken), WindowOrder::Below, nullptr);
    EXPECT_EQ(root.subviewAt(0), b);
    EXPECT_EQ(b->frame(), Rect(10, 10, 50, 50));
    EXPECT_TRUE(b->isDescendantOf(&root));
    EXPECT_EQ(b->rootView(), &root);
    EXPECT_EQ(root.removeFromSuperview(), nullptr);
    EXPECT_EQ(root.addSubview(std::unique_ptr<View>()), nullptr);
}
