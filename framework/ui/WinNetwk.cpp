#include "WinNetwk.h"

#include <libsmbclient.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <strings.h>
#include <vector>

const char* const SNetworkProvider = "SMB Network";

namespace {

// The library cuts longer names (and comments) to this many bytes.
constexpr size_t LibraryNameLimit = 255;

struct TNetEntry {
    DWORD Type, DisplayType, Usage;
    std::string RemoteName, Comment;
};

// One open enumeration: the level, read whole at open, and the read position.
struct TNetEnum {
    std::vector<TNetEntry> Entries;
    size_t Next = 0;
};

std::map<HANDLE, std::unique_ptr<TNetEnum>>& OpenEnums() {
    static std::map<HANDLE, std::unique_ptr<TNetEnum>> enums;
    return enums;
}

// A parent's URL split into what the listing needs.
struct TNetPath {
    std::string Url;    // as given: the library reads the logon from it
    std::string Server; // host[:port] without the logon, empty at the top
    bool BelowServer = false;
};

bool ParsePath(const char* Name, TNetPath& Path) {
    static constexpr char scheme[] = "smb://";
    constexpr size_t schemeLen = sizeof scheme - 1;
    std::string name = Name ? Name : "";
    if (name.empty()) {
        Path.Url = scheme;
        return true;
    }
    if (name.size() < schemeLen || strncasecmp(name.c_str(), scheme, schemeLen) != 0) return false;
    std::string rest = name.substr(schemeLen);
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    if (slash != std::string::npos && rest.find_first_not_of('/', slash) != std::string::npos)
        Path.BelowServer = true;
    size_t at = authority.rfind('@');
    Path.Server = at == std::string::npos ? authority : authority.substr(at + 1);
    Path.Url = scheme + rest;
    return true;
}

// '%' would be read back as an escape by the library.
std::string EscapeName(const char* Name) {
    std::string out;
    for (const char* p = Name; *p; ++p) {
        if (*p == '%')
            out += "%25";
        else
            out += *p;
    }
    return out;
}

DWORD ResultOfErrno(int Error) {
    switch (Error) {
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOENT:
    case ECONNREFUSED:
    case ECONNRESET:
    case ECONNABORTED:
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
        return ERROR_BAD_NETPATH;
    case ENOTDIR:
        return ERROR_NOT_CONTAINER;
    default:
        return ERROR_UNEXP_NET_ERR;
    }
}

// The logon comes from the URL or is the library's guest; nothing to ask.
void KeepLogon(SMBCCTX*, const char*, const char*, char*, int, char*, int, char*, int) {}

// One library context for the process: the library leaks a little with
// every context it makes, so this one is made once and kept (a failed
// start is tried again next time).
SMBCCTX* Context() {
    static SMBCCTX* context = nullptr;
    if (context) return context;
    SMBCCTX* made = smbc_new_context();
    if (!made) return nullptr;
    smbc_setDebug(made, 0);
    smbc_setFunctionAuthDataWithContext(made, KeepLogon);
    if (!smbc_init_context(made)) {
        smbc_free_context(made, 1);
        return nullptr;
    }
    return context = made;
}

// Each level is read over connections of its own: the library keys the
// connections it keeps by server name alone, without port or logon, and
// would otherwise answer for one server with another's shares.
struct TDropConnections {
    SMBCCTX* Context;
    ~TDropConnections() { smbc_getFunctionPurgeCachedServers(Context)(Context); }
};

// Reads the level named by Path into Entries; a result code.
DWORD ReadLevel(const TNetPath& Path, DWORD Type, DWORD Usage, std::vector<TNetEntry>& Entries) {
    SMBCCTX* context = Context();
    if (!context) return ERROR_NO_NETWORK;
    TDropConnections drop{context};
    SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, Path.Url.c_str());
    if (!dir) {
        int error = errno;
        // No master browser answered: the network holds nothing we can see.
        if (Path.Server.empty() && error == ENOENT) return NO_ERROR;
        return ResultOfErrno(error);
    }
    struct TCloseDir {
        SMBCCTX* Context;
        SMBCFILE* Dir;
        ~TCloseDir() { smbc_getFunctionClosedir(Context)(Context, Dir); }
    } close{context, dir};
    auto readdir = smbc_getFunctionReaddir(context);
    while (const smbc_dirent* e = readdir(context, dir)) {
        TNetEntry entry{RESOURCETYPE_ANY, RESOURCEDISPLAYTYPE_GENERIC, RESOURCEUSAGE_CONTAINER, {}, {}};
        switch (e->smbc_type) {
        case SMBC_WORKGROUP:
            entry.DisplayType = RESOURCEDISPLAYTYPE_DOMAIN;
            entry.RemoteName = "smb://" + EscapeName(e->name);
            break;
        case SMBC_SERVER:
            entry.DisplayType = RESOURCEDISPLAYTYPE_SERVER;
            entry.RemoteName = "smb://" + EscapeName(e->name);
            break;
        case SMBC_FILE_SHARE:
        case SMBC_PRINTER_SHARE:
            entry.Type = e->smbc_type == SMBC_FILE_SHARE ? RESOURCETYPE_DISK : RESOURCETYPE_PRINT;
            entry.DisplayType = RESOURCEDISPLAYTYPE_SHARE;
            entry.Usage = RESOURCEUSAGE_CONNECTABLE;
            entry.RemoteName = "smb://" + Path.Server + "/" + EscapeName(e->name);
            break;
        default: // IPC and device shares, files and folders are no network resources
            continue;
        }
        // A name the library has cut names another resource, or none.
        if (std::strlen(e->name) >= LibraryNameLimit) continue;
        // A type chooses among the shares; workgroups and servers may hold any.
        if (Type != RESOURCETYPE_ANY && entry.Usage == RESOURCEUSAGE_CONNECTABLE && entry.Type != Type)
            continue;
        if (Usage != 0 && (entry.Usage & Usage) == 0) continue;
        if (e->comment) entry.Comment = e->comment;
        Entries.push_back(std::move(entry));
    }
    return NO_ERROR;
}

