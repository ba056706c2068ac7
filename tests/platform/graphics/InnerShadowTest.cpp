// The inner shadow primitive must give the pixels of the steps it stands for: clip to the
// path, a shadowed layer at the given alpha, the path filled source-out with an opaque shadow.
#include "platform/graphics/GraphicsContext.h"
#include "support/PixelProbe.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// Letter-like shapes: a ring with its counter, and a bar with a dot well apart from it.
BezierPath ring(double x, double y)
{
    BezierPath p = BezierPath::oval(Rect(x, y, 42.3, 38.1));
    BezierPath hole;
    hole.moveTo(Point(x + 12.2, y + 19));
    hole.curveTo(Point(x + 30.1, y + 19), Point(x + 12.2, y + 31), Point(x + 30.1, y + 31));
    hole.curveTo(Point(x + 12.2, y + 19), Point(x + 30.1, y + 7), Point(x + 12.2, y + 7));
    hole.closePath();
    p.appendPath(hole);
    return p;
}

BezierPath barAndDot(double x, double y)
{
    BezierPath p = BezierPath::rect(Rect(x, y, 9.4, 40.2));
    p.appendPath(BezierPath::oval(Rect(x - 0.3, y + 46.7, 10.1, 10.1)));
    return p;
}

// Many parts far apart, as a line of text is.
BezierPath line()
{
    BezierPath p;
    for (int i = 0; i < 6; ++i)
        p.appendPath(i % 2 ? barAndDot(8 + 24.5 * i, 20.3) : ring(3 + 24.5 * i, 18.6));
    return p;
}

void fillInnerShadowStepByStep(
    GraphicsContext& ctx, const BezierPath& path, const Shadow& shadow, double alpha)
{
    GStateGuard state(ctx);
    ctx.clipToPath(path);
    ctx.setShadow(shadow);
    ctx.setAlpha(alpha);
    ctx.beginTransparencyLayer();
    Shadow inner = shadow;
    inner.color = shadow.color.withAlpha(1.0);
    ctx.setShadow(inner);
    ctx.setBlendMode(BlendMode::SourceOut);
    ctx.setFillColor(inner.color);
    ctx.fillPath(path);
    ctx.endTransparencyLayer();
}

} // namespace

