#pragma once
// A picture as the leaf of a recipe: 8-bit premultiplied pixels with extent (0, 0, w, h).
//
// Display renders at a reduced scale read from a pyramid of 2x reductions, each made once on
// first use and kept for the life of the node (so the cost is paid by the first display
// render of a picture, never by later ones).
#include "platform/imaging/FilterNode.h"

#include <QImage>
#include <mutex>
#include <vector>

namespace platform {

class BitmapSource final : public FilterNode {
public:
    // pixels must be non-null; it is converted to premultiplied ARGB32 if needed.
    explicit BitmapSource(const QImage& pixels);

    Rect extent() const override;
    bool render(const RenderArgs& args, PixelTile& out) const override;

    const QImage& pixels() const { return m_levels.front(); }
    // Level k of the pyramid (k = 0 is the picture itself); made on first use.
    QImage level(int k) const;
    // The level a render at scale s reads: the smallest one that is still at least s.
    int levelFor(double s) const;

private:
    // Converts the pixels of level image lv (y-up rows) inside r into out.
    static void convert(const QImage& lv, const PixelRect& r, PixelTile& out);
    static QImage reduce(const QImage& lv);

    mutable std::mutex m_mutex;
    mutable std::vector<QImage> m_levels;
    int m_maxLevel = 0;
};

} // namespace platform
