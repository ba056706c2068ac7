// Peak memory of opening the largest documents a picture budget lets through, each in a process
// of its own (the peak is the process's), in the real document window up to its first frame.
//
//   peak_open_document make DIR    writes the documents below into DIR
//   peak_open_document FILE        opens FILE and prints its peak resident size and the bound
//                                  (4 bytes a budgeted pixel + 400 MB); with PEAK_STAGES set,
//                                  also the resident size once opened and at the first frame
//
// huge-picture-and-box  a 16000 x 16000 JPEG picture, and a box whose PNG claims 16000 x 16000
//                       (refused by its header: the picture took the whole budget)
// largest-box           a 1600 x 1200 JPEG picture and a 7000 x 9000 PNG box picture, about
//                       the largest a box may show (a third of what the picture leaves)
// halves                an 8000 x 16000 JPEG picture and an 8000 x 12000 PNG box picture
// arrow-lines           5000 lines with arrow heads at stroke 1000 (HeavyDrawings.h); and
//                       arrow-lines-300, three hundred of them
// effects-on-1x1, effects-on-4x4
//                       six boxes with every effect on a picture of 1 x 1 or 4 x 4 pixels
// blur-on-WxH-aperture-A
//                       a PNG picture of W x H pixels (1 x 1, 1 x 2, 3 x 3) and no boxes, with
//                       only the Aperture slider moved, to A (0.25 and 1): the canvas zooms
//                       the picture hundreds of times to fit the window, and the blur with it;
//                       blur-on-1x2-every-slider has every slider away from its start too
//                       (Vignette, Saturation, the canvas's zoom and straightening)
//
// A document of a picture of at most 256 pixels and no boxes (the blur-on-* ones) is held to
// 300 MB and a first frame within 1 s; the others to the bound below.
//
// The JPEGs are encoded a strip at a time, so that making them costs no picture's memory.
//
//   peak_open_document make-drop DIR
//                                  writes drop-16000-square.png (a 16000 x 16000 PNG of about a
//                                  megabyte) and drop-target.quillmark (a 1080 x 1080 picture)
//   peak_open_document drop DOC PICTURE
//                                  opens DOC, drops PICTURE on its window as a person does and
//                                  prints the peak once the new box shows it
//   peak_open_document drop-whole DOC PICTURE
//                                  the same with the picture decoded whole and handed to the
//                                  canvas as it is, for comparison
#include "../tests/support/HeavyDrawings.h"
#include "../tests/support/PictureFiles.h"
#include "app/ColorDocument.h"
#include "app/ColorDocumentController.h"
#include "app/DocumentFile.h"
#include "app/DocumentWindowAdapter.h"
#include "app/WelcomeWindowPort.h"
#include "boxes/MyImageView.h"
#include "canvas/CanvasControls.h"
#include "canvas/RenderView.h"
#include "container/ContainerSnapshot.h"
#include "container/TextViewContainer.h"
#include "platform/imaging/PictureLoader.h"
#include "window/DocumentWindow.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QUrl>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <sys/resource.h>

namespace {

QByteArray stripJpeg(int width, int height)
{
    return testsupport::encodedJpeg(
        width, height,
        [width](int y, unsigned char* row) {
            for (int x = 0; x < width; ++x, row += 3) {
                const int grain = ((x * 7919) ^ (y * 104729)) & 31;
                row[0] = uchar((x / 24 + grain) & 255);
                row[1] = uchar((y / 16 + grain) & 255);
                row[2] = uchar(((x + y) / 40) & 255);
            }
        },
        0, 85);
}

// A one-bit PNG of width x height: a real picture of that size in a few megabytes.
QByteArray monoPng(int width, int height)
{
    QImage mono(width, height, QImage::Format_Mono);
    for (int y = 0; y < height; ++y)
        std::fill_n(mono.scanLine(y), mono.bytesPerLine(), uchar((y / 64) % 2 ? 0x0f : 0xf0));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(mono);
    return bytes;
}

// A document of picture with one picture box showing boxPng.
QByteArray document(const QByteArray& picture, const QByteArray& boxPng)
{
    QImage small(16, 9, QImage::Format_ARGB32_Premultiplied);
    small.fill(qRgb(200, 30, 40));
    UNDODATA box;
    box.type = UNDODATA::ImageBox;
    box.orgImage = platform::Image::fromQImage(small);
    box.frame = platform::Rect(100, 100, 400, 300);
    DocumentContents contents;
    contents.imageData = picture;
    contents.boxes = ContainerSnapshot({ box });
    return testsupport::withPngReplaced(DocumentFile::write(contents), boxPng);
}

// A document the writer refused comes as no bytes: it is told, and no empty file is left.
bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        return true;
    std::fprintf(stderr, "peak_open_document: %s not written\n", qPrintable(path));
    file.remove();
    return false;
}

