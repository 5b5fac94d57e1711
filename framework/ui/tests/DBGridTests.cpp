// The data grid over the in-memory test dataset, driven through Qt.
#include "DBGrids.h"
#include "Clipbrd.h"
#include "Dialogs.h"
#include "MemDataSet.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

constexpr int Rows = 5; // rows the grid shows

struct GridTest : ::testing::Test {
    GridTest() {
        Table.AddRows(1, 50);
        DS = new TMemDataSet(&Form, Table, Log);
        DS->Logging = false;
        Source = new TDataSource(&Form);
        Source->SetDataSet(DS);
        Grid = new TDBGrid(&Form);
        Grid->SetParent(&Form);
        Grid->SetBounds(0, 0, 300, HeightFor(Rows));
        Grid->SetDataSource(Source);
        Form.SetBounds(0, 0, 400, 300);
        Form.Show();
        QApplication::setActiveWindow(Form.GetHandle());
    }
    ~GridTest() override {
        SetMessageDlgHook(nullptr);
        SetBeepHook(nullptr);
        Form.Hide();
    }
    int HeightFor(int RowCount) const {
        return 2 * 2 + (RowCount + 1) * Grid->GetDefaultRowHeight() + 3; // frame, titles, a part row
    }
    void Open() {
        DS->Open();
        Grid->SetFocus();
    }
    int Key() { return DS->FieldByName("ID")->GetAsInteger(); }
    AnsiString Name() { return DS->FieldByName("NAME")->GetAsString(); }
    // Keys and text go where the focus is, as they would from the keyboard.
    static void Press(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), K, M);
    }
    static void Type(const QString& Text) {
        for (char32_t c : Text.toUcs4()) {
            QString key = QString::fromUcs4(&c, 1);
            if (c < 128) {
                QTest::keyClicks(QApplication::focusWidget(), key);
                continue;
            }
            // A character beyond ASCII, as a keyboard that has it sends it:
            // one key, even where it is two UTF-16 units.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, key);
            QApplication::sendEvent(QApplication::focusWidget(), &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, key);
            QApplication::sendEvent(QApplication::focusWidget(), &release);
        }
    }
    std::vector<AnsiString> Column(int Col) {
        std::vector<AnsiString> out;
        for (int r = 0; r < Grid->GetRowCount(); ++r)
            out.push_back(Grid->GetCellText(Col, r));
        return out;
    }
    QLineEdit* EditorWidget() { return qobject_cast<QLineEdit*>(Grid->GetInplaceEditor()->GetWidget()); }
    QScrollBar* Bar(Qt::Orientation Orientation) {
        for (QScrollBar* b : Grid->GetWidget()->findChildren<QScrollBar*>())
            if (b->orientation() == Orientation) return b;
        return nullptr;
    }
    // Whether the indicator of a row shows its mark (dark pixels).
    bool Marked(const QImage& Image, int Row) {
        QRect r = Grid->CellRect(-1, Row);
        int dark = 0;
        for (int y = r.top() + 2; y < r.bottom() - 1; ++y)
            for (int x = r.left() + 2; x < r.right() - 1; ++x)
                dark += qGray(Image.pixel(x, y)) < 60;
        return dark >= 5;
    }
    QImage Shot() { return Grid->GetWidget()->grab().toImage(); }

    TEventLog Log;
    TMemTable Table{{{"ID", ftInteger, 0, true}, {"NAME", ftString, 10}}};
    TForm Form{nullptr};
    TMemDataSet* DS = nullptr;
    TDataSource* Source = nullptr;
    TDBGrid* Grid = nullptr;
    ExceptionCatcher Caught;
};

