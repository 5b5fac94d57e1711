// The drop-down edit and its pick list, driven through keys and the mouse as
// a user would: the list is a window of its own that holds the mouse.
#define QTEST_QPA_MOUSE_HANDLING
#include "DropDownEditKV.h"
#include "FormReader.h"
#include "Place.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QToolButton>
#include <QWindow>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

// Opens the parts the tests look at.
class TTestDropDown : public TDropDownEditKV {
public:
    using TDropDownEditKV::TDropDownEditKV;
    TEditKV* Edit() const { return FEdit; }
    TSpeedButton* Button() const { return FButton; }
};

struct DropDown : ::testing::Test {
    DropDown() {
        Form->SetBounds(100, 100, 300, 200);
        Box->SetParent(Form.get());
        Box->SetBounds(10, 10, 120, 21);
        Box->OnChange = [this](TObject* Sender) {
            EXPECT_EQ(Sender, Box);
            Changes.push_back(Box->GetText());
        };
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        // The application counts as active from here: Qt telling so later is no news.
        State(Qt::ApplicationActive);
        Box->SetFocus();
    }
    static void State(Qt::ApplicationState S) {
        QApplicationStateChangeEvent e(S);
        QApplication::sendEvent(QApplication::instance(), &e);
    }
    ~DropDown() override {
        ReleaseCapture();
        Form->Hide();
    }
    void Fill(int N) {
        Box->GetItems()->InUpdate([&] {
            for (int i = 0; i < N; ++i)
                Box->GetItems()->Add(QString("Item %1").arg(i, 2, 10, QChar('0')).toStdString());
        });
    }
    TDropDownEditListBoxKV* List() const { return Box->GetListBox(); }
    void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), K, M);
    }
    // Lets a list that just opened show and paint, which places it under the control.
    void Settle() {
        if (List()->GetWidget()) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(List()->GetWidget()));
        }
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    // The mouse at a point of the screen, through the form's window as the
    // window system delivers it (to the capture, when a window holds it).
    QWindow* Window() { return Form->GetHandle()->windowHandle(); }
    QPoint Local(QPoint Screen) { return Screen - Form->GetHandle()->mapToGlobal(QPoint(0, 0)); }
    void MoveTo(QPoint Screen) { QTest::mouseMove(Window(), Local(Screen)); }
    void PressAt(QPoint Screen) { QTest::mousePress(Window(), Qt::LeftButton, {}, Local(Screen)); }
    void ReleaseAt(QPoint Screen) { QTest::mouseRelease(Window(), Qt::LeftButton, {}, Local(Screen)); }
    QPoint ButtonCentre() { return Box->Button()->ClientToScreen(QPoint(8, 10)); }
    // The screen point in the middle of a row of the list's client area.
    QPoint Row(int Index) {
        return List()->ClientToScreen(QPoint(20, (Index - List()->GetTopIndex()) * 13 + 6));
    }

    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TTestDropDown* Box = new TTestDropDown(Form.get());
    std::vector<AnsiString> Changes;
};

TEST_F(DropDown, TheButtonCarriesTheArrowAndIsSixteenPixelsWide) {
    EXPECT_EQ(Box->Button()->GetWidth(), 16);
    EXPECT_EQ(Box->Button()->GetMargin(), 0);
    TBitmap* glyph = Box->Button()->GetGlyph();
    EXPECT_EQ(glyph->GetWidth(), 11);
    EXPECT_EQ(glyph->GetHeight(), 11);
    QImage arrow = glyph->GetMaskedImage();
    EXPECT_EQ(qAlpha(arrow.pixel(0, 10)), 0);    // the face colour is transparent
    EXPECT_EQ(arrow.pixel(5, 7), qRgb(0, 0, 0)); // the arrow's tip
    EXPECT_EQ(qAlpha(arrow.pixel(1, 4)), 0);     // beside its widest row
    EXPECT_EQ(Box->GetDropDownCount(), 8);
    EXPECT_FALSE(List()->GetVisible());
    EXPECT_FALSE(List()->GetCtl3D());
    EXPECT_TRUE(List()->GetIntegralHeight());
}

