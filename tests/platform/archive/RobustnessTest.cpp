// Hostile input: truncation, garbage, huge claimed lengths and deep nesting never crash the
// reader; the writer refuses what the reader would refuse.
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"

#include <QCborStreamWriter>
#include <gtest/gtest.h>
#include <random>

using namespace platform;

namespace {

const QStringList kEverything { "NSColor", "NSGradient", "NSImage", "CIImage", "NSValue" };

QByteArray smallArchive()
{
    KeyedArchiver a;
    a.encodeInt32("type", 2);
    a.encodeInt64("location", qint64(1) << 33);
    a.encodeFloat("angle", 0.1f);
    a.encodeRect("frame", Rect(1, 2, 3, 4));
    a.encodeString("name", "box");
    a.encodeObject("color", Color(0.5, 0.5, 0.5, 1));
    a.encodeObject("gradient", Gradient());
    a.encodeArray(
        "curves", { ArchiveValue::fromValue(Point(0, 0)), ArchiveValue::fromValue(Point(1, 0)) });
    a.encodeDictionary("attrs", { { "bold", ArchiveValue::fromBool(true) } });
    return a.finishEncoding();
}

// Reads everything a client might read; the answers do not matter, only that nothing breaks.
void readEverything(const KeyedUnarchiver& u)
{
    for (const QString& key : u.allKeys()) {
        u.decodeInt32(key);
        u.decodeInt64(key);
        u.decodeFloat(key);
        u.decodeRect(key);
        u.decodeString(key);
        u.decodeObject<Color>(key);
        u.decodeObject<Gradient>(key);
        u.decodeValue(key);
    }
}

// The archive header followed by a map of one key whose value is the given bytes.
QByteArray withValue(const QByteArray& valueBytes)
{
    return QByteArray("\xd9\xd9\xf7\xda\x51\x4d\x41\x01\xa1\x61"
                      "a",
               11)
        + valueBytes;
}

} // namespace

TEST(ArchiveRobustness, EveryTruncationIsAnErrorNotACrash)
{
    const QByteArray full = smallArchive();
    ASSERT_TRUE(KeyedUnarchiver(full, kEverything).isValid());
    for (qsizetype n = 0; n < full.size(); ++n) {
        const KeyedUnarchiver u(full.left(n), kEverything);
        EXPECT_FALSE(u.isValid()) << "prefix of " << n << " bytes";
        EXPECT_FALSE(u.error().isEmpty());
        readEverything(u);
        EXPECT_EQ(u.decodeInt32("type"), 0);
    }
    EXPECT_FALSE(KeyedUnarchiver(full + QByteArray(1, '\0'), kEverything).isValid())
        << "bytes after the archive";
}

TEST(ArchiveRobustness, MutatedArchivesNeverCrash)
{
    const QByteArray full = smallArchive();
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = full;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i)
            bytes[qsizetype(random() % quint32(bytes.size()))] = char(random() & 0xff);
        const KeyedUnarchiver u(bytes, kEverything);
        readEverything(u);
    }
}

TEST(ArchiveRobustness, HugeClaimedLengthsAreRefusedBeforeAllocation)
{
    const struct {
        const char* name;
        QByteArray value;
    } rows[] = {
        { "byte string of 2^62 bytes", QByteArray("\x5b\x40\x00\x00\x00\x00\x00\x00\x00", 9) },
        { "text of 2^32 bytes", QByteArray("\x7b\x00\x00\x00\x01\x00\x00\x00\x00", 9) },
        { "array of 2^40 items", QByteArray("\x9b\x00\x00\x01\x00\x00\x00\x00\x00", 9) },
        { "map of 2^63 entries", QByteArray("\xbb\x80\x00\x00\x00\x00\x00\x00\x00", 9) },
        { "indefinite string with a huge chunk",
            QByteArray("\x5f\x5b\x00\x00\x00\x10\x00\x00\x00\x00\xff", 11) },
        { "array longer than the data", QByteArray("\x98\xff\x01\x02", 4) },
    };
    for (const auto& row : rows) {
        const KeyedUnarchiver u(withValue(row.value) + QByteArray(64, '\0'), kEverything);
        EXPECT_FALSE(u.isValid()) << row.name;
    }
}

TEST(ArchiveRobustness, LimitsAreConfigurable)
{
    const QByteArray full = smallArchive();
    ArchiveLimits tiny;
    tiny.maxInputSize = full.size() - 1;
    EXPECT_FALSE(KeyedUnarchiver(full, {}, tiny).isValid());
    ArchiveLimits fewValues;
    fewValues.maxValues = 5;
    EXPECT_FALSE(KeyedUnarchiver(full, {}, fewValues).isValid());
    ArchiveLimits shortStrings;
    shortStrings.maxStringSize = 2; // keys count too: "type" has four bytes
    EXPECT_FALSE(KeyedUnarchiver(full, {}, shortStrings).isValid());
}

