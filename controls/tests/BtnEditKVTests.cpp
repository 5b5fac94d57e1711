// The button edit: layout, the button's keys and events, forwarding, names,
// form text.
#include "BtnEditKV.h"
#include "FormReader.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QUrl>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

// Reaches the protected parts of the button edit.
class TProbeBtnEdit : public TBtnEditKV {
public:
    using TBtnEditKV::TBtnEditKV;
    using TCustomBtnEditKV::KeyDownEdt;
    using TCustomBtnEditKV::OnBtnMouseDown;
    using TCustomBtnEditKV::OnBtnMouseMove;
    using TCustomBtnEditKV::OnBtnMouseUp;
    TSpeedButton* Button() const { return FButton; }
    TEditKV* Edit() const { return FEdit; }
};

struct BtnEdit : ::testing::Test {
    BtnEdit() {
        Form->SetBounds(0, 0, 400, 300);
        B->SetParent(Form.get());
        B->SetBounds(10, 10, 121, B->GetHeight());
        Other->SetParent(Form.get());
        Other->SetBounds(10, 150, 100, 21);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        B->OnBtnClick = [this](TObject* Sender) {
            EXPECT_EQ(Sender, B);
            ++Clicks;
        };
    }
    ~BtnEdit() override { Form->Hide(); }
    QWidget* EditWidget() { return B->Edit()->GetHandle(); }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TProbeBtnEdit* B = new TProbeBtnEdit(Form.get());
    TEdit* Other = new TEdit(Form.get());
    int Clicks = 0;
};

TEST_F(BtnEdit, ButtonGluedToTheRightEdgeAndTheEditBesideIt) {
    EXPECT_EQ(B->GetHeight(), 21);
    int cw = B->GetClientWidth(), ch = B->GetClientHeight();
    EXPECT_EQ(cw, 121 - 4); // inside the sunken edge
    EXPECT_EQ(ch, 21 - 4);
    EXPECT_EQ(B->Button()->GetBoundsRect(), QRect(cw - 19, 0, 19, ch));
    EXPECT_EQ(B->Edit()->GetBoundsRect(), QRect(1, 1, cw - 19 - 2, ch - 2));
    // In the window: the button ends where the border begins.
    QRect button = B->Button()->GetWidget()->geometry();
    EXPECT_EQ(button.right(), 121 - 1 - 2);
    EXPECT_EQ(button.top(), 2);
    B->SetBtnWidth(30);
    EXPECT_EQ(B->Button()->GetLeft(), cw - 30);
    EXPECT_EQ(B->Edit()->GetWidth(), cw - 19 - 2 - 11);
    B->SetWidth(200);
    EXPECT_EQ(B->Button()->GetLeft(), 200 - 4 - 30);
    EXPECT_EQ(B->Button()->GetHeight(), ch);
    // The inner edit: single-line, no border of its own, no wrapping.
    EXPECT_FALSE(B->Edit()->GetMultiLine());
    EXPECT_EQ(B->Edit()->GetBorderStyle(), bsNone);
    EXPECT_EQ(B->Edit()->GetClientWidth(), B->Edit()->GetWidth());
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(EditWidget())->lineWrapMode(), QPlainTextEdit::NoWrap);
}

TEST(BtnEditLayout, WaitsForTheWindow) {
    TBtnEditKV b(nullptr);
    b.SetBtnWidth(25);
    b.SetWidth(150); // no window: no layout
    TForm form(nullptr);
    auto* later = new TBtnEditKV(&form);
    later->SetWidth(150);
    TControl* button = later->GetControl(0);
    EXPECT_EQ(button->GetLeft(), 0);
    later->SetParent(&form);
    form.Show(); // the window's first size lays it out
    EXPECT_EQ(button->GetLeft(), later->GetClientWidth() - 19);
    form.Hide();
}