TEST_F(DropDown, TheListHangsBelowTheControlWithUpToDropDownCountRows) {
    struct Case {
        int Items, Count, Rows;
    };
    for (const Case& c : {Case{3, 8, 3}, Case{0, 8, 1}, Case{20, 8, 8}, Case{5, 0, 1}, Case{5, -4, 1}}) {
        Box->GetItems()->Clear();
        Fill(c.Items);
        Box->SetDropDownCount(c.Count + 1);
        Box->SetDropDownCount(c.Count);
        EXPECT_EQ(List()->GetHeight(), c.Rows * 13 + 2) << c.Items << "/" << c.Count;
    }
    QPoint corner = Form->ClientToScreen(QPoint(10, 10));
    EXPECT_EQ(List()->GetBoundsRect(), QRect(corner.x(), corner.y() + 21, 120, 13 + 2));
    // Moving or resizing the control takes the list along.
    Box->SetBounds(30, 170, 150, 21);
    corner = Form->ClientToScreen(QPoint(30, 170));
    EXPECT_EQ(List()->GetBoundsRect(), QRect(corner.x(), corner.y() + 21, 150, 13 + 2));
    // There it hangs past the form's bottom edge, and shows there.
    Key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_GT(List()->GetTop(), Form->ClientToScreen(QPoint(0, Form->GetClientHeight())).y());
    EXPECT_EQ(List()->GetWidget()->geometry(), List()->GetBoundsRect());
    EXPECT_TRUE(List()->GetWidget()->isVisible());
}

TEST_F(DropDown, WithoutAParentTheListKeepsItsLastPlacement) {
    TDropDownEditKV loose(nullptr);
    QRect before = loose.GetListBox()->GetBoundsRect();
    loose.GetItems()->Add("a");
    loose.SetDropDownCount(3);
    loose.SetBounds(50, 50, 200, 21);
    EXPECT_EQ(loose.GetListBox()->GetBoundsRect(), before);
}

TEST_F(DropDown, ArrowKeysStepThroughTheItemsFromTheText) {
    Fill(10);
    Box->SetText("item 04"); // the items are found as the string list finds them
    Changes.clear();
    Key(Qt::Key_Down);
    EXPECT_EQ(List()->GetItemIndex(), 5);
    EXPECT_EQ(Box->GetText(), "Item 05");
    EXPECT_EQ(Changes, (std::vector<AnsiString>{"Item 05"})); // and the selection stays
    struct Case {
        int From;
        Qt::Key Key;
        int To;
    };
    for (const Case& c : {Case{9, Qt::Key_Down, 9}, Case{0, Qt::Key_Up, 0}, Case{3, Qt::Key_Up, 2}}) {
        List()->SetItemIndex(c.From);
        Box->SetText(Box->GetItems()->Get(c.From));
        Changes.clear();
        Key(c.Key);
        EXPECT_EQ(List()->GetItemIndex(), c.To) << c.From;
        EXPECT_EQ(Box->GetText(), Box->GetItems()->Get(c.To)) << c.From;
        EXPECT_EQ(Changes.size(), c.From == c.To ? 0u : 1u) << c.From;
    }
    // Without a matching text Down starts at the first item.
    Box->SetText("none");
    Key(Qt::Key_Down);
    EXPECT_EQ(Box->GetText(), "Item 00");
}

TEST_F(DropDown, PagingKeysMoveByDropDownCount) {
    Fill(30);
    struct Case {
        int Count, From;
        Qt::Key Key;
        int To;
    };
    for (const Case& c :
         {Case{8, 20, Qt::Key_PageUp, 11}, Case{8, 20, Qt::Key_PageDown, 27},
          Case{8, 27, Qt::Key_PageDown, 29}, Case{8, 5, Qt::Key_PageUp, 0}, Case{8, -1, Qt::Key_PageDown, 7},
          Case{8, -1, Qt::Key_PageUp, 0}, Case{0, 20, Qt::Key_PageDown, 21}, Case{0, 20, Qt::Key_PageUp, 19},
          Case{-3, -1, Qt::Key_PageDown, 0}}) {
        Box->SetDropDownCount(c.Count);
        Box->SetText(c.From >= 0 ? Box->GetItems()->Get(c.From) : AnsiString("-"));
        Key(c.Key);
        EXPECT_EQ(List()->GetItemIndex(), c.To) << c.Count << " " << c.From << " " << c.Key;
        EXPECT_EQ(Box->GetText(), Box->GetItems()->Get(c.To)) << c.Count << " " << c.From;
    }
}

