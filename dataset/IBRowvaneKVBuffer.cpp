// Record buffers: layout, the model buffer, the mapping of SQL types onto
// field types, fetching a row, field reads and writes, bookmark size and the
// comparison of two buffers by key or order columns.
#include "IBRowvaneKVInternal.h"

#include "DateUtils.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

namespace {

using Ibrowvanekv::ReadPacked;
using Ibrowvanekv::TimeUnitsPerDay;
using Ibrowvanekv::TimeUnitsPerMSec;
using Ibrowvanekv::WritePacked;

bool IsBlobType(TFieldType Type) {
    return Type == ftBlob || Type == ftMemo || Type == ftGraphic;
}

// A column's data area from its FieldHdr.
char* ColumnData(char* Buffer, PFieldHdr Hdr) {
    return Buffer + Hdr.GetOffset();
}

// Null with nothing left of an earlier value, so that buffers compare by value.
void ClearColumn(char* Buffer, PFieldHdr Hdr) {
    std::memset(ColumnData(Buffer, Hdr), 0, static_cast<size_t>(Hdr.GetDataSize()));
    Hdr.SetActualLength(Hdr.GetFieldType() == ftBCD ? Hdr.GetActualLength() : 0);
    Hdr.SetIsNull(true);
}

[[noreturn]] void UnsupportedType(int SQLType) {
    throw EIBRVError(rveFieldTypeNoSupport, {IntToStr(SQLType)});
}

// The bytes of the first Count UTF-8 characters of a text of Size bytes
// (all of them when it has fewer).
int CharsToBytes(const char* Text, int Size, int Count) {
    int i = 0;
    for (; i < Size; ++i) {
        if ((static_cast<unsigned char>(Text[i]) & 0xC0) != 0x80 && Count-- == 0) break;
    }
    return i;
}

int CountChars(const char* Text, int Size) {
    int n = 0;
    for (int i = 0; i < Size; ++i)
        n += (static_cast<unsigned char>(Text[i]) & 0xC0) != 0x80;
    return n;
}

// A text's length without its trailing blanks, which the engine ignores
// when it compares two texts.
size_t TrimmedLength(const char* Text, int Length) {
    size_t n = static_cast<size_t>(std::max(Length, 0));
    while (n > 0 && Text[n - 1] == ' ')
        --n;
    return n;
}

} // namespace

// ---------------------------------------------------------------------------
// PFieldHdr

TFieldHdr PFieldHdr::Load() const {
    TFieldHdr hdr;
    hdr.FieldType = GetFieldType();
    hdr.SQLType = GetSQLType();
    hdr.Required = GetRequired();
    hdr.IsNull = GetIsNull();
    hdr.DataSize = GetDataSize();
    hdr.ActualLength = GetActualLength();
    hdr.Precision = GetPrecision();
    hdr.Offset = GetOffset();
    return hdr;
}

void PFieldHdr::Store(const TFieldHdr& Hdr) const {
    SetFieldType(Hdr.FieldType);
    SetSQLType(Hdr.SQLType);
    SetRequired(Hdr.Required);
    SetIsNull(Hdr.IsNull);
    SetDataSize(Hdr.DataSize);
    SetActualLength(Hdr.ActualLength);
    SetPrecision(Hdr.Precision);
    SetOffset(Hdr.Offset);
}

// ---------------------------------------------------------------------------
// Sizes and the model buffer

int TIBRowvaneKV::CalcRecordSize() const {
    return GetBufferHeaderSize() + FFieldDataSize + GetCalcFieldsSize();
}

Word TIBRowvaneKV::GetRecordSize() {
    int size = CalcRecordSize();
    if (size > 0xFFFF) throw ERangeError("Record size " + IntToStr(size) + " does not fit in 16 bits");
    return static_cast<Word>(size);
}

int TIBRowvaneKV::GetCalcFieldsOffset() const {
    return GetBufferHeaderSize() + FFieldDataSize;
}

int TIBRowvaneKV::CalcFieldDataSize(TIBSQL* Query) const {
    TIBXSQLDA* row = Query->Current();
    int size = 0;
    for (int i = 0; i < row->GetCount(); ++i) {
        TFieldHdr hdr;
        GetFieldHeader(row->GetXSQLVAR(i), hdr);
        size += hdr.DataSize;
    }
    return size;
}

