#pragma once
// Colour removal's flood fill: clears a clicked colour of a picture together with every
// connected pixel of similar colour.
//
// A pixel is similar when |dR| + |dG| + |dB| between its bytes and the seed's, as stored
// (premultiplied, 0..255 each), is at most the threshold. The cleared set is what a
// 4-connected search from the seed reaches through similar pixels; a fully transparent pixel
// is never entered, but the seed itself always is, so a click always clears at least the seed.
// Alpha plays no part in the comparison, which is why the byte order of the premultiplied
// ARGB32 pixels does not matter.
//
// The work runs in two passes: the result made as a copy of the source together with a mask of
// the similar pixels (in parallel over rows), then the scanline search over that mask (one
// thread), which clears each run it reaches in the result. Same pixels at any thread count.
#include "platform/graphics/Image.h"

#include <QImage>
#include <cstdint>
#include <optional>

namespace ColourRemoval {

// The picture with the reached pixels cleared to transparent (all four bytes 0); point size =
// pixel size, pixels of its own. Nothing for a null picture, a seed outside [0, W) x [0, H), a
// threshold that is NaN or negative, or when memory runs out. Above 765 every reachable pixel
// goes. The source is never changed.
std::optional<platform::Image> fill(const platform::Image& image, int x, int y, double threshold);

// The same on a bitmap (converted to premultiplied ARGB32 when it is not); cleared, when given,
// receives the number of cleared pixels.
std::optional<QImage> fillPixels(
    const QImage& pixels, int x, int y, double threshold, std::int64_t* cleared = nullptr);

} // namespace ColourRemoval
