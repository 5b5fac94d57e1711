// Edit, insert, append, post, cancel and delete: the order of the calls and
// events, the window afterwards, and calculated fields.
#include "DataSetFixture.h"

using ::testing::ElementsAre;

TEST_F(DataSetTest, EditAndPostFollowTheClassicSequence) {
    OpenQuietly();
    DS->Edit();
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeEdit", "InternalSetToRecord(1)", "InternalEdit",
                           "link:EditingChanged(on)", "link:RecordChanged(nil)", "AfterEdit"}));
    EXPECT_EQ(DS->State(), dsEdit);
    EXPECT_FALSE(DS->Modified());

    DS->FieldByName("NAME")->SetAsString("changed");
    EXPECT_EQ(Take(), (Log{"link:RecordChanged(NAME)"}));
    EXPECT_TRUE(DS->Modified());

    DS->Post();
    EXPECT_EQ(Take(), (Log{"link:UpdateData", "link:CheckBrowseMode", "BeforePost", "InternalPost",
                           "link:EditingChanged(off)", "GetRecord(gmCurrent)=OK:1", "GetRecord(gmNext)=OK:2",
                           "GetRecord(gmNext)=OK:3", "link:DataSetChanged", "AfterPost"}));
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(DS->FieldByName("NAME")->GetAsString(), "changed");
    EXPECT_FALSE(DS->Modified());
}

TEST_F(DataSetTest, ScrollingWhileEditingPostsAChangeAndCancelsNone) {
    OpenQuietly();
    DS->Edit();
    DS->Next(); // unchanged: cancelled
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(ActiveKey(), 2);
    DS->Edit();
    DS->FieldByName("NAME")->SetAsString("two");
    Events.clear();
    DS->Next(); // changed: posted before the move
    EXPECT_THAT(Take(), ::testing::IsSupersetOf({"BeforePost", "InternalPost", "AfterPost", "BeforeScroll"}));
    EXPECT_EQ(ActiveKey(), 3);
    DS->Prior();
    EXPECT_EQ(DS->FieldByName("NAME")->GetAsString(), "two");
}

TEST_F(DataSetTest, InsertAndCancelRestoreTheWindow) {
    OpenQuietly();
    DS->Next(); // on 2
    Events.clear();
    DS->Insert();
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeInsert", "BeforeScroll", "InternalInsert",
                           "link:EditingChanged(on)", "OnNewRecord", "link:DataSetChanged", "AfterInsert",
                           "AfterScroll"}));
    EXPECT_EQ(DS->State(), dsInsert);
    EXPECT_THAT(Link->Window(), ElementsAre(1, 0, 2)); // 3 left the full ring
    EXPECT_EQ(Link->GetActiveRecord(), 1);
    EXPECT_TRUE(DS->FieldByName("ID")->GetIsNull());

    DS->Cancel();
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeCancel", "BeforeScroll", "InternalSetToRecord(2)",
                           "InternalCancel", "link:EditingChanged(off)", "GetRecord(gmCurrent)=OK:2",
                           "GetRecord(gmPrior)=OK:1", "InternalSetToRecord(2)", "GetRecord(gmNext)=OK:3",
                           "link:DataSetChanged", "AfterCancel", "AfterScroll"}));
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));
    EXPECT_EQ(ActiveKey(), 2);
    EXPECT_EQ(Table.Keys().size(), 10u);
}

