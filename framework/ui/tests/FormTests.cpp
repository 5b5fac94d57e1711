// Forms read from text, layout, windows on demand, modal showing.
#include "Buttons.h"
#include "ExtCtrls.h"
#include "Place.h"
#include "StdCtrls.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

class TTestForm : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TTestForm>& P) {
        P.Field("PnlMain", &TTestForm::PnlMain);
        P.Field("PnlRight", &TTestForm::PnlRight);
        P.Field("PnlBottom", &TTestForm::PnlBottom);
        P.Field("BtnOpen", &TTestForm::BtnOpen);
        P.Field("TxtSearch", &TTestForm::TxtSearch);
        P.Field("EdtSearch", &TTestForm::EdtSearch);
        P.Field("ChkRemember", &TTestForm::ChkRemember);
        P.Field("Tmr", &TTestForm::Tmr);
        P.Method("BtnOpenClick", &TTestForm::BtnOpenClick);
        P.Method("EdtSearchChange", &TTestForm::EdtSearchChange);
        P.Method("FormCreate", &TTestForm::FormCreate);
    }
    explicit TTestForm(TComponent* Owner) : TForm(Owner) { InitForm(ClassInfo()); }

    void BtnOpenClick(TObject* Sender) { Clicks.push_back(Sender); }
    void EdtSearchChange(TObject*) { ++Changes; }
    void FormCreate(TObject*) { Created = PnlMain != nullptr; }

    TPanel* PnlMain = nullptr;
    TPanel* PnlRight = nullptr;
    TPanel* PnlBottom = nullptr;
    TSpeedButton* BtnOpen = nullptr;
    TStaticText* TxtSearch = nullptr;
    TEdit* EdtSearch = nullptr;
    TCheckBox* ChkRemember = nullptr;
    TTimer* Tmr = nullptr;
    std::vector<TObject*> Clicks;
    int Changes = 0;
    bool Created = false;
};

KV_PUBLISHED_METACLASS(TTestForm, &TForm::ClassInfo())

KV_FORM_RESOURCE(TTESTFORM, R"(object TestForm: TTestForm
  Left = 10
  Top = 20
  Caption = 'Test window'
  ClientWidth = 400
  ClientHeight = 300
  Constraints.MinWidth = 200
  Font.Name = 'DejaVu Sans'
  Font.Height = -11
  OnCreate = FormCreate
  object Tmr: TTimer
    Enabled = False
    Interval = 10
  end
  object PnlMain: TPanel
    Align = alClient
    BevelInner = bvLowered
    BevelOuter = bvNone
    object PnlRight: TPanel
      Left = 300
      Top = 1
      Width = 99
      Height = 100
      Anchors = [akTop, akRight]
      BevelOuter = bvNone
      object BtnOpen: TSpeedButton
        Left = 5
        Top = 5
        Width = 89
        Height = 27
        Caption = 'Open'
        Hint = 'Opens it|and more'
        ShowHint = True
        OnClick = BtnOpenClick
      end
    end
    object PnlBottom: TPanel
      Left = 1
      Top = 250
      Width = 398
      Height = 49
      Anchors = [akLeft, akRight, akBottom]
      object TxtSearch: TStaticText
        Left = 12
        Top = 16
        Width = 42
        Height = 17
        AutoSize = False
        Caption = '&Search :'
        TabOrder = 2
        FocusControl = EdtSearch
      end
      object EdtSearch: TEdit
        Left = 56
        Top = 14
        Width = 228
        Height = 21
        TabOrder = 1
        OnChange = EdtSearchChange
      end
      object ChkRemember: TCheckBox
        Left = 290
        Top = 14
        Width = 100
        Height = 17
        Caption = 'Remember'
        TabOrder = 0
      end
    end
  end
end
)")

struct FormTest : ::testing::Test {
    std::unique_ptr<TTestForm> Form = std::make_unique<TTestForm>(nullptr);
};

