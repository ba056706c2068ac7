#pragma once
// Operations on a path as a whole value: conversion to the path that drawing consumes, the
// system's own equality and hash, and a property-list form of dictionaries and strings.
#include "platform/graphics/BezierPath.h"

#include <QVariantMap>
#include <cstdint>
#include <optional>

// A copy of path for drawing, nullopt for a path without elements. When the last line or curve
// is not followed by a close, the current subpath is closed once more: a path ending in a
// line or curve gets its last subpath closed (earlier open subpaths stay open), and a path
// ending in move-to elements after a line or curve closes the subpath the last move began.
std::optional<platform::BezierPath> quartzPath(const platform::BezierPath& path);

// Element-wise equality with exact point comparison; only the points an element uses count.
// There are no path subclasses here, so the rule that the other object be of exactly the
// path's class reduces to: a null other is unequal.
bool isEqual(const platform::BezierPath& path, const platform::BezierPath* other);

// A hash from the element kinds and the leading decimal digit of |x| + |y| of every point, so
// that equal paths hash alike and small coordinate changes rarely change it. A zero, infinite
// or NaN sum counts as digit 0.
std::uint64_t hash(const platform::BezierPath& path);

// {"elements": [{"element": "MOVETO" | "LINETO" | "CURVETO" | "CLOSE", "point": "{x, y}",
// "control1": ..., "control2": ...}, ...]}; the strings read back to the same doubles.
QVariantMap propertyListRepresentation(const platform::BezierPath& path);

// Appends the elements that dict describes to path (which is not emptied first). Entries of
// an unknown kind, or missing or with an unreadable or non-finite point, are skipped.
void loadPropertyListRepresentation(platform::BezierPath& path, const QVariantMap& dict);
