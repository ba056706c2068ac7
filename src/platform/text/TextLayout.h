#pragma once
// Lays out an attributed string in a text container, paragraph by paragraph with QTextLayout,
// asking the container for every line fragment.
//
// Coordinates are the container's (origin top-left, y down; see TextContainer). Glyph outlines
// are y-up around their baseline origin, as a font draws them; yUpTransform() maps container
// coordinates into a y-up view.
//
// Lines: the text of a fragment starts lineFragmentPadding inside it on both sides. A line is
// as tall as its tallest font's ascent + descent + leading (leading included), shaped by the
// paragraph style (ParagraphStyle), with the baseline at ascent below the top unless the
// style makes the line taller, in which case the extra height is above the text. A paragraph is
// laid out with the style of its first character; paragraphs end at "\n", "\r", "\r\n" and
// U+2029, and the separator belongs to the paragraph's last line. After a final separator, and
// for an empty text, an extra line fragment holds the caret.
//
// The layout is computed once per change, when first asked after it, and kept: a change of
// the text, of the default or extra line attributes, or of the container's geometry (its
// geometryGeneration()) lays out again; setting a value equal to the current one does not.
// Lines are broken for the whole text at once (linear in its length), except that after a
// change of the text a paragraph whose characters and attributes are unchanged keeps its
// lines and glyphs (moved to its new top, where the container's lines do not change shape
// with their height); the glyphs of a line are gathered when first asked for, so that drawing a
// few lines of a long text builds only theirs. Where the container's lines keep their width
// at any height, the paragraphs of a long text are broken on the thread pool, each on its own,
// then placed one below the other (layOutTogether does the same for the paragraphs of many
// texts at once); such a paragraph's Qt layout is made again, on the thread that asks, only
// when its glyphs or carets are asked for (a screenful of a long text).
#include "platform/geometry/AffineTransform.h"
#include "platform/graphics/BezierPath.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Font.h"
#include "platform/text/TextContainer.h"

#include <QHash>
#include <QRawFont>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTextLayout;

namespace platform {

struct LineFragment {
    // The fragment as the container answered it, as tall as the line plus its line spacing.
    Rect rect;
    // Where the line's glyphs are, widened by the padding; without the line spacing.
    Rect usedRect;
    // The y of the baseline.
    double baseline = 0.0;
    // The line's characters, its paragraph separator included.
    TextRange characterRange;
    bool isExtraLineFragment = false;
};

struct LaidOutGlyph {
    int characterIndex = 0;
    // The glyph id in font (0 for an attachment, which has no outline).
    quint32 glyph = 0;
    // The baseline origin of the glyph in container coordinates.
    Point position;
    double advance = 0.0;
    int lineIndex = 0;
    // The face that shaped the glyph (a fallback face for characters the run's font lacks).
    QRawFont font;
    bool isAttachment = false;
};

class TextLayout {
public:
    explicit TextLayout(std::shared_ptr<TextContainer> container = nullptr);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    const AttributedString& text() const { return m_text; }
    void setText(const AttributedString& text);

    TextContainer& container() const { return *m_container; }
    void setContainer(std::shared_ptr<TextContainer> container);

    // Attributes for runs without a font, and the font of an empty text. Defaults to Helvetica
    // at 12 points.
    const AttributeDictionary& defaultAttributes() const { return m_defaultAttributes; }
    void setDefaultAttributes(const AttributeDictionary& attributes);
    // The attributes that size the extra line fragment (the typing attributes of an editor);
    // when not set, those of the last character, else the default attributes.
    void setExtraLineFragmentAttributes(std::optional<AttributeDictionary> attributes);

    // Lays out again when next asked (for changes the layout cannot see).
    void invalidate();
    // How many times the text has been laid out since the layout was made.
    int layoutCount() const { return m_layoutCount; }
    // How many paragraphs the last layout broke into lines (the others it kept).
    int paragraphsBroken() const { return m_paragraphsBroken; }
    // How many of those were broken ahead of their placing, on the shaping threads.
    int paragraphsBrokenAhead() const { return m_paragraphsBrokenAhead; }
    // How many characters the last layout's line breaking read (for tests of its cost).
    qint64 breakWork() const { return m_breakWork; }
    // Lays out those of layouts that are not up to date at once, breaking the changed
    // paragraphs of all of them together on the shaping threads (as one long text's are): for
    // an edit over many texts. Each ends as it would have laid out alone.
    static void layOutTogether(const std::vector<const TextLayout*>& layouts);

    // Every line fragment in order; the extra line fragment, when there is one, is last.
    const std::vector<LineFragment>& lineFragments() const;
    const LineFragment* extraLineFragment() const;
    // The union of the used rectangles of all fragments; Rect() when nothing is laid out.
    Rect usedRect() const;
    // Characters laid out (less than the text's length when the container is full).
    int laidOutLength() const;

    // The glyphs in character order.
    const std::vector<LaidOutGlyph>& glyphs() const;
    // The glyphs of one line fragment in character order (none for the extra one or an index
    // out of range).
    const std::vector<LaidOutGlyph>& glyphsInLineFragment(int lineIndex) const;
    // The line fragments whose rectangles meet the rows minY to maxY, as [first, end).
    std::pair<int, int> lineFragmentsBetween(double minY, double maxY) const;
    // The outline of a glyph, y-up around its baseline origin (the point (0, 0)).
    static BezierPath glyphOutline(const LaidOutGlyph& glyph);
    // The same, kept for the glyphs this layout has drawn (a text repeats few glyphs).
    BezierPath cachedGlyphOutline(const LaidOutGlyph& glyph) const;
    // How far above or below its baseline a glyph's outline may reach: twice the largest of
    // the text's point sizes and its faces' bounding boxes, room for fallback faces too.
    double glyphReach() const;
    // Container coordinates to y-up coordinates where the container's top edge is at y = top.
    static AffineTransform yUpTransform(double top);

