// libFuzzer target for opening a document file; the work is in DocumentInput.h.
#include "DocumentInput.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // What the window stores in its settings goes to a throw-away folder, never the user's.
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    // Never destroyed: among the exit handlers it would outlive Qt's own globals (its input
    // devices), and the process ends right after the last input anyway.
    static QApplication* const app = std::make_unique<QApplication>(*argc, *argv).release();
    (void)app;
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.warning=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzinput::openDocument(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
