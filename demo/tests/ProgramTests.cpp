// The program's start-up and end, on a fresh application object each time:
// running the message loop to its end leaves an application terminated.
#include "DemoTestEnv.h"
#include "Dbconstkv.h"
#include "Dialogs.h"
#include "Frm_main.h"
#include "IBRowvaneDemo.h"
#include "Ibconstkv.h"
#include "Unt_settings.h"

#include <QTimer>

namespace {

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() {
        FreshApplication();
        SetMessageDlgHook([this](const AnsiString& Msg, TMsgDlgType, TMsgDlgButtons) {
            Shown.push_back(Msg);
            return mrOk;
        });
    }
    ~ProgramTest() override {
        SetMessageDlgHook(nullptr);
        FreshApplication();
        UnbindLanguageTable(IbconstkvModule);
        UnbindLanguageTable(DbconstkvModule);
    }
    static void FreshApplication() {
        delete Application;
        new TApplication();
    }

    TProgramFolder Program;
    std::vector<AnsiString> Shown;
};

TEST_F(ProgramTest, StartsTheMainFormInGermanAndEndsWhenItCloses) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        EXPECT_EQ(Application->GetTitle(), "IBRowvaneDemo");
        EXPECT_EQ(Application->GetHintHidePause(), 6000);
        ASSERT_NE(FrmMain, nullptr);
        EXPECT_EQ(Application->GetMainForm(), FrmMain);
        EXPECT_EQ(FrmMain->GetOwner(), Application);
        EXPECT_TRUE(FrmMain->Showing());
        EXPECT_EQ(FrmMain->BtnOpenClose->GetCaption(), "Open");
        EXPECT_NE(Settings, nullptr);
        EXPECT_EQ(EIBRVError(rveEmptyDataset).Message(), "Datenmenge ist leer");
        FrmMain->Close();
    });
    EXPECT_EQ(WinMain(), 0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(Shown.empty());
    // At the end the application frees the main form, and with it the settings.
    ASSERT_NE(FrmMain, nullptr);
    FreshApplication();
    EXPECT_EQ(FrmMain, nullptr);
    EXPECT_EQ(Settings, nullptr);
}

TEST_F(ProgramTest, AnExceptionThatEscapesIsShownAndTheProgramStillEndsNormally) {
    // With a settings object in place the main form cannot make its own.
    TSettings first;
    EXPECT_EQ(WinMain(), 0);
    EXPECT_EQ(Shown, std::vector<AnsiString>{"Settings class already exists."});
    EXPECT_EQ(FrmMain, nullptr);
    EXPECT_EQ(Application->GetMainForm(), nullptr);
    EXPECT_EQ(Settings, &first);
}

} // namespace
