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
//
// The JPEGs are encoded a strip at a time, so that making them costs no picture's memory.
#include "../tests/support/PictureFiles.h"
#include "app/ColorDocument.h"
#include "app/ColorDocumentController.h"
#include "app/DocumentFile.h"
#include "app/DocumentWindowAdapter.h"
#include "app/WelcomeWindowPort.h"
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
#include <QtEndian>
#include <cstdio>
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

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int make(const QString& dir)
{
    QDir().mkpath(dir);
    QByteArray claims = monoPng(8, 8);
    qToBigEndian(quint32(16000), claims.data() + 16);
    qToBigEndian(quint32(16000), claims.data() + 20); // its checksum is not mended: never read
    const bool ok
        = write(dir + "/huge-picture-and-box.quillmark", document(stripJpeg(16000, 16000), claims))
        && write(
            dir + "/largest-box.quillmark", document(stripJpeg(1600, 1200), monoPng(7000, 9000)))
        && write(dir + "/halves.quillmark", document(stripJpeg(8000, 16000), monoPng(8000, 12000)));
    return ok ? 0 : 1;
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
    const double peakMB = double(usage.ru_maxrss) * 1024 / 1e6;
    const double boundMB = 4.0 * platform::PictureLoader::kMaxPixels / 1e6 + 400;
    std::printf("%s: first frame %s in %.1f s, %zu boxes; peak %.0f MB, bound %.0f MB\n",
        qPrintable(QFileInfo(path).fileName()), arrived() ? "shown" : "NOT shown",
        t.elapsed() / 1000.0,
        canvas->textViewContainer() ? canvas->textViewContainer()->textViewAry.size() : 0, peakMB,
        boundMB);
    return peakMB <= boundMB ? 0 : 2;
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
    std::fprintf(stderr, "usage: peak_open_document make DIR | FILE\n");
    return 64;
}
