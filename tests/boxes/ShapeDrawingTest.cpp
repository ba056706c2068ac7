// Shapes by their pixels: background, fill, stroke, inner shadow and border in their places,
// open lines painted in the stroke fill, the box opacity, fills turning with the box, unknown
// types, a pen path shown flat while it is drawn, and records repaired enough to draw.
#include "BoxTestSupport.h"
#include "boxes/MyPerspectiveView.h"
#include "boxes/MyShapeSuper.h"
#include "boxes/MyShapeView.h"
#include "boxes/WarpCapture.h"

#include <functional>
#include <gtest/gtest.h>

using namespace boxtest;
using platform::Color;
using platform::Point;
using platform::Rect;
using platform::View;

namespace {

// The container: paints a background and captures warped boxes as a plain red picture.
class Container : public View, public WarpCapture {
public:
    explicit Container(std::optional<Color> under)
        : View(Rect(0, 0, 200, 200))
    {
        if (under)
            addSubview(std::make_unique<PlainView>(bounds(), *under));
    }
    int captures = 0;
    platform::Image image_curved_perspectived(MyViewBase& box, View&, float, Rect& rt) override
    {
        ++captures;
        rt = box.frame();
        return picture(4, 4, QColor(255, 0, 0));
    }
};

// container > warp view > shape wrapper > shape.
struct ShapeNest {
    Container container;
    MyPerspectiveView* warp = nullptr;
    MyShapeSuper* wrapper = nullptr;
    MyShapeView* shape = nullptr;

    explicit ShapeNest(int type, const Rect& frame = Rect(50, 40, 100, 60),
        std::optional<Color> under = std::nullopt)
        : container(under)
    {
        warp = container.addSubview(std::make_unique<MyPerspectiveView>(container.bounds()));
        wrapper = warp->addSubview(std::make_unique<MyShapeSuper>(container.bounds()));
        shape = wrapper->addSubview(std::make_unique<MyShapeView>(frame, type));
        // Only what a test asks for: no shadows, no background.
        shape->setInnerShadowColor(std::nullopt);
        shape->setShadowColor(std::nullopt);
    }
    QImage render() { return boxtest::render(container); }
};

} // namespace

