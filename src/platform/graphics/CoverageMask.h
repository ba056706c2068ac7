#pragma once
// An 8-bit coverage plane placed in device pixels: what a fill is seen through when its shape
// comes already rasterised (glyphs from the glyph cache).
#include <QImage>
#include <QRect>

namespace platform {

struct CoverageMask {
    QPoint origin; // device pixel of the plane's top-left (y-down)
    QImage plane; // Format_Alpha8

    bool isNull() const { return plane.isNull(); }
    QRect rect() const { return QRect(origin, plane.size()); }
};

} // namespace platform
