// Bookmarks and key search against the real engine: the bookmark's layout
// for a key of three columns, bookmarks across close and re-open, a
// bookmarked row deleted by another user, centring, bookmarks that do not
// fit; the key search by key columns and by order columns, exact and nearest,
// with the client filter, its errors and the set-key state.
#include "EditingFixture.h"

#include <cstring>

namespace {

using testing::ElementsAre;

// The scroll events a dataset fires, in order.
struct TScrollEvents {
    explicit TScrollEvents(TDataSet& DataSet) {
        DataSet.BeforeScroll = [this](TDataSet*) { Events.push_back("before"); };
        DataSet.AfterScroll = [this](TDataSet*) { Events.push_back("after"); };
    }
    std::vector<std::string> Events;
};

// A bookmark of the dataset, freed with it.
class TScopedBookmark {
public:
    explicit TScopedBookmark(TDataSet& DataSet) : FDataSet(DataSet), FBookmark(DataSet.GetBookmark()) {}
    ~TScopedBookmark() { FDataSet.FreeBookmark(FBookmark); }
    TScopedBookmark(const TScopedBookmark&) = delete;
    TScopedBookmark& operator=(const TScopedBookmark&) = delete;
    operator TBookmark() const { return FBookmark; }
    char* Data() const { return static_cast<char*>(FBookmark); }

private:
    TDataSet& FDataSet;
    TBookmark FBookmark;
};

class BookmarkTest : public EditingTest {};

} // namespace

// ---------------------------------------------------------------------------
// Bookmarks

TEST_F(BookmarkTest, AThreeColumnKeyGivesThreeHeadersAndValuesInKeyOrder) {
    ExecSQL("CREATE TABLE K3 (A VARCHAR(10) NOT NULL, B INTEGER NOT NULL, C DATE NOT NULL, V INTEGER,"
            " PRIMARY KEY (A, B, C))");
    Commit();
    for (const char* row : {"('x', 1, '2024-01-01', 1)", "('x', 2, '2024-01-01', 2)",
                            "('xy', 1, '2024-01-02', 3)", "('x', 1, '2024-01-02', 4)"})
        ExecSQL(AnsiString("INSERT INTO K3 VALUES ") + row);
    Commit();
    Use("SELECT V, C, B, A FROM K3 ORDER BY V");
    DS->SetKeyColumns("A,B,C");
    DS->Open();
    DS->MoveBy(2); // V 3: 'xy', 1, 2024-01-02
    TScopedBookmark bookmark(*DS);
    char* bm = bookmark.Data();
    int start = TIBRVRecordBuffer::HeaderSize + 3 * PFieldHdr::Size;
    EXPECT_EQ(DS->BookmarkSize(), start + 10 + 4 + 4);
    EXPECT_EQ(TIBRVRecordBuffer::GetRecordSize(bm), DS->BookmarkSize());
    EXPECT_EQ(TIBRVRecordBuffer::GetFieldCount(bm), 3);
    const TFieldType types[] = {ftString, ftInteger, ftDate};
    int offset = start;
    for (int i = 0; i < 3; ++i) {
        PFieldHdr hdr = TIBRVRecordBuffer::FieldHdr(bm, i);
        EXPECT_EQ(hdr.GetFieldType(), types[i]);
        EXPECT_EQ(hdr.GetOffset(), offset);
        EXPECT_FALSE(hdr.GetIsNull());
        offset += hdr.GetDataSize();
    }
    EXPECT_EQ(std::string(bm + start, 2), "xy");
    EXPECT_EQ(TIBRVRecordBuffer::FieldHdr(bm, 0).GetActualLength(), 2);
    int b;
    std::memcpy(&b, bm + start + 10, sizeof b);
    EXPECT_EQ(b, 1);
    EXPECT_TRUE(DS->BookmarkValid(bookmark));
    DS->First();
    DS->GotoBookmark(bookmark);
    EXPECT_EQ(DS->FieldByName("V")->GetAsInteger(), 3);
}

