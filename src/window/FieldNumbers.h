#pragma once
// Numbers typed into the inspector's fields and the texts the fields show.
//
// A field shows its stepper's number with a unit ("12 pt", "90º", "-40%", "300 px"). Reading
// takes the leading number of the text, after the unit is removed: optional spaces, a sign,
// digits, and for decimals a point or a comma and more digits; anything after it is ignored.
// No number, "nan", "inf" and the like read as nothing; magnitudes beyond what the caller can
// hold saturate instead of wrapping (QString::toInt gives 0 on overflow).
#include <QString>
#include <optional>

namespace fieldnumbers {

// The leading whole number (a fraction is dropped toward zero), saturated to int's range.
std::optional<int> leadingInt(const QString& text, const QString& unit = {});
// The leading decimal number, finite, saturated to +-1e9.
std::optional<double> leadingDouble(const QString& text, const QString& unit = {});
// Clamped into lo..hi.
int held(int value, int lo, int hi);

// The units the fields show.
inline const QString kPoints = QStringLiteral(" pt");
inline const QString kPixels = QStringLiteral(" px");
inline const QString kPercent = QStringLiteral("%");
inline const QString kDegrees = QStringLiteral("\u00BA"); // the masculine ordinal sign

} // namespace fieldnumbers
