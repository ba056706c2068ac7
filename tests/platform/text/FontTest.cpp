#include "platform/text/FontManager.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace platform;

TEST(Font, HelveticaResolvesToNimbusSans)
{
    struct Row {
        const char* name;
        const char* expectedPostScriptName;
    };
    const Row rows[] = {
        { "Helvetica", "NimbusSans-Regular" },
        { "Helvetica Neue", "NimbusSans-Regular" },
        { "Helvetica-Bold", "NimbusSans-Bold" },
        { "HelveticaNeue-Italic", "NimbusSans-Italic" },
        { "Helvetica-BoldOblique", "NimbusSans-BoldItalic" },
        { "NimbusSans-Bold", "NimbusSans-Bold" },
    };
    for (const Row& row : rows) {
        const auto font = Font::withName(QString::fromLatin1(row.name), 100);
        ASSERT_TRUE(font.has_value()) << row.name;
        EXPECT_EQ(font->fontName(), QString::fromLatin1(row.expectedPostScriptName)) << row.name;
        EXPECT_EQ(font->familyName(), QStringLiteral("Nimbus Sans")) << row.name;
    }
    EXPECT_FALSE(Font::withName(QStringLiteral("No Such Font 12345"), 12).has_value());
}

TEST(Font, LaysOutAtItsPointSizeInPixels)
{
    const Font font = *Font::withName(QStringLiteral("Helvetica"), 100);
    EXPECT_NEAR(font.rawFont().pixelSize(), 100.0, 1e-9);
    // "M" is 833 units wide in a 1000-unit em in this family.
    EXPECT_NEAR(font.advanceOf(QStringLiteral("M")), 83.3, 0.2);
    EXPECT_NEAR(font.ascender() - font.descender(), 100 * 1.2, 25);
}

TEST(Font, MetricsComeFromTheFontTables)
{
    for (const char* name : { "Helvetica", "Helvetica-Bold", "DejaVuSans" }) {
        const auto font = Font::withName(QString::fromLatin1(name), 50);
        ASSERT_TRUE(font.has_value()) << name;
        EXPECT_LT(font->underlinePosition(), 0) << name;
        EXPECT_GT(font->underlinePosition(), -15) << name;
        EXPECT_GT(font->underlineThickness(), 0) << name;
        EXPECT_LT(font->underlineThickness(), 10) << name;
        const Rect box = font->boundingRect();
        EXPECT_LT(box.minY(), 0) << name;
        EXPECT_GT(box.maxY(), font->ascender() * 0.8) << name;
        EXPECT_GT(box.width(), 25) << name;
    }
}

TEST(Font, TraitConversionsNeverSynthesiseAFace)
{
    FontManager& fm = FontManager::shared();
    const Font regular = *Font::withName(QStringLiteral("Helvetica"), 20);
    const Font bold = fm.convertFontToHaveTrait(regular, BoldFontMask);
    EXPECT_EQ(bold.fontName(), QStringLiteral("NimbusSans-Bold"));
    EXPECT_TRUE(bold.isBold());
    EXPECT_EQ(bold.pointSize(), 20);
    EXPECT_EQ(fm.convertFontToNotHaveTrait(bold, BoldFontMask), regular);
    const Font boldItalic = fm.convertFontToHaveTrait(bold, ItalicFontMask);
    EXPECT_EQ(boldItalic.fontName(), QStringLiteral("NimbusSans-BoldItalic"));

    // A family with one face keeps it whatever is asked.
    const QStringList families = fm.availableFontFamilies();
    const auto single = std::find_if(families.begin(), families.end(), [&](const QString& family) {
        const auto faces = fm.availableMembersOfFontFamily(family);
        return faces.size() == 1 && !faces[0].bold;
    });
    ASSERT_NE(single, families.end()) << "a family with a single face is installed";
    const Font only = *fm.fontWithFamily(*single, 0, 5, 30);
    EXPECT_EQ(fm.convertFontToHaveTrait(only, BoldFontMask), only);
    EXPECT_EQ(fm.convertWeight(only, true), only);
    EXPECT_EQ(fm.convertFontToSize(only, 40).pointSize(), 40);
}

TEST(Font, FamiliesAndFaces)
{
    FontManager& fm = FontManager::shared();
    QStringList families = fm.availableFontFamilies();
    EXPECT_TRUE(families.contains(QStringLiteral("Nimbus Sans")));
    EXPECT_EQ(families.removeDuplicates(), 0);
    const auto faces = fm.availableMembersOfFontFamily(QStringLiteral("Helvetica"));
    ASSERT_GE(faces.size(), 4u);
    EXPECT_EQ(faces.front().weight, 5);
    EXPECT_FALSE(faces.front().italic);
    for (size_t i = 1; i < faces.size(); ++i)
        EXPECT_LE(faces[i - 1].openTypeWeight, faces[i].openTypeWeight);
}

TEST(Font, WeightScaleTable)
{
    struct Row {
        int model;
        int openType;
    };
    // Model weights that name a distinct weight round-trip through the OpenType scale.
    const Row rows[] = { { 1, 100 }, { 2, 200 }, { 3, 300 }, { 4, 350 }, { 5, 400 }, { 6, 500 },
        { 8, 600 }, { 9, 700 }, { 10, 800 }, { 11, 850 }, { 12, 900 }, { 13, 950 }, { 14, 1000 } };
    for (const Row& row : rows) {
        EXPECT_EQ(FontManager::openTypeWeightFromModelWeight(row.model), row.openType) << row.model;
        EXPECT_EQ(FontManager::modelWeightFromOpenTypeWeight(row.openType), row.model) << row.model;
    }
    EXPECT_EQ(FontManager::modelWeightFromOpenTypeWeight(600), 8) << "demi and semibold share 600";
    EXPECT_EQ(FontManager::openTypeWeightFromModelWeight(-3), 100) << "out of range is clamped";
    EXPECT_EQ(FontManager::openTypeWeightFromModelWeight(99), 1000);
    EXPECT_EQ(Font::withName(QStringLiteral("Helvetica-Bold"), 12)->weight(), 9);
}

TEST(Font, AFaceWithoutTablesKeepsQtsMetrics)
{
    // The Type 1 copy of Nimbus Sans has no 'hhea': its metrics are Qt's, where the OpenType
    // copy's come from its tables.
    const QString type1 = QStringLiteral("/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1");
    if (!QFile::exists(type1))
        GTEST_SKIP() << "no Type 1 copy of Nimbus Sans installed";
    const Font openType = *Font::withName(QStringLiteral("NimbusSans-Regular"), 100);
    FontFace face = openType.face();
    face.filePath = type1;
    face.postScriptName += QStringLiteral("-Type1"); // a face of its own in the metrics cache
    const Font font(face, 100);
    ASSERT_TRUE(font.rawFont().isValid());
    ASSERT_TRUE(font.rawFont().fontTable("hhea").isEmpty());
    EXPECT_NEAR(font.ascender(), font.rawFont().ascent(), 1e-9);
    EXPECT_NEAR(font.descender(), -font.rawFont().descent(), 1e-9);
    EXPECT_GT(font.lineHeight(), openType.lineHeight() + 10) << "Qt's are taller";
    EXPECT_NEAR(openType.lineHeight(), 120.0, 1e-9);
}
