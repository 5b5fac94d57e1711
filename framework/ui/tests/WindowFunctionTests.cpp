// Windows on the desktop, the mouse capture, the focus without an exit,
// posted messages and the main window's hooks.
#define QTEST_QPA_MOUSE_HANDLING // mouse events take the window system's way (capture, other windows)
#include "StdCtrls.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QWindow>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

constexpr Cardinal WmUserTest = 0x0400 + 1;

// A list box that records the mouse messages it gets.
class TMouseLog : public TListBox {
public:
    using TListBox::TListBox;
    std::vector<std::tuple<Cardinal, int, int>> Log;

protected:
    void WndProc(TMessage& M) override {
        if (M.Msg == WM_LBUTTONDOWN || M.Msg == WM_LBUTTONUP || M.Msg == WM_MOUSEMOVE)
            Log.emplace_back(M.Msg, MouseX(M), MouseY(M));
        TListBox::WndProc(M);
    }
};

struct Windows : ::testing::Test {
    Windows() {
        Form->SetBounds(100, 100, 300, 200);
        Edit->SetParent(Form.get());
        Edit->SetBounds(10, 10, 100, 21);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        Edit->SetFocus();
        Popup->SetParentWindow(GetDesktopWindow());
        Popup->SetVisible(false);
        Popup->SetBounds(150, 260, 100, 60); // hangs below the form
        for (const char* s : {"a", "b", "c"})
            Popup->GetItems()->Add(s);
    }
    ~Windows() override {
        ReleaseCapture();
        Form->Hide();
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TEdit* Edit = new TEdit(Form.get());
    std::unique_ptr<TMouseLog> Popup = std::make_unique<TMouseLog>(nullptr);
};

TEST_F(Windows, ADesktopWindowShowsWhereItIsPutAndLeavesTheFocusAlone) {
    EXPECT_FALSE(Popup->HandleAllocated());
    Popup->Show(); // makes its window
    QWidget* w = Popup->GetWidget();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isWindow());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowType(), Qt::ToolTip);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->geometry(), QRect(150, 260, 100, 60));
    EXPECT_EQ(w->windowHandle()->transientParent(), Form->GetWidget()->windowHandle());
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(QApplication::activeWindow(), Form->GetWidget());
    EXPECT_EQ(w->focusPolicy(), Qt::NoFocus); // also with TabStop
    // Clicking it does not take the focus either.
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Popup->GetItemIndex(), 0);
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Popup->ClientToScreen(QPoint(0, 0)), QPoint(152, 262)); // inside the frame
    Popup->Hide();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(Windows, TheCaptureGetsEveryMouseMessageInItsClientCoordinates) {
    Popup->Show();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(SetCapture(Popup->GetWidget()), nullptr);
    EXPECT_EQ(GetCapture(), Popup->GetWidget());
    QWidget* edit = Edit->GetWidget();
    QTest::mouseMove(edit, QPoint(5, 5));
    QTest::mousePress(edit, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(edit, Qt::LeftButton, {}, QPoint(5, 5));
    // The point lies above and left of the list's client area.
    QPoint p = Popup->ScreenToClient(Edit->ClientToScreen(QPoint(5, 5)));
    EXPECT_LT(p.y(), -100);
    auto expected = std::vector<std::tuple<Cardinal, int, int>>{
        {WM_MOUSEMOVE, p.x(), p.y()}, {WM_LBUTTONDOWN, p.x(), p.y()}, {WM_LBUTTONUP, p.x(), p.y()}};
    EXPECT_EQ(Popup->Log, expected);
    EXPECT_EQ(Edit->GetText(), "");
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    Popup->Log.clear();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(Popup->Log.empty());
}

TEST_F(Windows, TakingTheFocusAwayAndBackIsNoExitAndNoEntry) {
    std::vector<std::string> events;
    Edit->OnExit = [&](TObject*) { events.push_back("exit"); };
    Edit->OnEnter = [&](TObject*) { events.push_back("enter"); };
    SetFocus(nullptr);
    EXPECT_FALSE(Edit->Focused());
    SetFocus(Edit->GetWidget());
    EXPECT_TRUE(Edit->Focused());
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(Form->GetActiveControl(), Edit);
    // To another control it is a move like any other.
    auto* other = new TEdit(Form.get());
    other->SetParent(Form.get());
    other->SetBounds(10, 50, 100, 21);
    SetFocus(other->GetHandle());
    EXPECT_EQ(events, (std::vector<std::string>{"exit"}));
    EXPECT_EQ(Form->GetActiveControl(), other);
}

TEST_F(Windows, PostedMessagesArriveLaterAndOnlyWhileTheWindowLives) {
    std::vector<Cardinal> got;
    auto old = Edit->WindowProc;
    Edit->WindowProc = [&, old](TMessage& M) {
        if (M.Msg == WmUserTest) got.push_back(static_cast<Cardinal>(M.WParam));
        old(M);
    };
    PostMessage(Edit->GetWidget(), WmUserTest, 7);
    EXPECT_TRUE(got.empty());
    QApplication::processEvents();
    EXPECT_EQ(got, (std::vector<Cardinal>{7}));
    PostMessage(Edit->GetWidget(), WmUserTest, 8);
    Edit->SetParent(nullptr); // the window goes
    QApplication::processEvents();
    EXPECT_EQ(got.size(), 1u);
    delete Edit;
}

TEST_F(Windows, MainWindowHooksHearTheApplicationLoseAndGetTheActivation) {
    auto send = [](Qt::ApplicationState State) {
        QApplicationStateChangeEvent e(State);
        QApplication::sendEvent(QApplication::instance(), &e);
    };
    send(Qt::ApplicationActive); // where the test starts from
    std::vector<std::pair<char, WPARAM>> heard;
    int a = 0, b = 0;
    Application->HookMainWindow(&a, [&](TMessage& M) {
        if (M.Msg == WM_ACTIVATEAPP) heard.emplace_back('a', M.WParam);
        Application->UnhookMainWindow(&b); // may change the hooks while they run
        return false;
    });
    Application->HookMainWindow(&b, [&](TMessage& M) {
        heard.emplace_back('b', M.WParam);
        return true;
    });
    send(Qt::ApplicationInactive);
    send(Qt::ApplicationHidden); // still not active: no news
    send(Qt::ApplicationActive);
    Application->UnhookMainWindow(&a);
    send(Qt::ApplicationInactive);
    send(Qt::ApplicationActive);
    EXPECT_EQ(heard, (std::vector<std::pair<char, WPARAM>>{{'a', 0}, {'a', 1}}));
}

} // namespace
