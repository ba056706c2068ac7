#include "platform/text/AttributedString.h"

#include "platform/text/TextAttributeNames.h"

#include <gtest/gtest.h>

using namespace platform;
namespace names = platform::TextAttributeNames;

namespace {

// A value type of a higher layer, stored behind AttributeObject.
struct Fill {
    double angle = 0;
    bool operator==(const Fill&) const = default;
    static QString attributeClassName() { return QStringLiteral("SZGradient"); }
};

AttributeDictionary tagged(int tag)
{
    return { { QStringLiteral("tag"), AttributeValue(tag) } };
}

int tagAt(const AttributedString& s, int index)
{
    return int(s.attributeAt(QStringLiteral("tag"), index).toInteger());
}

// "aaabbbccc" with tags 1, 2, 3 on the three runs.
AttributedString threeRuns()
{
    AttributedString s(QStringLiteral("aaabbbccc"), tagged(1));
    s.setAttributes(tagged(2), TextRange(3, 3));
    s.setAttributes(tagged(3), TextRange(6, 3));
    return s;
}

} // namespace

TEST(AttributedString, NewCharactersFollowThePlatformRule)
{
    struct Row {
        const char* name;
        AttributedString start;
        TextRange range;
        int expectedTag; // 0: no attributes
    };
    const Row rows[] = {
        { "replacing takes the first replaced character's", threeRuns(), { 4, 4 }, 2 },
        { "replacing across runs takes the first one's", threeRuns(), { 2, 5 }, 1 },
        { "inserting takes the preceding character's", threeRuns(), { 6, 0 }, 2 },
        { "inserting at the start takes the following one's", threeRuns(), { 0, 0 }, 1 },
        { "inserting into an empty string takes none", AttributedString(), { 0, 0 }, 0 },
        { "a range past the end is clamped", threeRuns(), { 20, 3 }, 3 },
    };
    for (const Row& row : rows) {
        AttributedString s = row.start;
        const int at = row.range.clamped(s.length()).location;
        s.replaceCharacters(row.range, QStringLiteral("XY"));
        EXPECT_EQ(s.string().mid(at, 2), QStringLiteral("XY")) << row.name;
        EXPECT_EQ(tagAt(s, at), row.expectedTag) << row.name;
        EXPECT_EQ(tagAt(s, at + 1), row.expectedTag) << row.name;
    }
}

TEST(AttributedString, ReplacingKeepsTheNeighbouringRuns)
{
    AttributedString s = threeRuns();
    s.replaceCharacters(TextRange(3, 3), AttributedString(QStringLiteral("Q"), tagged(9)));
    EXPECT_EQ(s.string(), QStringLiteral("aaaQccc"));
    TextRange range;
    EXPECT_EQ(int(s.attributesAt(3, &range).at(QStringLiteral("tag")).toInteger()), 9);
    EXPECT_EQ(range, TextRange(3, 1));
    EXPECT_EQ(tagAt(s, 4), 3);
    s.deleteCharacters(TextRange(0, 7));
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(s.runCount(), 0);
}

TEST(AttributedString, EnumeratesRunsForwardAndInReverse)
{
    const AttributedString s = threeRuns();
    for (unsigned options :
        { unsigned(AttributedString::Forward), unsigned(AttributedString::Reverse) }) {
        std::vector<std::pair<int, TextRange>> seen;
        s.enumerateAttributes(
            TextRange(1, 7), options, [&](const AttributeDictionary& a, TextRange r, bool&) {
                seen.emplace_back(int(a.at(QStringLiteral("tag")).toInteger()), r);
            });
        std::vector<std::pair<int, TextRange>> expected
            = { { 1, { 1, 2 } }, { 2, { 3, 3 } }, { 3, { 6, 2 } } };
        if (options & AttributedString::Reverse)
            std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(seen, expected) << "options " << options;
    }
    int calls = 0;
    s.enumerateAttributes(TextRange(0, 9), AttributedString::Reverse,
        [&](const AttributeDictionary&, TextRange, bool& stop) { stop = ++calls == 2; });
    EXPECT_EQ(calls, 2);
}

TEST(AttributedString, ChangingRunsInsideAReverseEnumerationIsSafe)
{
    // The pattern of the style operations: walk runs from the last, set attributes on a copy.
    AttributedString s = threeRuns();
    const AttributedString original = s;
    s.enumerateAttributes(TextRange(0, 9), AttributedString::Reverse,
        [&](const AttributeDictionary& a, TextRange r, bool&) {
            AttributeDictionary changed = a;
            changed[names::kern] = AttributeValue(2.5);
            s.setAttributes(changed, r);
        });
    EXPECT_EQ(s.runCount(), 3);
    EXPECT_EQ(s.attributeAt(names::kern, 8).toDouble(), 2.5);
    EXPECT_TRUE(original.attributeAt(names::kern, 8).isNull()) << "the copy must not change";
}

