#include "BareClientSide.h"

#include "BenchStatements.h"
#include "SysUtils.h"

#include <ibase.h>

#include <cstring>
#include <deque>
#include <vector>

namespace {

[[noreturn]] void Fail(const ISC_STATUS* Status, const char* What) {
    AnsiString msg = What;
    char line[512];
    const ISC_STATUS* p = Status;
    while (fb_interpret(line, sizeof line, &p) > 0) {
        msg += ": ";
        msg += line;
    }
    throw Exception("bare client: " + msg);
}

inline void Check(ISC_STATUS Result, const ISC_STATUS* Status, const char* What) {
    if (Result != 0 && Status[0] == 1 && Status[1] != 0) Fail(Status, What);
}

// A descriptor list with its own data and null indicators.
class TSqlda {
public:
    void Resize(int Count) {
        FBlock.assign(XSQLDA_LENGTH(Count), 0);
        Get()->version = SQLDA_VERSION1;
        Get()->sqln = static_cast<ISC_SHORT>(Count);
    }
    XSQLDA* Get() { return reinterpret_cast<XSQLDA*>(FBlock.data()); }
    int Count() { return FBlock.empty() ? 0 : Get()->sqld; }
    XSQLVAR& Var(int Index) { return Get()->sqlvar[Index]; }
    // Data areas for the described variables; input variables become
    // nullable so that NULL can be sent.
    void Bind(bool Input) {
        int n = Count();
        std::vector<size_t> offsets(static_cast<size_t>(n));
        size_t total = 0;
        for (int i = 0; i < n; ++i) {
            XSQLVAR& v = Var(i);
            size_t len = static_cast<size_t>(v.sqllen) + ((v.sqltype & ~1) == SQL_VARYING ? 2 : 0);
            offsets[static_cast<size_t>(i)] = total;
            total += (len + 7) & ~size_t(7);
        }
        FData.assign(total + 8, 0);
        FNulls.assign(static_cast<size_t>(n), 0);
        for (int i = 0; i < n; ++i) {
            XSQLVAR& v = Var(i);
            v.sqldata = FData.data() + offsets[static_cast<size_t>(i)];
            v.sqlind = &FNulls[static_cast<size_t>(i)];
            if (Input) v.sqltype |= 1;
        }
    }
    XSQLDA* ForCall() { return Count() == 0 ? nullptr : Get(); }

private:
    std::vector<char> FBlock;
    std::vector<char> FData;
    std::vector<ISC_SHORT> FNulls;
};

int Type(const XSQLVAR& V) {
    return V.sqltype & ~1;
}

void SetLong(XSQLVAR& V, ISC_LONG Value) {
    std::memcpy(V.sqldata, &Value, sizeof Value);
    *V.sqlind = 0;
}

void SetVarying(XSQLVAR& V, const char* Text, int Length) {
    if (Length > V.sqllen) Length = V.sqllen;
    ISC_SHORT len = static_cast<ISC_SHORT>(Length);
    std::memcpy(V.sqldata, &len, sizeof len);
    std::memcpy(V.sqldata + 2, Text, static_cast<size_t>(Length));
    *V.sqlind = 0;
}

// A text parameter of its own length, as the statement component sends one;
// the data area is that of the described parameter, at least 31 bytes.
void SetText(XSQLVAR& V, const char* Text, int Length) {
    V.sqltype = static_cast<ISC_SHORT>(SQL_TEXT | 1);
    V.sqllen = static_cast<ISC_SHORT>(Length);
    std::memcpy(V.sqldata, Text, static_cast<size_t>(Length));
    *V.sqlind = 0;
}

// One prepared statement, its parameters and its result columns.
class TStatement {
public:
    TStatement(isc_db_handle* Db, isc_tr_handle* Tr) : FDb(Db), FTr(Tr) {}
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

