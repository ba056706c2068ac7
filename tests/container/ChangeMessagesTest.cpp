// The inspector's change messages: which boxes take the value, what they store, when a step is
// registered, and that undo and redo rebuild exactly what the change left.
#include "LayerRecords.h"
#include "boxes/ShapeModel.h"
#include "support/NamedCase.h"

#include <functional>
#include <limits>

using namespace layertest;
using platform::Color;
using platform::Point;

// Rows live in the global namespace, where their printer is found.
struct MessageCase {
    const char* name;
    std::vector<Box> boxes;
    std::function<void(TextViewContainer&)> send;
    int steps; // undo steps registered
    std::function<void(ContainerRig&)> check;
    // What the boxes hold beyond a new box's state, before the message.
    std::function<void(TextViewContainer&)> prepare = nullptr;
};

namespace {

const Box kText { Kind::Text };
const Box kImage { Kind::Image };
const Box kLine { Kind::Shape, true, platform::Rect(10, 20, 100, 50), shape::Line };
const Box kUnselectedText { Kind::Text, false };

MyViewBase& at(ContainerRig& rig, std::size_t i)
{
    return *rig.container->textViewAry.at(i);
}

class ChangeMessages : public testing::TestWithParam<MessageCase> { };

TEST_P(ChangeMessages, StoresHeldValuesAndUndoesAsOneStep)
{
    const MessageCase& c = GetParam();
    ContainerRig rig;
    build(rig, c.boxes);
    if (c.prepare)
        c.prepare(*rig.container);
    for (MyViewBase* box : rig.container->textViewAry)
        box->imgPersp = solidPicture(2, 2);
    const ContainerSnapshot before = rig.container->containerSnapshot();

    c.send(*rig.container);
    rig.endEvent();

    EXPECT_EQ(rig.undo.undoGroupCount(), c.steps);
    c.check(rig);
    if (c.steps == 0) {
        EXPECT_TRUE(rig.container->containerSnapshot() == before) << "nothing may change";
        return;
    }
    EXPECT_EQ(rig.delegate.selectedCalls, 0) << "the window updates its own controls";
    expectUndoRedoRoundTrip(rig, before);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Container, ChangeMessages,
    testing::Values(MessageCase { "BorderBelowZeroIsHeldAtZero", { kText, kImage },
                        [](auto& c) { c.borderSizeChanged(-3); }, 1,
                        [](auto& rig) {
                            for (std::size_t i : { 0u, 1u }) {
                                EXPECT_EQ(at(rig, i).borderSize(), 0);
                                EXPECT_TRUE(at(rig, i).imgPersp.isNull()) << "to be warped again";
                            }
                        },
                        // A border to take away: holding -3 at 0 must be a change.
                        [](auto& c) {
                            for (MyViewBase* box : c.textViewAry)
                                box->setBorderSize(5);
                        } },
        MessageCase { "StrokeHeldToTheRecordBound", { kLine },
            [](auto& c) { c.strokeSizeChanged(std::numeric_limits<int>::max()); }, 1,
            [](auto& rig) { EXPECT_EQ(at(rig, 0).strokeSize(), UNDODATA::kMaxLineSize); } },
        MessageCase { "ShadowAngleStoredAsGiven", { kText },
            [](auto& c) { c.shadowAngleChanged(400); }, 1,
            [](auto& rig) { EXPECT_EQ(at(rig, 0).shadowAngle(), 400); } },
        MessageCase { "BoxShadowOffsetHeldToTheExtent", { kText },
            [](auto& c) { c.boxShadowOffsetChanged(std::numeric_limits<int>::min()); }, 1,
            [](auto& rig) {
                EXPECT_EQ(at(rig, 0).boxShadowOffsetSize(), -int(UNDODATA::kMaxExtent));
            } },
        MessageCase { "InnerBlurBelowZeroIsZero", { kImage },
            [](auto& c) { c.innerShadowBlurChanged(-5); }, 1,
            [](auto& rig) { EXPECT_EQ(at(rig, 0).innerShadowBlurSize(), 0); },
            [](auto& c) { c.textViewAry[0]->setInnerShadowBlurSize(7); } },
        MessageCase { "AngleOfTwoTurnsIsZero", { kText },
            [](auto& c) { c.textboxAngleChanged(720.0); }, 1,
            [](auto& rig) { EXPECT_EQ(at(rig, 0).rotationAngle(), 0.0); },
            [](auto& c) { c.textViewAry[0]->setRotationAngle(30.0); } },
        MessageCase { "AngleBelowZeroWraps", { kText },
            [](auto& c) { c.textboxAngleChanged(-100.0); }, 1,
            [](auto& rig) { EXPECT_EQ(at(rig, 0).rotationAngle(), 260.0); } },
        MessageCase { "AngleNotFiniteIsRefused", { kText },
            [](auto& c) { c.textboxAngleChanged(kNaN); }, 0, [](auto&) {} },
        MessageCase { "OpacityHalf", { kText, kImage },
            [](auto& c) { c.textboxOpacityChanged(0.5); }, 1,
            [](auto& rig) { EXPECT_EQ(at(rig, 1).layerOpacity(), 0.5f); } },
        MessageCase { "OpacityNotFiniteIsRefused", { kText },
            [](auto& c) { c.textboxOpacityChanged(kNaN); }, 0,
            [](auto& rig) { EXPECT_EQ(at(rig, 0).layerOpacity(), 1.0f); } },
        MessageCase { "ShadowColourNotFiniteIsRefused", { kText },
            [](auto& c) { c.shadowColorChanged(Color(kNaN, 0, 0, 1)); }, 0, [](auto&) {} },
        MessageCase { "FillNotFiniteIsRefused", { kText },
            [](auto& c) {
                SZGradient fill;
                fill.angle = kNaN;
                c.backgroundColorChanged(fill);
            },
            0, [](auto&) {} },
        MessageCase { "NothingSelectedTakesNoStep", { kUnselectedText },
            [](auto& c) { c.borderColorChanged(SZGradient()); }, 0, [](auto&) {} },
        MessageCase { "SaturationOnlyForPictures", { kText, kImage, kLine },
            [](auto& c) { c.imageboxSaturationChanged(0.2); }, 1,
            [](auto& rig) {
                EXPECT_EQ(boxAt<MyImageView>(rig, 1)->saturation(), 0.2);
                EXPECT_FALSE(at(rig, 0).imgPersp.isNull()) << "the text box is untouched";
            } },
        MessageCase { "SaturationWithoutPictureTakesNoStep", { kText, kLine },
            [](auto& c) { c.imageboxSaturationChanged(0.2); }, 0, [](auto&) {} },
        MessageCase { "HeadsOnTextOnlyTakeNoStep", { kText },
            [](auto& c) { c.startPointChanged(shape::ArrowHead); }, 0, [](auto&) {} },
        MessageCase { "HeadsChangeTheLineOnly", { kText, kLine },
            [](auto& c) { c.endPointChanged(shape::CircleHead); }, 1,
            [](auto& rig) {
                EXPECT_EQ(boxAt<MyShapeView>(rig, 1)->endType(), int(shape::CircleHead));
            } },
        MessageCase { "UnknownHeadIsNone", { kLine }, [](auto& c) { c.startPointChanged(42); }, 1,
            [](auto& rig) {
                EXPECT_EQ(boxAt<MyShapeView>(rig, 0)->startType(), int(shape::NoHead));
            },
            [](auto& c) {
                dynamic_cast<MyShapeView&>(*c.textViewAry[0]).setStartType(shape::ArrowHead);
            } },
        MessageCase { "CurveKeepsEachPointOnItsSide", { kText },
            [](auto& c) { c.curvesChanged(-0.3); }, 1,
            [](auto& rig) {
                const std::vector<Point> expected { { 0, 0 }, { 0.3, 0.3 }, { 0.6, -0.3 },
                    { 1, 0 } };
                EXPECT_EQ(at(rig, 0).curves(), expected);
            },
            [](auto& c) {
                c.textViewAry[0]->setCurves({ { 0, 0 }, { 0.3, 0.1 }, { 0.6, -0.2 }, { 1, 0 } });
            } },
        MessageCase { "CurveOfZeroKeepsTheSide", { kText }, [](auto& c) { c.curvesChanged(0.0); },
            1, [](auto& rig) { EXPECT_EQ(at(rig, 0).curves()[1].y, -0.0001); },
            [](auto& c) {
                c.textViewAry[0]->setCurves({ { 0, 0 }, { 0.5, -0.2 }, { 1, 0 } });
            } }),
    testsupport::RowName());

// The value goes to the factor each box already uses; a box with both takes it as vertical and
// the size alone as horizontal, without changing the sign later boxes get.
TEST(ChangeMessagesPerspective, RoutesToTheFactorAlreadySet)
{
    struct Factors {
        float h, v;
    };
    struct Row {
        const char* name;
        std::vector<Factors> boxes;
        double value;
        std::vector<Factors> expected;
    };
    const Row rows[] = {
        { "BothThenVerticalOnly", { { 0.2f, 0.1f }, { 0.0f, 0.3f } }, -0.4,
            { { 0.4f, -0.4f }, { 0.0f, -0.4f } } },
        { "NewBoxTakesItAsHorizontal", { { 0.001f, 0.0f } }, -0.25, { { -0.25f, 0.0f } } },
        { "ZeroIsKeptAsTheSmallestFactor", { { 0.001f, 0.0f } }, 0.0, { { 0.0001f, 0.0f } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        std::vector<UNDODATA> records;
        for (const Factors& f : row.boxes) {
            UNDODATA r = record(kText);
            r.horzPerspective = f.h;
            r.vertPerspective = f.v;
            records.push_back(r);
        }
        rig.container->applyUndoData(ContainerSnapshot(records));
        const ContainerSnapshot before = rig.container->containerSnapshot();
        rig.container->perspectiveChanged(row.value);
        rig.endEvent();
        for (std::size_t i = 0; i < row.expected.size(); ++i) {
            EXPECT_EQ(at(rig, i).horzPerspective(), row.expected[i].h) << "box " << i;
            EXPECT_EQ(at(rig, i).vertPerspective(), row.expected[i].v) << "box " << i;
        }
        EXPECT_EQ(rig.undo.undoGroupCount(), 1);
        expectUndoRedoRoundTrip(rig, before);
    }
}

// Only the drop shadow lives on the box's outer view, so only its family rebuilds it at once.
TEST(ChangeMessagesShadow, DropShadowFamilyUpdatesTheNestAtOnce)
{
    ContainerRig rig;
    build(rig, { kText });
    MyViewBase& box = at(rig, 0);
    const platform::View* nest = box.superview()->superview();
    rig.container->shadowColorChanged(Color(0, 0, 0, 1));
    rig.container->shadowBlurChanged(7);
    ASSERT_TRUE(nest->shadow().has_value());
    EXPECT_EQ(nest->shadow()->blur, 7.0);
    rig.container->innerShadowBlurChanged(9);
    rig.container->boxShadowBlurChanged(11);
    EXPECT_EQ(nest->shadow()->blur, 7.0);
    rig.endEvent();
    EXPECT_EQ(rig.undo.undoGroupCount(), 1) << "one event, one step";
}

} // namespace
