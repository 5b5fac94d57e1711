// The dataset component against the real engine: construction, property
// rules while open and closed, open and close, field definitions of joined,
// computed and expression columns, the order items and their events,
// following database and transaction, and registration.
#include "RowvaneFixture.h"

#include "FormReader.h"
#include "IBRowvaneKVReg.h"

#include <gmock/gmock.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using testing::ElementsAre;

std::vector<std::string> Names(const TFieldDefs& Defs) {
    std::vector<std::string> names;
    for (int i = 0; i < Defs.GetCount(); ++i)
        names.push_back(Defs.GetItem(i)->GetName());
    return names;
}

} // namespace

TEST_F(RowvaneTest, AFreshDatasetIsClosedWithItsDefaultsAndFourUnpreparedStatements) {
    TTestRowvane ds(nullptr);
    EXPECT_FALSE(ds.GetActive());
    EXPECT_FALSE(ds.CursorIsOpen());
    EXPECT_FALSE(ds.GetReadOnly());
    EXPECT_FALSE(ds.GetPessimisticLocking());
    EXPECT_FALSE(ds.GetRefreshBeforeEdit());
    EXPECT_EQ(ds.GetOrderItemId(), 0);
    EXPECT_EQ(ds.GetMainTable(), "");
    EXPECT_EQ(ds.GetKeyColumns(), "");
    EXPECT_EQ(ds.ColumnCount(), -1);
    EXPECT_EQ(ds.FieldDataSize(), -1);
    EXPECT_EQ(ds.ModelBuffer(), nullptr);
    EXPECT_EQ(ds.KeyBuffer(), nullptr);
    EXPECT_EQ(ds.BlobStreams(), nullptr);
    EXPECT_EQ(ds.GetDatabase(), nullptr);
    EXPECT_EQ(ds.GetTransaction(), nullptr);
    EXPECT_EQ(ds.GetSQLDialect(), 1);
    EXPECT_FALSE(ds.IsSequenced());
    EXPECT_TRUE(ds.GetAutoCalcFields());
    EXPECT_EQ(ds.GetComponentCount(), 4);
    for (TIBSQL* q : {ds.Select(), ds.Forward(), ds.Backward(), ds.Refresh()}) {
        EXPECT_EQ(q->GetOwner(), &ds);
        EXPECT_EQ(q->GetHandle(), 0u);
    }
    EXPECT_FALSE(ds.Forward()->GetGoToFirstRecordOnExecute());
    EXPECT_FALSE(ds.Backward()->GetGoToFirstRecordOnExecute());
    EXPECT_TRUE(ds.Select()->GetGoToFirstRecordOnExecute());
    EXPECT_TRUE(ds.Refresh()->GetGoToFirstRecordOnExecute());
    // The select text is the main statement's.
    ds.GetSelectSQL()->SetText("SELECT ID FROM ITEM");
    EXPECT_EQ(ds.Select()->GetSQL()->GetText(), "SELECT ID FROM ITEM\r\n");
    ds.SetDatabase(Db.get());
    EXPECT_EQ(ds.GetSQLDialect(), 3);
    for (TIBSQL* q : {ds.Select(), ds.Forward(), ds.Backward(), ds.Refresh()})
        EXPECT_EQ(q->GetDatabase(), Db.get());
    ds.SetTransaction(Tr.get());
    for (TIBSQL* q : {ds.Select(), ds.Forward(), ds.Backward(), ds.Refresh()})
        EXPECT_EQ(q->GetTransaction(), Tr.get());
    ds.SetReadOnly(true);
    EXPECT_FALSE(ds.GetCanModify());
}

