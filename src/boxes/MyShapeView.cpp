#include "boxes/MyShapeView.h"

#include "boxes/BoxesLogging.h"
#include "boxes/IntConversion.h"

#include <algorithm>
#include <cmath>
#include <limits>

using platform::Color;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

// Unit coordinates a record may hold: far beyond any box, yet safe to multiply by a frame.
constexpr double kMaxUnit = 1.0e4;

ControlValue boxedFloat(double v)
{
    return ControlValue::boxedFloat(v);
}

// What a control value of a type stands for, so that a record can be checked entry by entry.
enum class Slot { Flag, Count, Number, Point };

std::vector<ControlValue> presetValues(int type)
{
    using shape::Type;
    switch (type) {
    case shape::Curve:
        return { false, false, false };
    case shape::RoundedRectangle:
        return std::vector<ControlValue>(4, boxedFloat(0.2));
    case shape::OvalCallout:
        return { Point(0.0, -0.15), boxedFloat(0.5), boxedFloat(0.5), boxedFloat(0.5),
            boxedFloat(0.5), boxedFloat(0.1), Point(), Point() };
    case shape::RoundedBoxCallout:
        return { Point(-0.15, 0.5), boxedFloat(0.1), boxedFloat(0.1), boxedFloat(0.1),
            boxedFloat(0.1), boxedFloat(0.2), Point(), Point() };
    case shape::RegularPolygon:
        return { 5 };
    case shape::Star:
        return { 5, boxedFloat(0.35) };
    case shape::PenPath:
        return { true, true };
    default:
        return {};
    }
}

std::vector<Point> presetPoints(int type)
{
    switch (type) {
    case shape::Line:
    case shape::ArrowLine:
        return { Point(0.0, 0.0), Point(1.0, 1.0) };
    case shape::Curve:
        return { Point(0.0, 0.0), Point(0.2, 0.8), Point(1.0, 1.0) };
    case shape::RightBlockArrow:
        return { Point(0.8, 0.3) };
    case shape::DoubleBlockArrow:
        return { Point(0.2, 0.3) };
    case shape::PenPath:
        return { Point(0.0, 0.0), Point(0.0, 0.0) };
    default:
        return {};
    }
}

bool isCallout(int type)
{
    return type == shape::OvalCallout || type == shape::RoundedBoxCallout;
}

bool isFigureWithoutPoints(int type)
{
    return type >= shape::Rectangle && type <= shape::Star && type != shape::RightBlockArrow
        && type != shape::DoubleBlockArrow && !isCallout(type);
}

// The slots of the fixed-length control values of a type; empty for curves and pen paths
// (one flag per point) and for types without values.
std::vector<Slot> fixedSlots(int type)
{
    switch (type) {
    case shape::RoundedRectangle:
        return std::vector<Slot>(4, Slot::Number);
    case shape::OvalCallout:
    case shape::RoundedBoxCallout:
        return { Slot::Point, Slot::Number, Slot::Number, Slot::Number, Slot::Number, Slot::Number,
            Slot::Point, Slot::Point };
    case shape::RegularPolygon:
        return { Slot::Count };
    case shape::Star:
        return { Slot::Count, Slot::Number };
    default:
        return {};
    }
}

bool fitsSlot(const ControlValue& v, Slot slot)
{
    return slot == Slot::Point ? v.isPoint() : !v.isPoint();
}

// The block arrows' handle range, as handle editing keeps it: the double arrow's heads must
// not cross.
Point clampedArrowHandle(int type, const Point& p)
{
    const double maxX = type == shape::RightBlockArrow ? 1.0 : 0.5;
    return { std::clamp(p.x, 0.0, maxX), std::clamp(p.y, 0.0, 0.5) };
}

bool clampUnit(Point& p)
{
    const Point before = p;
    p.x = std::clamp(p.x, -kMaxUnit, kMaxUnit);
    p.y = std::clamp(p.y, -kMaxUnit, kMaxUnit);
    return p == before;
}

// Repairs one record; each step notes what it mended.
class RecordRepair {
public:
    explicit RecordRepair(UNDODATA& r)
        : m_r(r)
    {
    }
    bool run();

private:
    void note(const char* what)
    {
        qCWarning(lcBoxes) << "shape record:" << what << "; repaired";
        m_ok = false;
    }
    void repairFrame();
    void repairHeads();
    void repairUnitCoordinates();
    void repairPointCount();
    void repairFlags();
    bool repairFixedValues();
    void repairValueRanges();

