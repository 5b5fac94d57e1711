// Record buffers against the real engine: the mapping of every SQL type and
// scale, every column type fetched into a buffer and read and written through
// the real field classes, the layout and sizes, and the faults mended: rows
// above 64 KB, BCD reads bounded by the destination, buffers cleared of
// earlier rows, NULL compared as NULL.
#include "RowvaneFixture.h"

#include "DateUtils.h"

#include <gmock/gmock.h>

#include <cstring>

namespace {

template <class T> T At(const char* P) {
    T v;
    std::memcpy(&v, P, sizeof v);
    return v;
}

TTimeStamp Stamp(int Y, int M, int D, int MSecs) {
    TTimeStamp ts = DateTimeToTimeStamp(EncodeDate(Y, M, D));
    ts.Time = MSecs;
    return ts;
}

// The field in the set-key state, whose fields read and write the key buffer.
class TKeyState {
public:
    explicit TKeyState(TTestRowvane& DataSet) : FDataSet(DataSet), FSaved(DataSet.SetTempState(dsSetKey)) {}
    ~TKeyState() { FDataSet.RestoreState(FSaved); }

private:
    TTestRowvane& FDataSet;
    TDataSetState FSaved;
};

} // namespace

TEST_F(RowvaneTest, EverySQLTypeAndScaleMapsToItsFieldType) {
    Use("SELECT C_INT FROM TYPES");
    TIBSQL* q = NewSQL("SELECT C_INT FROM TYPES");
    Tr->StartTransaction();
    q->Prepare();
    XSQLVAR* var = q->GetFields(0)->GetSqlVar();
    struct Case {
        int SQLType, Scale, SubType, Length;
        TFieldType Type;
        int DataSize, Precision, ActualLength;
    } cases[] = {
        {SQL_VARYING, 0, 0, 30, ftString, 30, 0, 0},   {SQL_TEXT, 0, 0, 5, ftString, 5, 0, 0},
        {SQL_DOUBLE, 0, 0, 8, ftFloat, 8, 0, 0},       {SQL_FLOAT, 0, 0, 4, ftFloat, 8, 0, 0},
        {SQL_D_FLOAT, 0, 0, 8, ftFloat, 8, 0, 0},      {SQL_SHORT, 0, 0, 2, ftSmallint, 4, 0, 0},
        {SQL_SHORT, -1, 0, 2, ftBCD, 8, 5, 1},         {SQL_SHORT, -4, 0, 2, ftBCD, 8, 5, 4},
        {SQL_SHORT, -5, 0, 2, ftBCD, 8, 5, 5},         {SQL_LONG, 0, 0, 4, ftInteger, 4, 0, 0},
        {SQL_LONG, -2, 0, 4, ftBCD, 8, 10, 2},         {SQL_LONG, -9, 0, 4, ftBCD, 8, 10, 9},
        {SQL_INT64, 0, 0, 8, ftLargeint, 8, 0, 0},     {SQL_INT64, -4, 0, 8, ftBCD, 8, 18, 4},
        {SQL_INT64, -6, 0, 8, ftBCD, 8, 18, 6},        {SQL_INT64, -18, 0, 8, ftBCD, 8, 18, 18},
        {SQL_TIMESTAMP, 0, 0, 8, ftDateTime, 8, 0, 0}, {SQL_TYPE_TIME, 0, 0, 4, ftTime, 4, 0, 0},
        {SQL_TYPE_DATE, 0, 0, 4, ftDate, 4, 0, 0},     {SQL_BLOB, 0, 0, 8, ftBlob, 8, 0, 0},
        {SQL_BLOB, 0, 1, 8, ftMemo, 8, 0, 0},          {SQL_BLOB, 0, 7, 8, ftGraphic, 8, 0, 0},
        {SQL_BLOB, 0, 2, 8, ftBlob, 8, 0, 0},          {SQL_ARRAY, 0, 0, 8, ftUnknown, 8, 0, 0},
        {SQL_QUAD, 0, 0, 8, ftUnknown, 8, 0, 0},
    };
    for (const auto& c : cases) {
        for (bool nullable : {false, true}) {
            var->sqltype = static_cast<short>(c.SQLType | (nullable ? 1 : 0));
            var->sqlscale = static_cast<short>(c.Scale);
            var->sqlsubtype = static_cast<short>(c.SubType);
            var->sqllen = static_cast<short>(c.Length);
            TFieldHdr hdr;
            hdr.Offset = 77;
            DS->GetFieldHeader(q->GetFields(0), hdr);
            SCOPED_TRACE(testing::Message() << "SQL type " << c.SQLType << " scale " << c.Scale);
            EXPECT_EQ(hdr.FieldType, c.Type);
            EXPECT_EQ(hdr.SQLType, c.SQLType);
            EXPECT_EQ(hdr.DataSize, c.DataSize);
            EXPECT_EQ(hdr.Precision, c.Precision);
            EXPECT_EQ(hdr.ActualLength, c.ActualLength);
            EXPECT_EQ(hdr.Required, !nullable);
            EXPECT_TRUE(hdr.IsNull);
            EXPECT_EQ(hdr.Offset, 0); // the mapping sets no offset
        }
    }
    var->sqltype = 32764; // BOOLEAN
    try {
        TFieldHdr hdr;
        DS->GetFieldHeader(q->GetFields(0), hdr);
        ADD_FAILURE();
    } catch (const EIBRVError& e) {
        EXPECT_EQ(e.ErrorCode, rveFieldTypeNoSupport);
        EXPECT_EQ(e.Message(), "Fieldtype 32764 is not supported");
    }
    q->FreeHandle();
}