TEST_F(RowvaneTest, OpenPreparesBuildsAndAllocatesButOpensNoCursorAndCloseUndoesIt) {
    Use("SELECT I.ID, I.DESCRIPTION FROM ITEM I WHERE I.ID > :MINID");
    DS->SetKeyColumns("ID");
    ASSERT_FALSE(Tr->GetInTransaction());
    DS->Open();
    EXPECT_TRUE(Tr->GetInTransaction()); // started for the open, and kept
    EXPECT_TRUE(DS->CursorIsOpen());
    EXPECT_TRUE(DS->GetInternalPrepared());
    // The select itself is never executed; the framework's first request
    // for a row opened the forward cursor.
    EXPECT_TRUE(DS->Forward()->GetOpen());
    EXPECT_FALSE(DS->Backward()->GetOpen());
    EXPECT_FALSE(DS->Select()->GetOpen());
    EXPECT_EQ(DS->Aliases()->GetAliases()->GetText(), "ITEM=I\r\n");
    EXPECT_THAT(Names(*DS->GetFieldDefs()), ElementsAre("ID", "DESCRIPTION"));
    EXPECT_EQ(DS->GetFieldCount(), 2);
    EXPECT_EQ(DS->ColumnCount(), 2);
    EXPECT_EQ(DS->FieldDataSize(), 34);
    EXPECT_NE(DS->BlobStreams(), nullptr);
    EXPECT_EQ(DS->GetParams()->GetCount(), 1);
    EXPECT_EQ(DS->GetParams()->GetXSQLVAR(0)->GetName(), "MINID");

    DS->Close();
    EXPECT_FALSE(DS->CursorIsOpen());
    EXPECT_FALSE(DS->GetInternalPrepared());
    EXPECT_EQ(DS->ColumnCount(), -1);
    EXPECT_EQ(DS->FieldDataSize(), -1);
    EXPECT_EQ(DS->ModelBuffer(), nullptr);
    for (char* b : {DS->PositionBuffer(), DS->ForwardBuffer(), DS->BackwardBuffer(), DS->KeyBuffer(),
                    DS->SavedBuffer()})
        EXPECT_EQ(b, nullptr);
    EXPECT_EQ(DS->BlobStreams(), nullptr);
    EXPECT_EQ(DS->GetFieldCount(), 0);            // default fields go with the close
    EXPECT_EQ(DS->GetFieldDefs()->GetCount(), 2); // the definitions stay
    EXPECT_TRUE(Tr->GetInTransaction());          // no automatic stop asked for
    DS->Close();                                  // closing again does nothing

    // With an automatic stop the transaction ends when the dataset closes, not before.
    Tr->SetAutoStopAction(saCommit);
    DS->Open();
    Tr->CheckAutoStop();
    EXPECT_TRUE(Tr->GetInTransaction());
    DS->Close();
    EXPECT_FALSE(Tr->GetInTransaction());
}

TEST_F(RowvaneTest, OpenRefusesAMissingDatabaseTransactionOrQuery) {
    TTestRowvane ds(nullptr);
    ds.GetSelectSQL()->SetText("SELECT ID FROM ITEM");
    EXPECT_RV_ERROR(ds.Open(), rveDatabaseNotAssigned);
    TIBDatabase lone(nullptr);
    ds.SetDatabase(&lone); // a database without a default transaction
    EXPECT_RV_ERROR(ds.Open(), rveTransactionNotAssigned);
    ds.SetDatabase(Db.get());
    ds.SetTransaction(Tr.get());
    ds.GetSelectSQL()->Clear();
    EXPECT_RV_ERROR(ds.Open(), rveEmptyQuery);
    EXPECT_FALSE(ds.GetActive());
    // Blanks are a text: the statement's own error passes through.
    ds.GetSelectSQL()->SetText("   ");
    EXPECT_THROW(ds.Open(), EIBError);
    ds.GetSelectSQL()->SetText("SELECT NOPE FROM ITEM");
    EXPECT_THROW(ds.Open(), EIBError);
    EXPECT_FALSE(ds.GetActive());
    ds.GetSelectSQL()->SetText("SELECT TRUE AS B FROM RDB$DATABASE");
    try {
        ds.Open();
        ADD_FAILURE();
    } catch (const EIBRVError& e) {
        EXPECT_EQ(e.ErrorCode, rveFieldTypeNoSupport);
        EXPECT_THAT(e.Message(), testing::HasSubstr("32764"));
    }
    EXPECT_EQ(ds.ModelBuffer(), nullptr);
}

