// Editing against the real engine: the generated statements as text and at
// work, ModifySQL and InsertSQL, edit and post in every order with the grid's
// window checked afterwards and while scrolling on, key edits, deletes,
// inserts with generator fields, locking and re-reading before edit, and
// another user who locks, deletes or re-keys the row being edited.
#include "EditingFixture.h"

#include "IB.h"

#include <algorithm>
#include <ostream>

namespace {

using testing::ElementsAre;

// Whether Window is a run of consecutive rows of Order.
bool IsRunOf(const std::vector<int>& Window, const std::vector<int>& Order) {
    if (Window.empty()) return Order.empty();
    auto at = std::find(Order.begin(), Order.end(), Window.front());
    return static_cast<size_t>(Order.end() - at) >= Window.size() &&
           std::equal(Window.begin(), Window.end(), at);
}

} // namespace

// ---------------------------------------------------------------------------
// The generated statements

TEST_F(EditingTest, TheDefaultListsNameTheWritableDataFieldsOfTheMainTable) {
    OpenItems();
    DS->InternalPrepareDeleteQuery();
    DS->InternalPrepareModifyQuery();
    DS->InternalPrepareInsertQuery();
    DS->InternalPrepareLockQuery();
    EXPECT_EQ(TextOf(DS->QryDelete()), "DELETE FROM \"ITEM\"\r\nWHERE ID = :_LOCATE1");
    EXPECT_EQ(TextOf(DS->QryModify()), "UPDATE \"ITEM\" SET\r\n\"ID\" = :\"ID\",\r\n\"DESCRIPTION\" = "
                                       ":\"DESCRIPTION\",\r\n\"QUANTITY\" = :\"QUANTITY\",\r\n\"PRICE\" = "
                                       ":\"PRICE\"\r\nWHERE ID = :_LOCATE1");
    EXPECT_EQ(TextOf(DS->QryInsert()),
              "INSERT INTO \"ITEM\"\r\n(\"ID\",\r\n\"DESCRIPTION\",\r\n\"QUANTITY\",\r\n"
              "\"PRICE\")\r\nVALUES\r\n(:\"ID\",\r\n:\"DESCRIPTION\",\r\n:\"QUANTITY\","
              "\r\n:\"PRICE\")");
    EXPECT_EQ(TextOf(DS->QryLock()), "UPDATE \"ITEM\" SET\r\nID = ID\r\nWHERE ID = :_LOCATE1");
    for (TIBSQL* q : {DS->QryDelete(), DS->QryModify(), DS->QryInsert(), DS->QryLock()}) {
        EXPECT_TRUE(q->GetPrepared());
        EXPECT_EQ(q->GetOwner(), DS.get());
    }

    // Calculated fields, columns of a joined table and computed columns
    // take no part; at dialect 1 the names are upper-cased, not quoted.
    DS->Close();
    Source->SetDataSet(nullptr);
    Use("SELECT T.ID, t.c_int, T.C_TWICE, I.DESCRIPTION, T.C_INT + 1 AS NEXT_INT FROM TYPES T"
        " JOIN ITEM I ON I.ID = T.ID");
    DS->SetKeyColumns("ID");
    DS->Open();
    TStringList defaults;
    DS->GetUpdateQueryFields(&defaults);
    EXPECT_EQ(defaults.GetText(), "\"ID\"=:\"ID\"\r\n\"C_INT\"=:\"C_INT\"\r\n");
    DS->Close();
    Db->SetSQLDialect(1);
    Use("SELECT ID, DESCRIPTION FROM ITEM");
    DS->SetKeyColumns("ID");
    auto* sum = new TIntegerField(DS.get());
    sum->SetFieldName("SUM");
    sum->SetFieldKind(fkCalculated);
    for (const char* name : {"ID", "DESCRIPTION"}) {
        TField* f = name[0] == 'I' ? static_cast<TField*>(new TIntegerField(DS.get()))
                                   : static_cast<TField*>(new TIBStringField(DS.get()));
        f->SetFieldName(name);
        if (name[0] == 'D') f->SetSize(30);
        f->SetDataSet(DS.get());
    }
    sum->SetDataSet(DS.get());
    DS->Open();
    defaults.Clear();
    DS->GetUpdateQueryFields(&defaults);
    EXPECT_EQ(defaults.GetText(), "ID=:ID\r\nDESCRIPTION=:DESCRIPTION\r\n");
    DS->InternalPrepareModifyQuery();
    EXPECT_EQ(TextOf(DS->QryModify()),
              "UPDATE ITEM SET\r\nID = :ID,\r\nDESCRIPTION = :DESCRIPTION\r\nWHERE ID = :_LOCATE1");
}