// A document of a w x h PNG picture, no boxes, with the picture sliders given (document
// keys) and the canvas's zoom and straightening.
QByteArray tinyPictureDocument(int w, int h, const QMap<QString, double>& sliders,
    double canvasScale = 1.0, double straighten = 0.0)
{
    QImage picture(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            picture.setPixel(x, y, qRgb(40 + 90 * x, 200 - 70 * y, 120));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(picture);
    DocumentContents contents;
    contents.imageData = png;
    contents.pictureSliders = sliders;
    contents.canvasScale = canvasScale;
    contents.straighten = straighten;
    return DocumentFile::write(contents);
}

int make(const QString& dir)
{
    QDir().mkpath(dir);
    QByteArray claims = monoPng(8, 8);
    qToBigEndian(quint32(16000), claims.data() + 16);
    qToBigEndian(quint32(16000), claims.data() + 20); // its checksum is not mended: never read
    // Each is written whatever became of the others.
    const bool written[] = {
        write(dir + "/huge-picture-and-box.quillmark", document(stripJpeg(16000, 16000), claims)),
        write(dir + "/largest-box.quillmark", document(stripJpeg(1600, 1200), monoPng(7000, 9000))),
        write(dir + "/halves.quillmark", document(stripJpeg(8000, 16000), monoPng(8000, 12000))),
        write(dir + "/arrow-lines.quillmark", testsupport::arrowLinesDocument(5000, 1000)),
        write(dir + "/arrow-lines-300.quillmark", testsupport::arrowLinesDocument(300, 1000)),
        write(dir + "/effects-on-1x1.quillmark", testsupport::effectsOnTinyPictureDocument(1)),
        write(dir + "/effects-on-4x4.quillmark", testsupport::effectsOnTinyPictureDocument(4)),
        write(dir + "/blur-on-1x1-aperture-0.25.quillmark",
            tinyPictureDocument(1, 1, { { "Aperture", 0.25 } })),
        write(dir + "/blur-on-1x1-aperture-1.quillmark",
            tinyPictureDocument(1, 1, { { "Aperture", 1.0 } })),
        write(dir + "/blur-on-1x2-aperture-0.25.quillmark",
            tinyPictureDocument(1, 2, { { "Aperture", 0.25 } })),
        write(dir + "/blur-on-1x2-aperture-1.quillmark",
            tinyPictureDocument(1, 2, { { "Aperture", 1.0 } })),
        write(dir + "/blur-on-3x3-aperture-0.25.quillmark",
            tinyPictureDocument(3, 3, { { "Aperture", 0.25 } })),
        write(dir + "/blur-on-3x3-aperture-1.quillmark",
            tinyPictureDocument(3, 3, { { "Aperture", 1.0 } })),
        write(dir + "/blur-on-1x2-every-slider.quillmark",
            tinyPictureDocument(1, 2,
                { { "Aperture", 1.0 }, { "Vignette", 1.0 }, { "Saturation", 1.0 } }, 2.0, 0.035)),
    };
    const bool ok = std::all_of(std::begin(written), std::end(written), [](bool w) { return w; });
    return ok ? 0 : 1;
}

int makeDrop(const QString& dir)
{
    QDir().mkpath(dir);
    QByteArray png;
    {
        QImage square(16000, 16000, QImage::Format_RGB32);
        if (square.isNull())
            return 1;
        square.fill(qRgb(40, 120, 200));
        QPainter(&square).fillRect(QRect(4000, 4000, 8000, 8000), QColor(230, 180, 40));
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(square))
            return 1;
    }
    DocumentContents target;
    target.imageData = stripJpeg(1080, 1080);
    return write(dir + "/drop-16000-square.png", png)
            && write(dir + "/drop-target.quillmark", DocumentFile::write(target))
        ? 0
        : 1;
}

class NoWelcome final : public WelcomeWindowPort {
public:
    void makeKeyAndOrderFront() override { }
    void orderOut() override { }
    bool isVisible() const override { return false; }
    bool dontShowChecked() const override { return true; }
    void setDontShowChecked(bool) override { }
};

// The resident size now and at its peak so far, in MB, as the kernel counts them.
QString residentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    QStringList parts;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS") || line.startsWith("VmHWM"))
            parts << QString::fromLatin1(line.simplified());
    return parts.join(QStringLiteral(", "));
}

