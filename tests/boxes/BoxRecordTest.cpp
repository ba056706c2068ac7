// What a box puts into its record, takes back from it, and takes from it as a style; the image
// box's record fields and picture stages.
#include "BoxTestSupport.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "boxes/ShapeModel.h"

#include <gtest/gtest.h>

using namespace boxtest;
using platform::Color;
using platform::Point;
using platform::Rect;
using platform::Size;

TEST(BoxRecord, RestoringAFullRecordGivesTheBoxBack)
{
    MyViewBase source(Rect(10, 20, 100, 50));
    source.setBackColor(solid(Color(0, 1, 0, 1)));
    source.setBorderColor(solid(Color(0, 0, 1, 1)));
    source.setOverlayColor(solid(Color(1, 1, 0, 1), SZGradient::LinearFill));
    source.setBorderSize(4);
    source.setStrokeSize(2);
    source.setShadowColor(Color(0.1, 0, 0, 1));
    source.setShadowOffsetSize(5);
    source.setInnerShadowColor(Color(0, 0.2, 0, 1));
    source.setInnerShadowAngle(60);
    source.setBoxShadowColor(Color(0, 0, 0.3, 1));
    source.setBoxShadowBlurSize(8);
    source.setLayerOpacity(0.6f);
    source.setRotationAngle(25);
    source.setVertPerspective(0.4f);
    source.setCurves({ Point(0, 0.1), Point(1, 0.2) });
    source.setSelected(true);
    source.setIsEditing(true);
    const UNDODATA record = source.getUndoData();

    MyViewBase target(Rect(0, 0, 5, 5));
    target.imgPersp = picture();
    target.setUndoData(record);
    EXPECT_TRUE(target.getUndoData().isEqualTo(record));
    EXPECT_EQ(target.frame(), source.frame()) << "the frame of the turned view";
    EXPECT_TRUE(target.selected() && target.isEditing());
    EXPECT_TRUE(target.imgPersp.isNull());
    // Each shadow colour from its own field.
    EXPECT_EQ(target.shadowColor(), Color(0.1, 0, 0, 1));
    EXPECT_EQ(target.innerShadowColor(), Color(0, 0.2, 0, 1));
    EXPECT_EQ(target.boxShadowColor(), Color(0, 0, 0.3, 1));
    EXPECT_DOUBLE_EQ(target.alphaValue(), double(0.6f));

    // Fills are values: neither side sees later changes of the other.
    UNDODATA copy = target.getUndoData();
    copy.backColor->color = Color(1, 1, 1, 1);
    EXPECT_EQ(target.backColor().color, Color(0, 1, 0, 1));
    target.setBorderColor(solid(Color(0.5, 0.5, 0.5, 1)));
    EXPECT_EQ(record.borderColor->color, Color(0, 0, 1, 1));
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
    target.imgPersp = picture();
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

    // A text record with a stroke sets it; its overlay of another kind replaces the target's,
    // as a copy.
    text.strokeColor = solid(Color(0, 0, 1, 1));
    text.strokeSize = 3;
    text.overlayColor = solid(Color(0, 0, 1, 1));
    target.setCopyPasteStyle(text);
    EXPECT_EQ(target.strokeSize(), 3);
    EXPECT_EQ(target.strokeColor().color, Color(0, 0, 1, 1));
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
    bad.borderColor = solid(Color(0, 0, 1, 1));
    bad.borderColor->opacity = std::nanf("");
    bad.shadowColor = Color(std::nan(""), 0, 0, 1);
    ImageNest nest;
    nest.box->setUndoData(bad);
    EXPECT_EQ(nest.box->frame(), Rect(0, 10, 0, 0));
    EXPECT_EQ(nest.box->rotationAngle(), 0.0);
    EXPECT_EQ(nest.box->layerOpacity(), 1.0f);
    EXPECT_EQ(nest.box->borderSize(), 0);
    EXPECT_EQ(nest.box->saturation(), 1.0);
    EXPECT_EQ(nest.box->curves(), std::vector { Point(0, 0) });
    EXPECT_EQ(nest.box->borderColor().opacity, 1.0f);
    EXPECT_FALSE(nest.box->shadowColor().has_value());
    EXPECT_EQ(nest.box->backColor().gradientType, SZGradient::NoFill) << "a new box's fill";
    EXPECT_TRUE(nest.box->orgImage().isNull());
    EXPECT_FALSE(nest.render().isNull()) << "and it draws";

    // A picture cannot be made up, so only a repaired record that has one passes.
    UNDODATA repaired = bad;
    EXPECT_FALSE(repaired.validate());
    repaired.orgImage = picture();
    EXPECT_TRUE(repaired.validate());
}

TEST(ImageBoxRecord, RestoreAndStylePaste)
{
    ImageNest source;
    const platform::Image shared = picture();
    source.box->setOrgImage(shared, 64, 32);
    source.box->setSaturation(0.25);
    source.box->setShadowColor(Color(0, 0, 0, 1));
    source.box->setShadowOffsetSize(10);
    source.box->setShadowAngle(90);
    source.box->setShadowBlurSize(4);
    const UNDODATA record = source.box->getUndoData();
    EXPECT_EQ(record.type, UNDODATA::ImageBox);
    EXPECT_EQ(record.orgWidth, 64);
    EXPECT_TRUE(record.isEqualTo(source.box->getUndoData())) << "shared pictures stay equal";

    ImageNest target;
    target.box->setUndoData(record);
    EXPECT_EQ(target.box->orgImage(), shared);
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
    const platform::Image otherPicture = picture(3, 3);
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
    nest.box->setOrgImage(picture(), 80, 40);
    const platform::FilterImage filtered = nest.box->image();
    const platform::Image tinted = nest.box->tintedImage();
    ASSERT_FALSE(tinted.isNull());

    nest.box->setOverlayColor(solid(Color(0, 0, 1, 1)));
    EXPECT_EQ(nest.box->image(), filtered) << "a new tint keeps the filtered picture";
    EXPECT_NE(nest.box->tintedImage(), tinted);

    const platform::Image tinted2 = nest.box->tintedImage();
    nest.box->setSaturation(0.0);
    EXPECT_FALSE(nest.box->image() == filtered);
    EXPECT_NE(nest.box->tintedImage(), tinted2);
}

// A box's kind answers as a dynamic_cast to each kind does.
TEST(BoxKind, AnswersAsADynamicCastDoes)
{
    MyTextView text(Rect(0, 0, 50, 20));
    MyImageView image(Rect(0, 0, 50, 20));
    MyShapeView shape(Rect(0, 0, 50, 20), shape::Ellipse);
    struct Row {
        const char* name;
        MyViewBase* box;
    };
    for (const Row& row : { Row { "text", &text }, Row { "picture", &image },
             Row { "shape", &shape }, Row { "none", nullptr } }) {
        SCOPED_TRACE(row.name);
        const MyViewBase* constant = row.box;
        EXPECT_EQ(boxAs<MyTextView>(row.box), dynamic_cast<MyTextView*>(row.box));
        EXPECT_EQ(boxAs<MyImageView>(row.box), dynamic_cast<MyImageView*>(row.box));
        EXPECT_EQ(boxAs<MyShapeView>(row.box), dynamic_cast<MyShapeView*>(row.box));
        EXPECT_EQ(boxAs<MyTextView>(constant), dynamic_cast<const MyTextView*>(constant));
        EXPECT_EQ(boxAs<MyShapeView>(constant), dynamic_cast<const MyShapeView*>(constant));
    }
}
