#pragma once
// Coverage masks of glyphs kept between draws, so that text is drawn by blending masks with
// its fill instead of rasterising every outline on every draw.
//
// A mask is keyed by the face (at its size), the glyph, the linear part of the mapping from
// the face's outline to device pixels (the transform's class: scale, rotation, shear, exact)
// and where the glyph's origin falls within a pixel, in quarters; a mask of the glyph's
// stroke also by the stroke (in the outline's units). Drawn at an origin on the
// quarter grid, a mask gives the pixels of rasterising the outline there (the same
// exact-area coverage); elsewhere the origin moves by at most an eighth of a pixel.
//
// The cache is bounded in bytes and evicts the least recently used masks. Lookups lock a
// mutex; masks are rendered outside it, so drawing threads render side by side. A glyph larger
// than kMaxSide pixels in either direction gets no mask: it is drawn from its outline.
#include "platform/geometry/AffineTransform.h"
#include "platform/graphics/BezierPath.h"
#include "platform/graphics/CoverageMask.h"

#include <QRawFont>
#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace platform {

struct GlyphMaskKey {
    QRawFont face;
    quint32 glyph = 0;
    std::array<double, 4> matrix {}; // a, b, c, d of the outline-to-device mapping
    std::uint8_t quarterX = 0, quarterY = 0;
    // The outline's stroke rather than its fill, when the width is positive.
    StrokeStyle stroke { 0.0, LineCap::Butt, LineJoin::Miter, 0.0 };

    bool operator==(const GlyphMaskKey& other) const
    {
        return glyph == other.glyph && matrix == other.matrix && quarterX == other.quarterX
            && quarterY == other.quarterY && stroke.width == other.stroke.width
            && stroke.cap == other.stroke.cap && stroke.join == other.stroke.join
            && stroke.miterLimit == other.stroke.miterLimit && face == other.face;
    }
};

// A glyph's coverage with its origin at (quarterX / 4, quarterY / 4) of pixel (0, 0): the
// plane's top-left pixel is offset from that pixel.
struct GlyphMask {
    QPoint offset;
    int width = 0, height = 0;
    std::vector<std::uint8_t> coverage; // rows packed

    size_t bytes() const { return coverage.size() + sizeof(GlyphMask); }
};

// A glyph to draw: its face and id, and its origin in user space.
struct PlacedGlyph {
    QRawFont face;
    quint32 glyph = 0;
    Point origin;
};

class GlyphCoverageCache {
public:
    static constexpr int kMaxSide = 512;
    static constexpr size_t kDefaultCapacity = size_t(48) << 20;

    explicit GlyphCoverageCache(size_t capacityBytes = kDefaultCapacity);
    GlyphCoverageCache(const GlyphCoverageCache&) = delete;
    GlyphCoverageCache& operator=(const GlyphCoverageCache&) = delete;

    // The one cache the drawing of text shares.
    static GlyphCoverageCache& shared();

    // A glyph's outline in the face's own units at its size, y-up from its origin: what a
    // mask is rendered from (and what drawing from outlines fills).
    static BezierPath outline(const QRawFont& face, quint32 glyph);

    // The mask of key, rendered when not kept; null when the glyph cannot have one (over
    // kMaxSide, a matrix that is not finite, or no memory).
    std::shared_ptr<const GlyphMask> mask(const GlyphMaskKey& key);

    // The coverage of glyphs drawn through userToDevice, as one plane over their pixels within
    // area (device space), with extra (a user-space path: underlines, strikethroughs) added.
    // With a stroke (a positive width), that of the glyphs' and extra's strokes instead.
    // Where pixels of two glyphs meet, coverages combine as drawing one over the other does
    // (a + b - ab), which is what drawing them one by one in an opaque fill gives. Glyphs are
    // placed on the quarter-pixel grid. Nothing (nullopt) when a glyph has no mask: the
    // caller draws outlines. An empty mask when nothing falls within area.
    std::optional<CoverageMask> runCoverage(const std::vector<PlacedGlyph>& glyphs,
        const BezierPath& extra, const AffineTransform& userToDevice, const QRect& area,
        const std::optional<StrokeStyle>& stroke = std::nullopt);
    // The same coverage as pieces: each glyph's mask where it lies (those meeting area), and
    // extra's coverage. What a fill of one colour goes through without a plane.
    std::optional<CoveragePieces> runPieces(const std::vector<PlacedGlyph>& glyphs,
        const BezierPath& extra, const AffineTransform& userToDevice, const QRect& area,
        const std::optional<StrokeStyle>& stroke = std::nullopt);

    size_t bytes() const;
    size_t count() const;
    size_t capacity() const { return m_capacity; }
    void setCapacity(size_t bytes);
    void clear();

private:
    struct KeyHash {
        size_t operator()(const GlyphMaskKey& key) const;
    };
    using Entry = std::pair<GlyphMaskKey, std::shared_ptr<const GlyphMask>>;
    void evictTo(size_t bytes); // with the mutex held

    mutable std::mutex m_mutex;
    std::list<Entry> m_order; // most recently used first
    std::unordered_map<GlyphMaskKey, std::list<Entry>::iterator, KeyHash> m_index;
    size_t m_bytes = 0;
    size_t m_capacity;
};

} // namespace platform
