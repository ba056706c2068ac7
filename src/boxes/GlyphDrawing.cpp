#include "boxes/GlyphDrawing.h"

#include "boxes/MyViewBase.h"
#include "platform/concurrency/Parallel.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/text/TextAttributeNames.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <unordered_map>

using platform::AffineTransform;
using platform::AttributeDictionary;
using platform::BezierPath;
using platform::Color;
using platform::Font;
using platform::GraphicsContext;
using platform::PathElementKind;
using platform::Point;
using platform::Rect;
using platform::Size;
namespace names = platform::TextAttributeNames;

namespace {

// Fewer groups of characters than this are stroked on the calling thread.
constexpr int kParallelStrokeGroups = 8;

bool isDrawnCharacter(char16_t ch)
{
    return ch >= 0x80 || (ch >= 0x20 && ch <= 0x7E);
}

bool hasStyleOne(const AttributeDictionary& attributes, const QString& key)
{
    const auto it = attributes.find(key);
    return it != attributes.end() && it->second.isNumber() && it->second.toInteger() == 1;
}

// Twice the signed area enclosed by the path's control polygon: positive when its contours
// run counter-clockwise (y-up). Good enough for the sign of a glyph's outer contours.
double signedArea(const BezierPath& path)
{
    double area = 0.0;
    Point start, last;
    bool open = false;
    auto edge = [&](const Point& a, const Point& b) { area += a.x * b.y - b.x * a.y; };
    for (const auto& e : path.elements()) {
        switch (e.kind) {
        case PathElementKind::MoveTo:
            if (open)
                edge(last, start);
            start = last = e.points[0];
            open = true;
            break;
        case PathElementKind::LineTo:
            edge(last, e.points[0]);
            last = e.points[0];
            break;
        case PathElementKind::CurveTo:
            edge(last, e.points[0]);
            edge(e.points[0], e.points[1]);
            edge(e.points[1], e.points[2]);
            last = e.points[2];
            break;
        case PathElementKind::ClosePath:
            if (open)
                edge(last, start);
            last = start;
            open = false;
            break;
        }
    }
    if (open)
        edge(last, start);
    return area;
}

struct PendingCharacter {
    int index = -1;
    BezierPath path;
    std::vector<platform::PlacedGlyph> glyphs;
    double minX = 0.0;
    double advance = 0.0;
    double baseline = 0.0; // container y of the first glyph's baseline
};

// Union-find over the characters whose outlines come within reach of each other.
std::vector<std::vector<size_t>> groupsWithin(
    const std::vector<GlyphDrawing::CharacterOutline>& outlines, double reach)
{
    const size_t n = outlines.size();
    std::vector<size_t> parent(n);
    std::vector<Rect> boxes(n);
    std::vector<bool> inked(n);
    for (size_t i = 0; i < n; ++i) {
        parent[i] = i;
        inked[i] = !outlines[i].path.isEmpty();
        if (inked[i])
            boxes[i] = outlines[i].path.controlPointBounds().insetBy(-reach / 2, -reach / 2);
    }
    auto find = [&](size_t i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    };
    // Swept top to bottom: a box meets only boxes that start before it ends, mostly those of
    // its own line.
    std::vector<size_t> order;
    for (size_t i = 0; i < n; ++i) {
        if (inked[i])
            order.push_back(i);
    }
    auto top = [&](size_t i) { return std::isnan(boxes[i].minY()) ? -HUGE_VAL : boxes[i].minY(); };
    std::stable_sort(
        order.begin(), order.end(), [&](size_t a, size_t b) { return top(a) < top(b); });
    for (size_t k = 0; k < order.size(); ++k) {
        const size_t i = order[k];
        const bool finite = std::isfinite(boxes[i].minY()) && std::isfinite(boxes[i].maxY());
        for (size_t m = k + 1; m < order.size(); ++m) {
            const size_t j = order[m];
            if (finite && top(j) > boxes[i].maxY())
                break;
            if (boxes[i].intersects(boxes[j]))
                parent[find(j)] = find(i);
        }
    }
    std::vector<std::vector<size_t>> groups;
    std::vector<long> slot(n, -1);
    for (size_t i = 0; i < n; ++i) {
        if (!inked[i])
            continue;
        const size_t root = find(i);
        if (slot[root] < 0) {
            slot[root] = long(groups.size());
            groups.emplace_back();
        }
        groups[size_t(slot[root])].push_back(i);
    }
    return groups;
}

BezierPath groupPath(
    const std::vector<GlyphDrawing::CharacterOutline>& outlines, const std::vector<size_t>& group)
{
    BezierPath path;
    for (size_t i : group)
        path.appendPath(outlines[i].path);
    return path;
}

// The outlines of characters [first, end) gathered into as few paths as can be drawn without
// two characters of one path touching the same device pixel (bounds rounded out to whole
// pixels and grown by one, as the drawing layer keeps parts of a path apart). Any such
// gathering gives the same pixels; each batch files its rectangles in a grid of cells, so a
// character is checked only against its neighbours.
std::vector<BezierPath> pixelDisjointBatches(const GraphicsContext& ctx,
    const std::vector<GlyphDrawing::CharacterOutline>& outlines, size_t first, size_t end)
{
    constexpr double kCell = 64.0;
    // A rectangle over more cells than this (or not finite) gets a batch of its own.
    constexpr long kMaxCells = 1024;
    struct Batch {
        BezierPath path;
        std::unordered_map<quint64, std::vector<Rect>> cells;
        bool closed = false;
    };
    std::vector<Batch> batches;
    for (size_t i = first; i < end; ++i) {
        const BezierPath& path = outlines[i].path;
        if (path.isEmpty())
            continue;
        const Rect pixels = ctx.convertRectToDeviceSpace(path.controlPointBounds())
                                .integral()
                                .insetBy(-1.0, -1.0);
        const bool finite = std::isfinite(pixels.x()) && std::isfinite(pixels.y())
            && std::isfinite(pixels.width()) && std::isfinite(pixels.height());
        long cx0 = 0, cy0 = 0, cx1 = -1, cy1 = -1;
        if (finite && std::abs(pixels.minX()) < 1e12 && std::abs(pixels.maxX()) < 1e12
            && std::abs(pixels.minY()) < 1e12 && std::abs(pixels.maxY()) < 1e12) {
            cx0 = long(std::floor(pixels.minX() / kCell));
            cy0 = long(std::floor(pixels.minY() / kCell));
            cx1 = long(std::floor(pixels.maxX() / kCell));
            cy1 = long(std::floor(pixels.maxY() / kCell));
        }
        const bool alone = cx1 < cx0 || (cx1 - cx0 + 1) * (cy1 - cy0 + 1) > kMaxCells;
        auto key = [](long x, long y) { return (quint64(quint32(x)) << 32) | quint32(y); };
        auto meets = [&](const Batch& b) {
            if (b.closed)
                return true;
            for (long y = cy0; y <= cy1; ++y) {
                for (long x = cx0; x <= cx1; ++x) {
                    const auto cell = b.cells.find(key(x, y));
                    if (cell != b.cells.end()
                        && std::any_of(
                            cell->second.begin(), cell->second.end(), [&](const Rect& r) {
                                // Whole-pixel rectangles that only touch share no pixel.
                                return r.minX() < pixels.maxX() && pixels.minX() < r.maxX()
                                    && r.minY() < pixels.maxY() && pixels.minY() < r.maxY();
                            }))
                        return true;
                }
            }
            return false;
        };
        auto it = alone ? batches.end() : std::find_if_not(batches.begin(), batches.end(), meets);
        if (it == batches.end()) {
            batches.emplace_back();
            it = std::prev(batches.end());
            it->closed = alone;
        }
        it->path.appendPath(path);
        for (long y = cy0; y <= cy1 && !alone; ++y) {
            for (long x = cx0; x <= cx1; ++x)
                it->cells[key(x, y)].push_back(pixels);
        }
    }
    std::vector<BezierPath> paths;
    paths.reserve(batches.size());
    for (Batch& b : batches)
        paths.push_back(std::move(b.path));
    return paths;
}

} // namespace

