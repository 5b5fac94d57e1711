// Navigation through the two cursors against the real engine: the record
// requests of the framework one by one (ends of the result, locating a
// re-opened cursor, the client filter, the position-set flag, missing key or
// order), and a grid's window of 20 rows scrolled through a few thousand rows
// in every order, with and without the client and the server filter, NULL
// sort values included, while other attachments delete rows and the
// transaction ends between two reads.
#include "RowvaneFixture.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

// The ID held by a record buffer (column 0 of every select here).
int IdOf(TTestRowvane& DataSet, char* Buffer) {
    int id;
    std::memcpy(&id, Buffer + DataSet.Hdr(Buffer, 0).GetOffset(), sizeof id);
    return id;
}

class NavigationTest : public RowvaneTest {
protected:
    void SetUp() override {
        RowvaneTest::SetUp();
        // As the demonstration program's transaction: other attachments' commits are seen.
        Tr->GetParams()->SetText("read_committed\r\nrec_version\r\nnowait");
        Source = std::make_unique<TDataSource>(nullptr);
    }
    void TearDown() override {
        Source->SetDataSet(nullptr); // the grid goes without making the dataset read
        Grid.reset();
        Source.reset();
        RowvaneTest::TearDown();
    }

    // The demonstration program's dataset over ITEM, with a grid on it.
    void UseItems(int OrderItemId) {
        Use("SELECT * FROM ITEM");
        DS->SetKeyColumns("ID");
        DS->GetOrderItems()->SetText("1;ID\r\n2;DESCRIPTION\r\n3;QUANTITY, ID\r\n5;PRICE");
        DS->SetOrderItemId(OrderItemId);
        Source->SetDataSet(DS.get());
    }
    void AttachGrid(int Rows = 20) {
        Grid = std::make_unique<TGridLink>(Rows);
        Grid->SetDataSource(Source.get());
    }
    // The rows the engine gives for a condition and an order, by ID.
    std::vector<int> EngineOrder(const AnsiString& Where, const AnsiString& OrderBy) {
        return EngineColumn("SELECT ID FROM ITEM" + (Where.empty() ? AnsiString() : " WHERE " + Where) +
                            " ORDER BY " + OrderBy);
    }
    // Replaces the sample rows by Count rows: DESCRIPTION unique and scattered,
    // QUANTITY 0..49 and NULL in every seventh row, PRICE unique but NULL in row 1234.
    void FillItems(int Count) {
        ExecSQL("DELETE FROM ITEM");
        ExecSQL("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= " + IntToStr(Count) +
                ") DO BEGIN INSERT INTO ITEM (ID, DESCRIPTION, QUANTITY, PRICE) VALUES (:I,"
                " 'D' || LPAD(CAST(MOD(:I * 7919, 3001) AS VARCHAR(5)), 5, '0'),"
                " IIF(MOD(:I, 7) = 0, NULL, MOD(:I, 50)), IIF(:I = 1234, NULL, :I)); I = I + 1; END END");
        Commit();
    }
    std::vector<int> Slice(const std::vector<int>& Rows, size_t Top, size_t Count = 20) {
        Top = std::min(Top, Rows.size() > Count ? Rows.size() - Count : 0);
        return std::vector<int>(Rows.begin() + static_cast<long>(Top),
                                Rows.begin() + static_cast<long>(std::min(Rows.size(), Top + Count)));
    }

    std::unique_ptr<TDataSource> Source;
    std::unique_ptr<TGridLink> Grid;
};

} // namespace

// ---------------------------------------------------------------------------
// The framework's requests, one by one

TEST_F(NavigationTest, AnEmptyResultEndsAtBothEndsAndKeepsThePositionOff) {
    UseItems(1);
    DS->SetWhereClause("ID < 0");
    DS->Open();
    EXPECT_TRUE(DS->IsEmpty());
    EXPECT_TRUE(DS->Bof());
    EXPECT_TRUE(DS->Eof());
    TScopedBuffer buffer(*DS);
    DS->InternalFirst();
    EXPECT_EQ(DS->GetRecord(buffer, gmNext, true), grEOF);
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(DS->PositionBuffer()), -1);
    DS->InternalLast();
    EXPECT_EQ(DS->GetRecord(buffer, gmPrior, true), grBOF);
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(DS->PositionBuffer()), 1);
    EXPECT_EQ(DS->GetRecord(buffer, gmNext, true), grEOF);
    EXPECT_EQ(DS->GetRecord(buffer, gmCurrent, true), grError);
    DS->Last();
    EXPECT_TRUE(DS->IsEmpty());
}