TEST_F(FormTest, ReadFromTextWithFieldsHandlersAndParents) {
    TTestForm& f = *Form;
    EXPECT_EQ(f.GetName(), "TestForm");
    EXPECT_EQ(f.GetCaption(), "Test window");
    EXPECT_TRUE(f.Created); // OnCreate after the fields were filled
    EXPECT_EQ(f.GetClientWidth(), 400);
    EXPECT_EQ(f.GetWidth(), 408); // sizeable frame: 4 pixels a side, caption 19
    EXPECT_EQ(f.GetHeight(), 327);
    EXPECT_EQ(f.BtnOpen->GetParent(), f.PnlRight);
    EXPECT_EQ(f.PnlRight->GetParent(), f.PnlMain);
    EXPECT_EQ(f.BtnOpen->GetOwner(), Form.get());
    EXPECT_EQ(f.TxtSearch->GetFocusControl(), f.EdtSearch);
    EXPECT_EQ(f.EdtSearch->GetFont()->GetName(), "DejaVu Sans"); // parent font inherited
    EXPECT_FALSE(f.Tmr->GetEnabled());
    // Tab order read from text: the check box before the edit.
    auto tabs = f.PnlBottom->GetTabOrderList();
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ(tabs[0], f.ChkRemember);
    EXPECT_EQ(tabs[2], f.TxtSearch);
    EXPECT_EQ(f.EdtSearch->GetTabOrder(), 1);
    // The panel fills the client area; aligned children share it less the inner bevel.
    EXPECT_EQ(f.PnlMain->GetBoundsRect(), QRect(0, 0, 400, 300));
    // No window exists before the form is shown.
    EXPECT_FALSE(f.HandleAllocated());
    EXPECT_FALSE(f.EdtSearch->HandleAllocated());
    EXPECT_EQ(f.BtnOpen->GetWidget(), nullptr);
}

TEST_F(FormTest, AnchorsFollowTheParentAndConstraintsHold) {
    TTestForm& f = *Form;
    f.SetClientWidth(500);
    f.SetClientHeight(350);
    EXPECT_EQ(f.PnlMain->GetBoundsRect(), QRect(0, 0, 500, 350));
    EXPECT_EQ(f.PnlRight->GetBoundsRect(), QRect(400, 1, 99, 100));  // right edge kept
    EXPECT_EQ(f.PnlBottom->GetBoundsRect(), QRect(1, 300, 498, 49)); // grows, bottom kept
    EXPECT_EQ(f.BtnOpen->GetBoundsRect(), QRect(5, 5, 89, 27));      // not anchored to a moving side
    f.SetWidth(50);
    EXPECT_EQ(f.GetWidth(), 200); // MinWidth
    f.SetClientWidth(400);
    EXPECT_EQ(f.PnlRight->GetLeft(), 300); // back where the text put it
}

TEST_F(FormTest, WindowsAreMadeOnDemandAndRecreatedWithTheirState) {
    TTestForm& f = *Form;
    f.EdtSearch->SetText("abc");
    f.Show();
    ASSERT_TRUE(f.HandleAllocated());
    ASSERT_TRUE(f.EdtSearch->HandleAllocated());
    auto* edit = qobject_cast<QLineEdit*>(f.EdtSearch->GetHandle());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "abc");
    EXPECT_EQ(edit->geometry(), QRect(56, 14, 228, 21));
    EXPECT_EQ(f.GetWidget()->size(), QSize(400, 300));

    f.PnlBottom->RecreateWnd();
    ASSERT_TRUE(f.EdtSearch->HandleAllocated());
    EXPECT_NE(f.EdtSearch->GetHandle(), nullptr);
    EXPECT_EQ(qobject_cast<QLineEdit*>(f.EdtSearch->GetHandle())->text(), "abc");
    EXPECT_EQ(f.EdtSearch->GetHandle()->parentWidget(), f.PnlBottom->GetHandle());

    // A control without parent has no window to live in.
    TEdit orphan(nullptr);
    EXPECT_THROW(orphan.HandleNeeded(), EInvalidOperation);
    // Placed in a parent with a window, a control gets one at once.
    auto* late = new TEdit(Form.get());
    late->SetParent(f.PnlBottom);
    EXPECT_TRUE(late->HandleAllocated());
    f.Hide();
}

