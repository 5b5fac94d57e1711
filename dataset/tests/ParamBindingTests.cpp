// Parameter binding against the real engine: every field type goes from a
// record buffer into a parameter and finds its row again; the position
// parameters by key and by order; field parameters by name; the main
// select's parameters copied; and the error codes.
#include "RowvaneFixture.h"

#include "DateUtils.h"

#include <gmock/gmock.h>

#include <cstring>

namespace {

template <class T> void Put(char* Buffer, PFieldHdr Hdr, T Value) {
    std::memcpy(Buffer + Hdr.GetOffset(), &Value, sizeof Value);
    Hdr.SetIsNull(false);
}

} // namespace

TEST_F(RowvaneTest, EveryFieldTypeBindsAValueThatFindsItsRowAgain) {
    const char* columns[] = {"C_VARCHAR", "C_CHAR", "C_SMALL", "C_INT", "C_BIG",  "C_FLOAT", "C_DOUBLE",
                             "C_N41",     "C_N52",  "C_N184",  "C_N95", "C_DATE", "C_TIME",  "C_TS"};
    AnsiString list = "ID";
    for (const char* c : columns)
        list += AnsiString(", ") + c;
    Use("SELECT " + list + " FROM TYPES ORDER BY ID");
    DS->SetKeyColumns("ID");
    DS->Open();
    TScopedBuffer row(*DS);
    ASSERT_TRUE(DS->FetchRow(row, 0));
    for (int i = 0; i < static_cast<int>(std::size(columns)); ++i) {
        SCOPED_TRACE(columns[i]);
        TIBSQL* q = NewSQL(AnsiString("SELECT ID FROM TYPES WHERE ") + columns[i] + " = :P");
        DS->SetQryParamFromBuf(q, "P", row, DS->Hdr(row, i + 1));
        q->ExecQuery();
        ASSERT_FALSE(q->GetEOF());
        EXPECT_EQ(q->GetFields(0)->GetAsLong(), 1);
        q->Close();
    }
    // By table and column name; a column that is not there raises code 2.
    TIBSQL* q = NewSQL("SELECT ID FROM TYPES WHERE C_INT = :P");
    DS->SetQryParamFromBuf(q, "P", row, "TYPES", "C_INT");
    EXPECT_EQ(q->GetSQLParams()->ByName("P")->GetAsLong(), 2147483647);
    EXPECT_RV_ERROR(DS->SetQryParamFromBuf(q, "P", row, "TYPES", "C_NONE"), rveFieldNotFound);
    // A type without a conversion raises code 17 with the field type's number.
    PFieldHdr hdr = DS->Hdr(row, 4);
    hdr.SetFieldType(ftUnknown);
    try {
        DS->SetQryParamFromBuf(q, q->GetSQLParams()->ByName("P"), row, hdr);
        ADD_FAILURE() << "no error";
    } catch (const EIBRVError& e) {
        EXPECT_EQ(e.ErrorCode, rveFieldTypeNoSupport);
        EXPECT_THAT(e.Message(), testing::HasSubstr("0"));
    }
}

