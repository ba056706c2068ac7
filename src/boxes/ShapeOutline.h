#pragma once
// A shape's outline built from its model: figures are closed by construction, lines, curves and
// open pen paths become the closed band of width strokeSize with their heads. Also the line
// heads, the Catmull-Rom sampling of curves and the sampled callout outline. Pure functions:
// only roundRectPoints writes to the model (the callout's tail handle and base).
#include "boxes/ShapeModel.h"
#include "boxes/UnitBoxMap.h"
#include "platform/graphics/BezierPath.h"

#include <optional>
#include <vector>

// The outline of the shape in container coordinates on the box's corners; nothing for a type
// outside 0..15. Type 1 is drawn as 0. Degenerate input (fewer than two points or samples, a
// line with equal ends) gives an empty path (a close on nothing adds no element).
std::optional<platform::BezierPath> shapePath(const ShapeModel& model, const BoxCorners& corners);

// How far a curve is pulled back at an end to make room for a head of this code at line width
// size: 0 for none, 2 size for the reverse arrow, size for the bar, 4 size otherwise (also for
// codes outside 0..8).
double radiusForEndPoint(int type, float size);

// Appends one end of a line's band, head included, to path: pt is the end point, pt1 its
// neighbour on the line. bStart begins with a move (else a line); bExpand moves the head
// beyond pt by radiusForEndPoint. Returns the head's length (0 for none and unknown codes,
// 2.3 size for the thin arrow, 3 size for the thick arrow, the pull-back otherwise). Adds
// nothing for a code outside 0..8, or when pt equals pt1 (no direction).
double startendPointPath(platform::BezierPath& path, const platform::Point& pt,
    const platform::Point& pt1, int type, float size, bool bStart, bool bExpand);

// Samples of a curve or pen path through pts (container positions, one per model point), and
// for each sample the index of the input point at which its segment starts. The two vectors
// always have equal length. Corner flags come from model.controlVals; nothing (and the log line
// "error") when their count differs from pts. Long curves are capped near 10000 samples, after
// which each segment contributes only its end point, so every input point stays in the output.
struct SplineSamples {
    std::vector<platform::Point> points;
    std::vector<int> sourceIndex;
};
// A segment whose three chords sum to d gets 2 (trunc(d) / step) + 1 samples between its ends:
// step 2 for shapes, 4 for the warp's centre line (coarser, as it is only walked by column).
std::optional<SplineSamples> splinePoints(
    const ShapeModel& model, const std::vector<platform::Point>& pts, int step = 2);

// The outline of a callout in unit-box coordinates: its rounded rectangle (radii in
// controlVals 1..4) sampled counter-clockwise from the lower end of the side u = 0, with the
// tail (tip controlVals 0, half-width 5) cut in. Writes the tail-width handle (6, only when
// the forward side cuts a point) and the tail base (7) when the model holds those entries.
std::vector<platform::Point> roundRectPoints(ShapeModel& model);
