#include "BareClientSide.h"

#include "BenchStatements.h"
#include "SysUtils.h"

namespace {
constexpr const char* Side = "bare";
} // namespace

namespace {

// One of the two cursors: its statement, the mode it is prepared for (the
// texts of its order from the end and from a position), and the row it
// stands on (the dataset's forward or backward buffer).
struct TBareCursor {
    TBareCursor(isc_db_handle* Db, isc_tr_handle* Tr, const AnsiString& FromEnd, const AnsiString& FromPosition,
                int FromEndMode)
        : Q(Side, Db, Tr), FromEnd(FromEnd), FromPosition(FromPosition), FromEndMode(FromEndMode) {}

    TStatement Q;
    const AnsiString& FromEnd;
    const AnsiString& FromPosition;
    int FromEndMode; // 1 forward, 3 backward; from a position it is one more
    int Mode = 0;
    bool OnRow = false;
    int RowId = 0;

    void Close() {
        Q.CloseCursor();
        OnRow = false;
    }
    // Re-prepared only when the mode changes; mode 0 unprepares.
    void Prepare(int NewMode) {
        if (NewMode == Mode) return;
        Close();
        Q.Free();
        if (NewMode != 0) {
            Q.Prepare(NewMode == FromEndMode ? FromEnd : FromPosition);
            CheckItemColumns(Q.Out(), Side);
        }
        Mode = NewMode;
    }
};

} // namespace

struct TBareClientSide::TImpl {
    explicit TImpl(TBenchOrder O)
        : Order(O), S(BenchStatements(O)), Select(Side, Conn.Db(), Conn.Tr()),
          Fwd(Conn.Db(), Conn.Tr(), S.Forward, S.ForwardAt, 1),
          Bwd(Conn.Db(), Conn.Tr(), S.Backward, S.BackwardAt, 3), Refresh(Side, Conn.Db(), Conn.Tr()),
          Update(Side, Conn.Db(), Conn.Tr()), Catalogue(Side, Conn.Db(), &CatalogueTr) {}
    ~TImpl() {
        FreeAll();
        ISC_STATUS_ARRAY sv;
        if (CatalogueTr) isc_rollback_transaction(sv, &CatalogueTr);
    }

    TBenchOrder Order;
    const TBenchStatements& S;
    TClientConnection Conn{Side};
    isc_tr_handle CatalogueTr = 0;
    // Declared after the handles they point at, so destroyed first.
    TStatement Select;
    TBareCursor Fwd, Bwd;
    TStatement Refresh, Update, Catalogue;

    void FreeAll() noexcept {
        for (TStatement* q : {&Select, &Fwd.Q, &Bwd.Q, &Refresh, &Update, &Catalogue}) {
            try {
                q->Free();
            } catch (...) {
                // the detach frees what is left
            }
        }
    }

    // The next row of a cursor after the position, the dataset's way: a
    // cursor that stands on the position reads on, any other is re-opened
    // (from the end when the position is off that end) and located.
    bool Step(TBareCursor& C, bool FromEnd, const TRow& Pos, TRow& Row) {
        bool current = false;
        if (FromEnd) {
            C.Close();
            C.Prepare(C.FromEndMode);
        } else if (!(C.OnRow && C.RowId == Pos.Id)) {
            C.Close();
            C.Prepare(C.FromEndMode + 1);
            BindOrder(Order, C.Q, Pos);
            current = !Locate(C.Q, Pos);
        }
        if (!C.Q.IsOpen()) C.Q.Execute(true);
        if (C.Q.AtEnd() || (!current && !C.Q.Fetch())) return false;
        ReadRow(C.Q.Out(), Row);
        C.OnRow = true;
        C.RowId = Row.Id;
        return true;
    }

    // Moves a re-opened cursor onto the position: true when it stands on the
    // position row, false when it stands on the row after it (or at its end).
    bool Locate(TStatement& Q, const TRow& Pos) {
        if (!Q.IsOpen()) Q.Execute(true);
        TRow scratch;
        while (Q.Fetch()) {
            ReadRow(Q.Out(), scratch);
            if (scratch.Id == Pos.Id) return true;
            if (!SameOrder(Order, scratch, Pos)) return false;
        }
        return false;
    }

    // Re-reads a row by key; false when it is gone.
    bool ReadByKey(int Id, TRow& Row) {
        Refresh.CloseCursor();
        if (!Refresh.Prepared()) {
            Refresh.Prepare(S.Refresh);
            CheckItemColumns(Refresh.Out(), Side);
        }
        SetLong(Refresh.In().Var(0), Id);
        Refresh.Execute(true);
        bool found = Refresh.Fetch();
        if (found) ReadRow(Refresh.Out(), Row);
        Refresh.CloseCursor();
        return found;
    }

