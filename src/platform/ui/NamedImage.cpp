#include "platform/ui/NamedImage.h"

#include "platform/ui/UiLogging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>
#include <memory>

namespace platform {

// Beside the executable when installed, else the source tree's resources folder.
QString namedImagePath(const QString& name)
{
    const QString file = name + QStringLiteral(".svg");
    const QString installed = QCoreApplication::applicationDirPath()
        + QStringLiteral("/../share/quillmark/resources/") + file;
    if (QFileInfo::exists(installed))
        return installed;
    return QStringLiteral(QUILLMARK_RESOURCES_DIR "/") + file;
}

namespace {

struct Cache {
    QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    QHash<QString, Image> renders;
};

Cache& cache()
{
    static Cache c;
    return c;
}

QSvgRenderer* rendererFor(const QString& name)
{
    Cache& c = cache();
    auto it = c.renderers.find(name);
    if (it == c.renderers.end()) {
        auto renderer = std::make_shared<QSvgRenderer>(namedImagePath(name));
        if (!renderer->isValid()) {
            qCDebug(lcPlatformUi) << "no artwork named" << name;
            renderer.reset();
        }
        it = c.renderers.insert(name, renderer);
    }
    return it->get();
}

} // namespace

Image namedImage(const QString& name, Size pointSize, double scale)
{
    if (!pointSize.isFinite() || !std::isfinite(scale) || pointSize.width <= 0
        || pointSize.height <= 0 || scale <= 0)
        return Image();
    const int w = int(std::ceil(std::min(pointSize.width * scale, 8192.0)));
    const int h = int(std::ceil(std::min(pointSize.height * scale, 8192.0)));
    const QString key = QStringLiteral("%1/%2x%3").arg(name).arg(w).arg(h);
    Cache& c = cache();
    if (auto it = c.renders.find(key); it != c.renders.end())
        return it.value();
    QSvgRenderer* renderer = rendererFor(name);
    if (!renderer)
        return Image();
    QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::transparent);
    {
        QPainter painter(&pixels);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer->render(&painter, QRectF(0, 0, w, h));
    }
    const Image image = Image::fromQImage(pixels, pointSize);
    c.renders.insert(key, image);
    return image;
}

Size namedImageNaturalSize(const QString& name)
{
    QSvgRenderer* renderer = rendererFor(name);
    if (!renderer)
        return Size(0, 0);
    const QRectF box = renderer->viewBoxF();
    return Size(box.width(), box.height());
}

} // namespace platform
