// One-line string measuring and drawing for the controls, and the controls' font names.
#include "platform/text/StringDrawing.h"

#include "platform/graphics/GraphicsContext.h"
#include "platform/text/FontManager.h"

#include <QGlyphRun>
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

void drawStringInRect(GraphicsContext& ctx, const QString& text, const Rect& rect, const Font& font,
    const Color& color, StringAlignment alignment)
{
    if (text.isEmpty() || font.isNull() || !std::isfinite(rect.origin.x)
        || !std::isfinite(rect.origin.y) || !std::isfinite(rect.size.width))
        return;
    LaidLine laid;
    layOut(laid, text, font);
    if (!laid.line.isValid())
        return;
    const double width = laid.line.naturalTextWidth();
    double x = rect.origin.x;
    if (alignment == StringAlignment::Right)
        x = rect.maxX() - width;
    else if (alignment == StringAlignment::Center)
        x = rect.origin.x + (rect.size.width - width) / 2;
    const double baseline = rect.maxY() - font.ascender();

    BezierPath outlines;
    for (const QGlyphRun& run : laid.line.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            QPainterPath glyph = raw.pathForGlyph(glyphs[i]);
            if (glyph.isEmpty())
                continue;
            // Glyph outlines are y-down from the baseline origin; the run's positions are
            // y-down from the line's top.
            const QPointF at = positions[i];
            QTransform place(1, 0, 0, -1, x + at.x(), baseline - (at.y() - laid.line.ascent()));
            outlines.appendPath(BezierPath::fromQPainterPath(place.map(glyph)));
        }
    }
    if (outlines.isEmpty())
        return;
    GStateGuard guard(ctx);
    ctx.setFillColor(color);
    ctx.fillPath(outlines);
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
