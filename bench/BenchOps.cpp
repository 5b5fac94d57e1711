#include "BenchOps.h"

#include "BareClientSide.h"
#include "DatasetOps.h"
#include "LeanClientSide.h"
#include "OffsetSide.h"
#include "QtSqlSide.h"
#include "SysUtils.h"

#include <algorithm>
#include <cmath>

std::vector<AnsiString> BenchSides(bool Remote) {
    if (Remote) return {"bare", "lean", "bounded", "dataset", "qt", "offset"};
    return {"bare", "lean", "dataset", "qt", "offset"};
}

const char* const MemorySideNames[3] = {"bare", "dataset", "qt"};

AnsiString SideUnavailableReason(const AnsiString& Name) {
    if (Name == "dataset") return DatasetSideAvailable() ? AnsiString() : AnsiString("dataset not built yet");
    if (Name == "qt") return TQtSqlSide::UnavailableReason();
    if (Name == "bare" || Name == "lean" || Name == "bounded" || Name == "offset") return AnsiString();
    return "no side " + Name;
}

bool SideSupports(const AnsiString& Name, TBenchOp Op) {
    if (Name == "qt") return TQtSqlSide::Measures(Op);
    if (Name == "dataset") return DatasetSideSupports(Op);
    if (Name == "offset") return TOffsetSide::Measures(Op);
    if (Name == "bounded") return TLeanClientSide::Measures(Op, true);
    return true;
}

bool OrderSupports(TBenchOrder Order, TBenchOp Op) {
    if (Order != TBenchOrder::Quantity) return true;
    return Op == TBenchOp::Open || Op == TBenchOp::Last || Op == TBenchOp::FirstAfterLast ||
           Op == TBenchOp::PageDown;
}

bool Measured(const AnsiString& Side, TBenchOrder Order, TBenchOp Op) {
    if (!SideSupports(Side, Op) || !OrderSupports(Order, Op)) return false;
    // Without an index every page read afresh sorts the table.
    return Order != TBenchOrder::Quantity || (Side != "bounded" && Side != "offset");
}

std::unique_ptr<TBenchSide> CreateBenchSide(const AnsiString& Name, const TBenchTarget& Target) {
    AnsiString why = SideUnavailableReason(Name);
    if (!why.empty()) throw EBenchUnsupported(why);
    if (Name == "bare") return std::make_unique<TBareClientSide>(Target);
    if (Name == "lean" || Name == "bounded")
        return std::make_unique<TLeanClientSide>(Target, Name == "bounded");
    if (Name == "offset") return std::make_unique<TOffsetSide>(Target);
    if (Name == "qt") return std::make_unique<TQtSqlSide>(Target);
    return CreateDatasetSide(Target);
}

const std::vector<TBenchOpInfo>& BenchOps() {
    static const std::vector<TBenchOpInfo> ops = {
        {TBenchOp::Open, "Open", "open, first window"},
        {TBenchOp::Last, "Last", "Last"},
        {TBenchOp::FirstAfterLast, "FirstAfterLast", "First after Last"},
        {TBenchOp::PageDown, "PageDown100", "100 page-downs"},
        {TBenchOp::PageUpDown, "PageUpDown100", "100 page-ups/downs"},
        {TBenchOp::FindNearest, "FindNearest100", "100 nearest searches"},
        {TBenchOp::FindByKey, "FindByKey100", "100 primary-key searches"},
        {TBenchOp::Scan, "Scan", "whole scan with Next"},
        {TBenchOp::EditPost, "EditPost100", "100 edit-and-post"},
        {TBenchOp::Middle, "Middle", "middle window"},
        {TBenchOp::PageDownMiddle, "PageDownMiddle10", "10 page-downs, middle"},
    };
    return ops;
}

const TBenchOpInfo& BenchOpInfo(TBenchOp Op) {
    for (const TBenchOpInfo& i : BenchOps())
        if (i.Op == Op) return i;
    throw Exception("unknown bench operation");
}

TBenchPlan MakeBenchPlan(const TBenchData& Data, TBenchOrder Order, int WindowRows) {
    Int64 n = Data.GetRowCount();
    Int64 span = n - 2 * WindowRows;
    if (span < 1) throw Exception("The bench table needs more than two windows of rows");
    TBenchPlan plan;
    for (int k = 0; k < BenchRepeat; ++k) {
        // Spread over the table (golden-section steps), a window away from either end.
        double f = std::fmod((k + 1) * 0.6180339887498949, 1.0);
        Int64 rank = WindowRows + static_cast<Int64>(f * static_cast<double>(span));
        int id = Data.IdAtRank(Order, rank);
        TBenchKey key;
        if (Order == TBenchOrder::Id) {
            key.Id = id;
            plan.NearestRank.push_back(rank);
            plan.Nearest.push_back(key);
        } else if (Order == TBenchOrder::Description) {
            // A prefix between rows, as incremental search types it: it finds
            // the first description at or after it.
            AnsiString text = TBenchData::DescriptionOfRank(rank);
            key.Description = text.substr(0, text.size() - 1);
            plan.NearestRank.push_back(rank / 10 * 10);
            plan.Nearest.push_back(key);
        }
        plan.ByKey.push_back(id);
        plan.ByKeyRank.push_back(rank);
    }
    plan.MiddleRank = n / 2;
    plan.MiddleId = Data.IdAtRank(Order, plan.MiddleRank);
    return plan;
}

