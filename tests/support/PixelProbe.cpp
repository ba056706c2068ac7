#include "support/PixelProbe.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

namespace testsupport {

QImage blankImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

Rgba premultipliedAt(const QImage& image, int x, int y)
{
    const QImage img = image.format() == QImage::Format_ARGB32_Premultiplied
        ? image
        : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRgb p = img.pixel(x, img.height() - 1 - y);
    return {qRed(p), qGreen(p), qBlue(p), qAlpha(p)};
}

Rgba pixelAt(const QImage& image, int x, int y)
{
    const QRgb p = image.pixelColor(x, image.height() - 1 - y).rgba();
    return {qRed(p), qGreen(p), qBlue(p), qAlpha(p)};
}

bool near(const Rgba& a, const Rgba& b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance
        && std::abs(a.b - b.b) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

std::string describe(const Rgba& c)
{
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b)
        + ", " + std::to_string(c.a) + ")";
}

namespace {

// Calls f with the difference of every premultiplied component of two images of one size.
template <typename F> void forEachComponentDifference(const QImage& a, const QImage& b, F&& f)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const Rgba p = premultipliedAt(a, x, y);
            const Rgba q = premultipliedAt(b, x, y);
            for (const int d : { p.r - q.r, p.g - q.g, p.b - q.b, p.a - q.a })
                f(std::abs(d));
        }
}

} // namespace

int worstDifference(const QImage& a, const QImage& b)
{
    int worst = 0;
    forEachComponentDifference(a, b, [&](int d) { worst = std::max(worst, d); });
    return worst;
}

double meanDifference(const QImage& a, const QImage& b)
{
    double sum = 0.0;
    forEachComponentDifference(a, b, [&](int d) { sum += d; });
    const double n = 4.0 * a.width() * a.height();
    return n > 0 ? sum / n : 0.0;
}

KeptDifference differenceFromKept(const QImage& drawn, const QString& path, QImage::Format format)
{
    KeptDifference result;
    const QImage got = drawn.convertToFormat(format);
    const QImage kept = QImage(path).convertToFormat(format);
    if (kept.isNull() || kept.size() != got.size())
        return result;
    result.read = true;
    for (int y = 0; y < got.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(got.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(kept.constScanLine(y));
        for (int x = 0; x < got.width(); ++x) {
            if (a[x] == b[x])
                continue;
            ++result.differing;
            for (int shift : { 0, 8, 16, 24 })
                result.worst = std::max(result.worst,
                    std::abs(int((a[x] >> shift) & 255) - int((b[x] >> shift) & 255)));
        }
    }
    return result;
}

bool keepPicture(const QImage& drawn, const QString& path)
{
    return QDir().mkpath(QFileInfo(path).path()) && drawn.save(path);
}

} // namespace testsupport
