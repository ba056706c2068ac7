#pragma once
// The attribute keys of attributed strings. The strings are the names the document file stores.
#include <QString>

namespace platform::TextAttributeNames {

inline const QString font = QStringLiteral("NSFont");
inline const QString paragraphStyle = QStringLiteral("NSParagraphStyle");
inline const QString foregroundColor = QStringLiteral("NSColor");
inline const QString underlineStyle = QStringLiteral("NSUnderline");
inline const QString strikethroughStyle = QStringLiteral("NSStrikethrough");
inline const QString kern = QStringLiteral("NSKern");
inline const QString attachment = QStringLiteral("NSAttachment");
inline const QString markedClauseSegment = QStringLiteral("NSMarkedClauseSegment");
// The fill of a run, an SZGradient.
inline const QString gradient = QStringLiteral("GradientAttributeName");

// Underline and strikethrough style values.
constexpr int underlineStyleNone = 0;
constexpr int underlineStyleSingle = 1;

} // namespace platform::TextAttributeNames
