#include "BenchReport.h"

#include "SysUtils.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

double ToMilliseconds(double Value, benchmark::TimeUnit Unit) {
    switch (Unit) {
    case benchmark::kNanosecond:
        return Value / 1e6;
    case benchmark::kMicrosecond:
        return Value / 1e3;
    case benchmark::kMillisecond:
        return Value;
    case benchmark::kSecond:
        return Value * 1e3;
    }
    return Value;
}

double Median(std::vector<double> V) {
    if (V.empty()) return NAN;
    std::sort(V.begin(), V.end());
    size_t n = V.size();
    return n % 2 ? V[n / 2] : (V[n / 2 - 1] + V[n / 2]) / 2;
}

AnsiString TimeText(double Ms) {
    if (std::isnan(Ms)) return "n/a";
    char text[32];
    if (Ms < 1)
        std::snprintf(text, sizeof text, "%.1f us", Ms * 1e3);
    else if (Ms < 1000)
        std::snprintf(text, sizeof text, "%.2f ms", Ms);
    else
        std::snprintf(text, sizeof text, "%.3f s", Ms / 1e3);
    return text;
}

AnsiString RatioText(double R) {
    if (std::isnan(R)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, R < 100 ? "%.2f" : "%.0f", R);
    return text;
}

// Every operation of the dataset within this factor of the bare client, embedded.
constexpr double TargetRatio = 1.15;

AnsiString RowsText(Int64 Rows) {
    AnsiString digits = IntToStr(Rows), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

AnsiString MiBText(const TMemoryFigure* M, bool Peak = false) {
    if (!M) return "n/a";
    if (!M->Valid) return M->Error.empty() ? AnsiString("n/a") : AnsiString("failed");
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f MiB",
                  static_cast<double>(Peak ? M->PeakGrowthKiB() : M->GrowthKiB()) / 1024.0);
    return text;
}

// The table's heading of a side's time column.
const char* SideTitle(const AnsiString& Side) {
    if (Side == "qt") return "Qt SQL";
    if (Side == "offset") return "OFFSET";
    if (Side == "bounded") return "ROWS";
    return Side.c_str();
}

// The ratio columns: numerator and denominator side.
struct TRatioColumn {
    const char* Title;
    const char* Side;
    const char* Base;
};
const TRatioColumn RatioColumns[] = {
    {"ds/bare", "dataset", "bare"},  {"ds/lean", "dataset", "lean"},   {"Qt/ds", "qt", "dataset"},
    {"OFF/ds", "offset", "dataset"}, {"ROWS/lean", "bounded", "lean"},
};

} // namespace

void TBenchResults::Add(const benchmark::BenchmarkReporter::Run& Run) {
    auto name = FNames.find(Run.run_name.function_name);
    if (name == FNames.end() || Run.run_type != benchmark::BenchmarkReporter::Run::RT_Iteration) return;
    const TBenchCase& c = name->second;
    TSeries& s = FSeries[{c.Rows, int(c.Order), int(c.Op), c.Side}];
    if (Run.error_occurred) {
        if (s.Error.empty()) s.Error = Run.error_message;
        return;
    }
    s.Milliseconds[c.Repetition] = ToMilliseconds(Run.GetAdjustedRealTime(), Run.time_unit);
}

bool TBenchResults::IsUnavailableSkip(const benchmark::BenchmarkReporter::Run& Run) const {
    auto name = FNames.find(Run.run_name.function_name);
    return Run.error_occurred && name != FNames.end() &&
           Run.error_message == SideUnavailableReason(name->second.Side);
}

void TBenchResults::SetMemory(Int64 Rows, TBenchOrder Order, const AnsiString& Side,
                              const TMemoryFigure& Figure) {
    FMemory[{Rows, int(Order), Side}] = Figure;
}

const TBenchResults::TSeries* TBenchResults::Find(Int64 Rows, TBenchOrder Order, TBenchOp Op,
                                                  const AnsiString& Side) const {
    auto i = FSeries.find({Rows, int(Order), int(Op), Side});
    return i == FSeries.end() ? nullptr : &i->second;
}

