// Basic drawing semantics: y-up coordinates, upright pictures, the state stack, clipping and
// the blend modes that must act only where a shape covers.
#include "platform/graphics/GraphicsContext.h"
#include "support/NamedCase.h"
#include "support/PixelProbe.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::blankImage;
using testsupport::Rgba;

namespace {

const Rgba kRed { 255, 0, 0, 255 };
const Rgba kGreen { 0, 255, 0, 255 };
const Rgba kBlue { 0, 0, 255, 255 };
const Rgba kNone { 0, 0, 0, 0 };

// A picture whose top half is red and bottom half blue (in its own top-down rows).
Image redOverBlue(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, y < h / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return Image::fromQImage(img);
}

} // namespace

TEST(GraphicsContext, YUpAndUprightPictures)
{
    QImage target = blankImage(40, 40);
    {
        GraphicsContext ctx(target);
        ctx.setFillColor(Color(0, 1, 0));
        ctx.fillRect(Rect(0, 0, 10, 10)); // bottom-left in y-up
        ctx.drawImage(redOverBlue(10, 10), Rect(20, 20, 20, 20));
        // Under a flipping transform the picture turns with the user space, like any shape.
        ctx.translateCTM(0, 20);
        ctx.scaleCTM(1, -1);
        ctx.drawImage(redOverBlue(10, 10), Rect(20, 0, 10, 20));
    }
    EXPECT_PIXEL_NEAR(target, 2, 2, kGreen, 0);
    EXPECT_PIXEL_NEAR(target, 2, 37, kNone, 0);
    EXPECT_PIXEL_NEAR(target, 30, 37, kRed, 0); // top of the picture at the top
    EXPECT_PIXEL_NEAR(target, 30, 22, kBlue, 0);
    EXPECT_PIXEL_NEAR(target, 25, 2, kRed, 0); // flipped user space: picture upside down
    EXPECT_PIXEL_NEAR(target, 25, 17, kBlue, 0);
}

TEST(GraphicsContext, DrawImageSourceRectIsYUpAndFractionScalesAlpha)
{
    QImage target = blankImage(20, 20);
    {
        GraphicsContext ctx(target);
        // The picture's upper half (y-up source rect) stretched over the whole target.
        ctx.drawImage(redOverBlue(10, 10), Rect(0, 0, 20, 20), Rect(0, 5, 10, 5));
    }
    EXPECT_PIXEL_NEAR(target, 10, 2, kRed, 0);
    EXPECT_PIXEL_NEAR(target, 10, 18, kRed, 0);

    QImage half = blankImage(20, 20);
    {
        GraphicsContext ctx(half);
        ctx.drawImage(redOverBlue(10, 10), Rect(0, 0, 20, 20), Rect::null(),
            CompositingOperation::SourceOver, 0.5);
    }
    EXPECT_PIXEL_NEAR(half, 10, 15, (Rgba { 255, 0, 0, 128 }), 2);
}

TEST(GraphicsContext, StateStackRestoresEverySetting)
{
    QImage target = blankImage(30, 10);
    {
        GraphicsContext ctx(target);
        ctx.setFillColor(Color(1, 0, 0));
        ctx.saveGState();
        ctx.translateCTM(10, 0);
        ctx.clipToRect(Rect(0, 0, 5, 10));
        ctx.setAlpha(0.5);
        ctx.setBlendMode(BlendMode::Copy);
        ctx.setShadow(Shadow { Size(3, 0), 0, Color(0, 0, 1, 1) });
        ctx.setFillColor(Color(0, 1, 0));
        ctx.setStrokeStyle(StrokeStyle { 4, LineCap::Round, LineJoin::Round, 3 });
        ctx.restoreGState();
        EXPECT_EQ(ctx.ctm(), AffineTransform());
        EXPECT_TRUE(ctx.clipBoundingBox().isInfinite());
        EXPECT_EQ(ctx.alpha(), 1.0);
        EXPECT_EQ(ctx.blendMode(), BlendMode::Normal);
        EXPECT_FALSE(ctx.shadow().has_value());
        EXPECT_EQ(ctx.fillColor(), Color(1, 0, 0));
        EXPECT_EQ(ctx.strokeStyle().width, 1.0);
        ctx.fillRect(Rect(0, 0, 30, 10));
    }
    EXPECT_PIXEL_NEAR(target, 1, 5, kRed, 0);
    EXPECT_PIXEL_NEAR(target, 28, 5, kRed, 0);
}

TEST(GraphicsContext, ClipsIntersectWithNonZeroWinding)
{
    QImage target = blankImage(40, 40);
    {
        GraphicsContext ctx(target);
        // Two overlapping squares wound the same way: non-zero keeps the overlap inside.
        BezierPath twice = BezierPath::rect(Rect(0, 0, 30, 30));
        twice.appendRect(Rect(10, 10, 30, 30));
        ctx.clipToPath(twice);
        ctx.clipToRect(Rect(0, 0, 40, 20)); // intersected: only the lower part stays
        EXPECT_EQ(ctx.clipBoundingBox(), Rect(0, 0, 40, 20));
        ctx.setFillColor(Color(0, 0, 1));
        ctx.fillRect(Rect(0, 0, 40, 40));
    }
    EXPECT_PIXEL_NEAR(target, 15, 15, kBlue, 0); // overlap of both squares
    EXPECT_PIXEL_NEAR(target, 5, 5, kBlue, 0);
    EXPECT_PIXEL_NEAR(target, 35, 15, kBlue, 0);
    EXPECT_PIXEL_NEAR(target, 35, 5, kNone, 0); // outside both squares
    EXPECT_PIXEL_NEAR(target, 15, 25, kNone, 0); // above the second clip
}