TEST_F(EditingTest, TwoKeyColumnsMakeTheConditionAndTheLockAssignsTheFirst) {
    ExecSQL("CREATE TABLE K2 (A INTEGER NOT NULL, B VARCHAR(5) NOT NULL, V INTEGER, PRIMARY KEY (A, B))");
    Commit();
    ExecSQL("INSERT INTO K2 VALUES (1, 'x', 10)");
    ExecSQL("INSERT INTO K2 VALUES (1, 'y', 20)");
    Commit();
    Use("SELECT V, B, A FROM K2 ORDER BY A, B");
    DS->SetKeyColumns("A,B");
    DS->SetPessimisticLocking(true);
    DS->Open();
    DS->InternalPrepareDeleteQuery();
    DS->InternalPrepareLockQuery();
    EXPECT_EQ(TextOf(DS->QryDelete()), "DELETE FROM \"K2\"\r\nWHERE A = :_LOCATE1 AND B = :_LOCATE2");
    EXPECT_EQ(TextOf(DS->QryLock()), "UPDATE \"K2\" SET\r\nA = A\r\nWHERE A = :_LOCATE1 AND B = :_LOCATE2");
    // At work: the second row, not the first with the same A.
    DS->Next();
    DS->Edit();
    DS->FieldByName("V")->SetAsInteger(21);
    DS->Post();
    DS->Delete();
    TIBSQL* q = NewSQL("SELECT A, B, V FROM K2");
    q->ExecQuery();
    EXPECT_EQ(q->GetFields(1)->GetAsString(), "x");
    EXPECT_EQ(q->GetFields(2)->GetAsLong(), 10);
    q->Next();
    EXPECT_TRUE(q->GetEOF());
}

TEST_F(EditingTest, ModifySQLAndInsertSQLGiveTheColumnListsOfTheirStatements) {
    TestDb->Execute({"SET GENERATOR GEN_ITEM_ID TO 100"}); // the trigger keeps the ID given
    Use("SELECT * FROM ITEM ORDER BY ID");
    DS->SetKeyColumns("ID");
    DS->GetModifySQL()->SetText("  DESCRIPTION = :DESCRIPTION \r\nQUANTITY=:QUANTITY\r\nPRICE=PRICE * 2");
    DS->GetInsertSQL()->SetText("ID=:ID\r\nDESCRIPTION= 'new: ' || :DESCRIPTION");
    DS->Open();
    DS->Edit(); // row 1: Apple, 1.50, 2.25
    DS->FieldByName("DESCRIPTION")->SetAsString("Apricot");
    DS->FieldByName("QUANTITY")->SetAsString("3");
    DS->Post();
    EXPECT_EQ(TextOf(DS->QryModify()), "UPDATE \"ITEM\" SET\r\nDESCRIPTION = :DESCRIPTION,\r\nQUANTITY = "
                                       ":QUANTITY,\r\nPRICE = PRICE * 2\r\nWHERE ID = :_LOCATE1");
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "Apricot");
    EXPECT_EQ(DS->FieldByName("PRICE")->GetAsString(), "4.5"); // re-read after the post
    DS->Edit();
    DS->Post();
    EXPECT_EQ(DS->FieldByName("PRICE")->GetAsString(), "9");
    DS->Insert();
    DS->FieldByName("ID")->SetAsInteger(7);
    DS->FieldByName("DESCRIPTION")->SetAsString("Fig");
    DS->FieldByName("PRICE")->SetAsString("1"); // not in the list
    DS->Post();
    EXPECT_EQ(TextOf(DS->QryInsert()),
              "INSERT INTO \"ITEM\"\r\n(ID,\r\nDESCRIPTION)\r\nVALUES\r\n(:ID,\r\n'new: ' || :DESCRIPTION)");
    EXPECT_EQ(Id(), 7);
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "new: Fig");
    EXPECT_TRUE(DS->FieldByName("PRICE")->GetIsNull());
}

