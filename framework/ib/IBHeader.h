// The database client library, loaded at run time. ibase.h gives the types
// and constants of the client interface; the functions are reached only
// through the pointers of TIBClientLibrary, resolved from the library when it
// is first needed (the first database, transaction or statement object).
#pragma once

#include "SysUtils.h"

#include <ibase.h>

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
// failed load raises each time it is asked for.
TIBClientLibrary& GetGDSLibrary();
inline void CheckIBLoaded() {
    GetGDSLibrary();
}
