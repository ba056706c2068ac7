#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedCoding.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/text/TextValueCoding.h"

#include <gtest/gtest.h>

using namespace platform;
namespace names = platform::TextAttributeNames;

namespace {

// A fill of a higher layer: both an attribute object and an archivable object.
class TestFill final : public AttributeObject, public KeyedCoding {
public:
    explicit TestFill(double angle)
        : angle(angle)
    {
    }
    double angle;
    QString attributeClassName() const override { return QStringLiteral("SZGradient"); }
    // Comparisons made so far (the cost of merging runs).
    static inline long comparisons = 0;
    bool equals(const AttributeObject& other) const override
    {
        ++comparisons;
        const auto* o = dynamic_cast<const TestFill*>(&other);
        return o && o->angle == angle;
    }
    std::shared_ptr<AttributeObject> clone() const override
    {
        return std::make_shared<TestFill>(angle);
    }
    QString archiveClassName() const override { return QStringLiteral("SZGradient"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeDouble(QStringLiteral("angle"), angle);
    }
};

const QStringList kDocumentClasses = { QStringLiteral("NSAttributedString"),
    QStringLiteral("NSDictionary"), QStringLiteral("SZGradient"), QStringLiteral("NSColor"),
    QStringLiteral("NSMutableParagraphStyle"), QStringLiteral("NSFont") };

} // namespace

TEST(TextArchive, AttributedStringRoundTripsWithEveryKindOfAttribute)
{
    registerTextArchiveClasses();
    KeyedUnarchiver::registerClass(QStringLiteral("SZGradient"), [](const KeyedUnarchiver& coder) {
        return std::make_shared<const TestFill>(coder.decodeDouble(QStringLiteral("angle")));
    });
    AttributeDictionary base = {
        { names::font, AttributeValue(*Font::withName(QStringLiteral("Helvetica-Bold"), 37.5)) },
        { names::paragraphStyle,
            AttributeValue(ParagraphStyle::withAlignment(TextAlignment::Center)) },
        { names::foregroundColor, AttributeValue(Color(0.1, 0.2, 0.3, 0.4)) },
        { names::gradient,
            AttributeValue(
                std::shared_ptr<const AttributeObject>(std::make_shared<TestFill>(30))) },
    };
    AttributedString text(QStringLiteral("ab\uFFFCd"), base);
    text.addAttribute(names::kern, AttributeValue(2.5), TextRange(0, 1));
    text.addAttribute(names::underlineStyle, AttributeValue(1), TextRange(1, 1));
    text.addAttribute(
        names::attachment, AttributeValue(TextAttachment { Size(18.75, 37.5) }), TextRange(2, 1));

    KeyedArchiver archiver;
    archiver.encodeObject(QStringLiteral("rtf"), ArchiveValue::fromValue(text).toObject());
    const QByteArray data = archiver.finishEncoding();
    ASSERT_FALSE(data.isEmpty()) << archiver.error().toStdString();
    KeyedUnarchiver reader(data, kDocumentClasses);
    const auto back = reader.decodeObject<AttributedString>(QStringLiteral("rtf"));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, text);
    EXPECT_EQ(back->attributeAt(names::underlineStyle, 1).toInteger(), 1);

    KeyedUnarchiver strict(
        data, { QStringLiteral("NSAttributedString"), QStringLiteral("NSFont") });
    const auto partial = strict.decodeObject<AttributedString>(QStringLiteral("rtf"));
    ASSERT_TRUE(partial.has_value());
    EXPECT_EQ(partial->string(), text.string());
    EXPECT_TRUE(partial->attributeAt(names::gradient, 0).isNull())
        << "a class not allowed is left out";
    EXPECT_EQ(partial->attributeAt(names::font, 0), text.attributeAt(names::font, 0));
}

// A font written on a machine with other faces.
struct MissingFont final : KeyedCoding {
    QString archiveClassName() const override { return QStringLiteral("NSFont"); }
    void encodeWithCoder(KeyedArchiver& c) const override
    {
        c.encodeString(QStringLiteral("NSName"), QStringLiteral("NoSuchFace-Bold"));
        c.encodeDouble(QStringLiteral("NSSize"), 30);
    }
};