void TIBRowvaneKV::CreateModelBuffer() {
    if (FModelBuffer) return;
    int headerSize = GetBufferHeaderSize();
    // The header of every buffer, followed by the data of a row whose
    // columns are all null (zero), so a row read starts from one copy.
    auto model = std::make_unique<char[]>(static_cast<size_t>(headerSize + FFieldDataSize));
    char* p = model.get();
    TIBRVRecordBuffer::SetRecordSize(p, CalcRecordSize());
    TIBRVRecordBuffer::SetFieldCount(p, FColumnCount);
    TIBXSQLDA* row = FQrySelect->Current();
    std::vector<TColumnFetch> fetch;
    int offset = headerSize;
    for (int i = 0; i < FColumnCount; ++i) {
        TFieldHdr hdr;
        TIBXSQLVAR* column = row->GetXSQLVAR(i);
        GetFieldHeader(column, hdr);
        hdr.Offset = offset;
        offset += hdr.DataSize;
        TIBRVRecordBuffer::FieldHdr(p, i).Store(hdr);
        fetch.push_back(ColumnFetch(column, hdr));
        fetch.back().HdrAt = static_cast<int>(TIBRVRecordBuffer::FieldHdr(p, i).Address() - p);
    }
    TIBRVRecordBuffer::SetValidFlag(p, TIBRVRecordBuffer::NoRow);
    FModelBuffer = std::move(model);
    FColumnFetch = std::move(fetch);
    FPlanFitsRow = nullptr;
}

TIBRowvaneKV::TColumnFetch TIBRowvaneKV::ColumnFetch(TIBXSQLVAR* Column, const TFieldHdr& Hdr) {
    TColumnFetch f;
    f.SQLType = Hdr.SQLType;
    f.Scale = Column->GetSQLScale();
    f.Offset = Hdr.Offset;
    f.DataSize = Hdr.DataSize;
    switch (Hdr.FieldType) {
    case ftString:
        f.CharSize = Column->GetCharSize();
        f.CharCount = Hdr.DataSize / f.CharSize;
        f.Kind = Hdr.SQLType == SQL_VARYING ? TColumnFetch::Varying
                 : f.CharSize > 1           ? TColumnFetch::TextChars
                                            : TColumnFetch::Text;
        break;
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
        if (f.Scale == 0)
            f.Kind = Hdr.SQLType == SQL_SHORT  ? TColumnFetch::Short
                     : Hdr.SQLType == SQL_LONG ? TColumnFetch::Long
                                               : TColumnFetch::Large;
        break;
    case ftBCD:
        f.Kind = Hdr.SQLType == SQL_SHORT  ? TColumnFetch::ScaledShort
                 : Hdr.SQLType == SQL_LONG ? TColumnFetch::ScaledLong
                                           : TColumnFetch::ScaledLarge;
        break;
    case ftFloat:
        if (Hdr.SQLType == SQL_DOUBLE && Column->GetSize() == 8) f.Kind = TColumnFetch::Double;
        break;
    case ftDate:
        f.Kind = TColumnFetch::Date;
        break;
    case ftTime:
        f.Kind = TColumnFetch::Time;
        break;
    case ftDateTime:
        f.Kind = TColumnFetch::TimeStamp;
        break;
    default:
        if ((Hdr.SQLType == SQL_BLOB || Hdr.SQLType == SQL_ARRAY || Hdr.SQLType == SQL_QUAD) && Hdr.DataSize == 8)
            f.Kind = TColumnFetch::Id;
        break;
    }
    return f;
}

char* TIBRowvaneKV::AllocRecordBuffer() {
    assert(FModelBuffer);
    size_t size = static_cast<size_t>(CalcRecordSize());
    size_t headerSize = static_cast<size_t>(GetBufferHeaderSize());
    auto buffer = std::make_unique<char[]>(size); // zeroed: field data and calculated area
    std::memcpy(buffer.get(), FModelBuffer.get(), headerSize);
    return buffer.release();
}

void TIBRowvaneKV::FreeRecordBuffer(char*& Buffer) {
    std::unique_ptr<char[]> owned(Buffer);
    Buffer = nullptr;
}

void TIBRowvaneKV::InternalInitRecord(char* Buffer) {
    // Every column null, and nothing of an earlier row left in the data.
    std::memcpy(Buffer, FModelBuffer.get(), static_cast<size_t>(GetBufferHeaderSize() + FFieldDataSize));
    TIBRVRecordBuffer::SetValidFlag(Buffer, TIBRVRecordBuffer::OnRow);
}

void TIBRowvaneKV::ClearCalcFields(char* Buffer) {
    std::memset(Buffer + GetCalcFieldsOffset(), 0, static_cast<size_t>(GetCalcFieldsSize()));
}