    void Prepare(const AnsiString& Text) {
        Free();
        ISC_STATUS_ARRAY sv;
        Check(isc_dsql_allocate_statement(sv, FDb, &FHandle), sv, "allocate statement");
        FOut.Resize(8);
        FParamNames.clear();
        AnsiString text = EngineText(Text, &FParamNames);
        Check(isc_dsql_prepare(sv, FTr, &FHandle, 0, text.c_str(), 3, FOut.Get()), sv, "prepare");
        if (FOut.Get()->sqld > FOut.Get()->sqln) {
            FOut.Resize(FOut.Get()->sqld);
            Check(isc_dsql_describe(sv, &FHandle, 1, FOut.Get()), sv, "describe");
        }
        FOut.Bind(false);
        FIn.Resize(8);
        Check(isc_dsql_describe_bind(sv, &FHandle, 1, FIn.Get()), sv, "describe parameters");
        if (FIn.Get()->sqld > FIn.Get()->sqln) {
            FIn.Resize(FIn.Get()->sqld);
            Check(isc_dsql_describe_bind(sv, &FHandle, 1, FIn.Get()), sv, "describe parameters");
        }
        FIn.Bind(true);
    }
    // Frees the handle (the statement is unprepared).
    void Free() {
        if (FHandle) {
            ISC_STATUS_ARRAY sv;
            Check(isc_dsql_free_statement(sv, &FHandle, DSQL_drop), sv, "free statement");
            FHandle = 0;
        }
        FOpen = false;
        FAtEnd = false;
    }
    // A select opens its cursor; nothing is fetched.
    void Execute(bool OpensCursor) {
        ISC_STATUS_ARRAY sv;
        Check(isc_dsql_execute(sv, FTr, &FHandle, 1, FIn.ForCall()), sv, "execute");
        FOpen = OpensCursor;
        FAtEnd = false;
    }
    bool Fetch() {
        ISC_STATUS_ARRAY sv;
        ISC_STATUS rc = isc_dsql_fetch(sv, &FHandle, 1, FOut.Get());
        if (rc == 100) {
            FAtEnd = true;
            return false;
        }
        Check(rc, sv, "fetch");
        return true;
    }
    void CloseCursor() {
        if (!FOpen) return;
        ISC_STATUS_ARRAY sv;
        Check(isc_dsql_free_statement(sv, &FHandle, DSQL_close), sv, "close cursor");
        FOpen = false;
        FAtEnd = false;
    }
    // Rows the last execution updated.
    long RowsUpdated() {
        ISC_STATUS_ARRAY sv;
        char item = isc_info_sql_records;
        char buffer[64];
        Check(isc_dsql_sql_info(sv, &FHandle, 1, &item, sizeof buffer, buffer), sv, "statement info");
        if (buffer[0] != isc_info_sql_records) return -1;
        const char* p = buffer + 3;
        const char* end = p + isc_vax_integer(buffer + 1, 2);
        while (p < end && *p != isc_info_end) {
            char code = *p++;
            short len = static_cast<short>(isc_vax_integer(p, 2));
            p += 2;
            long value = isc_vax_integer(p, len);
            p += len;
            if (code == isc_info_req_update_count) return value;
        }
        return -1;
    }

private:
    void Drop() noexcept {
        if (FHandle) {
            ISC_STATUS_ARRAY sv;
            isc_dsql_free_statement(sv, &FHandle, DSQL_drop);
            FHandle = 0;
        }
    }

    isc_db_handle* FDb;
    isc_tr_handle* FTr;
    isc_stmt_handle FHandle = 0;
    TSqlda FOut;
    TSqlda FIn;
    std::vector<AnsiString> FParamNames;
    bool FOpen = false;
    bool FAtEnd = false;
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
void CheckItemColumns(TSqlda& Out) {
    if (Out.Count() != 4 || Type(Out.Var(0)) != SQL_LONG || Type(Out.Var(1)) != SQL_VARYING ||
        Out.Var(1).sqllen > 30 || Type(Out.Var(2)) != SQL_LONG || Type(Out.Var(3)) != SQL_LONG)
        throw Exception("bare client: ITEM has not the bench layout");
}

void ReadRow(TSqlda& Out, TRow& Row) {
    std::memcpy(&Row.Id, Out.Var(0).sqldata, sizeof Row.Id);
    std::memcpy(&Row.DescriptionLength, Out.Var(1).sqldata, sizeof Row.DescriptionLength);
    std::memcpy(Row.Description, Out.Var(1).sqldata + 2, static_cast<size_t>(Row.DescriptionLength));
    Row.QuantityNull = *Out.Var(2).sqlind < 0;
    if (!Row.QuantityNull) std::memcpy(&Row.Quantity, Out.Var(2).sqldata, sizeof Row.Quantity);
    Row.PriceNull = *Out.Var(3).sqlind < 0;
    if (!Row.PriceNull) std::memcpy(&Row.Price, Out.Var(3).sqldata, sizeof Row.Price);
}

} // namespace

struct TBareClientSide::TImpl {
    explicit TImpl(const TBenchTarget& T)
        : Target(T), S(BenchStatements(T.Order)), Select(&Db, &Tr), Fwd(&Db, &Tr), Bwd(&Db, &Tr),
          Refresh(&Db, &Tr), Update(&Db, &Tr), Catalogue(&Db, &CatalogueTr) {}

