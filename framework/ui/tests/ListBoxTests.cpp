// List boxes and combo boxes, driven through keys and the mouse.
#define QTEST_QPA_MOUSE_HANDLING // mouse events take the window system's way (capture, other windows)
#include "FileCtrl.h"
#include "FormReader.h"
#include "StdCtrls.h"
#include "UiTestEnv.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStorageInfo>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

// A shown form to put controls on.
struct ListForm : ::testing::Test {
    ListForm() {
        Form->SetBounds(100, 100, 400, 300);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
    }
    ~ListForm() override { Form->Hide(); }
    template <class T> T* Add(int L, int T_, int W, int H) {
        auto* c = new T(Form.get());
        c->SetParent(Form.get());
        c->SetBounds(L, T_, W, H);
        return c;
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
};

// A list box that counts clicks and can swallow the selection notification.
class TCountingListBox : public TListBox {
public:
    using TListBox::TListBox;
    int Clicks = 0;
    bool Swallow = false;
    void Click() override {
        ++Clicks;
        TListBox::Click();
    }

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_COMMAND, WMCommand)
    END_MESSAGE_MAP(TListBox)
    void WMCommand(TMessage& M) {
        if (!Swallow) TListBox::Dispatch(M);
    }
};

struct ListBoxes : ListForm {
    // Five whole rows of 13 pixels inside a 2-pixel frame.
    TCountingListBox* List = Add<TCountingListBox>(10, 10, 120, 2 * 2 + 5 * 13);
    void Fill(int N) {
        for (int i = 0; i < N; ++i)
            List->GetItems()->Add("Item " + std::to_string(i));
    }
    QWidget* W() { return List->GetHandle(); }
    // A point in the client area, in the window's coordinates.
    QPoint At(int X, int Y) { return QPoint(X, Y) + QPoint(2, 2); }
    void Press(Qt::Key Key, Qt::KeyboardModifiers Mods = Qt::NoModifier) { QTest::keyClick(W(), Key, Mods); }
};

TEST_F(ListBoxes, KeysMoveTheSelectionAndScrollItIntoView) {
    Fill(30);
    List->SetFocus();
    EXPECT_EQ(List->GetItemHeight(), 13);
    EXPECT_EQ(List->GetClientHeight(), 65);
    struct Step {
        Qt::Key Key;
        int Index, Top;
    };
    for (const Step& s : {Step{Qt::Key_Down, 0, 0}, Step{Qt::Key_Down, 1, 0}, Step{Qt::Key_PageDown, 5, 1},
                          Step{Qt::Key_End, 29, 25}, Step{Qt::Key_PageUp, 25, 25}, Step{Qt::Key_Up, 24, 24},
                          Step{Qt::Key_Home, 0, 0}, Step{Qt::Key_Up, 0, 0}}) {
        Press(s.Key);
        EXPECT_EQ(List->GetItemIndex(), s.Index) << s.Key;
        EXPECT_EQ(List->GetTopIndex(), s.Top) << s.Key;
    }
    EXPECT_EQ(List->Clicks, 7); // Up on the first item changes nothing
    // Typing a letter finds the next item that starts with it.
    List->GetItems()->Put(3, "banana");
    QTest::keyClicks(W(), "B");
    EXPECT_EQ(List->GetItemIndex(), 3);
}

TEST_F(ListBoxes, MouseSelectsTheItemUnderItAndDragsTheSelection) {
    Fill(3);
    int dbl = 0;
    List->OnDblClick = [&](TObject*) { ++dbl; };
    QTest::mouseClick(W(), Qt::LeftButton, {}, At(5, 13 + 6));
    EXPECT_EQ(List->GetItemIndex(), 1);
    EXPECT_EQ(List->Clicks, 1);
    EXPECT_TRUE(List->Focused());
    // Below the last item nothing changes.
    QTest::mouseClick(W(), Qt::LeftButton, {}, At(5, 60));
    EXPECT_EQ(List->GetItemIndex(), 1);
    EXPECT_EQ(List->Clicks, 1);
    // Pressing and dragging moves the selection with the pointer.
    QTest::mousePress(W(), Qt::LeftButton, {}, At(5, 2));
    QTest::mouseMove(W(), At(5, 2 * 13 + 3));
    QTest::mouseRelease(W(), Qt::LeftButton, {}, At(5, 2 * 13 + 3));
    EXPECT_EQ(List->GetItemIndex(), 2);
    QTest::mouseDClick(W(), Qt::LeftButton, {}, At(5, 2));
    EXPECT_EQ(dbl, 1);
    // A class may swallow the notification: the selection moves, Click stays away.
    List->Swallow = true;
    int clicks = List->Clicks;
    QTest::mouseClick(W(), Qt::LeftButton, {}, At(5, 13 + 2));
    EXPECT_EQ(List->GetItemIndex(), 1);
    EXPECT_EQ(List->Clicks, clicks);
}

