#pragma once
// The main of a benchmark program that needs a Qt application (App: QGuiApplication or
// QApplication), headless unless the caller chose a platform. A program that reads the
// results itself passes its own display reporter and what to do once all have run.
#include <QByteArray>
#include <QtGlobal>
#include <benchmark/benchmark.h>
#include <map>
#include <string>

// Prints the table as usual and keeps each benchmark's median (or its only run), by name with
// its arguments, for ratios printed at the end.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median" || run.repetitions <= 1)
                medians[run.run_name.function_name
                    + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)]
                    = run.GetAdjustedRealTime();
        }
    }
    // The median of name, 0 when it did not run.
    double find(const std::string& name) const
    {
        const auto it = medians.find(name);
        return it == medians.end() ? 0.0 : it->second;
    }
};

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
