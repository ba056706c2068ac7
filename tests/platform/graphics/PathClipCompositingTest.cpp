// Drawing through antialiased path clips without the painter's clip (our own coverage planes)
// must give what the painter's clip gives (within the painter's coarser flattening of curves), and the blur must give the same values whether a
// plane is blurred on one thread or many, read in place from 32-bit pixels or not.
#include "platform/graphics/AlphaBlur.h"
#include "platform/graphics/GraphicsContext.h"
#include "support/PixelProbe.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// A ring of curves: its stroke outline overlaps itself, as a glyph's does.
BezierPath ring()
{
    BezierPath p;
    p.appendPath(BezierPath::oval(Rect(12.3, 8.6, 70.2, 41.7)));
    p.appendPath(BezierPath::oval(Rect(30.1, 17.2, 25.5, 20.9)));
    return p;
}

// Sets the painter's own clips as a context's would be: an optional rectangle, then a path,
// both in y-up user space over a picture h pixels high. Returns the path in device space.
QPainterPath clipLikeTheContext(
    QPainter& p, const std::optional<Rect>& outerClip, const BezierPath& path, int h)
{
    const QTransform flip(1, 0, 0, -1, 0, h);
    p.setRenderHint(QPainter::Antialiasing);
    if (outerClip) {
        QPainterPath rect;
        rect.addRect(outerClip->toQt());
        p.setClipPath(flip.map(rect));
    }
    const QPainterPath device = flip.map(path.toQPainterPath());
    p.setClipPath(device, outerClip ? Qt::IntersectClip : Qt::ReplaceClip);
    return device;
}

} // namespace

TEST(PathClipCompositing, SelfClippedFillMatchesThePaintersClip)
{
    struct Row {
        const char* name;
        std::optional<Rect> outerClip; // user space, y-up, before the outline clip
        bool shareTarget; // a copy of the target is alive while drawing
    };
    const Row rows[] = {
        { "outline only", std::nullopt, false },
        { "inside a fractional rectangle", Rect(20.5, 10.25, 50.3, 30.6), false },
        { "inside an integral rectangle", Rect(20, 10, 50, 30), false },
        { "target shared with a copy", std::nullopt, true },
    };
    const int w = 100, h = 60;
    StrokeStyle style;
    style.width = 5;
    const BezierPath outline = ring().strokedPath(style);
    const QColor background(30, 120, 200, 200);
    const Color ink(0.9, 0.8, 0.1, 0.6);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QImage got(w, h, QImage::Format_ARGB32_Premultiplied);
        got.fill(background);
        QImage copy;
        {
            GraphicsContext ctx(got);
            if (r.shareTarget)
                copy = *ctx.targetImage();
            if (r.outerClip)
                ctx.clipToRect(*r.outerClip);
            ctx.clipToPath(outline);
            ctx.setFillColor(ink);
            ctx.fillPath(outline);
        }
        // The reference: the painter's own clips, in device space (y flipped).
        QImage expected(w, h, QImage::Format_ARGB32_Premultiplied);
        expected.fill(background);
        {
            QPainter p(&expected);
            const QPainterPath device = clipLikeTheContext(p, r.outerClip, outline, h);
            p.fillPath(device, ink.toQt());
        }
        EXPECT_LE(testsupport::worstDifference(got, expected),
            testsupport::kPainterFlatteningDifference);
        EXPECT_LT(testsupport::meanDifference(got, expected), 0.5);
    }
}

