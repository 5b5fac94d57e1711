// The settings dialog as a user meets it, for a test that runs it as a
// second user of a program whose folder holds another user's settings file:
// the dialog opens with what the settings store reads, the user types a
// database path, ticks "Remember Settings" and presses OK.
//
//   demo_settings_dialog <database path>
// Writes what the dialog showed when it opened ("shown <remember 0 or 1>
// <database>"), then "saved"; any error as "error: <text>", exit code 1.
#include "Frm_dbsettings.h"
#include "Frm_main.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

namespace {

void Say(const std::string& Line) {
    std::printf("%s\n", Line.c_str());
    std::fflush(stdout);
}

int Run(const AnsiString& Path) {
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
