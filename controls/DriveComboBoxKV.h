// The platform's drive selector under the library's name.
#pragma once

#include "FileCtrl.h"

class TDriveComboBoxKV : public TDriveComboBox {
public:
    KV_METACLASS_DECL
    explicit TDriveComboBoxKV(TComponent* AOwner);
    ~TDriveComboBoxKV() override;

protected:
    void BuildList() override;
};

namespace Drivecomboboxkv {

// Puts TDriveComboBoxKV on the palette page "KV".
void Register();

} // namespace Drivecomboboxkv