TEST_F(BookmarkTest, ABookmarkLeadsToItsRowAfterCloseAndReOpenWhileTheKeyStaysTheSame) {
    OpenItems(2);
    DS->MoveBy(2); // DESCRIPTION order: Apple, Banana split, Cherry (3), Pear
    TScopedBookmark bookmark(*DS);
    DS->Close();
    DS->Open();
    ASSERT_EQ(Id(), 1);
    DS->GotoBookmark(bookmark);
    EXPECT_EQ(Id(), 3);
    EXPECT_THAT(Grid->Window(), ElementsAre(1, 4, 3, 2));

    // Another key: the bookmark no longer fits.
    DS->Close();
    DS->SetKeyColumns("ID,DESCRIPTION");
    DS->Open();
    EXPECT_FALSE(DS->BookmarkValid(bookmark));
    EXPECT_RV_ERROR(DS->GotoBookmark(bookmark), rveBmRecMismatch);
    EXPECT_RV_ERROR(DS->SetBookmarkData(DS->KeyBuffer(), bookmark), rveBmRecMismatch);
    EXPECT_EQ(Id(), 1);
    // Closed, no bookmark is valid.
    DS->Close();
    EXPECT_FALSE(DS->BookmarkValid(bookmark));
}

TEST_F(BookmarkTest, ADamagedOrForeignBookmarkIsRefusedWithoutReadingBeyondIt) {
    OpenItems();
    DS->Next();
    TScopedBookmark bookmark(*DS);
    char* bm = bookmark.Data();
    PFieldHdr hdr = TIBRVRecordBuffer::FieldHdr(bm, 0);
    int offset = hdr.GetOffset();
    struct Case {
        const char* Name;
        std::function<void()> Damage, Repair;
    } cases[] = {
        {"value beyond the end", [&] { hdr.SetOffset(offset + 1000); }, [&] { hdr.SetOffset(offset); }},
        {"value in the headers", [&] { hdr.SetOffset(4); }, [&] { hdr.SetOffset(offset); }},
        {"negative size", [&] { hdr.SetDataSize(-4); }, [&] { hdr.SetDataSize(4); }},
        {"too short for its headers", [&] { TIBRVRecordBuffer::SetRecordSize(bm, 20); },
         [&] { TIBRVRecordBuffer::SetRecordSize(bm, DS->BookmarkSize()); }},
        {"another type", [&] { hdr.SetFieldType(ftLargeint); }, [&] { hdr.SetFieldType(ftInteger); }},
        {"two columns", [&] { TIBRVRecordBuffer::SetFieldCount(bm, 2); },
         [&] { TIBRVRecordBuffer::SetFieldCount(bm, 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Damage();
        EXPECT_FALSE(DS->BookmarkValid(bookmark));
        EXPECT_RV_ERROR(DS->GotoBookmark(bookmark), rveBmRecMismatch);
        c.Repair();
    }
    DS->First();
    ASSERT_TRUE(DS->BookmarkValid(bookmark));
    DS->GotoBookmark(bookmark);
    EXPECT_EQ(Id(), 2);
}

TEST_F(BookmarkTest, ABookmarkedRowDeletedElsewhereRaisesCode3AndTheCurrentRowStays) {
    OpenItems();
    DS->MoveBy(2);
    TScopedBookmark bookmark(*DS);
    DS->First();
    OtherUser().Run("DELETE FROM ITEM WHERE ID = 3");
    TScrollEvents scroll(*DS);
    EXPECT_RV_ERROR(DS->GotoBookmark(bookmark), rveRecordNotFound);
    EXPECT_EQ(Id(), 1);
    EXPECT_THAT(Grid->Window(), ElementsAre(1, 2, 3, 4)); // as it was shown
    EXPECT_THAT(scroll.Events, ElementsAre("before"));
    // The window is still the dataset's: it moves on from the current row.
    DS->Next();
    EXPECT_EQ(Id(), 2);
}

TEST_F(BookmarkTest, GotoBookmarkCentresTheRowOrKeepsItsLine) {
    FillItems(100);
    OpenItems();
    DS->MoveBy(49);
    ASSERT_EQ(Id(), 50);
    TScopedBookmark bookmark(*DS);
    std::vector<int> order = EngineOrder("ID");
    DS->First();
    TScrollEvents scroll(*DS);
    DS->GotoBookmark(nullptr);
    EXPECT_TRUE(scroll.Events.empty());
    DS->GotoBookmark(bookmark);
    EXPECT_EQ(Id(), 50);
    EXPECT_EQ(Grid->Active(), 9);
    EXPECT_EQ(Grid->Window(), WindowAround(order, 50, 9));
    EXPECT_THAT(scroll.Events, ElementsAre("before", "after"));
    // Without centring the row takes the line the active record was on.
    DS->MoveBy(-3);
    ASSERT_EQ(Grid->Active(), 6);
    DS->GotoBookmark(bookmark, false);
    EXPECT_EQ(Grid->Active(), 6);
    EXPECT_EQ(Grid->Window(), WindowAround(order, 50, 6));
    DS->MoveBy(30);
    EXPECT_EQ(Grid->Window(), WindowAround(order, Id(), Grid->Active()));
}

TEST_F(BookmarkTest, AStringKeyValueIsCutToTheBuffersSize) {
    ExecSQL("CREATE TABLE S20 (K VARCHAR(20) NOT NULL PRIMARY KEY)");
    ExecSQL("CREATE TABLE S10 (K VARCHAR(10) NOT NULL PRIMARY KEY)");
    Commit();
    ExecSQL("INSERT INTO S20 VALUES ('ABCDEFGHIJKLMNO')");
    ExecSQL("INSERT INTO S10 VALUES ('ABCDEFGHIJ')");
    Commit();
    Use("SELECT K FROM S20");
    DS->SetKeyColumns("K");
    DS->Open();
    std::unique_ptr<TTestRowvane> wide = std::move(DS); // outlives its bookmark
    TScopedBookmark bookmark(*wide);
    ASSERT_EQ(TIBRVRecordBuffer::FieldHdr(bookmark.Data(), 0).GetDataSize(), 20);
    Use("SELECT K FROM S10");
    DS->SetKeyColumns("K");
    DS->Open();
    TScopedBuffer buffer(*DS);
    DS->SetBufferValuesFromBookmark(buffer, bookmark);
    PFieldHdr hdr = DS->Hdr(buffer, 0);
    EXPECT_FALSE(hdr.GetIsNull());
    EXPECT_EQ(hdr.GetActualLength(), 10);
    EXPECT_EQ(std::string(buffer + hdr.GetOffset(), 10), "ABCDEFGHIJ");
    // It so finds the row whose key begins alike.
    DS->GotoBookmark(bookmark);
    EXPECT_EQ(DS->FieldByName("K")->GetAsString(), "ABCDEFGHIJ");
}

// ---------------------------------------------------------------------------
// Key search

TEST_F(BookmarkTest, KeySearchArgumentsAndStateAreCheckedFirst) {
    OpenItems();
    TScrollEvents scroll(*DS);
    // By primary key: exact only and all key columns, checked before anything else.
    EXPECT_RV_ERROR(DS->GotoKey(false, true, -1, true), rveExactPkeySearch);
    EXPECT_RV_ERROR(DS->GotoKey(true, true, 0, true), rvePartialPkeySearch);
    EXPECT_RV_ERROR(DS->GotoKey(true, true, 2, true), rvePartialPkeySearch);
    EXPECT_RV_ERROR(DS->GotoKey(false, false, -1, true), rveNoSetKeyMode);
    EXPECT_TRUE(scroll.Events.empty());
    // More columns than the order has: code 20, and the set-key state is over.
    DS->SetKey(true);
    Grid->Events.clear();
    EXPECT_RV_ERROR(DS->GotoKey(false, false, 2, true), rveInvalidSortColCount);
    EXPECT_EQ(DS->GetState(), dsBrowse);
    EXPECT_THAT(Grid->Events, testing::Contains("change"));
    EXPECT_EQ(Id(), 1);
    // Posting or cancelling the set-key state leaves it without a search.
    for (bool post : {false, true}) {
        DS->Next();
        DS->SetKey(true);
        DS->FieldByName("ID")->SetAsInteger(4);
        if (post)
            DS->Post();
        else
            DS->Cancel();
        EXPECT_EQ(DS->GetState(), dsBrowse);
        EXPECT_EQ(Id(), post ? 3 : 2);
    }
}

TEST_F(BookmarkTest, SearchByPrimaryKeyFindsTheRowOrLeavesEverythingAsItWas) {
    FillItems(100);
    OpenItems(2);
    std::vector<int> order = EngineOrder("DESCRIPTION");
    TScrollEvents scroll(*DS);
    DS->SetKey(true);
    EXPECT_EQ(DS->GetState(), dsSetKey);
    DS->FieldByName("ID")->SetAsInteger(64);
    EXPECT_TRUE(DS->GotoKey(true, true, -1, true));
    EXPECT_EQ(DS->GetState(), dsBrowse);
    EXPECT_EQ(Id(), 64);
    EXPECT_EQ(Grid->Window(), WindowAround(order, 64, 9));
    EXPECT_THAT(scroll.Events, ElementsAre("before", "after"));
    std::vector<int> shown = Grid->Window();
    // No such row, and no key at all: false, and nothing moved.
    for (bool setValue : {true, false}) {
        DS->SetKey(true);
        if (setValue) DS->FieldByName("ID")->SetAsInteger(1000);
        scroll.Events.clear();
        Grid->Events.clear();
        EXPECT_FALSE(DS->GotoKey(true, true, 1, true));
        EXPECT_EQ(DS->GetState(), dsBrowse);
        EXPECT_EQ(Id(), 64);
        EXPECT_EQ(Grid->Window(), shown);
        EXPECT_THAT(scroll.Events, ElementsAre("before"));
        EXPECT_THAT(Grid->Events, testing::Contains("change"));
    }
    // The key buffer keeps its values; SetKey(false) takes the current row's.
    DS->SetKey(false);
    EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), 64);
    DS->Cancel();
    EXPECT_EQ(DS->GetState(), dsBrowse);
}

TEST_F(BookmarkTest, SearchByOrderColumnsFindsTheExactOrTheNextRowInTheOrder) {
    struct Case {
        int OrderItemId;
        const char* OrderBy; // the same order for the engine
        const char* Field;   // the first order column, set in the key
        const char* Value;
        int Columns;
        bool Exact;
        int Found; // the ID found, 0 for none
    } cases[] = {
        // DESCRIPTION: Apple 1, Banana split 4, Cherry 3, Pear 2
        {2, "DESCRIPTION", "DESCRIPTION", "Bb", -1, false, 3},
        {2, "DESCRIPTION", "DESCRIPTION", "Bb", -1, true, 0},
        {2, "DESCRIPTION", "DESCRIPTION", "Cherry", -1, true, 3},
        {2, "DESCRIPTION", "DESCRIPTION", "Q", -1, false, 0},
        {-2, "DESCRIPTION DESC", "DESCRIPTION", "Bb", -1, false,
         4}, // inverted: Pear, Cherry, Banana split, Apple
        {-2, "DESCRIPTION DESC", "DESCRIPTION", "A", 1, false, 0},
        // QUANTITY, ID: 0.00 3, 1.50 1, 12.34 4, NULL 2; one column of two
        {3, "QUANTITY, ID", "QUANTITY", "1", 1, false, 1},
        {3, "QUANTITY, ID", "QUANTITY", "12.34", 1, true, 4},
        {3, "QUANTITY, ID", "QUANTITY", "0", 0, false, 2}, // no column: the first row, NULL first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(AnsiString(c.Field) + " " + c.Value + " order " + IntToStr(c.OrderItemId) +
                     (c.Exact ? " exact" : " nearest"));
        OpenItems(c.OrderItemId);
        DS->Next();
        int before = Id();
        DS->SetKey(true);
        DS->FieldByName(c.Field)->SetAsString(c.Value);
        EXPECT_EQ(DS->GotoKey(c.Exact, false, c.Columns, true), c.Found != 0);
        EXPECT_EQ(Id(), c.Found != 0 ? c.Found : before);
        EXPECT_EQ(Grid->Window(), EngineOrder(c.OrderBy));
    }
}

