#include "boxes/MyViewBase.h"

#include "boxes/BoxesLogging.h"
#include "boxes/IntConversion.h"

#include <algorithm>
#include <array>
#include <cmath>

using platform::Color;
using platform::Point;
using platform::Rect;
using platform::Size;

SZGradient MyViewBase::defaultBackColor()
{
    SZGradient fill;
    fill.gradientType = SZGradient::NoFill;
    return fill;
}

SZGradient MyViewBase::defaultOverlayColor()
{
    return defaultBackColor().gradientWithOpacity(1.0, 0.0);
}

SZGradient MyViewBase::defaultLineColor()
{
    return SZGradient();
}

MyViewBase::MyViewBase(const Rect& frame)
    : platform::View(frame)
{
    setRotationAngle(0.0);
    _borderColor = defaultLineColor();
    _strokeColor = defaultLineColor();
    _backColor = defaultBackColor();
    _overlayColor = defaultOverlayColor();
    _shadowBlurSize = _innerShadowBlurSize = _boxShadowBlurSize = 0;
    _shadowOffsetSize = _innerShadowOffsetSize = _boxShadowOffsetSize = 0;
    _shadowAngle = _innerShadowAngle = _boxShadowAngle = 90;
    _borderSize = 0;
    _strokeSize = 0;
    _horzPerspective = 0.001f;
    _vertPerspective = 0.0f;
    _curves = { Point(0.0, 0.0), Point(0.5, 0.0001), Point(1.0, 0.0) };
    imgPersp = platform::Image();
    ud.reset();
    imgRect = Rect();
}

MyViewBase::~MyViewBase() = default;

// ---- outline

void MyViewBase::GetFourPoints(std::array<Point, 8>& p, double gap) const
{
    const Rect f = frame();
    const double r = _rotationAngle * 3.141592 / 180.0;
    const double r90 = (_rotationAngle + 90.0) * 3.141592 / 180.0;
    const Point u { double(std::cos(float(r))), double(std::sin(float(r))) };
    const Point v { double(std::cos(float(r90))), double(std::sin(float(r90))) };
    const double w = f.size.width, h = f.size.height;
    const Point o = f.origin;
    auto at = [&](double su, double sv) {
        return Point(o.x + su * u.x + sv * v.x, o.y + su * u.y + sv * v.y);
    };
    auto mid = [](const Point& a, const Point& b) {
        return Point((a.x + b.x) / 2.0, (a.y + b.y) / 2.0);
    };
    p[0] = at(-gap, -gap);
    p[1] = at(w + gap, -gap);
    p[2] = at(w + gap, h + gap);
    p[3] = at(-gap, h + gap);
    p[4] = mid(p[3], p[0]);
    p[5] = mid(p[2], p[1]);
    p[6] = mid(p[0], p[1]);
    p[7] = mid(p[3], p[2]);
}

Rect MyViewBase::drawnBounds() const
{
    return frame();
}

namespace {

// The bounding box of r turned by `degrees` about `centre` (sine and cosine in single
// precision, as the outline takes them).
Rect turnedAbout(const Rect& r, const Point& centre, double degrees)
{
    const float turn = float(degrees * 3.141592 / 180.0);
    const double c = double(std::cos(turn)), s = double(std::sin(turn));
    std::vector<Point> corners;
    for (const Point& p : { r.origin, Point(r.maxX(), r.minY()), Point(r.maxX(), r.maxY()),
             Point(r.minX(), r.maxY()) }) {
        const double x = p.x - centre.x, y = p.y - centre.y;
        corners.emplace_back(centre.x + x * c - y * s, centre.y + x * s + y * c);
    }
    return Rect::enclosing(corners);
}

} // namespace

Rect MyViewBase::drawnCoverage() const
{
    std::array<Point, 8> q;
    GetFourPoints(q, 0.0);
    Rect r = Rect::enclosing(std::array { q[0], q[1], q[2], q[3] });
    const Point centre((q[0].x + q[2].x) / 2.0, (q[0].y + q[2].y) / 2.0);
    r = r.united(turnedAbout(drawnBounds(), centre, _rotationAngle));
    if (!imgPersp.isNull() && !imgRect.isNull())
        r = r.united(turnedAbout(imgRect, centre, _rotationAngle));
    const double grow = double(std::max(_borderSize, 0)) + double(std::max(_strokeSize, 0)) + 2.0;
    return r.insetBy(-grow, -grow);
}