TEST_F(RowvaneTest, TheLayoutPacksHeadersAndDataBackToBack) {
    Use("SELECT ID, DESCRIPTION, QUANTITY, PRICE FROM ITEM ORDER BY ID");
    DS->SetKeyColumns("ID,DESCRIPTION");
    DS->Open();
    ASSERT_EQ(DS->ColumnCount(), 4);
    int header = 13 + 4 * 23;
    EXPECT_EQ(DS->GetBufferHeaderSize(), header);
    EXPECT_EQ(DS->FieldDataSize(), 4 + 30 + 8 + 8);
    EXPECT_EQ(DS->GetCalcFieldsOffset(), header + 50);
    EXPECT_EQ(DS->CalcRecordSize(), header + 50);
    EXPECT_EQ(DS->GetRecordSize(), header + 50);
    EXPECT_EQ(DS->BookmarkSize(), 13 + 2 * 23 + 4 + 30);

    const char* model = DS->ModelBuffer();
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(model), -1);
    EXPECT_EQ(TIBRVRecordBuffer::GetFieldCount(model), 4);
    EXPECT_EQ(TIBRVRecordBuffer::GetRecordSize(model), header + 50);
    int offsets[] = {header, header + 4, header + 34, header + 42};
    TScopedBuffer fresh(*DS);
    for (int i = 0; i < 4; ++i) {
        PFieldHdr hdr = DS->Hdr(fresh, i);
        EXPECT_EQ(hdr.GetOffset(), offsets[i]);
        EXPECT_TRUE(hdr.GetIsNull());
        EXPECT_EQ(hdr.GetActualLength(), i >= 2 ? 2 : 0); // BCD: the scale
    }
    EXPECT_EQ(DS->Hdr(fresh, 0).GetFieldType(), ftInteger);
    EXPECT_TRUE(DS->Hdr(fresh, 1).GetRequired());
    EXPECT_EQ(DS->Hdr(fresh, 2).GetPrecision(), 10);
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(fresh), -1);
    EXPECT_EQ(std::string(fresh + header, 50), std::string(50, '\0'));
    // The named buffers start as the model does (the position and the
    // forward buffer already hold the row the framework asked for at open).
    for (char* named : {DS->BackwardBuffer(), DS->KeyBuffer(), DS->SavedBuffer()}) {
        ASSERT_NE(named, nullptr);
        EXPECT_EQ(std::memcmp(named, model, static_cast<size_t>(header)), 0);
    }

    ASSERT_TRUE(DS->FetchRow(fresh, 3)); // 4, Banana split, 12.34, 99.99
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(fresh), 0);
    EXPECT_EQ(At<std::int32_t>(fresh + header), 4);
    EXPECT_EQ(std::string(fresh + header + 4, 12), "Banana split");
    EXPECT_EQ(DS->Hdr(fresh, 1).GetActualLength(), 12);
    EXPECT_EQ(At<Int64>(fresh + header + 34), 1234); // the scaled integer, at the column's scale
    EXPECT_EQ(At<Int64>(fresh + header + 42), 9999);
    EXPECT_FALSE(DS->Hdr(fresh, 3).GetIsNull());

    // SaveRecord copies everything, and nothing when a buffer is missing.
    DS->SaveRecord(DS->SavedBuffer(), fresh);
    EXPECT_EQ(std::memcmp(DS->SavedBuffer(), fresh, static_cast<size_t>(DS->CalcRecordSize())), 0);
    DS->SaveRecord(nullptr, fresh);
    DS->SaveRecord(DS->SavedBuffer(), nullptr);
}

