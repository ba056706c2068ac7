#include "container/WarpRenderer.h"

#include "boxes/ShapeModel.h"
#include "boxes/ShapeOutline.h"
#include "boxes/UnitBoxMap.h"
#include "container/ContainerLogging.h"
#include "foundation/CCommonMatrix.h"
#include "foundation/CMyLine.h"
#include "foundation/ImageAdditions.h"
#include "platform/concurrency/Parallel.h"

#include <QImage>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

using platform::Point;

namespace WarpRenderer {
namespace {

using Pixel = std::uint32_t;
// Four channels of one pixel as lanes (byte order is moot: every channel is treated alike
// except alpha, the top byte, which caps the colour of an extrapolated pixel).
typedef int I4 __attribute__((vector_size(16)));
typedef float F4 __attribute__((vector_size(16)));
typedef unsigned char U4 __attribute__((vector_size(4)));

constexpr long kMinimumWork = 32 * 1024;
constexpr int kAlpha = 3;

inline I4 lanes(Pixel p)
{
    U4 b;
    std::memcpy(&b, &p, 4);
    return __builtin_convertvector(b, I4);
}

inline Pixel pixelOf(I4 v)
{
    const U4 b = __builtin_convertvector(v, U4);
    Pixel p;
    std::memcpy(&p, &b, 4);
    return p;
}

// trunc(s0 (1 - f) + s1 f) per channel, the two weights given as the float formulas make them.
inline Pixel blend2(Pixel p0, Pixel p1, float w0, float w1)
{
    if ((p0 | p1) == 0)
        return 0;
    const F4 v
        = __builtin_convertvector(lanes(p0), F4) * w0 + __builtin_convertvector(lanes(p1), F4) * w1;
    I4 i = __builtin_convertvector(v, I4);
    i = i > 255 ? 255 : i;
    i = i < 0 ? 0 : i;
    return pixelOf(i);
}

// The two neighbours at(i), at(i + 1) blended at s, i = trunc(s), when 2 <= i <= last; clear
// otherwise. Far or non-finite positions are turned away before trunc, which they would make
// undefined.
template <typename At> inline Pixel blendAt(float s, int last, const At& at)
{
    if (!(s > -2.0f && s < float(last + 3)))
        return 0;
    const int i = int(s);
    if (i < 2 || i > last)
        return 0;
    return blend2(at(i), at(i + 1), float(i + 1) - s, s - float(i));
}

// Values from outside: not finite -> 0, then held to [lo, hi].
float held(double x, double lo, double hi)
{
    return std::isfinite(x) ? float(std::clamp(x, lo, hi)) : 0.0f;
}

// A zero-free picture buffer of w x h pixels, or null when too large or out of memory.
QImage newBuffer(long long w, long long h)
{
    if (w <= 0 || h <= 0 || w * h > kMaxImagePixels)
        return QImage();
    try {
        return QImage(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    } catch (const std::bad_alloc&) {
        return QImage();
    }
}

Pixel* rowOf(QImage& image, int y)
{
    return reinterpret_cast<Pixel*>(image.bits() + qsizetype(y) * image.bytesPerLine());
}

const Pixel* rowOf(const QImage& image, int y)
{
    return reinterpret_cast<const Pixel*>(image.constBits() + qsizetype(y) * image.bytesPerLine());
}

// ---- perspective stage

struct InverseMap {
    // Per coordinate (x numerator, y numerator, denominator): coefficient of the destination
    // column, of the row, and the constant.
    float cx[3], cy[3], c0[3];
};

// The projective map sending (0,0), (w,0), (w,h), (0,h) (w = ex - 1, h = ey - 1) to the corners,
// inverted. Nothing when the quad is degenerate.
std::optional<InverseMap> perspectiveTransform(const std::array<FloatPoint, 4>& c, int ex, int ey)
{
    const float w = float(ex - 1);
    const float h = float(ey - 1);
    const float x0 = c[0].x, y0 = c[0].y, x1 = c[1].x, y1 = c[1].y;
    const float x2 = c[2].x, y2 = c[2].y, x3 = c[3].x, y3 = c[3].y;
    const float k = ((y0 - y3) * (x1 - x2) - (x0 - x3) * (y1 - y2))
        / (((y2 - y1) * (x3 - x2) + (x1 - x2) * (y3 - y2)) * h);
    const float g = ((y0 + y2 - y1 - y3) - (y3 - y2) * h * k) / ((y1 - y2) * w);
    const float a = g * x1 + (x1 - x0) / w;
    const float d = g * y1 + (y1 - y0) / w;
    const float b = k * x3 + (x3 - x0) / h;
    const float e = k * y3 + (y3 - y0) / h;
    const float forward[3][3] = { { a, b, x0 }, { d, e, y0 }, { g, k, 1.0f } };
    for (const auto& row : forward)
        for (float f : row)
            if (!std::isfinite(f))
                return std::nullopt;

    CCommonMatrix::Ptr m(CCommonMatrix::NewMatrix(3, 3));
    if (!m)
        return std::nullopt;
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col)
            m->at(r, col) = double(forward[r][col]);
    bool singular = false;
    CCommonMatrix::Ptr inv(CCommonMatrix::Inverse(m.get(), &singular));
    if (!inv || singular)
        return std::nullopt;
    InverseMap n;
    for (int r = 0; r < 3; ++r) {
        n.cx[r] = float(inv->at(r, 0));
        n.cy[r] = float(inv->at(r, 1));
        n.c0[r] = float(inv->at(r, 2));
        if (!std::isfinite(n.cx[r]) || !std::isfinite(n.cy[r]) || !std::isfinite(n.c0[r]))
            return std::nullopt;
    }
    return n;
}

// Narrows one side of the picture about its middle m to (1 - |f|) of its length: its ends become
// m - d and m + d, at least one pixel apart.
void narrowSide(float f, float m, float& first, float& second)
{
    const float d = float((1.0 - std::fabs(double(f))) * double(m));
    first = m - d;
    second = m + d;
    if (std::fabs(second - first) < 1.0f)
        second = first + 1.0f;
}

// The corners of the narrowed picture in (column, row), or nothing when its sides do not meet
// or meet too far away.
std::optional<std::array<FloatPoint, 4>> narrowedCorners(int W, int H, float h, float v)
{
    const int Wl = W - 1;
    const int Hl = H - 1;
    const float c = float(double(Hl) / 2.0);
    const float cc = float(double(Wl) / 2.0);
    const float fW = float(Wl), fH = float(Hl);
    FloatPoint P0 { 0, 0 }, P1 { fW, 0 }, P2 { fW, fH }, P3 { 0, fH };
    if (h > 0.0f)
        narrowSide(h, c, P1.y, P2.y); // the right side
    else
        narrowSide(h, c, P0.y, P3.y); // the left side
    FloatPoint Q0 { 0, 0 }, Q1 { fW, 0 }, Q2 { fW, fH }, Q3 { 0, fH };
    if (v > 0.0f)
        narrowSide(v, cc, Q0.x, Q1.x); // the top side
    else
        narrowSide(v, cc, Q3.x, Q2.x); // the bottom side
    const CMyLine top(P0, P1), bottom(P3, P2), left(Q0, Q3), right(Q1, Q2);
    std::array<FloatPoint, 4> corner;
    if (!top.Intersection(left, &corner[0]) || !top.Intersection(right, &corner[1])
        || !bottom.Intersection(right, &corner[2]) || !bottom.Intersection(left, &corner[3]))
        return std::nullopt;
    for (const FloatPoint& p : corner)
        if (!(std::fabs(p.x) <= 100000.0f && std::fabs(p.y) <= 100000.0f)) {
            qCDebug(lcContainer) << "error divide byzero";
            return std::nullopt;
        }
    return corner;
}

// Inverse mapping with 10-bit bilinear weights; the last column and row stay clear.
QImage perspectiveStage(const QImage& src, float h, float v)
{
    const int W = src.width();
    const int H = src.height();
    const auto corners = narrowedCorners(W, H, h, v);
    if (!corners)
        return QImage();
    const auto n = perspectiveTransform(*corners, W - 1, H - 1);
    if (!n)
        return QImage();
    QImage dst = newBuffer(W, H);
    if (dst.isNull()) {
        qCDebug(lcContainer) << "calloc error";
        return dst;
    }
    // Per-column and per-row terms, each (x numerator, y numerator, denominator).
    const int ex = W - 1; // columns 0 .. W - 2 are mapped
    const int ey = H - 1;
    const std::size_t columns = std::size_t(ex);
    std::vector<float> colX(columns), colY(columns), colD(columns);
    for (int x = 0; x < ex; ++x) {
        colX[std::size_t(x)] = n->cx[0] * float(x);
        colY[std::size_t(x)] = n->cx[1] * float(x);
        colD[std::size_t(x)] = n->cx[2] * float(x);
    }
    std::atomic<long> zeroDenominators { 0 };
    const float maxX = float(W + 1), maxY = float(H + 1);
    platform::parallelRows(H, W, kMinimumWork, [&](int top, int bottom) {
        std::vector<float> sxs(columns), sys(columns);
        long zeros = 0;
        for (int y = top; y < bottom; ++y) {
            Pixel* out = rowOf(dst, y);
            if (y >= ey) {
                std::fill(out, out + W, Pixel(0));
                continue;
            }
            const float rx = n->cy[0] * float(y), ry = n->cy[1] * float(y),
                        rd = n->cy[2] * float(y);
            // The source positions of the row first: a loop the compiler can vectorise.
            for (int x = 0; x < ex; ++x) {
                const float den = colD[std::size_t(x)] + rd + n->c0[2];
                sxs[std::size_t(x)] = (colX[std::size_t(x)] + rx + n->c0[0]) / den;
                sys[std::size_t(x)] = (colY[std::size_t(x)] + ry + n->c0[1]) / den;
                if (den == 0.0f)
                    ++zeros;
            }
            for (int x = 0; x < ex; ++x) {
                const float sx = sxs[std::size_t(x)], sy = sys[std::size_t(x)];
                out[x] = 0;
                if (!(sx > -2.0f && sx < maxX && sy > -2.0f && sy < maxY))
                    continue; // also a zero denominator and anything not finite
                int ix = int(sx), iy = int(sy);
                if (ix < 0)
                    --ix;
                if (iy < 0)
                    --iy;
                if (ix < 0 || ix > W - 3 || iy < 0 || iy > H - 3)
                    continue;
                const int fx = int(sx * 1024.0f - float(ix * 1024));
                const int fy = int(sy * 1024.0f - float(iy * 1024));
                const Pixel* r0 = rowOf(src, iy) + ix;
                const Pixel* r1 = rowOf(src, iy + 1) + ix;
                if ((r0[0] | r0[1] | r1[0] | r1[1]) == 0)
                    continue;
                const int w11 = fx * fy;
                const int w10 = 1024 * fx - w11;
                const int w01 = 1024 * fy - w11;
                const int w00 = 1048576 - 1024 * fx - 1024 * fy + w11;
                I4 value = (lanes(r0[0]) * w00 + lanes(r0[1]) * w10 + lanes(r1[0]) * w01
                               + lanes(r1[1]) * w11 + 524288)
                    >> 20;
                value = value > 255 ? 255 : value;
                value = value < 0 ? 0 : value;
                // Extrapolated (a position just left of or above the picture) colour may rise
                // above alpha; premultiplied colour never may.
                const int alpha = value[kAlpha];
                value = value > alpha ? alpha : value;
                out[x] = pixelOf(value);
            }
            out[W - 1] = 0;
        }
        zeroDenominators += zeros;
    });
    if (zeroDenominators > 0)
        qCDebug(lcContainer) << "rr 0" << zeroDenominators.load();
    return dst;
}

// ---- curve analysis

struct Curve {
    int mode = 0; // 0 none, 1 three points bent up, 2 three points bent down, 3 more points
    std::vector<float> shift; // centre-line height by column 0 .. W
    int minS = 0, maxE = 0, minX = 0, maxX = 0;
    float A1 = 0, B1 = 0, A2 = 0, B2 = 0;
};

// The fan's side positions and horizontal extents; false when a side line meets no line.
bool fanSides(Curve& k, const Point& F, const Point& M, const Point& L, int W, int H, double far)
{
    const float fH = float(H);
    const bool up = k.mode == 1;
    const float base = up ? 0.0f : fH;
    const FloatPoint mid(float(M.x), up ? float(M.y) : float(M.y) + fH);
    const CMyLine leftChord(mid, FloatPoint(float(F.x), base));
    const CMyLine rightChord(mid, FloatPoint(float(L.x), base));
    const CMyLine leftSide = leftChord.Perpendicular(FloatPoint(0.0f, base));
    const CMyLine rightSide = rightChord.Perpendicular(FloatPoint(float(W), base));
    const float yA = up ? fH - float(k.minS) : fH;
    const float yB = up ? fH - float(k.maxE) : 0.0f;
    const CMyLine lineA(0.0f, yA, 1.0f, yA), lineB(0.0f, yB, 1.0f, yB);
    FloatPoint a1, b1, a2, b2;
    if (!leftSide.Intersection(lineA, &a1) || !leftSide.Intersection(lineB, &b1)
        || !rightSide.Intersection(lineA, &a2) || !rightSide.Intersection(lineB, &b2))
        return false;
    k.A1 = a1.x * 0.5f;
    k.A2 = float(W) + (a2.x - float(W)) * 0.5f;
    k.B1 = b1.x;
    k.B2 = b2.x;
    for (float x : { k.A1, k.A2, k.B1, k.B2 })
        if (!std::isfinite(x))
            return false; // as good as no crossing
    // Only the extents are held to the clip (before trunc, so that it is defined): the side
    // positions stay as they are, so a held extent crops the fanned picture, never squeezes it.
    const float lo = float(-far), hi = float(W + far);
    k.minX = 0;
    for (float x : { k.A1, k.B2, k.B1 })
        if (x < float(k.minX))
            k.minX = int(std::max(x - 1.0f, lo));
    k.maxX = W;
    for (float x : { k.A2, k.B2, k.B1 })
        if (x > float(k.maxX))
            k.maxX = int(std::min(x + 1.0f, hi));
    return true;
}

Curve analyseCurve(const std::vector<Point>& unitCurve, int W, int H)
{
    Curve k;
    k.minS = 0;
    k.maxE = H;
    k.maxX = W;
    const std::size_t n = unitCurve.size();
    if (n < 3 || (n == 3 && std::fabs(unitCurve[1].y) < 0.001))
        return k;

    const BoxCorners R { Point(0, 0), Point(W, 0), Point(W, H), Point(0, H) };
    std::vector<Point> mapped;
    mapped.reserve(n);
    for (const Point& p : unitCurve)
        mapped.push_back(calcPoints(R, p));
    ShapeModel smooth; // no corners: one Catmull-Rom run through every point
    smooth.controlVals.assign(n, ControlValue());
    const auto samples = splinePoints(smooth, mapped, 4);
    if (!samples || samples->points.size() < 2)
        return k;

    k.shift.assign(std::size_t(W) + 1, 0.0f);
    const double far = 8.0 * std::max(W, H);
    const std::vector<Point>& s = samples->points;
    auto visit = [&](const Point& a, const Point& b, long c) {
        // Only columns within the pair's span: the truncated first column lies in the previous
        // pair's span, and extrapolating it would lower the picture's ends below their points.
        if (double(c) < std::min(a.x, b.x) || double(c) > std::max(a.x, b.x))
            return;
        const double y = b.x == a.x ? a.y : a.y + (double(c) - a.x) * (b.y - a.y) / (b.x - a.x);
        const float sh = float(y);
        if (!std::isfinite(sh))
            return;
        k.shift[std::size_t(c)] = sh;
        if (-sh < float(k.minS))
            k.minS = int(std::max(-sh - 1.0f, float(-far)));
        if (float(H) - sh > float(k.maxE))
            k.maxE = int(std::min(float(H) - sh + 1.0f, float(H + far)));
    };
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        const Point& a = s[i];
        const Point& b = s[i + 1];
        if (!std::isfinite(a.x) || !std::isfinite(b.x))
            continue;
        // Positions beyond the picture visit no column; held first so that trunc is defined.
        const long xa = long(std::clamp(a.x, -2.0, double(W) + 2.0));
        const long xb = long(std::clamp(b.x, -2.0, double(W) + 2.0));
        if (xa <= xb)
            for (long c = std::max(xa, 0L); c <= std::min(xb, long(W)); ++c)
                visit(a, b, c);
        if (b.x < a.x && xb <= xa)
            for (long c = std::max(xb, 0L); c <= std::min(xa, long(W)); ++c)
                visit(a, b, c);
    }

