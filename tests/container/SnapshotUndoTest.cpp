// Layer snapshots and undo: what a step restores, where it is registered, how a rebuild orders
// and skips records, what it carries over from the boxes it replaces, and the gestures it ends.
#include "ContainerTestSupport.h"
#include "boxes/MyTextBox.h"
#include "boxes/ShapeModel.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"

#include <cmath>

using platform::Point;
using platform::Rect;

namespace {

// Three boxes, one step each: text, picture, rectangle.
void addThreeBoxes(ContainerRig& rig)
{
    rig.container->newTextBox();
    rig.endEvent();
    rig.container->newImageBox(solidPicture(200, 100));
    rig.endEvent();
    rig.container->newShapeBox(shape::Rectangle);
    rig.endEvent();
}

// A change as the inspector makes it: the bracket around a new border size on every box.
void changeBorders(TextViewContainer& c, int size)
{
    c.prepUndoData();
    for (MyViewBase* box : c.textViewAry)
        box->setBorderSize(size);
    c.logUndoData();
}

std::vector<int> bordersOf(const TextViewContainer& c)
{
    std::vector<int> sizes;
    for (const MyViewBase* box : c.textViewAry)
        sizes.push_back(box->borderSize());
    return sizes;
}

} // namespace

TEST(Snapshots, ChangeUndoRedoRestoreTheRecordsAndTellTheDelegateOnce)
{
    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    addThreeBoxes(rig);
    const ContainerSnapshot before = c.containerSnapshot();
    const int calls = rig.delegate.selectedCalls;
    changeBorders(c, 7);
    rig.endEvent();
    const ContainerSnapshot after = c.containerSnapshot();
    EXPECT_FALSE(after == before);
    EXPECT_EQ(rig.delegate.selectedCalls, calls) << "logUndoData tells nobody";

    struct Step {
        const char* name;
        void (platform::UndoManager::*perform)();
        const ContainerSnapshot* expected;
    };
    const Step steps[] = {
        { "undo", &platform::UndoManager::undo, &before },
        { "redo", &platform::UndoManager::redo, &after },
        { "undo again", &platform::UndoManager::undo, &before },
        { "redo again", &platform::UndoManager::redo, &after },
    };
    int expectedCalls = calls;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        (rig.undo.*step.perform)();
        ++expectedCalls;
        EXPECT_TRUE(c.containerSnapshot() == *step.expected);
        EXPECT_EQ(rig.delegate.selectedCalls, expectedCalls);
        EXPECT_EQ(rig.delegate.lastBoxes, c.textViewAry);
        EXPECT_EQ(boxesOfSubviews(c).size(), c.textViewAry.size());
    }
    EXPECT_EQ(bordersOf(c), std::vector<int>({ 7, 7, 7 }));
}

TEST(Snapshots, EachContainerRegistersWithItsOwnManager)
{
    ContainerRig first;
    ContainerRig second;
    first.container->newTextBox();
    first.endEvent();
    second.container->newShapeBox(shape::Ellipse);
    second.endEvent();
    changeBorders(*second.container, 3);
    second.endEvent();
    EXPECT_EQ(first.undo.undoGroupCount(), 1);
    EXPECT_EQ(second.undo.undoGroupCount(), 2);
    first.undo.undo();
    EXPECT_TRUE(first.container->textViewAry.empty());
    ASSERT_EQ(second.container->textViewAry.size(), 1u);
    EXPECT_EQ(second.container->textViewAry[0]->borderSize(), 3);
}

TEST(Snapshots, NoBeforeSnapshotRegistersNothing)
{
    ContainerRig rig;
    rig.container->applyUndoData(
        ContainerSnapshot({ MyTextView(Rect(0, 0, 50, 20)).getUndoData() }));
    rig.container->logUndoData();
    rig.endEvent();
    EXPECT_EQ(rig.undo.undoGroupCount(), 0);
    EXPECT_EQ(rig.container->textViewAry.size(), 1u);
}

// Whoever brackets a change, a layer left as it was registers no step; a changed one does.
TEST(Snapshots, LoggingAnUnchangedLayerRegistersNothing)
{
    ContainerRig rig;
    rig.container->prepUndoData();
    rig.container->logUndoData();
    rig.endEvent();
    EXPECT_EQ(rig.undo.undoGroupCount(), 0);
    EXPECT_EQ(rig.undo.changeCount(), 0) << "the document is not edited";
    rig.container->newTextBox();
    rig.endEvent();
    rig.container->prepUndoData();
    rig.container->textViewAry[0]->setBorderSize(3);
    rig.container->logUndoData();
    rig.endEvent();
    EXPECT_EQ(rig.undo.undoGroupCount(), 2);
}

