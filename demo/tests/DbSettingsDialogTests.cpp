// The settings dialog on real (offscreen) windows.
#include "DemoTestEnv.h"
#include "Frm_dbsettings.h"
#include "Unt_settings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>
#include <QtTest/QTest>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

namespace {

class DbSettingsDialogTest : public ::testing::Test {
protected:
    // The main window owns the dialog while it is shown.
    TForm MainForm{nullptr};
    TProgramFolder Folder;
    std::unique_ptr<TSettings> Store = std::make_unique<TSettings>();

    // Shows a new dialog modally, runs Action in its modal loop, deletes it.
    int RunDialog(const std::function<void(TFrmDbSettings&)>& Action) {
        auto* dlg = new TFrmDbSettings(&MainForm);
        int components = MainForm.GetComponentCount();
        QTimer::singleShot(0, [dlg, Action] {
            if (dlg->IsModal()) Action(*dlg);
        });
        int result = dlg->ShowModal();
        delete dlg;
        EXPECT_EQ(MainForm.GetComponentCount(), components - 1);
        return result;
    }
    static void Type(TEdit* Edit, const QString& Text) {
        auto* line = qobject_cast<QLineEdit*>(Edit->GetHandle());
        line->selectAll();
        QTest::keyClicks(line, Text);
    }
    static void Tick(TFrmDbSettings& D, bool On) {
        if (D.ChkRemember->GetChecked() != On)
            QTest::mouseClick(D.ChkRemember->GetHandle(), Qt::LeftButton, {}, QPoint(5, 6));
        ASSERT_EQ(D.ChkRemember->GetChecked(), On);
    }
    static void TypeAll(TFrmDbSettings& D) {
        Type(D.EdtServer, "srv");
        Type(D.EdtDatabase, "/data/demo.gdb");
        Type(D.EdtUsername, "sysdba");
        Type(D.EdtPassword, "secret");
    }
};

TEST_F(DbSettingsDialogTest, ReadFromItsFormTextWithTheLayoutAndStates) {
    TFrmDbSettings d(&MainForm);
    EXPECT_EQ(d.GetCaption(), "Database Settings");
    EXPECT_EQ(d.GetBorderStyle(), bsDialog);
    EXPECT_EQ(d.GetBorderIcons(), (TBorderIcons{biSystemMenu, biHelp}));
    EXPECT_EQ(d.GetPosition(), poMainFormCenter);
    EXPECT_EQ(d.GetClientWidth(), 281);
    EXPECT_EQ(d.GetClientHeight(), 195);
    EXPECT_EQ(d.PnlMain->GetAlign(), alClient);
    EXPECT_EQ(d.PnlMain->GetBevelInner(), bvLowered);
    EXPECT_EQ(d.PnlMain->GetBevelOuter(), bvNone);

    // The upper panel holds the fields, the lower one the buttons.
    TWinControl* fields = d.EdtServer->GetParent();
    TWinControl* buttons = d.BtnOK->GetParent();
    EXPECT_EQ(fields->GetBoundsRect(), QRect(1, 1, 279, 152));
    EXPECT_EQ(buttons->GetBoundsRect(), QRect(1, 153, 279, 41));
    EXPECT_EQ(d.Lbl1->GetParent(), fields);
    EXPECT_EQ(d.Lbl1->GetCaption(), "Server :");
    EXPECT_EQ(d.Lbl1->GetLeft(), 16);
    EXPECT_EQ(d.Lbl1->GetTop(), 20);
    struct Place {
        TWinControl* Control;
        QRect Bounds;
        int TabOrder;
    };
    const Place places[] = {
        {d.EdtServer, QRect(80, 16, 185, 21), 0},    {d.EdtDatabase, QRect(80, 40, 185, 21), 1},
        {d.EdtUsername, QRect(80, 64, 185, 21), 2},  {d.EdtPassword, QRect(80, 88, 185, 21), 3},
        {d.ChkRemember, QRect(80, 122, 121, 13), 4}, {d.BtnOK, QRect(58, 8, 75, 25), 0},
        {d.BtnCancel, QRect(146, 8, 75, 25), 1},
    };
    for (const Place& p : places) {
        EXPECT_EQ(p.Control->GetBoundsRect(), p.Bounds) << p.Control->GetName();
        EXPECT_EQ(p.Control->GetTabOrder(), p.TabOrder) << p.Control->GetName();
    }
    int labels = 0;
    for (int i = 0; i < fields->GetControlCount(); ++i)
        if (auto* l = dynamic_cast<TLabel*>(fields->GetControl(i))) {
            const char* captions[] = {"Server :", "Database :", "Username :", "Password :"};
            EXPECT_EQ(l->GetCaption(), captions[labels]);
            EXPECT_EQ(l->GetTop(), 20 + 24 * labels);
            ++labels;
        }
    EXPECT_EQ(labels, 4);
    EXPECT_EQ(d.EdtPassword->GetPasswordChar(), '*');
    EXPECT_EQ(qobject_cast<QLineEdit*>(d.EdtPassword->GetHandle())->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d.ChkRemember->GetCaption(), "Remember Settings");
    EXPECT_EQ(d.BtnOK->GetCaption(), "OK");
    EXPECT_TRUE(d.BtnOK->GetDefault());
    EXPECT_EQ(d.BtnOK->GetModalResult(), mrOk);
    EXPECT_EQ(d.BtnCancel->GetCaption(), "Cancel");
    EXPECT_TRUE(d.BtnCancel->GetCancel());
    EXPECT_EQ(d.BtnCancel->GetModalResult(), mrCancel);
}

TEST_F(DbSettingsDialogTest, ShowsTheSettingsItIsMadeWith) {
    Store->SetRemember(true);
    Store->SetServer("host");
    Store->SetDatabase("/db.fdb");
    Store->SetUsername("me");
    Store->SetPassword("pw");
    TFrmDbSettings d(&MainForm);
    EXPECT_TRUE(d.ChkRemember->GetChecked());
    EXPECT_EQ(d.EdtServer->GetText(), "host");
    EXPECT_EQ(d.EdtDatabase->GetText(), "/db.fdb");
    EXPECT_EQ(d.EdtUsername->GetText(), "me");
    EXPECT_EQ(d.EdtPassword->GetText(), "pw");
    EXPECT_EQ(qobject_cast<QLineEdit*>(d.EdtPassword->GetHandle())->text(), "pw");
    Store->SetRemember(false);
    TFrmDbSettings cleared(&MainForm);
    EXPECT_FALSE(cleared.ChkRemember->GetChecked());
    EXPECT_EQ(cleared.EdtPassword->GetText(), "pw"); // still held for this run
}

TEST_F(DbSettingsDialogTest, OkWithTheBoxTickedSavesToTheFile) {
    int result = RunDialog([](TFrmDbSettings& d) {
        Tick(d, true);
        TypeAll(d);
        QTest::mouseClick(d.BtnOK->GetHandle(), Qt::LeftButton);
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Folder.IniText(), "[Database Settings]\nRemeber=1\nServer=srv\nDatabase=/data/demo.gdb\n"
                                "Username=sysdba\nPassword=secret\n");
    Store.reset(); // the next run
    Store = std::make_unique<TSettings>();
    int again = RunDialog([](TFrmDbSettings& d) {
        EXPECT_TRUE(d.ChkRemember->GetChecked());
        EXPECT_EQ(d.EdtServer->GetText(), "srv");
        EXPECT_EQ(d.EdtPassword->GetText(), "secret");
        d.Close();
    });
    EXPECT_EQ(again, mrCancel);
}

TEST_F(DbSettingsDialogTest, OkWithTheBoxClearKeepsTheValuesForThisRunOnly) {
    Store->SetRemember(true);
    Store->SetPassword("old");
    int result = RunDialog([](TFrmDbSettings& d) {
        Tick(d, false);
        TypeAll(d);
        d.EdtPassword->SetFocus();
        QTest::keyClick(d.EdtPassword->GetHandle(), Qt::Key_Return); // the default button
    });
    EXPECT_EQ(result, mrOk);
    EXPECT_EQ(Folder.IniText(), "[Database Settings]\nRemeber=0\n");
    EXPECT_EQ(Store->GetConnectString(), "srv:/data/demo.gdb");
    EXPECT_EQ(Store->GetUsername(), "sysdba");
    EXPECT_EQ(Store->GetPassword(), "secret");
}

TEST_F(DbSettingsDialogTest, CancelEscapeAndTheCloseBoxChangeNothing) {
    Store->SetRemember(true);
    Store->SetServer("before");
    AnsiString file = Folder.IniText();
    const std::function<void(TFrmDbSettings&)> closers[] = {
        [](TFrmDbSettings& d) { QTest::mouseClick(d.BtnCancel->GetHandle(), Qt::LeftButton); },
        [](TFrmDbSettings& d) { QTest::keyClick(d.EdtServer->GetHandle(), Qt::Key_Escape); },
        [](TFrmDbSettings& d) { d.GetHandle()->close(); },
    };
    for (const auto& close : closers) {
        int result = RunDialog([&close](TFrmDbSettings& d) {
            Tick(d, false);
            TypeAll(d);
            close(d);
        });
        EXPECT_EQ(result, mrCancel);
        EXPECT_EQ(Store->GetServer(), "before");
        EXPECT_TRUE(Store->GetRemember());
        EXPECT_EQ(Folder.IniText(), file);
    }
}

TEST_F(DbSettingsDialogTest, AFailedSaveIsShownAndLosesNothingTyped) {
    // Neither the program's folder nor the user's can take the file.
    SetModuleFileNameForTesting(Folder.Path() + "/missing/IBRowvaneDemo");
    std::ofstream(Folder.Path() + "/file") << "x";
    setenv("XDG_CONFIG_HOME", (Folder.Path() + "/file/config").c_str(), 1);
    Store.reset();
    Store = std::make_unique<TSettings>();
    ExceptionCatcher caught;
    int result = RunDialog([](TFrmDbSettings& d) {
        Tick(d, true);
        TypeAll(d);
        QTest::mouseClick(d.BtnOK->GetHandle(), Qt::LeftButton);
    });
    // The click's error reaches the application's display; the result was set before.
    ASSERT_EQ(caught.Messages.size(), 1u);
    EXPECT_NE(caught.Messages[0].find("Unable to write to"), std::string::npos);
    EXPECT_EQ(result, mrOk);
    // Every value typed serves this run all the same.
    EXPECT_FALSE(Store->GetRemember());
    EXPECT_EQ(Store->GetConnectString(), "srv:/data/demo.gdb");
    EXPECT_EQ(Store->GetPassword(), "secret");

    // With the box clear nothing needs the file: no error at all.
    caught.Messages.clear();
    RunDialog([](TFrmDbSettings& d) {
        Tick(d, false);
        d.EdtServer->SetText("other");
        QTest::mouseClick(d.BtnOK->GetHandle(), Qt::LeftButton);
    });
    EXPECT_TRUE(caught.Messages.empty());
    EXPECT_EQ(Store->GetServer(), "other");
}

} // namespace
