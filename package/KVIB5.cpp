#include "KVIB5.h"

#include "ClassReg.h"
#include "Dbconstkv.h"
#include "IBRowvaneKV.h"
#include "IBRowvaneKVReg.h"
#include "Ibconstkv.h"
#include "ResModule.h"

#include <mutex>
#include <vector>

namespace {

// What the package holds from load to unload: the language library it found
// and the message units it bound to it.
class TPackage {
public:
    TPackage() {
        // Built before this object, the framework's registries are destroyed
        // after it at exit, so the destructor below still finds them.
        GetPalettePages();
        IsLanguageTableBound(IbconstkvModule);
        Initialize();
    }
    ~TPackage() { Finalize(); }

    void Initialize() {
        std::lock_guard<std::mutex> guard(FLock);
        if (FLanguage) return;
        FLanguage.reset(LoadResourceModule(GetModuleFileNameOf(this)));
        if (!FLanguage) return;
        for (const char* unit : {IbconstkvModule, DbconstkvModule})
            if (BindResourceTable(FLanguage.get(), unit)) FBoundUnits.push_back(unit);
    }

    void Finalize() {
        std::lock_guard<std::mutex> guard(FLock);
        Ibrowvanekv::UnRegister();
        for (const AnsiString& unit : FBoundUnits) UnbindLanguageTable(unit);
        FBoundUnits.clear();
        FLanguage.reset();
    }

private:
    std::mutex FLock;
    TResourceModulePtr FLanguage;
    std::vector<AnsiString> FBoundUnits;
};

// Constructed when the package is loaded, before any of its entries can run.
TPackage Package;

} // namespace

extern "C" {

void Initialize() { Package.Initialize(); }

void Finalize() { Package.Finalize(); }

void Register() { Ibrowvanekv::Register(); }

void KVIB5RaiseError(unsigned char Code, const char* Argument) {
    if (Argument) throw EIBRVError(static_cast<TIBRVError>(Code), {Argument});
    throw EIBRVError(static_cast<TIBRVError>(Code));
}
}