TEST_F(DropDown, OnAnEmptyListNoKeyChangesAnything) {
    Box->SetText("x");
    Changes.clear();
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_PageUp})
        Key(k);
    EXPECT_EQ(Box->GetText(), "x");
    EXPECT_TRUE(Changes.empty());
}

TEST_F(DropDown, TypingDropsTheSelectionAndFiresOnChangeOnce) {
    Fill(5);
    Key(Qt::Key_Down);
    ASSERT_EQ(List()->GetItemIndex(), 0);
    Changes.clear();
    Key(Qt::Key_End);
    QTest::keyClicks(QApplication::focusWidget(), "x");
    EXPECT_EQ(List()->GetItemIndex(), -1);
    EXPECT_EQ(Changes, (std::vector<AnsiString>{"Item 00x"}));
}

TEST_F(DropDown, EnterAndEscapeNeverReachTheEdit) {
    Fill(3);
    std::vector<TKeyChar> pressed;
    Box->Edit()->OnKeyPress = [&](TObject*, TKeyChar& K) { pressed.push_back(K); };
    std::vector<Word> downs;
    Box->OnKeyDown = [&](TObject* Sender, Word& K, TShiftState) {
        EXPECT_EQ(Sender, Box);
        downs.push_back(K);
    };
    Key(Qt::Key_Return);
    Key(Qt::Key_Escape);
    Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(List()->GetVisible());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(List()->GetVisible());
    Key(Qt::Key_Down, Qt::AltModifier);
    Key(Qt::Key_Return);
    EXPECT_FALSE(List()->GetVisible());
    EXPECT_TRUE(pressed.empty());
    EXPECT_EQ(downs, (std::vector<Word>{VK_RETURN, VK_ESCAPE, VK_MENU, VK_DOWN, VK_ESCAPE, VK_MENU, VK_DOWN,
                                        VK_RETURN}));
    // A handler may take a key before the list does.
    Box->OnKeyDown = [](TObject*, Word& K, TShiftState) {
        if (K == VK_DOWN) K = 0;
    };
    Key(Qt::Key_Down);
    EXPECT_EQ(List()->GetItemIndex(), -1);
}

TEST_F(DropDown, WithTheListClosedTheFormsButtonsTakeReturnAndEscape) {
    Fill(3);
    auto* ok = Place<TButton>(Form.get(), 10, 100, 75, 25);
    ok->SetDefault(true);
    auto* cancel = Place<TButton>(Form.get(), 100, 100, 75, 25);
    cancel->SetCancel(true);
    std::vector<std::string> seen;
    ok->OnClick = [&](TObject*) { seen.push_back("ok"); };
    cancel->OnClick = [&](TObject*) { seen.push_back("cancel"); };
    Box->OnKeyDown = [&](TObject*, Word& K, TShiftState) {
        if (K == VK_RETURN || K == VK_ESCAPE) seen.push_back("edit " + std::to_string(K));
    };
    Box->SetFocus();
    Key(Qt::Key_Return);
    Key(Qt::Key_Escape);
    EXPECT_EQ(seen, (std::vector<std::string>{"ok", "cancel"}));
    // The open list claims them: they close it, and the buttons stay unclicked.
    seen.clear();
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Escape}) {
        Key(Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(List()->GetVisible());
        Key(k);
        EXPECT_FALSE(List()->GetVisible()) << k;
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"edit 13", "edit 27"}));
    EXPECT_TRUE(Box->Edit()->Focused());
}

