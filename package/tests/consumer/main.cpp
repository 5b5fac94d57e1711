// Uses the package as an application would: its dataset messages, in the
// language the package bound at load, and the palette its Register fills;
// and one control of the controls library.
#include <KVIB5/ClassReg.h>
#include <KVIB5/EditKV.h>
#include <KVIB5/Forms.h>
#include <KVIB5/IBRowvaneKV.h>
#include <KVIB5/KVIB5.h>

#include <cstdlib>
#include <iostream>

namespace {

void Show(const EIBRVError& Error) { std::cout << Error.Message() << "\n"; }

void ShowPage(const char* Page) {
    std::cout << Page << ":";
    for (TComponentClass c : GetPaletteClasses(Page)) std::cout << " " << c->GetName();
    std::cout << "\n";
}

// A numeric validating edit takes "42" and refuses "4a" whole.
void UseEdit() {
    TForm form(nullptr);
    auto* edit = new TEditKV(&form);
    edit->SetParent(&form);
    edit->SetValidData({vdNumeric});
    edit->ReplaceTextA(true, "4a");
    edit->ReplaceTextA(true, "42");
    std::cout << "TEditKV: " << edit->GetText() << "\n";
}

} // namespace

int main() {
    Show(EIBRVError(rveEmptyDataset));
    Show(EIBRVError(rveFieldNotFound, {"ID"}));
    Register();
    ShowPage("KVDB");
    Finalize();
    ShowPage("KVDB");

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication application;
    Editkv::Register();
    ShowPage("KV");
    UseEdit();
    return 0;
}
