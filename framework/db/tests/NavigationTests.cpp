// The buffer ring under navigation: window contents, the calls the dataset
// receives, and the events the links hear, in order.
#include "DataSetFixture.h"

using ::testing::ElementsAre;

TEST_F(DataSetTest, OpenFillsTheWindowAndTellsTheLinks) {
    DS->Open();
    EXPECT_EQ(Take(), (Log{"BeforeOpen", "InternalOpen", "GetRecord(gmNext)=OK:1", "GetRecord(gmNext)=OK:2",
                           "GetRecord(gmNext)=OK:3", "link:ActiveChanged", "AfterOpen", "AfterScroll"}));
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));
    EXPECT_EQ(Link->GetActiveRecord(), 0);
    EXPECT_TRUE(DS->Bof());
    EXPECT_FALSE(DS->Eof());
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(DS->LiveBuffers, 4);     // three for the window and the spare
    EXPECT_EQ(DS->GetFieldCount(), 2); // default fields from the definitions

    DS->Close();
    EXPECT_EQ(Take(), (Log{"BeforeClose", "link:ActiveChanged", "InternalClose", "AfterClose"}));
    EXPECT_EQ(DS->LiveBuffers, 0);
    EXPECT_EQ(DS->GetFieldCount(), 0); // default fields go with the close
    EXPECT_FALSE(Link->Active());
}

TEST_F(DataSetTest, OpeningAnEmptyTableLeavesBofAndEof) {
    Table.Rows.clear();
    OpenQuietly();
    EXPECT_TRUE(DS->IsEmpty());
    EXPECT_TRUE(DS->Bof());
    EXPECT_TRUE(DS->Eof());
    EXPECT_EQ(Link->GetRecordCount(), 0);
    EXPECT_EQ(DS->MoveBy(1), 0);
}

TEST_F(DataSetTest, MoveByWalksThroughTheWindowAndFetchesAtItsEdges) {
    OpenQuietly();
    struct Step {
        int Distance, Moved;
        std::vector<int> Window;
        int Active;
        bool Bof, Eof;
    };
    const Step steps[] = {
        {1, 1, {1, 2, 3}, 1, false, false},   {5, 5, {5, 6, 7}, 2, false, false},
        {-4, -4, {3, 4, 5}, 0, false, false}, {20, 7, {8, 9, 10}, 2, false, true},
        {1, 0, {8, 9, 10}, 2, false, true},   {-20, -9, {1, 2, 3}, 0, true, false},
        {-1, 0, {1, 2, 3}, 0, true, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE("MoveBy(" + std::to_string(s.Distance) + ")");
        EXPECT_EQ(DS->MoveBy(s.Distance), s.Moved);
        EXPECT_EQ(Link->Window(), s.Window);
        EXPECT_EQ(Link->GetActiveRecord(), s.Active);
        EXPECT_EQ(DS->Bof(), s.Bof);
        EXPECT_EQ(DS->Eof(), s.Eof);
    }
}

TEST_F(DataSetTest, ScrollingPlacesTheCursorOnTheEdgeBufferOnlyWhenItIsElsewhere) {
    OpenQuietly();
    DS->MoveBy(3); // the cursor stands on the last buffer after the fetch
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeScroll", "GetRecord(gmNext)=OK:4",
                           "link:DataSetScrolled(1)", "AfterScroll"}));
    DS->MoveBy(-3); // back to the top: the cursor must go to the first buffer first
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeScroll", "InternalSetToRecord(2)",
                           "GetRecord(gmPrior)=OK:1", "link:DataSetScrolled(-1)", "AfterScroll"}));
    DS->Prior(); // at BOF: nothing is fetched, the scroll is still reported
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeScroll", "GetRecord(gmPrior)=BOF",
                           "link:DataSetScrolled(0)", "AfterScroll"}));
    EXPECT_TRUE(DS->Bof());
    DS->MoveBy(3);
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeScroll", "InternalSetToRecord(3)",
                           "GetRecord(gmNext)=OK:4", "link:DataSetScrolled(1)", "AfterScroll"}));
}

TEST_F(DataSetTest, CursorPosChangedMakesTheNextPositioningCallTheDataset) {
    OpenQuietly();
    DS->Last();
    DS->UpdateCursorPos();
    Events.clear();
    DS->UpdateCursorPos(); // already there: nothing to do
    EXPECT_TRUE(Events.empty());
    DS->CursorPosChanged();
    DS->UpdateCursorPos();
    EXPECT_EQ(Take(), (Log{"InternalSetToRecord(10)"}));
}

