// The document window's Edit and Arrange commands: the process-wide box and style clipboards
// (offsets of repeated pastes, records held by value, invalid records left out), the menu
// validation, the arrangement commands, and undo after each command.
#include "ReadyWindow.h"
#include "boxes/MyViewBase.h"
#include "container/BoxClipboard.h"
#include "platform/document/AlertPresenter.h"
#include "support/NamedCase.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/SegmentSwitch.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace platform;
using windowtest::ReadyWindow;
using windowtest::solidPicture;
using Cmd = DocumentWindow::EditCommand;

namespace {

// A window holding a text box, a shape and a picture box (back to front), the last selected.
struct EditRig : ReadyWindow {
    explicit EditRig(const Image& picture = solidPicture(400, 300, QColor(200, 30, 40)))
        : ReadyWindow(false, picture)
    {
        BoxClipboard::shared().clear();
        win.newTextBox();
        boxes().newShapeBox(1);
        boxes().newImageBox(solidPicture(60, 40, QColor(10, 200, 10)));
        undo.endGroup();
    }
    std::vector<MyViewBase*>& ary() const { return boxes().textViewAry; }
    void selectOnly(std::initializer_list<std::size_t> which)
    {
        for (MyViewBase* box : ary())
            box->setSelected(false);
        for (std::size_t i : which)
            ary()[i]->setSelected(true);
    }
    std::vector<Rect> frames() const
    {
        std::vector<Rect> out;
        for (const MyViewBase* box : ary())
            out.push_back(box->frame());
        return out;
    }
    std::vector<bool> selection() const
    {
        std::vector<bool> out;
        for (const MyViewBase* box : ary())
            out.push_back(box->selected());
        return out;
    }
    // Runs a command as the menu does and closes its undo group.
    void run(Cmd command)
    {
        win.perform(command);
        undo.endGroup();
    }
};

} // namespace

TEST(EditCommands, ThreePastesWalkAwayEachOneUndoStep)
{
    EditRig w;
    w.selectOnly({ 0, 1 });
    const std::vector<Rect> copied = { w.ary()[0]->frame(), w.ary()[1]->frame() };
    w.run(Cmd::Copy);
    // Each paste moves ten screen pixels, whatever the zoom shows them as in the picture.
    const double step = 10.0 / w.boxes().zoomScale();
    for (int n = 1; n <= 3; ++n) {
        w.run(Cmd::Paste);
        ASSERT_EQ(w.ary().size(), 3u + 2u * n);
        for (std::size_t k = 0; k < 2; ++k) {
            const Rect got = w.ary()[w.ary().size() - 2 + k]->frame();
            EXPECT_NEAR(got.origin.x, copied[k].origin.x + step * n, 1e-9) << n;
            EXPECT_NEAR(got.origin.y, copied[k].origin.y - step * n, 1e-9) << n;
            EXPECT_EQ(got.size, copied[k].size);
        }
        std::vector<bool> expected(w.ary().size(), false);
        expected[expected.size() - 1] = expected[expected.size() - 2] = true;
        EXPECT_EQ(w.selection(), expected) << "only the pasted boxes are selected";
    }
    // Stacking order kept: the text box's copy below the shape's.
    EXPECT_EQ(w.ary()[7]->getUndoData().type, UNDODATA::TextBox);
    EXPECT_EQ(w.ary()[8]->getUndoData().type, UNDODATA::ShapeBox);
    for (int n = 3; n >= 1; --n) {
        w.run(Cmd::Undo);
        EXPECT_EQ(w.ary().size(), 3u + 2u * (n - 1));
    }
    w.run(Cmd::Redo);
    EXPECT_EQ(w.ary().size(), 5u);
}

// What was copied is a value: editing the source, undoing in it and closing its window change
// nothing; a document with a picture of another size gets the same frames.
TEST(EditCommands, CopyOutlivesItsSourceAndKeepsFrames)
{
    Rect copied;
    {
        EditRig source;
        source.selectOnly({ 2 });
        copied = source.ary()[2]->frame();
        source.run(Cmd::Copy);
        source.ary()[2]->setFrame(Rect(1.0, 2.0, 3.0, 4.0));
        source.run(Cmd::Undo);
    }
    ReadyWindow target(false, solidPicture(900, 120, Qt::white));
    target.win.perform(Cmd::Paste);
    ASSERT_EQ(target.boxes().textViewAry.size(), 1u);
    const UNDODATA pasted = target.boxes().textViewAry[0]->getUndoData();
    EXPECT_EQ(pasted.type, UNDODATA::ImageBox);
    const double step = 10.0 / target.boxes().zoomScale();
    EXPECT_NEAR(pasted.frame.origin.x, copied.origin.x + step, 1e-9);
    EXPECT_NEAR(pasted.frame.origin.y, copied.origin.y - step, 1e-9);
    EXPECT_EQ(pasted.frame.size, copied.size);
    EXPECT_FALSE(pasted.orgImage.isNull());
    BoxClipboard::shared().clear();
}