TEST_F(EditingTest, BadColumnListsFailThePostAndKeepTheEdit) {
    struct Case {
        const char* Modify;
        const char* Insert;
        bool Inserting;
        TIBRVError Code;
    } cases[] = {
        {"DESCRIPTION = :DESCRIPTION\r\nQUANTITY", "", false, rveInvalidModifySQL},
        {"DESCRIPTION = :DESCRIPTION\r\n\r\nQUANTITY=:QUANTITY", "", false,
         rveInvalidModifySQL}, // an empty line too
        {"", "ID=:ID\r\nDESCRIPTION :DESCRIPTION", true, rveInvalidInsertSQL},
        {"DESCRIPTION = :NOPE", "", false, rveParamNotFound},
        {"", "ID=:ID\r\nDESCRIPTION=:XLOCATE1", true, rveParamNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(AnsiString(c.Modify) + "|" + c.Insert);
        Use("SELECT * FROM ITEM ORDER BY ID");
        DS->SetKeyColumns("ID");
        DS->GetModifySQL()->SetText(c.Modify);
        DS->GetInsertSQL()->SetText(c.Insert);
        DS->Open();
        if (c.Inserting) {
            DS->Insert();
            DS->FieldByName("ID")->SetAsInteger(9);
        } else {
            DS->Edit();
        }
        DS->FieldByName("DESCRIPTION")->SetAsString("changed");
        EXPECT_RV_ERROR(DS->Post(), c.Code);
        EXPECT_EQ(DS->GetState(), c.Inserting ? dsInsert : dsEdit);
        EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "changed");
        DS->Cancel();
        EXPECT_EQ(Id(), 1);
        EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "Apple");
    }
}

TEST_F(EditingTest, EachStatementIsPreparedOnceUntilTheDatasetCloses) {
    OpenItems();
    int prepares = 0;
    DS->Edit();
    DS->Post();
    ASSERT_NE(DS->QryModify(), nullptr);
    DS->QryModify()->OnSQLChanging = [&prepares](TObject*) { ++prepares; };
    TIBSQL* modify = DS->QryModify();
    for (int price : {5, 6}) {
        DS->Edit();
        DS->FieldByName("PRICE")->SetAsInteger(price);
        DS->Post();
    }
    EXPECT_EQ(prepares, 0);
    EXPECT_EQ(DS->QryModify(), modify);
    DS->Close();
    EXPECT_FALSE(modify->GetPrepared());
    DS->Open();
    DS->Edit();
    DS->Post();
    EXPECT_EQ(prepares, 1); // built again after the close unprepared it
    EXPECT_EQ(DS->FieldByName("PRICE")->GetAsString(), "6");
}

// ---------------------------------------------------------------------------
// Edit and post

struct TOrderCase {
    int OrderItemId;
    const char* OrderBy;  // the same order for the engine
    const char* Column;   // the sort column that is edited
    const char* NewValue; // moves the row far away in the order
};

void PrintTo(const TOrderCase& Case, std::ostream* Out) {
    *Out << "order " << Case.OrderItemId << ", " << Case.Column << " := " << Case.NewValue;
}

class EditOrderTest : public EditingTest, public testing::WithParamInterface<TOrderCase> {};

// The edited row stands under the forward cursor when it is posted: after
// the post neither cursor may go on from the row's old place.
TEST_P(EditOrderTest, AfterAPostTheWindowShowsTheRowAtItsNewPlace) {
    const TOrderCase& c = GetParam();
    FillItems(200);
    OpenItems(c.OrderItemId);
    DS->MoveBy(60);
    int line = Grid->Active();
    int id = Id();
    DS->Edit();
    DS->FieldByName(c.Column)->SetAsString(c.NewValue);
    Grid->Events.clear();
    DS->Post();
    if (AnsiString(c.Column) == "ID") id = StrToInt(c.NewValue);
    EXPECT_EQ(Id(), id);
    std::vector<int> order = EngineOrder(c.OrderBy);
    EXPECT_EQ(Grid->Window(), WindowAround(order, id, line));
    EXPECT_EQ(Grid->Window()[static_cast<size_t>(Grid->Active())], id);
    // Scrolling on from there in both directions, across the row's old place.
    for (int step : {45, -90, 150, -200}) {
        SCOPED_TRACE(step);
        DS->MoveBy(step);
        std::vector<int> window = Grid->Window();
        EXPECT_EQ(window.size(), 20u);
        EXPECT_TRUE(IsRunOf(window, order)) << testing::PrintToString(window);
        EXPECT_EQ(window[static_cast<size_t>(Grid->Active())], Id());
    }
    DS->Last();
    EXPECT_EQ(Grid->Window(), std::vector<int>(order.end() - 20, order.end()));
    DS->First();
    EXPECT_EQ(Grid->Window(), std::vector<int>(order.begin(), order.begin() + 20));
    // What was posted is in the database (for this transaction).
    TIBSQL* q = NewSQL(AnsiString("SELECT COUNT(*) FROM ITEM WHERE ID = ") + IntToStr(id) + " AND " +
                       c.Column + " = '" + c.NewValue + "'");
    q->ExecQuery();
    EXPECT_EQ(q->GetFields(0)->GetAsLong(), 1);
    q->Close();
}

