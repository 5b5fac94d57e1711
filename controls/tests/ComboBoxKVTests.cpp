// The library's combo box and drive combo box, driven through keys and the mouse.
#define QTEST_QPA_MOUSE_HANDLING
#include "ComboBoxKV.h"
#include "DriveComboBoxKV.h"
#include "UiTestEnv.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

struct ComboBoxKV : ::testing::Test {
    ComboBoxKV() {
        Form->SetBounds(100, 100, 300, 200);
        Combo->SetParent(Form.get());
        Combo->SetBounds(10, 10, 150, 21);
        for (const char* s : {"one", "", "two", "three"})
            Combo->GetItems()->Add(s);
        Combo->OnChange = [this](TObject*) { Changes.push_back(Combo->GetText()); };
        Combo->OnKeyPress = [this](TObject*, TKeyChar& Key) { Pressed.push_back(Key); };
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
    }
    ~ComboBoxKV() override { Form->Hide(); }
    QComboBox* Box() { return static_cast<QComboBox*>(Combo->GetHandle()); }
    void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) {
        QTest::keyClick(Combo->GetHandle(), K, M);
    }
    // Opens the list with the mouse and clicks a line in it.
    void Pick(int Row) {
        QTest::mouseClick(Box(), Qt::LeftButton, {},
                          QPoint(Box()->width() - 6, Box()->height() / 2)); // the arrow
        QAbstractItemView* view = Box()->view();
        ASSERT_TRUE(view->isVisible());
        QRect r = view->visualRect(view->model()->index(Row, 0));
        QTest::mouseMove(view->viewport(), r.center());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        QApplication::processEvents(); // the posted close
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TComboBoxKV* Combo = new TComboBoxKV(Form.get());
    std::vector<AnsiString> Changes;
    std::vector<TKeyChar> Pressed;
};

TEST_F(ComboBoxKV, ReadOnlyDropDownRefusesTypingAndArrowsButPassesEscape) {
    Combo->SetItemIndex(0);
    Combo->SetReadOnly(true);
    auto* cancel = new TButton(Form.get());
    cancel->SetParent(Form.get());
    cancel->SetBounds(10, 100, 75, 25);
    cancel->SetCancel(true);
    int cancelled = 0;
    cancel->OnClick = [&](TObject*) { ++cancelled; };
    Combo->SetFocus();
    QTest::keyClicks(Combo->GetHandle(), "xy");
    Key(Qt::Key_Down);
    Key(Qt::Key_Down, Qt::AltModifier);
    Key(Qt::Key_Delete);
    EXPECT_EQ(Combo->GetText(), "one");
    EXPECT_EQ(Combo->GetItemIndex(), 0);
    EXPECT_FALSE(Combo->GetDroppedDown());
    EXPECT_FALSE(Combo->GetModified());
    EXPECT_TRUE(Changes.empty());
    Key(Qt::Key_Escape);
    EXPECT_EQ(cancelled, 1);
    // Tab still moves on.
    Key(Qt::Key_Tab);
    EXPECT_TRUE(cancel->Focused());
    // Switched back, the edit part takes typing again.
    Combo->SetReadOnly(false);
    Combo->SetFocus();
    QTest::keyClicks(Combo->GetHandle(), "z");
    EXPECT_EQ(Combo->GetText(), "z");
}

TEST_F(ComboBoxKV, ReadOnlyPutsThePreviousLineBackAfterAPick) {
    for (TComboBoxStyle style : {csDropDown, csDropDownList}) {
        Combo->SetStyle(style);
        Combo->SetItemIndex(2);
        Combo->SetReadOnly(true);
        Pick(3);
        EXPECT_EQ(Combo->GetItemIndex(), 2) << style;
        EXPECT_EQ(Combo->GetText(), "two") << style;
        EXPECT_EQ(Box()->currentIndex(), 2) << style;
        EXPECT_FALSE(Combo->GetDroppedDown()) << style;
        EXPECT_FALSE(Combo->GetModified()) << style;
        // With nothing selected when it dropped down, a pick leaves nothing selected.
        Combo->SetItemIndex(-1);
        Pick(0);
        EXPECT_EQ(Combo->GetItemIndex(), -1) << style;
        Combo->SetReadOnly(false);
        Pick(3);
        EXPECT_EQ(Combo->GetText(), "three") << style;
        EXPECT_TRUE(Combo->GetModified()) << style;
        Combo->SetModified(false);
    }
    EXPECT_EQ(Changes, (std::vector<AnsiString>{"three", "three"}));
}

