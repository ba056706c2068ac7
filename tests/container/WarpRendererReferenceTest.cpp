// The warp renderer against a slow, literal transcription of its three resamplings
// (perspective, column shift, fan), written out here from the formulas with nothing shared
// with the renderer: plain loops, one pixel at a time, no tables, no threads. The renderer may
// precompute and vectorise, so the values may differ by 1; sizes and rectangles must be equal.
#include "ContainerTestSupport.h"
#include "container/WarpRenderer.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <optional>

using platform::Point;

namespace {
namespace reference {

// Pixels as 4 bytes with alpha on top; every stage treats the four bytes alike.
struct Buffer {
    int w = 0, h = 0;
    std::vector<std::uint32_t> px; // row-major, top row first, zero = clear

    Buffer(int width, int height)
        : w(width)
        , h(height)
        , px(std::size_t(width) * std::size_t(height), 0u)
    {
    }
    int byte(int x, int y, int channel) const
    {
        return int((px[std::size_t(y) * std::size_t(w) + std::size_t(x)] >> (8 * channel)) & 255u);
    }
    void set(int x, int y, const int value[4])
    {
        std::uint32_t p = 0;
        for (int ch = 0; ch < 4; ++ch)
            p |= std::uint32_t(value[ch]) << (8 * ch);
        px[std::size_t(y) * std::size_t(w) + std::size_t(x)] = p;
    }
};

struct Pt {
    double x, y;
};

// Catmull-Rom through the points, factor 0.5, step 4.
std::vector<Pt> spline(const std::vector<Pt>& p)
{
    std::vector<Pt> out { p[0] };
    const int last = int(p.size()) - 1;
    for (int i = 0; i < last && out.size() < 10001; ++i) {
        const Pt p0 = p[std::size_t(std::max(i - 1, 0))], p1 = p[std::size_t(i)];
        const Pt p2 = p[std::size_t(std::min(i + 1, last))];
        const Pt p3 = p[std::size_t(std::min(i + 2, last))];
        const float chords = hypotf(float(p0.x - p1.x), float(p0.y - p1.y))
            + hypotf(float(p1.x - p2.x), float(p1.y - p2.y))
            + hypotf(float(p2.x - p3.x), float(p2.y - p3.y));
        const int k = int(chords) / 4;
        for (int j = 1; j <= 2 * k + 1 && out.size() <= 10000; ++j) {
            const double t = double(float(j) * (1.0f / float(2 * k + 2)));
            auto at = [&](double a0, double a1, double a2, double a3) {
                return 0.5
                    * (2 * a1 + (a2 - a0) * t + (2 * a0 - 5 * a1 + 4 * a2 - a3) * t * t
                        + (-a0 + 3 * a1 - 3 * a2 + a3) * t * t * t);
            };
            out.push_back({ at(p0.x, p1.x, p2.x, p3.x), at(p0.y, p1.y, p2.y, p3.y) });
        }
        out.push_back(p2);
    }
    return out;
}

// Where the line through a and b crosses the line through c and d (single precision points).
std::optional<Pt> crossing(Pt a, Pt b, Pt c, Pt d)
{
    const double rx = b.x - a.x, ry = b.y - a.y, sx = d.x - c.x, sy = d.y - c.y;
    const double den = rx * sy - ry * sx;
    if (den == 0.0)
        return std::nullopt;
    const double t = ((c.x - a.x) * sy - (c.y - a.y) * sx) / den;
    return Pt { double(float(a.x + t * rx)), double(float(a.y + t * ry)) };
}

// The x where the line through p perpendicular to the chord m -> e crosses y = level.
std::optional<float> sideAt(Pt m, Pt e, Pt p, float level)
{
    const Pt along { p.x - (e.y - m.y), p.y + (e.x - m.x) };
    const auto at = crossing(p, along, { 0, level }, { 1, level });
    if (!at)
        return std::nullopt;
    return float(at->x);
}

struct Result {
    Buffer image;
    double x, y, w, h; // placement, from the bottom-left
};

Buffer perspective(const Buffer& src, float hf, float vf, bool* ok)
{
    const int W = src.w, H = src.h, Wl = W - 1, Hl = H - 1;
    const float c = float(double(Hl) / 2.0), cc = float(double(Wl) / 2.0);
    Pt P[4] = { { 0, 0 }, { double(Wl), 0 }, { double(Wl), double(Hl) }, { 0, double(Hl) } };
    Pt Q[4] = { { 0, 0 }, { double(Wl), 0 }, { double(Wl), double(Hl) }, { 0, double(Hl) } };
    // A side's ends about its middle m become m - d and m + d, d = (1 - f) m for f > 0 and
    // (1 + f) m otherwise, and stay at least one apart.
    auto narrow = [](float f, float m, double& end0, double& end1) {
        const float d = float((f > 0 ? 1.0 - f : 1.0 + f) * m);
        end0 = m - d;
        end1 = m + d;
        if (std::fabs(float(end1) - float(end0)) < 1.0f)
            end1 = float(end0) + 1.0f;
    };
    if (hf > 0)
        narrow(hf, c, P[1].y, P[2].y);
    else
        narrow(hf, c, P[0].y, P[3].y);
    if (vf > 0)
        narrow(vf, cc, Q[0].x, Q[1].x);
    else
        narrow(vf, cc, Q[3].x, Q[2].x);
    const auto C0 = crossing(P[0], P[1], Q[0], Q[3]), C1 = crossing(P[0], P[1], Q[1], Q[2]);
    const auto C2 = crossing(P[3], P[2], Q[1], Q[2]), C3 = crossing(P[3], P[2], Q[0], Q[3]);
    *ok = C0 && C1 && C2 && C3;
    if (!*ok)
        return src;
    const float x0 = float(C0->x), y0 = float(C0->y), x1 = float(C1->x), y1 = float(C1->y);
    const float x2 = float(C2->x), y2 = float(C2->y), x3 = float(C3->x), y3 = float(C3->y);

    // The forward map from (0,0)..(w,h), w = W - 2, h = H - 2, then its inverse, taken as the
    // 3 x 3 it is (a singular one gives no picture, as in the warp).
    const float w = float(Wl - 1), h = float(Hl - 1);
    const float k = ((y0 - y3) * (x1 - x2) - (x0 - x3) * (y1 - y2))
        / (((y2 - y1) * (x3 - x2) + (x1 - x2) * (y3 - y2)) * h);
    const float g = ((y0 + y2 - y1 - y3) - (y3 - y2) * h * k) / ((y1 - y2) * w);
    const float a = g * x1 + (x1 - x0) / w, d = g * y1 + (y1 - y0) / w;
    const float b = k * x3 + (x3 - x0) / h, e = k * y3 + (y3 - y0) / h;
    const double m[3][3] = { { a, b, x0 }, { d, e, y0 }, { g, k, 1 } };
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
        - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
        + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    *ok = det != 0.0;
    if (!*ok)
        return src;
    float n[3][3]; // n[r][c]: row r = (x numerator, y numerator, denominator), c = (x, y, 1)
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col) {
            const int r1 = (col + 1) % 3, r2 = (col + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            n[r][col] = float((m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det);
        }

    Buffer dst(W, H);
    for (int y = 0; y < Hl; ++y)
        for (int x = 0; x < Wl; ++x) {
            const float den = n[2][0] * float(x) + n[2][1] * float(y) + n[2][2];
            if (den == 0.0f)
                continue;
            const float sx = (n[0][0] * float(x) + n[0][1] * float(y) + n[0][2]) / den;
            const float sy = (n[1][0] * float(x) + n[1][1] * float(y) + n[1][2]) / den;
            if (!std::isfinite(sx) || !std::isfinite(sy) || std::fabs(sx) > 1e6f
                || std::fabs(sy) > 1e6f)
                continue;
            int ix = int(sx), iy = int(sy);
            if (ix < 0)
                --ix;
            if (iy < 0)
                --iy;
            if (!(0 <= ix && ix < Wl - 1 && 0 <= iy && iy < Hl - 1))
                continue;
            const long fx = long(sx * 1024 - float(ix * 1024)),
                       fy = long(sy * 1024 - float(iy * 1024));
            const long w00 = 1048576 - 1024 * fx - 1024 * fy + fx * fy, w10 = 1024 * fx - fx * fy;
            const long w01 = 1024 * fy - fx * fy, w11 = fx * fy;
            int value[4];
            for (int ch = 0; ch < 4; ++ch) {
                const long v = (src.byte(ix, iy, ch) * w00 + src.byte(ix + 1, iy, ch) * w10
                                   + src.byte(ix, iy + 1, ch) * w01
                                   + src.byte(ix + 1, iy + 1, ch) * w11 + 524288)
                    >> 20;
                value[ch] = v >= 256 ? 255 : v < 1 ? 0 : int(v);
            }
            // Kept premultiplied: an extrapolated colour is held to its alpha.
            for (int ch = 0; ch < 3; ++ch)
                value[ch] = std::min(value[ch], value[3]);
            dst.set(x, y, value);
        }
    return dst;
}

std::optional<Result> warp(const Buffer& in, const std::vector<Pt>& unit, float hf, float vf)
{
    const int W = in.w, H = in.h;
    // Extents are held to 8 times the longer side beyond the picture, so that a steep bend
    // cannot make an unbounded result (the warp's own limit).
    const double far = 8.0 * std::max(W, H);

    int mode = 0;
    std::vector<float> shift(std::size_t(W) + 1, 0.0f);
    int minS = 0, maxE = H, minX = 0, maxX = W;
    float A1 = 0, B1 = 0, A2 = 0, B2 = 0;
    const std::size_t count = unit.size();
    if (count > 3 || (count == 3 && std::fabs(unit[1].y) >= 0.001)) {
        std::vector<Pt> mapped;
        for (const Pt& p : unit)
            mapped.push_back({ double(float(p.x)) * W, double(float(p.y)) * H });
        const std::vector<Pt> s = spline(mapped);
        for (std::size_t i = 0; i + 1 < s.size(); ++i) {
            const Pt a = s[i], b = s[i + 1];
            auto visit = [&](int col) {
                // Only the columns inside the pair's span: the warp does not extrapolate a
                // pair to the truncated column before it (that would lower the picture's ends).
                if (col < 0 || col > W || col < std::min(a.x, b.x) || col > std::max(a.x, b.x))
                    return;
                const double y = b.x == a.x ? a.y : a.y + (col - a.x) * (b.y - a.y) / (b.x - a.x);
                const float sh = float(y);
                shift[std::size_t(col)] = sh;
                if (-sh < float(minS))
                    minS = std::max(int(-sh - 1), int(-far));
                if (float(H) - sh > float(maxE))
                    maxE = std::min(int(float(H) - sh + 1), int(H + far));
            };
            const int xa = int(a.x), xb = int(b.x);
            if (xa <= xb)
                for (int col = xa; col <= xb; ++col)
                    visit(col);
            if (b.x < a.x && xb <= xa)
                for (int col = xb; col <= xa; ++col)
                    visit(col);
        }
        mode = count > 3 ? 3 : unit[1].y >= 0 ? 1 : 2;
    }
    if (mode == 1 || mode == 2) {
        const Pt F = { double(float(unit[0].x)) * W, 0 }, L = { double(float(unit[2].x)) * W, 0 };
        const double base = mode == 1 ? 0.0 : H;
        const Pt M { double(float(double(float(unit[1].x)) * W)),
            double(float(double(float(unit[1].y)) * H) + float(base)) };
        const float lineA = mode == 1 ? float(H - minS) : float(H);
        const float lineB = mode == 1 ? float(H - maxE) : 0.0f;
        const Pt f { F.x, base }, l { L.x, base };
        const auto a1 = sideAt(M, f, { 0, base }, lineA), b1 = sideAt(M, f, { 0, base }, lineB);
        const auto a2 = sideAt(M, l, { double(W), base }, lineA);
        const auto b2 = sideAt(M, l, { double(W), base }, lineB);
        if (!a1 || !b1 || !a2 || !b2) {
            mode = 3; // no crossing, no fan
        } else {
            A1 = *a1 * 0.5f;
            A2 = float(W) + (*a2 - float(W)) * 0.5f;
            B1 = *b1;
            B2 = *b2;
            for (float x : { A1, B2, B1 })
                if (x < float(minX))
                    minX = int(x - 1);
            for (float x : { A2, B2, B1 })
                if (x > float(maxX))
                    maxX = int(x + 1);
            minX = std::max(minX, int(-far));
            maxX = std::min(maxX, int(W + far));
        }
    }

    Buffer work = in;
    if (std::fabs(double(hf)) >= 0.002 || std::fabs(double(vf)) >= 0.002) {
        bool ok = false;
        work = perspective(in, hf, vf, &ok);
        if (!ok)
            return std::nullopt;
    }
    if (mode == 0)
        return Result { work, 0, 0, double(W), double(H) };

    const int newW = maxX - minX, newH = maxE - minS;
    Buffer shifted(newW, newH);
    for (int x = 0; x < W; ++x)
        for (int j = 0; j < newH; ++j) {
            const float fy = float(j) + shift[std::size_t(x)] + float(minS);
            const int iy = int(fy);
            if (iy < 2 || iy > H - 2)
                continue;
            int value[4];
            for (int ch = 0; ch < 4; ++ch)
                value[ch] = int(float(work.byte(x, iy, ch)) * (float(iy + 1) - fy)
                    + float(work.byte(x, iy + 1, ch)) * (fy - float(iy)));
            shifted.set(x - minX, j, value);
        }
    if (mode == 3)
        return Result { shifted, double(minX), double(H - maxE), double(newW), double(newH) };

    Buffer fanned(newW, newH);
    const int half = W / 2, cx = half - minX;
    for (int r = 0; r < newH; ++r) {
        const float left = A1 + float(r) * (B1 - A1) / float(newH) - float(minX);
        const float right = A2 + float(r) * (B2 - A2) / float(newH) - float(minX);
        if (!(left < float(cx) && float(cx) < right))
            continue; // the warp draws no row whose sides do not straddle the centre
        for (int col = 0; col < newW; ++col) {
            const float sx = col < cx ? float(cx) - float((cx - col) * half) / (float(cx) - left)
                                      : float(cx) + float((col - cx) * half) / (right - float(cx));
            const int ix = int(sx);
            if (ix < 2 || ix > newW - 2)
                continue;
            int value[4];
            for (int ch = 0; ch < 4; ++ch)
                value[ch] = int(float(shifted.byte(ix, r, ch)) * (float(ix + 1) - sx)
                    + float(shifted.byte(ix + 1, r, ch)) * (sx - float(ix)));
            fanned.set(col, r, value);
        }
    }
    return Result { fanned, double(minX), double(H - maxE), double(newW), double(newH) };
}

} // namespace reference

} // namespace

TEST(WarpRendererReference, WithinOneOfTheLiteralFormulas)
{
    struct Case {
        const char* name;
        int w, h;
        std::vector<Point> curve;
        double hf, vf;
        bool held = false; // the bend reaches beyond the extents' clip
    } cases[] = {
        { "perspective", 64, 48, {}, 0.4, 0.3 },
        { "perspective, negative factors", 70, 40, {}, -0.6, -0.5 },
        { "perspective, extreme factors", 50, 50, {}, 1.0, -1.0 },
        { "curve of 3, up", 80, 40, { { 0, 0 }, { 0.5, 0.35 }, { 1, 0 } }, 0, 0 },
        { "curve of 3, down", 80, 40, { { 0, 0 }, { 0.4, -0.3 }, { 1, 0 } }, 0, 0 },
        { "curve of 4", 90, 40, { { 0, 0 }, { 0.3, 0.2 }, { 0.7, -0.2 }, { 1, 0 } }, 0, 0 },
        { "curve of 5", 100, 50, { { 0, 0 }, { 0.2, 0.3 }, { 0.5, -0.1 }, { 0.8, 0.25 }, { 1, 0 } },
            0, 0 },
        { "both", 72, 54, { { 0, 0 }, { 0.5, 0.35 }, { 1, 0 } }, 0.4, 0.3 },
        { "both, negative", 66, 44, { { 0, 0 }, { 0.6, -0.4 }, { 1, 0 } }, -0.3, -0.7 },
        { "both, curve of 4", 60, 60, { { 0, 0 }, { 0.2, -0.3 }, { 0.6, 0.3 }, { 1, 0 } }, 0.5,
            -0.2 },
        { "steep bend", 60, 40, { { 0, 0 }, { 0.2, 1 }, { 1, 0 } }, 0, 0 },
        { "steep bend, extents held", 24, 60, { { 0, 0 }, { 0.2, 1 }, { 1, 0 } }, 0.3, 0, true },
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage in = noisePicture(c.w, c.h, seed++, 4, 8);
        reference::Buffer flat(c.w, c.h);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                flat.px[std::size_t(y * c.w + x)] = in.pixel(x, y);
        std::vector<reference::Pt> unit;
        for (const Point& p : c.curve)
            unit.push_back({ p.x, p.y });
        const auto want = reference::warp(flat, unit, float(c.hf), float(c.vf));
        const auto got
            = WarpRenderer::perspectiveCurved(platform::Image::fromQImage(in), c.curve, c.hf, c.vf);
        ASSERT_TRUE(want);
        ASSERT_TRUE(got);
        const QImage out
            = got->image.toQImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        ASSERT_EQ(out.size(), QSize(want->image.w, want->image.h));
        EXPECT_EQ(got->rect, platform::Rect(want->x, want->y, want->w, want->h));
        int worst = 0, opaque = 0, clearness = 0;
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                const QRgb p = out.pixel(x, y);
                opaque += qAlpha(p) != 0;
                clearness += (p == 0) != (want->image.px[std::size_t(y * out.width() + x)] == 0);
                for (int ch = 0; ch < 4; ++ch)
                    worst = std::max(
                        worst, std::abs(int((p >> (8 * ch)) & 255u) - want->image.byte(x, y, ch)));
            }
        EXPECT_LE(worst, 1);
        EXPECT_EQ(clearness, 0); // the same pixels are left clear
        if (c.held) {
            EXPECT_EQ(got->rect.x(), -8.0 * std::max(c.w, c.h));
        }
        // A test that compares nothing proves nothing: most of each result is drawn.
        EXPECT_GT(opaque, out.width() * out.height() / 10);
        RecordProperty(c.name, worst);
    }
}