TEST_F(RowvaneTest, OpenRefusesASelectTheCursorsCouldNotRunAsWrittenAndSaysWhatToWriteInstead) {
    struct {
        const char* Select;
        const char* Keys = "ID";
        const char* Order = "ID";      // the order item; nullptr: the select's own ORDER BY
        int Code = -1;                 // -1: the select opens
        const char* Cause = "";        // how the message starts (after the text of code 27)
        const char* Instead = nullptr; // what the message says to write instead; none: that is all
    } cases[] = {
        // As written in the component's documentation and the demonstration program.
        {"SELECT * FROM ITEM"},
        {"SELECT ID, DESCRIPTION FROM ITEM"},
        {"SELECT ID, DESCRIPTION, QUANTITY, PRICE FROM ITEM WHERE QUANTITY > 5 ORDER BY ID"},
        {"SELECT I.ID, I.QUANTITY FROM ITEM I WHERE I.QUANTITY > :MINQTY GROUP BY I.ID, I.QUANTITY"},
        {"SELECT X.ID FROM ITEM AS X"},
        // Spacing, letter case, what the rebuild drops on purpose, nested selects in a condition.
        {"select id,\r\n\tdescription  from item order  by id"},
        {"SELECT * FROM ITEM FOR UPDATE"},
        {"SELECT ID FROM ITEM WHERE DESCRIPTION <> 'it''s -- no /* comment'"},
        {"SELECT ID FROM ITEM WHERE ID IN (SELECT FIRST 2 ID FROM ITEM WHERE QUANTITY > 1)"},
        {"SELECT A.ID FROM ITEM A JOIN ITEM B ON A.ID = B.ID"},
        // The order item replaces the select's own ORDER BY, whatever that holds.
        {"SELECT ID FROM ITEM ORDER BY 1"},
        // Comments, which the parser would split as text.
        {"SELECT ID FROM ITEM -- all of them", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL holds a comment", "remove the comment"},
        {"SELECT ID /* the key */ FROM ITEM", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL holds a comment", "remove the comment"},
        {"SELECT ID FROM ITEM WHERE ID > 5--3", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL holds a comment", "remove the comment"},
        // A ";" would end the statement before the dataset's ORDER BY.
        {"SELECT * FROM ITEM;", "ID", "ID", rveInvalidOrderByClause, "SelectSQL holds a \";\"",
         "remove the \";\""},
        {"SELECT ID FROM ITEM WHERE DESCRIPTION <> 'a;b'"},
        // Selects the parser restarts a clause at.
        {"SELECT ID, (SELECT COUNT(*) FROM ITEM) AS N FROM ITEM", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL cannot be taken apart without changing it at \"ID , ( SELECT\"", "into a view"},
        {"SELECT * FROM (SELECT ID FROM ITEM) T", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL cannot be taken apart without changing it at \"* FROM ( SELECT\"", "into a view"},
        {"WITH X AS (SELECT ID FROM ITEM) SELECT ID FROM X", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL begins with WITH", "into views"},
        // A nested select's GROUP BY ends the outer WHERE: both clauses lose a parenthesis.
        {"SELECT ID FROM ITEM WHERE ID IN (SELECT ID FROM ITEM GROUP BY ID)", "ID", "ID",
         rveInvalidOrderByClause, "SelectSQL cannot be taken apart: its WHERE clause", "into a view"},
        // No one select to order and to read from a position.
        {"SELECT ID FROM ITEM UNION ALL SELECT ID FROM TYPES", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL is a UNION", "into a view"},
        {"SELECT ID FROM ITEM PLAN (ITEM ORDER PKY_ITEM)", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL fixes the order of its rows by ORDER in its PLAN", "leave ORDER out of the PLAN"},
        // Results that hold other rows when read backward.
        {"SELECT FIRST 5 ID, PRICE FROM ITEM ORDER BY ID", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL limits its rows with FIRST", "WHERE instead"},
        {"SELECT SKIP 2 ID FROM ITEM", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL limits its rows with SKIP", "WHERE instead"},
        {"SELECT ID FROM ITEM ORDER BY ID ROWS 2", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL limits its rows with ROWS", "WHERE instead"},
        {"SELECT ID FROM ITEM ORDER BY ID OFFSET 1 ROW", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL limits its rows with OFFSET", "WHERE instead"},
        {"SELECT ID FROM ITEM ORDER BY ID FETCH FIRST 2 ROWS ONLY", "ID", "ID", rveInvalidOrderByClause,
         "SelectSQL limits its rows with FETCH", "WHERE instead"},
        // Parameters pass from statement to statement by name.
        {"SELECT ID FROM ITEM WHERE ID > ?", "ID", "ID", rveParamNotFound,
         "Parameter \"?\" not found: ", "named parameter (such as :ID) instead of ?"},
        // Orders the cursors cannot follow.
        {"SELECT ID FROM ITEM ORDER BY 1", "ID", nullptr, rveInvalidOrderByClause},
        {"SELECT ID, DESCRIPTION FROM ITEM ORDER BY UPPER(DESCRIPTION)", "ID", nullptr,
         rveInvalidOrderByClause},
        {"SELECT ID, PRICE FROM ITEM ORDER BY PRICE NULLS LAST", "ID", nullptr, rveInvalidOrderByClause,
         "NULLS LAST is not supported", "leave it out"},
        {"SELECT ID, DESCRIPTION FROM ITEM", "ID", "PRICE", rveFieldNotFound,
         "Field \"PRICE\" not found: ", "add PRICE to the select list"},
        {"SELECT ID, QUANTITY AS DESCRIPTION, DESCRIPTION AS D FROM ITEM", "ID", "DESCRIPTION",
         rveInvalidOrderByClause, "DESCRIPTION is the name the select list gives one column and the own name",
         "order by a name that stands for one column only"},
        // Key columns are compared in the WHERE of statements on the table.
        {"SELECT ID AS K, DESCRIPTION FROM ITEM", "K", "DESCRIPTION", rveFieldNotFound,
         "Field \"K\" not found"},
        {"SELECT DESCRIPTION FROM ITEM", "ID", "DESCRIPTION", rveFieldNotFound, "Field \"ID\" not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Select);
        Use("");
        DS->SetKeyColumns(c.Keys);
        if (c.Order) {
            // An order item of its own: a limit after the select's ORDER BY is no order column.
            DS->GetOrderItems()->SetText(AnsiString("1;") + c.Order);
            DS->SetOrderItemId(1);
        }
        if (c.Code < 0) {
            DS->GetSelectSQL()->SetText(c.Select);
            DS->Open();
            EXPECT_TRUE(DS->GetActive());
            DS->Close();
            continue;
        }
        try {
            DS->GetSelectSQL()->SetText(c.Select); // the select's own order is read here already
            DS->Open();
            ADD_FAILURE() << "opened";
        } catch (const EIBRVError& e) {
            EXPECT_EQ(e.ErrorCode, c.Code) << e.Message();
            AnsiString code =
                c.Code == rveInvalidOrderByClause ? "Format specified for Order By is invalid" : "";
            AnsiString head = code.empty() || !*c.Cause ? code + c.Cause : code + ": " + c.Cause;
            if (c.Instead) {
                EXPECT_THAT(e.Message(), testing::StartsWith(head));
                EXPECT_THAT(e.Message(), testing::HasSubstr(c.Instead));
            } else {
                EXPECT_EQ(e.Message(), head); // refused as before, by the code's own message
            }
        } catch (const EIBError& e) {
            ADD_FAILURE() << "the engine's error: " << e.Message();
        }
        EXPECT_FALSE(DS->GetActive());
        EXPECT_FALSE(DS->CursorIsOpen());
    }
}

TEST_F(RowvaneTest, AWhereClauseTheParserWouldChangeIsRefusedAndTheOldOneStays) {
    Use("SELECT * FROM ITEM WHERE ID > 1");
    DS->SetKeyColumns("ID");
    DS->GetOrderItems()->SetText("1;ID");
    DS->SetOrderItemId(1);
    DS->Open();
    for (const char* where : {"ID > 5 --3", "ID IN (SELECT ID FROM ITEM GROUP BY ID)", "ID > ?", "ID > 3;"}) {
        SCOPED_TRACE(where);
        EXPECT_THROW(DS->SetWhereClause(where), EDatabaseError);
        EXPECT_EQ(DS->GetWhereClause(), "ID > 1");
        EXPECT_TRUE(DS->GetInternalPrepared());
        EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), 2);
    }
    DS->SetWhereClause("ID IN (SELECT ID FROM ITEM WHERE ID > 2)");
    DS->RefreshRows();
    EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), 3);
}

TEST_F(RowvaneTest, FieldDefinitionsMarkJoinedComputedFixedAndExpressionColumns) {
    Use("SELECT I.ID, I.DESCRIPTION, I.QUANTITY, T.C_VARCHAR, T.C_TWICE, T.C_CHAR, I.PRICE * 2 AS DOUBLED,"
        " T.C_MEMO FROM ITEM I JOIN TYPES T ON T.ID = I.ID");
    DS->Open();
    TFieldDefs* defs = DS->GetFieldDefs();
    ASSERT_THAT(Names(*defs), ElementsAre("ID", "DESCRIPTION", "QUANTITY", "C_VARCHAR", "C_TWICE", "C_CHAR",
                                          "DOUBLED", "C_MEMO"));
    struct Expect {
        TFieldType Type;
        int Size, Precision;
        bool Required, ReadOnly, Fixed, InternalCalc;
    } expected[] = {
        {ftInteger, 0, 0, true, false, false, false}, {ftString, 30, 0, true, false, false, false},
        {ftBCD, 2, 10, false, false, false, false},   {ftString, 30, 0, false, true, false, false},
        {ftLargeint, 0, 0, false, true, false, true}, {ftString, 5, 0, false, true, true, false},
        {ftBCD, 2, 18, false, false, false, false},   {ftMemo, 8, 0, false, true, false, false},
    };
    for (int i = 0; i < defs->GetCount(); ++i) {
        TFieldDef* d = defs->GetItem(i);
        const Expect& e = expected[i];
        SCOPED_TRACE(d->GetName());
        EXPECT_EQ(d->GetDataType(), e.Type);
        EXPECT_EQ(d->GetSize(), e.Size);
        EXPECT_EQ(d->GetPrecision(), e.Precision);
        EXPECT_EQ(d->GetFieldNo(), i + 1);
        EXPECT_EQ(d->GetRequired(), e.Required);
        EXPECT_EQ(d->GetAttributes().Contains(faReadonly), e.ReadOnly);
        EXPECT_EQ(d->GetAttributes().Contains(faFixed), e.Fixed);
        EXPECT_EQ(d->GetInternalCalcField(), e.InternalCalc);
    }
    // The fields follow their definitions.
    EXPECT_TRUE(DS->FieldByName("C_VARCHAR")->GetReadOnly());
    EXPECT_EQ(DS->FieldByName("C_TWICE")->GetFieldKind(), fkInternalCalc);
    EXPECT_TRUE(dynamic_cast<TStringField*>(DS->FieldByName("C_CHAR"))->GetFixedChar());
    EXPECT_FALSE(DS->FieldByName("DOUBLED")->GetReadOnly());
    DS->Close();

    // MainTable names another table: the columns of ITEM become the read-only ones.
    DS->SetMainTable("types");
    DS->Open();
    EXPECT_TRUE(defs->Find("ID")->GetAttributes().Contains(faReadonly));
    EXPECT_FALSE(defs->Find("C_VARCHAR")->GetAttributes().Contains(faReadonly));
}

TEST_F(RowvaneTest, DefinitionsOfAClosedDatasetPrepareForAMomentOnly) {
    Use("SELECT ID, DESCRIPTION FROM ITEM");
    ASSERT_FALSE(Tr->GetInTransaction());
    DS->GetFieldDefs()->Update();
    EXPECT_THAT(Names(*DS->GetFieldDefs()), ElementsAre("ID", "DESCRIPTION"));
    EXPECT_FALSE(DS->GetInternalPrepared());
    EXPECT_TRUE(Tr->GetInTransaction()); // started for the prepare, no automatic stop set
    Tr->Commit();
    Tr->SetAutoStopAction(saRollback);
    DS->GetFieldDefs()->SetUpdated(false);
    DS->GetFieldDefs()->Update();
    EXPECT_FALSE(Tr->GetInTransaction()); // handed to the automatic stop, which ends it
    EXPECT_FALSE(DS->GetActive());

    // Two columns of one name: the second definition fails and is removed, and so does the open.
    DS->GetSelectSQL()->SetText("SELECT ID, DESCRIPTION AS \"ID\" FROM ITEM");
    EXPECT_THROW(DS->Open(), EDatabaseError);
    EXPECT_THAT(Names(*DS->GetFieldDefs()), ElementsAre("ID"));
    EXPECT_FALSE(DS->GetActive());
    EXPECT_FALSE(DS->GetInternalPrepared());
    EXPECT_EQ(DS->GetFieldDefs()->GetUpdateCount(), 0);
}

TEST_F(RowvaneTest, StatementShapingPropertiesRefuseChangesWhileOpen) {
    Use("SELECT ID, DESCRIPTION FROM ITEM ORDER BY ID");
    DS->SetKeyColumns("ID");
    DS->SetMainTable("ITEM");
    DS->GetOrderItems()->Add("1;DESCRIPTION");
    DS->Open();
    TIBDatabase otherDb(nullptr);
    TIBTransaction otherTr(nullptr);
    TStringList lines;
    lines.Add("X=1");
    struct Case {
        const char* What;
        std::function<void()> Change;
    } refused[] = {
        {"Database", [&] { DS->SetDatabase(&otherDb); }},
        {"Transaction", [&] { DS->SetTransaction(&otherTr); }},
        {"KeyColumns", [&] { DS->SetKeyColumns("ID,DESCRIPTION"); }},
        {"MainTable, same name", [&] { DS->SetMainTable("ITEM"); }},
        {"SelectSQL", [&] { DS->GetSelectSQL()->Add("WHERE 1 = 1"); }},
        {"SelectSQL assigned", [&] { DS->SetSelectSQL(&lines); }},
        {"ModifySQL", [&] { DS->GetModifySQL()->Add("DESCRIPTION=:DESCRIPTION"); }},
        {"InsertSQL", [&] { DS->SetInsertSQL(&lines); }},
        {"OrderItems", [&] { DS->GetOrderItems()->Add("2;ID"); }},
        {"OrderItems cleared", [&] { DS->GetOrderItems()->Clear(); }},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.What);
        EXPECT_RV_ERROR(c.Change(), rveDatasetOpen);
    }
    EXPECT_EQ(DS->GetDatabase(), Db.get());
    EXPECT_EQ(DS->GetTransaction(), Tr.get());
    EXPECT_EQ(DS->GetKeyColumns(), "ID");
    EXPECT_EQ(DS->GetSelectSQL()->GetText(), "SELECT ID, DESCRIPTION FROM ITEM ORDER BY ID\r\n");
    EXPECT_EQ(DS->GetModifySQL()->GetCount(), 0);
    EXPECT_EQ(DS->GetInsertSQL()->GetCount(), 0);
    EXPECT_EQ(DS->GetOrderItems()->GetText(), "1;DESCRIPTION\r\n");
    EXPECT_TRUE(DS->GetInternalPrepared()); // nothing reached the statement

    // These may change while open.
    DS->SetKeyColumns("ID"); // the same text
    DS->SetDatabase(Db.get());
    DS->SetReadOnly(true);
    DS->SetPessimisticLocking(true);
    DS->SetRefreshBeforeEdit(true);
    DS->GetGeneratorFields()->Add("ID;GEN_ITEM_ID;1");
    DS->SetOrderItemId(1);
    EXPECT_TRUE(DS->GetActive());
    EXPECT_EQ(DS->GetOrderItemId(), 1);
    EXPECT_FALSE(DS->GetCanModify());
    EXPECT_EQ(DS->GetGeneratorFields()->GetText(), "ID;GEN_ITEM_ID;1\r\n");

    DS->Close();
    DS->SetMainTable("TYPES");
    DS->SetKeyColumns("ID,DESCRIPTION");
    DS->SetSelectSQL(&lines);
    EXPECT_EQ(DS->GetMainTable(), "TYPES");
    EXPECT_EQ(DS->GetSelectSQL()->GetText(), "X=1\r\n");
}

TEST_F(RowvaneTest, ChoosingAnOrderItemRebuildsBothOrdersOrNeither) {
    Use("SELECT ID, DESCRIPTION, QUANTITY FROM ITEM ORDER BY QUANTITY DESC, ID");
    DS->GetOrderItems()->SetText("1;ID\r\n2;DESCRIPTION DESC, ID\r\n3;UPPER(DESCRIPTION)");
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "QUANTITY DESC, ID ASC"); // the select's own order
    EXPECT_EQ(DS->OrderBwd()->GetOrderBy(), "QUANTITY ASC, ID DESC");
    DS->SetOrderItemId(2);
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "DESCRIPTION DESC, ID ASC");
    EXPECT_EQ(DS->OrderBwd()->GetOrderBy(), "DESCRIPTION ASC, ID DESC");
    DS->SetOrderItemId(-1); // the item as written; the cursors read it inverted
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "ID ASC");
    EXPECT_EQ(DS->OrderBwd()->GetOrderBy(), "ID DESC");
    EXPECT_RV_ERROR(DS->SetOrderItemId(9), rveInvalidOrderItemId);
    EXPECT_RV_ERROR(DS->SetOrderItemId(-2147483647 - 1), rveInvalidOrderItemId);
    EXPECT_EQ(DS->GetOrderItemId(), -1);
    // An item whose text is no column list: both orders stay the old ones, and so does the id.
    EXPECT_RV_ERROR(DS->SetOrderItemId(3), rveInvalidOrderByClause);
    EXPECT_EQ(DS->GetOrderItemId(), -1);
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "ID ASC");
    EXPECT_EQ(DS->OrderBwd()->GetOrderBy(), "ID DESC");
    DS->SetOrderItemId(0);
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "QUANTITY DESC, ID ASC");

    // A new select rebuilds the order while no item is chosen, and not while one is.
    DS->GetSelectSQL()->SetText("SELECT ID, DESCRIPTION FROM ITEM");
    EXPECT_EQ(DS->OrderFwd()->GetCount(), 0);
    EXPECT_EQ(DS->OrderBwd()->GetCount(), 0);
    DS->SetOrderItemId(1);
    DS->GetSelectSQL()->SetText("SELECT ID, DESCRIPTION FROM ITEM ORDER BY DESCRIPTION");
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "ID ASC");
    // Without an order, comparing by order raises.
    DS->SetOrderItemId(0);
    DS->GetSelectSQL()->SetText("SELECT ID, DESCRIPTION FROM ITEM");
    DS->Open();
    DS->InternalInitRecord(DS->KeyBuffer());
    DS->InternalInitRecord(DS->SavedBuffer());
    EXPECT_RV_ERROR(DS->CompareRecordPos(DS->KeyBuffer(), DS->SavedBuffer(), false, -1), rveNoSortOrder);
    EXPECT_RV_ERROR(DS->CompareRecordPos(DS->KeyBuffer(), DS->SavedBuffer(), true, -1), rveKeyColumnsMissing);
}