TEST_F(NavigationTest, EachCursorReadsOnWhileItStandsOnThePositionAndIsLocatedOtherwise) {
    UseItems(1);
    DS->Open();
    TScopedBuffer buffer(*DS), third(*DS);
    std::vector<int> ids;
    DS->InternalFirst();
    while (DS->GetRecord(buffer, gmNext, true) == grOK) {
        ids.push_back(IdOf(*DS, buffer));
        if (ids.back() == 3) DS->SaveRecord(third, buffer);
    }
    EXPECT_THAT(ids, ElementsAre(1, 2, 3, 4));
    EXPECT_EQ(IdOf(*DS, DS->PositionBuffer()), 4); // grEOF left the position on the last row
    EXPECT_EQ(DS->FwdMode(), 1);

    // The framework sets the position on row 3 and asks for the one before:
    // the backward cursor starts at row 3's order values and is moved onto it.
    DS->InternalSetToRecord(third);
    ASSERT_EQ(DS->GetRecord(buffer, gmPrior, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 2);
    EXPECT_EQ(DS->BwdMode(), 4);
    EXPECT_EQ(DS->Backward()->GetSQL()->GetText(),
              "SELECT *\r\nFROM ITEM\r\nWHERE (ID <= :_LOCATE1)\r\nORDER BY ID DESC\r\n");
    ASSERT_EQ(DS->GetRecord(buffer, gmPrior, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 1);
    EXPECT_EQ(DS->GetRecord(buffer, gmPrior, true), grBOF);
    EXPECT_EQ(IdOf(*DS, DS->PositionBuffer()), 1);
    // Forward again from row 1: the forward cursor stands on row 4, so it is
    // re-opened at row 1 (mode 2) and located.
    ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 2);
    EXPECT_EQ(DS->FwdMode(), 2);

    // Last, then prior: the backward cursor from its first row (mode 3).
    DS->Last();
    EXPECT_EQ(DS->BwdMode(), 3);
    EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), 4);
    EXPECT_EQ(DS->Backward()->GetSQL()->GetText(), "SELECT *\r\nFROM ITEM\r\nORDER BY ID DESC\r\n");
    // The current row is re-read by key, with the values the row has now.
    ExecSQL("UPDATE ITEM SET DESCRIPTION = 'Banana' WHERE ID = 4");
    ASSERT_EQ(DS->GetRecord(buffer, gmCurrent, true), grOK);
    EXPECT_EQ(std::string(buffer + DS->Hdr(buffer, 1).GetOffset(), 6), "Banana");
}

// A cursor reads on without comparing while the row it read last is the
// position; every other move of the position makes the next read follow it.
TEST_F(NavigationTest, TheNextReadFollowsThePositionWhereverElseItMoved) {
    UseItems(1);
    DS->Open();
    TScopedBuffer buffer(*DS), first(*DS);
    struct TMove {
        const char* Name;
        std::function<void()> Move;
        TGetResult Result; // of the next forward read
        int Id;            // that it delivers
    };
    const TMove moves[] = {
        {"set to an earlier row", [&] { DS->InternalSetToRecord(first); }, grOK, 2},
        {"first", [&] { DS->InternalFirst(); }, grOK, 1},
        {"last", [&] { DS->InternalLast(); }, grEOF, 0},
        {"a row read backward", [&] { ASSERT_EQ(DS->GetRecord(buffer, gmPrior, true), grOK); }, grOK, 3},
        {"the current row re-read", [&] { ASSERT_EQ(DS->GetRecord(buffer, gmCurrent, true), grOK); }, grOK, 4},
    };
    for (const TMove& m : moves) {
        SCOPED_TRACE(m.Name);
        DS->InternalFirst();
        for (int id = 1; id <= 3; ++id) { // the forward cursor reads on to row 3
            ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
            ASSERT_EQ(IdOf(*DS, buffer), id);
            if (id == 1) DS->SaveRecord(first, buffer);
        }
        m.Move();
        ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), m.Result);
        if (m.Result == grOK) {
            EXPECT_EQ(IdOf(*DS, buffer), m.Id);
        }
    }
}

TEST_F(NavigationTest, ACursorIsPreparedAgainOnlyWhenItsModeOrCountChanges) {
    UseItems(3); // two order columns
    DS->Open();
    ASSERT_TRUE(DS->Forward()->GetOpen());
    EXPECT_EQ(DS->FwdMode(), 1);
    DS->InternalPrepareSelectQueryFwd(1, -1);
    EXPECT_TRUE(DS->Forward()->GetOpen()); // nothing happened
    DS->InternalPrepareSelectQueryFwd(2, -1);
    EXPECT_FALSE(DS->Forward()->GetOpen());
    AnsiString all = DS->Forward()->GetSQL()->GetText();
    DS->InternalPrepareSelectQueryFwd(2, 1);
    EXPECT_EQ(DS->FwdCount(), 1);
    EXPECT_NE(DS->Forward()->GetSQL()->GetText(), all);
    EXPECT_EQ(DS->Forward()->GetSQL()->GetText(), "SELECT *\r\nFROM ITEM\r\nWHERE ((QUANTITY >= :_LOCATE1 OR "
                                                  ":_LOCATE1 IS NULL))\r\nORDER BY QUANTITY ASC, "
                                                  "ID ASC\r\n");
    // A statement that fails to prepare is not taken for prepared.
    EXPECT_RV_ERROR(DS->InternalPrepareSelectQueryFwd(2, 3), rveInvalidSortColCount);
    EXPECT_EQ(DS->FwdMode(), 0);
    EXPECT_FALSE(DS->Forward()->GetPrepared());
    DS->InternalPrepareSelectQueryFwd(2, 1);
    EXPECT_TRUE(DS->Forward()->GetPrepared());
}

