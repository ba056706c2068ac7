#pragma once
// The one fill type of the system: no fill, a solid colour, a two-colour or multi-stop linear
// or radial gradient, or a picture with a scale mode; each with an angle in degrees and an
// opacity. Every colour slot of a box (background, overlay, border, stroke) and every run of
// text holds one.
//
// SZGradient is a value: copying it copies every field (pictures are immutable and shared),
// so no two boxes, records or controls ever share one mutable fill.
#include "platform/archive/KeyedCoding.h"
#include "platform/geometry/Rect.h"
#include "platform/graphics/BezierPath.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Gradient.h"
#include "platform/graphics/Image.h"
#include "platform/text/AttributeValue.h"

#include <optional>
#include <vector>

namespace platform {
class GraphicsContext;
class KeyedUnarchiver;
}

// The attributed-string attribute whose value is an SZGradient: the fill of a run of text.
inline constexpr const char GradientAttributeName[] = "GradientAttributeName";

// A fill is also a text attribute value (under GradientAttributeName) and an archivable object.
class SZGradient final : public platform::KeyedCoding, public platform::AttributeObject {
public:
    // Fill kinds (gradientType).
    enum Kind : int {
        NoFill = 0,
        ColorFill = 1,
        LinearFill = 2,
        RadialFill = 3,
        AdvancedLinearFill = 4,
        AdvancedRadialFill = 5,
        ImageFill = 6,
    };
    // Image scale modes (imageScaleType), in the order of the fill control's menu.
    enum ScaleType : int { OriginalSize = 0, Stretch = 1, Tile = 2, ScaleToFill = 3, ScaleToFit = 4 };

    // The defaults of a new fill: opaque black colour fill, white-to-black stops, angle 90.
    SZGradient();

    // Absent only after decoding an archive that lacked the key.
    std::optional<platform::Gradient> gradient;
    std::optional<platform::Color> color;
    int gradientType = ColorFill;
    platform::Image image;  // null when there is none
    double angle = 90.0;
    int drawType = 0;
    int imageScaleType = Stretch;
    float opacity = 1.0f;

    // Field-by-field equality in the system's order. Pictures compare by identity, and a fill
    // with a picture never equals one without (a fill that gains its first picture has
    // changed, so a cached drawing of it must not be reused).
    bool isEqualTo(const SZGradient& other) const;
    bool operator==(const SZGradient& other) const { return isEqualTo(other); }

    // The per-draw copy: colours (the colour and every stop) with their alpha multiplied by
    // opacity, angle increased by angleDelta (no wrapping), opacity replaced by the argument.
    [[nodiscard]] SZGradient gradientWithOpacity(double opacity, double angleDelta) const;

    // The archive form: "color", "gradient", "drawtype", "gradienttype", "angle" (float),
    // "imageScaleType", "image", "opacity" (float), in that order. Reading starts from the
    // defaults and overwrites every field, so a missing number reads 0 and a missing object
    // reads absent, as the file format has always behaved; numbers that cannot be drawn
    // (non-finite angle or opacity) are replaced by safe values with a log line.
    QString archiveClassName() const override { return QStringLiteral("SZGradient"); }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static SZGradient initWithCoder(const platform::KeyedUnarchiver& coder);

    // As a text attribute: the value to store, and the fill a stored value holds (nullptr when
    // it holds something else).
    static platform::AttributeValue attributeValue(const SZGradient& fill);
    static const SZGradient* fromAttribute(const platform::AttributeValue& value);
    QString attributeClassName() const override { return archiveClassName(); }
    bool equals(const platform::AttributeObject& other) const override;
    std::shared_ptr<platform::AttributeObject> clone() const override;

    // Fills path with fill in ctx (kinds 0 and 1 leave their colour as the fill colour).
    // Linear kinds are drawn at 360 - angle across the path's bounds. pathTurn is the
    // rotation (degrees) that the caller has already applied to the path and added into the
    // fill's angle: linear gradients then turn with the path, as image fills do.
    static void drawGradient(const SZGradient& fill, const platform::BezierPath& path,
                             platform::GraphicsContext& ctx, double pathTurn = 0.0);
    // Fills an outline made from a stroke. bounds gives the gradients' geometry and the
    // turning centre of a picture; orgbounds is where a picture is placed.
    static void drawStrokeGradient(const SZGradient& fill, const platform::BezierPath& path,
                                   const platform::Rect& bounds, const platform::Rect& orgbounds,
                                   platform::GraphicsContext& ctx);
};

// Where the copies of a picture of size imageSize go in rect for a scale mode.
struct ImagePlacement {
    enum class Kind { None, Single, Tiled };
    Kind kind = Kind::None;
    // Single: the one copy. Tiled: the copy of column 0 and row 0 (the bottom-left tile);
    // the others follow at multiples of the picture's size.
    platform::Rect first;
    int columns = 0;
    int rows = 0;
    // Tiled: the area the nx by ny copies cover.
    platform::Rect tiledArea() const;
};
ImagePlacement placeImage(int imageScaleType, const platform::Size& imageSize,
                          const platform::Rect& rect);
