// Saving documents whose boxes hold large pictures: the file made (DocumentFile::write, what
// Save does after capturing the boxes), each picture never encoded before (a new picture per
// iteration, as a dropped photo or a freshly chosen fill is).
//
// BM_SaveSharedFill/N      N text boxes sharing one 2560 x 1600 picture fill, on two runs
//                          each, their typing attributes, overlay and background.
// BM_SaveFivePhotos        five dropped 6000 x 4000 photos as picture boxes, as a drop keeps
//                          them on a picture of that size (4500 x 3000).
// BM_*OldPath              what a save did before for the same pictures: a PNG at Qt's default
//                          compression for every use, one after the other on one thread
//                          ("uses" per save; 10 boxes were refused after about 20 of them).
// BM_LibpngFivePhotos      the peer: libpng writing the same five pictures at the same zlib
//                          level, each on a thread of its own (its best for five pictures).
//
// Counters: "MB" the file's size; "ratio" ours / the peer's time, measured in the same
// iterations (PairedTiming).
#include "BenchMain.h"
#include "PairedTiming.h"
#include "PicturePsnr.h"
#include "app/DocumentFile.h"
#include "platform/text/TextAttributeNames.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <benchmark/benchmark.h>
#include <png.h>
#include <thread>
#include <vector>

namespace {

namespace names = platform::TextAttributeNames;

// A 6000 x 4000 photo dropped onto a picture of the same size is kept at three quarters of its
// sides.
const QSize kDroppedSize(4500, 3000);

// Smooth light with a fine random grain, so that its PNG is as heavy as a photo's.
QImage photo(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            quint32 h = (quint32(x) * 73856093u) ^ (quint32(y) * 19349663u) ^ seed;
            h ^= h >> 13;
            h *= 0x5bd1e995u;
            h ^= h >> 15;
            const int grain = int(h & 15);
            row[x] = qRgb(
                (x / 24 + grain) & 255, (y / 16 + grain) & 255, ((x + y) / 40 + grain) & 255);
        }
    }
    return image;
}

const QImage& fillPixels()
{
    static const QImage pixels = photo({ 2560, 1600 }, 1);
    return pixels;
}

const std::vector<QImage>& photoPixels()
{
    static const std::vector<QImage> pixels = [] {
        std::vector<QImage> all;
        for (int i = 0; i < 5; ++i)
            all.push_back(photo(kDroppedSize, quint32(i) * 37u));
        return all;
    }();
    return pixels;
}

DocumentContents sharedFill(const platform::Image& picture, int boxes)
{
    SZGradient fill;
    fill.gradientType = SZGradient::ImageFill;
    fill.image = picture;
    const platform::AttributeValue value = SZGradient::attributeValue(fill);
    DocumentContents contents;
    std::vector<UNDODATA> records;
    for (int i = 0; i < boxes; ++i) {
        UNDODATA r;
        r.rtf = platform::AttributedString(
            QStringLiteral("Shared fill"), { { names::gradient, value } });
        r.rtf->addAttribute(names::kern, platform::AttributeValue(2.0), platform::TextRange(0, 6));
        r.typingAttributes = platform::AttributeDictionary { { names::gradient, value } };
        r.overlayColor = fill;
        r.backColor = fill;
        r.frame = platform::Rect(10.0 + i * 20.0, 20, 200, 50);
        records.push_back(std::move(r));
    }
    contents.boxes = ContainerSnapshot(std::move(records));
    return contents;
}

DocumentContents fivePhotos()
{
    DocumentContents contents;
    std::vector<UNDODATA> records;
    for (const QImage& pixels : photoPixels()) {
        UNDODATA r;
        r.type = UNDODATA::ImageBox;
        r.orgImage = platform::Image::fromQImage(pixels); // never encoded: a new identity
        r.frame = platform::Rect(0, 0, 600, 400);
        records.push_back(std::move(r));
    }
    contents.boxes = ContainerSnapshot(std::move(records));
    return contents;
}

