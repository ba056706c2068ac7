// Fills through pre-rasterised coverage: fillMask and drawThroughMask give the pixels of
// filling the shape the mask was made from, whatever the alpha, clip, shadow, blend mode and
// surface.
#include "platform/graphics/CoverageRasterizer.h"
#include "platform/graphics/GraphicsContext.h"
#include "support/PixelProbe.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

// The coverage of a user-space path as the context would place it, over the device.
CoverageMask maskOf(const GraphicsContext& ctx, const BezierPath& path, const QSize& device)
{
    const QPainterPath onDevice = ctx.deviceTransform().toQt().map(path.toQPainterPath());
    const QRect area(QPoint(0, 0), device);
    CoverageMask mask { area.topLeft(), QImage(device, QImage::Format_Alpha8) };
    CoverageRasterizer(onDevice, area).write(area, mask.plane.bits(), mask.plane.bytesPerLine());
    return mask;
}

// A picture over a green background drawn by draw on an image context, or on a context over
// a caller's painter.
template <typename Draw> QImage drawnOn(bool painterSurface, const QSize& size, Draw&& draw)
{
    QImage image = testsupport::blankImage(size.width(), size.height());
    image.fill(QColor(90, 160, 40, 200));
    QPainter painter;
    std::optional<GraphicsContext> ctx;
    if (painterSurface) {
        painter.begin(&image);
        ctx.emplace(painter, size.width(), size.height());
    } else {
        ctx.emplace(image);
    }
    draw(*ctx);
    ctx.reset();
    if (painterSurface)
        painter.end();
    return image;
}

struct Row {
    const char* name;
    double alpha = 1.0;
    bool clipped = false;
    bool shadowed = false;
    BlendMode mode = BlendMode::Normal;
    bool gradient = false;
};

} // namespace

TEST(CoverageMask, FillsThroughMasksMatchFillingTheShape)
{
    const Row rows[] = {
        { "plain" },
        { "alpha", 0.45 },
        { "clipped to an oval", 1.0, true },
        { "shadowed", 0.8, false, true },
        { "multiply", 1.0, false, false, BlendMode::Multiply },
        { "gradient", 1.0, false, false, BlendMode::Normal, true },
        { "gradient, clipped", 1.0, true, false, BlendMode::Normal, true },
        { "gradient, clipped, alpha", 0.6, true, false, BlendMode::Normal, true },
        { "gradient, shadowed", 1.0, false, true, BlendMode::Normal, true },
    };
    const QSize size(160, 120);
    // Bounds on whole pixels: a gradient through a clip is painted over the clip's bounds,
    // whose edges would otherwise be antialiased twice.
    BezierPath shape = BezierPath::oval(Rect(20, 15, 90.2, 71));
    shape.appendPath(BezierPath::rect(Rect(100.25, 30.5, 39.75, 12.75)));
    const Gradient gradient(Color(1, 0, 0, 0.7), Color(0, 0.2, 1));
    for (const Row& row : rows) {
        for (const bool painterSurface : { false, true }) {
            auto render = [&](bool throughMask) {
                return drawnOn(painterSurface, size, [&](GraphicsContext& c) {
                    GraphicsContext* ctx = &c;
                    ctx->setAlpha(row.alpha);
                    ctx->setBlendMode(row.mode);
                    if (row.clipped)
                        ctx->clipToPath(BezierPath::oval(Rect(40.5, 10.5, 110, 80)));
                    if (row.shadowed)
                        ctx->setShadow({ Size(4, -5), 6.0, Color(0, 0, 0.3, 0.6) });
                    ctx->setFillColor(Color(0.8, 0.3, 0.1, 0.9));
                    auto paint = [&] {
                        if (row.gradient)
                            ctx->drawLinearGradient(gradient, Point(0, 0), Point(160, 120),
                                GradientDrawsBeforeStart | GradientDrawsAfterEnd);
                        else
                            ctx->fillRect(Rect(0, 0, 160, 120));
                    };
                    if (throughMask) {
                        const CoverageMask mask = maskOf(*ctx, shape, size);
                        if (row.gradient)
                            ctx->drawThroughMask(mask, paint);
                        else
                            ctx->fillMask(mask);
                    } else {
                        GStateGuard state(*ctx);
                        if (row.gradient) {
                            ctx->beginTransparencyLayer();
                            ctx->clipToPath(shape);
                            paint();
                            ctx->endTransparencyLayer();
                        } else if (row.shadowed) {
                            // A clip would cut the shadow off: the shape's own fill casts it.
                            ctx->fillPath(shape);
                        } else {
                            ctx->clipToPath(shape);
                            paint();
                        }
                    }
                });
            };
            const QImage a = render(true), b = render(false);
            const char* surface = painterSurface ? "painter" : "image";
            // Our coverage against our own, within a level; where the painter rasterises the
            // shape or the clip (a surface of its own, a shadow's shape) or blends (modes but
            // the normal one), within its rounding.
            const bool painterShapes = painterSurface || (row.shadowed && !row.gradient)
                || row.mode != BlendMode::Normal;
            EXPECT_LE(testsupport::worstDifference(a, b), painterShapes ? 6 : 1)
                << row.name << ", " << surface;
            EXPECT_LT(testsupport::meanDifference(a, b), 0.3) << row.name << ", " << surface;
        }
    }
}

// Overlapping pieces of coverage filled together give the pixels of filling each in turn,
// through a clip and without one: in a translucent colour on an image, in an opaque one on a
// caller's painter (which gets the pieces as one plane, their overlap combined as one colour
// over another).
TEST(CoverageMask, PiecesFillAsOneAfterTheOther)
{
    const QSize size(120, 90);
    QImage probe = testsupport::blankImage(size.width(), size.height());
    GraphicsContext probeContext(probe);
    const CoverageMask a = maskOf(probeContext, BezierPath::oval(Rect(10.3, 10.6, 60, 50)), size);
    const CoverageMask b = maskOf(probeContext, BezierPath::oval(Rect(40.7, 20.2, 60, 55)), size);
    CoveragePieces pieces;
    for (const CoverageMask* m : { &a, &b })
        pieces.add(m->rect(), m->plane.constBits(), nullptr);
    for (const bool clipped : { false, true }) {
        for (const bool painterSurface : { false, true }) {
            auto render = [&](bool together) {
                return drawnOn(painterSurface, size, [&](GraphicsContext& c) {
                    GraphicsContext* ctx = &c;
                    if (clipped)
                        ctx->clipToPath(BezierPath::oval(Rect(30.5, 5.5, 80, 70)));
                    ctx->setFillColor(Color(0.8, 0.3, 0.1, painterSurface ? 1.0 : 0.6));
                    if (together) {
                        ctx->fillMask(pieces);
                    } else {
                        ctx->fillMask(a);
                        ctx->fillMask(b);
                    }
                });
            };
            EXPECT_LE(
                testsupport::worstDifference(render(true), render(false)), painterSurface ? 3 : 1)
                << (clipped ? "clipped" : "unclipped") << ", "
                << (painterSurface ? "painter" : "image");
        }
    }
}
