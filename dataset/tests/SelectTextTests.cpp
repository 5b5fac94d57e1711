// The statements the dataset derives from SelectSQL, character for
// character: the ORDER BY and the keyset condition of the cursors (with the
// NULL terms of nullable sort columns), the refresh statement, and the
// WhereClause property.
#include "RowvaneFixture.h"

#include <gmock/gmock.h>

#include <cstring>
#include <functional>

namespace {

class SelectTextTest : public RowvaneTest {
protected:
    void SetUp() override {
        RowvaneTest::SetUp();
        ExecSQL("CREATE TABLE ABC (A INTEGER NOT NULL, B INTEGER NOT NULL, C INTEGER NOT NULL, QUANTITY "
                "INTEGER)");
        Commit();
        ExecSQL("INSERT INTO ABC VALUES (1, 2, 3, 10)");
        Commit();
    }
};

const char* const AbcOrders = "1;A\r\n2;A, B\r\n3;A, B, C\r\n4;A DESC, B";
const char* const Abc = "SELECT A, B, C FROM ABC";
const char* const AbcWhere = "SELECT A, B, C FROM ABC WHERE QUANTITY > 5";

struct TKeysetCase {
    int OrderItemId;
    bool Ascending;
    int Count;
    const char* Source;
    const char* Where; // the WHERE clause expected; nullptr: the text stays as it was
    bool Equal = false; // the rows equal to the position (an exact key search)
};

} // namespace

TEST_F(SelectTextTest, TheKeysetConditionSelectsTheRowsFromThePositionOn) {
    const TKeysetCase cases[] = {
        {1, true, -1, Abc, "(A >= :_LOCATE1)"},
        {1, false, -1, Abc, "(A <= :_LOCATE1)"},
        {2, true, -1, Abc, "((A = :_LOCATE1 AND B >= :_LOCATE2) OR (A > :_LOCATE1))"},
        {2, false, -1, Abc, "((A = :_LOCATE1 AND B <= :_LOCATE2) OR (A < :_LOCATE1))"},
        {3, true, -1, Abc,
         "((A = :_LOCATE1 AND B = :_LOCATE2 AND C >= :_LOCATE3) OR (A = :_LOCATE1 AND B > :_LOCATE2) OR (A > "
         ":_LOCATE1))"},
        {3, false, -1, Abc,
         "((A = :_LOCATE1 AND B = :_LOCATE2 AND C <= :_LOCATE3) OR (A = :_LOCATE1 AND B < :_LOCATE2) OR (A < "
         ":_LOCATE1))"},
        {3, true, 2, Abc, "((A = :_LOCATE1 AND B >= :_LOCATE2) OR (A > :_LOCATE1))"},
        {3, true, 1, Abc, "(A >= :_LOCATE1)"},
        // Directions as written: a descending column compares the other way.
        {4, true, 2, Abc, "((A = :_LOCATE1 AND B >= :_LOCATE2) OR (A < :_LOCATE1))"},
        {4, false, -1, Abc, "((A = :_LOCATE1 AND B <= :_LOCATE2) OR (A > :_LOCATE1))"},
        // A negative order item reads its order inverted.
        {-1, true, -1, Abc, "(A <= :_LOCATE1)"},
        {-4, true, -1, Abc, "((A = :_LOCATE1 AND B <= :_LOCATE2) OR (A > :_LOCATE1))"},
        // The select's own condition is kept, after the keyset condition.
        {1, true, -1, AbcWhere, "(A >= :_LOCATE1) AND (QUANTITY > 5)"},
        {2, false, -1, AbcWhere,
         "((A = :_LOCATE1 AND B <= :_LOCATE2) OR (A < :_LOCATE1)) AND (QUANTITY > 5)"},
        // No columns: no condition at all.
        {3, true, 0, AbcWhere, nullptr},
        {3, true, 0, Abc, nullptr},
        // Equal: every column compares with "=", whatever its direction.
        {3, true, 2, Abc, "(A = :_LOCATE1 AND B = :_LOCATE2)", true},
        {4, true, -1, Abc, "(A = :_LOCATE1 AND B = :_LOCATE2)", true},
        {1, true, -1, AbcWhere, "(A = :_LOCATE1) AND (QUANTITY > 5)", true},
    };
    Use(Abc);
    DS->GetOrderItems()->SetText(AbcOrders);
    DS->SetKeyColumns("A");
    DS->Open();
    for (const TKeysetCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "item " << c.OrderItemId << (c.Ascending ? " forward" : " backward") << " count "
                     << c.Count << (c.Equal ? " equal" : "") << " on " << c.Source);
        DS->SetOrderItemId(c.OrderItemId);
        AnsiString text = c.Source;
        DS->ModifySelectQueryWhereForLocate(text, c.Ascending, c.Count, c.Equal);
        AnsiString expected =
            c.Where ? AnsiString("SELECT A, B, C\r\nFROM ABC\r\nWHERE ") + c.Where : c.Source;
        EXPECT_EQ(text, expected);
    }
    // More columns than the order has: code 20, and the text is left alone.
    DS->SetOrderItemId(1);
    AnsiString text = Abc;
    EXPECT_RV_ERROR(DS->ModifySelectQueryWhereForLocate(text, true, 2), rveInvalidSortColCount);
    EXPECT_EQ(text, Abc);
}