// Runs claiming more characters than the text has.
struct OverlongRuns final : KeyedCoding {
    QString archiveClassName() const override { return QStringLiteral("NSAttributedString"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeString(QStringLiteral("NSString"), QStringLiteral("abc"));
        const ArchiveArray runs = { ArchiveValue::fromDictionary(ArchiveDictionary {
            { QStringLiteral("NSLength"), ArchiveValue::fromInt64(1000000) },
            { QStringLiteral("NSAttributes"),
                ArchiveValue::fromDictionary(ArchiveDictionary {
                    { names::kern, ArchiveValue::fromDouble(1.5) },
                    { names::font,
                        ArchiveValue::fromObject(std::make_shared<const MissingFont>()) } }) } }) };
        coder.encodeArray(QStringLiteral("NSRuns"), runs);
    }
};

TEST(TextArchive, UnknownFontsFallBackAndRunsAreClamped)
{
    registerTextArchiveClasses();
    KeyedArchiver archiver;
    OverlongRuns odd;
    archiver.encodeObject(QStringLiteral("rtf"), odd);
    const QByteArray data = archiver.finishEncoding();
    KeyedUnarchiver reader(data, kDocumentClasses);
    const auto back = reader.decodeObject<AttributedString>(QStringLiteral("rtf"));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->length(), 3);
    TextRange range;
    EXPECT_EQ(back->attributeAt(names::kern, 0, &range).toDouble(), 1.5);
    EXPECT_EQ(range, TextRange(0, 3));
    const AttributeValue fontValue = back->attributeAt(names::font, 0);
    const Font* fallback = fontValue.font();
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(fallback->familyName(), QStringLiteral("Nimbus Sans"));
    EXPECT_EQ(fallback->pointSize(), 30);

    const QByteArray fontData = KeyedArchiver::archivedData(
        ArchiveValue::fromValue(*Font::withName(QStringLiteral("Helvetica"), 30)), true);
    const auto font
        = KeyedUnarchiver::unarchive(fontData, kDocumentClasses).root.objectValue<Font>();
    ASSERT_TRUE(font.has_value());
    EXPECT_EQ(font->fontName(), QStringLiteral("NimbusSans-Regular"));
    EXPECT_EQ(font->pointSize(), 30);
}

// A text of many style runs is read in one pass: each run is compared with the one before it,
// not the whole string merged again at every run (which made 40 000 runs take half a minute).
TEST(TextArchive, ManyStyleRunsAreReadInOnePass)
{
    registerTextArchiveClasses();
    KeyedUnarchiver::registerClass(QStringLiteral("SZGradient"), [](const KeyedUnarchiver& coder) {
        return std::make_shared<const TestFill>(coder.decodeDouble(QStringLiteral("angle")));
    });
    constexpr int kRuns = 3000;
    // Two characters a run; every third run repeats its neighbour's fill and merges with it.
    AttributedString text(QString(2 * kRuns, QChar(u'w')));
    for (int i = 0; i < kRuns; ++i) {
        const double angle = (i % 3 == 2) ? double((i - 1) % 4) : double(i % 4);
        text.setAttributes({ { names::gradient,
                               AttributeValue(std::shared_ptr<const AttributeObject>(
                                   std::make_shared<TestFill>(angle))) } },
            TextRange(2 * i, 2));
    }
    ASSERT_GT(text.runCount(), kRuns / 2);
    const QByteArray data = KeyedArchiver::archivedData(ArchiveValue::fromValue(text), true);
    ASSERT_FALSE(data.isEmpty());

    TestFill::comparisons = 0;
    const auto back
        = KeyedUnarchiver::unarchive(data, kDocumentClasses).root.objectValue<AttributedString>();
    const long comparisons = TestFill::comparisons;
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, text);
    EXPECT_LE(comparisons, 2L * kRuns) << "runs merged again and again while reading";
}
