// The results of one run and the compact table printed at its end: per row
// count, order and operation the time of each side, the ratios dataset /
// bare client and Qt SQL / dataset (and Qt SQL / bare client), the targets,
// and the resident memory each side grows by.
#pragma once

#include "BenchMemory.h"
#include "BenchOps.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <tuple>

struct TBenchCase {
    Int64 Rows = 0;
    TBenchOrder Order = TBenchOrder::Id;
    TBenchOp Op = TBenchOp::Open;
    AnsiString Side;
};

class TBenchResults {
public:
    struct TFigure {
        bool Valid = false;
        bool Median = false; // from repetitions
        double Milliseconds = 0;
        AnsiString Error;
    };

    void Register(const AnsiString& Name, const TBenchCase& Case) { FNames[Name] = Case; }
    void Add(const benchmark::BenchmarkReporter::Run& Run);
    void SetMemory(Int64 Rows, TBenchOrder Order, const AnsiString& Side, const TMemoryFigure& Figure);

    // Failures other than the sides that are not available here.
    int ErrorCount() const;
    // A run skipped because its side is not available here.
    bool IsUnavailableSkip(const benchmark::BenchmarkReporter::Run& Run) const;
    void PrintTable(std::FILE* Out, const std::vector<Int64>& Rows, const std::vector<TBenchOrder>& Orders,
                    int Repetitions) const;

private:
    using TKey = std::tuple<Int64, int, int, AnsiString>;
    static TKey Key(const TBenchCase& C) { return {C.Rows, int(C.Order), int(C.Op), C.Side}; }
    const TFigure* Find(Int64 Rows, TBenchOrder Order, TBenchOp Op, const char* Side) const;
    const TMemoryFigure* FindMemory(Int64 Rows, TBenchOrder Order, const char* Side) const;

    std::map<AnsiString, TBenchCase> FNames;
    std::map<TKey, TFigure> FFigures;
    std::map<std::tuple<Int64, int, AnsiString>, TMemoryFigure> FMemory;
};

// The console reporter, also handing every run to the results.
class TCollectingReporter : public benchmark::ConsoleReporter {
public:
    explicit TCollectingReporter(TBenchResults& Results) : FResults(Results) {}
    void ReportRuns(const std::vector<Run>& Reports) override;

private:
    TBenchResults& FResults;
};
