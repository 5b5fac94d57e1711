#include "IB.h"

#include <firebird/Interface.h>

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Why this process refuses embedded databases; "" when it does not.
AnsiString& EmbeddedRefusal() {
    static AnsiString why;
    return why;
}

} // namespace

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

std::optional<AnsiString> TIBClientLibrary::GetEngineSetting(const AnsiString& Key) const {
    using TGetMaster = Firebird::IMaster* (*)();
    auto getMaster = reinterpret_cast<TGetMaster>(dlsym(FHandle, "fb_get_master_interface"));
    Firebird::IMaster* master = getMaster ? getMaster() : nullptr;
    Firebird::IConfigManager* manager = master ? master->getConfigManager() : nullptr;
    Firebird::IFirebirdConf* conf = manager ? manager->getFirebirdConf() : nullptr;
    if (!conf) return std::nullopt;
    std::optional<AnsiString> value;
    unsigned key = conf->getKey(Key.c_str());
    if (key != ~0u) {
        const char* text = conf->asString(key);
        value = text ? text : "";
    }
    conf->release();
    return value;
}

TIBClientLibrary& GetGDSLibrary() {
    // Every client call asks for the library: after the first load that is
    // one check of an initialised static, no lock. A load that throws leaves
    // the static uninitialised, so the next call tries again.
    static const std::unique_ptr<TIBClientLibrary> library = [] {
        // Once the library has started, its lock folder is fixed.
        AnsiString privateFolder = PrepareEngineLockFolder();
        const char* name = std::getenv("KV_FBCLIENT_LIBRARY");
        auto loaded =
            std::make_unique<TIBClientLibrary>(name && *name ? name : TIBClientLibrary::DefaultName);
        // The engine's threads outlive static destruction; never unload it.
        loaded->FKeepLoaded = true;
        if (!privateFolder.empty()) {
            std::optional<AnsiString> mode = loaded->GetEngineSetting("ServerMode");
            if (!mode || EngineSharesDatabaseFiles(*mode))
                EmbeddedRefusal() =
                    "The database engine shares database files between processes (ServerMode " +
                    (mode ? *mode : AnsiString("unknown")) + ") through its lock folder " + EngineLockFolder +
                    ", which this user may not use; ask for membership in its group, or use a server";
        }
        return loaded;
    }();
    return *library;
}

// ---- The embedded engine's lock folder

bool IsLockFolderUsable(const AnsiString& Folder) {
    struct stat info {};
    if (::stat(Folder.c_str(), &info) != 0) {
        if (errno != ENOENT) return false;
        // The engine makes it, in the folder above.
        std::size_t slash = Folder.find_last_of('/');
        AnsiString parent = slash == AnsiString::npos ? AnsiString(".") : Folder.substr(0, slash ? slash : 1);
        return ::access(parent.c_str(), W_OK | X_OK) == 0;
    }
    if (!S_ISDIR(info.st_mode) || ::access(Folder.c_str(), R_OK | W_OK | X_OK) != 0) return false;
    // The lock files that other processes made must be open to this one too.
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Folder.c_str()), ::closedir);
    if (!dir) return false;
    while (dirent* entry = ::readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        AnsiString file = Folder + "/" + entry->d_name;
        if (::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(file.c_str(), R_OK | W_OK) != 0)
            return false;
    }
    return true;
}

AnsiString PrepareEngineLockFolder() {
    const char* set = std::getenv("FIREBIRD_LOCK");
    if ((set && *set) || IsLockFolderUsable(EngineLockFolder)) return AnsiString();
    std::vector<AnsiString> candidates;
    // The user's runtime folder is private and goes at logout; else /tmp.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') candidates.push_back(AnsiString(runtime) + "/firebird");
    candidates.push_back(AnsiString(EngineLockFolder) + "-" + IntToStr(static_cast<int>(::geteuid())));
    for (const AnsiString& folder : candidates) {
        if (!MakePrivateFolder(folder)) continue;
        ::setenv("FIREBIRD_LOCK", folder.c_str(), 1);
        return folder;
    }
    return AnsiString();
}

bool EngineSharesDatabaseFiles(const AnsiString& ServerMode) {
    AnsiString mode = Trim(ServerMode);
    return !(mode.empty() || SameText(mode, "Super") || SameText(mode, "ThreadedDedicated"));
}

bool IsEmbeddedDatabaseName(const AnsiString& DatabaseName) {
    AnsiString name = Trim(DatabaseName);
    if (name.find("://") != AnsiString::npos) return false;
    std::size_t colon = name.find(':');
    // "host:path" and "host/port:path"; a path of this machine starts with "/".
    return colon == AnsiString::npos || colon == 0 || name[0] == '/';
}

void CheckEmbeddedAccess(const AnsiString& DatabaseName) {
    GetGDSLibrary();
    if (!EmbeddedRefusal().empty() && IsEmbeddedDatabaseName(DatabaseName))
        IBError(TIBClientError::NotPermitted, EmbeddedRefusal());
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