    if (n == 3) {
        k.mode = unitCurve[1].y >= 0.0 ? 1 : 2;
        if (!fanSides(k, mapped[0], mapped[1], mapped[2], W, H, far)) {
            k.mode = 3; // no crossing, no fan: the columns are shifted only
            k.minX = 0;
            k.maxX = W;
        }
    } else {
        k.mode = 3;
    }
    return k;
}

// ---- column shift and fan

QImage columnShift(const QImage& src, const Curve& k)
{
    const int W = src.width();
    const int H = src.height();
    const int newW = k.maxX - k.minX;
    const int newH = k.maxE - k.minS;
    QImage dst = newBuffer(newW, newH);
    if (dst.isNull())
        return dst;
    const int first = -k.minX; // result column of source column 0
    const float minS = float(k.minS);
    platform::parallelRows(newH, newW, kMinimumWork, [&](int top, int bottom) {
        for (int j = top; j < bottom; ++j) {
            Pixel* out = rowOf(dst, j);
            std::fill(out, out + first, Pixel(0));
            std::fill(out + first + W, out + newW, Pixel(0));
            Pixel* o = out + first;
            const float fj = float(j);
            for (int x = 0; x < W; ++x) {
                const float fy = fj + k.shift[std::size_t(x)] + minS;
                o[x] = blendAt(fy, H - 2, [&](int iy) { return rowOf(src, iy)[x]; });
            }
        }
    });
    return dst;
}

QImage fan(const QImage& src, const Curve& k, int W)
{
    const int newW = src.width();
    const int newH = src.height();
    QImage dst = newBuffer(newW, newH);
    if (dst.isNull())
        return dst;
    const int half = W / 2;
    const int cx = half - k.minX;
    const int first = -k.minX; // the picture's first column in the shifted buffer
    const float fcx = float(cx);
    platform::parallelRows(newH, newW, kMinimumWork, [&](int top, int bottom) {
        for (int r = top; r < bottom; ++r) {
            Pixel* out = rowOf(dst, r);
            const float fr = float(r);
            const float left = k.A1 + fr * (k.B1 - k.A1) / float(newH) - float(k.minX);
            const float right = k.A2 + fr * (k.B2 - k.A2) / float(newH) - float(k.minX);
            if (!(left < fcx && fcx < right)) {
                std::fill(out, out + newW, Pixel(0));
                continue;
            }
            // Per-row terms: the distances the two halves are stretched to.
            const float toLeft = fcx - left;
            const float toRight = right - fcx;
            const Pixel* in = rowOf(src, r);
            // Only the picture's own columns of the shifted buffer are not clear, and sx rises
            // with c: the columns reading outside them (with a margin) are clear as they are.
            int cLo = 0, cHi = newW;
            if (half > 0) {
                auto columnOf = [&](double s) {
                    return s < double(fcx)
                        ? double(cx) - (double(fcx) - s) * double(toLeft) / half
                        : double(cx) + (s - double(fcx)) * double(toRight) / half;
                };
                cLo = int(std::clamp(std::floor(columnOf(first - 1.0)) - 2.0, 0.0, double(newW)));
                cHi = int(
                    std::clamp(std::ceil(columnOf(first + W + 1.0)) + 3.0, 0.0, double(newW)));
            }
            std::fill(out, out + cLo, Pixel(0));
            std::fill(out + std::max(cLo, cHi), out + newW, Pixel(0));
            for (int c = cLo; c < cHi; ++c) {
                const float sx = c < cx ? fcx - float(qint64(cx - c) * half) / toLeft
                                        : fcx + float(qint64(c - cx) * half) / toRight;
                out[c] = blendAt(sx, newW - 2, [&](int ix) { return in[ix]; });
            }
        }
    });
    return dst;
}

} // namespace