TEST_F(RowvaneTest, EditingTheOrderItemsFollowsTheChosenItem) {
    Use("SELECT ID, DESCRIPTION FROM ITEM ORDER BY DESCRIPTION");
    TIBRVOrderItems* items = DS->GetOrderItems();
    items->SetText("1;ID\r\n2;DESCRIPTION DESC");
    DS->SetOrderItemId(1);
    TIBRVOrderColumns* before = DS->OrderFwd();
    items->Put(1, "2;DESCRIPTION"); // another item: the orders are not rebuilt
    EXPECT_EQ(DS->OrderFwd(), before);
    // The chosen item changed in one bracket: rebuilt. (Put alone deletes
    // first, and the chosen item is then gone.)
    items->BeginUpdate();
    items->Put(0, "1;ID DESC");
    items->EndUpdate();
    EXPECT_EQ(DS->GetOrderItemId(), 1);
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "ID DESC");
    EXPECT_EQ(DS->OrderBwd()->GetOrderBy(), "ID ASC");
    // Unreadable: back to the select's own order, without an error.
    items->BeginUpdate();
    items->Put(0, "1;1");
    items->EndUpdate();
    EXPECT_EQ(DS->GetOrderItemId(), 0);
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "DESCRIPTION ASC");
    // The chosen item goes: the same.
    DS->SetOrderItemId(-2);
    items->Delete(1);
    EXPECT_EQ(DS->GetOrderItemId(), 0);
    EXPECT_EQ(DS->OrderFwd()->GetOrderBy(), "DESCRIPTION ASC");

    // Not even the select's own order is readable: no order at all, and that error is told.
    items->SetText("1;ID");
    DS->SetOrderItemId(1);
    DS->GetSelectSQL()->SetText(
        "SELECT ID, DESCRIPTION FROM ITEM ORDER BY 1"); // not rebuilt: an item is chosen
    EXPECT_RV_ERROR(items->Put(0, "1;2"), rveInvalidOrderByClause);
    EXPECT_EQ(DS->GetOrderItemId(), 0);
    EXPECT_EQ(DS->OrderFwd()->GetCount(), 0);
    EXPECT_EQ(DS->OrderBwd()->GetCount(), 0);
}

