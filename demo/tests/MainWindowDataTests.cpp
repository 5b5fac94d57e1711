// The main window over the sample rows: sort orders, the search box, the
// filters, bookmarks, refreshing, commit and rollback, editing and inserting
// through the grid and the navigator, and the calculated SUM.
#include "MainWindowFixture.h"

#include "DBGrids.h"

#include <QApplication>
#include <QScrollBar>
#include <QtTest/QTest>

#include <algorithm>

namespace {

using Ids = std::vector<int>;

const Ids ById = {-3, 1, 2, 3, 5, 8, 10, 11, 13, 15, 20};
const Ids ByDescription = {1, 2, 3, 5, 8, 10, 11, 13, 15, 20, -3};

Ids Reversed(Ids V) {
    std::reverse(V.begin(), V.end());
    return V;
}
Ids EvenOnly(const Ids& V) {
    Ids out;
    std::copy_if(V.begin(), V.end(), std::back_inserter(out), [](int Id) { return Id % 2 == 0; });
    return out;
}

TEST_F(MainWindowTest, EachSortOrderShowsTheRowsInItsOrder) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    EXPECT_EQ(GridIds(), ById); // at start: ID ascending
    const std::pair<TSpeedButton*, Ids> cases[] = {
        {Win->BtnSortIdDesc, Reversed(ById)},
        {Win->BtnSortDescrAsc, ByDescription},
        {Win->BtnSortDescrDesc, Reversed(ByDescription)},
        {Win->BtnSortIdAsc, ById},
    };
    for (const auto& [button, ids] : cases) {
        Click(button);
        EXPECT_EQ(GridIds(), ids) << button->GetName();
    }
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, TheSearchBoxFindsTheNearestRowInEachOrder) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    constexpr int Unchanged = 1000;
    struct Case {
        TSpeedButton* Sort;
        bool Filter;
        const char* Keys; // typed one by one; '\b' is Backspace
        int Id;           // where the dataset stands afterwards
    };
    TFrmMain& w = *Win;
    const Case cases[] = {
        // ID ascending: the ID or else the next higher; no integer searches for 0.
        {w.BtnSortIdAsc, false, "12", 13},
        {w.BtnSortIdAsc, true, "12", 20},
        {w.BtnSortIdAsc, false, "x", 1},
        {w.BtnSortIdAsc, true, "x", 2},
        {w.BtnSortIdAsc, false, "1\b", -3}, // emptied: the first row
        {w.BtnSortIdAsc, true, "1\b", 2},
        // ID descending: the ID or else the next lower.
        {w.BtnSortIdDesc, false, "12", 11},
        {w.BtnSortIdDesc, true, "12", 10},
        {w.BtnSortIdDesc, false, "x", -3},
        {w.BtnSortIdDesc, true, "x", Unchanged}, // -3 is odd and nothing follows it
        {w.BtnSortIdDesc, false, "1\b", -3},     // emptied: the last row
        {w.BtnSortIdDesc, true, "1\b", 2},
        // DESCRIPTION ascending: the first description at or after the text.
        {w.BtnSortDescrAsc, false, "Ap", 1},
        {w.BtnSortDescrAsc, true, "Ap", 2}, // Apple's ID is odd: the next accepted row
        {w.BtnSortDescrAsc, false, "Cz", 8},
        {w.BtnSortDescrAsc, false, "[", Unchanged}, // after every description
        {w.BtnSortDescrAsc, true, "[", Unchanged},
        {w.BtnSortDescrAsc, false, "A\b", 1},
        {w.BtnSortDescrAsc, true, "A\b", 2},
        // DESCRIPTION descending: the first description at or before the text.
        {w.BtnSortDescrDesc, false, "C", 3},
        {w.BtnSortDescrDesc, true, "C", 2},
        {w.BtnSortDescrDesc, false, "A\b", 1},
        {w.BtnSortDescrDesc, true, "A\b", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Sort->GetName() + (c.Filter ? " filtered, " : ", ") + "keys \"" + c.Keys + "\"");
        Click(c.Sort);
        if (w.BtnClientFilter->GetDown() != c.Filter) Click(w.BtnClientFilter);
        w.EdtSearchExit(w.EdtSearch);
        int before = CurrentId();
        w.EdtSearch->SetFocus();
        for (const char* k = c.Keys; *k; ++k)
            if (*k == '\b')
                Press(Qt::Key_Backspace);
            else
                Type(QString(QChar(*k)));
        EXPECT_EQ(CurrentId(), c.Id == Unchanged ? before : c.Id);
        EXPECT_EQ(w.DataSet->GetState(), dsBrowse);
        // The grid keeps its rows.
        EXPECT_EQ(static_cast<size_t>(w.DbGrid->GetRowCount()),
                  c.Filter ? EvenOnly(ById).size() : ById.size());
    }
    // Whatever the search did not find was not worth a message.
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, LeavingTheSearchBoxEmptiesItAndDoesNotMove) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    Win->EdtSearch->SetFocus();
    Type("12");
    ASSERT_EQ(CurrentId(), 13);
    Win->DbGrid->SetFocus();
    EXPECT_EQ(Win->EdtSearch->GetText(), "");
    EXPECT_EQ(CurrentId(), 13);
    // Typing again searches again.
    Win->EdtSearch->SetFocus();
    Type("3");
    EXPECT_EQ(CurrentId(), 3);
}