void TIBRowvaneKV::SetValidRecordFlag(char* Buffer, int Value) {
    if (!Buffer) return;
    BufferChanging(Buffer);
    TIBRVRecordBuffer::SetValidFlag(Buffer, Value);
}


void TIBRowvaneKV::SaveRecord(char* Dest, const char* Source) {
    if (!Dest || !Source || Dest == Source) return;
    BufferChanging(Dest);
    int size = std::min(TIBRVRecordBuffer::GetRecordSize(Dest), TIBRVRecordBuffer::GetRecordSize(Source));
    if (size > 0) std::memcpy(Dest, Source, static_cast<size_t>(size));
}

TBookmarkFlag TIBRowvaneKV::GetBookmarkFlag(char* Buffer) {
    return TIBRVRecordBuffer::GetBookmarkFlag(Buffer);
}

void TIBRowvaneKV::SetBookmarkFlag(char* Buffer, TBookmarkFlag Value) {
    TIBRVRecordBuffer::SetBookmarkFlag(Buffer, Value);
}

// ---------------------------------------------------------------------------
// Type mapping and fetching

void TIBRowvaneKV::GetFieldHeader(TIBXSQLVAR* Column, TFieldHdr& Hdr) const {
    Hdr = TFieldHdr();
    Hdr.SQLType = Column->GetSQLType();
    Hdr.IsNull = true;
    Hdr.Required = !Column->GetIsNullable();
    // The integer types by scale: none keeps the type; decimals make a
    // BCD column, which holds the engine's scaled integer exactly.
    auto scaled = [&](TFieldType Base, int BaseSize, int BasePrecision) {
        int scale = Column->GetSQLScale();
        if (scale >= 0) {
            Hdr.FieldType = Base;
            Hdr.DataSize = BaseSize;
        } else {
            Hdr.FieldType = ftBCD;
            Hdr.DataSize = 8;
            Hdr.Precision = BasePrecision;
            Hdr.ActualLength = -scale;
        }
    };
    switch (Hdr.SQLType) {
    case SQL_VARYING:
    case SQL_TEXT:
        Hdr.FieldType = ftString;
        Hdr.DataSize = Column->GetSize();
        break;
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_D_FLOAT:
        Hdr.FieldType = ftFloat;
        Hdr.DataSize = 8;
        break;
    case SQL_SHORT:
        scaled(ftSmallint, 4, 5);
        break;
    case SQL_LONG:
        scaled(ftInteger, 4, 10);
        break;
    case SQL_INT64:
        scaled(ftLargeint, 8, 18);
        break;
    case SQL_TIMESTAMP:
        Hdr.FieldType = ftDateTime;
        Hdr.DataSize = 8;
        break;
    case SQL_TYPE_TIME:
        Hdr.FieldType = ftTime;
        Hdr.DataSize = 4;
        break;
    case SQL_TYPE_DATE:
        Hdr.FieldType = ftDate;
        Hdr.DataSize = 4;
        break;
    case SQL_BLOB:
        Hdr.FieldType = Column->GetSQLSubtype() == 1   ? ftMemo
                        : Column->GetSQLSubtype() == 7 ? ftGraphic
                                                       : ftBlob;
        Hdr.DataSize = 8;
        break;
    case SQL_ARRAY:
    case SQL_QUAD:
        Hdr.FieldType = ftUnknown;
        Hdr.DataSize = 8;
        break;
    default:
        UnsupportedType(Hdr.SQLType);
    }
}

