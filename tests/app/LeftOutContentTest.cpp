// Parts of a document that cannot be read at all, the box layer as a whole or the mask, are
// left out with a word (and values too long to keep are cut with one), and the document opens as an
// edited, untitled copy under the file's name, so that a plain Save asks where rather than
// overwrite the file with less. Every document we write holds a box layer, so a layer that is
// missing, of the wrong kind or written twice lost its boxes.
#include "../../fuzz/OverLimitDocuments.h"
#include "AppFakes.h"
#include "app/DocumentFile.h"
#include "boxes/RecordFields.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/text/TextAttributeNames.h"
#include "support/NamedCase.h"
#include "support/PictureFiles.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>

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

// A document of the current version with its picture (a whole one unless given) and whatever a
// case writes.
QByteArray document(
    const std::function<void(KeyedArchiver&)>& fill, const QByteArray& image = picture())
{
    KeyedArchiver archiver;
    archiver.encodeDouble("Version", 1.2);
    archiver.encodeBytes("ImageData", image);
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

// A value of a wrong kind under a box record's key (a number where the text belongs, a string
// where the frame does, a picture in either place) reads as absent: told as a value left out,
// and the document opens as an edited copy, so that a plain Save cannot write the box without
// it over the file. A row for every field of the record table and every wrong kind.
// In the global namespace, where the printer of rows by their name finds them.
enum class WrongKind { Text, Number, Picture };

struct WrongKindRow {
    const char* name;
    std::size_t field;
    WrongKind kind;
};

namespace {

const char* wrongKindName(WrongKind kind)
{
    switch (kind) {
    case WrongKind::Text:
        return "text";
    case WrongKind::Number:
        return "number";
    case WrongKind::Picture:
        return "picture";
    }
    return "?";
}

const platform::Image& boxPicture()
{
    static const platform::Image image = [] {
        QImage pixels(8, 6, QImage::Format_ARGB32_Premultiplied);
        pixels.fill(qRgb(200, 40, 10));
        return platform::Image::fromQImage(pixels);
    }();
    return image;
}

// The integers read a number as theirs, the picture field a picture; nothing reads plain text.
template <class C> bool readsAsItsOwn(WrongKind kind)
{
    if constexpr (std::is_same_v<C, record::Int32> || std::is_same_v<C, record::Range>)
        return kind == WrongKind::Number;
    else if constexpr (std::is_same_v<C, record::Picture>)
        return kind == WrongKind::Picture;
    else
        return false;
}

ArchiveValue wrongValue(WrongKind kind)
{
    switch (kind) {
    case WrongKind::Text:
        return ArchiveValue::fromString("wrong");
    case WrongKind::Number:
        return ArchiveValue::fromInt32(7);
    case WrongKind::Picture:
        // The picture box before it shows the same picture: written there, referred to here.
        return ArchiveValue::fromValue(boxPicture());
    }
    return {};
}

// A record of the type with every field its kind holds set to something a box shows.
UNDODATA fullRecord(int type)
{
    UNDODATA r;
    r.type = type;
    r.rotationAngle = 12;
    r.overlayColor = SZGradient();
    r.backColor = SZGradient();
    r.borderColor = SZGradient();
    r.strokeColor = SZGradient();
    r.strokeSize = 2;
    r.borderSize = 3;
    r.shadowColor = r.innerShadowColor = r.boxShadowColor = platform::Color(0, 0, 1, 0.5);
    r.shadowAngle = r.innerShadowAngle = r.boxShadowAngle = 45;
    r.shadowBlurSize = r.innerShadowBlurSize = r.boxShadowBlurSize = 4;
    r.shadowOffsetSize = r.innerShadowOffsetSize = r.boxShadowOffsetSize = 5;
    r.frame = platform::Rect(10, 20, 200, 50);
    r.layerOpacity = 0.5;
    r.horzPerspective = 0.125;
    r.vertPerspective = -0.125;
    r.curves = { platform::Point(0, 0), platform::Point(0.5, 0.2), platform::Point(1, 0) };
    r.orgWidth = 200;
    r.orgHeight = 50;
    r.isVertical = true;
    switch (type) {
    case UNDODATA::TextBox:
        r.rtf = platform::AttributedString("box");
        r.selectionRange = { 1, 2 };
        r.typingAttributes = platform::AttributeDictionary { { platform::TextAttributeNames::kern,
            platform::AttributeValue(2.5) } };
        r.selectable = r.editable = true;
        r.fixedWidth = 150;
        break;
    case UNDODATA::ImageBox:
        r.orgImage = boxPicture();
        r.saturation = 0.5;
        break;
    case UNDODATA::ShapeBox:
        r.points = { platform::Point(0.1, 0.2), platform::Point(0.9, 0.8) };
        r.controlVals = { ControlValue(true), ControlValue(0.25) };
        r.shapeType = 3;
        r.startType = 1;
        r.endType = 2;
        break;
    }
    return r;
}

// The first kind of record that holds the field.
int typeHolding(record::Kinds holders)
{
    for (int type : { UNDODATA::TextBox, UNDODATA::ImageBox, UNDODATA::ShapeBox }) {
        if (record::includes(holders, type))
            return type;
    }
    return UNDODATA::TextBox;
}

// A record written as the table writes it, but with the keys of some fields (indexes into the
// table) holding another value.
class RecordWithWrongValues final : public platform::KeyedCoding {
public:
    RecordWithWrongValues(UNDODATA record, std::set<std::size_t> fields, ArchiveValue wrong)
        : m_record(std::move(record))
        , m_fields(std::move(fields))
        , m_wrong(std::move(wrong))
    {
    }
    QString archiveClassName() const override { return QStringLiteral("UNDODATA"); }
    bool supportsSecureCoding() const override { return true; }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        std::size_t i = 0;
        record::forEachField([&](const auto& f) {
            using C = record::CodingOf<decltype(f)>;
            if (!record::includes(f.holders, m_record.type)) {
                ++i;
                return;
            }
            const QString key = f.key.toString();
            if (!m_fields.contains(i++))
                C::encode(coder, f.key, m_record.*f.member);
            else if constexpr (std::is_same_v<C, record::Range>) {
                coder.encodeValue(key + ".location", m_wrong);
                coder.encodeValue(key + ".length", m_wrong);
            } else
                coder.encodeValue(key, m_wrong);
        });
    }

private:
    UNDODATA m_record;
    std::set<std::size_t> m_fields;
    ArchiveValue m_wrong;
};

// A document of a picture box and, after it, the record (written as it is, or crafted).
QByteArray documentWithBoxes(
    std::shared_ptr<const platform::KeyedCoding> second, const QByteArray& image = picture())
{
    const ArchiveValue records = ArchiveValue::fromArray(
        { ArchiveValue::fromObject(
              std::make_shared<const UNDODATA>(fullRecord(UNDODATA::ImageBox))),
            ArchiveValue::fromObject(std::move(second)) });
    return document(
        [&](KeyedArchiver& a) {
            a.encodeDictionary("TextContainer", { { "textviewary", records } });
        },
        image);
}

std::vector<WrongKindRow> wrongKindRows()
{
    static std::deque<std::string> names;
    std::vector<WrongKindRow> rows;
    std::size_t i = 0;
    record::forEachField([&](const auto& f) {
        using C = record::CodingOf<decltype(f)>;
        for (WrongKind kind : { WrongKind::Text, WrongKind::Number, WrongKind::Picture }) {
            if (readsAsItsOwn<C>(kind))
                continue;
            names.push_back(f.key.toString().toStdString() + "_" + wrongKindName(kind));
            rows.push_back({ names.back().c_str(), i, kind });
        }
        ++i;
    });
    return rows;
}

// What the row's field is: how the person is told of it, and whether its record makes a box
// without it.
struct FieldSeen {
    QString what;
    bool required = false;
    QByteArray file;
};

FieldSeen fieldOfRow(const WrongKindRow& row)
{
    FieldSeen seen;
    std::size_t i = 0;
    record::forEachField([&](const auto& f) {
        if (i++ != row.field)
            return;
        const int type = typeHolding(f.holders);
        seen.what = QString::fromLatin1(f.what);
        seen.required = record::requiredBy(f, type);
        seen.file = documentWithBoxes(std::make_shared<RecordWithWrongValues>(
            fullRecord(type), std::set { row.field }, wrongValue(row.kind)));
    });
    return seen;
}

// How a box that lost the field the person knows as what is told.
QString toldWithout(const QString& what)
{
    return QStringLiteral(
        "A box of \u201cTrip\u201d was opened without its %1, which could not be read.")
        .arg(what);
}

class WrongKinds : public ::testing::TestWithParam<WrongKindRow> { };

} // namespace