TEST_F(NavigationTest, ARowDeletedUnderThePositionGivesWayToTheNextRowOfTheOrder) {
    ExecSQL("CREATE TABLE GRP (ID INTEGER NOT NULL PRIMARY KEY, G INTEGER NOT NULL)");
    Commit();
    ExecSQL("INSERT INTO GRP SELECT ID, IIF(ID IN (2, 3, 4), 2, ID) FROM ITEM");
    ExecSQL("INSERT INTO GRP VALUES (5, 5)");
    Commit();
    Use("SELECT ID, G FROM GRP");
    DS->SetKeyColumns("ID");
    DS->GetOrderItems()->SetText("1;G");
    DS->SetOrderItemId(1);
    DS->Open();
    TOtherUser other(*TestDb);
    auto deleteElsewhere = [&other](int Id) { other.Run("DELETE FROM GRP WHERE ID = " + IntToStr(Id)); };
    TScopedBuffer buffer(*DS);
    DS->InternalFirst();
    ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
    ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
    ASSERT_EQ(IdOf(*DS, buffer), 2); // group 2 in key order: the order is G, ID
    deleteElsewhere(2);
    // Re-opened at the position, the cursor goes on with the rest of group 2.
    DS->InternalRefresh();
    ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 3);
    ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 4);
    // Backward the same: row 4 deleted under the position gives row 3.
    deleteElsewhere(4);
    DS->InternalRefresh();
    EXPECT_EQ(DS->GetRecord(buffer, gmCurrent, true), grError); // the row is gone
    ASSERT_EQ(DS->GetRecord(buffer, gmPrior, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 3);
    ASSERT_EQ(DS->GetRecord(buffer, gmPrior, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 1);
}

TEST_F(NavigationTest, TheClientFilterSkipsRowsAndRestoresThePositionWhenNoneIsAccepted) {
    UseItems(1);
    int rejectAbove = 4;
    bool raise = false;
    DS->SetOnFilterRecord([&rejectAbove, &raise](TDataSet* DataSet, bool& Accept) {
        if (raise) throw EIBRVError(rveRecordNotFound);
        Accept = DataSet->FieldByName("ID")->GetAsInteger() <= rejectAbove &&
                 DataSet->FieldByName("ID")->GetAsInteger() != 2;
    });
    DS->SetFiltered(true);
    AttachGrid();
    DS->Open();
    EXPECT_THAT(Grid->Window(), ElementsAre(1, 3, 4));
    TScopedBuffer buffer(*DS);
    DS->InternalFirst();
    ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
    ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 3); // row 2 passed over
    rejectAbove = 3;
    EXPECT_EQ(DS->GetRecord(buffer, gmNext, true), grEOF);
    EXPECT_EQ(IdOf(*DS, DS->PositionBuffer()), 3); // back where it was
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(DS->PositionBuffer()), 0);
    ASSERT_EQ(DS->GetRecord(buffer, gmPrior, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 1);
    rejectAbove = 0;
    EXPECT_EQ(DS->GetRecord(buffer, gmPrior, true), grBOF);
    EXPECT_EQ(DS->GetRecord(buffer, gmCurrent, true), grError); // the current row is rejected now
    EXPECT_EQ(IdOf(*DS, DS->PositionBuffer()), 1);
    EXPECT_EQ(DS->GetState(), dsBrowse);
    // A handler that raises leaves the state as it was.
    raise = true;
    EXPECT_RV_ERROR(DS->GetRecord(buffer, gmNext, true), rveRecordNotFound);
    EXPECT_EQ(DS->GetState(), dsBrowse);
    raise = false;
}

