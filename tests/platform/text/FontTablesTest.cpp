#include "platform/text/FontTables_p.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

void put16(QByteArray& table, int offset, int value)
{
    table[offset] = char((value >> 8) & 0xFF);
    table[offset + 1] = char(value & 0xFF);
}

QByteArray hheaTable(int ascender, int descender, int lineGap, int majorVersion = 1)
{
    QByteArray table(36, '\0');
    put16(table, 0, majorVersion);
    put16(table, 4, ascender);
    put16(table, 6, descender);
    put16(table, 8, lineGap);
    return table;
}

QByteArray headTable(int unitsPerEm, quint32 magic = 0x5F0F3CF5)
{
    QByteArray table(54, '\0');
    put16(table, 0, 1);
    put16(table, 12, int(magic >> 16));
    put16(table, 14, int(magic & 0xFFFF));
    put16(table, 18, unitsPerEm);
    return table;
}

} // namespace

TEST(FontTables, HheaLineMetricsFromCraftedTables)
{
    struct Row {
        const char* name;
        QByteArray hhea;
        QByteArray head;
        std::optional<HheaLineMetrics> expected;
    };
    const Row rows[] = {
        { "1000-unit em", hheaTable(729, -271, 200), headTable(1000), { { 0.729, -0.271, 0.2 } } },
        { "2048-unit em, no gap", hheaTable(1901, -483, 0), headTable(2048),
            { { 1901 / 2048.0, -483 / 2048.0, 0.0 } } },
        { "negative gap counts as none", hheaTable(800, -200, -50), headTable(1000),
            { { 0.8, -0.2, 0.0 } } },
        { "longer tables are fine", hheaTable(800, -200, 0) + QByteArray(8, 'x'),
            headTable(1000) + QByteArray(8, 'x'), { { 0.8, -0.2, 0.0 } } },
        { "no hhea", QByteArray(), headTable(1000), std::nullopt },
        { "no head", hheaTable(729, -271, 200), QByteArray(), std::nullopt },
        { "hhea cut short", hheaTable(729, -271, 200).left(35), headTable(1000), std::nullopt },
        { "head cut short", hheaTable(729, -271, 200), headTable(1000).left(53), std::nullopt },
        { "hhea version 2", hheaTable(729, -271, 200, 2), headTable(1000), std::nullopt },
        { "head without its magic number", hheaTable(729, -271, 200), headTable(1000, 0),
            std::nullopt },
        { "zero units per em", hheaTable(729, -271, 200), headTable(0), std::nullopt },
        { "units per em too large", hheaTable(729, -271, 200), headTable(20000), std::nullopt },
        { "ascender below the baseline", hheaTable(-10, -271, 0), headTable(1000), std::nullopt },
        { "descender above the baseline", hheaTable(729, 271, 0), headTable(1000), std::nullopt },
        { "no height", hheaTable(0, 0, 200), headTable(1000), std::nullopt },
        { "line of 60 ems", hheaTable(30000, -30000, 0), headTable(1000), std::nullopt },
    };
    for (const Row& row : rows) {
        const auto metrics = hheaLineMetrics(row.hhea, row.head);
        ASSERT_EQ(metrics.has_value(), row.expected.has_value()) << row.name;
        if (!metrics)
            continue;
        EXPECT_DOUBLE_EQ(metrics->ascender, row.expected->ascender) << row.name;
        EXPECT_DOUBLE_EQ(metrics->descender, row.expected->descender) << row.name;
        EXPECT_DOUBLE_EQ(metrics->lineGap, row.expected->lineGap) << row.name;
    }
}

TEST(FontTables, FieldsOutsideTheTableAreEmpty)
{
    const QByteArray table = QByteArray::fromHex("FF38000102030405");
    EXPECT_EQ(tableInt16(table, 0), qint16(-200));
    EXPECT_EQ(tableUInt16(table, 0), quint16(0xFF38));
    EXPECT_EQ(tableUInt32(table, 4), quint32(0x02030405));
    EXPECT_EQ(tableInt16(table, 6), qint16(0x0405));
    EXPECT_FALSE(tableInt16(table, 7));
    EXPECT_FALSE(tableUInt32(table, 5));
    EXPECT_FALSE(tableUInt16(table, -1));
    EXPECT_FALSE(tableUInt16(QByteArray(), 0));
}
