// Palette registration of the dataset unit. Lives in the unit's namespace so
// that it does not meet the package's exported C entry of the same name.
#pragma once

namespace Ibrowvanekv {

inline constexpr const char* PalettePage = "KVDB";

// Puts the unit's components on the palette page "KVDB".
void Register();
// Takes them off the palette and out of the class registry again; the
// package does this before it is unloaded, since the registry would
// otherwise keep classes whose code is gone.
void UnRegister();

} // namespace Ibrowvanekv
