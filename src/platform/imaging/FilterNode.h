#pragma once
// One node of a filter recipe. Nodes are immutable once built and shared between images, so
// any number of threads may render the same node at once.
//
// Rendering is pulled: a node asked for a rectangle of render space works out the rectangle
// of each input it needs (its region of interest), asks the input for exactly that, and then
// computes. Render space is working space (y-up, one unit per picture pixel) times the render
// scale; a node interprets its own distances (radii, sigma, translations) in working space and
// scales them itself.
#include "platform/geometry/Rect.h"
#include "platform/imaging/PixelTile.h"

#include <atomic>
#include <functional>
#include <memory>

namespace platform {

class FilterNode;

// Tiles already rendered within one render request, for nodes that several outputs of the
// request share (the picture under the boxes is also the input of the blend over them): a
// node asked again for pixels it has rendered at the same scale reads them instead of
// recomputing the chain below it. Owned by the renderer for one output tile; a few entries.
class RenderMemo {
public:
    static constexpr int kMaxEntries = 8;

    // Remembers that tile holds node's pixels at scale (tile must outlive the memo's use).
    void add(const FilterNode* node, double scale, bool usePyramid, const PixelTile* tile)
    {
        if (m_count < kMaxEntries)
            m_entries[m_count++] = { node, scale, usePyramid, tile };
    }
    // A remembered tile of node at scale that covers r, or null.
    const PixelTile* find(
        const FilterNode* node, double scale, bool usePyramid, const PixelRect& r) const
    {
        for (int i = 0; i < m_count; ++i) {
            const Entry& e = m_entries[i];
            if (e.node == node && e.scale == scale && e.usePyramid == usePyramid
                && e.tile->rect().contains(r))
                return e.tile;
        }
        return nullptr;
    }

private:
    struct Entry {
        const FilterNode* node;
        double scale;
        bool usePyramid;
        const PixelTile* tile;
    };
    Entry m_entries[kMaxEntries] {};
    int m_count = 0;
};

struct RenderArgs {
    // Render space = working space times this.
    double scale = 1.0;
    // Display renders may read bitmap sources from their cached reduced copies.
    bool usePyramid = false;
    // Set by a newer request; a render that sees it stops and reports failure.
    const std::atomic<bool>* cancel = nullptr;
    // Pixels this request has already rendered, or null.
    const RenderMemo* memo = nullptr;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
    RenderArgs withScale(double s) const
    {
        RenderArgs a = *this;
        a.scale = s;
        return a;
    }
};

class FilterNode {
public:
    virtual ~FilterNode() = default;

    // Where the node's output may be non-clear, in working space. May be infinite.
    virtual Rect extent() const = 0;

    // Writes every pixel of out.rect() (out is allocated by the caller). False when the render
    // was cancelled or a buffer could not be had; out is then undefined. Nodes compute here;
    // they pull their inputs through renderInto, renderRect or renderShared, which first look
    // in the request's memo.
    virtual bool render(const RenderArgs& args, PixelTile& out) const = 0;

    // The node whose pixels this one passes on unchanged over r at args' scale (a crop that
    // keeps all of r), or null. The renderer files a finished tile under each such node too,
    // so that a layer built on the uncropped picture finds the picture a layer below it showed.
    virtual const FilterNode* sameOver(const RenderArgs&, const PixelRect&) const
    {
        return nullptr;
    }

    // True when every pixel of r at args' scale is known to be clear (all four values 0)
    // without rendering it: a picture's transparent part, or a blend through such a part of
    // its mask. False when not known. The renderer writes such tiles as clear directly.
    virtual bool isClear(const RenderArgs&, const PixelRect&) const { return false; }

    // True when rendering a rectangle in bands of rows at args' scale costs no more than
    // rendering it at once: every pixel comes from the input pixels at its own place (point
    // operations down to a picture drawn at its own scale), so no two bands compute the same
    // pixels. A consumer may then pull its input a few rows at a time, while they are in cache.
    virtual bool rendersRowsAlone(const RenderArgs&) const { return false; }

    // A point operation over a row of n pixels, from in to out; in may be out.
    using RowOp = std::function<void(const Px* in, Px* out, int n)>;
    // What renderInto gives, passed through op row by row. A source that keeps its pixels
    // reads them through op into out, instead of copying them there for op to rewrite.
    virtual bool renderMapped(const RenderArgs& args, PixelTile& out, const RowOp& op) const;

    // render, or a copy of the memoised pixels when the request has them.
    bool renderInto(const RenderArgs& args, PixelTile& out) const;
    // Allocates tile over r and renders this node into it.
    bool renderRect(const RenderArgs& args, const PixelRect& r, PixelTile& tile) const;
    // The pixels of r: a memoised tile covering r when the request has one (read it by
    // absolute coordinates), else scratch rendered over r. Null on failure.
    const PixelTile* renderShared(
        const RenderArgs& args, const PixelRect& r, PixelTile& scratch) const;

    // out, at args' scale, resampled bilinearly from pixels at the coarser scale `at`, which
    // renderAt makes into a tile covering every pixel the resampling reads. For renders zoomed
    // in past the detail a node needs to compute at.
    static bool renderScaledUp(const RenderArgs& args, double at, PixelTile& out,
        const std::function<bool(const RenderArgs&, PixelTile&)>& renderAt);

    // The extent in render space at scale s, cut to the pixel limits; empty when there is none.
    PixelRect pixelExtent(double s) const;
    // The render-space rectangle of r at scale s, whole pixels by rounding its edges.
    static PixelRect roundedPixels(const Rect& r, double s);
    static Rect scaledRect(const Rect& r, double s);
};

using FilterNodePtr = std::shared_ptr<const FilterNode>;

} // namespace platform
