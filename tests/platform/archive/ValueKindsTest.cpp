// Plain values by key: every kind written and read back exactly, the float narrowing, the
// integer widths, wrong kinds and missing keys.
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace platform;

namespace {

using Kind = ArchiveValue::Kind;

QByteArray archiveWith(const std::function<void(KeyedArchiver&)>& write)
{
    KeyedArchiver archiver;
    write(archiver);
    const QByteArray data = archiver.finishEncoding();
    EXPECT_FALSE(data.isEmpty()) << archiver.error().toStdString();
    return data;
}

} // namespace

TEST(ArchiveValueKinds, EveryKindRoundTripsExactly)
{
    const ArchiveArray mixed { ArchiveValue::fromInt32(7), ArchiveValue::fromString("x"),
        ArchiveValue(), ArchiveValue::fromDouble(2.5) };
    const ArchiveDictionary dict { { "zeta", ArchiveValue::fromInt32(1) },
        { "alpha", ArchiveValue::fromBool(true) },
        { "mid", ArchiveValue::fromBytes(QByteArray("\x00\x01", 2)) } };
    const QByteArray binary("\x00\xff\x7f\x80", 4);
    const QByteArray data = archiveWith([&](KeyedArchiver& a) {
        a.encodeInt32("int32 min", std::numeric_limits<qint32>::min());
        a.encodeInt32("int32 max", std::numeric_limits<qint32>::max());
        a.encodeInt64("int64 above 2^31", qint64(1) << 40);
        a.encodeInt64("int64 min", std::numeric_limits<qint64>::min());
        a.encodeInt64("int64 max", std::numeric_limits<qint64>::max());
        a.encodeInt64("int64 small", -3);
        a.encodeFloat("float", 37.25f);
        a.encodeDouble("double", 0.1);
        a.encodeDouble("double integral", 37.25);
        a.encodeBool("true", true);
        a.encodeBool("false", false);
        a.encodeRect("rect", Rect(0.1, -2.5, 1e300, 1.0 / 3.0));
        a.encodeBytes("bytes", binary);
        a.encodeBytes("empty bytes", QByteArray());
        a.encodeString("text", QString::fromUtf8("Grüße \xF0\x9F\x98\x80"));
        a.encodeArray("array", mixed);
        a.encodeDictionary("dictionary", dict);
        a.encodeNull("null");
    });
    KeyedUnarchiver u(data, {});
    ASSERT_TRUE(u.isValid()) << u.error().toStdString();

    const struct {
        const char* key;
        Kind kind;
    } kinds[] = {
        { "int32 min", Kind::Int32 },
        { "int64 small", Kind::Int64 },
        { "float", Kind::Float },
        { "double integral", Kind::Double },
        { "rect", Kind::Rect },
        { "bytes", Kind::Bytes },
        { "text", Kind::String },
        { "array", Kind::Array },
        { "dictionary", Kind::Dictionary },
        { "null", Kind::Null },
        { "true", Kind::Bool },
    };
    for (const auto& row : kinds)
        EXPECT_EQ(u.decodeValue(row.key).kind(), row.kind) << row.key;

    EXPECT_EQ(u.decodeInt32("int32 min"), std::numeric_limits<qint32>::min());
    EXPECT_EQ(u.decodeInt32("int32 max"), std::numeric_limits<qint32>::max());
    EXPECT_EQ(u.decodeInt64("int64 above 2^31"), qint64(1) << 40);
    EXPECT_EQ(u.decodeInt64("int64 min"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(u.decodeInt64("int64 max"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(u.decodeFloat("float"), 37.25f);
    EXPECT_EQ(u.decodeDouble("double"), 0.1);
    EXPECT_TRUE(u.decodeBool("true"));
    EXPECT_FALSE(u.decodeBool("false"));
    EXPECT_EQ(u.decodeRect("rect"), Rect(0.1, -2.5, 1e300, 1.0 / 3.0));
    EXPECT_EQ(u.decodeBytes("bytes"), binary);
    EXPECT_TRUE(u.decodeBytes("empty bytes").isEmpty());
    EXPECT_EQ(u.decodeString("text"), QString::fromUtf8("Grüße \xF0\x9F\x98\x80"));

    const auto array = u.decodeArray("array");
    ASSERT_TRUE(array);
    ASSERT_EQ(array->size(), 4u);
    EXPECT_EQ((*array)[0].toInt32(), 7);
    EXPECT_EQ((*array)[1].toString(), "x");
    EXPECT_TRUE((*array)[2].isNull());
    EXPECT_EQ((*array)[3].toDouble(), 2.5);

    const auto d = u.decodeDictionary("dictionary");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->keys(), QStringList({ "zeta", "alpha", "mid" })); // order as written
    EXPECT_TRUE(d->value("alpha").toBool());
    EXPECT_EQ(d->value("mid").toBytes(), QByteArray("\x00\x01", 2));

    // Keys at the top level keep their order too.
    EXPECT_EQ(u.allKeys().first(), "int32 min");
    EXPECT_EQ(u.allKeys().last(), "null");
}

TEST(ArchiveValueKinds, FloatKeysNarrowThroughFloat)
{
    const struct {
        const char* name;
        double written;
        bool survivesExactly;
    } rows[] = {
        { "37.25 is a float", 37.25, true },
        { "0.1 is not", 0.1, false },
        { "90 degrees", 90.0, true },
        { "1/3", 1.0 / 3.0, false },
    };
    for (const auto& row : rows) {
        const QByteArray data
            = archiveWith([&](KeyedArchiver& a) { a.encodeFloat("angle", float(row.written)); });
        const KeyedUnarchiver u(data, {});
        const double back = u.decodeFloat("angle");
        EXPECT_EQ(back, double(float(row.written))) << row.name;
        EXPECT_EQ(back == row.written, row.survivesExactly) << row.name;
        EXPECT_EQ(u.decodeDouble("angle"), back) << row.name << ": widening a float is exact";
    }
}

TEST(ArchiveValueKinds, WrongKindsAndMissingKeysReadAsAbsent)
{
    const QByteArray data = archiveWith([](KeyedArchiver& a) {
        a.encodeInt32("int32", 5);
        a.encodeInt64("int64 small", 6);
        a.encodeInt64("int64 large", qint64(3) << 31);
        a.encodeInt64("int64 negative large", -(qint64(3) << 31));
        a.encodeFloat("float", 1.5f);
        a.encodeDouble("double", 2.5);
        a.encodeDouble("double huge", 1e300);
        a.encodeBool("bool", true);
        a.encodeString("text", "hello");
        a.encodeBytes("bytes", "hello");
        a.encodeRect("rect", Rect(1, 2, 3, 4));
        a.encodeArray("array", { ArchiveValue::fromInt32(1) });
        a.encodeObject("color", Color(1, 0, 0, 1));
    });
    const KeyedUnarchiver u(data, { "NSColor" });
    ASSERT_TRUE(u.isValid());

    const struct {
        const char* name;
        std::function<bool()> check;
    } rows[] = {
        // Integer widths are lenient within range.
        { "int64 that fits read as int32", [&] { return u.decodeInt32("int64 small") == 6; } },
        { "int64 above 2^31 read as int32", [&] { return u.decodeInt32("int64 large") == 0; } },
        { "int64 below -2^31 read as int32",
            [&] { return u.decodeInt32("int64 negative large") == 0; } },
        { "int32 read as int64", [&] { return u.decodeInt64("int32") == 5; } },
        // Float widths are lenient; a double past the float range is an infinity.
        { "double read as float", [&] { return u.decodeFloat("double") == 2.5f; } },
        { "huge double read as float", [&] { return std::isinf(u.decodeFloat("double huge")); } },
        // Across kinds nothing is converted.
        { "float read as int32", [&] { return u.decodeInt32("float") == 0; } },
        { "float read as int64", [&] { return u.decodeInt64("float") == 0; } },
        { "int read as double", [&] { return u.decodeDouble("int32") == 0.0; } },
        { "int read as bool", [&] { return !u.decodeBool("int32"); } },
        { "bool read as int", [&] { return u.decodeInt32("bool") == 0; } },
        { "text read as bytes", [&] { return u.decodeBytes("text").isEmpty(); } },
        { "bytes read as text", [&] { return u.decodeString("bytes").isEmpty(); } },
        { "rect read as double", [&] { return u.decodeDouble("rect") == 0.0; } },
        { "array read as int", [&] { return u.decodeInt32("array") == 0; } },
        { "array read as dictionary", [&] { return !u.decodeDictionary("array"); } },
        { "object read as rect", [&] { return u.decodeRect("color") == Rect(); } },
        { "object read as wrong object type", [&] { return !u.decodeObject<Point>("color"); } },
        { "int read as object", [&] { return !u.decodeObject<Color>("int32"); } },
        // Missing keys.
        { "missing int32", [&] { return u.decodeInt32("nope") == 0; } },
        { "missing float", [&] { return u.decodeFloat("nope") == 0.0f; } },
        { "missing bool", [&] { return !u.decodeBool("nope"); } },
        { "missing text", [&] { return u.decodeString("nope").isEmpty(); } },
        { "missing object", [&] { return !u.decodeObject<Color>("nope"); } },
        { "missing array", [&] { return !u.decodeArray("nope"); } },
        { "missing value is null", [&] { return u.decodeValue("nope").isNull(); } },
        { "missing key not contained", [&] { return !u.containsValueForKey("nope"); } },
    };
    for (const auto& row : rows)
        EXPECT_TRUE(row.check()) << row.name;
}

TEST(ArchiveValueKinds, RepeatedKeyReadsTheLastValue)
{
    const QByteArray data = archiveWith([](KeyedArchiver& a) {
        a.encodeInt32("k", 1);
        a.encodeInt32("other", 2);
        a.encodeInt32("k", 3);
    });
    const KeyedUnarchiver u(data, {});
    EXPECT_EQ(u.decodeInt32("k"), 3);
    EXPECT_EQ(u.allKeys(), QStringList({ "k", "other" }));
}

TEST(ArchiveValueKinds, ArchiveStartsWithTheSelfDescribeTag)
{
    const QByteArray data = archiveWith([](KeyedArchiver& a) { a.encodeInt32("v", 1); });
    ASSERT_GE(data.size(), 3);
    EXPECT_EQ(data.left(3), QByteArray("\xd9\xd9\xf7"));
}

namespace {

// An object whose decoder reads one integer of its own, so that what it fails to read is its
// coder's, not the coder that reads the object.
class Counted final : public KeyedCoding {
public:
    QString archiveClassName() const override { return QStringLiteral("TestCounted"); }
    bool supportsSecureCoding() const override { return true; }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeString("n", "x"); }
    static std::shared_ptr<const KeyedCoding> decode(const KeyedUnarchiver& coder)
    {
        coder.decodeInt32("n");
        EXPECT_EQ(coder.valuesNotRead(), 1) << "counted on the object's own coder";
        return std::make_shared<const Counted>();
    }
};

} // namespace

// A value that was there but could not be read as asked is counted, so that a decoder can tell
// the person it lost a value; a missing key, a null, a right kind and a value inside an object
// read by its own coder are not.
TEST(ArchiveValueKinds, ValuesThatCannotBeReadAsAskedAreCounted)
{
    KeyedUnarchiver::registerClass("TestCounted", Counted::decode);
    const QByteArray data = archiveWith([](KeyedArchiver& a) {
        a.encodeInt32("int32", 5);
        a.encodeInt64("int64 small", 6);
        a.encodeInt64("int64 large", qint64(3) << 31);
        a.encodeFloat("float", 1.5f);
        a.encodeString("text", "hello");
        a.encodeRect("rect", Rect(1, 2, 3, 4));
        a.encodeArray("array", { ArchiveValue::fromInt32(1) });
        a.encodeObject("color", Color(1, 0, 0, 1));
        a.encodeObject("counted", Counted());
        a.encodeNull("null");
    });
    const KeyedUnarchiver u(data, { "NSColor", "TestCounted" });
    ASSERT_TRUE(u.isValid());
    const struct {
        const char* name;
        std::function<void()> read;
        bool counted;
    } rows[] = {
        { "int32 as int32", [&] { u.decodeInt32("int32"); }, false },
        { "int64 that fits as int32", [&] { u.decodeInt32("int64 small"); }, false },
        { "int64 past 32 bits as int32", [&] { u.decodeInt32("int64 large"); }, true },
        { "float as double", [&] { u.decodeDouble("float"); }, false },
        { "int as float", [&] { u.decodeFloat("int32"); }, true },
        { "text as rect", [&] { u.decodeRect("text"); }, true },
        { "text as bool", [&] { u.decodeBool("text"); }, true },
        { "object as rect", [&] { u.decodeRect("color"); }, true },
        { "object as bytes", [&] { u.decodeBytes("color"); }, true },
        { "rect as text", [&] { u.decodeString("rect"); }, true },
        { "array as dictionary", [&] { u.decodeDictionary("array"); }, true },
        { "text as array", [&] { u.decodeArray("text"); }, true },
        { "int as object", [&] { u.decodeObject<Color>("int32"); }, true },
        { "object of another type", [&] { u.decodeObject<Point>("color"); }, true },
        { "any value, an object not allowed", [&] { u.decodeValue("color", {}); }, false },
        { "object read", [&] { u.decodeObject<Color>("color"); }, false },
        { "object whose own read failed", [&] { u.decodeObject<Counted>("counted"); }, false },
        { "missing key", [&] { u.decodeInt32("nope"); }, false },
        { "missing object", [&] { u.decodeObject<Color>("nope"); }, false },
        { "null", [&] { u.decodeRect("null"); }, false },
        { "null object", [&] { u.decodeObject<Color>("null"); }, false },
        { "any value", [&] { u.decodeValue("text"); }, false },
    };
    for (const auto& row : rows) {
        const int before = u.valuesNotRead();
        row.read();
        EXPECT_EQ(u.valuesNotRead() - before, row.counted ? 1 : 0) << row.name;
    }
}
