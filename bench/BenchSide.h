// What every side of the benchmark (the hand-written clients, the dataset,
// Qt SQL, OFFSET paging) offers the harness: the grid-like moves of a 20-row
// window over the bench table, in one sort order. The harness composes the measured
// operations from these moves (BenchOps.h), so every side does the same
// sequence and only the side's own moves are timed.
#pragma once

#include "System.h"

#include <stdexcept>
#include <string>
#include <vector>

// The sort orders of the bench table, all ascending: by ID and by
// DESCRIPTION, as the demonstration program's order items 1 and 2, and by
// QUANTITY, whose values repeat (and are NULL in every seventh row), so that
// the dataset follows it by ID to make it total.
enum class TBenchOrder { Id, Description, Quantity };

const char* OrderName(TBenchOrder Order);

// What a side works on: the database file, reached through the embedded
// engine (DatabaseName is the path) or through a server on loopback
// (DatabaseName is "127.0.0.1/port:path").
struct TBenchTarget {
    AnsiString DatabasePath;
    AnsiString DatabaseName;
    bool Remote = false;
    AnsiString User = "SYSDBA";
    AnsiString Password = "masterkey"; // the embedded engine does not check it
    Int64 RowCount = 0;
    TBenchOrder Order = TBenchOrder::Id;
    int WindowRows = 20; // the rows a grid asks for
};

// A key search value: Id in the ID order, Description in the DESCRIPTION order.
struct TBenchKey {
    int Id = 0;
    AnsiString Description;
};

// The window's rows by ID, top to bottom. For checking, never timed.
using TBenchWindow = std::vector<int>;

// The measured operations; BenchOps.h says what each one does.
enum class TBenchOp {
    Open,
    Last,
    FirstAfterLast,
    PageDown,
    PageUpDown,
    FindNearest,
    FindByKey,
    Scan,
    EditPost,
    Middle,
    PageDownMiddle
};

// A side that does not offer an operation.
class EBenchUnsupported : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One side's session: its own attachment and transaction, kept across
// benchmarks. Every move leaves the window as a grid over the dataset would
// show it. After Open the top row of the window is the active record.
class TBenchSide {
public:
    virtual ~TBenchSide() = default;

    virtual const char* Name() const = 0;
    virtual bool Supports(TBenchOp Op) const = 0;

    // Opens the result in the target's order and fills the first window.
    virtual void Open() = 0;
    // Closes the result. The dataset and the bare client unprepare their
    // statements; the lean client and OFFSET paging keep theirs.
    virtual void Close() = 0;
    virtual void First() { Unmeasured("First"); }
    virtual void Last() = 0;
    // Untimed, before First after Last: the window away from the first.
    virtual void LeaveFirstWindow() { Last(); }
    // The window moves one page (WindowRows rows) on or back in the order.
    virtual void PageDown() { Unmeasured("PageDown"); }
    virtual void PageUp() { Unmeasured("PageUp"); }
    // Nearest search by the order's column, the found row centred.
    virtual void FindNearest(const TBenchKey& /*Key*/) { Unmeasured("FindNearest"); }
    // Exact search by primary key (ID), the found row centred.
    virtual void FindByKey(int /*Id*/) { Unmeasured("FindByKey"); }
    // First, then Next until the end; returns the rows passed (the table's count).
    virtual Int64 Scan() { Unmeasured("Scan"); }
    // Edits the active record, sets PRICE to PriceCents / 100 and posts.
    virtual void EditPost(int /*PriceCents*/) { Unmeasured("EditPost"); }
    // The window centred on the row at Rank of the order, whose ID is Id:
    // a search by primary key, or a page read by its place (OFFSET paging).
    virtual void GoToRow(Int64 /*Rank*/, int Id) { FindByKey(Id); }
    // With the result closed: rolls the transaction back and starts a new one.
    virtual void Restart() = 0;
    virtual TBenchWindow Window() = 0;
    // The engine's number of the side's attachment (CURRENT_CONNECTION), by
    // which the check reads the engine's work for the side; 0 when unknown.
    virtual Int64 AttachmentId() = 0;

protected:
    // The moves a side does not offer (Supports says which) raise this.
    [[noreturn]] void Unmeasured(const char* What) const {
        throw EBenchUnsupported(std::string(Name()) + " side: " + What + " is not measured");
    }
};
