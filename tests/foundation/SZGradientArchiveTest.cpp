#include "foundation/SZGradient.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace platform;

namespace {

const QStringList kDocumentClasses
    = { "UNDODATA", "NSAttributedString", "NSDictionary", "SZGradient", "NSColor", "NSGradient",
          "NSMutableParagraphStyle", "NSFont", "NSMutableArray", "NSValue", "CIImage" };

std::optional<SZGradient> roundTrip(
    const SZGradient& g, const QStringList& allowed = kDocumentClasses)
{
    KeyedArchiver archiver;
    archiver.encodeObject(QStringLiteral("fill"), g);
    const QByteArray data = archiver.finishEncoding();
    EXPECT_FALSE(data.isEmpty()) << archiver.error().toStdString();
    KeyedUnarchiver reader(data, allowed);
    return reader.decodeObject<SZGradient>(QStringLiteral("fill"));
}

Image picture()
{
    QImage img(3, 2, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(200, 10, 40));
    return Image::fromQImage(img);
}

} // namespace

TEST(SZGradientArchive, AngleNarrowsThroughFloat)
{
    struct Row {
        const char* name;
        double angle;
        bool equalAfter;
    } rows[] = {
        { "37.25 is exact in float", 37.25, true },
        { "0.1 comes back as the nearest float", 0.1, false },
    };
    for (const auto& row : rows) {
        SZGradient g;
        g.angle = row.angle;
        const auto back = roundTrip(g);
        ASSERT_TRUE(back) << row.name;
        EXPECT_EQ(back->angle, double(float(row.angle))) << row.name;
        EXPECT_EQ(back->isEqualTo(g), row.equalAfter) << row.name;
    }
}

TEST(SZGradientArchive, EveryFieldSurvives)
{
    SZGradient g;
    g.gradientType = SZGradient::AdvancedRadialFill;
    g.color = Color(0.25, 0.5, 0.75, 0.5);
    g.gradient = Gradient(
        { { Color(1, 0, 0, 1), 0.0 }, { Color(0, 1, 0, 0.5), 0.3 }, { Color(0, 0, 1, 1), 1.0 } });
    g.drawType = 1;
    g.imageScaleType = SZGradient::ScaleToFit;
    g.opacity = 0.75f;
    g.angle = 45;
    const auto back = roundTrip(g);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->isEqualTo(g));
    EXPECT_TRUE(back->image.isNull()) << "no picture stays no picture";

    g.image = picture();
    const auto withPicture = roundTrip(g);
    ASSERT_TRUE(withPicture);
    ASSERT_FALSE(withPicture->image.isNull());
    EXPECT_EQ(withPicture->image.pixelSize(), QSize(3, 2));
    EXPECT_EQ(withPicture->image.toQImage().pixelColor(1, 1), QColor(200, 10, 40));
}

TEST(SZGradientArchive, MissingKeysAndForeignClasses)
{
    // An object with none of the keys: objects absent, numbers 0 (kind 0, opacity 0).
    struct Bare final : KeyedCoding {
        QString archiveClassName() const override { return QStringLiteral("SZGradient"); }
        void encodeWithCoder(KeyedArchiver& coder) const override
        {
            coder.encodeInt32(QStringLiteral("drawtype"), 1);
            coder.encodeString(QStringLiteral("angle"), QStringLiteral("not a number"));
        }
    };
    KeyedArchiver archiver;
    archiver.encodeObject(QStringLiteral("fill"), Bare());
    const QByteArray data = archiver.finishEncoding();
    const auto g
        = KeyedUnarchiver(data, kDocumentClasses).decodeObject<SZGradient>(QStringLiteral("fill"));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->drawType, 1);
    EXPECT_EQ(g->gradientType, 0);
    EXPECT_EQ(g->angle, 0.0) << "a value of the wrong kind reads 0";
    EXPECT_EQ(g->opacity, 0.0f);
    EXPECT_FALSE(g->color);
    EXPECT_FALSE(g->gradient);

    // Without "SZGradient" in the allow-list the fill reads as absent.
    EXPECT_FALSE(roundTrip(SZGradient(), { "NSColor", "NSGradient" }));
    // Without "NSColor" the fill reads, but its colour is absent.
    const auto noColour = roundTrip(SZGradient(), { "SZGradient", "NSGradient" });
    ASSERT_TRUE(noColour);
    EXPECT_FALSE(noColour->color);
    EXPECT_TRUE(noColour->gradient);
}

TEST(SZGradientArchive, UndrawableNumbersBecomeSafe)
{
    SZGradient g;
    g.angle = INFINITY;
    g.opacity = NAN;
    const auto back = roundTrip(g);
    ASSERT_TRUE(back);
    EXPECT_TRUE(std::isfinite(back->angle));
    EXPECT_TRUE(std::isfinite(back->opacity));
}

#include "platform/text/AttributedString.h"
#include "platform/text/TextValueCoding.h"

using platform::AttributedString;
using platform::registerTextArchiveClasses;

TEST(SZGradientArchive, TextRunsKeepTheirFillByValue)
{
    registerTextArchiveClasses();
    SZGradient fill;
    fill.gradientType = SZGradient::LinearFill;
    fill.angle = 30;
    fill.drawType = 1;
    AttributedString text(QStringLiteral("Text"));
    text.addAttribute(
        QString::fromLatin1(GradientAttributeName), SZGradient::attributeValue(fill), { 0, 2 });

    // Equal fills set separately compare equal, so the runs merge back into one.
    AttributedString same(QStringLiteral("Text"));
    same.addAttribute(QString::fromLatin1(GradientAttributeName),
        SZGradient::attributeValue(SZGradient(fill)), { 0, 2 });
    EXPECT_TRUE(text == same);

    KeyedArchiver archiver;
    archiver.encodeObject(QStringLiteral("text"), text);
    const QByteArray data = archiver.finishEncoding();
    const auto back = KeyedUnarchiver(data, kDocumentClasses)
                          .decodeObject<AttributedString>(QStringLiteral("text"));
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == text);
    const SZGradient* stored = SZGradient::fromAttribute(
        back->attributeAt(QString::fromLatin1(GradientAttributeName), 1));
    ASSERT_NE(stored, nullptr);
    EXPECT_TRUE(stored->isEqualTo(fill));
}