TEST_F(DataSetTest, CancelNeedsNoReadAndPutsTheWindowBackAsItWas) {
    OpenQuietly();
    DS->Next();
    DS->Insert(); // into the full ring: 3 leaves it
    DS->FetchesBeforeFailure = 0;
    DS->Cancel();
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));
    EXPECT_EQ(ActiveKey(), 2);

    DS->Edit();
    DS->FieldByName("NAME")->SetAsString("changed");
    DS->Cancel();
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(ActiveKey(), 2);

    DS->FetchesBeforeFailure = -1;
    DS->Append();
    ASSERT_THAT(Link->Window(), ElementsAre(9, 10, 0));
    DS->FetchesBeforeFailure = 0;
    DS->Cancel(); // the rows read before the appended one stay
    EXPECT_THAT(Link->Window(), ElementsAre(9, 10));
    EXPECT_EQ(ActiveKey(), 10);
    DS->FetchesBeforeFailure = -1;
    DS->MoveBy(-2);
    EXPECT_THAT(Link->Window(), ElementsAre(8, 9, 10));
    DS->Close();

    // Into a ring that is not full: it grows by the new record and shrinks back.
    Table.Rows.clear();
    Table.AddRows(1, 2);
    OpenQuietly();
    DS->Next();
    DS->Insert();
    ASSERT_THAT(Link->Window(), ElementsAre(1, 0, 2));
    DS->FetchesBeforeFailure = 0;
    DS->Cancel();
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2));
    EXPECT_EQ(ActiveKey(), 2);
}

TEST_F(DataSetTest, InsertedRecordIsPostedInItsPlace) {
    OpenQuietly();
    DS->Next();
    DS->Insert();
    DS->FieldByName("ID")->SetAsInteger(15);
    DS->FieldByName("NAME")->SetAsString("new");
    DS->Post();
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(ActiveKey(), 15);
    // Kept at its row of the window; with nothing after it the window fills from before.
    EXPECT_THAT(Link->Window(), ElementsAre(9, 10, 15));
    EXPECT_EQ(Link->GetActiveRecord(), 2);
    EXPECT_EQ(Table.Keys().back(), 15);
}

TEST_F(DataSetTest, InsertAndCancelOnAnEmptyDatasetGoThroughTheBookmarkFlags) {
    Table.Rows.clear();
    OpenQuietly();
    DS->Insert();
    EXPECT_THAT(Link->Window(), ElementsAre(0));
    Events.clear();
    DS->Cancel(); // the inserted buffer stands before the first row: InternalFirst
    EXPECT_THAT(Take(),
                ::testing::IsSupersetOf({"InternalFirst", "InternalCancel", "GetRecord(gmCurrent)=Error",
                                         "GetRecord(gmNext)=EOF", "GetRecord(gmPrior)=BOF"}));
    EXPECT_TRUE(DS->IsEmpty());
    EXPECT_EQ(Link->GetRecordCount(), 0);

    DS->Edit(); // editing an empty dataset inserts
    EXPECT_EQ(DS->State(), dsInsert);
    DS->Cancel();
}

TEST_F(DataSetTest, AppendFetchesFromTheEndAndPostsThere) {
    OpenQuietly();
    DS->Append();
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeInsert", "BeforeScroll", "InternalLast",
                           "GetRecord(gmPrior)=OK:10", "GetRecord(gmPrior)=OK:9", "link:EditingChanged(on)",
                           "OnNewRecord", "link:DataSetChanged", "AfterInsert", "AfterScroll"}));
    EXPECT_THAT(Link->Window(), ElementsAre(9, 10, 0));
    EXPECT_EQ(Link->GetActiveRecord(), 2);
    DS->FieldByName("ID")->SetAsInteger(11);
    Events.clear();
    DS->Post(); // the appended buffer stands after the last row: InternalLast before the post
    EXPECT_EQ(Take(),
              (Log{"link:UpdateData", "link:CheckBrowseMode", "BeforePost", "InternalLast", "InternalPost",
                   "link:EditingChanged(off)", "GetRecord(gmCurrent)=OK:11", "GetRecord(gmPrior)=OK:10",
                   "GetRecord(gmPrior)=OK:9", "link:DataSetChanged", "AfterPost"}));
    EXPECT_THAT(Link->Window(), ElementsAre(9, 10, 11));
}

TEST_F(DataSetTest, NewRecordHandlerSeesTheInsertStateAndAFailureDropsTheRecord) {
    OpenQuietly();
    DS->OnNewRecord = [](TDataSet* ds) {
        EXPECT_EQ(ds->State(), dsInsert);
        ds->FieldByName("ID")->SetAsInteger(99);
    };
    DS->Insert();
    EXPECT_EQ(ActiveKey(), 99);
    EXPECT_FALSE(DS->Modified()); // values set by OnNewRecord are not a change
    DS->Cancel();

    DS->OnNewRecord = [](TDataSet*) { throw EDatabaseError("no new rows"); };
    EXPECT_DB_ERROR(DS->Insert(), "no new rows");
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));
    EXPECT_EQ(ActiveKey(), 1);
}

