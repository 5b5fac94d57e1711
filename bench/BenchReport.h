// The results of one run and the compact table printed at its end: per row
// count, order and operation the time of each side (median of the
// repetitions) and the ratios between sides, each the median of the ratios
// taken within one repetition (where the sides ran one after the other), the
// targets, and the resident memory each side grows by.
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
    int Repetition = 0;
};

// How the run reached the database, for the table's title and targets.
struct TBenchRunInfo {
    bool Remote = false;
    AnsiString Where; // "embedded engine" or the server's address
    std::vector<AnsiString> Sides;
    int Repetitions = 1;
};

class TBenchResults {
public:
    void Register(const AnsiString& Name, const TBenchCase& Case) { FNames[Name] = Case; }
    void Add(const benchmark::BenchmarkReporter::Run& Run);
    void SetMemory(Int64 Rows, TBenchOrder Order, const AnsiString& Side, const TMemoryFigure& Figure);

    // Failures other than the sides that are not available here.
    int ErrorCount() const;
    // A run skipped because its side is not available here.
    bool IsUnavailableSkip(const benchmark::BenchmarkReporter::Run& Run) const;
    void PrintTable(std::FILE* Out, const TBenchRunInfo& Info, const std::vector<Int64>& Rows,
                    const std::vector<TBenchOrder>& Orders) const;

private:
    // One side's figures of one operation, by repetition.
    struct TSeries {
        std::map<int, double> Milliseconds;
        AnsiString Error;
    };
    using TKey = std::tuple<Int64, int, int, AnsiString>;
    const TSeries* Find(Int64 Rows, TBenchOrder Order, TBenchOp Op, const AnsiString& Side) const;
    const TMemoryFigure* FindMemory(Int64 Rows, TBenchOrder Order, const char* Side) const;
    static double MedianTime(const TSeries* S);
    // The median over the repetitions both sides ran of A / B.
    static double MedianRatio(const TSeries* A, const TSeries* B);
    void PrintMemory(std::FILE* Out, const std::vector<Int64>& Rows,
                     const std::vector<TBenchOrder>& Orders) const;

    std::map<AnsiString, TBenchCase> FNames;
    std::map<TKey, TSeries> FSeries;
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
