// The cell grid through keys, clicks and its window.
#include "Grids.h"
#include "Forms.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QScrollBar>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <set>

namespace {

// A grid that notes the cells it draws and refuses the cells it is told to.
class TTestGrid : public TCustomGrid {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TTestGrid>& P) {
        P.Prop("ColCount", &TCustomGrid::GetColCount, &TCustomGrid::SetColCount).Default(5);
    }
    using TCustomGrid::FocusCell;
    using TCustomGrid::InvalidateCell;
    using TCustomGrid::MoveColRow;
    using TCustomGrid::TCustomGrid;
    std::set<std::pair<int, int>> Refused;
    std::vector<std::pair<int, int>> Asked;
    std::map<std::pair<int, int>, TGridDrawState> Drawn;
    void SaveCellExtents(bool Value) { FSaveCellExtents = Value; }

protected:
    bool SelectCell(int ACol, int ARow) override {
        Asked.push_back({ACol, ARow});
        return !Refused.count({ACol, ARow});
    }
    void DrawCell(int ACol, int ARow, const TRect&, TGridDrawState AState) override {
        Drawn[{ACol, ARow}] = AState;
    }
};

struct Grid : ::testing::Test {
    Grid() {
        Form->SetBounds(0, 0, 400, 300);
        G->SetParent(Form.get());
        G->SetBorderStyle(bsNone);
        G->SetScrollBars(ssNone);
        G->SetBounds(0, 0, 200, 150);
        G->OnClick = [this](TObject*) { ++Clicks; };
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        G->SetFocus();
    }
    void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) { QTest::keyClick(G->GetWidget(), K, M); }
    QPoint Centre(int ACol, int ARow) const {
        TRect r = G->CellRect(ACol, ARow);
        return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    }
    std::pair<int, int> Current() const { return {G->GetCol(), G->GetRow()}; }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TTestGrid* G = new TTestGrid(Form.get());
    int Clicks = 0;
};

} // namespace

KV_PUBLISHED_METACLASS(TTestGrid, &TCustomGrid::ClassInfo())

namespace {

TEST_F(Grid, CellsFollowTheirWidthsHeightsAndLines) {
    G->SetDefaultColWidth(30);
    G->SetDefaultRowHeight(20);
    G->SetColWidths(2, 50);
    EXPECT_EQ(G->CellRect(0, 0), Rect(0, 0, 30, 20));
    EXPECT_EQ(G->CellRect(1, 1), Rect(31, 21, 61, 41));
    EXPECT_EQ(G->CellRect(2, 1), Rect(62, 21, 112, 41));
    EXPECT_EQ(G->CellRect(3, 1), Rect(113, 21, 143, 41));
    EXPECT_EQ(G->CellRect(4, 4), Rect(144, 84, 174, 104));
    int c, r;
    G->MouseToCell(61, 41, c, r); // a grid line belongs to the cell before it
    EXPECT_EQ(std::make_pair(c, r), std::make_pair(1, 1));
    G->MouseToCell(190, 10, c, r); // past the last column
    EXPECT_EQ(std::make_pair(c, r), std::make_pair(-1, -1));
    G->SetOptions(TGridOptions{goFixedVertLine, goFixedHorzLine}); // lines only around fixed cells
    EXPECT_EQ(G->CellRect(2, 2), Rect(61, 41, 111, 61));
    G->SetDefaultColWidth(40); // drops the individual width
    EXPECT_EQ(G->GetColWidths(2), 40);
    EXPECT_THROW(G->GetColWidths(5), EInvalidGridOperation);
}

TEST_F(Grid, KeysMoveWhereSelectCellAgreesAndStayOffFixedCells) {
    G->Refused = {{3, 1}};
    struct Step {
        Qt::Key Key;
        Qt::KeyboardModifiers Mods;
        std::pair<int, int> After;
    };
    const Step steps[] = {
        {Qt::Key_Up, Qt::NoModifier, {1, 1}},        // row 0 is fixed
        {Qt::Key_Left, Qt::NoModifier, {1, 1}},      // so is column 0
        {Qt::Key_Right, Qt::NoModifier, {2, 1}},     //
        {Qt::Key_Right, Qt::NoModifier, {2, 1}},     // refused
        {Qt::Key_Down, Qt::NoModifier, {2, 2}},      //
        {Qt::Key_End, Qt::NoModifier, {4, 2}},       // last column
        {Qt::Key_Home, Qt::NoModifier, {1, 2}},      // first non-fixed column
        {Qt::Key_End, Qt::ControlModifier, {4, 4}},  // last cell
        {Qt::Key_Down, Qt::NoModifier, {4, 4}},      // nothing below
        {Qt::Key_Home, Qt::ControlModifier, {1, 1}}, // first cell
        {Qt::Key_PageDown, Qt::NoModifier, {1, 4}},  // a page, held at the end
    };
    for (const Step& s : steps) {
        Key(s.Key, s.Mods);
        EXPECT_EQ(Current(), s.After) << QTest::toString(s.Key);
    }
    EXPECT_EQ(Clicks, 8); // each move
}

TEST_F(Grid, ClicksMoveToNonFixedCellsWhereSelectCellAgrees) {
    G->Refused = {{2, 2}};
    int ups = 0;
    G->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++ups; };
    QTest::mouseClick(G->GetWidget(), Qt::LeftButton, {}, Centre(3, 2));
    EXPECT_EQ(Current(), std::make_pair(3, 2));
    QTest::mouseClick(G->GetWidget(), Qt::LeftButton, {}, Centre(2, 0)); // fixed
    QTest::mouseClick(G->GetWidget(), Qt::LeftButton, {}, Centre(2, 2)); // refused
    EXPECT_EQ(Current(), std::make_pair(3, 2));
    EXPECT_EQ(ups, 3);
}