TEST_F(GridTest, ShowsTheWindowOfRecordsThatFits) {
    Open();
    DS->FieldByName("NAME")->SetDisplayLabel("Name");
    EXPECT_EQ(Grid->GetVisibleRowCount(), Rows);
    EXPECT_EQ(DS->RingBufferCount(), Rows); // the dataset keeps just what the grid shows
    ASSERT_EQ(Grid->GetColumnCount(), 2);
    EXPECT_EQ(Grid->GetColumnTitle(0), "ID");
    EXPECT_EQ(Grid->GetColumnTitle(1), "Name");
    EXPECT_EQ(Column(0), (std::vector<AnsiString>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Column(1), (std::vector<AnsiString>{"row1", "row2", "row3", "row4", "row5"}));
    EXPECT_EQ(Grid->GetRow(), 0);
    QImage shot = Shot();
    EXPECT_TRUE(Marked(shot, 0));
    EXPECT_FALSE(Marked(shot, 1));

    // Taller: more rows, fetched by the dataset.
    Grid->SetHeight(HeightFor(8));
    EXPECT_EQ(Grid->GetVisibleRowCount(), 8);
    EXPECT_EQ(DS->RingBufferCount(), 8);
    EXPECT_EQ(Grid->GetRowCount(), 8);
    EXPECT_EQ(Grid->GetCellText(0, 7), "8");
    // A hidden field has no column.
    DS->FieldByName("ID")->SetVisible(false);
    ASSERT_EQ(Grid->GetColumnCount(), 1);
    EXPECT_EQ(Grid->GetColumnTitle(0), "Name");
}

// The horizontal bar comes with columns wider than the grid and takes the
// room of a row: the grid asks the dataset for exactly the rows that show
// whole above it, so the current row always shows, down to its last line.
TEST_F(GridTest, AsksForTheRowsThatShowWholeAsTheHorizontalBarComesAndGoes) {
    auto expectWholeRows = [&](bool BarShown, const char* When) {
        SCOPED_TRACE(When);
        QScrollBar* bar = Bar(Qt::Horizontal);
        ASSERT_NE(bar, nullptr);
        ASSERT_EQ(bar->isVisible(), BarShown);
        int bottom = BarShown ? bar->geometry().top() : Grid->GetHeight() - 2; // above the bar or frame
        int whole = (bottom - Grid->CellRect(0, 0).top()) / Grid->GetDefaultRowHeight();
        EXPECT_EQ(Grid->GetVisibleRowCount(), whole);
        EXPECT_EQ(DS->RingBufferCount(), whole);
        EXPECT_EQ(Grid->GetRowCount(), whole);
        QRect cell = Grid->CellRect(Grid->GetSelectedIndex(), Grid->GetRow());
        EXPECT_LT(cell.bottom(), bottom);
        // The current cell's highlight, seen in its last line above the row line.
        QImage shot = Shot();
        EXPECT_EQ(shot.pixelColor(cell.center().x(), cell.bottom() - 1), ColorToQColor(clHighlight));
    };
    Grid->SetHeight(HeightFor(Rows) + 8); // the bar leaves one whole row less, not a part row
    Grid->SetWidth(120);                  // narrower than the two columns
    Open();
    expectWholeRows(true, "opened");
    Press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Key(), 50);
    expectWholeRows(true, "at the end");
    // A new row posted at the end is the current row at the bottom.
    Press(Qt::Key_Down);
    Type("51");
    Press(Qt::Key_Return);
    DS->Post();
    EXPECT_EQ(Key(), 51);
    expectWholeRows(true, "posted at the end");

    Grid->SetWidth(300);
    expectWholeRows(false, "wider");
    DS->FieldByName("NAME")->SetDisplayWidth(60);
    expectWholeRows(true, "a wider column");
    DS->FieldByName("NAME")->SetDisplayWidth(10);
    expectWholeRows(false, "a narrower column");
    Grid->SetWidth(120);
    DS->Close();
    Open();
    Press(Qt::Key_End, Qt::ControlModifier);
    expectWholeRows(true, "opened again");
    EXPECT_TRUE(Caught.Messages.empty());
}

