#include "IBRowvaneDemo.h"

#include "Frm_main.h"
#include "MessagesDe.h"

int WinMain() {
    // The program speaks German: the dataset's and the parser's messages too.
    BindGermanMessages();
    try {
        Application->Initialize();
        // Hints stay six seconds instead of the platform's two and a half.
        Application->SetHintHidePause(6000);
        Application->SetTitle("IBRowvaneDemo");
        Application->CreateForm(FrmMain);
        Application->Run();
    } catch (const std::exception& e) {
        Application->ShowException(e);
    }
    return 0;
}
