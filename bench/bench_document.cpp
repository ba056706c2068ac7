// Opening and saving a document: a 6000 x 4000 JPEG, a brush mask and 50 boxes.
//
// BM_VipsDecodeJpeg  libvips decoding that JPEG whole into memory (what "vips copy photo.jpg
//                    x.v" does), in the same run.
// BM_OpenDocument    the file read, validated and its picture decoded, the window given the
//                    picture and the restored state (a window that paints nothing: the first
//                    frame is the document window's). "vips ratio" = ours / libvips's decode,
//                    the decode run after each of our openings in the same iterations.
// BM_OpenToFirstFrame the same open in the real document window, until both picture layers
//                    have arrived and the window has painted its first frame (offscreen,
//                    1400 x 900). "vips ratio" as above.
// BM_SaveDocument    the archive with its 300 x 300 preview, written atomically.
//
// glib names a member "signals", which Qt's keyword macro would replace: libvips comes first.
#ifdef QUILLMARK_HAVE_VIPS
#include <vips/vips.h>
#endif

#include "EventWait.h"
#include "PairedTiming.h"
#include "app/ColorDocument.h"
#include "app/ColorDocumentController.h"
#include "app/DocumentFile.h"
#include "app/DocumentWindowAdapter.h"
#include "app/WelcomeWindowPort.h"
#include "canvas/CanvasControls.h"
#include "canvas/RenderView.h"
#include "container/ContainerSnapshot.h"
#include "platform/graphics/Image.h"
#include "window/DocumentWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <functional>
#include <memory>