inline bool TIBRowvaneKV::FetchDirect(const TColumnFetch& Fetch, const XSQLVAR& Column, char* Buffer) {
    const char* source = Column.sqldata;
    char* data = Buffer + Fetch.Offset;
    PFieldHdr hdr(Buffer + Fetch.HdrAt);
    switch (Fetch.Kind) {
    case TColumnFetch::Text:
    case TColumnFetch::TextChars:
    case TColumnFetch::Varying: {
        int n = Fetch.DataSize;
        if (Fetch.Kind == TColumnFetch::Varying) {
            // isc_vax_integer (data, 2): the length, little-endian and signed.
            auto length = static_cast<std::int16_t>(static_cast<unsigned char>(source[0]) |
                                                    static_cast<unsigned char>(source[1]) << 8);
            n = std::clamp<int>(length, 0, n);
            source += 2;
        } else {
            n = std::min<int>(n, Column.sqllen);
            // The engine pads a CHAR to its bytes; its value is CharCount characters.
            if (Fetch.Kind == TColumnFetch::TextChars) n = CharsToBytes(source, n, Fetch.CharCount);
        }
        std::memcpy(data, source, static_cast<size_t>(n));
        hdr.SetActualLength(n);
        break;
    }
    case TColumnFetch::Short:
        WritePacked<std::int32_t>(data, ReadPacked<std::int16_t>(source));
        break;
    case TColumnFetch::Long:
        std::memcpy(data, source, 4);
        break;
    case TColumnFetch::Large:
    case TColumnFetch::Double:
    case TColumnFetch::Id:
        std::memcpy(data, source, 8);
        break;
    case TColumnFetch::ScaledShort:
        WritePacked<Int64>(data, ReadPacked<std::int16_t>(source));
        break;
    case TColumnFetch::ScaledLong:
        WritePacked<Int64>(data, ReadPacked<std::int32_t>(source));
        break;
    case TColumnFetch::ScaledLarge:
        std::memcpy(data, source, 8);
        break;
    case TColumnFetch::Date:
        WritePacked<std::int32_t>(data, ReadPacked<ISC_DATE>(source) + Ibrowvanekv::ISCDateDelta);
        break;
    case TColumnFetch::Time:
        WritePacked<std::int32_t>(data, static_cast<std::int32_t>(ReadPacked<ISC_TIME>(source)));
        break;
    case TColumnFetch::TimeStamp:
        WritePacked<double>(data, Ibrowvanekv::TimeStampToBuffer(ReadPacked<ISC_TIMESTAMP>(source)));
        break;
    case TColumnFetch::Other:
        return false;
    }
    hdr.SetIsNull(false);
    return true;
}

bool TIBRowvaneKV::PlanFitsNewRow(const XSQLDA* Row) {
    size_t count = FColumnFetch.size();
    if (!Row || Row->sqld < static_cast<int>(count) || count != static_cast<size_t>(FColumnCount)) return false;
    for (size_t i = 0; i < count; ++i) {
        const XSQLVAR& v = Row->sqlvar[i];
        if ((v.sqltype & ~1) != FColumnFetch[i].SQLType || v.sqlscale != FColumnFetch[i].Scale) return false;
    }
    FPlanFitsRow = Row;
    return true;
}

void TIBRowvaneKV::FetchRecordToBuffer(char* Buffer, TIBXSQLDA* Row) {
    // Nothing of an earlier row stays behind: null columns and the tails of
    // shorter strings are zero, so buffers compare by their values.
    std::memcpy(Buffer, FModelBuffer.get(), static_cast<size_t>(GetBufferHeaderSize() + FFieldDataSize));
    // The row's descriptors are read directly when they are those the plan
    // was made for; a column the plan leaves out goes through its getters.
    const XSQLDA* da = Row->AsXSQLDA();
    if (PlanFits(da)) {
        // Locals: the writes into the buffer could alias the members.
        const TColumnFetch* fetch = FColumnFetch.data();
        const XSQLVAR* vars = da->sqlvar;
        const int count = FColumnCount;
        for (int i = 0; i < count; ++i) {
            const TColumnFetch& f = fetch[i];
            const XSQLVAR& v = vars[i];
            if ((v.sqltype & 1) && v.sqlind && *v.sqlind == -1) continue; // null: IsNull stays set
            if (!FetchDirect(f, v, Buffer))
                FetchFieldToBuffer(Row->GetXSQLVAR(i), PFieldHdr(Buffer + f.HdrAt), Buffer + f.Offset);
        }
    } else {
        for (int i = 0; i < FColumnCount; ++i) {
            PFieldHdr hdr = TIBRVRecordBuffer::FieldHdr(Buffer, i);
            FetchFieldToBuffer(Row->GetXSQLVAR(i), hdr, Buffer + hdr.GetOffset());
        }
    }
    TIBRVRecordBuffer::SetValidFlag(Buffer, TIBRVRecordBuffer::OnRow);
}