TEST_F(ListBoxes, ItemsKeepTheSelectionOnTheSameLine) {
    Fill(5);
    TStrings* items = List->GetItems();
    List->SetItemIndex(2);
    items->Insert(0, "first");
    EXPECT_EQ(List->GetItemIndex(), 3);
    items->Put(3, "renamed");
    EXPECT_EQ(List->GetItemIndex(), 3);
    items->Delete(0);
    EXPECT_EQ(List->GetItemIndex(), 2);
    items->Delete(2); // the selected line
    EXPECT_EQ(List->GetItemIndex(), -1);
    EXPECT_EQ(List->Clicks, 0);
    // Sorted: Add finds the place, Insert puts the line where it is told.
    List->Clear();
    List->SetSorted(true);
    for (const char* s : {"pear", "Apple", "fig", "apple"})
        items->Add(s);
    items->Insert(0, "zebra");
    EXPECT_EQ(items->GetCommaText(), "zebra,Apple,apple,fig,pear");
    EXPECT_THROW(items->Delete(9), EStringListError);
    EXPECT_EQ(List->Perform(LB_SETCURSEL, 9), LB_ERR);
    EXPECT_EQ(List->GetItemIndex(), -1);
}

TEST_F(ListBoxes, PositionsTopIndexAndIntegralHeight) {
    Fill(8);
    // TopIndex stops where the last item shows at the bottom.
    List->SetTopIndex(7);
    EXPECT_EQ(List->GetTopIndex(), 3);
    struct Case {
        QPoint P;
        bool Existing;
        int Index;
    };
    for (const Case& c :
         {Case{{5, 0}, true, 3}, Case{{5, 64}, true, 7}, Case{{5, -1}, true, -1}, Case{{500, 5}, true, -1}}) {
        EXPECT_EQ(List->ItemAtPos(c.P, c.Existing), c.Index) << c.P.x() << "," << c.P.y();
    }
    EXPECT_EQ(List->ItemRect(4), QRect(0, 13, List->GetClientWidth(), 13));
    List->GetItems()->Delete(7);
    List->GetItems()->Delete(6);
    EXPECT_EQ(List->GetTopIndex(), 1); // still filled to the bottom
    EXPECT_EQ(List->ItemAtPos({5, 64}, true), 5);
    List->SetTopIndex(0);
    List->GetItems()->Delete(5);
    List->GetItems()->Delete(4);
    EXPECT_EQ(List->ItemAtPos({5, 64}, true), -1);
    EXPECT_EQ(List->ItemAtPos({5, 64}, false), 4);
    // Without a scroll bar the client area takes the full width.
    EXPECT_EQ(List->GetClientWidth(), 120 - 4);
    List->SetTopIndex(1);
    List->SetHeight(80); // now all four fit: the list shows them from the first
    EXPECT_EQ(List->GetTopIndex(), 0);
    EXPECT_EQ(W()->height(), 80);
    List->SetIntegralHeight(true);
    EXPECT_EQ(W()->height(), 4 + 5 * 13);
    EXPECT_EQ(List->GetHeight(), 80);
}

