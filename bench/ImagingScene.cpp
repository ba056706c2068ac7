#include "ImagingScene.h"

#include "platform/imaging/Filter.h"
#include "platform/imaging/VignetteNode.h"

#include <cmath>

using namespace platform;

namespace bench {

namespace {

QImage makePicture()
{
    QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kHeight; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const unsigned noise = (unsigned(x) * 2654435761u ^ unsigned(y) * 40503u) >> 27;
            row[x] = qRgb(int(128 + 100 * std::sin(x * 0.003)) + int(noise & 15),
                int(128 + 100 * std::cos(y * 0.004)), int((x + y) / 40 % 256));
        }
    }
    return img;
}

FilterImage makeMask()
{
    const int mw = 512, mh = 512 * kHeight / kWidth;
    QImage m(mw, mh, QImage::Format_ARGB32_Premultiplied);
    m.fill(Qt::transparent);
    for (int y = 0; y < mh; ++y)
        for (int x = 0; x < mw; ++x)
            if (std::hypot(x - mw * 0.5, y - mh * 0.5) < mh * 0.3)
                m.setPixel(x, y, qRgba(255, 255, 255, 255));
    const double s = double(kWidth) / mw;
    return FilterImage::fromQImage(m).transformed(AffineTransform::makeScale(s, s));
}

FilterImage step(const char* name, const FilterImage& in,
    std::initializer_list<std::pair<const char*, FilterValue>> values)
{
    Filter f = Filter::withName(QString::fromLatin1(name));
    f.setValue(QStringLiteral("inputImage"), in);
    for (const auto& [k, v] : values)
        f.setValue(QString::fromLatin1(k), v);
    return f.outputImage();
}

} // namespace

const QImage& picture()
{
    static const QImage p = makePicture();
    return p;
}

Layers chain(const FilterImage& src)
{
    FilterImage img = step("CIColorControls", src, { { "inputSaturation", kSaturation } });
    img = step("CIAffineClamp", img, {});
    img = step("CIGaussianBlur", img, { { "inputRadius", kBlurSigma } });
    img = step("CICrop", img, { { "inputRectangle", FilterVector::fromRect(src.extent()) } });
    img = step("CIVignette", img, { { "inputIntensity", kVignette } });
    static const FilterImage mask = makeMask();
    FilterImage top = step("CIBlendWithMask", img,
        { { "inputBackgroundImage", FilterImage::constantColor(Color::clear()) },
            { "inputMaskImage", mask } });
    return { img, top.cropped(src.extent()) };
}

std::vector<float> vignetteFactors()
{
    std::vector<float> f(std::size_t(kWidth) * kHeight);
    const double half = std::hypot(kWidth, kHeight) * 0.5;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double d = std::hypot(x + 0.5 - kWidth * 0.5, y + 0.5 - kHeight * 0.5) / half;
            f[std::size_t(y) * kWidth + x] = float(VignetteNode::factor(d, kVignette, 1.0));
        }
    return f;
}

} // namespace bench