GlyphDrawing::Style GlyphDrawing::Style::of(const MyViewBase& box)
{
    Style s;
    s.strokeSize = box.strokeSize();
    s.strokeColor = box.strokeColor();
    s.innerShadowColor = box.innerShadowColor();
    s.innerShadowAngle = box.innerShadowAngle();
    s.innerShadowBlurSize = box.innerShadowBlurSize();
    s.innerShadowOffsetSize = box.innerShadowOffsetSize();
    return s;
}

BezierPath GlyphDrawing::rectWoundLike(const Rect& r, const BezierPath& path)
{
    BezierPath rect;
    const bool clockwise = signedArea(path) < 0.0;
    rect.moveTo(Point(r.minX(), r.minY()));
    if (clockwise) {
        rect.lineTo(Point(r.minX(), r.maxY()));
        rect.lineTo(Point(r.maxX(), r.maxY()));
        rect.lineTo(Point(r.maxX(), r.minY()));
    } else {
        rect.lineTo(Point(r.maxX(), r.minY()));
        rect.lineTo(Point(r.maxX(), r.maxY()));
        rect.lineTo(Point(r.minX(), r.maxY()));
    }
    rect.closePath();
    return rect;
}

std::vector<GlyphDrawing::CharacterOutline> GlyphDrawing::characterOutlines(
    const platform::TextLayout& layout, const AffineTransform& containerToView,
    const Font& fallbackFont, const std::optional<Rect>& visible, bool withOutlines)
{
    std::vector<CharacterOutline> out;
    const platform::AttributedString& text = layout.text();
    const QString& s = text.string();
    PendingCharacter pending;

    auto flush = [&] {
        if (pending.index < 0)
            return;
        const AttributeDictionary& a = text.attributesAt(pending.index);
        CharacterOutline o;
        o.characterIndex = pending.index;
        o.path = pending.path;
        o.glyphs = std::move(pending.glyphs);
        const auto fillIt = a.find(names::gradient);
        const SZGradient* fill
            = fillIt != a.end() ? SZGradient::fromAttribute(fillIt->second) : nullptr;
        o.fill = fill ? *fill : SZGradient();
        const auto fontIt = a.find(names::font);
        const Font font
            = fontIt != a.end() && fontIt->second.font() && !fontIt->second.font()->isNull()
            ? *fontIt->second.font()
            : fallbackFont;
        // Underline and strikethrough are rectangles in the text system's y-down coordinates,
        // placed from the font's own metrics (y-up from the baseline).
        auto addBar = [&](double topInContainer, double thickness) {
            const Rect r = containerToView.mapRect(
                Rect(pending.minX, topInContainer, pending.advance + 1.0, thickness));
            if (std::isfinite(r.x()) && std::isfinite(r.y()) && r.width() > 0 && r.height() > 0) {
                if (withOutlines)
                    o.path.appendPath(rectWoundLike(r, o.path));
                o.bars.push_back(r);
            }
        };
        if (!font.isNull() && hasStyleOne(a, names::underlineStyle)) {
            const double t = font.underlineThickness();
            const double u = font.underlinePosition();
            addBar(pending.baseline - u + t / 2, t);
        }
        if (!font.isNull() && hasStyleOne(a, names::strikethroughStyle)) {
            const double t = font.underlineThickness();
            const Rect k = font.boundingRect();
            addBar(pending.baseline - (k.height() / 2 + k.y()) + t / 2, t);
        }
        out.push_back(std::move(o));
        pending = PendingCharacter();
    };

    auto addGlyph = [&](const platform::LaidOutGlyph& g) {
        const int c = g.characterIndex;
        if (c < 0 || c >= s.size() || !isDrawnCharacter(s[c].unicode()))
            return;
        if (g.isAttachment || text.attributesAt(c).count(names::attachment))
            return;
        BezierPath glyphPath;
        const Point p = containerToView.map(g.position);
        if (g.glyph != 0 && withOutlines) {
            glyphPath = layout.cachedGlyphOutline(g);
            glyphPath.transform(AffineTransform::makeTranslation(p.x, p.y));
        }
        if (c != pending.index)
            flush();
        if (g.glyph != 0)
            pending.glyphs.push_back({ g.font, g.glyph, p });
        if (c == pending.index) {
            pending.path.appendPath(glyphPath);
            const double x0 = std::min(pending.minX, g.position.x);
            const double x1 = std::max(pending.minX + pending.advance, g.position.x + g.advance);
            pending.minX = x0;
            pending.advance = x1 - x0;
        } else {
            pending.index = c;
            pending.path = glyphPath;
            pending.minX = g.position.x;
            pending.advance = g.advance;
            pending.baseline = g.position.y;
        }
    };

    auto [firstLine, endLine] = std::pair(0, int(layout.lineFragments().size()));
    const auto toContainer = containerToView.inverted();
    if (visible && toContainer) {
        const Rect area = toContainer->mapRect(*visible);
        if (std::isfinite(area.minY()) && std::isfinite(area.maxY())) {
            const double reach = layout.glyphReach();
            std::tie(firstLine, endLine)
                = layout.lineFragmentsBetween(area.minY() - reach, area.maxY() + reach);
        }
    }
    for (int line = firstLine; line < endLine; ++line) {
        for (const platform::LaidOutGlyph& g : layout.glyphsInLineFragment(line))
            addGlyph(g);
    }
    flush();
    return out;
}