TEST_F(NavigationTest, APositionJustSetIsDeliveredOnceWithoutReadingIt) {
    UseItems(1);
    DS->Open();
    TScopedBuffer buffer(*DS);
    DS->InternalFirst();
    ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
    ASSERT_EQ(DS->GetRecord(buffer, gmNext, true), grOK);
    ExecSQL("DELETE FROM ITEM WHERE ID = 2");
    DS->SetPositionSet(true);
    ASSERT_EQ(DS->GetRecord(buffer, gmCurrent, true), grOK);
    EXPECT_EQ(IdOf(*DS, buffer), 2);
    EXPECT_FALSE(DS->GetPositionSet());
    EXPECT_EQ(DS->GetRecord(buffer, gmCurrent, true), grError); // read by key now: gone
}

TEST_F(NavigationTest, WithoutKeyColumnsTheSecondRowRaisesCode18) {
    for (const char* select : {"SELECT * FROM ITEM ORDER BY ID", "SELECT * FROM ITEM"}) {
        SCOPED_TRACE(select);
        Use(select);
        DS->Open();
        EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), 1);
        EXPECT_RV_ERROR(DS->Next(), rveKeyColumnsMissing);
    }
}

// A select without ORDER BY has no order to invert: the key columns are the
// order then, ascending as written and descending inverted, and every move
// works as with an order item.
TEST_F(NavigationTest, WithoutAnOrderTheKeyColumnsAreTheOrder) {
    // Rows stored in another order than the key's (the trigger keeps IDs below the generator's).
    ExecSQL("ALTER SEQUENCE GEN_ITEM_ID RESTART WITH 1000");
    Commit();
    ExecSQL("DELETE FROM ITEM");
    ExecSQL("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 200) DO BEGIN INSERT INTO ITEM (ID,"
            " DESCRIPTION) VALUES (MOD(:I * 7919, 200) + 1, 'D' || MOD(:I * 31, 200)); I = I + 1; END END");
    Commit();
    ASSERT_NE(EngineOrder("", "RDB$DB_KEY"), EngineOrder("", "ID"));
    struct {
        const char* Keys;
        int OrderItemId; // 7 is an empty order item
        const char* OrderBy;
        const char* Forward; // the forward cursor's ORDER BY
    } cases[] = {
        {"ID", 0, "ID", "ID ASC"},
        {"ITEM.ID", -7, "ID DESC", "ITEM.ID DESC"},
        {"DESCRIPTION,ID", 0, "DESCRIPTION, ID", "DESCRIPTION ASC, ID ASC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Keys);
        Use("SELECT * FROM ITEM");
        DS->SetKeyColumns(c.Keys);
        DS->GetOrderItems()->SetText("7;");
        DS->SetOrderItemId(c.OrderItemId);
        Source->SetDataSet(DS.get());
        AttachGrid();
        DS->Open();
        std::vector<int> expected = EngineOrder("", c.OrderBy);
        size_t last = expected.size() - 20;
        EXPECT_EQ(Grid->Window(), Slice(expected, 0));
        EXPECT_EQ(DS->Forward()->GetSQL()->GetText(),
                  AnsiString("SELECT *\r\nFROM ITEM\r\nORDER BY ") + c.Forward + "\r\n");
        DS->Last();
        EXPECT_EQ(Grid->Window(), Slice(expected, last));
        for (size_t top = last; top > 0;) {
            Grid->PageUp();
            top = top >= 20 ? top - 20 : 0;
            ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "page up to " << top;
        }
        for (size_t top = 0; top < last;) {
            Grid->PageDown();
            top = std::min(top + 20, last);
            ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "page down to " << top;
        }
        // Turns beyond the window's edge re-open a cursor at the position.
        DS->First();
        size_t at = 0;
        for (int step : {57, -23, 31, -44, 9}) {
            DS->MoveBy(step);
            at = static_cast<size_t>(static_cast<long>(at) + step);
            ASSERT_EQ(DS->FieldByName("ID")->GetAsInteger(), expected[at]) << "moved by " << step;
        }
        DS->RefreshRows();
        EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), expected[at]);
        // A search by all order columns searches the key's values.
        DS->First();
        DS->MoveBy(150);
        AnsiString description = DS->FieldByName("DESCRIPTION")->GetAsString();
        DS->First();
        DS->SetKey(true);
        DS->FieldByName("ID")->SetAsInteger(expected[150]);
        DS->FieldByName("DESCRIPTION")->SetAsString(description);
        EXPECT_TRUE(DS->GotoKey(true, false, -1, true));
        EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), expected[150]);
        Grid.reset();
        DS->Close();
    }
}

