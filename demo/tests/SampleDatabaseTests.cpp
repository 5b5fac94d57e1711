// Creating the sample database through the embedded engine.
#include "DemoTestEnv.h"
#include "Frm_main.h"
#include "IBTestSupport.h"
#include "Unt_settings.h"

#include <filesystem>
#include <memory>

namespace {

using IBTest::TTempFolder;

class SampleDatabaseTest : public ::testing::Test {
protected:
    SampleDatabaseTest() {
        Tr->SetDefaultDatabase(Db);
        Tr->SetDefaultAction(TARollback);
        Db->SetDefaultTransaction(Tr);
        Db->SetLoginPrompt(false);
        Db->SetSQLDialect(3);
        IBSQL->SetDatabase(Db);
        IBSQL->SetTransaction(Tr);
        Store->SetDatabase(Path);
        Store->SetUsername("SYSDBA");
        Store->SetPassword("masterkey");
    }
    ~SampleDatabaseTest() override {
        // A database left connected by a failure goes before its folder.
        Db->ForceClose();
    }

    // A connection of its own to the created file, as the program's Open makes it.
    std::unique_ptr<TIBDatabase> Attach(const AnsiString& User = "SYSDBA") {
        auto db = std::make_unique<TIBDatabase>(nullptr);
        db->SetDatabaseName(Path);
        db->SetLoginPrompt(false);
        db->GetParams()->Add("USER_NAME=" + User);
        db->GetParams()->Add("PASSWORD=masterkey");
        db->Open();
        return db;
    }
    // The rows of a query, each as its columns' texts joined by "|".
    static std::vector<AnsiString> Rows(TIBDatabase& DbToAsk, const AnsiString& SQL) {
        TIBTransaction tr(nullptr);
        tr.SetDefaultDatabase(&DbToAsk);
        TIBSQL q(nullptr);
        q.SetDatabase(&DbToAsk);
        q.SetTransaction(&tr);
        tr.StartTransaction();
        q.GetSQL()->SetText(SQL);
        q.ExecQuery();
        std::vector<AnsiString> rows;
        while (!q.GetEOF()) {
            AnsiString row;
            for (int i = 0; i < q.GetFieldCount(); ++i)
                row += (i ? "|" : "") + (q.GetFields(i)->GetIsNull() ? AnsiString("null")
                                                                     : Trim(q.GetFields(i)->GetAsString()));
            rows.push_back(row);
            q.Next();
        }
        q.Close();
        tr.Commit();
        return rows;
    }
    static void Exec(TIBDatabase& DbToUse, const AnsiString& SQL) {
        TIBTransaction tr(nullptr);
        tr.SetDefaultDatabase(&DbToUse);
        TIBSQL q(nullptr);
        q.SetDatabase(&DbToUse);
        q.SetTransaction(&tr);
        tr.StartTransaction();
        q.GetSQL()->SetText(SQL);
        q.ExecQuery();
        tr.Commit();
    }

