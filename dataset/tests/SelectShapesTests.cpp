// Statements as users write them into SelectSQL (a table alias with AS, a
// quoted table, an order by the name of an expression, GROUP BY with HAVING,
// DISTINCT, a join, PLAN, FOR UPDATE): each is scrolled in a grid's window
// through open, Last, page moves both ways, turns and a refresh, against the
// engine's own reading of the same rows, and edited where it has a main
// table. The statements the dataset refuses at open are in ComponentTests.
#include "RowvaneFixture.h"

#include <algorithm>
#include <vector>

namespace {

struct TShape {
    const char* Select;
    const char* Keys;
    const char* Order;          // the order item; nullptr: none (the key columns order then)
    const char* Engine;         // the same rows in the same order, first column first
    const char* Edit = nullptr; // a field to edit, and the engine's text of it by the row's ID
    const char* EditedText = nullptr;
};

class SelectShapesTest : public RowvaneTest {
protected:
    void SetUp() override {
        RowvaneTest::SetUp();
        ExecSQL("CREATE TABLE \"Item\" (ID INTEGER NOT NULL PRIMARY KEY, QTY INTEGER, NAME VARCHAR(20))");
        Commit();
        // ITEM: DESCRIPTION unique and scattered, QUANTITY repeating, PRICE unique but NULL once.
        ExecSQL("DELETE FROM ITEM");
        ExecSQL("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 60) DO BEGIN"
                " INSERT INTO ITEM (ID, DESCRIPTION, QUANTITY, PRICE) VALUES (:I,"
                " 'D' || LPAD(CAST(MOD(:I * 17, 61) AS VARCHAR(2)), 2, '0'), MOD(:I, 5),"
                " IIF(:I = 13, NULL, :I * 1.25));"
                " INSERT INTO \"Item\" VALUES (:I, MOD(:I, 17), 'N' || :I); I = I + 1; END END");
        Commit();
    }

    // Open, the ends, every page both ways, turns, a refresh and an edit.
    void Walk(const TShape& Shape);

    AnsiString EngineText(const AnsiString& Select) {
        TIBSQL* q = NewSQL(Select);
        q->ExecQuery();
        AnsiString text = q->GetEOF() ? AnsiString("none") : q->GetFields(0)->GetAsString();
        q->Close();
        return text;
    }
};

std::vector<int> Slice(const std::vector<int>& Rows, size_t Top) {
    Top = std::min(Top, Rows.size() > 7 ? Rows.size() - 7 : 0);
    return std::vector<int>(Rows.begin() + static_cast<long>(Top),
                            Rows.begin() + static_cast<long>(std::min(Rows.size(), Top + 7)));
}

void SelectShapesTest::Walk(const TShape& Shape) {
    Use(Shape.Select);
    DS->SetKeyColumns(Shape.Keys);
    if (Shape.Order) {
        DS->GetOrderItems()->SetText(AnsiString("1;") + Shape.Order);
        DS->SetOrderItemId(1);
    }
    TDataSource source(nullptr);
    source.SetDataSet(DS.get());
    TGridLink grid(7);
    grid.SetDataSource(&source);
    DS->Open();
    std::vector<int> expected = EngineColumn(Shape.Engine);
    AnsiString first = DS->GetFields()->GetField(0)->GetFieldName();
    ASSERT_GT(expected.size(), 14u);
    size_t last = expected.size() - 7;

    EXPECT_EQ(grid.Window(first), Slice(expected, 0));
    DS->Last();
    EXPECT_EQ(grid.Window(first), Slice(expected, last));
    for (size_t top = last; top > 0;) {
        grid.PageUp();
        top = top >= 7 ? top - 7 : 0;
        ASSERT_EQ(grid.Window(first), Slice(expected, top)) << "page up to " << top;
    }
    for (size_t top = 0; top < last;) {
        grid.PageDown();
        top = std::min(top + 7, last);
        ASSERT_EQ(grid.Window(first), Slice(expected, top)) << "page down to " << top;
    }
    DS->First();
    size_t at = 0;
    for (int step : {10, -4, 3, -8, 11}) {
        DS->MoveBy(step);
        at = static_cast<size_t>(static_cast<long>(at) + step);
        ASSERT_EQ(DS->FieldByName(first)->GetAsInteger(), expected[at]) << "moved by " << step;
    }
    std::vector<int> window = grid.Window(first);
    DS->RefreshRows();
    EXPECT_EQ(grid.Window(first), window);
    EXPECT_EQ(DS->FieldByName(first)->GetAsInteger(), expected[at]);

    if (Shape.Edit) {
        DS->Edit(); // every first column here is the row's ID
        DS->FieldByName(Shape.Edit)->SetAsString("7.5");
        DS->Post();
        EXPECT_EQ(DS->FieldByName(first)->GetAsInteger(), expected[at]);
        EXPECT_EQ(EngineText(Shape.EditedText + IntToStr(expected[at])),
                  Shape.Edit == AnsiString("PRICE") ? "7.50" : "7.5");
    }
}

} // namespace