TEST_F(NavigationTest, AnOrderColumnOutsideTheSelectListIsRefusedAtOpenAndWhenChosen) {
    // The first rows would come; the first re-opened cursor could not bind the position.
    Use("SELECT ID, DESCRIPTION FROM ITEM");
    DS->SetKeyColumns("ID");
    DS->GetOrderItems()->SetText("1;PRICE\r\n2;DESCRIPTION");
    DS->SetOrderItemId(1);
    try {
        DS->Open();
        ADD_FAILURE() << "no error";
    } catch (const EIBRVError& e) {
        EXPECT_EQ(e.ErrorCode, rveFieldNotFound);
        EXPECT_THAT(e.Message(), testing::StartsWith("Field \"PRICE\" not found: "));
        EXPECT_THAT(e.Message(), testing::HasSubstr("add PRICE to the select list"));
    }
    EXPECT_FALSE(DS->GetActive());
    DS->SetOrderItemId(2);
    DS->Open();
    DS->Next();
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "Banana split");
    // Chosen while open: refused, and the order stays.
    EXPECT_RV_ERROR(DS->SetOrderItemId(1), rveFieldNotFound);
    EXPECT_EQ(DS->GetOrderItemId(), 2);
    DS->Next();
    EXPECT_EQ(DS->FieldByName("DESCRIPTION")->GetAsString(), "Cherry");
}

TEST_F(NavigationTest, AnotherOrderChosenWhileOpenKeepsTheCurrentRowAndFillsTheWindowAroundIt) {
    FillItems(500);
    UseItems(1);
    AttachGrid();
    DS->Open();
    Grid->PageDown();
    Grid->PageDown();
    int current = DS->FieldByName("ID")->GetAsInteger();
    ASSERT_EQ(current, 60);
    DS->SetOrderItemId(2);
    EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), current);
    std::vector<int> byDescription = EngineOrder("", "DESCRIPTION");
    size_t rank = static_cast<size_t>(std::find(byDescription.begin(), byDescription.end(), current) -
                                      byDescription.begin());
    ASSERT_GE(rank, 19u);
    EXPECT_EQ(Grid->Window(), Slice(byDescription, rank - 19));
    Grid->PageDown();
    EXPECT_EQ(Grid->Window(), Slice(byDescription, rank + 1));
    DS->SetOrderItemId(-2);
    DS->First();
    std::reverse(byDescription.begin(), byDescription.end());
    EXPECT_EQ(Grid->Window(), Slice(byDescription, 0));
}

// ---------------------------------------------------------------------------
// A grid's window scrolled through a few thousand rows

namespace {

struct TScrollCase {
    int OrderItemId;
    const char* OrderBy; // the same order for the engine
    bool ClientFilter;   // the demonstration's: odd IDs are rejected
    const char* Where;   // the server filter, or none
    const char* Name;
};

class ScrollTest : public NavigationTest, public testing::WithParamInterface<TScrollCase> {};

constexpr int ScrollRows = 3000;

} // namespace

TEST_P(ScrollTest, EveryRowComesExactlyOnceAndInOrderForwardAndBackward) {
    const TScrollCase& c = GetParam();
    FillItems(ScrollRows);
    UseItems(c.OrderItemId);
    if (c.ClientFilter) {
        DS->SetOnFilterRecord([](TDataSet* DataSet, bool& Accept) {
            Accept = DataSet->FieldByName("ID")->GetAsInteger() % 2 == 0;
        });
        DS->SetFiltered(true);
    }
    AttachGrid();
    DS->Open();
    std::vector<int> expected = EngineOrder(c.Where ? c.Where : "", c.OrderBy);
    if (c.Where) {
        // The server filter is set while open, and a refresh shows its rows.
        DS->SetWhereClause(c.Where);
        DS->RefreshRows();
        DS->First();
    }
    if (c.ClientFilter) std::erase_if(expected, [](int Id) { return Id % 2 != 0; });
    ASSERT_GT(expected.size(), 100u);
    size_t n = expected.size(), last = n - 20;

    // Forward page by page; now and then a refresh re-opens both cursors.
    ASSERT_EQ(Grid->Window(), Slice(expected, 0));
    size_t top = 0;
    for (int page = 1; top < last; ++page) {
        Grid->PageDown();
        top = std::min(top + 20, last);
        ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "page down " << page;
        if (page % 7 == 0) {
            DS->RefreshRows();
            ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "refreshed at page " << page;
        }
        // Back and forth once in a while: the other cursor re-opens at the window's edge.
        if (page % 11 == 0) {
            Grid->PageUp();
            ASSERT_EQ(Grid->Window(), Slice(expected, top - 20)) << "page up at page " << page;
            Grid->PageDown();
            ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "page down again at page " << page;
        }
    }
    EXPECT_TRUE(DS->Eof() || (Grid->PageDown(), DS->Eof()));

    // Backward from the end.
    DS->Last();
    ASSERT_EQ(Grid->Window(), Slice(expected, last));
    top = last;
    for (int page = 1; top > 0; ++page) {
        Grid->PageUp();
        top = top >= 20 ? top - 20 : 0;
        ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "page up " << page;
        if (page % 5 == 0) {
            DS->RefreshRows();
            ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "refreshed at page " << page;
        }
    }
    // And row by row, forward and back over a stretch.
    DS->First();
    for (size_t i = 1; i < 60; ++i) {
        DS->Next();
        ASSERT_EQ(DS->FieldByName("ID")->GetAsInteger(), expected[i]) << "next " << i;
    }
    for (size_t i = 58;; --i) {
        DS->Prior();
        ASSERT_EQ(DS->FieldByName("ID")->GetAsInteger(), expected[i]) << "prior " << i;
        if (i == 0) break;
    }
    EXPECT_TRUE((DS->Prior(), DS->Bof()));
}