TEST_P(WrongKinds, AreToldAndTheFileIsNotOverwritten)
{
    const FieldSeen field = fieldOfRow(GetParam());
    const auto read = DocumentFile::read(field.file);
    ASSERT_TRUE(std::holds_alternative<DocumentContents>(read));
    const auto& contents = std::get<DocumentContents>(read);
    ASSERT_TRUE(contents.boxes);
    // A picture box without its picture is no box: left out whole, and told as such.
    EXPECT_EQ(contents.boxes->size(), field.required ? 1u : 2u);
    EXPECT_EQ(contents.leftOutBoxes, field.required ? 1 : 0);
    EXPECT_EQ(contents.cuts.size(), field.required ? 0u : 1u);

    AppSession s;
    const QString path = s.dir.filePath("Trip.quillmark");
    ASSERT_TRUE(writeFile(path, field.file));
    auto* opened = s.open(path);
    ASSERT_TRUE(opened);
    const QString told = field.required
        ? QStringLiteral("1 box of \u201cTrip\u201d could not be read and was left out.")
        : toldWithout(field.what);
    EXPECT_EQ(s.fixture.alerts->messages, QStringList { told });
    expectOpenedAsCopyOrAsItself(s, opened, path, true);
}

INSTANTIATE_TEST_SUITE_P(
    Document, WrongKinds, ::testing::ValuesIn(wrongKindRows()), testsupport::RowName());