TEST_F(MainWindowTest, TheSearchPostsAPendingEditFirstAndShowsWhenThatFails) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    TFrmMain& w = *Win;
    GoTo(1);
    w.DataSet->Edit();
    w.DataSetDESCRIPTION->SetAsString("Apple pie");
    w.EdtSearch->SetFocus();
    Type("8");
    EXPECT_EQ(CurrentId(), 8);
    EXPECT_EQ(RowsInWindow("SELECT DESCRIPTION FROM ITEM WHERE ID = 1"),
              std::vector<AnsiString>{"Apple pie"});

    // Descriptions are unique: this post fails, the failure is shown and the edit stays.
    GoTo(2);
    w.DataSet->Edit();
    w.DataSetDESCRIPTION->SetAsString("Banana");
    Type("3");
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_EQ(w.DataSet->GetState(), dsEdit);
    EXPECT_EQ(w.DataSetDESCRIPTION->GetAsString(), "Banana");
    EXPECT_EQ(CurrentId(), 2);
    w.DataSet->Cancel();
    EXPECT_EQ(RowsInWindow("SELECT DESCRIPTION FROM ITEM WHERE ID = 2"), std::vector<AnsiString>{"Apricot"});
}

TEST_F(MainWindowTest, TheClientFilterShowsEvenIdsOnly) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    Click(Win->BtnClientFilter);
    EXPECT_EQ(GridIds(), EvenOnly(ById)); // -3 is odd too
    EXPECT_EQ(DataSetIds(), EvenOnly(ById));
    Click(Win->BtnSortDescrDesc);
    EXPECT_EQ(GridIds(), EvenOnly(Reversed(ByDescription)));
    Click(Win->BtnClientFilter);
    EXPECT_EQ(GridIds(), Reversed(ByDescription));
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, TheServerFilterShowsQuantitiesAboveFive) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    Click(Win->BtnServerFilter);
    EXPECT_TRUE(Win->BtnServerFilter->GetDown());
    EXPECT_EQ(Win->DataSet->GetWhereClause(), "QUANTITY > 5");
    const Ids aboveFive = {2, 3, 8, 10, 13, 15};
    EXPECT_EQ(GridIds(), aboveFive);
    // Both filters together, in another order, across closing and opening.
    Click(Win->BtnClientFilter);
    Click(Win->BtnSortIdDesc);
    EXPECT_EQ(GridIds(), (Ids{10, 8, 2}));
    Click(Win->BtnOpenClose);
    Click(Win->BtnOpenClose);
    EXPECT_EQ(GridIds(), (Ids{10, 8, 2}));
    Click(Win->BtnServerFilter);
    EXPECT_EQ(Win->DataSet->GetWhereClause(), "");
    EXPECT_EQ(GridIds(), EvenOnly(Reversed(ById)));
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, ABookmarkLeadsBackToItsRowUntilItIsReleased) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    TFrmMain& w = *Win;
    GoTo(8);
    Click(w.BtnGetBM);
    EXPECT_TRUE(w.BtnGetBM->GetDown());
    ASSERT_NE(w.GetHeldBookmark(), nullptr);
    w.DataSet->Last();
    Click(w.BtnGotoBM);
    EXPECT_EQ(CurrentId(), 8);

    // It outlives closing and opening, and another order.
    Click(w.BtnOpenClose);
    EXPECT_NE(w.GetHeldBookmark(), nullptr);
    Click(w.BtnOpenClose);
    Click(w.BtnSortDescrAsc);
    w.DataSet->First();
    Click(w.BtnGotoBM);
    EXPECT_EQ(CurrentId(), 8);

    // Its row gone: the error is shown and the current row stays.
    {
        auto other = Attach();
        Exec(*other, "DELETE FROM ITEM WHERE ID = 8");
    }
    w.DataSet->First();
    Click(w.BtnGotoBM);
    ASSERT_EQ(ErrorTexts().size(), 1u);
    EXPECT_NE(ErrorTexts()[0].find("Datensatz nicht gefunden"), std::string::npos) << ErrorTexts()[0];
    EXPECT_EQ(CurrentId(), 1);

    // Released: Goto Bookmark does nothing any more.
    Click(w.BtnGetBM);
    EXPECT_FALSE(w.BtnGetBM->GetDown());
    EXPECT_EQ(w.GetHeldBookmark(), nullptr);
    w.DataSet->Last();
    Click(w.BtnGotoBM);
    EXPECT_EQ(CurrentId(), -3);
    EXPECT_EQ(ErrorTexts().size(), 1u);

    // Taken again and held when the window goes: freed with it.
    Click(w.BtnGetBM);
    EXPECT_NE(w.GetHeldBookmark(), nullptr);
}

