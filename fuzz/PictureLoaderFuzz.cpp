// libFuzzer target for the picture loader; the work is in PictureInput.h.
#include "PictureInput.h"

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
    // A copy rather than raw data: the loader may keep what it is given.
    fuzzinput::loadPicture(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
