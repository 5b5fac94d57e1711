// The data navigator over the in-memory test dataset, clicked through Qt.
#include "DBCtrls.h"
#include "Dialogs.h"
#include "MemDataSet.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

struct NavigatorTest : ::testing::Test {
    NavigatorTest() {
        Table.AddRows(1, 3);
        DS = new TMemDataSet(&Form, Table, Log);
        DS->Logging = false;
        Source = new TDataSource(&Form);
        Source->SetDataSet(DS);
        Nav = new TDBNavigator(&Form);
        Nav->SetParent(&Form);
        Nav->SetBounds(10, 10, 290, 27);
        Nav->SetDataSource(Source);
        Form.SetBounds(0, 0, 400, 100);
        Form.Show();
    }
    ~NavigatorTest() override {
        SetMessageDlgHook(nullptr);
        Form.Hide();
    }
    // The enabled buttons in order: First Prior Next Last Insert Delete Edit Post Cancel Refresh.
    std::string Enabled() const {
        const char letters[] = "FPNLIDEPCR";
        std::string s;
        for (int i = 0; i < 10; ++i)
            s += Nav->GetButton(static_cast<TNavigateBtn>(i))->GetEnabled() ? letters[i] : '-';
        return s;
    }
    void Click(TNavigateBtn B) { QTest::mouseClick(Nav->GetButton(B)->GetWidget(), Qt::LeftButton); }
    int Key() { return DS->FieldByName("ID")->GetAsInteger(); }

    TEventLog Log;
    TMemTable Table{{{"ID", ftInteger, 0, true}, {"NAME", ftString, 10}}};
    TForm Form{nullptr};
    TMemDataSet* DS = nullptr;
    TDataSource* Source = nullptr;
    TDBNavigator* Nav = nullptr;
    ExceptionCatcher Caught;
};

TEST_F(NavigatorTest, ButtonsAreEnabledByStateAndPosition) {
    EXPECT_EQ(Enabled(), "----------"); // closed
    DS->Open();
    EXPECT_EQ(Enabled(), "--NLIDE--R");
    DS->Next();
    EXPECT_EQ(Enabled(), "FPNLIDE--R");
    DS->Last();
    EXPECT_EQ(Enabled(), "FP--IDE--R");
    DS->Edit();
    EXPECT_EQ(Enabled(), "FP--ID-PCR");
    DS->Cancel();
    DS->Insert(); // before the last record: neither end any more
    EXPECT_EQ(Enabled(), "FPNLID-PCR");
    DS->Cancel();
    EXPECT_EQ(Enabled(), "FPNLIDE--R");

    Nav->SetEnabled(false);
    EXPECT_EQ(Enabled(), "----------");
    Nav->SetEnabled(true);
    EXPECT_EQ(Enabled(), "FPNLIDE--R");

    DS->Close();
    DS->ReadOnly = true;
    DS->Open();
    EXPECT_EQ(Enabled(), "--NL-----R");
    DS->Close();
    DS->ReadOnly = false;
    for (int k : Table.Keys())
        Table.DeleteKey(k);
    DS->Open();
    EXPECT_EQ(Enabled(), "----I-E--R"); // nothing to move to or delete
    Nav->SetDataSource(nullptr);
    EXPECT_EQ(Enabled(), "----------");
}

