#pragma once
// What a view that caches its drawing keeps. Internal to View's sources.
#include "platform/geometry/AffineTransform.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewDrawingCache.h"

#include <QImage>
#include <QRect>
#include <optional>

namespace platform {

struct PendingCast; // a shadow being cast ahead on other cores (ViewCachedDrawing.cpp)

struct View::CachedDrawing {
    QImage picture; // the part drawn on; null when the content drew nothing there
    QPoint pictureOrigin; // its top-left pixel, in device pixels where it was drawn
    QRect area; // device pixels the picture stands for (clear where it leaves them out)
    AffineTransform anchorToDevice; // the anchor's own space to device pixels, then
    // The shadow cast from the picture, and the transform and base scale it was put down
    // with last (what the next frame's shadow is cast for ahead of drawing).
    std::optional<CastShadow> cast;
    AffineTransform ctm;
    double baseScale = 1.0;
    qsizetype bytes = 0; // the picture's and the cast shadow's
    PendingCast* pending = nullptr; // its shadow, being cast ahead
    ViewDrawingCache::Entry entry;
};

} // namespace platform
