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
#include <memory>

namespace platform {

struct RenderArgs {
    // Render space = working space times this.
    double scale = 1.0;
    // Display renders may read bitmap sources from their cached reduced copies.
    bool usePyramid = false;
    // Set by a newer request; a render that sees it stops and reports failure.
    const std::atomic<bool>* cancel = nullptr;

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
    // was cancelled or a buffer could not be had; out is then undefined.
    virtual bool render(const RenderArgs& args, PixelTile& out) const = 0;

    // Allocates tile over r and renders this node into it.
    bool renderRect(const RenderArgs& args, const PixelRect& r, PixelTile& tile) const
    {
        return !args.cancelled() && tile.allocate(r) && render(args, tile);
    }

    // The extent in render space at scale s, cut to the pixel limits; empty when there is none.
    PixelRect pixelExtent(double s) const;
    // The render-space rectangle of r at scale s, whole pixels by rounding its edges.
    static PixelRect roundedPixels(const Rect& r, double s);
    static Rect scaledRect(const Rect& r, double s);
};

using FilterNodePtr = std::shared_ptr<const FilterNode>;

} // namespace platform
