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

// The buffers are packed: every value is copied in and out byte-wise.
template <class T> T ReadAt(const char* P) {
    T value;
    std::memcpy(&value, P, sizeof value);
    return value;
}

template <class T> void WriteAt(char* P, T Value) {
    std::memcpy(P, &Value, sizeof Value);
}

// Offsets inside a FieldHdr.
constexpr int FhFieldType = 0;
constexpr int FhSQLType = 1;
constexpr int FhRequired = 5;
constexpr int FhIsNull = 6;
constexpr int FhDataSize = 7;
constexpr int FhActualLength = 11;
constexpr int FhPrecision = 15;
constexpr int FhOffset = 19;
static_assert(FhOffset + 4 == PFieldHdr::Size);

// Offsets inside the record header.
constexpr int RhValidFlag = 0;
constexpr int RhBookmarkFlag = 4;
constexpr int RhFieldCount = 5;
constexpr int RhRecordSize = 9;
static_assert(RhRecordSize + 4 == TIBRVRecordBuffer::HeaderSize);

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

} // namespace

// ---------------------------------------------------------------------------
// PFieldHdr and TIBRVRecordBuffer

TFieldType PFieldHdr::GetFieldType() const {
    return static_cast<TFieldType>(ReadAt<Byte>(FAddress + FhFieldType));
}
void PFieldHdr::SetFieldType(TFieldType Value) const {
    WriteAt<Byte>(FAddress + FhFieldType, static_cast<Byte>(Value));
}
int PFieldHdr::GetSQLType() const {
    return ReadAt<std::int32_t>(FAddress + FhSQLType);
}
void PFieldHdr::SetSQLType(int Value) const {
    WriteAt<std::int32_t>(FAddress + FhSQLType, Value);
}
bool PFieldHdr::GetRequired() const {
    return ReadAt<Byte>(FAddress + FhRequired) != 0;
}
void PFieldHdr::SetRequired(bool Value) const {
    WriteAt<Byte>(FAddress + FhRequired, Value ? 1 : 0);
}
bool PFieldHdr::GetIsNull() const {
    return ReadAt<Byte>(FAddress + FhIsNull) != 0;
}
void PFieldHdr::SetIsNull(bool Value) const {
    WriteAt<Byte>(FAddress + FhIsNull, Value ? 1 : 0);
}
int PFieldHdr::GetDataSize() const {
    return ReadAt<std::int32_t>(FAddress + FhDataSize);
}
void PFieldHdr::SetDataSize(int Value) const {
    WriteAt<std::int32_t>(FAddress + FhDataSize, Value);
}
int PFieldHdr::GetActualLength() const {
    return ReadAt<std::int32_t>(FAddress + FhActualLength);
}
void PFieldHdr::SetActualLength(int Value) const {
    WriteAt<std::int32_t>(FAddress + FhActualLength, Value);
}
int PFieldHdr::GetPrecision() const {
    return ReadAt<std::int32_t>(FAddress + FhPrecision);
}
void PFieldHdr::SetPrecision(int Value) const {
    WriteAt<std::int32_t>(FAddress + FhPrecision, Value);
}
int PFieldHdr::GetOffset() const {
    return ReadAt<std::int32_t>(FAddress + FhOffset);
}
void PFieldHdr::SetOffset(int Value) const {
    WriteAt<std::int32_t>(FAddress + FhOffset, Value);
}

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

int TIBRVRecordBuffer::GetValidFlag(const char* Buffer) {
    return ReadAt<std::int32_t>(Buffer + RhValidFlag);
}
void TIBRVRecordBuffer::SetValidFlag(char* Buffer, int Value) {
    WriteAt<std::int32_t>(Buffer + RhValidFlag, Value);
}
TBookmarkFlag TIBRVRecordBuffer::GetBookmarkFlag(const char* Buffer) {
    return static_cast<TBookmarkFlag>(ReadAt<Byte>(Buffer + RhBookmarkFlag));
}
void TIBRVRecordBuffer::SetBookmarkFlag(char* Buffer, TBookmarkFlag Value) {
    WriteAt<Byte>(Buffer + RhBookmarkFlag, static_cast<Byte>(Value));
}
int TIBRVRecordBuffer::GetFieldCount(const char* Buffer) {
    return ReadAt<std::int32_t>(Buffer + RhFieldCount);
}
void TIBRVRecordBuffer::SetFieldCount(char* Buffer, int Value) {
    WriteAt<std::int32_t>(Buffer + RhFieldCount, Value);
}
int TIBRVRecordBuffer::GetRecordSize(const char* Buffer) {
    return ReadAt<std::int32_t>(Buffer + RhRecordSize);
}
void TIBRVRecordBuffer::SetRecordSize(char* Buffer, int Value) {
    WriteAt<std::int32_t>(Buffer + RhRecordSize, Value);
}