// The table above is made from the record table: every field has a row, so none can be
// forgotten, and an empty table cannot pass for a passing one.
TEST(WrongKinds, EveryFieldOfTheRecordTableHasARow)
{
    std::size_t fields = 0;
    record::forEachField([&](const auto&) { ++fields; });
    std::set<std::size_t> withRows;
    for (const WrongKindRow& row : wrongKindRows())
        withRows.insert(row.field);
    ASSERT_GT(fields, 0u);
    EXPECT_EQ(withRows.size(), fields);
}

// Every field of every kind of record as it is written: nothing to tell, and the document is
// the file's own.
TEST(WrongKinds, RecordsWithEveryFieldRightOpenClean)
{
    for (int type : { UNDODATA::TextBox, UNDODATA::ImageBox, UNDODATA::ShapeBox }) {
        SCOPED_TRACE(type);
        const UNDODATA written = fullRecord(type);
        const QByteArray file = documentWithBoxes(std::make_shared<const UNDODATA>(written));
        const auto read = DocumentFile::read(file);
        ASSERT_TRUE(std::holds_alternative<DocumentContents>(read));
        const auto& contents = std::get<DocumentContents>(read);
        EXPECT_TRUE(contents.cuts.empty());
        ASSERT_TRUE(contents.boxes);
        ASSERT_EQ(contents.boxes->size(), 2u);
        UNDODATA back = contents.boxes->records()[1];
        // A picture read is another picture object: compared by its pixels.
        EXPECT_EQ(back.orgImage.toQImage(), written.orgImage.toQImage());
        back.orgImage = written.orgImage;
        EXPECT_TRUE(record::sameRecord(back, written));

        AppSession s;
        const QString path = s.dir.filePath("Trip.quillmark");
        ASSERT_TRUE(writeFile(path, file));
        auto* opened = s.open(path);
        ASSERT_TRUE(opened);
        EXPECT_TRUE(s.fixture.alerts->messages.isEmpty());
        expectOpenedAsCopyOrAsItself(s, opened, path, false);
    }
}

// Several boxes that lost the same field are told in one sentence.
TEST(WrongKinds, TheSameFieldOfSeveralBoxesIsToldOnce)
{
    std::vector<platform::ArchiveCut> cuts(3, { "box", {}, 0, 0, "frame" });
    EXPECT_EQ(ColorDocument::cutMessages(cuts, "Trip"),
        QStringList { "3 boxes of \u201cTrip\u201d were opened without their frame, which could "
                      "not be read." });
}

// Whatever opening a document leaves out is told in one alert, whatever the count: one thing
// alone, as it is said; several under a line naming the document, the first five listed and
// the rest counted, so that the alert stays short.
struct OpeningAlertRow {
    const char* name;
    int messages;
    QString alert;
};

namespace {
class OpeningAlerts : public ::testing::TestWithParam<OpeningAlertRow> { };
} // namespace

TEST_P(OpeningAlerts, ListTheFirstFiveAndCountTheRest)
{
    const OpeningAlertRow& row = GetParam();
    QStringList messages;
    for (int i = 1; i <= row.messages; ++i)
        messages << QStringLiteral("Message %1.").arg(i);
    EXPECT_EQ(ColorDocument::openingAlert(messages, "Trip"), row.alert);
}

