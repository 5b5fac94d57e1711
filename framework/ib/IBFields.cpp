#include "IBFields.h"

KV_METACLASS(TIBStringField, &TStringField::ClassInfo())
KV_METACLASS(TIBBCDField, &TBCDField::ClassInfo())

namespace {

// Form descriptions name field classes: known by name while this code is
// loaded, and gone from the registry with it.
class TIBFieldClassRegistration {
public:
    TIBFieldClassRegistration() {
        RegisterClass(&TIBStringField::ClassInfo());
        RegisterClass(&TIBBCDField::ClassInfo());
    }
    ~TIBFieldClassRegistration() {
        UnRegisterClass(&TIBBCDField::ClassInfo());
        UnRegisterClass(&TIBStringField::ClassInfo());
    }
    TIBFieldClassRegistration(const TIBFieldClassRegistration&) = delete;
    TIBFieldClassRegistration& operator=(const TIBFieldClassRegistration&) = delete;
};

const TIBFieldClassRegistration IBFieldClassRegistration;

} // namespace

TIBStringField::TIBStringField(TComponent* AOwner) : TStringField(AOwner) {}

TIBBCDField::TIBBCDField(TComponent* AOwner) : TBCDField(AOwner) {}

bool TIBBCDField::GetData(void* Buffer, bool NativeFormat) {
    // The non-native path goes through a scratch buffer big enough for the
    // BCD record and converts it to Currency, which is this field's native form.
    (void)NativeFormat;
    return TBCDField::GetData(Buffer, false);
}

void TIBBCDField::SetData(void* Buffer, bool NativeFormat) {
    (void)NativeFormat;
    TBCDField::SetData(Buffer, false);
}
