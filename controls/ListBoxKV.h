// The library's list box as the palette offers it.
#pragma once

#include "CustomListBoxKV.h"

class TListBoxKV : public TCustomListBoxKV {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TListBoxKV>& P);
    using TCustomListBoxKV::TCustomListBoxKV;
};

namespace Listboxkv {

// Puts TListBoxKV on the palette page "KV".
void Register();

} // namespace Listboxkv