TEST_F(RowvaneTest, TheMainTableComesFromThePropertyOrTheFirstTable) {
    TTestRowvane noDb(nullptr); // dialect 1
    struct Case {
        const char* Select;
        const char* MainTable;
        const char* Expected;
    } cases[] = {
        {"SELECT * FROM ITEM I", "", "ITEM"},
        {"select * from item", "", "ITEM"},
        {"SELECT * FROM \"Quoted\" q, ITEM", "", "Q"}, // at dialect 1 a string, not a table
        {"SELECT * FROM ITEM", " other ", "OTHER"},
    };
    for (const auto& c : cases) {
        noDb.GetSelectSQL()->SetText(c.Select);
        noDb.SetMainTable(c.MainTable);
        EXPECT_EQ(noDb.GetMainTableName(), c.Expected) << c.Select;
    }
    noDb.SetMainTable("");
    noDb.GetSelectSQL()->SetText("SELECT * FROM \"Item\"");
    EXPECT_RV_ERROR(noDb.GetMainTableName(), rveTableNameEmpty);
    Use("SELECT * FROM ITEM");
    DS->SetMainTable("\"Item\"");
    EXPECT_EQ(DS->GetMainTableName(), "Item"); // dialect 3
    // At dialect 3 a double-quoted table is the table, its alias is none.
    Use("SELECT * FROM \"Item\" q, ITEM");
    EXPECT_EQ(DS->GetMainTableName(), "Item");
}

