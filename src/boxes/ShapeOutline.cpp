#include "boxes/ShapeOutline.h"

#include "boxes/BoxesLogging.h"
#include "foundation/CMyLine.h"

#include <algorithm>
#include <array>
#include <cmath>

using platform::BezierPath;
using platform::FloatPoint;
using platform::Point;

namespace {

constexpr double kPi = 3.141592;
// Cubic bezier factor of a quarter circle, and the ellipse's control offsets 0.5 +- 0.5 k.
constexpr float kArc = 0.5522848f;
constexpr double kEllipseA = 0.7761423587799072;
constexpr double kEllipseB = 0.22385761141777039;
// Beyond this many samples a curve gets only its input points (bounded work on huge paths).
constexpr std::size_t kSampleCap = 10000;

// A float converted to int only once it is known to fit: NaN reads as 0.
int clampToInt(double v, int lo, int hi)
{
    if (!(v == v))
        return 0;
    return int(std::clamp(v, double(lo), double(hi)));
}

float floatDistance(const Point& a, const Point& b)
{
    return std::hypot(float(a.x - b.x), float(a.y - b.y));
}

bool sameFloatPoint(const Point& a, const Point& b)
{
    return FloatPoint(a) == FloatPoint(b);
}

// One end of a line in single precision: E the end, u the unit direction out of the line,
// r = (u.y, -u.x) its right-hand normal; (a, b) stands for E + a u + b r, shifted by D.
struct HeadFrame {
    float ex, ey, ux, uy, dx, dy;

    Point at(float a, float b) const
    {
        const float x = ex + a * ux + b * uy;
        const float y = ey + a * uy - b * ux;
        return { double(x + dx), double(y + dy) };
    }
};

} // namespace

double radiusForEndPoint(int type, float size)
{
    switch (type) {
    case shape::NoHead:
        return 0.0;
    case shape::ReverseArrowHead:
        return double(2.0f * size);
    case shape::BarHead:
        return double(size);
    default:
        return double(4.0f * size);
    }
}

double startendPointPath(BezierPath& path, const Point& pt, const Point& pt1, int type, float size,
    bool bStart, bool bExpand)
{
    if (type < shape::NoHead || type > shape::BarHead)
        return 0.0;
    const FloatPoint e(pt);
    const FloatPoint n(pt1);
    const float vx = e.x - n.x;
    const float vy = e.y - n.y;
    const float len = std::sqrt(vx * vx + vy * vy);
    if (len == 0.0f)
        return 0.0; // no direction: the head is skipped
    const float ux = vx / len;
    const float uy = vy / len;
    const float pullBack = float(radiusForEndPoint(type, size));
    const float shift = bExpand ? pullBack : 0.0f;
    const HeadFrame f { e.x, e.y, ux, uy, shift * ux, shift * uy };

    const float s = size;
    const float h = s / 2.0f;
    bool first = true;
    auto add = [&](float a, float b) {
        const Point p = f.at(a, b);
        if (first && bStart)
            path.moveTo(p);
        else
            path.lineTo(p);
        first = false;
    };

    switch (type) {
    case shape::NoHead:
        add(0.0f, h);
        add(0.0f, -h);
        return 0.0;
    case shape::ArrowHead:
        add(-4.0f * s, h);
        add(-4.0f * s, 2.5f * s);
        add(0.0f, 0.0f);
        add(-4.0f * s, -2.5f * s);
        add(-4.0f * s, -h);
        break;
    case shape::CircleHead: {
        const float r = 2.0f * s;
        const float k = 2.0f * s + 2.0f * (-0.44771522f * s);
        const float c = -2.0f * s; // the centre, along u
        const float b = -4.0f * s; // the back
        add(b, h);
        path.curveTo(f.at(c, r), f.at(b, k), f.at(c - k, r));
        path.curveTo(f.at(0.0f, 0.0f), f.at(c + k, r), f.at(0.0f, k));
        path.curveTo(f.at(c, -r), f.at(0.0f, -k), f.at(c + k, -r));
        path.curveTo(f.at(b, -h), f.at(c - k, -r), f.at(b, -k));
        break;
    }
    case shape::DiamondHead:
        add(-4.0f * s, h);
        add(-2.0f * s, 2.0f * s);
        add(0.0f, 0.0f);
        add(-2.0f * s, -2.0f * s);
        add(-4.0f * s, -h);
        break;
    case shape::ThinArrowHead:
        add(-2.3f * s, h);
        add(-4.6f * s, 2.2f * s);
        add(-4.0f * s, 3.0f * s);
        add(0.0f, 0.0f);
        add(-4.0f * s, -3.0f * s);
        add(-4.6f * s, -2.2f * s);
        add(-2.3f * s, -h);
        return 2.3 * double(size);
    case shape::ThickArrowHead:
        add(-3.0f * s, h);
        add(-4.0f * s, 2.5f * s);
        add(0.0f, 0.0f);
        add(-4.0f * s, -2.5f * s);
        add(-3.0f * s, -h);
        return double(3.0f * s);
    case shape::SquareHead:
        add(-4.0f * s, h);
        add(-4.0f * s, 2.0f * s);
        add(0.0f, 2.0f * s);
        add(0.0f, -2.0f * s);
        add(-4.0f * s, -2.0f * s);
        add(-4.0f * s, -h);
        break;
    case shape::ReverseArrowHead:
        add(-2.0f * s, h);
        add(0.0f, 2.5f * s);
        add(0.0f, 0.0f);
        add(0.0f, -2.5f * s);
        add(-2.0f * s, -h);
        break;
    case shape::BarHead:
        add(-s, h);
        add(-s, 2.0f * s);
        add(0.0f, 2.0f * s);
        add(0.0f, -2.0f * s);
        add(-s, -2.0f * s);
        add(-s, -h);
        break;
    default:
        break;
    }
    return double(pullBack);
}