TEST(AttributedString, EqualityIsByValue)
{
    const auto fill = [](double angle) { return AttributeValue::fromObject(Fill { angle }); };
    AttributedString a(QStringLiteral("abc"), { { names::gradient, fill(90) } });
    AttributedString b(QStringLiteral("abc"), { { names::gradient, fill(90) } });
    EXPECT_EQ(a, b) << "distinct objects with equal values";
    b.addAttribute(names::gradient, fill(45), TextRange(1, 1));
    EXPECT_NE(a, b);
    b.addAttribute(names::gradient, fill(90), TextRange(1, 1));
    EXPECT_EQ(a, b) << "runs merge back after the change is undone";
    EXPECT_EQ(b.runCount(), 1);

    EXPECT_EQ(AttributeValue(1), AttributeValue(1.0)) << "numbers compare by value";
    EXPECT_NE(AttributeValue(QStringLiteral("1")), AttributeValue(1));
    AttributedString c(QStringLiteral("abd"), { { names::gradient, fill(90) } });
    EXPECT_NE(a, c);
    EXPECT_EQ(b.attributeAt(names::gradient, 0).objectValue<Fill>()->angle, 90.0);
}

TEST(AttributedString, SetAddRemoveAndSubstrings)
{
    AttributedString s(QStringLiteral("hello world"), tagged(1));
    s.addAttribute(names::underlineStyle, AttributeValue(1), TextRange(6, 5));
    s.removeAttribute(QStringLiteral("tag"), TextRange(0, 2));
    EXPECT_EQ(s.runCount(), 3);
    TextRange effective;
    s.attributeAt(QStringLiteral("tag"), 7, &effective);
    EXPECT_EQ(effective, TextRange(2, 9)) << "the longest range with the same value";

    const AttributedString sub = s.attributedSubstring(TextRange(4, 4));
    EXPECT_EQ(sub.string(), QStringLiteral("o wo"));
    EXPECT_TRUE(sub.attributeAt(names::underlineStyle, 0).isNull());
    EXPECT_EQ(sub.attributeAt(names::underlineStyle, 2).toInteger(), 1);

    AttributedString joined = sub;
    joined.append(sub);
    EXPECT_EQ(joined.string(), QStringLiteral("o woo wo"));
    EXPECT_EQ(joined.runCount(), 4);
    EXPECT_EQ(sub.length(), 4) << "copies are independent";
}

// The builder against setting each run's attributes in turn (the reader's rule: lengths cut
// to what is left, runs past the end ignored, characters no run reaches keep no attributes).
TEST(AttributedString, BuilderGivesWhatSettingEachRunGives)
{
    struct Case {
        const char* name;
        QString text;
        std::vector<std::pair<int, int>> runs; // length, tag (0: no attributes)
    };
    std::vector<Case> cases = {
        { "empty text", QString(), { { 3, 1 } } },
        { "no runs", QStringLiteral("abc"), {} },
        { "equal neighbours merge", QStringLiteral("abcdef"), { { 2, 1 }, { 2, 1 }, { 2, 2 } } },
        { "runs of no characters", QStringLiteral("abcd"),
            { { 0, 5 }, { 2, 1 }, { 0, 2 }, { 2, 1 } } },
        { "overlong and past the end", QStringLiteral("abc"), { { 2, 1 }, { 9, 2 }, { 4, 3 } } },
        { "uncovered tail", QStringLiteral("abcdef"), { { 2, 1 }, { 1, 0 } } },
        { "negative length", QStringLiteral("abc"), { { -4, 1 }, { 1, 2 } } },
    };
    // Seeded runs of many shapes: repeated tags, empty runs, a tail left over.
    uint32_t seed = 12345;
    auto next = [&](uint32_t bound) {
        seed = seed * 1664525u + 1013904223u;
        return int((seed >> 8) % bound);
    };
    for (int c = 0; c < 20; ++c) {
        Case random { "seeded", QString(200 + next(200), QChar(u'q')), {} };
        for (int r = next(120); r > 0; --r)
            random.runs.emplace_back(next(6), next(3));
        cases.push_back(std::move(random));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AttributedString expected(c.text);
        AttributedString::Builder builder(c.text);
        int at = 0;
        for (const auto& [length, tag] : c.runs) {
            const AttributeDictionary attributes = tag ? tagged(tag) : AttributeDictionary();
            const int cut = std::clamp(length, 0, std::max(expected.length() - at, 0));
            expected.setAttributes(attributes, TextRange(at, cut));
            at += cut;
            builder.appendRun(length, attributes);
        }
        const AttributedString built = builder.build();
        EXPECT_EQ(built, expected);
        EXPECT_EQ(built.runCount(), expected.runCount());
        for (int i = 0; i < expected.length(); ++i) {
            TextRange builtRange, expectedRange;
            ASSERT_EQ(built.attributesAt(i, &builtRange), expected.attributesAt(i, &expectedRange))
                << "at " << i;
            ASSERT_EQ(builtRange, expectedRange) << "at " << i;
        }
    }
}