TEST_F(RowvaneTest, TheEndOfTheTransactionClosesOnlyTheCursors) {
    Use("SELECT ID, DESCRIPTION FROM ITEM");
    DS->Open();
    for (auto end :
         {std::function<void()>([&] { Tr->Commit(); }), std::function<void()>([&] { Tr->Rollback(); })}) {
        TIBRVRecordBuffer::SetValidFlag(DS->ForwardBuffer(), 0);
        TIBRVRecordBuffer::SetValidFlag(DS->BackwardBuffer(), 0);
        end();
        EXPECT_TRUE(DS->GetActive());
        EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(DS->ForwardBuffer()), -1);
        EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(DS->BackwardBuffer()), 1);
        Tr->StartTransaction();
    }
    // The retaining forms end nothing.
    TIBRVRecordBuffer::SetValidFlag(DS->ForwardBuffer(), 0);
    Tr->CommitRetaining();
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(DS->ForwardBuffer()), 0);
    EXPECT_TRUE(DS->GetActive());
}

TEST_F(RowvaneTest, ADisconnectClosesTheDataset) {
    Use("SELECT ID, DESCRIPTION FROM ITEM");
    DS->Open();
    Db->Close();
    EXPECT_FALSE(DS->GetActive());
    EXPECT_FALSE(DS->CursorIsOpen());
    EXPECT_EQ(DS->ModelBuffer(), nullptr);
    EXPECT_EQ(DS->GetDatabase(), Db.get());
    DS->Open(); // connects again
    EXPECT_TRUE(Db->GetConnected());
    EXPECT_TRUE(DS->GetActive());
    // A database that goes away closes the dataset and leaves it without one.
    Db.reset();
    EXPECT_FALSE(DS->GetActive());
    EXPECT_EQ(DS->GetDatabase(), nullptr);
    EXPECT_EQ(DS->Select()->GetDatabase(), nullptr);
}