INSTANTIATE_TEST_SUITE_P(
    Orders, ScrollTest,
    testing::Values(TScrollCase{1, "ID", false, nullptr, "Id"},
                    TScrollCase{-1, "ID DESC", false, nullptr, "IdDesc"},
                    TScrollCase{2, "DESCRIPTION", false, nullptr, "Description"},
                    TScrollCase{-2, "DESCRIPTION DESC", false, nullptr, "DescriptionDesc"},
                    TScrollCase{1, "ID", true, nullptr, "IdClient"},
                    TScrollCase{-1, "ID DESC", true, nullptr, "IdDescClient"},
                    TScrollCase{2, "DESCRIPTION", true, nullptr, "DescriptionClient"},
                    TScrollCase{-2, "DESCRIPTION DESC", true, nullptr, "DescriptionDescClient"},
                    TScrollCase{1, "ID", false, "QUANTITY > 10", "IdServer"},
                    TScrollCase{-1, "ID DESC", false, "QUANTITY > 10", "IdDescServer"},
                    TScrollCase{2, "DESCRIPTION", false, "QUANTITY > 10", "DescriptionServer"},
                    TScrollCase{-2, "DESCRIPTION DESC", false, "QUANTITY > 10", "DescriptionDescServer"},
                    TScrollCase{1, "ID", true, "QUANTITY > 10", "IdBoth"},
                    TScrollCase{-1, "ID DESC", true, "QUANTITY > 10", "IdDescBoth"},
                    TScrollCase{2, "DESCRIPTION", true, "QUANTITY > 10", "DescriptionBoth"},
                    TScrollCase{-2, "DESCRIPTION DESC", true, "QUANTITY > 10", "DescriptionDescBoth"},
                    // Sort columns that hold NULL: first in ascending, last in descending order.
                    TScrollCase{3, "QUANTITY, ID", false, nullptr, "QuantityId"},
                    TScrollCase{-3, "QUANTITY DESC, ID DESC", false, nullptr, "QuantityIdDesc"},
                    TScrollCase{5, "PRICE", false, nullptr, "Price"},
                    TScrollCase{-5, "PRICE DESC", false, nullptr, "PriceDesc"},
                    TScrollCase{3, "QUANTITY, ID", true, "ID > 100", "QuantityIdBoth"},
                    TScrollCase{-5, "PRICE DESC", true, "ID > 100", "PriceDescBoth"}),
    [](const testing::TestParamInfo<TScrollCase>& Info) { return std::string(Info.param.Name); });

// ---------------------------------------------------------------------------
// An order whose values repeat: every row once, in one order both ways

namespace {

struct TTieCase {
    int Rows;
    int NullRows;      // rows with QUANTITY NULL, spread evenly
    bool Descending;   // the order item read inverted
    bool ClientFilter; // rows whose ID is a multiple of 3 are rejected
    const char* Name;
};

class TieScrollTest : public NavigationTest, public testing::WithParamInterface<TTieCase> {
protected:
    // ID 1..Rows, QUANTITY = MOD(ID, 10): ten values, each standing for a tenth of the rows.
    void FillTies(const TTieCase& Case) {
        ExecSQL("DELETE FROM ITEM");
        int nullEvery = Case.NullRows > 0 ? Case.Rows / Case.NullRows : 0;
        ExecSQL("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= " + IntToStr(Case.Rows) +
                ") DO BEGIN INSERT INTO ITEM (ID, DESCRIPTION, QUANTITY, PRICE) VALUES (:I, 'D' || :I,"
                " IIF(" + IntToStr(nullEvery) + " > 0 AND MOD(:I, " + IntToStr(std::max(nullEvery, 1)) +
                ") = 0, NULL, MOD(:I, 10)), :I); I = I + 1; END END");
        Commit();
    }
};

} // namespace