TEST_F(FormTest, WrittenBackAndReadAgainGivesTheSameText) {
    AnsiString text = WriteComponentToText(Form.get(), TTestForm::ClassInfo());
    EXPECT_NE(text.find("object TestForm: TTestForm"), AnsiString::npos);
    EXPECT_NE(text.find("  ClientWidth = 400"), AnsiString::npos);
    EXPECT_EQ(text.find("\n  Width ="), AnsiString::npos) << text;
    EXPECT_NE(text.find("  object Tmr: TTimer\r\n    Enabled = False"), AnsiString::npos);
    EXPECT_NE(text.find("        OnClick = BtnOpenClick"), AnsiString::npos);
    EXPECT_NE(text.find("        FocusControl = EdtSearch"), AnsiString::npos);
    EXPECT_NE(text.find("Anchors = [akLeft, akRight, akBottom]"), AnsiString::npos);

    static AnsiString saved;
    saved = text;
    RegisterFormResource("TTESTFORM", saved.c_str());
    TTestForm again(nullptr);
    EXPECT_EQ(WriteComponentToText(&again, TTestForm::ClassInfo()), text);
}

TEST_F(FormTest, UnknownClassOrPropertyStopsTheForm) {
    struct Case {
        const char* Text;
        const char* Expected;
    };
    const Case cases[] = {
        {"object F: TForm\n  object P: TPanl\n  end\nend", "Class TPanl not found on line 2"},
        {"object F: TForm\n  object P: TPanel\n    Algn = alClient\n  end\nend",
         "P.Algn on line 3: Property Algn does not exist"},
        {"object F: TForm\n  object P: TPanel\n    Align = alMiddle\n  end\nend", "unknown value alMiddle"},
        {"object F: TForm\n  object T: TTimer\n    object B: TButton\n    end\n  end\nend",
         "cannot be placed in TTimer"},
    };
    for (const Case& c : cases) {
        TForm f(nullptr);
        try {
            ReadComponentFromText(c.Text, &f, TForm::ClassInfo());
            ADD_FAILURE() << c.Text;
        } catch (const EReadError& e) {
            EXPECT_NE(e.Message().find(c.Expected), AnsiString::npos) << e.Message();
        }
        EXPECT_EQ(f.GetComponentCount(), 0);
        EXPECT_EQ(f.GetControlCount(), 0);
    }
}

// ---- Modal dialogs --------------------------------------------------------

class TDialog : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TDialog>& P) {
        P.Field("Edt", &TDialog::Edt);
        P.Field("BtnOK", &TDialog::BtnOK);
        P.Field("BtnCancel", &TDialog::BtnCancel);
        P.Method("BtnOKClick", &TDialog::BtnOKClick);
    }
    explicit TDialog(TComponent* Owner) : TForm(Owner) { InitForm(ClassInfo()); }
    void BtnOKClick(TObject*) {
        // The handler runs before the dialog closes, with the result already set.
        SeenResult = GetModalResult();
        StillVisible = GetVisible();
        if (RefuseOnce) {
            RefuseOnce = false;
            SetModalResult(mrNone);
        }
    }
    TEdit* Edt = nullptr;
    TButton* BtnOK = nullptr;
    TButton* BtnCancel = nullptr;
    int SeenResult = -1;
    bool StillVisible = false;
    bool RefuseOnce = false;
};

KV_PUBLISHED_METACLASS(TDialog, &TForm::ClassInfo())

