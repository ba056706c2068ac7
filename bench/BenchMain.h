#pragma once
// The main of a benchmark program that needs a Qt application (App: QGuiApplication or
// QApplication), headless unless the caller chose a platform. A program that reads the
// results itself passes its own display reporter and what to do once all have run.
#include <QByteArray>
#include <QtGlobal>
#include <benchmark/benchmark.h>

template <typename App>
int runBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter* display = nullptr,
    void (*afterwards)() = nullptr)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(display);
    if (afterwards)
        afterwards();
    benchmark::Shutdown();
    return 0;
}
