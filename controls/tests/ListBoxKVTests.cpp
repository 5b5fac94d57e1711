// The library's list box, driven through keys and the mouse.
#define QTEST_QPA_MOUSE_HANDLING
#include "ListBoxKV.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

struct ListBoxKV : ::testing::Test {
    ListBoxKV() {
        Form->SetBounds(100, 100, 300, 200);
        Edit->SetParent(Form.get());
        Edit->SetBounds(10, 10, 100, 21);
        List->SetParent(Form.get());
        List->SetBounds(10, 40, 120, 2 * 2 + 5 * 13); // five rows
        for (int i = 0; i < 8; ++i)
            List->GetItems()->Add("Item " + std::to_string(i));
        List->OnClick = [this](TObject*) { Clicks.push_back(List->GetItemIndex()); };
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        Edit->SetFocus();
    }
    ~ListBoxKV() override { Form->Hide(); }
    QWidget* W() { return List->GetHandle(); }
    QPoint At(int X, int Y) { return QPoint(X + 2, Y + 2); } // client point in the window
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TEdit* Edit = new TEdit(Form.get());
    TListBoxKV* List = new TListBoxKV(Form.get());
    std::vector<int> Clicks; // ItemIndex at each OnClick
};

TEST_F(ListBoxKV, TabbingInSelectsTheTopVisibleItem) {
    List->SetTopIndex(2);
    QTest::keyClick(Edit->GetHandle(), Qt::Key_Tab);
    EXPECT_TRUE(List->Focused());
    EXPECT_EQ(List->GetItemIndex(), 2);
    EXPECT_EQ(Clicks, (std::vector<int>{2}));
    // Coming back with a selection keeps it.
    QTest::keyClick(W(), Qt::Key_Down);
    Edit->SetFocus();
    List->SetFocus();
    EXPECT_EQ(List->GetItemIndex(), 3);
    // Without SelectOnEnter nothing is chosen for the user.
    List->SetItemIndex(-1);
    List->SetSelectOnEnter(false);
    Edit->SetFocus();
    List->SetFocus();
    EXPECT_EQ(List->GetItemIndex(), -1);
}

TEST_F(ListBoxKV, ClicksOnItemsSelectThemAndBesideThemTheTopItem) {
    List->SetTopIndex(1);
    QTest::mouseClick(W(), Qt::LeftButton, {}, At(5, 2 * 13 + 4));
    EXPECT_EQ(List->GetItemIndex(), 3); // the item, not the top one
    EXPECT_EQ(Clicks, (std::vector<int>{3}));
    List->GetItems()->InUpdate([&] {
        while (List->GetItems()->GetCount() > 3)
            List->GetItems()->Delete(3);
    });
    List->SetTopIndex(0);
    Clicks.clear();
    QTest::mousePress(W(), Qt::LeftButton, {}, At(5, 4 * 13 + 4)); // below the last item
    EXPECT_EQ(List->GetItemIndex(), 0);
    EXPECT_TRUE(Clicks.empty());
    QTest::mouseRelease(W(), Qt::LeftButton, {}, At(5, 4 * 13 + 4));
    EXPECT_EQ(Clicks, (std::vector<int>{0}));
    // With the top item selected already, nothing is due.
    QTest::mouseClick(W(), Qt::LeftButton, {}, At(5, 4 * 13 + 4));
    EXPECT_EQ(Clicks.size(), 1u);
}

TEST_F(ListBoxKV, DeletingKeepsACurrentItem) {
    TStrings* items = List->GetItems();
    List->SetItemIndex(7);
    items->Delete(7); // the selected last line
    EXPECT_EQ(List->GetItemIndex(), 6);
    EXPECT_EQ(Clicks, (std::vector<int>{6}));
    items->Delete(2); // another line: nothing but the shift
    EXPECT_EQ(List->GetItemIndex(), 5);
    List->SetItemIndex(2);
    items->Delete(2); // the selected line in the middle: its follower
    EXPECT_EQ(List->GetItemIndex(), 2);
    EXPECT_EQ(items->Get(2), "Item 4");
    EXPECT_EQ(Clicks, (std::vector<int>{6, 2}));
    List->SetSelectOnDelete(false);
    items->Delete(2);
    EXPECT_EQ(List->GetItemIndex(), -1);
    EXPECT_EQ(Clicks.size(), 2u);
}

TEST_F(ListBoxKV, DeletingTheLastLineGivesTheFocusAwayAndBack) {
    std::vector<Cardinal> focus;
    auto old = List->WindowProc;
    List->WindowProc = [&, old](TMessage& M) {
        if (M.Msg == WM_SETFOCUS || M.Msg == WM_KILLFOCUS) focus.push_back(M.Msg);
        old(M);
    };
    int exits = 0;
    List->OnExit = [&](TObject*) { ++exits; };
    List->SetFocus();
    focus.clear();
    List->GetItems()->InUpdate([&] {
        while (List->GetItems()->GetCount() > 1)
            List->GetItems()->Delete(0);
    });
    EXPECT_TRUE(focus.empty());
    List->GetItems()->Delete(0);
    EXPECT_EQ(focus, (std::vector<Cardinal>{WM_KILLFOCUS, WM_SETFOCUS}));
    EXPECT_TRUE(List->Focused());
    EXPECT_EQ(exits, 0);
    List->WindowProc = old;
    List->OnExit = nullptr;
}