INSTANTIATE_TEST_SUITE_P(EveryOrder, EditOrderTest,
                         testing::Values(TOrderCase{1, "ID", "ID", "900"},
                                         TOrderCase{-1, "ID DESC", "ID", "900"},
                                         TOrderCase{2, "DESCRIPTION", "DESCRIPTION", "A0000"},
                                         TOrderCase{-2, "DESCRIPTION DESC", "DESCRIPTION", "A0000"},
                                         TOrderCase{3, "QUANTITY, ID", "QUANTITY", "99"},
                                         TOrderCase{-3, "QUANTITY DESC, ID DESC", "QUANTITY", "99"},
                                         TOrderCase{4, "PRICE", "PRICE", "0"}),
                         [](const testing::TestParamInfo<TOrderCase>& Info) {
                             return AnsiString(Info.param.OrderItemId < 0 ? "Inverted" : "") +
                                    Info.param.Column;
                         });

TEST_F(EditingTest, AnEditedKeyIsWrittenByTheRowsOldKeyAndFoundByItsNewOne) {
    OpenItems();
    DS->Next(); // 2, Pear
    DS->Edit();
    DS->FieldByName("ID")->SetAsInteger(99);
    DS->Post();
    EXPECT_EQ(Id(), 99);
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "Pear");
    EXPECT_THAT(Grid->Window(), ElementsAre(1, 3, 4, 99));
    EXPECT_THAT(EngineOrder("ID"), ElementsAre(1, 3, 4, 99));

    // Delete while editing takes the key from before the edit.
    DS->First();
    DS->Edit();
    DS->FieldByName("ID")->SetAsInteger(50);
    Grid->Events.clear();
    DS->Delete();
    EXPECT_THAT(EngineOrder("ID"), ElementsAre(3, 4, 99));
    EXPECT_EQ(DS->GetState(), dsBrowse);
    EXPECT_EQ(Id(), 3);
    EXPECT_THAT(Grid->Window(), ElementsAre(3, 4, 99));
    EXPECT_THAT(Grid->Events, testing::Contains("layout"));
}

TEST_F(EditingTest, InsertTakesGeneratorValuesBeforeOnNewRecordAndCancelReturns) {
    TestDb->Execute({"SET GENERATOR GEN_ITEM_ID TO 10"});
    Use("SELECT * FROM ITEM ORDER BY ID");
    DS->SetKeyColumns("ID");
    DS->GetGeneratorFields()->SetText("ID;GEN_ITEM_ID;1");
    int seen = 0;
    DS->OnNewRecord = [&seen](TDataSet* DataSet) { seen = DataSet->FieldByName("ID")->GetAsInteger(); };
    Source->SetDataSet(DS.get());
    Grid = std::make_unique<TRecordingLink>();
    Grid->SetDataSource(Source.get());
    DS->Open();
    DS->Next();
    DS->Insert();
    EXPECT_EQ(seen, 11);
    DS->FieldByName("DESCRIPTION")->SetAsString("Fig");
    DS->Post();
    EXPECT_EQ(Id(), 11);
    EXPECT_THAT(Grid->Window(), ElementsAre(1, 2, 3, 4, 11));
    EXPECT_THAT(EngineOrder("ID"), ElementsAre(1, 2, 3, 4, 11));

    // A cancelled insert (or append) goes back to the row that was current.
    DS->First();
    DS->Next();
    DS->Insert();
    EXPECT_EQ(seen, 12);
    DS->Cancel();
    EXPECT_EQ(Id(), 2);
    DS->Append();
    DS->Cancel();
    EXPECT_EQ(Id(), 2);
    EXPECT_THAT(Grid->Window(), ElementsAre(1, 2, 3, 4, 11));

    // On an empty dataset the cancel leaves the position before the first row.
    DS->SetWhereClause("ID < 0");
    DS->RefreshRows();
    ASSERT_TRUE(DS->IsEmpty());
    DS->Insert();
    DS->Cancel();
    EXPECT_TRUE(DS->IsEmpty());
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(DS->PositionBuffer()), -1);
}

