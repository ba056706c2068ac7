#pragma once
// Bends the flat picture of a box by its perspective and its curve. Three resamplings, in order:
// a projective warp that narrows one vertical and/or one horizontal side about its middle
// (when either factor reaches 0.002), a column shift that moves every column by the height of
// the Catmull-Rom centre line through the curve points (curves of 3 points whose middle bends,
// and of more points), and, for 3 points only, a fan that rescales every row about the centre
// column so that the sides stand perpendicular to the curve's end chords.
//
// Pure: no state, safe on any thread (the matrix inverse runs on the calling thread only; the
// row loops spread over the thread pool and give the same pixels at any thread count).
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"
#include "platform/graphics/Image.h"

#include <array>
#include <optional>
#include <vector>

namespace WarpRenderer {

struct Result {
    platform::Image image; // premultiplied ARGB, point size = pixel size
    // Where the image goes, in pixels of the input measured from its bottom-left corner:
    // (0, 0, W, H) when the curve leaves the size alone, else (minX, H - maxE, newW, newH).
    platform::Rect rect;
};

// image: the flat box; curves: unit-box points (u 0..1 left to right, v a fraction of the
// height, upward); h, v: the perspective factors. Out-of-range values are held to the limits
// the editing gestures allow (factors and curve heights -1..1, u 0..1; not finite: 0).
// Nothing when the picture is null or unrasterisable, the projective map is degenerate, or the
// result would exceed kMaxImagePixels or cannot be allocated.
std::optional<Result> perspectiveCurved(
    const platform::Image& image, const std::vector<platform::Point>& curves, double h, double v);

// Where the perspective stage of a W x H picture sends the corners (0, 0), (W - 2, 0),
// (W - 2, H - 2) and (0, H - 2) (pixels, rows from the top), for factors held as above;
// nothing when the narrowed sides do not meet. Its output pixel (x, y) samples the picture at
// the inverse of that projective map.
std::optional<std::array<platform::Point, 4>> perspectiveCorners(int W, int H, double h, double v);

// The curve stage's resamplings as maps, for comparing it with other resamplers: for each
// output pixel (rows from the top, width x height), the position in the stage's input whose
// two neighbours it blends (below and above for the shift, left and right for the fan), or
// (-10, -10) where the pixel is clear.
struct SampleMap {
    int width = 0, height = 0;
    std::vector<float> x, y;
};
// The column shift reads the W x H picture the perspective stage made; the fan, for a curve of
// 3 points that has one, reads the shift's output, of its own size. Curves are held as in
// perspectiveCurved. Nothing when the curve leaves the picture as it is, or is too large.
struct CurveMaps {
    SampleMap shift;
    std::optional<SampleMap> fan;
};
std::optional<CurveMaps> curveMaps(int W, int H, const std::vector<platform::Point>& curves);

} // namespace WarpRenderer
