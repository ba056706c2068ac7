// The canvas undo: a stroke undone and redone, nothing registered without a change, steps
// kept per document and removed with the canvas.
#include "canvas/CanvasUndo.h"

#include "CanvasTestSupport.h"
#include "FakeCanvasWindow.h"
#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"

#include <gtest/gtest.h>

using namespace canvas;
using namespace canvastest;
using canvastest::FakeCanvasWindow;
using platform::FilterImage;
using platform::UndoManager;

namespace {

// Stands in for the brush's state: the mask snapshot it would hand out.
struct Tool {
    CanvasUndoData state;
    int restores = 0;
    CanvasUndo undo { [this] { return state; },
        [this](const CanvasSnapshot& s) {
            ++restores;
            state = s;
        } };
};

CanvasSnapshot maskSnapshot(int width)
{
    return { FilterImage::fromQImage(solidPicture(width, 10, Qt::white)), 0.5, {}, {}, {} };
}

void stroke(Tool& tool, UndoManager& manager, const CanvasUndoData& after)
{
    tool.undo.prepUndoData();
    tool.state = after;
    tool.undo.logUndoData();
    manager.endGroup();
}

} // namespace

TEST(CanvasUndo, StrokeUndoRedo)
{
    UndoManager manager;
    Tool tool;
    tool.undo.setUndoManager(&manager);
    const CanvasSnapshot before = maskSnapshot(4), after = maskSnapshot(5);
    tool.state = before;
    stroke(tool, manager, after);
    ASSERT_TRUE(manager.canUndo());
    EXPECT_EQ(tool.restores, 0) << "logging registers without restoring";
    tool.undo.logUndoData(); // the canvas's mouse-up after the brush's own stroke end
    manager.endGroup();
    EXPECT_EQ(manager.undoGroupCount(), 1) << "one stroke, one step";

    manager.undo();
    ASSERT_TRUE(tool.state);
    EXPECT_EQ(tool.state->mask, before.mask) << "the very pixels from before the stroke";
    EXPECT_EQ(tool.state->maskScale, 0.5);
    ASSERT_TRUE(manager.canRedo());
    manager.redo();
    EXPECT_EQ(tool.state->mask, after.mask);
    manager.undo();
    manager.redo();
    EXPECT_EQ(tool.state->mask, after.mask);
    EXPECT_EQ(tool.restores, 4);
}

TEST(CanvasUndo, WhatRegistersAStep)
{
    struct Row {
        const char* name;
        CanvasUndoData before, after;
        bool expectStep;
    };
    const CanvasSnapshot a = maskSnapshot(4), b = maskSnapshot(6);
    CanvasSnapshot scaled = a;
    scaled.scale = 1.5;
    const Row rows[] = {
        { "changed mask", a, b, true },
        { "no snapshot before (nothing to go back to)", std::nullopt, b, false },
        { "unchanged", a, a, false },
        { "picture scale only", a, scaled, true },
        { "mask gone", a, std::nullopt, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UndoManager manager;
        Tool tool;
        tool.undo.setUndoManager(&manager);
        tool.state = row.before;
        stroke(tool, manager, row.after);
        EXPECT_EQ(manager.canUndo(), row.expectStep);
    }
}

TEST(CanvasUndo, StepsStayWithTheirDocumentAndCanvas)
{
    UndoManager first, second;
    auto toolA = std::make_unique<Tool>();
    Tool toolB;
    toolA->undo.setUndoManager(&first);
    toolB.undo.setUndoManager(&second);
    toolA->state = maskSnapshot(4);
    toolB.state = maskSnapshot(7);
    const CanvasUndoData bBefore = toolB.state;
    stroke(*toolA, first, maskSnapshot(5));
    stroke(toolB, second, maskSnapshot(8));
    second.undo();
    EXPECT_EQ(toolB.state->mask, bBefore->mask);
    EXPECT_EQ(toolA->restores, 0) << "undo in one document leaves the other alone";
    EXPECT_TRUE(first.canUndo());

    // A new picture drops the steps; a freed canvas leaves none behind.
    toolB.undo.removeAllActions();
    EXPECT_FALSE(second.canRedo());
    toolA.reset();
    EXPECT_FALSE(first.canUndo());
}

// Through the canvas and its brush: undo restores the very mask, in brush mode or not, and a
// new picture leaves neither the old mask nor its steps.
TEST(CanvasUndo, BrushStrokeThroughTheCanvas)
{
    FakeCanvasWindow window;
    CanvasControls canvas;
    canvas.setCanvasWindow(&window);
    canvas.loadImage(platform::Image::fromQImage(rampPicture(64, 48)));
    ASSERT_TRUE(canvas.setCustomDrawingZoomScale(0));
    auto* brush = dynamic_cast<CanvasCustomShapeControls*>(canvas.controls());
    ASSERT_NE(brush, nullptr);
    PaintView* paint = brush->paintView();
    ASSERT_NE(paint, nullptr);
    const FilterImage before = paint->workingImage();
    ASSERT_FALSE(before.isNull());

    canvas.prepUndoData();
    paint->setWorkingImage(FilterImage::fromQImage(solidPicture(64, 48, Qt::white)));
    const FilterImage after = paint->workingImage();
    canvas.logUndoData();
    window.undo.endGroup();
    ASSERT_TRUE(window.undo.canUndo());

    brush->hidePaintView(); // box mode
    EXPECT_FALSE(brush->isPaintViewShowed());
    window.undo.undo();
    EXPECT_EQ(testsupport::worstDifference(renderAt(paint->workingImage(), before.extent()),
                  renderAt(before, before.extent())),
        0);
    ASSERT_TRUE(window.undo.canRedo()) << "undo in box mode keeps its redo";
    window.undo.redo();
    EXPECT_EQ(testsupport::worstDifference(
                  renderAt(paint->workingImage(), after.extent()), renderAt(after, after.extent())),
        0);
    brush->showPaintView();
    EXPECT_TRUE(brush->isPaintViewShowed());

    canvas.loadImage(platform::Image::fromQImage(rampPicture(40, 30)));
    EXPECT_TRUE(canvas.prerenderedMask().isNull()) << "no old mask after a new picture";
    EXPECT_FALSE(window.undo.canUndo());
}