double GlyphDrawing::reachInto(const GraphicsContext& ctx, const Style& style)
{
    // A pixel of slack for antialiasing and the rounding of the drawing layer.
    double reach = 2.0 + std::max(style.strokeSize, 0);
    if (style.innerShadowOffsetSize > 0 && style.innerShadowColor) {
        // Base-space distances become user-space ones through the smallest scale of the
        // transform (its smaller singular value).
        const AffineTransform m = ctx.ctm();
        const double sum = m.a * m.a + m.b * m.b + m.c * m.c + m.d * m.d;
        const double det = m.a * m.d - m.b * m.c;
        const double smallest = std::sqrt(
            std::max(0.0, (sum - std::sqrt(std::max(0.0, sum * sum - 4 * det * det))) / 2));
        // The blur's sigma is half its size; its kernel ends within four sigmas.
        const double base = double(style.innerShadowOffsetSize)
            + 2.0 * double(std::max(style.innerShadowBlurSize, 0)) + 4.0;
        reach = smallest > 1e-9 ? reach + base / smallest : HUGE_VAL;
    }
    return reach;
}

BezierPath GlyphDrawing::outlineCollection(const std::vector<CharacterOutline>& outlines)
{
    BezierPath all;
    for (const CharacterOutline& o : outlines)
        all.appendPath(o.path);
    return all;
}