QByteArray writeOrSkip(benchmark::State& state, const DocumentContents& contents)
{
    QString whyNot;
    const QByteArray file = DocumentFile::write(contents, &whyNot);
    if (file.isEmpty())
        state.SkipWithError(whyNot.toStdString().c_str());
    state.counters["MB"] = double(file.size()) / 1e6;
    return file;
}

void BM_SaveSharedFill(benchmark::State& state)
{
    for (auto _ : state)
        writeOrSkip(
            state, sharedFill(platform::Image::fromQImage(fillPixels()), int(state.range(0))));
}
BENCHMARK(BM_SaveSharedFill)
    ->Arg(1)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

QByteArray defaultPng(const QImage& pixels)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(pixels);
    return bytes;
}

// Each use of the fill was a PNG of its own: two runs, the typing attributes, the overlay and
// the background of each box.
void BM_SaveSharedFillOldPath(benchmark::State& state)
{
    const int uses = int(state.range(0)) * 5;
    for (auto _ : state) {
        qint64 bytes = 0;
        for (int i = 0; i < uses; ++i)
            bytes += defaultPng(fillPixels()).size();
        state.counters["MB"] = double(bytes) / 1e6;
    }
    state.counters["uses"] = uses;
}
BENCHMARK(BM_SaveSharedFillOldPath)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The peer: libpng, the pictures opaque as ours are written (RGB), at zlib level 1.
QByteArray libpngEncode(const QImage& premultiplied)
{
    const QImage rgb = premultiplied.convertToFormat(QImage::Format_RGB888);
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            static_cast<QByteArray*>(png_get_io_ptr(p))
                ->append(reinterpret_cast<const char*>(data), qsizetype(length));
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(rgb.width()), png_uint_32(rgb.height()), 8,
        PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int y = 0; y < rgb.height(); ++y)
        png_write_row(png, rgb.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

qint64 libpngFivePhotos()
{
    std::vector<qint64> sizes(photoPixels().size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < photoPixels().size(); ++i)
        threads.emplace_back([&sizes, i] { sizes[i] = libpngEncode(photoPixels()[i]).size(); });
    for (std::thread& t : threads)
        t.join();
    qint64 total = 0;
    for (const qint64 s : sizes)
        total += s;
    return total;
}

void BM_SaveFivePhotos(benchmark::State& state)
{
    photoPixels();
    PairedTiming paired;
    QByteArray file;
    for (auto _ : state) {
        const DocumentContents contents = fivePhotos();
        paired.iteration(
            state, [&] { file = writeOrSkip(state, contents); },
            [&] { state.counters["peer MB"] = double(libpngFivePhotos()) / 1e6; });
    }
    paired.report(state, "ratio", "libpng ms");
    // Both keep the same pictures: the first photo as the file reads it back, and as libpng's
    // PNG decodes, against the photo itself (99 dB: not a pixel differs).
    const auto read = DocumentFile::read(file);
    const auto* contents = std::get_if<DocumentContents>(&read);
    const QImage ours = contents && contents->boxes && !contents->boxes->records().empty()
        ? contents->boxes->records().front().orgImage.toQImage()
        : QImage();
    state.counters["PSNR ours"] = picturePsnr(ours, photoPixels()[0], "five-photos-ours");
    state.counters["PSNR libpng"]
        = picturePsnr(QImage::fromData(libpngEncode(photoPixels()[0]), "png"), photoPixels()[0],
            "five-photos-libpng");
}
BENCHMARK(BM_SaveFivePhotos)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_SaveFivePhotosOldPath(benchmark::State& state)
{
    photoPixels();
    for (auto _ : state) {
        qint64 bytes = 0;
        for (const QImage& pixels : photoPixels())
            bytes += defaultPng(pixels).size();
        state.counters["MB"] = double(bytes) / 1e6;
    }
}
BENCHMARK(BM_SaveFivePhotosOldPath)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks<QGuiApplication>(argc, argv);
}
