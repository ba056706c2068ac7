// TextLayout: the glyphs of the laid-out lines, as Qt shaped them, and their outlines.
#include "platform/text/TextAttributeNames.h"
#include "platform/text/TextLayout.h"
#include "platform/text/TextLayout_p.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>

namespace platform {

namespace {

// A glyph as Qt shaped it for a line: its id, where Qt put it, its design advance and face.
struct ShapedGlyph {
    quint32 id = 0;
    QPointF position;
    double advance = 0.0;
    QRawFont font;
};

// Hands take every glyph Qt shaped for the characters from to to of a line, run by run, until
// take answers false; false then.
template <typename Take>
bool forEachShapedGlyph(const QTextLine& line, int from, int to, Take&& take)
{
    for (const QGlyphRun& run : line.glyphRuns(from, to - from)) {
        const QList<quint32> ids = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        const QRawFont font = run.rawFont();
        const QList<QPointF> advances
            = font.advancesForGlyphIndexes(ids, QRawFont::UseDesignMetrics);
        for (int k = 0; k < ids.size() && k < positions.size(); ++k) {
            if (!take(ShapedGlyph {
                    ids[k], positions[k], k < advances.size() ? advances[k].x() : 0.0, font }))
                return false;
        }
    }
    return true;
}

} // namespace

const std::vector<LaidOutGlyph>& TextLayout::glyphs() const
{
    ensureLayout();
    if (!m_glyphsValid) {
        m_glyphsValid = true;
        m_glyphs.clear();
        // Lines hold increasing ranges of characters: their glyphs in turn are in order.
        for (int lineIndex = 0; lineIndex < int(m_lines.size()); ++lineIndex) {
            const auto& line = glyphsInLineFragment(lineIndex);
            m_glyphs.insert(m_glyphs.end(), line.begin(), line.end());
        }
    }
    return m_glyphs;
}

const std::vector<LaidOutGlyph>& TextLayout::glyphsInLineFragment(int lineIndex) const
{
    static const std::vector<LaidOutGlyph> none;
    ensureLayout();
    if (lineIndex < 0 || lineIndex >= int(m_lines.size()))
        return none;
    m_lineGlyphs.resize(m_lines.size());
    auto& slot = m_lineGlyphs[size_t(lineIndex)];
    if (!slot) {
        slot.emplace();
        buildLineGlyphs(lineIndex, *slot);
    }
    return *slot;
}

void TextLayout::buildLineGlyphs(int lineIndex, std::vector<LaidOutGlyph>& out) const
{
    const QString& s = m_text.string();
    {
        const auto [paragraphIndex, lineNumber] = m_lineSource[size_t(lineIndex)];
        if (paragraphIndex < 0)
            return;
        const Paragraph& paragraph = *m_paragraphs[size_t(paragraphIndex)];
        const QTextLayout& layout = builtLayout(paragraph);
        const QTextLine line = layout.lineAt(lineNumber);
        // Qt puts glyphs on its own baseline, its line's ascent below the position, kept in
        // 26.6 fixed point; the line's baseline is where our metrics put it.
        const double baselineShift
            = m_lines[size_t(lineIndex)].baseline - (line.position().y() + line.ascent());
        const QString& layoutText = paragraph.layoutText;
        const int lineEnd = line.textStart() + line.textLength();
        // The line's clusters, found in the line alone when first needed: a line starts and
        // ends between clusters, and finding them in the whole paragraph for every line cost
        // a long paragraph's length per line.
        std::optional<QTextBoundaryFinder> clusters;
        out.reserve(size_t(line.textLength()));
        auto add = [&](int characterIndex, quint32 id, const QPointF& position, double advance,
                       const QRawFont& font, bool isAttachment) {
            LaidOutGlyph glyph;
            glyph.characterIndex = characterIndex;
            glyph.glyph = isAttachment ? 0 : id;
            glyph.position = Point(position.x(), position.y() + baselineShift);
            glyph.advance = advance;
            glyph.lineIndex = lineIndex;
            glyph.font = font;
            glyph.isAttachment = isAttachment;
            out.push_back(std::move(glyph));
        };
        // A span whose characters each make one glyph of their own (Latin text without
        // combining marks, attachments or ligatures) is taken in one call: its glyphs, in order
        // along the line, are its characters'. Asked per cluster, Qt makes a glyph run and a
        // raw font for every character. False, adding nothing, for any other span.
        auto oneGlyphEach = [&](int from, int to) {
            for (int i = from; i < to; ++i) {
                // The laid-out text stands in for attachments: both must be plain.
                const char16_t c = layoutText[i].unicode();
                const char16_t m = s[paragraph.start + i].unicode();
                if (c < 0x20 || c >= 0x300 || m < 0x20 || m >= 0x300)
                    return false;
            }
            std::vector<ShapedGlyph> found;
            found.reserve(size_t(to - from));
            if (!forEachShapedGlyph(line, from, to,
                    [&](const ShapedGlyph& glyph) {
                        found.push_back(glyph);
                        return found.size() <= size_t(to - from);
                    })
                || found.size() != size_t(to - from))
                return false;
            std::stable_sort(
                found.begin(), found.end(), [](const ShapedGlyph& a, const ShapedGlyph& b) {
                    return a.position.x() < b.position.x();
                });
            for (size_t k = 1; k < found.size(); ++k) {
                if (!(found[k].position.x() > found[k - 1].position.x()))
                    return false;
            }
            for (size_t k = 0; k < found.size(); ++k)
                add(paragraph.start + from + int(k), found[k].id, found[k].position,
                    found[k].advance, found[k].font, false);
            return true;
        };
        // A ligature comes back for each character it covers; it belongs to the first.
        std::vector<std::tuple<quint32, qint64, qint64>> seen;
        auto byClusters = [&](int spanFrom, int spanTo) {
            if (!clusters)
                clusters.emplace(QTextBoundaryFinder::Grapheme,
                    layoutText.mid(line.textStart(), line.textLength()));
            for (int from = spanFrom; from < spanTo;) {
                clusters->setPosition(from - line.textStart());
                const qsizetype next = clusters->toNextBoundary();
                int to = next < 0 ? spanTo : line.textStart() + int(next);
                if (to <= from || to > spanTo)
                    to = spanTo;
                const int characterIndex = paragraph.start + from;
                const auto attachment
                    = m_text.attributeAt(TextAttributeNames::attachment, characterIndex);
                const bool isAttachment = s[characterIndex] == QChar(TextAttachment::character)
                    && attachment.attachment();
                forEachShapedGlyph(line, from, to, [&](const ShapedGlyph& glyph) {
                    const auto key = std::make_tuple(glyph.id,
                        qint64(std::llround(qtCoordinate(glyph.position.x()) * 64)),
                        qint64(std::llround(qtCoordinate(glyph.position.y()) * 64)));
                    if (std::find(seen.begin(), seen.end(), key) == seen.end()) {
                        seen.push_back(key);
                        add(characterIndex, glyph.id, glyph.position, glyph.advance, glyph.font,
                            isAttachment);
                    }
                    return true;
                });
                from = to;
            }
        };
        // The whole line at once, else word by word (a word and the spaces after it), else
        // cluster by cluster.
        if (!oneGlyphEach(line.textStart(), lineEnd)) {
            for (int from = line.textStart(); from < lineEnd;) {
                int to = from;
                while (to < lineEnd && layoutText[to] != u' ')
                    ++to;
                while (to < lineEnd && layoutText[to] == u' ')
                    ++to;
                if (!oneGlyphEach(from, to))
                    byClusters(from, to);
                from = to;
            }
        }
    }
    const auto byCharacter = [](const LaidOutGlyph& a, const LaidOutGlyph& b) {
        return a.characterIndex < b.characterIndex;
    };
    if (!std::is_sorted(out.begin(), out.end(), byCharacter))
        std::stable_sort(out.begin(), out.end(), byCharacter);
}

BezierPath TextLayout::glyphOutline(const LaidOutGlyph& glyph)
{
    if (glyph.isAttachment || glyph.glyph == 0 || !glyph.font.isValid())
        return BezierPath();
    const QPainterPath path = glyph.font.pathForGlyph(glyph.glyph);
    return BezierPath::fromQPainterPath(QTransform(1, 0, 0, -1, 0, 0).map(path));
}

BezierPath TextLayout::cachedGlyphOutline(const LaidOutGlyph& glyph) const
{
    if (glyph.isAttachment || glyph.glyph == 0 || !glyph.font.isValid())
        return BezierPath();
    const OutlineKey key { glyph.font, glyph.glyph };
    if (const auto found = m_outlines.constFind(key); found != m_outlines.constEnd())
        return *found;
    // Fonts and sizes come and go with the text's changes; the table stays small.
    if (m_outlines.size() > 4096)
        m_outlines.clear();
    return *m_outlines.insert(key, glyphOutline(glyph));
}

} // namespace platform