TEST_F(MainWindowTest, RefreshActiveRereadsTheRowAndRefreshAllTheWindow) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    auto other = Attach();
    Exec(*other, "INSERT INTO ITEM (ID, DESCRIPTION) VALUES (7, 'Cranberry')");
    Exec(*other, "UPDATE ITEM SET DESCRIPTION = 'Big Apple' WHERE ID = 1");
    EXPECT_EQ(GridIds(), ById); // the grid still shows what it read
    Click(Win->BtnRefreshAll);
    Ids withSeven = {-3, 1, 2, 3, 5, 7, 8, 10, 11, 13, 15, 20};
    EXPECT_EQ(GridIds(), withSeven);
    GoTo(1);
    EXPECT_EQ(Win->DataSetDESCRIPTION->GetAsString(), "Big Apple");

    Exec(*other, "UPDATE ITEM SET DESCRIPTION = 'Crab Apple', QUANTITY = 9 WHERE ID = 1");
    EXPECT_EQ(Win->DataSetDESCRIPTION->GetAsString(), "Big Apple");
    Click(Win->BtnRefreshActive);
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(Win->DataSetDESCRIPTION->GetAsString(), "Crab Apple");
    EXPECT_EQ(Win->DataSetSUM->GetAsCurrency(), Currency::FromRaw(9 * 22500)); // 9 x 2.25
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, RollbackUndoesWhatCommitDidNotKeep) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    TFrmMain& w = *Win;
    auto other = Attach();
    GoTo(2);
    w.DataSet->Edit();
    w.DataSetDESCRIPTION->SetAsString("Aprikose");
    w.DataSet->Post();
    EXPECT_EQ(Rows(*other, "SELECT DESCRIPTION FROM ITEM WHERE ID = 2"), std::vector<AnsiString>{"Apricot"});
    Click(w.BtnCommit);
    EXPECT_EQ(Rows(*other, "SELECT DESCRIPTION FROM ITEM WHERE ID = 2"), std::vector<AnsiString>{"Aprikose"});
    EXPECT_EQ(CurrentId(), 2); // the dataset stays where it was

    w.DataSet->Edit();
    w.DataSetDESCRIPTION->SetAsString("Marille");
    w.DataSet->Post();
    EXPECT_EQ(w.DbGrid->GetCellText(1, w.DbGrid->GetRow()), "Marille");
    Click(w.BtnRollback);
    EXPECT_EQ(Rows(*other, "SELECT DESCRIPTION FROM ITEM WHERE ID = 2"), std::vector<AnsiString>{"Aprikose"});
    // Refreshed: the grid shows what the database holds again.
    EXPECT_EQ(w.DataSetDESCRIPTION->GetAsString(), "Aprikose");
    EXPECT_EQ(w.DbGrid->GetCellText(1, w.DbGrid->GetRow()), "Aprikose");
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, TheGridEditsAndInsertsRowsWithIdsFromTheGenerator) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    TFrmMain& w = *Win;
    w.DbGrid->SetFocus();
    // Editing a cell and leaving the row posts it.
    GoTo(2);
    w.DbGrid->SetSelectedIndex(1);
    Press(Qt::Key_F2);
    Press(Qt::Key_End);
    Type(" (dried)");
    Press(Qt::Key_Down);
    EXPECT_EQ(w.DataSet->GetState(), dsBrowse);
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_EQ(RowsInWindow("SELECT DESCRIPTION FROM ITEM WHERE ID = 2"),
              std::vector<AnsiString>{"Apricot (dried)"});

    // A new row: its ID comes from the generator at once.
    Press(Qt::Key_Insert);
    ASSERT_EQ(w.DataSet->GetState(), dsInsert);
    EXPECT_EQ(CurrentId(), 101);
    w.DbGrid->SetSelectedIndex(1);
    Type("Mango");
    Press(Qt::Key_Tab);
    Type("3");
    Press(Qt::Key_Tab);
    Type("1.25");
    Press(Qt::Key_Up); // leaving the new row posts it
    EXPECT_EQ(w.DataSet->GetState(), dsBrowse);
    EXPECT_EQ(RowsInWindow("SELECT ID, DESCRIPTION, QUANTITY, PRICE FROM ITEM WHERE ID > 100"),
              std::vector<AnsiString>{"101|Mango|3.00|1.25"});
    GoTo(101);
    EXPECT_EQ(w.DataSetSUM->GetAsCurrency(), Currency::FromRaw(37500)); // 3 x 1.25
    EXPECT_TRUE(ErrorTexts().empty());
}

