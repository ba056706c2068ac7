// Class-tagged objects: client classes through the registry, the allow-list (also for nested
// objects), our own value types and the whole-archive calls.
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"

#include <QBuffer>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// A client class: a name, a colour, a list of points and an optional child of its own kind.
class Shape final : public KeyedCoding {
public:
    QString name;
    std::optional<Color> color;
    std::vector<Point> points;
    std::shared_ptr<const Shape> child;
    bool secure = true;

    QString archiveClassName() const override { return "TestShape"; }
    bool supportsSecureCoding() const override { return secure; }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeString("name", name);
        coder.encodeObject("color", color);
        ArchiveArray list;
        for (const Point& p : points)
            list.push_back(ArchiveValue::fromValue(p));
        coder.encodeArray("points", list);
        coder.encodeObject("child", child);
    }

    static std::shared_ptr<const KeyedCoding> decode(const KeyedUnarchiver& coder)
    {
        auto shape = std::make_shared<Shape>();
        shape->name = coder.decodeString("name");
        shape->color = coder.decodeObject<Color>("color");
        if (const auto list = coder.decodeArray("points")) {
            for (const ArchiveValue& v : *list) {
                if (const auto p = v.objectValue<Point>())
                    shape->points.push_back(*p);
            }
        }
        shape->child = coder.decodeObjectPointer<Shape>("child");
        return shape;
    }
};

// A class whose objects are only written: no decoder is ever registered for it.
class Unregistered final : public KeyedCoding {
public:
    QString archiveClassName() const override { return "NeverRegistered"; }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeInt32("v", 1); }
};

class ArchiveObjects : public ::testing::Test {
protected:
    static void SetUpTestSuite() { KeyedUnarchiver::registerClass("TestShape", Shape::decode); }

    static std::shared_ptr<Shape> family()
    {
        auto child = std::make_shared<Shape>();
        child->name = "child";
        child->color = Color(0.1, 0.2, 0.3, 0.4);
        auto parent = std::make_shared<Shape>();
        parent->name = "parent";
        parent->color = Color(1.0 / 3.0, -0.25, 1.5, 1.0);
        parent->points = { { 0, 0 }, { 0.5, 0.0001 }, { 1, 0 } };
        parent->child = child;
        return parent;
    }
};

QImage testPicture()
{
    QImage image(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 30, y * 50, 200, 255));
    }
    image.setPixel(3, 2, qRgba(10, 20, 30, 0)); // transparent
    image.setPixel(4, 2, qRgba(255, 128, 0, 128)); // half covered
    return image;
}

} // namespace

TEST_F(ArchiveObjects, NestedObjectsRoundTripWithTheSameAllowList)
{
    const auto shape = family();
    const QByteArray data = KeyedArchiver::archivedData(*shape, true);
    ASSERT_FALSE(data.isEmpty());

    const struct {
        const char* name;
        QStringList allowed;
        bool colors, points;
    } rows[] = {
        { "everything allowed", { "TestShape", "NSColor", "NSValue" }, true, true },
        { "colours refused at every depth", { "TestShape", "NSValue" }, false, true },
        { "points refused", { "TestShape", "NSColor" }, true, false },
    };
    for (const auto& row : rows) {
        const auto result = KeyedUnarchiver::unarchive(data, row.allowed);
        ASSERT_TRUE(result.ok()) << row.name << ": " << result.error.toStdString();
        const auto back = result.root.objectPointer<Shape>();
        ASSERT_TRUE(back) << row.name;
        EXPECT_EQ(back->name, "parent") << row.name;
        ASSERT_TRUE(back->child) << row.name;
        EXPECT_EQ(back->child->name, "child") << row.name;
        EXPECT_EQ(back->color.has_value(), row.colors) << row.name;
        EXPECT_EQ(back->child->color.has_value(), row.colors) << row.name;
        if (row.colors) {
            EXPECT_EQ(*back->color, Color(1.0 / 3.0, -0.25, 1.5, 1.0)) << "exact doubles";
            EXPECT_EQ(*back->child->color, Color(0.1, 0.2, 0.3, 0.4));
        }
        EXPECT_EQ(back->points.size(), row.points ? 3u : 0u) << row.name;
        if (row.points) {
            EXPECT_EQ(back->points[1], Point(0.5, 0.0001));
        }
    }
}

TEST_F(ArchiveObjects, DisallowedOrUnknownRootIsAnError)
{
    const QByteArray data = KeyedArchiver::archivedData(*family(), true);
    const auto refused = KeyedUnarchiver::unarchive(data, { "NSColor" });
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.root.isNull());

    const QByteArray unknown = KeyedArchiver::archivedData(Unregistered(), true);
    const auto noDecoder = KeyedUnarchiver::unarchive(unknown, { "NeverRegistered" });
    EXPECT_FALSE(noDecoder.ok());

    const auto notAnArchive = KeyedUnarchiver::unarchive("plain text", { "TestShape" });
    EXPECT_FALSE(notAnArchive.ok());
}