TEST_F(RowvaneTest, EveryColumnTypeIsReadAndWrittenThroughTheRealFieldClasses) {
    Use("SELECT * FROM TYPES ORDER BY ID");
    DS->Open();
    auto field = [&](const char* Name) { return DS->FieldByName(Name); };
    EXPECT_EQ(DS->FindField("C_ARR"), nullptr); // ftUnknown: no field, but a column of its 8-byte id
    int array = DS->GetFieldDefs()->Find("C_ARR")->GetFieldNo() - 1;
    EXPECT_EQ(DS->Hdr(const_cast<char*>(DS->ModelBuffer()), array).GetFieldType(), ftUnknown);
    EXPECT_EQ(DS->Hdr(const_cast<char*>(DS->ModelBuffer()), array).GetDataSize(), 8);
    EXPECT_NE(dynamic_cast<TIBStringField*>(field("C_VARCHAR")), nullptr);
    EXPECT_NE(dynamic_cast<TIBBCDField*>(field("C_N52")), nullptr);
    EXPECT_NE(dynamic_cast<TSmallintField*>(field("C_SMALL")), nullptr);
    EXPECT_NE(dynamic_cast<TLargeintField*>(field("C_BIG")), nullptr);
    EXPECT_NE(dynamic_cast<TIBBCDField*>(field("C_N95")), nullptr);
    EXPECT_NE(dynamic_cast<TMemoField*>(field("C_MEMO")), nullptr);
    EXPECT_EQ(field("C_BLOB")->GetDataType(), ftBlob);
    EXPECT_EQ(field("C_USER")->GetDataType(), ftBlob); // a sub-type of its own

    ASSERT_TRUE(DS->FetchRow(DS->KeyBuffer(), 0));
    TKeyState key(*DS);
    char* buffer = DS->KeyBuffer();
    auto data = [&](const char* Name) {
        return buffer + DS->Hdr(buffer, field(Name)->GetFieldNo() - 1).GetOffset();
    };

    // As fetched.
    EXPECT_EQ(field("C_VARCHAR")->GetAsString(), "abc");
    EXPECT_EQ(field("C_CHAR")->GetAsString(), "ab   "); // the server pads CHAR
    EXPECT_EQ(field("C_SMALL")->GetAsInteger(), -32768);
    EXPECT_EQ(field("C_INT")->GetAsInteger(), 2147483647);
    EXPECT_EQ(field("C_BIG")->GetAsLargeint(), 9223372036854775807LL);
    EXPECT_DOUBLE_EQ(field("C_FLOAT")->GetAsFloat(), 1.5);
    EXPECT_DOUBLE_EQ(field("C_DOUBLE")->GetAsFloat(), 2.25);
    EXPECT_EQ(field("C_N41")->GetAsCurrency(), StrToCurr("-123.4"));
    EXPECT_EQ(field("C_N52")->GetAsCurrency(), StrToCurr("12.34"));
    EXPECT_EQ(field("C_N184")->GetAsString(), "12345678901234.5678");
    EXPECT_EQ(field("C_N95")->GetAsString(), "1234.56789");
    EXPECT_EQ(field("C_N95")->GetAsFloat(), 1234.56789);
    EXPECT_EQ(field("C_TWICE")->GetAsLargeint(), 4294967294LL);
    // The buffer's forms: the scaled integer, day numbers from 1 January 1,
    // 1/10000 s (the fields below see milliseconds).
    EXPECT_EQ(At<Int64>(data("C_N52")), 1234);
    EXPECT_EQ(At<Int64>(data("C_N95")), 123456789);
    EXPECT_EQ(At<std::int32_t>(data("C_DATE")), 2);
    EXPECT_EQ(At<std::int32_t>(data("C_TIME")), 432000010);
    TTimeStamp ts = Stamp(2024, 2, 29, 86399999);
    EXPECT_EQ(At<double>(data("C_TS")),
              static_cast<double>(static_cast<Int64>(ts.Date) * 864000000 + 863999990));
    EXPECT_EQ(DateTimeToTimeStamp(field("C_DATE")->GetAsDateTime()).Date, 2);
    EXPECT_EQ(DateTimeToTimeStamp(field("C_TIME")->GetAsDateTime()).Time, 43200001);
    TTimeStamp read = DateTimeToTimeStamp(field("C_TS")->GetAsDateTime());
    EXPECT_EQ(read.Date, ts.Date);
    EXPECT_EQ(read.Time, ts.Time);
    for (const char* blob : {"C_BLOB", "C_MEMO", "C_USER"}) {
        ISC_QUAD id{};
        EXPECT_TRUE(DS->GetFieldData(field(blob), &id)) << blob;
        EXPECT_NE(id.gds_quad_high | id.gds_quad_low, 0u) << blob;
        EXPECT_EQ(std::memcmp(&id, data(blob), 8), 0);
    }

    // Written through the fields and read back.
    field("C_VARCHAR")->SetAsString("xy");
    field("C_CHAR")->SetAsString("abcde");
    field("C_SMALL")->SetAsInteger(32767);
    field("C_INT")->SetAsInteger(-2147483647 - 1);
    field("C_BIG")->SetAsLargeint(-9223372036854775807LL - 1);
    field("C_FLOAT")->SetAsFloat(-0.5);
    field("C_DOUBLE")->SetAsFloat(1e300);
    field("C_N41")->SetAsString("999.9");
    field("C_N52")->SetAsCurrency(StrToCurr("-0.01"));
    field("C_N184")->SetAsString("-922337203685477.5807");
    field("C_N95")->SetAsFloat(0.00001);
    field("C_DATE")->SetAsDateTime(EncodeDate(9999, 12, 31));
    field("C_TIME")->SetAsDateTime(EncodeTime(23, 59, 59, 999));
    field("C_TS")->SetAsDateTime(TimeStampToDateTime(Stamp(1, 1, 1, 0)));
    ISC_QUAD id{1, 2};
    DS->SetFieldData(field("C_BLOB"), &id);

    EXPECT_EQ(field("C_VARCHAR")->GetAsString(), "xy");
    EXPECT_EQ(std::string(data("C_VARCHAR"), 30), "xy" + std::string(28, '\0')); // no tail of "abc"
    EXPECT_EQ(field("C_CHAR")->GetAsString(), "abcde");
    EXPECT_EQ(field("C_SMALL")->GetAsInteger(), 32767);
    EXPECT_EQ(field("C_INT")->GetAsInteger(), -2147483647 - 1);
    EXPECT_EQ(field("C_BIG")->GetAsLargeint(), -9223372036854775807LL - 1);
    EXPECT_DOUBLE_EQ(field("C_FLOAT")->GetAsFloat(), -0.5);
    EXPECT_DOUBLE_EQ(field("C_DOUBLE")->GetAsFloat(), 1e300);
    EXPECT_EQ(field("C_N41")->GetAsString(), "999.9");
    EXPECT_EQ(At<Int64>(data("C_N52")), -1);
    EXPECT_EQ(field("C_N184")->GetAsString(), "-922337203685477.5807");
    EXPECT_EQ(field("C_N95")->GetAsString(), "0.00001");
    EXPECT_EQ(DateTimeToTimeStamp(field("C_DATE")->GetAsDateTime()).Date,
              DateTimeToTimeStamp(EncodeDate(9999, 12, 31)).Date);
    EXPECT_EQ(At<std::int32_t>(data("C_TIME")), 863999990);
    EXPECT_EQ(At<double>(data("C_TS")), 864000000.0); // day 1, midnight
    ISC_QUAD back{};
    EXPECT_TRUE(DS->GetFieldData(field("C_BLOB"), &back));
    EXPECT_EQ(std::memcmp(&back, &id, 8), 0);

    // Reading without a destination only tells whether there is a value.
    EXPECT_TRUE(DS->GetFieldData(field("C_INT"), nullptr));
    // An empty text makes a string column null.
    field("C_VARCHAR")->SetAsString("");
    EXPECT_TRUE(field("C_VARCHAR")->GetIsNull());
    field("C_INT")->Clear();
    EXPECT_TRUE(field("C_INT")->GetIsNull());
    EXPECT_EQ(At<std::int32_t>(data("C_INT")), 0); // nothing of the old value stays
}