// A number column's editor shows its text on the right, where the cell
// shows it, also when it stays open over a posted row.
TEST_F(GridTest, TheCellEditorAlignsItsTextAsTheColumn) {
    // Where the editor's text lies (selected or not): the first and last
    // column of pixels that are not its background.
    auto textSpan = [&] {
        QImage image = Grid->GetInplaceEditor()->GetWidget()->grab().toImage();
        QRgb background = image.pixel(0, 0);
        int first = image.width(), last = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != background) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        return std::pair(first, last);
    };
    Open();
    Press(Qt::Key_F2);
    ASSERT_TRUE(Grid->GetEditorMode());
    int width = Grid->GetInplaceEditor()->GetWidth();
    auto [first, last] = textSpan();
    EXPECT_GT(first, width / 2);
    EXPECT_GE(last, width - 6);
    Press(Qt::Key_End);
    Type("00");
    DS->Post();
    EXPECT_EQ(Key(), 100);
    if (Grid->GetEditorMode()) {
        EXPECT_EQ(EditorWidget()->text(), "100");
        auto [first, last] = textSpan();
        EXPECT_GT(first, width / 2);
        EXPECT_GE(last, width - 6);
    }
    // A text column's editor keeps its text on the left.
    Press(Qt::Key_Escape);
    Press(Qt::Key_Right);
    Press(Qt::Key_F2);
    ASSERT_TRUE(Grid->GetEditorMode());
    EXPECT_LT(textSpan().first, 6);
    EXPECT_TRUE(Caught.Messages.empty());
}

TEST_F(GridTest, AClosedOrEmptyDatasetShowsNoRows) {
    EXPECT_EQ(Grid->GetColumnCount(), 0);
    EXPECT_EQ(Grid->GetRow(), -1);
    EXPECT_EQ(Grid->GetCellText(0, 0), "");
    EXPECT_FALSE(Marked(Shot(), 0));
    Open();
    EXPECT_EQ(Grid->GetColumnCount(), 2);
    DS->Close();
    EXPECT_EQ(Grid->GetColumnCount(), 0);
    EXPECT_EQ(Grid->GetRowCount(), 0);

    for (int k : Table.Keys())
        Table.DeleteKey(k);
    Open();
    EXPECT_EQ(Grid->GetColumnCount(), 2); // the titles stay
    EXPECT_EQ(Grid->GetRowCount(), 0);
    EXPECT_EQ(Grid->GetRow(), -1);
    EXPECT_FALSE(Marked(Shot(), 0));
    Press(Qt::Key_F2); // nothing to edit
    EXPECT_FALSE(Grid->GetEditorMode());
    Grid->SetDataSource(nullptr);
    EXPECT_EQ(Grid->GetColumnCount(), 0);
    EXPECT_TRUE(Caught.Messages.empty());
}

TEST_F(GridTest, KeysMoveTheDatasetAndTheWindowFollows) {
    Open();
    for (int i = 0; i < 6; ++i)
        Press(Qt::Key_Down);
    EXPECT_EQ(Key(), 7);
    EXPECT_EQ(Grid->GetRow(), Rows - 1);
    EXPECT_EQ(Column(0), (std::vector<AnsiString>{"3", "4", "5", "6", "7"}));
    EXPECT_TRUE(Marked(Shot(), Rows - 1));
    Press(Qt::Key_PageDown);
    EXPECT_EQ(Key(), 12);
    Press(Qt::Key_Up);
    EXPECT_EQ(Key(), 11);
    Press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Key(), 50);
    EXPECT_TRUE(DS->Eof());
    EXPECT_EQ(Grid->GetCellText(0, Rows - 1), "50");
    Press(Qt::Key_PageUp);
    EXPECT_EQ(Key(), 45);
    Press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(Key(), 1);
    Press(Qt::Key_Up); // at the start nothing moves
    EXPECT_EQ(Key(), 1);
    EXPECT_EQ(Grid->GetRow(), 0);

    // Columns: arrows, Home and End, Tab on to the next row.
    Press(Qt::Key_Right);
    EXPECT_EQ(Grid->GetSelectedField()->GetFieldName(), "NAME");
    Press(Qt::Key_Right);
    EXPECT_EQ(Grid->GetSelectedIndex(), 1);
    Press(Qt::Key_Home);
    EXPECT_EQ(Grid->GetSelectedIndex(), 0);
    Press(Qt::Key_Tab);
    EXPECT_EQ(Grid->GetSelectedIndex(), 1);
    Press(Qt::Key_Tab);
    EXPECT_EQ(Grid->GetSelectedIndex(), 0);
    EXPECT_EQ(Key(), 2);
    EXPECT_EQ(QApplication::focusWidget(), Grid->GetWidget()); // Tab stayed in the grid
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Key(), 1);
    EXPECT_EQ(Grid->GetSelectedIndex(), 1);
}