const TMemoryFigure* TBenchResults::FindMemory(Int64 Rows, TBenchOrder Order, const char* Side) const {
    auto i = FMemory.find({Rows, int(Order), Side});
    return i == FMemory.end() ? nullptr : &i->second;
}

double TBenchResults::MedianTime(const TSeries* S) {
    if (!S) return NAN;
    std::vector<double> v;
    for (const auto& [rep, ms] : S->Milliseconds)
        v.push_back(ms);
    return Median(v);
}

double TBenchResults::MedianRatio(const TSeries* A, const TSeries* B) {
    if (!A || !B) return NAN;
    std::vector<double> v;
    for (const auto& [rep, ms] : A->Milliseconds) {
        auto b = B->Milliseconds.find(rep);
        if (b != B->Milliseconds.end() && b->second > 0 && ms > 0) v.push_back(ms / b->second);
    }
    return Median(v);
}

int TBenchResults::ErrorCount() const {
    int n = 0;
    for (const auto& [key, s] : FSeries)
        if (!s.Error.empty() && s.Error != SideUnavailableReason(std::get<3>(key))) ++n;
    for (const auto& [key, m] : FMemory)
        if (!m.Valid && !m.Error.empty()) ++n;
    return n;
}

void TBenchResults::PrintTable(std::FILE* Out, const TBenchRunInfo& Info, const std::vector<Int64>& Rows,
                               const std::vector<TBenchOrder>& Orders) const {
    auto has = [&Info](const char* Side) {
        return std::find(Info.Sides.begin(), Info.Sides.end(), AnsiString(Side)) != Info.Sides.end();
    };
    std::vector<const TRatioColumn*> ratios;
    for (const TRatioColumn& r : RatioColumns)
        if (has(r.Side) && has(r.Base)) ratios.push_back(&r);

    std::fprintf(Out, "\nIBRowvane benchmark: %s, a window of 20 rows; time per operation%s.\n",
                 Info.Where.c_str(), Info.Repetitions > 1 ? ", median of the repetitions" : "");
    std::fprintf(Out,
                 "Ratios: the median of the ratios within each repetition, where the sides ran one after "
                 "the other (bench/README.md explains each).\n");
    for (const AnsiString& side : Info.Sides)
        if (AnsiString why = SideUnavailableReason(side); !why.empty())
            std::fprintf(Out, "Side %s: %s; its figures read n/a.\n", side.c_str(), why.c_str());
    for (Int64 rows : Rows)
        for (TBenchOrder order : Orders) {
            bool any = false;
            for (const TBenchOpInfo& op : BenchOps())
                for (const AnsiString& side : Info.Sides)
                    any = any || Find(rows, order, op.Op, side);
            if (!any) continue;
            std::fprintf(Out, "\n%s rows, order %s\n", RowsText(rows).c_str(), OrderName(order));
            AnsiString line = Format("%-24s", {"operation"});
            for (const AnsiString& side : Info.Sides)
                line += Format(" %10s", {SideTitle(side)});
            line += " |";
            for (const TRatioColumn* r : ratios) {
                line += Format(" %9s", {r->Title});
                if (!Info.Remote && AnsiString(r->Base) == "bare") line += Format(" %-13s", {"target"});
            }
            std::fprintf(Out, "%s\n", line.c_str());
            for (const TBenchOpInfo& op : BenchOps()) {
                bool measured = false;
                for (const AnsiString& side : Info.Sides)
                    measured = measured || Find(rows, order, op.Op, side);
                if (!measured) continue; // filtered out
                line = Format("%-24s", {op.Title});
                for (const AnsiString& side : Info.Sides) {
                    const TSeries* s = Find(rows, order, op.Op, side);
                    AnsiString cell = !Measured(side, order, op.Op) ? AnsiString("-")
                                      : s && s->Milliseconds.empty() && !s->Error.empty()
                                          ? AnsiString("failed")
                                          : TimeText(MedianTime(s));
                    line += Format(" %10s", {cell});
                }
                line += " |";
                for (const TRatioColumn* r : ratios) {
                    bool both = Measured(r->Side, order, op.Op) && Measured(r->Base, order, op.Op);
                    double ratio =
                        MedianRatio(Find(rows, order, op.Op, r->Side), Find(rows, order, op.Op, r->Base));
                    line += Format(" %9s", {both ? RatioText(ratio) : AnsiString("-")});
                    if (!Info.Remote && AnsiString(r->Base) == "bare") {
                        AnsiString verdict = std::isnan(ratio)      ? AnsiString()
                                             : ratio <= TargetRatio ? AnsiString("met")
                                                                    : AnsiString("MISSED");
                        line += Format(" %-13s", {Format("<=%.2f ", {TargetRatio}) + verdict});
                    }
                }
                std::fprintf(Out, "%s\n", TrimRight(line).c_str());
            }
        }
    PrintMemory(Out, Rows, Orders);
}

