#include "platform/text/TextValueCoding.h"

#include "platform/archive/ArchiveBox.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/text/TextLayout.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

const QString kAttachmentWidth = QStringLiteral("NSAttachmentWidth");
const QString kAttachmentHeight = QStringLiteral("NSAttachmentHeight");

double finiteOr(double v, double fallback)
{
    return std::isfinite(v) ? v : fallback;
}

template <class T> std::shared_ptr<const KeyedCoding> decodeBoxed(const KeyedUnarchiver& coder)
{
    std::optional<T> value = ValueCoding<T>::decode(coder);
    if (!value)
        return nullptr;
    return std::make_shared<const ArchiveBox<T>>(std::move(*value));
}

} // namespace

ArchiveValue archiveValueOf(const AttributeValue& value)
{
    if (value.isInteger())
        return ArchiveValue::fromInt64(value.toInteger());
    if (value.isBool())
        return ArchiveValue::fromBool(value.toInteger() != 0);
    if (value.isNumber())
        return ArchiveValue::fromDouble(value.toDouble());
    if (const QString* s = value.string())
        return ArchiveValue::fromString(*s);
    if (const Color* c = value.color())
        return ArchiveValue::fromValue(*c);
    if (const Font* f = value.font())
        return ArchiveValue::fromValue(*f);
    if (const ParagraphStyle* p = value.paragraphStyle())
        return ArchiveValue::fromValue(*p);
    if (const TextAttachment* a = value.attachment()) {
        return ArchiveValue::fromDictionary(
            ArchiveDictionary { { kAttachmentWidth, ArchiveValue::fromDouble(a->cellSize.width) },
                { kAttachmentHeight, ArchiveValue::fromDouble(a->cellSize.height) } });
    }
    if (auto object = std::dynamic_pointer_cast<const KeyedCoding>(value.sharedObject()))
        return ArchiveValue::fromObject(object);
    return {};
}

AttributeValue attributeValueOf(const ArchiveValue& value)
{
    switch (value.kind()) {
    case ArchiveValue::Kind::Int32:
    case ArchiveValue::Kind::Int64:
        return AttributeValue(value.toInt64());
    case ArchiveValue::Kind::Float:
    case ArchiveValue::Kind::Double:
        if (!std::isfinite(value.toDouble()))
            return {};
        return AttributeValue(value.toDouble());
    case ArchiveValue::Kind::Bool:
        return AttributeValue(value.toBool());
    case ArchiveValue::Kind::String:
        return AttributeValue(value.toString());
    case ArchiveValue::Kind::Dictionary: {
        const ArchiveDictionary& d = value.toDictionary();
        if (!d.contains(kAttachmentWidth))
            return {};
        const double w = finiteOr(d.value(kAttachmentWidth).toDouble(), 0.0);
        const double h = finiteOr(d.value(kAttachmentHeight).toDouble(), 0.0);
        return AttributeValue(TextAttachment { Size(std::max(w, 0.0), std::max(h, 0.0)) });
    }
    case ArchiveValue::Kind::Object:
        if (auto c = value.objectValue<Color>())
            return AttributeValue(*c);
        if (auto f = value.objectValue<Font>())
            return AttributeValue(*f);
        if (auto p = value.objectValue<ParagraphStyle>())
            return AttributeValue(*p);
        if (auto object = std::dynamic_pointer_cast<const AttributeObject>(value.toObject()))
            return AttributeValue(object);
        return {};
    default:
        return {};
    }
}

void ValueCoding<Font>::encode(KeyedArchiver& coder, const Font& font)
{
    coder.encodeString(QStringLiteral("NSName"), font.fontName());
    coder.encodeDouble(QStringLiteral("NSSize"), font.pointSize());
}

std::optional<Font> ValueCoding<Font>::decode(const KeyedUnarchiver& coder)
{
    const QString name = coder.decodeString(QStringLiteral("NSName"));
    const double size = coder.decodeDouble(QStringLiteral("NSSize"));
    if (auto font = Font::withName(name, size))
        return font;
    // A document from a machine with other fonts still opens, in the default face.
    const Font fallback = TextLayout::defaultFont();
    if (fallback.isNull())
        return std::nullopt;
    return fallback.withSize(size);
}