TEST_F(DataSetTest, DeleteAtTheEndsAndOfTheLastRow) {
    OpenQuietly();
    DS->Delete();
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeDelete", "BeforeScroll", "InternalSetToRecord(1)",
                           "InternalDelete(1)", "GetRecord(gmCurrent)=Error", "GetRecord(gmNext)=OK:2",
                           "GetRecord(gmNext)=OK:3", "GetRecord(gmNext)=OK:4", "link:DataSetChanged",
                           "AfterDelete", "AfterScroll"}));
    EXPECT_THAT(Link->Window(), ElementsAre(2, 3, 4));
    EXPECT_EQ(ActiveKey(), 2);

    DS->Last();
    DS->Delete(); // nothing follows: the prior record takes its place
    EXPECT_THAT(Link->Window(), ElementsAre(7, 8, 9));
    EXPECT_EQ(ActiveKey(), 9);
    EXPECT_EQ(Link->GetActiveRecord(), 2);

    DS->MoveBy(-1);
    DS->Delete(); // in the middle the next record takes its place
    EXPECT_THAT(Link->Window(), ElementsAre(6, 7, 9));
    EXPECT_EQ(ActiveKey(), 9);

    while (!DS->IsEmpty())
        DS->Delete();
    EXPECT_TRUE(Table.Rows.empty());
    EXPECT_TRUE(DS->Bof());
    EXPECT_TRUE(DS->Eof());
    EXPECT_DB_ERROR(DS->Delete(), "MemData: Cannot perform this operation on an empty dataset");
}

TEST_F(DataSetTest, DeleteWhileInsertingCancels) {
    OpenQuietly();
    DS->Insert();
    DS->Delete();
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Table.Keys().size(), 10u);
}

TEST_F(DataSetTest, ErrorEventsDecideBetweenFailAbortAndRetry) {
    OpenQuietly();
    std::vector<TDataAction> answers;
    DS->OnPostError = [&](TDataSet*, EDatabaseError& e, TDataAction& action) {
        EXPECT_EQ(e.Message(), "post failed");
        action = answers.front();
        answers.erase(answers.begin());
    };
    DS->Edit();
    DS->FieldByName("NAME")->SetAsString("x");

    answers = {daRetry};
    DS->FailPosts = 1;
    DS->Post();
    EXPECT_EQ(DS->State(), dsBrowse);

    DS->Edit();
    DS->FieldByName("NAME")->SetAsString("y");
    answers = {daAbort};
    DS->FailPosts = 1;
    EXPECT_THROW(DS->Post(), EAbort);
    EXPECT_EQ(DS->State(), dsEdit); // the edit stays for the user to settle

    answers = {daFail};
    DS->FailPosts = 1;
    EXPECT_DB_ERROR(DS->Post(), "post failed");
    EXPECT_EQ(DS->State(), dsEdit);
    DS->Cancel();
    EXPECT_EQ(DS->FieldByName("NAME")->GetAsString(), "x");
}

TEST_F(DataSetTest, EditingOutsideTheEditStatesIsRefused) {
    OpenQuietly();
    EXPECT_DB_ERROR(DS->Post(), "MemData: Dataset not in edit or insert mode");
    EXPECT_THROW(DS->FieldByName("NAME")->SetAsString("x"), EDatabaseError);
    DS->ReadOnly = true;
    EXPECT_DB_ERROR(DS->Edit(), "MemData: Cannot modify a read-only dataset");
    EXPECT_DB_ERROR(DS->Insert(), "MemData: Cannot modify a read-only dataset");
    EXPECT_DB_ERROR(DS->Delete(), "MemData: Cannot modify a read-only dataset");
    EXPECT_EQ(Table.Keys().size(), 10u);
}