TEST_F(ListBoxes, OwnerDrawnRowsTakeItemHeightAndTabsStopAtTabWidth) {
    Fill(3);
    List->SetItemHeight(20); // the standard style's rows follow the font
    EXPECT_EQ(List->ItemRect(1), QRect(0, 13, List->GetClientWidth(), 13));
    for (TListBoxStyle style : {lbOwnerDrawFixed, lbOwnerDrawVariable}) {
        List->SetStyle(style);
        EXPECT_EQ(List->GetItemHeight(), 20) << style;
        EXPECT_EQ(List->ItemRect(1), QRect(0, 20, List->GetClientWidth(), 20)) << style;
        EXPECT_EQ(List->ItemAtPos({5, 45}, true), 2) << style;
    }
    List->SetStyle(lbStandard);
    // A line that starts with a tab shows its text at the first tab stop:
    // TabWidth dialog units (a quarter of the average character width), 32 unless set.
    List->GetItems()->Put(0, "\tI");
    auto textStart = [&] {
        QImage image = W()->grab().toImage();
        for (int x = 2; x < image.width(); ++x)
            for (int y = 2; y < 2 + 13; ++y)
                if (qGray(image.pixel(x, y)) < 128) return x;
        return -1;
    };
    int average = QFontMetrics(List->GetFont()->ToQFont()).averageCharWidth();
    int standard = textStart();
    EXPECT_GE(standard, 2 + 2 + 8 * average);
    List->SetTabWidth(64);
    EXPECT_EQ(textStart() - standard, 8 * average);
}

TEST_F(ListBoxes, TheScrollBarScrollsAndEndsItsScrolling) {
    Fill(20);
    std::vector<int> codes;
    auto old = List->WindowProc;
    List->WindowProc = [&, old](TMessage& M) {
        if (M.Msg == WM_VSCROLL) codes.push_back(LoWord(M.WParam));
        old(M);
    };
    QWidget* vbar = nullptr;
    for (auto* b : W()->findChildren<QScrollBar*>())
        if (b->orientation() == Qt::Vertical) vbar = b;
    ASSERT_TRUE(vbar && vbar->isVisible());
    EXPECT_EQ(List->GetClientWidth(), 120 - 4 - vbar->width());
    QPoint down(vbar->width() / 2, vbar->height() - 3); // the arrow at the bottom
    EXPECT_EQ(
        List->Perform(WM_NCHITTEST, 0, MakeLParam(vbar->mapToGlobal(down).x(), vbar->mapToGlobal(down).y())),
        HTVSCROLL);
    QTest::mouseClick(vbar, Qt::LeftButton, {}, down);
    EXPECT_EQ(List->GetTopIndex(), 1);
    EXPECT_EQ(codes, (std::vector<int>{SB_LINEDOWN, SB_ENDSCROLL}));
    // Sent by code, the messages scroll as well.
    List->Perform(WM_VSCROLL, SB_BOTTOM);
    EXPECT_EQ(List->GetTopIndex(), 15);
    List->Perform(WM_VSCROLL, SB_LINEUP);
    EXPECT_EQ(List->GetTopIndex(), 14);
}

TEST_F(ListBoxes, MultipleSelection) {
    Fill(6);
    List->SetMultiSelect(true);
    EXPECT_EQ(List->GetSelCount(), 0);
    // Extended: a click selects one, Shift adds the range, Ctrl toggles.
    QTest::mouseClick(W(), Qt::LeftButton, {}, At(5, 13 + 2));
    QTest::mouseClick(W(), Qt::LeftButton, Qt::ShiftModifier, At(5, 3 * 13 + 2));
    QTest::mouseClick(W(), Qt::LeftButton, Qt::ControlModifier, At(5, 2 * 13 + 2));
    std::vector<bool> sel;
    for (int i = 0; i < 6; ++i)
        sel.push_back(List->GetSelected(i));
    EXPECT_EQ(sel, (std::vector<bool>{false, true, false, true, false, false}));
    EXPECT_EQ(List->GetItemIndex(), 2); // the focus item
    // Without ExtendedSelect a click and Space toggle one item each.
    List->SetExtendedSelect(false);
    QTest::mouseClick(W(), Qt::LeftButton, {}, At(5, 2));
    Press(Qt::Key_Down);
    Press(Qt::Key_Space);
    EXPECT_EQ(List->GetSelCount(), 2); // 0 and 3; Space took 1 off again
    EXPECT_TRUE(List->GetSelected(0));
    EXPECT_FALSE(List->GetSelected(1));
    List->GetItems()->Delete(0);
    EXPECT_EQ(List->GetSelCount(), 1);
    EXPECT_TRUE(List->GetSelected(2));
    EXPECT_EQ(List->Perform(LB_SETSEL, 1, -1), 0);
    EXPECT_EQ(List->GetSelCount(), 5);
}