TEST_F(GridTest, TheWheelAndTheScrollBarMoveTheDataset) {
    Open();
    auto wheel = [&](QWidget* Target, int Delta) {
        QWheelEvent e(QPointF(10, 30), Target->mapToGlobal(QPointF(10, 30)), QPoint(), QPoint(0, Delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Target, &e);
    };
    wheel(Grid->GetWidget(), -120); // towards the user: down
    EXPECT_EQ(Key(), 2);
    wheel(Grid->GetWidget(), -360);
    EXPECT_EQ(Key(), 5);
    wheel(Grid->GetWidget(), 60); // half a notch waits for the other half
    EXPECT_EQ(Key(), 5);
    wheel(Grid->GetWidget(), 60);
    EXPECT_EQ(Key(), 4);

    QScrollBar* bar = Bar(Qt::Vertical);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 2); // between start and end
    wheel(bar, 120);            // over the bar too
    EXPECT_EQ(Key(), 3);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Key(), 4);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Key(), 4 + Rows);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(Key(), 3 + Rows);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(Key(), 3);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(Key(), 50);
    EXPECT_EQ(bar->value(), 4);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(Key(), 1);
    EXPECT_EQ(bar->value(), 0);
    // Dragging the thumb acts where it is let go: a page, or the end.
    bar->setSliderDown(true);
    bar->setSliderPosition(3);
    bar->setSliderDown(false);
    EXPECT_EQ(Key(), 1 + Rows);
    EXPECT_EQ(bar->value(), 2);
    bar->setSliderDown(true);
    bar->setSliderPosition(4);
    bar->setSliderDown(false);
    EXPECT_EQ(Key(), 50);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 5)); // the arrow at the top
    EXPECT_EQ(Key(), 49);
    EXPECT_TRUE(Caught.Messages.empty());
}

TEST_F(GridTest, TypingInACellEditsAndLeavingTheRowPosts) {
    Open();
    Press(Qt::Key_Right);
    Type("x"); // the first key opens the editor with what was typed
    ASSERT_TRUE(Grid->GetEditorMode());
    EXPECT_EQ(DS->State(), dsEdit);
    EXPECT_EQ(QApplication::focusWidget(), EditorWidget());
    Type("yz");
    EXPECT_EQ(EditorWidget()->text(), "xyz");
    EXPECT_EQ(Name(), "row1"); // not written yet
    Press(Qt::Key_Down);
    EXPECT_FALSE(Grid->GetEditorMode());
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Key(), 2);
    EXPECT_EQ(Grid->GetCellText(1, 0), "xyz");
    EXPECT_EQ(QApplication::focusWidget(), Grid->GetWidget());

    // F2 opens it with the field's text; Enter writes the field, the row stays in edit.
    Press(Qt::Key_F2);
    ASSERT_TRUE(Grid->GetEditorMode());
    EXPECT_EQ(EditorWidget()->text(), "row2");
    EXPECT_EQ(DS->State(), dsBrowse); // opening alone changes nothing
    Press(Qt::Key_End);
    Type("!");
    Press(Qt::Key_Return);
    EXPECT_FALSE(Grid->GetEditorMode());
    EXPECT_EQ(DS->State(), dsEdit);
    EXPECT_EQ(Name(), "row2!");
    Press(Qt::Key_Up); // leaving the row posts
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Key(), 1);
    Press(Qt::Key_Down);
    EXPECT_EQ(Name(), "row2!");

    // Escape drops the cell's change, a second one the record's.
    Type("abc");
    EXPECT_EQ(EditorWidget()->text(), "abc");
    Press(Qt::Key_Escape);
    EXPECT_FALSE(Grid->GetEditorMode());
    EXPECT_EQ(DS->State(), dsEdit);
    EXPECT_EQ(Name(), "row2!");
    Press(Qt::Key_Escape);
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Name(), "row2!");
    EXPECT_TRUE(Caught.Messages.empty());
}