TEST_F(RowvaneTest, ValuesBindAsTheBufferHoldsThem) {
    Use("SELECT ID, C_VARCHAR, C_TS, C_MEMO FROM TYPES ORDER BY ID");
    DS->SetKeyColumns("ID");
    DS->Open();
    TScopedBuffer row(*DS), empty(*DS);
    ASSERT_TRUE(DS->FetchRow(row, 0));
    ASSERT_TRUE(DS->FetchRow(empty, 1)); // every column but ID null
    TIBSQL* q = NewSQL("SELECT ID FROM TYPES WHERE C_VARCHAR = :S OR C_TS = :T OR C_INT = :I");
    TIBXSQLVAR* s = q->GetSQLParams()->ByName("S");
    TIBXSQLVAR* t = q->GetSQLParams()->ByName("T");

    // A string binds the characters it holds, not its reserved size.
    DS->SetQryParamFromBuf(q, s, row, DS->Hdr(row, 1));
    EXPECT_EQ(s->GetAsString(), "abc");
    // Null binds null, whatever bytes stand in the data area.
    std::memcpy(empty + DS->Hdr(empty, 1).GetOffset(), "xyz", 3);
    DS->Hdr(empty, 1).SetActualLength(3);
    DS->SetQryParamFromBuf(q, s, empty, DS->Hdr(empty, 1));
    EXPECT_TRUE(s->GetIsNull());

    // Midnight of a day is that day at 00:00; 1/10000 s before it the day before at 23:59:59.9999.
    PFieldHdr ts = DS->Hdr(row, 2);
    double day = static_cast<double>(DateTimeToTimeStamp(EncodeDate(2024, 3, 1)).Date);
    Put(row.operator char*(), ts, day * 864000000);
    DS->SetQryParamFromBuf(q, t, row, ts);
    EXPECT_DOUBLE_EQ(t->GetAsDateTime(), EncodeDate(2024, 3, 1));
    EXPECT_EQ(t->GetAsISCTimeStamp().timestamp_time, 0u);
    Put(row.operator char*(), ts, day * 864000000 - 1);
    DS->SetQryParamFromBuf(q, t, row, ts);
    EXPECT_EQ(t->GetAsISCTimeStamp().timestamp_time, 863999999u);
    EXPECT_NEAR(t->GetAsDateTime(), EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 59, 999), 1e-9);

    // A blob binds its id, not its contents: row 2 takes row 1's memo.
    TIBSQL* u = NewSQL("UPDATE TYPES SET C_MEMO = :M WHERE ID = 2");
    DS->SetQryParamFromBuf(u, "M", row, DS->Hdr(row, 3));
    ISC_QUAD id;
    std::memcpy(&id, row + DS->Hdr(row, 3).GetOffset(), sizeof id);
    ISC_QUAD bound = u->GetSQLParams()->ByName("M")->GetAsQuad();
    EXPECT_EQ(std::memcmp(&bound, &id, sizeof id), 0);
    u->ExecQuery();
    TIBSQL* check = NewSQL("SELECT C_MEMO FROM TYPES WHERE ID = 2");
    check->ExecQuery();
    EXPECT_EQ(check->GetFields(0)->GetAsString(), "text");
    check->Close();
    // A null blob binds null.
    DS->SetQryParamFromBuf(u, "M", empty, DS->Hdr(empty, 3));
    EXPECT_TRUE(u->GetSQLParams()->ByName("M")->GetIsNull());
}

TEST_F(RowvaneTest, PositionParametersComeFromTheKeyOrTheOrderColumnsInTheirOrder) {
    Use("SELECT ID, DESCRIPTION, QUANTITY FROM ITEM ORDER BY ID");
    DS->SetKeyColumns("DESCRIPTION,ID"); // not the order of the select list
    DS->GetOrderItems()->SetText("1;QUANTITY, DESCRIPTION");
    DS->Open();
    DS->SetOrderItemId(1);
    {
        TScopedBuffer row(*DS);
        ASSERT_TRUE(DS->FetchRow(row, 1)); // 2, Pear, NULL
        TIBSQL* q = NewSQL("SELECT ID FROM ITEM WHERE DESCRIPTION = :_LOCATE1 AND ID = :_LOCATE2");
        TIBXSQLDA* params = q->GetSQLParams();
        DS->SetQueryLocateValues(q, row, true, -1);
        EXPECT_EQ(params->ByName("_LOCATE1")->GetAsString(), "Pear");
        EXPECT_EQ(params->ByName("_LOCATE2")->GetAsLong(), 2);
        q->ExecQuery();
        EXPECT_FALSE(q->GetEOF());
        q->Close();

        // By order columns: count -1 all, 0 none, one above their number code 20.
        TIBSQL* o = NewSQL("SELECT ID FROM ITEM WHERE QUANTITY = :_LOCATE1 OR DESCRIPTION = :_LOCATE2");
        TIBXSQLDA* op = o->GetSQLParams();
        DS->SetQueryLocateValues(o, row, false, 0);
        EXPECT_TRUE(op->ByName("_LOCATE2")->GetIsNull()); // nothing bound yet
        op->ByName("_LOCATE1")->SetAsLong(7);
        DS->SetQueryLocateValues(o, row, false, -1);
        EXPECT_TRUE(op->ByName("_LOCATE1")->GetIsNull()); // Pear has no quantity
        EXPECT_EQ(op->ByName("_LOCATE2")->GetAsString(), "Pear");
        EXPECT_RV_ERROR(DS->SetQueryLocateValues(o, row, false, 3), rveInvalidSortColCount);
        EXPECT_RV_ERROR(DS->SetQueryLocateValues(o, row, true, 3), rveInvalidSortColCount);
    }
    DS->Close();

    // An order column that is not among the select's columns: code 2 with its
    // name. (With key columns the open refuses such an order already.)
    Use("SELECT ID, DESCRIPTION FROM ITEM");
    DS->GetOrderItems()->SetText("1;PRICE");
    DS->SetOrderItemId(1);
    DS->Open();
    TScopedBuffer other(*DS);
    ASSERT_TRUE(DS->FetchRow(other, 0));
    TIBSQL* p = NewSQL("SELECT ID FROM ITEM WHERE PRICE = :_LOCATE1");
    try {
        DS->SetQueryLocateValues(p, other, false, -1);
        ADD_FAILURE() << "no error";
    } catch (const EIBRVError& e) {
        EXPECT_EQ(e.ErrorCode, rveFieldNotFound);
        EXPECT_THAT(e.Message(), testing::HasSubstr("PRICE"));
    }
}