TEST_F(EditingTest, TwoUsersInsertingThroughOneGeneratorGetDistinctRows) {
    OpenItems();
    DS->GetGeneratorFields()->SetText("ID;GEN_ITEM_ID;1");
    auto db2 = TestDb->Attach();
    TIBTransaction tr2(nullptr);
    tr2.SetDefaultDatabase(db2.get());
    TIBRowvaneKV other(nullptr);
    other.SetDatabase(db2.get());
    other.SetTransaction(&tr2);
    other.GetSelectSQL()->SetText("SELECT * FROM ITEM");
    other.SetKeyColumns("ID");
    other.GetGeneratorFields()->SetText("ID;GEN_ITEM_ID;1");
    other.Open();
    std::vector<int> ids;
    for (int i = 0; i < 3; ++i) {
        for (TIBRowvaneKV* ds : {static_cast<TIBRowvaneKV*>(DS.get()), &other}) {
            ds->Insert();
            ds->FieldByName("DESCRIPTION")->SetAsString("row " + IntToStr(static_cast<int>(ids.size())));
            ds->Post();
            ids.push_back(ds->FieldByName("ID")->GetAsInteger());
        }
    }
    std::vector<int> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
    other.Close();
    tr2.Commit();
    Commit();
    EXPECT_EQ(EngineOrder("ID").size(), 4u + 6u);
}

// ---------------------------------------------------------------------------
// Locking, re-reading, and other users

TEST_F(EditingTest, ALockConflictFailsClearlyKeepsTheEditAndWritesNothing) {
    OpenItems();
    DS->Next();                                                 // 2, Pear, price NULL
    OtherUser().Exec("UPDATE ITEM SET PRICE = 5 WHERE ID = 2"); // holds the row

    // Optimistic: the post fails, the user's change is still in the record.
    DS->Edit();
    DS->FieldByName("PRICE")->SetAsInteger(7);
    try {
        DS->Post();
        ADD_FAILURE() << "the post went through a locked row";
    } catch (const EIBRVError& e) {
        ADD_FAILURE() << "not the engine's error: " << e.Message();
    } catch (const EIBError& e) {
        EXPECT_THAT(e.Message(), testing::HasSubstr("conflict")) << e.Message();
    }
    EXPECT_EQ(DS->GetState(), dsEdit);
    EXPECT_EQ(DS->FieldByName("PRICE")->GetAsInteger(), 7);
    TIBSQL* mine = NewSQL("SELECT PRICE FROM ITEM WHERE ID = 2");
    mine->ExecQuery();
    EXPECT_TRUE(mine->GetFields(0)->GetIsNull());
    mine->Close();
    DS->Cancel();

    // Pessimistic: the edit itself fails and stays in browse.
    DS->SetPessimisticLocking(true);
    EXPECT_THROW(DS->Edit(), EIBError);
    EXPECT_EQ(DS->GetState(), dsBrowse);
    EXPECT_EQ(Id(), 2);

    // Once the other user gives up, both ways work.
    OtherUser().Rollback();
    DS->Edit();
    DS->FieldByName("PRICE")->SetAsInteger(7);
    // Now the row is ours: the other user cannot change it.
    EXPECT_THROW(OtherUser().Exec("UPDATE ITEM SET PRICE = 5 WHERE ID = 2"), EIBError);
    OtherUser().Rollback();
    DS->Post();
    Commit();
    EXPECT_EQ(Stored("PRICE", 2), "7.00");
}

