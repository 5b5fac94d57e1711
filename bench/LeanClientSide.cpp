#include "LeanClientSide.h"

#include "SysUtils.h"

#include <vector>

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
        : Order(O), Bound(B), Conn(Side), First(Side, Conn.Db(), Conn.Tr()),
          After(Side, Conn.Db(), Conn.Tr()), AfterNull(Side, Conn.Db(), Conn.Tr()),
          AtOrAfter(Side, Conn.Db(), Conn.Tr()), Last(Side, Conn.Db(), Conn.Tr()),
          Before(Side, Conn.Db(), Conn.Tr()), BeforeNull(Side, Conn.Db(), Conn.Tr()),
          ByKey(Side, Conn.Db(), Conn.Tr()), Update(Side, Conn.Db(), Conn.Tr()) {}

    TBenchOrder Order;
    int Bound; // rows per cursor, -1 without bound
    TClientConnection Conn;
    // Declared after the connection, so freed before it detaches.
    // AfterNull and BeforeNull: in the QUANTITY order, from a row whose QUANTITY is NULL.
    TStatement First, After, AfterNull, AtOrAfter, Last, Before, BeforeNull, ByKey, Update;
    TCursor Fwd, Bwd;

    void Prepare(const char* Side, int WindowRows) {
        AnsiString rows = Bound > 0 ? " ROWS " + IntToStr(WindowRows) : AnsiString();
        AnsiString head = "SELECT * FROM ITEM";
        std::vector<TStatement*> all{&First, &After, &Last, &Before, &ByKey, &Update};
        if (Order == TBenchOrder::Quantity) {
            // QUANTITY repeats and is NULL in some rows (first when ascending):
            // the order goes on by ID.
            AnsiString asc = " ORDER BY QUANTITY, ID" + rows;
            AnsiString desc = " ORDER BY QUANTITY DESC, ID DESC" + rows;
            First.Prepare(head + asc);
            After.Prepare(head + " WHERE (QUANTITY = :Q AND ID > :ID) OR QUANTITY > :Q" + asc);
            AfterNull.Prepare(head + " WHERE (QUANTITY IS NULL AND ID > :ID) OR QUANTITY IS NOT NULL" + asc);
            Last.Prepare(head + desc);
            Before.Prepare(head + " WHERE (QUANTITY = :Q AND ID < :ID) OR QUANTITY < :Q OR QUANTITY IS NULL" +
                           desc);
            BeforeNull.Prepare(head + " WHERE QUANTITY IS NULL AND ID < :ID" + desc);
            all.insert(all.end(), {&AfterNull, &BeforeNull});
        } else {
            AnsiString c = Order == TBenchOrder::Id ? "ID" : "DESCRIPTION";
            First.Prepare(head + " ORDER BY " + c + rows);
            After.Prepare(head + " WHERE " + c + " > ? ORDER BY " + c + rows);
            AtOrAfter.Prepare(head + " WHERE " + c + " >= ? ORDER BY " + c + rows);
            Last.Prepare(head + " ORDER BY " + c + " DESC" + rows);
            Before.Prepare(head + " WHERE " + c + " < ? ORDER BY " + c + " DESC" + rows);
            all.push_back(&AtOrAfter);
        }
        ByKey.Prepare(head + " WHERE ID = ?");
        Update.Prepare("UPDATE ITEM SET PRICE = ? WHERE ID = ? RETURNING ID, DESCRIPTION, QUANTITY, PRICE");
        for (TStatement* q : all)
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

// One read in either direction: a cursor continues while it stands on the
// position and has rows left; otherwise it is re-opened there.
static bool Step(TCursor& C, TStatement& FromEnd, TStatement& Past, TStatement& PastNull, int Bound,
                 TBenchOrder Order, int& PosFlag, int EndFlag, TRow& Pos, TRow& Row) {
    if (PosFlag == -EndFlag) return false;
    if (PosFlag == EndFlag) {
        C.Open(FromEnd, Bound);
    } else if (!C.StandsOn(Pos) || C.Spent()) {
        TStatement& q = Order == TBenchOrder::Quantity && Pos.QuantityNull ? PastNull : Past;
        BindOrder(Order, q, Pos);
        C.Open(q, Bound);
    }
    if (C.Q->AtEnd() || !C.Fetch(Row)) return false;
    PosFlag = 0;
    Pos = Row;
    return true;
}

bool TLeanClientSide::GetNext(TRow& Row) {
    return Step(F->Fwd, F->First, F->After, F->AfterNull, F->Bound, F->Order, FPosFlag, BeforeFirst, FPos, Row);
}

bool TLeanClientSide::GetPrior(TRow& Row) {
    return Step(F->Bwd, F->Last, F->Before, F->BeforeNull, F->Bound, F->Order, FPosFlag, AfterLast, FPos, Row);
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
    if (F->Order == TBenchOrder::Quantity) throw EBenchUnsupported("no nearest search by QUANTITY");
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
    if (*u.Out().Var(0).sqlind < 0)
        throw Exception(AnsiString(Name()) + " client: the update changed no row");
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
