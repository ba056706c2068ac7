// Pictures used in many places: written once and referred to elsewhere, read back as the one
// picture and counted once against the budget; references that make no sense read as absent;
// pictures judged by their pixel counts before any is encoded, and encoded once in their life.
#include "StoredPictures.h"
#include "platform/archive/ArchiveFormat.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/imaging/PictureLoader.h"

#include <QCborStreamWriter>
#include <QRandomGenerator>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>

using namespace platform;
namespace fmt = platform::archiveformat;
using archivetest::png;
using archivetest::RawPicture;

namespace {

// Noise, so that its PNG is about as large as its pixels.
QImage noise(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = random.generate() | 0xff000000u;
    }
    return image;
}

// Pixels that count how often they are asked for: encoding asks, judging the size does not.
class CountingPixels final : public ImageRepresentation {
public:
    CountingPixels(QImage pixels, std::atomic_int& asked)
        : m_pixels(std::move(pixels))
        , m_asked(asked)
    {
    }
    QSize pixelSize() const override { return m_pixels.size(); }
    QImage rasterize() const override
    {
        ++m_asked;
        return m_pixels;
    }

private:
    QImage m_pixels;
    std::atomic_int& m_asked;
};

Image counting(QSize size, std::atomic_int& asked)
{
    return Image::fromRepresentations({ std::make_shared<CountingPixels>(noise(size, 3), asked) },
        Size(size.width(), size.height()));
}

// An archive whose key "uses" holds the pictures in order; empty when it was refused.
QByteArray archiveOf(const std::vector<Image>& pictures, const ArchiveLimits& limits = {},
    ArchiveLimit* exceeded = nullptr)
{
    ArchiveArray items;
    for (const Image& picture : pictures)
        items.push_back(ArchiveValue::fromValue(picture));
    KeyedArchiver archiver(true, limits);
    archiver.encodeArray("uses", items);
    const QByteArray bytes = archiver.finishEncoding();
    if (exceeded)
        *exceeded = archiver.exceededLimit();
    return bytes;
}

std::vector<Image> picturesIn(const KeyedUnarchiver& coder, const QString& key = "uses")
{
    std::vector<Image> pictures;
    for (const ArchiveValue& item : coder.decodeArray(key).value_or(ArchiveArray()))
        pictures.push_back(item.objectValue<Image>().value_or(Image()));
    return pictures;
}

} // namespace

TEST(SharedPictures, APictureIsWrittenOnceAndReadBackAsOnePicture)
{
    const Image picture = Image::fromQImage(noise({ 120, 80 }, 1));
    const qsizetype once = archiveOf({ picture }).size();
    ASSERT_GT(once, 120 * 80 * 3) << "noise does not compress";
    for (const int uses : { 2, 10, 1000 }) {
        SCOPED_TRACE(uses);
        const QByteArray bytes = archiveOf(std::vector<Image>(size_t(uses), picture));
        // A few bytes for each use after the first: a reference, not a copy.
        EXPECT_LE(bytes.size() - once, qsizetype(uses) * 8);
        const std::vector<Image> back = picturesIn(KeyedUnarchiver(bytes, { "NSImage" }));
        ASSERT_EQ(back.size(), size_t(uses));
        for (const Image& use : back) {
            ASSERT_FALSE(use.isNull());
            EXPECT_EQ(use, back.front()) << "one picture, not copies";
        }
        EXPECT_EQ(back.front().toQImage(), picture.toQImage());
    }
}

// Written and read, a picture counts once however many boxes, runs and fills use it.
TEST(SharedPictures, APictureCountsOnceAgainstTheBudget)
{
    ArchiveLimits limits;
    limits.maxImagePixels = 1000; // two of the 400-pixel pictures, not three
    const Image picture = Image::fromQImage(noise({ 20, 20 }, 2));
    const Image other = Image::fromQImage(noise({ 20, 20 }, 4));
    const QByteArray bytes = archiveOf({ picture, picture, other, picture, other }, limits);
    ASSERT_FALSE(bytes.isEmpty()) << "two distinct pictures fit";
    const KeyedUnarchiver coder(bytes, { "NSImage" }, limits);
    const std::vector<Image> back = picturesIn(coder);
    ASSERT_EQ(back.size(), 5u);
    for (const Image& use : back)
        EXPECT_FALSE(use.isNull());
    EXPECT_EQ(coder.picturePixelBudget(), 200);

    ArchiveLimit exceeded = ArchiveLimit::None;
    const Image third = Image::fromQImage(noise({ 20, 20 }, 5));
    EXPECT_TRUE(archiveOf({ picture, other, third }, limits, &exceeded).isEmpty());
    EXPECT_EQ(exceeded, ArchiveLimit::PicturePixels);
}