    TBenchTarget Target;
    const TBenchStatements& S;
    isc_db_handle Db = 0;
    isc_tr_handle Tr = 0;
    isc_tr_handle CatalogueTr = 0;
    // Declared after the handles they point at, so destroyed first.
    TStatement Select, Fwd, Bwd, Refresh, Update, Catalogue;
    int FwdMode = 0;
    int BwdMode = 0;
    // The row each cursor stands on (the dataset's forward and backward buffers).
    bool FwdOnRow = false;
    int FwdRowId = 0;
    bool BwdOnRow = false;
    int BwdRowId = 0;
    // The position: -1 before the first row, 0 on Pos, 1 after the last row.
    int PosFlag = -1;
    TRow Pos;
    // The framework's buffer ring for a link of WindowRows rows.
    std::deque<TRow> Window;
    size_t Active = 0;

    size_t Rows() const { return static_cast<size_t>(Target.WindowRows); }

    void Attach() {
        std::vector<char> dpb{isc_dpb_version1};
        auto add = [&dpb](char Tag, const AnsiString& Value) {
            dpb.push_back(Tag);
            dpb.push_back(static_cast<char>(Value.size()));
            dpb.insert(dpb.end(), Value.begin(), Value.end());
        };
        add(isc_dpb_user_name, Target.User);
        add(isc_dpb_password, Target.Password);
        ISC_STATUS_ARRAY sv;
        Check(isc_attach_database(sv, 0, Target.DatabasePath.c_str(), &Db, static_cast<short>(dpb.size()),
                                  dpb.data()),
              sv, "attach");
        Start();
    }
    void Start() {
        ISC_STATUS_ARRAY sv;
        Check(isc_start_transaction(sv, &Tr, 1, &Db, 0, nullptr), sv, "start transaction");
    }
    void Detach() noexcept {
        ISC_STATUS_ARRAY sv;
        for (TStatement* q : {&Select, &Fwd, &Bwd, &Refresh, &Update, &Catalogue}) {
            try {
                q->Free();
            } catch (...) {
                // the detach below frees what is left
            }
        }
        if (Tr) isc_rollback_transaction(sv, &Tr);
        if (Db) isc_detach_database(sv, &Db);
    }

    // The cursor statements: re-prepared only when the mode changes; mode 0 unprepares.
    void CloseFwd() {
        Fwd.CloseCursor();
        FwdOnRow = false;
    }
    void CloseBwd() {
        Bwd.CloseCursor();
        BwdOnRow = false;
    }
    void PrepareFwd(int Mode) {
        if (Mode == FwdMode) return;
        CloseFwd();
        Fwd.Free();
        if (Mode != 0) {
            Fwd.Prepare(Mode == 1 ? S.Forward : S.ForwardAt);
            CheckItemColumns(Fwd.Out());
        }
        FwdMode = Mode;
    }
    void PrepareBwd(int Mode) {
        if (Mode == BwdMode) return;
        CloseBwd();
        Bwd.Free();
        if (Mode != 0) {
            Bwd.Prepare(Mode == 3 ? S.Backward : S.BackwardAt);
            CheckItemColumns(Bwd.Out());
        }
        BwdMode = Mode;
    }

