#include "DriveComboBoxKV.h"

KV_METACLASS(TDriveComboBoxKV, &TDriveComboBox::ClassInfo())

TDriveComboBoxKV::TDriveComboBoxKV(TComponent* AOwner) : TDriveComboBox(AOwner) {}

TDriveComboBoxKV::~TDriveComboBoxKV() = default;

void TDriveComboBoxKV::BuildList() {
    TDriveComboBox::BuildList();
}

namespace Drivecomboboxkv {

void Register() {
    RegisterComponents("KV", {&TDriveComboBoxKV::ClassInfo()});
}

} // namespace Drivecomboboxkv
