// Parts of a document that cannot be read at all, the box layer as a whole or the mask, are
// left out with a word (and values too long to keep are cut with one), and the document opens as an
// edited, untitled copy under the file's name, so that a plain Save asks where rather than
// overwrite the file with less. Every document we write holds a box layer, so a layer that is
// missing, of the wrong kind or written twice lost its boxes.
#include "../../fuzz/OverLimitDocuments.h"
#include "AppFakes.h"
#include "app/DocumentFile.h"
#include "platform/archive/KeyedArchiver.h"
#include "support/NamedCase.h"
#include "support/PictureFiles.h"

#include <functional>
#include <gtest/gtest.h>

using namespace apptest;
using platform::ArchiveValue;
using platform::KeyedArchiver;

namespace {

const QByteArray& picture()
{
    static const QByteArray bytes = pictureBytes(QSize(600, 400), "jpeg");
    return bytes;
}

UNDODATA textRecord()
{
    UNDODATA r;
    r.type = UNDODATA::TextBox;
    r.rtf = platform::AttributedString("box");
    r.frame = platform::Rect(10, 20, 200, 50);
    return r;
}

// The box layer as the writer makes it, with six boxes.
ArchiveValue sixBoxes()
{
    return ContainerSnapshot(std::vector<UNDODATA>(6, textRecord())).toArchiveValue();
}

// A document of the current version with its picture and whatever a case writes.
QByteArray document(const std::function<void(KeyedArchiver&)>& fill)
{
    KeyedArchiver archiver;
    archiver.encodeDouble("Version", 1.2);
    archiver.encodeBytes("ImageData", picture());
    fill(archiver);
    return archiver.finishEncoding();
}

// "Trip.quillmark" opened either as itself or, when something was left out or cut, as an
// edited untitled copy under the file's name: a plain Save of the copy asks for a name, and
// the file keeps what it had.
void expectOpenedAsCopyOrAsItself(
    AppSession& s, ColorDocument* opened, const QString& path, bool copy)
{
    EXPECT_EQ(opened->filePath().isEmpty(), copy) << "opens untitled";
    EXPECT_EQ(opened->isDocumentEdited(), copy);
    EXPECT_EQ(opened->displayName(), "Trip");
    if (!copy)
        return;
    const QByteArray before = readFile(path);
    s.fixture.panels->saveAnswers.push_back(s.dir.filePath("Trip copy.quillmark"));
    ASSERT_TRUE(opened->save());
    EXPECT_TRUE(s.fixture.panels->saveAnswers.empty()) << "the save panel was asked";
    EXPECT_EQ(readFile(path), before);
}

// The same key twice: written under a stand-in name of the same length, renamed in the bytes.
QByteArray withKeyTwice(const std::function<void(KeyedArchiver&)>& fill, const QByteArray& key,
    const QByteArray& standIn)
{
    QByteArray bytes = document(fill);
    bytes.replace(standIn, key);
    return bytes;
}

QByteArray maskPng(QSize size)
{
    QImage mask(size, QImage::Format_RGBA64_Premultiplied);
    mask.fill(QColor(0, 255, 0, 128));
    return DocumentFile::encodeMask(mask);
}

struct LeftOutRow {
    const char* name;
    std::function<QByteArray()> file;
    bool layerLeftOut;
    bool maskLeftOut;
    std::size_t boxes; // read
};

class LeftOut : public ::testing::TestWithParam<LeftOutRow> { };

} // namespace