TEST_F(BookmarkTest, NearestSearchCentresInALargeOrderAndTheWindowReadsOnCorrectly) {
    FillItems(300);
    OpenItems(2);
    std::vector<int> order = EngineOrder("DESCRIPTION");
    TIBSQL* q = NewSQL("SELECT DESCRIPTION FROM ITEM WHERE ID = 150");
    q->ExecQuery();
    AnsiString wanted = q->GetFields(0)->GetAsString();
    q->Close();
    DS->SetKey(true);
    DS->FieldByName("DESCRIPTION")->SetAsString(wanted.substr(0, 5)); // a prefix: at or after it
    ASSERT_TRUE(DS->GotoKey(false, false, -1, true));
    int found = Id();
    EXPECT_EQ(Grid->Window(), WindowAround(order, found, 9));
    EXPECT_LE(DS->FieldByName("DESCRIPTION")->GetAsString(), wanted);
    for (int step : {20, -40, 11}) {
        DS->MoveBy(step);
        EXPECT_EQ(Grid->Window(), WindowAround(order, Id(), Grid->Active()));
    }
    // Not centred: the row takes the active record's line.
    DS->MoveBy(-Grid->Active() + 4);
    DS->SetKey(true);
    DS->FieldByName("DESCRIPTION")->SetAsString(wanted);
    ASSERT_TRUE(DS->GotoKey(true, false, -1, false));
    EXPECT_EQ(Id(), 150);
    EXPECT_EQ(Grid->Active(), 4);
    EXPECT_EQ(Grid->Window(), WindowAround(order, 150, 4));
}