TEST_F(ListBoxKV, HideSelectionDropsTheSelectionOnLeaving) {
    List->SetHideSelection(true);
    List->SetFocus();
    EXPECT_EQ(List->GetItemIndex(), 0);
    Edit->SetFocus();
    EXPECT_EQ(List->GetItemIndex(), -1);
    // Set while the focus is elsewhere, the selection goes at once.
    List->SetHideSelection(false);
    List->SetItemIndex(3);
    List->SetHideSelection(true);
    EXPECT_EQ(List->GetItemIndex(), -1);
}

TEST_F(ListBoxKV, TheRightButtonSelectsLikeTheLeftOneAndFiresOnlyItsOwnEvents) {
    std::vector<std::pair<std::string, TMouseButton>> mouse;
    List->OnMouseDown = [&](TObject*, TMouseButton B, TShiftState, int, int) {
        mouse.emplace_back("down", B);
    };
    List->OnMouseUp = [&](TObject*, TMouseButton B, TShiftState, int, int) { mouse.emplace_back("up", B); };
    List->SetSelectOnEnter(false);
    QTest::mouseClick(W(), Qt::RightButton, {}, At(5, 13 + 4));
    EXPECT_EQ(List->GetItemIndex(), -1); // not without RButtonSelect
    List->SetRButtonSelect(true);
    QTest::mouseClick(W(), Qt::RightButton, {}, At(5, 13 + 4));
    EXPECT_EQ(List->GetItemIndex(), 1);
    EXPECT_EQ(Clicks, (std::vector<int>{1}));
    using P = std::pair<std::string, TMouseButton>;
    EXPECT_EQ(mouse,
              (std::vector<P>{{"down", mbRight}, {"up", mbRight}, {"down", mbRight}, {"up", mbRight}}));
    // A handler that fails leaves the control ready for the next press.
    ExceptionCatcher catcher;
    List->OnClick = [](TObject*) { throw Exception("refused"); };
    QTest::mouseClick(W(), Qt::RightButton, {}, At(5, 2 * 13 + 4));
    EXPECT_EQ(catcher.Messages, (std::vector<std::string>{"refused"}));
    List->OnClick = nullptr;
    QTest::mouseClick(W(), Qt::LeftButton, {}, At(5, 3 * 13 + 4));
    EXPECT_EQ(mouse.back(), (P{"up", mbLeft}));
}

TEST_F(ListBoxKV, MultipleSelectionExcludesTheHelpers) {
    struct Helper {
        const char* Name;
        std::function<void(bool)> Set;
        std::function<bool()> Get;
    };
    TListBoxKV* l = List;
    const Helper helpers[] = {
        {"HideSelection", [l](bool v) { l->SetHideSelection(v); }, [l] { return l->GetHideSelection(); }},
        {"SelectOnEnter", [l](bool v) { l->SetSelectOnEnter(v); }, [l] { return l->GetSelectOnEnter(); }},
        {"SelectOnDelete", [l](bool v) { l->SetSelectOnDelete(v); }, [l] { return l->GetSelectOnDelete(); }}};
    for (const Helper& h : helpers) {
        h.Set(true);
        l->SetMultiSelect(true);
        EXPECT_FALSE(h.Get()) << h.Name;
        h.Set(true);
        EXPECT_FALSE(l->GetMultiSelect()) << h.Name;
    }
    List->SetMultiSelect(true);
    EXPECT_FALSE(List->GetHideSelection() || List->GetSelectOnEnter() || List->GetSelectOnDelete());
    // Turned on while focused with nothing selected, SelectOnEnter picks the top item.
    List->SetFocus();
    List->SetSelectOnEnter(true);
    EXPECT_EQ(List->GetItemIndex(), 0);
}

TEST_F(ListBoxKV, DroppedFilesFillTheListWholeAndFireOnce) {
    int fired = 0;
    List->OnDropFiles = [&](TObject* Sender) {
        EXPECT_EQ(Sender, List);
        ++fired;
    };
    std::string deep = "/tmp/" + std::string(300, 'd') + "/f.txt";
    QList<QUrl> two{QUrl::fromLocalFile("/tmp/eins ä.txt"),
                    QUrl::fromLocalFile(QString::fromStdString(deep))};
    EXPECT_FALSE(DropOnControl(List, two));
    EXPECT_EQ(List->GetDropFilesList(), nullptr);
    List->SetAcceptDropFiles(true);
    EXPECT_TRUE(DropOnControl(List, two));
    EXPECT_EQ(fired, 1);
    ASSERT_NE(List->GetDropFilesList(), nullptr);
    EXPECT_EQ(List->GetDropFilesList()->GetText(), "/tmp/eins ä.txt\r\n" + deep + "\r\n");
    EXPECT_EQ(List->GetItems()->GetCount(), 8); // the lines stay
    // A new window takes drops again; switched off, none arrive.
    List->SetBorderStyle(bsNone);
    EXPECT_TRUE(DropOnControl(List, {QUrl::fromLocalFile("/tmp/x")}));
    EXPECT_EQ(List->GetDropFilesList()->GetCount(), 1);
    List->SetAcceptDropFiles(false);
    EXPECT_FALSE(DropOnControl(List, two));
    List->Perform(WM_DROPFILES, 0); // one that arrives anyway is released quietly
    EXPECT_EQ(fired, 2);
}

TEST(ListBoxKVPalette, IsOnThePageKV) {
    Listboxkv::Register();
    auto classes = GetPaletteClasses("KV");
    EXPECT_NE(std::find(classes.begin(), classes.end(), &TListBoxKV::ClassInfo()), classes.end());
    EXPECT_EQ(FindClass("TListBoxKV"), &TListBoxKV::ClassInfo());
}

} // namespace