    // The field definitions ask the catalogue whether each select column of
    // a table is computed (read-only then), in a read-only transaction of
    // their own kept for the attachment: one statement, executed per column.
    void ReadComputedColumns() {
        static const char tpb[] = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                                   isc_tpb_nowait, isc_tpb_read};
        ISC_STATUS_ARRAY sv;
        if (!CatalogueTr)
            CheckStatus(isc_start_transaction(sv, &CatalogueTr, 1, Conn.Db(),
                                              static_cast<unsigned short>(sizeof tpb), tpb),
                        sv, Side, "start catalogue transaction");
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
    }

    // An order that does not hold the key but has NOT NULL columns makes the
    // dataset read the main table's unique indexes (one may make the order
    // unique), with a statement of its own in its transaction. QUANTITY may
    // be NULL: no index makes it unique.
    void ReadUniqueIndexes() {
        if (Order != TBenchOrder::Description) return;
        TStatement q(Side, Conn.Db(), Conn.Tr());
        q.Prepare(BenchUniqueIndexesSQL);
        SetText(q.In().Var(0), "ITEM", 4);
        q.Execute(true);
        while (q.Fetch()) {
        }
        q.Free();
    }
};

TBareClientSide::TBareClientSide(const TBenchTarget& Target)
    : TWindowSide(Target), F(std::make_unique<TImpl>(Target.Order)) {
    F->Conn.Attach(Target);
}

TBareClientSide::~TBareClientSide() = default;

bool TBareClientSide::GetNext(TRow& Row) {
    if (FPosFlag == AfterLast || !F->Step(F->Fwd, FPosFlag == BeforeFirst, FPos, Row)) return false;
    FPosFlag = OnRow;
    FPos = Row;
    return true;
}

bool TBareClientSide::GetPrior(TRow& Row) {
    if (FPosFlag == BeforeFirst || !F->Step(F->Bwd, FPosFlag == AfterLast, FPos, Row)) return false;
    FPosFlag = OnRow;
    FPos = Row;
    return true;
}

void TBareClientSide::Open() {
    F->Select.Prepare(F->S.Select);
    CheckItemColumns(F->Select.Out(), Side);
    F->ReadComputedColumns();
    F->ReadUniqueIndexes();
    First();
}

void TBareClientSide::Close() {
    F->Fwd.Prepare(0);
    F->Bwd.Prepare(0);
    F->Refresh.Free();
    F->Update.Free();
    F->Select.Free();
    ClearWindow();
}

void TBareClientSide::FindNearest(const TBenchKey& Key) {
    // The key search by order columns: the forward cursor opened at the key.
    F->Fwd.Close();
    F->Fwd.Prepare(2);
    BindOrder(F->Order, F->Fwd.Q, Key);
    F->Fwd.Q.Execute(true);
    if (!F->Fwd.Q.Fetch()) return;
    ReadRow(F->Fwd.Q.Out(), FPos);
    FPosFlag = OnRow;
    ResyncCentred();
}

void TBareClientSide::FindByKey(int Id) {
    TRow row;
    if (!F->ReadByKey(Id, row)) return;
    FPos = row;
    FPosFlag = OnRow;
    ResyncCentred();
}

void TBareClientSide::EditPost(int PriceCents) {
    if (FWindow.empty()) throw Exception("bare client: nothing to edit");
    TRow saved = FWindow[FActive];
    SetCurrent(FActive);
    TRow edited = saved;
    edited.Price = PriceCents;
    edited.PriceNull = false;

    TStatement& u = F->Update;
    if (!u.Prepared()) {
        u.Prepare(F->S.Update);
        TSqlda& in = u.In();
        if (in.Count() != 5 || SqlType(in.Var(0)) != SQL_LONG || SqlType(in.Var(1)) != SQL_VARYING ||
            SqlType(in.Var(2)) != SQL_LONG || SqlType(in.Var(3)) != SQL_LONG ||
            SqlType(in.Var(4)) != SQL_LONG)
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
    FPos = edited;
    F->Fwd.Close();
    F->Bwd.Close();

    // The framework's resynchronisation: the current row re-read by key, then
    // the rows before it (as many as the window had) and after it.
    TRow row;
    if (!F->ReadByKey(FPos.Id, row)) throw Exception("bare client: the posted row is gone");
    FPos = row;
    Resync(FActive);
}

void TBareClientSide::Restart() {
    F->Conn.Rollback();
    F->Conn.Start();
}

Int64 TBareClientSide::AttachmentId() {
    return F->Conn.AttachmentId();
}
