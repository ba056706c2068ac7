#pragma once
// Boolean operations on the regions of two paths (non-zero winding, every subpath closed), by
// tracing the outline pieces between intersections that separate inside from outside.
#include "foundation/BezierPathAdditionsIntersections.h"

enum class BooleanOp : std::int32_t { Union = 0, Intersection = 1, Difference = 2 };

// The outline of the region `path op other` (Difference: path without other), as closed
// subpaths running counter-clockwise around the region (y-up), clockwise around its holes.
// Paths without a region give an empty path; so does a result without area. Stretches where
// the two outlines coincide are traced from one of them only.
platform::BezierPath performBooleanOp(
    const platform::BezierPath& path, BooleanOp op, const platform::BezierPath& other);

// The signed area enclosed by the path's subpaths (each closed), positive counter-clockwise.
double signedArea(const platform::BezierPath& path);