    UNDODATA& m_r;
    bool m_ok = true;
};

void RecordRepair::repairFrame()
{
    Size& s = m_r.frame.size;
    if (s.width < 1.0 || s.height < 1.0) {
        s.width = std::max(s.width, 1.0);
        s.height = std::max(s.height, 1.0);
        note("a frame smaller than 1 by 1");
    }
}

void RecordRepair::repairHeads()
{
    if (m_r.startType < 0 || m_r.startType > shape::BarHead) {
        m_r.startType = shape::NoHead;
        note("an unknown start head");
    }
    if (m_r.endType != shape::ClosedPath && (m_r.endType < 0 || m_r.endType > shape::BarHead)) {
        m_r.endType = shape::NoHead;
        note("an unknown end head");
    }
}

void RecordRepair::repairUnitCoordinates()
{
    bool inRange = true;
    for (Point& p : m_r.points)
        inRange = clampUnit(p) && inRange;
    for (ControlValue& v : m_r.controlVals) {
        if (!v.isPoint())
            continue;
        Point p = v.pointValue();
        if (!clampUnit(p)) {
            v = ControlValue(p);
            inRange = false;
        }
    }
    if (!inRange)
        note("unit coordinates beyond 1e4");
}

void RecordRepair::repairPointCount()
{
    const int type = m_r.shapeType;
    std::size_t wanted = 0;
    if (type == shape::Line || type == shape::ArrowLine || type == shape::RightBlockArrow
        || type == shape::DoubleBlockArrow)
        wanted = presetPoints(type).size();
    else if (!isFigureWithoutPoints(type))
        return; // curves, pen paths and callouts hold any number; unknown types are not read
    if (m_r.points.size() == wanted)
        return;
    const std::vector<Point> presets = presetPoints(type);
    const std::size_t had = m_r.points.size();
    m_r.points.resize(wanted);
    for (std::size_t i = had; i < wanted; ++i)
        m_r.points[i] = presets[i];
    note("points of the wrong count");
}

void RecordRepair::repairFlags()
{
    std::vector<ControlValue>& values = m_r.controlVals;
    if (values.size() != m_r.points.size()) {
        values.resize(m_r.points.size(), ControlValue(false));
        note("corner flags not matching the points");
    }
    bool kinds = true;
    for (ControlValue& v : values) {
        if (v.isBool())
            continue;
        const ControlValue flag(!v.isPoint() && v.doubleValue() != 0.0);
        kinds = kinds && v == flag;
        v = flag;
    }
    if (!kinds)
        note("corner flags of the wrong kind");
}

// Pads, trims and replaces entries of the wrong kind with the presets; answers whether
// anything changed.
bool RecordRepair::repairFixedValues()
{
    const int type = m_r.shapeType;
    const std::vector<Slot> wanted = fixedSlots(type);
    std::vector<ControlValue>& values = m_r.controlVals;
    if (wanted.empty()) {
        if (values.empty())
            return false;
        values.clear();
        note("control values where the type has none");
        return true;
    }
    const std::vector<ControlValue> presets = presetValues(type);
    bool changed = false;
    if (values.size() != wanted.size()) {
        const std::size_t had = values.size();
        values.resize(wanted.size());
        for (std::size_t i = had; i < wanted.size(); ++i)
            values[i] = presets[i];
        note("control values of the wrong count");
        changed = true;
    }
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (!fitsSlot(values[i], wanted[i])) {
            values[i] = presets[i];
            note("a control value of the wrong kind");
            changed = true;
        }
    }
    return changed;
}