// ---- rotation

void MyViewBase::setRotationAngle(double angle)
{
    if (!std::isfinite(angle)) {
        qCWarning(lcBoxes) << "setRotationAngle: not a finite angle; ignored";
        return;
    }
    if (angle >= 360.0)
        angle -= 360.0;
    if (angle < 0.0)
        angle += 360.0;
    _rotationAngle = angle;
    setFrameCenterRotation(angle);
}

// ---- warp direction codes

int MyViewBase::getPerspectiveAngle() const
{
    const float h = _horzPerspective, v = _vertPerspective;
    if (std::fabs(v) < 0.00001f)
        return h >= 0.0f ? 0 : 180;
    if (std::fabs(h) < 0.00001f)
        return v < 0.0f ? 90 : 270;
    return 50;
}

int MyViewBase::getPerspectiveSize() const
{
    const float h = _horzPerspective, v = _vertPerspective;
    const float s = std::fabs(v) > std::fabs(h) ? v : h;
    return truncToInt(double(s * 100.0f));
}

int MyViewBase::getCurveAngle() const
{
    if (_curves.empty())
        return 0;
    int code = _curves.front().y < 0.0 ? 180 : 0;
    for (std::size_t i = 1; i < _curves.size(); ++i) {
        const double y = _curves[i].y;
        if ((code == 0 && y < 0.0) || (code == 180 && y >= 0.0))
            return 50;
    }
    return code;
}

int MyViewBase::getCurveSize() const
{
    double m = 0.0;
    for (const Point& p : _curves)
        m = std::max(m, std::fabs(p.y));
    return truncToInt(m * 100.0 + 0.5);
}

void MyViewBase::setPerspectiveAngle(int code)
{
    const float h = _horzPerspective, v = _vertPerspective;
    float m = std::max(std::fabs(h), std::fabs(v));
    const float s = std::fabs(v) > std::fabs(h) ? v : h;
    if (s < 0.0f)
        m = -m;
    if (code == 0 || code == 180) {
        _horzPerspective = m;
        _vertPerspective = 0.0f;
    } else if (code == 90 || code == 270) {
        _vertPerspective = m;
        _horzPerspective = 0.0f;
    }
    imgPersp = platform::Image();
}

void MyViewBase::setCurveAngle(int code)
{
    for (Point& p : _curves) {
        double a = std::fabs(p.y);
        if (a < 0.00001)
            a = 0.0001;
        if (code == 180)
            p.y = -a;
        else if (code == 0)
            p.y = a;
    }
    imgPersp = platform::Image();
}

// ---- frame

void MyViewBase::setFrame(const Rect& frame)
{
    platform::View::setFrame(frame);
    imgPersp = platform::Image();
}

void MyViewBase::setFrameSize(const Size& size)
{
    platform::View::setFrameSize(size);
    imgPersp = platform::Image();
}

void MyViewBase::setFrameOrigin(const Point& origin)
{
    const Point old = frame().origin;
    platform::View::setFrameOrigin(origin);
    // The view refuses what it cannot hold; the cached picture moves only as far as the box.
    const Point now = frame().origin;
    imgRect.origin.x += now.x - old.x;
    imgRect.origin.y += now.y - old.y;
}

// ---- layer opacity

void MyViewBase::setLayerOpacity(float opacity)
{
    _layerOpacity = std::isnan(opacity) ? 1.0f : std::clamp(opacity, 0.0f, 1.0f);
    setAlphaValue(double(_layerOpacity));
}

// ---- drop shadow

void MyViewBase::setShadows()
{
    if (!shadow)
        shadow = platform::Shadow();
    shadow->color = _shadowColor.value_or(Color::clear());
    shadow->blur = double(_shadowBlurSize);
    const double a = _shadowAngle * 3.141592 / 180.0;
    shadow->offset = Size(_shadowOffsetSize * std::cos(a), -_shadowOffsetSize * std::sin(a));
    platform::View* wrapper = superview();
    platform::View* warpView = wrapper ? wrapper->superview() : nullptr;
    if (!warpView)
        return;
    // A shadow without a colour casts nothing; none is installed rather than a clear one.
    warpView->setShadow(_shadowColor ? shadow : std::nullopt);
}

// ---- records

