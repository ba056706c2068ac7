#include "foundation/SZGradient.h"

#include "platform/graphics/GraphicsContext.h"
#include "support/PixelProbe.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace platform;
using testsupport::Rgba;

namespace {

Image solidImage(int w, int h, QColor top, QColor bottom)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixelColor(x, y, y < h / 2 ? top : bottom);
    return Image::fromQImage(img);
}

} // namespace

TEST(SZGradient, EqualityComparesEveryFieldAndPicturePresence)
{
    const Image picture = solidImage(4, 4, Qt::red, Qt::red);
    const Image other = solidImage(4, 4, Qt::red, Qt::red);
    struct Row {
        const char* name;
        std::function<void(SZGradient&)> change;
        bool equal;
    } rows[] = {
        { "untouched", [](SZGradient&) {}, true },
        { "drawType", [](SZGradient& g) { g.drawType = 1; }, false },
        { "angle", [](SZGradient& g) { g.angle = 90.5; }, false },
        { "NaN angle", [](SZGradient& g) { g.angle = NAN; }, false },
        { "kind", [](SZGradient& g) { g.gradientType = 0; }, false },
        { "colour", [](SZGradient& g) { g.color = Color(0, 0, 0, 0.5); }, false },
        { "colour lost", [](SZGradient& g) { g.color.reset(); }, false },
        { "stops", [](SZGradient& g) { g.gradient = Gradient(Color::black(), Color::white()); },
            false },
        { "scale type", [](SZGradient& g) { g.imageScaleType = 2; }, false },
        { "opacity", [](SZGradient& g) { g.opacity = 0.5f; }, false },
        // A fill that gains its first picture has changed (a cached drawing must not survive).
        { "gains a picture", [&](SZGradient& g) { g.image = picture; }, false },
    };
    for (const auto& row : rows) {
        SZGradient a, b;
        row.change(b);
        EXPECT_EQ(a.isEqualTo(b), row.equal) << row.name;
        EXPECT_EQ(b.isEqualTo(a), row.equal) << row.name;
    }

    SZGradient a, b;
    a.image = picture;
    b.image = picture;
    EXPECT_TRUE(a.isEqualTo(b)) << "shared picture";
    SZGradient copy = a;
    EXPECT_TRUE(copy.isEqualTo(a)) << "a copy shares its picture";
    b.image = other;
    EXPECT_FALSE(a.isEqualTo(b)) << "different pictures with the same pixels";

    // Fills are values: changing a copy leaves the original as it was.
    copy.gradient = Gradient(Color(0, 1, 0, 1), Color(0, 0, 1, 1));
    EXPECT_EQ(*a.gradient, Gradient(Color::white(), Color::black()));
}

TEST(SZGradient, OpacityAndAngleCopy)
{
    const SZGradient g;
    const SZGradient c = g.gradientWithOpacity(0.5, 30.0);
    EXPECT_EQ(c.color, Color(0, 0, 0, 0.5));
    ASSERT_TRUE(c.gradient);
    ASSERT_EQ(c.gradient->numberOfColorStops(), 2);
    EXPECT_EQ(c.gradient->stop(0), (GradientStop { Color(1, 1, 1, 0.5), 0.0 }));
    EXPECT_EQ(c.gradient->stop(1), (GradientStop { Color(0, 0, 0, 0.5), 1.0 }));
    EXPECT_EQ(c.angle, 120.0);
    EXPECT_EQ(c.opacity, 0.5f);
    EXPECT_EQ(c.gradientType, 1);
    EXPECT_TRUE(g.isEqualTo(SZGradient())) << "the receiver is unchanged";

    SZGradient faded;
    faded.opacity = 0.3f;
    EXPECT_EQ(faded.gradientWithOpacity(1.0, 0.0).opacity, 1.0f) << "replaced, not multiplied";

    SZGradient turned;
    turned.angle = 350.0;
    EXPECT_EQ(turned.gradientWithOpacity(1.0, 20.0).angle, 370.0) << "no wrapping";

    std::vector<GradientStop> many;
    for (int i = 0; i < 1500; ++i)
        many.push_back({ Color(0, 0, 0, 1), i / 1499.0 });
    SZGradient crowded;
    crowded.gradient = Gradient(many);
    EXPECT_LE(crowded.gradientWithOpacity(1.0, 0.0).gradient->numberOfColorStops(), 1000);
}

