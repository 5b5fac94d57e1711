// Controls driven through Qt: speed-button groups, keys, guards, messages.
#include "Buttons.h"
#include "Clipbrd.h"
#include "ExtCtrls.h"
#include "StdCtrls.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QToolTip>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

// A shown form to put controls on.
struct Shown : ::testing::Test {
    Shown() {
        Form->SetBounds(0, 0, 400, 300);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
    }
    ~Shown() override { Form->Hide(); }
    template <class T> T* Add(TWinControl* Parent, int L, int T_, int W, int H) {
        auto* c = new T(Form.get());
        c->SetParent(Parent);
        c->SetBounds(L, T_, W, H);
        return c;
    }
    void Click(TControl* c) { QTest::mouseClick(c->GetWidget(), Qt::LeftButton); }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
};

// ---- Speed buttons --------------------------------------------------------

struct SpeedButtons : Shown {
    TPanel* P1 = Add<TPanel>(Form.get(), 0, 0, 200, 100);
    TPanel* P2 = Add<TPanel>(Form.get(), 200, 0, 200, 100);
    TSpeedButton* MakeButton(TPanel* P, int Group, bool AllowAllUp) {
        auto* b = Add<TSpeedButton>(P, 0, 0, 60, 25);
        b->SetGroupIndex(Group);
        b->SetAllowAllUp(AllowAllUp);
        b->OnClick = [this](TObject* s) { Order.push_back(static_cast<TSpeedButton*>(s)->GetDown()); };
        return b;
    }
    std::vector<bool> Order; // Down as OnClick saw it
};

TEST_F(SpeedButtons, GroupKeepsExactlyOneDownWithinOneParent) {
    TSpeedButton* a = MakeButton(P1, 1, false);
    TSpeedButton* b = MakeButton(P1, 1, false);
    TSpeedButton* other = MakeButton(P2, 1, false); // same index, other parent
    a->SetDown(true);
    other->SetDown(true);
    EXPECT_TRUE(a->GetDown());
    Click(b);
    EXPECT_FALSE(a->GetDown());
    EXPECT_TRUE(b->GetDown());
    EXPECT_TRUE(other->GetDown()); // groups act only among siblings
    Click(b);                      // no all-up: stays down
    EXPECT_TRUE(b->GetDown());
    EXPECT_TRUE(static_cast<QToolButton*>(b->GetWidget())->isChecked());
    b->SetDown(false); // by code neither
    EXPECT_TRUE(b->GetDown());
    EXPECT_EQ(Order, (std::vector<bool>{true, true})); // Down is updated before OnClick
}

TEST_F(SpeedButtons, AllowAllUpTogglesAndPlainButtonsSpringBack) {
    TSpeedButton* t = MakeButton(P1, 2, true);
    TSpeedButton* plain = MakeButton(P1, 0, false);
    Click(t);
    EXPECT_TRUE(t->GetDown());
    Click(t);
    EXPECT_FALSE(t->GetDown());
    plain->SetDown(true);
    Click(plain);
    EXPECT_FALSE(plain->GetDown());
    EXPECT_FALSE(static_cast<QToolButton*>(plain->GetWidget())->isCheckable());
    // Click by code fires OnClick without touching Down, also while disabled.
    t->SetEnabled(false);
    t->Click();
    EXPECT_FALSE(t->GetDown());
    EXPECT_EQ(Order.size(), 4u);
    // A disabled button ignores the mouse.
    Click(t);
    EXPECT_EQ(Order.size(), 4u);
}