// Files of the time before pictures were shared hold a copy at every use: they open, and the
// copies become the one picture again (decoded and counted once), so that a save makes them
// small.
TEST(SharedPictures, FilesWithACopyAtEveryUseOpenAsOnePicture)
{
    const QByteArray first = png(noise({ 20, 20 }, 6));
    const QByteArray second = png(noise({ 20, 20 }, 7));
    ArchiveArray items;
    for (const QByteArray* bytes : { &first, &first, &second, &first })
        items.push_back(
            ArchiveValue::fromObject(std::make_shared<const RawPicture>(*bytes, "NSImage")));
    KeyedArchiver old;
    old.encodeArray("uses", items);
    const QByteArray file = old.finishEncoding();
    ArchiveLimits limits;
    limits.maxImagePixels = 1000;
    const KeyedUnarchiver coder(file, { "CIImage" }, limits);
    const std::vector<Image> back = picturesIn(coder);
    ASSERT_EQ(back.size(), 4u);
    for (const Image& use : back)
        ASSERT_FALSE(use.isNull());
    EXPECT_EQ(back[0], back[1]);
    EXPECT_EQ(back[0], back[3]);
    EXPECT_NE(back[0], back[2]);
    EXPECT_EQ(coder.picturePixelBudget(), 200);

    const qsizetype resaved = archiveOf(back).size();
    EXPECT_LT(resaved, file.size() - first.size() - first.size() + 64);
}

namespace {

// A hand-made archive, for what our writer never writes.
QByteArray handMade(const std::function<void(QCborStreamWriter&)>& entries)
{
    QByteArray data;
    QCborStreamWriter w(&data);
    w.append(QCborTag(fmt::kTagSelfDescribe));
    w.append(QCborTag(fmt::kTagArchive));
    w.startMap();
    entries(w);
    w.endMap();
    return data;
}

void object(QCborStreamWriter& w, const QString& className,
    const std::function<void(QCborStreamWriter&)>& fields)
{
    w.append(QCborTag(fmt::kTagObject));
    w.startArray(2);
    w.append(className);
    w.startMap();
    fields(w);
    w.endMap();
    w.endArray();
}

const QByteArray& smallPng()
{
    static const QByteArray bytes = png(noise({ 8, 8 }, 9));
    return bytes;
}

void sharedPicture(QCborStreamWriter& w)
{
    w.append(QCborTag(fmt::kTagShared));
    object(w, "NSImage", [](QCborStreamWriter& f) {
        f.append("png");
        f.append(smallPng());
    });
}

void reference(QCborStreamWriter& w, quint64 number)
{
    w.append(QCborTag(fmt::kTagReference));
    w.append(number);
}

struct BadReferenceRow {
    const char* name;
    std::function<void(QCborStreamWriter&)> entries;
    bool aIsPicture;
    bool bIsPicture;
};

} // namespace

TEST(SharedPictures, ReferencesThatMakeNoSenseReadAsAbsent)
{
    const BadReferenceRow rows[] = {
        { "a reference back to a picture",
            [](QCborStreamWriter& w) {
                w.append("a");
                sharedPicture(w);
                w.append("b");
                reference(w, 0);
            },
            true, true },
        { "a reference to nothing",
            [](QCborStreamWriter& w) {
                w.append("a");
                reference(w, 3);
                w.append("b");
                reference(w, 0);
            },
            false, false },
        { "a reference ahead of its picture",
            [](QCborStreamWriter& w) {
                w.append("a");
                reference(w, 0);
                w.append("b");
                sharedPicture(w);
            },
            false, true },
        { "a picture whose bytes refer to itself",
            [](QCborStreamWriter& w) {
                w.append("a");
                w.append(QCborTag(fmt::kTagShared));
                object(w, "NSImage", [](QCborStreamWriter& f) {
                    f.append("png");
                    reference(f, 0);
                });
                w.append("b");
                reference(w, 0);
            },
            false, false },
        { "a shared object that is no picture",
            [](QCborStreamWriter& w) {
                w.append("a");
                w.append(QCborTag(fmt::kTagShared));
                object(w, "UNDODATA", [](QCborStreamWriter& f) {
                    f.append("type");
                    f.append(1);
                });
                w.append("b");
                reference(w, 0);
            },
            false, false },
        { "a reference that is no number",
            [](QCborStreamWriter& w) {
                w.append("a");
                sharedPicture(w);
                w.append("b");
                w.append(QCborTag(fmt::kTagReference));
                w.append("zero");
            },
            true, false },
        // Read through the reference, the picture's deep field would lie past the nesting
        // bound: reading it would recurse as deep as the chain of references goes.
        { "a reference deeper than the bound",
            [](QCborStreamWriter& w) {
                w.append("a");
                w.append(QCborTag(fmt::kTagShared));
                object(w, "NSImage", [](QCborStreamWriter& f) {
                    f.append("png");
                    f.append(smallPng());
                    f.append("deep");
                    for (int i = 0; i < 50; ++i)
                        f.startArray(1);
                    f.append(0);
                    for (int i = 0; i < 50; ++i)
                        f.endArray();
                });
                w.append("b");
                for (int i = 0; i < 20; ++i)
                    w.startArray(1);
                reference(w, 0);
                for (int i = 0; i < 20; ++i)
                    w.endArray();
            },
            true, false },
    };
    for (const BadReferenceRow& row : rows) {
        SCOPED_TRACE(row.name);
        const KeyedUnarchiver coder(handMade(row.entries), { "NSImage", "UNDODATA" });
        ASSERT_TRUE(coder.isValid()) << coder.error().toStdString();
        const std::optional<Image> a = coder.decodeObject<Image>("a");
        EXPECT_EQ(a.has_value(), row.aIsPicture);
        ArchiveValue b = coder.decodeValue("b");
        while (b.kind() == ArchiveValue::Kind::Array && !b.toArray().empty())
            b = b.toArray().front();
        EXPECT_EQ(b.objectValue<Image>().has_value(), row.bIsPicture);
        if (!row.bIsPicture) {
            EXPECT_TRUE(b.isNull()) << "not even an object of another class";
        }
        if (row.aIsPicture && row.bIsPicture) {
            EXPECT_EQ(*a, *b.objectValue<Image>());
        }
        // Of another kind than its reader asks for, a picture reads as absent.
        EXPECT_FALSE(coder.decodeObject<Color>("b").has_value());
    }
}

