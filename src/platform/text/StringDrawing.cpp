// One-line string measuring and drawing for the controls, and the controls' font names.
#include "platform/text/StringDrawing.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/text/FontFallback.h"
#include "platform/text/FontManager.h"

#include <QGlyphRun>
#include <QHash>
#include <QTextLayout>
#include <cmath>

namespace platform {

namespace {

struct LaidLine {
    QTextLayout layout;
    QTextLine line;
};

// The layout must outlive its line, hence the pair on the heap-free struct.
void layOut(LaidLine& laid, const QString& text, const Font& font)
{
    laid.layout.setText(text);
    laid.layout.setFont(font.toQFont());
    // Characters the face lacks are set in a face that has them.
    const auto pieces = FontFallback::split(text, TextRange(0, int(text.size())), font);
    if (pieces.size() > 1) {
        QList<QTextLayout::FormatRange> formats;
        for (const FontFallback::Piece& piece : pieces) {
            QTextCharFormat format;
            format.setFont(piece.font.toQFont(), QTextCharFormat::FontPropertiesAll);
            formats.append({ piece.range.location, piece.range.length, format });
        }
        laid.layout.setFormats(formats);
    }
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    laid.layout.setTextOption(option);
    laid.layout.beginLayout();
    laid.line = laid.layout.createLine();
    if (laid.line.isValid())
        laid.line.setLineWidth(1e6);
    laid.layout.endLayout();
}

// Style words of "Family Style" names, with the traits and weight they ask for.
struct StyleWord {
    const char* word;
    unsigned traits;
    int weight;
};
constexpr StyleWord kStyleWords[] = {
    { "Medium", 0, 6 },
    { "Bold", BoldFontMask, 9 },
    { "Light", 0, 3 },
    { "Italic", ItalicFontMask, 5 },
    { "Regular", 0, 5 },
};

} // namespace

Size sizeOfString(const QString& text, const Font& font)
{
    if (font.isNull())
        return Size(0, 0);
    LaidLine laid;
    layOut(laid, text, font);
    const double width = laid.line.isValid() ? laid.line.naturalTextWidth() : 0.0;
    return Size(width, font.lineHeight());
}

namespace {

// A line's outlines with the baseline origin at (0, 0), y-up, and its advance.
struct LineOutlines {
    BezierPath path;
    double width = 0.0;
};

LineOutlines outlinesOf(const QString& text, const Font& font)
{
    LineOutlines out;
    LaidLine laid;
    layOut(laid, text, font);
    if (!laid.line.isValid())
        return out;
    out.width = laid.line.naturalTextWidth();
    for (const QGlyphRun& run : laid.line.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            const QPainterPath glyph = raw.pathForGlyph(glyphs[i]);
            if (glyph.isEmpty())
                continue;
            // Glyph outlines are y-down from the baseline origin; the run's positions are
            // y-down from the line's top.
            const QPointF at = positions[i];
            const QTransform place(1, 0, 0, -1, at.x(), laid.line.ascent() - at.y());
            out.path.appendPath(BezierPath::fromQPainterPath(place.map(glyph)));
        }
    }
    return out;
}

QString keyOf(const QString& text, const Font& font)
{
    return font.fontName() + QLatin1Char('\x1f') + QString::number(font.pointSize(), 'g', 17)
        + QLatin1Char('\x1f') + text;
}

// Bounded caches: cleared whole when full, which the few strings of the controls never reach.
template <class Value>
Value& cachedValue(QHash<QString, Value>& cache, const QString& key, auto make)
{
    auto it = cache.find(key);
    if (it == cache.end()) {
        if (cache.size() >= 512)
            cache.clear();
        it = cache.insert(key, make());
    }
    return it.value();
}

const LineOutlines& cachedOutlines(const QString& text, const Font& font)
{
    static QHash<QString, LineOutlines> cache;
    return cachedValue(cache, keyOf(text, font), [&] { return outlinesOf(text, font); });
}

// A line filled into a picture at one device scale; rect is where it goes relative to the
// baseline origin, with integral edges.
struct RenderedLine {
    Image image;
    Rect rect;
};

RenderedLine renderLine(const LineOutlines& line, const Color& color, double scale)
{
    const Rect r = line.path.bounds().insetBy(-1, -1).integral();
    const int w = int(std::ceil(r.size.width * scale)), h = int(std::ceil(r.size.height * scale));
    if (w <= 0 || h <= 0 || w > 16384 || h > 4096)
        return {};
    QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::transparent);
    {
        GraphicsContext g(pixels, scale);
        g.translateCTM(-r.x(), -r.y());
        g.setFillColor(color);
        g.fillPath(line.path);
    }
    return { Image::fromQImage(pixels, r.size), r };
}