template <class Visit> void MyViewBase::forEachStoredField(Visit&& visit)
{
    visit(&UNDODATA::borderSize, &MyViewBase::_borderSize, true);
    // A pasted style carries the stroke width on conditions of its own.
    visit(&UNDODATA::strokeSize, &MyViewBase::_strokeSize, false);
    visit(&UNDODATA::shadowColor, &MyViewBase::_shadowColor, true);
    visit(&UNDODATA::shadowAngle, &MyViewBase::_shadowAngle, true);
    visit(&UNDODATA::shadowBlurSize, &MyViewBase::_shadowBlurSize, true);
    visit(&UNDODATA::shadowOffsetSize, &MyViewBase::_shadowOffsetSize, true);
    visit(&UNDODATA::innerShadowColor, &MyViewBase::_innerShadowColor, true);
    visit(&UNDODATA::innerShadowAngle, &MyViewBase::_innerShadowAngle, true);
    visit(&UNDODATA::innerShadowBlurSize, &MyViewBase::_innerShadowBlurSize, true);
    visit(&UNDODATA::innerShadowOffsetSize, &MyViewBase::_innerShadowOffsetSize, true);
    visit(&UNDODATA::boxShadowColor, &MyViewBase::_boxShadowColor, true);
    visit(&UNDODATA::boxShadowAngle, &MyViewBase::_boxShadowAngle, true);
    visit(&UNDODATA::boxShadowBlurSize, &MyViewBase::_boxShadowBlurSize, true);
    visit(&UNDODATA::boxShadowOffsetSize, &MyViewBase::_boxShadowOffsetSize, true);
}

UNDODATA MyViewBase::getUndoData() const
{
    UNDODATA r;
    forEachStoredField([&](auto field, auto member, bool) { r.*field = this->*member; });
    r.selected = _selected;
    r.backColor = _backColor;
    r.borderColor = _borderColor;
    r.strokeColor = _strokeColor;
    r.overlayColor = _overlayColor;
    r.frame = frame();
    r.rotationAngle = _rotationAngle;
    r.layerOpacity = double(_layerOpacity);
    r.horzPerspective = double(_horzPerspective);
    r.vertPerspective = double(_vertPerspective);
    r.curves = _curves;
    r.isEditing = _isEditing;
    return r;
}

void MyViewBase::setUndoData(const UNDODATA& record)
{
    UNDODATA r = record;
    r.validate();
    forEachStoredField([&](auto field, auto member, bool) { this->*member = r.*field; });
    setSelected(r.selected);
    setIsEditing(r.isEditing);
    setBackColor(r.backColor.value_or(defaultBackColor()));
    setBorderColor(r.borderColor.value_or(defaultLineColor()));
    setStrokeColor(r.strokeColor.value_or(defaultLineColor()));
    setOverlayColor(r.overlayColor.value_or(defaultOverlayColor()));
    // The validated record holds the float fields (opacity, perspective) within the float range.
    setLayerOpacity(float(r.layerOpacity));
    // Rotation first, so that the frame is that of the turned view.
    setRotationAngle(r.rotationAngle);
    setFrame(r.frame);
    setHorzPerspective(float(r.horzPerspective));
    setVertPerspective(float(r.vertPerspective));
    setCurves(r.curves);
    imgPersp = platform::Image();
}

void MyViewBase::setCopyPasteStyle(const UNDODATA& record)
{
    UNDODATA r = record;
    r.validate();
    forEachStoredField([&](auto field, auto member, bool style) {
        if (style)
            this->*member = r.*field;
    });
    // A fill the record lacks is not part of its style: the box keeps its own.
    if (r.backColor)
        setBackColor(*r.backColor);
    if (r.borderColor)
        setBorderColor(*r.borderColor);
    const bool fromShape = r.type == UNDODATA::ShapeBox;
    if (r.strokeColor && (fromShape || r.strokeColor->gradientType != SZGradient::NoFill))
        setStrokeColor(*r.strokeColor);
    if (fromShape || r.strokeSize > 0)
        setStrokeSize(r.strokeSize);
    setLayerOpacity(float(r.layerOpacity));
    if (r.overlayColor && r.overlayColor->gradientType != SZGradient::NoFill)
        setOverlayColor(*r.overlayColor);
    setHorzPerspective(float(r.horzPerspective));
    setVertPerspective(float(r.vertPerspective));
    setCurves(r.curves);
    imgPersp = platform::Image();
}
