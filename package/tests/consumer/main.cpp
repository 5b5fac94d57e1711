// Uses the package as an application would: its dataset messages, in the
// language the package bound at load, and the palette its Register fills.
#include "ClassReg.h"
#include "IBRowvaneKV.h"
#include "KVIB5.h"

#include <iostream>

namespace {

void Show(const EIBRVError& Error) { std::cout << Error.Message() << "\n"; }

void ShowPage() {
    std::cout << "KVDB:";
    for (TComponentClass c : GetPaletteClasses("KVDB")) std::cout << " " << c->GetName();
    std::cout << "\n";
}

} // namespace

int main() {
    Show(EIBRVError(rveEmptyDataset));
    Show(EIBRVError(rveFieldNotFound, {"ID"}));
    Register();
    ShowPage();
    Finalize();
    ShowPage();
    return 0;
}
