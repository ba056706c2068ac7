// Writes a few valid inputs for each fuzz target, from which the fuzzers start:
//   fuzz_seeds <folder>   writes <folder>/archive_fuzz/, picture_fuzz/, coverage_fuzz/ and
//                         document_fuzz/
// They are made here with the writers of the code under test, so that they follow its formats.
//
//   fuzz_seeds --at-limits <folder>
//                         writes documents heavy to open into <folder>: many boxes, one very
//                         long text, a text of many style runs, one long word, boxes casting
//                         shadows over the whole canvas, lines whose arrow heads reach over the
//                         whole canvas, boxes with every effect on pictures of one and of four
//                         pixels (zoomed hundreds of times) and picture boxes sharing one
//                         picture; and two past what a box keeps, a text of 1,500,000
//                         characters and a gradient of 1,500 stops. They are kept in
//                         tests/data/regressions/document_fuzz/, and each must replay within
//                         scripts/fuzz.sh's replay limit (5 s) in the fuzz build.
#include "../tests/support/HeavyDrawings.h"
#include "OverLimitDocuments.h"
#include "app/DocumentFile.h"
#include "boxes/MyTextView.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/ValueCoding.h"
#include "platform/text/TextAttributeNames.h"

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

// A text box record as a new box has it, at frame, holding text in the style it types in.
UNDODATA textBox(const Rect& frame, const QString& text)
{
    UNDODATA r = MyTextView(frame).getUndoData();
    r.frame = frame;
    r.rtf = AttributedString(text, r.typingAttributes.value_or(AttributeDictionary()));
    return r;
}

// The same with only its kind, frame and text in the font it types in: a new box's record
// holds about 400 archive values, and 5000 of them would pass the archive's limit on values.
UNDODATA plainTextBox(const Rect& frame, const QString& text)
{
    const UNDODATA styled = textBox(frame, text);
    AttributeDictionary font;
    if (styled.typingAttributes && styled.typingAttributes->count(TextAttributeNames::font))
        font[TextAttributeNames::font] = styled.typingAttributes->at(TextAttributeNames::font);
    UNDODATA r;
    r.type = UNDODATA::TextBox;
    r.frame = styled.frame;
    r.rtf = AttributedString(text, font);
    return r;
}

// How many of each heavy element the kept documents hold, which their names tell. The fuzz
// build's instrumentation makes opening a document many times slower than in the release build,
// and its fuzzer's alarm misses inputs whose work runs on worker threads: these reach the same
// code as a person's largest documents with fewer elements. The reader's tests take the most
// boxes a document may hold, and the benchmarks time thousands of shadows and arrow heads.
constexpr int kOneCharacterBoxes = 500;
constexpr int kStyleRuns = 8000;
constexpr int kShadowBoxes = 48;
constexpr int kArrowLines = 24;
constexpr int kPictureBoxesSharing = 400;

