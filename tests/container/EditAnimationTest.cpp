// The edit animation, driven tick by tick: a warped box flattens in three ticks when its
// editing begins and bends back in three when it ends; one animation at a time.
#include "ContainerTestSupport.h"
#include "boxes/BoxStatics.h"
#include "container/EditAnimator.h"

#include <gtest/gtest.h>

namespace {

EditAnimator& animator()
{
    return EditAnimator::instance();
}

MyTextView* addTextBox(ContainerRig& rig, bool warped)
{
    rig.container->newTextBox();
    auto* text = static_cast<MyTextView*>(rig.container->textViewAry.back());
    if (warped)
        text->setCurves({ { 0.0, 0.0 }, { 0.5, 0.4 }, { 1.0, 0.0 } });
    text->setIsEditing(false);
    return text;
}

// Ticks until the animation is over (at most a bound, so a stuck one fails instead of hanging).
int ticksToEnd()
{
    int n = 0;
    while (animator().isActive() && n < 10) {
        animator().tick();
        ++n;
    }
    return n;
}

class EditAnimationTicks : public ::testing::Test {
protected:
    void TearDown() override
    {
        animator().finish();
        gEditAnimation = ::EditAnimation();
    }
};

} // namespace

TEST_F(EditAnimationTicks, WarpedBoxShowsEachFractionThenSwitches)
{
    struct Row {
        const char* name;
        bool edit;
        float shown[2];
    };
    const Row rows[]
        = { { "entering", true, { 0.6f, 0.2f } }, { "leaving", false, { 0.4f, 0.8f } } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        MyTextView* box = addTextBox(rig, true);
        box->setIsEditing(!row.edit);
        rig.container->AnimateBox(*box, row.edit);
        // Nothing changes before the first tick.
        EXPECT_TRUE(animator().isActive());
        EXPECT_FALSE(gEditAnimation.running);
        EXPECT_EQ(box->isEditing(), !row.edit);
        for (float f : row.shown) {
            animator().tick();
            EXPECT_TRUE(gEditAnimation.running);
            EXPECT_NEAR(gEditAnimation.fraction, f, 1e-6);
            EXPECT_EQ(box->isEditing(), !row.edit);
        }
        animator().tick();
        EXPECT_FALSE(animator().isActive());
        EXPECT_FALSE(gEditAnimation.running);
        EXPECT_EQ(box->isEditing(), row.edit);
        if (row.edit) {
            EXPECT_TRUE(box->Editable());
            EXPECT_TRUE(openForTyping(box));
        }
    }
}

TEST_F(EditAnimationTicks, UnwarpedBoxSwitchesAtOnceWithItsTextOpen)
{
    ContainerRig rig;
    MyTextView* box = addTextBox(rig, false);
    rig.container->AnimateBox(*box, true);
    EXPECT_FALSE(animator().isActive());
    EXPECT_TRUE(box->isEditing());
    EXPECT_TRUE(box->Editable());
    EXPECT_TRUE(box->Selectable());
    EXPECT_TRUE(openForTyping(box));
}

// A box's editing must always settle where the last request pointed, whatever interrupts it.
TEST_F(EditAnimationTicks, InterruptedAnimationsEndWhereTheLastRequestPoints)
{
    enum Interruption {
        OtherBoxAtOnce,
        OtherBoxAfterATick,
        SameRequest,
        OppositeRequest,
        Deselect
    };
    struct Row {
        const char* name;
        Interruption what;
        bool firstEndsEditing;
        int ticksAfter; // ticks the second animation still takes
    };
    const Row rows[] = {
        { "another box before the first tick", OtherBoxAtOnce, true, 3 },
        { "another box after a tick", OtherBoxAfterATick, true, 3 },
        { "the same request again", SameRequest, true, 2 },
        { "the opposite request", OppositeRequest, false, 2 },
        { "the selection cleared", Deselect, false, 2 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        MyTextView* first = addTextBox(rig, true);
        MyTextView* second = addTextBox(rig, true);
        rig.container->AnimateBox(*first, true);
        if (row.what != OtherBoxAtOnce)
            animator().tick();
        switch (row.what) {
        case OtherBoxAtOnce:
        case OtherBoxAfterATick:
            rig.container->AnimateBox(*second, true);
            // The replaced animation has its end state at once.
            EXPECT_TRUE(first->isEditing());
            EXPECT_TRUE(first->Editable());
            EXPECT_TRUE(openForTyping(first));
            EXPECT_FALSE(second->isEditing());
            break;
        case SameRequest:
            rig.container->AnimateBox(*first, true);
            EXPECT_NEAR(gEditAnimation.fraction, 0.6f, 1e-6); // not restarted
            break;
        case OppositeRequest:
            rig.container->AnimateBox(*first, false);
            break;
        case Deselect:
            rig.container->removeAllSelection();
            break;
        }
        EXPECT_EQ(ticksToEnd(), row.ticksAfter);
        EXPECT_EQ(first->isEditing(), row.firstEndsEditing);
        if (row.firstEndsEditing)
            EXPECT_TRUE(first->Editable());
        if (row.what == OtherBoxAtOnce || row.what == OtherBoxAfterATick)
            EXPECT_TRUE(second->isEditing());
    }
}

TEST_F(EditAnimationTicks, ContainerDestroyedMidAnimationRunsNothing)
{
    {
        ContainerRig rig;
        MyTextView* box = addTextBox(rig, true);
        rig.container->AnimateBox(*box, true);
        animator().tick();
        rig.container.reset();
        animator().tick();
        EXPECT_FALSE(animator().isActive());
        EXPECT_FALSE(gEditAnimation.running);
        EXPECT_EQ(gEditAnimation.box.get(), nullptr);
    }
    // A later document animates normally.
    ContainerRig rig;
    MyTextView* box = addTextBox(rig, true);
    rig.container->AnimateBox(*box, true);
    EXPECT_EQ(ticksToEnd(), 3);
    EXPECT_TRUE(box->isEditing());
}
