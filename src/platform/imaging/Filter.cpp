#include "platform/imaging/Filter.h"

#include "platform/imaging/AffineTransformNode.h"
#include "platform/imaging/BlendWithMaskNode.h"
#include "platform/imaging/BlurNode.h"
#include "platform/imaging/ClampNode.h"
#include "platform/imaging/ColorControlsNode.h"
#include "platform/imaging/ColorMatrixNode.h"
#include "platform/imaging/ConstantColorNode.h"
#include "platform/imaging/CropNode.h"
#include "platform/imaging/LanczosScaleNode.h"
#include "platform/imaging/RadialGradientNode.h"
#include "platform/imaging/SourceOverNode.h"
#include "platform/imaging/VignetteNode.h"

#include <QLoggingCategory>
#include <cmath>
#include <functional>
#include <vector>

Q_LOGGING_CATEGORY(lcImaging, "quillmark.imaging", QtWarningMsg)

namespace platform {

namespace {

// Reads the inputs of one filter for its builder, falling back to the defaults.
struct Inputs {
    const QMap<QString, FilterValue>& values;
    const QMap<QString, FilterValue>& defaults;

    const FilterValue& get(const char* key) const
    {
        static const FilterValue none;
        const QString k = QString::fromLatin1(key);
        auto it = values.find(k);
        if (it != values.end() && !std::holds_alternative<std::monostate>(*it))
            return *it;
        auto d = defaults.find(k);
        return d != defaults.end() ? *d : none;
    }
    FilterNodePtr image(const char* key) const
    {
        const auto* p = std::get_if<FilterImage>(&get(key));
        return p ? p->node() : nullptr;
    }
    double number(const char* key) const
    {
        const auto* p = std::get_if<double>(&get(key));
        return p ? *p : 0.0;
    }
    FilterVector vector(const char* key) const
    {
        const auto* p = std::get_if<FilterVector>(&get(key));
        return p ? *p : FilterVector();
    }
    AffineTransform transform(const char* key) const
    {
        const auto* p = std::get_if<AffineTransform>(&get(key));
        return p ? *p : AffineTransform();
    }
    Color color(const char* key) const
    {
        const auto* p = std::get_if<Color>(&get(key));
        return p ? *p : Color();
    }
};

bool finite(double v)
{
    return std::isfinite(v);
}

template <class Node, class... Args> FilterImage make(Args&&... args)
{
    return FilterImage(std::make_shared<Node>(std::forward<Args>(args)...));
}

} // namespace

struct Filter::Spec {
    QString name;
    QMap<QString, FilterValue> defaults; // every key the filter takes, images as monostate
    std::function<FilterImage(const Inputs&)> build;
};

namespace {

using Spec = Filter::Spec;

const FilterValue kImage {};

std::vector<Spec> makeSpecs()
{
    std::vector<Spec> s;
    s.push_back({ "CIColorControls",
        { { "inputImage", kImage }, { "inputSaturation", 1.0 }, { "inputBrightness", 0.0 },
            { "inputContrast", 1.0 } },
        [](const Inputs& in) -> FilterImage {
            auto img = in.image("inputImage");
            const double sat = in.number("inputSaturation");
            const double b = in.number("inputBrightness");
            const double c = in.number("inputContrast");
            if (!img || !finite(sat) || !finite(b) || !finite(c))
                return {};
            if (sat == 1.0 && b == 0.0 && c == 1.0)
                return FilterImage(img);
            return make<ColorControlsNode>(img, sat, b, c);
        } });
    s.push_back(
        { "CIAffineClamp", { { "inputImage", kImage }, { "inputTransform", AffineTransform() } },
            [](const Inputs& in) -> FilterImage {
                auto img = in.image("inputImage");
                if (!img)
                    return {};
                const AffineTransform t = in.transform("inputTransform");
                if (!t.isIdentity())
                    img = std::make_shared<AffineTransformNode>(img, t);
                return make<ClampNode>(img);
            } });
    s.push_back({ "CIGaussianBlur", { { "inputImage", kImage }, { "inputRadius", 10.0 } },
        [](const Inputs& in) -> FilterImage {
            auto img = in.image("inputImage");
            const double r = in.number("inputRadius");
            if (!img || !finite(r))
                return {};
            if (r <= 0)
                return FilterImage(img);
            return make<BlurNode>(img, r);
        } });
    s.push_back({ "CICrop",
        { { "inputImage", kImage },
            { "inputRectangle", FilterVector::fromRect(Rect::infinite()) } },
        [](const Inputs& in) -> FilterImage {
            auto img = in.image("inputImage");
            const FilterVector v = in.vector("inputRectangle");
            if (!img || v.count != 4)
                return {};
            for (double c : v.v)
                if (!finite(c))
                    return {};
            const Rect r = v.toRect();
            if (r.isInfinite())
                return FilterImage(img);
            return make<CropNode>(img, r);
        } });
    s.push_back({ "CIVignette",
        { { "inputImage", kImage }, { "inputIntensity", 0.0 }, { "inputRadius", 1.0 } },
        [](const Inputs& in) -> FilterImage {
            auto img = in.image("inputImage");
            if (!img)
                return {};
            return make<VignetteNode>(img, in.number("inputIntensity"), in.number("inputRadius"));
        } });
    s.push_back({ "CIAffineTransform",
        { { "inputImage", kImage }, { "inputTransform", AffineTransform() } },
        [](const Inputs& in) -> FilterImage {
            auto img = in.image("inputImage");
            if (!img)
                return {};
            return FilterImage(img).transformed(in.transform("inputTransform"));
        } });
    s.push_back({ "CILanczosScaleTransform",
        { { "inputImage", kImage }, { "inputScale", 1.0 }, { "inputAspectRatio", 1.0 } },
        [](const Inputs& in) -> FilterImage {
            auto img = in.image("inputImage");
            const double scale = in.number("inputScale");
            const double aspect = in.number("inputAspectRatio");
            if (!img || !finite(scale) || !finite(aspect) || scale <= 0 || aspect <= 0
                || !finite(scale * aspect))
                return {};
            if (scale == 1.0 && aspect == 1.0)
                return FilterImage(img);
            return make<LanczosScaleNode>(img, scale * aspect, scale);
        } });
    s.push_back({ "CIBlendWithMask",
        { { "inputImage", kImage }, { "inputBackgroundImage", kImage },
            { "inputMaskImage", kImage } },
        [](const Inputs& in) -> FilterImage {
            auto img = in.image("inputImage");
            auto mask = in.image("inputMaskImage");
            if (!img || !mask)
                return {};
            // No background counts as clear.
            auto bg = in.image("inputBackgroundImage");
            if (!bg)
                bg = std::make_shared<ConstantColorNode>(Color::clear());
            return make<BlendWithMaskNode>(img, bg, mask);
        } });
    s.push_back({ "CIColorMatrix",
        { { "inputImage", kImage }, { "inputRVector", FilterVector(1, 0, 0, 0) },
            { "inputGVector", FilterVector(0, 1, 0, 0) },
            { "inputBVector", FilterVector(0, 0, 1, 0) },
            { "inputAVector", FilterVector(0, 0, 0, 1) },
            { "inputBiasVector", FilterVector(0, 0, 0, 0) } },
        [](const Inputs& in) -> FilterImage {
            auto img = in.image("inputImage");
            if (!img)
                return {};
            std::array<std::array<double, 4>, 4> rows;
            const char* keys[] = { "inputRVector", "inputGVector", "inputBVector", "inputAVector" };
            for (std::size_t i = 0; i < 4; ++i)
                rows[i] = in.vector(keys[i]).v;
            return make<ColorMatrixNode>(img, rows, in.vector("inputBiasVector").v);
        } });
    s.push_back({ "CIRadialGradient",
        { { "inputCenter", FilterVector(150, 150) }, { "inputRadius0", 5.0 },
            { "inputRadius1", 100.0 }, { "inputColor0", Color::white() },
            { "inputColor1", Color::black() } },
        [](const Inputs& in) -> FilterImage {
            return make<RadialGradientNode>(in.vector("inputCenter").toPoint(),
                in.number("inputRadius0"), in.number("inputRadius1"), in.color("inputColor0"),
                in.color("inputColor1"));
        } });
    s.push_back({ "CIConstantColorGenerator", { { "inputColor", Color::black() } },
        [](const Inputs& in) -> FilterImage {
            return FilterImage::constantColor(in.color("inputColor"));
        } });
    s.push_back({ "CISourceOverCompositing",
        { { "inputImage", kImage }, { "inputBackgroundImage", kImage } },
        [](const Inputs& in) -> FilterImage {
            auto img = in.image("inputImage");
            auto bg = in.image("inputBackgroundImage");
            if (!img || !bg)
                return {};
            return make<SourceOverNode>(img, bg);
        } });
    return s;
}

const std::vector<Spec>& specs()
{
    static const std::vector<Spec> all = makeSpecs();
    return all;
}

// The kind a key takes, by the kind of its default; images have monostate defaults.
bool kindMatches(const FilterValue& def, const FilterValue& v)
{
    if (std::holds_alternative<std::monostate>(v))
        return true;
    if (std::holds_alternative<std::monostate>(def))
        return std::holds_alternative<FilterImage>(v);
    if (const auto* dv = std::get_if<FilterVector>(&def)) {
        const auto* vv = std::get_if<FilterVector>(&v);
        return vv && vv->count == dv->count;
    }
    return def.index() == v.index();
}

} // namespace

Filter Filter::withName(const QString& filterName)
{
    Filter f;
    for (const Spec& s : specs()) {
        if (s.name == filterName) {
            f.m_spec = &s;
            f.m_name = filterName;
            f.setDefaults();
            return f;
        }
    }
    qCDebug(lcImaging) << "no filter named" << filterName;
    return f;
}

QStringList Filter::filterNames()
{
    QStringList names;
    for (const Spec& s : specs())
        names << s.name;
    return names;
}

QString Filter::filterName() const
{
    return m_spec ? m_spec->name : QString();
}

QStringList Filter::inputKeys() const
{
    return m_spec ? m_spec->defaults.keys() : QStringList();
}

void Filter::setDefaults()
{
    if (!m_spec)
        return;
    for (auto it = m_spec->defaults.begin(); it != m_spec->defaults.end(); ++it)
        if (!std::holds_alternative<std::monostate>(*it))
            m_values[it.key()] = *it;
}

bool Filter::setValue(const QString& key, const FilterValue& value)
{
    if (!m_spec)
        return false;
    auto def = m_spec->defaults.find(key);
    if (def == m_spec->defaults.end() || !kindMatches(*def, value)) {
        qCDebug(lcImaging) << "filter" << m_spec->name << "ignores a value for" << key;
        return false;
    }
    m_values[key] = value;
    return true;
}

FilterValue Filter::value(const QString& key) const
{
    auto it = m_values.find(key);
    if (it == m_values.end())
        return FilterValue(std::monostate());
    return *it;
}

FilterImage Filter::outputImage() const
{
    if (!m_spec)
        return {};
    return m_spec->build(Inputs { m_values, m_spec->defaults });
}

} // namespace platform
