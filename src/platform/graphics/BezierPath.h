#pragma once
// A path as its own list of elements (move, line, cubic curve, close), a value with
// copy-on-write sharing: copies are cheap, and every mutator detaches first.
//
// Paths fill with the non-zero winding rule. Zero-length lines are kept as elements (they
// matter to element counts, equality and stroking with caps). bounds() is the tight bounding
// box of the outline (curve extrema solved), cached behind a dirty flag; controlPointBounds()
// is the box of every stored point.
#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"

#include <QPainterPath>
#include <array>
#include <memory>
#include <vector>

namespace platform {

enum class PathElementKind : int { MoveTo = 0, LineTo = 1, CurveTo = 2, ClosePath = 3 };

struct PathElement {
    PathElementKind kind = PathElementKind::MoveTo;
    // MoveTo and LineTo use points[0]; CurveTo uses control 1, control 2, end point in that
    // order; ClosePath uses none. Unused points are (0, 0).
    std::array<Point, 3> points {};

    int pointCount() const;
    bool operator==(const PathElement& o) const;
};

enum class LineCap { Butt = 0, Round = 1, Square = 2 };
enum class LineJoin { Miter = 0, Round = 1, Bevel = 2 };

struct StrokeStyle {
    double width = 1.0;
    LineCap cap = LineCap::Butt;
    LineJoin join = LineJoin::Miter;
    double miterLimit = 10.0;
};

class BezierPath {
public:
    BezierPath();

    static BezierPath rect(const Rect& r);
    // An ellipse inscribed in r, four curves starting at the rightmost point, counter-clockwise.
    static BezierPath oval(const Rect& r);
    static BezierPath roundedRect(const Rect& r, double xRadius, double yRadius);

    void moveTo(const Point& p);
    // A line or curve with no current point starts with an implicit move to its start.
    void lineTo(const Point& p);
    void curveTo(const Point& end, const Point& control1, const Point& control2);
    void closePath();
    // A line from the current point towards p1, then a circular arc of the given radius
    // tangent to the lines current->p1 and p1->p2 (the corner p1 is rounded). With no current
    // point the path first moves to p1; collinear points, or a radius of 0 or less, give a line
    // to p1. The arc is made of cubic curves, at most a quarter turn each.
    void appendArcFromPoint(const Point& p1, const Point& p2, double radius);
    void appendPath(const BezierPath& other);
    void appendRect(const Rect& r);
    void appendOval(const Rect& r);
    void removeAllPoints();
    // Room for this many elements in all, so that a long outline built element by element
    // allocates once.
    void reserve(int elementCount);

    int elementCount() const;
    const PathElement& elementAt(int index) const;
    const std::vector<PathElement>& elements() const;
    bool isEmpty() const { return elementCount() == 0; }
    // The end point of the last element (the start of the subpath after a close); (0, 0)
    // when empty.
    Point currentPoint() const;

    // Tight bounds of the outline; Rect() for an empty path.
    Rect bounds() const;
    Rect controlPointBounds() const;

    // The width that hit tests on the stroke use (1.0 unless set). It does not take part in
    // equality: two paths with the same elements are equal whatever their widths.
    double lineWidth() const;
    void setLineWidth(double width);

    // The same outline drawn backwards: every subpath runs from its end to its start and
    // keeps its close; the subpaths stay in their order. The line width is kept.
    [[nodiscard]] BezierPath reversed() const;

    void transform(const AffineTransform& t);
    [[nodiscard]] BezierPath transformed(const AffineTransform& t) const;

    // Non-zero winding containment.
    bool containsPoint(const Point& p) const;

    // The outline of the stroke as an area (to be filled non-zero).
    [[nodiscard]] BezierPath strokedPath(const StrokeStyle& style) const;

    // Conversion to Qt, in the same coordinates (no flip); fill rule winding.
    QPainterPath toQPainterPath() const;
    static BezierPath fromQPainterPath(const QPainterPath& path);

    // Exact element equality; see also the system's own path equality with its class rule.
    bool operator==(const BezierPath& other) const;
    // Whether the two are copies sharing one element list (the same path, not merely equal
    // elements); empty paths share nothing.
    bool sharesElementsWith(const BezierPath& other) const
    {
        return m_data && m_data == other.m_data;
    }

private:
    struct Data;
    void detach();
    double m_lineWidth = 1.0; // not shared data: setting it never copies the elements
    std::shared_ptr<Data> m_data;
};

} // namespace platform