void ValueCoding<ParagraphStyle>::encode(KeyedArchiver& coder, const ParagraphStyle& style)
{
    coder.encodeInt32(QStringLiteral("NSAlignment"), qint32(style.alignment));
    coder.encodeDouble(QStringLiteral("NSLineSpacing"), style.lineSpacing);
    coder.encodeDouble(QStringLiteral("NSParagraphSpacing"), style.paragraphSpacing);
    coder.encodeDouble(QStringLiteral("NSParagraphSpacingBefore"), style.paragraphSpacingBefore);
    coder.encodeDouble(QStringLiteral("NSLineHeightMultiple"), style.lineHeightMultiple);
    coder.encodeDouble(QStringLiteral("NSMinimumLineHeight"), style.minimumLineHeight);
    coder.encodeDouble(QStringLiteral("NSMaximumLineHeight"), style.maximumLineHeight);
}

std::optional<ParagraphStyle> ValueCoding<ParagraphStyle>::decode(const KeyedUnarchiver& coder)
{
    ParagraphStyle style;
    style.alignment
        = ParagraphStyle::alignmentFromInt(coder.decodeInt32(QStringLiteral("NSAlignment")));
    auto read = [&](const char* key) {
        return finiteOr(coder.decodeDouble(QString::fromLatin1(key)), 0.0);
    };
    style.lineSpacing = read("NSLineSpacing");
    style.paragraphSpacing = read("NSParagraphSpacing");
    style.paragraphSpacingBefore = read("NSParagraphSpacingBefore");
    style.lineHeightMultiple = read("NSLineHeightMultiple");
    style.minimumLineHeight = read("NSMinimumLineHeight");
    style.maximumLineHeight = read("NSMaximumLineHeight");
    return style;
}

void ValueCoding<AttributedString>::encode(KeyedArchiver& coder, const AttributedString& text)
{
    coder.encodeString(QStringLiteral("NSString"), text.string());
    ArchiveArray runs;
    text.enumerateAttributes(TextRange(0, text.length()), AttributedString::Forward,
        [&](const AttributeDictionary& attributes, TextRange range, bool&) {
            ArchiveDictionary encoded;
            for (const auto& [key, value] : attributes) {
                ArchiveValue v = archiveValueOf(value);
                if (!v.isNull())
                    encoded.insert(key, std::move(v));
            }
            runs.push_back(ArchiveValue::fromDictionary(ArchiveDictionary {
                { QStringLiteral("NSLength"), ArchiveValue::fromInt64(range.length) },
                { QStringLiteral("NSAttributes"),
                    ArchiveValue::fromDictionary(std::move(encoded)) } }));
        });
    coder.encodeArray(QStringLiteral("NSRuns"), runs);
}

std::optional<AttributedString> ValueCoding<AttributedString>::decode(const KeyedUnarchiver& coder)
{
    const QString text = coder.decodeString(QStringLiteral("NSString"));
    const auto runs = coder.decodeArray(QStringLiteral("NSRuns"));
    if (!runs)
        return AttributedString(text);
    // Built in one pass: a text may hold tens of thousands of runs.
    AttributedString::Builder builder(text);
    for (const ArchiveValue& run : *runs) {
        if (builder.position() >= text.size())
            break;
        const ArchiveDictionary& d = run.toDictionary();
        const qint64 length = std::clamp<qint64>(
            d.value(QStringLiteral("NSLength")).toInt64(), 0, text.size() - builder.position());
        AttributeDictionary attributes;
        for (const auto& [key, value] : d.value(QStringLiteral("NSAttributes")).toDictionary()) {
            AttributeValue v = attributeValueOf(value);
            if (!v.isNull())
                attributes[key] = std::move(v);
        }
        builder.appendRun(int(length), std::move(attributes));
    }
    return builder.build();
}

void registerTextArchiveClasses()
{
    static const bool registered = [] {
        KeyedUnarchiver::registerClass(Font::attributeClassName(), decodeBoxed<Font>);
        KeyedUnarchiver::registerClass(
            ParagraphStyle::attributeClassName(), decodeBoxed<ParagraphStyle>);
        KeyedUnarchiver::registerClass(
            AttributedString::attributeClassName(), decodeBoxed<AttributedString>);
        return true;
    }();
    (void)registered;
}

} // namespace platform
