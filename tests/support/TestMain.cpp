// One QApplication for the whole test run: fonts, pictures and widgets need it. Tests run
// headless (QT_QPA_PLATFORM=offscreen is set by CTest and defaulted here), with their data
// folder in QUILLMARK_TEST_DATA.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    if (qgetenv("QUILLMARK_TEST_DATA").isEmpty())
        qputenv("QUILLMARK_TEST_DATA", QByteArray(QUILLMARK_TEST_DATA_DIR));
    // Settings written by tests go to a throw-away configuration folder, never the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