TEST(PathClipCompositing, ShadowedLayerThroughAPathClipMatchesTheSameWithoutLayer)
{
    // A layer holding one opaque fill composites exactly as the fill itself would, shadow and
    // clip included: the layer's composite takes our coverage route, the plain fill Qt's.
    const int w = 120, h = 80;
    auto draw = [&](bool inLayer) {
        QImage target = testsupport::blankImage(w, h);
        GraphicsContext ctx(target);
        ctx.clipToPath(BezierPath::oval(Rect(5.5, 4.5, 100.3, 70.1)));
        ctx.setShadow(Shadow { Size(6, -4), 6, Color(0, 0, 0.5, 0.8) });
        if (inLayer)
            ctx.beginTransparencyLayer();
        ctx.setFillColor(Color(0.8, 0.1, 0.1));
        ctx.fillRect(Rect(20, 20, 60, 35));
        if (inLayer)
            ctx.endTransparencyLayer();
        return target;
    };
    EXPECT_LE(testsupport::worstDifference(draw(true), draw(false)), 2);
}

TEST(PathClipCompositing, ShadowThroughRectangleClipsMatchesThePaintersClip)
{
    // A shadowed fill drawn through our own coverage of the clip must land where the painter's
    // clip would let it: the painter rounds rectangles with edges between pixels by rules of
    // its own (depending on the order of their corners and on which edges are whole), and a
    // text box's bounds are such a rectangle.
    struct Row {
        const char* name;
        std::vector<BezierPath> clips; // user space, y-up, in order
        AffineTransform ctm;
    };
    const AffineTransform none;
    const Row rows[] = {
        { "whole-pixel rectangle", { BezierPath::rect(Rect(10, 8, 60, 40)) }, none },
        { "fractional top and bottom only", { BezierPath::rect(Rect(0, 7.5, 100, 40.21875)) },
            none },
        { "fractional left and right only", { BezierPath::rect(Rect(9.25, 8, 60.5, 40)) }, none },
        { "fractional on every side", { BezierPath::rect(Rect(10.3, 8.6, 60.45, 40.7)) }, none },
        { "half-pixel edges", { BezierPath::rect(Rect(10.5, 8.5, 60, 40)) }, none },
        { "thinner than a pixel", { BezierPath::rect(Rect(30.2, 3.4, 0.6, 50.3)) }, none },
        { "small and fractional, far from every edge of the picture",
            { BezierPath::rect(Rect(30.3, 20.6, 20.45, 10.7)) }, none },
        { "two rectangles whose common part is small",
            { BezierPath::rect(Rect(10.25, 10.75, 40.5, 30)),
                BezierPath::rect(Rect(45.5, 35.125, 30, 20)) },
            none },
        { "two rectangles with nothing in common",
            { BezierPath::rect(Rect(10.25, 10.75, 20, 20)),
                BezierPath::rect(Rect(60.5, 35.125, 30, 20)) },
            none },
        { "past the left and right of the picture",
            { BezierPath::rect(Rect(-10.3, 5.6, 200.1, 30.2)) }, none },
        { "past every side of the picture", { BezierPath::rect(Rect(-10.3, -5.6, 200.1, 80.2)) },
            none },
        { "past the top, fractional sides", { BezierPath::rect(Rect(20.5, 20.25, 40.5, 80)) },
            none },
        { "two nested rectangles",
            { BezierPath::rect(Rect(5.25, 4.75, 80, 50)),
                BezierPath::rect(Rect(12.5, 0, 50.5, 45.125)) },
            none },
        { "scaled and shifted context", { BezierPath::rect(Rect(6.2, 5.1, 40, 30)) },
            AffineTransform::makeTranslation(0.3, 0.7).scaled(1.5, 1.5) },
        { "an oval inside a fractional rectangle",
            { BezierPath::rect(Rect(10.3, 8.6, 60.45, 40.7)),
                BezierPath::oval(Rect(12, 6, 70, 45)) },
            none },
        { "a fractional rectangle inside an oval",
            { BezierPath::oval(Rect(12, 6, 70, 45)),
                BezierPath::rect(Rect(10.3, 8.6, 60.45, 40.7)) },
            none },
    };
    const int w = 100, h = 60;
    const QColor background(30, 120, 200, 200);
    const Shadow shadow { Size(5, -3), 4, Color(0.1, 0, 0.4, 0.7) };
    const BezierPath oval = BezierPath::oval(Rect(15.4, 12.2, 55.3, 33.1));
    // The shape with its shadow, or one of the two alone (the shadow cast from a copy of the
    // shape moved off the picture).
    enum class Part { Both, Shadow, Shape };
    auto draw = [&](GraphicsContext& ctx, Part part) {
        constexpr double kAway = 300;
        Shadow s = shadow;
        if (part == Part::Shadow)
            s.offset.width -= kAway;
        if (part != Part::Shape)
            ctx.setShadow(s);
        ctx.setFillColor(Color(0.9, 0.8, 0.1, 0.8));
        BezierPath path = oval;
        if (part == Part::Shadow)
            path.transform(AffineTransform::makeTranslation(kAway / ctx.ctm().a, 0));
        ctx.fillPath(path);
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QImage got(w, h, QImage::Format_ARGB32_Premultiplied);
        got.fill(background);
        {
            GraphicsContext ctx(got);
            ctx.concatCTM(r.ctm);
            for (const BezierPath& c : r.clips)
                ctx.clipToPath(c);
            draw(ctx, Part::Both);
        }
        // The reference: the shadow, then the shape, each drawn unclipped and put down through
        // the painter's clips.
        QImage expected(w, h, QImage::Format_ARGB32_Premultiplied);
        expected.fill(background);
        {
            const QTransform toDevice = r.ctm.toQt() * QTransform(1, 0, 0, -1, 0, h);
            QPainter p(&expected);
            p.setRenderHint(QPainter::Antialiasing);
            bool first = true;
            for (const BezierPath& c : r.clips) {
                p.setClipPath(
                    toDevice.map(c.toQPainterPath()), first ? Qt::ReplaceClip : Qt::IntersectClip);
                first = false;
            }
            for (const Part part : { Part::Shadow, Part::Shape }) {
                QImage unclipped = testsupport::blankImage(w, h);
                {
                    GraphicsContext ctx(unclipped);
                    ctx.concatCTM(r.ctm);
                    draw(ctx, part);
                }
                p.drawImage(0, 0, unclipped);
            }
        }
        EXPECT_LE(testsupport::worstDifference(got, expected), 2);
    }
}

