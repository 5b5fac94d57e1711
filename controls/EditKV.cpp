#include "EditKV.h"

KV_METACLASS(TEditKV, &TCustomEditKV::ClassInfo())

namespace Editkv {

void Register() {
    RegisterComponents("KV", {&TEditKV::ClassInfo()});
}

} // namespace Editkv