    TProgramFolder Program;
    TTempFolder Data;
    AnsiString Path = Data.Path() + "/demo.fdb";
    std::unique_ptr<TSettings> Store = std::make_unique<TSettings>();
    TComponent Owner{nullptr}; // the main window's part: database, transaction, statement
    TIBDatabase* Db = new TIBDatabase(&Owner);
    TIBTransaction* Tr = new TIBTransaction(&Owner);
    TIBSQL* IBSQL = new TIBSQL(&Owner);
};

TEST_F(SampleDatabaseTest, MakesTheSchemaAndLeavesTheDatabaseClosed) {
    CreateDemoDatabase(*Db, *Tr, *IBSQL, *Store);
    EXPECT_FALSE(Db->GetConnected());
    EXPECT_FALSE(Tr->GetInTransaction());
    EXPECT_EQ(Db->GetDatabaseName(), Path);
    EXPECT_EQ(Db->GetParams()->GetText(), "USER \"SYSDBA\"\r\nPASSWORD \"masterkey\"\r\nPAGE_SIZE 4096\r\n");
    // The trigger's text stays in the statement.
    EXPECT_EQ(
        IBSQL->GetSQL()->GetText(),
        "CREATE TRIGGER TRG_ITEM_BI_PKY\r\nFOR ITEM\r\nACTIVE BEFORE INSERT POSITION 0\r\nAS\r\nBEGIN\r\n"
        "IF (\r\nNEW.ID IS NULL\r\nOR\r\nNEW.ID > GEN_ID(GEN_ITEM_ID, 0)\r\n)\r\nTHEN\r\n"
        "NEW.ID = GEN_ID(GEN_ITEM_ID, 1);\r\nEND\r\n");

    auto db = Attach();
    EXPECT_EQ(db->GetDBSQLDialect(), 3);
    EXPECT_EQ(Rows(*db, "SELECT MON$PAGE_SIZE FROM MON$DATABASE"), (std::vector<AnsiString>{"4096"}));
    EXPECT_EQ(Rows(*db,
                   "SELECT RF.RDB$FIELD_NAME, F.RDB$FIELD_TYPE, F.RDB$FIELD_PRECISION, "
                   "-F.RDB$FIELD_SCALE, F.RDB$CHARACTER_LENGTH, COALESCE(RF.RDB$NULL_FLAG, 0) "
                   "FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
                   "WHERE RF.RDB$RELATION_NAME = 'ITEM' ORDER BY RF.RDB$FIELD_POSITION"),
              (std::vector<AnsiString>{"ID|8|0|0|null|1", "DESCRIPTION|37|null|0|30|1",
                                       "QUANTITY|8|5|2|null|0", "PRICE|8|8|2|null|0"}));
    EXPECT_EQ(Rows(*db, "SELECT RDB$CONSTRAINT_NAME, RDB$CONSTRAINT_TYPE, RDB$INDEX_NAME FROM "
                        "RDB$RELATION_CONSTRAINTS WHERE RDB$RELATION_NAME = 'ITEM' AND "
                        "RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'"),
              (std::vector<AnsiString>{"PKY_ITEM|PRIMARY KEY|PKY_ITEM"}));
    EXPECT_EQ(Rows(*db, "SELECT I.RDB$INDEX_NAME, I.RDB$UNIQUE_FLAG, COALESCE(I.RDB$INDEX_TYPE, 0), "
                        "S.RDB$FIELD_NAME FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S ON "
                        "S.RDB$INDEX_NAME = I.RDB$INDEX_NAME WHERE I.RDB$RELATION_NAME = 'ITEM' "
                        "ORDER BY I.RDB$INDEX_NAME"),
              (std::vector<AnsiString>{"IXA_ITEM_DESCRIPTION|1|0|DESCRIPTION",
                                       "IXD_ITEM_DESCRIPTION|1|1|DESCRIPTION", "IXD_ITEM_ID|1|1|ID",
                                       "PKY_ITEM|1|0|ID"}));
    EXPECT_EQ(
        Rows(*db, "SELECT RDB$GENERATOR_NAME FROM RDB$GENERATORS WHERE RDB$GENERATOR_NAME = 'GEN_ITEM_ID'"),
        (std::vector<AnsiString>{"GEN_ITEM_ID"}));
    EXPECT_EQ(Rows(*db, "SELECT GEN_ID(GEN_ITEM_ID, 0) FROM RDB$DATABASE"), (std::vector<AnsiString>{"0"}));
    EXPECT_EQ(Rows(*db, "SELECT RDB$TRIGGER_NAME, RDB$RELATION_NAME, RDB$TRIGGER_TYPE, RDB$TRIGGER_SEQUENCE, "
                        "COALESCE(RDB$TRIGGER_INACTIVE, 0) FROM RDB$TRIGGERS WHERE RDB$SYSTEM_FLAG = 0"),
              (std::vector<AnsiString>{"TRG_ITEM_BI_PKY|ITEM|1|0|0"}));
}

TEST_F(SampleDatabaseTest, TheTriggerGivesIdsFromTheGenerator) {
    CreateDemoDatabase(*Db, *Tr, *IBSQL, *Store);
    auto db = Attach();
    Exec(*db,
         "INSERT INTO ITEM (DESCRIPTION, QUANTITY, PRICE) VALUES ('Apple', 1.5, 2.25)"); // null: next value
    Exec(*db, "INSERT INTO ITEM (ID, DESCRIPTION) VALUES (100, 'Banana')"); // above the generator: next value
    // What the dataset does for a new row: take the value itself; the trigger keeps it.
    AnsiString taken = Rows(*db, "SELECT GEN_ID(GEN_ITEM_ID, 1) FROM RDB$DATABASE")[0];
    Exec(*db, "INSERT INTO ITEM (ID, DESCRIPTION) VALUES (" + taken + ", 'Cherry')");
    Rows(*db, "SELECT GEN_ID(GEN_ITEM_ID, 10) FROM RDB$DATABASE");
    Exec(*db, "INSERT INTO ITEM (ID, DESCRIPTION) VALUES (7, 'Date')"); // below the generator: kept
    EXPECT_EQ(Rows(*db, "SELECT ID, DESCRIPTION, QUANTITY, PRICE FROM ITEM ORDER BY ID"),
              (std::vector<AnsiString>{"1|Apple|1.50|2.25", "2|Banana|null|null", "3|Cherry|null|null",
                                       "7|Date|null|null"}));
    // Unique descriptions and keys.
    EXPECT_THROW(Exec(*db, "INSERT INTO ITEM (DESCRIPTION) VALUES ('Apple')"), EIBError);
    EXPECT_THROW(Exec(*db, "INSERT INTO ITEM (ID, DESCRIPTION) VALUES (7, 'Elder')"), EIBError);
    EXPECT_EQ(Rows(*db, "SELECT COUNT(*) FROM ITEM"), (std::vector<AnsiString>{"4"}));
}

TEST_F(SampleDatabaseTest, AnExistingDatabaseIsRefusedAndKeepsItsRows) {
    CreateDemoDatabase(*Db, *Tr, *IBSQL, *Store);
    {
        auto db = Attach();
        Exec(*db, "INSERT INTO ITEM (DESCRIPTION) VALUES ('kept')");
    }
    auto size = std::filesystem::file_size(Path);
    try {
        CreateDemoDatabase(*Db, *Tr, *IBSQL, *Store);
        ADD_FAILURE() << "a second database was created on the same file";
    } catch (const EIBError& e) {
        EXPECT_FALSE(e.Message().empty());
    }
    EXPECT_FALSE(Db->GetConnected());
    EXPECT_FALSE(Tr->GetInTransaction());
    EXPECT_EQ(std::filesystem::file_size(Path), size);
    auto db = Attach();
    EXPECT_EQ(Rows(*db, "SELECT ID, DESCRIPTION FROM ITEM"), (std::vector<AnsiString>{"1|kept"}));
}

TEST_F(SampleDatabaseTest, QuotesInPathUserAndPasswordStayInsideTheirStrings) {
    // Each text tries to end its string and add a clause of its own.
    Path = Data.Path() + "/it's' PAGE_SIZE 16384 '.fdb";
    Store->SetDatabase(Path);
    Store->SetUsername("O\"Brien");
    Store->SetPassword("pw\" PAGE_SIZE 16384 \"");
    CreateDemoDatabase(*Db, *Tr, *IBSQL, *Store);
    EXPECT_EQ(Db->GetParams()->Get(0), "USER \"O\"\"Brien\"");
    EXPECT_EQ(Db->GetParams()->Get(1), "PASSWORD \"pw\"\" PAGE_SIZE 16384 \"\"\"");
    ASSERT_TRUE(std::filesystem::exists(Path));
    auto db = Attach("SYSDBA");
    EXPECT_EQ(Rows(*db, "SELECT MON$PAGE_SIZE FROM MON$DATABASE"), (std::vector<AnsiString>{"4096"}));
    EXPECT_EQ(Rows(*db, "SELECT TRIM(RDB$OWNER_NAME) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'ITEM'"),
              (std::vector<AnsiString>{"O\"Brien"}));
}

TEST_F(SampleDatabaseTest, AServerNameGoesBeforeThePath) {
    // No server listens on this name's port: the attempt fails, with the name as sent.
    Store->SetServer("127.0.0.1/1");
    try {
        CreateDemoDatabase(*Db, *Tr, *IBSQL, *Store);
        ADD_FAILURE() << "created on a server that is not there";
    } catch (const EIBError&) {
    }
    EXPECT_EQ(Db->GetDatabaseName(), "127.0.0.1/1:" + Path);
    EXPECT_FALSE(Db->GetConnected());
    EXPECT_FALSE(std::filesystem::exists(Path));
}

} // namespace
