#pragma once
// What archive_fuzz does with one input, shared with the regression test that replays the
// inputs kept in tests/data/regressions/archive_fuzz: arbitrary bytes are read as a keyed
// archive with every class allowed, and every key is read in every way a client might. Any
// crash, leak or undefined behaviour is a finding; the answers themselves are not checked.
#include "platform/archive/KeyedUnarchiver.h"

#include <QByteArray>
#include <QStringList>

namespace fuzzinput {

inline void readArchive(const QByteArray& bytes)
{
    using namespace platform;
    static const QStringList kAllClasses { "UNDODATA", "NSAttributedString", "NSDictionary",
        "SZGradient", "NSColor", "NSGradient", "NSMutableParagraphStyle", "NSFont",
        "NSMutableArray", "NSValue", "CIImage", "NSImage" };
    ArchiveLimits limits;
    // Small picture bounds keep single runs fast (each key's pictures are decoded twice over);
    // the checks against them are the same.
    limits.maxImageDimension = 4096;
    limits.maxImagePixels = qint64(2048) * 2048;
    const KeyedUnarchiver coder(bytes, kAllClasses, limits);
    for (const QString& key : coder.allKeys()) {
        coder.decodeInt32(key);
        coder.decodeInt64(key);
        coder.decodeFloat(key);
        coder.decodeDouble(key);
        coder.decodeBool(key);
        coder.decodeRect(key);
        coder.decodeBytes(key);
        coder.decodeString(key);
        coder.decodeObject<Color>(key);
        coder.decodeObject<Gradient>(key);
        coder.decodeObject<Image>(key);
        coder.decodeObject<Point>(key);
        coder.decodeArray(key);
        coder.decodeDictionary(key);
    }
    KeyedUnarchiver::unarchive(bytes, kAllClasses, limits);
}

} // namespace fuzzinput
