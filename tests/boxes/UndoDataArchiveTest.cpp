// The box record: its archive form (keys, order, kinds, narrowings), the round trip for every
// box type, equality, and decoding of crafted records.
#include "BoxTestSupport.h"
#include "boxes/RecordFields.h"
#include "boxes/UNDODATA.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/text/Font.h"
#include "platform/text/TextAttributeNames.h"

#include <QFile>
#include <QImage>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <map>

using boxtest::picture;
using platform::ArchiveArray;
using platform::ArchiveValue;
using platform::Color;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;
using platform::Point;
using platform::Rect;

namespace {

// One picture for every record made here, so that records made alike compare equal.
const platform::Image& sharedPicture()
{
    static const platform::Image image = picture();
    return image;
}

SZGradient fill(int kind, double angle = 90)
{
    SZGradient g;
    g.gradientType = kind;
    g.angle = angle;
    return g;
}

// A record with every common field set to numbers that floats cannot hold exactly.
UNDODATA commonRecord(int type)
{
    UNDODATA r;
    r.type = type;
    r.rotationAngle = 33.333333333;
    r.selected = true;
    r.isEditing = true;
    r.overlayColor = fill(SZGradient::LinearFill, 45);
    r.backColor = fill(SZGradient::ColorFill);
    r.borderColor = fill(SZGradient::RadialFill);
    r.strokeColor = fill(SZGradient::NoFill);
    r.strokeSize = 3;
    r.borderSize = 7;
    r.shadowColor = Color(0.1, 0.2, 0.3, 0.75);
    r.shadowAngle = 45;
    r.shadowBlurSize = 4;
    r.shadowOffsetSize = 6;
    r.frame = Rect(10.123456789012, -20.987654321098, 300.000000001, 150.333333333333);
    r.layerOpacity = 0.3;
    r.horzPerspective = 0.1234567891;
    r.vertPerspective = -0.0000123456789;
    r.curves = { Point(0, 0), Point(0.5, 0.123456789123), Point(1, 0) };
    r.innerShadowColor = Color(1, 0, 0, 0.5);
    r.innerShadowAngle = 180;
    r.innerShadowBlurSize = 2;
    r.innerShadowOffsetSize = 3;
    r.boxShadowColor = Color(0, 1, 0, 0.25);
    r.boxShadowAngle = 270;
    r.boxShadowBlurSize = 8;
    r.boxShadowOffsetSize = 9;
    return r;
}

UNDODATA textRecord()
{
    UNDODATA r = commonRecord(UNDODATA::TextBox);
    platform::AttributedString text(QStringLiteral("Hello"),
        { { platform::TextAttributeNames::foregroundColor,
            platform::AttributeValue(Color(1, 0, 0, 1)) } });
    text.addAttribute(platform::TextAttributeNames::kern, platform::AttributeValue(2.5), { 1, 2 });
    r.rtf = text;
    r.selectionRange = { (std::uint64_t(1) << 40) + 3, std::numeric_limits<std::uint64_t>::max() };
    r.typingAttributes = platform::AttributeDictionary {
        { platform::TextAttributeNames::kern, platform::AttributeValue(qint64(4)) },
        { platform::TextAttributeNames::foregroundColor,
            platform::AttributeValue(Color(0, 0, 1, 1)) },
        // The run fill, an object of a higher layer.
        { platform::TextAttributeNames::gradient,
            SZGradient::attributeValue(fill(SZGradient::RadialFill, 30)) },
    };
    r.selectable = true;
    r.editable = true;
    r.fixedWidth = 123.456789012;
    r.isCircular = true;
    r.isVertical = false;
    return r;
}

UNDODATA imageRecord()
{
    UNDODATA r = commonRecord(UNDODATA::ImageBox);
    r.orgImage = sharedPicture();
    r.saturation = 0.333333333333;
    r.orgWidth = 640.123456789;
    r.orgHeight = 480.987654321;
    return r;
}

UNDODATA shapeRecord()
{
    UNDODATA r = commonRecord(UNDODATA::ShapeBox);
    r.points = { Point(0.1, 0.2), Point(0.9, 0.8) };
    r.controlVals = { ControlValue(true), ControlValue(qint64(5)), ControlValue(0.25),
        ControlValue(Point(0.5, 1.5)) };
    r.shapeType = 14;
    r.startType = 1;
    r.endType = 99;
    r.isDrawing = true;
    return r;
}

// What a float keeps of a double.
double f(double v)
{
    return double(float(v));
}

// Replaces the record decoder while alive, to look at what a written record holds.
struct DecoderSpy {
    QStringList names;
    std::map<QString, ArchiveValue::Kind> kinds;

