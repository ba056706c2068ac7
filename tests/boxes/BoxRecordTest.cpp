// What a box puts into its record, takes back from it, and takes from it as a style; the image
// box's record fields, saturation and tint stages.
#include "boxes/MyImageView.h"
#include "boxes/MyImageViewSuper.h"

#include <QImage>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using platform::Color;
using platform::Point;
using platform::Rect;
using platform::Size;
using platform::View;

namespace {

platform::Image redPicture(int w = 8, int h = 4)
{
    QImage px(w, h, QImage::Format_ARGB32_Premultiplied);
    px.fill(QColor(200, 40, 10));
    return platform::Image::fromQImage(px);
}

SZGradient solid(const Color& c, int kind = SZGradient::ColorFill)
{
    SZGradient g;
    g.gradientType = kind;
    g.color = c;
    return g;
}

// Gives a box every style field a value of its own.
void styleBox(MyViewBase& box)
{
    box.setBackColor(solid(Color(0, 1, 0, 1)));
    box.setBorderColor(solid(Color(0, 0, 1, 1)));
    box.setStrokeColor(solid(Color(1, 0, 1, 1)));
    box.setOverlayColor(solid(Color(1, 1, 0, 1), SZGradient::LinearFill));
    box.setBorderSize(4);
    box.setStrokeSize(2);
    box.setShadowColor(Color(0.1, 0, 0, 1));
    box.setShadowAngle(30);
    box.setShadowBlurSize(3);
    box.setShadowOffsetSize(5);
    box.setInnerShadowColor(Color(0, 0.2, 0, 1));
    box.setInnerShadowAngle(60);
    box.setInnerShadowBlurSize(6);
    box.setInnerShadowOffsetSize(7);
    box.setBoxShadowColor(Color(0, 0, 0.3, 1));
    box.setBoxShadowAngle(120);
    box.setBoxShadowBlurSize(8);
    box.setBoxShadowOffsetSize(9);
    box.setLayerOpacity(0.6f);
    box.setRotationAngle(25);
    box.setHorzPerspective(0.0f);
    box.setVertPerspective(0.4f);
    box.setCurves({ Point(0, 0.1), Point(1, 0.2) });
    box.setSelected(true);
    box.setIsEditing(true);
}

// An image box in its nest: container > warp view > wrapper > box.
struct ImageNest {
    View container { Rect(0, 0, 200, 150) };
    View* warp = nullptr;
    MyImageViewSuper* wrapper = nullptr;
    MyImageView* box = nullptr;

    explicit ImageNest(const Rect& frame = Rect(20, 30, 80, 40))
    {
        auto image = std::make_unique<MyImageView>(frame);
        box = image.get();
        warp = container.addSubview(std::make_unique<View>(container.bounds()));
        wrapper = warp->addSubview(
            std::make_unique<MyImageViewSuper>(std::move(image), container.bounds()));
    }
};

} // namespace

TEST(BoxRecord, RestoringAFullRecordGivesTheBoxBack)
{
    MyViewBase source(Rect(10, 20, 100, 50));
    styleBox(source);
    const UNDODATA record = source.getUndoData();

    MyViewBase target(Rect(0, 0, 5, 5));
    target.imgPersp = redPicture();
    target.setUndoData(record);
    EXPECT_TRUE(target.getUndoData().isEqualTo(record));
    EXPECT_EQ(target.frame(), source.frame()) << "the frame of the turned view";
    EXPECT_DOUBLE_EQ(target.rotationAngle(), 25);
    EXPECT_TRUE(target.selected());
    EXPECT_TRUE(target.isEditing());
    EXPECT_TRUE(target.imgPersp.isNull());
    // Each shadow colour from its own field.
    EXPECT_EQ(target.shadowColor(), Color(0.1, 0, 0, 1));
    EXPECT_EQ(target.innerShadowColor(), Color(0, 0.2, 0, 1));
    EXPECT_EQ(target.boxShadowColor(), Color(0, 0, 0.3, 1));
    EXPECT_EQ(target.layerOpacity(), 0.6f);
    EXPECT_DOUBLE_EQ(target.alphaValue(), double(0.6f));

    // Fills are values: neither side sees later changes of the other.
    UNDODATA copy = target.getUndoData();
    copy.backColor->color = Color(1, 1, 1, 1);
    EXPECT_EQ(target.backColor().color, Color(0, 1, 0, 1));
    target.setBorderColor(solid(Color(0.5, 0.5, 0.5, 1)));
    EXPECT_EQ(record.borderColor->color, Color(0, 0, 1, 1));
}