TEST_F(RowvaneTest, ANullRowReadsAsNoValueInEveryColumn) {
    Use("SELECT * FROM TYPES ORDER BY ID");
    DS->Open();
    ASSERT_TRUE(DS->FetchRow(DS->KeyBuffer(), 1));
    TKeyState key(*DS);
    for (TField* f : *DS->GetFields()) {
        if (f->GetFieldName() == "ID") continue;
        EXPECT_FALSE(DS->GetFieldData(f, nullptr)) << f->GetFieldName();
        EXPECT_TRUE(f->GetIsNull()) << f->GetFieldName();
    }
    char* buffer = DS->KeyBuffer();
    int header = DS->GetBufferHeaderSize();
    int idSize = 4;
    EXPECT_EQ(std::string(buffer + header + idSize, static_cast<size_t>(DS->FieldDataSize() - idSize)),
              std::string(static_cast<size_t>(DS->FieldDataSize() - idSize), '\0'));
}

TEST_F(RowvaneTest, StringsArriveWithTheirLengthAndFixedFieldsArePadded) {
    Use("SELECT DESCRIPTION, ID FROM ITEM ORDER BY ID");
    DS->Open();
    ASSERT_TRUE(DS->FetchRow(DS->KeyBuffer(), 0)); // Apple
    TKeyState key(*DS);
    auto* text = dynamic_cast<TStringField*>(DS->FieldByName("DESCRIPTION"));
    ASSERT_NE(text, nullptr);
    EXPECT_FALSE(text->GetFixedChar()); // VARCHAR
    char out[40];
    std::memset(out, '#', sizeof out);
    ASSERT_TRUE(DS->GetFieldData(text, out));
    EXPECT_EQ(std::string(out, 6), std::string("Apple\0", 6));
    EXPECT_EQ(out[6], '#');
    text->SetFixedChar(true);
    std::memset(out, '#', sizeof out);
    ASSERT_TRUE(DS->GetFieldData(text, out));
    EXPECT_EQ(std::string(out, 31), "Apple" + std::string(25, ' ') + std::string(1, '\0'));
    EXPECT_EQ(out[31], '#');
    text->SetFixedChar(false);

    // A text longer than the column, handed to the dataset directly: code 5, nothing written.
    char tooLong[32];
    std::memset(tooLong, 'x', 31);
    tooLong[31] = '\0';
    EXPECT_RV_ERROR(DS->SetFieldData(text, tooLong), rveFieldSizeMismatch);
    EXPECT_EQ(text->GetAsString(), "Apple");
}

