#pragma once
// A drawing context with the semantics the model was designed against, over a QPainter.
//
// Coordinates are y-up: the base space has its origin at the bottom-left of the device and
// one unit per device pixel (times the base scale given at construction). The current
// transform (CTM) maps user space to base space; the clip, alpha, blend mode, shadow, fill
// and stroke settings live on one save/restore stack.
//
// Semantics kept from the model's platform:
//  - clip paths intersect the current clip and use the non-zero rule;
//  - blend modes act only where the drawn shape covers: a source-out or copy fill leaves
//    pixels outside the shape unchanged;
//  - shadows are given in base (device) space, unaffected by the CTM: offset y-up, blur
//    radius with a Gaussian of sigma = blur / 2. A shadow is drawn under what casts it, with
//    the same blend mode and alpha;
//  - transparency layers: begin saves alpha, blend mode and shadow and resets them to their
//    defaults inside; end composites the layer through the clip, alpha, shadow and blend mode
//    that were current at begin;
//  - pictures are drawn upright.
#include "platform/geometry/AffineTransform.h"
#include "platform/graphics/BezierPath.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Gradient.h"
#include "platform/graphics/Image.h"

#include <QImage>
#include <QPainter>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// Blend modes by the platform's numbers.
enum class BlendMode : int {
    Normal = 0, Multiply = 1, Screen = 2, Overlay = 3, Darken = 4, Lighten = 5, ColorDodge = 6,
    ColorBurn = 7, SoftLight = 8, HardLight = 9, Difference = 10, Exclusion = 11, Hue = 12,
    Saturation = 13, Color = 14, Luminosity = 15, Clear = 16, Copy = 17, SourceIn = 18,
    SourceOut = 19, SourceAtop = 20, DestinationOver = 21, DestinationIn = 22,
    DestinationOut = 23, DestinationAtop = 24, XOR = 25, PlusDarker = 26, PlusLighter = 27
};

// Compositing operations for pictures, by the platform's numbers.
enum class CompositingOperation : int {
    Clear = 0, Copy = 1, SourceOver = 2, SourceIn = 3, SourceOut = 4, SourceAtop = 5,
    DestinationOver = 6, DestinationIn = 7, DestinationOut = 8, DestinationAtop = 9, XOR = 10,
    PlusDarker = 11, PlusLighter = 13
};

// Whether a two-point or two-circle gradient paints past its start and end.
enum GradientDrawingOptions : unsigned {
    GradientNoExtension = 0,
    GradientDrawsBeforeStart = 1,
    GradientDrawsAfterEnd = 2,
};

struct Shadow {
    Size offset;        // base space, y-up
    double blur = 0.0;  // sigma = blur / 2
    Color color{0, 0, 0, 1.0 / 3.0};
};

// The shadow of a picture of device pixels, cast ahead of putting the picture down: its alpha
// blurred and moved for one offset and blur in device pixels, whatever the colour.
struct CastShadow {
    QPoint offset; // device pixels, y-down
    double sigma = 0.0;
    QRect rect; // the blurred alpha, in the picture's pixels (its top-left pixel at 0, 0)
    std::vector<std::uint8_t> alpha; // rect's size, row after row
};

class GraphicsContext {
public:
    // A context drawing into an image (ARGB32 premultiplied expected). Base space covers the
    // image with one unit = 1/baseScale pixel: base point (x, y) lands on pixel
    // (x * baseScale, height - y * baseScale).
    explicit GraphicsContext(QImage& target, double baseScale = 1.0);
    // A context over a painter that is already active on a device deviceHeight pixels high
    // (a widget's paint event). The painter's own transform at construction is kept as the
    // device mapping under the flip.
    GraphicsContext(QPainter& painter, int deviceWidth, int deviceHeight, double baseScale = 1.0);
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // ---- state stack
    void saveGState();
    void restoreGState();

    // ---- current transform (user space -> base space)
    AffineTransform ctm() const;
    void concatCTM(const AffineTransform& t);
    void translateCTM(double x, double y);
    void scaleCTM(double sx, double sy);
    void rotateCTM(double radians);  // counter-clockwise
    // The bounds of a user-space rectangle in device pixels (y-down, at the base scale).
    Rect convertRectToDeviceSpace(const Rect& r) const;
    // User space to device pixels (y-down, at the base scale): the CTM followed by the base
    // mapping.
    AffineTransform deviceTransform() const;
    // The device pixels drawing can reach now: the surface's, narrowed by the clip's bounds.
    QRect visibleDeviceRect() const;

    // ---- clip (non-zero, intersected with the current clip)
    void clipToPath(const BezierPath& path);
    void clipToRect(const Rect& r);
    // The clip's bounds in user space; an infinite rect when unclipped.
    Rect clipBoundingBox() const;

    // ---- compositing state
    void setAlpha(double alpha);
    double alpha() const;
    void setBlendMode(BlendMode mode);
    BlendMode blendMode() const;
    void setShadow(const Shadow& shadow);
    void clearShadow();
    std::optional<Shadow> shadow() const;

    // ---- paint settings
    void setFillColor(const Color& c);
    Color fillColor() const;
    void setStrokeColor(const Color& c);
    void setStrokeStyle(const StrokeStyle& s);
    StrokeStyle strokeStyle() const;

