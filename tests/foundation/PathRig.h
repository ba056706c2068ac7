#pragma once
// Paths for the path toolkit's tests: seeded random paths and their lib2geom twins.
#include "platform/graphics/BezierPath.h"

#include <random>

namespace pathrig {

// A path of `subpaths` closed subpaths of `segments` lines and curves each, points within
// [0, size]^2: crossing itself at random, as a user's drawing would.
inline platform::BezierPath randomPath(
    std::mt19937& rng, int subpaths, int segments, double size = 100.0)
{
    std::uniform_real_distribution<double> coord(0.0, size);
    std::bernoulli_distribution curve(0.5);
    const auto point = [&] { return platform::Point(coord(rng), coord(rng)); };
    platform::BezierPath path;
    for (int s = 0; s < subpaths; ++s) {
        path.moveTo(point());
        for (int i = 0; i < segments; ++i) {
            if (curve(rng)) {
                const platform::Point c1 = point();
                const platform::Point c2 = point();
                path.curveTo(point(), c1, c2);
            } else {
                path.lineTo(point());
            }
        }
        path.closePath();
    }
    return path;
}

} // namespace pathrig