void RecordRepair::repairValueRanges()
{
    const int type = m_r.shapeType;
    std::vector<ControlValue>& values = m_r.controlVals;
    const std::vector<Slot> wanted = fixedSlots(type);
    for (std::size_t i = 0; i < wanted.size() && i < values.size(); ++i) {
        const double d = values[i].doubleValue();
        if (wanted[i] == Slot::Count) {
            const ControlValue count(int(std::clamp(d, 0.0, 100.0)));
            if (!(count == values[i]))
                note("a count outside 0..100 or not whole");
            values[i] = count;
        } else if (wanted[i] == Slot::Number && d < 0.0
            && (type == shape::RoundedRectangle || (isCallout(type) && i >= 1 && i <= 4))) {
            values[i] = boxedFloat(0.0);
            note("a negative radius");
        }
    }
    if (type == shape::Star && values.size() > 1) {
        const double q = values[1].doubleValue();
        if (q < 0.0 || q > 1.0) {
            values[1] = boxedFloat(std::clamp(q, 0.0, 1.0));
            note("a star ratio outside 0..1");
        }
    }
    if ((type == shape::RightBlockArrow || type == shape::DoubleBlockArrow)
        && !m_r.points.empty()) {
        const Point h = clampedArrowHandle(type, m_r.points[0]);
        if (!(h == m_r.points[0])) {
            m_r.points[0] = h;
            note("a block arrow handle outside its range");
        }
    }
}

bool RecordRepair::run()
{
    if (m_r.type != UNDODATA::ShapeBox)
        return true;
    repairFrame();
    repairHeads();
    repairUnitCoordinates();
    repairPointCount();
    const int type = m_r.shapeType;
    bool rebuildOutline = false;
    if (type == shape::Curve || type == shape::PenPath)
        repairFlags();
    else if (type >= 0 && type <= shape::PenPath)
        rebuildOutline = repairFixedValues();
    repairValueRanges();
    if (isCallout(type) && (rebuildOutline || m_r.points.empty())) {
        ShapeModel model;
        model.shapeType = type;
        model.controlVals = m_r.controlVals;
        m_r.points = ::roundRectPoints(model);
        m_r.controlVals = model.controlVals;
    }
    return m_ok;
}

} // namespace

// ---- creation

MyShapeView::MyShapeView(const Rect& frame, int type)
    : MyViewBase(frame)
{
    m_model.shapeType = type;
    m_model.endType = shape::NoHead;
    m_model.startType = shape::NoHead;
    setIsEditing(false);
    m_model.isDrawing = false;
    setShadowColor(Color(0.0, 0.0, 0.0, 0.75));
    setShadowAngle(90);
    setInnerShadowColor(Color(0.0, 0.0, 0.0, 0.75));
    setInnerShadowAngle(90);
    SZGradient fill;
    fill.gradientType = SZGradient::ColorFill;
    fill.color = Color(0.0, 0.0, 1.0, 1.0);
    setOverlayColor(fill);

    m_model.points = presetPoints(type);
    m_model.controlVals = presetValues(type);
    if (type == shape::ArrowLine) {
        m_model.shapeType = shape::Line;
        m_model.endType = shape::ArrowHead;
    }
    if (isLineType(type))
        setStrokeSize(6);
    if (isCallout(type))
        m_model.points = roundRectPoints();
}

MyShapeView::~MyShapeView() = default;

const ShapeModel& MyShapeView::model() const
{
    m_model.strokeSize = strokeSize();
    return m_model;
}

bool MyShapeView::isLineType(int type)
{
    return type == shape::Line || type == shape::ArrowLine || type == shape::Curve
        || type == shape::PenPath;
}

bool MyShapeView::isOpenLine() const
{
    const int type = shapeType();
    if (type == shape::Line || type == shape::ArrowLine)
        return true;
    return (type == shape::Curve || type == shape::PenPath) && endType() != shape::ClosedPath;
}

// ---- records

UNDODATA MyShapeView::getUndoData() const
{
    UNDODATA r = MyViewBase::getUndoData();
    r.type = UNDODATA::ShapeBox;
    r.points = m_model.points;
    r.controlVals = m_model.controlVals;
    r.shapeType = m_model.shapeType;
    r.startType = m_model.startType;
    r.endType = m_model.endType;
    r.isDrawing = m_model.isDrawing;
    return r;
}

bool MyShapeView::repairRecord(UNDODATA& record)
{
    return RecordRepair(record).run();
}

void MyShapeView::setUndoData(const UNDODATA& record)
{
    UNDODATA r = record;
    r.validate();
    repairRecord(r);
    MyViewBase::setUndoData(r);
    m_model.points = std::move(r.points);
    m_model.controlVals = std::move(r.controlVals);
    m_model.shapeType = r.shapeType;
    m_model.startType = r.startType;
    m_model.endType = r.endType;
    m_model.isDrawing = r.isDrawing;
    setShadows();
}

