// Colour-removal mode in a headless container with the real fill: which selections enter it,
// leaving it, and gestures as undo steps (pixels probed in the box's picture).
#include "container/ContainerTestSupport.h"
#include "container/MyInstantAlphaView.h"

#include <QImage>
#include <gtest/gtest.h>

using platform::Point;
using platform::Rect;

namespace {

constexpr std::uint32_t kWhite = 0xffffffffu;
constexpr std::uint32_t kNearWhite = 0xfffafafbu; // distance 14 from white
constexpr std::uint32_t kBlack = 0xff000000u;

// 40 x 30: white on the left (columns 0-19), near-white in columns 20-29, black from 30 on.
platform::Image bands()
{
    QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            reinterpret_cast<std::uint32_t*>(image.scanLine(y))[x] = x < 20 ? kWhite
                : x < 30                                                    ? kNearWhite
                                                                            : kBlack;
    return platform::Image::fromQImage(image);
}

std::uint32_t pixelOf(const MyViewBase* box, int x, int y)
{
    const auto* image = dynamic_cast<const MyImageView*>(box);
    if (!image || image->orgImage().isNull())
        return 0xdeadbeefu;
    const QImage pixels = image->orgImage().toQImage();
    return reinterpret_cast<const std::uint32_t*>(pixels.constScanLine(y))[x];
}

// The bands picture's box, with a hint bubble.
struct RemovalRig : PictureBoxRig {
    RemovalRig()
        : PictureBoxRig(bands())
    {
        canvas.bubble = &bubble;
    }
    MyViewBase* box() { return container->textViewAry.at(0); }
    // One gesture: press at pixel (column, row), drags by the given distances, release.
    void gesture(double column, double row, std::initializer_list<double> drags)
    {
        ASSERT_TRUE(c().instantAlphaPress(pixel(column, row)));
        for (double d : drags)
            c().instantAlphaDrag(pixel(column, row + d));
        c().instantAlphaRelease();
        endEvent();
    }
    MyInstantAlphaView bubble { Rect(0, 0, 200, 30), QString(), 1 };
};

} // namespace

TEST(ColourRemovalMode, EntryDecidesOnTheWholeSelectionFirst)
{
    enum Kind { Image, Pictureless, Shape, Text };
    const struct {
        const char* name;
        std::vector<Kind> selected;
        bool starts;
    } cases[] = {
        { "one picture box", { Image }, true },
        { "a picture box without a picture", { Pictureless }, false },
        { "a shape", { Shape }, false },
        { "two non-text boxes", { Image, Shape }, false },
        { "two picture boxes", { Image, Image }, false },
        { "a text box and a picture box", { Text, Image }, true },
        { "nothing selected", {}, false },
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        ContainerRig rig;
        TextViewContainer& c = *rig.container;
        for (Kind k : t.selected) {
            switch (k) {
            case Image:
                c.newImageBox(bands());
                break;
            case Pictureless:
                c.newImageBox(platform::Image());
                break;
            case Shape:
                c.newShapeBox(3);
                break;
            case Text:
                c.newTextBox();
                break;
            }
        }
        for (MyViewBase* box : c.textViewAry)
            box->setSelected(true);
        const bool started = c.instantAlpha();
        EXPECT_EQ(started, t.starts);
        EXPECT_EQ(c.bInstantAlpha, t.starts);
        int editing = 0;
        for (MyViewBase* box : c.textViewAry)
            editing += box->isEditing();
        // Nothing starts animating when the mode does not start.
        EXPECT_EQ(editing, t.starts ? 1 : 0);
        if (t.starts)
            EXPECT_TRUE(
                dynamic_cast<MyImageView*>(c.textViewAry.at(std::size_t(c.expandingSubId))));
        else
            EXPECT_EQ(c.expandingSubId, -1);
    }
}

TEST(ColourRemovalMode, CancelLetsTheBoxGoAndTurnsTheToggleAndHintOff)
{
    RemovalRig rig;
    ASSERT_TRUE(rig.c().instantAlpha());
    rig.bubble.setHidden(false);
    EXPECT_TRUE(rig.box()->isEditing());
    rig.c().cancelInstantAlpha();
    EXPECT_FALSE(rig.c().bInstantAlpha);
    EXPECT_FALSE(rig.box()->isEditing());
    EXPECT_EQ(rig.delegate.instantAlphaState, 0);
    EXPECT_TRUE(rig.bubble.isHidden());
    EXPECT_EQ(rig.undo.undoGroupCount(), 1) << "leaving without a gesture is no step";
}

TEST(ColourRemovalMode, APressOutsideEndsTheModeAndGoesOn)
{
    RemovalRig rig;
    ASSERT_TRUE(rig.c().instantAlpha());
    EXPECT_FALSE(rig.c().instantAlphaPress(Point(10.0, 10.0)));
    EXPECT_FALSE(rig.c().bInstantAlpha);
    EXPECT_EQ(rig.c().expandingSubId, -1);
    EXPECT_EQ(rig.delegate.instantAlphaState, 0);
    EXPECT_FALSE(rig.box()->isEditing());
    EXPECT_EQ(pixelOf(rig.box(), 5, 10), kWhite);
}