void SetUpOp(TBenchOp Op, TBenchSide& Side, const TBenchPlan& Plan) {
    if (Op == TBenchOp::Open) return;
    Side.Open();
    if (Op == TBenchOp::FirstAfterLast) Side.LeaveFirstWindow();
    if (Op == TBenchOp::PageUpDown) Side.PageDown();
    if (Op == TBenchOp::PageDownMiddle) Side.GoToRow(Plan.MiddleRank, Plan.MiddleId);
}

namespace {
int PriceOfCycle(int K) {
    return 100 + K * 37;
}
} // namespace

void RunOp(TBenchOp Op, TBenchSide& Side, const TBenchPlan& Plan, Int64 RowCount) {
    switch (Op) {
    case TBenchOp::Open:
        Side.Open();
        break;
    case TBenchOp::Last:
        Side.Last();
        break;
    case TBenchOp::FirstAfterLast:
        Side.First();
        break;
    case TBenchOp::PageDown:
        for (int k = 0; k < BenchRepeat; ++k)
            Side.PageDown();
        break;
    case TBenchOp::PageUpDown:
        for (int k = 0; k < BenchRepeat; ++k)
            k % 2 == 0 ? Side.PageUp() : Side.PageDown();
        break;
    case TBenchOp::FindNearest:
        for (const TBenchKey& key : Plan.Nearest)
            Side.FindNearest(key);
        break;
    case TBenchOp::FindByKey:
        for (int id : Plan.ByKey)
            Side.FindByKey(id);
        break;
    case TBenchOp::Scan: {
        Int64 rows = Side.Scan();
        if (rows != RowCount)
            throw Exception(AnsiString(Side.Name()) + ": the scan passed " + IntToStr(rows) + " of " +
                            IntToStr(RowCount) + " rows");
        break;
    }
    case TBenchOp::EditPost:
        for (int k = 0; k < BenchRepeat; ++k)
            Side.EditPost(PriceOfCycle(k));
        break;
    case TBenchOp::Middle:
        Side.GoToRow(Plan.MiddleRank, Plan.MiddleId);
        break;
    case TBenchOp::PageDownMiddle:
        for (int k = 0; k < BenchMiddleRepeat; ++k)
            Side.PageDown();
        break;
    }
}

void TearDownOp(TBenchOp Op, TBenchSide& Side) {
    Side.Close();
    if (Op == TBenchOp::EditPost) Side.Restart();
}

TBenchWindow ExpectedWindow(TBenchOp Op, const TBenchData& Data, TBenchOrder Order, const TBenchPlan& Plan,
                            int WindowRows) {
    Int64 n = Data.GetRowCount();
    Int64 w = WindowRows;
    Int64 lastTop = std::max<Int64>(0, n - w);
    auto centred = [&](Int64 Rank) { return std::clamp<Int64>(Rank - (w - 1) / 2, 0, lastTop); };
    Int64 top = 0;
    switch (Op) {
    case TBenchOp::Open:
    case TBenchOp::FirstAfterLast:
    case TBenchOp::EditPost:
        top = 0;
        break;
    case TBenchOp::Last:
    case TBenchOp::Scan:
        top = lastTop;
        break;
    case TBenchOp::PageDown:
        top = std::min<Int64>(BenchRepeat * w, lastTop);
        break;
    case TBenchOp::PageUpDown:
        top = std::min(w, lastTop);
        break;
    case TBenchOp::FindNearest:
        top = centred(Plan.NearestRank.back());
        break;
    case TBenchOp::FindByKey:
        top = centred(Plan.ByKeyRank.back());
        break;
    case TBenchOp::Middle:
        top = centred(Plan.MiddleRank);
        break;
    case TBenchOp::PageDownMiddle:
        top = std::min(centred(Plan.MiddleRank) + BenchMiddleRepeat * w, lastTop);
        break;
    }
    TBenchWindow ids;
    for (Int64 r = top; r < std::min(n, top + w); ++r)
        ids.push_back(Data.IdAtRank(Order, r));
    return ids;
}

void RunMemorySequence(TBenchSide& Side, Int64 RowCount) {
    Side.Open();
    if (Side.Supports(TBenchOp::Last)) Side.Last();
    if (Side.Supports(TBenchOp::FirstAfterLast)) Side.First();
    if (Side.Supports(TBenchOp::PageDown))
        for (int k = 0; k < BenchRepeat; ++k)
            Side.PageDown();
    if (Side.Supports(TBenchOp::Scan)) {
        Int64 rows = Side.Scan();
        if (rows != RowCount) throw Exception(AnsiString(Side.Name()) + ": the scan missed rows");
    }
}