    // The line fragment holding the character (or the caret position index == length); -1
    // when it was not laid out.
    int lineFragmentIndexForCharacter(int index) const;
    // The caret position nearest to a point, for clicks: 0 to length.
    int characterIndexForPoint(const Point& point) const;
    // The caret before the character at index (after the last one at length), one unit wide
    // and as tall as its line's text.
    Rect caretRect(int index) const;
    // The rectangles a selection of range covers, one per line.
    std::vector<Rect> selectionRects(TextRange range) const;

    // The font a character is laid out with (its attribute, else the default attributes').
    Font fontAt(int index) const;
    // The size of a text on one line per paragraph, without padding (the width of its widest
    // line, the height of its lines).
    static Size measure(const AttributedString& text);
    static Font defaultFont();

private:
    struct Paragraph;
    void ensureLayout() const;
    struct RunMetrics;
    struct Previous;
    void layoutAll() const;
    struct Pass;
    bool needsLayout() const;
    // A layout in three steps: the paragraphs and which of them changed; those to break
    // ahead, described with the width of their lines; their lines placed (broken in place
    // where they were not broken ahead).
    void beginPass(Pass& pass) const;
    void describeAhead(Pass& pass, const std::function<void(Paragraph*)>& add) const;
    // Breaks the paragraphs `describe` gives (at most `most`) on the shaping threads, each
    // as soon as it is given.
    static void breakOnShapingThreads(
        size_t most, const std::function<void(const std::function<void(Paragraph*)>&)>& describe);
    void finishPass(Pass& pass) const;
    // The last layout's paragraph that may be kept for these characters (at top, when given).
    std::unique_ptr<Paragraph>* unchangedParagraph(
        Previous& previous, int start, int length, int separator, std::optional<double> top) const;
    bool canMove(const Paragraph& paragraph, double top) const;
    void adoptParagraph(std::unique_ptr<Paragraph> paragraph, Previous& previous, int start,
        double top, bool& anyUsed) const;
    void commitLine(
        const LineFragment& record, int paragraphIndex, int lineNumber, bool& anyUsed) const;
    std::unique_ptr<Paragraph> describeParagraph(int start, int length, int separator) const;
    double estimatedLineHeight(const Paragraph& paragraph, int index) const;
    // Breaks and places the paragraph's lines from y down, asking the container line by line.
    void breakInPlace(Paragraph& paragraph, double& y, bool& full, bool& anyUsed) const;
    // Places lines broken ahead from y down; false, placing nothing, where the container
    // answers another width or place for them.
    bool placeAhead(Paragraph& paragraph, double& y, bool& full, bool& anyUsed) const;
    // The paragraph's Qt layout, made from its lines when first asked for.
    QTextLayout& builtLayout(const Paragraph& paragraph) const;
    void buildLineGlyphs(int lineIndex, std::vector<LaidOutGlyph>& out) const;
    Font fontIn(const AttributeDictionary& attributes) const;
    double caretX(size_t lineIndex, int index) const;

    std::shared_ptr<TextContainer> m_container;
    AttributedString m_text;
    AttributeDictionary m_defaultAttributes;
    std::optional<AttributeDictionary> m_extraAttributes;

    mutable bool m_valid = false;
    // Whether the next layout may keep unchanged paragraphs of this one, and its text.
    mutable bool m_reusable = false;
    mutable AttributedString m_laidOutText;
    mutable bool m_glyphsValid = false;
    mutable quint64 m_geometryGeneration = 0;
    mutable int m_layoutCount = 0;
    mutable int m_paragraphsBroken = 0;
    mutable int m_paragraphsBrokenAhead = 0;
    mutable qint64 m_breakWork = 0;
    // The layout cache, filled on first use.
    mutable std::vector<std::unique_ptr<Paragraph>> m_paragraphs;
    mutable std::vector<LineFragment> m_lines;
    // For each line: its paragraph and its line number in that paragraph's QTextLayout.
    mutable std::vector<std::pair<int, int>> m_lineSource;
    mutable std::vector<int> m_lineOfCharacter;
    mutable bool m_hasExtra = false;
    mutable int m_laidOutLength = 0;
    mutable Rect m_usedRect;
    mutable std::vector<LaidOutGlyph> m_glyphs;
    // The glyphs of each line, gathered when first asked for.
    mutable std::vector<std::optional<std::vector<LaidOutGlyph>>> m_lineGlyphs;
    mutable double m_glyphReach = 0.0;
    struct OutlineKey {
        QRawFont font;
        quint32 glyph = 0;
        bool operator==(const OutlineKey& other) const
        {
            return glyph == other.glyph && font == other.font;
        }
        friend size_t qHash(const OutlineKey& key, size_t seed = 0)
        {
            return qHashMulti(seed, key.font, key.glyph);
        }
    };
    mutable QHash<OutlineKey, BezierPath> m_outlines;
};

} // namespace platform
