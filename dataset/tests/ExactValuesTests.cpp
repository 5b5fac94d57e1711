// Values of the types a rounded or narrowed copy would change, kept exactly
// against the real engine in three character sets (NONE, WIN1252 over a
// WIN1252 connection, UTF8 over a UTF8 connection): TIME and TIMESTAMP to
// 1/10000 s, NUMERIC and DECIMAL of many decimals or beyond Currency's
// range, CHAR of a multi-byte set, texts with trailing blanks. An edit of
// another column writes every value back as the engine stored it (the
// engine's own text compared before and after); sort walks forward,
// backward and zig-zag follow the engine's order; a key search finds what
// WHERE col = value finds; bookmarks find their row; length limits count
// the column's unit.
#include "RowvaneFixture.h"

#include "DateUtils.h"

#include <gmock/gmock.h>

#include <map>
#include <vector>

namespace {

using testing::ElementsAreArray;

struct TCharSetCase {
    const char* Name;
    const char* CharSet;    // of the text columns, and of the connection
    const char* Umlauts;    // "äöü" in that character set's bytes
    const char* TwoUmlauts; // "äö"
    const char* Padded;     // "äöü" as a CHAR(6) holds it
    const char* SixUnits;   // a text of six bytes, or six characters where the column counts them
    bool CountsCharacters;
};

void PrintTo(const TCharSetCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

const TCharSetCase CharSetCases[] = {
    // Six and four bytes of UTF-8, passed through as bytes.
    {"NONE", "NONE", "äöü", "äö", "äöü", "äöü", false},
    {"WIN1252", "WIN1252", "\xE4\xF6\xFC", "\xE4\xF6", "\xE4\xF6\xFC   ",
     "\xE4\xF6\xFC"
     "abc",
     false},
    {"UTF8", "UTF8", "äöü", "äö", "äöü   ", "äöüäöü", true},
};

// The typed columns; each row's values lie so that no column's order is the key's.
const char* const Columns[] = {"C_TIME", "C_TS",  "C_N186", "C_N182",
                               "C_N183", "C_D95", "C_CHAR", "C_VARCHAR"};

class ExactValuesTest : public IBTest::TIBDatabaseFixture, public testing::WithParamInterface<TCharSetCase> {
protected:
    void SetUp() override {
        TIBDatabaseFixture::SetUp();
        AnsiString cs = GetParam().CharSet;
        ExecSQL("CREATE TABLE V (ID INTEGER NOT NULL PRIMARY KEY, NOTE INTEGER,"
                " C_TIME TIME, C_TS TIMESTAMP, C_N186 NUMERIC(18,6), C_N182 NUMERIC(18,2),"
                " C_N183 NUMERIC(18,3), C_D95 DECIMAL(9,5),"
                " C_CHAR CHAR(6) CHARACTER SET " +
                cs + ", C_VARCHAR VARCHAR(6) CHARACTER SET " + cs + ")");
        Tr->Commit();
        // The rows go in through the connection of the case, so that its texts mean what they say.
        CaseDb = std::make_unique<TIBDatabase>(nullptr);
        TestDb->Configure(*CaseDb);
        CaseDb->GetParams()->Add("lc_ctype=" + cs);
        CaseDb->Open();
        CaseTr = std::make_unique<TIBTransaction>(nullptr);
        CaseTr->SetDefaultDatabase(CaseDb.get());
        CaseTr->SetDefaultAction(TARollback);
        AnsiString u = GetParam().Umlauts, u2 = GetParam().TwoUmlauts;
        const AnsiString rows[] = {
            "1, 10, '12:34:56.7893', '2024-02-29 12:34:56.7893', 123456789012.123453, 1000000000000000.03,"
            " 1000000000000000.003, 1234.56793, 'abc', 'abc '",
            "2, 20, '12:34:56.7891', '2024-02-29 12:34:56.7891', 123456789012.123451, 1000000000000000.01,"
            " 1000000000000000.001, 1234.56791, 'ab', 'b'",
            "3, 30, '12:34:56.7894', '2024-02-29 12:34:56.7894', 123456789012.123454, 1000000000000000.04,"
            " 1000000000000000.004, 1234.56794, 'abc', 'abc'",
            "4, 40, '12:34:56.7892', '2024-02-29 12:34:56.7892', 123456789012.123452, 1000000000000000.02,"
            " 1000000000000000.002, 1234.56792, '" +
                u + "', '" + u2 + "'",
            "5, 50, '23:59:59.9999', '9999-12-31 23:59:59.9999', -123456789012.123451, 9999999999999999.99,"
            " -9223372036854775.807, -9999.99999, NULL, 'a'",
        };
        for (const AnsiString& row : rows)
            Exec("INSERT INTO V VALUES (" + row + ")");
    }

    void TearDown() override {
        DS.reset();
        if (CaseTr && CaseTr->GetInTransaction()) CaseTr->Rollback();
        CaseTr.reset();
        CaseDb.reset();
        TIBDatabaseFixture::TearDown();
    }

    void Exec(const AnsiString& SQL) {
        if (!CaseTr->GetInTransaction()) CaseTr->StartTransaction();
        TIBSQL q(nullptr);
        q.SetDatabase(CaseDb.get());
        q.SetTransaction(CaseTr.get());
        q.GetSQL()->SetText(SQL);
        q.ExecQuery();
    }

    // The engine's own text of one column of every row, by ID ("NULL" for null).
    std::map<int, AnsiString> EngineTexts(const AnsiString& Column) {
        if (!CaseTr->GetInTransaction()) CaseTr->StartTransaction();
        TIBSQL q(nullptr);
        q.SetDatabase(CaseDb.get());
        q.SetTransaction(CaseTr.get());
        q.GetSQL()->SetText("SELECT ID, CAST(" + Column + " AS VARCHAR(60)) FROM V");
        std::map<int, AnsiString> texts;
        for (q.ExecQuery(); !q.GetEOF(); q.Next())
            texts[q.GetFields(0)->GetAsLong()] =
                q.GetFields(1)->GetIsNull() ? AnsiString("NULL") : q.GetFields(1)->GetAsString();
        return texts;
    }

    // The IDs in the engine's order of a column (the key breaking ties), or of a condition's rows.
    std::vector<int> EngineIds(const AnsiString& Tail) {
        if (!CaseTr->GetInTransaction()) CaseTr->StartTransaction();
        TIBSQL q(nullptr);
        q.SetDatabase(CaseDb.get());
        q.SetTransaction(CaseTr.get());
        q.GetSQL()->SetText("SELECT ID FROM V " + Tail);
        std::vector<int> ids;
        for (q.ExecQuery(); !q.GetEOF(); q.Next())
            ids.push_back(q.GetFields(0)->GetAsLong());
        return ids;
    }

    // The dataset over ID and the columns given (one column's fault shows on its own).
    void Open(const AnsiString& List, const AnsiString& OrderBy = "ID", const AnsiString& KeyColumns = "ID") {
        DS = std::make_unique<TTestRowvane>(nullptr);
        DS->SetDatabase(CaseDb.get());
        DS->SetTransaction(CaseTr.get());
        DS->GetSelectSQL()->SetText("SELECT ID, " + List + " FROM V");
        DS->SetKeyColumns(KeyColumns);
        DS->GetOrderItems()->Add("1;" + OrderBy);
        DS->SetOrderItemId(1);
        DS->Open();
    }

    // Runs one case of a table; a case that raises fails alone and the next one runs.
    template <class F> void Case(const AnsiString& What, F Body) {
        SCOPED_TRACE(What);
        try {
            Body();
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
        if (DS && DS->GetActive()) DS->Close();
    }

    int Id() { return DS->FieldByName("ID")->GetAsInteger(); }
    // Moves to the row with this ID in the current order.
    bool GoTo(int Wanted) {
        for (DS->First(); !DS->GetEof(); DS->Next())
            if (Id() == Wanted) return true;
        return false;
    }

    std::unique_ptr<TIBDatabase> CaseDb;
    std::unique_ptr<TIBTransaction> CaseTr;
    std::unique_ptr<TTestRowvane> DS;
};

std::string CaseName(const testing::TestParamInfo<TCharSetCase>& Info) {
    return Info.param.Name;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(CharSets, ExactValuesTest, testing::ValuesIn(CharSetCases), CaseName);

TEST_P(ExactValuesTest, AnEditOfAnotherColumnWritesEveryValueBackAsTheEngineStoredIt) {
    for (const char* column : Columns) {
        Case(column, [&] {
            std::map<int, AnsiString> before = EngineTexts(column);
            Open(AnsiString("NOTE, ") + column);
            for (DS->First(); !DS->GetEof(); DS->Next()) {
                DS->Edit();
                DS->FieldByName("NOTE")->SetAsInteger(DS->FieldByName("NOTE")->GetAsInteger() + 1);
                DS->Post();
            }
            EXPECT_EQ(EngineIds("WHERE NOTE = 10 * ID + 1").size(), 5u);
            EXPECT_EQ(EngineTexts(column), before);
        });
        Exec("UPDATE V SET NOTE = 10 * ID");
    }
}

TEST_P(ExactValuesTest, FieldsShowTheValuesAsTheEngineDoesAsFarAsTheyCanHoldThem) {
    for (const char* column : {"C_N186", "C_N182", "C_N183", "C_D95"}) {
        Case(column, [&] {
            std::map<int, AnsiString> texts = EngineTexts(column);
            Open(column);
            for (DS->First(); !DS->GetEof(); DS->Next()) {
                auto* field = dynamic_cast<TBCDField*>(DS->FieldByName(column));
                ASSERT_NE(field, nullptr);
                EXPECT_EQ(BcdToStr(field->GetAsBCD()), texts[Id()]) << Id();
                EXPECT_EQ(field->GetAsFloat(), std::stod(texts[Id()])) << Id(); // the nearest double
            }
        });
    }
    for (const char* column : {"C_CHAR", "C_VARCHAR"}) {
        Case(column, [&] {
            std::map<int, AnsiString> texts = EngineTexts(column);
            Open(column);
            for (DS->First(); !DS->GetEof(); DS->Next()) {
                TField* field = DS->FieldByName(column);
                EXPECT_EQ(field->GetIsNull() ? AnsiString("NULL") : field->GetAsString(), texts[Id()])
                    << Id();
            }
        });
    }
    Case("a CHAR(6) is six characters, blank-padded as the engine pads it", [&] {
        Open("C_CHAR");
        ASSERT_TRUE(GoTo(4));
        EXPECT_EQ(DS->FieldByName("C_CHAR")->GetAsString(), GetParam().Padded);
    });
    Case("milliseconds, the last decimal cut: never rounded into the next second or day", [&] {
        Open("C_TS, C_TIME");
        ASSERT_TRUE(GoTo(5));
        EXPECT_EQ(DS->FieldByName("C_TS")->GetAsString(), "9999-12-31 23:59:59");
        EXPECT_EQ(DateTimeToTimeStamp(DS->FieldByName("C_TS")->GetAsDateTime()).Time, 86399999);
        EXPECT_EQ(DateTimeToTimeStamp(DS->FieldByName("C_TIME")->GetAsDateTime()).Time, 86399999);
    });
    Case("only Currency cannot hold it", [&] {
        Open("C_N182");
        ASSERT_TRUE(GoTo(5));
        EXPECT_THROW(DS->FieldByName("C_N182")->GetAsCurrency(), EDatabaseError);
    });
}

TEST_P(ExactValuesTest, SortWalksForwardBackwardAndZigZagFollowTheEnginesOrder) {
    for (const char* column : Columns)
        Case(column, [&] {
            std::vector<int> order = EngineIds(AnsiString("ORDER BY ") + column + ", ID");
            ASSERT_EQ(order.size(), 5u);
            Open(column, column);
            std::vector<int> forward, backward, zigzag;
            for (DS->First(); !DS->GetEof(); DS->Next())
                forward.push_back(Id());
            for (DS->Last(); !DS->GetBof(); DS->Prior())
                backward.insert(backward.begin(), Id());
            EXPECT_EQ(forward, order);
            EXPECT_EQ(backward, order);
            // Every change of direction re-opens a cursor at the position's values.
            DS->First();
            zigzag.push_back(Id());
            for (int step : {1, 1, 1, -1, -1, 1, 1, -1}) {
                DS->MoveBy(step);
                zigzag.push_back(Id());
            }
            const size_t places[] = {0, 1, 2, 3, 2, 1, 2, 3, 2};
            std::vector<int> expected;
            for (size_t p : places)
                expected.push_back(order[p]);
            EXPECT_EQ(zigzag, expected);
        });
}

TEST_P(ExactValuesTest, AnExactKeySearchFindsTheRowsWhereColumnEqualsValueFinds) {
    AnsiString u = GetParam().Umlauts;
    struct TSearch {
        const char* Column;
        AnsiString Value;
    };
    const TSearch cases[] = {
        {"C_CHAR", "abc"},
        {"C_CHAR", "abc  "},
        {"C_CHAR", u},
        {"C_VARCHAR", "abc"},
        {"C_VARCHAR", "abc "},
        {"C_N186", "123456789012.123452"},
        {"C_N182", "1000000000000000.02"},
        {"C_N183", "-9223372036854775.807"},
        {"C_D95", "1234.56792"},
    };
    for (const TSearch& c : cases)
        Case(AnsiString(c.Column) + " = '" + c.Value + "'", [&] {
            std::vector<int> rows = EngineIds(AnsiString("WHERE ") + c.Column + " = '" + c.Value +
                                              "' ORDER BY " + c.Column + ", ID");
            ASSERT_FALSE(rows.empty());
            Open(c.Column, c.Column);
            DS->SetKey(true);
            DS->FieldByName(c.Column)->SetAsString(c.Value);
            ASSERT_TRUE(DS->GotoKey(true, false, 1, false));
            std::vector<int> found{Id()};
            // The rows with that value follow one another in the order.
            for (DS->Next(); !DS->GetEof() && found.size() < rows.size(); DS->Next())
                found.push_back(Id());
            EXPECT_EQ(found, rows);
        });
}

TEST_P(ExactValuesTest, BookmarksOnExactKeysFindTheirRow) {
    for (const char* key : {"C_TS", "C_TIME", "C_N186", "C_N182"})
        Case(key, [&] {
            Open(key, key, key);
            std::map<int, TBookmark> marks;
            for (DS->First(); !DS->GetEof(); DS->Next())
                marks[Id()] = DS->GetBookmark();
            for (auto& [id, mark] : marks) {
                DS->GotoBookmark(mark);
                EXPECT_EQ(Id(), id);
                DS->FreeBookmark(mark);
            }
        });
}

TEST_P(ExactValuesTest, LengthLimitsCountTheColumnsUnit) {
    Open("C_VARCHAR");
    bool characters = GetParam().CountsCharacters;
    auto* text = dynamic_cast<TStringField*>(DS->FieldByName("C_VARCHAR"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetSize(), 6);
    EXPECT_EQ(text->GetCountsBytes(), !characters);
    AnsiString sixUnits = GetParam().SixUnits;
    DS->Edit();
    text->SetAsString(sixUnits);
    AnsiString message;
    try {
        text->SetAsString(sixUnits + "x");
    } catch (const EDatabaseError& e) {
        message = e.Message();
    }
    EXPECT_EQ(message, AnsiString("Value of field 'C_VARCHAR' is too long: 7 ") +
                           (characters ? "characters" : "bytes") + ", at most 6 are allowed");
    DS->Post();
    EXPECT_EQ(EngineTexts("C_VARCHAR")[Id()], sixUnits);
}

// The demonstration program's table uses the character set NONE: a text's
// bytes count, and the message says so.
TEST_F(RowvaneTest, ADescriptionOfThirtyCharactersButMoreBytesIsRefusedInBytes) {
    Use("SELECT * FROM ITEM");
    DS->SetKeyColumns("ID");
    DS->Open();
    DS->Edit();
    try {
        DS->FieldByName("DESCRIPTION")->SetAsString("Käse-Würfel für Schüler 30 Zch");
        ADD_FAILURE();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Value of field 'DESCRIPTION' is too long: 34 bytes, at most 30 are allowed");
    }
    DS->FieldByName("DESCRIPTION")->SetAsString("Käse-Würfel für Schüler 26");
    DS->Post();
}

// Under a case-insensitive collation 'abc', 'ABC' and 'Abc' are one value to
// the engine's "=": an exact key search lands on the first of them in the
// engine's order, and finds nothing where no row equals the key.
TEST_F(RowvaneTest, UnderACaseInsensitiveCollationAnExactKeySearchFindsWhatTheEngineFinds) {
    ExecSQL("CREATE TABLE CI (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(10) CHARACTER SET UTF8 COLLATE UNICODE_CI)");
    Commit();
    for (const char* row : {"1, 'abc'", "2, 'ABD'", "3, 'ABC '", "4, 'ab'", "5, 'Abc'", "6, 'abd'", "7, NULL"})
        ExecSQL(AnsiString("INSERT INTO CI VALUES (") + row + ")");
    Commit();
    Use("SELECT ID, NAME FROM CI");
    DS->SetKeyColumns("ID");
    DS->GetOrderItems()->Add("1;NAME");
    DS->SetOrderItemId(1);
    DS->Open();
    for (const char* value : {"aBc", "ABD", "abc  ", "abcd"}) {
        SCOPED_TRACE(value);
        std::vector<int> rows =
            EngineColumn(AnsiString("SELECT ID FROM CI WHERE NAME = '") + value + "' ORDER BY NAME, ID");
        DS->SetKey(true);
        DS->FieldByName("NAME")->SetAsString(value);
        ASSERT_EQ(DS->GotoKey(true, false, 1, false), !rows.empty());
        if (!rows.empty()) {
            EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), rows.front());
        }
    }
}