// ---------------------------------------------------------------------------
// Sizes and the model buffer

int TIBRowvaneKV::GetBufferHeaderSize() const {
    return TIBRVRecordBuffer::HeaderSize + FColumnCount * PFieldHdr::Size;
}

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
    auto model = std::make_unique<char[]>(static_cast<size_t>(headerSize));
    char* p = model.get();
    TIBRVRecordBuffer::SetRecordSize(p, CalcRecordSize());
    TIBRVRecordBuffer::SetFieldCount(p, FColumnCount);
    TIBXSQLDA* row = FQrySelect->Current();
    int offset = headerSize;
    for (int i = 0; i < FColumnCount; ++i) {
        TFieldHdr hdr;
        GetFieldHeader(row->GetXSQLVAR(i), hdr);
        hdr.Offset = offset;
        offset += hdr.DataSize;
        TIBRVRecordBuffer::FieldHdr(p, i).Store(hdr);
    }
    TIBRVRecordBuffer::SetValidFlag(p, TIBRVRecordBuffer::NoRow);
    FModelBuffer = std::move(model);
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
    std::memcpy(Buffer, FModelBuffer.get(), static_cast<size_t>(GetBufferHeaderSize()));
    // Every column null, and nothing of an earlier row left in the data.
    std::memset(Buffer + GetBufferHeaderSize(), 0, static_cast<size_t>(FFieldDataSize));
    TIBRVRecordBuffer::SetValidFlag(Buffer, TIBRVRecordBuffer::OnRow);
}

void TIBRowvaneKV::ClearCalcFields(char* Buffer) {
    std::memset(Buffer + GetCalcFieldsOffset(), 0, static_cast<size_t>(GetCalcFieldsSize()));
}

void TIBRowvaneKV::SetValidRecordFlag(char* Buffer, int Value) {
    if (Buffer) TIBRVRecordBuffer::SetValidFlag(Buffer, Value);
}

int TIBRowvaneKV::GetValidRecordFlag(const char* Buffer) const {
    return Buffer ? TIBRVRecordBuffer::GetValidFlag(Buffer) : TIBRVRecordBuffer::NoRow;
}

