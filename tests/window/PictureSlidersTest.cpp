// The picture sliders' table drives the window: each row's slider, dragged as a person drags it,
// reaches the canvas and leaves one undo step exactly when its row says so; Revert brings the
// canvas back to a fresh window's; the controls data hold the rows the document keeps.
#include "window/PictureSliders.h"

#include "ReadyWindow.h"
#include "support/SyntheticMouse.h"

#include <QVariantMap>
#include <array>
#include <gtest/gtest.h>

using windowtest::ReadyWindow;

namespace {

// What the picture sliders set on the canvas, read back.
std::array<double, 5> canvasState(const ReadyWindow& w)
{
    const canvas::CanvasControls& c = *w.canvas();
    return { c.blurStrength(), c.vignetteIntensity(), c.saturation(), c.scale(), c.straighten() };
}

void dragAcross(ImageEffectIntensitySlider& slider, double from, double to)
{
    const double y = slider.height() / 2.0;
    testsupport::drag(slider, { slider.width() * from, y }, { slider.width() * to, y });
}

} // namespace

TEST(PictureSliders, EachRowsSliderReachesTheCanvasAndUndoesAsItsRowSays)
{
    for (const PictureSlider& row : pictureSliders()) {
        SCOPED_TRACE(row.title);
        ReadyWindow w(true);
        ImageEffectIntensitySlider& slider = *(w.o.*row.outlet);
        EXPECT_EQ(slider.title(), QString::fromUtf8(row.title));
        EXPECT_EQ(slider.value(), row.start);
        w.undo.endGroup();
        const int before = w.undo.undoGroupCount();
        const auto start = canvasState(w);
        dragAcross(slider, 0.5, 0.8);
        w.undo.endGroup();
        EXPECT_NEAR(slider.value(), 0.8, 1e-9);
        EXPECT_NE(canvasState(w), start) << "the canvas follows the drag";
        EXPECT_EQ(w.undo.undoGroupCount(), before + (row.registersUndo ? 1 : 0));
        if (row.registersUndo) {
            w.win.undo();
            EXPECT_EQ(slider.value(), row.start);
            EXPECT_EQ(canvasState(w), start) << "undo takes the canvas back with the slider";
        }
    }
}

// The inspector's picture-box slider shares a title with a picture slider but is no row: a
// drag leaves no undo step of the slider's own (the box layer records box edits).
TEST(PictureSliders, OnlyTheTablesSlidersRegisterTheirOwnSteps)
{
    ReadyWindow w(true);
    w.undo.endGroup();
    ASSERT_EQ(w.o.imageboxsaturationSlider->title(), w.o.saturationSlider->title());
    dragAcross(*w.o.imageboxsaturationSlider, 0.5, 0.9);
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), 0);
}

// Revert takes every row back to where a fresh window starts it, as one undo step.
TEST(PictureSliders, RevertMatchesAFreshWindow)
{
    const auto fresh = canvasState(ReadyWindow(true));
    ReadyWindow w(true);
    for (const PictureSlider& row : pictureSliders())
        (w.o.*row.outlet)->setValue(row.start > 0.5 ? 0.1 : 0.9);
    w.undo.endGroup();
    const auto moved = canvasState(w);
    w.win.revertPicture();
    w.undo.endGroup();
    EXPECT_EQ(canvasState(w), fresh);
    w.win.undo();
    EXPECT_EQ(canvasState(w), moved);
}

TEST(PictureSliders, ControlsDataHoldTheRowsTheDocumentKeeps)
{
    ReadyWindow w;
    QStringList expected;
    for (const PictureSlider& row : pictureSliders())
        if (row.documentKey)
            expected << row.controlsDataKey();
    expected.sort(); // a map's keys come sorted
    EXPECT_EQ(w.win.readControlsData().keys(), expected);
    EXPECT_EQ(expected,
        (QStringList {
            "_apertureSlider_value", "_saturationSlider_value", "_vignetteSlider_value" }));
}
