// Glyph drawing of a text box: which characters get ink, fills per character (one gradient
// through all characters for drawType 0, restarting per character for 1, first stop at the
// top at the default angle), solid underlines whatever a font's winding, strokes and inner
// shadows, and empty text. Checked on the outlines and by rendering and probing pixels.
#include "BoxTestSupport.h"
#include "boxes/GlyphDrawing.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/text/TextAttributeNames.h"

#include <gtest/gtest.h>

using namespace boxtest;
using platform::AttributeDictionary;
using platform::AttributedString;
using platform::Color;
using platform::Font;
using platform::Point;
using platform::Rect;
using platform::TextRange;
using testsupport::Rgba;
namespace names = platform::TextAttributeNames;

namespace {

AttributeDictionary attributes(double size, const QString& family = QStringLiteral("Helvetica"))
{
    AttributeDictionary a = MyTextBox::defaultAttributes();
    a[names::font] = *Font::withName(family, size);
    return a;
}

SZGradient redToBlue(double angle, int drawType)
{
    return linear(Color(1, 0, 0), Color(0, 0, 1), angle, drawType);
}

struct Box {
    MyTextView view;
    explicit Box(const AttributedString& text, const Rect& frame = Rect(0, 0, 600, 260))
        : view(frame)
    {
        view.txtBox()->editor().setText(text);
    }
    std::vector<GlyphDrawing::CharacterOutline> outlines() const
    {
        const MyTextBox& t = *view.txtBox();
        return GlyphDrawing::characterOutlines(
            t.editor().layout(), t.containerToViewTransform(), platform::TextLayout::defaultFont());
    }
    QImage render() { return boxtest::render(view); }
};

} // namespace

TEST(TextGlyphDrawing, OnlyPrintableCharactersGetInk)
{
    AttributeDictionary blank = MyTextBox::blankAttributes(attributes(40));
    struct Row {
        const char* name;
        AttributedString text;
        std::vector<int> drawn;
        std::vector<bool> emptyPath;
    } rows[] = {
        { "newline and tab", AttributedString(QStringLiteral("a\tb\nc"), attributes(40)),
            { 0, 2, 4 }, { false, false, false } },
        { "a space has no area but is a character",
            AttributedString(QStringLiteral("a b"), attributes(40)), { 0, 1, 2 },
            { false, true, false } },
        { "empty text", AttributedString(), {}, {} },
    };
    for (const Row& row : rows) {
        Box box(row.text);
        const auto out = box.outlines();
        ASSERT_EQ(out.size(), row.drawn.size()) << row.name;
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].characterIndex, row.drawn[i]) << row.name;
            EXPECT_EQ(out[i].path.bounds().isEmpty(), row.emptyPath[i]) << row.name << " " << i;
        }
    }
    // A blank of vertical text has no ink.
    AttributedString v(QStringLiteral("a b"), attributes(40));
    v.replaceCharacters(TextRange(1, 1), QString(QChar(platform::TextAttachment::character)));
    v.setAttributes(blank, TextRange(1, 1));
    Box vertical(v);
    const auto out = vertical.outlines();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].characterIndex, 2);
}

TEST(TextGlyphDrawing, EmptyTextDrawsNothing)
{
    Box box { AttributedString() };
    box.view.setStrokeSize(5);
    box.view.setInnerShadowOffsetSize(5);
    box.view.setInnerShadowColor(Color(0, 0, 1));
    EXPECT_EQ(testsupport::worstDifference(box.render(), testsupport::blankImage(600, 260)), 0);
}