void documentsAtLimits(const QString& folder)
{
    DocumentContents contents;
    contents.imageData = encoded(picture(1200, 800).convertToFormat(QImage::Format_RGB32), "jpeg");

    // Many boxes, one character each, in a grid over the picture.
    DocumentContents many = contents;
    std::vector<UNDODATA> records;
    for (int i = 0; i < kOneCharacterBoxes; ++i)
        records.push_back(plainTextBox(Rect(double(i % 100) * 12.0, double(i / 100) * 16.0, 12, 16),
            QString(QChar(u'a' + i % 26))));
    many.boxes = ContainerSnapshot(std::move(records));
    save(folder, QStringLiteral("boxes-%1-one-character").arg(kOneCharacterBoxes),
        DocumentFile::write(many));

    // One box of 100 000 characters: words, in paragraphs of about 500.
    DocumentContents longText = contents;
    QString text;
    static const char* const words[] = { "quill ", "mark ", "photograph ", "type ", "a ", "line " };
    for (int i = 0; text.size() < 100000; ++i)
        text += (i % 90 == 89) ? QStringLiteral("end.\n") : QString::fromLatin1(words[i % 6]);
    text.truncate(100000);
    longText.boxes = ContainerSnapshot({ textBox(Rect(50, 50, 1100, 700), text) });
    save(folder, "text-100000-characters", DocumentFile::write(longText));

    // One box of many style runs, neighbours in different faces and spacings: read run by run,
    // each merged into the whole string again, 40 000 of them once took half a minute.
    DocumentContents styled = contents;
    {
        UNDODATA r = textBox(Rect(50, 50, 1100, 700), QString());
        const Font regular = *Font::withName(QStringLiteral("Helvetica"), 24);
        const Font bold = *Font::withName(QStringLiteral("Helvetica-Bold"), 24);
        QString runText;
        for (int i = 0; i < kStyleRuns; ++i)
            runText += QString(1 + i % 3, QChar(i % 40 == 39 ? u' ' : QChar(u'a' + i % 26)));
        AttributedString::Builder builder(runText);
        for (int i = 0; i < kStyleRuns; ++i) {
            // A face and a spacing alone: a run of every typing attribute holds about 70
            // archive values, and 40 000 of them would pass the archive's limit.
            AttributeDictionary a;
            a[TextAttributeNames::font] = AttributeValue(i % 2 ? bold : regular);
            a[TextAttributeNames::kern] = AttributeValue(double(i % 5) * 0.5);
            builder.appendRun(1 + i % 3, std::move(a));
        }
        r.rtf = builder.build();
        styled.boxes = ContainerSnapshot({ std::move(r) });
    }
    save(folder, QStringLiteral("text-%1-style-runs").arg(kStyleRuns), DocumentFile::write(styled));

    // One box of 200 000 characters with no place to break a line: laid out line by line
    // through a search for the word's end, it took over half a minute to show.
    DocumentContents unbroken = contents;
    unbroken.boxes
        = ContainerSnapshot({ textBox(Rect(50, 50, 1100, 700), QString(200000, QChar(u'x'))) });
    save(folder, "text-200000-characters-unbroken", DocumentFile::write(unbroken));

    // Boxes wider than the picture, each with a translucent background and a drop shadow of
    // blur 1000, so that every shadow covers the whole canvas.
    DocumentContents shadows = contents;
    records.clear();
    for (int i = 0; i < kShadowBoxes; ++i) {
        UNDODATA r = textBox(Rect(double(i % 10) * 20.0, double(i / 10) * 2.0, 1000, 1000),
            QStringLiteral("Shadow"));
        SZGradient back;
        back.color = Color(1, 1, 1, 0.3);
        r.backColor = back;
        r.shadowColor = Color(0, 0, 0, 0.75);
        r.shadowBlurSize = 1000;
        r.shadowOffsetSize = 20;
        r.shadowAngle = 90;
        records.push_back(std::move(r));
    }
    shadows.boxes = ContainerSnapshot(std::move(records));
    save(folder, QStringLiteral("boxes-%1-shadow-blur-1000").arg(kShadowBoxes),
        DocumentFile::write(shadows));

    // Past what a box keeps: read in part, which the person is told.
    save(folder, "text-1500000-characters-over-the-limit",
        fuzzinput::documentWithText(contents.imageData, 1'500'000));
    save(folder, "gradient-1500-stops-over-the-limit",
        fuzzinput::documentWithGradient(contents.imageData, 1500));
    save(folder, QStringLiteral("lines-%1-arrow-heads-stroke-1000").arg(kArrowLines),
        testsupport::arrowLinesDocument(kArrowLines, 1000));
    save(folder, "effects-on-a-1x1-picture", testsupport::effectsOnTinyPictureDocument(1));
    save(folder, "effects-on-a-4x4-picture", testsupport::effectsOnTinyPictureDocument(4));

    // Picture boxes sharing one picture, written once and referred to by the rest.
    // The picture is small: a document whose boxes' copies reach the pixel budget is bounded
    // for a person but opens too slowly for the fuzz build's hang limit.
    DocumentContents sharing = contents;
    records.clear();
    const Image shared = Image::fromQImage(picture(32, 32).convertToFormat(QImage::Format_RGB32));
    for (int i = 0; i < kPictureBoxesSharing; ++i) {
        UNDODATA r;
        r.type = UNDODATA::ImageBox;
        r.orgImage = shared;
        r.frame = Rect(double(i % 50) * 24.0, double(i / 50) * 20.0, 24, 20);
        records.push_back(std::move(r));
    }
    sharing.boxes = ContainerSnapshot(std::move(records));
    save(folder,
        QStringLiteral("picture-boxes-%1-sharing-one-small-picture").arg(kPictureBoxesSharing),
        DocumentFile::write(sharing));
}

} // namespace

int main(int argc, char** argv)
{
    const bool atLimits = argc == 3 && QByteArray(argv[1]) == "--at-limits";
    if (argc != 2 && !atLimits) {
        std::fprintf(
            stderr, "usage: fuzz_seeds <folder>\n       fuzz_seeds --at-limits <folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (atLimits) {
        documentsAtLimits(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    archives(root + "/archive_fuzz");
    pictures(root + "/picture_fuzz");
    paths(root + "/coverage_fuzz");
    documents(root + "/document_fuzz");
    return 0;
}