KV_FORM_RESOURCE(TDIALOG, R"(object Dialog: TDialog
  BorderStyle = bsDialog
  BorderIcons = [biSystemMenu, biHelp]
  Caption = 'Database Settings'
  ClientWidth = 281
  ClientHeight = 195
  Position = poScreenCenter
  object Edt: TEdit
    Left = 80
    Top = 16
    Width = 185
    Height = 21
    PasswordChar = '*'
    TabOrder = 0
  end
  object BtnOK: TButton
    Left = 58
    Top = 150
    Caption = 'OK'
    Default = True
    ModalResult = 1
    TabOrder = 1
    OnClick = BtnOKClick
  end
  object BtnCancel: TButton
    Left = 146
    Top = 150
    Caption = 'Cancel'
    Cancel = True
    ModalResult = mrCancel
    TabOrder = 2
  end
end
)")

// Runs Action once the modal loop of Dialog is going.
void WhenModal(TDialog& Dialog, std::function<void()> Action) {
    QTimer::singleShot(0, [&Dialog, Action] {
        if (!Dialog.IsModal()) return;
        Action();
    });
}

TEST(ModalDialog, ButtonsKeysAndTheCloseBoxGiveTheirResults) {
    TDialog d(nullptr);
    EXPECT_EQ(d.GetWidth(), 281 + 6); // dialog frame: 3 pixels a side
    EXPECT_EQ(qobject_cast<QLineEdit*>(d.Edt->GetHandle())->echoMode(), QLineEdit::Password);

    WhenModal(d, [&] { QTest::mouseClick(d.BtnOK->GetHandle(), Qt::LeftButton); });
    EXPECT_EQ(d.ShowModal(), mrOk);
    EXPECT_EQ(d.SeenResult, mrOk);
    EXPECT_TRUE(d.StillVisible);
    EXPECT_FALSE(d.GetVisible());

    // A handler may keep the dialog open by clearing the result.
    d.RefuseOnce = true;
    WhenModal(d, [&] {
        QTest::mouseClick(d.BtnOK->GetHandle(), Qt::LeftButton);
        EXPECT_TRUE(d.GetVisible());
        QTest::mouseClick(d.BtnCancel->GetHandle(), Qt::LeftButton);
    });
    EXPECT_EQ(d.ShowModal(), mrCancel);

    // Return in the edit clicks the default button, Escape the cancel button.
    WhenModal(d, [&] {
        d.Edt->SetFocus();
        QTest::keyClick(d.Edt->GetHandle(), Qt::Key_Return);
    });
    EXPECT_EQ(d.ShowModal(), mrOk);
    WhenModal(d, [&] { QTest::keyClick(d.Edt->GetHandle(), Qt::Key_Escape); });
    EXPECT_EQ(d.ShowModal(), mrCancel);

    // The close box cancels; OnCloseQuery may refuse.
    int asked = 0;
    d.OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++asked > 1; };
    WhenModal(d, [&] {
        d.GetHandle()->close();
        QTimer::singleShot(0, [&] { d.GetHandle()->close(); });
    });
    EXPECT_EQ(d.ShowModal(), mrCancel);
    EXPECT_EQ(asked, 2);
    EXPECT_THROW(
        {
            d.Show();
            d.ShowModal();
        },
        EInvalidOperation);
    d.Hide();
}

TEST(ModalDialog, ScreenCentreAndOnShowOnClose) {
    TDialog d(nullptr);
    std::vector<std::string> events;
    d.OnShow = [&](TObject*) { events.push_back("show"); };
    d.OnClose = [&](TObject*, TCloseAction& a) {
        events.push_back("close");
        EXPECT_EQ(a, caHide);
    };
    WhenModal(d, [&] { d.Close(); });
    EXPECT_EQ(d.ShowModal(), mrCancel);
    EXPECT_EQ(events, (std::vector<std::string>{"show", "close"}));
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(d.GetLeft(), screen.left() + (screen.width() - d.GetWidth()) / 2);
}

} // namespace