void TIBRowvaneKV::FetchFieldToBuffer(TIBXSQLVAR* Column, PFieldHdr Hdr, char* Data) {
    if (Column->GetIsNull()) return;
    int dataSize = Hdr.GetDataSize();
    switch (Hdr.GetFieldType()) {
    case ftString: {
        const char* source = Column->GetData();
        int n;
        if (Hdr.GetSQLType() == SQL_VARYING) {
            n = std::clamp(static_cast<int>(isc_vax_integer(source, 2)), 0, dataSize);
            source += 2;
        } else {
            n = std::min(dataSize, Column->GetSize());
            // A CHAR counted in characters is as many of them as it declares.
            int charSize = Column->GetCharSize();
            if (charSize > 1) n = CharsToBytes(source, n, dataSize / charSize);
        }
        std::memcpy(Data, source, static_cast<size_t>(n));
        Hdr.SetActualLength(n);
        break;
    }
    case ftSmallint:
    case ftInteger:
        WritePacked<std::int32_t>(Data, Column->GetAsLong());
        break;
    case ftFloat:
        WritePacked<double>(Data, Column->GetAsDouble());
        break;
    case ftBCD:
        WritePacked<Int64>(Data, Column->GetAsScaled(-Hdr.GetActualLength()));
        break;
    case ftDate:
        WritePacked<std::int32_t>(Data,
                                  Column->GetAsISCTimeStamp().timestamp_date + Ibrowvanekv::ISCDateDelta);
        break;
    case ftTime:
        WritePacked<std::int32_t>(Data, static_cast<std::int32_t>(Column->GetAsISCTime()));
        break;
    case ftDateTime:
        WritePacked<double>(Data, Ibrowvanekv::TimeStampToBuffer(Column->GetAsISCTimeStamp()));
        break;
    case ftLargeint:
        WritePacked<Int64>(Data, Column->GetAsInt64());
        break;
    default:
        switch (Hdr.GetSQLType()) {
        case SQL_BLOB:
        case SQL_ARRAY:
        case SQL_QUAD:
            std::memcpy(Data, Column->GetData(), static_cast<size_t>(dataSize));
            break;
        default:
            UnsupportedType(Hdr.GetSQLType());
        }
    }
    Hdr.SetIsNull(false);
}

int TIBRowvaneKV::GetFieldIndex(const char* Buffer, const AnsiString& TableName,
                                const AnsiString& ColumnName) const {
    int index = GetTableColumnIndex(Buffer, TableName, ColumnName);
    return index >= 0 || !TableName.empty() ? index : GetSelectNameIndex(Buffer, ColumnName);
}

int TIBRowvaneKV::GetTableColumnIndex(const char* Buffer, const AnsiString& TableName,
                                      const AnsiString& ColumnName) const {
    int count = TIBRVRecordBuffer::GetFieldCount(Buffer);
    for (int i = 0; i < count; ++i) {
        // The column's own name in its table, not the name the select gives it.
        TIBXSQLVAR* column = FQrySelect->GetFields(i);
        AnsiString name = column->GetSQLName();
        if (name.empty() || name != ColumnName) continue;
        if (TableName.empty()) return i;
        AnsiString table = column->GetRelName();
        if (table.empty()) continue;
        if (TableName == table || TableName == FTableAliases->GetAlias(table)) return i;
    }
    return -1;
}

int TIBRowvaneKV::GetSelectNameIndex(const char* Buffer, const AnsiString& ColumnName) const {
    int count = TIBRVRecordBuffer::GetFieldCount(Buffer);
    for (int i = 0; i < count; ++i)
        if (FQrySelect->GetFields(i)->GetAliasName() == ColumnName) return i;
    return -1;
}

PFieldHdr TIBRowvaneKV::GetFieldHeader(char* Buffer, const AnsiString& TableName,
                                       const AnsiString& ColumnName) const {
    int index = GetFieldIndex(Buffer, TableName, ColumnName);
    return index < 0 ? PFieldHdr() : TIBRVRecordBuffer::FieldHdr(Buffer, index);
}

// ---------------------------------------------------------------------------
// Field data

char* TIBRowvaneKV::GetActiveBuf() {
    switch (GetState()) {
    case dsSetKey:
        return FKeyBuffer;
    case dsCalcFields:
        return CalcBuffer();
    case dsFilter:
        return FFilterBuffer;
    default:
        return ActiveBuffer();
    }
}

bool TIBRowvaneKV::IsDsWriteMode() const {
    return dsWriteModes.Contains(GetState());
}

void TIBRowvaneKV::CheckSetFieldChange(TField* Field) {
    TDataSetState state = GetState();
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
        DataEvent(deFieldChange, FieldEventInfo(Field));
}

