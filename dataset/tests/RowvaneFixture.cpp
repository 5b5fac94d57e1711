#include "RowvaneFixture.h"

bool TTestRowvane::FetchRow(char* Buffer, int Row) {
    TIBSQL* q = FQrySelect;
    if (q->GetOpen()) q->Close();
    q->ExecQuery(); // fetches the first row
    for (int i = 0; i < Row && !q->GetEOF(); ++i)
        q->Next();
    bool found = !q->GetEOF();
    if (found) FetchRecordToBuffer(Buffer, q->Current());
    q->Close();
    return found;
}

namespace {

// The sample database's statements, as the demonstration program sends them.
const char* const SampleSchema[] = {
    "CREATE TABLE ITEM\n(\nID INTEGER NOT NULL,\nDESCRIPTION VARCHAR(30) NOT NULL,\nQUANTITY NUMERIC(5,2),\n"
    "PRICE NUMERIC(8,2),\nCONSTRAINT PKY_ITEM PRIMARY KEY (ID)\n)",
    "CREATE UNIQUE DESC INDEX\nIXD_ITEM_ID ON ITEM ID",
    "CREATE UNIQUE ASC INDEX\nIXA_ITEM_DESCRIPTION ON ITEM DESCRIPTION",
    "CREATE UNIQUE DESC INDEX\nIXD_ITEM_DESCRIPTION ON ITEM DESCRIPTION",
    "CREATE GENERATOR GEN_ITEM_ID",
    "CREATE TRIGGER TRG_ITEM_BI_PKY\nFOR ITEM\nACTIVE BEFORE INSERT POSITION 0\nAS\nBEGIN\nIF (\n"
    "NEW.ID IS NULL\nOR\nNEW.ID > GEN_ID(GEN_ITEM_ID, 0)\n)\nTHEN\nNEW.ID = GEN_ID(GEN_ITEM_ID, 1);\nEND",
};

const char* const TypesSchema =
    "CREATE TABLE TYPES (ID INTEGER NOT NULL PRIMARY KEY,"
    " C_VARCHAR VARCHAR(30), C_CHAR CHAR(5), C_SMALL SMALLINT, C_INT INTEGER, C_BIG BIGINT,"
    " C_FLOAT FLOAT, C_DOUBLE DOUBLE PRECISION, C_N41 NUMERIC(4,1), C_N52 NUMERIC(5,2),"
    " C_N184 NUMERIC(18,4), C_N95 NUMERIC(9,5), C_DATE DATE, C_TIME TIME, C_TS TIMESTAMP,"
    " C_BLOB BLOB SUB_TYPE 0, C_MEMO BLOB SUB_TYPE 1, C_USER BLOB SUB_TYPE -7, C_ARR INTEGER[3],"
    " C_TWICE COMPUTED BY (C_INT * 2))";

} // namespace

void RowvaneTest::SetUp() {
    TIBDatabaseFixture::SetUp();
    for (const char* statement : SampleSchema) {
        ExecSQL(statement);
        Commit();
    }
    ExecSQL(TypesSchema);
    Commit();
    for (const char* row :
         {"INSERT INTO ITEM VALUES (1, 'Apple', 1.50, 2.25)",
          "INSERT INTO ITEM VALUES (2, 'Pear', NULL, NULL)", "INSERT INTO ITEM VALUES (3, 'Cherry', 0, 1.00)",
          "INSERT INTO ITEM VALUES (4, 'Banana split', 12.34, 99.99)",
          "INSERT INTO TYPES (ID, C_VARCHAR, C_CHAR, C_SMALL, C_INT, C_BIG, C_FLOAT, C_DOUBLE,"
          " C_N41, C_N52, C_N184, C_N95, C_DATE, C_TIME, C_TS, C_BLOB, C_MEMO)"
          " VALUES (1, 'abc', 'ab', -32768, 2147483647, 9223372036854775807, 1.5, 2.25,"
          " -123.4, 12.34, 12345678901234.5678, 1234.56789, '0001-01-02', '12:00:00.001',"
          " '2024-02-29 23:59:59.999', 'bytes', 'text')",
          "UPDATE TYPES SET C_USER = C_BLOB WHERE ID = 1", "INSERT INTO TYPES (ID) VALUES (2)"})
        ExecSQL(row);
    Commit();
}

void RowvaneTest::TearDown() {
    DS.reset();
    TIBDatabaseFixture::TearDown();
}

void RowvaneTest::Use(const AnsiString& Select) {
    DS = std::make_unique<TTestRowvane>(nullptr);
    DS->SetDatabase(Db.get());
    DS->SetTransaction(Tr.get());
    DS->GetSelectSQL()->SetText(Select);
}

void RowvaneTest::Commit() {
    if (Tr->GetInTransaction()) Tr->Commit();
}

std::vector<int> RowvaneTest::EngineColumn(const AnsiString& Select) {
    TIBSQL* q = NewSQL(Select);
    if (!Tr->GetInTransaction()) Tr->StartTransaction();
    std::vector<int> values;
    for (q->ExecQuery(); !q->GetEOF(); q->Next())
        values.push_back(q->GetFields(0)->GetAsLong());
    q->Close();
    return values;
}
