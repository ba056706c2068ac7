// The container's warp capture against a recording double of the renderer: which rectangle is
// captured, at what pixel size, what the renderer is asked for, and that the box is left as it
// was; and the flat picture a box's warp view keeps between draws.
#include "ContainerTestSupport.h"
#include "boxes/BoxStatics.h"
#include "container/EditAnimator.h"

#include <QImage>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

struct Recorded {
    int calls = 0;
    QImage picture;
    Rect captureRect; // gWarpCaptureRect when the renderer was called
    std::vector<Point> curves;
    double h = 0.0, v = 0.0;
};

// A renderer that keeps what it was given and returns the picture unbent, placed over all of it.
void record(TextViewContainer& container, Recorded& out)
{
    container.setWarpRenderer([&out](const platform::Image& picture,
                                  const std::vector<Point>& curves, double h, double v) {
        ++out.calls;
        out.picture = picture.toQImage();
        out.captureRect = gWarpCaptureRect.rect;
        out.curves = curves;
        out.h = h;
        out.v = v;
        const QSize s = picture.pixelSize();
        return std::optional<WarpRenderer::Result>(
            WarpRenderer::Result { picture, Rect(0.0, 0.0, s.width(), s.height()) });
    });
}

MyViewBase& addPictureBox(ContainerRig& rig, const Rect& frame, int border, int stroke)
{
    rig.container->newImageBox(solidPicture(int(frame.width()), int(frame.height())));
    MyViewBase& box = *rig.container->textViewAry.back();
    box.setFrame(frame);
    box.setBorderSize(border);
    box.setStrokeSize(stroke);
    box.setCurves({ { 0.0, 0.0 }, { 0.5, 0.4 }, { 1.0, 0.0 } });
    return box;
}

template <class T> bool sameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A curved text box opened for typing as the container opens it (its edit animation run to the
// end), its editor holding the keyboard as in a window, with range selected.
MyTextView& editedCurvedText(ContainerRig& rig, platform::TextRange range)
{
    rig.container->newTextBox();
    auto& text = dynamic_cast<MyTextView&>(*rig.container->textViewAry.back());
    text.setCurves({ { 0.0, 0.0 }, { 0.5, 0.4 }, { 1.0, 0.0 } });
    rig.container->AnimateBox(text, true);
    EditAnimator::instance().finish();
    platform::TextEditor& editor = text.txtBox()->editor();
    editor.setFirstResponder(true);
    editor.setSelectedRange(range);
    return text;
}

// Sets gCanvasExporting for its scope.
struct Exporting {
    Exporting() { gCanvasExporting = true; }
    ~Exporting() { gCanvasExporting = false; }
};

} // namespace

TEST(WarpCapture, RectangleStartingBelowZeroMovesTheBoxForTheCaptureOnly)
{
    ContainerRig rig;
    MyViewBase& box = addPictureBox(rig, Rect(5.0, 100.0, 200.0, 100.0), 10, 2);
    Recorded rec;
    record(*rig.container, rec);
    Rect rt = box.imgRect;
    rig.container->image_curved_perspectived(box, *box.superview(), 1.0f, rt);
    ASSERT_EQ(rec.calls, 1);
    // R = (-7, 88, 224, 124), captured from the wrapper's origin.
    EXPECT_EQ(rec.captureRect, Rect(0.0, 0.0, 224.0, 124.0));
    ASSERT_EQ(rec.picture.size(), QSize(224, 124));
    // The box stood at (12, 12): its red starts 12 points in from the left and the bottom.
    const auto redAt = [&](int x, int yUp) {
        const QRgb p = rec.picture.pixel(x, rec.picture.height() - 1 - yUp);
        return qAlpha(p) > 200 && qRed(p) > 200 && qGreen(p) < 60;
    };
    EXPECT_TRUE(redAt(12 + 20, 12 + 20));
    EXPECT_TRUE(redAt(12 + 180, 12 + 80));
    EXPECT_FALSE(redAt(12 + 20, 12 + 100 + 6));
    // Placed relative to R's first origin, in container points.
    expectNear(rt, Rect(-7.0, 88.0, 224.0, 124.0), 1e-4);
    EXPECT_FALSE(gWarpCaptureRect.capturing);
}

TEST(WarpCapture, LongSideIsCapturedAtMost1500PixelsAndPlacedInPoints)
{
    ContainerRig rig(Size(3000.0, 1000.0));
    MyViewBase& box = addPictureBox(rig, Rect(100.0, 100.0, 2400.0, 600.0), 0, 0);
    Recorded rec;
    record(*rig.container, rec);
    Rect rt;
    rig.container->image_curved_perspectived(box, *box.superview(), 1.0f, rt);
    ASSERT_EQ(rec.calls, 1);
    EXPECT_EQ(rec.picture.size(), QSize(1500, 375));
    expectNear(rt, Rect(100.0, 100.0, 2400.0, 600.0), 1e-3);
}