// Insert while a cell is being edited: the cell goes into its row, the row
// is posted, and a new row begins, as Insert does without an editor.
TEST_F(MainWindowTest, InsertWhileEditingACellPostsItAndBeginsANewRow) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    TFrmMain& w = *Win;
    w.DbGrid->SetFocus();
    GoTo(3);
    w.DbGrid->SetSelectedIndex(2);
    Type("9"); // typing opens the cell editor with what is typed
    ASSERT_TRUE(w.DbGrid->GetEditorMode());
    Press(Qt::Key_Insert);
    ASSERT_EQ(w.DataSet->GetState(), dsInsert);
    EXPECT_EQ(CurrentId(), 101);
    EXPECT_EQ(RowsInWindow("SELECT QUANTITY FROM ITEM WHERE ID = 3"), std::vector<AnsiString>{"9.00"});
    w.DbGrid->SetSelectedIndex(1);
    Type("Quince");
    Press(Qt::Key_Up);
    EXPECT_EQ(w.DataSet->GetState(), dsBrowse);
    EXPECT_EQ(RowsInWindow("SELECT ID, DESCRIPTION FROM ITEM WHERE ID > 100"),
              std::vector<AnsiString>{"101|Quince"});
    EXPECT_TRUE(ErrorTexts().empty());
}

