// The validating edit as the palette offers it.
#pragma once

#include "CustomEditKV.h"

class TEditKV : public TCustomEditKV {
public:
    KV_METACLASS_DECL
    using TCustomEditKV::TCustomEditKV;
};

namespace Editkv {

// Puts TEditKV on the palette page "KV".
void Register();

} // namespace Editkv
