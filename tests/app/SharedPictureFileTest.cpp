// A picture fill used by many text boxes, in their runs, typing attributes and fills: the file
// holds it once, the picture budget counts it once, and files that hold a copy at every use
// still open, their copies read as the one picture.
#include "AppFakes.h"
#include "app/DocumentFile.h"
#include "platform/archive/ArchiveFormat.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/text/TextAttributeNames.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

namespace names = platform::TextAttributeNames;
using platform::KeyedArchiver;

// Noise, so that the picture's bytes are about as many as its pixels.
platform::Image noisePicture(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(5);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = random.generate() | 0xff000000u;
    }
    return platform::Image::fromQImage(image);
}

SZGradient pictureFill(const platform::Image& picture)
{
    SZGradient fill;
    fill.gradientType = SZGradient::ImageFill;
    fill.image = picture;
    return fill;
}

// A text box as the fill control leaves it: the fill on every run (two runs), in the typing
// attributes, as its overlay and as its background.
UNDODATA filledTextBox(const SZGradient& fill, int index)
{
    UNDODATA r;
    r.type = UNDODATA::TextBox;
    const platform::AttributeValue value = SZGradient::attributeValue(fill);
    platform::AttributedString text(QStringLiteral("Shared fill"), { { names::gradient, value } });
    text.addAttribute(names::kern, platform::AttributeValue(2.0), platform::TextRange(0, 6));
    r.rtf = text;
    r.typingAttributes = platform::AttributeDictionary { { names::gradient, value } };
    r.overlayColor = fill;
    r.backColor = fill;
    r.frame = platform::Rect(10.0 + index * 20.0, 20, 200, 50);
    return r;
}

DocumentContents textBoxes(const SZGradient& fill, int count)
{
    DocumentContents contents;
    contents.imageData = apptest::pictureBytes(QSize(64, 48), "jpeg");
    std::vector<UNDODATA> records;
    for (int i = 0; i < count; ++i)
        records.push_back(filledTextBox(fill, i));
    contents.boxes = ContainerSnapshot(std::move(records));
    return contents;
}

// Every picture a box of the document uses.
std::vector<platform::Image> picturesOf(const DocumentContents& contents)
{
    std::vector<platform::Image> pictures;
    const auto take = [&](const std::optional<SZGradient>& fill) {
        if (fill && !fill->image.isNull())
            pictures.push_back(fill->image);
    };
    for (const UNDODATA& r : contents.boxes->records()) {
        take(r.overlayColor);
        take(r.backColor);
        const auto takeFrom = [&](const platform::AttributeDictionary& attributes) {
            if (const auto it = attributes.find(names::gradient); it != attributes.end())
                if (const SZGradient* fill = SZGradient::fromAttribute(it->second))
                    take(*fill);
        };
        r.rtf->enumerateAttributes(platform::TextRange(0, r.rtf->length()),
            platform::AttributedString::Forward,
            [&](const platform::AttributeDictionary& attributes, platform::TextRange, bool&) {
                takeFrom(attributes);
            });
        takeFrom(*r.typingAttributes);
    }
    return pictures;
}

DocumentContents reopened(const QByteArray& file)
{
    auto read = DocumentFile::read(file);
    if (const auto* error = std::get_if<platform::DocumentError>(&read)) {
        ADD_FAILURE() << error->message().toStdString();
        return {};
    }
    return std::get<DocumentContents>(std::move(read));
}

// The file as one written before pictures were shared: a copy of the picture at every use.
QCborValue inlined(const QCborValue& value, std::vector<QCborValue>& shared)
{
    namespace fmt = platform::archiveformat;
    if (value.isTag()) {
        const quint64 tag = quint64(value.tag());
        if (tag == fmt::kTagReference)
            return shared.at(size_t(value.taggedValue().toInteger()));
        const QCborValue inner = inlined(value.taggedValue(), shared);
        if (tag == fmt::kTagShared) {
            shared.push_back(inner);
            return inner;
        }
        return QCborValue(value.tag(), inner);
    }
    if (value.isArray()) {
        QCborArray items;
        for (const QCborValue& item : value.toArray())
            items.append(inlined(item, shared));
        return items;
    }
    if (value.isMap()) {
        QCborMap map;
        const QCborMap source = value.toMap();
        for (auto it = source.cbegin(); it != source.cend(); ++it)
            map.insert(it.key(), inlined(it.value(), shared));
        return map;
    }
    return value;
}

QByteArray withCopiesAtEveryUse(const QByteArray& file)
{
    std::vector<QCborValue> shared;
    return inlined(QCborValue::fromCbor(file), shared).toCbor();
}

} // namespace

