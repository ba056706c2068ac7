#pragma once
// The glyphs of a text box, drawn as outlines: every character filled alone with the fill of
// its "GradientAttributeName" attribute (solid black without one), underline and strikethrough
// added to the character's outline as rectangles from the font's metrics, then one stroke over
// all outlines and one inner shadow inside them.
//
// Deciding what to draw (characterOutlines) is a pure function of the layout; draw() only
// paints. Both work in the text view's own y-up coordinates.
//
// Fills are drawn from the glyph coverage cache: each run of characters with one fill is one
// coverage plane of cached glyph masks, and the fill is put down through it. Text drawn from
// outlines instead: circular text, text drawn for a warp, glyphs too large for a mask, and
// characters whose fill starts again in each character (drawType 1), whose geometry is the
// outline's.
//
// Fill angles. The text system's views are y-down where this system's model was designed, and
// there a glyph fill took 360 - angle so that it came out as box fills do: at the default angle
// 90 the first stop is at the top of the text. Our text view is y-up like every other view, so
// a glyph fill is drawn exactly as a box fill, with its own angle, and gives that same result;
// the stroke's fill follows the same rule.
#include "foundation/SZGradient.h"
#include "platform/geometry/AffineTransform.h"
#include "platform/graphics/BezierPath.h"
#include "platform/graphics/Color.h"
#include "platform/text/GlyphCoverageCache.h"
#include "platform/text/TextLayout.h"

#include <optional>
#include <vector>

namespace platform {
class GraphicsContext;
}
class MyViewBase;

class GlyphDrawing {
public:
    // One drawn character: its outline (the outlines of all its glyphs, with its underline and
    // strikethrough) and its fill.
    struct CharacterOutline {
        int characterIndex = 0;
        platform::BezierPath path; // empty when taken without outlines
        SZGradient fill;
        // The same character as glyphs placed in the view, and its underline and
        // strikethrough as rectangles: what its coverage is made of.
        std::vector<platform::PlacedGlyph> glyphs;
        std::vector<platform::Rect> bars;

        bool hasInk() const { return !path.isEmpty() || !glyphs.empty() || !bars.empty(); }
    };

    // What the owning box contributes: the stroke and the inner shadow.
    struct Style {
        int strokeSize = 0;
        SZGradient strokeColor;
        std::optional<platform::Color> innerShadowColor;
        int innerShadowAngle = 0;
        int innerShadowBlurSize = 0;
        int innerShadowOffsetSize = 0;
        // Fill from outlines, never from the glyph cache.
        bool outlinesOnly = false;

        static Style of(const MyViewBase& box);
    };

    // The characters to draw, in text order. Only printable characters are drawn (code 0x20 to
    // 0x7E, or 0x80 and above): line breaks, tabs and other control codes have no ink, nor do
    // attachments (the blanks of vertical text). A space is a character with an empty outline.
    // containerToView maps the layout's container coordinates into the view; fallbackFont is
    // the font of characters without one. With a visible rectangle (view coordinates), only
    // the lines whose glyphs can reach into it are taken: what a draw of that area needs.
    // Without outlines, only the glyphs and bars are given (enough for fills from masks).
    static std::vector<CharacterOutline> characterOutlines(const platform::TextLayout& layout,
        const platform::AffineTransform& containerToView, const platform::Font& fallbackFont,
        const std::optional<platform::Rect>& visible = std::nullopt, bool withOutlines = true);

    // Whether draw() needs the characters' outlines: for the stroke, the inner shadow or
    // fills that cannot come from masks.
    static bool needsOutlines(const Style& style);

    // How far outside an area what is drawn there comes from: the stroke's width and the inner
    // shadow's offset and blur (which are in base space, hence the context's transform).
    static double reachInto(const platform::GraphicsContext& ctx, const Style& style);

    // Paints the characters: each fill (drawType 1 over the character's own outline, otherwise
    // over bounds, so one gradient runs through all characters), then the stroke (only for a
    // positive strokeSize) and the inner shadow (only for a positive offset). Characters
    // taken without outlines get them here if they must be drawn from outlines after all.
    static void draw(platform::GraphicsContext& ctx, const std::vector<CharacterOutline>& outlines,
        const platform::Rect& bounds, const Style& style);

    // Every outline in one path (what the stroke and the inner shadow work on).
    static platform::BezierPath outlineCollection(const std::vector<CharacterOutline>& outlines);

    // A rectangle path wound like the outer contours of path (the sign of its enclosed area),
    // so that a non-zero fill of both together never cuts holes where they overlap, whatever
    // the winding of the font's outlines.
    static platform::BezierPath rectWoundLike(
        const platform::Rect& r, const platform::BezierPath& path);
};
