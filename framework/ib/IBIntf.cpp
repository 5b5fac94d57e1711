#include "IB.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <memory>

TIBClientLibrary::TIBClientLibrary(const AnsiString& LibraryName) : FName(LibraryName) {
    FHandle = dlopen(FName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!FHandle) {
        const char* why = dlerror();
        IBError(TIBClientError::LibraryNotLoaded, "The database client library " + FName +
                                                      " cannot be loaded: " + (why ? why : "unknown reason"));
    }
#define KV_IB_RESOLVE(name)                                                                                  \
    name = reinterpret_cast<decltype(name)>(dlsym(FHandle, #name));                                          \
    if (!name) {                                                                                             \
        dlclose(FHandle);                                                                                    \
        FHandle = nullptr;                                                                                   \
        IBError(TIBClientError::LibraryNotLoaded,                                                            \
                "The database client library " + FName + " lacks the function " #name);                      \
    }
    KV_IB_CLIENT_FUNCTIONS(KV_IB_RESOLVE)
#undef KV_IB_RESOLVE
}

TIBClientLibrary::~TIBClientLibrary() {
    if (FHandle && !FKeepLoaded) dlclose(FHandle);
}

TIBClientLibrary& GetGDSLibrary() {
    // Every client call asks for the library: after the first load that is
    // one check of an initialised static, no lock. A load that throws leaves
    // the static uninitialised, so the next call tries again.
    static const std::unique_ptr<TIBClientLibrary> library = [] {
        const char* name = std::getenv("KV_FBCLIENT_LIBRARY");
        auto loaded =
            std::make_unique<TIBClientLibrary>(name && *name ? name : TIBClientLibrary::DefaultName);
        // The engine's threads outlive static destruction; never unload it.
        loaded->FKeepLoaded = true;
        return loaded;
    }();
    return *library;
}

void IBError(TIBClientError Code, const AnsiString& Msg) {
    throw EIBClientError(Code, Msg);
}

AnsiString IBStatusText(const ISC_STATUS* StatusVector) {
    TIBClientLibrary& lib = GetGDSLibrary();
    AnsiString text;
    const ISC_STATUS* p = StatusVector;
    char line[1024];
    while (lib.fb_interpret(line, sizeof line, &p) > 0) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    return text;
}

void IBDataBaseError(const ISC_STATUS* StatusVector) {
    TIBClientLibrary& lib = GetGDSLibrary();
    long sqlcode = lib.isc_sqlcode(StatusVector);
    long code = static_cast<long>(StatusVector[1]);
    AnsiString text = IBStatusText(StatusVector);
    if (text.empty()) text = "Unknown database error " + IntToStr(code);
    throw EIBInterBaseError(sqlcode, code, text);
}

// The client interface's little-endian integer reader. Computed here so that
// it needs no loaded library; the result is the client's own.
extern "C" ISC_LONG isc_vax_integer(const ISC_SCHAR* Ptr, short Length) {
    if (!Ptr || Length <= 0 || Length > 4) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(Ptr);
    Int64 value = 0;
    int shift = 0;
    for (short i = 0; i < Length; ++i, shift += 8)
        value += static_cast<Int64>(p[i]) << shift;
    // The last byte is signed, as in the client.
    if (p[Length - 1] & 0x80) value -= static_cast<Int64>(1) << (8 * Length);
    return static_cast<ISC_LONG>(value);
}