    void BindOrder(TStatement& Q, int Id, const char* Description, int Length) {
        XSQLVAR& v = Q.In().Var(0);
        if (Target.Order == TBenchOrder::Id)
            SetLong(v, Id);
        else
            SetVarying(v, Description, Length);
    }
    void BindOrder(TStatement& Q, const TRow& Row) {
        if (Target.Order != TBenchOrder::Quantity) {
            BindOrder(Q, Row.Id, Row.Description, Row.DescriptionLength);
            return;
        }
        // QUANTITY (_LOCATE1, several times, NULL too) and ID (_LOCATE2).
        TSqlda& in = Q.In();
        for (int i = 0; i < in.Count(); ++i) {
            XSQLVAR& v = in.Var(i);
            if (Q.ParamNames()[static_cast<size_t>(i)] == "_LOCATE2") {
                SetLong(v, Row.Id);
            } else if (Row.QuantityNull) {
                *v.sqlind = -1;
            } else if (Type(v) == SQL_NULL) { // "? IS NULL": only whether it is
                *v.sqlind = 0;
            } else {
                SetLong(v, Row.Quantity);
            }
        }
    }
    // The order's values, the ID that makes an order total included.
    bool SameOrder(const TRow& A, const TRow& B) const {
        switch (Target.Order) {
        case TBenchOrder::Id:
            return A.Id == B.Id;
        case TBenchOrder::Description:
            return A.DescriptionLength == B.DescriptionLength &&
                   std::memcmp(A.Description, B.Description, static_cast<size_t>(A.DescriptionLength)) == 0;
        case TBenchOrder::Quantity:
            break;
        }
        return A.QuantityNull == B.QuantityNull && (A.QuantityNull || A.Quantity == B.Quantity) && A.Id == B.Id;
    }

    // Moves a re-opened cursor onto the position: true when it stands on the
    // position row, false when it stands on the row after it (or at its end).
    bool Locate(TStatement& Q) {
        if (!Q.IsOpen()) Q.Execute(true);
        TRow scratch;
        while (Q.Fetch()) {
            ReadRow(Q.Out(), scratch);
            if (scratch.Id == Pos.Id) return true;
            if (!SameOrder(scratch, Pos)) return false;
        }
        return false;
    }

    // One row on or back from the position, through the cursor of that direction.
    bool GetNext(TRow& Row) {
        if (PosFlag == 1) return false;
        bool current = false;
        if (PosFlag == -1) {
            CloseFwd();
            PrepareFwd(1);
        } else if (!(FwdOnRow && FwdRowId == Pos.Id)) {
            CloseFwd();
            PrepareFwd(2);
            BindOrder(Fwd, Pos);
            current = !Locate(Fwd);
        }
        if (!Fwd.IsOpen()) Fwd.Execute(true);
        if (Fwd.AtEnd() || (!current && !Fwd.Fetch())) return false;
        ReadRow(Fwd.Out(), Row);
        FwdOnRow = true;
        FwdRowId = Row.Id;
        PosFlag = 0;
        Pos = Row;
        return true;
    }
    bool GetPrior(TRow& Row) {
        if (PosFlag == -1) return false;
        bool current = false;
        if (PosFlag == 1) {
            CloseBwd();
            PrepareBwd(3);
        } else if (!(BwdOnRow && BwdRowId == Pos.Id)) {
            CloseBwd();
            PrepareBwd(4);
            BindOrder(Bwd, Pos);
            current = !Locate(Bwd);
        }
        if (!Bwd.IsOpen()) Bwd.Execute(true);
        if (Bwd.AtEnd() || (!current && !Bwd.Fetch())) return false;
        ReadRow(Bwd.Out(), Row);
        BwdOnRow = true;
        BwdRowId = Row.Id;
        PosFlag = 0;
        Pos = Row;
        return true;
    }
    // Re-reads the position row by key; false when it is gone.
    bool ReadByKey(int Id, TRow& Row) {
        Refresh.CloseCursor();
        if (!Refresh.Prepared()) {
            Refresh.Prepare(S.Refresh);
            CheckItemColumns(Refresh.Out());
        }
        SetLong(Refresh.In().Var(0), Id);
        Refresh.Execute(true);
        bool found = Refresh.Fetch();
        if (found) ReadRow(Refresh.Out(), Row);
        Refresh.CloseCursor();
        return found;
    }