TEST(ShapeDrawing, BackgroundFillAndBorderAroundTheFrame)
{
    struct Row {
        const char* name;
        bool filled;
        std::vector<PixelCheck> probes;
    };
    // Rectangle (50, 40) 100 by 60, border 10: background inside x 55..145, border band 45..55.
    const Row rows[] = {
        { "background shows without a fill", false,
            { { 43, 70, kClear }, { 46, 70, kBlue }, { 53, 70, kBlue }, { 56, 70, kGreen },
                { 100, 70, kGreen }, { 146, 70, kBlue }, { 100, 104, kBlue },
                { 100, 106, kClear } } },
        { "the fill covers the background", true,
            { { 43, 70, kClear }, { 53, 70, kBlue }, { 56, 70, kRed }, { 100, 70, kRed },
                { 144, 90, kRed }, { 156, 70, kClear } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShapeNest nest(3);
        nest.shape->setBackColor(solid(Color(0, 1, 0)));
        nest.shape->setOverlayColor(row.filled ? solid(Color(1, 0, 0)) : noFill());
        nest.shape->setBorderColor(solid(Color(0, 0, 1)));
        nest.shape->setBorderSize(10);
        expectPixels(nest.render(), row.probes, 2);
    }
}

TEST(ShapeDrawing, ClosedOutlinesAreFilledAndStrokedOnTheirEdge)
{
    // Rectangle and closed pen path over the box (50, 40) 100 by 60: the stroke band straddles
    // the edge at x 50, the fill lies inside it.
    struct Row {
        const char* name;
        int type;
        int stroke;
        std::vector<std::pair<int, Rgba>> probes; // x along y 70
    };
    const Row rows[] = {
        { "rectangle", 3, 10, { { 46, kRed }, { 53, kRed }, { 57, kBlue }, { 43, kClear } } },
        { "closed pen path", 15, 6, { { 48, kRed }, { 51, kRed }, { 100, kBlue } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShapeNest nest(row.type);
        if (row.type == 15) {
            nest.shape->setPoints(
                { Point(0, 0), Point(1, 0), Point(1, 1), Point(0, 1), Point(0, 0) });
            nest.shape->setControlVals({ true, true, true, true, true });
            nest.shape->setEndType(99);
        }
        nest.shape->setOverlayColor(solid(Color(0, 0, 1)));
        nest.shape->setStrokeColor(solid(Color(1, 0, 0)));
        nest.shape->setStrokeSize(row.stroke);
        const QImage px = nest.render();
        for (const auto& [x, expected] : row.probes)
            EXPECT_PIXEL_NEAR(px, x, 70, expected, 2);
    }
}

TEST(ShapeDrawing, OpenLinesArePaintedInTheStrokeFill)
{
    struct Row {
        const char* name;
        int type;
    };
    // A horizontal band of width 10 along y 70 over the box (50, 40) 100 by 60.
    const Row rows[] = { { "line", 0 }, { "open curve", 2 }, { "open pen path", 15 } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShapeNest nest(row.type);
        nest.shape->setPoints({ Point(0, 0.5), Point(1, 0.5) });
        nest.shape->setControlVals(
            row.type == 0 ? std::vector<ControlValue>() : std::vector<ControlValue> { true, true });
        nest.shape->setStrokeSize(10);
        nest.shape->setStrokeColor(solid(Color(1, 0, 0)));
        nest.shape->setOverlayColor(solid(Color(0, 0, 1)));
        nest.shape->setBackColor(solid(Color(0, 1, 0)));
        // No background, no fill.
        expectPixels(nest.render(),
            { { 100, 70, kRed }, { 100, 66, kRed }, { 100, 77, kClear }, { 100, 45, kClear } }, 2);
    }
}

TEST(ShapeDrawing, OpacityHalvesEveryFillAndLeavesTheInsideUntinted)
{
    ShapeNest nest(3);
    nest.shape->setOverlayColor(solid(Color(0, 0, 1)));
    nest.shape->setLayerOpacity(0.5f);
    nest.shape->setInnerShadowColor(Color(0, 0, 0, 1));
    nest.shape->setInnerShadowOffsetSize(10);
    nest.shape->setInnerShadowAngle(180);
    nest.shape->setInnerShadowBlurSize(0);
    const QImage px = nest.render();
    // The centre is the fill at half alpha, with nothing of the shadow over it.
    EXPECT_PIXEL_NEAR(px, 100, 70, (Rgba { 0, 0, 255, 128 }), 3);
    // The shaded band on the right: black over blue, both at half strength.
    const Rgba band = testsupport::pixelAt(px, 146, 70);
    EXPECT_LT(band.b, 120);
    EXPECT_NEAR(band.a, 191, 4);
}

TEST(ShapeDrawing, InnerShadowFallsInsideOnTheSideOfAngleAndTurn)
{
    struct Row {
        const char* name;
        int angle;
        double turn;
        int offset, blur;
        bool right, left, bottom;
    };
    // The shadow is the outline shifted by the offset; what stays uncovered inside is
    // painted, so a shift to the left shades the right side.
    const Row rows[] = {
        { "left", 180, 0, 10, 0, true, false, false },
        { "up", 90, 0, 10, 0, false, false, true },
        { "up turned by 90 is left", 90, 90, 10, 0, true, false, false },
        { "offset 0 draws nothing, whatever its blur", 180, 0, 0, 12, false, false, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShapeNest nest(3, Rect(50, 50, 100, 100), Color(1, 1, 1));
        nest.shape->setOverlayColor(solid(Color(1, 1, 1)));
        nest.shape->setRotationAngle(row.turn);
        nest.shape->setInnerShadowColor(Color(0, 0, 0, 1));
        nest.shape->setInnerShadowOffsetSize(row.offset);
        nest.shape->setInnerShadowAngle(row.angle);
        nest.shape->setInnerShadowBlurSize(row.blur);
        const QImage px = nest.render();
        expectPixels(px,
            { { 146, 100, row.right ? kBlack : kWhite }, { 54, 100, row.left ? kBlack : kWhite },
                { 100, 54, row.bottom ? kBlack : kWhite }, { 100, 100, kWhite } },
            8);
        expectPixels(px, { { 160, 100, kWhite }, { 100, 40, kWhite } }, 0); // nothing outside
    }
}

TEST(ShapeDrawing, FillGradientTurnsWithTheBox)
{
    ShapeNest nest(3, Rect(40, 60, 120, 60));
    nest.shape->setOverlayColor(linear(Color(1, 0, 0), Color(0, 0, 1)));
    nest.shape->setRotationAngle(30);
    const QImage px = nest.render();
    std::array<Point, 8> p;
    nest.shape->GetFourPoints(p, -6);
    // Across the box (its u axis) the colour runs from one end to the other; along its v axis
    // it stays the same.
    const Rgba start = probe(px, p[4]), end = probe(px, p[5]);
    EXPECT_GT(std::abs(start.r - end.r), 150);
    EXPECT_GT(std::abs(start.b - end.b), 150);
    EXPECT_TRUE(testsupport::near(probe(px, p[6]), probe(px, p[7]), 6))
        << testsupport::describe(probe(px, p[6])) << testsupport::describe(probe(px, p[7]));
}

TEST(ShapeDrawing, UnknownTypeDrawsBackgroundAndBorderOnly)
{
    ShapeNest nest(16);
    nest.shape->setBackColor(solid(Color(0, 1, 0)));
    nest.shape->setBorderColor(solid(Color(0, 0, 1)));
    nest.shape->setBorderSize(10);
    nest.shape->setStrokeSize(8);
    nest.shape->setStrokeColor(solid(Color(1, 0, 0)));
    nest.shape->setInnerShadowColor(Color(0, 0, 0, 1));
    nest.shape->setInnerShadowOffsetSize(10);
    expectPixels(nest.render(),
        { { 100, 70, kGreen }, { 57, 70, kGreen }, { 143, 70, kGreen }, { 52, 70, kBlue } }, 2);
}

TEST(ShapeDrawing, PenPathBeingDrawnShowsFlat)
{
    StaticsGuard statics;
    ShapeNest nest(15);
    nest.shape->setCurves({ Point(0, 0), Point(0.5, 0.3), Point(1, 0) });
    using Drawing = MyPerspectiveView::BoxDrawing;
    EXPECT_EQ(nest.warp->drawingFor(*nest.wrapper), Drawing::Warped);
    nest.shape->setIsDrawing(true);
    EXPECT_TRUE(MyPerspectiveView::isEditing(*nest.wrapper));
    EXPECT_EQ(nest.warp->drawingFor(*nest.wrapper), Drawing::Flat);
    nest.render();
    EXPECT_EQ(nest.container.captures, 0);
    nest.shape->setIsDrawing(false);
    nest.render();
    EXPECT_EQ(nest.container.captures, 1);
}

TEST(ShapeDrawing, SpoiledRecordsOfEveryTypeRestoreAndDraw)
{
    const std::vector<std::pair<const char*, std::function<void(UNDODATA&)>>> spoils = {
        { "no values", [](UNDODATA& r) { r.controlVals.clear(); } },
        { "no points", [](UNDODATA& r) { r.points.clear(); } },
        { "points for values",
            [](UNDODATA& r) { r.controlVals.assign(9, ControlValue(Point(0.5, 0.5))); } },
        { "numbers for values",
            [](UNDODATA& r) { r.controlVals.assign(3, ControlValue(-1.0e9)); } },
        { "far points", [](UNDODATA& r) { r.points.assign(4, Point(1.0e15, -1.0e15)); } },
        { "zero frame", [](UNDODATA& r) { r.frame.size = platform::Size(0, 0); } },
        { "unknown heads",
            [](UNDODATA& r) {
                r.startType = 1000;
                r.endType = -1;
            } },
    };
    for (int type = -1; type <= 16; ++type) {
        for (const auto& [name, spoil] : spoils) {
            SCOPED_TRACE(std::to_string(type) + " " + name);
            UNDODATA r = MyShapeView(Rect(50, 40, 100, 60), type).getUndoData();
            r.strokeSize = 6;
            spoil(r);
            ShapeNest nest(3);
            nest.shape->setUndoData(r);
            const QImage px = nest.render();
            EXPECT_FALSE(px.isNull());
            UNDODATA restored = nest.shape->getUndoData();
            EXPECT_TRUE(MyShapeView::repairRecord(restored));
        }
    }
}

TEST(ShapeDrawing, HundredThousandPointPenPathDrawsAndEdits)
{
    UNDODATA r = MyShapeView(Rect(50, 40, 100, 60), 15).getUndoData();
    r.points.resize(UNDODATA::kMaxShapePoints);
    r.controlVals.resize(r.points.size());
    for (std::size_t i = 0; i < r.points.size(); ++i) {
        r.points[i] = Point(double(i % 97) / 96.0, double(i) / double(r.points.size()));
        r.controlVals[i] = ControlValue(i % 3 == 0);
    }
    r.endType = 1;
    ShapeNest nest(3);
    nest.shape->setUndoData(r);
    nest.shape->setStrokeColor(solid(Color(1, 0, 0)));
    const QImage px = nest.render();
    int painted = 0;
    for (int y = 40; y < 100; ++y)
        painted += testsupport::pixelAt(px, 100, y).a > 0;
    EXPECT_GT(painted, 30);
    EXPECT_PIXEL_NEAR(px, 100, 195, kClear, 0);
    // The pen tool drags the last point on every move.
    nest.shape->modifyControlPoint(int(r.points.size()) - 1, Point(1.2, 1.1), false);
    EXPECT_EQ(nest.shape->points().size(), r.points.size());
    EXPECT_GT(nest.shape->frame().width(), 100.0);
}