    // ---- drawing
    void fillPath(const BezierPath& path);
    void fillRect(const Rect& r);
    void strokePath(const BezierPath& path);
    // Clears to transparent inside r (through the clip), whatever the blend mode.
    void clearRect(const Rect& r);
    // Draws a gradient across the clip (the usual caller clips to a path first).
    void drawLinearGradient(const Gradient& g, const Point& start, const Point& end,
                            unsigned options);
    void drawRadialGradient(const Gradient& g, const Point& startCenter, double startRadius,
                            const Point& endCenter, double endRadius, unsigned options);
    // The platform's path gradients: linear at an angle (degrees, counter-clockwise from +x)
    // with the first and last stops on opposite corners of the path's bounds; radial from the
    // bounds' centre offset by relativeCenter (each -1..1 of half the bounds) out to the
    // farthest corner. Both fill only inside the path and leave the clip as it was.
    void drawLinearGradientInPath(const Gradient& g, const BezierPath& path, double angleDegrees);
    void drawRadialGradientInPath(const Gradient& g, const BezierPath& path,
                                  const Point& relativeCenter);
    // Draws part of a picture, upright, into dest (user space) with an operation and a
    // fraction (extra alpha). source is in the picture's points, y-up; a null source rect
    // means the whole picture.
    void drawImage(const Image& image, const Rect& dest, const Rect& source = Rect::null(),
                   CompositingOperation op = CompositingOperation::SourceOver,
                   double fraction = 1.0);
    // Fills the clip (or the path) with a picture repeated at its natural size, the copy at
    // phase (user space, y-up bottom-left of one tile).
    void fillPathWithPattern(const BezierPath& path, const Image& tile, const Point& phase,
                             double fraction = 1.0);

    // The inner shadow of a shape, in the current clip, transform and blend mode: within the
    // path clipped to itself, a layer holding the shadow's colour (opaque) where the path,
    // blurred and moved by the shadow, does not lie: (1 - B) K P, B that blur, K the clip's
    // coverage and P the path's. A pixel the outline crosses keeps the shadow to its covered
    // part (filling the path source-out over its own shadow leaves a dark seam there). The
    // layer is composited at alpha, casting the shadow again from its own pixels when
    // layerCastsShadow (the band doubled). With the normal blend mode and a clip whose
    // coverage is known exactly, the path is rasterised once and the shadows are computed on
    // coverage planes over the area of the clip and the path; otherwise the layer is drawn
    // step by step (the path filled, then its shadow alone erased from it).
    void fillInnerShadow(const BezierPath& path, const Shadow& shadow, double alpha,
                         bool layerCastsShadow = true);

    // ---- pre-rasterised coverage
    // The current fill colour put down through mask (device pixels), in the current clip,
    // alpha, blend mode and shadow: what fillPath gives for a shape whose coverage is mask.
    void fillMask(const CoverageMask& mask);
    // The same through pieces of coverage (where pieces meet, as filling one after the other
    // gives).
    void fillMask(const CoveragePieces& pieces);
    // What paint draws, seen through mask: the same as beginTransparencyLayer(); paint();
    // endTransparencyLayer() with the layer's pixels scaled by the mask's coverage before it is
    // composited, the layer kept to the mask's pixels. For fills that are not one colour.
    void drawThroughMask(const CoverageMask& mask, const std::function<void()>& paint);

    // ---- transparency layers
    void beginTransparencyLayer();
    void endTransparencyLayer();

    // ---- device pictures: what a view keeps of its drawing, to composite again later
    // The current transform from user space to device pixels (y-down, at the base scale).
    AffineTransform userToDeviceTransform() const;
    // The device pixels drawing can reach now: the surface cut to the clip's bounds (y-down,
    // rounded out); empty when nothing can be drawn.
    QRect visibleDeviceArea() const;
    // The device pixels of the surface being drawn into, whatever the clip.
    QRect deviceSurfaceArea() const;
    // Opens a clear picture over area (device pixels) and draws into it until endPicture:
    // unclipped within the area, with the default alpha, blend mode and shadow, the transform
    // unchanged. The state is saved at begin and restored at end.
    void beginPicture(const QRect& area);
    // Closes the innermost picture and hands back the part of it that was drawn on
    // (premultiplied; null when it could not be had or nothing was drawn), with the device
    // position of its top-left pixel in origin. The rest of the area is clear.
    QImage endPicture(QPoint& origin);
    // Puts down a picture of device pixels with its top-left pixel at origin, through the
    // current clip, alpha, blend mode and shadow: as a transparency layer holding the same
    // pixels is composited.
    // A shadow cast ahead may come with it: where it was cast for the state's shadow, it is
    // put down in place of blurring the picture again.
    void drawDevicePicture(
        const QImage& picture, const QPoint& origin, const CastShadow* cast = nullptr);
    // The shadow (base space) of a picture as a context of this base scale casts it. Touches
    // nothing else: may run on any thread.
    static CastShadow castShadow(const QImage& picture, const Shadow& shadow, double baseScale);
    // Whether cast was made for shadow (base space) at the base scale.
    static bool isCastFor(const CastShadow& cast, const Shadow& shadow, double baseScale);
    double baseScale() const;

    // The image being drawn into by the innermost surface (for tests and capture), if any.
    QImage* targetImage();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Saves the state on construction and restores it on destruction.
class GStateGuard {
public:
    explicit GStateGuard(GraphicsContext& ctx) : m_ctx(ctx) { m_ctx.saveGState(); }
    ~GStateGuard() { m_ctx.restoreGState(); }
    GStateGuard(const GStateGuard&) = delete;
    GStateGuard& operator=(const GStateGuard&) = delete;

private:
    GraphicsContext& m_ctx;
};
#define GStateGuard(x) static_assert(false, "GStateGuard must be a named variable")

} // namespace platform