TEST_F(EditingTest, ARowGoneOrReKeyedElsewhereIsReportedNotSilentlyMissed) {
    struct Case {
        const char* Name;
        const char* Elsewhere;
        bool Lock, RefreshFirst, Deleting;
    } cases[] = {
        {"post after delete", "DELETE FROM ITEM WHERE ID = 2", false, false, false},
        {"post after re-key", "UPDATE ITEM SET ID = 20 WHERE ID = 2", false, false, false},
        {"delete after delete", "DELETE FROM ITEM WHERE ID = 2", false, false, true},
        {"lock after delete", "DELETE FROM ITEM WHERE ID = 2", true, false, false},
        {"re-read after re-key", "UPDATE ITEM SET ID = 20 WHERE ID = 2", false, true, false},
        {"lock and re-read", "DELETE FROM ITEM WHERE ID = 2", true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        OpenItems();
        DS->SetPessimisticLocking(c.Lock);
        DS->SetRefreshBeforeEdit(c.RefreshFirst);
        DS->Next();
        OtherUser().Run(c.Elsewhere);
        // The next case starts from the sample rows again.
        auto restore = [this] {
            DS->Close();
            OtherUser().Run("DELETE FROM ITEM WHERE ID IN (2, 20)");
            OtherUser().Run("INSERT INTO ITEM VALUES (2, 'Pear', NULL, NULL)");
        };
        if (c.Deleting) {
            EXPECT_RV_ERROR(DS->Delete(), rveRecordNotFound);
            EXPECT_EQ(DS->GetState(), dsBrowse);
            restore();
            continue;
        }
        if (c.Lock || c.RefreshFirst) {
            EXPECT_RV_ERROR(DS->Edit(), rveRecordNotFound);
            EXPECT_EQ(DS->GetState(), dsBrowse);
            restore();
            continue;
        }
        DS->Edit();
        DS->FieldByName("DESCRIPTION")->SetAsString("mine");
        EXPECT_RV_ERROR(DS->Post(), rveRecordNotFound);
        EXPECT_EQ(DS->GetState(), dsEdit);
        EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "mine");
        DS->Cancel();
        TIBSQL* q = NewSQL("SELECT COUNT(*) FROM ITEM WHERE DESCRIPTION = 'mine'");
        q->ExecQuery();
        EXPECT_EQ(q->GetFields(0)->GetAsLong(), 0);
        q->Close();
        restore();
    }
}

TEST_F(EditingTest, ALockedEditStartsFromTheRowAsCommittedAndPostKeepsWhatOthersWrote) {
    for (bool refreshBeforeEdit : {false, true}) {
        SCOPED_TRACE(refreshBeforeEdit ? "RefreshBeforeEdit on" : "RefreshBeforeEdit off");
        OpenItems();
        DS->SetPessimisticLocking(true);
        DS->SetRefreshBeforeEdit(refreshBeforeEdit);
        DS->Next(); // 2, Pear, price NULL
        OtherUser().Exec("UPDATE ITEM SET PRICE = 5 WHERE ID = 2");
        EXPECT_THROW(DS->Edit(), EIBError); // the other user holds the row
        OtherUser().Commit();
        EXPECT_TRUE(DS->FieldByName("PRICE")->GetIsNull()); // the window was read before
        DS->Edit();
        EXPECT_EQ(DS->FieldByName("PRICE")->GetAsString(), "5");
        DS->FieldByName("DESCRIPTION")->SetAsString("Pear, mine");
        DS->Post();
        Commit();
        EXPECT_EQ(Stored("PRICE", 2), "5.00");
        EXPECT_EQ(Stored("DESCRIPTION", 2), "Pear, mine");
        OtherUser().Run("UPDATE ITEM SET PRICE = NULL, DESCRIPTION = 'Pear' WHERE ID = 2");
        DS->Close();
    }
}

TEST_F(EditingTest, CancelNeedsNoTransactionAndPutsBackTheRowOrTheWindow) {
    FillItems(100);
    OpenItems();
    DS->SetPessimisticLocking(true);
    DS->MoveBy(30);
    std::vector<int> window = Grid->Window();
    AnsiString description = DS->FieldByName("DESCRIPTION")->GetAsString();

    DS->Edit();
    DS->FieldByName("DESCRIPTION")->SetAsString("changed");
    Tr->Rollback();
    DS->Cancel();
    EXPECT_EQ(DS->GetState(), dsBrowse);
    EXPECT_EQ(Id(), 31);
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), description);
    EXPECT_EQ(Grid->Window(), window);

    Tr->StartTransaction();
    DS->Insert();
    DS->FieldByName("DESCRIPTION")->SetAsString("new");
    Tr->Rollback();
    DS->Cancel();
    EXPECT_EQ(DS->GetState(), dsBrowse);
    EXPECT_EQ(Id(), 31);
    EXPECT_EQ(Grid->Window(), window);

    // In a new transaction the window reads on from there.
    Tr->StartTransaction();
    DS->MoveBy(20);
    EXPECT_EQ(Grid->Window(), WindowAround(EngineOrder("ID"), Id(), Grid->Active()));
}