bool TIBRowvaneKV::GetFieldData(TField* Field, void* Buffer) {
    char* record = GetActiveBuf();
    if (!record) return false;
    if (IsEmpty() && GetState() == dsBrowse) return false;
    if (Field->GetFieldNo() > TIBRVRecordBuffer::GetFieldCount(record)) return false;
    if (Field->GetFieldNo() <= 0) {
        // Calculated and lookup fields: a flag byte and the value.
        const char* p = record + GetCalcFieldsOffset() + Field->GetOffset();
        if (p[0] == 0) return false;
        if (!Buffer) return true;
        if (Field->GetDataType() == ftBCD) {
            // Held as Currency (no column: no scale of its own), whatever size the field reports.
            TBcd bcd;
            if (!CurrToBCD(Currency::FromRaw(ReadPacked<Int64>(p + 1)), bcd, 32, Field->GetSize())) return false;
            std::memcpy(Buffer, &bcd, sizeof bcd);
        } else {
            std::memcpy(Buffer, p + 1, static_cast<size_t>(Field->GetDataSize()));
        }
        return true;
    }
    if (TIBRVRecordBuffer::GetValidFlag(record) != TIBRVRecordBuffer::OnRow) return false;
    PFieldHdr hdr = TIBRVRecordBuffer::FieldHdr(record, Field->GetFieldNo() - 1);
    TFieldType type = hdr.GetFieldType();
    if (type != Field->GetDataType()) throw EIBRVError(rveFieldTypeMismatch, {Field->GetFieldName()});
    if (hdr.GetIsNull()) return false;
    if (!Buffer) return true;
    const char* data = record + hdr.GetOffset();
    auto* dest = static_cast<char*>(Buffer);
    if (type == ftString) {
        auto* text = dynamic_cast<TStringField*>(Field);
        if (!text) return false;
        // The field's Size counts its unit, and its buffer holds that many
        // characters' bytes and a zero byte.
        int n = hdr.GetActualLength();
        int length = text->GetCountsBytes() ? n : CountChars(data, n);
        if (text->GetSize() < length || text->GetDataSize() <= n)
            throw EIBRVError(rveFieldSizeMismatch, {Field->GetFieldName()});
        std::memcpy(dest, data, static_cast<size_t>(n));
        if (text->GetFixedChar() && length < text->GetSize()) {
            std::memset(dest + n, ' ', static_cast<size_t>(text->GetSize() - length));
            n += text->GetSize() - length;
        }
        dest[n] = '\0';
        return true;
    }
    if (!IsBlobType(type) && Field->GetDataSize() != hdr.GetDataSize())
        throw EIBRVError(rveFieldSizeMismatch, {Field->GetFieldName()});
    switch (type) {
    case ftBCD: {
        TBcd bcd;
        if (!ScaledToBCD(ReadPacked<Int64>(data), hdr.GetActualLength(), bcd, 32, Field->GetSize()))
            return false;
        std::memcpy(dest, &bcd, sizeof bcd);
        return true;
    }
    case ftTime:
        // The field's milliseconds: the last decimal cut.
        WritePacked<std::int32_t>(dest, ReadPacked<std::int32_t>(data) / TimeUnitsPerMSec);
        return true;
    case ftDateTime: {
        auto units = static_cast<Int64>(ReadPacked<double>(data));
        Int64 ms = units / TimeUnitsPerDay * MSecsPerDay + units % TimeUnitsPerDay / TimeUnitsPerMSec;
        WritePacked<double>(dest, static_cast<double>(ms));
        return true;
    }
    default:
        std::memcpy(dest, data, static_cast<size_t>(hdr.GetDataSize()));
        return true;
    }
}