    static std::shared_ptr<const UNDODATA> decode(const KeyedUnarchiver& c)
    {
        return std::make_shared<const UNDODATA>(UNDODATA::initWithCoder(c));
    }
    DecoderSpy()
    {
        KeyedUnarchiver::registerClass(
            QStringLiteral("UNDODATA"), [this](const KeyedUnarchiver& c) {
                names = c.allKeys();
                for (const QString& k : names)
                    kinds[k] = c.decodeValue(k).kind();
                return decode(c);
            });
    }
    ~DecoderSpy() { KeyedUnarchiver::registerClass(QStringLiteral("UNDODATA"), decode); }
};

// An object written under the record's class tag with whatever keys a test wants.
class CraftedRecord final : public platform::KeyedCoding {
public:
    explicit CraftedRecord(std::function<void(KeyedArchiver&)> write)
        : m_write(std::move(write))
    {
    }
    QString archiveClassName() const override { return QStringLiteral("UNDODATA"); }
    void encodeWithCoder(KeyedArchiver& coder) const override { m_write(coder); }

private:
    std::function<void(KeyedArchiver&)> m_write;
};

UNDODATA decodeCrafted(std::function<void(KeyedArchiver&)> write)
{
    const QByteArray data = KeyedArchiver::archivedData(CraftedRecord(std::move(write)), true);
    EXPECT_FALSE(data.isEmpty());
    const auto r = UNDODATA::decodeFromData(data);
    EXPECT_TRUE(r.has_value());
    return r.value_or(UNDODATA());
}

const QStringList kCommonKeys = { "overlayColor", "isEditing", "rotationAngle", "selected",
    "textBoxBackgroundColor", "borderColor", "borderSize", "shadowColor", "shadowAngle",
    "shadowBlurSize", "shadowOffsetSize", "innershadowColor", "innershadowAngle",
    "innershadowBlurSize", "innershadowOffsetSize", "boxshadowColor", "boxshadowAngle",
    "boxshadowBlurSize", "boxshadowOffsetSize", "horzPerspective", "vertPerspective", "curves",
    "frame", "layerOpacity", "orgWidth", "orgHeight", "isCircular", "isVertical", "strokeColor",
    "strokeSize" };

} // namespace

TEST(UndoDataArchive, KeysInOrderWithTheirKinds)
{
    struct Row {
        const char* name;
        UNDODATA record;
        QStringList kindKeys;
    };
    const Row rows[] = {
        { "text", textRecord(),
            { "rtf", "selectionRange.location", "selectionRange.length", "typingAttributes",
                "selectable", "editable", "fixedWidth" } },
        { "image", imageRecord(), { "orgImage", "saturation" } },
        { "shape", shapeRecord(),
            { "points", "controlVals", "shapeType", "startType", "endType", "isDrawing" } },
        { "unknown type", commonRecord(7), {} },
    };
    for (const Row& row : rows) {
        DecoderSpy spy;
        ASSERT_TRUE(UNDODATA::decodeFromData(row.record.encodeToData())) << row.name;
        EXPECT_EQ(spy.names, QStringList { "type" } + row.kindKeys + kCommonKeys) << row.name;
    }

    using K = ArchiveValue::Kind;
    const std::pair<const char*, K> kinds[] = { { "type", K::Int32 }, { "rotationAngle", K::Float },
        { "horzPerspective", K::Float }, { "layerOpacity", K::Float }, { "orgWidth", K::Float },
        { "frame", K::Rect }, { "borderSize", K::Int32 }, { "isEditing", K::Bool },
        { "curves", K::Array }, { "overlayColor", K::Object },
        { "selectionRange.location", K::Int64 }, { "fixedWidth", K::Float }, { "rtf", K::Object } };
    DecoderSpy spy;
    UNDODATA::decodeFromData(textRecord().encodeToData());
    for (const auto& [key, kind] : kinds)
        EXPECT_EQ(spy.kinds[key], kind) << key;
    UNDODATA::decodeFromData(imageRecord().encodeToData());
    EXPECT_EQ(spy.kinds["saturation"], K::Float);
    EXPECT_EQ(spy.kinds["orgImage"], K::Object);
}