TEST_F(SelectTextTest, TheOrderByIsTheChosenOrderOrItsInversion) {
    struct {
        int OrderItemId;
        bool Ascending;
        const char* Text;
    } cases[] = {
        {4, true, "SELECT A, B, C\r\nFROM ABC\r\nORDER BY A DESC, B ASC"},
        {4, false, "SELECT A, B, C\r\nFROM ABC\r\nORDER BY A ASC, B DESC"},
        {-4, true, "SELECT A, B, C\r\nFROM ABC\r\nORDER BY A ASC, B DESC"},
        {3, true, "SELECT A, B, C\r\nFROM ABC\r\nORDER BY A ASC, B ASC, C ASC"},
        // The select has no ORDER BY of its own: its key columns are the order.
        {0, true, "SELECT A, B, C\r\nFROM ABC\r\nORDER BY A ASC"},
        {0, false, "SELECT A, B, C\r\nFROM ABC\r\nORDER BY A DESC"},
    };
    Use(Abc);
    DS->GetOrderItems()->SetText(AbcOrders);
    DS->SetKeyColumns("A");
    DS->Open();
    for (const auto& c : cases) {
        DS->SetOrderItemId(c.OrderItemId);
        AnsiString text = "SELECT A, B, C FROM ABC ORDER BY C";
        DS->ModifySelectQueryOrderBy(text, c.Ascending);
        EXPECT_EQ(text, c.Text) << "item " << c.OrderItemId;
    }
}

TEST_F(SelectTextTest, TheCursorsOfTheFourModesReadAsTheirTextsSay) {
    Use("SELECT * FROM ITEM");
    DS->SetKeyColumns("ID");
    DS->GetOrderItems()->SetText("1;ID\r\n2;DESCRIPTION");
    DS->SetOrderItemId(1);
    DS->Open();
    struct {
        int OrderItemId;
        int Mode;
        const char* Text;
    } cases[] = {
        {1, 1, "SELECT *\r\nFROM ITEM\r\nORDER BY ID ASC\r\n"},
        {1, 2, "SELECT *\r\nFROM ITEM\r\nWHERE (ID >= :_LOCATE1)\r\nORDER BY ID ASC\r\n"},
        {1, 3, "SELECT *\r\nFROM ITEM\r\nORDER BY ID DESC\r\n"},
        {1, 4, "SELECT *\r\nFROM ITEM\r\nWHERE (ID <= :_LOCATE1)\r\nORDER BY ID DESC\r\n"},
        {2, 2, "SELECT *\r\nFROM ITEM\r\nWHERE (DESCRIPTION >= :_LOCATE1)\r\nORDER BY DESCRIPTION ASC\r\n"},
        {-2, 2, "SELECT *\r\nFROM ITEM\r\nWHERE (DESCRIPTION <= :_LOCATE1)\r\nORDER BY DESCRIPTION DESC\r\n"},
        {-2, 4, "SELECT *\r\nFROM ITEM\r\nWHERE (DESCRIPTION >= :_LOCATE1)\r\nORDER BY DESCRIPTION ASC\r\n"},
    };
    for (const auto& c : cases) {
        DS->SetOrderItemId(c.OrderItemId);
        TIBSQL* q = c.Mode <= 2 ? DS->Forward() : DS->Backward();
        if (c.Mode <= 2)
            DS->InternalPrepareSelectQueryFwd(c.Mode, -1);
        else
            DS->InternalPrepareSelectQueryBwd(c.Mode);
        EXPECT_TRUE(q->GetPrepared());
        EXPECT_EQ(q->GetSQL()->GetText(), c.Text) << "item " << c.OrderItemId << " mode " << c.Mode;
    }
    DS->Close();

    // The example of four lines: a select list of its own and the order DESCRIPTION.
    Use("SELECT ID, DESCRIPTION FROM ITEM");
    DS->SetKeyColumns("ID");
    DS->GetOrderItems()->SetText("2;DESCRIPTION");
    DS->SetOrderItemId(2);
    DS->Open();
    DS->InternalPrepareSelectQueryFwd(2, -1);
    EXPECT_EQ(
        DS->Forward()->GetSQL()->GetText(),
        "SELECT ID, DESCRIPTION\r\nFROM ITEM\r\nWHERE (DESCRIPTION >= :_LOCATE1)\r\nORDER BY DESCRIPTION "
        "ASC\r\n");
}

