#pragma once
// The fill editor's stop arithmetic, kept apart from the widget so that it can be checked and
// timed alone: where a click adds a stop and with which colour, how far a dragged stop may
// go, which stops a right-click removes, and how a typed angle is read.
#include "platform/geometry/Rect.h"
#include "platform/graphics/Gradient.h"

#include <QString>
#include <optional>
#include <vector>

namespace fillstops {

// The hit rectangle of the marker of a stop at location l on a bar Rw wide whose bottom edge
// is at y barY (the marker hangs below the bar).
platform::Rect markerHitRect(double l, double Rw, double barY);

// Adds a stop at t (0..1 along the bar) in location order: before the first stop it takes the
// first colour, after the last the last colour, between two it takes their linear blend at t.
// Returns the new stop's index, or nothing (and no change) when the list already holds
// Gradient::kMaxStops stops or t is not finite.
std::optional<int> addStop(std::vector<platform::GradientStop>& stops, double t);

// Moves stop k to t (clamped to 0..1) when it stays more than minGap from each neighbour; a
// move that would not is dropped, not pushed to the limit. Returns whether the stop moved.
bool moveStop(std::vector<platform::GradientStop>& stops, int k, double t, double minGap);

// Removes the stops whose markers hold p, from the highest index down, while more than two
// stops remain. Returns how many were removed.
int removeStopsAt(
    std::vector<platform::GradientStop>& stops, const platform::Point& p, double Rw, double barY);

// A typed angle: every "º" removed, the leading integer (optional sign) in whole degrees as
// typed, not brought into 0..359 (a fill keeps the angle it is given); text without a leading
// number reads 0, and magnitudes beyond int's range saturate.
int angleFromText(const QString& text);

} // namespace fillstops