TEST(AlphaBlur, SameValuesOnAnyThreadAndFromAnyPixelStep)
{
    struct Row {
        const char* name;
        int width, height;
        double sigma;
        int pixelStep;
    };
    const Row rows[] = {
        { "one word, calling thread", 300, 90, 3, 1 },
        { "a picture, spread over the pool", 900, 700, 3, 1 },
        { "alpha bytes of 32-bit pixels", 210, 70, 8, 4 },
        { "width not a multiple of eight", 37, 23, 1.5, 1 },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const int stride = r.width * r.pixelStep + 8;
        std::vector<std::uint8_t> plane(size_t(stride) * size_t(r.height), 0);
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                plane[size_t(y * stride + x * r.pixelStep)]
                    = std::uint8_t(((x / 7 + y / 5) % 3) * 120 + (x * y) % 15);
        const AlphaBlur blur(r.sigma);
        const int reach = blur.reach();
        const std::vector<std::uint8_t> out
            = blur.apply(plane.data(), r.width, r.height, stride, r.pixelStep);
        const int ow = r.width + 2 * reach, oh = r.height + 2 * reach;
        ASSERT_EQ(out.size(), size_t(ow) * size_t(oh));
        // Reference: the normalised kernel applied in double precision, rows then columns.
        std::vector<double> k(size_t(2 * reach + 1));
        double sum = 0;
        for (int i = -reach; i <= reach; ++i)
            sum += k[size_t(i + reach)] = std::exp(-double(i) * i / (2 * r.sigma * r.sigma));
        auto at = [&](int x, int y) {
            return (x < 0 || y < 0 || x >= r.width || y >= r.height)
                ? 0.0
                : double(plane[size_t(y * stride + x * r.pixelStep)]);
        };
        std::vector<double> across(size_t(ow) * size_t(r.height));
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < ow; ++x) {
                double v = 0;
                for (int i = 0; i <= 2 * reach; ++i)
                    v += k[size_t(i)] / sum * at(x - 2 * reach + i, y);
                across[size_t(y) * size_t(ow) + size_t(x)] = v;
            }
        int worst = 0;
        for (int y = 0; y < oh; ++y)
            for (int x = 0; x < ow; ++x) {
                double v = 0;
                for (int i = 0; i <= 2 * reach; ++i) {
                    const int sy = y - 2 * reach + i;
                    if (sy >= 0 && sy < r.height)
                        v += k[size_t(i)] / sum * across[size_t(sy) * size_t(ow) + size_t(x)];
                }
                worst = std::max(worst,
                    std::abs(int(out[size_t(y) * size_t(ow) + size_t(x)]) - int(std::lround(v))));
            }
        EXPECT_LE(worst, 1);
    }
}

