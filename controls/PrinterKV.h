// The device names of the installed printers in a string list, and the
// choice of one of them as the framework's current printer. Not a component:
// its user creates and deletes it.
#pragma once

#include "Classes.h"

#include <memory>

class TPrinterListKV : public TObject {
public:
    // Fills a string list of its own.
    TPrinterListKV();
    // Fills the caller's list, which it does not delete.
    explicit TPrinterListKV(TStrings& AStrings) : Strings(&AStrings) {}

    TStrings* GetStrings() const { return Strings; }
    bool GetOwnsStrings() const { return OwnsStrings; }

    // Replaces the lines by the device names of the printer list, in its order.
    void Load();
    // Index -1 chooses the default printer. Otherwise makes the printer whose
    // device name equals line Index of the strings exactly current; false,
    // and no change, when no printer has that name. EStringListError for an
    // index outside the strings.
    bool SetPrinterA(int Index);

private:
    std::unique_ptr<TStrings> FOwnStrings;
    TStrings* Strings;
    bool OwnsStrings = false;
};
