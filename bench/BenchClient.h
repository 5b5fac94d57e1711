// What the hand-written sides (bare, lean, OFFSET paging) share: the client
// library's C interface (isc_* functions) with no layer in between, one row
// of ITEM as the result columns hold it, and the window a grid shows, moved
// as the framework's buffer ring moves it.
#pragma once

#include "BenchSide.h"

#include <ibase.h>

#include <deque>
#include <vector>

// The failure of a client call, as an Exception naming the side and the call.
void CheckStatus(ISC_STATUS Result, const ISC_STATUS* Status, const char* Side, const char* What);

// A descriptor list with its own data and null indicators.
class TSqlda {
public:
    void Resize(int Count);
    XSQLDA* Get() { return reinterpret_cast<XSQLDA*>(FBlock.data()); }
    int Count() { return FBlock.empty() ? 0 : Get()->sqld; }
    XSQLVAR& Var(int Index) { return Get()->sqlvar[Index]; }
    // Data areas for the described variables; input variables become
    // nullable so that NULL can be sent.
    void Bind(bool Input);
    XSQLDA* ForCall() { return Count() == 0 ? nullptr : Get(); }

private:
    std::vector<char> FBlock;
    std::vector<char> FData;
    std::vector<ISC_SHORT> FNulls;
};

int SqlType(const XSQLVAR& V);
void SetLong(XSQLVAR& V, ISC_LONG Value);
void SetVarying(XSQLVAR& V, const char* Text, int Length);
// A text parameter of its own length, as the statement component sends one;
// the data area is that of the described parameter, at least 31 bytes.
void SetText(XSQLVAR& V, const char* Text, int Length);

// One prepared statement, its parameters and its result columns. Texts with
// ":NAME" parameters are sent as the statement component sends them.
class TStatement {
public:
    TStatement(const char* Side, isc_db_handle* Db, isc_tr_handle* Tr) : FSide(Side), FDb(Db), FTr(Tr) {}
    ~TStatement() { Drop(); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    bool Prepared() const { return FHandle != 0; }
    bool IsOpen() const { return FOpen; }
    bool AtEnd() const { return FAtEnd; }
    TSqlda& Out() { return FOut; }
    TSqlda& In() { return FIn; }
    // The name of each "?" of the prepared text, in order.
    const std::vector<AnsiString>& ParamNames() const { return FParamNames; }

    void Prepare(const AnsiString& Text);
    // Frees the handle (the statement is unprepared).
    void Free();
    // A select opens its cursor; nothing is fetched.
    void Execute(bool OpensCursor);
    // A statement with RETURNING: executed, its one row into Out().
    void ExecuteReturning();
    bool Fetch();
    void CloseCursor();
    // Rows the last execution updated.
    long RowsUpdated();

private:
    void Check(ISC_STATUS Result, const ISC_STATUS* Status, const char* What) const {
        CheckStatus(Result, Status, FSide, What);
    }
    void Drop() noexcept;

    const char* FSide;
    isc_db_handle* FDb;
    isc_tr_handle* FTr;
    isc_stmt_handle FHandle = 0;
    TSqlda FOut;
    TSqlda FIn;
    std::vector<AnsiString> FParamNames;
    bool FOpen = false;
    bool FAtEnd = false;
};

// One attachment and its transaction (the engine's default parameters).
class TClientConnection {
public:
    explicit TClientConnection(const char* Side) : FSide(Side) {}
    ~TClientConnection() { Detach(); }
    TClientConnection(const TClientConnection&) = delete;
    TClientConnection& operator=(const TClientConnection&) = delete;

    isc_db_handle* Db() { return &FDb; }
    isc_tr_handle* Tr() { return &FTr; }
    void Attach(const TBenchTarget& Target);
    void Start();
    void Rollback();
    // Rolls back and detaches; statements of the attachment must be freed first.
    void Detach() noexcept;
    // The engine's number of the attachment (CURRENT_CONNECTION).
    Int64 AttachmentId();

private:
    const char* FSide;
    isc_db_handle FDb = 0;
    isc_tr_handle FTr = 0;
};

// One row of ITEM as the result columns hold it.
struct TRow {
    int Id = 0;
    ISC_SHORT DescriptionLength = 0;
    char Description[32] = {};
    ISC_LONG Quantity = 0;
    ISC_LONG Price = 0;
    bool QuantityNull = true;
    bool PriceNull = true;
};

// The columns of "SELECT *" are ID, DESCRIPTION, QUANTITY, PRICE.
void CheckItemColumns(TSqlda& Out, const char* Side);
void ReadRow(TSqlda& Out, TRow& Row);
// Equal values of the order's columns (QUANTITY: and ID, which makes it total).
bool SameOrder(TBenchOrder Order, const TRow& A, const TRow& B);
// The order's column of a row, or of a search key, into parameter 0; in the
// QUANTITY order every parameter, by name: QUANTITY (_LOCATE1, Q) and ID
// (_LOCATE2, ID).
void BindOrder(TBenchOrder Order, TStatement& Q, const TRow& Row);
void BindOrder(TBenchOrder Order, TStatement& Q, const TBenchKey& Key);

// A side that shows its rows in a window of WindowRows rows, moved as the
// framework's buffer ring moves it for a grid over a dataset: before asking
// for a neighbour it puts the position on the window's last (or first) row.
// The side supplies the two moves, the row after and the row before the
// position.
class TWindowSide : public TBenchSide {
public:
    explicit TWindowSide(const TBenchTarget& Target) : FTarget(Target) {}

    void First() override;
    void Last() override;
    void PageDown() override;
    void PageUp() override;
    Int64 Scan() override;
    TBenchWindow Window() override;

protected:
    // The position: before the first row, on FPos, or after the last row.
    enum TPosFlag { BeforeFirst = -1, OnRow = 0, AfterLast = 1 };

    // The row after (before) the position, which then becomes the position;
    // false when there is none.
    virtual bool GetNext(TRow& Row) = 0;
    virtual bool GetPrior(TRow& Row) = 0;

    size_t Rows() const { return static_cast<size_t>(FTarget.WindowRows); }
    void SetCurrent(size_t Index);
    bool NextRecord();
    bool PriorRecord();
    void NextRecords();
    void PriorRecords();
    // The window rebuilt around the position row, which is current already:
    // Before rows before it (half the window when centring), then filled.
    void Resync(size_t Before);
    void ResyncCentred() { Resync((Rows() - 1) / 2); }
    void ClearWindow();

    TBenchTarget FTarget;
    int FPosFlag = BeforeFirst;
    TRow FPos;
    std::deque<TRow> FWindow;
    size_t FActive = 0;
};