namespace {

class TShownAtOnce : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TShownAtOnce>& P) { P.Method("FormCreate", &TShownAtOnce::FormCreate); }
    explicit TShownAtOnce(TComponent* Owner) : TForm(Owner) { InitForm(ClassInfo()); }
    void FormCreate(TObject*) { VisibleInCreate = GetVisible(); }
    bool VisibleInCreate = true;
};
KV_PUBLISHED_METACLASS(TShownAtOnce, &TForm::ClassInfo())
KV_FORM_RESOURCE(TSHOWNATONCE, "object S: TShownAtOnce\n  Visible = True\n  OnCreate = FormCreate\nend\n")

// A dialog key the focused control does not claim goes to the form first, as
// on the platform; the control's KeyDown sees only what the form leaves.
TEST(DialogKeys, TheFormIsAskedBeforeTheControlThatDoesNotClaimTheKey) {
    TForm form(nullptr);
    form.SetBounds(100, 100, 300, 200);
    auto* edit = Place<TEdit>(&form, 10, 10, 100, 21);
    auto* memo = Place<TMemo>(&form, 10, 40, 100, 60);
    auto* ok = Place<TButton>(&form, 10, 110, 75, 25);
    ok->SetDefault(true);
    auto* cancel = Place<TButton>(&form, 100, 110, 75, 25);
    cancel->SetCancel(true);
    std::vector<std::string> seen;
    ok->OnClick = [&](TObject*) { seen.push_back("ok"); };
    cancel->OnClick = [&](TObject*) { seen.push_back("cancel"); };
    auto note = [&](const char* Who) {
        return [&seen, Who](TObject*, Word& Key, TShiftState) { seen.push_back(Who + std::to_string(Key)); };
    };
    edit->OnKeyDown = note("edit ");
    memo->OnKeyDown = note("memo ");
    form.Show();
    QApplication::setActiveWindow(form.GetHandle());
    auto press = [](TWinControl* C, Qt::Key K) {
        C->SetFocus();
        QTest::keyClick(C->GetHandle(), K);
    };

    // The edit wants neither Return, Escape nor Tab: the buttons and the focus move take them.
    press(edit, Qt::Key_Return);
    press(edit, Qt::Key_Escape);
    press(edit, Qt::Key_Tab);
    EXPECT_EQ(seen, (std::vector<std::string>{"ok", "cancel"}));
    EXPECT_FALSE(edit->Focused());
    // The memo wants them all.
    seen.clear();
    press(memo, Qt::Key_Return);
    press(memo, Qt::Key_Escape);
    EXPECT_EQ(seen, (std::vector<std::string>{"memo 13", "memo 27"}));
    // Keys that are no dialog keys, and dialog keys nobody on the form takes, reach the control.
    seen.clear();
    ok->SetDefault(false);
    press(edit, Qt::Key_Return);
    press(edit, Qt::Key_Delete);
    EXPECT_EQ(seen, (std::vector<std::string>{"edit 13", "edit 46"}));
    // A control may claim a key through CM_WANTSPECIALKEY.
    ok->SetDefault(true);
    seen.clear();
    auto original = edit->WindowProc;
    edit->WindowProc = [&](TMessage& M) {
        original(M);
        if (M.Msg == CM_WANTSPECIALKEY && M.WParam == VK_RETURN) M.Result = 1;
    };
    press(edit, Qt::Key_Return);
    press(edit, Qt::Key_Escape);
    EXPECT_EQ(seen, (std::vector<std::string>{"edit 13", "cancel"}));
    edit->WindowProc = original;
    form.Hide();
}

TEST(FormVisibleInText, ShowsTheFormAfterOnCreate) {
    TShownAtOnce f(nullptr);
    EXPECT_FALSE(f.VisibleInCreate);
    EXPECT_TRUE(f.GetVisible());
    ASSERT_TRUE(f.HandleAllocated());
    EXPECT_TRUE(f.GetHandle()->isVisible());
    f.Hide();
    EXPECT_FALSE(f.GetHandle()->isVisible());
}

} // namespace
