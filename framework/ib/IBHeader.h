// The database client library, loaded at run time. ibase.h gives the types
// and constants of the client interface; the functions are reached only
// through the pointers of TIBClientLibrary, resolved from the library when it
// is first needed (the first database, transaction or statement object).
#pragma once

#include "SysUtils.h"

#include <ibase.h>

#include <optional>

// Every client function the layer calls.
#define KV_IB_CLIENT_FUNCTIONS(X)                                                                            \
    X(isc_attach_database)                                                                                   \
    X(isc_detach_database)                                                                                   \
    X(isc_drop_database)                                                                                     \
    X(isc_database_info)                                                                                     \
    X(isc_dsql_execute_immediate)                                                                            \
    X(isc_start_multiple)                                                                                    \
    X(isc_commit_transaction)                                                                                \
    X(isc_rollback_transaction)                                                                              \
    X(isc_commit_retaining)                                                                                  \
    X(isc_rollback_retaining)                                                                                \
    X(isc_dsql_allocate_statement)                                                                           \
    X(isc_dsql_prepare)                                                                                      \
    X(isc_dsql_sql_info)                                                                                     \
    X(isc_dsql_describe_bind)                                                                                \
    X(isc_dsql_describe)                                                                                     \
    X(isc_dsql_execute)                                                                                      \
    X(isc_dsql_execute2)                                                                                     \
    X(isc_dsql_fetch)                                                                                        \
    X(isc_dsql_free_statement)                                                                               \
    X(isc_sqlcode)                                                                                           \
    X(fb_interpret)                                                                                          \
    X(isc_open_blob2)                                                                                        \
    X(isc_create_blob2)                                                                                      \
    X(isc_get_segment)                                                                                       \
    X(isc_put_segment)                                                                                       \
    X(isc_close_blob)                                                                                        \
    X(isc_cancel_blob)                                                                                       \
    X(isc_blob_info)

// One loaded client library with its resolved functions. The library named
// cannot be loaded, or lacks a function: EIBClientError naming it.
class TIBClientLibrary {
public:
    static constexpr const char* DefaultName = "libfbclient.so.2";

    explicit TIBClientLibrary(const AnsiString& LibraryName);
    ~TIBClientLibrary();
    TIBClientLibrary(const TIBClientLibrary&) = delete;
    TIBClientLibrary& operator=(const TIBClientLibrary&) = delete;

    const AnsiString& GetLibraryName() const { return FName; }
    // A setting of the engine's configuration (firebird.conf) as text, ""
    // when it is not set; nothing when the library cannot tell. Asking
    // starts the library: the lock folder is fixed from then on.
    std::optional<AnsiString> GetEngineSetting(const AnsiString& Key) const;

#define KV_IB_DECLARE(name) decltype(&::name) name = nullptr;
    KV_IB_CLIENT_FUNCTIONS(KV_IB_DECLARE)
#undef KV_IB_DECLARE

private:
    friend TIBClientLibrary& GetGDSLibrary();
    AnsiString FName;
    void* FHandle = nullptr;
    bool FKeepLoaded = false;
};

// The process's client library: loaded on the first call (name from the
// environment variable KV_FBCLIENT_LIBRARY, else DefaultName) and kept until
// the process ends, since the engine inside it runs threads of its own. A
// failed load raises each time it is asked for. Before the first load the
// embedded engine's lock folder is chosen (PrepareEngineLockFolder).
TIBClientLibrary& GetGDSLibrary();

// The embedded engine (a database name without a server) keeps the lock
// tables of the databases it opens in a folder that every process on the
// machine shares: EngineLockFolder, open to the engine's group only. A
// process whose user may not work there gets a folder of its own instead
// (FIREBIRD_LOCK, set before the library starts), unless FIREBIRD_LOCK is
// set already.
//
// That is safe only because an engine in its default mode (ServerMode
// Super) holds every database file it opens under an exclusive lock of the
// operating system: a second process, whatever its lock folder, cannot open
// the file at the same time and gets "Database already opened with engine
// instance, incompatible with current". An engine set up to share database
// files between processes (Classic, SuperClassic) relies on the common lock
// folder instead; then this process refuses to open databases embedded
// (EIBClientError NotPermitted) rather than open them beside another
// process's lock tables. Databases reached through a server are not touched.
inline constexpr const char* EngineLockFolder = "/tmp/firebird";
// Chooses the lock folder and sets FIREBIRD_LOCK when a private one is
// needed; the folder chosen, "" when the engine's own serves.
AnsiString PrepareEngineLockFolder();
// Whether this process's user can keep lock files in Folder: it exists and
// it and every file in it are writable, or it is missing and can be made.
bool IsLockFolderUsable(const AnsiString& Folder);
// Whether an engine of this ServerMode opens database files shared between
// processes ("" is the default, Super, which does not).
bool EngineSharesDatabaseFiles(const AnsiString& ServerMode);
// Whether a database name is opened by the embedded engine rather than
// through a server ("host:path", "host/port:path", "inet://host/path").
bool IsEmbeddedDatabaseName(const AnsiString& DatabaseName);
// Raises EIBClientError NotPermitted when this process must not open
// DatabaseName embedded (see above).
void CheckEmbeddedAccess(const AnsiString& DatabaseName);
inline void CheckIBLoaded() {
    GetGDSLibrary();
}