std::optional<SplineSamples> splinePoints(
    const ShapeModel& model, const std::vector<Point>& pts, int step)
{
    step = std::max(step, 1);
    if (pts.size() != model.controlVals.size()) {
        qCDebug(lcBoxes) << "error";
        return std::nullopt;
    }
    std::vector<Point> q = pts;
    SplineSamples out;
    if (q.empty())
        return out;
    if (q.size() == 1) {
        out.points = q;
        out.sourceIndex = { 0 };
        return out;
    }
    // The last point of a path being drawn follows the pointer: keep its tiny rubber segment out.
    if (model.isDrawing && q.size() >= 3 && floatDistance(q[q.size() - 1], q[q.size() - 2]) < 5.0f)
        q.pop_back();

    const std::size_t last = q.size() - 1;
    auto isCorner = [&](std::size_t i) { return model.controlVals[i].doubleValue() != 0.0; };
    auto add = [&](const Point& p, std::size_t source) {
        out.points.push_back(p);
        out.sourceIndex.push_back(int(source));
    };
    add(q[0], 0);

    std::size_t i = 0;
    while (i < last) {
        std::size_t j = i + 1;
        while (j < last && !isCorner(j))
            ++j;
        for (std::size_t k = i; k < j; ++k) {
            const Point& p0 = k > i + 1 ? q[k - 1] : q[i];
            const Point& p1 = q[k];
            const Point& p2 = k + 1 < j ? q[k + 1] : q[j];
            const Point& p3 = k + 2 < j ? q[k + 2] : q[j];
            // Past the cap a segment keeps only its end point, so the curve still ends where
            // it should.
            if (out.points.size() <= kSampleCap) {
                const float d
                    = floatDistance(p1, p0) + floatDistance(p2, p1) + floatDistance(p3, p2);
                const int n = clampToInt(d, 0, 1 << 30);
                const int steps = 2 * (n / step) + 2;
                const float dt = 1.0f / float(steps);
                for (int s = 1; s < steps; ++s) {
                    const float t = float(s) * dt;
                    const float t2 = t * t;
                    const float t3 = t2 * t;
                    auto coord = [&](double a, double b, double c, double e) {
                        return 0.5
                            * (2.0 * b + (c - a) * t + (2.0 * a - 5.0 * b + 4.0 * c - e) * t2
                                + (3.0 * b - a - 3.0 * c + e) * t3);
                    };
                    add({ coord(p0.x, p1.x, p2.x, p3.x), coord(p0.y, p1.y, p2.y, p3.y) }, k);
                    if (out.points.size() > kSampleCap)
                        break;
                }
            }
            add(p2, k + 1);
        }
        i = j;
    }
    return out;
}

