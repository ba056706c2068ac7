#pragma once
// Debugging aids for the path toolkit: where two paths meet, drawn and written to a picture.
#include "foundation/BezierPathAdditionsIntersections.h"

namespace platform {
class GraphicsContext;
}

// Marks every intersection of path with other in the context: a 5 x 5 dot at its location,
// yellow where the other path's entry code is 0, blue where it is 1, red otherwise, with the
// record's index beside it.
void drawIntersectionsWithPath(platform::GraphicsContext& ctx, const platform::BezierPath& path,
    const platform::BezierPath& other);

// The two paths stroked (path black, other grey) with their intersections marked, written as
// "<name>.png" into the desktop folder (see saveDesktopTestImage). False, with a warning
// logged, when there is nothing finite to draw or the picture cannot be written.
bool showIntersectionsWithPath(const platform::BezierPath& path, const platform::BezierPath& other,
    const QString& name = QStringLiteral("path-intersections"));
