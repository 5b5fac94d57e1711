// The leanest hand-written client: what a skilled programmer writes with the
// client library's C interface for the same rows and the same window, free
// of the dataset's method. The ratio dataset / lean so shows what the
// method costs on top of our code's overhead (dataset / bare).
//
// - Its statements are prepared when the session starts and kept for its
//   life (across closing and re-opening the result): no prepare is timed.
// - No catalogue query and no main select: the cursor statements describe
//   the columns.
// - The smallest statements that deliver the rows: the order is unique (the
//   QUANTITY order is made so by ID), so a cursor re-opened at a row starts
//   strictly after (before) it and reads no row twice; no locate step. A key search reads the row by
//   key and continues from there; a nearest search's cursor goes on to fill
//   the window.
// - A post is one UPDATE of the changed column with RETURNING, whose row
//   replaces the edited row of the window; the other rows stay.
//
// Bounded: the same, with every cursor statement limited by ROWS to the
// window's size, so that a server reads no more rows than the window needs
// (the remote client otherwise fetches ahead in batches). A spent cursor is
// re-opened after the window's last row; the whole scan is not measured.
#pragma once

#include "BenchClient.h"

#include <memory>

class TLeanClientSide : public TWindowSide {
public:
    TLeanClientSide(const TBenchTarget& Target, bool Bounded);
    ~TLeanClientSide() override;

    // Everything; bounded, everything but the whole scan.
    static bool Measures(TBenchOp Op, bool Bounded) { return !(Bounded && Op == TBenchOp::Scan); }

    const char* Name() const override { return FBounded ? "bounded" : "lean"; }
    bool Supports(TBenchOp Op) const override { return Measures(Op, FBounded); }
    void Open() override;
    void Close() override;
    void FindNearest(const TBenchKey& Key) override;
    void FindByKey(int Id) override;
    void EditPost(int PriceCents) override;
    void Restart() override;
    Int64 AttachmentId() override;

    struct TImpl;

protected:
    bool GetNext(TRow& Row) override;
    bool GetPrior(TRow& Row) override;

private:
    bool FBounded;
    std::unique_ptr<TImpl> F;
};
