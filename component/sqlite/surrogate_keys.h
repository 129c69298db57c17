// Gives the tables of an embedded database made by an older version their
// primary key, the surrogate rowkey (schema/sqlite.sql).
#ifndef MIGPROF_COMPONENT_SQLITE_SURROGATE_KEYS_H_
#define MIGPROF_COMPONENT_SQLITE_SURROGATE_KEYS_H_

#include <sqlite3.h>

#include <vector>

#include "migprof/automation.h"

namespace migprof::sqlite {

// Rebuilds every profile and revision table (named qz...) that has no
// rowkey column as the same table with rowkey INTEGER PRIMARY KEY first:
// each row keeps its row id as its key (so rows stay in the order they were
// added) and every index is made again. Runs inside the caller's
// transaction and raises ComError on failure. Returns "primary key rowkey of
// <table>" for each table it rebuilt.
std::vector<String> AddSurrogateKeys(sqlite3* db);

}  // namespace migprof::sqlite

#endif  // MIGPROF_COMPONENT_SQLITE_SURROGATE_KEYS_H_