TEST(GraphicsContext, TransformsScaleRotateAndConcatenate)
{
    QImage target = blankImage(40, 40);
    {
        GraphicsContext ctx(target);
        ctx.translateCTM(20, 20);
        ctx.rotateCTM(M_PI / 2); // counter-clockwise: +x becomes +y
        ctx.scaleCTM(2, 1);
        ctx.setFillColor(Color(1, 0, 0));
        ctx.fillRect(Rect(0, 0, 5, 4)); // becomes x in [16, 20], y in [20, 30]
    }
    EXPECT_PIXEL_NEAR(target, 18, 28, kRed, 0);
    EXPECT_PIXEL_NEAR(target, 22, 28, kNone, 0);
    EXPECT_PIXEL_NEAR(target, 18, 32, kNone, 0);
}

// Every mode acts only where the shape covers; inside it the result follows the mode.
struct ModeCase {
    const char* name;
    BlendMode mode;
    double alpha;
    Rgba inside; // over the opaque red background
    Rgba insideHole; // over the transparent hole
};

class BlendModes : public ::testing::TestWithParam<ModeCase> { };

TEST_P(BlendModes, ActOnlyWhereTheShapeCovers)
{
    const ModeCase& c = GetParam();
    for (const bool shadowed : { false, true }) {
        SCOPED_TRACE(shadowed ? "through the shadow path" : "direct");
        QImage target = blankImage(40, 40);
        {
            GraphicsContext ctx(target);
            ctx.setFillColor(Color(1, 0, 0));
            ctx.fillRect(Rect(0, 0, 40, 40));
            ctx.clearRect(Rect(20, 0, 20, 40)); // right half transparent
            ctx.setBlendMode(c.mode);
            ctx.setAlpha(c.alpha);
            if (shadowed) // a shadow far away, so it routes through buffers without showing
                ctx.setShadow(Shadow { Size(500, 0), 0, Color(0, 0, 0, 1) });
            ctx.setFillColor(Color(0, 0, 1));
            ctx.fillRect(Rect(10, 10, 20, 20));
        }
        EXPECT_PIXEL_NEAR(target, 5, 5, kRed, 0); // untouched outside
        EXPECT_PIXEL_NEAR(target, 35, 35, kNone, 0);
        EXPECT_PIXEL_NEAR(target, 15, 15, c.inside, 2);
        EXPECT_PIXEL_NEAR(target, 25, 15, c.insideHole, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(GraphicsContext, BlendModes,
    ::testing::Values(ModeCase { "normal", BlendMode::Normal, 1.0, kBlue, kBlue },
        ModeCase {
            "normal_half", BlendMode::Normal, 0.5, { 127, 0, 128, 255 }, { 0, 0, 255, 128 } },
        ModeCase { "clear", BlendMode::Clear, 1.0, kNone, kNone },
        ModeCase { "copy", BlendMode::Copy, 1.0, kBlue, kBlue },
        ModeCase { "copy_half", BlendMode::Copy, 0.5, { 0, 0, 255, 128 }, { 0, 0, 255, 128 } },
        ModeCase { "source_out", BlendMode::SourceOut, 1.0, kNone, kBlue },
        ModeCase { "source_atop", BlendMode::SourceAtop, 1.0, kBlue, kNone },
        ModeCase { "source_in", BlendMode::SourceIn, 1.0, kBlue, kNone }),
    testsupport::RowName());

struct OperationCase {
    const char* name;
    CompositingOperation op;
    double fraction;
    Rgba inside;
    Rgba insideHole;
};

class PictureOperations : public ::testing::TestWithParam<OperationCase> { };

TEST_P(PictureOperations, ActOnlyInsideTheDestination)
{
    const OperationCase& c = GetParam();
    QImage pic(4, 4, QImage::Format_ARGB32_Premultiplied);
    pic.fill(qRgb(0, 0, 255));
    QImage target = blankImage(40, 40);
    {
        GraphicsContext ctx(target);
        ctx.setFillColor(Color(1, 0, 0));
        ctx.fillRect(Rect(0, 0, 20, 40)); // left half red, right half transparent
        ctx.drawImage(Image::fromQImage(pic), Rect(10, 10, 20, 20), Rect::null(), c.op, c.fraction);
    }
    EXPECT_PIXEL_NEAR(target, 5, 5, kRed, 0);
    EXPECT_PIXEL_NEAR(target, 35, 35, kNone, 0);
    EXPECT_PIXEL_NEAR(target, 15, 15, c.inside, 2);
    EXPECT_PIXEL_NEAR(target, 25, 15, c.insideHole, 2);
}

INSTANTIATE_TEST_SUITE_P(GraphicsContext, PictureOperations,
    ::testing::Values(
        OperationCase { "source_over", CompositingOperation::SourceOver, 1.0, kBlue, kBlue },
        OperationCase { "source_over_half", CompositingOperation::SourceOver, 0.5,
            { 127, 0, 128, 255 }, { 0, 0, 255, 128 } },
        OperationCase { "copy", CompositingOperation::Copy, 1.0, kBlue, kBlue },
        OperationCase {
            "copy_half", CompositingOperation::Copy, 0.5, { 0, 0, 255, 128 }, { 0, 0, 255, 128 } },
        OperationCase { "source_atop", CompositingOperation::SourceAtop, 1.0, kBlue, kNone },
        OperationCase { "source_atop_half", CompositingOperation::SourceAtop, 0.5,
            { 127, 0, 128, 255 }, kNone }),
    testsupport::RowName());

TEST(GraphicsContext, PatternTilesUprightFromThePhase)
{
    QImage target = blankImage(40, 40);
    {
        GraphicsContext ctx(target);
        ctx.fillPathWithPattern(
            BezierPath::rect(Rect(0, 0, 40, 40)), redOverBlue(10, 10), Point(3, 3));
    }
    // One tile spans y 3..13: blue in its lower half, red in its upper half.
    EXPECT_PIXEL_NEAR(target, 5, 5, kBlue, 0);
    EXPECT_PIXEL_NEAR(target, 5, 11, kRed, 0);
    EXPECT_PIXEL_NEAR(target, 5, 15, kBlue, 0); // the next tile up
    EXPECT_PIXEL_NEAR(target, 5, 1, kRed, 0); // the tile below, its top half
}

TEST(GraphicsContext, StrokeUsesWidthAndCaps)
{
    QImage target = blankImage(40, 40);
    {
        GraphicsContext ctx(target);
        ctx.setStrokeColor(Color(0, 0, 1));
        ctx.setStrokeStyle(StrokeStyle { 6, LineCap::Square, LineJoin::Miter, 10 });
        BezierPath line;
        line.moveTo({ 10, 20 });
        line.lineTo({ 30, 20 });
        ctx.strokePath(line);
    }
    EXPECT_PIXEL_NEAR(target, 20, 22, kBlue, 0);
    EXPECT_PIXEL_NEAR(target, 20, 24, kNone, 0);
    EXPECT_PIXEL_NEAR(target, 8, 20, kBlue, 0); // square cap reaches 3 past the end
    EXPECT_PIXEL_NEAR(target, 6, 20, kNone, 0);
}

TEST(GraphicsContext, PainterContextFlipsAndRestoresThePainter)
{
    QImage target = blankImage(20, 20);
    QPainter painter(&target);
    painter.translate(5, 0); // the caller's own mapping stays under the flip
    {
        GraphicsContext ctx(painter, 15, 20);
        ctx.setFillColor(Color(1, 0, 0));
        ctx.fillRect(Rect(0, 0, 5, 5));
        ctx.setShadow(Shadow { Size(5, 0), 0, Color(0, 0, 1, 1) });
        ctx.fillRect(Rect(0, 10, 5, 5));
    }
    EXPECT_EQ(painter.transform(), QTransform::fromTranslate(5, 0));
    painter.end();
    EXPECT_PIXEL_NEAR(target, 7, 2, kRed, 0);
    EXPECT_PIXEL_NEAR(target, 2, 2, kNone, 0);
    EXPECT_PIXEL_NEAR(target, 7, 12, kRed, 0);
    EXPECT_PIXEL_NEAR(target, 12, 12, kBlue, 0);
}

TEST(GraphicsContext, ReducedPicturesAverageInsteadOfAliasing)
{
    // Fine stripes (one white pixel in three) drawn at a sixth of their size: every pixel is
    // the average, a third of white.
    QImage stripes(192, 192, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 192; ++x)
            stripes.setPixel(x, y, x % 3 == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    QImage target = blankImage(32, 32);
    {
        GraphicsContext ctx(target);
        ctx.drawImage(Image::fromQImage(stripes), Rect(0, 0, 32, 32));
    }
    for (const int x : { 3, 10, 17, 28 })
        EXPECT_PIXEL_NEAR(target, x, 16, (Rgba { 85, 85, 85, 255 }), 4);
}

TEST(GraphicsContext, EachClipAppliesAfterRestore)
{
    // Clips made one after another, each dropped by a restore before the next is made.
    QImage target = blankImage(40, 10);
    {
        GraphicsContext ctx(target);
        ctx.setFillColor(Color(0, 0, 1));
        for (int i = 0; i < 4; ++i) {
            ctx.saveGState();
            ctx.clipToRect(Rect(i * 10, 0, 5, 10));
            ctx.fillRect(Rect(0, 0, 40, 10));
            ctx.restoreGState();
        }
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_PIXEL_NEAR(target, i * 10 + 2, 5, kBlue, 0);
        EXPECT_PIXEL_NEAR(target, i * 10 + 7, 5, kNone, 0);
    }
}
