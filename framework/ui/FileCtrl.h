// File controls: the drive combo box.
#pragma once

#include "StdCtrls.h"

#include <vector>

// A drop-down list of the mounted volumes, each shown as its root path with
// its name in brackets when it has one; the volume that holds the current
// folder is selected. The list is read when the window is made (BuildList).
class TDriveComboBox : public TCustomComboBox {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TDriveComboBox>& P);

    explicit TDriveComboBox(TComponent* AOwner);

    // The root path of the selected volume ("" when none is selected).
    AnsiString GetDrive() const;
    // Selects the volume that holds the path; a path on no listed volume
    // leaves the selection alone.
    void SetDrive(const AnsiString& Path);

protected:
    // Reads the mounted volumes into the items.
    virtual void BuildList();
    void CreateWnd() override;

private:
    std::vector<AnsiString> FRoots; // root path of each item, as BuildList read them
};