TEST(UndoDataArchive, RoundTripForEveryTypeNarrowsFloatsOnly)
{
    for (const UNDODATA& original :
        { textRecord(), imageRecord(), shapeRecord(), commonRecord(7) }) {
        SCOPED_TRACE(original.type);
        const auto decoded = UNDODATA::decodeFromData(original.encodeToData());
        ASSERT_TRUE(decoded);
        const UNDODATA& d = *decoded;
        EXPECT_NE(d.rotationAngle, original.rotationAngle) << "narrowed to a 32-bit float";
        // The frame at full precision, origin included (equality leaves the origin out).
        EXPECT_EQ(d.frame, original.frame);
        // Fields equality does not look at.
        EXPECT_EQ(d.orgWidth, f(original.orgWidth));
        EXPECT_EQ(d.orgHeight, f(original.orgHeight));
        EXPECT_TRUE(d.selected && d.isEditing);
        EXPECT_EQ(d.boxShadowColor, original.boxShadowColor);
        EXPECT_EQ(d.boxShadowOffsetSize, original.boxShadowOffsetSize);
        EXPECT_EQ(d.isCircular, original.isCircular);

        // Otherwise the decoded record equals the original with its floats narrowed.
        UNDODATA narrowed = original;
        narrowed.rotationAngle = f(original.rotationAngle);
        narrowed.horzPerspective = f(original.horzPerspective);
        narrowed.vertPerspective = f(original.vertPerspective);
        narrowed.layerOpacity = f(original.layerOpacity);
        narrowed.fixedWidth = f(original.fixedWidth);
        narrowed.saturation = f(original.saturation);
        if (original.type == UNDODATA::ImageBox)
            narrowed.orgImage = d.orgImage; // a picture read back is a new picture
        EXPECT_TRUE(d.isEqualTo(narrowed));
    }

    const auto text = UNDODATA::decodeFromData(textRecord().encodeToData());
    ASSERT_TRUE(text);
    EXPECT_EQ(text->selectionRange.location, (std::uint64_t(1) << 40) + 3);
    EXPECT_EQ(text->selectionRange.length, std::numeric_limits<std::uint64_t>::max());
    EXPECT_TRUE(text->selectable && text->editable);
    EXPECT_EQ(text->typingAttributes, textRecord().typingAttributes);

    const auto image = UNDODATA::decodeFromData(imageRecord().encodeToData());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->orgImage.toQImage(), picture().toQImage());
    EXPECT_FALSE(image->rtf.has_value()) << "an image record holds no text";

    const auto shape = UNDODATA::decodeFromData(shapeRecord().encodeToData());
    ASSERT_TRUE(shape);
    EXPECT_TRUE(shape->controlVals[0].isBool());
    EXPECT_TRUE(shape->controlVals[3].isPoint());
    EXPECT_TRUE(shape->isDrawing);
}

TEST(UndoDataEquality, Matrix)
{
    using Change = std::function<void(UNDODATA&)>;
    struct Row {
        const char* name;
        Change change;
        bool equalText, equalImage, equalShape;
    };
    const Row rows[] = {
        { "a copy", [](UNDODATA&) {}, true, true, true },
        { "a move", [](UNDODATA& r) { r.frame.origin = Point(500, -3); }, true, true, true },
        { "a resize", [](UNDODATA& r) { r.frame.size.width += 1; }, false, false, false },
        { "a selection", [](UNDODATA& r) { r.selected = !r.selected; }, true, true, true },
        { "a text selection",
            [](UNDODATA& r) {
                r.selectionRange = { 1, 1 };
            },
            true, true, true },
        { "kept proportions", [](UNDODATA& r) { r.orgWidth = 1; }, true, true, true },
        { "box shadow colour", [](UNDODATA& r) { r.boxShadowColor = Color(1, 1, 1, 1); }, false,
            true, true },
        { "circular", [](UNDODATA& r) { r.isCircular = !r.isCircular; }, false, true, true },
        { "rotation", [](UNDODATA& r) { r.rotationAngle += 1; }, false, false, false },
        { "a fill", [](UNDODATA& r) { r.backColor->angle = 10; }, false, false, false },
        { "a lost fill", [](UNDODATA& r) { r.borderColor.reset(); }, false, false, false },
        { "drop shadow", [](UNDODATA& r) { r.shadowColor.reset(); }, false, false, false },
        { "a curve point", [](UNDODATA& r) { r.curves[1].y = 0.2; }, false, false, false },
        { "perspective", [](UNDODATA& r) { r.vertPerspective = 0.3; }, false, false, false },
        { "the text", [](UNDODATA& r) { r.rtf = platform::AttributedString(QStringLiteral("x")); },
            false, true, true },
        { "another picture", [](UNDODATA& r) { r.orgImage = picture(); }, true, false, true },
        { "saturation", [](UNDODATA& r) { r.saturation = 0.9; }, true, false, true },
        { "shape points", [](UNDODATA& r) { r.points.push_back(Point(1, 1)); }, true, true, false },
        { "end head", [](UNDODATA& r) { r.endType = 1; }, true, true, false },
        { "not a number", [](UNDODATA& r) { r.horzPerspective = std::nan(""); }, false, false,
            false },
    };
    for (const Row& row : rows) {
        const std::pair<UNDODATA, bool> cases[] = { { textRecord(), row.equalText },
            { imageRecord(), row.equalImage }, { shapeRecord(), row.equalShape } };
        for (const auto& [base, expected] : cases) {
            UNDODATA changed = base;
            row.change(changed);
            EXPECT_EQ(changed.isEqualTo(base), expected) << row.name << ", type " << base.type;
            EXPECT_EQ(base.isEqualTo(changed), expected) << row.name << ", type " << base.type;
        }
    }
    UNDODATA other = imageRecord();
    other.type = UNDODATA::ShapeBox;
    EXPECT_FALSE(other.isEqualTo(imageRecord())) << "type decides first";
}

