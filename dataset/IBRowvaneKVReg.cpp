#include "IBRowvaneKVReg.h"

#include "ClassReg.h"
#include "IBRowvaneKV.h"

#include <vector>

namespace Ibrowvanekv {

namespace {

// The unit's components, in palette order.
std::vector<TComponentClass> Components() {
    return {
        &TIBRowvaneKV::ClassInfo(),
    };
}

} // namespace

void Register() {
    for (TComponentClass c : Components()) RegisterComponents(PalettePage, {c});
}

void UnRegister() {
    for (TComponentClass c : Components()) UnRegisterComponents({c});
}

} // namespace Ibrowvanekv
