#pragma once
// Internal to platform/text and its tests: readers for a face's raw OpenType tables.
#include <QByteArray>
#include <optional>

namespace platform {

// Big-endian fields of a raw table; empty when the field lies outside the table.
std::optional<qint16> tableInt16(const QByteArray& table, qsizetype offset);
std::optional<quint16> tableUInt16(const QByteArray& table, qsizetype offset);
std::optional<quint32> tableUInt32(const QByteArray& table, qsizetype offset);

// A face's line metrics as fractions of its em, y-up: the descender is negative.
struct HheaLineMetrics {
    double ascender = 0.0;
    double descender = 0.0;
    double lineGap = 0.0;
};

// The line metrics of the 'hhea' table in units of the em of 'head'. Empty when a table is
// missing or truncated, has the wrong version or magic number, or the numbers cannot describe
// a line (an em outside 16 to 16384 units, an ascender below or a descender above the
// baseline, no height, or a line taller than 16 ems); the caller then uses other metrics. A
// negative line gap counts as none.
std::optional<HheaLineMetrics> hheaLineMetrics(const QByteArray& hhea, const QByteArray& head);

} // namespace platform