TEST_F(EditingTest, RefreshBeforeEditReadsWhatAnotherUserCommitted) {
    OpenItems();
    DS->SetPessimisticLocking(true);
    DS->SetRefreshBeforeEdit(true);
    OtherUser().Run("UPDATE ITEM SET DESCRIPTION = 'Green apple', PRICE = 3 WHERE ID = 1");
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "Apple");
    DS->Edit();
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "Green apple");
    DS->FieldByName("QUANTITY")->SetAsInteger(8);
    DS->Post();
    Commit();
    EXPECT_EQ(Stored("DESCRIPTION", 1), "Green apple");
    EXPECT_EQ(Stored("PRICE", 1), "3.00");
    EXPECT_EQ(Stored("QUANTITY", 1), "8.00");
}

TEST_F(EditingTest, RefreshActiveRecordNeedsARowThatStillPassesTheFilter) {
    OpenItems();
    OtherUser().Run("UPDATE ITEM SET DESCRIPTION = 'Red apple' WHERE ID = 1");
    DS->RefreshActiveRecord();
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "Red apple");
    EXPECT_EQ(Id(), 1);
    // The client filter now rejects the row: code 3, the record stays.
    DS->SetOnFilterRecord([](TDataSet* DataSet, bool& Accept) {
        Accept = DataSet->FieldByName("DESCRIPTION")->GetAsString() != "Gone apple";
    });
    DS->SetFiltered(true);
    OtherUser().Run("UPDATE ITEM SET DESCRIPTION = 'Gone apple' WHERE ID = 1");
    EXPECT_RV_ERROR(DS->RefreshActiveRecord(), rveRecordNotFound);
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "Red apple");
    DS->SetFiltered(false);
    DS->SetWhereClause("ID < 0");
    DS->RefreshRows();
    EXPECT_RV_ERROR(DS->RefreshActiveRecord(), rveEmptyDataset);
}

TEST_F(EditingTest, SwitchingLockingOffFreesTheLockStatement) {
    OpenItems();
    DS->SetPessimisticLocking(true);
    DS->Edit();
    DS->Cancel();
    ASSERT_NE(DS->QryLock(), nullptr);
    EXPECT_TRUE(DS->QryLock()->GetPrepared());
    DS->SetPessimisticLocking(false);
    EXPECT_EQ(DS->QryLock(), nullptr);
    DS->Edit(); // no lock
    DS->Cancel();
    EXPECT_EQ(DS->QryLock(), nullptr);
    DS->SetPessimisticLocking(true);
    DS->Edit();
    ASSERT_NE(DS->QryLock(), nullptr);
    EXPECT_TRUE(DS->QryLock()->GetPrepared());
    DS->Cancel();
}

// A new row posted without a key (the engine's trigger gives it one) cannot
// be read back by the null key it holds: the row current before the insert
// stays current, and the window shows the rows, the new one among them.
TEST_F(EditingTest, AnInsertWithoutAKeyIsWrittenAndTheWindowStaysFull) {
    TestDb->Execute({"SET GENERATOR GEN_ITEM_ID TO 100"});
    OpenItems();
    DS->Next();
    DS->Insert();
    DS->FieldByName("DESCRIPTION")->SetAsString("Fig");
    DS->Post();
    EXPECT_THAT(EngineOrder("ID"), ElementsAre(1, 2, 3, 4, 101));
    EXPECT_EQ(DS->GetState(), dsBrowse);
    EXPECT_EQ(Id(), 2);
    EXPECT_THAT(Grid->Window(), ElementsAre(1, 2, 3, 4, 101));
    // Into an empty dataset: the first row becomes current.
    DS->SetWhereClause("ID > 101");
    DS->RefreshRows();
    ASSERT_TRUE(DS->IsEmpty());
    DS->Insert();
    DS->FieldByName("DESCRIPTION")->SetAsString("Kiwi");
    DS->Post();
    EXPECT_THAT(Grid->Window(), ElementsAre(102));
    EXPECT_EQ(Id(), 102);
}
