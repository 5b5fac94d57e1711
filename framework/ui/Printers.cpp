#include "Printers.h"

#include <cups/cups.h>

namespace {

const char* const SNoDefaultPrinter = "There is no default printer currently selected";
const char* const SPrinterIndexError = "Printer selected is not valid";

struct TDests {
    cups_dest_t* Dests = nullptr;
    int Count = 0;
    TDests() { Count = cupsGetDests2(CUPS_HTTP_DEFAULT, &Dests); }
    ~TDests() { cupsFreeDests(Count, Dests); }
    TDests(const TDests&) = delete;
    TDests& operator=(const TDests&) = delete;
};

AnsiString Option(const cups_dest_t& Dest, const char* Name) {
    const char* value = cupsGetOption(Name, Dest.num_options, Dest.options);
    return value ? value : "";
}

} // namespace

TPrinter::TPrinter() = default;
TPrinter::~TPrinter() = default;

// A server that cannot be reached has no printers to offer.
void TPrinter::Load() {
    if (FLoaded) return;
    TDests dests;
    try {
        for (int i = 0; i < dests.Count; ++i) {
            const cups_dest_t& d = dests.Dests[i];
            AnsiString device = d.instance ? AnsiString(d.name) + "/" + d.instance : AnsiString(d.name);
            AnsiString port = Option(d, "device-uri");
            if (port.empty()) port = Option(d, "printer-uri-supported");
            auto entry = std::make_unique<TPrinterDevice>(device, Option(d, "printer-make-and-model"), port);
            FDevices.Add(entry.get());
            TPrinterDevice* owned = entry.release();
            FPrinters.AddObject(device + " on " + port, owned);
            if (d.is_default) FDefault = FPrinters.GetCount() - 1;
        }
    } catch (...) {
        FPrinters.Clear();
        FDevices.Clear();
        FDefault = -1;
        throw;
    }
    FLoaded = true;
}

const TStrings* TPrinter::GetPrinters() {
    Load();
    return &FPrinters;
}

int TPrinter::DefaultIndex() {
    Load();
    if (FDefault < 0) throw EPrinter(SNoDefaultPrinter);
    return FDefault;
}

int TPrinter::GetPrinterIndex() {
    if (FPrinterIndex < 0) FPrinterIndex = DefaultIndex();
    return FPrinterIndex;
}

void TPrinter::SetPrinterIndex(int Value) {
    Load();
    if (Value == -1)
        Value = DefaultIndex();
    else if (Value < 0 || Value >= FPrinters.GetCount())
        throw EPrinter(SPrinterIndexError);
    FPrinterIndex = Value;
}

void TPrinter::GetPrinter(AnsiString& Device, AnsiString& Driver, AnsiString& Port, THandle& DeviceMode) {
    const TPrinterDevice* d = FDevices[GetPrinterIndex()];
    Device = d->Device;
    Driver = d->Driver;
    Port = d->Port;
    DeviceMode = 0;
}

void TPrinter::SetPrinter(const AnsiString& Device, const AnsiString&, const AnsiString&, THandle) {
    Load();
    for (int i = 0; i < FDevices.GetCount(); ++i)
        if (FDevices[i]->Device == Device) {
            FPrinterIndex = i;
            return;
        }
    throw EPrinter(SPrinterIndexError);
}

TPrinter* Printer() {
    static std::unique_ptr<TPrinter> printer = std::make_unique<TPrinter>();
    return printer.get();
}