TEST(ArchiveRobustness, UnknownTagsAndOddItemsReadAsAbsent)
{
    const struct {
        const char* name;
        QByteArray value;
    } rows[] = {
        { "unknown tag around an int", QByteArray("\xc1\x05", 2) },
        { "our int64 tag around text", QByteArray("\xda\x51\x4d\x41\x02\x61x", 7) },
        { "rect of three numbers", QByteArray("\xda\x51\x4d\x41\x03\x83\x01\x02\x03", 9) },
        { "object without a map", QByteArray("\xda\x51\x4d\x41\x04\x82\x61X\x01", 9) },
        { "undefined", QByteArray("\xf7", 1) },
        { "integer below -2^63", QByteArray("\x3b\xff\xff\xff\xff\xff\xff\xff\xff", 9) },
    };
    for (const auto& row : rows) {
        const KeyedUnarchiver u(withValue(row.value), kEverything);
        if (!u.isValid())
            continue; // refusing the whole archive is also sound
        EXPECT_TRUE(u.decodeValue("a").isNull()) << row.name;
        EXPECT_EQ(u.decodeInt64("a"), 0) << row.name;
    }
}

TEST(ArchiveRobustness, NestingIsBoundedOnBothSides)
{
    // The writer refuses values deeper than the reader accepts.
    ArchiveValue deep = ArchiveValue::fromInt32(1);
    for (int i = 0; i < 70; ++i)
        deep = ArchiveValue::fromArray({ deep });
    QString error;
    EXPECT_TRUE(KeyedArchiver::archivedData(deep, true, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());

    // Just inside the bound both agree.
    ArchiveValue fits = ArchiveValue::fromInt32(1);
    for (int i = 0; i < 61; ++i)
        fits = ArchiveValue::fromArray({ fits });
    const QByteArray ok = KeyedArchiver::archivedData(fits, true);
    ASSERT_FALSE(ok.isEmpty());
    EXPECT_TRUE(KeyedUnarchiver::unarchive(ok, {}).ok());

    // Hand-made archives nested 100 000 levels deep (100 KB or more) are refused without
    // exhausting the stack, whatever does the nesting.
    const struct {
        const char* name;
        QByteArray level;
    } rows[] = {
        { "arrays of one item", QByteArray("\x81") },
        { "maps of one entry", QByteArray("\xa1\x60", 2) },
        { "unknown tags", QByteArray("\xc1") }, // once read at the depth of what they tag
        { "our object tag around no object", QByteArray("\xda\x51\x4d\x41\x04") },
    };
    for (const auto& row : rows) {
        const KeyedUnarchiver u(withValue(row.level.repeated(100000) + "\x01"), {});
        EXPECT_FALSE(u.isValid()) << row.name;
        EXPECT_TRUE(u.error().contains("nested deeper")) << row.name;
    }
}

TEST(ArchiveRobustness, KeysAndClassNamesCountAsValues)
{
    // Each costs as much as a value once read; withValue adds the top-level map and its key.
    const struct {
        const char* name;
        QByteArray value;
        qint64 values;
    } rows[] = {
        { "an integer", QByteArray("\x01"), 3 },
        { "a map of one entry",
            QByteArray("\xa1\x61"
                       "b\x01"),
            5 },
        { "an object without fields", QByteArray("\xda\x51\x4d\x41\x04\x82\x61X\xa0"), 4 },
    };
    for (const auto& row : rows) {
        ArchiveLimits limits;
        limits.maxValues = row.values;
        EXPECT_TRUE(KeyedUnarchiver(withValue(row.value), {}, limits).isValid()) << row.name;
        limits.maxValues = row.values - 1;
        EXPECT_FALSE(KeyedUnarchiver(withValue(row.value), {}, limits).isValid()) << row.name;
    }
}

// The shape that costs most once read and built (about 110 bytes a value, which the default
// limit is priced on): one-item arrays nested 60 deep, side by side. The largest such archive
// the limit allows is read and built; one value more is refused.
TEST(ArchiveRobustness, TheCostliestShapeIsReadUpToTheValueLimit)
{
    const ArchiveLimits limits;
    constexpr int kDepth = 60;
    const auto archive = [&](qint64 values) {
        QByteArray bytes;
        QCborStreamWriter w(&bytes);
        w.append(QCborTag(55799));
        w.append(QCborTag(0x514D4101));
        // The top-level map, its key and the outer array are three values; each chain is
        // kDepth arrays and an integer; single integers make up the rest.
        const qint64 chains = (values - 3) / (kDepth + 1);
        const qint64 singles = values - 3 - chains * (kDepth + 1);
        w.startMap(1);
        w.append(QLatin1StringView("root"));
        w.startArray(quint64(chains + singles));
        for (qint64 c = 0; c < chains; ++c) {
            for (int d = 0; d < kDepth; ++d)
                w.startArray(1);
            w.append(0);
            for (int d = 0; d < kDepth; ++d)
                w.endArray();
        }
        for (qint64 i = 0; i < singles; ++i)
            w.append(0);
        w.endArray();
        w.endMap();
        return bytes;
    };
    const auto atLimit = KeyedUnarchiver::unarchive(archive(limits.maxValues), {});
    ASSERT_TRUE(atLimit.ok()) << atLimit.error.toStdString();
    EXPECT_EQ(atLimit.root.toArray().size(),
        size_t((limits.maxValues - 3) / (kDepth + 1) + (limits.maxValues - 3) % (kDepth + 1)));
    const auto over = KeyedUnarchiver::unarchive(archive(limits.maxValues + 1), {});
    EXPECT_FALSE(over.ok());
    EXPECT_TRUE(over.error.contains("more than")) << over.error.toStdString();
}