TEST(WarpCapture, FractionScalesCurveHeightsAndBothFactors)
{
    for (const float f : { 0.0f, 0.5f, 1.0f }) {
        SCOPED_TRACE(f);
        ContainerRig rig;
        MyViewBase& box = addPictureBox(rig, Rect(50.0, 50.0, 120.0, 80.0), 0, 0);
        box.setCurves({ { 0.0, 0.1 }, { 0.5, 0.4 }, { 1.0, -0.2 } });
        box.setHorzPerspective(0.5f);
        box.setVertPerspective(-0.3f);
        Recorded rec;
        record(*rig.container, rec);
        Rect rt;
        rig.container->image_curved_perspectived(box, *box.superview(), f, rt);
        ASSERT_EQ(rec.curves.size(), 3u);
        EXPECT_DOUBLE_EQ(rec.curves[0].x, 0.0);
        EXPECT_DOUBLE_EQ(rec.curves[1].x, 0.5);
        EXPECT_DOUBLE_EQ(rec.curves[1].y, 0.4 * double(f));
        EXPECT_DOUBLE_EQ(rec.curves[2].y, -0.2 * double(f));
        EXPECT_FLOAT_EQ(float(rec.h), 0.5f * f);
        EXPECT_FLOAT_EQ(float(rec.v), -0.3f * f);
        // The box's own curve is untouched.
        EXPECT_DOUBLE_EQ(box.curves()[1].y, 0.4);
    }
}

TEST(WarpCapture, FrameRotationAndPlacementAreBitIdenticalAfter)
{
    for (const double angle : { 0.0, 33.3, 271.7 }) {
        SCOPED_TRACE(angle);
        ContainerRig rig;
        MyViewBase& box = addPictureBox(rig, Rect(-40.3, 17.9, 210.7, 95.1), 10, 3);
        box.setRotationAngle(angle);
        box.imgRect = Rect(1.1, 2.2, 3.3, 4.4);
        const Rect frame = box.frame();
        const Rect wrapperFrame = box.superview()->frame();
        const double turn = box.rotationAngle();
        const Rect imgRect = box.imgRect;
        Recorded rec;
        record(*rig.container, rec);
        Rect rt;
        rig.container->image_curved_perspectived(box, *box.superview(), 1.0f, rt);
        EXPECT_EQ(rec.calls, 1);
        EXPECT_TRUE(sameBits(box.rotationAngle(), turn));
        EXPECT_TRUE(sameBits(box.frameRotation(), turn));
        EXPECT_TRUE(sameBits(box.frame(), frame));
        EXPECT_TRUE(sameBits(box.imgRect, imgRect));
        EXPECT_EQ(box.superview()->frame(), wrapperFrame);
    }
}

