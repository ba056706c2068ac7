#pragma once
// Bilinear resampling between render-space tiles. Pixels outside the source tile read as
// clear, so a source tile that covers its image's extent gives correct edges.
#include "platform/geometry/AffineTransform.h"
#include "platform/imaging/PixelTile.h"

namespace platform {

class Resampler {
public:
    // The source pixels that bilinear sampling of out through outToSrc can touch.
    static PixelRect sourceRect(const PixelRect& out, const AffineTransform& outToSrc);

    // Every pixel of out becomes src sampled at outToSrc(pixel centre). outToSrc maps
    // continuous out coordinates to continuous src coordinates (pixel i spans [i, i + 1)).
    static void bilinear(const PixelTile& src, PixelTile& out, const AffineTransform& outToSrc);

private:
    static void axisAligned(const PixelTile& src, PixelTile& out, const AffineTransform& m);
    static void general(const PixelTile& src, PixelTile& out, const AffineTransform& m);
};

} // namespace platform
