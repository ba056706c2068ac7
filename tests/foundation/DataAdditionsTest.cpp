// Arrays kept as archive data: only data and arrays come back, and anything else makes the whole
// read fail, since the box clipboard relies on getting nothing back from foreign data.
#include "foundation/DataAdditions.h"

#include "foundation/SZGradient.h"
#include "platform/archive/KeyedArchiver.h"

#include <gtest/gtest.h>

using platform::ArchiveArray;
using platform::ArchiveValue;

TEST(DataAdditions, OnlyDataAndArraysComeBack)
{
    const ArchiveValue data = ArchiveValue::fromBytes("abc");
    const ArchiveValue gradient = ArchiveValue::fromObject(std::make_shared<const SZGradient>());
    const struct {
        const char* name;
        ArchiveArray items;
        bool readable;
    } rows[] = {
        { "data", { data, ArchiveValue::fromBytes(QByteArray()) }, true },
        { "arrays of data",
            { data, ArchiveValue::fromArray({ data, ArchiveValue::fromArray({}) }) }, true },
        { "an empty array", {}, true },
        { "an object of a class not allowed", { data, gradient, data }, false },
        { "such an object inside an inner array", { ArchiveValue::fromArray({ data, gradient }) },
            false },
        { "a number", { data, ArchiveValue::fromInt32(7) }, false },
        { "text", { ArchiveValue::fromString("abc") }, false },
        { "a dictionary", { ArchiveValue::fromDictionary({ { "k", data } }) }, false },
        { "null", { data, ArchiveValue() }, false },
    };
    for (const auto& row : rows) {
        const auto archived = fromDataAry(row.items);
        ASSERT_TRUE(archived) << row.name;
        const auto back = toDataArray(*archived);
        ASSERT_EQ(back.has_value(), row.readable) << row.name;
        if (back) {
            EXPECT_EQ(back->size(), row.items.size()) << row.name;
            EXPECT_EQ(back->empty() ? QByteArray() : back->front().toBytes(),
                row.items.empty() ? QByteArray() : row.items.front().toBytes())
                << row.name;
        }
    }
}

TEST(DataAdditions, WhatIsNoArrayOfDataIsRefused)
{
    const QByteArray whole = *fromDataAry({ ArchiveValue::fromBytes("abc") });
    EXPECT_FALSE(toDataArray(QByteArray("garbage")));
    EXPECT_FALSE(toDataArray(whole.left(whole.size() / 2)));
    EXPECT_FALSE(toDataArray(platform::KeyedArchiver::archivedData(SZGradient(), false)))
        << "an object at the root";
}