INSTANTIATE_TEST_SUITE_P(Document, OpeningAlerts,
    ::testing::Values(OpeningAlertRow { "none", 0, "" },
        OpeningAlertRow { "one_alone", 1, "Message 1." },
        OpeningAlertRow { "two_listed", 2,
            "Parts of \u201cTrip\u201d could not be opened as they were saved:\n"
            "\u2022 Message 1.\n\u2022 Message 2." },
        OpeningAlertRow { "five_listed", 5,
            "Parts of \u201cTrip\u201d could not be opened as they were saved:\n"
            "\u2022 Message 1.\n\u2022 Message 2.\n\u2022 Message 3.\n\u2022 Message 4.\n"
            "\u2022 Message 5." },
        OpeningAlertRow { "seven_two_counted", 7,
            "Parts of \u201cTrip\u201d could not be opened as they were saved:\n"
            "\u2022 Message 1.\n\u2022 Message 2.\n\u2022 Message 3.\n\u2022 Message 4.\n"
            "\u2022 Message 5.\nand 2 more." }),
    testsupport::RowName());

// Documents that leave out several things at once (values of a wrong kind in many fields of a
// box, a mask beside a cut text, a damaged picture beside a lost value) open with one alert,
// as an edited copy, and the alert names what was left out.
namespace {

struct Opening {
    QByteArray file;
    QStringList told; // everything left out, in the order it is told
};

// A document whose text box has a value of a wrong kind in its first count fields.
Opening withWrongFields(int count, const QByteArray& image = picture())
{
    Opening opening;
    std::set<std::size_t> fields;
    std::size_t i = 0;
    record::forEachField([&](const auto& f) {
        if (int(fields.size()) < count && record::includes(f.holders, UNDODATA::TextBox)) {
            fields.insert(i);
            opening.told << toldWithout(QString::fromLatin1(f.what));
        }
        ++i;
    });
    opening.file
        = documentWithBoxes(std::make_shared<RecordWithWrongValues>(fullRecord(UNDODATA::TextBox),
                                std::move(fields), wrongValue(WrongKind::Text)),
            image);
    return opening;
}

} // namespace

struct OneAlertRow {
    const char* name;
    std::function<Opening()> opening;
};

namespace {
class OneAlert : public ::testing::TestWithParam<OneAlertRow> { };
} // namespace

TEST_P(OneAlert, NamesWhatTheDocumentLeftOut)
{
    const Opening opening = GetParam().opening();
    AppSession s;
    const QString path = s.dir.filePath("Trip.quillmark");
    ASSERT_TRUE(writeFile(path, opening.file));
    auto* opened = s.open(path);
    ASSERT_TRUE(opened);
    ASSERT_EQ(s.fixture.alerts->messages.size(), 1);
    const QString alert = s.fixture.alerts->messages.front();
    const qsizetype listed
        = std::min<qsizetype>(opening.told.size(), ColorDocument::kListedOpeningMessages);
    if (opening.told.size() == 1)
        EXPECT_EQ(alert, opening.told.front());
    else
        EXPECT_TRUE(alert.startsWith("Parts of \u201cTrip\u201d ")) << alert.toStdString();
    for (qsizetype i = 0; i < opening.told.size(); ++i)
        EXPECT_EQ(alert.contains(opening.told[i]), i < listed) << opening.told[i].toStdString();
    const qsizetype more = opening.told.size() - listed;
    EXPECT_EQ(alert.endsWith(QStringLiteral("\nand %1 more.").arg(more)), more > 0)
        << alert.toStdString();
    expectOpenedAsCopyOrAsItself(s, opened, path, true);
}

INSTANTIATE_TEST_SUITE_P(Document, OneAlert,
    ::testing::Values(OneAlertRow { "one_field", [] { return withWrongFields(1); } },
        OneAlertRow { "two_fields", [] { return withWrongFields(2); } },
        OneAlertRow { "six_fields", [] { return withWrongFields(6); } },
        OneAlertRow { "twenty_fields", [] { return withWrongFields(20); } },
        OneAlertRow { "mask_beside_a_cut_text",
            [] {
                return Opening { document([](KeyedArchiver& a) {
                                    a.encodeBytes("ColorCustomMaskData", "this is no picture");
                                    a.encodeFloat("ColorCustomMaskScale", 0.5f);
                                    a.encodeValue("TextContainer",
                                        ContainerSnapshot({ textOf(1'200'000) }).toArchiveValue());
                                }),
                    { "The mask of \u201cTrip\u201d could not be read and was left out.",
                        "A text of \u201cTrip\u201d has 1,200,000 characters; only the first "
                        "1,000,000 were kept." } };
            } },
        OneAlertRow { "damaged_picture_beside_a_field",
            [] {
                Opening opening = withWrongFields(
                    1, testsupport::withStrayBytesBeforeEnd(pictureBytes({ 64, 48 }, "jpeg")));
                opening.told << "The picture in \u201cTrip.quillmark\u201d is damaged; parts of "
                                "it may look wrong.";
                return opening;
            } }),
    testsupport::RowName());