TEST_F(SpeedButtons, GlyphWithDisabledImageAndGlyphRightOfCaption) {
    TSpeedButton* b = MakeButton(P1, 0, false);
    QImage img(32, 11, QImage::Format_ARGB32);
    img.fill(Qt::white);
    for (int x = 16; x < 32; ++x)
        img.setPixel(x, 0, qRgb(128, 128, 128));
    img.setPixel(3, 3, qRgb(0, 0, 0));
    b->GetGlyph()->SetImage(img);
    b->SetNumGlyphs(2);
    b->SetLayout(blGlyphRight);
    b->SetCaption("ID");
    QImage up = b->GlyphImage(0), disabled = b->GlyphImage(1);
    EXPECT_EQ(up.size(), QSize(16, 11));
    EXPECT_EQ(qAlpha(up.pixel(0, 10)), 0); // bottom-left colour is transparent
    EXPECT_EQ(qAlpha(up.pixel(3, 3)), 255);
    EXPECT_EQ(disabled.pixel(0, 0), qRgb(128, 128, 128));
    auto* tb = static_cast<QToolButton*>(b->GetWidget());
    EXPECT_EQ(tb->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(tb->layoutDirection(), Qt::RightToLeft);
    EXPECT_FALSE(tb->icon().pixmap(QSize(16, 11), QIcon::Disabled).isNull());
    EXPECT_EQ(tb->focusPolicy(), Qt::NoFocus);
}

// ---- Edits and keys -------------------------------------------------------

// An edit with a message map: counts pastes and refuses them while asked to.
class TPasteEdit : public TEdit {
public:
    using TEdit::TEdit;
    int Pastes = 0;
    bool Refuse = false;
    std::vector<Cardinal> Sizes;

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_PASTE, WMPaste)
    MESSAGE_HANDLER(WM_SIZE, WMSize2)
    END_MESSAGE_MAP(TEdit)

    void WMPaste(TMessage& M) {
        ++Pastes;
        if (!Refuse) TEdit::Dispatch(M);
    }
    void WMSize2(TMessage& M) {
        Sizes.push_back(static_cast<Cardinal>(M.LParam));
        TEdit::Dispatch(M);
    }
};

struct Keys : Shown {
    TPasteEdit* Edit = Add<TPasteEdit>(Form.get(), 10, 10, 200, 21);
    QWidget* W() { return Edit->GetHandle(); }
    AnsiString WidgetText() { return static_cast<QLineEdit*>(W())->text().toStdString(); }
};