TEST(InnerShadow, MatchesTheStepsItStandsFor)
{
    struct Row {
        const char* name;
        BezierPath path;
        Shadow shadow;
        double alpha;
        AffineTransform ctm;
        std::optional<Rect> clip; // user space, before the call
        bool throughPainter; // a caller's painter rather than our own pixels
    };
    const Color ink(0.1, 0.05, 0.3, 0.75);
    const AffineTransform none;
    const Row rows[] = {
        { "text line, offset down-right", line(), { Size(4, -3), 6, ink }, 0.75, none, {}, false },
        { "one ring, no blur", ring(20, 15), { Size(5, 2), 0, ink }, 0.75, none, {}, false },
        { "one ring, wide blur", ring(20, 15), { Size(-3, 4), 19, ink }, 0.75, none, {}, false },
        { "opaque colour", line(), { Size(2, -6), 5, ink.withAlpha(1.0) }, 1.0, none, {}, false },
        { "alpha apart from the colour's", line(), { Size(3, 3), 4, ink }, 0.3, none, {}, false },
        { "offset wider than the shapes", line(), { Size(60, -40), 4, ink }, 0.75, none, {},
            false },
        { "rotated and scaled", line(), { Size(4, -3), 6, ink }, 0.75,
            AffineTransform::makeTranslation(40, -20).rotated(0.5).scaled(1.3, 1.3), {}, false },
        { "inside a fractional rectangle", line(), { Size(4, -3), 6, ink }, 0.75, none,
            Rect(10.3, 25.6, 100.45, 30.7), false },
        { "cast from past the picture's edge", line(), { Size(9, -3), 6, ink }, 0.75,
            AffineTransform::makeTranslation(-30, 0), Rect(-5.3, 25.6, 100.45, 30.7), false },
        { "through a caller's painter", line(), { Size(4, -3), 6, ink }, 0.75, none,
            Rect(10.3, 25.6, 100.45, 30.7), true },
    };
    const int w = 160, h = 90;
    // A background that is not one colour, so that every compositing step shows.
    auto background = [&] {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, qPremultiply(qRgba(40 + x, 200 - 2 * y, 90, 120 + y)));
        return image;
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto draw = [&](bool primitive) {
            QImage image = background();
            auto paint = [&](GraphicsContext& ctx) {
                ctx.concatCTM(r.ctm);
                if (r.clip)
                    ctx.clipToRect(*r.clip);
                ctx.setFillColor(Color(0.9, 0.6, 0.2));
                ctx.fillPath(r.path);
                if (primitive)
                    ctx.fillInnerShadow(r.path, r.shadow, r.alpha);
                else
                    fillInnerShadowStepByStep(ctx, r.path, r.shadow, r.alpha);
            };
            if (r.throughPainter) {
                QPainter painter(&image);
                GraphicsContext ctx(painter, w, h);
                paint(ctx);
            } else {
                GraphicsContext ctx(image);
                paint(ctx);
            }
            return image;
        };
        const QImage got = draw(true), expected = draw(false);
        // On pixels the outline crosses, the primitive keeps the shadow to the covered part of
        // the pixel, where the steps spread it over the whole pixel and leave part of it there
        // (and in the shadow the layer casts from them): the primitive may only be lighter.
        // Elsewhere the two agree.
        int darker = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const QRgb g = got.pixel(x, y), e = expected.pixel(x, y);
                for (int c : { 16, 8, 0 }) {
                    // Darker towards the shadow's colour, channel by channel.
                    const int ink = int(std::lround(255
                        * (c == 16       ? r.shadow.color.red
                                : c == 8 ? r.shadow.color.green
                                         : r.shadow.color.blue)));
                    const int gc = int((g >> c) & 0xff), ec = int((e >> c) & 0xff);
                    darker = std::max(
                        darker, std::abs(gc - ink) < std::abs(ec - ink) ? std::abs(ec - gc) : 0);
                }
            }
        }
        // Through a caller's painter the steps go through the painter's clips, the primitive
        // through our coverage.
        EXPECT_LE(darker, r.throughPainter ? testsupport::kPainterFlatteningDifference : 2);
        EXPECT_LT(testsupport::meanDifference(got, expected), 0.5);
        // The shadow shows: the shapes differ from their plain fill somewhere.
        QImage plain = background();
        {
            GraphicsContext ctx(plain);
            ctx.concatCTM(r.ctm);
            if (r.clip)
                ctx.clipToRect(*r.clip);
            ctx.setFillColor(Color(0.9, 0.6, 0.2));
            ctx.fillPath(r.path);
        }
        EXPECT_GT(testsupport::worstDifference(got, plain), 40);
    }
}