TEST_F(ListBoxes, ColumnsFlowDownwardsAndScrollSideways) {
    Fill(23);
    List->SetColumns(2);
    // Five rows per column, two columns of 58 pixels on show, five columns needed.
    QScrollBar* hbar = nullptr;
    for (auto* b : W()->findChildren<QScrollBar*>())
        if (b->orientation() == Qt::Horizontal) hbar = b;
    ASSERT_TRUE(hbar && hbar->isVisible());
    int rows = List->GetClientHeight() / 13;
    EXPECT_EQ(List->ItemAtPos({70, 2}, true), rows);
    List->SetFocus();
    Press(Qt::Key_Down);
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);
    EXPECT_EQ(List->GetItemIndex(), 2 * rows);
    EXPECT_EQ(List->GetTopIndex(), rows); // the third column came into view
}

TEST_F(ListBoxes, FormTextKeepsTheLines) {
    List->SetName("Lines");
    Fill(2);
    List->SetSorted(true);
    AnsiString text = WriteComponentToText(List, TListBox::ClassInfo());
    EXPECT_NE(text.find("'Item 1'"), AnsiString::npos);
    TListBox copy(nullptr);
    ReadComponentFromText(text, &copy, TListBox::ClassInfo());
    EXPECT_EQ(copy.GetItems()->GetCommaText(), "\"Item 0\",\"Item 1\"");
    EXPECT_TRUE(copy.GetSorted());
}

// ---- Combo boxes ------------------------------------------------------------

// A combo box that records the notifications and can swallow the selection's.
class TRecordingCombo : public TComboBox {
public:
    using TComboBox::TComboBox;
    std::vector<Word> Codes;
    bool Swallow = false;

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_COMMAND, WMCommand)
    END_MESSAGE_MAP(TComboBox)
    void WMCommand(TMessage& M) {
        Codes.push_back(HiWord(M.WParam));
        if (!(Swallow && HiWord(M.WParam) == CBN_SELCHANGE)) TComboBox::Dispatch(M);
    }
};

struct ComboBoxes : ListForm {
    TRecordingCombo* Combo = Add<TRecordingCombo>(10, 10, 150, 21);
    std::vector<std::string> Events;
    ComboBoxes() {
        for (const char* s : {"", "one", "two", "three"})
            Combo->GetItems()->Add(s);
        Combo->OnChange = [this](TObject*) { Events.push_back("change " + Combo->GetText()); };
        Combo->OnClick = [this](TObject*) { Events.push_back("click"); };
        Combo->OnDropDown = [this](TObject*) { Events.push_back("drop"); };
    }
    QWidget* W() { return Combo->GetHandle(); }
};

TEST_F(ComboBoxes, ListStylePicksByKeysAndNotifiesThroughTheWindowProcedure) {
    Combo->SetStyle(csDropDownList);
    Combo->SetFocus();
    EXPECT_FALSE(Combo->HasEditPart());
    QTest::keyClick(W(), Qt::Key_Down);
    EXPECT_EQ(Combo->GetItemIndex(), 0);
    QTest::keyClick(W(), Qt::Key_Down);
    EXPECT_EQ(Combo->GetItemIndex(), 1);
    EXPECT_EQ(Combo->GetText(), "one");
    EXPECT_EQ(Events, (std::vector<std::string>{"click", "change ", "click", "change one"}));
    EXPECT_EQ(Combo->Codes, (std::vector<Word>{CBN_SELCHANGE, CBN_SELCHANGE}));
    // Swallowed, the pick still shows but no event fires.
    Combo->Swallow = true;
    QTest::keyClick(W(), Qt::Key_Down);
    EXPECT_EQ(Combo->GetItemIndex(), 2);
    EXPECT_EQ(Events.size(), 4u);
    // The text of a list is one of its lines.
    Combo->SetText("THREE");
    EXPECT_EQ(Combo->GetItemIndex(), 3);
    EXPECT_EQ(Combo->GetText(), "three");
    Combo->SetText("none");
    EXPECT_EQ(Combo->GetItemIndex(), -1);
    EXPECT_EQ(Combo->GetText(), "");
}

