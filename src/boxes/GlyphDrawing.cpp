#include "boxes/GlyphDrawing.h"

#include "boxes/MyViewBase.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/concurrency/Parallel.h"
#include "platform/text/TextAttributeNames.h"

#include <algorithm>
#include <cmath>

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
    for (size_t i = 0; i < n; ++i) {
        if (!inked[i])
            continue;
        for (size_t j = i + 1; j < n; ++j) {
            if (inked[j] && boxes[i].intersects(boxes[j]))
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
// pixels and grown by one, as the drawing layer keeps parts of a path apart).
std::vector<BezierPath> pixelDisjointBatches(const GraphicsContext& ctx,
    const std::vector<GlyphDrawing::CharacterOutline>& outlines, size_t first, size_t end)
{
    struct Batch {
        BezierPath path;
        std::vector<Rect> pixels;
    };
    std::vector<Batch> batches;
    for (size_t i = first; i < end; ++i) {
        const BezierPath& path = outlines[i].path;
        if (path.isEmpty())
            continue;
        const Rect pixels = ctx.convertRectToDeviceSpace(path.controlPointBounds())
                                .integral()
                                .insetBy(-1.0, -1.0);
        auto meets = [&](const Batch& b) {
            return std::any_of(b.pixels.begin(), b.pixels.end(),
                [&](const Rect& r) { return !std::isfinite(r.x()) || r.intersects(pixels); });
        };
        auto it = std::isfinite(pixels.x()) && std::isfinite(pixels.width())
            ? std::find_if_not(batches.begin(), batches.end(), meets)
            : batches.end();
        if (it == batches.end()) {
            batches.emplace_back();
            it = std::prev(batches.end());
        }
        it->path.appendPath(path);
        it->pixels.push_back(pixels);
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
    const Font& fallbackFont)
{
    std::vector<CharacterOutline> out;
    const platform::AttributedString& text = layout.text();
    const QString& s = text.string();
    const auto& glyphs = layout.glyphs();
    PendingCharacter pending;

    auto flush = [&] {
        if (pending.index < 0)
            return;
        const AttributeDictionary& a = text.attributesAt(pending.index);
        CharacterOutline o;
        o.characterIndex = pending.index;
        o.path = pending.path;
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
            if (std::isfinite(r.x()) && std::isfinite(r.y()) && r.width() > 0 && r.height() > 0)
                o.path.appendPath(rectWoundLike(r, o.path));
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

    for (const platform::LaidOutGlyph& g : glyphs) {
        const int c = g.characterIndex;
        if (c < 0 || c >= s.size() || !isDrawnCharacter(s[c].unicode()))
            continue;
        if (g.isAttachment || text.attributesAt(c).count(names::attachment))
            continue;
        BezierPath glyphPath;
        if (g.glyph != 0) {
            glyphPath = platform::TextLayout::glyphOutline(g);
            const Point p = containerToView.map(g.position);
            glyphPath.transform(AffineTransform::makeTranslation(p.x, p.y));
        }
        if (c == pending.index) {
            pending.path.appendPath(glyphPath);
            const double x0 = std::min(pending.minX, g.position.x);
            const double x1 = std::max(pending.minX + pending.advance, g.position.x + g.advance);
            pending.minX = x0;
            pending.advance = x1 - x0;
        } else {
            flush();
            pending.index = c;
            pending.path = glyphPath;
            pending.minX = g.position.x;
            pending.advance = g.advance;
            pending.baseline = g.position.y;
        }
    }
    flush();
    return out;
}

BezierPath GlyphDrawing::outlineCollection(const std::vector<CharacterOutline>& outlines)
{
    BezierPath all;
    for (const CharacterOutline& o : outlines)
        all.appendPath(o.path);
    return all;
}

void GlyphDrawing::draw(GraphicsContext& ctx, const std::vector<CharacterOutline>& outlines,
    const Rect& bounds, const Style& style)
{
    const BezierPath boundsPath = BezierPath::rect(bounds);
    {
        platform::GStateGuard state(ctx);
        for (size_t i = 0; i < outlines.size();) {
            const CharacterOutline& o = outlines[i];
            if (o.path.isEmpty() || o.fill.drawType == 1) {
                // The fill starts again in every character.
                if (!o.path.isEmpty())
                    SZGradient::drawGradient(o.fill, o.path, ctx);
                ++i;
                continue;
            }
            // One fill spread over the whole view, seen through each character: the same
            // colour at every pixel whichever character shows it. Following characters with
            // the same fill are therefore drawn together, in batches of characters whose
            // pixels never meet, each batch through one clip; the pixels are those of drawing
            // the characters one by one.
            size_t end = i + 1;
            while (end < outlines.size()
                && (outlines[end].path.isEmpty()
                    || (outlines[end].fill.drawType != 1 && outlines[end].fill == o.fill)))
                ++end;
            for (const BezierPath& batch : pixelDisjointBatches(ctx, outlines, i, end)) {
                platform::GStateGuard clip(ctx);
                ctx.clipToPath(batch);
                SZGradient::drawGradient(o.fill, boundsPath, ctx);
            }
            i = end;
        }
    }
    if (outlines.empty())
        return;

    // The stroke and the inner shadow work on all outlines together. Characters far enough
    // apart cannot touch each other's stroke, so the stroker is handed groups of characters
    // within reach of each other, on several threads: it handles a path spanning the whole
    // text many times slower than its parts. The strokes of all groups are then filled as one
    // path, which the drawing layer rasterises part by part; groups never meet, so the pixels
    // are those of stroking the whole text at once.
    //
    // A width of 0 or less strokes nothing (a negative width would otherwise stroke as its
    // magnitude).
    if (style.strokeSize > 0) {
        platform::StrokeStyle stroke;
        stroke.width = double(style.strokeSize);
        stroke.cap = platform::LineCap::Butt;
        stroke.join = platform::LineJoin::Bevel;
        stroke.miterLimit = 0.0;
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
        ctx.fillInnerShadow(outlineCollection(outlines), shadow, sc.alpha);
    }
}
