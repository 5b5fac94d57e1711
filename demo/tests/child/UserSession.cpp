// The program as a user runs it, for tests that start it as a user who is
// neither root nor in the engine's group. Two sequences:
//
//   demo_user_session open <database path>
// Settings typed into the dialog with "Remember Settings" ticked, "Create
// DB", "Open", a new row posted, "Commit + Start"; then it holds the
// database open until a line arrives on its input, and closes it with
// "Close". Says "settings <file>", "lock <folder>", "open", "closed".
//
//   demo_user_session settings <database path>
// The settings dialog opens with what the settings store reads; the user
// types a database path, ticks "Remember Settings" and presses OK. Says
// "shown <remember 0 or 1> <database>" for what the dialog showed, then "saved".
//
// One line per step on its output; any error as "error: <text>", exit code 1.
#include "Frm_dbsettings.h"
#include "Frm_main.h"
#include "Unt_settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

void Say(const std::string& Line) {
    std::printf("%s\n", Line.c_str());
    std::fflush(stdout);
}

int OpenSequence(const AnsiString& Path) {
    auto window = std::make_unique<TFrmMain>(nullptr);
    TFrmMain& w = *window;
    {
        TFrmDbSettings dialog(&w);
        dialog.ChkRemember->SetChecked(true);
        dialog.EdtServer->SetText("");
        dialog.EdtDatabase->SetText(Path);
        dialog.EdtUsername->SetText("SYSDBA");
        dialog.EdtPassword->SetText("masterkey");
        dialog.BtnOK->Click();
    }
    for (const AnsiString& file : {Settings->GetIniFileName(), Settings->GetUserIniFileName()})
        if (::access(file.c_str(), F_OK) == 0) Say("settings " + file);
    w.BtnCreateDb->Click();
    w.BtnOpenClose->Click();
    if (const char* lock = std::getenv("FIREBIRD_LOCK")) Say(std::string("lock ") + lock);
    w.DataSet->Insert();
    w.DataSetDESCRIPTION->SetAsString("Typed by a user");
    w.DataSet->Post();
    w.BtnCommit->Click();
    Say("open");
    std::string line;
    std::getline(std::cin, line);
    w.BtnOpenClose->Click();
    Say(w.Db->GetConnected() ? "still connected" : "closed");
    return 0;
}

int SettingsDialog(const AnsiString& Path) {
    auto window = std::make_unique<TFrmMain>(nullptr); // makes the settings store
    TFrmDbSettings dialog(window.get());
    Say(std::string("shown ") + (dialog.ChkRemember->GetChecked() ? "1 " : "0 ") + dialog.EdtDatabase->GetText());
    dialog.ChkRemember->SetChecked(true);
    dialog.EdtDatabase->SetText(Path);
    dialog.EdtUsername->SetText("SYSDBA");
    dialog.BtnOK->Click();
    Say("saved");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool open = argc == 3 && std::strcmp(argv[1], "open") == 0;
    if (argc != 3 || (!open && std::strcmp(argv[1], "settings") != 0)) {
        std::fprintf(stderr, "usage: %s open|settings <database path>\n", argv[0]);
        return 2;
    }
    try {
        TApplication application(argc, argv);
        return open ? OpenSequence(argv[2]) : SettingsDialog(argv[2]);
    } catch (const std::exception& e) {
        Say(std::string("error: ") + e.what());
        return 1;
    }
}
