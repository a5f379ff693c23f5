#pragma once

#include <ibase.h>

#include <QString>

// The Firebird client entry points Kodra uses. The library is loaded at run time so that a
// machine without it gets a clear message instead of a program that cannot start.
#define KODRA_FB_FUNCTIONS(X)                                                                      \
    X(isc_attach_database)                                                                         \
    X(isc_detach_database)                                                                         \
    X(isc_create_database)                                                                         \
    X(isc_drop_database)                                                                           \
    X(isc_start_transaction)                                                                       \
    X(isc_commit_transaction)                                                                      \
    X(isc_commit_retaining)                                                                        \
    X(isc_rollback_transaction)                                                                    \
    X(isc_dsql_allocate_statement)                                                                 \
    X(isc_dsql_prepare)                                                                            \
    X(isc_dsql_describe)                                                                           \
    X(isc_dsql_describe_bind)                                                                      \
    X(isc_dsql_execute)                                                                            \
    X(isc_dsql_execute2)                                                                           \
    X(isc_dsql_execute_immediate)                                                                  \
    X(isc_dsql_fetch)                                                                              \
    X(isc_dsql_free_statement)                                                                     \
    X(isc_dsql_sql_info)                                                                           \
    X(isc_create_blob2)                                                                            \
    X(isc_open_blob2)                                                                              \
    X(isc_get_segment)                                                                             \
    X(isc_put_segment)                                                                             \
    X(isc_close_blob)                                                                              \
    X(isc_cancel_blob)                                                                             \
    X(isc_service_attach)                                                                          \
    X(isc_service_detach)                                                                          \
    X(isc_service_start)                                                                           \
    X(isc_service_query)                                                                           \
    X(fb_shutdown_callback)                                                                        \
    X(fb_cancel_operation)                                                                         \
    X(fb_interpret)

struct FbApi
{
#define KODRA_FB_POINTER(name) decltype(&::name) name = nullptr;
    KODRA_FB_FUNCTIONS(KODRA_FB_POINTER)
#undef KODRA_FB_POINTER
};

namespace FbClient {
// The loaded client library; throws DbError naming the library when it cannot be loaded.
const FbApi &api();
// True when the library could be loaded (does not throw).
bool isAvailable();
// The file the library was loaded from.
QString libraryName();
// Why the library could not be loaded; empty when it was.
QString loadError();
// The embedded engine's plugin file the client would load for a local catalogue, and whether
// it is installed.
QString enginePluginPath();
bool isEngineInstalled();
} // namespace FbClient
