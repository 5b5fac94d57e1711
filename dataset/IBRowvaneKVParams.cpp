// Statement parameters: position values into the _LOCATE parameters, field
// values into every other parameter, one column into one parameter by its
// type, and the main select's parameter values into a derived statement.
#include "IBRowvaneKVInternal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

using Ibrowvanekv::ReadPacked;

// Position parameters are named by this prefix and never bound from fields.
constexpr char LocatePrefix[] = "_LOCATE";

bool IsLocateParam(const AnsiString& Name) {
    return Name.compare(0, sizeof LocatePrefix - 1, LocatePrefix) == 0;
}

} // namespace

namespace Ibrowvanekv {

AnsiString LocateParamName(int Index) {
    return LocatePrefix + IntToStr(Index);
}

} // namespace Ibrowvanekv

void TIBRowvaneKV::SetQueryLocateValues(TIBSQL* Query, char* Buffer, bool ByKey, int Count) {
    TIBRVColumnList* columns =
        ByKey ? static_cast<TIBRVColumnList*>(FKeyColumns.get()) : FOrderColumnsFwd.get();
    int n = columns->GetCount();
    if (Count != -1) {
        if (Count > (ByKey ? n : GetOrderColumnCount())) throw EIBRVError(rveInvalidSortColCount);
        n = Count;
    }
    for (int i = 0; i < n; ++i) {
        TIBRVColumn* column = columns->GetItem(i);
        PFieldHdr hdr = GetFieldHeader(Buffer, column->GetTableNameEx(), column->GetColumnNameEx());
        if (!hdr) throw EIBRVError(rveFieldNotFound, {column->GetFullColumnNameEx()});
        SetQryParamFromBuf(Query, Ibrowvanekv::LocateParamName(i + 1), Buffer, hdr);
    }
}

void TIBRowvaneKV::SetQueryFieldValues(TIBSQL* Query, char* Buffer) {
    TIBXSQLDA* params = Query->GetSQLParams();
    int count = params->GetCount();
    for (int i = 0; i < count; ++i) {
        TIBXSQLVAR* param = params->GetXSQLVAR(i);
        if (IsLocateParam(param->GetName())) continue;
        int index = GetFieldDefs()->IndexOf(param->GetName());
        if (index < 0) throw EIBRVError(rveParamNotFound, {param->GetName()});
        int column = GetFieldDefs()->GetItem(index)->GetFieldNo() - 1;
        SetQryParamFromBuf(Query, param, Buffer, TIBRVRecordBuffer::FieldHdr(Buffer, column));
    }
}

void TIBRowvaneKV::SetQryParamFromBuf(TIBSQL*, TIBXSQLVAR* Param, char* Buffer, PFieldHdr Hdr) {
    if (Hdr.GetIsNull()) {
        Param->SetIsNull(true);
        return;
    }
    const char* data = Buffer + Hdr.GetOffset();
    TFieldType type = Hdr.GetFieldType();
    switch (type) {
    case ftString:
        Param->SetAsString(AnsiString(
            data, static_cast<size_t>(std::max(0, std::min(Hdr.GetDataSize(), Hdr.GetActualLength())))));
        break;
    case ftSmallint:
    case ftInteger:
        Param->SetAsLong(ReadPacked<std::int32_t>(data));
        break;
    case ftFloat:
        Param->SetAsDouble(ReadPacked<double>(data));
        break;
    case ftBCD:
        // The engine's own scaled integer, exactly.
        Param->SetAsScaled(ReadPacked<Int64>(data), -Hdr.GetActualLength());
        break;
    case ftDate: {
        TTimeStamp ts;
        ts.Date = ReadPacked<std::int32_t>(data);
        ts.Time = 0;
        Param->SetAsDateTime(TimeStampToDateTime(ts));
        break;
    }
    case ftTime:
        Param->SetAsISCTime(static_cast<ISC_TIME>(ReadPacked<std::int32_t>(data)));
        break;
    case ftDateTime:
        Param->SetAsISCTimeStamp(Ibrowvanekv::BufferToTimeStamp(ReadPacked<double>(data)));
        break;
    case ftLargeint:
        Param->SetAsInt64(ReadPacked<Int64>(data));
        break;
    default:
        switch (Hdr.GetSQLType()) {
        case SQL_BLOB:
        case SQL_ARRAY:
        case SQL_QUAD:
            Param->SetAsQuad(ReadPacked<ISC_QUAD>(data));
            return;
        default:
            throw EIBRVError(rveFieldTypeNoSupport, {IntToStr(static_cast<int>(type))});
        }
    }
    Param->SetIsNull(false);
}

void TIBRowvaneKV::SetQryParamFromBuf(TIBSQL* Query, const AnsiString& ParamName, char* Buffer,
                                      PFieldHdr Hdr) {
    SetQryParamFromBuf(Query, Query->GetSQLParams()->ByName(ParamName), Buffer, Hdr);
}

void TIBRowvaneKV::SetQryParamFromBuf(TIBSQL* Query, const AnsiString& ParamName, char* Buffer,
                                      const AnsiString& TableName, const AnsiString& ColumnName) {
    PFieldHdr hdr = GetFieldHeader(Buffer, TableName, ColumnName);
    if (!hdr) {
        AnsiString name = TableName.empty() ? ColumnName : TableName + "." + ColumnName;
        throw EIBRVError(rveFieldNotFound, {name});
    }
    SetQryParamFromBuf(Query, ParamName, Buffer, hdr);
}

void TIBRowvaneKV::SetQryParamFromQry(TIBSQL* Source, TIBSQL* Dest) {
    TIBXSQLDA* source = Source->GetSQLParams();
    TIBXSQLDA* dest = Dest->GetSQLParams();
    int count = source->GetCount();
    for (int i = 0; i < count; ++i) {
        TIBXSQLVAR* param = source->GetXSQLVAR(i);
        dest->ByName(param->GetName())->Assign(*param);
    }
}
