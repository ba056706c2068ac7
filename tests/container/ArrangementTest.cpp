// Arrangement, frame and key operations: stacking moves, deletion, frame and corner fields,
// nudges, the selection summary and picture replacement, each as one undo step or none.
#include "LayerRecords.h"
#include "boxes/ShapeModel.h"
#include "support/NamedCase.h"

#include <array>
#include <cmath>
#include <cstring>
#include <functional>

using namespace layertest;
using platform::Point;
using platform::Rect;
using platform::Size;

// Rows live in the global namespace, where their printer is found.
struct StackCase {
    const char* name;
    std::vector<int> selected;
    void (TextViewContainer::*move)();
    std::vector<int> expected; // empty: nothing happens
};

namespace {

// Four boxes told apart by their x: box i stands at x = 100 i.
std::vector<Box> fourBoxes(std::vector<int> selected)
{
    std::vector<Box> boxes;
    for (int i = 0; i < 4; ++i) {
        const bool on = std::find(selected.begin(), selected.end(), i) != selected.end();
        boxes.push_back({ i % 2 ? Kind::Image : Kind::Text, on, Rect(100.0 * i, 0, 50, 50) });
    }
    return boxes;
}

// The old index of each box, bottom first, read from the array and from the subviews.
std::vector<int> order(ContainerRig& rig)
{
    std::vector<int> found;
    const std::vector<platform::View*> views = boxesOfSubviews(*rig.container);
    EXPECT_EQ(views.size(), rig.container->textViewAry.size());
    for (std::size_t i = 0; i < rig.container->textViewAry.size(); ++i) {
        MyViewBase* box = rig.container->textViewAry[i];
        EXPECT_EQ(views.at(i), box) << "subview " << i << " out of step with the array";
        found.push_back(int(box->frame().x() / 100.0));
    }
    return found;
}

class Stacking : public testing::TestWithParam<StackCase> { };

TEST_P(Stacking, MovesOneBoxAndRestacksTheNests)
{
    const StackCase& c = GetParam();
    ContainerRig rig;
    build(rig, fourBoxes(c.selected));
    const ContainerSnapshot before = rig.container->containerSnapshot();
    (rig.container.get()->*c.move)();
    rig.endEvent();
    if (c.expected.empty()) {
        EXPECT_EQ(order(rig), (std::vector<int> { 0, 1, 2, 3 }));
        EXPECT_EQ(rig.undo.undoGroupCount(), 0);
        return;
    }
    EXPECT_EQ(order(rig), c.expected);
    EXPECT_EQ(rig.undo.undoGroupCount(), 1);
    expectUndoRedoRoundTrip(rig, before);
    rig.undo.undo();
    EXPECT_EQ(order(rig), (std::vector<int> { 0, 1, 2, 3 }));
}

INSTANTIATE_TEST_SUITE_P(Container, Stacking,
    testing::Values(
        StackCase { "SendToBack", { 2 }, &TextViewContainer::sendToBack, { 2, 0, 1, 3 } },
        StackCase { "SendBackward", { 2 }, &TextViewContainer::sendBackward, { 0, 2, 1, 3 } },
        StackCase { "BringForward", { 1 }, &TextViewContainer::bringForward, { 0, 2, 1, 3 } },
        StackCase { "BringToFront", { 1 }, &TextViewContainer::bringToFront, { 0, 2, 3, 1 } },
        StackCase { "TopCannotComeForward", { 3 }, &TextViewContainer::bringForward, {} },
        StackCase { "BottomCannotGoBack", { 0 }, &TextViewContainer::sendToBack, {} },
        StackCase { "TwoSelectedDoNotMove", { 1, 2 }, &TextViewContainer::bringToFront, {} }),
    testsupport::RowName());

TEST(Arrangement, DeleteThenUndoBringsEveryBoxBackInOrder)
{
    ContainerRig rig;
    build(rig, fourBoxes({ 1, 2 }));
    // The window must not be left with the text view of a deleted box.
    rig.delegate.edited = boxAt<MyTextView>(rig, 2)->txtBox();
    rig.container->deleteKeyClicked();
    rig.endEvent();
    EXPECT_EQ(order(rig), (std::vector<int> { 0, 3 }));
    EXPECT_EQ(rig.delegate.edited, nullptr);
    EXPECT_EQ(rig.delegate.selectedCalls, 0);
    rig.undo.undo();
    EXPECT_EQ(order(rig), (std::vector<int> { 0, 1, 2, 3 }));

    // Nothing selected: nothing at all.
    build(rig, fourBoxes({}));
    const int steps = rig.undo.undoGroupCount();
    rig.container->deleteKeyClicked();
    rig.endEvent();
    EXPECT_EQ(rig.undo.undoGroupCount(), steps);
}

TEST(Arrangement, FrameFieldsKeepBothSidesAtLeastOne)
{
    struct Row {
        const char* name;
        qint64 value, tag;
        bool lock;
        Rect expected;
    };
    // The box is (10, 20, 100, 50).
    const Row rows[] = {
        { "WidthLocked", 200, 0, true, Rect(10, 20, 200, 100) },
        { "WidthFree", 200, 0, false, Rect(10, 20, 200, 50) },
        { "HeightZero", 0, 1, false, Rect(10, 20, 100, 1) },
        { "WidthZeroLocked", 0, 0, true, Rect(10, 20, 1, 1) },
        { "HeightBelowZeroLocked", -5, 1, true, Rect(10, 20, 2, 1) },
        { "HugeWidthLocked", 1'000'000'000'000, 0, true, Rect(10, 20, 1e6, 5e5) },
        { "X", -7, 2, false, Rect(-7, 20, 100, 50) },
        { "HugeY", 1'000'000'000'000, 3, false, Rect(10, 1e7, 100, 50) },
        { "OtherTag", 5, 9, true, Rect(10, 20, 100, 50) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        build(rig, { Box {} });
        const ContainerSnapshot before = rig.container->containerSnapshot();
        EXPECT_EQ(rig.container->frameChanged(row.value, row.tag, row.lock), row.expected);
        EXPECT_EQ(rig.container->textViewAry[0]->frame(), row.expected);
        rig.endEvent();
        expectUndoRedoRoundTrip(rig, before);
    }

    ContainerRig rig;
    build(rig, { Box {}, Box {} });
    EXPECT_EQ(rig.container->frameChanged(200, 0, true), Rect());
    rig.endEvent();
    EXPECT_EQ(rig.undo.undoGroupCount(), 0);
}

TEST(Arrangement, CornerFieldSetsOneCornerOrAllWithTheLock)
{
    struct Row {
        const char* name;
        int shapeType;
        qint64 tag;
        bool lock;
        std::array<int, 4> expected; // empty: no step
        int steps;
    };
    const Row rows[] = {
        { "Field2IsCorner0", shape::RoundedRectangle, 2, false, { 12, 10, 10, 10 }, 1 },
        { "Field0IsCorner3", shape::RoundedRectangle, 0, false, { 10, 10, 10, 12 }, 1 },
        { "Locked", shape::RoundedRectangle, 2, true, { 12, 12, 12, 12 }, 1 },
        { "NotRounded", shape::Rectangle, 2, true, { -1, -1, -1, -1 }, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        build(rig, { { Kind::Shape, true, Rect(0, 0, 100, 100), row.shapeType } });
        auto* shape = boxAt<MyShapeView>(rig, 0);
        shape->setRoundRectRadius(0, 10, false);
        rig.container->roundRectChanged(12, row.tag, row.lock);
        rig.endEvent();
        EXPECT_EQ(shape->getRoundRectRadius(), row.expected);
        EXPECT_EQ(rig.undo.undoGroupCount(), row.steps);
    }
}

TEST(Arrangement, ArrowsAreOneStepAndRefreshChangesNothing)
{
    struct Row {
        const char* name;
        int key;
        bool shift;
        double dx, dy;
        int steps;
    };
    const Row rows[] = {
        { "Left", 123, false, -1, 0, 1 },
        { "RightShifted", 124, true, 10, 0, 1 },
        { "Down", 125, false, 0, -1, 1 },
        { "UpShifted", 126, true, 0, 10, 1 },
        { "Refresh", 999, false, 0, 0, 0 },
        { "RefreshShifted", 999, true, 0, 0, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        // Origins that a step out and back would not give back if it were computed.
        build(rig,
            { { Kind::Text, true, Rect(0.1, 0.7, 40, 20) },
                { Kind::Shape, true, Rect(1e-9, 3.3, 40, 40), shape::Ellipse },
                { Kind::Image, false, Rect(5, 5, 40, 20) } });
        std::vector<Rect> frames;
        for (MyViewBase* box : rig.container->textViewAry)
            frames.push_back(box->frame());
        rig.container->MoveTextBoxwithKey(row.key, row.shift);
        rig.endEvent();
        EXPECT_EQ(rig.undo.undoGroupCount(), row.steps);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const bool moves = i < 2;
            const Rect want = moves ? frames[i].offsetBy(row.dx, row.dy) : frames[i];
            const Rect got = rig.container->textViewAry[i]->frame();
            EXPECT_EQ(std::memcmp(&got, &want, sizeof(Rect)), 0) << "box " << i;
        }
        if (row.steps) {
            rig.undo.undo();
            for (std::size_t i = 0; i < frames.size(); ++i)
                EXPECT_EQ(rig.container->textViewAry[i]->frame(), frames[i]) << "box " << i;
        }
    }
}

TEST(Arrangement, SelectionSummaryCountsKindsAndSetsFlags)
{
    using States = TextViewContainer::SelectedBoxStates;
    struct Row {
        const char* name;
        std::vector<Box> boxes;
        int endType; // given to the shapes
        States states;
    };
    const Box text { Kind::Text };
    const Box closedPen { Kind::Shape, true, Rect(0, 0, 50, 50), shape::PenPath };
    const Row rows[] = {
        { "TwoTextsPictureClosedPath", { text, text, { Kind::Image }, closedPen },
            shape::ClosedPath, { 2, 1, 1, false, false } },
        { "OpenPath", { closedPen }, shape::NoHead, { 0, 0, 1, true, false } },
        { "ArrowLine", { { Kind::Shape, true, Rect(0, 0, 50, 50), shape::ArrowLine } },
            shape::ArrowHead, { 0, 0, 1, true, false } },
        { "Callout", { { Kind::Shape, true, Rect(0, 0, 50, 50), shape::OvalCallout } },
            shape::NoHead, { 0, 0, 1, false, true } },
        { "Unselected", { { Kind::Text, false } }, 0, {} },
        // Counts packed into one number took a thousand shapes for a picture box.
        { "ThousandShapes", std::vector<Box>(1000, Box { Kind::Shape }), shape::NoHead,
            { 0, 0, 1000, false, false } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        build(rig, row.boxes);
        for (MyViewBase* box : rig.container->textViewAry) {
            if (auto* s = dynamic_cast<MyShapeView*>(box))
                s->setEndType(row.endType);
        }
        const States got = rig.container->boxSelectedStates();
        EXPECT_EQ(got.texts, row.states.texts);
        EXPECT_EQ(got.images, row.states.images);
        EXPECT_EQ(got.shapes, row.states.shapes);
        EXPECT_EQ(got.bLine, row.states.bLine);
        EXPECT_EQ(got.bRoundRect, row.states.bRoundRect);
    }
}

TEST(Arrangement, ReplacedPictureIsReducedAndUndone)
{
    struct Row {
        const char* name;
        Size working;
        Size picture;
        Size expected;
    };
    const Row rows[] = {
        { "HalfOn2000x1000", Size(2000, 1000), Size(1200, 800), Size(599, 399) },
        { "LimitOfSmallCanvas", Size(700, 500), Size(1200, 800), Size(374, 249) },
        { "SmallPictureKept", Size(2000, 1000), Size(300, 200), Size(300, 200) },
        { "OnePixel", Size(2000, 1000), Size(1, 1), Size(1, 1) },
        { "TinyCanvasNeverBelowOnePixel", Size(1, 1), Size(1200, 800), Size(1, 1) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig(row.working);
        build(rig,
            { { Kind::Image, true, Rect(30, 40, 80, 60) }, { Kind::Image, true },
                { Kind::Shape, true, Rect(0, 0, 50, 50) }, { Kind::Text } });
        const ContainerSnapshot before = rig.container->containerSnapshot();
        rig.container->replaceImage(solidPicture(int(row.picture.width), int(row.picture.height)));
        rig.endEvent();
        EXPECT_EQ(rig.undo.undoGroupCount(), 1);
        auto* first = boxAt<MyImageView>(rig, 0);
        EXPECT_EQ(first->frame(), Rect(Point(30, 40), row.expected));
        EXPECT_EQ(first->orgImage().pixelSize(),
            QSize(int(row.expected.width), int(row.expected.height)));
        EXPECT_EQ(boxAt<MyImageView>(rig, 1)->frame().size, row.expected);
        EXPECT_TRUE(boxAt<MyImageView>(rig, 1)->orgImage() == first->orgImage());
        expectUndoRedoRoundTrip(rig, before);
    }

    // Without a picture box, a working picture or a picture: nothing, and no step.
    ContainerRig rig;
    build(rig, { { Kind::Text }, { Kind::Shape } });
    rig.container->replaceImage(solidPicture(10, 10));
    build(rig, { { Kind::Image } });
    rig.container->replaceImage(platform::Image());
    rig.canvas.size.reset();
    rig.container->replaceImage(solidPicture(10, 10));
    rig.endEvent();
    EXPECT_EQ(rig.undo.undoGroupCount(), 0);
    EXPECT_EQ(rig.container->textViewAry[0]->frame().size, Size(100, 50));
}

TEST(Arrangement, SelectAllAndTheSelectedPicture)
{
    ContainerRig rig;
    build(rig, { { Kind::Text, false }, { Kind::Shape, false } });
    EXPECT_TRUE(rig.container->GetSelectedImageBoxImage().isNull());
    EXPECT_EQ(rig.container->GetSelectedBoxCount(), 0);
    rig.container->selectAll();
    EXPECT_EQ(rig.container->GetSelectedBoxCount(), 2);
    EXPECT_TRUE(rig.container->GetSelectedImageBoxImage().isNull());
    build(rig, { { Kind::Text }, { Kind::Image, false }, { Kind::Image } });
    EXPECT_EQ(rig.container->GetSelectedImageBoxImage(), boxAt<MyImageView>(rig, 2)->image());
    rig.endEvent();
    EXPECT_EQ(rig.undo.undoGroupCount(), 0) << "selection is no undo step";
}

} // namespace

// A paste adds what can be shown; when nothing can, the selection and the history stay.
TEST(Arrangement, PasteOfOnlyInvalidRecordsChangesNothing)
{
    UNDODATA noFrame = record({ Kind::Text });
    noFrame.frame = Rect(std::nan(""), 0, 10, 10);
    UNDODATA unknownKind = record({ Kind::Shape });
    unknownKind.type = 7;
    UNDODATA good = record({ Kind::Shape, false, Rect(300, 300, 40, 40) });
    struct Row {
        const char* name;
        std::vector<UNDODATA> records;
        int pasted;
    };
    const Row rows[] = {
        { "only invalid records", { noFrame, unknownKind }, 0 },
        { "nothing at all", {}, 0 },
        { "one good among invalid ones", { noFrame, good, unknownKind }, 1 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        build(rig, { { Kind::Image, true } });
        const ContainerSnapshot before = rig.container->containerSnapshot();
        EXPECT_EQ(rig.container->pasteRecords(row.records), row.pasted);
        rig.endEvent();
        const auto& boxes = rig.container->textViewAry;
        ASSERT_EQ(boxes.size(), std::size_t(1 + row.pasted));
        if (row.pasted == 0) {
            EXPECT_TRUE(rig.container->containerSnapshot() == before);
            EXPECT_TRUE(boxes[0]->selected()) << "the selection stays";
            EXPECT_EQ(rig.undo.undoGroupCount(), 0);
            continue;
        }
        EXPECT_FALSE(boxes[0]->selected());
        EXPECT_TRUE(boxes[1]->selected());
        EXPECT_EQ(rig.undo.undoGroupCount(), 1);
        expectUndoRedoRoundTrip(rig, before);
    }
}
