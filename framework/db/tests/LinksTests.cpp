// Data sources, data links and field data links.
#include "DataSetFixture.h"

using ::testing::ElementsAre;

TEST_F(DataSetTest, DataSourceMirrorsTheStateAndReportsChanges) {
    std::vector<TDataSetState> states;
    std::vector<std::string> changes;
    int updates = 0;
    Source->OnStateChange = [&](TObject*) { states.push_back(Source->GetState()); };
    Source->OnDataChange = [&](TObject*, TField* field) {
        changes.push_back(field ? field->GetFieldName() : "nil");
    };
    Source->OnUpdateData = [&](TObject*) { ++updates; };
    DS->Open();
    DS->Next();
    DS->Edit();
    DS->FieldByName("NAME")->SetAsString("x");
    DS->Post();
    DS->Close();
    EXPECT_THAT(states, ElementsAre(dsBrowse, dsEdit, dsBrowse, dsInactive));
    EXPECT_THAT(changes, ElementsAre("nil", "nil", "nil", "NAME", "nil"));
    EXPECT_EQ(updates, 1);

    Source->SetEnabled(false);
    DS->Open();
    EXPECT_EQ(Source->GetState(), dsInactive);
    EXPECT_FALSE(Link->Active());
    Source->SetEnabled(true);
    EXPECT_TRUE(Link->Active());
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));
}

TEST_F(DataSetTest, ALinkOfOneBufferFollowsTheActiveRecord) {
    TRecordingLink navigator(Events, "nav");
    navigator.SetDataSource(Source);
    OpenQuietly();
    DS->MoveBy(2);
    EXPECT_EQ(navigator.GetRecordCount(), 1);
    EXPECT_EQ(navigator.GetActiveRecord(), 0);
    EXPECT_THAT(navigator.Window(), ElementsAre(3));
    EXPECT_EQ(navigator.MoveBy(-1), -1);
    EXPECT_THAT(navigator.Window(), ElementsAre(2));
    EXPECT_FALSE(navigator.Bof());
    EXPECT_FALSE(navigator.Eof());
}

TEST_F(DataSetTest, LinksEditThroughAnAutoEditSourceUnlessReadOnly) {
    OpenQuietly();
    Link->SetReadOnly(true);
    EXPECT_FALSE(Link->Edit());
    EXPECT_EQ(DS->State(), dsBrowse);
    Link->SetReadOnly(false);
    Source->SetAutoEdit(false);
    EXPECT_FALSE(Link->Edit());
    EXPECT_EQ(DS->State(), dsBrowse);
    Source->SetAutoEdit(true);
    EXPECT_TRUE(Link->Edit());
    EXPECT_EQ(DS->State(), dsEdit);
    EXPECT_TRUE(Link->GetEditing());
}

TEST_F(DataSetTest, LinksAndSourcesLetGoOfEachOther) {
    OpenQuietly();
    {
        TRecordingLink wide(Events, "wide");
        wide.SetBufferCount(6);
        wide.SetDataSource(Source);
        EXPECT_EQ(DS->RingBufferCount(), 6);
    } // a destroyed link no longer widens the ring
    EXPECT_EQ(DS->RingBufferCount(), 3);

    delete Source; // the link is left without a source and inactive
    EXPECT_EQ(Link->GetDataSource(), nullptr);
    EXPECT_FALSE(Link->Active());
    EXPECT_EQ(Link->GetRecordCount(), 0);
}

TEST_F(DataSetTest, RemovingLinksAndSourcesReadsNothingWhateverTheReadsWouldDo) {
    Table.Rows.clear();
    Table.AddRows(1, 2); // a window that is not full: the end was reached
    OpenQuietly();
    DS->Next();
    auto wide = std::make_unique<TRecordingLink>(Events, "wide");
    wide->SetBufferCount(6);
    wide->SetDataSource(Source);
    DS->FetchesBeforeFailure = 0; // every read fails from here on
    Events.clear();
    wide.reset();
    Link->SetBufferCount(1);
    EXPECT_EQ(DS->RingBufferCount(), 1);
    EXPECT_EQ(ActiveKey(), 2);
    delete Source;
    EXPECT_THAT(Take(), ::testing::Not(::testing::Contains(::testing::StartsWith("GetRecord"))));
    EXPECT_FALSE(Link->Active());
}

TEST_F(DataSetTest, AFailureWhileASourceGoesAwayIsRaisedByTheDatasetsNextOperation) {
    auto second = std::make_unique<TDataSource>(nullptr);
    second->SetDataSet(DS);
    TFieldDataLink field;
    field.SetDataSource(second.get());
    OpenQuietly();
    field.OnActiveChange = [](TObject*) { throw EDatabaseError("control failed"); };
    second.reset(); // nothing leaves the destructor
    EXPECT_EQ(field.GetDataSource(), nullptr);
    EXPECT_DB_ERROR(DS->Next(), "control failed");
    DS->Next();
    EXPECT_EQ(ActiveKey(), 2);
}