TEST_F(GridTest, RefusedInputIsReportedAndNothingIsLost) {
    Open();
    int beeps = 0;
    SetBeepHook([&](unsigned) { ++beeps; });
    Type("a"); // no letter in a number
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(Grid->GetEditorMode());
    EXPECT_EQ(DS->State(), dsBrowse);

    Type("9-9"); // valid characters, no number
    ASSERT_TRUE(Grid->GetEditorMode());
    Press(Qt::Key_Down);
    ASSERT_EQ(Caught.Messages.size(), 1u);
    EXPECT_NE(Caught.Messages[0].find("9-9"), std::string::npos) << Caught.Messages[0];
    EXPECT_EQ(Key(), 1); // did not move
    EXPECT_EQ(DS->State(), dsEdit);
    ASSERT_TRUE(Grid->GetEditorMode());
    EXPECT_EQ(EditorWidget()->text(), "9-9"); // the typed text is still there
    Press(Qt::Key_Escape);
    Press(Qt::Key_Escape);
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Table.Keys().front(), 1);

    // A post the dataset refuses keeps the row in edit with its value.
    DS->FailPosts = 1;
    Press(Qt::Key_Right);
    Type("new");
    Press(Qt::Key_Down);
    ASSERT_EQ(Caught.Messages.size(), 2u);
    EXPECT_EQ(Caught.Messages[1], "post failed");
    EXPECT_EQ(DS->State(), dsEdit);
    EXPECT_EQ(Name(), "new");
    Press(Qt::Key_Down);
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Key(), 2);
    Press(Qt::Key_Up);
    EXPECT_EQ(Name(), "new");

    // A read-only grid or dataset opens the editor to look, not to change.
    Grid->SetReadOnly(true);
    Type("z");
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Name(), "new");
}

TEST_F(GridTest, NewRecordsAtTheEndOrByInsertAndDeleteWithConfirmation) {
    Open();
    Press(Qt::Key_End, Qt::ControlModifier);
    Press(Qt::Key_Down); // past the end: a new record
    EXPECT_EQ(DS->State(), dsInsert);
    EXPECT_EQ(Grid->GetCellText(0, Grid->GetRow()), "");
    Press(Qt::Key_Up); // left untouched, it goes again
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Key(), 50);

    Press(Qt::Key_Insert);
    EXPECT_EQ(DS->State(), dsInsert);
    Type("77");
    Press(Qt::Key_Tab);
    Type("seventy");
    Press(Qt::Key_Up); // leaving the new row posts it
    EXPECT_EQ(DS->State(), dsBrowse);
    ASSERT_NE(Table.FindKey(77), -1);
    Press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Name(), "seventy");

    std::vector<AnsiString> asked;
    int answer = mrCancel;
    SetMessageDlgHook([&](const AnsiString& Msg, TMsgDlgType Type, TMsgDlgButtons Buttons) {
        asked.push_back(Msg);
        EXPECT_EQ(Type, mtConfirmation);
        EXPECT_EQ(Buttons, (TMsgDlgButtons{mbOK, mbCancel}));
        return answer;
    });
    Press(Qt::Key_Home, Qt::ControlModifier);
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked, (std::vector<AnsiString>{"Delete record?"}));
    EXPECT_NE(Table.FindKey(1), -1);
    answer = mrOk;
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Table.FindKey(1), -1);
    EXPECT_EQ(Key(), 2);
    Grid->SetOptions(Grid->GetOptions() >> dgConfirmDelete);
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(Table.FindKey(2), -1);
    EXPECT_TRUE(Caught.Messages.empty());
}