TEST_F(ComboBoxKV, ReadOnlySimpleStyleDropsThePicksNotice) {
    Combo->SetStyle(csSimple);
    Combo->SetHeight(100);
    Combo->SetItemIndex(0);
    Combo->SetReadOnly(true);
    auto* list = Combo->GetHandle()->findChild<QListWidget*>();
    ASSERT_TRUE(list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(3)).center());
    EXPECT_TRUE(Changes.empty());
    EXPECT_FALSE(Combo->GetModified());
    Combo->SetFocus();
    QTest::keyClicks(Combo->GetHandle(), "q");
    EXPECT_FALSE(Combo->GetText().find('q') != AnsiString::npos);
}

TEST_F(ComboBoxKV, SpaceAndDeleteChooseTheEmptyLineInListStyles) {
    for (TComboBoxStyle style : {csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable}) {
        Combo->SetStyle(style);
        Combo->SetItemIndex(0);
        Combo->SetModified(false);
        Changes.clear();
        Pressed.clear();
        Combo->SetFocus();
        Key(Qt::Key_Space);
        EXPECT_EQ(Combo->GetItemIndex(), 1) << style;
        EXPECT_TRUE(Combo->GetModified()) << style;
        EXPECT_EQ(Changes, (std::vector<AnsiString>{""})) << style;
        Key(Qt::Key_Space); // already there: nothing more
        Combo->SetItemIndex(3);
        Key(Qt::Key_Delete);
        EXPECT_EQ(Combo->GetItemIndex(), 1) << style;
        EXPECT_EQ(Changes.size(), 2u) << style;
        EXPECT_EQ(Pressed, (std::vector<TKeyChar>{' ', ' ', ' '})) << style; // Delete comes as a space
        EXPECT_FALSE(Combo->GetDroppedDown()) << style;
    }
    // Without an empty line Space and Delete do nothing.
    Combo->GetItems()->Delete(1);
    Combo->SetItemIndex(0);
    Changes.clear();
    Key(Qt::Key_Space);
    Key(Qt::Key_Delete);
    EXPECT_EQ(Combo->GetItemIndex(), 0);
    EXPECT_TRUE(Changes.empty());
    // In the edit styles they edit as usual.
    Combo->SetStyle(csDropDown);
    Combo->SetFocus();
    Combo->SetText("ab");
    Combo->SetSelStart(2);
    Key(Qt::Key_Space);
    EXPECT_EQ(Combo->GetText(), "ab ");
}

TEST_F(ComboBoxKV, ModifiedComesFromPicksAndTypingAndClearsForBoth) {
    EXPECT_FALSE(Combo->GetModified());
    Combo->SetFocus();
    QTest::keyClicks(Combo->GetHandle(), "t");
    EXPECT_TRUE(Combo->GetModified()); // the edit part's own flag
    Combo->SetModified(false);
    EXPECT_FALSE(Combo->GetModified());
    EXPECT_EQ(Combo->EditPerform(EM_GETMODIFY), 0);
    Key(Qt::Key_Down); // a pick
    EXPECT_TRUE(Combo->GetModified());
    Combo->SetModified(false);
    Combo->SetItemIndex(3); // by code
    Combo->SetText("other");
    EXPECT_FALSE(Combo->GetModified());
}

TEST(ComboBoxKVPalette, ComboAndDriveComboAreOnThePageKV) {
    Comboboxkv::Register();
    Drivecomboboxkv::Register();
    auto classes = GetPaletteClasses("KV");
    for (TComponentClass c : {&TComboBoxKV::ClassInfo(), &TDriveComboBoxKV::ClassInfo()})
        EXPECT_NE(std::find(classes.begin(), classes.end(), c), classes.end()) << c->GetName();
}

TEST(DriveComboBoxKV, ListsTheVolumesAsItsBaseDoes) {
    TForm form(nullptr);
    auto* drives = new TDriveComboBoxKV(&form);
    drives->SetParent(&form);
    drives->HandleNeeded();
    EXPECT_GT(drives->GetItems()->GetCount(), 0);
    EXPECT_FALSE(drives->GetDrive().empty());
    EXPECT_EQ(drives->GetText().substr(0, drives->GetDrive().size()), drives->GetDrive());
}

} // namespace