TEST_F(RowvaneTest, FieldsThatDoNotFitTheirColumnRaiseCodes4And5) {
    Use("SELECT DESCRIPTION, QUANTITY FROM ITEM ORDER BY ID");
    auto* shortText = new TIBStringField(DS.get());
    shortText->SetFieldName("DESCRIPTION");
    shortText->SetSize(3);
    shortText->SetDataSet(DS.get());
    auto* wideBcd = new TBCDField(DS.get()); // the framework's: a whole BCD record of data
    wideBcd->SetFieldName("QUANTITY");
    wideBcd->SetDataSet(DS.get());
    DS->Open();
    ASSERT_TRUE(DS->FetchRow(DS->KeyBuffer(), 0)); // Apple, 1.50
    TKeyState key(*DS);
    try {
        shortText->GetAsString();
        ADD_FAILURE();
    } catch (const EIBRVError& e) {
        EXPECT_EQ(e.ErrorCode, rveFieldSizeMismatch);
        EXPECT_EQ(e.Message(), "Different sizes specified for field \"DESCRIPTION\"");
    }
    EXPECT_RV_ERROR(wideBcd->GetAsCurrency(), rveFieldSizeMismatch);
    EXPECT_RV_ERROR(wideBcd->SetAsCurrency(StrToCurr("1")), rveFieldSizeMismatch);

    // A field of another dataset whose number names a column of another type.
    TTestRowvane other(nullptr);
    other.SetDatabase(Db.get());
    other.SetTransaction(Tr.get());
    other.GetSelectSQL()->SetText("SELECT ID, PRICE, QUANTITY FROM ITEM");
    other.Open();
    EXPECT_RV_ERROR(DS->GetFieldData(other.FieldByName("ID"), nullptr), rveFieldTypeMismatch);
    EXPECT_RV_ERROR(DS->SetFieldData(other.FieldByName("ID"), nullptr), rveFieldTypeMismatch);
    // A field number beyond the columns: no value, and a write is ignored.
    Currency c = StrToCurr("5");
    EXPECT_FALSE(DS->GetFieldData(other.FieldByName("QUANTITY"), nullptr));
    DS->SetFieldData(other.FieldByName("QUANTITY"), &c);
    EXPECT_EQ(TIBRVRecordBuffer::GetFieldCount(DS->KeyBuffer()), 2);
}

TEST_F(RowvaneTest, BCDValuesNeverOverrunTheFieldsOwnBuffer) {
    Use("SELECT ID, QUANTITY FROM ITEM ORDER BY ID");
    DS->Open();
    ASSERT_TRUE(DS->FetchRow(DS->KeyBuffer(), 0)); // 1.50
    TKeyState key(*DS);
    TField* quantity = DS->FieldByName("QUANTITY");
    ASSERT_EQ(quantity->GetDataSize(), 8);
    EXPECT_EQ(quantity->GetSize(), 2);
    EXPECT_EQ(dynamic_cast<TBCDField*>(quantity)->GetPrecision(), 10);
    unsigned char out[8 + 32];
    std::memset(out, 0xAB, sizeof out);
    ASSERT_TRUE(quantity->GetData(out));
    EXPECT_EQ(At<Int64>(reinterpret_cast<char*>(out)), 15000);
    for (size_t i = 8; i < sizeof out; ++i)
        ASSERT_EQ(out[i], 0xAB) << i;

    // The native form written back, and the value OnValidate sees on the way.
    Currency seen;
    quantity->OnValidate = [&seen](TField* Sender) { seen = Sender->GetAsCurrency(); };
    Int64 raw = 123400;
    quantity->SetData(&raw);
    EXPECT_EQ(seen, StrToCurr("12.34"));
    EXPECT_EQ(quantity->GetAsString(), "12.34");
    // The dataset itself hands the framework's whole BCD record.
    TBcd bcd;
    ASSERT_TRUE(DS->GetFieldData(quantity, &bcd));
    EXPECT_EQ(BcdToStr(bcd), "12.34");
    // A BCD record that is no number: code 7.
    quantity->OnValidate = nullptr;
    TBcd bad;
    bad.Precision = 200;
    EXPECT_RV_ERROR(DS->SetFieldData(quantity, &bad), rveBCDConvertError);
    EXPECT_EQ(quantity->GetAsString(), "12.34");
}