void MyShapeView::setCopyPasteStyle(const UNDODATA& record)
{
    MyViewBase::setCopyPasteStyle(record);
    // Heads are drawn only on lines, so only a line's style carries them, and pasting never
    // closes or opens a path.
    if (record.type == UNDODATA::ShapeBox && isLineType(record.shapeType) && isLineType()) {
        if (record.startType >= 0 && record.startType <= shape::BarHead)
            setStartType(record.startType);
        if (record.endType >= 0 && record.endType <= shape::BarHead
            && endType() != shape::ClosedPath)
            setEndType(record.endType);
    }
    setShadows();
}

// ---- the unit-box map

BoxCorners MyShapeView::corners() const
{
    std::array<Point, 8> p;
    GetFourPoints(p, 0.0);
    return boxCorners(p);
}

Point MyShapeView::calcPoints(const BoxCorners& outline, const Point& pt)
{
    return ::calcPoints(outline, pt);
}

Point MyShapeView::calcPoints(const BoxCorners& outline, double x, double y)
{
    return ::calcPoints(outline, x, y);
}

Point MyShapeView::reversePoint(const BoxCorners& outline, const Point& pt)
{
    return ::reversePoint(outline, pt);
}

std::vector<Point> MyShapeView::roundRectPoints()
{
    return ::roundRectPoints(m_model);
}

std::optional<SplineSamples> MyShapeView::splinePoints(const std::vector<Point>& pts) const
{
    return ::splinePoints(model(), pts);
}

// ---- handles

namespace {

// The side-count handle of a polygon or star: three sides straight above the centre, each
// further side 20 degrees clockwise.
Point sideCountHandle(int n)
{
    const double a = (150 - 20 * n) * 3.141592 / 180.0;
    return { 0.5 + 0.4 * std::cos(a), 0.5 + 0.4 * std::sin(a) };
}

int clampedCount(const ControlValue& v, int lo, int hi)
{
    const double d = v.doubleValue();
    return std::isfinite(d) ? int(std::clamp(d, double(lo), double(hi))) : lo;
}

} // namespace

std::vector<Point> MyShapeView::controlPoints() const
{
    const ShapeModel& m = m_model;
    auto value = [&](std::size_t i) { return m.valueAt(i).doubleValue(); };
    switch (m.shapeType) {
    case shape::Line:
    case shape::ArrowLine:
        return { m.pointAt(0), m.pointAt(1) };
    case shape::Curve:
    case shape::PenPath:
        return m.points;
    case shape::RoundedRectangle:
        return { Point(value(0), 0.0), Point(1.0 - value(1), 0.0), Point(1.0 - value(2), 1.0),
            Point(value(3), 1.0) };
    case shape::RightBlockArrow:
    case shape::DoubleBlockArrow:
        return { m.pointAt(0) };
    case shape::OvalCallout:
    case shape::RoundedBoxCallout:
        return { m.valueAt(shape::CalloutTip).pointValue(), Point(value(1), 0.0),
            Point(1.0 - value(2), 0.0), Point(1.0 - value(3), 1.0), Point(value(4), 1.0),
            m.valueAt(shape::CalloutWidthHandle).pointValue() };
    case shape::RegularPolygon:
        return { sideCountHandle(clampedCount(m.valueAt(0), 3, 20)) };
    case shape::Star: {
        const int n = clampedCount(m.valueAt(0), 3, 20);
        const float q = float(std::clamp(value(1), 0.0, 1.0));
        const float b = -360.0f / float(n) * 0.5f + 90.0f;
        const double rad = double(b) * 3.141592 / 180.0;
        return { sideCountHandle(n),
            Point(0.5 + 0.5 * double(q) * std::cos(rad), 0.5 + 0.5 * double(q) * std::sin(rad)) };
    }
    default:
        return {};
    }
}

