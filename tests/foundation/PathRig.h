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

#ifdef QUILLMARK_HAVE_2GEOM
#include <2geom/path.h>
#include <2geom/pathvector.h>

namespace pathrig {

// The same outline as a lib2geom path vector, every subpath closed.
inline Geom::PathVector toGeom(const platform::BezierPath& path)
{
    Geom::PathVector out;
    Geom::Path* current = nullptr;
    const auto gp = [](const platform::Point& p) { return Geom::Point(p.x, p.y); };
    for (const platform::PathElement& e : path.elements()) {
        switch (e.kind) {
        case platform::PathElementKind::MoveTo:
            out.push_back(Geom::Path(gp(e.points[0])));
            current = &out.back();
            break;
        case platform::PathElementKind::LineTo:
            current->appendNew<Geom::LineSegment>(gp(e.points[0]));
            break;
        case platform::PathElementKind::CurveTo:
            current->appendNew<Geom::CubicBezier>(
                gp(e.points[0]), gp(e.points[1]), gp(e.points[2]));
            break;
        case platform::PathElementKind::ClosePath:
            break;
        }
    }
    for (Geom::Path& sub : out)
        sub.close(true);
    return out;
}

} // namespace pathrig
#endif