TEST_F(NavigatorTest, ClicksRunTheirActions) {
    DS->Open();
    int refreshes = 0;
    DS->AfterRefresh = [&](TDataSet*) { ++refreshes; };
    std::vector<std::string> order;
    Nav->BeforeAction = [&](TObject* Sender, TNavigateBtn B) {
        EXPECT_EQ(Sender, Nav);
        order.push_back("before " + std::to_string(B));
    };
    Nav->OnNavClick = [&](TObject*, TNavigateBtn B) { order.push_back("click " + std::to_string(B)); };

    Click(nbPrior); // disabled at the start: nothing happens
    EXPECT_TRUE(order.empty());
    Click(nbNext);
    EXPECT_EQ(Key(), 2);
    EXPECT_EQ(order, (std::vector<std::string>{"before 2", "click 2"}));
    Click(nbLast);
    EXPECT_EQ(Key(), 3);
    Click(nbPrior);
    EXPECT_EQ(Key(), 2);
    Click(nbFirst);
    EXPECT_EQ(Key(), 1);
    Click(nbEdit);
    EXPECT_EQ(DS->State(), dsEdit);
    DS->FieldByName("NAME")->SetAsString("edited");
    Click(nbPost);
    EXPECT_EQ(DS->State(), dsBrowse);
    DS->Close();
    DS->Open();
    EXPECT_EQ(DS->FieldByName("NAME")->GetAsString(), "edited");
    Click(nbInsert);
    EXPECT_EQ(DS->State(), dsInsert);
    Click(nbCancel);
    EXPECT_EQ(DS->State(), dsBrowse);
    Click(nbRefresh);
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(Caught.Messages.empty());

    // A refused post is shown; the record stays in edit and the buttons stay usable.
    DS->FailPosts = 1;
    Click(nbEdit);
    DS->FieldByName("NAME")->SetAsString("again");
    Click(nbPost);
    EXPECT_EQ(Caught.Messages, (std::vector<std::string>{"post failed"}));
    EXPECT_EQ(DS->State(), dsEdit);
    EXPECT_EQ(Enabled()[6], '-'); // no Edit while editing
    EXPECT_EQ(Enabled().substr(7), "PCR");
    Click(nbPost);
    EXPECT_EQ(DS->State(), dsBrowse);
}

TEST_F(NavigatorTest, DeleteAsksFirstUnlessTold) {
    DS->Open();
    std::vector<AnsiString> asked;
    int answer = mrCancel;
    SetMessageDlgHook([&](const AnsiString& Msg, TMsgDlgType Type, TMsgDlgButtons Buttons) {
        asked.push_back(Msg);
        EXPECT_EQ(Type, mtConfirmation);
        EXPECT_EQ(Buttons, (TMsgDlgButtons{mbOK, mbCancel}));
        return answer;
    });
    Click(nbDelete);
    EXPECT_EQ(asked, (std::vector<AnsiString>{"Delete record?"}));
    EXPECT_EQ(Table.Keys(), (std::vector<int>{1, 2, 3}));
    answer = mrOk;
    Click(nbDelete);
    EXPECT_EQ(Table.Keys(), (std::vector<int>{2, 3}));
    Nav->SetConfirmDelete(false);
    Click(nbDelete);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(Table.Keys(), (std::vector<int>{3}));
}

TEST(MessageDlg, TheRealBoxAnswersWithTheButtonChosen) {
    struct Case {
        QMessageBox::StandardButton Press;
        int Expected;
    };
    for (Case c : {Case{QMessageBox::Ok, mrOk}, Case{QMessageBox::Cancel, mrCancel}}) {
        QTimer::singleShot(0, [c] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), "Delete record?");
            box->button(c.Press)->click();
        });
        EXPECT_EQ(MessageDlg("Delete record?", mtConfirmation, {mbOK, mbCancel}, 0), c.Expected);
    }
}

TEST_F(NavigatorTest, VisibleButtonsShareTheWidth) {
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Nav->GetButton(static_cast<TNavigateBtn>(i))->GetBoundsRect(), QRect(29 * i, 0, 29, 27));
    Nav->SetVisibleButtons({nbFirst, nbPrior, nbNext, nbLast});
    Nav->SetWidth(103);
    std::vector<QRect> shown;
    for (int i = 0; i < 10; ++i) {
        TNavButton* b = Nav->GetButton(static_cast<TNavigateBtn>(i));
        EXPECT_EQ(b->GetVisible(), i < 4);
        if (b->GetVisible()) shown.push_back(b->GetBoundsRect());
    }
    EXPECT_EQ(shown, (std::vector<QRect>{QRect(0, 0, 26, 27), QRect(26, 0, 26, 27), QRect(52, 0, 26, 27),
                                         QRect(78, 0, 25, 27)}));
    EXPECT_FALSE(Nav->GetButton(nbInsert)->GetWidget()->isVisible());
    // Each button shows its figure, greyed while disabled.
    auto* button = qobject_cast<QToolButton*>(Nav->GetButton(nbNext)->GetWidget());
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_FALSE(Nav->GetButton(nbNext)->GlyphImage(1).isNull());
}