TEST_F(Keys, KeyPressSeesOneCharacterAndMayChangeOrRefuseIt) {
    std::vector<TKeyChar> seen;
    Edit->OnKeyPress = [&](TObject* Sender, TKeyChar& Key) {
        EXPECT_EQ(Sender, Edit);
        seen.push_back(Key);
        if (Key >= '0' && Key <= '9') Key = 0; // refuse digits
        if (Key == 'a') Key = 'A';             // change a character
    };
    int changes = 0;
    Edit->OnChange = [&](TObject*) { ++changes; };
    Edit->SetFocus();
    QTest::keyClicks(W(), "a1b");
    QTest::keyClick(W(), Qt::Key_Backspace);
    QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Udiaeresis, Qt::NoModifier, QString::fromUtf8("ü"));
    QApplication::sendEvent(W(), &umlaut); // one code point, not two bytes
    EXPECT_EQ(Edit->GetText(), "Aü");
    EXPECT_EQ(WidgetText(), "Aü");
    EXPECT_EQ(changes, 4); // A, b, backspace, ü
    EXPECT_EQ(seen, (std::vector<TKeyChar>{'a', '1', 'b', 8, 0xFC}));

    seen.clear();
    QTest::keyClick(W(), Qt::Key_Escape);
    QTest::keyClick(W(), Qt::Key_Return);
    QTest::keyClick(W(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(W(), Qt::Key_Left); // no character
    EXPECT_EQ(seen, (std::vector<TKeyChar>{27, 13, 24}));

    // Text set by code fires OnChange too, but is not filtered.
    Edit->SetText("123");
    EXPECT_EQ(WidgetText(), "123");
    EXPECT_EQ(changes, 5); // Ctrl+X had nothing selected to cut
}

TEST_F(Keys, KeyDownMayEatAKeyAndShiftStateArrives) {
    std::vector<std::pair<Word, TShiftState>> downs;
    Edit->OnKeyDown = [&](TObject*, Word& Key, TShiftState Shift) {
        downs.emplace_back(Key, Shift);
        if (Key == 'Q') Key = 0;
    };
    bool pressed = false;
    Edit->OnKeyPress = [&](TObject*, TKeyChar&) { pressed = true; };
    Edit->SetFocus();
    QTest::keyClick(W(), Qt::Key_Q);
    EXPECT_FALSE(pressed);
    EXPECT_EQ(Edit->GetText(), "");
    QTest::keyClick(W(), Qt::Key_Down, Qt::AltModifier);
    ASSERT_GE(downs.size(), 2u); // QTest presses Alt itself first
    EXPECT_EQ(downs.back().first, VK_DOWN);
    EXPECT_EQ(downs.back().second, (TShiftState{ssAlt}));
}

TEST_F(Keys, PasteGoesThroughTheMessageMap) {
    QApplication::clipboard()->setText("pasted");
    Edit->SetFocus();
    Edit->Refuse = true;
    QTest::keyClick(W(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit->Pastes, 1);
    EXPECT_EQ(Edit->GetText(), "");
    Edit->Refuse = false;
    QTest::keyClick(W(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit->Pastes, 2);
    EXPECT_EQ(Edit->GetText(), "pasted");
    // The Paste of the window's context menu as well.
    Edit->Refuse = true;
    EnterText(Edit, TTextWay::MenuPaste, "more");
    EXPECT_EQ(Edit->Pastes, 3);
    EXPECT_EQ(Edit->GetText(), "pasted");
    Edit->SetBounds(10, 10, 150, 21);
    ASSERT_FALSE(Edit->Sizes.empty());
    // The size of the client area, inside the border.
    EXPECT_LT(Edit->GetClientWidth(), 150);
    EXPECT_EQ(Edit->Sizes.back(),
              static_cast<Cardinal>(MakeLParam(Edit->GetClientWidth(), Edit->GetClientHeight())));
}

TEST_F(Keys, AcceleratorOfALabelOrStaticTextFocusesItsControl) {
    auto* other = Add<TEdit>(Form.get(), 10, 50, 100, 21);
    auto* text = Add<TStaticText>(Form.get(), 10, 80, 50, 17);
    text->SetCaption("&Search :");
    text->SetFocusControl(Edit);
    auto* label = new TLabel(Form.get()); // a graphic control: no window of its own to focus
    label->SetParent(Form.get());
    label->SetCaption("Sa&ve && go");
    label->SetFocusControl(other);
    EXPECT_EQ(static_cast<QLabel*>(text->GetWidget())->text(), "Search :");
    EXPECT_EQ(static_cast<QLabel*>(label->GetWidget())->text(), "Save & go");

    other->SetFocus();
    QTest::keyClick(other->GetHandle(), Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Form->GetActiveControl(), Edit);
    QTest::keyClick(W(), Qt::Key_V, Qt::AltModifier);
    EXPECT_TRUE(other->Focused());
    QTest::keyClick(other->GetHandle(), Qt::Key_G, Qt::AltModifier); // "&&" is no accelerator
    EXPECT_TRUE(other->Focused());
    // A freed focus control is forgotten.
    delete Edit;
    Edit = nullptr;
    EXPECT_EQ(text->GetFocusControl(), nullptr);
}

TEST_F(Keys, MaxLengthLimitsTypingOnly) {
    Edit->SetMaxLength(3);
    Edit->SetFocus();
    QTest::keyClicks(W(), "abcd");
    EXPECT_EQ(Edit->GetText(), "abc");
    EXPECT_TRUE(Edit->GetModified());
    Edit->SetMaxLength(0);
    QTest::keyClicks(W(), "de");
    EXPECT_EQ(Edit->GetText(), "abcde");
}

// The limit counts code points, as positions do, on every way in, and never
// cuts a character in two: one that does not fit is not typed (quietly), a
// paste is cut before it.
TEST_F(Keys, MaxLengthCountsCodePointsAndNeverSplitsOne) {
    using enum TTextWay;
    const TLimitCase cases[] = {
        {Typed, 5, "abcd", "😀x", "abcd😀"}, // the emoji is two UTF-16 units, one character
        {Typed, 5, "abcd", "üx", "abcdü"},
        {Typed, 4, "abcd", "😀", "abcd"},
        {Typed, 2, "|abc", "😀😀😀", "😀😀"}, // the first replaces the selection
        {Composed, 5, "abc", "😀é😀", "abc😀é"},
        {CtrlV, 5, "abcd", "😀😀", "abcd😀"},
        {CtrlV, 5, "abc", "xy😀", "abcxy"},
        {CtrlV, 3, "|abcdef", "😀ä😀ö", "😀ä😀"},
        {ShiftInsert, 6, "abc", "äö😀ü", "abcäö😀"},
        {MenuPaste, 5, "abc", "xy😀", "abcxy"},
        {SelText, 5, "abcd", "😀😀", "abcd😀"},
    };
    int beeps = 0;
    SetBeepHook([&](unsigned) { ++beeps; });
    Edit->SetFocus();
    for (const TLimitCase& c : cases) {
        SCOPED_TRACE(c.Input);
        Edit->SetText(c.BeforeText());
        Edit->SetMaxLength(c.MaxLength);
        if (c.SelectsAll())
            Edit->SelectAll();
        else
            Edit->SetSelStart(static_cast<int>(QString::fromUtf8(c.Before).toUcs4().size()));
        EnterText(Edit, c.By, c.Input);
        EXPECT_EQ(Edit->GetText(), c.After);
        EXPECT_EQ(WidgetText(), c.After);
    }
    EXPECT_EQ(beeps, 0);
    SetBeepHook(nullptr);

    // Text set by code is not limited, and a lower limit leaves it as it is.
    int changes = 0;
    Edit->OnChange = [&](TObject*) { ++changes; };
    Edit->SetText("😀😀😀😀😀😀x");
    EXPECT_EQ(WidgetText(), "😀😀😀😀😀😀x");
    Edit->SetMaxLength(2);
    EXPECT_EQ(Edit->GetText(), "😀😀😀😀😀😀x");
    EXPECT_EQ(WidgetText(), "😀😀😀😀😀😀x");
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(Edit->GetModified());
}

TEST(Platform, BeepHookAndClipboardText) {
    std::vector<unsigned> beeps;
    SetBeepHook([&](unsigned t) { beeps.push_back(t); });
    MessageBeep(0);
    SetBeepHook(nullptr);
    EXPECT_EQ(beeps, (std::vector<unsigned>{0}));
    Clipboard().SetAsText("one\r\ntwo");
    EXPECT_TRUE(Clipboard().HasFormat(CF_TEXT));
    EXPECT_EQ(QApplication::clipboard()->text(), "one\ntwo");
    EXPECT_EQ(Clipboard().GetAsText(), "one\r\ntwo");
    Clipboard().Clear();
    EXPECT_FALSE(Clipboard().HasFormat(CF_TEXT));
}

TEST_F(Keys, EnterAndExitFireWhenTheFocusMoves) {
    auto* other = Add<TEdit>(Form.get(), 10, 50, 100, 21);
    std::vector<std::string> events;
    Edit->OnEnter = [&](TObject*) { events.push_back("enter"); };
    Edit->OnExit = [&](TObject*) { events.push_back("exit"); };
    Edit->SetText("abc");
    Edit->SetFocus();
    EXPECT_EQ(Edit->GetSelLength(), 3); // AutoSelect
    other->SetFocus();
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "exit"}));
}