TEST_F(DataSetTest, FirstAndLastRefillTheWindowFromTheEnds) {
    OpenQuietly();
    DS->Last();
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeScroll", "InternalLast", "GetRecord(gmPrior)=OK:10",
                           "GetRecord(gmPrior)=OK:9", "GetRecord(gmPrior)=OK:8", "link:DataSetChanged",
                           "AfterScroll"}));
    EXPECT_THAT(Link->Window(), ElementsAre(8, 9, 10));
    EXPECT_EQ(Link->GetActiveRecord(), 2);
    EXPECT_TRUE(DS->Eof());
    DS->First();
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeScroll", "InternalFirst", "GetRecord(gmNext)=OK:1",
                           "GetRecord(gmNext)=OK:2", "GetRecord(gmNext)=OK:3", "link:DataSetChanged",
                           "AfterScroll"}));
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));
    EXPECT_TRUE(DS->Bof());
}

TEST_F(DataSetTest, RefreshRereadsAroundTheCurrentRecord) {
    OpenQuietly();
    DS->Next();
    Table.DeleteKey(3);
    Table.AddRow({Int64{0}, AnsiString("zero")});
    Events.clear();
    DS->Refresh();
    EXPECT_EQ(Take(),
              (Log{"BeforeRefresh", "link:CheckBrowseMode", "InternalSetToRecord(2)", "InternalRefresh",
                   "GetRecord(gmCurrent)=OK:2", "GetRecord(gmPrior)=OK:1", "InternalSetToRecord(2)",
                   "GetRecord(gmNext)=OK:4", "link:DataSetChanged", "AfterRefresh"}));
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 4));
    EXPECT_EQ(ActiveKey(), 2);
}

TEST_F(DataSetTest, ExactResyncOfAVanishedRecordRaisesRecordNotFound) {
    OpenQuietly();
    DS->Next();
    Table.DeleteKey(2);
    DS->UpdateCursorPos(); // Resync reads the record the cursor stands on
    EXPECT_DB_ERROR(DS->Resync({rmExact}), "MemData: Record not found");
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3)); // the window stays as it was
}

TEST_F(DataSetTest, ResyncFallsBackFromCurrentToNextToPrior) {
    OpenQuietly();
    DS->Next(); // on 2; Resync reads where the cursor stands, so put it there
    Table.DeleteKey(2);
    DS->UpdateCursorPos();
    Events.clear();
    DS->Resync({});
    EXPECT_EQ(Take(), (Log{"GetRecord(gmCurrent)=Error", "GetRecord(gmNext)=OK:3", "GetRecord(gmPrior)=OK:1",
                           "InternalSetToRecord(3)", "GetRecord(gmNext)=OK:4", "link:DataSetChanged"}));
    EXPECT_THAT(Link->Window(), ElementsAre(1, 3, 4));
    EXPECT_EQ(ActiveKey(), 3);

    DS->Last(); // on 10; nothing follows once it is gone
    Table.DeleteKey(10);
    DS->UpdateCursorPos();
    Events.clear();
    DS->Resync({});
    EXPECT_THAT(Take(), ::testing::IsSupersetOf({"GetRecord(gmCurrent)=Error", "GetRecord(gmNext)=EOF",
                                                 "GetRecord(gmPrior)=OK:9"}));
    EXPECT_THAT(Link->Window(), ElementsAre(7, 8, 9));
    EXPECT_EQ(ActiveKey(), 9);

    Table.Rows.clear(); // nothing at all: the window empties
    DS->Resync({});
    EXPECT_TRUE(DS->IsEmpty());
    EXPECT_EQ(Link->GetRecordCount(), 0);
}

TEST_F(DataSetTest, BookmarksReturnToTheirRecordCentred) {
    Link->SetBufferCount(5);
    OpenQuietly();
    DS->MoveBy(6); // on 7
    TBookmark seven = DS->GetBookmark();
    TBookmark sevenAgain = DS->GetBookmark();
    DS->Next();
    TBookmark eight = DS->GetBookmark();
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(DS->CompareBookmarks(seven, sevenAgain), 0);
    EXPECT_NE(DS->CompareBookmarks(seven, eight), 0);
    EXPECT_EQ(DS->CompareBookmarks(nullptr, seven), -1);
    EXPECT_EQ(DS->CompareBookmarks(seven, nullptr), 1);
    EXPECT_EQ(DS->CompareBookmarks(nullptr, nullptr), 0);
    EXPECT_TRUE(DS->BookmarkValid(seven));

    DS->First();
    Events.clear();
    DS->GotoBookmark(seven);
    EXPECT_EQ(Take(), (Log{"link:CheckBrowseMode", "BeforeScroll", "InternalGotoBookmark(7)",
                           "GetRecord(gmCurrent)=OK:7", "GetRecord(gmPrior)=OK:6", "GetRecord(gmPrior)=OK:5",
                           "InternalSetToRecord(7)", "GetRecord(gmNext)=OK:8", "GetRecord(gmNext)=OK:9",
                           "link:DataSetChanged", "AfterScroll"}));
    EXPECT_THAT(Link->Window(), ElementsAre(5, 6, 7, 8, 9));
    EXPECT_EQ(Link->GetActiveRecord(), 2);

    // Near the end the window fills from before.
    DS->MoveBy(2);
    TBookmark nine = DS->GetBookmark();
    DS->First();
    DS->GotoBookmark(nine);
    EXPECT_THAT(Link->Window(), ElementsAre(6, 7, 8, 9, 10));
    EXPECT_EQ(ActiveKey(), 9);

    // A bookmark whose row is gone: the error, and the window stays.
    Table.DeleteKey(7);
    EXPECT_FALSE(DS->BookmarkValid(seven));
    EXPECT_DB_ERROR(DS->GotoBookmark(seven), "MemData: Record not found");
    EXPECT_EQ(ActiveKey(), 9);

    Events.clear();
    DS->GotoBookmark(nullptr);
    EXPECT_TRUE(Events.empty());

    for (TBookmark b : {seven, sevenAgain, eight, nine})
        DS->FreeBookmark(b);
}