std::vector<Point> roundRectPoints(ShapeModel& model)
{
    // Radii below 0 (or not numbers) would run the sides' loops away from their ends.
    auto radius = [&](int i) {
        const float r = float(model.valueAt(std::size_t(i)).doubleValue());
        return r > 0.0f ? r : 0.0f;
    };
    const float r1 = radius(shape::CalloutRadius0);
    const float r2 = radius(shape::CalloutRadius0 + 1);
    const float r3 = radius(shape::CalloutRadius0 + 2);
    const float r4 = radius(shape::CalloutRadius0 + 3);

    std::vector<Point> outline;
    auto arc = [&](float cx, float cy, float r, int start) {
        if (!(r > 0.001f))
            return;
        for (int a = 0; a <= 88; a += 2) {
            const double rad = double(float(start + a)) * kPi / 180.0;
            outline.push_back(
                { double(cx) + double(r) * std::cos(rad), double(cy) + double(r) * std::sin(rad) });
        }
    };
    constexpr float kStep = 0.02f;
    auto sideUp = [&](float from, float to, auto point) {
        for (float t = from; t < to; t += kStep)
            outline.push_back(point(t));
    };
    auto sideDown = [&](float from, float to, auto point) {
        for (float t = from; t > to; t -= kStep)
            outline.push_back(point(t));
    };
    auto onBottom = [](float t) { return Point(double(t), 0.0); };
    auto onRight = [](float t) { return Point(1.0, double(t)); };
    auto onTop = [](float t) { return Point(double(t), 1.0); };
    auto onLeft = [](float t) { return Point(0.0, double(t)); };

    arc(r1, r1, r1, 180);
    sideUp(r1, 1.0f - r2, onBottom);
    arc(1.0f - r2, r2, r2, 270);
    sideUp(r2, 1.0f - r3, onRight);
    arc(1.0f - r3, 1.0f - r3, r3, 0);
    sideDown(1.0f - r3, r4, onTop);
    arc(r4, 1.0f - r4, r4, 90);
    sideDown(1.0f - r4, r1, onLeft);

    const Point tip = model.valueAt(shape::CalloutTip).pointValue();
    const CMyLine tail { FloatPoint(tip), FloatPoint(0.5f, 0.5f) };
    std::size_t k = 0;
    Point base;
    float best = 3.0f;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        int inside = 0;
        const float d = tail.DistanceToPoint(FloatPoint(outline[i]), &inside);
        if (inside && d < best) {
            best = d;
            k = i;
            base = outline[i];
        }
    }
    auto write = [&](int index, const Point& p) {
        if (std::size_t(index) < model.controlVals.size())
            model.controlVals[std::size_t(index)] = ControlValue(p);
    };
    write(shape::CalloutBase, base);
    if (outline.empty())
        return outline;

    const std::size_t count = outline.size();
    std::vector<char> removed(count, 0);
    if (count >= 2) {
        const float halfWidth = float(model.valueAt(shape::CalloutHalfWidth).doubleValue());
        for (std::size_t step = 1; step < count; ++step) {
            const std::size_t i = (k + step) % count;
            if (!(floatDistance(outline[i], base) < halfWidth))
                break;
            removed[i] = 1;
            write(shape::CalloutWidthHandle, outline[i]);
        }
        for (std::size_t step = 1; step < count; ++step) {
            const std::size_t i = (k + count - step) % count;
            if (!(floatDistance(outline[i], base) < halfWidth))
                break;
            removed[i] = 1;
        }
    }
    outline[k] = tip;
    std::vector<Point> kept;
    kept.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        if (!removed[i])
            kept.push_back(outline[i]);
    return kept;
}