// ---- Guards ---------------------------------------------------------------

TEST_F(Shown, ExceptionsFromHandlersReachTheHookAndTheLoopGoesOn) {
    ExceptionCatcher caught;
    auto* button = Add<TButton>(Form.get(), 10, 10, 75, 25);
    int clicks = 0;
    button->OnClick = [&](TObject*) {
        if (++clicks == 1) throw EDatabaseError("connection refused");
    };
    Click(button);
    ASSERT_EQ(caught.Messages.size(), 1u);
    EXPECT_EQ(caught.Messages[0], "connection refused");
    EXPECT_EQ(caught.Senders[0], button);
    Click(button);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(caught.Messages.size(), 1u);

    // From a key handler, a check box, a timer and a plain std::exception alike.
    auto* edit = Add<TEdit>(Form.get(), 10, 50, 75, 21);
    edit->OnKeyPress = [](TObject*, TKeyChar&) { throw std::runtime_error("key"); };
    edit->SetFocus();
    QTest::keyClick(edit->GetHandle(), Qt::Key_A);
    EXPECT_EQ(edit->GetText(), "");
    auto* check = Add<TCheckBox>(Form.get(), 10, 80, 75, 17);
    check->SetCaption("Remember Settings");
    check->OnClick = [](TObject*) { throw Exception("check"); };
    Click(check);
    EXPECT_TRUE(check->GetChecked());
    auto* timer = new TTimer(Form.get());
    timer->SetInterval(1);
    timer->SetOnTimer([timer](TObject*) {
        timer->SetEnabled(false);
        throw Exception("tick");
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return caught.Messages.size() >= 4; }, 2000));
    EXPECT_EQ(caught.Messages, (std::vector<std::string>{"connection refused", "key", "check", "tick"}));
    EXPECT_EQ(caught.Senders[3], timer);
}