TEST_F(DataSetTest, NoBookmarkWithoutACurrentRecord) {
    Table.Rows.clear();
    OpenQuietly();
    EXPECT_EQ(DS->GetBookmark(), nullptr);
}

TEST_F(DataSetTest, FilteredWindowsShowOnlyAcceptedRecords) {
    TDataSetState stateInHandler = dsInactive;
    DS->SetOnFilterRecord([&](TDataSet* ds, bool& accept) {
        stateInHandler = ds->State();
        accept = ds->FieldByName("ID")->GetAsInteger() % 2 == 0;
    });
    DS->SetFiltered(true);
    OpenQuietly();
    EXPECT_EQ(stateInHandler, dsFilter);
    EXPECT_THAT(Link->Window(), ElementsAre(2, 4, 6));
    DS->Last();
    EXPECT_THAT(Link->Window(), ElementsAre(6, 8, 10));
    DS->MoveBy(-3);
    EXPECT_THAT(Link->Window(), ElementsAre(4, 6, 8));
    EXPECT_EQ(ActiveKey(), 4);

    // Switching the filter off while open goes back to the first record.
    DS->SetFiltered(false);
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));

    DS->SetFiltered(true);
    DS->SetOnFilterRecord([](TDataSet*, bool& accept) { accept = false; });
    EXPECT_TRUE(DS->IsEmpty());
    EXPECT_TRUE(DS->Eof());
}

TEST_F(DataSetTest, TheRingHoldsTheLargestCountAnyLinkWantsAndOneSpare) {
    TRecordingLink wide(Events, "wide");
    wide.SetBufferCount(5);
    wide.SetDataSource(Source);
    OpenQuietly();
    EXPECT_EQ(DS->RingBufferCount(), 5);
    EXPECT_EQ(DS->LiveBuffers, 6);
    EXPECT_THAT(wide.Window(), ElementsAre(1, 2, 3, 4, 5));
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));

    DS->MoveBy(7); // on 8, read on past the wide window: the narrow one follows the active record
    EXPECT_THAT(wide.Window(), ElementsAre(4, 5, 6, 7, 8));
    EXPECT_THAT(Link->Window(), ElementsAre(6, 7, 8));
    EXPECT_EQ(Link->GetActiveRecord(), 2);

    wide.SetDataSource(nullptr); // the ring shrinks and keeps the active record
    EXPECT_EQ(DS->RingBufferCount(), 3);
    EXPECT_EQ(DS->LiveBuffers, 4);
    EXPECT_THAT(Link->Window(), ElementsAre(6, 7, 8));
    EXPECT_EQ(ActiveKey(), 8);

    DS->Last();
    Link->SetBufferCount(5); // growing at the end fills from before
    EXPECT_THAT(Link->Window(), ElementsAre(6, 7, 8, 9, 10));
    EXPECT_EQ(Link->GetActiveRecord(), 4);
    EXPECT_EQ(ActiveKey(), 10);
}

TEST_F(DataSetTest, ARecordAddedBeyondAShortWindowBecomesActive) {
    Table.Rows.clear();
    Table.AddRows(1, 2);
    OpenQuietly();
    DS->Next();
    Table.AddRows(3, 3);
    EXPECT_EQ(DS->MoveBy(1), 1);
    EXPECT_EQ(ActiveKey(), 3);

    Table.DeleteKey(3);
    DS->Close();
    OpenQuietly();
    DS->Next();
    DS->Prior(); // on 1, no longer at BOF
    Table.AddRow({Int64{0}, AnsiString("zero")});
    EXPECT_EQ(DS->MoveBy(-1), -1);
    EXPECT_EQ(ActiveKey(), 0);
    EXPECT_THAT(Link->Window(), ElementsAre(0, 1, 2));
}

