// The printer object over the CUPS destinations of the user: the installed
// printers, the current one, and the user's default (from the server, the
// user's lpoptions or LPDEST/PRINTER, as the CUPS client library decides).
// The server is the one the CUPS client library names (CUPS_SERVER).
#pragma once

#include "Classes.h"

#include <cstdint>
#include <memory>

FRAMEWORK_EXCEPTION(EPrinter, Exception);

using THandle = std::uintptr_t;

// One installed printer, the object of its line in TPrinter::GetPrinters.
class TPrinterDevice : public TObject {
public:
    TPrinterDevice(AnsiString ADevice, AnsiString ADriver, AnsiString APort)
        : Device(std::move(ADevice)), Driver(std::move(ADriver)), Port(std::move(APort)) {}
    const AnsiString Device; // the destination, "queue" or "queue/instance"
    const AnsiString Driver; // its make and model
    const AnsiString Port;   // its device URI, else the printer's URI
};

// Owns the list of installed printers, read from the server on first use.
class TPrinter : public TObject {
public:
    TPrinter();
    ~TPrinter() override;

    // One line per printer, "device on port", its object the TPrinterDevice.
    const TStrings* GetPrinters();
    // The current printer; the default printer while none was chosen.
    // EPrinter when there is no default printer.
    int GetPrinterIndex();
    // -1 chooses the default printer (EPrinter when there is none); any
    // other index outside the list raises EPrinter.
    void SetPrinterIndex(int Value);
    // The current printer's names; no device mode (0).
    void GetPrinter(AnsiString& Device, AnsiString& Driver, AnsiString& Port, THandle& DeviceMode);
    // Makes the printer with that device name current; driver, port and
    // device mode come from the list. EPrinter for a device not installed.
    void SetPrinter(const AnsiString& Device, const AnsiString& Driver, const AnsiString& Port,
                    THandle DeviceMode);

private:
    void Load();
    int DefaultIndex();

    bool FLoaded = false;
    TStringList FPrinters;
    TObjectList<TPrinterDevice> FDevices;
    int FDefault = -1;
    int FPrinterIndex = -1;
};

// The application's printer object, made on first use.
TPrinter* Printer();