TNetEnum* FindEnum(HANDLE Handle) {
    auto it = OpenEnums().find(Handle);
    return it == OpenEnums().end() ? nullptr : it->second.get();
}

size_t TextSize(const std::string& S) {
    return S.empty() ? 0 : S.size() + 1;
}

size_t RecordSize(const TNetEntry& E) {
    return sizeof(NETRESOURCEA) + TextSize(E.RemoteName) + TextSize(E.Comment) +
           std::strlen(SNetworkProvider) + 1;
}

} // namespace

DWORD WNetOpenEnumA(DWORD dwScope, DWORD dwType, DWORD dwUsage, const NETRESOURCEA* lpNetResource,
                    HANDLE* lphEnum) {
    if (!lphEnum) return ERROR_INVALID_PARAMETER;
    *lphEnum = nullptr;
    if (dwScope != RESOURCE_GLOBALNET) return ERROR_NOT_SUPPORTED;
    if (dwType > RESOURCETYPE_PRINT ||
        (dwUsage & ~(RESOURCEUSAGE_CONNECTABLE | RESOURCEUSAGE_CONTAINER)) != 0)
        return ERROR_INVALID_PARAMETER;
    TNetPath path;
    if (!ParsePath(lpNetResource ? lpNetResource->lpRemoteName : nullptr, path)) return ERROR_BAD_NET_NAME;
    if (path.BelowServer) return ERROR_NOT_CONTAINER;
    try {
        auto level = std::make_unique<TNetEnum>();
        DWORD result = ReadLevel(path, dwType, dwUsage, level->Entries);
        if (result != NO_ERROR) return result;
        HANDLE handle = level.get();
        OpenEnums().emplace(handle, std::move(level));
        *lphEnum = handle;
        return NO_ERROR;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DWORD WNetEnumResourceA(HANDLE hEnum, DWORD* lpcCount, void* lpBuffer, DWORD* lpBufferSize) {
    TNetEnum* level = FindEnum(hEnum);
    if (!level) return ERROR_INVALID_HANDLE;
    if (!lpcCount || *lpcCount == 0 || !lpBufferSize || (!lpBuffer && *lpBufferSize != 0) ||
        reinterpret_cast<std::uintptr_t>(lpBuffer) % alignof(NETRESOURCEA) != 0)
        return ERROR_INVALID_PARAMETER;
    if (level->Next >= level->Entries.size()) {
        *lpcCount = 0;
        return ERROR_NO_MORE_ITEMS;
    }
    char* const start = static_cast<char*>(lpBuffer);
    char* records = start;
    char* texts = start + *lpBufferSize; // texts grow down from the end
    // Copies a text below the ones placed so far; nullptr for an empty one.
    auto place = [&texts](const std::string& S) -> char* {
        if (S.empty()) return nullptr;
        texts -= S.size() + 1;
        std::memcpy(texts, S.c_str(), S.size() + 1);
        return texts;
    };
    DWORD count = 0;
    while (count < *lpcCount && level->Next < level->Entries.size()) {
        const TNetEntry& e = level->Entries[level->Next];
        if (RecordSize(e) > static_cast<size_t>(texts - records)) break;
        NETRESOURCEA r{
            RESOURCE_GLOBALNET, e.Type, e.DisplayType, e.Usage, nullptr, nullptr, nullptr, nullptr};
        r.lpRemoteName = place(e.RemoteName);
        r.lpComment = place(e.Comment);
        r.lpProvider = place(SNetworkProvider);
        std::memcpy(records, &r, sizeof r);
        records += sizeof r;
        ++count;
        ++level->Next;
    }
    if (count == 0) {
        size_t need = RecordSize(level->Entries[level->Next]);
        *lpBufferSize = static_cast<DWORD>(std::min<size_t>(need, std::numeric_limits<DWORD>::max()));
        return ERROR_MORE_DATA;
    }
    *lpcCount = count;
    return NO_ERROR;
}

DWORD WNetCloseEnum(HANDLE hEnum) {
    return OpenEnums().erase(hEnum) ? NO_ERROR : ERROR_INVALID_HANDLE;
}