// With the cell editor open, Insert alone adds a row as it does without
// one, after the edited cell has gone into its row; Shift and Ctrl with
// Insert stay the editor's paste and copy.
TEST_F(GridTest, InsertInTheCellEditorAddsARowAfterPostingTheCell) {
    Open();
    Press(Qt::Key_Down);
    Press(Qt::Key_Right);
    Press(Qt::Key_F2);
    ASSERT_TRUE(Grid->GetEditorMode());
    Press(Qt::Key_End);
    Type("!");
    Press(Qt::Key_Insert, Qt::ControlModifier); // copies, nothing more
    EXPECT_EQ(DS->State(), dsEdit);
    Press(Qt::Key_Insert);
    EXPECT_EQ(DS->State(), dsInsert);
    EXPECT_FALSE(Grid->GetEditorMode());
    EXPECT_EQ(Grid->GetCellText(0, Grid->GetRow()), "");
    Press(Qt::Key_Escape);
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Key(), 2);
    EXPECT_EQ(Name(), "row2!");
    EXPECT_TRUE(Caught.Messages.empty());
}

// A required field left empty: the grid moves to its column.
TEST_F(GridTest, ARefusedPostForAnEmptyRequiredFieldPutsTheCursorOnItsColumn) {
    Open();
    Press(Qt::Key_Right);
    ASSERT_EQ(Grid->GetSelectedIndex(), 1);
    Press(Qt::Key_Insert);
    Type("keyless");
    Press(Qt::Key_Up);
    ASSERT_EQ(Caught.Messages.size(), 1u);
    EXPECT_EQ(Caught.Messages[0], "Field 'ID' must have a value");
    EXPECT_EQ(DS->State(), dsInsert);
    EXPECT_EQ(Grid->GetSelectedIndex(), 0);
    EXPECT_TRUE(Grid->Focused() || Grid->GetInplaceEditor()->Focused());
}