// The cursor texts are kept between re-opens: each must still follow every
// change of what it is built from, whatever texts were built before.
TEST_F(SelectTextTest, AKeptCursorTextFollowsEveryChangeOfItsInputs) {
    Use(Abc);
    DS->GetOrderItems()->SetText(AbcOrders);
    DS->SetKeyColumns("A");
    DS->SetOrderItemId(3);
    DS->Open();
    const char* const full =
        "((A = :_LOCATE1 AND B = :_LOCATE2 AND C >= :_LOCATE3) OR (A = :_LOCATE1 AND B > "
        ":_LOCATE2) OR (A > :_LOCATE1))";
    struct {
        const char* Change;
        std::function<void()> Apply;
        int Mode;
        int Count;
        const char* Text; // the WHERE and ORDER BY lines
    } steps[] = {
        {"first build", [] {}, 2, -1, full},
        {"fewer columns", [] {}, 2, 1, "WHERE (A >= :_LOCATE1)\r\nORDER BY A ASC, B ASC, C ASC"},
        {"all columns again", [] {}, 2, -1, full},
        {"other mode", [] {}, 1, -1, "FROM ABC\r\nORDER BY A ASC, B ASC, C ASC"},
        {"condition", [this] { DS->SetWhereClause("QUANTITY > 5"); }, 2, 1,
         "WHERE (A >= :_LOCATE1) AND (QUANTITY > 5)\r\nORDER BY A ASC, B ASC, C ASC"},
        {"order item", [this] { DS->SetOrderItemId(2); }, 2, -1,
         "WHERE ((A = :_LOCATE1 AND B >= :_LOCATE2) OR (A > :_LOCATE1)) AND (QUANTITY > 5)\r\nORDER BY A "
         "ASC, B ASC"},
        {"inverted", [this] { DS->SetOrderItemId(-2); }, 2, -1,
         "WHERE ((A = :_LOCATE1 AND B <= :_LOCATE2) OR (A < :_LOCATE1)) AND (QUANTITY > 5)\r\nORDER BY A "
         "DESC, B "
         "DESC"},
        {"item rewritten",
         [this] {
             DS->Close();
             DS->GetOrderItems()->SetText("2;A DESC, C");
             DS->Open();
         },
         2, -1,
         "WHERE ((A = :_LOCATE1 AND C <= :_LOCATE2) OR (A > :_LOCATE1)) AND (QUANTITY > 5)\r\nORDER BY A "
         "ASC, C "
         "DESC"},
        {"nullable column",
         [this] {
             DS->Close();
             Use("SELECT A, QUANTITY FROM ABC");
             DS->GetOrderItems()->SetText("1;QUANTITY, A");
             DS->SetOrderItemId(1);
             DS->Open();
         },
         2, 1, "WHERE ((QUANTITY >= :_LOCATE1 OR :_LOCATE1 IS NULL))\r\nORDER BY QUANTITY ASC, A ASC"},
    };
    for (const auto& s : steps) {
        s.Apply();
        DS->InternalPrepareSelectQueryFwd(0, -1);
        DS->InternalPrepareSelectQueryFwd(s.Mode, s.Count);
        EXPECT_THAT(DS->Forward()->GetSQL()->GetText(), testing::HasSubstr(s.Text)) << s.Change;
    }
}