TEST(BoxRecord, RecordFollowsTheBoxOnlyWhereItsPictureChanges)
{
    struct Row {
        const char* name;
        std::function<void(MyImageView&)> change;
        bool equal;
    };
    const Row rows[] = {
        { "nothing", [](MyImageView&) {}, true },
        { "a move",
            [](MyImageView& b) {
                const Point o = b.frame().origin;
                b.setFrameOrigin(Point(o.x + 7, o.y - 3));
            },
            true },
        { "a selection", [](MyImageView& b) { b.setSelected(!b.selected()); }, true },
        { "editing", [](MyImageView& b) { b.setIsEditing(true); }, true },
        { "a box shadow", [](MyImageView& b) { b.setBoxShadowOffsetSize(12); }, true },
        { "a resize", [](MyImageView& b) { b.setFrameSize(Size(81, 40)); }, false },
        { "a turn", [](MyImageView& b) { b.setRotationAngle(10); }, false },
        { "a fill", [](MyImageView& b) { b.setBackColor(solid(Color(1, 0, 0, 1))); }, false },
        { "a curve", [](MyImageView& b) { b.setCurveAngle(180); }, false },
        { "saturation", [](MyImageView& b) { b.setSaturation(0.2); }, false },
    };
    for (const Row& row : rows) {
        ImageNest nest;
        nest.box->setOrgImage(redPicture(), 80, 40);
        const UNDODATA before = nest.box->getUndoData();
        row.change(*nest.box);
        EXPECT_EQ(nest.box->getUndoData().isEqualTo(before), row.equal) << row.name;
    }
}

TEST(BoxRecord, StyleTransferRules)
{
    // A text record with a kind-0 stroke of width 0 leaves the target's stroke alone.
    MyViewBase target(Rect(0, 0, 50, 50));
    target.setStrokeColor(solid(Color(1, 0, 0, 1)));
    target.setStrokeSize(6);
    target.setOverlayColor(solid(Color(0, 1, 0, 1)));
    target.setRotationAngle(15);
    const Rect frameBefore = target.frame();
    target.imgPersp = redPicture();
    UNDODATA text;
    text.type = UNDODATA::TextBox;
    text.strokeColor = solid(Color(0, 0, 1, 1), SZGradient::NoFill);
    text.strokeSize = 0;
    text.overlayColor = solid(Color(0, 0, 1, 1), SZGradient::NoFill);
    text.rotationAngle = 200;
    text.frame = Rect(1, 2, 3, 4);
    text.selected = true;
    text.vertPerspective = 0.25;
    text.horzPerspective = 0;
    text.curves = { Point(0, -0.3), Point(1, -0.3) };
    text.layerOpacity = 0.4;
    text.backColor = solid(Color(0.2, 0.2, 0.2, 1));
    text.innerShadowColor = Color(0, 0, 0, 0.5);
    text.innerShadowOffsetSize = 4;
    target.setCopyPasteStyle(text);
    EXPECT_EQ(target.strokeColor().color, Color(1, 0, 0, 1));
    EXPECT_EQ(target.strokeSize(), 6);
    EXPECT_EQ(target.overlayColor().color, Color(0, 1, 0, 1)) << "a kind-0 overlay is no style";
    EXPECT_EQ(target.backColor().color, Color(0.2, 0.2, 0.2, 1));
    EXPECT_FLOAT_EQ(target.vertPerspective(), 0.25f) << "warps are part of the style";
    EXPECT_EQ(target.curves(), text.curves);
    EXPECT_EQ(target.innerShadowOffsetSize(), 4);
    EXPECT_EQ(target.layerOpacity(), 0.4f);
    EXPECT_DOUBLE_EQ(target.rotationAngle(), 15) << "not the rotation";
    EXPECT_EQ(target.frame(), frameBefore) << "not the place or size";
    EXPECT_FALSE(target.selected());
    EXPECT_TRUE(target.imgPersp.isNull());

    // A shape record always sets the stroke, even a width of 0 and a kind-0 colour.
    UNDODATA shape = text;
    shape.type = UNDODATA::ShapeBox;
    target.setCopyPasteStyle(shape);
    EXPECT_EQ(target.strokeSize(), 0);
    EXPECT_EQ(target.strokeColor().gradientType, SZGradient::NoFill);

    // A text record with a stroke sets it; its overlay of another kind replaces the target's.
    text.strokeColor = solid(Color(0, 0, 1, 1));
    text.strokeSize = 3;
    text.overlayColor = solid(Color(0, 0, 1, 1));
    target.setCopyPasteStyle(text);
    EXPECT_EQ(target.strokeSize(), 3);
    EXPECT_EQ(target.strokeColor().color, Color(0, 0, 1, 1));
    EXPECT_EQ(target.overlayColor().color, Color(0, 0, 1, 1));
    text.overlayColor->color = Color(1, 1, 1, 1);
    EXPECT_EQ(target.overlayColor().color, Color(0, 0, 1, 1)) << "the fill is not shared";
}

