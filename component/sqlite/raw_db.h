// A plain SQLite handle on a database file, for the work on a file as a whole
// (checks, backup, upgrade, snapshots) that does not go through a session.
#ifndef MIGPROF_COMPONENT_SQLITE_RAW_DB_H_
#define MIGPROF_COMPONENT_SQLITE_RAW_DB_H_

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "migprof/automation.h"
#include "migprof/com_error.h"

namespace migprof::sqlite::raw {

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;

// Opens name with flags; raises ComError (errc::kProviderFailure) with
// SQLite's text when it cannot.
Db OpenDb(const String& name, int flags);

// Runs the statements of sql; raises ComError(number) with SQLite's text.
void Exec(sqlite3* db, const String& sql, std::int32_t number = errc::kErrorsInCommand);

// The first column of each row of a query, as text.
std::vector<String> Column(sqlite3* db, const String& sql);

// A file name as a "file:" URI: every byte but the unreserved ones and "/"
// percent-encoded, so "?", "#" and "%" in a name stay part of it.
String FileUri(const String& path);

}  // namespace migprof::sqlite::raw

#endif  // MIGPROF_COMPONENT_SQLITE_RAW_DB_H_
