#include "BenchReport.h"

#include "SysUtils.h"

#include <cmath>

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

AnsiString TimeText(const TBenchResults::TFigure* F) {
    if (!F || !F->Valid) return "n/a";
    char text[32];
    double ms = F->Milliseconds;
    if (ms < 1)
        std::snprintf(text, sizeof text, "%.1f us", ms * 1e3);
    else if (ms < 1000)
        std::snprintf(text, sizeof text, "%.2f ms", ms);
    else
        std::snprintf(text, sizeof text, "%.3f s", ms / 1e3);
    return text;
}

bool Has(const TBenchResults::TFigure* F) {
    return F && F->Valid && F->Milliseconds > 0;
}

AnsiString RatioText(const TBenchResults::TFigure* A, const TBenchResults::TFigure* B) {
    if (!Has(A) || !Has(B)) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", A->Milliseconds / B->Milliseconds);
    return text;
}

// The targets of the dataset against the bare client.
double TargetRatio(TBenchOp Op) {
    switch (Op) {
    case TBenchOp::Last:
        return 1.5;
    case TBenchOp::PageDown:
        return 1.3;
    case TBenchOp::Scan:
        return 1.7;
    default:
        return 0;
    }
}

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

} // namespace

void TBenchResults::Add(const benchmark::BenchmarkReporter::Run& Run) {
    auto name = FNames.find(Run.run_name.function_name);
    if (name == FNames.end()) return;
    TFigure& f = FFigures[Key(name->second)];
    if (Run.error_occurred) {
        if (!f.Valid) f.Error = Run.error_message;
        return;
    }
    bool median = Run.run_type == benchmark::BenchmarkReporter::Run::RT_Aggregate;
    if (median && Run.aggregate_name != "median") return;
    if (!median && f.Median) return;
    f.Valid = true;
    f.Median = median;
    f.Milliseconds = ToMilliseconds(Run.GetAdjustedRealTime(), Run.time_unit);
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

const TBenchResults::TFigure* TBenchResults::Find(Int64 Rows, TBenchOrder Order, TBenchOp Op,
                                                  const char* Side) const {
    auto i = FFigures.find({Rows, int(Order), int(Op), Side});
    return i == FFigures.end() ? nullptr : &i->second;
}

const TMemoryFigure* TBenchResults::FindMemory(Int64 Rows, TBenchOrder Order, const char* Side) const {
    auto i = FMemory.find({Rows, int(Order), Side});
    return i == FMemory.end() ? nullptr : &i->second;
}

int TBenchResults::ErrorCount() const {
    int n = 0;
    for (const auto& [key, f] : FFigures)
        if (!f.Valid && !f.Error.empty() && f.Error != SideUnavailableReason(std::get<3>(key))) ++n;
    for (const auto& [key, m] : FMemory)
        if (!m.Valid && !m.Error.empty()) ++n;
    return n;
}

void TBenchResults::PrintTable(std::FILE* Out, const std::vector<Int64>& Rows,
                               const std::vector<TBenchOrder>& Orders, int Repetitions) const {
    std::fprintf(Out, "\nIBRowvane benchmark: embedded engine, a window of 20 rows; time per operation%s.\n",
                 Repetitions > 1 ? ", median of the repetitions" : "");
    std::fprintf(Out, "Ratios are taken within this run: dataset / bare client library, Qt SQL / dataset, "
                      "Qt SQL / bare client library.\n");
    for (const char* side : BenchSideNames)
        if (AnsiString why = SideUnavailableReason(side); !why.empty())
            std::fprintf(Out, "Side %s: %s; its figures read n/a.\n", side, why.c_str());
    const char* head = "%-24s %11s %11s %8s %7s %11s %8s %8s\n";
    for (Int64 rows : Rows)
        for (TBenchOrder order : Orders) {
            bool any = false;
            for (const TBenchOpInfo& op : BenchOps())
                for (const char* side : BenchSideNames)
                    any = any || Find(rows, order, op.Op, side);
            if (!any) continue;
            std::fprintf(Out, "\n%s rows, order %s\n", RowsText(rows).c_str(), OrderName(order));
            std::fprintf(Out, head, "operation", "bare", "dataset", "ds/bare", "target", "Qt SQL", "Qt/ds",
                         "Qt/bare");
            for (const TBenchOpInfo& op : BenchOps()) {
                const TFigure* bare = Find(rows, order, op.Op, "bare");
                const TFigure* ds = Find(rows, order, op.Op, "dataset");
                const TFigure* qt = Find(rows, order, op.Op, "qt");
                if (!bare && !ds && !qt) continue;
                AnsiString target;
                if (double t = TargetRatio(op.Op); t > 0) {
                    char text[16];
                    std::snprintf(text, sizeof text, "<=%.1f", t);
                    target = text;
                    if (Has(ds) && Has(bare))
                        target += ds->Milliseconds / bare->Milliseconds <= t ? " met" : " MISSED";
                }
                bool qtRuns = SideSupports("qt", op.Op);
                std::fprintf(Out, head, op.Title, TimeText(bare).c_str(), TimeText(ds).c_str(),
                             RatioText(ds, bare).c_str(), target.c_str(), qtRuns ? TimeText(qt).c_str() : "-",
                             qtRuns ? RatioText(qt, ds).c_str() : "-",
                             qtRuns ? RatioText(qt, bare).c_str() : "-");
            }
        }

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
            const char* sides[3] = {"bare", "dataset", "qt"};
            for (int i = 0; i < 3; ++i) {
                const TMemoryFigure* m = FindMemory(rows, order, sides[i]);
                cells[i] = MiBText(m);
                if (m && m->Valid) cells[i] += " (" + MiBText(m, true) + ")";
            }
            const TMemoryFigure* b = growth(rows, order, "bare");
            const TMemoryFigure* d = growth(rows, order, "dataset");
            AnsiString net = b && d ? mib(double(d->GrowthKiB() - b->GrowthKiB())) : AnsiString("n/a");
            std::fprintf(Out, memHead, RowsText(rows).c_str(), OrderName(order), cells[0].c_str(),
                         cells[1].c_str(), net.c_str(), cells[2].c_str());
        }
    if (Rows.size() >= 2) {
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