// A scaled integer holds more than Currency can: it is held, read and
// written exactly; only asking for it as Currency raises.
TEST_F(RowvaneTest, ABCDValueBeyondCurrencyIsHeldExactlyAndOnlyAsCurrencyRaises) {
    Use("SELECT CAST(922337203685477.6 AS NUMERIC(18,1)) AS BEYOND,"
        " CAST(-9999999999999999.99 AS NUMERIC(18,2)) AS LOWEST FROM RDB$DATABASE");
    DS->Open();
    ASSERT_TRUE(DS->FetchRow(DS->KeyBuffer(), 0));
    char* buffer = DS->KeyBuffer();
    EXPECT_EQ(At<Int64>(buffer + DS->Hdr(buffer, 0).GetOffset()), 9223372036854776LL);
    EXPECT_EQ(At<Int64>(buffer + DS->Hdr(buffer, 1).GetOffset()), -999999999999999999LL);
    TKeyState key(*DS);
    TField* beyond = DS->FieldByName("BEYOND");
    EXPECT_EQ(beyond->GetAsString(), "922337203685477.6");
    EXPECT_EQ(DS->FieldByName("LOWEST")->GetAsString(), "-9999999999999999.99");
    EXPECT_EQ(BcdToStr(dynamic_cast<TBCDField*>(beyond)->GetAsBCD()), "922337203685477.6");
    EXPECT_EQ(beyond->GetAsFloat(), 922337203685477.6);
    EXPECT_THROW(beyond->GetAsCurrency(), EDatabaseError);
    beyond->SetAsString("-922337203685478.9");
    EXPECT_EQ(At<Int64>(buffer + DS->Hdr(buffer, 0).GetOffset()), -9223372036854789LL);
    beyond->SetAsFloat(5e15);
    EXPECT_EQ(beyond->GetAsString(), "5000000000000000");
}

TEST_F(RowvaneTest, CalculatedFieldsLiveInTheCalculatedArea) {
    Use("SELECT ID, QUANTITY FROM ITEM ORDER BY ID");
    for (const char* name : {"ID", "QUANTITY"}) {
        TField* f = name[0] == 'I' ? static_cast<TField*>(new TIntegerField(DS.get()))
                                   : static_cast<TField*>(new TIBBCDField(DS.get()));
        f->SetFieldName(name);
        f->SetDataSet(DS.get());
    }
    auto* sum = new TBCDField(DS.get()); // the framework's, as the demonstration's SUM
    sum->SetFieldName("SUM");
    sum->SetFieldKind(fkCalculated);
    sum->SetDataSet(DS.get());
    auto* half = new TIBBCDField(DS.get());
    half->SetFieldName("HALF");
    half->SetSize(4);
    half->SetFieldKind(fkCalculated);
    half->SetDataSet(DS.get());
    auto* label = new TStringField(DS.get());
    label->SetFieldName("LABEL");
    label->SetSize(8);
    label->SetFieldKind(fkCalculated);
    label->SetDataSet(DS.get());
    DS->Open();
    EXPECT_EQ(DS->CalcSize(), (34 + 1) + (8 + 1) + (9 + 1));
    EXPECT_EQ(DS->CalcRecordSize(), DS->GetCalcFieldsOffset() + DS->CalcSize());
    ASSERT_TRUE(DS->FetchRow(DS->KeyBuffer(), 0));
    TKeyState key(*DS);
    EXPECT_TRUE(sum->GetIsNull());
    sum->SetAsCurrency(StrToCurr("3.375"));
    half->SetAsCurrency(StrToCurr("0.75"));
    label->SetAsString("calc");
    EXPECT_EQ(sum->GetAsCurrency(), StrToCurr("3.375"));
    EXPECT_EQ(half->GetAsCurrency(), StrToCurr("0.75"));
    EXPECT_EQ(label->GetAsString(), "calc");
    EXPECT_EQ(DS->FieldByName("QUANTITY")->GetAsString(), "1.5");
    label->Clear();
    EXPECT_TRUE(label->GetIsNull());
    // The data part is not consulted for calculated fields.
    TIBRVRecordBuffer::SetValidFlag(DS->KeyBuffer(), 1);
    EXPECT_EQ(half->GetAsCurrency(), StrToCurr("0.75"));
    EXPECT_TRUE(DS->FieldByName("ID")->GetIsNull());
}

TEST_F(RowvaneTest, WritesNeedAWriteStateAndReadsOfAnEmptyBrowseSeeNothing) {
    Use("SELECT ID, DESCRIPTION FROM ITEM WHERE ID > :MINID");
    DS->Open();
    ASSERT_EQ(DS->GetState(), dsBrowse);
    ASSERT_TRUE(DS->IsEmpty()); // no row is greater than NULL
    TField* description = DS->FieldByName("DESCRIPTION");
    EXPECT_RV_ERROR(description->SetAsString("x"), rveNoWriteMode);
    EXPECT_TRUE(description->GetIsNull());
    // The key state works on the key buffer.
    DS->GetParams()->ByName("MINID")->SetAsLong(0);
    ASSERT_TRUE(DS->FetchRow(DS->KeyBuffer(), 1));
    {
        TKeyState key(*DS);
        EXPECT_EQ(DS->GetActiveBuf(), DS->KeyBuffer());
        EXPECT_EQ(description->GetAsString(), "Pear");
        description->SetAsString("Plum");
    }
    EXPECT_EQ(std::string(DS->KeyBuffer() + DS->Hdr(DS->KeyBuffer(), 1).GetOffset(), 4), "Plum");
    EXPECT_RV_ERROR(DS->CreateBlobStream(description, bmRead), rveFieldNoBlobType);
}

