// Colour-removal gestures with a recording double in place of the fill: where the seed lands,
// what a failed fill leaves, how many undo steps a gesture makes, and what a stale box index does.
#include "ContainerTestSupport.h"
#include "platform/ui/Event.h"

#include <QImage>
#include <gtest/gtest.h>

using platform::Point;
using platform::Rect;

namespace {

struct FillCall {
    int x, y;
    double threshold;
};

// Records every call; fails the calls whose number (from 0) is listed, else answers a blue
// picture of the source's size.
struct FillDouble {
    std::vector<FillCall> calls;
    std::vector<std::size_t> failing;
    bool failAll = false;

    TextViewContainer::ColourFillFunction function()
    {
        return [this](const platform::Image& source, int x, int y,
                   double threshold) -> std::optional<platform::Image> {
            const std::size_t n = calls.size();
            calls.push_back({ x, y, threshold });
            if (failAll || std::find(failing.begin(), failing.end(), n) != failing.end())
                return std::nullopt;
            QImage pixels(source.pixelSize(), QImage::Format_ARGB32_Premultiplied);
            pixels.fill(Qt::blue);
            return platform::Image::fromQImage(pixels);
        };
    }
};

QColor pixelOf(const MyViewBase* box)
{
    const auto* image = dynamic_cast<const MyImageView*>(box);
    if (!image || image->orgImage().isNull())
        return QColor();
    return image->orgImage().toQImage().pixelColor(3, 3);
}

// The red 40 x 30 picture box, filled by the double.
struct GestureRig : PictureBoxRig {
    GestureRig()
        : PictureBoxRig(solidPicture(40, 30))
    {
        container->setColourFill(fill.function());
    }
    MyViewBase* box() { return container->textViewAry.back(); }
    FillDouble fill;
};

} // namespace

TEST(ColourRemovalGesture, SeedIsClampedIntoThePicture)
{
    struct Row {
        const char* name;
        Point press;
        int x, y;
    } rows[] = {
        { "inside", GestureRig::pixel(5.5, 10.5), 5, 10 },
        // The bottom edge measures 30 from the top edge: row 30 is no row of the picture.
        { "on the bottom edge", GestureRig::pixel(5.5, 30.0), 5, 29 },
        { "on the right edge", GestureRig::pixel(40.0, 10.5), 39, 10 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GestureRig rig;
        ASSERT_TRUE(rig.c().instantAlpha());
        ASSERT_TRUE(rig.c().instantAlphaPress(row.press));
        ASSERT_EQ(rig.fill.calls.size(), 1u);
        EXPECT_EQ(rig.fill.calls[0].x, row.x);
        EXPECT_EQ(rig.fill.calls[0].y, row.y);
        EXPECT_EQ(rig.fill.calls[0].threshold, 1.0);
    }
}

TEST(ColourRemovalGesture, OneGestureOneStepAndFailedFillsKeepThePicture)
{
    struct Row {
        const char* name;
        bool failAll;
        std::vector<std::size_t> failing;
        bool changed;
    } rows[] = {
        { "every fill works", false, {}, true },
        { "every fill fails", true, {}, false },
        { "the press's fill fails, a drag's works", false, { 0 }, true },
        { "the drags' fills fail after the press's", false, { 1, 2, 3 }, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GestureRig rig;
        rig.fill.failAll = row.failAll;
        rig.fill.failing = row.failing;
        ASSERT_TRUE(rig.c().instantAlpha());
        rig.endEvent();
        const platform::Image original = dynamic_cast<MyImageView*>(rig.box())->orgImage();
        const int steps = rig.undo.undoGroupCount();
        // One gesture over several events: press, three drags, release.
        ASSERT_TRUE(rig.c().instantAlphaPress(GestureRig::pixel(5.5, 10.5)));
        rig.endEvent();
        for (double d : { 3.0, 4.0, 12.0 }) {
            rig.c().instantAlphaDrag(GestureRig::pixel(5.5, 10.5 + d));
            rig.endEvent();
        }
        rig.c().instantAlphaRelease();
        rig.endEvent();
        ASSERT_EQ(rig.fill.calls.size(), 4u);
        EXPECT_EQ(rig.fill.calls[3].threshold, 12.0);
        const auto* image = dynamic_cast<MyImageView*>(rig.box());
        EXPECT_EQ(image->orgImage() == original, !row.changed);
        EXPECT_FALSE(image->orgImage().isNull());
        EXPECT_EQ(pixelOf(rig.box()), row.changed ? QColor(Qt::blue) : QColor(Qt::red));
        EXPECT_EQ(rig.undo.undoGroupCount(), steps + (row.changed ? 1 : 0));
        if (row.changed) {
            rig.undo.undo();
            EXPECT_EQ(pixelOf(rig.box()), QColor(Qt::red));
        }
    }
}

TEST(ColourRemovalGesture, AStaleBoxIndexEndsTheMode)
{
    // Two picture boxes; the mode is on the upper one. Sending it to the back makes the index
    // of the mode name the other box: whatever comes next ends the mode and fills nothing.
    enum class Next { Press, Drag, Release };
    struct Row {
        const char* name;
        Next next;
    } rows[] = {
        { "a press", Next::Press },
        { "a drag", Next::Drag },
        { "a release", Next::Release },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GestureRig rig;
        rig.c().newImageBox(solidPicture(40, 30));
        rig.endEvent();
        MyViewBase* chosen = rig.c().textViewAry.at(1);
        MyViewBase* other = rig.c().textViewAry.at(0);
        ASSERT_TRUE(rig.c().instantAlpha());
        ASSERT_EQ(rig.c().expandingSubId, 1);
        rig.c().sendToBack();
        ASSERT_EQ(rig.c().textViewAry.at(1), other);
        const Point p = GestureRig::pixel(5.5, 10.5);
        switch (row.next) {
        case Next::Press:
            EXPECT_FALSE(rig.c().instantAlphaPress(p));
            break;
        case Next::Drag:
            rig.c().instantAlphaDrag(p);
            break;
        case Next::Release:
            rig.c().instantAlphaRelease();
            break;
        }
        EXPECT_FALSE(rig.c().bInstantAlpha);
        EXPECT_EQ(rig.delegate.instantAlphaState, 0);
        EXPECT_TRUE(rig.fill.calls.empty());
        EXPECT_EQ(pixelOf(other), QColor(Qt::red));
        EXPECT_FALSE(chosen->isEditing()) << "the box of the mode lets go wherever it is";
        EXPECT_FALSE(other->isEditing());
    }
}
