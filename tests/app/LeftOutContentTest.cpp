// Parts of a document that cannot be read at all, the box layer as a whole or the mask, are
// left out with a word, and the document opens as an edited, untitled copy under the file's
// name, so that a plain Save asks where rather than overwrite the file with less. Every
// document we write holds a box layer, so a layer that is missing, of the wrong kind or
// written twice lost its boxes.
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
    EXPECT_EQ(opened->filePath().isEmpty(), copy) << "opens untitled";
    EXPECT_EQ(opened->isDocumentEdited(), copy);
    EXPECT_EQ(opened->displayName(), "Trip");
    if (!copy)
        return;
    // A plain Save asks for a name, and the file keeps what it had.
    const QByteArray before = readFile(path);
    s.fixture.panels->saveAnswers.push_back(s.dir.filePath("Trip copy.quillmark"));
    ASSERT_TRUE(opened->save());
    EXPECT_TRUE(s.fixture.panels->saveAnswers.empty()) << "the save panel was asked";
    EXPECT_EQ(readFile(path), before);
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