TEST(SharedPictureFile, TenTextBoxesSharingAFillTakeLittleMoreThanOne)
{
    const SZGradient fill = pictureFill(noisePicture({ 320, 200 }));
    QString whyNot;
    const QByteArray one = DocumentFile::write(textBoxes(fill, 1), &whyNot);
    ASSERT_FALSE(one.isEmpty()) << whyNot.toStdString();
    ASSERT_GT(one.size(), 320 * 200 * 3);
    const QByteArray ten = DocumentFile::write(textBoxes(fill, 10), &whyNot);
    ASSERT_FALSE(ten.isEmpty()) << whyNot.toStdString();
    // The picture is in the file once: nine more boxes add their text and numbers only.
    EXPECT_LT(ten.size() - one.size(), 320 * 200 * 3 / 2);

    const DocumentContents back = reopened(ten);
    ASSERT_TRUE(back.boxes.has_value());
    ASSERT_EQ(back.boxes->size(), 10u);
    const std::vector<platform::Image> pictures = picturesOf(back);
    ASSERT_EQ(pictures.size(), 10u * 5u) << "overlay, background, two runs, typing attributes";
    for (const platform::Image& picture : pictures)
        EXPECT_EQ(picture, pictures.front()) << "one picture, not a copy at every use";
    EXPECT_EQ(pictures.front().toQImage(), fill.image.toQImage());
}

// The picture budget counts a picture once: a fill of most of a box picture's budget, used by
// many boxes, is saved (before, each use counted, and the document could not be saved at all).
TEST(SharedPictureFile, AFillUsedEverywhereCountsOnceAgainstTheBudget)
{
    // About a third of what box pictures may have together beside the document's picture.
    const platform::Image large = platform::Image::fromQImage(
        [] {
            QImage black(QSize(8000, 3000), QImage::Format_RGB32);
            black.fill(Qt::black);
            return black;
        }(),
        platform::Size(8000, 3000));
    QString whyNot;
    const QByteArray file = DocumentFile::write(textBoxes(pictureFill(large), 10), &whyNot);
    ASSERT_FALSE(file.isEmpty()) << whyNot.toStdString();
    const DocumentContents back = reopened(file);
    ASSERT_TRUE(back.boxes.has_value());
    const std::vector<platform::Image> pictures = picturesOf(back);
    ASSERT_EQ(pictures.size(), 50u);
    EXPECT_EQ(pictures.back().pixelSize(), QSize(8000, 3000));
}

TEST(SharedPictureFile, FilesWithACopyAtEveryUseStillOpen)
{
    const SZGradient fill = pictureFill(noisePicture({ 64, 40 }));
    const QByteArray file = DocumentFile::write(textBoxes(fill, 3));
    ASSERT_FALSE(file.isEmpty());
    const QByteArray old = withCopiesAtEveryUse(file);
    ASSERT_GT(old.size(), file.size() + 14 * 64 * 40 * 3) << "a copy at each of 15 uses";

    const DocumentContents back = reopened(old);
    ASSERT_TRUE(back.boxes.has_value());
    EXPECT_EQ(back.leftOutBoxes, 0);
    const std::vector<platform::Image> pictures = picturesOf(back);
    ASSERT_EQ(pictures.size(), 15u);
    for (const platform::Image& picture : pictures)
        EXPECT_EQ(picture, pictures.front());
    EXPECT_EQ(pictures.front().toQImage(), fill.image.toQImage());
    // Saved again, the copies are one picture.
    EXPECT_LT(DocumentFile::write(back).size(), file.size() + 1024);
}

namespace {

UNDODATA pictureBox(const platform::Image& picture)
{
    UNDODATA r;
    r.type = UNDODATA::ImageBox;
    r.orgImage = picture;
    r.frame = platform::Rect(0, 0, 100, 100);
    return r;
}

} // namespace

// A picture is decoded once however many picture boxes use it, yet each box that shows it holds
// two copies of its own: a file of a few bytes a box cannot make the reader hold thousands of
// full-size copies. What the reader would leave out, the writer does not write.
TEST(SharedPictureFile, PictureBoxesSharingAPictureEachCountTheirOwnCopies)
{
    QImage black(1000, 1000, QImage::Format_RGB32);
    black.fill(Qt::black);
    const platform::Image picture = platform::Image::fromQImage(black);
    // Beside a 64 x 48 picture, box pictures have about 85.3 million pixels: the first box
    // takes 1 000 000, each further one 666 667, so 127 boxes fit.
    const auto boxes = [&](int count) {
        DocumentContents contents = textBoxes(SZGradient(), 0);
        contents.boxes
            = ContainerSnapshot(std::vector<UNDODATA>(size_t(count), pictureBox(picture)));
        return contents;
    };
    QString whyNot;
    EXPECT_FALSE(DocumentFile::write(boxes(127), &whyNot).isEmpty()) << whyNot.toStdString();
    EXPECT_TRUE(DocumentFile::write(boxes(128), &whyNot).isEmpty());
    EXPECT_TRUE(whyNot.startsWith("The pictures of its boxes together have more pixels"))
        << whyNot.toStdString();

    // A file made by hand with 300 of them opens with those that fit.
    KeyedArchiver archiver;
    archiver.encodeDouble("Version", 1.2);
    archiver.encodeBytes("ImageData", apptest::pictureBytes(QSize(64, 48), "jpeg"));
    archiver.encodeValue("TextContainer",
        ContainerSnapshot(std::vector<UNDODATA>(300, pictureBox(picture))).toArchiveValue());
    const DocumentContents back = reopened(archiver.finishEncoding());
    ASSERT_TRUE(back.boxes.has_value());
    EXPECT_EQ(back.boxes->size(), 127u);
    EXPECT_EQ(back.leftOutBoxes, 300 - 127);
}