void TIBRowvaneKV::SetFieldData(TField* Field, void* Buffer) {
    if (!IsDsWriteMode()) throw EIBRVError(rveNoWriteMode);
    char* record = GetActiveBuf();
    if (!record || Field->GetFieldNo() > TIBRVRecordBuffer::GetFieldCount(record)) return;
    const auto* source = static_cast<const char*>(Buffer);
    if (Field->GetFieldNo() <= 0) {
        char* p = record + GetCalcFieldsOffset() + Field->GetOffset();
        size_t size = static_cast<size_t>(Field->GetDataSize());
        if (!source) {
            p[0] = 0;
            std::memset(p + 1, 0, size);
        } else if (Field->GetDataType() == ftBCD) {
            Currency value;
            if (!BCDToCurr(ReadPacked<TBcd>(source), value)) throw EIBRVError(rveBCDConvertError);
            std::memset(p + 1, 0, size);
            WritePacked<Int64>(p + 1, value.Raw());
            p[0] = 1;
        } else {
            std::memcpy(p + 1, source, size);
            p[0] = 1;
        }
        CheckSetFieldChange(Field);
        return;
    }
    PFieldHdr hdr = TIBRVRecordBuffer::FieldHdr(record, Field->GetFieldNo() - 1);
    TFieldType type = hdr.GetFieldType();
    if (type != Field->GetDataType()) throw EIBRVError(rveFieldTypeMismatch, {Field->GetFieldName()});
    Field->Validate(Buffer);
    char* data = record + hdr.GetOffset();
    int dataSize = hdr.GetDataSize();
    if (!source || (type == ftString && source[0] == '\0')) {
        ClearColumn(record, hdr);
        CheckSetFieldChange(Field);
        return;
    }
    if (type == ftString) {
        // The field's buffer holds its text and a zero byte; never read beyond it.
        size_t limit = static_cast<size_t>(std::max(Field->GetDataSize(), 0));
        int n = static_cast<int>(strnlen(source, limit));
        // Bytes for the buffer; characters too where the column counts them.
        const TColumnFetch& column = FColumnFetch[static_cast<size_t>(Field->GetFieldNo() - 1)];
        if (n > dataSize || (column.CharSize > 1 && CountChars(source, n) > column.CharCount))
            throw EIBRVError(rveFieldSizeMismatch, {Field->GetFieldName()});
        std::memcpy(data, source, static_cast<size_t>(n));
        std::memset(data + n, 0, static_cast<size_t>(dataSize - n));
        hdr.SetActualLength(n);
        hdr.SetIsNull(false);
        CheckSetFieldChange(Field);
        return;
    }
    if (!IsBlobType(type) && Field->GetDataSize() != dataSize)
        throw EIBRVError(rveFieldSizeMismatch, {Field->GetFieldName()});
    if (type == ftBCD) {
        // Rounded to the column's scale; beyond its 64 bits it cannot be held.
        Int64 value;
        if (!BCDToScaled(ReadPacked<TBcd>(source), hdr.GetActualLength(), value))
            throw EIBRVError(rveBCDConvertError);
        WritePacked<Int64>(data, value);
        hdr.SetIsNull(false);
    } else if (type == ftTime) {
        WritePacked<std::int32_t>(
            data, static_cast<std::int32_t>(Int64{ReadPacked<std::int32_t>(source)} * TimeUnitsPerMSec));
        hdr.SetIsNull(false);
    } else if (type == ftDateTime) {
        auto ms = static_cast<Int64>(ReadPacked<double>(source));
        Int64 units = ms / MSecsPerDay * TimeUnitsPerDay + ms % MSecsPerDay * TimeUnitsPerMSec;
        WritePacked<double>(data, static_cast<double>(units));
        hdr.SetIsNull(false);
    } else {
        std::memcpy(data, source, static_cast<size_t>(dataSize));
        if (IsBlobType(type)) {
            // With a native stream for the field, an empty stream means null.
            auto* blob = dynamic_cast<TBlobField*>(Field);
            TIBRVNativeBlobStream* stream =
                blob && FBlobStreams ? FBlobStreams->GetItemByField(blob) : nullptr;
            if (stream) hdr.SetIsNull(stream->GetBlobSize() == 0);
        } else {
            hdr.SetIsNull(false);
        }
    }
    CheckSetFieldChange(Field);
}

TStream* TIBRowvaneKV::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
    auto* blob = dynamic_cast<TBlobField*>(Field);
    if (!blob) throw EIBRVError(rveFieldNoBlobType);
    return std::make_unique<TIBRVBlobStream>(blob, Mode).release();
}

TFieldClass TIBRowvaneKV::GetFieldClass(TFieldType FieldType) {
    switch (FieldType) {
    case ftString:
        return &TIBStringField::ClassInfo();
    case ftBCD:
        return &TIBBCDField::ClassInfo();
    default:
        return TDataSet::GetFieldClass(FieldType);
    }
}

// ---------------------------------------------------------------------------
// Bookmark size and buffer comparison

int TIBRowvaneKV::CalcBookmarkDataSize() {
    int size = 0;
    for (int i = 0; i < FKeyColumns->GetCount(); ++i) {
        TIBRVColumn* column = FKeyColumns->GetItem(i);
        PFieldHdr hdr =
            GetFieldHeader(FModelBuffer.get(), column->GetTableNameEx(), column->GetColumnNameEx());
        if (!hdr) throw EIBRVError(rveFieldNotFound, {column->GetFullColumnNameEx()});
        size += hdr.GetDataSize();
    }
    return size;
}

int TIBRowvaneKV::CalcBookmarkSize() {
    return TIBRVRecordBuffer::HeaderSize + FKeyColumns->GetCount() * PFieldHdr::Size + CalcBookmarkDataSize();
}