TEST_F(BtnEdit, AltUpAndDownClickTheButton) {
    B->SetFocus();
    EXPECT_TRUE(B->Edit()->Focused());
    QTest::keyClick(EditWidget(), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(EditWidget(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Clicks, 2);
    QTest::keyClick(EditWidget(), Qt::Key_Down);
    EXPECT_EQ(Clicks, 2);

    // What the edit gets of each key.
    struct Case {
        Word Key;
        TShiftState Shift;
        bool HotKey;
        bool EatKey; // the user's OnKeyDown sets the key to 0
        int Clicks;
        Word KeyAfter;
    };
    for (const Case& c :
         {Case{VK_DOWN, {ssAlt}, true, false, 1, 0}, Case{VK_UP, {ssAlt, ssShift}, true, false, 1, 0},
          Case{VK_DOWN, {ssAlt}, false, false, 0, VK_DOWN}, Case{VK_DOWN, {}, true, false, 0, VK_DOWN},
          Case{VK_LEFT, {ssAlt}, true, false, 0, VK_LEFT}, Case{VK_DOWN, {ssAlt}, true, true, 0, 0}}) {
        Clicks = 0;
        B->SetBtnHotKey(c.HotKey);
        TObject* sender = nullptr;
        B->OnKeyDown = [&](TObject* Sender, Word& Key, TShiftState) {
            sender = Sender;
            if (c.EatKey) Key = 0;
        };
        Word key = c.Key;
        B->KeyDownEdt(B->Edit(), key, c.Shift);
        EXPECT_EQ(sender, B);
        EXPECT_EQ(Clicks, c.Clicks) << c.Key;
        EXPECT_EQ(key, c.KeyAfter) << c.Key;
    }
}

TEST_F(BtnEdit, TheKeyClickWorksOnADisabledButton) {
    B->SetBtnEnabled(false);
    B->SetFocus();
    QTest::keyClick(EditWidget(), Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(Clicks, 1);
    QTest::mouseClick(B->Button()->GetWidget(), Qt::LeftButton); // the mouse cannot
    EXPECT_EQ(Clicks, 1);
    B->SetBtnEnabled(true);
    QTest::mouseClick(B->Button()->GetWidget(), Qt::LeftButton);
    EXPECT_EQ(Clicks, 2);
}

TEST_F(BtnEdit, EnablingEnablesTheButtonToo) {
    B->SetBtnEnabled(false);
    B->SetEnabled(false);
    EXPECT_FALSE(B->Edit()->GetEnabled());
    B->SetEnabled(true);
    EXPECT_TRUE(B->Edit()->GetEnabled());
    EXPECT_TRUE(B->GetBtnEnabled());
    EXPECT_TRUE(B->Button()->GetWidget()->isEnabled());
}

TEST_F(BtnEdit, ButtonMouseEventsComeFromTheButtonEdit) {
    std::vector<std::string> seen;
    B->OnBtnMouseDown = [&](TObject* S, TMouseButton, TShiftState, int X, int Y) {
        EXPECT_EQ(S, B);
        seen.push_back("down " + std::to_string(X) + "," + std::to_string(Y));
    };
    B->OnBtnMouseUp = [&](TObject* S, TMouseButton, TShiftState, int, int) {
        EXPECT_EQ(S, B);
        seen.push_back("up");
    };
    B->OnBtnMouseMove = [&](TObject* S, TShiftState, int, int) {
        EXPECT_EQ(S, B);
        seen.push_back("move");
    };
    QWidget* w = B->Button()->GetWidget();
    QTest::mouseMove(w, QPoint(4, 6));
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(5, 7));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2], "down 5,7"); // in the button's coordinates
    EXPECT_EQ(seen.back(), "up");
    EXPECT_EQ(Clicks, 1);
}

TEST_F(BtnEdit, FocusGoesToTheEdit) {
    Other->SetFocus();
    int enters = 0;
    B->SetOnEnter([&](TObject* S) {
        EXPECT_EQ(S, B->Edit());
        ++enters;
    });
    B->SetFocus();
    EXPECT_TRUE(B->Edit()->Focused());
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(Form->GetActiveControl(), B->Edit());
    QTest::keyClicks(EditWidget(), "typed");
    EXPECT_EQ(B->GetText(), "typed");
}