TEST(Timer, RunsOnlyWhenEnabledWithIntervalAndHandler) {
    TTimer t(nullptr);
    EXPECT_FALSE(t.IsRunning());
    int ticks = 0;
    t.SetOnTimer([&](TObject*) { ++ticks; });
    EXPECT_TRUE(t.IsRunning());
    t.SetInterval(0);
    EXPECT_FALSE(t.IsRunning());
    t.SetInterval(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 2000));
    EXPECT_GE(ticks, 2);
    t.SetEnabled(false);
    EXPECT_FALSE(t.IsRunning());
}

// ---- Hints ----------------------------------------------------------------

TEST_F(Shown, HintsShowOnlyWithShowHintAndPassOnShowHint) {
    auto* withHint = Add<TButton>(Form.get(), 10, 10, 75, 25);
    withHint->SetHint("Refreshes the active record only|long text");
    withHint->SetShowHint(true);
    auto* silent = Add<TButton>(Form.get(), 10, 50, 75, 25);
    silent->SetHint("not shown");
    Application->SetHintHidePause(6000);
    THintInfo seen;
    Application->OnShowHint = [&](AnsiString& HintStr, bool& CanShow, THintInfo& Info) {
        EXPECT_TRUE(CanShow);
        EXPECT_EQ(HintStr, "Refreshes the active record only");
        Info.HintMaxWidth = 60;
        seen = Info;
    };
    QPoint at = withHint->ClientToScreen(QPoint(5, 5));
    Application->ActivateHint(withHint, at);
    EXPECT_EQ(seen.HintControl, withHint);
    EXPECT_EQ(seen.HideTimeout, 6000);
    EXPECT_EQ(seen.CursorPos, QPoint(5, 5));
    // Wrapped at 60 pixels: several lines, none wider.
    AnsiString shown = Application->GetHintText();
    EXPECT_GT(std::count(shown.begin(), shown.end(), '\n'), 1) << shown;
    EXPECT_EQ(QToolTip::text().toStdString(), shown);

    Application->ActivateHint(silent, silent->ClientToScreen(QPoint(5, 5)));
    EXPECT_EQ(Application->GetHintText(), "");
    Application->OnShowHint = nullptr;
}

