#pragma once
// The archive encodings of the text system's values:
//
//   Font              "NSFont"                   "NSName": PostScript name, "NSSize": double
//   ParagraphStyle    "NSMutableParagraphStyle"  "NSAlignment": int32; "NSLineSpacing",
//                                                "NSParagraphSpacing", "NSParagraphSpacingBefore",
//                                                "NSLineHeightMultiple", "NSMinimumLineHeight",
//                                                "NSMaximumLineHeight": doubles
//   AttributedString  "NSAttributedString"       "NSString": the text; "NSRuns": an array of
//                                                dictionaries {"NSLength": int64,
//                                                "NSAttributes": dictionary by attribute key}
//
// Attribute values are written by kind: integers as int64, reals as doubles, bools, strings,
// colours, fonts and paragraph styles as their objects, an attachment as a plain dictionary
// {"NSAttachmentWidth", "NSAttachmentHeight"} (so that no allow-list has to name it), and an
// AttributeObject that is also a KeyedCoding (the text fill) as that object. Other values are
// left out.
//
// Decoding: a font whose face is not installed comes back as Helvetica at its size; runs whose
// lengths do not add up to the text are cut or padded with empty attributes; an attribute
// whose object is not allowed or not known is left out. registerTextArchiveClasses() must run
// once before reading.
#include "platform/archive/ArchiveValue.h"
#include "platform/archive/ValueCoding.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Font.h"
#include "platform/text/ParagraphStyle.h"

namespace platform {

template <> struct ValueCoding<Font> {
    static QString className() { return Font::attributeClassName(); }
    static bool isNull(const Font& font) { return font.isNull(); }
    static void encode(KeyedArchiver& coder, const Font& font);
    static std::optional<Font> decode(const KeyedUnarchiver& coder);
};

template <> struct ValueCoding<ParagraphStyle> {
    static QString className() { return ParagraphStyle::attributeClassName(); }
    static void encode(KeyedArchiver& coder, const ParagraphStyle& style);
    static std::optional<ParagraphStyle> decode(const KeyedUnarchiver& coder);
};

template <> struct ValueCoding<AttributedString> {
    static QString className() { return AttributedString::attributeClassName(); }
    static void encode(KeyedArchiver& coder, const AttributedString& text);
    static std::optional<AttributedString> decode(const KeyedUnarchiver& coder);
};

// One attribute value in its archive form, and back, by the kinds above (a non-finite real
// reads as absent). Values of other kinds give a null value / an empty attribute.
ArchiveValue archiveValueOf(const AttributeValue& value);
AttributeValue attributeValueOf(const ArchiveValue& value);

// Registers the decoders of the three class tags; safe to call more than once.
void registerTextArchiveClasses();

} // namespace platform
