// The common alternative to keyset paging: every window read by its place,
// "ORDER BY column OFFSET top ROWS FETCH NEXT 20 ROWS ONLY", with the client
// library's C interface and the statement prepared once for the session. The
// side knows the table's row count, as a paging grid that counted once would
// (not timed). The engine reads every row before the window, so the cost of
// a window grows with its place; it measures the first, the last and the
// middle window and pages from the start and from the middle.
#pragma once

#include "BenchClient.h"

#include <memory>

class TOffsetSide : public TBenchSide {
public:
    explicit TOffsetSide(const TBenchTarget& Target);
    ~TOffsetSide() override;

    // Open, Last, First after Last, the page moves and the middle window.
    static bool Measures(TBenchOp Op);

    const char* Name() const override { return "offset"; }
    bool Supports(TBenchOp Op) const override { return Measures(Op); }
    void Open() override;
    void Close() override;
    void First() override;
    void Last() override;
    // One page on: OFFSET paging reads the first page alike from anywhere,
    // and the last page would cost a read of the table per iteration.
    void LeaveFirstWindow() override { PageDown(); }
    void PageDown() override;
    void PageUp() override;
    void GoToRow(Int64 Rank, int Id) override;
    void Restart() override;
    TBenchWindow Window() override;
    Int64 AttachmentId() override;

    struct TImpl;

private:
    std::unique_ptr<TImpl> F;
};