// Counts the notifications of a change of the 3-D look.
class TCtl3DPanel : public TPanel {
public:
    using TPanel::TPanel;
    int Changes = 0;

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_CTL3DCHANGED, CMCtl3DChanged)
    END_MESSAGE_MAP(TPanel)
    void CMCtl3DChanged(TMessage& M) {
        ++Changes;
        TPanel::Dispatch(M);
    }
};

TEST(ParentProperties, ChildrenFollowTheParentUntilSetThemselves) {
    TPanel p(nullptr);
    auto* child = new TButton(&p);
    child->SetParent(&p);
    p.SetShowHint(true);
    EXPECT_TRUE(child->GetShowHint());
    child->SetShowHint(false);
    EXPECT_FALSE(child->GetParentShowHint());
    p.SetShowHint(false);
    p.SetShowHint(true);
    EXPECT_FALSE(child->GetShowHint());

    auto* inner = new TCtl3DPanel(&p);
    inner->SetParent(&p);
    p.SetCtl3D(false);
    EXPECT_FALSE(inner->GetCtl3D());
    EXPECT_EQ(inner->Changes, 1);
    inner->SetCtl3D(true);
    p.SetCtl3D(true);
    p.SetCtl3D(false);
    EXPECT_TRUE(inner->GetCtl3D());
    EXPECT_EQ(inner->Changes, 2);

    p.GetFont()->SetName("DejaVu Serif");
    EXPECT_EQ(child->GetFont()->GetName(), "DejaVu Serif");
    EXPECT_TRUE(child->GetParentFont());
    child->GetFont()->SetHeight(-20);
    EXPECT_FALSE(child->GetParentFont());
    p.GetFont()->SetName("DejaVu Sans");
    EXPECT_EQ(child->GetFont()->GetName(), "DejaVu Serif");
}

// ---- Windows and messages -------------------------------------------------

// Counts window creation through the virtual steps.
class TCountingPanel : public TPanel {
public:
    using TPanel::TPanel;
    int Creates = 0, Destroys = 0;
    std::vector<std::uint32_t> Styles;

protected:
    void CreateParams(TCreateParams& P) override {
        TPanel::CreateParams(P);
        P.ExStyle |= WS_EX_CLIENTEDGE;
        Styles.push_back(P.ExStyle);
    }
    void CreateWnd() override {
        TPanel::CreateWnd();
        ++Creates;
    }
    void DestroyWnd() override {
        ++Destroys;
        TPanel::DestroyWnd();
    }
};

TEST_F(Shown, RecreateWndRunsTheVirtualStepsAndKeepsChildren) {
    auto* p = Add<TCountingPanel>(Form.get(), 0, 0, 100, 100);
    auto* b = Add<TSpeedButton>(p, 1, 1, 20, 20);
    b->SetCaption("x");
    EXPECT_EQ(p->Creates, 1);
    p->RecreateWnd();
    EXPECT_EQ(p->Creates, 2);
    EXPECT_EQ(p->Destroys, 1);
    ASSERT_NE(b->GetWidget(), nullptr);
    EXPECT_EQ(b->GetWidget()->parentWidget(), p->GetHandle());
    EXPECT_EQ(static_cast<QToolButton*>(b->GetWidget())->text(), "x");
    EXPECT_TRUE(p->Styles.back() & WS_EX_CLIENTEDGE);
    p->SetParent(nullptr); // leaving the parent takes the window away
    EXPECT_FALSE(p->HandleAllocated());
    EXPECT_EQ(b->GetWidget(), nullptr);
    p->SetParent(Form.get());
    EXPECT_TRUE(p->HandleAllocated());
    EXPECT_NE(b->GetWidget(), nullptr);
}

