#include "platform/text/FontTables_p.h"

#include <QtEndian>
#include <algorithm>

namespace platform {

namespace {

// Table sizes and fields as the OpenType tables lay them out.
constexpr qsizetype kHheaSize = 36;
constexpr qsizetype kHeadSize = 54;
constexpr quint32 kHeadMagic = 0x5F0F3CF5;
constexpr int kMinUnitsPerEm = 16;
constexpr int kMaxUnitsPerEm = 16384;
constexpr double kMaxLineInEms = 16.0;

template <typename T> std::optional<T> readBigEndian(const QByteArray& table, qsizetype offset)
{
    if (offset < 0 || table.size() - offset < qsizetype(sizeof(T)))
        return std::nullopt;
    return qFromBigEndian<T>(table.constData() + offset);
}

} // namespace

std::optional<qint16> tableInt16(const QByteArray& table, qsizetype offset)
{
    return readBigEndian<qint16>(table, offset);
}

std::optional<quint16> tableUInt16(const QByteArray& table, qsizetype offset)
{
    return readBigEndian<quint16>(table, offset);
}

std::optional<quint32> tableUInt32(const QByteArray& table, qsizetype offset)
{
    return readBigEndian<quint32>(table, offset);
}

std::optional<HheaLineMetrics> hheaLineMetrics(const QByteArray& hhea, const QByteArray& head)
{
    if (hhea.size() < kHheaSize || head.size() < kHeadSize)
        return std::nullopt;
    if (tableUInt16(hhea, 0) != 1 || tableUInt32(head, 12) != kHeadMagic)
        return std::nullopt;
    const int unitsPerEm = *tableUInt16(head, 18);
    if (unitsPerEm < kMinUnitsPerEm || unitsPerEm > kMaxUnitsPerEm)
        return std::nullopt;
    const int ascender = *tableInt16(hhea, 4);
    const int descender = *tableInt16(hhea, 6);
    const int lineGap = std::max<int>(0, *tableInt16(hhea, 8));
    if (ascender < 0 || descender > 0 || ascender - descender <= 0
        || ascender - descender + lineGap > kMaxLineInEms * unitsPerEm)
        return std::nullopt;
    const double em = unitsPerEm;
    return HheaLineMetrics { ascender / em, descender / em, lineGap / em };
}

} // namespace platform