TEST_F(GridTest, MouseSelectsTheCellAndASecondClickEdits) {
    Open();
    QRect cell = Grid->CellRect(1, 3);
    QTest::mouseClick(Grid->GetWidget(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(Key(), 4);
    EXPECT_EQ(Grid->GetSelectedIndex(), 1);
    EXPECT_FALSE(Grid->GetEditorMode());
    QTest::mouseClick(Grid->GetWidget(), Qt::LeftButton, {}, cell.center());
    ASSERT_TRUE(Grid->GetEditorMode());
    EXPECT_EQ(EditorWidget()->text(), "row4");
    EXPECT_TRUE(Grid->GetInplaceEditor()->GetBoundsRect().intersects(cell));
    Type("changed");
    // Clicking another row posts the edited one.
    QTest::mouseClick(Grid->GetWidget(), Qt::LeftButton, {}, Grid->CellRect(0, 0).center());
    EXPECT_EQ(DS->State(), dsBrowse);
    EXPECT_EQ(Key(), 1);
    EXPECT_EQ(Grid->GetCellText(1, 3), "changed");
    // A double click: the first press selects, the second opens the editor.
    QTest::mouseClick(Grid->GetWidget(), Qt::LeftButton, {}, Grid->CellRect(0, 1).center());
    EXPECT_FALSE(Grid->GetEditorMode());
    QTest::mouseDClick(Grid->GetWidget(), Qt::LeftButton, {}, Grid->CellRect(0, 1).center());
    EXPECT_TRUE(Grid->GetEditorMode());
    EXPECT_EQ(Key(), 2);
    // Below the last row, nothing happens.
    Grid->SetEditorMode(false);
    DS->Close();
    for (int k = 4; k <= 50; ++k)
        Table.DeleteKey(k);
    Open();
    QTest::mouseClick(Grid->GetWidget(), Qt::LeftButton, {}, Grid->CellRect(0, 4).center());
    EXPECT_EQ(Key(), 1);
    EXPECT_TRUE(Caught.Messages.empty());
}

// The cell editor never takes a text its field refuses. NAME counts bytes
// (10, character set NONE): typing stops and a paste is cut at the byte
// limit, between whole characters; a field that counts characters (UTF8)
// stops at its characters, quietly, as the edit's MaxLength does.
TEST_F(GridTest, TheCellEditorStopsAtTheFieldsLimitInItsOwnUnit) {
    int beeps = 0;
    SetBeepHook([&](unsigned) { ++beeps; });
    auto umlauts = [](int Count) {
        AnsiString s;
        for (int i = 0; i < Count; ++i)
            s += "ä";
        return s;
    };
    Open();
    Press(Qt::Key_Right);
    Type(QString::fromUtf8(umlauts(6)));
    EXPECT_EQ(Grid->GetInplaceEditor()->GetText(), umlauts(5));
    EXPECT_EQ(beeps, 1);
    Press(Qt::Key_Backspace);
    Type("xyz"); // two bytes fit where an umlaut went
    EXPECT_EQ(Grid->GetInplaceEditor()->GetText(), umlauts(4) + "xy");
    EXPECT_EQ(beeps, 2);
    Press(Qt::Key_Return);
    EXPECT_EQ(Name(), umlauts(4) + "xy");

    // Pasted over the selection (F2 selects all), the text is cut at the last
    // whole character within the limit; a line break is one byte in the line.
    const struct {
        const char* Clip;
        const char* Cell;
    } pastes[] = {
        {"Grüße Köln", "Grüße K"},      // the ö straddles byte 10
        {"Käse\r\nMüsli", "Käse\nMüs"}, // 5 + 1 + 4 bytes
        {"abc", "abc"},
    };
    for (const auto& p : pastes) {
        SCOPED_TRACE(p.Clip);
        Press(Qt::Key_F2);
        ASSERT_TRUE(Grid->GetEditorMode());
        Clipboard().SetAsText(p.Clip);
        Press(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(Grid->GetInplaceEditor()->GetText(), p.Cell);
        Press(Qt::Key_Return);
        EXPECT_EQ(Name(), p.Cell);
    }
    // Shift+Insert at the caret adds what still fits.
    Press(Qt::Key_F2);
    Type(QString::fromUtf8(umlauts(3) + "x")); // replaces the selection: 7 bytes
    Press(Qt::Key_End);
    Clipboard().SetAsText("öö");
    Press(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Grid->GetInplaceEditor()->GetText(), umlauts(3) + "xö");
    Press(Qt::Key_Down); // leaving the row posts
    EXPECT_EQ(DS->State(), dsBrowse);
    Press(Qt::Key_Up);
    EXPECT_EQ(Name(), umlauts(3) + "xö");
    EXPECT_EQ(beeps, 2);

    // A field that counts characters: 5 of UTF-8 text, up to 20 bytes; and
    // one byte, which takes no umlaut even as the key that opens the editor.
    TMemTable words{{{"ID", ftInteger, 0, true},
                     {"WORD", ftString, 5, false, 0, false, false, 4},
                     {"FLAG", ftString, 1}}};
    words.AddRow({Int64{1}, AnsiString("x")});
    auto* wordSet = new TMemDataSet(&Form, words, Log);
    wordSet->Logging = false;
    Source->SetDataSet(wordSet);
    wordSet->Open();
    Grid->SetFocus();
    Press(Qt::Key_Right);
    Type(QString::fromUtf8(umlauts(6)));
    EXPECT_EQ(Grid->GetInplaceEditor()->GetText(), umlauts(5));
    Press(Qt::Key_Return);
    // An emoji is one character of the five (two UTF-16 units): typed or
    // pasted, it goes in whole or not at all.
    const struct {
        bool Paste;
        const char* Text;
        const char* Cell;
    } emojis[] = {{false, "abcd😀😀", "abcd😀"}, {true, "abc😀😀😀", "abc😀😀"}, {true, "abcd😀x", "abcd😀"}};
    for (const auto& e : emojis) {
        SCOPED_TRACE(e.Text);
        Press(Qt::Key_F2);
        if (e.Paste) {
            Clipboard().SetAsText(e.Text);
            Press(Qt::Key_V, Qt::ControlModifier);
        } else {
            Type(QString::fromUtf8(e.Text));
        }
        EXPECT_EQ(Grid->GetInplaceEditor()->GetText(), e.Cell);
        Press(Qt::Key_Return);
        EXPECT_EQ(wordSet->FieldByName("WORD")->GetAsString(), e.Cell);
    }
    Press(Qt::Key_F2);
    Clipboard().SetAsText("Grüße Köln");
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Grid->GetInplaceEditor()->GetText(), "Grüße");
    Press(Qt::Key_Return);
    EXPECT_EQ(wordSet->FieldByName("WORD")->GetAsString(), "Grüße");
    EXPECT_EQ(beeps, 2);
    Press(Qt::Key_Right);
    Type("ä");
    EXPECT_EQ(beeps, 3);
    EXPECT_FALSE(Grid->GetEditorMode());
    Type("y");
    Press(Qt::Key_Return);
    EXPECT_EQ(wordSet->FieldByName("FLAG")->GetAsString(), "y");
    EXPECT_TRUE(Caught.Messages.empty());
}

TEST_F(GridTest, EditsFromElsewhereReachTheCell) {
    Open();
    Press(Qt::Key_Right);
    Press(Qt::Key_F2);
    DS->Edit();
    DS->FieldByName("NAME")->SetAsString("by code");
    EXPECT_EQ(EditorWidget()->text(), "by code");
    DS->Cancel();
    EXPECT_EQ(EditorWidget()->text(), "row1");
    // Moving by code takes the editor away from the old row.
    DS->Next();
    EXPECT_FALSE(Grid->GetEditorMode());
    DS->Close();
    EXPECT_EQ(Grid->GetColumnCount(), 0);
}

// ---- Form text ------------------------------------------------------------

class TGridForm : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TGridForm>& P) {
        P.Field("DbGrid", &TGridForm::DbGrid);
        P.Field("DataSrc", &TGridForm::DataSrc);
    }
    explicit TGridForm(TComponent* Owner) : TForm(Owner) { InitForm(ClassInfo()); }
    TDBGrid* DbGrid = nullptr;
    TDataSource* DataSrc = nullptr;
};
KV_PUBLISHED_METACLASS(TGridForm, &TForm::ClassInfo())
KV_FORM_RESOURCE(TGRIDFORM, R"(object GridForm: TGridForm
  ClientWidth = 400
  ClientHeight = 300
  object DataSrc: TDataSource
  end
  object DbGrid: TDBGrid
    Left = 1
    Top = 1
    Width = 300
    Height = 200
    Align = alClient
    DataSource = DataSrc
    Options = [dgEditing, dgTitles, dgIndicator, dgColLines, dgRowLines, dgTabs]
    TabOrder = 0
  end
end
)")