TEST(ImagePlacement, Table)
{
    using K = ImagePlacement::Kind;
    struct Row {
        const char* name;
        int mode;
        Size image;
        Rect rect;
        K kind;
        Rect first;
        int columns, rows;
    } rows[] = {
        { "original size", 0, { 100, 50 }, { 0, 0, 300, 200 }, K::Single, { 0, 150, 100, 50 }, 0,
            0 },
        { "stretch", 1, { 100, 50 }, { 5, 6, 300, 200 }, K::Single, { 5, 6, 300, 200 }, 0, 0 },
        { "tile 250x120", 2, { 100, 50 }, { 0, 0, 250, 120 }, K::Tiled, { 0, -30, 100, 50 }, 3, 3 },
        { "scale to fill", 3, { 100, 50 }, { 0, 0, 300, 200 }, K::Single, { -50, 0, 400, 200 }, 0,
            0 },
        { "scale to fit", 4, { 100, 50 }, { 0, 0, 300, 200 }, K::Single, { 0, 25, 300, 150 }, 0,
            0 },
        { "offset 2.5 rounds to 3", 3, { 100, 100 }, { 0, 0, 95, 100 }, K::Single,
            { -3, 0, 100, 100 }, 0, 0 },
        { "offset -2.5 rounds to -3", 4, { 100, 100 }, { 0, 0, 105, 100 }, K::Single,
            { 3, 0, 100, 100 }, 0, 0 },
        { "tile of a sliver draws nothing", 2, { 0.5, 50 }, { 0, 0, 250, 120 }, K::None, {}, 0, 0 },
        { "tile into NaN width", 2, { 10, 10 }, { 0, 0, NAN, 120 }, K::None, {}, 0, 0 },
        { "unknown mode", 7, { 10, 10 }, { 0, 0, 10, 10 }, K::None, {}, 0, 0 },
        { "empty picture", 1, { 0, 0 }, { 0, 0, 10, 10 }, K::None, {}, 0, 0 },
    };
    for (const auto& row : rows) {
        const ImagePlacement p = placeImage(row.mode, row.image, row.rect);
        EXPECT_EQ(p.kind, row.kind) << row.name;
        if (p.kind == K::None)
            continue;
        EXPECT_EQ(p.first, row.first) << row.name;
        EXPECT_EQ(p.columns, row.columns) << row.name;
        EXPECT_EQ(p.rows, row.rows) << row.name;
    }
}

// ---- drawing

namespace {

struct Canvas {
    QImage image = testsupport::blankImage(100, 100);
    GraphicsContext ctx { image };
};

SZGradient linear(double angle)
{
    SZGradient g;
    g.gradientType = SZGradient::LinearFill;
    g.gradient = Gradient(Color(1, 0, 0, 1), Color(0, 0, 1, 1));
    g.angle = angle;
    return g;
}

bool mostlyRed(const Rgba& c)
{
    return c.r > 200 && c.b < 55 && c.a == 255;
}
bool mostlyBlue(const Rgba& c)
{
    return c.b > 200 && c.r < 55 && c.a == 255;
}

} // namespace

TEST(FillDrawing, NoFillLeavesPixelsUnchanged)
{
    Canvas c;
    c.image.fill(QColor(10, 200, 30));
    SZGradient none;
    none.gradientType = SZGradient::NoFill;
    SZGradient::drawGradient(none, BezierPath::rect({ 10, 10, 80, 80 }), c.ctx);
    SZGradient::drawStrokeGradient(
        none, BezierPath::rect({ 10, 10, 80, 80 }), { 10, 10, 80, 80 }, { 10, 10, 80, 80 }, c.ctx);
    EXPECT_PIXEL_NEAR(c.image, 50, 50, (Rgba { 10, 200, 30, 255 }), 0);
    EXPECT_EQ(c.ctx.fillColor(), Color(0, 0, 0, 0)) << "kind 0 leaves the clear colour set";
}

TEST(FillDrawing, LinearDirectionsInYUp)
{
    const BezierPath square = BezierPath::rect({ 0, 0, 100, 100 });
    struct Row {
        const char* name;
        double angle;
        double turn;
        Point redAt, blueAt;
    } rows[] = {
        // Drawn at 360 - angle: angle 0 runs left to right, angle 90 from the top down.
        { "angle 0", 0, 0, { 2, 50 }, { 97, 50 } },
        { "angle 90", 90, 0, { 50, 97 }, { 50, 2 } },
        // A path turned by 90 with the turn added into the angle: the left-to-right fill
        // turns with it and now runs bottom to top.
        { "angle 0 turned 90", 90, 90, { 50, 2 }, { 50, 97 } },
    };
    for (const auto& row : rows) {
        Canvas c;
        SZGradient::drawGradient(linear(row.angle), square, c.ctx, row.turn);
        EXPECT_TRUE(mostlyRed(testsupport::pixelAt(c.image, int(row.redAt.x), int(row.redAt.y))))
            << row.name;
        EXPECT_TRUE(mostlyBlue(testsupport::pixelAt(c.image, int(row.blueAt.x), int(row.blueAt.y))))
            << row.name;
    }
}