QString MyShapeView::modifyControlPoint(int idx, const Point& pt, bool bAlt)
{
    switch (shapeType()) {
    case shape::Line:
    case shape::ArrowLine:
    case shape::Curve:
    case shape::PenPath:
        return moveLinePoint(idx, pt);
    case shape::RoundedRectangle:
        return setCornerRadii(0, idx, pt, bAlt);
    case shape::OvalCallout:
    case shape::RoundedBoxCallout:
        return moveCalloutHandle(idx, pt, bAlt);
    case shape::RightBlockArrow:
    case shape::DoubleBlockArrow: {
        const Point h = clampedArrowHandle(shapeType(), pt);
        if (m_model.points.empty())
            m_model.points.push_back(h);
        else
            m_model.points[0] = h;
        return QString();
    }
    case shape::RegularPolygon:
        return setSideCount(pt);
    case shape::Star: {
        if (idx == 0)
            return setSideCount(pt);
        if (m_model.controlVals.size() < 2)
            return QString();
        const float r = hypotf(float(pt.x - 0.5), float(pt.y - 0.5));
        const float q = std::isfinite(r) ? std::clamp(2.0f * r, 0.0f, 1.0f) : 1.0f;
        m_model.controlVals[1] = boxedFloat(q);
        return QString::asprintf("Radius: %d%%", int(q * 100.0f));
    }
    default:
        return QString();
    }
}

QString MyShapeView::moveLinePoint(int idx, const Point& pt)
{
    std::vector<Point>& points = m_model.points;
    const BoxCorners c = corners();
    std::vector<Point> positions;
    positions.reserve(points.size());
    for (const Point& p : points)
        positions.push_back(::calcPoints(c, p));

    const int n = int(points.size());
    if (idx >= 0 && idx < n) {
        const Point target = ::calcPoints(c, pt);
        auto place = [&](int i) {
            positions[size_t(i)] = target;
            points[size_t(i)] = pt;
        };
        place(idx);
        // A closed path keeps its first and last point together.
        if (endType() == shape::ClosedPath) {
            if (idx == 0)
                place(n - 1);
            else if (idx == n - 1)
                place(0);
        }
    }

    double minU = 0.0, maxU = 0.0, minV = 0.0, maxV = 0.0;
    auto widen = [&](const Point& p, bool first) {
        minU = first ? p.x : std::min(minU, p.x);
        maxU = first ? p.x : std::max(maxU, p.x);
        minV = first ? p.y : std::min(minV, p.y);
        maxV = first ? p.y : std::max(maxV, p.y);
    };
    for (std::size_t i = 0; i < points.size(); ++i)
        widen(points[i], i == 0);
    // The drawn curve bulges beyond its points; the box is to hold all of it.
    if (shapeType() == shape::Curve || shapeType() == shape::PenPath) {
        if (const auto samples = splinePoints(positions)) {
            for (const Point& s : samples->points)
                widen(::reversePoint(c, s), false);
        }
    }

    const Size old = frame().size;
    const Point origin = ::calcPoints(c, Point(minU, minV));
    setFrameSize(
        Size(std::max((maxU - minU) * old.width, 1.0), std::max((maxV - minV) * old.height, 1.0)));
    setFrameOrigin(origin);

    // The points keep their places on the canvas while the box now fits them.
    const BoxCorners fitted = corners();
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = ::reversePoint(fitted, positions[i]);
    return QString();
}

QString MyShapeView::setCornerRadii(int first, int idx, const Point& pt, bool bAlt)
{
    const int corner = idx - first;
    if (corner < 0 || corner > 3 || m_model.controlVals.size() < size_t(first + 4))
        return QString();
    const double a = (corner == 1 || corner == 2) ? 1.0 - pt.x : pt.x;
    float r = float(std::isfinite(a) ? std::clamp(a, -1.0e6, 1.0e6) : 0.0);
    // A handle dragged past the middle of its side measures from the nearer corner.
    if (r > 0.5f)
        r = 1.0f - r;
    r = std::clamp(r, 0.0f, 0.5f);
    if (bAlt) {
        m_model.controlVals[size_t(idx)] = boxedFloat(r);
    } else {
        for (int i = first; i < first + 4; ++i)
            m_model.controlVals[size_t(i)] = boxedFloat(r);
    }
    return QString::asprintf("Radius: %dpx", truncToInt(double(r) * frame().width()));
}