TEST_F(RowvaneTest, ARowAbove64KBIsLaidOutAndCopiedWhole) {
    Use("SELECT CAST(RPAD('', 30000, 'x') AS VARCHAR(30000)) A, CAST(RPAD('', 30000, 'y') AS VARCHAR(30000)) "
        "B,"
        " CAST(RPAD('', 30000, 'z') AS VARCHAR(30000)) C FROM RDB$DATABASE");
    DS->Open();
    int size = 13 + 3 * 23 + 90000;
    EXPECT_EQ(DS->CalcRecordSize(), size);
    EXPECT_EQ(TIBRVRecordBuffer::GetRecordSize(DS->ModelBuffer()), size);
    EXPECT_THROW(DS->GetRecordSize(), ERangeError); // the framework's 16-bit size cannot hold it
    ASSERT_TRUE(DS->FetchRow(DS->KeyBuffer(), 0));
    {
        TKeyState key(*DS);
        EXPECT_EQ(DS->FieldByName("C")->GetAsString(), std::string(30000, 'z'));
        DS->FieldByName("A")->SetAsString(std::string(30000, 'a'));
    }
    DS->SaveRecord(DS->SavedBuffer(), DS->KeyBuffer());
    EXPECT_EQ(std::memcmp(DS->SavedBuffer(), DS->KeyBuffer(), static_cast<size_t>(size)), 0);
    char* saved = DS->SavedBuffer();
    EXPECT_EQ(saved[size - 1], 'z');
    EXPECT_EQ(saved[DS->Hdr(saved, 0).GetOffset()], 'a');
}

TEST_F(RowvaneTest, FillingABufferLeavesNothingOfTheRowBefore) {
    Use("SELECT ID, DESCRIPTION, QUANTITY FROM ITEM ORDER BY ID");
    DS->SetKeyColumns("QUANTITY,DESCRIPTION");
    DS->GetOrderItems()->Add("1;QUANTITY");
    DS->Open();
    DS->SetOrderItemId(1);
    TScopedBuffer reused(*DS), fresh(*DS), zero(*DS), apple(*DS);
    ASSERT_TRUE(DS->FetchRow(reused, 3)); // Banana split, 12.34
    ASSERT_TRUE(DS->FetchRow(reused, 1)); // Pear, NULL
    ASSERT_TRUE(DS->FetchRow(fresh, 1));
    ASSERT_TRUE(DS->FetchRow(zero, 2));  // Cherry, 0.00
    ASSERT_TRUE(DS->FetchRow(apple, 0)); // Apple, 1.50
    size_t size = static_cast<size_t>(DS->CalcRecordSize());
    EXPECT_EQ(std::memcmp(reused, fresh, size), 0);
    EXPECT_TRUE(DS->CompareRecordPos(reused, fresh, true, -1));
    // NULL equals NULL only: not the zero whose bytes it shares, not another value.
    EXPECT_TRUE(DS->CompareRecordPos(reused, fresh, false, -1));
    EXPECT_FALSE(DS->CompareRecordPos(fresh, zero, false, -1));
    EXPECT_FALSE(DS->CompareRecordPos(zero, fresh, false, -1));
    EXPECT_FALSE(DS->CompareRecordPos(fresh, apple, false, -1));
    EXPECT_TRUE(DS->CompareRecordPos(zero, zero, false, -1));
    // A column written null, or a string written shorter, keeps nothing of before.
    {
        TKeyState key(*DS);
        DS->SaveRecord(DS->KeyBuffer(), apple);
        DS->FieldByName("QUANTITY")->Clear();
        DS->FieldByName("DESCRIPTION")->SetAsString("Pear");
        DS->FieldByName("ID")->SetAsInteger(2);
    }
    EXPECT_EQ(std::memcmp(DS->KeyBuffer(), fresh, size), 0);
    // A record initialised for insert is all null and empty.
    DS->InternalInitRecord(apple);
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(apple), 0);
    EXPECT_EQ(std::string(apple + DS->GetBufferHeaderSize(), static_cast<size_t>(DS->FieldDataSize())),
              std::string(static_cast<size_t>(DS->FieldDataSize()), '\0'));
    EXPECT_TRUE(DS->Hdr(apple, 1).GetIsNull());
    // Buffers without a row never compare equal; with no order or key columns the comparison raises.
    EXPECT_FALSE(DS->CompareRecordPos(DS->BackwardBuffer(), DS->BackwardBuffer(), true, -1));
    EXPECT_FALSE(DS->CompareRecordPos(nullptr, fresh, true, -1));
    EXPECT_TRUE(DS->CompareRecordPos(fresh, zero, true, 0)); // no column compared
}