TEST_F(RowvaneTest, AFreedTransactionClosesTheDatasetAndIsDropped) {
    Use("SELECT ID, DESCRIPTION FROM ITEM");
    DS->Open();
    Tr.reset();
    EXPECT_FALSE(DS->GetActive());
    EXPECT_EQ(DS->GetTransaction(), nullptr);
    for (TIBSQL* q : {DS->Select(), DS->Forward(), DS->Backward(), DS->Refresh()})
        EXPECT_EQ(q->GetTransaction(), nullptr);
    // Closed without a transaction, the dataset says so on the next open.
    EXPECT_RV_ERROR(DS->Open(), rveTransactionNotAssigned);
    TIBTransaction next(nullptr);
    next.SetDefaultDatabase(Db.get());
    DS->SetTransaction(&next);
    DS->Open();
    EXPECT_TRUE(DS->GetActive());
    DS->Close();
}

TEST_F(RowvaneTest, DestroyingAnOpenDatasetClosesItAndLeavesDatabaseAndTransaction) {
    Use("SELECT ID FROM ITEM");
    DS->Open();
    int links = Db->GetSQLObjectCount();
    EXPECT_GE(links, 5);
    DS.reset();
    EXPECT_EQ(Db->GetSQLObjectCount(), links - 5); // the link and the four statements
    EXPECT_EQ(Tr->GetSQLObjectCount(), 0);
    EXPECT_TRUE(Tr->GetInTransaction());
}

