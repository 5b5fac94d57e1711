#include "PrinterKV.h"

#include "Printers.h"

TPrinterListKV::TPrinterListKV()
    : FOwnStrings(std::make_unique<TStringList>()), Strings(FOwnStrings.get()), OwnsStrings(true) {}

namespace {

const TPrinterDevice& DeviceOf(const TStrings& Printers, int Index) {
    return *static_cast<const TPrinterDevice*>(Printers.GetObject(Index));
}

} // namespace

void TPrinterListKV::Load() {
    const TStrings& printers = *Printer()->GetPrinters();
    Strings->Clear();
    for (int i = 0; i < printers.GetCount(); ++i)
        Strings->Add(DeviceOf(printers, i).Device);
}

bool TPrinterListKV::SetPrinterA(int Index) {
    if (Index == -1) {
        Printer()->SetPrinterIndex(-1);
        return true;
    }
    AnsiString name = Strings->Get(Index);
    const TStrings& printers = *Printer()->GetPrinters();
    for (int i = 0; i < printers.GetCount(); ++i) {
        const TPrinterDevice& d = DeviceOf(printers, i);
        if (d.Device == name) {
            Printer()->SetPrinter(d.Device, d.Driver, d.Port, 0);
            return true;
        }
    }
    return false;
}
