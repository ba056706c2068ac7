// Feeds arbitrary bytes to the picture loader. A picture either loads whole or gives an error
// value; any crash, leak, undefined behaviour or runaway allocation is a finding.
#include "platform/imaging/PictureLoader.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.warning=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto picture = platform::PictureLoader::load(bytes);
    (void)picture;
    return 0;
}
