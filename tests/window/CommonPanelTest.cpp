// The common sliders: opacity, rotation and picture saturation, dragged as a person drags.
#include "ControlPress.h"
#include "InspectorRig.h"

#include <gtest/gtest.h>

using namespace windowtest;

namespace {

} // namespace

// A drag is one undo step over every selected box of the slider's kind, whatever the number
// of pointer events.
TEST(CommonPanel, EveryDragIsOneUndoableStep)
{
    struct Row {
        const char* name;
        ImageEffectIntensitySlider* DocumentWindowOutlets::*slider;
        double to;
        std::function<void(InspectorWindow&)> check;
    };
    const Row rows[] = {
        { "opacity", &DocumentWindowOutlets::textboxOpacitySlider, 0.25,
            [](InspectorWindow& w) {
                EXPECT_FLOAT_EQ(boxAt(w, 0).layerOpacity(), 0.25f);
                EXPECT_FLOAT_EQ(boxAt(w, 1).layerOpacity(), 0.25f);
            } },
        { "angle", &DocumentWindowOutlets::textboxAngleSlider, 0.25,
            [](InspectorWindow& w) {
                EXPECT_NEAR(boxAt(w, 0).rotationAngle(), 90.0, 1e-9);
                EXPECT_NEAR(boxAt(w, 1).rotationAngle(), 90.0, 1e-9);
            } },
        // Only pictures have a saturation: value times the maximum of 2.
        { "picture saturation", &DocumentWindowOutlets::imageboxsaturationSlider, 0.75,
            [](InspectorWindow& w) {
                EXPECT_NEAR(dynamic_cast<MyImageView&>(boxAt(w, 1)).saturation(), 1.5, 1e-9);
            } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ { Kind::Text }, { Kind::Image } });
        expectOneUndoableStep(w, [&] {
            dragSlider(*(w.o.*row.slider), 0.9, row.to, [&] { w.undo.endGroup(); });
            row.check(w);
        });
    }
}

TEST(CommonPanel, ShowsTheCommonValuesOrHidesTheKnob)
{
    InspectorWindow w;
    w.build({ { Kind::Image, shape::Rectangle, true,
                  [](UNDODATA& r) {
                      r.layerOpacity = 0.5;
                      r.rotationAngle = 90;
                  } },
        { Kind::Image, shape::Rectangle, true, [](UNDODATA& r) {
             r.layerOpacity = 0.5;
             r.rotationAngle = 45;
         } } });
    EXPECT_TRUE(w.o.textboxOpacitySlider->showSlider());
    EXPECT_NEAR(w.o.textboxOpacitySlider->value(), 0.5, 1e-6);
    EXPECT_FALSE(w.o.textboxAngleSlider->showSlider());
    EXPECT_TRUE(w.o.imageboxsaturationSlider->showSlider());
    EXPECT_NEAR(w.o.imageboxsaturationSlider->value(), 0.25, 1e-9) << "0.5 of a maximum of 2";
    w.win.updateBoxAngle(270.0f);
    EXPECT_TRUE(w.o.textboxAngleSlider->showSlider());
    EXPECT_NEAR(w.o.textboxAngleSlider->value(), 0.75, 1e-9);
}

// The saturation slider on a selection without pictures changes nothing and takes no step.
TEST(CommonPanel, SaturationWithoutPicturesChangesNothing)
{
    InspectorWindow w;
    w.build({ { Kind::Text }, { Kind::Shape, shape::Rectangle } });
    expectNoChange(w, [&] { dragSlider(*w.o.imageboxsaturationSlider, 0.2, 0.9); });
}
