#pragma once
// Arrays kept as archive data (the box clipboard and similar lists).
#include "platform/archive/ArchiveValue.h"

#include <QByteArray>
#include <optional>

// The array archived in data, read with only arrays and data allowed; nothing, with a log
// line, when data is not such an archive or anything in the array, at any depth, is of
// another class (an object, a number, text, a dictionary, null).
std::optional<platform::ArchiveArray> toDataArray(const QByteArray& data);

// Archive data of the array, without requiring secure coding; nothing, with a log line, when
// an element cannot be archived.
std::optional<QByteArray> fromDataAry(const platform::ArchiveArray& array);
