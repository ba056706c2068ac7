#pragma once
// Paths for the path toolkit's tests: seeded random paths and their lib2geom twins.
#include "platform/graphics/BezierPath.h"

#include <cmath>
#include <random>
#include <vector>

namespace pathrig {

// How many random cases a comparison against lib2geom runs. Under the sanitizers each case
// costs tens of times more; the release run covers the full count, and a quarter of it is
// enough there to find memory and undefined-behaviour faults.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kOracleCases = 2500;
#else
inline constexpr int kOracleCases = 10000;
#endif

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

// A path of `subpaths` star-shaped outlines that neither cross themselves nor each other
// (one per cell of a grid of 50), of lines and gently bent curves, in either direction.
inline platform::BezierPath randomBlobs(std::mt19937& rng, int subpaths, int segments)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    platform::BezierPath path;
    for (int s = 0; s < subpaths; ++s) {
        const platform::Point centre(
            50.0 * (s % 3) + 25 + 2 * unit(rng), 50.0 * (s / 3) + 25 + 2 * unit(rng));
        const bool backwards = unit(rng) < 0.5;
        std::vector<platform::Point> corners;
        for (int i = 0; i < segments; ++i) {
            const double angle = 2 * M_PI * (i + 0.8 * unit(rng)) / segments * (backwards ? -1 : 1);
            const double radius = 8.0 + 12.0 * unit(rng);
            corners.push_back(centre + platform::Point(std::cos(angle), std::sin(angle)) * radius);
        }
        path.moveTo(corners[0]);
        for (int i = 0; i < segments; ++i) {
            const platform::Point a = corners[size_t(i)];
            const platform::Point b = corners[size_t((i + 1) % segments)];
            if (unit(rng) < 0.5) {
                path.lineTo(b);
            } else {
                const platform::Point n(-(b - a).y, (b - a).x);
                path.curveTo(b, a + (b - a) * 0.33 + n * (0.2 * (unit(rng) - 0.5)),
                    a + (b - a) * 0.66 + n * (0.2 * (unit(rng) - 0.5)));
            }
        }
        path.closePath();
    }
    return path;
}

// Six smooth blobs in a grid of 3 x 2 cells of 100, each a star-shaped outline of `segments`
// tangent-continuous curves that neither crosses itself nor its neighbours; the second set
// sits across the first (shifted by (50, 45)), each blob crossing two to four of the first
// set's a few times. Sampled from sines, so a blob's end misses its start by rounding.
inline platform::BezierPath smoothBlobs(int segments, bool second)
{
    platform::BezierPath path;
    path.reserve(6 * (segments + 2));
    for (int k = 0; k < 6; ++k) {
        const platform::Point centre(
            100.0 * (k % 3) + (second ? 50 : 0), 100.0 * (k / 3) + (second ? 45 : 0));
        const double phase = 0.7 * k + (second ? 2.0 : 0.0);
        const auto at = [&](double a) {
            const double r = 38.0 * (1 + 0.15 * std::sin(3 * a + phase) + 0.08 * std::sin(5 * a));
            return centre + platform::Point(std::cos(a), std::sin(a)) * r;
        };
        const auto tangent = [&](double a) {
            constexpr double h = 1e-6;
            return (at(a + h) - at(a - h)) * (1.0 / (2 * h));
        };
        const double step = 2 * M_PI / segments;
        path.moveTo(at(0));
        for (int i = 0; i < segments; ++i) {
            const double a0 = i * step;
            const double a1 = (i + 1) * step;
            path.curveTo(
                at(a1), at(a0) + tangent(a0) * (step / 3), at(a1) - tangent(a1) * (step / 3));
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

#ifdef QUILLMARK_HAVE_2GEOM
namespace pathrig {

// A lib2geom path vector back in our terms (every subpath closed).
inline platform::BezierPath fromGeom(const Geom::PathVector& paths)
{
    platform::BezierPath out;
    const auto pt = [](const Geom::Point& p) { return platform::Point(p[Geom::X], p[Geom::Y]); };
    for (const Geom::Path& sub : paths) {
        out.moveTo(pt(sub.initialPoint()));
        for (std::size_t i = 0; i < sub.size_closed(); ++i) {
            const Geom::Curve& c = sub[i];
            if (const auto* cubic = dynamic_cast<const Geom::CubicBezier*>(&c))
                out.curveTo(pt((*cubic)[3]), pt((*cubic)[1]), pt((*cubic)[2]));
            else
                out.lineTo(pt(c.finalPoint()));
        }
        out.closePath();
    }
    return out;
}

} // namespace pathrig
#endif