namespace {

// Builds one outline on the box's corners; Q is the double map, Qf the single-precision one.
class OutlineBuilder {
public:
    OutlineBuilder(const ShapeModel& model, const BoxCorners& corners)
        : m(model)
        , c(corners)
    {
    }

    BezierPath build(int type);

private:
    Point Q(double u, double v) const { return calcPoints(c, u, v); }
    Point mid(const Point& a, const Point& b) const
    {
        return { (a.x + b.x) / 2.0, (a.y + b.y) / 2.0 };
    }
    // Move to the first point, line to the others (each mapped through map).
    template <class Range, class Map = Point (*)(const Point&)>
    void polygon(
        const Range& pts, Map map = [](const Point& p) { return p; })
    {
        path.reserve(
            path.elementCount() + int(std::min<std::size_t>(std::size(pts), 1u << 28)) + 1);
        bool first = true;
        for (const Point& p : pts) {
            if (first)
                path.moveTo(map(p));
            else
                path.lineTo(map(p));
            first = false;
        }
    }
    void polygon(std::initializer_list<Point> pts) { polygon<std::initializer_list<Point>>(pts); }
    void roundedRect();
    void ellipse();
    void rightBlockArrow();
    void doubleBlockArrow();
    void regularPolygon(bool star);
    void straightLine();
    void curve();
    void band(const std::vector<Point>& samples, std::size_t first, std::size_t n, float s);
    void interiorOffset(const Point& before, const Point& at, const Point& after, float h);