TEST(EditCommands, InvalidRecordsAreLeftOutTheRestPaste)
{
    EditRig w;
    std::vector<UNDODATA> records = w.boxes().containerSnapshot().records();
    records[1].frame.origin.x = std::numeric_limits<double>::quiet_NaN();
    records[2].frame.size.width = std::numeric_limits<double>::infinity();
    BoxClipboard::shared().copy(records);
    w.run(Cmd::Paste);
    ASSERT_EQ(w.ary().size(), 4u);
    EXPECT_EQ(w.ary()[3]->getUndoData().type, UNDODATA::TextBox);
    EXPECT_TRUE(std::isfinite(w.ary()[3]->frame().origin.x));
}

// Each command's enabling by the state it needs; mask painting disables all but undo and
// redo.
struct ValidationRow {
    const char* name;
    Cmd command;
    std::vector<std::size_t> selected;
    bool copyFirst; // a Copy (and Copy Style) of the first box before asking
    bool enabled;
};

namespace {
class Validation : public ::testing::TestWithParam<ValidationRow> { };
} // namespace

TEST_P(Validation, EnabledByStateDisabledWhilePainting)
{
    const ValidationRow& row = GetParam();
    EditRig w;
    if (row.copyFirst) {
        w.selectOnly({ 0 });
        w.run(Cmd::Copy);
        w.run(Cmd::CopyStyle);
    }
    w.selectOnly({});
    for (std::size_t i : row.selected)
        w.ary()[i]->setSelected(true);
    EXPECT_EQ(w.win.validateMenuItem(row.command), row.enabled);
    w.o.cropColorSegmentSwitch->setSelectedSegmentIndex(1);
    w.win.switchColorCropMode(*w.o.cropColorSegmentSwitch);
    for (std::size_t i : row.selected)
        w.ary()[i]->setSelected(true);
    // Undo and redo also take back brush strokes: painting leaves them as they were.
    const bool history = row.command == Cmd::Undo || row.command == Cmd::Redo;
    EXPECT_EQ(w.win.validateMenuItem(row.command), history && row.enabled);
}

INSTANTIATE_TEST_SUITE_P(EditCommands, Validation,
    ::testing::Values(ValidationRow { "UndoAfterCreation", Cmd::Undo, {}, false, true },
        ValidationRow { "RedoWithNothingUndone", Cmd::Redo, {}, false, false },
        ValidationRow { "CopyNothingSelected", Cmd::Copy, {}, false, false },
        ValidationRow { "CopyOneSelected", Cmd::Copy, { 1 }, false, true },
        ValidationRow { "CutOneSelected", Cmd::Cut, { 1 }, false, true },
        ValidationRow { "DeleteNothingSelected", Cmd::Delete, {}, false, false },
        ValidationRow { "DeleteTwoSelected", Cmd::Delete, { 0, 2 }, false, true },
        ValidationRow { "PasteNothingCopied", Cmd::Paste, {}, false, false },
        ValidationRow { "PasteWithoutSelection", Cmd::Paste, {}, true, true },
        ValidationRow { "SelectAllWithBoxes", Cmd::SelectAll, {}, false, true },
        ValidationRow { "CopyStyleTwoSelected", Cmd::CopyStyle, { 0, 1 }, false, false },
        ValidationRow { "CopyStyleOneSelected", Cmd::CopyStyle, { 1 }, false, true },
        ValidationRow { "PasteStyleNothingCopied", Cmd::PasteStyle, { 1 }, false, false },
        ValidationRow { "PasteStyleNoSelection", Cmd::PasteStyle, {}, true, false },
        ValidationRow { "PasteStyleSelection", Cmd::PasteStyle, { 1 }, true, true },
        ValidationRow { "FrontTopBox", Cmd::BringToFront, { 2 }, false, false },
        ValidationRow { "ForwardMiddleBox", Cmd::BringForward, { 1 }, false, true },
        ValidationRow { "BackwardBottomBox", Cmd::SendBackward, { 0 }, false, false },
        ValidationRow { "BackMiddleBox", Cmd::SendToBack, { 1 }, false, true },
        ValidationRow { "ForwardTwoSelected", Cmd::BringForward, { 0, 1 }, false, false }),
    testsupport::RowName());

