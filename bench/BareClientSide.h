// The limit: the dataset's work done directly with the client library's C
// interface (isc_* functions), with no layer in between. It sends the
// dataset's statements (BenchStatements.h), keeps the same two cursors and
// fetches the same rows, and moves a 20-row window as the framework's buffer
// ring does for a grid. What it leaves out is the dataset's own cost: record
// buffers, fields, parameter objects, SQL text building. The ratio dataset /
// bare is so the overhead of our code over the same method.
//
// The same steps as the dataset (see DatasetOps.h for the mapping):
// - the forward cursor (modes 1 and 2) and the backward cursor (modes 3 and
//   4) are one statement each, re-prepared only when the mode changes;
// - a cursor continues while it stands on the position; otherwise it is
//   re-opened with the keyset condition at the position's order value and
//   moved onto the position row;
// - the current row is re-read by key; a post closes both cursors;
// - opening prepares the main select and asks the catalogue whether each
//   column is computed, as the dataset's field definitions do.
#pragma once

#include "BenchClient.h"

#include <memory>

class TBareClientSide : public TWindowSide {
public:
    explicit TBareClientSide(const TBenchTarget& Target);
    ~TBareClientSide() override;

    const char* Name() const override { return "bare"; }
    bool Supports(TBenchOp) const override { return true; }
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
    std::unique_ptr<TImpl> F;
};