TEST_F(ArchiveObjects, PerReadAllowListAndImageAliases)
{
    KeyedArchiver a;
    a.encodeObject("shape", family());
    a.encodeObject("picture", Image::fromQImage(testPicture()));
    const QByteArray data = a.finishEncoding();
    ASSERT_FALSE(data.isEmpty());

    // The top level allows nothing; single reads name their own classes.
    const KeyedUnarchiver u(data, {});
    EXPECT_FALSE(u.decodeObject<Shape>("shape"));
    EXPECT_FALSE(u.decodeObject<Image>("picture"));
    const auto shape = u.decodeValue("shape", { "TestShape", "NSColor" }).objectPointer<Shape>();
    ASSERT_TRUE(shape);
    EXPECT_TRUE(shape->color);
    EXPECT_TRUE(shape->points.empty()) << "NSValue was not in this read's list";
    // The swap is undone afterwards.
    EXPECT_FALSE(u.decodeObject<Shape>("shape"));

    // A picture written as "NSImage" passes a list naming only "CIImage", as the document
    // reader's does.
    EXPECT_TRUE(u.decodeValue("picture", { "CIImage" }).objectValue<Image>());
}

TEST_F(ArchiveObjects, SecureCodingRefusesObjectsThatDoNotSupportIt)
{
    auto shape = family();
    auto insecureChild = std::make_shared<Shape>();
    insecureChild->secure = false;
    shape->child = insecureChild;

    QString error;
    EXPECT_TRUE(KeyedArchiver::archivedData(*shape, true, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(KeyedArchiver::archivedData(*shape, false, &error).isEmpty());
    EXPECT_TRUE(error.isEmpty());
}

TEST_F(ArchiveObjects, CoderMisuseFailsTheArchive)
{
    // Writing through the outer coder while an object encodes itself would corrupt the map.
    class Rogue final : public KeyedCoding {
    public:
        KeyedArchiver* outer = nullptr;
        QString archiveClassName() const override { return "Rogue"; }
        void encodeWithCoder(KeyedArchiver&) const override { outer->encodeInt32("x", 1); }
    };
    KeyedArchiver a;
    Rogue rogue;
    rogue.outer = &a;
    a.encodeObject("rogue", rogue);
    EXPECT_TRUE(a.finishEncoding().isEmpty());
    EXPECT_TRUE(a.hasError());
}

TEST_F(ArchiveObjects, ColourGradientAndGeometryValues)
{
    const Gradient threeStops(
        { { Color(1, 0, 0, 1), 0.0 }, { Color(0, 1, 0, 0.5), 0.3 }, { Color(0, 0, 1, 1), 1.0 } });
    ArchiveArray values { ArchiveValue::fromValue(Size(3.5, -2)),
        ArchiveValue::fromValue(Rect(1, 2, 3, 4)), ArchiveValue::fromValue(Point(-1e-300, 7)) };
    KeyedArchiver a;
    a.encodeObject("gradient", threeStops);
    a.encodeObject("black", Color::black());
    a.encodeArray("values", values);
    const KeyedUnarchiver u(a.finishEncoding(), { "NSGradient", "NSColor", "NSValue" });

    EXPECT_EQ(u.decodeObject<Gradient>("gradient"), threeStops);
    EXPECT_EQ(u.decodeObject<Color>("black"), Color::black());
    const auto back = u.decodeArray("values");
    ASSERT_TRUE(back && back->size() == 3);
    EXPECT_EQ((*back)[0].objectValue<Size>(), Size(3.5, -2));
    EXPECT_EQ((*back)[1].objectValue<Rect>(), Rect(1, 2, 3, 4));
    EXPECT_EQ((*back)[2].objectValue<Point>(), Point(-1e-300, 7));
    EXPECT_EQ((*back)[1].className(), "NSValue");
}

namespace {

// Writes an "NSGradient" by hand, so that stop lists a Gradient would never hold can be read.
class RawGradient final : public KeyedCoding {
public:
    ArchiveArray stops;
    QString archiveClassName() const override { return "NSGradient"; }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeArray("stops", stops); }
};

ArchiveValue stop(double location, double red = 0.5)
{
    return ArchiveValue::fromArray(
        { ArchiveValue::fromDouble(red), ArchiveValue::fromDouble(0), ArchiveValue::fromDouble(0),
            ArchiveValue::fromDouble(1), ArchiveValue::fromDouble(location) });
}

} // namespace

TEST_F(ArchiveObjects, GradientStopsAreValidatedAndBounded)
{
    ArchiveArray many;
    for (int i = 0; i < 1500; ++i)
        many.push_back(stop(i / 1499.0, i));
    const struct {
        const char* name;
        ArchiveArray stops;
        int expectedStops; // -1: absent
        double lastRed = 0.5;
    } rows[] = {
        { "1500 stops keep the first 1000", many, 1000, 999.0 },
        { "two stops", { stop(0), stop(1) }, 2 },
        { "one stop is no gradient", { stop(0) }, -1 },
        { "no stops", {}, -1 },
        { "NaN location", { stop(0), stop(std::nan("")) }, -1 },
        { "infinite component", { stop(0), stop(1, INFINITY) }, -1 },
        { "short stop", { stop(0), ArchiveValue::fromArray({ ArchiveValue::fromDouble(1) }) }, -1 },
        { "stop of the wrong kind", { stop(0), ArchiveValue::fromInt32(1) }, -1 },
    };
    for (const auto& row : rows) {
        RawGradient raw;
        raw.stops = row.stops;
        const auto result
            = KeyedUnarchiver::unarchive(KeyedArchiver::archivedData(raw, true), { "NSGradient" });
        const auto gradient = result.root.objectValue<Gradient>();
        if (row.expectedStops < 0) {
            EXPECT_FALSE(gradient) << row.name;
            continue;
        }
        ASSERT_TRUE(gradient) << row.name;
        EXPECT_EQ(gradient->numberOfColorStops(), row.expectedStops) << row.name;
        EXPECT_EQ(gradient->stop(row.expectedStops - 1).color.red, row.lastRed)
            << row.name << ": the first stops are the ones kept";
    }
}

TEST_F(ArchiveObjects, ImageRoundTripKeepsPixelsAndPointSize)
{
    const QImage source = testPicture();
    const Image image = Image::fromQImage(source, Size(14, 10));
    KeyedArchiver a;
    a.encodeObject("image", image);
    a.encodeObject("none", Image());
    const KeyedUnarchiver u(a.finishEncoding(), { "NSImage" });

    EXPECT_TRUE(u.decodeValue("none").isNull());
    const auto back = u.decodeObject<Image>("image");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), Size(14, 10));
    const QImage expected = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage got = back->toQImage();
    ASSERT_EQ(got.size(), expected.size());
    for (int y = 0; y < got.height(); ++y) {
        for (int x = 0; x < got.width(); ++x) {
            const QRgb e = expected.pixel(x, y), g = got.pixel(x, y);
            // Premultiplied pixels pass through PNG's straight alpha and back.
            EXPECT_LE(std::abs(qRed(e) - qRed(g)) + std::abs(qGreen(e) - qGreen(g))
                    + std::abs(qBlue(e) - qBlue(g)) + std::abs(qAlpha(e) - qAlpha(g)),
                3)
                << "pixel " << x << "," << y;
        }
    }
}

