// Feeds arbitrary bytes to the keyed-archive reader with every class allowed and reads every
// key in every way a client might. Any crash, leak or undefined behaviour is a finding.
#include "platform/archive/KeyedUnarchiver.h"

#include <QLoggingCategory>
#include <cstddef>
#include <cstdint>

using namespace platform;

namespace {

const QStringList kAllClasses { "UNDODATA", "NSAttributedString", "NSDictionary", "SZGradient",
    "NSColor", "NSGradient", "NSMutableParagraphStyle", "NSFont", "NSMutableArray", "NSValue",
    "CIImage", "NSImage" };

void readAll(const KeyedUnarchiver& coder)
{
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
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("quillmark.archive.debug=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes
        = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    ArchiveLimits limits;
    limits.maxImageDimension = 4096; // keeps single runs fast; the checks are the same
    const KeyedUnarchiver coder(bytes, kAllClasses, limits);
    readAll(coder);
    KeyedUnarchiver::unarchive(bytes, kAllClasses, limits);
    return 0;
}