TEST_F(DropDown, AltArrowsOpenAtTheTextAndCloseWhileTheFocusStaysInTheEdit) {
    Fill(30);
    int clicks = 0;
    Box->OnBtnClick = [&](TObject*) { ++clicks; };
    Box->SetText("Item 12");
    Key(Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(List()->GetVisible());
    EXPECT_EQ(List()->GetTopIndex(), 12);
    EXPECT_EQ(List()->GetItemIndex(), 12);
    EXPECT_EQ(GetCapture(), List()->GetWidget());
    EXPECT_TRUE(List()->GetHooked());
    EXPECT_TRUE(Box->Edit()->Focused());
    EXPECT_EQ(QApplication::activeWindow(), Form->GetWidget());
    Key(Qt::Key_Up, Qt::AltModifier);
    EXPECT_FALSE(List()->GetVisible());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(List()->GetHooked());
    EXPECT_EQ(clicks, 0); // the button edit's own Alt+arrow click does not happen
    // Near the end the last items fill the list.
    Box->SetText("Item 28");
    Key(Qt::Key_Up, Qt::AltModifier);
    Settle();
    EXPECT_EQ(List()->GetTopIndex(), 22);
}

TEST_F(DropDown, PressDragAndReleasePicksAnItemInOneGesture) {
    Fill(5);
    PressAt(ButtonCentre());
    Settle();
    EXPECT_TRUE(List()->GetVisible());
    EXPECT_TRUE(static_cast<QToolButton*>(Box->Button()->GetWidget())->isDown());
    MoveTo(Row(1)); // the button still has the mouse: it lets go, the list takes it
    EXPECT_FALSE(static_cast<QToolButton*>(Box->Button()->GetWidget())->isDown());
    EXPECT_EQ(GetCapture(), List()->GetWidget());
    MoveTo(Row(3));
    EXPECT_EQ(List()->GetItemIndex(), 3);
    ReleaseAt(Row(3));
    EXPECT_EQ(Box->GetText(), "Item 03");
    EXPECT_FALSE(List()->GetVisible());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(Box->Edit()->Focused());
}

TEST_F(DropDown, AReleaseOverAnItemWithoutASelectionLeavesTheText) {
    Fill(5);
    Box->SetText("typed");
    PressAt(ButtonCentre());
    Settle();
    MoveTo(Row(2)); // the list takes the mouse here, nothing is selected yet
    ASSERT_EQ(List()->GetItemIndex(), -1);
    ReleaseAt(Row(2));
    EXPECT_EQ(Box->GetText(), "typed");
    EXPECT_FALSE(List()->GetVisible());
}

TEST_F(DropDown, AClickOpensThePointerSelectsAndAClickPicks) {
    Fill(5);
    Box->SetText("Item 01");
    QTest::mouseClick(Box->Button()->GetWidget(), Qt::LeftButton, {}, QPoint(8, 10));
    Settle();
    ASSERT_TRUE(List()->GetVisible());
    EXPECT_EQ(List()->GetItemIndex(), 1);
    MoveTo(Row(4)); // without the button the selection follows the pointer
    EXPECT_EQ(List()->GetItemIndex(), 4);
    MoveTo(List()->ClientToScreen(QPoint(20, -40))); // but not off the items
    EXPECT_EQ(List()->GetItemIndex(), 4);
    PressAt(Row(3));
    EXPECT_TRUE(List()->GetVisible()); // the choice is made on release
    ReleaseAt(Row(3));
    EXPECT_EQ(Box->GetText(), "Item 03");
    EXPECT_FALSE(List()->GetVisible());
    // A press outside the list closes it without a pick.
    QTest::mouseClick(Box->Button()->GetWidget(), Qt::LeftButton, {}, QPoint(8, 10));
    Settle();
    ASSERT_TRUE(List()->GetVisible());
    MoveTo(Row(0));
    PressAt(Form->ClientToScreen(QPoint(250, 150)));
    EXPECT_FALSE(List()->GetVisible());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Box->GetText(), "Item 03");
}