TEST(FillDrawing, StrokeGradientGeometry)
{
    // Angle 0 over bounds (10, 20, 80, 60): r = 50, from (100, 50) (first stop) to (0, 50).
    Canvas c;
    SZGradient::drawStrokeGradient(linear(0), BezierPath::rect({ 0, 0, 100, 100 }),
        { 10, 20, 80, 60 }, { 10, 20, 80, 60 }, c.ctx);
    EXPECT_TRUE(mostlyRed(testsupport::pixelAt(c.image, 98, 50)));
    EXPECT_TRUE(mostlyBlue(testsupport::pixelAt(c.image, 1, 50)));
    const Rgba mid = testsupport::pixelAt(c.image, 50, 50);
    EXPECT_NEAR(mid.r, 128, 6);
    EXPECT_NEAR(mid.b, 128, 6);

    // Radial: centred on (50, 50), radius 50, nothing past the circle.
    Canvas r;
    SZGradient radial = linear(0);
    radial.gradientType = SZGradient::RadialFill;
    SZGradient::drawStrokeGradient(radial, BezierPath::rect({ 0, 0, 100, 100 }), { 10, 20, 80, 60 },
        { 10, 20, 80, 60 }, r.ctx);
    EXPECT_TRUE(mostlyRed(testsupport::pixelAt(r.image, 50, 50)));
    EXPECT_EQ(testsupport::pixelAt(r.image, 1, 1).a, 0) << "no extension past radius 50";
    EXPECT_GT(testsupport::pixelAt(r.image, 50, 95).a, 0);
}

TEST(FillDrawing, ImageFillPlacementByPixels)
{
    // Top half red, bottom half blue, 100 x 50, tiled into (0, 0, 250, 120): rows at y = -30,
    // 20 and 70, so each 50-unit band is blue below and red above its middle.
    SZGradient g;
    g.gradientType = SZGradient::ImageFill;
    g.angle = 0;
    g.imageScaleType = SZGradient::Tile;
    g.image = solidImage(100, 50, Qt::red, Qt::blue);
    QImage target = testsupport::blankImage(250, 120);
    GraphicsContext ctx(target);
    SZGradient::drawGradient(g, BezierPath::rect({ 0, 0, 250, 120 }), ctx);
    for (const auto& [y, red] :
        { std::pair { 110, true }, { 80, false }, { 50, true }, { 30, false } })
        for (int x : { 10, 240 }) {
            const Rgba px = testsupport::pixelAt(target, x, y);
            EXPECT_TRUE(red ? mostlyRed(px) : mostlyBlue(px)) << "x " << x << " y " << y;
        }

    // Without a picture: the grey placeholder.
    g.image = Image();
    QImage grey = testsupport::blankImage(20, 20);
    GraphicsContext ctx2(grey);
    SZGradient::drawGradient(g, BezierPath::rect({ 0, 0, 20, 20 }), ctx2);
    EXPECT_PIXEL_NEAR(grey, 10, 10, (Rgba { 128, 128, 128, 255 }), 1);
}

TEST(FillDrawing, ImageFillTurnsWithItsPath)
{
    // A 60 x 20 box turned by 30 degrees about its centre, filled with a stretched picture
    // whose fill angle is 30: the picture lands in the unturned box and turns with it, so a
    // point along the box's turned x axis near its right end is inside the red top half.
    const Rect box(20, 40, 60, 20);
    const double a = 30 * 3.141592 / 180;
    const auto turn = AffineTransform::makeTranslation(-50, -50)
                          .concatenated(AffineTransform::makeRotation(a))
                          .concatenated(AffineTransform::makeTranslation(50, 50));
    SZGradient g;
    g.gradientType = SZGradient::ImageFill;
    g.angle = 30;
    g.image = solidImage(60, 20, Qt::red, Qt::blue);
    Canvas c;
    SZGradient::drawGradient(g, BezierPath::rect(box).transformed(turn), c.ctx);
    const Point top = turn.map({ 70, 55 }); // upper half of the unturned box
    const Point bottom = turn.map({ 70, 45 }); // lower half
    EXPECT_TRUE(mostlyRed(testsupport::pixelAt(c.image, int(top.x), int(top.y))));
    EXPECT_TRUE(mostlyBlue(testsupport::pixelAt(c.image, int(bottom.x), int(bottom.y))));
}