// Controls redraw the same few strings (titles, values) on every paint, and filling glyph
// outlines cost more than all the rest of a slider's drawing: each string is filled once per
// colour and device scale, then drawn as a picture on whole device pixels.
const RenderedLine& cachedRender(
    const QString& text, const Font& font, const Color& color, double scale)
{
    static QHash<QString, RenderedLine> cache;
    const QString key = keyOf(text, font)
        + QStringLiteral("\x1f%1,%2,%3,%4@%5")
              .arg(color.red, 0, 'g', 17)
              .arg(color.green, 0, 'g', 17)
              .arg(color.blue, 0, 'g', 17)
              .arg(color.alpha, 0, 'g', 17)
              .arg(scale, 0, 'g', 17);
    return cachedValue(
        cache, key, [&] { return renderLine(cachedOutlines(text, font), color, scale); });
}

// The device pixels per unit when the transform is an upright uniform scale; 0 otherwise.
double uprightScale(GraphicsContext& ctx)
{
    const AffineTransform t = ctx.ctm();
    if (t.b != 0 || t.c != 0 || t.a != t.d || !(t.a > 0))
        return 0.0;
    const double s = ctx.convertRectToDeviceSpace(Rect(0, 0, 1, 1)).size.width;
    return std::isfinite(s) && s > 0 && s <= 16 ? s : 0.0;
}

} // namespace

void drawStringInRect(GraphicsContext& ctx, const QString& text, const Rect& rect, const Font& font,
    const Color& color, StringAlignment alignment)
{
    if (text.isEmpty() || font.isNull() || !rect.isFinite())
        return;
    const LineOutlines& line = cachedOutlines(text, font);
    if (line.path.isEmpty())
        return;
    double x = rect.origin.x;
    if (alignment == StringAlignment::Right)
        x = rect.maxX() - line.width;
    else if (alignment == StringAlignment::Center)
        x = rect.origin.x + (rect.size.width - line.width) / 2;
    double baseline = rect.maxY() - font.ascender();
    GStateGuard guard(ctx);
    if (const double scale = uprightScale(ctx); scale > 0) {
        const RenderedLine& rendered = cachedRender(text, font, color, scale);
        if (!rendered.image.isNull()) {
            // On whole device pixels, so the picture is copied rather than resampled.
            const Rect device = ctx.convertRectToDeviceSpace(Rect(x, baseline, 0, 0));
            x += (std::round(device.x()) - device.x()) / scale;
            baseline -= (std::round(device.y()) - device.y()) / scale;
            const Rect& r = rendered.rect;
            ctx.drawImage(
                rendered.image, Rect(x + r.x(), baseline + r.y(), r.size.width, r.size.height));
            return;
        }
    }
    ctx.translateCTM(x, baseline);
    ctx.setFillColor(color);
    ctx.fillPath(line.path);
}

Font controlFont(const QString& name, double pointSize)
{
    const double size = std::isfinite(pointSize) && pointSize > 0 ? pointSize : 12.0;
    FontManager& manager = FontManager::shared();
    if (auto font = manager.fontWithName(name, size))
        return *font;
    const qsizetype space = name.lastIndexOf(QLatin1Char(' '));
    if (space > 0) {
        const QString style = name.mid(space + 1);
        for (const StyleWord& word : kStyleWords) {
            if (style.compare(QLatin1String(word.word), Qt::CaseInsensitive) != 0)
                continue;
            const QString family = FontManager::substituteFamily(name.left(space));
            if (auto font = manager.fontWithFamily(family, word.traits, word.weight, size))
                return *font;
        }
    }
    if (auto font = manager.fontWithName(QStringLiteral("Helvetica"), size))
        return *font;
    const QStringList families = manager.availableFontFamilies();
    for (const QString& family : families) {
        if (auto font = manager.fontWithFamily(family, 0, 5, size))
            return *font;
    }
    return Font();
}

Font systemFont(double pointSize)
{
    return controlFont(QStringLiteral("Helvetica Neue"), pointSize);
}

Font boldSystemFont(double pointSize)
{
    return controlFont(QStringLiteral("HelveticaNeue-Bold"), pointSize);
}

} // namespace platform