TEST(Snapshots, WithoutAnUndoManagerChangesApply)
{
    ContainerRig rig;
    rig.container->setUndoManager(nullptr);
    rig.container->newTextBox();
    changeBorders(*rig.container, 4);
    EXPECT_EQ(bordersOf(*rig.container), std::vector<int>({ 4 }));
    EXPECT_EQ(rig.undo.undoGroupCount(), 0);
}

TEST(Snapshots, AStepOfADestroyedContainerNeverRuns)
{
    ContainerRig rig;
    rig.container->newTextBox();
    rig.endEvent();
    rig.container.reset();
    EXPECT_FALSE(rig.undo.canUndo());
    rig.undo.undo(); // would touch the freed container (ASan)
}

TEST(Snapshots, ReorderedSnapshotRestacksArrayAndSubviewsAndSkipsUnknownKinds)
{
    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    addThreeBoxes(rig);
    std::vector<UNDODATA> records = c.containerSnapshot().records();
    UNDODATA unknown = records[0];
    unknown.type = 3;
    // New order: shape, unknown, text, picture.
    c.applyUndoData(ContainerSnapshot({ records[2], unknown, records[0], records[1] }));
    ASSERT_EQ(c.textViewAry.size(), 3u);
    EXPECT_NE(dynamic_cast<MyShapeView*>(c.textViewAry[0]), nullptr);
    EXPECT_NE(dynamic_cast<MyTextView*>(c.textViewAry[1]), nullptr);
    EXPECT_NE(dynamic_cast<MyImageView*>(c.textViewAry[2]), nullptr);
    const std::vector<platform::View*> views = boxesOfSubviews(c);
    EXPECT_EQ(views, std::vector<platform::View*>(c.textViewAry.begin(), c.textViewAry.end()));
    for (MyViewBase* box : c.textViewAry)
        EXPECT_EQ(box->myTextViewContainer(), &c);

    c.applyUndoData(ContainerSnapshot());
    EXPECT_TRUE(c.textViewAry.empty());
    EXPECT_EQ(c.subviewCount(), 0);
}

TEST(Snapshots, ArchiveFormHoldsTheRecordsUnderTextviewary)
{
    ContainerRig rig;
    addThreeBoxes(rig);
    const ContainerSnapshot snapshot = rig.container->containerSnapshot();
    const platform::ArchiveValue value = snapshot.toArchiveValue();
    EXPECT_EQ(value.toDictionary().keys(), QStringList({ QStringLiteral("textviewary") }));
    EXPECT_EQ(value.toDictionary().value(QStringLiteral("textviewary")).toArray().size(), 3u);

    const QByteArray bytes = platform::KeyedArchiver::archivedData(value, true);
    ASSERT_FALSE(bytes.isEmpty());
    const auto decoded = platform::KeyedUnarchiver::unarchive(bytes, UNDODATA::allowedClasses());
    ASSERT_TRUE(decoded.ok()) << decoded.error.toStdString();
    const ContainerSnapshot back = ContainerSnapshot::fromArchiveValue(decoded.root);
    // Pictures come back as new pictures of the same pixels.
    ASSERT_EQ(back.size(), snapshot.size());
    std::vector<UNDODATA> expected = snapshot.records();
    std::vector<UNDODATA> got = back.records();
    EXPECT_EQ(got[1].orgImage.toQImage(), expected[1].orgImage.toQImage());
    got[1].orgImage = expected[1].orgImage;
    EXPECT_TRUE(ContainerSnapshot(got) == ContainerSnapshot(expected));

    // Items that are no records are skipped; a value without the key is an empty layer.
    platform::ArchiveArray items
        = value.toDictionary().value(QStringLiteral("textviewary")).toArray();
    items.insert(items.begin() + 1, platform::ArchiveValue::fromString(QStringLiteral("junk")));
    platform::ArchiveDictionary mixed;
    mixed.insert(QStringLiteral("textviewary"), platform::ArchiveValue::fromArray(items));
    EXPECT_EQ(
        ContainerSnapshot::fromArchiveValue(platform::ArchiveValue::fromDictionary(mixed)).size(),
        3u);
    EXPECT_TRUE(ContainerSnapshot::fromArchiveValue(platform::ArchiveValue()).isEmpty());
}

TEST(Snapshots, AnEditedTextBoxBecomesTheWindowsEditedViewAgain)
{
    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    c.newTextBox();
    rig.endEvent();
    auto* text = dynamic_cast<MyTextView*>(c.textViewAry[0]);
    text->setIsEditing(true);
    c.prepUndoData();
    text->setIsEditing(false);
    text->setBorderSize(2);
    c.logUndoData();
    rig.endEvent();
    rig.delegate.edited = nullptr;
    // Undo rebuilds the box as it was before the border change: selected and being edited.
    rig.undo.undo();
    auto* rebuilt = dynamic_cast<MyTextView*>(c.textViewAry[0]);
    ASSERT_NE(rebuilt, nullptr);
    EXPECT_TRUE(rebuilt->isEditing());
    EXPECT_EQ(rig.delegate.edited, rebuilt->txtBox());
    // Redo rebuilds it not editing: the window lets go of the text view that went.
    rig.undo.redo();
    EXPECT_EQ(rig.delegate.edited, nullptr);
}