TEST_P(TieScrollTest, EveryRowComesOnceAndBothDirectionsReadTheSameOrder) {
    const TTieCase& c = GetParam();
    FillTies(c);
    Use("SELECT ID, QUANTITY FROM ITEM");
    DS->SetKeyColumns("ID");
    DS->GetOrderItems()->SetText("4;QUANTITY");
    DS->SetOrderItemId(c.Descending ? -4 : 4);
    if (c.ClientFilter) {
        DS->SetOnFilterRecord([](TDataSet* DataSet, bool& Accept) {
            Accept = DataSet->FieldByName("ID")->GetAsInteger() % 3 != 0;
        });
        DS->SetFiltered(true);
    }
    Source->SetDataSet(DS.get());
    AttachGrid();
    DS->Open();
    std::vector<int> expected = EngineOrder("", c.Descending ? "QUANTITY DESC, ID DESC" : "QUANTITY, ID");
    if (c.ClientFilter) std::erase_if(expected, [](int Id) { return Id % 3 == 0; });
    ASSERT_GT(expected.size(), 200u);
    size_t last = expected.size() - 20;
    // Some turns on the way: back a page, on again, and a refresh. (Each
    // re-opens a cursor, which sorts the rows anew: they are kept few.)
    const size_t turnEvery = std::max<size_t>(3, last / 20 / 6);

    ASSERT_EQ(Grid->Window(), Slice(expected, 0));
    size_t top = 0;
    for (size_t page = 1; top < last; ++page) {
        Grid->PageDown();
        top = std::min(top + 20, last);
        ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "page down " << page;
        if (page % turnEvery == 0) {
            Grid->PageUp();
            ASSERT_EQ(Grid->Window(), Slice(expected, top - 20)) << "page up at page " << page;
            Grid->PageDown();
            ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "page down again at page " << page;
            DS->RefreshRows();
            ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "refreshed at page " << page;
        }
    }
    DS->Last();
    ASSERT_EQ(Grid->Window(), Slice(expected, last));
    for (size_t page = 1; top > 0; ++page) {
        Grid->PageUp();
        top = top >= 20 ? top - 20 : 0;
        ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "page up " << page;
        if (page % turnEvery == 0 && top >= 20) {
            Grid->PageDown();
            ASSERT_EQ(Grid->Window(), Slice(expected, std::min(top + 20, last))) << "page down at page " << page;
            Grid->PageUp();
            ASSERT_EQ(Grid->Window(), Slice(expected, top)) << "page up again at page " << page;
        }
    }
    // Moves there and back, each beyond the window's edge: every turn re-opens a cursor among equal values.
    DS->First();
    size_t at = expected.size() / 2;
    ASSERT_EQ(DS->MoveBy(static_cast<int>(at)), static_cast<int>(at));
    for (int turn = 0; turn < 12; ++turn) {
        int step = turn % 2 == 0 ? 23 : -25;
        DS->MoveBy(step);
        at = static_cast<size_t>(static_cast<long>(at) + step);
        ASSERT_EQ(DS->FieldByName("ID")->GetAsInteger(), expected[at]) << "turn " << turn;
    }
}

INSTANTIATE_TEST_SUITE_P(
    RepeatedValues, TieScrollTest,
    testing::Values(TTieCase{100000, 0, false, false, "Ascending"}, TTieCase{100000, 0, true, false, "Descending"},
                    TTieCase{100000, 0, false, true, "AscendingClientFilter"},
                    TTieCase{1000, 50, false, false, "AscendingNulls"},
                    TTieCase{1000, 50, true, true, "DescendingNullsClientFilter"}),
    [](const testing::TestParamInfo<TTieCase>& Info) { return std::string(Info.param.Name); });

// ---------------------------------------------------------------------------
// Other attachments and the end of the transaction

TEST_F(NavigationTest, RowsDeletedByAnotherAttachmentAroundTheWindowAreLeftOut) {
    FillItems(200);
    UseItems(1);
    AttachGrid();
    DS->Open();
    Grid->PageDown();
    ASSERT_EQ(Grid->Window().front(), 21);
    TOtherUser other(*TestDb);
    other.Run("DELETE FROM ITEM WHERE ID IN (21, 45)");
    // Back from row 21, which is gone: the backward cursor finds 20 first.
    Grid->PageUp();
    std::vector<int> ids(20);
    for (int i = 0; i < 20; ++i)
        ids[static_cast<size_t>(i)] = i + 1;
    EXPECT_EQ(Grid->Window(), ids);
    Grid->PageDown();
    EXPECT_EQ(Grid->Window().front(), 22);
    Grid->PageDown();
    std::vector<int> window = Grid->Window();
    EXPECT_EQ(window.front(), 42);
    EXPECT_EQ(std::count(window.begin(), window.end(), 45), 0);
    // The current row deleted under the window: a refresh re-reads around it.
    other.Run("DELETE FROM ITEM WHERE ID = " + IntToStr(DS->FieldByName("ID")->GetAsInteger()));
    DS->RefreshRows();
    EXPECT_EQ(Grid->Window().size(), 20u);
}