TEST(DBGridFormText, ReadsItsPropertiesAndWritesThemBack) {
    RegisterClass(&TDataSource::ClassInfo());
    TGridForm f(nullptr);
    ASSERT_NE(f.DbGrid, nullptr);
    EXPECT_EQ(f.DbGrid->GetDataSource(), f.DataSrc);
    EXPECT_EQ(f.DbGrid->GetOptions(),
              (TDBGridOptions{dgEditing, dgTitles, dgIndicator, dgColLines, dgRowLines, dgTabs}));
    EXPECT_EQ(f.DbGrid->GetBoundsRect(), QRect(0, 0, 400, 300));
    EXPECT_TRUE(f.DbGrid->GetTabStop());
    AnsiString text = WriteComponentToText(&f, TGridForm::ClassInfo());
    EXPECT_NE(text.find("    DataSource = DataSrc"), AnsiString::npos) << text;
    EXPECT_NE(text.find("    Options = [dgEditing, dgTitles, dgIndicator, dgColLines, dgRowLines, dgTabs]"),
              AnsiString::npos)
        << text;
    EXPECT_EQ(text.find("TInplaceEdit"), AnsiString::npos); // the editor belongs to the grid
    // Gone data source, no dangling reference.
    delete f.DataSrc;
    EXPECT_EQ(f.DbGrid->GetDataSource(), nullptr);
}

} // namespace
