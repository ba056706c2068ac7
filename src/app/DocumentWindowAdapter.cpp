#include "app/DocumentWindowAdapter.h"

#include "app/AppLogging.h"
#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "canvas/PaintView.h"
#include "container/TextViewContainer.h"
#include "platform/imaging/BufferSource.h"
#include "platform/imaging/PixelTile.h"
#include "window/DocumentWindow.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/PictureSliders.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

canvas::PaintView* paintViewOf(const canvas::CanvasControls* canvas)
{
    auto* brush
        = canvas ? dynamic_cast<canvas::CanvasCustomShapeControls*>(canvas->controls()) : nullptr;
    return brush ? brush->paintView() : nullptr;
}

quint16 toUnit16(float v)
{
    // The accumulator keeps its values in 0..1; anything else is clamped before the cast.
    if (!std::isfinite(v))
        return 0;
    return quint16(std::lround(std::clamp(v, 0.0f, 1.0f) * 65535.0f));
}

} // namespace

DocumentWindowAdapter::DocumentWindowAdapter(platform::UndoManager& undo)
    : m_window(std::make_unique<DocumentWindow>(undo))
{
}

DocumentWindowAdapter::~DocumentWindowAdapter() = default;

QWidget* DocumentWindowAdapter::widget()
{
    return m_window.get();
}

bool DocumentWindowAdapter::loadPicture(const platform::Image& picture, const QByteArray&)
{
    canvas::CanvasControls* canvas = m_window->canvasControls();
    if (!canvas || picture.isNull())
        return false;
    // Nothing renders until requestSaturation(), so the restored values make the first frame.
    canvas->setSupressRendering(true);
    canvas->setCanvasWindow(m_window.get());
    canvas->loadImage(picture);
    if (!canvas->imageLoaded())
        return false;
    m_window->setOriginalImage(picture);
    m_window->windowReady();
    return true;
}

void DocumentWindowAdapter::applyContents(const DocumentContents& contents)
{
    DocumentWindow& w = *m_window;
    canvas::CanvasControls* canvas = w.canvasControls();
    w.setSelectedPresetName(contents.preset);
    // Each slider sends its action, so the canvas's filter values follow; one the file does
    // not keep stays where the window started it.
    for (const PictureSlider& row : pictureSliders()) {
        const QString key = QString::fromLatin1(row.documentKey);
        if (!key.isEmpty() && contents.pictureSliders.contains(key))
            (w.outlets().*row.outlet)->setValue(contents.pictureSliders.value(key));
    }
    canvas->setScaleStraightenOffset(contents.canvasScale, contents.straighten, contents.offset);
    w.showPictureZoom(contents.canvasScale, contents.straighten);
    if (canvas::PaintView* paint = paintViewOf(canvas); paint && contents.mask) {
        paint->setWorkingImage(maskFromImage(contents.mask->image));
        paint->setMaskScale(contents.mask->scale);
    }
    if (TextViewContainer* boxes = canvas->textViewContainer()) {
        if (contents.boxes)
            boxes->applyUndoData(*contents.boxes);
        boxes->setNeedsDisplay();
        // A box saved selected opens selected: the inspector shows it, as after any selection.
        w.textViewSelected(boxes->textViewAry);
    }
}

DocumentContents DocumentWindowAdapter::captureContents() const
{
    const DocumentWindow& w = *m_window;
    canvas::CanvasControls* canvas = w.canvasControls();
    DocumentContents contents;
    for (const PictureSlider& row : pictureSliders())
        if (row.documentKey)
            contents.pictureSliders.insert(
                QString::fromLatin1(row.documentKey), (w.outlets().*row.outlet)->value());
    contents.preset = w.selectedPresetName();
    contents.canvasScale = canvas->scale();
    contents.straighten = canvas->straighten();
    contents.offset = canvas->offset();
    if (canvas::PaintView* paint = paintViewOf(canvas))
        contents.mask = DocumentMask { maskToImage(paint->workingImage()), paint->maskScale() };
    if (TextViewContainer* boxes = canvas->textViewContainer())
        contents.boxes = boxes->containerSnapshot();
    return contents;
}

std::size_t DocumentWindowAdapter::boxCount() const
{
    const canvas::CanvasControls* canvas = m_window->canvasControls();
    const TextViewContainer* boxes = canvas ? canvas->textViewContainer() : nullptr;
    return boxes ? boxes->textViewAry.size() : 0;
}

