#pragma once
// Boolean operations on the regions of two paths (non-zero winding, every subpath closed), by
// tracing the outline pieces between intersections that separate inside from outside.
#include "foundation/BezierPathAdditionsIntersections.h"

#include <QString>
#include <map>

enum class BooleanOp : std::int32_t { Union = 0, Intersection = 1, Difference = 2 };

// The outline of the region `path op other` (Difference: path without other), as closed
// subpaths running counter-clockwise around the region (y-up), clockwise around its holes.
// Paths without a region give an empty path; so does a result without area. Stretches where
// the two outlines coincide are traced from one of them only.
platform::BezierPath performBooleanOp(
    const platform::BezierPath& path, BooleanOp op, const platform::BezierPath& other);

// The signed area enclosed by the path's subpaths (each closed), positive counter-clockwise.
double signedArea(const platform::BezierPath& path);

// Subpaths and runs of elements.

// The move-tos among elements 0 .. n-2 (a trailing move-to starts nothing).
std::int64_t countSubPaths(const platform::BezierPath& path);
// Each move-to starts a new path; a path counts once it has two elements. Fewer than two
// subpaths give the path itself.
std::vector<platform::BezierPath> subPaths(const platform::BezierPath& path);
// Whether the outline runs clockwise (y-up): its signed area is not positive, so a path with
// no area (all points at one height, say) counts as clockwise.
bool isClockwise(const platform::BezierPath& path);
// Every subpath turned to run clockwise. A path without subpaths is returned as it is.
platform::BezierPath renormalizePath(const platform::BezierPath& path);

struct ElementRange {
    std::int64_t location = 0;
    std::int64_t length = 0;
};
// Appends source's elements location .. location + length (both ends included, clipped to
// the path) to path: lines and curves as they are, a close as a line to source's first
// point; move-tos are skipped, and the first element appended to an empty path becomes a
// move-to to its end point.
void appendElementsFromPath(
    platform::BezierPath& path, const platform::BezierPath& source, ElementRange range);
// Elements fromIndex .. toIndex of source (both included); when toIndex < fromIndex, from
// fromIndex to the end and then 0 .. toIndex.
void appendElementsFromPath(platform::BezierPath& path, const platform::BezierPath& source,
    std::int64_t fromIndex, std::int64_t toIndex);

// Appends the part of one element of source that an intersection cuts off: the element is
// the chosen half's segment (right: the other path's half), cut at its parameter; trailing
// appends the part after the cut, leading the part before it. A curve appends that part of
// itself; a line (or close) appends a line to its end (trailing) or to the intersection's
// location (leading). Nothing for a segment outside source. An empty path first moves to
// where the part starts.
void appendSplitElementFromPath(platform::BezierPath& path, const platform::BezierPath& source,
    const KXBezierPathIntersection* info, bool right, bool trailing);

// The path cut at every intersection on one side (right: the other path's halves), in order
// along it; the pieces of a closed subpath that meet at its start are joined. No
// intersections give the path in one piece.
std::vector<platform::BezierPath> breakApartWithIntersectionInfo(const platform::BezierPath& path,
    const std::vector<KXBezierPathIntersection>& intersections, bool right);
// Both renormalised, path cut where other crosses it.
std::vector<platform::BezierPath> dividePathWithPath(
    const platform::BezierPath& path, const platform::BezierPath& other);

// Strokes as a counted set of encoded segments ("{x,y}" with 5 decimals; each segment
// written from its smaller end), so that paths drawing the same segments in any order or
// direction compare alike.
std::map<QString, int> countedSetOfEncodedStrokeSegments(const platform::BezierPath& path);
bool strokesSimilarlyIgnoringEndcapsToPath(
    const platform::BezierPath& path, const platform::BezierPath& other);