TEST_F(DropDown, HoldingTheButtonOutsideScrollsFasterTheFartherAway) {
    Fill(30);
    Box->SetText("Item 10");
    PressAt(ButtonCentre());
    Settle();
    MoveTo(Row(11)); // the list takes the mouse with the button held
    struct Case {
        int Distance, Interval;
    };
    int bottom = List()->GetClientHeight();
    for (int side : {1, -1}) {
        for (const Case& c : {Case{30, 50}, Case{10, 150}, Case{3, 400}}) {
            // The real timer may tick as well while events are processed on a
            // slow run: it can only add lines in the same direction.
            int top = List()->GetTopIndex();
            int y = side > 0 ? bottom + c.Distance : -c.Distance;
            MoveTo(List()->ClientToScreen(QPoint(20, y)));
            int moved = List()->GetTopIndex();
            EXPECT_GE((moved - top) * side, 1) << y; // a line at once
            TTimer* timer = List()->GetScrollTimer();
            ASSERT_NE(timer, nullptr) << y;
            EXPECT_EQ(timer->GetInterval(), c.Interval) << y;
            EXPECT_EQ(timer->GetTag(), side) << y;
            EXPECT_TRUE(timer->IsRunning()) << y;
            timer->GetOnTimer()(timer); // a tick scrolls one line more
            EXPECT_EQ(List()->GetTopIndex(), moved + side) << y;
        }
        MoveTo(Row(List()->GetTopIndex() + 1)); // back inside: the scrolling stops
        EXPECT_EQ(List()->GetScrollTimer(), nullptr);
    }
    MoveTo(List()->ClientToScreen(QPoint(20, bottom + 8)));
    EXPECT_NE(List()->GetScrollTimer(), nullptr);
    ReleaseAt(List()->ClientToScreen(QPoint(20, bottom + 8)));
    EXPECT_EQ(List()->GetScrollTimer(), nullptr);
    EXPECT_FALSE(List()->GetVisible());
}

TEST_F(DropDown, TheScrollBarWorksWhileTheListHoldsTheMouse) {
    Fill(30);
    QTest::mouseClick(Box->Button()->GetWidget(), Qt::LeftButton, {}, QPoint(8, 10));
    Settle();
    ASSERT_EQ(GetCapture(), List()->GetWidget());
    // The lower arrow of the bar: inside the list's bounds, outside its client area.
    QPoint arrow = List()->GetWidget()->mapToGlobal(QPoint(List()->GetWidth() - 5, List()->GetHeight() - 5));
    PressAt(arrow);
    ReleaseAt(arrow);
    EXPECT_TRUE(List()->GetVisible());
    EXPECT_EQ(List()->GetTopIndex(), 1);
    EXPECT_EQ(GetCapture(), List()->GetWidget()); // taken back when the scrolling ends
}

TEST_F(DropDown, SwitchingToAnotherApplicationClosesTheList) {
    Fill(3);
    Key(Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(List()->GetVisible());
    State(Qt::ApplicationInactive);
    EXPECT_FALSE(List()->GetVisible());
    EXPECT_FALSE(List()->GetHooked());
    State(Qt::ApplicationActive);
    // Freed while open, the control leaves no hook and no capture behind.
    Key(Qt::Key_Down, Qt::AltModifier);
    delete Box;
    EXPECT_EQ(GetCapture(), nullptr);
    State(Qt::ApplicationInactive);
    State(Qt::ApplicationActive);
}

class TDropForm : public TForm {
public:
    KV_METACLASS_DECL
    using TForm::TForm;
};
KV_METACLASS(TDropForm, &TForm::ClassInfo())

TEST(DropDownFormText, KeepsItemsAndCountAndReadsBackWithTheListSettings) {
    Dropdowneditkv::Register();
    auto classes = GetPaletteClasses("KV");
    EXPECT_NE(std::find(classes.begin(), classes.end(), &TDropDownEditKV::ClassInfo()), classes.end());
    TDropForm form(nullptr);
    auto* box = new TDropDownEditKV(&form);
    box->SetName("Fruit");
    box->SetParent(&form);
    box->GetItems()->Add("Apfel");
    box->GetItems()->Add("Birne");
    box->SetDropDownCount(4);
    box->SetSorted(true);
    AnsiString text = WriteComponentToText(&form, TDropForm::ClassInfo());
    for (const char* want : {"DropDownCount = 4", "Sorted = True", "'Apfel'"})
        EXPECT_NE(text.find(want), AnsiString::npos) << want << "\n" << text;
    EXPECT_EQ(text.find("BtnWidth"), AnsiString::npos) << text; // the button stays the control's own
    TDropForm back(nullptr);
    ReadComponentFromText(text, &back, TDropForm::ClassInfo());
    auto* r = dynamic_cast<TDropDownEditKV*>(back.FindComponent("Fruit"));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetItems()->GetCommaText(), "Apfel,Birne");
    EXPECT_EQ(r->GetDropDownCount(), 4);
    EXPECT_TRUE(r->GetSorted());
    EXPECT_FALSE(r->GetListBox()->GetCtl3D());
    EXPECT_EQ(r->GetListBox()->GetHeight(), 2 * 13 + 2);
}

} // namespace