    // The buffer ring: before asking for a neighbour the framework sets the
    // position to the window's last (or first) row.
    void SetCurrent(size_t Index) {
        PosFlag = 0;
        Pos = Window[Index];
    }
    bool NextRecord() {
        if (!Window.empty()) SetCurrent(Window.size() - 1);
        TRow row;
        if (!GetNext(row)) return false;
        if (Window.size() == Rows()) Window.pop_front();
        Window.push_back(row);
        return true;
    }
    bool PriorRecord() {
        if (!Window.empty()) SetCurrent(0);
        TRow row;
        if (!GetPrior(row)) return false;
        if (Window.size() == Rows()) Window.pop_back();
        Window.push_front(row);
        return true;
    }
    void NextRecords() {
        while (Window.size() < Rows() && NextRecord()) {
        }
    }
    void PriorRecords() {
        while (Window.size() < Rows() && PriorRecord()) {
        }
    }
    // The window rebuilt around the position row, which is current already:
    // Before rows before it (half the window when centring), then filled.
    void Resync(size_t Before) {
        Window.assign(1, Pos);
        Active = 0;
        while (Before > 0 && PriorRecord()) {
            --Before;
            ++Active;
        }
        NextRecords();
        size_t n = Window.size();
        PriorRecords();
        Active += Window.size() - n;
    }
    void ResyncCentred() { Resync((Rows() - 1) / 2); }

    // The field definitions ask the catalogue whether each select column of
    // a table is computed (read-only then), in a read-only transaction of
    // their own: one statement for the attachment, executed per column.
    void ReadComputedColumns() {
        static const char tpb[] = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                                   isc_tpb_nowait, isc_tpb_read};
        ISC_STATUS_ARRAY sv;
        Check(isc_start_transaction(sv, &CatalogueTr, 1, &Db, static_cast<unsigned short>(sizeof tpb), tpb),
              sv, "start catalogue transaction");
        try {
            if (!Catalogue.Prepared())
                Catalogue.Prepare("SELECT F.RDB$COMPUTED_BLR FROM RDB$RELATION_FIELDS R, RDB$FIELDS F"
                                  " WHERE R.RDB$RELATION_NAME = :RELATION AND R.RDB$FIELD_NAME = :FIELDNAME"
                                  " AND R.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME");
            TSqlda& out = Select.Out();
            for (int i = 0; i < out.Count(); ++i) {
                XSQLVAR& column = out.Var(i);
                if (column.relname_length == 0 || column.sqlname_length == 0) continue;
                SetText(Catalogue.In().Var(0), column.relname, column.relname_length);
                SetText(Catalogue.In().Var(1), column.sqlname, column.sqlname_length);
                Catalogue.Execute(true);
                Catalogue.Fetch();
                Catalogue.CloseCursor();
            }
        } catch (...) {
            isc_rollback_transaction(sv, &CatalogueTr);
            throw;
        }
        Check(isc_commit_transaction(sv, &CatalogueTr), sv, "commit catalogue transaction");
    }

    // An order that does not hold the key but has NOT NULL columns makes the
    // dataset read the main table's unique indexes (one may make the order
    // unique), with a statement of its own in its transaction. QUANTITY may
    // be NULL: no index makes it unique.
    void ReadUniqueIndexes() {
        if (Target.Order != TBenchOrder::Description) return;
        TStatement q(&Db, &Tr);
        q.Prepare(BenchUniqueIndexesSQL);
        SetText(q.In().Var(0), "ITEM", 4);
        q.Execute(true);
        while (q.Fetch()) {
        }
        q.Free();
    }
};

TBareClientSide::TBareClientSide(const TBenchTarget& Target) : F(std::make_unique<TImpl>(Target)) {
    try {
        F->Attach();
    } catch (...) {
        F->Detach();
        throw;
    }
}

TBareClientSide::~TBareClientSide() {
    F->Detach();
}

void TBareClientSide::Open() {
    F->Select.Prepare(F->S.Select);
    CheckItemColumns(F->Select.Out());
    F->ReadComputedColumns();
    F->ReadUniqueIndexes();
    First();
}

void TBareClientSide::Close() {
    F->PrepareFwd(0);
    F->PrepareBwd(0);
    F->Refresh.Free();
    F->Update.Free();
    F->Select.Free();
    F->Window.clear();
    F->PosFlag = -1;
}

void TBareClientSide::First() {
    F->Window.clear();
    F->PosFlag = -1;
    F->NextRecord();
    F->NextRecords();
    F->Active = 0;
}

void TBareClientSide::Last() {
    F->Window.clear();
    F->PosFlag = 1;
    F->PriorRecord();
    F->PriorRecords();
    F->Active = F->Window.empty() ? 0 : F->Window.size() - 1;
}