TEST(ColourRemovalMode, DragsRefillFromThePictureOfThePress)
{
    RemovalRig rig;
    ASSERT_TRUE(rig.c().instantAlpha());
    ASSERT_TRUE(rig.c().instantAlphaPress(RemovalRig::pixel(5.5, 10.5)));
    EXPECT_TRUE(rig.c().brushPreviewLayer.has_value());
    EXPECT_EQ(rig.c().instantSize, 1.0);
    // The click: white only.
    EXPECT_EQ(pixelOf(rig.box(), 5, 10), 0u);
    EXPECT_EQ(pixelOf(rig.box(), 19, 29), 0u);
    EXPECT_EQ(pixelOf(rig.box(), 25, 10), kNearWhite);
    // Dragged 20 away: the near-white band goes too, black stays.
    rig.c().instantAlphaDrag(RemovalRig::pixel(5.5, 30.5));
    EXPECT_EQ(rig.c().instantSize, 20.0);
    EXPECT_EQ(pixelOf(rig.box(), 25, 10), 0u);
    EXPECT_EQ(pixelOf(rig.box(), 35, 10), kBlack);
    // Back to 3: the band returns, since each drag starts from the picture of the press.
    rig.c().instantAlphaDrag(RemovalRig::pixel(5.5, 13.5));
    EXPECT_EQ(pixelOf(rig.box(), 25, 10), kNearWhite);
    EXPECT_EQ(pixelOf(rig.box(), 5, 10), 0u);
    rig.c().instantAlphaRelease();
    EXPECT_FALSE(rig.c().brushPreviewLayer.has_value());
    EXPECT_TRUE(rig.c().bInstantAlpha) << "the mode stays for the next gesture";
}

TEST(ColourRemovalMode, AGestureIsOneStepAndGesturesAccumulate)
{
    RemovalRig rig;
    ASSERT_TRUE(rig.c().instantAlpha());
    const int steps = rig.undo.undoGroupCount();
    rig.gesture(5.5, 10.5, { 5.0, 20.0 }); // white and near-white
    EXPECT_EQ(rig.undo.undoGroupCount(), steps + 1);
    rig.gesture(35.5, 10.5, {}); // black
    EXPECT_EQ(rig.undo.undoGroupCount(), steps + 2);
    EXPECT_EQ(pixelOf(rig.box(), 5, 10), 0u);
    EXPECT_EQ(pixelOf(rig.box(), 25, 10), 0u);
    EXPECT_EQ(pixelOf(rig.box(), 35, 10), 0u);

    rig.undo.undo();
    EXPECT_EQ(pixelOf(rig.box(), 5, 10), 0u);
    EXPECT_EQ(pixelOf(rig.box(), 35, 10), kBlack);
    rig.undo.undo();
    EXPECT_EQ(pixelOf(rig.box(), 5, 10), kWhite);
    EXPECT_EQ(pixelOf(rig.box(), 25, 10), kNearWhite);
    rig.undo.redo();
    EXPECT_EQ(pixelOf(rig.box(), 5, 10), 0u);
    EXPECT_EQ(pixelOf(rig.box(), 25, 10), 0u);
    EXPECT_EQ(pixelOf(rig.box(), 35, 10), kBlack);
}

TEST(ColourRemovalMode, CancelMidGestureStillRegistersTheStep)
{
    RemovalRig rig;
    ASSERT_TRUE(rig.c().instantAlpha());
    const int steps = rig.undo.undoGroupCount();
    ASSERT_TRUE(rig.c().instantAlphaPress(RemovalRig::pixel(5.5, 10.5)));
    rig.c().instantAlphaDrag(RemovalRig::pixel(5.5, 30.5));
    rig.c().cancelInstantAlpha();
    rig.endEvent();
    EXPECT_FALSE(rig.c().brushPreviewLayer.has_value());
    EXPECT_FALSE(rig.box()->isEditing());
    EXPECT_EQ(rig.undo.undoGroupCount(), steps + 1);
    rig.undo.undo();
    EXPECT_EQ(pixelOf(rig.box(), 25, 10), kNearWhite);
}

TEST(ColourRemovalMode, ThePressScalesByThePicturesPixelSize)
{
    // The box drawn at twice the picture's size: the seed is the pixel under the press, whatever
    // size the box was made with.
    RemovalRig rig;
    rig.box()->setFrameSize(platform::Size(80.0, 60.0));
    ASSERT_TRUE(rig.c().instantAlpha());
    ASSERT_TRUE(rig.c().instantAlphaPress(Point(580.0 + 2.0 * 35.5, 495.0 - 2.0 * 10.5)));
    rig.c().instantAlphaRelease();
    EXPECT_EQ(pixelOf(rig.box(), 35, 10), 0u);
    EXPECT_EQ(pixelOf(rig.box(), 5, 10), kWhite);
}

TEST(ColourRemovalMode, CancelOutsideTheModeLeavesOtherGesturesBoxesAlone)
{
    // expandingSubId names a handle in other gestures: a window action's cancel must not end
    // the editing of the box that index happens to reach.
    RemovalRig rig;
    rig.box()->setIsEditing(true);
    rig.c().expandingSubId = 0;
    rig.c().cancelInstantAlpha();
    EXPECT_TRUE(rig.box()->isEditing());
    EXPECT_EQ(rig.delegate.instantAlphaState, -1) << "the toggle is left alone when off";
}
