#include "BareClientSide.h"

#include "BenchStatements.h"
#include "SysUtils.h"

namespace {
constexpr const char* Side = "bare";
} // namespace

struct TBareClientSide::TImpl {
    explicit TImpl(TBenchOrder O)
        : Order(O), S(BenchStatements(O)), Select(Side, Conn.Db(), Conn.Tr()),
          Fwd(Side, Conn.Db(), Conn.Tr()), Bwd(Side, Conn.Db(), Conn.Tr()),
          Refresh(Side, Conn.Db(), Conn.Tr()), Update(Side, Conn.Db(), Conn.Tr()),
          Catalogue(Side, Conn.Db(), &CatalogueTr) {}
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
    TStatement Select, Fwd, Bwd, Refresh, Update, Catalogue;
    int FwdMode = 0;
    int BwdMode = 0;
    // The row each cursor stands on (the dataset's forward and backward buffers).
    bool FwdOnRow = false;
    int FwdRowId = 0;
    bool BwdOnRow = false;
    int BwdRowId = 0;

    void FreeAll() noexcept {
        for (TStatement* q : {&Select, &Fwd, &Bwd, &Refresh, &Update, &Catalogue}) {
            try {
                q->Free();
            } catch (...) {
                // the detach frees what is left
            }
        }
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
            CheckItemColumns(Fwd.Out(), Side);
        }
        FwdMode = Mode;
    }
    void PrepareBwd(int Mode) {
        if (Mode == BwdMode) return;
        CloseBwd();
        Bwd.Free();
        if (Mode != 0) {
            Bwd.Prepare(Mode == 3 ? S.Backward : S.BackwardAt);
            CheckItemColumns(Bwd.Out(), Side);
        }
        BwdMode = Mode;
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
    if (FPosFlag == AfterLast) return false;
    TImpl& f = *F;
    bool current = false;
    if (FPosFlag == BeforeFirst) {
        f.CloseFwd();
        f.PrepareFwd(1);
    } else if (!(f.FwdOnRow && f.FwdRowId == FPos.Id)) {
        f.CloseFwd();
        f.PrepareFwd(2);
        BindOrder(f.Order, f.Fwd, FPos);
        current = !f.Locate(f.Fwd, FPos);
    }
    if (!f.Fwd.IsOpen()) f.Fwd.Execute(true);
    if (f.Fwd.AtEnd() || (!current && !f.Fwd.Fetch())) return false;
    ReadRow(f.Fwd.Out(), Row);
    f.FwdOnRow = true;
    f.FwdRowId = Row.Id;
    FPosFlag = OnRow;
    FPos = Row;
    return true;
}

bool TBareClientSide::GetPrior(TRow& Row) {
    if (FPosFlag == BeforeFirst) return false;
    TImpl& f = *F;
    bool current = false;
    if (FPosFlag == AfterLast) {
        f.CloseBwd();
        f.PrepareBwd(3);
    } else if (!(f.BwdOnRow && f.BwdRowId == FPos.Id)) {
        f.CloseBwd();
        f.PrepareBwd(4);
        BindOrder(f.Order, f.Bwd, FPos);
        current = !f.Locate(f.Bwd, FPos);
    }
    if (!f.Bwd.IsOpen()) f.Bwd.Execute(true);
    if (f.Bwd.AtEnd() || (!current && !f.Bwd.Fetch())) return false;
    ReadRow(f.Bwd.Out(), Row);
    f.BwdOnRow = true;
    f.BwdRowId = Row.Id;
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
    F->PrepareFwd(0);
    F->PrepareBwd(0);
    F->Refresh.Free();
    F->Update.Free();
    F->Select.Free();
    ClearWindow();
}

void TBareClientSide::FindNearest(const TBenchKey& Key) {
    // The key search by order columns: the forward cursor opened at the key.
    F->CloseFwd();
    F->PrepareFwd(2);
    BindOrder(F->Order, F->Fwd, Key);
    F->Fwd.Execute(true);
    if (!F->Fwd.Fetch()) return;
    ReadRow(F->Fwd.Out(), FPos);
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
    F->CloseFwd();
    F->CloseBwd();

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