TEST_F(DataSetTest, DestroyingTheDatasetDeactivatesItsLinks) {
    TFieldDataLink fieldLink;
    fieldLink.SetDataSource(Source);
    fieldLink.SetFieldName("NAME");
    OpenQuietly();
    EXPECT_NE(fieldLink.GetField(), nullptr);
    delete DS;
    EXPECT_EQ(Source->GetDataSet(), nullptr);
    EXPECT_FALSE(Link->Active());
    EXPECT_EQ(fieldLink.GetField(), nullptr);
    EXPECT_EQ(Source->GetState(), dsInactive);
}

class FieldLinkTest : public DataSetTest {
protected:
    FieldLinkTest() {
        FieldLink.SetDataSource(Source);
        FieldLink.SetFieldName("NAME");
        FieldLink.OnDataChange = [this](TObject*) {
            ++DataChanges;
            Shown = FieldLink.GetField() ? FieldLink.GetField()->GetDisplayText() : "";
        };
        FieldLink.OnEditingChange = [this](TObject*) { ++EditingChanges; };
        FieldLink.OnUpdateData = [this](TObject*) { FieldLink.GetField()->SetAsString(Typed); };
    }
    TFieldDataLink FieldLink;
    int DataChanges = 0, EditingChanges = 0;
    AnsiString Shown, Typed;
};

TEST_F(FieldLinkTest, BindsItsFieldAndShowsEachRecord) {
    DS->Open();
    ASSERT_EQ(FieldLink.GetField(), DS->FieldByName("NAME"));
    EXPECT_EQ(Shown, "row1");
    DS->Next();
    EXPECT_EQ(Shown, "row2");
    DS->Edit();
    int before = DataChanges;
    DS->FieldByName("ID")->SetAsInteger(20); // another field: not shown again
    EXPECT_EQ(DataChanges, before);
    DS->FieldByName("NAME")->SetAsString("direct");
    EXPECT_EQ(DataChanges, before + 1);
    EXPECT_EQ(Shown, "direct");
    DS->Cancel();
    DS->Close();
    EXPECT_EQ(FieldLink.GetField(), nullptr);
    EXPECT_EQ(Shown, "");
}

TEST_F(FieldLinkTest, EditingWritesTheControlsValueWhenTheRecordIsUpdated) {
    DS->Open();
    EXPECT_FALSE(FieldLink.GetEditing());
    EXPECT_TRUE(FieldLink.Edit());
    EXPECT_EQ(DS->State(), dsEdit);
    EXPECT_TRUE(FieldLink.GetEditing());
    EXPECT_EQ(EditingChanges, 1);

    Typed = "typed";
    FieldLink.Modified();
    EXPECT_TRUE(FieldLink.GetModified());
    DS->Post(); // the update asks the link for its value
    EXPECT_FALSE(FieldLink.GetEditing());
    EXPECT_EQ(EditingChanges, 2);
    EXPECT_EQ(DS->FieldByName("NAME")->GetAsString(), "typed");
    EXPECT_FALSE(FieldLink.GetModified());

    FieldLink.Edit();
    FieldLink.Modified();
    FieldLink.Reset(); // back to the field's value: nothing to write
    Typed = "dropped";
    FieldLink.UpdateRecord();
    EXPECT_EQ(DS->FieldByName("NAME")->GetAsString(), "typed");
    DS->Cancel();
}

TEST_F(FieldLinkTest, NoEditingForReadOnlyOrCalculatedFields) {
    DS->Open();
    FieldLink.SetReadOnly(true);
    EXPECT_FALSE(FieldLink.CanModify());
    EXPECT_FALSE(FieldLink.Edit());
    EXPECT_EQ(DS->State(), dsBrowse);
    FieldLink.SetReadOnly(false);

    DS->FieldByName("NAME")->SetReadOnly(true);
    EXPECT_FALSE(FieldLink.Edit());
    DS->FieldByName("NAME")->SetReadOnly(false);

    DS->Edit(); // editing started elsewhere: the link edits too
    EXPECT_TRUE(FieldLink.GetEditing());
    DS->Cancel();
    EXPECT_FALSE(FieldLink.GetEditing());
}

TEST_F(FieldLinkTest, AnUnknownFieldNameFailsWhenTheLinkActivates) {
    FieldLink.SetFieldName("MISSING");
    EXPECT_DB_ERROR(DS->Open(), "MemData: Field 'MISSING' not found");
}