// Each command's effect on the stacking order (types back to front) and the box count, and
// undo bringing the layer back.
struct CommandRow {
    const char* name;
    Cmd command;
    std::vector<std::size_t> selected;
    std::vector<int> typesAfter;
};

namespace {
class Command : public ::testing::TestWithParam<CommandRow> { };
} // namespace

TEST_P(Command, ChangesThenUndoes)
{
    const CommandRow& row = GetParam();
    EditRig w;
    w.selectOnly({});
    for (std::size_t i : row.selected)
        w.ary()[i]->setSelected(true);
    const ContainerSnapshot before = w.boxes().containerSnapshot();
    w.run(row.command);
    std::vector<int> types;
    for (const MyViewBase* box : w.ary())
        types.push_back(box->getUndoData().type);
    EXPECT_EQ(types, row.typesAfter);
    w.run(Cmd::Undo);
    EXPECT_EQ(w.boxes().containerSnapshot().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(w.ary()[i]->getUndoData().type, before.records()[i].type);
}

INSTANTIATE_TEST_SUITE_P(EditCommands, Command,
    ::testing::Values(CommandRow { "Delete", Cmd::Delete, { 1 }, { 0, 1 } },
        CommandRow { "Cut", Cmd::Cut, { 0, 2 }, { 2 } },
        CommandRow { "BringToFront", Cmd::BringToFront, { 0 }, { 2, 1, 0 } },
        CommandRow { "BringForward", Cmd::BringForward, { 0 }, { 2, 0, 1 } },
        CommandRow { "SendBackward", Cmd::SendBackward, { 2 }, { 0, 1, 2 } },
        CommandRow { "SendToBack", Cmd::SendToBack, { 2 }, { 1, 0, 2 } }),
    testsupport::RowName());

TEST(EditCommands, SelectAllSelectsEveryBox)
{
    EditRig w;
    w.selectOnly({});
    w.run(Cmd::SelectAll);
    EXPECT_EQ(w.selection(), (std::vector<bool> { true, true, true }));
}

// The style record: taken from exactly one box; pasted onto every selected box, which keeps its
// frame; one undo step.
TEST(EditCommands, StyleCopiesFromOneBoxOnly)
{
    EditRig w;
    w.win.perform(Cmd::PasteStyle); // nothing copied: ignored
    w.selectOnly({ 1 });
    w.boxes().borderSizeChanged(7);
    w.run(Cmd::CopyStyle);
    w.selectOnly({ 0, 1 });
    w.win.copyStyle(); // two selected: the record stays
    ASSERT_TRUE(BoxClipboard::shared().style());
    EXPECT_EQ(BoxClipboard::shared().style()->borderSize, 7);

    w.selectOnly({ 2 });
    const Rect frame = w.ary()[2]->frame();
    w.run(Cmd::PasteStyle);
    EXPECT_EQ(w.ary()[2]->getUndoData().borderSize, 7);
    EXPECT_EQ(w.ary()[2]->frame(), frame);
    w.run(Cmd::Undo);
    EXPECT_NE(w.ary()[2]->getUndoData().borderSize, 7);
}

namespace {
struct AnswerRevert : AlertPresenter {
    void runModal(AlertStyle, const QString&) override { }
    int runModalWithButtons(AlertStyle, const QString&, const QString&, const QStringList&) override
    {
        return kFirstButtonReturn + 1; // "Revert"
    }
};
} // namespace

// A confirmed revert takes boxes and picture sliders back to the start, as one undo step.
TEST(EditCommands, RevertIsOneUndoStep)
{
    EditRig w;
    w.o.vignetteSlider->setValue(0.7);
    w.o.zoomSlider->setValue(0.4);
    w.undo.endGroup();
    const auto previous = AlertPresenter::install(std::make_shared<AnswerRevert>());
    w.win.revertToOrginal();
    AlertPresenter::install(previous);
    w.undo.endGroup();
    EXPECT_TRUE(w.ary().empty());
    EXPECT_EQ(w.o.vignetteSlider->value(), 0.0);
    EXPECT_EQ(w.o.zoomSlider->value(), 0.0);
    EXPECT_DOUBLE_EQ(w.canvas()->vignetteIntensity(), 0.0);

    w.win.undo();
    EXPECT_EQ(w.ary().size(), 3u);
    EXPECT_EQ(w.o.vignetteSlider->value(), 0.7);
    EXPECT_EQ(w.o.zoomSlider->value(), 0.4);
    EXPECT_DOUBLE_EQ(w.canvas()->vignetteIntensity(), 7.0);
    w.win.redo();
    EXPECT_TRUE(w.ary().empty());
    EXPECT_EQ(w.o.vignetteSlider->value(), 0.0);
}

struct KeyRow {
    const char* name;
    int key;
    Qt::KeyboardModifiers mods;
    bool painting;
    double dx, dy; // how far the selected box moves
};

namespace {
class Keys : public ::testing::TestWithParam<KeyRow> { };
} // namespace

TEST_P(Keys, ArrowsNudgeTheSelection)
{
    const KeyRow& row = GetParam();
    EditRig w;
    w.selectOnly({ 1 });
    if (row.painting) {
        w.o.cropColorSegmentSwitch->setSelectedSegmentIndex(1);
        w.win.switchColorCropMode(*w.o.cropColorSegmentSwitch);
        w.ary()[1]->setSelected(true);
    }
    const Rect before = w.ary()[1]->frame();
    QKeyEvent press(QEvent::KeyPress, row.key, row.mods);
    QCoreApplication::sendEvent(&w.win, &press);
    w.undo.endGroup();
    EXPECT_EQ(w.ary()[1]->frame(), before.offsetBy(row.dx, row.dy));
    if (row.dx != 0 || row.dy != 0) {
        w.win.undo();
        EXPECT_EQ(w.ary()[1]->frame(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(EditCommands, Keys,
    ::testing::Values(KeyRow { "Right", Qt::Key_Right, Qt::NoModifier, false, 1, 0 },
        KeyRow { "ShiftLeft", Qt::Key_Left, Qt::ShiftModifier, false, -10, 0 },
        KeyRow { "Up", Qt::Key_Up, Qt::NoModifier, false, 0, 1 },
        KeyRow { "ShiftDown", Qt::Key_Down, Qt::ShiftModifier, false, 0, -10 },
        KeyRow { "WhilePainting", Qt::Key_Right, Qt::NoModifier, true, 0, 0 }),
    testsupport::RowName());

// Ctrl+B toggles the bold segment; B alone is left to the window.
TEST(EditCommands, CtrlBTogglesBold)
{
    EditRig w;
    const auto send = [&w](Qt::KeyboardModifiers mods) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_B, mods);
        return w.win.keyDown(press);
    };
    const bool was = w.o.fontStyleSegmentedCtrl->isSelectedForSegment(0);
    EXPECT_TRUE(send(Qt::ControlModifier));
    EXPECT_NE(w.o.fontStyleSegmentedCtrl->isSelectedForSegment(0), was);
    EXPECT_TRUE(send(Qt::ControlModifier));
    EXPECT_EQ(w.o.fontStyleSegmentedCtrl->isSelectedForSegment(0), was);
    EXPECT_FALSE(send(Qt::NoModifier));
    EXPECT_EQ(w.ary().size(), 3u);
}

// The picture sliders' dictionary: read back what was applied, values clamped, bad ones skipped.
TEST(EditCommands, ControlsDataRoundTrip)
{
    ReadyWindow w;
    w.win.applyControlsData({ { "_apertureSlider_value", 0.25 }, { "_vignetteSlider_value", 7.0 },
        { "_saturationSlider_value", "not a number" } });
    const QVariantMap data = w.win.readControlsData();
    EXPECT_DOUBLE_EQ(data.value("_apertureSlider_value").toDouble(), 0.25);
    EXPECT_DOUBLE_EQ(data.value("_vignetteSlider_value").toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(data.value("_saturationSlider_value").toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(w.canvas()->vignetteIntensity(), 10.0);
}

// The table is the one list of commands: row i is command i, and every row names a menu, a
// title and both of its functions.
TEST(EditCommands, TheTableHoldsEveryCommandInOrder)
{
    const auto& rows = editCommands();
    ASSERT_FALSE(rows.empty());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].title);
        EXPECT_EQ(rows[i].command, EditCommand(i));
        EXPECT_TRUE(QString(rows[i].menu) == "Edit" || QString(rows[i].menu) == "Arrange");
        EXPECT_TRUE(rows[i].enabled && rows[i].run);
    }
}
