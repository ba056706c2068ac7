#include "canvas/CanvasFilterChain.h"

#include <QLoggingCategory>
#include <cmath>

namespace canvas {

using platform::AffineTransform;
using platform::Filter;
using platform::FilterImage;
using platform::FilterValue;
using platform::FilterVector;
using platform::Rect;

namespace {

const QString kPreScale = QStringLiteral("CIAffineTransformPreScale");
const QString kPostScale = QStringLiteral("CIAffineTransform");
const QString kLanczos = QStringLiteral("CILanczosScaleTransform");
const QString kCrop = QStringLiteral("CICrop");
const QString kShownCrop = QStringLiteral("CICropToWorkingRect");

} // namespace

const std::vector<CanvasFilterRow>& canvasFilterTable()
{
    static const std::vector<CanvasFilterRow> table = {
        { "CIColorControls", "CIColorControls", {} },
        { "CIAffineClamp", "CIAffineClamp", { { "inputTransform", AffineTransform() } } },
        { "CIGaussianBlur", "CIGaussianBlur", {} },
        { "CICrop", kCrop, {} },
        { "CIAffineTransform", kPreScale, {} },
        { "CILanczosScaleTransform", kLanczos, {} },
        { "CIAffineTransform", kPostScale, {} },
        // Turns the picture about the working centre; without it the straighten slider would
        // do nothing. Its angle arrives as "inputAngle" and becomes the transform.
        { "CIAffineTransform", CanvasFilterChain::kStraighten, {} },
        { "CIAffineTransform", "CIAffineTransformCustomDrawing", {} },
        // The vignette darkens the corners of what shows, so it follows the zoom: cropped to
        // the working rectangle first, it stays in view at any zoom.
        { "CICrop", kShownCrop, {} },
        { "CIVignette", "CIVignette", {} },
        { "CIBlendWithMask", CanvasFilterChain::kBlend, {} },
    };
    return table;
}

CanvasFilterChain::CanvasFilterChain()
{
    buildFilters();
}

void CanvasFilterChain::buildFilters()
{
    m_filters.clear();
    for (const CanvasFilterRow& row : canvasFilterTable()) {
        Filter f = Filter::withName(row.filter);
        f.setDefaults();
        f.setName(row.name.isEmpty() ? row.filter : row.name);
        for (const auto& [key, value] : row.constValues)
            f.setValue(key, value);
        m_filters.push_back(std::move(f));
    }
    updateScalingAndOffsetTransforms();
}

Filter* CanvasFilterChain::findFilter(const QString& name)
{
    for (Filter& f : m_filters)
        if (f.name() == name)
            return &f;
    return nullptr;
}

const Filter* CanvasFilterChain::filter(const QString& name) const
{
    return const_cast<CanvasFilterChain*>(this)->findFilter(name);
}

Rect CanvasFilterChain::workingRect() const
{
    const Rect e = m_input.extent();
    return e.isNull() || e.isInfinite() ? Rect() : e;
}

double CanvasFilterChain::outBlurStrength() const
{
    return workingRect().width() / 100.0 * m_blurStrength;
}

void CanvasFilterChain::loadImage(const FilterImage& input)
{
    m_input = input;
    updateScalingAndOffsetTransforms();
    store(kShownCrop, "inputRectangle", FilterVector::fromRect(workingRect()));
    setValue(FilterVector::fromRect(workingRect()), "inputRectangle", kCrop);
    setValue(desaturatedImage(), "inputBackgroundImage", kBlend);
}

bool CanvasFilterChain::store(
    const QString& filterName, const QString& key, const FilterValue& value)
{
    if (filterName == kStraighten && key == "inputAngle") {
        const double* angle = std::get_if<double>(&value);
        if (!angle || !std::isfinite(*angle))
            return false;
        m_straighten = *angle;
        updateScalingAndOffsetTransforms();
        return true;
    }
    Filter* f = findFilter(filterName);
    return f && f->setValue(key, value);
}

bool CanvasFilterChain::setValue(
    const FilterValue& value, const QString& key, const QString& filterName)
{
    if (m_maskUpdatesLocked && filterName == kBlend)
        return false;
    const bool stored = filterName.isEmpty() || store(filterName, key, value);
    render();
    return stored;
}

void CanvasFilterChain::render()
{
    if (m_supressRendering || !m_sink)
        return;
    if (!m_filtersEnabled) {
        m_sink(m_input, m_input);
        return;
    }
    FilterImage back;
    const FilterImage top = produceImage(&back);
    m_sink(top, back);
}

FilterImage CanvasFilterChain::produceImage(FilterImage* backImage) const
{
    const Rect working = workingRect();
    FilterImage image = m_input;
    FilterImage back = m_input;
    // Consecutive transforms are applied as one, so the centre moves cancel instead of
    // resampling the picture twice; a zoom of 1 is no step at all.
    AffineTransform pending;
    for (const Filter& f : m_filters) {
        if (f.filterName() == "CIAffineTransform") {
            const FilterValue t = f.value("inputTransform");
            if (const auto* transform = std::get_if<AffineTransform>(&t))
                pending = pending.concatenated(*transform);
            continue;
        }
        if (f.name() == kLanczos && f.value("inputScale") == FilterValue(1.0)
            && f.value("inputAspectRatio") == FilterValue(1.0))
            continue;
        image = image.transformed(pending);
        pending = AffineTransform();
        const bool blend = f.name() == kBlend;
        if (blend)
            back = image.cropped(working);
        Filter step = f;
        step.setValue("inputImage", image);
        if (blend) {
            // The mask is painted on the picture: it moves, turns and zooms with it.
            const FilterValue mask = f.value("inputMaskImage");
            if (const auto* m = std::get_if<FilterImage>(&mask); m && !m->isNull())
                step.setValue("inputMaskImage", m->transformed(pictureTransform()));
        }
        image = step.outputImage();
        if (blend)
            image = image.cropped(working);
    }
    image = image.transformed(pending);
    if (backImage)
        *backImage = back;
    return image;
}

AffineTransform CanvasFilterChain::pictureTransform() const
{
    AffineTransform t;
    for (const Filter& f : m_filters) {
        if (f.filterName() == "CIAffineTransform") {
            const FilterValue v = f.value("inputTransform");
            if (const auto* step = std::get_if<AffineTransform>(&v))
                t = t.concatenated(*step);
        } else if (f.name() == kLanczos) {
            const FilterValue scale = f.value("inputScale"), aspect = f.value("inputAspectRatio");
            const double* s = std::get_if<double>(&scale);
            const double* a = std::get_if<double>(&aspect);
            if (s && a && std::isfinite(*s * *a) && *s > 0 && *a > 0)
                t = t.concatenated(AffineTransform::makeScale(*s * *a, *s));
        }
    }
    return t;
}

void CanvasFilterChain::updateScalingAndOffsetTransforms()
{
    const Rect working = workingRect();
    const double cx = working.width() / 2, cy = working.height() / 2;
    if (Filter* f = findFilter(kPreScale))
        f->setValue("inputTransform", AffineTransform::makeTranslation(-cx, -cy));
    if (Filter* f = findFilter(kPostScale))
        f->setValue(
            "inputTransform", AffineTransform::makeTranslation(cx + m_offset.x, cy + m_offset.y));
    // Scaled about the centre just enough that the turned picture still covers the working
    // rectangle: no clear corners.
    const double c = std::abs(std::cos(m_straighten)), s = std::abs(std::sin(m_straighten));
    double cover = 1;
    if (working.width() > 0 && working.height() > 0)
        cover = std::max((working.width() * c + working.height() * s) / working.width(),
            (working.width() * s + working.height() * c) / working.height());
    if (Filter* f = findFilter(kStraighten))
        f->setValue("inputTransform",
            AffineTransform::makeTranslation(-cx, -cy)
                .concatenated(AffineTransform::makeRotation(m_straighten))
                .concatenated(AffineTransform::makeScale(cover, cover))
                .concatenated(AffineTransform::makeTranslation(cx, cy)));
}

void CanvasFilterChain::setSaturation(double v)
{
    m_saturation = v;
    setValue(v, "inputSaturation", "CIColorControls");
}

void CanvasFilterChain::setBlurStrength(double v)
{
    m_blurStrength = v;
    setValue(v, "inputRadius", "CIGaussianBlur");
}

void CanvasFilterChain::setVignetteIntensity(double v)
{
    m_vignetteIntensity = v;
    setValue(v, "inputIntensity", "CIVignette");
}

void CanvasFilterChain::setScale(double v)
{
    m_scale = v;
    setValue(v, "inputScale", kLanczos);
    updateScalingAndOffsetTransforms();
}

void CanvasFilterChain::setStraighten(double radians)
{
    setValue(radians, "inputAngle", kStraighten);
}

void CanvasFilterChain::setOffset(const platform::Point& p)
{
    m_offset = p;
    updateScalingAndOffsetTransforms();
    render();
}

void CanvasFilterChain::setScaleStraightenOffset(
    double scale, double straighten, const platform::Point& offset)
{
    m_scale = scale;
    m_offset = offset;
    store(kLanczos, "inputScale", scale);
    updateScalingAndOffsetTransforms();
    setValue(straighten, "inputAngle", kStraighten);
}

void CanvasFilterChain::setFiltersEnabled(bool on)
{
    m_filtersEnabled = on;
    setValue({}, {}, {});
}

FilterImage CanvasFilterChain::desaturatedImage()
{
    return FilterImage::constantColor(platform::Color(0, 0, 0, 0));
}

std::vector<std::pair<QString, FilterValue>> CanvasFilterChain::blackAndWhiteColorMatrixParameters(
    float s)
{
    float a, b, c;
    if (s < 0.5f) {
        a = 1 - 2 * s;
        b = 2 * s;
        c = 0;
    } else {
        a = 0;
        b = 2 - 2 * s;
        c = 2 * s - 1;
    }
    const FilterVector grey(a, b, c, 0);
    return { { "inputRVector", grey }, { "inputGVector", grey }, { "inputBVector", grey },
        { "inputAVector", FilterVector(0, 0, 0, 1) } };
}

FilterImage CanvasFilterChain::imageByApplyingBlackAndWhiteShift(
    const FilterImage& image, float shift)
{
    Filter f = Filter::withName("CIColorMatrix");
    f.setValue("inputImage", image);
    for (const auto& [key, value] : blackAndWhiteColorMatrixParameters(shift))
        f.setValue(key, value);
    return f.outputImage();
}

} // namespace canvas
