// The program's open sequence as a user runs it, for a test that starts it
// as a user who is neither root nor in the engine's group: settings typed
// into the dialog with "Remember Settings" ticked, "Create DB", "Open", a
// new row posted, "Commit + Start"; then it holds the database open until a
// line arrives on its input, and closes it with "Close".
//
//   demo_open_sequence <database path>
// Writes one line per step to its output ("settings <file>", "lock
// <folder>", "open", "closed"); any error as "error: <text>", exit code 1.
#include "Frm_dbsettings.h"
#include "Frm_main.h"
#include "Unt_settings.h"

#include <cstdio>
#include <cstdlib>
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

int Run(const AnsiString& Path) {
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <database path>\n", argv[0]);
        return 2;
    }
    try {
        TApplication application(argc, argv);
        return Run(argv[1]);
    } catch (const std::exception& e) {
        Say(std::string("error: ") + e.what());
        return 1;
    }
}