TEST(TextGlyphDrawing, UnfilledTextIsSolidBlackAndCentredVertically)
{
    Box box(AttributedString(QStringLiteral("I"), attributes(150)));
    const auto out = box.outlines();
    ASSERT_EQ(out.size(), 1u);
    const Rect stem = out[0].path.bounds();
    // The text is centred in the taller box.
    const double used = box.view.txtBox()->editor().layout().usedRect().height();
    EXPECT_NEAR(box.view.txtBox()->textContainerInsetHeight(), float((260 - used) / 2), 1e-6);
    const QImage image = box.render();
    EXPECT_PIXEL_NEAR(image, int(stem.midX()), int(stem.midY()), kBlack, 0);
    EXPECT_PIXEL_NEAR(image, int(stem.minX()) - 6, int(stem.midY()), kClear, 0);
}

TEST(TextGlyphDrawing, GradientRunsThroughForDrawType0AndRestartsForDrawType1)
{
    for (int drawType : { 0, 1 }) {
        AttributeDictionary a = attributes(110);
        a[names::gradient] = SZGradient::attributeValue(redToBlue(0.0, drawType));
        Box box(AttributedString(QStringLiteral("IIIII"), a));
        const auto out = box.outlines();
        ASSERT_EQ(out.size(), 5u);
        const QImage image = box.render();
        std::vector<Rgba> centres;
        for (const auto& o : out)
            centres.push_back(probe(image, o.path.bounds().center()));
        for (size_t i = 1; i < centres.size(); ++i) {
            if (drawType == 0) {
                EXPECT_GT(centres[i].b, centres[i - 1].b + 10) << "drawType 0, character " << i;
                EXPECT_LT(centres[i].r, centres[i - 1].r - 10) << "drawType 0, character " << i;
            } else {
                // Every character's middle is the gradient's middle (within a pixel of a
                // gradient that crosses the character's width).
                EXPECT_NEAR(centres[i].r, 128, 30) << "drawType 1, character " << i;
                EXPECT_NEAR(centres[i].b, 128, 30) << "drawType 1, character " << i;
            }
        }
    }
}

TEST(TextGlyphDrawing, DefaultAngleHasTheFirstStopAtTheTop)
{
    AttributeDictionary a = attributes(200);
    a[names::gradient] = SZGradient::attributeValue(redToBlue(90.0, 1));
    Box box(AttributedString(QStringLiteral("I"), a));
    const Rect stem = box.outlines().at(0).path.bounds();
    const QImage image = box.render();
    const Rgba top = probe(image, Point(stem.midX(), stem.maxY() - 3));
    const Rgba bottom = probe(image, Point(stem.midX(), stem.minY() + 3));
    EXPECT_GT(top.r, 200) << testsupport::describe(top);
    EXPECT_GT(bottom.b, 200) << testsupport::describe(bottom);
}