TEST(PathClipCompositing, BrushFillsThroughPathClipsMatchThePaintersClip)
{
    // A gradient through a clip of shapes goes through our coverage of the clip. The clip
    // holds a disc inside a bracket of three bars, apart from them, and small dots further
    // off: the parts are rendered apart, and the bracket's rectangle, which holds the disc's,
    // must not wipe the disc out.
    BezierPath clip;
    clip.appendPath(BezierPath::oval(Rect(38.2, 22.1, 12.5, 12.3))); // the disc, first
    clip.appendPath(BezierPath::rect(Rect(20.4, 6.3, 49.8, 6.3)));
    clip.appendPath(BezierPath::rect(Rect(20.4, 6.3, 7.9, 45.8)));
    clip.appendPath(BezierPath::rect(Rect(20.4, 45.7, 49.8, 6.4)));
    for (int i = 0; i < 4; ++i)
        clip.appendPath(BezierPath::oval(Rect(78.3 + 5 * i, 10.5 + 9 * i, 4.2, 4.4)));
    struct Row {
        const char* name;
        std::optional<Rect> outerClip;
        bool inLayer;
    };
    const Row rows[] = {
        { "clip of shapes alone", std::nullopt, false },
        { "inside a fractional rectangle", Rect(15.5, 3.25, 80.3, 50.6), false },
        { "in a transparency layer", std::nullopt, true },
    };
    const int w = 110, h = 60;
    const QColor background(30, 120, 200, 200);
    const Gradient ramp(Color(0.9, 0.1, 0.1, 0.8), Color(0.1, 0.2, 0.9, 0.6));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QImage got(w, h, QImage::Format_ARGB32_Premultiplied);
        got.fill(background);
        {
            GraphicsContext ctx(got);
            if (r.inLayer)
                ctx.beginTransparencyLayer();
            if (r.outerClip)
                ctx.clipToRect(*r.outerClip);
            ctx.clipToPath(clip);
            ctx.drawLinearGradientInPath(ramp, BezierPath::rect(Rect(0, 0, w, h)), 30);
            if (r.inLayer)
                ctx.endTransparencyLayer();
        }
        QImage expected(w, h, QImage::Format_ARGB32_Premultiplied);
        expected.fill(background);
        {
            QImage unclipped = testsupport::blankImage(w, h);
            {
                GraphicsContext ctx(unclipped);
                ctx.drawLinearGradientInPath(ramp, BezierPath::rect(Rect(0, 0, w, h)), 30);
            }
            QPainter p(&expected);
            clipLikeTheContext(p, r.outerClip, clip, h);
            p.drawImage(0, 0, unclipped);
        }
        EXPECT_LE(testsupport::worstDifference(got, expected),
            testsupport::kPainterFlatteningDifference);
        EXPECT_LT(testsupport::meanDifference(got, expected), 0.5);
    }
}
