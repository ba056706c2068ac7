// The writer and the reader agree at every limit: what is written at a bound reads back, one
// step past it is not written, and the same archive made elsewhere is refused by the reader for
// the same reason.
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "support/NamedCase.h"

#include <functional>
#include <gtest/gtest.h>

using namespace platform;

namespace {

const QStringList kPictures { "CIImage" };

Image picture(int width, int height)
{
    QImage pixels(width, height, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(qRgb(30, 60, 90));
    return Image::fromQImage(pixels);
}

ArchiveValue ints(int count)
{
    return ArchiveValue::fromArray(ArchiveArray(size_t(count), ArchiveValue::fromInt32(7)));
}

} // namespace

struct LimitRow {
    const char* name;
    ArchiveLimit limit;
    std::function<void(ArchiveLimits&)> tighten;
    // Writes what meets the bound exactly, or (past) one step over it.
    std::function<void(KeyedArchiver&, bool past)> fill;
};

class ArchiveLimitAgreement : public testing::TestWithParam<LimitRow> { };

TEST_P(ArchiveLimitAgreement, WhatIsWrittenIsRead)
{
    const LimitRow& row = GetParam();
    ArchiveLimits limits;
    row.tighten(limits);
    const auto write = [&](const ArchiveLimits& with, bool past) {
        KeyedArchiver archiver(true, with);
        row.fill(archiver, past);
        QByteArray bytes = archiver.finishEncoding();
        EXPECT_EQ(archiver.exceededLimit(), bytes.isEmpty() ? row.limit : ArchiveLimit::None);
        return bytes;
    };

    const QByteArray atLimit = write(limits, false);
    ASSERT_FALSE(atLimit.isEmpty());
    const KeyedUnarchiver read(atLimit, kPictures, limits);
    ASSERT_TRUE(read.isValid()) << read.error().toStdString();
    for (const QString& key : read.allKeys()) {
        if (key.startsWith("picture")) {
            EXPECT_TRUE(read.decodeObject<Image>(key)) << key.toStdString();
        }
    }

    EXPECT_TRUE(write(limits, true).isEmpty()) << "written past the limit";

    // Made by a writer with looser limits: the reader refuses the same bound.
    const QByteArray elsewhere = write(ArchiveLimits(), true);
    ASSERT_FALSE(elsewhere.isEmpty());
    const KeyedUnarchiver refused(elsewhere, kPictures, limits);
    if (row.limit == ArchiveLimit::PictureSide || row.limit == ArchiveLimit::PicturePixels) {
        ASSERT_TRUE(refused.isValid());
        EXPECT_TRUE(refused.decodeObject<Image>("picture1"));
        EXPECT_FALSE(refused.decodeObject<Image>("picture2")) << "the picture over the limit";
        return;
    }
    EXPECT_FALSE(refused.isValid());
    EXPECT_EQ(refused.failure().kind, ArchiveFailure::Kind::OverLimit);
    EXPECT_EQ(refused.failure().limit, row.limit);
}

INSTANTIATE_TEST_SUITE_P(Archive, ArchiveLimitAgreement,
    testing::Values(
        // The top-level map, the key and the array are three values.
        LimitRow { "values", ArchiveLimit::Values, [](ArchiveLimits& l) { l.maxValues = 10; },
            [](KeyedArchiver& a, bool past) { a.encodeValue("a", ints(past ? 8 : 7)); } },
        LimitRow { "values_of_keys_and_class_names", ArchiveLimit::Values,
            [](ArchiveLimits& l) { l.maxValues = 8; },
            [](KeyedArchiver& a, bool past) {
                // The map, the key, the object, its class name, two keys and two values.
                a.encodeObject("a", Point(1, 2));
                if (past)
                    a.encodeNull("b");
            } },
        LimitRow { "items_of_an_array", ArchiveLimit::ContainerLength,
            [](ArchiveLimits& l) { l.maxContainerLength = 4; },
            [](KeyedArchiver& a, bool past) { a.encodeValue("a", ints(past ? 5 : 4)); } },
        LimitRow { "keys_of_the_top_level_map", ArchiveLimit::ContainerLength,
            [](ArchiveLimits& l) { l.maxContainerLength = 4; },
            [](KeyedArchiver& a, bool past) {
                for (int i = 0; i < (past ? 5 : 4); ++i)
                    a.encodeInt32("k", i); // a repeated key is an entry too
            } },
        LimitRow { "bytes_of_a_byte_string", ArchiveLimit::StringSize,
            [](ArchiveLimits& l) { l.maxStringSize = 16; },
            [](KeyedArchiver& a, bool past) {
                a.encodeBytes("a", QByteArray(past ? 17 : 16, 'x'));
            } },
        LimitRow { "utf8_bytes_of_a_text", ArchiveLimit::StringSize,
            [](ArchiveLimits& l) { l.maxStringSize = 16; },
            [](KeyedArchiver& a, bool past) {
                a.encodeString("a", QString(past ? 9 : 8, QChar(0xe9))); // two bytes each
            } },
        LimitRow { "nesting", ArchiveLimit::Depth, [](ArchiveLimits& l) { l.maxDepth = 4; },
            [](KeyedArchiver& a, bool past) {
                ArchiveValue v = ArchiveValue::fromArray({ ArchiveValue::fromInt32(1) });
                a.encodeValue(
                    "a", ArchiveValue::fromArray({ past ? ArchiveValue::fromArray({ v }) : v }));
            } },
        // Header 8, map start 1, key 2, byte string head 2, map end 1: 14 bytes around 114.
        LimitRow { "size_of_the_archive", ArchiveLimit::Size,
            [](ArchiveLimits& l) { l.maxInputSize = 128; },
            [](KeyedArchiver& a, bool past) {
                a.encodeBytes("a", QByteArray(past ? 115 : 114, 'x'));
            } },
        LimitRow { "side_of_a_picture", ArchiveLimit::PictureSide,
            [](ArchiveLimits& l) { l.maxImageDimension = 8; },
            [](KeyedArchiver& a, bool past) {
                a.encodeObject("picture1", picture(8, 3));
                a.encodeObject("picture2", picture(past ? 9 : 8, 2));
            } },
        LimitRow { "pixels_of_all_pictures", ArchiveLimit::PicturePixels,
            [](ArchiveLimits& l) { l.maxImagePixels = 40; },
            [](KeyedArchiver& a, bool past) {
                a.encodeObject("picture1", picture(4, 5));
                a.encodeObject("picture2", past ? picture(3, 7) : picture(5, 4));
            } }),
    testsupport::RowName());

TEST(ArchiveFailures, SayWhetherTheDataAreCutShortOrUnreadableWhere)
{
    KeyedArchiver a;
    a.encodeDouble("Version", 1.2);
    a.encodeString("name", "a box");
    a.encodeObject("where", Point(3, 4));
    const QByteArray whole = a.finishEncoding();
    for (qsizetype n = 1; n < whole.size(); ++n) {
        const ArchiveFailure failure = KeyedUnarchiver(whole.left(n), {}).failure();
        EXPECT_EQ(failure.kind, ArchiveFailure::Kind::CutShort) << "cut at " << n;
    }
    EXPECT_EQ(KeyedUnarchiver("\x89PNG\r\n\x1a\n", {}).failure().kind,
        ArchiveFailure::Kind::NotAnArchive);
    // A reserved simple value where the first key should be.
    QByteArray broken = whole;
    broken[9] = char(0xfc);
    const ArchiveFailure failure = KeyedUnarchiver(broken, {}).failure();
    EXPECT_EQ(failure.kind, ArchiveFailure::Kind::Unreadable);
    EXPECT_EQ(failure.offset, 9);
    EXPECT_EQ(KeyedUnarchiver(whole, {}).failure().kind, ArchiveFailure::Kind::None);
}