namespace {

class RawImage final : public KeyedCoding {
public:
    QByteArray png;
    QString archiveClassName() const override { return "CIImage"; }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeBytes("png", png); }
};

} // namespace

TEST_F(ArchiveObjects, UnreadableOrOversizedPicturesReadAsAbsent)
{
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        testPicture().save(&buffer, "PNG");
    }
    ArchiveLimits small;
    small.maxImageDimension = 6; // the picture is 7 wide
    ArchiveLimits fewPixels;
    fewPixels.maxImagePixels = 34; // the picture has 35
    const struct {
        const char* name;
        QByteArray bytes;
        ArchiveLimits limits;
        bool readable;
    } rows[] = {
        { "a PNG under the tag CIImage", png, {}, true },
        { "wider than the bound", png, small, false },
        { "more pixels than the bound", png, fewPixels, false },
        { "truncated PNG", png.left(png.size() / 2), {}, false },
        { "not a PNG", QByteArray("GIF89a not really"), {}, false },
        { "no bytes", QByteArray(), {}, false },
    };
    for (const auto& row : rows) {
        RawImage raw;
        raw.png = row.bytes;
        const auto result = KeyedUnarchiver::unarchive(
            KeyedArchiver::archivedData(raw, true), { "CIImage" }, row.limits);
        const auto image = result.root.objectValue<Image>();
        EXPECT_EQ(image.has_value(), row.readable) << row.name;
        if (image) {
            EXPECT_EQ(image->size(), Size(7, 5)) << "size in points defaults to pixels";
        }
    }
}

TEST_F(ArchiveObjects, PlainArraysOfDataAsRoot)
{
    const ArchiveArray items { ArchiveValue::fromBytes("one"), ArchiveValue::fromBytes("two") };
    const QByteArray data = KeyedArchiver::archivedData(ArchiveValue::fromArray(items), false);
    const auto result = KeyedUnarchiver::unarchive(data, { "NSMutableArray", "NSData" });
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.root.toArray().size(), 2u);
    EXPECT_EQ(result.root.toArray()[1].toBytes(), "two");
}