TEST_F(ComboBoxes, DropDownTellsFirstThenShowsTheList) {
    Combo->SetStyle(csDropDownList);
    Combo->SetDropDownCount(3);
    EXPECT_EQ(static_cast<QComboBox*>(W())->maxVisibleItems(), 3);
    QTest::mouseClick(W(), Qt::LeftButton);
    EXPECT_TRUE(Combo->GetDroppedDown());
    EXPECT_EQ(Events, (std::vector<std::string>{"drop"}));
    Combo->Perform(CB_SHOWDROPDOWN, 0);
    EXPECT_FALSE(Combo->GetDroppedDown());
    Combo->SetDroppedDown(true);
    EXPECT_TRUE(Combo->GetDroppedDown());
    EXPECT_EQ(Events.size(), 2u);
    Combo->SetDroppedDown(false);
}

TEST_F(ComboBoxes, EditPartTypesMarksModifiedAndObeysReadOnly) {
    Combo->SetFocus();
    ASSERT_TRUE(Combo->HasEditPart());
    QTest::keyClicks(W(), "tw");
    EXPECT_EQ(Combo->GetText(), "tw");
    EXPECT_EQ(Combo->Codes, (std::vector<Word>{CBN_EDITCHANGE, CBN_EDITCHANGE}));
    EXPECT_EQ(Combo->EditPerform(EM_GETMODIFY), 1);
    Combo->EditPerform(EM_SETMODIFY, 0);
    EXPECT_EQ(Combo->EditPerform(EM_GETMODIFY), 0);
    Combo->EditPerform(EM_SETREADONLY, 1);
    QTest::keyClicks(W(), "o");
    EXPECT_EQ(Combo->GetText(), "tw");
    Combo->EditPerform(EM_SETREADONLY, 0);
    // Up and Down pick lines and put them into the edit part; Return adds nothing.
    QTest::keyClick(W(), Qt::Key_Down);
    QTest::keyClick(W(), Qt::Key_Return);
    EXPECT_EQ(Combo->GetItems()->GetCount(), 4);
    EXPECT_EQ(static_cast<QComboBox*>(W())->currentText().toStdString(), Combo->GetText());
    // No selection empties the edit part.
    Combo->SetItemIndex(-1);
    EXPECT_EQ(Combo->GetText(), "");
}

// An input method's characters are typing, in the edit part as in the edits:
// OnKeyPress sees each of them and may refuse one.
TEST_F(ComboBoxes, AnInputMethodsCharactersPassOnKeyPress) {
    for (TComboBoxStyle style : {csDropDown, csSimple}) {
        SCOPED_TRACE(style == csSimple ? "simple" : "drop-down");
        Combo->SetStyle(style);
        Combo->SetFocus();
        Combo->SetText("");
        std::u32string seen;
        Combo->OnKeyPress = [&](TObject*, TKeyChar& Key) {
            seen += Key;
            if (Key == U'x') Key = 0;
        };
        EnterText(Combo, TTextWay::Composed, "äx😀");
        EXPECT_EQ(seen, U"äx😀");
        EXPECT_EQ(Combo->GetText(), "ä😀");
    }
}