TEST(Snapshots, UndoDuringAPenPathEndsPenMode)
{
    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    c.newTextBox();
    rig.endEvent();
    c.newShapeBox(shape::PenPath);
    c.startPenPath(Point(10, 10));
    auto* path = dynamic_cast<MyShapeView*>(c.penView.get());
    ASSERT_NE(path, nullptr);
    path->setPoints({ Point(0, 0), Point(1, 1), Point(0.5, 0.5) });
    path->setControlVals({ true, true, true });
    rig.endEvent();
    rig.undo.undo();
    EXPECT_FALSE(c.bDrawWithPen);
    EXPECT_FALSE(c.penView);
    for (MyViewBase* box : c.textViewAry)
        if (auto* s = dynamic_cast<MyShapeView*>(box))
            EXPECT_FALSE(s->isDrawing());
    // The ended path belongs to the state redo brings back.
    rig.undo.redo();
    ASSERT_EQ(c.textViewAry.size(), 2u);
    auto* redone = dynamic_cast<MyShapeView*>(c.textViewAry[1]);
    ASSERT_NE(redone, nullptr);
    EXPECT_EQ(redone->points().size(), 2u);
    EXPECT_FALSE(redone->isDrawing());
}

TEST(Snapshots, UndoEndsColourRemovalAndADrag)
{
    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    c.newImageBox(solidPicture(20, 20));
    rig.endEvent();
    c.bInstantAlpha = true;
    c.isMouseDown = true;
    c.mouseDownState = 1;
    c.expandingId = 0;
    rig.undo.undo();
    EXPECT_FALSE(c.bInstantAlpha);
    EXPECT_EQ(rig.delegate.instantAlphaState, 0);
    EXPECT_FALSE(c.isMouseDown);
    EXPECT_EQ(c.mouseDownState, 0);
    EXPECT_EQ(c.expandingId, -1);
}

TEST(Snapshots, RebuildKeepsTheWarpedPictureOfAnUnchangedBox)
{
    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    c.newTextBox();
    c.newTextBox();
    rig.endEvent();
    for (MyViewBase* box : c.textViewAry) {
        box->setHorzPerspective(0.3f);
        box->imgPersp = solidPicture(30, 12);
        box->imgRect = Rect(box->frame().origin.x - 5, box->frame().origin.y - 2, 30, 12);
        box->ud = box->getUndoData();
    }
    const platform::Image firstPicture = c.textViewAry[0]->imgPersp;
    // Move the first box, change the second's look, then undo both.
    c.prepUndoData();
    c.textViewAry[0]->setFrameOrigin(Point(100, 100));
    c.textViewAry[1]->setBorderSize(9);
    c.logUndoData();
    rig.endEvent();
    rig.undo.undo();
    MyViewBase* moved = c.textViewAry[0];
    EXPECT_EQ(moved->imgPersp, firstPicture);
    EXPECT_EQ(moved->imgRect.origin.x, moved->frame().origin.x - 5);
    EXPECT_EQ(moved->imgRect.origin.y, moved->frame().origin.y - 2);
    EXPECT_TRUE(c.textViewAry[1]->imgPersp.isNull());
}

TEST(Snapshots, BadRecordsRebuildAsSafeBoxes)
{
    UNDODATA noPicture = MyImageView(Rect(10, 10, 40, 30)).getUndoData();
    noPicture.orgImage = platform::Image();
    UNDODATA huge = MyTextView(Rect(0, 0, 50, 20)).getUndoData();
    huge.frame = Rect(1e12, -1e12, 1e12, 1e12);
    UNDODATA notFinite = MyShapeView(Rect(0, 0, 50, 50), shape::Star).getUndoData();
    notFinite.rotationAngle = std::nan("");
    notFinite.borderSize = -3;

    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    c.applyUndoData(ContainerSnapshot({ noPicture, huge, notFinite }));
    ASSERT_EQ(c.textViewAry.size(), 3u);
    auto* image = dynamic_cast<MyImageView*>(c.textViewAry[0]);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->orgImage().isNull());
    const Rect f = c.textViewAry[1]->frame();
    EXPECT_LE(std::abs(f.origin.x), UNDODATA::kMaxCoordinate);
    EXPECT_LE(std::abs(f.origin.y), UNDODATA::kMaxCoordinate);
    EXPECT_LE(f.size.width, UNDODATA::kMaxExtent);
    EXPECT_TRUE(std::isfinite(c.textViewAry[2]->rotationAngle()));
    EXPECT_GE(c.textViewAry[2]->borderSize(), 0);
}