namespace {

const QSize kPhotoSize(6000, 4000);
constexpr int kBoxes = 50;

QByteArray photoJpeg()
{
    QImage image(kPhotoSize, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            // Smooth light with fine texture, so the JPEG is as heavy as a photo's.
            const int grain = ((x * 7919) ^ (y * 104729)) & 31;
            row[x] = qRgb((x / 24 + grain) & 255, (y / 16 + grain) & 255, (x + y) / 40 & 255);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.write(image);
    return bytes;
}

DocumentContents sceneContents()
{
    DocumentContents contents;
    contents.imageData = photoJpeg();
    contents.pictureSliders["Aperture"] = 0.3;
    contents.pictureSliders["Vignette"] = 0.2;
    contents.pictureSliders["Saturation"] = 0.8;
    const QSize maskSize(512, 341);
    QImage mask(maskSize, QImage::Format_RGBA64_Premultiplied);
    for (int y = 0; y < maskSize.height(); ++y)
        for (int x = 0; x < maskSize.width(); ++x) {
            const quint16 a = quint16((x * 128 + y * 64) & 0xffff);
            mask.setPixelColor(x, y, QColor::fromRgba64(0, a, 0, a));
        }
    contents.mask = DocumentMask { mask, DocumentFile::standardMaskScale(kPhotoSize) };
    std::vector<UNDODATA> records;
    for (int i = 0; i < kBoxes; ++i) {
        UNDODATA r;
        r.frame = platform::Rect(40 + i * 100, 60 + i * 70, 400, 120);
        if (i % 10 == 9) {
            QImage pixels(200, 150, QImage::Format_ARGB32_Premultiplied);
            pixels.fill(qRgb(200, 30 + i, 40));
            r.type = UNDODATA::ImageBox;
            r.orgImage = platform::Image::fromQImage(pixels);
        } else {
            r.type = UNDODATA::TextBox;
            r.rtf = platform::AttributedString(QStringLiteral("Box number %1").arg(i));
        }
        records.push_back(std::move(r));
    }
    contents.boxes = ContainerSnapshot(std::move(records));
    return contents;
}

struct Scene {
    QTemporaryDir dir;
    QString path = dir.filePath("scene.quillmark");
    DocumentContents contents = sceneContents();
    Scene()
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(DocumentFile::write(contents));
    }
};

std::unique_ptr<Scene> gScene;

// Takes what a document gives it and paints nothing; the preview is scaled from the picture.
class QuietWindow final : public DocumentWindowPort {
public:
    QWidget* widget() override { return &m_widget; }
    bool loadPicture(const platform::Image& picture, const QByteArray&) override
    {
        m_picture = picture;
        return !picture.isNull();
    }
    void applyContents(const DocumentContents& contents) override { m_state = contents; }
    DocumentContents captureContents() const override { return m_state; }
    QImage composeImage(QSize size) const override
    {
        return m_picture.toQImage().scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    QSize pictureSize() const override { return m_picture.pixelSize(); }
    void requestSaturation() override { }

private:
    QWidget m_widget;
    platform::Image m_picture;
    DocumentContents m_state;
};

class NoWelcome final : public WelcomeWindowPort {
public:
    void makeKeyAndOrderFront() override { }
    void orderOut() override { }
    bool isVisible() const override { return false; }
    bool dontShowChecked() const override { return true; }
    void setDontShowChecked(bool) override { }
};

#ifdef QUILLMARK_HAVE_VIPS
// libvips decoding the scene's JPEG whole into memory; false when it failed.
bool vipsDecode()
{
    const QByteArray& jpeg = gScene->contents.imageData;
    VipsImage* image = vips_image_new_from_buffer(
        jpeg.constData(), size_t(jpeg.size()), "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
    size_t size = 0;
    void* pixels = image ? vips_image_write_to_memory(image, &size) : nullptr;
    benchmark::DoNotOptimize(pixels);
    g_free(pixels);
    if (image)
        g_object_unref(image);
    return pixels != nullptr;
}

void BM_VipsDecodeJpeg(benchmark::State& state)
{
    for (auto _ : state) {
        if (!vipsDecode())
            state.SkipWithError(vips_error_buffer());
    }
}
BENCHMARK(BM_VipsDecodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
#endif

// Opens the scene once an iteration and times it up to what `shown` waits for (nothing: the
// open alone), then closes it; libvips decodes the same JPEG in each iteration after ours, for
// the ratio. `shown` answers an error, or nullptr when the document showed.
using ShownCheck = std::function<const char*(ColorDocument&, const QElapsedTimer&)>;
void timeOpenings(benchmark::State& state, const ShownCheck& shown)
{
    NoWelcome welcome;
    ColorDocumentController controller(welcome);
    PairedTiming timing;
    for (auto _ : state) {
        ColorDocument* document = nullptr;
        const char* error = nullptr;
        auto open = [&] {
            QElapsedTimer t;
            t.start();
            document = static_cast<ColorDocument*>(
                controller.openDocumentWithContentsOfFile(gScene->path).document);
            error = !document ? "the scene did not open" : shown ? shown(*document, t) : nullptr;
        };
        auto peer = [&] {
#ifdef QUILLMARK_HAVE_VIPS
            if (!vipsDecode())
                error = "libvips failed to decode the JPEG";
#endif
        };
        timing.iteration(state, open, peer);
        if (document) {
            document->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        if (error) {
            state.SkipWithError(error);
            break;
        }
    }
#ifdef QUILLMARK_HAVE_VIPS
    timing.report(state, "vips ratio", "vips ms");
#endif
}

void BM_OpenDocument(benchmark::State& state)
{
    timeOpenings(state, {});
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_OpenToFirstFrame(benchmark::State& state)
{
    const DocumentWindowFactory quiet = installDocumentWindowFactory(
        [](platform::UndoManager& undo) { return std::make_unique<DocumentWindowAdapter>(undo); });
    timeOpenings(state, [](ColorDocument& document, const QElapsedTimer& t) -> const char* {
        auto* port = dynamic_cast<DocumentWindowAdapter*>(document.windowPort());
        if (!port)
            return "the scene did not open in a document window";
        DocumentWindow& window = port->window();
        window.resize(1400, 900);
        window.show();
        canvas::CanvasControls* canvas = window.canvasControls();
        auto arrived = [&] {
            return !canvas->backgroundView()->renderedPixels().isNull()
                && !canvas->renderView()->renderedPixels().isNull();
        };
        const bool ok = waitForEvents(arrived, int(std::max<qint64>(1, 20000 - t.elapsed())));
        benchmark::DoNotOptimize(window.grab());
        return ok ? nullptr : "the picture layers never arrived";
    });
    installDocumentWindowFactory(quiet);
}
BENCHMARK(BM_OpenToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_SaveDocument(benchmark::State& state)
{
    NoWelcome welcome;
    ColorDocumentController controller(welcome);
    auto* document = controller.openDocumentWithContentsOfFile(gScene->path).document;
    if (!document) {
        state.SkipWithError("the scene did not open");
        return;
    }
    const QString out = gScene->dir.filePath("saved.quillmark");
    for (auto _ : state) {
        if (document->writeToFile(out))
            state.SkipWithError("the save failed");
    }
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#ifdef QUILLMARK_HAVE_VIPS
    if (VIPS_INIT(argv[0]))
        return 1;
    vips_cache_set_max(0);
#endif
    installDocumentWindowFactory(
        [](platform::UndoManager&) { return std::make_unique<QuietWindow>(); });
    gScene = std::make_unique<Scene>();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gScene.reset();
    return 0;
}
