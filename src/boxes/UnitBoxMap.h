#pragma once
// The map between unit-box coordinates (u, v) and positions on a box's four-corner outline:
// (0,0) is p0 (the frame origin), (1,0) p1, (1,1) p2, (0,1) p3 (GetFourPoints with gap 0).
// Every part that places a unit point on a box, or reads one back from a pointer position,
// goes through these so that results agree everywhere.
#include "platform/geometry/Point.h"

#include <array>

using BoxCorners = std::array<platform::Point, 4>;

// The corners p0..p3 out of GetFourPoints' eight points.
BoxCorners boxCorners(const std::array<platform::Point, 8>& fourPoints);

// Bilinear point T + v (B - T), T = p0 + u (p1 - p0), B = p3 + u (p2 - p3), in double precision;
// values outside 0..1 extrapolate.
platform::Point calcPoints(const BoxCorners& corners, double u, double v);
// The same after rounding u and v to single precision (unit points are stored as such).
platform::Point calcPoints(const BoxCorners& corners, const platform::Point& unit);

// The unit-box coordinates of a container position, in single precision: signed distances from
// the left and top edges' lines over the edge lengths (a zero-length edge counts as 1).
platform::Point reversePoint(const BoxCorners& corners, const platform::Point& pt);
