#include "OffsetSide.h"

#include "SysUtils.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr const char* Side = "offset";
} // namespace

struct TOffsetSide::TImpl {
    explicit TImpl(const TBenchTarget& T) : Target(T), Conn(Side), Page(Side, Conn.Db(), Conn.Tr()) {}

    TBenchTarget Target;
    TClientConnection Conn;
    TStatement Page;
    Int64 Top = 0; // place of the window's first row
    std::vector<TRow> Window;

    Int64 LastTop() const { return std::max<Int64>(0, Target.RowCount - Target.WindowRows); }

    // Reads the window whose first row is at Top (kept within the table).
    void Read(Int64 NewTop) {
        Top = std::clamp<Int64>(NewTop, 0, LastTop());
        XSQLVAR& offset = Page.In().Var(0);
        if (SqlType(offset) == SQL_INT64) {
            ISC_INT64 value = Top;
            std::memcpy(offset.sqldata, &value, sizeof value);
            *offset.sqlind = 0;
        } else {
            SetLong(offset, static_cast<ISC_LONG>(Top));
        }
        Page.Execute(true);
        Window.clear();
        TRow row;
        while (Page.Fetch()) {
            ReadRow(Page.Out(), row);
            Window.push_back(row);
        }
        Page.CloseCursor();
    }
};

TOffsetSide::TOffsetSide(const TBenchTarget& Target) : F(std::make_unique<TImpl>(Target)) {
    F->Conn.Attach(Target);
    // QUANTITY repeats: ID makes its order total, or pages could overlap.
    AnsiString c = Target.Order == TBenchOrder::Quantity ? AnsiString("QUANTITY, ID")
                                                         : AnsiString(OrderName(Target.Order));
    F->Page.Prepare("SELECT * FROM ITEM ORDER BY " + c + " OFFSET ? ROWS FETCH NEXT " +
                    IntToStr(Target.WindowRows) + " ROWS ONLY");
    CheckItemColumns(F->Page.Out(), Side);
}

TOffsetSide::~TOffsetSide() = default;

bool TOffsetSide::Measures(TBenchOp Op) {
    switch (Op) {
    case TBenchOp::Open:
    case TBenchOp::Last:
    case TBenchOp::FirstAfterLast:
    case TBenchOp::PageDown:
    case TBenchOp::PageUpDown:
    case TBenchOp::Middle:
    case TBenchOp::PageDownMiddle:
        return true;
    default:
        return false;
    }
}

void TOffsetSide::Open() {
    F->Read(0);
}

void TOffsetSide::Close() {
    F->Window.clear();
    F->Top = 0;
}

void TOffsetSide::First() {
    F->Read(0);
}

void TOffsetSide::Last() {
    F->Read(F->LastTop());
}

void TOffsetSide::PageDown() {
    F->Read(F->Top + F->Target.WindowRows);
}

void TOffsetSide::PageUp() {
    F->Read(F->Top - F->Target.WindowRows);
}

void TOffsetSide::GoToRow(Int64 Rank, int) {
    F->Read(Rank - (F->Target.WindowRows - 1) / 2);
}


void TOffsetSide::Restart() {
    F->Conn.Rollback();
    F->Conn.Start();
}

TBenchWindow TOffsetSide::Window() {
    TBenchWindow ids;
    for (const TRow& r : F->Window)
        ids.push_back(r.Id);
    return ids;
}

Int64 TOffsetSide::AttachmentId() {
    return F->Conn.AttachmentId();
}