TEST_F(SelectShapesTest, EachStatementScrollsBothWaysRefreshesAndPostsAsTheEngineReadsIt) {
    const TShape cases[] = {
        {"SELECT * FROM ITEM AS X", "X.ID", "X.QUANTITY", "SELECT ID FROM ITEM ORDER BY QUANTITY, ID",
         "DESCRIPTION", "SELECT DESCRIPTION FROM ITEM WHERE ID = "},
        {"SELECT * FROM ITEM AS X", "ID", nullptr, "SELECT ID FROM ITEM ORDER BY ID", "PRICE",
         "SELECT CAST(PRICE AS VARCHAR(20)) FROM ITEM WHERE ID = "},
        {"SELECT * FROM \"Item\" x", "X.ID", "X.QTY DESC", "SELECT ID FROM \"Item\" ORDER BY QTY DESC, ID",
         "NAME", "SELECT NAME FROM \"Item\" WHERE ID = "},
        {"SELECT I.ID, I.DESCRIPTION, T.QTY FROM ITEM AS I JOIN \"Item\" AS T ON T.ID = I.ID", "I.ID",
         "T.QTY, I.DESCRIPTION",
         "SELECT I.ID FROM ITEM I JOIN \"Item\" T ON T.ID = I.ID ORDER BY T.QTY, I.DESCRIPTION, I.ID",
         "DESCRIPTION", "SELECT DESCRIPTION FROM ITEM WHERE ID = "},
        // Orders by the names the select list gives, NULL among the values.
        {"SELECT ID, DESCRIPTION, PRICE * 2 AS TOTAL FROM ITEM", "ID", "TOTAL DESC",
         "SELECT ID FROM ITEM ORDER BY PRICE * 2 DESC, ID", "DESCRIPTION",
         "SELECT DESCRIPTION FROM ITEM WHERE ID = "},
        {"SELECT ID AS K, DESCRIPTION FROM ITEM", "ID", "K DESC", "SELECT ID FROM ITEM ORDER BY ID DESC",
         "DESCRIPTION", "SELECT DESCRIPTION FROM ITEM WHERE ID = "},
        // Groups: read, ordered and re-read as groups.
        {"SELECT QTY, COUNT(*) AS N, MAX(ID) AS TOP FROM \"Item\" GROUP BY QTY", "QTY", nullptr,
         "SELECT QTY FROM \"Item\" GROUP BY QTY ORDER BY QTY"},
        {"SELECT QTY, COUNT(*) AS N FROM \"Item\" WHERE ID > 2 GROUP BY QTY HAVING COUNT(*) > 1", "QTY",
         "N DESC",
         "SELECT QTY FROM \"Item\" WHERE ID > 2 GROUP BY QTY HAVING COUNT(*) > 1 ORDER BY COUNT(*) DESC, "
         "QTY"},
        {"SELECT DISTINCT QTY FROM \"Item\"", "QTY", nullptr,
         "SELECT DISTINCT QTY FROM \"Item\" ORDER BY QTY"},
        // Clauses the cursors keep as written.
        {"SELECT * FROM ITEM PLAN (ITEM NATURAL)", "ID", "DESCRIPTION DESC",
         "SELECT ID FROM ITEM ORDER BY DESCRIPTION DESC", "PRICE",
         "SELECT CAST(PRICE AS VARCHAR(20)) FROM ITEM WHERE ID = "},
        {"SELECT * FROM ITEM FOR UPDATE WITH LOCK", "ID", "PRICE", "SELECT ID FROM ITEM ORDER BY PRICE, ID",
         "DESCRIPTION", "SELECT DESCRIPTION FROM ITEM WHERE ID = "},
        {"SELECT I.* FROM ITEM I WHERE I.QUANTITY > 1", "I.ID", nullptr,
         "SELECT ID FROM ITEM WHERE QUANTITY > 1 ORDER BY ID", "DESCRIPTION",
         "SELECT DESCRIPTION FROM ITEM WHERE ID = "},
    };
    for (const TShape& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Select << " by " << (c.Order ? c.Order : "the key"));
        try {
            Walk(c);
        } catch (const Exception& e) {
            ADD_FAILURE() << e.Message();
        }
        DS.reset();
        if (Tr->GetInTransaction()) Tr->Rollback(); // the edit goes
    }
}