TEST_F(SelectTextTest, OnlyNullableSortColumnsGainTheTermsThatPlaceNull) {
    Use("SELECT ID, QUANTITY, PRICE, DESCRIPTION FROM ITEM");
    DS->SetKeyColumns("ID");
    DS->GetOrderItems()->SetText("1;QUANTITY, ID\r\n2;PRICE\r\n3;DESCRIPTION, QUANTITY DESC");
    DS->Open();
    struct {
        int OrderItemId;
        bool Ascending;
        int Count;
        const char* Where;
    } cases[] = {
        {1, true, -1,
         "(((QUANTITY = :_LOCATE1 OR (QUANTITY IS NULL AND :_LOCATE1 IS NULL)) AND ID >= :_LOCATE2) OR "
         "((QUANTITY > :_LOCATE1 OR (QUANTITY IS NOT NULL AND :_LOCATE1 IS NULL))))"},
        {1, false, -1,
         "(((QUANTITY = :_LOCATE1 OR (QUANTITY IS NULL AND :_LOCATE1 IS NULL)) AND ID <= :_LOCATE2) OR "
         "((QUANTITY < :_LOCATE1 OR (QUANTITY IS NULL AND :_LOCATE1 IS NOT NULL))))"},
        // PRICE alone is followed by the key; its own terms show with one column.
        {2, true, 1, "((PRICE >= :_LOCATE1 OR :_LOCATE1 IS NULL))"},
        {2, false, 1, "((PRICE <= :_LOCATE1 OR PRICE IS NULL))"},
        {3, true, -1,
         "((DESCRIPTION = :_LOCATE1 AND (QUANTITY <= :_LOCATE2 OR QUANTITY IS NULL)) OR (DESCRIPTION > "
         ":_LOCATE1))"},
    };
    for (const auto& c : cases) {
        DS->SetOrderItemId(c.OrderItemId);
        AnsiString text = "SELECT ID FROM ITEM";
        DS->ModifySelectQueryWhereForLocate(text, c.Ascending, c.Count);
        EXPECT_EQ(text, AnsiString("SELECT ID\r\nFROM ITEM\r\nWHERE ") + c.Where)
            << "item " << c.OrderItemId << (c.Ascending ? " forward" : " backward");
    }
}

