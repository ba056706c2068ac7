// The line shapes of a text box's container: circular chords and vertical columns one grapheme
// cluster wide, on their own and through a whole layout.
#include "boxes/CircleTextContainer.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/text/TextAttributeNames.h"

#include <cmath>
#include <gtest/gtest.h>

using platform::AttributedString;
using platform::Rect;
using platform::Size;
using platform::TextRange;

TEST(TextContainer, CircularChordWidths)
{
    // A 300 wide box: R = 150, the circle's top at the container's top.
    const double chord100 = 2 * std::sqrt(150.0 * 150.0 - 100.0 * 100.0);
    struct Row {
        const char* name;
        Rect proposed;
        double x, width;
    } rows[] = {
        { "first line", Rect(0, 0, 300, 100), 150 - chord100 / 2, chord100 },
        { "through the centre", Rect(0, 100, 300, 100), 0.0, 300.0 },
        { "lower half", Rect(0, 200, 300, 100), 150 - chord100 / 2, chord100 },
        { "below the circle", Rect(0, 300, 300, 100), 150.0, 0.0 },
    };
    CircleTextContainer container(Size(300, platform::TextContainer::unlimited));
    container.setIsCircular(true);
    const AttributedString text(QStringLiteral("abc"));
    for (const Row& row : rows) {
        Rect remaining(1, 1, 1, 1);
        const Rect r = container.lineFragmentRect(row.proposed, 0, text, &remaining);
        EXPECT_NEAR(r.x(), row.x, 1e-9) << row.name;
        EXPECT_NEAR(r.width(), row.width, 1e-9) << row.name;
        EXPECT_EQ(r.y(), row.proposed.y()) << row.name;
        EXPECT_EQ(r.height(), row.proposed.height()) << row.name;
        EXPECT_TRUE(remaining.isEmpty()) << row.name;
    }
    // Plain lines are the base container's.
    container.setIsCircular(false);
    EXPECT_EQ(
        container.lineFragmentRect(Rect(0, 40, 300, 20), 0, text, nullptr), Rect(0, 40, 300, 20));
}

TEST(TextContainer, VerticalColumnIsOneClusterWide)
{
    CircleTextContainer container(Size(300, platform::TextContainer::unlimited));
    container.setIsVertical(true);
    container.setIsCircular(true); // vertical is tested first
    // "e" + combining acute, a surrogate pair, then a plain letter.
    const AttributedString text(QStringLiteral("e\u0301\U0001F600W"));
    const double wAccent = CircleTextContainer::clusterWidth(text, 0);
    const double wW = CircleTextContainer::clusterWidth(text, 4);
    EXPECT_GT(wAccent, 0.0);
    EXPECT_GT(wW, wAccent); // "W" is wider than "é"
    EXPECT_NEAR(wAccent,
        platform::TextLayout::measure(text.attributedSubstring(TextRange(0, 2))).width, 1e-9);
    const Rect r = container.lineFragmentRect(Rect(0, 0, 300, 50), 4, text, nullptr);
    EXPECT_NEAR(r.width(), wW + 1, 1e-9);
    EXPECT_NEAR(r.midX(), 150.0 + 0.5, 1e-9);
    EXPECT_EQ(CircleTextContainer::clusterWidth(text, text.length()), 0.0);
}

TEST(TextContainer, VerticalTextLaysOutOneClusterPerLine)
{
    gDefaultFontSize = 40.0;
    MyTextView box(Rect(0, 0, 300, 60));
    gDefaultFontSize = 100.0;
    struct Row {
        const char* name;
        QString text;
        std::vector<TextRange> lines;
    } rows[] = {
        { "letters", QStringLiteral("Abc"), { { 0, 1 }, { 1, 1 }, { 2, 1 } } },
        { "combining mark and surrogate pair", QStringLiteral("e\u0301\U0001F600x"),
            { { 0, 2 }, { 2, 2 }, { 4, 1 } } },
    };
    box.setIsVertical(true);
    for (const Row& row : rows) {
        box.txtBox()->editor().setText(AttributedString(row.text, MyTextBox::defaultAttributes()));
        const auto& lines = box.txtBox()->editor().layout().lineFragments();
        ASSERT_EQ(lines.size(), row.lines.size()) << row.name;
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].characterRange, row.lines[i]) << row.name << " line " << i;
    }
}