// Two key or order values are equal where the engine's comparison says so:
// texts with trailing blanks ignored, floating point numbers by value.
TEST_F(RowvaneTest, BuffersCompareTheirValuesAsTheEngineDoes) {
    Use("SELECT ID, C_VARCHAR, C_DOUBLE FROM TYPES ORDER BY ID");
    DS->SetKeyColumns("C_VARCHAR,C_DOUBLE");
    DS->Open();
    TScopedBuffer a(*DS), b(*DS);
    ASSERT_TRUE(DS->FetchRow(a, 0)); // 'abc', 2.25
    auto put = [&](char* Buffer, const char* Text, double Number) {
        PFieldHdr text = DS->Hdr(Buffer, 1), number = DS->Hdr(Buffer, 2);
        std::memset(Buffer + text.GetOffset(), 0, static_cast<size_t>(text.GetDataSize()));
        std::memcpy(Buffer + text.GetOffset(), Text, std::strlen(Text));
        text.SetActualLength(static_cast<int>(std::strlen(Text)));
        std::memcpy(Buffer + number.GetOffset(), &Number, sizeof Number);
    };
    struct Case {
        const char* Text1;
        double Number1;
        const char* Text2;
        double Number2;
        bool Equal;
    } cases[] = {
        {"abc", 2.25, "abc", 2.25, true},  {"abc", 2.25, "abc   ", 2.25, true},
        {"abc ", 0.0, "abc", -0.0, true},  {"abc", 2.25, " abc", 2.25, false},
        {"abc", 2.25, "abd", 2.25, false}, {"abc", 1.0, "abc", 2.0, false},
        {"", 1.0, "  ", 1.0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "'" << c.Text1 << "' " << c.Number1 << " / '" << c.Text2 << "' " << c.Number2);
        DS->SaveRecord(b, a);
        put(a, c.Text1, c.Number1);
        put(b, c.Text2, c.Number2);
        EXPECT_EQ(DS->CompareRecordPos(a, b, true, -1), c.Equal);
        EXPECT_EQ(DS->CompareRecordPos(b, a, true, -1), c.Equal);
    }
}

TEST_F(RowvaneTest, ColumnsAreFoundByTheirOwnNameAndByTableOrAliasThenByTheSelectsName) {
    Use("SELECT I.ID, I.DESCRIPTION AS D, 1 + 1 AS TWO, T.C_VARCHAR AS DESCRIPTION FROM ITEM I"
        " JOIN TYPES T ON T.ID = I.ID");
    DS->Open();
    char* model = const_cast<char*>(DS->ModelBuffer());
    auto index = [&](const char* Table, const char* Column) {
        PFieldHdr hdr = DS->GetFieldHeader(model, Table, Column);
        return hdr ? static_cast<int>((hdr.Address() - model - 13) / 23) : -1;
    };
    EXPECT_EQ(index("", "DESCRIPTION"), 1); // the column's own name, not the select's name for it
    EXPECT_EQ(index("ITEM", "DESCRIPTION"), 1);
    EXPECT_EQ(index("I", "DESCRIPTION"), 1);
    EXPECT_EQ(index("TYPES", "C_VARCHAR"), 3);
    EXPECT_EQ(index("T", "C_VARCHAR"), 3);
    EXPECT_EQ(index("X", "DESCRIPTION"), -1);
    // A name no column has as its own: the name the select gives a column
    // (ORDER BY knows it), for an expression the only one.
    EXPECT_EQ(index("", "D"), 1);
    EXPECT_EQ(index("", "TWO"), 2);
    EXPECT_EQ(index("I", "D"), -1);          // a qualified name is a table's
    EXPECT_EQ(index("", "description"), -1); // exact bytes
}

TEST_F(RowvaneTest, TheBookmarkSizeCountsTheKeyColumnsAndAMissingOneFailsTheOpen) {
    Use("SELECT ID, DESCRIPTION FROM ITEM");
    DS->Open();
    EXPECT_EQ(DS->BookmarkSize(), 13); // no key columns
    DS->Close();
    DS->SetKeyColumns("ITEM.ID");
    DS->Open();
    EXPECT_EQ(DS->BookmarkSize(), 13 + 23 + 4);
    DS->Close();
    DS->SetKeyColumns("ID,NOPE");
    try {
        DS->Open();
        ADD_FAILURE();
    } catch (const EIBRVError& e) {
        EXPECT_EQ(e.ErrorCode, rveFieldNotFound);
        EXPECT_EQ(e.Message(), "Field \"NOPE\" not found");
    }
    EXPECT_FALSE(DS->GetActive());
    EXPECT_FALSE(DS->CursorIsOpen());
    EXPECT_EQ(DS->ModelBuffer(), nullptr);
    EXPECT_EQ(DS->ColumnCount(), -1);
}
