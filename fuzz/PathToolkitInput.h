#pragma once
// What path_toolkit_fuzz does with one input, shared with the test that replays a few inputs
// without clang: the bytes are read as two paths (coordinates that may be huge, tiny, infinite
// or not numbers) and every query of the path toolkit, and the boolean operations, run on them. Any
// crash, hang or undefined behaviour is a finding; answers are only checked to be in range.
#include "CoverageInput.h"
#include "foundation/BezierPathAdditionsBooleans.h"
#include "foundation/BezierPathAdditionsGeometry.h"
#include "foundation/BezierPathAdditionsIntersections.h"

#include <cmath>
#include <cstdlib>

namespace fuzzinput {

inline platform::BezierPath readToolkitPath(detail::Reader& in, int limit)
{
    using namespace platform;
    BezierPath path;
    for (int n = 0; in.more() && n < limit; ++n) {
        const std::uint8_t kind = in.byte();
        if (kind == 0xff)
            break; // the second path starts
        switch (kind % 4) {
        case 0:
            path.moveTo(in.point());
            break;
        case 1:
            path.lineTo(in.point());
            break;
        case 2: {
            const Point a = in.point(), b = in.point(), c = in.point();
            path.curveTo(c, a, b);
            break;
        }
        case 3:
            path.closePath();
            break;
        }
    }
    return path;
}

inline void pathToolkit(const std::uint8_t* data, size_t size)
{
    using namespace platform;
    detail::Reader in { data, size };
    BezierPath a = readToolkitPath(in, 300);
    const BezierPath b = readToolkitPath(in, 300);
    a.setLineWidth(in.number());
    const Point p = in.point();

    const Winding w = getWinding(a, p);
    (void)w;
    double total = 0.0;
    lengthToSegment(a, std::int64_t(in.byte()), in.number(), &total);
    const PathLengthTable table(a);
    for (const double f : { 0.0, 0.25, 0.5, 1.0, 2.0 }) {
        const KXBezierPathPosition pos = table.segmentAndParameter(f, true);
        if (pos.segment < 0 || pos.segment > a.elementCount()
            || !(pos.parameter >= 0.0 && pos.parameter <= 1.0))
            std::abort();
        (void)getPointForPosition(a, pos);
        (void)getPointForPosition(a, f, 3.0);
        (void)getNormalForPosition(a, f);
    }
    (void)getPositionForPoint(a, p);
    (void)intersectsRect(a, Rect(p.x, p.y, in.number(), in.number()));
    const BezierPath copy = a;
    for (const BezierPath* other : std::initializer_list<const BezierPath*> { &b, &a, &copy }) {
        for (const KXBezierPathIntersection& x : allIntersectionsWithPath(a, *other)) {
            if (!(x.left.parameter >= 0.0 && x.left.parameter <= 1.0) || x.left.segment < 1
                || x.left.segment > a.elementCount())
                std::abort();
        }
    }
    for (const BooleanOp op : { BooleanOp::Union, BooleanOp::Intersection, BooleanOp::Difference })
        (void)signedArea(performBooleanOp(a, op, b));

    // Lines across the path: answers on the line and on the path's segments, or none.
    const Point q = in.point();
    Point at;
    if (intersectionWithLine(a, &at, p, q) && !at.isFinite())
        std::abort();
    KXBezierPathIntersection first;
    if (firstIntersectionWithLine(a, &first, p, q)
        && (first.left.segment < 1 || first.left.segment > a.elementCount()
            || !(first.left.parameter >= 0.0 && first.left.parameter <= 1.0)))
        std::abort();
    double u = 0.0, v = 0.0;
    if (_straightLineIntersection(&u, &v, p, q - p, b.currentPoint(), a.currentPoint() - p)
        && !(u >= -1e-9 && u <= 1.0 + 1e-9 && v >= -1e-9 && v <= 1.0 + 1e-9))
        std::abort();
    if (b.elementCount() > 0) {
        const PathElement& e = b.elementAt(b.elementCount() - 1);
        const Coefficients c = Coefficients::curve(p, e.points[0], e.points[1], e.points[2]);
        if (_curvedIntersection(&u, &v, c, q, a.currentPoint() - q)
            && !(u >= 0.0 && u <= 1.0 && v >= 0.0 && v <= 1.0))
            std::abort();
        (void)nearestCurveParameter(c, q);
    }

    // Split elements at each intersection, both sides and both parts, into one path.
    BezierPath pieces;
    for (const KXBezierPathIntersection& x : allIntersectionsWithPath(a, b))
        for (const bool right : { false, true })
            for (const bool trailing : { false, true })
                appendSplitElementFromPath(pieces, right ? b : a, &x, right, trailing);
    KXBezierPathIntersection outside;
    outside.left.segment = a.elementCount() + std::int64_t(in.byte());
    appendSplitElementFromPath(pieces, a, &outside, false, true);
    BezierPath rounded;
    AddRoundedRectToContext(rounded, Rect(p.x, p.y, in.number(), in.number()), in.number(),
        in.number(), in.number(), in.number());
    (void)isClockwise(rounded);
}

} // namespace fuzzinput