// A file of a few bytes a use cannot make a reader decode, or hold, a picture more than once.
TEST(SharedPictures, ManyReferencesDecodeThePictureOnce)
{
    constexpr int kUses = 200000;
    const QByteArray file = handMade([](QCborStreamWriter& w) {
        w.append("a");
        sharedPicture(w);
        w.append("uses");
        w.startArray(kUses);
        for (int i = 0; i < kUses; ++i)
            reference(w, 0);
        w.endArray();
    });
    EXPECT_LT(file.size(), 8 * kUses);
    const KeyedUnarchiver one(file, { "NSImage" });
    ASSERT_TRUE(one.decodeObject<Image>("a").has_value());
    const KeyedUnarchiver coder(file, { "NSImage" });
    const Image first = coder.decodeObject<Image>("a").value_or(Image());
    ASSERT_FALSE(first.isNull());
    const std::vector<Image> back = picturesIn(coder);
    ASSERT_EQ(back.size(), size_t(kUses));
    for (const Image& use : back)
        ASSERT_EQ(use, first);
    EXPECT_EQ(coder.picturePixelBudget(), one.picturePixelBudget()) << "decoded once";
}

// Every picture is judged by its pixel count before any is encoded: a document over the budget
// is refused without seconds of encoding first.
TEST(SharedPictures, RefusedByPixelCountsBeforeAnyIsEncoded)
{
    ArchiveLimits limits;
    limits.maxImagePixels = 1000;
    std::atomic_int fitsAsked = 0, overAsked = 0;
    const Image fits = counting({ 20, 20 }, fitsAsked);
    const Image over = counting({ 40, 40 }, overAsked);
    ArchiveLimit exceeded = ArchiveLimit::None;
    EXPECT_TRUE(archiveOf({ fits, fits, over }, limits, &exceeded).isEmpty());
    EXPECT_EQ(exceeded, ArchiveLimit::PicturePixels);
    EXPECT_EQ(fitsAsked.load(), 0) << "a picture was encoded for a refused archive";
    EXPECT_EQ(overAsked.load(), 0);

    EXPECT_FALSE(archiveOf({ fits, fits }, limits).isEmpty());
    EXPECT_EQ(fitsAsked.load(), 1) << "once, for both uses";
}

// Once encoded or read, a picture keeps its bytes: saved again it is written as it was, not
// encoded again (a large document saved after a slider moved wrote every picture anew).
TEST(SharedPictures, APictureIsEncodedOnceInItsLife)
{
    const Image picture = Image::fromQImage(noise({ 30, 20 }, 11));
    const QByteArray first = archiveOf({ picture });
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(picture.keptEncoding("png").isEmpty());
    // The bytes kept are what is written: saved again, the kept bytes go in as they are.
    const QByteArray stand = png(noise({ 30, 20 }, 12));
    picture.keepEncoding("png", stand);
    const Image resaved = KeyedUnarchiver(archiveOf({ picture }), { "NSImage" })
                              .decodeArray("uses")
                              ->at(0)
                              .objectValue<Image>()
                              .value_or(Image());
    EXPECT_EQ(resaved.toQImage(), noise({ 30, 20 }, 12));

    // A picture read keeps the bytes it was read from, and writes the same file again.
    const KeyedUnarchiver coder(first, { "NSImage" });
    const std::vector<Image> back = picturesIn(coder);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_FALSE(back[0].keptEncoding("png").isEmpty());
    EXPECT_EQ(archiveOf(back), first);
}