TEST_F(DataSetTest, TemporaryStatesAndDisabledControlsKeepEventsFromTheLinks) {
    OpenQuietly();
    TDataSetState saved = DS->SetTempState(dsEdit);
    DS->FieldByName("NAME")->SetAsString("quiet");
    DS->RestoreState(saved);
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_TRUE(Take().empty());

    DS->DisableControls();
    DS->MoveBy(4);
    DS->First();
    EXPECT_THAT(Take(), ::testing::Not(::testing::Contains(::testing::StartsWith("link:"))));
    DS->EnableControls();
    EXPECT_EQ(Take(), (Log{"link:DataSetChanged"}));
}

TEST_F(DataSetTest, AFailedOpenClosesWhatItMadeAndStaysClosed) {
    DS->FailOpen = true;
    EXPECT_DB_ERROR(DS->Open(), "open failed");
    EXPECT_EQ(Take(), (Log{"BeforeOpen", "InternalOpen", "InternalClose"}));
    EXPECT_FALSE(DS->Active());
    EXPECT_EQ(DS->LiveBuffers, 0);
    EXPECT_EQ(DS->GetFieldCount(), 0);
    DS->FailOpen = false;
    DS->Open();
    EXPECT_TRUE(DS->Active());
}

TEST_F(DataSetTest, AFetchFailingWhileTheWindowFillsLeavesTheDatasetOpen) {
    DS->FetchesBeforeFailure = 1;
    EXPECT_DB_ERROR(DS->Open(), "fetch failed");
    EXPECT_EQ(Take(), (Log{"BeforeOpen", "InternalOpen", "GetRecord(gmNext)=OK:1", "link:ActiveChanged",
                           "AfterOpen", "AfterScroll"}));
    EXPECT_TRUE(DS->Active());
    EXPECT_THAT(Link->Window(), ElementsAre(1));
    DS->FetchesBeforeFailure = -1;
    DS->Refresh();
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));
}

TEST_F(DataSetTest, AFirstOrLastWhoseReadFailsLeavesTheWindowAndTheCurrentRecord) {
    for (bool toLast : {true, false}) {
        SCOPED_TRACE(toLast ? "Last" : "First");
        OpenQuietly();
        DS->MoveBy(4);
        ASSERT_THAT(Link->Window(), ElementsAre(3, 4, 5));
        DS->FetchesBeforeFailure = 0;
        EXPECT_DB_ERROR(toLast ? DS->Last() : DS->First(), "fetch failed");
        EXPECT_THAT(Link->Window(), ElementsAre(3, 4, 5));
        EXPECT_EQ(ActiveKey(), 5);
        DS->Edit(); // the record shown, not a new one
        EXPECT_EQ(DS->State(), dsEdit);
        DS->Cancel(); // reading the window again fails: left to the next read
        EXPECT_EQ(DS->State(), dsBrowse);
        EXPECT_THAT(Link->Window(), ElementsAre(3, 4, 5));
        DS->FetchesBeforeFailure = -1;
        DS->Next(); // the cursor is placed on the window again before it reads on
        EXPECT_THAT(Link->Window(), ElementsAre(4, 5, 6));
        DS->Close();
    }
}

TEST_F(DataSetTest, AnEmptyWindowLeftByAFailedReadIsNotTakenForAnEmptyDataset) {
    DS->FetchesBeforeFailure = 0;
    EXPECT_DB_ERROR(DS->Open(), "fetch failed");
    EXPECT_TRUE(DS->Active());
    EXPECT_TRUE(DS->IsEmpty());
    EXPECT_DB_ERROR(DS->Edit(), "MemData: The last read of the dataset failed: refresh it before this operation");
    EXPECT_EQ(DS->State(), dsBrowse);
    DS->FetchesBeforeFailure = -1;
    DS->Refresh();
    EXPECT_THAT(Link->Window(), ElementsAre(1, 2, 3));
    DS->Edit();
    EXPECT_EQ(DS->State(), dsEdit);
    DS->Cancel();
}

TEST_F(DataSetTest, ActiveReadFromAFormOpensWhenLoadingEnds) {
    DS->SetLoading(true);
    DS->SetActive(true);
    EXPECT_FALSE(DS->Active());
    DS->Loaded();
    EXPECT_TRUE(DS->Active());
}

TEST_F(DataSetTest, OperationsOnAClosedDatasetRaise) {
    EXPECT_DB_ERROR(DS->First(), "MemData: Cannot perform this operation on a closed dataset");
    EXPECT_DB_ERROR(DS->Edit(), "MemData: Cannot perform this operation on a closed dataset");
    EXPECT_DB_ERROR(DS->FieldByName("ID"), "MemData: Field 'ID' not found");
}