TEST_F(SelectTextTest, AnOrderThatMayTieIsFollowedByTheKeyColumnsItLacks) {
    ExecSQL("CREATE TABLE TIES (K1 INTEGER NOT NULL, K2 INTEGER NOT NULL, U INTEGER NOT NULL, N INTEGER,"
            " I INTEGER NOT NULL, P INTEGER NOT NULL, Q INTEGER NOT NULL)");
    ExecSQL("CREATE UNIQUE INDEX TIES_U ON TIES (U)");
    ExecSQL("CREATE UNIQUE INDEX TIES_N ON TIES (N)");
    ExecSQL("CREATE UNIQUE INDEX TIES_I ON TIES (I)");
    ExecSQL("CREATE UNIQUE INDEX TIES_PQ ON TIES (P, Q)");
    Commit();
    ExecSQL("ALTER INDEX TIES_I INACTIVE");
    Commit();
    struct {
        const char* OrderBy;
        const char* Forward; // the forward cursor's ORDER BY
    } cases[] = {
        // Known unique: a unique index over NOT NULL columns, or every key column.
        {"U", "U ASC"},
        {"U DESC, N", "U DESC, N ASC"},
        {"Q DESC, P", "Q DESC, P ASC"},
        {"K2 DESC, K1", "K2 DESC, K1 ASC"},
        // Else the key columns the order lacks follow it.
        {"N", "N ASC, K1 ASC, K2 ASC"},      // NULL may stand in a unique index many times
        {"I", "I ASC, K1 ASC, K2 ASC"},      // an inactive index does not hold
        {"P", "P ASC, K1 ASC, K2 ASC"},      // part of a unique index
        {"K2 DESC, N", "K2 DESC, N ASC, K1 ASC"},
        {"TIES.N", "TIES.N ASC, K1 ASC, K2 ASC"},
    };
    Use("SELECT K1, K2, U, N, I, P, Q FROM TIES");
    DS->SetKeyColumns("K1,K2");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.OrderBy);
        DS->GetOrderItems()->SetText(AnsiString("1;") + c.OrderBy);
        DS->SetOrderItemId(1);
        DS->Open();
        AnsiString text = "SELECT K1 FROM TIES";
        DS->ModifySelectQueryOrderBy(text, true);
        EXPECT_EQ(text, AnsiString("SELECT K1\r\nFROM TIES\r\nORDER BY ") + c.Forward);
        DS->Close();
        EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), DS->GetOrderItems()->GetItem(0)->GetOrderBy() + " ASC")
            << "closed, the order reads as written";
        DS->SetOrderItemId(0);
    }

    // Both cursors and both directions read the one total order; the
    // keyset condition of the cursors covers it, a count the columns as written.
    DS->GetOrderItems()->SetText("1;P");
    DS->SetOrderItemId(-1);
    DS->Open();
    AnsiString text = "SELECT K1 FROM TIES";
    DS->ModifySelectQueryOrderBy(text, true);
    EXPECT_EQ(text, "SELECT K1\r\nFROM TIES\r\nORDER BY P DESC, K1 DESC, K2 DESC");
    text = "SELECT K1 FROM TIES";
    DS->ModifySelectQueryOrderBy(text, false);
    EXPECT_EQ(text, "SELECT K1\r\nFROM TIES\r\nORDER BY P ASC, K1 ASC, K2 ASC");
    text = "SELECT K1 FROM TIES";
    DS->ModifySelectQueryWhereForLocate(text, true, -1);
    EXPECT_EQ(text, "SELECT K1\r\nFROM TIES\r\nWHERE ((P = :_LOCATE1 AND K1 = :_LOCATE2 AND K2 <= :_LOCATE3) OR "
                    "(P = :_LOCATE1 AND K1 < :_LOCATE2) OR (P < :_LOCATE1))");
    text = "SELECT K1 FROM TIES";
    DS->ModifySelectQueryWhereForLocate(text, true, 1);
    EXPECT_EQ(text, "SELECT K1\r\nFROM TIES\r\nWHERE (P <= :_LOCATE1)");
    text = "SELECT K1 FROM TIES";
    EXPECT_RV_ERROR(DS->ModifySelectQueryWhereForLocate(text, true, 2), rveInvalidSortColCount);
    // Another order chosen while open is made total at once; none at all is the key's.
    DS->SetOrderItemId(0);
    text = "SELECT K1 FROM TIES";
    DS->ModifySelectQueryOrderBy(text, true);
    EXPECT_EQ(text, "SELECT K1\r\nFROM TIES\r\nORDER BY K1 ASC, K2 ASC");
    text = "SELECT K1 FROM TIES";
    DS->ModifySelectQueryWhereForLocate(text, false, -1);
    EXPECT_EQ(text,
              "SELECT K1\r\nFROM TIES\r\nWHERE ((K1 = :_LOCATE1 AND K2 <= :_LOCATE2) OR (K1 < :_LOCATE1))");
    DS->SetOrderItemId(1);
    text = "SELECT K1 FROM TIES";
    DS->ModifySelectQueryOrderBy(text, true);
    EXPECT_EQ(text, "SELECT K1\r\nFROM TIES\r\nORDER BY P ASC, K1 ASC, K2 ASC");
    DS->SetOrderItemId(0);
    DS->Close();
    EXPECT_EQ(DS->OrderFwd()->GetCount(), 0) << "closed, no order as written";
}

