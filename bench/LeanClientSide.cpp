#include "LeanClientSide.h"

#include "SysUtils.h"

namespace {

// The cursor of one direction: the statement it was opened on, the row it
// stands on and, when bounded, the rows its bound still allows.
struct TCursor {
    TStatement* Q = nullptr;
    bool OnRow = false;
    int RowId = 0;
    int Left = -1; // -1: no bound

    bool StandsOn(const TRow& Row) const { return Q && OnRow && RowId == Row.Id; }
    bool Spent() const { return Left == 0; }
    void Close() {
        if (Q) Q->CloseCursor();
        Q = nullptr;
        OnRow = false;
    }
    void Open(TStatement& S, int Bound) {
        Close();
        S.Execute(true);
        Q = &S;
        Left = Bound;
    }
    bool Fetch(TRow& Row) {
        if (Spent() || !Q->Fetch()) return false;
        ReadRow(Q->Out(), Row);
        if (Left > 0) --Left;
        OnRow = true;
        RowId = Row.Id;
        return true;
    }
};

} // namespace

struct TLeanClientSide::TImpl {
    TImpl(const char* Side, TBenchOrder O, int B)
        : Order(O), Bound(B), Conn(Side), First(Side, Conn.Db(), Conn.Tr()), After(Side, Conn.Db(), Conn.Tr()),
          AtOrAfter(Side, Conn.Db(), Conn.Tr()), Last(Side, Conn.Db(), Conn.Tr()),
          Before(Side, Conn.Db(), Conn.Tr()), ByKey(Side, Conn.Db(), Conn.Tr()),
          Update(Side, Conn.Db(), Conn.Tr()) {}

    TBenchOrder Order;
    int Bound; // rows per cursor, -1 without bound
    TClientConnection Conn;
    // Declared after the connection, so freed before it detaches.
    TStatement First, After, AtOrAfter, Last, Before, ByKey, Update;
    TCursor Fwd, Bwd;

    void Prepare(const char* Side, int WindowRows) {
        AnsiString c = Order == TBenchOrder::Id ? "ID" : "DESCRIPTION";
        AnsiString rows = Bound > 0 ? " ROWS " + IntToStr(WindowRows) : AnsiString();
        AnsiString head = "SELECT * FROM ITEM";
        First.Prepare(head + " ORDER BY " + c + rows);
        After.Prepare(head + " WHERE " + c + " > ? ORDER BY " + c + rows);
        AtOrAfter.Prepare(head + " WHERE " + c + " >= ? ORDER BY " + c + rows);
        Last.Prepare(head + " ORDER BY " + c + " DESC" + rows);
        Before.Prepare(head + " WHERE " + c + " < ? ORDER BY " + c + " DESC" + rows);
        ByKey.Prepare(head + " WHERE ID = ?");
        Update.Prepare("UPDATE ITEM SET PRICE = ? WHERE ID = ? RETURNING ID, DESCRIPTION, QUANTITY, PRICE");
        for (TStatement* q : {&First, &After, &AtOrAfter, &Last, &Before, &ByKey, &Update})
            CheckItemColumns(q->Out(), Side);
        TSqlda& in = Update.In();
        if (in.Count() != 2 || SqlType(in.Var(0)) != SQL_LONG || in.Var(0).sqlscale != -2 ||
            SqlType(in.Var(1)) != SQL_LONG)
            throw Exception(AnsiString(Side) + " client: unexpected parameters of the update");
    }
};

TLeanClientSide::TLeanClientSide(const TBenchTarget& Target, bool Bounded)
    : TWindowSide(Target), FBounded(Bounded),
      F(std::make_unique<TImpl>(Name(), Target.Order, Bounded ? Target.WindowRows : -1)) {
    F->Conn.Attach(Target);
    F->Prepare(Name(), Target.WindowRows);
}

TLeanClientSide::~TLeanClientSide() = default;

bool TLeanClientSide::GetNext(TRow& Row) {
    if (FPosFlag == AfterLast) return false;
    TCursor& c = F->Fwd;
    if (FPosFlag == BeforeFirst) {
        c.Open(F->First, F->Bound);
    } else if (!c.StandsOn(FPos) || c.Spent()) {
        BindOrder(F->Order, F->After, FPos);
        c.Open(F->After, F->Bound);
    }
    if (c.Q->AtEnd() || !c.Fetch(Row)) return false;
    FPosFlag = OnRow;
    FPos = Row;
    return true;
}

bool TLeanClientSide::GetPrior(TRow& Row) {
    if (FPosFlag == BeforeFirst) return false;
    TCursor& c = F->Bwd;
    if (FPosFlag == AfterLast) {
        c.Open(F->Last, F->Bound);
    } else if (!c.StandsOn(FPos) || c.Spent()) {
        BindOrder(F->Order, F->Before, FPos);
        c.Open(F->Before, F->Bound);
    }
    if (c.Q->AtEnd() || !c.Fetch(Row)) return false;
    FPosFlag = OnRow;
    FPos = Row;
    return true;
}

void TLeanClientSide::Open() {
    First();
}

void TLeanClientSide::Close() {
    F->Fwd.Close();
    F->Bwd.Close();
    ClearWindow();
}

void TLeanClientSide::FindNearest(const TBenchKey& Key) {
    BindOrder(F->Order, F->AtOrAfter, Key);
    F->Fwd.Open(F->AtOrAfter, F->Bound);
    TRow row;
    if (!F->Fwd.Fetch(row)) return;
    FPos = row;
    FPosFlag = OnRow;
    ResyncCentred();
}

void TLeanClientSide::FindByKey(int Id) {
    TStatement& q = F->ByKey;
    SetLong(q.In().Var(0), Id);
    q.Execute(true);
    bool found = q.Fetch();
    if (found) ReadRow(q.Out(), FPos);
    q.CloseCursor();
    if (!found) return;
    FPosFlag = OnRow;
    ResyncCentred();
}

void TLeanClientSide::EditPost(int PriceCents) {
    if (FWindow.empty()) throw Exception(AnsiString(Name()) + " client: nothing to edit");
    TRow& row = FWindow[FActive];
    TStatement& u = F->Update;
    SetLong(u.In().Var(0), PriceCents);
    SetLong(u.In().Var(1), row.Id);
    u.ExecuteReturning();
    if (*u.Out().Var(0).sqlind < 0) throw Exception(AnsiString(Name()) + " client: the update changed no row");
    ReadRow(u.Out(), row);
    FPos = row;
    FPosFlag = OnRow;
}

void TLeanClientSide::Restart() {
    F->Fwd.Close();
    F->Bwd.Close();
    F->Conn.Rollback();
    F->Conn.Start();
}

Int64 TLeanClientSide::AttachmentId() {
    return F->Conn.AttachmentId();
}