int open(const QString& path)
{
    installDocumentWindowFactory(
        [](platform::UndoManager& undo) { return std::make_unique<DocumentWindowAdapter>(undo); });
    NoWelcome welcome;
    ColorDocumentController controller(welcome);
    const auto opened = controller.openDocumentWithContentsOfFile(path);
    auto* document = static_cast<ColorDocument*>(opened.document);
    if (!document) {
        std::printf("%s: not opened: %s\n", qPrintable(path),
            qPrintable(opened.error ? opened.error->message() : QString()));
        return 1;
    }
    if (qEnvironmentVariableIsSet("PEAK_STAGES"))
        std::printf("  opened: %s\n", qPrintable(residentMB()));
    auto* port = dynamic_cast<DocumentWindowAdapter*>(document->windowPort());
    DocumentWindow& window = port->window();
    window.resize(1400, 900);
    window.show();
    canvas::CanvasControls* canvas = window.canvasControls();
    QElapsedTimer t;
    t.start();
    const auto arrived = [&] {
        return !canvas->backgroundView()->renderedPixels().isNull()
            && !canvas->renderView()->renderedPixels().isNull();
    };
    while (!arrived() && t.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    window.grab();
    if (qEnvironmentVariableIsSet("PEAK_STAGES"))
        std::printf("  first frame: %s\n", qPrintable(residentMB()));
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double seconds = t.elapsed() / 1000.0;
    const double peakMB = double(usage.ru_maxrss) * 1024 / 1e6;
    const std::size_t boxes
        = canvas->textViewContainer() ? canvas->textViewContainer()->textViewAry.size() : 0;
    // A picture of a few pixels alone costs little whatever its sliders say.
    const std::optional<platform::Size> picture = canvas->workingImageSize();
    const bool tiny = boxes == 0 && picture && picture->width * picture->height <= 256;
    const double boundMB = tiny ? 300.0 : 4.0 * platform::PictureLoader::kMaxPixels / 1e6 + 400;
    std::printf("%s: first frame %s in %.2f s%s, %zu boxes; peak %.0f MB, bound %.0f MB\n",
        qPrintable(QFileInfo(path).fileName()), arrived() ? "shown" : "NOT shown", seconds,
        tiny ? " (bound 1 s)" : "", boxes, peakMB, boundMB);
    const bool quick = !tiny || (arrived() && seconds <= 1.0);
    return quick && peakMB <= boundMB ? 0 : 2;
}

int drop(const QString& path, const QString& picture, bool whole)
{
    installDocumentWindowFactory(
        [](platform::UndoManager& undo) { return std::make_unique<DocumentWindowAdapter>(undo); });
    NoWelcome welcome;
    ColorDocumentController controller(welcome);
    auto* document
        = static_cast<ColorDocument*>(controller.openDocumentWithContentsOfFile(path).document);
    auto* port = document ? dynamic_cast<DocumentWindowAdapter*>(document->windowPort()) : nullptr;
    if (!port)
        return 1;
    DocumentWindow& window = port->window();
    window.resize(1400, 900);
    window.show();
    canvas::CanvasControls* canvas = window.canvasControls();
    TextViewContainer* boxes = canvas ? canvas->textViewContainer() : nullptr;
    if (!boxes)
        return 1;
    QElapsedTimer t;
    t.start();
    if (whole) {
        QFile file(picture);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const platform::LoadedPicture loaded = platform::PictureLoader::load(file.readAll());
        if (!loaded.ok())
            return 1;
        canvas->newImageBox(&window, platform::Image::fromQImage(loaded.pixels));
    } else {
        window.dropFiles({ QUrl::fromLocalFile(QFileInfo(picture).absoluteFilePath()) });
    }
    while (boxes->textViewAry.empty() && t.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    window.grab();
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto* box = boxes->textViewAry.empty()
        ? nullptr
        : dynamic_cast<const MyImageView*>(boxes->textViewAry.front());
    const QImage kept = box ? box->orgImage().toQImage() : QImage();
    std::printf("%s %s: box of %d x %d pixels in %.1f s; peak %.0f MB\n",
        whole ? "decoded whole," : "dropped,", qPrintable(QFileInfo(picture).fileName()),
        kept.width(), kept.height(), t.elapsed() / 1000.0, double(usage.ru_maxrss) * 1024 / 1e6);
    return box ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "make")
        return make(args[2]);
    if (args.size() == 2)
        return open(args[1]);
    if (args.size() == 3 && args[1] == "make-drop")
        return makeDrop(args[2]);
    if (args.size() == 4 && (args[1] == "drop" || args[1] == "drop-whole"))
        return drop(args[2], args[3], args[1] == "drop-whole");
    std::fprintf(stderr,
        "usage: peak_open_document make DIR | FILE | make-drop DIR | drop[-whole] DOC PICTURE\n");
    return 64;
}