TEST_F(BookmarkTest, AmongEqualValuesSearchesAndBookmarksLandOnTheirRowAndTheWindowAroundIt) {
    FillItems(1000); // QUANTITY 0..9, each a hundred times
    struct Case {
        int OrderItemId;
        const char* OrderBy; // the order the dataset reads: made total by the key
        const char* Value;
        bool Exact;
        int Found;
    } cases[] = {
        {5, "QUANTITY, ID", "5", true, 5},
        {5, "QUANTITY, ID", "4.5", false, 5},
        {-5, "QUANTITY DESC, ID DESC", "5", true, 995},
        {-5, "QUANTITY DESC, ID DESC", "4.5", false, 994},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(AnsiString(c.OrderBy) + " at " + c.Value);
        OpenItems(c.OrderItemId);
        std::vector<int> order = EngineOrder(c.OrderBy);
        DS->SetKey(true);
        DS->FieldByName("QUANTITY")->SetAsString(c.Value);
        ASSERT_TRUE(DS->GotoKey(c.Exact, false, -1, true));
        EXPECT_EQ(Id(), c.Found);
        EXPECT_EQ(Grid->Window(), WindowAround(order, c.Found, 9));
        for (int step : {15, -40, 31}) {
            DS->MoveBy(step);
            EXPECT_EQ(Grid->Window(), WindowAround(order, Id(), Grid->Active()));
        }
        // A row in the middle of its group, bookmarked, left and found again.
        DS->SetKey(true);
        DS->FieldByName("ID")->SetAsInteger(505);
        ASSERT_TRUE(DS->GotoKey(true, true, -1, true));
        EXPECT_EQ(Grid->Window(), WindowAround(order, 505, 9));
        TScopedBookmark mark(*DS);
        DS->Last();
        DS->GotoBookmark(mark);
        EXPECT_EQ(Id(), 505);
        EXPECT_EQ(Grid->Window(), WindowAround(order, 505, 9));
        DS->MoveBy(-30);
        EXPECT_EQ(Grid->Window(), WindowAround(order, Id(), Grid->Active()));
        DS->Close();
    }
}