TEST_F(NavigationTest, AnEndedTransactionClosesBothCursorsAndTheNextReadReOpensAtThePosition) {
    FillItems(300);
    UseItems(2);
    AttachGrid();
    DS->Open();
    std::vector<int> expected = EngineOrder("", "DESCRIPTION");
    Grid->PageDown();
    Grid->PageUp();
    Grid->PageDown();
    ASSERT_EQ(Grid->Window(), Slice(expected, 20));
    ASSERT_TRUE(DS->Forward()->GetOpen());

    // A retaining commit keeps the cursors.
    Tr->CommitRetaining();
    EXPECT_TRUE(DS->Forward()->GetOpen());
    Grid->PageDown();
    ASSERT_EQ(Grid->Window(), Slice(expected, 40));

    Tr->Commit();
    EXPECT_TRUE(DS->GetActive());
    EXPECT_FALSE(DS->Forward()->GetOpen());
    EXPECT_FALSE(DS->Backward()->GetOpen());
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(DS->ForwardBuffer()), -1);
    EXPECT_EQ(TIBRVRecordBuffer::GetValidFlag(DS->BackwardBuffer()), 1);
    // Without a transaction the read fails and the window stays.
    EXPECT_THROW(Grid->PageDown(), EIBError);
    EXPECT_EQ(Grid->Window(), Slice(expected, 40));
    // In a new one it goes on from the position.
    Tr->StartTransaction();
    Grid->PageDown();
    EXPECT_EQ(Grid->Window(), Slice(expected, 60));
    EXPECT_EQ(DS->FwdMode(), 2);
    Tr->Rollback();
    Tr->StartTransaction();
    Grid->PageUp();
    EXPECT_EQ(Grid->Window(), Slice(expected, 40));
    EXPECT_EQ(DS->BwdMode(), 4);
}

// ---------------------------------------------------------------------------
// Reads that fail: the window stays, and nothing goes away with an abort

TEST_F(NavigationTest, AfterAFailedLastTheWindowStaysAndLinksSourcesAndTheDatasetGoQuietly) {
    FillItems(200);
    struct Case {
        const char* Name;
        std::function<void()> Remove;
        bool DatasetStays;
    } cases[] = {
        {"grid link deleted", [this] { Grid.reset(); }, true},
        {"grid link detached", [this] { Grid->SetDataSource(nullptr); }, true},
        {"data source deleted", [this] { Source.reset(); }, true},
        {"dataset deleted", [this] { DS.reset(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Source = std::make_unique<TDataSource>(nullptr);
        UseItems(1);
        AttachGrid();
        DS->Open();
        DS->MoveBy(25);
        std::vector<int> window = Grid->Window();
        ASSERT_EQ(window.front(), 7);
        Tr->Commit();
        EXPECT_THROW(DS->Last(), EIBError); // no transaction
        EXPECT_EQ(Grid->Window(), window);
        EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), 26);
        c.Remove();
        if (c.DatasetStays) {
            Tr->StartTransaction();
            DS->Last();
            EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), 200);
        }
        Grid.reset();
        Source.reset();
        Commit();
    }
    Source = std::make_unique<TDataSource>(nullptr);
}

TEST_F(NavigationTest, WhenTheConnectionIsLostMidScrollTheWindowStaysAndEditNeverInserts) {
    FillItems(200);
    UseItems(1);
    DS->SetPessimisticLocking(true);
    DS->SetRefreshBeforeEdit(true);
    AttachGrid();
    DS->Open();
    DS->MoveBy(25);
    std::vector<int> window = Grid->Window();
    // Another attachment ends ours, as a server going down would.
    TIBSQL* self = NewSQL("SELECT CURRENT_CONNECTION FROM RDB$DATABASE");
    self->ExecQuery();
    AnsiString mine = self->GetFields(0)->GetAsString();
    self->Close();
    TOtherUser(*TestDb).Run("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = " + mine);
    EXPECT_THROW(DS->Last(), EIBError);
    EXPECT_EQ(Grid->Window(), window);
    EXPECT_EQ(DS->FieldByName("ID")->GetAsInteger(), 26);
    EXPECT_THROW(DS->Edit(), EIBError); // the lock cannot be taken
    EXPECT_EQ(DS->GetState(), dsBrowse);
    DS->SetPessimisticLocking(false);
    DS->SetRefreshBeforeEdit(false);
    DS->Edit(); // the row shown, never a new one
    EXPECT_EQ(DS->GetState(), dsEdit);
    DS->FieldByName("DESCRIPTION")->SetAsString("lost");
    DS->Cancel();
    EXPECT_EQ(DS->GetState(), dsBrowse);
    EXPECT_EQ(Grid->Window(), window);
    EXPECT_NE(DS->FieldByName("DESCRIPTION")->GetAsString(), "lost");
    Grid.reset(); // and the link goes without an abort
}
