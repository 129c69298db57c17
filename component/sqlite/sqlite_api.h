// The SQLite C interface for the dialect's collation and functions. They are
// compiled into the library, which links SQLite, and into the loadable
// extension (MIGPROF_SQLITE_EXTENSION), which reaches SQLite through the
// table of routines the loading program hands it.
#ifndef MIGPROF_COMPONENT_SQLITE_SQLITE_API_H_
#define MIGPROF_COMPONENT_SQLITE_SQLITE_API_H_

#ifdef MIGPROF_SQLITE_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

#endif  // MIGPROF_COMPONENT_SQLITE_SQLITE_API_H_