TEST_P(LeftOut, IsToldAndTheFileIsNotOverwritten)
{
    const LeftOutRow& row = GetParam();
    const auto read = DocumentFile::read(row.file());
    ASSERT_TRUE(std::holds_alternative<DocumentContents>(read));
    const auto& contents = std::get<DocumentContents>(read);
    EXPECT_EQ(contents.boxLayerLeftOut, row.layerLeftOut);
    EXPECT_EQ(contents.maskLeftOut, row.maskLeftOut);
    EXPECT_EQ(contents.boxes ? contents.boxes->size() : 0u, row.boxes);

    AppSession s;
    const QString path = s.dir.filePath("Trip.quillmark");
    ASSERT_TRUE(writeFile(path, row.file()));
    auto* opened = s.open(path);
    ASSERT_TRUE(opened);
    QStringList told;
    if (row.layerLeftOut)
        told << "The boxes of \u201cTrip\u201d could not be read and were left out.";
    if (row.maskLeftOut)
        told << "The mask of \u201cTrip\u201d could not be read and was left out.";
    EXPECT_EQ(s.fixture.alerts->messages, told);
    const bool copy = row.layerLeftOut || row.maskLeftOut;
    expectOpenedAsCopyOrAsItself(s, opened, path, copy);
}

namespace {
std::vector<LeftOutRow> leftOutRows()
{
    return { LeftOutRow { "readable_control",
                 [] {
                     return document(
                         [](KeyedArchiver& a) { a.encodeValue("TextContainer", sixBoxes()); });
                 },
                 false, false, 6 },
        LeftOutRow { "layer_is_an_integer",
            [] { return document([](KeyedArchiver& a) { a.encodeInt32("TextContainer", 6); }); },
            true, false, 0 },
        LeftOutRow { "records_are_a_map",
            [] {
                return document([](KeyedArchiver& a) {
                    a.encodeDictionary("TextContainer",
                        { { "textviewary",
                            ArchiveValue::fromDictionary({ { "0", sixBoxes() } }) } });
                });
            },
            true, false, 0 },
        LeftOutRow { "layer_key_misspelled",
            [] {
                return document(
                    [](KeyedArchiver& a) { a.encodeValue("Textcontainer", sixBoxes()); });
            },
            true, false, 0 },
        LeftOutRow { "records_key_misspelled",
            [] {
                return document([](KeyedArchiver& a) {
                    a.encodeDictionary("TextContainer",
                        { { "textviewAry", sixBoxes().toDictionary().value("textviewary") } });
                });
            },
            true, false, 0 },
        LeftOutRow { "layer_twice_the_second_empty",
            [] {
                return withKeyTwice(
                    [](KeyedArchiver& a) {
                        a.encodeValue("TextContainer", sixBoxes());
                        a.encodeValue("TextContainex", ContainerSnapshot().toArchiveValue());
                    },
                    "TextContainer", "TextContainex");
            },
            true, false, 0 },
        LeftOutRow { "mask_is_text",
            [] {
                return document([](KeyedArchiver& a) {
                    a.encodeBytes("ColorCustomMaskData", "this is no picture");
                    a.encodeFloat("ColorCustomMaskScale", 0.5f);
                    a.encodeValue("TextContainer", sixBoxes());
                });
            },
            false, true, 6 },
        LeftOutRow { "mask_header_60000_square",
            [] {
                return document([](KeyedArchiver& a) {
                    a.encodeBytes("ColorCustomMaskData",
                        testsupport::pngClaiming(maskPng({ 300, 200 }), 60000, 60000));
                    a.encodeFloat("ColorCustomMaskScale", 0.5f);
                    a.encodeValue("TextContainer", sixBoxes());
                });
            },
            false, true, 6 },
        LeftOutRow { "mask_of_another_size",
            [] {
                return document([](KeyedArchiver& a) {
                    a.encodeBytes("ColorCustomMaskData", maskPng({ 300, 50 }));
                    a.encodeFloat("ColorCustomMaskScale", 0.5f);
                    a.encodeValue("TextContainer", sixBoxes());
                });
            },
            false, true, 6 },
        LeftOutRow { "mask_not_painted_yet",
            [] {
                return document([](KeyedArchiver& a) {
                    a.encodeNull("ColorCustomMaskData");
                    a.encodeFloat("ColorCustomMaskScale", 0.5f);
                    a.encodeValue("TextContainer", sixBoxes());
                });
            },
            false, false, 6 } };
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Document, LeftOut, ::testing::ValuesIn(leftOutRows()), testsupport::RowName());

// Values longer than a box keeps (a text, a gradient's stops, a shape's points) are cut to the
// limit on reading: told as what is left out is, and the document opens as an edited copy, so
// that a plain Save cannot write the cut value over the whole one.
namespace {

QByteArray documentOfRecords(const std::vector<UNDODATA>& records)
{
    DocumentContents contents;
    contents.imageData = picture();
    contents.boxes = ContainerSnapshot(records);
    return DocumentFile::write(contents);
}

UNDODATA textOf(int characters)
{
    UNDODATA r = textRecord();
    r.rtf = platform::AttributedString(QString(characters, QChar(u'q')));
    return r;
}

UNDODATA shapeOf(std::size_t points)
{
    UNDODATA r;
    r.type = UNDODATA::ShapeBox;
    r.frame = platform::Rect(10, 20, 200, 50);
    r.points.assign(points, platform::Point(5, 5));
    return r;
}

struct CutRow {
    const char* name;
    std::function<QByteArray()> file;
    QStringList told;
    // What the first box holds once restored, and how much of it there must be.
    std::function<qint64(const UNDODATA&)> measure;
    qint64 kept;
};

qint64 textLength(const UNDODATA& r)
{
    return r.rtf ? r.rtf->length() : -1;
}
qint64 backgroundStops(const UNDODATA& r)
{
    return r.backColor && r.backColor->gradient ? r.backColor->gradient->numberOfColorStops() : -1;
}
qint64 shapePoints(const UNDODATA& r)
{
    return qint64(r.points.size());
}

class CutValues : public ::testing::TestWithParam<CutRow> { };

} // namespace

TEST_P(CutValues, AreToldAndTheFileIsNotOverwritten)
{
    const CutRow& row = GetParam();
    AppSession s;
    const QString path = s.dir.filePath("Trip.quillmark");
    ASSERT_TRUE(writeFile(path, row.file()));
    auto* opened = s.open(path);
    ASSERT_TRUE(opened);
    EXPECT_EQ(s.fixture.alerts->messages, row.told);
    const auto& restored = static_cast<FakeWindow*>(opened->windowPort())->state;
    ASSERT_TRUE(restored.boxes);
    ASSERT_FALSE(restored.boxes->records().empty());
    EXPECT_EQ(row.measure(restored.boxes->records().front()), row.kept);
    const bool cut = !row.told.isEmpty();
    expectOpenedAsCopyOrAsItself(s, opened, path, cut);
}

INSTANTIATE_TEST_SUITE_P(Document, CutValues,
    ::testing::Values(CutRow { "text_of_a_million_kept_whole",
                          [] { return fuzzinput::documentWithText(picture(), 1'000'000); }, {},
                          textLength, 1'000'000 },
        CutRow { "text_of_1500000_characters",
            [] { return fuzzinput::documentWithText(picture(), 1'500'000); },
            { "A text of \u201cTrip\u201d has 1,500,000 characters; only the first 1,000,000 "
              "were kept." },
            textLength, 1'000'000 },
        CutRow { "two_texts_over_the_limit",
            [] {
                return documentOfRecords({ textOf(1'200'000), textRecord(), textOf(1'000'001) });
            },
            { "2 texts of \u201cTrip\u201d have more than 1,000,000 characters; only the first "
              "1,000,000 of each were kept." },
            textLength, 1'000'000 },
        CutRow { "gradient_of_1000_stops_kept_whole",
            [] { return fuzzinput::documentWithGradient(picture(), 1000); }, {}, backgroundStops,
            1000 },
        CutRow { "gradient_of_1500_stops",
            [] { return fuzzinput::documentWithGradient(picture(), 1500); },
            { "A gradient of \u201cTrip\u201d has 1,500 stops; only the first 1,000 were kept." },
            backgroundStops, 1000 },
        CutRow { "shape_of_100001_points", [] { return documentOfRecords({ shapeOf(100'001) }); },
            { "A shape of \u201cTrip\u201d has 100,001 points; only the first 100,000 were "
              "kept." },
            shapePoints, 100'000 }),
    testsupport::RowName());