bool GlyphDrawing::needsOutlines(const Style& style)
{
    return style.outlinesOnly || (style.innerShadowOffsetSize > 0 && style.innerShadowColor);
}

namespace {

// The outline of a character taken without one: its glyphs' outlines placed, and its bars.
BezierPath outlineOf(const GlyphDrawing::CharacterOutline& o)
{
    BezierPath path;
    for (const platform::PlacedGlyph& g : o.glyphs) {
        BezierPath glyph = platform::GlyphCoverageCache::outline(g.face, g.glyph);
        glyph.transform(AffineTransform::makeTranslation(g.origin.x, g.origin.y));
        path.appendPath(glyph);
    }
    for (const Rect& r : o.bars)
        path.appendPath(GlyphDrawing::rectWoundLike(r, path));
    return path;
}

// The coverage of characters [first, end) from the glyph cache (of their strokes, with a
// stroke), glyph by glyph: nothing when some glyph has no mask, or when a character was given
// as an outline alone.
std::optional<platform::CoveragePieces> piecesOf(GraphicsContext& ctx,
    const std::vector<GlyphDrawing::CharacterOutline>& chars, size_t first, size_t end,
    const std::optional<platform::StrokeStyle>& stroke = std::nullopt)
{
    std::vector<platform::PlacedGlyph> glyphs;
    BezierPath bars;
    for (size_t i = first; i < end; ++i) {
        if (!chars[i].path.isEmpty() && chars[i].glyphs.empty() && chars[i].bars.empty())
            return std::nullopt;
        glyphs.insert(glyphs.end(), chars[i].glyphs.begin(), chars[i].glyphs.end());
        for (const Rect& r : chars[i].bars)
            bars.appendPath(BezierPath::rect(r));
    }
    return platform::GlyphCoverageCache::shared().runPieces(
        glyphs, bars, ctx.deviceTransform(), ctx.visibleDeviceRect(), stroke);
}

bool isOneColour(const SZGradient& fill)
{
    return fill.gradientType == SZGradient::NoFill || fill.gradientType == SZGradient::ColorFill;
}

// Sets the fill colour of a fill of one colour; false when it draws nothing.
bool setColourOf(GraphicsContext& ctx, const SZGradient& fill)
{
    if (fill.gradientType == SZGradient::NoFill)
        ctx.setFillColor(Color::clear());
    else if (fill.color)
        ctx.setFillColor(*fill.color);
    else
        return false;
    return true;
}

// Each coverage k of the mask becomes k * k: what a shape clipped to itself covers.
void coverTwice(platform::CoverageMask& mask)
{
    static const auto squares = [] {
        std::array<std::uint8_t, 256> t {};
        for (int k = 0; k < 256; ++k) {
            const int v = k * k + 128;
            t[size_t(k)] = std::uint8_t((v + (v >> 8)) >> 8);
        }
        return t;
    }();
    const int width = mask.plane.width(), height = mask.plane.height();
    uchar* const bits = mask.plane.bits();
    const qsizetype stride = mask.plane.bytesPerLine();
    platform::parallelRows(height, width, 64 * 1024, [&](int top, int bottom) {
        for (int y = top; y < bottom; ++y) {
            std::uint8_t* row = bits + y * stride;
            for (int x = 0; x < width; ++x)
                row[x] = squares[row[x]];
        }
    });
}

// Fills characters [first, end), which share one fill spread over bounds, from the glyph
// cache: one colour straight through the glyphs' masks, anything else drawn in a layer kept
// to their coverage. False, drawing nothing, when they cannot be.
bool fillFromMasks(GraphicsContext& ctx, const std::vector<GlyphDrawing::CharacterOutline>& chars,
    size_t first, size_t end, const BezierPath& boundsPath)
{
    const auto pieces = piecesOf(ctx, chars, first, end);
    if (!pieces)
        return false;
    const SZGradient& fill = chars[first].fill;
    if (isOneColour(fill)) {
        platform::GStateGuard state(ctx);
        if (setColourOf(ctx, fill))
            ctx.fillMask(*pieces);
        return true;
    }
    const platform::CoverageMask mask = pieces->flattened(ctx.visibleDeviceRect());
    if (mask.isNull())
        return pieces->pieces.empty() || (pieces->bounds & ctx.visibleDeviceRect()).isEmpty();
    ctx.drawThroughMask(mask, [&] { SZGradient::drawGradient(fill, boundsPath, ctx); });
    return true;
}

} // namespace