TEST_F(BtnEdit, PropertiesReachTheEditAndTheButton) {
    int changes = 0;
    B->SetOnChange([&](TObject*) { ++changes; });
    B->SetText("abc");
    EXPECT_EQ(B->Edit()->GetText(), "abc");
    EXPECT_EQ(changes, 1);
    B->SetValidData({vdNumeric});
    B->SetFocus();
    QTest::keyClicks(EditWidget(), "x1");
    EXPECT_EQ(B->GetText(), "1"); // AutoSelect took "abc" on entering
    B->SetPasswordChar('*');
    EXPECT_EQ(B->Edit()->GetPasswordChar(), '*');
    B->SetMarginLeft(3);
    EXPECT_EQ(B->Edit()->GetMarginLeft(), 3);
    B->SetReadOnly(true);
    EXPECT_TRUE(B->Edit()->GetReadOnly());
    B->SetTabStopOf(false);
    EXPECT_FALSE(B->Edit()->GetTabStop());

    TFont big;
    big.SetHeight(-20);
    B->SetFontOf(&big);
    EXPECT_EQ(B->Edit()->GetFont()->GetHeight(), -20);
    EXPECT_EQ(B->Button()->GetFont()->GetHeight(), -20);
    B->SetParentFontOf(true);
    EXPECT_TRUE(B->Edit()->GetParentFont());
    EXPECT_TRUE(B->Button()->GetParentFont());
    B->SetColorOf(clYellow);
    EXPECT_EQ(B->Edit()->GetColor(), clYellow);
    B->SetCursorOf(crHandPoint);
    EXPECT_EQ(B->Button()->GetCursor(), crHandPoint);
    B->SetDragMode(dmAutomatic);
    EXPECT_EQ(B->Edit()->GetDragMode(), dmAutomatic);
    // ShowHint and Hint concern the panel, not the button.
    B->SetShowHint(true);
    B->SetHint("panel");
    EXPECT_EQ(B->GetBtnHint(), "");
}

TEST_F(BtnEdit, DroppedFilesAreTheButtonEditsEvent) {
    TObject* sender = nullptr;
    B->OnDropFiles = [&](TObject* S) { sender = S; };
    B->SetAcceptDropFiles(true);
    EXPECT_TRUE(DropOnControl(B->Edit(), {QUrl::fromLocalFile("/tmp/f.txt")}));
    EXPECT_EQ(sender, B);
    ASSERT_NE(B->GetDropFilesList(), nullptr);
    EXPECT_EQ(B->GetDropFilesList()->Get(0), "/tmp/f.txt");
}

TEST(BtnEditName, TextFollowsTheNameWhileEqual) {
    TForm form(nullptr);
    auto* b = new TBtnEditKV(&form);
    b->SetName("BtnEdit1");
    EXPECT_EQ(b->GetText(), "BtnEdit1");
    b->SetName("Search");
    EXPECT_EQ(b->GetText(), "Search");
    EXPECT_EQ(b->GetCaption(), ""); // the panel's caption stays
    b->SetText("typed");
    b->SetName("Other");
    EXPECT_EQ(b->GetText(), "typed");
    // While the owning form is read the text never follows.
    auto* c = new TBtnEditKV(nullptr);
    c->SetName("X");
    TForm loading(nullptr);
    loading.InsertComponent(c);
    loading.SetLoading(true);
    c->SetName("Y");
    EXPECT_EQ(c->GetText(), "X");
    loading.SetLoading(false);
}

class TBtnForm : public TForm {
public:
    KV_METACLASS_DECL
    using TForm::TForm;
};
KV_METACLASS(TBtnForm, &TForm::ClassInfo())

TEST(BtnEditFormText, StoresTheButtonWidthAlwaysAndReadsBack) {
    Btneditkv::Register();
    TBtnForm form(nullptr);
    auto* b = new TBtnEditKV(&form);
    b->SetName("Btn");
    b->SetParent(&form);
    b->SetText("hello");
    b->SetMaxLength(9);
    AnsiString text = WriteComponentToText(&form, TBtnForm::ClassInfo());
    for (const char* want : {"BtnWidth = 19", "Text = 'hello'", "MaxLength = 9", "Height = 21"})
        EXPECT_NE(text.find(want), AnsiString::npos) << want << "\n" << text;
    for (const char* never :
         {"BorderStyle", "Color", "BevelOuter", "TabStop", "BtnHotKey", "Ctl3D", "ParentCtl3D"})
        EXPECT_EQ(text.find(never), AnsiString::npos) << never << "\n" << text;

    TBtnForm back(nullptr);
    ReadComponentFromText(text + "", &back, TBtnForm::ClassInfo());
    auto* r = dynamic_cast<TBtnEditKV*>(back.FindComponent("Btn"));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetText(), "hello");
    EXPECT_EQ(r->GetMaxLength(), 9);
    back.Show();
    TControl* button = r->GetControl(0);
    EXPECT_EQ(button->GetLeft(), r->GetClientWidth() - 19);
    back.Hide();
    auto palette = GetPaletteClasses("KV");
    EXPECT_NE(std::find(palette.begin(), palette.end(), &TBtnEditKV::ClassInfo()), palette.end());
}

} // namespace