TEST(Alignment, EdgesInOrderThenClient) {
    TPanel host(nullptr);
    host.SetBevelOuter(bvNone);
    host.SetBorderWidth(2);
    host.SetBounds(0, 0, 200, 100);
    auto make = [&](TAlign a, int size) {
        auto* p = new TPanel(&host);
        p->SetBounds(0, 0, size, size);
        p->SetParent(&host);
        p->SetAlign(a);
        return p;
    };
    TPanel* top = make(alTop, 10);
    TPanel* client = make(alClient, 1);
    TPanel* left = make(alLeft, 20);
    TPanel* bottom = make(alBottom, 5);
    EXPECT_EQ(top->GetBoundsRect(), QRect(2, 2, 196, 10));
    EXPECT_EQ(bottom->GetBoundsRect(), QRect(2, 93, 196, 5));
    EXPECT_EQ(left->GetBoundsRect(), QRect(2, 12, 20, 81));
    EXPECT_EQ(client->GetBoundsRect(), QRect(22, 12, 176, 81));
    top->SetVisible(false); // hidden controls give their room away
    EXPECT_EQ(client->GetBoundsRect(), QRect(22, 2, 176, 91));
    host.SetHeight(50);
    EXPECT_EQ(client->GetBoundsRect(), QRect(22, 2, 176, 41));
}

// A panel that notes the sizes its window reports.
class TSizedPanel : public TPanel {
public:
    using TPanel::TPanel;
    std::vector<LPARAM> Sizes;

protected:
    void Dispatch(TMessage& Message) override {
        if (Message.Msg == WM_SIZE) Sizes.push_back(Message.LParam);
        TPanel::Dispatch(Message);
    }
};

TEST_F(Shown, APanelsSingleBorderLiesOutsideItsClientArea) {
    struct Case {
        TBorderStyle Border;
        bool Ctl3D;
        int Edge;
    };
    for (const Case& c : {Case{bsNone, true, 0}, Case{bsSingle, true, 2}, Case{bsSingle, false, 1}}) {
        auto* p = new TSizedPanel(Form.get());
        p->SetCtl3D(c.Ctl3D);
        p->SetBorderStyle(c.Border);
        p->SetBevelOuter(bvNone);
        p->SetBounds(0, 0, 100, 40);
        auto* child = new TPanel(Form.get());
        child->SetParent(p);
        child->SetBounds(0, 0, 10, 10);
        auto* filled = new TPanel(Form.get());
        filled->SetParent(p);
        filled->SetAlign(alClient);
        p->SetParent(Form.get()); // the window comes with the size of its client area
        ASSERT_FALSE(p->Sizes.empty());
        EXPECT_EQ(p->Sizes.front(), MakeLParam(100 - 2 * c.Edge, 40 - 2 * c.Edge));
        EXPECT_EQ(p->GetClientWidth(), 100 - 2 * c.Edge);
        EXPECT_EQ(p->GetClientHeight(), 40 - 2 * c.Edge);
        EXPECT_EQ(child->GetWidget()->geometry(), QRect(c.Edge, c.Edge, 10, 10));
        EXPECT_EQ(filled->GetBoundsRect(), QRect(0, 0, 100 - 2 * c.Edge, 40 - 2 * c.Edge));
        if (c.Border == bsSingle) { // switching the look moves the children along
            p->SetCtl3D(!c.Ctl3D);
            int edge = c.Ctl3D ? 1 : 2;
            EXPECT_EQ(child->GetWidget()->geometry(), QRect(edge, edge, 10, 10));
            EXPECT_EQ(filled->GetWidth(), 100 - 2 * edge);
        }
    }
}

TEST(Names, CaptionFollowsTheNameOnlyWhileEqual) {
    TPanel p(nullptr);
    p.SetName("Panel1");
    EXPECT_EQ(p.GetCaption(), "Panel1");
    p.SetName("Panel2");
    EXPECT_EQ(p.GetCaption(), "Panel2");
    p.SetCaption("Other");
    p.SetName("Panel3");
    EXPECT_EQ(p.GetCaption(), "Other");
    TEdit e(nullptr); // edits keep their text
    e.SetName("Edit1");
    EXPECT_EQ(e.GetText(), "");
}

} // namespace