void GlyphDrawing::draw(GraphicsContext& ctx, const std::vector<CharacterOutline>& given,
    const Rect& bounds, const Style& style)
{
    // Characters taken without outlines get them where they are drawn from outlines.
    auto lacksOutline = [](const CharacterOutline& o) {
        return o.path.isEmpty() && (!o.glyphs.empty() || !o.bars.empty());
    };
    std::optional<std::vector<CharacterOutline>> completed;
    auto outlinesFor = [&]() -> const std::vector<CharacterOutline>& {
        if (!completed) {
            if (std::none_of(given.begin(), given.end(), lacksOutline))
                return given;
            completed = given;
            for (CharacterOutline& o : *completed) {
                if (lacksOutline(o))
                    o.path = outlineOf(o);
            }
        }
        return *completed;
    };
    const bool masks = !style.outlinesOnly;
    const BezierPath boundsPath = BezierPath::rect(bounds);
    {
        platform::GStateGuard state(ctx);
        for (size_t i = 0; i < given.size();) {
            const CharacterOutline& o = given[i];
            if (!o.hasInk() || o.fill.drawType == 1) {
                // The fill starts again in every character.
                if (o.hasInk())
                    SZGradient::drawGradient(o.fill, outlinesFor()[i].path, ctx);
                ++i;
                continue;
            }
            // One fill spread over the whole view, seen through each character: the same
            // colour at every pixel whichever character shows it. Following characters with
            // the same fill are therefore drawn together: from the glyph cache as one
            // coverage, or from outlines in batches of characters whose pixels never meet,
            // each batch through one clip; the pixels are those of drawing the characters one
            // by one.
            size_t end = i + 1;
            while (end < given.size()
                && (!given[end].hasInk()
                    || (given[end].fill.drawType != 1 && given[end].fill == o.fill)))
                ++end;
            if (!masks || !fillFromMasks(ctx, given, i, end, boundsPath)) {
                for (const BezierPath& batch : pixelDisjointBatches(ctx, outlinesFor(), i, end)) {
                    platform::GStateGuard clip(ctx);
                    ctx.clipToPath(batch);
                    SZGradient::drawGradient(o.fill, boundsPath, ctx);
                }
            }
            i = end;
        }
    }
    if (given.empty())
        return;

    // The stroke and the inner shadow work on all outlines together. The stroke comes from
    // the glyph cache where it can: each glyph's stroke is a mask like its fill, and the
    // masks meet as two strokes drawn one over the other. From outlines, characters far
    // enough apart cannot touch each other's stroke, so the stroker is handed groups of
    // characters within reach of each other, on several threads: it handles a path spanning
    // the whole text many times slower than its parts. The strokes of all groups are then
    // filled as one path, which the drawing layer rasterises part by part; groups never meet,
    // so the pixels are those of stroking the whole text at once.
    //
    // A width of 0 or less strokes nothing (a negative width would otherwise stroke as its
    // magnitude).
    if (style.strokeSize > 0) {
        platform::StrokeStyle stroke;
        stroke.width = double(style.strokeSize);
        stroke.cap = platform::LineCap::Butt;
        stroke.join = platform::LineJoin::Bevel;
        stroke.miterLimit = 0.0;
        // A stroke of one colour comes from the glyph cache; it is filled over the stroke
        // clipped to itself, so its edges are covered twice over, as that clip and fill give.
        // Other stroke fills are drawn from outlines.
        const auto pieces = masks && isOneColour(style.strokeColor)
            ? piecesOf(ctx, given, 0, given.size(), stroke)
            : std::nullopt;
        platform::CoverageMask mask;
        if (pieces)
            mask = pieces->flattened(ctx.visibleDeviceRect());
        if (pieces && (!mask.isNull() || (pieces->bounds & ctx.visibleDeviceRect()).isEmpty())) {
            coverTwice(mask);
            platform::GStateGuard state(ctx);
            if (setColourOf(ctx, style.strokeColor))
                ctx.fillMask(mask);
        } else {
            const std::vector<CharacterOutline>& outlines = outlinesFor();
            const auto groups = groupsWithin(outlines, stroke.width + 2.0);
            std::vector<BezierPath> strokes(groups.size());
            platform::parallelFor(
                int(groups.size()), long(groups.size()), kParallelStrokeGroups, [&](int i) {
                    strokes[size_t(i)] = groupPath(outlines, groups[size_t(i)]).strokedPath(stroke);
                });
            BezierPath outline;
            for (const BezierPath& part : strokes)
                outline.appendPath(part);
            SZGradient::drawStrokeGradient(style.strokeColor, outline, bounds, bounds, ctx);
        }
    }

    // The inner shadow: the outlines filled source-out in a layer whose shadow is offset, so
    // only the shadow's part inside the outlines stays; the layer casts the same shadow again
    // as it is composited. Without a colour there is nothing to draw.
    if (style.innerShadowOffsetSize > 0 && style.innerShadowColor) {
        const Color sc = *style.innerShadowColor;
        const double o = double(style.innerShadowOffsetSize);
        const double a = style.innerShadowAngle * 3.141592 / 180.0;
        platform::Shadow shadow;
        shadow.offset = Size(o * std::cos(a), o * std::sin(a));
        shadow.blur = double(std::max(style.innerShadowBlurSize, 0));
        shadow.color = sc;
        ctx.fillInnerShadow(outlineCollection(outlinesFor()), shadow, sc.alpha);
    }
}
