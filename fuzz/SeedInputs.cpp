// Writes a few valid inputs for each fuzz target, from which the fuzzers start:
//   fuzz_seeds <folder>   writes <folder>/archive_fuzz/, picture_fuzz/, coverage_fuzz/ and
//                         document_fuzz/
// They are made here with the writers of the code under test, so that they follow its formats.
#include "app/DocumentFile.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/ValueCoding.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <cstdio>

using namespace platform;

namespace {

void save(const QString& folder, const QString& name, const QByteArray& bytes)
{
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", qPrintable(file.fileName()));
}

QImage picture(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(qRgba(30, 120, 200, 180));
    QPainter p(&image);
    p.fillRect(QRect(w / 4, h / 4, w / 2, h / 2), QColor(220, 40, 40));
    return image;
}

QByteArray encoded(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

void archives(const QString& folder)
{
    KeyedArchiver values;
    values.encodeInt32("type", 2);
    values.encodeInt64("location", qint64(1) << 40);
    values.encodeFloat("angle", 0.25f);
    values.encodeDouble("scale", 1.5);
    values.encodeBool("visible", true);
    values.encodeRect("frame", Rect(1, 2, 30, 40));
    values.encodeString("name", "box");
    values.encodeBytes("data", QByteArray("\x00\x01\x02", 3));
    values.encodeNull("nothing");
    save(folder, "values", values.finishEncoding());

    KeyedArchiver objects;
    objects.encodeObject("color", Color(0.5, 0.25, 1, 1));
    objects.encodeObject("gradient", Gradient(Color(1, 0, 0), Color(0, 0, 1)));
    objects.encodeObject("point", Point(3, 4));
    objects.encodeObject("image", Image::fromQImage(picture(6, 5)));
    objects.encodeArray(
        "points", { ArchiveValue::fromValue(Point(0, 0)), ArchiveValue::fromValue(Point(1, 2)) });
    objects.encodeDictionary("attributes",
        { { "bold", ArchiveValue::fromBool(true) }, { "size", ArchiveValue::fromDouble(12) } });
    save(folder, "objects", objects.finishEncoding());

    save(folder, "root",
        KeyedArchiver::archivedData(ArchiveValue::fromArray({ ArchiveValue::fromBytes("abc"),
                                        ArchiveValue::fromArray({}) }),
            false));
}

void pictures(const QString& folder)
{
    const QImage image = picture(24, 16);
    save(folder, "png", encoded(image, "png"));
    save(folder, "jpeg", encoded(image.convertToFormat(QImage::Format_RGB32), "jpeg"));
    save(folder, "progressive-jpeg",
        encoded(image.convertToFormat(QImage::Format_RGB32), "jpeg", true));
    save(folder, "grey-jpeg", encoded(image.convertToFormat(QImage::Format_Grayscale8), "jpeg"));
    save(folder, "bmp", encoded(image, "bmp"));
    save(folder, "palette-bmp", encoded(image.convertToFormat(QImage::Format_Indexed8), "bmp"));
    save(folder, "tiff", encoded(image, "tiff"));
}

void paths(const QString& folder)
{
    // Element codes and small coordinates as CoverageInput.h reads them: a move, two lines,
    // a curve, a close and an oval.
    save(folder, "polygon", QByteArray::fromHex("00 0a00 0a00 01 3000 0a00 01 2000 3000 03"));
    save(folder, "curve",
        QByteArray::fromHex(
            "00 0a00 0a00 02 1000 4000 3000 4000 4000 1000 03 04 0500 0500 2000 1000"));
}

void documents(const QString& folder)
{
    DocumentContents plain;
    plain.imageData = encoded(picture(24, 16).convertToFormat(QImage::Format_RGB32), "jpeg");
    save(folder, "plain", DocumentFile::write(plain));

    DocumentContents full = plain;
    full.pictureSliders["Aperture"] = 0.3;
    full.preset = "Warm";
    QImage mask(24, 16, QImage::Format_RGBA64_Premultiplied);
    mask.fill(QColor(0, 255, 0, 128));
    full.mask = DocumentMask { mask, 1.0 };
    UNDODATA text;
    text.rtf = AttributedString("Hello");
    text.frame = Rect(2, 2, 12, 6);
    UNDODATA box;
    box.type = UNDODATA::ImageBox;
    box.orgImage = Image::fromQImage(picture(4, 3));
    box.frame = Rect(1, 1, 4, 3);
    UNDODATA shape;
    shape.type = UNDODATA::ShapeBox;
    shape.points = { Point(0, 0), Point(5, 0), Point(5, 5) };
    shape.frame = Rect(3, 3, 5, 5);
    full.boxes = ContainerSnapshot({ text, box, shape });
    save(folder, "full", DocumentFile::write(full));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    archives(root + "/archive_fuzz");
    pictures(root + "/picture_fuzz");
    paths(root + "/coverage_fuzz");
    documents(root + "/document_fuzz");
    return 0;
}