void TIBRowvaneKV::FindPositionColumns(const char* Buffer) {
    auto find = [this, Buffer](const TIBRVColumnList& Columns, std::vector<TPositionColumn>& Found) {
        Found.clear();
        for (int i = 0; i < Columns.GetCount(); ++i) {
            TIBRVColumn* column = Columns.GetItem(i);
            TPositionColumn c;
            c.Index = GetFieldIndex(Buffer, column->GetTableNameEx(), column->GetColumnNameEx());
            if (c.Index >= 0) {
                // Every buffer of the open dataset has the model's layout.
                PFieldHdr hdr = TIBRVRecordBuffer::FieldHdr(const_cast<char*>(Buffer), c.Index);
                c.HdrAt = static_cast<int>(hdr.Address() - Buffer);
                c.Offset = hdr.GetOffset();
                c.DataSize = static_cast<size_t>(hdr.GetDataSize());
                c.Kind = hdr.GetFieldType() == ftString  ? TPositionColumn::Text
                         : hdr.GetFieldType() == ftFloat ? TPositionColumn::Float
                                                         : TPositionColumn::Bytes;
            }
            Found.push_back(c);
        }
    };
    find(*FKeyColumns, FKeyPositionColumns);
    find(*FOrderColumnsFwd, FOrderPositionColumns);
    FKeyColumnsComparable = !FKeyPositionColumns.empty() &&
                            std::all_of(FKeyPositionColumns.begin(), FKeyPositionColumns.end(),
                                        [](const TPositionColumn& c) { return c.Index >= 0; });
    FPositionColumnsFound = true;
}

const std::vector<TIBRowvaneKV::TPositionColumn>& TIBRowvaneKV::FindPositionColumnsChecked(bool ByKey,
                                                                                              const char* Buffer) {
    if (ByKey) {
        if (FKeyColumns->GetCount() == 0) throw EIBRVError(rveKeyColumnsMissing);
    } else if (FOrderColumnsFwd->GetCount() == 0 || FOrderColumnsBwd->GetCount() == 0) {
        throw EIBRVError(rveNoSortOrder);
    }
    if (!FPositionColumnsFound) FindPositionColumns(Buffer);
    return ByKey ? FKeyPositionColumns : FOrderPositionColumns;
}

bool TIBRowvaneKV::CompareRecordPos(char* Buffer1, char* Buffer2, bool ByKey, int Count) {
    if (!Buffer1 || !Buffer2) return false;
    if (TIBRVRecordBuffer::GetValidFlag(Buffer1) != TIBRVRecordBuffer::OnRow ||
        TIBRVRecordBuffer::GetValidFlag(Buffer2) != TIBRVRecordBuffer::OnRow)
        return false;
    const std::vector<TPositionColumn>& found = PositionColumns(ByKey, Buffer1);
    size_t n = found.size();
    if (Count != -1) n = Count < 0 ? 0 : std::min(n, static_cast<size_t>(Count));
    for (size_t i = 0; i < n; ++i) {
        const TPositionColumn& c = found[i];
        if (c.Index < 0) {
            TIBRVColumnList* columns = ByKey ? static_cast<TIBRVColumnList*>(FKeyColumns.get()) : FOrderColumnsFwd.get();
            throw EIBRVError(rveFieldNotFound, {columns->GetItem(static_cast<int>(i))->GetFullColumnNameEx()});
        }
        bool null1 = PFieldHdr(Buffer1 + c.HdrAt).GetIsNull();
        if (null1 != PFieldHdr(Buffer2 + c.HdrAt).GetIsNull()) return false;
        if (!null1 && !SameValue(c, Buffer1, Buffer2)) return false;
    }
    return true;
}

bool TIBRowvaneKV::SameValue(const TPositionColumn& Column, const char* Buffer1, const char* Buffer2) {
    const char* a = Buffer1 + Column.Offset;
    const char* b = Buffer2 + Column.Offset;
    switch (Column.Kind) {
    case TPositionColumn::Text: {
        // 'abc' and 'abc   ' are one value to the engine, in CHAR and VARCHAR alike.
        size_t n = TrimmedLength(a, PFieldHdr(const_cast<char*>(Buffer1) + Column.HdrAt).GetActualLength());
        return n ==
                   TrimmedLength(b, PFieldHdr(const_cast<char*>(Buffer2) + Column.HdrAt).GetActualLength()) &&
               std::memcmp(a, b, n) == 0;
    }
    case TPositionColumn::Float:
        return ReadPacked<double>(a) == ReadPacked<double>(b);
    case TPositionColumn::Bytes:
        break;
    }
    return std::memcmp(a, b, Column.DataSize) == 0;
}
