#include "BenchClient.h"

#include "BenchStatements.h"
#include "SysUtils.h"

#include <cstring>

void CheckStatus(ISC_STATUS Result, const ISC_STATUS* Status, const char* Side, const char* What) {
    if (Result == 0 || Status[0] != 1 || Status[1] == 0) return;
    AnsiString msg = What;
    char line[512];
    const ISC_STATUS* p = Status;
    while (fb_interpret(line, sizeof line, &p) > 0) {
        msg += ": ";
        msg += line;
    }
    throw Exception(AnsiString(Side) + " client: " + msg);
}

// ---------------------------------------------------------------------------
// Descriptors and values

void TSqlda::Resize(int Count) {
    FBlock.assign(XSQLDA_LENGTH(Count), 0);
    Get()->version = SQLDA_VERSION1;
    Get()->sqln = static_cast<ISC_SHORT>(Count);
}

void TSqlda::Bind(bool Input) {
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

int SqlType(const XSQLVAR& V) {
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

void SetText(XSQLVAR& V, const char* Text, int Length) {
    V.sqltype = static_cast<ISC_SHORT>(SQL_TEXT | 1);
    V.sqllen = static_cast<ISC_SHORT>(Length);
    std::memcpy(V.sqldata, Text, static_cast<size_t>(Length));
    *V.sqlind = 0;
}

// ---------------------------------------------------------------------------
// TStatement

void TStatement::Prepare(const AnsiString& Text) {
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

void TStatement::Free() {
    if (FHandle) {
        ISC_STATUS_ARRAY sv;
        Check(isc_dsql_free_statement(sv, &FHandle, DSQL_drop), sv, "free statement");
        FHandle = 0;
    }
    FOpen = false;
    FAtEnd = false;
}

void TStatement::Execute(bool OpensCursor) {
    ISC_STATUS_ARRAY sv;
    Check(isc_dsql_execute(sv, FTr, &FHandle, 1, FIn.ForCall()), sv, "execute");
    FOpen = OpensCursor;
    FAtEnd = false;
}

void TStatement::ExecuteReturning() {
    ISC_STATUS_ARRAY sv;
    Check(isc_dsql_execute2(sv, FTr, &FHandle, 1, FIn.ForCall(), FOut.Get()), sv, "execute");
    FOpen = false;
    FAtEnd = false;
}

bool TStatement::Fetch() {
    ISC_STATUS_ARRAY sv;
    ISC_STATUS rc = isc_dsql_fetch(sv, &FHandle, 1, FOut.Get());
    if (rc == 100) {
        FAtEnd = true;
        return false;
    }
    Check(rc, sv, "fetch");
    return true;
}

void TStatement::CloseCursor() {
    if (!FOpen) return;
    ISC_STATUS_ARRAY sv;
    Check(isc_dsql_free_statement(sv, &FHandle, DSQL_close), sv, "close cursor");
    FOpen = false;
    FAtEnd = false;
}

long TStatement::RowsUpdated() {
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

void TStatement::Drop() noexcept {
    if (FHandle) {
        ISC_STATUS_ARRAY sv;
        isc_dsql_free_statement(sv, &FHandle, DSQL_drop);
        FHandle = 0;
    }
}

// ---------------------------------------------------------------------------
// TClientConnection

void TClientConnection::Attach(const TBenchTarget& Target) {
    std::vector<char> dpb{isc_dpb_version1};
    auto add = [&dpb](char Tag, const AnsiString& Value) {
        dpb.push_back(Tag);
        dpb.push_back(static_cast<char>(Value.size()));
        dpb.insert(dpb.end(), Value.begin(), Value.end());
    };
    add(isc_dpb_user_name, Target.User);
    add(isc_dpb_password, Target.Password);
    ISC_STATUS_ARRAY sv;
    CheckStatus(isc_attach_database(sv, 0, Target.DatabaseName.c_str(), &FDb, static_cast<short>(dpb.size()),
                                    dpb.data()),
                sv, FSide, "attach");
    Start();
}

void TClientConnection::Start() {
    ISC_STATUS_ARRAY sv;
    CheckStatus(isc_start_transaction(sv, &FTr, 1, &FDb, 0, nullptr), sv, FSide, "start transaction");
}

void TClientConnection::Rollback() {
    ISC_STATUS_ARRAY sv;
    CheckStatus(isc_rollback_transaction(sv, &FTr), sv, FSide, "rollback");
}

void TClientConnection::Detach() noexcept {
    ISC_STATUS_ARRAY sv;
    if (FTr) isc_rollback_transaction(sv, &FTr);
    if (FDb) isc_detach_database(sv, &FDb);
}

Int64 TClientConnection::AttachmentId() {
    TStatement q(FSide, &FDb, &FTr);
    q.Prepare("SELECT CURRENT_CONNECTION FROM RDB$DATABASE");
    q.Execute(true);
    Int64 id = 0;
    if (q.Fetch()) {
        XSQLVAR& v = q.Out().Var(0);
        if (SqlType(v) == SQL_INT64) {
            std::memcpy(&id, v.sqldata, sizeof id);
        } else if (SqlType(v) == SQL_LONG) {
            ISC_LONG n = 0;
            std::memcpy(&n, v.sqldata, sizeof n);
            id = n;
        }
    }
    q.CloseCursor();
    return id;
}

// ---------------------------------------------------------------------------
// Rows of ITEM

void CheckItemColumns(TSqlda& Out, const char* Side) {
    if (Out.Count() != 4 || SqlType(Out.Var(0)) != SQL_LONG || SqlType(Out.Var(1)) != SQL_VARYING ||
        Out.Var(1).sqllen > 30 || SqlType(Out.Var(2)) != SQL_LONG || SqlType(Out.Var(3)) != SQL_LONG)
        throw Exception(AnsiString(Side) + " client: ITEM has not the bench layout");
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

bool SameOrder(TBenchOrder Order, const TRow& A, const TRow& B) {
    switch (Order) {
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

void BindOrder(TBenchOrder Order, TStatement& Q, const TRow& Row) {
    if (Order != TBenchOrder::Quantity) {
        XSQLVAR& v = Q.In().Var(0);
        if (Order == TBenchOrder::Id)
            SetLong(v, Row.Id);
        else
            SetVarying(v, Row.Description, Row.DescriptionLength);
        return;
    }
    // QUANTITY (_LOCATE1 or Q, several times, NULL too) and ID (_LOCATE2 or ID).
    TSqlda& in = Q.In();
    for (int i = 0; i < in.Count(); ++i) {
        XSQLVAR& v = in.Var(i);
        const AnsiString& name = Q.ParamNames()[static_cast<size_t>(i)];
        if (name == "_LOCATE2" || name == "ID") {
            SetLong(v, Row.Id);
        } else if (Row.QuantityNull) {
            *v.sqlind = -1;
        } else if (SqlType(v) == SQL_NULL) { // "? IS NULL": only whether it is
            *v.sqlind = 0;
        } else {
            SetLong(v, Row.Quantity);
        }
    }
}

void BindOrder(TBenchOrder Order, TStatement& Q, const TBenchKey& Key) {
    switch (Order) {
    case TBenchOrder::Id:
        SetLong(Q.In().Var(0), Key.Id);
        return;
    case TBenchOrder::Description:
        SetVarying(Q.In().Var(0), Key.Description.data(), static_cast<int>(Key.Description.size()));
        return;
    case TBenchOrder::Quantity:
        break;
    }
    throw EBenchUnsupported("no nearest search by QUANTITY");
}

// ---------------------------------------------------------------------------
// TWindowSide

void TWindowSide::SetCurrent(size_t Index) {
    FPosFlag = OnRow;
    FPos = FWindow[Index];
}

bool TWindowSide::NextRecord() {
    if (!FWindow.empty()) SetCurrent(FWindow.size() - 1);
    TRow row;
    if (!GetNext(row)) return false;
    if (FWindow.size() == Rows()) FWindow.pop_front();
    FWindow.push_back(row);
    return true;
}

bool TWindowSide::PriorRecord() {
    if (!FWindow.empty()) SetCurrent(0);
    TRow row;
    if (!GetPrior(row)) return false;
    if (FWindow.size() == Rows()) FWindow.pop_back();
    FWindow.push_front(row);
    return true;
}

void TWindowSide::NextRecords() {
    while (FWindow.size() < Rows() && NextRecord()) {
    }
}

void TWindowSide::PriorRecords() {
    while (FWindow.size() < Rows() && PriorRecord()) {
    }
}

void TWindowSide::Resync(size_t Before) {
    FWindow.assign(1, FPos);
    FActive = 0;
    while (Before > 0 && PriorRecord()) {
        --Before;
        ++FActive;
    }
    NextRecords();
    size_t n = FWindow.size();
    PriorRecords();
    FActive += FWindow.size() - n;
}

void TWindowSide::ClearWindow() {
    FWindow.clear();
    FActive = 0;
    FPosFlag = BeforeFirst;
}

void TWindowSide::First() {
    ClearWindow();
    NextRecord();
    NextRecords();
    FActive = 0;
}

void TWindowSide::Last() {
    ClearWindow();
    FPosFlag = AfterLast;
    PriorRecord();
    PriorRecords();
    FActive = FWindow.empty() ? 0 : FWindow.size() - 1;
}

void TWindowSide::PageDown() {
    for (size_t i = 0; i < Rows() && NextRecord(); ++i) {
    }
    FActive = FWindow.empty() ? 0 : FWindow.size() - 1;
}

void TWindowSide::PageUp() {
    for (size_t i = 0; i < Rows() && PriorRecord(); ++i) {
    }
    FActive = 0;
}

Int64 TWindowSide::Scan() {
    First();
    Int64 rows = FWindow.empty() ? 0 : 1;
    for (;;) {
        if (FActive + 1 < FWindow.size()) {
            ++FActive;
        } else if (NextRecord()) {
            FActive = FWindow.size() - 1;
        } else {
            break;
        }
        ++rows;
    }
    return rows;
}

TBenchWindow TWindowSide::Window() {
    TBenchWindow ids;
    for (const TRow& r : FWindow)
        ids.push_back(r.Id);
    return ids;
}