// The edit part limits MaxLength as the edit does: in code points, on every
// way in, never cutting a character in two. One that does not fit is not
// typed (quietly), a commit or a paste is cut before it.
TEST_F(ComboBoxes, MaxLengthCountsCodePointsAndNeverSplitsOne) {
    using enum TTextWay;
    const struct {
        TComboBoxStyle Style;
        TLimitCase Case;
    } cases[] = {
        {csDropDown, {Typed, 5, "abcd", "😀x", "abcd😀"}}, // the emoji is two UTF-16 units, one character
        {csDropDown, {Typed, 4, "abcd", "😀", "abcd"}},
        {csDropDown, {Typed, 2, "|abc", "😀😀😀", "😀😀"}}, // the first replaces the selection
        {csDropDown, {Composed, 5, "abc", "😀é😀", "abc😀é"}},
        {csDropDown, {CtrlV, 5, "abcd", "😀😀", "abcd😀"}},
        {csDropDown, {ShiftInsert, 3, "|abcdef", "😀ä😀ö", "😀ä😀"}},
        {csDropDown, {MenuPaste, 5, "abc", "xy😀", "abcxy"}},
        {csDropDown, {CtrlV, 6, "abc", "äö😀", "abcäö😀"}}, // what fits goes in whole
        {csSimple, {Typed, 5, "abcd", "😀x", "abcd😀"}},
        {csSimple, {Composed, 4, "ab", "😀😀😀", "ab😀😀"}},
        {csSimple, {CtrlV, 5, "abcd", "😀😀", "abcd😀"}},
        {csSimple, {MenuPaste, 2, "|abc", "ü😀ö", "ü😀"}},
    };
    int beeps = 0;
    SetBeepHook([&](unsigned) { ++beeps; });
    for (const auto& [style, c] : cases) {
        SCOPED_TRACE(std::string(style == csSimple ? "simple " : "drop-down ") + c.Input);
        Combo->SetStyle(style);
        Combo->SetMaxLength(0);
        Combo->SetFocus();
        Combo->SetText(c.BeforeText());
        Combo->SetMaxLength(c.MaxLength);
        if (c.SelectsAll())
            Combo->SelectAll();
        else
            Combo->SetSelStart(static_cast<int>(QString::fromUtf8(c.Before).size()));
        EnterText(Combo, c.By, c.Input);
        EXPECT_EQ(Combo->GetText(), c.After);
        EXPECT_EQ(W()->findChild<QLineEdit*>()->text().toStdString(), c.After);
    }
    EXPECT_EQ(beeps, 0);
    SetBeepHook(nullptr);

    // Text set by code is not limited, and a lower limit leaves it as it is.
    Combo->SetStyle(csDropDown);
    Combo->SetMaxLength(2);
    Combo->SetText("😀😀😀😀😀😀x");
    EXPECT_EQ(Combo->GetText(), "😀😀😀😀😀😀x");
    Combo->SetMaxLength(1);
    EXPECT_EQ(W()->findChild<QLineEdit*>()->text().toStdString(), "😀😀😀😀😀😀x");
    EXPECT_EQ(Combo->GetText(), "😀😀😀😀😀😀x");
}

TEST_F(ComboBoxes, SimpleStyleKeepsItsListInView) {
    Combo->SetStyle(csSimple);
    Combo->SetHeight(100);
    Combo->SetFocus();
    auto* list = W()->findChild<QListWidget*>();
    ASSERT_TRUE(list && list->isVisible());
    EXPECT_GT(list->height(), 50);
    QTest::keyClick(W(), Qt::Key_Down);
    QTest::keyClick(W(), Qt::Key_Down);
    EXPECT_EQ(Combo->GetItemIndex(), 1);
    EXPECT_EQ(Combo->GetText(), "one");
    QTest::keyClicks(W(), "x"); // the picked text is selected: typing replaces it
    EXPECT_EQ(Combo->GetText(), "x");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
    EXPECT_EQ(Combo->GetText(), "three");
    EXPECT_EQ(Combo->Codes.back(), CBN_SELCHANGE);
    EXPECT_TRUE(Combo->Focused());
}

TEST_F(ComboBoxes, DeletingAndSortingFollowTheSelectedLine) {
    Combo->SetStyle(csDropDownList);
    Combo->SetItemIndex(3);
    Combo->GetItems()->Delete(1);
    EXPECT_EQ(Combo->GetItemIndex(), 2);
    EXPECT_EQ(static_cast<QComboBox*>(W())->currentIndex(), 2);
    Combo->GetItems()->Delete(2);
    EXPECT_EQ(Combo->GetItemIndex(), -1);
    EXPECT_EQ(Combo->GetText(), "");
    Combo->SetSorted(true);
    Combo->GetItems()->Add("alpha");
    EXPECT_EQ(Combo->GetItems()->GetCommaText(), "\"\",alpha,two");
    EXPECT_TRUE(Events.empty());
}

TEST(DriveComboBox, ListsTheMountedVolumesWithTheCurrentOneSelected) {
    TForm form(nullptr);
    auto* drives = new TDriveComboBox(&form);
    drives->SetParent(&form);
    drives->HandleNeeded();
    int volumes = 0;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady()) ++volumes;
    EXPECT_EQ(drives->GetItems()->GetCount(), volumes);
    AnsiString current = QStorageInfo(QDir::currentPath()).rootPath().toStdString();
    EXPECT_EQ(drives->GetDrive(), current);
    EXPECT_EQ(drives->GetText().substr(0, current.size()), current);
    EXPECT_EQ(drives->GetStyle(), csDropDownList);
    drives->SetDrive("/no/such/folder/anywhere");
    EXPECT_EQ(drives->GetDrive(), QStorageInfo("/").rootPath().toStdString());
}

} // namespace