TEST_F(BookmarkTest, TheClientFilterMovesANearestSearchOnAndFailsAnExactOne) {
    OpenItems();
    int rejectFrom = 100;
    DS->SetOnFilterRecord([&rejectFrom](TDataSet* DataSet, bool& Accept) {
        int id = DataSet->FieldByName("ID")->GetAsInteger();
        Accept = id % 2 == 0 && id < rejectFrom;
    });
    DS->SetFiltered(true);
    ASSERT_EQ(Id(), 2);
    DS->SetKey(true);
    DS->FieldByName("ID")->SetAsInteger(3);
    EXPECT_TRUE(DS->GotoKey(false, false, -1, true));
    EXPECT_EQ(Id(), 4);
    EXPECT_THAT(Grid->Window(), ElementsAre(2, 4));
    DS->SetKey(true);
    DS->FieldByName("ID")->SetAsInteger(3);
    EXPECT_RV_ERROR(DS->GotoKey(true, false, -1, true), rveRecordNotFound);
    EXPECT_EQ(DS->GetState(), dsBrowse);
    // No accepted row after the one found.
    rejectFrom = 4;
    DS->RefreshRows();
    DS->First();
    DS->SetKey(true);
    DS->FieldByName("ID")->SetAsInteger(3);
    EXPECT_RV_ERROR(DS->GotoKey(false, false, -1, true), rveRecordNotFound);
    EXPECT_EQ(DS->GetState(), dsBrowse);
    DS->First();
    EXPECT_EQ(Id(), 2);
}

// A search that fails after it moved the position must not leave the
// framework believing the position is still on the row it last fetched.
TEST_F(BookmarkTest, AFailedSearchLeavesTheWindowReadingOnFromItsOwnRows) {
    FillItems(100);
    OpenItems();
    DS->SetOnFilterRecord(
        [](TDataSet* DataSet, bool& Accept) { Accept = DataSet->FieldByName("ID")->GetAsInteger() != 50; });
    DS->SetFiltered(true);
    DS->SetKey(true);
    DS->FieldByName("ID")->SetAsInteger(50);
    EXPECT_RV_ERROR(DS->GotoKey(true, false, -1, true), rveRecordNotFound);
    EXPECT_EQ(Id(), 1);
    DS->MoveBy(19);
    DS->MoveBy(1);
    EXPECT_EQ(Id(), 21);
    EXPECT_EQ(Grid->Window(), WindowAround(EngineOrder("ID"), 21, 19));
}
