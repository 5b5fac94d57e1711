// The common alternative: Qt SQL's Firebird driver (QIBASE) with a
// QSqlQueryModel, used as a grid over that model would use it. It runs the
// forward cursor's statement of the order; opening fetches until the row
// count covers the window, Last fetches everything (the model keeps every
// row it has fetched) and reads the last window's cells.
#pragma once

#include "BenchSide.h"

#include <memory>

class TQtSqlSide : public TBenchSide {
public:
    explicit TQtSqlSide(const TBenchTarget& Target);
    ~TQtSqlSide() override;

    // Empty when Qt's Firebird driver can be loaded; else why not.
    static AnsiString UnavailableReason();

    // Open and Last only.
    static bool Measures(TBenchOp Op) { return Op == TBenchOp::Open || Op == TBenchOp::Last; }

    const char* Name() const override { return "qt"; }
    bool Supports(TBenchOp Op) const override { return Measures(Op); }
    void Open() override;
    void Close() override;
    void Last() override;
    void Restart() override {}
    TBenchWindow Window() override;
    Int64 AttachmentId() override;

    struct TImpl;

private:
    std::unique_ptr<TImpl> F;
};
