#pragma once
// The main of a benchmark program that needs a Qt application (App: QGuiApplication or
// QApplication), headless unless the caller chose a platform.
#include <QByteArray>
#include <QtGlobal>
#include <benchmark/benchmark.h>

template <typename App> int runBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
