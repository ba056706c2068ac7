#pragma once
// The canvas's fixed chain of picture filters and the one path by which its inputs change.
//
// The chain is built from one process-wide table (canvasFilterTable) in this order: colour
// controls, clamp, blur, crop, the move of the picture's centre to the origin, the zoom of the
// picture (scale), the move back plus the offset, the straightening rotation, the custom
// drawing transform, the crop to the working rectangle, vignette and the blend with the mask.
// The blur and everything after it work on the clamped picture, so each layer is cropped to
// the working rectangle at the end. The mask is kept in picture coordinates and reaches the
// blend through pictureTransform(), so a painted part stays on its subject at any zoom,
// straightening and offset.
//
// setValue() stores an input and, unless rendering is suppressed, hands both layers their new
// images through the render sink: the picture before the mask blend (bottom) and the blended
// picture (top). Main thread only; building images computes nothing.
#include "platform/geometry/Rect.h"
#include "platform/imaging/Filter.h"

#include <QString>
#include <functional>
#include <utility>
#include <vector>

namespace canvas {

struct CanvasFilterRow {
    QString filter; // the engine's filter name
    QString name; // the filter object's name
    std::vector<std::pair<QString, platform::FilterValue>> constValues;
};

// Built once, on first use, and kept for the life of the process.
const std::vector<CanvasFilterRow>& canvasFilterTable();

class CanvasFilterChain {
public:
    static inline const QString kBlend = QStringLiteral("CIBlendWithMask");
    static inline const QString kStraighten = QStringLiteral("CIStraightenFilter");

    // bottom: the picture before the blend; top: the blended picture.
    using RenderSink = std::function<void(
        const platform::FilterImage& top, const platform::FilterImage& bottom)>;

    CanvasFilterChain();

    void setRenderSink(RenderSink sink) { m_sink = std::move(sink); }

    // Makes the filters afresh from the table, at their defaults plus the constant values.
    void buildFilters();
    // A new picture: the crop rectangle is its extent, the blend's background is clear, and
    // the centre moves and straightening follow the new working size. Renders.
    void loadImage(const platform::FilterImage& input);

    // The one way in: sets key of the filter named filterName (an empty name only
    // re-renders). A blend update while mask updates are locked is dropped whole. Returns
    // false when nothing was stored for a named filter.
    bool setValue(
        const platform::FilterValue& value, const QString& key, const QString& filterName);

    // The picture through the chain; backImage (if given) receives the picture before the
    // blend. Both are cropped to the working rectangle.
    platform::FilterImage produceImage(platform::FilterImage* backImage = nullptr) const;

    void setSaturation(double v);
    void setBlurStrength(double v);
    void setVignetteIntensity(double v);
    void setScale(double v);
    void setStraighten(double radians);
    void setOffset(const platform::Point& p);
    void setScaleStraightenOffset(double scale, double straighten, const platform::Point& offset);
    void setFiltersEnabled(bool on);
    void setSupressRendering(bool on) { m_supressRendering = on; }
    void setMaskUpdatesLocked(bool on) { m_maskUpdatesLocked = on; }

    double saturation() const { return m_saturation; }
    double blurStrength() const { return m_blurStrength; }
    double vignetteIntensity() const { return m_vignetteIntensity; }
    double scale() const { return m_scale; }
    double straighten() const { return m_straighten; }
    platform::Point offset() const { return m_offset; }
    bool filtersEnabled() const { return m_filtersEnabled; }
    bool supressRendering() const { return m_supressRendering; }
    bool maskUpdatesLocked() const { return m_maskUpdatesLocked; }
    // working width / 100 x blur strength.
    double outBlurStrength() const;
    const platform::FilterImage& inputImage() const { return m_input; }
    platform::Rect workingRect() const;
    // Picture coordinates to working (shown) coordinates: the chain's zoom, offset,
    // straightening and custom drawing transforms, in chain order. The mask and the brush's
    // dabs go through it.
    platform::AffineTransform pictureTransform() const;
    // The named filter, or null.
    const platform::Filter* filter(const QString& name) const;

    // A clear image without bounds: the blend's background.
    static platform::FilterImage desaturatedImage();
    // Grey from red at shift 0, green at 0.5, blue at 1, linear in between: the colour-matrix
    // rows R, G, B, A.
    static std::vector<std::pair<QString, platform::FilterValue>>
    blackAndWhiteColorMatrixParameters(float shift);
    static platform::FilterImage imageByApplyingBlackAndWhiteShift(
        const platform::FilterImage& image, float shift);

private:
    platform::Filter* findFilter(const QString& name);
    bool store(const QString& filterName, const QString& key, const platform::FilterValue& value);
    // The centre moves and the straightening rotation for the current working size, scale
    // and offset.
    void updateScalingAndOffsetTransforms();
    void render();

    std::vector<platform::Filter> m_filters;
    platform::FilterImage m_input;
    RenderSink m_sink;
    double m_saturation = 1;
    double m_blurStrength = 0;
    double m_vignetteIntensity = 0;
    double m_scale = 1;
    double m_straighten = 0;
    platform::Point m_offset;
    bool m_filtersEnabled = true;
    bool m_supressRendering = false;
    bool m_maskUpdatesLocked = false;
};

} // namespace canvas
