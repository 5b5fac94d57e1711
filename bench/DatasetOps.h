// The dataset's side of the benchmark: TIBRowvaneKV through its public
// interface, with a data link that asks for 20 rows as a grid does.
//
// An operation the side does not support yet (DatasetSideSupports) is not
// registered; its cells read n/a. Every window the dataset shows is checked
// against the bare client's and the expected rows by `scripts/bench`
// (--kv-check) and by the smoke test.
//
// What the constructor builds, from the target:
//   - TIBDatabase: DatabaseName = Target.DatabaseName (the file through the
//     embedded engine, or "127.0.0.1/port:file" through a server),
//     LoginPrompt false, SQLDialect 3, Params "USER_NAME=" + Target.User and
//     "PASSWORD=" + Target.Password; connected.
//   - TIBTransaction with no Params (the engine's default, as the bare client
//     uses), DefaultDatabase the database, started.
//   - TIBRowvaneKV: Database, Transaction; SelectSQL BenchSelectSQL;
//     KeyColumns BenchKeyColumns; OrderItems the lines of BenchOrderItems;
//     OrderItemId BenchOrderItemId(Target.Order). PessimisticLocking and
//     RefreshBeforeEdit stay off (the defaults).
//   - A TDataSource over it and a TDataLink with BufferCount =
//     Target.WindowRows, as a grid's link.
// The statements the dataset then sends are those of BenchStatements.h; the
// bare client sends exactly these, so a difference in them is a difference
// in the work compared.
//
// Each function, what it calls, and what the bare client does for it
// (BareClientSide.cpp). The timed work is only what the operation table in
// BenchOps.h marks as timed; set-up and checks run outside the clock.
#pragma once

#include "BenchSide.h"

#include <memory>

// True once the dataset side is filled in.
bool DatasetSideAvailable();
// The operations the dataset side measures: all of them.
bool DatasetSideSupports(TBenchOp Op);
// The dataset side, or none while it is not available.
std::unique_ptr<TBenchSide> CreateDatasetSide(const TBenchTarget& Target);

class TDatasetBenchSide : public TBenchSide {
public:
    explicit TDatasetBenchSide(const TBenchTarget& Target);
    // Closes the dataset, rolls the transaction back, disconnects.
    ~TDatasetBenchSide() override;

    const char* Name() const override { return "dataset"; }
    bool Supports(TBenchOp Op) const override { return DatasetSideSupports(Op); }

    // Active = true (Open). The link then fills its 20 rows.
    // Bare: prepare the select; forward cursor in mode 1, executed, 20 rows fetched.
    void Open() override;
    // Active = false (Close): the dataset unprepares its statements.
    // Bare: both cursors to mode 0, refresh, update and select statements freed.
    void Close() override;
    // First(). Bare: forward cursor re-executed (mode 1), 20 rows.
    void First() override;
    // Last(). Bare: backward cursor (mode 3) executed, 20 rows.
    void Last() override;
    // The window moves on by 20 rows: put the active record on the window's
    // last row (MoveBy within the window, no fetch), then MoveBy(20).
    // Bare: 20 rows from the forward cursor, which continues when it stands
    // on the window's last row, else is re-opened there (mode 2) and located.
    void PageDown() override;
    // Mirror image: the active record to the first row, then MoveBy(-20).
    // Bare: 20 rows from the backward cursor, re-opened (mode 4) and located
    // at the window's first row after a page-down.
    void PageUp() override;
    // SetKey(true); the order's field (ID: Key.Id as integer, DESCRIPTION:
    // Key.Description as string); GotoKey(false, false, -1, true), as the
    // demonstration program's incremental search.
    // Bare: forward cursor re-opened at the key (mode 2), one row; then the
    // centred window: backward cursor at the row (mode 4), located, 9 rows;
    // forward cursor at the row (mode 2), located, 10 rows.
    void FindNearest(const TBenchKey& Key) override;
    // SetKey(true); ID as integer = Id; GotoKey(true, true, -1, true).
    // Bare: refresh statement by key (executed, one row, closed); then the
    // centred window as above.
    void FindByKey(int Id) override;
    // First(); then Next() until Eof. Returns the rows passed: 1 for the
    // first row and 1 for every Next that did not end at Eof.
    // Bare: forward cursor from the start, every row fetched once.
    Int64 Scan() override;
    // Edit(); PRICE as currency = PriceCents / 100; Post(). The active
    // record is the window's top row (after Open).
    // Bare: UPDATE by key (the default column list, all four columns) and its
    // row count checked; both cursors closed; the row re-read by key; the
    // window refilled after it from the forward cursor (mode 2, located).
    void EditPost(int PriceCents) override;
    // With the dataset closed: Rollback, then StartTransaction.
    void Restart() override;
    // The link's rows top to bottom, by ID (for checking; never timed).
    TBenchWindow Window() override;
    // SELECT CURRENT_CONNECTION FROM RDB$DATABASE through a TIBSQL on the
    // dataset's database and transaction (never timed).
    Int64 AttachmentId() override;

    struct TImpl;

private:
    TBenchTarget FTarget;
    std::unique_ptr<TImpl> F;
};