// A drag of the perspective or the curve bends the flat picture the warp view kept from the last
// draw; any change that alters the flat box draws it again. Either way the bent picture is the
// one a fresh capture makes.
TEST(WarpCapture, FlatPictureIsKeptWhileOnlyCurveAndPerspectiveChange)
{
    struct Row {
        const char* name;
        std::function<void(MyViewBase&)> change;
        bool drawnAgain;
    };
    const Row rows[] = {
        { "horizontal perspective", [](MyViewBase& b) { b.setHorzPerspective(0.6f); }, false },
        { "vertical perspective", [](MyViewBase& b) { b.setVertPerspective(-0.4f); }, false },
        { "curve",
            [](MyViewBase& b) {
                b.setCurves({ { 0, 0 }, { 0.5, -0.3 }, { 1, 0 } });
            },
            false },
        { "saturation", [](MyViewBase& b) { dynamic_cast<MyImageView&>(b).setSaturation(0.0); },
            true },
        { "border", [](MyViewBase& b) { b.setBorderSize(6); }, true },
        { "picture",
            [](MyViewBase& b) {
                QImage blue(200, 100, QImage::Format_ARGB32_Premultiplied);
                blue.fill(Qt::blue);
                dynamic_cast<MyImageView&>(b).setOrgImage(
                    platform::Image::fromQImage(blue), 200.0, 100.0);
            },
            true },
        { "export starts with a new perspective",
            [](MyViewBase& b) {
                gCanvasExporting = true;
                b.setHorzPerspective(0.6f);
            },
            true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        MyViewBase& box = addPictureBox(rig, Rect(100.0, 100.0, 200.0, 100.0), 0, 0);
        box.setHorzPerspective(0.3f);
        std::vector<platform::Image> given;
        rig.container->setWarpRenderer([&given](const platform::Image& picture,
                                           const std::vector<Point>& curves, double h, double v) {
            given.push_back(picture);
            return WarpRenderer::perspectiveCurved(picture, curves, h, v);
        });
        const auto draw
            = [&] { return platform::renderToImage(*rig.container, Rect(0, 0, 400, 300), 1.0); };
        draw();
        ASSERT_EQ(given.size(), 1u);
        row.change(box);
        draw();
        ASSERT_EQ(given.size(), 2u);
        EXPECT_EQ(given[1] == given[0], !row.drawnAgain);

        Rect rt = box.imgRect;
        const QImage fresh
            = rig.container->image_curved_perspectived(box, *box.superview(), 1.0f, rt).toQImage();
        gCanvasExporting = false;
        ASSERT_EQ(given.size(), 3u);
        EXPECT_FALSE(given[2] == given[1]);
        EXPECT_EQ(box.imgPersp.toQImage(), fresh);
        expectNear(box.imgRect, rt, 1e-9);
    }
}

// The caret and the selection are drawn on screen only: the capture of a box being edited is the
// capture of the box once its editing has ended, pixel for pixel.
TEST(WarpCapture, EditedTextIsCapturedWithoutCaretOrSelection)
{
    // The caret after the default text's four characters; its first two characters selected.
    struct Row {
        const char* name;
        platform::TextRange range;
    };
    const Row rows[]
        = { { "caret", platform::TextRange(4, 0) }, { "selection", platform::TextRange(0, 2) } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        MyTextView& text = editedCurvedText(rig, row.range);
        ASSERT_TRUE(text.isEditing());
        const auto screen
            = [&] { return platform::renderToImage(*rig.container, text.frame(), 1.0).toQImage(); };
        const auto captured = [&](Rect& rt) {
            rt = text.imgRect;
            return rig.container->image_curved_perspectived(text, *text.superview(), 1.0f, rt)
                .toQImage();
        };
        // The screen shows the caret or the selection over the flat box being edited.
        const QImage editedOnScreen = screen();
        Rect editedRect;
        const QImage edited = captured(editedRect);

        text.setIsEditing(false);
        ASSERT_FALSE(screen() == editedOnScreen) << "the screen showed no " << row.name;
        Rect doneRect;
        const QImage done = captured(doneRect);
        ASSERT_FALSE(done.isNull());
        EXPECT_TRUE(edited == done) << "the capture while editing differs";
        EXPECT_EQ(editedRect, doneRect);
    }
}

// The warped picture cached on the box and the flat picture kept by its warp view are made
// again when the box's editing ends or begins: a picture made in the other state is not the
// box's picture, though the box's record draws alike.
TEST(WarpCapture, PicturesAreMadeAgainWhenEditingEndsOrBegins)
{
    for (const bool editingAtFirst : { true, false }) {
        SCOPED_TRACE(editingAtFirst ? "editing ends" : "editing begins");
        ContainerRig rig;
        MyTextView& text = editedCurvedText(rig, platform::TextRange(4, 0));
        if (!editingAtFirst) {
            rig.container->AnimateBox(text, false);
            EditAnimator::instance().finish();
        }
        ASSERT_EQ(text.isEditing(), editingAtFirst);
        std::vector<platform::Image> given;
        rig.container->setWarpRenderer([&given](const platform::Image& picture,
                                           const std::vector<Point>& curves, double h, double v) {
            given.push_back(picture);
            return WarpRenderer::perspectiveCurved(picture, curves, h, v);
        });
        // The export draws the box warped whether it is edited or not.
        const Exporting exporting;
        const auto draw
            = [&] { return platform::renderToImage(*rig.container, Rect(0, 0, 1200, 900), 1.0); };
        draw();
        ASSERT_EQ(given.size(), 1u);
        ASSERT_FALSE(text.imgPersp.isNull());

        rig.container->AnimateBox(text, !editingAtFirst);
        EditAnimator::instance().finish();
        ASSERT_EQ(text.isEditing(), !editingAtFirst);
        draw();
        ASSERT_EQ(given.size(), 2u) << "the cached picture was drawn again";
        EXPECT_FALSE(given[1] == given[0]) << "the flat picture was drawn again";
        Rect rt = text.imgRect;
        const QImage fresh
            = rig.container->image_curved_perspectived(text, *text.superview(), 1.0f, rt)
                  .toQImage();
        EXPECT_EQ(text.imgPersp.toQImage(), fresh);
    }
}