TEST(UndoDataArchive, CraftedRecordsDecodeSafely)
{
    using K = KeyedArchiver;
    struct Row {
        const char* name;
        std::function<void(K&)> write;
        std::function<void(const UNDODATA&)> check;
    };
    const Row rows[] = {
        { "no keys at all", [](K&) {},
            [](const UNDODATA& r) {
                EXPECT_EQ(r.type, 0);
                EXPECT_EQ(r.layerOpacity, 1.0) << "an old record is never invisible";
                EXPECT_FALSE(r.overlayColor.has_value());
                EXPECT_TRUE(r.curves.empty());
            } },
        { "type as text", [](K& c) { c.encodeString("type", "1"); },
            [](const UNDODATA& r) { EXPECT_EQ(r.type, 0); } },
        { "image without a picture, picture as a number",
            [](K& c) {
                c.encodeInt32("type", 1);
                c.encodeInt32("orgImage", 12);
                c.encodeDouble("saturation", std::numeric_limits<double>::infinity());
            },
            [](const UNDODATA& r) {
                EXPECT_EQ(r.type, 1);
                EXPECT_TRUE(r.orgImage.isNull());
                EXPECT_EQ(r.saturation, 1.0);
            } },
        { "non-finite numbers",
            [](K& c) {
                c.encodeFloat("rotationAngle", std::nanf(""));
                c.encodeFloat("horzPerspective", std::numeric_limits<float>::infinity());
                c.encodeFloat("layerOpacity", std::nanf(""));
                c.encodeRect(
                    "frame", Rect(std::nan(""), 5, std::numeric_limits<double>::infinity(), 10));
            },
            [](const UNDODATA& r) {
                EXPECT_EQ(r.rotationAngle, 0.0);
                EXPECT_EQ(r.horzPerspective, 0.0);
                EXPECT_EQ(r.layerOpacity, 1.0);
                EXPECT_EQ(r.frame, Rect(0, 5, 0, 10));
            } },
        { "huge and negative sizes",
            [](K& c) {
                c.encodeInt32("borderSize", std::numeric_limits<qint32>::max());
                c.encodeInt32("strokeSize", -4);
                c.encodeInt32("shadowBlurSize", 1 << 30);
                c.encodeInt32("innershadowOffsetSize", std::numeric_limits<qint32>::min());
                c.encodeRect("frame", Rect(-1e300, 2, -50, 1e300));
                c.encodeFloat("layerOpacity", 7.0f);
                c.encodeFloat("orgWidth", -3.0f);
            },
            [](const UNDODATA& r) {
                EXPECT_EQ(r.borderSize, UNDODATA::kMaxLineSize);
                EXPECT_EQ(r.strokeSize, 0);
                EXPECT_EQ(r.shadowBlurSize, UNDODATA::kMaxShadowSize);
                EXPECT_EQ(r.innerShadowOffsetSize, -int(UNDODATA::kMaxExtent));
                EXPECT_EQ(r.frame, Rect(-UNDODATA::kMaxCoordinate, 2, 0, UNDODATA::kMaxExtent));
                EXPECT_EQ(r.layerOpacity, 1.0);
                EXPECT_EQ(r.orgWidth, 0.0) << "falls back to the frame's width";
            } },
        { "wrong kinds everywhere",
            [](K& c) {
                c.encodeString("frame", "big");
                c.encodeBool("borderSize", true);
                c.encodeObject("overlayColor", Color(1, 0, 0, 1));
                c.encodeInt32("shadowColor", 3);
                c.encodeArray("rotationAngle", {});
                c.encodeArray("curves",
                    { ArchiveValue::fromString("x"), ArchiveValue::fromValue(Point(0.5, 0.1)),
                        ArchiveValue::fromInt32(4) });
            },
            [](const UNDODATA& r) {
                EXPECT_EQ(r.frame, Rect());
                EXPECT_EQ(r.borderSize, 0);
                EXPECT_FALSE(r.overlayColor.has_value()) << "a colour is not a fill";
                EXPECT_FALSE(r.shadowColor.has_value());
                EXPECT_EQ(r.rotationAngle, 0.0);
                ASSERT_EQ(r.curves.size(), 1u);
                EXPECT_EQ(r.curves[0], Point(0.5, 0.1));
            } },
        { "shape with bad control values",
            [](K& c) {
                c.encodeInt32("type", 2);
                c.encodeArray("points", { ArchiveValue::fromValue(Point(0, 0)) });
                c.encodeArray("controlVals",
                    { ArchiveValue::fromString("no"), ArchiveValue::fromDouble(std::nan("")),
                        ArchiveValue::fromBool(true) });
            },
            [](const UNDODATA& r) {
                ASSERT_EQ(r.controlVals.size(), 3u) << "kept in line with the points";
                EXPECT_EQ(r.controlVals[0], ControlValue(qint64(0)));
                EXPECT_EQ(r.controlVals[1], ControlValue(qint64(0)));
                EXPECT_EQ(r.controlVals[2], ControlValue(true));
            } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.check(decodeCrafted(row.write));
    }
}

TEST(UndoDataArchive, DecodeFromDataRefusesWhatIsNoRecord)
{
    EXPECT_FALSE(UNDODATA::decodeFromData(QByteArray()));
    EXPECT_FALSE(UNDODATA::decodeFromData(QByteArray("not an archive at all")));
    EXPECT_FALSE(UNDODATA::decodeFromData(KeyedArchiver::archivedData(SZGradient(), true)))
        << "another class at the root";
    // A truncated record.
    const QByteArray whole = imageRecord().encodeToData();
    EXPECT_FALSE(UNDODATA::decodeFromData(whole.left(whole.size() / 2)));
}

// What the archive keeps of a record: doubles written as floats are narrowed.
UNDODATA narrowedAsArchived(UNDODATA r)
{
    record::forEachField([&](const auto& field) {
        if constexpr (std::is_same_v<record::CodingOf<decltype(field)>, record::Float>)
            r.*field.member = f(r.*field.member);
    });
    return r;
}

// Records as the stored files hold them. Reading them must give the records back, whatever
// fields are added later; writing must give the very bytes, or documents saved before would
// change on their next save. A deliberate change of the stored form (a new key) changes the
// bytes: the files are then written anew with QUILLMARK_WRITE_STORED_RECORDS=1.
TEST(UndoDataArchive, WritesAndReadsTheStoredBytes)
{
    const std::pair<const char*, UNDODATA> rows[]
        = { { "text", textRecord() }, { "image", imageRecord() }, { "shape", shapeRecord() },
              { "unknown-type", commonRecord(7) } };
    const QString folder
        = qEnvironmentVariable("QUILLMARK_TEST_DATA") + QStringLiteral("/records/");
    for (const auto& [name, original] : rows) {
        SCOPED_TRACE(name);
        QFile file(folder + QLatin1String(name) + QStringLiteral(".record"));
        if (qEnvironmentVariableIsSet("QUILLMARK_WRITE_STORED_RECORDS")) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(original.encodeToData());
            continue;
        }
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        auto decoded = UNDODATA::decodeFromData(stored);
        ASSERT_TRUE(decoded);
        if (decoded->orgImage.toQImage() == original.orgImage.toQImage())
            decoded->orgImage = original.orgImage; // a picture read back is a new picture
        EXPECT_TRUE(record::sameRecord(*decoded, narrowedAsArchived(original)))
            << "reads back as it was written";
        EXPECT_EQ(original.encodeToData(), stored) << "writes the stored bytes";
    }
}