void TBareClientSide::PageDown() {
    for (size_t i = 0; i < F->Rows() && F->NextRecord(); ++i) {
    }
    F->Active = F->Window.empty() ? 0 : F->Window.size() - 1;
}

void TBareClientSide::PageUp() {
    for (size_t i = 0; i < F->Rows() && F->PriorRecord(); ++i) {
    }
    F->Active = 0;
}

void TBareClientSide::FindNearest(const TBenchKey& Key) {
    // The key search by order columns: the forward cursor opened at the key.
    F->CloseFwd();
    F->PrepareFwd(2);
    F->BindOrder(F->Fwd, Key.Id, Key.Description.data(), static_cast<int>(Key.Description.size()));
    F->Fwd.Execute(true);
    if (!F->Fwd.Fetch()) return;
    ReadRow(F->Fwd.Out(), F->Pos);
    F->PosFlag = 0;
    F->ResyncCentred();
}

void TBareClientSide::FindByKey(int Id) {
    TRow row;
    if (!F->ReadByKey(Id, row)) return;
    F->Pos = row;
    F->PosFlag = 0;
    F->ResyncCentred();
}

Int64 TBareClientSide::Scan() {
    First();
    Int64 rows = F->Window.empty() ? 0 : 1;
    for (;;) {
        if (F->Active + 1 < F->Window.size()) {
            ++F->Active;
        } else if (F->NextRecord()) {
            F->Active = F->Window.size() - 1;
        } else {
            break;
        }
        ++rows;
    }
    return rows;
}

void TBareClientSide::EditPost(int PriceCents) {
    if (F->Window.empty()) throw Exception("bare client: nothing to edit");
    TRow saved = F->Window[F->Active];
    F->SetCurrent(F->Active);
    TRow edited = saved;
    edited.Price = PriceCents;
    edited.PriceNull = false;

    TStatement& u = F->Update;
    if (!u.Prepared()) {
        u.Prepare(F->S.Update);
        TSqlda& in = u.In();
        if (in.Count() != 5 || Type(in.Var(0)) != SQL_LONG || Type(in.Var(1)) != SQL_VARYING ||
            Type(in.Var(2)) != SQL_LONG || Type(in.Var(3)) != SQL_LONG || Type(in.Var(4)) != SQL_LONG)
            throw Exception("bare client: unexpected parameters of the update");
    }
    TSqlda& in = u.In();
    SetLong(in.Var(0), edited.Id);
    SetVarying(in.Var(1), edited.Description, edited.DescriptionLength);
    SetLong(in.Var(2), edited.Quantity);
    if (edited.QuantityNull) *in.Var(2).sqlind = -1;
    SetLong(in.Var(3), edited.Price);
    SetLong(in.Var(4), saved.Id);
    u.Execute(false);
    if (u.RowsUpdated() != 1) throw Exception("bare client: the update changed no row");
    F->Pos = edited;
    F->CloseFwd();
    F->CloseBwd();

    // The framework's resynchronisation: the current row re-read by key, then
    // the rows before it (as many as the window had) and after it.
    TRow row;
    if (!F->ReadByKey(F->Pos.Id, row)) throw Exception("bare client: the posted row is gone");
    F->Pos = row;
    F->Resync(F->Active);
}

void TBareClientSide::Restart() {
    ISC_STATUS_ARRAY sv;
    Check(isc_rollback_transaction(sv, &F->Tr), sv, "rollback");
    F->Start();
}

TBenchWindow TBareClientSide::Window() {
    TBenchWindow ids;
    for (const TRow& r : F->Window)
        ids.push_back(r.Id);
    return ids;
}

Int64 TBareClientSide::AttachmentId() {
    TStatement q(&F->Db, &F->Tr);
    q.Prepare("SELECT CURRENT_CONNECTION FROM RDB$DATABASE");
    q.Execute(true);
    Int64 id = 0;
    if (q.Fetch()) {
        XSQLVAR& v = q.Out().Var(0);
        if (Type(v) == SQL_INT64)
            std::memcpy(&id, v.sqldata, sizeof id);
        else if (Type(v) == SQL_LONG) {
            ISC_LONG n = 0;
            std::memcpy(&n, v.sqldata, sizeof n);
            id = n;
        }
    }
    q.CloseCursor();
    return id;
}