// A new row without a description: the framework refuses the post before
// anything is sent, names the field, and puts the cursor on its column;
// with a description the same row posts.
TEST_F(MainWindowTest, ANewRowWithoutItsDescriptionIsRefusedBeforeItIsSent) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    TFrmMain& w = *Win;
    w.DbGrid->SetFocus();
    Press(Qt::Key_Insert);
    ASSERT_EQ(w.DataSet->GetState(), dsInsert);
    w.DbGrid->SetSelectedIndex(2);
    Type("3");
    Press(Qt::Key_Up);
    ASSERT_EQ(ErrorTexts(), std::vector<std::string>{"Field 'DESCRIPTION' must have a value"});
    EXPECT_EQ(w.DataSet->GetState(), dsInsert);
    EXPECT_EQ(w.DbGrid->GetSelectedField(), w.DataSetDESCRIPTION);
    EXPECT_EQ(RowsInWindow("SELECT COUNT(*) FROM ITEM WHERE ID > 100"), std::vector<AnsiString>{"0"});
    Type("Quince");
    Press(Qt::Key_Up);
    EXPECT_EQ(w.DataSet->GetState(), dsBrowse);
    EXPECT_EQ(RowsInWindow("SELECT ID, DESCRIPTION, QUANTITY FROM ITEM WHERE ID > 100"),
              std::vector<AnsiString>{"101|Quince|3.00"});
    EXPECT_EQ(ErrorTexts().size(), 1u);
}

TEST_F(MainWindowTest, TheNavigatorInsertsEditsAndCancels) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    TFrmMain& w = *Win;
    auto button = [&](TNavigateBtn B) { return static_cast<TControl*>(w.Nav->GetButton(B)); };
    EXPECT_TRUE(button(nbInsert)->GetEnabled());
    EXPECT_FALSE(button(nbPost)->GetEnabled());

    Click(button(nbInsert));
    ASSERT_EQ(w.DataSet->GetState(), dsInsert);
    EXPECT_EQ(CurrentId(), 101);
    EXPECT_TRUE(button(nbPost)->GetEnabled());
    w.DataSetDESCRIPTION->SetAsString("Quince");
    Click(button(nbPost));
    EXPECT_EQ(w.DataSet->GetState(), dsBrowse);
    EXPECT_EQ(CurrentId(), 101);

    // A second new row takes the next value; a cancelled one takes one too.
    Click(button(nbInsert));
    EXPECT_EQ(CurrentId(), 102);
    Click(button(nbCancel));
    EXPECT_EQ(w.DataSet->GetState(), dsBrowse);
    Click(button(nbInsert));
    EXPECT_EQ(CurrentId(), 103);
    w.DataSetDESCRIPTION->SetAsString("Raspberry");
    w.DataSetQUANTITY->SetAsString("6");
    Click(button(nbPost));

    GoTo(101);
    Click(button(nbEdit));
    ASSERT_EQ(w.DataSet->GetState(), dsEdit);
    w.DataSetDESCRIPTION->SetAsString("Quitte");
    Click(button(nbPost));
    EXPECT_EQ(RowsInWindow("SELECT ID, DESCRIPTION, QUANTITY FROM ITEM WHERE ID > 100 ORDER BY ID"),
              (std::vector<AnsiString>{"101|Quitte|null", "103|Raspberry|6.00"}));
    EXPECT_EQ(RowsInWindow("SELECT GEN_ID(GEN_ITEM_ID, 0) FROM RDB$DATABASE"),
              std::vector<AnsiString>{"103"});
    EXPECT_TRUE(ErrorTexts().empty());
}

