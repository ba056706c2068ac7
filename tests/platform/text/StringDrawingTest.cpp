// One-line strings in rectangles: the controls' font names resolve, measuring agrees with
// drawing, and the alignment and the top edge place the ink where the controls expect it.
#include "platform/text/StringDrawing.h"

#include "platform/graphics/GraphicsContext.h"
#include "support/PixelProbe.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

// The ink's horizontal extent and top row (y-up) of a drawn image; left > right when empty.
struct Ink {
    int left = 1 << 20, right = -1, top = -1;
};
Ink inkOf(const QImage& img)
{
    Ink ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (testsupport::premultipliedAt(img, x, y).a > 64) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::max(ink.top, y);
            }
    return ink;
}

} // namespace

TEST(StringDrawing, ControlFontNamesResolveToInstalledFaces)
{
    for (const char* name :
        { "Helvetica Neue Medium", "HelveticaNeue-Bold", "Helvetica Neue", "No Such Face" }) {
        const Font font = controlFont(QString::fromLatin1(name), 14);
        EXPECT_FALSE(font.isNull()) << name;
        EXPECT_DOUBLE_EQ(font.pointSize(), 14) << name;
    }
    EXPECT_TRUE(boldSystemFont(11).isBold());
    EXPECT_FALSE(controlFont(QStringLiteral("Helvetica Neue Medium"), 14).isItalic());
}

TEST(StringDrawing, AlignmentPlacesTheMeasuredLine)
{
    const Font font = controlFont(QStringLiteral("Helvetica Neue"), 20);
    const QString text = QStringLiteral("HHHH");
    const double width = sizeOfString(text, font).width;
    ASSERT_GT(width, 20);
    const Rect box(10, 10, 180, 40);
    struct Row {
        const char* name;
        StringAlignment alignment;
        double expectedLeft;
    };
    const Row rows[] = {
        { "left", StringAlignment::Left, 10 },
        { "right", StringAlignment::Right, 190 - width },
        { "centre", StringAlignment::Center, 100 - width / 2 },
    };
    for (const Row& row : rows) {
        QImage img = testsupport::blankImage(200, 60);
        {
            GraphicsContext ctx(img);
            drawStringInRect(ctx, text, box, font, Color::black(), row.alignment);
        }
        const Ink ink = inkOf(img);
        // H has side bearings of a pixel or two; the ink spans nearly the advance.
        EXPECT_NEAR(ink.left, row.expectedLeft, 3) << row.name;
        EXPECT_NEAR(ink.right - ink.left, width, 5) << row.name;
        // The line's top is the box's top: the cap height ends below it, never above.
        EXPECT_LE(ink.top, 50) << row.name;
        EXPECT_GE(ink.top, 50 - font.ascender() + 0.6 * 20 - 2) << row.name;
    }
}

TEST(StringDrawing, EmptyOrNonFiniteDrawsNothing)
{
    const Font font = systemFont(12);
    QImage img = testsupport::blankImage(50, 20);
    {
        GraphicsContext ctx(img);
        drawStringInRect(ctx, QString(), Rect(0, 0, 50, 20), font, Color::black());
        drawStringInRect(
            ctx, QStringLiteral("x"), Rect(std::nan(""), 0, 50, 20), font, Color::black());
    }
    EXPECT_LT(inkOf(img).right, 0);
}
