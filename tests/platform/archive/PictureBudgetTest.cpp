// Pictures inside archives: one pixel budget for every picture of one read, pictures refused by
// their header, and reads that do not depend on what was decoded before them.
#include "StoredPictures.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/imaging/PictureLoader.h"

#include <gtest/gtest.h>

using namespace platform;
using archivetest::png;
using archivetest::RawPicture;

namespace {

// One bit a pixel, all zero: a few kilobytes of PNG, however many pixels its header claims.
QByteArray bigPng(int width, int height)
{
    QImage image(width, height, QImage::Format_Mono);
    image.fill(0);
    return png(image);
}

// An archive whose key "pictures" holds the pictures, in order.
QByteArray record(const std::vector<QByteArray>& pictures)
{
    ArchiveArray items;
    for (const QByteArray& bytes : pictures)
        items.push_back(ArchiveValue::fromObject(std::make_shared<const RawPicture>(bytes)));
    KeyedArchiver archiver;
    archiver.encodeArray("pictures", items);
    return archiver.finishEncoding();
}

// Which pictures of the record read back.
std::vector<bool> readable(const KeyedUnarchiver& coder)
{
    std::vector<bool> result;
    for (const ArchiveValue& item : coder.decodeArray("pictures").value_or(ArchiveArray()))
        result.push_back(item.objectValue<Image>().has_value());
    return result;
}

} // namespace

TEST(ArchivePictures, OneBudgetForEveryPictureOfARead)
{
    // Three different pictures: the same bytes are one picture, counted once.
    std::vector<QByteArray> pictures;
    for (const QRgb colour :
        { qRgba(10, 200, 30, 255), qRgba(200, 10, 30, 255), qRgba(0, 0, 9, 255) }) {
        QImage small(20, 20, QImage::Format_ARGB32);
        small.fill(colour);
        pictures.push_back(png(small));
    }
    ArchiveLimits limits;
    limits.maxImagePixels = 1000; // two of the 400-pixel pictures, not three

    const KeyedUnarchiver coder(record(pictures), { "CIImage" }, limits);
    EXPECT_EQ(readable(coder), std::vector<bool>({ true, true, false }));
    EXPECT_EQ(coder.picturePixelBudget(), 200);
    EXPECT_EQ(readable(KeyedUnarchiver(record(pictures), { "CIImage" }, limits)),
        std::vector<bool>({ true, true, false }))
        << "each read has a budget of its own";
}

// Pictures over the budget are refused by their header before anything is decoded: these
// records once took seconds and gigabytes to read.
TEST(ArchivePictures, PicturesOverTheBudgetAreRefusedByTheirHeader)
{
    const QByteArray over = bigPng(32768, 8192); // 268 million pixels
    const QByteArray wide = bigPng(40000, 8); // within the budget, over the longest side
    const struct {
        const char* name;
        std::vector<QByteArray> pictures;
    } rows[] = {
        { "one picture over the budget", { over } },
        { "five pictures over the budget", { over, over, over, over, over } },
        { "a picture too wide", { wide } },
    };
    for (const auto& row : rows) {
        const KeyedUnarchiver coder(record(row.pictures), { "CIImage" });
        EXPECT_EQ(readable(coder), std::vector<bool>(row.pictures.size(), false)) << row.name;
        EXPECT_EQ(coder.picturePixelBudget(), PictureLoader::kMaxPixels)
            << row.name << ": nothing was decoded";
    }
}

// A picture that needs more memory than Qt's own default allocation limit reads the same
// whether or not a picture was loaded before in this process (run alone, this is the first
// picture the process decodes).
TEST(ArchivePictures, AReadDoesNotDependOnWhatWasLoadedBefore)
{
    const QByteArray data = record({ bigPng(6000, 6000) }); // 144 MB once decoded
    const auto readOnce = [&] {
        const auto picture = KeyedUnarchiver(data, { "CIImage" })
                                 .decodeArray("pictures")
                                 .value_or(ArchiveArray())
                                 .at(0)
                                 .objectValue<Image>();
        return picture ? picture->pixelSize() : QSize();
    };
    const QSize first = readOnce();
    QImage other(4, 4, QImage::Format_RGB32);
    other.fill(Qt::white);
    ASSERT_TRUE(PictureLoader::load(png(other)).ok());
    EXPECT_EQ(first, QSize(6000, 6000));
    EXPECT_EQ(readOnce(), first);
}