std::optional<Result> perspectiveCurved(
    const platform::Image& image, const std::vector<Point>& curves, double h, double v)
{
    const QSize size = image.pixelSize();
    if (size.isEmpty() || qint64(size.width()) * size.height() > kMaxImagePixels)
        return std::nullopt;
    QImage src = image.toQImage();
    if (src.isNull() || src.size() != size)
        return std::nullopt;
    if (src.format() != QImage::Format_ARGB32_Premultiplied)
        src = src.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int W = src.width();
    const int H = src.height();
    qCDebug(lcContainer).noquote() << QString::asprintf("Image size:%d %d", W, H);

    // Held to what the gestures allow: factors and heights within [-1, 1], u within [0, 1].
    const float hf = held(h, -1.0, 1.0);
    const float vf = held(v, -1.0, 1.0);
    std::vector<Point> unit;
    unit.reserve(curves.size());
    for (const Point& p : curves)
        unit.emplace_back(double(held(p.x, 0.0, 1.0)), double(held(p.y, -1.0, 1.0)));

    const Curve k = analyseCurve(unit, W, H);
    if (k.mode != 0 && qint64(k.maxX - k.minX) * qint64(k.maxE - k.minS) > kMaxImagePixels)
        return std::nullopt;

    QImage work = src;
    const bool perspective = std::fabs(double(hf)) >= 0.002 || std::fabs(double(vf)) >= 0.002;
    // Under 3 pixels a side the map has no span to stretch over.
    if (perspective && W >= 3 && H >= 3) {
        work = perspectiveStage(src, hf, vf);
        if (work.isNull())
            return std::nullopt;
    }
    Result result;
    result.rect = platform::Rect(0, 0, W, H);
    if (k.mode != 0) {
        work = columnShift(work, k);
        if (!work.isNull() && (k.mode == 1 || k.mode == 2))
            work = fan(work, k, W);
        if (work.isNull())
            return std::nullopt;
        result.rect = platform::Rect(k.minX, H - k.maxE, k.maxX - k.minX, k.maxE - k.minS);
    }
    result.image = platform::Image::fromQImage(work, platform::Size(work.width(), work.height()));
    if (result.image.isNull())
        return std::nullopt;
    return result;
}

} // namespace WarpRenderer