TEST_F(DataSetTest, ClearFieldsEmptiesTheEditedRecord) {
    OpenQuietly();
    DS->Edit();
    DS->ClearFields();
    EXPECT_TRUE(DS->FieldByName("NAME")->GetIsNull());
    DS->Cancel();
    EXPECT_EQ(DS->FieldByName("NAME")->GetAsString(), "row1");
}

// Calculated fields: persistent fields made by code before open.
class CalcFieldTest : public DataSetTest {
protected:
    CalcFieldTest() {
        auto* id = new TIntegerField(&Owner);
        id->SetFieldName("ID");
        id->SetDataSet(DS);
        auto* name = new TStringField(&Owner);
        name->SetFieldName("NAME");
        name->SetSize(10);
        name->SetDataSet(DS);
        Doubled = new TIntegerField(&Owner);
        Doubled->SetFieldName("DOUBLED");
        Doubled->SetFieldKind(fkCalculated);
        Doubled->SetDataSet(DS);
        DS->OnCalcFields = [this](TDataSet* ds) {
            ++Calculations;
            StateInHandler = ds->State();
            BufferSeen = DS->CalcBuffer() != nullptr;
            TField* key = ds->FieldByName("ID");
            if (!key->GetIsNull()) Doubled->SetAsInteger(key->GetAsInteger() * 2);
        };
    }
    std::vector<int> DoubledWindow() {
        std::vector<int> values;
        int saved = Link->GetActiveRecord();
        for (int i = 0; i < Link->GetRecordCount(); ++i) {
            Link->SetActiveRecord(i);
            values.push_back(Doubled->GetAsInteger());
        }
        Link->SetActiveRecord(saved);
        return values;
    }
    TIntegerField* Doubled;
    int Calculations = 0;
    TDataSetState StateInHandler = dsInactive;
    bool BufferSeen = false;
};

TEST_F(CalcFieldTest, EveryFetchedRecordIsCalculatedInTheCalcState) {
    OpenQuietly();
    EXPECT_FALSE(DS->GetDefaultFields());
    EXPECT_EQ(DS->GetFieldCount(), 3);
    EXPECT_EQ(Doubled->GetFieldNo(), -1);
    EXPECT_EQ(Doubled->GetOffset(), 0);
    EXPECT_EQ(DS->GetCalcFieldsSize(), 5); // flag byte and a 32-bit value
    EXPECT_EQ(StateInHandler, dsCalcFields);
    EXPECT_TRUE(BufferSeen);
    EXPECT_EQ(Calculations, 3);
    EXPECT_THAT(DoubledWindow(), ElementsAre(2, 4, 6));
    DS->Last();
    EXPECT_THAT(DoubledWindow(), ElementsAre(16, 18, 20));
    EXPECT_FALSE(Doubled->GetCanModify());

    DS->Close(); // persistent fields stay
    EXPECT_EQ(DS->GetFieldCount(), 3);
    EXPECT_EQ(Doubled->GetFieldNo(), 0);
}

TEST_F(CalcFieldTest, ChangingADataFieldRecalculatesUnlessAutoCalcIsOff) {
    OpenQuietly();
    DS->Edit();
    DS->FieldByName("ID")->SetAsInteger(50);
    EXPECT_EQ(Doubled->GetAsInteger(), 100);
    DS->Cancel();
    EXPECT_EQ(Doubled->GetAsInteger(), 2);

    DS->SetAutoCalcFields(false);
    DS->Edit();
    DS->FieldByName("ID")->SetAsInteger(50);
    EXPECT_EQ(Doubled->GetAsInteger(), 2);
    DS->Post();
    EXPECT_EQ(Doubled->GetAsInteger(), 100); // the re-read record is calculated again
}

TEST_F(CalcFieldTest, AnInsertedRecordStartsWithClearedCalculatedFields) {
    OpenQuietly();
    DS->Insert();
    EXPECT_TRUE(Doubled->GetIsNull());
    DS->FieldByName("ID")->SetAsInteger(21);
    EXPECT_EQ(Doubled->GetAsInteger(), 42);
    DS->Cancel();
}
