// Characters a run's face lacks are set in a face that has them: every character of every
// installed script shows a glyph from a face that has it, in upright and slanted runs alike.
#include "platform/text/FontFallback.h"

#include "platform/text/TextAttributeNames.h"
#include "platform/text/TextLayout.h"

#include <QFontDatabase>
#include <gtest/gtest.h>

using namespace platform;
namespace names = platform::TextAttributeNames;

namespace {

struct ScriptRow {
    const char* name;
    QFontDatabase::WritingSystem system;
    const char16_t* sample;
};

const ScriptRow kScripts[] = {
    { "Arabic", QFontDatabase::Arabic, u"\u0645\u0631\u062D\u0628\u0627 \u0628\u0643" },
    { "Hebrew", QFontDatabase::Hebrew, u"\u05E9\u05DC\u05D5\u05DD" },
    { "Greek", QFontDatabase::Greek, u"\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1" },
    { "Cyrillic", QFontDatabase::Cyrillic, u"\u041F\u0440\u0438\u0432\u0435\u0442" },
    { "CJK", QFontDatabase::SimplifiedChinese, u"\u4F60\u597D" },
};

const char* const kFaces[] = { "Helvetica", "Helvetica-Oblique", "Helvetica-Bold",
    "Helvetica-BoldOblique", "DejaVuSans-Oblique" };

} // namespace

TEST(FontFallback, EveryScriptShowsInEveryFace)
{
    int checked = 0;
    for (const ScriptRow& script : kScripts) {
        if (QFontDatabase::families(script.system).isEmpty())
            continue; // no installed face has the script: nothing to fall back to
        const QString sample = QString::fromUtf16(script.sample);
        for (const char* faceName : kFaces) {
            const auto font = Font::withName(QString::fromLatin1(faceName), 60);
            if (!font)
                continue;
            SCOPED_TRACE(std::string(script.name) + " in " + faceName);
            TextLayout layout(
                std::make_shared<TextContainer>(Size(2000, TextContainer::unlimited)));
            layout.setText(AttributedString(
                QStringLiteral("Wings\n") + sample, { { names::font, AttributeValue(*font) } }));
            std::vector<bool> shown(size_t(sample.size()), false);
            for (const LaidOutGlyph& glyph : layout.glyphs()) {
                const int i = glyph.characterIndex - 6;
                if (i < 0 || sample[i].isSpace())
                    continue;
                EXPECT_NE(glyph.glyph, 0u) << "character " << i << " has no glyph";
                EXPECT_TRUE(glyph.font.supportsCharacter(sample[i]))
                    << "character " << i << " set in " << glyph.font.familyName().toStdString()
                    << " " << glyph.font.styleName().toStdString();
                EXPECT_GT(TextLayout::glyphOutline(glyph).bounds().height(), 1.0);
                shown[size_t(i)] = true;
            }
            for (int i = 0; i < sample.size(); ++i)
                EXPECT_TRUE(shown[size_t(i)] || sample[i].isSpace()) << "character " << i;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0) << "no script to check";
}

TEST(FontFallback, SameFamilyFirstThenUprightOverNothing)
{
    const auto italic = Font::withName(QStringLiteral("DejaVuSans-Oblique"), 40);
    if (!italic || QFontDatabase::families(QFontDatabase::Arabic).isEmpty())
        GTEST_SKIP() << "needs DejaVu Sans and an Arabic face";
    const char32_t alef = 0x0627;
    ASSERT_FALSE(italic->rawFont().supportsCharacter(alef)) << "the oblique face lacks Arabic";
    const auto fallback = FontFallback::fallbackFor(*italic, alef);
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->familyName(), QStringLiteral("DejaVu Sans")) << "the same family first";
    EXPECT_TRUE(fallback->rawFont().supportsCharacter(alef));
    EXPECT_EQ(fallback->pointSize(), 40);
    EXPECT_FALSE(FontFallback::fallbackFor(*italic, U'a')) << "a covered character stays";

    // Words of one script are one piece, spaces between them included; Latin stays.
    const QString text = QStringLiteral("ab \u0645\u0631 \u0628\u0643 cd");
    const auto pieces = FontFallback::split(text, TextRange(0, int(text.size())), *italic);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].range, TextRange(0, 3));
    EXPECT_EQ(pieces[0].font, *italic);
    EXPECT_EQ(pieces[1].range, TextRange(3, 6));
    EXPECT_EQ(pieces[1].font, *fallback);
    EXPECT_EQ(pieces[2].font, *italic);
}