TEST(BoxRecord, RestoringABadRecordGivesASafeBox)
{
    UNDODATA bad;
    bad.type = UNDODATA::ImageBox;
    bad.frame = Rect(std::nan(""), 10, -40, std::numeric_limits<double>::infinity());
    bad.rotationAngle = std::numeric_limits<double>::infinity();
    bad.layerOpacity = std::nan("");
    bad.saturation = std::nan("");
    bad.borderSize = -3;
    bad.curves = { Point(std::nan(""), 0) };
    ImageNest nest;
    nest.box->setUndoData(bad);
    EXPECT_EQ(nest.box->frame(), Rect(0, 10, 0, 0));
    EXPECT_EQ(nest.box->rotationAngle(), 0.0);
    EXPECT_EQ(nest.box->layerOpacity(), 1.0f);
    EXPECT_EQ(nest.box->borderSize(), 0);
    EXPECT_EQ(nest.box->saturation(), 1.0);
    EXPECT_EQ(nest.box->backColor().gradientType, SZGradient::NoFill) << "a new box's fill";
    EXPECT_EQ(nest.box->borderColor().gradientType, SZGradient::ColorFill);
    EXPECT_TRUE(nest.box->orgImage().isNull());
    // And it draws.
    EXPECT_FALSE(platform::renderToImage(nest.container, nest.container.bounds(), 1).isNull());
}

TEST(ImageBoxRecord, RestoreAndStylePaste)
{
    ImageNest source;
    const platform::Image picture = redPicture();
    source.box->setOrgImage(picture, 64, 32);
    source.box->setSaturation(0.25);
    source.box->setShadowColor(Color(0, 0, 0, 1));
    source.box->setShadowOffsetSize(10);
    source.box->setShadowAngle(90);
    source.box->setShadowBlurSize(4);
    const UNDODATA record = source.box->getUndoData();
    EXPECT_EQ(record.type, UNDODATA::ImageBox);
    EXPECT_EQ(record.orgImage, picture);
    EXPECT_EQ(record.orgWidth, 64);
    EXPECT_EQ(record.orgHeight, 32);
    EXPECT_EQ(record.saturation, 0.25);
    EXPECT_TRUE(record.isEqualTo(source.box->getUndoData())) << "shared pictures stay equal";

    ImageNest target;
    target.box->setUndoData(record);
    EXPECT_EQ(target.box->orgImage(), picture);
    EXPECT_EQ(target.box->saturation(), 0.25);
    EXPECT_FALSE(target.box->image().isNull()) << "the saturation stage is rebuilt";
    EXPECT_EQ(target.box->orgwidth(), 64);
    EXPECT_EQ(target.box->orgheight(), 32);
    EXPECT_EQ(target.box->frame().size, Size(64, 32));
    // The drop shadow is rebuilt on the warp view: offset y-up, falling below for angle 90.
    ASSERT_TRUE(target.warp->shadow().has_value());
    EXPECT_NEAR(target.warp->shadow()->offset.width, 0, 1e-5);
    EXPECT_NEAR(target.warp->shadow()->offset.height, -10, 1e-5);
    EXPECT_EQ(target.warp->shadow()->blur, 4);
    EXPECT_TRUE(target.box->getUndoData().isEqualTo(record));

    // A pasted style changes the saturation, never the picture.
    ImageNest other;
    const platform::Image otherPicture = redPicture(3, 3);
    other.box->setOrgImage(otherPicture, 30, 30);
    other.box->setCopyPasteStyle(record);
    EXPECT_EQ(other.box->saturation(), 0.25);
    EXPECT_EQ(other.box->orgImage(), otherPicture);
    EXPECT_EQ(other.box->frame().size, Size(30, 30));
    EXPECT_TRUE(other.warp->shadow().has_value());
}

TEST(ImageBoxRecord, PictureStagesRebuildOnlyWhatChanged)
{
    ImageNest nest;
    nest.box->setOrgImage(redPicture(), 80, 40);
    const platform::FilterImage filtered = nest.box->image();
    const platform::Image tinted = nest.box->tintedImage();
    ASSERT_FALSE(tinted.isNull());
    EXPECT_EQ(nest.box->tintedImage(), tinted) << "reused while nothing changes";

    nest.box->setOverlayColor(solid(Color(0, 0, 1, 1)));
    EXPECT_EQ(nest.box->image(), filtered) << "a new tint keeps the filtered picture";
    EXPECT_NE(nest.box->tintedImage(), tinted);

    const platform::Image tinted2 = nest.box->tintedImage();
    nest.box->setSaturation(0.0);
    EXPECT_FALSE(nest.box->image() == filtered);
    EXPECT_NE(nest.box->tintedImage(), tinted2);

    // The plain setter stores only; the next saturation applies the new picture.
    const platform::FilterImage before = nest.box->image();
    nest.box->setOrgImage(redPicture(2, 2));
    EXPECT_EQ(nest.box->image(), before);
    nest.box->setSaturation(0.0);
    EXPECT_FALSE(nest.box->image() == before);
}