void TBenchResults::PrintMemory(std::FILE* Out, const std::vector<Int64>& Rows,
                                const std::vector<TBenchOrder>& Orders) const {
    if (FMemory.empty()) return;
    std::fprintf(Out,
                 "\nResident memory growth over open, Last, First, 100 page-downs and a whole scan (Qt SQL: "
                 "open and Last), the result still open; each side in a process of its own (peak in "
                 "brackets)\n");
    const char* memHead = "%-12s %-12s %-24s %-24s %-14s %-26s\n";
    std::fprintf(Out, memHead, "rows", "order", "bare", "dataset", "dataset-bare", "Qt SQL");
    auto growth = [this](Int64 Rows, TBenchOrder Order, const char* Side) -> const TMemoryFigure* {
        const TMemoryFigure* m = FindMemory(Rows, Order, Side);
        return m && m->Valid ? m : nullptr;
    };
    auto mib = [](double KiB) {
        char text[32];
        std::snprintf(text, sizeof text, "%+.2f MiB", KiB / 1024.0);
        return AnsiString(text);
    };
    for (Int64 rows : Rows)
        for (TBenchOrder order : Orders) {
            if (!FindMemory(rows, order, "bare") && !FindMemory(rows, order, "dataset")) continue;
            AnsiString cells[3];
            for (int i = 0; i < 3; ++i) {
                const TMemoryFigure* m = FindMemory(rows, order, MemorySideNames[i]);
                cells[i] = MiBText(m);
                if (m && m->Valid) cells[i] += " (" + MiBText(m, true) + ")";
            }
            const TMemoryFigure* b = growth(rows, order, "bare");
            const TMemoryFigure* d = growth(rows, order, "dataset");
            AnsiString net = b && d ? mib(double(d->GrowthKiB() - b->GrowthKiB())) : AnsiString("n/a");
            std::fprintf(Out, memHead, RowsText(rows).c_str(), OrderName(order), cells[0].c_str(),
                         cells[1].c_str(), net.c_str(), cells[2].c_str());
        }
    if (Rows.size() < 2) return;
    Int64 small = Rows.front(), large = Rows.back();
    for (TBenchOrder order : Orders) {
        if (!FindMemory(large, order, "dataset")) continue;
        const TMemoryFigure* a = growth(small, order, "dataset");
        const TMemoryFigure* b = growth(large, order, "dataset");
        const TMemoryFigure* ea = growth(small, order, "bare");
        const TMemoryFigure* eb = growth(large, order, "bare");
        AnsiString verdict = "n/a";
        if (a && b) {
            double d = double(b->GrowthKiB() - a->GrowthKiB());
            verdict = mib(d) + (std::fabs(d) <= 1024.0 ? ", met" : ", MISSED");
        }
        AnsiString engine = ea && eb ? mib(double(eb->GrowthKiB() - ea->GrowthKiB())) : AnsiString("n/a");
        std::fprintf(
            Out,
            "dataset growth at %s rows against %s rows, order %s: %s (target: within 1 MiB; the bare "
            "client's own difference, the engine's part: %s)\n",
            RowsText(large).c_str(), RowsText(small).c_str(), OrderName(order), verdict.c_str(),
            engine.c_str());
    }
}

void TCollectingReporter::ReportRuns(const std::vector<Run>& Reports) {
    // Runs of a side that is not available here show in the table only.
    std::vector<Run> shown;
    for (const Run& r : Reports) {
        FResults.Add(r);
        if (!FResults.IsUnavailableSkip(r)) shown.push_back(r);
    }
    if (!shown.empty()) benchmark::ConsoleReporter::ReportRuns(shown);
}