TEST_F(SelectTextTest, TheRefreshStatementReadsOneRowByKeyUnderTheSelectsOwnCondition) {
    struct {
        const char* Select;
        const char* Keys;
        const char* Text;
    } cases[] = {
        {"SELECT ID, DESCRIPTION, QUANTITY, PRICE FROM ITEM WHERE QUANTITY > 5 ORDER BY ID", "ID",
         "SELECT ID, DESCRIPTION, QUANTITY, PRICE\r\nFROM ITEM\r\nWHERE (ID = :_LOCATE1) AND (QUANTITY > "
         "5)\r\n"},
        {"SELECT A, B, C FROM ABC", "A,B",
         "SELECT A, B, C\r\nFROM ABC\r\nWHERE A = :_LOCATE1 AND B = :_LOCATE2\r\n"},
        // A grouped select keeps its GROUP BY and HAVING: its rows are groups.
        {"SELECT QUANTITY, COUNT(*) AS N FROM ITEM GROUP BY QUANTITY HAVING COUNT(*) > 1 ORDER BY N",
         "QUANTITY",
         "SELECT QUANTITY, COUNT (*) AS N\r\nFROM ITEM\r\nWHERE QUANTITY = :_LOCATE1\r\nGROUP BY "
         "QUANTITY\r\nHAVING COUNT (*) > 1\r\n"},
        {"SELECT I.ID, I.QUANTITY FROM ITEM I WHERE I.QUANTITY > :MINQTY GROUP BY I.ID, I.QUANTITY", "I.ID",
         "SELECT I.ID, I.QUANTITY\r\nFROM ITEM I\r\nWHERE (I.ID = :_LOCATE1) AND (I.QUANTITY > "
         ":MINQTY)\r\nGROUP BY I.ID, I.QUANTITY\r\n"},
    };
    for (const auto& c : cases) {
        Use(c.Select);
        DS->SetKeyColumns(c.Keys);
        DS->Open();
        DS->InternalPrepareRefreshQuery();
        EXPECT_EQ(DS->Refresh()->GetSQL()->GetText(), c.Text);
        isc_stmt_handle handle = DS->Refresh()->GetHandle();
        DS->InternalPrepareRefreshQuery(); // prepared once
        EXPECT_EQ(DS->Refresh()->GetHandle(), handle);
        DS->Close();
    }
    // The user's parameter stands beside the position parameter and is copied from the select.
    DS->Open();
    DS->GetParams()->ByName("MINQTY")->SetAsLong(1);
    {
        TScopedBuffer key(*DS);
        DS->InternalInitRecord(key);
        PFieldHdr id = DS->Hdr(key, 0);
        int four = 4;
        std::memcpy(key + id.GetOffset(), &four, sizeof four);
        id.SetIsNull(false);
        ASSERT_TRUE(DS->InternalGetRecordFromBuf(key, key));
        EXPECT_EQ(DS->Refresh()->GetSQLParams()->GetNames(), "_LOCATE1\r\nMINQTY\r\n");
        DS->GetParams()->ByName("MINQTY")->SetAsLong(20); // 12.34 is not above 20
        EXPECT_FALSE(DS->InternalGetRecordFromBuf(key, key));
    }
    DS->Close();

    Use("SELECT ID FROM ITEM");
    DS->Open();
    EXPECT_RV_ERROR(DS->InternalPrepareRefreshQuery(), rveKeyColumnsMissing);
}