TEST_F(RowvaneTest, FieldParametersAreBoundByNameAndPositionParametersAreLeftAlone) {
    Use("SELECT ID, DESCRIPTION, QUANTITY FROM ITEM ORDER BY ID");
    DS->SetKeyColumns("ID");
    DS->Open();
    TScopedBuffer row(*DS);
    ASSERT_TRUE(DS->FetchRow(row, 0)); // 1, Apple, 1.50
    TIBSQL* u =
        NewSQL("UPDATE ITEM SET DESCRIPTION = :DESCRIPTION, QUANTITY = :QUANTITY WHERE ID = :_LOCATE1");
    TIBXSQLDA* params = u->GetSQLParams();
    params->ByName("_LOCATE1")->SetAsLong(3);
    DS->SetQueryFieldValues(u, row);
    EXPECT_EQ(params->ByName("DESCRIPTION")->GetAsString(), "Apple");
    EXPECT_EQ(params->ByName("QUANTITY")->GetAsCurrency(), StrToCurr("1.5"));
    EXPECT_EQ(params->ByName("_LOCATE1")->GetAsLong(), 3); // the old key, untouched

    // "_LOCATE" further in the name reserves nothing: it must name a field.
    TIBSQL* bad = NewSQL("UPDATE ITEM SET DESCRIPTION = :DESCRIPTION WHERE ID = :X_LOCATE1");
    try {
        DS->SetQueryFieldValues(bad, row);
        ADD_FAILURE() << "no error";
    } catch (const EIBRVError& e) {
        EXPECT_EQ(e.ErrorCode, rveParamNotFound);
        EXPECT_THAT(e.Message(), testing::HasSubstr("X_LOCATE1"));
    }
}

TEST_F(RowvaneTest, TheMainSelectsParametersAreCopiedByNameNullsIncluded) {
    Use("SELECT ID FROM ITEM WHERE ID > :LOW AND (:HIGH IS NULL OR ID < :HIGH)");
    DS->SetKeyColumns("ID");
    DS->Open();
    DS->GetParams()->ByName("LOW")->SetAsLong(1);
    DS->GetParams()->ByName("HIGH")->SetIsNull(true);
    TIBSQL* dest = NewSQL("SELECT ID FROM ITEM WHERE ID = :HIGH OR ID = :LOW OR ID = :_LOCATE1");
    dest->GetSQLParams()->ByName("HIGH")->SetAsLong(9);
    DS->SetQryParamFromQry(DS->Select(), dest);
    EXPECT_EQ(dest->GetSQLParams()->ByName("LOW")->GetAsLong(), 1);
    EXPECT_TRUE(dest->GetSQLParams()->ByName("HIGH")->GetIsNull());
    // A parameter the destination lacks: the database layer's not-found error.
    TIBSQL* lacking = NewSQL("SELECT ID FROM ITEM WHERE ID = :LOW");
    EXPECT_THROW(DS->SetQryParamFromQry(DS->Select(), lacking), EIBError);
}