TEST(Registration, TheComponentGoesOnThePalettePageKVDB) {
    Ibrowvanekv::Register();
    std::vector<std::string> names;
    for (TComponentClass c : GetPaletteClasses("KVDB"))
        names.push_back(c->GetName());
    EXPECT_THAT(names, ElementsAre("TIBRowvaneKV"));
    TComponentClass found = FindClass("TIBRowvaneKV");
    EXPECT_TRUE(found->InheritsFrom(&TDataSet::ClassInfo()));
    std::unique_ptr<TComponent> made(found->Create(nullptr));
    EXPECT_NE(dynamic_cast<TIBRowvaneKV*>(made.get()), nullptr);
    Ibrowvanekv::UnRegister();
    EXPECT_TRUE(GetPaletteClasses("KVDB").empty());
}

namespace {

// A form that owns a dataset, as the demonstration's main window does.
class TTestForm : public TComponent {
public:
    using TComponent::TComponent;
    KV_METACLASS_DECL
    static void Publish(TPublisher<TTestForm>&) {}
};

} // namespace

KV_PUBLISHED_METACLASS(TTestForm, nullptr)

TEST(Streaming, ThePublishedPropertiesGoToFormTextAndComeBack) {
    RegisterClass(&TIBRowvaneKV::ClassInfo());
    AnsiString text;
    {
        TTestForm form(nullptr);
        auto* ds = new TIBRowvaneKV(&form);
        ds->SetName("DataSet");
        ds->GetSelectSQL()->SetText("SELECT *\r\nFROM ITEM");
        ds->SetKeyColumns("ID");
        ds->GetOrderItems()->SetText("1;ID\r\n2;DESCRIPTION");
        ds->SetOrderItemId(2);
        ds->GetGeneratorFields()->Add("ID;GEN_ITEM_ID;1");
        ds->SetPessimisticLocking(true);
        ds->SetMainTable("ITEM");
        ds->SetAutoCalcFields(false);
        text = WriteComponentToText(&form, TTestForm::ClassInfo());
    }
    EXPECT_THAT(text, testing::HasSubstr("object DataSet: TIBRowvaneKV"));
    EXPECT_THAT(text, testing::HasSubstr("KeyColumns = 'ID'"));
    EXPECT_THAT(text, testing::HasSubstr("OrderItemId = 2"));
    EXPECT_THAT(text, testing::HasSubstr("PessimisticLocking = True"));
    EXPECT_THAT(text, testing::HasSubstr("AutoCalcFields = False"));
    EXPECT_THAT(text, testing::Not(testing::HasSubstr("ReadOnly"))); // at its default
    EXPECT_THAT(text, testing::Not(testing::HasSubstr("Active")));

    TTestForm form(nullptr);
    ReadComponentFromText(text, &form, TTestForm::ClassInfo());
    auto* ds = dynamic_cast<TIBRowvaneKV*>(form.FindComponent("DataSet"));
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(ds->GetSelectSQL()->GetText(), "SELECT *\r\nFROM ITEM\r\n");
    EXPECT_EQ(ds->GetKeyColumns(), "ID");
    EXPECT_EQ(ds->GetOrderItems()->GetText(), "1;ID\r\n2;DESCRIPTION\r\n");
    EXPECT_EQ(ds->GetOrderItemId(), 2);
    EXPECT_EQ(ds->GetGeneratorFields()->GetText(), "ID;GEN_ITEM_ID;1\r\n");
    EXPECT_TRUE(ds->GetPessimisticLocking());
    EXPECT_FALSE(ds->GetReadOnly());
    EXPECT_EQ(ds->GetMainTable(), "ITEM");
    EXPECT_FALSE(ds->GetAutoCalcFields());
    UnRegisterClass(&TIBRowvaneKV::ClassInfo());
}