TEST_F(SelectTextTest, TheKeysetConditionComparesWhatTheSelectListNamesAndGroupsInHaving) {
    struct {
        const char* Select;
        const char* Keys;
        const char* Order;
        const char* Text; // the forward cursor from the position
    } cases[] = {
        // ORDER BY knows the select list's names, a condition only the expressions.
        {"SELECT ID, PRICE * 2 AS TOTAL FROM ITEM", "ID", "TOTAL DESC",
         "SELECT ID, PRICE * 2 AS TOTAL\r\nFROM ITEM\r\nWHERE ((((PRICE * 2) = :_LOCATE1 OR ((PRICE * 2) IS "
         "NULL AND :_LOCATE1 IS NULL)) AND ID >= :_LOCATE2) OR (((PRICE * 2) < :_LOCATE1 OR ((PRICE * 2) IS "
         "NULL AND :_LOCATE1 IS NOT NULL))))\r\nORDER BY TOTAL DESC, ID ASC\r\n"},
        {"SELECT DISTINCT ID K, CAST(ID AS VARCHAR(9)) || DESCRIPTION LABEL, ID FROM ITEM", "ID", "K, LABEL",
         "SELECT DISTINCT ID K, CAST (ID AS VARCHAR (9)) || DESCRIPTION LABEL, ID\r\nFROM ITEM\r\nWHERE "
         "(((ID) = :_LOCATE1 AND (CAST (ID AS VARCHAR (9)) || DESCRIPTION) >= :_LOCATE2) OR ((ID) > "
         ":_LOCATE1))\r\nORDER BY K ASC, LABEL ASC\r\n"},
        // The rows of a grouped select are groups: the condition goes into HAVING, with the select's own.
        {"SELECT QUANTITY, COUNT(*) AS N FROM ITEM WHERE ID > 0 GROUP BY QUANTITY HAVING COUNT(*) > 0",
         "QUANTITY", "N",
         "SELECT QUANTITY, COUNT (*) AS N\r\nFROM ITEM\r\nWHERE ID > 0\r\nGROUP BY QUANTITY\r\nHAVING "
         "(((COUNT (*)) = :_LOCATE1 AND (QUANTITY >= :_LOCATE2 OR :_LOCATE2 IS NULL)) OR ((COUNT (*)) > "
         ":_LOCATE1)) AND (COUNT (*) > 0)\r\nORDER BY N ASC, QUANTITY ASC\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Select);
        Use(c.Select);
        DS->SetKeyColumns(c.Keys);
        DS->GetOrderItems()->SetText(AnsiString("1;") + c.Order);
        DS->SetOrderItemId(1);
        DS->Open();
        DS->InternalPrepareSelectQueryFwd(2, -1); // the engine takes it
        EXPECT_EQ(DS->Forward()->GetSQL()->GetText(), c.Text);
        DS->Close();
    }
}

TEST_F(SelectTextTest, TheWhereClauseIsReadAndReplacedWithoutTheSelectSQLEvents) {
    Use("SELECT * FROM ITEM");
    int changes = 0;
    TNotifyEvent counted = [&changes](TObject*) { ++changes; };
    static_cast<TIBRVSQLText*>(DS->GetSelectSQL())->OnChange = counted;
    EXPECT_EQ(DS->GetWhereClause(), "");
    DS->SetWhereClause("QUANTITY > 5");
    EXPECT_EQ(DS->GetSelectSQL()->GetText(), "SELECT *\r\nFROM ITEM\r\nWHERE QUANTITY > 5\r\n");
    EXPECT_EQ(DS->GetWhereClause(), "QUANTITY > 5");
    DS->SetWhereClause("WHERE QUANTITY > 5"); // the keyword may lead
    EXPECT_EQ(DS->GetWhereClause(), "QUANTITY > 5");
    DS->SetWhereClause("");
    EXPECT_EQ(DS->GetSelectSQL()->GetText(), "SELECT *\r\nFROM ITEM\r\n");
    EXPECT_EQ(changes, 0);

    // While open: allowed, the cursors are rebuilt, and a refresh shows the rows.
    DS->SetKeyColumns("ID");
    DS->GetOrderItems()->SetText("1;ID");
    DS->SetOrderItemId(1);
    DS->Open();
    TField* id = DS->FieldByName("ID");
    EXPECT_EQ(id->GetAsInteger(), 1);
    DS->SetWhereClause("ID > 2");
    EXPECT_EQ(DS->FwdMode(), 0);
    EXPECT_TRUE(DS->GetInternalPrepared());
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "ID ASC");
    DS->RefreshRows();
    EXPECT_EQ(id->GetAsInteger(), 3);
    // The clause it already has: nothing is unprepared.
    isc_stmt_handle handle = DS->Select()->GetHandle();
    int mode = DS->FwdMode();
    DS->SetWhereClause("ID > 2");
    EXPECT_EQ(DS->Select()->GetHandle(), handle);
    EXPECT_EQ(DS->FwdMode(), mode);
    // A condition the server refuses: the error, and the old condition stays in force.
    EXPECT_THROW(DS->SetWhereClause("NOSUCHCOLUMN > 1"), EIBError);
    EXPECT_EQ(DS->GetWhereClause(), "ID > 2");
    EXPECT_TRUE(DS->GetInternalPrepared());
    DS->First();
    EXPECT_EQ(id->GetAsInteger(), 3);
    DS->Next();
    EXPECT_EQ(id->GetAsInteger(), 4);
    EXPECT_EQ(changes, 0);
}