QImage DocumentWindowAdapter::composeImage(QSize pixelSize) const
{
    canvas::CanvasControls* canvas = m_window->canvasControls();
    if (!canvas || pixelSize.isEmpty())
        return {};
    return canvas->outputImageForSize(platform::Size(pixelSize.width(), pixelSize.height()));
}

bool DocumentWindowAdapter::composeStripes(
    QSize pixelSize, const std::function<bool(const QImage& stripe)>& sink) const
{
    canvas::CanvasControls* canvas = m_window->canvasControls();
    if (!canvas || pixelSize.isEmpty())
        return false;
    return canvas->outputStripesForSize(
        platform::Size(pixelSize.width(), pixelSize.height()), sink);
}

QSize DocumentWindowAdapter::pictureSize() const
{
    const canvas::CanvasControls* canvas = m_window->canvasControls();
    if (!canvas)
        return {};
    const platform::Size size = canvas->targetImagePixelSize();
    if (!size.isFinite())
        return {};
    return QSize(int(std::lround(std::clamp(size.width, 0.0, 1e9))),
        int(std::lround(std::clamp(size.height, 0.0, 1e9))));
}

void DocumentWindowAdapter::requestSaturation()
{
    m_window->requestSaturation();
    if (!m_window->isVisible()) {
        // Sized to the screen it opens on, centred, or cascading from the window before it.
        m_window->center();
        m_window->show();
    }
}

void DocumentWindowAdapter::setDocumentCommands(const DocumentCommands& commands)
{
    m_window->setSaveDocumentHandler(commands.saveDocument);
    m_window->setExportImageHandler(commands.exportImage);
    m_window->setShareHandler(commands.share);
}

bool DocumentWindowAdapter::validateCommand(AppCommand command) const
{
    const auto edit = editCommandOf(command);
    return edit && m_window->validateMenuItem(*edit);
}

void DocumentWindowAdapter::performCommand(AppCommand command)
{
    if (const auto edit = editCommandOf(command))
        m_window->perform(*edit);
}

QImage DocumentWindowAdapter::maskToImage(const platform::FilterImage& mask)
{
    if (mask.isNull() || mask.isInfinite())
        return {};
    const platform::PixelRect area = platform::PixelRect::covering(mask.extent());
    platform::PixelTile tile;
    if (area.isEmpty() || !tile.allocate(area) || !mask.node()->render({}, tile)) {
        qCWarning(lcApp) << "the brush mask could not be read";
        return {};
    }
    QImage image(area.width, area.height, QImage::Format_RGBA64_Premultiplied);
    if (image.isNull())
        return {};
    // The tile's rows run bottom up; the picture's top down.
    for (int row = 0; row < area.height; ++row) {
        const platform::Px* src = tile.row(area.maxY() - 1 - row);
        auto* dst = reinterpret_cast<QRgba64*>(image.scanLine(row));
        for (int x = 0; x < area.width; ++x)
            dst[x] = QRgba64::fromRgba64(
                toUnit16(src[x][0]), toUnit16(src[x][1]), toUnit16(src[x][2]), toUnit16(src[x][3]));
    }
    return image;
}

platform::FilterImage DocumentWindowAdapter::maskFromImage(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage pixels = image.format() == QImage::Format_RGBA64_Premultiplied
        ? image
        : image.convertToFormat(QImage::Format_RGBA64_Premultiplied);
    const int w = pixels.width(), h = pixels.height();
    auto buffer = std::make_shared<std::vector<platform::Px>>(std::size_t(w) * std::size_t(h));
    for (int row = 0; row < h; ++row) {
        const auto* src = reinterpret_cast<const QRgba64*>(pixels.constScanLine(h - 1 - row));
        platform::Px* dst = buffer->data() + std::size_t(row) * std::size_t(w);
        for (int x = 0; x < w; ++x)
            dst[x] = platform::Px { src[x].red() / 65535.0f, src[x].green() / 65535.0f,
                src[x].blue() / 65535.0f, src[x].alpha() / 65535.0f };
    }
    return platform::FilterImage(std::make_shared<platform::BufferSource>(
        std::move(buffer), platform::PixelRect(0, 0, w, h)));
}