TEST_F(Grid, MoveColRowAsksEvenForTheCurrentCellAndChecksTheRange) {
    G->Asked.clear();
    G->MoveColRow(1, 1, false, false);
    EXPECT_EQ(G->Asked, (std::vector<std::pair<int, int>>{{1, 1}}));
    G->MoveColRow(0, 0, false, false); // fixed cells are the caller's business
    EXPECT_EQ(Current(), std::make_pair(0, 0));
    EXPECT_THROW(G->MoveColRow(5, 1, false, false), EInvalidGridOperation);
    EXPECT_THROW(G->MoveColRow(1, -1, false, false), EInvalidGridOperation);
    EXPECT_EQ(Clicks, 0); // only FocusCell clicks
}

TEST_F(Grid, DrawsEachCellWithItsStateAndRepaintsOneCell) {
    G->SetDefaultColWidth(30); // all 25 cells show
    G->SetOptions(G->GetOptions() << goDrawFocusSelected);
    G->FocusCell(2, 3, true);
    G->GetWidget()->grab();
    auto drawn = [this](int ACol, int ARow) { return G->Drawn[std::make_pair(ACol, ARow)]; };
    EXPECT_EQ(G->Drawn.size(), 25u);
    EXPECT_EQ(drawn(0, 3), TGridDrawState{gdFixed});
    EXPECT_EQ(drawn(2, 0), TGridDrawState{gdFixed});
    EXPECT_EQ(drawn(1, 1), TGridDrawState{});
    EXPECT_EQ(drawn(2, 3), (TGridDrawState{gdFocused, gdSelected}));
    G->Drawn.clear();
    G->InvalidateCell(4, 4);
    QApplication::processEvents();
    ASSERT_EQ(G->Drawn.size(), 1u);
    EXPECT_EQ(G->Drawn.begin()->first, std::make_pair(4, 4));
}

TEST_F(Grid, ScrollsTheCurrentCellIntoViewWithABarWhereRowsDoNotFit) {
    G->SetScrollBars(ssVertical);
    G->SetRowCount(20); // 24 + 1 pixels a row: 6 rows show in 150
    auto* bar = G->GetWidget()->findChild<QScrollBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(G->GetClientWidth(), 200 - bar->width());
    EXPECT_EQ(G->GetVisibleRowCount(), 5); // and the fixed row is one of them
    Key(Qt::Key_PageDown);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(G->GetRow(), 11);
    EXPECT_EQ(G->GetTopRow(), 7); // row 11 is the last that shows completely
    EXPECT_EQ(bar->value(), 7);
    bar->setValue(1);
    EXPECT_EQ(G->GetTopRow(), 1);
    EXPECT_EQ(G->GetRow(), 11); // scrolling leaves the current cell
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(G->GetTopRow(), 15);
    G->SetRowCount(3);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(G->GetClientWidth(), 200);
    EXPECT_EQ(G->GetRow(), 2);
}

TEST_F(Grid, IndividualExtentsGoIntoFormTextUnlessTheGridSaysNo) {
    RegisterClass(&TTestGrid::ClassInfo());
    G->SetName("G");
    G->SetColWidths(1, 40);
    AnsiString text = WriteComponentToText(Form.get(), TForm::ClassInfo());
    EXPECT_NE(text.find("ColWidths = (\r\n      64\r\n      40\r\n"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("RowHeights"), AnsiString::npos);

    TForm again(nullptr);
    ReadComponentFromText(text, &again, TForm::ClassInfo());
    auto* read = dynamic_cast<TTestGrid*>(again.FindComponent("G"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetColWidths(1), 40);
    EXPECT_EQ(read->GetColWidths(2), 64);

    G->SaveCellExtents(false);
    EXPECT_EQ(WriteComponentToText(Form.get(), TForm::ClassInfo()).find("ColWidths"), AnsiString::npos);
}

} // namespace