// Every column, SUM too, shows whole beside the vertical bar, so no
// horizontal bar takes a row. The grid keeps the rows it shows, and the
// current row shows whole after Last, Ctrl+End and a row posted at the end.
TEST_F(MainWindowTest, TheGridShowsEveryColumnAndTheCurrentRowWhole) {
    UseDatabase(Path);
    CreateDb();
    {
        auto db = Attach();
        for (int i = 1; i <= 40; ++i)
            Exec(*db, "INSERT INTO ITEM (DESCRIPTION, QUANTITY, PRICE) VALUES ('Item " + IntToStr(i) +
                          "', 999.99, 999999.99)");
    }
    Open();
    TDBGrid& grid = *Win->DbGrid;
    QScrollBar *vertical = nullptr, *horizontal = nullptr;
    for (QScrollBar* b : grid.GetWidget()->findChildren<QScrollBar*>())
        (b->orientation() == Qt::Vertical ? vertical : horizontal) = b;
    ASSERT_TRUE(vertical && horizontal);
    EXPECT_TRUE(vertical->isVisible());
    EXPECT_FALSE(horizontal->isVisible());
    for (int c = 0; c < grid.GetColumnCount(); ++c)
        EXPECT_LT(grid.CellRect(c, 0).right(), vertical->x()) << grid.GetColumnTitle(c);
    // The largest SUM there can be, in the first row, right-aligned in its cell.
    ASSERT_EQ(grid.GetCellText(4, 0), "999989990.0001");
    QRect sum = grid.CellRect(4, 0);
    QImage shot = grid.GetWidget()->grab().toImage();
    int first = sum.right(), last = sum.left();
    for (int y = sum.top() + 1; y < sum.bottom(); ++y)
        for (int x = sum.left() + 1; x < sum.right(); ++x)
            if (qGray(shot.pixel(x, y)) < 100) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    EXPECT_GT(first, sum.left() + 2) << "the text is cut at the left";
    EXPECT_GE(last, sum.right() - 6);

    const int rowHeight = grid.GetDefaultRowHeight();
    const int whole = (grid.GetHeight() - 2 * 2 - rowHeight) / rowHeight; // less frame and titles
    EXPECT_EQ(grid.GetVisibleRowCount(), whole);
    EXPECT_EQ(grid.GetRowCount(), whole);
    auto expectCurrentRowWhole = [&](const char* When) {
        EXPECT_EQ(grid.GetRow(), whole - 1) << When;
        QRect cell = grid.CellRect(grid.GetSelectedIndex(), grid.GetRow());
        EXPECT_LE(cell.bottom(), grid.GetHeight() - 3) << When;
        QImage image = grid.GetWidget()->grab().toImage();
        EXPECT_EQ(image.pixelColor(cell.center().x(), cell.bottom() - 1), ColorToQColor(clHighlight)) << When;
    };
    grid.SetFocus();
    Click(Win->Nav->GetButton(nbLast));
    EXPECT_EQ(CurrentId(), 40);
    expectCurrentRowWhole("Last");
    Press(Qt::Key_Home, Qt::ControlModifier);
    Press(Qt::Key_End, Qt::ControlModifier);
    expectCurrentRowWhole("Ctrl+End");
    Press(Qt::Key_Down); // a new row at the end
    ASSERT_EQ(Win->DataSet->GetState(), dsInsert);
    Win->DataSetDESCRIPTION->SetAsString("Posted at the end");
    Click(Win->Nav->GetButton(nbPost));
    EXPECT_EQ(CurrentId(), 41);
    expectCurrentRowWhole("posted");
    EXPECT_TRUE(ErrorTexts().empty());
}

TEST_F(MainWindowTest, SumIsQuantityTimesPriceAndZeroWhenEitherIsMissing) {
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    struct Case {
        int Id;
        Int64 Sum; // scaled by 10000
        const char* Shown;
    };
    const Case cases[] = {
        {1, 33750, "3.375"}, // 1.50 x 2.25
        {2, 40000, "4"},     // 10 x 0.40
        {5, 0, "0"},         // no QUANTITY
        {8, 0, "0"},         // no PRICE
    };
    for (const Case& c : cases) {
        GoTo(c.Id);
        EXPECT_EQ(Win->DataSetSUM->GetAsCurrency(), Currency::FromRaw(c.Sum)) << c.Id;
        EXPECT_FALSE(Win->DataSetSUM->GetIsNull()) << c.Id;
        EXPECT_EQ(Win->DbGrid->GetCellText(4, Win->DbGrid->GetRow()), c.Shown) << c.Id;
    }
}

} // namespace
