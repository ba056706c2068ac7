#pragma once
// A picture as the leaf of a recipe: 8-bit premultiplied pixels with extent (0, 0, w, h).
//
// Display renders at a reduced scale read from a pyramid of 2x reductions. A level is made
// on first use, straight from the nearest smaller level already made (the levels between are
// made a row at a time and not kept), and kept for the life of the node: the cost is paid by
// the first display render at that level, and only the levels displayed take memory, not
// the third of the picture a whole pyramid would.
//
// A display render between two levels resamples the level; the resampled pixels of the last
// such scale are kept, made cell by cell as renders first ask for them, so that a render that
// changes only the filters above the picture (a slider drag) reads them instead of converting
// and resampling the unchanged picture again.
#include "platform/geometry/AffineTransform.h"
#include "platform/imaging/FilterNode.h"

#include <QImage>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class BitmapSource final : public FilterNode {
public:
    // pixels must be non-null; it is converted to premultiplied ARGB32 if needed.
    explicit BitmapSource(const QImage& pixels);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;
    // From the picture's clear blocks, each looked at when first asked: a painted mask is
    // mostly clear, and the blend over it need not be computed there.
    bool isClear(const RenderArgs& args, const PixelRect& r) const override;
    bool rendersRowsAlone(const RenderArgs& args) const override;
    // From the kept resampled pixels, op reads them where they lie.
    bool renderMapped(const RenderArgs& args, PixelTile& out, const RowOp& op) const override;

    const QImage& pixels() const { return m_levels.front(); }
    // Level k of the pyramid (k = 0 is the picture itself); made on first use. Each level
    // pixel is the rounded mean of the 2x2 block of the level below, made or not.
    QImage level(int k) const;
    // The level a render at scale s reads: the smallest one that is still at least s.
    int levelFor(double s) const;

private:
    struct ScaledPlane;

    // render, passing the pixels through op (when given) on their way into out.
    bool renderThrough(const RenderArgs& args, PixelTile& out, const RowOp* op) const;

    // The pixels of out resampled from level lv at toLevel (render space to the level's).
    static bool resample(const QImage& lv, const AffineTransform& toLevel, PixelTile& out);
    // The kept plane of level k at scale s, made (with no cells yet) when the last one was of
    // another level or scale; null when the plane would be too large to keep.
    std::shared_ptr<ScaledPlane> scaledPlane(int k, double s) const;
    // Converts the pixels of level image lv (y-up rows) inside r into out, each row then
    // passed through op in place when given.
    static void convert(
        const QImage& lv, const PixelRect& r, PixelTile& out, const RowOp* op = nullptr);
    // The level `steps` above lv.
    static QImage reduce(const QImage& lv, int steps);

    // Whether every pixel of block (bx, by), kClearBlock pixels square (y-up rows), is 0;
    // looked at when first asked (an opaque picture's answer is its first pixel).
    static constexpr int kClearBlock = 16;
    bool blockClear(int bx, int by) const;

    int m_blockCols = 0;
    // Per block: 0 not looked at yet, 1 clear, 2 not clear. Threads that look at the same
    // block at once find the same answer.
    std::unique_ptr<std::atomic<unsigned char>[]> m_blockState;
    mutable std::mutex m_mutex;
    mutable std::vector<QImage> m_levels; // null where not made yet; level 0 always made
    mutable std::shared_ptr<ScaledPlane> m_plane; // guarded by m_mutex
    int m_maxLevel = 0;
};

} // namespace platform