// Inner shadows keep their working planes and the painter-clip coverage from one call to the
// next: drawn again in another order, after pictures of other sizes whose clips are the same
// rectangles, each must come out with the same bits as the first time.
TEST(InnerShadow, RedrawnInAnotherOrderGivesTheSameBits)
{
    struct Row {
        const char* name;
        int width, height;
        double dx; // moves the shapes, and with them the part cast from past the edge
        Rect clip;
        Shadow shadow;
    };
    const Color ink(0.1, 0.05, 0.3, 0.75);
    const Row rows[] = {
        { "small picture", 160, 90, -30, Rect(-5.3, 25.6, 100.45, 30.7), { Size(9, -3), 6, ink } },
        { "same clip, wider picture", 220, 90, -30, Rect(-5.3, 25.6, 100.45, 30.7),
            { Size(9, -3), 6, ink } },
        { "same clip, taller picture", 160, 130, -30, Rect(-5.3, 25.6, 100.45, 30.7),
            { Size(9, -3), 6, ink } },
        { "other blur and offset", 160, 90, -10, Rect(-5.3, 25.6, 100.45, 30.7),
            { Size(-4, 5), 12, ink.withAlpha(1.0) } },
        { "inside the picture", 200, 100, 20, Rect(10.3, 20.6, 150.45, 60.7),
            { Size(3, 3), 4, ink } },
    };
    auto draw = [](const Row& r) {
        QImage image(r.width, r.height, QImage::Format_ARGB32_Premultiplied);
        image.fill(qRgba(30, 120, 60, 200));
        GraphicsContext ctx(image);
        ctx.translateCTM(r.dx, 0);
        ctx.clipToRect(r.clip);
        ctx.setFillColor(Color(0.9, 0.6, 0.2));
        ctx.fillPath(line());
        ctx.fillInnerShadow(line(), r.shadow, 0.75);
        return image;
    };
    std::vector<QImage> first;
    for (const Row& r : rows)
        first.push_back(draw(r));
    for (size_t i = std::size(rows); i-- > 0;) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(draw(rows[i]), first[i]);
    }
}

// Along an edge the moved shape still covers, the shadow must not show: a partly covered pixel
// there is as light as its neighbours. (A shallow edge crosses pixels at every fraction, so a
// fault that darkens half-covered pixels shows as a dashed dark line.) On coverage planes and
// step by step (another blend mode), with and without the layer casting the shadow again.
TEST(InnerShadow, NoDarkDashesAlongAnEdgeTheShadowLeaves)
{
    struct Row {
        const char* name;
        BlendMode mode;
        bool layerCastsShadow;
    };
    const Row rows[] = {
        { "on coverage", BlendMode::Normal, true },
        { "on coverage, the layer casting nothing", BlendMode::Normal, false },
        { "step by step", BlendMode::Multiply, true },
        { "step by step, the layer casting nothing", BlendMode::Multiply, false },
    };
    const int w = 240, h = 80;
    // A shallow top edge, from y 60.2 at the left to 52.7 at the right (y up).
    BezierPath quad;
    quad.moveTo(Point(10, 60.2));
    quad.lineTo(Point(230, 52.7));
    quad.lineTo(Point(230, 10));
    quad.lineTo(Point(10, 10));
    quad.closePath();
    // Moved up by 10: the moved shape covers the top edge, which gets next to no shadow.
    const Shadow shadow { Size(0, 10), 12, Color(0, 0, 0, 0.75) };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto draw = [&](bool shadowed) {
            QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
            image.fill(qRgba(255, 255, 255, 255));
            GraphicsContext ctx(image);
            ctx.setFillColor(Color(0.9, 0.8, 0.2));
            ctx.fillPath(quad);
            if (shadowed) {
                ctx.setBlendMode(r.mode);
                ctx.fillInnerShadow(quad, shadow, 0.75, r.layerCastsShadow);
            }
            return image;
        };
        const QImage got = draw(true), plain = draw(false);
        // How much the shadow darkens a pixel (the three components together).
        auto darkening = [&](int x, int y) {
            const auto a = testsupport::pixelAt(got, x, y), b = testsupport::pixelAt(plain, x, y);
            return (b.r - a.r) + (b.g - a.g) + (b.b - a.b);
        };
        // The shadow shows along the opposite edge, which the moved shape leaves.
        EXPECT_GT(darkening(120, 12), 60);
        // In each column, the pixel the edge crosses against the whole pixel just inside it.
        int worst = -1000, worstColumn = -1;
        for (int x = 20; x < 220; ++x) {
            const double edge = 60.2 - 7.5 * (x + 0.5 - 10) / 220.0;
            const int row = int(std::floor(edge));
            const int excess = darkening(x, row) - darkening(x, row - 1);
            if (excess > worst) {
                worst = excess;
                worstColumn = x;
            }
        }
        EXPECT_LE(worst, 12) << "the edge pixel of column " << worstColumn << " is darker";
    }
}