void TIBRowvaneKV::SaveRecord(char* Dest, const char* Source) {
    if (!Dest || !Source || Dest == Source) return;
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
    // The integer types by scale: none keeps the type, one to four decimals
    // are BCD, more are floating point.
    auto scaled = [&](TFieldType Base, int BaseSize, int BasePrecision) {
        int scale = Column->GetSQLScale();
        if (scale >= 0) {
            Hdr.FieldType = Base;
            Hdr.DataSize = BaseSize;
        } else if (scale >= -4) {
            Hdr.FieldType = ftBCD;
            Hdr.DataSize = 8;
            Hdr.Precision = BasePrecision;
            Hdr.ActualLength = -scale;
        } else {
            Hdr.FieldType = ftFloat;
            Hdr.DataSize = 8;
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

void TIBRowvaneKV::FetchRecordToBuffer(char* Buffer, TIBXSQLDA* Row) {
    int headerSize = GetBufferHeaderSize();
    std::memcpy(Buffer, FModelBuffer.get(), static_cast<size_t>(headerSize));
    // Nothing of an earlier row stays behind: null columns and the tails of
    // shorter strings are zero, so buffers compare by their values.
    std::memset(Buffer + headerSize, 0, static_cast<size_t>(FFieldDataSize));
    int count = TIBRVRecordBuffer::GetFieldCount(Buffer);
    char* data = Buffer + headerSize;
    for (int i = 0; i < count; ++i) {
        PFieldHdr hdr = TIBRVRecordBuffer::FieldHdr(Buffer, i);
        FetchFieldToBuffer(Row->GetXSQLVAR(i), hdr, data);
        data += hdr.GetDataSize();
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
        }
        std::memcpy(Data, source, static_cast<size_t>(n));
        Hdr.SetActualLength(n);
        break;
    }
    case ftSmallint:
    case ftInteger:
        WriteAt<std::int32_t>(Data, Column->GetAsLong());
        break;
    case ftFloat:
        WriteAt<double>(Data, Column->GetAsDouble());
        break;
    case ftBCD:
        WriteAt<Int64>(Data, Column->GetAsCurrency().Raw());
        break;
    case ftDate:
        WriteAt<std::int32_t>(Data, DateTimeToTimeStamp(Column->GetAsDateTime()).Date);
        break;
    case ftTime:
        WriteAt<std::int32_t>(Data, DateTimeToTimeStamp(Column->GetAsDateTime()).Time);
        break;
    case ftDateTime: {
        TTimeStamp ts = DateTimeToTimeStamp(Column->GetAsDateTime());
        WriteAt<double>(Data, static_cast<double>(static_cast<Int64>(ts.Date) * MSecsPerDay + ts.Time));
        break;
    }
    case ftLargeint:
        WriteAt<Int64>(Data, Column->GetAsInt64());
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
            // Held as Currency like the BCD columns, whatever size the field reports.
            TBcd bcd;
            if (!CurrToBCD(Currency::FromRaw(ReadAt<Int64>(p + 1)), bcd, 32, Field->GetSize())) return false;
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
    if (type == ftString) {
        if (Field->GetSize() < hdr.GetActualLength())
            throw EIBRVError(rveFieldSizeMismatch, {Field->GetFieldName()});
    } else if (!IsBlobType(type) && Field->GetDataSize() != hdr.GetDataSize()) {
        throw EIBRVError(rveFieldSizeMismatch, {Field->GetFieldName()});
    }
    const char* data = record + hdr.GetOffset();
    auto* dest = static_cast<char*>(Buffer);
    switch (type) {
    case ftString: {
        auto* text = dynamic_cast<TStringField*>(Field);
        if (!text) return false;
        int n = hdr.GetActualLength();
        std::memcpy(dest, data, static_cast<size_t>(n));
        if (text->GetFixedChar() && n < text->GetSize()) {
            std::memset(dest + n, ' ', static_cast<size_t>(text->GetSize() - n));
            n = text->GetSize();
        }
        dest[n] = '\0';
        return true;
    }
    case ftBCD: {
        TBcd bcd;
        if (!CurrToBCD(Currency::FromRaw(ReadAt<Int64>(data)), bcd, 32, Field->GetSize())) return false;
        std::memcpy(dest, &bcd, sizeof bcd);
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
            if (!BCDToCurr(ReadAt<TBcd>(source), value)) throw EIBRVError(rveBCDConvertError);
            std::memset(p + 1, 0, size);
            WriteAt<Int64>(p + 1, value.Raw());
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
        if (n > dataSize) throw EIBRVError(rveFieldSizeMismatch, {Field->GetFieldName()});
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
        Currency value;
        if (!BCDToCurr(ReadAt<TBcd>(source), value)) throw EIBRVError(rveBCDConvertError);
        WriteAt<Int64>(data, value.Raw());
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
    auto find = [this, Buffer](const TIBRVColumnList& Columns, std::vector<int>& Indexes) {
        Indexes.clear();
        for (int i = 0; i < Columns.GetCount(); ++i) {
            TIBRVColumn* column = Columns.GetItem(i);
            Indexes.push_back(GetFieldIndex(Buffer, column->GetTableNameEx(), column->GetColumnNameEx()));
        }
    };
    find(*FKeyColumns, FKeyColumnIndexes);
    find(*FOrderColumnsFwd, FOrderColumnIndexes);
    FPositionColumnsFound = true;
}

bool TIBRowvaneKV::CompareRecordPos(char* Buffer1, char* Buffer2, bool ByKey, int Count) {
    if (!Buffer1 || !Buffer2) return false;
    if (TIBRVRecordBuffer::GetValidFlag(Buffer1) != TIBRVRecordBuffer::OnRow ||
        TIBRVRecordBuffer::GetValidFlag(Buffer2) != TIBRVRecordBuffer::OnRow)
        return false;
    TIBRVColumnList* columns;
    if (ByKey) {
        if (FKeyColumns->GetCount() == 0) throw EIBRVError(rveKeyColumnsMissing);
        columns = FKeyColumns.get();
    } else {
        if (FOrderColumnsFwd->GetCount() == 0 || FOrderColumnsBwd->GetCount() == 0)
            throw EIBRVError(rveNoSortOrder);
        columns = FOrderColumnsFwd.get();
    }
    if (!FPositionColumnsFound) FindPositionColumns(Buffer1);
    const std::vector<int>& indexes = ByKey ? FKeyColumnIndexes : FOrderColumnIndexes;
    assert(static_cast<int>(indexes.size()) == columns->GetCount());
    int n = Count == -1 ? columns->GetCount() : std::min(columns->GetCount(), Count);
    for (int i = 0; i < n; ++i) {
        int index = indexes[static_cast<size_t>(i)];
        if (index < 0) throw EIBRVError(rveFieldNotFound, {columns->GetItem(i)->GetFullColumnNameEx()});
        // Both buffers have the one layout: the column found in the first serves the second.
        PFieldHdr hdr1 = TIBRVRecordBuffer::FieldHdr(Buffer1, index);
        PFieldHdr hdr2 = TIBRVRecordBuffer::FieldHdr(Buffer2, index);
        bool null1 = hdr1.GetIsNull(), null2 = hdr2.GetIsNull();
        if (null1 != null2) return false;
        if (null1) continue;
        if (std::memcmp(Buffer1 + hdr1.GetOffset(), Buffer2 + hdr1.GetOffset(),
                        static_cast<size_t>(hdr1.GetDataSize())) != 0)
            return false;
    }
    return true;
}