TEST_F(NavigatorTest, HintsHaveDefaultsAndCanBeReplaced) {
    EXPECT_EQ(Nav->GetButton(nbFirst)->GetHint(), "First record");
    EXPECT_EQ(Nav->GetButton(nbRefresh)->GetHint(), "Refresh data");
    EXPECT_FALSE(Nav->GetShowHint());
    Nav->GetHints()->SetText("Anfang\r\n\r\nWeiter");
    EXPECT_EQ(Nav->GetButton(nbFirst)->GetHint(), "Anfang");
    EXPECT_EQ(Nav->GetButton(nbPrior)->GetHint(), "Prior record"); // an empty line keeps the default
    EXPECT_EQ(Nav->GetButton(nbNext)->GetHint(), "Weiter");
    EXPECT_EQ(Nav->GetButton(nbLast)->GetHint(), "Last record");
    Nav->SetShowHint(true);
    EXPECT_TRUE(Nav->GetButton(nbNext)->GetShowHint()); // the buttons follow the navigator
}

// ---- Form text ------------------------------------------------------------

class TNavForm : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TNavForm>& P) {
        P.Field("Nav", &TNavForm::Nav);
        P.Field("DataSrc", &TNavForm::DataSrc);
        P.Method("NavClick", &TNavForm::NavClick);
    }
    explicit TNavForm(TComponent* Owner) : TForm(Owner) { InitForm(ClassInfo()); }
    void NavClick(TObject*, TNavigateBtn Button) { Clicked.push_back(Button); }
    TDBNavigator* Nav = nullptr;
    TDataSource* DataSrc = nullptr;
    std::vector<TNavigateBtn> Clicked;
};
KV_PUBLISHED_METACLASS(TNavForm, &TForm::ClassInfo())
KV_FORM_RESOURCE(TNAVFORM, R"(object NavForm: TNavForm
  ClientWidth = 400
  ClientHeight = 100
  object DataSrc: TDataSource
  end
  object Nav: TDBNavigator
    Left = 10
    Top = 10
    Width = 290
    Height = 27
    DataSource = DataSrc
    VisibleButtons = [nbFirst, nbPrior, nbNext, nbLast, nbRefresh]
    Hints.Strings = (
      'Erster')
    ConfirmDelete = False
    OnClick = NavClick
    TabOrder = 0
  end
end
)")

TEST(DBNavigatorFormText, ReadsItsPropertiesAndWritesThemBack) {
    RegisterClass(&TDataSource::ClassInfo());
    TNavForm f(nullptr);
    ASSERT_NE(f.Nav, nullptr);
    EXPECT_EQ(f.Nav->GetDataSource(), f.DataSrc);
    EXPECT_EQ(f.Nav->GetVisibleButtons(), (TButtonSet{nbFirst, nbPrior, nbNext, nbLast, nbRefresh}));
    EXPECT_FALSE(f.Nav->GetConfirmDelete());
    EXPECT_EQ(f.Nav->GetButton(nbFirst)->GetHint(), "Erster");
    EXPECT_EQ(f.Nav->GetButton(nbRefresh)->GetBoundsRect(), QRect(4 * 58, 0, 58, 27));
    f.Nav->BtnClick(nbNext); // no dataset: only the handler runs
    EXPECT_EQ(f.Clicked, (std::vector<TNavigateBtn>{nbNext}));
    AnsiString text = WriteComponentToText(&f, TNavForm::ClassInfo());
    for (const char* line :
         {"    DataSource = DataSrc", "    VisibleButtons = [nbFirst, nbPrior, nbNext, nbLast, nbRefresh]",
          "    ConfirmDelete = False", "    OnClick = NavClick"})
        EXPECT_NE(text.find(line), AnsiString::npos) << line << "\n" << text;
    EXPECT_EQ(text.find("TNavButton"), AnsiString::npos); // the buttons belong to the navigator
}

} // namespace
