// What the benchmarks of windows share: options of their own taken out
// before Google Benchmark reads the rest, the application object on the
// offscreen platform, and a reporter that keeps each run's time by name.
#pragma once

#include "Forms.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Runs Own on every argument; what it does not take is left for Google
// Benchmark. Then the application (offscreen unless a platform is set) and
// Google Benchmark are set up.
class TQtBench {
public:
    TQtBench(int argc, char** argv, const std::function<bool(const char*)>& Own) : FArgs{argv[0]} {
        for (int i = 1; i < argc; ++i)
            if (!Own(argv[i])) FArgs.push_back(argv[i]);
        FCount = static_cast<int>(FArgs.size());
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        FApp = std::make_unique<TApplication>(FCount, FArgs.data());
        benchmark::Initialize(&FCount, FArgs.data());
    }

private:
    std::vector<char*> FArgs;
    int FCount = 0;
    std::unique_ptr<TApplication> FApp;
};

// Each run's wall-clock time in its unit, by the name it was registered
// under; with repetitions, the median.
class TTimesReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& Reports) override {
        ConsoleReporter::ReportRuns(Reports);
        for (const Run& r : Reports) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            if (!r.error_occurred && r.iterations > 0) Times[r.run_name.function_name] = r.GetAdjustedRealTime();
        }
    }
    std::map<std::string, double> Times;
};
