// The loadable SQLite extension: registers the embedded database's collation
// and SQL functions (sqlite_dialect::Register) on a connection of any
// program that loads it, so that SQLite's own tools read and query a profile
// database file as the component does:
//   sqlite3 profiles.db -cmd ".load /usr/lib/<arch>/migprof/migprof_sqlite"
// It translates no statement: what such a tool runs is SQLite's SQL, and the
// rows it writes are not checked against the columns' SQL Server types.
#include <exception>

#include "component/sqlite/dialect.h"

SQLITE_EXTENSION_INIT1

extern "C" __attribute__((visibility("default"))) int sqlite3_extension_init(
    sqlite3* db, char** error, const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  try {
    migprof::sqlite_dialect::Register(db);
  } catch (const std::exception& failure) {
    *error = sqlite3_mprintf("%s", failure.what());
    return SQLITE_ERROR;
  }
  return SQLITE_OK;
}