    const ShapeModel& m;
    const BoxCorners& c;
    BezierPath path;
};

void OutlineBuilder::roundedRect()
{
    // Radii above 0.5 are drawn as 0.5; below 0 (or not a number, from a bad record) as 0.
    float r[4];
    for (int i = 0; i < 4; ++i) {
        const float v = float(m.valueAt(std::size_t(i)).doubleValue());
        r[i] = v > 0.0f ? std::min(0.5f, v) : 0.0f;
    }
    auto q = [&](float u, float v) { return Q(double(u), double(v)); };
    const float k = kArc;
    path.moveTo(q(r[0], 0.0f));
    path.lineTo(q(1.0f - r[1], 0.0f));
    path.curveTo(q(1.0f, r[1]), q(1.0f - r[1] + k * r[1], 0.0f), q(1.0f, r[1] - k * r[1]));
    path.lineTo(q(1.0f, 1.0f - r[2]));
    path.curveTo(
        q(1.0f - r[2], 1.0f), q(1.0f, 1.0f - r[2] + k * r[2]), q(1.0f - r[2] + k * r[2], 1.0f));
    path.lineTo(q(r[3], 1.0f));
    path.curveTo(q(0.0f, 1.0f - r[3]), q(r[3] - k * r[3], 1.0f), q(0.0f, 1.0f - r[3] + k * r[3]));
    path.lineTo(q(0.0f, r[0]));
    path.curveTo(q(r[0], 0.0f), q(0.0f, r[0] - k * r[0]), q(r[0] - k * r[0], 0.0f));
}

void OutlineBuilder::ellipse()
{
    const double a = kEllipseA;
    const double b = kEllipseB;
    path.moveTo(Q(0.5, 0.0));
    path.lineTo(Q(0.5, 0.0));
    path.curveTo(Q(1.0, 0.5), Q(a, 0.0), Q(1.0, b));
    path.lineTo(Q(1.0, 0.5));
    path.curveTo(Q(0.5, 1.0), Q(1.0, a), Q(a, 1.0));
    path.lineTo(Q(0.5, 1.0));
    path.curveTo(Q(0.0, 0.5), Q(b, 1.0), Q(0.0, a));
    path.lineTo(Q(0.0, 0.5));
    path.curveTo(Q(0.5, 0.0), Q(0.0, b), Q(b, 0.0));
}

void OutlineBuilder::rightBlockArrow()
{
    const Point handle = m.pointAt(0);
    const double a = handle.x;
    const double b = std::min(0.5, handle.y);
    polygon({ Q(0.0, 1.0 - b), Q(0.0, b), Q(a, b), Q(a, 0.0), Q(1.0, 0.5), Q(a, 1.0), Q(a, 1.0 - b),
        Q(0.0, 1.0 - b) });
}

void OutlineBuilder::doubleBlockArrow()
{
    const Point handle = m.pointAt(0);
    const double a = std::min(0.5, handle.x);
    const double b = std::min(0.5, handle.y);
    polygon({ Q(a, 1.0), Q(0.0, 0.5), Q(a, 0.0), Q(a, b), Q(1.0 - a, b), Q(1.0 - a, 0.0),
        Q(1.0, 0.5), Q(1.0 - a, 1.0), Q(1.0 - a, 1.0 - b), Q(a, 1.0 - b) });
}

void OutlineBuilder::regularPolygon(bool star)
{
    const int count = clampToInt(m.valueAt(0).doubleValue(), -1, 101);
    if (count <= 0)
        return;
    const int n = std::min(count, 100);
    float ratio = 0.0f;
    if (star) {
        ratio = float(m.valueAt(1).doubleValue());
        if (!(ratio >= 0.01f))
            ratio = 0.01f;
    }
    auto vertex = [&](float degrees, double radius) {
        const double rad = double(degrees) * kPi / 180.0;
        return Q(0.5 + radius * std::cos(rad), 0.5 + radius * std::sin(rad));
    };
    const float halfStep = (360.0f / float(n)) * 0.5f;
    for (int i = 0; i < n; ++i) {
        const float theta = float(i * 360) / float(n) + 90.0f;
        const Point outer = vertex(theta, 0.5);
        if (i == 0)
            path.moveTo(outer);
        else
            path.lineTo(outer);
        if (star)
            path.lineTo(vertex(theta + halfStep, 0.5 * double(ratio)));
    }
}

void OutlineBuilder::straightLine()
{
    const Point s = Q(m.pointAt(0).x, m.pointAt(0).y);
    const Point e = Q(m.pointAt(1).x, m.pointAt(1).y);
    if (m.points.size() < 2 || sameFloatPoint(s, e))
        return; // no direction for the band
    const float size = float(m.strokeSize);
    startendPointPath(path, s, e, m.startType, size, true, false);
    startendPointPath(path, e, s, m.endType, size, false, false);
}

// The point at half the band width right of the chord before -> after, at `at`.
void OutlineBuilder::interiorOffset(
    const Point& before, const Point& at, const Point& after, float h)
{
    if (sameFloatPoint(before, after))
        return; // the chord has no direction
    const CMyLine chord { FloatPoint(before), FloatPoint(after) };
    FloatPoint right;
    chord.Perpendicular(FloatPoint(at)).PointsAtDistance(FloatPoint(at), h, nullptr, &right);
    path.lineTo(right.toPoint());
}

void OutlineBuilder::curve()
{
    if (m.points.size() < 2)
        return;
    std::vector<Point> mapped;
    mapped.reserve(m.points.size());
    for (const Point& p : m.points)
        mapped.push_back(Q(p.x, p.y));
    const std::optional<SplineSamples> sampled = splinePoints(m, mapped);
    if (!sampled || sampled->points.size() < 2)
        return;
    const std::vector<Point>& samples = sampled->points;
    if (m.endType == shape::ClosedPath) {
        polygon(samples);
        return;
    }

    // Pull the ends back where the heads will stand.
    const float s = float(m.strokeSize);
    const Point F = samples.front();
    const Point G = samples.back();
    std::size_t first = 0;
    std::size_t n = samples.size();
    auto within = [](const Point& p, const Point& end, double pullBack) {
        const float d = std::hypot(float(p.x) - float(end.x), float(p.y) - float(end.y));
        return double(d) < pullBack;
    };
    const double ls = radiusForEndPoint(m.startType, s);
    if (ls > 0.001)
        while (n > 0 && within(samples[first], F, ls)) {
            ++first;
            --n;
        }
    const double le = radiusForEndPoint(m.endType, s);
    if (le > 0.001)
        while (n > 0 && within(samples[first + n - 1], G, le))
            --n;

    if (n == 1) {
        // Only the start head is left, pointing along the untrimmed curve.
        std::size_t j = 1;
        while (j < samples.size() && sameFloatPoint(samples[j], F))
            ++j;
        if (j < samples.size())
            startendPointPath(path, F, samples[j], m.startType, s, true, false);
        return;
    }
    if (n >= 2)
        band(samples, first, n, s);
}

void OutlineBuilder::band(const std::vector<Point>& all, std::size_t first, std::size_t n, float s)
{
    const Point* sample = all.data() + first;
    // A head whose neighbour coincides with its end takes the nearest distinct sample instead.
    std::size_t startNext = 1;
    while (startNext < n && sameFloatPoint(sample[startNext], sample[0]))
        ++startNext;
    if (startNext == n)
        return; // every sample coincides: nothing has a direction
    std::size_t endPrev = n - 2;
    while (endPrev > 0 && sameFloatPoint(sample[endPrev], sample[n - 1]))
        --endPrev;

    if (n == 2) {
        startendPointPath(path, sample[0], sample[1], m.startType, s, true, false);
        startendPointPath(path, sample[1], sample[0], m.endType, s, false, true);
        return;
    }
    const float h = s / 2.0f;
    // Two offsets per interior sample and a few points per head.
    path.reserve(int(std::min<std::size_t>(2 * n + 32, std::size_t(1) << 28)));
    startendPointPath(path, sample[0], sample[startNext], m.startType, s, true, true);
    for (std::size_t i = 1; i + 1 < n; ++i)
        interiorOffset(sample[i - 1], sample[i], sample[i + 1], h);
    startendPointPath(path, sample[n - 1], sample[endPrev], m.endType, s, false, true);
    for (std::size_t i = n - 2; i >= 1; --i)
        interiorOffset(sample[i + 1], sample[i], sample[i - 1], h);
}

BezierPath OutlineBuilder::build(int type)
{
    const Point& p0 = c[0];
    const Point& p1 = c[1];
    const Point& p2 = c[2];
    const Point& p3 = c[3];
    switch (type) {
    case shape::Line:
    case shape::ArrowLine:
        straightLine();
        break;
    case shape::Curve:
    case shape::PenPath:
        curve();
        break;
    case shape::Rectangle:
        polygon({ p0, p1, p2, p3 });
        break;
    case shape::RoundedRectangle:
        roundedRect();
        break;
    case shape::Ellipse:
        ellipse();
        break;
    case shape::IsoscelesTriangle:
        polygon({ mid(p3, p2), p0, p1 });
        break;
    case shape::RightTriangle:
        polygon({ p3, p0, p1 });
        break;
    case shape::RightBlockArrow:
        rightBlockArrow();
        break;
    case shape::DoubleBlockArrow:
        doubleBlockArrow();
        break;
    case shape::Diamond:
        polygon({ mid(p3, p2), mid(p3, p0), mid(p0, p1), mid(p1, p2) });
        break;
    case shape::OvalCallout:
    case shape::RoundedBoxCallout:
        polygon(m.points, [this](const Point& p) { return calcPoints(c, p); });
        break;
    case shape::RegularPolygon:
        regularPolygon(false);
        break;
    case shape::Star:
        regularPolygon(true);
        break;
    default:
        break;
    }
    path.closePath();
    return path;
}

} // namespace

std::optional<BezierPath> shapePath(const ShapeModel& model, const BoxCorners& corners)
{
    if (model.shapeType < shape::Line || model.shapeType > shape::PenPath)
        return std::nullopt;
    return OutlineBuilder(model, corners).build(model.shapeType);
}