QString MyShapeView::moveCalloutHandle(int idx, const Point& pt, bool bAlt)
{
    std::vector<ControlValue>& values = m_model.controlVals;
    if (values.size() < shape::CalloutValueCount)
        return QString();
    QString hint;
    if (idx == shape::CalloutTip) {
        // The tail's tip stays outside the box.
        if (pt.x > 0.0 && pt.x < 1.0 && pt.y > 0.0 && pt.y < 1.0)
            return QString();
        values[shape::CalloutTip] = ControlValue(pt);
    } else if (idx >= 1 && idx <= 4) {
        hint = setCornerRadii(1, idx, pt, bAlt);
    } else if (idx == 5) {
        const Point b = values[shape::CalloutBase].pointValue();
        values[shape::CalloutHalfWidth] = boxedFloat(hypotf(float(pt.x - b.x), float(pt.y - b.y)));
    }
    m_model.points = roundRectPoints();
    return hint;
}

QString MyShapeView::setSideCount(const Point& pt)
{
    if (m_model.controlVals.empty())
        return QString();
    // The angle of pt about the centre, from straight up, growing clockwise.
    float d = atan2f(float(pt.x - 0.5), float(pt.y - 0.5)) * 180.0f / 3.141592f;
    if (d < 0.0f)
        d += 360.0f;
    if (d > 360.0f)
        d -= 360.0f;
    const int k = truncToInt(double(d));
    const int n = k <= 9 ? 3 : 3 + std::min((k + 10) / 20, 17);
    m_model.controlVals[0] = ControlValue(n);
    return QString::asprintf("Sides: %d", n);
}

// ---- corner radii

void MyShapeView::setRoundRectRadius(int idx, int val, bool bAlt)
{
    const int type = shapeType();
    if (type != shape::RoundedRectangle && !isCallout(type))
        return;
    const double width = frame().width();
    if (!(width >= 1.0)) {
        qCWarning(lcBoxes) << "setRoundRectRadius: the box has no width; ignored";
        return;
    }
    const int first = type == shape::RoundedRectangle ? 0 : 1;
    if (m_model.controlVals.size() < size_t(first + 4) || (bAlt && (idx < 0 || idx > 3)))
        return;
    // The fraction is drawn along both sides of the unit box: above 0.5 the arcs of one side
    // overlap and the outline loses its straight sides; below 0 the corner bulges out.
    const ControlValue f = boxedFloat(std::clamp(double(val) / width, 0.0, 0.5));
    if (bAlt) {
        m_model.controlVals[size_t(first + idx)] = f;
    } else {
        for (int i = first; i < first + 4; ++i)
            m_model.controlVals[size_t(i)] = f;
    }
    if (isCallout(type))
        m_model.points = roundRectPoints();
}

std::array<int, 4> MyShapeView::getRoundRectRadius() const
{
    std::array<int, 4> radii { -1, -1, -1, -1 };
    const int type = shapeType();
    if (type != shape::RoundedRectangle && !isCallout(type))
        return radii;
    const int first = type == shape::RoundedRectangle ? 0 : 1;
    for (int i = 0; i < 4; ++i)
        radii[size_t(i)]
            = truncToInt(m_model.valueAt(size_t(first + i)).doubleValue() * frame().width() + 0.5);
    return radii;
}

// ---- bounds

Rect MyShapeView::drawnBounds() const
{
    // The box as the warp capture sees it: turned back to 0 about its centre.
    std::array<Point, 8> p;
    GetFourPoints(p, 0.0);
    const Size s = frame().size;
    const Point o(
        (p[0].x + p[2].x) / 2.0 - s.width / 2.0, (p[0].y + p[2].y) / 2.0 - s.height / 2.0);
    const BoxCorners unturned { o, Point(o.x + s.width, o.y), Point(o.x + s.width, o.y + s.height),
        Point(o.x, o.y + s.height) };
    const double halfBorder = double(float(borderSize()) / 2.0f);
    Rect bounds = Rect(o, s).insetBy(-halfBorder, -halfBorder);

    const auto outline = shapePath(model(), unturned);
    if (!outline)
        return bounds;
    const auto& elements = outline->elements();
    const bool drawsSomething
        = std::any_of(elements.begin(), elements.end(), [](const platform::PathElement& e) {
              return e.kind != platform::PathElementKind::ClosePath;
          });
    if (!drawsSomething)
        return bounds;
    Rect drawn = outline->bounds();
    if (!isOpenLine() && strokeSize() > 0) {
        const double half = strokeSize() / 2.0;
        drawn = drawn.insetBy(-half, -half);
    }
    return bounds.united(drawn);
}