TEST(TextGlyphDrawing, UnderlineIsSolidWhateverTheFontsWinding)
{
    for (const QString& family : { QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans") }) {
        AttributeDictionary a = attributes(100, family);
        a[names::underlineStyle] = 1;
        Box box(AttributedString(QStringLiteral("gjpqy"), a));
        const auto& glyphs = box.view.txtBox()->editor().layout().glyphs();
        const Font font = *Font::withName(family, 100);
        const double t = font.underlineThickness();
        const double u = font.underlinePosition();
        ASSERT_GT(t, 1.5) << family.toStdString();
        const auto transform = box.view.txtBox()->containerToViewTransform();
        const QImage image = box.render();
        // The bar's middle row, from the first character's left to the last one's right.
        const double baseline = transform.map(glyphs.front().position).y;
        const double y = baseline + u - t;
        const double x0 = transform.map(glyphs.front().position).x + 1;
        const double x1 = transform.map(glyphs.back().position).x + glyphs.back().advance - 1;
        int holes = 0;
        for (double x = x0; x < x1; x += 1.0) {
            if (testsupport::pixelAt(image, int(x), int(std::floor(y))).a < 250)
                ++holes;
        }
        EXPECT_EQ(holes, 0) << family.toStdString();
    }
}

TEST(TextGlyphDrawing, StrokeByPixels)
{
    struct Row {
        const char* name;
        int strokeSize;
        bool ink;
    } rows[] = { { "positive", 8, true }, { "zero", 0, false }, { "negative", -8, false } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Box box(AttributedString(QStringLiteral("I"), attributes(150)));
        box.view.setStrokeSize(row.strokeSize);
        box.view.setStrokeColor(solid(Color(1, 0, 0)));
        const Rect stem = box.outlines().at(0).path.bounds();
        const QImage image = box.render();
        // Half the stroke lies outside the outline, half over the fill's edge.
        EXPECT_PIXEL_NEAR(
            image, int(stem.minX()) - 2, int(stem.midY()), row.ink ? kRed : kClear, 0);
        EXPECT_PIXEL_NEAR(
            image, int(stem.minX()) + 2, int(stem.midY()), row.ink ? kRed : kBlack, 0);
        EXPECT_PIXEL_NEAR(image, int(stem.midX()), int(stem.midY()), kBlack, 0);
    }
}

TEST(TextGlyphDrawing, InnerShadowByPixels)
{
    struct Row {
        const char* name;
        int offset;
        int angle;
        bool colour;
        Rgba nearBottom, nearTop;
    } rows[] = {
        // The outlines shifted by the offset knock the shadow colour out; what stays is the
        // band on the far side, and the layer's own shadow widens it by the offset.
        { "up", 10, 90, true, kBlue, kBlack },
        { "down", 10, 270, true, kBlack, kBlue },
        { "no offset", 0, 90, true, kBlack, kBlack },
        { "no colour", 10, 90, false, kBlack, kBlack },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Box box(AttributedString(QStringLiteral("I"), attributes(200)));
        box.view.setInnerShadowOffsetSize(row.offset);
        box.view.setInnerShadowAngle(row.angle);
        box.view.setInnerShadowBlurSize(0);
        if (row.colour)
            box.view.setInnerShadowColor(Color(0, 0, 1));
        const Rect stem = box.outlines().at(0).path.bounds();
        const QImage image = box.render();
        EXPECT_PIXEL_NEAR(image, int(stem.midX()), int(stem.minY()) + 5, row.nearBottom, 2);
        EXPECT_PIXEL_NEAR(image, int(stem.midX()), int(stem.maxY()) - 5, row.nearTop, 2);
        EXPECT_PIXEL_NEAR(image, int(stem.midX()), int(stem.midY()), kBlack, 2);
        EXPECT_PIXEL_NEAR(image, int(stem.minX()) - 4, int(stem.midY()), kClear, 0);
    }
}

TEST(TextGlyphDrawing, StrokeAndInnerShadowMatchOneOutlineForAllCharacters)
{
    // Characters are stroked and shadowed in groups of neighbours; the pixels must be those
    // of one outline holding every character.
    Box box(AttributedString(QStringLiteral("Ab Cd  Ef gh"), attributes(60)), Rect(0, 0, 500, 120));
    GlyphDrawing::Style style;
    style.strokeSize = 6;
    style.strokeColor = solid(Color(0, 0, 1, 0.6));
    style.innerShadowColor = Color(1, 0, 0, 0.8);
    style.innerShadowOffsetSize = 5;
    style.innerShadowBlurSize = 4;
    style.innerShadowAngle = 300;
    // Fills from outlines on both sides: glyph masks sit on a quarter-pixel grid.
    style.outlinesOnly = true;
    const auto outlines = box.outlines();
    std::vector<GlyphDrawing::CharacterOutline> one(1);
    one[0].path = GlyphDrawing::outlineCollection(outlines);
    auto render = [&](const std::vector<GlyphDrawing::CharacterOutline>& o) {
        QImage image = testsupport::blankImage(500, 120);
        platform::GraphicsContext ctx(image);
        GlyphDrawing::draw(ctx, o, Rect(0, 0, 500, 120), style);
        return image;
    };
    EXPECT_LE(testsupport::worstDifference(render(outlines), render(one)), 2);
}

// Redraws reuse the picture buffer once it is let go: a picture still held keeps its pixels,
// and a reused buffer starts clear.
TEST(TextGlyphDrawing, RedrawsLeaveHeldPicturesAloneAndStartClear)
{
    Box box(AttributedString(QStringLiteral("I"), attributes(150)));
    const auto out = box.outlines();
    ASSERT_EQ(out.size(), 1u);
    const int x = int(out[0].path.bounds().midX()), y = int(out[0].path.bounds().midY());
    {
        const QImage inked = box.render();
        box.view.txtBox()->editor().setText(AttributedString());
        const QImage empty = box.render();
        EXPECT_PIXEL_NEAR(inked, x, y, kBlack, 0);
        EXPECT_PIXEL_NEAR(empty, x, y, kClear, 0);
    }
    box.view.txtBox()->editor().setText(AttributedString(QStringLiteral("I"), attributes(150)));
    EXPECT_PIXEL_NEAR(box.render(), x, y, kBlack, 0);
    box.view.txtBox()->editor().setText(AttributedString());
    EXPECT_PIXEL_NEAR(box.render(), x, y, kClear, 0);
}

// Characters sharing a spread fill are drawn together; where characters overlap, with
// translucent fills and a differently filled character between them, the pixels must be
// those of filling each character in turn.
TEST(TextGlyphDrawing, FillsOfOverlappingCharactersMatchOneByOne)
{
    SZGradient translucent = redToBlue(30, 0);
    translucent.gradient = platform::Gradient(Color(1, 0, 0, 0.5), Color(0, 0, 1, 0.7));
    const SZGradient other = solid(Color(0.1, 0.8, 0.2, 0.6));
    SZGradient own = redToBlue(90, 1);
    auto character = [](const platform::BezierPath& path, const SZGradient& fill) {
        GlyphDrawing::CharacterOutline o;
        o.path = path;
        o.fill = fill;
        return o;
    };
    using platform::BezierPath;
    const std::vector<GlyphDrawing::CharacterOutline> outlines {
        character(BezierPath::oval(Rect(10.5, 10.25, 60, 40)), translucent),
        character(BezierPath::oval(Rect(50.3, 20.7, 60, 40)), translucent),
        character(BezierPath::rect(Rect(20.2, 45.6, 100, 10)), translucent),
        character(BezierPath(), translucent), // a space
        character(BezierPath::rect(Rect(100.4, 5.5, 30, 50)), other),
        character(BezierPath::oval(Rect(120.6, 10.1, 50, 40)), translucent),
        character(BezierPath::oval(Rect(150.2, 30.3, 40, 30)), own),
        character(BezierPath::oval(Rect(175.7, 12.9, 40, 30)), translucent),
        character(BezierPath::oval(Rect(240.1, 12.9, 40, 30)), translucent),
    };
    const Rect bounds(0, 0, 300, 80);
    auto background = [] {
        QImage image = testsupport::blankImage(300, 80);
        image.fill(QColor(200, 180, 40, 128));
        return image;
    };
    QImage together = background();
    {
        platform::GraphicsContext ctx(together);
        GlyphDrawing::draw(ctx, outlines, bounds, GlyphDrawing::Style());
    }
    QImage oneByOne = background();
    {
        platform::GraphicsContext ctx(oneByOne);
        for (const auto& o : outlines) {
            if (o.path.isEmpty())
                continue;
            platform::GStateGuard state(ctx);
            if (o.fill.drawType == 1) {
                SZGradient::drawGradient(o.fill, o.path, ctx);
            } else {
                ctx.clipToPath(o.path);
                SZGradient::drawGradient(o.fill, BezierPath::rect(bounds), ctx);
            }
        }
    }
    EXPECT_LE(testsupport::worstDifference(together, oneByOne), 2);
    EXPECT_LT(testsupport::meanDifference(together, oneByOne), 0.05);
}

namespace {

// The characters of a word as glyphs placed on whole pixels (each its own character, their
// strokes apart), with an
// underline below them, filled with fill.
std::vector<GlyphDrawing::CharacterOutline> placedCharacters(
    const QString& word, double pixelSize, const SZGradient& fill)
{
    QFont font(QStringLiteral("Nimbus Sans"));
    font.setPixelSize(1);
    QRawFont raw = QRawFont::fromFont(font);
    raw.setPixelSize(pixelSize);
    std::vector<GlyphDrawing::CharacterOutline> out;
    double x = 20;
    const QList<quint32> ids = raw.glyphIndexesForString(word);
    for (int i = 0; i < ids.size(); ++i) {
        GlyphDrawing::CharacterOutline o;
        o.characterIndex = i;
        o.fill = fill;
        o.glyphs.push_back({ raw, ids[i], Point(x, 12 + std::round(pixelSize * 0.3)) });
        const double advance = raw.advancesForGlyphIndexes(QList<quint32> { ids[i] })[0].x();
        o.bars.push_back(Rect(x, 3.25, std::ceil(advance), 3.5));
        x += std::ceil(advance) + 12;
        out.push_back(o);
    }
    return out;
}

} // namespace

// Fills and strokes put down through glyph masks (one colour straight, any other fill in a
// layer kept to the masks) give the pixels of the same characters' outlines; glyphs too large
// for masks are drawn from their outlines.
TEST(TextGlyphDrawing, FillsAndStrokesFromGlyphMasksMatchOutlines)
{
    SZGradient translucent = redToBlue(30, 0);
    translucent.gradient = platform::Gradient(Color(1, 0, 0, 0.5), Color(0, 0, 1, 0.7));
    SZGradient radial = redToBlue(0, 0);
    radial.gradientType = SZGradient::RadialFill;
    const struct {
        const char* name;
        SZGradient fill;
        double size;
        int strokeSize;
        SZGradient strokeColor;
    } rows[] = {
        { "solid, translucent", solid(Color(0.1, 0.6, 0.3, 0.6)), 48, 0, {} },
        { "solid, opaque, small", solid(Color(0.9, 0.1, 0.3)), 11, 0, {} },
        { "gradient, translucent", translucent, 60, 0, {} },
        { "radial", radial, 40, 0, {} },
        { "too large for masks", solid(Color(0.2, 0.2, 0.8)), 700, 0, {} },
        { "solid stroke", solid(Color(0.2, 0.2, 0.8)), 50, 3, solid(Color(1, 1, 1, 0.7)) },
        { "gradient stroke (from outlines)", translucent, 36, 5, redToBlue(120, 0) },
        { "stroke too large for masks", radial, 600, 4, solid(Color(0.9, 0.9, 0.1)) },
    };
    for (const auto& row : rows) {
        const auto characters = placedCharacters(QStringLiteral("Wave"), row.size, row.fill);
        const int width = int(row.size * 4) + 100, height = int(row.size * 1.4) + 20;
        const Rect bounds(0, 0, width, height);
        auto render = [&](bool outlinesOnly) {
            QImage image = testsupport::blankImage(width, height);
            image.fill(QColor(200, 180, 40, 128));
            platform::GraphicsContext ctx(image);
            GlyphDrawing::Style style;
            style.outlinesOnly = outlinesOnly;
            style.strokeSize = row.strokeSize;
            style.strokeColor = row.strokeColor;
            GlyphDrawing::draw(ctx, characters, bounds, style);
            return image;
        };
        const QImage fromMasks = render(false), fromOutlines = render(true);
        EXPECT_LE(testsupport::worstDifference(fromMasks, fromOutlines), 1) << row.name;
        QImage untouched = testsupport::blankImage(width, height);
        untouched.fill(QColor(200, 180, 40, 128));
        EXPECT_GT(testsupport::meanDifference(fromMasks, untouched), 0.5) << row.name;
    }
}
